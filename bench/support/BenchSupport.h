#pragma once

// What every benchmark needs: the document generators (beside the repository
// and in bench/) and a median over repeated runs.

#include <QString>
#include <QStringList>

#include <functional>

namespace tamapiko::bench {

// shared/bench/gen_docs.py found by walking up from the program's folder;
// empty when this checkout has no shared material beside it.
QString findGenerator();

// The folder holding gen_docs.py's documents: `given` when not empty, else
// `scratch` after generating documents of `pages` pages into it. Ends the
// program with a message when neither works.
QString documentsFolder(const QString &given, const QString &pages, const QString &scratch);

// The layout document of bench/gen_layout_doc.py (pages with a header and
// a footer of fields, a table, numbered and bulleted lists, footnotes):
// layout_<pages>p.rtf in `given` when that folder holds it, else made in
// `scratch`. Ends the program with a message when neither works.
QString layoutDocument(const QString &given, const QString &pages, const QString &scratch);

// Median wall-clock time of `runs` calls of `work`, in milliseconds; `reset`
// (when given) runs after each timed call, outside the timing.
double medianMs(int runs, const std::function<void()> &work, const std::function<void()> &reset = {});

// Median wall-clock time of `runs` runs of a whole process; a failing run
// ends the benchmark. `cpuMs`, when given, gets the median CPU time (user
// and system) of a run: the figure to compare on a busy machine.
double processMs(int runs, const QString &program, const QStringList &arguments, double *cpuMs = nullptr);

} // namespace tamapiko::bench
