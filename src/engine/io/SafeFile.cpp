#include "engine/io/SafeFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tamapiko::engine {

namespace {

std::atomic<int> failingStep{-1};
std::atomic<int> failingError{0};

// Whether a test asked this step to fail; sets errno when it did.
bool injectedFailure(testing::FileStep step)
{
    int expected = int(step);
    if (!failingStep.compare_exchange_strong(expected, -1))
        return false;
    errno = failingError.load();
    return true;
}

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Leftovers of a save that was killed between naming its file and renaming
// it are this old at least; younger ones may belong to a save in progress.
constexpr qint64 StaleTemporarySeconds = 10 * 60;
constexpr int TemporarySuffixLength = 6;

class Descriptor
{
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(Descriptor &&other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;

    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }
    // Closes now, reporting what close() says (NFS reports write errors here).
    bool close()
    {
        const int fd = std::exchange(m_fd, -1);
        return ::close(fd) == 0 || errno == EINTR;
    }

private:
    int m_fd;
};

bool writeAll(int fd, const QByteArray &bytes)
{
    const char *data = bytes.constData();
    qint64 size = bytes.size();
    const bool fail = injectedFailure(testing::FileStep::Write);
    const int injectedError = errno;
    if (fail)
        size /= 2;
    qint64 done = 0;
    while (done < size) {
        const ssize_t written = ::pwrite(fd, data + done, size_t(std::min<qint64>(size - done, 1 << 30)), done);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (written == 0) {
            errno = EIO;
            return false;
        }
        done += written;
    }
    if (fail)
        errno = injectedError;
    return !fail;
}

bool syncFile(int fd)
{
    if (injectedFailure(testing::FileStep::Sync))
        return false;
    while (::fsync(fd) != 0) {
        if (errno != EINTR)
            return false;
    }
    return true;
}

bool renamePath(const QByteArray &from, const QByteArray &to)
{
    if (injectedFailure(testing::FileStep::Rename))
        return false;
    return std::rename(from.constData(), to.constData()) == 0;
}

// Makes the renaming of a file in `folder` durable.
void syncFolder(const QString &folder)
{
    const Descriptor directory(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory)
        ::fsync(directory.get());
}

mode_t newFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

QString temporarySiblingName(const QString &target)
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QString suffix;
    for (int i = 0; i < TemporarySuffixLength; ++i)
        suffix += QLatin1Char(letters[QRandomGenerator::global()->bounded(int(sizeof letters) - 1)]);
    const QFileInfo info(target);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + u'.' + suffix;
}

// Removes hidden ".NAME.XXXXXX" files that a killed save left beside the target.
void removeStaleTemporaries(const QString &target)
{
    const QFileInfo info(target);
    const QString prefix = QStringLiteral(".") + info.fileName() + u'.';
    const QDateTime staleBefore = QDateTime::currentDateTimeUtc().addSecs(-StaleTemporarySeconds);
    const QDir folder(info.absolutePath());
    const QStringList hidden = folder.entryList({prefix + QStringLiteral("*")}, QDir::Files | QDir::Hidden);
    for (const QString &name : hidden) {
        if (name.size() != prefix.size() + TemporarySuffixLength || !name.startsWith(prefix))
            continue;
        const QFileInfo leftover(folder.filePath(name));
        if (leftover.lastModified().toUTC() < staleBefore)
            QFile::remove(leftover.absoluteFilePath());
    }
}

// A file in `folder` that has no name yet, so that a crash leaves nothing
// behind; where the file system cannot do that, a hidden named one.
// `name` is empty for the unnamed kind.
Descriptor createTemporary(const QString &target, mode_t mode, QString *name)
{
    const QString folder = QFileInfo(target).absolutePath();
    name->clear();
    if (::access("/proc/self/fd", X_OK) == 0) {
        Descriptor unnamed(::open(QFile::encodeName(folder).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
        if (unnamed || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL))
            return unnamed;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        *name = temporarySiblingName(target);
        Descriptor named(::open(QFile::encodeName(*name).constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, mode));
        if (named || errno != EEXIST)
            return named;
    }
    return Descriptor();
}

// Gives the unnamed file `fd` a hidden name beside `target`.
bool nameTemporary(int fd, const QString &target, QString *name)
{
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        *name = temporarySiblingName(target);
        if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, QFile::encodeName(*name).constData(),
                     AT_SYMLINK_FOLLOW) == 0) {
            return true;
        }
        if (errno != EEXIST)
            break;
    }
    name->clear();
    return false;
}

// Reads straight into the result, made as large as the file says it is
// plus a byte (so that its end shows without growing it): a document of
// megabytes is not copied chunk by chunk into an ever larger array.
bool readAll(int fd, qint64 offset, qint64 maxBytes, QByteArray *contents, QString *reason, qint64 expected = 0)
{
    contents->clear();
    QByteArray buffer(std::clamp<qint64>(expected + 1, 1 << 16, std::max<qint64>(maxBytes + 1, 1 << 16)), Qt::Uninitialized);
    qsizetype size = 0;
    for (;;) {
        if (size == buffer.size())
            buffer.resize(buffer.size() * 2);
        const ssize_t got = ::pread(fd, buffer.data() + size, size_t(buffer.size() - size), offset + size);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            *reason = systemReason(errno);
            return false;
        }
        if (got == 0) {
            buffer.truncate(size);
            *contents = std::move(buffer);
            return true;
        }
        size += got;
        if (size > maxBytes) {
            *reason = QStringLiteral("the file is larger than %1 bytes").arg(maxBytes);
            return false;
        }
    }
}

