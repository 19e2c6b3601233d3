#include "app/Help.h"
#include "app/TMainForm.h"
#include "document/TMDIChild.h"
#include "platform/DesktopOpener.h"
#include "support/FrameFixture.h"

#include <QMenu>
#include <QRegularExpression>

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class tst_Help : public QObject
{
    Q_OBJECT

private slots:
    void helpFileLiesBesideTheProgramOrInItsShareFolder()
    {
        QCOMPARE(helpFilePath(QStringLiteral("/opt/tamapiko/bin")),
                 QStringLiteral("/opt/tamapiko/bin/TPKNHhlp/index.html"));
        QCOMPARE(helpFilePath(QStringLiteral("/")), QStringLiteral("/TPKNHhlp/index.html"));

        QTemporaryDir prefix;
        const QString bin = prefix.filePath(QStringLiteral("bin"));
        QVERIFY(QDir().mkpath(bin));
        QCOMPARE(installedHelpPath(bin), helpFilePath(bin)); // neither: the desktop says so
        const QString shared = prefix.filePath(QStringLiteral("share/tamapiko/TPKNHhlp/index.html"));
        QVERIFY(QDir().mkpath(QFileInfo(shared).path()));
        QFile(shared).open(QIODevice::WriteOnly);
        QCOMPARE(installedHelpPath(bin), shared);
        QVERIFY(QDir().mkpath(bin + QStringLiteral("/TPKNHhlp")));
        QFile(helpFilePath(bin)).open(QIODevice::WriteOnly);
        QCOMPARE(installedHelpPath(bin), helpFilePath(bin)); // the build's copy comes first
    }

    void guideCoversEveryMenuAndShowsItsPictures()
    {
        const QString guidePath = QStringLiteral(TAMAPIKO_SOURCE_DIR "/data/help/TPKNHhlp/index.html");
        QFile file(guidePath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString guide = QString::fromUtf8(file.readAll());
        QVERIFY(guide.contains(QStringLiteral("<meta charset=\"utf-8\">")));

        // Every menu of the frame and of a document window, and every item,
        // by its caption without the access key and the shortcut text.
        auto frame = tamapiko::test::startFrame();
        const QList<QMenu *> menus = frame->findChildren<QMenu *>();
        const QRegularExpression accessKey(QStringLiteral("[(（]&.[)）]|\\.\\.\\.|Ctrl\\+.|Del$"));
        for (QMenu *menu : std::as_const(menus)) {
            if (menu->objectName().isEmpty()) // Qt's own, such as a window's system menu
                continue;
            QStringList captions{menu->title()};
            for (QAction *item : menu->actions())
                captions << item->text();
            for (QString caption : std::as_const(captions)) {
                caption = caption.remove(accessKey).trimmed();
                caption.remove(QRegularExpression(QStringLiteral("[ 　]+$")));
                if (caption.isEmpty() || caption.startsWith(u'&')) // separators, the window list
                    continue;
                // Undo and redo show what they would do, the guide their names.
                if (caption == QStringLiteral("元に戻せません") || caption == QStringLiteral("やり直せません"))
                    continue;
                QVERIFY2(guide.contains(caption), qPrintable(caption));
            }
        }

        const QRegularExpression picture(QStringLiteral("<img src=\"([^\"]+)\""));
        int pictures = 0;
        for (auto it = picture.globalMatch(guide); it.hasNext(); ++pictures) {
            const QString source = it.next().captured(1);
            QVERIFY2(QFileInfo::exists(QFileInfo(guidePath).dir().filePath(source)), qPrintable(source));
        }
        QVERIFY(pictures >= 10);
    }

    void helpMenuOpensTheGuideWithTheDesktop()
    {
        QTemporaryDir bin;
        const QString record = bin.filePath(QStringLiteral("arguments"));
        QFile opener(bin.filePath(QStringLiteral("xdg-open")));
        QVERIFY(opener.open(QIODevice::WriteOnly));
        opener.write("#!/bin/sh\nprintf '%s\\n' \"$1\" > \"" + record.toUtf8() + ".tmp\"\n/bin/mv \""
                     + record.toUtf8() + ".tmp\" \"" + record.toUtf8() + "\"\n");
        opener.close();
        opener.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(bin.path()));

        auto frame = tamapiko::test::startFrame();
        const bool chosen = tamapiko::test::chooseMenuItem(frame.get(), QStringLiteral("ﾍﾙﾌﾟ(&H)"),
                                                           QStringLiteral("ヘルプ"));
        qputenv("PATH", oldPath);
        QVERIFY(chosen);
        QTRY_VERIFY(QFileInfo::exists(record));
        QFile recorded(record);
        QVERIFY(recorded.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(recorded.readAll()),
                 installedHelpPath(QCoreApplication::applicationDirPath()) + QLatin1Char('\n'));
    }

    void openerGetsThePathAsOneArgument()
    {
        // A stand-in opener that records each argument on a line of its own.
        QTemporaryDir bin;
        const QString record = bin.filePath(QStringLiteral("arguments"));
        QFile opener(bin.filePath(QStringLiteral("xdg-open")));
        QVERIFY(opener.open(QIODevice::WriteOnly));
        opener.write("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"" + record.toUtf8()
                     + ".tmp\"\n/bin/mv \"" + record.toUtf8() + ".tmp\" \"" + record.toUtf8() + "\"\n");
        opener.close();
        opener.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(bin.path()));

        const QString help = helpFilePath(QStringLiteral("/opt/my \"apps\" $HOME/たまぴこ 2"));
        const bool started = tamapiko::platform::ShellOpenFile(help);
        qputenv("PATH", oldPath);
        QVERIFY(started);
        QTRY_VERIFY(QFileInfo::exists(record));
        QFile recorded(record);
        QVERIFY(recorded.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(recorded.readAll()), help + QLatin1Char('\n'));
    }

    void missingOpenerIsNoError()
    {
        QTemporaryDir empty;
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(empty.path()));
        const bool started = tamapiko::platform::ShellOpenFile(QStringLiteral("/nowhere/TPKNHhlp.chm"));
        qputenv("PATH", oldPath);
        QVERIFY(!started);
    }
};

QTEST_MAIN(tst_Help)
#include "tst_Help.moc"
