#include "engine/formats/RtfCodePage.h"

namespace tamapiko::engine::rtf {

namespace {

struct CharsetCodePage
{
    int charset;
    int codePage;
};

// \fcharset values (the Windows font character sets) and their code pages.
constexpr CharsetCodePage kCharsets[] = {
    {0, 1252},   {2, 1252},   {77, 10000}, {78, 10001}, {79, 10003}, {80, 10008},
    {81, 10002}, {128, 932},  {129, 949},  {130, 1361}, {134, 936},  {136, 950},
    {161, 1253}, {162, 1254}, {163, 1258}, {177, 1255}, {178, 1256}, {186, 1257},
    {204, 1251}, {222, 874},  {238, 1250}, {254, 437},  {255, 850},
};

QStringDecoder makeDecoder(int codePage)
{
    switch (codePage) {
    case 932:
        return QStringDecoder("windows-31j");
    case 936:
        return QStringDecoder("GBK");
    case 950:
        return QStringDecoder("Big5");
    case 10000:
        return QStringDecoder("macintosh");
    case 65001:
        return QStringDecoder(QStringDecoder::Utf8);
    case 20932:
        return QStringDecoder("EUC-JP");
    case 50220:
    case 50221:
    case 50222:
        return QStringDecoder("ISO-2022-JP");
    default:
        break;
    }
    for (const QByteArray &name : {QByteArray("windows-") + QByteArray::number(codePage),
                                   QByteArray("cp") + QByteArray::number(codePage),
                                   QByteArray("IBM") + QByteArray::number(codePage)}) {
        QStringDecoder decoder(name.constData());
        if (decoder.isValid())
            return decoder;
    }
    return QStringDecoder("windows-1252");
}

// Symbol font glyphs that differ from ASCII.
constexpr char16_t kSymbolLetters[2][26] = {
    {u'Α', u'Β', u'Χ', u'Δ', u'Ε', u'Φ', u'Γ', u'Η', u'Ι', u'ϑ', u'Κ', u'Λ', u'Μ',
     u'Ν', u'Ο', u'Π', u'Θ', u'Ρ', u'Σ', u'Τ', u'Υ', u'ς', u'Ω', u'Ξ', u'Ψ', u'Ζ'},
    {u'α', u'β', u'χ', u'δ', u'ε', u'φ', u'γ', u'η', u'ι', u'ϕ', u'κ', u'λ', u'μ',
     u'ν', u'ο', u'π', u'θ', u'ρ', u'σ', u'τ', u'υ', u'ϖ', u'ω', u'ξ', u'ψ', u'ζ'},
};

struct Glyph
{
    uchar byte;
    char16_t character;
};

constexpr Glyph kSymbolGlyphs[] = {
    {0x22, u'∀'}, {0x24, u'∃'}, {0x27, u'∋'}, {0x2D, u'−'}, {0x40, u'≅'}, {0x5C, u'∴'},
    {0x5E, u'⊥'}, {0xA2, u'′'}, {0xA3, u'≤'}, {0xA5, u'∞'}, {0xA7, u'♣'}, {0xA8, u'♦'},
    {0xA9, u'♥'}, {0xAA, u'♠'}, {0xAB, u'↔'}, {0xAC, u'←'}, {0xAD, u'↑'}, {0xAE, u'→'},
    {0xAF, u'↓'}, {0xB0, u'°'}, {0xB1, u'±'}, {0xB2, u'″'}, {0xB3, u'≥'}, {0xB4, u'×'},
    {0xB6, u'∂'}, {0xB7, u'•'}, {0xB8, u'÷'}, {0xB9, u'≠'}, {0xBA, u'≡'}, {0xBB, u'≈'},
    {0xBC, u'…'}, {0xC4, u'⊗'}, {0xC5, u'⊕'}, {0xC6, u'∅'}, {0xC7, u'∩'}, {0xC8, u'∪'},
    {0xC9, u'⊃'}, {0xCC, u'⊂'}, {0xCE, u'∈'}, {0xCF, u'∉'}, {0xD1, u'∇'}, {0xD2, u'®'},
    {0xD3, u'©'}, {0xD4, u'™'}, {0xD5, u'∏'}, {0xD6, u'√'}, {0xD8, u'¬'}, {0xD9, u'∧'},
    {0xDA, u'∨'}, {0xE0, u'◊'}, {0xE2, u'®'}, {0xE3, u'©'}, {0xE4, u'™'}, {0xE5, u'∑'},
    {0xF2, u'∫'},
};

constexpr Glyph kWingdingsGlyphs[] = {
    {0x6C, u'●'}, {0x6E, u'■'}, {0x71, u'❑'}, {0x75, u'◆'}, {0x76, u'❖'}, {0x9F, u'•'},
    {0xA7, u'▪'}, {0xA8, u'◻'}, {0xD8, u'➢'}, {0xFB, u'✗'}, {0xFC, u'✓'},
};

template<size_t N>
QString decodeGlyphs(QByteArrayView bytes, const Glyph (&glyphs)[N], bool symbolLetters)
{
    QString text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const uchar byte = uchar(c);
        char16_t character = 0xF000 + byte; // where Windows puts symbol glyphs
        for (const Glyph &glyph : glyphs) {
            if (glyph.byte == byte)
                character = glyph.character;
        }
        if (character >= 0xF000) {
            if (symbolLetters && byte >= 'A' && byte <= 'Z')
                character = kSymbolLetters[0][byte - 'A'];
            else if (symbolLetters && byte >= 'a' && byte <= 'z')
                character = kSymbolLetters[1][byte - 'a'];
            else if (symbolLetters && byte >= 0x20 && byte < 0x7F)
                character = byte;
        }
        text.append(QChar(character));
    }
    return text;
}

} // namespace

