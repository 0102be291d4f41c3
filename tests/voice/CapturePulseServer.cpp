#include "CapturePulseServer.h"

#include "support/TestSupport.h"

#include <QAudioDevice>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QMediaDevices>
#include <QStandardPaths>

#include <csignal>
#include <sys/prctl.h>

namespace zn::test {

CapturePulseServer::CapturePulseServer() = default;

CapturePulseServer::~CapturePulseServer()
{
    stop();
}

QString CapturePulseServer::address() const
{
    return QStringLiteral("unix:") + m_runtime.filePath(QStringLiteral("native"));
}

bool CapturePulseServer::connectQt() const
{
    qputenv("PULSE_SERVER", address().toLocal8Bit());
    return waitUntil([] { return !QMediaDevices::audioInputs().isEmpty(); }, kStartLimit);
}

QProcessEnvironment CapturePulseServer::clientEnvironment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
    env.insert(QStringLiteral("HOME"), m_home.path());
    env.insert(QStringLiteral("PULSE_SERVER"), address());
    return env;
}

bool CapturePulseServer::start()
{
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
    if (daemon.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("pactl")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("paplay")).isEmpty()) {
        m_error = QStringLiteral("pulseaudio, pactl and paplay are needed (packages pulseaudio, pulseaudio-utils)");
        return false;
    }
    if (!m_runtime.isValid() || !m_home.isValid()) {
        m_error = QStringLiteral("no temporary folders");
        return false;
    }
    const auto owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
    QFile::setPermissions(m_runtime.path(), owner);
    QFile::setPermissions(m_home.path(), owner);

    QProcessEnvironment env = clientEnvironment();
    env.remove(QStringLiteral("PULSE_SERVER"));
    m_daemon.setProcessEnvironment(env);
    m_daemon.setProcessChannelMode(QProcess::MergedChannels);
    // Even a test process that crashes or is killed on time-out takes its
    // daemon with it.
    m_daemon.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_daemon.start(daemon, {QStringLiteral("--daemonize=no"), QStringLiteral("--exit-idle-time=-1"),
                            QStringLiteral("-n"), QStringLiteral("--use-pid-file=no"),
                            QStringLiteral("--log-target=stderr"),
                            QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1 socket=") +
                                m_runtime.filePath(QStringLiteral("native")),
                            QStringLiteral("--load=module-null-sink rate=48000 channels=2 sink_name=") + sinkName()});
    // A loaded machine may take many seconds to start a daemon: the wait is
    // long, but a daemon that fails ends it at once, and its output says why.
    const QDeadlineTimer deadline(kStartLimit);
    if (!m_daemon.waitForStarted(int(deadline.remainingTime()))) {
        m_error = QStringLiteral("pulseaudio did not start: ") + m_daemon.errorString();
        return false;
    }
    auto giveUp = [this](const QString &why) {
        m_error = why + QStringLiteral("; its output:\n") + daemonOutput();
        stop();
        return false;
    };
    while (!QFileInfo::exists(m_runtime.filePath(QStringLiteral("native")))) {
        if (m_daemon.state() != QProcess::Running)
            return giveUp(QStringLiteral("pulseaudio ended before it came up"));
        if (deadline.hasExpired())
            return giveUp(QStringLiteral("pulseaudio did not come up within %1 s").arg(kStartLimit.count() / 1000));
        m_daemon.waitForFinished(20); // returns early should it end
    }
    // The socket exists a moment before the daemon accepts: wait for pactl.
    while (!pactl({QStringLiteral("info")}, deadline)) {
        if (m_daemon.state() != QProcess::Running)
            return giveUp(QStringLiteral("pulseaudio ended before it answered"));
        if (deadline.hasExpired())
            return giveUp(QStringLiteral("pulseaudio did not answer within %1 s").arg(kStartLimit.count() / 1000));
        m_daemon.waitForFinished(50);
    }
    return true;
}

QString CapturePulseServer::daemonOutput()
{
    m_daemon.waitForReadyRead(100);
    return QString::fromLocal8Bit(m_daemon.readAll());
}

void CapturePulseServer::stop()
{
    if (m_daemon.state() == QProcess::NotRunning)
        return;
    resume();
    m_daemon.terminate();
    if (!m_daemon.waitForFinished(3000)) {
        m_daemon.kill();
        m_daemon.waitForFinished(2000);
    }
}

std::optional<QString> CapturePulseServer::pactl(const QStringList &arguments, QDeadlineTimer deadline)
{
    QProcess process;
    process.setProcessEnvironment(clientEnvironment());
    process.start(QStringLiteral("pactl"), arguments);
    if (!process.waitForFinished(int(std::max<qint64>(1, deadline.remainingTime())))) {
        process.kill();
        process.waitForFinished(1000);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

bool CapturePulseServer::waitForRecording()
{
    const QDeadlineTimer deadline(kStartLimit);
    for (;;) {
        // "index, source, client, …": the remap module's own stream on the
        // sink monitor has no client ("-"); a program's capture stream has.
        const auto outputs = pactl({QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("source-outputs")},
                                   deadline);
        for (const QString &line : outputs.value_or(QString()).split(u'\n', Qt::SkipEmptyParts)) {
            const QStringList fields = line.split(u'\t');
            if (fields.size() > 2 && fields[2] != QStringLiteral("-"))
                return true;
        }
        if (deadline.hasExpired()) {
            m_error = QStringLiteral("nothing records from the sound server");
            return false;
        }
        // The program under test goes on meanwhile.
        waitUntil([] { return false; }, std::chrono::milliseconds(50));
    }
}

std::optional<int> CapturePulseServer::loadVirtualMicrophone(const QString &name)
{
    // Qt lists no monitor sources, so remap the sink's monitor into a
    // source of its own.
    const auto index = pactl({QStringLiteral("load-module"), QStringLiteral("module-remap-source"),
                              QStringLiteral("master=%1.monitor").arg(sinkName()),
                              QStringLiteral("source_name=") + name,
                              QStringLiteral("source_properties=device.description=") + name});
    bool ok = false;
    const int module = index ? index->toInt(&ok) : -1;
    if (!ok || !pactl({QStringLiteral("set-default-source"), name}))
        return std::nullopt;
    return module;
}

bool CapturePulseServer::unloadModule(int index)
{
    return pactl({QStringLiteral("unload-module"), QString::number(index)}).has_value();
}

void CapturePulseServer::pause()
{
    if (m_daemon.state() == QProcess::Running)
        ::kill(pid_t(m_daemon.processId()), SIGSTOP);
}

void CapturePulseServer::resume()
{
    if (m_daemon.state() == QProcess::Running)
        ::kill(pid_t(m_daemon.processId()), SIGCONT);
}

std::unique_ptr<QProcess> CapturePulseServer::playRaw(const QString &path) const
{
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(clientEnvironment());
    process->start(QStringLiteral("paplay"),
                   {QStringLiteral("-d"), sinkName(), QStringLiteral("--raw"), QStringLiteral("--rate=16000"),
                    QStringLiteral("--channels=1"), QStringLiteral("--format=s16le"), path});
    return process;
}

} // namespace zn::test
