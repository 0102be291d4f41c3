// The workspace's actions: screens, selection, entries, files.

#include "views/workspace/state/WorkspaceViewModel.h"

#include "core/CalendarProvider.h"
#include "core/EditorSession.h"
#include "core/InsightQueue.h"
#include "core/JournalEntry.h"
#include "core/JournalQueries.h"
#include "platform/base/Clock.h"
#include "platform/store/ModelContext.h"
#include "views/workspace/state/WorkspaceExchange.h"

namespace zn {

void WorkspaceViewModel::navigate(WorkspaceDestination target)
{
    if (m_destination == WorkspaceDestination::Timeline) {
        m_lastJournalDestination = WorkspaceDestination::Timeline;
        setLastJournalSelection(m_selection);
    }
    setDestination(target);
    if (target != WorkspaceDestination::Timeline)
        return;
    if (m_lastJournalSelection) {
        if (JournalEntry *entry = journalEntry(*m_lastJournalSelection)) {
            selectEntry(entry, false);
            return;
        }
    }
    // Nothing remembered, or the remembered entry is gone.
    setSelection(std::nullopt);
    m_editor->clearSelection();
}

void WorkspaceViewModel::selectEntry(JournalEntry *entry, bool editing)
{
    if (!entry || entry->isDeleted())
        return;
    m_editor->openEntry(entry, editing);
    // The editor stays on an entry whose edits the store refused to save;
    // the list must not claim otherwise.
    if (m_editor->selectedEntryID() != entry->id())
        return;
    setSelection(entry->id());
    setLastJournalSelection(entry->id());
}

void WorkspaceViewModel::selectFromList(const std::optional<QUuid> &id)
{
    if (!id || id == m_editor->selectedEntryID() || !journalEntry(*id))
        return;
    const QUuid wanted = *id;
    runGuarded([this, wanted] { selectEntry(journalEntry(wanted), false); });
}

void WorkspaceViewModel::showDay(const QDateTime &date)
{
    const QDateTime day = m_calendar->startOfDay(date);
    setDayFilter(day);
    setDestination(WorkspaceDestination::Timeline);
    m_lastJournalDestination = WorkspaceDestination::Timeline;

    const QDateTime end = dayAfter(day);
    for (JournalEntry *entry : std::as_const(m_journalEntries)) {
        const QDateTime when = entry->timestamp();
        if (when >= day && when < end) {
            selectEntry(entry, false); // the day's newest
            return;
        }
    }
    setSelection(std::nullopt);
    m_editor->clearSelection();
}

void WorkspaceViewModel::showAllEntries()
{
    setDayFilter(std::nullopt);
    navigate(WorkspaceDestination::Timeline);
}

void WorkspaceViewModel::startNewEntry()
{
    if (m_destination != WorkspaceDestination::Timeline)
        setDestination(m_lastJournalDestination);
    m_editor->startNewDraft(QString());
    setSelection(std::nullopt);
}

void WorkspaceViewModel::saveCurrentEntry()
{
    if (m_destination == WorkspaceDestination::Voice) {
        saveVoiceEntry();
        return;
    }
    // Only typing is saved: committing an entry that is being read would
    // store its text again and throw away its reflection.
    const DetailMode mode = m_editor->mode();
    if (mode != DetailMode::Editing && mode != DetailMode::ComposingDraft)
        return;
    m_editor->cancelAutosave();
    m_editor->commitDraft(true);
}

void WorkspaceViewModel::saveVoiceEntry()
{
    QPointer<WorkspaceViewModel> self(this);
    m_voice->save([self](std::optional<QUuid> id) {
        // Nothing saved: the voice screen shows its own message.
        if (self && id)
            self->showSavedVoiceEntry(*id);
    });
}

void WorkspaceViewModel::focusSearch()
{
    if (m_destination != WorkspaceDestination::Timeline)
        setDestination(m_lastJournalDestination);
    setSearchFocused(true);
    Q_EMIT searchFocusRequested();
}

void WorkspaceViewModel::stepEntry(int offset)
{
    m_editor->selectAdjacent(m_filteredEntries, offset);
    setSelection(m_editor->selectedEntryID());
}

void WorkspaceViewModel::requestDeleteSelected()
{
    if (m_selection)
        requestDelete(journalEntry(*m_selection));
}

void WorkspaceViewModel::deleteEntry(JournalEntry *entry)
{
    if (!entry)
        return;
    if (m_editor->selectedEntryID() == entry->id()) {
        m_editor->clearSelection();
        setSelection(std::nullopt);
    }
    if (!m_context || entry->isDeleted())
        return;
    m_context->remove(entry);
    // A refused save leaves the deletion pending in the context.
    (void)m_context->save();
}

void WorkspaceViewModel::exportJournal()
{
    if (!m_exchange || m_exchanging)
        return;
    m_exchanging = true;
    QPointer<WorkspaceViewModel> self(this);
    m_exchange->exportJournal(m_journalEntries, [self](const ExchangeOutcome &outcome) {
        if (!self)
            return;
        self->m_exchanging = false;
        switch (outcome.kind) {
        case ExchangeOutcome::Kind::Succeeded:
            self->setExportStatusMessage(QString::fromUtf8(kExportSucceededMessage));
            break;
        case ExchangeOutcome::Kind::Cancelled:
            break;
        case ExchangeOutcome::Kind::Failed:
            self->setExportStatusMessage(outcome.message);
            break;
        }
    });
}

void WorkspaceViewModel::importJournal()
{
    if (!m_exchange || !m_context || m_exchanging)
        return;
    m_exchanging = true;
    QPointer<WorkspaceViewModel> self(this);
    m_exchange->importJournal(
        *m_context,
        [self](const ExchangeOutcome &outcome) {
            if (self)
                self->finishImport(outcome);
        },
        [self] {
            if (self)
                self->m_importActivity->start();
        });
}

void WorkspaceViewModel::finishImport(const ExchangeOutcome &outcome)
{
    m_exchanging = false;
    m_importActivity->finish();
    switch (outcome.kind) {
    case ExchangeOutcome::Kind::Cancelled:
        return;
    case ExchangeOutcome::Kind::Failed:
        setExportStatusMessage(outcome.message);
        return;
    case ExchangeOutcome::Kind::Succeeded:
        break;
    }
    if (m_insightCoordinator)
        m_insightCoordinator->enqueueEntries(outcome.pendingReflections);
    setExportStatusMessage(outcome.message);
    // The file was read while the window stayed in use: someone who began
    // a new entry or a recording meanwhile keeps it and their screen.
    if (m_editor->hasDraftText() || m_voice->isInProgress())
        return;
    setDayFilter(std::nullopt);
    navigate(WorkspaceDestination::Timeline);
    setSelection(std::nullopt);
    m_editor->clearSelection();
}

void WorkspaceViewModel::requestNavigate(WorkspaceDestination target)
{
    runGuarded([this, target] { navigate(target); });
}

void WorkspaceViewModel::requestSelectEntry(JournalEntry *entry, bool editing)
{
    if (!entry)
        return;
    // By id, so an entry deleted while the question was up is skipped.
    const QUuid id = entry->id();
    runGuarded([this, id, editing] { selectEntry(journalEntry(id), editing); });
}

void WorkspaceViewModel::requestShowDay(const QDateTime &date)
{
    runGuarded([this, date] { showDay(date); });
}

void WorkspaceViewModel::requestNewEntry()
{
    runGuarded([this] { startNewEntry(); });
}

void WorkspaceViewModel::perform(WorkspaceCommand command)
{
    if (!m_setUp)
        Q_EMIT setUpWanted();
    switch (command) {
    case WorkspaceCommand::NewEntry:
        requestNewEntry();
        break;
    case WorkspaceCommand::Save:
        saveCurrentEntry();
        break;
    case WorkspaceCommand::FocusSearch:
        runGuarded([this] { focusSearch(); });
        break;
    case WorkspaceCommand::GoToday:
        // Today as of the moment the action runs, after any question.
        runGuarded([this] { showDay(m_clock->now()); });
        break;
    case WorkspaceCommand::GoAll:
        runGuarded([this] { showAllEntries(); });
        break;
    case WorkspaceCommand::GoCalendar:
        requestNavigate(WorkspaceDestination::Calendar);
        break;
    case WorkspaceCommand::GoWeather:
        requestNavigate(WorkspaceDestination::Weather);
        break;
    case WorkspaceCommand::GoVoice:
        requestNavigate(WorkspaceDestination::Voice);
        break;
    case WorkspaceCommand::PreviousEntry:
        runGuarded([this] { stepEntry(-1); });
        break;
    case WorkspaceCommand::NextEntry:
        runGuarded([this] { stepEntry(1); });
        break;
    case WorkspaceCommand::DeleteEntry:
        requestDeleteSelected();
        break;
    case WorkspaceCommand::ExportJournal:
        exportJournal();
        break;
    case WorkspaceCommand::ImportJournal:
        // An import leaves the screen like any navigation: it must neither
        // drop a composed entry nor strand a live microphone.
        runGuarded([this] { importJournal(); });
        break;
    case WorkspaceCommand::ShowPrivacyPromise:
        presentPrivacyPromise();
        break;
    }
}

// --- the voice screen -------------------------------------------------------------

void WorkspaceViewModel::switchVoiceToWriting()
{
    if (m_editor->hasDraftText()) {
        m_editor->cancelTasks();
        m_editor->clearSelection();
    } else if (m_editor->mode() == DetailMode::Editing) {
        m_editor->flushPendingEdits();
    }
    QPointer<WorkspaceViewModel> self(this);
    m_voice->finishAndTakeTranscript([self](const QString &text) {
        if (!self)
            return;
        self->navigate(self->m_lastJournalDestination);
        self->m_editor->startNewDraft(text);
        self->setSelection(std::nullopt);
    });
}

void WorkspaceViewModel::showSavedVoiceEntry(const QUuid &id)
{
    navigate(m_lastJournalDestination);
    if (!m_context)
        return;
    if (JournalEntry *entry = fetchEntry(*m_context, id))
        selectEntry(entry, false);
}

void WorkspaceViewModel::configureVoiceSession()
{
    m_voice->setModelContext(m_context);
    m_voice->setInsightCoordinator(m_insightCoordinator);
}

// --- reactions -------------------------------------------------------------------------

void WorkspaceViewModel::syncSelectionFromEditor()
{
    const auto id = m_editor->selectedEntryID();
    if (!id || m_editor->hasDraftText())
        return;
    setSelection(id);
    setLastJournalSelection(id);
}

void WorkspaceViewModel::handleDataReset()
{
    m_voice->cancel();
    m_editor->clearSelection();
    setSelection(std::nullopt);
    setDayFilter(std::nullopt);
    setSearchText(QString());
    setMoodFilter(MoodFilter::All);
}

} // namespace zn
