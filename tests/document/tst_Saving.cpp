#include "app/OptionSettings.h"
#include "document/DocumentFile.h"
#include "document/DocumentFileTypes.h"
#include "document/DocumentPrompts.h"
#include "document/DocumentSaving.h"
#include "document/TMDIChild.h"
#include "engine/TTextEngine.h"
#include "engine/io/SafeFile.h"
#include "support/FrameFixture.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QtTest>

#include <sys/stat.h>

using namespace tamapiko::document;
using tamapiko::test::ScriptedBoxes;
using tamapiko::test::startFrame;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

mode_t modeOf(const QString &path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

} // namespace

class tst_Saving : public QObject
{
    Q_OBJECT

private:
    // The save dialog's answer, and what it was set up with.
    void answerSaveDialog(const QString &answer)
    {
        setSaveNameHook([this, answer](TMDIChild &window) {
            ++m_asked;
            m_dialogTitle = window.SaveDialog1->windowTitle();
            m_dialogFilter = window.SaveDialog1->selectedNameFilter();
            return answer;
        });
    }

    QTemporaryDir m_dir;
    int m_asked = 0;
    QString m_dialogTitle;
    QString m_dialogFilter;

private slots:
    void init()
    {
        m_asked = 0;
        setOptionIniPath(m_dir.filePath(QStringLiteral("Option.ini")));
    }
    void cleanup()
    {
        setSaveNameHook({});
        setOptionIniPath(QString());
    }

    void unnamedDocumentAsksAndTakesTheName()
    {
        ScriptedBoxes boxes;
        auto frame = startFrame();
        TMDIChild *window = frame->activeDocument();
        window->Modified = true;

        answerSaveDialog(QString());
        QCOMPARE(Save1Click(*window), SaveOutcome::Cancelled);
        QCOMPARE(window->windowTitle(), QStringLiteral("NONAME1"));
        QVERIFY(window->Modified);
        QCOMPARE(m_dialogTitle, QStringLiteral("ﾌｧｲﾙ名を付けて保存"));
        QCOMPARE(m_dialogFilter, QStringLiteral("MOXぽこぺんﾉｰﾄ (*.txm)"));

        // Outside the table: nothing written, said so, and the caption stays.
        const QString odd = m_dir.filePath(QStringLiteral("letter.abc"));
        answerSaveDialog(odd);
        QCOMPARE(Save1Click(*window), SaveOutcome::Unsupported);
        QCOMPARE(window->windowTitle(), QStringLiteral("NONAME1"));
        QVERIFY(window->Modified);
        QVERIFY(!QFileInfo::exists(odd));
        QCOMPARE(boxes.errors, QStringList{QStringLiteral("ｻﾎﾟｰﾄされていないﾌｧｲﾙ形式です!")});
        boxes.errors.clear();

        // A caption that is a path saves without a dialog.
        const QString text = m_dir.filePath(QStringLiteral("letter.TXT"));
        window->setWindowTitle(text);
        QCOMPARE(Save1Click(*window), SaveOutcome::Written);
        QCOMPARE(m_asked, 2);
        QVERIFY(QFileInfo::exists(text));
        QVERIFY(!window->Modified);
        QCOMPARE(frame->activeDocument(), window);
    }

