#include "VoiceScreenHarness.h"

#include "app/marks/MarkWidgets.h"
#include "support/PaintRecorder.h"
#include "views/voice/VoiceControls.h"
#include "views/voice/VoiceOrb.h"
#include "views/voice/VoiceStage.h"
#include "views/voice/VoiceText.h"
#include "views/voice/VoiceTranscript.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QScreen>
#include <QTest>

namespace zn {
namespace {

using namespace std::chrono_literals;
using speech::FakeSpeechPlatform;
using test::drain;

// Qt's warnings, kept while a test runs instead of printed.
QStringList warnings;
void keepWarning(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type != QtDebugMsg && type != QtInfoMsg)
        warnings << message;
}

class VoiceModeViewTest : public ::testing::Test
{
protected:
    VoiceStage &stage() { return *h.view->stage(); }
    VoiceControlsTray &tray() { return *stage().tray(); }
    TranscriptBody &body() { return *h.view->transcriptColumn()->body(); }
    TranscriptEditor &editor() { return *body().editor(); }

    QStringList shownButtons()
    {
        QStringList out;
        for (VoiceButton *b : tray().buttons())
            out << b->title();
        return out;
    }

    void click(VoiceControlAction action)
    {
        VoiceButton *button = tray().button(action);
        ASSERT_NE(button, nullptr) << "no such button now";
        QTest::mouseClick(button, Qt::LeftButton);
        drain();
    }

