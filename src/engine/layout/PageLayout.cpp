#include "engine/layout/PageLayout.h"

#include "engine/EngineProperties.h"
#include "engine/FontSubstitution.h"
#include "engine/ResourceImage.h"
#include "engine/TablePlaceholder.h"
#include "engine/layout/BlockMetrics.h"
#include "engine/layout/BorrowedLineHeight.h"
#include "engine/layout/InlinePictureSize.h"
#include "engine/layout/ListNumbering.h"

#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QtMath>
#include <QPainter>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextTable>

#include <algorithm>
#include <climits>
#include <cmath>

namespace tamapiko::engine {

namespace {

// The slices a large document is stacked in on the event loop, after the
// first pages were stacked at once: short, so that a key pressed meanwhile
// waits for no more than a fraction of a frame.
constexpr qint64 BackgroundSliceMs = 6;
constexpr int BackgroundAfterEditMs = 20;

QTextTable *outermostTable(const QTextDocument *document, int position)
{
    QTextFrame *root = document->rootFrame();
    QTextTable *outer = nullptr;
    for (QTextFrame *frame = document->frameAt(position); frame && frame != root;
         frame = frame->parentFrame()) {
        if (auto *table = qobject_cast<QTextTable *>(frame))
            outer = table;
    }
    return outer;
}

} // namespace

PageLayout::PageLayout(QTextDocument *document)
    : QAbstractTextDocumentLayout(document)
{
    setPaintDevice(layoutDevice());
    m_background.setSingleShot(true);
    m_background.setInterval(0);
    connect(&m_background, &QTimer::timeout, this, &PageLayout::runSlice);
}

PageLayout::~PageLayout() = default;

QPaintDevice *PageLayout::layoutDevice()
{
    // 1440 dots per inch: one device pixel is one twip.
    static QImage device = [] {
        QImage image(1, 1, QImage::Format_ARGB32_Premultiplied);
        const int dotsPerMeter = qRound(1440 / 0.0254);
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
        return image;
    }();
    return &device;
}

void PageLayout::setPageSetup(const PageSetup &page)
{
    if (page == m_page && m_pages.isUniform())
        return;
    m_page = page;
    m_pages.setUniform(page);
    relayoutAll();
}

void PageLayout::setPageProvider(PageTable::Provider provider)
{
    m_pages.setProvider(std::move(provider));
    relayoutAll();
}

void PageLayout::setBandHeights(PageTable::Bands bands)
{
    m_bands = std::move(bands);
    bandHeightsChanged();
}

void PageLayout::bandHeightsChanged()
{
    m_pages.setBands(m_bands);
    if (!m_suspended)
        relayoutAll();
}

int PageLayout::textWidth() const
{
    return m_pages.page(0).body.width();
}

int PageLayout::textHeight() const
{
    return m_pages.page(0).body.height();
}

// ---------------------------------------------------------------------------
// Sections

void PageLayout::collectSections()
{
    m_sections.clear();
    m_sections.push_back({QTextBlock(), {SectionStart::NewPage, m_page, sections::firstColumns(document())}});
    // Only the document's root frame format tells whether any section
    // follows: a scan of every block costs nothing next to a full layout.
    for (QTextBlock b = document()->begin().next(); b.isValid(); b = b.next()) {
        if (!sections::startsSection(b) || itemAt(b).block != b)
            continue;
        m_sections.push_back({b, *sections::startingAt(b)});
    }
}

bool PageLayout::sectionsChanged(const QTextBlock &first, const QTextBlock &last) const
{
    int known = 0;
    for (QTextBlock b = first; b.isValid(); b = b.next()) {
        if (b.position() > 0 && sections::startsSection(b))
            ++known;
        if (b == last)
            break;
    }
    int listed = 0;
    int previous = 0;
    for (size_t i = 1; i < m_sections.size(); ++i) {
        const QTextBlock &start = m_sections[i].start;
        // A start that is gone, moved before another or lost its set-up.
        if (!start.isValid() || start.position() <= previous || !sections::startsSection(start)
            || *sections::startingAt(start) != m_sections[i].setup)
            return true;
        previous = start.position();
        if (start.position() >= first.position() && start.position() <= last.position())
            ++listed;
    }
    return known != listed;
}

int PageLayout::sectionOf(const QTextBlock &block) const
{
    if (m_sections.size() < 2)
        return 0;
    const int position = block.position();
    const auto after = std::upper_bound(m_sections.begin() + 1, m_sections.end(), position,
                                        [](int at, const SectionEntry &entry) { return at < entry.start.position(); });
    return int(after - m_sections.begin()) - 1;
}

int PageLayout::sectionWidth(int section) const
{
    if (section < 0 || section >= int(m_sections.size()))
        return textWidth();
    const SectionSetup &setup = m_sections[section].setup;
    const int body = section == 0 ? textWidth() : PageTable::frameFor(setup.page).body.width();
    if (setup.columns.isSingle())
        return body;
    // Lines are broken before their column is known: to the narrowest.
    int width = body;
    for (const auto &[left, columnWidth] : setup.columns.place(body))
        width = std::min(width, columnWidth);
    return width;
}

FlowItem PageLayout::enterSection(const FlowItem &item, StackState &state, bool mayRestart)
{
    const int next = state.section + 1;
    if (next >= int(m_sections.size()) || m_sections[next].start != item.block)
        return {};
    state.section = next;
    m_stackWidth = sectionWidth(next);
    m_pages.limitSections(next);
    const SectionSetup &setup = m_sections[next].setup;
    int y = state.y;
    int firstPage;   // the first page laid out on the section's page set-up
    if (setup.start == SectionStart::Continuous) {
        // Below the section before, on its page; a page still empty is
        // already the new section's.
        firstPage = pageOfY(y) + (m_pages.isPageTop(y) ? 0 : 1);
        if (!m_pages.isPageTop(y)) {
            if (m_pages.beginSection(next, firstPage, setup.page, setup.columns))
                m_mustReach = document()->characterCount();
            return continueSection(item, state, setup, mayRestart);
        }
    } else {
        if (!m_pages.isPageTop(y) || state.lastPage >= pageOfY(y))
            y = nextPageTop(y);
        firstPage = pageOfY(y);
        const bool odd = firstPage % 2 == 0;   // page numbers count from 1
        if ((setup.start == SectionStart::OddPage && !odd) || (setup.start == SectionStart::EvenPage && odd))
            ++firstPage;   // the page between stays blank
    }
    if (m_pages.beginSection(next, firstPage, setup.page, setup.columns))
        m_mustReach = document()->characterCount();   // every page after it has moved
    if (setup.start != SectionStart::Continuous)
        y = pageTop(firstPage);
    state.y = y;
    return {};
}

int PageLayout::rowOfSectionBefore(const PageFrame &frame, int current, int section) const
{
    // The rows of a page stay from its last layout until split anew: text
    // that grew can run on from the section's own columns into a row laid
    // out for the section after. Its row is then the nearest above with
    // the section's columns (and its text did not fit there).
    const QList<QPair<int, int>> placed = m_sections[section - 1].setup.columns.place(frame.body.width());
    const auto rowMatches = [&](int top) {
        QList<QPair<int, int>> row;
        for (int c = frame.firstColumn; c < frame.firstColumn + frame.columnCount; ++c) {
            if (m_pages.column(c).rect.top() == top)
                row.append({m_pages.column(c).rect.left(), m_pages.column(c).rect.width()});
        }
        return row == placed;
    };
    const int top = m_pages.column(current).rect.top();
    if (rowMatches(top))
        return top;
    for (int c = current - 1; c >= frame.firstColumn; --c) {
        const int above = m_pages.column(c).rect.top();
        if (above < top && rowMatches(above))
            return above;
    }
    return top;
}

FlowItem PageLayout::continueSection(const FlowItem &item, StackState &state, const SectionSetup &setup,
                                     bool mayRestart)
{
    const int section = state.section;
    const int page = pageOfY(state.y);
    const PageFrame frame = m_pages.page(page);
    // The column the text before ended in (it may have filled it).
    int current = columnOfY(state.y);
    if (m_pages.isColumnTop(state.y) && current > frame.firstColumn)
        --current;
    const bool again = m_balance.section == section && m_balance.page == page;
    // The columns the section before has on this page: a row of them.
    const int regionTop = again ? m_balance.regionTop : rowOfSectionBefore(frame, current, section);
    int first = frame.firstColumn;
    while (first < frame.firstColumn + frame.columnCount && m_pages.column(first).rect.top() != regionTop)
        ++first;
    int last = first;
    while (last + 1 < frame.firstColumn + frame.columnCount && m_pages.column(last + 1).rect.top() == regionTop)
        ++last;
    const int count = last - first + 1;
    const int height = m_pages.column(first).height;
    const int available = frame.body.height() - regionTop;
    auto used = [&] {
        int sum = 0;
        for (int c = first; c <= std::min(current, last); ++c)
            sum += c < current ? m_pages.column(c).height : state.y - m_pages.column(c).flowTop;
        return sum;
    };
    auto split = [&](int at) {
        if (!m_pages.splitPage(page, regionTop, regionTop + at, setup.columns))
            return false;
        m_mustReach = document()->characterCount();   // the pages after it are new
        return true;
    };
    if (count == 1 && current == first) {
        // One column above: the new columns start right below its text.
        if (!setup.columns.isSingle() || frame.columnCount > 1) {
            split(state.y - m_pages.column(first).flowTop);
            state.y = m_pages.column(first + 1).flowTop;
        }
        return {};
    }
    // Several columns above are balanced: as short as they can be with all
    // their text, which takes laying that text out again at each height
    // (first the shortest the text could take, then taller until it fits).
    const bool fits = current <= last;
    const bool below = last + 1 < frame.firstColumn + frame.columnCount;
    auto goOn = [&] {
        if (fits && below)
            state.y = m_pages.column(last + 1).flowTop;
        return FlowItem();
    };
    if (!mayRestart)
        return goOn();
    // Heights tried are whole steps, from one below the shortest possible
    // up: the same height is found whatever the columns were before.
    int wanted;
    if (!again) {
        m_balance = {section, page, regionTop};
        wanted = std::max(BalanceStep, used() / count / BalanceStep * BalanceStep);
        if (wanted == height && !fits)
            wanted += BalanceStep;
    } else if (fits) {
        return goOn();
    } else {
        wanted = height + BalanceStep;   // did not fit
    }
    if (!split(std::min(wanted, available)))
        return goOn();
    // Lay the columns' text out again: from the section's start when it is
    // on this page, else from the page's first item.
    const QTextBlock start = m_sections[section - 1].start;
    const bool startHere = start.isValid() && start.layout()->lineCount() > 0 && pageOfY(lineTop(start, 0)) == page;
    const QTextBlock firstBlock = startHere ? start : m_pages.page(page).firstBlock;
    return itemAt(firstBlock.isValid() ? firstBlock : item.block);
}

// ---------------------------------------------------------------------------
// Items

FlowItem PageLayout::itemAt(const QTextBlock &block) const
{
    if (!block.isValid())
        return {};
    if (QTextTable *table = outermostTable(document(), block.position()))
        return {document()->findBlock(table->firstPosition()), table};
    return {block, nullptr};
}

FlowItem PageLayout::nextItem(const FlowItem &item) const
{
    if (item.table)
        return itemAt(document()->findBlock(item.table->lastPosition() + 1));
    return itemAt(item.block.next());
}

FlowItem PageLayout::previousItem(const FlowItem &item) const
{
    return itemAt(item.block.previous());
}

bool PageLayout::needsBreaking(const FlowItem &item) const
{
    if (!item.table)
        return item.block.layout()->lineCount() == 0;
    const int last = item.table->lastPosition();
    for (QTextBlock b = item.block; b.isValid() && b.position() < last; b = b.next()) {
        if (b.layout()->lineCount() == 0)
            return true;
    }
    return !m_tables.contains(item.table);
}

int PageLayout::entryY(const FlowItem &item) const
{
    if (item.table) {
        const auto it = m_tables.constFind(item.table);
        return it == m_tables.constEnd() ? INT_MIN : it->entryY;
    }
    return int(item.block.layout()->position().y());
}

int PageLayout::lineTop(const QTextBlock &block, int lineIndex) const
{
    const QTextLayout *layout = block.layout();
    // A paragraph the stacking has not reached again since an edit has no
    // lines yet: it stands at its top.
    if (lineIndex < 0 || lineIndex >= layout->lineCount())
        return int(layout->position().y());
    return int(layout->position().y() + layout->lineAt(lineIndex).y()
               + borrowedLineHeight(block, lineIndex).ascent);
}

namespace {

// The first run of the block with text on `line` whose format passes
// `test`; an invalid fragment when none does.
template <typename Test>
QTextFragment findRunOfLine(const QTextBlock &block, const QTextLine &line, Test test)
{
    const int start = block.position() + line.textStart();
    const int end = start + line.textLength();
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        if (fragment.position() < end && fragment.position() + fragment.length() > start
            && test(fragment.charFormat()))
            return fragment;
    }
    return {};
}

// The height of the text of a line that holds a picture in the line (the
// picture's character format carries the font); 0 for a line without one.
qreal pictureLineTextHeight(const QTextBlock &block, const QTextLine &line)
{
    const QTextFragment picture = findRunOfLine(block, line, [](const QTextCharFormat &format) {
        return format.isImageFormat() && !isAnchoredObject(format);
    });
    if (!picture.isValid())
        return 0;
    // A picture read from a file has no font of its own: the paragraph's
    // (that of its mark) is the text's.
    const QTextCharFormat format = picture.charFormat();
    const QFont font = format.hasProperty(QTextFormat::FontPointSize) ? format.font() : block.charFormat().font();
    return QFontMetricsF(font, PageLayout::layoutDevice()).height();
}

} // namespace

