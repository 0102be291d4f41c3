#include "WorkspaceTestHarness.h"

#include "exchange/JournalImport.h"

#include <QFile>
#include <QSignalSpy>

namespace zn::test {
namespace {

class WorkspaceHandlersTest : public ::testing::Test
{
protected:
    // Three entries of yesterday (the clock stands at midnight UTC), newest
    // first, with the analysis's own scores.
    void SetUp() override
    {
        m_newest = h.seedScored(QStringLiteral("Newest: a calm evening walk by the river."), 1);
        m_middle = h.seedScored(kHappy, 2);
        m_oldest = h.seedScored(kGloomy, 3);
        h.appear();
    }

    WorkspaceViewModel &vm() { return *h.vm; }

    WorkspaceHarness h;
    JournalEntry *m_newest = nullptr;
    JournalEntry *m_middle = nullptr;
    JournalEntry *m_oldest = nullptr;
};

TEST_F(WorkspaceHandlersTest, LeavingTheTimelineRemembersItsEntryAndComingBackReopensIt)
{
    vm().selectEntry(m_middle, true);
    vm().navigate(WorkspaceDestination::Calendar);
    EXPECT_EQ(vm().lastJournalSelection(), m_middle->id());
    EXPECT_EQ(vm().windowTitle(), QStringLiteral("Calendar"));
    vm().navigate(WorkspaceDestination::Timeline);
    EXPECT_EQ(vm().selection(), m_middle->id());
    EXPECT_EQ(h.editor().mode(), DetailMode::Reading); // back for reading, not editing

    // The remembered entry was deleted meanwhile: the editor empties.
    vm().navigate(WorkspaceDestination::Weather);
    h.context->remove(m_middle);
    ASSERT_FALSE(h.context->save().has_value());
    vm().navigate(WorkspaceDestination::Timeline);
    EXPECT_EQ(vm().selection(), std::nullopt);
    EXPECT_EQ(h.editor().mode(), DetailMode::Empty);
}

TEST_F(WorkspaceHandlersTest, ShowDayFiltersAndOpensTheDaysNewestEntry)
{
    vm().navigate(WorkspaceDestination::Calendar);
    vm().showDay(h.clock.now().addSecs(-5 * 3600));
    EXPECT_EQ(vm().destination(), WorkspaceDestination::Timeline);
    EXPECT_EQ(vm().dayFilter(), h.clock.now().addDays(-1));
    EXPECT_EQ(vm().selection(), m_newest->id());
    EXPECT_EQ(vm().filteredEntries().size(), 3);

    // Today has nothing: the filter stays on today and the editor empties.
    vm().perform(WorkspaceCommand::GoToday);
    EXPECT_EQ(vm().dayFilter(), h.clock.now());
    EXPECT_TRUE(vm().filteredEntries().isEmpty());
    EXPECT_EQ(vm().selection(), std::nullopt);
    EXPECT_EQ(h.editor().mode(), DetailMode::Empty);

    vm().setSearchText(QStringLiteral("calm"));
    vm().perform(WorkspaceCommand::GoAll);
    EXPECT_EQ(vm().dayFilter(), std::nullopt);
    EXPECT_EQ(vm().searchText(), QStringLiteral("calm")); // search and mood stay
    EXPECT_EQ(vm().filteredEntries().size(), 1);
}

TEST_F(WorkspaceHandlersTest, StepsThroughTheFilteredListWithoutWrapping)
{
    vm().perform(WorkspaceCommand::NextEntry); // nothing selected: the newest
    EXPECT_EQ(vm().selection(), m_newest->id());
    vm().perform(WorkspaceCommand::PreviousEntry); // already the newest
    EXPECT_EQ(vm().selection(), m_newest->id());
    vm().perform(WorkspaceCommand::NextEntry);
    vm().perform(WorkspaceCommand::NextEntry);
    vm().perform(WorkspaceCommand::NextEntry); // already the oldest
    EXPECT_EQ(vm().selection(), m_oldest->id());

    vm().setSearchText(QStringLiteral("no such words"));
    vm().perform(WorkspaceCommand::PreviousEntry);
    EXPECT_EQ(vm().selection(), std::nullopt);
    EXPECT_EQ(h.editor().mode(), DetailMode::Empty);
}

TEST_F(WorkspaceHandlersTest, SaveWhileReadingOrWithNothingTypedStoresNothing)
{
    // A finished reflection that no local model could write again.
    m_middle->setInsightStatus(InsightStatus::Ready);
    m_middle->setInsightText(QStringLiteral("A bright day."));
    m_middle->setInsightSchemaVersion(6);
    ASSERT_FALSE(h.context->save().has_value());
    vm().selectEntry(m_middle, false);

    vm().perform(WorkspaceCommand::Save);
    vm().selectEntry(m_middle, true);
    vm().perform(WorkspaceCommand::Save); // editing, but the text is unchanged
    EXPECT_EQ(h.editor().mode(), DetailMode::Reading);
    JournalEntry *stored = h.stored(m_middle->id());
    EXPECT_EQ(stored->insightStatus(), InsightStatus::Ready);
    EXPECT_EQ(stored->insightText(), QStringLiteral("A bright day."));
    EXPECT_TRUE(h.queue.ids.isEmpty());

    vm().startNewEntry();
    vm().perform(WorkspaceCommand::Save); // an empty new entry
    EXPECT_EQ(h.editor().mode(), DetailMode::ComposingDraft);
    EXPECT_EQ(vm().journalEntries().size(), 3);
}

TEST_F(WorkspaceHandlersTest, SaveStoresANewEntryAndTheListSelectsItOnceTheEditorIsDone)
{
    vm().navigate(WorkspaceDestination::Calendar);
    vm().perform(WorkspaceCommand::NewEntry);
    EXPECT_EQ(vm().destination(), WorkspaceDestination::Timeline);
    EXPECT_TRUE(vm().showsTypedSave());
    h.editor().setDraftText(QStringLiteral("  A brand new page.  "));
    vm().perform(WorkspaceCommand::Save);
    EXPECT_EQ(h.editor().mode(), DetailMode::Reading);
    EXPECT_FALSE(vm().showsTypedSave());
    drainEvents();
    ASSERT_TRUE(vm().selection().has_value());
    EXPECT_EQ(vm().selection(), h.editor().selectedEntryID());
    EXPECT_EQ(vm().lastJournalSelection(), vm().selection());
    EXPECT_EQ(vm().journalEntries().first()->rawText(), QStringLiteral("A brand new page."));
    EXPECT_EQ(vm().detailEntry(), vm().journalEntries().first());
    EXPECT_EQ(h.queue.ids, QList<QUuid>{*vm().selection()});
}

TEST_F(WorkspaceHandlersTest, DeletingAsksOnceAndEmptiesTheEditorFirst)
{
    vm().perform(WorkspaceCommand::DeleteEntry); // nothing selected
    EXPECT_EQ(vm().entryPendingDelete(), nullptr);

    vm().selectEntry(m_middle, false);
    QSignalSpy asked(&vm(), &WorkspaceViewModel::entryPendingDeleteChanged);
    vm().perform(WorkspaceCommand::DeleteEntry);
    vm().perform(WorkspaceCommand::DeleteEntry);
    vm().requestDelete(m_oldest); // the list's menu while the dialog is up
    EXPECT_EQ(asked.count(), 1);
    EXPECT_EQ(vm().entryPendingDelete(), m_middle);

    vm().confirmDelete();
    EXPECT_EQ(vm().entryPendingDelete(), nullptr);
    EXPECT_EQ(h.editor().mode(), DetailMode::Empty);
    EXPECT_EQ(vm().selection(), std::nullopt);
    EXPECT_EQ(h.stored(m_middle->id()), nullptr);
    EXPECT_EQ(vm().journalEntries().size(), 2);

    // Cancelling deletes nothing; a later "Delete" finds nothing to do.
    vm().requestDelete(m_oldest);
    vm().cancelDelete();
    vm().confirmDelete();
    EXPECT_NE(h.stored(m_oldest->id()), nullptr);
}

TEST_F(WorkspaceHandlersTest, ExportWritesTheJournalAndACancelStaysSilent)
{
    h.compose(QStringLiteral("A draft is never exported"));
    const QString path = h.dir.file(QStringLiteral("journal.json"));
    h.panels.scriptAnswer(path);
    vm().perform(WorkspaceCommand::ExportJournal);
    EXPECT_EQ(vm().exportStatusMessage(), QStringLiteral("Journal exported successfully."));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    EXPECT_TRUE(written.contains("\"entryCount\" : 3") || written.contains("\"entryCount\": 3")) << written.left(300).toStdString();
    EXPECT_FALSE(written.contains("A draft is never exported"));
    vm().dismissExportStatus();

    h.panels.scriptCancel();
    vm().exportJournal();
    EXPECT_EQ(vm().exportStatusMessage(), std::nullopt);
    EXPECT_FALSE(vm().isExchanging());

    // A panel still up: a second request opens no second panel.
    vm().exportJournal();
    vm().exportJournal();
    EXPECT_EQ(h.panels.waitingCount(), 1);
    h.panels.answerNext(std::nullopt);
    EXPECT_FALSE(vm().isExchanging());
}

TEST(WorkspaceExportTest, AnEmptyJournalSaysSoWithoutAPanel)
{
    WorkspaceHarness h;
    h.seed(QStringLiteral("Only a draft"), 0.0, 1, true);
    WorkspaceViewModel &vm = h.make();
    vm.exportJournal();
    EXPECT_EQ(vm.exportStatusMessage(), QStringLiteral("There are no journal entries to export."));
    EXPECT_EQ(h.panels.requestCount(), 0);
}

TEST_F(WorkspaceHandlersTest, ImportQueuesReflectionsAndReturnsToAnUnfilteredTimeline)
{
    const QString path = h.dir.file(QStringLiteral("journal.json"));
    h.panels.scriptAnswer(path);
    vm().exportJournal();
    const QUuid removed = m_oldest->id();
    h.context->remove(m_oldest);
    ASSERT_FALSE(h.context->save().has_value());
    h.queue.ids.clear();

    vm().showDay(h.clock.now().addSecs(-3600));
    vm().setSearchText(QStringLiteral("calm"));
    vm().setMoodFilter(MoodFilter::Neutral);
    vm().navigate(WorkspaceDestination::Weather);
    vm().dismissExportStatus();
    h.panels.scriptAnswer(path);
    vm().perform(WorkspaceCommand::ImportJournal);

    EXPECT_EQ(h.panels.openRequests().size(), 1);
    EXPECT_TRUE(h.queue.ids.contains(removed));
    // With the harness's detector saying why reflections wait.
    EXPECT_EQ(vm().exportStatusMessage(), importSummaryMessage(1, 2, 3, h.queue.ids, &h.capability));
    EXPECT_TRUE(vm().exportStatusMessage().value_or(QString()).endsWith(h.capability.statusDetail()));
    EXPECT_EQ(vm().journalEntries().size(), 3);
    EXPECT_EQ(vm().dayFilter(), std::nullopt);
    EXPECT_EQ(vm().destination(), WorkspaceDestination::Timeline);
    EXPECT_EQ(vm().selection(), std::nullopt);
    EXPECT_EQ(h.editor().mode(), DetailMode::Empty);
    EXPECT_EQ(vm().searchText(), QStringLiteral("calm"));
    EXPECT_EQ(vm().moodFilter(), MoodFilter::Neutral);
}

TEST_F(WorkspaceHandlersTest, AFailedImportShowsItsReasonAndACancelShowsNothing)
{
    const QString path = h.dir.file(QStringLiteral("notes.json"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[1, 2, 3]");
    file.close();
    vm().navigate(WorkspaceDestination::Calendar);
    h.panels.scriptAnswer(path);
    vm().importJournal();
    ASSERT_TRUE(vm().exportStatusMessage().has_value());
    EXPECT_TRUE(vm().exportStatusMessage()->startsWith(QStringLiteral("This doesn’t look like a Zephyrnote journal export.")));
    EXPECT_EQ(vm().destination(), WorkspaceDestination::Calendar); // nothing else changes

    vm().dismissExportStatus();
    h.panels.scriptCancel();
    vm().importJournal();
    EXPECT_EQ(vm().exportStatusMessage(), std::nullopt);
    EXPECT_EQ(vm().journalEntries().size(), 3);
}

TEST_F(WorkspaceHandlersTest, ImportNeverDropsAComposedEntryOrStrandsTheMicrophone)
{
    h.compose(QStringLiteral("Words I have not saved"));
    vm().perform(WorkspaceCommand::ImportJournal);
    EXPECT_EQ(h.panels.requestCount(), 0); // asked before the file panel
    EXPECT_TRUE(vm().showDiscardConfirm());
    vm().cancelPendingNavigation();
    EXPECT_EQ(h.editor().draftText(), QStringLiteral("Words I have not saved"));

    vm().confirmDiscard();
    vm().navigate(WorkspaceDestination::Voice);
    ASSERT_TRUE(h.startRecording());
    vm().perform(WorkspaceCommand::ImportJournal);
    EXPECT_TRUE(vm().showStopRecordingConfirm());
    EXPECT_EQ(h.panels.requestCount(), 0);
    h.panels.scriptCancel();
    vm().stopRecordingAndContinue();
    ASSERT_TRUE(waitUntil([&] { return h.panels.openRequests().size() == 1; }));
    EXPECT_FALSE(vm().voiceSession().isInProgress());
}

TEST_F(WorkspaceHandlersTest, ADataResetClearsFiltersAndRecordingAndLaterAnswersActOnWhatIsLeft)
{
    vm().selectEntry(m_newest, false);
    vm().setSearchText(QStringLiteral("walk"));
    vm().setMoodFilter(MoodFilter::Neutral);
    vm().showDay(h.clock.now().addSecs(-3600));
    vm().requestDelete(m_oldest);
    vm().navigate(WorkspaceDestination::Voice);
    ASSERT_TRUE(h.startRecording());
    vm().perform(WorkspaceCommand::GoCalendar);
    ASSERT_TRUE(vm().showStopRecordingConfirm());

    // Settings deletes everything through its own context, then posts.
    ModelContext other(h.container.get());
    for (JournalEntry *entry : fetchAllEntries(other))
        other.remove(entry);
    ASSERT_FALSE(other.save().has_value());
    h.center.post(QString::fromLatin1(Notifications::DataDidReset));
    drainEvents();

    EXPECT_EQ(vm().destination(), WorkspaceDestination::Voice);
    EXPECT_FALSE(vm().voiceSession().isInProgress());
    EXPECT_EQ(vm().searchText(), QString());
    EXPECT_EQ(vm().moodFilter(), MoodFilter::All);
    EXPECT_EQ(vm().dayFilter(), std::nullopt);
    EXPECT_EQ(vm().selection(), std::nullopt);
    EXPECT_TRUE(vm().journalEntries().isEmpty());
    EXPECT_EQ(vm().entryPendingDelete(), nullptr); // its entry is gone

    vm().stopRecordingAndContinue();
    ASSERT_TRUE(waitUntil([&] { return vm().destination() == WorkspaceDestination::Calendar; }));
    vm().confirmDelete();
    vm().perform(WorkspaceCommand::GoAll);
    EXPECT_EQ(h.editor().mode(), DetailMode::Empty);
}

TEST_F(WorkspaceHandlersTest, StaleIdsEmptyTheEditorWithoutACrash)
{
    vm().selectEntry(m_newest, false);
    vm().navigate(WorkspaceDestination::Calendar);
    h.context->remove(m_newest);
    ASSERT_FALSE(h.context->save().has_value());
    vm().perform(WorkspaceCommand::DeleteEntry); // the selection is stale
    EXPECT_EQ(vm().entryPendingDelete(), nullptr);
    vm().requestSelectEntry(m_newest, false);
    EXPECT_EQ(vm().destination(), WorkspaceDestination::Calendar);
    vm().perform(WorkspaceCommand::GoAll);
    EXPECT_EQ(vm().selection(), std::nullopt);
    EXPECT_EQ(h.editor().mode(), DetailMode::Empty);
    EXPECT_EQ(vm().detailEntry(), nullptr);
}

TEST_F(WorkspaceHandlersTest, StoreRefusalsKeepTheTypedTextAndShowNoAlert)
{
    vm().selectEntry(m_middle, true);
    h.editor().setDraftText(kHappy + QStringLiteral(" Then rain."));
    h.container->setSaveFailureInjector(
        [] { return std::optional<StoreError>(StoreError(StoreError::Code::SaveFailed, QStringLiteral("disk full"))); });

    // Leaving the entry would lose the edit: the editor and the list stay.
    vm().requestSelectEntry(m_newest, false);
    EXPECT_EQ(h.editor().selectedEntryID(), m_middle->id());
    EXPECT_EQ(vm().selection(), m_middle->id());
    EXPECT_EQ(h.editor().draftText(), kHappy + QStringLiteral(" Then rain."));
    EXPECT_TRUE(h.editor().saveStatus().isError());

    // A refused delete shows nothing; the context keeps it for the next save.
    vm().requestDelete(m_oldest);
    vm().confirmDelete();
    EXPECT_EQ(vm().exportStatusMessage(), std::nullopt);
    EXPECT_TRUE(m_oldest->isDeleted());
    EXPECT_NE(h.stored(m_oldest->id()), nullptr);
    vm().rescoreEntries(); // nothing to write, nothing to fail

    h.container->setSaveFailureInjector({});
    vm().perform(WorkspaceCommand::Save);
    EXPECT_EQ(h.stored(m_oldest->id()), nullptr);
    EXPECT_EQ(h.stored(m_middle->id())->rawText(), kHappy + QStringLiteral(" Then rain."));
}

TEST_F(WorkspaceHandlersTest, FocusSearchReturnsToTheJournalAndAsksEveryTime)
{
    QSignalSpy focus(&vm(), &WorkspaceViewModel::searchFocusRequested);
    vm().navigate(WorkspaceDestination::Weather);
    vm().perform(WorkspaceCommand::FocusSearch);
    vm().perform(WorkspaceCommand::FocusSearch);
    EXPECT_EQ(vm().destination(), WorkspaceDestination::Timeline);
    EXPECT_TRUE(vm().searchFocused());
    EXPECT_EQ(focus.count(), 2);
}

TEST_F(WorkspaceHandlersTest, PrivacyAndAlertStateOpenAndClose)
{
    vm().perform(WorkspaceCommand::ShowPrivacyPromise);
    EXPECT_TRUE(vm().showPrivacyPromise());
    vm().dismissPrivacyPromise();
    EXPECT_FALSE(vm().showPrivacyPromise());
}

} // namespace
} // namespace zn::test
