#include "BenchSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

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

} // namespace tamapiko::bench
