#include "engine/formats/word/WordWriter.h"

#include "engine/EngineProperties.h"
#include "engine/ResourceImage.h"
#include "engine/formats/RtfPicture.h"
#include "engine/formats/word/BinaryData.h"
#include "engine/formats/word/CompoundFile.h"
#include "engine/formats/word/DocumentWalker.h"
#include "engine/formats/word/WordSprms.h"
#include "engine/layout/ListNumbering.h"

#include <QBuffer>
#include <QImage>
#include <QTextDocument>

#include <array>
#include <cmath>
#include <vector>

namespace tamapiko::engine::word {

namespace {

constexpr quint32 kFkpSize = 512;
constexpr quint32 kTextOffset = 1024; // the text follows the FIB on its own page
constexpr qsizetype kMiniStreamCutoff = 4096;
constexpr int kPairCount = 93;        // the (fc, lcb) pairs of a Word 97 FIB
constexpr quint16 kJapanese = 0x0411;
constexpr quint8 kShiftJisCharset = 128;
constexpr quint8 kHyperlinkField = 88;
constexpr quint8 kPageField = 33;
constexpr quint8 kNumPagesField = 26;
constexpr quint16 kNoStyle = 0x0FFF;

enum FibPair {
    PairStshfOrig = 0, PairStshf = 1, PairPlcffndRef = 2, PairPlcffndTxt = 3, PairPlcfSed = 6, PairPlcfHdd = 11, PairPlcfBteChpx = 12, PairPlcfBtePapx = 13,
    PairSttbfFfn = 15, PairPlcfFldMom = 16, PairPlcfFldHdr = 17, PairDop = 31, PairClx = 33, PairPlcfendRef = 46,
    PairPlcfendTxt = 47, PairPlfLst = 73, PairPlfLfo = 74,
};

// The header text: six separator stories (footnote and endnote ones, which
// we leave empty), then the section's six stories in this order.
constexpr int kSeparatorStories = 6;
constexpr struct {
    HeaderFooterKind kind;
    HeaderFooterPages pages;
} kSectionStories[] = {
    {HeaderFooterKind::Header, HeaderFooterPages::Even},  {HeaderFooterKind::Header, HeaderFooterPages::Default},
    {HeaderFooterKind::Footer, HeaderFooterPages::Even},  {HeaderFooterKind::Footer, HeaderFooterPages::Default},
    {HeaderFooterKind::Header, HeaderFooterPages::First}, {HeaderFooterKind::Footer, HeaderFooterPages::First},
};

// Text as Word stores it: its own codes for line breaks and hyphens, no
// paragraph separators or object characters (the walk gives those apart).
QString wordText(const QString &text)
{
    QString chars;
    chars.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case QChar::LineSeparator: chars += QChar(0x0B); break;
        case 0x2011: chars += QChar(0x1E); break;
        case 0x00AD: chars += QChar(0x1F); break;
        case QChar::ParagraphSeparator:
        case QChar::ObjectReplacementCharacter: break;
        default:
            if (c.unicode() >= 0x20 || c == QLatin1Char('\t'))
                chars += c;
            break;
        }
    }
    return chars;
}

bool isEastAsian(QStringView text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x2E80)
            return true;
    }
    return false;
}

quint32 colorRef(const QColor &color)
{
    if (!color.isValid())
        return 0xFF000000;
    const QColor rgb = color.toRgb();
    return quint32(rgb.red()) | (quint32(rgb.green()) << 8) | (quint32(rgb.blue()) << 16);
}

int kulOf(UnderlineKind kind)
{
    switch (kind) {
    case UnderlineKind::None: return 0;
    case UnderlineKind::Single: return 1;
    case UnderlineKind::Words: return 2;
    case UnderlineKind::Double: return 3;
    case UnderlineKind::Dotted: return 4;
    case UnderlineKind::Thick: return 6;
    case UnderlineKind::Dash: return 7;
    case UnderlineKind::DashDot: return 9;
    case UnderlineKind::DashDotDot: return 10;
    case UnderlineKind::Wave: return 11;
    case UnderlineKind::HeavyWave: return 27;
    case UnderlineKind::DoubleWave: return 43;
    case UnderlineKind::LongDash: return 39;
    }
    return 1;
}

// A list of sprms being built.
class Grpprl
{
public:
    void u8(quint16 sprm, quint8 value)
    {
        appendU16(m_bytes, sprm);
        appendU8(m_bytes, value);
    }
    void u16(quint16 sprm, quint16 value)
    {
        appendU16(m_bytes, sprm);
        appendU16(m_bytes, value);
    }
    void u32(quint16 sprm, quint32 value)
    {
        appendU16(m_bytes, sprm);
        appendU32(m_bytes, value);
    }
    void bytes(quint16 sprm, const QByteArray &operand)
    {
        appendU16(m_bytes, sprm);
        m_bytes.append(operand);
    }
    const QByteArray &data() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

QByteArray brc80(const Border &border)
{
    QByteArray bytes;
    if (!border.present) {
        appendU32(bytes, 0);
        return bytes;
    }
    appendU8(bytes, quint8(std::clamp(border.width * 2 / 5, 1, 255)));
    appendU8(bytes, border.isDouble ? 3 : 1);
    appendU8(bytes, 0); // automatic colour
    appendU8(bytes, quint8(std::clamp(border.space / 20, 0, 31)));
    return bytes;
}

QByteArray brc(const Border &border)
{
    QByteArray bytes;
    appendU32(bytes, colorRef(border.color));
    appendU8(bytes, border.present ? quint8(std::clamp(border.width * 2 / 5, 1, 255)) : 0);
    appendU8(bytes, border.present ? (border.isDouble ? 3 : 1) : 0);
    appendU16(bytes, quint16(std::clamp(border.space / 20, 0, 31)));
    return bytes;
}

// Formatted disk pages: runs of the WordDocument stream with their
// properties, packed into 512-byte pages as Word reads them.
class FkpWriter
{
public:
    explicit FkpWriter(bool paragraphs) : m_paragraphs(paragraphs) {}

    void add(quint32 fcStart, quint32 fcEnd, const QByteArray &properties)
    {
        if (!m_paragraphs && !m_runs.empty() && m_runs.back().properties == properties
            && m_runs.back().end == fcStart) {
            m_runs.back().end = fcEnd;
            return;
        }
        m_runs.push_back(Run{fcStart, fcEnd, properties});
    }

