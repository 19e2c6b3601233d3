#include "document/DocumentFileTypes.h"

namespace tamapiko::document {

const QList<DocumentFileType> &documentFileTypes()
{
    static const QList<DocumentFileType> types = {
        {1, QStringLiteral("Microsoft Word (*.doc)"), QStringLiteral("*.doc"), {QStringLiteral(".DOC")},
         QStringLiteral("doc"), FormatCode::Word},
        {2, QStringLiteral("MOXぽこぺんﾉｰﾄ (*.txm)"), QStringLiteral("*.txm"), {QStringLiteral(".TXM")},
         QStringLiteral("txm"), FormatCode::Native},
        {3, QStringLiteral("ﾘｯﾁﾃｷｽﾄ形式 (*.rtf)"), QStringLiteral("*.rtf"), {QStringLiteral(".RTF")},
         QStringLiteral("rtf"), FormatCode::Rtf},
        {4, QStringLiteral("HTML ﾌｧｲﾙ (*.htm)"), QStringLiteral("*.htm"),
         {QStringLiteral(".HTM"), QStringLiteral(".HTML")}, QStringLiteral("htm"), FormatCode::Html},
        {5, QStringLiteral("ﾃｷｽﾄ文書 (*.txt)"), QStringLiteral("*.txt"), {QStringLiteral(".TXT")},
         QStringLiteral("txt"), FormatCode::Text},
    };
    return types;
}

QString documentFilter()
{
    QStringList parts;
    for (const DocumentFileType &type : documentFileTypes())
        parts << type.displayName << type.pattern;
    return parts.join(u'|');
}

QStringList documentNameFilters()
{
    QStringList filters;
    for (const DocumentFileType &type : documentFileTypes())
        filters << type.displayName;
    return filters;
}

QString upperExtension(const QString &path)
{
    const qsizetype nameStart = path.lastIndexOf(u'/') + 1;
    const qsizetype dot = path.lastIndexOf(u'.');
    if (dot < nameStart)
        return {};
    QString extension = path.sliced(dot);
    for (QChar &c : extension) {
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - u'a' + u'A');
    }
    return extension;
}

std::optional<int> formatForFileName(const QString &path)
{
    const QString extension = upperExtension(path);
    for (const DocumentFileType &type : documentFileTypes()) {
        if (type.extensions.contains(extension))
            return type.formatCode;
    }
    return std::nullopt;
}

const DocumentFileType *fileTypeByName(const QString &typeName)
{
    for (const DocumentFileType &type : documentFileTypes()) {
        if (type.displayName == typeName)
            return &type;
    }
    return nullptr;
}

} // namespace tamapiko::document
