// The records of 16-bit Windows metafiles. Each record is its size in
// 16-bit words, a function number and parameters; points are 16-bit, and many
// records list their parameters in reverse (y before x, bottom before top).

#include "engine/metafile/Dib.h"
#include "engine/metafile/GdiPlayer.h"
#include "engine/metafile/LittleEndianReader.h"
#include "engine/metafile/MetafileRecords.h"

namespace tamapiko::engine::metafile {

namespace {

enum Function : quint16 {
    Eof = 0x0000,
    SetBkColor = 0x0201,
    SetBkMode = 0x0102,
    SetMapMode = 0x0103,
    SetPolyFillMode = 0x0106,
    SetTextCharExtra = 0x0108,
    SetTextColor = 0x0209,
    SetWindowOrg = 0x020B,
    SetWindowExt = 0x020C,
    SetViewportOrg = 0x020D,
    SetViewportExt = 0x020E,
    OffsetWindowOrg = 0x020F,
    ScaleWindowExt = 0x0410,
    OffsetViewportOrg = 0x0211,
    ScaleViewportExt = 0x0412,
    LineTo = 0x0213,
    MoveTo = 0x0214,
    ExcludeClipRect = 0x0415,
    IntersectClipRect = 0x0416,
    Arc = 0x0817,
    Ellipse = 0x0418,
    Pie = 0x081A,
    Rectangle = 0x041B,
    RoundRect = 0x061C,
    PatBlt = 0x061D,
    SaveDc = 0x001E,
    SetPixel = 0x041F,
    OffsetClipRgn = 0x0220,
    TextOut = 0x0521,
    BitBlt = 0x0922,
    StretchBlt = 0x0B23,
    Polygon = 0x0324,
    Polyline = 0x0325,
    RestoreDc = 0x0127,
    FillRegion = 0x0228,
    PaintRegion = 0x012B,
    SelectClipRegion = 0x012C,
    SelectObject = 0x012D,
    SetTextAlign = 0x012E,
    Chord = 0x0830,
    ExtTextOut = 0x0A32,
    SetDibToDev = 0x0D33,
    PolyPolygon = 0x0538,
    DibBitBlt = 0x0940,
    DibStretchBlt = 0x0B41,
    DibCreatePatternBrush = 0x0142,
    StretchDib = 0x0F43,
    DeleteObject = 0x01F0,
    CreatePalette = 0x00F7,
    CreatePatternBrush = 0x01F9,
    CreatePenIndirect = 0x02FA,
    CreateFontIndirect = 0x02FB,
    CreateBrushIndirect = 0x02FC,
    CreateRegion = 0x06FF,
};

QColor colorRef(quint32 value)
{
    return QColor(value & 0xff, (value >> 8) & 0xff, (value >> 16) & 0xff);
}

// Reads a point given as y then x.
QPointF pointYX(LittleEndianReader &r)
{
    const double y = r.i16();
    const double x = r.i16();
    return QPointF(x, y);
}

// Reads a rectangle given as bottom, right, top, left.
QRectF rectBRTL(LittleEndianReader &r)
{
    const double bottom = r.i16();
    const double right = r.i16();
    const double top = r.i16();
    const double left = r.i16();
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

QPolygonF points(LittleEndianReader &r, int count)
{
    QPolygonF polygon;
    if (count <= 0 || count > r.remaining() / 4)
        return polygon;
    polygon.reserve(count);
    for (int i = 0; i < count; ++i) {
        const double x = r.i16();
        const double y = r.i16();
        polygon.append(QPointF(x, y));
    }
    return polygon;
}

// The source rectangle counted from the bitmap's top row; GDI counts it from
// the bottom row for bottom-up bitmaps.
QRectF sourceRect(const Dib &dib, double x, double y, double width, double height)
{
    if (dib.bottomUp)
        y = dib.image.height() - y - height;
    return QRectF(x, y, width, height);
}

GdiObject fontObject(LittleEndianReader &r, const GdiPlayer &player)
{
    GdiObject object;
    object.kind = GdiObject::Kind::Font;
    GdiFont &font = object.font;
    font.height = r.i16();
    font.width = r.i16();
    font.escapement = r.i16();
    r.i16(); // orientation
    font.weight = r.i16();
    font.italic = r.u8();
    font.underline = r.u8();
    font.strikeOut = r.u8();
    font.charset = r.u8();
    r.skip(4);
    QByteArrayView face = r.bytes(std::min<qsizetype>(32, r.remaining()));
    if (const qsizetype end = face.indexOf('\0'); end >= 0)
        face = face.first(end);
    font.face = player.decodeText(face, font.charset);
    return object;
}

void playRecord(quint16 function, LittleEndianReader &r, quint32 words, GdiPlayer &player)
{
    switch (function) {
    case SetBkColor: player.setBackgroundColor(colorRef(r.u32())); break;
    case SetBkMode: player.setBackgroundMode(r.u16()); break;
    case SetMapMode: player.setMapMode(r.u16()); break;
    case SetPolyFillMode: player.setPolyFillMode(r.u16()); break;
    case SetTextCharExtra: player.setTextCharExtra(r.i16()); break;
    case SetTextColor: player.setTextColor(colorRef(r.u32())); break;
    case SetTextAlign: player.setTextAlign(r.u16()); break;
    case SetWindowOrg: player.setWindowOrg(pointYX(r)); break;
    case SetWindowExt: {
        const QPointF extent = pointYX(r);
        player.setWindowExt(QSizeF(extent.x(), extent.y()));
        break;
    }
    case SetViewportOrg: player.setViewportOrg(pointYX(r)); break;
    case SetViewportExt: {
        const QPointF extent = pointYX(r);
        player.setViewportExt(QSizeF(extent.x(), extent.y()));
        break;
    }
    case OffsetWindowOrg: player.offsetWindowOrg(pointYX(r)); break;
    case OffsetViewportOrg: player.offsetViewportOrg(pointYX(r)); break;
    case ScaleWindowExt:
    case ScaleViewportExt: {
        const double yDenom = r.i16();
        const double yNum = r.i16();
        const double xDenom = r.i16();
        const double xNum = r.i16();
        if (function == ScaleWindowExt)
            player.scaleWindowExt(xNum, xDenom, yNum, yDenom);
        else
            player.scaleViewportExt(xNum, xDenom, yNum, yDenom);
        break;
    }
    case SaveDc: player.saveState(); break;
    case RestoreDc: player.restoreState(r.i16()); break;

    case MoveTo: player.moveTo(pointYX(r)); break;
    case LineTo: player.lineTo(pointYX(r)); break;
    case Rectangle: player.rectangle(rectBRTL(r)); break;
    case Ellipse: player.ellipse(rectBRTL(r)); break;
    case RoundRect: {
        const double height = r.i16();
        const double width = r.i16();
        player.roundRect(rectBRTL(r), QSizeF(width, height));
        break;
    }
    case Arc:
    case Pie:
    case Chord: {
        const QPointF end = pointYX(r);
        const QPointF start = pointYX(r);
        const QRectF box = rectBRTL(r);
        const auto kind = function == Arc ? GdiPlayer::ArcKind::Arc
            : function == Pie             ? GdiPlayer::ArcKind::Pie
                                          : GdiPlayer::ArcKind::Chord;
        player.arc(kind, box, start, end);
        break;
    }
    case Polygon: player.polygon(points(r, r.i16())); break;
    case Polyline: player.polyline(points(r, r.i16())); break;
    case PolyPolygon: {
        const int count = r.u16();
        if (count > r.remaining() / 2)
            break;
        QList<int> counts;
        for (int i = 0; i < count; ++i)
            counts.append(r.u16());
        QList<QPolygonF> polygons;
        for (int n : counts)
            polygons.append(points(r, n));
        player.polyPolygon(polygons);
        break;
    }
    case SetPixel: {
        const QColor color = colorRef(r.u32());
        player.setPixel(pointYX(r), color);
        break;
    }

    case TextOut: {
        const int length = r.i16();
        if (length <= 0)
            break;
        const QByteArrayView bytes = r.bytes(length);
        r.skip(length & 1);
        const QPointF at = pointYX(r);
        if (!r.overrun())
            player.textOut(at, player.decodeText(bytes), {}, 0, {});
        break;
    }
    case ExtTextOut: {
        const QPointF at = pointYX(r);
        const int length = r.i16();
        const int options = r.u16();
        QRectF rect;
        if (options & (TextOpaque | TextClipped)) {
            const double left = r.i16();
            const double top = r.i16();
            const double right = r.i16();
            const double bottom = r.i16();
            rect = QRectF(QPointF(left, top), QPointF(right, bottom));
        }
        const QByteArrayView bytes = length > 0 ? r.bytes(length) : QByteArrayView();
        r.skip(length & 1);
        QList<double> byteAdvances;
        if (length > 0 && r.remaining() >= 2 * length) {
            for (int i = 0; i < length; ++i)
                byteAdvances.append(r.i16());
        }
        player.textOut(at, player.decodeText(bytes), player.mergeAdvances(bytes, byteAdvances), options, rect);
        break;
    }

    case ExcludeClipRect: player.excludeClipRect(rectBRTL(r)); break;
    case IntersectClipRect: player.intersectClipRect(rectBRTL(r)); break;
    case OffsetClipRgn: player.offsetClip(pointYX(r)); break;
    case SelectClipRegion: player.selectClipRegion(r.u16()); break;
    case FillRegion: {
        const quint16 region = r.u16();
        const quint16 brush = r.u16();
        if (const auto bounds = player.regionBounds(region))
            player.fillRects({*bounds}, brush);
        break;
    }
    case PaintRegion:
        if (const auto bounds = player.regionBounds(r.u16()))
            player.fillRects({*bounds}, std::nullopt);
        break;

    case PatBlt: {
        const quint32 rop = r.u32();
        const double height = r.i16();
        const double width = r.i16();
        const QPointF at = pointYX(r);
        player.patternBlit(QRectF(at, QSizeF(width, height)), rop);
        break;
    }
    case BitBlt:
    case DibBitBlt:
    case StretchBlt:
    case DibStretchBlt: {
        const bool stretch = function == StretchBlt || function == DibStretchBlt;
        const bool withoutBitmap = words == quint32(function >> 8) + 3;
        const quint32 rop = r.u32();
        double sourceHeight = 0;
        double sourceWidth = 0;
        if (stretch) {
            sourceHeight = r.i16();
            sourceWidth = r.i16();
        }
        const QPointF source = pointYX(r);
        if (withoutBitmap)
            r.skip(2);
        const double height = r.i16();
        const double width = r.i16();
        const QPointF at = pointYX(r);
        const QRectF destination(at, QSizeF(width, height));
        if (withoutBitmap || function == BitBlt || function == StretchBlt) {
            // No bitmap, or a device-dependent one we cannot read: what
            // would be blitted is best shown by the brush.
            player.patternBlit(destination, withoutBitmap ? rop : 0x00F00021);
            break;
        }
        const Dib dib = decodeDib(r.bytes(r.remaining()));
        if (!stretch) {
            sourceWidth = width;
            sourceHeight = height;
        }
        player.drawBitmap(destination, dib.image,
                          sourceRect(dib, source.x(), source.y(), sourceWidth, sourceHeight), rop);
        break;
    }
    case StretchDib: {
        const quint32 rop = r.u32();
        r.u16(); // colour usage
        const double sourceHeight = r.i16();
        const double sourceWidth = r.i16();
        const QPointF source = pointYX(r);
        const double height = r.i16();
        const double width = r.i16();
        const QPointF at = pointYX(r);
        const Dib dib = decodeDib(r.bytes(r.remaining()));
        player.drawBitmap(QRectF(at, QSizeF(width, height)), dib.image,
                          sourceRect(dib, source.x(), source.y(), sourceWidth, sourceHeight), rop);
        break;
    }
    case SetDibToDev: {
        r.u16(); // colour usage
        r.u16(); // scan count
        r.u16(); // start scan
        const QPointF source = pointYX(r);
        const double height = r.i16();
        const double width = r.i16();
        const QPointF at = pointYX(r);
        const Dib dib = decodeDib(r.bytes(r.remaining()));
        player.drawBitmap(QRectF(at, QSizeF(width, height)), dib.image,
                          sourceRect(dib, source.x(), source.y(), width, height), 0x00CC0020);
        break;
    }

    case SelectObject: player.selectObject(r.u16()); break;
    case DeleteObject: player.deleteObject(r.u16()); break;
    case CreatePenIndirect: {
        GdiObject object;
        object.kind = GdiObject::Kind::Pen;
        object.pen.style = r.u16();
        object.pen.width = r.i16();
        r.i16(); // the y of the width is not used
        object.pen.color = colorRef(r.u32());
        player.createObject(object);
        break;
    }
    case CreateBrushIndirect: {
        GdiObject object;
        object.kind = GdiObject::Kind::Brush;
        object.brush.style = r.u16();
        object.brush.color = colorRef(r.u32());
        object.brush.hatch = r.u16();
        player.createObject(object);
        break;
    }
    case DibCreatePatternBrush:
    case CreatePatternBrush: {
        GdiObject object;
        object.kind = GdiObject::Kind::Brush;
        object.brush.style = 5;
        object.brush.color = Qt::gray;
        if (function == DibCreatePatternBrush) {
            r.u16(); // style
            r.u16(); // colour usage
            object.brush.pattern = decodeDib(r.bytes(r.remaining())).image;
        }
        player.createObject(object);
        break;
    }
    case CreateFontIndirect: player.createObject(fontObject(r, player)); break;
    case CreatePalette: {
        GdiObject object;
        object.kind = GdiObject::Kind::Palette;
        player.createObject(object);
        break;
    }
    case CreateRegion: {
        GdiObject object;
        object.kind = GdiObject::Kind::Region;
        r.skip(10); // chain, type, count, size
        r.skip(4);  // scan count, largest scan
        const double left = r.i16();
        const double top = r.i16();
        const double right = r.i16();
        const double bottom = r.i16();
        object.region = QRectF(QPointF(left, top), QPointF(right, bottom));
        player.createObject(object);
        break;
    }
    default:
        break; // records that change nothing we draw, or that we do not know
    }
}

template<typename Visit>
void forEachRecord(QByteArrayView data, qsizetype recordsStart, Visit visit)
{
    qsizetype at = recordsStart;
    for (int count = 0; count < kMaxRecords && at + 6 <= data.size(); ++count) {
        const quint32 words = qFromLittleEndian<quint32>(data.data() + at);
        const quint16 function = qFromLittleEndian<quint16>(data.data() + at + 4);
        if (function == Eof || words < 3 || qint64(words) * 2 > data.size() - at)
            return;
        LittleEndianReader parameters(data.sliced(at + 6, qsizetype(words) * 2 - 6));
        if (!visit(function, parameters, words))
            return;
        at += qsizetype(words) * 2;
    }
}

} // namespace

void playWmfRecords(QByteArrayView data, qsizetype recordsStart, GdiPlayer &player)
{
    forEachRecord(data, recordsStart, [&](quint16 function, LittleEndianReader &r, quint32 words) {
        playRecord(function, r, words, player);
        return true;
    });
}

std::optional<QRectF> wmfWindow(QByteArrayView data, qsizetype recordsStart)
{
    std::optional<QPointF> origin;
    std::optional<QSizeF> extent;
    forEachRecord(data, recordsStart, [&](quint16 function, LittleEndianReader &r, quint32) {
        if (function == SetWindowOrg && !origin) {
            origin = pointYX(r);
        } else if (function == SetWindowExt && !extent) {
            const QPointF e = pointYX(r);
            if (e.x() != 0 && e.y() != 0)
                extent = QSizeF(e.x(), e.y());
        }
        return !(origin && extent);
    });
    if (!extent)
        return std::nullopt;
    return QRectF(origin.value_or(QPointF()), *extent);
}

} // namespace tamapiko::engine::metafile
