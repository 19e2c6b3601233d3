#include "engine/formats/RtfReader.h"

#include "engine/EngineProperties.h"
#include "engine/formats/RtfCodePage.h"
#include "engine/formats/RtfControlWords.h"
#include "engine/formats/RtfPicture.h"
#include "engine/formats/RtfTokenizer.h"

#include <QColor>
#include <QCryptographicHash>
#include <QHash>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextTable>
#include <QUrl>

#include <map>
#include <optional>
#include <vector>

namespace tamapiko::engine::rtf {

namespace {

// Deeper groups share the state of this level: enough for any real file,
// and a hostile file of a million nested braces costs no more memory.
constexpr int kMaxStateDepth = 2000;

enum class Destination : quint8 {
    Body,             // text goes into the document
    FontTable,
    ColorTable,
    StyleSheet,
    Skip,             // text and words are ignored up to the group's end
    UnicodeAlternate, // \upr: skipped except for its \ud part
    Picture,
    FieldInstruction,
    FrameStyle,
};

enum Side { Top, Bottom, Left, Right, Bar, SideCount };

struct Border
{
    bool present = false;
    bool isDouble = false;
    int width = 0;  // twips
    int space = 0;  // twips
    int color = -1; // colour table index
    bool operator==(const Border &) const = default;
};

struct CharState
{
    int font = -1;
    int halfPoints = 24;
    bool bold = false;
    bool italic = false;
    bool strike = false;
    bool doubleStrike = false;
    bool hidden = false;
    UnderlineKind underline = UnderlineKind::None;
    int foreColor = -1;
    int backColor = -1;
    quint8 vertical = 0; // 0 baseline, 1 superscript, 2 subscript
    int offset = 0;      // half-points, \up positive
    int link = -1;       // index into the reader's hyperlink targets
    bool operator==(const CharState &) const = default;
};

struct ParaState
{
    int alignment = 0; // 0 left, 1 right, 2 centre, 3 justified
    int leftIndent = 0;
    int rightIndent = 0;
    int firstIndent = 0;
    int spaceBefore = 0;
    int spaceAfter = 0;
    int lineSpacing = 0;
    bool lineMultiple = false;
    QList<QTextOption::Tab> tabs;
    QTextOption::TabType pendingTabType = QTextOption::LeftTab;
    bool keepNext = false;
    bool pageBreakBefore = false;
    Border borders[SideCount];
    int frameStyle = -1; // exact FrameStyle bits when the file carried them
    bool inTable = false;
    bool operator==(const ParaState &) const = default;
};

struct GroupState
{
    Destination destination = Destination::Body;
    Destination alternateOuter = Destination::Body; // where \ud text goes
    int unicodeSkip = 1;
    CharState chr;
    ParaState para;
};

struct FontEntry
{
    QString name;
    int codePage = 1252;
};

struct CellDef
{
    int right = 0; // \cellx, twips from the left margin
    Border borders[4];
    int shading = -1;
    bool mergeFirst = false;
    bool merge = false;
    bool verticalMergeFirst = false;
    bool verticalMerge = false;
};

struct RowDef
{
    QList<CellDef> cells;
    int gap = 0;
    int left = 0;
};

struct TableBuild
{
    QTextTable *table = nullptr;
    int row = 0;
    int column = 0;
    bool needRow = false;  // \row ended the last row; the next content starts one
    bool needCell = false; // \cell ended a cell; the next content goes to the next one
    bool widthsSet = false;
    QHash<quint64, CellDef> cellDefs; // (row << 32 | column) -> definition
};

struct StyleDef
{
    CharState chr;
    ParaState para;
};

// Borders and their target: the \brdr* words that follow a side apply to it.
enum class BorderTarget { None, Paragraph, ParagraphBox, Cell, Ignored };

} // namespace

class RtfReader::Private
{
public:
    Private(QTextCursor c, Mode m) : cursor(std::move(c)), mode(m) {}

    bool read(QByteArrayView data, QString *error);

    QTextCursor cursor;
    Mode mode;
    bool hasPage = false;
    PageSetup page;
    bool landscape = false;

private:
    GroupState &state() { return stack.back(); }

    void groupStart();
    void groupEnd();
    void controlWord(const Token &token);
    void controlSymbol(char symbol);
    void text(QByteArrayView bytes);
    void hexByte(quint8 value);
    void binary(QByteArrayView bytes);

    void applyWord(const ControlWord &word, bool hasParameter, int parameter);
    void applyBorderWord(Action action, int parameter);
    Border *borderTarget();

    // Body text
    void appendBytes(QByteArrayView bytes);
    void appendChars(const QString &chars);
    void appendUnicode(int value);
    void prepareAppend();
    void decodeBytes();
    void flushText();
    int currentCodePage() const;

    // Structure
    void ensureContext();
    void endParagraph();
    void pageBreak();
    void startTable();
    void endTable();
    void endCell();
    void endRow();
    void finishPicture();
    void finishFieldInstruction(GroupState &fieldGroup);
    void finishFontEntry();
    int fontEntryCodePage() const;
    void finishStyleEntry(const GroupState &entry);
    void finish();

    QTextCharFormat charFormat(const CharState &chr);
    QTextBlockFormat blockFormat(const ParaState &para) const;
    QColor color(int index) const;
    CharState defaultCharState() const;
    void applyStyle(const StyleDef &style);

    std::vector<GroupState> stack;
    int depth = 0;                // nesting, also beyond kMaxStateDepth
    GroupState overflowSaved;     // the state of the deepest kept level
    bool ignorableNext = false;   // after \*
    int fallbackToSkip = 0;       // bytes of \u fallback still to skip
    char16_t highSurrogate = 0;

    int ansiCodePage = 1252;
    int defaultFont = -1;
    std::map<int, FontEntry> fonts;
    QList<QColor> colors;
    int red = 0, green = 0, blue = 0;
    bool colorSet = false;

    // Font table entry being read
    int fontNumber = -1;
    int fontCharset = -1;
    int fontCodePage = 0;
    QByteArray fontName;     // bytes not yet decoded
    QString fontNameText;    // decoded so far (\u characters break the bytes up)
    bool fontEntryOpen = false;

    // Style sheet entry being read
    int styleNumber = 0;
    int styleKind = 0; // 0 paragraph, 1 character, 2 other
    std::map<int, StyleDef> paragraphStyles;
    std::map<int, StyleDef> characterStyles;

