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
    const PageSetup &page = layout.pageSetup();
    m_marginLeft = std::max(0, page.marginLeft);
    m_marginTop = std::max(0, page.marginTop);
    // The sheet is at least as large as the text area the layout uses.
    m_pageWidth = std::max(page.width, m_marginLeft + layout.textWidth());
    m_pageHeight = std::max(page.height, m_marginTop + layout.textHeight());
    const double viewportTwips = viewportWidth / m_scale;
    const double width = mode == PageLayoutMode ? m_pageWidth : layout.textWidth();
    const double pad = mode == PageLayoutMode ? SheetGap : NormalPadding;
    m_sheetLeft = std::max(pad, (viewportTwips - width) / 2);
}

QSize ViewGeometry::contentSize() const
{
    if (m_mode == PageLayoutMode) {
        const double w = m_pageWidth + 2.0 * SheetGap;
        const double h = SheetGap + double(m_pages) * (m_pageHeight + SheetGap);
        return QSize(int(std::ceil(w * m_scale)), int(std::ceil(h * m_scale)));
    }
    const double w = m_layout.textWidth() + 2.0 * NormalPadding;
    const double h = double(m_pages) * m_layout.textHeight() + 2.0 * NormalPadding;
    return QSize(int(std::ceil(w * m_scale)), int(std::ceil(h * m_scale)));
}

double ViewGeometry::sheetTopTwips(int page) const
{
    return SheetGap + double(page) * (m_pageHeight + SheetGap);
}

// Sheets start on whole pixels, so that a page on screen is drawn exactly as
// PrintPage draws it on an image of the same resolution.
qreal ViewGeometry::sheetLeft() const
{
    return std::round(m_sheetLeft * m_scale);
}

qreal ViewGeometry::textLeft() const
{
    return sheetLeft() + (m_mode == PageLayoutMode ? m_marginLeft * m_scale : 0);
}

QRectF ViewGeometry::sheetRect(int page) const
{
    if (m_mode != PageLayoutMode)
        return textAreaRect(page);
    return QRectF(sheetLeft(), std::round(sheetTopTwips(page) * m_scale),
                  m_pageWidth * m_scale, m_pageHeight * m_scale);
}

QRectF ViewGeometry::textAreaRect(int page) const
{
    const int H = m_layout.textHeight();
    if (m_mode == PageLayoutMode) {
        const QRectF sheet = sheetRect(page);
        return QRectF(sheet.left() + m_marginLeft * m_scale, sheet.top() + m_marginTop * m_scale,
                      m_layout.textWidth() * m_scale, H * m_scale);
    }
    return QRectF(sheetLeft(), std::round((NormalPadding + double(page) * H) * m_scale),
                  m_layout.textWidth() * m_scale, H * m_scale);
}

QPointF ViewGeometry::flowToContent(const QPointF &flow) const
{
    const int page = m_layout.pageOfY(flow.y());
    const double local = flow.y() - double(page) * m_layout.textHeight();
    const QRectF area = textAreaRect(page);
    return QPointF(area.left() + flow.x() * m_scale, area.top() + local * m_scale);
}

QPointF ViewGeometry::contentToFlow(const QPointF &content, int *page) const
{
    const int H = m_layout.textHeight();
    const double x = content.x() / m_scale;
    const double y = content.y() / m_scale;
    int p;
    if (m_mode == PageLayoutMode)
        p = int(std::floor((y - SheetGap / 2.0) / (m_pageHeight + SheetGap)));
    else
        p = int(std::floor((y - NormalPadding) / H));
    p = std::clamp(p, 0, m_pages - 1);
    if (page)
        *page = p;
    const QRectF area = textAreaRect(p);
    const double localX = x - area.left() / m_scale;
    const double localY = std::clamp(y - area.top() / m_scale, 0.0, H - 1.0);
    return QPointF(localX, double(p) * H + localY);
}

void ViewGeometry::pagesInBand(qreal top, qreal bottom, int *first, int *last) const
{
    const double t = top / m_scale;
    const double b = bottom / m_scale;
    double stride = m_mode == PageLayoutMode ? m_pageHeight + SheetGap : m_layout.textHeight();
    double origin = m_mode == PageLayoutMode ? SheetGap : NormalPadding;
    *first = std::clamp(int(std::floor((t - origin) / stride)), 0, m_pages - 1);
    *last = std::clamp(int(std::floor((b - origin) / stride)), 0, m_pages - 1);
}

} // namespace tamapiko::engine
