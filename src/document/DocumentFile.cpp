#include "document/DocumentFile.h"

#include "document/DocumentFileTypes.h"
#include "engine/TTextEngine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QtEndian>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>

#include <sys/stat.h>
#include <unistd.h>

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

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Permissions for the new file: the old file's, or those a newly created
// file gets under the process's umask.
mode_t permissionsFor(const QString &target)
{
    struct stat existing;
    if (::stat(QFile::encodeName(target).constData(), &existing) == 0)
        return existing.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

bool syncToDisk(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite) && ::fsync(file.handle()) == 0;
}

// Writes the finished file's bytes over `target`, keeping its inode and so
// its owner and permissions.
bool copyOver(const QString &finished, const QString &target, QString *error)
{
    QFile source(finished);
    QFile destination(target);
    if (!source.open(QIODevice::ReadOnly)) {
        *error = source.errorString();
        return false;
    }
    const QByteArray bytes = source.readAll();
    if (!destination.open(QIODevice::ReadWrite) || destination.write(bytes) != bytes.size()
        || !destination.resize(bytes.size()) || !destination.flush() || ::fsync(destination.handle()) != 0) {
        *error = destination.errorString();
        return false;
    }
    return true;
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
            *error = engine.errorString();
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
    // Through a symbolic link the file it points to is replaced, not the link.
    const QFileInfo info(path);
    const QString target = info.isSymLink() ? info.symLinkTarget() : info.absoluteFilePath();

    // A file the user may write in a folder where no file may be added
    // cannot be replaced: the new contents are made complete elsewhere and
    // only then copied over it.
    const QString targetFolder = QFileInfo(target).absolutePath();
    const bool inPlace = !QFileInfo(targetFolder).isWritable() && QFileInfo(target).isWritable();
    QTemporaryFile temporary(inPlace ? QDir::tempPath() + QStringLiteral("/tamapiko-save.XXXXXX")
                                     : targetFolder + QStringLiteral("/.") + QFileInfo(target).fileName()
                                           + QStringLiteral(".XXXXXX"));
    if (!temporary.open()) {
        *error = temporary.errorString();
        return false;
    }
    const QString temporaryPath = temporary.fileName();

    try {
        int offset = 0;
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
        case FormatCode::Native: {
            pageSettings.MarginLeft = engine.PageMarginL();
            pageSettings.MarginTop = engine.PageMarginT();
            pageSettings.MarginRight = engine.PageMarginR();
            pageSettings.MarginBottom = engine.PageMarginB();
            pageSettings.PaperHeight = engine.PageHeight();
            pageSettings.PaperWidth = engine.PageWidth();
            const QByteArray header = encodeTxmHeader(pageSettings);
            if (temporary.write(header) != header.size() || !temporary.flush()) {
                *error = temporary.errorString();
                return false;
            }
            offset = TxmHeaderSize;
            break;
        }
        default:
            break;
        }
        temporary.close();
        if (engine.SaveDocument(temporaryPath, offset, format, 0) != 0) {
            *error = engine.errorString();
            return false;
        }
    } catch (const std::exception &failure) {
        *error = QString::fromLocal8Bit(failure.what());
        return false;
    }

    if (inPlace)
        return copyOver(temporaryPath, target, error);
    if (!syncToDisk(temporaryPath)
        || ::chmod(QFile::encodeName(temporaryPath).constData(), permissionsFor(target)) != 0
        || std::rename(QFile::encodeName(temporaryPath).constData(), QFile::encodeName(target).constData()) != 0) {
        *error = systemError();
        return false;
    }
    temporary.setAutoRemove(false);
    return true;
}

} // namespace tamapiko::document
