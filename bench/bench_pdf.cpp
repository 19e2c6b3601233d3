// The 1,000-page synthetic document to PDF, whole process: the program's
// `tamapiko --convert IN out.pdf` against `soffice --headless --convert-to
// pdf` on the same file, with the sizes of both PDFs.
//
//   bench_pdf [--runs N] [--pages N] [--input rtf|html|txt] [DIR]
//                                 DIR holds synth_<N>p.* from gen_docs.py
//                                 (generated when absent)

#include "BenchSupport.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <vector>

using tamapiko::bench::documentsFolder;
using tamapiko::bench::processMs;

namespace {

QString pdfPages(const QString &path)
{
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {path});
    if (!info.waitForFinished())
        return QStringLiteral("?");
    for (const QByteArray &line : info.readAllStandardOutput().split('\n')) {
        if (line.startsWith("Pages:"))
            return QString::fromLatin1(line.mid(6).trimmed());
    }
    return QStringLiteral("?");
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("runs"), QStringLiteral("runs per measurement"), QStringLiteral("N"), QStringLiteral("3")});
    parser.addOption({QStringLiteral("pages"), QStringLiteral("document size"), QStringLiteral("N"), QStringLiteral("1000")});
    parser.addOption({QStringLiteral("input"), QStringLiteral("input kind"), QStringLiteral("rtf|html|txt"), QStringLiteral("rtf")});
    parser.addPositionalArgument(QStringLiteral("dir"), QStringLiteral("folder with the generated documents"));
    parser.process(app);

    const int runs = qMax(1, parser.value(QStringLiteral("runs")).toInt());
    const QString pages = parser.value(QStringLiteral("pages"));
    QTemporaryDir temporary;
    const QString dir = documentsFolder(parser.positionalArguments().value(0), pages, temporary.path());
    const QString input = QDir(dir).filePath(QStringLiteral("synth_%1p.%2").arg(pages, parser.value(QStringLiteral("input"))));
    if (!QFileInfo::exists(input))
        qFatal("no %s", qPrintable(input));

    const QString program = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../src/tamapiko"));
    if (!QFileInfo(program).isExecutable())
        qFatal("build the program first: %s", qPrintable(program));
    QTemporaryDir out;
    const QString ours = out.filePath(QStringLiteral("ours.pdf"));
    std::printf("%s (%lld bytes), %d runs each, median milliseconds, whole process\n",
                qPrintable(QFileInfo(input).fileName()), qlonglong(QFileInfo(input).size()), runs);
    double oursCpu = 0;
    const double oursMs = processMs(runs, program, {QStringLiteral("--convert"), input, ours}, &oursCpu);
    std::printf("tamapiko --convert   %9.1f ms (CPU %9.1f)   %9lld bytes   %s pages\n", oursMs, oursCpu,
                qlonglong(QFileInfo(ours).size()), qPrintable(pdfPages(ours)));

    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty()) {
        std::printf("soffice not installed: no comparison\n");
        return 0;
    }
    const QString profile = QUrl::fromLocalFile(out.filePath(QStringLiteral("profile"))).toString();
    const QString theirsDir = out.filePath(QStringLiteral("lo"));
    double theirsCpu = 0;
    const double theirsMs = processMs(runs, soffice,
                                      {QStringLiteral("-env:UserInstallation=") + profile, QStringLiteral("--headless"),
                                       QStringLiteral("--convert-to"), QStringLiteral("pdf"), QStringLiteral("--outdir"),
                                       theirsDir, input},
                                      &theirsCpu);
    const QString theirs = QDir(theirsDir).filePath(QFileInfo(input).completeBaseName() + QStringLiteral(".pdf"));
    std::printf("soffice --convert-to %9.1f ms (CPU %9.1f)   %9lld bytes   %s pages\n", theirsMs, theirsCpu,
                qlonglong(QFileInfo(theirs).size()), qPrintable(pdfPages(theirs)));
    std::printf("ratio: %.1fx faster (CPU %.1fx), %.2f of LibreOffice's size\n", theirsMs / oursMs,
                theirsCpu / std::max(1.0, oursCpu),
                double(QFileInfo(ours).size()) / double(qMax<qint64>(1, QFileInfo(theirs).size())));
    return 0;
}