int PageLayout::lineAdvance(const QTextBlock &block, const QTextLine &line) const
{
    const QTextBlockFormat format = block.blockFormat();
    const qreal natural = line.height() - borrowedLineHeight(block, line.lineNumber()).height;
    int advance = BlockMetrics::lineAdvance(format, std::max(natural, m_eastAsianLineHeight.of(block, line)));
    // Spacing in multiples of a line widens a line holding a picture by
    // what it adds to the line's text, not to the picture, as LibreOffice
    // lays such lines out.
    if (format.lineHeightType() == QTextBlockFormat::ProportionalHeight && format.lineHeight() > 100) {
        if (const qreal text = pictureLineTextHeight(block, line); text > 0 && text < line.height())
            advance = int(std::ceil(line.height() + text * (format.lineHeight() - 100) / 100 - 0.01));
    }
    // A document with a line grid (common in Japanese documents) gives every
    // line of the body whole rows of it; an exact line height and text in
    // tables stay as they are, as in the programs that write such files.
    const int pitch = document()->rootFrame()->frameFormat().intProperty(DocumentLinePitch);
    if (pitch <= 0 || format.lineHeightType() == QTextBlockFormat::FixedHeight
        || block.document()->frameAt(block.position()) != block.document()->rootFrame())
        return advance;
    return (advance + pitch - 1) / pitch * pitch;
}

