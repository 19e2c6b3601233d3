#include "platform/IniFile.h"

#include "engine/io/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace tamapiko::platform {

namespace {

// The blanks the private-profile functions skip around names and values.
// Only ASCII ones (and the old end-of-file mark), so that a folder name that
// ends in an ideographic space keeps it.
bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f' || c == QChar(0x1a);
}

QStringView trimmed(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

struct ParsedLine
{
    enum Kind { Other, Section, Key };
    Kind kind = Other;
    QStringView name;
    QStringView value;
};

ParsedLine parseLine(QStringView line)
{
    const QStringView text = trimmed(line);
    if (text.isEmpty() || text.front() == u';')
        return {};
    if (text.front() == u'[') {
        const qsizetype close = text.lastIndexOf(u']');
        if (close < 0)
            return {};
        return {ParsedLine::Section, trimmed(text.sliced(1, close - 1)), {}};
    }
    const qsizetype equals = text.indexOf(u'=');
    const QStringView name = trimmed(equals < 0 ? text : text.first(equals));
    if (name.isEmpty())
        return {};
    const QStringView value = equals < 0 ? QStringView() : trimmed(text.sliced(equals + 1));
    return {ParsedLine::Key, name, value};
}

int digitValue(QChar c, int base)
{
    const char16_t u = c.unicode();
    int digit = -1;
    if (u >= u'0' && u <= u'9')
        digit = u - u'0';
    else if (u >= u'a' && u <= u'f')
        digit = u - u'a' + 10;
    else if (u >= u'A' && u <= u'F')
        digit = u - u'A' + 10;
    return digit < base ? digit : -1;
}

bool sameName(QStringView a, QStringView b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QStringView withoutEnclosingQuotes(QStringView value)
{
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'')
        && value.back() == value.front())
        return value.sliced(1, value.size() - 2);
    return value;
}

QString decode(const QByteArray &bytes, bool *utf8Bom)
{
    *utf8Bom = bytes.startsWith("\xEF\xBB\xBF");
    if (*utf8Bom)
        return QString::fromUtf8(bytes.sliced(3));
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(QStringDecoder::Utf16);
        return utf16(bytes);
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    QStringDecoder shiftJis("windows-31j");
    if (shiftJis.isValid())
        return shiftJis(bytes);
    return text;
}

} // namespace

IniDocument IniDocument::fromBytes(const QByteArray &bytes)
{
    IniDocument document;
    QString text = decode(bytes, &document.m_utf8Bom);
    // Stray byte order marks are no text: left in, the first line would stop
    // being a section header once the file is written out again.
    while (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);

    bool lineEndSeen = false;
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'\n' && c != u'\r')
            continue;
        const bool crlf = c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n';
        if (!lineEndSeen) {
            document.m_lineEnd = crlf ? QStringLiteral("\r\n") : QString(c);
            lineEndSeen = true;
        }
        document.m_lines.append(text.sliced(lineStart, i - lineStart));
        if (crlf)
            ++i;
        lineStart = i + 1;
    }
    if (lineStart < text.size())
        document.m_lines.append(text.sliced(lineStart));
    return document;
}

QByteArray IniDocument::toUtf8() const
{
    QString text;
    for (const QString &line : m_lines)
        text += line + m_lineEnd;
    QByteArray bytes = text.toUtf8();
    if (m_utf8Bom)
        bytes.prepend("\xEF\xBB\xBF");
    return bytes;
}

int IniDocument::findSection(QStringView section) const
{
    for (int i = 0; i < m_lines.size(); ++i) {
        const ParsedLine line = parseLine(m_lines[i]);
        if (line.kind == ParsedLine::Section && sameName(line.name, section))
            return i;
    }
    return -1;
}

std::optional<QString> IniDocument::value(QStringView section, QStringView key) const
{
    const int header = findSection(section);
    if (header < 0)
        return std::nullopt;
    for (int i = header + 1; i < m_lines.size(); ++i) {
        const ParsedLine line = parseLine(m_lines[i]);
        if (line.kind == ParsedLine::Section)
            break;
        if (line.kind == ParsedLine::Key && sameName(line.name, key))
            return withoutEnclosingQuotes(line.value).toString();
    }
    return std::nullopt;
}

bool IniDocument::canHoldValue(QStringView value)
{
    return !value.contains(u'\n') && !value.contains(u'\r') && !value.contains(QChar(0));
}

