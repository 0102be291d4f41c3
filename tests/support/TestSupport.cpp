#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <unistd.h>

namespace zn::test {

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
    const QString mounted = QStringLiteral("set -e; mount -t tmpfs -o size=%1 tmpfs \"$1\" || exit 77; ").arg(size);
    QProcess shell;
    shell.start(unshare, QStringList{QStringLiteral("-m"), QStringLiteral("--propagation"), QStringLiteral("private"),
                                     QStringLiteral("sh"), QStringLiteral("-c"), mounted + script, QStringLiteral("sh"),
                                     mountPoint}
                             + arguments);
    if (!shell.waitForFinished(60'000)) {
        shell.kill();
        shell.waitForFinished();
        run.skipReason = QStringLiteral("the script on the small file system did not finish");
        return run;
    }
    run.errors = QString::fromUtf8(shell.readAllStandardError());
    if (shell.exitCode() == 77 || shell.exitCode() == 1) {
        run.skipReason = QStringLiteral("cannot mount a tmpfs here: ") + run.errors;
        return run;
    }
    run.lines = QString::fromUtf8(shell.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    return run;
}

} // namespace zn::test
