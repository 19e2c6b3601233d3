#include "app/DocumentOpening.h"
#include "app/OptionSettings.h"
#include "document/DocumentFile.h"
#include "document/TMDIChild.h"
#include "engine/TTextEngine.h"
#include "support/FrameFixture.h"

#include <QFileDialog>
#include <QMdiArea>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>
#include <QtTest>

using tamapiko::test::ScriptedBoxes;
using tamapiko::test::startFrame;

namespace {

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

QStringList captions(const TMainForm &frame)
{
    QStringList titles;
    for (QMdiSubWindow *window : frame.MDIClient->subWindowList(QMdiArea::CreationOrder))
        titles << window->windowTitle();
    return titles;
}

} // namespace

class tst_Opening : public QObject
{
    Q_OBJECT

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    void answerOpenDialog(const QString &answer)
    {
        tamapiko::app::setOpenNameHook([this, answer](QFileDialog &dialog) {
            m_dialogTitle = dialog.windowTitle();
            m_dialogFilter = dialog.selectedNameFilter();
            m_dialogFolder = dialog.directory().absolutePath();
            return answer;
        });
    }

    QTemporaryDir m_dir;
    QString m_dialogTitle, m_dialogFilter, m_dialogFolder;

private slots:
    void init() { setOptionIniPath(path(QStringLiteral("Option.ini"))); }
    void cleanup()
    {
        tamapiko::app::setOpenNameHook({});
        setOptionIniPath(QString());
        QFile::remove(path(QStringLiteral("Option.ini")));
    }

    void openDialogFollowsTheSettingsAndRemembersItsFilter()
    {
        ScriptedBoxes boxes;
        auto frame = startFrame();
        writeAll(path(QStringLiteral("Option.ini")),
                 "[Option]\nFileOpen=\"" + QFile::encodeName(m_dir.path()) + "\"\nFileOpenTyp=\"HTML ﾌｧｲﾙ (*.htm)\"\n");
        answerOpenDialog(QString());
        frame->Open1Click();
        QCOMPARE(m_dialogTitle, QStringLiteral("ﾌｧｲﾙを開く"));
        QCOMPARE(m_dialogFilter, QStringLiteral("HTML ﾌｧｲﾙ (*.htm)"));
        QCOMPARE(m_dialogFolder, m_dir.path());
        QCOMPARE(captions(*frame), QStringList{QStringLiteral("NONAME1")});   // cancelled: nothing made

        // A type that is none of the five keeps the filter last used.
        auto *dialog = frame->findChild<QFileDialog *>(QStringLiteral("OpenDialog"));
        dialog->selectNameFilter(QStringLiteral("ﾘｯﾁﾃｷｽﾄ形式 (*.rtf)"));
        writeAll(path(QStringLiteral("Option.ini")), "[Option]\nFileOpenTyp=\"Rich text\"\n");
        frame->Open1Click();
        QCOMPARE(m_dialogFilter, QStringLiteral("ﾘｯﾁﾃｷｽﾄ形式 (*.rtf)"));
        QCOMPARE(tamapiko::app::openFilterIndex(QStringLiteral("ﾃｷｽﾄ文書 (*.txt)"), 3), 5);
    }

    void openedFilesUseUpANumberAndKeepTheirPath()
    {
        ScriptedBoxes boxes;
        auto frame = startFrame();
        const QString text = path(QStringLiteral("report.Txt"));
        writeAll(text, "本文\n");
        answerOpenDialog(text);
        frame->Open1Click();
        frame->New1Click();
        QCOMPARE(captions(*frame), (QStringList{QStringLiteral("NONAME1"), text, QStringLiteral("NONAME3")}));
        QVERIFY(boxes.errors.isEmpty());
        QVERIFY(!QGuiApplication::overrideCursor());
    }

