#pragma once

// Builds a document from the Word-like properties through a QTextCursor:
// runs of text, pictures, paragraph ends, page breaks and tables (cells,
// rows with their widths, borders, shading and merged cells). The RTF and
// Word readers describe what they read and leave the structure to this one
// class, so a document looks the same whichever of the two it came from.
//
// The same builder loads a file into an empty document and inserts one at
// the caret (paste, file insertion): in Insert mode it keeps the text
// around the caret and never changes a paragraph it did not start.

#include "engine/formats/word/WordProperties.h"

#include <QHash>
#include <QSizeF>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextTableCellFormat>

#include <optional>
#include <vector>

class QTextDocument;

namespace tamapiko::engine::rtf {
struct PictureSource;
}
class QTextList;
class QTextTable;

namespace tamapiko::engine::word {

// The cell formats worked out for a row of a table: a file's rows mostly
// repeat each other, and working a format out (and bringing its values into
// range) costs more than setting it.
struct RowCellFormats
{
    RowProperties row;
    std::vector<QTextTableCellFormat> givenFormats; // each cell's format before
    std::vector<QTextTableCellFormat> formats;
};

class DocumentBuilder
{
public:
    enum class Mode {
        Load,   // the cursor is in an empty document that becomes the file
        Insert, // the content goes in at the cursor, around existing text
    };

    DocumentBuilder(QTextCursor cursor, Mode mode);

    QTextDocument *document() const { return m_cursor.document(); }

    // `inTable` says whether the paragraph being read belongs to a table:
    // the first content of a table paragraph opens a table, the first
    // content outside one closes it.
    void appendText(const QString &text, const CharacterProperties &chr, bool inTable);
    void appendText(const QString &text, const QTextCharFormat &format, bool inTable);
    // A picture shown at its size; the original bytes are kept where
    // decoding would lose something (metafiles, PNG and JPEG as they were).
    // With `shape`, the picture stands at that place on the page instead,
    // anchored to the paragraph being read.
    void appendPicture(const rtf::PictureSource &source, const QString &link, bool inTable,
                       const ShapeProperties *shape = nullptr);

    // A picture linked to a file (absolute path), shown at `sizePoints`
    // (its own size when empty).
    void appendLinkedPicture(const QString &path, QSizeF sizePoints, bool inTable);
    // An embedded file, shown as its icon at the size of `result` when
    // given, and at `shape`'s place when given.
    void appendEmbeddedObject(const QString &fileName, const QByteArray &bytes, const rtf::PictureSource *result,
                              const ShapeProperties *shape, bool inTable);

    // Ends the current paragraph with these properties; `mark` is the
    // format of its paragraph mark (what an empty paragraph shows).
    void endParagraph(const ParagraphProperties &para, const CharacterProperties &mark, bool inTable);
    void endParagraph(const ParagraphProperties &para, const QTextCharFormat &mark, bool inTable);
    // A page break: the next paragraph starts on a new page.
    void pageBreak(const ParagraphProperties &para, const CharacterProperties &mark, bool inTable);
    // A column break: the next paragraph starts the next column.
    void columnBreak(const ParagraphProperties &para, const CharacterProperties &mark, bool inTable);
    // The section being read (Load mode only): call it before the section
    // ends, each time with all of its properties. The first section's page
    // is the document's (firstSection()); later ones start at their first
    // paragraph. A reader that never calls it gets each section break as a
    // page break, unless cancelSectionBreak() follows (a section that
    // continues on the same page).
    void setSectionProperties(const SectionProperties &section);
    // Ends the current section (and its last paragraph); the content that
    // follows starts the next one.
    void sectionBreak(const ParagraphProperties &para, const CharacterProperties &mark, bool inTable);
    void cancelSectionBreak();
    // The first section as given (its page is for the DocumentModel);
    // nothing when the reader gave no sections.
    std::optional<SectionProperties> firstSection() const;
    // The section being read, counted from 0 as the reader gave them.
    int currentSection() const { return std::max(0, int(m_sections.size()) - 1); }
    // After finish(): the section of the document that section `given` (as
    // currentSection() counted it) became, or -1 when it holds no text.
    int documentSection(int given) const;

    // Ends a table cell; the cell's last paragraph takes `para`. A cell end
    // outside a table paragraph (`inTable` false) closes the table instead.
    void endCell(const ParagraphProperties &para, bool inTable);
    // Ends a table row: its cells' widths, borders, shading and merging.
    void endRow(const RowProperties &row);

    // The distance between default tab stops, twips (Load mode only: a
    // pasted clip leaves the document's own alone).
    void setDefaultTabStop(int twips);
    // The pitch of the document's line grid, twips (Load mode only).
    void setLinePitch(int twips);
    void setStretchBeforeLineBreaks(bool stretch);

