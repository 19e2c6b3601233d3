// Feeds arbitrary bytes to the INI module as a settings file, edits one key
// and checks that the edit reads back and leaves the other keys alone.

#include "platform/FreedesktopFileAssociation.h"
#include "platform/IniFile.h"

#include <cstdint>
#include <cstdlib>

using tamapiko::platform::FreedesktopFileAssociation;
using tamapiko::platform::IniDocument;
using tamapiko::platform::IniFile;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    IniDocument document = IniDocument::fromBytes(bytes);

    const QString section = QStringLiteral("Option");
    const std::optional<QString> untouched = document.value(section, QStringLiteral("FileSave"));
    if (untouched)
        (void)IniFile::parseInteger(*untouched);

    // A value made from the input itself, kept to what one line can hold.
    QString value = QString::fromUtf8(bytes.left(64));
    value.remove(u'\r');
    value.remove(u'\n');
    value.remove(QChar(0));
    document.setValue(section, QStringLiteral("FileOpen"), QLatin1Char('"') + value + QLatin1Char('"'));

    const IniDocument reread = IniDocument::fromBytes(document.toUtf8());
    if (reread.value(section, QStringLiteral("fileopen")) != value)
        std::abort();
    if (reread.value(section, QStringLiteral("FileSave")) != untouched)
        std::abort();

    (void)FreedesktopFileAssociation::splitExec(QString::fromUtf8(bytes));
    return 0;
}
