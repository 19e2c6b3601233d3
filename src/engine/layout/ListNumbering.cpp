#include "engine/layout/ListNumbering.h"

#include "engine/EngineProperties.h"
#include "engine/layout/BlockMetrics.h"

#include <QFontMetricsF>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>

#include <algorithm>
#include <cmath>

namespace tamapiko::engine {

namespace {

QString alphabetic(int number, char16_t a)
{
    // 1 a, 26 z, 27 aa, 28 bb: letters repeat, as word processors count.
    if (number <= 0)
        return QString::number(number);
    const int repeat = (number - 1) / 26 + 1;
    return QString(std::min(repeat, 50), QChar(char16_t(a + (number - 1) % 26)));
}

QString roman(int number)
{
    if (number <= 0 || number >= 4000)
        return QString::number(number);
    static const struct { int value; const char *text; } kNumerals[] = {
        {1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"}, {100, "c"}, {90, "xc"},
        {50, "l"}, {40, "xl"}, {10, "x"}, {9, "ix"}, {5, "v"}, {4, "iv"}, {1, "i"}};
    QString text;
    for (const auto &numeral : kNumerals) {
        while (number >= numeral.value) {
            text += QLatin1String(numeral.text);
            number -= numeral.value;
        }
    }
    return text;
}

bool isBullet(QTextListFormat::Style style)
{
    return style == QTextListFormat::ListDisc || style == QTextListFormat::ListCircle
        || style == QTextListFormat::ListSquare;
}

} // namespace

int ListNumbering::number(const QTextBlock &block)
{
    QTextList *list = block.textList();
    if (!list)
        return 0;
    const QTextListFormat format = list->format();
    const int start = format.hasProperty(ListStartAt) ? format.intProperty(ListStartAt) : 1;
    const int group = format.intProperty(ListGroup);
    const int level = format.indent();
    if (group == 0 || level <= 1)
        return start + list->itemNumber(block);
    // Items of this level since the last item of a lower level of the same
    // list: that one restarts the count.
    int count = 0;
    const int first = list->item(0).position();
    for (QTextBlock previous = block.previous(); previous.isValid() && previous.position() >= first;
         previous = previous.previous()) {
        QTextList *other = previous.textList();
        if (!other)
            continue;
        if (other == list) {
            ++count;
            continue;
        }
        const QTextListFormat otherFormat = other->format();
        if (otherFormat.intProperty(ListGroup) == group && otherFormat.indent() < level)
            break;
    }
    return start + count;
}

QString ListNumbering::numberText(int number, QTextListFormat::Style style)
{
    switch (style) {
    case QTextListFormat::ListDisc: return QStringLiteral("\u2022");
    case QTextListFormat::ListCircle: return QStringLiteral("\u25E6");
    case QTextListFormat::ListSquare: return QStringLiteral("\u25AA");
    case QTextListFormat::ListLowerAlpha: return alphabetic(number, u'a');
    case QTextListFormat::ListUpperAlpha: return alphabetic(number, u'A');
    case QTextListFormat::ListLowerRoman: return roman(number);
    case QTextListFormat::ListUpperRoman: return roman(number).toUpper();
    default: return QString::number(number);
    }
}

QString ListNumbering::itemText(const QTextBlock &block)
{
    QTextList *list = block.textList();
    if (!list)
        return QString();
    const QTextListFormat format = list->format();
    if (isBullet(format.style())) {
        const QString bullet = format.stringProperty(ListBulletText);
        return bullet.isEmpty() ? numberText(0, format.style()) : bullet;
    }
    // Qt's own lists (from HTML) end their numbers with a full stop unless
    // they say otherwise.
    const QString suffix = format.hasProperty(QTextFormat::ListNumberSuffix) ? format.numberSuffix()
                                                                             : QStringLiteral(".");
    return format.numberPrefix() + numberText(number(block), format.style()) + suffix;
}

ListMarker ListNumbering::marker(const QTextBlock &block, const BlockMetrics &metrics, int defaultTab,
                                 QPaintDevice *device)
{
    ListMarker marker;
    marker.text = itemText(block);
    if (marker.text.isEmpty())
        return marker;
    const QTextListFormat format = block.textList()->format();
    int left = metrics.leftIndent;
    int first = metrics.firstLineIndent;
    if (left == 0 && first == 0) {
        // A list that leaves the indents to its levels (HTML, our own).
        left = LevelIndent * std::max(1, format.indent());
        first = -LevelIndent;
    }
    marker.leftIndent = left;
    marker.numberX = std::max(0, left + first);

    // The number takes the font of the paragraph's first character.
    const auto fragment = block.begin();
    const QTextCharFormat chr = !fragment.atEnd() ? fragment.fragment().charFormat() : block.charFormat();
    marker.font = chr.font().resolve(block.document()->defaultFont());
    const QFontMetricsF metricsOnDevice(marker.font, device);
    const int end = marker.numberX + int(std::ceil(metricsOnDevice.horizontalAdvance(marker.text)));
    switch (format.intProperty(ListFollow)) {
    case 1: // a space
        marker.textX = end + int(std::ceil(metricsOnDevice.horizontalAdvance(QLatin1Char(' '))));
        break;
    case 2: // nothing
        marker.textX = end;
        break;
    default: { // a tab: to the hanging indent, or the next default stop
        const int tab = std::max(1, defaultTab);
        marker.textX = left > end ? left : (end / tab + 1) * tab;
        break;
    }
    }
    return marker;
}

} // namespace tamapiko::engine
