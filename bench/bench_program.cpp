// The whole program on the 1,000-page synthetic documents: the frame with its
// toolbar, status bar and a document window with its ruler, driven by real
// key events as a user types.
//
//   QT_QPA_PLATFORM=offscreen bench_program [--keys N] [--only KIND] [--no-peer] [DIR]
//   bench_program --measure FILE [--keys N]   one document, in this process
//
// DIR holds synth_1000p.rtf/.html/.txt from gen_docs.py and layout_1000p.rtf
// from bench/gen_layout_doc.py (what it lacks, or all when DIR is not given,
// is generated). Every document is measured in a process of its own, so that
// peak memory belongs to that document alone:
//  - open to first page shown: the document window created and filled as the
//    open command does, until the engine's viewport has painted the text;
//  - open to all pages laid out: until the background pagination is done;
//  - keystrokes at the start, middle and end: a key press delivered to the
//    focused widget, timed until the viewport has repainted and the
//    notifications it queued (toolbar, status bar, ruler) have run; median
//    and 99th percentile, wall clock and CPU of the thread, and the CPU the
//    event loop spends after the key until it is idle again;
//  - save, in the document's own format; peak memory;
// and LibreOffice converting the same file to PDF, as a peer.
//
// The machine may be shared: CPU time is the figure to compare; wall clock
// is given beside it. BENCH_KEY_TRACE=1 lists every key's time on stderr,
// to find which keys make the 99th percentile.

#include "BenchSupport.h"
#include "app/TApplication.h"
#include "app/TMainForm.h"
#include "document/TMDIChild.h"
#include "engine/TTextEngine.h"

#include <QAbstractEventDispatcher>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QKeyEvent>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTimer>

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <map>

using tamapiko::bench::documentsFolder;
using tamapiko::bench::layoutDocument;

namespace {

constexpr int kIdleTimeoutMs = 20000;

double cpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

double percentile(QList<double> values, double fraction)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const int index = std::min<int>(values.size() - 1, int(fraction * values.size()));
    return values.at(index);
}

// Counts the paints of one widget that show a document with text in it.
class PaintWatch : public QObject
{
public:
    explicit PaintWatch(TTextEngine *engine)
        : m_engine(engine)
    {
        engine->viewport()->installEventFilter(this);
    }
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && m_engine->document()->characterCount() > 1)
            ++paints;
        return false;
    }

private:
    TTextEngine *m_engine;
};

// Runs the event loop until it is about to wait for new events (or the
// timeout passes); false on timeout.
bool runUntilIdle(int timeoutMs = kIdleTimeoutMs)
{
    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, &loop, [&loop] { loop.exit(1); });
    const auto connection = QObject::connect(QAbstractEventDispatcher::instance(),
                                             &QAbstractEventDispatcher::aboutToBlock, &loop,
                                             [&loop] { loop.exit(0); }, Qt::DirectConnection);
    timeout.start(timeoutMs);
    const int result = loop.exec();
    QObject::disconnect(connection);
    return result == 0;
}

