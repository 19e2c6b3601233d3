#include "engine/formats/RtfReader.h"

#include "engine/EngineProperties.h"
#include "engine/formats/RtfCodePage.h"
#include "engine/formats/RtfControlWords.h"
#include "engine/formats/RtfObject.h"
#include "engine/formats/RtfPicture.h"
#include "engine/formats/RtfTokenizer.h"
#include "engine/formats/word/DocumentBuilder.h"
#include "engine/formats/word/WordFormats.h"
#include "engine/layout/ListNumbering.h"

#include <QColor>
#include <QDir>
#include <QCryptographicHash>
#include <QHash>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextTable>
#include <QUrl>

#include <array>
#include <map>
#include <unordered_map>
#include <optional>
#include <string>
#include <vector>

namespace tamapiko::engine::rtf {

namespace {

// Deeper groups share the state of this level: enough for any real file,
// and a hostile file of a million nested braces costs no more memory.
constexpr int kMaxStateDepth = 2000;
// Embedded files are kept up to this size (as the engine embeds them).
constexpr qsizetype kMaxObjectData = qsizetype(256) << 20;

enum class Destination : quint8 {
    Body,             // text goes into the document
    FontTable,
    ColorTable,
    StyleSheet,
    Skip,             // text and words are ignored up to the group's end
    UnicodeAlternate, // \upr: skipped except for its \ud part
    Picture,
    Shape,            // \shp: its words place it; its text is not the body's
    ShapeName,        // \sn of a shape property
    ShapeValue,       // \sv: a value, or the picture of a picture shape
    Object,           // \object: its words; its text is not the body's
    ObjectClass,      // \objclass
    ObjectBytes,      // \objdata: hex digits of the OLE object
    FieldInstruction,
    FrameStyle,
    ListTable,        // list definitions: levels and their numbering
    ListOverrideTable,
    LevelText,        // a level's number text, with the level placeholders
    NestedTableProperties, // \nesttableprops: the row definition of a table in a cell, ended by \nestrow
};

using word::Border;
using word::Top;
using word::Bottom;
using word::Left;
using word::Right;
using word::Bar;
constexpr int SideCount = word::BorderSideCount;

// Character state keeps the file's font and colour numbers: the font
// decides how bytes decode, and styles refer to both by number.
struct CharState
{
    int font = -1;
    int halfPoints = 24;
    bool bold = false;
    bool italic = false;
    bool strike = false;
    bool doubleStrike = false;
    bool hidden = false;
    bool caps = false;
    bool smallCaps = false;
    UnderlineKind underline = UnderlineKind::None;
    int foreColor = -1;
    int backColor = -1;
    quint8 vertical = 0; // 0 baseline, 1 superscript, 2 subscript
    int offset = 0;      // half-points, \up positive
    int link = -1;       // index into the reader's hyperlink targets
    FieldKind field = FieldKind::None;
    bool operator==(const CharState &) const = default;
};

struct CharStateHash
{
    size_t operator()(const CharState &c) const
    {
        const quint64 flags = quint64(c.bold) | quint64(c.italic) << 1 | quint64(c.strike) << 2
            | quint64(c.doubleStrike) << 3 | quint64(c.hidden) << 4 | quint64(c.caps) << 5
            | quint64(c.smallCaps) << 6 | quint64(c.underline) << 8 | quint64(c.vertical) << 16
            | quint64(c.field) << 24;
        return qHashMulti(0, c.font, c.halfPoints, flags, c.foreColor, c.backColor, c.offset, c.link);
    }
};

// Paragraph state is the shared vocabulary (border colours resolved as they
// are read) plus what only RTF's way of saying it needs.
struct ParaState : word::ParagraphProperties
{
    QTextOption::TabType pendingTabType = QTextOption::LeftTab;
    word::TabLeader pendingTabLeader = word::TabLeader::None;
    bool inTable = false;
    bool widowControlSet = false; // \\widctlpar or \\nowidctlpar: the document's default does not apply
    bool operator==(const ParaState &) const = default;
};

struct GroupState
{
    Destination destination = Destination::Body;
    Destination alternateOuter = Destination::Body; // where \ud text goes
    int unicodeSkip = 1;
    bool fieldGroup = false;  // the group of a \field
    bool storyGroup = false;  // the group of a header or footer
    bool noteGroup = false;   // the group of a footnote or endnote
    bool includeField = false; // the group of an INCLUDEPICTURE field
    CharState chr;
    ParaState para;
};

struct FontEntry
{
    QString name;
    int codePage = 1252;
};

struct StyleDef
{
    CharState chr;
    ParaState para;
};

// Borders and their target: the \brdr* words that follow a side apply to it.
enum class BorderTarget { None, Paragraph, ParagraphBox, Cell, Ignored };

// What RTF defines for a file that gives no page set-up: US Letter with
// 1.25-inch side and 1-inch top and bottom margins.
PageSetup rtfDefaultPage()
{
    PageSetup page;
    page.width = 12240;
    page.height = 15840;
    page.marginLeft = page.marginRight = 1800;
    page.marginTop = page.marginBottom = 1440;
    return page;
}

// The note being read: its text goes into a document of its own, and
// becomes the property of its reference mark when its group ends. (Kept
// outside the reader's class: clang cannot default-construct a nested
// struct with member initializers inside std::optional.)
struct NoteRead
{
    std::unique_ptr<QTextDocument> document;
    std::optional<word::DocumentBuilder> builder;
    word::DocumentBuilder *outer = nullptr;
    bool endnote = false;
};

} // namespace

class RtfReader::Private
{
public:
    Private(QTextCursor c, Mode m) : bodyBuilder(std::move(c), m), mode(m) {}

    bool read(QByteArrayView data, QString *error);

    QString baseFolder;                 // for links relative to the file

    // Headers and footers are built into documents of their own; while one
    // is read, `builder` points at its builder->
    struct Story
    {
        HeaderFooterKind kind;
        HeaderFooterPages pages;
        int section;   // as the body's builder counts them
        std::unique_ptr<QTextDocument> document;
    };

    word::DocumentBuilder bodyBuilder;
    word::DocumentBuilder *builder = &bodyBuilder;
    Mode mode;
    std::optional<word::DocumentBuilder> storyBuilder;
    std::vector<Story> stories;
    word::HeaderFooterProperties headerFooter;
    std::vector<int> titlePageSections;   // \\titlepg: sections with a first page of their own
    int defaultTab = 720; // RTF's own when the file does not say
    bool documentWidowControl = false; // \\widowctrl: RTF's default is off
    int linePitch = 0;
    bool lineGrid = false;

