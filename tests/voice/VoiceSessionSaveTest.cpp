// Turning a dictation into a stored entry (a real SQLite store), taking its
// text, the live mood, and the transcript merge rule.
#include "VoiceSessionTestHarness.h"

#include "core/JournalEntry.h"
#include "core/JournalQueries.h"
#include "core/MoodAnalysis.h"
#include "core/StoreFactory.h"
#include "core/TextUnits.h"

namespace zn {
namespace {

using namespace std::chrono_literals;
using speech::FakeSpeechPlatform;
using test::drainEvents;

const QString kHappy = QStringLiteral("What a wonderful, happy morning with my lovely family at the sunny beach.");
const QString kGloomy = QStringLiteral("Everything went wrong today and I feel miserable, lonely and exhausted.");

std::optional<StoreError> diskFull()
{
    return StoreError(StoreError::Code::SaveFailed, QStringLiteral("The disk is full."));
}

class VoiceSessionSaveTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        StoreError error;
        auto made = makeStoreContainerIn(dir.path(), &error);
        ASSERT_TRUE(made.has_value()) << error.description().toStdString();
        container = made->container;
        s.setModelContext(container->mainContext());
        s.setInsightCoordinator(&queue);
    }

    QList<JournalEntry *> storedEntries()
    {
        readers.push_back(std::make_unique<ModelContext>(container.get()));
        return fetchAllEntries(*readers.back());
    }

    std::optional<QUuid> save()
    {
        std::optional<std::optional<QUuid>> answer;
        s.save([&](std::optional<QUuid> id) { answer = id; });
        EXPECT_TRUE(test::waitUntil([&] { return answer.has_value(); })) << "save never answered";
        return answer.value_or(std::nullopt);
    }

    // Records, hears `text` as the final words, and stops into review.
    void dictate(const QString &text, std::chrono::milliseconds length = 3s)
    {
        ASSERT_TRUE(h.startRecording());
        h.hear(text);
        h.clock.advance(length);
        ASSERT_TRUE(h.await([&](auto done) { s.stop(done); }));
        ASSERT_EQ(s.phase(), VoicePhase::reviewing);
    }

    bool waitForLiveMood()
    {
        return test::waitUntil([&] { return !s.isLiveMoodPending(); });
    }

    test::TempDir dir;
    std::shared_ptr<ModelContainer> container;
    std::vector<std::unique_ptr<ModelContext>> readers;
    test::RecordingInsightQueue queue;
    test::SessionHarness h;
    VoiceRecordingSession &s = *h.session;
};

TEST_F(VoiceSessionSaveTest, SavedDictationIsStoredScoredQueuedAndTheSessionResets)
{
    dictate(QStringLiteral("  ") + kHappy + QStringLiteral("\n"));
    const auto id = save();
    ASSERT_TRUE(id);

    const auto entries = storedEntries();
    ASSERT_EQ(entries.size(), 1);
    JournalEntry *entry = entries.first();
    EXPECT_EQ(entry->id(), *id);
    EXPECT_EQ(entry->rawText(), kHappy) << "stored trimmed";
    EXPECT_EQ(entry->duration(), std::optional(3.0));
    EXPECT_EQ(entry->timestamp(), h.clock.now());
    EXPECT_FALSE(entry->isDraft());
    EXPECT_EQ(entry->insightStatus(), InsightStatus::Pending);
    EXPECT_FALSE(entry->moodLabel());
    EXPECT_TRUE(entry->tags().isEmpty());
    EXPECT_GT(entry->sentimentScore(), 0.2);
    EXPECT_FALSE(entry->keywordFrequencies().isEmpty());
    EXPECT_EQ(queue.ids, QList<QUuid>{*id});

    EXPECT_EQ(s.phase(), VoicePhase::idle);
    EXPECT_TRUE(s.transcript().isEmpty());
    EXPECT_TRUE(s.retainedPrefix().isEmpty());
    EXPECT_FALSE(s.failure());
    EXPECT_FALSE(s.statusMessage());
    EXPECT_EQ(s.duration(), 0.0);
    EXPECT_TRUE(s.speech().liveText().isEmpty());
}