// Processes events until the watched viewport has painted once more.
bool waitForPaint(PaintWatch &watch, int paintsBefore)
{
    QElapsedTimer limit;
    limit.start();
    while (watch.paints == paintsBefore) {
        if (limit.elapsed() > kIdleTimeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    // The engine's notifications (toolbar, status bar, ruler) go out from the
    // event loop; the key is done when they have run.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return true;
}

struct KeyFigures
{
    double median = 0, p99 = 0, cpuMedian = 0, cpuP99 = 0, afterCpuMedian = 0;
};

KeyFigures typeAt(TTextEngine *engine, PaintWatch &watch, int position, int keys)
{
    engine->setSelStart(position);
    // Bring the place into view as a user moving there does (an arrow key
    // there and back), so that the first key times typing, not the first
    // showing of a page.
    const bool atStart = position == 0;
    for (const Qt::Key key : {atStart ? Qt::Key_Right : Qt::Key_Left, atStart ? Qt::Key_Left : Qt::Key_Right}) {
        QWidget *target = QApplication::focusWidget() ? QApplication::focusWidget() : engine;
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &press);
        QCoreApplication::sendEvent(target, &release);
    }
    if (engine->SelStart() != position)
        qFatal("the caret did not come back to %d", position);
    runUntilIdle();
    QList<double> wall, cpu, after;
    for (int i = 0; i < keys; ++i) {
        QWidget *target = QApplication::focusWidget() ? QApplication::focusWidget() : engine;
        const bool ascii = i % 2 == 0;
        const QString text = ascii ? QStringLiteral("a") : QString(QChar(0x3042));
        QKeyEvent press(QEvent::KeyPress, ascii ? Qt::Key_A : Qt::Key_unknown, Qt::NoModifier, text);
        QKeyEvent release(QEvent::KeyRelease, ascii ? Qt::Key_A : Qt::Key_unknown, Qt::NoModifier, text);
        const int paints = watch.paints;
        QElapsedTimer timer;
        timer.start();
        const double cpuStart = cpuMs();
        QCoreApplication::sendEvent(target, &press);
        QCoreApplication::sendEvent(target, &release);
        if (!waitForPaint(watch, paints))
            qFatal("no repaint after a key press");
        wall.append(timer.nsecsElapsed() / 1e6);
        const double cpuPainted = cpuMs();
        cpu.append(cpuPainted - cpuStart);
        if (qEnvironmentVariableIsSet("BENCH_KEY_TRACE"))
            std::fprintf(stderr, "key %d at %d: %.2f ms CPU, %.2f wall\n", i, position, cpu.last(), wall.last());
        runUntilIdle();
        after.append(cpuMs() - cpuPainted);
    }
    return {percentile(wall, 0.5), percentile(wall, 0.99), percentile(cpu, 0.5), percentile(cpu, 0.99),
            percentile(after, 0.5)};
}

int formatOf(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("rtf"))
        return 5;
    if (suffix.startsWith(QLatin1String("htm")))
        return 4;
    return 1;
}

void privateDesktopFolders(const QString &base)
{
    for (const char *name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME"}) {
        const QString folder = base + QLatin1Char('/') + QString::fromLatin1(name).toLower();
        QDir().mkpath(folder);
        qputenv(name, QFile::encodeName(folder));
    }
}

void print(const char *key, double value)
{
    std::printf("%s=%.3f\n", key, value);
}

// One document in this process; prints key=value lines for the parent.
int measure(int argc, char **argv, const QString &path, int keys)
{
    QTemporaryDir scratch;
    privateDesktopFolders(scratch.path());
    TApplication app(argc, argv);
    TMainForm frame({});
    frame.createStartupDialogs();
    frame.resize(1200, 900);
    frame.show();
    runUntilIdle();

    QElapsedTimer timer;
    timer.start();
    double cpuStart = cpuMs();
    frame.CreateDocumentWindow(path);
    TMDIChild *window = frame.activeDocument();
    if (!window)
        qFatal("no document window");
    TTextEngine *engine = window->TextEngine1;
    PaintWatch watch(engine);
    frame.OpenDocumentFile(path);
    if (!waitForPaint(watch, 0))
        qFatal("the document was never shown");
    print("open_first_ms", timer.nsecsElapsed() / 1e6);
    print("open_first_cpu", cpuMs() - cpuStart);
    while (!runUntilIdle()) {
    }
    engine->CurrentPages();
    print("open_all_ms", timer.nsecsElapsed() / 1e6);
    print("open_all_cpu", cpuMs() - cpuStart);
    print("pages", engine->CurrentPages());

    if (keys > 0) {
        engine->setFocus();
        runUntilIdle();
        const int length = engine->document()->characterCount() - 1;
        const std::map<const char *, int> places{{"start", 0}, {"middle", length / 2}, {"end", length}};
        for (const char *place : {"start", "middle", "end"}) {
            const KeyFigures figures = typeAt(engine, watch, places.at(place), keys);
            std::printf("key_%s_median_ms=%.3f\nkey_%s_p99_ms=%.3f\nkey_%s_cpu_median=%.3f\n"
                        "key_%s_cpu_p99=%.3f\nkey_%s_after_cpu=%.3f\n",
                        place, figures.median, place, figures.p99, place, figures.cpuMedian, place,
                        figures.cpuP99, place, figures.afterCpuMedian);
        }
    }

    const QString saved = scratch.filePath(QStringLiteral("saved.") + QFileInfo(path).suffix());
    timer.restart();
    cpuStart = cpuMs();
    if (engine->SaveDocument(saved, 0, formatOf(path), 0) != 0)
        qFatal("saving failed: %s", qPrintable(engine->errorString()));
    print("save_ms", timer.nsecsElapsed() / 1e6);
    print("save_cpu", cpuMs() - cpuStart);

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    print("peak_mb", usage.ru_maxrss / 1024.0);
    std::fflush(stdout);
    // The window is modified; leave without the close question.
    std::_Exit(0);
}

