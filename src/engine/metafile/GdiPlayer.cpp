#include "engine/metafile/GdiPlayer.h"

#include "engine/metafile/PathClipping.h"

#include "engine/formats/RtfCodePage.h"

#include <QFontMetricsF>
#include <QLineF>
#include <QPaintDevice>
#include <QPainter>
#include <QtMath>

#include <algorithm>
#include <cmath>

namespace tamapiko::engine::metafile {

namespace {

// Coordinates beyond this many output pixels are broken input; clamping them
// keeps the rasteriser (and dashed strokes) from spending minutes on them.
constexpr double kMaxCoordinate = 1e6;
constexpr std::size_t kMaxSavedStates = 1024;
constexpr int kMaxObjects = 65535;
constexpr qsizetype kMaxTextLength = 4096;

enum MapMode { MapText = 1, MapLoMetric, MapHiMetric, MapLoEnglish, MapHiEnglish, MapTwips, MapIsotropic, MapAnisotropic };
enum TextAlign { AlignUpdateCp = 1, AlignRight = 2, AlignCenter = 6, AlignBottom = 8, AlignBaseline = 24 };
enum BrushStyle { BrushSolid = 0, BrushNull = 1, BrushHatched = 2, BrushPattern = 3, BrushDibPattern = 5, BrushDibPatternPt = 6 };
enum PenStyle { PenSolid = 0, PenDash, PenDot, PenDashDot, PenDashDotDot, PenNull, PenInsideFrame };

QPainterPath clamped(QPainterPath path)
{
    const QRectF box = path.boundingRect();
    const bool inRange = box.left() > -kMaxCoordinate && box.top() > -kMaxCoordinate
        && box.right() < kMaxCoordinate && box.bottom() < kMaxCoordinate;
    if (inRange && std::isfinite(box.width()) && std::isfinite(box.height()))
        return path;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        const auto clamp = [](double v) { return std::isfinite(v) ? std::clamp(v, -kMaxCoordinate, kMaxCoordinate) : 0.0; };
        path.setElementPositionAt(i, clamp(e.x), clamp(e.y));
    }
    return path;
}

Qt::BrushStyle hatchStyle(int hatch)
{
    switch (hatch) {
    case 0: return Qt::HorPattern;
    case 1: return Qt::VerPattern;
    case 2: return Qt::FDiagPattern;
    case 3: return Qt::BDiagPattern;
    case 4: return Qt::CrossPattern;
    case 5: return Qt::DiagCrossPattern;
    default: return Qt::SolidPattern;
    }
}

QPainter::CompositionMode compositionFor(quint32 rop)
{
    switch (rop) {
    case 0x008800C6: return QPainter::RasterOp_SourceAndDestination;  // SRCAND
    case 0x00EE0086: return QPainter::RasterOp_SourceOrDestination;   // SRCPAINT
    case 0x00660046: return QPainter::RasterOp_SourceXorDestination;  // SRCINVERT
    case 0x00330008: return QPainter::RasterOp_NotSource;             // NOTSRCCOPY
    case 0x00440328: return QPainter::RasterOp_SourceAndNotDestination; // SRCERASE
    default: return QPainter::CompositionMode_SourceOver;
    }
}

// The parametric angle of the point where the line from the box's centre
// towards `p` meets the ellipse in the box, in Qt's degrees.
double ellipseAngle(const QRectF &box, QPointF p)
{
    const QPointF c = box.center();
    return qRadiansToDegrees(std::atan2(-(p.y() - c.y()) * box.width(), (p.x() - c.x()) * box.height()));
}

} // namespace

GdiPlayer::GdiPlayer(QPainter &painter, Flavour flavour, const QRectF &bounds, const QRectF &target)
    : m_painter(painter), m_flavour(flavour), m_bounds(bounds), m_target(target)
{
    m_painter.save();
    m_painter.setRenderHint(QPainter::Antialiasing);
    m_painter.setRenderHint(QPainter::SmoothPixmapTransform);
    m_painter.setRenderHint(QPainter::TextAntialiasing);
    if (m_flavour == Flavour::Wmf) {
        // The picture's own rectangle is the window until the metafile says otherwise.
        m_dc.windowOrg = bounds.topLeft();
        m_dc.windowExt = bounds.size();
    } else if (bounds.width() != 0 && bounds.height() != 0) {
        m_deviceToOutput = QTransform::fromTranslate(-bounds.left(), -bounds.top())
            * QTransform::fromScale(target.width() / bounds.width(), target.height() / bounds.height())
            * QTransform::fromTranslate(target.left(), target.top());
    }
    updateTransform();
}

