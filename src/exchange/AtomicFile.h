#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace zn {

// Writes `bytes` to `path` through a temporary file beside it, renamed into
// place once complete and on disk. A failure leaves a file already at `path`
// as it was and no temporary file behind, and is told as the system's
// reason ("No space left on device", "Permission denied"), however much had
// been written. The temporary file is its owner's alone from the moment it
// exists: a new file stays so, a replaced file keeps the permissions it
// had. A symbolic link at `path` is written through, as an editor would.
std::optional<QString> writeFileAtomically(const QString &path, const QByteArray &bytes);

} // namespace zn
