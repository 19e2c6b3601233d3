#include "engine/formats/word/WordReader.h"

#include "engine/formats/RtfCodePage.h"
#include "engine/formats/RtfPicture.h"
#include "engine/formats/word/BinaryData.h"
#include "engine/formats/word/CompoundFile.h"
#include "engine/formats/word/DocumentBuilder.h"
#include "engine/formats/word/WordFormats.h"
#include "engine/formats/word/WordLegacy.h"
#include "engine/formats/word/WordProperties.h"
#include "engine/formats/word/WordSprms.h"
#include "engine/layout/ListNumbering.h"

#include <QHash>
#include <QtEndian>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <deque>
#include <map>
#include <optional>
#include <vector>

namespace tamapiko::engine::word {

namespace {

constexpr quint16 kWordIdent = 0xA5EC;
constexpr quint16 kWord6Ident = 0xA5DC; // Word 6 and Word 95
constexpr quint16 kWord6Version = 101;   // nFib of Word 6; Word 95 wrote up to 105
constexpr qint64 kLegacyFibSize = 0x1A0;
constexpr int kLegacyPairCount = 38; // the (fc, lcb) pairs before the page counts
constexpr int kNoStyle = 0x0FFF;
constexpr int kMaxStyleDepth = 16;
constexpr quint32 kFkpSize = 512;
const QColor kDeletionColor = QColor::fromRgb(0xC0, 0x00, 0x00); // the colour deletions are marked in

// Indices of the (fc, lcb) pairs in the FIB that we use.
enum FibPair {
    PairStshf = 1, PairPlcffndRef = 2, PairPlcffndTxt = 3, PairPlcfandRef = 4, PairPlcfSed = 6, PairPlcfHdd = 11, PairPlcfBteChpx = 12,
    PairPlcfBtePapx = 13, PairSttbfFfn = 15, PairDop = 31, PairClx = 33, PairPlcfendRef = 46, PairPlfLst = 73,
    PairPlfLfo = 74, PairPlcfendTxt = 47,
};

// The parts of the text, in the order they follow each other: the body,
// then footnotes, headers and footers, macros, comments, endnotes and text
// boxes, each as long as the FIB says.
enum TextPart { MainText, FootnoteText, HeaderText, MacroText, CommentText, EndnoteText, PartCount };

// The header text opens with six separator stories (footnote and endnote
// separators and continuation notices); then each section has six stories
// in this order.
constexpr int kSeparatorStories = 6;
struct HeaderStorySlot
{
    HeaderFooterKind kind;
    HeaderFooterPages pages;
};
constexpr HeaderStorySlot kSectionStories[] = {
    {HeaderFooterKind::Header, HeaderFooterPages::Even},  {HeaderFooterKind::Header, HeaderFooterPages::Default},
    {HeaderFooterKind::Footer, HeaderFooterPages::Even},  {HeaderFooterKind::Footer, HeaderFooterPages::Default},
    {HeaderFooterKind::Header, HeaderFooterPages::First}, {HeaderFooterKind::Footer, HeaderFooterPages::First},
};

// Word's 16 indexed colours (ico); 0 is automatic.
QColor icoColor(int ico)
{
    static const QRgb kColors[] = {0,        0x000000, 0x0000FF, 0x00FFFF, 0x00FF00, 0xFF00FF, 0xFF0000,
                                   0xFFFF00, 0xFFFFFF, 0x000080, 0x008080, 0x008000, 0x800080, 0x800000,
                                   0x808000, 0x808080, 0xC0C0C0};
    if (ico <= 0 || ico > 16)
        return {};
    return QColor::fromRgb(kColors[ico]);
}

// A COLORREF: red in the low byte; 0xFF000000 means automatic.
QColor colorRef(quint32 value)
{
    if ((value >> 24) == 0xFF)
        return {};
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

UnderlineKind underlineKind(int kul)
{
    switch (kul) {
    case 0: return UnderlineKind::None;
    case 2: return UnderlineKind::Words;
    case 3: return UnderlineKind::Double;
    case 4: case 20: return UnderlineKind::Dotted;
    case 6: return UnderlineKind::Thick;
    case 7: case 23: return UnderlineKind::Dash;
    case 9: case 25: return UnderlineKind::DashDot;
    case 10: case 26: return UnderlineKind::DashDotDot;
    case 11: return UnderlineKind::Wave;
    case 27: return UnderlineKind::HeavyWave;
    case 43: return UnderlineKind::DoubleWave;
    case 39: case 55: return UnderlineKind::LongDash;
    default: return UnderlineKind::Single;
    }
}

// A border in the 4-byte form of Word 97 (Brc80) or the 8-byte one (Brc).
Border border80(const ByteReader &r, qint64 at)
{
    Border border;
    if (r.u32(at) == 0xFFFFFFFF || r.u32(at) == 0)
        return border;
    const int type = r.u8(at + 1);
    if (type == 0 || type == 0xFF)
        return border;
    border.present = true;
    border.isDouble = type == 3;
    border.width = std::max(1, r.u8(at) * 5 / 2);
    border.color = icoColor(r.u8(at + 2));
    border.space = (r.u8(at + 3) & 0x1F) * 20;
    return border;
}

Border border97(const ByteReader &r, qint64 at)
{
    Border border;
    const int type = r.u8(at + 5);
    if (type == 0 || type == 0xFF || r.u32(at + 4) == 0xFFFFFFFF)
        return border;
    border.present = true;
    border.isDouble = type == 3;
    border.width = std::max(1, r.u8(at + 4) * 5 / 2);
    border.color = colorRef(r.u32(at));
    border.space = (r.u16(at + 6) & 0x1F) * 20;
    return border;
}

// Character state while sprms apply: the properties plus what only Word
// has (font numbers until the font table resolves them, revision marks,
// special characters, picture locations).
struct Chp
{
    CharacterProperties props;
    int fontAscii = 0;
    int fontEastAsia = 0;
    bool deleted = false;
    bool special = false;
    bool ole = false;
    bool data = false;
    qint64 picture = -1; // offset of the PICF in the Data stream
    int style = 10;      // istd of the character style
};

// Paragraph state, with the table row that a row-end paragraph carries.
struct Pap
{
    ParagraphProperties props;
    int style = 0;
    bool inTable = false;
    bool rowEnd = false;
    int depth = 0; // table nesting, 1 for an ordinary table
    bool innerCell = false;
    bool innerRowEnd = false;
    // Indents in hundredths of a character, as Japanese documents give
    // them; where set they win over the lengths.
    int leftChars = 0;
    int rightChars = 0;
    int firstChars = 0;
    int listOverride = 0; // ilfo, 1-based
    int listLevel = 0;
    RowProperties row;
    Border tableBorders[6]; // top, left, bottom, right, inside horizontal, inside vertical
    bool hasTableBorders = false;
    int cellPadding = -1; // twips left and right in every cell, where the row says (Word 2000 and later)
    QList<QColor> cellShading;
};

struct Style
{
    int base = kNoStyle;
    int kind = 0; // 1 paragraph, 2 character
    QByteArrayView papx;
    QByteArrayView chpx;
};

struct FcRun
{
    quint32 start = 0;
    quint32 end = 0;
    QByteArrayView grpprl;
    int style = -1; // paragraph runs: the istd
};

struct Piece
{
    quint32 cpStart = 0;
    quint32 cpEnd = 0;
    quint32 fc = 0;
    bool compressed = false;
    quint16 prm = 0;
};

struct ListLevel
{
    int start = 1;
    int format = 0; // nfc
    int follow = 0; // 0 tab, 1 space, 2 nothing
    QString text;   // placeholders 0..8 stand for the levels' numbers
    QByteArrayView papx;
    QByteArrayView chpx;
};

struct List
{
    qint32 id = 0;
    QList<ListLevel> levels;
};

QString romanNumber(int value, bool upper)
{
    if (value <= 0 || value >= 4000)
        return QString::number(value);
    static const struct { int value; const char *text; } kRoman[] = {
        {1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"}, {100, "c"}, {90, "xc"},
        {50, "l"}, {40, "xl"}, {10, "x"}, {9, "ix"}, {5, "v"}, {4, "iv"}, {1, "i"}};
    QString text;
    for (const auto &step : kRoman) {
        while (value >= step.value) {
            text += QLatin1String(step.text);
            value -= step.value;
        }
    }
    return upper ? text.toUpper() : text;
}

// PAGE and NUMPAGES fields: each page shows its own number or the count.
FieldKind pageFieldKind(const QString &instruction)
{
    static const QRegularExpression pageField(QStringLiteral(R"re(^\s*(PAGE|NUMPAGES|SECTIONPAGES)\b)re"),
                                              QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pageField.match(instruction);
    if (!match.hasMatch())
        return FieldKind::None;
    return match.captured(1).compare(QLatin1String("PAGE"), Qt::CaseInsensitive) == 0 ? FieldKind::PageNumber
                                                                                       : FieldKind::PageCount;
}

QString letterNumber(int value, bool upper)
{
    if (value <= 0)
        return QString::number(value);
    const QChar letter(char16_t((upper ? 'A' : 'a') + (value - 1) % 26));
    return QString((value - 1) / 26 + 1, letter);
}

QString formatNumber(int value, int nfc)
{
    switch (nfc) {
    case 1: return romanNumber(value, true);
    case 2: return romanNumber(value, false);
    case 3: return letterNumber(value, true);
    case 4: return letterNumber(value, false);
    case 22: return value < 10 ? QStringLiteral("0%1").arg(value) : QString::number(value);
    case 14: case 19: { // full-width digits
        QString text = QString::number(value);
        for (QChar &c : text)
            c = QChar(char16_t(c.unicode() - '0' + 0xFF10));
        return text;
    }
    case 18: // circled numbers
        return value >= 1 && value <= 20 ? QString(QChar(char16_t(0x2460 + value - 1))) : QString::number(value);
    case 23: case 255: return {};
    default: return QString::number(value);
    }
}

} // namespace

class WordReader::Private
{
public:
    explicit Private(DocumentBuilder &b) : bodyBuilder(b), builder(&b) {}

    bool read(const QByteArray &file, QString *error);
    void takeHeaderFooters(HeaderFooterSet &set);

    DocumentBuilder &bodyBuilder;
    DocumentBuilder *builder; // the body's, or a header's or footer's while one is read
    bool hasPage = false;
    PageSetup page;
    DocumentSummary summary;
    // Every section's headers and footers, each a document of its own.
    struct Story
    {
        HeaderStorySlot slot;
        size_t section;    // in the file's section table
        std::unique_ptr<QTextDocument> document;
    };
    std::vector<Story> stories;
    HeaderFooterProperties headerFooter;

private:
    bool fail(QString *error, const QString &message)
    {
        if (error)
            *error = message;
        return false;
    }
    QByteArrayView tableSlice(int pair) const;
    bool readPieces(QString *error);
    void readFkps(int pair, bool paragraphs, std::vector<FcRun> &runs);
    void readStyles();
    void readFonts();
    void readLists();
    void readSection();
    SectionProperties sectionProperties(QByteArrayView grpprl, bool first);
    void endSection(size_t section, const ParagraphProperties &para, const CharacterProperties &mark, bool inTable);
    // The section that ends just before `cp`, if one does.
    std::optional<size_t> sectionEndingAt(quint32 cp) const
    {
        const auto end = std::lower_bound(sectionEnds.begin(), sectionEnds.end(), cp);
        if (end == sectionEnds.end() || *end != cp || size_t(end - sectionEnds.begin()) >= sections.size())
            return std::nullopt;
        return size_t(end - sectionEnds.begin());
    }
    void readNoteReferences();
    void readHeaderStories();

    void applyChp(Chp &chp, QByteArrayView grpprl, const Chp &base) const;
    void applyPap(Pap &pap, QByteArrayView grpprl) const;
    void applyPrm(quint16 prm, Chp *chp, Pap *pap, const Chp &base) const;
    const Chp &styleChp(int istd);
    const Pap &stylePap(int istd);
    Chp resolveStyleChp(int istd, int depth);
    Pap resolveStylePap(int istd, int depth);

    const FcRun *findRun(const std::vector<FcRun> &runs, quint32 fc, size_t &hint) const;
    CharacterProperties finalProps(const Chp &chp, QStringView text) const;
    const List *listOf(const Pap &pap, int *levelIndex) const;
    QString listText(const Pap &pap, Chp *labelChp);
    QByteArrayView listLevelPapx(const Pap &pap) const;
    // The paragraph's list item as the vocabulary has it, when the text
    // engine can number it itself.
    bool listMembership(const Pap &pap, const Chp &labelChp, ListMembership *membership);
    QString fontName(int index) const;
    QString shownText(const QString &text, const QString &font);

    void emitDocument();
    void emitStories();
    void emitParagraph(qsizetype start, qsizetype end);
    void flushRun(QString &text, const Chp &chp, bool inTable);
    void emitPicture(const Chp &chp, bool inTable);
    RowProperties rowOf(const Pap &pap) const;

    // Word 6 and 95: property lists converted to Word 97's, kept here for
    // the views into them.
    QByteArrayView word97Sprms(QByteArrayView grpprl);
    void decodeLegacyPiece(const Piece &piece, quint32 bytes, quint32 index);

    QByteArray wordStream;
    QByteArray tableStream;
    QByteArray dataStream;
    ByteReader fib;
    bool legacy = false;       // Word 6 or Word 95
    int legacyCodePage = 1252; // of its 8-bit text
    std::deque<QByteArray> convertedSprms;
    int pairCount = 0;
    qint64 pairBase = 0;
    quint32 textLength = 0; // ccpText
    std::array<quint32, PartCount> partLength{}; // ccpText, ccpFtn, ccpHdd, ...
    quint32 partStart(TextPart part) const
    {
        quint64 start = 0;
        for (int i = 0; i < part; ++i)
            start += partLength[size_t(i)];
        return quint32(std::min<quint64>(start, 0xFFFFFFFF));
    }

    std::vector<Piece> pieces;
    QByteArray prcData; // the CLX's grpprls that complex pieces point to
    std::vector<QByteArrayView> prcs;
    QString text;                 // the main text, then the parts after it
    bool textMatchesCps = true;   // text[cp] is the character at cp (Word 6 text may be shorter)
    qsizetype bodyEnd = 0;        // where the body ends in `text`
    CharFormatCache charFormats;
    std::vector<quint32> charFc;  // stream offset of each character
    // Where each piece's characters start in `text`, in order: the piece
    // of a character (for its property modifier) without a number per
    // character.
    struct PieceStart
    {
        size_t first;
        quint32 piece;
    };
    std::vector<PieceStart> pieceStarts;
    quint16 prmAt(qsizetype index, size_t &hint) const;

    std::vector<FcRun> chpxRuns;
    std::vector<FcRun> papxRuns;
    std::vector<Style> styles;
    std::map<int, Chp> chpCache;
    std::map<int, Pap> papCache;
    Chp defaultChp;
    std::vector<QString> fonts;
    std::vector<List> lists;
    std::vector<qint32> overrides; // lsid of each LFO, by ilfo - 1
    std::map<qint32, std::array<int, 9>> listCounters;
    // Footnote and endnote references: the number shown in the body, and
    // the note's text, kept with it.
    struct NoteReference
    {
        QString mark;
        QString text;
        bool endnote = false;
    };
    std::map<quint32, NoteReference> noteMarks; // cp of the reference -> the note
    QString plainText(qsizetype from, qsizetype to) const;
    int footnoteCount = 0;
    int endnoteCount = 0;

    rtf::CodePageDecoder decoder;

    // Fields being read: whether each open one is in its result yet.
    struct Field
    {
        bool inResult = false;
        QString instruction;
        QString link;
        FieldKind kind = FieldKind::None;
    };
    std::vector<Field> fields;
    std::vector<quint32> sectionEnds; // cps where sections end
    std::vector<SectionProperties> sections; // of each section, in order
    std::vector<bool> titlePages;            // of each section: a first page of its own
    std::vector<size_t> builtSections;       // the file's section each section the body built has

    // Headers and footers: where each section's stories lie in the text,
    // and the documents built from them.
    struct StoryRange
    {
        HeaderStorySlot slot;
        size_t section = 0;
        quint32 start = 0;
        quint32 end = 0; // after the story's guard paragraph mark
    };
    std::vector<StoryRange> storyRanges;
};

WordReader::WordReader(DocumentBuilder &builder)
    : d(std::make_unique<Private>(builder))
{
}

WordReader::~WordReader() = default;

bool WordReader::read(const QByteArray &file, QString *error) { return d->read(file, error); }

void WordReader::takeHeaderFooters(HeaderFooterSet &set) { d->takeHeaderFooters(set); }

void WordReader::Private::takeHeaderFooters(HeaderFooterSet &set)
{
    set.clear();
    // The document's sections are those the body built, each from one of
    // the file's.
    std::vector<int> builtFrom(std::max<size_t>(1, sections.size()), -1);
    builtFrom.front() = 0;
    for (size_t built = builtSections.size(); built-- > 0;) {
        if (builtSections[built] < builtFrom.size())
            builtFrom[builtSections[built]] = int(built);
    }
    auto documentSection = [&](size_t fileSection) {
        return fileSection < builtFrom.size() ? bodyBuilder.documentSection(builtFrom[fileSection]) : -1;
    };
    for (Story &story : stories) {
        if (const int section = documentSection(story.section); section >= 0)
            set.adoptStory(story.slot.kind, story.slot.pages, story.document.release(), section);
    }
    stories.clear();
    for (size_t i = 0; i < titlePages.size(); ++i) {
        if (const int section = documentSection(i); section >= 0 && titlePages[i])
            set.setDifferentFirstPage(true, section);
    }
    set.setDifferentEvenPages(headerFooter.facingPages);
}

bool WordReader::hasPageSetup() const { return d->hasPage; }
PageSetup WordReader::pageSetup() const { return d->page; }
DocumentSummary WordReader::summary() const { return d->summary; }

// ---------------------------------------------------------------- file structure

bool WordReader::Private::read(const QByteArray &file, QString *error)
{
    CompoundFileReader storage;
    if (!storage.open(file, error))
        return false;
    if (storage.hasStream(QStringLiteral("EncryptedPackage")))
        return fail(error, QStringLiteral("The document is password protected; tamapiko cannot open encrypted documents."));
    if (!storage.hasStream(QStringLiteral("WordDocument")))
        return fail(error, QStringLiteral("The file is not a Word document (it has no WordDocument stream)."));
    if (!storage.readStream(QStringLiteral("WordDocument"), &wordStream, error))
        return false;
    fib = ByteReader(wordStream);
    if (wordStream.size() < 0x9A || (fib.u16(0) != kWordIdent && fib.u16(0) != kWord6Ident))
        return fail(error, QStringLiteral("The Word document is damaged: its file information block is missing."));
    const quint16 version = fib.u16(2);
    const quint16 flags = fib.u16(0x0A);
    if (flags & 0x0100)
        return fail(error, QStringLiteral("The document is password protected; tamapiko cannot open encrypted documents."));
    legacy = fib.u16(0) == kWord6Ident || version < 0x00C1;
    if (legacy && (version < kWord6Version || version >= 0x00C1)) {
        return fail(error, QStringLiteral("The document was written by a Word version before Word 6 (version %1), "
                                          "whose format tamapiko cannot read.")
                               .arg(version));
    }

    if (legacy) {
        // A FIB of fixed shape; the tables live in the WordDocument stream,
        // and so do pictures.
        if (!fib.has(0, kLegacyFibSize))
            return fail(error, QStringLiteral("The Word document is damaged: its file information block is cut short."));
        for (int part = 0; part < PartCount; ++part)
            partLength[size_t(part)] = fib.u32(0x34 + 4 * part);
        pairBase = 0x58;
        pairCount = kLegacyPairCount;
        legacyCodePage = word::legacyCodePage(fib.u16(0x06));
        tableStream = wordStream;
        dataStream = wordStream;
    } else {
        // FibRgW and FibRgLw have counted lengths; the (fc, lcb) pairs follow.
        const qint64 cswAt = 0x20;
        const qint64 rgLwAt = cswAt + 2 + 2 * qint64(fib.u16(cswAt)) + 2;
        const quint16 cslw = fib.u16(rgLwAt - 2);
        for (int part = 0; part < PartCount; ++part)
            partLength[size_t(part)] = fib.u32(rgLwAt + 4 * (3 + part));
        const qint64 pairCountAt = rgLwAt + 4 * qint64(cslw);
        pairCount = fib.u16(pairCountAt);
        pairBase = pairCountAt + 2;
        if (cslw < 4 || !fib.has(pairBase, 8 * qint64(std::min(pairCount, 75))))
            return fail(error, QStringLiteral("The Word document is damaged: its file information block is cut short."));

        const QString tableName = (flags & 0x0200) ? QStringLiteral("1Table") : QStringLiteral("0Table");
        if (!storage.readStream(tableName, &tableStream, error))
            return false;
        if (storage.hasStream(QStringLiteral("Data")) && !storage.readStream(QStringLiteral("Data"), &dataStream, error))
            return false;
    }
    if (QByteArray stream; storage.readStream(kSummaryStreamName, &stream, nullptr))
        summary = readSummaryInformation(stream);

    textLength = partLength[MainText];
    if (!readPieces(error))
        return false;
    readFkps(PairPlcfBteChpx, false, chpxRuns);
    readFkps(PairPlcfBtePapx, true, papxRuns);
    readFonts();
    readStyles();
    readLists();
    readSection();
    readNoteReferences();
    if (!legacy) // Word 6 lists only the stories a section has: not read
        readHeaderStories();
    const ByteReader dop(tableSlice(PairDop));
    bodyBuilder.setDefaultTabStop(dop.u16(0x0A)); // dxaTab
    if (dop.size() >= 0x0A)
        bodyBuilder.setStretchBeforeLineBreaks(dop.u16(0x08) & 0x2000); // fExpShRtn
    emitDocument();
    emitStories();
    return true;
}

QByteArrayView WordReader::Private::tableSlice(int pair) const
{
    if (pair >= pairCount)
        return {};
    const quint32 fc = fib.u32(pairBase + 8 * pair);
    const quint32 lcb = fib.u32(pairBase + 8 * pair + 4);
    if (lcb == 0 || quint64(fc) + lcb > quint64(tableStream.size()))
        return {};
    return QByteArrayView(tableStream).sliced(fc, lcb);
}

// The piece table: which stretch of the WordDocument stream holds each
// stretch of the text, in 16-bit or 8-bit characters.
bool WordReader::Private::readPieces(QString *error)
{
    const ByteReader clx(tableSlice(PairClx));
    if (legacy && clx.size() == 0) {
        // A Word 6 file saved in full: the text in one stretch from fcMin.
        pieces.push_back(Piece{0, partStart(PartCount), fib.u32(0x18), true, 0});
    }
    qint64 at = 0;
    while (clx.u8(at) == 1) { // Prc: property modifiers of complex pieces
        const quint16 size = clx.u16(at + 1);
        prcs.push_back(clx.slice(at + 3, size));
        at += 3 + size;
    }
    if (pieces.empty() && clx.u8(at) != 2)
        return fail(error, QStringLiteral("The Word document is damaged: its piece table is missing."));
    const quint32 lcb = pieces.empty() ? clx.u32(at + 1) : 0;
    const ByteReader plc(clx.slice(at + 5, lcb));
    if (pieces.empty() && (lcb < 4 || plc.size() < qsizetype(lcb)))
        return fail(error, QStringLiteral("The Word document is damaged: its piece table is cut short."));
    const quint32 count = lcb >= 4 ? (lcb - 4) / 12 : 0;
    for (quint32 i = 0; i < count; ++i) {
        Piece piece;
        piece.cpStart = plc.u32(4 * i);
        piece.cpEnd = plc.u32(4 * (i + 1));
        const qint64 pcd = 4 * (qint64(count) + 1) + 8 * i;
        const quint32 fc = plc.u32(pcd + 2);
        if (legacy) { // 8-bit text everywhere; no property modifiers
            piece.compressed = true;
            piece.fc = fc;
        } else {
            piece.compressed = fc & 0x40000000;
            piece.fc = piece.compressed ? (fc & 0x3FFFFFFF) / 2 : (fc & 0x3FFFFFFF);
            piece.prm = plc.u16(pcd + 6);
        }
        if (piece.cpEnd <= piece.cpStart)
            continue;
        pieces.push_back(piece);
    }

    // The body and the parts after it that we show or keep. A character's
    // index in `text` is its CP.
    const quint32 wanted = partStart(PartCount);
    const qsizetype expected = qsizetype(std::min<quint64>(wanted, quint64(wordStream.size())));
    QStringDecoder latin("windows-1252");
    text.reserve(expected);
    charFc.reserve(size_t(expected));
    for (quint32 index = 0; index < pieces.size(); ++index) {
        const Piece &piece = pieces[index];
        if (piece.cpStart >= wanted)
            break;
        if (piece.cpStart != quint32(charFc.size()))
            textMatchesCps = false; // a gap or an overlap in the piece table
        const quint32 count = std::min(piece.cpEnd, wanted) - piece.cpStart;
        const quint32 bytes = piece.compressed ? count : 2 * count;
        if (quint64(piece.fc) + bytes > quint64(wordStream.size()))
            return fail(error, QStringLiteral("The Word document is damaged: its text lies outside the file."));
        const char *data = wordStream.constData() + piece.fc;
        pieceStarts.push_back(PieceStart{charFc.size(), index});
        if (legacy) {
            decodeLegacyPiece(piece, count, index);
            continue;
        }
        const size_t first = charFc.size();
        charFc.resize(first + count);
        const quint32 step = piece.compressed ? 1 : 2;
        for (quint32 k = 0; k < count; ++k)
            charFc[first + k] = piece.fc + step * k;
        if (piece.compressed) {
            text += latin.decode(QByteArrayView(data, count));
        } else {
            const qsizetype at = text.size();
            text.resize(at + count);
            qFromLittleEndian<char16_t>(data, count, text.data() + at);
        }
    }
    if (text.size() != qsizetype(charFc.size())) // a decoder that changed the length
        text.resize(qsizetype(charFc.size()), QChar(u' '));
    if (!legacy)
        bodyEnd = std::min<qsizetype>(textLength, text.size());
    return true;
}

// Word 6 text in its code page: a character of a double-byte code page
// takes two positions, and each character keeps the stream offset of its
// first byte.
void WordReader::Private::decodeLegacyPiece(const Piece &piece, quint32 bytes, quint32 index)
{
    const QByteArrayView data(wordStream.constData() + piece.fc, bytes);
    for (quint32 k = 0; k < bytes;) {
        const quint32 length = isLeadByte(legacyCodePage, quint8(data[k])) && k + 1 < bytes ? 2 : 1;
        const QString decoded = decoder.decode(legacyCodePage, data.sliced(k, length));
        text += decoded.isEmpty() ? QString(QChar::ReplacementCharacter) : decoded.left(1);
        if (piece.cpStart + k < textLength)
            ++bodyEnd;
        charFc.push_back(piece.fc + k);
        k += length;
    }
}

QByteArrayView WordReader::Private::word97Sprms(QByteArrayView grpprl)
{
    if (!legacy)
        return grpprl;
    convertedSprms.push_back(legacySprmsAsWord97(grpprl));
    return convertedSprms.back();
}

// The formatted disk pages (FKPs) of character or paragraph properties,
// flattened into one sorted list of stream ranges.
void WordReader::Private::readFkps(int pair, bool paragraphs, std::vector<FcRun> &runs)
{
    const ByteReader plc(tableSlice(pair));
    if (plc.size() < (legacy ? 10 : 12))
        return;
    // Word 6 numbers pages in 16 bits, describes a paragraph in 7 bytes and
    // may list only the first page of a run of consecutive ones.
    const qint64 entrySize = legacy ? 2 : 4;
    const qint64 paragraphEntry = legacy ? 7 : 13;
    const quint32 listed = quint32(plc.size() - 4) / quint32(4 + entrySize);
    std::vector<quint32> pages;
    for (quint32 i = 0; i < listed; ++i) {
        const qint64 at = 4 * (qint64(listed) + 1) + entrySize * i;
        pages.push_back(legacy ? plc.u16(at) : plc.u32(at) & 0x3FFFFF);
    }
    if (legacy) {
        const quint32 total = fib.u16(paragraphs ? 0x190 : 0x18E);
        const quint32 first = fib.u16(paragraphs ? 0x18C : 0x18A);
        for (quint32 k = 1; pages.size() < total && k < total; ++k)
            pages.push_back(first + k);
    }
    for (const quint32 pn : pages) {
        const quint64 offset = quint64(pn) * kFkpSize;
        if (offset + kFkpSize > quint64(wordStream.size()))
            continue;
        const ByteReader fkp(QByteArrayView(wordStream).sliced(qsizetype(offset), kFkpSize));
        const int entries = fkp.u8(kFkpSize - 1);
        const qint64 offsetsAt = 4 * (qint64(entries) + 1);
        if (offsetsAt + entries * (paragraphs ? paragraphEntry : 1) > kFkpSize - 1)
            continue;
        for (int k = 0; k < entries; ++k) {
            FcRun run;
            run.start = fkp.u32(4 * k);
            run.end = fkp.u32(4 * (k + 1));
            if (run.end <= run.start)
                continue;
            if (paragraphs) {
                const int at = 2 * fkp.u8(offsetsAt + paragraphEntry * k);
                if (at == 0)
                    continue;
                int size = 2 * fkp.u8(at) - 1;
                qint64 from = at + 1;
                if (legacy) {
                    size = 2 * fkp.u8(at);
                } else if (fkp.u8(at) == 0) {
                    size = 2 * fkp.u8(at + 1);
                    from = at + 2;
                }
                const QByteArrayView bytes = fkp.slice(from, size);
                if (bytes.size() < 2)
                    continue;
                run.style = ByteReader(bytes).u16(0);
                run.grpprl = word97Sprms(bytes.sliced(2));
            } else {
                const int at = 2 * fkp.u8(offsetsAt + k);
                if (at != 0)
                    run.grpprl = word97Sprms(fkp.slice(at + 1, fkp.u8(at)));
            }
            runs.push_back(run);
        }
    }
    std::stable_sort(runs.begin(), runs.end(), [](const FcRun &a, const FcRun &b) { return a.start < b.start; });
}

quint16 WordReader::Private::prmAt(qsizetype index, size_t &hint) const
{
    const size_t at = size_t(index);
    const auto starts = [&](size_t i) { return i < pieceStarts.size() && pieceStarts[i].first <= at; };
    if (!(starts(hint) && !starts(hint + 1))) {
        const auto next = std::upper_bound(pieceStarts.begin(), pieceStarts.end(), at,
                                           [](size_t value, const PieceStart &start) { return value < start.first; });
        if (next == pieceStarts.begin())
            return 0;
        hint = size_t(next - pieceStarts.begin()) - 1;
    }
    return pieces[pieceStarts[hint].piece].prm;
}

const FcRun *WordReader::Private::findRun(const std::vector<FcRun> &runs, quint32 fc, size_t &hint) const
{
    if (hint < runs.size() && runs[hint].start <= fc && fc < runs[hint].end)
        return &runs[hint];
    auto it = std::upper_bound(runs.begin(), runs.end(), fc, [](quint32 value, const FcRun &run) {
        return value < run.start;
    });
    if (it == runs.begin())
        return nullptr;
    --it;
    if (fc >= it->end)
        return nullptr;
    hint = size_t(it - runs.begin());
    return &*it;
}

void WordReader::Private::readFonts()
{
    const ByteReader sttb(tableSlice(PairSttbfFfn));
    if (legacy) {
        // Its whole size, then entries with an 8-bit name in the font's
        // character set after six bytes.
        const qint64 end = std::min<qint64>(sttb.u16(0), sttb.size());
        for (qint64 at = 2; at < end;) {
            const int size = sttb.u8(at) + 1;
            const QByteArrayView name = sttb.slice(at + 6, size - 6);
            const qsizetype length = name.indexOf('\0');
            const int codePage = rtf::codePageForCharset(sttb.u8(at + 4), 1252);
            fonts.push_back(decoder.decode(codePage, length >= 0 ? name.first(length) : name));
            at += size;
        }
        return;
    }
    qint64 at = 0;
    int count = sttb.u16(0);
    at = 4;
    if (count == 0xFFFF) {
        count = sttb.u16(2);
        at = 6;
    }
    for (int i = 0; i < count && at < sttb.size(); ++i) {
        const int size = sttb.u8(at) + 1;
        const ByteReader ffn(sttb.slice(at + 1, size - 1));
        QString name;
        for (qint64 k = 39; k + 1 < ffn.size(); k += 2) {
            const char16_t c = ffn.u16(k);
            if (c == 0)
                break;
            name.append(QChar(c));
        }
        fonts.push_back(name);
        at += size;
    }
}

QString WordReader::Private::fontName(int index) const
{
    return index >= 0 && size_t(index) < fonts.size() ? fonts[size_t(index)] : QString();
}

void WordReader::Private::readStyles()
{
    defaultChp.props.halfPoints = 20;
    const ByteReader stsh(tableSlice(PairStshf));
    if (stsh.size() < 4)
        return;
    const int headerSize = stsh.u16(0);
    const int count = stsh.u16(2);
    const int baseSize = stsh.u16(4);
    if (headerSize >= 18) {
        defaultChp.fontAscii = stsh.u16(2 + 12);
        defaultChp.fontEastAsia = stsh.u16(2 + 14);
    } else if (legacy && headerSize >= 14) { // one default font for all text
        defaultChp.fontAscii = defaultChp.fontEastAsia = stsh.u16(2 + 12);
    }
    qint64 at = 2 + headerSize;
    for (int istd = 0; istd < count && at + 2 <= stsh.size(); ++istd) {
        const int size = stsh.u16(at);
        at += 2;
        Style style;
        if (size > 0 && baseSize >= (legacy ? 8 : 10)) {
            const ByteReader std(stsh.slice(at, size));
            style.kind = std.u16(2) & 0x0F;
            style.base = std.u16(2) >> 4;
            const int upxCount = std.u16(4) & 0x0F;
            // Names: Word 6 counts 8-bit characters in a byte, Word 97
            // 16-bit ones in a word; both end in a zero.
            qint64 upx = legacy ? baseSize + 1 + qint64(std.u8(baseSize)) + 1
                                : baseSize + 2 + 2 * qint64(std.u16(baseSize)) + 2;
            for (int k = 0; k < upxCount && upx + 2 <= std.size(); ++k) {
                if (upx % 2)
                    ++upx;
                const int length = std.u16(upx);
                const QByteArrayView bytes = std.slice(upx + 2, length);
                if (style.kind == 1 && k == 0)
                    style.papx = bytes.size() >= 2 ? word97Sprms(bytes.sliced(2)) : QByteArrayView();
                else if ((style.kind == 1 && k == 1) || (style.kind == 2 && k == 0))
                    style.chpx = word97Sprms(bytes);
                upx += 2 + length;
            }
        }
        styles.push_back(style);
        at += size;
    }
}

Chp WordReader::Private::resolveStyleChp(int istd, int depth)
{
    if (istd < 0 || size_t(istd) >= styles.size() || depth > kMaxStyleDepth)
        return defaultChp;
    const Style &style = styles[size_t(istd)];
    Chp chp = style.base == kNoStyle ? defaultChp : resolveStyleChp(style.base, depth + 1);
    const Chp base = chp;
    applyChp(chp, style.chpx, base);
    return chp;
}

Pap WordReader::Private::resolveStylePap(int istd, int depth)
{
    if (istd < 0 || size_t(istd) >= styles.size() || depth > kMaxStyleDepth)
        return Pap();
    const Style &style = styles[size_t(istd)];
    Pap pap = style.base == kNoStyle ? Pap() : resolveStylePap(style.base, depth + 1);
    applyPap(pap, style.papx);
    pap.style = istd;
    return pap;
}

const Chp &WordReader::Private::styleChp(int istd)
{
    auto it = chpCache.find(istd);
    if (it == chpCache.end())
        it = chpCache.emplace(istd, resolveStyleChp(istd, 0)).first;
    return it->second;
}

const Pap &WordReader::Private::stylePap(int istd)
{
    auto it = papCache.find(istd);
    if (it == papCache.end())
        it = papCache.emplace(istd, resolveStylePap(istd, 0)).first;
    return it->second;
}

void WordReader::Private::readLists()
{
    // The levels follow the list headers in the table stream, outside the
    // length the FIB gives.
    const QByteArrayView headers = tableSlice(PairPlfLst);
    const ByteReader plf(headers.isEmpty() ? QByteArrayView()
                                           : QByteArrayView(tableStream).sliced(headers.data() - tableStream.constData()));
    const int count = plf.u16(0);
    qint64 at = 2;
    std::vector<std::pair<qint32, int>> shapes; // id, level count
    for (int i = 0; i < count && plf.has(at, 28); ++i) {
        shapes.emplace_back(plf.i32(at), (plf.u8(at + 26) & 1) ? 1 : 9);
        at += 28;
    }
    // The levels follow the list headers, in the same order.
    for (const auto &[id, levels] : shapes) {
        List list;
        list.id = id;
        for (int l = 0; l < levels && plf.has(at, 28); ++l) {
            ListLevel level;
            level.start = plf.i32(at);
            level.format = plf.u8(at + 4);
            level.follow = plf.u8(at + 15);
            const int chpxSize = plf.u8(at + 24);
            const int papxSize = plf.u8(at + 25);
            at += 28;
            level.papx = plf.slice(at, papxSize);
            at += papxSize;
            level.chpx = plf.slice(at, chpxSize);
            at += chpxSize;
            const int length = plf.u16(at);
            at += 2;
            for (int k = 0; k < length && plf.has(at, 2); ++k, at += 2)
                level.text.append(QChar(char16_t(plf.u16(at))));
            list.levels.append(level);
        }
        lists.push_back(list);
    }
    const ByteReader lfo(tableSlice(PairPlfLfo));
    const quint32 lfoCount = std::min<quint32>(lfo.u32(0), quint32(lfo.size() / 16));
    for (quint32 i = 0; i < lfoCount; ++i)
        overrides.push_back(lfo.i32(4 + 16 * qint64(i)));
}

void WordReader::Private::readSection()
{
    const ByteReader plc(tableSlice(PairPlcfSed));
    if (plc.size() < 16)
        return;
    const quint32 count = quint32(plc.size() - 4) / 16;
    const ByteReader stream(wordStream);
    for (quint32 i = 0; i < count; ++i) {
        sectionEnds.push_back(plc.u32(4 * (i + 1)));
        const quint32 sepx = plc.u32(4 * (qint64(count) + 1) + 12 * i + 2);
        const bool hasSepx = sepx != 0xFFFFFFFF && quint64(sepx) + 2 <= quint64(wordStream.size());
        sections.push_back(sectionProperties(hasSepx ? word97Sprms(stream.slice(sepx + 2, stream.u16(sepx)))
                                                     : QByteArrayView(),
                                             i == 0));
    }
    if (sections.front().page.width > 0 && sections.front().page.height > 0) {
        page = sections.front().page;
        hasPage = true;
    }
}

// One section's properties from its SEPX (and whether its first page has
// headers of its own); the first section's also give the document's line
// grid.
SectionProperties WordReader::Private::sectionProperties(QByteArrayView grpprl, bool first)
{
    SectionProperties section;
    // Word's own defaults: Letter with 1.25-inch side margins.
    PageSetup &setup = section.page;
    setup.width = 12240;
    setup.height = 15840;
    setup.marginLeft = setup.marginRight = 1800;
    setup.marginTop = setup.marginBottom = 1440;
    ColumnSetup &columns = section.columns;
    bool evenlySpaced = true;
    bool titlePage = false;
    int gridKind = 0;      // 0: none; lines, lines and characters, snapped characters
    int linePitch = 0;
    static constexpr SectionStart kStarts[] = {SectionStart::Continuous, SectionStart::NewColumn,
                                               SectionStart::NewPage, SectionStart::EvenPage, SectionStart::OddPage};
    forEachSprm(grpprl, [&](quint16 sprm, const ByteReader &op) {
        switch (sprm) {
        case sprmSBkc: section.start = kStarts[std::min<int>(op.u8(0), 4)]; break;
        case sprmSBOrientation: section.landscape = op.u8(0) == 2; break;
        case sprmSCcolumns: columns.count = std::clamp<int>(op.u16(0) + 1, 1, ColumnSetup::MaximumCount); break;
        case sprmSDxaColumns: columns.spacing = std::clamp<int>(op.i16(0), 0, PageSetup::LargestTwips); break;
        case sprmSLBetween: columns.lineBetween = op.u8(0) != 0; break;
        case sprmSFEvenlySpaced: evenlySpaced = op.u8(0) != 0; break;
        case sprmSDxaColWidth:
        case sprmSDxaColSpacing: {
            const int index = op.u8(0);
            if (index >= ColumnSetup::MaximumCount)
                break;
            QList<int> &values = sprm == sprmSDxaColWidth ? columns.widths : columns.gaps;
            if (values.size() <= index)
                values.resize(index + 1);
            values[index] = std::clamp<int>(op.u16(1), 0, PageSetup::LargestTwips);
            break;
        }
        case sprmSClm: gridKind = op.u16(0); break;
        case sprmSDyaLinePitch: linePitch = op.i16(0); break;
        case sprmSXaPage: setup.width = op.u16(0); break;
        case sprmSYaPage: setup.height = op.u16(0); break;
        case sprmSDxaLeft: setup.marginLeft = op.u16(0); break;
        case sprmSDxaRight: setup.marginRight = op.u16(0); break;
        case sprmSDyaTop: setup.marginTop = std::abs(op.i16(0)); break;
        case sprmSDyaBottom: setup.marginBottom = std::abs(op.i16(0)); break;
        case sprmSDyaHdrTop: setup.headerDistance = std::min<int>(op.u16(0), PageSetup::LargestTwips); break;
        case sprmSDyaHdrBottom: setup.footerDistance = std::min<int>(op.u16(0), PageSetup::LargestTwips); break;
        case sprmSFTitlePage: titlePage = op.u8(0) != 0; break;
        default: break;
        }
    });
    // Columns of their own widths only when every column has one.
    if (evenlySpaced || columns.count < 2 || columns.widths.size() != columns.count) {
        columns.widths.clear();
        columns.gaps.clear();
    } else {
        columns.gaps.resize(columns.count);
    }
    if (section.landscape && setup.width < setup.height)
        std::swap(setup.width, setup.height);
    setup = setup.clamped();
    if (first && gridKind != 0)
        bodyBuilder.setLinePitch(linePitch);
    titlePages.push_back(titlePage);
    return section;
}

// Each section's headers and footers: where each lies in the header text.
// An empty story (no characters, not even its guard mark) is none: the
// section shows the one of the section before.
void WordReader::Private::readHeaderStories()
{
    headerFooter.facingPages = ByteReader(tableSlice(PairDop)).u8(0) & 0x01; // fFacingPages
    const ByteReader plc(tableSlice(PairPlcfHdd));
    const quint32 headerStart = partStart(HeaderText);
    const quint32 headerLength = partLength[HeaderText];
    const qint64 cps = plc.size() / 4;
    if (!textMatchesCps || headerLength == 0 || cps < kSeparatorStories + 2)
        return;
    const qint64 stories = cps - 2; // the last CP ends the last story, the one after it means nothing
    const size_t sectionCount = std::max<size_t>(1, sections.size());
    for (qint64 index = kSeparatorStories; index < stories; ++index) {
        const qint64 slot = (index - kSeparatorStories) % 6;
        const size_t section = size_t((index - kSeparatorStories) / 6);
        if (section >= sectionCount)
            break;
        const quint32 start = plc.u32(4 * index);
        const quint32 end = plc.u32(4 * (index + 1));
        if (end <= start || end > headerLength || quint64(headerStart) + end > quint64(text.size()))
            continue;
        storyRanges.push_back(StoryRange{kSectionStories[slot], section, headerStart + start, headerStart + end});
    }
}

// Footnote and endnote references show their number in the body, as the
// reader of the printed page sees them (endnotes in small roman numerals),
// and carry the note's text so that it is kept and written back.
void WordReader::Private::readNoteReferences()
{
    auto read = [&](int referencePair, int textPair, TextPart part) {
        const ByteReader plc(tableSlice(referencePair));
        if (plc.size() < 6)
            return;
        const ByteReader texts(tableSlice(textPair));
        const qint64 textCps = texts.size() / 4;
        const quint32 start = partStart(part);
        const quint32 count = quint32(plc.size() - 4) / 6;
        for (quint32 i = 0; i < count; ++i) {
            const quint32 cp = plc.u32(4 * i);
            const bool custom = plc.u16(4 * (qint64(count) + 1) + 2 * i) == 0;
            const int number = int(i) + 1;
            if (custom)
                continue; // the author's own mark stays as it is in the text
            NoteReference note;
            note.endnote = part == EndnoteText;
            note.mark = note.endnote ? romanNumber(number, false) : QString::number(number);
            if (textMatchesCps && qint64(i) + 1 < textCps) {
                const quint32 from = texts.u32(4 * qint64(i));
                const quint32 to = std::min(texts.u32(4 * (qint64(i) + 1)), partLength[part]);
                if (from < to)
                    note.text = plainText(qsizetype(start) + from, qsizetype(start) + to);
            }
            noteMarks[cp] = note;
        }
    };
    read(PairPlcffndRef, PairPlcffndTxt, FootnoteText);
    read(PairPlcfendRef, PairPlcfendTxt, EndnoteText);
}

// A note's text without its structure: fields show their results, the
// note's own number and other special characters are left out, paragraphs
// are separated by U+2029.
QString WordReader::Private::plainText(qsizetype from, qsizetype to) const
{
    QString result;
    std::vector<bool> fieldInResult;
    to = std::min(to, text.size());
    for (qsizetype i = from; i < to; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c == 0x13) {
            fieldInResult.push_back(false);
            continue;
        }
        if (c == 0x14 || c == 0x15) {
            if (!fieldInResult.empty()) {
                if (c == 0x14)
                    fieldInResult.back() = true;
                else
                    fieldInResult.pop_back();
            }
            continue;
        }
        if (std::find(fieldInResult.begin(), fieldInResult.end(), false) != fieldInResult.end())
            continue; // a field's instruction
        if (c == 0x0D || c == 0x07)
            result += QChar(QChar::ParagraphSeparator);
        else if (c == 0x0B)
            result += QChar(QChar::LineSeparator);
        else if (c >= 0x20 || c == 0x09)
            result += QChar(c);
    }
    qsizetype begin = 0;
    while (begin < result.size() && (result.at(begin) == QLatin1Char('\t') || result.at(begin) == QLatin1Char(' ')))
        ++begin;
    qsizetype end = result.size();
    while (end > begin && result.at(end - 1) == QChar(QChar::ParagraphSeparator))
        --end;
    return result.mid(begin, end - begin);
}

// ---------------------------------------------------------------- properties

void WordReader::Private::applyChp(Chp &chp, QByteArrayView grpprl, const Chp &base) const
{
    CharacterProperties &c = chp.props;
    auto toggle = [](int value, bool styleValue) {
        switch (value) {
        case 0: return false;
        case 1: return true;
        case 0x80: return styleValue;
        case 0x81: return !styleValue;
        default: return value != 0;
        }
    };
    forEachSprm(grpprl, [&](quint16 sprm, const ByteReader &op) {
        switch (sprm) {
        case sprmCFBold: c.bold = toggle(op.u8(0), base.props.bold); break;
        case sprmCFItalic: c.italic = toggle(op.u8(0), base.props.italic); break;
        case sprmCFStrike: c.strike = toggle(op.u8(0), base.props.strike); break;
        case sprmCFDStrike: c.doubleStrike = toggle(op.u8(0), base.props.doubleStrike); break;
        case sprmCFVanish: c.hidden = toggle(op.u8(0), base.props.hidden); break;
        case sprmCFCaps: c.caps = toggle(op.u8(0), base.props.caps); break;
        case sprmCFSmallCaps: c.smallCaps = toggle(op.u8(0), base.props.smallCaps); break;
        case sprmCKul: c.underline = underlineKind(op.u8(0)); break;
        case sprmCHps: c.halfPoints = std::clamp<int>(op.u16(0), 2, 3276); break;
        case sprmCIco: c.foreColor = icoColor(op.u8(0)); break;
        case sprmCCv: c.foreColor = colorRef(op.u32(0)); break;
        case sprmCHighlight: c.backColor = icoColor(op.u8(0)); break;
        case sprmCShd80: {
            const quint16 shd = op.u16(0);
            const int pattern = shd >> 10;
            if (pattern == 1)
                c.backColor = icoColor(shd & 0x1F);
            else if (pattern == 0 && ((shd >> 5) & 0x1F))
                c.backColor = icoColor((shd >> 5) & 0x1F);
            break;
        }
        case sprmCShd: {
            const int pattern = op.u16(9);
            if (pattern == 1)
                c.backColor = colorRef(op.u32(1));
            else if (pattern == 0 && colorRef(op.u32(5)).isValid())
                c.backColor = colorRef(op.u32(5));
            break;
        }
        case sprmCIss: c.vertical = quint8(std::min<int>(op.u8(0), 2)); break;
        case sprmCHpsPos: c.offset = op.i16(0); break;
        case sprmCRgFtc0: chp.fontAscii = op.u16(0); break;
        case sprmCRgFtc1: chp.fontEastAsia = op.u16(0); break;
        case sprmCFRMarkDel: chp.deleted = op.u8(0) != 0; break;
        case sprmCFSpec: chp.special = op.u8(0) != 0; break;
        case sprmCFOle2: chp.ole = op.u8(0) != 0; break;
        case sprmCFData: chp.data = op.u8(0) != 0; break;
        case sprmCPicLocation: chp.picture = op.u32(0); break;
        case sprmCIstd: {
            const int istd = op.u16(0);
            if (istd != chp.style && size_t(istd) < styles.size() && styles[size_t(istd)].kind == 2) {
                chp.style = istd;
                applyChp(chp, styles[size_t(istd)].chpx, base);
            }
            break;
        }
        default: break;
        }
    });
}

void WordReader::Private::applyPap(Pap &pap, QByteArrayView grpprl) const
{
    ParagraphProperties &p = pap.props;
    auto setBorder = [&](BorderSide side, const Border &border) { p.borders[side] = border; };
    forEachSprm(grpprl, [&](quint16 sprm, const ByteReader &op) {
        switch (sprm) {
        case sprmPJc80:
        case sprmPJc: {
            static constexpr Alignment kJc[] = {Alignment::Left, Alignment::Center, Alignment::Right,
                                                Alignment::Justify};
            const int jc = op.u8(0);
            p.alignment = jc < 4 ? kJc[jc] : Alignment::Justify;
            break;
        }
        case sprmPDxaLeft80:
        case sprmPDxaLeft: p.leftIndent = op.i16(0); break;
        case sprmPDxaRight80:
        case sprmPDxaRight: p.rightIndent = op.i16(0); break;
        case sprmPDxaLeft180:
        case sprmPDxaLeft1: p.firstIndent = op.i16(0); break;
        case sprmPDxcLeft: pap.leftChars = op.i16(0); break;
        case sprmPDxcRight: pap.rightChars = op.i16(0); break;
        case sprmPDxcLeft1: pap.firstChars = op.i16(0); break;
        case sprmPDyaBefore: p.spaceBefore = op.u16(0); break;
        case sprmPDyaAfter: p.spaceAfter = op.u16(0); break;
        case sprmPDyaLine: {
            const int line = op.i16(0);
            const bool multiple = op.u16(2) != 0;
            if (multiple && line == 240) {
                p.lineSpacing = 0;
                p.lineMultiple = false;
            } else {
                p.lineSpacing = line;
                p.lineMultiple = multiple && line > 0;
            }
            break;
        }
        case sprmPFKeepFollow: p.keepNext = op.u8(0) != 0; break;
        case sprmPFKeep: p.keepTogether = op.u8(0) != 0; break;
        case sprmPFWidowControl: p.widowControl = op.u8(0) != 0; break;
        case sprmPFPageBreakBefore: p.pageBreakBefore = op.u8(0) != 0; break;
        case sprmPChgTabsPapx:
        case sprmPChgTabs: {
            const int deleted = op.u8(1);
            QList<int> removed;
            for (int i = 0; i < deleted; ++i)
                removed.append(op.i16(2 + 2 * i));
            qint64 at = 2 + 2 * qint64(deleted) + (sprm == sprmPChgTabs ? 2 * qint64(deleted) : 0);
            const int added = op.u8(at);
            QList<TabStop> tabs;
            for (const TabStop &tab : std::as_const(p.tabs)) {
                if (!removed.contains(tab.position))
                    tabs.append(tab);
            }
            for (int i = 0; i < added; ++i) {
                TabStop tab;
                tab.position = op.i16(at + 1 + 2 * i);
                const int descriptor = op.u8(at + 1 + 2 * qint64(added) + i);
                const int kind = descriptor & 7;
                const int leader = (descriptor >> 3) & 7;
                static constexpr QTextOption::TabType kKinds[] = {QTextOption::LeftTab, QTextOption::CenterTab,
                                                                   QTextOption::RightTab, QTextOption::DelimiterTab};
                if (kind > 3)
                    continue; // bar tabs draw a line; they stop nothing
                tab.type = kKinds[kind];
                if (leader <= int(TabLeader::MiddleDots))
                    tab.leader = TabLeader(leader);
                tabs.removeIf([&](const TabStop &t) { return t.position == tab.position; });
                tabs.append(tab);
            }
            std::sort(tabs.begin(), tabs.end(), [](const TabStop &a, const TabStop &b) { return a.position < b.position; });
            if (tabs.size() > 64)
                tabs.resize(64);
            p.tabs = tabs;
            break;
        }
        case sprmPBrcTop80: setBorder(Top, border80(op, 0)); break;
        case sprmPBrcLeft80: setBorder(Left, border80(op, 0)); break;
        case sprmPBrcBottom80: setBorder(Bottom, border80(op, 0)); break;
        case sprmPBrcRight80: setBorder(Right, border80(op, 0)); break;
        case sprmPBrcBar80: setBorder(Bar, border80(op, 0)); break;
        case sprmPBrcTop: setBorder(Top, border97(op, 1)); break;
        case sprmPBrcLeft: setBorder(Left, border97(op, 1)); break;
        case sprmPBrcBottom: setBorder(Bottom, border97(op, 1)); break;
        case sprmPBrcRight: setBorder(Right, border97(op, 1)); break;
        case sprmPBrcBar: setBorder(Bar, border97(op, 1)); break;
        case sprmPFInTable: pap.inTable = op.u8(0) != 0; if (pap.inTable && pap.depth == 0) pap.depth = 1; break;
        case sprmPFTtp: pap.rowEnd = op.u8(0) != 0; break;
        case sprmPItap: pap.depth = std::clamp<int>(op.i32(0), 0, 64); pap.inTable = pap.depth > 0; break;
        case sprmPFInnerTableCell: pap.innerCell = op.u8(0) != 0; break;
        case sprmPFInnerTtp: pap.innerRowEnd = op.u8(0) != 0; break;
        case sprmPIlfo: pap.listOverride = op.i16(0); break;
        case sprmPIlvl: pap.listLevel = std::min<int>(op.u8(0), 8); break;
        case sprmPIstd: break; // the style comes with the PAPX itself

        // Table rows (on the row's end mark).
        case sprmTDefTable: {
            const int cells = std::min<int>(op.u8(2), 63);
            RowProperties &row = pap.row;
            row.cells.clear();
            row.left = op.i16(3);
            const qint64 tcAt = 3 + 2 * (qint64(cells) + 1);
            const qint64 length = op.u16(0);
            for (int i = 0; i < cells; ++i) {
                CellProperties cell;
                cell.right = op.i16(3 + 2 * (i + 1));
                const qint64 tc = tcAt + 20 * i;
                if (tc + 20 <= length + 2) {
                    const quint16 flags = op.u16(tc);
                    cell.mergeFirst = flags & 0x01;
                    cell.merge = flags & 0x02;
                    cell.verticalMerge = (flags & 0x20) && !(flags & 0x40);
                    cell.verticalMergeFirst = (flags & 0x20) && (flags & 0x40);
                    cell.vertical = VerticalAlignment(std::min((flags >> 7) & 3, 2));
                    cell.borders[Top] = border80(op, tc + 4);
                    cell.borders[Left] = border80(op, tc + 8);
                    cell.borders[Bottom] = border80(op, tc + 12);
                    cell.borders[Right] = border80(op, tc + 16);
                }
                row.cells.append(cell);
            }
            break;
        }
        case sprmTDxaGapHalf: pap.row.gap = std::max<int>(0, op.i16(0)); break;
        case sprmTDyaRowHeight: pap.row.height = op.i16(0); break;
        case sprmTJc90:
        case sprmTJc: {
            static constexpr Alignment kRowAlignments[] = {Alignment::Left, Alignment::Center, Alignment::Right};
            pap.row.alignment = kRowAlignments[std::min<int>(op.u16(0), 2)];
            break;
        }
        case sprmTTableHeader: pap.row.header = op.u8(0) != 0; break;
        case sprmTCellPaddingDefault: // cb, first cell, cell limit, sides, unit, width
            if ((op.u8(3) & 0x02) && op.u8(4) == 3)
                pap.cellPadding = std::clamp<int>(op.i16(5), 0, 31680);
            break;
        case sprmTFCantSplit:
        case sprmTFCantSplit90: pap.row.keepTogether = op.u8(0) != 0; break;
        case sprmTTableBorders80:
            for (int i = 0; i < 6; ++i)
                pap.tableBorders[i] = border80(op, 1 + 4 * i);
            pap.hasTableBorders = true;
            break;
        case sprmTTableBorders:
            for (int i = 0; i < 6; ++i)
                pap.tableBorders[i] = border97(op, 1 + 8 * i);
            pap.hasTableBorders = true;
            break;
        case sprmTDefTableShd80: {
            const int count = op.u8(0) / 2;
            pap.cellShading.clear();
            for (int i = 0; i < count; ++i) {
                const quint16 shd = op.u16(1 + 2 * i);
                const int pattern = shd >> 10;
                pap.cellShading.append(pattern == 1 ? icoColor(shd & 0x1F)
                                                    : pattern == 0 ? icoColor((shd >> 5) & 0x1F) : QColor());
            }
            break;
        }
        case sprmTDefTableShd: {
            const int count = op.u8(0) / 10;
            pap.cellShading.clear();
            for (int i = 0; i < count; ++i) {
                const qint64 at = 1 + 10 * i;
                const int pattern = op.u16(at + 8);
                pap.cellShading.append(pattern == 1 ? colorRef(op.u32(at)) : colorRef(op.u32(at + 4)));
            }
            break;
        }
        default: break;
        }
    });
}

void WordReader::Private::applyPrm(quint16 prm, Chp *chp, Pap *pap, const Chp &base) const
{
    if (prm == 0)
        return;
    // Only the complex form (an index into the CLX's property lists) is
    // read; the one-sprm form, which needs Word's table of short sprm
    // numbers, is left out.
    if (!(prm & 1))
        return;
    const size_t index = prm >> 1;
    if (index >= prcs.size())
        return;
    const QByteArrayView grpprl = prcs[index];
    if (chp)
        applyChp(*chp, grpprl, base);
    if (pap)
        applyPap(*pap, grpprl);
}

CharacterProperties WordReader::Private::finalProps(const Chp &chp, QStringView runText) const
{
    CharacterProperties props = chp.props;
    bool eastAsian = false;
    for (const QChar c : runText) {
        if (c.unicode() >= 0x2E80) {
            eastAsian = true;
            break;
        }
    }
    props.font = fontName(eastAsian ? chp.fontEastAsia : chp.fontAscii);
    if (props.font.isEmpty())
        props.font = fontName(chp.fontAscii);
    // Deleted text shows as Word shows it with its revision marks on:
    // struck through in the revision colour.
    if (chp.deleted) {
        props.deleted = true;
        props.strike = !props.doubleStrike;
        props.foreColor = kDeletionColor;
    }
    return props;
}

// ---------------------------------------------------------------- the text

RowProperties WordReader::Private::rowOf(const Pap &pap) const
{
    RowProperties row = pap.row;
    row.depth = std::max(1, pap.depth);
    if (pap.cellPadding >= 0)
        row.gap = pap.cellPadding;
    const int count = int(row.cells.size());
    for (int i = 0; i < count; ++i) {
        CellProperties &cell = row.cells[i];
        if (pap.hasTableBorders) {
            const Border *edges = pap.tableBorders; // top, left, bottom, right, inside h, inside v
            if (!cell.borders[Top].present)
                cell.borders[Top] = edges[4].present ? edges[4] : edges[0];
            if (!cell.borders[Bottom].present)
                cell.borders[Bottom] = edges[4].present ? edges[4] : edges[2];
            if (!cell.borders[Left].present)
                cell.borders[Left] = i == 0 ? edges[1] : edges[5];
            if (!cell.borders[Right].present)
                cell.borders[Right] = i + 1 == count ? edges[3] : edges[5];
        }
        if (i < pap.cellShading.size() && pap.cellShading.at(i).isValid())
            cell.shading = pap.cellShading.at(i);
    }
    return row;
}

const List *WordReader::Private::listOf(const Pap &pap, int *levelIndex) const
{
    if (pap.listOverride <= 0 || size_t(pap.listOverride) > overrides.size())
        return nullptr;
    const qint32 id = overrides[size_t(pap.listOverride - 1)];
    const auto list = std::find_if(lists.begin(), lists.end(), [&](const List &l) { return l.id == id; });
    if (list == lists.end() || list->levels.isEmpty())
        return nullptr;
    *levelIndex = std::min<int>(pap.listLevel, int(list->levels.size()) - 1);
    return &*list;
}

QByteArrayView WordReader::Private::listLevelPapx(const Pap &pap) const
{
    int levelIndex = 0;
    const List *list = listOf(pap, &levelIndex);
    return list ? list->levels.at(levelIndex).papx : QByteArrayView();
}

QString WordReader::Private::listText(const Pap &pap, Chp *labelChp)
{
    int levelIndex = 0;
    const List *list = listOf(pap, &levelIndex);
    if (!list)
        return {};
    const ListLevel &level = list->levels.at(levelIndex);

    auto &counters = listCounters.try_emplace(list->id, std::array<int, 9>{}).first->second;
    if (counters[size_t(levelIndex)] == 0)
        counters[size_t(levelIndex)] = level.start;
    else
        ++counters[size_t(levelIndex)];
    for (int deeper = levelIndex + 1; deeper < 9; ++deeper)
        counters[size_t(deeper)] = 0;

    QString label;
    for (const QChar c : level.text) {
        const int placeholder = c.unicode();
        if (placeholder < 9) {
            const int index = std::min<int>(placeholder, int(list->levels.size()) - 1);
            const int value = counters[size_t(placeholder)] ? counters[size_t(placeholder)]
                                                            : list->levels.at(index).start;
            label += formatNumber(value, list->levels.at(index).format);
        } else {
            label += c;
        }
    }
    if (labelChp) {
        applyChp(*labelChp, level.chpx, *labelChp);
    }
    if (level.follow == 0)
        label += QLatin1Char('\t');
    else if (level.follow == 1)
        label += QLatin1Char(' ');
    return label;
}

bool WordReader::Private::listMembership(const Pap &pap, const Chp &labelChp, ListMembership *membership)
{
    int levelIndex = 0;
    const List *list = listOf(pap, &levelIndex);
    if (!list)
        return false;
    const ListLevel &level = list->levels.at(levelIndex);
    // The text engine numbers a level by itself, in the five styles it
    // knows: levels that show other levels' numbers or other number
    // styles (full-width, circled) keep their label as text.
    qsizetype placeholder = -1;
    for (qsizetype i = 0; i < level.text.size(); ++i) {
        if (level.text.at(i).unicode() >= 9)
            continue;
        if (placeholder >= 0 || level.text.at(i).unicode() != levelIndex)
            return false;
        placeholder = i;
    }
    static constexpr struct {
        int nfc;
        NumberFormat format;
    } kFormats[] = {{0, NumberFormat::Decimal}, {1, NumberFormat::UpperRoman}, {2, NumberFormat::LowerRoman},
                    {3, NumberFormat::UpperLetter}, {4, NumberFormat::LowerLetter}};
    ListLevelFormat format;
    if (placeholder < 0) {
        format.format = level.text.isEmpty() ? NumberFormat::None : NumberFormat::Bullet;
        format.bullet = shownText(level.text, fontName(labelChp.fontAscii));
    } else {
        const auto known = std::find_if(std::begin(kFormats), std::end(kFormats),
                                        [&](const auto &entry) { return entry.nfc == level.format; });
        if (known == std::end(kFormats))
            return false;
        format.format = known->format;
        format.prefix = level.text.left(placeholder);
        format.suffix = level.text.mid(placeholder + 1);
    }
    format.start = level.start;
    format.follow = quint8(std::clamp(level.follow, 0, 2));
    membership->list = int(list - lists.data()) + 1;
    membership->level = levelIndex;
    membership->format = format;
    return true;
}

// Symbol fonts keep their glyphs in the private area: the characters the
// glyphs stand for.
QString WordReader::Private::shownText(const QString &text, const QString &font)
{
    const bool symbol = font.startsWith(QLatin1String("Symbol"), Qt::CaseInsensitive);
    if (!symbol && !font.startsWith(QLatin1String("Wingdings"), Qt::CaseInsensitive))
        return text;
    const int codePage = symbol ? rtf::kSymbolCodePage : rtf::kWingdingsCodePage;
    QString mapped;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 0xF020 && u <= 0xF0FF) {
            const char byte = char(u - 0xF000);
            mapped += decoder.decode(codePage, QByteArrayView(&byte, 1));
        } else {
            mapped += c;
        }
    }
    return mapped;
}

void WordReader::Private::flushRun(QString &run, const Chp &chp, bool inTable)
{
    if (run.isEmpty())
        return;
    run = shownText(run, fontName(chp.fontAscii));
    CharacterProperties props = finalProps(chp, run);
    for (auto it = fields.rbegin(); it != fields.rend(); ++it) {
        if (!it->link.isEmpty()) {
            props.link = it->link;
            break;
        }
    }
    if (!fields.empty())
        props.field = fields.back().kind;
    builder->appendText(run, charFormats.format(props), inTable);
    run.resize(0); // keeps its room for the next run
}

void WordReader::Private::emitPicture(const Chp &chp, bool inTable)
{
    if (chp.picture < 0 || chp.picture + 68 > dataStream.size())
        return;
    const ByteReader data(dataStream);
    const qint64 at = chp.picture;
    const quint32 total = data.u32(at);
    const int headerSize = data.u16(at + 4);
    if (total < quint32(headerSize) || headerSize < 68 || !data.has(at, total))
        return;
    const int mode = data.u16(at + 6);
    const int goalWidth = data.i16(at + 28);
    const int goalHeight = data.i16(at + 30);
    const int scaleX = data.u16(at + 32);
    const int scaleY = data.u16(at + 34);
    qint64 pos = at + headerSize;
    if (mode == 0x66) // a linked picture: its file name comes first
        pos += 1 + data.u8(pos);
    const qint64 end = at + total;

    // OfficeArt records: the shape container, then the blip store entries.
    while (pos + 8 <= end) {
        const quint16 instance = data.u16(pos) >> 4;
        const quint16 type = data.u16(pos + 2);
        const quint32 length = data.u32(pos + 4);
        const qint64 body = pos + 8;
        if (type == 0xF007 && data.has(body, 36)) { // FBSE: the blip follows its name
            pos = body + 36 + data.u8(body + 33);
            continue;
        }
        rtf::PictureFormat format = rtf::PictureFormat::Unknown;
        bool metafile = false;
        switch (type) {
        case 0xF01A: format = rtf::PictureFormat::Emf; metafile = true; break;
        case 0xF01B: format = rtf::PictureFormat::Wmf; metafile = true; break;
        case 0xF01C: format = rtf::PictureFormat::MacPict; metafile = true; break;
        case 0xF01D: case 0xF02A: format = rtf::PictureFormat::Jpeg; break;
        case 0xF01E: format = rtf::PictureFormat::Png; break;
        case 0xF01F: format = rtf::PictureFormat::Dib; break;
        default: break;
        }
        if (format != rtf::PictureFormat::Unknown) {
            const int uids = 1 + (instance & 1);
            qint64 bytesAt = body + 16 * uids;
            QByteArray bytes;
            if (metafile) {
                const quint32 size = data.u32(bytesAt);
                const bool compressed = data.u8(bytesAt + 32) == 0;
                bytesAt += 34;
                const QByteArrayView raw = data.slice(bytesAt, body + length - bytesAt);
                if (compressed) {
                    QByteArray prefixed;
                    prefixed.append(char(size >> 24)).append(char(size >> 16)).append(char(size >> 8)).append(char(size));
                    prefixed.append(raw.data(), raw.size());
                    bytes = size < (64u << 20) ? qUncompress(prefixed) : QByteArray();
                } else {
                    bytes = raw.toByteArray();
                }
            } else {
                bytesAt += 1; // the tag byte
                bytes = data.slice(bytesAt, body + length - bytesAt).toByteArray();
            }
            if (bytes.isEmpty())
                return;
            rtf::PictureSource source;
            source.format = format;
            source.bytes = bytes;
            source.goalWidth = goalWidth;
            source.goalHeight = goalHeight;
            source.scaleX = scaleX > 0 ? scaleX / 10 : 100;
            source.scaleY = scaleY > 0 ? scaleY / 10 : 100;
            if (format == rtf::PictureFormat::Wmf || format == rtf::PictureFormat::Emf) {
                source.width = goalWidth * 2540 / 1440;
                source.height = goalHeight * 2540 / 1440;
            }
            builder->appendPicture(source, QString(), inTable);
            return;
        }
        if (type == 0xF004 || type == 0xF000 || type == 0xF001)
            pos = body + length; // containers we do not need
        else
            pos = body + length;
        if (length == 0 && type == 0)
            return;
    }
}

void WordReader::Private::emitDocument()
{
    // Paragraphs end at paragraph marks, cell marks and section marks.
    qsizetype start = 0;
    const qsizetype length = bodyEnd;
    for (qsizetype i = 0; i < length; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c == 0x0D || c == 0x07 || (c == 0x0C && sectionEndingAt(quint32(i + 1)))) {
            emitParagraph(start, i + 1);
            start = i + 1;
        }
    }
    if (start < length)
        emitParagraph(start, length);
    if (!sections.empty()) {
        builder->setSectionProperties(sections.back());
        builtSections.resize(size_t(builder->currentSection()) + 1, sections.size() - 1);
        builtSections.back() = sections.size() - 1;
    }
    builder->finish(ParagraphProperties());
}

