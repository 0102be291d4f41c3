#include "voice/SpeechTranscriptionService.h"

#include "platform/base/Clock.h"
#include "platform/base/SystemLog.h"
#include "platform/speech/FakeSpeechPlatform.h"
#include "support/TestSupport.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace zn {
namespace {

using speech::FakeSpeechPlatform;
using Step = FakeSpeechPlatform::Step;
using Backend = SpeechTranscriptionService::Backend;

const AudioFormat kInt16_16k{SampleFormat::Int16, 16000.0, 1};
const AudioFormat kFloat48k{SampleFormat::Float32, 48000.0, 1};

AudioBuffer bufferOf(const AudioFormat &format, std::uint32_t frames = 1024)
{
    AudioBuffer b = AudioBuffer::allocate(format, frames);
    b.setFrameLength(frames);
    return b;
}

void settle()
{
    // Completions travel through the event loop; a few rounds deliver chains.
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
}

class SpeechService : public ::testing::Test
{
protected:
    std::shared_ptr<FakeSpeechPlatform> platform = std::make_shared<FakeSpeechPlatform>();
    ManualClock clock;
    SystemLogCapture log;
    std::unique_ptr<SpeechTranscriptionService> service =
        std::make_unique<SpeechTranscriptionService>(platform, &clock);
    QStringList partials;

    void SetUp() override
    {
        service->setOnPartialText([this](const QString &t) { partials << t; });
    }

    std::optional<SpeechFailure> prepare(const QLocale &locale = QLocale(QLocale::English, QLocale::UnitedStates))
    {
        std::optional<std::optional<SpeechFailure>> result;
        service->prepare(locale, [&](std::optional<SpeechFailure> f) { result = f; });
        EXPECT_TRUE(test::waitUntil([&] { return result.has_value(); })) << "prepare never completed";
        return result.value_or(std::nullopt);
    }

    std::optional<SpeechFailure> start()
    {
        std::optional<std::optional<SpeechFailure>> result;
        service->start([&](std::optional<SpeechFailure> f) { result = f; });
        EXPECT_TRUE(test::waitUntil([&] { return result.has_value(); })) << "start never completed";
        return result.value_or(std::nullopt);
    }

    // Calls stop and drives the clock by `step` until it returns.
    std::optional<QString> stop(std::chrono::milliseconds step = std::chrono::milliseconds(100),
                                std::chrono::milliseconds limit = std::chrono::seconds(20))
    {
        std::optional<QString> text;
        service->stop([&](const QString &t) { text = t; });
        for (auto waited = std::chrono::milliseconds(0); !text && waited <= limit; waited += step) {
            settle();
            if (!text)
                clock.advance(step);
        }
        settle();
        return text;
    }

