#include "engine/io/SafeFile.h"
#include "platform/IniFile.h"

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QtTest>

using tamapiko::platform::IniFile;

class tst_IniFile : public QObject
{
    Q_OBJECT

private:
    QString writeFile(const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(QStringLiteral("Option.ini"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
            qFatal("cannot write the test file");
        return path;
    }
    QByteArray readFile(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir m_dir;

private slots:
    void readsByPrivateProfileRules_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");

        const QByteArray sample =
            "; settings\r\n"
            "stray=before any section\r\n"
            "[Other]\r\n"
            "FileOpen=other section\r\n"
            "\r\n"
            "  [ option ]  \r\n"
            "  fileopen  =   \"C:\\My Documents\"   \r\n"
            ";FileSave=commented out\r\n"
            "FileOpenTyp='single quoted'\r\n"
            "FileIN=\"unbalanced\r\n"
            "FileINTyp=\"\"\"twice\"\"\"\r\n"
            "FileImage=\"\"\r\n"
            "NoEquals\r\n"
            "FileOpen=second copy\r\n"
            "[Option]\r\n"
            "FileImageTyp=from the duplicate section\r\n";
        QTest::newRow("names ignore case and blanks") << sample << "OPTION" << "FileOpen" << "C:\\My Documents";
        QTest::newRow("single quotes") << sample << "Option" << "FileOpenTyp" << "single quoted";
        QTest::newRow("unbalanced quote kept") << sample << "Option" << "FileIN" << "\"unbalanced";
        QTest::newRow("one pair removed") << sample << "Option" << "FileINTyp" << "\"\"twice\"\"";
        QTest::newRow("empty quoted") << sample << "Option" << "FileImage" << "";
        QTest::newRow("comment is no key") << sample << "Option" << "FileSave" << "DEFAULT";
        QTest::newRow("key without value") << sample << "Option" << "NoEquals" << "";
        QTest::newRow("first section wins") << sample << "Option" << "FileImageTyp" << "DEFAULT";
        QTest::newRow("other section") << sample << "Other" << "FileOpen" << "other section";
        QTest::newRow("missing section") << sample << "Nowhere" << "FileOpen" << "DEFAULT";
        QTest::newRow("empty file") << QByteArray() << "Option" << "FileOpen" << "DEFAULT";
        QTest::newRow("lone CR line ends") << QByteArray("[Option]\rFileOpen=x\r") << "Option" << "FileOpen" << "x";
        QTest::newRow("no final line end") << QByteArray("[Option]\nFileOpen=last") << "Option" << "FileOpen" << "last";
        QTest::newRow("utf-8 with BOM") << QByteArray("\xEF\xBB\xBF[Option]\nFileOpen=C:\\文書\n") << "Option" << "FileOpen" << "C:\\文書";
        QTest::newRow("ideographic space kept") << QByteArray("[Option]\nFileOpen=あ\xE3\x80\x80\n") << "Option" << "FileOpen" << "あ\u3000";
    }
    void readsByPrivateProfileRules()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        const IniFile ini(writeFile(file));
        QCOMPARE(ini.readString(section, key, QStringLiteral("DEFAULT")), expected);
    }

    void missingFileGivesDefaults()
    {
        const IniFile ini(m_dir.filePath(QStringLiteral("absent.ini")));
        QCOMPARE(ini.readString(QStringLiteral("Option"), QStringLiteral("FileOpen"), QStringLiteral("ERROR")),
                 QStringLiteral("ERROR"));
        QCOMPARE(ini.readInteger(QStringLiteral("Option"), QStringLiteral("RegSave"), 7), 7);
    }

    void readsShiftJisAndUtf16Files()
    {
        const QString text = QStringLiteral("[Option]\r\nFileOpen=\"C:\\ﾏｲ 文書\"\r\nFileOpenTyp=MOXぽこぺんﾉｰﾄ (*.txm)\r\n");
        QStringEncoder toShiftJis("windows-31j");
        const IniFile shiftJis(writeFile(toShiftJis(text)));
        QCOMPARE(shiftJis.readString(QStringLiteral("Option"), QStringLiteral("FileOpen"), {}),
                 QStringLiteral("C:\\ﾏｲ 文書"));
        QCOMPARE(shiftJis.readString(QStringLiteral("Option"), QStringLiteral("FileOpenTyp"), {}),
                 QStringLiteral("MOXぽこぺんﾉｰﾄ (*.txm)"));

        QStringEncoder toUtf16(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
        const IniFile utf16(writeFile(toUtf16(text)));
        QCOMPARE(utf16.readString(QStringLiteral("Option"), QStringLiteral("FileOpen"), {}),
                 QStringLiteral("C:\\ﾏｲ 文書"));
    }

    void longValuesAreCut()
    {
        const QString longValue = QString(1022, u'a') + QStringLiteral("😀tail");
        const IniFile ini(writeFile("[Option]\nFileOpen=" + longValue.toUtf8() + "\n"));
        // The emoji's two halves would straddle the limit: neither is returned.
        QCOMPARE(ini.readString(QStringLiteral("Option"), QStringLiteral("FileOpen"), {}), QString(1022, u'a'));
        const IniFile exact(writeFile("[Option]\nFileOpen=" + QByteArray(1030, 'b') + "\n"));
        QCOMPARE(exact.readString(QStringLiteral("Option"), QStringLiteral("FileOpen"), {}).size(),
                 IniFile::MaxValueLength);
    }

    void parsesIntegers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected");   // -999 stands for "not an integer"
        QTest::newRow("decimal") << "1" << 1;
        QTest::newRow("leading zero is decimal") << "010" << 10;
        QTest::newRow("negative") << "-1" << -1;
        QTest::newRow("plus") << "+5" << 5;
        QTest::newRow("hex") << "0x1" << 1;
        QTest::newRow("hex upper X") << "0X1f" << 31;
        QTest::newRow("hex all bits") << "0xFFFFFFFF" << -1;
        QTest::newRow("int max") << "2147483647" << 2147483647;
        QTest::newRow("int min") << "-2147483648" << int(-2147483648LL);
        QTest::newRow("too large") << "2147483648" << -999;
        QTest::newRow("hex too large") << "0x100000000" << -999;
        QTest::newRow("prefix only") << "0x" << -999;
        QTest::newRow("trailing junk") << "12abc" << -999;
        QTest::newRow("word") << "abc" << -999;
        QTest::newRow("empty") << "" << -999;
        QTest::newRow("full-width digits") << "１" << -999;
    }
    void parsesIntegers()
    {
        QFETCH(QString, text);
        QFETCH(int, expected);
        QCOMPARE(IniFile::parseInteger(text).value_or(-999), expected);
    }

    void writesOnlyTheKeysLine()
    {
        const QByteArray original =
            "; kept comment\r\n"
            "[option]\r\n"
            "fileopen = \"old\"\r\n"
            "Other=1\r\n"
            "\r\n"
            "[Next]\r\n"
            "A=b\r\n";
        const QString path = writeFile(original);
        IniFile ini(path);
        QVERIFY(ini.writeString(QStringLiteral("Option"), QStringLiteral("FileOpen"), QStringLiteral("\"new\"")));
        QVERIFY(ini.writeString(QStringLiteral("Option"), QStringLiteral("RegSave"), QStringLiteral("0")));
        QVERIFY(ini.writeString(QStringLiteral("Added"), QStringLiteral("Key"), QStringLiteral("v")));
        QCOMPARE(readFile(path), QByteArray(
            "; kept comment\r\n"
            "[option]\r\n"
            "fileopen=\"new\"\r\n"
            "Other=1\r\n"
            "RegSave=0\r\n"
            "\r\n"
            "[Next]\r\n"
            "A=b\r\n"
            "\r\n"
            "[Added]\r\n"
            "Key=v\r\n"));
        QCOMPARE(ini.readString(QStringLiteral("OPTION"), QStringLiteral("FILEOPEN"), {}), QStringLiteral("new"));
    }

    void writeCreatesFileAndConvertsShiftJisToUtf8()
    {
        const QString fresh = m_dir.filePath(QStringLiteral("new/folder/Option.ini"));
        IniFile created(fresh);
        QVERIFY(created.writeInteger(QStringLiteral("Option"), QStringLiteral("PictINS"), 1));
        QCOMPARE(readFile(fresh), QByteArray("[Option]\nPictINS=1\n"));

        QStringEncoder toShiftJis("windows-31j");
        const QString path = writeFile(toShiftJis(QStringLiteral("[Option]\r\nFileSave=C:\\ﾃﾞｰﾀ\r\n")));
        IniFile ini(path);
        QVERIFY(ini.writeString(QStringLiteral("Option"), QStringLiteral("FileOpen"), QStringLiteral("文書")));
        QCOMPARE(readFile(path), QStringLiteral("[Option]\r\nFileSave=C:\\ﾃﾞｰﾀ\r\nFileOpen=文書\r\n").toUtf8());
    }

    void failedWritesReportAndKeepTheFile()
    {
        // A folder that cannot exist: its parent is a file.
        const QString blocker = writeFile("[Option]\nFileOpen=kept\n");
        IniFile impossible(blocker + QStringLiteral("/Option.ini"));
        QVERIFY(!impossible.writeString(QStringLiteral("Option"), QStringLiteral("FileOpen"), QStringLiteral("x")));
        QVERIFY(!impossible.errorString().isEmpty());

        IniFile ini(blocker);
        QVERIFY(!ini.writeString(QStringLiteral("Option"), QStringLiteral("FileOpen"), QStringLiteral("a\r\nInjected=1")));
        QVERIFY(!ini.errorString().isEmpty());
        QCOMPARE(readFile(blocker), QByteArray("[Option]\nFileOpen=kept\n"));

        // A disk that fills up while the new text goes out.
        tamapiko::engine::testing::failNextFileStep(tamapiko::engine::testing::FileStep::Write, ENOSPC);
        QVERIFY(!ini.writeString(QStringLiteral("Option"), QStringLiteral("FileOpen"), QStringLiteral("new")));
        QVERIFY(ini.errorString().contains(QString::fromLocal8Bit(std::strerror(ENOSPC))));
        QCOMPARE(readFile(blocker), QByteArray("[Option]\nFileOpen=kept\n"));
    }

    void settingsThatAreNoFileReadAsMissing()
    {
        // A FIFO would block the start, /dev/zero would fill the memory.
        const QString fifo = m_dir.filePath(QStringLiteral("fifo.ini"));
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        for (const QString &path : {fifo, QStringLiteral("/dev/zero")}) {
            IniFile ini(path);
            QCOMPARE(ini.readString(QStringLiteral("Option"), QStringLiteral("FileOpen"), QStringLiteral("none")),
                     QStringLiteral("none"));
            QVERIFY(!ini.writeString(QStringLiteral("Option"), QStringLiteral("FileOpen"), QStringLiteral("x")));
        }
    }
};

QTEST_GUILESS_MAIN(tst_IniFile)
#include "tst_IniFile.moc"
