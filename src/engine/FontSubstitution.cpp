#include "engine/FontSubstitution.h"

#include <QFont>
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
    });
}

} // namespace tamapiko::engine