GdiPlayer::~GdiPlayer()
{
    m_painter.restore();
}

void GdiPlayer::setDeviceResolution(double pixelsPerMmX, double pixelsPerMmY)
{
    if (pixelsPerMmX > 0 && pixelsPerMmY > 0 && std::isfinite(pixelsPerMmX) && std::isfinite(pixelsPerMmY)) {
        m_pixelsPerMmX = pixelsPerMmX;
        m_pixelsPerMmY = pixelsPerMmY;
        updateTransform();
    }
}

namespace {

int codePageOf(int charset)
{
    return rtf::codePageForCharset(charset, 1252);
}

bool isLeadByte(int codePage, quint8 byte)
{
    switch (codePage) {
    case 932: return (byte >= 0x81 && byte <= 0x9f) || (byte >= 0xe0 && byte <= 0xfc);
    case 936: case 949: case 950: return byte >= 0x81 && byte <= 0xfe;
    default: return false;
    }
}

} // namespace

QString GdiPlayer::decodeText(QByteArrayView bytes, int charset) const
{
    thread_local rtf::CodePageDecoder decoder;
    return decoder.decode(codePageOf(charset >= 0 ? charset : m_dc.font.charset), bytes);
}

QList<double> GdiPlayer::mergeAdvances(QByteArrayView bytes, const QList<double> &byteAdvances) const
{
    QList<double> advances;
    if (byteAdvances.size() < bytes.size())
        return advances;
    const int codePage = codePageOf(m_dc.font.charset);
    for (qsizetype i = 0; i < bytes.size();) {
        const qsizetype length = isLeadByte(codePage, quint8(bytes[i])) && i + 1 < bytes.size() ? 2 : 1;
        const QString character = decodeText(bytes.sliced(i, length));
        double advance = 0;
        for (qsizetype k = 0; k < length; ++k)
            advance += byteAdvances[i + k];
        for (qsizetype k = 0; k < character.size(); ++k)
            advances.append(k == 0 ? advance : 0);
        i += length;
    }
    return advances;
}

// --- mapping -------------------------------------------------------------

QTransform GdiPlayer::pageTransform() const
{
    const auto safe = [](double v) { return std::isfinite(v) && v != 0 ? v : 1.0; };
    if (m_flavour == Flavour::Wmf) {
        // A metafile plays into the rectangle it is shown in: the window maps
        // onto it, whatever viewport the metafile asked for.
        double sx = m_target.width() / safe(m_dc.windowExt.width());
        double sy = m_target.height() / safe(m_dc.windowExt.height());
        if (m_dc.mapMode == MapIsotropic) {
            const double s = std::min(std::abs(sx), std::abs(sy));
            sx = std::copysign(s, sx);
            sy = std::copysign(s, sy);
        }
        return QTransform::fromTranslate(-m_dc.windowOrg.x(), -m_dc.windowOrg.y()) * QTransform::fromScale(sx, sy)
            * QTransform::fromTranslate(m_target.left(), m_target.top());
    }

    double sx = 1;
    double sy = 1;
    const auto metric = [&](double mmPerUnit) {
        sx = mmPerUnit * m_pixelsPerMmX;
        sy = -mmPerUnit * m_pixelsPerMmY;
    };
    switch (m_dc.mapMode) {
    case MapLoMetric: metric(0.1); break;
    case MapHiMetric: metric(0.01); break;
    case MapLoEnglish: metric(0.254); break;
    case MapHiEnglish: metric(0.0254); break;
    case MapTwips: metric(25.4 / 1440); break;
    case MapIsotropic:
    case MapAnisotropic:
        sx = m_dc.viewportExt.width() / safe(m_dc.windowExt.width());
        sy = m_dc.viewportExt.height() / safe(m_dc.windowExt.height());
        if (m_dc.mapMode == MapIsotropic) {
            const double s = std::min(std::abs(sx), std::abs(sy));
            sx = std::copysign(s, sx);
            sy = std::copysign(s, sy);
        }
        break;
    default: break;
    }
    if (!std::isfinite(sx) || !std::isfinite(sy))
        sx = sy = 1;
    return QTransform::fromTranslate(-m_dc.windowOrg.x(), -m_dc.windowOrg.y()) * QTransform::fromScale(sx, sy)
        * QTransform::fromTranslate(m_dc.viewportOrg.x(), m_dc.viewportOrg.y());
}

