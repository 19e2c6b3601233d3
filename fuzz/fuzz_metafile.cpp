// libFuzzer target: any bytes given to the metafile player must draw or be
// refused, never crash, hang or take unbounded memory. Both the size a
// metafile asks for and a small fixed size are drawn.
//
// Seeds: the metafiles inside the shared corpus documents, written out by
//   TAMAPIKO_METAFILE_SEEDS=DIR build/tests/tst_Metafile corpusMetafilesDraw

#include "engine/metafile/Metafile.h"

#include <QGuiApplication>
#include <QImage>

#include <cstdint>

using namespace tamapiko::engine::metafile;

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv); // fonts need a GUI application
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<Metafile> picture = Metafile::fromData(bytes);
    if (!picture)
        return 0;
    picture->toImage(QSize(48, 32));
    // The natural size, kept small so that each run stays quick.
    const QSizeF natural = picture->naturalSize();
    const double scale = std::min(1.0, 64.0 / std::max(natural.width(), natural.height()));
    picture->toDocumentImage(natural * scale);
    return 0;
}
