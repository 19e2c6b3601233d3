#include "engine/view/SheetPainter.h"

#include "engine/layout/HeaderFooterLayout.h"
#include "engine/layout/PageLayout.h"

#include <QPainter>

namespace tamapiko::engine {

SheetPainter::SheetPainter(PageLayout &layout, const PagePainter::Options &options,
                           HeaderFooterLayout *headerFooters)
    : m_layout(layout)
    , m_options(options)
    , m_pagePainter(layout, options)
    , m_headerFooters(headerFooters)
{
}

void SheetPainter::prepare(QPainter *painter, QPointF origin, qreal scaleX, qreal scaleY)
{
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::TextAntialiasing);
    painter->translate(origin);
    painter->scale(scaleX, scaleY);
}

void SheetPainter::paintSheet(QPainter *painter, int page, QPointF origin, qreal scaleX, qreal scaleY)
{
    const PageFrame &frame = m_layout.pages().page(page);
    painter->save();
    prepare(painter, origin, scaleX, scaleY);
    painter->fillRect(QRect(QPoint(0, 0), frame.paper), Qt::white);
    // In reading order, which is also what text extracted from a PDF follows.
    paintStory(painter, page, frame, HeaderFooterKind::Header);
    painter->save();
    painter->translate(frame.body.topLeft());
    m_pagePainter.paintPage(painter, page);
    painter->restore();
    paintColumnLines(painter, page);
    // Painting the body finished the layout of the page: its frame may
    // have moved in the page table meanwhile.
    const PageFrame &laidOut = m_layout.pages().page(page);
    m_layout.notes().paintPage(painter, page, laidOut.notes, laidOut.body.topLeft());
    m_layout.floatingObjects().paintPage(painter, page);
    paintStory(painter, page, laidOut, HeaderFooterKind::Footer);
    painter->restore();
}

void SheetPainter::paintColumnLines(QPainter *painter, int page)
{
    const PageTable &pages = m_layout.pages();
    const PageFrame &frame = pages.page(page);
    // Midway between neighbouring columns, as tall as the taller of the two.
    painter->save();
    painter->setPen(QPen(Qt::black, 10));
    for (int c = 1; c < frame.columnCount; ++c) {
        const ColumnBand &left = pages.column(frame.firstColumn + c - 1);
        const ColumnBand &right = pages.column(frame.firstColumn + c);
        if (!right.lineBefore)
            continue;
        const qreal x = frame.body.left() + (left.rect.right() + 1 + right.rect.left()) / 2.0;
        const int top = frame.body.top() + std::min(left.rect.top(), right.rect.top());
        const int bottom = frame.body.top() + std::max(left.rect.bottom(), right.rect.bottom());
        painter->drawLine(QPointF(x, top), QPointF(x, bottom));
    }
    painter->restore();
}

void SheetPainter::paintStory(QPainter *painter, int page, const PageFrame &frame, HeaderFooterKind kind)
{
    if (!m_headerFooters)
        return;
    // The count as far as it is known: a long document still being laid
    // out shows the final count once the layout is done and repaints.
    const int pageCount = m_layout.knownPageCount();
    const QRect band = kind == HeaderFooterKind::Header ? frame.header : frame.footer;
    const HeaderFooterLayout::Placed placed = m_headerFooters->story(kind, m_layout.pages().placeOf(page), pageCount, band.width());
    if (!placed.layout)
        return;
    PagePainter::Options options = m_options;
    options.selectionStart = options.selectionEnd = 0;
    const int top = kind == HeaderFooterKind::Header ? band.top() : band.top() + band.height() - placed.height;
    painter->save();
    painter->translate(band.left(), top);
    PagePainter(*placed.layout, options).paintPage(painter, 0);
    painter->restore();
}

void SheetPainter::paintBody(QPainter *painter, int page, QPointF origin, qreal scale)
{
    painter->save();
    prepare(painter, origin, scale, scale);
    m_pagePainter.paintPage(painter, page);
    painter->translate(-m_layout.pages().page(page).body.topLeft());
    m_layout.floatingObjects().paintPage(painter, page);
    painter->restore();
}

} // namespace tamapiko::engine
