// Charset detection and decoding of HTML bytes: any input must give a
// decoder Qt knows and decode without crashing or hanging.

#include "engine/formats/HtmlCharset.h"

#include <QStringDecoder>

#include <cstdint>
#include <cstdlib>

using tamapiko::engine::HtmlCharset;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    HtmlCharset::Detection detection;
    const QString text = HtmlCharset::decode(bytes, &detection);
    if (!QStringDecoder(detection.name.constData()).isValid())
        abort();
    if (detection.bomLength > bytes.size())
        abort();
    // Bytes that are valid UTF-8 with no BOM or meta come back unchanged.
    if (detection.source == HtmlCharset::Detection::ValidUtf8 && text != QString::fromUtf8(bytes))
        abort();
    return 0;
}
