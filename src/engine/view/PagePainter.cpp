#include "engine/view/PagePainter.h"

#include "engine/EngineProperties.h"
#include "engine/layout/BlockMetrics.h"
#include "engine/layout/ListNumbering.h"
#include "engine/layout/PageLayout.h"
#include "engine/formats/word/WordProperties.h"

#include <QGlyphRun>
#include <QPainter>
#include <QPainterPath>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextTable>

#include <algorithm>

namespace tamapiko::engine {

PagePainter::PagePainter(PageLayout &layout, const Options &options)
    : m_layout(layout)
    , m_options(options)
{
}

void PagePainter::paintPage(QPainter *painter, int page)
{
    // Column by column (a page without columns is one): each shows the
    // band of the flow it holds at its own place.
    m_layout.ensurePage(page);
    const PageTable &pages = m_layout.pages();
    const PageFrame frame = pages.page(page);
    for (int c = 0; c < frame.columnCount; ++c) {
        const ColumnBand band = pages.column(frame.firstColumn + c);
        m_pageTop = band.flowTop;
        m_bandBottom = band.flowBottom();
        m_bandWidth = band.rect.width();
        painter->save();
        painter->translate(band.rect.topLeft());
        m_layout.forEachItemOnPage(page, [&](const FlowItem &item) {
            if (item.table)
                paintTable(painter, page, item.table);
            else
                paintParagraph(painter, page, item.block);
        });
        painter->restore();
    }
}

void PagePainter::paintParagraph(QPainter *painter, int page, const QTextBlock &block)
{
    const QTextBlockFormat format = block.blockFormat();
    if (format.background().style() != Qt::NoBrush) {
        const QTextLayout *layout = block.layout();
        for (int i = 0; i < layout->lineCount(); ++i) {
            const int top = m_layout.lineTop(block, i);
            if (!inBand(top))
                continue;
            const int advance = m_layout.lineAdvance(block, layout->lineAt(i));
            painter->fillRect(QRectF(0, top - m_pageTop, m_bandWidth, advance),
                              format.background());
        }
    }
    paintParagraphFrame(painter, page, block);
    paintBlockText(painter, page, block);
}

void PagePainter::paintBlockText(QPainter *painter, int page, const QTextBlock &block, bool wholeSelected)
{
    QList<QTextLayout::FormatRange> selections;
    const int blockStart = block.position();
    const int blockEnd = blockStart + block.length() - 1;
    if (wholeSelected) {
        // In a selected cell the cell itself shows the selection.
        QTextLayout::FormatRange range;
        range.start = 0;
        range.length = block.length() - 1;
        range.format.setForeground(m_options.highlightedText);
        range.format.setBackground(m_options.highlight);
        selections.append(range);
    } else if (m_options.selectionEnd > m_options.selectionStart && m_options.selectionStart <= blockEnd
        && m_options.selectionEnd > blockStart) {
        QTextLayout::FormatRange range;
        range.start = std::max(0, m_options.selectionStart - blockStart);
        range.length = std::min(blockEnd, m_options.selectionEnd) - blockStart - range.start;
        range.format.setBackground(m_options.highlight);
        range.format.setForeground(m_options.highlightedText);
        if (m_options.selectionEnd > blockEnd) {
            // The paragraph end is selected too: show it as a blank.
            range.format.setProperty(QTextFormat::FullWidthSelection, false);
        }
        if (range.length > 0)
            selections.append(range);
        if (m_options.selectionEnd > blockEnd) {
            const QTextLayout *layout = block.layout();
            if (layout->lineCount() > 0) {
                const QTextLine last = layout->lineAt(layout->lineCount() - 1);
                const int top = m_layout.lineTop(block, last.lineNumber());
                if (inBand(top)) {
                    const qreal x = layout->position().x() + last.cursorToX(block.length() - 1);
                    painter->fillRect(QRectF(x, top - m_pageTop, last.height() / 3, last.height()),
                                      m_options.highlight);
                }
            }
        }
    }
    // Only the lines laid out on this page. QTextLayout::draw() also draws the
    // last line that ends above its clip: clipped away on the screen, but its
    // text would still be in a printed or exported page. So without a
    // selection to show, each of this page's lines is drawn by itself.
    const QTextLayout *layout = block.layout();
    qreal bandTop = 1e12;
    qreal bandBottom = -1e12;
    int firstLine = -1;
    int lastLine = -1;
    for (int i = 0; i < layout->lineCount(); ++i) {
        const int top = m_layout.lineTop(block, i);
        if (!inBand(top))
            continue;
        if (firstLine < 0)
            firstLine = i;
        lastLine = i;
        const QTextLine line = layout->lineAt(i);
        bandTop = std::min<qreal>(bandTop, top - m_pageTop);
        bandBottom = std::max<qreal>(bandBottom, top - m_pageTop
                                                     + std::max<qreal>(line.height(), m_layout.lineAdvance(block, line)));
    }
    if (bandBottom <= bandTop)
        return;
    painter->save();
    painter->setClipRect(QRectF(-1e6, bandTop, 2e6, bandBottom - bandTop), Qt::IntersectClip);
    // Text without a colour of its own is black, whatever pen drew last
    // (the grey dotted grid of a table, for one).
    painter->setPen(Qt::black);
    const QRectF clip(-1e6, bandTop, 2e6, bandBottom - bandTop);
    // A paragraph painted once is likely painted again (every key repaints
    // the page): keep its shaped glyphs instead of shaping it anew each time.
    // Only painted paragraphs keep them, which bounds the memory.
    block.layout()->setCacheEnabled(true);
    // The number first: it reads before the text (and so it is in a PDF).
    if (block.textList() && layout->lineCount() > 0 && inBand(m_layout.lineTop(block, 0)))
        paintListMarker(painter, block);
    if (selections.isEmpty()) {
        const QPointF origin = layout->position() - QPointF(0, m_pageTop);
        const bool hiding = !m_layout.showsHiddenText() && hasHiddenText(block);
        for (int i = firstLine; i <= lastLine; ++i) {
            if (hiding)
                paintVisibleRuns(painter, block, layout->lineAt(i), origin);
            else
                layout->lineAt(i).draw(painter, origin);
        }
    } else {
        block.layout()->draw(painter, QPointF(0, -m_pageTop), selections, clip);
    }
    const bool hasLeaders = block.blockFormat().hasProperty(ParagraphTabLeaders);
    for (int i = firstLine; i <= lastLine; ++i) {
        const QTextLine line = layout->lineAt(i);
        const QPointF origin = layout->position() - QPointF(0, m_pageTop);
        paintTrailingUnderline(painter, block, line, origin);
        if (hasLeaders)
            paintTabLeaders(painter, block, line, origin);
    }
    painter->restore();
    if (m_options.controlChars)
        paintControlChars(painter, page, block);
}

bool PagePainter::hasHiddenText(const QTextBlock &block)
{
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        if (it.fragment().charFormat().boolProperty(CharHidden))
            return true;
    }
    return false;
}

