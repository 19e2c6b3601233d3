#pragma once

// A document that exercises every attribute the engine keeps, and a
// comparison that says where two documents first differ. Filter tests build
// the rich document, write it, read it back and compare under the profile
// that matches what their format can carry.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTextFormat>

class QTextDocument;

namespace tamapiko::engine {
class DocumentModel;
}

namespace tamapiko::test {

// Resource names and the Japanese text the rich document uses, for tests that
// look for a particular piece.
struct RichDocumentParts
{
    static QString titleText();              // the centred heading
    static QString japaneseParagraph();      // a paragraph of kanji, kana and full-width signs
    static QString pngName();                // resource name of the embedded PNG
    static QString jpegName();               // resource name of the embedded JPEG
};

// Builds the rich document: fonts (Japanese family names too), sizes, bold,
// italic, underline styles, strike, colours, background, super- and
// subscript, every alignment, indents, spacing, line heights, tab stops, a
// page break, paragraph frames, a table with merged and shaded cells, an
// embedded PNG and JPEG, a linked picture and a floating frame.
class RichDocumentBuilder
{
public:
    // Parts a format may be unable to carry; a test leaves them out rather
    // than loosening the comparison of everything else.
    enum Part {
        FloatingFrame = 0x1,    // a frame floated to the right, holding a paragraph
        LinkedPicture = 0x2,    // a picture kept as a path to a file
        ParagraphFrames = 0x4,  // borders around paragraphs (engine properties)
        AllParts = 0x7,
        Lists = 0x8,            // a bulleted and a numbered list: HTML brings them in
    };

    // The linked picture is written as linked.png into linkedImageDir; with
    // an empty directory the document links to a file that does not exist.
    explicit RichDocumentBuilder(const QString &linkedImageDir = QString(), int parts = AllParts);

    void build(engine::DocumentModel &model) const;

    // Small pictures with a recognisable pattern, as file bytes.
    static QByteArray pngBytes();
    static QByteArray jpegBytes();

    QString linkedImagePath() const { return m_linkedImagePath; }

private:
    QString m_linkedImagePath;
    int m_parts;
};

// What a comparison looks at. A format that cannot carry an attribute leaves
// it out of its profile rather than loosening the whole comparison.
struct ComparisonProfile
{
    // Character and block format properties compared; empty lists together
    // with allProperties compare every property both formats hold.
    QList<int> charProperties;
    QList<int> blockProperties;
    QList<int> cellProperties;      // of QTextTableCellFormat
    bool allProperties = false;     // every property of every format, exactly
    double lengthTolerance = 0.01;  // points, for lengths and font sizes
    bool compareTables = true;      // shape, spans, cell position
    bool compareImagePixels = true; // the pictures' pixels, whatever their names
    bool comparePageSetup = true;
    bool compareFrames = true;      // nesting of non-table frames

    // Everything, exactly: for the native format.
    static ComparisonProfile everything();
    // Text, character looks, paragraph layout, tables and pictures: what
    // every rich format (HTML, RTF, Word) is expected to keep.
    static ComparisonProfile richText();
};

// What a format that knows underlined-or-not gives back: every underline
// style becomes a single line.
void flattenUnderlineStyles(engine::DocumentModel &model);

// Empty when the documents match under the profile, otherwise a readable
// description of the first difference ("block 7 (\"見出し…\"), run 2: font
// size 12 != 10.5").
QString firstDifference(const engine::DocumentModel &expected, const engine::DocumentModel &actual,
                        const ComparisonProfile &profile);

} // namespace tamapiko::test
