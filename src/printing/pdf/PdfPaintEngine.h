#pragma once

// PdfPaintEngine: the paint engine behind PdfWriter. It keeps the painter's
// state (transform, pen, brush, clip) and writes a PDF operator only when
// something drawn needs it, in device units, the page's own transform
// turning them into points once per page.

#include "printing/pdf/PdfObjectFile.h"

#include <QByteArray>
#include <QHash>
#include <QPaintEngine>
#include <QPainterPath>
#include <QPen>
#include <QTransform>

#include <map>
#include <memory>
#include <vector>

class QFontEngine;

namespace tamapiko::printing::pdf {

class PdfFont;

class PdfPaintEngine : public QPaintEngine
{
public:
    PdfPaintEngine(const QString &fileName, QSizeF pageSize);
    ~PdfPaintEngine() override;

    void setPageSize(QSizeF points) { m_nextPageSize = points; }
    void setTitle(const QString &title) { m_title = title; }
    void setCreator(const QString &creator) { m_creator = creator; }
    bool newPage();
    QString errorString() const { return m_error; }

    bool begin(QPaintDevice *device) override;
    bool end() override;
    void updateState(const QPaintEngineState &state) override;
    void drawPath(const QPainterPath &path) override;
    void drawRects(const QRectF *rects, int count) override;
    void drawLines(const QLineF *lines, int count) override;
    void drawPolygon(const QPointF *points, int count, PolygonDrawMode mode) override;
    void drawPixmap(const QRectF &rect, const QPixmap &pixmap, const QRectF &source) override;
    void drawImage(const QRectF &rect, const QImage &image, const QRectF &source,
                   Qt::ImageConversionFlags flags = Qt::AutoColor) override;
    void drawTextItem(const QPointF &position, const QTextItem &textItem) override;
    Type type() const override { return User; }

private:
    // What the content has set of the graphics state; unset entries are
    // written before they are relied on.
    struct GraphicsState
    {
        QRgb fill = qRgb(0, 0, 0);
        QRgb stroke = qRgb(0, 0, 0);
        qreal lineWidth = 1;
        QByteArray dash = "[]0 d\n";
        int cap = 0;
        int join = 0;
        int alphaKey = 255 * 256 + 255;
        PdfFont *font = nullptr;
        qreal fontSize = 0;
        int renderMode = 0;
    };

    struct Clip
    {
        bool isRect = true;
        QRectF rect;
        QPainterPath path;
    };

    void beginPage();
    bool finishPage();
    void finishDocument();

    void setClip(Qt::ClipOperation operation, const QPainterPath &path);
    // Makes the written clip right for something covering `bounds` (device
    // units); false when nothing of it would be seen.
    bool prepareClip(const QRectF &bounds);
    void closeClip();
    void beginText();
    void endText();

    void setFill(const QColor &color);
    void setStroke(const QPen &pen);
    void colour(QRgb rgb, const char *greyOperator, const char *rgbOperator);
    void setLineWidth(qreal width);
    void setAlpha(qreal fill, qreal stroke);
    void appendPath(const QPainterPath &devicePath);
    void paintPath(const QPainterPath &userPath, bool fill, bool stroke, bool oddEven);
    qreal penWidth() const;

    PdfFont *fontFor(QFontEngine *engine);
    void releaseFontEngines();
    int imageObject(const QImage &image);

    // Content writing.
    void number(qreal value);
    void unit(qreal value);
    void op(const char *text);

    QString m_fileName;
    QString m_error;
    QString m_title;
    QString m_creator;
    QSizeF m_pageSize;
    QSizeF m_nextPageSize;
    PdfObjectFile m_file;
    int m_catalog = 0;
    int m_pageTree = 0;
    int m_resources = 0;
    int m_info = 0;
    std::vector<int> m_pages;
    QByteArray m_content;
    bool m_pageOpen = false;
    bool m_pageMarked = false;           // anything painted on the page yet

    // The painter's state.
    QTransform m_matrix;
    qreal m_scale = 1;                   // the transform's uniform scale
    QPen m_pen;
    QBrush m_brush;
    qreal m_opacity = 1;
    bool m_clipEnabled = false;
    bool m_hasClip = false;
    Clip m_clip;
    int m_clipSerial = 0;

    // What the content written so far has set.
    bool m_clipOpen = false;
    Clip m_openClip;
    int m_openClipSerial = -1;
    bool m_inText = false;
    bool m_textMatrixSet = false;
    qreal m_textLinear[4] = {1, 0, 0, 1};
    QPointF m_lineStart;
    GraphicsState m_state;               // as the content has set it
    GraphicsState m_savedState;          // as it was when the clip was opened

    // Resources shared by every page.
    std::vector<std::unique_ptr<PdfFont>> m_fonts;
    QHash<QByteArray, PdfFont *> m_fontsByFace;
    QHash<QFontEngine *, PdfFont *> m_fontsByEngine;
    std::vector<int> m_fontIds;
    QHash<qint64, int> m_imagesByKey;
    std::vector<int> m_images;
    std::map<int, int> m_alphaStates;    // alpha key -> object
};

} // namespace tamapiko::printing::pdf
