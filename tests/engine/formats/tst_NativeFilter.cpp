#include "engine/DocumentModel.h"
#include "engine/EngineProperties.h"
#include "engine/formats/DocumentFilter.h"
#include "engine/formats/NativeChunks.h"
#include "engine/formats/NativeFilter.h"
#include "support/RichDocumentBuilder.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QtTest>

using namespace tamapiko::engine;
using namespace tamapiko::test;

namespace {

const QByteArray kPrefix = QByteArray("\x17\0\0\0header bytes that stay put!!!!", 32);

// Writes the model through the registered filter after a 32-byte prefix, as
// the .txm writer does, and returns the whole file.
QByteArray saveWithPrefix(const DocumentModel &model)
{
    QByteArray file = kPrefix;
    QBuffer buffer(&file);
    buffer.open(QIODevice::ReadWrite);
    buffer.seek(kPrefix.size());
    QString error;
    DocumentFilter *filter = FilterRegistry::instance().filter(FormatCode::Native);
    if (!filter || !filter->write(buffer, model, {}, &error))
        qWarning() << "write failed:" << error;
    return file;
}

bool loadWithPrefix(const QByteArray &file, DocumentModel &model, QString *error)
{
    QBuffer buffer;
    buffer.setData(file);
    buffer.open(QIODevice::ReadOnly);
    buffer.seek(kPrefix.size());
    return FilterRegistry::instance().filter(FormatCode::Native)->read(buffer, model, {}, error);
}

// The chunks of a file, to rebuild it with changes.
QList<native::Chunk> chunksOf(const QByteArray &data)
{
    QList<native::Chunk> chunks;
    QString error;
    native::ChunkReader().split(data, &chunks, &error);
    return chunks;
}

QByteArray assemble(const QList<native::Chunk> &chunks)
{
    native::ChunkWriter writer;
    for (const native::Chunk &chunk : chunks)
        writer.add(chunk.tag.constData(), chunk.payload);
    writer.add("END ", {});
    return writer.bytes();
}

} // namespace

class tst_NativeFilter : public QObject
{
    Q_OBJECT

private slots:
    void crcMatchesTheCommonCheckValue()
    {
        // The check value every CRC-32 (zlib, PNG) gives for "123456789".
        QCOMPARE(native::crc32(QByteArray("123456789")), 0xCBF43926u);
    }

    void richDocumentSurvivesExactlyBehindAPrefix()
    {
        QTemporaryDir dir;
        DocumentModel model;
        RichDocumentBuilder(dir.path(), RichDocumentBuilder::AllParts | RichDocumentBuilder::Lists).build(model);
        // Attributes no filter knows yet must still come back.
        QTextCursor cursor(model.document()->lastBlock());
        QTextCharFormat later;
        later.setProperty(QTextFormat::UserProperty + 0x7777, QStringLiteral("未来の属性"));
        later.setProperty(QTextFormat::UserProperty + 0x7778, QVariantList{1, 2.5, QStringLiteral("x")});
        cursor.mergeCharFormat(later);
        model.setSourceProperty(QStringLiteral("text/encoding"), QStringLiteral("Shift_JIS"));
        model.document()->setDefaultFont(QFont(QStringLiteral("IPAMincho"), 11));

        const QByteArray file = saveWithPrefix(model);
        QCOMPARE(file.left(kPrefix.size()), kPrefix);

        DocumentModel reopened;
        QString error;
        QVERIFY2(loadWithPrefix(file, reopened, &error), qPrintable(error));
        QCOMPARE(firstDifference(model, reopened, ComparisonProfile::everything()), QString());
        QCOMPARE(reopened.sourceProperty(QStringLiteral("text/encoding")).toString(), QStringLiteral("Shift_JIS"));
        QCOMPARE(reopened.document()->defaultFont().family(), QStringLiteral("IPAMincho"));
        QVERIFY(!reopened.document()->isUndoAvailable());
        // What was read saves and reads again just the same.
        DocumentModel second;
        QVERIFY2(loadWithPrefix(saveWithPrefix(reopened), second, &error), qPrintable(error));
        QCOMPARE(firstDifference(model, second, ComparisonProfile::everything()), QString());
    }

