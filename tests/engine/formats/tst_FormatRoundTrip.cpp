// The rich test document and its comparison: every filter's round-trip test
// leans on them, so a comparison that overlooks a difference would let a
// lossy filter pass.

#include "engine/DocumentModel.h"
#include "engine/formats/DocumentFilter.h"
#include "support/RichDocumentBuilder.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <QTextTable>
#include <QtTest>

using namespace tamapiko::engine;
using namespace tamapiko::test;

namespace {

QTextBlock blockContaining(QTextDocument *doc, const QString &text)
{
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        if (block.text().contains(text))
            return block;
    }
    return {};
}

} // namespace

class tst_FormatRoundTrip : public QObject
{
    Q_OBJECT

private slots:
    void richDocumentHoldsEveryPart()
    {
        QTemporaryDir dir;
        DocumentModel model;
        RichDocumentBuilder(dir.path()).build(model);
        QTextDocument *doc = model.document();
        QVERIFY(doc->toPlainText().contains(RichDocumentParts::japaneseParagraph()));
        QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("linked.png"))));
        QCOMPARE(QTextCursor(blockContaining(doc, QStringLiteral("縦結合"))).currentTable()->rows(), 3);
        QVERIFY(!doc->resource(QTextDocument::ImageResource, QUrl(RichDocumentParts::jpegName())).isNull());
        QCOMPARE(doc->rootFrame()->childFrames().size(), 2); // the table and the floating frame
    }

    void identicalDocumentsMatchUnderEveryProfile()
    {
        DocumentModel model;
        RichDocumentBuilder().build(model);
        DocumentModel copy; // the builder is deterministic: a second build is a copy
        RichDocumentBuilder().build(copy);
        QCOMPARE(firstDifference(model, copy, ComparisonProfile::everything()), QString());
        QCOMPARE(firstDifference(model, copy, ComparisonProfile::richText()), QString());
    }

    void differencesAreFoundAndNamed_data()
    {
        QTest::addColumn<int>("change");
        QTest::addColumn<QString>("expected");
        QTest::newRow("font size") << 0 << QStringLiteral("font size 10.5 != 11");
        QTest::newRow("cell span") << 1 << QStringLiteral("span 2x1");
        QTest::newRow("picture pixels") << 2 << QStringLiteral("other pixels");
        QTest::newRow("page") << 3 << QStringLiteral("page 12240x15840");
        QTest::newRow("indent") << 4 << QStringLiteral("left indent 36 != 40");
        QTest::newRow("list") << 5 << QStringLiteral("in a list 1 != 0");
    }

    void differencesAreFoundAndNamed()
    {
        QFETCH(int, change);
        QFETCH(QString, expected);
        const RichDocumentBuilder builder(QString(), RichDocumentBuilder::AllParts | RichDocumentBuilder::Lists);
        DocumentModel model;
        builder.build(model);
        DocumentModel copy; // the builder is deterministic: a second build is a copy
        builder.build(copy);
        QTextDocument *doc = copy.document();
        switch (change) {
        case 0: {
            const QTextBlock block = blockContaining(doc, QStringLiteral("太字"));
            QTextCursor cursor(block);
            cursor.setPosition(block.position() + block.text().indexOf(QStringLiteral("太字")));
            cursor.setPosition(cursor.position() + 2, QTextCursor::KeepAnchor);
            QTextCharFormat bigger;
            bigger.setFontPointSize(11);
            cursor.mergeCharFormat(bigger);
            break;
        }
        case 1:
            QTextCursor(blockContaining(doc, QStringLiteral("縦結合"))).currentTable()->splitCell(1, 2, 1, 1);
            break;
        case 2: {
            QImage image(32, 20, QImage::Format_RGB32);
            image.fill(Qt::green);
            doc->addResource(QTextDocument::ImageResource, QUrl(RichDocumentParts::pngName()), image);
            break;
        }
        case 3: {
            PageSetup page = copy.pageSetup();
            page.marginLeft += 1;
            copy.setPageSetup(page);
            break;
        }
        case 4: {
            QTextCursor cursor(blockContaining(doc, QStringLiteral("右寄せ")));
            QTextBlockFormat format = cursor.blockFormat();
            format.setLeftMargin(40);
            cursor.setBlockFormat(format);
            break;
        }
        case 5: {
            const QTextBlock item = blockContaining(doc, QStringLiteral("箇条書き二"));
            item.textList()->remove(item);
            break;
        }
        }
        const QString difference = firstDifference(model, copy, ComparisonProfile::richText());
        QVERIFY2(difference.contains(expected), qPrintable(difference));
    }

    // Each format written into a file behind a header, as a .txm file is,
    // and read back from the same offset.
    void everyFormatRoundTripsBehindAHeader_data()
    {
        QTest::addColumn<int>("format");
        QTest::newRow("text") << 1;
        QTest::newRow("native") << 3;
        QTest::newRow("HTML") << 4;
    }

    void everyFormatRoundTripsBehindAHeader()
    {
        QFETCH(int, format);
        DocumentFilter *filter = FilterRegistry::instance().filter(format);
        QVERIFY(filter);
        QTemporaryDir dir;
        const int parts = format == 3 ? RichDocumentBuilder::AllParts | RichDocumentBuilder::Lists
                                      : RichDocumentBuilder::LinkedPicture | RichDocumentBuilder::Lists;
        DocumentModel model;
        RichDocumentBuilder(dir.path(), parts).build(model);

        const QString path = dir.filePath(QStringLiteral("document.bin"));
        const QByteArray header = QByteArray::fromHex("17000000a0050000a0050000a0050000a0050000c64100007c2e000005000000");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(header);
        QString error;
        QVERIFY2(filter->write(file, model, {path}, &error), qPrintable(error));
        file.close();
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.read(header.size()), header);
        DocumentModel reopened;
        QVERIFY2(filter->read(file, reopened, {path}, &error), qPrintable(error));

        if (format == 1) {
            // Text keeps the words of every paragraph and cell, in order.
            const QString text = reopened.document()->toPlainText();
            qsizetype from = 0;
            for (QTextBlock block = model.document()->begin(); block.isValid(); block = block.next()) {
                QString words = block.text();
                words.remove(QChar::ObjectReplacementCharacter);
                for (const QString &line : words.split(QChar::LineSeparator)) {
                    const qsizetype at = text.indexOf(line.trimmed(), from);
                    QVERIFY2(at >= 0, qPrintable(line));
                    from = at;
                }
            }
            return;
        }
        ComparisonProfile profile = format == 3 ? ComparisonProfile::everything() : ComparisonProfile::richText();
        if (format == 4)
            flattenUnderlineStyles(model); // HTML has no dotted or wavy underlines
        QCOMPARE(firstDifference(model, reopened, profile), QString());
    }
};

QTEST_MAIN(tst_FormatRoundTrip)
#include "tst_FormatRoundTrip.moc"
