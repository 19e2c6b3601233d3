#pragma once

// The help command: the help file beside the program, opened by the desktop.

#include <QString>

// programFolder + "/TPKNHhlp.chm", with one separator between them.
QString helpFilePath(const QString &programFolder);

// Opens the help file beside the running program. Shows nothing of its own
// when the file is missing or nothing can open it: the desktop reports that.
void ShowHelp();
