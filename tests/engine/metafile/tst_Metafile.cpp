// The metafile player: small WMF and EMF pictures built here must land their
// shapes, bitmaps, text and clipping where the records put them; every
// metafile inside the shared corpus must draw something; broken metafiles
// must end quietly.

#include "engine/DocumentModel.h"
#include "engine/EngineProperties.h"
#include "engine/formats/RtfFilter.h"
#include "engine/formats/RtfPicture.h"
#include "engine/metafile/Metafile.h"
#include "support/MetafileBuilder.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QPainter>
#include <QPainterPath>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStringEncoder>
#include <QTextBlock>
#include <QTextDocument>
#include <QtEndian>
#include <QtTest>

#include <limits>

using namespace tamapiko::engine;
using namespace tamapiko::engine::metafile;
using namespace tamapiko::test;

namespace {

// Builds an EMF of 100 x 100 reference pixels at 96 dpi.
class EmfBuilder
{
public:
    void record(quint32 type, std::initializer_list<qint32> values, const QByteArray &tail = {})
    {
        QByteArray body;
        for (qint32 v : values)
            put32(body, quint32(v));
        body += tail;
        while (body.size() % 4)
            body.append('\0');
        put32(m_records, type);
        put32(m_records, quint32(8 + body.size()));
        m_records += body;
    }
    QByteArray file() const
    {
        QByteArray header;
        put32(header, 1);
        put32(header, 88);
        for (qint32 v : {0, 0, 99, 99, 0, 0, 2646, 2646})
            put32(header, quint32(v));
        put32(header, 0x464D4520);
        put32(header, 0x10000);
        put32(header, 0);
        put32(header, 0);
        put16(header, 8);
        put16(header, 0);
        put32(header, 0);
        put32(header, 0);
        put32(header, 0);
        for (qint32 v : {960, 960, 254, 254})
            put32(header, quint32(v));
        QByteArray eof;
        put32(eof, 14);
        put32(eof, 20);
        put32(eof, 0);
        put32(eof, 16);
        put32(eof, 20);
        return header + m_records + eof;
    }

private:
    QByteArray m_records;
};

QImage render(const QByteArray &bytes, QSize size = QSize(100, 100))
{
    const std::optional<Metafile> picture = Metafile::fromData(bytes);
    if (!picture)
        return {};
    return picture->toImage(size);
}

bool near(QRgb actual, QColor expected)
{
    return std::abs(qRed(actual) - expected.red()) < 40 && std::abs(qGreen(actual) - expected.green()) < 40
        && std::abs(qBlue(actual) - expected.blue()) < 40;
}

#define COMPARE_PIXEL(image, x, y, colour)                                                         \
    QVERIFY2(near((image).pixel(x, y), colour),                                                    \
             qPrintable(QStringLiteral("(%1,%2) is %3").arg(x).arg(y).arg(QColor((image).pixel(x, y)).name())))

int darkPixels(const QImage &image, const QRect &area)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += qGray(image.pixel(x, y)) < 128;
    return count;
}

bool hasInk(const QImage &image)
{
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2)
            if (image.pixel(x, y) != qRgb(255, 255, 255))
                return true;
    return false;
}

