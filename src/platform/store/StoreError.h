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
        Unavailable,  // the configuration cannot be served on this system (cloud)
        SaveFailed,   // the transaction did not commit; nothing was written
        FetchFailed,
        Closed,       // the container is gone
    };

    Code code = Code::SaveFailed;
    QString message;

    StoreError() = default;
    StoreError(Code c, QString text) : code(c), message(std::move(text)) {}

    // Textual description, as used in log lines and alerts.
    QString description() const { return message; }
};

} // namespace zn
