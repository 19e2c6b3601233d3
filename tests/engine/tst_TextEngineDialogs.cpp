#include "engine/TTextEngine.h"
#include "engine/dialogs/ParagraphDialog.h"
#include "engine/dialogs/TableDialog.h"
#include "engine/layout/PageLayout.h"

#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <QSpinBox>
#include <QTimer>
#include <QtTest>

using tamapiko::engine::ParagraphDialog;
using tamapiko::engine::TableDialog;

namespace {

// Runs `interact` on the modal dialog the engine opens, then closes it.
template<typename Dialog, typename Interact>
void whenDialogOpens(bool accept, Interact interact)
{
    QTimer::singleShot(0, [=] {
        auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        interact(dialog);
        if (accept)
            dialog->accept();
        else
            dialog->reject();
    });
}

} // namespace

class tst_TextEngineDialogs : public QObject
{
    Q_OBJECT

private slots:
    void paragraphDialogChangesOnlyTheTouchedFields()
    {
        TTextEngine engine;
        engine.document()->setPlainText(QStringLiteral("一段落目\n二段落目\n三段落目"));
        QTextCursor cursor(engine.document());
        QTextBlockFormat centred;
        centred.setAlignment(Qt::AlignHCenter);
        centred.setLeftMargin(10);
        cursor.setBlockFormat(centred);
        cursor.movePosition(QTextCursor::NextBlock);
        QTextBlockFormat right;
        right.setAlignment(Qt::AlignRight | Qt::AlignAbsolute);
        right.setLeftMargin(20);
        cursor.setBlockFormat(right);
        engine.document()->clearUndoRedoStacks();

        engine.setSelStart(1);
        engine.setSelLength(6);   // into the second paragraph
        whenDialogOpens<ParagraphDialog>(true, [](ParagraphDialog *dialog) {
            QCOMPARE(dialog->alignmentBox()->currentIndex(), 2);
            dialog->rightIndentBox()->setValue(10);   // mm
            dialog->spaceAfterBox()->setValue(6);   // mm, the document's unit
            dialog->lineSpacingBox()->setCurrentIndex(4);   // exactly
            dialog->lineSpacingValueBox()->setValue(18);
        });
        QVERIFY(engine.ParagraphDialog());

        const QTextBlockFormat first = engine.document()->findBlockByNumber(0).blockFormat();
        const QTextBlockFormat second = engine.document()->findBlockByNumber(1).blockFormat();
        const QTextBlockFormat third = engine.document()->findBlockByNumber(2).blockFormat();
        QVERIFY(qAbs(first.rightMargin() - 28.35) < 0.1);   // points
        QVERIFY(qAbs(second.rightMargin() - 28.35) < 0.1);
        QCOMPARE(third.rightMargin(), 0.0);
        QVERIFY(qAbs(second.bottomMargin() - 17.0) < 0.1);
        QCOMPARE(second.lineHeightType(), int(QTextBlockFormat::FixedHeight));
        QCOMPARE(second.lineHeight(), 18.0);
        // Untouched fields keep each paragraph's own value.
        QCOMPARE(engine.Alignment(), -1);
        QCOMPARE(first.leftMargin(), 10.0);
        QCOMPARE(second.leftMargin(), 20.0);
        QCOMPARE(engine.CanUndo(), 3);
        QVERIFY(engine.Undo());
        QCOMPARE(engine.document()->findBlockByNumber(1).blockFormat().rightMargin(), 0.0);
        QCOMPARE(engine.CanUndo(), 0);
    }

