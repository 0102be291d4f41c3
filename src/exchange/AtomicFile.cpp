#include "exchange/AtomicFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zn {
namespace {

// Longest name kept from the target in the temporary file's name, so that
// its prefix and suffix still fit the file system's limit.
constexpr int kNameKept = 200;

QString reason(int err)
{
    return qt_error_string(err);
}

// The file a link at `path` ends at; `path` itself otherwise.
QString resolvedTarget(const QString &path)
{
    QString target = path;
    for (int depth = 0; depth < 16 && QFileInfo(target).isSymLink(); ++depth)
        target = QFileInfo(target).symLinkTarget();
    return target;
}

} // namespace

std::optional<QString> writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    const QString target = resolvedTarget(path);
    const QFileInfo info(target);
    const QByteArray nativeTarget = QFile::encodeName(target);
    struct stat existing {};
    const bool exists = ::stat(nativeTarget.constData(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode))
        return reason(EISDIR);
    // A device or pipe is never replaced by a file, nor is a file its
    // owner made read-only.
    if (exists && !S_ISREG(existing.st_mode))
        return QStringLiteral("That is not a regular file.");
    if (exists && ::access(nativeTarget.constData(), W_OK) != 0)
        return reason(errno);

    // mkostemp() makes the file 0600 whatever the umask.
    QByteArray temporary = QFile::encodeName(info.absolutePath() + QStringLiteral("/.")
                                             + info.fileName().left(kNameKept) + QStringLiteral(".XXXXXX"));
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return reason(errno);
    const auto fail = [&](int err) -> std::optional<QString> {
        ::close(fd);
        ::unlink(temporary.constData());
        return reason(err);
    };

    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return fail(errno);
        }
        if (written == 0)
            return fail(ENOSPC);
        data += written;
        left -= written;
    }
    // Some file systems report a full disk only when the data is flushed.
    if (::fsync(fd) != 0)
        return fail(errno);
    if (exists && ::fchmod(fd, existing.st_mode & 07777) != 0)
        return fail(errno);
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(temporary.constData());
        return reason(err);
    }
    if (::rename(temporary.constData(), nativeTarget.constData()) != 0) {
        const int err = errno;
        ::unlink(temporary.constData());
        return reason(err);
    }
    // The new name on disk too; a failure here loses nothing already written.
    const int folder = ::open(QFile::encodeName(info.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return std::nullopt;
}

} // namespace zn
