#pragma once

// Code pages of RTF text: which one a font's \fcharset or \cpg names, and
// decoding of 8-bit text through it. Qt's ICU-backed codecs do the work;
// "windows-31j" decodes Shift-JIS with the NEC and IBM extensions exactly
// as Windows does.

#include <QByteArrayView>
#include <QStringDecoder>

#include <array>
#include <map>
#include <memory>

namespace tamapiko::engine::rtf {

// The Windows code page of a \fcharset value; `ansiCodePage` for DEFAULT (1)
// and for values that name no code page.
int codePageForCharset(int charset, int ansiCodePage);

// Pseudo code pages for the symbol fonts (\fcharset2), whose bytes are
// glyph numbers rather than characters: we map them to the Unicode
// characters the glyphs show.
constexpr int kSymbolCodePage = 42;
constexpr int kWingdingsCodePage = 43;

// Decodes byte runs, keeping one decoder per code page that was used.
class CodePageDecoder
{
public:
    QString decode(int codePage, QByteArrayView bytes);
    // The same, appended to `target` without a string of its own between.
    void decodeInto(QString &target, int codePage, QByteArrayView bytes);

private:
    // Shift-JIS text (cp932) is most of what Japanese files hold. Each byte
    // and each two-byte character is decoded by the converter the first time
    // it appears and looked up after; a run with anything the table cannot
    // answer goes to the converter whole, so the text is the same either way.
    struct ShiftJisTable
    {
        std::array<char16_t, 256> single{}; // 0: not asked yet
        std::array<std::unique_ptr<std::array<char16_t, 256>>, 256> pairs; // by lead byte
    };
    bool decodeShiftJis(QString &target, QByteArrayView bytes);
    char16_t singleByte(uchar byte);
    char16_t bytePair(uchar lead, uchar trail);
    QString convert(int codePage, QByteArrayView bytes);

    QStringDecoder *decoderFor(int codePage);
    std::map<int, std::unique_ptr<QStringDecoder>> m_decoders;
    std::unique_ptr<ShiftJisTable> m_shiftJis;
};

} // namespace tamapiko::engine::rtf