int codePageForCharset(int charset, int ansiCodePage)
{
    for (const CharsetCodePage &entry : kCharsets) {
        if (entry.charset == charset)
            return entry.codePage;
    }
    return ansiCodePage;
}

QString CodePageDecoder::decode(int codePage, QByteArrayView bytes)
{
    QString text;
    decodeInto(text, codePage, bytes);
    return text;
}

void CodePageDecoder::decodeInto(QString &target, int codePage, QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return;
    bool ascii = true;
    for (const char c : bytes) {
        if (uchar(c) >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (codePage == kSymbolCodePage) {
        target.append(decodeGlyphs(bytes, kSymbolGlyphs, true));
        return;
    }
    if (codePage == kWingdingsCodePage) {
        target.append(decodeGlyphs(bytes, kWingdingsGlyphs, false));
        return;
    }
    // Plain ASCII reads the same in every code page we meet except the
    // ISO-2022 family, whose escape sequences are ASCII bytes.
    if (ascii && codePage < 50220) {
        target.append(QLatin1StringView(bytes.data(), bytes.size()));
        return;
    }
    if (codePage == 932 && decodeShiftJis(target, bytes))
        return;
    QStringDecoder *decoder = decoderFor(codePage);
    decoder->resetState();
    const qsizetype start = target.size();
    target.resize(start + decoder->requiredSpace(bytes.size()));
    const QChar *end = decoder->appendToBuffer(target.data() + start, bytes);
    target.resize(end - target.constData());
}

namespace {
// What a table entry says besides a character.
constexpr char16_t kNotAsked = 0;
constexpr char16_t kLeadByte = 0xFFFE;      // starts a two-byte character
constexpr char16_t kNeedsConverter = 0xFFFF; // the converter decides more than one character
} // namespace

QString CodePageDecoder::convert(int codePage, QByteArrayView bytes)
{
    QStringDecoder *decoder = decoderFor(codePage);
    decoder->resetState();
    return decoder->decode(bytes);
}

// A byte stands for a character of its own when it decodes to one alone
// and before a letter; a lead byte decodes to nothing or to a replacement
// alone, and to one character with the letter (every cp932 lead byte takes
// 'A' as its second byte).
char16_t CodePageDecoder::singleByte(uchar byte)
{
    char16_t &entry = m_shiftJis->single[byte];
    if (entry == kNotAsked) {
        const char alone[1] = {char(byte)};
        const char withLetter[2] = {char(byte), 'A'};
        const QString first = convert(932, QByteArrayView(alone, 1));
        const QString second = convert(932, QByteArrayView(withLetter, 2));
        const bool single = first.size() == 1 && first.at(0).unicode() != QChar::ReplacementCharacter
            && first.at(0).unicode() != 0x1A && second == first + QLatin1Char('A')
            && first.at(0).unicode() < kLeadByte && first.at(0).unicode() != kNotAsked;
        entry = single ? first.at(0).unicode() : kLeadByte;
    }
    return entry;
}

char16_t CodePageDecoder::bytePair(uchar lead, uchar trail)
{
    auto &row = m_shiftJis->pairs[lead];
    if (!row)
        row = std::make_unique<std::array<char16_t, 256>>(); // all kNotAsked
    char16_t &entry = (*row)[trail];
    if (entry == kNotAsked) {
        const char pair[2] = {char(lead), char(trail)};
        const QString decoded = convert(932, QByteArrayView(pair, 2));
        const bool one = decoded.size() == 1 && decoded.at(0).unicode() != kNotAsked
            && decoded.at(0).unicode() < kLeadByte;
        entry = one ? decoded.at(0).unicode() : kNeedsConverter;
    }
    return entry;
}

bool CodePageDecoder::decodeShiftJis(QString &target, QByteArrayView bytes)
{
    if (!m_shiftJis)
        m_shiftJis = std::make_unique<ShiftJisTable>();
    const qsizetype start = target.size();
    target.resize(start + bytes.size()); // never more characters than bytes
    char16_t *out = reinterpret_cast<char16_t *>(target.data()) + start;
    const auto *p = reinterpret_cast<const uchar *>(bytes.data());
    const uchar *const end = p + bytes.size();
    const ShiftJisTable &table = *m_shiftJis;
    while (p < end) {
        char16_t single = table.single[*p];
        if (single == kNotAsked)
            single = singleByte(*p);
        if (single != kLeadByte) {
            *out++ = single;
            ++p;
            continue;
        }
        char16_t pair = kNeedsConverter;
        if (p + 1 < end) {
            const auto &row = table.pairs[p[0]];
            pair = row ? (*row)[p[1]] : kNotAsked;
            if (pair == kNotAsked)
                pair = bytePair(p[0], p[1]);
        }
        if (pair == kNeedsConverter) {
            target.resize(start);
            return false;
        }
        *out++ = pair;
        p += 2;
    }
    target.resize(out - reinterpret_cast<const char16_t *>(target.constData()));
    return true;
}

QStringDecoder *CodePageDecoder::decoderFor(int codePage)
{
    auto &slot = m_decoders[codePage];
    if (!slot)
        slot = std::make_unique<QStringDecoder>(makeDecoder(codePage));
    return slot.get();
}

} // namespace tamapiko::engine::rtf
