#pragma once

// Code pages of RTF text: which one a font's \fcharset or \cpg names, and
// decoding of 8-bit text through it. Qt's ICU-backed codecs do the work;
// "windows-31j" decodes Shift-JIS with the NEC and IBM extensions exactly
// as Windows does.

#include <QByteArrayView>
#include <QStringDecoder>

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
    QStringDecoder *decoderFor(int codePage);
    std::map<int, std::unique_ptr<QStringDecoder>> m_decoders;
};

} // namespace tamapiko::engine::rtf
