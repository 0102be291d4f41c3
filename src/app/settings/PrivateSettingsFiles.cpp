#include "app/settings/PrivateSettingsFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zn {
namespace {

// Only what this account owns is tightened: a shared or system folder
// stays as its owner set it.
void tighten(const QByteArray &path, mode_t wanted)
{
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0 || S_ISLNK(st.st_mode) || st.st_uid != ::geteuid())
        return;
    if ((st.st_mode & 07777 & ~wanted) != 0)
        ::chmod(path.constData(), wanted);
}

// The folder and any missing parent made 0700, as the XDG base directory
// rules ask for folders a program creates under the user's config folder.
void makePrivateFolder(const QString &folder)
{
    const QString parent = QFileInfo(folder).absolutePath();
    if (!QFileInfo(parent).isDir() && parent != folder)
        makePrivateFolder(parent);
    const QByteArray native = QFile::encodeName(folder);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return;
    tighten(native, 0700);
}

void makePrivateFile(const QString &file)
{
    const QByteArray native = QFile::encodeName(file);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::close(fd);
        return;
    }
    if (errno == EEXIST)
        tighten(native, 0600);
}

} // namespace

void keepSettingsFilesPrivate(const QString &settingsFile)
{
    const QString folder = QFileInfo(settingsFile).absolutePath();
    makePrivateFolder(folder);
    makePrivateFile(settingsFile);

    // Qt's dialogs use the native format's per-user path, which nothing of
    // ours uses: the settings themselves are an INI file.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
    makePrivateFile(QSettings(QSettings::UserScope, QStringLiteral("QtProject")).fileName());
}

} // namespace zn
