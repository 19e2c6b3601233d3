#include "printing/pdf/PdfPaintEngine.h"

#include "printing/pdf/PdfFont.h"
#include "printing/pdf/PdfWriter.h"

#include <QDateTime>
#include <QImage>
#include <QPixmap>
#include <QVarLengthArray>

// The glyphs of a text item are only reachable through Qt's text engine.
#include <private/qfontengine_p.h>
#include <private/qtextengine_p.h>

#include <algorithm>
#include <cmath>

namespace tamapiko::printing::pdf {

namespace {

// Device units (twips) to points.
constexpr qreal PointsPerUnit = 72.0 / PdfWriter::Resolution;
// How far a glyph may sit from where the font's advances put it, in
// thousandths of an em, before a correction is written.
constexpr qreal GlyphTolerance = 1.5;

void appendFixed(QByteArray &out, qreal value, int decimals)
{
    const long long scale = decimals == 4 ? 10000 : decimals == 3 ? 1000 : 100;
    long long n = std::llround(value * scale);
    char buffer[32];
    char *end = buffer + sizeof buffer;
    char *p = end;
    const bool negative = n < 0;
    if (negative)
        n = -n;
    long long fraction = n % scale;
    long long whole = n / scale;
    if (fraction) {
        int digits = decimals;
        while (fraction % 10 == 0) {
            fraction /= 10;
            --digits;
        }
        for (int i = 0; i < digits; ++i) {
            *--p = char('0' + fraction % 10);
            fraction /= 10;
        }
        *--p = '.';
    }
    do {
        *--p = char('0' + whole % 10);
        whole /= 10;
    } while (whole);
    if (negative)
        *--p = '-';
    out.append(p, end - p);
}

QByteArray pdfText(const QString &text)
{
    // UTF-16 with a byte order mark, as a hex string.
    QByteArray out = "<FEFF";
    for (const QChar c : text)
        out += QByteArray::number(c.unicode() | 0x10000, 16).mid(1).toUpper();
    return out + '>';
}

// An axis-parallel rectangle when the path is one.
bool pathRect(const QPainterPath &path, QRectF *rect)
{
    const int n = path.elementCount();
    if (n < 4 || n > 5 || !path.elementAt(0).isMoveTo())
        return false;
    const QRectF bounds = path.controlPointRect();
    for (int i = 0; i < n; ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (i > 0 && !e.isLineTo())
            return false;
        if ((e.x != bounds.left() && e.x != bounds.right()) || (e.y != bounds.top() && e.y != bounds.bottom()))
            return false;
    }
    *rect = bounds;
    return true;
}

int capStyle(Qt::PenCapStyle cap)
{
    return cap == Qt::RoundCap ? 1 : cap == Qt::SquareCap ? 2 : 0;
}

int joinStyle(Qt::PenJoinStyle join)
{
    return join == Qt::RoundJoin ? 1 : (join == Qt::BevelJoin ? 2 : 0);
}

} // namespace

PdfPaintEngine::PdfPaintEngine(const QString &fileName, QSizeF pageSize)
    : QPaintEngine(AllFeatures)
    , m_fileName(fileName)
    , m_pageSize(pageSize)
    , m_nextPageSize(pageSize)
{
}

PdfPaintEngine::~PdfPaintEngine()
{
    releaseFontEngines();
}

// --- Document and pages ----------------------------------------------------

bool PdfPaintEngine::begin(QPaintDevice *)
{
    if (m_file.isOpen() || !m_file.open(m_fileName)) {
        m_error = m_file.errorString();
        return false;
    }
    m_catalog = m_file.reserve();
    m_pageTree = m_file.reserve();
    m_resources = m_file.reserve();
    m_info = m_file.reserve();
    beginPage();
    setActive(true);
    return true;
}

bool PdfPaintEngine::newPage()
{
    if (!m_pageOpen)
        return false;
    if (!finishPage())
        return false;
    beginPage();
    return true;
}

bool PdfPaintEngine::end()
{
    setActive(false);
    if (!m_file.isOpen())
        return false;
    finishPage();
    finishDocument();
    releaseFontEngines();
    const bool written = m_file.finish(m_catalog, m_info);
    if (!written)
        m_error = m_file.errorString();
    return written;
}

void PdfPaintEngine::beginPage()
{
    m_pageSize = m_nextPageSize;
    m_content.clear();
    m_content.reserve(64 * 1024);
    // Device units, y downwards, to points, y upwards.
    unit(PointsPerUnit);
    op(" 0 0 ");
    unit(-PointsPerUnit);
    op(" 0 ");
    number(m_pageSize.height());
    op(" cm\n");
    m_state = GraphicsState();
    m_clipOpen = false;
    m_openClipSerial = -1;
    m_inText = false;
    m_pageOpen = true;
    m_pageMarked = false;
}

bool PdfPaintEngine::finishPage()
{
    if (!m_pageOpen)
        return false;
    endText();
    closeClip();
    m_pageOpen = false;
    const int contents = m_file.reserve();
    const int page = m_file.reserve();
    m_file.writeStream(contents, {}, m_content);
    QByteArray box;
    appendFixed(box, m_pageSize.width(), 2);
    box += ' ';
    appendFixed(box, m_pageSize.height(), 2);
    m_file.writeObject(page, "<</Type/Page/Parent " + QByteArray::number(m_pageTree) + " 0 R/MediaBox[0 0 " + box
                                 + "]/Resources " + QByteArray::number(m_resources) + " 0 R/Contents "
                                 + QByteArray::number(contents) + " 0 R>>");
    m_pages.push_back(page);
    m_content = QByteArray();
    return !m_file.failed();
}

void PdfPaintEngine::finishDocument()
{
    QByteArray fonts;
    for (size_t i = 0; i < m_fonts.size(); ++i) {
        if (!m_fonts[i]->isValid())
            continue;
        const int id = m_file.reserve();
        if (m_fonts[i]->write(m_file, id))
            fonts += '/' + m_fonts[i]->resourceName() + ' ' + QByteArray::number(id) + " 0 R";
    }
    QByteArray resources = "<</ProcSet[/PDF/Text/ImageB/ImageC]";
    if (!fonts.isEmpty())
        resources += "/Font<<" + fonts + ">>";
    if (!m_images.empty()) {
        resources += "/XObject<<";
        for (const int id : m_images)
            resources += "/Im" + QByteArray::number(id) + ' ' + QByteArray::number(id) + " 0 R";
        resources += ">>";
    }
    if (!m_alphaStates.empty()) {
        resources += "/ExtGState<<";
        for (const auto &[key, id] : m_alphaStates)
            resources += "/A" + QByteArray::number(key) + ' ' + QByteArray::number(id) + " 0 R";
        resources += ">>";
    }
    m_file.writeObject(m_resources, resources + ">>");

    QByteArray kids;
    kids.reserve(qsizetype(m_pages.size()) * 8);
    for (const int page : m_pages)
        kids += QByteArray::number(page) + " 0 R ";
    m_file.writeObject(m_pageTree, "<</Type/Pages/Kids[" + kids + "]/Count "
                                       + QByteArray::number(qsizetype(m_pages.size())) + ">>");
    m_file.writeObject(m_catalog, "<</Type/Catalog/Pages " + QByteArray::number(m_pageTree) + " 0 R>>");
    const QByteArray date = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddHHmmss")).toLatin1();
    m_file.writeObject(m_info, "<</Title " + pdfText(m_title) + "/Creator " + pdfText(m_creator)
                                   + "/Producer " + pdfText(QStringLiteral("tamapiko")) + "/CreationDate(D:" + date
                                   + "Z)>>");
}

// --- State -------------------------------------------------------------------

void PdfPaintEngine::updateState(const QPaintEngineState &state)
{
    const DirtyFlags flags = state.state();
    if (flags & DirtyTransform) {
        m_matrix = state.transform();
        m_scale = std::sqrt(std::abs(m_matrix.determinant()));
    }
    if (flags & DirtyPen)
        m_pen = state.pen();
    if (flags & DirtyBrush)
        m_brush = state.brush();
    if (flags & DirtyOpacity)
        m_opacity = state.opacity();
    if (flags & DirtyClipEnabled)
        m_clipEnabled = state.isClipEnabled();
    if (flags & DirtyClipPath)
        setClip(state.clipOperation(), state.clipPath());
    if (flags & DirtyClipRegion) {
        QPainterPath path;
        path.addRegion(state.clipRegion());
        setClip(state.clipOperation(), path);
    }
}

void PdfPaintEngine::setClip(Qt::ClipOperation operation, const QPainterPath &path)
{
    ++m_clipSerial;
    if (operation == Qt::NoClip) {
        m_hasClip = false;
        return;
    }
    m_clipEnabled = true;
    Clip clip;
    const QPainterPath device = m_matrix.map(path);
    clip.isRect = pathRect(device, &clip.rect);
    if (!clip.isRect)
        clip.path = device;
    if (operation == Qt::IntersectClip && m_hasClip) {
        if (clip.isRect && m_clip.isRect) {
            clip.rect = clip.rect.intersected(m_clip.rect);
        } else {
            QPainterPath mine = m_clip.path;
            if (m_clip.isRect) {
                mine = QPainterPath();
                mine.addRect(m_clip.rect);
            }
            QPainterPath theirs = clip.path;
            if (clip.isRect) {
                theirs = QPainterPath();
                theirs.addRect(clip.rect);
            }
            clip.isRect = false;
            clip.path = mine.intersected(theirs);
        }
    }
    m_clip = clip;
    m_hasClip = true;
}

bool PdfPaintEngine::prepareClip(const QRectF &bounds)
{
    const bool clipping = m_clipEnabled && m_hasClip;
    if (clipping && m_clip.isRect && !m_clip.rect.intersects(bounds))
        return false;
    // A clip that holds the whole of what is drawn changes nothing: it is
    // written only where it cuts something.
    const bool cuts = clipping && !(m_clip.isRect && m_clip.rect.contains(bounds));
    if (m_clipOpen) {
        const bool openCuts = !(m_openClip.isRect && m_openClip.rect.contains(bounds));
        if (!openCuts && !cuts)
            return true;
        if (cuts && m_openClipSerial == m_clipSerial)
            return true;
        closeClip();
    }
    if (!cuts)
        return true;
    endText();
    op("q ");
    m_savedState = m_state;
    if (m_clip.isRect) {
        number(m_clip.rect.x());
        op(" ");
        number(m_clip.rect.y());
        op(" ");
        number(m_clip.rect.width());
        op(" ");
        number(m_clip.rect.height());
        op(" re");
    } else {
        appendPath(m_clip.path);
    }
    op(m_clip.isRect || m_clip.path.fillRule() == Qt::WindingFill ? " W n\n" : " W* n\n");
    m_clipOpen = true;
    m_openClip = m_clip;
    m_openClipSerial = m_clipSerial;
    return true;
}

void PdfPaintEngine::closeClip()
{
    if (!m_clipOpen)
        return;
    endText();
    op("Q\n");
    m_clipOpen = false;
    m_openClipSerial = -1;
    // What was set inside the saved state is gone with it.
    m_state = m_savedState;
}

void PdfPaintEngine::beginText()
{
    if (m_inText)
        return;
    op("BT\n");
    m_inText = true;
    m_textMatrixSet = false;
}

void PdfPaintEngine::endText()
{
    if (!m_inText)
        return;
    op("ET\n");
    m_inText = false;
}

void PdfPaintEngine::setFill(const QColor &color)
{
    const QRgb rgb = color.rgb();
    if (m_state.fill == rgb)
        return;
    m_state.fill = rgb;
    colour(rgb, " g\n", " rg\n");
}

// A grey as one value, any other colour as three, then the operator.
void PdfPaintEngine::colour(QRgb rgb, const char *greyOperator, const char *rgbOperator)
{
    if (qRed(rgb) == qGreen(rgb) && qGreen(rgb) == qBlue(rgb)) {
        unit(qRed(rgb) / 255.0);
        op(greyOperator);
        return;
    }
    unit(qRed(rgb) / 255.0);
    op(" ");
    unit(qGreen(rgb) / 255.0);
    op(" ");
    unit(qBlue(rgb) / 255.0);
    op(rgbOperator);
}

qreal PdfPaintEngine::penWidth() const
{
    // A cosmetic pen is as wide on the page whatever the scale; width 0 is
    // the thinnest line the reader can draw.
    return m_pen.isCosmetic() ? m_pen.widthF() : m_pen.widthF() * m_scale;
}

void PdfPaintEngine::setLineWidth(qreal width)
{
    if (m_state.lineWidth == width)
        return;
    m_state.lineWidth = width;
    number(width);
    op(" w\n");
}

void PdfPaintEngine::setStroke(const QPen &pen)
{
    const QRgb rgb = pen.color().rgb();
    if (m_state.stroke != rgb) {
        m_state.stroke = rgb;
        colour(rgb, " G\n", " RG\n");
    }
    const qreal width = penWidth();
    setLineWidth(width);
    const int cap = capStyle(pen.capStyle());
    if (cap != m_state.cap) {
        m_state.cap = cap;
        m_content += QByteArray::number(cap) + " J\n";
    }
    const int join = joinStyle(pen.joinStyle());
    if (join != m_state.join) {
        m_state.join = join;
        m_content += QByteArray::number(join) + " j\n";
    }
    QByteArray dash = "[]0 d\n";
    if (pen.style() != Qt::SolidLine) {
        // Dashes are given in pen widths.
        const qreal step = std::max<qreal>(width, 1);
        dash = "[";
        const QList<qreal> pattern = pen.dashPattern();
        for (int i = 0; i < pattern.size(); ++i) {
            if (i)
                dash += ' ';
            appendFixed(dash, pattern[i] * step, 2);
        }
        dash += "]0 d\n";
    }
    if (dash != m_state.dash) {
        m_content += dash;
        m_state.dash = dash;
    }
}

void PdfPaintEngine::setAlpha(qreal fill, qreal stroke)
{
    const int f = std::clamp(int(std::lround(fill * m_opacity * 255)), 0, 255);
    const int s = std::clamp(int(std::lround(stroke * m_opacity * 255)), 0, 255);
    const int key = f * 256 + s;
    if (key == m_state.alphaKey)
        return;
    m_state.alphaKey = key;
    auto found = m_alphaStates.find(key);
    if (found == m_alphaStates.end()) {
        const int id = m_file.reserve();
        QByteArray state = "<</Type/ExtGState/ca ";
        appendFixed(state, f / 255.0, 3);
        state += "/CA ";
        appendFixed(state, s / 255.0, 3);
        m_file.writeObject(id, state + ">>");
        found = m_alphaStates.emplace(key, id).first;
    }
    m_content += "/A" + QByteArray::number(key) + " gs\n";
}

// --- Shapes ------------------------------------------------------------------

void PdfPaintEngine::appendPath(const QPainterPath &path)
{
    const int n = path.elementCount();
    QPointF start;
    QPointF last;
    for (int i = 0; i < n; ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        switch (e.type) {
        case QPainterPath::MoveToElement:
            if (i > 0 && last == start)
                op(" h");
            op(i ? "\n" : "");
            number(e.x);
            op(" ");
            number(e.y);
            op(" m");
            start = last = e;
            break;
        case QPainterPath::LineToElement:
            op(" ");
            number(e.x);
            op(" ");
            number(e.y);
            op(" l");
            last = e;
            break;
        case QPainterPath::CurveToElement:
            if (i + 2 < n) {
                for (int k = 0; k < 3; ++k) {
                    const QPainterPath::Element c = path.elementAt(i + k);
                    op(" ");
                    number(c.x);
                    op(" ");
                    number(c.y);
                }
                op(" c");
                last = path.elementAt(i + 2);
                i += 2;
            }
            break;
        case QPainterPath::CurveToDataElement:
            break;
        }
    }
    if (n > 1 && last == start)
        op(" h");
}

void PdfPaintEngine::paintPath(const QPainterPath &userPath, bool fill, bool stroke, bool oddEven)
{
    fill = fill && m_brush.style() != Qt::NoBrush;
    stroke = stroke && m_pen.style() != Qt::NoPen;
    if ((!fill && !stroke) || userPath.isEmpty())
        return;
    const QPainterPath path = m_matrix.map(userPath);
    const qreal grow = stroke ? std::max<qreal>(penWidth(), 1) : 0;
    const QRectF bounds = path.controlPointRect().adjusted(-grow, -grow, grow, grow);
    if (!prepareClip(bounds))
        return;
    endText();
    // The paper is white: a white sheet painted first adds nothing.
    if (!m_pageMarked && fill && !stroke && m_brush.color() == Qt::white && m_opacity >= 1) {
        QRectF rect;
        if (pathRect(path, &rect)
            && rect.contains(QRectF(0, 0, m_pageSize.width() / PointsPerUnit, m_pageSize.height() / PointsPerUnit)
                                 .adjusted(20, 20, -20, -20)))
            return;
    }
    m_pageMarked = true;
    setAlpha(fill ? m_brush.color().alphaF() : 1, stroke ? m_pen.color().alphaF() : 1);
    if (fill)
        setFill(m_brush.color());
    if (stroke)
        setStroke(m_pen);
    QRectF rect;
    if (pathRect(path, &rect)) {
        number(rect.x());
        op(" ");
        number(rect.y());
        op(" ");
        number(rect.width());
        op(" ");
        number(rect.height());
        op(" re");
    } else {
        appendPath(path);
    }
    if (fill && stroke)
        op(oddEven ? " B*\n" : " B\n");
    else if (fill)
        op(oddEven ? " f*\n" : " f\n");
    else
        op(" S\n");
}

void PdfPaintEngine::drawPath(const QPainterPath &path)
{
    paintPath(path, true, true, path.fillRule() == Qt::OddEvenFill);
}

void PdfPaintEngine::drawRects(const QRectF *rects, int count)
{
    for (int i = 0; i < count; ++i) {
        QPainterPath path;
        path.addRect(rects[i]);
        paintPath(path, true, true, false);
    }
}

void PdfPaintEngine::drawLines(const QLineF *lines, int count)
{
    QPainterPath path;
    for (int i = 0; i < count; ++i) {
        path.moveTo(lines[i].p1());
        path.lineTo(lines[i].p2());
    }
    paintPath(path, false, true, false);
}

void PdfPaintEngine::drawPolygon(const QPointF *points, int count, PolygonDrawMode mode)
{
    if (count < 2)
        return;
    QPainterPath path(points[0]);
    for (int i = 1; i < count; ++i)
        path.lineTo(points[i]);
    if (mode == PolylineMode) {
        paintPath(path, false, true, false);
        return;
    }
    path.closeSubpath();
    paintPath(path, true, true, mode == OddEvenMode);
}

// --- Images --------------------------------------------------------------------

void PdfPaintEngine::drawPixmap(const QRectF &rect, const QPixmap &pixmap, const QRectF &source)
{
    drawImage(rect, pixmap.toImage(), source);
}

int PdfPaintEngine::imageObject(const QImage &image)
{
    const int width = image.width();
    const int height = image.height();
    const bool gray = image.isGrayscale();
    const QImage pixels = image.convertToFormat(gray ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    const int rowBytes = width * (gray ? 1 : 3);
    QByteArray data;
    data.reserve(qsizetype(rowBytes) * height);
    for (int y = 0; y < height; ++y)
        data.append(reinterpret_cast<const char *>(pixels.constScanLine(y)), rowBytes);
    QByteArray dictionary = "/Type/XObject/Subtype/Image/Width " + QByteArray::number(width) + "/Height "
        + QByteArray::number(height) + "/ColorSpace/" + (gray ? "DeviceGray" : "DeviceRGB") + "/BitsPerComponent 8";
    if (image.hasAlphaChannel()) {
        const QImage alpha = image.convertToFormat(QImage::Format_Alpha8);
        QByteArray mask;
        mask.reserve(qsizetype(width) * height);
        for (int y = 0; y < height; ++y)
            mask.append(reinterpret_cast<const char *>(alpha.constScanLine(y)), width);
        const int maskId = m_file.reserve();
        m_file.writeStream(maskId,
                           "/Type/XObject/Subtype/Image/Width " + QByteArray::number(width) + "/Height "
                               + QByteArray::number(height) + "/ColorSpace/DeviceGray/BitsPerComponent 8",
                           mask);
        dictionary += "/SMask " + QByteArray::number(maskId) + " 0 R";
    }
    const int id = m_file.reserve();
    m_file.writeStream(id, dictionary, data);
    m_images.push_back(id);
    return id;
}

void PdfPaintEngine::drawImage(const QRectF &rect, const QImage &image, const QRectF &source,
                               Qt::ImageConversionFlags)
{
    if (image.isNull() || rect.isEmpty())
        return;
    const QRect part = source.toAlignedRect().intersected(image.rect());
    if (part.isEmpty())
        return;
    const QRectF bounds = m_matrix.mapRect(rect);
    if (!prepareClip(bounds))
        return;
    endText();
    m_pageMarked = true;
    // The same picture drawn again is written once.
    const qint64 key = image.cacheKey() ^ (qint64(qHash(part)) << 1);
    int id = m_imagesByKey.value(key, 0);
    if (!id) {
        id = imageObject(part == image.rect() ? image : image.copy(part));
        m_imagesByKey.insert(key, id);
    }
    setAlpha(1, 1);
    // The image's unit square, y upwards, onto the rectangle.
    const QTransform placed = QTransform(rect.width(), 0, 0, -rect.height(), rect.x(), rect.y() + rect.height())
        * m_matrix;
    op("q ");
    for (const qreal v : {placed.m11(), placed.m12(), placed.m21(), placed.m22(), placed.dx(), placed.dy()}) {
        number(v);
        op(" ");
    }
    m_content += "cm /Im" + QByteArray::number(id) + " Do Q\n";
}

// --- Text --------------------------------------------------------------------

PdfFont *PdfPaintEngine::fontFor(QFontEngine *engine)
{
    if (PdfFont *known = m_fontsByEngine.value(engine, nullptr))
        return known->isValid() ? known : nullptr;
    const QFontEngine::FaceId face = engine->faceId();
    if (face.filename.isEmpty())
        return nullptr;
    const QByteArray key = face.filename + '\n' + QByteArray::number(face.index);
    PdfFont *font = m_fontsByFace.value(key, nullptr);
    if (!font) {
        m_fonts.push_back(std::make_unique<PdfFont>(face.filename, face.index, engine->properties().postscriptName,
                                                    int(m_fonts.size())));
        font = m_fonts.back().get();
        m_fontsByFace.insert(key, font);
    }
    // Held until the end, so that the engine cannot go and another take
    // its address meanwhile.
    engine->ref.ref();
    m_fontsByEngine.insert(engine, font);
    return font->isValid() ? font : nullptr;
}

void PdfPaintEngine::releaseFontEngines()
{
    for (auto it = m_fontsByEngine.cbegin(); it != m_fontsByEngine.cend(); ++it) {
        if (!it.key()->ref.deref())
            delete it.key();
    }
    m_fontsByEngine.clear();
}

void PdfPaintEngine::drawTextItem(const QPointF &position, const QTextItem &textItem)
{
    const auto &item = static_cast<const QTextItemInt &>(textItem);
    const QGlyphLayout &glyphs = item.glyphs;
    if (glyphs.numGlyphs <= 0 || m_scale <= 0)
        return;
    QFontEngine *engine = item.fontEngine;
    PdfFont *font = engine ? fontFor(engine) : nullptr;
    const qreal size = engine ? engine->fontDef.pixelSize * m_scale : 0;
    if (!font || size <= 0) {
        // A font that cannot be embedded: its outlines.
        QPaintEngine::drawTextItem(position, textItem);
        return;
    }

    // Where each glyph goes, as Qt's own engines place them.
    struct Placed
    {
        uint32_t glyph;
        int index;
        QPointF at;              // device units
    };
    QVarLengthArray<Placed, 128> placed;
    qreal x = position.x();
    const qreal y = position.y();
    const bool rightToLeft = item.flags & QTextItem::RightToLeft;
    if (rightToLeft) {
        for (int i = 0; i < glyphs.numGlyphs; ++i)
            x += glyphs.effectiveAdvance(i).toReal();
    }
    for (int i = 0; i < glyphs.numGlyphs; ++i) {
        if (glyphs.attributes[i].dontPrint)
            continue;
        const qreal advance = glyphs.advances[i].toReal();
        const qreal justification = QFixed::fromFixed(glyphs.justifications[i].space_18d6).toReal();
        if (rightToLeft)
            x -= advance;
        placed.append({glyphs.glyphs[i], i,
                       m_matrix.map(QPointF(x + glyphs.offsets[i].x.toReal(), y + glyphs.offsets[i].y.toReal()))});
        x += rightToLeft ? -justification : advance + justification;
    }
    if (placed.isEmpty())
        return;

    // Seen or not, and the bounds for the clip.
    const qreal ascent = item.ascent.toReal();
    const qreal descent = item.descent.toReal();
    qreal left = position.x();
    qreal right = position.x() + item.width.toReal();
    const QRectF bounds = m_matrix.mapRect(QRectF(std::min(left, right) - ascent, y - ascent,
                                                  std::abs(right - left) + 2 * ascent, ascent + descent));
    if (!prepareClip(bounds))
        return;

    // What the glyphs stand for, the first time they are shown.
    bool allKnown = true;
    for (const Placed &p : placed)
        allKnown = allKnown && font->knows(p.glyph);
    if (!allKnown) {
        if (item.chars && item.logClusters && item.num_chars > 0) {
            int base = item.logClusters[0];
            for (int c = 1; c < item.num_chars; ++c)
                base = std::min<int>(base, item.logClusters[c]);
            int c = 0;
            while (c < item.num_chars) {
                const int glyph = item.logClusters[c] - base;
                int end = c + 1;
                while (end < item.num_chars && item.logClusters[end] == item.logClusters[c])
                    ++end;
                if (glyph >= 0 && glyph < glyphs.numGlyphs)
                    font->use(glyphs.glyphs[glyph], item.chars + c, end - c);
                c = end;
            }
        }
        for (const Placed &p : placed)
            font->use(p.glyph, nullptr, 0);
    }

    m_pageMarked = true;
    const QColor color = m_pen.color();
    setAlpha(color.alphaF(), color.alphaF());
    setFill(color);
    const int synthesized = engine->synthesized();
    const int mode = synthesized & QFontEngine::SynthesizedBold ? 2 : 0;
    if (mode == 2) {
        setStroke(QPen(color, 0));
        setLineWidth(size / 30);
    }
    beginText();
    if (mode != m_state.renderMode) {
        m_state.renderMode = mode;
        m_content += QByteArray::number(mode) + " Tr\n";
    }
    if (font != m_state.font || size != m_state.fontSize) {
        m_state.font = font;
        m_state.fontSize = size;
        m_content += '/' + font->resourceName() + ' ';
        number(size);
        op(" Tf\n");
    }

    // The text matrix's linear part: the painter's transform without its
    // scale (which is in the font size), y upwards, and the slant or
    // stretch the font engine makes up.
    qreal linear[4] = {m_matrix.m11() / m_scale, m_matrix.m12() / m_scale, -m_matrix.m21() / m_scale,
                       -m_matrix.m22() / m_scale};
    if ((synthesized & QFontEngine::SynthesizedStretch) && engine->fontDef.stretch > 0
        && engine->fontDef.stretch != 100) {
        linear[0] *= engine->fontDef.stretch / 100.0;
        linear[1] *= engine->fontDef.stretch / 100.0;
    }
    if (synthesized & QFontEngine::SynthesizedItalic) {
        linear[2] += 0.2 * linear[0];
        linear[3] += 0.2 * linear[1];
    }
    const qreal determinant = linear[0] * linear[3] - linear[1] * linear[2];
    if (determinant == 0)
        return;
    // Device offsets to text space.
    auto toText = [&](QPointF d) {
        return QPointF((linear[3] * d.x() - linear[2] * d.y()) / determinant,
                       (-linear[1] * d.x() + linear[0] * d.y()) / determinant);
    };
    auto moveTo = [&](QPointF at) {
        if (m_textMatrixSet && std::equal(linear, linear + 4, m_textLinear)) {
            const QPointF offset = toText(at - m_lineStart);
            number(offset.x());
            op(" ");
            number(offset.y());
            op(" Td ");
        } else {
            for (int i = 0; i < 4; ++i) {
                appendFixed(m_content, linear[i], 4);
                op(" ");
            }
            number(at.x());
            op(" ");
            number(at.y());
            op(" Tm ");
            std::copy(linear, linear + 4, m_textLinear);
            m_textMatrixSet = true;
        }
        m_lineStart = at;
    };

    moveTo(placed[0].at);
    op("[");
    bool inString = false;
    qreal pen = 0;                        // where the reader's pen is, text space
    for (const Placed &p : placed) {
        QPointF offset = toText(p.at - m_lineStart);
        if (std::abs(offset.y()) > 0.01) {
            // Off the line (a raised mark): a line of its own.
            if (inString)
                op(")");
            op("]TJ\n");
            inString = false;
            moveTo(p.at);
            op("[");
            offset = QPointF();
            pen = 0;
        }
        const qreal shift = (offset.x() - pen) * 1000 / size;
        if (std::abs(shift) >= GlyphTolerance) {
            const long long adjust = std::llround(-shift);
            if (inString)
                op(")");
            inString = false;
            m_content += QByteArray::number(adjust);
            pen -= adjust * size / 1000;
        }
        if (!inString) {
            op("(");
            inString = true;
        }
        const char bytes[2] = {char(p.glyph >> 8), char(p.glyph & 0xFF)};
        for (const char b : bytes) {
            if (b == '(' || b == ')' || b == '\\')
                m_content += '\\';
            if (b == '\r')
                op("\\r");
            else
                m_content += b;
        }
        pen += font->width(p.glyph) * size / 1000;
    }
    if (inString)
        op(")");
    op("]TJ\n");
}

// --- Writing numbers -----------------------------------------------------------

void PdfPaintEngine::number(qreal value)
{
    appendFixed(m_content, value, 2);
}

void PdfPaintEngine::unit(qreal value)
{
    appendFixed(m_content, value, 3);
}

void PdfPaintEngine::op(const char *text)
{
    m_content.append(text);
}

} // namespace tamapiko::printing::pdf
