#include "engine/formats/word/WordSummary.h"

#include "engine/DocumentModel.h"
#include "engine/formats/RtfCodePage.h"
#include "engine/formats/word/BinaryData.h"

#include <QTextDocument>

#include <vector>

namespace tamapiko::engine::word {

const QString kSummaryStreamName = QStringLiteral("\u0005SummaryInformation");
const QString kDocumentSummaryStreamName = QStringLiteral("\u0005DocumentSummaryInformation");

namespace {

// The property set identifiers (FMTIDs) as stored: GUIDs, little-endian.
const QByteArray kSummaryFormat = QByteArray::fromHex("E0859FF2F94F6810AB9108002B27B3D9");
const QByteArray kDocumentSummaryFormat = QByteArray::fromHex("02D5CDD59C2E1B10939708002B2CF9AE");

enum PropertyId : quint32 {
    PidCodePage = 1, PidTitle = 2, PidSubject = 3, PidAuthor = 4, PidKeywords = 5, PidComments = 6,
    PidCharacterCount = 16, PidApplication = 18,
};
enum VariantType : quint16 { VtI2 = 2, VtI4 = 3, VtLpstr = 30, VtLpwstr = 31 };
constexpr quint16 kUnicodeCodePage = 1200;
constexpr qsizetype kMaxStringUnits = 32768;

const QString kSubjectKey = QStringLiteral("document/subject");
const QString kAuthorKey = QStringLiteral("document/author");
const QString kKeywordsKey = QStringLiteral("document/keywords");
const QString kCommentsKey = QStringLiteral("document/comments");

struct Property
{
    quint32 id;
    QByteArray value; // type, padding and the value, padded to four bytes
};

Property shortValue(quint32 id, qint16 value)
{
    QByteArray bytes;
    appendU16(bytes, VtI2);
    appendU16(bytes, 0);
    appendU16(bytes, quint16(value));
    appendU16(bytes, 0);
    return {id, bytes};
}

Property longValue(quint32 id, qint32 value)
{
    QByteArray bytes;
    appendU16(bytes, VtI4);
    appendU16(bytes, 0);
    appendU32(bytes, quint32(value));
    return {id, bytes};
}

// Strings as UTF-16 (the set's code page says so), ending in a zero; their
// size is counted in bytes.
Property stringValue(quint32 id, const QString &text)
{
    const QString stored = text.left(kMaxStringUnits - 1);
    QByteArray bytes;
    appendU16(bytes, VtLpstr);
    appendU16(bytes, 0);
    appendU32(bytes, quint32(2 * (stored.size() + 1)));
    for (const QChar c : stored)
        appendU16(bytes, c.unicode());
    appendU16(bytes, 0);
    while (bytes.size() % 4)
        appendU8(bytes, 0);
    return {id, bytes};
}

QByteArray propertySetStream(const QByteArray &format, const std::vector<Property> &properties)
{
    QByteArray set;
    appendU32(set, 0); // size, filled below
    appendU32(set, quint32(properties.size()));
    qsizetype offset = 8 + 8 * qsizetype(properties.size());
    for (const Property &property : properties) {
        appendU32(set, property.id);
        appendU32(set, quint32(offset));
        offset += property.value.size();
    }
    for (const Property &property : properties)
        set.append(property.value);
    putU32(set, 0, quint32(set.size()));

    QByteArray stream;
    appendU16(stream, 0xFFFE); // byte order
    appendU16(stream, 0);      // version
    appendU32(stream, 0x00020006);
    stream.append(QByteArray(16, '\0')); // no class
    appendU32(stream, 1);
    stream.append(format);
    appendU32(stream, 48);
    stream.append(set);
    return stream;
}

} // namespace

DocumentSummary DocumentSummary::of(const DocumentModel &model)
{
    DocumentSummary summary;
    summary.title = model.document()->metaInformation(QTextDocument::DocumentTitle);
    summary.subject = model.sourceProperty(kSubjectKey).toString();
    summary.author = model.sourceProperty(kAuthorKey).toString();
    summary.keywords = model.sourceProperty(kKeywordsKey).toString();
    summary.comments = model.sourceProperty(kCommentsKey).toString();
    return summary;
}

void DocumentSummary::applyTo(DocumentModel &model) const
{
    model.document()->setMetaInformation(QTextDocument::DocumentTitle, title);
    const std::pair<const QString &, const QString &> facts[] = {
        {kSubjectKey, subject}, {kAuthorKey, author}, {kKeywordsKey, keywords}, {kCommentsKey, comments}};
    for (const auto &[key, value] : facts) {
        if (!value.isEmpty())
            model.setSourceProperty(key, value);
    }
}

QByteArray summaryInformationStream(const DocumentSummary &summary, int characters)
{
    std::vector<Property> properties{shortValue(PidCodePage, qint16(kUnicodeCodePage))};
    const std::pair<PropertyId, const QString &> texts[] = {{PidTitle, summary.title},
                                                             {PidSubject, summary.subject},
                                                             {PidAuthor, summary.author},
                                                             {PidKeywords, summary.keywords},
                                                             {PidComments, summary.comments}};
    for (const auto &[id, text] : texts) {
        if (!text.isEmpty())
            properties.push_back(stringValue(id, text));
    }
    properties.push_back(longValue(PidCharacterCount, characters));
    properties.push_back(stringValue(PidApplication, QStringLiteral("tamapiko")));
    return propertySetStream(kSummaryFormat, properties);
}

QByteArray documentSummaryInformationStream()
{
    return propertySetStream(kDocumentSummaryFormat, {shortValue(PidCodePage, qint16(kUnicodeCodePage))});
}

DocumentSummary readSummaryInformation(QByteArrayView data)
{
    DocumentSummary summary;
    const ByteReader stream(data);
    if (stream.u16(0) != 0xFFFE || stream.u32(24) < 1 || stream.slice(28, 16) != QByteArrayView(kSummaryFormat))
        return summary;
    const quint32 setAt = stream.u32(44);
    const ByteReader set(stream.slice(setAt, stream.u32(setAt)));
    const quint32 count = std::min<quint32>(set.u32(4), quint32(set.size() / 8));

    // The code page first: it says how the 8-bit strings are encoded.
    int codePage = 1252;
    for (quint32 i = 0; i < count; ++i) {
        if (set.u32(8 + 8 * i) == PidCodePage && set.u16(set.u32(12 + 8 * i)) == VtI2)
            codePage = set.u16(set.u32(12 + 8 * i) + 4);
    }
    rtf::CodePageDecoder decoder;
    auto text = [&](quint32 at) -> QString {
        // 8-bit strings count bytes (UTF-16 ones too); wide strings count
        // characters.
        const quint16 type = set.u16(at);
        const bool utf16 = type == VtLpwstr || (type == VtLpstr && codePage == kUnicodeCodePage);
        const quint32 size = set.u32(at + 4);
        const quint32 length = std::min<quint32>(type == VtLpstr && utf16 ? size / 2 : size, quint32(kMaxStringUnits));
        QString result;
        if (utf16) {
            for (quint32 k = 0; k < length && set.has(at + 8 + 2 * k, 2); ++k)
                result.append(QChar(char16_t(set.u16(at + 8 + 2 * k))));
        } else if (type == VtLpstr) {
            result = decoder.decode(codePage, set.slice(at + 8, length));
        }
        const qsizetype end = result.indexOf(QChar(0));
        return end >= 0 ? result.left(end) : result;
    };
    for (quint32 i = 0; i < count; ++i) {
        const quint32 id = set.u32(8 + 8 * i);
        const quint32 at = set.u32(12 + 8 * i);
        switch (id) {
        case PidTitle: summary.title = text(at); break;
        case PidSubject: summary.subject = text(at); break;
        case PidAuthor: summary.author = text(at); break;
        case PidKeywords: summary.keywords = text(at); break;
        case PidComments: summary.comments = text(at); break;
        default: break;
        }
    }
    return summary;
}

} // namespace tamapiko::engine::word