void PagePainter::paintVisibleRuns(QPainter *painter, const QTextBlock &block, const QTextLine &line, QPointF origin)
{
    // Hidden text takes next to no room in the line but is still shaped;
    // drawing only the glyphs of the other runs keeps it out of print and
    // of the text a PDF gives back.
    const int lineStart = line.textStart();
    const int lineEnd = lineStart + line.textLength();
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        const QTextCharFormat format = fragment.charFormat();
        const int from = std::max(lineStart, fragment.position() - block.position());
        const int to = std::min(lineEnd, fragment.position() - block.position() + fragment.length());
        if (from >= to || format.boolProperty(CharHidden))
            continue;
        const QBrush foreground = format.foreground();
        painter->setPen(foreground.style() == Qt::NoBrush ? QPen(Qt::black) : QPen(foreground, 0));
        for (const QGlyphRun &run : line.glyphRuns(from, to - from))
            painter->drawGlyphRun(origin, run);
    }
    painter->setPen(Qt::black);
}

// Forms leave room to write in as underlined blanks at the end of a line
// ("氏名:" and then spaces); word processors draw that underline up to the
// margin, where Qt draws no decoration after the line's last visible
// character.
void PagePainter::paintTrailingUnderline(QPainter *painter, const QTextBlock &block, const QTextLine &line,
                                         QPointF origin)
{
    const QString text = block.text();
    const int start = line.textStart();
    int end = std::min<int>(start + line.textLength(), int(text.size()));
    while (end > start && (text.at(end - 1) == QChar::LineSeparator || text.at(end - 1) == QChar::ParagraphSeparator))
        --end;
    int blanks = end;
    while (blanks > start && text.at(blanks - 1).isSpace())
        --blanks;
    if (blanks == end || blanks == start)
        return;
    const QList<QGlyphRun> runs = line.glyphRuns(start, blanks - start);
    if (runs.isEmpty())
        return;
    const QRawFont font = runs.last().rawFont();
    const qreal right = line.x() + line.width();
    // Qt underlines what it counts as the line's own width: only the blanks
    // past it are left to draw.
    const qreal drawn = line.cursorToX(start) + line.naturalTextWidth();
    const qreal y = line.y() + line.ascent() + font.underlinePosition();
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        const int from = std::max(blanks, fragment.position() - block.position());
        const int to = std::min(end, fragment.position() - block.position() + fragment.length());
        const QTextCharFormat format = fragment.charFormat();
        if (from >= to || format.underlineStyle() == QTextCharFormat::NoUnderline
            || format.boolProperty(CharHidden))
            continue;
        const qreal x0 = std::min(std::max(line.cursorToX(from), drawn), right);
        const qreal x1 = std::min(line.cursorToX(to), right);
        if (x1 <= x0)
            continue;
        QColor colour = format.underlineColor();
        if (!colour.isValid())
            colour = format.foreground().style() == Qt::NoBrush ? QColor(Qt::black) : format.foreground().color();
        painter->fillRect(QRectF(origin.x() + x0, origin.y() + y, x1 - x0, std::max<qreal>(font.lineThickness(), 1)),
                          colour);
    }
}

