#include "engine/formats/RtfWriter.h"
#include "engine/ResourceImage.h"

#include "engine/EngineProperties.h"
#include "engine/formats/RtfCodePage.h"
#include "engine/formats/RtfControlWords.h"
#include "engine/formats/RtfObject.h"
#include "engine/formats/RtfPicture.h"
#include "engine/editing/EmbeddedObject.h"
#include "engine/formats/word/DocumentWalker.h"
#include "engine/formats/word/WordFormats.h"
#include "engine/layout/ListNumbering.h"

#include <QBuffer>
#include <QHash>
#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QStringEncoder>
#include <QTextBlock>
#include <QRegularExpression>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <QUrl>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <functional>

namespace tamapiko::engine::rtf {

namespace {

constexpr int kShiftJisCharset = 128;
constexpr int kWrapColumn = 200; // lines stay well below 255 characters

using word::twips;

// The RTF text being written: control words, groups and text, with line
// breaks inserted where readers ignore them.
class RtfOutput
{
public:
    RtfOutput() : m_shiftJis("windows-31j") { m_ucStack.append(1); }

    void open()
    {
        beforeToken();
        put('{');
        ++m_column;
        m_ucStack.append(m_ucStack.last());
    }

    void close()
    {
        beforeToken();
        put('}');
        ++m_column;
        if (m_ucStack.size() > 1)
            m_ucStack.removeLast();
    }

    void word(Action action, int value = 0) { word(controlWordName(action, value)); }
    void word(Action action, int value, int parameter) { word(controlWordName(action, value), parameter); }

    void word(const char *name)
    {
        beforeToken();
        const qsizetype length = qsizetype(strlen(name));
        char *target = grow(1 + length);
        *target = '\\';
        std::memcpy(target + 1, name, length);
        m_column += 1 + length;
        m_needDelimiter = true;
    }

    void word(const char *name, int parameter)
    {
        word(name);
        number(parameter);
    }

    // Starts a destination whose group readers may skip: {\*\name
    void ignorableDestination(const char *name)
    {
        open();
        put("\\*", 2);
        m_column += 2;
        word(name);
    }

    void ignorableDestination(const char *name, int parameter)
    {
        ignorableDestination(name);
        number(parameter);
    }

    void text(QStringView text)
    {
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text.at(i);
            const char16_t u = c.unicode();
            if (isPlain(u)) {
                i = plainRun(text, i) - 1;
                continue;
            }
            if (u >= 0x20 && u < 0x7F) {
                if (u == '\\' || u == '{' || u == '}') {
                    beforeToken();
                    put('\\');
                    put(char(u));
                    m_column += 2;
                } else {
                    beforeText();
                    put(char(u));
                    ++m_column;
                }
                continue;
            }
            if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
                unicode(text.sliced(i, 2));
                ++i;
                continue;
            }
            character(u);
        }
    }

    // Text whose control characters go out as \\'hh: a list level's
    // length and its number placeholders.
    void hexText(QStringView chars)
    {
        for (qsizetype i = 0; i < chars.size(); ++i) {
            const char16_t u = chars.at(i).unicode();
            if (u >= 0x20) {
                text(chars.sliced(i, 1));
                continue;
            }
            beforeToken();
            put("\\'", 2);
            const QByteArray digits = QByteArray::number(u, 16).rightJustified(2, '0');
            put(digits.constData(), digits.size());
            m_column += 4;
        }
    }

    // A line of raw ASCII (hex picture data), on a line of its own.
    void rawLine(QByteArrayView bytes)
    {
        newLine();
        put(bytes.data(), bytes.size());
        m_column += bytes.size();
        m_needDelimiter = false;
    }

    void newLine()
    {
        if (m_column == 0)
            return;
        put("\r\n", 2);
        m_column = 0;
    }

    QByteArray take()
    {
        m_out.truncate(m_length);
        m_length = 0;
        m_data = nullptr;
        return std::move(m_out);
    }

private:
    static bool isPlain(char16_t u) { return u >= 0x20 && u < 0x7F && u != '\\' && u != '{' && u != '}'; }

    // Plain ASCII from `from` on, written as it is; returns where it ends.
    // Line ends go where writing it character by character would put them.
    qsizetype plainRun(QStringView text, qsizetype from)
    {
        qsizetype end = from;
        while (end < text.size() && isPlain(text.at(end).unicode()))
            ++end;
        qsizetype at = from;
        while (at < end) {
            beforeText();
            const qsizetype room = std::max<qsizetype>(1, kWrapColumn + 40 - m_column);
            const qsizetype count = std::min(room, end - at);
            char *target = grow(count);
            for (qsizetype k = 0; k < count; ++k)
                target[k] = char(text.at(at + k).unicode());
            m_column += count;
            at += count;
        }
        return end;
    }

    void number(int value)
    {
        char digits[16];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        put(digits, end - digits);
        m_column += end - digits;
    }

    // The Shift-JIS bytes of one character, or "?" for each UTF-16 unit when
    // it has none. A document uses a few thousand characters over and over:
    // each is encoded once.
    QByteArray fallbackFor(QStringView character)
    {
        const bool single = character.size() == 1;
        if (single) {
            const auto known = m_fallbacks.constFind(character.at(0).unicode());
            if (known != m_fallbacks.constEnd())
                return *known;
        }
        QByteArray fallback = m_shiftJis.encode(character);
        if (m_shiftJis.hasError() || fallback.isEmpty() || fallback.contains('?')) {
            m_shiftJis.resetState();
            fallback = QByteArray(single ? 1 : 2, '?');
        }
        if (single)
            m_fallbacks.insert(character.at(0).unicode(), fallback);
        return fallback;
    }