TEST_F(VoiceSessionSaveTest, SaveWhileRecordingStopsFirstAndStoresTheFinalText)
{
    ASSERT_TRUE(h.startRecording());
    h.hear(QStringLiteral("today I walked"));
    h.platform->finalizeEmitsFinal = QStringLiteral("today I walked along the river");
    h.clock.advance(4s);
    const auto id = save();
    ASSERT_TRUE(id);
    const auto entries = storedEntries();
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(entries.first()->rawText(), QStringLiteral("today I walked along the river"));
    EXPECT_EQ(entries.first()->duration(), std::optional(4.0));
    EXPECT_FALSE(h.engine().isRunning());
}

TEST_F(VoiceSessionSaveTest, ZeroDurationIsStoredAsAbsent)
{
    dictate(kGloomy, 0ms);
    ASSERT_EQ(s.duration(), 0.0);
    ASSERT_TRUE(save());
    EXPECT_FALSE(storedEntries().first()->duration());
}

TEST_F(VoiceSessionSaveTest, SaveFromFailedOrInterruptedKeepsTheirText)
{
    ASSERT_TRUE(h.startRecording());
    h.hear(QStringLiteral("interrupted thoughts"));
    h.engine().setStartError(QStringLiteral("gone"));
    h.postDeviceChange();
    ASSERT_TRUE(test::waitUntil([&] { return h.engine().startCount() == 2; }));
    ASSERT_TRUE(h.waitForPhase(VoicePhase::interruptedDeviceChange));
    drainEvents();
    ASSERT_EQ(s.phase(), VoicePhase::interruptedDeviceChange);
    ASSERT_TRUE(s.canSave());
    ASSERT_TRUE(save());
    EXPECT_EQ(storedEntries().first()->rawText(), QStringLiteral("interrupted thoughts"));
    EXPECT_EQ(h.engine().startCount(), 2) << "saved without starting again";
}

TEST_F(VoiceSessionSaveTest, NothingToSaveAnswersNoneSilently)
{
    // Idle with text typed into the view.
    s.setTranscript(kHappy);
    EXPECT_FALSE(s.canSave());
    EXPECT_FALSE(save());

    // Blank text in review.
    dictate(QStringLiteral(" \n\t "));
    EXPECT_FALSE(s.canSave());
    EXPECT_FALSE(save());
    EXPECT_EQ(s.phase(), VoicePhase::reviewing);

    // No store context.
    s.setTranscript(kHappy);
    EXPECT_TRUE(s.canSave());
    s.setModelContext(nullptr);
    EXPECT_FALSE(save());
    EXPECT_EQ(s.transcript(), kHappy);
    EXPECT_FALSE(s.statusMessage());

    // A permission refusal is not a saving phase either.
    h.permissions->microphone = MicrophoneAuthorization::denied;
    ASSERT_TRUE(h.await([&](auto done) { s.start(done); }));
    s.setModelContext(container->mainContext());
    s.setTranscript(kHappy);
    EXPECT_FALSE(s.canSave());
    EXPECT_FALSE(save());

    EXPECT_TRUE(storedEntries().isEmpty());
    EXPECT_TRUE(queue.ids.isEmpty());
}

TEST_F(VoiceSessionSaveTest, FailedStoreSaveKeepsTheDictationAndNeverDuplicates)
{
    dictate(kHappy);
    container->setSaveFailureInjector(diskFull);
    EXPECT_FALSE(save());
    EXPECT_EQ(s.statusMessage(), std::optional(QStringLiteral("Couldn\u2019t save the entry.")));
    EXPECT_EQ(s.phase(), VoicePhase::reviewing);
    EXPECT_EQ(s.transcript(), kHappy);
    EXPECT_TRUE(queue.ids.isEmpty());

    // Another save of the shared context must not carry the withdrawn entry.
    container->setSaveFailureInjector({});
    EXPECT_FALSE(container->mainContext()->save());
    EXPECT_TRUE(storedEntries().isEmpty());

    // The user's retry stores exactly one.
    const auto id = save();
    ASSERT_TRUE(id);
    const auto entries = storedEntries();
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(entries.first()->id(), *id);
    EXPECT_EQ(queue.ids.size(), 1);
}