    FakeSpeechPlatform::Analyzer *analyzer() { return platform->lastAnalyzer(); }
};

TEST(SpeechServiceTypes, BackendRawValuesAndErrorTexts)
{
    EXPECT_EQ(SpeechTranscriptionService::rawValue(Backend::streaming), QStringLiteral("streaming"));
    EXPECT_EQ(SpeechTranscriptionService::rawValue(Backend::wholeText), QStringLiteral("wholeText"));
    EXPECT_EQ(SpeechTranscriptionService::backendFromRawValue(QStringLiteral("wholeText")), Backend::wholeText);
    EXPECT_EQ(SpeechTranscriptionService::backendFromRawValue(QStringLiteral("WholeText")), std::nullopt);
    EXPECT_EQ(SpeechTranscriptionService::backendFromRawValue(QString()), std::nullopt);
    EXPECT_EQ(SpeechServiceError{SpeechServiceError::Kind::unavailable}.description(),
              QStringLiteral("On-device speech is unavailable."));
    EXPECT_EQ(SpeechServiceError{SpeechServiceError::Kind::timeout}.description(),
              QStringLiteral("Speech finalization timed out."));
}

TEST_F(SpeechService, PrepareChoosesTheAnalyzerForASupportedLocale)
{
    platform->supportedLocale = QLocale(QLocale::English, QLocale::UnitedStates);
    EXPECT_FALSE(prepare(QLocale(QLocale::English, QLocale::Australia)));
    EXPECT_EQ(service->backend(), Backend::streaming);
    EXPECT_EQ(service->preferredLocale().name(), QStringLiteral("en_US"));
    EXPECT_EQ(platform->recognizersMade, 0);
    EXPECT_EQ(platform->analyzersMade, 0) << "prepare only checks; the analyzer is built by start";
}

TEST_F(SpeechService, UnsupportedLanguageWithoutRecognizerIsUnavailable)
{
    platform->supportedLocale.reset();
    platform->recognizerCreatable = false;
    const QLocale german(QLocale::German, QLocale::Germany);
    auto failure = prepare(german);
    ASSERT_TRUE(failure);
    ASSERT_TRUE(failure->isServiceError());
    EXPECT_EQ(failure->description(), QStringLiteral("On-device speech is unavailable."));
    EXPECT_EQ(service->backend(), std::nullopt);
    EXPECT_EQ(service->preferredLocale(), german);

    // A recognizer that exists but cannot work on the device is no better.
    platform->recognizerCreatable = true;
    platform->recognizerOnDevice = false;
    EXPECT_TRUE(prepare(german));
    platform->recognizerOnDevice = true;
    platform->recognizerAvailable = false;
    EXPECT_TRUE(prepare(german));
    EXPECT_EQ(service->backend(), std::nullopt);
}

TEST_F(SpeechService, LocaleOnlyTheOlderRecognizerSupportsNeverBuildsAnAnalyzer)
{
    platform->supportedLocale.reset();
    const QLocale french(QLocale::French, QLocale::France);
    EXPECT_FALSE(prepare(french));
    EXPECT_EQ(service->backend(), Backend::wholeText);
    EXPECT_FALSE(start());
    EXPECT_TRUE(service->isRunning());
    EXPECT_EQ(platform->analyzersMade, 0);
    EXPECT_EQ(platform->tasksMade, 1);
    EXPECT_EQ(platform->recognizerLocales.last(), french);
    ASSERT_TRUE(platform->lastTask());
    const auto &request = *platform->lastTask()->request;
    EXPECT_TRUE(request.shouldReportPartialResults);
    EXPECT_TRUE(request.requiresOnDeviceRecognition);
    EXPECT_TRUE(request.addsPunctuation);
    EXPECT_EQ(service->preferredInputFormat(), std::nullopt);
}

TEST_F(SpeechService, AssetInstallationErrorsReachTheCallerAsThePlatformGaveThem)
{
    platform->assetRequestError = QStringLiteral("No network for assets.");
    auto failure = prepare();
    ASSERT_TRUE(failure);
    EXPECT_FALSE(failure->isServiceError());
    EXPECT_EQ(failure->description(), QStringLiteral("No network for assets."));
    EXPECT_EQ(service->backend(), std::nullopt);

    platform->assetRequestError.reset();
    platform->assetRequestNeeded = true;
    platform->assetInstall = Step::Fail;
    failure = prepare();
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->description(), QStringLiteral("Asset install failed."));

    platform->assetInstall = Step::Succeed;
    EXPECT_FALSE(prepare());
    EXPECT_EQ(service->backend(), Backend::streaming);
    EXPECT_EQ(platform->installCalls, 2);
}

TEST_F(SpeechService, StartWithoutPrepareUsesThePreferredLocale)
{
    EXPECT_FALSE(start());
    EXPECT_TRUE(service->isRunning());
    EXPECT_EQ(platform->supportedLocaleCalls, 1);
    EXPECT_EQ(service->backend(), Backend::streaming);
    ASSERT_TRUE(analyzer());
    EXPECT_TRUE(analyzer()->started);
    EXPECT_EQ(analyzer()->preparedFormat, kInt16_16k);
    // A second start while running changes nothing.
    EXPECT_FALSE(start());
    EXPECT_EQ(platform->analyzersMade, 1);
}

