#include "app/DocumentAutosave.h"
#include "app/RecoveryDialog.h"
#include "app/RecoverySlot.h"
#include "document/DocumentFile.h"
#include "document/DocumentFileTypes.h"
#include "document/DocumentSaving.h"
#include "document/TMDIChild.h"
#include "engine/TTextEngine.h"
#include "support/FrameFixture.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QTreeWidget>
#include <QToolButton>
#include <QtTest>

#include <cstdio>

using tamapiko::app::RecoveryDialog;
using tamapiko::app::RecoverySlot;
using tamapiko::test::ScriptedBoxes;
using tamapiko::test::startFrame;

namespace {

const char ChildOption[] = "--type-until-autosaved";
const QString PlainPart = QStringLiteral("plain text ");
const QString BoldPart = QStringLiteral("bold text");

QStringList recoveryFiles()
{
    return QDir(RecoverySlot::folder()).entryList({QStringLiteral("*.txm"), QStringLiteral("*.json")}, QDir::Files);
}

bool waitForSnapshot()
{
    return QTest::qWaitFor([] { return recoveryFiles().size() == 2; }, 20000);
}

// The program as a user runs it: types plain text, switches bold on with the
// tool button and types on; once the snapshot is on disk it says so and
// keeps running until it is killed.
int typeUntilAutosaved()
{
    auto frame = startFrame();
    TMDIChild *window = frame->activeDocument();
    QTest::keyClicks(window->TextEngine1->viewport(), PlainPart);
    QTest::mouseClick(frame->BtnBold, Qt::LeftButton);
    QTest::keyClicks(window->TextEngine1->viewport(), BoldPart);
    if (!waitForSnapshot())
        return 3;
    RecoverySlot::waitForWriter();
    std::printf("autosaved\n");
    std::fflush(stdout);
    return QApplication::exec();
}

// Answers the recovery dialog once it shows: unticks the rows `discard`
// names, then presses OK.
void answerRecoveryDialog(QStringList *shown, QList<int> discard = {})
{
    QTimer::singleShot(0, [shown, discard] {
        QTRY_VERIFY(qobject_cast<RecoveryDialog *>(QApplication::activeModalWidget()));
        auto *dialog = qobject_cast<RecoveryDialog *>(QApplication::activeModalWidget());
        QTreeWidget *list = dialog->list();
        for (int row = 0; row < list->topLevelItemCount(); ++row)
            *shown << list->topLevelItem(row)->text(0) + u'|' + list->topLevelItem(row)->text(1);
        for (int row : discard) {
            QTreeWidgetItem *item = list->topLevelItem(row);
            const QRect box = list->visualItemRect(item);
            // The check box sits at the start of the first column.
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(box.left() + 10, box.center().y()));
        }
        QPushButton *ok = dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok);
        QTest::mouseClick(ok, Qt::LeftButton);
    });
}

} // namespace

class tst_Recovery : public QObject
{
    Q_OBJECT

    QTemporaryDir m_state;

private slots:
    void initTestCase()
    {
        qputenv("XDG_STATE_HOME", QFile::encodeName(m_state.path()));
        qputenv("TAMAPIKO_AUTOSAVE_MS", "200");
    }
    void cleanup()
    {
        RecoverySlot::waitForWriter();
        QDir(RecoverySlot::folder()).removeRecursively();
    }

