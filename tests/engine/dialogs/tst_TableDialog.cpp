// The table attributes dialog on the cells a user selected: lines per side,
// shading, vertical alignment, row height, indent, merging and splitting;
// each change one undo step that survives saving.

#include "engine/TTextEngine.h"
#include "engine/dialogs/TableDialog.h"
#include "engine/layout/PageLayout.h"
#include "support/UserActions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <QtTest>

using tamapiko::engine::TableDialog;
using tamapiko::test::DialogAnswer;
using tamapiko::test::commitText;

namespace {

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

// Selects the cells from (row, column) to (lastRow, lastColumn) as a drag would.
void selectCells(TTextEngine &engine, int row, int column, int lastRow, int lastColumn)
{
    QTextTable *table = onlyTable(engine);
    QTextCursor c = engine.textCursor();
    c.setPosition(table->cellAt(row, column).firstPosition());
    c.setPosition(table->cellAt(lastRow, lastColumn).firstPosition(), QTextCursor::KeepAnchor);
    engine.setTextCursor(c);
}

void pressOk(TableDialog *dialog)
{
    QTest::mouseClick(dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
}

// Runs the engine's table dialog, set up by `change` and closed with OK.
bool changeTable(TTextEngine &engine, std::function<void(TableDialog *)> change)
{
    auto answer = DialogAnswer::expect<TableDialog>([&](TableDialog *dialog) {
        change(dialog);
        pressOk(dialog);
    });
    const bool done = engine.TableAttrDialog();
    return done && answer.answered();
}

void choose(QComboBox *box, int index)
{
    box->setCurrentIndex(index);
}

const tamapiko::engine::TableGeometry *geometry(TTextEngine &engine)
{
    engine.CurrentPages();
    auto *layout = qobject_cast<tamapiko::engine::PageLayout *>(engine.document()->documentLayout());
    return layout->tableGeometry(onlyTable(engine));
}

} // namespace

class tst_TableDialog : public QObject
{
    Q_OBJECT

private slots:
    void cellLinesShadingAndAlignmentGoToTheSelectedCells()
    {
        TTextEngine engine;
        QCOMPARE(engine.TableInsert(2, 2, -1, 0), 0);
        selectCells(engine, 0, 0, 0, 1);
        QVERIFY(changeTable(engine, [](TableDialog *dialog) {
            dialog->pages()->setCurrentIndex(1);
            QVERIFY(dialog->mergeBox()->isEnabled());
            QVERIFY(!dialog->splitBox()->isEnabled());
            choose(dialog->sideBox(TableDialog::Top), TableDialog::Double);
            choose(dialog->sideBox(TableDialog::Bottom), TableDialog::Single);
            choose(dialog->sideBox(TableDialog::Left), TableDialog::NoLine);
            dialog->cellLineWidthBox()->setValue(1.5);
            choose(dialog->shadingBox(), TableDialog::shadingPercents().indexOf(20));
            choose(dialog->verticalAlignmentBox(), 1);
        }));
        QTextTable *table = onlyTable(engine);
        for (int column : {0, 1}) {
            const QTextTableCellFormat cell = table->cellAt(0, column).format().toTableCellFormat();
            QCOMPARE(cell.topBorderStyle(), QTextFrameFormat::BorderStyle_Double);
            QCOMPARE(cell.topBorder(), 1.5);
            QCOMPARE(cell.bottomBorderStyle(), QTextFrameFormat::BorderStyle_Solid);
            QCOMPARE(cell.leftBorderStyle(), QTextFrameFormat::BorderStyle_None);
            QVERIFY(!cell.hasProperty(QTextFormat::TableCellRightBorderStyle));   // still the table's line
            QCOMPARE(qGray(cell.background().color().rgb()), 204);
            QCOMPARE(cell.verticalAlignment(), QTextCharFormat::AlignMiddle);
        }
        const QTextTableCellFormat untouched = table->cellAt(1, 0).format().toTableCellFormat();
        QVERIFY(!untouched.hasProperty(QTextFormat::TableCellTopBorderStyle));
        QCOMPARE(untouched.background().style(), Qt::NoBrush);

        // The dialog shows what the cell has; back to the table's line for the top.
        selectCells(engine, 0, 1, 0, 1);
        QVERIFY(changeTable(engine, [](TableDialog *dialog) {
            QCOMPARE(dialog->sideBox(TableDialog::Top)->currentIndex(), int(TableDialog::Double));
            QCOMPARE(dialog->cellLineWidthBox()->value(), 1.5);
            QCOMPARE(dialog->shadingBox()->currentText(), QStringLiteral("20 %"));
            choose(dialog->sideBox(TableDialog::Top), TableDialog::AsTable);
        }));
        QVERIFY(!table->cellAt(0, 1).format().hasProperty(QTextFormat::TableCellTopBorderStyle));
        QVERIFY(table->cellAt(0, 0).format().hasProperty(QTextFormat::TableCellTopBorderStyle));

        // Each OK was one step.
        QCOMPARE(engine.CanUndo(), 3);
        QVERIFY(engine.Undo());
        QVERIFY(table->cellAt(0, 1).format().hasProperty(QTextFormat::TableCellTopBorderStyle));
        QVERIFY(engine.Undo());
        QVERIFY(!table->cellAt(0, 0).format().hasProperty(QTextFormat::TableCellTopBorderStyle));
        QCOMPARE(table->cellAt(0, 0).format().background().style(), Qt::NoBrush);
    }

