#include "CapturePulseServer.h"

#include "support/TestSupport.h"

#include <QAudioDevice>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QMediaDevices>
#include <QStandardPaths>
#include <QThread>

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
    return waitUntil([] { return !QMediaDevices::audioInputs().isEmpty(); }, std::chrono::milliseconds(5000));
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
    if (!m_daemon.waitForStarted(3000)) {
        m_error = QStringLiteral("pulseaudio did not start: ") + m_daemon.errorString();
        return false;
    }
    const QDeadlineTimer deadline(5000);
    while (!QFileInfo::exists(m_runtime.filePath(QStringLiteral("native")))) {
        if (deadline.hasExpired() || m_daemon.state() != QProcess::Running) {
            m_daemon.waitForReadyRead(100);
            m_error = QStringLiteral("pulseaudio did not come up: ") + QString::fromLocal8Bit(m_daemon.readAll());
            stop();
            return false;
        }
        QThread::msleep(20);
    }
    // The socket exists a moment before the daemon accepts: wait for pactl.
    while (!pactl({QStringLiteral("info")})) {
        if (deadline.hasExpired()) {
            m_error = QStringLiteral("pulseaudio does not answer");
            stop();
            return false;
        }
        QThread::msleep(50);
    }
    return true;
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

std::optional<QString> CapturePulseServer::pactl(const QStringList &arguments)
{
    QProcess process;
    process.setProcessEnvironment(clientEnvironment());
    process.start(QStringLiteral("pactl"), arguments);
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(1000);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
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
