#pragma once

#include "platform/audio/AudioInputEngine.h"
#include "platform/audio/WavFile.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace zn {

// Plays an audio file into the tap from a thread of its own, paced at real
// time or faster, so dictation can run end to end without a microphone.
// After the file it keeps sending silence until stopped (optional).
class WavFileInputEngine final : public AudioInputEngine
{
    Q_OBJECT
public:
    // speed: 1 = real time, 4 = four times faster, 0 = as fast as possible.
    explicit WavFileInputEngine(WavFile file, double speed = 1.0, QObject *parent = nullptr);
    ~WavFileInputEngine() override;

    void setSilenceAfterEnd(bool on) { m_silenceAfterEnd = on; }

    std::optional<AudioFormat> inputFormat() override;
    std::optional<AudioFormat> outputFormat() override { return std::nullopt; }
    void installTap(std::uint32_t framesPerBuffer, const AudioFormat &format, TapBlock block) override;
    void removeTap() override;
    void prepare() override {}
    std::optional<QString> start() override;
    void stop() override;
    void reset() override {}
    bool isRunning() const override { return m_running; }

    bool reachedEnd() const { return m_reachedEnd.load(); }

private:
    void run(double speed, std::uint32_t frames, AudioFormat format);

    WavFile m_file;
    double m_speed;
    bool m_silenceAfterEnd = true;
    bool m_running = false;

    std::mutex m_tapMutex; // held while the block runs
    TapBlock m_block;
    std::uint32_t m_tapFrames = 0;
    AudioFormat m_tapFormat;

    std::mutex m_stopMutex;
    std::condition_variable m_stopCondition;
    bool m_stopRequested = false;
    std::thread m_thread;
    std::atomic<bool> m_reachedEnd{false};
};

} // namespace zn