namespace {

// The tab stop, as the layout set it, that a tab starting at x (in the
// line's unaligned coordinates) jumps to, in twips; -1 past the last: the
// tab then goes to a default stop. Qt takes the first stop beyond x, its
// position rounded to 1/64 unit and scaled from 96 dpi to the layout's.
qreal reachedTabStop(const QTextOption &option, qreal x)
{
    const qreal scale = PageLayout::layoutDevice()->logicalDpiX() / 96.0;
    for (const QTextOption::Tab &tab : option.tabs()) {
        const qreal stop = std::round(tab.position * 64) / 64 * scale;
        if (stop > x + 0.01)
            return stop;
    }
    return -1;
}

// The leader of the paragraph's tab stop at `stop` twips. The layout's stops
// may hold one the paragraph has not (a hanging indent's): match by place.
word::TabLeader leaderAt(const QTextBlockFormat &format, qreal stop)
{
    const QList<QTextOption::Tab> tabs = BlockMetrics(format).tabs;
    const QVariantList leaders = format.property(ParagraphTabLeaders).toList();
    for (qsizetype i = 0; i < tabs.size() && i < leaders.size(); ++i) {
        const int leader = leaders.at(i).toInt();
        if (std::abs(tabs.at(i).position - stop) < 1 && leader > 0 && leader <= int(word::TabLeader::MiddleDots))
            return word::TabLeader(leader);
    }
    return word::TabLeader::None;
}

QTextCharFormat charFormatAt(const QTextBlock &block, int index)
{
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        const int from = fragment.position() - block.position();
        if (index >= from && index < from + fragment.length())
            return fragment.charFormat();
    }
    return block.charFormat();
}

QColor inkColour(const QTextCharFormat &format)
{
    return format.foreground().style() == Qt::NoBrush ? QColor(Qt::black) : format.foreground().color();
}

// Copies of one glyph of the font, every `advance` twips from the
// paragraph's origin, that fit between x0 and x1, standing on the baseline.
// Outlines, not text: a PDF must not read a leader as dots typed.
QPainterPath repeatedGlyph(const QRawFont &font, QChar character, qreal x0, qreal x1)
{
    const QList<quint32> glyphs = font.glyphIndexesForString(QString(character));
    if (glyphs.isEmpty() || glyphs.first() == 0)
        return {};
    const qreal advance = font.advancesForGlyphIndexes(glyphs).value(0).x();
    if (advance <= 0)
        return {};
    const QPainterPath outline = font.pathForGlyph(glyphs.first());
    QPainterPath marks;
    for (qreal x = std::ceil(x0 / advance) * advance; x + advance <= x1 + 0.01; x += advance)
        marks.addPath(outline.translated(x, 0));
    return marks;
}

} // namespace

