#pragma once

// The help command: the user guide beside the program, opened by the
// desktop's browser.
//
// Platform mapping: the Windows program shipped a compiled help file
// "TPKNHhlp.chm" beside its executable. Here the guide is HTML, in a folder
// of the same name: "TPKNHhlp/index.html" with its pictures. A build keeps it
// beside the program; an installation puts it in <prefix>/share/tamapiko,
// which is looked in when there is none beside the program.

#include <QString>

// programFolder + "/TPKNHhlp/index.html", with one separator between them.
QString helpFilePath(const QString &programFolder);

// The guide of the program in `programFolder`: beside it, else in the
// installation's share folder; the path beside it when neither exists.
QString installedHelpPath(const QString &programFolder);

// Opens the guide of the running program. Shows nothing of its own when the
// file is missing or nothing can open it: the desktop reports that.
void ShowHelp();
