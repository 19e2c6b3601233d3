#include "engine/view/ViewGeometry.h"

#include "engine/layout/PageLayout.h"

#include <algorithm>
#include <cmath>

namespace tamapiko::engine {

ViewGeometry::ViewGeometry(const PageLayout &layout, Mode mode, double pixelsPerTwip,
                           int viewportWidth, int pageCount)
    : m_layout(layout)
    , m_mode(mode)
    , m_scale(pixelsPerTwip)
    , m_pages(std::max(1, pageCount))
{
    const double viewportTwips = viewportWidth / m_scale;
    const PageFrame &first = layout.pages().page(0);
    const double width = mode == PageLayoutMode ? first.paper.width() : first.body.width();
    const double pad = mode == PageLayoutMode ? SheetGap : NormalPadding;
    m_sheetLeft = std::max(pad, (viewportTwips - width) / 2);
}

QSize ViewGeometry::contentSize() const
{
    const PageTable &pages = m_layout.pages();
    const PageFrame &last = pages.page(m_pages - 1);
    if (m_mode == PageLayoutMode) {
        const double w = pages.page(0).paper.width() + 2.0 * SheetGap;
        const double h = sheetTopTwips(m_pages - 1) + last.paper.height() + SheetGap;
        return QSize(int(std::ceil(w * m_scale)), int(std::ceil(h * m_scale)));
    }
    const double w = m_layout.textWidth() + 2.0 * NormalPadding;
    const double h = double(last.flowBottom()) + 2.0 * NormalPadding;
    return QSize(int(std::ceil(w * m_scale)), int(std::ceil(h * m_scale)));
}

double ViewGeometry::sheetTopTwips(int page) const
{
    return SheetGap + double(m_layout.pages().page(page).paperTop) + double(page) * SheetGap;
}

int ViewGeometry::pageAtTwips(double y) const
{
    if (m_mode != PageLayoutMode)
        return std::clamp(m_layout.pageOfY(y - NormalPadding), 0, m_pages - 1);
    // The last page whose band, from half a gap above its sheet, starts at or above y.
    int low = 0;
    int high = m_pages - 1;
    while (low < high) {
        const int middle = (low + high + 1) / 2;
        if (sheetTopTwips(middle) - SheetGap / 2.0 <= y)
            low = middle;
        else
            high = middle - 1;
    }
    return low;
}

// Sheets start on whole pixels, so that a page on screen is drawn exactly as
// PrintPage draws it on an image of the same resolution.
qreal ViewGeometry::sheetLeft() const
{
    return std::round(m_sheetLeft * m_scale);
}

qreal ViewGeometry::textLeft() const
{
    return sheetLeft() + (m_mode == PageLayoutMode ? m_layout.pages().page(0).body.left() * m_scale : 0);
}

QRectF ViewGeometry::sheetRect(int page) const
{
    if (m_mode != PageLayoutMode)
        return textAreaRect(page);
    const QSize paper = m_layout.pages().page(page).paper;
    return QRectF(sheetLeft(), std::round(sheetTopTwips(page) * m_scale),
                  paper.width() * m_scale, paper.height() * m_scale);
}

QRectF ViewGeometry::textAreaRect(int page) const
{
    const PageFrame &frame = m_layout.pages().page(page);
    if (m_mode == PageLayoutMode) {
        const QRectF sheet = sheetRect(page);
        return QRectF(sheet.left() + frame.body.left() * m_scale, sheet.top() + frame.body.top() * m_scale,
                      frame.body.width() * m_scale, frame.body.height() * m_scale);
    }
    return QRectF(sheetLeft(), std::round((NormalPadding + double(frame.flowTop)) * m_scale),
                  frame.body.width() * m_scale, frame.body.height() * m_scale);
}

QPointF ViewGeometry::flowToContent(const QPointF &flow) const
{
    const int page = m_layout.pageOfY(flow.y());
    // The column holding y (the whole body on a page without columns).
    const PageTable &pages = m_layout.pages();
    const ColumnBand &band = pages.column(pages.columnOfY(flow.y()));
    const double local = flow.y() - band.flowTop + band.rect.top();
    const QRectF area = textAreaRect(page);
    return QPointF(area.left() + (flow.x() + band.rect.left()) * m_scale, area.top() + local * m_scale);
}

QPointF ViewGeometry::contentToFlow(const QPointF &content, int *page) const
{
    const double x = content.x() / m_scale;
    const double y = content.y() / m_scale;
    const int p = pageAtTwips(y);
    if (page)
        *page = p;
    const PageFrame &frame = m_layout.pages().page(p);
    const QRectF area = textAreaRect(p);
    const double localX = x - area.left() / m_scale;
    const double localY = std::clamp(y - area.top() / m_scale, 0.0, frame.body.height() - 1.0);
    // The column under the point, or the nearest beside it.
    const PageTable &pages = m_layout.pages();
    const ColumnBand *best = nullptr;
    double bestDistance = 0;
    for (int c = 0; c < frame.columnCount; ++c) {
        const ColumnBand &band = pages.column(frame.firstColumn + c);
        if (localY < band.rect.top() || localY > band.rect.bottom())
            continue;
        const double distance = localX < band.rect.left() ? band.rect.left() - localX
            : localX > band.rect.right() ? localX - band.rect.right() : 0;
        if (!best || distance < bestDistance) {
            best = &band;
            bestDistance = distance;
        }
    }
    if (!best)
        return QPointF(localX, double(frame.flowTop) + localY);
    return QPointF(localX - best->rect.left(),
                   best->flowTop + std::clamp(localY - best->rect.top(), 0.0, best->height - 1.0));
}

void ViewGeometry::pagesInBand(qreal top, qreal bottom, int *first, int *last) const
{
    *first = pageAtTwips(top / m_scale);
    *last = pageAtTwips(bottom / m_scale);
}

} // namespace tamapiko::engine
