#pragma once

// The print command: the print dialog set up for the document (copies 1,
// all its pages in range, page numbers may be typed, printing to a file
// offered), then one job on the printer the user chose. The dialog and the
// printer live as long as the frame, so the chosen printer, the range
// option and the file name stay as the user left them.

#include <QObject>

#include <memory>

class QPrintDialog;
class QPrinter;
class QWidget;
class TTextEngine;

class PrintCommand : public QObject
{
    Q_OBJECT

public:
    explicit PrintCommand(QWidget *dialogParent);
    ~PrintCommand() override;

    // Prints `engine`'s document as the user chooses, titled `title`, at
    // `zoom` percent. Cancelling the dialog prints nothing. Errors are
    // thrown as std::runtime_error for the general error box.
    void run(TTextEngine &engine, const QString &title, int zoom);

    QPrinter *printer() const { return m_printer.get(); }
    QPrintDialog *PrintDialog1 = nullptr;

private:
    std::unique_ptr<QPrinter> m_printer;
};
