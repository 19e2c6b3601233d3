#include "engine/formats/RtfTokenizer.h"

#include <array>
#include <cstring>
#include <limits>

namespace tamapiko::engine::rtf {

namespace {

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The value of each byte as a hex digit, -1 for the others: a megabyte of
// Japanese text is half a million escapes.
constexpr std::array<qint8, 256> kHexValues = [] {
    std::array<qint8, 256> values{};
    values.fill(-1);
    for (int c = '0'; c <= '9'; ++c)
        values[c] = qint8(c - '0');
    for (int c = 'a'; c <= 'f'; ++c)
        values[c] = qint8(c - 'a' + 10);
    for (int c = 'A'; c <= 'F'; ++c)
        values[c] = qint8(c - 'A' + 10);
    return values;
}();

int hexValue(char c)
{
    return kHexValues[uchar(c)];
}

} // namespace

// The position is kept in a local while scanning: the bytes are chars,
// which may alias the member, so the compiler would reload and store it at
// every byte.
Token Tokenizer::next()
{
    const qsizetype size = m_data.size();
    const char *data = m_data.data();
    qsizetype pos = m_pos;
    while (pos < size) {
        const char c = data[pos];
        switch (c) {
        case '{':
            m_pos = pos + 1;
            return Token{Token::GroupStart};
        case '}':
            m_pos = pos + 1;
            return Token{Token::GroupEnd};
        case '\\':
            m_pos = pos;
            return readControl();
        case '\r':
        case '\n':
        case '\0':
            ++pos; // line ends are not text in RTF; NULs are noise
            continue;
        default: {
            const qsizetype start = pos;
            while (pos < size) {
                const char d = data[pos];
                if (d == '{' || d == '}' || d == '\\' || d == '\r' || d == '\n' || d == '\0')
                    break;
                ++pos;
            }
            m_pos = pos;
            Token token{Token::Text};
            token.bytes = m_data.sliced(start, pos - start);
            return token;
        }
        }
    }
    m_pos = pos;
    return Token{Token::End};
}

void Tokenizer::takeHexBytes(std::string &out, char first)
{
    const qsizetype size = m_data.size();
    const char *data = m_data.data();
    // Gathered here and appended a chunk at a time: appending byte by byte
    // costs more than decoding.
    char chunk[256];
    chunk[0] = first;
    int used = 1;
    qsizetype pos = m_pos;
    qsizetype taken = m_pos; // after the last escape
    for (;;) {
        while (pos < size && (data[pos] == '\r' || data[pos] == '\n' || data[pos] == '\0'))
            ++pos;
        if (pos + 3 >= size || data[pos] != '\\' || data[pos + 1] != '\'')
            break;
        const int high = hexValue(data[pos + 2]);
        const int low = hexValue(data[pos + 3]);
        if (high < 0 || low < 0)
            break;
        chunk[used++] = char(high * 16 + low);
        if (used == int(sizeof chunk)) {
            out.append(chunk, used);
            used = 0;
        }
        pos += 4;
        taken = pos;
    }
    m_pos = taken;
    out.append(chunk, used);
}

Token Tokenizer::readControl()
{
    const qsizetype size = m_data.size();
    const char *data = m_data.data();
    qsizetype pos = m_pos + 1; // after the backslash
    if (pos >= size) {
        m_pos = pos;
        return Token{Token::End};
    }

    const char first = data[pos];
    if (!isLetter(first)) {
        ++pos;
        if (first == '\'') {
            const int high = pos < size ? hexValue(data[pos]) : -1;
            const int low = pos + 1 < size ? hexValue(data[pos + 1]) : -1;
            if (high >= 0 && low >= 0) {
                m_pos = pos + 2;
                Token token{Token::HexByte};
                token.byteValue = quint8(high * 16 + low);
                return token;
            }
            if (high >= 0)
                ++pos; // half an escape: drop it rather than show a stray digit
        }
        m_pos = pos;
        Token token{Token::ControlSymbol};
        token.symbol = first;
        return token;
    }

    Token token{Token::ControlWord};
    const qsizetype nameStart = pos;
    while (pos < size && isLetter(data[pos]))
        ++pos;
    token.name = m_data.sliced(nameStart, pos - nameStart);

    bool negative = false;
    if (pos + 1 < size && data[pos] == '-' && isDigit(data[pos + 1])) {
        negative = true;
        ++pos;
    }
    if (pos < size && isDigit(data[pos])) {
        // Out-of-range parameters saturate instead of overflowing.
        qint64 value = 0;
        while (pos < size && isDigit(data[pos])) {
            if (value <= std::numeric_limits<int>::max())
                value = value * 10 + (data[pos] - '0');
            ++pos;
        }
        value = std::min<qint64>(value, std::numeric_limits<int>::max());
        token.hasParameter = true;
        token.parameter = int(negative ? -value : value);
    }
    if (pos < size && data[pos] == ' ')
        ++pos; // the delimiter belongs to the word

    if (token.name.size() == 3 && std::memcmp(token.name.data(), "bin", 3) == 0) {
        const qsizetype length = token.parameter > 0 ? std::min<qsizetype>(token.parameter, size - pos) : 0;
        Token binary{Token::Binary};
        binary.bytes = m_data.sliced(pos, length);
        m_pos = pos + length;
        return binary;
    }
    m_pos = pos;
    return token;
}

} // namespace tamapiko::engine::rtf