    // \uN for each UTF-16 unit, with the Shift-JIS bytes (or "?") as the
    // fallback for readers without Unicode; \uc says how long it is.
    void unicode(QStringView character)
    {
        const QByteArray fallback = fallbackFor(character);
        for (qsizetype unit = 0; unit < character.size(); ++unit) {
            // A surrogate pair carries its whole fallback after the second unit.
            const QByteArrayView bytes = unit + 1 == character.size() ? QByteArrayView(fallback) : QByteArrayView();
            unicodeWord(qint16(character.at(unit).unicode()), int(bytes.size()));
            fallbackBytes(bytes);
        }
    }

    // One character that is neither plain ASCII nor half of a surrogate
    // pair: its control symbol, or \uN with its fallback. Japanese text is
    // made of a few thousand characters used over and over, so each is
    // looked up and encoded once.
    void character(char16_t u)
    {
        auto &page = m_characters[u >> 8];
        if (!page)
            page = std::make_unique<std::array<EncodedCharacter, 256>>();
        EncodedCharacter &encoded = (*page)[u & 0xFF];
        if (encoded.kind == EncodedCharacter::NotYet)
            encoded = encodedCharacter(u);
        switch (encoded.kind) {
        case EncodedCharacter::NotYet:
        case EncodedCharacter::Dropped:
            return;
        case EncodedCharacter::ControlSymbol:
            beforeToken();
            put('\\');
            put(encoded.symbol->name[0]);
            m_column += 2;
            return;
        case EncodedCharacter::Word:
            word(encoded.symbol->name);
            return;
        case EncodedCharacter::Unicode:
            unicodeWord(qint16(u), encoded.fallbackLength);
            fallbackBytes(QByteArrayView(encoded.fallback, encoded.fallbackLength));
            return;
        }
    }

    struct EncodedCharacter
    {
        enum Kind : quint8 { NotYet, Dropped, ControlSymbol, Word, Unicode };
        Kind kind = NotYet;
        quint8 fallbackLength = 0;
        char fallback[2] = {};
        const ControlWord *symbol = nullptr;
    };

    EncodedCharacter encodedCharacter(char16_t u)
    {
        EncodedCharacter encoded;
        encoded.kind = EncodedCharacter::Dropped;
        if (const ControlWord *symbol = symbolWordFor(u)) {
            encoded.symbol = symbol;
            encoded.kind = symbol->name[1] == 0 ? EncodedCharacter::ControlSymbol : EncodedCharacter::Word;
            return encoded;
        }
        if (u < 0x20)
            return encoded; // other control characters have no place in RTF text
        const QByteArray fallback = fallbackFor(QStringView(&u, 1));
        encoded.kind = EncodedCharacter::Unicode;
        encoded.fallbackLength = quint8(std::min<qsizetype>(fallback.size(), 2));
        std::copy_n(fallback.constData(), encoded.fallbackLength, encoded.fallback);
        return encoded;
    }

    // \ucN when the fallback length changes, then \uN.
    void unicodeWord(qint16 value, int skip)
    {
        if (m_ucStack.last() != skip) {
            word(m_unicodeSkipWord, skip);
            m_ucStack.last() = skip;
        }
        word(m_unicodeWord, value);
    }

    void fallbackBytes(QByteArrayView bytes)
    {
        for (const char b : bytes) {
            if (uchar(b) >= 0x80 || b == '\\' || b == '{' || b == '}') {
                beforeToken();
                static const char hex[] = "0123456789abcdef";
                const char escape[4] = {'\\', '\'', hex[uchar(b) >> 4], hex[uchar(b) & 15]};
                put(escape, 4);
                m_column += 4;
            } else {
                beforeText();
                put(b);
                ++m_column;
            }
        }
    }

    // QByteArray::append() goes its general insertion path for every
    // piece: the output is written into room made ahead instead, and cut to
    // its length at the end.
    char *grow(qsizetype count)
    {
        if (m_out.size() - m_length < count) {
            m_out.resize(std::max<qsizetype>({2 * m_out.size(), m_length + count, 1 << 16}));
            m_data = m_out.data();
        }
        char *at = m_data + m_length;
        m_length += count;
        return at;
    }
    void put(const char *bytes, qsizetype count) { std::memcpy(grow(count), bytes, count); }
    void put(char byte) { *grow(1) = byte; }

    void beforeToken()
    {
        if (m_column >= kWrapColumn)
            newLine();
        m_needDelimiter = false;
    }

    void beforeText()
    {
        if (m_needDelimiter) {
            put(' ');
            ++m_column;
            m_needDelimiter = false;
        } else if (m_column >= kWrapColumn + 40) {
            newLine(); // line ends inside text are ignored by readers
        }
    }

    QByteArray m_out;
    char *m_data = nullptr;
    qsizetype m_length = 0;
    qsizetype m_column = 0;
    bool m_needDelimiter = false;
    QList<int> m_ucStack;
    QStringEncoder m_shiftJis;
    QHash<char16_t, QByteArray> m_fallbacks;
    // By the high byte of the character, then the low: the pages a
    // document's script needs are made as it meets them.
    std::array<std::unique_ptr<std::array<EncodedCharacter, 256>>, 256> m_characters;
    const char *const m_unicodeWord = controlWordName(Action::Unicode);
    const char *const m_unicodeSkipWord = controlWordName(Action::UnicodeSkip);
};

struct FontInfo
{
    QString name;
    int charset = 0;
};

bool needsShiftJis(QStringView text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= 0x3000 && u <= 0x9FFF) || (u >= 0xF900 && u <= 0xFAFF) || (u >= 0xFF00 && u <= 0xFFEF))
            return true;
    }
    return false;
}

} // namespace

