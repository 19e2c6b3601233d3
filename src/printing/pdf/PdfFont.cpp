#include "printing/pdf/PdfFont.h"

#include "printing/pdf/PdfObjectFile.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_CID_H
#include <hb-ot.h>
#include <hb-subset.h>
#include <hb.h>

#include <algorithm>
#include <cstring>
#include <cmath>
#include <map>

namespace tamapiko::printing::pdf {

namespace {

// A PDF name from a font's name: only the characters a name may hold
// without escaping.
QByteArray pdfName(const QByteArray &name)
{
    QByteArray out;
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u > 32 && u < 127 && !std::strchr("()<>[]{}/%#", c))
            out += c;
    }
    return out.isEmpty() ? QByteArrayLiteral("Font") : out;
}

// Six capitals that mark a subset's name; they differ between the
// document's fonts.
QByteArray subsetTag(int index)
{
    QByteArray tag(6, 'A');
    unsigned value = unsigned(index) * 7919u + 0x2F3Bu;
    for (int i = 5; i >= 0; --i) {
        tag[i] = char('A' + value % 26);
        value /= 26;
    }
    return tag;
}

void appendHex4(QByteArray &out, unsigned value)
{
    static const char digits[] = "0123456789ABCDEF";
    const char hex[4] = {digits[(value >> 12) & 15], digits[(value >> 8) & 15], digits[(value >> 4) & 15],
                         digits[value & 15]};
    out.append(hex, 4);
}

int toThousandths(double units, unsigned unitsPerEm)
{
    return int(std::lround(units * 1000.0 / unitsPerEm));
}

// The font's bounding box from its header table, in font units; the table
// is checked to be long enough before any field is read.
bool headerBox(hb_face_t *face, int box[4])
{
    hb_blob_t *head = hb_face_reference_table(face, HB_TAG('h', 'e', 'a', 'd'));
    unsigned length = 0;
    const char *data = hb_blob_get_data(head, &length);
    const bool ok = data && length >= 54;
    if (ok) {
        for (int i = 0; i < 4; ++i) {
            const auto hi = static_cast<unsigned char>(data[36 + 2 * i]);
            const auto lo = static_cast<unsigned char>(data[37 + 2 * i]);
            box[i] = int16_t(uint16_t(hi << 8 | lo));
        }
    }
    hb_blob_destroy(head);
    return ok;
}

} // namespace

PdfFont::PdfFont(const QByteArray &fileName, int index, const QByteArray &postscriptName, int resourceIndex)
    : m_fileName(fileName)
    , m_index(std::max(0, index))
    , m_postscriptName(pdfName(postscriptName))
    , m_resourceName("F" + QByteArray::number(resourceIndex))
    , m_resourceIndex(resourceIndex)
{
    m_blob = hb_blob_create_from_file_or_fail(fileName.constData());
    if (!m_blob)
        return;
    hb_face_t *face = hb_face_create(m_blob, unsigned(std::max(0, index)));
    m_glyphCount = hb_face_get_glyph_count(face);
    // Outlines in a variable font's second CFF table cannot be embedded as
    // a PDF font program.
    hb_blob_t *cff2 = hb_face_reference_table(face, HB_TAG('C', 'F', 'F', '2'));
    const bool embeddable = m_glyphCount > 0 && hb_blob_get_length(cff2) == 0;
    hb_blob_destroy(cff2);
    if (!embeddable) {
        hb_face_destroy(face);
        return;
    }
    m_face = face;
    m_unitsPerEm = std::max(16u, hb_face_get_upem(face));
    m_font = hb_font_create(face);
    hb_font_set_scale(m_font, int(m_unitsPerEm), int(m_unitsPerEm));
    m_widths.assign(m_glyphCount, -1);
    m_used.assign(m_glyphCount, false);
    m_text.resize(m_glyphCount);
}

PdfFont::~PdfFont()
{
    hb_font_destroy(m_font);
    hb_face_destroy(m_face);
    hb_blob_destroy(m_blob);
}

int PdfFont::width(uint32_t glyph)
{
    if (glyph >= m_glyphCount)
        return 0;
    int32_t &width = m_widths[glyph];
    if (width < 0)
        width = toThousandths(hb_font_get_glyph_h_advance(m_font, glyph), m_unitsPerEm);
    return width;
}

