// libFuzzer target: any bytes given to the RTF reader must end in a document
// or a clear refusal, never a crash, a hang or unbounded memory. Each input
// is also written back out and read again, so the writer is fuzzed with
// whatever the reader can build.

#include "engine/DocumentModel.h"
#include "engine/formats/RtfFilter.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QTextCursor>
#include <QTextDocument>

#include <cstdint>
#include <cstdlib>

using namespace tamapiko::engine;

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
    RtfFilter filter;
    if (!filter.read(in, model, {}, &error))
        return 0;

    QBuffer out;
    out.open(QIODevice::WriteOnly);
    if (!filter.write(out, model, {}, &error))
        abort();
    out.close();

    // What we wrote must read back.
    out.open(QIODevice::ReadOnly);
    DocumentModel again;
    if (!filter.read(out, again, {}, &error))
        abort();

    // The same bytes pasted into the middle of a document.
    in.seek(0);
    QTextCursor cursor(again.document());
    cursor.movePosition(QTextCursor::End);
    readRtfInto(in, cursor, &error);
    return 0;
}
