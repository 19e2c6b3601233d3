#include "engine/FontSubstitution.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QHash>
#include <QString>
#include <QStringList>

#include <mutex>

namespace tamapiko::engine {

void installFontSubstitutions()
{
    static std::once_flag once;
    std::call_once(once, [] {
        const QStringList serifFallback{QStringLiteral("Noto Serif CJK JP"), QStringLiteral("Noto Sans CJK JP")};
        const QStringList sansFallback{QStringLiteral("Noto Sans CJK JP")};
        struct Entry
        {
            const char16_t *family;
            const char16_t *metricCompatible;
            bool serif;
        };
        // The IPA fonts are designed with the same advance widths as the
        // Windows fonts they stand in for.
        static const Entry entries[] = {
            {u"ＭＳ 明朝", u"IPAMincho", true},
            {u"ＭＳ Ｐ明朝", u"IPAPMincho", true},
            {u"ＭＳ ゴシック", u"IPAGothic", false},
            {u"ＭＳ Ｐゴシック", u"IPAPGothic", false},
            {u"MS Mincho", u"IPAMincho", true},
            {u"MS PMincho", u"IPAPMincho", true},
            {u"MS Gothic", u"IPAGothic", false},
            {u"MS PGothic", u"IPAPGothic", false},
            {u"MS UI Gothic", u"IPAPGothic", false},
            {u"ＭＳ ＵＩ ゴシック", u"IPAPGothic", false},
            {u"メイリオ", u"IPAPGothic", false},
            {u"Meiryo", u"IPAPGothic", false},
            {u"游明朝", u"IPAMincho", true},
            {u"Yu Mincho", u"IPAMincho", true},
            {u"游ゴシック", u"IPAGothic", false},
            {u"Yu Gothic", u"IPAGothic", false},
        };
        for (const Entry &entry : entries) {
            QStringList substitutes{QString::fromUtf16(entry.metricCompatible)};
            substitutes += entry.serif ? serifFallback : sansFallback;
            QFont::insertSubstitutions(QString::fromUtf16(entry.family), substitutes);
        }
        // Latin faces that documents from other systems name, each with a face
        // of the same advance widths, so lines break where their authors saw
        // them break. Century has no metric twin here; a serif face of close
        // widths keeps its text from falling back to a Japanese face.
        static const Entry latinEntries[] = {
            {u"Arial", u"Liberation Sans", false},
            {u"Helvetica", u"Liberation Sans", false},
            {u"Helvetica Neue", u"Liberation Sans", false},
            {u"Arial Narrow", u"Liberation Sans Narrow", false},
            {u"Times New Roman", u"Liberation Serif", true},
            {u"Times", u"Liberation Serif", true},
            {u"Century", u"Liberation Serif", true},
            {u"Courier New", u"Liberation Mono", false},
            {u"Courier", u"Liberation Mono", false},
            {u"Calibri", u"Carlito", false},
            {u"Cambria", u"Caladea", true},
        };
        for (const Entry &entry : latinEntries) {
            QStringList substitutes{QString::fromUtf16(entry.metricCompatible)};
            substitutes += entry.serif ? serifFallback : sansFallback;
            QFont::insertSubstitutions(QString::fromUtf16(entry.family), substitutes);
        }
    });
}

namespace {

bool hasRealBold(const QString &family)
{
    const QStringList styles = QFontDatabase::styles(family);
    for (const QString &style : styles) {
        if (QFontDatabase::weight(family, style) >= QFont::DemiBold)
            return true;
    }
    return false;
}

bool looksSerif(const QString &family)
{
    return family.contains(QLatin1String("Mincho"), Qt::CaseInsensitive)
        || family.contains(QStringLiteral("明朝"))
        || family.contains(QLatin1String("Serif"), Qt::CaseInsensitive);
}

} // namespace

QString boldCapableFamily(const QFont &font)
{
    if (font.weight() < QFont::DemiBold)
        return QString();
    // Runs share a handful of families: remember the answer per family.
    static QHash<QString, QString> replacements;
    const QString requested = font.family();
    const auto known = replacements.constFind(requested);
    if (known != replacements.constEnd())
        return *known;

    QString replacement;
    const QString resolved = QFontInfo(font).family();
    if (!hasRealBold(resolved)) {
        const QString candidate = looksSerif(resolved) || looksSerif(requested)
            ? QStringLiteral("Noto Serif CJK JP") : QStringLiteral("Noto Sans CJK JP");
        if (QFontDatabase::hasFamily(candidate) && hasRealBold(candidate))
            replacement = candidate;
    }
    replacements.insert(requested, replacement);
    return replacement;
}

} // namespace tamapiko::engine
