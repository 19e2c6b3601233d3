#include "engine/formats/word/DocumentWalker.h"

#include "engine/EngineProperties.h"
#include "engine/TablePlaceholder.h"
#include "engine/layout/BlockMetrics.h"
#include "engine/layout/ListNumbering.h"

#include "engine/formats/word/WordFormats.h"

#include <QScopeGuard>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextList>
#include <QTextTable>

namespace tamapiko::engine::word {

DocumentWalker::DocumentWalker(const QTextDocument &document, const PageSetup &page)
    : m_document(document)
    , m_page(page)
{
    const QFont font = document.defaultFont();
    m_defaultFamily = font.family();
    if (font.pointSizeF() > 0)
        m_defaultSize = font.pointSizeF();
}

CharacterProperties DocumentWalker::characterProperties(const QTextCharFormat &format) const
{
    return word::characterProperties(format, m_defaultFamily, m_defaultSize);
}

int DocumentWalker::listNumber(const QTextList *list) const
{
    const auto known = m_listNumbers.constFind(list);
    if (known != m_listNumbers.cend())
        return *known;
    const int number = 10000 + int(m_listNumbers.size());
    m_listNumbers.insert(list, number);
    return number;
}

int DocumentWalker::defaultTabStop() const
{
    return BlockMetrics::defaultTabStop(&m_document);
}

int DocumentWalker::linePitch() const
{
    return std::max(0, m_document.rootFrame()->frameFormat().intProperty(DocumentLinePitch));
}

bool DocumentWalker::stretchesBeforeLineBreaks() const
{
    return !m_document.rootFrame()->frameFormat().boolProperty(DocumentPlainLinesBeforeBreaks);
}

namespace {

SectionProperties sectionProperties(const SectionSetup &setup)
{
    SectionProperties section;
    section.start = setup.start;
    section.page = setup.page;
    section.landscape = setup.page.width > setup.page.height;
    section.columns = setup.columns;
    return section;
}

} // namespace

SectionProperties DocumentWalker::firstSection() const
{
    return sectionProperties({SectionStart::NewPage, m_page, sections::firstColumns(&m_document)});
}

std::optional<SectionProperties> DocumentWalker::sectionStartingAt(const QTextBlock &block)
{
    // The document's first paragraph always belongs to the first section.
    if (block.position() == 0)
        return std::nullopt;
    const std::optional<SectionSetup> setup = sections::startingAt(block);
    if (!setup)
        return std::nullopt;
    return sectionProperties(*setup);
}

void DocumentWalker::walk(DocumentVisitor &visitor) const
{
    walkFrame(m_document.rootFrame(), false, visitor);
}

void DocumentWalker::walkFrame(QTextFrame *frame, bool inTable, DocumentVisitor &visitor) const
{
    // Sections start at paragraphs (or tables) of the body.
    const bool body = frame == m_document.rootFrame();
    auto sectionAt = [&](const QTextFrame::iterator &at) -> std::optional<SectionProperties> {
        if (!body || at.atEnd())
            return std::nullopt;
        const QTextFrame *child = at.currentFrame();
        return sectionStartingAt(child ? m_document.findBlock(child->firstPosition()) : at.currentBlock());
    };
    for (auto it = frame->begin(); !it.atEnd(); ++it) {
        if (const std::optional<SectionProperties> section = sectionAt(it))
            visitor.beginSection(*section);
        if (QTextFrame *child = it.currentFrame()) {
            QTextTable *table = qobject_cast<QTextTable *>(child);
            if (!table)
                walkFrame(child, inTable, visitor); // floating frames: their text flows in place
            else if (!inTable)
                walkTable(table, visitor);
            else
                walkFlat(child, inTable, visitor);
            continue;
        }
        if (!isTablePlaceholder(it.currentBlock())) {
            auto next = it;
            ++next;
            const auto end = sectionAt(next) ? DocumentVisitor::ParagraphEnd::Section
                                             : DocumentVisitor::ParagraphEnd::Paragraph;
            walkBlock(it.currentBlock(), inTable, end, visitor);
        }
    }
}

// Tables inside tables come flat, one paragraph per inner cell paragraph,
// so no text is lost in formats or readers without nesting.
void DocumentWalker::walkFlat(QTextFrame *frame, bool inTable, DocumentVisitor &visitor) const
{
    for (auto it = frame->begin(); !it.atEnd(); ++it) {
        if (QTextFrame *child = it.currentFrame())
            walkFlat(child, inTable, visitor);
        else
            walkBlock(it.currentBlock(), inTable, DocumentVisitor::ParagraphEnd::Paragraph, visitor);
    }
}

void DocumentWalker::walkCell(const QTextTableCell &cell, DocumentVisitor &visitor) const
{
    // In the cell's order; its last paragraph (Qt keeps one after a table)
    // ends the cell.
    QTextBlock last;
    for (auto it = cell.begin(); !it.atEnd(); ++it) {
        if (!it.currentFrame())
            last = it.currentBlock();
    }
    for (auto it = cell.begin(); !it.atEnd(); ++it) {
        if (QTextFrame *child = it.currentFrame()) {
            auto *table = qobject_cast<QTextTable *>(child);
            if (table && m_nestedTables && m_depth < MaxNestedDepth)
                walkTable(table, visitor);
            else
                walkFlat(child, true, visitor);
            continue;
        }
        const QTextBlock block = it.currentBlock();
        walkBlock(block, true, block == last ? DocumentVisitor::ParagraphEnd::Cell : DocumentVisitor::ParagraphEnd::Paragraph,
                  visitor);
    }
    if (!last.isValid())
        emptyCell(visitor);
}

void DocumentWalker::emptyCell(DocumentVisitor &visitor) const
{
    ParagraphProperties para;
    para.tableDepth = m_depth;
    visitor.beginParagraph(para, true);
    visitor.endParagraph(DocumentVisitor::ParagraphEnd::Cell, characterProperties(QTextCharFormat()));
}

TableCellFacts &DocumentWalker::cellFacts(const QTextTableCell &cell) const
{
    const int index = cell.tableCellFormatIndex();
    auto it = m_cellFacts.find(index);
    if (it == m_cellFacts.end()) {
        TableCellFacts facts;
        facts.format = cell.format().toTableCellFormat();
        facts.rowSpan = facts.format.tableCellRowSpan();
        facts.columnSpan = facts.format.tableCellColumnSpan();
        facts.height = word::rowHeight(facts.format);
        facts.keepTogether = facts.format.boolProperty(TableRowKeepTogether);
        facts.ownCells = int(facts.format.property(TableRowEdges).toList().size()) - 1;
        it = m_cellFacts.insert(index, std::move(facts));
    }
    return *it;
}

std::pair<int, int> DocumentWalker::cellOrigin(const QTextTableCell &cell, int row, int column) const
{
    // A cell of one row and one column is where it was asked for: asking
    // the table where it starts would search its cells again.
    const TableCellFacts &facts = cellFacts(cell);
    if (facts.rowSpan == 1 && facts.columnSpan == 1)
        return {row, column};
    return {cell.row(), cell.column()};
}

RowProperties DocumentWalker::rowProperties(QTextTable *table, const QTextTableFormat &tableFormat, int row,
                                            const QList<int> &rights) const
{
    RowProperties properties;
    properties.left = twips(tableFormat.leftMargin());
    // The page draws the table's border on every side a cell leaves to it.
    const qreal tableBorder = std::max<qreal>(0, tableFormat.border());
    if (tableFormat.alignment() & Qt::AlignHCenter)
        properties.alignment = Alignment::Center;
    else if (tableFormat.alignment() & Qt::AlignRight)
        properties.alignment = Alignment::Right;
    properties.header = row < tableFormat.headerRowCount();
    properties.depth = m_depth;
    // A cell that starts in this row: it carries the row's geometry.
    QTextTableCellFormat ownFormat;
    int ownCells = 0;
    bool ownFound = false;
    int height = 0;
    const int columns = table->columns();
    properties.cells.reserve(columns);
    for (int column = 0; column < columns; ++column) {
        const QTextTableCell cell = table->cellAt(row, column);
        const auto [cellRow, cellColumn] = cellOrigin(cell, row, column);
        TableCellFacts &facts = cellFacts(cell);
        if (facts.tableBorder != tableBorder) {
            facts.cell = word::cellProperties(facts.format, tableBorder);
            facts.tableBorder = tableBorder;
        }
        CellProperties cellProperties = facts.cell;
        cellProperties.right = rights.at(column);
        if (cellRow == row && !ownFound) {
            ownFormat = facts.format;
            ownCells = facts.ownCells;
            ownFound = true;
        }
        if (cellRow == row && facts.rowSpan == 1) {
            if (std::abs(facts.height) > std::abs(height))
                height = facts.height;
            properties.keepTogether = properties.keepTogether || facts.keepTogether;
        }
        if (cellRow != row)
            cellProperties.verticalMerge = true;
        else if (facts.rowSpan > 1)
            cellProperties.verticalMergeFirst = true;
        if (cellColumn != column)
            cellProperties.merge = true;
        else if (facts.columnSpan > 1)
            cellProperties.mergeFirst = true;
        properties.cells.append(cellProperties);
    }
    properties.height = height;
    properties.gap = twips(ownFormat.leftPadding());
    properties.paddingLeft = properties.gap;
    properties.paddingRight = twips(ownFormat.rightPadding());
    // A row read from a file gives back its own edges, and only the cells
    // it has (unless the user wrote into one it lacked).
    if (ownCells > 0) {
        int keep = ownCells;
        for (int column = ownCells; column < columns; ++column) {
            const QTextTableCell cell = table->cellAt(row, column);
            if (cell.row() == row && cell.column() == column && cell.lastPosition() > cell.firstPosition())
                keep = column + 1;
        }
        properties.cells.resize(std::min<qsizetype>(keep, properties.cells.size()));
        readRowGeometry(properties, ownFormat);
        for (int column = ownCells; column < properties.cells.size(); ++column)
            properties.cells[column].right = properties.cells[column - 1].right + 720;
    }
    return properties;
}

void DocumentWalker::walkTable(QTextTable *table, DocumentVisitor &visitor) const
{
    ++m_depth;
    const auto leave = qScopeGuard([this] { --m_depth; });
    const QTextTableFormat tableFormat = table->format();
    const int columns = table->columns();
    const QList<QTextLength> constraints = tableFormat.columnWidthConstraints();
    const qreal textWidth = m_page.textWidth() / 20.0 - tableFormat.leftMargin();
    QList<int> rights;
    int right = twips(tableFormat.leftMargin());
    for (int column = 0; column < columns; ++column) {
        qreal width = textWidth / columns;
        if (column < constraints.size()) {
            const QTextLength &length = constraints.at(column);
            if (length.type() == QTextLength::FixedLength)
                width = length.rawValue();
            else if (length.type() == QTextLength::PercentageLength)
                width = textWidth * length.rawValue() / 100.0;
        }
        right += std::max(20, twips(width));
        rights.append(right);
    }

    const int rows = table->rows();
    for (int row = 0; row < rows; ++row) {
        const RowProperties properties = rowProperties(table, tableFormat, row, rights);
        visitor.beginRow(properties);
        for (int column = 0; column < int(properties.cells.size()); ++column) {
            const QTextTableCell cell = table->cellAt(row, column);
            if (cellOrigin(cell, row, column) == std::pair(row, column)) {
                walkCell(cell, visitor);
            } else {
                emptyCell(visitor); // covered by a merged cell: an empty cell of its own
            }
        }
        visitor.endRow(properties);
    }
}

const DocumentWalker::RunFormat &DocumentWalker::runFormat(int index, const QTextCharFormat &format) const
{
    auto it = m_runFormats.constFind(index);
    if (it == m_runFormats.cend())
        it = m_runFormats.insert(index, RunFormat{characterProperties(format), format.isImageFormat()});
    return *it;
}

const ParagraphProperties &DocumentWalker::paragraphFormat(const QTextBlock &block) const
{
    const int index = block.blockFormatIndex();
    auto it = m_paragraphFormats.constFind(index);
    if (it == m_paragraphFormats.cend())
        it = m_paragraphFormats.insert(index, word::paragraphProperties(block.blockFormat()));
    return *it;
}

void DocumentWalker::walkBlock(const QTextBlock &block, bool inTable, DocumentVisitor::ParagraphEnd end,
                               DocumentVisitor &visitor) const
{
    if (QTextList *list = block.textList()) {
        ParagraphProperties para = paragraphFormat(block);
        para.list = listMembership(list->format());
        // Lists without a number of their own (HTML, the user's) are told
        // apart by the list of their first level.
        if (para.list.list <= 0)
            para.list.list = listNumber(list);
        para.list.itemText = ListNumbering::itemText(block);
        para.tableDepth = inTable ? m_depth : 0;
        visitor.beginParagraph(para, inTable);
    } else if (inTable && m_depth > 1) {
        ParagraphProperties para = paragraphFormat(block);
        para.tableDepth = m_depth;
        visitor.beginParagraph(para, inTable);
    } else {
        visitor.beginParagraph(paragraphFormat(block), inTable);
    }
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        const int index = fragment.charFormatIndex();
        const auto known = m_runFormats.constFind(index);
        const RunFormat &run = known != m_runFormats.cend() ? *known : runFormat(index, fragment.charFormat());
        if (run.image) {
            const QTextImageFormat image = fragment.charFormat().toImageFormat();
            for (qsizetype i = 0; i < fragment.length(); ++i)
                visitor.picture(image, run.chr);
            continue;
        }
        visitor.text(fragment.text(), run.chr);
    }
    const int markIndex = block.charFormatIndex();
    const auto mark = m_runFormats.constFind(markIndex);
    visitor.endParagraph(end, (mark != m_runFormats.cend() ? *mark : runFormat(markIndex, block.charFormat())).chr);
}

} // namespace tamapiko::engine::word
