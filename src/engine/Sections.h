#pragma once

// Sections: parts of a document with a page set-up and columns of their own.
//
// The first section's page set-up is the document's (DocumentModel::
// pageSetup(), what the page set-up dialog edits); its columns are kept on
// the root frame's format. Every later section starts at a paragraph of the
// body whose format carries the whole set-up of the section it starts
// (ParagraphSectionStart), so sections travel with their text through edits,
// undo, copying and the native format. A document without such paragraphs is
// one section.

#include "engine/DocumentModel.h"

#include <QList>
#include <QTextBlock>

#include <optional>

class QTextDocument;

namespace tamapiko::engine {

// Where a section's text begins. Kept in documents: never renumber.
enum class SectionStart : quint8 {
    NewPage,     // on a new page
    Continuous,  // below the section before, on the same page
    NewColumn,   // in the next column (a new page in a section of one column)
    EvenPage,    // on the next even page
    OddPage,     // on the next odd page
};

struct ColumnSetup
{
    static constexpr int MaximumCount = 45;

    int count = 1;
    int spacing = 720;           // twips between columns of equal width
    bool lineBetween = false;    // a vertical line between columns
    // Columns of their own widths (empty: equal columns). `widths` has one
    // entry per column, `gaps` the space after each but the last.
    QList<int> widths;
    QList<int> gaps;

    bool isSingle() const { return count <= 1; }
    // Left edge and width of each column in a body `bodyWidth` wide, twips
    // from the body's left edge; always `count` columns of at least a
    // usable width.
    QList<QPair<int, int>> place(int bodyWidth) const;
    bool operator==(const ColumnSetup &) const = default;
};

struct SectionSetup
{
    SectionStart start = SectionStart::NewPage;
    PageSetup page;
    ColumnSetup columns;
    bool operator==(const SectionSetup &) const = default;
};

namespace sections {

// The section a paragraph starts, if it starts one.
std::optional<SectionSetup> startingAt(const QTextBlock &block);
bool startsSection(const QTextBlock &block);
// Makes `format` start a section with `setup`, or start none.
void setStart(QTextBlockFormat &format, const std::optional<SectionSetup> &setup);

// The first section's columns (on the root frame's format).
ColumnSetup firstColumns(const QTextDocument *document);
void setFirstColumns(QTextDocument *document, const ColumnSetup &columns);

} // namespace sections

} // namespace tamapiko::engine
