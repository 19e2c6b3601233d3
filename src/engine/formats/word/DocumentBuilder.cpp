#include "engine/formats/word/DocumentBuilder.h"

#include "engine/EngineProperties.h"
#include "engine/TablePlaceholder.h"
#include "engine/editing/EmbeddedObject.h"
#include "engine/editing/PictureReader.h"
#include "engine/formats/RtfPicture.h"
#include "engine/formats/ValueLimits.h"
#include "engine/formats/word/WordFormats.h"

#include <QCryptographicHash>
#include <QUrl>

#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>
#include <QTextFrame>
#include <QTextTable>

#include <algorithm>

namespace tamapiko::engine::word {

DocumentBuilder::DocumentBuilder(QTextCursor cursor, Mode mode)
    : m_cursor(std::move(cursor))
    , m_mode(mode)
{
    m_blockIsOurs = mode == Mode::Load || m_cursor.block().length() <= 1;
}

const QTextCharFormat &DocumentBuilder::format(const CharacterProperties &chr)
{
    if (!m_formatCacheValid || !(chr == m_formatProperties)) {
        m_formatCache = charFormat(chr);
        m_formatProperties = chr;
        m_formatCacheValid = true;
    }
    return m_formatCache;
}

const QTextBlockFormat &DocumentBuilder::paragraphFormat(const ParagraphProperties &para)
{
    if (!m_paragraphFormatValid || !(para == m_paragraphProperties)) {
        m_paragraphFormat = blockFormat(para);
        m_paragraphProperties = para;
        m_paragraphFormatValid = true;
    }
    return m_paragraphFormat;
}

void DocumentBuilder::setDefaultTabStop(int twips)
{
    if (m_mode != Mode::Load || twips <= 0)
        return;
    QTextFrame *root = document()->rootFrame();
    QTextFrameFormat format = root->frameFormat();
    format.setProperty(DocumentDefaultTabStop, std::min(twips, 31680));
    root->setFrameFormat(format);
}

void DocumentBuilder::setLinePitch(int twips)
{
    if (m_mode != Mode::Load || twips <= 0)
        return;
    QTextFrame *root = document()->rootFrame();
    QTextFrameFormat format = root->frameFormat();
    format.setProperty(DocumentLinePitch, std::min(twips, 31680));
    root->setFrameFormat(format);
}

void DocumentBuilder::setStretchBeforeLineBreaks(bool stretch)
{
    if (m_mode != Mode::Load)
        return;
    QTextFrame *root = document()->rootFrame();
    QTextFrameFormat format = root->frameFormat();
    if (stretch)
        format.clearProperty(DocumentPlainLinesBeforeBreaks);
    else
        format.setProperty(DocumentPlainLinesBeforeBreaks, true);
    root->setFrameFormat(format);
}

void DocumentBuilder::appendText(const QString &text, const CharacterProperties &chr, bool inTable)
{
    appendText(text, format(chr), inTable);
}

void DocumentBuilder::appendText(const QString &text, const QTextCharFormat &format, bool inTable)
{
    if (text.isEmpty())
        return;
    ensureContext(inTable);
    // Line feeds and carriage returns never come from the file's structure;
    // a decoded one would split the block behind QTextCursor's back.
    QString clean = text;
    clean.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    m_cursor.insertText(clean, format);
    m_blockHasContent = true;
}

void DocumentBuilder::markNote(int from, int to, const QString &text, bool endnote, const QString &mark)
{
    QTextCursor range(document());
    range.setPosition(from);
    range.setPosition(to, QTextCursor::KeepAnchor);
    QTextCharFormat format = range.charFormat();
    if (!mark.isEmpty()) {
        range.insertText(mark, format);
        range.setPosition(from);
        range.setPosition(from + int(mark.size()), QTextCursor::KeepAnchor);
    }
    format = QTextCharFormat();
    format.setProperty(CharNote, text);
    if (endnote)
        format.setProperty(CharEndnote, true);
    if (range.charFormat().verticalAlignment() == QTextCharFormat::AlignNormal
        && !range.charFormat().hasProperty(CharBaselineOffset))
        format.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    range.mergeCharFormat(format);
}

void DocumentBuilder::appendPicture(const rtf::PictureSource &source, const QString &link, bool inTable,
                                    const ShapeProperties *shape)
{
    const rtf::DecodedPicture decoded = rtf::decodePicture(source);
    ensureContext(inTable);
    const QByteArray hash = QCryptographicHash::hash(source.bytes, QCryptographicHash::Sha1).toHex().left(20);
    const QUrl url(QStringLiteral("rtfimage:") + QString::fromLatin1(hash));
    document()->addResource(QTextDocument::ImageResource, url, decoded.image);

    QTextImageFormat format;
    if (!link.isEmpty()) {
        format.setAnchor(true);
        format.setAnchorHref(link);
    }
    format.setName(url.toString());
    format.setWidth(decoded.sizePoints.width());
    format.setHeight(decoded.sizePoints.height());
    // Keep what we could not improve on: PNG and JPEG as they were, and
    // metafiles, which only the original bytes describe faithfully.
    if (source.format == rtf::PictureFormat::Png || source.format == rtf::PictureFormat::Jpeg
        || source.format == rtf::PictureFormat::Wmf || source.format == rtf::PictureFormat::Emf || decoded.placeholder) {
        format.setProperty(ImageOriginalData, source.bytes);
        format.setProperty(ImageOriginalFormat, rtf::pictureFormatName(source.format));
    }
    if (shape)
        applyShapeProperties(format, *shape);
    m_cursor.insertImage(format);
    m_blockHasContent = true;
}

void DocumentBuilder::appendLinkedPicture(const QString &path, QSizeF sizePoints, bool inTable)
{
    ensureContext(inTable);
    m_cursor.insertImage(linkedPictureFormat(document(), path, sizePoints));
    m_blockHasContent = true;
}

void DocumentBuilder::appendEmbeddedObject(const QString &fileName, const QByteArray &bytes,
                                           const rtf::PictureSource *result, const ShapeProperties *shape,
                                           bool inTable)
{
    ensureContext(inTable);
    QTextImageFormat format = embeddedObjectFormat(document(), fileName, bytes);
    if (result) {
        const QSizeF size = rtf::decodePicture(*result).sizePoints;
        if (size.width() > 0 && size.height() > 0) {
            format.setWidth(size.width());
            format.setHeight(size.height());
        }
    }
    if (shape)
        applyShapeProperties(format, *shape);
    m_cursor.insertImage(format);
    m_blockHasContent = true;
}

QTextBlockFormat DocumentBuilder::withPendingBreak(QTextBlockFormat format)
{
    if (m_columnBreakBeforeBlock) {
        format.setProperty(ParagraphColumnBreakBefore, true);
        m_columnBreakBeforeBlock = false;
    }
    if (m_breakBeforeBlock) {
        format.setPageBreakPolicy(format.pageBreakPolicy() | QTextFormat::PageBreak_AlwaysBefore);
        format.setProperty(ParagraphPageBreakBefore, true);
        m_breakBeforeBlock = false;
        m_breakFromSection = false;
    }
    return format;
}

void DocumentBuilder::endParagraph(const ParagraphProperties &para, const CharacterProperties &mark, bool inTable)
{
    endParagraph(para, format(mark), inTable);
}

void DocumentBuilder::endParagraph(const ParagraphProperties &para, const QTextCharFormat &mark, bool inTable)
{
    ensureContext(inTable);
    // The mark's format is the block's own character format, which the
    // writers give back as the mark of this same paragraph.
    if (m_blockIsOurs) {
        setBlockFormats(withPendingBreak(paragraphFormat(para)), mark);
        if (para.list.list > 0)
            joinList(para.list);
    } else {
        withPendingBreak({});
    }
    // The next block is made when content arrives, so that a table after
    // this paragraph follows it directly and a final paragraph end adds
    // nothing.
    m_paragraphPending = true;
    m_pendingMarkFormat = mark;
}

// A new block starts with the formats of the block before it, and a file's
// paragraphs mostly repeat those: setting them again would cost a format
// lookup and a document change per paragraph for nothing. Setting a block
// format replaces the block's own, and setting a block character format
// keeps only an object index that a format given before would have kept
// too, so a block already holding the format that a set of the same format
// gave before needs no set.
void DocumentBuilder::setBlockFormats(const QTextBlockFormat &format, const QTextCharFormat &mark)
{
    setBlockFormat(format);
    const QTextBlock block = m_cursor.block();
    if (block.charFormatIndex() != m_appliedMarkIndex || !(mark == m_appliedMark)) {
        m_cursor.setBlockCharFormat(mark);
        m_appliedMark = mark;
        m_appliedMarkIndex = m_cursor.block().charFormatIndex();
    }
}

void DocumentBuilder::setBlockFormat(const QTextBlockFormat &format)
{
    if (m_cursor.block().blockFormatIndex() != m_appliedBlockFormatIndex || !(format == m_appliedBlockFormat)) {
        m_cursor.setBlockFormat(format);
        m_appliedBlockFormat = format;
        m_appliedBlockFormatIndex = m_cursor.block().blockFormatIndex();
    }
}

void DocumentBuilder::joinList(const ListMembership &list)
{
    const quint64 key = quint64(quint32(list.list)) << 8 | quint64(list.level & 0xFF);
    if (QTextList *existing = m_lists.value(key)) {
        existing->add(m_cursor.block());
        return;
    }
    m_lists.insert(key, m_cursor.createList(listFormat(list)));
}

void DocumentBuilder::pageBreak(const ParagraphProperties &para, const CharacterProperties &mark, bool inTable)
{
    ensureContext(inTable);
    if (m_blockHasContent)
        endParagraph(para, mark, inTable);
    m_breakBeforeBlock = true;
    m_breakFromSection = false;
}

void DocumentBuilder::columnBreak(const ParagraphProperties &para, const CharacterProperties &mark, bool inTable)
{
    ensureContext(inTable);
    if (m_blockHasContent)
        endParagraph(para, mark, inTable);
    m_columnBreakBeforeBlock = true;
}

void DocumentBuilder::setSectionProperties(const SectionProperties &section)
{
    if (m_mode != Mode::Load)
        return;
    if (m_sections.empty())
        m_sections.push_back({});
    m_sections.back().properties = section;
}

void DocumentBuilder::sectionBreak(const ParagraphProperties &para, const CharacterProperties &mark, bool inTable)
{
    // A section break right after a paragraph's end ends that paragraph's
    // section; it adds no empty paragraph of its own.
    if (!(m_paragraphPending && !m_sections.empty() && !inTable))
        endParagraph(para, mark, inTable);
    if (!m_sections.empty()) {
        SectionBuild next;
        next.properties = m_sections.back().properties;
        next.endOfPrevious = m_cursor.position();
        m_sections.push_back(next);
        return;
    }
    m_breakBeforeBlock = true;
    m_breakFromSection = true;
}

void DocumentBuilder::cancelSectionBreak()
{
    if (m_breakFromSection)
        m_breakBeforeBlock = false;
}

int DocumentBuilder::documentSection(int given) const
{
    if (given < 0)
        return -1;
    if (size_t(given) >= m_documentSections.size())
        return given == 0 ? 0 : -1;   // a document read without sections
    return m_documentSections[size_t(given)];
}

std::optional<SectionProperties> DocumentBuilder::firstSection() const
{
    if (m_sections.empty())
        return std::nullopt;
    return m_sections.front().properties;
}

void DocumentBuilder::applySections()
{
    if (m_sections.empty())
        return;
    sections::setFirstColumns(document(), m_sections.front().properties.columns);
    QTextCursor cursor(document());
    m_documentSections.assign(m_sections.size(), -1);
    m_documentSections.front() = 0;
    int documentSection = 0;
    int lastStart = -1;
    size_t lastGiven = 0;
    for (size_t i = 1; i < m_sections.size(); ++i) {
        const QTextBlock start = document()->findBlock(m_sections[i].endOfPrevious).next();
        // A section break with nothing after it starts no section.
        if (!start.isValid())
            continue;
        // Breaks one after another start one section: the last one's.
        if (start.position() != lastStart)
            ++documentSection;
        else
            m_documentSections[lastGiven] = -1;
        lastStart = start.position();
        lastGiven = i;
        m_documentSections[i] = documentSection;
        cursor.setPosition(start.position());
        QTextBlockFormat format = start.blockFormat();
        sections::setStart(format, m_sections[i].properties.setup());
        cursor.setBlockFormat(format);
    }
}

// Called before anything goes into the body: opens or closes a table as the
// current paragraph says, and moves to the row and cell that the last row
// or cell end asked for.
void DocumentBuilder::ensureContext(bool wantTable)
{
    const int wanted = wantTable ? m_wantedDepth : 0;
    while (tableDepth() > wanted) {
        m_paragraphPending = false;
        endTable();
    }
    if (wanted > 0 && !m_table) {
        m_paragraphPending = false; // the table follows the ended block directly
        startTable();
    }
    // A table in the cell follows the cell's ended paragraph directly too.
    const bool nestedFollows = m_table && !m_table->needRow && !m_table->needCell && tableDepth() < wanted;
    if (m_paragraphPending && nestedFollows)
        m_paragraphPending = false;
    if (m_paragraphPending) {
        m_paragraphPending = false;
        QTextBlockFormat next = m_cursor.blockFormat();
        // A paragraph read joins a list only when its own properties say so
        // (endParagraph). Coming in with the list of the paragraph before,
        // it would leave it and join again, and Qt passes over every item
        // of a list each time one joins or leaves it.
        if (m_mode == Mode::Load)
            next.clearProperty(QTextFormat::ObjectIndex);
        m_cursor.insertBlock(next, m_pendingMarkFormat);
        m_blockIsOurs = true;
        m_blockHasContent = false;
    }
    if (!m_table)
        return;
    QTextTable *t = m_table->table;
    if (m_table->needRow) {
        m_table->needRow = false;
        m_table->needCell = false;
        ++m_table->row;
        m_table->column = 0;
        if (m_table->row >= m_table->rows) {
            const int more = std::clamp(m_table->rows, 1, 1024);
            t->appendRows(more);
            m_table->rows += more;
        }
        m_cursor.setPosition(emptyCellPosition(0));
        m_blockIsOurs = true;
        m_blockHasContent = false;
    } else if (m_table->needCell) {
        m_table->needCell = false;
        if (m_table->column >= m_table->columns) {
            t->appendColumns(1);
            ++m_table->columns;
        }
        m_cursor.setPosition(emptyCellPosition(m_table->column));
        m_blockIsOurs = true;
        m_blockHasContent = false;
    }
    // A table in the current cell.
    while (tableDepth() < wanted)
        startTable();
}

void DocumentBuilder::setTableDepth(int depth)
{
    m_wantedDepth = std::clamp(depth, 1, MaxTableDepth);
}

// QTextTable::cellAt() would rebuild the table's grid after every added
// row, which made long tables quadratic. The cells from (row, column) on
// are empty, one position each before the table's end.
int DocumentBuilder::emptyCellPosition(int column) const
{
    const TableBuild &build = *m_table;
    const int after = (build.rows - 1 - build.row) * build.columns + (build.columns - 1 - column);
    return build.table->lastPosition() - after;
}

void DocumentBuilder::startTable()
{
    TableBuild build;
    QTextTableFormat format;
    format.setBorder(0);
    format.setBorderCollapse(true);
    format.setCellSpacing(0);
    format.setCellPadding(0);
    // The row hint describes a table of the body; a table in a cell learns
    // its shape from its rows.
    const bool nested = m_table.has_value();
    if (m_hintLeft > 0 && !nested)
        format.setLeftMargin(m_hintLeft / 20.0);
    const bool opensDocument = !nested && tableWillOpenDocument(m_cursor);
    build.columns = nested ? 1 : m_hintColumns;
    build.table = m_cursor.insertTable(1, build.columns, format);
    if (opensDocument)
        markTablePlaceholder(m_cursor.document());
    if (nested)
        m_outerTables.push_back(std::move(*m_table));
    m_cursor = build.table->cellAt(0, 0).firstCursorPosition();
    m_table = build;
    m_blockIsOurs = true;
    m_blockHasContent = false;
}

void DocumentBuilder::setRowHint(const RowProperties &row)
{
    m_hintColumns = std::max<int>(1, int(row.cells.size()));
    m_hintLeft = row.left;
}

void DocumentBuilder::endTable()
{
    QTextTable *t = m_table->table;
    // The rows added ahead and never reached.
    const int used = m_table->row + 1;
    if (m_table->rows > used)
        t->removeRows(used, m_table->rows - used);
    std::vector<RowProperties> &rows = m_table->rowProperties;
    // A last row that no row end closed is shaped like the one before it.
    if (!rows.empty() && int(rows.size()) < used)
        rows.resize(used, rows.back());
    applyRows(t, rows, m_table->columns);
    m_cursor = t->lastCursorPosition();
    m_cursor.movePosition(QTextCursor::NextBlock);
    m_table.reset();
    if (!m_outerTables.empty()) {
        // Back in the cell that holds the table.
        m_table = std::move(m_outerTables.back());
        m_outerTables.pop_back();
    }
    m_blockIsOurs = true;
    m_blockHasContent = m_cursor.block().length() > 1;
}

void DocumentBuilder::applyRows(QTextTable *t, const std::vector<RowProperties> &rows, int columns)
{
    if (rows.empty())
        return;
    const int rowCount = std::min<int>(int(rows.size()), t->rows());
    // The table's own columns (what Qt's HTML and the user's column
    // commands see) are those of its first row with the most cells; each
    // row keeps its own edges on its cells.
    const RowProperties *widest = &rows.front();
    int headerRows = 0;
    bool leading = true;
    for (int r = 0; r < rowCount; ++r) {
        const RowProperties &row = rows[r];
        if (row.cells.size() > widest->cells.size())
            widest = &row;
        leading = leading && row.header;
        if (leading)
            ++headerRows;
        const std::vector<QTextTableCellFormat> &formats = rowCellFormats(t, r, row, columns);
        for (int c = 0; c < columns; ++c)
            t->cellAt(r, c).setFormat(formats[c]);
    }
    QTextTableFormat format = t->format();
    QList<QTextLength> widths;
    int previousRight = widest->left;
    for (const CellProperties &cell : widest->cells) {
        if (widths.size() == columns)
            break;
        const int width = limits::twips(std::max<qint64>(qint64(cell.right) - previousRight, 20));
        widths.append(QTextLength(QTextLength::FixedLength, width / 20.0));
        previousRight = cell.right;
    }
    while (widths.size() < columns)
        widths.append(QTextLength(QTextLength::FixedLength, 1));
    format.setColumnWidthConstraints(widths);
    if (rows.front().left > 0)
        format.setLeftMargin(limits::twips(rows.front().left) / 20.0);
    if (rows.front().alignment == Alignment::Center)
        format.setAlignment(Qt::AlignHCenter);
    else if (rows.front().alignment == Alignment::Right)
        format.setAlignment(Qt::AlignRight);
    format.setHeaderRowCount(headerRows);
    t->setFormat(format);

    // Merged cells last: a merge keeps its first cell's format.
    auto cellAt = [&](int row, int column) -> const CellProperties * {
        if (row >= rowCount || column >= rows[row].cells.size())
            return nullptr;
        return &rows[row].cells.at(column);
    };
    for (int row = 0; row < rowCount; ++row) {
        for (int column = 0; column < columns; ++column) {
            const CellProperties *cell = cellAt(row, column);
            if (!cell || cell->merge || cell->verticalMerge)
                continue;
            int across = 1;
            if (cell->mergeFirst) {
                while (column + across < columns) {
                    const CellProperties *next = cellAt(row, column + across);
                    if (!next || !next->merge)
                        break;
                    ++across;
                }
            }
            int down = 1;
            if (cell->verticalMergeFirst) {
                while (row + down < rowCount) {
                    const CellProperties *next = cellAt(row + down, column);
                    if (!next || !next->verticalMerge)
                        break;
                    ++down;
                }
            }
            if (across > 1 || down > 1)
                t->mergeCells(row, column, down, across);
        }
    }
}

const std::vector<QTextTableCellFormat> &DocumentBuilder::rowCellFormats(QTextTable *t, int r, const RowProperties &row,
                                                                         int columns)
{
    // The cells' formats as they are, without the table they belong to
    // (setting a cell's format keeps that), so that rows of other tables
    // find them too.
    std::vector<QTextTableCellFormat> given(columns);
    for (int c = 0; c < columns; ++c) {
        given[c] = t->cellAt(r, c).format().toTableCellFormat();
        given[c].clearProperty(QTextFormat::ObjectIndex);
    }
    const auto known = std::find_if(m_rowCellFormats.begin(), m_rowCellFormats.end(), [&](const RowCellFormats &entry) {
        return entry.givenFormats == given && entry.row == row;
    });
    if (known != m_rowCellFormats.end()) {
        std::rotate(m_rowCellFormats.begin(), known, known + 1);
        return m_rowCellFormats.front().formats;
    }
    RowCellFormats built{row, std::move(given), {}};
    built.formats.reserve(columns);
    const QVariantList edges = rowEdges(row);
    const CellProperties absent;
    for (int c = 0; c < columns; ++c) {
        QTextTableCellFormat format = built.givenFormats[c];
        applyCellProperties(format, c < row.cells.size() ? row.cells.at(c) : absent, row);
        format.setProperty(TableRowEdges, edges);
        built.formats.push_back(std::move(format));
    }
    // A few shapes of row cover most files; an unusual one pushes out the
    // one used longest ago.
    constexpr size_t kKept = 8;
    if (m_rowCellFormats.size() == kKept)
        m_rowCellFormats.pop_back();
    m_rowCellFormats.insert(m_rowCellFormats.begin(), std::move(built));
    return m_rowCellFormats.front().formats;
}

void DocumentBuilder::endCell(const ParagraphProperties &para, bool inTable)
{
    ensureContext(inTable);
    if (!m_table)
        return;
    setBlockFormat(paragraphFormat(para));
    ++m_table->column;
    m_table->needCell = true;
}

void DocumentBuilder::endRow(const RowProperties &rowProperties)
{
    if (!m_table)
        return;
    // Applied when the table ends, when its grid is built once for all.
    std::vector<RowProperties> &rows = m_table->rowProperties;
    rows.resize(m_table->row + 1, rows.empty() ? rowProperties : rows.back());
    rows[m_table->row] = rowProperties;
    m_table->needRow = true;
    m_table->needCell = false;
}

void DocumentBuilder::finish(const ParagraphProperties &para)
{
    while (m_table)
        endTable();
    if (m_paragraphPending) {
        // A final paragraph end closes the last paragraph; only an
        // insertion keeps the break before the text that follows it.
        if (m_mode == Mode::Insert && !m_cursor.atBlockEnd())
            m_cursor.insertBlock(m_cursor.blockFormat(), m_pendingMarkFormat);
        m_paragraphPending = false;
    } else if (m_blockIsOurs && (m_mode == Mode::Load || (m_blockHasContent && m_cursor.atBlockEnd()))) {
        m_cursor.setBlockFormat(withPendingBreak(paragraphFormat(para)));
    }
    applySections();
}

} // namespace tamapiko::engine::word
