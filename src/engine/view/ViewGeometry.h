#pragma once

// ViewGeometry: where the pages of a layout appear on screen.
//
// The page layout view stacks sheets of paper on a grey desk with a gap
// between them; the normal view shows one continuous column of the text
// width. Both are a pure mapping between the layout's flow coordinates
// (twips) and content pixels at one scale, reading every page's place from
// the layout's page table; the caller subtracts the scroll offset.

#include <QPointF>
#include <QRectF>
#include <QSize>

namespace tamapiko::engine {

class PageLayout;

class ViewGeometry
{
public:
    enum Mode { Normal = 0, PageLayoutMode = 1 };

    // Room around and between sheets, in twips.
    static constexpr int SheetGap = 300;
    static constexpr int NormalPadding = 200;

    ViewGeometry(const PageLayout &layout, Mode mode, double pixelsPerTwip,
                 int viewportWidth, int pageCount);

    double scale() const { return m_scale; }
    QSize contentSize() const;               // pixels
    QRectF sheetRect(int page) const;        // pixels, the whole sheet (page mode)
    QRectF textAreaRect(int page) const;     // pixels, the page's text area
    QPointF flowToContent(const QPointF &flow) const;
    // A content point to a flow point on the nearest page's text area.
    QPointF contentToFlow(const QPointF &content, int *page) const;
    // Pages that intersect a band of content y, inclusive.
    void pagesInBand(qreal top, qreal bottom, int *first, int *last) const;
    qreal textLeft() const;                  // content x of the text area's left edge
    qreal sheetLeft() const;                 // content x of the sheet's left edge

private:
    double sheetTopTwips(int page) const;
    // The page whose band (sheet and the gap below it, or body) holds a
    // content y in twips, clamped to the pages there are.
    int pageAtTwips(double y) const;

    const PageLayout &m_layout;
    Mode m_mode;
    double m_scale;
    int m_pages;
    double m_sheetLeft = 0;                  // twips
};

} // namespace tamapiko::engine