    // Appends the pages to `stream` (at a page boundary) and returns the
    // bin table that finds them.
    QByteArray write(QByteArray &stream) const
    {
        QList<quint32> firstFcs;
        QList<quint32> pageNumbers;
        quint32 lastFc = 0;
        size_t next = 0;
        while (next < m_runs.size()) {
            QByteArray page(kFkpSize, '\0');
            int count = 0;
            int dataStart = kFkpSize - 1; // properties grow down from the count byte
            const int entrySize = m_paragraphs ? 13 : 1;
            while (next < m_runs.size()) {
                const Run &run = m_runs[next];
                const QByteArray stored = encoded(run.properties);
                int at = dataStart - int(stored.size());
                at &= ~1;
                const int tableEnd = 4 * (count + 2) + entrySize * (count + 1);
                if (at < tableEnd)
                    break;
                dataStart = at;
                page.replace(at, stored.size(), stored);
                m_offsets.push_back(quint8(at / 2));
                ++count;
                ++next;
            }
            if (count == 0)
                break; // a property list larger than a page: never written by us
            // rgfc, then the offsets (with an empty PHE for paragraphs).
            const size_t first = next - size_t(count);
            for (int i = 0; i < count; ++i)
                putU32(page, 4 * i, m_runs[first + size_t(i)].start);
            putU32(page, 4 * count, m_runs[next - 1].end);
            for (int i = 0; i < count; ++i)
                page[4 * (count + 1) + entrySize * i] = char(m_offsets[m_offsets.size() - size_t(count) + size_t(i)]);
            page[kFkpSize - 1] = char(count);
            firstFcs.append(m_runs[first].start);
            pageNumbers.append(quint32(stream.size()) / kFkpSize);
            lastFc = m_runs[next - 1].end;
            stream.append(page);
        }
        QByteArray plc;
        for (const quint32 fc : firstFcs)
            appendU32(plc, fc);
        appendU32(plc, lastFc);
        for (const quint32 pn : pageNumbers)
            appendU32(plc, pn);
        return plc;
    }

private:
    struct Run
    {
        quint32 start;
        quint32 end;
        QByteArray properties;
    };

    QByteArray encoded(const QByteArray &properties) const
    {
        QByteArray stored;
        if (!m_paragraphs) {
            appendU8(stored, quint8(properties.size()));
        } else if (properties.size() % 2) {
            appendU8(stored, quint8((properties.size() + 1) / 2));
        } else {
            appendU8(stored, 0);
            appendU8(stored, quint8(properties.size() / 2));
        }
        stored.append(properties);
        return stored;
    }

    bool m_paragraphs;
    std::vector<Run> m_runs;
    mutable std::vector<quint8> m_offsets;
};

} // namespace

class WordWriter::Private : public DocumentVisitor
{
public:
    Private(const QTextDocument &doc, const PageSetup &p, const DocumentSummary &s, const HeaderFooterSet *hf)
        : document(doc), page(p), summary(s), headerFooters(hf), walker(doc, p)
    {
        walker.setNestedTables(true);
    }

    QByteArray write();

    void beginRow(const RowProperties &) override {}
    void endRow(const RowProperties &row) override;
    void beginParagraph(const ParagraphProperties &para, bool inTable) override;
    void text(const QString &text, const CharacterProperties &chr) override;
    void picture(const QTextImageFormat &format, const CharacterProperties &chr) override;
    void endParagraph(ParagraphEnd end, const CharacterProperties &mark) override;
    void beginSection(const SectionProperties &section) override;

private:
    // The SEPX of a section; the first carries the headers' distances.
    QByteArray sectionSprms(const SectionProperties &section, int index, bool hasHeaders) const;
    int fontIndex(const QString &family, bool eastAsian);
    QByteArray characterSprms(const CharacterProperties &chr, QStringView text);
    // `endsInnerCell`: the paragraph ends a cell of a table inside a cell.
    QByteArray paragraphSprms(const ParagraphProperties &para, bool inTable, int listOverride,
                              bool endsInnerCell = false) const;
    int listOverride(const ListMembership &list);
    QByteArray listDefinitions() const;
    QByteArray listOverrides() const;
    void append(const QString &chars, const QByteArray &chpx);
    void appendFieldChar(char16_t c, quint8 data);
    void setLink(const QString &href);
    QByteArray pictureData(const QTextImageFormat &format, qint64 *offset);

    QByteArray styleSheet() const;
    QByteArray fontTable() const;
    // `parts`: the lengths of the body, footnotes, headers, macros, comments and endnotes.
    QByteArray fib(quint32 streamSize, const std::array<quint32, 6> &parts,
                   const QList<std::pair<quint32, quint32>> &pairs) const;

    struct Note
    {
        quint32 reference; // cp in the body
        QString text;
    };
    void endPart();
    QList<quint32> writeHeaderText();
    const QTextDocument *storyToWrite(HeaderFooterKind kind, HeaderFooterPages pages, int section) const;
    QList<quint32> writeNoteText(const std::vector<Note> &notes);

    const QTextDocument &document;
    PageSetup page;
    DocumentSummary summary;
    const HeaderFooterSet *headerFooters;
    DocumentWalker walker;

    QString content;
    // The sections after the first, each with the cp its predecessor ends at.
    std::vector<std::pair<quint32, SectionProperties>> laterSections;
    FkpWriter chpx{false};
    FkpWriter papx{true};
    ParagraphProperties paragraph;
    bool paragraphInTable = false;
    int paragraphList = 0; // its ilfo, 0 outside lists
    quint32 paragraphStart = 0;
    struct Font
    {
        QString name;
        bool eastAsian = false;
    };
    QList<Font> fonts;
    // The document's lists, each one LST with nine levels and one LFO,
    // numbered from 1 in the order they first appear.
    struct WordList
    {
        int number = 0; // the vocabulary's
        std::array<ListLevelFormat, 9> levels;
    };
    std::vector<WordList> lists;
    QString openLink;
    using FieldList = std::vector<std::pair<quint32, QByteArray>>; // cp in its part -> FLD
    FieldList fields;       // of the body
    FieldList headerFields; // of the header text
    FieldList *currentFields = &fields;
    std::vector<Note> footnotes;
    std::vector<Note> endnotes;
    quint32 partStart = 0; // where the part being written starts in the text
    bool hasDeletions = false; // tracked deletions, which readers show only when the file says so
    QByteArray dataStream;
};

