#pragma once

#include "core/LiveMoodRunner.h"
#include "core/WeatherLabel.h"
#include "platform/audio/AudioBuffer.h"
#include "platform/base/Clock.h"
#include "platform/store/ModelContext.h"
#include "voice/VoicePhase.h"
#include "voice/VoiceRecordingFailure.h"

#include <QDateTime>
#include <QLocale>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUuid>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace zn {

class AudioInputEngine;
class InsightQueue;
class AudioCaptureService;
class SpeechTranscriptionService;
class NotificationCenter;
class PermissionProvider;
class ProgramLauncher;
namespace speech {
class SpeechPlatform;
}

// The text to show when `incoming` arrives on top of `current`: the one that
// extends the other, else the longer one (a tie takes `incoming`). Returns
// one of the two arguments untrimmed; lengths count grapheme clusters.
QString mergeTranscript(const QString &current, const QString &incoming);

// What a session runs on; each empty member means the real one.
struct VoiceSessionServices
{
    std::unique_ptr<AudioInputEngine> audioInput;            // the system microphone
    std::shared_ptr<speech::SpeechPlatform> speechPlatform;   // the offline recogniser
    std::shared_ptr<PermissionProvider> permissions;          // always authorized
    Clock *clock = nullptr;                                   // real time
    NotificationCenter *notificationCenter = nullptr;        // the default centre
    std::optional<QLocale> locale;                            // the user's locale
};

// One dictation from permission to saved entry: asks for microphone and
// speech permission, runs capture and transcription, shows the live
// transcript and its mood, keeps a duration and a silence timer, stops
// itself after an hour, survives one audio-device change per recording by
// resuming on its own, and saves the reviewed text as a journal entry.
//
// Main thread only. Property signals fire only on a real change (setting
// the insight coordinator always notifies). Operations that wait take a
// completion, called on the main thread once the operation is over (before
// the call returns when nothing had to be waited for) and never after the
// session is destroyed. No operation fails: every problem ends in phase(),
// failure() and statusMessage().
class VoiceRecordingSession : public QObject
{
    Q_OBJECT
public:
    using Done = std::function<void()>;

    static constexpr Clock::Duration kDurationTick{250};
    static constexpr Clock::Duration kSilenceTick{500};
    static constexpr Clock::Duration kLiveMoodDelay{500};
    static constexpr double kSoftLimitSeconds = 1200.0;
    static constexpr double kHardLimitSeconds = 3600.0;
    static constexpr double kVoiceLevel = 0.04;
    static constexpr double kQuietRefreshSeconds = 1.5;
    static constexpr double kSilentWarningSeconds = 8.0;
    // Audio heard before the recogniser runs is kept up to this long.
    static constexpr double kMaxHeldSeconds = 60.0;

    explicit VoiceRecordingSession(QObject *parent = nullptr);
    explicit VoiceRecordingSession(VoiceSessionServices services, QObject *parent = nullptr);
    // Switches the microphone off and drops every pending completion.
    ~VoiceRecordingSession() override;

    VoicePhase phase() const { return m_phase; }
    std::optional<VoiceRecordingFailure> failure() const { return m_failure; }
    std::optional<QString> statusMessage() const { return m_statusMessage; }
    double duration() const { return m_duration; }
    double energy() const { return m_energy; }
    double liveSentiment() const { return m_liveSentiment; }
    WeatherLabel liveWeather() const { return m_liveWeather; }
    QString backendLabel() const { return m_backendLabel; }
    bool softLimitNudgeVisible() const { return m_softLimitNudgeVisible; }
    QString transcript() const { return m_transcript; }
    // The voice screen's discards leave no "cancelled" failure behind.
    void clearFailure() { setFailure(std::nullopt); }
    // The voice screen edits the text directly.
    void setTranscript(const QString &text);

    // Set by the owner before saving. The context is not owned; the session
    // forgets it when it is destroyed.
    ModelContext *modelContext() const { return m_modelContext; }
    void setModelContext(ModelContext *context);
    // Receives every saved entry. Not owned: the owner clears it or outlives
    // the session.
    InsightQueue *insightCoordinator() const { return m_insightCoordinator; }
    void setInsightCoordinator(InsightQueue *coordinator);

    bool canStart() const;
    bool isInProgress() const;
    bool canSave() const;

    // Permissions, then a new recording. Ignored while one is under way.
    void start(Done done = {});
    // Ends the recording and moves to review once everything the microphone
    // heard until now has reached the recogniser and its final text is in
    // the transcript (within the recogniser's finalisation limit).
    void stop(Done done = {});
    // Discards everything and goes back to idle at once; `done` follows once
    // the recogniser has let go.
    void cancel(Done done = {});
    // Clears the text and the mood, then starts.
    void retry(Done done = {});
    // Continues recording after a device change, keeping the text.
    void resumeAfterDeviceChange(Done done = {});
    // Ends after a device change and reviews the text kept.
    void keepTextAfterDeviceChange();
    // Stores the reviewed transcript as a new entry (stopping first when
    // still recording) and hands it to the insight coordinator; the session
    // then returns to idle. Nothing when there was nothing to save or the
    // store refused (then statusMessage() says so and the text stays).
    void save(std::function<void(std::optional<QUuid>)> done = {});
    // Ends the dictation and hands its trimmed text to the caller; nothing is
    // stored and the session returns to idle.
    void finishAndTakeTranscript(std::function<void(const QString &)> done);
    // Stops only a recording that is live or about to be.
    void stopIfRecording(Done done = {});

