#include "engine/dialogs/TextFinder.h"

#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <array>

namespace tamapiko::engine {

namespace {

constexpr char16_t IdeographicSpace = 0x3000;
constexpr char16_t FirstHiragana = 0x3041;
constexpr char16_t LastHiragana = 0x3096;
constexpr char16_t HiraganaIterationMark = 0x309D;        // ゝ, and ゞ after it
constexpr char16_t KatakanaOffset = 0x60;                 // あ U+3042 → ア U+30A2
constexpr char16_t CombiningVoicedMark = 0x3099;
constexpr char16_t CombiningSemiVoicedMark = 0x309A;
constexpr char16_t FirstWidthForm = 0xFF01;
constexpr char16_t LastWidthForm = 0xFFEE;

// The half- or full-width forms block mapped to its ordinary characters
// (Ａ → A, ｶ → カ, ﾞ → combining ゛), from Unicode's own <wide> and
// <narrow> decompositions.
const std::array<char16_t, LastWidthForm - FirstWidthForm + 1> &widthForms()
{
    static const auto table = [] {
        std::array<char16_t, LastWidthForm - FirstWidthForm + 1> forms {};
        for (char16_t c = FirstWidthForm; c <= LastWidthForm; ++c) {
            const QChar ch(c);
            const QString decomposition = ch.decomposition();
            const bool widthVariant =
                ch.decompositionTag() == QChar::Wide || ch.decompositionTag() == QChar::Narrow;
            forms[c - FirstWidthForm] = widthVariant && decomposition.size() == 1 ? decomposition.at(0).unicode() : c;
        }
        return forms;
    }();
    return table;
}

char16_t foldWidth(char16_t c)
{
    if (c == IdeographicSpace)
        return u' ';
    if (c >= FirstWidthForm && c <= LastWidthForm)
        return widthForms()[c - FirstWidthForm];
    return c;
}

// ガ → カ + combining ゛, so that it meets ｶﾞ, which folds to the same pair.
// The kana blocks' canonical decompositions, looked up once.
constexpr char16_t FirstKana = 0x3040;
constexpr char16_t LastKana = 0x30FF;

struct VoicedKana
{
    char16_t base = 0;   // 0: not a voiced kana
    char16_t mark = 0;
};

const std::array<VoicedKana, LastKana - FirstKana + 1> &voicedKana()
{
    static const auto table = [] {
        std::array<VoicedKana, LastKana - FirstKana + 1> kana {};
        for (char16_t c = FirstKana; c <= LastKana; ++c) {
            const QChar ch(c);
            if (ch.decompositionTag() != QChar::Canonical)
                continue;
            const QString decomposition = ch.decomposition();
            if (decomposition.size() != 2)
                continue;
            const char16_t second = decomposition.at(1).unicode();
            if (second == CombiningVoicedMark || second == CombiningSemiVoicedMark)
                kana[c - FirstKana] = { decomposition.at(0).unicode(), second };
        }
        return kana;
    }();
    return table;
}

bool splitVoicedKana(char16_t c, char16_t *base, char16_t *mark)
{
    if (c < FirstKana || c > LastKana)
        return false;
    const VoicedKana &kana = voicedKana()[c - FirstKana];
    if (!kana.base)
        return false;
    *base = kana.base;
    *mark = kana.mark;
    return true;
}

char16_t foldKana(char16_t c)
{
    if ((c >= FirstHiragana && c <= LastHiragana) || c == HiraganaIterationMark || c == HiraganaIterationMark + 1)
        return char16_t(c + KatakanaOffset);
    return c;
}

bool isVoicingMark(QChar c)
{
    return c.unicode() == CombiningVoicedMark || c.unicode() == CombiningSemiVoicedMark;
}

// Letters and digits of scripts that put blanks between words; Japanese
// runs never count as words that a neighbour could extend.
bool isWordCharacter(QChar c)
{
    if (c == u'_')
        return true;
    if (!c.isLetterOrNumber())
        return false;
    switch (c.script()) {
    case QChar::Script_Han:
    case QChar::Script_Hiragana:
    case QChar::Script_Katakana:
        return false;
    default:
        return true;
    }
}

template<typename Sink>
void foldInto(QStringView text, const FindOptions &options, Sink sink)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        char16_t c = text.at(i).unicode();
        const auto out = [&](char16_t folded) {
            if (!options.matchKana)
                folded = foldKana(folded);
            if (!options.matchCase && !QChar::isSurrogate(folded))
                folded = QChar::toCaseFolded(folded);
            sink(folded, i);
        };
        if (!options.matchWidth) {
            c = foldWidth(c);
            char16_t base, mark;
            if (splitVoicedKana(c, &base, &mark)) {
                out(base);
                out(mark);
                continue;
            }
        }
        out(c);
    }
}

} // namespace

FoldedText::FoldedText(QStringView text, const FindOptions &options)
{
    // Folding at most doubles a character (ガ → カ + ゛).
    m_text.resize(2 * text.size());
    m_origin.reserve(size_t(text.size()) + 1);
    char16_t *out = reinterpret_cast<char16_t *>(m_text.data());
    qsizetype length = 0;
    foldInto(text, options, [&](char16_t c, qsizetype origin) {
        out[length++] = c;
        m_origin.push_back(int(origin));
    });
    m_text.truncate(length);
    m_origin.push_back(int(text.size()));
}

bool FoldedText::startsCharacter(qsizetype foldedIndex) const
{
    return foldedIndex <= 0 || foldedIndex >= m_text.size()
        || m_origin[size_t(foldedIndex)] != m_origin[size_t(foldedIndex) - 1];
}