class RtfWriter::Private : public word::DocumentVisitor
{
public:
    Private(const QTextDocument &doc, const PageSetup &p, const HeaderFooterSet *hf)
        : document(doc), page(p), headerFooters(hf), walker(doc, p)
    {
        walker.setNestedTables(true);
    }

    QByteArray write();

    const QTextDocument &document;
    PageSetup page;
    const HeaderFooterSet *headerFooters;

    // The document as the walker describes it.
    void beginRow(const word::RowProperties &row) override;
    void endRow(const word::RowProperties &row) override;
    void writeRowDefinition(const word::RowProperties &row);
    void beginParagraph(const word::ParagraphProperties &para, bool inTable) override;
    void text(const QString &text, const word::CharacterProperties &chr) override;
    void picture(const QTextImageFormat &format, const word::CharacterProperties &chr) override;
    void endParagraph(ParagraphEnd end, const word::CharacterProperties &mark) override;
    void beginSection(const word::SectionProperties &section) override;

private:
    // \\sectd and the words of a section's page set-up and columns.
    void writeSection(const word::SectionProperties &section);
    bool sectionEnded = false; // the last paragraph ended its section
    int sectionNumber = 0;     // the section being written, from 0
    // A note's reference mark and the note after it.
    void writeNote(const QString &mark, const word::CharacterProperties &chr);
    // The picture's \pict group.
    void writePict(const QTextImageFormat &format);
    // The picture in the line, or as a shape at its place.
    void writePlacedPicture(const QTextImageFormat &format);
    void writeLinkedPicture(const QTextImageFormat &format);
    void writeObject(const QTextImageFormat &format);
    // The first walk only learns the fonts and colours the header lists.
    class Collector;

    void addFont(const QString &family, QStringView text);
    void addColor(const QColor &color);
    int fontIndex(const QString &family) const;
    int colorIndex(const QColor &color) const;

    void writeHeader();
    void writeListTables();
    void addList(const word::ListMembership &list);
    // Every header and footer story with the walk `visit` does on it.
    void forEachStory(int section, const std::function<void(const char *name, const QTextDocument &story)> &visit) const;
    void writeStories(int section);
    void writeCharFormat(const word::CharacterProperties &chr);
    void writeBorder(const word::Border &border);
    void openLink(const QString &href);
    void closeLink();

    word::DocumentWalker walker;
    RtfOutput out;
    QList<FontInfo> fonts;
    QList<QColor> colors; // index 0 is "auto"
    QString openHref;
    int paragraphDepth = 0; // of the table the paragraph being written is in
    std::map<int, std::array<word::ListLevelFormat, 9>> lists; // by list number
};

class RtfWriter::Private::Collector : public word::DocumentVisitor
{
public:
    explicit Collector(Private &writer) : w(writer) {}

    void beginRow(const word::RowProperties &row) override
    {
        for (const word::CellProperties &cell : row.cells) {
            w.addColor(cell.shading);
            for (const word::Border &border : cell.borders)
                w.addColor(border.color);
        }
    }
    void beginParagraph(const word::ParagraphProperties &para, bool) override
    {
        if (para.list.list > 0)
            w.addList(para.list);
    }
    void text(const QString &text, const word::CharacterProperties &chr) override
    {
        w.addFont(chr.font, text);
        w.addColor(chr.foreColor);
        w.addColor(chr.backColor);
    }
    void picture(const QTextImageFormat &, const word::CharacterProperties &) override {}
    // Paragraph marks are not written: their fonts and colours would only
    // fill the tables (and be gone when the file is read back).
    void endParagraph(ParagraphEnd, const word::CharacterProperties &) override {}

private:
    Private &w;
};

RtfWriter::RtfWriter(const QTextDocument &document, const PageSetup &page, const HeaderFooterSet *headerFooters)
    : d(std::make_unique<Private>(document, page, headerFooters))
{
}

RtfWriter::~RtfWriter() = default;

QByteArray RtfWriter::write() { return d->write(); }

// ---------------------------------------------------------------- tables of the header

void RtfWriter::Private::addFont(const QString &family, QStringView text)
{
    auto it = std::find_if(fonts.begin(), fonts.end(), [&](const FontInfo &f) { return f.name == family; });
    if (it == fonts.end()) {
        fonts.append(FontInfo{family, needsShiftJis(family) ? kShiftJisCharset : 0});
        it = fonts.end() - 1;
    }
    if (it->charset == 0 && needsShiftJis(text))
        it->charset = kShiftJisCharset;
}

void RtfWriter::Private::addColor(const QColor &color)
{
    if (color.isValid() && colorIndex(color) < 0)
        colors.append(color.toRgb());
}

int RtfWriter::Private::fontIndex(const QString &family) const
{
    for (int i = 0; i < fonts.size(); ++i) {
        if (fonts.at(i).name == family)
            return i;
    }
    return 0;
}