int PageLayout::plainLineAdvance(const QTextBlock &block, const QTextLine &line) const
{
    return BlockMetrics::lineAdvance(block.blockFormat(), std::max(line.height(), m_eastAsianLineHeight.of(block, line)));
}

int PageLayout::lastLinePage(const FlowItem &item) const
{
    if (item.table) {
        const TableGeometry &g = m_tables[item.table];
        return g.rowTop.empty() ? pageOfY(g.entryY) : pageOfY(g.rowTop.back() + g.rowHeight.back() - 1);
    }
    const QTextLayout *layout = item.block.layout();
    if (layout->lineCount() == 0)
        return pageOfY(layout->position().y());
    return pageOfY(lineTop(item.block, layout->lineCount() - 1));
}

int PageLayout::exitY(const FlowItem &item) const
{
    if (item.table)
        return m_tables[item.table].exitY;
    const QTextBlock &block = item.block;
    const QTextLayout *layout = block.layout();
    // The placeholder before a table that opens the document takes no room
    // (see placeParagraph), also when stacking resumes after it.
    if (layout->lineCount() == 0 || isTablePlaceholder(block))
        return int(layout->position().y());
    const QTextLine last = layout->lineAt(layout->lineCount() - 1);
    const int top = lineTop(block, last.lineNumber());
    const BlockMetrics metrics(block);
    if (metrics.breakAfter)
        return pageBottom(pageOfY(top));
    return std::min(top + lineAdvance(block, last) + metrics.spaceBelow, columnBottom(columnOfY(top)));
}

// ---------------------------------------------------------------------------
// Breaking and placing

namespace {

// Marks the format ranges this layout adds itself, so that a relayout can
// replace them while keeping those of others (the input method's preedit).
constexpr int LayoutFormatMark = QTextFormat::UserProperty + 0x1FF000;

// A block layout's format ranges with this layout's own made anew: bold runs
// whose font has no bold face are drawn with a family that has one (see
// boldCapableFamily); hidden text takes next to no room and no ink unless
// shown, then with a dotted underline. The ranges are in the layout's text,
// which includes a preedit string shown inside the block.
QList<QTextLayout::FormatRange> layoutFormats(const QTextBlock &block, const QTextLayout *layout, bool showHidden)
{
    QList<QTextLayout::FormatRange> formats = layout->formats();
    formats.removeIf([](const QTextLayout::FormatRange &range) {
        return range.format.hasProperty(LayoutFormatMark);
    });
    const int preeditAt = layout->preeditAreaPosition();
    const int preeditLength = preeditAt >= 0 ? int(layout->preeditAreaText().size()) : 0;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        if (!fragment.isValid())
            continue;
        const QTextCharFormat format = fragment.charFormat();
        const QString family = boldCapableFamily(format.font());
        const bool hidden = format.boolProperty(CharHidden);
        if (family.isEmpty() && !hidden)
            continue;
        int start = fragment.position() - block.position();
        if (preeditAt >= 0 && start >= preeditAt)
            start += preeditLength;
        QTextCharFormat standIn;
        if (!family.isEmpty())
            standIn.setFontFamilies({family});
        if (hidden && showHidden) {
            standIn.setUnderlineStyle(QTextCharFormat::DotLine);
        } else if (hidden) {
            standIn.setFontPointSize(0.05);   // a twip on the layout device
            standIn.setForeground(Qt::transparent);
        }
        standIn.setProperty(LayoutFormatMark, true);
        formats.append({start, fragment.length(), standIn});
    }
    return formats;
}

// Word processors stretch a justified line that ends in a manual line break
// as they stretch a wrapped one: its spaces grow (or, in a line without
// spaces such as Japanese text, the room between its characters) until it
// fills its width. Qt leaves such a line unjustified; the ranges returned
// widen it. Empty when no line needs them.
QList<QTextLayout::FormatRange> stretchBeforeLineBreaks(const QTextLayout *layout, const QString &text)
{
    QList<QTextLayout::FormatRange> ranges;
    for (int i = 0; i < layout->lineCount(); ++i) {
        const QTextLine line = layout->lineAt(i);
        int end = std::min(line.textStart() + line.textLength(), int(text.size()));
        if (end <= line.textStart() || text.at(end - 1) != QChar::LineSeparator)
            continue;
        --end;
        while (end > line.textStart() && text.at(end - 1).isSpace())
            --end;   // trailing blanks take no part
        const qreal room = line.width() - line.naturalTextWidth() - 1;
        int length = end - line.textStart();
        if (room <= 0 || length < 2)
            continue;
        int spaces = 0;
        for (int c = line.textStart(); c < end; ++c)
            spaces += text.at(c) == u' ';
        QTextCharFormat stretch;
        if (spaces > 0) {
            stretch.setFontWordSpacing(room / spaces);
        } else {
            // Qt takes absolute letter spacing in 1/96 inch (unlike word
            // spacing, which is in device units).
            stretch.setFontLetterSpacingType(QFont::AbsoluteSpacing);
            stretch.setFontLetterSpacing(room / (length - 1) * 96 / 1440);
            --length;   // the last character keeps its own width
        }
        stretch.setProperty(LayoutFormatMark, true);
        ranges.append({line.textStart(), length, stretch});
    }
    return ranges;
}

} // namespace

