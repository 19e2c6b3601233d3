#include "engine/TTextEngine.h"
#include "engine/dialogs/ParagraphDialog.h"

#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QtTest>

using tamapiko::engine::ParagraphDialog;

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
            dialog->spaceAfterBox()->setValue(6);
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
        QCOMPARE(second.bottomMargin(), 6.0);
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
};

QTEST_MAIN(tst_TextEngineDialogs)
#include "tst_TextEngineDialogs.moc"
