#include "engine/layout/PageTable.h"

#include <algorithm>
#include <cmath>

namespace tamapiko::engine {

namespace {

// Pages are never looked ahead further than this; a flow y beyond it is a
// fault of the caller's arithmetic, not a page anyone will see.
constexpr int MaximumPages = 1 << 20;

} // namespace

PageTable::PageTable()
{
    setUniform(PageSetup());
}

void PageTable::setUniform(const PageSetup &page)
{
    m_provider = nullptr;
    m_uniform = page;
    m_runs.clear();
    m_firstColumns = {};
    m_hasColumns = false;
    truncateFrames(0);
    m_count = 0;
}

void PageTable::setFirstColumns(const ColumnSetup &columns)
{
    if (columns == m_firstColumns)
        return;
    m_firstColumns = columns;
    m_hasColumns = m_hasColumns || !columns.isSingle();
    truncateFrames(0);
}

void PageTable::truncateFrames(size_t count) const
{
    if (count >= m_frames.size())
        return;
    m_frames.resize(count);
    m_columns.resize(m_frames.empty() ? 0 : size_t(m_frames.back().firstColumn + m_frames.back().columnCount));
}

const ColumnSetup &PageTable::columnsOf(int page) const
{
    for (auto it = m_runs.rbegin(); it != m_runs.rend(); ++it) {
        if (it->firstPage <= page)
            return it->columns;
    }
    return m_firstColumns;
}

int PageTable::columnOfY(qreal flowY) const
{
    const PageFrame &frame = page(pageOfY(flowY));
    int index = frame.firstColumn;
    for (int c = 1; c < frame.columnCount; ++c) {
        if (m_columns[frame.firstColumn + c].flowTop <= flowY)
            index = frame.firstColumn + c;
    }
    return index;
}

bool PageTable::splitPage(int index, int regionTop, int at, const ColumnSetup &columns)
{
    page(index);
    truncateFrames(size_t(index) + 1);
    PageFrame &frame = m_frames[index];
    const int height = frame.body.height();
    at = std::clamp(at, 0, height - 1);
    // Columns that start there already (and those below them) stay.
    const auto placed = columns.place(frame.body.width());
    std::vector<QPair<int, int>> there;
    for (int c = frame.firstColumn; c < frame.firstColumn + frame.columnCount; ++c) {
        if (m_columns[c].rect.top() == at)
            there.push_back({m_columns[c].rect.left(), m_columns[c].rect.width()});
    }
    if (there == std::vector<QPair<int, int>>(placed.begin(), placed.end()))
        return false;
    std::vector<ColumnBand> kept(m_columns.begin() + frame.firstColumn, m_columns.end());
    kept.erase(std::remove_if(kept.begin(), kept.end(),
                              [&](const ColumnBand &band) { return band.rect.top() >= at || band.rect.top() > regionTop; }),
               kept.end());
    for (ColumnBand &band : kept) {
        if (band.rect.top() == regionTop)
            band.rect.setHeight(at - regionTop);   // the region's columns end at `at`, shorter or longer
        else
            band.rect.setHeight(std::min(band.rect.height(), at - band.rect.top()));
    }
    for (int c = 0; c < int(placed.size()); ++c)
        kept.push_back({0, 0, QRect(placed[c].first, at, placed[c].second, height - at), index, c > 0 && columns.lineBetween});
    // The same columns as before: nothing changes.
    const auto before = m_columns.begin() + frame.firstColumn;
    if (kept.size() == size_t(m_columns.end() - before)
        && std::equal(kept.begin(), kept.end(), before, [](const ColumnBand &a, const ColumnBand &b) { return a.rect == b.rect; }))
        return false;
    m_columns.resize(size_t(frame.firstColumn));
    int flowY = frame.flowTop;
    for (ColumnBand &band : kept) {
        band.flowTop = flowY;
        band.height = band.rect.height();
        flowY += band.height;
        m_columns.push_back(band);
    }
    frame.columnCount = int(kept.size());
    frame.flowHeight = flowY - frame.flowTop;
    m_hasColumns = true;
    return true;
}

const ColumnBand &PageTable::column(int index) const
{
    index = std::max(0, index);
    while (int(m_columns.size()) <= index && int(m_frames.size()) <= MaximumPages)
        extendTo(int(m_frames.size()));
    return m_columns[std::min(index, int(m_columns.size()) - 1)];
}

bool PageTable::beginSection(int section, int firstPage, const PageSetup &page, const ColumnSetup &columns)
{
    if (m_provider)
        return false;
    auto it = std::find_if(m_runs.begin(), m_runs.end(), [&](const SectionRun &run) { return run.section >= section; });
    if (it != m_runs.end() && it->section == section && it->firstPage == firstPage && it->page == page
        && it->columns == columns)
        return false;
    m_hasColumns = m_hasColumns || !columns.isSingle();
    // Pages from the earlier of the old and the new start on change, and
    // so do those of every section after.
    int changedFrom = firstPage;
    if (it != m_runs.end())
        changedFrom = std::min(changedFrom, it->firstPage);
    m_runs.erase(it, m_runs.end());
    m_runs.push_back({section, firstPage, page, columns});
    dropFramesFrom(changedFrom);
    return true;
}

int PageTable::runSection(int page) const
{
    for (auto it = m_runs.rbegin(); it != m_runs.rend(); ++it) {
        if (it->firstPage <= page)
            return it->section;
    }
    return 0;
}

void PageTable::forgetBeyondLimit(int index) const
{
    if (m_limit == INT_MAX || index >= int(m_frames.size()) || m_frames[index].section <= m_limit)
        return;
    // Sections only grow along the pages.
    const auto first = std::find_if(m_frames.begin(), m_frames.end(),
                                    [&](const PageFrame &frame) { return frame.section > m_limit; });
    truncateFrames(size_t(first - m_frames.begin()));
    m_runs.erase(std::find_if(m_runs.begin(), m_runs.end(), [&](const SectionRun &run) { return run.section > m_limit; }),
                 m_runs.end());
    m_forgotten = true;
}

const PageSetup &PageTable::setupOf(int page) const
{
    // The last section to begin at or before the page sets it.
    for (auto it = m_runs.rbegin(); it != m_runs.rend(); ++it) {
        if (it->firstPage <= page)
            return it->page;
    }
    return m_uniform;
}

void PageTable::dropFramesFrom(int page)
{
    truncateFrames(size_t(std::max(0, page)));
}

void PageTable::setProvider(Provider provider)
{
    m_provider = std::move(provider);
    truncateFrames(0);
    m_count = 0;
}

void PageTable::setBands(Bands bands)
{
    m_bands = std::move(bands);
    truncateFrames(0);
    m_count = 0;
}

PageFrame PageTable::frameFor(const PageSetup &page, BandHeights bands)
{
    const int left = std::max(0, page.marginLeft);
    const int right = std::max(0, page.marginRight);
    const int headerDistance = std::max(0, page.headerDistance);
    const int footerDistance = std::max(0, page.footerDistance);
    int top = std::max(0, page.marginTop);
    int bottom = std::max(0, page.marginBottom);
    if (bands.header > 0)
        top = std::max(top, headerDistance + std::min(bands.header, page.height));
    if (bands.footer > 0)
        bottom = std::max(bottom, footerDistance + std::min(bands.footer, page.height));
    // Never so far that the body is gone.
    top = std::min(top, std::max(0, page.height - MinimumBodyHeight));
    bottom = std::min(bottom, std::max(0, page.height - top - MinimumBodyHeight));
    const int bodyWidth = std::max(MinimumBodyWidth, page.width - left - right);
    const int bodyHeight = std::max(MinimumBodyHeight, page.height - top - bottom);

    PageFrame frame;
    // The sheet is at least as large as the body the layout uses.
    frame.paper = QSize(std::max(page.width, left + bodyWidth), std::max(page.height, top + bodyHeight));
    frame.body = QRect(left, top, bodyWidth, bodyHeight);
    const int headerTop = std::clamp(headerDistance, 0, top);
    frame.header = QRect(left, headerTop, bodyWidth, top - headerTop);
    const int footerBottom = std::max(frame.body.bottom() + 1, frame.paper.height() - footerDistance);
    frame.footer = QRect(left, frame.body.bottom() + 1, bodyWidth, footerBottom - frame.body.bottom() - 1);
    return frame;
}

void PageTable::extendTo(int index) const
{
    index = std::min(index, MaximumPages);
    while (int(m_frames.size()) <= index) {
        const int n = int(m_frames.size());
        const PageSetup &setup = m_provider ? m_provider(n) : setupOf(n);
        const int section = m_provider ? 0 : runSection(n);
        BandHeights bands;
        if (m_bands) {
            const PagePlace place{n, section, n == 0 || m_frames.back().section != section};
            bands = m_bands(place, frameFor(setup).body.width());
        }
        PageFrame frame = frameFor(setup, bands);
        frame.section = section;
        if (n > 0) {
            const PageFrame &before = m_frames.back();
            frame.flowTop = before.flowBottom();
            frame.paperTop = before.paperTop + before.paper.height();
        }
        // Columns side by side, each the body's height, one after the
        // other in the flow.
        const ColumnSetup &columns = m_provider ? m_firstColumns : columnsOf(n);
        const int height = frame.body.height();
        const auto placed = columns.place(frame.body.width());
        frame.firstColumn = int(m_columns.size());
        frame.columnCount = int(placed.size());
        frame.flowHeight = height * frame.columnCount;
        for (int c = 0; c < frame.columnCount; ++c)
            m_columns.push_back({frame.flowTop + c * height, height, QRect(placed[c].first, 0, placed[c].second, height), n,
                                 c > 0 && columns.lineBetween});
        m_frames.push_back(frame);
    }
}

void PageTable::extendToY(qreal flowY) const
{
    extendTo(0);
    while (m_frames.back().flowBottom() <= flowY && int(m_frames.size()) <= MaximumPages) {
        if (isUniform()) {
            // Alike pages: jump straight to the page that holds y.
            const int height = m_frames.front().flowHeight;
            extendTo(std::max(int(m_frames.size()), int(flowY / height)));
        } else {
            extendTo(int(m_frames.size()));
        }
    }
}

const PageFrame &PageTable::page(int index) const
{
    index = std::clamp(index, 0, MaximumPages);
    forgetBeyondLimit(index);
    extendTo(index);
    return m_frames[index];
}

PagePlace PageTable::placeOf(int index) const
{
    const int section = page(index).section;
    return PagePlace{index, section, index == 0 || page(index - 1).section != section};
}

int PageTable::pageOfY(qreal flowY) const
{
    if (flowY < 0)
        return 0;
    if (isUniform()) {
        const int height = page(0).flowHeight;
        return std::min(MaximumPages, int(std::floor(flowY / height)));
    }
    extendToY(flowY);
    auto found = [&] {
        const auto after = std::upper_bound(m_frames.begin(), m_frames.end(), flowY,
                                            [](qreal y, const PageFrame &frame) { return y < frame.flowTop; });
        return std::max(0, int(after - m_frames.begin()) - 1);
    };
    const int index = found();
    if (m_limit == INT_MAX || m_frames[index].section <= m_limit)
        return index;
    forgetBeyondLimit(index);
    extendToY(flowY);
    return found();
}

void PageTable::setCount(int count)
{
    m_count = std::max(0, count);
    if (m_count > 0)
        extendTo(m_count - 1);
}

void PageTable::openPage(int index, const QTextBlock &block, int line)
{
    forgetBeyondLimit(index);
    extendTo(index);
    PageFrame &frame = m_frames[index];
    frame.firstBlock = frame.lastBlock = block;
    frame.firstLine = frame.lastLine = line;
    m_count = std::max(m_count, index + 1);
}

void PageTable::extendPage(int index, const QTextBlock &block, int line)
{
    extendTo(index);
    PageFrame &frame = m_frames[index];
    frame.lastBlock = block;
    frame.lastLine = line;
}

void PageTable::setNotesHeight(int index, int height)
{
    extendTo(index);
    PageFrame &frame = m_frames[index];
    height = std::clamp(height, 0, frame.body.height());
    frame.notes = height > 0 ? QRect(frame.body.left(), frame.body.bottom() + 1 - height, frame.body.width(), height)
                             : QRect();
}

} // namespace tamapiko::engine
