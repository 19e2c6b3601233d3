// A two-page Japanese report made as a user makes it, with the menus, the
// dialogs, the mouse and the keyboard only: a paragraph framed with double
// lines on all sides, and a 4 x 3 table that crosses the page break with a
// merged, shaded header and single and double lines. Saved as .txm, RTF and
// HTML and opened again from each, everything is in place.

#include "app/DocumentOpening.h"
#include "app/TMainForm.h"
#include "dialogs/TOKRightDlg.h"
#include "dialogs/TOKRightDlg1.h"
#include "document/DocumentPrompts.h"
#include "document/TMDIChild.h"
#include "engine/TTextEngine.h"
#include "engine/dialogs/TableDialog.h"
#include "support/FrameFixture.h"
#include "support/TableLooks.h"
#include "support/UserActions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextTable>
#include <QtTest>

using namespace tamapiko::test;
using tamapiko::engine::TableDialog;

namespace {

// The page the caret is on at `position`.
int pageAt(TTextEngine &engine, int position)
{
    const int saved = engine.SelStart();
    engine.setSelStart(position);
    const int page = engine.CurrentPage();
    engine.setSelStart(saved);
    return page;
}

QTextTable *onlyTable(TTextEngine *engine)
{
    for (QTextFrame *frame : engine->document()->rootFrame()->childFrames()) {
        if (auto *table = qobject_cast<QTextTable *>(frame))
            return table;
    }
    return nullptr;
}

void typeLine(TTextEngine *engine, const QString &text)
{
    commitText(engine, text);
    QTest::keyClick(engine, Qt::Key_Return);
}

// Types over what a box of the dialog holds.
void typeInto(QComboBox *box, const QString &text)
{
    box->lineEdit()->selectAll();
    QTest::keyClicks(box->lineEdit(), text);
}

void pressOk(TableDialog *dialog)
{
    QTest::mouseClick(dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
}

void showCellPage(TableDialog *dialog)
{
    QTabBar *tabs = dialog->pages()->findChild<QTabBar *>();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
}

} // namespace

class tst_ReportScenario : public QObject
{
    Q_OBJECT

    std::unique_ptr<TMainForm> frame;
    QTemporaryDir dir;

    // 表 > 設定 with the dialog set up by `change` and closed with OK.
    void changeTable(TMDIChild *window, std::function<void(TableDialog *)> change)
    {
        auto answer = DialogAnswer::expect<TableDialog>([&](TableDialog *dialog) {
            change(dialog);
            pressOk(dialog);
        });
        QVERIFY(tamapiko::test::chooseMenuItem(frame.get(), window->Table1, window->Attr3));
        QVERIFY(QTest::qWaitFor([&] { return answer.answered(); }, 3000));
    }

    // Drags from the caret place at `from` to the one at `to`.
    static void drag(TTextEngine *engine, int from, int to)
    {
        const QPoint start = caretPoint(*engine, from);
        const QPoint end = caretPoint(*engine, to);
        QVERIFY(engine->viewport()->rect().contains(start) && engine->viewport()->rect().contains(end));
        QTest::mousePress(engine->viewport(), Qt::LeftButton, {}, start);
        QTest::mouseMove(engine->viewport(), (start + end) / 2);
        QTest::mouseMove(engine->viewport(), end);
        QTest::mouseRelease(engine->viewport(), Qt::LeftButton, {}, end);
    }

private slots:
    void cleanup()
    {
        tamapiko::document::setSaveNameHook({});
        tamapiko::app::setOpenNameHook({});
        if (frame) {
            for (TMDIChild *window : frame->documents())
                window->Modified = false;
        }
        frame.reset();
    }