    void killedProgramIsRestoredWithItsFormatting()
    {
        TAMAPIKO_REQUIRE_ENGINE();
        QProcess program;
        program.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(ChildOption)});
        QVERIFY(program.waitForStarted());
        QVERIFY2(QTest::qWaitFor([&] { return program.canReadLine() || program.state() != QProcess::Running; }, 120000),
                 "no autosave within two minutes");
        QCOMPARE(program.readLine(), QByteArray("autosaved\n"));
        program.kill();   // SIGKILL: no destructor, no close question
        QVERIFY(program.waitForFinished());
        QCOMPARE(recoveryFiles().size(), 2);

        // The next start offers the document, restores it and takes over its snapshot.
        ScriptedBoxes boxes({tamapiko::app::Answer::No});
        auto frame = startFrame();
        QStringList shown;
        answerRecoveryDialog(&shown);
        tamapiko::app::offerRecovery(*frame);
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown.first().startsWith(QStringLiteral("NONAME")), qPrintable(shown.first()));
        QVERIFY(shown.first().contains(QDate::currentDate().toString(QStringLiteral("yyyy/MM/dd"))));

        TMDIChild *restored = frame->activeDocument();
        QVERIFY(restored->windowTitle().startsWith(QStringLiteral("NONAME")));
        QVERIFY(restored->Modified);
        QTextDocument *document = restored->TextEngine1->document();
        QCOMPARE(document->toPlainText(), PlainPart + BoldPart);
        QTextCursor cursor(document);
        cursor.setPosition(2);
        QVERIFY(cursor.charFormat().fontWeight() < QFont::Bold);
        cursor.setPosition(PlainPart.size() + 2);
        QCOMPARE(cursor.charFormat().fontWeight(), int(QFont::Bold));
        QCOMPARE(recoveryFiles().size(), 2);

        // Nothing to offer while this instance owns the snapshot.
        QVERIFY(RecoverySlot::claimOrphans().isEmpty());
        // Closing it with "いいえ" gives the changes up, snapshot included.
        restored->close();
        QCOMPARE(boxes.questions.size(), 1);
        RecoverySlot::waitForWriter();
        QCOMPARE(recoveryFiles(), QStringList());
    }

    void savingRemovesTheSnapshotAndDiscardedOnesGo()
    {
        TAMAPIKO_REQUIRE_ENGINE();
        ScriptedBoxes boxes;
        {
            auto frame = startFrame();
            TMDIChild *window = frame->activeDocument();
            QTest::keyClicks(window->TextEngine1->viewport(), QStringLiteral("saved"));
            QVERIFY(waitForSnapshot());
            window->setWindowTitle(m_state.filePath(QStringLiteral("saved.txm")));
            QCOMPARE(tamapiko::document::Save1Click(*window), tamapiko::document::SaveOutcome::Written);
            RecoverySlot::waitForWriter();
            QCOMPARE(recoveryFiles(), QStringList());
        }

        // Two left by instances that died: one restored under its path, one discarded.
        QDir().mkpath(RecoverySlot::folder());
        const QStringList captions = {QStringLiteral("/home/u/a.txm"), QStringLiteral("/home/u/b.rtf")};
        for (int i = 0; i < captions.size(); ++i) {
            const QString base = RecoverySlot::folder() + QStringLiteral("/orphan%1").arg(i);
            TTextEngine engine;
            QTextCursor(engine.document()).insertText(QStringLiteral("文書%1").arg(i));
            PageSettingsRecord page;
            QString error;
            QVERIFY2(tamapiko::document::saveDocumentFile(engine, base + QStringLiteral(".txm"),
                                                         tamapiko::document::FormatCode::Native, page, &error),
                     qPrintable(error));
            QFile side(base + QStringLiteral(".json"));
            QVERIFY(side.open(QIODevice::WriteOnly));
            side.write(QStringLiteral("{\"caption\": \"%1\", \"time\": \"2026-12-0%2T10:00:00.000\"}")
                           .arg(captions[i]).arg(i + 1).toUtf8());
        }
        auto frame = startFrame();
        QStringList shown;
        answerRecoveryDialog(&shown, {1});
        tamapiko::app::offerRecovery(*frame);
        QCOMPARE(shown, QStringList({QStringLiteral("/home/u/a.txm|2026/12/01 10:00:00"),
                                     QStringLiteral("/home/u/b.rtf|2026/12/02 10:00:00")}));
        TMDIChild *restored = frame->activeDocument();
        QCOMPARE(restored->windowTitle(), QStringLiteral("/home/u/a.txm"));
        QCOMPARE(restored->TextEngine1->document()->toPlainText(), QStringLiteral("文書0"));
        RecoverySlot::waitForWriter();
        QCOMPARE(recoveryFiles(), QStringList({QStringLiteral("orphan0.json"), QStringLiteral("orphan0.txm")}));
    }

    void incompleteSlotsAreOfferedOrCleanedUp()
    {
        TAMAPIKO_REQUIRE_ENGINE();
        // What instances that died at the wrong moment leave: a snapshot
        // whose side file was never written, a side file without its
        // snapshot, and a lock whose process is gone.
        QDir().mkpath(RecoverySlot::folder());
        const QString folder = RecoverySlot::folder() + u'/';
        {
            TTextEngine engine;
            QTextCursor(engine.document()).insertText(QStringLiteral("名前のない文書"));
            PageSettingsRecord page;
            QString error;
            QVERIFY2(tamapiko::document::saveDocumentFile(engine, folder + QStringLiteral("lone.txm"),
                                                         tamapiko::document::FormatCode::Native, page, &error),
                     qPrintable(error));
        }
        QFile side(folder + QStringLiteral("empty.json"));
        QVERIFY(side.open(QIODevice::WriteOnly));
        side.write("{\"caption\": \"/home/u/gone.txt\", \"time\": \"2026-12-01T10:00:00.000\"}");
        side.close();
        QProcess finished;
        finished.start(QStringLiteral("true"));
        QVERIFY(finished.waitForStarted());
        const qint64 deadProcess = finished.processId();
        QVERIFY(finished.waitForFinished());
        QFile lock(folder + QStringLiteral("stray.lock"));
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write(QByteArray::number(deadProcess) + "\ntst_Recovery\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        lock.close();

        ScriptedBoxes boxes;
        auto frame = startFrame();
        QStringList shown;
        answerRecoveryDialog(&shown);
        tamapiko::app::offerRecovery(*frame);
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown.first().startsWith(QStringLiteral("NONAME|")), qPrintable(shown.first()));
        TMDIChild *restored = frame->activeDocument();
        QVERIFY(restored->windowTitle().startsWith(QStringLiteral("NONAME")));
        QCOMPARE(restored->TextEngine1->document()->toPlainText(), QStringLiteral("名前のない文書"));
        RecoverySlot::waitForWriter();
        QCOMPARE(QDir(RecoverySlot::folder()).entryList(QDir::Files),
                 QStringList({QStringLiteral("lone.lock"), QStringLiteral("lone.txm")}));
    }
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], ChildOption) == 0)
        return typeUntilAutosaved();
    tst_Recovery test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_Recovery.moc"