    void picturesWithoutOriginalBytesAndEmptyDocuments()
    {
        DocumentModel model;
        QImage pixels(5, 3, QImage::Format_RGB32);
        pixels.fill(QColor(10, 200, 30));
        model.document()->addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("pasted")), pixels);
        QTextImageFormat image;
        image.setName(QStringLiteral("pasted"));
        QTextCursor(model.document()).insertImage(image);
        DocumentModel reopened;
        QString error;
        QVERIFY2(NativeFilter::decode(NativeFilter::encode(model), reopened, &error), qPrintable(error));
        QCOMPARE(firstDifference(model, reopened, ComparisonProfile::everything()), QString());

        DocumentModel empty;
        QVERIFY2(NativeFilter::decode(NativeFilter::encode(empty), reopened, &error), qPrintable(error));
        QVERIFY(reopened.document()->isEmpty());
        QCOMPARE(reopened.document()->blockCount(), 1);
    }

    void savedBytesDependOnlyOnTheDocument()
    {
        // The same text and looks, once with formats left over in Qt's
        // collection by text that is gone (as layout and editing leave them).
        const auto write = [](DocumentModel &model, bool leftovers) {
            QTextCursor cursor(model.document());
            if (leftovers) {
                for (int size = 30; size < 40; ++size) {
                    QTextCharFormat passing;
                    passing.setFontPointSize(size);
                    cursor.insertText(QStringLiteral("x"), passing);
                    cursor.deletePreviousChar();
                }
            }
            QTextCharFormat bold;
            bold.setFontWeight(QFont::Bold);
            cursor.insertText(QStringLiteral("太字"), bold);
            cursor.insertText(QStringLiteral("普通"), QTextCharFormat());
        };
        DocumentModel plain;
        DocumentModel withLeftovers;
        write(plain, false);
        write(withLeftovers, true);
        QVERIFY(withLeftovers.document()->allFormats().size() > plain.document()->allFormats().size());
        QCOMPARE(NativeFilter::encode(withLeftovers), NativeFilter::encode(plain));
    }

    void damagedFilesAreRefusedAndTheOpenDocumentKept()
    {
        DocumentModel model;
        RichDocumentBuilder().build(model);
        const QByteArray data = NativeFilter::encode(model);

        DocumentModel target;
        QTextCursor(target.document()).insertText(QStringLiteral("開いている文書"));
        QString error;
        // Cut at many places, including inside the signature and exactly
        // between two chunks.
        for (qsizetype cut = 0; cut < data.size(); cut += qMax<qsizetype>(1, data.size() / 97)) {
            QVERIFY2(!NativeFilter::decode(data.left(cut), target, &error), qPrintable(QString::number(cut)));
            QVERIFY2(error.contains(cut < 8 ? QStringLiteral("Not a tamapiko") : QStringLiteral("truncated")),
                     qPrintable(error));
        }
        QVERIFY(!NativeFilter::decode(data.left(data.size() - 12), target, &error)); // only END missing
        QVERIFY2(error.contains(QStringLiteral("end marker")), qPrintable(error));

        for (qsizetype at : {qsizetype(20), data.size() / 2, data.size() - 20}) {
            QByteArray flipped = data;
            flipped[at] = char(flipped.at(at) ^ 0x10);
            QVERIFY(!NativeFilter::decode(flipped, target, &error));
            QVERIFY2(error.contains(QStringLiteral("damaged")) || error.contains(QStringLiteral("truncated")),
                     qPrintable(error));
        }
        QCOMPARE(target.document()->toPlainText(), QStringLiteral("開いている文書"));
    }

    void unknownChunksAreSkippedAndNewerMajorVersionsRefused()
    {
        DocumentModel model;
        RichDocumentBuilder().build(model);
        QList<native::Chunk> chunks = chunksOf(NativeFilter::encode(model));
        QVERIFY(chunks.size() > 3);
        chunks.insert(2, {"ZZZZ", QByteArray(100, 'z')});
        chunks.append({"LATR", QByteArray("later data")});
        DocumentModel reopened;
        QString error;
        QVERIFY2(NativeFilter::decode(assemble(chunks), reopened, &error), qPrintable(error));
        QCOMPARE(firstDifference(model, reopened, ComparisonProfile::everything()), QString());

        chunks.first().payload = QByteArray("\0\2\0\0", 4); // format 2.0
        QVERIFY(!NativeFilter::decode(assemble(chunks), reopened, &error));
        QVERIFY2(error.contains(QStringLiteral("newer version")), qPrintable(error));
    }

    void wellFramedNonsenseIsRefused_data()
    {
        QTest::addColumn<QByteArray>("tag");
        QTest::addColumn<QByteArray>("payload");
        // Each replaces one chunk of a good file with checksummed garbage.
        QTest::newRow("text: unknown record") << QByteArray("TEXT") << QByteArray("\x63", 1);
        QTest::newRow("text: format index out of range")
            << QByteArray("TEXT") << QByteArray("\x01\0\0\x7f\xff\0\0\0\0", 9);
        QTest::newRow("text: unbalanced frame end") << QByteArray("TEXT") << QByteArray("\x04", 1);
        QTest::newRow("text: huge table") << QByteArray("TEXT") << QByteArray("\x05\0\0\0\0\x7f\0\0\0\x7f\0\0\0", 13);
        QTest::newRow("formats: count beyond data") << QByteArray("FMTS") << QByteArray("\xff\xff\xff\xff", 4);
        // Counts a reader must not reserve memory for (found by fuzzing).
        QTest::newRow("formats: string list of four billion")
            << QByteArray("FMTS") << QByteArray("\0\0\0\x01\0\0\0\x02\0\0\0\x01\0\0\x20\0\x05\xff\xff\xff\xf0", 21);
        QTest::newRow("page: margins overflowing when added")
            << QByteArray("PAGE") << QByteArray("\0\0\x10\0\0\0\x10\0\x7f\xff\xff\xff\0\0\0\0\x7f\xff\xff\xff\0\0\0\0", 24);
        QTest::newRow("page: negative width")
            << QByteArray("PAGE") << QByteArray("\xff\xff\xff\xff\0\0\x10\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 24);
    }

    void wellFramedNonsenseIsRefused()
    {
        QFETCH(QByteArray, tag);
        QFETCH(QByteArray, payload);
        DocumentModel model;
        QTextCursor(model.document()).insertText(QStringLiteral("本文"));
        QList<native::Chunk> chunks = chunksOf(NativeFilter::encode(model));
        for (native::Chunk &chunk : chunks) {
            if (chunk.tag == tag)
                chunk.payload = payload;
        }
        DocumentModel reopened;
        QString error;
        QVERIFY(!NativeFilter::decode(assemble(chunks), reopened, &error));
        QVERIFY2(error.contains(QStringLiteral("damaged")), qPrintable(error));
        QVERIFY(reopened.document()->isEmpty());
    }
};

QTEST_MAIN(tst_NativeFilter)
#include "tst_NativeFilter.moc"