    // Lists: definitions by \\listid, and what each \\ls number refers to.
    struct ListDef
    {
        int id = 0;
        std::vector<word::ListLevelFormat> levels;
    };
    std::vector<ListDef> listDefs;
    std::map<int, int> listOverrides;   // \\ls -> \\listid
    int overrideListId = 0;
    QByteArray levelTextBytes;
    QString levelText;
    bool hasPage = false;
    PageSetup page = rtfDefaultPage();   // the document's (\\paperw...): what \\sectd starts from
    bool landscape = false;
    word::SectionProperties section = sectionDefaults(); // the section being read
    int columnNumber = 0;                // the column \\colw and \\colsr describe
    word::SectionProperties sectionDefaults() const
    {
        word::SectionProperties defaults;
        defaults.page = page;
        defaults.landscape = landscape;
        return defaults;
    }
    // The section as read so far, for the builder.
    word::SectionProperties sectionRead() const;
    void columnValue(QList<int> ColumnSetup::*list, int value);

private:
    GroupState &state() { return stack.back(); }

    void groupStart();
    void groupEnd();
    void controlWord(const Token &token);
    void controlSymbol(char symbol);
    void text(QByteArrayView bytes);
    void hexBytes(QByteArrayView bytes);
    void binary(QByteArrayView bytes);

    void applyWord(const ControlWord &word, bool hasParameter, int parameter);
    void applyBorderWord(Action action, int parameter);

    // Body text
    void appendBytes(QByteArrayView bytes);
    void appendChars(QStringView chars);
    void appendUnicode(int value);
    void prepareAppend();
    void decodeBytes();
    void flushText();
    int currentCodePage() const;

    // Structure
    void endParagraph();
    void pageBreak();
    void endCell();
    void endRow();
    void resetPendingCell();
    // Whether the paragraph being read is in a table, telling the builder
    // how deep.
    bool tableContext()
    {
        builder->setTableDepth(std::max(1, state().para.tableDepth));
        return state().para.inTable;
    }
    // \trpadd{l,t,r,b} and their units \trpaddf*, in either order: a
    // padding counts only in twips (unit 3). Side: left, top, right, bottom.
    void rowPadding(int side, int value, int unit);
    QColor cellShading() const;
    void finishPicture();
    void finishFieldInstruction(GroupState &fieldGroup);
    void startStory(int slot);
    void finishLevelText();
    word::ParagraphProperties withList(const ParaState &para) const;
    void finishStory();
    void startNote();
    void finishNote();
    void finishFontEntry();
    int fontEntryCodePage() const;
    void finishStyleEntry(const GroupState &entry);
    void finish();

    word::CharacterProperties characterProperties(const CharState &chr);
    const QTextCharFormat &charFormat(const CharState &chr);
    void forgetFormats();
    QColor color(int index) const;
    CharState defaultCharState() const;
    // What \\pard leaves: RTF's defaults, widow control as the document says.
    ParaState defaultParaState() const
    {
        ParaState para;
        para.widowControl = documentWidowControl;
        return para;
    }
    void applyStyle(const StyleDef &style);

    ControlWordCache controlWords;
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

    CharState propertiesState;
    word::CharacterProperties propertiesCache;
    bool propertiesCacheValid = false;
    // A file uses a handful of character formats over and over.
    std::unordered_map<CharState, QTextCharFormat, CharStateHash> formats;

    // Table row being defined (\trowd ... \cellx)
    word::RowProperties rowDef;
    word::RowProperties outerRowDef; // rowDef while a \nesttableprops group describes an inner row
    word::CellProperties pendingCell;
    struct RowPadding
    {
        int value = 0;
        int unit = 0;
    };
    std::array<RowPadding, 4> rowPaddings{};
    int pendingCellShadingPercent = 0; // \clshdng, hundredths of a percent of \clcfpat over \clcbpat
    QColor pendingCellPatternColor;
    BorderTarget borderTargetKind = BorderTarget::None;
    int borderSide = 0;

