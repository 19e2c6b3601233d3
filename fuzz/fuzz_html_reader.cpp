// libFuzzer target: any bytes read as an HTML document end in a document,
// never a crash, a hang, unbounded memory or a file or network fetch; what
// was read is written back as HTML, RTF and .txm and the HTML read again.

#include "engine/DocumentModel.h"
#include "engine/formats/DocumentFilter.h"

#include <QBuffer>
#include <QGuiApplication>

#include <cstdint>
#include <cstdlib>

using namespace tamapiko::engine;

namespace {

constexpr int NativeFormat = 3;
constexpr int HtmlFormat = 4;
constexpr int RtfFormat = 5;

bool writeAs(int format, const DocumentModel &model, QByteArray *bytes)
{
    QBuffer out(bytes);
    out.open(QIODevice::WriteOnly);
    QString error;
    return FilterRegistry::instance().filter(format)->write(out, model, {}, &error);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv); // images and fonts need a GUI application
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QBuffer in;
    in.setData(reinterpret_cast<const char *>(data), qsizetype(size));
    in.open(QIODevice::ReadOnly);
    DocumentModel model;
    QString error;
    DocumentFilter *html = FilterRegistry::instance().filter(HtmlFormat);
    if (!html->read(in, model, {}, &error))
        return 0;

    QByteArray written;
    for (int format : {RtfFormat, NativeFormat, HtmlFormat}) {
        written.clear();
        if (!writeAs(format, model, &written))
            abort();
    }
    QBuffer back(&written);
    back.open(QIODevice::ReadOnly);
    DocumentModel again;
    if (!html->read(back, again, {}, &error))
        abort();
    return 0;
}