// Every metafile that a corpus file carries as bytes of its own (Word blips,
// RTF pictures read by our reader).
QList<QPair<QString, QByteArray>> corpusMetafiles(const QString &corpus)
{
    QList<QPair<QString, QByteArray>> found;
    QDirIterator files(corpus, {QStringLiteral("*.rtf"), QStringLiteral("*.doc")}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray bytes = file.readAll();
        if (path.endsWith(QLatin1String(".rtf"))) {
            // Pictures anywhere in the file, also in headers, footers and
            // the \nonshppict copies that the reader passes over: the hex
            // digits after the picture's control words.
            static const QRegularExpression picture(QStringLiteral(R"(\\(wmetafile\d*|emfblip)\b)"));
            const QString text = QString::fromLatin1(bytes);
            for (auto match = picture.globalMatch(text); match.hasNext();) {
                qsizetype at = match.next().capturedEnd();
                int depth = 0;
                while (at < text.size()) {
                    const QChar c = text.at(at);
                    if (c == QLatin1Char('{')) {
                        ++depth;
                    } else if (c == QLatin1Char('}')) {
                        if (--depth < 0)
                            break;
                    } else if (c == QLatin1Char('\\')) {
                        do
                            ++at;
                        while (at < text.size() && (text.at(at).isLetterOrNumber() || text.at(at) == QLatin1Char('-')));
                        continue;
                    } else if (depth == 0 && isxdigit(c.toLatin1())) {
                        break;
                    }
                    ++at;
                }
                const qsizetype end = text.indexOf(QLatin1Char('}'), at);
                QByteArray data;
                int pending = -1;
                rtf::appendHexDigits(bytes.mid(at, end - at), data, pending);
                if (!data.isEmpty())
                    found.append({QFileInfo(path).fileName(), data});
            }
            continue;
        }
        // Word keeps each metafile as a drawing blip: a record header, one
        // or two 16-byte ids, a 34-byte metafile header, then the metafile
        // compressed with deflate.
        for (const quint16 type : {quint16(0xF01A), quint16(0xF01B)}) {
            char marker[2];
            qToLittleEndian<quint16>(type, marker);
            for (qsizetype at = bytes.indexOf(QByteArrayView(marker, 2)); at >= 2;
                 at = bytes.indexOf(QByteArrayView(marker, 2), at + 2)) {
                const qsizetype start = at - 2;
                if (start + 8 > bytes.size())
                    break;
                const quint16 instance = qFromLittleEndian<quint16>(bytes.constData() + start) >> 4;
                const quint32 length = qFromLittleEndian<quint32>(bytes.constData() + start + 4);
                const bool emf = type == 0xF01A;
                if (instance != (emf ? 0x3D4 : 0x216) && instance != (emf ? 0x3D5 : 0x217))
                    continue;
                const qsizetype header = start + 8 + ((instance & 1) ? 32 : 16);
                if (header + 34 > bytes.size() || length > quint32(bytes.size() - start - 8))
                    continue;
                const quint32 unpacked = qFromLittleEndian<quint32>(bytes.constData() + header);
                const quint32 packed = qFromLittleEndian<quint32>(bytes.constData() + header + 28);
                const quint8 compression = quint8(bytes.at(header + 32));
                if (compression != 0 || packed < 2 || packed > quint32(bytes.size() - header - 34)
                    || unpacked > 64u << 20 || quint8(bytes.at(header + 34)) != 0x78)
                    continue;
                QByteArray zlib(4, '\0');
                qToBigEndian<quint32>(unpacked, zlib.data());
                zlib += bytes.mid(header + 34, packed);
                const QByteArray metafile = qUncompress(zlib);
                if (!metafile.isEmpty())
                    found.append({QFileInfo(path).fileName(), metafile});
            }
        }
    }
    return found;
}

} // namespace

class tst_Metafile : public QObject
{
    Q_OBJECT

private slots:
    void wmfShapesLandWhereTheRecordsSay();
    void wmfBitmapsAndShiftJisText();
    void emfMappingClippingAndSavedStates();
    void emfBitmapsAndWideText();
    void rtfMetafilesAreDrawnNotGreyBoxes();
    void corpusMetafilesDraw();
    void brokenMetafilesEndQuietly();
    void shapesReachingFarOutsideDrawAsInside();
};

