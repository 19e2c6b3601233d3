// The native reader on hostile input. Checksums turn away almost every
// random file at the framing stage, so besides raw bytes the input is also
// used to damage a real document's chunks and checksum them again, which
// reaches the decoders behind the checks.
//
// Input: first byte selects the mode.
//   0: the rest is read as a file.
//   1: the rest is a list of chunks (4-byte tag, 16-bit length, payload),
//      framed and checksummed.
//   2: byte 1 picks a chunk of a sample document, bytes 2-3 an offset in it;
//      the rest overwrites the payload from there (bit 7 of byte 1: and cuts
//      it after the new bytes).

#include "engine/DocumentModel.h"
#include "engine/EngineProperties.h"
#include "engine/formats/NativeChunks.h"
#include "engine/formats/NativeFilter.h"

#include <QGuiApplication>
#include <QImage>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

#include <cstdint>

using namespace tamapiko::engine;

namespace {

QByteArray sampleDocument()
{
    DocumentModel model;
    QTextDocument *doc = model.document();
    QTextCursor cursor(doc);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    bold.setFontFamilies({QStringLiteral("ＭＳ 明朝")});
    cursor.insertText(QStringLiteral("見出し"), bold);
    QTextBlockFormat block;
    block.setTabPositions({QTextOption::Tab(72, QTextOption::RightTab)});
    block.setProperty(ParagraphFrameStyle, 0x1F20);
    cursor.insertBlock(block);
    cursor.insertText(QStringLiteral("本文\tです"));
    QTextTable *table = cursor.insertTable(2, 3);
    table->mergeCells(0, 0, 1, 2);
    table->cellAt(1, 2).firstCursorPosition().insertText(QStringLiteral("セル"));
    cursor.setPosition(table->lastPosition() + 1);
    QTextFrameFormat floating;
    floating.setPosition(QTextFrameFormat::FloatRight);
    cursor.insertFrame(floating)->firstCursorPosition().insertText(QStringLiteral("枠"));
    cursor.movePosition(QTextCursor::End);
    QImage pixels(4, 4, QImage::Format_RGB32);
    pixels.fill(Qt::red);
    doc->addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("p")), pixels);
    QTextImageFormat image;
    image.setName(QStringLiteral("p"));
    cursor.insertImage(image);
    model.setSourceProperty(QStringLiteral("text/encoding"), QStringLiteral("UTF-8"));
    return NativeFilter::encode(model);
}

QByteArray reframe(const QByteArray &rest)
{
    native::ChunkWriter writer;
    qsizetype pos = 0;
    while (rest.size() - pos >= 6) {
        const QByteArray tag = rest.mid(pos, 4);
        const int length = quint8(rest.at(pos + 4)) << 8 | quint8(rest.at(pos + 5));
        pos += 6;
        writer.add(tag.constData(), rest.mid(pos, length));
        pos += length;
    }
    writer.add("END ", {});
    return writer.bytes();
}

QByteArray damageSample(const QByteArray &sample, const QByteArray &rest)
{
    if (rest.size() < 3)
        return sample;
    QList<native::Chunk> chunks;
    QString error;
    native::ChunkReader().split(sample, &chunks, &error);
    native::Chunk &chunk = chunks[quint8(rest.at(0) & 0x7F) % chunks.size()];
    const bool cut = rest.at(0) & 0x80;
    const qsizetype offset = (quint8(rest.at(1)) << 8 | quint8(rest.at(2))) % (chunk.payload.size() + 1);
    const QByteArray patch = rest.mid(3);
    if (cut)
        chunk.payload = chunk.payload.left(offset) + patch;
    else
        chunk.payload.replace(offset, qMin(patch.size(), chunk.payload.size() - offset), patch);
    native::ChunkWriter writer;
    for (const native::Chunk &c : std::as_const(chunks))
        writer.add(c.tag.constData(), c.payload);
    writer.add("END ", {});
    return writer.bytes();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QByteArray sample = sampleDocument();
    if (size == 0)
        return 0;
    const QByteArray rest(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));
    QByteArray file;
    switch (data[0] % 3) {
    case 0: file = rest; break;
    case 1: file = reframe(rest); break;
    default: file = damageSample(sample, rest); break;
    }
    DocumentModel model;
    QString error;
    if (!NativeFilter::decode(file, model, &error) && error.isEmpty())
        abort(); // a refusal must say why
    return 0;
}
