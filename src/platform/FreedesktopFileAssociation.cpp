#include "platform/FreedesktopFileAssociation.h"

#include "engine/io/SafeFile.h"
#include "platform/IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace tamapiko::platform {

const QString FreedesktopFileAssociation::MimeType = QStringLiteral("application/x-moxwp");
const QString FreedesktopFileAssociation::TypeComment = QStringLiteral("MOXぽこぺんﾉｰﾄﾌｧｲﾙ");
const QString FreedesktopFileAssociation::TypeIcon = QStringLiteral("application-x-moxwp");
const QString FreedesktopFileAssociation::DesktopEntryId = QStringLiteral("tamapiko.desktop");

namespace {

const QString TxmGlob = QStringLiteral("*.txm");
const QString DefaultApplications = QStringLiteral("Default Applications");

QString absoluteDirFromEnvironment(const char *variable, const QString &fallback)
{
    const QString value = qEnvironmentVariable(variable);
    return QDir::isAbsolutePath(value) ? QDir::cleanPath(value) : fallback;
}

// The string-level escapes of desktop-entry values: \s \n \t \r \\.
QString unescapeDesktopValue(QStringView value)
{
    QString result;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != u'\\' || i + 1 == value.size()) {
            result += value[i];
            continue;
        }
        switch (value[++i].unicode()) {
        case u's': result += u' '; break;
        case u'n': result += u'\n'; break;
        case u't': result += u'\t'; break;
        case u'r': result += u'\r'; break;
        case u'\\': result += u'\\'; break;
        default: result += u'\\'; result += value[i]; break;
        }
    }
    return result;
}

// The keys of the [Desktop Entry] group; the first of each wins.
QHash<QString, QString> readDesktopEntryGroup(const QString &path)
{
    QHash<QString, QString> keys;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return keys;
    bool inMainGroup = false;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    for (const QString &rawLine : lines) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            inMainGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!inMainGroup || equals <= 0)
            continue;
        const QString key = line.first(equals).trimmed();
        if (!keys.contains(key))
            keys.insert(key, unescapeDesktopValue(QStringView(line).sliced(equals + 1).trimmed()));
    }
    return keys;
}

bool writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QString reason;
    return engine::replaceFile(path, bytes, &reason);
}

void runQuietly(const QString &tool, const QString &folder)
{
    if (!QFileInfo(folder).isDir())
        return;
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty())
        return;
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, {folder});
    if (process.waitForStarted())
        process.waitForFinished(30000);
}

} // namespace

XdgFolders XdgFolders::fromEnvironment()
{
    const QString home = QDir::homePath();
    XdgFolders folders;
    folders.dataHome = absoluteDirFromEnvironment("XDG_DATA_HOME", home + QStringLiteral("/.local/share"));
    folders.configHome = absoluteDirFromEnvironment("XDG_CONFIG_HOME", home + QStringLiteral("/.config"));
    const QStringList dirs = qEnvironmentVariable("XDG_DATA_DIRS").split(u':', Qt::SkipEmptyParts);
    for (const QString &dir : dirs) {
        if (QDir::isAbsolutePath(dir))
            folders.dataDirs.append(QDir::cleanPath(dir));
    }
    if (folders.dataDirs.isEmpty())
        folders.dataDirs = {QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")};
    return folders;
}

FreedesktopFileAssociation::FreedesktopFileAssociation(XdgFolders folders)
    : m_folders(std::move(folders))
{
}

QStringList FreedesktopFileAssociation::splitExec(const QString &exec)
{
    QStringList arguments;
    QString current;
    bool inArgument = false;
    bool quoted = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (quoted) {
            if (c == u'"') {
                quoted = false;
            } else if (c == u'\\' && i + 1 < exec.size()) {
                current += exec[++i];
            } else {
                current += c;
            }
        } else if (c == u' ' || c == u'\t') {
            if (inArgument)
                arguments.append(std::exchange(current, QString()));
            inArgument = false;
        } else {
            inArgument = true;
            if (c == u'"')
                quoted = true;
            else
                current += c;
        }
    }
    if (inArgument)
        arguments.append(current);
    return arguments;
}

QString FreedesktopFileAssociation::programOfDesktopEntry(const QString &desktopFilePath)
{
    const QHash<QString, QString> keys = readDesktopEntryGroup(desktopFilePath);
    // A hidden entry is one the user deleted.
    if (keys.value(QStringLiteral("Hidden")) == QLatin1String("true"))
        return {};
    QString program = keys.value(QStringLiteral("TryExec"));
    if (program.isEmpty())
        program = splitExec(keys.value(QStringLiteral("Exec"))).value(0);
    if (!program.isEmpty() && !program.contains(u'/')) {
        const QString found = QStandardPaths::findExecutable(program);
        if (!found.isEmpty())
            program = found;
    }
    return program;
}