TEST_F(SpeechService, StartClearsTheHypothesisAndReportsTheLiveText)
{
    service->resetTranscript(QStringLiteral("kept words"));
    service->handleResult(QStringLiteral("half a"), false);
    partials.clear();
    ASSERT_FALSE(start());
    EXPECT_EQ(service->currentHypothesis(), QString());
    EXPECT_EQ(service->liveText(), QStringLiteral("kept words"));
    ASSERT_FALSE(partials.isEmpty());
    EXPECT_EQ(partials.first(), QStringLiteral("kept words"));
}

TEST_F(SpeechService, AnalyzerFailuresFallBackToTheOlderRecognizerWithOneLogLine)
{
    platform->analyzerPrepare = Step::Fail;
    ASSERT_FALSE(prepare());
    ASSERT_FALSE(start());
    EXPECT_TRUE(service->isRunning());
    EXPECT_EQ(service->backend(), Backend::wholeText);
    EXPECT_FALSE(service->hasAnalyzer()) << "the half-built analyzer is dropped";
    EXPECT_FALSE(service->hasConverter());
    EXPECT_TRUE(service->hasRecognitionTask());
    EXPECT_EQ(analyzer(), nullptr);
    EXPECT_EQ(log.lines(), QStringList{QStringLiteral(
                               "Zephyrnote: Streaming recognition failed to start (Analyzer refused the format.); "
                               "falling back to whole-text recognition.")});
}

TEST_F(SpeechService, AssetFailureAtStartAndUnconvertibleCaptureAlsoFallBack)
{
    platform->assetRequestError = QStringLiteral("Assets went away.");
    platform->assetRequestFailsFromCall = 2; // prepare passes, start's check fails
    ASSERT_FALSE(prepare());
    ASSERT_FALSE(start());
    EXPECT_EQ(service->backend(), Backend::wholeText);
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines().first().contains(QStringLiteral("(Assets went away.)")));
    EXPECT_EQ(platform->analyzersMade, 0);

    // A capture format no converter can take: refused cleanly, then fallback.
    auto other = std::make_unique<SpeechTranscriptionService>(platform, &clock);
    platform->assetRequestError.reset();
    platform->assetRequestFailsFromCall = 0;
    platform->bestFormat.reset();
    other->setHardwareFormat(AudioFormat{SampleFormat::Float32, std::nan(""), 2});
    std::optional<std::optional<SpeechFailure>> started;
    other->start([&](auto f) { started = f; });
    ASSERT_TRUE(test::waitUntil([&] { return started.has_value(); }));
    EXPECT_FALSE(started->has_value());
    EXPECT_EQ(other->backend(), Backend::wholeText);
    EXPECT_EQ(log.lines().size(), 2);
    EXPECT_TRUE(log.lines().last().endsWith(QStringLiteral("(On-device speech is unavailable.); falling back to whole-text recognition.")));
}

TEST_F(SpeechService, FailedFallbackFailsStartWithUnavailableNotTheAnalyzerError)
{
    platform->analyzerPrepare = Step::Fail;
    platform->recognizerCreatable = false;
    ASSERT_FALSE(prepare());
    auto failure = start();
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->serviceError, SpeechServiceError{SpeechServiceError::Kind::unavailable});
    EXPECT_FALSE(service->isRunning());
    EXPECT_EQ(log.lines().size(), 1);
}

