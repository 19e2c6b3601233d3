#include "engine/formats/HtmlExtras.h"

#include "engine/EngineProperties.h"
#include "engine/ParagraphFrameBits.h"
#include "engine/formats/HtmlLengths.h"

#include <QHash>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <optional>

namespace tamapiko::engine::html {

namespace {

// A mark is a number between two private-use characters: nothing a document
// holds, and nothing Qt escapes or collapses.
constexpr QChar kMarkOpen(0xE000);
constexpr QChar kMarkClose(0xE001);

QString mark(qsizetype index)
{
    return kMarkOpen + QString::number(index) + kMarkClose;
}

const QRegularExpression &markPattern()
{
    static const QRegularExpression pattern(QStringLiteral("\\x{E000}(\\d+)\\x{E001}"));
    return pattern;
}

// The frame's sides in CSS order, with their FrameStyle bits.
struct FrameSide
{
    const char *name;
    int bit;
};
constexpr FrameSide kFrameSides[] = {{"top", FrameTop}, {"right", FrameRight}, {"bottom", FrameBottom}, {"left", FrameLeft}};

QString points(int twips)
{
    return QString::number(twips / 20.0, 'g', 6) + QStringLiteral("pt");
}

// A double line in CSS is as wide as both lines and the gap between them,
// which the page draws each as wide as the frame's line width.
QString frameCss(int style, int width, int distance)
{
    QString css;
    const bool isDouble = style & FrameDoubleLines;
    for (const FrameSide &side : kFrameSides) {
        if (!(style & side.bit))
            continue;
        css += QStringLiteral("border-%1:%2 %3 #000000; padding-%1:%4; ")
                   .arg(QLatin1String(side.name), points(isDouble ? 3 * width : width),
                        isDouble ? QStringLiteral("double") : QStringLiteral("solid"), points(distance));
    }
    return css;
}

bool isFramed(const QTextBlockFormat &format)
{
    return format.hasProperty(ParagraphFrameStyle) && drawsFrame(format.intProperty(ParagraphFrameStyle));
}

struct Mark
{
    int position;
    bool cell;
    QString css;
    QString attributes;
};

constexpr int kCellBorderWidths[] = {QTextFormat::TableCellTopBorder, QTextFormat::TableCellBottomBorder,
                                     QTextFormat::TableCellLeftBorder, QTextFormat::TableCellRightBorder};

constexpr int kCellBorderStyles[] = {QTextFormat::TableCellTopBorderStyle, QTextFormat::TableCellBottomBorderStyle,
                                     QTextFormat::TableCellLeftBorderStyle, QTextFormat::TableCellRightBorderStyle};

// The widths of a cell's own lines (0 for a side without a line, -1 for one
// that takes the table's) when Qt would round one of them or leave out a
// side without a line: empty when Qt's export says it all.
QString exactBorderWidths(const QTextFormat &format)
{
    QStringList widths;
    bool needed = false;
    for (int side = 0; side < 4; ++side) {
        double width = -1;
        if (format.hasProperty(kCellBorderStyles[side])) {
            width = format.intProperty(kCellBorderStyles[side]) == QTextFrameFormat::BorderStyle_None
                ? 0
                : std::max(0.0, format.doubleProperty(kCellBorderWidths[side]));
            needed = needed || width == 0 || width != std::round(width);
        }
        widths.append(QString::number(width, 'g', 6));
    }
    return needed ? widths.join(QLatin1Char(' ')) : QString();
}

void collectCellMarks(QTextFrame *frame, QList<Mark> &marks)
{
    for (QTextFrame *child : frame->childFrames()) {
        if (auto *table = qobject_cast<QTextTable *>(child)) {
            for (int row = 0; row < table->rows(); ++row) {
                for (int column = 0; column < table->columns(); ++column) {
                    const QTextTableCell cell = table->cellAt(row, column);
                    if (cell.row() != row || cell.column() != column)
                        continue;
                    const QTextFormat format = cell.format();
                    const int height = format.intProperty(TableRowMinimumHeight);
                    const QString widths = exactBorderWidths(format);
                    if (height > 0 || !widths.isEmpty())
                        marks.append({cell.firstPosition(), true,
                                      height > 0 ? QStringLiteral("height:%1; ").arg(points(height)) : QString(),
                                      widths.isEmpty() ? QString() : QStringLiteral(" data-border-widths=\"%1\"").arg(widths)});
                }
            }
        }
        collectCellMarks(child, marks);
    }
}

// Where the element a mark belongs to opens: the nearest paragraph or cell
// tag before it.
qsizetype openingTag(const QString &html, qsizetype before, bool cell)
{
    static const QRegularExpression blockTag(QStringLiteral("<(p|li|h[1-6]|pre|div)[\\s>]"),
                                             QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression cellTag(QStringLiteral("<t[dh][\\s>]"), QRegularExpression::CaseInsensitiveOption);
    const QRegularExpression &pattern = cell ? cellTag : blockTag;
    const qsizetype from = std::max<qsizetype>(0, before - 4096);
    qsizetype found = -1;
    for (auto it = pattern.globalMatch(QStringView(html).mid(from, before - from)); it.hasNext();)
        found = from + it.next().capturedStart();
    if (found < 0) { // a very long paragraph: search it all
        for (auto it = pattern.globalMatch(QStringView(html).first(before)); it.hasNext();)
            found = it.next().capturedStart();
    }
    return found;
}

// Adds CSS and attributes to the tag that starts at `tag`.
void extendTag(QString &html, qsizetype tag, const QString &css, const QString &attributes)
{
    const qsizetype end = html.indexOf(QLatin1Char('>'), tag);
    if (end < 0)
        return;
    const qsizetype style = html.indexOf(QLatin1String("style=\""), tag);
    if (style >= 0 && style < end)
        html.insert(style + 7, css);
    else
        html.insert(end, QStringLiteral(" style=\"%1\"").arg(css));
    const qsizetype newEnd = html.indexOf(QLatin1Char('>'), tag);
    html.insert(newEnd, attributes);
}

// The CSS declarations of a style attribute, names in lower case.
QList<std::pair<QString, QString>> declarations(const QString &style)
{
    QList<std::pair<QString, QString>> result;
    for (const QString &part : style.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const qsizetype colon = part.indexOf(QLatin1Char(':'));
        if (colon > 0)
            result.append({part.first(colon).trimmed().toLower(), part.mid(colon + 1).trimmed().toLower()});
    }
    return result;
}

QString attribute(const QString &attributes, const QString &name)
{
    // Most tags name none of the few attributes asked for: a plain search
    // spares the expression, which is made once per name.
    if (!attributes.contains(name, Qt::CaseInsensitive))
        return {};
    thread_local QHash<QString, QRegularExpression> patterns;
    auto pattern = patterns.constFind(name);
    if (pattern == patterns.cend()) {
        pattern = patterns.insert(
            name, QRegularExpression(QStringLiteral("(?<![\\w-])%1\\s*=\\s*(\"([^\"]*)\"|'([^']*)'|([^\\s>]+))").arg(name),
                                     QRegularExpression::CaseInsensitiveOption));
    }
    const QRegularExpressionMatch match = pattern->match(attributes);
    if (!match.hasMatch())
        return {};
    for (int i = 2; i <= 4; ++i) {
        if (match.capturedLength(i) > 0)
            return match.captured(i);
    }
    return {};
}

int toTwips(double points)
{
    return int(std::lround(points * 20));
}

// A least height from CSS, or from the pixels of an HTML height attribute.
int heightOf(const QString &attributes)
{
    for (const auto &[name, value] : declarations(attribute(attributes, QStringLiteral("style")))) {
        if (name == QLatin1String("height") || name == QLatin1String("min-height")) {
            if (const auto length = cssLengthInPoints(value))
                return std::clamp(toTwips(*length), 0, 31680);
        }
    }
    bool ok = false;
    const double pixels = attribute(attributes, QStringLiteral("height")).toDouble(&ok);
    return ok ? std::clamp(toTwips(pixels * 0.75), 0, 31680) : 0;
}

struct CssFrame
{
    int style = 0;
    int width = 0;
    int distance = 0;
};

// Paragraph borders from CSS: each side with a visible line is a side of
// the frame; the first such side gives the width and the distance.
std::optional<CssFrame> frameFromCss(const QString &style)
{
    struct SideLine
    {
        QString style;
        double width = -1;
        double padding = 0;
    } sides[4];
    static const QStringList names = {QStringLiteral("top"), QStringLiteral("right"), QStringLiteral("bottom"),
                                      QStringLiteral("left")};
    auto applyLine = [](SideLine &side, const QString &value) {
        for (const QString &token : value.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            if (const auto length = cssLengthInPoints(token))
                side.width = *length;
            else if (token == QLatin1String("thin"))
                side.width = 0.75;
            else if (token == QLatin1String("medium"))
                side.width = 2.25;
            else if (token == QLatin1String("thick"))
                side.width = 3.75;
            else if (QStringList{"none", "hidden", "solid", "double", "dotted", "dashed", "groove", "ridge", "inset", "outset"}
                         .contains(token))
                side.style = token;
        }
    };
    bool any = false;
    for (const auto &[name, value] : declarations(style)) {
        if (!name.startsWith(QLatin1String("border")) && !name.startsWith(QLatin1String("padding")))
            continue;
        const QStringList parts = name.split(QLatin1Char('-'));
        const int sideIndex = parts.size() > 1 ? int(names.indexOf(parts.at(1))) : -1;
        const QString what = parts.size() > 2 ? parts.at(2) : parts.size() == 2 && sideIndex < 0 ? parts.at(1) : QString();
        for (int i = 0; i < 4; ++i) {
            if (sideIndex >= 0 && sideIndex != i)
                continue;
            SideLine &side = sides[i];
            if (parts.first() == QLatin1String("padding")) {
                if (const auto length = cssLengthInPoints(value.section(QLatin1Char(' '), 0, 0)))
                    side.padding = *length;
            } else if (what == QLatin1String("style")) {
                side.style = value;
            } else if (what == QLatin1String("width")) {
                applyLine(side, value);
            } else if (what.isEmpty()) {
                applyLine(side, value);
            }
            any = true;
        }
    }
    if (!any)
        return std::nullopt;
    CssFrame frame;
    bool isDouble = false;
    bool first = true;
    for (int i = 0; i < 4; ++i) {
        const SideLine &side = sides[i];
        const bool visible = !side.style.isEmpty() && side.style != QLatin1String("none")
            && side.style != QLatin1String("hidden") && side.width != 0;
        if (!visible) {
            frame.style |= absentFrameBit(kFrameSides[i].bit);
            continue;
        }
        frame.style |= kFrameSides[i].bit;
        const bool sideDouble = side.style == QLatin1String("double");
        isDouble = isDouble || sideDouble;
        if (first) {
            const double width = side.width < 0 ? 2.25 : side.width; // CSS's medium
            frame.width = std::clamp(toTwips(sideDouble ? width / 3 : width), 1, 1000);
            frame.distance = std::clamp(toTwips(side.padding), 0, 2000);
            first = false;
        }
    }
    if (first)
        return std::nullopt;
    frame.style |= (isDouble ? FrameDoubleLines : FrameSingleLines) | absentFrameBit(FrameTabLines);
    return frame;
}

} // namespace

bool hasExtras(const QTextDocument *doc)
{
    for (const QTextFormat &format : doc->allFormats()) {
        if ((format.isBlockFormat() && isFramed(format.toBlockFormat())) || format.intProperty(TableRowMinimumHeight) > 0
            || (format.isTableCellFormat() && !exactBorderWidths(format).isEmpty()))
            return true;
    }
    return false;
}

QString toHtmlWithExtras(QTextDocument *scratch)
{
    QList<Mark> marks;
    for (QTextBlock block = scratch->begin(); block.isValid(); block = block.next()) {
        const QTextBlockFormat format = block.blockFormat();
        if (!isFramed(format))
            continue;
        const int style = format.intProperty(ParagraphFrameStyle);
        const int width = format.intProperty(ParagraphFrameLineWidth);
        const int distance = format.intProperty(ParagraphFrameDistance);
        marks.append({block.position(), false, frameCss(style, width, distance),
                      QStringLiteral(" data-frame=\"%1 %2 %3\"").arg(style).arg(width).arg(distance)});
    }
    collectCellMarks(scratch->rootFrame(), marks);
    if (marks.isEmpty())
        return scratch->toHtml();

    // Marked from the end, so that every position still holds.
    QList<qsizetype> order(marks.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        return marks.at(a).position > marks.at(b).position;
    });
    QTextCursor cursor(scratch);
    for (const qsizetype index : std::as_const(order)) {
        cursor.setPosition(marks.at(index).position);
        cursor.insertText(mark(index));
    }

