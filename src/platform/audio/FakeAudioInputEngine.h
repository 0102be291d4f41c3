#pragma once

#include "platform/audio/AudioInputEngine.h"

#include <QStringList>

#include <memory>

namespace zn {

// A scripted input for tests: formats and start errors are set by hand,
// buffers are pushed synchronously on the caller's thread, and every engine
// call is counted.
class FakeAudioInputEngine final : public AudioInputEngine
{
    Q_OBJECT
public:
    using AudioInputEngine::AudioInputEngine;
    ~FakeAudioInputEngine() override;

    // Records each engine call by name ("installTap", "removeTap", "prepare",
    // "start", "stop", "reset", and "destroyed" or "destroyed while running"),
    // so order and teardown can be checked after the engine is gone.
    void setCallLog(std::shared_ptr<QStringList> log) { m_log = std::move(log); }

    void setInputFormat(std::optional<AudioFormat> format) { m_inputFormat = format; }
    void setOutputFormat(std::optional<AudioFormat> format) { m_outputFormat = format; }
    // Nothing: start() succeeds.
    void setStartError(std::optional<QString> error) { m_startError = std::move(error); }

    std::optional<AudioFormat> inputFormat() override { return m_inputFormat; }
    std::optional<AudioFormat> outputFormat() override { return m_outputFormat; }
    void installTap(std::uint32_t framesPerBuffer, const AudioFormat &format, TapBlock block) override;
    void removeTap() override;
    void prepare() override;
    std::optional<QString> start() override;
    void stop() override;
    void reset() override;
    bool isRunning() const override { return m_running; }

    // Hands the buffer to the tap when one is installed and the engine runs.
    bool pushBuffer(const AudioBuffer &buffer);
    void emitConfigurationChanged() { Q_EMIT configurationChanged(); }

    bool hasTap() const { return static_cast<bool>(m_block); }
    std::uint32_t tapFrames() const { return m_tapFrames; }
    const AudioFormat &tapFormat() const { return m_tapFormat; }
    int installTapCount() const { return m_installTapCount; }
    int removeTapCount() const { return m_removeTapCount; }
    int prepareCount() const { return m_prepareCount; }
    int startCount() const { return m_startCount; }
    int stopCount() const { return m_stopCount; }
    int resetCount() const { return m_resetCount; }

private:
    void note(const char *call);

    std::shared_ptr<QStringList> m_log;
    std::optional<AudioFormat> m_inputFormat;
    std::optional<AudioFormat> m_outputFormat;
    std::optional<QString> m_startError;
    TapBlock m_block;
    std::uint32_t m_tapFrames = 0;
    AudioFormat m_tapFormat;
    bool m_running = false;
    int m_installTapCount = 0;
    int m_removeTapCount = 0;
    int m_prepareCount = 0;
    int m_startCount = 0;
    int m_stopCount = 0;
    int m_resetCount = 0;
};

} // namespace zn
