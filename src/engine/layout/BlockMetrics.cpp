#include "engine/layout/BlockMetrics.h"
#include "engine/ResourceImage.h"

#include "engine/EngineProperties.h"
#include "engine/Units.h"

#include <QImage>
#include <QPixmap>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLine>
#include <QUrl>

#include <algorithm>
#include <cmath>

namespace tamapiko::engine {

namespace {

int twips(qreal points)
{
    return twipsFromPoints(points);
}

} // namespace

BlockMetrics::BlockMetrics(const QTextBlockFormat &format)
    : leftIndent(twips(format.leftMargin()))
    , rightIndent(std::max(0, twips(format.rightMargin())))
    , firstLineIndent(twips(format.textIndent()))
    , spaceAbove(std::max(0, twips(format.topMargin())))
    , spaceBelow(std::max(0, twips(format.bottomMargin())))
    , breakBefore(format.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore
                  || format.boolProperty(ParagraphPageBreakBefore))
    , breakAfter(format.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysAfter)
    , frameStyle(format.intProperty(ParagraphFrameStyle))
    , frameLineWidth(std::max(0, format.intProperty(ParagraphFrameLineWidth)))
    , frameDistance(std::max(0, format.intProperty(ParagraphFrameDistance)))
{
    const QList<QTextOption::Tab> positions = format.tabPositions();
    tabs.reserve(positions.size());
    for (QTextOption::Tab tab : positions) {
        tab.position = tab.position * TwipsPerPoint;
        tabs.append(tab);
    }
    addFrameRoom();
}

int BlockMetrics::defaultTabStop(const QTextDocument *document)
{
    const int twips = document->rootFrame()->frameFormat().intProperty(DocumentDefaultTabStop);
    return twips > 0 ? std::clamp(twips, 36, 31680) : DefaultTabStop;
}

namespace {

bool sameFrame(const QTextBlockFormat &a, const QTextBlockFormat &b)
{
    return a.intProperty(ParagraphFrameStyle) == b.intProperty(ParagraphFrameStyle)
        && a.intProperty(ParagraphFrameLineWidth) == b.intProperty(ParagraphFrameLineWidth)
        && a.intProperty(ParagraphFrameDistance) == b.intProperty(ParagraphFrameDistance);
}

} // namespace

BlockMetrics::BlockMetrics(const QTextBlock &block)
    : BlockMetrics(block.blockFormat())
{
    if (!hasFrame() || !(frameStyle & FrameConnected))
        return;
    const QTextBlockFormat format = block.blockFormat();
    // Only neighbours in the same flow (not across a table's edge) join.
    const QTextBlock previous = block.previous();
    const QTextBlock next = block.next();
    joinsPrevious = previous.isValid() && previous.layout() && sameFrame(previous.blockFormat(), format)
        && previous.position() + previous.length() == block.position()
        && block.document()->frameAt(previous.position()) == block.document()->frameAt(block.position());
    joinsNext = next.isValid() && sameFrame(next.blockFormat(), format)
        && block.document()->frameAt(next.position()) == block.document()->frameAt(block.position());
    // The room for the joined sides was added above: take it back.
    const int side = frameDistance + frameLineWidth * ((frameStyle & FrameDoubleLines) ? 3 : 1);
    if (joinsPrevious && (frameStyle & FrameTop))
        spaceAbove -= side;
    if (joinsNext && (frameStyle & FrameBottom))
        spaceBelow -= side;
}

void BlockMetrics::addFrameRoom()
{
    if (!hasFrame())
        return;
    const int side = frameDistance + frameLineWidth * ((frameStyle & FrameDoubleLines) ? 3 : 1);
    if (frameStyle & FrameTop)
        spaceAbove += side;
    if (frameStyle & FrameBottom)
        spaceBelow += side;
}

int BlockMetrics::lineAdvance(const QTextBlockFormat &format, const QTextLine &line)
{
    qreal height = line.height();
    const qreal value = format.lineHeight();
    switch (format.lineHeightType()) {
    case QTextBlockFormat::ProportionalHeight:
        if (value > 0)
            height = height * value / 100;
        break;
    case QTextBlockFormat::FixedHeight:
        if (value > 0)
            height = value * TwipsPerPoint;
        break;
    case QTextBlockFormat::MinimumHeight:
        height = std::max(height, value * TwipsPerPoint);
        break;
    case QTextBlockFormat::LineDistanceHeight:
        height += std::max<qreal>(0, value * TwipsPerPoint);
        break;
    default:
        break;
    }
    return std::max(1, int(std::ceil(height - 0.01)));
}

QImage BlockMetrics::image(QTextDocument *document, const QTextImageFormat &format)
{
    return resourceImage(document, format.name());
}

QSizeF BlockMetrics::imageSize(QTextDocument *document, const QTextImageFormat &format, int maxWidth)
{
    qreal width = format.width() * TwipsPerPoint;
    qreal height = format.height() * TwipsPerPoint;
    if (width <= 0 || height <= 0) {
        const QImage picture = image(document, format);
        // Pixels count as 96 dots per inch unless the picture says otherwise.
        const qreal dpiX = picture.dotsPerMeterX() > 0 ? picture.dotsPerMeterX() * 0.0254 : 96;
        const qreal dpiY = picture.dotsPerMeterY() > 0 ? picture.dotsPerMeterY() * 0.0254 : 96;
        const qreal naturalW = picture.isNull() ? 480 : picture.width() * 1440 / dpiX;
        const qreal naturalH = picture.isNull() ? 480 : picture.height() * 1440 / dpiY;
        if (width <= 0 && height <= 0) {
            width = naturalW;
            height = naturalH;
        } else if (width <= 0) {
            width = naturalH > 0 ? height * naturalW / naturalH : height;
        } else {
            height = naturalW > 0 ? width * naturalH / naturalW : width;
        }
    }
    if (maxWidth > 0 && width > maxWidth) {
        height = height * maxWidth / width;
        width = maxWidth;
    }
    return QSizeF(std::max<qreal>(1, width), std::max<qreal>(1, height));
}

} // namespace tamapiko::engine