void IniDocument::setValue(const QString &section, const QString &key, const QString &value)
{
    Q_ASSERT(canHoldValue(value));
    const int header = findSection(section);
    if (header < 0) {
        // A new section goes at the end, set off by a blank line.
        if (!m_lines.isEmpty() && !trimmed(m_lines.last()).isEmpty())
            m_lines.append(QString());
        m_lines.append(QLatin1Char('[') + section + QLatin1Char(']'));
        m_lines.append(key + QLatin1Char('=') + value);
        return;
    }

    // A new key goes after the section's last non-blank line, so the blank
    // lines that separate it from the next section stay where they are.
    int lastContentLine = header;
    for (int i = header + 1; i < m_lines.size(); ++i) {
        const ParsedLine line = parseLine(m_lines[i]);
        if (line.kind == ParsedLine::Section)
            break;
        if (line.kind == ParsedLine::Key && sameName(line.name, key)) {
            m_lines[i] = line.name.toString() + QLatin1Char('=') + value;
            return;
        }
        if (!trimmed(m_lines[i]).isEmpty())
            lastContentLine = i;
    }
    m_lines.insert(lastContentLine + 1, key + QLatin1Char('=') + value);
}

IniFile::IniFile(QString path)
    : m_path(std::move(path))
{
}

std::optional<QString> IniFile::readValue(const QString &section, const QString &key) const
{
    QByteArray bytes;
    QString reason;
    if (!engine::readRegularFile(m_path, LargestFile, &bytes, &reason))
        return std::nullopt;
    return IniDocument::fromBytes(bytes).value(section, key);
}

QString IniFile::readString(const QString &section, const QString &key,
                            const QString &defaultValue) const
{
    std::optional<QString> value = readValue(section, key);
    if (!value)
        return defaultValue;
    if (value->size() > MaxValueLength) {
        qsizetype length = MaxValueLength;
        // Never leave half of a surrogate pair behind.
        if (value->at(length - 1).isHighSurrogate())
            --length;
        value->truncate(length);
    }
    return *value;
}

std::optional<int> IniFile::parseInteger(QStringView text)
{
    text = trimmed(text);
    bool negative = false;
    if (!text.isEmpty() && (text.front() == u'-' || text.front() == u'+')) {
        negative = text.front() == u'-';
        text = text.sliced(1);
    }
    const bool hex = text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X');
    if (hex)
        text = text.sliced(2);
    if (text.isEmpty())
        return std::nullopt;

    // Decimal values must fit a signed 32-bit integer; hexadecimal ones may
    // use all 32 bits (0xFFFFFFFF is -1), as the Windows program's reader did.
    const qint64 limit = hex ? 0xFFFFFFFFLL : (negative ? 0x80000000LL : 0x7FFFFFFFLL);
    qint64 magnitude = 0;
    for (const QChar c : text) {
        const int digit = digitValue(c, hex ? 16 : 10);
        if (digit < 0)
            return std::nullopt;
        magnitude = magnitude * (hex ? 16 : 10) + digit;
        if (magnitude > limit)
            return std::nullopt;
    }
    const qint64 value = hex ? qint64(qint32(quint32(magnitude))) : magnitude;
    return int(negative ? -value : value);
}

int IniFile::readInteger(const QString &section, const QString &key, int defaultValue) const
{
    const std::optional<QString> value = readValue(section, key);
    if (!value)
        return defaultValue;
    return parseInteger(*value).value_or(defaultValue);
}

bool IniFile::writeString(const QString &section, const QString &key, const QString &value)
{
    m_error.clear();
    if (!IniDocument::canHoldValue(value)) {
        m_error = QStringLiteral("a settings value cannot contain line breaks");
        return false;
    }

    IniDocument document;
    if (QFileInfo::exists(m_path)) {
        // Never replace a file that could not be read: its other keys would be lost.
        QByteArray bytes;
        if (!engine::readRegularFile(m_path, LargestFile, &bytes, &m_error))
            return false;
        document = IniDocument::fromBytes(bytes);
    } else {
        QDir().mkpath(QFileInfo(m_path).absolutePath());
    }
    document.setValue(section, key, value);
    return engine::replaceFile(m_path, document.toUtf8(), &m_error);
}

bool IniFile::writeInteger(const QString &section, const QString &key, int value)
{
    return writeString(section, key, QString::number(value));
}

} // namespace tamapiko::platform
