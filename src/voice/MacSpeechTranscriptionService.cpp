#include "voice/MacSpeechTranscriptionService.h"

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

QString MacSpeechTranscriptionService::rawValue(Backend backend)
{
    return backend == Backend::speechAnalyzer ? QStringLiteral("speechAnalyzer") : QStringLiteral("sfSpeech");
}

std::optional<MacSpeechTranscriptionService::Backend> MacSpeechTranscriptionService::backendFromRawValue(
    const QString &raw)
{
    if (raw == QLatin1String("speechAnalyzer"))
        return Backend::speechAnalyzer;
    if (raw == QLatin1String("sfSpeech"))
        return Backend::sfSpeech;
    return std::nullopt;
}

// A bounded wait inside stop(): whichever of the deadline, the awaited
// completion or a cancel() comes first settles it; the rest are ignored.
struct MacSpeechTranscriptionService::StopWait {
    bool settled = false;
    Clock::TimerId timer = 0;
    std::function<void()> proceed;
};

namespace {

const SpeechFailure kUnavailable = SpeechFailure::service(SpeechServiceError::Kind::unavailable);

} // namespace

MacSpeechTranscriptionService::MacSpeechTranscriptionService(std::shared_ptr<speech::SpeechPlatform> platform,
                                                             Clock *clock, QObject *parent)
    : QObject(parent)
    , m_platform(platform ? std::move(platform) : speech::PocketsphinxSpeechPlatform::shared())
    , m_clock(clock ? clock : &Clock::system())
    , m_preferredLocale(QLocale::system())
{
}

MacSpeechTranscriptionService::~MacSpeechTranscriptionService()
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