using Figures = std::map<QString, double>;

Figures runMeasurement(const QString &program, const QString &file, int keys)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(program, {QStringLiteral("--measure"), file, QStringLiteral("--keys"), QString::number(keys)});
    Figures figures;
    if (!child.waitForFinished(-1) || child.exitCode() != 0) {
        std::printf("%s: measurement failed\n", qPrintable(QFileInfo(file).fileName()));
        return figures;
    }
    for (const QByteArray &line : child.readAllStandardOutput().split('\n')) {
        const int equals = line.indexOf('=');
        if (equals > 0)
            figures[QString::fromLatin1(line.left(equals))] = line.mid(equals + 1).toDouble();
    }
    return figures;
}

// LibreOffice's whole-process conversion to PDF: wall clock and CPU.
QPair<double, double> peerToPdf(const QString &file, const QString &outDir)
{
    rusage before{};
    getrusage(RUSAGE_CHILDREN, &before);
    QElapsedTimer timer;
    timer.start();
    QProcess soffice;
    soffice.start(QStringLiteral("soffice"),
                  {QStringLiteral("-env:UserInstallation=file://") + outDir + QStringLiteral("/profile"),
                   QStringLiteral("--headless"), QStringLiteral("--convert-to"), QStringLiteral("pdf"),
                   QStringLiteral("--outdir"), outDir, file});
    if (!soffice.waitForFinished(900000) || soffice.exitCode() != 0)
        return {-1, -1};
    rusage after{};
    getrusage(RUSAGE_CHILDREN, &after);
    auto ms = [](const timeval &t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    const double cpu = ms(after.ru_utime) - ms(before.ru_utime) + ms(after.ru_stime) - ms(before.ru_stime);
    return {timer.nsecsElapsed() / 1e6, cpu};
}

// The documents measured: the three formats of gen_docs.py's text, then the
// RTF of the layout document.
const QStringList &documentKinds()
{
    static const QStringList kinds{QStringLiteral("rtf"), QStringLiteral("html"), QStringLiteral("txt"),
                                   QStringLiteral("layout")};
    return kinds;
}

void printTable(const std::map<QString, Figures> &results, const std::map<QString, QPair<double, double>> &peer)
{
    const QStringList &kinds = documentKinds();
    auto cell = [&](const QString &kind, const char *wall, const char *cpu) {
        const auto found = results.find(kind);
        if (found == results.end() || !found->second.count(QString::fromLatin1(wall)))
            return QStringLiteral("%1").arg(QStringLiteral("-"), 19);
        const Figures &f = found->second;
        return QStringLiteral("%1 /%2").arg(f.at(QString::fromLatin1(wall)), 9, 'f', 1)
            .arg(f.at(QString::fromLatin1(cpu)), 8, 'f', 1);
    };
    std::printf("\n%-36s %-19s   %-19s   %-19s   %-19s\n", "ms, wall / CPU of the thread", "RTF", "HTML", "text",
                "layout (RTF)");
    auto row = [&](const char *label, const char *wall, const char *cpu) {
        std::printf("%-36s", label);
        for (const QString &kind : kinds)
            std::printf(" %s  ", qPrintable(cell(kind, wall, cpu)));
        std::printf("\n");
    };
    row("open to first page shown", "open_first_ms", "open_first_cpu");
    row("open to all pages laid out", "open_all_ms", "open_all_cpu");
    for (const char *place : {"start", "middle", "end"}) {
        const QByteArray p(place);
        row(QByteArray("key at " + p + ", median").constData(), QByteArray("key_" + p + "_median_ms").constData(),
            QByteArray("key_" + p + "_cpu_median").constData());
        row(QByteArray("key at " + p + ", 99th percentile").constData(),
            QByteArray("key_" + p + "_p99_ms").constData(), QByteArray("key_" + p + "_cpu_p99").constData());
        row(QByteArray("key at " + p + ", CPU after paint").constData(),
            QByteArray("key_" + p + "_after_cpu").constData(), QByteArray("key_" + p + "_after_cpu").constData());
    }
    row("save", "save_ms", "save_cpu");
    std::printf("%-36s", "pages / peak memory MB");
    for (const QString &kind : kinds) {
        const auto found = results.find(kind);
        if (found == results.end() || !found->second.count(QStringLiteral("peak_mb")))
            std::printf(" %19s  ", "-");
        else
            std::printf(" %9.0f /%8.0f  ", found->second.at(QStringLiteral("pages")),
                        found->second.at(QStringLiteral("peak_mb")));
    }
    std::printf("\n%-36s", "LibreOffice open to PDF (peer)");
    for (const QString &kind : kinds) {
        const auto found = peer.find(kind);
        if (found == peer.end() || found->second.first < 0)
            std::printf(" %19s  ", "-");
        else
            std::printf(" %9.1f /%8.1f  ", found->second.first, found->second.second);
    }
    std::printf("\n");
}

} // namespace