void PageLayout::breakBlock(const QTextBlock &block, int width)
{
    QTextLayout *layout = block.layout();
    const QTextBlockFormat format = block.blockFormat();
    const BlockMetrics metrics(format);

    QTextOption option = document()->defaultTextOption();
    option.setAlignment(format.alignment());
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    // Qt scales tab positions by the layout device's resolution over 96 dpi;
    // our device has 1440, so hand them over in 1/96 inch to land on twips.
    constexpr qreal twipsPerTabUnit = 1440.0 / 96.0;
    QList<QTextOption::Tab> tabs = metrics.tabs;
    // A hanging indent is a tab stop of its own (unless a tab set before it
    // comes first): the tab after a list number goes to where the lines
    // below start.
    const int firstLineStart = metrics.leftIndent + metrics.firstLineIndent;
    if (metrics.firstLineIndent < 0 && std::none_of(tabs.cbegin(), tabs.cend(), [&](const QTextOption::Tab &tab) {
            return tab.position > firstLineStart && tab.position <= metrics.leftIndent;
        })) {
        tabs.append(QTextOption::Tab(metrics.leftIndent, QTextOption::LeftTab));
        std::sort(tabs.begin(), tabs.end(), [](const auto &a, const auto &b) { return a.position < b.position; });
    }
    for (QTextOption::Tab &tab : tabs)
        tab.position /= twipsPerTabUnit;
    option.setTabs(tabs);
    option.setTabStopDistance(BlockMetrics::defaultTabStop(document()) / twipsPerTabUnit);
    option.setFlags(option.flags() & ~(QTextOption::ShowTabsAndSpaces
                                       | QTextOption::ShowLineAndParagraphSeparators));
    layout->setTextOption(option);
    ++m_brokenBlocks;

    // A list item's first line starts after its number.
    const ListMarker marker = block.textList()
        ? ListNumbering::marker(block, metrics, BlockMetrics::defaultTabStop(document()), layoutDevice())
        : ListMarker();

    auto breakLines = [&] {
        layout->beginLayout();
        int y = 0;
        bool first = true;
        while (true) {
            QTextLine line = layout->createLine();
            if (!line.isValid())
                break;
            int x = metrics.leftIndent + (first ? metrics.firstLineIndent : 0);
            if (marker.isValid())
                x = first ? marker.textX : marker.leftIndent;
            line.setLineWidth(std::max(1, width - std::max(0, x) - metrics.rightIndent));
            line.setLeadingIncluded(line.leading() > 0 && lineGapCounts(block, line));
            line.setPosition(QPointF(std::max(0, x), y));
            y += plainLineAdvance(block, line);
            first = false;
        }
        layout->endLayout();
    };
    const QList<QTextLayout::FormatRange> before = layout->formats();
    const QList<QTextLayout::FormatRange> formats = layoutFormats(block, layout, m_showHiddenText);
    if (formats != before)
        layout->setFormats(formats);
    breakLines();
    if ((format.alignment() & Qt::AlignJustify) && layout->preeditAreaPosition() < 0
        && block.text().contains(QChar::LineSeparator)
        && !document()->rootFrame()->frameFormat().boolProperty(DocumentPlainLinesBeforeBreaks)) {
        const QList<QTextLayout::FormatRange> stretch = stretchBeforeLineBreaks(layout, block.text());
        if (!stretch.isEmpty()) {
            layout->setFormats(formats + stretch);
            breakLines();
        }
    }
    if (layout->formats() != before)
        noteOwnFormatChange(block);
}

bool PageLayout::lineGapCounts(const QTextBlock &block, const QTextLine &line)
{
    // A line takes the line gap of its fonts as Word does: any run whose
    // font adds its gap gives the line Qt's.
    return findRunOfLine(block, line, [](const QTextCharFormat &format) {
        return BlockMetrics::lineGapCounts(format.font());
    }).isValid();
}

void PageLayout::setShowHiddenText(bool show)
{
    if (show == m_showHiddenText)
        return;
    m_showHiddenText = show;
    relayoutAll();
}

void PageLayout::recordPage(int page, const QTextBlock &block, int line, StackState &state)
{
    if (page <= state.lastPage) {
        m_pages.extendPage(state.lastPage, block, line);
        return;
    }
    for (int p = state.lastPage + 1; p <= page; ++p)
        m_pages.openPage(p, block, line);
    state.lastPage = page;
}

void PageLayout::placeParagraph(const QTextBlock &block, StackState &state)
{
    QTextLayout *layout = block.layout();
    const QTextBlockFormat format = block.blockFormat();
    const BlockMetrics metrics(format);
    const int entry = state.y;
    layout->setPosition(QPointF(0, entry));
    if (isTablePlaceholder(block)) {
        // The table that opens the document starts at the top of the page.
        for (int i = 0; i < layout->lineCount(); ++i)
            layout->lineAt(i).setPosition(QPointF(layout->lineAt(i).position().x(), 0));
        recordPage(pageOfY(entry), block, 0, state);
        return;
    }
    const BlockMetrics joined(block);

    int y = entry;
    if (metrics.breakBefore && !m_pages.isPageTop(y))
        y = nextPageTop(y);
    if (format.boolProperty(ParagraphColumnBreakBefore) && !m_pages.isColumnTop(y))
        y = columnTop(columnOfY(y) + 1);
    if (!m_pages.isColumnTop(y))
        y += joined.spaceAbove;   // space above is dropped at the top of a page or column
    if (!m_pages.isColumnTop(y) && format.boolProperty(ParagraphKeepWithNext))
        y = keptWithNext(block, y);
    if (!m_pages.isColumnTop(y) && format.boolProperty(ParagraphKeepTogether)) {
        // All lines on one page (or column): the paragraph starts a page
        // when it does not fit below y but fits on a page of its own.
        const int need = linesHeight(block, layout->lineCount());
        const int column = columnOfY(y);
        if (y + need > columnBottom(column) && need <= columnBottom(column + 1) - columnTop(column + 1))
            y = columnTop(column + 1);
    }

    int lastTop = y;
    const std::vector<PageNotes::Mark> marks = m_notes.marksIn(block);
    m_floating.placeAnchors(block, y);
    if (shapedByObjects(block, y)) {
        y = m_floating.placeLinesAround(
            block, entry, y, m_stackWidth, [&](const QTextLine &line) { return lineAdvance(block, line); },
            [&](int line, int top) {
                recordPage(pageOfY(top), block, line, state);
                lastTop = top;
            });
    } else {
        std::vector<int> lineNotes;
        for (const PageNotes::Mark &mark : marks) {
            if (mark.endnote)
                continue;
            lineNotes.resize(layout->lineCount());
            const QTextLine line = layout->lineForTextPosition(mark.position - block.position());
            lineNotes[line.isValid() ? line.lineNumber() : 0] += mark.height;
        }
        const std::vector<int> tops = lineTops(block, y, lineNotes);
        for (int i = 0; i < layout->lineCount(); ++i) {
            QTextLine line = layout->lineAt(i);
            // The text of a line stands at its own height, whatever Qt
            // borrowed for it from a picture on the next line.
            line.setPosition(QPointF(line.position().x(), tops[i] - entry - borrowedLineHeight(block, i).ascent));
            recordPage(pageOfY(tops[i]), block, i, state);
            lastTop = tops[i];
        }
        if (!tops.empty())
            y = tops.back() + lineAdvance(block, layout->lineAt(layout->lineCount() - 1));
    }
    if (layout->lineCount() == 0)
        recordPage(pageOfY(y), block, 0, state);
    for (const PageNotes::Mark &mark : marks) {
        const QTextLine line = layout->lineForTextPosition(mark.position - block.position());
        m_notes.place(mark.position, pageOfY(lineTop(block, line.isValid() ? line.lineNumber() : 0)));
    }
    y = std::min(y + joined.spaceBelow, columnBottom(columnOfY(lastTop)));
    if (metrics.breakAfter)
        y = pageBottom(pageOfY(lastTop));
    state.y = y;
}

