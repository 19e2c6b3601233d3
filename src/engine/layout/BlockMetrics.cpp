#include "engine/layout/BlockMetrics.h"

#include "engine/EngineProperties.h"
#include "engine/Units.h"

#include <QHash>
#include <QRawFont>
#include <QTextDocument>
#include <QtEndian>
#include <QTextFrame>
#include <QTextLine>

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
    , paragraphFrameStyle(format.intProperty(ParagraphFrameStyle))
    , paragraphFrameLineWidth(std::max(0, format.intProperty(ParagraphFrameLineWidth)))
    , paragraphFrameDistance(std::max(0, format.intProperty(ParagraphFrameDistance)))
{
    const QList<QTextOption::Tab> positions = format.tabPositions();
    tabs.reserve(positions.size());
    for (QTextOption::Tab tab : positions) {
        tab.position = tab.position * TwipsPerPoint;
        tabs.append(tab);
    }
    addParagraphFrameRoom();
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
    if (!hasParagraphFrame() || !(paragraphFrameStyle & FrameConnected))
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
    const int side = paragraphFrameDistance + paragraphFrameLineWidth * ((paragraphFrameStyle & FrameDoubleLines) ? 3 : 1);
    if (joinsPrevious && (paragraphFrameStyle & FrameTop))
        spaceAbove -= side;
    if (joinsNext && (paragraphFrameStyle & FrameBottom))
        spaceBelow -= side;
}

void BlockMetrics::addParagraphFrameRoom()
{
    if (!hasParagraphFrame())
        return;
    const int side = paragraphFrameDistance + paragraphFrameLineWidth * ((paragraphFrameStyle & FrameDoubleLines) ? 3 : 1);
    if (paragraphFrameStyle & FrameTop)
        spaceAbove += side;
    if (paragraphFrameStyle & FrameBottom)
        spaceBelow += side;
}

int BlockMetrics::lineAdvance(const QTextBlockFormat &format, qreal lineHeight)
{
    qreal height = lineHeight;
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

bool BlockMetrics::lineGapCounts(const QFont &font)
{
    static QHash<QString, bool> known;
    const QString key = font.family() + u'/' + QString::number(font.weight()) + (font.italic() ? QStringLiteral("i") : QString());
    const auto it = known.constFind(key);
    if (it != known.constEnd())
        return *it;
    const QRawFont raw = QRawFont::fromFont(font);
    const QByteArray os2 = raw.fontTable("OS/2");
    const QByteArray hhea = raw.fontTable("hhea");
    bool counts = true;
    if (os2.size() >= 78 && hhea.size() >= 10) {
        auto s16 = [](const QByteArray &table, int offset) { return int(qFromBigEndian<qint16>(table.constData() + offset)); };
        auto u16 = [](const QByteArray &table, int offset) { return int(qFromBigEndian<quint16>(table.constData() + offset)); };
        const int windowsHeight = u16(os2, 74) + u16(os2, 76);
        const int lineGap = s16(hhea, 8);
        const int typographicHeight = s16(hhea, 4) - s16(hhea, 6);
        counts = lineGap - (windowsHeight - typographicHeight) > 0;
    }
    known.insert(key, counts);
    return counts;
}

} // namespace tamapiko::engine
