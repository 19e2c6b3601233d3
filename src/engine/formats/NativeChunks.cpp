#include "engine/formats/NativeChunks.h"

#include <QCoreApplication>
#include <QtEndian>

#include <array>

namespace tamapiko::engine::native {

namespace {

// CRC-32 as in zlib and PNG (reflected polynomial 0xEDB88320).
constexpr std::array<quint32, 256> makeCrcTable()
{
    std::array<quint32, 256> table{};
    for (quint32 n = 0; n < 256; ++n) {
        quint32 c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

constexpr auto kCrcTable = makeCrcTable();

constexpr qsizetype kHeaderSize = 8;   // tag and length
constexpr qsizetype kTrailerSize = 4;  // CRC

QString tagText(const QByteArray &tag)
{
    QString text;
    for (char c : tag)
        text += (c >= 0x20 && c < 0x7f) ? QChar::fromLatin1(c) : QChar(u'?');
    return text;
}

} // namespace

quint32 crc32(const char *data, qsizetype size, quint32 crc)
{
    crc = ~crc;
    for (qsizetype i = 0; i < size; ++i)
        crc = kCrcTable[(crc ^ quint8(data[i])) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

ChunkWriter::ChunkWriter()
{
    m_bytes.append(Signature, sizeof Signature);
}

void ChunkWriter::add(const char tag[4], const QByteArray &payload)
{
    const qsizetype start = m_bytes.size();
    m_bytes.append(tag, 4);
    char length[4];
    qToBigEndian<quint32>(quint32(payload.size()), length);
    m_bytes.append(length, 4);
    m_bytes.append(payload);
    quint32 crc = crc32(m_bytes.constData() + start, 4);
    crc = crc32(payload, crc);
    char checksum[4];
    qToBigEndian<quint32>(crc, checksum);
    m_bytes.append(checksum, 4);
}

bool ChunkReader::split(const QByteArray &bytes, QList<Chunk> *chunks, QString *error) const
{
    auto fail = [error](const QString &reason) {
        if (error)
            *error = reason;
        return false;
    };
    if (bytes.size() < qsizetype(sizeof Signature) || !bytes.startsWith(QByteArray(Signature, sizeof Signature)))
        return fail(QStringLiteral("Not a tamapiko document: the file signature is missing."));

    qsizetype pos = sizeof Signature;
    while (pos < bytes.size()) {
        if (bytes.size() - pos < kHeaderSize)
            return fail(QStringLiteral("The document is truncated: a chunk header is cut off at byte %1.").arg(pos));
        const QByteArray tag = bytes.mid(pos, 4);
        const quint32 length = qFromBigEndian<quint32>(bytes.constData() + pos + 4);
        if (qsizetype(length) > bytes.size() - pos - kHeaderSize - kTrailerSize)
            return fail(QStringLiteral("The document is truncated: chunk %1 at byte %2 needs %3 bytes.")
                            .arg(tagText(tag))
                            .arg(pos)
                            .arg(length));
        const char *payload = bytes.constData() + pos + kHeaderSize;
        const quint32 stored = qFromBigEndian<quint32>(payload + length);
        if (crc32(payload, length, crc32(tag)) != stored)
            return fail(QStringLiteral("The document is damaged: chunk %1 at byte %2 fails its checksum.")
                            .arg(tagText(tag))
                            .arg(pos));
        if (tag == "END ")
            return true;
        chunks->append({tag, QByteArray(payload, length)});
        pos += kHeaderSize + length + kTrailerSize;
    }
    return fail(QStringLiteral("The document is truncated: its end marker is missing."));
}

} // namespace tamapiko::engine::native
