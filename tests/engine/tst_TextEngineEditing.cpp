#include "engine/TTextEngine.h"
#include "engine/formats/DocumentFilter.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QStyleHints>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QtTest>

namespace {

QVariant imQuery(TTextEngine &engine, Qt::InputMethodQuery query)
{
    return static_cast<QWidget &>(engine).inputMethodQuery(query);
}

// The middle of the character at `position`, in viewport coordinates (moves
// the caret there and back, so take points before selecting).
QPoint characterPoint(TTextEngine &engine, int position)
{
    const int saved = engine.SelStart();
    engine.setSelStart(position);
    const QRect caret = imQuery(engine, Qt::ImCursorRectangle).toRect();
    engine.setSelStart(saved);
    return caret.center() + QPoint(2, 0) - engine.viewport()->pos();
}

QString text(TTextEngine &engine)
{
    return engine.document()->toPlainText();
}

} // namespace

class tst_TextEngineEditing : public QObject
{
    Q_OBJECT

private slots:
    void clipboardCarriesRichTextAndUndoKinds()
    {
        TTextEngine engine;
        QTest::keyClicks(&engine, QStringLiteral("plain "));
        engine.setFontBold(1);
        QTest::keyClicks(&engine, QStringLiteral("bold"));
        engine.setSelStart(0);
        engine.setSelLength(-1);
        QVERIFY(engine.ClipboardAction(2));
        const QMimeData *mime = QGuiApplication::clipboard()->mimeData();
        QVERIFY(mime->hasHtml());
        QCOMPARE(mime->text(), QStringLiteral("plain bold"));
        if (tamapiko::engine::FilterRegistry::instance().filter(tamapiko::engine::FormatCode::Rtf)) {
            // Other programs get RTF too, and RTF alone pastes back bold.
            const QByteArray rtf = mime->data(QStringLiteral("text/rtf"));
            QVERIFY(rtf.startsWith("{\\rtf"));
            auto *rtfOnly = new QMimeData;
            rtfOnly->setData(QStringLiteral("text/rtf"), rtf);
            QGuiApplication::clipboard()->setMimeData(rtfOnly);
            TTextEngine other;
            QVERIFY(other.ClipboardAction(3));
            QCOMPARE(text(other), QStringLiteral("plain bold"));
            other.setSelStart(8);
            QCOMPARE(other.FontBold(), 1);
            QVERIFY(engine.ClipboardAction(2));
        }

        QVERIFY(engine.ClipboardAction(1));   // cut
        QCOMPARE(text(engine), QString());
        QCOMPARE(engine.CanUndo(), 2);
        QVERIFY(engine.ClipboardAction(3));   // paste
        QCOMPARE(text(engine), QStringLiteral("plain bold"));
        QCOMPARE(engine.CanUndo(), 1);
        engine.setSelStart(7);
        QCOMPARE(engine.FontBold(), 1);       // the bold run came back bold
        engine.setSelStart(2);
        QCOMPARE(engine.FontBold(), 0);

        // Plain text from elsewhere, with Windows line ends.
        auto *foreign = new QMimeData;
        foreign->setText(QStringLiteral("一行目\r\n二行目"));
        QGuiApplication::clipboard()->setMimeData(foreign);
        engine.setSelStart(0);
        QVERIFY(engine.ClipboardAction(3));
        QCOMPARE(engine.document()->blockCount(), 2);
        QVERIFY(text(engine).startsWith(QStringLiteral("一行目\n二行目plain")));

        // Nothing selected: copy and delete refuse, and the text stays.
        engine.setSelStart(0);
        QVERIFY(!engine.ClipboardAction(2));
        QVERIFY(!engine.ClipboardAction(4));
        QVERIFY(!engine.ClipboardAction(9));
        QVERIFY(text(engine).startsWith(QStringLiteral("一行目")));
    }

