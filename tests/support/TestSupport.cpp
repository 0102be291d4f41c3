#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QThread>

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

namespace {
QtWarningLog *activeLog = nullptr;
} // namespace

QtWarningLog::QtWarningLog()
{
    Q_ASSERT(!activeLog);
    activeLog = this;
    m_previous = qInstallMessageHandler(&QtWarningLog::record);
}

QtWarningLog::~QtWarningLog()
{
    qInstallMessageHandler(m_previous);
    activeLog = nullptr;
}

void QtWarningLog::record(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtDebugMsg || type == QtInfoMsg) {
        if (activeLog && activeLog->m_previous)
            activeLog->m_previous(type, context, message);
        return;
    }
    if (activeLog)
        activeLog->m_messages.append(message);
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

} // namespace zn::test