    PictureSource picture;
    int pictureNibble = -1;
    // A \shp being read: where it stands, and its picture once read.
    struct ShapeRead
    {
        word::ShapeProperties shape;
        QByteArray name;              // of the property being read
        QByteArray value;
        std::optional<PictureSource> picture;
    };
    std::optional<ShapeRead> shapeRead;
    void shapeProperty();
    void finishShape();
    // A \object being read: its class and data, and the picture (perhaps a
    // picture shape) of its result.
    struct ObjectRead
    {
        QByteArray className;
        QByteArray data;
        int nibble = -1;
        std::optional<PictureSource> picture;
        std::optional<word::ShapeProperties> shape;
    };
    std::optional<ObjectRead> objectRead;
    void finishObject();
    // A picture linked by an INCLUDEPICTURE field, until its result shows
    // it or the field ends without one.
    QString includePicturePath;
    bool includePictureShown = false;
    QString resolvedLink(const QString &link) const;
    QByteArray fieldInstruction;
    QString fieldInstructionText;      // what came before a \u in it (paths in any script)
    FieldKind fieldWithoutResult = FieldKind::None; // a page field whose result has not come yet
    QStringList links;
    int pendingFrameStyle = -1;
    int footnoteCount = 0;
    int endnoteCount = 0;
    std::optional<NoteRead> note;
    int noteMarkEnd = -1;     // where the last \\chftn mark ends, and its length
    int noteMarkLength = 0;
    std::optional<ParaState> documentEndPara;
};

RtfReader::RtfReader(QTextCursor cursor, Mode mode)
    : d(std::make_unique<Private>(std::move(cursor), mode))
{
}

RtfReader::~RtfReader() = default;

bool RtfReader::read(QByteArrayView data, QString *error) { return d->read(data, error); }
bool RtfReader::hasPageSetup() const { return d->hasPage; }

void RtfReader::setBaseFolder(const QString &folder)
{
    d->baseFolder = folder;
}

void RtfReader::takeHeaderFooters(HeaderFooterSet &set)
{
    set.clear();
    for (Private::Story &story : d->stories) {
        if (const int section = d->bodyBuilder.documentSection(story.section); section >= 0)
            set.adoptStory(story.kind, story.pages, story.document.release(), section);
    }
    d->stories.clear();
    for (const int given : d->titlePageSections) {
        if (const int section = d->bodyBuilder.documentSection(given); section >= 0)
            set.setDifferentFirstPage(true, section);
    }
    set.setDifferentEvenPages(d->headerFooter.facingPages);
}

PageSetup RtfReader::pageSetup() const
{
    if (const auto first = d->bodyBuilder.firstSection())
        return first->page;
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
    stack.back().para = defaultParaState();
    state().chr = defaultCharState();

    Tokenizer tokenizer(data.sliced(start));
    // Text in a code page comes as runs of \'xx escapes (two of them for
    // each Japanese character): a run is handled as one piece of text.
    std::string escapedBytes; // clear() keeps its room
    for (;;) {
        const Token token = tokenizer.next();
        if (token.type == Token::HexByte) {
            tokenizer.takeHexBytes(escapedBytes, char(token.byteValue));
            ignorableNext = false;
            continue;
        }
        if (!escapedBytes.empty()) {
            hexBytes(QByteArrayView(escapedBytes.data(), qsizetype(escapedBytes.size())));
            escapedBytes.clear();
        }
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
        case Token::HexByte: break;
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
    if (depth < kMaxStateDepth) {
        stack.push_back(stack.back());
        // A group inside a field or a header is not that field or header.
        stack.back().fieldGroup = false;
        stack.back().storyGroup = false;
        stack.back().noteGroup = false;
        stack.back().includeField = false;
    }
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
    // A page field that gave no result still shows its value.
    if (stack.back().fieldGroup && fieldWithoutResult != FieldKind::None) {
        stack.back().chr.field = fieldWithoutResult;
        appendChars(QStringLiteral("1"));
        fieldWithoutResult = FieldKind::None;
    }
    if (stack.back().storyGroup)
        finishStory();
    if (stack.back().noteGroup)
        finishNote();
    // A linked picture whose field gave no picture of its own.
    if (stack.back().includeField) {
        if (!includePictureShown && !includePicturePath.isEmpty()) {
            flushText();
            builder->appendLinkedPicture(includePicturePath, QSizeF(), stack.back().para.inTable);
        }
        includePicturePath.clear();
    }

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
    case Destination::Shape:
        if (outer.destination != Destination::Shape)
            finishShape();
        break;
    case Destination::Object:
        if (outer.destination != Destination::Object)
            finishObject();
        break;
    case Destination::ShapeValue:
        if (outer.destination == Destination::Shape)
            shapeProperty();
        break;
    case Destination::FieldInstruction:
        if (outer.destination != Destination::FieldInstruction)
            finishFieldInstruction(outer);
        break;
    case Destination::FontTable:
        if (fontEntryOpen)
            finishFontEntry();
        break;
    case Destination::LevelText:
        if (outer.destination != Destination::LevelText)
            finishLevelText();
        break;
    case Destination::StyleSheet:
        if (outer.destination == Destination::StyleSheet)
            finishStyleEntry(closed);
        break;
    default:
        break;
    }
    if (closed.destination == Destination::NestedTableProperties
        && outer.destination != Destination::NestedTableProperties) {
        rowDef = outerRowDef;
        builder->setRowHint(rowDef);
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
    const ControlWord *word = controlWords.find(token.name);

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
        s.para = defaultParaState();
        break;
    case Action::NestedTableProperties:
        // Its \trowd and \cellx describe the inner row, not the one being
        // read around it.
        if (dest != Destination::NestedTableProperties)
            outerRowDef = rowDef;
        s.destination = Destination::NestedTableProperties;
        break;
    case Action::Skip:
        s.destination = Destination::Skip;
        break;
    case Action::Footnote:
        if (body && !note)
            startNote();
        else
            s.destination = Destination::Skip;
        break;
    case Action::NoteIsEndnote:
        if (note && s.noteGroup)
            note->endnote = true;
        break;
    case Action::Shape:
        if (body && !shapeRead) {
            s.destination = Destination::Shape;
            shapeRead.emplace();
        } else {
            s.destination = Destination::Skip;
        }
        break;
    case Action::ShapeInstance:
    case Action::ShapeProperty:
        if (dest != Destination::Shape)
            s.destination = Destination::Skip;
        break;
    case Action::ShapePropertyName:
    case Action::ShapePropertyValue:
        if (dest == Destination::Shape && shapeRead) {
            const bool name = word.action == Action::ShapePropertyName;
            s.destination = name ? Destination::ShapeName : Destination::ShapeValue;
            (name ? shapeRead->name : shapeRead->value).clear();
        } else {
            s.destination = Destination::Skip;
        }
        break;
    case Action::ShapeLeft: if (dest == Destination::Shape && shapeRead) shapeRead->shape.left = p; break;
    case Action::ShapeTop: if (dest == Destination::Shape && shapeRead) shapeRead->shape.top = p; break;
    case Action::ShapeRight: if (dest == Destination::Shape && shapeRead) shapeRead->shape.right = p; break;
    case Action::ShapeBottom: if (dest == Destination::Shape && shapeRead) shapeRead->shape.bottom = p; break;
    case Action::ShapeHorizontalFrom:
        if (dest == Destination::Shape && shapeRead)
            shapeRead->shape.horizontalFrom = AnchorOrigin(p);
        break;
    case Action::ShapeVerticalFrom:
        if (dest == Destination::Shape && shapeRead)
            shapeRead->shape.verticalFrom = AnchorOrigin(p);
        break;
    case Action::ShapeWrap:
        // 1 above and below, 3 none; 2 square, 4 tight and 5 through go
        // around it.
        if (dest == Destination::Shape && shapeRead)
            shapeRead->shape.wrap = p == 1 ? AnchorWrap::TopAndBottom : p == 3 ? AnchorWrap::None : AnchorWrap::Square;
        break;
    case Action::ShapeBelowText: break; // drawn in front either way
    case Action::Object:
        if (body && !objectRead && !shapeRead) {
            s.destination = Destination::Object;
            objectRead = ObjectRead{};
        } else {
            s.destination = Destination::Skip;
        }
        break;
    case Action::ObjectClass:
    case Action::ObjectBytes:
        if (dest == Destination::Object && objectRead)
            s.destination = word.action == Action::ObjectClass ? Destination::ObjectClass : Destination::ObjectBytes;
        else
            s.destination = Destination::Skip;
        break;
    case Action::Picture:
        if (body || dest == Destination::ShapeValue) {
            s.destination = Destination::Picture;
            picture = PictureSource();
            pictureNibble = -1;
        } else {
            s.destination = Destination::Skip;
        }
        break;
    case Action::Field:
        s.fieldGroup = true;
        break;
    case Action::HeaderFooter:
        if (body && mode == Mode::Load && builder == &bodyBuilder)
            startStory(p);
        else
            s.destination = Destination::Skip;
        break;
    case Action::ListText:
        // The number as text, for readers that know no lists: lists we
        // read number their paragraphs themselves.
        if (!listOverrides.empty())
            s.destination = Destination::Skip;
        break;
    case Action::ListTable: s.destination = Destination::ListTable; break;
    case Action::ListOverrideTable: s.destination = Destination::ListOverrideTable; break;
    case Action::ListDefinition:
        if (dest == Destination::ListTable && listDefs.size() < 4096)
            listDefs.emplace_back();
        break;
    case Action::ListLevelDefinition:
        if (dest == Destination::ListTable && !listDefs.empty() && listDefs.back().levels.size() < 9)
            listDefs.back().levels.emplace_back();
        break;
    case Action::LevelText:
        if (dest == Destination::ListTable) {
            s.destination = Destination::LevelText;
            levelTextBytes.clear();
            levelText.clear();
        }
        break;
    case Action::ListOverride:
        overrideListId = 0;
        break;
    case Action::ListId:
        if (dest == Destination::ListTable && !listDefs.empty())
            listDefs.back().id = p;
        else if (dest == Destination::ListOverrideTable)
            overrideListId = p;
        break;
    case Action::LevelNumberFormat:
        if (dest == Destination::ListTable && !listDefs.empty() && !listDefs.back().levels.empty()) {
            using word::NumberFormat;
            NumberFormat &format = listDefs.back().levels.back().format;
            switch (p) {
            case 1: format = NumberFormat::UpperRoman; break;
            case 2: format = NumberFormat::LowerRoman; break;
            case 3: format = NumberFormat::UpperLetter; break;
            case 4: format = NumberFormat::LowerLetter; break;
            case 23: format = NumberFormat::Bullet; break;
            case 255: format = NumberFormat::None; break;
            default: format = NumberFormat::Decimal; break;
            }
        }
        break;
    case Action::LevelStart:
        if (dest == Destination::ListTable && !listDefs.empty() && !listDefs.back().levels.empty())
            listDefs.back().levels.back().start = std::clamp(p, 0, 32767);
        break;
    case Action::LevelFollow:
        if (dest == Destination::ListTable && !listDefs.empty() && !listDefs.back().levels.empty())
            listDefs.back().levels.back().follow = quint8(std::clamp(p, 0, 2));
        break;
    case Action::ListNumber:
        if (dest == Destination::ListOverrideTable) {
            if (listOverrides.size() < 4096)
                listOverrides[p] = overrideListId;
        } else {
            para.list.list = std::max(0, p);
        }
        break;
    case Action::ListLevelNumber: para.list.level = std::clamp(p, 0, 8); break;
    case Action::ObjectResult:
        if (dest == Destination::Object)
            s.destination = Destination::Body; // what others show of the object
        break;
    case Action::ShapePicture:
    case Action::FieldResult:
        break; // their text is body text
    case Action::FieldInstruction:
        s.destination = Destination::FieldInstruction;
        fieldInstruction.clear();
        fieldInstructionText.clear();
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
        if (body || dest == Destination::FieldInstruction || dest == Destination::FontTable
            || dest == Destination::LevelText) {
            if (body) {
                appendUnicode(p);
            } else if (dest == Destination::FieldInstruction) {
                fieldInstructionText += decoder.decode(ansiCodePage, fieldInstruction);
                fieldInstruction.clear();
                fieldInstructionText += QChar(char16_t(p < 0 ? p + 65536 : p));
            } else if (dest == Destination::LevelText) {
                levelText += decoder.decode(currentCodePage(), levelTextBytes);
                levelTextBytes.clear();
                levelText += QChar(char16_t(p < 0 ? p + 65536 : p));
            } else if (dest == Destination::FontTable && p != 0) {
                fontNameText += decoder.decode(fontEntryCodePage(), fontName);
                fontName.clear();
                fontNameText += QChar(char16_t(p < 0 ? p + 65536 : p));
                fontEntryOpen = true;
            }
            fallbackToSkip = s.unicodeSkip;
        }
        break;
    // The document's page set-up is also that of the section being read
    // until the section says otherwise.
    case Action::PaperWidth: if (p > 0) { page.width = section.page.width = p; hasPage = true; } break;
    case Action::PaperHeight: if (p > 0) { page.height = section.page.height = p; hasPage = true; } break;
    case Action::MarginLeft: if (p >= 0) { page.marginLeft = section.page.marginLeft = p; hasPage = true; } break;
    case Action::MarginRight: if (p >= 0) { page.marginRight = section.page.marginRight = p; hasPage = true; } break;
    case Action::MarginTop: if (p >= 0) { page.marginTop = section.page.marginTop = p; hasPage = true; } break;
    case Action::MarginBottom: if (p >= 0) { page.marginBottom = section.page.marginBottom = p; hasPage = true; } break;
    case Action::Landscape: landscape = section.landscape = true; break;
    case Action::HeaderDistance:
        if (p >= 0) { page.headerDistance = section.page.headerDistance = p; hasPage = true; }
        break;
    case Action::FooterDistance:
        if (p >= 0) { page.footerDistance = section.page.footerDistance = p; hasPage = true; }
        break;
    case Action::SectionPaperWidth: if (p > 0) { section.page.width = p; hasPage = true; } break;
    case Action::SectionPaperHeight: if (p > 0) { section.page.height = p; hasPage = true; } break;
    case Action::SectionMarginLeft: if (p >= 0) { section.page.marginLeft = p; hasPage = true; } break;
    case Action::SectionMarginRight: if (p >= 0) { section.page.marginRight = p; hasPage = true; } break;
    case Action::SectionMarginTop: if (p >= 0) { section.page.marginTop = p; hasPage = true; } break;
    case Action::SectionMarginBottom: if (p >= 0) { section.page.marginBottom = p; hasPage = true; } break;
    case Action::SectionLandscape: section.landscape = true; break;
    case Action::Columns: section.columns.count = std::clamp(p, 1, ColumnSetup::MaximumCount); break;
    case Action::ColumnSpacing: if (p >= 0) section.columns.spacing = p; break;
    case Action::ColumnNumber: columnNumber = std::clamp(p - 1, 0, ColumnSetup::MaximumCount - 1); break;
    case Action::ColumnWidth: columnValue(&ColumnSetup::widths, p); break;
    case Action::ColumnGap: columnValue(&ColumnSetup::gaps, p); break;
    case Action::LineBetweenColumns: section.columns.lineBetween = true; break;
    case Action::TitlePage:
        if (titlePageSections.empty() || titlePageSections.back() != bodyBuilder.currentSection())
            titlePageSections.push_back(bodyBuilder.currentSection());
        break;
    case Action::DefaultTab: if (p > 0) defaultTab = p; break;
    case Action::LineGridPitch: linePitch = p; break;
    case Action::LineGridOn: lineGrid = true; break;
    case Action::LineGridOff: lineGrid = false; break;
    case Action::FacingPages: headerFooter.facingPages = true; break;
    case Action::SectionDefaults:
        section = sectionDefaults();
        columnNumber = 0;
        if (!titlePageSections.empty() && titlePageSections.back() == bodyBuilder.currentSection())
            titlePageSections.pop_back();
        break;
    case Action::SectionBreak:
        section.start = SectionStart(p);
        if (section.start == SectionStart::Continuous)
            builder->cancelSectionBreak();
        break;

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
    case Action::Caps: chr.caps = on; break;
    case Action::SmallCaps: chr.smallCaps = on; break;
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
            TPK_APPLY(vertical); TPK_APPLY(offset); TPK_APPLY(caps); TPK_APPLY(smallCaps);
#undef TPK_APPLY
        }
        break;
    case Action::OtherStyle:
        if (dest == Destination::StyleSheet)
            styleKind = 2;
        break;

    // Paragraph formatting
    case Action::Pard:
        para = defaultParaState();
        borderTargetKind = BorderTarget::None;
        break;
    case Action::AlignLeft: para.alignment = word::Alignment::Left; break;
    case Action::AlignRight: para.alignment = word::Alignment::Right; break;
    case Action::AlignCenter: para.alignment = word::Alignment::Center; break;
    case Action::AlignJustify: para.alignment = word::Alignment::Justify; break;
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
    case Action::TabLeaderDot: para.pendingTabLeader = word::TabLeader::Dots; break;
    case Action::TabLeaderMiddleDot: para.pendingTabLeader = word::TabLeader::MiddleDots; break;
    case Action::TabLeaderHyphen: para.pendingTabLeader = word::TabLeader::Hyphens; break;
    case Action::TabLeaderUnderline: para.pendingTabLeader = word::TabLeader::Underline; break;
    case Action::TabLeaderHeavy: para.pendingTabLeader = word::TabLeader::Heavy; break;
    case Action::TabPosition:
        if (para.tabs.size() < 64)
            para.tabs.append(word::TabStop{p, para.pendingTabType, para.pendingTabLeader});
        para.pendingTabType = QTextOption::LeftTab;
        para.pendingTabLeader = word::TabLeader::None;
        break;
    case Action::KeepNext: para.keepNext = on; break;
    case Action::PageBreakBefore: para.pageBreakBefore = on; break;
    case Action::KeepTogether: para.keepTogether = on; break;
    case Action::WidowControl:
    case Action::NoWidowControl:
        para.widowControl = word.action == Action::WidowControl;
        para.widowControlSet = true;
        break;
    case Action::DocumentWidowControl:
        // Paragraphs that say nothing of their own follow the document.
        documentWidowControl = true;
        if (!para.widowControlSet)
            para.widowControl = true;
        break;
    case Action::ParagraphStyle:
        if (dest == Destination::StyleSheet) {
            styleNumber = p;
            styleKind = 0;
        } else if (const auto it = paragraphStyles.find(p); it != paragraphStyles.end()) {
            applyStyle(it->second);
        }
        break;
    case Action::InTable: para.inTable = true; break;
    case Action::TableDepth:
        if (p > 0) {
            para.inTable = true;
            para.tableDepth = std::min(p, 1 << 20);
        }
        break;

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
            flushText();
            if (builder == &bodyBuilder)
                builder->setSectionProperties(sectionRead());
            builder->sectionBreak(state().para, characterProperties(state().chr), tableContext());
        }
        break;
    case Action::Page: if (body) pageBreak(); break;
    case Action::ColumnBreak:
        if (body) {
            flushText();
            builder->columnBreak(state().para, characterProperties(state().chr), tableContext());
        }
        break;
    case Action::Character:
        if (body) {
            appendChars(QString(QChar(word.character)));
        } else if (dest == Destination::LevelText) {
            // A bullet written as a symbol word (\endash, \bullet).
            levelText += decoder.decode(currentCodePage(), levelTextBytes);
            levelTextBytes.clear();
            levelText += QChar(word.character);
        }
        break;
    case Action::FootnoteNumber:
        // In the note itself the number is the note's own: the layout shows it.
        if (body && !note) {
            flushText();
            const QString number = QString::number(++footnoteCount);
            appendChars(number);
            flushText();
            noteMarkEnd = builder->position();
            noteMarkLength = int(number.size());
        }
        break;
    case Action::PageNumber:
        if (body) {
            const FieldKind outer = chr.field;
            chr.field = FieldKind::PageNumber;
            appendChars(QStringLiteral("1"));
            state().chr.field = outer;
        }
        break;

