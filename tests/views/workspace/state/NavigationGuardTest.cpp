#include "WorkspaceTestHarness.h"

#include <QSignalSpy>

namespace zn::test {
namespace {

class NavigationGuardTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_entry = h.seed(kHappy, sentimentScore(kHappy), 1);
        h.appear();
    }

    WorkspaceViewModel &vm() { return *h.vm; }

    WorkspaceHarness h;
    JournalEntry *m_entry = nullptr;
};

TEST_F(NavigationGuardTest, WithNothingAtStakeAnActionRunsAtOnce)
{
    int runs = 0;
    vm().runGuarded([&] { ++runs; });
    EXPECT_EQ(runs, 1);
    EXPECT_FALSE(vm().showDiscardConfirm());
    EXPECT_FALSE(vm().showStopRecordingConfirm());
    EXPECT_FALSE(vm().hasPendingNavigation());

    // A new entry with nothing typed is left without a question.
    h.compose(QStringLiteral("  \n "));
    vm().requestNavigate(WorkspaceDestination::Calendar);
    EXPECT_EQ(vm().destination(), WorkspaceDestination::Calendar);
    EXPECT_FALSE(vm().showDiscardConfirm());
}

TEST_F(NavigationGuardTest, AComposedEntryWaitsBehindDiscardAndOnlyTheLatestRequestWaits)
{
    h.compose(QStringLiteral("Half a thought"));
    vm().requestNavigate(WorkspaceDestination::Calendar);
    EXPECT_TRUE(vm().showDiscardConfirm());
    EXPECT_EQ(vm().destination(), WorkspaceDestination::Timeline);
    vm().requestNavigate(WorkspaceDestination::Weather); // replaces the first

    const auto draftRow = h.editor().draftRowID();
    ASSERT_TRUE(draftRow.has_value());
    vm().confirmDiscard();
    EXPECT_FALSE(vm().showDiscardConfirm());
    EXPECT_FALSE(vm().hasPendingNavigation());
    EXPECT_EQ(vm().destination(), WorkspaceDestination::Weather);
    EXPECT_EQ(h.editor().mode(), DetailMode::Empty);
    EXPECT_EQ(h.stored(*draftRow), nullptr);
}

TEST_F(NavigationGuardTest, KeepWritingDropsTheActionAndLeavesTheTextAlone)
{
    h.compose(QStringLiteral("Half a thought"));
    vm().perform(WorkspaceCommand::GoWeather);
    ASSERT_TRUE(vm().showDiscardConfirm());
    vm().cancelPendingNavigation();
    EXPECT_FALSE(vm().showDiscardConfirm());
    EXPECT_FALSE(vm().hasPendingNavigation());
    EXPECT_EQ(vm().destination(), WorkspaceDestination::Timeline);
    EXPECT_EQ(h.editor().draftText(), QStringLiteral("Half a thought"));

    // A later "Discard" with nothing waiting runs nothing twice.
    vm().confirmDiscard();
    EXPECT_EQ(vm().destination(), WorkspaceDestination::Timeline);
    EXPECT_EQ(h.editor().mode(), DetailMode::Empty);
}

TEST_F(NavigationGuardTest, ARecordingIsAskedAboutBeforeAComposedText)
{
    h.compose(QStringLiteral("Half a thought"));
    ASSERT_TRUE(h.startRecording());
    vm().perform(WorkspaceCommand::GoCalendar);
    EXPECT_TRUE(vm().showStopRecordingConfirm());
    EXPECT_FALSE(vm().showDiscardConfirm());

    // "Stay": nothing changes and the command is forgotten.
    vm().cancelPendingNavigation();
    EXPECT_FALSE(vm().showStopRecordingConfirm());
    EXPECT_EQ(vm().voiceSession().phase(), VoicePhase::recording);
    EXPECT_EQ(vm().destination(), WorkspaceDestination::Timeline);
    vm().voiceSession().cancel();
}