WordWriter::WordWriter(const QTextDocument &document, const PageSetup &page, const DocumentSummary &summary,
                       const HeaderFooterSet *headerFooters)
    : d(std::make_unique<Private>(document, page, summary, headerFooters))
{
}

WordWriter::~WordWriter() = default;

QByteArray WordWriter::write() { return d->write(); }

int WordWriter::Private::fontIndex(const QString &family, bool eastAsian)
{
    for (int i = 0; i < fonts.size(); ++i) {
        if (fonts.at(i).name == family) {
            fonts[i].eastAsian = fonts.at(i).eastAsian || eastAsian;
            return i;
        }
    }
    fonts.append(Font{family, eastAsian || isEastAsian(family)});
    return int(fonts.size() - 1);
}

QByteArray WordWriter::Private::characterSprms(const CharacterProperties &chr, QStringView text)
{
    Grpprl g;
    const quint16 font = quint16(fontIndex(chr.font, isEastAsian(text)));
    g.u16(sprmCRgFtc0, font);
    g.u16(sprmCRgFtc1, font);
    g.u16(sprmCRgFtc2, font);
    g.u16(sprmCHps, quint16(std::clamp(chr.halfPoints, 2, 3276)));
    if (chr.bold)
        g.u8(sprmCFBold, 1);
    if (chr.italic)
        g.u8(sprmCFItalic, 1);
    if (chr.strike)
        g.u8(sprmCFStrike, 1);
    if (chr.doubleStrike)
        g.u8(sprmCFDStrike, 1);
    if (chr.caps)
        g.u8(sprmCFCaps, 1);
    if (chr.smallCaps)
        g.u8(sprmCFSmallCaps, 1);
    if (chr.hidden)
        g.u8(sprmCFVanish, 1);
    if (chr.deleted) {
        g.u8(sprmCFRMarkDel, 1);
        hasDeletions = true;
    }
    if (chr.underline != UnderlineKind::None)
        g.u8(sprmCKul, quint8(kulOf(chr.underline)));
    if (chr.foreColor.isValid())
        g.u32(sprmCCv, colorRef(chr.foreColor));
    if (chr.backColor.isValid()) {
        QByteArray shd;
        appendU8(shd, 10);
        appendU32(shd, 0xFF000000);
        appendU32(shd, colorRef(chr.backColor));
        appendU16(shd, 0); // clear pattern: the background colour shows
        g.bytes(sprmCShd, shd);
    }
    if (chr.vertical)
        g.u8(sprmCIss, chr.vertical);
    if (chr.offset)
        g.u16(sprmCHpsPos, quint16(qint16(chr.offset)));
    return g.data();
}

QByteArray WordWriter::Private::paragraphSprms(const ParagraphProperties &para, bool inTable, int ilfo,
                                               bool endsInnerCell) const
{
    Grpprl g;
    if (ilfo > 0) {
        // The level first: readers apply the list when they meet the LFO.
        g.u8(sprmPIlvl, quint8(std::clamp(para.list.level, 0, 8)));
        g.u16(sprmPIlfo, quint16(ilfo));
    }
    static constexpr quint8 kJc[] = {0, 2, 1, 3}; // left, right, centre, justify
    const quint8 jc = kJc[int(para.alignment) & 3];
    if (jc) {
        g.u8(sprmPJc80, jc);
        g.u8(sprmPJc, jc);
    }
    if (para.leftIndent)
        g.u16(sprmPDxaLeft80, quint16(qint16(para.leftIndent)));
    if (para.rightIndent)
        g.u16(sprmPDxaRight80, quint16(qint16(para.rightIndent)));
    if (para.firstIndent)
        g.u16(sprmPDxaLeft180, quint16(qint16(para.firstIndent)));
    if (para.spaceBefore)
        g.u16(sprmPDyaBefore, quint16(para.spaceBefore));
    if (para.spaceAfter)
        g.u16(sprmPDyaAfter, quint16(para.spaceAfter));
    if (para.lineSpacing) {
        QByteArray lspd;
        appendU16(lspd, quint16(qint16(para.lineSpacing)));
        appendU16(lspd, para.lineMultiple ? 1 : 0);
        g.bytes(sprmPDyaLine, lspd);
    }
    if (!para.tabs.isEmpty()) {
        const int count = std::min<int>(int(para.tabs.size()), 64);
        QByteArray tabs;
        appendU8(tabs, quint8(1 + 1 + 2 * count + count));
        appendU8(tabs, 0); // nothing deleted
        appendU8(tabs, quint8(count));
        for (int i = 0; i < count; ++i)
            appendU16(tabs, quint16(qint16(para.tabs.at(i).position)));
        for (int i = 0; i < count; ++i) {
            const TabStop &tab = para.tabs.at(i);
            const quint8 leader = quint8(quint8(tab.leader) << 3);
            switch (tab.type) {
            case QTextOption::CenterTab: appendU8(tabs, leader | 1); break;
            case QTextOption::RightTab: appendU8(tabs, leader | 2); break;
            case QTextOption::DelimiterTab: appendU8(tabs, leader | 3); break;
            default: appendU8(tabs, leader); break;
            }
        }
        g.bytes(sprmPChgTabsPapx, tabs);
    }
    if (para.keepNext)
        g.u8(sprmPFKeepFollow, 1);
    if (para.keepTogether)
        g.u8(sprmPFKeep, 1);
    if (!para.widowControl)
        g.u8(sprmPFWidowControl, 0);
    if (para.pageBreakBefore)
        g.u8(sprmPFPageBreakBefore, 1);
    static constexpr struct {
        BorderSide side;
        quint16 sprm;
    } kSides[] = {{Top, sprmPBrcTop80}, {Left, sprmPBrcLeft80}, {Bottom, sprmPBrcBottom80},
                  {Right, sprmPBrcRight80}, {Bar, sprmPBrcBar80}};
    for (const auto &side : kSides) {
        if (para.borders[side.side].present)
            g.bytes(side.sprm, brc80(para.borders[side.side]));
    }
    if (inTable) {
        g.u8(sprmPFInTable, 1);
        g.u32(sprmPItap, quint32(std::max(1, para.tableDepth)));
        if (endsInnerCell)
            g.u8(sprmPFInnerTableCell, 1);
    }
    QByteArray withStyle;
    appendU16(withStyle, 0); // the Normal style
    withStyle.append(g.data());
    return withStyle;
}