    // Pending body text, all in one character format
    CharState pendingState;
    QByteArray pendingBytes;
    int pendingCodePage = 1252;
    QString pendingText;
    CodePageDecoder decoder;

    CharState formatState;
    QTextCharFormat formatCache;
    bool formatCacheValid = false;

    // Document structure
    bool blockIsOurs = false;     // the current block was started by this reader
    bool blockHasContent = false; // anything was inserted into the current block
    bool paragraphPending = false; // a \par ended the block; the next one starts with content
    QTextCharFormat pendingMarkFormat;
    bool breakBeforeBlock = false;
    bool breakFromSection = false;
    std::optional<TableBuild> table;
    RowDef rowDef;
    CellDef pendingCell;
    BorderTarget borderTargetKind = BorderTarget::None;
    int borderSide = 0;

    PictureSource picture;
    int pictureNibble = -1;
    QByteArray fieldInstruction;
    QStringList links;
    int pendingFrameStyle = -1;
    int footnoteCount = 0;
    std::optional<ParaState> documentEndPara;
};

RtfReader::RtfReader(QTextCursor cursor, Mode mode)
    : d(std::make_unique<Private>(std::move(cursor), mode))
{
}

RtfReader::~RtfReader() = default;

bool RtfReader::read(QByteArrayView data, QString *error) { return d->read(data, error); }
bool RtfReader::hasPageSetup() const { return d->hasPage; }

PageSetup RtfReader::pageSetup() const
{
    PageSetup result = d->page;
    if (d->landscape && result.width < result.height)
        std::swap(result.width, result.height);
    return result;
}

bool RtfReader::Private::read(QByteArrayView data, QString *error)
{
    qsizetype start = 0;
    while (start < data.size() && QChar::isSpace(uchar(data[start])))
        ++start;
    if (!data.sliced(start).startsWith("{\\rtf")) {
        if (error)
            *error = QStringLiteral("The data is not RTF (it does not begin with {\\rtf).");
        return false;
    }

    stack.reserve(64);
    stack.push_back(GroupState{});
    state().chr = defaultCharState();
    blockIsOurs = mode == Mode::Load || cursor.block().length() <= 1;

    Tokenizer tokenizer(data.sliced(start));
    for (;;) {
        const Token token = tokenizer.next();
        if (token.type == Token::End)
            break;
        const bool wasIgnorable = ignorableNext;
        ignorableNext = false;
        switch (token.type) {
        case Token::GroupStart: groupStart(); break;
        case Token::GroupEnd: groupEnd(); break;
        case Token::ControlWord:
            ignorableNext = wasIgnorable;
            controlWord(token);
            ignorableNext = false;
            break;
        case Token::ControlSymbol: controlSymbol(token.symbol); break;
        case Token::HexByte: hexByte(token.byteValue); break;
        case Token::Text: text(token.bytes); break;
        case Token::Binary: binary(token.bytes); break;
        case Token::End: break;
        }
    }
    finish();
    return true;
}

// ---------------------------------------------------------------- groups

void RtfReader::Private::groupStart()
{
    fallbackToSkip = 0;
    ++depth;
    if (depth < kMaxStateDepth)
        stack.push_back(stack.back());
    else if (depth == kMaxStateDepth)
        overflowSaved = stack.back(); // deeper levels share the top state
    // Each style sheet entry starts afresh.
    if (state().destination == Destination::StyleSheet) {
        styleNumber = 0;
        styleKind = 0;
    }
}

void RtfReader::Private::groupEnd()
{
    fallbackToSkip = 0;
    if (depth == 0)
        return; // a stray closing brace: keep reading what follows
    --depth;
    if (depth >= kMaxStateDepth)
        return;
    if (depth == kMaxStateDepth - 1) {
        stack.back() = overflowSaved;
        return;
    }

    // Text is flushed lazily; text typed inside a table must get there
    // before the group that put it there is gone.
    if (stack.back().para.inTable != stack[stack.size() - 2].para.inTable)
        flushText();
    // The document's own group ends: a last paragraph without \par takes
    // the properties in effect here, not those outside the document.
    if (depth == 0)
        documentEndPara = stack.back().para;

    GroupState closed = std::move(stack.back());
    stack.pop_back();
    GroupState &outer = stack.back();

    // Text runs end at group ends when the format changes; flushing lazily
    // keeps runs long, so nothing to do for Body here.
    switch (closed.destination) {
    case Destination::Picture:
        if (outer.destination != Destination::Picture)
            finishPicture();
        break;
    case Destination::FieldInstruction:
        if (outer.destination != Destination::FieldInstruction)
            finishFieldInstruction(outer);
        break;
    case Destination::FontTable:
        if (fontEntryOpen)
            finishFontEntry();
        break;
    case Destination::StyleSheet:
        if (outer.destination == Destination::StyleSheet)
            finishStyleEntry(closed);
        break;
    default:
        break;
    }
    if (pendingFrameStyle >= 0 && closed.destination == Destination::FrameStyle) {
        outer.para.frameStyle = pendingFrameStyle;
        pendingFrameStyle = -1;
    }
}

// ---------------------------------------------------------------- words

void RtfReader::Private::controlWord(const Token &token)
{
    GroupState &s = state();
    const ControlWord *word = findControlWord(token.name);

    if (s.destination == Destination::Skip)
        return;
    if (s.destination == Destination::UnicodeAlternate) {
        if (word && word->action == Action::Ud)
            s.destination = s.alternateOuter;
        return;
    }
    const bool styleInSheet = word && s.destination == Destination::StyleSheet
        && (word->action == Action::CharStyle || word->action == Action::OtherStyle);
    if (ignorableNext && !styleInSheet && (!word || word->kind != WordKind::Destination)) {
        s.destination = Destination::Skip;
        return;
    }
    if (!word)
        return; // unknown words are ignored
    if (fallbackToSkip > 0 && s.destination == Destination::Body && word->action != Action::Unicode) {
        --fallbackToSkip;
        return;
    }
    applyWord(*word, token.hasParameter, token.hasParameter ? token.parameter : word->value);
}

void RtfReader::Private::applyWord(const ControlWord &word, bool hasParameter, int p)
{
    GroupState &s = state();
    CharState &chr = s.chr;
    ParaState &para = s.para;
    const bool on = word.kind != WordKind::Toggle || !hasParameter || p != 0;
    const Destination dest = s.destination;
    const bool body = dest == Destination::Body;

    switch (word.action) {
    // Destinations
    case Action::RtfHeader: break;
    case Action::FontTable: s.destination = Destination::FontTable; break;
    case Action::ColorTable:
        s.destination = Destination::ColorTable;
        colors.clear();
        colorSet = false;
        red = green = blue = 0;
        break;
    case Action::StyleSheet:
        s.destination = Destination::StyleSheet;
        s.chr = defaultCharState();
        s.para = ParaState();
        break;
    case Action::Skip:
    case Action::Footnote:
        s.destination = Destination::Skip;
        break;
    case Action::Picture:
        if (body) {
            s.destination = Destination::Picture;
            picture = PictureSource();
            pictureNibble = -1;
        } else {
            s.destination = Destination::Skip;
        }
        break;
    case Action::ShapePicture:
    case Action::Field:
    case Action::FieldResult:
    case Action::ListText:
    case Action::ObjectResult:
        break; // their text is body text
    case Action::FieldInstruction:
        s.destination = Destination::FieldInstruction;
        fieldInstruction.clear();
        break;
    case Action::Upr:
        s.alternateOuter = s.destination;
        s.destination = Destination::UnicodeAlternate;
        break;
    case Action::Ud: break;
    case Action::FrameStyleExtension:
        s.destination = Destination::FrameStyle;
        pendingFrameStyle = p;
        break;
    case Action::BinaryData: break;

    // Document
    case Action::Ansi: ansiCodePage = 1252; break;
    case Action::Mac: ansiCodePage = 10000; break;
    case Action::Pc: ansiCodePage = 437; break;
    case Action::Pca: ansiCodePage = 850; break;
    case Action::AnsiCodePage:
        if (p > 0)
            ansiCodePage = p;
        break;
    case Action::DefaultFont:
        defaultFont = p;
        if (chr.font < 0)
            chr.font = p;
        break;
    case Action::UnicodeSkip: s.unicodeSkip = std::clamp(p, 0, 16); break;
    case Action::Unicode:
        if (body || dest == Destination::FieldInstruction || dest == Destination::FontTable) {
            if (body) {
                appendUnicode(p);
            } else if (dest == Destination::FontTable && p != 0) {
                fontNameText += decoder.decode(fontEntryCodePage(), fontName);
                fontName.clear();
                fontNameText += QChar(char16_t(p < 0 ? p + 65536 : p));
                fontEntryOpen = true;
            }
            fallbackToSkip = s.unicodeSkip;
        }
        break;
    case Action::PaperWidth: if (p > 0) { page.width = p; hasPage = true; } break;
    case Action::PaperHeight: if (p > 0) { page.height = p; hasPage = true; } break;
    case Action::MarginLeft: if (p >= 0) { page.marginLeft = p; hasPage = true; } break;
    case Action::MarginRight: if (p >= 0) { page.marginRight = p; hasPage = true; } break;
    case Action::MarginTop: if (p >= 0) { page.marginTop = p; hasPage = true; } break;
    case Action::MarginBottom: if (p >= 0) { page.marginBottom = p; hasPage = true; } break;
    case Action::Landscape: landscape = true; break;
    case Action::SectionDefaults: break;
    case Action::SectionBreakNone:
        if (breakFromSection)
            breakBeforeBlock = false;
        break;
    case Action::SectionBreakPage: break;

    // Tables of fonts and colours
    case Action::FontNumber:
        if (dest == Destination::FontTable) {
            if (fontEntryOpen)
                finishFontEntry();
            fontEntryOpen = true;
            fontNumber = p;
            fontCharset = -1;
            fontCodePage = 0;
            fontName.clear();
            fontNameText.clear();
        } else {
            chr.font = p;
        }
        break;
    case Action::FontFamily: break;
    case Action::FontCharset: if (dest == Destination::FontTable) fontCharset = p; break;
    case Action::FontCodePage: if (dest == Destination::FontTable) fontCodePage = p; break;
    case Action::Red: red = std::clamp(p, 0, 255); colorSet = true; break;
    case Action::Green: green = std::clamp(p, 0, 255); colorSet = true; break;
    case Action::Blue: blue = std::clamp(p, 0, 255); colorSet = true; break;

    // Character formatting
    case Action::Plain: {
        const int link = chr.link;
        chr = defaultCharState();
        chr.link = link; // a field's result stays a link through \plain
        break;
    }
    case Action::FontSize: chr.halfPoints = p > 0 ? std::min(p, 3276) : 24; break;
    case Action::Bold: chr.bold = on; break;
    case Action::Italic: chr.italic = on; break;
    case Action::Underline: chr.underline = on ? UnderlineKind(word.value) : UnderlineKind::None; break;
    case Action::UnderlineNone: chr.underline = UnderlineKind::None; break;
    case Action::Strike: chr.strike = on; break;
    case Action::DoubleStrike: chr.doubleStrike = on; break;
    case Action::ForeColor: chr.foreColor = p; break;
    case Action::Highlight:
    case Action::BackColor: chr.backColor = p; break;
    case Action::Superscript: chr.vertical = 1; break;
    case Action::Subscript: chr.vertical = 2; break;
    case Action::NoSuperSub: chr.vertical = 0; chr.offset = 0; break;
    case Action::Up: chr.offset = p; break;
    case Action::Down: chr.offset = -p; break;
    case Action::Hidden: chr.hidden = on; break;
    case Action::CharStyle:
        if (dest == Destination::StyleSheet) {
            styleNumber = p;
            styleKind = 1;
        } else if (const auto it = characterStyles.find(p); it != characterStyles.end()) {
            const StyleDef style = it->second;
            const CharState defaults = defaultCharState();
            CharState &c = chr;
#define TPK_APPLY(field) if (!(style.chr.field == defaults.field)) c.field = style.chr.field
            TPK_APPLY(font); TPK_APPLY(halfPoints); TPK_APPLY(bold); TPK_APPLY(italic);
            TPK_APPLY(strike); TPK_APPLY(underline); TPK_APPLY(foreColor); TPK_APPLY(backColor);
            TPK_APPLY(vertical); TPK_APPLY(offset);
#undef TPK_APPLY
        }
        break;
    case Action::OtherStyle:
        if (dest == Destination::StyleSheet)
            styleKind = 2;
        break;

    // Paragraph formatting
    case Action::Pard:
        para = ParaState();
        borderTargetKind = BorderTarget::None;
        break;
    case Action::AlignLeft: para.alignment = 0; break;
    case Action::AlignRight: para.alignment = 1; break;
    case Action::AlignCenter: para.alignment = 2; break;
    case Action::AlignJustify: para.alignment = 3; break;
    case Action::LeftIndent: para.leftIndent = p; break;
    case Action::RightIndent: para.rightIndent = p; break;
    case Action::FirstIndent: para.firstIndent = p; break;
    case Action::SpaceBefore: para.spaceBefore = p; break;
    case Action::SpaceAfter: para.spaceAfter = p; break;
    case Action::LineSpacing: para.lineSpacing = p; break;
    case Action::LineMultiple: para.lineMultiple = p != 0; break;
    case Action::TabRight: para.pendingTabType = QTextOption::RightTab; break;
    case Action::TabCenter: para.pendingTabType = QTextOption::CenterTab; break;
    case Action::TabDecimal: para.pendingTabType = QTextOption::DelimiterTab; break;
    case Action::TabLeaderDot:
    case Action::TabLeaderHyphen:
    case Action::TabLeaderUnderline: break;
    case Action::TabPosition:
        if (para.tabs.size() < 64) {
            const QChar delimiter = para.pendingTabType == QTextOption::DelimiterTab ? QLatin1Char('.') : QChar();
            para.tabs.append(QTextOption::Tab(p / 20.0, para.pendingTabType, delimiter));
        }
        para.pendingTabType = QTextOption::LeftTab;
        break;
    case Action::KeepNext: para.keepNext = on; break;
    case Action::PageBreakBefore: para.pageBreakBefore = on; break;
    case Action::ParagraphStyle:
        if (dest == Destination::StyleSheet) {
            styleNumber = p;
            styleKind = 0;
        } else if (const auto it = paragraphStyles.find(p); it != paragraphStyles.end()) {
            applyStyle(it->second);
        }
        break;
    case Action::InTable: para.inTable = true; break;
    case Action::TableDepth: if (p > 0) para.inTable = true; break;

    case Action::BorderTop: borderTargetKind = BorderTarget::Paragraph; borderSide = Top; para.borders[Top].present = true; break;
    case Action::BorderBottom: borderTargetKind = BorderTarget::Paragraph; borderSide = Bottom; para.borders[Bottom].present = true; break;
    case Action::BorderLeft: borderTargetKind = BorderTarget::Paragraph; borderSide = Left; para.borders[Left].present = true; break;
    case Action::BorderRight: borderTargetKind = BorderTarget::Paragraph; borderSide = Right; para.borders[Right].present = true; break;
    case Action::BorderBar: borderTargetKind = BorderTarget::Paragraph; borderSide = Bar; para.borders[Bar].present = true; break;
    case Action::BorderBox:
        borderTargetKind = BorderTarget::ParagraphBox;
        for (int side = Top; side <= Right; ++side)
            para.borders[side].present = true;
        break;
    case Action::BorderBetween:
    case Action::OtherBorder: borderTargetKind = BorderTarget::Ignored; break;
    case Action::BorderSingle:
    case Action::BorderDouble:
    case Action::BorderNone:
    case Action::BorderWidth:
    case Action::BorderSpace:
    case Action::BorderColor:
        applyBorderWord(word.action, p);
        break;

    // Breaks and characters
    case Action::Paragraph: if (body) endParagraph(); break;
    case Action::Section:
        if (body) {
            endParagraph();
            breakBeforeBlock = true;
            breakFromSection = true;
        }
        break;
    case Action::Page: if (body) pageBreak(); break;
    case Action::Character: if (body) appendChars(QString(QChar(word.character))); break;
    case Action::FootnoteNumber:
        if (body)
            appendChars(QString::number(++footnoteCount));
        break;

    // Tables
    case Action::RowDefaults:
        rowDef = RowDef();
        pendingCell = CellDef();
        borderTargetKind = BorderTarget::None;
        break;
    case Action::CellBoundary:
        if (rowDef.cells.size() < 63) {
            pendingCell.right = p;
            rowDef.cells.append(pendingCell);
        }
        pendingCell = CellDef();
        borderTargetKind = BorderTarget::None;
        break;
    case Action::RowGap: rowDef.gap = p; break;
    case Action::RowLeft: rowDef.left = p; break;
    case Action::Cell: if (body) endCell(); break;
    case Action::Row: if (body) endRow(); break;
    case Action::NestedCell:
        // Nested tables are flattened: each inner cell becomes a paragraph.
        if (body && blockHasContent)
            endParagraph();
        break;
    case Action::NestedRow: break;
    case Action::CellMergeFirst: pendingCell.mergeFirst = true; break;
    case Action::CellMerge: pendingCell.merge = true; break;
    case Action::CellVerticalMergeFirst: pendingCell.verticalMergeFirst = true; break;
    case Action::CellVerticalMerge: pendingCell.verticalMerge = true; break;
    case Action::CellBorderTop: borderTargetKind = BorderTarget::Cell; borderSide = Top; pendingCell.borders[Top].present = true; break;
    case Action::CellBorderBottom: borderTargetKind = BorderTarget::Cell; borderSide = Bottom; pendingCell.borders[Bottom].present = true; break;
    case Action::CellBorderLeft: borderTargetKind = BorderTarget::Cell; borderSide = Left; pendingCell.borders[Left].present = true; break;
    case Action::CellBorderRight: borderTargetKind = BorderTarget::Cell; borderSide = Right; pendingCell.borders[Right].present = true; break;
    case Action::CellShading: pendingCell.shading = p; break;

    // Pictures
    case Action::PngBlip: picture.format = PictureFormat::Png; break;
    case Action::JpegBlip: picture.format = PictureFormat::Jpeg; break;
    case Action::DeviceIndependentBitmap: picture.format = PictureFormat::Dib; break;
    case Action::DeviceDependentBitmap: picture.format = PictureFormat::DeviceBitmap; break;
    case Action::WindowsMetafile: picture.format = PictureFormat::Wmf; break;
    case Action::EnhancedMetafile: picture.format = PictureFormat::Emf; break;
    case Action::MacPicture: picture.format = PictureFormat::MacPict; break;
    case Action::PictureWidth: picture.width = p; break;
    case Action::PictureHeight: picture.height = p; break;
    case Action::PictureGoalWidth: picture.goalWidth = p; break;
    case Action::PictureGoalHeight: picture.goalHeight = p; break;
    case Action::PictureScaleX: picture.scaleX = p; break;
    case Action::PictureScaleY: picture.scaleY = p; break;
    case Action::BitmapBitsPerPixel: picture.bitsPerPixel = p; break;
    case Action::BitmapPlanes: break;
    case Action::BitmapWidthBytes: picture.widthBytes = p; break;

    case Action::None: break;
    }
}

void RtfReader::Private::applyBorderWord(Action action, int p)
{
    auto apply = [&](Border &border) {
        switch (action) {
        case Action::BorderSingle: border.isDouble = false; break;
        case Action::BorderDouble: border.isDouble = true; break;
        case Action::BorderNone: border.present = false; break;
        case Action::BorderWidth: border.width = std::clamp(p, 0, 1000); break;
        case Action::BorderSpace: border.space = std::clamp(p, 0, 2000); break;
        case Action::BorderColor: border.color = p; break;
        default: break;
        }
    };
    switch (borderTargetKind) {
    case BorderTarget::Paragraph: apply(state().para.borders[borderSide]); break;
    case BorderTarget::ParagraphBox:
        for (int side = Top; side <= Right; ++side)
            apply(state().para.borders[side]);
        break;
    case BorderTarget::Cell: apply(pendingCell.borders[borderSide]); break;
    case BorderTarget::None:
    case BorderTarget::Ignored: break;
    }
}

void RtfReader::Private::controlSymbol(char symbol)
{
    GroupState &s = state();
    if (s.destination == Destination::Skip || s.destination == Destination::UnicodeAlternate)
        return;
    switch (symbol) {
    case '*':
        ignorableNext = true;
        return;
    case '\\':
    case '{':
    case '}': {
        const char byte = symbol;
        text(QByteArrayView(&byte, 1));
        return;
    }
    case '\n':
    case '\r':
        if (fallbackToSkip > 0 && s.destination == Destination::Body) {
            --fallbackToSkip;
            return;
        }
        if (s.destination == Destination::Body)
            endParagraph();
        return;
    default:
        break;
    }
    if (fallbackToSkip > 0 && s.destination == Destination::Body) {
        --fallbackToSkip;
        return;
    }
    const char name[2] = {symbol, 0};
    if (const ControlWord *word = findControlWord(QByteArrayView(name, 1)))
        applyWord(*word, false, 0);
}

// ---------------------------------------------------------------- text

void RtfReader::Private::text(QByteArrayView bytes)
{
    GroupState &s = state();
    switch (s.destination) {
    case Destination::Body:
        if (fallbackToSkip > 0) {
            const qsizetype skipped = std::min<qsizetype>(fallbackToSkip, bytes.size());
            fallbackToSkip -= int(skipped);
            bytes = bytes.sliced(skipped);
        }
        if (!bytes.isEmpty())
            appendBytes(bytes);
        break;
    case Destination::FontTable:
        if (fallbackToSkip > 0) {
            const qsizetype skipped = std::min<qsizetype>(fallbackToSkip, bytes.size());
            fallbackToSkip -= int(skipped);
            bytes = bytes.sliced(skipped);
        }
        for (const char c : bytes) {
            if (c == ';') {
                finishFontEntry();
            } else {
                fontName.append(c);
                fontEntryOpen = true;
            }
        }
        break;
    case Destination::ColorTable:
        for (const char c : bytes) {
            if (c != ';')
                continue;
            colors.append(colorSet ? QColor(red, green, blue) : QColor());
            formatCacheValid = false;
            red = green = blue = 0;
            colorSet = false;
        }
        break;
    case Destination::Picture:
        appendHexDigits(bytes, picture.bytes, pictureNibble);
        break;
    case Destination::FieldInstruction:
        fieldInstruction.append(bytes.data(), bytes.size());
        break;
    case Destination::StyleSheet:
    case Destination::Skip:
    case Destination::UnicodeAlternate:
    case Destination::FrameStyle:
        break;
    }
}

void RtfReader::Private::hexByte(quint8 value)
{
    const char byte = char(value);
    if (fallbackToSkip > 0) {
        --fallbackToSkip;
        return;
    }
    if (state().destination == Destination::Picture)
        return; // hex escapes are not picture data
    text(QByteArrayView(&byte, 1));
}

void RtfReader::Private::binary(QByteArrayView bytes)
{
    if (fallbackToSkip > 0) {
        --fallbackToSkip;
        return;
    }
    if (state().destination == Destination::Picture)
        picture.bytes.append(bytes.data(), bytes.size());
}

int RtfReader::Private::currentCodePage() const
{
    const int font = stack.back().chr.font;
    if (const auto it = fonts.find(font); it != fonts.end())
        return it->second.codePage;
    return ansiCodePage;
}

void RtfReader::Private::prepareAppend()
{
    const CharState &current = state().chr;
    if (!(current == pendingState)) {
        flushText();
        pendingState = current;
    }
    if (highSurrogate) {
        pendingText.append(QChar(QChar::ReplacementCharacter));
        highSurrogate = 0;
    }
}

void RtfReader::Private::appendBytes(QByteArrayView bytes)
{
    if (state().chr.hidden)
        return;
    prepareAppend();
    const int codePage = currentCodePage();
    if (codePage != pendingCodePage) {
        decodeBytes();
        pendingCodePage = codePage;
    }
    pendingBytes.append(bytes.data(), bytes.size());
}

void RtfReader::Private::appendChars(const QString &chars)
{
    if (state().chr.hidden)
        return;
    prepareAppend();
    decodeBytes();
    pendingText.append(chars);
}

void RtfReader::Private::appendUnicode(int value)
{
    if (state().chr.hidden)
        return;
    if (value < 0)
        value += 65536;
    if (value <= 0 || value > 0xFFFF)
        return;
    const char16_t unit = char16_t(value);
    if (QChar::isHighSurrogate(unit)) {
        prepareAppend(); // an earlier unpaired high surrogate becomes U+FFFD
        decodeBytes();
        highSurrogate = unit;
        return;
    }
    if (QChar::isLowSurrogate(unit)) {
        const char16_t high = highSurrogate;
        highSurrogate = 0;
        prepareAppend();
        decodeBytes();
        if (high) {
            pendingText.append(QChar(high));
            pendingText.append(QChar(unit));
        } else {
            pendingText.append(QChar(QChar::ReplacementCharacter));
        }
        return;
    }
    appendChars(QString(QChar(unit)));
}

void RtfReader::Private::decodeBytes()
{
    if (pendingBytes.isEmpty())
        return;
    pendingText.append(decoder.decode(pendingCodePage, pendingBytes));
    pendingBytes.clear();
}

void RtfReader::Private::flushText()
{
    decodeBytes();
    if (pendingText.isEmpty())
        return;
    ensureContext();
    // Line feeds and carriage returns never come from the file's own line
    // ends; a decoded one would split the block behind QTextCursor's back.
    pendingText.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    cursor.insertText(pendingText, charFormat(pendingState));
    pendingText.clear();
    blockHasContent = true;
}

// ---------------------------------------------------------------- formats

CharState RtfReader::Private::defaultCharState() const
{
    CharState chr;
    chr.font = defaultFont;
    return chr;
}

QColor RtfReader::Private::color(int index) const
{
    return index >= 0 && index < colors.size() ? colors.at(index) : QColor();
}

QTextCharFormat RtfReader::Private::charFormat(const CharState &chr)
{
    if (formatCacheValid && chr == formatState)
        return formatCache;

    QTextCharFormat format;
    if (const auto it = fonts.find(chr.font); it != fonts.end() && !it->second.name.isEmpty())
        format.setFontFamilies(QStringList{it->second.name});
    format.setFontPointSize(chr.halfPoints / 2.0);
    format.setFontWeight(chr.bold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(chr.italic);
    if (chr.strike || chr.doubleStrike)
        format.setFontStrikeOut(true);
    if (chr.doubleStrike)
        format.setProperty(RtfDoubleStrike, true);

    switch (chr.underline) {
    case UnderlineKind::None: break;
    case UnderlineKind::Single: format.setUnderlineStyle(QTextCharFormat::SingleUnderline); break;
    case UnderlineKind::Dotted: format.setUnderlineStyle(QTextCharFormat::DotLine); break;
    case UnderlineKind::Dash: format.setUnderlineStyle(QTextCharFormat::DashUnderline); break;
    case UnderlineKind::DashDot: format.setUnderlineStyle(QTextCharFormat::DashDotLine); break;
    case UnderlineKind::DashDotDot: format.setUnderlineStyle(QTextCharFormat::DashDotDotLine); break;
    case UnderlineKind::Wave:
    case UnderlineKind::DoubleWave:
    case UnderlineKind::HeavyWave: format.setUnderlineStyle(QTextCharFormat::WaveUnderline); break;
    case UnderlineKind::Double:
    case UnderlineKind::Thick:
    case UnderlineKind::Words:
    case UnderlineKind::LongDash: format.setUnderlineStyle(QTextCharFormat::SingleUnderline); break;
    }
    // Keep the exact kind where Qt's style is coarser, for writing back.
    switch (chr.underline) {
    case UnderlineKind::DoubleWave:
    case UnderlineKind::HeavyWave:
    case UnderlineKind::Double:
    case UnderlineKind::Thick:
    case UnderlineKind::Words:
    case UnderlineKind::LongDash: format.setProperty(RtfUnderlineKind, int(chr.underline)); break;
    default: break;
    }

    if (const QColor fore = color(chr.foreColor); fore.isValid())
        format.setForeground(fore);
    if (const QColor back = color(chr.backColor); back.isValid())
        format.setBackground(back);

    if (chr.vertical == 1 || (chr.vertical == 0 && chr.offset > 0))
        format.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    else if (chr.vertical == 2 || (chr.vertical == 0 && chr.offset < 0))
        format.setVerticalAlignment(QTextCharFormat::AlignSubScript);
    if (chr.offset != 0)
        format.setProperty(RtfBaselineOffset, chr.offset);

    if (chr.link >= 0 && chr.link < links.size()) {
        format.setAnchor(true);
        format.setAnchorHref(links.at(chr.link));
    }

    formatState = chr;
    formatCache = format;
    formatCacheValid = true;
    return format;
}

QTextBlockFormat RtfReader::Private::blockFormat(const ParaState &para) const
{
    QTextBlockFormat format;
    static constexpr Qt::Alignment kAlignments[] = {Qt::AlignLeft, Qt::AlignRight, Qt::AlignHCenter,
                                                    Qt::AlignJustify};
    format.setAlignment(kAlignments[para.alignment]);
    format.setLeftMargin(para.leftIndent / 20.0);
    format.setRightMargin(para.rightIndent / 20.0);
    format.setTextIndent(para.firstIndent / 20.0);
    format.setTopMargin(para.spaceBefore / 20.0);
    format.setBottomMargin(para.spaceAfter / 20.0);
    if (para.lineSpacing != 0) {
        if (para.lineMultiple && para.lineSpacing > 0)
            format.setLineHeight(para.lineSpacing * 100.0 / 240.0, QTextBlockFormat::ProportionalHeight);
        else if (para.lineSpacing > 0)
            format.setLineHeight(para.lineSpacing / 20.0, QTextBlockFormat::MinimumHeight);
        else
            format.setLineHeight(-para.lineSpacing / 20.0, QTextBlockFormat::FixedHeight);
    }
    if (!para.tabs.isEmpty())
        format.setTabPositions(para.tabs);
    if (para.keepNext)
        format.setProperty(ParagraphKeepWithNext, true);
    if (para.pageBreakBefore) {
        format.setProperty(ParagraphPageBreakBefore, true);
        format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    }

    // Paragraph borders become the paragraph frame: each side present or
    // absent, the line single or double, one width and distance for all.
    int style = para.frameStyle;
    const Border *first = nullptr;
    bool anySide = false;
    bool isDouble = false;
    for (int side = Top; side < SideCount; ++side) {
        if (para.borders[side].present) {
            anySide = true;
            if (!first)
                first = &para.borders[side];
            isDouble = isDouble || para.borders[side].isDouble;
        }
    }
    if (style < 0 && anySide) {
        static constexpr int kBits[SideCount] = {0x04, 0x08, 0x01, 0x02, 0x10}; // top, bottom, left, right, bar
        style = 0;
        for (int side = Top; side < SideCount; ++side)
            style |= para.borders[side].present ? kBits[side] : kBits[side] * 0x100;
        style |= isDouble ? 0x40 : 0x20;
    }
    if (style >= 0) {
        format.setProperty(ParagraphFrameStyle, style);
        if (first) {
            format.setProperty(ParagraphFrameLineWidth, first->width);
            format.setProperty(ParagraphFrameDistance, first->space);
        }
    }
    return format;
}

void RtfReader::Private::applyStyle(const StyleDef &style)
{
    GroupState &s = state();
    // What the paragraph set itself before its style number (\\qc\\s28)
    // stays; the style fills in the rest.
    const ParaState own = s.para;
    const ParaState defaults;
    s.para = style.para;
#define TPK_KEEP(field) if (!(own.field == defaults.field)) s.para.field = own.field
    TPK_KEEP(alignment); TPK_KEEP(leftIndent); TPK_KEEP(rightIndent); TPK_KEEP(firstIndent);
    TPK_KEEP(spaceBefore); TPK_KEEP(spaceAfter); TPK_KEEP(lineSpacing); TPK_KEEP(lineMultiple);
    TPK_KEEP(tabs); TPK_KEEP(keepNext); TPK_KEEP(pageBreakBefore); TPK_KEEP(frameStyle);
    for (int side = Top; side < SideCount; ++side)
        TPK_KEEP(borders[side]);
#undef TPK_KEEP
    s.para.inTable = own.inTable;
    const int link = s.chr.link;
    s.chr = style.chr;
    s.chr.link = link;
}

// ---------------------------------------------------------------- tables of the header

int RtfReader::Private::fontEntryCodePage() const
{
    if (fontCodePage > 0)
        return fontCodePage;
    return fontCharset >= 0 ? codePageForCharset(fontCharset, ansiCodePage) : ansiCodePage;
}

void RtfReader::Private::finishFontEntry()
{
    if (!fontEntryOpen)
        return;
    fontEntryOpen = false;
    if (fontNumber < 0 && fontName.isEmpty())
        return;
    const int codePage = fontEntryCodePage();
    FontEntry entry;
    entry.codePage = codePage;
    entry.name = (fontNameText + decoder.decode(codePage, fontName)).trimmed();
    fontNameText.clear();
    if (fontCharset == 2 && fontCodePage <= 0) {
        entry.codePage = entry.name.startsWith(QLatin1String("Wingdings"), Qt::CaseInsensitive)
            ? kWingdingsCodePage : kSymbolCodePage;
    }
    fonts[fontNumber] = entry;
    fontName.clear();
    formatCacheValid = false;
}

void RtfReader::Private::finishStyleEntry(const GroupState &entry)
{
    if (styleKind == 2)
        return;
    StyleDef def{entry.chr, entry.para};
    def.para.inTable = false;
    def.chr.link = -1;
    (styleKind == 1 ? characterStyles : paragraphStyles)[styleNumber] = def;
}

// ---------------------------------------------------------------- structure

// Called before anything goes into the body: opens or closes a table as the
// current paragraph's \intbl says, and moves to the row and cell that the
// last \row or \cell asked for.
void RtfReader::Private::ensureContext()
{
    const bool wantTable = state().para.inTable;
    if (wantTable && !table) {
        paragraphPending = false; // the table follows the ended block directly
        startTable();
    } else if (!wantTable && table) {
        paragraphPending = false;
        endTable();
    }
    if (paragraphPending) {
        paragraphPending = false;
        cursor.insertBlock(cursor.blockFormat(), pendingMarkFormat);
        blockIsOurs = true;
        blockHasContent = false;
    }
    if (!table)
        return;
    QTextTable *t = table->table;
    if (table->needRow) {
        table->needRow = false;
        table->needCell = false;
        t->appendRows(1);
        ++table->row;
        table->column = 0;
        cursor = t->cellAt(table->row, 0).firstCursorPosition();
        blockIsOurs = true;
        blockHasContent = false;
    } else if (table->needCell) {
        table->needCell = false;
        if (table->column >= t->columns())
            t->appendColumns(1);
        cursor = t->cellAt(table->row, table->column).firstCursorPosition();
        blockIsOurs = true;
        blockHasContent = false;
    }
}

void RtfReader::Private::startTable()
{
    TableBuild build;
    const int columns = std::max<int>(1, int(rowDef.cells.size()));
    QTextTableFormat format;
    format.setBorder(0);
    format.setBorderCollapse(true);
    format.setCellSpacing(0);
    format.setCellPadding(0);
    if (rowDef.left > 0)
        format.setLeftMargin(rowDef.left / 20.0);
    build.table = cursor.insertTable(1, columns, format);
    cursor = build.table->cellAt(0, 0).firstCursorPosition();
    table = build;
    blockIsOurs = true;
    blockHasContent = false;
}

void RtfReader::Private::endTable()
{
    QTextTable *t = table->table;
    const int rows = t->rows();
    const int columns = t->columns();
    auto defAt = [&](int row, int column) -> const CellDef * {
        const auto it = table->cellDefs.constFind((quint64(row) << 32) | quint32(column));
        return it == table->cellDefs.cend() ? nullptr : &it.value();
    };
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            const CellDef *def = defAt(row, column);
            if (!def || def->merge || def->verticalMerge)
                continue;
            int across = 1;
            if (def->mergeFirst) {
                while (column + across < columns) {
                    const CellDef *next = defAt(row, column + across);
                    if (!next || !next->merge)
                        break;
                    ++across;
                }
            }
            int down = 1;
            if (def->verticalMergeFirst) {
                while (row + down < rows) {
                    const CellDef *next = defAt(row + down, column);
                    if (!next || !next->verticalMerge)
                        break;
                    ++down;
                }
            }
            if (across > 1 || down > 1)
                t->mergeCells(row, column, down, across);
        }
    }
    cursor = t->lastCursorPosition();
    cursor.movePosition(QTextCursor::NextBlock);
    table.reset();
    blockIsOurs = true;
    blockHasContent = cursor.block().length() > 1;
}

