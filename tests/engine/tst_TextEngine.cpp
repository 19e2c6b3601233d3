#include "engine/DocumentModel.h"
#include "engine/EngineProperties.h"
#include "engine/TTextEngine.h"
#include "engine/formats/FormatCode.h"
#include "engine/layout/PageLayout.h"

#include <QAbstractTextDocumentLayout>
#include <QImage>
#include <QInputMethodEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QRandomGenerator>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextLayout>
#include <QTextTable>
#include <QApplication>
#include <QTimer>
#include <QtTest>

using tamapiko::engine::PageLayout;

namespace {

QTextDocument *document(TTextEngine &engine)
{
    return engine.document();
}

QVariant imQuery(TTextEngine &engine, Qt::InputMethodQuery query)
{
    return static_cast<QWidget &>(engine).inputMethodQuery(query);
}

QString japaneseParagraph(int n)
{
    return QStringLiteral("%1．吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。"
                          "Mixed English words wrap at spaces, 日本語は文字の間で折り返す。")
        .arg(n);
}

// Text enough for `pages` pages of the default A4 set-up.
QString manyPages(int pages)
{
    QStringList paragraphs;
    for (int i = 0; i < pages * 24; ++i)
        paragraphs << japaneseParagraph(i);
    return paragraphs.join(u'\n');
}

void typeAscii(TTextEngine &engine, const QString &text)
{
    QTest::keyClicks(&engine, text);
}

// Lines of every block as (block number, line, flow y, text start), the
// layout's whole answer in comparable form.
QList<QList<int>> layoutSnapshot(QTextDocument *document)
{
    QList<QList<int>> lines;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        const QTextLayout *layout = block.layout();
        for (int i = 0; i < layout->lineCount(); ++i) {
            const QTextLine line = layout->lineAt(i);
            lines.append({block.blockNumber(), i, int(layout->position().y() + line.y()), line.textStart()});
        }
    }
    return lines;
}

// Rows of an image that hold ink, as a string of '#' and '.', for comparing
// where lines of text land.
QString inkRows(const QImage &image)
{
    QString rows;
    for (int y = 0; y < image.height(); ++y) {
        bool ink = false;
        for (int x = 0; x < image.width() && !ink; ++x)
            ink = qGray(image.pixel(x, y)) < 128;
        rows += ink ? u'#' : u'.';
    }
    return rows;
}

QImage printPage(TTextEngine &engine, int page, int zoom)
{
    const double scale = zoom / 100.0 * 96 / 1440;
    QImage image(qCeil(engine.PageWidth() * scale), qCeil(engine.PageHeight() * scale),
                 QImage::Format_RGB32);
    image.fill(Qt::red);
    QPainter painter(&image);
    engine.setPrintDevice(&painter);
    engine.setPrintZoom(zoom);
    const bool ok = engine.PrintPage(page);
    painter.end();
    return ok ? image : QImage();
}

} // namespace

class tst_TextEngine : public QObject
{
    Q_OBJECT

private slots:
    void typingDeletingAndFormattingAreUndoneByKind();
    void typingIsOneUndoStepPerWord();
    void mixedSelectionReadsMixedValues();
    void formatAtCaretAppliesToTextTypedNext();
    void notificationsComeOncePerAction();
    void incrementalLayoutMatchesFreshLayout();
    void backgroundLayoutSurvivesEditsBeforeAndAfterItsProgress();
    void viewAndPrintPageAgreeOnEveryPage();
    void printPageRefusesMissingPagesAndDevices();
    void hitTestingLandsOnTheSameCharacterAtAnyZoom();
    void caretMovesAcrossPagesByKeyboard();
    void inputMethodPreeditAndCommit();
    void tablesInsertAndDeleteRowsAsOneStep();
    void tablesBreakAcrossPagesByRow();
    void loadAndSaveKeepTheBytesBeforeTheOffset();
    void failedLoadReportsAndLeavesNoHalfDocument();
    void pageSetupValuesAreKeptAndBadOnesStillLayOut();
    void picturesAsCharactersLayOutAndPaint();
    void connectedFramesMakeOneBox();
    void oneLayoutPaintsAlikeAtEveryResolution();
    void clearingTheModelEmptiesTheLayout();
    void paragraphFramesTakeRoomAndDraw();
    void layoutQueriesAheadOfTheStackingAreSafe();
    void aPictureInTheLineLeavesTheLineBeforeItAlone();
    void boldJapaneseTextIsDrawnBold();
};

