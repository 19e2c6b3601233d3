#include "app/ToolIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace tamapiko::app {

namespace {

// Every glyph is drawn on a 20 × 20 grid and scaled to the pixmap's size.
constexpr int Grid = 20;

const QColor Ink(40, 40, 40);
const QColor Paper(255, 255, 255);
const QColor Blue(40, 90, 180);
const QColor Yellow(240, 200, 60);
const QColor Red(200, 30, 30);
const QColor Green(40, 140, 60);

void drawPage(QPainter &p, const QRectF &r)
{
    QPainterPath page;
    page.moveTo(r.left(), r.top());
    page.lineTo(r.right() - 4, r.top());
    page.lineTo(r.right(), r.top() + 4);
    page.lineTo(r.right(), r.bottom());
    page.lineTo(r.left(), r.bottom());
    page.closeSubpath();
    p.setPen(QPen(Ink, 1));
    p.setBrush(Paper);
    p.drawPath(page);
    p.drawLine(QPointF(r.right() - 4, r.top()), QPointF(r.right() - 4, r.top() + 4));
    p.drawLine(QPointF(r.right() - 4, r.top() + 4), QPointF(r.right(), r.top() + 4));
}

void drawTextLines(QPainter &p, qreal left, qreal right, qreal top, int count, qreal step = 3)
{
    p.setPen(QPen(Ink, 1.2));
    for (int i = 0; i < count; ++i)
        p.drawLine(QPointF(left, top + i * step), QPointF(right, top + i * step));
}

void drawAlignedLines(QPainter &p, Qt::Alignment alignment)
{
    p.setPen(QPen(Ink, 1.6));
    const qreal widths[] = {14, 10, 14, 8, 14};
    for (int i = 0; i < 5; ++i) {
        qreal w = alignment == Qt::AlignJustify ? 14 : widths[i];
        qreal x = 3;
        if (alignment == Qt::AlignRight)
            x = 17 - w;
        else if (alignment == Qt::AlignHCenter)
            x = 10 - w / 2;
        const qreal y = 4 + i * 3;
        p.drawLine(QPointF(x, y), QPointF(x + w, y));
    }
}

void drawLetter(QPainter &p, const QString &letter, bool bold, bool italic, bool underline)
{
    QFont font(QStringLiteral("Serif"));
    font.setPixelSize(15);
    font.setBold(bold);
    font.setItalic(italic);
    p.setFont(font);
    p.setPen(Ink);
    p.drawText(QRectF(0, 0, Grid, underline ? 16 : Grid), Qt::AlignCenter, letter);
    if (underline) {
        p.setPen(QPen(Ink, 1.5));
        p.drawLine(QPointF(5, 17), QPointF(15, 17));
    }
}

void drawArrow(QPainter &p, bool forward)
{
    p.save();
    if (forward) {
        p.translate(Grid, 0);
        p.scale(-1, 1);
    }
    QPainterPath arc;
    arc.moveTo(5, 8);
    arc.cubicTo(9, 3, 17, 4, 16, 12);
    arc.cubicTo(15, 15, 12, 16, 9, 16);
    p.setPen(QPen(Blue, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(arc);
    QPolygonF head{QPointF(2, 4), QPointF(9, 6), QPointF(4, 12)};
    p.setPen(Qt::NoPen);
    p.setBrush(Blue);
    p.drawPolygon(head);
    p.restore();
}

void drawMagnifier(QPainter &p, QPointF centre, qreal radius)
{
    p.setPen(QPen(Ink, 1.6));
    p.setBrush(QColor(200, 230, 255));
    p.drawEllipse(centre, radius, radius);
    p.setPen(QPen(Ink, 2.6, Qt::SolidLine, Qt::RoundCap));
    const qreal d = radius * 0.72;
    p.drawLine(centre + QPointF(d, d), centre + QPointF(d + 4, d + 4));
}

void drawGlyph(QPainter &p, ToolGlyph glyph)
{
    switch (glyph) {
    case ToolGlyph::Exit:
        p.setPen(QPen(Ink, 1));
        p.setBrush(QColor(150, 100, 60));
        p.drawRect(QRectF(4, 2, 10, 16));
        p.setBrush(Yellow);
        p.drawEllipse(QPointF(11.5, 10), 1, 1);
        p.setPen(QPen(Red, 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(13, 10), QPointF(19, 10));
        p.drawLine(QPointF(16, 7), QPointF(19, 10));
        p.drawLine(QPointF(16, 13), QPointF(19, 10));
        break;
    case ToolGlyph::New:
        drawPage(p, QRectF(4, 2, 12, 16));
        p.setPen(Qt::NoPen);
        p.setBrush(Yellow);
        p.drawEllipse(QPointF(15, 15), 3.5, 3.5);
        break;
    case ToolGlyph::Open: {
        p.setPen(QPen(Ink, 1));
        p.setBrush(QColor(230, 180, 70));
        p.drawRect(QRectF(1.5, 5.5, 14, 11));
        QPolygonF flap{QPointF(4, 9), QPointF(19, 9), QPointF(16, 16.5), QPointF(1.5, 16.5)};
        p.setBrush(Yellow);
        p.drawPolygon(flap);
        break;
    }
    case ToolGlyph::Save:
        p.setPen(QPen(Ink, 1));
        p.setBrush(Blue);
        p.drawRect(QRectF(2.5, 2.5, 15, 15));
        p.setBrush(Paper);
        p.drawRect(QRectF(5.5, 2.5, 9, 6));
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(QRectF(5.5, 11.5, 9, 6));
        break;
    case ToolGlyph::Print:
        p.setPen(QPen(Ink, 1));
        p.setBrush(Paper);
        p.drawRect(QRectF(5.5, 2.5, 9, 6));
        p.setBrush(QColor(170, 170, 170));
        p.drawRect(QRectF(2.5, 8.5, 15, 7));
        p.setBrush(Paper);
        p.drawRect(QRectF(5.5, 13.5, 9, 5));
        p.setPen(Green);
        p.drawPoint(QPointF(15, 10.5));
        break;
    case ToolGlyph::PrintPreview:
        drawPage(p, QRectF(2, 1, 12, 16));
        drawTextLines(p, 4, 11, 5, 3);
        drawMagnifier(p, QPointF(12, 11), 4);
        break;
    case ToolGlyph::PageSetup:
        drawPage(p, QRectF(3, 1, 14, 18));
        p.setPen(QPen(Blue, 1, Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(6, 5, 8, 11));
        break;
    case ToolGlyph::Cut:
        p.setPen(QPen(Ink, 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawLine(QPointF(6, 2), QPointF(13, 13));
        p.drawLine(QPointF(14, 2), QPointF(7, 13));
        p.setPen(QPen(Red, 1.8));
        p.drawEllipse(QPointF(6, 15.5), 2.8, 2.8);
        p.drawEllipse(QPointF(14, 15.5), 2.8, 2.8);
        break;
    case ToolGlyph::Copy:
        drawPage(p, QRectF(2, 1, 10, 13));
        drawPage(p, QRectF(8, 6, 10, 13));
        drawTextLines(p, 10, 15, 11, 3);
        break;
    case ToolGlyph::Paste:
        p.setPen(QPen(Ink, 1));
        p.setBrush(QColor(180, 130, 70));
        p.drawRoundedRect(QRectF(2.5, 3.5, 12, 15), 1.5, 1.5);
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(QRectF(5.5, 1.5, 6, 3));
        drawPage(p, QRectF(9, 8, 9, 11));
        break;
    case ToolGlyph::Undo:
        drawArrow(p, false);
        break;
    case ToolGlyph::Redo:
        drawArrow(p, true);
        break;
    case ToolGlyph::Find:
        drawMagnifier(p, QPointF(8, 8), 5.5);
        break;
    case ToolGlyph::TextColour: {
        QFont font(QStringLiteral("Sans"));
        font.setPixelSize(14);
        font.setBold(true);
        p.setFont(font);
        p.setPen(Ink);
        p.drawText(QRectF(0, 0, Grid, Grid), Qt::AlignCenter, QStringLiteral("A"));
        break;
    }
    case ToolGlyph::BackColour: {
        QPolygonF bucket{QPointF(4, 8), QPointF(10, 2), QPointF(17, 9), QPointF(11, 15)};
        p.setPen(QPen(Ink, 1));
        p.setBrush(Paper);
        p.drawPolygon(bucket);
        p.setPen(Qt::NoPen);
        p.setBrush(Blue);
        p.drawEllipse(QPointF(4, 14), 2, 3);
        break;
    }
    case ToolGlyph::Table:
        p.setPen(QPen(Ink, 1));
        p.setBrush(Paper);
        p.drawRect(QRectF(2.5, 3.5, 15, 13));
        p.setBrush(QColor(170, 200, 240));
        p.drawRect(QRectF(2.5, 3.5, 15, 3.5));
        for (qreal x : {7.5, 12.5})
            p.drawLine(QPointF(x, 3.5), QPointF(x, 16.5));
        for (qreal y : {10.0, 13.3})
            p.drawLine(QPointF(2.5, y), QPointF(17.5, y));
        break;
    case ToolGlyph::ParagraphMarks: {
        QFont font(QStringLiteral("Serif"));
        font.setPixelSize(17);
        font.setBold(true);
        p.setFont(font);
        p.setPen(Ink);
        p.drawText(QRectF(0, 0, Grid, Grid), Qt::AlignCenter, QString(QChar(0x00B6)));
        break;
    }
    case ToolGlyph::Help: {
        p.setPen(QPen(Blue, 1));
        p.setBrush(QColor(220, 235, 255));
        p.drawEllipse(QPointF(10, 10), 8, 8);
        QFont font(QStringLiteral("Sans"));
        font.setPixelSize(13);
        font.setBold(true);
        p.setFont(font);
        p.setPen(Blue);
        p.drawText(QRectF(0, 0, Grid, Grid), Qt::AlignCenter, QStringLiteral("?"));
        break;
    }
    case ToolGlyph::Bold:
        drawLetter(p, QStringLiteral("B"), true, false, false);
        break;
    case ToolGlyph::Italic:
        drawLetter(p, QStringLiteral("I"), false, true, false);
        break;
    case ToolGlyph::Underline:
        drawLetter(p, QStringLiteral("U"), false, false, true);
        break;
    case ToolGlyph::AlignLeft:
        drawAlignedLines(p, Qt::AlignLeft);
        break;
    case ToolGlyph::AlignRight:
        drawAlignedLines(p, Qt::AlignRight);
        break;
    case ToolGlyph::AlignCenter:
        drawAlignedLines(p, Qt::AlignHCenter);
        break;
    case ToolGlyph::AlignJustify:
        drawAlignedLines(p, Qt::AlignJustify);
        break;
    }
}

QPixmap renderGlyph(ToolGlyph glyph, int size, bool disabled)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.scale(qreal(size) / Grid, qreal(size) / Grid);
    if (disabled)
        painter.setOpacity(0.35);
    drawGlyph(painter, glyph);
    return pixmap;
}

} // namespace

QIcon toolIcon(ToolGlyph glyph)
{
    QIcon icon;
    for (int size : {16, 20, 32, 40}) {
        icon.addPixmap(renderGlyph(glyph, size, false), QIcon::Normal);
        icon.addPixmap(renderGlyph(glyph, size, true), QIcon::Disabled);
    }
    return icon;
}

} // namespace tamapiko::app
