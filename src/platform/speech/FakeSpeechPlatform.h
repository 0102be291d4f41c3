#pragma once

#include "platform/speech/SpeechPlatform.h"

#include <QList>
#include <QPointer>

#include <vector>

namespace zn::speech {

// A scriptable stand-in for the speech platform: every step can succeed,
// fail or never complete, and everything built is counted. Completions are
// delivered later on the main thread, as the real platform does.
class FakeSpeechPlatform : public SpeechPlatform
{
public:
    enum class Step { Succeed, Fail, Hang };

    class Analyzer;
    class Task;

    // --- script ---------------------------------------------------------
    std::optional<QLocale> supportedLocale = QLocale(QLocale::English, QLocale::UnitedStates);
    // Asset request: an error, no request (installed), or a request whose
    // install succeeds, fails or hangs.
    std::optional<QString> assetRequestError;
    bool assetRequestNeeded = false;
    Step assetInstall = Step::Succeed;
    // Fail the asset check only from this call on (1 = the first); 0 = never.
    int assetRequestFailsFromCall = 0;
    std::optional<AudioFormat> bestFormat = AudioFormat{SampleFormat::Int16, 16000.0, 1};
    Step analyzerPrepare = Step::Succeed;
    Step analyzerFinalize = Step::Succeed;
    // Emitted as a final result just before finalisation completes.
    QString finalizeEmitsFinal;
    bool recognizerCreatable = true;
    bool recognizerAvailable = true;
    bool recognizerOnDevice = true;

    // --- what happened --------------------------------------------------
    int supportedLocaleCalls = 0;
    int assetRequestCalls = 0;
    int installCalls = 0;
    int analyzersMade = 0;
    int recognizersMade = 0;
    int tasksMade = 0;
    int analyzerCancelCalls = 0; // over all analyzers
    QList<QLocale> recognizerLocales;
    std::vector<QPointer<Analyzer>> analyzers;
    std::vector<Task *> liveTasks; // tasks not yet destroyed
    // The handler of the newest task, kept past the task's end so tests can
    // play a platform that delivers late.
    BufferRecognizer::Handler lastHandler;

    Analyzer *lastAnalyzer() const { return analyzers.empty() ? nullptr : analyzers.back().data(); }
    Task *lastTask() const { return liveTasks.empty() ? nullptr : liveTasks.back(); }

    // --- SpeechPlatform -------------------------------------------------
    void supportedTranscriberLocale(const QLocale &locale,
                                    std::function<void(std::optional<QLocale>)> done) override;
    void assetInstallationRequest(
        const QLocale &transcriberLocale,
        std::function<void(std::optional<SpeechError>, std::unique_ptr<SpeechAssetRequest>)> done) override;
    void bestAvailableAudioFormat(const QLocale &transcriberLocale, std::optional<AudioFormat> considering,
                                  std::function<void(std::optional<AudioFormat>)> done) override;
    std::unique_ptr<StreamingAnalyzerSession> makeAnalyzer(const QLocale &transcriberLocale) override;
    std::unique_ptr<BufferRecognizer> makeRecognizer(const QLocale &locale) override;

    class Analyzer : public StreamingAnalyzerSession
    {
    public:
        explicit Analyzer(FakeSpeechPlatform &platform) : m_platform(platform) {}

        void prepareToAnalyze(const AudioFormat &format, Completion done) override;
        void start(std::shared_ptr<AnalyzerInputStream> input, Completion ended) override;
        void finalizeAndFinishThroughEndOfInput(Completion done) override;
        void cancelAndFinishNow(std::function<void()> done) override;

        // Test side.
        void emitResult(const QString &text, bool isFinal) { emit result(text, isFinal); }
        void failStream(const QString &description);
        void failResults(const QString &description) { emit resultsFailed(description); }
        // Buffers read so far (reads whatever is queued, without waiting).
        QList<AudioBuffer> takeInput();
        // Completes a hung finalisation now, as a late platform would.
        void completeHungFinalize();

        std::optional<AudioFormat> preparedFormat;
        std::shared_ptr<AnalyzerInputStream> input;
        bool started = false;
        int finalizeCalls = 0;
        int cancelCalls = 0;

    private:
        FakeSpeechPlatform &m_platform;
        Completion m_ended;
        Completion m_hungFinalize;
    };

    class Task : public RecognitionTask
    {
    public:
        Task(FakeSpeechPlatform &platform, std::shared_ptr<BufferRecognitionRequest> request,
             BufferRecognizer::Handler handler);
        ~Task() override;
        void cancel() override { ++cancelCalls; }

        // Calls the handler on this thread, as a platform thread would.
        void deliver(std::optional<RecognitionResult> result, std::optional<SpeechError> error = std::nullopt)
        {
            m_handler(std::move(result), std::move(error));
        }

        std::shared_ptr<BufferRecognitionRequest> request;
        int cancelCalls = 0;

    private:
        FakeSpeechPlatform &m_platform;
        BufferRecognizer::Handler m_handler;
    };
};

} // namespace zn::speech