void WordWriter::Private::append(const QString &chars, const QByteArray &chpxBytes)
{
    if (chars.isEmpty())
        return;
    const quint32 start = quint32(content.size());
    content += chars;
    chpx.add(kTextOffset + 2 * start, kTextOffset + 2 * quint32(content.size()), chpxBytes);
}

void WordWriter::Private::appendFieldChar(char16_t c, quint8 data)
{
    QByteArray fld;
    appendU8(fld, quint8(c));
    appendU8(fld, data);
    currentFields->emplace_back(quint32(content.size()) - partStart, fld);
    Grpprl g;
    g.u8(sprmCFSpec, 1);
    append(QString(QChar(c)), g.data());
}

void WordWriter::Private::setLink(const QString &href)
{
    if (href == openLink)
        return;
    if (!openLink.isEmpty())
        appendFieldChar(0x15, 0);
    openLink = href;
    if (href.isEmpty())
        return;
    appendFieldChar(0x13, kHyperlinkField);
    const QString instruction = href.startsWith(QLatin1Char('#'))
        ? QStringLiteral(" HYPERLINK \\l \"%1\" ").arg(href.mid(1))
        : QStringLiteral(" HYPERLINK \"%1\" ").arg(href);
    append(instruction, characterSprms(CharacterProperties{walker.defaultFamily()}, {}));
    appendFieldChar(0x14, 0);
}

void WordWriter::Private::beginParagraph(const ParagraphProperties &para, bool inTable)
{
    paragraph = para;
    paragraphInTable = inTable;
    paragraphList = para.list.list > 0 ? listOverride(para.list) : 0;
    paragraphStart = quint32(content.size());
}

void WordWriter::Private::text(const QString &text, const CharacterProperties &chr)
{
    setLink(chr.link);
    const QString chars = wordText(text);
    if (!chr.note.isEmpty() && currentFields == &fields) {
        // A note's reference mark: Word numbers it; the note's text
        // follows the body.
        (chr.endnote ? endnotes : footnotes).push_back(Note{quint32(content.size()), chr.note});
        Grpprl special;
        special.u8(sprmCFSpec, 1);
        append(QString(QChar(0x02)), characterSprms(chr, {}) + special.data());
        return;
    }
    if (chr.field != FieldKind::None) {
        // A page number or count: the field, with the last result shown.
        const bool page = chr.field == FieldKind::PageNumber;
        appendFieldChar(0x13, page ? kPageField : kNumPagesField);
        append(page ? QStringLiteral(" PAGE ") : QStringLiteral(" NUMPAGES "), characterSprms(chr, {}));
        appendFieldChar(0x14, 0);
        append(chars, characterSprms(chr, chars));
        appendFieldChar(0x15, 0);
        return;
    }
    append(chars, characterSprms(chr, chars));
}

// A picture in the Data stream: the picture descriptor, a shape, and the
// blip (PNG or JPEG as they were, anything else as PNG).
QByteArray WordWriter::Private::pictureData(const QTextImageFormat &format, qint64 *offset)
{
    QByteArray bytes = format.property(ImageOriginalData).toByteArray();
    const QString kind = format.stringProperty(ImageOriginalFormat);
    bool jpeg = kind == QLatin1String("jpeg");
    const QImage image = resourceImage(&document, format.name());
    if (bytes.isEmpty() || (kind != QLatin1String("png") && !jpeg)) {
        if (image.isNull())
            return {};
        bytes.clear();
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        jpeg = false;
    }
    const qreal widthPt = format.width() > 0 ? format.width() : image.width() * 0.75;
    const qreal heightPt = format.height() > 0 ? format.height() : image.height() * 0.75;

    // The blip inside its store entry.
    QByteArray blip;
    const quint16 instance = jpeg ? 0x46A : 0x6E0;
    appendU16(blip, quint16(instance << 4));
    appendU16(blip, jpeg ? 0xF01D : 0xF01E);
    appendU32(blip, quint32(16 + 1 + bytes.size()));
    blip.append(QByteArray(16, '\0')); // the picture's id: not needed inline
    appendU8(blip, 0xFF);
    blip.append(bytes);

    QByteArray fbse;
    appendU16(fbse, quint16(((jpeg ? 5 : 6) << 4) | 2));
    appendU16(fbse, 0xF007);
    appendU32(fbse, quint32(36 + blip.size()));
    appendU8(fbse, jpeg ? 5 : 6); // btWin32
    appendU8(fbse, jpeg ? 5 : 6); // btMacOS
    fbse.append(QByteArray(16, '\0'));
    appendU16(fbse, 0xFF);                 // tag
    appendU32(fbse, quint32(blip.size())); // size
    appendU32(fbse, 1);                    // references
    appendU32(fbse, 0);                    // foDelay
    appendU8(fbse, 0);
    appendU8(fbse, 0); // no name
    appendU8(fbse, 0);
    appendU8(fbse, 0);
    fbse.append(blip);

    // A picture frame shape that points at the first blip.
    QByteArray properties;
    appendU16(properties, 0x4104); // pib, a blip id
    appendU32(properties, 1);
    QByteArray opt;
    appendU16(opt, quint16((1 << 4) | 3));
    appendU16(opt, 0xF00B);
    appendU32(opt, quint32(properties.size()));
    opt.append(properties);
    QByteArray sp;
    appendU16(sp, quint16((75 << 4) | 2)); // a picture frame
    appendU16(sp, 0xF00A);
    appendU32(sp, 8);
    appendU32(sp, 1025);        // shape id
    appendU32(sp, 0x00000A00);  // has a shape type, has an anchor
    QByteArray container;
    appendU16(container, 0x000F);
    appendU16(container, 0xF004);
    appendU32(container, quint32(sp.size() + opt.size()));
    container.append(sp);
    container.append(opt);

    QByteArray picf(68, '\0');
    const qsizetype total = 68 + container.size() + fbse.size();
    putU32(picf, 0, quint32(total));
    putU16(picf, 4, 68);
    putU16(picf, 6, 0x64); // MM_SHAPE: the picture is an OfficeArt shape
    putU16(picf, 28, quint16(qint16(std::lround(widthPt * 20))));
    putU16(picf, 30, quint16(qint16(std::lround(heightPt * 20))));
    putU16(picf, 32, 1000);
    putU16(picf, 34, 1000);

    *offset = dataStream.size();
    return picf + container + fbse;
}

