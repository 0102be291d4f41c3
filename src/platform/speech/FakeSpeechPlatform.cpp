#include "platform/speech/FakeSpeechPlatform.h"

#include <algorithm>

namespace zn::speech {

namespace {

class FakeAssetRequest : public SpeechAssetRequest
{
public:
    explicit FakeAssetRequest(FakeSpeechPlatform &platform) : m_platform(platform) {}
    void downloadAndInstall(Completion done) override
    {
        ++m_platform.installCalls;
        switch (m_platform.assetInstall) {
        case FakeSpeechPlatform::Step::Succeed:
            postToMainThread([done] { done(std::nullopt); });
            break;
        case FakeSpeechPlatform::Step::Fail:
            postToMainThread([done] { done(SpeechError{QStringLiteral("Asset install failed.")}); });
            break;
        case FakeSpeechPlatform::Step::Hang:
            break;
        }
    }

private:
    FakeSpeechPlatform &m_platform;
};

class FakeRecognizer : public BufferRecognizer
{
public:
    explicit FakeRecognizer(FakeSpeechPlatform &platform) : m_platform(platform) {}
    bool isAvailable() const override { return m_platform.recognizerAvailable; }
    bool supportsOnDeviceRecognition() const override { return m_platform.recognizerOnDevice; }
    std::unique_ptr<RecognitionTask> recognitionTask(std::shared_ptr<BufferRecognitionRequest> request,
                                                     Handler handler) override
    {
        ++m_platform.tasksMade;
        return std::make_unique<FakeSpeechPlatform::Task>(m_platform, std::move(request), std::move(handler));
    }

private:
    FakeSpeechPlatform &m_platform;
};

} // namespace

void FakeSpeechPlatform::supportedTranscriberLocale(const QLocale &,
                                                    std::function<void(std::optional<QLocale>)> done)
{
    ++supportedLocaleCalls;
    postToMainThread([done, locale = supportedLocale] { done(locale); });
}

void FakeSpeechPlatform::assetInstallationRequest(
    const QLocale &, std::function<void(std::optional<SpeechError>, std::unique_ptr<SpeechAssetRequest>)> done)
{
    ++assetRequestCalls;
    std::optional<QString> error = assetRequestError;
    if (assetRequestFailsFromCall > 0 && assetRequestCalls < assetRequestFailsFromCall)
        error.reset();
    if (error) {
        postToMainThread([done, error] { done(SpeechError{*error}, nullptr); });
        return;
    }
    const bool needed = assetRequestNeeded;
    postToMainThread([this, done, needed] {
        done(std::nullopt, needed ? std::make_unique<FakeAssetRequest>(*this) : nullptr);
    });
}

void FakeSpeechPlatform::bestAvailableAudioFormat(const QLocale &, std::optional<AudioFormat>,
                                                  std::function<void(std::optional<AudioFormat>)> done)
{
    postToMainThread([done, format = bestFormat] { done(format); });
}

std::unique_ptr<StreamingAnalyzerSession> FakeSpeechPlatform::makeAnalyzer(const QLocale &)
{
    ++analyzersMade;
    auto analyzer = std::make_unique<Analyzer>(*this);
    analyzers.push_back(analyzer.get());
    return analyzer;
}

std::unique_ptr<BufferRecognizer> FakeSpeechPlatform::makeRecognizer(const QLocale &locale)
{
    recognizerLocales << locale;
    if (!recognizerCreatable)
        return nullptr;
    ++recognizersMade;
    return std::make_unique<FakeRecognizer>(*this);
}

void FakeSpeechPlatform::Analyzer::prepareToAnalyze(const AudioFormat &format, Completion done)
{
    preparedFormat = format;
    switch (m_platform.analyzerPrepare) {
    case Step::Succeed:
        postToMainThread([done] { done(std::nullopt); });
        break;
    case Step::Fail:
        postToMainThread([done] { done(SpeechError{QStringLiteral("Analyzer refused the format.")}); });
        break;
    case Step::Hang:
        break;
    }
}

void FakeSpeechPlatform::Analyzer::start(std::shared_ptr<AnalyzerInputStream> stream, Completion ended)
{
    started = true;
    input = std::move(stream);
    m_ended = std::move(ended);
}

void FakeSpeechPlatform::Analyzer::failStream(const QString &description)
{
    if (Completion ended = std::exchange(m_ended, nullptr))
        ended(SpeechError{description});
}

QList<AudioBuffer> FakeSpeechPlatform::Analyzer::takeInput()
{
    QList<AudioBuffer> taken;
    if (!input)
        return taken;
    while (input->size() > 0) {
        if (std::optional<AudioBuffer> buffer = input->next())
            taken << *buffer;
    }
    return taken;
}

void FakeSpeechPlatform::Analyzer::finalizeAndFinishThroughEndOfInput(Completion done)
{
    ++finalizeCalls;
    switch (m_platform.analyzerFinalize) {
    case Step::Succeed: {
        const QString last = m_platform.finalizeEmitsFinal;
        QPointer<Analyzer> self(this);
        postToMainThread([self, done, last] {
            if (self && !last.isEmpty())
                self->emitResult(last, true);
            done(std::nullopt);
        });
        break;
    }
    case Step::Fail:
        postToMainThread([done] { done(SpeechError{QStringLiteral("Finalisation failed.")}); });
        break;
    case Step::Hang:
        m_hungFinalize = std::move(done);
        break;
    }
}

void FakeSpeechPlatform::Analyzer::completeHungFinalize()
{
    if (Completion done = std::exchange(m_hungFinalize, nullptr))
        done(std::nullopt);
}

void FakeSpeechPlatform::Analyzer::cancelAndFinishNow(std::function<void()> done)
{
    ++cancelCalls;
    ++m_platform.analyzerCancelCalls;
    if (input)
        input->cancel();
    postToMainThread(std::move(done));
}

FakeSpeechPlatform::Task::Task(FakeSpeechPlatform &platform, std::shared_ptr<BufferRecognitionRequest> req,
                               BufferRecognizer::Handler handler)
    : request(std::move(req)), m_platform(platform), m_handler(std::move(handler))
{
    m_platform.lastHandler = m_handler;
    m_platform.liveTasks.push_back(this);
}

FakeSpeechPlatform::Task::~Task()
{
    auto &tasks = m_platform.liveTasks;
    tasks.erase(std::remove(tasks.begin(), tasks.end(), this), tasks.end());
}

} // namespace zn::speech
