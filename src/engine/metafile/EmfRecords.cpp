// The records of enhanced metafiles. Each record is a type, its size in
// bytes and parameters; offsets inside a record (strings, bitmaps) count from
// the record's start.

#include "engine/metafile/Dib.h"
#include "engine/metafile/GdiPlayer.h"
#include "engine/metafile/LittleEndianReader.h"
#include "engine/metafile/MetafileRecords.h"

namespace tamapiko::engine::metafile {

namespace {

enum Record : quint32 {
    Header = 1,
    PolyBezier = 2,
    Polygon = 3,
    Polyline = 4,
    PolyBezierTo = 5,
    PolylineTo = 6,
    PolyPolyline = 7,
    PolyPolygon = 8,
    SetWindowExtEx = 9,
    SetWindowOrgEx = 10,
    SetViewportExtEx = 11,
    SetViewportOrgEx = 12,
    Eof = 14,
    SetPixelV = 15,
    SetMapMode = 17,
    SetBkMode = 18,
    SetPolyFillMode = 19,
    SetTextAlign = 22,
    SetTextColor = 24,
    SetBkColor = 25,
    OffsetClipRgn = 26,
    MoveToEx = 27,
    ExcludeClipRect = 29,
    IntersectClipRect = 30,
    ScaleViewportExtEx = 31,
    ScaleWindowExtEx = 32,
    SaveDc = 33,
    RestoreDc = 34,
    SetWorldTransform = 35,
    ModifyWorldTransform = 36,
    SelectObject = 37,
    CreatePen = 38,
    CreateBrushIndirect = 39,
    DeleteObject = 40,
    AngleArc = 41,
    Ellipse = 42,
    Rectangle = 43,
    RoundRect = 44,
    Arc = 45,
    Chord = 46,
    Pie = 47,
    LineTo = 54,
    ArcTo = 55,
    SetArcDirection = 57,
    BeginPath = 59,
    EndPath = 60,
    CloseFigure = 61,
    FillPath = 62,
    StrokeAndFillPath = 63,
    StrokePath = 64,
    SelectClipPath = 67,
    AbortPath = 68,
    FillRgn = 71,
    PaintRgn = 74,
    ExtSelectClipRgn = 75,
    BitBlt = 76,
    StretchBlt = 77,
    MaskBlt = 78,
    SetDiBitsToDevice = 80,
    StretchDiBits = 81,
    ExtCreateFontIndirectW = 82,
    ExtTextOutA = 83,
    ExtTextOutW = 84,
    PolyBezier16 = 85,
    Polygon16 = 86,
    Polyline16 = 87,
    PolyBezierTo16 = 88,
    PolylineTo16 = 89,
    PolyPolyline16 = 90,
    PolyPolygon16 = 91,
    CreateMonoBrush = 93,
    CreateDibPatternBrushPt = 94,
    ExtCreatePen = 95,
};

constexpr int kMaxPolygons = 100000;

QColor colorRef(quint32 value)
{
    return QColor(value & 0xff, (value >> 8) & 0xff, (value >> 16) & 0xff);
}

QPointF pointL(LittleEndianReader &r)
{
    const double x = r.i32();
    const double y = r.i32();
    return QPointF(x, y);
}

QRectF rectL(LittleEndianReader &r)
{
    const double left = r.i32();
    const double top = r.i32();
    const double right = r.i32();
    const double bottom = r.i32();
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

QPolygonF points(LittleEndianReader &r, quint32 count, bool small)
{
    QPolygonF polygon;
    const qsizetype size = small ? 4 : 8;
    if (count == 0 || qint64(count) > r.remaining() / size)
        return polygon;
    polygon.reserve(count);
    for (quint32 i = 0; i < count; ++i) {
        if (small) {
            const double x = r.i16();
            const double y = r.i16();
            polygon.append(QPointF(x, y));
        } else {
            polygon.append(pointL(r));
        }
    }
    return polygon;
}

QList<QPolygonF> polyPoints(LittleEndianReader &r, bool small)
{
    rectL(r); // bounds
    const quint32 polygons = r.u32();
    r.u32(); // total points
    QList<QPolygonF> out;
    if (polygons > quint32(kMaxPolygons) || qint64(polygons) * 4 > r.remaining())
        return out;
    QList<quint32> counts;
    for (quint32 i = 0; i < polygons; ++i)
        counts.append(r.u32());
    for (quint32 count : counts)
        out.append(points(r, count, small));
    return out;
}

// A piece of the record named by an offset and a size from the record's start.
QByteArrayView piece(QByteArrayView record, quint32 offset, quint32 size)
{
    if (offset > quint32(record.size()) || size > quint32(record.size()) - offset)
        return {};
    return record.sliced(offset, size);
}

Dib bitmap(QByteArrayView record, quint32 offBmi, quint32 cbBmi, quint32 offBits, quint32 cbBits)
{
    const QByteArrayView info = piece(record, offBmi, cbBmi);
    const QByteArrayView bits = piece(record, offBits, cbBits);
    if (info.isEmpty())
        return {};
    return decodeDib(info, bits);
}

QRectF sourceRect(const Dib &dib, double x, double y, double width, double height)
{
    if (dib.bottomUp)
        y = dib.image.height() - y - height;
    return QRectF(x, y, width, height);
}

QList<QRectF> regionRects(LittleEndianReader &r, quint32 size)
{
    QList<QRectF> rects;
    const qsizetype start = r.position();
    r.u32(); // header size
    r.u32(); // type
    const quint32 count = r.u32();
    r.u32(); // region size
    rectL(r); // bounds
    if (size < 32 || qint64(count) * 16 > qint64(size) - 32 || qint64(count) * 16 > r.remaining())
        return rects;
    r.seek(start + 32);
    for (quint32 i = 0; i < count; ++i)
        rects.append(rectL(r));
    return rects;
}

QTransform xform(LittleEndianReader &r)
{
    const double m11 = r.f32();
    const double m12 = r.f32();
    const double m21 = r.f32();
    const double m22 = r.f32();
    const double dx = r.f32();
    const double dy = r.f32();
    for (double v : {m11, m12, m21, m22, dx, dy}) {
        if (!std::isfinite(v))
            return QTransform();
    }
    return QTransform(m11, m12, m21, m22, dx, dy);
}

void extTextOut(QByteArrayView record, LittleEndianReader &r, bool wide, GdiPlayer &player)
{
    rectL(r);  // bounds
    r.u32();   // graphics mode
    r.f32();   // x scale
    r.f32();   // y scale
    const QPointF reference = pointL(r);
    const quint32 count = r.u32();
    const quint32 offString = r.u32();
    const quint32 options = r.u32();
    QRectF rect;
    if (!(options & 0x100)) // ETO_NO_RECT
        rect = rectL(r);
    const quint32 offDx = r.u32();
    if (r.overrun() || count > 0x100000)
        return;
    const QByteArrayView bytes = piece(record, offString, wide ? count * 2 : count);
    if (bytes.size() != qsizetype(wide ? count * 2 : count))
        return;
    const bool withDy = options & 0x2000; // ETO_PDY: pairs of x and y advances
    QList<double> advances;
    const QByteArrayView dx = piece(record, offDx, count * (withDy ? 8 : 4));
    if (offDx != 0 && dx.size() == qsizetype(count) * (withDy ? 8 : 4)) {
        LittleEndianReader d(dx);
        for (quint32 i = 0; i < count; ++i) {
            advances.append(d.i32());
            if (withDy)
                d.i32();
        }
    }
    QString text;
    if (wide) {
        text = QString(reinterpret_cast<const QChar *>(bytes.data()), count);
        if constexpr (Q_BYTE_ORDER == Q_BIG_ENDIAN) {
            for (QChar &c : text)
                c = QChar(qFromLittleEndian<quint16>(c.unicode()));
        }
    } else {
        text = player.decodeText(bytes);
        advances = player.mergeAdvances(bytes, advances);
    }
    player.textOut(reference, text, advances, int(options), rect);
}

void playRecord(quint32 type, QByteArrayView record, LittleEndianReader &r, GdiPlayer &player)
{
    r.seek(8);
    switch (type) {
    case SetWindowExtEx: {
        const QPointF e = pointL(r);
        player.setWindowExt(QSizeF(e.x(), e.y()));
        break;
    }
    case SetWindowOrgEx: player.setWindowOrg(pointL(r)); break;
    case SetViewportExtEx: {
        const QPointF e = pointL(r);
        player.setViewportExt(QSizeF(e.x(), e.y()));
        break;
    }
    case SetViewportOrgEx: player.setViewportOrg(pointL(r)); break;
    case ScaleViewportExtEx:
    case ScaleWindowExtEx: {
        const double xNum = r.i32();
        const double xDenom = r.i32();
        const double yNum = r.i32();
        const double yDenom = r.i32();
        if (type == ScaleWindowExtEx)
            player.scaleWindowExt(xNum, xDenom, yNum, yDenom);
        else
            player.scaleViewportExt(xNum, xDenom, yNum, yDenom);
        break;
    }
    case SetMapMode: player.setMapMode(int(r.u32())); break;
    case SetBkMode: player.setBackgroundMode(int(r.u32())); break;
    case SetPolyFillMode: player.setPolyFillMode(int(r.u32())); break;
    case SetTextAlign: player.setTextAlign(int(r.u32())); break;
    case SetTextColor: player.setTextColor(colorRef(r.u32())); break;
    case SetBkColor: player.setBackgroundColor(colorRef(r.u32())); break;
    case SetArcDirection: player.setArcDirection(int(r.u32())); break;
    case SaveDc: player.saveState(); break;
    case RestoreDc: player.restoreState(r.i32()); break;
    case SetWorldTransform: player.setWorldTransform(xform(r)); break;
    case ModifyWorldTransform: {
        const QTransform transform = xform(r);
        player.modifyWorldTransform(transform, int(r.u32()));
        break;
    }

    case SelectObject: player.selectObject(r.u32()); break;
    case DeleteObject: player.deleteObject(r.u32()); break;
    case CreatePen: {
        const quint32 index = r.u32();
        GdiObject object;
        object.kind = GdiObject::Kind::Pen;
        object.pen.style = int(r.u32());
        object.pen.width = r.i32();
        r.i32();
        object.pen.color = colorRef(r.u32());
        player.createObject(index, object);
        break;
    }
    case ExtCreatePen: {
        const quint32 index = r.u32();
        r.skip(16); // bitmap offsets and sizes
        GdiObject object;
        object.kind = GdiObject::Kind::Pen;
        const quint32 style = r.u32();
        const quint32 width = r.u32();
        const quint32 brushStyle = r.u32();
        object.pen.style = int(style & 0xffff);
        if (brushStyle == 1) // a pen with a hollow brush draws nothing
            object.pen.style = (object.pen.style & ~0x0f) | 5;
        object.pen.width = (style & 0x10000) ? double(std::min<quint32>(width, 0x7fffffff)) : 0;
        object.pen.color = colorRef(r.u32());
        player.createObject(index, object);
        break;
    }
    case CreateBrushIndirect: {
        const quint32 index = r.u32();
        GdiObject object;
        object.kind = GdiObject::Kind::Brush;
        object.brush.style = int(r.u32());
        object.brush.color = colorRef(r.u32());
        object.brush.hatch = int(r.u32());
        player.createObject(index, object);
        break;
    }
    case CreateMonoBrush:
    case CreateDibPatternBrushPt: {
        const quint32 index = r.u32();
        r.u32(); // colour usage
        const quint32 offBmi = r.u32();
        const quint32 cbBmi = r.u32();
        const quint32 offBits = r.u32();
        const quint32 cbBits = r.u32();
        GdiObject object;
        object.kind = GdiObject::Kind::Brush;
        object.brush.style = 5;
        object.brush.color = Qt::gray;
        object.brush.pattern = bitmap(record, offBmi, cbBmi, offBits, cbBits).image;
        player.createObject(index, object);
        break;
    }
    case ExtCreateFontIndirectW: {
        const quint32 index = r.u32();
        GdiObject object;
        object.kind = GdiObject::Kind::Font;
        GdiFont &font = object.font;
        font.height = r.i32();
        font.width = r.i32();
        font.escapement = r.i32();
        r.i32(); // orientation
        font.weight = r.i32();
        font.italic = r.u8();
        font.underline = r.u8();
        font.strikeOut = r.u8();
        font.charset = r.u8();
        r.skip(4);
        const QByteArrayView face = r.bytes(std::min<qsizetype>(64, r.remaining()));
        QString name;
        for (qsizetype i = 0; i + 1 < face.size(); i += 2) {
            const char16_t c = qFromLittleEndian<quint16>(face.data() + i);
            if (c == 0)
                break;
            name.append(QChar(c));
        }
        font.face = name;
        player.createObject(index, object);
        break;
    }

    case MoveToEx: player.moveTo(pointL(r)); break;
    case LineTo: player.lineTo(pointL(r)); break;
    case Rectangle: player.rectangle(rectL(r)); break;
    case Ellipse: player.ellipse(rectL(r)); break;
    case RoundRect: {
        const QRectF box = rectL(r);
        const QPointF corner = pointL(r);
        player.roundRect(box, QSizeF(corner.x(), corner.y()));
        break;
    }
    case Arc:
    case Chord:
    case Pie:
    case ArcTo: {
        const QRectF box = rectL(r);
        const QPointF start = pointL(r);
        const QPointF end = pointL(r);
        const auto kind = type == Arc ? GdiPlayer::ArcKind::Arc
            : type == Chord           ? GdiPlayer::ArcKind::Chord
            : type == Pie             ? GdiPlayer::ArcKind::Pie
                                      : GdiPlayer::ArcKind::ArcTo;
        player.arc(kind, box, start, end);
        break;
    }
    case AngleArc: {
        const QPointF center = pointL(r);
        const double radius = r.u32();
        const double start = r.f32();
        const double sweep = r.f32();
        player.angleArc(center, radius, start, sweep);
        break;
    }
    case SetPixelV: {
        const QPointF at = pointL(r);
        player.setPixel(at, colorRef(r.u32()));
        break;
    }
    case PolyBezier: case Polygon: case Polyline: case PolyBezierTo: case PolylineTo:
    case PolyBezier16: case Polygon16: case Polyline16: case PolyBezierTo16: case PolylineTo16: {
        const bool small = type >= PolyBezier16;
        rectL(r); // bounds
        const QPolygonF p = points(r, r.u32(), small);
        switch (small ? type - PolyBezier16 + PolyBezier : type) {
        case PolyBezier: player.polyBezier(p, false); break;
        case Polygon: player.polygon(p); break;
        case Polyline: player.polyline(p); break;
        case PolyBezierTo: player.polyBezier(p, true); break;
        case PolylineTo: player.polylineTo(p); break;
        default: break;
        }
        break;
    }
    case PolyPolyline: player.polyPolyline(polyPoints(r, false)); break;
    case PolyPolygon: player.polyPolygon(polyPoints(r, false)); break;
    case PolyPolyline16: player.polyPolyline(polyPoints(r, true)); break;
    case PolyPolygon16: player.polyPolygon(polyPoints(r, true)); break;

    case ExtTextOutA:
    case ExtTextOutW: extTextOut(record, r, type == ExtTextOutW, player); break;

    case BeginPath: player.beginPath(); break;
    case EndPath: player.endPath(); break;
    case AbortPath: player.abortPath(); break;
    case CloseFigure: player.closeFigure(); break;
    case FillPath: player.fillPath(); break;
    case StrokePath: player.strokePath(); break;
    case StrokeAndFillPath: player.strokeAndFillPath(); break;
    case SelectClipPath: player.selectClipPath(ClipMode(std::clamp<quint32>(r.u32(), 1, 5))); break;

    case ExcludeClipRect: player.excludeClipRect(rectL(r)); break;
    case IntersectClipRect: player.intersectClipRect(rectL(r)); break;
    case OffsetClipRgn: player.offsetClip(pointL(r)); break;
    case ExtSelectClipRgn: {
        const quint32 size = r.u32();
        const quint32 mode = std::clamp<quint32>(r.u32(), 1, 5);
        player.selectClipRects(size ? regionRects(r, size) : QList<QRectF>(), ClipMode(mode));
        break;
    }
    case FillRgn: {
        rectL(r);
        const quint32 size = r.u32();
        const quint32 brush = r.u32();
        player.fillRects(regionRects(r, size), brush);
        break;
    }
    case PaintRgn: {
        rectL(r);
        const quint32 size = r.u32();
        player.fillRects(regionRects(r, size), std::nullopt);
        break;
    }

    case BitBlt:
    case StretchBlt:
    case MaskBlt: {
        rectL(r); // bounds
        const QPointF at = pointL(r);
        const double width = r.i32();
        const double height = r.i32();
        const quint32 rop = r.u32();
        const QPointF source = pointL(r);
        r.skip(24); // source transform
        r.u32();    // source background colour
        r.u32();    // colour usage
        const quint32 offBmi = r.u32();
        const quint32 cbBmi = r.u32();
        const quint32 offBits = r.u32();
        const quint32 cbBits = r.u32();
        double sourceWidth = width;
        double sourceHeight = height;
        if (type == StretchBlt) {
            sourceWidth = r.i32();
            sourceHeight = r.i32();
        }
        const QRectF destination(at, QSizeF(width, height));
        if (cbBmi == 0) {
            player.patternBlit(destination, rop);
            break;
        }
        const Dib dib = bitmap(record, offBmi, cbBmi, offBits, cbBits);
        player.drawBitmap(destination, dib.image,
                          sourceRect(dib, source.x(), source.y(), sourceWidth, sourceHeight),
                          type == MaskBlt ? 0x00CC0020 : rop);
        break;
    }
    case StretchDiBits:
    case SetDiBitsToDevice: {
        rectL(r); // bounds
        const QPointF at = pointL(r);
        const QPointF source = pointL(r);
        const double sourceWidth = r.i32();
        const double sourceHeight = r.i32();
        const quint32 offBmi = r.u32();
        const quint32 cbBmi = r.u32();
        const quint32 offBits = r.u32();
        const quint32 cbBits = r.u32();
        r.u32(); // colour usage
        quint32 rop = 0x00CC0020;
        double width = sourceWidth;
        double height = sourceHeight;
        if (type == StretchDiBits) {
            rop = r.u32();
            width = r.i32();
            height = r.i32();
        }
        const Dib dib = bitmap(record, offBmi, cbBmi, offBits, cbBits);
        player.drawBitmap(QRectF(at, QSizeF(width, height)), dib.image,
                          sourceRect(dib, source.x(), source.y(), sourceWidth, sourceHeight), rop);
        break;
    }
    default:
        break; // records that change nothing we draw, or that we do not know
    }
}

} // namespace

void playEmfRecords(QByteArrayView data, GdiPlayer &player)
{
    qsizetype at = 0;
    for (int count = 0; count < kMaxRecords && at + 8 <= data.size(); ++count) {
        const quint32 type = qFromLittleEndian<quint32>(data.data() + at);
        const quint32 size = qFromLittleEndian<quint32>(data.data() + at + 4);
        if (type == Eof || size < 8 || qint64(size) > data.size() - at)
            return;
        const QByteArrayView record = data.sliced(at, size);
        if (type != Header) {
            LittleEndianReader r(record);
            playRecord(type, record, r, player);
        }
        at += size;
    }
}

} // namespace tamapiko::engine::metafile