void WordWriter::Private::picture(const QTextImageFormat &format, const CharacterProperties &chr)
{
    setLink(chr.link);
    qint64 offset = 0;
    const QByteArray data = pictureData(format, &offset);
    if (data.isEmpty())
        return;
    dataStream.append(data);
    Grpprl g;
    g.u8(sprmCFSpec, 1);
    g.u32(sprmCPicLocation, quint32(offset));
    QByteArray bytes = characterSprms(chr, {});
    bytes.append(g.data());
    append(QString(QChar(0x01)), bytes);
}

void WordWriter::Private::endParagraph(ParagraphEnd end, const CharacterProperties &mark)
{
    setLink(QString());
    // Cells of a table inside a cell end with a paragraph mark that says so.
    const bool innerCell = end == ParagraphEnd::Cell && paragraph.tableDepth > 1;
    const char16_t markChar = end == ParagraphEnd::Section ? 0x0C
        : end == ParagraphEnd::Cell && !innerCell ? 0x07 : 0x0D;
    append(QString(QChar(markChar)), characterSprms(mark, {}));
    papx.add(kTextOffset + 2 * paragraphStart, kTextOffset + 2 * quint32(content.size()),
             paragraphSprms(paragraph, paragraphInTable, paragraphList, innerCell));
}

// A section ends with a section mark: after its last paragraph, or on a
// paragraph of its own after a table.
void WordWriter::Private::beginSection(const SectionProperties &section)
{
    if (content.isEmpty() || content.back() != QChar(0x0C)) {
        beginParagraph(ParagraphProperties(), false);
        endParagraph(ParagraphEnd::Section, CharacterProperties{walker.defaultFamily()});
    }
    laterSections.emplace_back(quint32(content.size()), section);
}

QByteArray WordWriter::Private::sectionSprms(const SectionProperties &sectionProperties, int index,
                                             bool hasHeaders) const
{
    const PageSetup &sectionPage = sectionProperties.page;
    Grpprl section;
    static constexpr quint8 kBkc[] = {2, 0, 1, 3, 4}; // by SectionStart
    if (const quint8 bkc = kBkc[std::min<int>(int(sectionProperties.start), 4)]; bkc != 2)
        section.u8(sprmSBkc, bkc);
    section.u16(sprmSXaPage, quint16(sectionPage.width));
    section.u16(sprmSYaPage, quint16(sectionPage.height));
    section.u16(sprmSDxaLeft, quint16(sectionPage.marginLeft));
    section.u16(sprmSDxaRight, quint16(sectionPage.marginRight));
    section.u16(sprmSDyaTop, quint16(sectionPage.marginTop));
    section.u16(sprmSDyaBottom, quint16(sectionPage.marginBottom));
    if (sectionPage.width > sectionPage.height)
        section.u8(sprmSBOrientation, 2);
    const ColumnSetup &columns = sectionProperties.columns;
    if (!columns.isSingle()) {
        section.u16(sprmSCcolumns, quint16(std::min(columns.count, ColumnSetup::MaximumCount) - 1));
        section.u16(sprmSDxaColumns, quint16(std::clamp(columns.spacing, 0, 0x7FFF)));
        if (columns.lineBetween)
            section.u8(sprmSLBetween, 1);
        if (columns.widths.size() == columns.count) {
            section.u8(sprmSFEvenlySpaced, 0);
            for (int i = 0; i < columns.count; ++i) {
                QByteArray width;
                appendU8(width, quint8(i));
                appendU16(width, quint16(std::clamp(columns.widths.at(i), 0, 0xFFFF)));
                section.bytes(sprmSDxaColWidth, width);
                if (i < columns.gaps.size() && i + 1 < columns.count) {
                    QByteArray gap;
                    appendU8(gap, quint8(i));
                    appendU16(gap, quint16(std::clamp(columns.gaps.at(i), 0, 0xFFFF)));
                    section.bytes(sprmSDxaColSpacing, gap);
                }
            }
        }
    }
    const bool first = index == 0;
    if (!first || hasHeaders) {
        section.u16(sprmSDyaHdrTop, quint16(std::clamp(sectionPage.headerDistance, 0, 0xFFFF)));
        section.u16(sprmSDyaHdrBottom, quint16(std::clamp(sectionPage.footerDistance, 0, 0xFFFF)));
    }
    if (hasHeaders && headerFooters->differentFirstPage(index))
        section.u8(sprmSFTitlePage, 1);
    return section.data();
}

void WordWriter::Private::endRow(const RowProperties &row)
{
    const quint32 start = quint32(content.size());
    const bool inner = row.depth > 1;
    append(QString(QChar(inner ? 0x0D : 0x07)), characterSprms(CharacterProperties{walker.defaultFamily()}, {}));

    Grpprl g;
    g.u8(sprmPFInTable, 1);
    if (!inner)
        g.u8(sprmPFTtp, 1);
    g.u32(sprmPItap, quint32(std::max(1, row.depth)));
    if (inner) {
        g.u8(sprmPFInnerTableCell, 1);
        g.u8(sprmPFInnerTtp, 1);
    }
    g.u16(sprmTDxaGapHalf, quint16(qint16(row.gap)));
    if (row.height > 0)
        g.u16(sprmTDyaRowHeight, quint16(qint16(row.height)));
    if (row.keepTogether) {
        g.u8(sprmTFCantSplit, 1);
        g.u8(sprmTFCantSplit90, 1);
    }
    if (row.header)
        g.u8(sprmTTableHeader, 1);
    if (row.alignment != Alignment::Left) {
        const quint16 jc = row.alignment == Alignment::Center ? 1 : 2;
        g.u16(sprmTJc90, jc);
        g.u16(sprmTJc, jc);
    }
    const int count = std::min<int>(int(row.cells.size()), 63);
    QByteArray table;
    appendU8(table, quint8(count));
    appendU16(table, quint16(qint16(row.left)));
    for (int i = 0; i < count; ++i)
        appendU16(table, quint16(qint16(row.cells.at(i).right)));
    for (int i = 0; i < count; ++i) {
        const CellProperties &cell = row.cells.at(i);
        quint16 flags = 0;
        if (cell.mergeFirst)
            flags |= 0x01;
        if (cell.merge)
            flags |= 0x02;
        if (cell.verticalMergeFirst)
            flags |= 0x20 | 0x40;
        if (cell.verticalMerge)
            flags |= 0x20;
        flags |= quint16(cell.vertical) << 7; // vertAlign
        appendU16(table, flags);
        appendU16(table, 0);
        table.append(brc80(cell.borders[Top]));
        table.append(brc80(cell.borders[Left]));
        table.append(brc80(cell.borders[Bottom]));
        table.append(brc80(cell.borders[Right]));
    }
    QByteArray operand;
    appendU16(operand, quint16(table.size() + 1));
    operand.append(table);
    g.bytes(sprmTDefTable, operand);
    bool shaded = false;
    QByteArray shading;
    appendU8(shading, quint8(10 * count));
    for (int i = 0; i < count; ++i) {
        const QColor &color = row.cells.at(i).shading;
        shaded = shaded || color.isValid();
        appendU32(shading, 0xFF000000);
        appendU32(shading, colorRef(color));
        appendU16(shading, 0);
    }
    if (shaded)
        g.bytes(sprmTDefTableShd, shading);
    QByteArray withStyle;
    appendU16(withStyle, 0);
    withStyle.append(g.data());
    papx.add(kTextOffset + 2 * start, kTextOffset + 2 * quint32(content.size()), withStyle);
}