int RtfWriter::Private::colorIndex(const QColor &color) const
{
    if (!color.isValid())
        return -1;
    const QRgb rgb = color.toRgb().rgb();
    for (int i = 1; i < colors.size(); ++i) {
        if (colors.at(i).rgb() == rgb)
            return i;
    }
    return -1;
}
void RtfWriter::Private::writeHeader()
{
    out.open();
    out.word(controlWordName(Action::RtfHeader), 1);
    out.word(Action::Ansi);
    out.word(controlWordName(Action::AnsiCodePage), 932);
    out.word(controlWordName(Action::DefaultFont), 0);
    out.word(controlWordName(Action::UnicodeSkip), 1);

    out.open();
    out.word(Action::FontTable);
    for (int i = 0; i < fonts.size(); ++i) {
        const FontInfo &font = fonts.at(i);
        out.newLine();
        out.open();
        out.word(controlWordName(Action::FontNumber), i);
        out.word(Action::FontFamily);
        out.word(controlWordName(Action::FontCharset), font.charset);
        // Font names are read in the font's own code page; \u keeps the
        // exact name for Unicode readers whatever that code page holds.
        out.text(font.name);
        out.text(u";");
        out.close();
    }
    out.close();

    out.newLine();
    out.open();
    out.word(Action::ColorTable);
    out.text(u";");
    for (int i = 1; i < colors.size(); ++i) {
        const QColor &c = colors.at(i);
        out.word(controlWordName(Action::Red), c.red());
        out.word(controlWordName(Action::Green), c.green());
        out.word(controlWordName(Action::Blue), c.blue());
        out.text(u";");
    }
    out.close();

    writeListTables();

    out.newLine();
    out.ignorableDestination("generator");
    out.text(u"tamapiko;");
    out.close();

    out.newLine();
    out.word(controlWordName(Action::PaperWidth), page.width);
    out.word(controlWordName(Action::PaperHeight), page.height);
    out.word(controlWordName(Action::MarginLeft), page.marginLeft);
    out.word(controlWordName(Action::MarginRight), page.marginRight);
    out.word(controlWordName(Action::MarginTop), page.marginTop);
    out.word(controlWordName(Action::MarginBottom), page.marginBottom);
    if (page.width > page.height)
        out.word(Action::Landscape);
    // Before the section's own words (\\headery, \\titlepg...), which a
    // \\sectd after them would reset.
    writeSection(walker.firstSection());
    out.word(controlWordName(Action::DefaultTab), walker.defaultTabStop());
    out.word(Action::DocumentWidowControl); // paragraphs without it say \\nowidctlpar
    if (const int pitch = walker.linePitch(); pitch > 0) {
        out.word(controlWordName(Action::LineGridPitch), pitch);
        out.word(Action::LineGridOn);
    }
    if (headerFooters && !headerFooters->isEmpty()) {
        out.word(controlWordName(Action::HeaderDistance), page.headerDistance);
        out.word(controlWordName(Action::FooterDistance), page.footerDistance);
        if (headerFooters->differentEvenPages())
            out.word(Action::FacingPages);
        if (headerFooters->differentFirstPage())
            out.word(Action::TitlePage);
    }
    out.newLine();
}

void RtfWriter::Private::addList(const word::ListMembership &list)
{
    auto it = lists.find(list.list);
    if (it == lists.end()) {
        std::array<word::ListLevelFormat, 9> levels;
        for (word::ListLevelFormat &level : levels)
            level = list.format;
        it = lists.emplace(list.list, levels).first;
    }
    it->second[std::clamp(list.level, 0, 8)] = list.format;
}

void RtfWriter::Private::writeListTables()
{
    if (lists.empty())
        return;
    out.newLine();
    out.ignorableDestination("listtable");
    for (const auto &[number, levels] : lists) {
        out.newLine();
        out.open();
        out.word("list");
        for (int index = 0; index < 9; ++index) {
            const word::ListLevelFormat &level = levels[index];
            static constexpr int kFormats[] = {0, 1, 2, 3, 4, 23, 255};
            out.open();
            out.word("listlevel");
            out.word("levelnfc", kFormats[int(level.format)]);
            out.word("levelstartat", level.start);
            out.word("levelfollow", level.follow);
            // The number text: its length, then the text with \\'0N for
            // the level's own number.
            QString text;
            if (level.format == word::NumberFormat::Bullet)
                text = level.bullet;
            else if (level.format != word::NumberFormat::None)
                text = level.prefix + QChar(char16_t(index)) + level.suffix;
            out.open();
            out.word("leveltext");
            out.hexText(QChar(char16_t(text.size())) + text);
            out.text(u";");
            out.close();
            // Where the number goes in that text (from 1): readers that
            // go by it take the placeholder for text otherwise.
            out.open();
            out.word("levelnumbers");
            if (level.format != word::NumberFormat::Bullet && level.format != word::NumberFormat::None)
                out.hexText(QString(QChar(char16_t(level.prefix.size() + 1))));
            out.text(u";");
            out.close();
            out.word(controlWordName(Action::FirstIndent), -ListNumbering::LevelIndent);
            out.word(controlWordName(Action::LeftIndent), ListNumbering::LevelIndent * (index + 1));
            out.close();
        }
        out.word("listid", number);
        out.close();
    }
    out.close();
    out.newLine();
    out.ignorableDestination("listoverridetable");
    for (const auto &entry : lists) {
        out.open();
        out.word("listoverride");
        out.word("listid", entry.first);
        out.word("listoverridecount", 0);
        out.word("ls", entry.first);
        out.close();
    }
    out.close();
}

// The section's own stories (a later section leaves out those it shows from
// the section before).
void RtfWriter::Private::forEachStory(
    int section, const std::function<void(const char *name, const QTextDocument &story)> &visit) const
{
    if (!headerFooters)
        return;
    // With even pages told apart, the common story is the odd pages' one.
    const bool facing = headerFooters->differentEvenPages();
    static constexpr struct {
        HeaderFooterKind kind;
        HeaderFooterPages pages;
        const char *name;
        const char *facingName;
    } kStories[] = {
        {HeaderFooterKind::Header, HeaderFooterPages::Default, "header", "headerr"},
        {HeaderFooterKind::Header, HeaderFooterPages::Even, "headerl", "headerl"},
        {HeaderFooterKind::Header, HeaderFooterPages::First, "headerf", "headerf"},
        {HeaderFooterKind::Footer, HeaderFooterPages::Default, "footer", "footerr"},
        {HeaderFooterKind::Footer, HeaderFooterPages::Even, "footerl", "footerl"},
        {HeaderFooterKind::Footer, HeaderFooterPages::First, "footerf", "footerf"},
    };
    for (const auto &story : kStories) {
        if (const QTextDocument *document = headerFooters->story(story.kind, story.pages, section))
            visit(facing ? story.facingName : story.name, *document);
    }
}

