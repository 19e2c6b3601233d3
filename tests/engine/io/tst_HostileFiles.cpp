// Files written to hurt: what they name, how large they say things are.
#include "engine/DocumentModel.h"
#include "engine/TTextEngine.h"
#include "engine/formats/NativeChunks.h"
#include "engine/formats/NativeFilter.h"
#include "engine/formats/ValueLimits.h"
#include "engine/io/DocumentStorage.h"

#include <QAbstractTextDocumentLayout>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTableFormat>
#include <QtTest>

#include <cmath>
#include <functional>
#include <limits>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tamapiko::engine;

namespace {

constexpr int HtmlFormat = 4;
constexpr int RtfFormat = 5;

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// Lays the document out and paints it, which is when Qt asks for the
// pictures and backgrounds it names.
void layOutAndPaint(QTextDocument *document)
{
    document->setPageSize(QSizeF(600, 800));
    QImage page(600, 400, QImage::Format_RGB32);
    QPainter painter(&page);
    document->drawContents(&painter, QRectF(0, 0, 600, 400));
}

// A listening socket on the loopback interface that notices any connection.
class Listener
{
public:
    Listener()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr *>(&address), length) != 0 || ::listen(m_fd, 16) != 0
            || ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&address), &length) != 0)
            qFatal("cannot listen on the loopback interface");
        m_port = ntohs(address.sin_port);
    }
    ~Listener() { ::close(m_fd); }
    int port() const { return m_port; }
    bool wasContacted() const
    {
        pollfd pending{m_fd, POLLIN, 0};
        return ::poll(&pending, 1, 0) > 0;
    }

private:
    int m_fd = -1;
    int m_port = 0;
};

} // namespace