TEST_F(SpeechService, AnalyzerFormatAndConverterFollowTheCaptureFormat)
{
    // The analyzer offers no 16-bit format: 16-bit mono at the capture rate.
    platform->bestFormat = AudioFormat{SampleFormat::Float32, 16000.0, 1};
    service->setHardwareFormat(kFloat48k);
    ASSERT_FALSE(start());
    EXPECT_EQ(service->preferredInputFormat(), (AudioFormat{SampleFormat::Int16, 48000.0, 1}));
    EXPECT_TRUE(service->hasConverter());
    service->append(bufferOf(kFloat48k));
    auto input = analyzer()->takeInput();
    ASSERT_EQ(input.size(), 1);
    EXPECT_EQ(input.first().format(), (AudioFormat{SampleFormat::Int16, 48000.0, 1}));
    // A buffer that is not in the capture format is dropped by the converter.
    service->append(bufferOf(kInt16_16k));
    EXPECT_TRUE(analyzer()->takeInput().isEmpty());
    service->cancel();

    // A capture format equal to the analyzer format needs no converter.
    platform->bestFormat = kInt16_16k;
    service->setHardwareFormat(kInt16_16k);
    ASSERT_FALSE(start());
    EXPECT_FALSE(service->hasConverter());
    service->cancel();

    // No capture format and no 16-bit offer: 16 kHz, and float buffers drop.
    platform->bestFormat.reset();
    service->setHardwareFormat(std::nullopt);
    ASSERT_FALSE(start());
    EXPECT_EQ(service->preferredInputFormat(), kInt16_16k);
    EXPECT_FALSE(service->hasConverter());
    service->append(bufferOf(AudioFormat{SampleFormat::Float32, 16000.0, 1}));
    service->append(AudioBuffer());
    service->append(bufferOf(kInt16_16k, 10));
    input = analyzer()->takeInput();
    ASSERT_EQ(input.size(), 1);
    EXPECT_EQ(input.first().frameLength(), 10u);
}

TEST_F(SpeechService, OddCaptureFormatsAreConvertedOrRefusedCleanly)
{
    const AudioFormat odd[] = {{SampleFormat::Int16, 8000.0, 1},
                               {SampleFormat::Float32, 44100.0, 2},
                               {SampleFormat::Float32, 96000.0, 6}};
    for (const AudioFormat &format : odd) {
        platform->bestFormat = kInt16_16k;
        service->setHardwareFormat(format);
        ASSERT_FALSE(start()) << format.describe().toStdString();
        ASSERT_EQ(service->backend(), Backend::streaming) << format.describe().toStdString();
        EXPECT_TRUE(service->hasConverter());
        service->append(bufferOf(format));
        auto input = analyzer()->takeInput();
        ASSERT_EQ(input.size(), 1) << format.describe().toStdString();
        EXPECT_EQ(input.first().format(), kInt16_16k);
        EXPECT_GT(input.first().frameLength(), 0u);
        service->cancel();
    }
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST_F(SpeechService, BuffersOutsideARunAreIgnored)
{
    service->append(bufferOf(kInt16_16k)); // before start: no back end at all
    ASSERT_FALSE(start());
    auto *first = analyzer();
    service->append(bufferOf(kInt16_16k));
    EXPECT_EQ(first->takeInput().size(), 1);
    auto stream = first->input;
    EXPECT_TRUE(stop().has_value());
    service->append(bufferOf(kInt16_16k));
    EXPECT_EQ(stream->size(), 0u);
    ASSERT_FALSE(start());
    service->cancel();
    service->append(bufferOf(kInt16_16k));
    EXPECT_EQ(analyzer(), nullptr) << "cancel drops the analyzer";

    // The older recognizer's request, too.
    platform->supportedLocale.reset();
    ASSERT_FALSE(prepare());
    ASSERT_FALSE(start());
    auto request = platform->lastTask()->request;
    service->append(bufferOf(kFloat48k));
    EXPECT_EQ(request->appendedCount(), 1);
    service->cancel();
    service->append(bufferOf(kFloat48k));
    EXPECT_EQ(request->appendedCount(), 1);
    EXPECT_TRUE(request->isAudioEnded());
}

TEST_F(SpeechService, AnalyzerResultsMergeIntoTheLiveText)
{
    ASSERT_FALSE(start());
    partials.clear();
    analyzer()->emitResult(QStringLiteral("go"), false);
    analyzer()->emitResult(QStringLiteral("go forward"), false);
    analyzer()->emitResult(QStringLiteral("go forward ten meters"), true);
    analyzer()->emitResult(QStringLiteral("and back"), false);
    EXPECT_EQ(service->liveText(), QStringLiteral("go forward ten meters and back"));
    EXPECT_EQ(service->committedSegments(), QStringList{QStringLiteral("go forward ten meters")});
    EXPECT_EQ(partials.size(), 4);
}

TEST_F(SpeechService, StopFinalisesAndReturnsTheWholeText)
{
    platform->finalizeEmitsFinal = QStringLiteral("go forward ten meters");
    ASSERT_FALSE(start());
    analyzer()->emitResult(QStringLiteral("go forward"), false);
    auto *a = analyzer();
    auto stream = a->input;
    auto text = stop(std::chrono::milliseconds(0));
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, QStringLiteral("go forward ten meters"));
    EXPECT_TRUE(stream->isFinished()) << "the input stream is finished before finalising";
    EXPECT_FALSE(service->isRunning());
    EXPECT_FALSE(service->hasAnalyzer());
    EXPECT_EQ(service->preferredInputFormat(), std::nullopt);
    EXPECT_EQ(service->backend(), Backend::streaming) << "the back end survives stop";
}