void GdiPlayer::updateTransform()
{
    m_toOutput = m_dc.world * pageTransform() * m_deviceToOutput;
}

QTransform GdiPlayer::toOutput() const
{
    return m_toOutput;
}

double GdiPlayer::scaleX() const
{
    return QLineF(m_toOutput.map(QPointF(0, 0)), m_toOutput.map(QPointF(1, 0))).length();
}

double GdiPlayer::scaleY() const
{
    return QLineF(m_toOutput.map(QPointF(0, 0)), m_toOutput.map(QPointF(0, 1))).length();
}

void GdiPlayer::setMapMode(int mode)
{
    m_dc.mapMode = mode >= MapText && mode <= MapAnisotropic ? mode : MapText;
    updateTransform();
}

void GdiPlayer::setWindowOrg(QPointF origin)
{
    m_dc.windowOrg = origin;
    updateTransform();
}

void GdiPlayer::setWindowExt(QSizeF extent)
{
    if (extent.width() == 0 || extent.height() == 0)
        return; // Windows refuses an empty window too
    m_dc.windowExt = extent;
    updateTransform();
}

void GdiPlayer::setViewportOrg(QPointF origin)
{
    m_dc.viewportOrg = origin;
    updateTransform();
}

void GdiPlayer::setViewportExt(QSizeF extent)
{
    if (extent.width() == 0 || extent.height() == 0)
        return;
    m_dc.viewportExt = extent;
    updateTransform();
}

void GdiPlayer::offsetWindowOrg(QPointF delta)
{
    setWindowOrg(m_dc.windowOrg + delta);
}

void GdiPlayer::offsetViewportOrg(QPointF delta)
{
    setViewportOrg(m_dc.viewportOrg + delta);
}

void GdiPlayer::scaleWindowExt(double xNum, double xDenom, double yNum, double yDenom)
{
    if (xDenom != 0 && yDenom != 0)
        setWindowExt(QSizeF(m_dc.windowExt.width() * xNum / xDenom, m_dc.windowExt.height() * yNum / yDenom));
}

void GdiPlayer::scaleViewportExt(double xNum, double xDenom, double yNum, double yDenom)
{
    if (xDenom != 0 && yDenom != 0)
        setViewportExt(QSizeF(m_dc.viewportExt.width() * xNum / xDenom, m_dc.viewportExt.height() * yNum / yDenom));
}

void GdiPlayer::setWorldTransform(const QTransform &transform)
{
    if (!transform.isInvertible())
        return;
    m_dc.world = transform;
    updateTransform();
}

void GdiPlayer::modifyWorldTransform(const QTransform &transform, int mode)
{
    switch (mode) {
    case 1: m_dc.world = QTransform(); break;
    case 2: // the new transform applies first
        if (transform.isInvertible())
            m_dc.world = transform * m_dc.world;
        break;
    case 3:
        if (transform.isInvertible())
            m_dc.world = m_dc.world * transform;
        break;
    case 4: setWorldTransform(transform); return;
    default: return;
    }
    updateTransform();
}

void GdiPlayer::saveState()
{
    if (m_saved.size() < kMaxSavedStates)
        m_saved.push_back(m_dc);
}

void GdiPlayer::restoreState(int which)
{
    const qint64 size = qint64(m_saved.size());
    const qint64 index = which < 0 ? size + which : qint64(which) - 1;
    if (index < 0 || index >= size)
        return;
    m_dc = m_saved[std::size_t(index)];
    m_saved.resize(std::size_t(index));
    updateTransform();
    m_clipDirty = true;
}

// --- objects -------------------------------------------------------------

void GdiPlayer::setObjectTableSize(int size)
{
    m_objects.assign(std::size_t(std::clamp(size, 0, kMaxObjects)), std::nullopt);
}

void GdiPlayer::createObject(const GdiObject &object)
{
    for (auto &slot : m_objects) {
        if (!slot) {
            slot = object;
            return;
        }
    }
    if (m_objects.size() < std::size_t(kMaxObjects))
        m_objects.push_back(object);
}

void GdiPlayer::createObject(quint32 index, const GdiObject &object)
{
    if (index >= quint32(kMaxObjects))
        return;
    if (index >= m_objects.size())
        m_objects.resize(index + 1);
    m_objects[index] = object;
}

