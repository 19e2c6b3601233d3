#pragma once

// TextFinder: finding and replacing text in a QTextDocument the way
// Japanese users expect, with optional folding of letter case, of full- and
// half-width forms (Ａ/A, ｶﾞ/ガ, 　/space) and of hiragana and katakana.
//
// The search runs on a folded copy of the document's text with a map back
// to document positions; the copy is kept until the document changes, so
// repeated "find next" on a long document costs one scan each.

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <optional>
#include <vector>

class QTextDocument;

namespace tamapiko::engine {

struct FindOptions
{
    bool matchCase = false;
    bool wholeWords = false;
    bool matchWidth = false;   // full-width and half-width forms differ
    bool matchKana = false;    // hiragana and katakana differ
    bool backwards = false;

    bool operator==(const FindOptions &) const = default;
};

// A range of document positions [start, end).
struct TextRange
{
    int start = 0;
    int end = 0;
    bool operator==(const TextRange &) const = default;
};

// Text folded for comparison, with the original index of every folded
// character (and of the end).
class FoldedText
{
public:
    FoldedText() = default;
    FoldedText(QStringView text, const FindOptions &options);

    const QString &text() const { return m_text; }
    int originalIndex(qsizetype foldedIndex) const { return m_origin[size_t(foldedIndex)]; }
    // Whether a folded index begins an original character (and is not the
    // second half of one that folding split, like the mark of ｶﾞ → カ + ゛).
    bool startsCharacter(qsizetype foldedIndex) const;
    // The folded index at which an original index begins.
    qsizetype foldedIndex(int originalIndex) const;

private:
    QString m_text;
    std::vector<int> m_origin;
};

class TextFinder : public QObject
{
public:
    explicit TextFinder(QObject *parent = nullptr);

    // Folds one string (the needle) as the document's text is folded.
    static QString fold(QStringView text, const FindOptions &options);

    // The next match after `from` (before it when searching backwards)
    // inside [limit.start, limit.end), or nothing.
    std::optional<TextRange> find(QTextDocument *document, const QString &needle, int from,
                                  const FindOptions &options, std::optional<TextRange> limit = std::nullopt);

    // Whether [range.start, range.end) is exactly a match.
    bool matches(QTextDocument *document, const QString &needle, TextRange range, const FindOptions &options);

    // Every match, in document order, not overlapping.
    QList<TextRange> findAll(QTextDocument *document, const QString &needle, const FindOptions &options);

    // Replaces every match as one undo step; returns how many.
    int replaceAll(QTextDocument *document, const QString &needle, const QString &replacement,
                   const FindOptions &options);

private:
    const FoldedText &folded(QTextDocument *document, const FindOptions &options);
    bool isAcceptedMatch(const FoldedText &text, qsizetype start, qsizetype length, const FindOptions &options) const;

    QPointer<QTextDocument> m_document;
    QMetaObject::Connection m_documentChanges;
    bool m_stale = true;
    std::optional<FindOptions> m_foldedFor;
    FoldedText m_folded;
};

} // namespace tamapiko::engine