// Writes over the file itself, for a folder that takes no new files. The
// room for the new contents is reserved first, and a failure puts the old
// contents back.
bool writeInPlace(const QString &target, const QByteArray &contents, QString *reason)
{
    const Descriptor file(::open(QFile::encodeName(target).constData(), O_RDWR | O_CLOEXEC));
    QByteArray old;
    if (!file || !readAll(file.get(), 0, LargestReadableFile, &old, reason)) {
        if (!file)
            *reason = systemReason(errno);
        return false;
    }
    if (contents.size() > old.size() && ::fallocate(file.get(), FALLOC_FL_KEEP_SIZE, 0, contents.size()) != 0) {
        *reason = QStringLiteral("no room to replace the file safely (%1)").arg(systemReason(errno));
        return false;
    }
    if (writeAll(file.get(), contents) && ::ftruncate(file.get(), contents.size()) == 0 && syncFile(file.get()))
        return true;
    *reason = systemReason(errno);
    if (writeAll(file.get(), old) && ::ftruncate(file.get(), old.size()) == 0)
        syncFile(file.get());
    return false;
}

} // namespace

QString resolveLinkChain(const QString &path, QString *reason)
{
    // The limit the kernel puts on links followed in one lookup.
    constexpr int MaxLinks = 40;
    QString current = QFileInfo(path).absoluteFilePath();
    for (int hop = 0; hop < MaxLinks; ++hop) {
        char buffer[4096];
        const ssize_t length = ::readlink(QFile::encodeName(current).constData(), buffer, sizeof buffer);
        if (length < 0 || length == ssize_t(sizeof buffer))
            return current;
        const QString next = QFile::decodeName(QByteArray(buffer, int(length)));
        current = QDir::cleanPath(QDir::isAbsolutePath(next) ? next : QFileInfo(current).absolutePath() + u'/' + next);
    }
    *reason = systemReason(ELOOP);
    return QString();
}

bool replaceFile(const QString &path, const QByteArray &contents, QString *reason)
{
    const QString target = resolveLinkChain(path, reason);
    if (target.isEmpty())
        return false;
    const QByteArray targetName = QFile::encodeName(target);
    struct stat old;
    const bool exists = ::stat(targetName.constData(), &old) == 0;
    if (!exists && errno != ENOENT) {
        *reason = systemReason(errno);
        return false;
    }
    if (exists && !S_ISREG(old.st_mode)) {
        *reason = QStringLiteral("not a regular file");
        return false;
    }
    const mode_t mode = exists ? old.st_mode & 07777 : newFileMode();

    removeStaleTemporaries(target);
    QString temporaryName;
    Descriptor file = createTemporary(target, mode, &temporaryName);
    if (!file) {
        const int error = errno;
        if (exists && (error == EACCES || error == EPERM) && ::access(targetName.constData(), W_OK) == 0)
            return writeInPlace(target, contents, reason);
        *reason = systemReason(error);
        return false;
    }

    bool done = writeAll(file.get(), contents) && ::fchmod(file.get(), mode) == 0;
    if (done && exists && (old.st_uid != ::geteuid() || old.st_gid != ::getegid())
        && ::fchown(file.get(), old.st_uid, old.st_gid) != 0) {
        // Only root may give a file away: the new file stays ours.
    }
    done = done && syncFile(file.get());
    if (done && temporaryName.isEmpty())
        done = nameTemporary(file.get(), target, &temporaryName);
    done = done && file.close() && renamePath(QFile::encodeName(temporaryName), targetName);
    if (!done) {
        *reason = systemReason(errno);
        if (!temporaryName.isEmpty())
            ::unlink(QFile::encodeName(temporaryName).constData());
        return false;
    }
    syncFolder(QFileInfo(target).absolutePath());
    return true;
}

bool readRegularFile(const QString &path, qint64 maxBytes, QByteArray *contents, QString *reason, qint64 offset)
{
    contents->clear();
    // Without O_NONBLOCK, opening a FIFO nobody writes to waits for ever.
    const Descriptor file(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!file) {
        *reason = systemReason(errno);
        return false;
    }
    struct stat info;
    if (::fstat(file.get(), &info) != 0) {
        *reason = systemReason(errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        *reason = QStringLiteral("not a regular file");
        return false;
    }
    if (offset < 0 || offset > info.st_size) {
        *reason = QStringLiteral("no data at offset %1").arg(offset);
        return false;
    }
    if (info.st_size - offset > maxBytes) {
        *reason = QStringLiteral("the file is larger than %1 bytes").arg(maxBytes);
        return false;
    }
    return readAll(file.get(), offset, maxBytes, contents, reason, info.st_size - offset);
}

namespace testing {

void failNextFileStep(FileStep step, int error)
{
    failingError = error;
    failingStep = int(step);
}

} // namespace testing

} // namespace tamapiko::engine