void tst_Metafile::wmfShapesLandWhereTheRecordsSay()
{
    WmfBuilder wmf;
    wmf.record(0x02FC, {0, 0x00FF, 0x0000, 0});    // red solid brush -> object 0
    wmf.record(0x02FA, {5, 0, 0, 0, 0});           // null pen -> object 1
    wmf.record(0x012D, {0});
    wmf.record(0x012D, {1});
    wmf.record(0x041B, {30, 40, 10, 10});          // rectangle: bottom, right, top, left
    wmf.record(0x02FC, {0, 0x0000, 0x00FF, 0});    // blue brush -> object 2
    wmf.record(0x012D, {2});
    wmf.record(0x0418, {90, 90, 60, 60});          // ellipse
    wmf.record(0x001E, {});                        // save
    wmf.record(0x0416, {100, 50, 0, 0});           // clip to the left half
    wmf.record(0x02FC, {0, 0xFF00, 0x0000, 0});    // green brush -> object 3
    wmf.record(0x012D, {3});
    wmf.record(0x041B, {50, 100, 40, 0});
    wmf.record(0x0127, {quint16(-1)});             // restore: clip gone, blue brush again
    wmf.record(0x041B, {100, 100, 95, 60});
    const QByteArray bytes = wmf.file();

    const std::optional<Metafile> picture = Metafile::fromData(bytes);
    QVERIFY(picture);
    QCOMPARE(picture->type(), MetafileType::Wmf);
    QCOMPARE(picture->naturalSize(), QSizeF(5, 5)); // 100 units at 1440 per inch

    const QImage image = render(bytes);
    COMPARE_PIXEL(image, 25, 20, QColor(Qt::red));
    COMPARE_PIXEL(image, 50, 20, QColor(Qt::white));
    COMPARE_PIXEL(image, 25, 35, QColor(Qt::white));
    COMPARE_PIXEL(image, 75, 75, QColor(Qt::blue));
    COMPARE_PIXEL(image, 61, 61, QColor(Qt::white));
    COMPARE_PIXEL(image, 25, 45, QColor(Qt::green));
    COMPARE_PIXEL(image, 75, 45, QColor(Qt::white));
    COMPARE_PIXEL(image, 80, 97, QColor(Qt::blue));

    // The same picture drawn twice as large scales with it.
    const QImage large = render(bytes, QSize(200, 200));
    COMPARE_PIXEL(large, 50, 40, QColor(Qt::red));
    COMPARE_PIXEL(large, 150, 150, QColor(Qt::blue));
}

void tst_Metafile::wmfBitmapsAndShiftJisText()
{
    WmfBuilder wmf;
    // StretchDIB: rop, usage, source h, w, y, x, destination h, w, y, x, bitmap
    wmf.record(0x0F43, {0x0020, 0x00CC, 0, 1, 2, 0, 0, 20, 40, 80, 0},
               rowDib({qRgb(0, 0, 255), qRgb(255, 255, 0)}));
    QByteArray font;
    for (int v : {-20, 0, 0, 0, 400})
        put16(font, v);
    font += QByteArray("\0\0\0\x80\0\0\0\0", 8); // italic, underline, strike out, Shift-JIS
    font += QStringEncoder("Shift_JIS").encode(QStringLiteral("ＭＳ 明朝"));
    font.append('\0');
    wmf.record(0x02FB, {}, font);
    wmf.record(0x012D, {0});
    wmf.record(0x0102, {1}); // transparent background
    const QByteArray text = QStringEncoder("Shift_JIS").encode(QStringLiteral("日本"));
    wmf.record(0x0521, {int(text.size())}, text + QByteArray("\x28\0\x0a\0", 4)); // y 40, x 10
    const QImage image = render(wmf.file());

    COMPARE_PIXEL(image, 3, 90, QColor(Qt::blue));
    COMPARE_PIXEL(image, 37, 90, QColor(Qt::yellow));
    COMPARE_PIXEL(image, 60, 90, QColor(Qt::white));
    // Two ideographs 20 units high from (10, 40) downwards and to the right.
    QVERIFY(darkPixels(image, QRect(10, 40, 40, 20)) > 30);
    QCOMPARE(darkPixels(image, QRect(0, 0, 100, 38)), 0);
    QCOMPARE(darkPixels(image, QRect(55, 40, 45, 20)), 0);
}

