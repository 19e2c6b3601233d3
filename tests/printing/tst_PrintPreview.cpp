// The print preview window opened from the document's menu and the
// toolbar: fitting the page, paging, maximising.

#include "app/TMainForm.h"
#include "document/TMDIChild.h"
#include "engine/TTextEngine.h"
#include "printing/TfrmPrintPreview.h"
#include "support/FrameFixture.h"
#include "support/UserActions.h"

#include <QFrame>
#include <QLabel>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolButton>
#include <QtTest>

using namespace tamapiko::test;

namespace {

struct Shown
{
    int fitZoom = 0;
    QSize image;
    int left = 0;
    bool back = true, next = false;
};

void addPages(TTextEngine *engine, int pages)
{
    QTextCursor cursor(engine->document());
    cursor.movePosition(QTextCursor::End);
    while (engine->CurrentPages() < pages) {
        cursor.insertText(QStringLiteral("プレビューの試験です。"));
        cursor.insertBlock();
    }
}

} // namespace

class tst_PrintPreview : public QObject
{
    Q_OBJECT

    std::unique_ptr<TMainForm> m_frame;
    TTextEngine *m_engine = nullptr;

    // Opens the preview from the file menu, records how it came up and
    // runs `use` (which may page) before closing it with its button.
    Shown preview(const std::function<void(TfrmPrintPreview *)> &use = {})
    {
        Shown shown;
        bool opened = false;
        whenShown<TfrmPrintPreview>([&](TfrmPrintPreview *window) {
            auto close = qScopeGuard([window] { click(window->SpeedButton1); });
            opened = true;
            shown = {window->fitZoom(), window->ViewPage1->size(), window->ViewPage1->x(),
                     window->BtnBak->isEnabled(), window->BtnNext->isEnabled()};
            QCOMPARE(window->currentPage(), 1);
            QCOMPARE(window->ViewPage1->y(), 55);
            QCOMPARE(window->ViewPage1->x(), window->frameGeometry().width() / 2 - window->ViewPage1->width() / 2);
            if (use)
                use(window);
        });
        TMDIChild *window = m_frame->activeDocument();
        if (!chooseMenuItem(m_frame.get(), window->File1, window->PrintPreview1))
            qWarning("the preview item could not be chosen");
        if (!opened)
            qWarning("the preview did not open");
        return shown;
    }

private slots:
    void init()
    {
        m_frame = startFrame();
        m_engine = m_frame->activeDocument()->TextEngine1;
    }

    void cleanup()
    {
        ScriptedBoxes boxes({tamapiko::app::Answer::No, tamapiko::app::Answer::No});
        m_frame.reset();
    }

    void fitsThePageIntoTheImageArea_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("fitZoom");
        QTest::addColumn<QSize>("image");
        QTest::newRow("A4") << 11900 << 16838 << 44 << QSize(348, 493);
        QTest::newRow("Letter") << 12240 << 15840 << 43 << QSize(350, 454);
        QTest::newRow("A4 landscape") << 16838 << 11900 << 31 << QSize(347, 245);
    }

    void fitsThePageIntoTheImageArea()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, fitZoom);
        QFETCH(QSize, image);
        if (m_engine->logicalDpiX() != 96)
            QSKIP("the worked examples are for 96 pixels per inch");
        m_engine->setPageWidth(width);
        m_engine->setPageHeight(height);
        const Shown first = preview([](TfrmPrintPreview *window) {
            QCOMPARE(window->windowTitle(), QStringLiteral("プレビュー"));
            QCOMPARE(window->pageImage().size(), window->ViewPage1->size());
        });
        QCOMPARE(first.fitZoom, fitZoom);
        QCOMPARE(first.image, image);
        // One page: nowhere to go.
        QVERIFY(!first.back);
        QVERIFY(!first.next);
        // Again: the same size.
        const Shown second = preview();
        QCOMPARE(second.image, image);
        QCOMPARE(second.left, first.left);
    }

    void pagingButtonsFollowThePage()
    {
        addPages(m_engine, 3);
        const Shown shown = preview([](TfrmPrintPreview *window) {
            click(window->BtnNext);
            QCOMPARE(window->currentPage(), 2);
            QVERIFY(window->BtnBak->isEnabled());
            QVERIFY(window->BtnNext->isEnabled());
            click(window->BtnNext);
            QCOMPARE(window->currentPage(), 3);
            QVERIFY(window->BtnBak->isEnabled());
            QVERIFY(!window->BtnNext->isEnabled());
            click(window->BtnBak);
            click(window->BtnBak);
            QCOMPARE(window->currentPage(), 1);
            QVERIFY(!window->BtnBak->isEnabled());
        });
        QVERIFY(!shown.back);
        QVERIFY(shown.next);
        // The next showing starts on page 1 again.
        QCOMPARE(preview().next, true);
    }

    void shortPageIsClearedBeforeDrawing()
    {
        // Page 1 is full to its bottom margin, page 2 holds one line: in
        // the band where page 1 has text, page 2 shows the white sheet.
        addPages(m_engine, 2);
        preview([](TfrmPrintPreview *window) {
            auto inkInBand = [](const QImage &image) {
                int ink = 0;
                for (int y = image.height() * 3 / 4; y < image.height() * 3 / 4 + 12; ++y) {
                    for (int x = 0; x < image.width(); ++x)
                        ink += QColor(image.pixel(x, y)) != QColor(Qt::white);
                }
                return ink;
            };
            QVERIFY(inkInBand(window->pageImage()) > 0);
            click(window->BtnNext);
            QCOMPARE(inkInBand(window->pageImage()), 0);
        });
    }

    void maximisingRecentresWithoutRescaling()
    {
        preview([](TfrmPrintPreview *window) {
            const QSize image = window->ViewPage1->size();
            window->showMaximized();
            QTRY_VERIFY(window->width() > 412);
            QCOMPARE(window->ViewPage1->size(), image);
            QCOMPARE(window->ViewPage1->x(), window->frameGeometry().width() / 2 - image.width() / 2);
            QCOMPARE(window->Panel1->width(), window->frameGeometry().width());
            window->showNormal();
        });
    }

    // Closing the preview hands the keyboard back to the document: the next
    // key typed goes into the text, with or without a window manager.
    void closingGivesTheKeyboardBackToTheDocument()
    {
        m_frame->activateWindow();
        QTRY_COMPARE(QApplication::focusWidget(), m_engine);
        preview();
        QTRY_COMPARE(QApplication::activeWindow(), m_frame.get());
        QTRY_COMPARE(QApplication::focusWidget(), m_engine);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("abc"));
        QVERIFY(m_engine->document()->toPlainText().startsWith(QStringLiteral("abc")));
    }
};

QTEST_MAIN(tst_PrintPreview)
#include "tst_PrintPreview.moc"