void tst_TextEngine::typingDeletingAndFormattingAreUndoneByKind()
{
    TTextEngine engine;
    QCOMPARE(engine.CanUndo(), 0);
    QCOMPARE(engine.CanRedo(), 0);

    // The very first step undone can be redone.
    typeAscii(engine, QStringLiteral("hello"));
    QCOMPARE(engine.CanUndo(), 1);
    QVERIFY(engine.Undo());
    QCOMPARE(engine.CanRedo(), 10);
    QVERIFY(engine.Redo());
    QCOMPARE(engine.CanRedo(), 0);
    QCOMPARE(engine.CanUndo(), 1);

    QTest::keyClick(&engine, Qt::Key_Backspace);
    QCOMPARE(document(engine)->toPlainText(), QStringLiteral("hell"));
    QCOMPARE(engine.CanUndo(), 2);

    engine.setSelStart(0);
    engine.setSelLength(4);
    engine.setFontBold(1);
    QCOMPARE(engine.CanUndo(), 3);

    QVERIFY(engine.Undo());
    QCOMPARE(engine.CanRedo(), 12);
    QCOMPARE(engine.CanUndo(), 2);
    QVERIFY(engine.Undo());
    QCOMPARE(engine.CanRedo(), 11);
    QCOMPARE(document(engine)->toPlainText(), QStringLiteral("hello"));
    QVERIFY(engine.Redo());
    QCOMPARE(engine.CanUndo(), 2);
    QCOMPARE(engine.CanRedo(), 12);

    // A new edit drops what could be redone, and its own kind counts.
    engine.setSelStart(4);
    typeAscii(engine, QStringLiteral("!"));
    QCOMPARE(engine.CanRedo(), 0);
    QCOMPARE(engine.CanUndo(), 1);
    while (engine.Undo()) { }
    QCOMPARE(engine.CanUndo(), 0);
    QCOMPARE(engine.CanRedo(), 10);
    QCOMPARE(document(engine)->toPlainText(), QString());
}

void tst_TextEngine::typingIsOneUndoStepPerWord()
{
    TTextEngine engine;
    typeAscii(engine, QStringLiteral("one two three"));
    QVERIFY(engine.Undo());
    QCOMPARE(document(engine)->toPlainText(), QStringLiteral("one two "));
    QVERIFY(engine.Undo());
    QCOMPARE(document(engine)->toPlainText(), QStringLiteral("one "));

    // Backspaces in a row are one step, and so is a run of Delete.
    typeAscii(engine, QStringLiteral("abc"));
    QTest::keyClick(&engine, Qt::Key_Backspace);
    QTest::keyClick(&engine, Qt::Key_Backspace);
    QVERIFY(engine.Undo());
    QCOMPARE(document(engine)->toPlainText(), QStringLiteral("one abc"));

    // Moving the caret ends the step even within a word.
    QTest::keyClick(&engine, Qt::Key_End);
    typeAscii(engine, QStringLiteral("d"));
    QTest::keyClick(&engine, Qt::Key_Left);
    QTest::keyClick(&engine, Qt::Key_Right);
    typeAscii(engine, QStringLiteral("e"));
    QVERIFY(engine.Undo());
    QCOMPARE(document(engine)->toPlainText(), QStringLiteral("one abcd"));
}

void tst_TextEngine::mixedSelectionReadsMixedValues()
{
    TTextEngine engine;
    QTextCursor cursor = engine.textCursor();
    QTextCharFormat first;
    first.setFontFamilies({QStringLiteral("ＭＳ ゴシック")});
    first.setFontPointSize(12);
    first.setFontWeight(QFont::Bold);
    first.setForeground(QColor(0x11, 0x22, 0x33));
    cursor.insertText(QStringLiteral("太字"), first);
    QTextCharFormat second;
    second.setFontFamilies({QStringLiteral("ＭＳ 明朝")});
    second.setFontPointSize(10);
    second.setFontItalic(true);
    second.setFontUnderline(true);
    second.setBackground(QColor(0xFF, 0xFF, 0x00));
    cursor.insertText(QStringLiteral("斜体"), second);

    engine.setSelStart(0);
    engine.setSelLength(2);
    QCOMPARE(engine.FontName(), QStringLiteral("ＭＳ ゴシック"));
    QCOMPARE(engine.FontSize(), 12.0);
    QCOMPARE(engine.FontBold(), 1);
    QCOMPARE(engine.FontItalic(), 0);
    QCOMPARE(engine.ForeColor(), 0x332211);   // red in the low byte
    QCOMPARE(engine.TextBkColor(), 0xFFFFFF);

    engine.setSelLength(4);
    QCOMPARE(engine.FontName(), QString());
    QCOMPARE(engine.FontSize(), 0.0);
    QCOMPARE(engine.FontBold(), 2);
    QCOMPARE(engine.FontItalic(), 2);
    QCOMPARE(engine.FontUnderline(), 2);
    QCOMPARE(engine.ForeColor(), -1);
    QCOMPARE(engine.TextBkColor(), -1);

    // Paragraph values mix across paragraphs the same way.
    engine.setSelStart(4);
    QTest::keyClick(&engine, Qt::Key_Return);
    engine.setAlignment(2);
    QCOMPARE(engine.Alignment(), 2);
    engine.setSelStart(0);
    engine.setSelLength(-1);
    QCOMPARE(engine.Alignment(), -1);
    engine.setAlignment(3);
    QCOMPARE(engine.Alignment(), 3);
}

void tst_TextEngine::formatAtCaretAppliesToTextTypedNext()
{
    TTextEngine engine;
    typeAscii(engine, QStringLiteral("plain "));
    const int undoBefore = document(engine)->availableUndoSteps();
    engine.setFontBold(1);
    engine.setForeColor(0x0000FF);   // red
    QCOMPARE(engine.FontBold(), 1);
    QCOMPARE(document(engine)->availableUndoSteps(), undoBefore);   // nothing changed yet
    typeAscii(engine, QStringLiteral("bold"));
    engine.setSelStart(6);
    engine.setSelLength(4);
    QCOMPARE(engine.FontBold(), 1);
    QCOMPARE(engine.ForeColor(), 0x0000FF);
    engine.setSelStart(0);
    engine.setSelLength(5);
    QCOMPARE(engine.FontBold(), 0);
    QCOMPARE(engine.ForeColor(), 0);
    // New text starts in the Japanese default font.
    QCOMPARE(engine.FontName(), QStringLiteral("ＭＳ 明朝"));

    // With FormatSelection off the setters format all the text, whatever is selected.
    engine.setFormatSelection(false);
    engine.setSelStart(0);
    engine.setSelLength(1);
    engine.setFontItalic(1);
    engine.setFormatSelection(true);
    engine.setSelStart(0);
    engine.setSelLength(-1);
    QCOMPARE(engine.FontItalic(), 1);
    QCOMPARE(engine.FontBold(), 2); // the bold word is still bold, the rest is not
}