TEST_F(VoiceSessionSaveTest, RapidDoubleSaveStoresOnce)
{
    dictate(kHappy);
    QList<std::optional<QUuid>> answers;
    s.save([&](std::optional<QUuid> id) { answers << id; });
    s.save([&](std::optional<QUuid> id) { answers << id; });
    ASSERT_TRUE(test::waitUntil([&] { return answers.size() == 2; }));
    EXPECT_EQ(int(std::count_if(answers.begin(), answers.end(), [](const auto &a) { return a.has_value(); })), 1);
    EXPECT_EQ(storedEntries().size(), 1);

    // Taking the text right after a save finds nothing left to take.
    dictate(kGloomy);
    QString taken = QStringLiteral("<none>");
    s.save();
    s.finishAndTakeTranscript([&](const QString &text) { taken = text; });
    ASSERT_TRUE(test::waitUntil([&] { return taken != QStringLiteral("<none>"); }));
    EXPECT_TRUE(taken.isEmpty());
    EXPECT_EQ(storedEntries().size(), 2);

    // Saving right after the text was taken finds nothing left to store.
    dictate(kHappy);
    taken = QStringLiteral("<none>");
    s.finishAndTakeTranscript([&](const QString &text) { taken = text; });
    EXPECT_FALSE(save());
    ASSERT_TRUE(test::waitUntil([&] { return taken != QStringLiteral("<none>"); }));
    EXPECT_EQ(taken, kHappy);
    EXPECT_EQ(storedEntries().size(), 2) << "the text went to the caller only";
    EXPECT_EQ(queue.ids.size(), 2);
}

TEST_F(VoiceSessionSaveTest, SaveWhileStoppingStoresNothingAndLeavesTheTextForReview)
{
    ASSERT_TRUE(h.startRecording());
    h.hear(kHappy);
    h.platform->analyzerFinalize = FakeSpeechPlatform::Step::Hang;
    s.stop();
    ASSERT_EQ(s.phase(), VoicePhase::stopping);
    EXPECT_FALSE(save());
    drainEvents(); // the recogniser finalises once the heard audio has reached it
    h.clock.advance(SpeechTranscriptionService::finalizationLimit);
    ASSERT_TRUE(h.waitForPhase(VoicePhase::reviewing));
    EXPECT_EQ(s.transcript(), kHappy);
    EXPECT_TRUE(storedEntries().isEmpty());
    ASSERT_TRUE(save());
    EXPECT_EQ(storedEntries().size(), 1);
}

TEST_F(VoiceSessionSaveTest, SaveWhilePreparingNeitherStoresNorStartsTheMicrophoneLater)
{
    h.platform->analyzerPrepare = FakeSpeechPlatform::Step::Hang;
    s.start();
    ASSERT_TRUE(test::waitUntil([&] { return h.analyzer() != nullptr; }));
    EXPECT_FALSE(save());
    EXPECT_EQ(s.phase(), VoicePhase::reviewing);
    test::waitUntil([] { return false; }, 50ms);
    EXPECT_EQ(h.engine().startCount(), 1) << "on with the recording only";
    EXPECT_FALSE(h.engine().isRunning());
    EXPECT_TRUE(storedEntries().isEmpty());
}

TEST_F(VoiceSessionSaveTest, VeryLongTranscriptHasNoLiveMoodButSaves)
{
    QString longText;
    while (longText.size() <= 15000)
        longText += QStringLiteral("calm ");
    longText = text::graphemePrefix(longText, 15001);
    dictate(longText);
    EXPECT_FALSE(s.isLiveMoodPending()) << "over 15,000 characters is not analysed";
    ASSERT_TRUE(save());
    EXPECT_EQ(storedEntries().first()->rawText(), text::trimmed(longText));
}