const GdiObject *GdiPlayer::object(quint32 index) const
{
    if (index >= m_objects.size() || !m_objects[index])
        return nullptr;
    return &*m_objects[index];
}

void GdiPlayer::selectObject(quint32 index)
{
    if (m_flavour == Flavour::Emf && (index & 0x80000000u)) {
        selectStockObject(int(index & 0x7fffffffu));
        return;
    }
    const GdiObject *selected = object(index);
    if (!selected)
        return;
    switch (selected->kind) {
    case GdiObject::Kind::Pen: m_dc.pen = selected->pen; break;
    case GdiObject::Kind::Brush: m_dc.brush = selected->brush; break;
    case GdiObject::Kind::Font: m_dc.font = selected->font; break;
    case GdiObject::Kind::Region: selectClipRegion(index); break;
    case GdiObject::Kind::Palette: break;
    }
}

void GdiPlayer::selectStockObject(int stock)
{
    const auto brush = [this](int style, QColor color) { m_dc.brush = GdiBrush{style, color, 0, {}}; };
    const auto pen = [this](int style, QColor color) { m_dc.pen = GdiPen{style, 0, color}; };
    switch (stock) {
    case 0: brush(BrushSolid, Qt::white); break;
    case 1: brush(BrushSolid, QColor(0xc0, 0xc0, 0xc0)); break;
    case 2: brush(BrushSolid, QColor(0x80, 0x80, 0x80)); break;
    case 3: brush(BrushSolid, QColor(0x40, 0x40, 0x40)); break;
    case 4: brush(BrushSolid, Qt::black); break;
    case 5: brush(BrushNull, Qt::black); break;
    case 6: pen(PenSolid, Qt::white); break;
    case 7: pen(PenSolid, Qt::black); break;
    case 8: pen(PenNull, Qt::black); break;
    case 10: case 11: case 12: case 13: case 14: case 16: case 17: m_dc.font = GdiFont(); break;
    default: break;
    }
}

void GdiPlayer::deleteObject(quint32 index)
{
    if (index < m_objects.size())
        m_objects[index].reset();
}

// --- drawing -------------------------------------------------------------

QPen GdiPlayer::outputPen() const
{
    const int style = m_dc.pen.style & 0x0f;
    if (style == PenNull)
        return Qt::NoPen;
    QPen pen(m_dc.pen.color);
    const double scale = (scaleX() + scaleY()) / 2;
    const double limit = std::max(m_target.width(), m_target.height());
    const double width = std::min(m_dc.pen.width * scale, limit);
    pen.setWidthF(std::max(width, 1.0));
    switch (style) {
    case PenDash: pen.setStyle(Qt::DashLine); break;
    case PenDot: pen.setStyle(Qt::DotLine); break;
    case PenDashDot: pen.setStyle(Qt::DashDotLine); break;
    case PenDashDotDot: pen.setStyle(Qt::DashDotDotLine); break;
    default: break;
    }
    switch (m_dc.pen.style & 0x0f00) {
    case 0x100: pen.setCapStyle(Qt::SquareCap); break;
    case 0x200: pen.setCapStyle(Qt::FlatCap); break;
    default: pen.setCapStyle(Qt::RoundCap); break;
    }
    switch (m_dc.pen.style & 0xf000) {
    case 0x1000: pen.setJoinStyle(Qt::BevelJoin); break;
    case 0x2000: pen.setJoinStyle(Qt::MiterJoin); break;
    default: pen.setJoinStyle(Qt::RoundJoin); break;
    }
    return pen;
}

QBrush GdiPlayer::outputBrush() const
{
    switch (m_dc.brush.style) {
    case BrushNull: return Qt::NoBrush;
    case BrushHatched: return QBrush(m_dc.brush.color, hatchStyle(m_dc.brush.hatch));
    case BrushPattern:
    case BrushDibPattern:
    case BrushDibPatternPt:
        if (!m_dc.brush.pattern.isNull())
            return QBrush(m_dc.brush.pattern);
        return QBrush(m_dc.brush.color);
    default: return QBrush(m_dc.brush.color);
    }
}

void GdiPlayer::applyClip()
{
    if (!m_clipDirty)
        return;
    m_clipDirty = false;
    if (m_dc.clip)
        m_painter.setClipPath(*m_dc.clip);
    else
        m_painter.setClipRect(m_target);
}