    // Tables
    case Action::RowDefaults:
        rowDef = word::RowProperties();
        rowPaddings = {};
        resetPendingCell();
        builder->setRowHint(rowDef);
        borderTargetKind = BorderTarget::None;
        break;
    case Action::CellBoundary:
        if (rowDef.cells.size() < 63) {
            pendingCell.right = p;
            pendingCell.shading = cellShading();
            rowDef.cells.append(pendingCell);
            builder->setRowHint(rowDef);
        }
        resetPendingCell();
        borderTargetKind = BorderTarget::None;
        break;
    case Action::RowGap: rowDef.gap = p; break;
    case Action::RowLeft: rowDef.left = p; builder->setRowHint(rowDef); break;
    case Action::Cell: if (body) endCell(); break;
    case Action::Row: if (body) endRow(); break;
    case Action::NestedCell:
        if (!body)
            break;
        flushText();
        if (para.tableDepth > word::DocumentBuilder::MaxTableDepth) {
            // Deeper than anyone nests on purpose: each inner cell becomes
            // a paragraph of the deepest table.
            if (builder->blockHasContent())
                endParagraph();
        } else {
            builder->setTableDepth(std::max(2, para.tableDepth));
            builder->endCell(para, true);
        }
        break;
    case Action::NestedRow:
        if ((body || dest == Destination::NestedTableProperties) && builder->tableDepth() >= 2
            && para.tableDepth <= word::DocumentBuilder::MaxTableDepth)
            builder->endRow(rowDef);
        break;
    case Action::CellMergeFirst: pendingCell.mergeFirst = true; break;
    case Action::CellMerge: pendingCell.merge = true; break;
    case Action::CellVerticalMergeFirst: pendingCell.verticalMergeFirst = true; break;
    case Action::CellVerticalMerge: pendingCell.verticalMerge = true; break;
    case Action::CellBorderTop: borderTargetKind = BorderTarget::Cell; borderSide = Top; pendingCell.borders[Top].present = true; break;
    case Action::CellBorderBottom: borderTargetKind = BorderTarget::Cell; borderSide = Bottom; pendingCell.borders[Bottom].present = true; break;
    case Action::CellBorderLeft: borderTargetKind = BorderTarget::Cell; borderSide = Left; pendingCell.borders[Left].present = true; break;
    case Action::CellBorderRight: borderTargetKind = BorderTarget::Cell; borderSide = Right; pendingCell.borders[Right].present = true; break;
    case Action::CellShading: pendingCell.shading = color(p); break;
    case Action::CellShadingPercent: pendingCellShadingPercent = std::clamp(p, 0, 10000); break;
    case Action::CellPatternColor: pendingCellPatternColor = color(p); break;
    case Action::CellVerticalTop: pendingCell.vertical = word::VerticalAlignment::Top; break;
    case Action::CellVerticalCenter: pendingCell.vertical = word::VerticalAlignment::Center; break;
    case Action::CellVerticalBottom: pendingCell.vertical = word::VerticalAlignment::Bottom; break;
    case Action::RowHeight: rowDef.height = std::clamp(p, -31680, 31680); break;
    case Action::RowAlignLeft: rowDef.alignment = word::Alignment::Left; break;
    case Action::RowAlignCenter: rowDef.alignment = word::Alignment::Center; break;
    case Action::RowAlignRight: rowDef.alignment = word::Alignment::Right; break;
    case Action::RowHeader: rowDef.header = true; break;
    case Action::RowPaddingLeft: rowPadding(0, p, -1); break;
    case Action::RowPaddingTop: rowPadding(1, p, -1); break;
    case Action::RowPaddingRight: rowPadding(2, p, -1); break;
    case Action::RowPaddingBottom: rowPadding(3, p, -1); break;
    case Action::RowPaddingUnitLeft: rowPadding(0, -1, p); break;
    case Action::RowPaddingUnitTop: rowPadding(1, -1, p); break;
    case Action::RowPaddingUnitRight: rowPadding(2, -1, p); break;
    case Action::RowPaddingUnitBottom: rowPadding(3, -1, p); break;

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
        case Action::BorderColor: border.color = color(p); break;
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
    if (const ControlWord *word = controlWords.find(QByteArrayView(name, 1)))
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
            forgetFormats();
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
    case Destination::LevelText:
        if (fallbackToSkip > 0) {
            const qsizetype skipped = std::min<qsizetype>(fallbackToSkip, bytes.size());
            fallbackToSkip -= int(skipped);
            bytes = bytes.sliced(skipped);
        }
        levelTextBytes.append(bytes.data(), bytes.size());
        break;
    case Destination::ShapeName:
    case Destination::ShapeValue:
        // Names and values of the properties read are short; long ones
        // (shape texts, paths) are of no interest.
        if (shapeRead) {
            QByteArray &into = s.destination == Destination::ShapeName ? shapeRead->name : shapeRead->value;
            if (into.size() < 64)
                into.append(bytes.first(std::min<qsizetype>(bytes.size(), 64 - into.size())));
        }
        break;
    case Destination::ObjectClass:
        if (objectRead && objectRead->className.size() < 64)
            objectRead->className.append(bytes.first(std::min<qsizetype>(bytes.size(), 64)));
        break;
    case Destination::ObjectBytes:
        if (objectRead && objectRead->data.size() < kMaxObjectData)
            appendHexDigits(bytes, objectRead->data, objectRead->nibble);
        break;
    case Destination::Shape:
    case Destination::Object:
    case Destination::ListTable:
    case Destination::ListOverrideTable:
    case Destination::StyleSheet:
    case Destination::Skip:
    case Destination::UnicodeAlternate:
    case Destination::FrameStyle:
        break;
    }
}