    void saveAsTakesTheNameOnlyWhenWritten()
    {
        ScriptedBoxes boxes;
        auto frame = startFrame();
        TMDIChild *window = frame->activeDocument();
        window->Modified = true;
        writeAll(m_dir.filePath(QStringLiteral("Option.ini")),
                 "[Option]\nFileSaveTyp=\"ﾘｯﾁﾃｷｽﾄ形式 (*.rtf)\"\n");

        answerSaveDialog(m_dir.filePath(QStringLiteral("odd.abc")));
        QCOMPARE(SaveAs1Click(*window), SaveOutcome::Unsupported);
        boxes.errors.clear();
        QCOMPARE(m_dialogFilter, QStringLiteral("ﾘｯﾁﾃｷｽﾄ形式 (*.rtf)"));
        QCOMPARE(window->windowTitle(), QStringLiteral("NONAME1"));

        const QString impossible = m_dir.filePath(QStringLiteral("missing folder/a.rtf"));
        answerSaveDialog(impossible);
        QCOMPARE(SaveAs1Click(*window), SaveOutcome::NotWritten);
        QCOMPARE(boxes.errors, QStringList{QStringLiteral("Error saving file ") + impossible});
        QCOMPARE(window->windowTitle(), QStringLiteral("NONAME1"));
        QVERIFY(window->Modified);
        QVERIFY(!QGuiApplication::overrideCursor());

        const QString html = m_dir.filePath(QStringLiteral("page.HTML"));
        answerSaveDialog(html);
        QCOMPARE(SaveAs1Click(*window), SaveOutcome::Written);
        QCOMPARE(window->windowTitle(), html);
        QVERIFY(!window->Modified);

        // A failed Save of an unnamed document still takes the name.
        boxes.errors.clear();
        TMDIChild *second = (frame->New1Click(), frame->activeDocument());
        answerSaveDialog(impossible);
        QCOMPARE(Save1Click(*second), SaveOutcome::NotWritten);
        QCOMPARE(second->windowTitle(), impossible);
        QCOMPARE(boxes.errors.size(), 1);
    }

    void typedNameGetsTheDefaultExtension()
    {
        ScriptedBoxes boxes;
        writeAll(m_dir.filePath(QStringLiteral("Option.ini")),
                 "[Option]\nFileSave=\"" + QFile::encodeName(m_dir.path()) + "\"\nFileSaveTyp=\"ﾘｯﾁﾃｷｽﾄ形式 (*.rtf)\"\n");
        auto frame = startFrame();
        TMDIChild *window = frame->activeDocument();
        QString shownName;
        QTimer::singleShot(0, window, [&] {
            QFileDialog *dialog = window->SaveDialog1;
            QTRY_VERIFY(dialog->isVisible());
            auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            shownName = name->text();
            name->setText(QStringLiteral("手紙"));
            static_cast<QDialog *>(dialog)->accept();
        });
        QCOMPARE(SaveAs1Click(*window), SaveOutcome::Written);
        QCOMPARE(shownName, QStringLiteral("*.rtf"));
        QCOMPARE(window->windowTitle(), m_dir.filePath(QStringLiteral("手紙.rtf")));
        QVERIFY(QFileInfo::exists(m_dir.filePath(QStringLiteral("手紙.rtf"))));
    }

    void replacingKeepsPermissionsAndLinks()
    {
        ScriptedBoxes boxes;
        auto frame = startFrame();
        TMDIChild *window = frame->activeDocument();
        const QString target = m_dir.filePath(QStringLiteral("kept.txt"));
        writeAll(target, "old contents that are longer than the new ones\n");
        QVERIFY(::chmod(QFile::encodeName(target).constData(), 0640) == 0);
        const QString link = m_dir.filePath(QStringLiteral("link.txt"));
        QVERIFY(QFile::link(target, link));

        window->setWindowTitle(link);
        QCOMPARE(Save1Click(*window), SaveOutcome::Written);
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(modeOf(target), mode_t(0640));
        QVERIFY(readAll(target) != "old contents that are longer than the new ones\n");
        // No temporary files are left beside it.
        const QStringList hidden = QDir(m_dir.path()).entryList({QStringLiteral(".*")}, QDir::Files | QDir::Hidden);
        QVERIFY2(hidden.isEmpty(), qPrintable(hidden.join(u' ')));
    }