void RtfWriter::Private::writeStories(int section)
{
    forEachStory(section, [this](const char *name, const QTextDocument &story) {
        out.newLine();
        out.open();
        out.word(name);
        word::DocumentWalker(story, page).walk(*this);
        closeLink();
        out.close();
    });
    out.newLine();
}

// ---------------------------------------------------------------- body

QByteArray RtfWriter::Private::write()
{
    fonts.append(FontInfo{walker.defaultFamily(), needsShiftJis(walker.defaultFamily()) ? kShiftJisCharset : 0});
    colors.append(QColor()); // "auto"
    Collector collector(*this);
    walker.walk(collector);
    for (int s = 0; headerFooters && s < headerFooters->sectionCount(); ++s) {
        forEachStory(s, [&](const char *, const QTextDocument &story) {
            word::DocumentWalker(story, page).walk(collector);
        });
    }

    writeHeader();
    writeStories(0);
    walker.walk(*this);
    out.close();
    out.newLine();
    return out.take();
}

void RtfWriter::Private::writeBorder(const word::Border &border)
{
    out.word(border.isDouble ? Action::BorderDouble : Action::BorderSingle);
    out.word(controlWordName(Action::BorderWidth), std::max(1, border.width));
    if (const int index = colorIndex(border.color); index > 0)
        out.word(controlWordName(Action::BorderColor), index);
}

void RtfWriter::Private::beginRow(const word::RowProperties &row)
{
    // A row of a table in a cell is described after its cells.
    if (row.depth < 2)
        writeRowDefinition(row);
}

void RtfWriter::Private::writeRowDefinition(const word::RowProperties &row)
{
    out.newLine();
    out.word(Action::RowDefaults);
    out.word(controlWordName(Action::RowGap), row.gap);
    if (row.left != 0)
        out.word(controlWordName(Action::RowLeft), row.left);
    if (row.height != 0)
        out.word(controlWordName(Action::RowHeight), row.height);
    if (row.alignment == word::Alignment::Center)
        out.word(Action::RowAlignCenter);
    else if (row.alignment == word::Alignment::Right)
        out.word(Action::RowAlignRight);
    if (row.header)
        out.word(Action::RowHeader);
    static constexpr struct {
        int word::RowProperties::*padding;
        Action value;
        Action unit;
    } kPaddings[] = {{&word::RowProperties::paddingLeft, Action::RowPaddingLeft, Action::RowPaddingUnitLeft},
                     {&word::RowProperties::paddingTop, Action::RowPaddingTop, Action::RowPaddingUnitTop},
                     {&word::RowProperties::paddingRight, Action::RowPaddingRight, Action::RowPaddingUnitRight},
                     {&word::RowProperties::paddingBottom, Action::RowPaddingBottom, Action::RowPaddingUnitBottom}};
    for (const auto &padding : kPaddings) {
        if (row.*padding.padding < 0)
            continue;
        out.word(controlWordName(padding.value), row.*padding.padding);
        out.word(controlWordName(padding.unit), 3);
    }
    for (const word::CellProperties &cell : row.cells) {
        if (cell.verticalMerge)
            out.word(Action::CellVerticalMerge);
        else if (cell.verticalMergeFirst)
            out.word(Action::CellVerticalMergeFirst);
        if (cell.merge)
            out.word(Action::CellMerge);
        else if (cell.mergeFirst)
            out.word(Action::CellMergeFirst);
        if (cell.vertical == word::VerticalAlignment::Center)
            out.word(Action::CellVerticalCenter);
        else if (cell.vertical == word::VerticalAlignment::Bottom)
            out.word(Action::CellVerticalBottom);
        static constexpr struct {
            word::BorderSide side;
            Action action;
        } kSides[] = {{word::Top, Action::CellBorderTop}, {word::Left, Action::CellBorderLeft},
                      {word::Bottom, Action::CellBorderBottom}, {word::Right, Action::CellBorderRight}};
        for (const auto &side : kSides) {
            if (!cell.borders[side.side].present)
                continue;
            out.word(side.action);
            writeBorder(cell.borders[side.side]);
        }
        if (const int index = colorIndex(cell.shading); index > 0)
            out.word(controlWordName(Action::CellShading), index);
        out.word(controlWordName(Action::CellBoundary), cell.right);
    }
    out.newLine();
}

void RtfWriter::Private::endRow(const word::RowProperties &row)
{
    if (row.depth >= 2) {
        // Readers without nesting skip the inner row's definition and end
        // the flattened row with a paragraph of their own.
        out.ignorableDestination(controlWordName(Action::NestedTableProperties));
        writeRowDefinition(row);
        out.word(Action::NestedRow);
        out.close();
        out.open();
        out.word("nonesttables");
        out.word(Action::Paragraph);
        out.close();
    } else {
        out.word(Action::Row);
    }
    out.newLine();
}

