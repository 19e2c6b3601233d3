#pragma once

// GdiPlayer: the drawing state both metafile kinds replay into (pens,
// brushes, fonts, the object table, colours, mapping mode with window and
// viewport, world transform, clipping, paths, saved states), and the drawing
// operations in logical coordinates. The WMF and EMF readers only decode
// records and call it.
//
// Everything is mapped to the output (the painter's own coordinates) here and
// drawn with an identity painter transform, so that pen widths, fonts and
// bitmaps scale the way the metafile meant.

#include <QColor>
#include <QImage>
#include <QList>
#include <QPainterPath>
#include <QPolygonF>
#include <QRectF>
#include <QString>
#include <QTransform>

#include <optional>
#include <vector>

class QPainter;

namespace tamapiko::engine::metafile {

struct GdiPen
{
    int style = 0;          // PS_* style, end cap and join bits included
    double width = 0;       // logical units; 0 draws one device pixel wide
    QColor color = Qt::black;
};

struct GdiBrush
{
    int style = 0;          // BS_SOLID, BS_NULL, BS_HATCHED, BS_PATTERN...
    QColor color = Qt::white;
    int hatch = 0;          // HS_* when hatched
    QImage pattern;         // when a pattern brush
};

struct GdiFont
{
    QString face;
    double height = 0;      // logical; negative: character height, positive: cell height
    double width = 0;
    int escapement = 0;     // tenths of a degree, counter-clockwise
    int weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    int charset = 1;        // DEFAULT_CHARSET
};

struct GdiObject
{
    enum class Kind { Pen, Brush, Font, Palette, Region };
    Kind kind = Kind::Pen;
    GdiPen pen;
    GdiBrush brush;
    GdiFont font;
    QRectF region;          // a region's bounds (logical units in WMF)
};

// How ExtTextOut's options are spelled in both formats.
enum TextOptions { TextOpaque = 0x2, TextClipped = 0x4 };

enum class ClipMode { And = 1, Or = 2, Xor = 3, Diff = 4, Copy = 5 };

class GdiPlayer
{
public:
    enum class Flavour { Wmf, Emf };

    // `logicalBounds` (WMF: the picture's rectangle in logical units) or
    // `deviceBounds` (EMF: the picture's frame in reference-device pixels)
    // is stretched over `target`.
    GdiPlayer(QPainter &painter, Flavour flavour, const QRectF &bounds, const QRectF &target);
    ~GdiPlayer();

    // Reference device of an EMF: pixels per millimetre for the metric
    // mapping modes.
    void setDeviceResolution(double pixelsPerMmX, double pixelsPerMmY);
    // Decodes 8-bit text in the current font's character set (or in
    // `charset`), giving each character the advance of its bytes when
    // `byteAdvances` holds one per byte.
    QString decodeText(QByteArrayView bytes, int charset = -1) const;
    QList<double> mergeAdvances(QByteArrayView bytes, const QList<double> &byteAdvances) const;

    // --- state
    void setMapMode(int mode);
    void setWindowOrg(QPointF origin);
    void setWindowExt(QSizeF extent);
    void setViewportOrg(QPointF origin);
    void setViewportExt(QSizeF extent);
    void offsetWindowOrg(QPointF delta);
    void offsetViewportOrg(QPointF delta);
    void scaleWindowExt(double xNum, double xDenom, double yNum, double yDenom);
    void scaleViewportExt(double xNum, double xDenom, double yNum, double yDenom);
    void setWorldTransform(const QTransform &transform);
    // Mode 1 identity, 2 left multiply, 3 right multiply, 4 set.
    void modifyWorldTransform(const QTransform &transform, int mode);
    void setBackgroundColor(QColor color) { m_dc.bkColor = color; }
    void setBackgroundMode(int mode) { m_dc.bkOpaque = mode == 2; }
    void setTextColor(QColor color) { m_dc.textColor = color; }
    void setTextAlign(int align) { m_dc.textAlign = align; }
    void setTextCharExtra(double extra) { m_dc.charExtra = extra; }
    void setPolyFillMode(int mode) { m_dc.windingFill = mode == 2; }
    void setArcDirection(int direction) { m_dc.clockwiseArcs = direction == 2; }
    void saveState();
    void restoreState(int which);

    // --- objects
    void setObjectTableSize(int size);
    // WMF: the lowest free slot takes the object.
    void createObject(const GdiObject &object);
    // EMF: the slot is given.
    void createObject(quint32 index, const GdiObject &object);
    void selectObject(quint32 index);
    void selectStockObject(int stock);
    void deleteObject(quint32 index);

