// Feeds arbitrary bytes to the plain-text reader and checks that what it
// decodes without errors encodes back to text that decodes the same.

#include "engine/DocumentModel.h"
#include "engine/formats/DocumentFilter.h"
#include "engine/formats/PlainTextFilter.h"
#include "engine/formats/TextCodec.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QTextDocument>

#include <cstdlib>

using namespace tamapiko::engine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_text_decoder";
    static char *argv[] = { name, nullptr };
    static QCoreApplication app(argc, argv);

    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const DecodedText decoded = TextCodec::decode(bytes);
    if (decoded.invalidSequences == 0) {
        const std::optional<QByteArray> again = TextCodec::encode(decoded.text, decoded.encoding, decoded.bom);
        if (decoded.encoding == TextEncoding::ShiftJis) {
            // Every character that came out of Shift-JIS has a code there,
            // and decoding that code gives the same character.
            if (!again)
                std::abort();
            if (TextCodec::decodeShiftJis(*again) != decoded.text)
                std::abort();
        }
    }

    DocumentModel model;
    QBuffer in;
    in.setData(bytes);
    in.open(QIODevice::ReadOnly);
    QString error;
    DocumentFilter *filter = FilterRegistry::instance().filter(FormatCode::Text);
    if (!filter->read(in, model, FilterContext(), &error))
        std::abort(); // any bytes load as text
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    if (!filter->write(out, model, FilterContext(), &error))
        std::abort();
    return 0;
}
