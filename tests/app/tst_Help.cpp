#include "app/Help.h"
#include "platform/DesktopOpener.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class tst_Help : public QObject
{
    Q_OBJECT

private slots:
    void helpFileLiesBesideTheProgram()
    {
        QCOMPARE(helpFilePath(QStringLiteral("/opt/tamapiko/bin")), QStringLiteral("/opt/tamapiko/bin/TPKNHhlp.chm"));
        QCOMPARE(helpFilePath(QStringLiteral("/")), QStringLiteral("/TPKNHhlp.chm"));
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

QTEST_GUILESS_MAIN(tst_Help)
#include "tst_Help.moc"