    void txmFileIsHeaderThenEngineData()
    {
        TAMAPIKO_REQUIRE_ENGINE();
        ScriptedBoxes boxes;
        auto frame = startFrame();
        TMDIChild *window = frame->activeDocument();
        TTextEngine *engine = window->TextEngine1;
        engine->setPageWidth(11900);
        engine->setPageHeight(16838);
        engine->setPageMarginL(1440);
        engine->setPageMarginT(1440);
        engine->setPageMarginR(1440);
        engine->setPageMarginB(1440);
        QTextCursor(engine->document()).insertText(QStringLiteral("ページの設定を保存します"));
        frame->PageSettings.PaperIndex = 9;

        const QString path = m_dir.filePath(QStringLiteral("page.txm"));
        window->setWindowTitle(path);
        QCOMPARE(Save1Click(*window), SaveOutcome::Written);
        const QByteArray bytes = readAll(path);
        QCOMPARE(bytes.left(32).toHex(' '),
                 QByteArray::fromHex("17000000A0050000A0050000A0050000A0050000C64100007C2E000009000000").toHex(' '));
        QVERIFY(bytes.mid(32).startsWith("\x89TPKDOC\n"));
        QCOMPARE(frame->PageSettings.PaperWidth, 11900);

        // Read back from offset 32, in a window of its own.
        TTextEngine reader;
        PageSettingsRecord page;
        QString error;
        QVERIFY2(loadDocumentFile(reader, path, FormatCode::Native, page, &error), qPrintable(error));
        QCOMPARE(reader.document()->toPlainText(), QStringLiteral("ページの設定を保存します"));
        QCOMPARE(page.PaperIndex, 9);
        QCOMPARE(reader.PageMarginT(), 1440);
    }

    void failedSaveLeavesTheOldFile()
    {
        TAMAPIKO_REQUIRE_ENGINE();
        TTextEngine engine;
        QTextCursor(engine.document()).insertText(QStringLiteral("new"));
        const QString target = m_dir.filePath(QStringLiteral("precious.txm"));
        const QByteArray old = QByteArray("\x17\0\0\0", 4) + QByteArray(28, '\1') + "old engine data";
        writeAll(target, old);
        PageSettingsRecord page;
        QString error;
        // A format the engine does not know fails after the header is written.
        QVERIFY(!saveDocumentFile(engine, target, 7, page, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(readAll(target), old);
        QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral(".precious*")}, QDir::Files | QDir::Hidden).size(), 0);
    }

    void writeErrorIsReportedAndLeavesTheOldFile()
    {
        ScriptedBoxes boxes;
        auto frame = startFrame();
        TMDIChild *window = frame->activeDocument();
        QTest::keyClicks(window->TextEngine1->viewport(), QStringLiteral("abc"));
        const QString target = m_dir.filePath(QStringLiteral("only-copy.rtf"));
        const QByteArray old = "{\\rtf1 written yesterday}";
        writeAll(target, old);
        window->setWindowTitle(target);
        window->Modified = true;

        tamapiko::engine::testing::failNextFileStep(tamapiko::engine::testing::FileStep::Write, ENOSPC);
        QCOMPARE(Save1Click(*window), SaveOutcome::NotWritten);
        QCOMPARE(boxes.errors, QStringList{QStringLiteral("Error saving file ") + target});
        QCOMPARE(readAll(target), old);
        QVERIFY(window->Modified);
    }

    void everyFormatKeepsTheBytesBeforeItsOffset()
    {
        TAMAPIKO_REQUIRE_ENGINE();
        const QByteArray prefix = QByteArray::fromHex("00FF17000000DEADBEEF") + QByteArray(22, '\x7f');
        for (const DocumentFileType &type : documentFileTypes()) {
            TTextEngine writer;
            QTextCursor(writer.document()).insertText(QStringLiteral("前置きのあとに本文"));
            const QString path = m_dir.filePath(QStringLiteral("offset") + type.pattern.mid(1));
            writeAll(path, prefix + "stale bytes beyond the prefix that must disappear");
            if (writer.SaveDocument(path, prefix.size(), type.formatCode, 0) != 0) {
                qWarning("format %d cannot be written yet: %s", type.formatCode, qPrintable(writer.errorString()));
                continue;
            }
            QCOMPARE(readAll(path).left(prefix.size()), prefix);
            TTextEngine reader;
            QCOMPARE(reader.LoadDocument(path, prefix.size(), type.formatCode, 0), 0);
            QVERIFY2(reader.document()->toPlainText().contains(QStringLiteral("前置きのあとに本文")),
                     qPrintable(type.displayName));
        }
    }
};

QTEST_MAIN(tst_Saving)
#include "tst_Saving.moc"
