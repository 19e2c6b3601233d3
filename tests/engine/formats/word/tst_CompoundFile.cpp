// Compound files: what we write reads back stream for stream, and damaged
// files (loops, sectors outside the file, cut short) end in a clear error
// rather than a hang or a crash.

#include "engine/formats/word/BinaryData.h"
#include "engine/formats/word/CompoundFile.h"

#include <QtTest>

using namespace tamapiko::engine::word;

namespace {

QByteArray pattern(qsizetype size, int seed)
{
    QByteArray bytes(size, '\0');
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char((i * 31 + seed) & 0xFF);
    return bytes;
}

QByteArray sample()
{
    CompoundFileWriter writer;
    writer.addStream(QStringLiteral("WordDocument"), pattern(9000, 1));
    writer.addStream(QStringLiteral("1Table"), pattern(700, 2));   // in the mini stream
    writer.addStream(QStringLiteral("Data"), pattern(4096, 3));    // exactly the cut-off: a big one
    writer.addStream(QStringLiteral("Empty"), QByteArray());
    return writer.write();
}

} // namespace

class tst_CompoundFile : public QObject
{
    Q_OBJECT

private slots:
    void writtenStreamsReadBack();
    void largeFileNeedsMoreThanTheHeaderFat();
    void damagedFilesGiveClearErrors_data();
    void damagedFilesGiveClearErrors();
};

void tst_CompoundFile::writtenStreamsReadBack()
{
    const QByteArray file = sample();
    QCOMPARE(file.size() % 512, 0);
    CompoundFileReader reader;
    QString error;
    QVERIFY2(reader.open(file, &error), qPrintable(error));
    QByteArray stream;
    QVERIFY(reader.readStream(QStringLiteral("worddocument"), &stream, &error)); // names ignore case
    QCOMPARE(stream, pattern(9000, 1));
    QVERIFY(reader.readStream(QStringLiteral("1Table"), &stream, &error));
    QCOMPARE(stream, pattern(700, 2));
    QVERIFY(reader.readStream(QStringLiteral("Data"), &stream, &error));
    QCOMPARE(stream, pattern(4096, 3));
    QVERIFY(reader.readStream(QStringLiteral("Empty"), &stream, &error));
    QVERIFY(stream.isEmpty());
    QVERIFY(!reader.hasStream(QStringLiteral("Missing")));
    QVERIFY(!reader.readStream(QStringLiteral("Missing"), &stream, &error));
    QVERIFY(error.contains(u"Missing"_qs));
}

// More than 109 FAT sectors: the rest of the FAT is found through DIFAT
// sectors, which the writer must chain and the reader must follow.
void tst_CompoundFile::largeFileNeedsMoreThanTheHeaderFat()
{
    CompoundFileWriter writer;
    const QByteArray big = pattern(8 * 1024 * 1024, 7);
    writer.addStream(QStringLiteral("Big"), big);
    const QByteArray file = writer.write();
    const ByteReader header(file);
    QVERIFY(header.u32(0x2C) > 109);
    QVERIFY(header.u32(0x48) >= 1);
    CompoundFileReader reader;
    QString error;
    QVERIFY2(reader.open(file, &error), qPrintable(error));
    QByteArray stream;
    QVERIFY2(reader.readStream(QStringLiteral("Big"), &stream, &error), qPrintable(error));
    QVERIFY(stream == big);
}

void tst_CompoundFile::damagedFilesGiveClearErrors_data()
{
    QTest::addColumn<QByteArray>("file");
    const QByteArray good = sample();
    const ByteReader header(good);
    const quint32 fatSector = header.u32(0x4C);
    const qsizetype fatAt = 512 * (qsizetype(fatSector) + 1);

    QByteArray loop = good;
    putU32(loop, fatAt + 4 * 1, 0); // the first stream's second sector leads back to its first
    QTest::newRow("sector chain loops") << loop;

    QByteArray outside = good;
    putU32(outside, fatAt, 0x00FFFFF0);
    QTest::newRow("sector outside the file") << outside;

    QTest::newRow("cut short") << good.left(good.size() / 2);
    QTest::newRow("header only") << good.left(512);
    QTest::newRow("shorter than a header") << good.left(100);

    QByteArray badShift = good;
    putU16(badShift, 0x1E, 30);
    QTest::newRow("absurd sector size") << badShift;

    QByteArray directoryLoop = good;
    const quint32 directory = header.u32(0x30);
    const qsizetype rootAt = 512 * (qsizetype(directory) + 1);
    putU32(directoryLoop, rootAt + 128 + 0x44, 1); // an entry that is its own sibling
    QTest::newRow("directory loops") << directoryLoop;

    QByteArray fatCount = good;
    putU32(fatCount, 0x2C, 0x7FFFFFFF);
    QTest::newRow("absurd FAT count") << fatCount;
}

void tst_CompoundFile::damagedFilesGiveClearErrors()
{
    QFETCH(QByteArray, file);
    CompoundFileReader reader;
    QString error;
    bool ok = reader.open(file, &error);
    if (ok) {
        QByteArray stream;
        ok = reader.readStream(QStringLiteral("WordDocument"), &stream, &error)
            && reader.readStream(QStringLiteral("1Table"), &stream, &error)
            && reader.readStream(QStringLiteral("Data"), &stream, &error);
    }
    QVERIFY(!ok);
    QVERIFY(error.startsWith(u"The compound file"_qs) || error.startsWith(u"The file"_qs));
}

QTEST_MAIN(tst_CompoundFile)
#include "tst_CompoundFile.moc"
