#pragma once

#include "platform/audio/AudioBuffer.h"
#include "platform/audio/AudioInputEngine.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace zn {

class Clock;
class NotificationCenter;

// Taps the microphone, hands every buffer to one handler on the audio thread,
// meters a smoothed input level (published on the main thread at most 24
// times a second) and announces audio hardware changes as
// "zep.audio.configurationChanged". No audio is ever written anywhere.
class AudioCaptureService : public QObject
{
    Q_OBJECT
public:
    using BufferHandler = std::function<void(const AudioBuffer &)>;

    struct CaptureError
    {
        enum class Kind { startFailed, invalidFormat, alreadyRunning };
        Kind kind;
        QString payload; // startFailed only: the engine's own message

        QString description() const;
        friend bool operator==(const CaptureError &, const CaptureError &) = default;
    };

    static constexpr std::uint32_t bufferSize = 1024;
    static constexpr double energyInterval = 1.0 / 24.0;
    // Posted with {"object": this service} (or no object once it is gone).
    static const QString &configurationChangedNotification();

    // Takes the engine (which must have no QObject parent); null means the
    // system's default audio input. The clock times level updates.
    explicit AudioCaptureService(std::unique_ptr<AudioInputEngine> engine = nullptr,
                                    Clock *clock = nullptr,
                                    NotificationCenter *center = nullptr,
                                    QObject *parent = nullptr);
    ~AudioCaptureService() override;

    // Set before start(); cleared by stop(). Called on the audio thread.
    void setBufferHandler(BufferHandler handler);
    bool hasBufferHandler() const;

    std::optional<AudioFormat> resolveInputFormat();
    // Nothing on success.
    [[nodiscard]] std::optional<CaptureError> start();
    void stop();

    bool isRunning() const { return m_isRunning; }
    double currentEnergy() const { return m_currentEnergy.load(); }
    const std::optional<AudioFormat> &hardwareFormat() const { return m_hardwareFormat; }
    bool isTapInstalled() const { return m_tapInstalled; }
    bool hasConfigurationObserver() const { return static_cast<bool>(m_configObserver); }
    AudioInputEngine &engine() { return *m_engine; }

    // Decibels of channel 0 (RMS); -160 for an empty buffer or one holding
    // neither float nor 16-bit samples; silence floors at -120.
    static float levelInDecibels(const AudioBuffer &buffer);
    // (dB + 50) / 55 within [0, 1]; not-a-number counts as 0.
    static double levelFromDecibels(double decibels);

private:
    void removeTap();
    void handleTapBuffer(const AudioBuffer &buffer);
    void publishEnergy(double smoothed, std::uint64_t run);
    void installConfigurationObserver();
    void removeConfigurationObserver();

    std::unique_ptr<AudioInputEngine> m_engine;
    Clock *m_clock;
    NotificationCenter *m_center;

    bool m_isRunning = false;
    std::atomic<double> m_currentEnergy{0.0};
    std::optional<AudioFormat> m_hardwareFormat;
    mutable std::mutex m_handlerMutex;
    std::shared_ptr<const BufferHandler> m_bufferHandler;
    bool m_tapInstalled = false;
    // Milliseconds since the epoch; "never" until the first measurement.
    static constexpr std::int64_t kNever = INT64_MIN;
    std::atomic<std::int64_t> m_lastEnergyUpdate{kNever};
    std::atomic<double> m_smoothedEnergy{0.0};
    // Bumped by start and stop so a level computed in an earlier run is dropped.
    std::atomic<std::uint64_t> m_run{0};
    QMetaObject::Connection m_configObserver;
};

} // namespace zn