void MacSpeechTranscriptionService::later(std::function<void()> fn)
{
    QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

void MacSpeechTranscriptionService::setOnPartialText(TranscriptMerger::PartialTextHandler handler)
{
    m_merger.setOnPartialText(std::move(handler));
}

// --- prepare ---------------------------------------------------------------

void MacSpeechTranscriptionService::prepare(const QLocale &locale, Completion done)
{
    m_preferredLocale = locale;
    QPointer<MacSpeechTranscriptionService> self(this);
    m_platform->supportedTranscriberLocale(locale, [self, locale, done](std::optional<QLocale> supported) {
        if (!self)
            return;
        if (!supported) {
            done(self->configureSFSpeech(locale));
            return;
        }
        const QLocale transcriberLocale = *supported;
        self->installAssets(transcriberLocale, nullptr,
                            [self, transcriberLocale, done](std::optional<SpeechError> error) {
                                if (error) {
                                    done(SpeechFailure::platform(error->description));
                                    return;
                                }
                                self->m_backend = Backend::speechAnalyzer;
                                self->m_preferredLocale = transcriberLocale;
                                done(std::nullopt);
                            });
    });
}

void MacSpeechTranscriptionService::installAssets(const QLocale &locale, std::function<bool()> wanted,
                                                  std::function<void(std::optional<SpeechError>)> done)
{
    QPointer<MacSpeechTranscriptionService> self(this);
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

std::optional<SpeechFailure> MacSpeechTranscriptionService::configureSFSpeech(const QLocale &locale)
{
    std::unique_ptr<speech::BufferRecognizer> recognizer = m_platform->makeRecognizer(locale);
    if (!recognizer || !recognizer->isAvailable() || !recognizer->supportsOnDeviceRecognition())
        return kUnavailable;
    m_sfRecognizer = std::move(recognizer);
    m_backend = Backend::sfSpeech;
    m_preferredLocale = locale;
    return std::nullopt;
}

// --- start -----------------------------------------------------------------

void MacSpeechTranscriptionService::start(Completion done)
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

void MacSpeechTranscriptionService::abandonPendingStart()
{
    if (!m_starting)
        return;
    m_starting = false;
    // Overtaken by stop() or cancel(): not a failure, and never running.
    if (Completion done = std::exchange(m_startDone, nullptr))
        later([done] { done(std::nullopt); });
}

void MacSpeechTranscriptionService::finishStart(quint64 run, std::optional<SpeechFailure> failure)
{
    // An overtaken start was already answered by whoever overtook it.
    if (!isCurrent(run) || !m_starting)
        return;
    m_starting = false;
    if (!failure) {
        m_isRunning = true;
        // The back end that runs decides how its results read.
        m_merger.setResultShape(m_backend == Backend::speechAnalyzer ? TranscriptMerger::ResultShape::Utterances
                                                                     : TranscriptMerger::ResultShape::WholeText);
    }
    if (Completion done = std::exchange(m_startDone, nullptr))
        later([done, failure] { done(failure); });
}

void MacSpeechTranscriptionService::startWithBackend(quint64 run)
{
    if (!m_backend) {
        QPointer<MacSpeechTranscriptionService> self(this);
        prepare(m_preferredLocale, [self, run](std::optional<SpeechFailure> failure) {
            if (!self || !self->isCurrent(run))
                return;
            if (failure || !self->m_backend)
                return self->finishStart(run, failure ? failure : kUnavailable);
            self->startWithBackend(run);
        });
        return;
    }
    if (*m_backend == Backend::sfSpeech) {
        finishStart(run, startSFSpeech());
        return;
    }
    QPointer<MacSpeechTranscriptionService> self(this);
    startAnalyzer(run, [self, run](std::optional<SpeechFailure> failure) {
        // Overtaken: stop() or cancel() already dropped what this start built.
        if (!self || !self->isCurrent(run))
            return;
        if (!failure)
            return self->finishStart(run, std::nullopt);
        systemLog(QStringLiteral("Zephyrnote: SpeechAnalyzer start failed (%1); falling back to SFSpeech.")
                      .arg(failure->description()));
        // Nothing of the failed analyzer start may linger next to the fallback.
        self->dropAnalyzerPipeline();
        std::optional<SpeechFailure> fallback = self->configureSFSpeech(self->m_preferredLocale);
        if (!fallback)
            fallback = self->startSFSpeech();
        self->finishStart(run, fallback);
    });
}

void MacSpeechTranscriptionService::startAnalyzer(quint64 run, Completion done)
{
    m_transcriber = m_preferredLocale;
    QPointer<MacSpeechTranscriptionService> self(this);
    installAssets(*m_transcriber, [self, run] { return self->isCurrent(run); },
                  [self, run, done](std::optional<SpeechError> error) {
                      if (!self->isCurrent(run))
                          return done(std::nullopt);
                      if (error)
                          return done(SpeechFailure::platform(error->description));
                      self->continueAnalyzerWithAssets(run, done);
                  });
}

void MacSpeechTranscriptionService::continueAnalyzerWithAssets(quint64 run, Completion done)
{
    QPointer<MacSpeechTranscriptionService> self(this);
    m_platform->bestAvailableAudioFormat(*m_transcriber, m_hardwareFormat,
                                         [self, run, done](std::optional<AudioFormat> best) {
                                             if (!self)
                                                 return;
                                             if (!self->isCurrent(run))
                                                 return done(std::nullopt);
                                             self->buildAnalyzer(run, best, done);
                                         });
}

void MacSpeechTranscriptionService::buildAnalyzer(quint64 run, std::optional<AudioFormat> best, Completion done)
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

    QPointer<MacSpeechTranscriptionService> self(this);
    QPointer<speech::SpeechAnalyzerSession> analyzer(m_analyzer.get());
    m_analyzer->prepareToAnalyze(format, [self, analyzer, run, done](std::optional<SpeechError> error) {
        if (!self)
            return;
        if (!self->isCurrent(run) || !analyzer || analyzer != self->m_analyzer.get())
            return done(std::nullopt);
        if (error)
            return done(SpeechFailure::platform(error->description));

        // Results of this run only: later runs have analyzers of their own.
        self->m_resultsTask = connect(analyzer, &speech::SpeechAnalyzerSession::result, self,
                                      [self, run](const QString &text, bool isFinal) {
                                          if (self->isCurrent(run))
                                              self->handleResult(text, isFinal);
                                      });
        self->m_resultsFailed = connect(analyzer, &speech::SpeechAnalyzerSession::resultsFailed, self, [self] {
            QObject::disconnect(self->m_resultsTask);
        });
        analyzer->start(self->m_inputContinuation, [](std::optional<SpeechError> streamError) {
            if (streamError)
                systemLog(QStringLiteral("Zephyrnote: SpeechAnalyzer stream error: %1").arg(streamError->description));
        });
        done(std::nullopt);
    });
}

std::optional<SpeechFailure> MacSpeechTranscriptionService::startSFSpeech()
{
    if (!m_sfRecognizer) {
        m_sfRecognizer = m_platform->makeRecognizer(m_preferredLocale);
        if (!m_sfRecognizer)
            return kUnavailable;
    }
    m_backend = Backend::sfSpeech;
    m_preferredInputFormat.reset();
    m_converter.reset();

    dropRecognitionTask();
    m_sfRequest = std::make_shared<speech::BufferRecognitionRequest>();
    m_sfRequest->shouldReportPartialResults = true;
    m_sfRequest->requiresOnDeviceRecognition = true;
    m_sfRequest->addsPunctuation = true;

    // The handler runs on a recogniser thread: it only posts to this thread.
    const QPointer<MacSpeechTranscriptionService> self(this);
    const quint64 run = m_run;
    m_sfTask = m_sfRecognizer->recognitionTask(
        m_sfRequest, [self, run](std::optional<speech::RecognitionResult> result, std::optional<SpeechError> error) {
            speech::postToMainThread([self, run, result, error] {
                if (!self)
                    return;
                if (result && self->isCurrent(run))
                    self->handleResult(result->text, result->isFinal);
                if (error)
                    systemLog(QStringLiteral("Zephyrnote: SFSpeech recognition note: %1").arg(error->description));
            });
        });
    if (!m_sfTask) {
        m_sfRequest.reset();
        return kUnavailable;
    }
    return std::nullopt;
}

// --- feed ------------------------------------------------------------------

void MacSpeechTranscriptionService::append(const AudioBuffer &buffer)
{
    if (!m_isRunning || !m_backend)
        return;
    if (*m_backend == Backend::sfSpeech) {
        if (m_sfRequest)
            m_sfRequest->append(buffer);
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

void MacSpeechTranscriptionService::waitThenStop(std::chrono::milliseconds limit,
                                                 std::function<void()> onDeadline,
                                                 std::function<void(const QString &)> done)
{
    auto wait = std::make_shared<StopWait>();
    QPointer<MacSpeechTranscriptionService> self(this);
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

void MacSpeechTranscriptionService::stop(std::function<void(const QString &)> done)
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

    if (m_backend == Backend::sfSpeech) {
        if (m_sfRequest)
            m_sfRequest->endAudio();
        // The recogniser's last words arrive during this tail.
        waitThenStop(recognizerTail, nullptr, std::move(done));
        return;
    }
    if (m_backend == Backend::speechAnalyzer) {
        if (m_inputContinuation)
            m_inputContinuation->finish();
        m_inputContinuation.reset();
        if (!m_analyzer) {
            cancelTasks();
            finishStop(done);
            return;
        }
        QPointer<speech::SpeechAnalyzerSession> analyzer(m_analyzer.get());
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

void MacSpeechTranscriptionService::finishStop(const std::function<void(const QString &)> &done)
{
    if (m_backend == Backend::sfSpeech) {
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

void MacSpeechTranscriptionService::cancel(std::function<void()> done)
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

void MacSpeechTranscriptionService::settlePendingStop()
{
    std::shared_ptr<StopWait> wait = std::exchange(m_stopWait, nullptr);
    if (!wait || wait->settled)
        return;
    wait->settled = true;
    m_clock->cancel(wait->timer);
    dropAnalyzerPipeline();
    wait->proceed();
}

void MacSpeechTranscriptionService::dropAnalyzerPipeline()
{
    if (m_inputContinuation) {
        m_inputContinuation->finish();
        m_inputContinuation.reset();
    }
    if (m_analyzer)
        m_analyzer->cancelAndFinishNow([] {});
    cancelTasks();
}

void MacSpeechTranscriptionService::cancelTasks()
{
    QObject::disconnect(m_resultsTask);
    QObject::disconnect(m_resultsFailed);
    m_analyzer.reset(); // joins its decoder thread
    m_transcriber.reset();
}

void MacSpeechTranscriptionService::dropRecognitionTask()
{
    if (m_sfRequest)
        m_sfRequest->endAudio();
    if (m_sfTask) {
        m_sfTask->cancel();
        m_sfTask.reset(); // joins its decoder thread
    }
    m_sfRequest.reset();
}

} // namespace zn
