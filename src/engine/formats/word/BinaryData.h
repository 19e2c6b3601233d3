#pragma once

// Little-endian reading and writing for the binary Word structures. Reads
// outside the data give 0, so a damaged length can never read past the end;
// callers check the sizes that matter and treat the zeros as damage.

#include <QByteArray>
#include <QByteArrayView>

namespace tamapiko::engine::word {

class ByteReader
{
public:
    ByteReader() = default;
    explicit ByteReader(QByteArrayView data) : m_data(data) {}

    qsizetype size() const { return m_data.size(); }
    bool has(qint64 offset, qint64 length) const
    {
        return offset >= 0 && length >= 0 && offset + length <= m_data.size();
    }
    quint8 u8(qint64 offset) const { return has(offset, 1) ? quint8(m_data[offset]) : 0; }
    quint16 u16(qint64 offset) const { return quint16(u8(offset) | (u8(offset + 1) << 8)); }
    qint16 i16(qint64 offset) const { return qint16(u16(offset)); }
    quint32 u32(qint64 offset) const { return quint32(u16(offset)) | (quint32(u16(offset + 2)) << 16); }
    qint32 i32(qint64 offset) const { return qint32(u32(offset)); }
    // The bytes from offset, at most length of them (fewer at the end).
    QByteArrayView slice(qint64 offset, qint64 length) const
    {
        if (offset < 0 || offset >= m_data.size() || length <= 0)
            return {};
        return m_data.sliced(offset, std::min<qint64>(length, m_data.size() - offset));
    }
    QByteArrayView data() const { return m_data; }

private:
    QByteArrayView m_data;
};

inline void appendU8(QByteArray &out, quint8 v) { out.append(char(v)); }
inline void appendU16(QByteArray &out, quint16 v) { out.append(char(v & 0xFF)).append(char(v >> 8)); }
inline void appendU32(QByteArray &out, quint32 v)
{
    appendU16(out, quint16(v & 0xFFFF));
    appendU16(out, quint16(v >> 16));
}
inline void putU16(QByteArray &out, qsizetype at, quint16 v)
{
    out[at] = char(v & 0xFF);
    out[at + 1] = char(v >> 8);
}
inline void putU32(QByteArray &out, qsizetype at, quint32 v)
{
    putU16(out, at, quint16(v & 0xFFFF));
    putU16(out, at + 2, quint16(v >> 16));
}

} // namespace tamapiko::engine::word
