#include "BenchSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <algorithm>
#include <vector>

namespace tamapiko::bench {

QString findGenerator()
{
    for (QDir dir(QCoreApplication::applicationDirPath()); !dir.isRoot(); dir.cdUp()) {
        const QString script = dir.filePath(QStringLiteral("shared/bench/gen_docs.py"));
        if (QFile::exists(script))
            return script;
    }
    return QString();
}

QString documentsFolder(const QString &given, const QString &pages, const QString &scratch)
{
    if (!given.isEmpty())
        return given;
    const QString script = findGenerator();
    if (script.isEmpty())
        qFatal("no documents given and gen_docs.py not found; pass the folder of generated documents");
    if (QProcess::execute(QStringLiteral("python3"), {script, QStringLiteral("--out"), scratch, pages}) != 0)
        qFatal("gen_docs.py failed");
    return scratch;
}

double medianMs(int runs, const std::function<void()> &work, const std::function<void()> &reset)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(timer.nsecsElapsed() / 1e6);
        if (reset)
            reset();
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

double processMs(int runs, const QString &program, const QStringList &arguments)
{
    return medianMs(runs, [&] {
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.setStandardOutputFile(QProcess::nullDevice());
        process.start(program, arguments);
        if (!process.waitForFinished(600000) || process.exitCode() != 0)
            qFatal("%s failed", qPrintable(program));
    });
}

} // namespace tamapiko::bench