void tst_Metafile::emfMappingClippingAndSavedStates()
{
    EmfBuilder emf;
    emf.record(17, {8});                       // anisotropic
    emf.record(9, {1000, 1000});               // window extent
    emf.record(11, {100, 100});                // viewport extent
    emf.record(39, {1, 0, 0x0000FF, 0});       // red brush
    emf.record(37, {1});
    emf.record(37, {qint32(0x80000008)});      // stock null pen
    emf.record(43, {100, 100, 400, 300});      // rectangle
    emf.record(33, {});                        // save
    emf.record(30, {0, 0, 500, 1000});         // clip to the left half
    emf.record(35, {}, [] {                    // world transform: 0, 400 down
        QByteArray x;
        for (float f : {1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 400.0f}) {
            quint32 bits;
            memcpy(&bits, &f, 4);
            put32(x, bits);
        }
        return x;
    }());
    emf.record(39, {2, 0, 0x00FF00, 0});       // green brush
    emf.record(37, {2});
    emf.record(43, {0, 0, 1000, 100});         // lands at y 400..500
    emf.record(34, {-1});                      // restore
    emf.record(42, {600, 600, 900, 900});      // ellipse with the red brush again

    const std::optional<Metafile> picture = Metafile::fromData(emf.file());
    QVERIFY(picture);
    QCOMPARE(picture->type(), MetafileType::Emf);
    QVERIFY2(std::abs(picture->naturalSize().width() - 75) < 0.5, qPrintable(QString::number(picture->naturalSize().width()))); // 26.46 mm

    const QImage image = picture->toImage(QSize(100, 100));
    COMPARE_PIXEL(image, 25, 20, QColor(Qt::red));
    COMPARE_PIXEL(image, 45, 20, QColor(Qt::white));
    COMPARE_PIXEL(image, 25, 45, QColor(Qt::green));
    COMPARE_PIXEL(image, 75, 45, QColor(Qt::white));
    COMPARE_PIXEL(image, 75, 75, QColor(Qt::red));
}

void tst_Metafile::emfBitmapsAndWideText()
{
    EmfBuilder emf;
    const QByteArray dib = rowDib({qRgb(0, 0, 255), qRgb(255, 255, 0)});
    // StretchDIBits with the bitmap info at offset 80 and the pixels after it.
    const qint32 infoSize = 40;
    emf.record(81, {0, 0, 99, 99, 0, 80, 0, 0, 2, 1, 80, infoSize, 80 + infoSize,
                    qint32(dib.size()) - infoSize, 0, 0x00CC0020, 40, 20},
               dib);
    QByteArray font;
    for (qint32 v : {-20, 0, 0, 0, 700})
        put32(font, quint32(v));
    font += QByteArray(8, '\0');
    const QString face = QStringLiteral("Sans");
    for (QChar c : face)
        put16(font, c.unicode());
    font += QByteArray(64 - 2 * face.size() + 320 - 64, '\0');
    emf.record(82, {3}, font);
    emf.record(37, {3});
    emf.record(18, {1});
    emf.record(22, {24});                      // baseline
    const QString text = QStringLiteral("日本");
    QByteArray chars;
    for (QChar c : text)
        put16(chars, c.unicode());
    // bounds, mode, scales, reference, count, string offset, options, rect, dx offset
    emf.record(84, {0, 0, 0, 0, 1, 0, 0, 10, 50, 2, 76, 0, 0, 0, 0, 0, 0}, chars);
    const QImage image = render(emf.file());

    COMPARE_PIXEL(image, 3, 90, QColor(Qt::blue));
    COMPARE_PIXEL(image, 37, 90, QColor(Qt::yellow));
    QVERIFY(darkPixels(image, QRect(10, 32, 40, 20)) > 30);
    QCOMPARE(darkPixels(image, QRect(0, 0, 100, 28)), 0);
}

