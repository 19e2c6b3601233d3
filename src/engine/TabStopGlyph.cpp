#include "engine/TabStopGlyph.h"

#include <QPainter>

void drawTabStopGlyph(QPainter &painter, QPointF foot, QTextOption::TabType type, qreal size)
{
    const qreal x = foot.x();
    const qreal y = foot.y();
    painter.drawLine(QPointF(x, y - size), QPointF(x, y));
    switch (type) {
    case QTextOption::LeftTab:
        painter.drawLine(QPointF(x, y), QPointF(x + size, y));
        break;
    case QTextOption::RightTab:
        painter.drawLine(QPointF(x - size, y), QPointF(x, y));
        break;
    case QTextOption::CenterTab:
        painter.drawLine(QPointF(x - size, y), QPointF(x + size, y));
        break;
    case QTextOption::DelimiterTab: {
        painter.drawLine(QPointF(x - size, y), QPointF(x + size, y));
        const qreal dot = std::max<qreal>(1, painter.pen().widthF());
        painter.fillRect(QRectF(x + size / 2, y - size / 2 - dot, dot, dot), painter.pen().color());
        break;
    }
    }
}