void RtfWriter::Private::beginParagraph(const word::ParagraphProperties &para, bool inTable)
{
    out.newLine();
    out.word(Action::Pard);
    if (inTable)
        out.word(Action::InTable);
    paragraphDepth = inTable ? para.tableDepth : 0;
    if (paragraphDepth >= 2)
        out.word(controlWordName(Action::TableDepth), paragraphDepth);
    switch (para.alignment) {
    case word::Alignment::Right: out.word(Action::AlignRight); break;
    case word::Alignment::Center: out.word(Action::AlignCenter); break;
    case word::Alignment::Justify: out.word(Action::AlignJustify); break;
    case word::Alignment::Left: out.word(Action::AlignLeft); break;
    }
    if (para.leftIndent)
        out.word(controlWordName(Action::LeftIndent), para.leftIndent);
    if (para.rightIndent)
        out.word(controlWordName(Action::RightIndent), para.rightIndent);
    if (para.firstIndent)
        out.word(controlWordName(Action::FirstIndent), para.firstIndent);
    if (para.spaceBefore)
        out.word(controlWordName(Action::SpaceBefore), para.spaceBefore);
    if (para.spaceAfter)
        out.word(controlWordName(Action::SpaceAfter), para.spaceAfter);
    if (para.lineSpacing) {
        out.word(controlWordName(Action::LineSpacing), para.lineSpacing);
        out.word(controlWordName(Action::LineMultiple), para.lineMultiple ? 1 : 0);
    }
    for (const word::TabStop &tab : para.tabs) {
        static constexpr Action kLeaders[] = {Action::TabLeaderDot, Action::TabLeaderHyphen, Action::TabLeaderUnderline,
                                              Action::TabLeaderHeavy, Action::TabLeaderMiddleDot};
        if (tab.leader != word::TabLeader::None)
            out.word(kLeaders[int(tab.leader) - 1]);
        if (tab.type == QTextOption::RightTab)
            out.word(Action::TabRight);
        else if (tab.type == QTextOption::CenterTab)
            out.word(Action::TabCenter);
        else if (tab.type == QTextOption::DelimiterTab)
            out.word(Action::TabDecimal);
        out.word(controlWordName(Action::TabPosition), tab.position);
    }
    if (para.list.list > 0) {
        out.word("ls", para.list.list);
        out.word("ilvl", para.list.level);
    }
    if (para.keepNext)
        out.word(Action::KeepNext);
    if (para.keepTogether)
        out.word(Action::KeepTogether);
    if (!para.widowControl)
        out.word(Action::NoWidowControl);
    if (para.pageBreakBefore)
        out.word(Action::PageBreakBefore);
    if (para.columnBreakBefore && !inTable)
        out.word(Action::ColumnBreak);

    if (para.frameStyle >= 0) {
        static constexpr struct {
            word::BorderSide side;
            Action action;
        } kSides[] = {{word::Top, Action::BorderTop}, {word::Bottom, Action::BorderBottom},
                      {word::Left, Action::BorderLeft}, {word::Right, Action::BorderRight},
                      {word::Bar, Action::BorderBar}};
        for (const auto &side : kSides) {
            const word::Border &border = para.borders[side.side];
            if (!border.present)
                continue;
            out.word(side.action);
            out.word(border.isDouble ? Action::BorderDouble : Action::BorderSingle);
            if (border.width > 0)
                out.word(controlWordName(Action::BorderWidth), border.width);
            out.word(controlWordName(Action::BorderSpace), border.space);
        }
        // The exact bits (absent sides, connected frames) for our own reader.
        out.ignorableDestination(controlWordName(Action::FrameStyleExtension), para.frameStyle);
        out.close();
    }
    // The number as text too, for readers that know no lists.
    if (para.list.list > 0 && !para.list.itemText.isEmpty()) {
        out.open();
        out.word(controlWordName(Action::ListText));
        out.text(para.list.itemText);
        out.word("tab");
        out.close();
    }
}

void RtfWriter::Private::writeCharFormat(const word::CharacterProperties &chr)
{
    out.word(controlWordName(Action::FontNumber), fontIndex(chr.font));
    out.word(controlWordName(Action::FontSize), chr.halfPoints);
    if (chr.bold)
        out.word(Action::Bold);
    if (chr.italic)
        out.word(Action::Italic);
    if (chr.doubleStrike)
        out.word(Action::DoubleStrike);
    else if (chr.strike)
        out.word(Action::Strike);
    if (chr.caps)
        out.word(Action::Caps);
    if (chr.smallCaps)
        out.word(Action::SmallCaps);
    if (chr.underline != word::UnderlineKind::None)
        out.word(Action::Underline, int(chr.underline));
    if (const int index = colorIndex(chr.foreColor); index > 0)
        out.word(controlWordName(Action::ForeColor), index);
    if (const int index = colorIndex(chr.backColor); index > 0) {
        out.word(controlWordName(Action::BackColor), index);
        // Readers of the WordPad class know only highlighting.
        out.word(controlWordName(Action::Highlight), index);
    }
    if (chr.offset > 0)
        out.word(controlWordName(Action::Up), chr.offset);
    else if (chr.offset < 0)
        out.word(controlWordName(Action::Down), -chr.offset);
    else if (chr.vertical == 1)
        out.word(Action::Superscript);
    else if (chr.vertical == 2)
        out.word(Action::Subscript);
    if (chr.hidden)
        out.word(Action::Hidden);
}

void RtfWriter::Private::openLink(const QString &href)
{
    if (href == openHref)
        return;
    closeLink();
    if (href.isEmpty())
        return;
    out.open();
    out.word(Action::Field);
    out.ignorableDestination(controlWordName(Action::FieldInstruction));
    QString target = href;
    target.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    if (target.startsWith(QLatin1Char('#')))
        out.text(QStringLiteral("HYPERLINK \\l \"%1\"").arg(target.mid(1)));
    else
        out.text(QStringLiteral("HYPERLINK \"%1\"").arg(target));
    out.close();
    out.open();
    out.word(Action::FieldResult);
    openHref = href;
}

