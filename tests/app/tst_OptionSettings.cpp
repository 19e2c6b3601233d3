#include "app/OptionSettings.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class tst_OptionSettings : public QObject
{
    Q_OBJECT

private:
    QString iniPath() const { return m_dir.filePath(QStringLiteral("Option.ini")); }
    void writeIni(const QByteArray &bytes)
    {
        QFile file(iniPath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    QByteArray readIni() const
    {
        QFile file(iniPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir m_dir;

private slots:
    void init()
    {
        QFile::remove(iniPath());
        setOptionIniPath(iniPath());
    }
    void cleanupTestCase() { setOptionIniPath(QString()); }

    void missingFileKeepsTextsAndZeroesIntegers()
    {
        OptionSettings fresh;
        IniOption(fresh);
        QVERIFY(fresh.FileOpen.isEmpty() && fresh.FileImageTyp.isEmpty());
        QCOMPARE(fresh.RegSave, 0);
        QCOMPARE(fresh.PictINS, 0);

        OptionSettings earlier;
        earlier.FileSave = QStringLiteral("/home/user");
        earlier.RegSave = 1;
        earlier.PictINS = 1;
        IniOption(earlier);
        QCOMPARE(earlier.FileSave, QStringLiteral("/home/user"));
        QCOMPARE(earlier.RegSave, 0);
        QCOMPARE(earlier.PictINS, 0);
    }

    void readsTheValuesAsTheWindowsProgramWroteThem()
    {
        writeIni("[Option]\r\n"
                 "FileOpen=ERROR\r\n"
                 "FileSave=\"C:\\My Documents\\\"\r\n"
                 "FileSaveTyp=\"ﾃｷｽﾄ文書 (*.txt)\"\r\n"
                 "FileIN=\"\"\r\n"
                 "RegSave=0x1\r\n"
                 "PictINS=link\r\n");
        OptionSettings settings;
        settings.FileOpen = QStringLiteral("previous");
        settings.FileIN = QStringLiteral("previous");
        settings.FileImage = QStringLiteral("previous");
        IniOption(settings);
        QCOMPARE(settings.FileOpen, QStringLiteral("previous"));          // the text ERROR
        QCOMPARE(settings.FileImage, QStringLiteral("previous"));         // missing key
        QCOMPARE(settings.FileIN, QString());                             // an empty text is a value
        QCOMPARE(settings.FileSave, QStringLiteral("C:\\My Documents\\"));
        QCOMPARE(settings.FileSaveTyp, QStringLiteral("ﾃｷｽﾄ文書 (*.txt)"));
        QCOMPARE(settings.RegSave, 1);
        QCOMPARE(settings.PictINS, 0);
    }

    void firstWriteQuotesEveryTextAndRoundTrips()
    {
        OptionSettings values;
        values.RegSave = -1;
        QString error;
        QVERIFY(WriteOptionIni(values, &error));
        QCOMPARE(readIni(), QByteArray("[Option]\nFileOpen=\"\"\nFileOpenTyp=\"\"\nFileSave=\"\"\nFileSaveTyp=\"\"\n"
                                       "FileIN=\"\"\nFileINTyp=\"\"\nFileImage=\"\"\nFileImageTyp=\"\"\n"
                                       "RegSave=-1\nPictINS=0\n"));

        values.FileOpen = QStringLiteral("/home/user/My Documents");
        values.FileImage = QStringLiteral(" \"quoted\" ");
        values.FileImageTyp = QStringLiteral("JPEG 形式 (*.jpg)");
        values.RegSave = 1;
        values.PictINS = 1;
        QVERIFY(WriteOptionIni(values, &error));
        OptionSettings read;
        read.FileSave = QStringLiteral("overwritten by the empty text");
        IniOption(read);
        QCOMPARE(read.FileOpen, values.FileOpen);
        QCOMPARE(read.FileImage, values.FileImage);
        QCOMPARE(read.FileImageTyp, values.FileImageTyp);
        QCOMPARE(read.FileSave, QString());
        QCOMPARE(read.RegSave, 1);
        QCOMPARE(read.PictINS, 1);
    }

    void failedWriteNamesTheFileAndStops()
    {
        writeIni("[Option]\nFileOpen=\"kept\"\n");
        OptionSettings values;
        values.FileOpen = QStringLiteral("written");
        values.FileSave = QStringLiteral("line\nbreak");      // no INI line can hold it
        QString error;
        QVERIFY(!WriteOptionIni(values, &error));
        QCOMPARE(error, iniPath() + QStringLiteral(" に書き込めません"));
        const QByteArray after = readIni();
        QVERIFY(after.contains("FileOpen=\"written\""));
        QVERIFY(after.contains("FileOpenTyp=\"\""));
        QVERIFY(!after.contains("FileSave"));
        QVERIFY(!after.contains("RegSave"));

        setOptionIniPath(iniPath() + QStringLiteral("/below-a-file.ini"));
        QVERIFY(!WriteOptionIni(OptionSettings(), &error));
        QVERIFY(error.endsWith(QStringLiteral("below-a-file.ini に書き込めません")));
    }
};

QTEST_GUILESS_MAIN(tst_OptionSettings)
#include "tst_OptionSettings.moc"
