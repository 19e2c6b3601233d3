// Opens arbitrary bytes as a .txm file the way the program does (page header,
// then the engine's data from the offset it reached), then saves what was
// read and checks that the saved header holds the engine's page.

#include "document/DocumentFile.h"
#include "document/DocumentFileTypes.h"
#include "engine/TTextEngine.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

using namespace tamapiko::document;

namespace {

QApplication *application = nullptr;
QTemporaryDir *folder = nullptr;
TTextEngine *engine = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    application = new QApplication(*argc, *argv);
    folder = new QTemporaryDir;
    engine = new TTextEngine;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString input = folder->filePath(QStringLiteral("input.txm"));
    QFile file(input);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    file.write(reinterpret_cast<const char *>(data), qint64(size));
    file.close();

    PageSettingsRecord page;
    QString error;
    if (!loadDocumentFile(*engine, input, FormatCode::Native, page, &error))
        return 0;

    const QString output = folder->filePath(QStringLiteral("output.txm"));
    if (!saveDocumentFile(*engine, output, FormatCode::Native, page, &error))
        std::abort();
    QFile saved(output);
    if (!saved.open(QIODevice::ReadOnly))
        std::abort();
    const std::optional<TxmHeader> header = decodeTxmHeader(saved.read(TxmHeaderSize), &error);
    if (!header || !header->tagged || header->page.PaperWidth != engine->PageWidth()
        || header->page.MarginBottom != engine->PageMarginB())
        std::abort();
    return 0;
}
