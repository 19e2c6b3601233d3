#include "engine/DocumentModel.h"
#include "engine/EngineProperties.h"
#include "engine/formats/DocumentFilter.h"
#include "engine/formats/HtmlCharset.h"
#include "engine/formats/HtmlFilter.h"
#include "engine/formats/HtmlLengths.h"
#include "support/RichDocumentBuilder.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QProcess>
#include <QStandardPaths>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <QtTest>

using namespace tamapiko::engine;
using namespace tamapiko::test;

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool load(const QByteArray &bytes, DocumentModel &model, const QString &fileName = QString())
{
    QString error;
    const bool ok = HtmlFilter::readBytes(bytes, model, fileName, &error);
    if (!ok)
        qWarning() << error;
    return ok;
}

QList<QTextImageFormat> picturesOf(const QTextDocument *doc)
{
    QList<QTextImageFormat> pictures;
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().isImageFormat())
                pictures.append(it.fragment().charFormat().toImageFormat());
        }
    }
    return pictures;
}

} // namespace

class tst_HtmlFilter : public QObject
{
    Q_OBJECT

private slots:
    void richDocumentRoundTripsBehindAPrefix()
    {
        QTemporaryDir dir;
        DocumentModel model;
        RichDocumentBuilder(dir.path(), RichDocumentBuilder::LinkedPicture | RichDocumentBuilder::Lists).build(model);

        const QByteArray prefix(32, '\x17');
        QByteArray file = prefix;
        QBuffer out(&file);
        out.open(QIODevice::ReadWrite);
        out.seek(prefix.size());
        QString error;
        DocumentFilter *filter = FilterRegistry::instance().filter(FormatCode::Html);
        QVERIFY(filter);
        QVERIFY2(filter->write(out, model, {}, &error), qPrintable(error));
        QCOMPARE(file.left(32), prefix);
        const QByteArray html = file.mid(32);
        QVERIFY(html.contains("<meta charset=\"utf-8\""));
        QVERIFY2(html.contains("@page { size: 612pt 792pt; margin: 54pt 90pt 36pt 72pt; }"), html.left(800));
        QVERIFY(html.contains("src=\"data:image/jpeg;base64,"));
        QVERIFY(!html.contains("linked.png")); // the file stands alone

        QBuffer in;
        in.setData(file);
        in.open(QIODevice::ReadOnly);
        in.seek(prefix.size());
        DocumentModel reopened;
        QVERIFY2(filter->read(in, reopened, {}, &error), qPrintable(error));
        ComparisonProfile profile = ComparisonProfile::richText();
        profile.blockProperties << QTextFormat::LineHeight << QTextFormat::LineHeightType;
        flattenUnderlineStyles(model); // HTML knows underlined or not, not how
        QCOMPARE(firstDifference(model, reopened, profile), QString());
        QCOMPARE(reopened.sourceProperty(QStringLiteral("html/charset")).toString(), QStringLiteral("UTF-8"));
    }