// Dots, hyphens or a line from the end of the text before a tab to the start
// of the text after it, in the tab's font and colour. Repeated marks sit on
// a grid from the paragraph's origin, so those of lines below one another
// line up.
void PagePainter::paintTabLeaders(QPainter *painter, const QTextBlock &block, const QTextLine &line,
                                  QPointF origin) const
{
    const QTextOption option = block.layout()->textOption();
    if (option.textDirection() == Qt::RightToLeft)
        return;
    const QString text = block.text();
    const int start = line.textStart();
    const int end = std::min<int>(start + line.textLength(), int(text.size()));
    // Tabs are placed before the line is aligned: undo its alignment offset.
    const qreal alignment = line.cursorToX(start) - line.x();
    const qreal baseline = origin.y() + line.y() + line.ascent();
    for (int i = start; i < end; ++i) {
        if (text.at(i) != u'\t')
            continue;
        const qreal x0 = line.cursorToX(i);
        const qreal x1 = line.cursorToX(i + 1);
        const qreal stop = reachedTabStop(option, x0 - alignment);
        if (x1 <= x0 || stop < 0)
            continue;
        const word::TabLeader leader = leaderAt(block.blockFormat(), stop);
        const QTextCharFormat format = charFormatAt(block, i);
        if (leader == word::TabLeader::None || (format.boolProperty(CharHidden) && !m_layout.showsHiddenText()))
            continue;
        // A tab has no glyph to take the font from: the one its format names.
        const QRawFont font = QRawFont::fromFont(
            QFont(format.font().resolve(block.document()->defaultFont()), PageLayout::layoutDevice()));
        if (!font.isValid())
            continue;
        if (leader == word::TabLeader::Underline || leader == word::TabLeader::Heavy) {
            const qreal thickness = std::max<qreal>(font.lineThickness(), 1)
                * (leader == word::TabLeader::Heavy ? 3 : 1);
            painter->fillRect(QRectF(origin.x() + x0, baseline + font.underlinePosition(), x1 - x0, thickness),
                              inkColour(format));
            continue;
        }
        const QChar mark = leader == word::TabLeader::Hyphens ? u'-'
            : leader == word::TabLeader::MiddleDots ? QChar(0x00B7) : u'.';
        painter->fillPath(repeatedGlyph(font, mark, x0, x1).translated(origin.x(), baseline), inkColour(format));
    }
}

void PagePainter::paintListMarker(QPainter *painter, const QTextBlock &block)
{
    const ListMarker marker = ListNumbering::marker(block, BlockMetrics(block.blockFormat()),
                                                    BlockMetrics::defaultTabStop(block.document()),
                                                    PageLayout::layoutDevice());
    if (!marker.isValid())
        return;
    QTextLayout number(marker.text, marker.font, PageLayout::layoutDevice());
    number.beginLayout();
    QTextLine line = number.createLine();
    number.endLayout();
    // On the first line's baseline, in the colour of its first character.
    const QTextLayout *layout = block.layout();
    const QTextLine first = layout->lineAt(0);
    const qreal top = m_layout.lineTop(block, 0) - m_pageTop + first.ascent() - line.ascent();
    const auto fragment = block.begin();
    const QTextCharFormat chr = !fragment.atEnd() ? fragment.fragment().charFormat() : block.charFormat();
    painter->setPen(chr.foreground().style() != Qt::NoBrush ? chr.foreground().color() : QColor(Qt::black));
    number.draw(painter, QPointF(layout->position().x() + marker.numberX, top));
}