void PdfFont::use(uint32_t glyph, const QChar *text, int length)
{
    if (glyph >= m_glyphCount || m_used[glyph])
        return;
    m_used[glyph] = true;
    if (length > 0)
        m_text[glyph] = QString(text, length);
}

hb_face_t *PdfFont::subset(bool keepGlyphNumbers, std::vector<Code> *renumbered) const
{
    hb_subset_input_t *input = hb_subset_input_create_or_fail();
    if (!input)
        return nullptr;
    hb_set_t *glyphs = hb_subset_input_glyph_set(input);
    hb_set_add(glyphs, 0);
    for (uint32_t g = 0; g < m_glyphCount; ++g) {
        if (m_used[g])
            hb_set_add(glyphs, g);
    }
    // Hinting and the shaping tables are of no use to a PDF reader.
    hb_subset_input_set_flags(input, (keepGlyphNumbers ? HB_SUBSET_FLAGS_RETAIN_GIDS : HB_SUBSET_FLAGS_DEFAULT)
                                         | HB_SUBSET_FLAGS_NO_HINTING);
    hb_set_t *dropped = hb_subset_input_set(input, HB_SUBSET_SETS_DROP_TABLE_TAG);
    for (const hb_tag_t tag : {HB_TAG('G', 'S', 'U', 'B'), HB_TAG('G', 'P', 'O', 'S'), HB_TAG('G', 'D', 'E', 'F'),
                               HB_TAG('B', 'A', 'S', 'E'), HB_TAG('J', 'S', 'T', 'F'), HB_TAG('M', 'A', 'T', 'H'),
                               HB_TAG('k', 'e', 'r', 'n'), HB_TAG('v', 'h', 'e', 'a'), HB_TAG('v', 'm', 't', 'x'),
                               HB_TAG('V', 'O', 'R', 'G'), HB_TAG('D', 'S', 'I', 'G'), HB_TAG('g', 'a', 's', 'p')})
        hb_set_add(dropped, tag);
    hb_subset_plan_t *plan = hb_subset_plan_create_or_fail(m_face, input);
    hb_subset_input_destroy(input);
    if (!plan)
        return nullptr;
    // Where each glyph shown went (the subset may add glyphs that others
    // are built from).
    const hb_map_t *numbers = hb_subset_plan_old_to_new_glyph_mapping(plan);
    for (uint32_t g = 0; g < m_glyphCount; ++g) {
        if (m_used[g])
            renumbered->push_back({g, hb_map_get(numbers, g)});
    }
    hb_face_t *result = hb_subset_plan_execute_or_fail(plan);
    hb_subset_plan_destroy(plan);
    return result;
}

bool PdfFont::cidKeyedCff() const
{
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0)
        return false;
    FT_Face face = nullptr;
    FT_Bool cidKeyed = false;
    if (FT_New_Face(library, m_fileName.constData(), m_index, &face) == 0) {
        if (FT_Get_CID_Is_Internally_CID_Keyed(face, &cidKeyed) != 0)
            cidKeyed = false;
        FT_Done_Face(face);
    }
    FT_Done_FreeType(library);
    return cidKeyed;
}

bool PdfFont::programCids(hb_face_t *subset, std::vector<Code> *codes) const
{
    // The glyphs' CIDs as the subset's charset gives them.
    hb_blob_t *blob = hb_face_reference_blob(subset);
    unsigned length = 0;
    const char *data = hb_blob_get_data(blob, &length);
    FT_Library library = nullptr;
    bool ok = FT_Init_FreeType(&library) == 0;
    FT_Face face = nullptr;
    ok = ok && FT_New_Memory_Face(library, reinterpret_cast<const FT_Byte *>(data), FT_Long(length), 0, &face) == 0;
    for (Code &c : *codes) {
        FT_UInt cid = 0;
        ok = ok && c.cid < FT_UInt(face->num_glyphs) && FT_Get_CID_From_Glyph_Index(face, c.cid, &cid) == 0;
        c.cid = cid;
    }
    if (face)
        FT_Done_Face(face);
    if (library)
        FT_Done_FreeType(library);
    hb_blob_destroy(blob);
    return ok;
}