    // --- drawing, logical coordinates
    void moveTo(QPointF point);
    void lineTo(QPointF point);
    void polyline(const QPolygonF &points);
    void polylineTo(const QPolygonF &points);
    void polygon(const QPolygonF &points);
    void polyPolygon(const QList<QPolygonF> &polygons);
    void polyPolyline(const QList<QPolygonF> &lines);
    void polyBezier(const QPolygonF &points, bool fromCurrent);
    void rectangle(const QRectF &box);
    void roundRect(const QRectF &box, QSizeF corner);
    void ellipse(const QRectF &box);
    enum class ArcKind { Arc, Chord, Pie, ArcTo };
    void arc(ArcKind kind, const QRectF &box, QPointF start, QPointF end);
    void setPixel(QPointF point, QColor color);
    // `dx`: advance of each character in logical units, or empty.
    void textOut(QPointF reference, const QString &text, const QList<double> &dx, int options,
                 const QRectF &rect);
    // Source rectangle in the bitmap's pixels, measured from its top-left.
    void drawBitmap(const QRectF &destination, const QImage &image, const QRectF &source, quint32 rop);
    // A blit without a source bitmap: fills with the brush, black or white.
    void patternBlit(const QRectF &destination, quint32 rop);
    // Fills rectangles with a brush from the object table, or with the
    // selected brush when `brushIndex` is empty.
    void fillRects(const QList<QRectF> &logicalRects, std::optional<quint32> brushIndex);
    // The bounds of a region in the object table.
    std::optional<QRectF> regionBounds(quint32 regionIndex) const;
    void angleArc(QPointF center, double radius, double startDegrees, double sweepDegrees);

    // --- clipping
    void intersectClipRect(const QRectF &rect);
    void excludeClipRect(const QRectF &rect);
    void offsetClip(QPointF delta);
    // Rectangles in device units (EMF) or, for a region object, logical units.
    void selectClipRects(const QList<QRectF> &deviceRects, ClipMode mode);
    void selectClipRegion(quint32 regionIndex);
    void resetClip();

    // --- paths
    void beginPath();
    void endPath();
    void abortPath();
    void closeFigure();
    void fillPath();
    void strokePath();
    void strokeAndFillPath();
    void selectClipPath(ClipMode mode);

    // True once the output has received anything at all.
    bool drewSomething() const { return m_drew; }

private:
    struct DcState
    {
        GdiPen pen;
        GdiBrush brush;
        GdiFont font;
        QColor textColor = Qt::black;
        QColor bkColor = Qt::white;
        bool bkOpaque = true;
        int textAlign = 0;
        double charExtra = 0;
        bool windingFill = false;
        bool clockwiseArcs = false;
        int mapMode = 1;
        QPointF windowOrg;
        QSizeF windowExt{1, 1};
        QPointF viewportOrg;
        QSizeF viewportExt{1, 1};
        QTransform world;
        QPointF current;
        std::optional<QPainterPath> clip; // output coordinates
    };

    QTransform pageTransform() const;
    QTransform toOutput() const;       // logical -> output
    void updateTransform();
    double scaleX() const;
    double scaleY() const;
    QPen outputPen() const;
    QBrush outputBrush() const;
    void applyClip();
    void combineClip(const QPainterPath &outputPath, ClipMode mode);
    // Adds a shape to the open path, or fills and strokes it.
    void draw(const QPainterPath &logical, bool fill, bool stroke);
    void fillAndStrokeOutput(QPainterPath path, bool fill, bool stroke);
    QFont outputFont(double *pixelHeight) const;
    const GdiObject *object(quint32 index) const;

    QPainter &m_painter;
    Flavour m_flavour;
    QRectF m_bounds;
    QRectF m_target;
    QTransform m_deviceToOutput;
    double m_pixelsPerMmX = 96 / 25.4;
    double m_pixelsPerMmY = 96 / 25.4;
    DcState m_dc;
    QTransform m_toOutput;
    std::vector<DcState> m_saved;
    std::vector<std::optional<GdiObject>> m_objects;
    std::optional<QPainterPath> m_path;   // logical, while a path is being built
    QPainterPath m_finishedPath;
    bool m_clipDirty = true;
    bool m_drew = false;
};

} // namespace tamapiko::engine::metafile
