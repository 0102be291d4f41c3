#pragma once

#include "platform/speech/DecoderWorker.h"
#include "platform/speech/PocketsphinxDecoder.h"
#include "platform/speech/SpeechPlatform.h"

#include <atomic>
#include <memory>
#include <mutex>

namespace zn::speech {

// The offline recogniser behind both back ends: English (and the C locale)
// on the installed en-US model; any other language, or a model that is
// missing or will not load, is unsupported. Nothing is ever downloaded.
class PocketsphinxSpeechPlatform : public SpeechPlatform
{
public:
    explicit PocketsphinxSpeechPlatform(ModelPaths paths = ModelPaths::installedEnglish());

    // One per process, so the model is loaded once and shared.
    static std::shared_ptr<PocketsphinxSpeechPlatform> shared();

    static bool isEnglish(const QLocale &locale);
    static QLocale transcriberLocale() { return QLocale(QLocale::English, QLocale::UnitedStates); }

    void supportedTranscriberLocale(const QLocale &locale,
                                    std::function<void(std::optional<QLocale>)> done) override;
    void assetInstallationRequest(
        const QLocale &transcriberLocale,
        std::function<void(std::optional<SpeechError>, std::unique_ptr<SpeechAssetRequest>)> done) override;
    void bestAvailableAudioFormat(const QLocale &transcriberLocale,
                                  std::optional<AudioFormat> considering,
                                  std::function<void(std::optional<AudioFormat>)> done) override;
    std::unique_ptr<StreamingAnalyzerSession> makeAnalyzer(const QLocale &transcriberLocale) override;
    std::unique_ptr<BufferRecognizer> makeRecognizer(const QLocale &locale) override;

    const std::shared_ptr<DecoderPool> &pool() const { return m_pool; }

private:
    enum class ModelState { Unknown, Loaded, Broken };
    std::shared_ptr<DecoderPool> m_pool;
    std::shared_ptr<std::atomic<ModelState>> m_state;
};

// Streaming decoder on a worker thread: growing partials, one final per
// utterance. Takes 16 kHz mono 16-bit input only.
class PocketsphinxAnalyzerSession : public StreamingAnalyzerSession
{
    Q_OBJECT
public:
    explicit PocketsphinxAnalyzerSession(std::shared_ptr<DecoderPool> pool, QObject *parent = nullptr);
    ~PocketsphinxAnalyzerSession() override;

    void prepareToAnalyze(const AudioFormat &format, Completion done) override;
    void start(std::shared_ptr<AnalyzerInputStream> input, Completion ended) override;
    void finalizeAndFinishThroughEndOfInput(Completion done) override;
    void cancelAndFinishNow(std::function<void()> done) override;

private:
    void workerFinished(bool cancelled);

    std::shared_ptr<DecoderPool> m_pool;
    std::shared_ptr<AnalyzerInputStream> m_input;
    std::unique_ptr<DecoderWorker> m_worker;
    bool m_finished = false;
    bool m_cancelled = false;
    std::optional<SpeechError> m_streamError;
    Completion m_ended;
    std::vector<Completion> m_finalizeWaiters;
    std::vector<std::function<void()>> m_cancelWaiters;
    std::shared_ptr<std::atomic<bool>> m_alive = std::make_shared<std::atomic<bool>>(true);
};

// The older back end: the whole text so far on every change, any PCM format.
class PocketsphinxBufferRecognizer : public BufferRecognizer
{
public:
    PocketsphinxBufferRecognizer(std::shared_ptr<DecoderPool> pool, bool modelKnownBroken);
    bool isAvailable() const override;
    bool supportsOnDeviceRecognition() const override { return true; }
    std::unique_ptr<RecognitionTask> recognitionTask(std::shared_ptr<BufferRecognitionRequest> request,
                                                     Handler handler) override;

private:
    std::shared_ptr<DecoderPool> m_pool;
    bool m_modelKnownBroken;
};

} // namespace zn::speech
