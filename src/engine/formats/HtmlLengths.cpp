#include "engine/formats/HtmlLengths.h"

#include <QRegularExpression>
#include <QStringList>

#include <cmath>

namespace tamapiko::engine::html {

namespace {

constexpr double kPointsPerPixel = 72.0 / 96.0;
constexpr double kPointsPerEm = 12.0; // the size browsers assume with no other information

QString number(double value)
{
    QString text = QString::number(value, 'f', 3);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text == QLatin1String("-0") ? QStringLiteral("0") : text;
}

bool isLengthProperty(QStringView name)
{
    static const QStringList names = {
        QStringLiteral("margin"), QStringLiteral("margin-top"), QStringLiteral("margin-bottom"),
        QStringLiteral("margin-left"), QStringLiteral("margin-right"), QStringLiteral("padding"),
        QStringLiteral("padding-top"), QStringLiteral("padding-bottom"), QStringLiteral("padding-left"),
        QStringLiteral("padding-right"), QStringLiteral("text-indent"), QStringLiteral("line-height"),
        QStringLiteral("width"), QStringLiteral("height"), QStringLiteral("border-width"),
        QStringLiteral("border"), QStringLiteral("border-top"), QStringLiteral("border-bottom"),
        QStringLiteral("border-left"), QStringLiteral("border-right"),
    };
    return names.contains(name.toString().toLower());
}

const QRegularExpression &declarationPattern()
{
    static const QRegularExpression pattern(QStringLiteral("([A-Za-z-]+)(\\s*:\\s*)([^;{}\"']*)"));
    return pattern;
}

const QRegularExpression &lengthPattern()
{
    static const QRegularExpression pattern(
        QStringLiteral("(?<![\\w#.-])(-?(?:\\d+\\.?\\d*|\\.\\d+))(px|pt|pc|in|cm|mm|em|rem)?(?![\\w%.])"),
        QRegularExpression::CaseInsensitiveOption);
    return pattern;
}

// Replaces every match of pattern in text by what replace makes of it.
template<typename Replace>
QString replaceAll(const QString &text, const QRegularExpression &pattern, Replace replace)
{
    QString result;
    result.reserve(text.size());
    qsizetype last = 0;
    for (auto it = pattern.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        result += QStringView(text).mid(last, match.capturedStart() - last);
        result += replace(match);
        last = match.capturedEnd();
    }
    result += QStringView(text).mid(last);
    return result;
}

// Rewrites the length values of a declaration list ("a: b; c: d" or a
// whole style sheet).
// Most style attributes only name fonts and colours: a cheap look for the
// property names spares them the regular expressions.
bool mayHoldLengths(const QString &css)
{
    static const QLatin1String hints[] = {QLatin1String("margin"), QLatin1String("padding"), QLatin1String("indent"),
                                          QLatin1String("line-height"), QLatin1String("width"),
                                          QLatin1String("height"), QLatin1String("border")};
    for (const QLatin1String &hint : hints) {
        if (css.contains(hint, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

template<typename Convert>
QString rewriteDeclarations(const QString &css, Convert convert)
{
    if (!mayHoldLengths(css))
        return css;
    const bool fixedLines = css.contains(QLatin1String("-qt-line-height-type"));
    return replaceAll(css, declarationPattern(), [&](const QRegularExpressionMatch &m) {
        const QString name = m.captured(1);
        if (!isLengthProperty(name))
            return m.captured(0);
        const bool lineHeight = name.compare(QLatin1String("line-height"), Qt::CaseInsensitive) == 0;
        const QString value = replaceAll(m.captured(3), lengthPattern(), [&](const QRegularExpressionMatch &l) {
            return convert(l.captured(1).toDouble(), l.captured(2).toLower(), lineHeight, fixedLines)
                .value_or(l.captured(0));
        });
        return name + m.captured(2) + value;
    });
}

template<typename Convert>
QString rewriteStyles(const QString &html, Convert convertStyle)
{
    static const QRegularExpression styleElement(QStringLiteral("(<style[^>]*>)(.*?)(</style\\s*>)"),
                                                 QRegularExpression::CaseInsensitiveOption
                                                     | QRegularExpression::DotMatchesEverythingOption);
    const QString withSheets = replaceAll(html, styleElement, [&](const QRegularExpressionMatch &m) {
        return m.captured(1) + convertStyle(m.captured(2)) + m.captured(3);
    });

    // Style attributes are the bulk of a large file: found with plain
    // searches rather than a regular expression.
    QString result;
    result.reserve(withSheets.size());
    const QStringView text(withSheets);
    qsizetype last = 0;
    for (qsizetype pos = text.indexOf(QLatin1String("style"), 0, Qt::CaseInsensitive); pos >= 0;
         pos = text.indexOf(QLatin1String("style"), pos + 5, Qt::CaseInsensitive)) {
        if (pos == 0 || !text.at(pos - 1).isSpace())
            continue;
        qsizetype at = pos + 5;
        while (at < text.size() && text.at(at).isSpace())
            ++at;
        if (at >= text.size() || text.at(at) != QLatin1Char('='))
            continue;
        ++at;
        while (at < text.size() && text.at(at).isSpace())
            ++at;
        if (at >= text.size() || (text.at(at) != QLatin1Char('"') && text.at(at) != QLatin1Char('\'')))
            continue;
        const qsizetype close = text.indexOf(text.at(at), at + 1);
        if (close < 0)
            break;
        result += text.mid(last, at + 1 - last);
        result += convertStyle(text.mid(at + 1, close - at - 1).toString());
        last = close;
        pos = close - 4;
    }
    result += text.mid(last);
    return result;
}

// Pixel attributes of the tags whose sizes Qt reads from attributes.
template<typename Convert>
QString rewriteSizeAttributes(const QString &html, Convert convert)
{
    static const QRegularExpression tag(QStringLiteral("<(img|table|td|th|col)(\\s[^>]*)>"),
                                        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression attribute(
        QStringLiteral("(\\s(?:width|height|cellpadding|cellspacing|border)\\s*=\\s*[\"']?)(\\d+\\.?\\d*)(px)?(?=[\"'\\s/>]|$)"),
        QRegularExpression::CaseInsensitiveOption);
    return replaceAll(html, tag, [&](const QRegularExpressionMatch &m) {
        const QString attributes = replaceAll(m.captured(2), attribute, [&](const QRegularExpressionMatch &a) {
            return a.captured(1) + number(convert(a.captured(2).toDouble()));
        });
        return QLatin1Char('<') + m.captured(1) + attributes + QLatin1Char('>');
    });
}

} // namespace

std::optional<double> cssLengthInPoints(QStringView text)
{
    const QString trimmed = text.trimmed().toString();
    const QRegularExpressionMatch m = lengthPattern().match(trimmed);
    if (!m.hasMatch() || m.capturedLength() != trimmed.size())
        return std::nullopt;
    const double value = m.captured(1).toDouble();
    const QString unit = m.captured(2).toLower();
    if (unit == QLatin1String("pt"))
        return value;
    if (unit == QLatin1String("px"))
        return value * kPointsPerPixel;
    if (unit == QLatin1String("in"))
        return value * 72;
    if (unit == QLatin1String("cm"))
        return value * 72 / 2.54;
    if (unit == QLatin1String("mm"))
        return value * 72 / 25.4;
    if (unit == QLatin1String("pc"))
        return value * 12;
    if (unit == QLatin1String("em") || unit == QLatin1String("rem"))
        return value * kPointsPerEm;
    if (unit.isEmpty() && value == 0)
        return 0.0;
    return std::nullopt;
}

QString lengthsToPoints(const QString &html)
{
    const QString styled = rewriteStyles(html, [](const QString &css) {
        return rewriteDeclarations(css, [](double value, const QString &unit, bool lineHeight,
                                           bool fixedLines) -> std::optional<QString> {
            // A bare number is a multiple of the font size for line-height,
            // except in Qt's own fixed line heights, and pixels elsewhere.
            if (unit.isEmpty() && lineHeight && !fixedLines)
                return std::nullopt;
            const auto points = unit.isEmpty() ? std::optional<double>(value * (lineHeight ? 1 : kPointsPerPixel))
                                               : cssLengthInPoints(QString(number(value) + unit));
            if (!points)
                return std::nullopt;
            return number(*points) + QStringLiteral("px");
        });
    });
    return rewriteSizeAttributes(styled, [](double pixels) { return pixels * kPointsPerPixel; });
}

QString lengthsFromPoints(const QString &html)
{
    const QString styled = rewriteStyles(html, [](const QString &css) {
        return rewriteDeclarations(css, [](double value, const QString &unit, bool lineHeight,
                                           bool fixedLines) -> std::optional<QString> {
            if (unit == QLatin1String("px") || (unit.isEmpty() && lineHeight && fixedLines))
                return number(value) + QStringLiteral("pt");
            return std::nullopt;
        });
    });
    return rewriteSizeAttributes(styled, [](double points) { return points / kPointsPerPixel; });
}

std::optional<PageSetup> pageSetupFromCss(const QString &html, const PageSetup &defaults)
{
    static const QRegularExpression pageRule(QStringLiteral("@page\\s*(?::[a-z]+\\s*)?\\{([^}]*)\\}"),
                                             QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch rule = pageRule.match(html);
    if (!rule.hasMatch())
        return std::nullopt;
    auto twips = [](double points) { return int(std::lround(points * 20)); };
    PageSetup page = defaults;
    bool any = false;
    for (auto it = declarationPattern().globalMatch(rule.captured(1)); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QString name = m.captured(1).toLower();
        const QStringList values = m.captured(3).simplified().toLower().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        QList<double> lengths;
        for (const QString &value : values) {
            if (const auto points = cssLengthInPoints(value))
                lengths.append(*points);
        }
        if (name == QLatin1String("size")) {
            if (values.contains(QLatin1String("a4")))
                lengths = {595.28, 841.89};
            else if (values.contains(QLatin1String("letter")))
                lengths = {612, 792};
            else if (values.contains(QLatin1String("b5")))
                lengths = {498.9, 708.66};
            else if (values.contains(QLatin1String("a5")))
                lengths = {419.53, 595.28};
            const bool landscape = values.contains(QLatin1String("landscape"));
            const bool portrait = values.contains(QLatin1String("portrait"));
            if (lengths.isEmpty() && (landscape || portrait))
                lengths = {defaults.width / 20.0, defaults.height / 20.0};
            if (lengths.size() == 1)
                lengths.append(lengths.first());
            if (lengths.size() != 2 || lengths[0] <= 0 || lengths[1] <= 0)
                continue;
            // Two lengths are width and height as written; only a named
            // orientation turns the page (a named size is upright).
            if ((landscape && lengths[0] < lengths[1]) || (portrait && lengths[0] > lengths[1]))
                std::swap(lengths[0], lengths[1]);
            page.width = twips(lengths[0]);
            page.height = twips(lengths[1]);
            any = true;
        } else if (name == QLatin1String("margin") && !lengths.isEmpty() && lengths.size() <= 4) {
            // CSS order: top, right, bottom, left, the missing ones mirrored.
            const double top = lengths[0];
            const double right = lengths.value(1, top);
            const double bottom = lengths.value(2, top);
            const double left = lengths.value(3, right);
            page.marginTop = twips(top);
            page.marginRight = twips(right);
            page.marginBottom = twips(bottom);
            page.marginLeft = twips(left);
            any = true;
        } else if (name.startsWith(QLatin1String("margin-")) && lengths.size() == 1) {
            const int value = twips(lengths[0]);
            if (name == QLatin1String("margin-top"))
                page.marginTop = value;
            else if (name == QLatin1String("margin-right"))
                page.marginRight = value;
            else if (name == QLatin1String("margin-bottom"))
                page.marginBottom = value;
            else if (name == QLatin1String("margin-left"))
                page.marginLeft = value;
            any = true;
        }
    }
    // A rule whose margins leave no room for text is not believed.
    if (!any || page.textWidth() <= 0 || page.textHeight() <= 0 || page.marginLeft < 0 || page.marginTop < 0
        || page.marginRight < 0 || page.marginBottom < 0)
        return std::nullopt;
    return page;
}

QString pageSetupToCss(const PageSetup &page)
{
    auto pt = [](int twips) { return number(twips / 20.0) + QStringLiteral("pt"); };
    return QStringLiteral("@page { size: %1 %2; margin: %3 %4 %5 %6; }")
        .arg(pt(page.width), pt(page.height), pt(page.marginTop), pt(page.marginRight), pt(page.marginBottom),
             pt(page.marginLeft));
}

} // namespace tamapiko::engine::html