void RtfReader::Private::hexBytes(QByteArrayView bytes)
{
    // Each escaped byte counts as one character of a \u fallback.
    const qsizetype skipped = std::min<qsizetype>(fallbackToSkip, bytes.size());
    fallbackToSkip -= int(skipped);
    if (state().destination == Destination::Picture)
        return; // hex escapes are not picture data
    if (skipped < bytes.size())
        text(bytes.sliced(skipped));
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
    if (current.field != FieldKind::None)
        fieldWithoutResult = FieldKind::None;
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
    prepareAppend();
    const int codePage = currentCodePage();
    if (codePage != pendingCodePage) {
        decodeBytes();
        pendingCodePage = codePage;
    }
    pendingBytes.append(bytes.data(), bytes.size());
}

void RtfReader::Private::appendChars(QStringView chars)
{
    prepareAppend();
    decodeBytes();
    pendingText.append(chars);
}

void RtfReader::Private::appendUnicode(int value)
{
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
    const QChar character(unit);
    appendChars(QStringView(&character, 1));
}

void RtfReader::Private::decodeBytes()
{
    if (pendingBytes.isEmpty())
        return;
    decoder.decodeInto(pendingText, pendingCodePage, pendingBytes);
    pendingBytes.resize(0); // keeps its room for the next run
}