void tst_Metafile::rtfMetafilesAreDrawnNotGreyBoxes()
{
    WmfBuilder wmf;
    wmf.record(0x0103, {8});      // anisotropic
    wmf.record(0x020B, {0, 0});   // window origin
    wmf.record(0x020C, {200, 200}); // window extent
    wmf.record(0x02FC, {0, 0x00FF, 0x0000, 0});
    wmf.record(0x012D, {0});
    wmf.record(0x041B, {200, 200, 0, 0});
    const QByteArray bytes = wmf.file().mid(22); // RTF keeps metafiles without the placeable header
    const QByteArray rtf = "{\\rtf1\\ansi {\\pict\\wmetafile8\\picw2540\\pich2540\\picwgoal1440\\pichgoal720 "
        + bytes.toHex() + "}}";
    QBuffer buffer;
    buffer.setData(rtf);
    buffer.open(QIODevice::ReadOnly);
    DocumentModel model;
    QString error;
    QVERIFY(RtfFilter().read(buffer, model, {}, &error));

    QTextImageFormat image;
    for (QTextBlock b = model.document()->begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat())
                image = it.fragment().charFormat().toImageFormat();
    QVERIFY(image.isValid());
    QCOMPARE(image.width(), 72.0);
    QCOMPARE(image.height(), 36.0);
    QCOMPARE(image.property(ImageOriginalData).toByteArray(), bytes);
    const QImage pixels = model.document()->resource(QTextDocument::ImageResource, QUrl(image.name())).value<QImage>();
    QVERIFY(!pixels.isNull());
    COMPARE_PIXEL(pixels, pixels.width() / 2, pixels.height() / 2, QColor(Qt::red));
}

void tst_Metafile::corpusMetafilesDraw()
{
    TAMAPIKO_REQUIRE_SHARED(corpus, "corpus");
    const auto metafiles = corpusMetafiles(corpus);
    if (metafiles.isEmpty())
        QSKIP("the corpus holds no metafiles");
    int drawn = 0;
    for (const auto &[name, bytes] : metafiles) {
        const std::optional<Metafile> picture = Metafile::fromData(bytes);
        QVERIFY2(picture, qPrintable(name));
        const QSizeF size = picture->naturalSize();
        QVERIFY2(size.width() >= 1 && size.height() >= 1, qPrintable(name));
        const QImage image = picture->toDocumentImage(size);
        QVERIFY2(!image.isNull(), qPrintable(name));
        // For looking at them beside another program's rendering, and as
        // seeds for the fuzz target.
        if (const QString dump = qEnvironmentVariable("TAMAPIKO_METAFILE_DUMP"); !dump.isEmpty())
            image.save(QStringLiteral("%1/%2-%3.png").arg(dump, name).arg(drawn));
        if (const QString seeds = qEnvironmentVariable("TAMAPIKO_METAFILE_SEEDS"); !seeds.isEmpty()) {
            QFile seed(QStringLiteral("%1/%2-%3.%4").arg(seeds, name).arg(drawn).arg(
                picture->type() == MetafileType::Emf ? QLatin1String("emf") : QLatin1String("wmf")));
            if (seed.open(QIODevice::WriteOnly))
                seed.write(bytes);
        }
        if (hasInk(image))
            ++drawn;
        else
            qWarning() << name << "drew nothing";
    }
    qInfo() << drawn << "of" << metafiles.size() << "corpus metafiles drawn";
    QVERIFY(drawn * 10 >= metafiles.size() * 9);
}

void tst_Metafile::brokenMetafilesEndQuietly()
{
    WmfBuilder wmf;
    wmf.record(0x02FC, {0, 0x00FF, 0x0000, 0});
    wmf.record(0x012D, {0});
    wmf.record(0x0324, {3, 0, 0, 100, 0, 50, 100});  // polygon
    wmf.record(0x0538, {2, 3, 30000, 0, 0, 1, 1, 2, 2}); // counts beyond the record
    wmf.record(0x0A32, {10, 10, 30000, 6});           // text longer than its record
    const QByteArray good = wmf.file();

    // Every cut of a good file, and the file with each byte turned over.
    for (qsizetype length = 0; length < good.size(); ++length)
        render(good.left(length), QSize(16, 16));
    for (qsizetype at = 0; at < good.size(); ++at) {
        QByteArray bad = good;
        bad[at] = char(~bad[at]);
        render(bad, QSize(16, 16));
    }
    QVERIFY(!Metafile::fromData("not a metafile at all"));
    QVERIFY(!Metafile::fromData(QByteArray()));

    // A window of one unit mapped onto the picture and a huge pen must not
    // make the rasteriser crawl.
    WmfBuilder huge;
    huge.record(0x020C, {1, 1});
    huge.record(0x02FA, {1, 32000, 0, 0, 0});
    huge.record(0x012D, {0});
    huge.record(0x0418, {32000, 32000, -32000, -32000});
    huge.record(0x0325, {2, -32000, -32000, 32000, 32000});
    QVERIFY(!render(huge.file()).isNull());

    // Text in a font turned by the most negative angle a record can hold.
    EmfBuilder turned;
    QByteArray font;
    for (qint32 v : {-20, 0, std::numeric_limits<qint32>::min(), 0, 400})
        put32(font, quint32(v));
    font += QByteArray(8 + 320, '\0');
    turned.record(82, {3}, font);
    turned.record(37, {3});
    QByteArray letter;
    put16(letter, u'A');
    turned.record(84, {0, 0, 0, 0, 1, 0, 0, 10, 50, 1, 76, 0, 0, 0, 0, 0, 0}, letter);
    QVERIFY(!render(turned.file()).isNull());
}

