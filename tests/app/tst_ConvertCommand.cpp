#include "app/ConvertCommand.h"
#include "support/FrameFixture.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

class tst_ConvertCommand : public QObject
{
    Q_OBJECT

private:
    int convert(const QStringList &arguments, QString *message)
    {
        message->clear();
        QTextStream errors(message);
        const int status = runConvertCommand(arguments, errors);
        errors.flush();
        return status;
    }

    QString program() const
    {
        return QCoreApplication::applicationDirPath() + QStringLiteral("/../src/tamapiko");
    }

    // Runs `script` as root of a private mount namespace, where it may mount
    // a small file system; empty when this machine allows no such thing.
    QString runWithOwnMounts(const QString &script, const QStringList &arguments)
    {
        for (const QString &how : {QStringLiteral("-rm"), QStringLiteral("-m")}) {
            QProcess probe;
            probe.start(QStringLiteral("unshare"), {how, QStringLiteral("sh"), QStringLiteral("-c"),
                                                   QStringLiteral("mount -t tmpfs -o size=64k tmpfs \"$1\""),
                                                   QStringLiteral("sh"), m_dir.path()});
            if (!probe.waitForFinished(30000) || probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0)
                continue;
            QProcess run;
            run.start(QStringLiteral("unshare"),
                      QStringList{how, QStringLiteral("sh"), QStringLiteral("-c"), script, QStringLiteral("sh")}
                          + arguments);
            run.waitForFinished(120000);
            return QString::fromLocal8Bit(run.readAllStandardOutput());
        }
        return QString();
    }

    QTemporaryDir m_dir;

private slots:
    void refusesBadCommandLines()
    {
        QString message;
        QCOMPARE(convert({QStringLiteral("only-one.txt")}, &message), 2);
        QVERIFY(message.startsWith(QStringLiteral("usage: tamapiko --convert IN OUT")));
        QCOMPARE(convert({QStringLiteral("in.txt"), QStringLiteral("out.pdf")}, &message), 2);
        QVERIFY(message.contains(QStringLiteral("out.pdf")));
        QCOMPARE(message.count(u'\n'), 1);
        QCOMPARE(convert({QStringLiteral("in.doc.bak"), QStringLiteral("out.txt")}, &message), 2);
        QVERIFY(!QFileInfo::exists(QStringLiteral("out.txt")));
    }

    void reportsFilesThatCannotBeRead()
    {
        QString message;
        const QString shortTxm = m_dir.filePath(QStringLiteral("short.txm"));
        QFile file(shortTxm);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("\x17\0", 2);
        file.close();
        const QString out = m_dir.filePath(QStringLiteral("out.rtf"));
        QCOMPARE(convert({shortTxm, out}, &message), 1);
        QVERIFY(message.startsWith(QStringLiteral("tamapiko: cannot open ") + shortTxm + QStringLiteral(": ")));
        QCOMPARE(message.count(u'\n'), 1);
        QVERIFY(!QFileInfo::exists(out));
    }

    void fullDiskLeavesTheOldFileAndSaysSo_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("rtf") << QStringLiteral("doc.rtf");
        QTest::newRow("txm, where only the header would fit") << QStringLiteral("doc.txm");
    }
    void fullDiskLeavesTheOldFileAndSaysSo()
    {
        TAMAPIKO_REQUIRE_ENGINE();
        QFETCH(QString, target);
        if (!QFileInfo(program()).isExecutable())
            QSKIP("the program is not built beside the tests");
        const QString input = m_dir.filePath(QStringLiteral("other.txt"));
        const QString old = m_dir.filePath(QStringLiteral("old-") + target);
        QFile in(input);
        QVERIFY(in.open(QIODevice::WriteOnly));
        in.write(QStringLiteral("新しい本文。").repeated(200).toUtf8());
        in.close();
        // An existing document of the target's type, made by the program itself.
        QString message;
        QCOMPARE(convert({input, old}, &message), 0);
        const QString mountPoint = m_dir.filePath(QStringLiteral("disk"));
        QDir().mkpath(mountPoint);

        // On a 1 MB file system holding the old file, filled to the last byte.
        const QString script = QStringLiteral(
            "mount -t tmpfs -o size=1m tmpfs \"$1\" && cd \"$1\" && cp \"$3\" \"$4\" || exit 99\n"
            "head -c 2000000 /dev/zero > fill 2>/dev/null\n"
            // (the messages go beside the full disk, where they fit)
            "\"$5\" --convert \"$2\" \"$4\" 2>../errors\n"
            "echo \"exit=$?\"\n"
            "cmp -s \"$3\" \"$4\" && echo unchanged\n"
            "echo \"lines=$(wc -l < ../errors)\"\n"
            "cat ../errors\n"
            "ls -A | grep -v -x -e fill -e \"$4\"\n");
        const QString output = runWithOwnMounts(script, {mountPoint, input, old, target, program()});
        if (output.isEmpty())
            QSKIP("this machine does not allow mounting a small file system");
        QVERIFY2(output.startsWith(QStringLiteral("exit=1\nunchanged\nlines=1\n")), qPrintable(output));
        QVERIFY2(output.contains(target + QStringLiteral(": No space left on device\n")), qPrintable(output));
        // Nothing left beside it.
        QVERIFY2(output.endsWith(QStringLiteral("No space left on device\n")), qPrintable(output));
    }

    void convertsWithoutADisplay()
    {
        TAMAPIKO_REQUIRE_ENGINE();
        const QString program = this->program();
        if (!QFileInfo(program).isExecutable())
            QSKIP("the program is not built beside the tests");
        const QString input = m_dir.filePath(QStringLiteral("手紙 1.txt"));
        QFile file(input);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("拝啓\n元気です。\n");
        file.close();

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        const QString txm = m_dir.filePath(QStringLiteral("手紙 1.txm"));
        const QString back = m_dir.filePath(QStringLiteral("back.TXT"));
        for (const QStringList &step : {QStringList{input, txm}, QStringList{txm, back}}) {
            QProcess process;
            process.setProcessEnvironment(environment);
            process.start(program, QStringList{QStringLiteral("--convert")} + step);
            QVERIFY(process.waitForFinished(60000));
            QCOMPARE(process.exitStatus(), QProcess::NormalExit);
            QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());
        }
        QFile header(txm);
        QVERIFY(header.open(QIODevice::ReadOnly));
        QVERIFY(header.read(4) == QByteArray("\x17\0\0\0", 4));
        QFile result(back);
        QVERIFY(result.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromUtf8(result.readAll()).contains(QStringLiteral("元気です。")));
    }
};

QTEST_MAIN(tst_ConvertCommand)
#include "tst_ConvertCommand.moc"