    // A hanging indent is chosen by its name and width: the first line stays
    // at 左, the others move in; the dialog shows it the same way again.
    void hangingIndentChosenByName()
    {
        TTextEngine engine;
        engine.document()->setPlainText(QStringLiteral("ぶら下げの段落"));
        bool widthWasOff = false;
        whenDialogOpens<ParagraphDialog>(true, [&](ParagraphDialog *dialog) {
            QCOMPARE(dialog->firstLineKindBox()->currentText(), QStringLiteral("(なし)"));
            widthWasOff = !dialog->firstLineBox()->isEnabled();
            dialog->firstLineKindBox()->setCurrentIndex(ParagraphDialog::HangingIndent);
            QVERIFY(dialog->firstLineBox()->isEnabled());
            QVERIFY(dialog->firstLineBox()->value() > 0);   // a width to start from
            dialog->firstLineBox()->setValue(10);           // mm
            dialog->leftIndentBox()->setValue(5);
        });
        QVERIFY(engine.ParagraphDialog());
        QVERIFY(widthWasOff);
        const QTextBlockFormat format = engine.document()->firstBlock().blockFormat();
        QVERIFY(qAbs(format.leftMargin() - 42.52) < 0.1);   // points: 15 mm
        QVERIFY(qAbs(format.textIndent() + 28.35) < 0.1);   // the first line 10 mm further left

        const int steps = engine.document()->availableUndoSteps();
        whenDialogOpens<ParagraphDialog>(true, [](ParagraphDialog *dialog) {
            QCOMPARE(dialog->firstLineKindBox()->currentIndex(), int(ParagraphDialog::HangingIndent));
            QVERIFY(qAbs(dialog->firstLineBox()->value() - 10) < 0.05);
            QVERIFY(qAbs(dialog->leftIndentBox()->value() - 5) < 0.05);
        });
        QVERIFY(engine.ParagraphDialog());
        QCOMPARE(engine.document()->availableUndoSteps(), steps);   // nothing changed, nothing applied

        // No first line of its own puts every line at 左.
        whenDialogOpens<ParagraphDialog>(true, [](ParagraphDialog *dialog) {
            dialog->firstLineKindBox()->setCurrentIndex(ParagraphDialog::NoFirstLine);
            QVERIFY(!dialog->firstLineBox()->isEnabled());
        });
        QVERIFY(engine.ParagraphDialog());
        const QTextBlockFormat plain = engine.document()->firstBlock().blockFormat();
        QVERIFY(qAbs(plain.leftMargin() - 14.17) < 0.1);
        QCOMPARE(plain.textIndent(), 0.0);
    }

    void cancelledParagraphDialogChangesNothing()
    {
        TTextEngine engine;
        engine.document()->setPlainText(QStringLiteral("段落"));
        whenDialogOpens<ParagraphDialog>(false, [](ParagraphDialog *dialog) {
            dialog->leftIndentBox()->setValue(30);
        });
        QVERIFY(!engine.ParagraphDialog());
        QCOMPARE(engine.document()->firstBlock().blockFormat().leftMargin(), 0.0);
        QCOMPARE(engine.CanUndo(), 0);
    }

    void tableDialogSetsWidthBorderAndColumn()
    {
        TTextEngine engine;
        QVERIFY(!engine.TableAttrDialog());   // not in a table
        QCOMPARE(engine.TableInsert(2, 3, -1, 0), 0);
        QTextTable *table = engine.textCursor().currentTable();
        engine.setSelStart(table->cellAt(0, 1).firstPosition());
        whenDialogOpens<TableDialog>(true, [](TableDialog *dialog) {
            QCOMPARE(dialog->widthBox()->value(), 100);
            dialog->borderBox()->setValue(1.5);
            dialog->alignmentBox()->setCurrentIndex(1);
            dialog->columnWidthBox()->setValue(20);   // mm, the middle column
        });
        QVERIFY(engine.TableAttrDialog());
        const QTextTableFormat format = table->format();
        QCOMPARE(format.border(), 1.5);
        QVERIFY(format.alignment() & Qt::AlignHCenter);
        const QList<QTextLength> widths = format.columnWidthConstraints();
        QCOMPARE(widths.size(), 3);
        QVERIFY(qAbs(widths.at(1).rawValue() - 56.69) < 0.1);
        QCOMPARE(widths.at(1).type(), QTextLength::FixedLength);
        QCOMPARE(engine.CanUndo(), 3);

        // The layout follows: the middle column is 20 mm (1134 twips) wide.
        auto *layout = qobject_cast<tamapiko::engine::PageLayout *>(engine.document()->documentLayout());
        engine.CurrentPages();
        const tamapiko::engine::TableGeometry *g = layout->tableGeometry(table);
        QVERIFY(g);
        QVERIFY(qAbs(g->columnX[2] - g->columnX[1] - 1134) <= 1);
        QVERIFY(engine.Undo());
        QCOMPARE(table->format().border(), 0.5);
    }
};

QTEST_MAIN(tst_TextEngineDialogs)
#include "tst_TextEngineDialogs.moc"
