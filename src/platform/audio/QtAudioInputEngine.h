#pragma once

#include "platform/audio/AudioInputEngine.h"

#include <QByteArray>
#include <QSet>
#include <QTimer>

#include <chrono>
#include <memory>
#include <mutex>

class QAudioFormat;
class QThread;

namespace zn {

class CaptureWorker;

// The system's default audio input through Qt Multimedia. The source lives
// on a capture thread of its own; its bytes are re-chunked into buffers of
// exactly the tap's frame count. Qt here sends no signal when inputs come or
// go, and the sound server silently moves a stream whose device vanished, so
// while running the input list is polled and any change is reported.
class QtAudioInputEngine final : public AudioInputEngine
{
    Q_OBJECT
public:
    explicit QtAudioInputEngine(QObject *parent = nullptr);
    ~QtAudioInputEngine() override;

    std::optional<AudioFormat> inputFormat() override;
    std::optional<AudioFormat> outputFormat() override;
    void installTap(std::uint32_t framesPerBuffer, const AudioFormat &format, TapBlock block) override;
    void removeTap() override;
    void prepare() override;
    std::optional<QString> start() override;
    void stop() override;
    void reset() override;
    bool isRunning() const override { return m_running; }

    static constexpr int devicePollIntervalMs = 500;
    // How long start() waits for the sound server to open the stream (a few
    // milliseconds normally). A server that answers later does not hold the
    // UI thread: start() reports success and a late failure arrives as
    // configurationChanged().
    static constexpr std::chrono::milliseconds openWait{20};

    // The format to tap for a device that prefers `preferred`: the same,
    // except that sample types the level meter cannot read (32-bit and 8-bit
    // integer, unknown) are asked for as float, which the server converts to.
    static AudioFormat tapFormatFor(const QAudioFormat &preferred);

private:
    friend class CaptureWorker;
    void deliver(const char *bytes, qsizetype length);
    void checkDevices();
    static QSet<QByteArray> inputIds();

    struct Tap
    {
        std::uint32_t frames = 0;
        AudioFormat format;
        TapBlock block;
    };
    std::mutex m_tapMutex; // held while the block runs, so removeTap() waits for it
    Tap m_tap;
    QByteArray m_pending; // capture thread only

    QThread *m_thread = nullptr;
    CaptureWorker *m_worker = nullptr;
    bool m_running = false;
    QSet<QByteArray> m_knownIds;
    QTimer m_pollTimer;
};

} // namespace zn
