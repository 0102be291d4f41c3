#include "support/MarkedProcesses.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>
#include <QUuid>

#include <csignal>
#include <unistd.h>

namespace zn::test {
namespace {

QByteArray readProcFile(qint64 pid, const char *name)
{
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name)));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace

MarkedProcesses::MarkedProcesses()
    : m_value(QUuid::createUuid().toString(QUuid::WithoutBraces))
{
}

void MarkedProcesses::mark(QProcessEnvironment &environment) const
{
    environment.insert(QString::fromLatin1(kVariable), m_value);
}

QList<qint64> MarkedProcesses::running() const
{
    const QByteArray wanted = QByteArray(kVariable) + '=' + m_value.toLatin1();
    const qint64 self = ::getpid();
    QList<qint64> found;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number || pid == self)
            continue;
        // A zombie keeps no environment; it is gone as far as a test is
        // concerned once its parent reaps it.
        const QByteArray environment = readProcFile(pid, "environ");
        if (environment.split('\0').contains(wanted))
            found << pid;
    }
    return found;
}

QString MarkedProcesses::describe(const QList<qint64> &processes)
{
    QStringList lines;
    for (qint64 pid : processes) {
        QByteArray command = readProcFile(pid, "cmdline");
        command.replace('\0', ' ');
        lines << QStringLiteral("%1 %2").arg(pid).arg(QString::fromLocal8Bit(command.trimmed()));
    }
    return lines.join(QLatin1Char('\n'));
}

QList<qint64> MarkedProcesses::killAll(int waitMs) const
{
    const QDeadlineTimer deadline(waitMs);
    QList<qint64> left = running();
    while (!left.isEmpty()) {
        for (qint64 pid : left)
            ::kill(pid_t(pid), SIGKILL);
        if (deadline.hasExpired())
            break;
        QThread::msleep(20);
        left = running();
    }
    return left;
}

} // namespace zn::test