void PagePainter::paintParagraphFrame(QPainter *painter, int page, const QTextBlock &block)
{
    const BlockMetrics metrics(block);
    const bool tabLines = (metrics.paragraphFrameStyle & FrameTabLines) && !metrics.tabs.isEmpty();
    if (!metrics.hasParagraphFrame() && !tabLines)
        return;
    const QTextLayout *layout = block.layout();
    int top = -1;
    int bottom = -1;
    bool hasFirst = false;
    bool hasLast = false;
    for (int i = 0; i < layout->lineCount(); ++i) {
        const int lineTop = m_layout.lineTop(block, i);
        if (!inBand(lineTop))
            continue;
        if (top < 0)
            top = lineTop;
        bottom = lineTop + m_layout.lineAdvance(block, layout->lineAt(i));
        hasFirst = hasFirst || i == 0;
        hasLast = i == layout->lineCount() - 1;
    }
    if (top < 0)
        return;
    const int width = std::max(1, metrics.paragraphFrameLineWidth);
    const int outset = metrics.paragraphFrameDistance + width / 2;
    const qreal left = metrics.leftIndent - outset;
    const qreal right = m_bandWidth - metrics.rightIndent + outset;
    // Joined frames run their sides through the gap between paragraphs.
    const int gapAbove = metrics.joinsPrevious ? BlockMetrics(block.previous()).spaceBelow + metrics.spaceAbove : 0;
    const qreal y0 = top - m_pageTop - (hasFirst ? (metrics.joinsPrevious ? gapAbove : outset) : 0);
    const qreal y1 = bottom - m_pageTop + (hasLast && !metrics.joinsNext ? outset : 0);
    const bool doubled = metrics.paragraphFrameStyle & FrameDoubleLines;

    painter->save();
    painter->setPen(QPen(Qt::black, width, Qt::SolidLine, Qt::FlatCap));
    auto line = [&](QPointF a, QPointF b, QPointF inward) {
        painter->drawLine(a, b);
        if (doubled)
            painter->drawLine(a + inward * 2 * width, b + inward * 2 * width);
    };
    if (metrics.paragraphFrameStyle & FrameLeft)
        line({left, y0}, {left, y1}, {1, 0});
    if (metrics.paragraphFrameStyle & FrameRight)
        line({right, y0}, {right, y1}, {-1, 0});
    if ((metrics.paragraphFrameStyle & FrameTop) && hasFirst && !metrics.joinsPrevious)
        line({left, y0}, {right, y0}, {0, 1});
    if ((metrics.paragraphFrameStyle & FrameBottom) && hasLast && !metrics.joinsNext)
        line({left, y1}, {right, y1}, {0, -1});
    if (tabLines) {
        // Tab lines: a single vertical line at each tab stop inside the frame.
        painter->setPen(QPen(Qt::black, width, Qt::SolidLine, Qt::FlatCap));
        const qreal origin = layout->position().x();
        for (const QTextOption::Tab &tab : metrics.tabs) {
            const qreal x = origin + tab.position;
            if (x > left && x < right)
                painter->drawLine(QPointF(x, y0), QPointF(x, y1));
        }
    }
    painter->restore();
}

