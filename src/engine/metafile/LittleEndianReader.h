#pragma once

// Reads little-endian values out of a record that may be shorter than it
// claims: a read past the end gives zero and marks the reader as overrun, so
// that broken records are noticed without a bounds check at every field.

#include <QByteArrayView>
#include <QtEndian>

#include <cstring>

namespace tamapiko::engine::metafile {

class LittleEndianReader
{
public:
    explicit LittleEndianReader(QByteArrayView bytes) : m_bytes(bytes) {}

    qsizetype position() const { return m_position; }
    qsizetype remaining() const { return m_bytes.size() - m_position; }
    bool overrun() const { return m_overrun; }
    void seek(qsizetype position)
    {
        if (position < 0 || position > m_bytes.size()) {
            m_overrun = true;
            m_position = m_bytes.size();
        } else {
            m_position = position;
        }
    }
    void skip(qsizetype count) { seek(m_position + count); }

    quint8 u8() { return read<quint8>(); }
    quint16 u16() { return read<quint16>(); }
    qint16 i16() { return read<qint16>(); }
    quint32 u32() { return read<quint32>(); }
    qint32 i32() { return read<qint32>(); }
    float f32()
    {
        const quint32 bits = u32();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    // `count` bytes from here, fewer when the data ends first.
    QByteArrayView bytes(qsizetype count)
    {
        if (count < 0 || count > remaining()) {
            m_overrun = true;
            count = remaining();
        }
        const QByteArrayView out = m_bytes.sliced(m_position, count);
        m_position += count;
        return out;
    }

private:
    template<typename T>
    T read()
    {
        if (remaining() < qsizetype(sizeof(T))) {
            m_overrun = true;
            m_position = m_bytes.size();
            return T(0);
        }
        const T value = qFromLittleEndian<T>(m_bytes.data() + m_position);
        m_position += sizeof(T);
        return value;
    }

    QByteArrayView m_bytes;
    qsizetype m_position = 0;
    bool m_overrun = false;
};

} // namespace tamapiko::engine::metafile
