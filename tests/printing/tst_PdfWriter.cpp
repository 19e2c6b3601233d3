// The PDF files our own paint device writes, read back with poppler: text
// comes back as the characters it was shaped from and sits where the layout
// put it, fonts go in as subsets, clipping cuts what it should and nothing
// more, and every page keeps its own size.

#include "printing/pdf/PdfWriter.h"
#include "support/PdfProbe.h"

#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextLayout>
#include <QtTest>

using namespace tamapiko::test;
using tamapiko::printing::pdf::PdfWriter;

namespace {

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// A paragraph laid out as the engine lays out text: at 1440 dots per
// inch, so that one unit is a twip on the writer too.
struct Paragraph
{
    explicit Paragraph(const QString &text, const QFont &font, qreal width)
        : layout(text, font, &device())
    {
        layout.beginLayout();
        qreal y = 0;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            line.setPosition(QPointF(0, y));
            y += line.height();
        }
        layout.endLayout();
    }

    static QImage &device()
    {
        static QImage image = [] {
            QImage i(1, 1, QImage::Format_ARGB32_Premultiplied);
            i.setDotsPerMeterX(qRound(1440 / 0.0254));
            i.setDotsPerMeterY(qRound(1440 / 0.0254));
            return i;
        }();
        return image;
    }

    QTextLayout layout;
};

QFont font(const QString &family, int pointSize)
{
    QFont f(family);
    f.setPointSize(pointSize);
    return f;
}

// The colour at a point (in points) of page `page` rendered at 72 dpi.
QColor renderedColor(const QString &pdf, int page, QPoint at)
{
    const QString stem = pdf + QStringLiteral(".page");
    QProcess::execute(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("72"), QStringLiteral("-f"),
                                                   QString::number(page), QStringLiteral("-l"), QString::number(page),
                                                   QStringLiteral("-singlefile"), QStringLiteral("-png"), pdf, stem});
    return QImage(stem + QStringLiteral(".png")).pixelColor(at);
}

} // namespace

