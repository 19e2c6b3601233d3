#pragma once

// The one way files are read and replaced, for documents, recovery
// snapshots and settings alike.
//
// Replacing: the new contents are written to an unnamed file in the target's
// folder, synced, and only then renamed over the target, so that a full disk,
// a failed write, flush, sync or rename, a crash or a power cut leaves the old
// file byte for byte. A chain of symbolic links is followed to the file at
// its end, which keeps its permissions. In a folder that takes no new files
// the file is written in place, but only after the room for the new
// contents is reserved; where that cannot be done the save is refused.
//
// Reading: only regular files are opened (a FIFO or a device would block or
// never end), and never more than a given number of bytes.

#include <QByteArray>
#include <QString>

namespace tamapiko::engine {

// Replaces the file at `path` with `contents`. On failure returns false,
// leaves any existing file as it was and sets `reason` (the system's words,
// without the file name).
bool replaceFile(const QString &path, const QByteArray &contents, QString *reason);

// The file at the end of a chain of symbolic links, as an absolute path; the
// path itself when it is no link. Empty (and `reason` set) for a loop.
QString resolveLinkChain(const QString &path, QString *reason);

// The whole of a regular file of at most `maxBytes` bytes, read from
// `offset` on. Anything else (a folder, FIFO, device or socket, a file that
// grows past the limit) is refused with a reason.
bool readRegularFile(const QString &path, qint64 maxBytes, QByteArray *contents, QString *reason,
                     qint64 offset = 0);

// Documents, pictures and settings are read whole; none is larger than this.
constexpr qint64 LargestReadableFile = qint64(1) << 30;

namespace testing {

// The steps of a replacement that a test may make fail, as a full disk or a
// failing device would.
enum class FileStep { Write, Sync, Rename };

// Makes the next `step` of any replacement fail with `error` (an errno
// value), once. Writes fail after half of the contents went out.
void failNextFileStep(FileStep step, int error);

} // namespace testing

} // namespace tamapiko::engine