TEST_F(VoiceSessionSaveTest, FinishAndTakeTranscriptStopsAndHandsOverTheText)
{
    ASSERT_TRUE(h.startRecording());
    h.hear(QStringLiteral("  words for the editor "));
    h.platform->finalizeEmitsFinal = QStringLiteral("words for the editor today");
    QString taken = QStringLiteral("<none>");
    s.finishAndTakeTranscript([&](const QString &text) { taken = text; });
    ASSERT_TRUE(test::waitUntil([&] { return taken != QStringLiteral("<none>"); }));
    EXPECT_EQ(taken, QStringLiteral("words for the editor today"));
    EXPECT_EQ(s.phase(), VoicePhase::idle);
    EXPECT_TRUE(s.transcript().isEmpty());
    EXPECT_FALSE(s.failure());
    EXPECT_TRUE(storedEntries().isEmpty());

    // From idle it hands over whatever text there is, trimmed.
    s.setTranscript(QStringLiteral("  typed while idle\n"));
    taken = QStringLiteral("<none>");
    s.finishAndTakeTranscript([&](const QString &text) { taken = text; });
    ASSERT_TRUE(test::waitUntil([&] { return taken != QStringLiteral("<none>"); }));
    EXPECT_EQ(taken, QStringLiteral("typed while idle"));
    EXPECT_TRUE(s.transcript().isEmpty());
}

TEST_F(VoiceSessionSaveTest, StopIfRecordingActsOnlyOnALiveRecording)
{
    ASSERT_TRUE(h.await([&](auto done) { s.stopIfRecording(done); }));
    EXPECT_EQ(s.phase(), VoicePhase::idle);
    ASSERT_TRUE(h.startRecording());
    ASSERT_TRUE(h.await([&](auto done) { s.stopIfRecording(done); }));
    EXPECT_EQ(s.phase(), VoicePhase::reviewing);
}

// --- live mood ----------------------------------------------------------------

TEST_F(VoiceSessionSaveTest, LiveMoodFollowsTheTextAfterAPause)
{
    ASSERT_TRUE(h.startRecording());
    h.hear(kHappy);
    EXPECT_TRUE(s.isLiveMoodPending());
    h.clock.advance(499ms);
    EXPECT_EQ(s.liveSentiment(), 0.0) << "still inside the pause";
    h.clock.advance(1ms);
    ASSERT_TRUE(waitForLiveMood());
    EXPECT_GT(s.liveSentiment(), 0.2);
    EXPECT_EQ(s.liveWeather(), weatherLabelForScore(s.liveSentiment()));
    const double happy = s.liveSentiment();

    // Every new text restarts the pause; only the last one is analysed.
    h.hear(kHappy + QStringLiteral(" But then"));
    h.clock.advance(300ms);
    h.hear(kHappy + QStringLiteral(" But then ") + kGloomy);
    h.clock.advance(300ms);
    drainEvents();
    EXPECT_EQ(s.liveSentiment(), happy) << "the first pause was cut short";
    h.clock.advance(200ms);
    ASSERT_TRUE(waitForLiveMood());
    EXPECT_LT(s.liveSentiment(), happy);

    // Cancel resets the mood; a reset (after a save) keeps it.
    ASSERT_TRUE(h.await([&](auto done) { s.cancel(done); }));
    EXPECT_EQ(s.liveSentiment(), 0.0);
    EXPECT_EQ(s.liveWeather(), WeatherLabel::Overcast);
    dictate(kHappy);
    h.clock.advance(500ms);
    ASSERT_TRUE(waitForLiveMood());
    const double reviewed = s.liveSentiment();
    EXPECT_GT(reviewed, 0.2);
    ASSERT_TRUE(save());
    EXPECT_EQ(s.liveSentiment(), reviewed);
}

TEST_F(VoiceSessionSaveTest, LiveMoodNeedsTwentyCharacters)
{
    dictate(QStringLiteral("I love this so much")); // 19
    EXPECT_FALSE(s.isLiveMoodPending());
    h.clock.advance(1s);
    EXPECT_EQ(s.liveSentiment(), 0.0);

    dictate(QStringLiteral("I love this so much!")); // 20
    EXPECT_TRUE(s.isLiveMoodPending());
    h.clock.advance(500ms);
    ASSERT_TRUE(waitForLiveMood());
    EXPECT_GT(s.liveSentiment(), 0.0);

    // An out-of-range text still cancels the analysis waiting for its pause.
    const double before = s.liveSentiment();
    ASSERT_TRUE(h.startRecording());
    h.hear(kGloomy);
    EXPECT_TRUE(s.isLiveMoodPending());
    s.setTranscript(QStringLiteral("short"));
    s.keepTextAfterDeviceChange(); // reviews "short"
    EXPECT_FALSE(s.isLiveMoodPending());
    h.clock.advance(1s);
    drainEvents();
    EXPECT_EQ(s.liveSentiment(), before);
}