class tst_PdfWriter : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        if (!havePdfTools() || QStandardPaths::findExecutable(QStringLiteral("pdffonts")).isEmpty()
            || QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty())
            QSKIP("poppler-utils not installed");
    }

    void textReadsBackWhereItWasLaidOut()
    {
        // Latin with ligatures and wide letter spacing (the font's own
        // advances do not place those glyphs), Japanese in a TrueType and
        // in a CFF font.
        QFont spaced = font(QStringLiteral("Liberation Serif"), 11);
        spaced.setLetterSpacing(QFont::AbsoluteSpacing, 0.8);
        const QString latin = QStringLiteral("office affine fluffy waffle shuffle difficult official flight "
                                             "offline baffled effort staffing stiff traffic efficient.");
        Paragraph serif(latin, font(QStringLiteral("Liberation Serif"), 11), 9000);
        Paragraph wide(latin, spaced, 9000);
        Paragraph mincho(QStringLiteral("日本語の文章を書き、印刷する。"), font(QStringLiteral("IPAMincho"), 12), 9000);
        Paragraph gothic(QStringLiteral("太字の見出しと「括弧」。"), font(QStringLiteral("Noto Sans CJK JP"), 14), 9000);

        const QString path = m_dir.filePath(QStringLiteral("text.pdf"));
        {
            PdfWriter writer(path);
            writer.setPageSize(QSizeF(595.28, 841.89));
            QPainter painter(&writer);
            serif.layout.draw(&painter, QPointF(1440, 1440));
            wide.layout.draw(&painter, QPointF(1440, 4000));
            mincho.layout.draw(&painter, QPointF(1440, 7000));
            gothic.layout.draw(&painter, QPointF(1440, 8000));
            QVERIFY(painter.end());
        }

        const QString text = withoutSpaces(pdfPageTexts(path).value(0));
        QCOMPARE(text, withoutSpaces(latin + latin + mincho.layout.text() + gothic.layout.text()));

        // Each word starts where the layout put its first character.
        const QString boxes = run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, QStringLiteral("-")});
        const QRegularExpression word(QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\"[^>]*>([^<]+)</word>"));
        int checked = 0;
        int from[2] = {0, 0};
        for (auto match = word.globalMatch(boxes); match.hasNext();) {
            const auto m = match.next();
            const qreal x = m.captured(1).toDouble() * 20;
            const qreal y = m.captured(2).toDouble() * 20;
            if (y > 6500)
                continue;
            const int paragraph = y < 4000 ? 0 : 1;
            const QTextLayout &layout = (paragraph == 0 ? serif : wide).layout;
            const qreal origin = 1440;
            const int at = latin.indexOf(m.captured(3), from[paragraph]);
            from[paragraph] = at + 1;
            QVERIFY2(at >= 0, qPrintable(m.captured(3)));
            const QTextLine line = layout.lineForTextPosition(at);
            const qreal expected = origin + line.cursorToX(at);
            // Glyph outlines start a little right of their origin: a point
            // of slack, against drift of many points over a line.
            QVERIFY2(x >= expected - 4 && x <= expected + 20,
                     qPrintable(QStringLiteral("%1 at %2, laid out at %3").arg(m.captured(3)).arg(x).arg(expected)));
            ++checked;
        }
        QVERIFY(checked >= 30);

        // Subsets with a map back to the text, in both kinds of font.
        const QString fonts = run(QStringLiteral("pdffonts"), {path});
        QVERIFY2(fonts.contains(QStringLiteral("CID TrueType")) && fonts.contains(QStringLiteral("CID Type 0C")),
                 qPrintable(fonts));
        for (const QString &line : fonts.split(u'\n').mid(2, -1)) {
            if (!line.isEmpty())
                QVERIFY2(line.contains(QRegularExpression(QStringLiteral("yes\\s+yes\\s+yes"))), qPrintable(line));
        }
        QVERIFY(QFileInfo(path).size() < 60000);
    }

    void clipsCutWhatTheyCoverAndPagesKeepTheirSizes()
    {
        const QString path = m_dir.filePath(QStringLiteral("clip.pdf"));
        Paragraph inside(QStringLiteral("Visible line"), font(QStringLiteral("Liberation Sans"), 12), 9000);
        Paragraph outside(QStringLiteral("Hidden line"), font(QStringLiteral("Liberation Sans"), 12), 9000);
        {
            PdfWriter writer(path);
            writer.setPageSize(QSizeF(595.28, 841.89));
            QPainter painter(&writer);
            painter.save();
            // The clip: points 100..300 across, 100..200 down.
            painter.setClipRect(QRect(2000, 2000, 4000, 2000));
            painter.fillRect(QRect(1000, 1000, 8000, 8000), Qt::red);
            inside.layout.draw(&painter, QPointF(2400, 2400));
            outside.layout.draw(&painter, QPointF(2400, 6000));
            painter.restore();
            // No clip any more: a translucent image half blue, half clear.
            QImage image(20, 10, QImage::Format_ARGB32);
            image.fill(Qt::transparent);
            for (int y = 0; y < 10; ++y)
                for (int x = 0; x < 10; ++x)
                    image.setPixelColor(x, y, Qt::blue);
            painter.drawImage(QRect(2000, 10000, 4000, 2000), image);

            writer.setPageSize(QSizeF(728.5, 515.9));
            QVERIFY(writer.newPage());
            painter.fillRect(QRect(0, 0, 2000, 2000), QColor(0, 128, 0));
            QVERIFY(painter.end());
        }

        const QStringList pages = pdfPageTexts(path);
        QCOMPARE(pages.size(), 2);
        QCOMPARE(withoutSpaces(pages[0]), QStringLiteral("Visibleline"));
        QCOMPARE(renderedColor(path, 1, {150, 150}), QColor(Qt::red));
        QCOMPARE(renderedColor(path, 1, {80, 150}), QColor(Qt::white));
        QCOMPARE(renderedColor(path, 1, {150, 250}), QColor(Qt::white));
        QCOMPARE(renderedColor(path, 1, {140, 550}), QColor(Qt::blue));
        QCOMPARE(renderedColor(path, 1, {260, 550}), QColor(Qt::white));
        QCOMPARE(renderedColor(path, 2, {50, 50}), QColor(0, 128, 0));

        const QString info = run(QStringLiteral("pdfinfo"), {QStringLiteral("-f"), QStringLiteral("1"),
                                                             QStringLiteral("-l"), QStringLiteral("2"), path});
        QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Page +1 size: +595.28 x 841.89 pts"))), qPrintable(info));
        QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Page +2 size: +728.5 x 515.9 pts"))), qPrintable(info));
    }

    void aFileThatCannotBeWrittenFailsTheJob()
    {
        PdfWriter writer(m_dir.filePath(QStringLiteral("missing/out.pdf")));
        QPainter painter;
        QVERIFY(!painter.begin(&writer));
    }
};

QTEST_MAIN(tst_PdfWriter)
#include "tst_PdfWriter.moc"
