#pragma once

// Splits RTF bytes into tokens. It never recurses and keeps no stack: group
// nesting is the reader's business, so deeply nested input costs nothing
// here. \binN is resolved here, because its N raw bytes may contain braces
// and backslashes that must not be taken as syntax.

#include <QByteArrayView>

#include <string>

namespace tamapiko::engine::rtf {

struct Token
{
    enum Type : quint8 {
        End,
        GroupStart,
        GroupEnd,
        ControlWord,   // name, hasParameter, parameter
        ControlSymbol, // symbol: the character after the backslash
        HexByte,       // \'xx: byteValue
        Text,          // a run of literal bytes (no line ends)
        Binary,        // the bytes of \binN
    };

    Type type = End;
    bool hasParameter = false;
    char symbol = 0;
    quint8 byteValue = 0;
    int parameter = 0;
    QByteArrayView name;  // ControlWord
    QByteArrayView bytes; // Text, Binary
};

class Tokenizer
{
public:
    explicit Tokenizer(QByteArrayView data) : m_data(data) {}

    Token next();
    qsizetype position() const { return m_pos; }
    // Appends `first` (the byte of a HexByte token) and the bytes of the
    // \'xx escapes that come next (line ends between them are no text), and
    // moves past them: Japanese text in a code page is long runs of them,
    // one token each through next().
    void takeHexBytes(std::string &out, char first);

private:
    Token readControl();

    QByteArrayView m_data;
    qsizetype m_pos = 0;
};

} // namespace tamapiko::engine::rtf