class tst_HostileFiles : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void picturesThatAreDevicesOrPipesAreSkipped()
    {
        const QString fifo = m_dir.filePath(QStringLiteral("picture.png"));
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        const QString html = writeFile(m_dir, QStringLiteral("page.html"),
            QStringLiteral("<html><body background=\"%1\"><p style=\"background-image: url(%1)\">テキスト</p>"
                           "<img src=\"%1\"><img src=\"/dev/zero\"><img src=\"picture.png\">"
                           "<table background=\"/dev/zero\"><tr><td>表</td></tr></table></body></html>")
                .arg(fifo).toUtf8());
        // Each of these used to block for ever or read until memory ran out.
        DocumentModel model;
        QVERIFY(readDocumentFile(html, 0, HtmlFormat, model).ok());
        layOutAndPaint(model.document());
        QVERIFY(model.document()->toPlainText().contains(QStringLiteral("テキスト")));
        QVERIFY(model.document()->resource(QTextDocument::ImageResource, QUrl::fromLocalFile(fifo)).isNull());
        QVERIFY(model.document()->resource(QTextDocument::ImageResource, QUrl(QStringLiteral("/dev/zero"))).isNull());

        // A document that is itself a pipe or a device is refused at once.
        for (const QString &path : {fifo, QStringLiteral("/dev/zero")}) {
            TTextEngine engine;
            QCOMPARE(engine.LoadDocument(path, 0, RtfFormat, 0), int(ResultFileError));
            QVERIFY(engine.errorString().contains(QStringLiteral("not a regular file")));
        }
    }

    void missingPicturesCostNothingUntilPainted()
    {
        QByteArray html = "<html><body>";
        for (int i = 0; i < 200; ++i)
            html += "<img src=x width=2000 height=2000>";
        html += "</body></html>";
        DocumentModel model;
        QVERIFY(readDocumentFile(writeFile(m_dir, QStringLiteral("placeholders.html"), html), 0, HtmlFormat, model).ok());
        qint64 pixels = 0;
        QTextDocument *document = model.document();
        for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextCharFormat format = it.fragment().charFormat();
                if (!format.isImageFormat())
                    continue;
                const QTextImageFormat image = format.toImageFormat();
                QVERIFY(image.width() >= 1500);   // shown at the size the page asks for (in points)
                pixels += document->resource(QTextDocument::ImageResource, QUrl(image.name())).value<QImage>().sizeInBytes();
            }
        }
        // 200 pictures of 2000 x 2000 would be 3.2 GB; they share one small box.
        QVERIFY2(pixels < 200 * 64 * 64 * 4 + 1, qPrintable(QString::number(pixels)));
    }

    void documentsNeverReachTheNetwork()
    {
        Listener server;
        const QString address = QStringLiteral("http://127.0.0.1:%1/").arg(server.port());
        const QString html = writeFile(m_dir, QStringLiteral("remote.html"),
            QStringLiteral("<html><head><link rel=stylesheet href=\"%1style.css\">"
                           "<style>p { background-image: url(%1css.png) }</style></head>"
                           "<body background=\"%1body.png\"><p>本文</p><img src=\"%1img.png\">"
                           "<table background=\"%1table.png\"><tr><td>表</td></tr></table></body></html>")
                .arg(address).toUtf8());
        TTextEngine engine;
        engine.resize(800, 600);
        engine.show();
        QCOMPARE(engine.LoadDocument(html, 0, HtmlFormat, 0), 0);
        layOutAndPaint(engine.document());
        QTest::qWait(300);
        QVERIFY2(!server.wasContacted(), "a document made a network connection");
    }

    void deepNestingIsFlattened()
    {
        const int levels = 3000;
        const QByteArray html = "<html><body>" + QByteArray("<table><tr><td>").repeated(levels) + "深い表"
            + QByteArray("</td></tr></table>").repeated(levels) + QByteArray("<div>").repeated(levels) + "深いdiv"
            + QByteArray("</div>").repeated(levels) + "<p>後</p></body></html>";
        DocumentModel model;
        QVERIFY(readDocumentFile(writeFile(m_dir, QStringLiteral("deep.html"), html), 0, HtmlFormat, model).ok());
        const QString text = model.document()->toPlainText();
        for (const QString &part : {QStringLiteral("深い表"), QStringLiteral("深いdiv"), QStringLiteral("後")})
            QVERIFY2(text.contains(part), qPrintable(part));
        const std::function<int(QTextFrame *)> depthOf = [&](QTextFrame *frame) {
            int deepest = 0;
            for (QTextFrame *child : frame->childFrames())
                deepest = qMax(deepest, depthOf(child));
            return deepest + 1;
        };
        QVERIFY(depthOf(model.document()->rootFrame()) <= 2 * 64);
        // Every writer walks what was read without running out of stack.
        for (int format : {RtfFormat, HtmlFormat, 3}) {
            QByteArray bytes;
            QVERIFY(encodeDocument(model, format, QStringLiteral("deep"), &bytes).ok());
        }
    }

    void tablesLargerThanTheFileAreRefused()
    {
        // A .txm whose small table claims a million cells, padded with text
        // so that the file is not tiny: reading must not build the cells.
        DocumentModel source;
        QTextCursor cursor(source.document());
        cursor.insertTable(2, 2);
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(QString(16000, u'x'));
        cursor.insertBlock();
        cursor.insertTable(2, 2);
        QList<native::Chunk> chunks;
        QString error;
        QVERIFY(native::ChunkReader().split(NativeFilter::encode(source), &chunks, &error));
        const auto tableClaims = [&](qint32 rows, qint32 columns) {
            native::ChunkWriter writer;
            for (native::Chunk chunk : chunks) {
                if (chunk.tag == "TEXT") {
                    // Every table record: op 5, format, rows 2, columns 2.
                    const QByteArray two = QByteArray::fromHex("00000002");
                    for (qsizetype at = chunk.payload.indexOf('\x05'); at >= 0; at = chunk.payload.indexOf('\x05', at + 1)) {
                        if (chunk.payload.mid(at + 5, 8) != two + two)
                            continue;
                        chunk.payload.replace(at + 5, 4, QByteArray::fromHex(QByteArray::number(rows, 16).rightJustified(8, '0')));
                        chunk.payload.replace(at + 9, 4, QByteArray::fromHex(QByteArray::number(columns, 16).rightJustified(8, '0')));
                    }
                }
                writer.add(chunk.tag.constData(), chunk.payload);
            }
            writer.add("END ", QByteArray());
            DocumentModel model;
            return readDocumentFile(writeFile(m_dir, QStringLiteral("cells.txm"), writer.bytes()), 0, 3, model);
        };
        const FileOutcome plain = tableClaims(2, 2);
        QVERIFY2(plain.ok(), qPrintable(plain.message));
        QVERIFY(!tableClaims(1000, 1000).ok());
        // Two tables that each fit but together outgrow the file.
        QVERIFY(!tableClaims(150, 150).ok());
    }

    void pageValuesBeyondReasonAreBroughtIntoRange()
    {
        const QString rtf = writeFile(m_dir, QStringLiteral("huge.rtf"),
            "{\\rtf1\\ansi\\paperw2147483647\\paperh40\\margl-2147483647\\margr2147483647"
            "\\margt99999999\\margb0 text\\par}");
        TTextEngine engine;
        QCOMPARE(engine.LoadDocument(rtf, 0, RtfFormat, 0), 0);
        const PageSetup page = engine.model()->pageSetup();
        QCOMPARE(page.width, PageSetup::LargestTwips);
        QCOMPARE(page.height, PageSetup::SmallestTwips);
        QVERIFY(page.marginLeft >= 0 && page.marginLeft <= PageSetup::LargestTwips);
        QCOMPARE(page.marginRight, PageSetup::LargestTwips);

        // Written back as the engine holds it, not as the file said.
        const QString out = m_dir.filePath(QStringLiteral("back.rtf"));
        QCOMPARE(engine.SaveDocument(out, 0, RtfFormat, 0), 0);
        QFile written(out);
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QByteArray bytes = written.readAll();
        QVERIFY(!bytes.contains("2147483647"));
        QVERIFY(!bytes.contains("\\paperh-"));
    }

    // Lengths and sizes far beyond any page, and numbers that are none, in
    // each format that stores them: the engine holds values it can lay out,
    // paints the document, and writes back what it holds.
    void paragraphAndCharacterValuesBeyondReason()
    {
        const auto inRange = [](const QTextDocument *document) {
            QStringList faults;
            for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
                const QTextBlockFormat para = block.blockFormat();
                for (qreal length : {para.leftMargin(), para.rightMargin(), para.textIndent(), para.topMargin(),
                                     para.bottomMargin(), para.lineHeight()}) {
                    if (!std::isfinite(length) || std::abs(length) > PageSetup::LargestTwips / 20.0)
                        faults << QStringLiteral("paragraph length %1").arg(length);
                }
                for (const QTextOption::Tab &tab : para.tabPositions())
                    if (!std::isfinite(tab.position) || std::abs(tab.position) > PageSetup::LargestTwips / 20.0)
                        faults << QStringLiteral("tab at %1").arg(tab.position);
                for (auto it = block.begin(); !it.atEnd(); ++it) {
                    const qreal size = it.fragment().charFormat().fontPointSize();
                    if (!std::isfinite(size) || size < 0 || size > 1638)
                        faults << QStringLiteral("font size %1").arg(size);
                }
            }
            return faults.join(u", ");
        };

        const QString rtf = writeFile(m_dir, QStringLiteral("values.rtf"),
            "{\\rtf1\\ansi\\pard\\li2147483647\\ri-2147483647\\fi-2147483647\\sb2147483647\\sa2147483647"
            "\\sl-2147483647\\tx2147483647\\fs2147483647 wide\\par"
            "\\trowd\\trgaph2147483647\\trleft-2147483647\\cellx2147483647\\cellx-2147483647 a\\cell b\\cell\\row}");
        DocumentModel fromRtf;
        QVERIFY(readDocumentFile(rtf, 0, RtfFormat, fromRtf).ok());
        QVERIFY(fromRtf.document()->toPlainText().contains(QStringLiteral("wide")));
        QCOMPARE(inRange(fromRtf.document()), QString());
        layOutAndPaint(fromRtf.document());
        QByteArray back;
        QVERIFY(encodeDocument(fromRtf, RtfFormat, QStringLiteral("back"), &back).ok());
        QVERIFY2(!back.contains("214748364"), back.constData());

        // The native format stores Qt's own doubles: 1e301, NaN, infinity.
        DocumentModel hostile;
        QTextCursor cursor(hostile.document());
        QTextBlockFormat para;
        para.setLeftMargin(1e301);
        para.setTextIndent(-1e301);
        para.setTopMargin(std::numeric_limits<double>::quiet_NaN());
        para.setLineHeight(std::numeric_limits<double>::infinity(), QTextBlockFormat::FixedHeight);
        para.setTabPositions({QTextOption::Tab(std::numeric_limits<double>::quiet_NaN(), QTextOption::LeftTab),
                              QTextOption::Tab(1e301, QTextOption::RightTab)});
        QTextCharFormat chr;
        chr.setFontPointSize(1e301);
        cursor.setBlockFormat(para);
        cursor.insertText(QStringLiteral("nan"), chr);
        QByteArray txm;
        QVERIFY(encodeDocument(hostile, 3, QStringLiteral("hostile"), &txm).ok());
        DocumentModel fromTxm;
        QVERIFY(readDocumentFile(writeFile(m_dir, QStringLiteral("values.txm"), txm), 0, 3, fromTxm).ok());
        QCOMPARE(fromTxm.document()->toPlainText(), QStringLiteral("nan"));
        QCOMPARE(inRange(fromTxm.document()), QString());
        QCOMPARE(fromTxm.document()->begin().blockFormat().leftMargin(), PageSetup::LargestTwips / 20.0);
        layOutAndPaint(fromTxm.document());

        // Qt's stream reader takes any number for a length's kind; a table
        // width of an unknown kind is dropped, not used as one of the kinds.
        QByteArray raw;
        QDataStream write(&raw, QIODevice::WriteOnly);
        write << qint32(0x0AFFFFFF) << double(50);
        QDataStream read(raw);
        QTextLength strange;
        read >> strange;
        QTextTableFormat table;
        table.setWidth(strange);
        table.setColumnWidthConstraints({strange, QTextLength(QTextLength::FixedLength, 1e301)});
        const QTextTableFormat safe = limits::bounded(table).toTableFormat();
        QVERIFY(!safe.hasProperty(QTextFormat::FrameWidth));
        const QList<QTextLength> columns = safe.columnWidthConstraints();
        QCOMPARE(columns.size(), 2);
        QCOMPARE(columns.at(0).type(), QTextLength::VariableLength);
        QCOMPARE(columns.at(1).rawValue(), limits::LargestPoints);
    }
};

QTEST_MAIN(tst_HostileFiles)
#include "tst_HostileFiles.moc"
