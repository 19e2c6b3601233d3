#include "document/DocumentSaving.h"

#include "app/MessageBoxes.h"
#include "app/TMainForm.h"
#include "document/DocumentPrompts.h"
#include "document/TMDIChild.h"
#include "engine/TTextEngine.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

namespace tamapiko::document {

namespace {

constexpr std::int32_t TxmMagic = 23;
constexpr int TxmHeaderSize = 4 + int(sizeof(PageSettingsRecord));

// The .txm file starts with the page block; the engine's data follows it.
bool writeTxmHeader(const QString &path, const TTextEngine &engine)
{
    PageSettingsRecord page;
    page.MarginLeft = engine.PageMarginL();
    page.MarginTop = engine.PageMarginT();
    page.MarginRight = engine.PageMarginR();
    page.MarginBottom = engine.PageMarginB();
    page.PaperHeight = engine.PageHeight();
    page.PaperWidth = engine.PageWidth();
    if (const TMainForm *frame = MainForm())
        page.PaperIndex = frame->PageSettings.PaperIndex;

    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const std::int32_t magic = qToLittleEndian(TxmMagic);
    return file.write(reinterpret_cast<const char *>(&magic), 4) == 4
        && file.write(reinterpret_cast<const char *>(&page), sizeof page) == qint64(sizeof page);
}

bool writeDocument(TMDIChild &window, const QString &path)
{
    const int format = formatForFileName(path);
    bool written = false;
    try {
        if (format == 3)
            written = writeTxmHeader(path, *window.TextEngine1)
                && window.TextEngine1->SaveDocument(path, TxmHeaderSize, format, 0) == 0;
        else
            written = window.TextEngine1->SaveDocument(path, 0, format == 0 ? 1 : format, 0) == 0;
    } catch (const std::exception &) {
        written = false;
    }
    if (!written) {
        tamapiko::app::showErrorBox(&window, QStringLiteral("Error saving file ") + path);
        return false;
    }
    window.Modified = false;
    return true;
}

} // namespace

int formatForFileName(const QString &fileName)
{
    const QString extension = QFileInfo(fileName).suffix().toUpper();
    if (extension == QLatin1String("DOC"))
        return 9;
    if (extension == QLatin1String("TXM"))
        return 3;
    if (extension == QLatin1String("RTF"))
        return 5;
    if (extension == QLatin1String("HTM") || extension == QLatin1String("HTML"))
        return 4;
    if (extension == QLatin1String("TXT"))
        return 1;
    return 0;
}

bool saveDocument(TMDIChild &window)
{
    if (window.windowTitle().startsWith(QLatin1String("NONAME")))
        return saveDocumentAs(window);
    return writeDocument(window, window.windowTitle());
}

bool saveDocumentAs(TMDIChild &window)
{
    const QString path = askSaveFileName(window);
    if (path.isEmpty())
        return false;
    if (!writeDocument(window, path))
        return false;
    window.setWindowTitle(path);
    return true;
}

} // namespace tamapiko::document