    void charsetComesFromBomThenMetaThenUtf8ThenShiftJis()
    {
        const QString text = QStringLiteral("日本語のテキスト①");
        const QByteArray sjis = QStringEncoder("Shift_JIS").encode(text);
        const QByteArray eucjp = QStringEncoder("EUC-JP").encode(text);
        const QByteArray utf16 = QStringEncoder(QStringEncoder::Utf16LE).encode(QStringLiteral("<p>") + text);

        struct Case
        {
            QByteArray bytes;
            QByteArray charset;
        };
        const QByteArray padding(2000, ' ');
        const QList<Case> cases = {
            {"\xFF\xFE" + utf16, "UTF-16LE"},
            {"\xEF\xBB\xBF<meta charset=\"shift_jis\"><p>" + text.toUtf8(), "UTF-8"}, // the mark wins
            {"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=EUC-JP\"><p>" + eucjp, "EUC-JP"},
            {"<html><head>" + padding + "<meta charset='windows-31j'><p>" + sjis, "Shift_JIS"},
            {"<p>" + text.toUtf8(), "UTF-8"},
            {"<p>" + sjis, "Shift_JIS"},                           // not UTF-8 and nothing said
            {"<meta charset=\"utf-16\"><p>" + text.toUtf8(), "UTF-8"}, // a label that cannot be true
            {"<meta charset=\"no-such-set\"><p>" + text.toUtf8(), "UTF-8"},
        };
        for (const Case &c : cases) {
            HtmlCharset::Detection detection;
            const QString decoded = HtmlCharset::decode(c.bytes, &detection);
            QCOMPARE(detection.name, c.charset);
            QVERIFY2(decoded.endsWith(text), qPrintable(decoded.right(20)));
        }
        // UTF-8 cut short inside its last character is still UTF-8, and the
        // broken character shows (found by fuzzing).
        HtmlCharset::Detection detection;
        const QString cut = HtmlCharset::decode("<p>" + text.toUtf8() + "\xE3\x81", &detection);
        QCOMPARE(detection.name, QByteArray("UTF-8"));
        QVERIFY(cut.startsWith(QStringLiteral("<p>") + text + QChar::ReplacementCharacter));
        // A meta charset beyond the scanned head is not believed.
        const QByteArray late = "<html>" + QByteArray(HtmlCharset::MetaScanLength, ' ') + "<meta charset=EUC-JP>";
        QCOMPARE(HtmlCharset::detect(late).name, QByteArray("UTF-8"));
    }