// ---------------------------------------------------------------- tables of the file

int WordWriter::Private::listOverride(const ListMembership &list)
{
    auto it = std::find_if(lists.begin(), lists.end(), [&](const WordList &known) { return known.number == list.list; });
    if (it == lists.end()) {
        WordList added;
        added.number = list.list;
        added.levels.fill(list.format);
        it = lists.insert(lists.end(), added);
    }
    it->levels[size_t(std::clamp(list.level, 0, 8))] = list.format;
    return int(it - lists.begin()) + 1;
}

// The LSTs, then (outside the length the FIB gives them) their levels: the
// number style, start, what follows the number, the indents the layout
// gives items without their own, and the number text with placeholder N
// for level N's number.
QByteArray WordWriter::Private::listDefinitions() const
{
    QByteArray headers;
    appendU16(headers, quint16(lists.size()));
    QByteArray levels;
    for (size_t i = 0; i < lists.size(); ++i) {
        appendU32(headers, quint32(i + 1)); // lsid
        appendU32(headers, 0);              // no template
        for (int level = 0; level < 9; ++level)
            appendU16(headers, kNoStyle);
        appendU8(headers, 0); // nine levels
        appendU8(headers, 0);
        for (int index = 0; index < 9; ++index) {
            const ListLevelFormat &level = lists[i].levels[size_t(index)];
            static constexpr quint8 kNfc[] = {0, 1, 2, 3, 4, 23, 255};
            QString text;
            QByteArray numbers(9, '\0'); // where the placeholders are, from 1
            if (level.format == NumberFormat::Bullet) {
                text = level.bullet;
            } else if (level.format != NumberFormat::None) {
                text = level.prefix + QChar(char16_t(index)) + level.suffix;
                numbers[0] = char(std::min<qsizetype>(level.prefix.size() + 1, 255));
            }
            Grpprl papx;
            papx.u16(sprmPDxaLeft80, quint16(ListNumbering::LevelIndent * (index + 1)));
            papx.u16(sprmPDxaLeft180, quint16(qint16(-ListNumbering::LevelIndent)));
            appendU32(levels, quint32(level.start));
            appendU8(levels, kNfc[std::min<int>(int(level.format), 6)]);
            appendU8(levels, 0); // left aligned, restarted by the levels above
            levels.append(numbers);
            appendU8(levels, level.follow);
            appendU32(levels, 0); // dxaIndentSav
            appendU32(levels, 0);
            appendU8(levels, 0);  // no character properties
            appendU8(levels, quint8(papx.data().size()));
            appendU8(levels, 0);
            appendU8(levels, 0);
            levels.append(papx.data());
            appendU16(levels, quint16(std::min<qsizetype>(text.size(), 0xFFFF)));
            for (const QChar c : std::as_const(text))
                appendU16(levels, c.unicode());
        }
    }
    return headers + levels;
}

QByteArray WordWriter::Private::listOverrides() const
{
    QByteArray lfo;
    appendU32(lfo, quint32(lists.size()));
    for (size_t i = 0; i < lists.size(); ++i) {
        appendU32(lfo, quint32(i + 1)); // the lsid it stands for
        lfo.append(QByteArray(12, '\0'));  // no levels overridden
    }
    for (size_t i = 0; i < lists.size(); ++i)
        appendU32(lfo, 0xFFFFFFFF);
    return lfo;
}

QByteArray WordWriter::Private::styleSheet() const
{
    auto style = [](quint16 sti, quint8 kind, quint16 next, const QString &name) {
        QByteArray std;
        appendU16(std, sti);
        appendU16(std, quint16(kind | (0x0FFF << 4)));
        appendU16(std, quint16((kind == 1 ? 2 : 1) | (next << 4)));
        appendU16(std, 0); // bchUpe, filled below
        appendU16(std, 0);
        appendU16(std, quint16(name.size()));
        for (const QChar c : name)
            appendU16(std, c.unicode());
        appendU16(std, 0);
        if (std.size() % 2)
            appendU8(std, 0);
        if (kind == 1) { // paragraph style: an empty PAPX (its istd) and CHPX
            appendU16(std, 2);
            appendU16(std, 0);
        }
        appendU16(std, 0);
        putU16(std, 6, quint16(std.size()));
        QByteArray entry;
        appendU16(entry, quint16(std.size()));
        entry.append(std);
        return entry;
    };
    constexpr int kFixedStyles = 15;
    QByteArray stsh;
    appendU16(stsh, 18); // cbStshi
    appendU16(stsh, kFixedStyles);
    appendU16(stsh, 10); // cbSTDBaseInFile
    appendU16(stsh, 1);  // fStdStylenamesWritten
    appendU16(stsh, 0x5B);
    appendU16(stsh, kFixedStyles);
    appendU16(stsh, 0);
    appendU16(stsh, 0); // default fonts: the first of the font table
    appendU16(stsh, 0);
    appendU16(stsh, 0);
    for (int istd = 0; istd < kFixedStyles; ++istd) {
        if (istd == 0)
            stsh.append(style(0, 1, 0, QStringLiteral("Normal")));
        else if (istd == 10)
            stsh.append(style(65, 2, 10, QStringLiteral("Default Paragraph Font")));
        else
            appendU16(stsh, 0);
    }
    return stsh;
}