void tst_TextEngine::notificationsComeOncePerAction()
{
    TTextEngine engine;
    QSignalSpy change(&engine, &TTextEngine::OnChange);
    QSignalSpy position(&engine, &TTextEngine::OnPosChange);
    QSignalSpy paragraph(&engine, &TTextEngine::OnParagraphChange);

    QTest::keyClick(&engine, Qt::Key_A);
    QCOMPARE(change.count(), 1);
    QCOMPARE(position.count(), 1);
    QCOMPARE(paragraph.count(), 0);
    QCOMPARE(change.first().first().value<QObject *>(), &engine);

    QTest::keyClick(&engine, Qt::Key_Return);
    QCOMPARE(change.count(), 2);
    QCOMPARE(paragraph.count(), 1);

    QTest::keyClick(&engine, Qt::Key_Left);
    QCOMPARE(change.count(), 2);
    QCOMPARE(position.count(), 3);
    QCOMPARE(paragraph.count(), 2);

    // Changes made straight on the document (by a dialog) are reported too,
    // once, when control returns to the event loop.
    QTextCursor(document(engine)).insertText(QStringLiteral("x"));
    QTextCursor(document(engine)).insertText(QStringLiteral("y"));
    QCoreApplication::processEvents();
    QCOMPARE(change.count(), 3);
}

