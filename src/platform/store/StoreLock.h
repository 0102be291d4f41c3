#pragma once

#include "platform/store/StoreError.h"

#include <QLockFile>
#include <QString>

#include <memory>

namespace zn {

// One program at a time on a journal folder: a lock file in the folder,
// held while a store of it is open. Within this process every container of
// the folder shares the one lock; another process that asks while it is
// held gets the store's plain "busy" failure. A lock left by a process that
// has died is taken over. Thread-safe.
class StoreLock
{
public:
    static constexpr auto kFileName = "zephyrnote.lock";

    // The lock of `folder` (created when missing), taken now or shared with
    // its current holder in this process. Null when another live process
    // holds it (`error` Busy, naming `storePath`), or when no lock file can
    // be made there (`error` says what is wrong with the folder, as the
    // store's own open then says it).
    static std::shared_ptr<StoreLock> acquire(const QString &folder, const QString &storePath,
                                              StoreError *error = nullptr);

    ~StoreLock();
    StoreLock(const StoreLock &) = delete;
    StoreLock &operator=(const StoreLock &) = delete;

private:
    // `key`: the folder as storeFolderKey() spells it.
    explicit StoreLock(const QString &key);

    QString m_key;
    QLockFile m_file;
};

// The failure of a store that another program has open.
StoreError storeBusyError(const QString &storePath);

// The one spelling of a folder that names it for locks and the like.
QString storeFolderKey(const QString &folder);

} // namespace zn