QByteArray PdfFont::widthArray(const std::vector<Code> &codes, int *defaultWidth)
{
    // The commonest width is the default and left out of the list (every
    // ideograph of a Japanese font has the same).
    std::map<int, int> counts;
    for (const Code &c : codes)
        ++counts[width(c.code)];
    *defaultWidth = counts.empty() ? 1000
                                   : std::max_element(counts.begin(), counts.end(), [](const auto &a, const auto &b) {
                                         return a.second < b.second;
                                     })->first;
    QByteArray out = "[";
    uint32_t next = UINT32_MAX;            // the CID a run open now continues with
    for (const Code &c : codes) {
        const int w = width(c.code);
        if (w == *defaultWidth)
            continue;
        if (c.cid != next) {
            if (next != UINT32_MAX)
                out += "]\n";
            out += QByteArray::number(c.cid) + '[';
        } else {
            out += ' ';
        }
        out += QByteArray::number(w);
        next = c.cid + 1;
    }
    if (next != UINT32_MAX)
        out += ']';
    out += ']';
    return out;
}

QByteArray PdfFont::cidMap(const QByteArray &name, const std::vector<Code> &codes)
{
    QByteArray out = "/CIDInit/ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                     "/CIDSystemInfo<</Registry(Adobe)/Ordering(Identity)/Supplement 0>>def\n"
                     "/CMapName/" + name + " def\n/CMapType 1 def\n"
                     "1 begincodespacerange\n<0000><FFFF>\nendcodespacerange\n";
    for (size_t i = 0; i < codes.size(); i += 100) {
        const size_t end = std::min(codes.size(), i + 100);
        out += QByteArray::number(qsizetype(end - i)) + " begincidchar\n";
        for (size_t k = i; k < end; ++k) {
            out += '<';
            appendHex4(out, codes[k].code);
            out += "> " + QByteArray::number(codes[k].cid) + '\n';
        }
        out += "endcidchar\n";
    }
    out += "endcmap\nCMapName currentdict/CMap defineresource pop\nend\nend\n";
    return out;
}

QByteArray PdfFont::toUnicodeMap() const
{
    QByteArray entries;
    int count = 0;
    QByteArray out = "/CIDInit/ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                     "/CIDSystemInfo<</Registry(Adobe)/Ordering(UCS)/Supplement 0>>def\n"
                     "/CMapName/Adobe-Identity-UCS def\n/CMapType 2 def\n"
                     "1 begincodespacerange\n<0000><FFFF>\nendcodespacerange\n";
    auto flush = [&] {
        if (count == 0)
            return;
        out += QByteArray::number(count) + " beginbfchar\n" + entries + "endbfchar\n";
        entries.clear();
        count = 0;
    };
    for (uint32_t g = 0; g < m_glyphCount && g <= 0xFFFF; ++g) {
        if (!m_used[g] || m_text[g].isEmpty())
            continue;
        entries += '<';
        appendHex4(entries, g);
        entries += "><";
        for (const QChar c : m_text[g])
            appendHex4(entries, c.unicode());
        entries += ">\n";
        if (++count == 100)
            flush();
    }
    flush();
    out += "endcmap\nCMapName currentdict/CMap defineresource pop\nend\nend\n";
    return out;
}