void PagePainter::paintControlChars(QPainter *painter, int page, const QTextBlock &block)
{
    const QTextLayout *layout = block.layout();
    const QString text = block.text();
    const QPointF origin = layout->position() - QPointF(0, m_pageTop);
    painter->save();
    const QColor mark(70, 110, 190);
    painter->setPen(QPen(mark, 0));
    for (int i = 0; i < layout->lineCount(); ++i) {
        const QTextLine line = layout->lineAt(i);
        if (!inBand(m_layout.lineTop(block, i)))
            continue;
        const qreal top = origin.y() + line.y();
        const qreal h = line.height();
        const qreal baseline = top + line.ascent();
        const int end = line.textStart() + line.textLength();
        for (int c = line.textStart(); c < end && c < text.size(); ++c) {
            const QChar ch = text.at(c);
            if (ch != u' ' && ch != u'\t' && ch != QChar(0x3000) && ch != QChar::LineSeparator)
                continue;
            const qreal x0 = origin.x() + line.cursorToX(c);
            const qreal x1 = origin.x() + line.cursorToX(c + 1);
            if (ch == u' ') {
                const qreal r = h / 20;
                painter->setBrush(mark);
                painter->drawEllipse(QPointF((x0 + x1) / 2, baseline - h / 3), r, r);
            } else if (ch == u'\t') {
                const qreal y = baseline - h / 3;
                const qreal tip = std::max(x0 + h / 4, x1 - h / 10);
                painter->drawLine(QPointF(x0 + h / 10, y), QPointF(tip, y));
                painter->drawLine(QPointF(tip, y), QPointF(tip - h / 6, y - h / 8));
                painter->drawLine(QPointF(tip, y), QPointF(tip - h / 6, y + h / 8));
            } else if (ch == QChar(0x3000)) {
                painter->setBrush(Qt::NoBrush);
                const qreal inset = (x1 - x0) / 6;
                painter->drawRect(QRectF(x0 + inset, baseline - (x1 - x0) + inset * 2,
                                         x1 - x0 - 2 * inset, x1 - x0 - 2 * inset));
            } else {
                // Line break: a down-left arrow.
                const qreal x = x0 + h / 3;
                painter->drawLine(QPointF(x, baseline - h / 2), QPointF(x, baseline - h / 6));
                painter->drawLine(QPointF(x, baseline - h / 6), QPointF(x0 + h / 10, baseline - h / 6));
            }
        }
        if (i == layout->lineCount() - 1) {
            // The paragraph mark after the last character.
            const qreal x = origin.x() + line.cursorToX(text.size()) + h / 12;
            QFont font = painter->font();
            font.setPixelSize(std::max(1, int(line.ascent() * 0.8)));
            painter->setFont(font);
            painter->drawText(QPointF(x, baseline), QString(QChar(0x00B6)));
        }
    }
    painter->restore();
}

void PagePainter::paintCellBorders(QPainter *painter, const QRectF &rect, const QTextTableCellFormat &cell,
                                   int tableBorder)
{
    struct Side
    {
        int width;
        int style;
        QPointF from;
        QPointF to;
        QPointF across;      // unit vector across the line
    };
    const Side sides[4] = {
        {QTextFormat::TableCellTopBorder, QTextFormat::TableCellTopBorderStyle, rect.topLeft(), rect.topRight(), {0, 1}},
        {QTextFormat::TableCellBottomBorder, QTextFormat::TableCellBottomBorderStyle, rect.bottomLeft(),
         rect.bottomRight(), {0, 1}},
        {QTextFormat::TableCellLeftBorder, QTextFormat::TableCellLeftBorderStyle, rect.topLeft(), rect.bottomLeft(),
         {1, 0}},
        {QTextFormat::TableCellRightBorder, QTextFormat::TableCellRightBorderStyle, rect.topRight(),
         rect.bottomRight(), {1, 0}},
    };
    painter->setBrush(Qt::NoBrush);
    for (const Side &side : sides) {
        // A side of its own, or the table's line.
        int style = tableBorder > 0 ? QTextFrameFormat::BorderStyle_Solid : QTextFrameFormat::BorderStyle_None;
        qreal width = tableBorder;
        if (cell.hasProperty(side.style)) {
            style = cell.intProperty(side.style);
            width = cell.doubleProperty(side.width) * 20;
        }
        if (style == QTextFrameFormat::BorderStyle_None || width <= 0) {
            // Grid lines show the cells' edges on the screen only.
            if (m_options.tableGridLines) {
                painter->setPen(QPen(QColor(160, 160, 160), 0, Qt::DotLine));
                painter->drawLine(side.from, side.to);
            }
            continue;
        }
        painter->setPen(QPen(Qt::black, width, Qt::SolidLine, Qt::SquareCap));
        if (style == QTextFrameFormat::BorderStyle_Double) {
            // Two lines of the width with a gap of the width between them,
            // centred on the cell's edge, as neighbouring cells share it.
            const QPointF offset = side.across * width;
            painter->drawLine(side.from - offset, side.to - offset);
            painter->drawLine(side.from + offset, side.to + offset);
        } else {
            painter->drawLine(side.from, side.to);
        }
    }
}

bool PagePainter::cellSelected(const QTextTable *table, int row, int column) const
{
    return table == m_options.selectedTable && row >= m_options.firstSelectedRow
        && row < m_options.firstSelectedRow + m_options.selectedRows && column >= m_options.firstSelectedColumn
        && column < m_options.firstSelectedColumn + m_options.selectedColumns;
}

