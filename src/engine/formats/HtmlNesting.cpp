#include "engine/formats/HtmlNesting.h"

#include <QHash>
#include <QRegularExpression>

namespace tamapiko::engine::html {

namespace {

// Elements that open a new block level (and so a level of Qt's recursion).
bool isBlockContainer(QStringView name)
{
    static const QStringList names = {QStringLiteral("div"), QStringLiteral("table"), QStringLiteral("blockquote"),
                                      QStringLiteral("ul"), QStringLiteral("ol"), QStringLiteral("dl"),
                                      QStringLiteral("center")};
    return names.contains(name.toString());
}

bool isTablePart(QStringView name)
{
    return name == u"tr" || name == u"td" || name == u"th" || name == u"tbody" || name == u"thead"
        || name == u"tfoot" || name == u"caption";
}

} // namespace

QString limitNesting(const QString &html)
{
    // No '<' inside a tag: a run of "<a<a<a..." without any '>' is then
    // still read once, not once per '<'.
    static const QRegularExpression tag(QStringLiteral("<(/?)([A-Za-z][A-Za-z0-9]*)\\b[^<>]*>"));
    QString result;
    qsizetype copied = 0;
    int depth = 0;
    QHash<QString, int> dropped;   // openings dropped, per element, still open
    bool changed = false;
    for (auto it = tag.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const QString name = match.captured(2).toLower();
        const bool closing = !match.captured(1).isEmpty();
        bool drop = false;
        if (isBlockContainer(name)) {
            if (!closing) {
                drop = depth >= MaxHtmlNesting;
                if (drop)
                    ++dropped[name];
                else
                    ++depth;
            } else if (dropped.value(name) > 0) {
                --dropped[name];
                drop = true;
            } else if (depth > 0) {
                --depth;
            }
        } else if (isTablePart(name)) {
            // The rows and cells of a dropped table go with it.
            drop = dropped.value(QStringLiteral("table")) > 0;
        }
        if (drop) {
            if (!changed)
                result.reserve(html.size());
            changed = true;
            result += QStringView(html).mid(copied, match.capturedStart() - copied);
            copied = match.capturedEnd();
        }
    }
    if (!changed)
        return html;
    result += QStringView(html).mid(copied);
    return result;
}

} // namespace tamapiko::engine::html