int main(int argc, char **argv)
{
    // The measuring child needs the program's own application object; look
    // at the arguments before any application exists.
    for (int i = 1; i + 1 < argc; ++i) {
        if (qstrcmp(argv[i], "--measure") == 0) {
            int keys = 40;
            for (int j = 1; j + 1 < argc; ++j)
                if (qstrcmp(argv[j], "--keys") == 0)
                    keys = std::max(0, QByteArray(argv[j + 1]).toInt());
            const QString file = QString::fromLocal8Bit(argv[i + 1]);
            int appArgc = 1;
            return measure(appArgc, argv, file, keys);
        }
    }

    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("keys"), QStringLiteral("Keystrokes at each place (all but HTML)."),
                      QStringLiteral("N"), QStringLiteral("40")});
    parser.addOption({QStringLiteral("no-peer"), QStringLiteral("Skip LibreOffice.")});
    parser.addOption({QStringLiteral("only"), QStringLiteral("Measure only this kind (rtf, html, txt, layout)."),
                      QStringLiteral("KIND")});
    parser.addPositionalArgument(QStringLiteral("dir"), QStringLiteral("Folder with synth_1000p.* and layout_1000p.rtf"));
    parser.process(app);
    const int keys = std::max(1, parser.value(QStringLiteral("keys")).toInt());

    QTemporaryDir temporary;
    const QString given = parser.positionalArguments().value(0);
    QString folder; // gen_docs.py's documents, made when first needed
    std::map<QString, Figures> results;
    std::map<QString, QPair<double, double>> peer;
    for (const QString &kind : documentKinds()) {
        if (parser.isSet(QStringLiteral("only")) && parser.value(QStringLiteral("only")) != kind)
            continue;
        QString file;
        if (kind == QLatin1String("layout")) {
            file = layoutDocument(given, QStringLiteral("1000"), temporary.path());
        } else {
            if (folder.isEmpty())
                folder = documentsFolder(given, QStringLiteral("1000"), temporary.path());
            file = QDir(folder).filePath(QStringLiteral("synth_1000p.") + kind);
        }
        if (!QFileInfo::exists(file)) {
            std::printf("%s missing\n", qPrintable(file));
            continue;
        }
        std::printf("measuring %s ...\n", qPrintable(QFileInfo(file).fileName()));
        std::fflush(stdout);
        // HTML: open, save and memory; typing is measured on the others.
        results[kind] = runMeasurement(QCoreApplication::applicationFilePath(), file,
                                       kind == QLatin1String("html") ? 0 : keys);
        if (!parser.isSet(QStringLiteral("no-peer")))
            peer[kind] = peerToPdf(file, temporary.path());
    }
    printTable(results, peer);
    return 0;
}
