#pragma once

#include "platform/audio/AudioBuffer.h"
#include "platform/speech/SpeechPlatform.h"
#include "voice/TranscriptMerger.h"

#include <QLocale>
#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace zn {

class AudioBufferConverter;
class Clock;

struct SpeechServiceError
{
    enum class Kind { unavailable, timeout };
    Kind kind;

    QString description() const;
    friend bool operator==(const SpeechServiceError &, const SpeechServiceError &) = default;
};

// Why prepare or start failed: the service's own error, or the speech
// platform's error passed on as the platform gave it.
struct SpeechFailure
{
    std::optional<SpeechServiceError> serviceError;
    QString platformDescription;

    static SpeechFailure service(SpeechServiceError::Kind kind) { return {SpeechServiceError{kind}, {}}; }
    static SpeechFailure platform(const QString &description) { return {std::nullopt, description}; }
    bool isServiceError() const { return serviceError.has_value(); }
    QString description() const;
};

// Turns the microphone buffers of one dictation into live text, on the
// device only. Two back ends: the streaming analyzer, and the older buffer
// recognizer where the analyzer does not support the locale or fails to
// start. Results of either go through one merge into liveText(), reported
// through onPartialText. Main thread only; every completion is delivered
// later on the main thread, never inside the call.
class SpeechTranscriptionService : public QObject
{
    Q_OBJECT
public:
    enum class Backend { streaming, wholeText };
    static QString rawValue(Backend backend);
    static std::optional<Backend> backendFromRawValue(const QString &raw);

    using Completion = std::function<void(std::optional<SpeechFailure>)>;

    static constexpr std::chrono::milliseconds finalizationLimit{8000};
    static constexpr std::chrono::milliseconds recognizerTail{400};

    // Null platform: the offline recogniser shared by the whole process.
    // Null clock: real time.
    explicit SpeechTranscriptionService(std::shared_ptr<speech::SpeechPlatform> platform = nullptr,
                                           Clock *clock = nullptr, QObject *parent = nullptr);
    // Cancels recognition and joins the decoder threads.
    ~SpeechTranscriptionService() override;

    std::optional<Backend> backend() const { return m_backend; }
    const QString &liveText() const { return m_merger.liveText(); }
    bool isRunning() const { return m_isRunning; }
    const std::optional<AudioFormat> &preferredInputFormat() const { return m_preferredInputFormat; }
    QLocale preferredLocale() const { return m_preferredLocale; }

    void setOnPartialText(TranscriptMerger::PartialTextHandler handler);
    // True while onPartialText reports a final result (see TranscriptMerger).
    bool isPublishingFinal() const { return m_merger.isPublishingFinal(); }
    // The capture format; set before prepare and start.
    void setHardwareFormat(std::optional<AudioFormat> format) { m_hardwareFormat = std::move(format); }
    const std::optional<AudioFormat> &hardwareFormat() const { return m_hardwareFormat; }

    const QStringList &committedSegments() const { return m_merger.committedSegments(); }
    const QString &currentHypothesis() const { return m_merger.currentHypothesis(); }
    bool isLastSegmentOpen() const { return m_merger.isLastSegmentOpen(); }
    qsizetype openSegmentCount() const { return m_merger.openSegmentCount(); }
    void resetTranscript(const QString &text) { m_merger.resetTranscript(text); }
    void commitPendingHypothesis() { m_merger.commitPendingHypothesis(); }
    // Empties the transcript without calling onPartialText.
    void clearTranscriptSilently() { m_merger.clear(); }
    // One recognition result into the merge.
    void handleResult(const QString &text, bool isFinal) { m_merger.handleResult(text, isFinal); }

    // Chooses the back end for `locale`.
    void prepare(const QLocale &locale, Completion done);
    // Starts recognition, preparing first when no back end is chosen. A start
    // overtaken by stop() or cancel() completes without error and leaves the
    // service stopped.
    void start(Completion done);
    // One captured buffer for the running back end; ignored when stopped.
    void append(const AudioBuffer &buffer);
    // Ends recognition, finalises within finalizationLimit, and returns the
    // text collected so far. Never fails.
    void stop(std::function<void(const QString &)> done);
    // Ends recognition at once, without finalising; keeps the text.
    void cancel(std::function<void()> done = {});

    // Introspection for tests and diagnostics.
    bool hasConverter() const { return m_converter != nullptr; }
    bool hasAnalyzer() const { return m_analyzer != nullptr; }
    bool hasRecognitionTask() const { return m_recognitionTask != nullptr; }

private:
    struct StopWait;

    // Installs the locale's on-device assets when the platform asks for an
    // install; `done` gets the platform's error, or nothing once they are in
    // place. When `wanted` (if given) says no by the time the platform has
    // answered, nothing is installed and `done` gets nothing. Nothing is
    // called once the service is gone.
    void installAssets(const QLocale &locale, std::function<bool()> wanted,
                       std::function<void(std::optional<speech::SpeechError>)> done);
    std::optional<SpeechFailure> configureRecognizer(const QLocale &locale);
    std::optional<SpeechFailure> startRecognizer();
    void startWithBackend(quint64 run);
    void abandonPendingStart();
    void startAnalyzer(quint64 run, Completion done);
    void continueAnalyzerWithAssets(quint64 run, Completion done);
    void buildAnalyzer(quint64 run, std::optional<AudioFormat> best, Completion done);
    void finishStart(quint64 run, std::optional<SpeechFailure> failure);
    void dropAnalyzerPipeline();
    void cancelTasks();
    void dropRecognitionTask();
    void finishStop(const std::function<void(const QString &)> &done);
    void settlePendingStop();
    void waitThenStop(std::chrono::milliseconds limit, std::function<void()> onDeadline,
                      std::function<void(const QString &)> done);
    bool isCurrent(quint64 run) const { return run == m_run; }
    void later(std::function<void()> fn);

    std::shared_ptr<speech::SpeechPlatform> m_platform;
    Clock *m_clock;

    std::optional<Backend> m_backend;
    bool m_isRunning = false;
    std::optional<AudioFormat> m_preferredInputFormat;
    std::unique_ptr<speech::StreamingAnalyzerSession> m_analyzer;
    std::optional<QLocale> m_transcriber;
    std::shared_ptr<speech::AnalyzerInputStream> m_inputContinuation;
    QMetaObject::Connection m_resultsTask;
    QMetaObject::Connection m_resultsFailed;
    std::unique_ptr<AudioBufferConverter> m_converter;
    std::unique_ptr<speech::BufferRecognizer> m_recognizer;
    std::shared_ptr<speech::BufferRecognitionRequest> m_recognitionRequest;
    std::unique_ptr<speech::RecognitionTask> m_recognitionTask;
    QLocale m_preferredLocale;
    std::optional<AudioFormat> m_hardwareFormat;
    TranscriptMerger m_merger;

    // Identifies the current recognition run: start, the end of stop and
    // cancel move it on, so results and completions of an earlier run drop.
    quint64 m_run = 0;
    bool m_starting = false;
    Completion m_startDone;
    std::shared_ptr<StopWait> m_stopWait;
};

} // namespace zn