    void twoPageReportSurvivesEveryFormat()
    {
        frame = startFrame();
        TMDIChild *window = frame->activeDocument();
        QVERIFY(window);
        TTextEngine *engine = window->TextEngine1;
        // A large window, maximised, as for a report on a desktop.
        frame->resize(1280, 1000);
        window->parentWidget()->showMaximized();
        QVERIFY(activate(frame.get()));

        // The text: a title, the paragraph to frame, and enough body to
        // bring the table to the foot of the first page.
        typeLine(engine, QStringLiteral("第三四半期 売上報告書"));
        typeLine(engine, QStringLiteral("本報告書は第三四半期の地域別売上をまとめたものです。"));
        // Lines until the caret reaches the second page; then the last
        // three go again, so that the table starts a little over two lines
        // above the page's foot: room for its first rows only.
        for (int i = 1; engine->CurrentPage() < 2 && i < 200; ++i)
            typeLine(engine, QStringLiteral("%1. 各地域の売上は前年同期と比べて概ね堅調に推移しました。").arg(i));
        QTest::keyClick(engine, Qt::Key_Backspace);
        QCOMPARE(engine->CurrentPage(), 1);
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(engine, Qt::Key_Up, Qt::ShiftModifier);
        QTest::keyClick(engine, Qt::Key_Delete);
        const int tableAt = engine->SelStart();

        // The second paragraph gets double lines on all four sides.
        QTest::keyClick(engine, Qt::Key_Home, Qt::ControlModifier);
        QTest::keyClick(engine, Qt::Key_Down);
        auto frameAnswer = DialogAnswer::expect<TOKRightDlg1>([](TOKRightDlg1 *dialog) {
            for (QCheckBox *box : {dialog->chkLeft, dialog->chkRight, dialog->chkTop, dialog->chkBottom,
                                   dialog->chkDoubleLines}) {
                if (!box->isChecked())
                    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
            }
            typeInto(dialog->cboLineWidth, QStringLiteral("1pt"));
            typeInto(dialog->cboTextDistance, QStringLiteral("3pt"));
            QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
        });
        QVERIFY(tamapiko::test::chooseMenuItem(frame.get(), window->Format1, window->MenuItem11));
        QVERIFY(QTest::qWaitFor([&] { return frameAnswer.answered(); }, 3000));
        QCOMPARE(engine->FrameStyle() & 0xFF, 0x4F);

        // A table of 4 rows and 3 columns there, filled with Tab.
        QTest::mouseClick(engine->viewport(), Qt::LeftButton, {}, caretPoint(*engine, tableAt));
        QCOMPARE(engine->SelStart(), tableAt);
        auto insertAnswer = DialogAnswer::expect<TOKRightDlg>([](TOKRightDlg *dialog) {
            typeInto(dialog->cboRows, QStringLiteral("4"));
            typeInto(dialog->cboColumns, QStringLiteral("3"));
            QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
        });
        QVERIFY(tamapiko::test::chooseMenuItem(frame.get(), window->Table1, window->Insert3));
        QVERIFY(QTest::qWaitFor([&] { return insertAnswer.answered(); }, 3000));
        QTextTable *table = onlyTable(engine);
        QVERIFY(table);
        const QStringList cells = {QStringLiteral("地域別売上"), QString(), QString(),
                                   QStringLiteral("地域"), QStringLiteral("売上"), QStringLiteral("前年比"),
                                   QStringLiteral("東京"), QStringLiteral("1,200万円"), QStringLiteral("105%"),
                                   QStringLiteral("大阪"), QStringLiteral("800万円"), QStringLiteral("98%")};
        for (int i = 0; i < cells.size(); ++i) {
            if (!cells.at(i).isEmpty())
                commitText(engine, cells.at(i));
            if (i + 1 < cells.size())
                QTest::keyClick(engine, Qt::Key_Tab);
        }
        QCOMPARE(table->rows(), 4);

        // The header: the three top cells dragged over, shown as whole
        // cells, then merged and shaded in one step.
        // Up to the header row, which brings it into view.
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(engine, Qt::Key_Up);
        QCOMPARE(table->cellAt(engine->textCursor()).row(), 0);
        const QPoint inEmptyCell = caretPoint(*engine, table->cellAt(0, 1).firstPosition()) + QPoint(12, 0);
        drag(engine, table->cellAt(0, 0).firstPosition(), table->cellAt(0, 2).firstPosition());
        QVERIFY(engine->textCursor().hasComplexSelection());
        const QImage view = engine->viewport()->grab().toImage();
        QCOMPARE(view.pixelColor(inEmptyCell), engine->palette().color(QPalette::Highlight));
        changeTable(window, [](TableDialog *dialog) {
            showCellPage(dialog);
            QTest::mouseClick(dialog->mergeBox(), Qt::LeftButton, {}, QPoint(6, dialog->mergeBox()->height() / 2));
            chooseEntry(dialog->shadingBox(), int(TableDialog::shadingPercents().indexOf(20)));
        });
        QCOMPARE(table->cellAt(0, 0).columnSpan(), 3);
        // One undo takes both back; redo brings both again.
        QVERIFY(engine->Undo());
        QCOMPARE(table->cellAt(0, 0).columnSpan(), 1);
        QCOMPARE(table->cellAt(0, 0).format().background().style(), Qt::NoBrush);
        QVERIFY(engine->Redo());
        QCOMPARE(table->cellAt(0, 0).columnSpan(), 3);

        // A double line under the row of headings (brought into view first).
        QTest::keyClick(engine, Qt::Key_Down);
        QCOMPARE(table->cellAt(engine->textCursor()).row(), 1);
        drag(engine, table->cellAt(1, 0).firstPosition(), table->cellAt(1, 2).firstPosition());
        changeTable(window, [](TableDialog *dialog) {
            showCellPage(dialog);
            chooseEntry(dialog->sideBox(TableDialog::Bottom), TableDialog::Double);
        });

        // The table begins on the first page and ends on the second.
        QCOMPARE(pageAt(*engine, table->cellAt(0, 0).firstPosition()), 1);
        QCOMPARE(pageAt(*engine, table->cellAt(3, 2).firstPosition()), 2);
        const QStringList looks = tableAndFrameLooks(engine->document());
        QVERIFY2(looks.join(u'\n').contains(QStringLiteral("frame 4f width 20 distance 60")), qPrintable(looks.join(u'\n')));
        QVERIFY2(looks.join(u'\n').contains(QStringLiteral("(0,0) span 1x3")), qPrintable(looks.join(u'\n')));
        QVERIFY2(looks.join(u'\n').contains(QStringLiteral("(1,1) span 1x1 single/10 double/")), qPrintable(looks.join(u'\n')));

        for (const QString &name : {QStringLiteral("報告書.txm"), QStringLiteral("報告書.rtf"), QStringLiteral("報告書.htm")}) {
            const QString path = dir.filePath(name);
            tamapiko::document::setSaveNameHook([path](TMDIChild &) { return path; });
            QCOMPARE(frame->activeDocument(), window);
            QVERIFY(tamapiko::test::chooseMenuItem(frame.get(), QStringLiteral("ﾌｧｲﾙ(&F)"), QStringLiteral("名前を付けて保存")));
            QVERIFY2(QFileInfo::exists(path), qPrintable(path));

            tamapiko::app::setOpenNameHook([path](QFileDialog &) { return path; });
            QVERIFY(tamapiko::test::chooseMenuItem(frame.get(), QStringLiteral("ﾌｧｲﾙ(&F)"), QStringLiteral("開く")));
            TMDIChild *opened = frame->activeDocument();
            QVERIFY(opened && opened != window);
            QCOMPARE(opened->windowTitle(), path);
            TTextEngine *reopened = opened->TextEngine1;
            QCOMPARE(tableAndFrameLooks(reopened->document()), looks);
            QTextTable *again = onlyTable(reopened);
            QVERIFY(again);
            QCOMPARE(pageAt(*reopened, again->cellAt(0, 0).firstPosition()), 1);
            QCOMPARE(pageAt(*reopened, again->cellAt(3, 2).firstPosition()), 2);
            QVERIFY(reopened->document()->toPlainText().contains(QStringLiteral("10. 各地域の売上")));
            opened->Modified = false;
            QVERIFY(tamapiko::test::chooseMenuItem(frame.get(), QStringLiteral("ﾌｧｲﾙ(&F)"), QStringLiteral("閉じる")));
            QTRY_COMPARE(frame->documents().size(), 1);
        }
    }
};

QTEST_MAIN(tst_ReportScenario)
#include "tst_ReportScenario.moc"
