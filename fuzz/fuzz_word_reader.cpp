// libFuzzer target: any compound file given to the Word reader must end in
// a document or a clear refusal, never a crash, a hang or unbounded memory.
// A compound file (a corpus seed) is read as it is; other inputs are split
// at 0xFF bytes into WordDocument, table and Data streams and wrapped in a
// compound file, so the fuzzer spends its time in the Word structures rather
// than in the container. Each document read is written back and must read
// again.

#include "engine/DocumentModel.h"
#include "engine/formats/word/CompoundFile.h"
#include "engine/formats/word/WordFilter.h"

#include <QBuffer>
#include <QGuiApplication>

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
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    QByteArray file = input;
    if (!word::CompoundFileReader::hasSignature(input)) {
        const QList<QByteArray> parts = input.split('\xFF');
        word::CompoundFileWriter writer;
        writer.addStream(QStringLiteral("WordDocument"), parts.value(0));
        writer.addStream(QStringLiteral("1Table"), parts.value(1));
        writer.addStream(QStringLiteral("0Table"), parts.value(1));
        writer.addStream(QStringLiteral("Data"), parts.value(2));
        file = writer.write();
    }

    QBuffer in;
    in.setData(file);
    in.open(QIODevice::ReadOnly);
    DocumentModel model;
    QString error;
    WordFilter filter;
    if (!filter.read(in, model, {}, &error)) {
        if (error.isEmpty())
            abort();
        return 0;
    }
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    if (!filter.write(out, model, {}, &error))
        abort();
    out.close();
    out.open(QIODevice::ReadOnly);
    DocumentModel again;
    if (!filter.read(out, again, {}, &error))
        abort();
    return 0;
}
