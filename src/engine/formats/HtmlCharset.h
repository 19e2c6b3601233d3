#pragma once

// Which character set an HTML file is written in, the way browsers decide:
// a byte-order mark first, then a charset named in a <meta> element near
// the start, else UTF-8 when the bytes are valid UTF-8, else Shift_JIS (the
// Windows flavour, a superset of the standard one).

#include <QByteArray>
#include <QString>

namespace tamapiko::engine {

class HtmlCharset
{
public:
    struct Detection
    {
        QByteArray name;      // a name QStringDecoder knows: "UTF-8", "Shift_JIS", "EUC-JP"...
        qsizetype bomLength = 0;
        enum Source { ByteOrderMark, Meta, ValidUtf8, Fallback } source = Fallback;
    };

    // How far into the file a <meta> charset is looked for.
    static constexpr qsizetype MetaScanLength = 4096;

    static Detection detect(const QByteArray &bytes);
    // The charset named in <meta charset> or <meta http-equiv content>
    // within the first MetaScanLength bytes, or empty.
    static QByteArray metaCharset(const QByteArray &bytes);
    // The detected text; bytes that do not decode become U+FFFD.
    static QString decode(const QByteArray &bytes, Detection *detection = nullptr);
};

} // namespace tamapiko::engine