TEST_F(SpeechService, FailedFinalisationCancelsTheAnalyzerAndKeepsTheText)
{
    platform->analyzerFinalize = Step::Fail;
    ASSERT_FALSE(start());
    analyzer()->emitResult(QStringLiteral("so far"), false);
    auto text = stop();
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, QStringLiteral("so far"));
    EXPECT_EQ(platform->analyzerCancelCalls, 1);
    EXPECT_EQ(service->committedSegments(), QStringList{QStringLiteral("so far")});
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST_F(SpeechService, HungFinaliserIsCutOffAtTheDeadlineAndItsLateCompletionIgnored)
{
    platform->analyzerFinalize = Step::Hang;
    ASSERT_FALSE(start());
    analyzer()->emitResult(QStringLiteral("the text so far"), false);
    auto *a = analyzer();
    std::optional<QString> text;
    service->stop([&](const QString &t) { text = t; });
    settle();
    // Words still arrive while stop waits, and are kept.
    a->emitResult(QStringLiteral("the text so far and more"), false);
    clock.advance(SpeechTranscriptionService::finalizationLimit - std::chrono::milliseconds(1));
    settle();
    EXPECT_FALSE(text.has_value()) << "stop returned before the deadline";
    clock.advance(std::chrono::milliseconds(1));
    settle();
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(*text, QStringLiteral("the text so far and more"));
    EXPECT_FALSE(service->hasAnalyzer());
    EXPECT_TRUE(log.lines().isEmpty()) << "the time-out never leaves stop";
}

TEST_F(SpeechService, LateFinaliserCompletionAfterTheDeadlineChangesNothing)
{
    platform->analyzerFinalize = Step::Hang;
    ASSERT_FALSE(start());
    // Keep the analyzer alive past stop so it can complete late.
    QPointer<FakeSpeechPlatform::Analyzer> a = analyzer();
    int stopped = 0;
    service->stop([&](const QString &) { ++stopped; });
    clock.advance(SpeechTranscriptionService::finalizationLimit);
    settle();
    EXPECT_EQ(stopped, 1);
    EXPECT_TRUE(a.isNull()) << "the analyzer is dropped after the deadline";
    // A new run is not disturbed by anything of the old one.
    ASSERT_FALSE(start());
    analyzer()->emitResult(QStringLiteral("new run"), false);
    settle();
    EXPECT_TRUE(service->isRunning());
    EXPECT_EQ(service->liveText(), QStringLiteral("new run"));
    EXPECT_EQ(stopped, 1);
}

TEST_F(SpeechService, StopWhenNotRunningCommitsTheHypothesisAndReturnsTheLiveText)
{
    service->resetTranscript(QStringLiteral("earlier"));
    service->handleResult(QStringLiteral("pending words"), false);
    auto text = stop();
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, QStringLiteral("earlier pending words"));
    EXPECT_EQ(service->currentHypothesis(), QString());
    EXPECT_EQ(service->committedSegments(), (QStringList{QStringLiteral("earlier"), QStringLiteral("pending words")}));
}

