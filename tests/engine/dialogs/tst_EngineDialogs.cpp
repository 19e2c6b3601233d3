// The engine's FindReplaceDialog and FontDialog members with the real
// dialogs: what the document window's menu commands run.

#include "engine/TTextEngine.h"
#include "engine/dialogs/CharacterDialog.h"
#include "engine/dialogs/FindReplaceDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QtTest>

using tamapiko::engine::CharacterDialog;
using tamapiko::engine::FindReplaceDialog;

namespace {

// Answers the character dialog that the engine runs modally: ticks one
// check box and presses OK.
void whenCharacterDialogOpens(const QString &checkBoxText)
{
    QTimer::singleShot(0, [checkBoxText] {
        auto *dialog = qobject_cast<CharacterDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        for (QCheckBox *box : dialog->findChildren<QCheckBox *>()) {
            if (box->text() == checkBoxText)
                box->click();
        }
        for (QAbstractButton *button : dialog->findChild<QDialogButtonBox *>()->buttons()) {
            if (button->text() == QStringLiteral("OK"))
                button->click();
        }
    });
}

QTextCharFormat formatOfCharacter(const QTextDocument *document, int position)
{
    QTextCursor cursor(const_cast<QTextDocument *>(document));
    cursor.setPosition(position + 1);
    return cursor.charFormat();
}

} // namespace

class tst_EngineDialogs : public QObject
{
    Q_OBJECT

private slots:
    void findAndReplaceShareOneModelessDialog()
    {
        TTextEngine engine;
        engine.show();
        QVERIFY(!engine.FindReplaceDialog(0));
        QVERIFY(engine.findChildren<FindReplaceDialog *>().isEmpty());

        QVERIFY(engine.FindReplaceDialog(2));
        auto *dialog = engine.findChild<FindReplaceDialog *>();
        QVERIFY(dialog);
        QVERIFY(dialog->isVisible());
        QVERIFY(!dialog->isModal());
        QCOMPARE(dialog->mode(), FindReplaceDialog::Mode::Replace);

        dialog->findChild<QLineEdit *>(QStringLiteral("findText"))->setText(QStringLiteral("残す"));
        QVERIFY(engine.FindReplaceDialog(1));
        QCOMPARE(engine.findChildren<FindReplaceDialog *>().size(), 1);
        QCOMPARE(dialog->mode(), FindReplaceDialog::Mode::Find);
        QCOMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("findText"))->text(), QStringLiteral("残す"));
    }

    void replaceAllIsOneEngineUndo()
    {
        TTextEngine engine;
        QTextCursor(engine.document()).insertText(QStringLiteral("一と一と一"));
        engine.setSelStart(0);
        engine.FindReplaceDialog(2);
        auto *dialog = engine.findChild<FindReplaceDialog *>();
        dialog->setNoticeHandler([](const QString &) {});
        dialog->findChild<QLineEdit *>(QStringLiteral("findText"))->setText(QStringLiteral("一"));
        dialog->findChild<QLineEdit *>(QStringLiteral("replaceText"))->setText(QStringLiteral("二"));
        const int undoBefore = engine.document()->availableUndoSteps();
        QCOMPARE(dialog->replaceAll(), 3);
        QCOMPARE(engine.document()->toPlainText(), QStringLiteral("二と二と二"));
        QVERIFY(engine.CanUndo() != 0);
        QVERIFY(engine.Undo());
        QCOMPARE(engine.document()->toPlainText(), QStringLiteral("一と一と一"));
        QCOMPARE(engine.document()->availableUndoSteps(), undoBefore);
    }

    void fontDialogFormatsTheSelectionAsOneStep()
    {
        TTextEngine engine;
        QTextCursor(engine.document()).insertText(QStringLiteral("abc def"));
        engine.setSelStart(0);
        engine.setSelLength(3);
        whenCharacterDialogOpens(QStringLiteral("取り消し線(&K)"));
        QVERIFY(engine.FontDialog());
        QVERIFY(formatOfCharacter(engine.document(), 0).fontStrikeOut());
        QVERIFY(formatOfCharacter(engine.document(), 2).fontStrikeOut());
        QVERIFY(!formatOfCharacter(engine.document(), 4).fontStrikeOut());
        QCOMPARE(engine.CanUndo(), 3); // a formatting step
        QVERIFY(engine.Undo());
        QVERIFY(!formatOfCharacter(engine.document(), 0).fontStrikeOut());
    }

    void fontDialogAtTheCaretFormatsWhatIsTypedNext()
    {
        TTextEngine engine;
        engine.show();
        QVERIFY(QTest::qWaitForWindowExposed(&engine));
        QTest::keyClicks(&engine, QStringLiteral("ab"));
        whenCharacterDialogOpens(QStringLiteral("下線(&U)"));
        QVERIFY(engine.FontDialog());
        QTest::keyClicks(&engine, QStringLiteral("c"));
        QCOMPARE(engine.document()->toPlainText(), QStringLiteral("abc"));
        QVERIFY(!formatOfCharacter(engine.document(), 1).fontUnderline());
        QVERIFY(formatOfCharacter(engine.document(), 2).fontUnderline());
    }
};

QTEST_MAIN(tst_EngineDialogs)
#include "tst_EngineDialogs.moc"
