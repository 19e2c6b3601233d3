#include "engine/dialogs/CharacterDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QtTest>

using namespace tamapiko::engine;

namespace {

QTextCharFormat runFormat(const QString &family, qreal size, bool bold)
{
    QTextCharFormat format;
    format.setFontFamilies(QStringList { family });
    format.setFontPointSize(size);
    format.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    return format;
}

// "明朝の字" in one font and size, "ゴシックの字" in another, all bold,
// selected whole.
struct MixedSelection
{
    QTextDocument document;
    QTextCursor selection { &document };

    MixedSelection()
    {
        selection.insertText(QStringLiteral("明朝の字"), runFormat(QStringLiteral("FamilyA"), 10, true));
        selection.insertText(QStringLiteral("ゴシックの字"), runFormat(QStringLiteral("FamilyB"), 14, true));
        selection.setPosition(0, QTextCursor::KeepAnchor);
    }

    // What the engine does with the dialog's answer.
    void apply(const CharacterDialog &dialog)
    {
        selection.mergeCharFormat(dialog.changes());
    }

    QTextCharFormat formatAt(int position)
    {
        QTextCursor cursor(&document);
        cursor.setPosition(position + 1);
        return cursor.charFormat();
    }
};

QPushButton *okButton(CharacterDialog &dialog)
{
    for (QAbstractButton *button : dialog.findChild<QDialogButtonBox *>()->buttons()) {
        if (button->text() == QStringLiteral("OK"))
            return qobject_cast<QPushButton *>(button);
    }
    return nullptr;
}

QCheckBox *checkBox(CharacterDialog &dialog, const QString &text)
{
    for (QCheckBox *box : dialog.findChildren<QCheckBox *>()) {
        if (box->text() == text)
            return box;
    }
    return nullptr;
}

} // namespace

class tst_CharacterDialog : public QObject
{
    Q_OBJECT

private slots:
    void mixedSelectionShowsEmptyFields()
    {
        MixedSelection s;
        CharacterDialog dialog(s.selection);
        QVERIFY(dialog.findChild<QComboBox *>(QStringLiteral("family"))->currentText().isEmpty());
        QVERIFY(dialog.findChild<QComboBox *>(QStringLiteral("size"))->currentText().isEmpty());
        // What the runs share is shown.
        QCOMPARE(dialog.findChild<QComboBox *>(QStringLiteral("style"))->currentText(), QStringLiteral("太字"));
        QCOMPARE(checkBox(dialog, QStringLiteral("下線(&U)"))->checkState(), Qt::Unchecked);
        QCOMPARE(dialog.previewText(), QStringLiteral("明朝の字ゴシックの字"));
        QVERIFY(dialog.changes().properties().isEmpty());
        QVERIFY(okButton(dialog)->isEnabled());
    }

    void onlyTheTouchedFieldChanges()
    {
        MixedSelection s;
        CharacterDialog dialog(s.selection);
        checkBox(dialog, QStringLiteral("下線(&U)"))->click();
        okButton(dialog)->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.changes().properties().size(), 1);
        s.apply(dialog);
        for (int position : { 0, 5 }) {
            QVERIFY(s.formatAt(position).fontUnderline());
            QCOMPARE(s.formatAt(position).fontWeight(), int(QFont::Bold));
        }
        QCOMPARE(s.formatAt(0).fontFamilies().toStringList(), QStringList { QStringLiteral("FamilyA") });
        QCOMPARE(s.formatAt(0).fontPointSize(), 10.0);
        QCOMPARE(s.formatAt(5).fontFamilies().toStringList(), QStringList { QStringLiteral("FamilyB") });
        QCOMPARE(s.formatAt(5).fontPointSize(), 14.0);
    }

    void typedSizeAppliesToEveryRun()
    {
        MixedSelection s;
        CharacterDialog dialog(s.selection);
        auto *size = dialog.findChild<QComboBox *>(QStringLiteral("size"));
        size->lineEdit()->selectAll();
        QTest::keyClicks(size->lineEdit(), QStringLiteral("abc"));
        QVERIFY(!okButton(dialog)->isEnabled()); // not a size
        size->lineEdit()->selectAll();
        QTest::keyClicks(size->lineEdit(), QStringLiteral("12"));
        QVERIFY(okButton(dialog)->isEnabled());
        okButton(dialog)->click();
        s.apply(dialog);
        QCOMPARE(s.formatAt(0).fontPointSize(), 12.0);
        QCOMPARE(s.formatAt(5).fontPointSize(), 12.0);
        QCOMPARE(s.formatAt(5).fontFamilies().toStringList(), QStringList { QStringLiteral("FamilyB") });
    }

    void mixedEffectBecomesOnOrOff()
    {
        MixedSelection s;
        QTextCursor firstRun(&s.document);
        firstRun.setPosition(4, QTextCursor::KeepAnchor);
        QTextCharFormat superscript;
        superscript.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
        firstRun.mergeCharFormat(superscript);

        CharacterDialog dialog(s.selection);
        QCheckBox *up = checkBox(dialog, QStringLiteral("上付き(&P)"));
        QCheckBox *down = checkBox(dialog, QStringLiteral("下付き(&B)"));
        QCOMPARE(up->checkState(), Qt::PartiallyChecked);
        // Subscript on turns superscript off: they are one choice.
        down->click();
        QCOMPARE(down->checkState(), Qt::Checked);
        QCOMPARE(up->checkState(), Qt::Unchecked);
        down->click();
        QCOMPARE(down->checkState(), Qt::Unchecked); // never back to "mixed"
        dialog.chooseColor(QColor(0x12, 0x34, 0x56));
        okButton(dialog)->click();
        s.apply(dialog);
        for (int position : { 0, 5 }) {
            QCOMPARE(s.formatAt(position).verticalAlignment(), QTextCharFormat::AlignNormal);
            QCOMPARE(s.formatAt(position).foreground().color(), QColor(0x12, 0x34, 0x56));
        }
    }

    void caretShowsWhatTypingWillGet()
    {
        QTextDocument document;
        QTextCursor cursor(&document);
        cursor.insertText(QStringLiteral("abc"), runFormat(QStringLiteral("FamilyA"), 10, false));
        CharacterDialog dialog(cursor);
        QCOMPARE(dialog.findChild<QComboBox *>(QStringLiteral("family"))->currentText(), QStringLiteral("FamilyA"));
        QCOMPARE(dialog.findChild<QComboBox *>(QStringLiteral("size"))->currentText(), QStringLiteral("10"));
        QCOMPARE(dialog.findChild<QComboBox *>(QStringLiteral("style"))->currentText(), QStringLiteral("標準"));
        QCOMPARE(dialog.previewText(), QStringLiteral("あア亜Ａａ Aa"));
    }
};

QTEST_MAIN(tst_CharacterDialog)
#include "tst_CharacterDialog.moc"