TEST_F(SpeechService, CancelKeepsTheTextAndResetTranscriptClearsIt)
{
    ASSERT_FALSE(start());
    analyzer()->emitResult(QStringLiteral("keep me"), true);
    bool cancelled = false;
    service->cancel([&] { cancelled = true; });
    EXPECT_FALSE(cancelled) << "completion comes later, on the main thread";
    ASSERT_TRUE(test::waitUntil([&] { return cancelled; }));
    EXPECT_FALSE(service->isRunning());
    EXPECT_EQ(service->liveText(), QStringLiteral("keep me"));
    EXPECT_EQ(service->backend(), Backend::streaming);
    partials.clear();
    service->resetTranscript(QString());
    EXPECT_EQ(service->liveText(), QString());
    EXPECT_EQ(partials, QStringList{QString()});
    service->resetTranscript(QStringLiteral("x"));
    partials.clear();
    service->clearTranscriptSilently();
    EXPECT_EQ(service->liveText(), QString());
    EXPECT_TRUE(partials.isEmpty());
}

TEST_F(SpeechService, OlderRecognizerTailKeepsLastWordsThenDropsLateOnes)
{
    platform->supportedLocale.reset();
    ASSERT_FALSE(prepare());
    ASSERT_FALSE(start());
    auto *task = platform->lastTask();
    auto request = task->request;
    auto handler = platform->lastHandler;
    task->deliver(speech::RecognitionResult{QStringLiteral("hello"), false});
    settle();
    EXPECT_EQ(service->liveText(), QStringLiteral("hello"));

    std::optional<QString> text;
    service->stop([&](const QString &t) { text = t; });
    EXPECT_TRUE(request->isAudioEnded());
    clock.advance(std::chrono::milliseconds(300));
    task->deliver(speech::RecognitionResult{QStringLiteral("hello world"), true});
    settle();
    EXPECT_FALSE(text.has_value());
    clock.advance(std::chrono::milliseconds(100));
    settle();
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(*text, QStringLiteral("hello world"));
    EXPECT_TRUE(platform->liveTasks.empty()) << "the task is cancelled and dropped";

    // A result the platform had already sent when the task ended is dropped.
    handler(speech::RecognitionResult{QStringLiteral("hello world and stray words"), false}, std::nullopt);
    settle();
    EXPECT_EQ(service->liveText(), QStringLiteral("hello world"));
}

TEST_F(SpeechService, ResultsOfACancelledRunAreDropped)
{
    platform->supportedLocale.reset();
    ASSERT_FALSE(prepare());
    ASSERT_FALSE(start());
    auto handler = platform->lastHandler;
    service->cancel();
    handler(speech::RecognitionResult{QStringLiteral("too late"), true}, std::nullopt);
    settle();
    EXPECT_EQ(service->liveText(), QString());
    // Notes from the recognizer are logged whatever the run.
    handler(std::nullopt, speech::SpeechError{QStringLiteral("Retry later")});
    settle();
    EXPECT_EQ(log.lines(), QStringList{QStringLiteral("Zephyrnote: Whole-text recognition note: Retry later")});
}

TEST_F(SpeechService, StreamErrorIsLoggedAndTheServiceKeepsRunning)
{
    ASSERT_FALSE(start());
    analyzer()->failStream(QStringLiteral("decoder gave up"));
    EXPECT_EQ(log.lines(), QStringList{QStringLiteral("Zephyrnote: Streaming recognition error: decoder gave up")});
    EXPECT_TRUE(service->isRunning());
}

TEST_F(SpeechService, FailedResultsSequenceEndsQuietly)
{
    ASSERT_FALSE(start());
    analyzer()->emitResult(QStringLiteral("before"), true);
    analyzer()->failResults(QStringLiteral("sequence broke"));
    analyzer()->emitResult(QStringLiteral("after"), true);
    EXPECT_EQ(service->liveText(), QStringLiteral("before"));
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_TRUE(service->isRunning());
}