    // Ends the document; a last paragraph that nothing ended takes `para`.
    void finish(const ParagraphProperties &para);

    // The row about to be read, when the file says so before its cells
    // (RTF does, Word after them): a new table starts with its shape.
    void setRowHint(const RowProperties &row);

    // How deep the table paragraphs read from now on lie: 1 in a table of
    // the body, 2 in a table inside one of its cells, and so on (deeper
    // than MaxTableDepth goes into the deepest table). A deeper paragraph
    // opens tables in the current cell, a shallower one closes them; cell
    // and row ends act on the innermost open table. Unset: 1.
    void setTableDepth(int depth);
    static constexpr int MaxTableDepth = 10;

    bool blockHasContent() const { return m_blockHasContent; }
    // Where the next content goes in the document.
    int position() const { return m_cursor.position(); }
    // Makes the text from `from` to `to` (already appended) the reference
    // mark of a note with `text` (paragraphs split by U+2029), raised unless
    // it is already; `mark`, when given, replaces the mark's text.
    void markNote(int from, int to, const QString &text, bool endnote, const QString &mark = {});
    bool inTable() const { return m_table.has_value(); }
    int tableDepth() const { return m_table ? int(m_outerTables.size()) + 1 : 0; }

private:
    struct TableBuild
    {
        QTextTable *table = nullptr;
        int row = 0;
        int column = 0;
        // The table's size, kept here: asking QTextTable rebuilds its grid
        // after each structure change. Rows are added ahead in growing
        // batches (the unused ones go at the end), so a long table costs
        // a rebuild per batch, not per row.
        int rows = 1;
        int columns = 1;
        bool needRow = false;  // a row ended; the next content starts one
        bool needCell = false; // a cell ended; the next content goes to the next one
        std::vector<RowProperties> rowProperties; // of each ended row
    };

    void ensureContext(bool inTable);
    // Sets the current block's format and the format of its mark.
    void setBlockFormats(const QTextBlockFormat &format, const QTextCharFormat &mark);
    void setBlockFormat(const QTextBlockFormat &format);
    // The current paragraph becomes the next item of its list and level.
    void joinList(const ListMembership &list);
    void startTable();
    void endTable();
    // Gives every cell its row's properties and merges the merged cells.
    void applyRows(QTextTable *table, const std::vector<RowProperties> &rows, int columns);
    // The formats of row `r`'s cells with `row`'s properties.
    const std::vector<QTextTableCellFormat> &rowCellFormats(QTextTable *table, int r, const RowProperties &row,
                                                            int columns);
    // Where cell `column` of the current row starts while the row is filled
    // from the left (that cell and all after it still empty).
    int emptyCellPosition(int column) const;
    QTextBlockFormat withPendingBreak(QTextBlockFormat format);
    const QTextCharFormat &format(const CharacterProperties &chr);
    // The paragraphs of a file mostly repeat the one before: the last
    // conversion is kept.
    const QTextBlockFormat &paragraphFormat(const ParagraphProperties &para);

    QTextCursor m_cursor;
    Mode m_mode;
    bool m_blockIsOurs = false;      // the current block was started by this builder
    bool m_blockHasContent = false;  // anything was inserted into the current block
    bool m_paragraphPending = false; // a paragraph ended; the next one starts with content
    QTextCharFormat m_pendingMarkFormat;
    bool m_breakBeforeBlock = false;
    bool m_breakFromSection = false;
    bool m_columnBreakBeforeBlock = false;
    // The sections given so far: each with the paragraph that ended the
    // section before it (its successor starts the section).
    struct SectionBuild
    {
        SectionProperties properties;
        int endOfPrevious = -1;      // position in the ended paragraph before it
    };
    std::vector<SectionBuild> m_sections;
    std::vector<int> m_documentSections;   // by section given; see documentSection()
    // Stores the sections (but the first) on the paragraphs that start them.
    void applySections();
    std::optional<TableBuild> m_table;     // the innermost open table
    std::vector<TableBuild> m_outerTables; // the tables holding it, outermost first
    int m_wantedDepth = 1;
    QHash<quint64, QTextList *> m_lists; // (list << 8 | level) -> the list of that level
    int m_hintColumns = 1; // the next table's first row, when known before its cells
    int m_hintLeft = 0;

    CharacterProperties m_formatProperties;
    QTextCharFormat m_formatCache;
    bool m_formatCacheValid = false;
    ParagraphProperties m_paragraphProperties;
    QTextBlockFormat m_paragraphFormat;
    bool m_paragraphFormatValid = false;
    QTextBlockFormat m_appliedBlockFormat;
    int m_appliedBlockFormatIndex = -1;
    QTextCharFormat m_appliedMark;
    int m_appliedMarkIndex = -1;
    std::vector<RowCellFormats> m_rowCellFormats; // the latest first
};

} // namespace tamapiko::engine::word
