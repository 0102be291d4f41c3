#include "platform/store/StoreLock.h"

#include "platform/store/SqlStore.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRecursiveMutex>

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

} // namespace

QString storeFolderKey(const QString &folder)
{
    return QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
}

StoreError storeBusyError(const QString &storePath)
{
    return StoreError(StoreError::Code::Busy,
                      QStringLiteral("Another program is using the journal store “%1”, so Zephyrnote can’t open it now. "
                                     "Nothing was moved or changed: close the other program and open Zephyrnote again.")
                          .arg(storePath));
}

StoreLock::StoreLock(const QString &key)
    : m_key(key)
    , m_file(QDir(key).filePath(QString::fromLatin1(kFileName)))
{
    // Only a dead holder makes a lock stale, however long a live one has
    // held it.
    m_file.setStaleLockTime(0);
}

StoreLock::~StoreLock()
{
    m_file.unlock();
    QMutexLocker locker(&s_mutex);
    auto it = heldLocks().find(m_key);
    if (it != heldLocks().end() && it->expired())
        heldLocks().erase(it);
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
    std::shared_ptr<StoreLock> lock(new StoreLock(key));
    if (lock->m_file.tryLock(0)) {
        heldLocks().insert(key, lock);
        return lock;
    }
    if (lock->m_file.error() == QLockFile::LockFailedError)
        return fail(storeBusyError(storePath));
    return fail(StoreError(StoreError::Code::CannotOpen,
                           QStringLiteral("The lock file of the journal folder “%1” could not be written.").arg(folder)));
}

} // namespace zn