TEST_F(VoiceSessionSaveTest, StaleMoodIsDroppedWhileRecordingButAppliedInReview)
{
    ASSERT_TRUE(h.startRecording());
    h.hear(kGloomy);
    h.clock.advance(500ms); // the analysis of kGloomy is now running
    s.setTranscript(kGloomy + QStringLiteral(" edited"));
    ASSERT_TRUE(waitForLiveMood());
    EXPECT_EQ(s.liveSentiment(), 0.0) << "the text moved on while recording";

    s.keepTextAfterDeviceChange();
    h.clock.advance(500ms);
    s.setTranscript(QStringLiteral("edited in review"));
    ASSERT_TRUE(waitForLiveMood());
    EXPECT_LT(s.liveSentiment(), 0.0) << "in review a stale text still counts";
}

TEST_F(VoiceSessionSaveTest, DestroyedWithAnAnalysisRunning)
{
    dictate(kHappy);
    h.clock.advance(500ms);
    h.session.reset();
    drainEvents();
    SUCCEED();
}

// --- merge rule -----------------------------------------------------------------

TEST(VoiceSessionMergeTest, KeepsTheTextThatExtendsOrOutgrowsTheOther)
{
    struct Case
    {
        const char *current;
        const char *incoming;
        const char *expected;
    };
    const Case cases[] = {
        {"Hello wor", "Hello world", "Hello world"},
        {"Hello world", "Hello", "Hello world"},
        {"   ", "Hi", "Hi"},
        {"Hi", "   ", "Hi"},
        {"abc", "xyz", "xyz"},
        {"a longer sentence", "short", "a longer sentence"},
        {"hello", "Hello there", "Hello there"},
        {"same", "same", "same"},
        {"", "", ""},
        {" padded ", "padded and more\n", "padded and more\n"}, // untrimmed argument returned
        {"padded and more ", " padded", "padded and more "},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(mergeTranscript(QString::fromUtf8(c.current), QString::fromUtf8(c.incoming)),
                  QString::fromUtf8(c.expected))
            << c.current << " + " << c.incoming;
    }
}

TEST(VoiceSessionMergeTest, CountsCharactersNotCodeUnits)
{
    // Three flags (six code units each pair) against four letters: the
    // letters are longer in characters though shorter in code units.
    const QString flags = QStringLiteral("\U0001F1E9\U0001F1EA\U0001F1EB\U0001F1F7\U0001F1EF\U0001F1F5");
    EXPECT_EQ(mergeTranscript(flags, QStringLiteral("abcd")), QStringLiteral("abcd"));
    EXPECT_EQ(mergeTranscript(QStringLiteral("abcd"), flags), QStringLiteral("abcd"));
    // Equal in characters: the incoming text wins.
    EXPECT_EQ(mergeTranscript(QStringLiteral("abc"), flags), flags);
}

TEST(VoiceSessionFailureTest, EveryFailureHasItsText)
{
    EXPECT_EQ(message(VoiceRecordingFailure::speechFailed),
              QStringLiteral("Transcription stopped. Your words so far are still here \u2014 you can edit or save."));
    EXPECT_EQ(message(VoiceRecordingFailure::cancelled), QStringLiteral("Recording cancelled."));
    EXPECT_EQ(message(VoiceRecordingFailure::permissionMicrophone),
              QStringLiteral("Microphone access is off. You can enable it in the desktop’s privacy settings, or write instead."));
    EXPECT_EQ(message(VoiceRecordingFailure::permissionSpeech),
              QStringLiteral("Speech recognition isn\u2019t allowed. Enable it in the desktop’s privacy settings, or write instead."));
    EXPECT_EQ(message(VoiceRecordingFailure::deviceChanged),
              QStringLiteral("Your audio device changed. You can resume, keep the text, or discard."));
    EXPECT_EQ(int(VoiceRecordingFailure::sessionLimitReached), 9);
    EXPECT_EQ(int(VoicePhase::interruptedDeviceChange), 9);
}

} // namespace
} // namespace zn