void RtfWriter::Private::closeLink()
{
    if (openHref.isEmpty())
        return;
    out.close(); // fldrslt
    out.close(); // field
    openHref.clear();
}

void RtfWriter::Private::text(const QString &text, const word::CharacterProperties &chr)
{
    openLink(chr.link);
    out.open();
    writeCharFormat(chr);
    if (chr.field != FieldKind::None) {
        // The run is the field's last result; readers show their own.
        out.open();
        out.word(Action::Field);
        out.ignorableDestination(controlWordName(Action::FieldInstruction));
        out.text(chr.field == FieldKind::PageNumber ? u"PAGE" : u"NUMPAGES");
        out.close();
        out.open();
        out.word(Action::FieldResult);
        out.text(text);
        out.close();
        out.close();
    } else if (!chr.note.isEmpty()) {
        writeNote(text, chr);
    } else {
        out.text(text);
    }
    out.close();
}

void RtfWriter::Private::writeNote(const QString &mark, const word::CharacterProperties &chr)
{
    // A number is the note's own: readers count it again (\\chftn); any
    // other mark is written as it is.
    static const QRegularExpression counted(QStringLiteral("^([0-9]+|[ivxlcdm]+)$"));
    const bool numbered = counted.match(mark).hasMatch();
    if (numbered)
        out.word(Action::FootnoteNumber);
    else
        out.text(mark);
    out.open();
    out.word(Action::Footnote);
    if (chr.endnote)
        out.word(Action::NoteIsEndnote);
    out.word(Action::Pard);
    out.word(Action::Plain);
    out.open();
    out.word(Action::Superscript);
    if (numbered)
        out.word(Action::FootnoteNumber);
    else
        out.text(mark);
    out.close();
    const QStringList paragraphs = chr.note.split(QChar::ParagraphSeparator);
    for (qsizetype i = 0; i < paragraphs.size(); ++i) {
        if (i > 0)
            out.word(Action::Paragraph);
        out.text(QString(u' ' + paragraphs[i]));
    }
    out.close();
}

void RtfWriter::Private::endParagraph(ParagraphEnd end, const word::CharacterProperties &)
{
    closeLink();
    // Every paragraph ends with \par, the last one too: readers drop the
    // properties of a paragraph that nothing ends.
    if (end == ParagraphEnd::Cell)
        out.word(paragraphDepth >= 2 ? Action::NestedCell : Action::Cell);
    else if (end == ParagraphEnd::Section)
        out.word(Action::Section); // ends the paragraph too
    else
        out.word(Action::Paragraph);
    sectionEnded = end == ParagraphEnd::Section;
}

void RtfWriter::Private::beginSection(const word::SectionProperties &section)
{
    if (!sectionEnded)
        out.word(Action::Section);
    sectionEnded = false;
    out.newLine();
    writeSection(section);
    ++sectionNumber;
    if (headerFooters) {
        if (headerFooters->differentFirstPage(sectionNumber))
            out.word(Action::TitlePage);
        writeStories(sectionNumber);
    }
}

void RtfWriter::Private::writeSection(const word::SectionProperties &section)
{
    out.word(Action::SectionDefaults);
    if (section.start != SectionStart::NewPage)
        out.word(Action::SectionBreak, int(section.start));
    const PageSetup &p = section.page;
    out.word(controlWordName(Action::SectionPaperWidth), p.width);
    out.word(controlWordName(Action::SectionPaperHeight), p.height);
    out.word(controlWordName(Action::SectionMarginLeft), p.marginLeft);
    out.word(controlWordName(Action::SectionMarginRight), p.marginRight);
    out.word(controlWordName(Action::SectionMarginTop), p.marginTop);
    out.word(controlWordName(Action::SectionMarginBottom), p.marginBottom);
    if (section.landscape)
        out.word(Action::SectionLandscape);
    out.word(controlWordName(Action::HeaderDistance), p.headerDistance);
    out.word(controlWordName(Action::FooterDistance), p.footerDistance);
    const ColumnSetup &columns = section.columns;
    if (columns.count > 1) {
        out.word(controlWordName(Action::Columns), columns.count);
        out.word(controlWordName(Action::ColumnSpacing), columns.spacing);
        if (columns.lineBetween)
            out.word(Action::LineBetweenColumns);
        for (int i = 0; i < columns.widths.size(); ++i) {
            out.word(controlWordName(Action::ColumnNumber), i + 1);
            out.word(controlWordName(Action::ColumnWidth), columns.widths.at(i));
            if (i + 1 < columns.widths.size())
                out.word(controlWordName(Action::ColumnGap), columns.gaps.value(i));
        }
    }
    out.newLine();
}

void RtfWriter::Private::picture(const QTextImageFormat &format, const word::CharacterProperties &chr)
{
    openLink(chr.link);
    if (isEmbeddedObject(format))
        writeObject(format);
    else if (format.hasProperty(ImageLinkedPath))
        writeLinkedPicture(format);
    else
        writePlacedPicture(format);
}

// A linked picture is an INCLUDEPICTURE field that does not keep the
// picture (\d); its result shows the picture to readers that do not follow
// the link.
void RtfWriter::Private::writeLinkedPicture(const QTextImageFormat &format)
{
    QString path = format.stringProperty(ImageLinkedPath);
    path.replace(QLatin1Char('\\'), QLatin1String("\\\\")); // field codes double a backslash
    out.open();
    out.word(Action::Field);
    out.ignorableDestination(controlWordName(Action::FieldInstruction));
    out.text(QStringLiteral(" INCLUDEPICTURE \"%1\" \\d ").arg(path));
    out.close();
    out.open();
    out.word(Action::FieldResult);
    writePlacedPicture(format);
    out.close();
    out.close();
}

