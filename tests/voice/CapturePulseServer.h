#pragma once

#include <QDeadlineTimer>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <chrono>
#include <memory>
#include <optional>

namespace zn::test {

// A private PulseAudio daemon for one test: its own runtime and home
// folders (mode 0700), a null sink to play into, and virtual microphones
// fed from that sink. It works as root too (the daemon only warns), and it
// is stopped when this object goes, whatever the test's outcome.
class CapturePulseServer
{
public:
    CapturePulseServer();
    ~CapturePulseServer();
    CapturePulseServer(const CapturePulseServer &) = delete;
    CapturePulseServer &operator=(const CapturePulseServer &) = delete;

    // How long starting the daemon, or Qt or a capture stream finding it,
    // may take: generous, for a machine busy with other work.
    static constexpr std::chrono::milliseconds kStartLimit{30000};

    // Starts the daemon and waits (bounded) until it answers. False with
    // error() set, holding the daemon's own output, when it cannot.
    bool start();
    void stop();
    QString error() const { return m_error; }

    // "unix:<socket>", for PULSE_SERVER.
    QString address() const;
    // Points Qt Multimedia at this server and waits (bounded) until it lists
    // an audio input. Qt binds to one server per process, at first use, so
    // this must come before anything else touches Qt Multimedia.
    bool connectQt() const;
    QString sinkName() const { return QStringLiteral("zn_test_sink"); }

    // A capture source fed by everything played into the sink; becomes the
    // default source. Returns the module index, for unloading.
    std::optional<int> loadVirtualMicrophone(const QString &name);
    bool unloadModule(int index);

    // Freezes and thaws the daemon, as a server too busy to answer would be.
    void pause();
    void resume();

    // Waits (bounded) until a program records from one of this server's
    // sources: what is played from then on reaches it. False with error()
    // set when none does.
    bool waitForRecording();

    // Plays raw 16 kHz mono s16le audio into the sink (asynchronous).
    std::unique_ptr<QProcess> playRaw(const QString &path) const;

private:
    std::optional<QString> pactl(const QStringList &arguments, QDeadlineTimer deadline = QDeadlineTimer(kStartLimit));
    QString daemonOutput();
    QProcessEnvironment clientEnvironment() const;

    QTemporaryDir m_runtime;
    QTemporaryDir m_home;
    QProcess m_daemon;
    QString m_error;
};

} // namespace zn::test
