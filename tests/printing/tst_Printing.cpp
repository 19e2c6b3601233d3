// Printing driven as a user does: the print command from the document's
// file menu, the toolbar and the preview, answered in the real print
// dialog with a PDF file, checked with poppler's tools.

#include "app/TMainForm.h"
#include "dialogs/TOKRightDlg2.h"
#include "document/TMDIChild.h"
#include "engine/TTextEngine.h"
#include "printing/TfrmPrintPreview.h"
#include "support/FrameFixture.h"
#include "support/PdfProbe.h"
#include "support/PrintDialogDriver.h"
#include "support/TestSupport.h"
#include "support/UserActions.h"

#include <QComboBox>
#include <QLabel>
#include <QProcess>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolButton>
#include <QtTest>

using namespace tamapiko::test;

namespace {

// Paragraphs enough for `pages` A4 pages, each page's first paragraph
// naming its page.
void fillPages(TTextEngine *engine, int pages)
{
    QTextCursor cursor(engine->document());
    int paragraph = 0;
    while (engine->CurrentPages() < pages) {
        cursor.insertText(QStringLiteral("段落%1 印刷の試験のための文章です。").arg(++paragraph));
        cursor.insertBlock();
    }
    // Back off the paragraph that opened the page after the last.
    while (engine->CurrentPages() > pages) {
        cursor.movePosition(QTextCursor::PreviousBlock, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
}

} // namespace

class tst_Printing : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString pdf(const char *name) const { return m_dir.filePath(QLatin1String(name)); }

private slots:
    void initTestCase()
    {
        if (!havePdfTools())
            QSKIP("poppler-utils (pdfinfo, pdftotext) not installed");
    }

    void corpusDocumentInB5LandscapeTwoCopiesOfPagesTwoToThree()
    {
        TAMAPIKO_REQUIRE_SHARED(source, "corpus/rtf/joshy_Example_text.rtf");
        ScriptedBoxes boxes({tamapiko::app::Answer::No});
        auto frame = startFrame({source});
        TMDIChild *window = frame->activeDocument();
        TTextEngine *engine = window->TextEngine1;

        // B5 landscape, 2 cm margins.
        whenShown<TOKRightDlg2>([](TOKRightDlg2 *dialog) {
            click(dialog->RdoYoko);
            chooseEntry(dialog->cboPaperSize, 3);
            for (QLineEdit *margin : {dialog->txtLeftMargin, dialog->txtTopMargin, dialog->txtRightMargin,
                                      dialog->txtBottomMargin})
                typeInto(margin, QStringLiteral("2"));
            click(dialog->btnOK);
        });
        QVERIFY(chooseMenuItem(frame.get(), window->File1, window->PageSetup1));
        QCOMPARE(engine->PageWidth(), 14583);
        QCOMPARE(engine->PageHeight(), 10319);
        QVERIFY2(engine->CurrentPages() >= 3, "the document must give three pages or more");

        // A look at the preview on the way.
        whenShown<TfrmPrintPreview>([](TfrmPrintPreview *preview) {
            click(preview->BtnNext);
            QCOMPARE(preview->currentPage(), 2);
            click(preview->SpeedButton1);
        });
        QVERIFY(chooseMenuItem(frame.get(), window->File1, window->PrintPreview1));

        PrintDialogShown shown;
        const QString file = pdf("b5.pdf");
        answerPrintDialog({file, 2, 3, 2}, &shown);
        QVERIFY(chooseMenuItem(frame.get(), window->File1, window->Print1));
        QVERIFY(shown.shown);
        QCOMPARE(shown.copies, 1);
        QCOMPARE(shown.from, 1);
        QCOMPARE(shown.to, engine->CurrentPages());
        QCOMPARE(shown.maximum, engine->CurrentPages());
        QVERIFY(!shown.selectionOffered);
        QCOMPARE(boxes.errors, QStringList());

        const PdfFacts facts = pdfFacts(file);
        QCOMPARE(facts.pages, 4);
        // B5 landscape: 729 x 516 points, within a point.
        QVERIFY2(qAbs(facts.pageSize.width() - 14583 / 20.0) <= 1.0, qPrintable(QString::number(facts.pageSize.width())));
        QVERIFY2(qAbs(facts.pageSize.height() - 10319 / 20.0) <= 1.0, qPrintable(QString::number(facts.pageSize.height())));
        const QStringList printed = pdfPageTexts(file);
        QCOMPARE(printed.size(), 4);
        // Pages 2 and 3 follow each other in the document's text, after
        // page 1's.
        const QString documentText = withoutSpaces(engine->document()->toPlainText());
        const QString twoPages = withoutSpaces(printed[0] + printed[1]);
        QVERIFY(documentText.indexOf(twoPages) > 0);
        QCOMPARE(printed[2], printed[0]);
        QCOMPARE(printed[3], printed[1]);
        QVERIFY(!withoutSpaces(printed[0]).isEmpty());
        QVERIFY(printed[0] != printed[1]);
        // The engine no longer points at the finished job.
        QCOMPARE(engine->PrintDevice(), nullptr);
    }

    void rangesAndCopies()
    {
        ScriptedBoxes boxes({tamapiko::app::Answer::No, tamapiko::app::Answer::No});
        auto frame = startFrame();
        TTextEngine *engine = frame->activeDocument()->TextEngine1;

        // One page, one copy: one sheet, none after it.
        QTextCursor(engine->document()).insertText(QStringLiteral("一枚だけ"));
        answerPrintDialog({pdf("one.pdf")});
        click(frame->BtnPrint1);
        QCOMPARE(pdfFacts(pdf("one.pdf")).pages, 1);
        QCOMPARE(pdfPageTexts(pdf("one.pdf")).size(), 1);

        // Three pages: the dialog offers them all; "all" after a typed
        // range prints every page, copies as whole runs.
        fillPages(engine, 3);
        PrintDialogShown shown;
        answerPrintDialog({pdf("all.pdf"), 0, 0, 2}, &shown);
        click(frame->BtnPrint1);
        QCOMPARE(shown.to, 3);
        QCOMPARE(shown.copies, 1);   // reset, whatever the last print used
        const QStringList pages = pdfPageTexts(pdf("all.pdf"));
        QCOMPARE(pages.size(), 6);
        QCOMPARE(pages.mid(3), pages.mid(0, 3));
        QVERIFY(withoutSpaces(pages[0]).startsWith(QStringLiteral("段落1")));

        // Cancelling prints nothing.
        answerPrintDialog({});
        click(frame->BtnPrint1);
        QVERIFY(!QFileInfo::exists(pdf("none.pdf")));
        QCOMPARE(boxes.errors, QStringList());
    }

    void printZoomAppliesToEveryLaterPrint()
    {
        ScriptedBoxes boxes({tamapiko::app::Answer::No});
        auto frame = startFrame();
        TTextEngine *engine = frame->activeDocument()->TextEngine1;
        fillPages(engine, 2);
        whenShown<TOKRightDlg2>([](TOKRightDlg2 *dialog) {
            typeInto(dialog->EdtZoom, QStringLiteral("50"));
            click(dialog->btnOK);
        });
        click(frame->BtnPageSetup1);
        QCOMPARE(frame->PrintZoomPercent, 50);
        answerPrintDialog({pdf("half.pdf")});
        click(frame->BtnPrint1);
        // At half size both pages' text lies in the top-left quarter of its
        // sheet: the lower half of the first sheet holds nothing.
        const QString lowerHalf = [&] {
            QProcess process;
            process.start(QStringLiteral("pdftotext"),
                          {QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"), QStringLiteral("1"),
                           QStringLiteral("-y"), QStringLiteral("430"), QStringLiteral("-H"), QStringLiteral("400"),
                           QStringLiteral("-W"), QStringLiteral("600"), QStringLiteral("-x"), QStringLiteral("0"),
                           pdf("half.pdf"), QStringLiteral("-")});
            process.waitForFinished();
            return QString::fromUtf8(process.readAllStandardOutput());
        }();
        QCOMPARE(withoutSpaces(lowerHalf), QString());
        QCOMPARE(pdfFacts(pdf("half.pdf")).pages, 2);
        QVERIFY(!withoutSpaces(pdfPageTexts(pdf("half.pdf")).value(0)).isEmpty());
    }

    void printingFromThePreviewKeepsItOpen()
    {
        ScriptedBoxes boxes({tamapiko::app::Answer::No});
        auto frame = startFrame();
        TTextEngine *engine = frame->activeDocument()->TextEngine1;
        fillPages(engine, 3);
        bool checked = false;
        whenShown<TfrmPrintPreview>([&](TfrmPrintPreview *preview) {
            auto closeOnFailure = qScopeGuard([preview] { preview->close(); });
            const int fit = preview->fitZoom();
            const QSize size = preview->ViewPage1->size();
            click(preview->BtnNext);
            answerPrintDialog({pdf("from-preview.pdf")});
            click(preview->SpeedButton5);
            QVERIFY(preview->isVisible());
            QCOMPARE(preview->currentPage(), 2);
            click(preview->BtnNext);
            QCOMPARE(preview->currentPage(), 3);
            QCOMPARE(preview->fitZoom(), fit);
            QCOMPARE(preview->ViewPage1->size(), size);
            QCOMPARE(engine->PrintZoom(), fit);
            checked = true;
        });
        click(frame->BtnPrintPreview1);
        QVERIFY(checked);
        QCOMPARE(pdfFacts(pdf("from-preview.pdf")).pages, 3);
    }
};

QTEST_MAIN(tst_Printing)
#include "tst_Printing.moc"
