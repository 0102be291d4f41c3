#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <functional>

namespace zn::test {

// A fresh folder removed when the test ends.
class TempDir
{
public:
    TempDir();
    QString path() const { return m_dir.path(); }
    QString file(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
};

// Spins the Qt event loop until `done` returns true or `timeout` passes.
// Returns the final value of `done`.
bool waitUntil(const std::function<bool()> &done,
               std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));

// A loopback port held, bound but not listening, for as long as this object
// lives: connections to it are refused, and no other program on the machine
// takes it meanwhile. The address may be reused, so a server of the test
// can listen there while it is held. 0 when no port could be had.
class ReservedPort
{
public:
    ReservedPort();
    ~ReservedPort();
    ReservedPort(const ReservedPort &) = delete;
    ReservedPort &operator=(const ReservedPort &) = delete;
    quint16 port() const { return m_port; }

private:
    int m_socket = -1;
    quint16 m_port = 0;
};

// Absolute path of a file in the source tree (for shipped data and fixtures).
QString sourcePath(const QString &relative);

// Where a screen test writes its screenshot `name` (a PNG file name): the
// build folder's "screenshots" folder, made on first use. Open them and look.
QString screenshotPath(const QString &name);

// A shell script run with a small tmpfs of its own: `size` (as mount takes
// it, "4m") is mounted on the existing folder `mountPoint` in a private mount
// namespace, and the script gets `mountPoint` as $1 and `arguments` after
// it. Needs root and unshare; `skipReason` says why it could not run. The
// script runs under `set -e`: one that fails, or does not end, fails the
// test.
struct SmallFileSystemRun
{
    QString skipReason;
    QStringList lines; // of its standard output
    QString errors;
};
SmallFileSystemRun runOnSmallFileSystem(const QString &mountPoint, const QString &size, const QString &script,
                                        const QStringList &arguments = {});

} // namespace zn::test