    // Opens the desktop's sound-input settings, if any are installed.
    static void openMicrophoneSettings();
    static void openMicrophoneSettings(ProgramLauncher &launcher);

    // The services this session drives (tests and diagnostics).
    AudioCaptureService &capture() { return *m_capture; }
    SpeechTranscriptionService &speech() { return *m_speech; }
    bool hasTimers() const { return m_durationTimer.isActive() || m_silenceTimer.isActive(); }
    bool hasConfigObserver() const { return static_cast<bool>(m_configObserver); }
    bool autoResumeUsed() const { return m_autoResumeUsed; }
    QString retainedPrefix() const { return m_retainedPrefix; }
    double lowEnergySeconds() const { return m_lowEnergySeconds; }
    // A live-mood analysis is waiting for its pause or running.
    bool isLiveMoodPending() const;

Q_SIGNALS:
    void phaseChanged(zn::VoicePhase phase);
    void failureChanged();
    void statusMessageChanged();
    void durationChanged(double seconds);
    void energyChanged(double level);
    void liveSentimentChanged(double score);
    void liveWeatherChanged(zn::WeatherLabel label);
    void backendLabelChanged(const QString &label);
    void softLimitNudgeVisibleChanged(bool visible);
    void transcriptChanged(const QString &text);
    void modelContextChanged();
    void insightCoordinatorChanged();

private:
    // Called with whether the operation still owned the session when it
    // ended (false: a newer operation overtook it and it changed nothing).
    using Outcome = std::function<void(bool current)>;

    void setPhase(VoicePhase phase);
    void setFailure(std::optional<VoiceRecordingFailure> failure);
    void setStatusMessage(std::optional<QString> message);
    void setDuration(double seconds);
    void setEnergy(double level);
    void setLiveSentiment(double score);
    void setLiveWeather(WeatherLabel label);
    void setBackendLabel(const QString &label);
    void setSoftLimitNudgeVisible(bool visible);
    void showFailure(VoiceRecordingFailure failure);

    void requestMicrophone(std::function<void(bool)> done);
    void requestSpeechAuthorization(std::function<void(bool)> done);
    void beginCapture(bool resuming, Outcome done);
    void failCapture(bool resuming, VoiceRecordingFailure failure, VoicePhase phase, Outcome done);
    // Timers and microphone off at once, then the recogniser let go.
    void haltServices(Outcome then);
    void teardown(bool keepTranscript, Outcome done);
    void reset(Done done);
    void releaseText();
    void startTimers();
    void invalidateTimers();
    void installConfigObserver();
    void removeConfigObserver();
    void handleConfigurationChange();
    void durationTick();
    void silenceTick();
    void handlePartialText(const QString &text, bool settledByFinal);
    void forwardBuffer(const AudioBuffer &buffer);
    void dropHeldAudio();
    void scheduleLiveMood(const QString &text);
    void applyLiveMood(const QString &text, double score);
    void refreshBackendLabel();
    double secondsSinceStart() const;
    // Starts a new run of the phase machine; completions of older runs see a
    // different token and change nothing.
    quint64 nextRun() { return ++m_run; }

    Clock *m_clock;
    NotificationCenter *m_center;
    std::shared_ptr<PermissionProvider> m_permissions;
    QLocale m_locale;

    VoicePhase m_phase = VoicePhase::idle;
    std::optional<VoiceRecordingFailure> m_failure;
    std::optional<QString> m_statusMessage;
    double m_duration = 0.0;
    double m_energy = 0.0;
    double m_liveSentiment = 0.0;
    WeatherLabel m_liveWeather = WeatherLabel::Overcast;
    QString m_backendLabel;
    bool m_softLimitNudgeVisible = false;
    QString m_transcript;

    std::unique_ptr<AudioCaptureService> m_capture;
    std::unique_ptr<SpeechTranscriptionService> m_speech;

    std::optional<QDateTime> m_startDate;
    ClockTimer m_durationTimer;
    ClockTimer m_silenceTimer;
    double m_lowEnergySeconds = 0.0;
    QMetaObject::Connection m_configObserver;
    // The live mood: only the latest text's analysis is delivered, and its
    // result is judged against the transcript of that moment.
    LiveMoodRunner m_nlpTask;
    bool m_autoResumeUsed = false;
    QPointer<ModelContext> m_modelContext;
    InsightQueue *m_insightCoordinator = nullptr;
    QString m_retainedPrefix;
    // Heard while the recogniser gets ready; handed over once it runs.
    bool m_holdingAudio = false;
    std::vector<AudioBuffer> m_heldAudio;
    double m_heldSeconds = 0.0;

    // Moved on by every start, capture run, stop, cancel, reset, teardown and
    // keep-text, so a completion that arrives after the user moved on (a
    // late engine start, a stop overtaken by a discard) does nothing.
    quint64 m_run = 0;
};

} // namespace zn
