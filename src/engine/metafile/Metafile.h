#pragma once

// Windows metafiles (WMF, with or without the placeable header, and EMF):
// recognising them, their natural size, and drawing them with QPainter.
// Nothing in Qt or the platform draws these, and they are the picture format
// of most logos and clip art in Japanese office documents.
//
// Drawing is best effort by design: unknown records are skipped, broken ones
// end the picture where they start, and nothing in the bytes can make the
// player read outside them or run without end.

#include <QByteArray>
#include <QImage>
#include <QRectF>
#include <QSizeF>

#include <optional>

class QPainter;

namespace tamapiko::engine::metafile {

enum class MetafileType { Wmf, Emf };

class Metafile
{
public:
    // The metafile in `bytes`, or nothing when they are not one.
    static std::optional<Metafile> fromData(const QByteArray &bytes);
    // Whether `bytes` start like a metafile (cheap; for sniffing).
    static bool looksLikeMetafile(QByteArrayView bytes);

    MetafileType type() const { return m_type; }
    // The size the picture means to be shown at, in points. Metafiles
    // without a physical size are taken to be in pixels at 96 dpi.
    QSizeF naturalSize() const { return m_naturalSize; }

    // Plays the records into `target` (painter coordinates), clipped to it.
    // Returns whether anything was drawn.
    bool play(QPainter &painter, const QRectF &target) const;
    // The picture on white, `pixels` large.
    QImage toImage(QSize pixels) const;
    // The picture for a document page, `sizePoints` large: rendered at a
    // resolution fit for printing, within a memory bound.
    QImage toDocumentImage(QSizeF sizePoints) const;

private:
    Metafile() = default;

    QByteArray m_bytes;
    MetafileType m_type = MetafileType::Wmf;
    QSizeF m_naturalSize;
    // WMF: the picture's rectangle in logical units; EMF: its frame in
    // reference-device pixels.
    QRectF m_bounds;
    qsizetype m_recordsStart = 0;
    int m_objectCount = 0;
    double m_pixelsPerMmX = 0;
    double m_pixelsPerMmY = 0;
};

} // namespace tamapiko::engine::metafile
