#include "platform/speech/PocketsphinxSpeechPlatform.h"

#include "platform/speech/SpeechSamples.h"

#include <QCoreApplication>
#include <QFuture>
#include <QMetaObject>
#include <QtConcurrent/QtConcurrentRun>

namespace zn::speech {

PocketsphinxSpeechPlatform::PocketsphinxSpeechPlatform(ModelPaths paths)
    : m_pool(std::make_shared<DecoderPool>(std::move(paths)))
    , m_state(std::make_shared<std::atomic<ModelState>>(ModelState::Unknown))
{
}

std::shared_ptr<PocketsphinxSpeechPlatform> PocketsphinxSpeechPlatform::shared()
{
    static std::shared_ptr<PocketsphinxSpeechPlatform> instance =
        std::make_shared<PocketsphinxSpeechPlatform>();
    return instance;
}

bool PocketsphinxSpeechPlatform::isEnglish(const QLocale &locale)
{
    // The C locale is what a process gets without LANG; its texts are English.
    return locale.language() == QLocale::English || locale.language() == QLocale::C;
}

void PocketsphinxSpeechPlatform::supportedTranscriberLocale(
    const QLocale &locale, std::function<void(std::optional<QLocale>)> done)
{
    if (!isEnglish(locale)) {
        postToMainThread([done] { done(std::nullopt); });
        return;
    }
    if (m_state->load() == ModelState::Loaded) {
        postToMainThread([done] { done(transcriberLocale()); });
        return;
    }
    // A model that is there but will not load counts as no model: find out
    // now, off the UI thread, and keep the loaded decoder for the first run.
    std::shared_ptr<DecoderPool> pool = m_pool;
    std::shared_ptr<std::atomic<ModelState>> state = m_state;
    // A load that fails at once may finish before the continuation is
    // attached, which then runs inside this call: post the answer.
    QtConcurrent::run([pool] { return pool->warmUp(); })
        .then(QCoreApplication::instance(), [state, done](bool loaded) {
            state->store(loaded ? ModelState::Loaded : ModelState::Broken);
            postToMainThread([done, loaded] {
                done(loaded ? std::optional<QLocale>(transcriberLocale()) : std::nullopt);
            });
        });
}

void PocketsphinxSpeechPlatform::assetInstallationRequest(
    const QLocale &, std::function<void(std::optional<SpeechError>, std::unique_ptr<SpeechAssetRequest>)> done)
{
    // The model comes with the system package; there is nothing to install.
    postToMainThread([done] { done(std::nullopt, nullptr); });
}

void PocketsphinxSpeechPlatform::bestAvailableAudioFormat(const QLocale &, std::optional<AudioFormat>,
                                                          std::function<void(std::optional<AudioFormat>)> done)
{
    postToMainThread([done] { done(decoderFormat()); });
}

std::unique_ptr<StreamingAnalyzerSession> PocketsphinxSpeechPlatform::makeAnalyzer(const QLocale &)
{
    return std::make_unique<PocketsphinxAnalyzerSession>(m_pool);
}

std::unique_ptr<BufferRecognizer> PocketsphinxSpeechPlatform::makeRecognizer(const QLocale &locale)
{
    if (!isEnglish(locale))
        return nullptr;
    return std::make_unique<PocketsphinxBufferRecognizer>(m_pool, m_state->load() == ModelState::Broken);
}

// --- analyzer -------------------------------------------------------------

PocketsphinxAnalyzerSession::PocketsphinxAnalyzerSession(std::shared_ptr<DecoderPool> pool, QObject *parent)
    : StreamingAnalyzerSession(parent), m_pool(std::move(pool))
{
}

PocketsphinxAnalyzerSession::~PocketsphinxAnalyzerSession()
{
    m_alive->store(false);
    m_worker.reset(); // cancels and joins
}

void PocketsphinxAnalyzerSession::prepareToAnalyze(const AudioFormat &format, Completion done)
{
    if (!(format == decoderFormat())) {
        const QString why = QStringLiteral("The speech analyzer cannot take %1 audio.").arg(format.describe());
        postToMainThread([done, why] { done(SpeechError{why}); });
        return;
    }
    std::shared_ptr<DecoderPool> pool = m_pool;
    QtConcurrent::run([pool] {
        QString error;
        return pool->warmUp(&error) ? QString() : error;
    }).then(this, [this, done](const QString &error) {
        // Posted: a quick failure may otherwise answer inside this call.
        QMetaObject::invokeMethod(
            this,
            [done, error] {
                if (error.isEmpty())
                    done(std::nullopt);
                else
                    done(SpeechError{error});
            },
            Qt::QueuedConnection);
    });
}

void PocketsphinxAnalyzerSession::start(std::shared_ptr<AnalyzerInputStream> input, Completion ended)
{
    if (m_worker) {
        postToMainThread([ended] { ended(SpeechError{QStringLiteral("The analyzer is already running.")}); });
        return;
    }
    m_input = input;
    m_ended = std::move(ended);
    DecoderWorker::Events events;
    events.result = [this](const QString &text, bool isFinal) {
        QMetaObject::invokeMethod(this, [this, text, isFinal] {
            if (!m_cancelled)
                emit result(text, isFinal);
        }, Qt::QueuedConnection);
    };
    events.error = [this](const QString &description) {
        QMetaObject::invokeMethod(this, [this, description] {
            if (!m_streamError)
                m_streamError = SpeechError{description};
        }, Qt::QueuedConnection);
    };
    events.finished = [this](bool cancelled) {
        QMetaObject::invokeMethod(this, [this, cancelled] { workerFinished(cancelled); },
                                  Qt::QueuedConnection);
    };
    auto source = [input]() -> std::optional<DecoderWorker::Samples> {
        while (std::optional<AudioBuffer> buffer = input->next()) {
            if (auto samples = decoderSamples(*buffer))
                return samples;
        }
        return std::nullopt;
    };
    m_worker = std::make_unique<DecoderWorker>(m_pool, DecoderWorker::Mode::Utterances, std::move(source),
                                               [input] { input->cancel(); }, std::move(events));
    m_worker->start();
}

void PocketsphinxAnalyzerSession::finalizeAndFinishThroughEndOfInput(Completion done)
{
    if (!m_worker || m_finished) {
        postToMainThread([done] { done(std::nullopt); });
        return;
    }
    if (m_input)
        m_input->finish();
    m_finalizeWaiters.push_back(std::move(done));
}

void PocketsphinxAnalyzerSession::cancelAndFinishNow(std::function<void()> done)
{
    m_cancelled = true;
    if (!m_worker || m_finished) {
        postToMainThread(std::move(done));
        return;
    }
    m_worker->cancel();
    m_cancelWaiters.push_back(std::move(done));
}

void PocketsphinxAnalyzerSession::workerFinished(bool cancelled)
{
    m_finished = true;
    m_worker->join();
    const std::optional<SpeechError> error = cancelled ? std::nullopt : m_streamError;
    // Any completion may end the run and destroy this session: take them all
    // out first, and touch no member once the first has been called.
    Completion ended = std::exchange(m_ended, nullptr);
    std::vector<Completion> finalizeWaiters = std::exchange(m_finalizeWaiters, {});
    std::vector<std::function<void()>> cancelWaiters = std::exchange(m_cancelWaiters, {});
    if (ended)
        ended(error);
    for (Completion &done : finalizeWaiters)
        done(error);
    for (auto &done : cancelWaiters)
        done();
}

// --- older recognizer -----------------------------------------------------

namespace {

class PocketsphinxRecognitionTask : public RecognitionTask
{
public:
    PocketsphinxRecognitionTask(std::shared_ptr<DecoderPool> pool,
                                std::shared_ptr<BufferRecognitionRequest> request,
                                BufferRecognizer::Handler handler)
    {
        auto converter = std::make_shared<StreamingSampleConverter>();
        auto flushed = std::make_shared<bool>(false);
        auto source = [request, converter, flushed]() -> std::optional<DecoderWorker::Samples> {
            while (std::optional<AudioBuffer> buffer = request->audio().next()) {
                DecoderWorker::Samples samples = converter->convert(*buffer);
                if (!samples.empty())
                    return samples;
            }
            if (!*flushed) {
                *flushed = true;
                DecoderWorker::Samples rest = converter->flush();
                if (!rest.empty())
                    return rest;
            }
            return std::nullopt;
        };
        DecoderWorker::Events events;
        events.result = [handler](const QString &text, bool isFinal) {
            handler(RecognitionResult{text, isFinal}, std::nullopt);
        };
        events.error = [handler](const QString &description) {
            handler(std::nullopt, SpeechError{description});
        };
        m_worker = std::make_unique<DecoderWorker>(std::move(pool), DecoderWorker::Mode::WholeText,
                                                   std::move(source),
                                                   [request] { request->audio().cancel(); },
                                                   std::move(events));
        m_worker->start();
    }

    ~PocketsphinxRecognitionTask() override { m_worker.reset(); }

    void cancel() override { m_worker->cancel(); }

private:
    std::unique_ptr<DecoderWorker> m_worker;
};

} // namespace

PocketsphinxBufferRecognizer::PocketsphinxBufferRecognizer(std::shared_ptr<DecoderPool> pool,
                                                           bool modelKnownBroken)
    : m_pool(std::move(pool)), m_modelKnownBroken(modelKnownBroken)
{
}

bool PocketsphinxBufferRecognizer::isAvailable() const
{
    return !m_modelKnownBroken && m_pool->paths().looksComplete();
}

std::unique_ptr<RecognitionTask> PocketsphinxBufferRecognizer::recognitionTask(
    std::shared_ptr<BufferRecognitionRequest> request, Handler handler)
{
    return std::make_unique<PocketsphinxRecognitionTask>(m_pool, std::move(request), std::move(handler));
}

} // namespace zn::speech