    void mergeAndSplitAreOneStepEach()
    {
        TTextEngine engine;
        QCOMPARE(engine.TableInsert(2, 3, -1, 0), 0);
        commitText(&engine, QStringLiteral("見出し"));
        selectCells(engine, 0, 0, 0, 2);
        QVERIFY(changeTable(engine, [](TableDialog *dialog) {
            QTest::mouseClick(dialog->mergeBox(), Qt::LeftButton, Qt::NoModifier, QPoint(6, dialog->mergeBox()->height() / 2));
        }));
        QTextTable *table = onlyTable(engine);
        QCOMPARE(table->cellAt(0, 0).columnSpan(), 3);
        QVERIFY(engine.TableCanChangeAttr());
        QCOMPARE(table->cellAt(engine.textCursor()).column(), 0);

        QVERIFY(changeTable(engine, [](TableDialog *dialog) {
            QVERIFY(!dialog->mergeBox()->isEnabled());
            QVERIFY(dialog->splitBox()->isEnabled());
            dialog->splitBox()->setChecked(true);
        }));
        QCOMPARE(table->cellAt(0, 0).columnSpan(), 1);
        QVERIFY(engine.Undo());
        QCOMPARE(table->cellAt(0, 0).columnSpan(), 3);
        QVERIFY(engine.Undo());
        QCOMPARE(table->cellAt(0, 0).columnSpan(), 1);
    }

    void rowHeightIndentAndVerticalAlignmentReachTheLayout()
    {
        TTextEngine engine;
        QCOMPARE(engine.TableInsert(2, 2, -1, 0), 0);
        commitText(&engine, QStringLiteral("中"));
        QVERIFY(changeTable(engine, [](TableDialog *dialog) {
            dialog->rowHeightBox()->setValue(20);        // mm
            dialog->indentBox()->setValue(10);           // mm
            choose(dialog->verticalAlignmentBox(), 2);   // bottom
        }));
        const tamapiko::engine::TableGeometry *g = geometry(engine);
        QVERIFY(g);
        QVERIFY2(std::abs(g->rowHeight[0] - 1134) <= 2, qPrintable(QString::number(g->rowHeight[0])));
        QVERIFY2(g->rowHeight[1] < 600, qPrintable(QString::number(g->rowHeight[1])));
        QVERIFY2(std::abs(g->left() - 567) <= 2, qPrintable(QString::number(g->left())));
        // The text of the first cell sits at its bottom.
        const QTextBlock first = engine.document()->findBlock(onlyTable(engine)->cellAt(0, 0).firstPosition());
        QVERIFY(first.layout()->position().y() > g->rowTop[0] + 1134 / 2);

        // "自動" again: the row shrinks to its text.
        QVERIFY(changeTable(engine, [](TableDialog *dialog) {
            QCOMPARE(dialog->rowHeightBox()->value(), 20.0);
            dialog->rowHeightBox()->setValue(0);
        }));
        QVERIFY(geometry(engine)->rowHeight[0] < 600);
    }

    void cellAttributesSurviveSavingAsTxm()
    {
        TTextEngine engine;
        QCOMPARE(engine.TableInsert(2, 2, -1, 0), 0);
        selectCells(engine, 0, 0, 0, 1);
        QVERIFY(changeTable(engine, [](TableDialog *dialog) {
            choose(dialog->sideBox(TableDialog::Bottom), TableDialog::Double);
            choose(dialog->shadingBox(), TableDialog::shadingPercents().indexOf(10));
            dialog->mergeBox()->setChecked(true);
        }));
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("table.txm"));
        QCOMPARE(engine.SaveDocument(file, 0, 3, 0), 0);
        TTextEngine reopened;
        QCOMPARE(reopened.LoadDocument(file, 0, 3, 0), 0);
        QTextTable *table = onlyTable(reopened);
        QVERIFY(table);
        QCOMPARE(table->cellAt(0, 0).columnSpan(), 2);
        const QTextTableCellFormat cell = table->cellAt(0, 0).format().toTableCellFormat();
        QCOMPARE(cell.bottomBorderStyle(), QTextFrameFormat::BorderStyle_Double);
        QCOMPARE(qGray(cell.background().color().rgb()), 230);
    }
};

QTEST_MAIN(tst_TableDialog)
#include "tst_TableDialog.moc"
