#include "engine/layout/EastAsianLineHeight.h"

#include "engine/EngineProperties.h"
#include "engine/layout/PageLayout.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QHash>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>

namespace tamapiko::engine {

namespace {

constexpr qreal kEastAsianLineEms = 1.3;

} // namespace

EastAsianLineHeight::EastAsianLineHeight(const QTextDocument *document)
    : m_document(document)
{
}

qreal EastAsianLineHeight::of(const QTextBlock &block, const QTextLine &line) const
{
    const int start = block.position() + line.textStart();
    const int end = start + line.textLength();
    qreal least = 0;
    bool hasText = false;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        if (fragment.position() >= end)
            break;
        if (fragment.position() + fragment.length() <= start)
            continue;
        hasText = true;
        least = std::max(least, leastForFormat(fragment.charFormatIndex(), [&] { return fragment.charFormat(); }));
    }
    // An empty paragraph is as tall as its mark's font.
    if (!hasText)
        least = leastForFormat(block.charFormatIndex(), [&] { return block.charFormat(); });
    return least;
}

qreal EastAsianLineHeight::leastForFormat(int formatIndex, const std::function<QTextCharFormat()> &formatOf) const
{
    if (formatIndex < 0)
        return 0;
    if (size_t(formatIndex) >= m_byFormat.size())
        m_byFormat.resize(size_t(formatIndex) + 1, -1);
    qreal &known = m_byFormat[size_t(formatIndex)];
    if (known >= 0)
        return known;
    const QTextCharFormat format = formatOf();
    known = 0;
    if (format.isImageFormat() || format.boolProperty(CharHidden))
        return known;
    known = leastFor(format.font().resolve(m_document->defaultFont()));
    return known;
}

qreal EastAsianLineHeight::leastFor(const QFont &font)
{
    if (font.pointSizeF() <= 0 || !isEastAsianFont(font))
        return 0;
    return font.pointSizeF() * PageLayout::layoutDevice()->logicalDpiY() / 72 * kEastAsianLineEms;
}

bool EastAsianLineHeight::isEastAsianFont(const QFont &font)
{
    static QHash<QString, bool> known;
    const QString family = font.family();
    const auto it = known.constFind(family);
    if (it != known.constEnd())
        return *it;
    // The face the family resolves to (a Japanese name is substituted).
    const QList<QFontDatabase::WritingSystem> systems = QFontDatabase::writingSystems(QFontInfo(font).family());
    const bool eastAsian = std::any_of(systems.cbegin(), systems.cend(), [](QFontDatabase::WritingSystem system) {
        return system == QFontDatabase::Japanese || system == QFontDatabase::SimplifiedChinese
            || system == QFontDatabase::TraditionalChinese || system == QFontDatabase::Korean;
    });
    known.insert(family, eastAsian);
    return eastAsian;
}

} // namespace tamapiko::engine