void RtfReader::Private::endCell()
{
    if (!state().para.inTable && !table) {
        // \cell outside any row: read it as a table cell all the same.
        state().para.inTable = true;
    }
    ensureContext();
    flushText();
    if (!table)
        return;
    cursor.setBlockFormat(blockFormat(state().para));
    ++table->column;
    table->needCell = true;
}

void RtfReader::Private::endRow()
{
    if (!table)
        return;
    flushText(); // text outside the table ends it
    if (!table)
        return;
    QTextTable *t = table->table;
    const int row = table->row;
    const int columns = std::min<int>(t->columns(), int(rowDef.cells.size()));
    int previousRight = rowDef.left;
    QList<QTextLength> widths;
    for (int column = 0; column < columns; ++column) {
        const CellDef &def = rowDef.cells.at(column);
        table->cellDefs.insert((quint64(row) << 32) | quint32(column), def);
        QTextTableCell cell = t->cellAt(row, column);
        QTextTableCellFormat format = cell.format().toTableCellFormat();
        static constexpr QTextFrameFormat::BorderStyle kNone = QTextFrameFormat::BorderStyle_None;
        auto side = [&](int index, auto setWidth, auto setStyle, auto setBrush) {
            const Border &border = def.borders[index];
            if (!border.present) {
                (format.*setStyle)(kNone);
                (format.*setWidth)(0);
                return;
            }
            (format.*setWidth)(std::max(border.width, 1) / 20.0);
            (format.*setStyle)(border.isDouble ? QTextFrameFormat::BorderStyle_Double
                                               : QTextFrameFormat::BorderStyle_Solid);
            const QColor c = color(border.color);
            (format.*setBrush)(c.isValid() ? QBrush(c) : QBrush(Qt::black));
        };
        side(Top, &QTextTableCellFormat::setTopBorder, &QTextTableCellFormat::setTopBorderStyle,
             &QTextTableCellFormat::setTopBorderBrush);
        side(Bottom, &QTextTableCellFormat::setBottomBorder, &QTextTableCellFormat::setBottomBorderStyle,
             &QTextTableCellFormat::setBottomBorderBrush);
        side(Left, &QTextTableCellFormat::setLeftBorder, &QTextTableCellFormat::setLeftBorderStyle,
             &QTextTableCellFormat::setLeftBorderBrush);
        side(Right, &QTextTableCellFormat::setRightBorder, &QTextTableCellFormat::setRightBorderStyle,
             &QTextTableCellFormat::setRightBorderBrush);
        if (const QColor shade = color(def.shading); shade.isValid())
            format.setBackground(shade);
        format.setLeftPadding(rowDef.gap / 20.0);
        format.setRightPadding(rowDef.gap / 20.0);
        cell.setFormat(format);
        widths.append(QTextLength(QTextLength::FixedLength, std::max(def.right - previousRight, 20) / 20.0));
        previousRight = def.right;
    }
    if (!table->widthsSet && columns == t->columns() && columns > 0) {
        QTextTableFormat format = t->format();
        format.setColumnWidthConstraints(widths);
        t->setFormat(format);
        table->widthsSet = true;
    }
    table->needRow = true;
    table->needCell = false;
}

