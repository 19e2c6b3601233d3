#include "app/Help.h"

#include "platform/DesktopOpener.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {
const QString GuideFile = QStringLiteral("TPKNHhlp/index.html");
}

QString helpFilePath(const QString &programFolder)
{
    QString path = programFolder;
    if (!path.endsWith(u'/'))
        path += u'/';
    return path + GuideFile;
}

QString installedHelpPath(const QString &programFolder)
{
    const QString beside = helpFilePath(programFolder);
    if (QFileInfo::exists(beside))
        return beside;
    const QString shared =
        QDir::cleanPath(programFolder + QStringLiteral("/../share/tamapiko/") + GuideFile);
    return QFileInfo::exists(shared) ? shared : beside;
}

void ShowHelp()
{
    tamapiko::platform::ShellOpenFile(installedHelpPath(QCoreApplication::applicationDirPath()));
}