void tst_TextEngine::incrementalLayoutMatchesFreshLayout()
{
    TTextEngine edited;
    document(edited)->setPlainText(manyPages(6));
    QVERIFY(edited.CurrentPages() >= 5);
    QTextCursor cursor = edited.textCursor();

    // Edits that add and remove lines and paragraphs in the middle, at the
    // start and at the end, and one that changes a paragraph's format.
    QRandomGenerator random(7);
    for (int i = 0; i < 40; ++i) {
        const int length = document(edited)->characterCount() - 1;
        cursor.setPosition(random.bounded(length + 1));
        switch (random.bounded(4)) {
        case 0:
            cursor.insertText(japaneseParagraph(i).left(random.bounded(5, 60)));
            break;
        case 1:
            cursor.insertBlock();
            break;
        case 2:
            cursor.setPosition(std::min(length, cursor.position() + random.bounded(1, 120)),
                               QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
            break;
        default: {
            QTextBlockFormat format;
            format.setTopMargin(random.bounded(0, 30));
            format.setLeftMargin(random.bounded(0, 40));
            cursor.mergeBlockFormat(format);
        }
        }
        edited.CurrentPages();
    }

    TTextEngine fresh;
    QTextCursor(document(fresh)).insertFragment(QTextDocumentFragment(document(edited)));
    QCOMPARE(fresh.CurrentPages(), edited.CurrentPages());
    QCOMPARE(layoutSnapshot(document(edited)), layoutSnapshot(document(fresh)));
}

void tst_TextEngine::backgroundLayoutSurvivesEditsBeforeAndAfterItsProgress()
{
    TTextEngine edited;
    PageLayout *layout = qobject_cast<PageLayout *>(document(edited)->documentLayout());
    layout->setForegroundBudget(0);   // stack the least each time, finish in slices
    document(edited)->setPlainText(manyPages(12));
    QVERIFY(!layout->isComplete());

    // Edits behind, at and far beyond what is stacked so far, interleaved
    // with slices of background work.
    QTextCursor cursor = edited.textCursor();
    for (int round = 0; round < 6 && !layout->isComplete(); ++round) {
        const int length = document(edited)->characterCount() - 1;
        cursor.setPosition(length / 7 * (round + 1) % length);
        cursor.insertText(japaneseParagraph(round));
        cursor.insertBlock();
        cursor.setPosition(length - 10);
        cursor.setPosition(length - 300, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        QCoreApplication::processEvents();
    }
    QTRY_VERIFY(layout->isComplete());

    TTextEngine fresh;
    QTextCursor(document(fresh)).insertFragment(QTextDocumentFragment(document(edited)));
    QCOMPARE(edited.CurrentPages(), fresh.CurrentPages());
    QCOMPARE(layoutSnapshot(document(edited)), layoutSnapshot(document(fresh)));
}

void tst_TextEngine::viewAndPrintPageAgreeOnEveryPage()
{
    TTextEngine engine;
    engine.resize(900, 700);
    document(engine)->setPlainText(manyPages(50));
    const int pages = engine.CurrentPages();
    QVERIFY2(pages >= 40, qPrintable(QString::number(pages)));

    // Each page of the view starts with the same character that PrintPage's
    // page starts with, and shows its lines at the same heights.
    engine.setZoomFactor(100);
    for (int page : {1, 2, 25, pages}) {
        const QImage printed = printPage(engine, page, 100);
        QVERIFY(!printed.isNull());
        QCOMPARE(printed.pixelColor(0, 0), QColor(Qt::white));   // the whole page is covered

        const double scale = engine.pixelsPerTwip();
        const int sheetTop = qRound((300 + (page - 1) * (engine.PageHeight() + 300)) * scale);
        engine.verticalScrollBar()->setValue(sheetTop);
        QCoreApplication::processEvents();
        const QImage view = engine.viewport()->grab().toImage();
        const int offset = sheetTop - engine.verticalScrollBar()->value();
        const int height = std::min(printed.height(), view.height() - offset);
        const int left = engine.pageOriginX() - engine.viewport()->x();
        const QImage sheet = view.copy(left, offset, printed.width(), height);
        const QString viewRows = inkRows(sheet);
        const QString printRows = inkRows(printed.copy(0, 0, printed.width(), height));
        QCOMPARE(viewRows, printRows);
    }
}

void tst_TextEngine::printPageRefusesMissingPagesAndDevices()
{
    TTextEngine engine;
    document(engine)->setPlainText(QStringLiteral("一頁"));
    QVERIFY(!engine.PrintPage(1));   // no device yet
    QImage image(100, 100, QImage::Format_RGB32);
    image.fill(Qt::red);
    QPainter painter(&image);
    engine.setPrintDevice(&painter);
    engine.setPrintZoom(10);
    QVERIFY(!engine.PrintPage(0));
    QVERIFY(!engine.PrintPage(2));
    QVERIFY(!engine.errorString().isEmpty());
    QCOMPARE(image.pixelColor(50, 50), QColor(Qt::red));   // nothing drawn
    QVERIFY(engine.PrintPage(1));
    painter.end();
    QCOMPARE(image.pixelColor(5, 5), QColor(Qt::white));
}

void tst_TextEngine::hitTestingLandsOnTheSameCharacterAtAnyZoom()
{
    TTextEngine engine;
    engine.resize(800, 600);
    engine.show();
    QVERIFY(QTest::qWaitForWindowExposed(&engine));
    document(engine)->setPlainText(manyPages(2));
    const int target = 137;
    for (int zoom : {50, 100, 200}) {
        for (int mode : {1, 0}) {
            engine.setViewMode(mode);
            engine.setZoomFactor(zoom);
            engine.setSelStart(target);
            const QRect caret = imQuery(engine, Qt::ImCursorRectangle).toRect();
            engine.setSelStart(0);
            // Just right of the caret line, half-way down: inside the character.
            const QPoint point = caret.center() + QPoint(1, 0) - engine.viewport()->pos();
            QTest::mouseClick(engine.viewport(), Qt::LeftButton, {}, point);
            QCOMPARE(engine.SelStart(), target);
        }
    }
}

void tst_TextEngine::caretMovesAcrossPagesByKeyboard()
{
    TTextEngine engine;
    engine.resize(800, 600);
    document(engine)->setPlainText(manyPages(3));
    PageLayout *layout = qobject_cast<PageLayout *>(document(engine)->documentLayout());
    QVERIFY(layout);

    // Down from the last line of page 1 lands on the first line of page 2,
    // and Up brings it back.
    QTextCursor cursor = engine.textCursor();
    int lastOnFirstPage = 0;
    for (int p = 0; p < document(engine)->characterCount() - 1; p += 5) {
        if (layout->pageOfPosition(p) == 0)
            lastOnFirstPage = p;
    }
    engine.setSelStart(lastOnFirstPage);
    QCOMPARE(engine.CurrentPage(), 1);
    QTest::keyClick(&engine, Qt::Key_Down);
    QCOMPARE(engine.CurrentPage(), 2);
    QCOMPARE(engine.CaretLine(), 1);
    QTest::keyClick(&engine, Qt::Key_Up);
    QCOMPARE(engine.CurrentPage(), 1);

    QTest::keyClick(&engine, Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(engine.SelStart(), document(engine)->characterCount() - 1);
    QTest::keyClick(&engine, Qt::Key_Home, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(engine.SelLength(), document(engine)->characterCount() - 1);
    QTest::keyClick(&engine, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(&engine, Qt::Key_PageDown);
    QVERIFY(engine.SelStart() > 0);
    QTest::keyClick(&engine, Qt::Key_End);
    const int lineEnd = engine.SelStart();
    QVERIFY(engine.CaretColumn() > 10);
    QTest::keyClick(&engine, Qt::Key_Home);
    QCOMPARE(engine.CaretColumn(), 1);
    QVERIFY(engine.SelStart() < lineEnd);
}

void tst_TextEngine::inputMethodPreeditAndCommit()
{
    TTextEngine engine;
    engine.resize(800, 600);
    typeAscii(engine, QStringLiteral("ab"));
    const QRect before = imQuery(engine, Qt::ImCursorRectangle).toRect();

    QInputMethodEvent preedit(QStringLiteral("にほんご"), {});
    QCoreApplication::sendEvent(&engine, &preedit);
    QCOMPARE(document(engine)->toPlainText(), QStringLiteral("ab"));   // not text yet
    const QRect during = imQuery(engine, Qt::ImCursorRectangle).toRect();
    QVERIFY(during.left() > before.left() + 20);   // the caret follows the preedit

    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("日本語"));
    QCoreApplication::sendEvent(&engine, &commit);
    QCOMPARE(document(engine)->toPlainText(), QStringLiteral("ab日本語"));
    QCOMPARE(engine.SelStart(), 5);
    QCOMPARE(engine.CanUndo(), 1);
    QCOMPARE(imQuery(engine, Qt::ImSurroundingText).toString(), QStringLiteral("ab日本語"));

    // A conversion is its own step.
    QVERIFY(engine.Undo());
    QCOMPARE(document(engine)->toPlainText(), QStringLiteral("ab"));
}

// The fonts standing in for the Japanese design fonts have no bold face; bold
// runs must still come out heavier on paper and on screen, and the input
// method's underlined preedit inside such a run must survive the relayout.
void tst_TextEngine::boldJapaneseTextIsDrawnBold()
{
    auto inkOf = [](const QImage &image) {
        qint64 ink = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                ink += qGray(image.pixel(x, y)) < 128;
        return ink;
    };
    TTextEngine engine;
    engine.resize(800, 600);
    QTextCursor(document(engine)).insertText(QStringLiteral("太字の見出しと本文"));
    engine.setSelStart(0);
    engine.setSelLength(-1);
    engine.setFontName(QStringLiteral("ＭＳ 明朝"));
    engine.setFontSize(20);
    const qint64 regular = inkOf(printPage(engine, 1, 100));
    engine.setFontBold(1);
    QCOMPARE(engine.FontBold(), 1);
    const qint64 bold = inkOf(printPage(engine, 1, 100));
    QVERIFY2(bold > regular * 5 / 4, qPrintable(QStringLiteral("regular %1, bold %2").arg(regular).arg(bold)));

    engine.setSelStart(2);
    engine.setSelLength(0);
    QInputMethodEvent preedit(QStringLiteral("にほんご"), {});
    QCoreApplication::sendEvent(&engine, &preedit);
    const QTextLayout *layout = document(engine)->findBlock(0).layout();
    bool underlined = false;
    for (const QTextLayout::FormatRange &range : layout->formats())
        underlined = underlined || (range.start == 2 && range.format.fontUnderline());
    QVERIFY(underlined);
}

void tst_TextEngine::tablesInsertAndDeleteRowsAsOneStep()
{
    TTextEngine engine;
    typeAscii(engine, QStringLiteral("before"));
    QCOMPARE(engine.TableCanChangeAttr(), false);
    QCOMPARE(engine.TableInsert(0, 2, -1, 0) != 0, true);   // refused, nothing changed
    QCOMPARE(engine.TableInsert(3, 2, -1, 0), 0);
    QVERIFY(engine.TableCanChangeAttr());
    QTextTable *table = engine.textCursor().currentTable();
    QVERIFY(table);
    QCOMPARE(table->rows(), 3);
    QCOMPARE(table->columns(), 2);
    typeAscii(engine, QStringLiteral("x"));
    QTest::keyClick(&engine, Qt::Key_Tab);   // next cell
    QCOMPARE(table->cellAt(engine.textCursor()).column(), 1);

    engine.setSelStart(table->cellAt(1, 0).firstPosition());
    QVERIFY(engine.TableDeleteLines());
    QCOMPARE(table->rows(), 2);
    QCOMPARE(engine.CanUndo(), 3);   // a table edit: undone as a change of arrangement
    QVERIFY(engine.Undo());
    QCOMPARE(table->rows(), 3);

    // Deleting every row removes the table.
    engine.setSelStart(table->cellAt(0, 0).firstPosition());
    QTextCursor all = engine.textCursor();
    all.setPosition(table->cellAt(2, 1).firstPosition(), QTextCursor::KeepAnchor);
    engine.setTextCursor(all);
    QVERIFY(engine.TableDeleteLines());
    QVERIFY(!QTextCursor(document(engine)).currentTable());
    QVERIFY(document(engine)->toPlainText().startsWith(QStringLiteral("before")));
}

void tst_TextEngine::tablesBreakAcrossPagesByRow()
{
    TTextEngine engine;
    QCOMPARE(engine.TableInsert(120, 2, -1, 0), 0);
    QTextTable *table = engine.textCursor().currentTable();
    for (int r = 0; r < 120; ++r)
        table->cellAt(r, 0).firstCursorPosition().insertText(QStringLiteral("行 %1").arg(r));
    QVERIFY(engine.CurrentPages() >= 2);
    PageLayout *layout = qobject_cast<PageLayout *>(document(engine)->documentLayout());
    const tamapiko::engine::TableGeometry *g = layout->tableGeometry(table);
    QVERIFY(g);
    const int H = layout->textHeight();
    for (int r = 0; r < 120; ++r) {
        const int top = g->rowTop[r] % H;
        QVERIFY2(top + g->rowHeight[r] <= H, "a row crosses a page end");
    }
    // The first row on page 2 starts at the top of the page.
    int firstOnSecond = 0;
    while (g->rowTop[firstOnSecond] < H)
        ++firstOnSecond;
    QCOMPARE(g->rowTop[firstOnSecond], H);
}

void tst_TextEngine::loadAndSaveKeepTheBytesBeforeTheOffset()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("doc.txm"));
    const QByteArray header("HEADER-28-BYTES-OF-PAGE-DATA");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(header);
    file.write(QByteArray("\x93\xfa\x96\x7b\x8c\xea\r\n2\x8d\x73\x96\xda\r\n"));   // 日本語 / 2行目 in Shift-JIS
    file.close();

    TTextEngine engine;
    QSignalSpy change(&engine, &TTextEngine::OnChange);
    QCOMPARE(engine.LoadDocument(path, header.size(), 1, 0), 0);
    QCOMPARE(document(engine)->toPlainText(), QStringLiteral("日本語\n2行目\n"));
    QCOMPARE(change.count(), 0);   // loading is not a change
    QCOMPARE(engine.CanUndo(), 0);

    QTest::keyClick(&engine, Qt::Key_End, Qt::ControlModifier);
    typeAscii(engine, QStringLiteral("end"));
    QCOMPARE(engine.SaveDocument(path, header.size(), 1, 0), 0);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray saved = file.readAll();
    file.close();
    QVERIFY(saved.startsWith(header));
    QCOMPARE(saved.mid(header.size()),
             QByteArray("\x93\xfa\x96\x7b\x8c\xea\r\n2\x8d\x73\x96\xda\r\nend"));

    // A shorter document truncates what followed.
    document(engine)->setPlainText(QStringLiteral("x"));
    QCOMPARE(engine.SaveDocument(path, header.size(), 1, 0), 0);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), header + "x");
}