void GdiPlayer::combineClip(const QPainterPath &outputPath, ClipMode mode)
{
    QPainterPath whole;
    whole.addRect(m_target);
    const QPainterPath current = m_dc.clip.value_or(whole);
    QPainterPath path = clamped(outputPath);
    switch (mode) {
    case ClipMode::And: m_dc.clip = current.intersected(path); break;
    case ClipMode::Or: m_dc.clip = current.united(path).intersected(whole); break;
    case ClipMode::Xor: m_dc.clip = current.subtracted(path).united(path.subtracted(current)).intersected(whole); break;
    case ClipMode::Diff: m_dc.clip = current.subtracted(path); break;
    case ClipMode::Copy: m_dc.clip = path.intersected(whole); break;
    }
    m_clipDirty = true;
}

void GdiPlayer::fillAndStrokeOutput(QPainterPath path, bool fill, bool stroke)
{
    path = clamped(path);
    path.setFillRule(m_dc.windingFill ? Qt::WindingFill : Qt::OddEvenFill);
    applyClip();
    // Nothing outside the target can show (the clip never reaches past it).
    const QRectF seen = m_target.adjusted(-2, -2, 2, 2);
    if (fill && m_dc.brush.style != BrushNull) {
        const QPainterPath shape = fillClippedTo(path, seen);
        if (m_dc.brush.style == BrushHatched && m_dc.bkOpaque)
            m_painter.fillPath(shape, m_dc.bkColor);
        m_painter.fillPath(shape, outputBrush());
        m_drew = true;
    }
    const QPen pen = outputPen();
    if (stroke && pen.style() != Qt::NoPen) {
        const double reach = 2 * pen.widthF() + 2; // round caps and miters stay within this
        m_painter.strokePath(strokeClippedTo(path, m_target.adjusted(-reach, -reach, reach, reach)), pen);
        m_drew = true;
    }
}

void GdiPlayer::draw(const QPainterPath &logical, bool fill, bool stroke)
{
    if (m_path) {
        m_path->addPath(logical);
        return;
    }
    fillAndStrokeOutput(m_toOutput.map(logical), fill, stroke);
}

void GdiPlayer::moveTo(QPointF point)
{
    m_dc.current = point;
    if (m_path)
        m_path->moveTo(point);
}

void GdiPlayer::lineTo(QPointF point)
{
    if (m_path) {
        if (m_path->elementCount() == 0)
            m_path->moveTo(m_dc.current);
        m_path->lineTo(point);
    } else {
        QPainterPath line(m_dc.current);
        line.lineTo(point);
        fillAndStrokeOutput(m_toOutput.map(line), false, true);
    }
    m_dc.current = point;
}

void GdiPlayer::polyline(const QPolygonF &points)
{
    if (points.size() < 2)
        return;
    QPainterPath path;
    path.addPolygon(points);
    draw(path, false, true);
}

void GdiPlayer::polylineTo(const QPolygonF &points)
{
    for (const QPointF &p : points)
        lineTo(p);
}

void GdiPlayer::polygon(const QPolygonF &points)
{
    if (points.size() < 2)
        return;
    QPainterPath path;
    path.addPolygon(points);
    path.closeSubpath();
    draw(path, true, true);
}

void GdiPlayer::polyPolygon(const QList<QPolygonF> &polygons)
{
    QPainterPath path;
    for (const QPolygonF &points : polygons) {
        if (points.size() < 2)
            continue;
        path.addPolygon(points);
        path.closeSubpath();
    }
    draw(path, true, true);
}

void GdiPlayer::polyPolyline(const QList<QPolygonF> &lines)
{
    QPainterPath path;
    for (const QPolygonF &points : lines) {
        if (points.size() >= 2)
            path.addPolygon(points);
    }
    draw(path, false, true);
}

void GdiPlayer::polyBezier(const QPolygonF &points, bool fromCurrent)
{
    qsizetype at = 0;
    QPainterPath path;
    if (fromCurrent) {
        path.moveTo(m_dc.current);
    } else {
        if (points.isEmpty())
            return;
        path.moveTo(points.first());
        at = 1;
    }
    for (; at + 2 < points.size(); at += 3)
        path.cubicTo(points[at], points[at + 1], points[at + 2]);
    if (fromCurrent) {
        if (path.elementCount() > 1)
            m_dc.current = path.currentPosition();
        if (m_path) {
            if (m_path->elementCount() == 0)
                m_path->moveTo(path.elementAt(0));
            m_path->connectPath(path);
            return;
        }
    }
    draw(path, false, true);
}