QString FreedesktopFileAssociation::findRegisteredProgram() const
{
    QStringList dataFolders{m_folders.dataHome};
    dataFolders += m_folders.dataDirs;
    for (const QString &folder : dataFolders) {
        const QString entry = folder + QStringLiteral("/applications/") + DesktopEntryId;
        if (QFileInfo::exists(entry))
            return programOfDesktopEntry(entry);
    }
    return {};
}

QString FreedesktopFileAssociation::typeOfTxmFiles() const
{
    QStringList dataFolders{m_folders.dataHome};
    dataFolders += m_folders.dataDirs;
    for (const QString &folder : dataFolders) {
        QFile globs(folder + QStringLiteral("/mime/globs2"));
        if (!globs.open(QIODevice::ReadOnly))
            continue;
        // Lines are "weight:type:glob[:flags]"; the heaviest match wins.
        int bestWeight = -1;
        QString bestType;
        while (!globs.atEnd()) {
            const QString line = QString::fromUtf8(globs.readLine()).trimmed();
            if (line.startsWith(u'#'))
                continue;
            const QStringList fields = line.split(u':');
            if (fields.size() < 3)
                continue;
            const bool caseSensitive = fields.size() > 3 && fields[3].split(u',').contains(QLatin1String("cs"));
            if (caseSensitive || fields[2].compare(TxmGlob, Qt::CaseInsensitive) != 0)
                continue;
            const int weight = fields[0].toInt();
            if (weight > bestWeight) {
                bestWeight = weight;
                bestType = fields[1];
            }
        }
        if (!bestType.isEmpty())
            return bestType;
    }
    return {};
}

QString FreedesktopFileAssociation::userPackagePath() const
{
    return m_folders.dataHome + QStringLiteral("/mime/packages/application-x-moxwp.xml");
}

QString FreedesktopFileAssociation::mimeAppsListPath() const
{
    return m_folders.configHome + QStringLiteral("/mimeapps.list");
}

QString FreedesktopFileAssociation::iconOfUserPackage() const
{
    QFile file(userPackagePath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QXmlStreamReader xml(&file);
    bool inOurType = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isEndElement() && xml.name() == QLatin1String("mime-type"))
            inOurType = false;
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("mime-type"))
            inOurType = xml.attributes().value(QLatin1String("type")) == MimeType;
        else if (inOurType && xml.name() == QLatin1String("icon"))
            return xml.attributes().value(QLatin1String("name")).toString();
    }
    return {};
}

QString FreedesktopFileAssociation::defaultHandler() const
{
    return IniFile(mimeAppsListPath()).readString(DefaultApplications, MimeType, QString());
}

bool FreedesktopFileAssociation::writeUserPackage()
{
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeDefaultNamespace(QStringLiteral("http://www.freedesktop.org/standards/shared-mime-info"));
    xml.writeStartElement(QStringLiteral("mime-info"));
    xml.writeStartElement(QStringLiteral("mime-type"));
    xml.writeAttribute(QStringLiteral("type"), MimeType);
    xml.writeTextElement(QStringLiteral("comment"), TypeComment);
    xml.writeEmptyElement(QStringLiteral("icon"));
    xml.writeAttribute(QStringLiteral("name"), TypeIcon);
    xml.writeEmptyElement(QStringLiteral("glob"));
    xml.writeAttribute(QStringLiteral("pattern"), TxmGlob);
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    return writeFileAtomically(userPackagePath(), bytes);
}

bool FreedesktopFileAssociation::writeDefaultHandler()
{
    IniFile list(mimeAppsListPath());
    return list.writeString(DefaultApplications, MimeType, DesktopEntryId);
}

bool FreedesktopFileAssociation::checkAtStartup()
{
    m_registeredExePath = findRegisteredProgram();
    if (m_registeredExePath.isEmpty())
        return false;

    if (typeOfTxmFiles() == MimeType) {
        m_associationChecked = true;
        return false;
    }
    // The package carries the glob, the type's name and its icon at once.
    const bool packageWritten = writeUserPackage();
    m_associationChecked = true;
    const bool handlerWritten = writeDefaultHandler();
    return packageWritten || handlerWritten;
}

bool FreedesktopFileAssociation::rewriteAtExit(int regSave)
{
    if (m_registeredExePath.isEmpty() || !m_associationChecked || regSave != 0)
        return false;
    const QString oldIcon = iconOfUserPackage();
    writeUserPackage();
    writeDefaultHandler();
    return oldIcon != TypeIcon;
}

void FreedesktopFileAssociation::notifyShell()
{
    runQuietly(QStringLiteral("update-mime-database"), m_folders.dataHome + QStringLiteral("/mime"));
    runQuietly(QStringLiteral("update-desktop-database"), m_folders.dataHome + QStringLiteral("/applications"));
}

} // namespace tamapiko::platform
