#pragma once

#include "platform/audio/AudioInputEngine.h"

#include <QByteArray>
#include <QSet>
#include <QTimer>

#include <chrono>
#include <memory>

class QAudioFormat;
class QThread;

namespace zn {

// The system's default audio input through Qt Multimedia. The source lives
// on a capture thread of its own; its bytes are re-chunked into buffers of
// exactly the tap's frame count. Qt here sends no signal when inputs come or
// go, and the sound server silently moves a stream whose device vanished, so
// while running the input list is polled and any change is reported.
// Neither start() nor stop() waits on the sound server for more than a
// moment: the UI thread calls them.
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

    // Shared with the capture thread's worker.
    struct TapSink;

private:
    void checkDevices();
    static QSet<QByteArray> inputIds();

    // Where the capture thread delivers; a stopped stream's thread may still
    // be winding down, so it holds its own sink rather than this engine.
    std::shared_ptr<TapSink> m_sink;
    QThread *m_thread = nullptr;
    QObject *m_worker = nullptr; // lives on m_thread
    bool m_running = false;
    QSet<QByteArray> m_knownIds;
    QTimer m_pollTimer;
};

} // namespace zn
