#include "platform/store/StoreLock.h"

#include "platform/store/SqlStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRecursiveMutex>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zn {
namespace {

// Recursive: a lock that was not taken goes away while the mutex is held.
QRecursiveMutex s_mutex;
// The locks this process holds, by folder key.
QHash<QString, std::weak_ptr<StoreLock>> &heldLocks()
{
    static QHash<QString, std::weak_ptr<StoreLock>> locks;
    return locks;
}

std::atomic<void (*)()> s_beforeWriting{nullptr};

// The kernel's name of a process (its "comm"), empty when it has none.
QByteArray processName(const QString &pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!comm.open(QIODevice::ReadOnly))
        return {};
    return comm.readAll().trimmed();
}

// "<pid>\n<name>\n": what a holder writes, in the shape QLockFile used.
QByteArray holderRecord()
{
    return QByteArray::number(qint64(::getpid())) + '\n' + processName(QStringLiteral("self")) + '\n';
}

// The holder the file names, as "“name” (process 123)", when that process
// runs under that name; empty for a record that is torn or out of date
// (a holder between taking the lock and writing it).
QString namedHolder(int fd)
{
    char text[256];
    const ssize_t got = ::pread(fd, text, sizeof text, 0);
    if (got <= 0)
        return {};
    const QList<QByteArray> lines = QByteArray(text, got).split('\n');
    if (lines.size() < 3)
        return {};
    bool isNumber = false;
    const qint64 pid = lines[0].toLongLong(&isNumber);
    if (!isNumber || pid <= 0 || lines[1].isEmpty() || processName(QString::number(pid)) != lines[1])
        return {};
    return QStringLiteral("“%1” (process %2)").arg(QString::fromLocal8Bit(lines[1])).arg(pid);
}

} // namespace

QString storeFolderKey(const QString &folder)
{
    return QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
}

StoreError storeBusyError(const QString &storePath, const QString &holder)
{
    const QString held = holder.isEmpty() ? QString() : QStringLiteral(" It is held by %1.").arg(holder);
    return StoreError(StoreError::Code::Busy,
                      QStringLiteral("Another program is using the journal store “%1”, so Zephyrnote can’t open it "
                                     "now.%2 Nothing was moved or changed: close the other program and open "
                                     "Zephyrnote again.")
                          .arg(storePath, held));
}

StoreLock::StoreLock(const QString &key, int fd)
    : m_key(key)
    , m_fd(fd)
{
}

StoreLock::~StoreLock()
{
    // Closing the only descriptor of the file drops the lock. The file stays:
    // removing it would let a start that opened it just before take a lock
    // on a file no later start sees.
    ::close(m_fd);
    QMutexLocker locker(&s_mutex);
    auto it = heldLocks().find(m_key);
    if (it != heldLocks().end() && it->expired())
        heldLocks().erase(it);
}

void StoreLock::setBeforeWritingHook(void (*hook)())
{
    s_beforeWriting.store(hook);
}

std::shared_ptr<StoreLock> StoreLock::acquire(const QString &folder, const QString &storePath, StoreError *error)
{
    const QString key = storeFolderKey(folder);
    QMutexLocker locker(&s_mutex);
    if (auto held = heldLocks().value(key).lock())
        return held;

    const auto fail = [&](StoreError e) -> std::shared_ptr<StoreLock> {
        if (error)
            *error = std::move(e);
        return nullptr;
    };
    // The journal is private from its first moment.
    if (auto e = SqlStore::prepareFolder(folder))
        return fail(*e);
    const auto unusable = [&] {
        return fail(StoreError(StoreError::Code::CannotOpen,
                               QStringLiteral("The lock file of the journal folder “%1” could not be written.").arg(folder)));
    };
    // Never truncated on opening: a live holder's record stays readable until
    // this start holds the lock. Not inherited by programs this one starts,
    // which would otherwise keep the journal held after it ends.
    const QByteArray path = QFile::encodeName(QDir(key).filePath(QString::fromLatin1(kFileName)));
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return unusable();
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return unusable();
    }
    // flock, not fcntl: it belongs to this open file, so another open of it
    // in this process cannot take it too, nor drop it by closing.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        const QString holder = err == EWOULDBLOCK ? namedHolder(fd) : QString();
        ::close(fd);
        if (err == EWOULDBLOCK)
            return fail(storeBusyError(storePath, holder));
        return unusable();
    }
    // Ours now, whatever the file said. A lock file made before lock files
    // were 0600 becomes so. The record only names the holder: without room
    // on the disk for it the lock holds all the same.
    if (st.st_uid == ::getuid() && (st.st_mode & 0077))
        ::fchmod(fd, 0600);
    const QByteArray record = holderRecord();
    if (::ftruncate(fd, 0) == 0) {
        if (auto hook = s_beforeWriting.load())
            hook();
        [[maybe_unused]] const ssize_t written = ::pwrite(fd, record.constData(), size_t(record.size()), 0);
    }
    std::shared_ptr<StoreLock> lock(new StoreLock(key, fd));
    heldLocks().insert(key, lock);
    return lock;
}

} // namespace zn
