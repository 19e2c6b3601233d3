#pragma once

// Walks a document in reading order and describes it in the Word-like
// properties: paragraphs with their runs and pictures, and tables row by
// row with each row's cell edges, borders, shading and merging. The RTF and
// Word writers are visitors of this one walk, so both write the same
// document from the same description.
//
// Tables inside table cells are given flat (their paragraphs belong to the
// outer cell) unless the writer asks for them as tables; floating frames
// give their paragraphs in place.

#include "engine/formats/word/WordProperties.h"

#include <QHash>

#include <optional>

#include <QTextFormat>

#include <utility>

class QTextBlock;
class QTextDocument;
class QTextFrame;
class QTextList;
class QTextTable;
class QTextTableCell;
class QTextTableFormat;

namespace tamapiko::engine::word {

// What a walk needs of a table cell's format; a document's cells share a
// few formats, so each is read once (see DocumentWalker::cellFacts).
struct TableCellFacts
{
    QTextTableCellFormat format;
    int rowSpan = 1;
    int columnSpan = 1;
    int height = 0; // as rowHeight() gives it
    bool keepTogether = false;
    int ownCells = 0; // the cells of the row it was read in, from its edges
    qreal tableBorder = -1; // what `cell` was worked out for
    CellProperties cell;
};

class DocumentVisitor
{
public:
    // Section: the paragraph ends its section (beginSection() follows).
    enum class ParagraphEnd { Paragraph, Cell, Section };

    virtual ~DocumentVisitor() = default;

    virtual void beginRow(const RowProperties &) {}
    virtual void endRow(const RowProperties &) {}
    virtual void beginParagraph(const ParagraphProperties &para, bool inTable) = 0;
    virtual void text(const QString &text, const CharacterProperties &chr) = 0;
    // One picture (a picture character of the paragraph).
    virtual void picture(const QTextImageFormat &format, const CharacterProperties &chr) = 0;
    virtual void endParagraph(ParagraphEnd end, const CharacterProperties &mark) = 0;
    // A section after the first starts. The paragraph before it ended with
    // ParagraphEnd::Section, unless a table ended the section before.
    virtual void beginSection(const SectionProperties &) {}
};

class DocumentWalker
{
public:
    DocumentWalker(const QTextDocument &document, const PageSetup &page);

    void walk(DocumentVisitor &visitor) const;
    // Tables inside cells as tables (their paragraphs and rows say how deep
    // they lie); without, as the paragraphs of their cell, for formats and
    // writers without nesting.
    void setNestedTables(bool on) { m_nestedTables = on; }

    // What a run that leaves the font to the document gets.
    QString defaultFamily() const { return m_defaultFamily; }
    qreal defaultSize() const { return m_defaultSize; }
    CharacterProperties characterProperties(const QTextCharFormat &format) const;
    // Twips between default tab stops, as the layout uses them.
    int defaultTabStop() const;
    // The pitch of the document's line grid, twips; 0 when it has none.
    int linePitch() const;
    bool stretchesBeforeLineBreaks() const;
    // The first section: the document's page set-up and first columns.
    SectionProperties firstSection() const;
    // The section a paragraph of the body starts, if it starts one.
    static std::optional<SectionProperties> sectionStartingAt(const QTextBlock &block);

private:
    void walkFrame(QTextFrame *frame, bool inTable, DocumentVisitor &visitor) const;
    void walkTable(QTextTable *table, DocumentVisitor &visitor) const;
    void walkCell(const QTextTableCell &cell, DocumentVisitor &visitor) const;
    void walkFlat(QTextFrame *frame, bool inTable, DocumentVisitor &visitor) const;
    void emptyCell(DocumentVisitor &visitor) const;
    void walkBlock(const QTextBlock &block, bool inTable, DocumentVisitor::ParagraphEnd end,
                   DocumentVisitor &visitor) const;
    RowProperties rowProperties(QTextTable *table, const QTextTableFormat &tableFormat, int row,
                                const QList<int> &rights) const;
    TableCellFacts &cellFacts(const QTextTableCell &cell) const;
    // Where the cell that covers (row, column) starts.
    std::pair<int, int> cellOrigin(const QTextTableCell &cell, int row, int column) const;
    // By the document's format index: a document has a few formats, used
    // by thousands of runs and paragraphs, and a walk does not change them.
    struct RunFormat
    {
        CharacterProperties chr;
        bool image = false;
    };
    const RunFormat &runFormat(int index, const QTextCharFormat &format) const;
    const ParagraphProperties &paragraphFormat(const QTextBlock &block) const;

    int listNumber(const QTextList *list) const;

    const QTextDocument &m_document;
    mutable QHash<const QTextList *, int> m_listNumbers;
    PageSetup m_page;
    QString m_defaultFamily;
    qreal m_defaultSize = 10.5;
    mutable QHash<int, RunFormat> m_runFormats;
    mutable QHash<int, ParagraphProperties> m_paragraphFormats;
    mutable QHash<int, TableCellFacts> m_cellFacts; // by the cell's format index
    bool m_nestedTables = false;
    mutable int m_depth = 0; // of the table being walked
    static constexpr int MaxNestedDepth = 10;
};

} // namespace tamapiko::engine::word
