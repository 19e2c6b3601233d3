#pragma once

// Answering the print dialog as a user does: printing to a PDF file, a page
// range, a number of copies, then the print button; or cancelling it.

#include <QString>

namespace tamapiko::test {

struct PrintChoice
{
    QString pdfFile;          // empty: cancel the dialog
    int from = 0;             // 0: all pages
    int to = 0;
    int copies = 1;
};

// What the dialog showed when it came up.
struct PrintDialogShown
{
    bool shown = false;
    int copies = 0;
    int from = 0, to = 0;     // the range fields
    int maximum = 0;          // the highest page the range takes
    bool printToFileOffered = false;
    bool selectionOffered = true;
};

// Answers the next print dialog with `choice`; `shown` receives what it
// showed. Call before the action that opens the dialog.
void answerPrintDialog(const PrintChoice &choice, PrintDialogShown *shown = nullptr);

} // namespace tamapiko::test
