#include "engine/view/SheetPainter.h"

#include "engine/layout/PageLayout.h"

#include <QPainter>

namespace tamapiko::engine {

SheetPainter::SheetPainter(PageLayout &layout, const PagePainter::Options &options)
    : m_layout(layout)
    , m_pagePainter(layout, options)
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
    painter->translate(frame.body.topLeft());
    m_pagePainter.paintPage(painter, page);
    painter->restore();
}

void SheetPainter::paintBody(QPainter *painter, int page, QPointF origin, qreal scale)
{
    painter->save();
    prepare(painter, origin, scale, scale);
    m_pagePainter.paintPage(painter, page);
    painter->restore();
}

} // namespace tamapiko::engine