    void corpusFilesReadWithTheirText_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("EUC-JP") << "chupa_euc_jp.html" << QStringList{QStringLiteral("This is a sample."), QStringLiteral("サンプル")};
        QTest::newRow("windows-31j") << "chupa_windows_31j.html" << QStringList{QStringLiteral("①サンプル")};
        QTest::newRow("pandoc") << "pandoc_html-reader.html"
                                << QStringList{QStringLiteral("Pandoc Test Suite"), QStringLiteral("Here's a regular paragraph."),
                                               QStringLiteral("This is a block quote. It is pretty short.")};
        QTest::newRow("Word export") << "opf_lorem-ipsum.htm" << QStringList{QStringLiteral("Lorem ipsum dolor sit amet")};
    }

    void corpusFilesReadWithTheirText()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, expected);
        TAMAPIKO_REQUIRE_SHARED(misc, "corpus/misc");
        const QString path = misc + QLatin1Char('/') + file;
        DocumentModel model;
        QVERIFY(load(readFile(path), model, path));
        const QString text = model.document()->toPlainText();
        for (const QString &piece : expected)
            QVERIFY2(text.contains(piece), qPrintable(text.left(300)));
        QVERIFY(!text.contains(QChar::ReplacementCharacter));
        // The pandoc page's two pictures are relative paths to files that
        // are not there: both stand as placeholders.
        if (file.startsWith(QLatin1String("pandoc"))) {
            const QList<QTextImageFormat> pictures = picturesOf(model.document());
            QCOMPARE(pictures.size(), 2);
            for (const QTextImageFormat &picture : pictures)
                QVERIFY(!model.document()->resource(QTextDocument::ImageResource, QUrl(picture.name())).isNull());
        }
    }

    void picturesComeFromDataLocalFilesOrPlaceholders()
    {
        QTemporaryDir dir;
        QDir(dir.path()).mkdir(QStringLiteral("img"));
        QFile local(dir.filePath(QStringLiteral("img/ローカル 1.png")));
        QVERIFY(local.open(QIODevice::WriteOnly));
        local.write(RichDocumentBuilder::pngBytes());
        local.close();
        const QString page = dir.filePath(QStringLiteral("page.html"));
        const QByteArray html = "<p>"
            "<img src=\"img/%E3%83%AD%E3%83%BC%E3%82%AB%E3%83%AB%201.png\" width=\"64\" height=\"40\">"
            "<img src=\"data:image/jpeg;base64," + RichDocumentBuilder::jpegBytes().toBase64() + "\">"
            "<img src=\"http://example.invalid/remote.png\" width=\"120\" height=\"30\">"
            "<img src=\"missing.png\">"
            "<img src=\"data:image/png;base64,@@not-base64@@\">"
            "</p>";
        DocumentModel model;
        QVERIFY(load(html, model, page));
        const QList<QTextImageFormat> pictures = picturesOf(model.document());
        QCOMPARE(pictures.size(), 5);

        QCOMPARE(pictures[0].property(ImageOriginalData).toByteArray(), RichDocumentBuilder::pngBytes());
        QCOMPARE(pictures[0].width(), 48.0); // 64 px
        QCOMPARE(pictures[0].height(), 30.0);
        QCOMPARE(pictures[1].property(ImageOriginalData).toByteArray(), RichDocumentBuilder::jpegBytes());
        QCOMPARE(pictures[1].stringProperty(ImageOriginalFormat), QStringLiteral("jpeg"));
        QCOMPARE(pictures[2].stringProperty(ImageRemoteUrl), QStringLiteral("http://example.invalid/remote.png"));
        QCOMPARE(pictures[3].stringProperty(ImageLinkedPath), dir.filePath(QStringLiteral("missing.png")));
        for (const QTextImageFormat &picture : pictures) {
            const QVariant pixels = model.document()->resource(QTextDocument::ImageResource, QUrl(picture.name()));
            QVERIFY2(!pixels.value<QImage>().isNull(), qPrintable(picture.name()));
        }
        // The placeholder (one small picture shared by all) is shown at the announced size.
        QCOMPARE(pictures[2].width(), 90.0); // 120 px
        QCOMPARE(pictures[2].height(), 22.5);

        // Written again, the network picture keeps its address.
        const QByteArray written = HtmlFilter::toBytes(model);
        QVERIFY(written.contains("src=\"http://example.invalid/remote.png\""));
    }

    void landscapePageAndTablesSurviveRoundTrips()
    {
        auto model = std::make_unique<DocumentModel>();
        PageSetup landscape;
        landscape.width = 16838;
        landscape.height = 11906;
        model->setPageSetup(landscape);
        QTextCursor cursor(model->document());
        cursor.insertText(QStringLiteral("before"));
        QTextTable *table = cursor.insertTable(2, 2);
        table->cellAt(0, 0).firstCursorPosition().insertText(QStringLiteral("cell"));
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(QStringLiteral("after"));
        cursor.insertBlock();
        cursor.insertTable(1, 1); // a table at the very end

        const int blocks = model->document()->blockCount();
        const QString text = model->document()->toPlainText();
        for (int trip = 1; trip <= 3; ++trip) {
            auto next = std::make_unique<DocumentModel>();
            QVERIFY(load(HtmlFilter::toBytes(*model), *next));
            QCOMPARE(next->pageSetup().width, 16838);
            QCOMPARE(next->pageSetup().height, 11906);
            QCOMPARE(next->document()->blockCount(), blocks); // no empty paragraph added after a table
            QCOMPARE(next->document()->toPlainText(), text);
            model = std::move(next);
        }

        // Tables as other programs write them: each followed by a paragraph of
        // its own. Only the paragraphs that were written come back, and an empty
        // one written on purpose stays.
        DocumentModel written;
        QVERIFY(load(QByteArrayLiteral("<html><body><table><tr><td><p>A</p></td>"
                                       "<td><table><tr><td>inner</td></tr></table><p>below inner</p></td></tr></table>\n"
                                       "<p align=\"right\" style=\"margin-top:0pt\">Blah</p>"
                                       "<table><tr><td>B</td></tr></table>"
                                       "<p style=\"-qt-paragraph-type:empty\"><br /></p><p>Foo</p></body></html>"),
                     written));
        QStringList paragraphs;
        for (QTextBlock block = written.document()->begin(); block.isValid(); block = block.next())
            paragraphs << block.text();
        // (A cell or a document that opens with a table has a paragraph before it.)
        QCOMPARE(paragraphs, (QStringList{QString(), QStringLiteral("A"), QString(), QStringLiteral("inner"),
                                          QStringLiteral("below inner"), QStringLiteral("Blah"), QStringLiteral("B"),
                                          QString(), QStringLiteral("Foo")}));
        const QTextBlock blah = written.document()->findBlockByNumber(5);
        QCOMPARE(blah.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
        QCOMPARE(blah.blockFormat().topMargin(), 0.0);

        // Two lengths are width and height as written; a named orientation turns the page.
        const auto page = [](const char *rule) { return html::pageSetupFromCss(QString::fromLatin1(rule), PageSetup()); };
        QCOMPARE(page("@page { size: 841.9pt 595.3pt }")->width, 16838);
        QCOMPARE(page("@page { size: 595.3pt 841.9pt landscape }")->width, 16838);
        QCOMPARE(page("@page { size: 841.9pt 595.3pt portrait }")->width, 11906);
        QCOMPARE(page("@page { size: landscape }")->width, PageSetup().height);
    }

    void lengthsInAnyUnitBecomePoints()
    {
        const QByteArray html =
            "<html><head><style>@page { size: A4 landscape; margin: 1in 2cm }</style></head><body>"
            "<p style=\"margin-left:36pt; text-indent:1in; margin-top:16px\">a</p>"
            "<p style=\"margin-left:2.54cm; margin-right:0; font-size:16px\">b</p>"
            "<table cellpadding=\"4\"><tr><td width=\"96\">c</td></tr></table>"
            "<h1>d</h1>"
            "</body></html>";
        DocumentModel model;
        QVERIFY(load(html, model));
        QTextBlock block = model.document()->begin();
        QCOMPARE(block.blockFormat().leftMargin(), 36.0);
        QCOMPARE(block.blockFormat().textIndent(), 72.0);
        QCOMPARE(block.blockFormat().topMargin(), 12.0);
        block = block.next();
        QCOMPARE(block.blockFormat().leftMargin(), 72.0);
        QCOMPARE(block.begin().fragment().charFormat().fontPointSize(), 12.0);
        QTextTable *table = QTextCursor(block.next()).currentTable();
        QVERIFY(table);
        QCOMPARE(table->format().cellPadding(), 3.0);
        QCOMPARE(table->format().columnWidthConstraints().value(0).rawValue(), 72.0);
        // A heading's relative size becomes a size of its own.
        const QTextCharFormat heading = model.document()->lastBlock().begin().fragment().charFormat();
        QCOMPARE(heading.fontPointSize(), model.document()->defaultFont().pointSizeF() * 2);
        QVERIFY(!heading.hasProperty(QTextFormat::FontSizeAdjustment));

        const PageSetup page = model.pageSetup();
        QCOMPARE(page.width, 16838); // A4 turned
        QCOMPARE(page.height, 11906);
        QCOMPARE(page.marginTop, 1440);
        QCOMPARE(page.marginRight, 1134);
        QCOMPARE(page.marginLeft, 1134);
        // An @page rule that leaves no room for text is ignored.
        QVERIFY(!html::pageSetupFromCss(QStringLiteral("@page { size: 100pt 100pt; margin: 60pt }"), PageSetup()));
    }

    void libreOfficeReadsTheTextAndTableBack()
    {
        const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
        if (soffice.isEmpty())
            QSKIP("LibreOffice is not installed");
        DocumentModel model;
        RichDocumentBuilder().build(model);
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("export.htm")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(HtmlFilter::toBytes(model));
        file.close();
        QProcess office;
        office.start(soffice, {QStringLiteral("-env:UserInstallation=file://") + dir.filePath(QStringLiteral("profile")),
                               QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                               QStringLiteral("txt:Text (encoded):UTF8"), QStringLiteral("--outdir"), dir.path(),
                               file.fileName()});
        QVERIFY(office.waitForFinished(180000));
        const QString text = QString::fromUtf8(readFile(dir.filePath(QStringLiteral("export.txt"))));
        QVERIFY2(!text.isEmpty(), office.readAllStandardError().constData());
        for (const QString &piece : {RichDocumentParts::titleText(), QStringLiteral("縦結合"), QStringLiteral("右上"),
                                     QStringLiteral("吾輩は猫である。"), QStringLiteral("Latin & <markup> \"quoted\"")})
            QVERIFY2(text.contains(piece), qPrintable(piece + QStringLiteral(" in ") + text));
    }
};

QTEST_MAIN(tst_HtmlFilter)
#include "tst_HtmlFilter.moc"