void PagePainter::paintTable(QPainter *painter, int page, QTextTable *table)
{
    const TableGeometry *g = m_layout.tableGeometry(table);
    if (!g)
        return;
    // Header rows again at the top of a further page (first, so that a PDF
    // reads them first): drawn as on their own page, moved down to where
    // the layout left room for them.
    for (const TableGeometry::HeaderRepeat &repeat : g->headerRepeats) {
        if (repeat.page != page || g->headerRows <= 0)
            continue;
        const int headerPage = m_layout.pageOfY(g->rowTop.front());
        const int ownTop = m_pageTop;
        const int ownBottom = m_bandBottom;
        painter->save();
        painter->translate(0, (repeat.top - ownTop) - (g->rowTop.front() - m_layout.pageTop(headerPage)));
        m_pageTop = m_layout.pageTop(headerPage);
        m_bandBottom = m_layout.pageBottom(headerPage);
        paintRows(painter, headerPage, table, *g, 0, g->headerRows);
        m_pageTop = ownTop;
        m_bandBottom = ownBottom;
        painter->restore();
    }
    paintRows(painter, page, table, *g, 0, int(g->rowTop.size()));
}

void PagePainter::paintRows(QPainter *painter, int page, QTextTable *table, const TableGeometry &g, int firstRow,
                            int endRow)
{
    const int columns = int(g.columnX.size()) - 1;
    const int rows = int(g.rowTop.size());
    painter->save();
    for (int r = firstRow; r < endRow; ++r) {
        if (!g.rowMeetsBand(r, m_pageTop, m_bandBottom))
            continue;
        for (int c = 0; c < columns; ++c) {
            const QTextTableCell cell = table->cellAt(r, c);
            if (!cell.isValid() || cell.row() != r || cell.column() != c)
                continue;
            const int lastRow = std::min(rows - 1, r + cell.rowSpan() - 1);
            const int left = g.cellLeft(r, c);
            const int right = g.cellRight(r, c, cell.columnSpan());
            if (right <= left)
                continue; // a cell its row does not have
            // The part of the cell on this page (a tall row runs over pages).
            const int top = std::max(g.rowTop[r], m_pageTop);
            const int bottom = std::min(g.rowTop[lastRow] + g.rowHeight[lastRow], m_bandBottom);
            const QRectF rect(left, top - m_pageTop, right - left, bottom - top);
            const QTextCharFormat cellFormat = cell.format();
            const bool selected = cellSelected(table, r, c);
            if (selected)
                painter->fillRect(rect, m_options.highlight);
            else if (cellFormat.background().style() != Qt::NoBrush)
                painter->fillRect(rect, cellFormat.background());
            paintCellBorders(painter, rect, cellFormat.toTableCellFormat(), g.border);
            // A row of exact height cuts off what its text needs beyond it.
            painter->save();
            if (cellFormat.boolProperty(TableRowExactHeight))
                painter->setClipRect(QRectF(-1e6, rect.top(), 2e6, rect.height()), Qt::IntersectClip);
            for (auto it = cell.begin(); !it.atEnd(); ++it) {
                if (auto *inner = qobject_cast<QTextTable *>(it.currentFrame())) {
                    if (const TableGeometry *innerGeometry = m_layout.tableGeometry(inner))
                        paintRows(painter, page, inner, *innerGeometry, 0, int(innerGeometry->rowTop.size()));
                    else
                        paintFlat(painter, page, inner, selected);
                } else if (it.currentBlock().isValid()) {
                    paintBlockText(painter, page, it.currentBlock(), selected);
                }
            }
            painter->restore();
        }
    }
    painter->restore();
}

// A table nested too deep to be laid out as one: its paragraphs.
void PagePainter::paintFlat(QPainter *painter, int page, QTextTable *table, bool selected)
{
    for (QTextBlock b = table->document()->findBlock(table->firstPosition());
         b.isValid() && b.position() <= table->lastPosition(); b = b.next())
        paintBlockText(painter, page, b, selected);
}

} // namespace tamapiko::engine
