#pragma once

// Printing a document's pages on a QPrinter through the engine's page
// drawing: the one road for paper, the print dialog's PDF file and
// `--convert x out.pdf`, so that all three give the same sheets.

#include <QString>

class QPrinter;
class TTextEngine;

namespace tamapiko::printing {

// Lays the printer's paper out as the document's page: its size (a standard
// paper when it is one within a few points), portrait or landscape by its
// sides, and no margins of the printer's own, so that the document's margins
// are the only ones.
void fitPrinterToPage(QPrinter &printer, const TTextEngine &engine);

// Prints pages `from` to `to` (from 1) `copies` times in a row, each copy a
// complete run in ascending order, each page on its own sheet and no sheet
// after the last, at `zoom` percent. Before every page the engine is
// pointed at the printer and the zoom; afterwards at no device.
//
// One job with the title `title`; a range whose start lies after its end
// still starts and ends the job. A PDF file is written beside its target
// and takes the target's place only when complete.
//
// Throws std::runtime_error with the message for the user: "印刷中" while
// another job of this program runs, "ﾃﾞﾌｫﾙﾄ ﾌﾟﾘﾝﾀが存在しません" when the
// printer is neither a printer nor a file, "選択したﾌﾟﾘﾝﾀは有効ではありません"
// when the printer cannot be opened, and the engine's error when a page
// cannot be drawn (the job is then abandoned).
void printPages(TTextEngine &engine, QPrinter &printer, const QString &title, int from, int to, int copies,
                int zoom);

// Makes every paragraph keep the glyphs its layout shapes, so that printing
// the whole document does not shape all its text a second time. For a
// document about to be laid out and printed at once (a conversion): it
// costs the memory of the shaped text.
void keepShapedText(TTextEngine &engine);

// True while printPages() is running.
bool isPrinting();

} // namespace tamapiko::printing
