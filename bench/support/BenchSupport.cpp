#include "BenchSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <sys/resource.h>

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

QString layoutDocument(const QString &given, const QString &pages, const QString &scratch)
{
    const QString name = QStringLiteral("layout_%1p.rtf").arg(pages);
    if (!given.isEmpty() && QFile::exists(QDir(given).filePath(name)))
        return QDir(given).filePath(name);
    const QString script = QStringLiteral(TAMAPIKO_BENCH_SOURCE_DIR "/gen_layout_doc.py");
    if (QProcess::execute(QStringLiteral("python3"), {script, QStringLiteral("--out"), scratch, pages}) != 0)
        qFatal("%s failed", qPrintable(script));
    return QDir(scratch).filePath(name);
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

namespace {

// CPU of the finished child processes (user and system), milliseconds.
double childrenCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    auto ms = [](const timeval &t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

} // namespace

double processMs(int runs, const QString &program, const QStringList &arguments, double *cpuMs)
{
    std::vector<double> cpu;
    const double wall = medianMs(runs, [&] {
        const double before = childrenCpuMs();
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.setStandardOutputFile(QProcess::nullDevice());
        process.start(program, arguments);
        // A thousand pages take LibreOffice minutes on a busy machine.
        if (!process.waitForFinished(1800000) || process.exitStatus() != QProcess::NormalExit
            || process.exitCode() != 0)
            qFatal("%s failed", qPrintable(program));
        cpu.push_back(childrenCpuMs() - before);
    });
    if (cpuMs) {
        std::sort(cpu.begin(), cpu.end());
        *cpuMs = cpu[cpu.size() / 2];
    }
    return wall;
}

} // namespace tamapiko::bench
