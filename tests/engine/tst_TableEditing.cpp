// Editing inside tables with the keyboard and the mouse: moving between
// cells, adding rows, typing, and the keys that must never break a table.

#include "engine/TTextEngine.h"
#include "support/UserActions.h"

#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <QtTest>

using tamapiko::test::commitText;

namespace {

QString cellText(QTextTable *table, int row, int column)
{
    const QTextTableCell cell = table->cellAt(row, column);
    QTextCursor c = cell.firstCursorPosition();
    c.setPosition(cell.lastPosition(), QTextCursor::KeepAnchor);
    return c.selectedText();
}

QTextTable *onlyTable(TTextEngine &engine)
{
    QTextCursor c(engine.document());
    while (!c.atEnd()) {
        if (QTextTable *table = c.currentTable())
            return table;
        c.movePosition(QTextCursor::NextBlock);
    }
    return nullptr;
}

} // namespace

class tst_TableEditing : public QObject
{
    Q_OBJECT

private slots:
    void tabWalksTheCellsAndAddsARowAtTheEnd()
    {
        TTextEngine engine;
        engine.resize(800, 600);
        QCOMPARE(engine.TableInsert(2, 2, -1, 0), 0);
        for (const QString &text : {QStringLiteral("一"), QStringLiteral("二"), QStringLiteral("三"), QStringLiteral("四")}) {
            commitText(&engine, text);
            QTest::keyClick(&engine, Qt::Key_Tab);
        }
        QTextTable *table = onlyTable(engine);
        QCOMPARE(table->rows(), 3);                       // Tab in the last cell added a row
        QCOMPARE(table->cellAt(engine.textCursor()).row(), 2);
        QCOMPARE(cellText(table, 1, 1), QStringLiteral("四"));

        // Shift+Tab goes back and selects the cell's text, typing replaces it.
        QTest::keyClick(&engine, Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(engine.textCursor().selectedText(), QStringLiteral("四"));
        commitText(&engine, QStringLiteral("よん"));
        QCOMPARE(cellText(table, 1, 1), QStringLiteral("よん"));

        // Undo takes back the typing, then the added row as one step each.
        QTest::keyClick(&engine, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(cellText(table, 1, 1), QStringLiteral("四"));
        QTest::keyClick(&engine, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(table->rows(), 2);
        QCOMPARE(cellText(table, 1, 1), QStringLiteral("四"));

        // Home and End stay in the cell.
        QTextCursor caret = engine.textCursor();
        caret.setPosition(table->cellAt(0, 1).firstPosition() + 1);
        engine.setTextCursor(caret);
        QTest::keyClick(&engine, Qt::Key_Home);
        QCOMPARE(engine.textCursor().position(), table->cellAt(0, 1).firstPosition());
        QTest::keyClick(&engine, Qt::Key_End);
        QCOMPARE(engine.textCursor().position(), table->cellAt(0, 1).lastPosition());
    }

    void tabSkipsCellsCoveredByAMerge()
    {
        TTextEngine engine;
        QCOMPARE(engine.TableInsert(2, 3, -1, 0), 0);
        QTextTable *table = onlyTable(engine);
        table->mergeCells(0, 0, 1, 2);
        QTextCursor caret = engine.textCursor();
        caret.setPosition(table->cellAt(0, 0).firstPosition());
        engine.setTextCursor(caret);
        QTest::keyClick(&engine, Qt::Key_Tab);
        QCOMPARE(table->cellAt(engine.textCursor()).column(), 2);
        QTest::keyClick(&engine, Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(table->cellAt(engine.textCursor()).column(), 0);
        QTest::keyClick(&engine, Qt::Key_Backtab, Qt::ShiftModifier);   // the first cell: stays
        QCOMPARE(table->cellAt(engine.textCursor()).column(), 0);
        QCOMPARE(table->rows(), 2);
    }

    void backspaceAndDeleteNeverBreakTheTable()
    {
        TTextEngine engine;
        commitText(&engine, QStringLiteral("前"));
        QCOMPARE(engine.TableInsert(2, 2, -1, 0), 0);
        QTextTable *table = onlyTable(engine);
        QTest::keyClicks(&engine, QStringLiteral("ab"));
        QTest::keyClick(&engine, Qt::Key_Tab);
        QTest::keyClicks(&engine, QStringLiteral("cd"));
        QTest::keyClick(&engine, Qt::Key_Home);

        // At a cell's start: nothing of the cell before goes.
        QTest::keyClick(&engine, Qt::Key_Backspace);
        QTest::keyClick(&engine, Qt::Key_Backspace, Qt::ControlModifier);
        QCOMPARE(cellText(table, 0, 0), QStringLiteral("ab"));
        QCOMPARE(cellText(table, 0, 1), QStringLiteral("cd"));
        // At a cell's end: nothing of the next one.
        QTest::keyClick(&engine, Qt::Key_End);
        QTest::keyClick(&engine, Qt::Key_Delete);
        QCOMPARE(table->rows(), 2);
        // Inside a cell the keys work as ever.
        QTest::keyClick(&engine, Qt::Key_Backspace);
        QCOMPARE(cellText(table, 0, 1), QStringLiteral("c"));

        // The paragraph after the table: Backspace at its start keeps the table.
        QTest::keyClick(&engine, Qt::Key_End, Qt::ControlModifier);
        commitText(&engine, QStringLiteral("後"));
        QTest::keyClick(&engine, Qt::Key_Home);
        QTest::keyClick(&engine, Qt::Key_Backspace);
        // The paragraph before it: Delete at its end keeps it too.
        QTest::keyClick(&engine, Qt::Key_Home, Qt::ControlModifier);
        QTest::keyClick(&engine, Qt::Key_End);
        QTest::keyClick(&engine, Qt::Key_Delete);
        QCOMPARE(onlyTable(engine), table);
        QCOMPARE(table->rows(), 2);
        QCOMPARE(table->columns(), 2);
        QCOMPARE(cellText(table, 1, 1), QString());
        const QString all = engine.document()->toPlainText();
        QVERIFY2(all.startsWith(QStringLiteral("前\n")) && all.endsWith(QStringLiteral("\n後")), qPrintable(all));
    }
};

QTEST_MAIN(tst_TableEditing)
#include "tst_TableEditing.moc"
