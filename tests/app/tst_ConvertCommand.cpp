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

    QTemporaryDir m_dir;

private slots:
    void refusesBadCommandLines()
    {
        QString message;
        QCOMPARE(convert({QStringLiteral("only-one.txt")}, &message), 2);
        QVERIFY(message.startsWith(QStringLiteral("usage: tamapiko --convert IN OUT")));
        QCOMPARE(convert({QStringLiteral("in.txt"), QStringLiteral("out.odt")}, &message), 2);
        QVERIFY(message.contains(QStringLiteral("out.odt")));
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

    void convertsWithoutADisplay()
    {
        TAMAPIKO_REQUIRE_ENGINE();
        const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/../src/tamapiko");
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
