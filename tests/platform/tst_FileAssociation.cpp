#include "platform/FreedesktopFileAssociation.h"

#include <QDirIterator>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

using tamapiko::platform::FreedesktopFileAssociation;
using tamapiko::platform::XdgFolders;

class tst_FileAssociation : public QObject
{
    Q_OBJECT

private:
    XdgFolders folders() const
    {
        return {m_root->filePath(QStringLiteral("data")), {m_root->filePath(QStringLiteral("system"))},
                m_root->filePath(QStringLiteral("config"))};
    }
    QString path(const QString &relative) const { return m_root->filePath(relative); }
    void writeFile(const QString &relative, const QByteArray &bytes)
    {
        const QString full = path(relative);
        QDir().mkpath(QFileInfo(full).absolutePath());
        QFile file(full);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    QByteArray readFile(const QString &relative) const
    {
        QFile file(path(relative));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QStringList filesUnderRoot() const
    {
        QStringList files;
        QDirIterator it(m_root->path(), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            files << it.next().mid(m_root->path().size() + 1);
        files.sort();
        return files;
    }
    void install(const QByteArray &exec = "\"/opt/my apps/たまぴこ/tamapiko\" %f")
    {
        writeFile(QStringLiteral("system/applications/tamapiko.desktop"),
                  "[Desktop Entry]\nType=Application\nName=tamapiko\nExec=" + exec + "\n");
    }

    std::unique_ptr<QTemporaryDir> m_root;

private slots:
    void init() { m_root = std::make_unique<QTemporaryDir>(); }

    void notInstalledTouchesNothing()
    {
        writeFile(QStringLiteral("system/applications/other.desktop"), "[Desktop Entry]\nExec=other\n");
        const QStringList before = filesUnderRoot();
        FreedesktopFileAssociation association(folders());
        QVERIFY(!association.checkAtStartup());
        QVERIFY(association.registeredExePath().isEmpty());
        QVERIFY(!association.associationChecked());
        QVERIFY(!association.rewriteAtExit(0));
        QCOMPARE(filesUnderRoot(), before);
    }

    void firstStartWritesTheAssociation()
    {
        install();
        writeFile(QStringLiteral("config/mimeapps.list"),
                  "[Default Applications]\ntext/plain=editor.desktop\n\n[Added Associations]\nimage/png=viewer.desktop;\n");
        FreedesktopFileAssociation association(folders());
        QVERIFY(association.checkAtStartup());
        QCOMPARE(association.registeredExePath(), QStringLiteral("/opt/my apps/たまぴこ/tamapiko"));
        QVERIFY(association.associationChecked());

        QCOMPARE(association.defaultHandler(), QStringLiteral("tamapiko.desktop"));
        QCOMPARE(readFile(QStringLiteral("config/mimeapps.list")),
                 QByteArray("[Default Applications]\ntext/plain=editor.desktop\napplication/x-moxwp=tamapiko.desktop\n"
                            "\n[Added Associations]\nimage/png=viewer.desktop;\n"));
        QCOMPARE(association.iconOfUserPackage(), QStringLiteral("application-x-moxwp"));
        const QByteArray package = readFile(QStringLiteral("data/mime/packages/application-x-moxwp.xml"));
        QVERIFY(package.contains("<glob pattern=\"*.txm\"/>"));
        QVERIFY(package.contains(QStringLiteral("<comment>MOXぽこぺんﾉｰﾄﾌｧｲﾙ</comment>").toUtf8()));
    }

    void notifyingBuildsTheDatabaseAndTheNextStartWritesNothing()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("update-mime-database")).isEmpty())
            QSKIP("update-mime-database is not installed");
        install();
        FreedesktopFileAssociation first(folders());
        QVERIFY(first.checkAtStartup());
        first.notifyShell();
        QCOMPARE(first.typeOfTxmFiles(), FreedesktopFileAssociation::MimeType);

        const QByteArray package = readFile(QStringLiteral("data/mime/packages/application-x-moxwp.xml"));
        QFile::remove(path(QStringLiteral("config/mimeapps.list")));
        FreedesktopFileAssociation next(folders());
        QVERIFY(!next.checkAtStartup());
        QVERIFY(next.associationChecked());
        QVERIFY(!QFileInfo::exists(path(QStringLiteral("config/mimeapps.list"))));
        QCOMPARE(readFile(QStringLiteral("data/mime/packages/application-x-moxwp.xml")), package);
    }

