// What Undo and Redo report (1 typing, 2 deletion, 3 formatting; Redo 10-12)
// follows the edits the user made, through mixes of typing, deleting,
// formatting, tables and paste, undo and redo, and edits that change nothing.

#include "engine/TTextEngine.h"
#include "support/UserActions.h"

#include <QTextDocument>
#include <QtTest>

using tamapiko::test::commitText;

namespace {

constexpr int Typing = 1;
constexpr int Deletion = 2;
constexpr int Formatting = 3;

void press(TTextEngine &engine, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, int times = 1)
{
    for (int i = 0; i < times; ++i)
        QTest::keyClick(&engine, key, modifiers);
}

// The kinds Undo reports, walking back to the start, then those Redo
// reports walking forward again: the document ends where it was.
QList<int> undoKindsAllTheWay(TTextEngine &engine, QList<int> *redoKinds)
{
    QList<int> kinds;
    while (engine.CanUndo() != 0 && kinds.size() < 100) {
        kinds.append(engine.CanUndo());
        press(engine, Qt::Key_Z, Qt::ControlModifier);
    }
    if (!engine.document()->toPlainText().isEmpty())
        return {};   // not all the way back
    while (engine.CanRedo() != 0 && redoKinds->size() < 100) {
        redoKinds->append(engine.CanRedo());
        press(engine, Qt::Key_Y, Qt::ControlModifier);
    }
    return kinds;
}

} // namespace

class tst_UndoKinds : public QObject
{
    Q_OBJECT

private slots:
    void kindsFollowMixedEditsThroughUndoAndRedo()
    {
        TTextEngine engine;
        engine.resize(800, 600);
        QTest::keyClicks(&engine, QStringLiteral("one"));           // typing
        QCOMPARE(engine.CanUndo(), Typing);
        press(engine, Qt::Key_Backspace, Qt::NoModifier, 2);         // one deletion step
        QCOMPARE(engine.CanUndo(), Deletion);
        press(engine, Qt::Key_Left, Qt::ShiftModifier);
        engine.setFontBold(1);                                       // formatting
        QCOMPARE(engine.CanUndo(), Formatting);
        press(engine, Qt::Key_End);
        press(engine, Qt::Key_Delete);                               // nothing to delete: no step
        QCOMPARE(engine.CanUndo(), Formatting);
        QCOMPARE(engine.TableInsert(1, 2, -1, 0), 0);                // a table is formatting
        QCOMPARE(engine.CanUndo(), Formatting);
        commitText(&engine, QStringLiteral("表"));                   // typing in a cell
        QCOMPARE(engine.CanUndo(), Typing);
        press(engine, Qt::Key_Tab, Qt::NoModifier, 2);               // Tab in the last cell adds a row
        QCOMPARE(engine.CanUndo(), Formatting);
        engine.setSelStart(0);
        engine.setSelLength(1);
        QVERIFY(engine.ClipboardAction(1));                          // cut
        QCOMPARE(engine.CanUndo(), Deletion);
        QVERIFY(engine.ClipboardAction(3));                          // paste
        QCOMPARE(engine.CanUndo(), Typing);

        const QString before = engine.document()->toPlainText();
        const QList<int> expected = {Typing, Deletion, Formatting, Typing, Formatting, Formatting, Deletion, Typing};
        QList<int> redone;
        QCOMPARE(undoKindsAllTheWay(engine, &redone), expected);
        QList<int> redoExpected;
        for (auto it = expected.crbegin(); it != expected.crend(); ++it)
            redoExpected.append(9 + *it);
        QCOMPARE(redone, redoExpected);
        QCOMPARE(engine.document()->toPlainText(), before);

        // Half way back, a new edit takes the place of what Redo held.
        for (int i = 0; i < 3; ++i)
            press(engine, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(engine.CanUndo(), Typing);
        QCOMPARE(engine.CanRedo(), 9 + Formatting);
        press(engine, Qt::Key_Home, Qt::ControlModifier);
        press(engine, Qt::Key_End);
        press(engine, Qt::Key_Backspace);
        QCOMPARE(engine.CanRedo(), 0);
        QCOMPARE(engine.CanUndo(), Deletion);
        QTest::keyClicks(&engine, QStringLiteral("x"));
        QList<int> redoneAfterBranch;
        QCOMPARE(undoKindsAllTheWay(engine, &redoneAfterBranch),
                 QList<int>({Typing, Deletion, Typing, Formatting, Formatting, Deletion, Typing}));
        QCOMPARE(redoneAfterBranch.size(), 7);
    }
};

QTEST_MAIN(tst_UndoKinds)
#include "tst_UndoKinds.moc"
