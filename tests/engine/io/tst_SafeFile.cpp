#include "engine/io/SafeFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>

#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

using namespace tamapiko::engine;
using testing::FileStep;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

QStringList hiddenFiles(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral(".*")}, QDir::Files | QDir::Hidden | QDir::System);
}

mode_t modeOf(const QString &path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

} // namespace

class tst_SafeFile : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void everyFailedStepLeavesTheOldFile_data()
    {
        QTest::addColumn<FileStep>("step");
        QTest::addColumn<int>("error");
        QTest::newRow("short write, disk full") << FileStep::Write << ENOSPC;
        QTest::newRow("sync fails") << FileStep::Sync << EIO;
        QTest::newRow("rename fails") << FileStep::Rename << EXDEV;
    }
    void everyFailedStepLeavesTheOldFile()
    {
        QFETCH(FileStep, step);
        QFETCH(int, error);
        const QString target = m_dir.filePath(QStringLiteral("doc.rtf"));
        const QByteArray old = "{\\rtf1 the only copy of the old text}";
        writeAll(target, old);
        QVERIFY(::chmod(QFile::encodeName(target).constData(), 0604) == 0);

        testing::failNextFileStep(step, error);
        QString reason;
        QVERIFY(!replaceFile(target, QByteArray(100000, 'n'), &reason));
        QCOMPARE(reason, QString::fromLocal8Bit(std::strerror(error)));
        QCOMPARE(readAll(target), old);
        QCOMPARE(modeOf(target), mode_t(0604));
        QCOMPARE(hiddenFiles(m_dir.path()), QStringList());

        // The next save is not affected and keeps the permissions.
        QVERIFY2(replaceFile(target, "new", &reason), qPrintable(reason));
        QCOMPARE(readAll(target), QByteArray("new"));
        QCOMPARE(modeOf(target), mode_t(0604));
    }

    void followsTheWholeChainOfLinks()
    {
        QDir(m_dir.path()).mkpath(QStringLiteral("real"));
        const QString file = m_dir.filePath(QStringLiteral("real/letter.txt"));
        writeAll(file, "old");
        // first -> ./middle (relative) -> real/letter.txt (absolute)
        QVERIFY(QFile::link(file, m_dir.filePath(QStringLiteral("middle"))));
        QVERIFY(::symlink("middle", QFile::encodeName(m_dir.filePath(QStringLiteral("first"))).constData()) == 0);

        QString reason;
        QVERIFY2(replaceFile(m_dir.filePath(QStringLiteral("first")), "new", &reason), qPrintable(reason));
        QCOMPARE(readAll(file), QByteArray("new"));
        QVERIFY(QFileInfo(m_dir.filePath(QStringLiteral("first"))).isSymLink());
        QVERIFY(QFileInfo(m_dir.filePath(QStringLiteral("middle"))).isSymLink());

        // A loop is refused instead of followed for ever.
        const QString loop = m_dir.filePath(QStringLiteral("loop"));
        QVERIFY(::symlink("loop", QFile::encodeName(loop).constData()) == 0);
        QVERIFY(!replaceFile(loop, "x", &reason));
        QVERIFY(!reason.isEmpty());
    }

    void refusesToReplaceWhatIsNoFile()
    {
        QString reason;
        QVERIFY(!replaceFile(QStringLiteral("/dev/null"), "x", &reason));
        QCOMPARE(reason, QStringLiteral("not a regular file"));
        QVERIFY(!replaceFile(m_dir.path(), "x", &reason));
    }

    void staleTemporariesOfAKilledSaveAreRemoved()
    {
        const QString target = m_dir.filePath(QStringLiteral("report.txm"));
        const QString stale = m_dir.filePath(QStringLiteral(".report.txm.Ab3dE9"));
        const QString fresh = m_dir.filePath(QStringLiteral(".report.txm.Zz9yY8"));
        const QString unrelated = m_dir.filePath(QStringLiteral(".report.txm.notours"));
        for (const QString &path : {stale, fresh, unrelated})
            writeAll(path, "leftover");
        const struct timeval hourAgo[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
        for (const QString &path : {stale, unrelated})
            QVERIFY(::utimes(QFile::encodeName(path).constData(), hourAgo) == 0);

        QString reason;
        QVERIFY2(replaceFile(target, "text", &reason), qPrintable(reason));
        QVERIFY(!QFileInfo::exists(stale));
        QVERIFY(QFileInfo::exists(fresh));       // may be a save in progress
        QVERIFY(QFileInfo::exists(unrelated));
        for (const QString &path : {fresh, unrelated})
            QFile::remove(path);
    }

    void readsOnlyRegularFilesAndOnlyUpToTheLimit()
    {
        QByteArray bytes;
        QString reason;
        const QString fifo = m_dir.filePath(QStringLiteral("picture.png"));
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!readRegularFile(fifo, 1000, &bytes, &reason));   // returns, never waits for a writer
        QCOMPARE(reason, QStringLiteral("not a regular file"));
        QVERIFY(!readRegularFile(QStringLiteral("/dev/zero"), 1000, &bytes, &reason));
        QVERIFY(!readRegularFile(m_dir.path(), 1000, &bytes, &reason));
        QVERIFY(bytes.isEmpty());

        const QString file = m_dir.filePath(QStringLiteral("small.txt"));
        writeAll(file, "0123456789");
        QVERIFY(readRegularFile(file, 10, &bytes, &reason));
        QCOMPARE(bytes, QByteArray("0123456789"));
        QVERIFY(readRegularFile(file, 10, &bytes, &reason, 4));
        QCOMPARE(bytes, QByteArray("456789"));
        QVERIFY(!readRegularFile(file, 9, &bytes, &reason));
        QVERIFY(!readRegularFile(file, 10, &bytes, &reason, 11));
    }

    void folderWithoutRoomForNewFilesIsWrittenInPlaceWithRoomReserved()
    {
        if (::geteuid() == 0)
            QSKIP("root may add files to any folder");
        QDir(m_dir.path()).mkpath(QStringLiteral("closed"));
        const QString folder = m_dir.filePath(QStringLiteral("closed"));
        const QString target = folder + QStringLiteral("/kept.txt");
        writeAll(target, "old contents");
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0555) == 0);
        QString reason;
        const bool written = replaceFile(target, "new, longer contents", &reason);
        testing::failNextFileStep(FileStep::Write, ENOSPC);
        const bool failed = !replaceFile(target, QByteArray(5000, 'x'), &reason);
        const QByteArray after = readAll(target);
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0755) == 0);
        QVERIFY2(written, qPrintable(reason));
        QVERIFY(failed);
        QCOMPARE(after, QByteArray("new, longer contents"));
    }
};

QTEST_GUILESS_MAIN(tst_SafeFile)
#include "tst_SafeFile.moc"
