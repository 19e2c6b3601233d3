#pragma once

// PdfObjectFile: the body of a PDF file as numbered objects, written one
// after another as they are finished, with the cross-reference table and
// the trailer at the end.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <vector>

namespace tamapiko::printing::pdf {

// A stream's bytes compressed with Flate; empty when zlib fails.
QByteArray deflated(const QByteArray &data);

class PdfObjectFile
{
public:
    // Opens `fileName` for writing and writes the header.
    bool open(const QString &fileName);
    bool isOpen() const { return m_file.isOpen(); }

    // A number for an object written later.
    int reserve();

    // Writes object `id` whose body is `body` (a dictionary, an array, ...).
    void writeObject(int id, const QByteArray &body);
    // Writes a stream object: `dictionary` holds the entries other than
    // /Length and /Filter (without the << >>). The data is compressed when
    // `compress` is set and that makes it smaller.
    void writeStream(int id, const QByteArray &dictionary, const QByteArray &data, bool compress = true);

    // Writes the cross-reference table and the trailer and closes the
    // file. False when any write failed (the reason in errorString()).
    bool finish(int catalog, int info);
    void abandon();

    bool failed() const { return m_failed; }
    QString errorString() const { return m_file.errorString(); }

private:
    void begin(int id);
    void write(const QByteArray &bytes);
    void write(const char *bytes, qsizetype size);

    QFile m_file;
    qint64 m_position = 0;
    std::vector<qint64> m_offsets{0};   // by object number; 0 is the free head
    bool m_failed = false;
};

} // namespace tamapiko::printing::pdf
