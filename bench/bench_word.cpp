// Reads and writes the 1,000-page synthetic document as a Word file (made
// from gen_docs.py's RTF by LibreOffice, once, beside the RTF) and compares
// whole-process conversions with LibreOffice and antiword on the same file.
//
//   bench_word [--runs N] [--pages N] [DIR]   DIR holds synth_<N>p.rtf (and
//                                             synth_<N>p.doc once made)
//   bench_word --in-process ...               only the in-process medians
//
// The whole-process side runs `tamapiko --convert IN OUT`: start, load
// through the Word filter, save, exit, as `soffice --headless --convert-to`
// and `antiword` do.

#include "BenchSupport.h"
#include "engine/DocumentModel.h"
#include "engine/formats/DocumentFilter.h"

#include <QBuffer>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QUrl>

#include <cstdio>

#include <sys/resource.h>

using namespace tamapiko::engine;

using tamapiko::bench::documentsFolder;
using tamapiko::bench::medianMs;
using tamapiko::bench::processMs;

namespace {

constexpr int kWord = 9;

QStringList sofficeArguments(const QString &profileDir, const QString &filter, const QString &outDir,
                             const QString &input)
{
    return {QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(profileDir).toString(),
            QStringLiteral("--headless"), QStringLiteral("--convert-to"), filter, QStringLiteral("--outdir"), outDir,
            input};
}

// CPU time (user and system) that finished child processes used so far,
// in milliseconds: on a shared machine it says more than the wall clock.
double childCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

struct ProcessTime
{
    double wallMs;
    double cpuMs; // mean over the runs
};

ProcessTime timeProcess(int runs, const QString &program, const QStringList &arguments)
{
    const double cpuBefore = childCpuMs();
    const double wall = processMs(runs, program, arguments);
    return {wall, (childCpuMs() - cpuBefore) / runs};
}

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()).section(QLatin1Char(' '), 0, 2)
                                          : QStringLiteral("?");
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("runs"), QStringLiteral("runs per measurement"), QStringLiteral("N"), QStringLiteral("5")});
    parser.addOption({QStringLiteral("pages"), QStringLiteral("document size"), QStringLiteral("N"), QStringLiteral("1000")});
    parser.addOption({QStringLiteral("in-process"), QStringLiteral("skip the whole-process comparison")});
    parser.addPositionalArgument(QStringLiteral("dir"), QStringLiteral("folder with the generated documents"));
    parser.process(app);

    const int runs = qMax(1, parser.value(QStringLiteral("runs")).toInt());
    const QString pages = parser.value(QStringLiteral("pages"));
    QTemporaryDir temporary;
    const QString dir = documentsFolder(parser.positionalArguments().value(0), pages, temporary.path());
    const QString stem = QDir(dir).filePath(QStringLiteral("synth_%1p").arg(pages));
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    const QString antiword = QStandardPaths::findExecutable(QStringLiteral("antiword"));
    QTemporaryDir out;
    const QString profile = out.filePath(QStringLiteral("profile"));

    const QString input = stem + QLatin1String(".doc");
    if (!QFileInfo::exists(input)) {
        if (soffice.isEmpty())
            qFatal("%s is missing and soffice is not installed to make it", qPrintable(input));
        std::printf("making %s with soffice\n", qPrintable(input));
        QProcess make;
        make.start(soffice, sofficeArguments(profile, QStringLiteral("doc"), dir, stem + QLatin1String(".rtf")));
        if (!make.waitForFinished(1800000) || !QFileInfo::exists(input))
            qFatal("soffice could not make %s", qPrintable(input));
    }
    QFile file(input);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(input));
    const QByteArray source = file.readAll();
    DocumentFilter *word = FilterRegistry::instance().filter(kWord);

    std::printf("%s pages (%lld bytes of .doc), %d runs each, median milliseconds\n", qPrintable(pages),
                qlonglong(source.size()), runs);
    DocumentModel model;
    const double readMs = medianMs(runs, [&] {
        QBuffer buffer;
        buffer.setData(source);
        buffer.open(QIODevice::ReadOnly);
        QString error;
        if (!word->read(buffer, model, {}, &error))
            qFatal("read failed: %s", qPrintable(error));
    });
    QByteArray written;
    const double writeMs = medianMs(runs, [&] {
        QBuffer buffer(&written);
        buffer.open(QIODevice::WriteOnly);
        QString error;
        if (!word->write(buffer, model, {}, &error))
            qFatal("write failed: %s", qPrintable(error));
    });
    std::printf("in process: read %9.1f   write %9.1f   (%d characters, %d paragraphs, %lld bytes written)\n",
                readMs, writeMs, model.document()->characterCount(), model.document()->blockCount(),
                qlonglong(written.size()));
    if (parser.isSet(QStringLiteral("in-process")))
        return 0;

    const QString converter = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../src/tamapiko"));
    if (!QFileInfo(converter).isExecutable())
        qFatal("%s is not built", qPrintable(converter));
    std::printf("whole process: median wall ms / mean CPU ms; load average %s\n", qPrintable(loadAverage()));
    for (const QString &kind : {QStringLiteral("txt"), QStringLiteral("rtf"), QStringLiteral("doc")}) {
        const QString target = out.filePath(QStringLiteral("ours.") + kind);
        const ProcessTime ours = timeProcess(runs, converter, {QStringLiteral("--convert"), input, target});
        std::printf(".doc to %s: tamapiko %8.1f / %8.1f", qPrintable(kind), ours.wallMs, ours.cpuMs);
        if (!soffice.isEmpty()) {
            const QString filter = kind == QLatin1String("txt") ? QStringLiteral("txt:Text (encoded):UTF8") : kind;
            const ProcessTime theirs = timeProcess(
                runs, soffice, sofficeArguments(profile, filter, out.filePath(QStringLiteral("lo")), input));
            std::printf("   soffice %8.1f / %8.1f (%.1fx wall, %.1fx CPU)", theirs.wallMs, theirs.cpuMs,
                        theirs.wallMs / ours.wallMs, theirs.cpuMs / ours.cpuMs);
        }
        if (kind == QLatin1String("txt") && !antiword.isEmpty()) {
            const ProcessTime theirs = timeProcess(runs, antiword, {QStringLiteral("-w"), QStringLiteral("0"), input});
            std::printf("   antiword %8.1f / %8.1f (%.2fx wall, %.2fx CPU)", theirs.wallMs, theirs.cpuMs,
                        theirs.wallMs / ours.wallMs, theirs.cpuMs / ours.cpuMs);
        }
        std::printf("\n");
    }
    std::printf("load average at the end %s\n", qPrintable(loadAverage()));
    return 0;
}