namespace {

// Where a paragraph breaks to the next page when its line `wanted` does not
// fit and widow and orphan control is on: the first line of the new page,
// so that neither the paragraph's first line stays alone at the foot of a
// page nor its last line alone at the top of the next. `first` is the
// paragraph's first line on this page; 0 means the whole paragraph moves
// (allowed only when `mayMoveWhole`). Gives `wanted` when nothing helps.
int widowSafeBreak(int first, int wanted, int lineCount, bool mayMoveWhole)
{
    for (int k = wanted; k > first; --k) {
        const bool orphanSafe = first > 0 || k >= 2;
        const bool widowSafe = lineCount - k >= 2;
        if (orphanSafe && widowSafe)
            return k;
    }
    return first == 0 && mayMoveWhole ? 0 : wanted;
}

} // namespace

std::vector<int> PageLayout::lineTops(const QTextBlock &block, int y, const std::vector<int> &lineNotes) const
{
    const QTextLayout *layout = block.layout();
    const int count = layout->lineCount();
    const bool widowControl = !block.blockFormat().boolProperty(ParagraphWidowControlOff);
    std::vector<int> tops(count);
    std::vector<int> advances(count);
    for (int i = 0; i < count; ++i)
        advances[i] = lineAdvance(block, layout->lineAt(i));
    int first = 0;       // the paragraph's first line on the page being filled
    int ownNotes = 0;    // footnotes of this paragraph's lines already on that page
    auto notesOf = [&](int line) { return lineNotes.empty() ? 0 : lineNotes[line]; };
    // The foot of a page that its footnotes take, with those of `line`.
    auto footRoom = [&](int page, int line) {
        if (m_notes.isEmpty())
            return 0;
        return PageNotes::areaFor(m_notes.footnotesHeight(page, block.position()) + ownNotes + notesOf(line));
    };
    for (int i = 0; i < count;) {
        // Columns are pages of their own here (a page without columns is one).
        int column = columnOfY(y);
        // Line i either does not fit in the column, or the line before
        // filled it exactly: either way the paragraph breaks before line i.
        const bool filled = i > first && column > columnOfY(tops[i - 1]);
        if (filled)
            column = columnOfY(tops[i - 1]);
        if (filled
            || (y > columnTop(column)
                && y + advances[i] + footRoom(m_pages.column(column).page, i) > columnBottom(column))) {
            if (widowControl)
                i = widowSafeBreak(first, i, count, first == 0 && tops[0] > columnTop(column));
            y = columnTop(column + 1);
            first = i;
            ownNotes = 0;
        }
        tops[i] = y;
        y += advances[i];
        ownNotes += notesOf(i);
        ++i;
    }
    return tops;
}

int PageLayout::bodyBottom(int column, int position) const
{
    const int bottom = columnBottom(column);
    if (m_notes.isEmpty())
        return bottom;
    return bottom - PageNotes::areaFor(m_notes.footnotesHeight(m_pages.column(column).page, position));
}

void PageLayout::placeEndnotes(int y)
{
    const int lastPage = m_notes.placeEndnotes(y);
    const int count = std::max(m_bodyPageCount, lastPage + 1);
    const QTextBlock last = document()->lastBlock();
    for (int page = m_bodyPageCount; page < count; ++page)
        m_pages.openPage(page, last, std::max(0, last.layout()->lineCount() - 1));
    m_pages.setCount(count);
}

bool PageLayout::shapedByObjects(const QTextBlock &block, int top) const
{
    return m_floating.mayShapeParagraphs()
        && m_floating.shapesParagraph(block, top, linesHeight(block, block.layout()->lineCount()));
}

int PageLayout::linesHeight(const QTextBlock &block, int lines) const
{
    const QTextLayout *layout = block.layout();
    int height = 0;
    for (int i = 0; i < std::min(lines, layout->lineCount()); ++i)
        height += lineAdvance(block, layout->lineAt(i));
    return height;
}

int PageLayout::keptWithNext(const QTextBlock &block, int y)
{
    // The paragraph and the start of the next one must share a page, and
    // so must every paragraph of a chain kept with its next: when they do
    // not fit below y but do on a fresh page, they all go there. The
    // paragraphs ahead are broken into lines now (and placed later).
    int need = linesHeight(block, block.layout()->lineCount());
    QTextBlock current = block;
    for (int chained = 0;; ++chained) {
        const QTextBlock next = current.next();
        if (!next.isValid() || itemAt(next).table || chained > 64)
            return y;
        const BlockMetrics nextMetrics(next);
        if (nextMetrics.breakBefore)
            return y;   // it starts a page anyway
        if (next.layout()->lineCount() == 0) {
            breakBlock(next, m_stackWidth);
            next.layout()->setPosition(QPointF(0, NotPlacedY));
        }
        need += BlockMetrics(current).spaceBelow + nextMetrics.spaceAbove;
        const QTextBlockFormat nextFormat = next.blockFormat();
        const int lines = next.layout()->lineCount();
        if (nextFormat.boolProperty(ParagraphKeepWithNext)) {
            need += linesHeight(next, lines);
            current = next;
            continue;
        }
        // The lines of the next paragraph that cannot be parted from its first.
        int leading = 1;
        if (nextFormat.boolProperty(ParagraphKeepTogether))
            leading = lines;
        else if (!nextFormat.boolProperty(ParagraphWidowControlOff))
            leading = lines <= 3 ? lines : 2;
        need += linesHeight(next, leading);
        break;
    }
    const int column = columnOfY(y);
    if (y + need > columnBottom(column) && need <= columnBottom(column + 1) - columnTop(column + 1))
        return columnTop(column + 1);
    return y;
}

void PageLayout::placeTable(QTextTable *table, StackState &state)
{
    if (!m_tables.contains(table)) {
        connect(table, &QObject::destroyed, this, [this, table] { m_tables.remove(table); });
    }
    const QTextBlock tableStart = document()->findBlock(table->firstPosition());
    state.y = TableLayout(*this).place(table, m_tables[table], state.y, [&](int page, int row) {
        recordPage(page, tableStart, row, state);
    });
}

// ---------------------------------------------------------------------------
// Stacking

void PageLayout::relayoutAll()
{
    m_notesToPrune = true;
    m_eastAsianLineHeight.clear();
    m_balance = {};
    collectSections();
    m_pages.setFirstColumns(m_sections.front().setup.columns);
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next())
        b.layout()->clearLayout();
    m_tables.clear();
    m_resumePosition = 0;
    m_mustReach = document()->characterCount();
    stack(-1, -1, m_foregroundBudgetMs);
}

void PageLayout::noteOwnFormatChange(const QTextBlock &block)
{
    const int start = block.position();
    const int end = start + block.length();
    if (m_ownChangeStart < 0) {
        m_ownChangeStart = start;
        m_ownChangeEnd = end;
    } else {
        m_ownChangeStart = std::min(m_ownChangeStart, start);
        m_ownChangeEnd = std::max(m_ownChangeEnd, end);
    }
}

