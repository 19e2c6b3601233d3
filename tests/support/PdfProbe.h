#pragma once

// Reading back what a PDF holds with poppler's pdfinfo and pdftotext, and
// what the engine laid out on each page, for the tests that compare them.

#include <QSizeF>
#include <QString>
#include <QStringList>

class TTextEngine;

namespace tamapiko::test {

// True when pdfinfo and pdftotext are installed.
bool havePdfTools();

struct PdfFacts
{
    int pages = 0;
    QSizeF pageSize;          // of the first page, points
};
PdfFacts pdfFacts(const QString &path);

// The text of every page, as pdftotext reads it.
QStringList pdfPageTexts(const QString &path);

// Every page as PrintPage draws it into the PDF `path` at the document's
// page size, read back as text without white space; empty when printing a
// page failed.
QStringList printedPageTexts(TTextEngine &engine, const QString &path);

// The text the engine laid out on every page, found by moving the caret.
QStringList enginePageTexts(TTextEngine *engine);

// `text` without white space (and the object placeholder character), so
// that two texts compare by their characters, not by how lines broke.
QString withoutSpaces(const QString &text);

} // namespace tamapiko::test
