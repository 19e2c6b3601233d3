#include "engine/TTextEngine.h"
#include "engine/dialogs/FindReplaceDialog.h"
#include "engine/dialogs/TextFinder.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextCursor>
#include <QTextDocument>
#include <QSignalSpy>
#include <QtTest>

using namespace tamapiko::engine;

namespace {

FindOptions withOptions(bool matchCase, bool wholeWords, bool matchWidth, bool matchKana)
{
    FindOptions options;
    options.matchCase = matchCase;
    options.wholeWords = wholeWords;
    options.matchWidth = matchWidth;
    options.matchKana = matchKana;
    return options;
}

// The engine with its dialog, whose questions and notes the test answers.
struct FindWindow
{
    TTextEngine engine;
    FindReplaceDialog *dialog = new FindReplaceDialog(&engine);
    QStringList questions;
    QStringList notes;
    bool answer = true;

    explicit FindWindow(const QString &text)
    {
        QTextCursor(engine.document()).insertText(text);
        engine.setTextCursor(QTextCursor(engine.document()));
        engine.document()->clearUndoRedoStacks();
        dialog->setQuestionHandler([this](const QString &question) {
            questions.append(question);
            return answer;
        });
        dialog->setNoticeHandler([this](const QString &note) { notes.append(note); });
    }

    void setFields(const QString &find, const QString &replace = QString())
    {
        dialog->findChild<QLineEdit *>(QStringLiteral("findText"))->setText(find);
        dialog->findChild<QLineEdit *>(QStringLiteral("replaceText"))->setText(replace);
    }

    void setCaret(int position)
    {
        QTextCursor cursor(engine.document());
        cursor.setPosition(position);
        engine.setTextCursor(cursor);
    }

    QPair<int, int> selection() const
    {
        const QTextCursor cursor = engine.textCursor();
        return { cursor.selectionStart(), cursor.selectionEnd() };
    }

    QPushButton *button(const QString &text) const
    {
        for (QPushButton *button : dialog->findChildren<QPushButton *>()) {
            if (button->text() == text)
                return button;
        }
        return nullptr;
    }
};

} // namespace

class tst_FindReplace : public QObject
{
    Q_OBJECT

private slots:
    void foldingOptions_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("needle");
        QTest::addColumn<FindOptions>("options");
        QTest::addColumn<int>("start"); // -1: not found
        QTest::addColumn<int>("length");

