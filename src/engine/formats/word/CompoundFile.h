#pragma once

// Reads and writes compound files (the structured storage that Word
// 97-2003 documents live in): a small file system of sectors, a FAT of
// sector chains, a directory of named streams and a mini stream for small
// ones. The reader trusts nothing: every chain is bounded and checked, so a
// damaged or hostile file ends in a clear error, never a hang or a crash.

#include <QByteArray>
#include <QList>
#include <QString>

namespace tamapiko::engine::word {

class CompoundFileReader
{
public:
    // True when the data starts with the compound file signature.
    static bool hasSignature(QByteArrayView data);

    // Reads the header, the FAT, the mini FAT and the directory. On failure
    // returns false with a one-line reason.
    bool open(const QByteArray &data, QString *error);

    // The streams directly in the root storage, by name (case-insensitive).
    bool hasStream(const QString &name) const;
    bool readStream(const QString &name, QByteArray *out, QString *error) const;
    QStringList streamNames() const;

private:
    struct Entry
    {
        QString name;
        quint8 type = 0; // 1 storage, 2 stream, 5 root
        quint32 left = 0, right = 0, child = 0;
        quint32 start = 0;
        quint64 size = 0;
    };

    bool readChain(quint32 start, quint64 size, QByteArray *out, QString *error) const;
    bool readMiniChain(quint32 start, quint64 size, QByteArray *out, QString *error) const;
    const Entry *findTopLevel(const QString &name) const;

    QByteArray m_data;
    quint32 m_sectorSize = 512;
    quint32 m_miniSectorSize = 64;
    quint32 m_miniCutoff = 4096;
    QList<quint32> m_fat;
    QList<quint32> m_miniFat;
    QByteArray m_miniStream;
    QList<Entry> m_entries;
    QList<int> m_topLevel; // indices into m_entries of the root's children
};

// Writes a compound file of 512-byte sectors from named streams in the
// root storage. Small streams go into the mini stream as readers expect.
class CompoundFileWriter
{
public:
    void addStream(const QString &name, const QByteArray &data);
    QByteArray write() const;

private:
    struct Stream
    {
        QString name;
        QByteArray data;
    };
    QList<Stream> m_streams;
};

} // namespace tamapiko::engine::word