void tst_TextEngine::failedLoadReportsAndLeavesNoHalfDocument()
{
    TTextEngine engine;
    typeAscii(engine, QStringLiteral("keep"));
    QVERIFY(engine.LoadDocument(QStringLiteral("/nonexistent/file.txt"), 0, 1, 0) != 0);
    QVERIFY(!engine.errorString().isEmpty());
    QCOMPARE(document(engine)->toPlainText(), QStringLiteral("keep"));   // untouched
    QVERIFY(engine.LoadDocument(QStringLiteral("/nonexistent/file.txt"), 0, 77, 0) != 0);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("short.txt"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("abc");
    file.close();
    QVERIFY(engine.LoadDocument(path, 10, tamapiko::engine::FormatCode::Text, 0) != 0);   // offset past the end
    QVERIFY(engine.SaveDocument(dir.filePath(QStringLiteral("x.txt")), 0, 77, 0) != 0);
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("x.txt"))));
}

void tst_TextEngine::pageSetupValuesAreKeptAndBadOnesStillLayOut()
{
    TTextEngine engine;
    document(engine)->setPlainText(manyPages(2));
    const int a4Pages = engine.CurrentPages();
    QSignalSpy geometry(&engine, &TTextEngine::viewGeometryChanged);
    engine.SaveAttribute(0, 16838);   // landscape
    engine.SaveAttribute(1, 11900);
    QCOMPARE(engine.PageWidth(), 16838);
    QCOMPARE(engine.PageHeight(), 11900);
    QVERIFY(engine.CurrentPages() > a4Pages);
    QVERIFY(geometry.count() > 0);

    // Margins wider than the paper leave no room; the engine still lays out
    // in a narrow column rather than failing.
    engine.setPageMarginL(20000);
    QCOMPARE(engine.PageMarginL(), 20000);
    QVERIFY(engine.CurrentPages() > 0);
    engine.setSelStart(50);
    QTest::keyClick(&engine, Qt::Key_Down);
    QVERIFY(engine.SelStart() > 50);
}

