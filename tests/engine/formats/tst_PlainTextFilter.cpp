#include "engine/DocumentModel.h"
#include "engine/formats/DocumentFilter.h"
#include "engine/formats/PlainTextFilter.h"
#include "engine/formats/TextCodec.h"

#include <QBuffer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QTextTable>
#include <QtTest>

using namespace tamapiko::engine;

namespace {

DocumentFilter *textFilter()
{
    return FilterRegistry::instance().filter(FormatCode::Text);
}

bool readInto(DocumentModel &model, const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QString error;
    return textFilter()->read(buffer, model, FilterContext(), &error);
}

QByteArray written(const DocumentModel &model)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QString error;
    if (!textFilter()->write(buffer, model, FilterContext(), &error))
        qWarning() << error;
    return buffer.data();
}

QString source(const DocumentModel &model, const char *key)
{
    return model.sourceProperty(QString::fromLatin1(key)).toString();
}

} // namespace

class tst_PlainTextFilter : public QObject
{
    Q_OBJECT

private slots:
    void detectsEncoding_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<bool>("bom");

        const QString nihongo = QStringLiteral("日本語");
        QTest::newRow("ascii") << QByteArray("plain") << QStringLiteral("plain") << "UTF-8" << false;
        QTest::newRow("utf8") << nihongo.toUtf8() << nihongo << "UTF-8" << false;
        QTest::newRow("utf8 bom") << QByteArray("\xEF\xBB\xBF") + nihongo.toUtf8() << nihongo << "UTF-8" << true;
        QTest::newRow("utf16le bom") << QByteArray("\xFF\xFE\xE5\x65\x2C\x67", 6) << QStringLiteral("日本")
                                     << "UTF-16LE" << true;
        QTest::newRow("utf16be bom") << QByteArray("\xFE\xFF\x65\xE5\x67\x2C", 6) << QStringLiteral("日本")
                                     << "UTF-16BE" << true;
        QTest::newRow("empty") << QByteArray() << QString() << "UTF-8" << false;
        // The characters Windows adds to JIS X 0208: NEC row 13 (①, Ⅰ),
        // IBM extensions (ⅰ, 纊 both as NEC-selected 0xED40 and IBM 0xFA5C),
        // and its own mappings of ～ ∥ － ￢.
        QTest::newRow("shift-jis windows") << QByteArray("\x87\x40\x87\x54\xFA\x40\xED\x40\xFA\x5C"
                                                         "\x81\x60\x81\x61\x81\x7C\x81\xCA")
                                           << QStringLiteral("①Ⅰⅰ纊纊～∥－￢") << "Shift_JIS" << false;
        // Half-width katakana, the yen-less backslash and the control bytes
        // that some converters swap.
        QTest::newRow("shift-jis single bytes")
            << QByteArray("\xB6\xC5\\~\x1A\x1C\x7F\x82\xA0") << QStringLiteral("ｶﾅ\\~\x1A\x1C\x7Fあ")
            << "Shift_JIS" << false;
    }

    void detectsEncoding()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QFETCH(QString, encoding);
        QFETCH(bool, bom);

        DocumentModel model;
        QVERIFY(readInto(model, bytes));
        QCOMPARE(model.document()->toPlainText(), text);
        QCOMPARE(source(model, "text/encoding"), encoding);
        QCOMPARE(model.sourceProperty(QStringLiteral("text/bom")).toBool(), bom);
        QCOMPARE(model.sourceProperty(QStringLiteral("text/invalidSequences")).toInt(), 0);
    }

    void undecodableBytesStillLoad()
    {
        // Neither valid UTF-8 nor valid Shift-JIS: a stray lead byte before
        // a line end, a byte Shift-JIS never uses, an unassigned code.
        DocumentModel model;
        QVERIFY(readInto(model, QByteArray("ab\x81\ncd\xFF\x85\x40", 9)));
        const QStringList lines = model.document()->toPlainText().split(u'\n');
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines.at(0).startsWith(u"ab"));
        QVERIFY(lines.at(1).startsWith(u"cd"));
        QVERIFY(lines.join(QString()).contains(QChar(0xFFFD)));
        QVERIFY(model.sourceProperty(QStringLiteral("text/invalidSequences")).toInt() > 0);

        // A truncated UTF-16 file loses only its last odd byte.
        DocumentModel odd;
        QVERIFY(readInto(odd, QByteArray("\xFF\xFE" "a\0b", 5)));
        QVERIFY(odd.document()->toPlainText().startsWith(u'a'));
        QVERIFY(odd.sourceProperty(QStringLiteral("text/invalidSequences")).toInt() > 0);
    }

    void readsStreams()
    {
        // A device without a size (a pipe, a socket) is read to its end.
        class Stream : public QIODevice
        {
        public:
            QByteArray data;
            qsizetype offset = 0;
            bool isSequential() const override { return true; }
            qint64 bytesAvailable() const override { return data.size() - offset + QIODevice::bytesAvailable(); }

        protected:
            qint64 readData(char *to, qint64 most) override
            {
                const qint64 n = std::min<qint64>(most, data.size() - offset);
                memcpy(to, data.constData() + offset, size_t(n));
                offset += n;
                return n;
            }
            qint64 writeData(const char *, qint64) override { return -1; }
        };
        QByteArray bytes;
        for (int i = 0; i < 20000; ++i)
            bytes += "\x82\xA0\x82\xA2\r\n"; // あい, Shift-JIS
        Stream stream;
        stream.data = bytes;
        stream.open(QIODevice::ReadOnly);
        DocumentModel model;
        QString error;
        QVERIFY2(textFilter()->read(stream, model, FilterContext(), &error), qPrintable(error));
        QCOMPARE(model.document()->blockCount(), 20001);
        QCOMPARE(source(model, "text/encoding"), QStringLiteral("Shift_JIS"));
    }

    void lineEnds_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("paragraphs");
        QTest::addColumn<QString>("lineEnd");

        QTest::newRow("crlf") << QByteArray("a\r\nb\r\nc") << 3 << "\r\n";
        QTest::newRow("lf, trailing") << QByteArray("a\nb\n") << 3 << "\n";
        QTest::newRow("lone cr") << QByteArray("a\rb") << 2 << "\r";
        QTest::newRow("mixed, mostly crlf") << QByteArray("a\r\nb\nc\rd\r\ne") << 5 << "\r\n";
        QTest::newRow("mixed, mostly cr") << QByteArray("a\rb\rc\r\nd") << 4 << "\r";
        QTest::newRow("none") << QByteArray("abc") << 1 << "\n";
        QTest::newRow("blank lines") << QByteArray("\r\n\r\n") << 3 << "\r\n";
    }

    void lineEnds()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, paragraphs);
        QFETCH(QString, lineEnd);

        DocumentModel model;
        QVERIFY(readInto(model, bytes));
        QCOMPARE(model.document()->blockCount(), paragraphs);
        QCOMPARE(source(model, "text/lineEnd"), lineEnd);
        QVERIFY(!model.document()->isUndoAvailable());
    }

    void roundTripKeepsEncodingBomAndLineEnds_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("shift-jis crlf") << QByteArray("\x93\xFA\x96\x7B\r\n\x87\x40\x81\x60\r\n\xB6\r\n");
        QTest::newRow("utf8 bom lf") << QByteArray("\xEF\xBB\xBF") + QStringLiteral("一\n二\n").toUtf8();
        QTest::newRow("utf16be cr") << QByteArray("\xFE\xFF\x00\x61\x00\x0D\x4E\x00", 8);
        QTest::newRow("utf16le crlf") << QByteArray("\xFF\xFE\x61\x00\x0D\x00\x0A\x00\x00\x4E", 10);
    }

    void roundTripKeepsEncodingBomAndLineEnds()
    {
        QFETCH(QByteArray, bytes);
        DocumentModel model;
        QVERIFY(readInto(model, bytes));
        QCOMPARE(written(model), bytes);
    }

    void mixedLineEndsWriteAsTheDominantOne()
    {
        DocumentModel model;
        QVERIFY(readInto(model, "a\r\nb\nc\r\n"));
        QCOMPARE(written(model), QByteArray("a\r\nb\r\nc\r\n"));
    }

    void characterOutsideShiftJisWritesUtf8()
    {
        DocumentModel model;
        QVERIFY(readInto(model, "\x82\xA0\r\n")); // あ, Shift-JIS
        QTextCursor cursor(model.document());
        cursor.insertText(QStringLiteral("한"));
        QCOMPARE(written(model), QStringLiteral("한あ\r\n").toUtf8());

        // Without the intruder the file stays Shift-JIS.
        cursor.deletePreviousChar();
        QCOMPARE(written(model), QByteArray("\x82\xA0\r\n"));
    }

    void shiftJisEncodesDuplicatesTheWindowsWay()
    {
        // Characters with two or three codes take the one Windows writes.
        QCOMPARE(TextCodec::encodeShiftJis(u"￢∵ⅰⅠ纊"), QByteArray("\x81\xCA\x81\xE6\xFA\x40\x87\x54\xFA\x5C"));
        QVERIFY(!TextCodec::encodeShiftJis(u"\u301C")); // WAVE DASH is not in code page 932
        QVERIFY(!TextCodec::encodeShiftJis(QString(QChar(0xD83D))));
    }

    void newDocumentWritesUtf8WithLineFeeds()
    {
        DocumentModel model;
        QTextCursor cursor(model.document());
        cursor.insertText(QStringLiteral("一"));
        cursor.insertText(QString(QChar::LineSeparator));
        cursor.insertText(QStringLiteral("二"));
        QTextImageFormat image;
        image.setName(QStringLiteral("picture.png"));
        cursor.insertImage(image);
        cursor.insertBlock();
        cursor.insertText(QStringLiteral("三"));
        QCOMPARE(written(model), QStringLiteral("一\n二\n三").toUtf8());
    }

    void tablesWriteTabsAndLineEnds()
    {
        DocumentModel model;
        model.setSourceProperty(QStringLiteral("text/lineEnd"), QStringLiteral("\r\n"));
        QTextCursor cursor(model.document());
        cursor.insertText(QStringLiteral("表:"));
        QTextTable *table = cursor.insertTable(2, 3);
        table->cellAt(0, 0).firstCursorPosition().insertText(QStringLiteral("a"));
        table->cellAt(0, 2).firstCursorPosition().insertText(QStringLiteral("c"));
        QTextCursor inCell = table->cellAt(1, 1).firstCursorPosition();
        inCell.insertText(QStringLiteral("x"));
        inCell.insertBlock();
        inCell.insertText(QStringLiteral("y"));
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(QStringLiteral("後"));
        QCOMPARE(written(model), QStringLiteral("表:\r\na\t\tc\r\n\tx y\t\r\n後").toUtf8());
    }
};

QTEST_MAIN(tst_PlainTextFilter)
#include "tst_PlainTextFilter.moc"
