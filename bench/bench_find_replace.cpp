// Find and replace on a long document.
//
//   python3 ../shared/bench/gen_docs.py --out /tmp/docs 1000
//   build/bench/bench_find_replace /tmp/docs/synth_1000p.txt [needle] [replacement]
//
// Loads the text into an engine, then times: the first "find next" (which
// folds the whole text), a later one, counting every match, and
// replace-all with its undo. Prints the median of five runs of each.

#include "BenchSupport.h"
#include "engine/TTextEngine.h"
#include "engine/formats/DocumentFilter.h"
#include "engine/formats/PlainTextFilter.h"
#include "engine/DocumentModel.h"
#include "engine/dialogs/TextFinder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTextDocument>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace tamapiko::engine;

using tamapiko::bench::medianMs;


int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: %s FILE.txt [needle] [replacement]\n", argv[0]);
        return 2;
    }
    const QString fileName = args.at(1);
    const QString needle = args.value(2, QStringLiteral("。"));
    const QString replacement = args.value(3, QStringLiteral("．"));

    TTextEngine engine;
    engine.resize(800, 600);
    QElapsedTimer timer;
    timer.start();
    if (engine.LoadDocument(fileName, 0, FormatCode::Text, 0) != 0 || engine.document()->isEmpty()) {
        // An engine that does not load yet: read through the filter.
        QFile file(fileName);
        QString error;
        if (!file.open(QIODevice::ReadOnly)
            || !FilterRegistry::instance().filter(FormatCode::Text)->read(file, *engine.model(), {}, &error)) {
            std::fprintf(stderr, "cannot read %s: %s\n", qPrintable(fileName), qPrintable(error));
            return 1;
        }
    }
    const double loadMs = timer.nsecsElapsed() / 1e6;
    QTextDocument *document = engine.document();
    std::printf("document: %d characters, %d paragraphs, loaded in %.1f ms\n", document->characterCount(),
                document->blockCount(), loadMs);

    const FindOptions options; // Japanese defaults: case, width and kana folded
    TextFinder finder;
    const double firstFind = medianMs(5, [&] {
        TextFinder fresh;
        fresh.find(document, needle, 0, options);
    });
    finder.find(document, needle, 0, options);
    const int middle = document->characterCount() / 2;
    const double laterFind = medianMs(5, [&] { finder.find(document, needle, middle, options); });
    qsizetype matches = 0;
    const double findAll = medianMs(5, [&] { matches = finder.findAll(document, needle, options).size(); });
    std::printf("find next: first %.1f ms (folds the text), later %.2f ms\n", firstFind, laterFind);
    std::printf("find all: %lld matches of \"%s\" in %.1f ms\n", qlonglong(matches), qPrintable(needle), findAll);

    int replaced = 0;
    const double replaceAll = medianMs(
        5, [&] { replaced = finder.replaceAll(document, needle, replacement, options); },
        [&] { document->undo(); });
    std::printf("replace all: %d replacements in %.1f ms (median of 5, one undo step each)\n", replaced, replaceAll);
    const double undo = medianMs(
        3, [&] { document->undo(); }, [&] { finder.replaceAll(document, needle, replacement, options); });
    std::printf("undo of replace all: %.1f ms\n", undo);
    return 0;
}
