#include "support/MetafileBuilder.h"

#include <QtEndian>

namespace tamapiko::test {

void put16(QByteArray &out, int value)
{
    char b[2];
    qToLittleEndian<quint16>(quint16(value), b);
    out.append(b, 2);
}

void put32(QByteArray &out, quint32 value)
{
    char b[4];
    qToLittleEndian<quint32>(value, b);
    out.append(b, 4);
}

QByteArray rowDib(const QList<QRgb> &pixels)
{
    QByteArray dib;
    put32(dib, 40);
    put32(dib, quint32(pixels.size()));
    put32(dib, 1);
    put16(dib, 1);
    put16(dib, 24);
    for (int i = 0; i < 6; ++i)
        put32(dib, 0);
    QByteArray row;
    for (QRgb p : pixels) {
        row.append(char(qBlue(p)));
        row.append(char(qGreen(p)));
        row.append(char(qRed(p)));
    }
    while (row.size() % 4)
        row.append('\0');
    return dib + row;
}

void WmfBuilder::record(quint16 function, std::initializer_list<int> words, const QByteArray &tail)
{
    QByteArray params;
    for (int w : words)
        put16(params, w);
    params += tail;
    if (params.size() % 2)
        params.append('\0');
    put32(m_records, quint32(3 + params.size() / 2));
    put16(m_records, function);
    m_records += params;
}

QByteArray WmfBuilder::file() const
{
    QByteArray out;
    put32(out, 0x9AC6CDD7);
    put16(out, 0);
    for (int v : {0, 0, 100, 100})
        put16(out, v);
    put16(out, 1440);
    put32(out, 0);
    put16(out, 0);
    QByteArray records = m_records;
    put32(records, 3);
    put16(records, 0);
    put16(out, 1);
    put16(out, 9);
    put16(out, 0x0300);
    put32(out, quint32(9 + records.size() / 2));
    put16(out, 8);
    put32(out, 64);
    put16(out, 0);
    return out + records;
}

QByteArray redSquareWmf()
{
    WmfBuilder wmf;
    wmf.record(0x02FC, {0, 0x00FF, 0x0000, 0});
    wmf.record(0x012D, {0});
    wmf.record(0x041B, {100, 100, 0, 0});
    return wmf.file();
}


} // namespace tamapiko::test
