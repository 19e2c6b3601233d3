#pragma once

// Framing of the native file format: an 8-byte signature, then chunks of
// 4-byte tag, 32-bit big-endian payload length, payload and a CRC-32 over
// tag and payload. docs/native-format.md describes the whole layout.

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>

namespace tamapiko::engine::native {

// "\x89TPKDOC\n": the high byte catches 7-bit transfers, the newline catches
// line-end conversion, as in other binary signatures.
inline constexpr char Signature[8] = {'\x89', 'T', 'P', 'K', 'D', 'O', 'C', '\n'};

quint32 crc32(const char *data, qsizetype size, quint32 crc = 0);
inline quint32 crc32(const QByteArray &data, quint32 crc = 0) { return crc32(data.constData(), data.size(), crc); }

struct Chunk
{
    QByteArray tag;     // 4 bytes
    QByteArray payload;
};

// Appends chunks to a byte array; the caller writes it out in one piece.
class ChunkWriter
{
public:
    ChunkWriter();
    void add(const char tag[4], const QByteArray &payload);
    const QByteArray &bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

// Splits bytes into chunks, checking the signature, every length and every
// checksum before anything is decoded, so that damage is refused whole.
class ChunkReader
{
public:
    // False with a one-line reason in *error when the bytes are not a
    // complete, undamaged chunk sequence ending in an END chunk.
    bool split(const QByteArray &bytes, QList<Chunk> *chunks, QString *error) const;
};

} // namespace tamapiko::engine::native
