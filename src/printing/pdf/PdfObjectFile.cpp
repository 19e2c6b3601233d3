#include "printing/pdf/PdfObjectFile.h"

#include <zlib.h>

#include <cstdio>

namespace tamapiko::printing::pdf {

QByteArray deflated(const QByteArray &data)
{
    // Level 4 of 9: pages of text come out a few percent larger than at
    // zlib's default level in two thirds of the time.
    constexpr int Level = 4;
    QByteArray out;
    uLongf size = compressBound(uLong(data.size()));
    out.resize(qsizetype(size));
    if (compress2(reinterpret_cast<Bytef *>(out.data()), &size, reinterpret_cast<const Bytef *>(data.constData()),
                  uLong(data.size()), Level)
        != Z_OK)
        return {};
    out.resize(qsizetype(size));
    return out;
}

bool PdfObjectFile::open(const QString &fileName)
{
    m_file.setFileName(fileName);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    // The second line's bytes above 127 tell transfer programs the file is
    // binary.
    write(QByteArrayLiteral("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n"));
    return !m_failed;
}

int PdfObjectFile::reserve()
{
    m_offsets.push_back(-1);
    return int(m_offsets.size() - 1);
}

void PdfObjectFile::begin(int id)
{
    m_offsets[size_t(id)] = m_position;
    char head[32];
    const int n = std::snprintf(head, sizeof head, "%d 0 obj\n", id);
    write(head, n);
}

void PdfObjectFile::writeObject(int id, const QByteArray &body)
{
    begin(id);
    write(body);
    write(QByteArrayLiteral("\nendobj\n"));
}

void PdfObjectFile::writeStream(int id, const QByteArray &dictionary, const QByteArray &data, bool compress)
{
    QByteArray packed;
    if (compress) {
        packed = deflated(data);
        compress = !packed.isEmpty() && packed.size() < data.size();
    }
    const QByteArray &bytes = compress ? packed : data;
    begin(id);
    write(QByteArrayLiteral("<<"));
    write(dictionary);
    if (compress)
        write(QByteArrayLiteral("/Filter/FlateDecode"));
    write(QByteArrayLiteral("/Length ") + QByteArray::number(bytes.size()) + QByteArrayLiteral(">>\nstream\n"));
    write(bytes);
    write(QByteArrayLiteral("\nendstream\nendobj\n"));
}

bool PdfObjectFile::finish(int catalog, int info)
{
    const qint64 xref = m_position;
    QByteArray table = "xref\n0 " + QByteArray::number(qsizetype(m_offsets.size())) + "\n0000000000 65535 f \n";
    char entry[32];
    for (size_t i = 1; i < m_offsets.size(); ++i) {
        // An object reserved and never written is listed as free.
        const int n = m_offsets[i] < 0 ? std::snprintf(entry, sizeof entry, "0000000000 65535 f \n")
                                       : std::snprintf(entry, sizeof entry, "%010lld 00000 n \n", m_offsets[i]);
        table.append(entry, n);
    }
    table += "trailer\n<</Size " + QByteArray::number(qsizetype(m_offsets.size())) + "/Root "
        + QByteArray::number(catalog) + " 0 R/Info " + QByteArray::number(info) + " 0 R>>\nstartxref\n"
        + QByteArray::number(xref) + "\n%%EOF\n";
    write(table);
    if (!m_file.flush())
        m_failed = true;
    m_file.close();
    return !m_failed;
}

void PdfObjectFile::abandon()
{
    m_file.close();
}

void PdfObjectFile::write(const QByteArray &bytes)
{
    write(bytes.constData(), bytes.size());
}

void PdfObjectFile::write(const char *bytes, qsizetype size)
{
    if (m_failed)
        return;
    if (m_file.write(bytes, size) != size)
        m_failed = true;
    m_position += size;
}

} // namespace tamapiko::printing::pdf
