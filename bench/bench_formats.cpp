// Loads and saves the 1,000-page synthetic document in plain text, HTML and
// the native format, and prints the median time of each.
//
//   bench_formats [--runs N] [--pages N] [DIR]
// DIR holds synth_<N>p.html and .txt from gen_docs.py; without it the
// script is looked for in a "shared/bench" folder above the program and run
// into a temporary folder.

#include "BenchSupport.h"
#include "engine/DocumentModel.h"
#include "engine/formats/DocumentFilter.h"

#include <QBuffer>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextDocument>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace tamapiko::engine;

using tamapiko::bench::documentsFolder;
using tamapiko::bench::medianMs;

namespace {

QByteArray save(DocumentFilter *filter, const DocumentModel &model, const QString &fileName)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QString error;
    if (!filter->write(buffer, model, {fileName}, &error))
        qFatal("%s: save failed: %s", qPrintable(filter->name()), qPrintable(error));
    return bytes;
}

void load(DocumentFilter *filter, const QByteArray &bytes, DocumentModel &model, const QString &fileName)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QString error;
    if (!filter->read(buffer, model, {fileName}, &error))
        qFatal("%s: load failed: %s", qPrintable(filter->name()), qPrintable(error));
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    return file.readAll();
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("runs"), QStringLiteral("runs per measurement"), QStringLiteral("N"), QStringLiteral("5")});
    parser.addOption({QStringLiteral("pages"), QStringLiteral("document size"), QStringLiteral("N"), QStringLiteral("1000")});
    parser.addPositionalArgument(QStringLiteral("dir"), QStringLiteral("folder with the generated documents"));
    parser.process(app);
    const int runs = qMax(1, parser.value(QStringLiteral("runs")).toInt());
    const QString pages = parser.value(QStringLiteral("pages"));

    QTemporaryDir temporary;
    const QString dir = documentsFolder(parser.positionalArguments().value(0), pages, temporary.path());
    const QString stem = QDir(dir).filePath(QStringLiteral("synth_%1p").arg(pages));

    FilterRegistry &registry = FilterRegistry::instance();
    DocumentFilter *text = registry.filter(FormatCode::Text);
    DocumentFilter *html = registry.filter(FormatCode::Html);
    DocumentFilter *native = registry.filter(FormatCode::Native);
    if (!text || !html || !native)
        qFatal("a filter is missing");

    std::printf("%s pages, %d runs each, median milliseconds\n", qPrintable(pages), runs);
    DocumentModel source;
    const QByteArray htmlSource = readFile(stem + QStringLiteral(".html"));
    const QByteArray textSource = readFile(stem + QStringLiteral(".txt"));
    DocumentModel scratch;
    std::printf("load generated text  %9.1f\n", medianMs(runs, [&] { load(text, textSource, scratch, stem + ".txt"); }));
    std::printf("load generated HTML  %9.1f\n", medianMs(runs, [&] { load(html, htmlSource, source, stem + ".html"); }));
    std::printf("  (%d characters, %d paragraphs)\n", source.document()->characterCount(), source.document()->blockCount());

    for (DocumentFilter *filter : {text, html, native}) {
        QByteArray saved;
        const double saveMs = medianMs(runs, [&] { saved = save(filter, source, QString()); });
        DocumentModel reopened;
        const double loadMs = medianMs(runs, [&] { load(filter, saved, reopened, QString()); });
        std::printf("%-8s save %9.1f   load %9.1f   (%lld bytes)\n", qPrintable(filter->name().left(8)), saveMs,
                    loadMs, qlonglong(saved.size()));
    }
    return 0;
}
