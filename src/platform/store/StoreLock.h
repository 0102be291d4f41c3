#pragma once

#include "platform/store/StoreError.h"

#include <QString>

#include <memory>

namespace zn {

// One program at a time on a journal folder: the holder keeps a kernel lock
// (flock) on the folder's lock file, on a descriptor open for as long as a
// store of it is open. The kernel drops that lock however the holder ends,
// so a lock file no live process holds (empty, half written, from before a
// reboot, naming a process id now used by another program) is taken over
// at once, and a live holder never is, however long it has held it. The
// holder writes its process id and name into the file for the message
// another program gives. Within this process every container of the folder
// shares the one lock. Thread-safe.
class StoreLock
{
public:
    static constexpr auto kFileName = "zephyrnote.lock";

    // The lock of `folder` (the file is created 0600 when missing), taken
    // now or shared with its current holder in this process. Null when
    // another live process holds it (`error` Busy, naming `storePath` and
    // the holder), or when no lock file can be made there (`error` says what
    // is wrong with the folder, as the store's own open then says it).
    static std::shared_ptr<StoreLock> acquire(const QString &folder, const QString &storePath,
                                              StoreError *error = nullptr);

    ~StoreLock();
    StoreLock(const StoreLock &) = delete;
    StoreLock &operator=(const StoreLock &) = delete;

    // For tests only: called once the lock is taken and the file emptied,
    // before the holder is written into it, so a kill can land there.
    static void setBeforeWritingHook(void (*hook)());

private:
    // `key`: the folder as storeFolderKey() spells it; `fd`: the locked file.
    StoreLock(const QString &key, int fd);

    QString m_key;
    int m_fd = -1;
};

// The failure of a store that another program has open; `holder`, when
// known, names it ("“name” (process 123)").
StoreError storeBusyError(const QString &storePath, const QString &holder = {});

// The one spelling of a folder that names it for locks and the like.
QString storeFolderKey(const QString &folder);

} // namespace zn
