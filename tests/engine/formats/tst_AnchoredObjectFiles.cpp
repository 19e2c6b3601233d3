// Pictures at a fixed place through the files that keep them: our native
// format and RTF, and the RTF shapes other word processors write.

#include "engine/DocumentModel.h"
#include "engine/EngineProperties.h"
#include "engine/editing/EmbeddedObject.h"
#include "engine/editing/PictureReader.h"
#include "engine/formats/NativeFilter.h"
#include "engine/formats/RtfFilter.h"
#include "engine/layout/FloatingObjects.h"
#include "support/FilterBytes.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QtTest>

using namespace tamapiko::engine;
using namespace tamapiko::test;

namespace {

QByteArray pngBytes(QColor color, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

struct Found
{
    QTextImageFormat format;
    int block = -1;
};

QList<Found> picturesOf(const QTextDocument *document)
{
    QList<Found> found;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().isImageFormat())
                found.append({it.fragment().charFormat().toImageFormat(), block.blockNumber()});
        }
    }
    return found;
}

// Three paragraphs; the second holds a blue picture standing at a place of
// the page, with text going around it.
void buildAnchored(DocumentModel &model, const AnchoredPlacement &placement)
{
    const QByteArray png = pngBytes(Qt::blue, QSize(40, 20));
    QTextCursor cursor(model.document());
    cursor.insertText(QStringLiteral("一段落目"));
    cursor.insertBlock();
    QTextImageFormat format;
    format.setName(QStringLiteral("blue"));
    model.document()->addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("blue")), QImage::fromData(png));
    format.setProperty(ImageOriginalData, png);
    format.setProperty(ImageOriginalFormat, QStringLiteral("png"));
    placement.applyTo(format);
    cursor.insertImage(format);
    cursor.insertText(QStringLiteral("二段落目の文"));
    cursor.insertBlock();
    cursor.insertText(QStringLiteral("三段落目"));
}

} // namespace

class tst_AnchoredObjectFiles : public QObject
{
    Q_OBJECT

private slots:
    void keptByNativeAndRtf_data()
    {
        QTest::addColumn<int>("format");
        QTest::newRow("txm") << 3;
        QTest::newRow("rtf") << 5;
    }

    void keptByNativeAndRtf()
    {
        QFETCH(int, format);
        DocumentModel model;
        AnchoredPlacement placement;
        placement.left = 3210;
        placement.top = 4560;
        placement.width = 2400;
        placement.height = 1200;
        placement.wrap = AnchorWrap::TopAndBottom;
        placement.verticalFrom = AnchorOrigin::Margin;
        buildAnchored(model, placement);

        DocumentModel reopened;
        if (format == 3) {
            QVERIFY(readWith(NativeFilter(), writeWith(NativeFilter(), model), reopened));
        } else {
            const QByteArray rtf = writeWith(RtfFilter(), model);
            QVERIFY(rtf.contains("{\\shp"));
            QVERIFY(rtf.contains("\\shpleft3210"));
            QVERIFY(rtf.contains("\\shpbottom5760"));
            QVERIFY(rtf.contains("\\shpwr1"));
            QVERIFY(rtf.contains("{\\sn pib}"));
            QVERIFY(readWith(RtfFilter(), rtf, reopened));
        }
        const QList<Found> pictures = picturesOf(reopened.document());
        QCOMPARE(pictures.size(), 1);
        QCOMPARE(pictures.constFirst().block, 1);
        QCOMPARE(AnchoredPlacement::of(pictures.constFirst().format), std::optional(placement));
        const QImage shown = QImage(reopened.document()
                                        ->resource(QTextDocument::ImageResource,
                                                   QUrl(pictures.constFirst().format.name()))
                                        .value<QImage>());
        QCOMPARE(shown.pixelColor(5, 5), QColor(Qt::blue));
        QCOMPARE(reopened.document()->toPlainText().remove(QChar::ObjectReplacementCharacter),
                 model.document()->toPlainText().remove(QChar::ObjectReplacementCharacter));
    }