void GdiPlayer::rectangle(const QRectF &box)
{
    QPainterPath path;
    path.addRect(box.normalized());
    draw(path, true, true);
}

void GdiPlayer::roundRect(const QRectF &box, QSizeF corner)
{
    QPainterPath path;
    path.addRoundedRect(box.normalized(), std::abs(corner.width()) / 2, std::abs(corner.height()) / 2);
    draw(path, true, true);
}

void GdiPlayer::ellipse(const QRectF &box)
{
    QPainterPath path;
    path.addEllipse(box.normalized());
    draw(path, true, true);
}

void GdiPlayer::arc(ArcKind kind, const QRectF &rawBox, QPointF start, QPointF end)
{
    const QRectF box = rawBox.normalized();
    if (box.isEmpty())
        return;
    const double from = ellipseAngle(box, start);
    double sweep = ellipseAngle(box, end) - from;
    if (m_dc.clockwiseArcs) {
        while (sweep >= 0)
            sweep -= 360;
    } else {
        while (sweep <= 0)
            sweep += 360;
    }
    QPainterPath path;
    switch (kind) {
    case ArcKind::Arc:
        path.arcMoveTo(box, from);
        path.arcTo(box, from, sweep);
        draw(path, false, true);
        break;
    case ArcKind::ArcTo:
        path.moveTo(m_dc.current);
        path.arcTo(box, from, sweep);
        m_dc.current = path.currentPosition();
        if (m_path)
            m_path->connectPath(path);
        else
            fillAndStrokeOutput(m_toOutput.map(path), false, true);
        break;
    case ArcKind::Chord:
        path.arcMoveTo(box, from);
        path.arcTo(box, from, sweep);
        path.closeSubpath();
        draw(path, true, true);
        break;
    case ArcKind::Pie:
        path.moveTo(box.center());
        path.arcTo(box, from, sweep);
        path.closeSubpath();
        draw(path, true, true);
        break;
    }
}

void GdiPlayer::setPixel(QPointF point, QColor color)
{
    applyClip();
    m_painter.fillRect(QRectF(m_toOutput.map(point), QSizeF(1, 1)), color);
    m_drew = true;
}

QFont GdiPlayer::outputFont(double *pixelHeight) const
{
    QString face = m_dc.font.face;
    if (face.startsWith(QLatin1Char('@')))
        face.remove(0, 1); // a vertical-writing face: drawn across here
    QFont font(face.isEmpty() ? QStringLiteral("Sans Serif") : face);
    const double dpi = m_painter.device() ? m_painter.device()->logicalDpiY() : 96;
    double height = std::abs(m_dc.font.height) * scaleY();
    if (m_dc.font.height == 0)
        height = 12 * dpi / 72;
    height = std::min(height, 4 * std::max(m_target.height(), m_target.width()) + 1);
    *pixelHeight = height;
    font.setPointSizeF(std::max(height, 0.5) * 72 / dpi);
    font.setWeight(QFont::Weight(std::clamp(m_dc.font.weight > 0 ? m_dc.font.weight : 400, 100, 900)));
    font.setItalic(m_dc.font.italic);
    font.setUnderline(m_dc.font.underline);
    font.setStrikeOut(m_dc.font.strikeOut);
    return font;
}