QByteArray WordWriter::Private::fontTable() const
{
    QByteArray sttb;
    appendU16(sttb, quint16(fonts.size()));
    appendU16(sttb, 0);
    for (const Font &font : fonts) {
        QByteArray ffn;
        appendU8(ffn, 0x06);  // variable pitch, TrueType
        appendU16(ffn, 400); // regular weight
        appendU8(ffn, font.eastAsian ? kShiftJisCharset : 0);
        appendU8(ffn, 0);    // no alternative name
        ffn.append(QByteArray(10 + 24, '\0')); // panose, signature
        for (const QChar c : font.name)
            appendU16(ffn, c.unicode());
        appendU16(ffn, 0);
        appendU8(sttb, quint8(ffn.size()));
        sttb.append(ffn);
    }
    return sttb;
}

QByteArray WordWriter::Private::fib(quint32 streamSize, const std::array<quint32, 6> &parts,
                                    const QList<std::pair<quint32, quint32>> &pairs) const
{
    QByteArray fib;
    appendU16(fib, 0xA5EC);
    appendU16(fib, 0x00C1); // Word 97
    appendU16(fib, 0);
    appendU16(fib, kJapanese);
    appendU16(fib, 0);
    appendU16(fib, 0x1000 | 0x0200 | 0x4000); // fExtChar, 1Table, East Asian
    appendU16(fib, 0x00BF);
    appendU32(fib, 0);
    appendU8(fib, 0);
    appendU8(fib, 0);
    appendU16(fib, 0);
    appendU16(fib, 0);
    appendU32(fib, kTextOffset);
    appendU32(fib, kTextOffset + 2 * quint32(content.size()));
    appendU16(fib, 14); // FibRgW97
    for (int i = 0; i < 13; ++i)
        appendU16(fib, 0);
    appendU16(fib, kJapanese); // lidFE
    appendU16(fib, 22); // FibRgLw97
    for (int i = 0; i < 22; ++i) {
        quint32 value = 0;
        if (i == 0)
            value = streamSize;
        else if (i >= 3 && i < 9)
            value = parts[size_t(i - 3)]; // ccpText, ccpFtn, ccpHdd, ccpMcr, ccpAtn, ccpEdn
        appendU32(fib, value);
    }
    appendU16(fib, kPairCount);
    for (int i = 0; i < kPairCount; ++i) {
        const auto pair = i < pairs.size() ? pairs.at(i) : std::pair<quint32, quint32>{0, 0};
        appendU32(fib, pair.first);
        appendU32(fib, pair.second);
    }
    appendU16(fib, 0); // no FibRgCswNew
    return fib;
}

// An empty paragraph: the mark a part of the text must end in.
void WordWriter::Private::endPart()
{
    beginParagraph(ParagraphProperties(), false);
    endParagraph(ParagraphEnd::Paragraph, CharacterProperties{walker.defaultFamily()});
}

// The story a section holds in a slot. Even pages without a story of their
// own in this section or one before show the common one; Word would leave
// them empty.
const QTextDocument *WordWriter::Private::storyToWrite(HeaderFooterKind kind, HeaderFooterPages pages,
                                                       int section) const
{
    const QTextDocument *story = headerFooters->story(kind, pages, section);
    if (story || pages != HeaderFooterPages::Even || !headerFooters->differentEvenPages())
        return story;
    for (int s = section; s >= 0; --s) {
        if (headerFooters->story(kind, HeaderFooterPages::Even, s))
            return nullptr;
    }
    return headerFooters->story(kind, HeaderFooterPages::Default, section);
}

// The header text after the body; returns where its stories start, as the
// PlcfHdd gives them (CPs from the header text's start).
QList<quint32> WordWriter::Private::writeHeaderText()
{
    partStart = quint32(content.size());
    currentFields = &headerFields;
    QList<quint32> starts(kSeparatorStories, 0);
    // Six stories for every section; one the section shows from the
    // section before is left empty.
    const int sectionCount = std::min(headerFooters->sectionCount(), int(laterSections.size()) + 1);
    for (int section = 0; section < sectionCount; ++section) {
        for (const auto &slot : kSectionStories) {
            starts.append(quint32(content.size()) - partStart);
            if (const QTextDocument *story = storyToWrite(slot.kind, slot.pages, section)) {
                DocumentWalker storyWalker(*story, page);
                storyWalker.setNestedTables(true);
                storyWalker.walk(*this);
                endPart(); // a mark of its own that guards the story from the next
            }
        }
    }
    starts.append(quint32(content.size()) - partStart);
    endPart(); // the header text's own last mark
    starts.append(quint32(content.size()) - partStart);
    currentFields = &fields;
    return starts;
}

// The text of the notes after the body: each opens with its number (a
// special character Word fills in) and ends in a paragraph mark; the part
// ends in one more. Returns where each note starts, as the PLC gives them.
QList<quint32> WordWriter::Private::writeNoteText(const std::vector<Note> &notes)
{
    partStart = quint32(content.size());
    CharacterProperties plain{walker.defaultFamily()};
    plain.halfPoints = int(std::lround(walker.defaultSize() * 2));
    CharacterProperties number = plain;
    number.vertical = 1;
    Grpprl special;
    special.u8(sprmCFSpec, 1);
    QList<quint32> starts;
    for (const Note &note : notes) {
        starts.append(quint32(content.size()) - partStart);
        const QStringList paragraphs = note.text.split(QChar(QChar::ParagraphSeparator));
        for (qsizetype k = 0; k < paragraphs.size(); ++k) {
            beginParagraph(ParagraphProperties(), false);
            if (k == 0) {
                append(QString(QChar(0x02)), characterSprms(number, {}) + special.data());
                append(QStringLiteral(" "), characterSprms(plain, {}));
            }
            const QString chars = wordText(paragraphs.at(k));
            append(chars, characterSprms(plain, chars));
            endParagraph(ParagraphEnd::Paragraph, plain);
        }
    }
    starts.append(quint32(content.size()) - partStart);
    endPart();
    starts.append(quint32(content.size()) - partStart);
    return starts;
}

