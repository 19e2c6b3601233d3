// libFuzzer target: any bytes given to the compound file reader must end in
// its streams or a clear refusal, never a crash, a hang or unbounded memory.

#include "engine/formats/word/CompoundFile.h"

#include <cstdint>
#include <cstdlib>

using namespace tamapiko::engine::word;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Inputs without the signature would only test the first comparison.
    QByteArray file = CompoundFileReader::hasSignature(QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size)))
        ? QByteArray(reinterpret_cast<const char *>(data), qsizetype(size))
        : QByteArray::fromHex("D0CF11E0A1B11AE1") + QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
    CompoundFileReader reader;
    QString error;
    if (!reader.open(file, &error)) {
        if (error.isEmpty())
            abort();
        return 0;
    }
    for (const QString &name : reader.streamNames()) {
        QByteArray stream;
        if (!reader.readStream(name, &stream, &error) && error.isEmpty())
            abort();
    }
    return 0;
}