    void readsShapesAsOthersWriteThem()
    {
        // As word processors write a picture floating over text: the place
        // in control words (or left to properties), the picture in "pib", a
        // fallback copy in the result that must not show twice, and a text
        // box whose text is no body text.
        const QByteArray hex = pngBytes(Qt::green, QSize(30, 30)).toHex();
        const QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Times;}}\\paperw11906\\paperh16838\n"
                               "\\pard Before\\par\\pard Anchor here"
                               "{\\shp{\\*\\shpinst\\shpleft1000\\shptop2000\\shpright4000\\shpbottom3500"
                               "\\shpfhdr0\\shpbxcolumn\\shpbxignore\\shpbypara\\shpbyignore\\shpwr3\\shpwrk0"
                               "\\shpfblwtxt0\\shpz0\\shplid1025{\\sp{\\sn shapeType}{\\sv 75}}"
                               "{\\sp{\\sn posrelh}{\\sv 1}}{\\sp{\\sn posrelv}{\\sv 0}}"
                               "{\\sp{\\sn pib}{\\sv {\\pict\\pngblip\\picw30\\pich30\\picwgoal450\\pichgoal450 "
            + hex + "}}}{\\sp{\\sn wzName}{\\sv Picture 1}}}"
                    "{\\shprslt{\\*\\do\\dobxcolumn\\dobypara{\\pict\\pngblip " + hex + "}}}}"
                    "{\\shp{\\*\\shpinst\\shpleft0\\shptop0\\shpright500\\shpbottom500\\shpbxmargin\\shpbymargin"
                    "{\\sp{\\sn shapeType}{\\sv 202}}{\\shptxt Box text}}{\\shprslt Box text}}"
                    " and after.\\par}";
        DocumentModel model;
        QVERIFY(readWith(RtfFilter(), rtf, model));
        const QList<Found> pictures = picturesOf(model.document());
        QCOMPARE(pictures.size(), 1);
        QCOMPARE(pictures.constFirst().block, 1);
        const std::optional<AnchoredPlacement> placement = AnchoredPlacement::of(pictures.constFirst().format);
        QVERIFY(placement);
        QCOMPARE(placement->left, 1000);
        QCOMPARE(placement->top, 2000);
        QCOMPARE(placement->width, 3000);
        QCOMPARE(placement->height, 1500);
        QCOMPARE(placement->horizontalFrom, AnchorOrigin::Page);
        QCOMPARE(placement->verticalFrom, AnchorOrigin::Margin);
        QCOMPARE(placement->wrap, AnchorWrap::None);
        QCOMPARE(model.document()->toPlainText().remove(QChar::ObjectReplacementCharacter).trimmed(),
                 QStringLiteral("Before\nAnchor here and after."));
    }

    void linksAndObjectsThroughRtf()
    {
        QTemporaryDir dir;
        const QString bmp = dir.filePath(QStringLiteral("logo.bmp"));
        QImage logo(30, 20, QImage::Format_RGB32);
        logo.fill(Qt::blue);
        QVERIFY(logo.save(bmp, "BMP"));
        const QByteArray pdf = "%PDF-1.4\n%\xe2\xe3\n1 0 obj << >> endobj\ntrailer << >>\n%%EOF\n";

        DocumentModel model;
        QTextCursor cursor(model.document());
        cursor.insertText(QStringLiteral("リンク"));
        cursor.insertImage(linkedPictureFormat(model.document(), bmp, QSizeF(45, 30)));
        cursor.insertText(QStringLiteral("と添付"));
        cursor.insertImage(embeddedObjectFormat(model.document(), QStringLiteral("見積書.pdf"), pdf));
        QTextImageFormat standing = embeddedObjectFormat(model.document(), QStringLiteral("a.pdf"), pdf);
        AnchoredPlacement placement;
        placement.left = 5000;
        placement.top = 7000;
        placement.width = 1440;
        placement.height = 960;
        placement.applyTo(standing);
        cursor.insertImage(standing);

        const QByteArray rtf = writeWith(RtfFilter(), model);
        QVERIFY(rtf.contains("INCLUDEPICTURE \"" + QFile::encodeName(bmp) + "\" \\\\d"));
        QVERIFY(rtf.contains("{\\fldrslt{\\pict"));
        QVERIFY(rtf.contains("{\\object\\objemb{\\*\\objclass Package}"));
        QCOMPARE(rtf.count("{\\result"), 2);

        DocumentModel reopened;
        QVERIFY(readWith(RtfFilter(), rtf, reopened));
        const QList<Found> pictures = picturesOf(reopened.document());
        QCOMPARE(pictures.size(), 3);
        const QTextImageFormat linked = pictures.at(0).format;
        QCOMPARE(linked.stringProperty(ImageLinkedPath), bmp);
        QVERIFY(!linked.hasProperty(ImageOriginalData));
        QCOMPARE(QSizeF(linked.width(), linked.height()), QSizeF(45, 30));
        const QImage shown = reopened.document()->resource(QTextDocument::ImageResource, QUrl(linked.name())).value<QImage>();
        QCOMPARE(shown.pixelColor(3, 3), QColor(Qt::blue));
        for (int i : {1, 2}) {
            QCOMPARE(pictures.at(i).format.property(ObjectData).toByteArray(), pdf);
            QCOMPARE(pictures.at(i).format.stringProperty(ObjectMimeType), QStringLiteral("application/pdf"));
        }
        QCOMPARE(pictures.at(1).format.stringProperty(ObjectFileName), QStringLiteral("見積書.pdf"));
        QVERIFY(!AnchoredPlacement::of(pictures.at(1).format));
        QCOMPARE(AnchoredPlacement::of(pictures.at(2).format), std::optional(placement));

        // The linked file gone: a placeholder of the stored size.
        QVERIFY(QFile::remove(bmp));
        DocumentModel without;
        QVERIFY(readWith(RtfFilter(), rtf, without));
        const QTextImageFormat missing = picturesOf(without.document()).constFirst().format;
        QCOMPARE(QSizeF(missing.width(), missing.height()), QSizeF(45, 30));
        const QImage placeholder = without.document()->resource(QTextDocument::ImageResource, QUrl(missing.name())).value<QImage>();
        QVERIFY(!placeholder.isNull());
        QVERIFY(placeholder.pixelColor(3, 3) != QColor(Qt::blue));

        // Links to the network or to another machine's drive are never
        // followed; a field without a result still shows the picture.
        const QByteArray others = "{\\rtf1\\ansi {\\field{\\*\\fldinst INCLUDEPICTURE \"http://example.invalid/a.png\" \\\\d}"
                                  "{\\fldrslt }}{\\field{\\*\\fldinst INCLUDEPICTURE \"C:\\\\\\\\pics\\\\\\\\b.jpg\"}}\\par}";
        DocumentModel remote;
        QVERIFY(readWith(RtfFilter(), others, remote));
        const QList<Found> links = picturesOf(remote.document());
        QCOMPARE(links.size(), 2);
        QCOMPARE(links.at(0).format.stringProperty(ImageLinkedPath), QStringLiteral("http://example.invalid/a.png"));
        QCOMPARE(links.at(1).format.stringProperty(ImageLinkedPath), QStringLiteral("C:\\pics\\b.jpg"));
    }

    void damagedShapesAreReadSafely()
    {
        // Corners in the wrong order, huge numbers, a shape never closed.
        const QByteArray hex = pngBytes(Qt::red, QSize(4, 4)).toHex();
        const QByteArray rtf = "{\\rtf1\\ansi x{\\shp{\\*\\shpinst\\shpleft900000000\\shptop-5\\shpright-900000000"
                               "\\shpbottom-2147483647\\shpwr99{\\sp{\\sn posrelv}{\\sv 77777777777}}"
                               "{\\sp{\\sn pib}{\\sv {\\pict\\pngblip " + hex + "}}}}{\\shp{\\shp";
        DocumentModel model;
        QVERIFY(readWith(RtfFilter(), rtf, model));
        const QList<Found> pictures = picturesOf(model.document());
        QCOMPARE(pictures.size(), 1);
        const std::optional<AnchoredPlacement> placement = AnchoredPlacement::of(pictures.constFirst().format);
        QVERIFY(placement);
        QVERIFY(placement->width >= 1 && placement->width <= PageSetup::LargestTwips);
        QVERIFY(placement->height >= 1 && placement->height <= PageSetup::LargestTwips);
        QCOMPARE(placement->wrap, AnchorWrap::Square);
    }
};

QTEST_MAIN(tst_AnchoredObjectFiles)
#include "tst_AnchoredObjectFiles.moc"