// Setting a block layout's format ranges makes the document note that block
// as changed, and it reports the note with its next edit, joined with that
// edit's range: a key typed on page 1 after page 800 was laid out would lay
// out pages 1 to 800 again. Reporting the note at once, outside any edit,
// lets it be recognised and dropped.
void PageLayout::reportOwnFormatChanges()
{
    if (m_ownChangeStart < 0 || m_qtChangeDepth > 0)
        return;
    m_absorbingOwnChanges = true;
    document()->markContentsDirty(m_ownChangeStart, 0);
    m_absorbingOwnChanges = false;
    m_ownChangeStart = -1;
}

void PageLayout::documentChanged(int from, int charsRemoved, int charsAdded)
{
    if (m_absorbingOwnChanges && from == m_ownChangeStart && charsRemoved == charsAdded
        && charsAdded == m_ownChangeEnd - m_ownChangeStart)
        return;   // nothing but the format ranges set by this layout
    // Anything else is laid out again; format ranges set meanwhile are
    // forgotten by the document together with this report.
    ++m_qtChangeDepth;
    relayoutRange(from, charsRemoved, charsAdded);
    --m_qtChangeDepth;
    m_ownChangeStart = -1;
}

void PageLayout::relayoutRange(int from, int charsRemoved, int charsAdded)
{
    if (charsRemoved > 0)
        m_notesToPrune = true;
    if (m_suspended)
        return;
    const int delta = charsAdded - charsRemoved;
    if (m_resumePosition >= 0) {
        if (m_resumePosition > from)
            m_resumePosition = std::max(from, m_resumePosition + delta);
        if (m_mustReach > from)
            m_mustReach = std::max(from, m_mustReach + delta);
    }

    QTextBlock block = document()->findBlock(from);
    if (!block.isValid())
        block = document()->lastBlock();
    QTextBlock last = document()->findBlock(from + charsAdded);
    if (!last.isValid())
        last = document()->lastBlock();
    // A paragraph's neighbours may change with it (frames that join).
    if (block.previous().isValid())
        block = block.previous();
    if (last.next().isValid())
        last = last.next();
    if (sectionsChanged(block, last)) {
        relayoutAll();
        return;
    }
    for (QTextBlock b = block; b.isValid(); b = b.next()) {
        b.layout()->clearLayout();
        if (b == last)
            break;
    }

    const int start = block.position();
    if (m_resumePosition < 0) {
        m_resumePosition = start;
        m_mustReach = from + charsAdded;
    } else {
        m_resumePosition = std::min(m_resumePosition, start);
        m_mustReach = std::max(m_mustReach, from + charsAdded);
    }
    stack(-1, -1, m_foregroundBudgetMs);
}

void PageLayout::invalidateBlock(const QTextBlock &block)
{
    if (!block.isValid())
        return;
    relayoutRange(block.position(), block.length(), block.length());
}

void PageLayout::setSuspended(bool suspended)
{
    if (suspended == m_suspended)
        return;
    m_suspended = suspended;
    // What was read meanwhile may have brought headers the pages make way for.
    if (!suspended)
        bandHeightsChanged();
}

void PageLayout::scheduleBackground(int delayMs)
{
    m_background.start(delayMs);
}

void PageLayout::runSlice()
{
    m_inSlice = true;
    stack(-1, -1, BackgroundSliceMs);
    m_inSlice = false;
}

void PageLayout::ensureComplete()
{
    if (m_resumePosition >= 0)
        stack(INT_MAX, INT_MAX, 0);
}

void PageLayout::ensurePage(int page)
{
    if (m_resumePosition >= 0)
        stack(-1, page, 0);
}

void PageLayout::ensurePosition(int position)
{
    if (m_resumePosition >= 0 && position >= m_resumePosition - 1)
        stack(position, -1, 0);
}

void PageLayout::stack(int untilPosition, int untilPage, qint64 budgetMs)
{
    if (m_resumePosition < 0 || m_inStack || m_suspended)
        return;
    m_inStack = true;
    QElapsedTimer clock;
    clock.start();

    QTextBlock startBlock = document()->findBlock(m_resumePosition);
    if (!startBlock.isValid())
        startBlock = document()->lastBlock();
    FlowItem item = itemAt(startBlock);
    const auto stateBefore = [this](const FlowItem &start) {
        StackState state;
        const FlowItem previous = previousItem(start);
        if (previous.isValid()) {
            state.y = exitY(previous);
            state.lastPage = lastLinePage(previous);
            // The previous item ends exactly at a page end: the next one
            // starts that page.
            state.lastPage = std::min(state.lastPage, pageOfY(state.y - 1));
        }
        // The section before the item: the item enters its own when it
        // begins one.
        state.section = sectionOf(previous.isValid() ? previous.block : start.block);
        m_stackWidth = sectionWidth(state.section);
        m_pages.limitSections(state.section);
        return state;
    };
    StackState state = stateBefore(item);
    if (!m_floating.isEmpty())
        m_floating.prune();
    m_notes.setWidth(textWidth());
    if (!m_notes.isEmpty() && m_notesToPrune)
        m_notes.prune();
    m_notesToPrune = false;
    int floatingRestarts = 0;
    int balanceRestarts = 0;
    m_balance = {};   // each stacking balances anew, also to shorter columns
    int firstChangedPage = std::max(0, state.lastPage);
    int reachedPage = state.lastPage;
    // Pages whose footnotes changed: their lines below the change are
    // stacked again, and their note areas set anew.
    int notesFrom = INT_MAX;
    int notesTo = INT_MIN;
    auto takeNoteChanges = [&] {
        const auto [first, last] = m_notes.takeChangedPages();
        if (first > last)
            return;
        notesFrom = std::min(notesFrom, first);
        notesTo = std::max(notesTo, last);
        m_settleFrom = std::max(m_settleFrom, pageBottom(last));
    };
    takeNoteChanges();
    const int pagesBefore = m_pages.count();
    bool paused = false;

    while (item.isValid()) {
        if (m_pages.takeForgotten())
            m_mustReach = document()->characterCount();   // the pages of later sections come anew
        const int itemPosition = item.block.position();
        const bool dirty = needsBreaking(item);
        if (!dirty && itemPosition > m_mustReach && entryY(item) == state.y && state.y >= m_settleFrom
            && (item.table || !shapedByObjects(item.block, state.y))) {
            item = {};   // settled: everything from here on is where it was
            state.lastPage = INT_MAX;
            break;
        }
        if (m_sections.size() > 1) {
            const FlowItem restart = enterSection(item, state, balanceRestarts < MaximumBalanceRestarts);
            if (restart.isValid()) {
                ++balanceRestarts;
                m_mustReach = std::max(m_mustReach, itemPosition);
                item = restart;
                state = stateBefore(item);
                continue;
            }
        }
        if (item.table) {
            placeTable(item.table, state);
        } else {
            if (dirty)
                breakBlock(item.block, m_stackWidth);
            placeParagraph(item.block, state);
        }
        reachedPage = std::max(reachedPage, state.lastPage);
        takeNoteChanges();
        // An object that appeared, moved or went on a page stacked already
        // changes the room of the lines above its anchor: stack that page
        // again (a few times at most, should objects push their anchors
        // back and forth between pages).
        const int changed = m_floating.takeChangedPage();
        if (changed >= 0)
            m_settleFrom = std::max(m_settleFrom, pageBottom(changed));
        if (changed >= 0 && changed <= state.lastPage && floatingRestarts < 4) {
            ++floatingRestarts;
            m_mustReach = std::max(m_mustReach, itemPosition);
            const QTextBlock first = m_pages.page(changed).firstBlock;
            item = itemAt(first.isValid() ? first : document()->begin());
            state = stateBefore(item);
            continue;
        }
        const FlowItem next = nextItem(item);
        const bool satisfied = itemPosition > untilPosition && state.lastPage > untilPage
            && untilPosition != INT_MAX;
        if (next.isValid() && satisfied && clock.elapsed() >= budgetMs) {
            m_resumePosition = next.block.position();
            // What lies beyond still stands where it stood before this
            // stacking began: a later edit above it must not take an item
            // restacked meanwhile for settled and leave the rest behind.
            m_mustReach = std::max(m_mustReach, m_resumePosition);
            paused = true;
            break;
        }
        item = next;
    }

    if (!paused) {
        if (state.lastPage != INT_MAX) {
            // Reached the end of the document.
            m_bodyPageCount = std::max(1, state.lastPage + 1);
            m_pages.setCount(m_bodyPageCount);
            if (state.lastPage < 0)
                m_pages.openPage(0, document()->begin(), 0);
            placeEndnotes(state.y);
        } else if (m_notes.endnotesChanged()) {
            placeEndnotes(m_notes.endnotesTop());
        }
        m_resumePosition = -1;
        m_settleFrom = INT_MIN;
    } else {
        // Slices follow each other; after an edit the rest waits a moment,
        // so that the edit's repaint and the next keystroke come first.
        scheduleBackground(m_inSlice ? 0 : BackgroundAfterEditMs);
    }
    if (notesFrom <= notesTo || !m_notes.isEmpty()) {
        // The note areas of the pages stacked through; a page stacked only
        // in part keeps its area until the rest of it is stacked.
        const int from = std::min(firstChangedPage, notesFrom);
        int to = std::min(std::max(reachedPage, notesTo), m_pages.count() - 1);
        if (paused)
            to = std::min(to, pageOfY(state.y) - 1);
        for (int page = std::max(0, from); page <= to; ++page)
            m_pages.setNotesHeight(page, PageNotes::areaFor(m_notes.footnotesHeight(page)));
        firstChangedPage = std::min(firstChangedPage, std::max(0, from));
    }
    m_pages.limitSections(INT_MAX);
    m_inStack = false;

    if (m_pages.count() != pagesBefore) {
        emit pageCountChanged(m_pages.count());
        emit documentSizeChanged(documentSize());
    }
    reportOwnFormatChanges();
    emit pagesChanged(firstChangedPage);
}