    void keysForLinesTabsAndOverwrite()
    {
        TTextEngine engine;
        QSignalSpy overwrite(&engine, &TTextEngine::overwriteModeChanged);
        QTest::keyClicks(&engine, QStringLiteral("abc"));
        QTest::keyClick(&engine, Qt::Key_Return, Qt::ShiftModifier);   // line break in the paragraph
        QTest::keyClick(&engine, Qt::Key_Tab);
        QTest::keyClicks(&engine, QStringLiteral("d"));
        QCOMPARE(engine.document()->blockCount(), 1);
        QCOMPARE(engine.document()->firstBlock().text(), QStringLiteral("abc\u2028\td"));
        QTest::keyClick(&engine, Qt::Key_Tab, Qt::ControlModifier);   // the window's, not a tab
        QCOMPARE(engine.document()->firstBlock().text(), QStringLiteral("abc\u2028\td"));

        QTest::keyClick(&engine, Qt::Key_Home, Qt::ControlModifier);
        QTest::keyClick(&engine, Qt::Key_Insert);
        QVERIFY(engine.OverwriteMode());
        QCOMPARE(overwrite.count(), 1);
        QCOMPARE(overwrite.first().first().toBool(), true);
        QTest::keyClicks(&engine, QStringLiteral("XY"));
        QCOMPARE(engine.document()->firstBlock().text(), QStringLiteral("XYc\u2028\td"));
        // Overwriting stops at the paragraph end.
        QTest::keyClick(&engine, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClicks(&engine, QStringLiteral("ef"));
        QCOMPARE(engine.document()->firstBlock().text(), QStringLiteral("XYc\u2028\tdef"));
        QTest::keyClick(&engine, Qt::Key_Insert);
        QVERIFY(!engine.OverwriteMode());

        // Ctrl+Backspace removes a word, Delete the next character.
        QTest::keyClick(&engine, Qt::Key_Backspace, Qt::ControlModifier);
        QVERIFY(!engine.document()->firstBlock().text().endsWith(QStringLiteral("def")));
        QTest::keyClick(&engine, Qt::Key_Home, Qt::ControlModifier);
        QTest::keyClick(&engine, Qt::Key_Delete);
        QVERIFY(engine.document()->firstBlock().text().startsWith(QStringLiteral("Yc")));

        // Shift+arrows select; typing replaces the selection.
        QTest::keyClick(&engine, Qt::Key_Right, Qt::ShiftModifier);
        QTest::keyClick(&engine, Qt::Key_Right, Qt::ShiftModifier);
        QCOMPARE(engine.SelLength(), 2);
        QTest::keyClicks(&engine, QStringLiteral("Z"));
        QVERIFY(engine.document()->firstBlock().text().startsWith(QStringLiteral("Z\u2028")));

        // Ctrl+A, Ctrl+Z and Ctrl+Y are the engine's own.
        QTest::keyClick(&engine, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(engine.SelLength(), engine.document()->characterCount() - 1);
        const QString before = text(engine);
        QTest::keyClick(&engine, Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(text(engine) != before);
        QTest::keyClick(&engine, Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(text(engine), before);
    }

    void mouseSelectsCharactersWordsAndParagraphs()
    {
        TTextEngine engine;
        engine.resize(800, 600);
        engine.show();
        QVERIFY(QTest::qWaitForWindowExposed(&engine));
        engine.document()->setPlainText(QStringLiteral("alpha beta gamma\nsecond paragraph here"));

        QTest::mouseClick(engine.viewport(), Qt::LeftButton, {}, characterPoint(engine, 7));
        QCOMPARE(engine.SelStart(), 7);
        QTest::mouseClick(engine.viewport(), Qt::LeftButton, Qt::ShiftModifier, characterPoint(engine, 13));
        QCOMPARE(engine.SelStart(), 7);
        QCOMPARE(engine.SelLength(), 6);

        // Double click: the word; a third click soon after: the paragraph.
        const QPoint beta = characterPoint(engine, 7);
        QTest::mouseDClick(engine.viewport(), Qt::LeftButton, {}, beta);
        QCOMPARE(engine.textCursor().selectedText(), QStringLiteral("beta"));
        QTest::mousePress(engine.viewport(), Qt::LeftButton, {}, beta);
        QTest::mouseRelease(engine.viewport(), Qt::LeftButton, {}, beta);
        QCOMPARE(engine.textCursor().selectedText(), QStringLiteral("alpha beta gamma"));

        // Dragging selects from the press to the release.
        QTest::qWait(QGuiApplication::styleHints()->mouseDoubleClickInterval() + 50);
        QTest::mouseClick(engine.viewport(), Qt::LeftButton, {}, characterPoint(engine, 30));
        QCOMPARE(engine.SelLength(), 0);
        QTest::qWait(QGuiApplication::styleHints()->mouseDoubleClickInterval() + 50);
        const QPoint from = characterPoint(engine, 2);
        const QPoint to = characterPoint(engine, 20);
        QTest::mousePress(engine.viewport(), Qt::LeftButton, {}, from);
        QMouseEvent move(QEvent::MouseMove, to, engine.viewport()->mapToGlobal(to), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(engine.viewport(), &move);
        QTest::mouseRelease(engine.viewport(), Qt::LeftButton, {}, to);
        QCOMPARE(engine.SelStart(), 2);
        QCOMPARE(engine.SelLength(), 18);
    }

    void zoomScalesTheViewAndKeepsTheCaretInSight()
    {
        TTextEngine engine;
        engine.resize(600, 400);
        engine.show();
        QVERIFY(QTest::qWaitForWindowExposed(&engine));
        QStringList lines;
        for (int i = 0; i < 400; ++i)
            lines << QStringLiteral("行 %1 の文章").arg(i);
        engine.document()->setPlainText(lines.join(u'\n'));
        QSignalSpy geometry(&engine, &TTextEngine::viewGeometryChanged);

        const double ppt100 = engine.pixelsPerTwip();
        engine.setZoomFactor(200);
        QCOMPARE(engine.ZoomFactor(), 200);
        QVERIFY(qAbs(engine.pixelsPerTwip() - 2 * ppt100) < 1e-9);
        QVERIFY(geometry.count() > 0);
        engine.setZoomFactor(5);
        QCOMPARE(engine.ZoomFactor(), 10);
        engine.setZoomFactor(1000);
        QCOMPARE(engine.ZoomFactor(), 400);

        // The caret far down the document stays visible through zooming.
        QTest::keyClick(&engine, Qt::Key_End, Qt::ControlModifier);
        for (int zoom : {25, 100, 300}) {
            engine.setZoomFactor(zoom);
            const QRect caret = imQuery(engine, Qt::ImCursorRectangle).toRect().translated(-engine.viewport()->pos());
            QVERIFY2(engine.viewport()->rect().contains(caret.center()), qPrintable(QString::number(zoom)));
        }
        QVERIFY(engine.ScrollPosY() > 0);

        // Ctrl+wheel zooms in steps of ten.
        engine.setZoomFactor(100);
        QWheelEvent wheel(QPointF(100, 100), engine.viewport()->mapToGlobal(QPointF(100, 100)), QPoint(),
                          QPoint(0, 120), Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(engine.viewport(), &wheel);
        QCOMPARE(engine.ZoomFactor(), 110);
    }

    void normalViewKeepsThePagesOfThePageView()
    {
        TTextEngine engine;
        engine.resize(700, 500);
        QStringList lines;
        for (int i = 0; i < 200; ++i)
            lines << QStringLiteral("段落 %1").arg(i);
        engine.document()->setPlainText(lines.join(u'\n'));
        const int pages = engine.CurrentPages();
        QVERIFY(pages > 1);
        engine.setSelStart(engine.document()->findBlockByNumber(150).position());
        const int page = engine.CurrentPage();
        const int line = engine.CaretLine();
        engine.setViewMode(0);
        QCOMPARE(engine.ViewMode(), 0);
        QCOMPARE(engine.CurrentPages(), pages);
        QCOMPARE(engine.CurrentPage(), page);
        QCOMPARE(engine.CaretLine(), line);
        // The normal view is as tall as the text, not as the sheets.
        const int normalHeight = engine.verticalScrollBar()->maximum();
        engine.setViewMode(1);
        QVERIFY(engine.verticalScrollBar()->maximum() > normalHeight);
    }

    void controlCharactersShowOnScreenButNeverPrint()
    {
        TTextEngine engine;
        engine.resize(600, 300);
        engine.show();
        QVERIFY(QTest::qWaitForWindowExposed(&engine));
        engine.document()->setPlainText(QStringLiteral("a b\tc\u3000d"));
        engine.clearFocus();
        const QImage plain = engine.viewport()->grab().toImage();
        engine.setControlChars(true);
        QVERIFY(engine.ControlChars());
        const QImage marked = engine.viewport()->grab().toImage();
        QVERIFY(plain != marked);

        QImage page(200, 280, QImage::Format_RGB32);
        QImage pageMarked(200, 280, QImage::Format_RGB32);
        for (QImage *image : {&page, &pageMarked}) {
            image->fill(Qt::gray);
            QPainter painter(image);
            engine.setPrintDevice(&painter);
            engine.setPrintZoom(25);
            QVERIFY(engine.PrintPage(1));
            engine.setControlChars(false);
        }
        QCOMPARE(page, pageMarked);
    }

    void insertTextFileIsOneStepAtTheCaret()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("insert.txt"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("\xe6\x8c\xbf\xe5\x85\xa5\n\xe4\xba\x8c\xe8\xa1\x8c");   // 挿入 / 二行 in UTF-8
        file.close();

        TTextEngine engine;
        QTest::keyClicks(&engine, QStringLiteral("[]"));
        engine.setSelStart(1);
        QVERIFY(engine.InsertTextFile(path));
        QCOMPARE(text(engine), QStringLiteral("[挿入\n二行]"));
        QVERIFY(engine.Undo());
        QCOMPARE(text(engine), QStringLiteral("[]"));
        QVERIFY(!engine.InsertTextFile(dir.filePath(QStringLiteral("missing.txt"))));
        QVERIFY(!engine.errorString().isEmpty());
        QCOMPARE(text(engine), QStringLiteral("[]"));
    }
};

QTEST_MAIN(tst_TextEngineEditing)
#include "tst_TextEngineEditing.moc"
