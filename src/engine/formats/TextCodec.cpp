#include "engine/formats/TextCodec.h"

#include <QList>
#include <QStringDecoder>
#include <QStringEncoder>

#include <array>
#include <memory>

namespace tamapiko::engine {

namespace {

constexpr char16_t ReplacementCharacter = 0xFFFD;

// Half-width katakana occupy single bytes 0xA1..0xDF.
constexpr uchar FirstKanaByte = 0xA1;
constexpr uchar LastKanaByte = 0xDF;
constexpr char16_t FirstHalfWidthKana = 0xFF61;
constexpr char16_t LastHalfWidthKana = 0xFF9F;

bool isLeadByte(uchar b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

bool isTrailByte(uchar b)
{
    return b >= 0x40 && b <= 0xFC && b != 0x7F;
}

// Code page 932's double-byte half as two lookup tables, built once from
// ICU's table. ICU's converter is not used for the text itself: it swaps the
// control bytes 0x1A, 0x1C and 0x7F the IBM way, and gives no position for
// what it could not decode.
struct ShiftJisTables
{
    std::array<char16_t, 0x10000> toUnicode;   // lead << 8 | trail; U+FFFD when unassigned
    std::array<quint16, 0x10000> fromUnicode;  // 0 when the character has no double-byte code

    ShiftJisTables()
    {
        toUnicode.fill(ReplacementCharacter);
        fromUnicode.fill(0);

        QList<quint16> codes;
        QByteArray bytes;
        for (int lead = 0x81; lead <= 0xFC; ++lead) {
            if (!isLeadByte(uchar(lead)))
                continue;
            for (int trail = 0x40; trail <= 0xFC; ++trail) {
                if (!isTrailByte(uchar(trail)))
                    continue;
                codes.append(quint16(lead << 8 | trail));
                bytes.append(char(lead)).append(char(trail));
            }
        }

        QStringDecoder decoder("windows-31j", QStringDecoder::Flag::Stateless);
        if (!decoder.isValid())
            return; // no ICU: Shift-JIS text will read as replacement characters
        const QString all = decoder.decode(bytes);
        const bool oneCharacterEach = all.size() == codes.size();
        for (qsizetype i = 0; i < codes.size(); ++i) {
            char16_t c;
            if (oneCharacterEach) {
                c = all.at(i).unicode();
            } else {
                QStringDecoder single("windows-31j", QStringDecoder::Flag::Stateless);
                const QString s = single.decode(QByteArrayView(bytes).sliced(2 * i, 2));
                c = s.size() == 1 && !single.hasError() ? s.at(0).unicode() : ReplacementCharacter;
            }
            toUnicode[codes.at(i)] = c;
        }

        // Encoding picks the code Windows picks where a character has
        // several: the first in code order, except that the NEC-selected
        // copies of the IBM extensions (leads 0xED, 0xEE) yield to the IBM
        // ones (0xFA..0xFC).
        const auto addReverse = [this](quint16 code) {
            const char16_t c = toUnicode[code];
            if (c == ReplacementCharacter || c < 0x80
                || (c >= FirstHalfWidthKana && c <= LastHalfWidthKana) || fromUnicode[c] != 0)
                return;
            fromUnicode[c] = code;
        };
        const auto isNecSelected = [](quint16 code) { return (code >> 8) == 0xED || (code >> 8) == 0xEE; };
        for (quint16 code : std::as_const(codes)) {
            if (!isNecSelected(code))
                addReverse(code);
        }
        for (quint16 code : std::as_const(codes)) {
            if (isNecSelected(code))
                addReverse(code);
        }
    }
};

const ShiftJisTables &shiftJisTables()
{
    static const std::unique_ptr<ShiftJisTables> tables = std::make_unique<ShiftJisTables>();
    return *tables;
}

qsizetype countReplacements(QStringView text)
{
    return text.count(QChar(ReplacementCharacter));
}

QString decodeUnicode(QStringConverter::Encoding encoding, QByteArrayView bytes, qsizetype *invalid)
{
    // The BOM has been taken off already; a second one is text.
    QStringDecoder decoder(encoding, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    qsizetype errors = 0;
    if (decoder.hasError()) {
        // Replacement characters the file already held are not errors.
        const qsizetype held = encoding == QStringConverter::Utf8
            ? bytes.toByteArray().count("\xEF\xBF\xBD")
            : 0;
        errors = std::max<qsizetype>(1, countReplacements(text) - held);
    }
    // Qt's UTF-16 decoder drops an odd last byte without a word.
    if (encoding != QStringConverter::Utf8 && bytes.size() % 2 != 0) {
        text.append(QChar(ReplacementCharacter));
        ++errors;
    }
    if (invalid)
        *invalid = errors;
    return text;
}

struct ByteOrderMark
{
    QByteArrayView bytes;
    TextEncoding encoding;
};

const ByteOrderMark byteOrderMarks[] = {
    { QByteArrayView("\xEF\xBB\xBF", 3), TextEncoding::Utf8 },
    { QByteArrayView("\xFF\xFE", 2), TextEncoding::Utf16LE },
    { QByteArrayView("\xFE\xFF", 2), TextEncoding::Utf16BE },
};

QStringConverter::Encoding unicodeConverter(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf16LE:
        return QStringConverter::Utf16LE;
    case TextEncoding::Utf16BE:
        return QStringConverter::Utf16BE;
    default:
        return QStringConverter::Utf8;
    }
}

} // namespace

namespace TextCodec {

DecodedText decode(QByteArrayView bytes)
{
    DecodedText result;
    for (const ByteOrderMark &mark : byteOrderMarks) {
        if (bytes.startsWith(mark.bytes)) {
            result.encoding = mark.encoding;
            result.bom = true;
            result.text = decodeUnicode(unicodeConverter(mark.encoding), bytes.sliced(mark.bytes.size()),
                                        &result.invalidSequences);
            return result;
        }
    }

    qsizetype utf8Invalid = 0;
    QString utf8 = decodeUnicode(QStringConverter::Utf8, bytes, &utf8Invalid);
    if (utf8Invalid == 0) {
        result.text = std::move(utf8);
        return result;
    }
    qsizetype shiftJisInvalid = 0;
    QString shiftJis = decodeShiftJis(bytes, &shiftJisInvalid);
    if (shiftJisInvalid < utf8Invalid) {
        result.text = std::move(shiftJis);
        result.encoding = TextEncoding::ShiftJis;
        result.invalidSequences = shiftJisInvalid;
    } else {
        result.text = std::move(utf8);
        result.invalidSequences = utf8Invalid;
    }
    return result;
}

QString decodeShiftJis(QByteArrayView bytes, qsizetype *invalidSequences)
{
    const ShiftJisTables &tables = shiftJisTables();
    QString text(bytes.size(), Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    qsizetype length = 0;
    qsizetype invalid = 0;
    const auto *in = reinterpret_cast<const uchar *>(bytes.data());
    const qsizetype size = bytes.size();
    for (qsizetype i = 0; i < size;) {
        const uchar b = in[i];
        if (b < 0x80) {
            out[length++] = b;
            ++i;
        } else if (b >= FirstKanaByte && b <= LastKanaByte) {
            out[length++] = char16_t(FirstHalfWidthKana + (b - FirstKanaByte));
            ++i;
        } else if (isLeadByte(b) && i + 1 < size && isTrailByte(in[i + 1])) {
            const char16_t c = tables.toUnicode[b << 8 | in[i + 1]];
            invalid += c == ReplacementCharacter;
            out[length++] = c;
            i += 2;
        } else {
            // A stray byte: replace it alone, so that a line end after a
            // broken lead byte survives.
            out[length++] = ReplacementCharacter;
            ++invalid;
            ++i;
        }
    }
    text.truncate(length);
    if (invalidSequences)
        *invalidSequences = invalid;
    return text;
}

std::optional<QByteArray> encodeShiftJis(QStringView text)
{
    const ShiftJisTables &tables = shiftJisTables();
    QByteArray bytes;
    bytes.reserve(text.size() * 2);
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c < 0x80) {
            bytes.append(char(c));
        } else if (c >= FirstHalfWidthKana && c <= LastHalfWidthKana) {
            bytes.append(char(FirstKanaByte + (c - FirstHalfWidthKana)));
        } else if (const quint16 code = tables.fromUnicode[c]) {
            bytes.append(char(code >> 8)).append(char(code & 0xFF));
        } else {
            return std::nullopt;
        }
    }
    return bytes;
}

std::optional<QByteArray> encode(QStringView text, TextEncoding encoding, bool bom)
{
    if (encoding == TextEncoding::ShiftJis)
        return encodeShiftJis(text); // Shift-JIS has no byte order mark

    QStringEncoder encoder(unicodeConverter(encoding),
                           bom ? QStringEncoder::Flag::WriteBom : QStringEncoder::Flag::Default);
    QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
        return std::nullopt; // an unpaired surrogate
    return bytes;
}

QString name(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8:
        return QStringLiteral("UTF-8");
    case TextEncoding::Utf16LE:
        return QStringLiteral("UTF-16LE");
    case TextEncoding::Utf16BE:
        return QStringLiteral("UTF-16BE");
    case TextEncoding::ShiftJis:
        return QStringLiteral("Shift_JIS");
    }
    return QString();
}

std::optional<TextEncoding> fromName(QStringView encodingName)
{
    for (TextEncoding encoding :
         { TextEncoding::Utf8, TextEncoding::Utf16LE, TextEncoding::Utf16BE, TextEncoding::ShiftJis }) {
        if (encodingName.compare(name(encoding), Qt::CaseInsensitive) == 0)
            return encoding;
    }
    return std::nullopt;
}

} // namespace TextCodec

} // namespace tamapiko::engine