void RtfReader::Private::endParagraph()
{
    ensureContext();
    flushText();
    QTextBlockFormat format = blockFormat(state().para);
    if (breakBeforeBlock) {
        format.setPageBreakPolicy(format.pageBreakPolicy() | QTextFormat::PageBreak_AlwaysBefore);
        format.setProperty(ParagraphPageBreakBefore, true);
        breakBeforeBlock = false;
        breakFromSection = false;
    }
    if (blockIsOurs)
        cursor.setBlockFormat(format);
    // The next block is made when content arrives, so that a table after
    // this paragraph follows it directly and a final \par adds nothing.
    paragraphPending = true;
    pendingMarkFormat = charFormat(state().chr);
}

void RtfReader::Private::pageBreak()
{
    ensureContext();
    flushText();
    if (blockHasContent)
        endParagraph();
    breakBeforeBlock = true;
    breakFromSection = false;
}

void RtfReader::Private::finishPicture()
{
    const DecodedPicture decoded = decodePicture(picture);
    const PictureFormat format = picture.format;
    QByteArray bytes = std::move(picture.bytes);
    picture = PictureSource();

    ensureContext();
    flushText();
    QTextDocument *document = cursor.document();
    const QByteArray hash = QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex().left(20);
    const QUrl url(QStringLiteral("rtfimage:") + QString::fromLatin1(hash));
    document->addResource(QTextDocument::ImageResource, url, decoded.image);

    QTextImageFormat imageFormat;
    if (const int link = state().chr.link; link >= 0 && link < links.size()) {
        imageFormat.setAnchor(true);
        imageFormat.setAnchorHref(links.at(link));
    }
    imageFormat.setName(url.toString());
    imageFormat.setWidth(decoded.sizePoints.width());
    imageFormat.setHeight(decoded.sizePoints.height());
    // Keep what we could not improve on: PNG and JPEG as they were, and
    // metafiles, which only the original bytes describe faithfully.
    if (format == PictureFormat::Png || format == PictureFormat::Jpeg || format == PictureFormat::Wmf
        || format == PictureFormat::Emf || decoded.placeholder) {
        imageFormat.setProperty(ImageOriginalData, bytes);
        imageFormat.setProperty(ImageOriginalFormat, pictureFormatName(format));
    }
    cursor.insertImage(imageFormat);
    blockHasContent = true;
}

