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

namespace tamapiko::engine::word {

namespace {

// Where cell `column` of the table's last row starts while that row is
// filled from the left: that cell and the ones after it are still empty, one
// position each before the table's end. (QTextTable::cellAt() rebuilds the
// table's grid after every appended row, which made long tables quadratic.)
int emptyCellPosition(const QTextTable *table, int column)
{
    return table->lastPosition() - (table->columns() - 1 - column);
}

} // namespace

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
    const QTextBlock block = m_cursor.block();
    if (block.blockFormatIndex() != m_appliedBlockFormatIndex || !(format == m_appliedBlockFormat)) {
        m_cursor.setBlockFormat(format);
        m_appliedBlockFormat = format;
        m_appliedBlockFormatIndex = m_cursor.block().blockFormatIndex();
    }
    if (block.charFormatIndex() != m_appliedMarkIndex || !(mark == m_appliedMark)) {
        m_cursor.setBlockCharFormat(mark);
        m_appliedMark = mark;
        m_appliedMarkIndex = m_cursor.block().charFormatIndex();
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

void DocumentBuilder::sectionBreak(const ParagraphProperties &para, const CharacterProperties &mark, bool inTable)
{
    endParagraph(para, mark, inTable);
    m_breakBeforeBlock = true;
    m_breakFromSection = true;
}

void DocumentBuilder::cancelSectionBreak()
{
    if (m_breakFromSection)
        m_breakBeforeBlock = false;
}

// Called before anything goes into the body: opens or closes a table as the
// current paragraph says, and moves to the row and cell that the last row
// or cell end asked for.
void DocumentBuilder::ensureContext(bool wantTable)
{
    if (wantTable && !m_table) {
        m_paragraphPending = false; // the table follows the ended block directly
        startTable();
    } else if (!wantTable && m_table) {
        m_paragraphPending = false;
        endTable();
    }
    if (m_paragraphPending) {
        m_paragraphPending = false;
        m_cursor.insertBlock(m_cursor.blockFormat(), m_pendingMarkFormat);
        m_blockIsOurs = true;
        m_blockHasContent = false;
    }
    if (!m_table)
        return;
    QTextTable *t = m_table->table;
    if (m_table->needRow) {
        m_table->needRow = false;
        m_table->needCell = false;
        t->appendRows(1);
        ++m_table->row;
        m_table->column = 0;
        m_cursor.setPosition(emptyCellPosition(t, 0));
        m_blockIsOurs = true;
        m_blockHasContent = false;
    } else if (m_table->needCell) {
        m_table->needCell = false;
        if (m_table->column >= t->columns())
            t->appendColumns(1);
        m_cursor.setPosition(emptyCellPosition(t, m_table->column));
        m_blockIsOurs = true;
        m_blockHasContent = false;
    }
}

void DocumentBuilder::startTable()
{
    TableBuild build;
    QTextTableFormat format;
    format.setBorder(0);
    format.setBorderCollapse(true);
    format.setCellSpacing(0);
    format.setCellPadding(0);
    if (m_hintLeft > 0)
        format.setLeftMargin(m_hintLeft / 20.0);
    const bool opensDocument = tableWillOpenDocument(m_cursor);
    build.table = m_cursor.insertTable(1, m_hintColumns, format);
    if (opensDocument)
        markTablePlaceholder(m_cursor.document());
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
    const int rows = t->rows();
    const int columns = t->columns();
    auto cellAt = [&](int row, int column) -> const CellProperties * {
        const auto it = m_table->cells.constFind((quint64(row) << 32) | quint32(column));
        return it == m_table->cells.cend() ? nullptr : &it.value();
    };
    for (int row = 0; row < rows; ++row) {
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
                while (row + down < rows) {
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
    m_cursor = t->lastCursorPosition();
    m_cursor.movePosition(QTextCursor::NextBlock);
    m_table.reset();
    m_blockIsOurs = true;
    m_blockHasContent = m_cursor.block().length() > 1;
}

void DocumentBuilder::endCell(const ParagraphProperties &para, bool inTable)
{
    ensureContext(inTable);
    if (!m_table)
        return;
    m_cursor.setBlockFormat(paragraphFormat(para));
    ++m_table->column;
    m_table->needCell = true;
}

void DocumentBuilder::endRow(const RowProperties &rowProperties)
{
    if (!m_table)
        return;
    QTextTable *t = m_table->table;
    const int row = m_table->row;
    const int columns = std::min<int>(t->columns(), int(rowProperties.cells.size()));
    int previousRight = rowProperties.left;
    QList<QTextLength> widths;
    for (int column = 0; column < columns; ++column) {
        const CellProperties &cell = rowProperties.cells.at(column);
        m_table->cells.insert((quint64(row) << 32) | quint32(column), cell);
        QTextTableCell tableCell = t->cellAt(row, column);
        QTextTableCellFormat format = tableCell.format().toTableCellFormat();
        applyCellProperties(format, cell, rowProperties);
        tableCell.setFormat(format);
        const int width = limits::twips(std::max<qint64>(qint64(cell.right) - previousRight, 20));
        widths.append(QTextLength(QTextLength::FixedLength, width / 20.0));
        previousRight = cell.right;
    }
    if (!m_table->widthsSet && columns == t->columns() && columns > 0) {
        QTextTableFormat format = t->format();
        format.setColumnWidthConstraints(widths);
        if (rowProperties.left > 0)
            format.setLeftMargin(limits::twips(rowProperties.left) / 20.0);
        if (rowProperties.alignment == Alignment::Center)
            format.setAlignment(Qt::AlignHCenter);
        else if (rowProperties.alignment == Alignment::Right)
            format.setAlignment(Qt::AlignRight);
        t->setFormat(format);
        m_table->widthsSet = true;
    }
    // Header rows lead the table: the count grows while they follow
    // each other from the first row.
    if (rowProperties.header && t->format().headerRowCount() == row) {
        QTextTableFormat format = t->format();
        format.setHeaderRowCount(row + 1);
        t->setFormat(format);
    }
    m_table->needRow = true;
    m_table->needCell = false;
}

void DocumentBuilder::finish(const ParagraphProperties &para)
{
    if (m_table)
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
}

} // namespace tamapiko::engine::word
