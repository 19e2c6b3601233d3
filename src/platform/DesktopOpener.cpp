#include "platform/DesktopOpener.h"

#include <QProcess>
#include <QStandardPaths>

namespace tamapiko::platform {

bool ShellOpenFile(const QString &path)
{
    // Not QDesktopServices: it would go through a URL and a command line,
    // where this keeps the path one argument from start to end.
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty())
        return false;
    QProcess process;
    process.setProgram(opener);
    process.setArguments({path});
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    return process.startDetached();
}

} // namespace tamapiko::platform