// ---------------------------------------------------------------------------
// Queries

int PageLayout::pageOfPosition(int position)
{
    return pageOfY(caretRect(position).top());
}

QRectF PageLayout::caretRect(int position)
{
    ensurePosition(position);
    QTextBlock block = document()->findBlock(position);
    if (!block.isValid())
        block = document()->lastBlock();
    const QTextLayout *layout = block.layout();
    const int relative = std::clamp(position - block.position(), 0, block.length() - 1);
    const int preedit = layout->preeditAreaPosition();
    const int index = relative
        + (preedit >= 0 && relative > preedit ? int(layout->preeditAreaText().size()) : 0);
    return caretRectAt(block, index);
}

QRectF PageLayout::caretRectAt(const QTextBlock &block, int layoutIndex)
{
    ensurePosition(block.position() + block.length());
    const QTextLayout *layout = block.layout();
    if (layout->lineCount() == 0)
        return QRectF(0, layout->position().y(), 0, 200);
    QTextLine line = layout->lineForTextPosition(layoutIndex);
    if (!line.isValid())
        line = layout->lineAt(layoutIndex <= 0 ? 0 : layout->lineCount() - 1);
    const qreal x = line.cursorToX(layoutIndex);
    const QPointF origin = layout->position();
    const BorrowedLineHeight borrowed = borrowedLineHeight(block, line.lineNumber());
    return QRectF(origin.x() + x, origin.y() + line.y() + borrowed.ascent, 0, line.height() - borrowed.height);
}

int PageLayout::lineOnPage(int position)
{
    const QRectF caret = caretRect(position);
    const int page = pageOfY(caret.top());
    int count = 0;
    bool found = false;
    forEachItemOnPage(page, [&](const FlowItem &item) {
        if (found)
            return;
        if (item.table) {
            const TableGeometry &g = m_tables[item.table];
            for (size_t r = 0; r < g.rowTop.size(); ++r) {
                if (!g.rowMeetsBand(r, pageTop(page), pageBottom(page)))
                    continue;
                ++count;
                if (caret.top() >= g.rowTop[r] && caret.top() < g.rowTop[r] + g.rowHeight[r]) {
                    found = true;
                    return;
                }
            }
            return;
        }
        const QTextLayout *layout = item.block.layout();
        for (int i = 0; i < layout->lineCount(); ++i) {
            const int top = lineTop(item.block, i);
            if (pageOfY(top) != page)
                continue;
            ++count;
            if (top == int(caret.top())) {
                found = true;
                return;
            }
        }
    });
    return std::max(1, count);
}

void PageLayout::forEachItemOnPage(int page, const std::function<void(const FlowItem &)> &visit)
{
    ensurePage(page);
    if (page < 0 || page >= m_pages.count())
        return;
    for (FlowItem item = itemAt(m_pages.page(page).firstBlock); item.isValid(); item = nextItem(item)) {
        int firstPage;
        if (item.table) {
            const auto it = m_tables.constFind(item.table);
            if (it == m_tables.constEnd() || it->rowTop.empty())
                break;
            firstPage = pageOfY(it->rowTop.front());
        } else {
            const QTextLayout *layout = item.block.layout();
            if (layout->lineCount() == 0)
                break;
            firstPage = pageOfY(lineTop(item.block, 0));
        }
        if (firstPage > page)
            break;
        if (lastLinePage(item) < page)
            continue;
        visit(item);
    }
}

const TableGeometry *PageLayout::tableGeometry(QTextTable *table) const
{
    const auto it = m_tables.constFind(table);
    return it == m_tables.constEnd() ? nullptr : &*it;
}

void PageLayout::forEachLineOnPage(
    int page, qreal x, const std::function<void(const QTextBlock &, int, int, int)> &visit)
{
    auto lines = [&](const QTextBlock &block) {
        const QTextLayout *layout = block.layout();
        for (int i = 0; i < layout->lineCount(); ++i) {
            const int top = lineTop(block, i);
            if (pageOfY(top) != page)
                continue;
            visit(block, i, top, top + std::max(1, lineAdvance(block, layout->lineAt(i))));
        }
    };
    forEachItemOnPage(page, [&](const FlowItem &item) {
        if (!item.table) {
            lines(item.block);
            return;
        }
        const TableGeometry *g = tableGeometry(item.table);
        if (!g)
            return;
        for (size_t r = 0; r < g->rowTop.size(); ++r) {
            if (!g->rowMeetsBand(r, pageTop(page), pageBottom(page)))
                continue;
            const QTextTableCell cell = item.table->cellAt(int(r), g->columnAt(r, x));
            if (!cell.isValid() || cell.row() != int(r))
                continue;
            for (QTextBlock b = document()->findBlock(cell.firstPosition());
                 b.isValid() && b.position() <= cell.lastPosition(); b = b.next())
                lines(b);
        }
    });
}