bool PdfFont::write(PdfObjectFile &file, int id)
{
    if (!m_face)
        return false;
    hb_blob_t *cffTable = hb_face_reference_table(m_face, HB_TAG('C', 'F', 'F', ' '));
    const bool cff = hb_blob_get_length(cffTable) > 0;
    hb_blob_destroy(cffTable);
    // Pages show glyph numbers. A TrueType subset and a CFF one without CIDs
    // keep every glyph at its number; a CID-keyed CFF one would hold an
    // entry for every number up to the last kept one (tens of thousands in
    // a Japanese font), so its glyphs are renumbered and a map from the
    // numbers shown to their CIDs goes with it.
    const bool renumbered = cff && cidKeyedCff();
    std::vector<Code> codes;
    hb_face_t *subsetFace = subset(!renumbered, &codes);
    if (!subsetFace)
        return false;
    bool identity = true;
    if (renumbered && !programCids(subsetFace, &codes)) {
        hb_face_destroy(subsetFace);
        return false;
    }
    for (const Code &c : codes)
        identity = identity && c.code == c.cid;
    // A CFF font goes in as its bare CFF program, a TrueType one whole.
    hb_blob_t *programBlob = cff ? hb_face_reference_table(subsetFace, HB_TAG('C', 'F', 'F', ' '))
                                 : hb_face_reference_blob(subsetFace);
    unsigned length = 0;
    const char *data = hb_blob_get_data(programBlob, &length);
    const QByteArray program(data, qsizetype(length));
    hb_blob_destroy(programBlob);
    hb_face_destroy(subsetFace);
    if (program.isEmpty())
        return false;
    const QByteArray name = subsetTag(m_resourceIndex) + '+' + m_postscriptName;

    const int descendant = file.reserve();
    const int descriptor = file.reserve();
    const int fontFile = file.reserve();
    const int toUnicode = file.reserve();
    const int encoding = identity ? 0 : file.reserve();

    file.writeObject(id, "<</Type/Font/Subtype/Type0/BaseFont/" + name + "/Encoding"
                             + (identity ? QByteArray("/Identity-H") : ' ' + QByteArray::number(encoding) + " 0 R")
                             + "/DescendantFonts[" + QByteArray::number(descendant) + " 0 R]/ToUnicode "
                             + QByteArray::number(toUnicode) + " 0 R>>");
    int defaultWidth = 1000;
    const QByteArray widths = widthArray(codes, &defaultWidth);
    file.writeObject(descendant,
                     "<</Type/Font/Subtype/" + QByteArray(cff ? "CIDFontType0" : "CIDFontType2") + "/BaseFont/" + name
                         + "/CIDSystemInfo<</Registry(Adobe)/Ordering(Identity)/Supplement 0>>/FontDescriptor "
                         + QByteArray::number(descriptor) + " 0 R/DW " + QByteArray::number(defaultWidth) + "/W "
                         + widths + (cff ? "" : "/CIDToGIDMap/Identity") + ">>");
    if (!identity) {
        const QByteArray mapName = "Tamapiko-" + m_resourceName;
        file.writeStream(encoding,
                         "/Type/CMap/CMapName/" + mapName
                             + "/CIDSystemInfo<</Registry(Adobe)/Ordering(Identity)/Supplement 0>>",
                         cidMap(mapName, codes));
    }

    int box[4] = {0, -200, 1000, 900};
    headerBox(m_face, box);
    hb_position_t ascender = 0;
    hb_position_t descender = 0;
    hb_position_t capHeight = 0;
    hb_ot_metrics_get_position(m_font, HB_OT_METRICS_TAG_HORIZONTAL_ASCENDER, &ascender);
    hb_ot_metrics_get_position(m_font, HB_OT_METRICS_TAG_HORIZONTAL_DESCENDER, &descender);
    if (!hb_ot_metrics_get_position(m_font, HB_OT_METRICS_TAG_CAP_HEIGHT, &capHeight))
        capHeight = ascender;
    const float slant = hb_style_get_value(m_font, HB_STYLE_TAG_SLANT_ANGLE);
    QByteArray bbox;
    for (int i = 0; i < 4; ++i)
        bbox += (i ? " " : "") + QByteArray::number(toThousandths(box[i], m_unitsPerEm));
    file.writeObject(descriptor, "<</Type/FontDescriptor/FontName/" + name + "/Flags "
                                     + QByteArray::number(4 | (slant != 0 ? 64 : 0)) + "/FontBBox[" + bbox
                                     + "]/ItalicAngle " + QByteArray::number(double(slant), 'f', 1) + "/Ascent "
                                     + QByteArray::number(toThousandths(ascender, m_unitsPerEm)) + "/Descent "
                                     + QByteArray::number(toThousandths(descender, m_unitsPerEm)) + "/CapHeight "
                                     + QByteArray::number(toThousandths(capHeight, m_unitsPerEm)) + "/StemV 80"
                                     + (cff ? "/FontFile3 " : "/FontFile2 ") + QByteArray::number(fontFile)
                                     + " 0 R>>");
    file.writeStream(fontFile,
                     cff ? QByteArrayLiteral("/Subtype/CIDFontType0C")
                         : "/Length1 " + QByteArray::number(program.size()),
                     program);
    file.writeStream(toUnicode, {}, toUnicodeMap());
    return true;
}

} // namespace tamapiko::printing::pdf