void GdiPlayer::textOut(QPointF reference, const QString &rawText, const QList<double> &dx, int options,
                        const QRectF &rect)
{
    const QString text = rawText.left(kMaxTextLength);
    const bool updateCurrent = m_dc.textAlign & AlignUpdateCp;
    const QPointF at = updateCurrent ? m_dc.current : reference;
    applyClip();

    if ((options & TextOpaque) && rect.isValid()) {
        QPainterPath box;
        box.addRect(rect.normalized());
        m_painter.fillPath(clamped(m_toOutput.map(box)), m_dc.bkColor);
        m_drew = true;
    }
    if (text.isEmpty())
        return;

    double pixelHeight = 0;
    const QFont font = outputFont(&pixelHeight);
    if (pixelHeight < 0.5)
        return;
    const QFontMetricsF metrics(font, m_painter.device());
    const double sx = scaleX();
    QList<double> advances;
    advances.reserve(text.size());
    double width = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        double advance = i < dx.size() ? dx[i] * sx : metrics.horizontalAdvance(text.at(i));
        if (i >= dx.size())
            advance += m_dc.charExtra * sx;
        if (!std::isfinite(advance))
            advance = 0;
        advances.append(advance);
        width += advance;
    }

    double x = 0;
    switch (m_dc.textAlign & AlignCenter) {
    case AlignRight: x = -width; break;
    case AlignCenter: x = -width / 2; break;
    default: break;
    }
    double baseline = metrics.ascent();
    switch (m_dc.textAlign & AlignBaseline) {
    case AlignBaseline: baseline = 0; break;
    case AlignBottom: baseline = -metrics.descent(); break;
    default: break;
    }

    m_painter.save();
    if ((options & TextClipped) && rect.isValid()) {
        QPainterPath box;
        box.addRect(rect.normalized());
        m_painter.setClipPath(clamped(m_toOutput.map(box)), Qt::IntersectClip);
    }
    const QPointF origin = m_toOutput.map(at);
    m_painter.translate(std::clamp(origin.x(), -kMaxCoordinate, kMaxCoordinate),
                        std::clamp(origin.y(), -kMaxCoordinate, kMaxCoordinate));
    if (m_dc.font.escapement != 0)
        m_painter.rotate(-double(m_dc.font.escapement) / 10.0);   // any 32-bit angle a record holds
    if (m_dc.bkOpaque && !(options & TextOpaque))
        m_painter.fillRect(QRectF(x, baseline - metrics.ascent(), width, metrics.height()), m_dc.bkColor);
    m_painter.setFont(font);
    m_painter.setPen(m_dc.textColor);
    if (dx.isEmpty() && m_dc.charExtra == 0) {
        m_painter.drawText(QPointF(x, baseline), text);
    } else {
        for (qsizetype i = 0; i < text.size(); ++i) {
            m_painter.drawText(QPointF(x, baseline), QString(text.at(i)));
            x += advances[i];
        }
    }
    m_painter.restore();
    m_drew = true;

    if (updateCurrent && sx > 0)
        m_dc.current = at + QPointF(width / sx, 0);
}

void GdiPlayer::drawBitmap(const QRectF &destination, const QImage &image, const QRectF &source, quint32 rop)
{
    if (image.isNull() || destination.width() == 0 || destination.height() == 0)
        return;
    QRectF from = source.isValid() ? source.intersected(QRectF(image.rect())) : QRectF(image.rect());
    if (from.isEmpty())
        return;
    const QTransform placement = QTransform::fromTranslate(-from.left(), -from.top())
        * QTransform::fromScale(destination.width() / from.width(), destination.height() / from.height())
        * QTransform::fromTranslate(destination.left(), destination.top()) * m_toOutput;
    const QRectF outputBox = placement.mapRect(QRectF(QPointF(0, 0), from.size()).translated(from.topLeft()));
    if (!(outputBox.width() < 4 * kMaxCoordinate && outputBox.height() < 4 * kMaxCoordinate))
        return;
    applyClip();
    m_painter.save();
    m_painter.setTransform(placement, true);
    m_painter.setCompositionMode(compositionFor(rop));
    m_painter.drawImage(from, image, from);
    m_painter.restore();
    m_drew = true;
}

void GdiPlayer::patternBlit(const QRectF &destination, quint32 rop)
{
    QPainterPath box;
    box.addRect(destination.normalized());
    const QPainterPath out = clamped(m_toOutput.map(box));
    applyClip();
    m_painter.save();
    switch (rop) {
    case 0x00000042: m_painter.fillPath(out, Qt::black); break;             // BLACKNESS
    case 0x00FF0062: m_painter.fillPath(out, Qt::white); break;             // WHITENESS
    case 0x00AA0029: break;                                                   // the destination as it is
    case 0x00550009:                                                          // DSTINVERT
        m_painter.setCompositionMode(QPainter::RasterOp_NotDestination);
        m_painter.fillPath(out, Qt::black);
        break;
    case 0x005A0049:                                                          // PATINVERT
        m_painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        m_painter.fillPath(out, outputBrush());
        break;
    default:
        if (m_dc.brush.style != BrushNull)
            m_painter.fillPath(out, outputBrush());
        break;
    }
    m_painter.restore();
    m_drew = true;
}

void GdiPlayer::fillRects(const QList<QRectF> &logicalRects, std::optional<quint32> brushIndex)
{
    const GdiBrush saved = m_dc.brush;
    if (brushIndex) {
        const GdiObject *brush = object(*brushIndex);
        if (!brush || brush->kind != GdiObject::Kind::Brush)
            return;
        m_dc.brush = brush->brush;
    }
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    for (const QRectF &rect : logicalRects)
        path.addRect(rect.normalized());
    fillAndStrokeOutput(m_toOutput.map(path), true, false);
    m_dc.brush = saved;
}

