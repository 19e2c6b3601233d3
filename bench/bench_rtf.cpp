// Reads and writes the 1,000-page synthetic RTF document (Japanese and
// English, Shift-JIS \'xx and \uN runs, formatting, tables) and compares
// whole-process conversions with LibreOffice on the same file.
//
//   bench_rtf [--runs N] [--pages N] [DIR]   DIR holds synth_<N>p.rtf from
//                                            gen_docs.py (generated if absent)
//   bench_rtf --convert IN OUT               one conversion, as a process (used
//                                            when tamapiko itself is not built)
//   bench_rtf --in-process ...               only the in-process medians
//
// The whole-process side runs `tamapiko --convert IN OUT` (or our own
// --convert): start, load through the RTF filter, save, exit, as
// `soffice --headless --convert-to` does.

#include "BenchSupport.h"
#include "engine/DocumentModel.h"
#include "engine/formats/DocumentFilter.h"

#include <QBuffer>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextDocument>

#include <algorithm>
#include <time.h>
#include <vector>
#include <cstdio>
#include <functional>

using namespace tamapiko::engine;

using tamapiko::bench::documentsFolder;
using tamapiko::bench::medianMs;
using tamapiko::bench::processMs;

namespace {


int convert(const QString &in, const QString &out)
{
    DocumentFilter *reader = FilterRegistry::instance().filter(FormatCode::Rtf);
    DocumentFilter *writer = FilterRegistry::instance().filter(out.endsWith(QLatin1String(".txt")) ? FormatCode::Text : FormatCode::Rtf);
    if (!reader || !writer) {
        std::fprintf(stderr, "filter missing\n");
        return 2;
    }
    QFile source(in);
    QFile target(out);
    if (!source.open(QIODevice::ReadOnly) || !target.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "cannot open %s or %s\n", qPrintable(in), qPrintable(out));
        return 2;
    }
    DocumentModel model;
    QString error;
    if (!reader->read(source, model, {in}, &error) || !writer->write(target, model, {out}, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    return 0;
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
    parser.addOption({QStringLiteral("convert"), QStringLiteral("convert one file and exit")});
    parser.addOption({QStringLiteral("in-process"), QStringLiteral("skip the whole-process comparison")});
    parser.addPositionalArgument(QStringLiteral("dir"), QStringLiteral("folder with the generated documents"));
    parser.process(app);
    if (parser.isSet(QStringLiteral("convert"))) {
        const QStringList files = parser.positionalArguments();
        if (files.size() != 2)
            qFatal("--convert needs IN and OUT");
        return convert(files.at(0), files.at(1));
    }

    const int runs = qMax(1, parser.value(QStringLiteral("runs")).toInt());
    const QString pages = parser.value(QStringLiteral("pages"));
    QTemporaryDir temporary;
    const QString dir = documentsFolder(parser.positionalArguments().value(0), pages, temporary.path());
    const QString input = QDir(dir).filePath(QStringLiteral("synth_%1p.rtf").arg(pages));
    QFile file(input);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(input));
    const QByteArray source = file.readAll();
    DocumentFilter *rtf = FilterRegistry::instance().filter(FormatCode::Rtf);

    std::printf("%s pages (%lld bytes of RTF), %d runs each, median milliseconds\n", qPrintable(pages),
                qlonglong(source.size()), runs);
    DocumentModel model;
    // CPU time of this thread beside the wall clock: the machine may be busy.
    std::vector<double> readCpu, writeCpu;
    auto cpuOf = [](std::vector<double> &samples, const std::function<void()> &work) {
        return [&samples, work] {
            timespec start{}, end{};
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
            work();
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
            samples.push_back((end.tv_sec - start.tv_sec) * 1e3 + (end.tv_nsec - start.tv_nsec) / 1e6);
        };
    };
    auto median = [](std::vector<double> samples) {
        std::sort(samples.begin(), samples.end());
        return samples.empty() ? 0.0 : samples[samples.size() / 2];
    };
    const double readMs = medianMs(runs, cpuOf(readCpu, [&] {
        QBuffer buffer;
        buffer.setData(source);
        buffer.open(QIODevice::ReadOnly);
        QString error;
        if (!rtf->read(buffer, model, {}, &error))
            qFatal("read failed: %s", qPrintable(error));
    }));
    QByteArray written;
    const double writeMs = medianMs(runs, cpuOf(writeCpu, [&] {
        QBuffer buffer(&written);
        buffer.open(QIODevice::WriteOnly);
        QString error;
        if (!rtf->write(buffer, model, {}, &error))
            qFatal("write failed: %s", qPrintable(error));
    }));
    // On a busy machine the least CPU of the runs is the steadiest figure:
    // other programs only ever add to it.
    auto least = [](const std::vector<double> &samples) {
        return samples.empty() ? 0.0 : *std::min_element(samples.begin(), samples.end());
    };
    std::printf("in process, wall / CPU: read %9.1f / %7.1f   write %9.1f / %7.1f   (%d characters, %d "
                "paragraphs, %lld bytes written)\n",
                readMs, median(readCpu), writeMs, median(writeCpu), model.document()->characterCount(),
                model.document()->blockCount(), qlonglong(written.size()));
    std::printf("least CPU of the runs: read %7.1f   write %7.1f\n", least(readCpu), least(writeCpu));

    if (parser.isSet(QStringLiteral("in-process")))
        return 0;
    // The program's own --convert when it is built beside us, else ours.
    QString converter = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../src/tamapiko"));
    if (!QFileInfo(converter).isExecutable())
        converter = QCoreApplication::applicationFilePath();
    std::printf("whole process: %s --convert against soffice --headless --convert-to\n", qPrintable(converter));
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    QTemporaryDir out;
    for (const QString &kind : {QStringLiteral("rtf"), QStringLiteral("txt")}) {
        const QString target = out.filePath(QStringLiteral("ours.") + kind);
        double oursCpu = 0;
        const double ours = processMs(runs, converter, {QStringLiteral("--convert"), input, target}, &oursCpu);
        std::printf("whole process to %s, wall / CPU: tamapiko %9.1f / %7.1f", qPrintable(kind), ours, oursCpu);
        if (soffice.isEmpty()) {
            std::printf("   (soffice not installed)\n");
            continue;
        }
        const QString profile = QUrl::fromLocalFile(out.filePath(QStringLiteral("profile"))).toString();
        const QString filter = kind == QLatin1String("txt") ? QStringLiteral("txt:Text (encoded):UTF8") : kind;
        double theirsCpu = 0;
        const double theirs = processMs(runs, soffice,
                                        {QStringLiteral("-env:UserInstallation=") + profile, QStringLiteral("--headless"),
                                         QStringLiteral("--convert-to"), filter, QStringLiteral("--outdir"),
                                         out.filePath(QStringLiteral("lo")), input},
                                        &theirsCpu);
        std::printf("   soffice %9.1f / %7.1f   ratio %.1fx (CPU %.1fx)\n", theirs, theirsCpu, theirs / ours,
                    theirsCpu / std::max(1.0, oursCpu));
    }
    return 0;
}