// Shapes whose edges run far past the picture are cut to it before they
// are drawn (the rasteriser would otherwise walk every unseen edge): what
// shows inside must be what the whole shape gives.
void tst_Metafile::shapesReachingFarOutsideDrawAsInside()
{
    QRandomGenerator random(17);
    QPolygonF points;
    QByteArray pointWords; // count, then x and y of each point
    put16(pointWords, 300);
    for (int i = 0; i < 300; ++i) {
        const QPoint p(random.bounded(-3000, 3000), random.bounded(-3000, 3000));
        points << QPointF(p);
        put16(pointWords, p.x());
        put16(pointWords, p.y());
    }
    const auto wholeShape = [&](bool fill, Qt::FillRule rule) {
        QImage image(100, 100, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath path;
        path.addPolygon(points);
        if (fill) {
            path.closeSubpath();
            path.setFillRule(rule);
            painter.fillPath(path, Qt::red);
        } else {
            painter.strokePath(path, QPen(Qt::blue, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        }
        return image;
    };
    const auto differingPixels = [](const QImage &actual, const QImage &expected) {
        int differing = 0;
        for (int y = 0; y < expected.height(); ++y) {
            for (int x = 0; x < expected.width(); ++x) {
                const QRgb a = actual.pixel(x, y), e = expected.pixel(x, y);
                if (std::abs(qRed(a) - qRed(e)) > 8 || std::abs(qGreen(a) - qGreen(e)) > 8
                    || std::abs(qBlue(a) - qBlue(e)) > 8)
                    ++differing;
            }
        }
        return differing;
    };

    for (const Qt::FillRule rule : {Qt::OddEvenFill, Qt::WindingFill}) {
        WmfBuilder filled;
        filled.record(0x0106, {rule == Qt::WindingFill ? 2 : 1}); // fill mode
        filled.record(0x02FA, {5, 0, 0, 0, 0});                    // no pen
        filled.record(0x012D, {0});
        filled.record(0x02FC, {0, 0x00FF, 0x0000, 0});            // red brush
        filled.record(0x012D, {1});
        filled.record(0x0324, {}, pointWords);                     // polygon
        const QImage drawn = render(filled.file());
        QVERIFY(!drawn.isNull());
        QCOMPARE(differingPixels(drawn, wholeShape(true, rule)), 0);
    }

    WmfBuilder stroked;
    stroked.record(0x02FA, {0, 3, 0, 0x0000, 0x00FF}); // blue pen, 3 units wide
    stroked.record(0x012D, {0});
    stroked.record(0x0325, {}, pointWords);            // polyline
    QCOMPARE(differingPixels(render(stroked.file()), wholeShape(false, Qt::OddEvenFill)), 0);

    // Thousands of edges from one end of the coordinate range to the other.
    QByteArray zigzag;
    put16(zigzag, 4000);
    for (int i = 0; i < 4000; ++i) {
        put16(zigzag, i % 2 ? -32000 : 32000);
        put16(zigzag, random.bounded(-32000, 32000));
    }
    WmfBuilder across;
    across.record(0x02FC, {0, 0x0000, 0x0000, 0});
    across.record(0x012D, {0});
    across.record(0x0324, {}, zigzag);
    QVERIFY(!render(across.file(), QSize(48, 32)).isNull());
}

QTEST_MAIN(tst_Metafile)
#include "tst_Metafile.moc"