qsizetype FoldedText::foldedIndex(int originalIndex) const
{
    return std::lower_bound(m_origin.begin(), m_origin.end(), originalIndex) - m_origin.begin();
}

TextFinder::TextFinder(QObject *parent)
    : QObject(parent)
{
}

QString TextFinder::fold(QStringView text, const FindOptions &options)
{
    QString folded;
    folded.reserve(text.size());
    foldInto(text, options, [&folded](char16_t c, qsizetype) { folded.append(QChar(c)); });
    return folded;
}

const FoldedText &TextFinder::folded(QTextDocument *document, const FindOptions &options)
{
    if (document != m_document) {
        disconnect(m_documentChanges);
        m_document = document;
        m_documentChanges = connect(document, &QTextDocument::contentsChanged, this, [this] { m_stale = true; });
        m_stale = true;
    }
    FindOptions folding = options;
    folding.backwards = false;
    folding.wholeWords = false;
    if (m_stale || m_foldedFor != folding) {
        // toRawText() holds one character per document position:
        // paragraph and frame separators included.
        m_folded = FoldedText(document->toRawText(), folding);
        m_foldedFor = folding;
        m_stale = false;
    }
    return m_folded;
}

bool TextFinder::isAcceptedMatch(const FoldedText &folded, qsizetype start, qsizetype length,
                                 const FindOptions &options) const
{
    // A match may not begin or end inside a character that folding split,
    // nor leave behind the voicing mark that belongs to its last kana
    // (ｶ is not found in ｶﾞ).
    if (!folded.startsCharacter(start) || !folded.startsCharacter(start + length))
        return false;
    const QString &text = folded.text();
    const qsizetype end = start + length;
    if (end < text.size() && isVoicingMark(text.at(end)) && !isVoicingMark(text.at(end - 1)))
        return false;
    if (!options.wholeWords)
        return true;
    if (start > 0 && isWordCharacter(text.at(start - 1)) && isWordCharacter(text.at(start)))
        return false;
    if (end < text.size() && isWordCharacter(text.at(end - 1)) && isWordCharacter(text.at(end)))
        return false;
    return true;
}

std::optional<TextRange> TextFinder::find(QTextDocument *document, const QString &needle, int from,
                                          const FindOptions &options, std::optional<TextRange> limit)
{
    const QString folded = fold(needle, options);
    if (!document || folded.isEmpty())
        return std::nullopt;
    const FoldedText &text = this->folded(document, options);
    const qsizetype length = folded.size();
    const qsizetype low = limit ? text.foldedIndex(limit->start) : 0;
    const qsizetype high = limit ? text.foldedIndex(limit->end) : text.text().size();
    const auto found = [&](qsizetype k) {
        return TextRange { text.originalIndex(k), text.originalIndex(k + length) };
    };

    if (!options.backwards) {
        for (qsizetype k = std::max(low, text.foldedIndex(from));; ++k) {
            k = text.text().indexOf(folded, k);
            if (k < 0 || k + length > high)
                return std::nullopt;
            if (isAcceptedMatch(text, k, length, options))
                return found(k);
        }
    }
    // Backwards: the match must end at or before `from`.
    for (qsizetype k = std::min(high, text.foldedIndex(from)) - length; k >= low; --k) {
        k = text.text().lastIndexOf(folded, k);
        if (k < low)
            return std::nullopt;
        if (isAcceptedMatch(text, k, length, options))
            return found(k);
    }
    return std::nullopt;
}

bool TextFinder::matches(QTextDocument *document, const QString &needle, TextRange range,
                         const FindOptions &options)
{
    const QString folded = fold(needle, options);
    if (!document || folded.isEmpty())
        return false;
    const FoldedText &text = this->folded(document, options);
    const qsizetype start = text.foldedIndex(range.start);
    const qsizetype end = text.foldedIndex(range.end);
    return end - start == folded.size() && QStringView(text.text()).sliced(start, end - start) == folded
        && isAcceptedMatch(text, start, folded.size(), options);
}

QList<TextRange> TextFinder::findAll(QTextDocument *document, const QString &needle, const FindOptions &options)
{
    QList<TextRange> ranges;
    const QString folded = fold(needle, options);
    if (!document || folded.isEmpty())
        return ranges;
    const FoldedText &text = this->folded(document, options);
    const qsizetype length = folded.size();
    for (qsizetype k = text.text().indexOf(folded); k >= 0; k = text.text().indexOf(folded, k)) {
        if (isAcceptedMatch(text, k, length, options)) {
            ranges.append(TextRange { text.originalIndex(k), text.originalIndex(k + length) });
            k += length;
        } else {
            ++k;
        }
    }
    return ranges;
}

int TextFinder::replaceAll(QTextDocument *document, const QString &needle, const QString &replacement,
                           const FindOptions &options)
{
    const QList<TextRange> ranges = findAll(document, needle, options);
    if (ranges.isEmpty())
        return 0;
    // From the last match to the first, so that the positions still to be
    // visited stay where they were found; all in one undo step.
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    for (auto it = ranges.crbegin(); it != ranges.crend(); ++it) {
        // The replacement takes the look of the first character it replaces.
        cursor.setPosition(it->start + 1);
        const QTextCharFormat format = cursor.charFormat();
        cursor.setPosition(it->start);
        cursor.setPosition(it->end, QTextCursor::KeepAnchor);
        cursor.insertText(replacement, format);
    }
    cursor.endEditBlock();
    return int(ranges.size());
}

} // namespace tamapiko::engine
