#pragma once

#include "platform/audio/AudioBuffer.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

namespace zn {

// The audio input the capture service taps: one input, one tap on it.
// Everything except the tap block runs on the main thread.
class AudioInputEngine : public QObject
{
    Q_OBJECT
public:
    // Called with every captured buffer, in order, on the engine's audio
    // thread (or on the caller's thread for engines that push synchronously).
    using TapBlock = std::function<void(const AudioBuffer &)>;

    using QObject::QObject;
    ~AudioInputEngine() override = default;

    // The format the input delivers natively, and a fallback the input can
    // also be opened with. Nothing (or an unusable format) means none.
    virtual std::optional<AudioFormat> inputFormat() = 0;
    virtual std::optional<AudioFormat> outputFormat() = 0;

    // Buffers of exactly `framesPerBuffer` frames in `format` go to `block`
    // once started. One tap at a time; installing replaces the old one.
    virtual void installTap(std::uint32_t framesPerBuffer, const AudioFormat &format,
                            TapBlock block) = 0;
    // When this returns the old block is not running and is never called again.
    virtual void removeTap() = 0;

    virtual void prepare() = 0;
    // Nothing when running; otherwise a description of why it could not start.
    virtual std::optional<QString> start() = 0;
    virtual void stop() = 0;
    // Drops any buffered audio and device state left from the last run.
    virtual void reset() = 0;
    virtual bool isRunning() const = 0;

Q_SIGNALS:
    // The audio hardware changed (device added, removed, or the captured one
    // failed). Main thread.
    void configurationChanged();
};

} // namespace zn
