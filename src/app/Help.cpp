#include "app/Help.h"

#include "platform/DesktopOpener.h"

#include <QCoreApplication>

QString helpFilePath(const QString &programFolder)
{
    QString path = programFolder;
    if (!path.endsWith(u'/'))
        path += u'/';
    return path + QStringLiteral("TPKNHhlp.chm");
}

void ShowHelp()
{
    tamapiko::platform::ShellOpenFile(helpFilePath(QCoreApplication::applicationDirPath()));
}
