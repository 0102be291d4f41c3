#include "WorkspaceTestHarness.h"

#include <QSignalSpy>

#include <cmath>
#include <limits>

namespace zn::test {
namespace {

class WorkspaceSetupTest : public ::testing::Test
{
protected:
    int savesDuring(const std::function<void()> &run)
    {
        int saves = 0;
        auto c = QObject::connect(h.context, &ModelContext::didSave, [&] { ++saves; });
        run();
        QObject::disconnect(c);
        return saves;
    }

    WorkspaceHarness h;
};

TEST_F(WorkspaceSetupTest, AppearingWiresTheSessionsAndShowsTheTimeline)
{
    WorkspaceViewModel &vm = h.make();
    vm.navigate(WorkspaceDestination::Weather);
    EXPECT_EQ(h.capability.lastRefreshed(), std::nullopt);
    vm.handleAppear();
    EXPECT_EQ(h.editor().modelContext(), h.context);
    EXPECT_EQ(h.editor().insightCoordinator(), &h.queue);
    EXPECT_EQ(vm.voiceSession().modelContext(), h.context);
    EXPECT_EQ(vm.voiceSession().insightCoordinator(), &h.queue);
    EXPECT_TRUE(h.capability.lastRefreshed().has_value());
    EXPECT_EQ(vm.destination(), WorkspaceDestination::Timeline);
    EXPECT_EQ(vm.lastJournalDestination(), WorkspaceDestination::Timeline);
}

TEST_F(WorkspaceSetupTest, RescoringWritesOnlyMovesBeyondTheThresholdInOneSave)
{
    const double fresh = sentimentScore(kHappy);
    JournalEntry *moved = h.seed(kHappy, fresh - 0.09, 1);
    JournalEntry *kept = h.seed(kHappy, fresh - 0.07, 2);
    JournalEntry *exact = h.seed(kHappy, fresh, 3);
    WorkspaceViewModel &vm = h.make();
    EXPECT_EQ(savesDuring([&] { vm.handleAppear(); }), 1);
    EXPECT_DOUBLE_EQ(h.stored(moved->id())->sentimentScore(), fresh);
    EXPECT_DOUBLE_EQ(h.stored(kept->id())->sentimentScore(), fresh - 0.07);
    EXPECT_DOUBLE_EQ(h.stored(exact->id())->sentimentScore(), fresh);

    // Nothing left to move: nothing saved.
    EXPECT_EQ(savesDuring([&] { vm.rescoreEntries(); }), 0);
}

TEST_F(WorkspaceSetupTest, AReadyReflectionsScoreIsReconciledAndBrokenScoresAreRepaired)
{
    JournalEntry *reflected = h.seed(kGloomy, sentimentScore(kGloomy), 1);
    reflected->setInsightStatus(InsightStatus::Ready);
    reflected->setInsightOverallScore(1.0);
    JournalEntry *broken = h.seed(kHappy, std::numeric_limits<double>::quiet_NaN(), 2);
    JournalEntry *draft = h.seed(kHappy, -1.0, 3, true);
    ASSERT_FALSE(h.context->save().has_value());
    h.appear();

    const double expected = reconcileScores(kGloomy, sentimentScore(kGloomy), 1.0);
    ASSERT_GT(std::abs(expected - sentimentScore(kGloomy)), 0.08); // the reflection pulls it up
    EXPECT_DOUBLE_EQ(h.stored(reflected->id())->sentimentScore(), expected);
    EXPECT_DOUBLE_EQ(h.stored(broken->id())->sentimentScore(), sentimentScore(kHappy));
    // A draft row is never scored (and, with words, it comes back as the entry being written).
    EXPECT_EQ(h.stored(draft->id()), nullptr);
}

TEST_F(WorkspaceSetupTest, ALongJournalIsScoredOffTheUIThreadAndAUserSaveMeanwhileWins)
{
    const double fresh = sentimentScore(kHappy);
    QList<JournalEntry *> entries;
    for (int i = 0; i < 40; ++i)
        entries.append(h.seed(kHappy, fresh - 0.5, i + 1));
    WorkspaceViewModel &vm = h.make();
    vm.setBackgroundRescoreMinimum(10);
    QSignalSpy finished(&vm, &WorkspaceViewModel::rescoreFinished);
    vm.handleAppear();
    EXPECT_TRUE(vm.isRescoring());
    // The user saves two entries before the results are back.
    entries[0]->setSentimentScore(0.9);
    entries[1]->setRawText(QStringLiteral("Rewritten meanwhile."));
    ASSERT_FALSE(h.context->save().has_value());
    vm.rescoreEntries(); // one run at a time

    ASSERT_TRUE(waitUntil([&] { return finished.count() == 1; }));
    EXPECT_FALSE(vm.isRescoring());
    EXPECT_DOUBLE_EQ(h.stored(entries[0]->id())->sentimentScore(), 0.9);
    EXPECT_DOUBLE_EQ(h.stored(entries[1]->id())->sentimentScore(), fresh - 0.5);
    for (int i = 2; i < entries.size(); ++i)
        EXPECT_DOUBLE_EQ(h.stored(entries[i]->id())->sentimentScore(), fresh) << i;
}

TEST_F(WorkspaceSetupTest, AnInterruptedDraftComesBackAndEmptyOnesGo)
{
    JournalEntry *olderWords = h.seed(QStringLiteral("Older words I typed"), 0.0, 5, true);
    JournalEntry *newestWords = h.seed(QStringLiteral("The last thing I was writing"), 0.0, 2, true);
    JournalEntry *blank = h.seed(QStringLiteral("  \n"), 0.0, 1, true);
    JournalEntry *entry = h.seed(kHappy, sentimentScore(kHappy), 3);
    WorkspaceViewModel &vm = h.appear();

    EXPECT_EQ(h.editor().mode(), DetailMode::ComposingDraft);
    EXPECT_EQ(h.editor().draftText(), QStringLiteral("The last thing I was writing"));
    EXPECT_TRUE(h.editor().hasDraftText());
    EXPECT_EQ(vm.journalEntries(), QList<JournalEntry *>{entry});
    EXPECT_EQ(h.stored(blank->id()), nullptr);
    EXPECT_EQ(h.stored(newestWords->id()), nullptr); // moved into the editor's own row
    ASSERT_TRUE(h.editor().draftRowID().has_value());
    EXPECT_EQ(h.stored(*h.editor().draftRowID())->rawText(), QStringLiteral("The last thing I was writing"));
    EXPECT_NE(h.stored(olderWords->id()), nullptr); // typed text is never deleted

    // Leaving it asks first, like any composed entry.
    vm.perform(WorkspaceCommand::GoCalendar);
    EXPECT_TRUE(vm.showDiscardConfirm());

    // Shown again while writing: the editor's own row is not an orphan.
    vm.cancelPendingNavigation();
    vm.handleAppear();
    EXPECT_EQ(h.editor().draftText(), QStringLiteral("The last thing I was writing"));
    EXPECT_NE(h.stored(olderWords->id()), nullptr);
}

TEST_F(WorkspaceSetupTest, TheToolbarSaveFollowsTheEditorAndTheVoiceScreen)
{
    JournalEntry *entry = h.seed(kHappy, sentimentScore(kHappy), 1);
    WorkspaceViewModel &vm = h.appear();
    QSignalSpy toolbar(&vm, &WorkspaceViewModel::toolbarChanged);
    EXPECT_FALSE(vm.showsTypedSave());
    vm.selectEntry(entry, true);
    EXPECT_TRUE(vm.showsTypedSave());
    vm.navigate(WorkspaceDestination::Voice);
    EXPECT_FALSE(vm.showsTypedSave());
    EXPECT_FALSE(vm.showsVoiceSave());
    ASSERT_TRUE(h.startRecording());
    h.speech->lastAnalyzer()->emitResult(QStringLiteral("Spoken words"), true);
    drainEvents();
    EXPECT_TRUE(vm.showsVoiceSave());
    EXPECT_GE(toolbar.count(), 3);

    // Save on the voice screen stores the transcript and opens it.
    vm.perform(WorkspaceCommand::Save);
    ASSERT_TRUE(waitUntil([&] { return vm.destination() == WorkspaceDestination::Timeline; }));
    drainEvents();
    ASSERT_TRUE(vm.selection().has_value());
    EXPECT_NE(*vm.selection(), entry->id());
    EXPECT_EQ(h.editor().mode(), DetailMode::Reading);
    EXPECT_TRUE(h.editor().draftText().contains(QStringLiteral("Spoken words")));
}

TEST_F(WorkspaceSetupTest, WritingInsteadOfSpeakingCarriesTheTranscriptIntoANewEntry)
{
    WorkspaceViewModel &vm = h.appear();
    vm.navigate(WorkspaceDestination::Voice);
    vm.configureVoiceSession();
    ASSERT_TRUE(h.startRecording());
    h.speech->lastAnalyzer()->emitResult(QStringLiteral("Dictated start"), true);
    drainEvents();
    vm.switchVoiceToWriting();
    ASSERT_TRUE(waitUntil([&] { return vm.destination() == WorkspaceDestination::Timeline; }));
    EXPECT_EQ(h.editor().mode(), DetailMode::ComposingDraft);
    EXPECT_EQ(h.editor().draftText(), QStringLiteral("Dictated start"));
    EXPECT_EQ(vm.selection(), std::nullopt);
    EXPECT_FALSE(vm.voiceSession().isInProgress());
}

TEST_F(WorkspaceSetupTest, CommandsReachTheWorkspaceOnlyWhileItExists)
{
    JournalEntry *entry = h.seed(kHappy, sentimentScore(kHappy), 1);
    WorkspaceViewModel &vm = h.appear();
    struct Expectation
    {
        WorkspaceCommand command;
        std::function<bool()> happened;
    };
    const QList<Expectation> expectations{
        {WorkspaceCommand::GoCalendar, [&] { return vm.destination() == WorkspaceDestination::Calendar; }},
        {WorkspaceCommand::GoWeather, [&] { return vm.destination() == WorkspaceDestination::Weather; }},
        {WorkspaceCommand::GoVoice, [&] { return vm.destination() == WorkspaceDestination::Voice; }},
        {WorkspaceCommand::GoAll, [&] { return vm.destination() == WorkspaceDestination::Timeline; }},
        {WorkspaceCommand::NextEntry, [&] { return vm.selection() == entry->id(); }},
        {WorkspaceCommand::DeleteEntry, [&] { return vm.entryPendingDelete() == entry; }},
        {WorkspaceCommand::GoToday, [&] { return vm.dayFilter() == h.clock.now(); }},
        {WorkspaceCommand::PreviousEntry, [&] { return h.editor().mode() == DetailMode::Empty; }},
        {WorkspaceCommand::FocusSearch, [&] { return vm.searchFocused(); }},
        {WorkspaceCommand::ShowPrivacyPromise, [&] { return vm.showPrivacyPromise(); }},
        {WorkspaceCommand::ExportJournal, [&] { return h.panels.saveRequests().size() == 1; }},
        {WorkspaceCommand::ImportJournal, [&] { return h.panels.openRequests().size() == 1; }},
        {WorkspaceCommand::NewEntry, [&] { return h.editor().mode() == DetailMode::ComposingDraft; }},
        {WorkspaceCommand::Save, [&] { return h.editor().mode() == DetailMode::Reading; }},
    };
    h.panels.scriptAnswer(h.dir.file(QStringLiteral("journal.json")));
    h.panels.scriptCancel();
    for (const Expectation &e : expectations) {
        if (e.command == WorkspaceCommand::Save)
            h.editor().setDraftText(QStringLiteral("Typed after the menu said New Entry."));
        h.center.post(notificationName(e.command), {{QStringLiteral("sender"), 42}});
        EXPECT_TRUE(e.happened()) << notificationName(e.command).toStdString();
    }
    EXPECT_EQ(h.panels.requestCount(), 2);

    h.center.post(QStringLiteral("zep.command.unknown"));
    h.center.post(QStringLiteral("zep.command.NewEntry"));
    EXPECT_EQ(h.editor().mode(), DetailMode::Reading);

    h.vm.reset();
    for (WorkspaceCommand command : allWorkspaceCommands())
        h.center.post(notificationName(command));
    h.center.post(QString::fromLatin1(Notifications::DataDidReset));
    EXPECT_EQ(h.panels.requestCount(), 2);
}

} // namespace
} // namespace zn::test
