#pragma once

// Small metafiles built byte by byte, for tests of the metafile player and
// of inserting pictures.

#include <QByteArray>
#include <QList>
#include <QRgb>

#include <initializer_list>

namespace tamapiko::test {

void put16(QByteArray &out, int value);
void put32(QByteArray &out, quint32 value);

// A 24-bit bottom-up DIB of one row of pixels.
QByteArray rowDib(const QList<QRgb> &pixels);

// Builds a placeable WMF whose logical space is 0..100 both ways, 1440
// units to the inch.
class WmfBuilder
{
public:
    // One record: its function, 16-bit parameters, then raw bytes.
    void record(quint16 function, std::initializer_list<int> words, const QByteArray &tail = {});
    QByteArray file() const;

private:
    QByteArray m_records;
};

// A WMF of a red rectangle over the whole picture.
QByteArray redSquareWmf();

} // namespace tamapiko::test