QByteArray WordWriter::Private::write()
{
    fontIndex(walker.defaultFamily(), false);
    walker.walk(*this);
    if (content.isEmpty() || content.back() != QChar(0x0D))
        endPart();
    // The parts in Word's order: body, footnotes, headers, endnotes.
    const quint32 textLength = quint32(content.size());
    const QList<quint32> footnoteStarts = footnotes.empty() ? QList<quint32>() : writeNoteText(footnotes);
    const quint32 footnoteLength = quint32(content.size()) - textLength;
    const bool hasHeaders = headerFooters && !headerFooters->isEmpty();
    const QList<quint32> headerStories = hasHeaders ? writeHeaderText() : QList<quint32>();
    const quint32 headerLength = quint32(content.size()) - textLength - footnoteLength;
    const QList<quint32> endnoteStarts = endnotes.empty() ? QList<quint32>() : writeNoteText(endnotes);
    const quint32 endnoteLength = quint32(content.size()) - textLength - footnoteLength - headerLength;
    if (quint32(content.size()) > textLength)
        endPart(); // the text of a file with more than its body ends in one more mark
    const quint32 totalLength = quint32(content.size());

    // WordDocument: FIB, text, property pages, section properties.
    QByteArray stream(kTextOffset, '\0');
    for (const QChar c : std::as_const(content))
        appendU16(stream, c.unicode());
    stream.append(QByteArray((kFkpSize - stream.size() % kFkpSize) % kFkpSize, '\0'));
    const QByteArray chpxBins = chpx.write(stream);
    const QByteArray papxBins = papx.write(stream);
    // Each section's SEPX; the first section's page is the document's.
    SectionProperties first = walker.firstSection();
    first.page = page;
    QList<quint32> sepxAt;
    for (size_t i = 0; i <= laterSections.size(); ++i) {
        const QByteArray sprms = sectionSprms(i == 0 ? first : laterSections[i - 1].second, int(i), hasHeaders);
        sepxAt.append(quint32(stream.size()));
        appendU16(stream, quint16(sprms.size()));
        stream.append(sprms);
    }
    // Readers that only look for the text in big sectors (antiword) refuse
    // a WordDocument stream small enough for the mini stream.
    if (stream.size() < kMiniStreamCutoff)
        stream.append(QByteArray(kMiniStreamCutoff - stream.size(), '\0'));

    // 1Table: every structure the FIB points at.
    QByteArray table;
    QList<std::pair<quint32, quint32>> pairs(kPairCount, {0, 0});
    auto place = [&](int pair, const QByteArray &bytes) {
        pairs[pair] = {quint32(table.size()), quint32(bytes.size())};
        table.append(bytes);
    };
    const QByteArray stsh = styleSheet();
    place(PairStshf, stsh);
    pairs[PairStshfOrig] = pairs[PairStshf];

    QByteArray sed;
    appendU32(sed, 0);
    for (const auto &[start, section] : laterSections)
        appendU32(sed, start);
    appendU32(sed, totalLength);
    for (const quint32 at : sepxAt) {
        appendU16(sed, 0);
        appendU32(sed, at);
        appendU16(sed, 0);
        appendU32(sed, 0xFFFFFFFF);
    }
    place(PairPlcfSed, sed);

    auto placeFields = [&](int pair, const FieldList &list, quint32 partLength) {
        if (list.empty())
            return;
        QByteArray plc;
        for (const auto &field : list)
            appendU32(plc, field.first);
        appendU32(plc, partLength);
        for (const auto &field : list)
            plc.append(field.second);
        place(pair, plc);
    };
    placeFields(PairPlcfFldMom, fields, textLength);
    if (hasHeaders) {
        QByteArray plc;
        for (const quint32 cp : headerStories)
            appendU32(plc, cp);
        place(PairPlcfHdd, plc);
        placeFields(PairPlcfFldHdr, headerFields, headerLength);
    }
    auto placeNotes = [&](int referencePair, int textPair, const std::vector<Note> &notes, const QList<quint32> &starts) {
        if (notes.empty())
            return;
        QByteArray references;
        for (const Note &note : notes)
            appendU32(references, note.reference);
        appendU32(references, textLength);
        for (size_t i = 0; i < notes.size(); ++i)
            appendU16(references, 1); // numbered by Word
        place(referencePair, references);
        QByteArray texts;
        for (const quint32 cp : starts)
            appendU32(texts, cp);
        place(textPair, texts);
    };
    placeNotes(PairPlcffndRef, PairPlcffndTxt, footnotes, footnoteStarts);
    placeNotes(PairPlcfendRef, PairPlcfendTxt, endnotes, endnoteStarts);
    place(PairSttbfFfn, fontTable());
    if (!lists.empty()) {
        const QByteArray definitions = listDefinitions();
        place(PairPlfLst, definitions);
        pairs[PairPlfLst].second = quint32(2 + 28 * lists.size()); // the levels follow, uncounted
        place(PairPlfLfo, listOverrides());
    }

    QByteArray dop(500, '\0');
    if (hasHeaders && headerFooters->differentEvenPages())
        dop[0] = char(0x01); // fFacingPages: even pages have headers of their own
    putU16(dop, 0x02, 1 << 2);  // footnotes numbered from 1
    if (walker.stretchesBeforeLineBreaks())
        putU16(dop, 0x08, 0x2000); // fExpShRtn: justified lines before a manual break fill their width
    putU16(dop, 0x0A, quint16(std::clamp(walker.defaultTabStop(), 1, 0xFFFF))); // dxaTab
    if (hasDeletions)
        dop[7] = char(0x08 | 0x10); // fRMView, fRMPrint: deleted text shows struck through
    putU16(dop, 0x34, 1 << 2);  // endnotes numbered from 1,
    putU16(dop, 0x36, 2 << 6);  // in small roman numerals,
    putU16(dop, 0x1EE, 2);      // as Word 97 and later say it again
    place(PairDop, dop);

    QByteArray clx;
    appendU8(clx, 2);
    appendU32(clx, 16);
    appendU32(clx, 0);
    appendU32(clx, totalLength);
    appendU16(clx, 0);
    appendU32(clx, kTextOffset); // 16-bit characters
    appendU16(clx, 0);
    place(PairClx, clx);
    place(PairPlcfBteChpx, chpxBins);
    place(PairPlcfBtePapx, papxBins);

    const QByteArray header = fib(quint32(stream.size()), {textLength, footnoteLength, headerLength, 0, 0, endnoteLength}, pairs);
    stream.replace(0, header.size(), header);

    CompoundFileWriter storage;
    storage.addStream(QStringLiteral("WordDocument"), stream);
    storage.addStream(QStringLiteral("1Table"), table);
    if (!dataStream.isEmpty())
        storage.addStream(QStringLiteral("Data"), dataStream);
    storage.addStream(kSummaryStreamName, summaryInformationStream(summary, int(textLength)));
    storage.addStream(kDocumentSummaryStreamName, documentSummaryInformationStream());
    return storage.write();
}

} // namespace tamapiko::engine::word
