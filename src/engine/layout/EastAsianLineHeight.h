#pragma once

// Word gives a line holding text in an East Asian font at least 1.3 times
// that font's size: such fonts (the Japanese faces documents name) have an
// ascent and descent of one em, and Word adds the rest as leading. A 10.5
// point line of MS Mincho is 13.65 points, not 10.5.
//
// Asked for every line laid out and painted, so the answer per character
// format is kept (a format's index in the document never changes meaning).

#include <QTextCharFormat>

#include <functional>
#include <vector>

class QFont;
class QTextBlock;
class QTextDocument;
class QTextLine;

namespace tamapiko::engine {

class EastAsianLineHeight
{
public:
    explicit EastAsianLineHeight(const QTextDocument *document);

    // The least height of the line in layout units; 0 without East Asian text.
    qreal of(const QTextBlock &block, const QTextLine &line) const;
    // Forgets what was learnt (the document's default font changed).
    void clear() { m_byFormat.clear(); }

    // The least height of a line in this font, in layout units; 0 for a
    // font without East Asian faces.
    static qreal leastFor(const QFont &font);
    static bool isEastAsianFont(const QFont &font);

private:
    qreal leastForFormat(int formatIndex, const std::function<QTextCharFormat()> &formatOf) const;

    const QTextDocument *m_document;
    mutable std::vector<qreal> m_byFormat;   // by format index; negative: not known yet
};

} // namespace tamapiko::engine