    void unsupportedFilesKeepAnEmptyWindow_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("last extension") << "notes.doc.bak";
        QTest::newRow("no extension") << "README";
    }
    void unsupportedFilesKeepAnEmptyWindow()
    {
        QFETCH(QString, name);
        ScriptedBoxes boxes;
        auto frame = startFrame();
        writeAll(path(name), "some text\n");
        answerOpenDialog(path(name));
        frame->Open1Click();
        QCOMPARE(boxes.errors, QStringList{QStringLiteral("ｻﾎﾟｰﾄされていないﾌｧｲﾙ形式です!")});
        QCOMPARE(captions(*frame), (QStringList{QStringLiteral("NONAME1"), path(name)}));
        QVERIFY(frame->activeDocument()->TextEngine1->document()->isEmpty());
    }

    void unreadableFileClosesOnlyItsOwnWindow_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("3-byte txm") << "short.txm" << QByteArray("\x17\0\0", 3);
        QTest::newRow("txm header cut short") << "cut.txm" << QByteArray::fromHex("17000000A0050000");
        QTest::newRow("missing file") << "absent.txt" << QByteArray();
    }
    void unreadableFileClosesOnlyItsOwnWindow()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        if (!bytes.isEmpty())
            writeAll(path(name), bytes);
        else if (!tamapiko::test::engineIsReal())
            QSKIP("the placeholder engine reads any file");
        ScriptedBoxes boxes;
        auto frame = startFrame();
        frame->activeDocument()->Modified = true;
        answerOpenDialog(path(name));
        frame->Open1Click();
        QCOMPARE(boxes.errors, QStringList{QStringLiteral("Error opening ") + path(name)});
        QApplication::processEvents();
        QCOMPARE(captions(*frame), QStringList{QStringLiteral("NONAME1")});
        QVERIFY(boxes.questions.isEmpty());
        QVERIFY(frame->isVisible());
        QVERIFY(!QGuiApplication::overrideCursor());
    }

    void txmHeaderSetsThePageBeforeTheText()
    {
        TAMAPIKO_REQUIRE_ENGINE();
        // A file as the program writes it: header, then the engine's data.
        TTextEngine writer;
        QTextCursor(writer.document()).insertText(QStringLiteral("横向きの文書"));
        writer.setPageWidth(16838);
        writer.setPageHeight(11900);
        writer.setPageMarginL(720);
        writer.setPageMarginT(1000);
        writer.setPageMarginR(800);
        writer.setPageMarginB(900);
        PageSettingsRecord saved;
        saved.PaperIndex = 4;
        QString error;
        const QString landscape = path(QStringLiteral("landscape.txm"));
        QVERIFY2(tamapiko::document::saveDocumentFile(writer, landscape, 3, saved, &error), qPrintable(error));

        // The same engine data without the header: A4 with one-inch margins.
        QFile withHeader(landscape);
        QVERIFY(withHeader.open(QIODevice::ReadOnly));
        const QString bare = path(QStringLiteral("bare.TXM"));
        writeAll(bare, withHeader.readAll().mid(32));

        ScriptedBoxes boxes;
        auto frame = startFrame({landscape});
        TTextEngine *engine = frame->activeDocument()->TextEngine1;
        QCOMPARE(engine->document()->toPlainText(), QStringLiteral("横向きの文書"));
        QCOMPARE(frame->PageSettings.PaperIndex, 4);
        QCOMPARE(frame->PageSettings.MarginLeft, 720);
        QCOMPARE(engine->PageWidth(), 16838);
        QCOMPARE(engine->PageMarginB(), 900);

        frame->WMDropFiles({bare});
        QVERIFY(boxes.errors.isEmpty());
        QCOMPARE(frame->activeDocument()->windowTitle(), bare);
        QCOMPARE(frame->activeDocument()->TextEngine1->document()->toPlainText(), QStringLiteral("横向きの文書"));
        QCOMPARE(frame->PageSettings.MarginLeft, 720);        // untouched by a file without header
    }
};

QTEST_MAIN(tst_Opening)
#include "tst_Opening.moc"
