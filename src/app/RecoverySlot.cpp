#include "app/RecoverySlot.h"

#include "engine/io/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QSet>
#include <QThreadPool>
#include <QUuid>

#include <algorithm>

namespace tamapiko::app {

namespace {

// Side files are a few hundred bytes; anything larger is not ours.
constexpr qint64 LargestSideFile = 64 * 1024;

// One thread, so that the writes and removals of a slot happen in the order
// they were asked for.
QThreadPool &writer()
{
    static QThreadPool *pool = [] {
        auto *threads = new QThreadPool;
        threads->setMaxThreadCount(1);
        return threads;
    }();
    return *pool;
}

} // namespace

RecoverySlot::RecoverySlot(QString id)
    : m_id(std::move(id))
{
}

RecoverySlot::~RecoverySlot() = default;

QString RecoverySlot::folder()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || !QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/tamapiko/recovery");
}

QString RecoverySlot::pathWith(const char *extension) const
{
    return folder() + u'/' + m_id + QLatin1String(extension);
}

QString RecoverySlot::snapshotPath() const
{
    return pathWith(".txm");
}

bool RecoverySlot::lock()
{
    m_lock = std::make_unique<QLockFile>(pathWith(".lock"));
    // Only a lock whose process is gone is stale, however old it is: an
    // instance that has been running for days still owns its documents.
    m_lock->setStaleLockTime(0);
    return m_lock->tryLock(0);
}

std::shared_ptr<RecoverySlot> RecoverySlot::create()
{
    if (!QDir().mkpath(folder()))
        return nullptr;
    std::shared_ptr<RecoverySlot> slot(new RecoverySlot(QUuid::createUuid().toString(QUuid::Id128)));
    return slot->lock() ? slot : nullptr;
}

bool RecoverySlot::readSideFile()
{
    QByteArray bytes;
    QString reason;
    if (!engine::readRegularFile(pathWith(".json"), LargestSideFile, &bytes, &reason))
        return false;
    const QJsonObject side = QJsonDocument::fromJson(bytes).object();
    m_caption = side.value(QLatin1String("caption")).toString();
    m_time = QDateTime::fromString(side.value(QLatin1String("time")).toString(), Qt::ISODateWithMs);
    return !m_caption.isEmpty() && m_time.isValid() && QFileInfo(snapshotPath()).isFile();
}

QList<std::shared_ptr<RecoverySlot>> RecoverySlot::claimOrphans()
{
    QList<std::shared_ptr<RecoverySlot>> orphans;
    QSet<QString> ids;
    const QStringList names = QDir(folder()).entryList(
        {QStringLiteral("*.json"), QStringLiteral("*.txm"), QStringLiteral("*.lock")}, QDir::Files);
    for (const QString &name : names)
        ids.insert(name.left(name.lastIndexOf(u'.')));
    for (const QString &id : std::as_const(ids)) {
        std::shared_ptr<RecoverySlot> slot(new RecoverySlot(id));
        if (!slot->lock())
            continue;   // its instance is running
        if (slot->readSideFile()) {
            orphans << slot;
        } else if (QFileInfo(slot->snapshotPath()).isFile()) {
            // The instance died between writing the snapshot and its side
            // file: the document is whole, only its name is unknown.
            slot->m_caption = QStringLiteral("NONAME");
            slot->m_time = QFileInfo(slot->snapshotPath()).lastModified();
            orphans << slot;
        } else {
            // Nothing left to restore: the side file goes, and the lock
            // with the slot.
            QFile::remove(slot->pathWith(".json"));
        }
    }
    std::sort(orphans.begin(), orphans.end(), [](const auto &a, const auto &b) { return a->m_time < b->m_time; });
    return orphans;
}

void RecoverySlot::write(const std::shared_ptr<RecoverySlot> &slot, std::function<QByteArray()> document,
                         const QString &caption)
{
    slot->m_caption = caption;
    slot->m_time = QDateTime::currentDateTime();
    QJsonObject side;
    side.insert(QLatin1String("caption"), caption);
    side.insert(QLatin1String("time"), slot->m_time.toString(Qt::ISODateWithMs));
    const QByteArray sideBytes = QJsonDocument(side).toJson();
    const QString snapshot = slot->snapshotPath();
    const QString sideFile = slot->pathWith(".json");
    writer().start([slot, document = std::move(document), sideBytes, snapshot, sideFile] {
        // The snapshot first: a side file always names a complete document.
        QString reason;
        if (engine::replaceFile(snapshot, document(), &reason))
            engine::replaceFile(sideFile, sideBytes, &reason);
    });
}

void RecoverySlot::remove(const std::shared_ptr<RecoverySlot> &slot)
{
    writer().start([slot] {
        QFile::remove(slot->pathWith(".json"));
        QFile::remove(slot->snapshotPath());
        slot->m_lock->unlock();
    });
}

void RecoverySlot::waitForWriter()
{
    writer().waitForDone();
}

} // namespace tamapiko::app
