#include "app/OptionSettings.h"
#include "document/DocumentFile.h"
#include "document/DocumentFileTypes.h"
#include "document/DocumentSaving.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace tamapiko::document;

class tst_SavingFileTypes : public QObject
{
    Q_OBJECT

private slots:
    void filterListsTheFiveTypesInOrder()
    {
        QCOMPARE(documentFilter(),
                 QStringLiteral("Microsoft Word (*.doc)|*.doc|MOXぽこぺんﾉｰﾄ (*.txm)|*.txm|ﾘｯﾁﾃｷｽﾄ形式 (*.rtf)|*.rtf|"
                                "HTML ﾌｧｲﾙ (*.htm)|*.htm|ﾃｷｽﾄ文書 (*.txt)|*.txt"));
    }

    void extensionChoosesTheFormat_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("format");     // 0: refused
        QTest::newRow("Txt") << "/home/u/report.Txt" << 1;
        QTest::newRow("TXT") << "report.TXT" << 1;
        QTest::newRow("html") << "page.html" << 4;
        QTest::newRow("HtM") << "page.HtM" << 4;
        QTest::newRow("Rtf") << "letter.Rtf" << 5;
        QTest::newRow("doc") << "a b/c.doc" << 9;
        QTest::newRow("txm") << "/x/ノート.txm" << 3;
        QTest::newRow("last dot counts") << "notes.doc.bak" << 0;
        QTest::newRow("no extension") << "/home/u/README" << 0;
        QTest::newRow("dot in a folder only") << "/home/u/site.txt/notes" << 0;
        QTest::newRow("trailing dot") << "letter." << 0;
        QTest::newRow("full-width letters") << "letter.ｔｘｔ" << 0;
        QTest::newRow("dotless i") << "letter.\u0131xt" << 0;
    }
    void extensionChoosesTheFormat()
    {
        QFETCH(QString, path);
        QFETCH(int, format);
        QCOMPARE(formatForFileName(path).value_or(0), format);
    }

    void saveDialogPresetsFollowTheSettings_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<int>("filterIndex");
        QTest::addColumn<QString>("initialFileName");
        QTest::newRow("no settings") << QByteArray() << 2 << "*.txm";
        QTest::newRow("Word") << QByteArray("FileSave=\"/home/u/My Docs\"\nFileSaveTyp=\"Microsoft Word (*.doc)\"\n")
                              << 1 << "/home/u/My Docs/*.doc";
        QTest::newRow("text, folder with slash") << QByteArray("FileSave=/tmp/\nFileSaveTyp=ﾃｷｽﾄ文書 (*.txt)\n")
                                                 << 5 << "/tmp/*.txt";
        QTest::newRow("HTML") << QByteArray("FileSaveTyp=\"HTML ﾌｧｲﾙ (*.htm)\"\n") << 4 << "*.htm";
        QTest::newRow("RTF") << QByteArray("FileSaveTyp=\"ﾘｯﾁﾃｷｽﾄ形式 (*.rtf)\"\n") << 3 << "*.rtf";
        QTest::newRow("typed type") << QByteArray("FileSaveTyp=\"Word\"\n") << 2 << "*.txm";
    }
    void saveDialogPresetsFollowTheSettings()
    {
        QFETCH(QByteArray, ini);
        QFETCH(int, filterIndex);
        QFETCH(QString, initialFileName);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Option.ini"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Option]\n" + ini);
        file.close();
        setOptionIniPath(path);
        OptionSettings settings;
        const SaveDialogPresets presets = PrepareSaveDialog(settings);
        setOptionIniPath(QString());
        QCOMPARE(presets.filterIndex, filterIndex);
        QCOMPARE(presets.defaultExtension, documentFileTypes().at(filterIndex - 1).defaultExtension);
        QCOMPARE(presets.initialFileName, initialFileName);
    }

    void txmHeaderBytes()
    {
        PageSettingsRecord page;
        page.MarginLeft = page.MarginTop = page.MarginRight = page.MarginBottom = 1440;
        page.PaperHeight = 16838;
        page.PaperWidth = 11900;
        page.PaperIndex = 9;
        page.Reserved = -2;
        const QByteArray expected = QByteArray::fromHex("17000000" "A0050000" "A0050000" "A0050000" "A0050000"
                                                        "C6410000" "7C2E0000" "0900" "FEFF");
        const QByteArray header = encodeTxmHeader(page);
        QCOMPARE(header.toHex(' '), expected.toHex(' '));

        QString error;
        const std::optional<TxmHeader> read = decodeTxmHeader(header + "engine data", &error);
        QVERIFY(read && read->tagged);
        QCOMPARE(read->dataOffset, 32);
        QCOMPARE(encodeTxmHeader(read->page), header);
    }

    void shortOrUntaggedHeaders()
    {
        QString error;
        QVERIFY(!decodeTxmHeader("\x17\0\0", &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!decodeTxmHeader(QByteArray::fromHex("17000000A0050000"), &error));

        const std::optional<TxmHeader> untagged = decodeTxmHeader("\x89TPKDOC\n", &error);
        QVERIFY(untagged && !untagged->tagged);
        QCOMPARE(untagged->dataOffset, 0);

        PageSettingsRecord page;
        page.PaperWidth = 11900;
        page.PaperHeight = 16838;
        QVERIFY(isUsablePage(page));
        page.MarginLeft = 6000;
        page.MarginRight = 5900;
        QVERIFY(!isUsablePage(page));          // no room left for text
        page.MarginRight = 0;
        page.PaperHeight = -1;
        QVERIFY(!isUsablePage(page));
    }
};

QTEST_GUILESS_MAIN(tst_SavingFileTypes)
#include "tst_SavingFileTypes.moc"
