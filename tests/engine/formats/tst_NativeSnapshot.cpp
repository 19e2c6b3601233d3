// The autosave's incremental snapshots: after any mix of edits, undo and redo
// they hold exactly the bytes a whole new encode of the document gives.

#include "engine/DocumentModel.h"
#include "engine/TTextEngine.h"
#include "engine/formats/NativeFilter.h"
#include "engine/formats/NativeSnapshot.h"
#include "support/UserActions.h"

#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>
#include <QtTest>

using tamapiko::engine::NativeFilter;
using tamapiko::engine::NativeSnapshot;
using tamapiko::engine::NativeSnapshotEncoder;
using tamapiko::test::commitText;

namespace {

void press(TTextEngine &engine, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, int times = 1)
{
    for (int i = 0; i < times; ++i)
        QTest::keyClick(&engine, key, modifiers);
}

// Puts the caret at `position`, as a click there would.
void placeCaret(TTextEngine &engine, int position)
{
    QTextCursor caret = engine.textCursor();
    caret.setPosition(position);
    engine.setTextCursor(caret);
}

} // namespace

class tst_NativeSnapshot : public QObject
{
    Q_OBJECT

private slots:
    void snapshotsAfterEditsEqualAWholeEncode()
    {
        TTextEngine engine;
        engine.resize(800, 600);
        NativeSnapshotEncoder encoder;
        int step = 0;
        const auto check = [&](const char *what) {
            ++step;
            const QByteArray expected = NativeFilter::encode(*engine.model());
            const QByteArray snapshot = encoder.take(*engine.model()).bytes();
            if (snapshot != expected)
                QFAIL(qPrintable(QStringLiteral("step %1 (%2): the snapshot differs").arg(step).arg(QLatin1String(what))));
        };

        for (const char *line : {"first paragraph", "second one", "third and last"}) {
            QTest::keyClicks(&engine, QLatin1String(line));
            press(engine, Qt::Key_Return);
        }
        check("typing");

        // Typing into a paragraph in the middle, a new paragraph and a merge.
        placeCaret(engine, 20);
        commitText(&engine, QStringLiteral("日本語"));
        check("typing in the middle");
        press(engine, Qt::Key_Return);
        check("splitting a paragraph");
        press(engine, Qt::Key_Backspace);
        check("joining paragraphs");

        // Formatting a few characters, then the paragraph.
        placeCaret(engine, 3);
        press(engine, Qt::Key_Right, Qt::ShiftModifier, 4);
        engine.setFontBold(1);
        check("bold");
        engine.setAlignment(2);
        check("centred");

        // A table: typing in its cells, Tab in the last cell adds a row.
        press(engine, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(engine.TableInsert(2, 2, -1, 0), 0);
        for (const QString &text : {QStringLiteral("一"), QStringLiteral("二"), QStringLiteral("三"), QStringLiteral("四")}) {
            commitText(&engine, text);
            press(engine, Qt::Key_Tab);
        }
        check("table");
        commitText(&engine, QStringLiteral("五"));
        check("added row");

        // Undo everything step by step, then redo it all.
        int undone = 0;
        while (engine.CanUndo() && undone < 100) {
            press(engine, Qt::Key_Z, Qt::ControlModifier);
            ++undone;
            check("undo");
        }
        QVERIFY(undone > 5);
        while (engine.CanRedo()) {
            press(engine, Qt::Key_Y, Qt::ControlModifier);
            check("redo");
        }

        // A snapshot keeps the document as it was when taken.
        const NativeSnapshot before = encoder.take(*engine.model());
        const QByteArray expected = NativeFilter::encode(*engine.model());
        placeCaret(engine, 5);
        QTest::keyClicks(&engine, QStringLiteral("later"));
        QCOMPARE(before.bytes(), expected);
        check("after an older snapshot");
    }

    void loadedDocumentsWithListsAndTables()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("lists.html"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<html><body><p>before</p><ul><li>one</li><li>two</li></ul><p>between</p>"
                   "<ol><li>first</li></ol><table border=1><tr><td>cell</td><td><ul><li>inner</li></ul></td></tr>"
                   "</table><p>after</p></body></html>");
        file.close();

        TTextEngine engine;
        engine.resize(800, 600);
        NativeSnapshotEncoder encoder;
        QTest::keyClicks(&engine, QStringLiteral("typed before loading"));
        QCOMPARE(encoder.take(*engine.model()).bytes(), NativeFilter::encode(*engine.model()));

        // Another document in the same window: nothing of the old one stays.
        QCOMPARE(engine.LoadDocument(path, 0, 4, 0), 0);
        QCOMPARE(encoder.take(*engine.model()).bytes(), NativeFilter::encode(*engine.model()));

        // Typing into the list items, before them, and in the table's list.
        for (const QString &at : {QStringLiteral("two"), QStringLiteral("before"), QStringLiteral("inner"),
                                  QStringLiteral("first")}) {
            const QTextCursor found = engine.document()->find(at);
            QVERIFY2(!found.isNull(), qPrintable(at));
            placeCaret(engine, found.selectionStart() + 1);
            commitText(&engine, QStringLiteral("挿"));
            QCOMPARE(encoder.take(*engine.model()).bytes(), NativeFilter::encode(*engine.model()));
            press(engine, Qt::Key_Return);
            QCOMPARE(encoder.take(*engine.model()).bytes(), NativeFilter::encode(*engine.model()));
        }
        while (engine.CanUndo()) {
            press(engine, Qt::Key_Z, Qt::ControlModifier);
            QCOMPARE(encoder.take(*engine.model()).bytes(), NativeFilter::encode(*engine.model()));
        }
    }
};

QTEST_MAIN(tst_NativeSnapshot)
#include "tst_NativeSnapshot.moc"