    QString html = scratch->toHtml();
    QList<QRegularExpressionMatch> found;
    for (auto it = markPattern().globalMatch(html); it.hasNext();)
        found.append(it.next());
    for (auto it = found.crbegin(); it != found.crend(); ++it) {
        const Mark &m = marks.value(it->captured(1).toInt());
        html.remove(it->capturedStart(), it->capturedLength());
        const qsizetype tag = openingTag(html, it->capturedStart(), m.cell);
        if (tag < 0)
            continue;
        if (!m.cell) {
            // A paragraph the mark alone filled is an empty one again.
            const qsizetype contentStart = html.indexOf(QLatin1Char('>'), tag) + 1;
            static const QRegularExpression emptyContent(QStringLiteral("^(<span[^>]*>)*(</span>)*</"));
            if (emptyContent.match(QStringView(html).mid(contentStart, 512)).hasMatch())
                html.insert(contentStart, QLatin1String("<br />"));
        }
        extendTag(html, tag, m.css, m.attributes);
    }
    return html;
}

QString ExtrasReader::take(const QString &html)
{
    static const QRegularExpression tag(QStringLiteral("<(/?)(p|li|h[1-6]|div|td|th|tr)(\\s[^>]*)?>"),
                                        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression blockStart(QStringLiteral("^\\s*<(p|div|h[1-6])(\\s[^>]*)?>"),
                                               QRegularExpression::CaseInsensitiveOption);
    QString result;
    qsizetype last = 0;
    int rowHeight = 0;
    for (auto it = tag.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const bool closing = !m.captured(1).isEmpty();
        const QString name = m.captured(2).toLower();
        const QString attributes = m.captured(3);
        if (name == QLatin1String("tr")) {
            rowHeight = closing ? 0 : heightOf(attributes);
            continue;
        }
        const bool cell = name == QLatin1String("td") || name == QLatin1String("th");
        if (closing || (attributes.isEmpty() && !(cell && rowHeight > 0)))
            continue;
        Extra extra;
        // A cell's mark may already stand behind the paragraph tag it opens with.
        qsizetype at = std::max(m.capturedEnd(), last);
        if (cell) {
            extra.cell = true;
            extra.rowHeight = std::max(heightOf(attributes), rowHeight);
            const QStringList widths = attribute(attributes, QStringLiteral("data-border-widths")).split(QLatin1Char(' '));
            if (widths.size() == 4) {
                for (const QString &width : widths)
                    extra.borderWidths.append(std::clamp(width.toDouble(), -1.0, 50.0));
            }
            if (extra.rowHeight <= 0 && extra.borderWidths.isEmpty())
                continue;
            // Inside the cell's first paragraph: text before it would make
            // a paragraph of its own.
            const QRegularExpressionMatch paragraph = blockStart.match(QStringView(html).mid(at, 4096));
            if (paragraph.hasMatch())
                at += paragraph.capturedEnd();
        } else {
            if (!attributes.contains(QLatin1String("border"), Qt::CaseInsensitive)
                && !attributes.contains(QLatin1String("data-frame"), Qt::CaseInsensitive))
                continue;
            const QStringList exact = attribute(attributes, QStringLiteral("data-frame")).split(QLatin1Char(' '));
            if (exact.size() == 3) {
                extra.frameStyle = exact.at(0).toInt() & (0xFF | absentFrameBit(FrameSides | FrameTabLines));
                extra.frameWidth = std::clamp(exact.at(1).toInt(), 0, 1000);
                extra.frameDistance = std::clamp(exact.at(2).toInt(), 0, 2000);
            } else if (const auto frame = frameFromCss(attribute(attributes, QStringLiteral("style")))) {
                extra.frameStyle = frame->style;
                extra.frameWidth = frame->width;
                extra.frameDistance = frame->distance;
            }
            if (!drawsFrame(extra.frameStyle))
                continue;
        }
        result += QStringView(html).mid(last, at - last);
        result += mark(m_extras.size());
        last = at;
        m_extras.append(extra);
    }
    if (m_extras.isEmpty())
        return html;
    result += QStringView(html).mid(last);
    return result;
}

void ExtrasReader::apply(QTextDocument *doc) const
{
    if (m_extras.isEmpty())
        return;
    struct Found
    {
        int position;
        int length;
        int index;
    };
    QList<Found> found;
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        for (auto it = markPattern().globalMatch(block.text()); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            found.append({block.position() + int(m.capturedStart()), int(m.capturedLength()), m.captured(1).toInt()});
        }
    }
    QTextCursor cursor(doc);
    for (auto it = found.crbegin(); it != found.crend(); ++it) {
        cursor.setPosition(it->position);
        cursor.setPosition(it->position + it->length, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        if (it->index < 0 || it->index >= m_extras.size())
            continue;
        const Extra &extra = m_extras.at(it->index);
        if (extra.cell) {
            if (QTextTable *table = cursor.currentTable()) {
                QTextTableCell cell = table->cellAt(cursor);
                QTextCharFormat format = cell.format();
                if (extra.rowHeight > 0)
                    format.setProperty(TableRowMinimumHeight, extra.rowHeight);
                for (int side = 0; side < extra.borderWidths.size(); ++side) {
                    const double width = extra.borderWidths.at(side);
                    if (width == 0) {
                        format.setProperty(kCellBorderStyles[side], int(QTextFrameFormat::BorderStyle_None));
                        format.setProperty(kCellBorderWidths[side], 0.0);
                    } else if (width > 0 && format.hasProperty(kCellBorderStyles[side])) {
                        format.setProperty(kCellBorderWidths[side], width);
                    }
                }
                cell.setFormat(format);
            }
            continue;
        }
        QTextBlockFormat format;
        format.setProperty(ParagraphFrameStyle, extra.frameStyle);
        format.setProperty(ParagraphFrameLineWidth, extra.frameWidth);
        format.setProperty(ParagraphFrameDistance, extra.frameDistance);
        cursor.mergeBlockFormat(format);
    }
}

} // namespace tamapiko::engine::html