    test::VoiceScreenHarness h;
};

TEST_F(VoiceModeViewTest, IdleScreenBreathesAndOffersToStart)
{
    h.show();
    EXPECT_EQ(stage().title()->text(), "What’s on your mind?");
    EXPECT_EQ(shownButtons(), QStringList({"Start Recording", "Write instead"}));
    EXPECT_TRUE(stage().elapsed()->isHidden());
    EXPECT_EQ(stage().weatherChip(), nullptr);
    EXPECT_TRUE(h.view->transcriptColumn()->liveBadge()->isHidden());
    EXPECT_TRUE(stage().backend()->isHidden());
    EXPECT_EQ(body().mode(), TranscriptBodyMode::Introduction);
    EXPECT_TRUE(body().introduction()->isVisible());
    EXPECT_EQ(body().introduction()->text(),
              "Speak freely — transcription stays on your computer. You can edit everything before saving.");

    EXPECT_TRUE(h.view->breath());
    VoiceOrb &orb = *stage().orb();
    EXPECT_DOUBLE_EQ(orb.targetLevel(), 0.15);
    EXPECT_TRUE(orb.isAnimating()) << "the breath repeats";
    EXPECT_EQ(orb.accessibleName(), "Voice orb, idle");
    EXPECT_EQ(h.session->modelContext(), h.container->mainContext()) << "handed over on screen";
}

TEST_F(VoiceModeViewTest, TheIdleOrbRedrawsOnlyItselfWhenItMovesAndNeverWarns)
{
    const QtMessageHandler previous = qInstallMessageHandler(keepWarning);
    h.show();
    VoiceOrb &orb = *stage().orb();
    ASSERT_TRUE(orb.isAnimating());
    ASSERT_NE(orb.screen(), nullptr);
    EXPECT_GE(orb.frameInterval(), int(1000.0 / orb.screen()->refreshRate())) << "no faster than the display";

    // A third of a breath: the orb grows a pixel or so, redrawn a few times
    // in its own square, not at every frame and not with the whole stage.
    test::PaintRecorder recorder(&orb);
    const double before = orb.geometry().diameter;
    QElapsedTimer elapsed;
    elapsed.start();
    QTest::qWait(1200);
    const double frames = elapsed.elapsed() / double(orb.frameInterval());
    EXPECT_GT(orb.geometry().diameter, before) << "it breathes";
    EXPECT_GE(recorder.count, 1);
    EXPECT_LT(recorder.count, frames / 4) << "redrawn at every frame";
    const QRect largest = orb.orbArea(voiceOrbGeometry(kOrbBreathLevel, VoicePhase::idle, 0.0, false));
    EXPECT_TRUE(QRegion(largest).contains(recorder.painted.boundingRect()))
        << "painted beyond the orb: " << recorder.painted.boundingRect().width() << " wide";
    EXPECT_LT(largest.width(), stage().width());

    // Every size the orb takes, from rest to a full swing, in roomy and
    // cramped places: drawn without a word on the log.
    VoiceOrb alone;
    alone.setReduceMotion(true); // the level follows the energy at once
    alone.setPhase(VoicePhase::recording);
    for (const QSize size : {QSize(420, 420), QSize(300, 700), QSize(180, 140)}) {
        alone.resize(size);
        for (int percent = 0; percent <= 100; ++percent) {
            alone.setEnergy(percent / 100.0);
            (void)alone.grab();
        }
    }
    qInstallMessageHandler(previous);
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join(u'\n').toStdString();
}

TEST_F(VoiceModeViewTest, ReduceMotionHoldsTheOrbStillAndShowsTheLevelBar)
{
    h.appearance.setReduceMotion(true);
    h.show();
    VoiceOrb &orb = *stage().orb();
    EXPECT_FALSE(h.view->breath());
    EXPECT_FALSE(orb.isAnimating());
    EXPECT_DOUBLE_EQ(orb.geometry().diameter, 174.4);

    ASSERT_TRUE(h.startRecording());
    EXPECT_DOUBLE_EQ(orb.geometry().diameter, 170.0);
    EXPECT_TRUE(orb.geometry().showsLevelBar);
    EXPECT_DOUBLE_EQ(orb.geometry().levelBarHeight, 20.0);
    for (int i = 0; i < 12; ++i) {
        h.clock.advance(60ms);
        h.engine().pushBuffer(test::loudBuffer());
        drain();
    }
    ASSERT_GT(h.session->energy(), 0.0);
    EXPECT_FALSE(orb.isAnimating()) << "no spring under reduce motion";
    EXPECT_DOUBLE_EQ(orb.shownLevel(), h.session->energy()) << "the level is shown at once";
    EXPECT_EQ(orb.accessibleName(),
              QStringLiteral("Recording, energy %1 percent").arg(int(h.session->energy() * 100)));

    // Turning motion back on while shown starts the spring, not the breath.
    h.appearance.setReduceMotion(false);
    drain();
    EXPECT_FALSE(h.view->reduceMotion() && orb.reduceMotion());
    EXPECT_FALSE(orb.geometry().showsLevelBar);
}

TEST_F(VoiceModeViewTest, RecordingShowsTimeWeatherBadgeAndALockedTranscript)
{
    h.show();
    click(VoiceControlAction::Start);
    ASSERT_TRUE(h.waitForPhase(VoicePhase::recording));
    EXPECT_EQ(stage().title()->text(), "I’m listening");
    EXPECT_EQ(shownButtons(), QStringList({"Stop", "Write instead"}));
    EXPECT_TRUE(stage().elapsed()->isVisible());
    EXPECT_EQ(stage().elapsed()->text(), "0:00");
    ASSERT_NE(stage().weatherChip(), nullptr);
    EXPECT_EQ(stage().weatherChip()->label(), WeatherLabel::Overcast);
    EXPECT_TRUE(h.view->transcriptColumn()->liveBadge()->isVisible());
    EXPECT_TRUE(stage().backend()->isVisible());
    EXPECT_EQ(stage().backend()->text(), h.session->backendLabel());

    h.hear(QStringLiteral("a lovely sunny morning"));
    h.clock.advance(75s);
    drain();
    EXPECT_EQ(stage().elapsed()->text(), "1:15");
    EXPECT_EQ(editor().toPlainText(), "a lovely sunny morning");
    EXPECT_EQ(body().mode(), TranscriptBodyMode::ReadOnlyEditor);
    EXPECT_TRUE(editor().isReadOnly());

    // Typing goes nowhere while the words come in.
    editor().setFocus();
    QTest::keyClicks(&editor(), "xyz");
    drain();
    EXPECT_EQ(h.session->transcript(), "a lovely sunny morning");

    // The session's mood reaches the chip and the glow.
    h.clock.advance(1s);
    ASSERT_TRUE(test::waitUntil([&] { return h.session->liveSentiment() != 0.0; }));
    drain();
    EXPECT_EQ(stage().weatherChip()->label(), h.session->liveWeather());
}

TEST_F(VoiceModeViewTest, PartialResultsExtendTheEditorWithoutResettingIt)
{
    h.show();
    ASSERT_TRUE(h.startRecording());
    QString spoken;
    for (int i = 0; i < 400; ++i) {
        spoken += QStringLiteral("and then we walked a little further along the shore ");
        h.session->setTranscript(spoken); // as the merger does, text growing at its end
    }
    drain();
    EXPECT_EQ(editor().toPlainText(), spoken);
    EXPECT_EQ(editor().resetCount(), 0) << "growth never replaces the document";
    // The recogniser revising its last words rewrites only those.
    const QString revised = spoken.left(spoken.size() - 6) + QStringLiteral("sea 😀\nnext line");
    h.session->setTranscript(revised);
    EXPECT_EQ(editor().toPlainText(), revised);
    EXPECT_EQ(editor().resetCount(), 0);
    // A wholly different text replaces it.
    h.session->setTranscript(QStringLiteral("something else entirely"));
    EXPECT_EQ(editor().toPlainText(), "something else entirely");
    EXPECT_EQ(editor().resetCount(), 1);
    h.session->setTranscript(QStringLiteral("something\r\nwith a carriage return"));
    EXPECT_EQ(editor().shownText(), "something\r\nwith a carriage return");
}

TEST_F(VoiceModeViewTest, StoppingShowsTheSpinnerThenTheReviewRow)
{
    h.platform->analyzerFinalize = FakeSpeechPlatform::Step::Hang;
    h.show();
    ASSERT_TRUE(h.startRecording());
    h.hear(QStringLiteral("first words"));
    h.view->pressStopKey();
    ASSERT_TRUE(h.waitForPhase(VoicePhase::stopping));
    EXPECT_EQ(stage().title()->text(), "Finishing up…");
    ASSERT_NE(tray().spinner(), nullptr);
    EXPECT_EQ(tray().spinner()->text(), "Finishing transcription…");
    EXPECT_TRUE(shownButtons().isEmpty());
    EXPECT_TRUE(stage().elapsed()->isHidden()) << "gone in stopping";
    EXPECT_TRUE(h.view->transcriptColumn()->liveBadge()->isHidden());
    EXPECT_EQ(body().mode(), TranscriptBodyMode::ReadOnlyEditor);

    // The recogniser finalises once the heard audio has reached it.
    ASSERT_TRUE(test::waitUntil([&] { return h.platform->lastAnalyzer()->finalizeCalls == 1; }));
    h.platform->lastAnalyzer()->completeHungFinalize();
    ASSERT_TRUE(h.waitForPhase(VoicePhase::reviewing, 10000ms));
    EXPECT_EQ(stage().title()->text(), "How does this read?");
    EXPECT_EQ(shownButtons(), QStringList({"Save Entry", "Re-record", "Discard", "Write instead"}));
    EXPECT_EQ(body().mode(), TranscriptBodyMode::Editor);
    EXPECT_FALSE(editor().isReadOnly());
    EXPECT_EQ(stage().orb()->accessibleName(), "Reviewing transcript");
}

TEST_F(VoiceModeViewTest, ReviewEditsAreWhatGetsSavedAndTheWindowOpensThem)
{
    h.show();
    ASSERT_TRUE(h.dictate(QStringLiteral("we went to the lake")));
    editor().setFocus();
    editor().moveCursor(QTextCursor::End);
    QTest::keyClicks(&editor(), " and swam");
    drain();
    EXPECT_EQ(h.session->transcript(), "we went to the lake and swam");

    click(VoiceControlAction::Save);
    ASSERT_TRUE(test::waitUntil([&] { return !h.savedIds.isEmpty(); }));
    ASSERT_EQ(h.savedIds.size(), 1);
    const auto stored = h.storedEntries();
    ASSERT_EQ(stored.size(), 1);
    EXPECT_EQ(stored[0]->id(), h.savedIds[0]);
    EXPECT_EQ(stored[0]->rawText(), "we went to the lake and swam");
    EXPECT_TRUE(stored[0]->duration().has_value());

    // Back to the start: button row and introduction again.
    ASSERT_TRUE(h.waitForPhase(VoicePhase::idle));
    drain();
    EXPECT_EQ(shownButtons(), QStringList({"Start Recording", "Write instead"}));
    EXPECT_EQ(body().mode(), TranscriptBodyMode::Introduction);
}

TEST_F(VoiceModeViewTest, BlankTranscriptDisablesSaveForClicksAndKeys)
{
    h.show();
    ASSERT_TRUE(h.dictate(QStringLiteral("words")));
    editor().selectAll();
    QTest::keyClicks(&editor(), "  ");
    QTest::keyClick(&editor(), Qt::Key_Return);
    QTest::keyClick(&editor(), Qt::Key_Tab);
    drain();
    VoiceButton *save = tray().button(VoiceControlAction::Save);
    ASSERT_NE(save, nullptr);
    EXPECT_FALSE(save->isEnabled());
    h.view->trigger(VoiceControlAction::Save);
    EXPECT_TRUE(h.router->dispatch(QKeySequence(Qt::CTRL | Qt::Key_S))) << "the screen owns the key";
    drain();
    EXPECT_TRUE(h.storedEntries().isEmpty());
    EXPECT_EQ(h.phase(), VoicePhase::reviewing);

    QTest::keyClicks(&editor(), "k");
    drain();
    EXPECT_TRUE(save->isEnabled()) << "one visible character is enough";
    EXPECT_EQ(tray().button(VoiceControlAction::Save), save) << "an edit does not rebuild the row";
}

TEST_F(VoiceModeViewTest, RefusedSaveCallsNothingAndKeepsTheReview)
{
    h.show();
    ASSERT_TRUE(h.dictate(QStringLiteral("keep this please")));
    h.container->setSaveFailureInjector(
        [] { return std::optional(StoreError(StoreError::Code::SaveFailed, QStringLiteral("Disk full."))); });
    h.view->pressSaveKey();
    drain();
    EXPECT_TRUE(h.savedIds.isEmpty());
    EXPECT_EQ(h.phase(), VoicePhase::reviewing);
    EXPECT_EQ(h.session->transcript(), "keep this please");
    EXPECT_FALSE(stage().message()->parentWidget()->isHidden());
    EXPECT_EQ(stage().message()->text(), "Couldn’t save the entry.");

    // The disk recovers: a second save stores exactly one entry.
    h.container->setSaveFailureInjector({});
    h.view->pressSaveKey();
    ASSERT_TRUE(test::waitUntil([&] { return h.savedIds.size() == 1; }));
    EXPECT_EQ(h.storedEntries().size(), 1);
}

TEST_F(VoiceModeViewTest, RepeatedSaveClicksStoreOnce)
{
    h.show();
    ASSERT_TRUE(h.dictate(QStringLiteral("only once")));
    for (int i = 0; i < 3; ++i) {
        h.view->trigger(VoiceControlAction::Save);
        h.view->pressSaveKey();
    }
    ASSERT_TRUE(test::waitUntil([&] { return h.phase() == VoicePhase::idle && !h.savedIds.isEmpty(); }));
    drain();
    EXPECT_EQ(h.savedIds.size(), 1);
    EXPECT_EQ(h.storedEntries().size(), 1);
}

TEST_F(VoiceModeViewTest, ReviewDiscardAsksFirstAndLeavesNoFailure)
{
    h.show();
    ASSERT_TRUE(h.dictate(QStringLiteral("not this one")));
    click(VoiceControlAction::DiscardAfterReview);
    ASSERT_TRUE(h.dialogs.pendingConfirmation().has_value());
    const ConfirmationRequest asked = *h.dialogs.pendingConfirmation();
    EXPECT_EQ(asked.title, "Discard this recording?");
    EXPECT_EQ(asked.message, "Your transcript will be lost.");
    ASSERT_EQ(asked.buttons.size(), 2);
    EXPECT_EQ(asked.buttons[0].role, DialogButtonRole::Destructive);
    EXPECT_EQ(asked.buttons[1].title, "Keep");
    EXPECT_TRUE(h.view->showDiscardConfirm());
    // A second click while asking asks nothing more.
    h.view->trigger(VoiceControlAction::DiscardAfterReview);
    EXPECT_EQ(h.dialogs.confirmations().size(), 1);

    ASSERT_TRUE(h.dialogs.answer(QStringLiteral("Keep")));
    EXPECT_FALSE(h.view->showDiscardConfirm());
    EXPECT_EQ(h.phase(), VoicePhase::reviewing);
    EXPECT_EQ(h.session->transcript(), "not this one");

    click(VoiceControlAction::DiscardAfterReview);
    ASSERT_TRUE(h.dialogs.answer(QStringLiteral("Discard")));
    ASSERT_TRUE(test::waitUntil([&] { return h.phase() == VoicePhase::idle && !h.session->failure(); }));
    EXPECT_TRUE(h.session->transcript().isEmpty());
    EXPECT_FALSE(h.view->showDiscardConfirm());
    EXPECT_TRUE(h.storedEntries().isEmpty());
}

TEST_F(VoiceModeViewTest, ReRecordClearsAndStartsAgain)
{
    h.show();
    ASSERT_TRUE(h.dictate(QStringLiteral("first take")));
    click(VoiceControlAction::ReRecord);
    ASSERT_TRUE(h.waitForPhase(VoicePhase::recording));
    EXPECT_TRUE(h.session->transcript().isEmpty());
    EXPECT_TRUE(editor().toPlainText().isEmpty());
    EXPECT_EQ(h.session->liveSentiment(), 0.0);
}

TEST_F(VoiceModeViewTest, WriteInsteadHandsOverFromEveryRowThatOffersIt)
{
    h.show();
    click(VoiceControlAction::WriteInstead);
    EXPECT_EQ(h.writeInsteadCalls, 1);
    ASSERT_TRUE(h.startRecording());
    click(VoiceControlAction::WriteInstead);
    EXPECT_EQ(h.writeInsteadCalls, 2);
    h.view->trigger(VoiceControlAction::Stop);
    ASSERT_TRUE(h.waitForPhase(VoicePhase::reviewing));
    click(VoiceControlAction::WriteInstead);
    EXPECT_EQ(h.writeInsteadCalls, 3);
}

TEST_F(VoiceModeViewTest, PermissionRefusalOffersSettingsWithoutTouchingTheSession)
{
    h.permissions->microphone = MicrophoneAuthorization::denied;
    h.show();
    click(VoiceControlAction::Start);
    ASSERT_TRUE(h.waitForPhase(VoicePhase::permissionRequired));
    drain();
    EXPECT_EQ(stage().title()->text(), "Voice needs permission");
    EXPECT_EQ(shownButtons(), QStringList({"Start Recording", "Write instead", "Open Sound Settings"}));
    EXPECT_EQ(body().mode(), TranscriptBodyMode::Introduction);
    click(VoiceControlAction::OpenMicrophoneSettings);
    EXPECT_EQ(h.settingsOpened, 1);
    EXPECT_EQ(h.phase(), VoicePhase::permissionRequired);

    // Access granted meanwhile: Ctrl+R starts from here.
    h.permissions->microphone = MicrophoneAuthorization::authorized;
    EXPECT_TRUE(h.router->dispatch(QKeySequence(Qt::CTRL | Qt::Key_R)));
    EXPECT_TRUE(h.waitForPhase(VoicePhase::recording));
}

TEST_F(VoiceModeViewTest, FailureAndUnavailablePhasesOfferTheirStartButton)
{
    h.engine().setStartError(QStringLiteral("Device busy"));
    h.show();
    click(VoiceControlAction::Start);
    ASSERT_TRUE(h.waitForPhase(VoicePhase::failed));
    drain();
    EXPECT_EQ(stage().title()->text(), "Something went wrong");
    EXPECT_EQ(shownButtons(), QStringList({"Try Again", "Write instead"}));
    EXPECT_FALSE(stage().message()->parentWidget()->isHidden()) << "the failure's message shows";
    EXPECT_EQ(stage().message()->text(), h.session->statusMessage().value_or(QString()));
    EXPECT_EQ(body().mode(), TranscriptBodyMode::Editor);

    h.engine().setStartError(std::nullopt);
    h.platform->supportedLocale.reset();
    h.platform->recognizerAvailable = false;
    click(VoiceControlAction::Start);
    ASSERT_TRUE(h.waitForPhase(VoicePhase::unavailable));
    drain();
    EXPECT_EQ(stage().title()->text(), "Voice isn’t available");
    EXPECT_EQ(shownButtons(), QStringList({"Start Recording", "Write instead"}));
    EXPECT_EQ(body().mode(), TranscriptBodyMode::Introduction);
}

TEST_F(VoiceModeViewTest, PermissionAndPreparingPhasesShowTheSpinner)
{
    h.permissions->holdAnswers = true;
    h.show();
    click(VoiceControlAction::Start);
    ASSERT_EQ(h.phase(), VoicePhase::requestingPermissions);
    EXPECT_EQ(stage().title()->text(), "Checking permissions…");
    ASSERT_NE(tray().spinner(), nullptr);
    EXPECT_EQ(tray().spinner()->text(), "Preparing…");
    EXPECT_EQ(body().mode(), TranscriptBodyMode::Introduction);
    EXPECT_EQ(stage().orb()->accessibleName(), "Preparing to record");
    // Starting again while asking changes nothing.
    const int asked = h.permissions->microphonePrompts + h.permissions->speechRequests;
    h.view->trigger(VoiceControlAction::Start);
    h.view->pressStartKey();
    drain();
    EXPECT_EQ(h.permissions->microphonePrompts + h.permissions->speechRequests, asked);
    EXPECT_EQ(h.phase(), VoicePhase::requestingPermissions);
}

TEST_F(VoiceModeViewTest, DeviceChangeRowResumesKeepsOrDiscardsAtOnce)
{
    h.show();
    ASSERT_TRUE(h.startRecording());
    h.hear(QStringLiteral("kept words"));
    h.engine().setStartError(QStringLiteral("Device gone"));
    h.center.post(AudioCaptureService::configurationChangedNotification());
    ASSERT_TRUE(h.waitForPhase(VoicePhase::interruptedDeviceChange));
    drain();
    EXPECT_EQ(stage().title()->text(), "Audio device changed");
    EXPECT_EQ(shownButtons(), QStringList({"Resume Recording", "Keep Text & Edit", "Discard"}));
    EXPECT_EQ(body().mode(), TranscriptBodyMode::Editor);
    // No key works on this row.
    h.view->pressStartKey();
    h.view->pressSaveKey();
    h.view->pressStopKey();
    drain();
    EXPECT_EQ(h.phase(), VoicePhase::interruptedDeviceChange);

    click(VoiceControlAction::KeepTextAndEdit);
    EXPECT_EQ(h.phase(), VoicePhase::reviewing);
    EXPECT_EQ(editor().toPlainText(), "kept words");
    EXPECT_FALSE(h.session->failure());
}

TEST_F(VoiceModeViewTest, DeviceChangeDiscardNeedsNoConfirmation)
{
    h.show();
    ASSERT_TRUE(h.startRecording());
    h.hear(QStringLiteral("lost words"));
    h.engine().setStartError(QStringLiteral("Device gone"));
    h.center.post(AudioCaptureService::configurationChangedNotification());
    ASSERT_TRUE(h.waitForPhase(VoicePhase::interruptedDeviceChange));
    click(VoiceControlAction::DiscardAfterDeviceChange);
    EXPECT_TRUE(h.dialogs.confirmations().isEmpty());
    ASSERT_TRUE(test::waitUntil([&] { return h.phase() == VoicePhase::idle && !h.session->failure(); }));
    EXPECT_TRUE(h.session->transcript().isEmpty());
}

TEST_F(VoiceModeViewTest, ResumeAfterDeviceChangeRecordsOnAfterTheKeptText)
{
    h.show();
    ASSERT_TRUE(h.startRecording());
    h.hear(QStringLiteral("before"));
    h.engine().setStartError(QStringLiteral("Device gone"));
    h.center.post(AudioCaptureService::configurationChangedNotification());
    ASSERT_TRUE(h.waitForPhase(VoicePhase::interruptedDeviceChange));
    h.engine().setStartError(std::nullopt);
    click(VoiceControlAction::ResumeRecording);
    ASSERT_TRUE(h.waitForPhase(VoicePhase::recording));
    h.hear(QStringLiteral("after"));
    EXPECT_EQ(editor().toPlainText(), "before after");
}

TEST_F(VoiceModeViewTest, KeysFollowThePhaseThroughTheWindowsRouter)
{
    const QKeySequence start(Qt::CTRL | Qt::Key_R);
    const QKeySequence save(Qt::CTRL | Qt::Key_S);
    const QKeySequence stop(Qt::Key_Escape);
    EXPECT_FALSE(h.router->hasLiveClaim(start)) << "claims hold only while the screen shows";
    h.show();
    EXPECT_TRUE(h.router->hasLiveClaim(start));
    EXPECT_TRUE(h.router->hasLiveClaim(save));

    // Ctrl+S while idle is the screen's and does nothing.
    EXPECT_TRUE(h.router->dispatch(save));
    EXPECT_EQ(h.phase(), VoicePhase::idle);
    EXPECT_TRUE(h.router->dispatch(start));
    ASSERT_TRUE(h.waitForPhase(VoicePhase::recording));
    h.hear(QStringLiteral("keys only"));
    // Neither Ctrl+R nor Ctrl+S act while recording.
    h.router->dispatch(start);
    h.router->dispatch(save);
    drain();
    EXPECT_EQ(h.phase(), VoicePhase::recording);
    EXPECT_TRUE(h.storedEntries().isEmpty());

    // Escape is a real key on the screen.
    h.window->activateWindow();
    QApplication::setActiveWindow(h.window.get());
    h.view->setFocus();
    QTest::keyClick(h.view, Qt::Key_Escape);
    ASSERT_TRUE(h.waitForPhase(VoicePhase::reviewing));
    EXPECT_TRUE(h.router->dispatch(save));
    ASSERT_TRUE(test::waitUntil([&] { return h.savedIds.size() == 1; }));

    // Hidden, the menu has its keys back.
    h.window->hide();
    drain();
    EXPECT_FALSE(h.router->hasLiveClaim(start));
    EXPECT_FALSE(h.router->dispatch(save));
}

TEST_F(VoiceModeViewTest, LeavingWhileRecordingStopsIntoReviewButNotWhilePreparing)
{
    h.show();
    ASSERT_TRUE(h.startRecording());
    h.hear(QStringLiteral("spoken before leaving"));
    h.view->hide();
    ASSERT_TRUE(h.waitForPhase(VoicePhase::reviewing));
    EXPECT_EQ(h.session->transcript(), "spoken before leaving");
    EXPECT_FALSE(stage().orb()->isAnimating());

    test::VoiceScreenHarness preparing;
    preparing.platform->analyzerPrepare = FakeSpeechPlatform::Step::Hang;
    preparing.show();
    preparing.view->trigger(VoiceControlAction::Start);
    ASSERT_TRUE(preparing.waitForPhase(VoicePhase::preparing));
    EXPECT_EQ(preparing.view->stage()->title()->text(), "Listening soon…");
    preparing.view->hide();
    drain();
    EXPECT_EQ(preparing.phase(), VoicePhase::preparing);
}

TEST_F(VoiceModeViewTest, ScreenDestroyedWhileRecordingStopsAndLateCompletionsTouchNothing)
{
    h.show();
    ASSERT_TRUE(h.dictate(QStringLiteral("saved after the screen went")));
    // The save answers after the screen is gone: nothing is called back.
    h.view->trigger(VoiceControlAction::Save);
    delete h.view;
    h.view = nullptr;
    ASSERT_TRUE(test::waitUntil([&] { return h.phase() == VoicePhase::idle; }));
    drain();
    EXPECT_TRUE(h.savedIds.isEmpty());
    EXPECT_EQ(h.storedEntries().size(), 1) << "the save itself still happened";

    test::VoiceScreenHarness other;
    other.show();
    ASSERT_TRUE(other.startRecording());
    other.hear(QStringLiteral("words"));
    delete other.view;
    other.view = nullptr;
    EXPECT_TRUE(other.waitForPhase(VoicePhase::reviewing)) << "a page torn down mid-recording stops it";
    EXPECT_FALSE(other.router->hasLiveClaim(QKeySequence(Qt::Key_Escape)));
}

TEST_F(VoiceModeViewTest, RefusedSaveMessageShowsUnderTheTitle)
{
    h.show();
    ASSERT_TRUE(h.startRecording());
    h.hear(QStringLiteral("x"));
    h.view->trigger(VoiceControlAction::Stop);
    ASSERT_TRUE(h.waitForPhase(VoicePhase::reviewing));
    EXPECT_TRUE(stage().message()->parentWidget()->isHidden());
    h.container->setSaveFailureInjector(
        [] { return std::optional(StoreError(StoreError::Code::SaveFailed, QStringLiteral("No."))); });
    h.view->pressSaveKey();
    drain();
    ASSERT_FALSE(stage().message()->parentWidget()->isHidden());
    EXPECT_FALSE(stage().backend()->isHidden()) << "the engine's name shows in review";
}

} // namespace
} // namespace zn