// An embedded file is an OLE Package object; its result is the icon it
// shows, at its place.
void RtfWriter::Private::writeObject(const QTextImageFormat &format)
{
    const QByteArray data = packageObject({format.stringProperty(ObjectFileName), format.property(ObjectData).toByteArray()});
    out.open();
    out.word(Action::Object);
    out.word("objemb");
    out.ignorableDestination(controlWordName(Action::ObjectClass));
    out.text(u"Package");
    out.close();
    out.word("objw", twips(format.width()));
    out.word("objh", twips(format.height()));
    out.ignorableDestination(controlWordName(Action::ObjectBytes));
    const QByteArray hex = data.toHex();
    for (qsizetype at = 0; at < hex.size(); at += 128)
        out.rawLine(QByteArrayView(hex).sliced(at, std::min<qsizetype>(128, hex.size() - at)));
    out.close();
    out.open();
    out.word(Action::ObjectResult);
    writePlacedPicture(format);
    out.close();
    out.close();
}

void RtfWriter::Private::writePlacedPicture(const QTextImageFormat &format)
{
    const std::optional<word::ShapeProperties> shape = word::shapeProperties(format);
    if (!shape) {
        writePict(format);
        return;
    }
    // A picture at a fixed place is a picture shape, anchored where it is.
    out.open();
    out.word(Action::Shape);
    out.ignorableDestination(controlWordName(Action::ShapeInstance));
    out.word(controlWordName(Action::ShapeLeft), shape->left);
    out.word(controlWordName(Action::ShapeTop), shape->top);
    out.word(controlWordName(Action::ShapeRight), shape->right);
    out.word(controlWordName(Action::ShapeBottom), shape->bottom);
    out.word(Action::ShapeHorizontalFrom, int(shape->horizontalFrom));
    out.word(Action::ShapeVerticalFrom, int(shape->verticalFrom));
    const int wrap = shape->wrap == AnchorWrap::TopAndBottom ? 1 : shape->wrap == AnchorWrap::None ? 3 : 2;
    out.word(controlWordName(Action::ShapeWrap), wrap);
    out.word("shpwrk", 0);
    out.word(controlWordName(Action::ShapeBelowText), 0);
    out.word("shpz", 0);
    const auto property = [this](const char *name, const std::function<void()> &value) {
        out.open();
        out.word(Action::ShapeProperty);
        out.open();
        out.word(Action::ShapePropertyName);
        out.text(QString::fromLatin1(name));
        out.close();
        out.open();
        out.word(Action::ShapePropertyValue);
        value();
        out.close();
        out.close();
    };
    const auto number = [this](int value) { out.text(QString::number(value)); };
    property("shapeType", [&] { number(75); }); // a picture frame
    // The origins again as properties, for readers that go by these.
    property("posrelh", [&] { number(shape->horizontalFrom == AnchorOrigin::Page ? 1 : 0); });
    property("posrelv", [&] {
        number(shape->verticalFrom == AnchorOrigin::Page ? 1 : shape->verticalFrom == AnchorOrigin::Margin ? 0 : 2);
    });
    property("pib", [&] { writePict(format); });
    out.close();
    out.close();
}

void RtfWriter::Private::writePict(const QTextImageFormat &format)
{
    QByteArray bytes = format.property(ImageOriginalData).toByteArray();
    PictureFormat kind = pictureFormatFromName(format.stringProperty(ImageOriginalFormat));
    QSize pixels;
    const QImage image = resourceImage(&document, format.name());
    pixels = image.size();

    const bool keepOriginal = !bytes.isEmpty()
        && (kind == PictureFormat::Png || kind == PictureFormat::Jpeg || kind == PictureFormat::Wmf
            || kind == PictureFormat::Emf || kind == PictureFormat::MacPict);
    if (!keepOriginal) {
        if (image.isNull())
            return; // nothing to write: the picture's data is gone
        bytes.clear();
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        kind = PictureFormat::Png;
    }

    const qreal widthPt = format.width() > 0 ? format.width() : pixels.width() * 0.75;
    const qreal heightPt = format.height() > 0 ? format.height() : pixels.height() * 0.75;
    const bool metafile = kind == PictureFormat::Wmf || kind == PictureFormat::Emf || kind == PictureFormat::MacPict;

    out.open();
    out.word(Action::Picture);
    switch (kind) {
    case PictureFormat::Jpeg: out.word(Action::JpegBlip); break;
    case PictureFormat::Wmf: out.word(controlWordName(Action::WindowsMetafile), 8); break;
    case PictureFormat::Emf: out.word(Action::EnhancedMetafile); break;
    case PictureFormat::MacPict: out.word(Action::MacPicture); break;
    default: out.word(Action::PngBlip); break;
    }
    if (metafile) {
        out.word(controlWordName(Action::PictureWidth), int(std::lround(widthPt * 2540.0 / 72.0)));
        out.word(controlWordName(Action::PictureHeight), int(std::lround(heightPt * 2540.0 / 72.0)));
    } else {
        out.word(controlWordName(Action::PictureWidth), pixels.width() > 0 ? pixels.width() : int(widthPt / 0.75));
        out.word(controlWordName(Action::PictureHeight), pixels.height() > 0 ? pixels.height() : int(heightPt / 0.75));
    }
    out.word(controlWordName(Action::PictureGoalWidth), twips(widthPt));
    out.word(controlWordName(Action::PictureGoalHeight), twips(heightPt));
    const QByteArray hex = bytes.toHex();
    for (qsizetype at = 0; at < hex.size(); at += 128)
        out.rawLine(QByteArrayView(hex).sliced(at, std::min<qsizetype>(128, hex.size() - at)));
    out.close();
}
} // namespace tamapiko::engine::rtf