// Each story becomes a document of its own. Its last paragraph mark only
// guards it from the next story: a story whose text ends in a paragraph
// mark of its own leaves the guard out.
void WordReader::Private::emitStories()
{
    for (const StoryRange &range : storyRanges) {
        auto document = std::make_unique<QTextDocument>();
        document->setDefaultFont(bodyBuilder.document()->defaultFont());
        document->setUndoRedoEnabled(false);
        DocumentBuilder storyBuilder(QTextCursor(document.get()), DocumentBuilder::Mode::Load);
        builder = &storyBuilder;
        fields.clear();
        const qsizetype guard = qsizetype(range.end) - 1;
        qsizetype start = range.start;
        for (qsizetype i = range.start; i < guard; ++i) {
            const char16_t c = text.at(i).unicode();
            if (c == 0x0D || c == 0x07) {
                emitParagraph(start, i + 1);
                start = i + 1;
            }
        }
        if (start < guard || start == qsizetype(range.start))
            emitParagraph(start, guard + 1);
        builder->finish(ParagraphProperties());
        builder = &bodyBuilder;
        stories.push_back(Story{range.slot, range.section, std::move(document)});
    }
    fields.clear();
}

void WordReader::Private::emitParagraph(qsizetype start, qsizetype end)
{
    // The paragraph's properties are those of its mark.
    const qsizetype markIndex = end - 1;
    size_t papHint = 0;
    Pap pap;
    const FcRun *papx = findRun(papxRuns, charFc[size_t(markIndex)], papHint);
    pap = stylePap(papx ? papx->style : 0);
    if (papx)
        applyPap(pap, papx->grpprl);
    // A list item takes its level's indents and tabs unless it has its own:
    // style, then list level, then the paragraph.
    if (const QByteArrayView levelPapx = listLevelPapx(pap); !levelPapx.isEmpty()) {
        const Pap item = pap;
        pap = stylePap(item.style);
        applyPap(pap, levelPapx);
        if (papx)
            applyPap(pap, papx->grpprl);
    }
    const Chp styleBase = styleChp(pap.style);
    size_t pieceHint = 0;
    applyPrm(prmAt(markIndex, pieceHint), nullptr, &pap, styleBase);
    // A character is as wide as the paragraph's font is high (its style's
    // size): half-points times ten are twips. The left indent in
    // characters is where a hanging first line starts; the lines after it
    // hang further in.
    const auto characters = [&](int hundredths) { return hundredths * styleBase.props.halfPoints * 10 / 100; };
    if (pap.leftChars || pap.firstChars < 0)
        pap.props.leftIndent = characters(pap.leftChars + std::max(0, -pap.firstChars));
    if (pap.rightChars)
        pap.props.rightIndent = characters(pap.rightChars);
    if (pap.firstChars)
        pap.props.firstIndent = characters(pap.firstChars);

    // A table inside a cell ends its cells and rows with paragraph marks
    // that say so; deeper than the builder nests, its cells become
    // paragraphs of the deepest table and its rows vanish.
    const bool inTable = pap.inTable || pap.depth > 0;
    const bool nested = pap.depth > 1;
    const bool nestable = pap.depth <= DocumentBuilder::MaxTableDepth;
    const char16_t mark = text.at(markIndex).unicode();
    if (inTable)
        builder->setTableDepth(std::max(1, pap.depth));
    if (nested && pap.innerRowEnd) {
        if (nestable)
            builder->endRow(rowOf(pap));
        return;
    }
    if (pap.rowEnd && !nested) {
        builder->endRow(rowOf(pap));
        return;
    }
    const bool endsCell = inTable && (nested ? nestable && (pap.innerCell || mark == 0x07) : mark == 0x07);

    // List label first: numbered by the text engine when it can, else as
    // text. The label is counted either way, for the levels below it.
    Chp labelChp = styleBase;
    QString label = listText(pap, &labelChp);
    if (!label.isEmpty() && listMembership(pap, labelChp, &pap.props.list)) {
        label.clear();
        // The layout indents items without indents of their own by these
        // same amounts: such items keep none.
        const int level = pap.props.list.level;
        if (pap.props.leftIndent == ListNumbering::LevelIndent * (level + 1)
            && pap.props.firstIndent == -ListNumbering::LevelIndent) {
            pap.props.leftIndent = 0;
            pap.props.firstIndent = 0;
        }
    }
    // Word stops the tab after a list label at the hanging indent; the
    // text engine knows no such stop, so the paragraph gets a real one
    // (else the text jumps to the next default tab, inches away).
    if (label.endsWith(QLatin1Char('\t')) && pap.props.firstIndent < 0 && pap.props.leftIndent > 0) {
        QList<TabStop> &tabs = pap.props.tabs;
        const int indent = pap.props.leftIndent;
        if (std::none_of(tabs.begin(), tabs.end(), [&](const TabStop &tab) { return tab.position == indent; })) {
            tabs.append(TabStop{indent});
            std::sort(tabs.begin(), tabs.end(),
                      [](const TabStop &a, const TabStop &b) { return a.position < b.position; });
        }
    }

    QString run;
    Chp runChp;
    bool haveRun = false;
    size_t chpHint = 0;
    auto charChp = [&](qsizetype index) {
        Chp chp = styleBase;
        if (const FcRun *chpx = findRun(chpxRuns, charFc[size_t(index)], chpHint))
            applyChp(chp, chpx->grpprl, styleBase);
        applyPrm(prmAt(index, pieceHint), &chp, nullptr, styleBase);
        return chp;
    };
    auto sameFormat = [](const Chp &a, const Chp &b) {
        return a.props == b.props && a.fontAscii == b.fontAscii && a.fontEastAsia == b.fontEastAsia
            && a.deleted == b.deleted;
    };
    // The characters of one CHPX run in one piece share their properties:
    // they are worked out once per run, not once per character.
    Chp chp;
    const FcRun *chpRun = nullptr;
    quint16 chpPrm = 0;
    bool haveChp = false;
    bool runTakesChp = false; // the open run has `chp`'s format
    auto updateChp = [&](qsizetype index) {
        const FcRun *chpx = findRun(chpxRuns, charFc[size_t(index)], chpHint);
        const quint16 prm = prmAt(index, pieceHint);
        if (haveChp && chpx == chpRun && prm == chpPrm)
            return;
        chp = charChp(index);
        chpRun = chpx;
        chpPrm = prm;
        haveChp = true;
        runTakesChp = haveRun && sameFormat(chp, runChp);
    };

    if (!label.isEmpty()) {
        QString labelRun = label;
        flushRun(labelRun, labelChp, inTable);
    }

    for (qsizetype i = start; i < markIndex; ++i) {
        updateChp(i);
        const char16_t c = text.at(i).unicode();

        // Field structure decides what shows.
        if (c == 0x13) {
            flushRun(run, runChp, inTable);
            fields.push_back(Field{});
            continue;
        }
        if (c == 0x14 && !fields.empty()) {
            flushRun(run, runChp, inTable);
            Field &field = fields.back();
            field.inResult = true;
            static const QRegularExpression hyperlink(
                QStringLiteral(R"re(^\s*HYPERLINK\s+(?:(\\l)\s+)?"?([^"\s]+)"?)re"),
                QRegularExpression::CaseInsensitiveOption);
            const QRegularExpressionMatch match = hyperlink.match(field.instruction);
            if (match.hasMatch())
                field.link = (match.captured(1).isEmpty() ? QString() : QStringLiteral("#")) + match.captured(2);
            field.kind = pageFieldKind(field.instruction);
            continue;
        }
        if (c == 0x15 && !fields.empty()) {
            flushRun(run, runChp, inTable);
            const Field field = fields.back();
            fields.pop_back();
            // Phonetic guides are EQ fields without a result: the base text
            // is the last argument of their overstrike.
            static const QRegularExpression ruby(QStringLiteral(R"re(^\s*EQ\b.*\\o\s*\\a\w\s*\(.*,([^,()]*)\)\s*$)re"),
                                                 QRegularExpression::DotMatchesEverythingOption);
            if (!field.inResult) {
                const QRegularExpressionMatch match = ruby.match(field.instruction);
                if (match.hasMatch()) {
                    QString base = match.captured(1);
                    flushRun(base, chp, inTable);
                }
                // A page field that was never given a result still shows one.
                if (const FieldKind kind = pageFieldKind(field.instruction); kind != FieldKind::None) {
                    Field shown;
                    shown.inResult = true;
                    shown.kind = kind;
                    fields.push_back(shown);
                    QString number = HeaderFooterSet::fieldText(kind, 0, 1);
                    flushRun(number, chp, inTable);
                    fields.pop_back();
                }
            }
            continue;
        }
        bool hiddenByField = false;
        for (const Field &field : fields) {
            if (!field.inResult) {
                hiddenByField = true;
                break;
            }
        }
        if (hiddenByField) {
            if (!fields.empty() && !fields.back().inResult && fields.back().instruction.size() < 4096)
                fields.back().instruction += QChar(c);
            continue;
        }
        if (chp.special) {
            if (c == 0x01 && !chp.ole) {
                flushRun(run, runChp, inTable);
                emitPicture(chp, inTable);
                continue;
            }
            if (c == 0x02) {
                const auto note = noteMarks.find(quint32(i));
                if (note == noteMarks.end())
                    continue;
                flushRun(run, runChp, inTable);
                Chp noteChp = chp;
                noteChp.props.note = note->second.text;
                noteChp.props.endnote = note->second.endnote;
                QString mark = note->second.mark;
                flushRun(mark, noteChp, inTable);
                continue;
            }
            if (c < 0x20)
                continue; // annotation marks, drawn objects, separators
        }

        QChar out(c);
        switch (c) {
        case 0x0B: out = QChar(QChar::LineSeparator); break;
        case 0x0C:
        case 0x0E: {
            flushRun(run, runChp, inTable);
            if (const auto section = sectionEndingAt(quint32(i + 1)))
                endSection(*section, pap.props, finalProps(chp, {}), inTable);
            else
                builder->pageBreak(pap.props, finalProps(chp, {}), inTable);
            continue;
        }
        case 0x1E: out = QChar(0x2011); break; // non-breaking hyphen
        case 0x1F: out = QChar(0x00AD); break; // optional hyphen: shown only at a line end
        case 0x09: break;
        case 0x01: case 0x08: case 0x02: case 0x05: case 0x03: case 0x04: continue;
        default:
            if (c < 0x20)
                continue;
            break;
        }
        if (!runTakesChp) {
            flushRun(run, runChp, inTable);
            runChp = chp;
            haveRun = true;
            runTakesChp = true;
        }
        run += out;
    }
    flushRun(run, runChp, inTable);

    const CharacterProperties markProps = finalProps(charChp(markIndex), {});
    const std::optional<size_t> endsSection = mark == 0x0C ? sectionEndingAt(quint32(end)) : std::nullopt;
    if (endsSection)
        endSection(*endsSection, pap.props, markProps, inTable);
    else if (endsCell)
        builder->endCell(pap.props, true);
    else
        builder->endParagraph(pap.props, charFormats.format(markProps), inTable);
}

void WordReader::Private::endSection(size_t section, const ParagraphProperties &para, const CharacterProperties &mark,
                                     bool inTable)
{
    if (builder == &bodyBuilder) {
        builder->setSectionProperties(sections[section]);
        builtSections.resize(size_t(builder->currentSection()) + 1, section);
        builtSections.back() = section;
    }
    builder->sectionBreak(para, mark, inTable);
}

} // namespace tamapiko::engine::word
