// The engine on the 1,000-page synthetic document: opening and paginating,
// keystroke to repainted screen at the start, middle and end, and peak
// memory; LibreOffice converting the same file to PDF for comparison.
//
//   QT_QPA_PLATFORM=offscreen bench_engine [--runs N] [--keys N] [--no-peer] [--layout] [FILE.txt|FILE.rtf]
// Without FILE the plain-text document is made with shared/bench/gen_docs.py,
// looked for in the folders above the program; with --layout, the RTF layout
// document of bench/gen_layout_doc.py (headers, footers, tables, lists).

#include "BenchSupport.h"
#include "engine/TTextEngine.h"
#include "engine/formats/FormatCode.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextDocument>

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <cstdio>

using tamapiko::bench::documentsFolder;
using tamapiko::bench::layoutDocument;

namespace {

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

double elapsedMs(const QElapsedTimer &timer)
{
    return timer.nsecsElapsed() / 1e6;
}

// The machine is shared: CPU time of this thread shows the work itself when
// other programs hold the cores.
double cpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

long peakMemoryMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

struct OpenTimes
{
    double firstPage = 0;
    double allPages = 0;
    double firstPageCpu = 0;
    double allPagesCpu = 0;
    int pages = 0;
};

OpenTimes openDocument(TTextEngine &engine, const QString &path)
{
    OpenTimes times;
    QElapsedTimer timer;
    timer.start();
    const double cpu = cpuMs();
    const bool rtf = QFileInfo(path).suffix().compare(QLatin1String("rtf"), Qt::CaseInsensitive) == 0;
    const int format = rtf ? tamapiko::engine::FormatCode::Rtf : tamapiko::engine::FormatCode::Text;
    if (engine.LoadDocument(path, 0, format, 0) != 0)
        qFatal("cannot load %s: %s", qPrintable(path), qPrintable(engine.errorString()));
    engine.viewport()->repaint();
    times.firstPage = elapsedMs(timer);
    times.firstPageCpu = cpuMs() - cpu;
    times.pages = engine.CurrentPages();
    times.allPages = elapsedMs(timer);
    times.allPagesCpu = cpuMs() - cpu;
    return times;
}

// Median time from a key press to the end of the repaint it causes (wall
// clock and CPU).
QPair<double, double> keystrokes(TTextEngine &engine, int position, int count)
{
    engine.setSelStart(position);
    engine.viewport()->repaint();
    QList<double> times;
    QList<double> cpuTimes;
    for (int i = 0; i < count; ++i) {
        const QChar c = i % 2 ? QChar(0x3042) : QChar(u'a');
        QKeyEvent press(QEvent::KeyPress, i % 2 ? 0 : Qt::Key_A, Qt::NoModifier, QString(c));
        QElapsedTimer timer;
        timer.start();
        const double cpu = cpuMs();
        QCoreApplication::sendEvent(&engine, &press);
        engine.viewport()->repaint();
        times.append(elapsedMs(timer));
        cpuTimes.append(cpuMs() - cpu);
    }
    return {median(times), median(cpuTimes)};
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("runs"), QStringLiteral("Runs of the open measurement."), QStringLiteral("N"), QStringLiteral("3")});
    parser.addOption({QStringLiteral("keys"), QStringLiteral("Keystrokes per position."), QStringLiteral("N"), QStringLiteral("30")});
    parser.addOption({QStringLiteral("no-peer"), QStringLiteral("Skip LibreOffice.")});
    parser.addOption({QStringLiteral("layout"), QStringLiteral("The layout document (RTF) instead of the text.")});
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("Plain-text or RTF document."));
    parser.process(app);
    const int runs = std::max(1, parser.value(QStringLiteral("runs")).toInt());
    const int keys = std::max(1, parser.value(QStringLiteral("keys")).toInt());

    QTemporaryDir temporary;
    QString path = parser.positionalArguments().value(0);
    if (path.isEmpty() && parser.isSet(QStringLiteral("layout"))) {
        path = layoutDocument(QString(), QStringLiteral("1000"), temporary.path());
    } else if (path.isEmpty()) {
        path = QDir(documentsFolder(QString(), QStringLiteral("1000"), temporary.path()))
                   .filePath(QStringLiteral("synth_1000p.txt"));
    }

    QList<double> firstPage;
    QList<double> allPages;
    QList<double> firstPageCpu;
    QList<double> allPagesCpu;
    int pages = 0;
    for (int run = 0; run < runs; ++run) {
        TTextEngine engine;
        engine.resize(1000, 800);
        engine.show();
        QCoreApplication::processEvents();
        const OpenTimes times = openDocument(engine, path);
        firstPage.append(times.firstPage);
        allPages.append(times.allPages);
        firstPageCpu.append(times.firstPageCpu);
        allPagesCpu.append(times.allPagesCpu);
        pages = times.pages;
    }

    TTextEngine engine;
    engine.resize(1000, 800);
    engine.show();
    engine.setFocus();
    QCoreApplication::processEvents();
    openDocument(engine, path);
    const int length = engine.document()->characterCount() - 1;
    const auto atStart = keystrokes(engine, 0, keys);
    const auto atMiddle = keystrokes(engine, length / 2, keys);
    const auto atEnd = keystrokes(engine, engine.document()->characterCount() - 1, keys);

    std::printf("document: %s, %d characters, %d pages\n", qPrintable(QFileInfo(path).fileName()), length, pages);
    std::printf("                                      wall clock     CPU\n");
    std::printf("open to first page shown:   median %8.1f ms %8.1f ms  (goal < 500)\n",
                median(firstPage), median(firstPageCpu));
    std::printf("open to all pages laid out: median %8.1f ms %8.1f ms  (goal < 2000)\n",
                median(allPages), median(allPagesCpu));
    std::printf("keystroke at start:         median %8.2f ms %8.2f ms  (goal < 16)\n", atStart.first, atStart.second);
    std::printf("keystroke in the middle:    median %8.2f ms %8.2f ms\n", atMiddle.first, atMiddle.second);
    std::printf("keystroke at end:           median %8.2f ms %8.2f ms\n", atEnd.first, atEnd.second);
    std::printf("peak memory:                %8ld MB     (goal < 300)\n", peakMemoryMb());

    if (!parser.isSet(QStringLiteral("no-peer"))) {
        QElapsedTimer timer;
        timer.start();
        rusage before{};
        getrusage(RUSAGE_CHILDREN, &before);
        QProcess soffice;
        soffice.start(QStringLiteral("soffice"), {QStringLiteral("-env:UserInstallation=file://") + temporary.path()
                                                      + QStringLiteral("/profile"),
                                                  QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                                                  QStringLiteral("pdf"), QStringLiteral("--outdir"),
                                                  temporary.path(), path});
        if (!soffice.waitForFinished(600000) || soffice.exitCode() != 0)
            std::printf("LibreOffice: did not convert (%s)\n", qPrintable(soffice.errorString()));
        else
        {
            rusage after{};
            getrusage(RUSAGE_CHILDREN, &after);
            const double cpu = (after.ru_utime.tv_sec - before.ru_utime.tv_sec) * 1e3
                + (after.ru_utime.tv_usec - before.ru_utime.tv_usec) / 1e3
                + (after.ru_stime.tv_sec - before.ru_stime.tv_sec) * 1e3
                + (after.ru_stime.tv_usec - before.ru_stime.tv_usec) / 1e3;
            std::printf("LibreOffice headless to PDF, whole process: %8.1f ms %8.1f ms\n", elapsedMs(timer), cpu);
        }
    }
    return 0;
}