void tst_TextEngine::picturesAsCharactersLayOutAndPaint()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("red.png"));
    QImage red(192, 96, QImage::Format_RGB32);   // 2 x 1 inches at 96 dpi
    red.fill(Qt::red);
    QVERIFY(red.save(path));

    TTextEngine engine;
    typeAscii(engine, QStringLiteral("ab"));
    QVERIFY(engine.InsertObjectAsChar(0, path, -1, 100, 100, 0, 1, 0) == 0);
    QCOMPARE(engine.CanUndo(), 1);
    QCOMPARE(engine.SelStart(), 3);
    const QTextCharFormat format = [&] {
        QTextCursor c(document(engine));
        c.setPosition(3);
        return c.charFormat();
    }();
    QVERIFY(format.isImageFormat());
    QVERIFY(qAbs(format.toImageFormat().width() - 144.0) < 0.1);   // points
    QVERIFY(!format.property(tamapiko::engine::ImageOriginalData).toByteArray().isEmpty());

    // The line grows to the picture's height, and the picture is on paper.
    PageLayout *layout = qobject_cast<PageLayout *>(document(engine)->documentLayout());
    QVERIFY(layout->caretRect(3).height() >= 1440);
    const QImage page = printPage(engine, 1, 100);
    const int top = engine.PageMarginT() / 15;
    const int left = engine.PageMarginL() / 15;
    QCOMPARE(page.pixelColor(left + 40, top + 48), QColor(Qt::red));

    // Linked pictures keep their path; wide pictures shrink to the text width.
    const QString widePath = dir.filePath(QStringLiteral("wide.png"));
    QImage wide(2000, 100, QImage::Format_RGB32);
    wide.fill(Qt::blue);
    QVERIFY(wide.save(widePath));
    QVERIFY(engine.InsertObjectAsChar(0, widePath, -1, 100, 100, 0, 0, 0) == 0);
    QTextCursor c(document(engine));
    c.setPosition(4);
    QCOMPARE(c.charFormat().property(tamapiko::engine::ImageLinkedPath).toString(), widePath);
    const QRectF before = layout->caretRect(3);
    const QRectF after = layout->caretRect(4);
    QVERIFY(after.left() <= layout->textWidth() + 1);
    Q_UNUSED(before);

    // A file that is no picture is refused and changes nothing.
    const QString bogus = dir.filePath(QStringLiteral("bogus.png"));
    QFile file(bogus);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("not a picture");
    file.close();
    const QString text = document(engine)->toPlainText();
    QVERIFY(engine.InsertObjectAsChar(0, bogus, -1, 100, 100, 0, 1, 0) != 0);
    QVERIFY(engine.InsertObjectAsChar(0, dir.filePath(QStringLiteral("missing.png")), -1, 100, 100, 0, 1, 0) != 0);
    // An object asks for its file; cancelling that inserts nothing.
    QTimer::singleShot(0, &engine, [] {
        QTRY_VERIFY(QApplication::activeModalWidget());
        QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape);
    });
    QCOMPARE(engine.InsertObjectAsChar(1, QStringLiteral("0"), -1, 100, 100, 0, 0, 0), TTextEngine::InsertCancelled);
    QCOMPARE(document(engine)->toPlainText(), text);
}

