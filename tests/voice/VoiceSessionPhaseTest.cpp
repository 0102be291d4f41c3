// The recording session's phase machine on scripted parts: permissions,
// engine failures, stopping, discarding, device changes and operations that
// overtake each other.
#include "VoiceSessionTestHarness.h"

#include "platform/base/SystemLog.h"

namespace zn {
namespace {

using namespace std::chrono_literals;
using speech::FakeSpeechPlatform;
using test::drainEvents;

class VoiceSessionPhaseTest : public ::testing::Test
{
protected:
    test::SessionHarness h;
    VoiceRecordingSession &s = *h.session;

    void expectFailure(VoicePhase phase, VoiceRecordingFailure failure, bool withMessage = true)
    {
        EXPECT_EQ(s.phase(), phase);
        ASSERT_TRUE(s.failure());
        EXPECT_EQ(*s.failure(), failure);
        if (withMessage)
            EXPECT_EQ(s.statusMessage(), std::optional<QString>(message(failure)));
        else
            EXPECT_FALSE(s.statusMessage());
    }

    // Nothing left running: no microphone, no timers, no device observer.
    void expectAllTornDown()
    {
        EXPECT_FALSE(h.engine().isRunning());
        EXPECT_FALSE(s.capture().isRunning());
        EXPECT_FALSE(s.speech().isRunning());
        EXPECT_FALSE(s.hasTimers());
    }
};

TEST_F(VoiceSessionPhaseTest, NewSessionIsIdleAndEmpty)
{
    EXPECT_EQ(s.phase(), VoicePhase::idle);
    EXPECT_FALSE(s.failure());
    EXPECT_FALSE(s.statusMessage());
    EXPECT_EQ(s.duration(), 0.0);
    EXPECT_EQ(s.energy(), 0.0);
    EXPECT_EQ(s.liveSentiment(), 0.0);
    EXPECT_EQ(s.liveWeather(), WeatherLabel::Overcast);
    EXPECT_TRUE(s.backendLabel().isEmpty());
    EXPECT_FALSE(s.softLimitNudgeVisible());
    EXPECT_TRUE(s.transcript().isEmpty());
    EXPECT_TRUE(s.canStart());
    EXPECT_FALSE(s.isInProgress());
    EXPECT_FALSE(s.canSave());
}

TEST_F(VoiceSessionPhaseTest, StartReachesRecordingWithTheAnalyzerLabelAndLiveText)
{
    QList<VoicePhase> phases;
    QObject::connect(&s, &VoiceRecordingSession::phaseChanged, [&](VoicePhase p) { phases << p; });
    ASSERT_TRUE(h.startRecording());
    EXPECT_EQ(phases, (QList<VoicePhase>{VoicePhase::requestingPermissions, VoicePhase::preparing,
                                         VoicePhase::recording}));
    EXPECT_EQ(s.backendLabel(), QStringLiteral("On-device (pocketsphinx)"));
    EXPECT_TRUE(h.engine().isRunning());
    EXPECT_TRUE(s.hasTimers());
    EXPECT_TRUE(s.hasConfigObserver());
    EXPECT_TRUE(s.isInProgress());
    EXPECT_EQ(h.permissions->microphonePrompts, 0) << "authorized: no prompt";
    EXPECT_EQ(h.permissions->speechRequests, 1) << "speech is asked every time";

    // Buffers reach the recogniser on the main thread.
    h.engine().pushBuffer(test::micBuffer(true));
    drainEvents();
    ASSERT_NE(h.analyzer(), nullptr);
    EXPECT_EQ(h.analyzer()->takeInput().size(), 1);

    h.hear(QStringLiteral("hello wor"));
    EXPECT_EQ(s.transcript(), QStringLiteral("hello wor"));
    h.hear(QStringLiteral("hello world"));
    EXPECT_EQ(s.transcript(), QStringLiteral("hello world"));
    EXPECT_TRUE(s.canSave());

    ASSERT_TRUE(h.await([&](auto done) { s.stop(done); }));
    EXPECT_EQ(s.phase(), VoicePhase::reviewing);
    EXPECT_EQ(s.transcript(), QStringLiteral("hello world"));
    expectAllTornDown();
    EXPECT_EQ(s.energy(), 0.0);
    EXPECT_TRUE(s.hasConfigObserver()) << "the observer stays until the next teardown";
}

TEST_F(VoiceSessionPhaseTest, StopMergesTheFinalTextAndKeepsAnEarlierFailure)
{
    ASSERT_TRUE(h.startRecording());
    h.hear(QStringLiteral("go forward"));
    h.platform->finalizeEmitsFinal = QStringLiteral("go forward ten meters");
    h.clock.advance(2500ms);
    ASSERT_TRUE(h.await([&](auto done) { s.stop(done); }));
    EXPECT_EQ(s.phase(), VoicePhase::reviewing);
    EXPECT_EQ(s.transcript(), QStringLiteral("go forward ten meters"));
    EXPECT_DOUBLE_EQ(s.duration(), 2.5);
}

TEST_F(VoiceSessionPhaseTest, StopHandsTheRecogniserEverythingHeardBeforeItThenMergesItsFinal)
{
    ASSERT_TRUE(h.startRecording());
    h.hear(QStringLiteral("go forward ten"));
    h.platform->analyzerFinalize = FakeSpeechPlatform::Step::Hang;
    QPointer<FakeSpeechPlatform::Analyzer> analyzer(h.analyzer());
    (void)analyzer->takeInput();
    // The last word is still on its way from the microphone when the user
    // stops: heard, not yet handed over.
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(h.engine().pushBuffer(test::micBuffer(true)));
    s.stop();
    EXPECT_EQ(s.phase(), VoicePhase::stopping);
    EXPECT_FALSE(h.engine().pushBuffer(test::micBuffer(true))) << "nothing is heard after the stop";
    ASSERT_TRUE(test::waitUntil([&] { return analyzer && analyzer->finalizeCalls == 1; }));
    EXPECT_EQ(analyzer->takeInput().size(), 4);

    // Its final, while the session waits, ends the transcript under review.
    analyzer->emitResult(QStringLiteral("go forward ten meters"), true);
    drainEvents();
    EXPECT_EQ(s.phase(), VoicePhase::stopping) << "done only once the recogniser is";
    analyzer->completeHungFinalize();
    ASSERT_TRUE(h.waitForPhase(VoicePhase::reviewing));
    EXPECT_EQ(s.transcript(), QStringLiteral("go forward ten meters"));
}

TEST_F(VoiceSessionPhaseTest, PartialTextOutsideRecordingIsDropped)
{
    ASSERT_TRUE(h.startRecording());
    h.hear(QStringLiteral("first words"));
    h.platform->analyzerFinalize = FakeSpeechPlatform::Step::Hang;
    auto *analyzer = h.analyzer();
    s.stop();
    EXPECT_EQ(s.phase(), VoicePhase::stopping);
    analyzer->emitResult(QStringLiteral("first words and more"), false);
    drainEvents();
    EXPECT_EQ(s.transcript(), QStringLiteral("first words")) << "dropped while stopping";

    h.clock.advance(SpeechTranscriptionService::finalizationLimit);
    ASSERT_TRUE(h.waitForPhase(VoicePhase::reviewing));
    // The service's own text grew, so the final merge takes it; a later
    // partial in review changes nothing.
    const QString reviewed = s.transcript();
    s.speech().handleResult(QStringLiteral("something else entirely here"), false);
    drainEvents();
    EXPECT_EQ(s.transcript(), reviewed);
}

TEST_F(VoiceSessionPhaseTest, MicrophoneRefusalsEndInPermissionRequiredWithoutStatusText)
{
    struct Case
    {
        MicrophoneAuthorization status;
        bool answer;
        int prompts;
    };
    for (const Case c : {Case{MicrophoneAuthorization::denied, true, 0},
                         Case{MicrophoneAuthorization::restricted, true, 0},
                         Case{MicrophoneAuthorization::notDetermined, false, 1}}) {
        test::SessionHarness fresh;
        fresh.permissions->microphone = c.status;
        fresh.permissions->microphoneAnswer = c.answer;
        ASSERT_TRUE(fresh.await([&](auto done) { fresh.session->start(done); }));
        EXPECT_EQ(fresh.session->phase(), VoicePhase::permissionRequired);
        EXPECT_EQ(fresh.session->failure(), VoiceRecordingFailure::permissionMicrophone);
        EXPECT_FALSE(fresh.session->statusMessage());
        EXPECT_EQ(fresh.permissions->microphonePrompts, c.prompts);
        EXPECT_EQ(fresh.permissions->speechRequests, 0);
        EXPECT_EQ(fresh.engine().startCount(), 0);
        EXPECT_EQ(fresh.platform->analyzersMade, 0);
    }
}

TEST_F(VoiceSessionPhaseTest, PromptedMicrophoneAccessThenSpeechRefusal)
{
    h.permissions->microphone = MicrophoneAuthorization::notDetermined;
    h.permissions->microphoneAnswer = true;
    h.permissions->speechAnswer = SpeechAuthorization::denied;
    ASSERT_TRUE(h.await([&](auto done) { s.start(done); }));
    EXPECT_EQ(h.permissions->microphonePrompts, 1);
    EXPECT_EQ(h.permissions->speechRequests, 1);
    expectFailure(VoicePhase::permissionRequired, VoiceRecordingFailure::permissionSpeech, false);
    EXPECT_EQ(h.engine().startCount(), 0);

    // Granted later: a new start goes through from permissionRequired.
    h.permissions->speechAnswer = SpeechAuthorization::authorized;
    ASSERT_TRUE(h.startRecording());
    EXPECT_FALSE(s.failure());
}

TEST_F(VoiceSessionPhaseTest, MissingOrUnusableInputFormatMeansNoInputDevice)
{
    for (const std::optional<AudioFormat> format :
         {std::optional<AudioFormat>(), std::optional(AudioFormat{SampleFormat::Int16, 0.0, 1}),
          std::optional(AudioFormat{SampleFormat::Float32, std::nan(""), 2}),
          std::optional(AudioFormat{SampleFormat::Float32, 48000.0, 0})}) {
        test::SessionHarness fresh;
        fresh.engine().setInputFormat(format);
        fresh.engine().setOutputFormat(std::nullopt);
        ASSERT_TRUE(fresh.await([&](auto done) { fresh.session->start(done); }));
        EXPECT_EQ(fresh.session->phase(), VoicePhase::unavailable);
        EXPECT_EQ(fresh.session->failure(), VoiceRecordingFailure::noInputDevice);
        EXPECT_EQ(fresh.session->statusMessage(),
                  std::optional(QStringLiteral("We can\u2019t find a usable microphone. Check Input in the desktop’s sound settings.")));
        EXPECT_EQ(fresh.engine().startCount(), 0);
        EXPECT_FALSE(fresh.session->hasConfigObserver());
    }
}

TEST_F(VoiceSessionPhaseTest, FallbackOutputFormatIsUsedWhenTheInputHasNone)
{
    h.engine().setInputFormat(std::nullopt);
    h.engine().setOutputFormat(AudioFormat{SampleFormat::Float32, 48000.0, 1});
    ASSERT_TRUE(h.startRecording());
    EXPECT_EQ(s.speech().hardwareFormat(), (std::optional(AudioFormat{SampleFormat::Float32, 48000.0, 1})));
}

TEST_F(VoiceSessionPhaseTest, EngineStartFailureTearsEverythingDown)
{
    h.engine().setStartError(QStringLiteral("Device busy"));
    ASSERT_TRUE(h.await([&](auto done) { s.start(done); }));
    expectFailure(VoicePhase::failed, VoiceRecordingFailure::engineStartFailed);
    EXPECT_EQ(*s.statusMessage(), QStringLiteral("We couldn\u2019t start the microphone. Try again, or write instead."));
    expectAllTornDown();
    EXPECT_FALSE(s.hasConfigObserver());
    EXPECT_TRUE(s.transcript().isEmpty());

    // Retry once the device is free.
    h.engine().setStartError(std::nullopt);
    ASSERT_TRUE(h.await([&](auto done) { s.retry(done); }));
    EXPECT_EQ(s.phase(), VoicePhase::recording);
    EXPECT_FALSE(s.failure());
    EXPECT_FALSE(s.statusMessage());
}

TEST_F(VoiceSessionPhaseTest, SpeechUnavailableForTheLanguage)
{
    h.platform->supportedLocale.reset();
    h.platform->recognizerCreatable = false;
    ASSERT_TRUE(h.await([&](auto done) { s.start(done); }));
    expectFailure(VoicePhase::unavailable, VoiceRecordingFailure::speechUnavailable);
    EXPECT_EQ(*s.statusMessage(),
              QStringLiteral("On-device transcription isn\u2019t available for this language right now."));
    expectAllTornDown();
}

TEST_F(VoiceSessionPhaseTest, PlatformErrorWhilePreparingIsAStartFailure)
{
    h.platform->assetRequestError = QStringLiteral("Assets could not be reserved");
    ASSERT_TRUE(h.await([&](auto done) { s.start(done); }));
    expectFailure(VoicePhase::failed, VoiceRecordingFailure::engineStartFailed);
}

TEST_F(VoiceSessionPhaseTest, BackendLabelNamesPocketsphinxAfterAFallbackToo)
{
    SystemLogCapture log;
    h.platform->analyzerPrepare = FakeSpeechPlatform::Step::Fail;
    ASSERT_TRUE(h.startRecording());
    EXPECT_EQ(s.speech().backend(), SpeechTranscriptionService::Backend::wholeText);
    EXPECT_EQ(s.backendLabel(), QStringLiteral("On-device (pocketsphinx)"));

    test::SessionHarness recognizerOnly;
    recognizerOnly.platform->supportedLocale.reset();
    ASSERT_TRUE(recognizerOnly.startRecording());
    EXPECT_EQ(recognizerOnly.session->backendLabel(), QStringLiteral("On-device (pocketsphinx)"));
}

TEST_F(VoiceSessionPhaseTest, StartIsIgnoredWhileInProgressAndRestartsFromReview)
{
    h.permissions->holdAnswers = true;
    s.start();
    EXPECT_EQ(s.phase(), VoicePhase::requestingPermissions);
    s.start();
    s.start();
    EXPECT_EQ(h.permissions->heldCount(), 1) << "a double start asks once";
    h.permissions->holdAnswers = false;
    h.permissions->releaseHeld();
    ASSERT_TRUE(h.waitForPhase(VoicePhase::recording));
    s.start();
    drainEvents();
    EXPECT_EQ(h.engine().startCount(), 1);
    EXPECT_EQ(h.permissions->speechRequests, 1);

    h.hear(QStringLiteral("old words"));
    ASSERT_TRUE(h.await([&](auto done) { s.stop(done); }));
    ASSERT_EQ(s.transcript(), QStringLiteral("old words"));
    ASSERT_TRUE(h.startRecording());
    EXPECT_TRUE(s.transcript().isEmpty()) << "a new recording starts blank";
    EXPECT_TRUE(s.speech().liveText().isEmpty());
}

TEST_F(VoiceSessionPhaseTest, CancelDiscardsEverythingButKeepsTheObserver)
{
    ASSERT_TRUE(h.startRecording());
    h.hear(QStringLiteral("something to discard"));
    h.clock.advance(1s);
    ASSERT_TRUE(h.await([&](auto done) { s.cancel(done); }));
    EXPECT_EQ(s.phase(), VoicePhase::idle);
    EXPECT_EQ(s.failure(), VoiceRecordingFailure::cancelled);
    EXPECT_FALSE(s.statusMessage()) << "a discard shows no status line";
    EXPECT_TRUE(s.transcript().isEmpty());
    EXPECT_EQ(s.duration(), 0.0);
    expectAllTornDown();
    EXPECT_TRUE(s.hasConfigObserver());

    // In idle the observer does nothing.
    h.postDeviceChange();
    drainEvents();
    EXPECT_EQ(s.phase(), VoicePhase::idle);
}

TEST_F(VoiceSessionPhaseTest, RetryWhileRecordingClearsTextButKeepsRecording)
{
    ASSERT_TRUE(h.startRecording());
    h.hear(QStringLiteral("What a wonderful, happy morning with my lovely family."));
    h.clock.advance(500ms);
    ASSERT_TRUE(test::waitUntil([&] { return !s.isLiveMoodPending(); }));
    ASSERT_GT(s.liveSentiment(), 0.2);
    ASSERT_TRUE(h.await([&](auto done) { s.retry(done); }));
    EXPECT_EQ(s.phase(), VoicePhase::recording);
    EXPECT_EQ(s.liveSentiment(), 0.0);
    EXPECT_EQ(s.liveWeather(), WeatherLabel::Overcast);
    EXPECT_TRUE(s.transcript().isEmpty());
    EXPECT_TRUE(s.speech().liveText().isEmpty());
    EXPECT_EQ(h.engine().startCount(), 1);
}

// --- device changes ---------------------------------------------------------

TEST_F(VoiceSessionPhaseTest, FirstDeviceChangeResumesOnceSecondWaitsForTheUser)
{
    ASSERT_TRUE(h.startRecording());
    h.hear(QStringLiteral("before the change"));
    h.clock.advance(3s);
    h.engine().emitConfigurationChanged(); // re-posted by the capture service
    ASSERT_TRUE(test::waitUntil([&] { return h.engine().startCount() == 2 && s.phase() == VoicePhase::recording; }));
    EXPECT_TRUE(s.autoResumeUsed());
    EXPECT_EQ(s.failure(), VoiceRecordingFailure::deviceChanged);
    EXPECT_EQ(s.statusMessage(), std::optional(QStringLiteral("Audio device changed \u2014 continued recording.")));
    EXPECT_EQ(s.transcript(), QStringLiteral("before the change"));
    EXPECT_EQ(s.duration(), 0.0) << "the limits count from the restart";

    h.hear(QStringLiteral("and after"));
    EXPECT_EQ(s.transcript(), QStringLiteral("before the change and after"));

    h.postDeviceChange();
    ASSERT_TRUE(h.waitForPhase(VoicePhase::interruptedDeviceChange));
    drainEvents();
    EXPECT_EQ(s.phase(), VoicePhase::interruptedDeviceChange);
    expectFailure(VoicePhase::interruptedDeviceChange, VoiceRecordingFailure::deviceChanged);
    EXPECT_EQ(s.transcript(), QStringLiteral("before the change and after"));
    EXPECT_EQ(h.engine().startCount(), 2);
    expectAllTornDown();
    EXPECT_TRUE(s.canSave());

    // The user resumes by hand; the text carries on.
    ASSERT_TRUE(h.await([&](auto done) { s.resumeAfterDeviceChange(done); }));
    EXPECT_EQ(s.phase(), VoicePhase::recording);
    EXPECT_FALSE(s.failure());
    EXPECT_FALSE(s.statusMessage());
    h.hear(QStringLiteral("third part"));
    EXPECT_EQ(s.transcript(), QStringLiteral("before the change and after third part"));

    // A discard and a new recording earn a fresh automatic resume.
    ASSERT_TRUE(h.await([&](auto done) { s.cancel(done); }));
    ASSERT_TRUE(h.startRecording());
    EXPECT_FALSE(s.autoResumeUsed());
    h.postDeviceChange();
    ASSERT_TRUE(test::waitUntil([&] { return h.engine().startCount() == 5 && s.phase() == VoicePhase::recording; }));
}

TEST_F(VoiceSessionPhaseTest, AutoResumeWithNoTextKeepsTheDeviceMessage)
{
    ASSERT_TRUE(h.startRecording());
    h.postDeviceChange();
    ASSERT_TRUE(test::waitUntil([&] { return h.engine().startCount() == 2 && s.phase() == VoicePhase::recording; }));
    expectFailure(VoicePhase::recording, VoiceRecordingFailure::deviceChanged);
}

TEST_F(VoiceSessionPhaseTest, FailedAutoResumeLeavesTheInterruptionWithTheText)
{
    ASSERT_TRUE(h.startRecording());
    h.hear(QStringLiteral("kept words"));
    h.engine().setStartError(QStringLiteral("Device gone"));
    h.postDeviceChange();
    ASSERT_TRUE(test::waitUntil([&] { return h.engine().startCount() == 2; }));
    ASSERT_TRUE(h.waitForPhase(VoicePhase::interruptedDeviceChange));
    drainEvents();
    expectFailure(VoicePhase::interruptedDeviceChange, VoiceRecordingFailure::deviceChanged);
    EXPECT_EQ(s.transcript(), QStringLiteral("kept words"));
    expectAllTornDown();

    // Keeping the text ends in review with the live mood scheduled.
    s.keepTextAfterDeviceChange();
    EXPECT_EQ(s.phase(), VoicePhase::reviewing);
    EXPECT_FALSE(s.failure());
    EXPECT_FALSE(s.statusMessage());
    EXPECT_EQ(s.transcript(), QStringLiteral("kept words"));
}

TEST_F(VoiceSessionPhaseTest, DeviceChangeStormGivesOneInterruption)
{
    ASSERT_TRUE(h.startRecording());
    h.hear(QStringLiteral("storm words"));
    for (int i = 0; i < 6; ++i)
        h.postDeviceChange();
    ASSERT_TRUE(test::waitUntil([&] { return s.phase() == VoicePhase::recording && h.engine().startCount() >= 2; }));
    // More changes while the resume is preparing are ignored too.
    drainEvents();
    for (int i = 0; i < 3; ++i) {
        h.postDeviceChange();
        drainEvents();
    }
    ASSERT_TRUE(test::waitUntil([&] {
        return s.phase() == VoicePhase::recording || s.phase() == VoicePhase::interruptedDeviceChange;
    }));
    drainEvents();
    EXPECT_EQ(s.transcript(), QStringLiteral("storm words"));
    EXPECT_TRUE(s.autoResumeUsed());
    EXPECT_LE(h.engine().startCount(), 2) << "one automatic resume, never a second";
}

TEST_F(VoiceSessionPhaseTest, DeviceChangeWhileNotRecordingDoesNothing)
{
    h.postDeviceChange();
    drainEvents();
    EXPECT_EQ(s.phase(), VoicePhase::idle);
    ASSERT_TRUE(h.startRecording());
    ASSERT_TRUE(h.await([&](auto done) { s.stop(done); }));
    h.postDeviceChange();
    drainEvents();
    EXPECT_EQ(s.phase(), VoicePhase::reviewing);
    EXPECT_FALSE(s.failure());
}

// --- operations that overtake a start or a stop -------------------------------

TEST_F(VoiceSessionPhaseTest, StopWhilePreparingNeverSwitchesTheMicrophoneOnLater)
{
    h.platform->analyzerPrepare = FakeSpeechPlatform::Step::Hang;
    s.start();
    ASSERT_TRUE(h.waitForPhase(VoicePhase::preparing));
    ASSERT_TRUE(test::waitUntil([&] { return h.analyzer() != nullptr; }));
    ASSERT_TRUE(h.engine().pushBuffer(test::micBuffer(true)));
    ASSERT_TRUE(h.await([&](auto done) { s.stop(done); }));
    EXPECT_EQ(s.phase(), VoicePhase::reviewing);
    test::waitUntil([] { return false; }, 50ms);
    EXPECT_EQ(s.phase(), VoicePhase::reviewing);
    EXPECT_EQ(h.engine().startCount(), 1) << "on with the recording only";
    expectAllTornDown();
}

TEST_F(VoiceSessionPhaseTest, CancelDuringPermissionsWinsOverTheLateAnswer)
{
    h.permissions->holdAnswers = true;
    s.start();
    ASSERT_TRUE(h.await([&](auto done) { s.cancel(done); }));
    EXPECT_EQ(s.phase(), VoicePhase::idle);
    h.permissions->holdAnswers = false;
    h.permissions->releaseHeld();
    test::waitUntil([] { return false; }, 50ms);
    EXPECT_EQ(s.phase(), VoicePhase::idle);
    EXPECT_EQ(s.failure(), VoiceRecordingFailure::cancelled);
    EXPECT_EQ(h.permissions->speechRequests, 1) << "the request whose answer came too late";
    EXPECT_EQ(h.engine().startCount(), 0);
}

TEST_F(VoiceSessionPhaseTest, DiscardWhilePreparingAndResumingStaysDiscarded)
{
    h.platform->analyzerPrepare = FakeSpeechPlatform::Step::Hang;
    s.start();
    ASSERT_TRUE(test::waitUntil([&] { return h.analyzer() != nullptr; }));
    ASSERT_TRUE(h.await([&](auto done) { s.cancel(done); }));
    test::waitUntil([] { return false; }, 50ms);
    EXPECT_EQ(s.phase(), VoicePhase::idle);
    EXPECT_EQ(h.engine().startCount(), 1);
    expectAllTornDown();
}

TEST_F(VoiceSessionPhaseTest, TakingTheTextWhileStoppingIsNotUndoneByTheLateFinalText)
{
    ASSERT_TRUE(h.startRecording());
    h.hear(QStringLiteral("draft words"));
    h.platform->analyzerFinalize = FakeSpeechPlatform::Step::Hang;
    h.platform->finalizeEmitsFinal = QStringLiteral("draft words finished");
    QPointer<FakeSpeechPlatform::Analyzer> analyzer(h.analyzer());
    s.stop();
    ASSERT_EQ(s.phase(), VoicePhase::stopping);

    QString taken = QStringLiteral("<none>");
    s.finishAndTakeTranscript([&](const QString &text) { taken = text; });
    ASSERT_TRUE(test::waitUntil([&] { return taken != QStringLiteral("<none>"); }));
    EXPECT_EQ(taken, QStringLiteral("draft words"));
    EXPECT_EQ(s.phase(), VoicePhase::idle);

    // The recogniser finishes late: the text must not come back.
    if (analyzer)
        analyzer->completeHungFinalize();
    h.clock.advance(SpeechTranscriptionService::finalizationLimit);
    test::waitUntil([] { return false; }, 50ms);
    EXPECT_EQ(s.phase(), VoicePhase::idle);
    EXPECT_TRUE(s.transcript().isEmpty());
    EXPECT_FALSE(s.canSave());
}

TEST_F(VoiceSessionPhaseTest, DiscardWhileStoppingStaysDiscarded)
{
    ASSERT_TRUE(h.startRecording());
    h.hear(QStringLiteral("discard me please"));
    h.platform->analyzerFinalize = FakeSpeechPlatform::Step::Hang;
    bool stopped = false;
    s.stop([&] { stopped = true; });
    ASSERT_TRUE(h.await([&](auto done) { s.cancel(done); }));
    ASSERT_TRUE(test::waitUntil([&] { return stopped; }));
    h.clock.advance(SpeechTranscriptionService::finalizationLimit);
    drainEvents();
    EXPECT_EQ(s.phase(), VoicePhase::idle);
    EXPECT_TRUE(s.transcript().isEmpty());
}

TEST_F(VoiceSessionPhaseTest, DiscardIsNotUndoneByAStopOrDeviceChangeArrivingRightAfter)
{
    // A stop right behind the discard (the workspace stopping whatever runs).
    ASSERT_TRUE(h.startRecording());
    h.hear(QStringLiteral("words to throw away"));
    bool cancelled = false;
    s.cancel([&] { cancelled = true; });
    ASSERT_TRUE(h.await([&](auto done) { s.stop(done); }));
    ASSERT_TRUE(test::waitUntil([&] { return cancelled; }));
    drainEvents();
    EXPECT_EQ(s.phase(), VoicePhase::idle);
    EXPECT_EQ(s.failure(), VoiceRecordingFailure::cancelled);
    EXPECT_TRUE(s.transcript().isEmpty());
    EXPECT_FALSE(s.canSave());

    // A device change landing while the discard winds down, and one that
    // is still tearing down when the discard comes: neither brings the
    // microphone back.
    for (const bool changeFirst : {false, true}) {
        test::SessionHarness fresh;
        ASSERT_TRUE(fresh.startRecording());
        fresh.hear(QStringLiteral("more words to throw away"));
        bool done = false;
        if (changeFirst) {
            // Discard the moment the change has switched the microphone off,
            // before its teardown has finished.
            fresh.postDeviceChange();
            while (fresh.engine().isRunning())
                QCoreApplication::processEvents();
            ASSERT_EQ(fresh.session->phase(), VoicePhase::recording) << "the teardown is still under way";
            fresh.session->cancel([&] { done = true; });
        } else {
            fresh.session->cancel([&] { done = true; });
            fresh.postDeviceChange();
        }
        ASSERT_TRUE(test::waitUntil([&] { return done; }));
        test::waitUntil([] { return false; }, 50ms);
        EXPECT_EQ(fresh.session->phase(), VoicePhase::idle) << "change first: " << changeFirst;
        EXPECT_EQ(fresh.session->failure(), VoiceRecordingFailure::cancelled);
        EXPECT_TRUE(fresh.session->transcript().isEmpty());
        EXPECT_EQ(fresh.engine().startCount(), 1);
        EXPECT_FALSE(fresh.engine().isRunning());
    }

    // A new recording may follow the discard at once.
    s.cancel();
    ASSERT_TRUE(h.startRecording());
    EXPECT_FALSE(s.failure());
}

TEST_F(VoiceSessionPhaseTest, DestroyedMidOperationCallsNothingBack)
{
    int completions = 0;
    {
        test::SessionHarness waiting;
        waiting.permissions->holdAnswers = true;
        waiting.session->start([&] { ++completions; });
        waiting.session.reset();
        waiting.permissions->releaseHeld();
        drainEvents();
    }
    {
        test::SessionHarness preparing;
        preparing.platform->analyzerPrepare = FakeSpeechPlatform::Step::Hang;
        preparing.session->start([&] { ++completions; });
        ASSERT_TRUE(test::waitUntil([&] { return preparing.analyzer() != nullptr; }));
        preparing.session.reset();
        drainEvents();
    }
    {
        test::SessionHarness stopping;
        // The engine dies with the session: its own log outlives both.
        auto engineCalls = std::make_shared<QStringList>();
        stopping.engine().setCallLog(engineCalls);
        ASSERT_TRUE(stopping.startRecording());
        stopping.hear(QStringLiteral("words that were being finalised"));
        stopping.engine().pushBuffer(test::micBuffer(true)); // a buffer still queued
        stopping.platform->analyzerFinalize = FakeSpeechPlatform::Step::Hang;
        stopping.session->stop([&] { ++completions; });
        stopping.postDeviceChange();
        stopping.session.reset();
        stopping.clock.advance(10s);
        drainEvents();
        ASSERT_FALSE(engineCalls->isEmpty());
        EXPECT_EQ(engineCalls->last(), QStringLiteral("destroyed")) << "the microphone goes off with the session: "
                                                                   << engineCalls->join(u',').toStdString();
        EXPECT_TRUE(engineCalls->contains(QStringLiteral("stop")));
    }
    EXPECT_EQ(completions, 0);
}

TEST_F(VoiceSessionPhaseTest, OpenMicrophoneSettingsPrefersTheInputPage)
{
    class Launcher final : public ProgramLauncher
    {
    public:
        QStringList installed;
        QStringList launched;
        bool isAvailable(const QString &program) const override { return installed.contains(program); }
        void launchDetached(const QString &program, const QStringList &arguments) override
        {
            launched << (QStringList{program} + arguments).join(QLatin1Char(' '));
        }
    };
    Launcher launcher;
    launcher.installed = {QStringLiteral("gnome-control-center"), QStringLiteral("pavucontrol")};
    VoiceRecordingSession::openMicrophoneSettings(launcher);
    EXPECT_EQ(launcher.launched, QStringList{QStringLiteral("pavucontrol --tab=4")});

    launcher.launched.clear();
    launcher.installed = {QStringLiteral("gnome-control-center")};
    VoiceRecordingSession::openMicrophoneSettings(launcher);
    EXPECT_EQ(launcher.launched, QStringList{QStringLiteral("gnome-control-center sound")});

    launcher.launched.clear();
    launcher.installed = {QStringLiteral("xfce4-settings-manager")};
    VoiceRecordingSession::openMicrophoneSettings(launcher);
    EXPECT_EQ(launcher.launched, QStringList{QStringLiteral("xfce4-settings-manager")}) << "general settings";

    launcher.launched.clear();
    launcher.installed.clear();
    VoiceRecordingSession::openMicrophoneSettings(launcher);
    EXPECT_TRUE(launcher.launched.isEmpty());
}

} // namespace
} // namespace zn
