// The text runs a written PDF is rewritten with: the file gets smaller and
// reads and looks as before; a file that is not what Qt writes is left as
// it is.

#include "printing/PdfTextRuns.h"
#include "support/PdfProbe.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace tamapiko::test;
using tamapiko::printing::compactPdfText;

namespace {

// Two full pages of Japanese and Latin text in several faces, sizes, letter
// spacings and colours, with a clipped line and a box, as Qt's PDF engine
// writes it.
QByteArray writtenPdf()
{
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setResolution(300);
        QPainter painter(&writer);
        for (int page = 0; page < 2; ++page) {
            if (page > 0)
                writer.newPage();
            // A clipped line, a coloured box and text in colour: the clip
            // and the state changes around the text must survive.
            painter.save();
            painter.setClipRect(QRect(200, 60, 700, 100));
            painter.setFont(QFont(QStringLiteral("Liberation Serif"), 14));
            painter.drawText(150, 130, QStringLiteral("Clipped on both sides: only the middle of this line shows"));
            painter.restore();
            painter.fillRect(QRect(1600, 60, 300, 100), QColor(200, 40, 40));
            int y = 200;
            for (int line = 0; line < 40; ++line) {
                painter.setPen(line % 7 == 6 ? QColor(0, 90, 200) : QColor(Qt::black));
                QFont font(line % 3 == 0 ? QStringLiteral("IPAMincho") : QStringLiteral("Liberation Sans"),
                           9 + line % 4);
                font.setBold(line % 4 == 1);
                font.setItalic(line % 5 == 2);
                font.setLetterSpacing(QFont::AbsoluteSpacing, line % 6 == 3 ? 4 : 0);
                painter.setFont(font);
                painter.drawText(200, y, QStringLiteral("第%1行 日本語の文章と English words, AV Ta kerning %2")
                                             .arg(line + 1)
                                             .arg(page + 1));
                y += 80;
            }
        }
    }
    return bytes;
}

QString save(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return path;
}

QImage rendered(const QString &pdf, int page)
{
    const QString prefix = pdf + QStringLiteral("-page");
    QProcess::execute(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("100"), QStringLiteral("-gray"),
                                                   QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                                                   QString::number(page), QStringLiteral("-singlefile"), pdf, prefix});
    return QImage(prefix + QStringLiteral(".pgm"));
}

} // namespace

class tst_PdfTextRuns : public QObject
{
    Q_OBJECT

private slots:
    void smallerAndTheSameToReadAndSee()
    {
        if (!havePdfTools())
            QSKIP("poppler-utils (pdfinfo, pdftotext, pdftoppm) not installed");
        QTemporaryDir dir;
        const QByteArray original = writtenPdf();
        const QByteArray compact = compactPdfText(original);
        const QString before = save(dir, QStringLiteral("before.pdf"), original);
        const QString after = save(dir, QStringLiteral("after.pdf"), compact);
        QVERIFY(!before.isEmpty() && !after.isEmpty());
        // Here the fonts are most of the file; on long documents the text
        // is, and the file ends about a quarter smaller.
        QVERIFY2(compact.size() < original.size(),
                 qPrintable(QStringLiteral("%1 → %2 bytes").arg(original.size()).arg(compact.size())));

        QCOMPARE(pdfFacts(after).pages, 2);
        QCOMPARE(pdfFacts(after).pageSize, pdfFacts(before).pageSize);
        QCOMPARE(pdfPageTexts(after), pdfPageTexts(before));
        for (int page = 1; page <= 2; ++page) {
            const QImage was = rendered(before, page);
            const QImage is = rendered(after, page);
            QVERIFY(!was.isNull());
            QCOMPARE(is.size(), was.size());
            // Glyphs stay within a thousandth of an em: at most a pixel's
            // edge here and there may shade differently.
            qint64 differing = 0;
            for (int y = 0; y < was.height(); ++y) {
                for (int x = 0; x < was.width(); ++x)
                    differing += std::abs(qGray(was.pixel(x, y)) - qGray(is.pixel(x, y))) > 96;
            }
            QVERIFY2(differing < was.width() * was.height() / 10000,
                     qPrintable(QStringLiteral("%1 pixels differ on page %2").arg(differing).arg(page)));
        }
    }

    void whatIsNotAsQtWritesItStaysAsItIs()
    {
        const QByteArray original = writtenPdf();
        for (const QByteArray &input : {QByteArray(), QByteArray("not a PDF at all"), original.left(original.size() / 2),
                                         QByteArray(original).replace("startxref", "startxrof")})
            QCOMPARE(compactPdfText(input), input);
    }
};

QTEST_MAIN(tst_PdfTextRuns)
#include "tst_PdfTextRuns.moc"
