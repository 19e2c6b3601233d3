#include "engine/metafile/PathClipping.h"

#include <QPolygonF>

#include <array>

namespace tamapiko::engine::metafile {

namespace {

// One side of the box: the points with `inside` true are kept.
struct HalfPlane {
    enum Edge { Left, Top, Right, Bottom } edge;
    double at;

    bool inside(QPointF p) const
    {
        switch (edge) {
        case Left: return p.x() >= at;
        case Right: return p.x() <= at;
        case Top: return p.y() >= at;
        case Bottom: return p.y() <= at;
        }
        return true;
    }

    // Where the segment a-b crosses the side; only asked when it does.
    QPointF crossing(QPointF a, QPointF b) const
    {
        if (edge == Left || edge == Right) {
            const double t = (at - a.x()) / (b.x() - a.x());
            return QPointF(at, a.y() + t * (b.y() - a.y()));
        }
        const double t = (at - a.y()) / (b.y() - a.y());
        return QPointF(a.x() + t * (b.x() - a.x()), at);
    }
};

std::array<HalfPlane, 4> sidesOf(const QRectF &box)
{
    return {HalfPlane{HalfPlane::Left, box.left()}, HalfPlane{HalfPlane::Top, box.top()},
            HalfPlane{HalfPlane::Right, box.right()}, HalfPlane{HalfPlane::Bottom, box.bottom()}};
}

QPolygonF clipPolygon(QPolygonF polygon, const std::array<HalfPlane, 4> &sides)
{
    QPolygonF kept;
    for (const HalfPlane &side : sides) {
        if (polygon.size() < 2)
            return {};
        kept.clear();
        kept.reserve(polygon.size() + 4);
        QPointF previous = polygon.last();
        bool previousInside = side.inside(previous);
        for (const QPointF &point : std::as_const(polygon)) {
            const bool pointInside = side.inside(point);
            if (pointInside != previousInside)
                kept.append(side.crossing(previous, point));
            if (pointInside)
                kept.append(point);
            previous = point;
            previousInside = pointInside;
        }
        polygon.swap(kept);
    }
    return polygon;
}

// Liang-Barsky: the part of a-b inside the box, if any.
bool clipSegment(QPointF &a, QPointF &b, const QRectF &box)
{
    const double dx = b.x() - a.x();
    const double dy = b.y() - a.y();
    double enter = 0;
    double leave = 1;
    const auto limit = [&](double towards, double room) {
        if (towards == 0)
            return room >= 0;
        const double t = room / towards;
        if (towards < 0)
            enter = std::max(enter, t);
        else
            leave = std::min(leave, t);
        return enter <= leave;
    };
    if (!limit(-dx, a.x() - box.left()) || !limit(dx, box.right() - a.x()) || !limit(-dy, a.y() - box.top())
        || !limit(dy, box.bottom() - a.y()))
        return false;
    const QPointF start = a;
    a = start + QPointF(dx, dy) * enter;
    b = start + QPointF(dx, dy) * leave;
    return true;
}

} // namespace

QPainterPath fillClippedTo(const QPainterPath &path, const QRectF &box)
{
    if (box.contains(path.boundingRect()))
        return path;
    const std::array<HalfPlane, 4> sides = sidesOf(box);
    QPainterPath clipped;
    clipped.setFillRule(path.fillRule());
    for (const QPolygonF &subpath : path.toSubpathPolygons()) {
        const QPolygonF kept = clipPolygon(subpath, sides);
        if (kept.size() >= 3) {
            clipped.addPolygon(kept);
            clipped.closeSubpath();
        }
    }
    return clipped;
}

QPainterPath strokeClippedTo(const QPainterPath &path, const QRectF &box)
{
    if (box.contains(path.boundingRect()))
        return path;
    QPainterPath clipped;
    for (const QPolygonF &subpath : path.toSubpathPolygons()) {
        bool joined = false; // whether the last kept piece ends where the next starts
        for (qsizetype i = 1; i < subpath.size(); ++i) {
            QPointF a = subpath[i - 1];
            QPointF b = subpath[i];
            if (!clipSegment(a, b, box)) {
                joined = false;
                continue;
            }
            if (!joined || a != subpath[i - 1])
                clipped.moveTo(a);
            clipped.lineTo(b);
            joined = b == subpath[i];
        }
    }
    return clipped;
}

} // namespace tamapiko::engine::metafile
