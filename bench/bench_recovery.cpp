// What keeping documents safe costs.
//
//   bench_recovery [--runs N] [--pages N] [--only snapshot|scaling] [DIR]
//
// snapshot: a whole .txm encode, and the part of an autosave that runs on the
//   GUI thread (an incremental snapshot after a small edit) with the part the
//   writer's thread does, for the synthetic document of --pages pages (1,000).
// scaling: every reader on inputs of 1x, 10x and 100x a base size, both the
//   synthetic documents and the shapes that used to grow faster than their
//   input (table rows, nested blocks and tables, one long paragraph, empty
//   lines). A linear reader shows about 10 and 100 in the ratio columns.
//
// DIR holds gen_docs.py's documents; without it they are generated.

#include "BenchSupport.h"
#include "engine/DocumentModel.h"
#include "engine/formats/NativeFilter.h"
#include "engine/formats/NativeSnapshot.h"
#include "engine/io/DocumentStorage.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

using namespace tamapiko::engine;
using tamapiko::bench::documentsFolder;
using tamapiko::bench::medianMs;

namespace {

constexpr int TextFormat = 1;
constexpr int NativeFormat = 3;
constexpr int HtmlFormat = 4;
constexpr int RtfFormat = 5;

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

double readMs(const QString &path, int format, int runs)
{
    return medianMs(runs, [&] {
        DocumentModel model;
        const FileOutcome outcome = readDocumentFile(path, 0, format, model);
        if (!outcome.ok())
            qFatal("%s", qPrintable(outcome.message));
    });
}

struct Shape
{
    const char *name;
    int format;
    int base;                                   // units at 1x
    std::function<QByteArray(int units)> make;
};

QList<Shape> shapes()
{
    return {
        {"rtf table rows", RtfFormat, 300, [](int n) {
             QByteArray row = "\\trowd\\cellx1000\\cellx2000\\intbl a\\cell b\\cell\\row\n";
             return "{\\rtf1\\ansi " + row.repeated(n) + "}";
         }},
        {"rtf nested tables", RtfFormat, 30, [](int n) {
             QByteArray rtf = "{\\rtf1\\ansi ";
             for (int depth = 1; depth <= n; ++depth)
                 rtf += "\\intbl\\itap" + QByteArray::number(depth) + " x";
             for (int depth = n; depth >= 1; --depth)
                 rtf += "\\nestcell{\\*\\nesttableprops\\trowd\\cellx1000\\nestrow}";
             return rtf + "\\cell\\row}";
         }},
        {"html nested div", HtmlFormat, 300, [](int n) {
             return "<html><body>" + QByteArray("<div>").repeated(n) + "x" + QByteArray("</div>").repeated(n)
                 + "</body></html>";
         }},
        {"html long paragraph", HtmlFormat, 40000, [](int n) {
             return "<html><body><p>" + QByteArray("abcd ").repeated(n / 5) + "</p></body></html>";
         }},
        {"rtf long paragraph", RtfFormat, 40000, [](int n) {
             return "{\\rtf1\\ansi " + QByteArray("abcd ").repeated(n / 5) + "}";
         }},
        {"txm table cells", NativeFormat, 2000, [](int n) {
             DocumentModel model;
             QTextCursor(model.document()).insertTable(n / 10, 10);
             return NativeFilter::encode(model);
         }},
        {"text empty lines", TextFormat, 50000, [](int n) { return QByteArray("\n").repeated(n); }},
        {"text long paragraph", TextFormat, 40000, [](int n) { return QByteArray("abcd ").repeated(n / 5); }},
    };
}

double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

void printRow(const char *name, const double ms[3])
{
    std::printf("%-24s %10.1f %10.1f %10.1f   %6.1f %6.1f\n", name, ms[0], ms[1], ms[2], ms[1] / qMax(ms[0], 0.01),
                ms[2] / qMax(ms[0], 0.01));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("runs"), QStringLiteral("runs per measurement"), QStringLiteral("N"), QStringLiteral("5")});
    parser.addOption({QStringLiteral("pages"), QStringLiteral("snapshot document size"), QStringLiteral("N"), QStringLiteral("1000")});
    parser.addOption({QStringLiteral("only"), QStringLiteral("snapshot or scaling"), QStringLiteral("part")});
    parser.addPositionalArgument(QStringLiteral("dir"), QStringLiteral("folder with the generated documents"));
    parser.process(app);
    const int runs = qMax(1, parser.value(QStringLiteral("runs")).toInt());
    const QString pages = parser.value(QStringLiteral("pages"));
    const QString only = parser.value(QStringLiteral("only"));
    QTemporaryDir temporary;

    if (only.isEmpty() || only == QLatin1String("snapshot")) {
        const QString dir = documentsFolder(parser.positionalArguments().value(0), pages, temporary.path());
        DocumentModel model;
        const QString rtf = QDir(dir).filePath(QStringLiteral("synth_%1p.rtf").arg(pages));
        if (!readDocumentFile(rtf, 0, RtfFormat, model).ok())
            qFatal("cannot read %s", qPrintable(rtf));
        QByteArray bytes;
        double fullCpuMs = 0;
        const double fullMs = medianMs(runs, [&] {
            bytes.clear();
            const double cpuBefore = threadCpuMs();
            encodeDocument(model, NativeFormat, QStringLiteral("snapshot.txm"), &bytes);
            fullCpuMs = threadCpuMs() - cpuBefore;
        });
        std::printf("full .txm encode, %s pages: %.1f ms (%.1f ms CPU, last run; %lld bytes)\n", qPrintable(pages),
                    fullMs, fullCpuMs, qlonglong(bytes.size()));

        // What the autosave does: a snapshot after each small edit, on the
        // GUI thread; its bytes are assembled on the writer's thread.
        NativeSnapshotEncoder encoder;
        QElapsedTimer clock;
        clock.start();
        NativeSnapshot first = encoder.take(model);
        const double firstMs = clock.nsecsElapsed() / 1e6;
        QTextCursor cursor(model.document());
        const int middle = model.document()->characterCount() / 2;
        // Wall time and the GUI thread's own CPU time: on a loaded machine
        // the first says more about the load than about the work.
        int edit = 0;
        std::vector<double> wall;
        std::vector<double> cpu;
        for (int run = 0; run < runs; ++run) {
            cursor.setPosition(middle + edit);
            if (edit++ % 2 == 0) {
                cursor.insertText(QStringLiteral("x"));
            } else {
                cursor.setPosition(middle + edit + 5, QTextCursor::KeepAnchor);
                QTextCharFormat bold;
                bold.setFontWeight(QFont::Bold);
                cursor.mergeCharFormat(bold);
            }
            const double cpuBefore = threadCpuMs();
            clock.restart();
            first = encoder.take(model);
            wall.push_back(clock.nsecsElapsed() / 1e6);
            cpu.push_back(threadCpuMs() - cpuBefore);
        }
        const auto median = [](std::vector<double> values) {
            std::sort(values.begin(), values.end());
            return values[values.size() / 2];
        };
        const double takeMs = median(wall);
        const double takeCpuMs = median(cpu);
        const double assembleMs = medianMs(runs, [&] { bytes = first.bytes(); });
        if (bytes != NativeFilter::encode(model))
            qFatal("the incremental snapshot differs from a full encode");
        std::printf("autosave snapshot on the GUI thread, %s pages: first %.1f ms, after an edit %.2f ms "
                    "(%.2f ms CPU); assembled on the writer %.1f ms\n",
                    qPrintable(pages), firstMs, takeMs, takeCpuMs, assembleMs);
    }

    if (only.isEmpty() || only == QLatin1String("scaling")) {
        std::printf("\n%-24s %10s %10s %10s   %6s %6s\n", "reader (ms)", "1x", "10x", "100x", "10x/1", "100x/1");
        for (const Shape &shape : shapes()) {
            double ms[3];
            int units = shape.base;
            for (double &m : ms) {
                const QString path = temporary.filePath(QStringLiteral("shape"));
                writeFile(path, shape.make(units));
                m = readMs(path, shape.format, runs);
                units *= 10;
            }
            printRow(shape.name, ms);
        }
    }
    return 0;
}
