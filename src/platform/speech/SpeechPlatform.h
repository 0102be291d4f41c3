#pragma once

#include "platform/audio/AudioBuffer.h"
#include "platform/speech/BlockingQueue.h"

#include <QLocale>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

namespace zn::speech {

// The recognisers the transcription service drives, as small interfaces: a
// streaming analyzer that reports revised hypotheses and one final per
// utterance, and an older buffer recognizer that reports the whole text so
// far. Completions arrive later, on the main thread, unless said otherwise;
// an operation may also never complete, so callers bound their waits.

struct SpeechError {
    QString description;
};

using Completion = std::function<void(std::optional<SpeechError>)>;

// What the analyzer reads: unbounded, so feeding never waits or drops.
using AnalyzerInputStream = BlockingQueue<AudioBuffer>;

class SpeechAssetRequest
{
public:
    virtual ~SpeechAssetRequest() = default;
    virtual void downloadAndInstall(Completion done) = 0;
};

// One analyzer run with its transcription module. Lives on the main thread.
class StreamingAnalyzerSession : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Fails for a format the analyzer cannot take or a model that will not load.
    virtual void prepareToAnalyze(const AudioFormat &format, Completion done) = 0;
    // Reads `input` until it is finished; `ended` reports how the analysis ended.
    virtual void start(std::shared_ptr<AnalyzerInputStream> input, Completion ended) = 0;
    // Analyses everything already in the finished input, reports the last
    // final result, then completes.
    virtual void finalizeAndFinishThroughEndOfInput(Completion done) = 0;
    // Drops unread input and ends without further results.
    virtual void cancelAndFinishNow(std::function<void()> done) = 0;

signals:
    // The transcription module's results, on the main thread.
    void result(const QString &text, bool isFinal);
    // The results sequence ended with an error.
    void resultsFailed(const QString &description);
};

// Audio for the older recognizer, in any PCM format. Thread-safe.
class BufferRecognitionRequest
{
public:
    bool shouldReportPartialResults = false;
    bool requiresOnDeviceRecognition = false;
    bool addsPunctuation = false;

    void append(const AudioBuffer &buffer)
    {
        if (!buffer.isNull() && m_audio.push(buffer))
            ++m_appended;
    }
    void endAudio() { m_audio.finish(); }

    bool isAudioEnded() const { return m_audio.isFinished(); }
    int appendedCount() const { return m_appended.load(); }
    // The recognizer's side.
    BlockingQueue<AudioBuffer> &audio() { return m_audio; }

private:
    BlockingQueue<AudioBuffer> m_audio;
    std::atomic<int> m_appended{0};
};

struct RecognitionResult {
    QString text;   // the best transcription, formatted
    bool isFinal = false;
};

class RecognitionTask
{
public:
    virtual ~RecognitionTask() = default;
    // No callbacks are started after this returns.
    virtual void cancel() = 0;
};

class BufferRecognizer
{
public:
    virtual ~BufferRecognizer() = default;
    virtual bool isAvailable() const = 0;
    virtual bool supportsOnDeviceRecognition() const = 0;
    // `handler` may be called on any thread; a result and an error may come
    // together.
    using Handler = std::function<void(std::optional<RecognitionResult>, std::optional<SpeechError>)>;
    virtual std::unique_ptr<RecognitionTask> recognitionTask(std::shared_ptr<BufferRecognitionRequest> request,
                                                             Handler handler) = 0;
};

class SpeechPlatform
{
public:
    virtual ~SpeechPlatform() = default;

    // The transcriber locale equivalent to `locale`, or none when unsupported.
    virtual void supportedTranscriberLocale(const QLocale &locale,
                                            std::function<void(std::optional<QLocale>)> done) = 0;
    // No request (and no error) means the assets are already installed.
    virtual void assetInstallationRequest(
        const QLocale &transcriberLocale,
        std::function<void(std::optional<SpeechError>, std::unique_ptr<SpeechAssetRequest>)> done) = 0;
    virtual void bestAvailableAudioFormat(const QLocale &transcriberLocale,
                                          std::optional<AudioFormat> considering,
                                          std::function<void(std::optional<AudioFormat>)> done) = 0;
    virtual std::unique_ptr<StreamingAnalyzerSession> makeAnalyzer(const QLocale &transcriberLocale) = 0;
    // nullptr when no recognizer exists for the locale.
    virtual std::unique_ptr<BufferRecognizer> makeRecognizer(const QLocale &locale) = 0;
};

// Runs `fn` on the main thread later (never inside the caller).
void postToMainThread(std::function<void()> fn);

} // namespace zn::speech