// A line's top once everything is laid out: on a busy machine the layout may
// still be stacking the rest of the document in the background after an edit.
namespace {
int settledTop(PageLayout *layout, const QTextBlock &block, int line)
{
    layout->ensureComplete();
    return layout->lineTop(block, line);
}
} // namespace

void tst_TextEngine::paragraphFramesTakeRoomAndDraw()
{
    TTextEngine engine;
    document(engine)->setPlainText(QStringLiteral("枠のない段落\n枠のある段落\n次の段落"));
    PageLayout *layout = qobject_cast<PageLayout *>(document(engine)->documentLayout());
    const QTextBlock framed = document(engine)->findBlockByNumber(1);
    const int topBefore = settledTop(layout, framed, 0);

    engine.setSelStart(framed.position() + 1);
    engine.setFrameStyle(0x0F | 0x1000 | 0x20);   // four sides on, tab lines off, single
    engine.setFrameLineWidth(40);
    engine.setFrameDistance(60);
    QCOMPARE(engine.FrameStyle(), 0x0F);
    QCOMPARE(engine.FrameLineWidth(), 40);
    QCOMPARE(engine.FrameDistance(), 60);
    QCOMPARE(settledTop(layout, framed, 0), topBefore + 100);

    // The top side is drawn between the first paragraph and the framed one.
    const QImage page = printPage(engine, 1, 200);
    const double scale = 2 * 96.0 / 1440;
    const int x = qRound((engine.PageMarginL() + 2000) * scale);
    const int y = qRound((engine.PageMarginT() + topBefore + 40) * scale);
    bool ink = false;
    for (int dy = -4; dy <= 4 && !ink; ++dy)
        ink = qGray(page.pixel(x, y + dy)) < 100;
    QVERIFY(ink);

    // Switching every side off removes the frame; the three steps undo one by one.
    engine.setFrameStyle(0x1F20);
    QCOMPARE(engine.FrameStyle(), 0);
    QCOMPARE(settledTop(layout, framed, 0), topBefore);
    QCOMPARE(engine.CanUndo(), 3);

    // Several paragraphs with different frames read as the parts they share
    // (-1 would read as every part switched on).
    engine.setFrameStyle(0x01 | 0x04);
    engine.setSelStart(0);
    engine.setSelLength(-1);
    QCOMPARE(engine.FrameStyle(), 0);
    engine.setFrameStyle(0x01);
    QCOMPARE(engine.FrameStyle(), 0x01);
}

void tst_TextEngine::layoutQueriesAheadOfTheStackingAreSafe()
{
    // On a busy machine the stacking stops after its first paragraph and
    // leaves the rest to the background: asking where a later line stands
    // meanwhile must not read lines that are not there.
    TTextEngine engine;
    PageLayout *layout = qobject_cast<PageLayout *>(document(engine)->documentLayout());
    layout->setForegroundBudget(0);
    QStringList lines;
    for (int i = 0; i < 300; ++i)
        lines << QStringLiteral("段落 %1").arg(i);
    document(engine)->setPlainText(lines.join(u'\n'));
    const QTextBlock last = document(engine)->lastBlock();
    QVERIFY(last.layout()->lineCount() == 0);
    QCOMPARE(layout->lineTop(last, 0), int(last.layout()->position().y()));
    QVERIFY(engine.CurrentPages() > 1);
    QVERIFY(layout->lineTop(last, 0) > layout->lineTop(document(engine)->firstBlock(), 0));
}

void tst_TextEngine::aPictureInTheLineLeavesTheLineBeforeItAlone()
{
    // A tall picture inserted as a character in the third line of a
    // paragraph goes on that line; the second line keeps the height of its
    // text, and its caret and text stand where a text line stands.
    TTextEngine engine;
    const QString sentence = QStringLiteral("吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。");
    document(engine)->setPlainText(sentence.repeated(6));
    PageLayout *layout = qobject_cast<PageLayout *>(document(engine)->documentLayout());
    QTextBlock block = document(engine)->firstBlock();
    const int lineStep = settledTop(layout, block, 1) - settledTop(layout, block, 0);
    const int third = block.layout()->lineAt(2).textStart();

    QTemporaryDir dir;
    QImage picture(200, 200, QImage::Format_RGB32);
    picture.fill(Qt::red);
    const QString path = dir.filePath(QStringLiteral("tall.png"));
    QVERIFY(picture.save(path));
    QCOMPARE(engine.InsertObjectAsChar(0, path, third, 100, 100, 0, 1, 0), 0);

    block = document(engine)->firstBlock();
    const int top0 = settledTop(layout, block, 0);
    const int top1 = settledTop(layout, block, 1);
    const int top2 = settledTop(layout, block, 2);
    QCOMPARE(block.text().at(block.layout()->lineAt(2).textStart()), QChar(QChar::ObjectReplacementCharacter));
    QCOMPARE(top1 - top0, lineStep);
    QCOMPARE(top2 - top1, lineStep);
    QVERIFY(settledTop(layout, block, 3) - top2 > 2900);   // the picture's line: 200 px at 96 dpi
    const QRectF caret = layout->caretRect(block.position() + block.layout()->lineAt(1).textStart() + 1);
    QCOMPARE(int(caret.top()), top1);
    QVERIFY(caret.height() < 2 * lineStep);
}