void RtfReader::Private::flushText()
{
    decodeBytes();
    if (pendingText.isEmpty())
        return;
    builder->appendText(pendingText, charFormat(pendingState), tableContext());
    pendingText.resize(0); // keeps its room for the next run
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

word::CharacterProperties RtfReader::Private::characterProperties(const CharState &chr)
{
    if (propertiesCacheValid && chr == propertiesState)
        return propertiesCache;

    word::CharacterProperties properties;
    if (const auto it = fonts.find(chr.font); it != fonts.end())
        properties.font = it->second.name;
    else if (fonts.empty())
        properties.font = QStringLiteral("Times New Roman"); // what Word and LibreOffice take for a file naming no font
    properties.halfPoints = chr.halfPoints;
    properties.bold = chr.bold;
    properties.italic = chr.italic;
    properties.strike = chr.strike;
    properties.doubleStrike = chr.doubleStrike;
    properties.hidden = chr.hidden;
    properties.caps = chr.caps;
    properties.smallCaps = chr.smallCaps;
    properties.underline = chr.underline;
    properties.foreColor = color(chr.foreColor);
    properties.backColor = color(chr.backColor);
    properties.vertical = chr.vertical;
    properties.offset = chr.offset;
    if (chr.link >= 0 && chr.link < links.size())
        properties.link = links.at(chr.link);
    properties.field = chr.field;

    propertiesState = chr;
    propertiesCache = properties;
    propertiesCacheValid = true;
    return properties;
}

const QTextCharFormat &RtfReader::Private::charFormat(const CharState &chr)
{
    auto it = formats.find(chr);
    if (it == formats.end()) {
        if (formats.size() >= 4096)
            formats.clear(); // a file of ever new formats gains nothing from keeping them
        it = formats.emplace(chr, word::charFormat(characterProperties(chr))).first;
    }
    return it->second;
}

// Fonts or colours changed: the formats made from them no longer hold.
void RtfReader::Private::forgetFormats()
{
    propertiesCacheValid = false;
    formats.clear();
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
    TPK_KEEP(keepTogether);
    for (int side = Top; side < SideCount; ++side)
        TPK_KEEP(borders[side]);
#undef TPK_KEEP
    if (own.widowControlSet) {
        s.para.widowControl = own.widowControl;
        s.para.widowControlSet = true;
    } else if (!style.para.widowControlSet) {
        s.para.widowControl = documentWidowControl;
    }
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
    forgetFormats();
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

void RtfReader::Private::endCell()
{
    if (!state().para.inTable && !builder->inTable()) {
        // \cell outside any row: read it as a table cell all the same.
        state().para.inTable = true;
    }
    flushText();
    builder->endCell(state().para, tableContext());
}

void RtfReader::Private::rowPadding(int side, int value, int unit)
{
    RowPadding &padding = rowPaddings[side];
    if (value >= 0)
        padding.value = std::min(value, 31680);
    if (unit >= 0)
        padding.unit = unit;
    const int twips = padding.unit == 3 ? padding.value : -1;
    int *const target[] = {&rowDef.paddingLeft, &rowDef.paddingTop, &rowDef.paddingRight, &rowDef.paddingBottom};
    *target[side] = twips;
}

void RtfReader::Private::resetPendingCell()
{
    pendingCell = word::CellProperties();
    pendingCellShadingPercent = 0;
    pendingCellPatternColor = QColor();
}

// A shading percentage lays that much of the pattern colour (black unless
// named) over the cell's background (white unless named).
QColor RtfReader::Private::cellShading() const
{
    if (pendingCellShadingPercent <= 0)
        return pendingCell.shading;
    const QColor back = pendingCell.shading.isValid() ? pendingCell.shading : QColor(Qt::white);
    const QColor fore = pendingCellPatternColor.isValid() ? pendingCellPatternColor : QColor(Qt::black);
    const auto mix = [&](int b, int f) { return (b * (10000 - pendingCellShadingPercent) + f * pendingCellShadingPercent) / 10000; };
    return QColor(mix(back.red(), fore.red()), mix(back.green(), fore.green()), mix(back.blue(), fore.blue()));
}

void RtfReader::Private::endRow()
{
    if (!builder->inTable())
        return;
    flushText(); // text outside the table ends it
    builder->endRow(rowDef);
}

word::ParagraphProperties RtfReader::Private::withList(const ParaState &para) const
{
    word::ParagraphProperties result = para;
    if (result.list.list <= 0)
        return result;
    // \\ls names an override, the override a list, the list its levels.
    const auto override = listOverrides.find(result.list.list);
    const auto definition = override == listOverrides.end()
        ? listDefs.end()
        : std::find_if(listDefs.begin(), listDefs.end(), [&](const ListDef &def) { return def.id == override->second; });
    if (definition == listDefs.end() || definition->levels.empty()) {
        result.list = word::ListMembership();
        return result;
    }
    const size_t level = std::min<size_t>(result.list.level, definition->levels.size() - 1);
    result.list.format = definition->levels[level];
    return result;
}

void RtfReader::Private::finishLevelText()
{
    levelText += decoder.decode(currentCodePage(), levelTextBytes);
    levelTextBytes.clear();
    if (listDefs.empty() || listDefs.back().levels.empty())
        return;
    word::ListLevelFormat &level = listDefs.back().levels.back();
    // The first character counts those after it; characters below 9 stand
    // for the numbers of the levels; a ';' ends the text.
    QString text = levelText;
    levelText.clear();
    if (text.endsWith(QLatin1Char(';')))
        text.chop(1);
    if (!text.isEmpty()) {
        const int length = text.at(0).unicode();
        text = text.mid(1, length);
    }
    qsizetype first = -1;
    qsizetype last = -1;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i).unicode() < 9) {
            if (first < 0)
                first = i;
            last = i;
        }
    }
    auto visible = [](QString part) {
        part.removeIf([](QChar c) { return c.unicode() < 9; });
        return part;
    };
    if (level.format == word::NumberFormat::Bullet || first < 0) {
        // Symbol and Wingdings bullets come as private-use characters.
        QString bullet = visible(text);
        if (bullet.size() == 1 && bullet.at(0).unicode() >= 0xF000 && bullet.at(0).unicode() <= 0xF0FF) {
            const char16_t code = bullet.at(0).unicode() - 0xF000;
            bullet = code == 0xA7 ? QStringLiteral("\u25AA") : code == 0xD8 ? QStringLiteral("\u27A2")
                   : code == 0xFC ? QStringLiteral("\u2713") : QStringLiteral("\u2022");
        }
        level.bullet = bullet;
        if (level.format != word::NumberFormat::None)
            level.format = word::NumberFormat::Bullet;
        return;
    }
    level.prefix = visible(text.left(first));
    level.suffix = visible(text.mid(last + 1));
}

