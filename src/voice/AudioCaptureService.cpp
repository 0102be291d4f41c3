#include "voice/AudioCaptureService.h"

#include "platform/audio/QtAudioInputEngine.h"
#include "platform/base/Clock.h"
#include "platform/base/NotificationCenter.h"

#include <QVariant>

#include <algorithm>
#include <cmath>

namespace zn {

QString AudioCaptureService::CaptureError::description() const
{
    switch (kind) {
    case Kind::startFailed:
        return payload;
    case Kind::invalidFormat:
        return QStringLiteral("Microphone format is invalid.");
    case Kind::alreadyRunning:
        return QStringLiteral("Capture is already running.");
    }
    return payload;
}

const QString &AudioCaptureService::configurationChangedNotification()
{
    static const QString name = QString::fromLatin1(Notifications::AudioConfigurationChanged);
    return name;
}

AudioCaptureService::AudioCaptureService(std::unique_ptr<AudioInputEngine> engine, Clock *clock,
                                               NotificationCenter *center, QObject *parent)
    : QObject(parent)
    , m_engine(engine ? std::move(engine) : std::make_unique<QtAudioInputEngine>())
    , m_clock(clock ? clock : &Clock::system())
    , m_center(center ? center : &NotificationCenter::defaultCenter())
{
}

AudioCaptureService::~AudioCaptureService()
{
    // The observer's connection dies with this object anyway; removing it
    // first keeps a change signalled during teardown from posting.
    removeConfigurationObserver();
    removeTap();
    if (m_engine->isRunning())
        m_engine->stop();
}

void AudioCaptureService::setBufferHandler(BufferHandler handler)
{
    auto shared = handler ? std::make_shared<const BufferHandler>(std::move(handler)) : nullptr;
    std::lock_guard lock(m_handlerMutex);
    m_bufferHandler = std::move(shared);
}

bool AudioCaptureService::hasBufferHandler() const
{
    std::lock_guard lock(m_handlerMutex);
    return m_bufferHandler != nullptr;
}

std::optional<AudioFormat> AudioCaptureService::resolveInputFormat()
{
    if (auto format = m_engine->inputFormat(); format && format->isUsable())
        return format;
    if (auto format = m_engine->outputFormat(); format && format->isUsable())
        return format;
    return std::nullopt;
}

std::optional<AudioCaptureService::CaptureError> AudioCaptureService::start()
{
    if (m_isRunning)
        return CaptureError{CaptureError::Kind::alreadyRunning, {}};
    removeTap();
    const auto format = resolveInputFormat();
    if (!format)
        return CaptureError{CaptureError::Kind::invalidFormat, {}};
    m_hardwareFormat = format;

    ++m_run;
    // The engine guarantees the block has finished and is never called again
    // once removeTap() returns, and the destructor removes it, so `this`
    // outlives every call.
    m_engine->installTap(bufferSize, *format, [this](const AudioBuffer &buffer) { handleTapBuffer(buffer); });
    m_tapInstalled = true;

    m_engine->prepare();
    if (const auto error = m_engine->start()) {
        removeTap();
        m_hardwareFormat.reset();
        return CaptureError{CaptureError::Kind::startFailed, *error};
    }
    m_isRunning = true;
    installConfigurationObserver();
    return std::nullopt;
}

void AudioCaptureService::stop()
{
    setBufferHandler(nullptr);
    removeTap();
    if (m_engine->isRunning())
        m_engine->stop();
    m_engine->reset();

    m_isRunning = false;
    // Levels computed before this point must not land after it.
    ++m_run;
    m_currentEnergy = 0.0;
    m_smoothedEnergy = 0.0;
    m_hardwareFormat.reset();
    removeConfigurationObserver();
}

void AudioCaptureService::removeTap()
{
    if (!m_tapInstalled)
        return;
    m_engine->removeTap();
    m_tapInstalled = false;
}

void AudioCaptureService::handleTapBuffer(const AudioBuffer &buffer)
{
    std::shared_ptr<const BufferHandler> handler;
    {
        std::lock_guard lock(m_handlerMutex);
        handler = m_bufferHandler;
    }
    if (handler)
        (*handler)(buffer);

    const std::int64_t now = m_clock->now().toMSecsSinceEpoch();
    const std::int64_t last = m_lastEnergyUpdate.load();
    // A clock that stepped back measures at once rather than freezing the
    // meter until it catches up.
    if (last != kNever && now >= last && double(now - last) < energyInterval * 1000.0)
        return;
    m_lastEnergyUpdate = now;

    const std::uint64_t run = m_run.load();
    const double level = levelFromDecibels(levelInDecibels(buffer));
    const double smoothed = m_smoothedEnergy.load() * 0.55 + level * 0.45;
    QMetaObject::invokeMethod(this, [this, smoothed, run]() { publishEnergy(smoothed, run); },
                              Qt::QueuedConnection);
}

void AudioCaptureService::publishEnergy(double smoothed, std::uint64_t run)
{
    if (run != m_run.load())
        return;
    m_smoothedEnergy = smoothed;
    m_currentEnergy = smoothed;
}

float AudioCaptureService::levelInDecibels(const AudioBuffer &buffer)
{
    const std::uint32_t n = buffer.frameLength();
    if (n == 0 || buffer.isNull())
        return -160.0f;
    const size_t stride = buffer.format().channelCount;
    double sum = 0.0;
    if (const float *samples = buffer.floatData()) {
        for (size_t i = 0; i < n; ++i) {
            const double x = samples[i * stride];
            sum += x * x;
        }
    } else if (const std::int16_t *samples = buffer.int16Data()) {
        for (size_t i = 0; i < n; ++i) {
            const double x = samples[i * stride] / 32767.0;
            sum += x * x;
        }
    } else {
        return -160.0f;
    }
    double rms = std::sqrt(sum / double(n));
    if (rms <= 0.000001)
        rms = 0.000001;
    return float(20.0 * std::log10(rms));
}

double AudioCaptureService::levelFromDecibels(double decibels)
{
    // A NaN sample makes the whole buffer NaN; left in, it would stick in the
    // smoothing for the rest of the run and blind the silence detection.
    if (std::isnan(decibels))
        return 0.0;
    const double level = (decibels + 50.0) / 55.0;
    return std::max(std::min(level, 1.0), 0.0);
}

void AudioCaptureService::installConfigurationObserver()
{
    removeConfigurationObserver();
    m_configObserver = connect(m_engine.get(), &AudioInputEngine::configurationChanged, this, [this]() {
        m_center->post(configurationChangedNotification(),
                       {{QStringLiteral("object"), QVariant::fromValue(static_cast<QObject *>(this))}});
    });
}

void AudioCaptureService::removeConfigurationObserver()
{
    if (m_configObserver) {
        disconnect(m_configObserver);
        m_configObserver = {};
    }
}

} // namespace zn
