#pragma once

// `tamapiko --convert IN OUT`: converts a document between any two of the
// five file types, chosen by the extensions, without a display; an OUT
// ending in .pdf gets the document's printed pages. Used for batch work and
// by the benchmarks.

#include <QStringList>

class QTextStream;

// True when the command line starts with --convert.
bool isConvertCommand(int argc, char *argv[]);

// Makes the process run without a display; call before the application
// object is created.
void prepareHeadlessConversion();

// Converts arguments[0] into arguments[1]. Returns the exit status: 0 on
// success, 1 when a file cannot be read or written, 2 for a bad command
// line or an unsupported file type; failures put one line on `errors`.
int runConvertCommand(const QStringList &arguments, QTextStream &errors);
