#include "engine/formats/HtmlCharset.h"

#include <QRegularExpression>
#include <QStringDecoder>

namespace tamapiko::engine {

namespace {

// Names as they appear in the wild mapped to what the decoder calls them;
// the ones the decoder knows by themselves need no entry.
QByteArray canonicalName(QByteArray name)
{
    name = name.trimmed().toLower();
    if (name == "windows-31j" || name == "cp932" || name == "ms932" || name == "x-sjis" || name == "sjis"
        || name == "shift-jis" || name == "ms_kanji" || name == "x-ms-cp932" || name == "shift_jis")
        return "Shift_JIS"; // the decoder's Shift_JIS is the Windows code page 932
    if (name == "x-euc-jp" || name == "euc_jp" || name == "eucjp" || name == "euc-jp")
        return "EUC-JP";
    if (name == "utf8" || name == "utf-8" || name == "unicode-1-1-utf-8")
        return "UTF-8";
    // A page cannot describe itself in UTF-16 in ASCII-compatible bytes:
    // browsers read such a label as UTF-8.
    if (name.startsWith("utf-16") || name.startsWith("utf-32"))
        return "UTF-8";
    return name;
}

// A file cut short inside its last character still counts as UTF-8: the
// decoder keeps an unfinished sequence as state rather than as an error.
bool isValidUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString decoded = decoder.decode(bytes); // decoding is lazy: it runs here
    Q_UNUSED(decoded)
    return !decoder.hasError();
}

} // namespace

QByteArray HtmlCharset::metaCharset(const QByteArray &bytes)
{
    // Latin-1 keeps every byte one character, so positions match the bytes
    // and multi-byte text around the tags cannot disturb the search.
    const QString head = QString::fromLatin1(bytes.left(MetaScanLength));
    static const QRegularExpression meta(QStringLiteral("<meta\\s([^>]*)>"),
                                         QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression charset(QStringLiteral("charset\\s*=\\s*[\"']?\\s*([A-Za-z0-9_:.+-]+)"),
                                            QRegularExpression::CaseInsensitiveOption);
    for (auto it = meta.globalMatch(head); it.hasNext();) {
        const QRegularExpressionMatch tag = it.next();
        const QRegularExpressionMatch name = charset.match(tag.captured(1));
        if (name.hasMatch())
            return name.captured(1).toLatin1();
    }
    return QByteArray();
}

HtmlCharset::Detection HtmlCharset::detect(const QByteArray &bytes)
{
    Detection result;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return {"UTF-8", 3, Detection::ByteOrderMark};
    if (bytes.startsWith("\xFF\xFE"))
        return {"UTF-16LE", 2, Detection::ByteOrderMark};
    if (bytes.startsWith("\xFE\xFF"))
        return {"UTF-16BE", 2, Detection::ByteOrderMark};

    const QByteArray named = metaCharset(bytes);
    if (!named.isEmpty()) {
        const QByteArray name = canonicalName(named);
        if (QStringDecoder(name.constData()).isValid())
            return {name, 0, Detection::Meta};
    }
    if (isValidUtf8(bytes))
        return {"UTF-8", 0, Detection::ValidUtf8};
    return {"Shift_JIS", 0, Detection::Fallback};
}

QString HtmlCharset::decode(const QByteArray &bytes, Detection *detection)
{
    const Detection found = detect(bytes);
    if (detection)
        *detection = found;
    // Stateless: an unfinished sequence at the end shows as U+FFFD instead
    // of vanishing.
    QStringDecoder decoder(found.name.constData(), QStringDecoder::Flag::Stateless);
    if (!decoder.isValid())
        decoder = QStringDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    return decoder.decode(QByteArrayView(bytes).sliced(found.bomLength));
}

} // namespace tamapiko::engine
