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

Token Tokenizer::next()
{
    const qsizetype size = m_data.size();
    const char *data = m_data.data();
    while (m_pos < size) {
        const char c = data[m_pos];
        switch (c) {
        case '{':
            ++m_pos;
            return Token{Token::GroupStart};
        case '}':
            ++m_pos;
            return Token{Token::GroupEnd};
        case '\\':
            return readControl();
        case '\r':
        case '\n':
        case '\0':
            ++m_pos; // line ends are not text in RTF; NULs are noise
            continue;
        default: {
            const qsizetype start = m_pos;
            while (m_pos < size) {
                const char d = data[m_pos];
                if (d == '{' || d == '}' || d == '\\' || d == '\r' || d == '\n' || d == '\0')
                    break;
                ++m_pos;
            }
            Token token{Token::Text};
            token.bytes = m_data.sliced(start, m_pos - start);
            return token;
        }
        }
    }
    return Token{Token::End};
}

void Tokenizer::takeHexBytes(QByteArray &out, char first)
{
    const qsizetype size = m_data.size();
    const char *data = m_data.data();
    // Gathered here and appended a chunk at a time: appending byte by byte
    // costs more than decoding.
    char chunk[256];
    chunk[0] = first;
    int used = 1;
    qsizetype pos = m_pos;
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
        m_pos = pos;
    }
    out.append(chunk, used);
}

Token Tokenizer::readControl()
{
    const qsizetype size = m_data.size();
    const char *data = m_data.data();
    ++m_pos; // the backslash
    if (m_pos >= size)
        return Token{Token::End};

    const char first = data[m_pos];
    if (!isLetter(first)) {
        ++m_pos;
        if (first == '\'') {
            const int high = m_pos < size ? hexValue(data[m_pos]) : -1;
            const int low = m_pos + 1 < size ? hexValue(data[m_pos + 1]) : -1;
            if (high >= 0 && low >= 0) {
                m_pos += 2;
                Token token{Token::HexByte};
                token.byteValue = quint8(high * 16 + low);
                return token;
            }
            if (high >= 0)
                ++m_pos; // half an escape: drop it rather than show a stray digit
        }
        Token token{Token::ControlSymbol};
        token.symbol = first;
        return token;
    }

    Token token{Token::ControlWord};
    const qsizetype nameStart = m_pos;
    while (m_pos < size && isLetter(data[m_pos]))
        ++m_pos;
    token.name = m_data.sliced(nameStart, m_pos - nameStart);

    bool negative = false;
    if (m_pos + 1 < size && data[m_pos] == '-' && isDigit(data[m_pos + 1])) {
        negative = true;
        ++m_pos;
    }
    if (m_pos < size && isDigit(data[m_pos])) {
        // Out-of-range parameters saturate instead of overflowing.
        qint64 value = 0;
        while (m_pos < size && isDigit(data[m_pos])) {
            if (value <= std::numeric_limits<int>::max())
                value = value * 10 + (data[m_pos] - '0');
            ++m_pos;
        }
        value = std::min<qint64>(value, std::numeric_limits<int>::max());
        token.hasParameter = true;
        token.parameter = int(negative ? -value : value);
    }
    if (m_pos < size && data[m_pos] == ' ')
        ++m_pos; // the delimiter belongs to the word

    if (token.name.size() == 3 && std::memcmp(token.name.data(), "bin", 3) == 0) {
        const qsizetype length = token.parameter > 0 ? std::min<qsizetype>(token.parameter, size - m_pos) : 0;
        Token binary{Token::Binary};
        binary.bytes = m_data.sliced(m_pos, length);
        m_pos += length;
        return binary;
    }
    return token;
}

} // namespace tamapiko::engine::rtf
