#include "voice/VoiceRecordingSession.h"

#include "core/InsightQueue.h"
#include "core/JournalEntry.h"
#include "core/MoodAnalysis.h"
#include "core/TextUnits.h"
#include "platform/base/NotificationCenter.h"
#include "platform/store/ModelContext.h"
#include "voice/AudioCaptureService.h"
#include "voice/SpeechTranscriptionService.h"
#include "voice/VoicePermissions.h"

#include <algorithm>
#include <cmath>
#include <type_traits>
#include <utility>

namespace zn {
namespace {

// Both back ends run pocketsphinx on this computer.
const QString kBackendLabel = QStringLiteral("On-device (pocketsphinx)");
const QString kContinuedAfterDeviceChange = QStringLiteral("Audio device changed \u2014 continued recording.");
const QString kSaveFailed = QStringLiteral("Couldn\u2019t save the entry.");

void finish(const std::function<void()> &done)
{
    if (done)
        done();
}

// Stores `value` when it differs; a level or score that stays NaN counts as
// unchanged, so it does not notify on every tick.
template<class T>
bool assignIfChanged(T &field, const T &value)
{
    if constexpr (std::is_floating_point_v<T>) {
        if (std::isnan(field) && std::isnan(value))
            return false;
    }
    if (field == value)
        return false;
    field = value;
    return true;
}

} // namespace

QString mergeTranscript(const QString &current, const QString &incoming)
{
    const QString a = text::trimmed(current);
    const QString b = text::trimmed(incoming);
    if (b.isEmpty())
        return current;
    if (a.isEmpty() || a == b || b.startsWith(a))
        return incoming;
    if (a.startsWith(b))
        return current;
    return text::graphemeCount(b) < text::graphemeCount(a) ? current : incoming;
}

// --- construction ---------------------------------------------------------

VoiceRecordingSession::VoiceRecordingSession(QObject *parent)
    : VoiceRecordingSession(VoiceSessionServices{}, parent)
{
}

VoiceRecordingSession::VoiceRecordingSession(VoiceSessionServices services, QObject *parent)
    : QObject(parent)
    , m_clock(services.clock ? services.clock : &Clock::system())
    , m_center(services.notificationCenter ? services.notificationCenter : &NotificationCenter::defaultCenter())
    , m_permissions(services.permissions ? std::move(services.permissions)
                                         : std::make_shared<SystemPermissionProvider>())
    , m_locale(services.locale.value_or(QLocale::system()))
    , m_capture(std::make_unique<AudioCaptureService>(std::move(services.audioInput), m_clock, m_center))
    , m_speech(std::make_unique<SpeechTranscriptionService>(std::move(services.speechPlatform), m_clock))
    , m_durationTimer(*m_clock, this)
    , m_silenceTimer(*m_clock, this)
    , m_nlpTask(*m_clock)
{
    connect(&m_nlpTask, &LiveMoodRunner::analyzed, this, &VoiceRecordingSession::applyLiveMood);
}

VoiceRecordingSession::~VoiceRecordingSession()
{
    // The tap calls into this session from the audio thread: it must be gone
    // before anything here is.
    ++m_run;
    removeConfigObserver();
    invalidateTimers();
    m_nlpTask.cancel();
    m_capture->stop();
    m_speech->setOnPartialText({});
}

// --- properties -----------------------------------------------------------

void VoiceRecordingSession::setPhase(VoicePhase phase)
{
    if (assignIfChanged(m_phase, phase))
        emit phaseChanged(phase);
}

void VoiceRecordingSession::setFailure(std::optional<VoiceRecordingFailure> failure)
{
    if (assignIfChanged(m_failure, failure))
        emit failureChanged();
}

void VoiceRecordingSession::setStatusMessage(std::optional<QString> message)
{
    if (assignIfChanged(m_statusMessage, message))
        emit statusMessageChanged();
}

void VoiceRecordingSession::setDuration(double seconds)
{
    if (assignIfChanged(m_duration, seconds))
        emit durationChanged(seconds);
}

void VoiceRecordingSession::setEnergy(double level)
{
    if (assignIfChanged(m_energy, level))
        emit energyChanged(level);
}

void VoiceRecordingSession::setLiveSentiment(double score)
{
    if (assignIfChanged(m_liveSentiment, score))
        emit liveSentimentChanged(score);
}

void VoiceRecordingSession::setLiveWeather(WeatherLabel label)
{
    if (assignIfChanged(m_liveWeather, label))
        emit liveWeatherChanged(label);
}

void VoiceRecordingSession::setBackendLabel(const QString &label)
{
    if (assignIfChanged(m_backendLabel, label))
        emit backendLabelChanged(label);
}

void VoiceRecordingSession::setSoftLimitNudgeVisible(bool visible)
{
    if (assignIfChanged(m_softLimitNudgeVisible, visible))
        emit softLimitNudgeVisibleChanged(visible);
}

void VoiceRecordingSession::setTranscript(const QString &text)
{
    if (assignIfChanged(m_transcript, text))
        emit transcriptChanged(text);
}

void VoiceRecordingSession::setModelContext(ModelContext *context)
{
    if (assignIfChanged(m_modelContext, QPointer<ModelContext>(context)))
        emit modelContextChanged();
}

void VoiceRecordingSession::setInsightCoordinator(InsightQueue *coordinator)
{
    m_insightCoordinator = coordinator;
    emit insightCoordinatorChanged();
}

void VoiceRecordingSession::showFailure(VoiceRecordingFailure failure)
{
    setFailure(failure);
    setStatusMessage(message(failure));
}

bool VoiceRecordingSession::canStart() const
{
    switch (m_phase) {
    case VoicePhase::idle:
    case VoicePhase::failed:
    case VoicePhase::permissionRequired:
    case VoicePhase::unavailable:
    case VoicePhase::interruptedDeviceChange:
        return true;
    default:
        return false;
    }
}

bool VoiceRecordingSession::isInProgress() const
{
    switch (m_phase) {
    case VoicePhase::recording:
    case VoicePhase::preparing:
    case VoicePhase::stopping:
    case VoicePhase::requestingPermissions:
        return true;
    default:
        return false;
    }
}

bool VoiceRecordingSession::canSave() const
{
    if (text::isBlank(m_transcript))
        return false;
    switch (m_phase) {
    case VoicePhase::preparing:
    case VoicePhase::recording:
    case VoicePhase::stopping:
    case VoicePhase::reviewing:
    case VoicePhase::failed:
    case VoicePhase::interruptedDeviceChange:
        return true;
    default:
        return false;
    }
}

double VoiceRecordingSession::secondsSinceStart() const
{
    if (!m_startDate)
        return 0.0;
    // A wall clock set back must not make the recording negative.
    return std::max<qint64>(0, m_startDate->msecsTo(m_clock->now())) / 1000.0;
}

// --- starting ---------------------------------------------------------------

void VoiceRecordingSession::start(Done done)
{
    if (!canStart() && m_phase != VoicePhase::reviewing) {
        finish(done);
        return;
    }
    const quint64 run = nextRun();
    setFailure(std::nullopt);
    setStatusMessage(std::nullopt);
    setSoftLimitNudgeVisible(false);
    setPhase(VoicePhase::requestingPermissions);

    // A discard or reset while a permission answer is outstanding wins.
    auto stillAsking = [this, run] { return m_run == run && m_phase == VoicePhase::requestingPermissions; };
    requestMicrophone([this, done, stillAsking](bool granted) {
        if (!stillAsking()) {
            finish(done);
            return;
        }
        if (!granted) {
            setFailure(VoiceRecordingFailure::permissionMicrophone);
            setPhase(VoicePhase::permissionRequired);
            finish(done);
            return;
        }
        requestSpeechAuthorization([this, done, stillAsking](bool authorized) {
            if (!stillAsking()) {
                finish(done);
                return;
            }
            if (!authorized) {
                setFailure(VoiceRecordingFailure::permissionSpeech);
                setPhase(VoicePhase::permissionRequired);
                finish(done);
                return;
            }
            beginCapture(false, [done](bool) { finish(done); });
        });
    });
}

void VoiceRecordingSession::requestMicrophone(std::function<void(bool)> done)
{
    switch (m_permissions->microphoneStatus()) {
    case MicrophoneAuthorization::authorized:
        done(true);
        return;
    case MicrophoneAuthorization::notDetermined:
        m_permissions->requestMicrophoneAccess(this, std::move(done));
        return;
    case MicrophoneAuthorization::denied:
    case MicrophoneAuthorization::restricted:
        done(false);
        return;
    }
    done(false);
}

void VoiceRecordingSession::requestSpeechAuthorization(std::function<void(bool)> done)
{
    // Asked every time: the answer may have changed since the last recording.
    m_permissions->requestSpeechAuthorization(this, [done = std::move(done)](SpeechAuthorization status) {
        done(status == SpeechAuthorization::authorized);
    });
}

void VoiceRecordingSession::refreshBackendLabel()
{
    setBackendLabel(kBackendLabel);
}

void VoiceRecordingSession::beginCapture(bool resuming, Outcome done)
{
    const quint64 run = nextRun();
    setPhase(VoicePhase::preparing);

    if (!resuming) {
        m_retainedPrefix.clear();
        setTranscript(QString());
        m_speech->clearTranscriptSilently();
    } else {
        const QString base = text::isBlank(m_transcript) ? m_retainedPrefix : m_transcript;
        m_speech->resetTranscript(base);
        setTranscript(m_speech->liveText().isEmpty() ? base : m_speech->liveText());
    }

    const std::optional<AudioFormat> format = m_capture->resolveInputFormat();
    if (!format) {
        failCapture(resuming, VoiceRecordingFailure::noInputDevice, VoicePhase::unavailable, std::move(done));
        return;
    }
    m_speech->setHardwareFormat(format);

    // The microphone opens now rather than once the recogniser runs (the
    // first time, its model still has to load): what is said meanwhile is
    // held and handed over then. Audio thread: hand over to the main thread,
    // one task a buffer. The tap is gone before this session is, and tasks
    // still queued die with it.
    m_holdingAudio = true;
    m_capture->setBufferHandler([this](const AudioBuffer &buffer) {
        QMetaObject::invokeMethod(this, [this, buffer] { forwardBuffer(buffer); }, Qt::QueuedConnection);
    });
    if (const auto captureError = m_capture->start()) {
        const bool noDevice = captureError->kind == AudioCaptureService::CaptureError::Kind::invalidFormat;
        failCapture(resuming, noDevice ? VoiceRecordingFailure::noInputDevice : VoiceRecordingFailure::engineStartFailed,
                    noDevice ? VoicePhase::unavailable : VoicePhase::failed, std::move(done));
        return;
    }

    // Stop, discard, reset or a newer run may overtake any step that waits;
    // then the microphone is already off and stays off.
    auto stillPreparing = [this, run] { return m_run == run && m_phase == VoicePhase::preparing; };
    auto classify = [](const SpeechFailure &failure) {
        return failure.isServiceError()
            ? std::pair(VoiceRecordingFailure::speechUnavailable, VoicePhase::unavailable)
            : std::pair(VoiceRecordingFailure::engineStartFailed, VoicePhase::failed);
    };

    m_speech->prepare(m_locale, [this, resuming, done, stillPreparing, classify](std::optional<SpeechFailure> error) {
        if (!stillPreparing()) {
            done(false);
            return;
        }
        if (error) {
            const auto [failure, phase] = classify(*error);
            failCapture(resuming, failure, phase, done);
            return;
        }
        refreshBackendLabel();
        QPointer<VoiceRecordingSession> self(this);
        m_speech->setOnPartialText([self](const QString &text) {
            if (self)
                self->handlePartialText(text, self->m_speech->isPublishingFinal());
        });

        m_speech->start([this, resuming, done, stillPreparing, classify](std::optional<SpeechFailure> error) {
            if (!stillPreparing()) {
                // Started for a run that is over: unless a newer run or a
                // stop has the service in hand, it must not keep listening.
                if (!error && m_phase != VoicePhase::preparing && m_phase != VoicePhase::recording
                    && m_phase != VoicePhase::stopping)
                    m_speech->cancel();
                done(false);
                return;
            }
            if (error) {
                const auto [failure, phase] = classify(*error);
                failCapture(resuming, failure, phase, done);
                return;
            }
            // The service may have fallen back to the other back end while
            // starting; the label names the one that runs.
            refreshBackendLabel();

            // In the order heard; later buffers follow on their own.
            m_holdingAudio = false;
            for (const AudioBuffer &buffer : std::exchange(m_heldAudio, {}))
                m_speech->append(buffer);
            m_heldSeconds = 0.0;
            setPhase(VoicePhase::recording);
            m_startDate = m_clock->now();
            setDuration(0.0);
            m_lowEnergySeconds = 0.0;
            if (!resuming)
                m_autoResumeUsed = false;
            startTimers();
            installConfigObserver();
            done(true);
        });
    });
}

void VoiceRecordingSession::failCapture(bool resuming, VoiceRecordingFailure failure, VoicePhase phase,
                                        Outcome done)
{
    teardown(resuming, [this, failure, phase, done](bool current) {
        if (current) {
            setFailure(failure);
            setPhase(phase);
            setStatusMessage(message(failure));
        }
        done(current);
    });
}

void VoiceRecordingSession::haltServices(Outcome then)
{
    const quint64 run = nextRun();
    invalidateTimers();
    // The microphone goes off at once, not after the recogniser has let go.
    m_capture->stop();
    dropHeldAudio();
    QPointer<VoiceRecordingSession> self(this);
    m_speech->cancel([self, run, then] {
        if (self)
            then(self->m_run == run);
    });
}

void VoiceRecordingSession::teardown(bool keepTranscript, Outcome done)
{
    haltServices([this, keepTranscript, done](bool current) {
        if (current) {
            if (!keepTranscript)
                setTranscript(QString());
            setEnergy(0.0);
            removeConfigObserver();
        }
        done(current);
    });
}

// --- timers -----------------------------------------------------------------

namespace {

// Re-arms before each tick, so a tick that ends the recording also cancels
// the next one.
void repeatEvery(ClockTimer &timer, Clock::Duration every, std::function<void()> tick)
{
    timer.start(every, [&timer, every, tick] {
        repeatEvery(timer, every, tick);
        tick();
    });
}

} // namespace

void VoiceRecordingSession::startTimers()
{
    invalidateTimers();
    repeatEvery(m_durationTimer, kDurationTick, [this] { durationTick(); });
    repeatEvery(m_silenceTimer, kSilenceTick, [this] { silenceTick(); });
}

void VoiceRecordingSession::invalidateTimers()
{
    m_durationTimer.stop();
    m_silenceTimer.stop();
}

void VoiceRecordingSession::durationTick()
{
    if (m_phase != VoicePhase::recording || !m_startDate)
        return;
    setDuration(secondsSinceStart());
    setEnergy(m_capture->currentEnergy());
    if (m_duration >= kSoftLimitSeconds)
        setSoftLimitNudgeVisible(true);
    if (m_duration >= kHardLimitSeconds) {
        showFailure(VoiceRecordingFailure::sessionLimitReached);
        stop();
    }
}

void VoiceRecordingSession::silenceTick()
{
    if (m_phase != VoicePhase::recording || !(m_duration > kQuietRefreshSeconds))
        return;
    if (m_capture->currentEnergy() >= kVoiceLevel) {
        m_lowEnergySeconds = 0.0;
        if (m_failure == VoiceRecordingFailure::silentInput) {
            setFailure(std::nullopt);
            setStatusMessage(std::nullopt);
        }
    } else {
        m_lowEnergySeconds += 0.5;
        if (m_lowEnergySeconds >= kQuietRefreshSeconds) {
            // A pause is where the recogniser's last guess is worth keeping.
            m_speech->commitPendingHypothesis();
            if (!m_speech->liveText().isEmpty())
                setTranscript(mergeTranscript(m_transcript, m_speech->liveText()));
        }
    }
    if (m_lowEnergySeconds >= kSilentWarningSeconds)
        showFailure(VoiceRecordingFailure::silentInput);
}

// --- device changes -----------------------------------------------------------

void VoiceRecordingSession::installConfigObserver()
{
    removeConfigObserver();
    // Observer and queued task both end with this session.
    m_configObserver = m_center->addObserver(
        AudioCaptureService::configurationChangedNotification(), this, [this](const QVariantMap &) {
            QMetaObject::invokeMethod(this, [this] { handleConfigurationChange(); }, Qt::QueuedConnection);
        });
}

void VoiceRecordingSession::removeConfigObserver()
{
    if (m_configObserver) {
        QObject::disconnect(m_configObserver);
        m_configObserver = {};
    }
}

void VoiceRecordingSession::handleConfigurationChange()
{
    if (m_phase != VoicePhase::recording)
        return;
    m_speech->commitPendingHypothesis();
    const QString kept = mergeTranscript(m_transcript, m_speech->liveText());
    const double savedDuration = m_duration;

    teardown(true, [this, kept, savedDuration](bool current) {
        if (!current)
            return;
        setTranscript(kept);
        setDuration(savedDuration);
        setFailure(VoiceRecordingFailure::deviceChanged);
        setPhase(VoicePhase::interruptedDeviceChange);
        setStatusMessage(message(VoiceRecordingFailure::deviceChanged));
        if (m_autoResumeUsed)
            return;

        m_autoResumeUsed = true;
        m_retainedPrefix = kept;
        beginCapture(true, [this, kept](bool current) {
            if (!current)
                return;
            if (m_phase == VoicePhase::recording) {
                if (!kept.isEmpty())
                    setStatusMessage(kContinuedAfterDeviceChange);
                return;
            }
            setPhase(VoicePhase::interruptedDeviceChange);
            showFailure(VoiceRecordingFailure::deviceChanged);
        });
    });
}

void VoiceRecordingSession::resumeAfterDeviceChange(Done done)
{
    setFailure(std::nullopt);
    setStatusMessage(std::nullopt);
    m_speech->commitPendingHypothesis();
    m_retainedPrefix = mergeTranscript(m_transcript, m_speech->liveText());
    setTranscript(m_retainedPrefix);
    beginCapture(true, [done](bool) { finish(done); });
}

void VoiceRecordingSession::keepTextAfterDeviceChange()
{
    haltServices([](bool) {});
    setPhase(VoicePhase::reviewing);
    setFailure(std::nullopt);
    setStatusMessage(std::nullopt);
    scheduleLiveMood(m_transcript);
}

// --- ending -----------------------------------------------------------------

void VoiceRecordingSession::stop(Done done)
{
    if (m_phase != VoicePhase::recording && m_phase != VoicePhase::preparing) {
        finish(done);
        return;
    }
    const quint64 run = nextRun();
    setPhase(VoicePhase::stopping);
    invalidateTimers();
    // The microphone stops first; once it has, nothing more is heard. What it
    // heard until now is still on its way here, one queued task per buffer:
    // the recogniser learns that its input has ended only after those tasks,
    // so the last words spoken reach it and are in its final text. Words held
    // for a recogniser that never got to run are not.
    m_capture->stop();
    dropHeldAudio();
    QPointer<VoiceRecordingSession> self(this);
    QMetaObject::invokeMethod(
        this,
        [self, run, done] {
            if (!self)
                return;
            if (self->m_run != run || self->m_phase != VoicePhase::stopping) {
                finish(done);
                return;
            }
            self->m_speech->commitPendingHypothesis();
            self->m_speech->stop([self, run, done](const QString &finalText) {
                if (!self)
                    return;
                // A discard or reset during the wait has the last word: the
                // text must not come back.
                if (self->m_run != run || self->m_phase != VoicePhase::stopping) {
                    finish(done);
                    return;
                }
                // The recogniser's text holds everything of this recording,
                // each utterance as its final has it: it replaces guesses
                // the transcript may still show, even longer ones.
                if (!text::isBlank(finalText))
                    self->setTranscript(finalText);
                self->setEnergy(0.0);
                if (self->m_startDate)
                    self->setDuration(self->secondsSinceStart());
                self->setPhase(VoicePhase::reviewing);
                self->scheduleLiveMood(self->m_transcript);
                finish(done);
            });
        },
        Qt::QueuedConnection);
}

void VoiceRecordingSession::stopIfRecording(Done done)
{
    // stop() already leaves every phase but recording and preparing alone.
    stop(std::move(done));
}

void VoiceRecordingSession::cancel(Done done)
{
    haltServices([done](bool) { finish(done); });
    // The discard holds from this moment, not once the recogniser has let
    // go: a stop or a device change arriving meanwhile must find nothing to
    // bring back.
    setTranscript(QString());
    setDuration(0.0);
    setEnergy(0.0);
    setLiveSentiment(0.0);
    setLiveWeather(WeatherLabel::Overcast);
    setFailure(VoiceRecordingFailure::cancelled);
    setPhase(VoicePhase::idle);
    setStatusMessage(std::nullopt);
    setSoftLimitNudgeVisible(false);
}

void VoiceRecordingSession::retry(Done done)
{
    setTranscript(QString());
    m_retainedPrefix.clear();
    m_speech->clearTranscriptSilently();
    setDuration(0.0);
    setLiveSentiment(0.0);
    setLiveWeather(WeatherLabel::Overcast);
    setFailure(std::nullopt);
    setStatusMessage(std::nullopt);
    start(std::move(done));
}

void VoiceRecordingSession::reset(Done done)
{
    haltServices([this, done](bool current) {
        if (current) {
            m_speech->clearTranscriptSilently();
            m_retainedPrefix.clear();
            setTranscript(QString());
            setDuration(0.0);
            setEnergy(0.0);
            setPhase(VoicePhase::idle);
            setFailure(std::nullopt);
            setStatusMessage(std::nullopt);
            setSoftLimitNudgeVisible(false);
        }
        finish(done);
    });
}

// --- transcript -------------------------------------------------------------

void VoiceRecordingSession::handlePartialText(const QString &text, bool settledByFinal)
{
    // Queued tasks die with this session.
    QMetaObject::invokeMethod(
        this,
        [this, text, settledByFinal] {
            if (m_phase != VoicePhase::recording)
                return;
            // A final replaces the guesses it settles, even a longer one
            // still shown here; guesses alone never shorten the text.
            setTranscript(settledByFinal && !text::isBlank(text) ? text : mergeTranscript(m_transcript, text));
            scheduleLiveMood(m_transcript);
        },
        Qt::QueuedConnection);
}

void VoiceRecordingSession::forwardBuffer(const AudioBuffer &buffer)
{
    if (!m_holdingAudio) {
        m_speech->append(buffer);
        return;
    }
    // A recogniser that never gets ready must not fill the memory.
    const double seconds = buffer.format().sampleRate > 0 ? buffer.frameLength() / buffer.format().sampleRate : 0.0;
    if (m_heldSeconds + seconds > kMaxHeldSeconds)
        return;
    m_heldSeconds += seconds;
    m_heldAudio.push_back(buffer);
}

void VoiceRecordingSession::dropHeldAudio()
{
    m_holdingAudio = false;
    m_heldAudio.clear();
    m_heldSeconds = 0.0;
}

// --- live mood --------------------------------------------------------------

bool VoiceRecordingSession::isLiveMoodPending() const
{
    return m_nlpTask.isPending();
}

void VoiceRecordingSession::scheduleLiveMood(const QString &text)
{
    m_nlpTask.cancel();
    const int count = text::graphemeCount(text::trimmed(text));
    if (count < kLiveMinimum || count > kLiveMaximum)
        return;
    m_nlpTask.schedule(text, kLiveMoodDelay);
}

void VoiceRecordingSession::applyLiveMood(const QString &text, double score)
{
    // In review a mood of a text edited since still counts.
    if (text != m_transcript && m_phase != VoicePhase::reviewing)
        return;
    setLiveSentiment(score);
    setLiveWeather(weatherLabelForScore(score));
}

// --- saving -----------------------------------------------------------------

void VoiceRecordingSession::save(std::function<void(std::optional<QUuid>)> done)
{
    auto answer = [done](std::optional<QUuid> id) {
        if (done)
            done(id);
    };
    QPointer<VoiceRecordingSession> self(this);
    auto store = [self, answer] {
        if (!self)
            return;
        VoiceRecordingSession &s = *self;
        if (s.m_phase != VoicePhase::reviewing && s.m_phase != VoicePhase::failed
            && s.m_phase != VoicePhase::interruptedDeviceChange) {
            answer(std::nullopt);
            return;
        }
        s.m_speech->commitPendingHypothesis();
        const QString text = text::trimmed(s.m_transcript);
        if (text.isEmpty() || !s.m_modelContext) {
            answer(std::nullopt);
            return;
        }

        const std::optional<double> duration = s.m_duration > 0 ? std::optional(s.m_duration) : std::nullopt;
        auto created = std::make_unique<JournalEntry>(QUuid::createUuid(), s.m_clock->now(), text, duration, 0.0,
                                                      KeywordFrequencies{}, std::nullopt, QStringList{}, false);
        applyEntryText(*created, text);
        ModelContext *context = s.m_modelContext;
        JournalEntry *entry = context->insert(std::move(created));
        if (const auto error = context->save()) {
            // Withdrawn, so neither a retry nor another save of this context
            // stores it a second time.
            context->remove(entry);
            s.setStatusMessage(kSaveFailed);
            answer(std::nullopt);
            return;
        }
        const QUuid id = entry->id();
        s.releaseText();
        if (s.m_insightCoordinator)
            s.m_insightCoordinator->enqueueEntry(id);
        s.reset([answer, id] { answer(id); });
    };

    stopIfRecording(std::move(store));
}

void VoiceRecordingSession::finishAndTakeTranscript(std::function<void(const QString &)> done)
{
    QPointer<VoiceRecordingSession> self(this);
    auto take = [self, done] {
        if (!self)
            return;
        const QString result = text::trimmed(self->m_transcript);
        self->releaseText();
        self->reset([self, done, result] {
            if (!self)
                return;
            self->setFailure(std::nullopt);
            self->setStatusMessage(std::nullopt);
            if (done)
                done(result);
        });
    };
    if (m_phase == VoicePhase::recording || m_phase == VoicePhase::preparing || m_phase == VoicePhase::stopping) {
        stop(take);
    } else {
        m_speech->commitPendingHypothesis();
        take();
    }
}

void VoiceRecordingSession::releaseText()
{
    // Stored or handed over: no longer the session's to save or hand out,
    // even before the reset that follows has finished.
    m_retainedPrefix.clear();
    setTranscript(QString());
}

// --- settings -----------------------------------------------------------------

void VoiceRecordingSession::openMicrophoneSettings()
{
    SystemProgramLauncher launcher;
    openMicrophoneSettings(launcher);
}

void VoiceRecordingSession::openMicrophoneSettings(ProgramLauncher &launcher)
{
    (void)openSoundInputSettings(launcher);
}

} // namespace zn
