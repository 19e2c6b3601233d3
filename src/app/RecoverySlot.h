#pragma once

// One document's place in the recovery folder
// ($XDG_STATE_HOME/tamapiko/recovery/): the latest snapshot as an ordinary
// .txm document (<id>.txm), a side file naming the document and the time
// (<id>.json), and a lock file (<id>.lock) that says which running instance
// owns it. A slot whose owner died (a crash, kill -9, a power cut) can be
// claimed by the next start, which offers its document for restoring.
//
// Snapshots are written and slots removed on one worker thread, in the order
// asked, each file atomically (replaceFile), so typing never waits for a disk.

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>
#include <memory>

class QLockFile;

namespace tamapiko::app {

class RecoverySlot
{
public:
    ~RecoverySlot();

    // The folder, from $XDG_STATE_HOME (or ~/.local/state).
    static QString folder();

    // A new slot, locked by this instance; nullptr when the folder cannot be
    // made or locked.
    static std::shared_ptr<RecoverySlot> create();
    // The slots of instances that are no longer running, each now locked by
    // this one, oldest snapshot first. A snapshot without a readable side
    // file is offered as NONAME, dated by the file; what is left of a slot
    // without a snapshot is removed.
    static QList<std::shared_ptr<RecoverySlot>> claimOrphans();

    QString snapshotPath() const;
    // The document's caption when the snapshot was taken: its path, or
    // NONAME… for a document that was never saved.
    QString caption() const { return m_caption; }
    QDateTime time() const { return m_time; }

    // Queues the writing of a snapshot with `caption`: `document` makes the
    // whole .txm file, on the writer's thread.
    static void write(const std::shared_ptr<RecoverySlot> &slot, std::function<QByteArray()> document,
                      const QString &caption);
    // Queues the removal of the slot's files, after any writes still queued.
    static void remove(const std::shared_ptr<RecoverySlot> &slot);
    // Waits until every queued write and removal is done (before the
    // program ends, and in tests).
    static void waitForWriter();

private:
    explicit RecoverySlot(QString id);
    QString pathWith(const char *extension) const;
    bool lock();
    bool readSideFile();

    QString m_id;
    QString m_caption;
    QDateTime m_time;
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace tamapiko::app