void RtfReader::Private::finishFieldInstruction(GroupState &fieldGroup)
{
    const QString instruction = decoder.decode(ansiCodePage, fieldInstruction);
    fieldInstruction.clear();
    static const QRegularExpression hyperlink(
        QStringLiteral(R"re(^\s*HYPERLINK\s+(?:(\\l)\s+)?(?:"([^"]*)"|(\S+))(?:.*?\\l\s+"([^"]*)")?)re"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = hyperlink.match(instruction);
    if (!match.hasMatch())
        return;
    QString target = match.captured(2).isNull() ? match.captured(3) : match.captured(2);
    target.replace(QLatin1String("\\\\"), QLatin1String("\\"));
    if (!match.captured(1).isEmpty())
        target.prepend(QLatin1Char('#'));
    else if (!match.captured(4).isEmpty())
        target += QLatin1Char('#') + match.captured(4);
    if (target.isEmpty())
        return;
    links.append(target);
    fieldGroup.chr.link = int(links.size() - 1);
}

void RtfReader::Private::finish()
{
    // The file's own closing braces may be missing: close what is open.
    if (highSurrogate) {
        pendingText.append(QChar(QChar::ReplacementCharacter));
        highSurrogate = 0;
    }
    flushText();
    if (table)
        endTable();
    if (paragraphPending) {
        // A final \par closes the last paragraph; only an insertion keeps
        // the break before the text that follows it.
        if (mode == Mode::Insert && !cursor.atBlockEnd())
            cursor.insertBlock(cursor.blockFormat(), pendingMarkFormat);
        paragraphPending = false;
    } else if (blockIsOurs && (mode == Mode::Load || (blockHasContent && cursor.atBlockEnd()))) {
        QTextBlockFormat format = blockFormat(documentEndPara.value_or(state().para));
        if (breakBeforeBlock) {
            format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
            format.setProperty(ParagraphPageBreakBefore, true);
        }
        cursor.setBlockFormat(format);
    }
}

} // namespace tamapiko::engine::rtf
