#include "app/OptionSettings.h"

#include "platform/IniFile.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>

using tamapiko::platform::IniFile;

namespace {

const QString Section = QStringLiteral("Option");
// What the reader returns for a missing key; it never overwrites a field.
const QString Missing = QStringLiteral("ERROR");

QString &overriddenPath()
{
    static QString path;
    return path;
}

// The text keys in file order, with their fields.
struct TextKey
{
    const char *name;
    QString OptionSettings::*field;
};
constexpr TextKey TextKeys[] = {
    {"FileOpen", &OptionSettings::FileOpen},
    {"FileOpenTyp", &OptionSettings::FileOpenTyp},
    {"FileSave", &OptionSettings::FileSave},
    {"FileSaveTyp", &OptionSettings::FileSaveTyp},
    {"FileIN", &OptionSettings::FileIN},
    {"FileINTyp", &OptionSettings::FileINTyp},
    {"FileImage", &OptionSettings::FileImage},
    {"FileImageTyp", &OptionSettings::FileImageTyp},
};

} // namespace

QString optionIniPath()
{
    if (!overriddenPath().isEmpty())
        return overriddenPath();
    const QString programFolder = QCoreApplication::applicationDirPath();
    if (!programFolder.isEmpty() && QFileInfo(programFolder).isWritable())
        return programFolder + QStringLiteral("/Option.ini");
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/tamapiko/Option.ini");
}

void setOptionIniPath(const QString &path)
{
    overriddenPath() = path;
}

void IniOption(OptionSettings &settings)
{
    const IniFile file(optionIniPath());
    for (const TextKey &key : TextKeys) {
        const QString text = file.readString(Section, QLatin1String(key.name), Missing);
        if (text != Missing)
            settings.*key.field = text;
    }
    settings.RegSave = file.readInteger(Section, QStringLiteral("RegSave"), 0);
    settings.PictINS = file.readInteger(Section, QStringLiteral("PictINS"), 0);
}

bool WriteOptionIni(const OptionSettings &values, QString *errorMessage)
{
    IniFile file(optionIniPath());
    bool written = true;
    for (const TextKey &key : TextKeys) {
        const QString quoted = QLatin1Char('"') + values.*key.field + QLatin1Char('"');
        written = file.writeString(Section, QLatin1String(key.name), quoted);
        if (!written)
            break;
    }
    written = written && file.writeInteger(Section, QStringLiteral("RegSave"), values.RegSave)
        && file.writeInteger(Section, QStringLiteral("PictINS"), values.PictINS);
    if (!written && errorMessage)
        *errorMessage = QStringLiteral("%1 に書き込めません").arg(file.path());
    return written;
}
