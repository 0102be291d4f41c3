#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zn::test {

namespace {
constexpr char kMounted[] = "zn-small-file-system-mounted";
}

TempDir::TempDir()
    : m_dir(QDir::tempPath() + QStringLiteral("/zephyrnote-test-XXXXXX"))
{
}

bool waitUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout)
{
    QDeadlineTimer deadline(timeout);
    while (!done()) {
        if (deadline.hasExpired())
            return done();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

ReservedPort::ReservedPort()
{
    m_socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int yes = 1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_socket >= 0 && ::setsockopt(m_socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) == 0
        && ::bind(m_socket, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0
        && ::getsockname(m_socket, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        m_port = ntohs(address.sin_port);
}

ReservedPort::~ReservedPort()
{
    if (m_socket >= 0)
        ::close(m_socket);
}

QString sourcePath(const QString &relative)
{
    QString root = qEnvironmentVariable("ZN_SOURCE_DIR");
    if (root.isEmpty())
        root = QStringLiteral(ZN_SOURCE_DIR_DEFAULT);
    return QDir(root).filePath(relative);
}

QString screenshotPath(const QString &name)
{
    QDir dir(QStringLiteral(ZN_BINARY_DIR_DEFAULT));
    dir.mkpath(QStringLiteral("screenshots"));
    return dir.filePath(QStringLiteral("screenshots/") + name);
}

SmallFileSystemRun runOnSmallFileSystem(const QString &mountPoint, const QString &size, const QString &script,
                                        const QStringList &arguments)
{
    SmallFileSystemRun run;
    if (::geteuid() != 0) {
        run.skipReason = QStringLiteral("mounting a small tmpfs needs root");
        return run;
    }
    const QString unshare = QStandardPaths::findExecutable(QStringLiteral("unshare"));
    if (unshare.isEmpty()) {
        run.skipReason = QStringLiteral("unshare is not installed");
        return run;
    }
    // The marker line tells a script that ran, and failed, from a mount or
    // a namespace this machine refuses; only those are reasons to skip.
    const QString mounted = QStringLiteral("mount -t tmpfs -o size=%1 tmpfs \"$1\" || exit 77; echo %2; set -e; ")
                                .arg(size, QLatin1String(kMounted));
    QProcess shell;
    // A group of its own: a helper the script started and that hangs ends
    // with it.
    shell.setChildProcessModifier([] { ::setpgid(0, 0); });
    shell.start(unshare, QStringList{QStringLiteral("-m"), QStringLiteral("--propagation"), QStringLiteral("private"),
                                     QStringLiteral("sh"), QStringLiteral("-c"), mounted + script, QStringLiteral("sh"),
                                     mountPoint}
                             + arguments);
    // Generous, as the machine may be busy, and still within a test's time.
    if (!shell.waitForFinished(90'000)) {
        ::kill(-pid_t(shell.processId()), SIGKILL);
        shell.waitForFinished();
        ADD_FAILURE() << "the script on the small file system did not finish in 90 s: "
                      << shell.readAllStandardError().toStdString();
        return run;
    }
    run.errors = QString::fromUtf8(shell.readAllStandardError());
    QStringList lines = QString::fromUtf8(shell.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    if (lines.isEmpty() || lines.first() != QLatin1String(kMounted)) {
        run.skipReason = QStringLiteral("cannot mount a tmpfs here: ") + run.errors;
        return run;
    }
    lines.removeFirst();
    run.lines = lines;
    if (shell.exitStatus() != QProcess::NormalExit || shell.exitCode() != 0)
        ADD_FAILURE() << "the script on the small file system failed with status " << shell.exitCode() << ": "
                      << run.errors.toStdString();
    return run;
}

} // namespace zn::test