        const FindOptions loose = withOptions(false, false, false, false);
        QTest::newRow("any case") << "xx Abc" << "aBC" << loose << 3 << 3;
        QTest::newRow("matching case") << "xx Abc ABC" << "ABC" << withOptions(true, false, false, false) << 7 << 3;
        QTest::newRow("full-width letters") << "値はＡＢＣ" << "abc" << loose << 2 << 3;
        QTest::newRow("full-width letters, width matters") << "値はＡＢＣ" << "abc" << withOptions(false, false, true, false) << -1 << 0;
        QTest::newRow("half-width voiced kana") << "ｶﾞｯｺｳへ" << "ガッコウ" << loose << 0 << 5;
        QTest::newRow("half-width kana, width matters") << "ｶﾞｯｺｳへ" << "ガッコウ" << withOptions(false, false, true, false) << -1 << 0;
        QTest::newRow("ideographic space") << "春　夏" << "春 夏" << loose << 0 << 3;
        QTest::newRow("hiragana for katakana") << "がっこう" << "ガッコウ" << loose << 0 << 4;
        QTest::newRow("kana matters") << "がっこう" << "ガッコウ" << withOptions(false, false, false, true) << -1 << 0;
        QTest::newRow("half-width katakana for hiragana") << "ｶﾞｯｺｳ" << "がっこう" << loose << 0 << 5;
        // カ is only half of ガ: no match inside a voiced kana.
        QTest::newRow("base of a voiced kana") << "ガカ" << "カ" << loose << 1 << 1;
        QTest::newRow("voiced kana is not its mark") << "ｶﾞ" << "ｶ" << loose << -1 << 0;
        QTest::newRow("whole words") << "concatenate cat" << "cat" << withOptions(false, true, false, false) << 12 << 3;
        QTest::newRow("whole words, digits") << "x1 cat2 cat" << "cat" << withOptions(false, true, false, false) << 8 << 3;
        QTest::newRow("whole words, Japanese") << "黒猫です" << "猫" << withOptions(false, true, false, false) << 1 << 1;
        QTest::newRow("not across paragraphs") << "ab\ncd" << "bc" << loose << -1 << 0;
    }

    void foldingOptions()
    {
        QFETCH(QString, text);
        QFETCH(QString, needle);
        QFETCH(FindOptions, options);
        QFETCH(int, start);
        QFETCH(int, length);

        QTextDocument document;
        QTextCursor(&document).insertText(text);
        TextFinder finder;
        const std::optional<TextRange> found = finder.find(&document, needle, 0, options);
        if (start < 0) {
            QVERIFY(!found);
            return;
        }
        QVERIFY(found);
        QCOMPARE(*found, (TextRange { start, start + length }));
        // What was found is a match, and searching back from the end finds it too.
        QVERIFY(finder.matches(&document, needle, *found, options));
        options.backwards = true;
        QCOMPARE(finder.find(&document, needle, document.characterCount() - 1, options)->end, found->end);
    }

    void foldedCopyFollowsEdits()
    {
        QTextDocument document;
        QTextCursor cursor(&document);
        cursor.insertText(QStringLiteral("abc"));
        TextFinder finder;
        QVERIFY(!finder.find(&document, QStringLiteral("xyz"), 0, FindOptions()));
        cursor.insertText(QStringLiteral("xyz"));
        QCOMPARE(finder.find(&document, QStringLiteral("xyz"), 0, FindOptions())->start, 3);
    }

    void findNextWrapsAroundAfterAsking()
    {
        FindWindow w(QStringLiteral("one two one two"));
        w.setFields(QStringLiteral("one"));
        w.setCaret(5);
        QVERIFY(w.dialog->findNext());
        QCOMPARE(w.selection(), qMakePair(8, 11));
        QVERIFY(w.questions.isEmpty());

        // Past the last one: the dialog asks, and goes on from the top.
        QVERIFY(w.dialog->findNext());
        QCOMPARE(w.questions.size(), 1);
        QCOMPARE(w.selection(), qMakePair(0, 3));

        // Declining leaves the selection alone.
        w.setCaret(9);
        w.answer = false;
        QVERIFY(!w.dialog->findNext());
        QCOMPARE(w.selection(), qMakePair(9, 9));

        // Upwards from the second "two".
        w.dialog->findChild<QRadioButton *>()->setChecked(true); // 上へ comes first
        QVERIFY(w.dialog->options().backwards);
        w.setFields(QStringLiteral("two"));
        w.setCaret(12);
        QVERIFY(w.dialog->findNext());
        QCOMPARE(w.selection(), qMakePair(4, 7));
    }

    void notFoundSaysSoWithoutAsking()
    {
        FindWindow w(QStringLiteral("abc"));
        w.setFields(QStringLiteral("zzz"));
        QVERIFY(!w.dialog->findNext()); // from the top: nothing to wrap to
        QVERIFY(w.questions.isEmpty());
        QCOMPARE(w.notes, QStringList { QStringLiteral("「zzz」が見つかりません。") });
    }

    void replaceAllIsOneUndoStep()
    {
        FindWindow w(QStringLiteral("ねこ ネコ ﾈｺ cat\nねこ"));
        QTextCursor bold(w.engine.document());
        bold.setPosition(3);
        bold.setPosition(5, QTextCursor::KeepAnchor);
        QTextCharFormat format;
        format.setFontWeight(QFont::Bold);
        bold.mergeCharFormat(format);
        w.engine.document()->clearUndoRedoStacks();

        w.setFields(QStringLiteral("ネコ"), QStringLiteral("猫ちゃん"));
        QCOMPARE(w.dialog->replaceAll(), 4);
        QCOMPARE(w.notes, QStringList { QStringLiteral("4 個の文字列を置換しました。") });
        QCOMPARE(w.engine.document()->toPlainText(), QStringLiteral("猫ちゃん 猫ちゃん 猫ちゃん cat\n猫ちゃん"));
        // The replacement looks like what it replaced.
        QTextCursor second(w.engine.document());
        second.setPosition(7);
        QCOMPARE(second.charFormat().fontWeight(), int(QFont::Bold));

        w.engine.document()->undo();
        QCOMPARE(w.engine.document()->toPlainText(), QStringLiteral("ねこ ネコ ﾈｺ cat\nねこ"));
        QVERIFY(!w.engine.document()->isUndoAvailable());
    }

    void replacingIsAStepOfItsOwnAfterTyping()
    {
        FindWindow w(QStringLiteral("cat"));
        w.engine.show();
        w.setCaret(3);
        QTest::keyClicks(w.engine.viewport(), QStringLiteral("cat"));
        QSignalSpy changes(&w.engine, &TTextEngine::OnChange);

        w.dialog->showFor(FindReplaceDialog::Mode::Replace);
        w.setFields(QStringLiteral("cat"), QStringLiteral("猫"));
        QTest::mouseClick(w.button(QStringLiteral("すべて置換(&A)")), Qt::LeftButton);
        QCOMPARE(w.engine.document()->toPlainText(), QStringLiteral("猫猫"));
        QCOMPARE(changes.count(), 1);   // the document window learns of it at once

        QVERIFY(w.engine.Undo());
        QCOMPARE(w.engine.document()->toPlainText(), QStringLiteral("catcat"));
        QVERIFY(w.engine.Undo());
        QCOMPARE(w.engine.document()->toPlainText(), QStringLiteral("cat"));
    }

    void replacementContainingTheNeedle()
    {
        FindWindow w(QStringLiteral("a-a"));
        w.setFields(QStringLiteral("a"), QStringLiteral("aa"));
        QCOMPARE(w.dialog->replaceAll(), 2);
        QCOMPARE(w.engine.document()->toPlainText(), QStringLiteral("aa-aa"));
    }

    void replaceReplacesTheFoundTextThenFindsTheNext()
    {
        FindWindow w(QStringLiteral("x1 x2 x3"));
        w.dialog->showFor(FindReplaceDialog::Mode::Replace);
        w.setFields(QStringLiteral("x"), QStringLiteral("y"));
        // First press: nothing selected yet, so it only finds.
        QVERIFY(!w.dialog->replace());
        QCOMPARE(w.selection(), qMakePair(0, 1));
        QVERIFY(w.dialog->replace());
        QCOMPARE(w.engine.document()->toPlainText(), QStringLiteral("y1 x2 x3"));
        QCOMPARE(w.selection(), qMakePair(3, 4));
    }

    void modesAndSelectionAsNeedle()
    {
        FindWindow w(QStringLiteral("探す言葉\n次の行"));
        QTextCursor cursor(w.engine.document());
        cursor.setPosition(2, QTextCursor::KeepAnchor);
        w.engine.setTextCursor(cursor);

        w.dialog->showFor(FindReplaceDialog::Mode::Find);
        QCOMPARE(w.dialog->windowTitle(), QStringLiteral("検索"));
        QVERIFY(!w.dialog->isModal());
        QCOMPARE(w.dialog->findChild<QLineEdit *>(QStringLiteral("findText"))->text(), QStringLiteral("探す"));
        QVERIFY(w.button(QStringLiteral("すべて置換(&A)"))->isHidden());

        // A selection over two lines is not taken as the text to find.
        cursor.setPosition(7, QTextCursor::KeepAnchor);
        w.engine.setTextCursor(cursor);
        w.dialog->showFor(FindReplaceDialog::Mode::Replace);
        QCOMPARE(w.dialog->windowTitle(), QStringLiteral("置換"));
        QCOMPARE(w.dialog->findChild<QLineEdit *>(QStringLiteral("findText"))->text(), QStringLiteral("探す"));
        QVERIFY(!w.button(QStringLiteral("すべて置換(&A)"))->isHidden());

        w.setFields(QString());
        QVERIFY(!w.button(QStringLiteral("次を検索(&F)"))->isEnabled());
    }
};

QTEST_MAIN(tst_FindReplace)
#include "tst_FindReplace.moc"
