#pragma once

#include <QString>

namespace zn {

// A store failure with a message a person can read. Every fallible store
// operation hands one of these back instead of throwing.
struct StoreError
{
    enum class Code {
        CannotOpen,   // folder or file could not be opened or created
        Incompatible, // not a database, another schema version, missing table or column
        Unavailable,  // the configuration cannot be served (a second connection to memory)
        SaveFailed,   // the transaction did not commit; nothing was written
        FetchFailed,
        Closed,       // the container is gone
        Busy,             // another program holds the store's lock
        PermissionDenied, // the files or their folder may not be read or written
        DiskFull,         // no space left for the store to open or grow
        Damaged,          // the file is a store of this schema, but pages of it are broken
    };

    Code code = Code::SaveFailed;
    QString message;

    StoreError() = default;
    StoreError(Code c, QString text) : code(c), message(std::move(text)) {}

    // Textual description, as used in log lines and alerts.
    QString description() const { return message; }

    // A store that cannot be used as it is: only such a store is moved aside
    // and replaced. Every other failure leaves the files where they are.
    bool needsReplacing() const { return code == Code::Incompatible || code == Code::Damaged; }
    // A cause outside the store that goes away (a lock, permissions, space).
    bool isTransient() const
    {
        return code == Code::Busy || code == Code::PermissionDenied || code == Code::DiskFull;
    }
};

} // namespace zn