namespace {

int cursorInLine(const QTextBlock &block, int lineIndex, qreal x)
{
    const QTextLayout *layout = block.layout();
    const QTextLine line = layout->lineAt(lineIndex);
    int relative = line.xToCursor(x - layout->position().x());
    // The preedit text is not part of the document.
    if (layout->preeditAreaPosition() >= 0 && relative > layout->preeditAreaPosition())
        relative = std::max(layout->preeditAreaPosition(),
                            relative - int(layout->preeditAreaText().size()));
    return block.position() + std::clamp(relative, 0, block.length() - 1);
}

} // namespace

int PageLayout::hitTestFlow(int page, const QPointF &point)
{
    ensurePage(page);
    QTextBlock bestBlock;
    int bestLine = -1;
    qreal bestDistance = 1e12;
    forEachLineOnPage(page, point.x(), [&](const QTextBlock &block, int line, int top, int bottom) {
        const qreal distance = point.y() < top ? top - point.y()
            : point.y() >= bottom ? point.y() - bottom + 1 : 0;
        if (distance < bestDistance) {
            bestDistance = distance;
            bestBlock = block;
            bestLine = line;
        }
    });
    if (!bestBlock.isValid())
        return page == 0 ? 0 : std::max(0, document()->characterCount() - 1);
    return cursorInLine(bestBlock, bestLine, point.x());
}

int PageLayout::verticalNeighbour(int position, int direction, qreal x)
{
    const QRectF caret = caretRect(position);
    const int caretTop = int(caret.top());
    int page = pageOfY(caret.top());
    ensureComplete();
    const int pages = m_pages.count();
    // Search this page first, then the pages beyond it in that direction.
    for (; page >= 0 && page < pages; page += direction) {
        QTextBlock bestBlock;
        int bestLine = -1;
        int bestTop = direction < 0 ? INT_MIN : INT_MAX;
        forEachLineOnPage(page, x, [&](const QTextBlock &block, int line, int top, int) {
            const bool beyond = direction < 0 ? top < caretTop : top > caretTop;
            const bool nearer = direction < 0 ? top > bestTop : top < bestTop;
            if (beyond && nearer) {
                bestTop = top;
                bestBlock = block;
                bestLine = line;
            }
        });
        if (bestBlock.isValid())
            return cursorInLine(bestBlock, bestLine, x);
    }
    return position;
}

// ---------------------------------------------------------------------------
// QAbstractTextDocumentLayout

void PageLayout::draw(QPainter *painter, const PaintContext &context)
{
    // The plain flow (the normal view without any decoration). The engine's
    // own painters do more; this serves QTextDocument::drawContents().
    const QRectF clip = context.clip.isValid() ? context.clip : QRectF(0, 0, textWidth(), 1e9);
    const int first = pageOfY(clip.top());
    const int last = pageOfY(clip.bottom());
    for (int page = first; page <= last && page < pageCount(); ++page) {
        const QRectF pageClip(0, pageTop(page) + 0.5, textWidth() * 4, pageBottom(page) - pageTop(page) - 1);
        forEachItemOnPage(page, [&](const FlowItem &item) {
            for (QTextBlock b = item.block; b.isValid(); b = b.next()) {
                b.layout()->draw(painter, QPointF(), {}, pageClip);
                if (!item.table || b.position() >= item.table->lastPosition() - 1)
                    break;
            }
        });
    }
}

int PageLayout::hitTest(const QPointF &point, Qt::HitTestAccuracy) const
{
    auto *self = const_cast<PageLayout *>(this);
    return self->hitTestFlow(pageOfY(point.y()), point);
}

int PageLayout::pageCount() const
{
    const_cast<PageLayout *>(this)->ensureComplete();
    return m_pages.count();
}

QSizeF PageLayout::documentSize() const
{
    return QSizeF(textWidth(), pageBottom(std::max(0, m_pages.count() - 1)));
}

QRectF PageLayout::frameBoundingRect(QTextFrame *frame) const
{
    if (auto *table = qobject_cast<QTextTable *>(frame)) {
        const_cast<PageLayout *>(this)->ensurePosition(table->lastPosition());
        if (const TableGeometry *g = tableGeometry(table))
            return QRectF(g->left(), g->entryY, g->right() - g->left(), g->exitY - g->entryY);
    }
    return QRectF(QPointF(0, 0), documentSize());
}

QRectF PageLayout::blockBoundingRect(const QTextBlock &block) const
{
    if (!block.isValid())
        return QRectF();
    const_cast<PageLayout *>(this)->ensurePosition(block.position() + block.length());
    const QTextLayout *layout = block.layout();
    if (layout->lineCount() == 0)
        return QRectF(layout->position(), QSizeF(textWidth(), 0));
    const QTextLine last = layout->lineAt(layout->lineCount() - 1);
    return QRectF(layout->position().x(), layout->position().y(), textWidth(),
                  last.y() + last.height());
}

// ---------------------------------------------------------------------------
// Pictures as characters

int PageLayout::imageWidthLimit() const
{
    return textWidth();
}

void PageLayout::resizeInlineObject(QTextInlineObject item, int posInDocument, const QTextFormat &format)
{
    if (!format.isImageFormat()) {
        QAbstractTextDocumentLayout::resizeInlineObject(item, posInDocument, format);
        return;
    }
    if (isAnchoredObject(format)) {
        // Takes no room in its line: FloatingObjects places it.
        const QFontMetricsF metrics(format.toCharFormat().font(), layoutDevice());
        item.setWidth(0);
        item.setAscent(metrics.ascent());
        item.setDescent(metrics.descent());
        return;
    }
    const QSizeF size = inlinePictureSize(document(), format.toImageFormat(), imageWidthLimit());
    item.setWidth(size.width());
    item.setAscent(size.height());
    item.setDescent(0);
}

void PageLayout::positionInlineObject(QTextInlineObject item, int posInDocument, const QTextFormat &format)
{
    if (!format.isImageFormat())
        QAbstractTextDocumentLayout::positionInlineObject(item, posInDocument, format);
}

void PageLayout::drawInlineObject(QPainter *painter, const QRectF &rect, QTextInlineObject object,
                                  int posInDocument, const QTextFormat &format)
{
    if (!format.isImageFormat()) {
        QAbstractTextDocumentLayout::drawInlineObject(painter, rect, object, posInDocument, format);
        return;
    }
    if (isAnchoredObject(format))
        return; // painted at its place on the sheet
    const QImage image = resourceImage(document(), format.toImageFormat().name());
    if (image.isNull()) {
        painter->save();
        painter->setPen(QPen(Qt::gray, 0));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(rect);
        painter->drawLine(rect.topLeft(), rect.bottomRight());
        painter->drawLine(rect.topRight(), rect.bottomLeft());
        painter->restore();
        return;
    }
    painter->save();
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->drawImage(rect, image);
    painter->restore();
}

} // namespace tamapiko::engine