void tst_TextEngine::connectedFramesMakeOneBox()
{
    TTextEngine engine;
    document(engine)->setPlainText(QStringLiteral("前\n一つ目\n二つ目\n後"));
    PageLayout *layout = qobject_cast<PageLayout *>(document(engine)->documentLayout());
    const QTextBlock first = document(engine)->findBlockByNumber(1);
    const QTextBlock second = document(engine)->findBlockByNumber(2);
    const int gapBefore = settledTop(layout, second, 0) - settledTop(layout, first, 0);

    engine.setSelStart(first.position());
    engine.setSelLength(second.position() + 1 - first.position());
    engine.setFrameStyle(0x0F | 0x80);
    engine.setFrameLineWidth(20);
    engine.setFrameDistance(40);
    // No frame room between the two: they share one box.
    QCOMPARE(settledTop(layout, second, 0) - settledTop(layout, first, 0), gapBefore);

    // Unconnected, each paragraph gets its own box and the room for it.
    engine.setFrameStyle(0x0F | 0x1000 | 0x20);
    QCOMPARE(engine.FrameStyle(), 0x0F);
    QCOMPARE(settledTop(layout, second, 0) - settledTop(layout, first, 0), gapBefore + 2 * 60);

    // The incremental layout agrees with a fresh one.
    TTextEngine fresh;
    QTextCursor(document(fresh)).insertFragment(QTextDocumentFragment(document(engine)));
    fresh.CurrentPages();
    QCOMPARE(layoutSnapshot(document(engine)), layoutSnapshot(document(fresh)));
}

// Bands of rows with ink, as (top, bottom) pairs, scaled to a reference
// height, so that pictures of one page at different resolutions compare.
QList<QPair<double, double>> inkBands(const QImage &image)
{
    const QString rows = inkRows(image);
    QList<QPair<double, double>> bands;
    int start = -1;
    for (int y = 0; y <= rows.size(); ++y) {
        const bool ink = y < rows.size() && rows.at(y) == u'#';
        if (ink && start < 0)
            start = y;
        if (!ink && start >= 0) {
            bands.append({double(start) / image.height(), double(y) / image.height()});
            start = -1;
        }
    }
    return bands;
}

void tst_TextEngine::oneLayoutPaintsAlikeAtEveryResolution()
{
    TTextEngine engine;
    document(engine)->setPlainText(manyPages(1));
    const int pageWidth = engine.PageWidth();
    const int pageHeight = engine.PageHeight();
    // The same page at 50 %, 100 % and 200 % on a 96 dpi image and at 100 %
    // on a 600 dpi one: lines of text land at the same relative heights.
    QList<QList<QPair<double, double>>> results;
    for (const auto &[zoom, dpi] : {std::pair{50, 96}, {100, 96}, {200, 96}, {100, 600}}) {
        const double scale = zoom / 100.0 * dpi / 1440;
        QImage image(qCeil(pageWidth * scale), qCeil(pageHeight * scale), QImage::Format_RGB32);
        image.setDotsPerMeterX(qRound(dpi / 0.0254));
        image.setDotsPerMeterY(qRound(dpi / 0.0254));
        image.fill(Qt::white);
        QPainter painter(&image);
        engine.setPrintDevice(&painter);
        engine.setPrintZoom(zoom);
        QVERIFY(engine.PrintPage(1));
        painter.end();
        results.append(inkBands(image));
    }
    const auto &reference = results.at(3);   // the finest
    for (int r = 0; r < 3; ++r) {
        const auto &bands = results.at(r);
        QCOMPARE(bands.size(), reference.size());
        const double pixel = 1.0 / (pageHeight * (r == 0 ? 0.5 : r == 1 ? 1 : 2) * 96 / 1440);
        for (int i = 0; i < bands.size(); ++i) {
            QVERIFY2(qAbs(bands.at(i).first - reference.at(i).first) <= 2 * pixel,
                     qPrintable(QStringLiteral("line %1 at zoom index %2").arg(i).arg(r)));
        }
    }
}

void tst_TextEngine::clearingTheModelEmptiesTheLayout()
{
    TTextEngine engine;
    document(engine)->setPlainText(manyPages(3));
    QVERIFY(engine.CurrentPages() >= 3);
    engine.model()->clear();
    QCOMPARE(engine.CurrentPages(), 1);
    typeAscii(engine, QStringLiteral("again"));
    QCOMPARE(document(engine)->toPlainText(), QStringLiteral("again"));
    QCOMPARE(engine.CurrentPage(), 1);
}

QTEST_MAIN(tst_TextEngine)
#include "tst_TextEngine.moc"
