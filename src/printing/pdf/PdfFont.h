#pragma once

// PdfFont: one font file face embedded in a PDF as a subset of the glyphs
// the pages show.
//
// Text refers to glyphs by their numbers in the font (Identity-H), so a
// page can be written before anyone knows which glyphs the whole document
// needs; the subset keeps every glyph at its number. What each glyph stands
// for (the text it was shaped from) goes into a ToUnicode map, so text
// copied from the PDF or extracted from it is the document's text.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

struct hb_blob_t;
struct hb_face_t;
struct hb_font_t;

namespace tamapiko::printing::pdf {

class PdfObjectFile;

class PdfFont
{
public:
    // Opens face `index` of the font file `fileName`; isValid() is false
    // when it cannot be read or embedded (then text in it is drawn as
    // outlines instead).
    PdfFont(const QByteArray &fileName, int index, const QByteArray &postscriptName, int resourceIndex);
    ~PdfFont();
    PdfFont(const PdfFont &) = delete;
    PdfFont &operator=(const PdfFont &) = delete;

    bool isValid() const { return m_face != nullptr; }
    // The font's name in page resources ("F3").
    const QByteArray &resourceName() const { return m_resourceName; }

    // The glyph's advance in thousandths of an em, as the PDF is told it.
    int width(uint32_t glyph);
    // Marks `glyph` as shown, standing for `text` (the first text a glyph
    // is shown for is the one it maps to).
    void use(uint32_t glyph, const QChar *text, int length);
    bool knows(uint32_t glyph) const { return glyph < m_used.size() && m_used[glyph]; }

    // Writes the font's objects (the subset program, its descriptor, the
    // widths and the ToUnicode map) as object `id` and ones it reserves.
    // Returns false when the subset cannot be made.
    bool write(PdfObjectFile &file, int id);

    uint32_t glyphCount() const { return m_glyphCount; }

private:
    // A glyph number as the pages show it and the glyph's number (CID) in
    // the embedded program.
    struct Code
    {
        uint32_t code;
        uint32_t cid;
    };

    // The subset program; `renumbered` gets each shown glyph's number in it.
    hb_face_t *subset(bool keepGlyphNumbers, std::vector<Code> *renumbered) const;
    bool cidKeyedCff() const;
    bool programCids(hb_face_t *subset, std::vector<Code> *codes) const;
    QByteArray widthArray(const std::vector<Code> &codes, int *defaultWidth);
    QByteArray toUnicodeMap() const;
    static QByteArray cidMap(const QByteArray &name, const std::vector<Code> &codes);

    hb_blob_t *m_blob = nullptr;
    hb_face_t *m_face = nullptr;
    hb_font_t *m_font = nullptr;
    QByteArray m_fileName;
    int m_index = 0;
    QByteArray m_postscriptName;
    QByteArray m_resourceName;
    int m_resourceIndex = 0;
    uint32_t m_glyphCount = 0;
    unsigned m_unitsPerEm = 1000;
    std::vector<int32_t> m_widths;       // -1: not asked yet
    std::vector<bool> m_used;
    std::vector<QString> m_text;
};

} // namespace tamapiko::printing::pdf