namespace zn {
namespace {

TEST(VoiceModeViewWindowTest, FindsTheRouterItsWindowKeeps)
{
    test::VoiceScreenHarness h({}, false);
    // As the main window does: the router is a direct child of the window.
    auto *router = new ShortcutRouter(h.window.get());
    const QKeySequence save(Qt::CTRL | Qt::Key_S);
    router->registerMenuKey(save);
    EXPECT_FALSE(router->hasLiveClaim(save));
    h.show();
    EXPECT_TRUE(router->hasLiveClaim(save)) << "claimed once the screen shows in its window";
    ASSERT_TRUE(h.dictate(QStringLiteral("found the owner")));
    EXPECT_TRUE(router->dispatch(save));
    EXPECT_TRUE(test::waitUntil([&] { return h.savedIds.size() == 1; }));
}

TEST(VoiceModeViewWindowTest, WithoutAnyRouterItsOwnEscapeStops)
{
    test::VoiceScreenHarness h({}, false);
    h.show();
    ASSERT_TRUE(h.startRecording());
    QApplication::setActiveWindow(h.window.get());
    h.view->setFocus();
    QTest::keyClick(h.view, Qt::Key_Escape);
    EXPECT_TRUE(h.waitForPhase(VoicePhase::reviewing));
}

} // namespace
} // namespace zn

namespace zn {
namespace {

TEST(VoiceModeViewWindowTest, EscapeReachesTheScreenWhenTheRecordingStartedFromElsewhere)
{
    test::VoiceScreenHarness h;
    auto *elsewhere = new QLineEdit(h.window.get()); // the sidebar or search, say
    elsewhere->setGeometry(0, 0, 10, 10);
    h.show();
    QApplication::setActiveWindow(h.window.get());
    elsewhere->setFocus();
    ASSERT_TRUE(elsewhere->hasFocus());
    ASSERT_TRUE(h.router->dispatch(QKeySequence(Qt::CTRL | Qt::Key_R))); // the menu's key
    ASSERT_TRUE(h.waitForPhase(VoicePhase::recording));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_TRUE(h.waitForPhase(VoicePhase::reviewing));
}

} // namespace
} // namespace zn