    void alreadyAssociatedIsRewrittenOnlyAtExitWithRegSaveZero()
    {
        install();
        // Installed system-wide: the system database already maps *.TXM (any case).
        writeFile(QStringLiteral("system/mime/globs2"),
                  "# comment\n50:text/plain:*.txt\n50:application/x-moxwp:*.TXM\n");
        FreedesktopFileAssociation association(folders());
        QVERIFY(!association.checkAtStartup());
        QVERIFY(association.associationChecked());
        QVERIFY(!QFileInfo::exists(path(QStringLiteral("data"))));
        QVERIFY(!QFileInfo::exists(path(QStringLiteral("config"))));

        QVERIFY(!association.rewriteAtExit(1));
        QVERIFY(!association.rewriteAtExit(-1));
        QVERIFY(!QFileInfo::exists(path(QStringLiteral("config"))));

        // The icon entry differs (there was none): the shell is to be told.
        QVERIFY(association.rewriteAtExit(0));
        QCOMPARE(association.defaultHandler(), QStringLiteral("tamapiko.desktop"));
        QCOMPARE(association.iconOfUserPackage(), QStringLiteral("application-x-moxwp"));
        // Written again, but with the same icon: nothing to tell.
        QFile::remove(path(QStringLiteral("config/mimeapps.list")));
        QVERIFY(!association.rewriteAtExit(0));
        QCOMPARE(association.defaultHandler(), QStringLiteral("tamapiko.desktop"));
    }

    void anotherTypeForTxmIsReplaced()
    {
        install();
        writeFile(QStringLiteral("system/mime/globs2"),
                  "50:application/x-moxwp:*.txm:cs\n60:application/x-other:*.txm\n40:application/x-moxwp:*.txm\n");
        FreedesktopFileAssociation association(folders());
        QCOMPARE(association.typeOfTxmFiles(), QStringLiteral("application/x-other"));
        QVERIFY(association.checkAtStartup());
        QVERIFY(QFileInfo::exists(path(QStringLiteral("data/mime/packages/application-x-moxwp.xml"))));
    }

    void unwritableFoldersNeverStopTheProgram()
    {
        install();
        writeFile(QStringLiteral("data"), "a file where the folder should be");
        writeFile(QStringLiteral("config"), "likewise");
        FreedesktopFileAssociation association(folders());
        QVERIFY(!association.checkAtStartup());
        QVERIFY(association.associationChecked());
        association.rewriteAtExit(0);
        association.notifyShell();
        QCOMPARE(readFile(QStringLiteral("config")), QByteArray("likewise"));
    }

    void programPathFollowsTheDesktopEntryRules_data()
    {
        QTest::addColumn<QByteArray>("entry");
        QTest::addColumn<QString>("program");
        QTest::newRow("plain") << QByteArray("Exec=/usr/bin/tamapiko %f") << "/usr/bin/tamapiko";
        QTest::newRow("escaped quote and dollar")
            << QByteArray("Exec=\"/opt/my \\\\\"apps\\\\\" \\\\$x/たま/tamapiko\" %f") << "/opt/my \"apps\" $x/たま/tamapiko";
        QTest::newRow("string escape") << QByteArray("Exec=\"/opt/a\\sb/tamapiko\"") << "/opt/a b/tamapiko";
        QTest::newRow("TryExec first") << QByteArray("TryExec=/opt/t/tamapiko\nExec=other %f") << "/opt/t/tamapiko";
        QTest::newRow("hidden") << QByteArray("Exec=/usr/bin/tamapiko\nHidden=true") << "";
        QTest::newRow("none") << QByteArray("Name=tamapiko") << "";
        QTest::newRow("other group") << QByteArray("[Desktop Action New]\nExec=/usr/bin/tamapiko") << "";
    }
    void programPathFollowsTheDesktopEntryRules()
    {
        QFETCH(QByteArray, entry);
        QFETCH(QString, program);
        writeFile(QStringLiteral("entry.desktop"), "[Desktop Entry]\n" + entry + "\n");
        QCOMPARE(FreedesktopFileAssociation::programOfDesktopEntry(path(QStringLiteral("entry.desktop"))), program);
    }

    void installedPackageMatchesTheWrittenOne()
    {
        QFile installed(QStringLiteral(TAMAPIKO_SOURCE_DIR "/data/application-x-moxwp.xml"));
        QVERIFY(installed.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&installed);
        QStringList found;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == QLatin1String("mime-type"))
                found << xml.attributes().value(QLatin1String("type")).toString();
            else if (xml.name() == QLatin1String("comment"))
                found << xml.readElementText();
            else if (xml.name() == QLatin1String("icon"))
                found << xml.attributes().value(QLatin1String("name")).toString();
            else if (xml.name() == QLatin1String("glob"))
                found << xml.attributes().value(QLatin1String("pattern")).toString();
        }
        QCOMPARE(found, QStringList({FreedesktopFileAssociation::MimeType, FreedesktopFileAssociation::TypeComment,
                                     FreedesktopFileAssociation::TypeIcon, QStringLiteral("*.txm")}));
    }
};

QTEST_GUILESS_MAIN(tst_FileAssociation)
#include "tst_FileAssociation.moc"
