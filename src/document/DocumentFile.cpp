#include "document/DocumentFile.h"

#include "document/DocumentFileTypes.h"
#include "engine/TTextEngine.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <exception>

namespace tamapiko::document {

namespace {

// A4 with one-inch margins, for .txm files without the page header.
constexpr int DefaultMargin = 1440;
constexpr int DefaultWidth = 11900;
constexpr int DefaultHeight = 16838;
// Twice the largest page size word processors offer (22 inches).
constexpr int LargestPage = 2 * 31680;

template<typename T>
void appendLittleEndian(QByteArray &bytes, T value)
{
    char buffer[sizeof(T)];
    qToLittleEndian<T>(value, buffer);
    bytes.append(buffer, sizeof(T));
}

template<typename T>
T takeLittleEndian(const char *&cursor)
{
    const T value = qFromLittleEndian<T>(cursor);
    cursor += sizeof(T);
    return value;
}

void setDefaultPage(TTextEngine &engine)
{
    engine.setPageMarginL(DefaultMargin);
    engine.setPageMarginT(DefaultMargin);
    engine.setPageMarginR(DefaultMargin);
    engine.setPageMarginB(DefaultMargin);
    engine.setPageWidth(DefaultWidth);
    engine.setPageHeight(DefaultHeight);
}

// The engine's messages name the file; our callers do that themselves.
QString withoutFileName(const QString &message, const QString &path)
{
    const QString named = path + QStringLiteral(": ");
    return message.startsWith(named) ? message.mid(named.size()) : message;
}

} // namespace

QByteArray encodeTxmHeader(const PageSettingsRecord &page)
{
    QByteArray bytes;
    bytes.reserve(TxmHeaderSize);
    appendLittleEndian<std::int32_t>(bytes, TxmHeaderTag);
    appendLittleEndian<std::int32_t>(bytes, page.MarginLeft);
    appendLittleEndian<std::int32_t>(bytes, page.MarginTop);
    appendLittleEndian<std::int32_t>(bytes, page.MarginRight);
    appendLittleEndian<std::int32_t>(bytes, page.MarginBottom);
    appendLittleEndian<std::int32_t>(bytes, page.PaperHeight);
    appendLittleEndian<std::int32_t>(bytes, page.PaperWidth);
    appendLittleEndian<std::int16_t>(bytes, page.PaperIndex);
    appendLittleEndian<std::int16_t>(bytes, page.Reserved);
    return bytes;
}

std::optional<TxmHeader> decodeTxmHeader(const QByteArray &firstBytes, QString *error)
{
    if (firstBytes.size() < 4) {
        *error = QStringLiteral("the file is too short for a .txm header");
        return std::nullopt;
    }
    const char *cursor = firstBytes.constData();
    TxmHeader header;
    header.tagged = takeLittleEndian<std::int32_t>(cursor) == TxmHeaderTag;
    if (!header.tagged)
        return header;
    if (firstBytes.size() < TxmHeaderSize) {
        *error = QStringLiteral("the .txm header is cut short");
        return std::nullopt;
    }
    PageSettingsRecord &page = header.page;
    page.MarginLeft = takeLittleEndian<std::int32_t>(cursor);
    page.MarginTop = takeLittleEndian<std::int32_t>(cursor);
    page.MarginRight = takeLittleEndian<std::int32_t>(cursor);
    page.MarginBottom = takeLittleEndian<std::int32_t>(cursor);
    page.PaperHeight = takeLittleEndian<std::int32_t>(cursor);
    page.PaperWidth = takeLittleEndian<std::int32_t>(cursor);
    page.PaperIndex = takeLittleEndian<std::int16_t>(cursor);
    page.Reserved = takeLittleEndian<std::int16_t>(cursor);
    header.dataOffset = TxmHeaderSize;
    return header;
}

QByteArray txmHeaderFor(const TTextEngine &engine, PageSettingsRecord &pageSettings)
{
    pageSettings.MarginLeft = engine.PageMarginL();
    pageSettings.MarginTop = engine.PageMarginT();
    pageSettings.MarginRight = engine.PageMarginR();
    pageSettings.MarginBottom = engine.PageMarginB();
    pageSettings.PaperHeight = engine.PageHeight();
    pageSettings.PaperWidth = engine.PageWidth();
    return encodeTxmHeader(pageSettings);
}

bool isUsablePage(const PageSettingsRecord &page)
{
    const auto inRange = [](qint64 value, qint64 low, qint64 high) { return value >= low && value <= high; };
    return inRange(page.PaperWidth, 1, LargestPage) && inRange(page.PaperHeight, 1, LargestPage)
        && inRange(page.MarginLeft, 0, LargestPage) && inRange(page.MarginRight, 0, LargestPage)
        && inRange(page.MarginTop, 0, LargestPage) && inRange(page.MarginBottom, 0, LargestPage)
        && qint64(page.MarginLeft) + page.MarginRight < page.PaperWidth
        && qint64(page.MarginTop) + page.MarginBottom < page.PaperHeight;
}

bool loadDocumentFile(TTextEngine &engine, const QString &path, int format,
                      PageSettingsRecord &pageSettings, QString *error)
{
    try {
        int offset = 0;
        if (format == FormatCode::Native) {
            QFile file(path);
            // Opening a FIFO would wait for a writer; a device never ends.
            if (!QFileInfo(path).isFile()) {
                *error = QStringLiteral("not a regular file");
                return false;
            }
            if (!file.open(QIODevice::ReadOnly)) {
                *error = file.errorString();
                return false;
            }
            const QByteArray first = file.read(TxmHeaderSize);
            file.close();
            const std::optional<TxmHeader> header = decodeTxmHeader(first, error);
            if (!header)
                return false;
            // A page no engine can lay out counts as no page: the text
            // still opens, on A4.
            if (header->tagged && isUsablePage(header->page)) {
                pageSettings = header->page;
                engine.setPageMarginL(pageSettings.MarginLeft);
                engine.setPageMarginT(pageSettings.MarginTop);
                engine.setPageMarginR(pageSettings.MarginRight);
                engine.setPageMarginB(pageSettings.MarginBottom);
                engine.setPageWidth(pageSettings.PaperWidth);
                engine.setPageHeight(pageSettings.PaperHeight);
            } else {
                setDefaultPage(engine);
            }
            offset = header->dataOffset;
        }
        if (engine.LoadDocument(path, offset, format, 0) != 0) {
            *error = withoutFileName(engine.errorString(), path);
            return false;
        }
        return true;
    } catch (const std::exception &failure) {
        *error = QString::fromLocal8Bit(failure.what());
        return false;
    }
}

bool saveDocumentFile(TTextEngine &engine, const QString &path, int format,
                      PageSettingsRecord &pageSettings, QString *error)
{
    try {
        QByteArray prefix;
        switch (format) {
        case FormatCode::Rtf:
        case FormatCode::Word:
        case FormatCode::Html:
            engine.SaveAttribute(0, engine.PageWidth());
            engine.SaveAttribute(1, engine.PageHeight());
            engine.SaveAttribute(2, engine.PageMarginL());
            engine.SaveAttribute(3, engine.PageMarginT());
            engine.SaveAttribute(4, engine.PageMarginR());
            engine.SaveAttribute(5, engine.PageMarginB());
            break;
        case FormatCode::Native:
            prefix = txmHeaderFor(engine, pageSettings);
            break;
        default:
            break;
        }
        if (engine.SaveDocumentAfter(path, prefix, format) != 0) {
            *error = withoutFileName(engine.errorString(), path);
            return false;
        }
        return true;
    } catch (const std::exception &failure) {
        *error = QString::fromLocal8Bit(failure.what());
        return false;
    }
}

} // namespace tamapiko::document