TEST_F(SpeechService, StartOvertakenByCancelOrStopNeverComesAlive)
{
    platform->analyzerPrepare = Step::Hang;
    std::optional<std::optional<SpeechFailure>> started;
    service->start([&](auto f) { started = f; });
    ASSERT_TRUE(test::waitUntil([&] { return analyzer() != nullptr; }));
    service->cancel();
    ASSERT_TRUE(test::waitUntil([&] { return started.has_value(); }));
    EXPECT_FALSE(started->has_value());
    EXPECT_FALSE(service->isRunning());
    EXPECT_FALSE(service->hasAnalyzer());

    // Overtaken while still asking for the supported locale: stop returns at once.
    platform->analyzerPrepare = Step::Succeed;
    auto fresh = std::make_unique<SpeechTranscriptionService>(platform, &clock);
    fresh->resetTranscript(QStringLiteral("before"));
    started.reset();
    fresh->start([&](auto f) { started = f; });
    std::optional<QString> text;
    fresh->stop([&](const QString &t) { text = t; });
    ASSERT_TRUE(test::waitUntil([&] { return started.has_value() && text.has_value(); }));
    settle();
    EXPECT_EQ(*text, QStringLiteral("before"));
    EXPECT_FALSE(fresh->isRunning());
    EXPECT_FALSE(fresh->hasAnalyzer());
    // ...and it can start for real afterwards.
    started.reset();
    fresh->start([&](auto f) { started = f; });
    ASSERT_TRUE(test::waitUntil([&] { return started.has_value(); }));
    EXPECT_TRUE(fresh->isRunning());
}

TEST_F(SpeechService, StartDuringAPendingStopEndsThatStopFirst)
{
    platform->analyzerFinalize = Step::Hang;
    ASSERT_FALSE(start());
    analyzer()->emitResult(QStringLiteral("first run"), true);
    std::optional<QString> text;
    service->stop([&](const QString &t) { text = t; });
    platform->analyzerFinalize = Step::Succeed;
    ASSERT_FALSE(start());
    EXPECT_TRUE(text.has_value());
    EXPECT_EQ(*text, QStringLiteral("first run"));
    EXPECT_TRUE(service->isRunning());
    ASSERT_TRUE(analyzer());
    EXPECT_TRUE(analyzer()->started);
    clock.advance(SpeechTranscriptionService::finalizationLimit);
    settle();
    EXPECT_TRUE(service->isRunning()) << "the old deadline must not stop the new run";
    EXPECT_TRUE(service->hasAnalyzer());
}

TEST_F(SpeechService, CancelDuringStopReturnsTheStopAtOnce)
{
    platform->analyzerFinalize = Step::Hang;
    ASSERT_FALSE(start());
    std::optional<QString> text;
    service->stop([&](const QString &t) { text = t; });
    service->cancel();
    settle();
    EXPECT_TRUE(text.has_value());
}

TEST_F(SpeechService, RapidStartStopCancelLeavesNothingRunning)
{
    for (int i = 0; i < 20; ++i) {
        service->start([](auto) {});
        if (i % 3 == 0)
            settle();
        if (i % 2)
            service->stop([](const QString &) {});
        else
            service->cancel();
    }
    clock.advance(std::chrono::seconds(10));
    settle();
    EXPECT_FALSE(service->isRunning());
    EXPECT_FALSE(service->hasAnalyzer());
    EXPECT_FALSE(service->hasRecognitionTask());
    int alive = 0;
    for (const auto &a : platform->analyzers)
        alive += a ? 1 : 0;
    EXPECT_EQ(alive, 0);
}

TEST_F(SpeechService, DestroyingTheServiceMidRunDropsEverything)
{
    platform->analyzerFinalize = Step::Hang;
    ASSERT_FALSE(start());
    bool stopped = false;
    service->stop([&](const QString &) { stopped = true; });
    service.reset();
    clock.advance(std::chrono::seconds(10));
    settle();
    EXPECT_FALSE(stopped);
    int alive = 0;
    for (const auto &a : platform->analyzers)
        alive += a ? 1 : 0;
    EXPECT_EQ(alive, 0);
}

} // namespace
} // namespace zn