void RtfReader::Private::endParagraph()
{
    flushText();
    builder->endParagraph(withList(state().para), charFormat(state().chr), tableContext());
}

word::SectionProperties RtfReader::Private::sectionRead() const
{
    word::SectionProperties read = section;
    if (read.landscape && read.page.width < read.page.height)
        std::swap(read.page.width, read.page.height);
    read.page = read.page.clamped();
    // Columns of their own widths only when every column has one.
    ColumnSetup &columns = read.columns;
    if (columns.widths.size() != columns.count || columns.count < 2) {
        columns.widths.clear();
        columns.gaps.clear();
    } else {
        columns.gaps.resize(columns.count);
    }
    return read;
}

void RtfReader::Private::columnValue(QList<int> ColumnSetup::*list, int value)
{
    QList<int> &values = section.columns.*list;
    if (values.size() <= columnNumber)
        values.resize(columnNumber + 1);
    values[columnNumber] = std::max(0, value);
}

void RtfReader::Private::pageBreak()
{
    flushText();
    builder->pageBreak(state().para, characterProperties(state().chr), tableContext());
}

void RtfReader::Private::finishPicture()
{
    const PictureSource source = std::move(picture);
    picture = PictureSource();
    if (state().destination == Destination::ShapeValue && shapeRead) {
        shapeRead->picture = source; // the shape's own picture (pib)
        return;
    }
    if (objectRead) {
        objectRead->picture = source; // what the object shows
        return;
    }
    if (!includePicturePath.isEmpty() && !includePictureShown) {
        // The linked file is shown at the size the result gives.
        includePictureShown = true;
        flushText();
        builder->appendLinkedPicture(includePicturePath, decodePicture(source).sizePoints, tableContext());
        return;
    }
    flushText();
    const int link = state().chr.link;
    builder->appendPicture(source, link >= 0 && link < links.size() ? links.at(link) : QString(),
                          tableContext());
}

// The shape properties that say where a shape stands when its control
// words leave it to them (\shpbxignore, \shpbyignore).
void RtfReader::Private::shapeProperty()
{
    const QByteArray name = shapeRead->name.trimmed();
    bool isNumber = false;
    const int value = shapeRead->value.trimmed().toInt(&isNumber);
    if (!isNumber)
        return;
    if (name == "posrelh") // 0 margin, 1 page, 2 column, 3 character
        shapeRead->shape.horizontalFrom = value == 1 ? AnchorOrigin::Page : AnchorOrigin::Margin;
    else if (name == "posrelv") // 0 margin, 1 page, 2 paragraph, 3 line
        shapeRead->shape.verticalFrom = value == 1 ? AnchorOrigin::Page
            : value == 0                           ? AnchorOrigin::Margin
                                                   : AnchorOrigin::Paragraph;
}

// A picture shape becomes a picture at its place; other shapes (lines, text
// boxes, drawings) are not kept.
void RtfReader::Private::finishShape()
{
    std::optional<ShapeRead> read = std::move(shapeRead);
    shapeRead.reset();
    if (!read || !read->picture)
        return;
    if (objectRead) {
        objectRead->picture = read->picture; // an object standing at a fixed place
        objectRead->shape = read->shape;
        return;
    }
    flushText();
    builder->appendPicture(*read->picture, QString(), state().para.inTable, &read->shape);
}