TEST_F(NavigationGuardTest, StopAndKeepTranscriptStopsThenRunsTheLatestAction)
{
    vm().navigate(WorkspaceDestination::Voice);
    ASSERT_TRUE(h.startRecording());
    h.speech->lastAnalyzer()->emitResult(QStringLiteral("spoken words"), true);
    drainEvents();
    vm().perform(WorkspaceCommand::GoCalendar);
    vm().perform(WorkspaceCommand::GoWeather);
    ASSERT_TRUE(vm().showStopRecordingConfirm());

    vm().stopRecordingAndContinue();
    EXPECT_FALSE(vm().showStopRecordingConfirm());
    ASSERT_TRUE(waitUntil([&] { return vm().destination() == WorkspaceDestination::Weather; }));
    EXPECT_FALSE(vm().voiceSession().isInProgress());
    EXPECT_TRUE(vm().voiceSession().transcript().contains(QStringLiteral("spoken words")));
    EXPECT_FALSE(vm().hasPendingNavigation());
}

TEST_F(NavigationGuardTest, AnEditedEntryIsSavedFirstAndNeedsNoQuestion)
{
    vm().selectEntry(m_entry, true);
    h.editor().setDraftText(kHappy + QStringLiteral(" And a nap."));
    vm().perform(WorkspaceCommand::GoCalendar);
    EXPECT_FALSE(vm().showDiscardConfirm());
    EXPECT_EQ(vm().destination(), WorkspaceDestination::Calendar);
    EXPECT_EQ(h.stored(m_entry->id())->rawText(), kHappy + QStringLiteral(" And a nap."));
}

TEST_F(NavigationGuardTest, OnlyOneDialogIsUpAtATime)
{
    h.compose(QStringLiteral("Half a thought"));
    vm().perform(WorkspaceCommand::NextEntry);
    ASSERT_TRUE(vm().showDiscardConfirm());
    ASSERT_TRUE(h.startRecording());
    vm().perform(WorkspaceCommand::GoAll);
    EXPECT_TRUE(vm().showStopRecordingConfirm());
    EXPECT_FALSE(vm().showDiscardConfirm());
    vm().dismissStopRecordingConfirm();
    EXPECT_FALSE(vm().hasPendingNavigation());
    vm().voiceSession().cancel();
}

TEST_F(NavigationGuardTest, EveryLeavingCommandIsGuardedAndTheOthersAreNot)
{
    const QList<WorkspaceCommand> guarded{
        WorkspaceCommand::NewEntry,      WorkspaceCommand::FocusSearch, WorkspaceCommand::GoToday,
        WorkspaceCommand::GoAll,         WorkspaceCommand::GoCalendar,  WorkspaceCommand::GoWeather,
        WorkspaceCommand::GoVoice,       WorkspaceCommand::PreviousEntry, WorkspaceCommand::NextEntry,
        WorkspaceCommand::ImportJournal};
    h.compose(QStringLiteral("Half a thought"));
    for (WorkspaceCommand command : allWorkspaceCommands()) {
        if (command == WorkspaceCommand::Save)
            continue; // it would store the text; covered with the handlers
        vm().cancelPendingNavigation();
        vm().dismissPrivacyPromise();
        vm().dismissExportStatus();
        vm().perform(command);
        EXPECT_EQ(vm().showDiscardConfirm(), guarded.contains(command)) << notificationName(command).toStdString();
    }
    // The unguarded ones did their work without touching the text.
    EXPECT_TRUE(h.panels.openRequests().isEmpty());
    EXPECT_EQ(h.panels.saveRequests().size(), 1);
    EXPECT_EQ(h.editor().draftText(), QStringLiteral("Half a thought"));
}

TEST_F(NavigationGuardTest, SidebarAndListSelectionsGoThroughTheGuardOnlyForAChange)
{
    vm().setSidebarDestination(WorkspaceDestination::Timeline);
    vm().setSidebarDestination(std::nullopt);
    EXPECT_EQ(vm().destination(), WorkspaceDestination::Timeline);

    vm().selectEntry(m_entry, false);
    h.compose(QStringLiteral("Half a thought"));
    vm().setSidebarDestination(WorkspaceDestination::Timeline);
    EXPECT_FALSE(vm().showDiscardConfirm());
    vm().selectFromList(QUuid::createUuid()); // unknown: nothing
    EXPECT_FALSE(vm().showDiscardConfirm());
    vm().selectFromList(m_entry->id());
    EXPECT_TRUE(vm().showDiscardConfirm());
    vm().confirmDiscard();
    EXPECT_EQ(h.editor().selectedEntryID(), m_entry->id());
    EXPECT_EQ(vm().selection(), m_entry->id());
}

} // namespace
} // namespace zn::test
