#include "engine/metafile/Metafile.h"

#include "engine/metafile/GdiPlayer.h"
#include "engine/metafile/LittleEndianReader.h"
#include "engine/metafile/MetafileRecords.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace tamapiko::engine::metafile {

namespace {

constexpr quint32 kPlaceableKey = 0x9AC6CDD7;
constexpr quint32 kEmfSignature = 0x464D4520; // " EMF"
constexpr int kPlaceableSize = 22;
constexpr double kMaxPoints = 5000;           // about 1.7 m: larger sizes are broken input
constexpr double kDocumentDpi = 192;          // crisp on screen at 200 % and good enough in print
constexpr qint64 kMaxDocumentPixels = 6'000'000;

bool isWmfHeader(QByteArrayView data, qsizetype at)
{
    LittleEndianReader r(data);
    r.seek(at);
    const quint16 type = r.u16();
    const quint16 headerWords = r.u16();
    const quint16 version = r.u16();
    return !r.overrun() && (type == 1 || type == 2) && headerWords == 9
        && (version == 0x0100 || version == 0x0300);
}

bool isEmfHeader(QByteArrayView data)
{
    LittleEndianReader r(data);
    const quint32 type = r.u32();
    const quint32 size = r.u32();
    r.seek(40);
    const quint32 signature = r.u32();
    return !r.overrun() && type == 1 && size >= 88 && signature == kEmfSignature;
}

QSizeF boundedPoints(QSizeF size)
{
    if (!std::isfinite(size.width()) || !std::isfinite(size.height()) || size.width() <= 0 || size.height() <= 0)
        return QSizeF(72, 72);
    return QSizeF(std::clamp(size.width(), 1.0, kMaxPoints), std::clamp(size.height(), 1.0, kMaxPoints));
}

// Left, top, right, bottom as 32-bit values, read in that order.
QRectF readRect(LittleEndianReader &r)
{
    const double left = r.i32();
    const double top = r.i32();
    const double right = r.i32();
    const double bottom = r.i32();
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

} // namespace

bool Metafile::looksLikeMetafile(QByteArrayView bytes)
{
    if (bytes.size() >= 4 && qFromLittleEndian<quint32>(bytes.data()) == kPlaceableKey)
        return true;
    return isEmfHeader(bytes) || isWmfHeader(bytes, 0);
}

std::optional<Metafile> Metafile::fromData(const QByteArray &bytes)
{
    Metafile metafile;
    metafile.m_bytes = bytes;
    LittleEndianReader r(bytes);

    if (isEmfHeader(bytes)) {
        metafile.m_type = MetafileType::Emf;
        r.seek(8);
        const QRectF bounds = readRect(r);
        const QRectF frame = readRect(r); // 0.01 mm
        r.seek(56);
        metafile.m_objectCount = r.u16();
        r.seek(72);
        const double devicePixelsX = r.i32();
        const double devicePixelsY = r.i32();
        const double deviceMmX = r.i32();
        const double deviceMmY = r.i32();
        if (devicePixelsX > 0 && devicePixelsY > 0 && deviceMmX > 0 && deviceMmY > 0) {
            metafile.m_pixelsPerMmX = devicePixelsX / deviceMmX;
            metafile.m_pixelsPerMmY = devicePixelsY / deviceMmY;
        } else {
            metafile.m_pixelsPerMmX = metafile.m_pixelsPerMmY = 96 / 25.4;
        }
        if (frame.width() > 0 && frame.height() > 0) {
            metafile.m_bounds = QRectF(frame.left() / 100 * metafile.m_pixelsPerMmX,
                                       frame.top() / 100 * metafile.m_pixelsPerMmY,
                                       frame.width() / 100 * metafile.m_pixelsPerMmX,
                                       frame.height() / 100 * metafile.m_pixelsPerMmY);
            metafile.m_naturalSize = boundedPoints(frame.size() * (72.0 / 2540.0));
        } else {
            metafile.m_bounds = bounds;
            metafile.m_naturalSize = boundedPoints(bounds.size() * 0.75);
        }
        return metafile;
    }

    metafile.m_type = MetafileType::Wmf;
    if (bytes.size() >= kPlaceableSize && qFromLittleEndian<quint32>(bytes.constData()) == kPlaceableKey) {
        r.seek(6);
        const qint16 left = r.i16();
        const qint16 top = r.i16();
        const qint16 right = r.i16();
        const qint16 bottom = r.i16();
        const quint16 unitsPerInch = r.u16();
        metafile.m_bounds = QRectF(QPointF(left, top), QPointF(right, bottom));
        const double inch = unitsPerInch > 0 ? unitsPerInch : 1440;
        metafile.m_naturalSize = boundedPoints(QSizeF(std::abs(right - left), std::abs(bottom - top)) * (72.0 / inch));
        metafile.m_recordsStart = kPlaceableSize;
    }
    if (!isWmfHeader(bytes, metafile.m_recordsStart))
        return std::nullopt;
    r.seek(metafile.m_recordsStart + 10);
    metafile.m_objectCount = r.u16();
    metafile.m_recordsStart += 18;
    if (metafile.m_bounds.isNull()) {
        metafile.m_bounds = wmfWindow(bytes, metafile.m_recordsStart).value_or(QRectF(0, 0, 1000, 1000));
        const QSizeF size = metafile.m_bounds.size();
        metafile.m_naturalSize = boundedPoints(QSizeF(std::abs(size.width()), std::abs(size.height())) * 0.75);
    }
    return metafile;
}

bool Metafile::play(QPainter &painter, const QRectF &target) const
{
    if (target.isEmpty())
        return false;
    if (m_type == MetafileType::Emf) {
        GdiPlayer player(painter, GdiPlayer::Flavour::Emf, m_bounds, target);
        player.setDeviceResolution(m_pixelsPerMmX, m_pixelsPerMmY);
        player.setObjectTableSize(m_objectCount);
        playEmfRecords(m_bytes, player);
        return player.drewSomething();
    }
    GdiPlayer player(painter, GdiPlayer::Flavour::Wmf, m_bounds, target);
    player.setObjectTableSize(m_objectCount);
    playWmfRecords(m_bytes, m_recordsStart, player);
    return player.drewSomething();
}

QImage Metafile::toImage(QSize pixels) const
{
    QImage image(pixels.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    if (image.isNull())
        return image;
    image.fill(Qt::white);
    QPainter painter(&image);
    play(painter, QRectF(image.rect()));
    return image;
}

QImage Metafile::toDocumentImage(QSizeF sizePoints) const
{
    const QSizeF points = boundedPoints(sizePoints);
    double scale = kDocumentDpi / 72;
    const double pixels = points.width() * points.height() * scale * scale;
    if (pixels > kMaxDocumentPixels)
        scale *= std::sqrt(kMaxDocumentPixels / pixels);
    const QSize size(std::max(1, qRound(points.width() * scale)), std::max(1, qRound(points.height() * scale)));
    QImage image = toImage(size);
    // Keeps the layout's idea of the picture's size (points at 72 per inch
    // of the image's resolution) the same as the size asked for.
    const int dotsPerMeter = qRound(scale * 72 / 0.0254);
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    return image;
}

} // namespace tamapiko::engine::metafile