// A link as a local path: relative ones from the file's folder, file: URLs
// as their path. Network addresses and Windows drive paths stay as they
// are: they show as a placeholder and are never fetched.
QString RtfReader::Private::resolvedLink(const QString &link) const
{
    if (link.startsWith(QLatin1String("file:"), Qt::CaseInsensitive))
        return QUrl(link).toLocalFile();
    const bool drive = link.size() > 1 && link.at(1) == QLatin1Char(':');
    if (link.contains(QLatin1String("://")) || link.startsWith(QLatin1String("\\\\")) || drive
        || QDir::isAbsolutePath(link) || baseFolder.isEmpty())
        return link;
    return QDir(baseFolder).filePath(link);
}

// A file embedded as a Package becomes an embedded object; any other object
// shows its result picture.
void RtfReader::Private::finishObject()
{
    std::optional<ObjectRead> read = std::move(objectRead);
    objectRead.reset();
    if (!read)
        return;
    flushText();
    const bool inTable = state().para.inTable;
    const word::ShapeProperties *shape = read->shape ? &*read->shape : nullptr;
    if (const std::optional<PackagedFile> file = read->className.trimmed() == "Package" ? unpackObject(read->data)
                                                                                          : std::nullopt) {
        builder->appendEmbeddedObject(file->fileName, file->bytes, read->picture ? &*read->picture : nullptr, shape,
                                      inTable);
        return;
    }
    // Only a result that shows something: an object of another program
    // with a broken picture is left out, as readers that cannot open it do.
    if (read->picture && !decodePicture(*read->picture).placeholder)
        builder->appendPicture(*read->picture, QString(), inTable, shape);
}

void RtfReader::Private::finishFieldInstruction(GroupState &fieldGroup)
{
    const QString instruction = fieldInstructionText + decoder.decode(ansiCodePage, fieldInstruction);
    fieldInstruction.clear();
    fieldInstructionText.clear();
    static const QRegularExpression pageField(QStringLiteral(R"re(^\s*(PAGE|NUMPAGES|SECTIONPAGES)\b)re"),
                                              QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression includePicture(QStringLiteral(R"re(^\s*INCLUDEPICTURE\s+(?:"([^"]*)"|(\S+)))re"),
                                                   QRegularExpression::CaseInsensitiveOption);
    if (const QRegularExpressionMatch include = includePicture.match(instruction); include.hasMatch()) {
        QString path = include.captured(1).isNull() ? include.captured(2) : include.captured(1);
        path.replace(QLatin1String("\\\\"), QLatin1String("\\"));
        includePicturePath = resolvedLink(path);
        includePictureShown = false;
        fieldGroup.includeField = !includePicturePath.isEmpty();
        return;
    }
    if (const QRegularExpressionMatch page = pageField.match(instruction); page.hasMatch()) {
        fieldGroup.chr.field = page.captured(1).compare(QLatin1String("PAGE"), Qt::CaseInsensitive) == 0
            ? FieldKind::PageNumber : FieldKind::PageCount;
        fieldWithoutResult = fieldGroup.chr.field;
        return;
    }
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

void RtfReader::Private::startStory(int slot)
{
    flushText();
    GroupState &s = state();
    s.storyGroup = true;
    s.para = defaultParaState();
    s.chr = defaultCharState();
    auto document = std::make_unique<QTextDocument>();
    document->setDefaultFont(bodyBuilder.document()->defaultFont());
    document->setUndoRedoEnabled(false);
    storyBuilder.emplace(QTextCursor(document.get()), Mode::Load);
    builder = &*storyBuilder;
    const int kind = std::clamp(slot / 3, 0, 1);
    const int pages = std::clamp(slot % 3, 0, 2);
    // A later story of the section for the same pages replaces an earlier one.
    // Stories come in the order of their sections: only those at the back
    // can be this section's.
    const int section = bodyBuilder.currentSection();
    auto ofSection = stories.end();
    while (ofSection != stories.begin() && std::prev(ofSection)->section == section)
        --ofSection;
    stories.erase(std::remove_if(ofSection, stories.end(),
                                 [&](const Story &story) {
                                     return int(story.kind) == kind && int(story.pages) == pages;
                                 }),
                  stories.end());
    stories.push_back(Story{HeaderFooterKind(kind), HeaderFooterPages(pages), section, std::move(document)});
}

void RtfReader::Private::startNote()
{
    flushText();
    GroupState &s = state();
    s.noteGroup = true;
    s.para = defaultParaState();
    s.chr = defaultCharState();
    NoteRead &read = note.emplace();
    read.document = std::make_unique<QTextDocument>();
    read.document->setUndoRedoEnabled(false);
    read.builder.emplace(QTextCursor(read.document.get()), Mode::Load);
    read.outer = builder;
    builder = &*read.builder;
}

void RtfReader::Private::finishNote()
{
    flushText();
    builder->finish(state().para);
    QStringList paragraphs;
    for (QTextBlock block = note->document->begin(); block.isValid(); block = block.next())
        paragraphs << block.text();
    const QString text = paragraphs.join(QChar::ParagraphSeparator).trimmed();
    const bool endnote = note->endnote;
    builder = note->outer;
    note.reset();

    // The mark is the number \\chftn put just before the note, else the
    // character before it; a note with neither gets a mark of its own.
    int to = builder->position();
    int from = to;
    QString mark;
    if (noteMarkEnd == to) {
        from = to - noteMarkLength;
        if (endnote) {
            --footnoteCount;
            mark = ListNumbering::numberText(++endnoteCount, QTextListFormat::ListLowerRoman);
        }
    } else if (builder->blockHasContent()) {
        from = to - 1;
    } else {
        appendChars(QStringLiteral("*"));
        flushText();
        to = builder->position();
        from = to - 1;
    }
    noteMarkEnd = -1;
    if (!text.isEmpty() && from < to)
        builder->markNote(from, to, text, endnote, mark);
}

void RtfReader::Private::finishStory()
{
    flushText();
    builder->finish(state().para);
    storyBuilder.reset();
    builder = &bodyBuilder;
}

void RtfReader::Private::finish()
{
    // The file's own closing braces may be missing: close what is open.
    if (highSurrogate) {
        pendingText.append(QChar(QChar::ReplacementCharacter));
        highSurrogate = 0;
    }
    if (shapeRead)
        finishShape(); // a picture shape the file never closed
    if (builder != &bodyBuilder)
        finishStory(); // a header the file never closed
    flushText();
    bodyBuilder.setDefaultTabStop(defaultTab);
    if (lineGrid)
        bodyBuilder.setLinePitch(linePitch);
    bodyBuilder.setSectionProperties(sectionRead());
    builder->finish(documentEndPara.value_or(state().para));
}

} // namespace tamapiko::engine::rtf