std::optional<QRectF> GdiPlayer::regionBounds(quint32 regionIndex) const
{
    const GdiObject *region = object(regionIndex);
    if (!region || region->kind != GdiObject::Kind::Region)
        return std::nullopt;
    return region->region;
}

void GdiPlayer::angleArc(QPointF center, double radius, double startDegrees, double sweepDegrees)
{
    if (!std::isfinite(radius) || !std::isfinite(startDegrees) || !std::isfinite(sweepDegrees))
        return;
    sweepDegrees = std::clamp(sweepDegrees, -3600.0, 3600.0);
    const QRectF box(center.x() - radius, center.y() - radius, 2 * radius, 2 * radius);
    QPainterPath path(m_dc.current);
    QPainterPath start;
    start.arcMoveTo(box, startDegrees);
    path.lineTo(start.currentPosition());
    path.arcTo(box, startDegrees, sweepDegrees);
    m_dc.current = path.currentPosition();
    if (m_path)
        m_path->connectPath(path);
    else
        fillAndStrokeOutput(m_toOutput.map(path), false, true);
}

// --- clipping ------------------------------------------------------------

void GdiPlayer::intersectClipRect(const QRectF &rect)
{
    QPainterPath path;
    path.addRect(rect.normalized());
    combineClip(m_toOutput.map(path), ClipMode::And);
}

void GdiPlayer::excludeClipRect(const QRectF &rect)
{
    QPainterPath path;
    path.addRect(rect.normalized());
    combineClip(m_toOutput.map(path), ClipMode::Diff);
}

void GdiPlayer::offsetClip(QPointF delta)
{
    if (!m_dc.clip)
        return;
    const QPointF moved = m_toOutput.map(delta) - m_toOutput.map(QPointF(0, 0));
    m_dc.clip = clamped(m_dc.clip->translated(moved));
    m_clipDirty = true;
}

void GdiPlayer::selectClipRects(const QList<QRectF> &deviceRects, ClipMode mode)
{
    if (deviceRects.isEmpty()) {
        if (mode == ClipMode::Copy)
            resetClip();
        return;
    }
    QPainterPath path;
    for (const QRectF &rect : deviceRects)
        path.addRect(rect.normalized());
    path.setFillRule(Qt::WindingFill);
    const QTransform device = m_flavour == Flavour::Emf ? m_deviceToOutput : m_toOutput;
    combineClip(device.map(path), mode);
}

void GdiPlayer::selectClipRegion(quint32 regionIndex)
{
    const GdiObject *region = object(regionIndex);
    if (!region || region->kind != GdiObject::Kind::Region) {
        resetClip();
        return;
    }
    QPainterPath path;
    path.addRect(region->region);
    combineClip(m_toOutput.map(path), ClipMode::Copy);
}

void GdiPlayer::resetClip()
{
    m_dc.clip.reset();
    m_clipDirty = true;
}

// --- paths ---------------------------------------------------------------

void GdiPlayer::beginPath()
{
    m_path = QPainterPath();
    m_finishedPath = QPainterPath();
}

void GdiPlayer::endPath()
{
    if (!m_path)
        return;
    m_finishedPath = *m_path;
    m_path.reset();
}

void GdiPlayer::abortPath()
{
    m_path.reset();
    m_finishedPath = QPainterPath();
}

void GdiPlayer::closeFigure()
{
    if (m_path)
        m_path->closeSubpath();
}

void GdiPlayer::fillPath()
{
    fillAndStrokeOutput(m_toOutput.map(m_finishedPath), true, false);
    m_finishedPath = QPainterPath();
}

void GdiPlayer::strokePath()
{
    fillAndStrokeOutput(m_toOutput.map(m_finishedPath), false, true);
    m_finishedPath = QPainterPath();
}

void GdiPlayer::strokeAndFillPath()
{
    fillAndStrokeOutput(m_toOutput.map(m_finishedPath), true, true);
    m_finishedPath = QPainterPath();
}

void GdiPlayer::selectClipPath(ClipMode mode)
{
    QPainterPath path = m_finishedPath;
    path.setFillRule(m_dc.windingFill ? Qt::WindingFill : Qt::OddEvenFill);
    combineClip(m_toOutput.map(path), mode);
    m_finishedPath = QPainterPath();
}

} // namespace tamapiko::engine::metafile
