#include "voice/SpeechTranscriptionService.h"

#include "platform/base/Clock.h"
#include "platform/base/SystemLog.h"
#include "platform/speech/PocketsphinxSpeechPlatform.h"
#include "voice/AudioBufferConverter.h"

#include <QMetaObject>
#include <QPointer>

namespace zn {

using speech::SpeechError;

QString SpeechServiceError::description() const
{
    switch (kind) {
    case Kind::unavailable:
        return QStringLiteral("On-device speech is unavailable.");
    case Kind::timeout:
        return QStringLiteral("Speech finalization timed out.");
    }
    return {};
}

QString SpeechFailure::description() const
{
    return serviceError ? serviceError->description() : platformDescription;
}

QString SpeechTranscriptionService::rawValue(Backend backend)
{
    return backend == Backend::streaming ? QStringLiteral("streaming") : QStringLiteral("wholeText");
}

std::optional<SpeechTranscriptionService::Backend> SpeechTranscriptionService::backendFromRawValue(
    const QString &raw)
{
    if (raw == QLatin1String("streaming"))
        return Backend::streaming;
    if (raw == QLatin1String("wholeText"))
        return Backend::wholeText;
    return std::nullopt;
}

// A bounded wait inside stop(): whichever of the deadline, the awaited
// completion or a cancel() comes first settles it; the rest are ignored.
struct SpeechTranscriptionService::StopWait {
    bool settled = false;
    Clock::TimerId timer = 0;
    std::function<void()> proceed;
};

namespace {

const SpeechFailure kUnavailable = SpeechFailure::service(SpeechServiceError::Kind::unavailable);

} // namespace

SpeechTranscriptionService::SpeechTranscriptionService(std::shared_ptr<speech::SpeechPlatform> platform,
                                                             Clock *clock, QObject *parent)
    : QObject(parent)
    , m_platform(platform ? std::move(platform) : speech::PocketsphinxSpeechPlatform::shared())
    , m_clock(clock ? clock : &Clock::system())
    , m_preferredLocale(QLocale::system())
{
}

SpeechTranscriptionService::~SpeechTranscriptionService()
{
    ++m_run;
    m_isRunning = false;
    m_starting = false;
    m_startDone = nullptr;
    if (m_stopWait) {
        m_stopWait->settled = true;
        m_clock->cancel(m_stopWait->timer);
        m_stopWait.reset();
    }
    dropAnalyzerPipeline();
    dropRecognitionTask(); // joins the decoder threads
}

void SpeechTranscriptionService::later(std::function<void()> fn)
{
    QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

void SpeechTranscriptionService::setOnPartialText(TranscriptMerger::PartialTextHandler handler)
{
    m_merger.setOnPartialText(std::move(handler));
}

// --- prepare ---------------------------------------------------------------

void SpeechTranscriptionService::prepare(const QLocale &locale, Completion done)
{
    m_preferredLocale = locale;
    QPointer<SpeechTranscriptionService> self(this);
    m_platform->supportedTranscriberLocale(locale, [self, locale, done](std::optional<QLocale> supported) {
        if (!self)
            return;
        if (!supported) {
            done(self->configureRecognizer(locale));
            return;
        }
        const QLocale transcriberLocale = *supported;
        self->installAssets(transcriberLocale, nullptr,
                            [self, transcriberLocale, done](std::optional<SpeechError> error) {
                                if (error) {
                                    done(SpeechFailure::platform(error->description));
                                    return;
                                }
                                self->m_backend = Backend::streaming;
                                self->m_preferredLocale = transcriberLocale;
                                done(std::nullopt);
                            });
    });
}

void SpeechTranscriptionService::installAssets(const QLocale &locale, std::function<bool()> wanted,
                                                  std::function<void(std::optional<SpeechError>)> done)
{
    QPointer<SpeechTranscriptionService> self(this);
    m_platform->assetInstallationRequest(
        locale,
        [self, wanted, done](std::optional<SpeechError> error, std::unique_ptr<speech::SpeechAssetRequest> request) {
            if (!self)
                return;
            if (error || !request || (wanted && !wanted()))
                return done(error);
            // The request must outlive its own install.
            std::shared_ptr<speech::SpeechAssetRequest> held(std::move(request));
            held->downloadAndInstall([self, held, done](std::optional<SpeechError> e) {
                if (self)
                    done(e);
            });
        });
}

std::optional<SpeechFailure> SpeechTranscriptionService::configureRecognizer(const QLocale &locale)
{
    std::unique_ptr<speech::BufferRecognizer> recognizer = m_platform->makeRecognizer(locale);
    if (!recognizer || !recognizer->isAvailable() || !recognizer->supportsOnDeviceRecognition())
        return kUnavailable;
    m_recognizer = std::move(recognizer);
    m_backend = Backend::wholeText;
    m_preferredLocale = locale;
    return std::nullopt;
}

// --- start -----------------------------------------------------------------

void SpeechTranscriptionService::start(Completion done)
{
    if (m_isRunning || m_starting) {
        later([done] { done(std::nullopt); });
        return;
    }
    // A stop still finalising the previous run ends now, so its teardown
    // cannot reach into this run.
    settlePendingStop();
    m_merger.clearHypothesis();
    m_converter.reset();
    m_preferredInputFormat.reset();
    m_merger.rebuildLiveText();
    const quint64 run = ++m_run;
    m_starting = true;
    m_startDone = std::move(done);
    startWithBackend(run);
}

void SpeechTranscriptionService::abandonPendingStart()
{
    if (!m_starting)
        return;
    m_starting = false;
    // Overtaken by stop() or cancel(): not a failure, and never running.
    if (Completion done = std::exchange(m_startDone, nullptr))
        later([done] { done(std::nullopt); });
}

void SpeechTranscriptionService::finishStart(quint64 run, std::optional<SpeechFailure> failure)
{
    // An overtaken start was already answered by whoever overtook it.
    if (!isCurrent(run) || !m_starting)
        return;
    m_starting = false;
    if (!failure) {
        m_isRunning = true;
        // The back end that runs decides how its results read.
        m_merger.setResultShape(m_backend == Backend::streaming ? TranscriptMerger::ResultShape::Utterances
                                                                     : TranscriptMerger::ResultShape::WholeText);
    }
    if (Completion done = std::exchange(m_startDone, nullptr))
        later([done, failure] { done(failure); });
}

void SpeechTranscriptionService::startWithBackend(quint64 run)
{
    if (!m_backend) {
        QPointer<SpeechTranscriptionService> self(this);
        prepare(m_preferredLocale, [self, run](std::optional<SpeechFailure> failure) {
            if (!self || !self->isCurrent(run))
                return;
            if (failure || !self->m_backend)
                return self->finishStart(run, failure ? failure : kUnavailable);
            self->startWithBackend(run);
        });
        return;
    }
    if (*m_backend == Backend::wholeText) {
        finishStart(run, startRecognizer());
        return;
    }
    QPointer<SpeechTranscriptionService> self(this);
    startAnalyzer(run, [self, run](std::optional<SpeechFailure> failure) {
        // Overtaken: stop() or cancel() already dropped what this start built.
        if (!self || !self->isCurrent(run))
            return;
        if (!failure)
            return self->finishStart(run, std::nullopt);
        systemLog(QStringLiteral("Zephyrnote: Streaming recognition failed to start (%1); falling back to whole-text recognition.")
                      .arg(failure->description()));
        // Nothing of the failed analyzer start may linger next to the fallback.
        self->dropAnalyzerPipeline();
        std::optional<SpeechFailure> fallback = self->configureRecognizer(self->m_preferredLocale);
        if (!fallback)
            fallback = self->startRecognizer();
        self->finishStart(run, fallback);
    });
}

void SpeechTranscriptionService::startAnalyzer(quint64 run, Completion done)
{
    m_transcriber = m_preferredLocale;
    QPointer<SpeechTranscriptionService> self(this);
    installAssets(*m_transcriber, [self, run] { return self->isCurrent(run); },
                  [self, run, done](std::optional<SpeechError> error) {
                      if (!self->isCurrent(run))
                          return done(std::nullopt);
                      if (error)
                          return done(SpeechFailure::platform(error->description));
                      self->continueAnalyzerWithAssets(run, done);
                  });
}

void SpeechTranscriptionService::continueAnalyzerWithAssets(quint64 run, Completion done)
{
    QPointer<SpeechTranscriptionService> self(this);
    m_platform->bestAvailableAudioFormat(*m_transcriber, m_hardwareFormat,
                                         [self, run, done](std::optional<AudioFormat> best) {
                                             if (!self)
                                                 return;
                                             if (!self->isCurrent(run))
                                                 return done(std::nullopt);
                                             self->buildAnalyzer(run, best, done);
                                         });
}

void SpeechTranscriptionService::buildAnalyzer(quint64 run, std::optional<AudioFormat> best, Completion done)
{
    AudioFormat format;
    if (best && best->sampleFormat == SampleFormat::Int16) {
        format = *best;
    } else {
        const AudioFormat base = m_hardwareFormat.value_or(AudioFormat{SampleFormat::Float32, 16000.0, 1});
        const double rate = base.sampleRate > 0 ? base.sampleRate : 16000.0;
        format = AudioFormat{SampleFormat::Int16, rate, 1};
    }
    if (!format.isUsable())
        return done(kUnavailable);
    m_preferredInputFormat = format;

    if (m_hardwareFormat && !(*m_hardwareFormat == format)) {
        m_converter = AudioBufferConverter::create(*m_hardwareFormat, format);
        if (!m_converter)
            return done(kUnavailable);
    }

    m_inputContinuation = std::make_shared<speech::AnalyzerInputStream>();
    m_analyzer = m_platform->makeAnalyzer(*m_transcriber);
    if (!m_analyzer)
        return done(kUnavailable);

    QPointer<SpeechTranscriptionService> self(this);
    QPointer<speech::StreamingAnalyzerSession> analyzer(m_analyzer.get());
    m_analyzer->prepareToAnalyze(format, [self, analyzer, run, done](std::optional<SpeechError> error) {
        if (!self)
            return;
        if (!self->isCurrent(run) || !analyzer || analyzer != self->m_analyzer.get())
            return done(std::nullopt);
        if (error)
            return done(SpeechFailure::platform(error->description));

        // Results of this run only: later runs have analyzers of their own.
        self->m_resultsTask = connect(analyzer, &speech::StreamingAnalyzerSession::result, self,
                                      [self, run](const QString &text, bool isFinal) {
                                          if (self->isCurrent(run))
                                              self->handleResult(text, isFinal);
                                      });
        self->m_resultsFailed = connect(analyzer, &speech::StreamingAnalyzerSession::resultsFailed, self, [self] {
            QObject::disconnect(self->m_resultsTask);
        });
        analyzer->start(self->m_inputContinuation, [](std::optional<SpeechError> streamError) {
            if (streamError)
                systemLog(QStringLiteral("Zephyrnote: Streaming recognition error: %1").arg(streamError->description));
        });
        done(std::nullopt);
    });
}

std::optional<SpeechFailure> SpeechTranscriptionService::startRecognizer()
{
    if (!m_recognizer) {
        m_recognizer = m_platform->makeRecognizer(m_preferredLocale);
        if (!m_recognizer)
            return kUnavailable;
    }
    m_backend = Backend::wholeText;
    m_preferredInputFormat.reset();
    m_converter.reset();

    dropRecognitionTask();
    m_recognitionRequest = std::make_shared<speech::BufferRecognitionRequest>();
    m_recognitionRequest->shouldReportPartialResults = true;
    m_recognitionRequest->requiresOnDeviceRecognition = true;
    m_recognitionRequest->addsPunctuation = true;

    // The handler runs on a recogniser thread: it only posts to this thread.
    const QPointer<SpeechTranscriptionService> self(this);
    const quint64 run = m_run;
    m_recognitionTask = m_recognizer->recognitionTask(
        m_recognitionRequest, [self, run](std::optional<speech::RecognitionResult> result, std::optional<SpeechError> error) {
            speech::postToMainThread([self, run, result, error] {
                if (!self)
                    return;
                if (result && self->isCurrent(run))
                    self->handleResult(result->text, result->isFinal);
                if (error)
                    systemLog(QStringLiteral("Zephyrnote: Whole-text recognition note: %1").arg(error->description));
            });
        });
    if (!m_recognitionTask) {
        m_recognitionRequest.reset();
        return kUnavailable;
    }
    return std::nullopt;
}

// --- feed ------------------------------------------------------------------

void SpeechTranscriptionService::append(const AudioBuffer &buffer)
{
    if (!m_isRunning || !m_backend)
        return;
    if (*m_backend == Backend::wholeText) {
        if (m_recognitionRequest)
            m_recognitionRequest->append(buffer);
        return;
    }
    std::optional<AudioBuffer> input;
    if (m_converter) {
        input = m_converter->convert(buffer);
        if (!input)
            return;
    } else {
        if (buffer.isNull() || buffer.format().sampleFormat != SampleFormat::Int16)
            return;
        input = buffer;
    }
    if (m_inputContinuation)
        m_inputContinuation->push(*input);
}

// --- stop and cancel -------------------------------------------------------

void SpeechTranscriptionService::waitThenStop(std::chrono::milliseconds limit,
                                                 std::function<void()> onDeadline,
                                                 std::function<void(const QString &)> done)
{
    auto wait = std::make_shared<StopWait>();
    QPointer<SpeechTranscriptionService> self(this);
    std::weak_ptr<StopWait> weakWait = wait;
    wait->proceed = [self, weakWait, done] {
        if (!self)
            return;
        if (auto w = weakWait.lock(); w && self->m_stopWait == w)
            self->m_stopWait.reset();
        self->finishStop(done);
    };
    m_stopWait = wait;
    wait->timer = m_clock->schedule(limit, this, [wait, onDeadline] {
        if (wait->settled)
            return;
        wait->settled = true;
        if (onDeadline)
            onDeadline();
        wait->proceed();
    });
}

void SpeechTranscriptionService::stop(std::function<void(const QString &)> done)
{
    if (!m_isRunning) {
        if (m_starting) {
            // A start still on its way is overtaken: it must not come alive later.
            abandonPendingStart();
            ++m_run;
            dropAnalyzerPipeline();
            dropRecognitionTask();
        }
        commitPendingHypothesis();
        later([done, text = liveText()] { done(text); });
        return;
    }
    m_isRunning = false;

    if (m_backend == Backend::wholeText) {
        if (m_recognitionRequest)
            m_recognitionRequest->endAudio();
        // The recogniser's last words arrive during this tail.
        waitThenStop(recognizerTail, nullptr, std::move(done));
        return;
    }
    if (m_backend == Backend::streaming) {
        if (m_inputContinuation)
            m_inputContinuation->finish();
        m_inputContinuation.reset();
        if (!m_analyzer) {
            cancelTasks();
            finishStop(done);
            return;
        }
        QPointer<speech::StreamingAnalyzerSession> analyzer(m_analyzer.get());
        // At the deadline the finaliser is cancelled and not waited for: one
        // that ignores cancellation must not hold stop for ever.
        waitThenStop(finalizationLimit, [analyzer] {
            if (analyzer)
                analyzer->cancelAndFinishNow([] {});
        }, done);
        std::weak_ptr<StopWait> weakWait = m_stopWait;
        m_analyzer->finalizeAndFinishThroughEndOfInput([this, analyzer, weakWait](std::optional<SpeechError> error) {
            std::shared_ptr<StopWait> wait = weakWait.lock();
            if (!wait || wait->settled)
                return; // a late completion after the deadline or a cancel
            wait->settled = true;
            m_clock->cancel(wait->timer);
            if (error && analyzer)
                analyzer->cancelAndFinishNow([] {});
            wait->proceed();
        });
        return;
    }
    finishStop(done);
}

void SpeechTranscriptionService::finishStop(const std::function<void(const QString &)> &done)
{
    if (m_backend == Backend::wholeText) {
        dropRecognitionTask();
    } else {
        cancelTasks();
    }
    m_converter.reset();
    m_preferredInputFormat.reset();
    ++m_run; // whatever the finished run still sends is late now
    commitPendingHypothesis();
    later([done, text = liveText()] { done(text); });
}

void SpeechTranscriptionService::cancel(std::function<void()> done)
{
    m_isRunning = false;
    abandonPendingStart();
    ++m_run;
    dropAnalyzerPipeline();
    dropRecognitionTask();
    m_converter.reset();
    m_preferredInputFormat.reset();
    // A stop waiting on its tail or finaliser returns now.
    settlePendingStop();
    if (done)
        later(std::move(done));
}

void SpeechTranscriptionService::settlePendingStop()
{
    std::shared_ptr<StopWait> wait = std::exchange(m_stopWait, nullptr);
    if (!wait || wait->settled)
        return;
    wait->settled = true;
    m_clock->cancel(wait->timer);
    dropAnalyzerPipeline();
    wait->proceed();
}

void SpeechTranscriptionService::dropAnalyzerPipeline()
{
    if (m_inputContinuation) {
        m_inputContinuation->finish();
        m_inputContinuation.reset();
    }
    if (m_analyzer)
        m_analyzer->cancelAndFinishNow([] {});
    cancelTasks();
}

void SpeechTranscriptionService::cancelTasks()
{
    QObject::disconnect(m_resultsTask);
    QObject::disconnect(m_resultsFailed);
    m_analyzer.reset(); // joins its decoder thread
    m_transcriber.reset();
}

void SpeechTranscriptionService::dropRecognitionTask()
{
    if (m_recognitionRequest)
        m_recognitionRequest->endAudio();
    if (m_recognitionTask) {
        m_recognitionTask->cancel();
        m_recognitionTask.reset(); // joins its decoder thread
    }
    m_recognitionRequest.reset();
}

} // namespace zn
