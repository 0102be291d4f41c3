#include "views/workspace/state/WorkspaceViewModel.h"

#include "core/CalendarProvider.h"
#include "core/DayWatch.h"
#include "core/EditorSession.h"
#include "core/JournalEntry.h"
#include "core/JournalQueries.h"
#include "platform/base/Clock.h"
#include "platform/base/NotificationCenter.h"
#include "platform/store/ModelContext.h"
#include "platform/store/StoreQuery.h"
#include "reflections/CapabilityDetector.h"
#include "views/workspace/state/TimelineFilter.h"
#include "views/workspace/state/WorkspaceCommandListeners.h"
#include "views/workspace/state/WorkspaceExchange.h"

#include <algorithm>

namespace zn {

WorkspaceViewModel::WorkspaceViewModel(WorkspaceServices services, QObject *parent)
    : QObject(parent)
    , m_center(services.notificationCenter ? services.notificationCenter : &NotificationCenter::defaultCenter())
    , m_clock(services.clock ? services.clock : &Clock::system())
    , m_calendar(services.calendar ? services.calendar : &CalendarProvider::shared())
    , m_day(services.day ? services.day : &DayWatch::forScreens(*m_clock, *m_calendar, this))
    , m_context(services.context)
    , m_capability(services.capability)
    , m_insightCoordinator(services.insightCoordinator)
    , m_exchange(services.exchange ? std::move(services.exchange)
                 : services.panels ? std::make_shared<JournalFileExchange>(*services.panels, services.capability)
                                   : nullptr)
    , m_editor(std::make_unique<EditorSession>(*m_clock))
    , m_filter(std::make_unique<TimelineFilter>())
    , m_importActivity(new ImportActivity(*m_clock, this))
{
    if (!services.voice.clock)
        services.voice.clock = m_clock;
    if (!services.voice.notificationCenter)
        services.voice.notificationCenter = m_center;
    m_voice = std::make_unique<VoiceRecordingSession>(std::move(services.voice));

    // The editor reports its new selection only once its whole operation is
    // over: mid-commit it still reads as composing and would be ignored.
    connect(m_editor.get(), &EditorSession::selectedEntryIDChanged, this,
            &WorkspaceViewModel::syncSelectionFromEditor, Qt::QueuedConnection);
    connect(m_editor.get(), &EditorSession::modeChanged, this, &WorkspaceViewModel::updateToolbar);
    connect(m_voice.get(), &VoiceRecordingSession::phaseChanged, this, &WorkspaceViewModel::updateToolbar);
    connect(m_voice.get(), &VoiceRecordingSession::transcriptChanged, this, &WorkspaceViewModel::updateToolbar);
    connect(this, &WorkspaceViewModel::destinationChanged, this, &WorkspaceViewModel::updateToolbar);
    connect(m_day, &DayWatch::timeZoneChanged, this, &WorkspaceViewModel::keepDayFilterInNewZone);

    // The newest entries first: enough for the first screenful, which then
    // shows without waiting for the rest of a large journal. The rest comes
    // in when the workspace appears (after its first frame), before the
    // set-up that reads every entry. Draft rows are never listed, so the
    // query's results are the journal and its row changes apply as they are.
    m_allEntries = new StoreQuery(m_context, JournalEntry::entityDescriptor(), finishedEntriesNewestFirstDescriptor(),
                                  kFirstScreenfulEntries, this);
    connect(m_allEntries, &StoreQuery::resultsReset, this, &WorkspaceViewModel::onEntriesReset);
    connect(m_allEntries, &StoreQuery::rowInserted, this, &WorkspaceViewModel::onEntryInserted);
    connect(m_allEntries, &StoreQuery::rowRemoved, this, &WorkspaceViewModel::onEntryRemoved);
    connect(m_allEntries, &StoreQuery::rowChanged, this, &WorkspaceViewModel::onEntryWritten);
    connect(m_allEntries, &StoreQuery::resultsChanged, this, &WorkspaceViewModel::settleEntries);
    const auto idleTimer = [this](void (WorkspaceViewModel::*slot)()) {
        auto *timer = new QTimer(this);
        timer->setSingleShot(true);
        timer->setInterval(0);
        connect(timer, &QTimer::timeout, this, slot);
        return timer;
    };
    m_foldTimer = idleTimer(&WorkspaceViewModel::foldSome);
    m_announceTimer = idleTimer(&WorkspaceViewModel::announceSome);
    onEntriesReset();
    m_listWasReset = false; // nobody listens yet
    settleEntries();

    WorkspaceCommandListeners::Actions actions;
    for (WorkspaceCommand command : allWorkspaceCommands())
        actions[command] = [this, command] { perform(command); };
    m_listeners = new WorkspaceCommandListeners(*m_center, std::move(actions), this);
    m_center->addObserver(QString::fromLatin1(Notifications::DataDidReset), this,
                          [this](const QVariantMap &) { handleDataReset(); });
}

WorkspaceViewModel::~WorkspaceViewModel()
{
    // No command or reset may reach a half-destroyed workspace.
    delete m_listeners;
    m_listeners = nullptr;
    disconnect(m_center, nullptr, this, nullptr);
}

ModelContext *WorkspaceViewModel::modelContext() const
{
    return m_context;
}

CapabilityDetector *WorkspaceViewModel::capability() const
{
    return m_capability;
}

// --- entries -----------------------------------------------------------------

void WorkspaceViewModel::watch(JournalEntry *entry)
{
    // The context keeps its objects to the end: one connection each. A
    // change is reported with the next refresh, once it is saved.
    if (m_watched.contains(entry))
        return;
    m_watched.insert(entry);
    // Not through sender(): its cost grows with the connections to us.
    connect(entry, &PersistentModel::changed, this, [this, entry] { m_changedSinceFetch.insert(entry); });
}

void WorkspaceViewModel::onEntriesReset()
{
    const QList<PersistentModel *> &results = m_allEntries->results();
    QList<JournalEntry *> journal;
    journal.reserve(results.size());
    for (PersistentModel *model : results) {
        auto *entry = static_cast<JournalEntry *>(model);
        journal.append(entry);
        watch(entry);
    }
    // Ids repeat only by accident; keep the first, as a list search would.
    QHash<UuidKey, JournalEntry *> byId;
    byId.reserve(journal.size());
    for (auto it = journal.crbegin(); it != journal.crend(); ++it)
        byId.insert({(*it)->id()}, *it);
    m_idsRepeat = byId.size() != journal.size();
    m_byId = std::move(byId);
    m_journalEntries = std::move(journal);
    m_filter->setEntries(m_journalEntries);
    m_refilterAll = true;
    m_listWasReset = true;
}

void WorkspaceViewModel::indexInserted(JournalEntry *entry, qsizetype index)
{
    const UuidKey id{entry->id()};
    const auto found = m_byId.constFind(id);
    if (found == m_byId.cend()) {
        m_byId.insert(id, entry);
        return;
    }
    m_idsRepeat = true;
    if (m_journalEntries.indexOf(*found) > index)
        m_byId.insert(id, entry);
}

void WorkspaceViewModel::indexRemoved(JournalEntry *entry)
{
    const UuidKey id{entry->id()};
    if (m_byId.value(id) != entry)
        return;
    m_byId.remove(id);
    if (!m_idsRepeat)
        return;
    for (JournalEntry *other : std::as_const(m_journalEntries)) {
        if (other->id() == id.id) {
            m_byId.insert(id, other);
            return;
        }
    }
}

void WorkspaceViewModel::onEntryInserted(int index)
{
    auto *entry = static_cast<JournalEntry *>(m_allEntries->results().at(index));
    m_journalEntries.insert(index, entry);
    m_filter->insertEntry(index, entry);
    indexInserted(entry, index);
    watch(entry);
}

void WorkspaceViewModel::onEntryRemoved(int index)
{
    JournalEntry *entry = m_journalEntries.takeAt(index);
    m_filter->removeEntry(index);
    indexRemoved(entry);
}

void WorkspaceViewModel::onEntryWritten(int index)
{
    m_filter->refreshEntry(index);
}

void WorkspaceViewModel::settleEntries()
{
    // Shared with the journal until its next change: comparing costs
    // nothing while nothing changed.
    if (m_journalSettled != m_journalEntries) {
        m_journalSettled = m_journalEntries;
        m_journalChangePending = true;
    }

    // A dialog about an entry deleted meanwhile has nothing left to ask.
    if (m_entryPendingDelete && m_entryPendingDelete->isDeleted())
        setEntryPendingDelete(nullptr);
    takeFiltered(std::exchange(m_refilterAll, false) ? m_filter->apply(criteria()) : m_filter->reapply());
    scheduleFolding();
    // After a whole new list of a long journal (a large save, the rest of
    // the journal read at start) the lists here are current at once and the
    // views catch up a moment later: reading a journal and drawing it never
    // hold the window up in one go.
    if (std::exchange(m_listWasReset, false) && m_journalEntries.size() > kAnnounceLaterAbove)
        m_announceTimer->start();
    else
        announceEntries();
}

void WorkspaceViewModel::scheduleFolding()
{
    if (m_filter->unfoldedRows() > 0 && !m_foldTimer->isActive())
        m_foldTimer->start();
}

void WorkspaceViewModel::foldSome()
{
    // A few milliseconds a turn, so a keystroke never waits behind it.
    constexpr qsizetype kRowsPerTurn = 256;
    if (m_filter->foldSome(kRowsPerTurn) > 0)
        m_foldTimer->start();
}

bool WorkspaceViewModel::isSettingUp() const
{
    return m_rescoreRunning || m_filter->unfoldedRows() > 0;
}

QDateTime WorkspaceViewModel::dayAfter(const QDateTime &dayStart) const
{
    return m_calendar->startOfDay(m_calendar->addingDays(dayStart, 1));
}

TimelineCriteria WorkspaceViewModel::criteria() const
{
    TimelineCriteria criteria;
    if (m_dayFilter) {
        criteria.dayStart = *m_dayFilter;
        criteria.dayEnd = dayAfter(*m_dayFilter);
    }
    criteria.mood = m_moodFilter;
    criteria.searchText = m_searchText;
    return criteria;
}

void WorkspaceViewModel::refilter()
{
    takeFiltered(m_filter->apply(criteria()));
    announceEntries();
}

void WorkspaceViewModel::takeFiltered(QList<JournalEntry *> next)
{
    if (next == m_filteredEntries)
        return;
    m_filteredEntries = std::move(next);
    m_filteredChangePending = true;
}

void WorkspaceViewModel::announceSome()
{
    // The journal's views first, the timeline a turn later: each redraws
    // the whole list.
    if (m_journalChangePending && m_filteredChangePending) {
        m_journalChangePending = false;
        Q_EMIT journalEntriesChanged();
        m_announceTimer->start();
        return;
    }
    announceEntries();
}

void WorkspaceViewModel::announceEntries()
{
    m_announceTimer->stop();
    if (std::exchange(m_journalChangePending, false))
        Q_EMIT journalEntriesChanged();
    const QSet<JournalEntry *> changed = std::exchange(m_changedSinceFetch, {});
    if (std::exchange(m_filteredChangePending, false)) {
        Q_EMIT filteredEntriesChanged();
        return;
    }
    if (changed.isEmpty())
        return;
    // In list order. A few changed entries are looked up one by one; many
    // are picked out in one pass over the list.
    QList<JournalEntry *> updated;
    if (changed.size() <= 32) {
        QList<std::pair<qsizetype, JournalEntry *>> found;
        for (JournalEntry *entry : changed) {
            const qsizetype at = m_filteredEntries.indexOf(entry);
            if (at >= 0)
                found.append({at, entry});
        }
        std::sort(found.begin(), found.end());
        for (const auto &[at, entry] : std::as_const(found))
            updated.append(entry);
    } else {
        for (JournalEntry *entry : std::as_const(m_filteredEntries))
            if (changed.contains(entry))
                updated.append(entry);
    }
    if (!updated.isEmpty())
        Q_EMIT filteredEntriesUpdated(updated);
}

JournalEntry *WorkspaceViewModel::journalEntry(const QUuid &id) const
{
    return m_byId.value({id}, nullptr);
}

JournalEntry *WorkspaceViewModel::detailEntry() const
{
    const auto id = m_editor->selectedEntryID();
    return id ? journalEntry(*id) : nullptr;
}

// --- properties ------------------------------------------------------------------

void WorkspaceViewModel::setDestination(WorkspaceDestination destination)
{
    if (m_destination == destination)
        return;
    m_destination = destination;
    Q_EMIT destinationChanged(destination);
}

void WorkspaceViewModel::setSelection(const std::optional<QUuid> &id)
{
    if (m_selection == id)
        return;
    m_selection = id;
    Q_EMIT selectionChanged();
}

void WorkspaceViewModel::setLastJournalSelection(const std::optional<QUuid> &id)
{
    m_lastJournalSelection = id;
}

void WorkspaceViewModel::setSearchText(const QString &text)
{
    if (m_searchText == text)
        return;
    m_searchText = text;
    Q_EMIT searchTextChanged(text);
    refilter();
}

void WorkspaceViewModel::setMoodFilter(MoodFilter filter)
{
    if (m_moodFilter == filter)
        return;
    m_moodFilter = filter;
    Q_EMIT moodFilterChanged(filter);
    refilter();
}

void WorkspaceViewModel::setDayFilter(const std::optional<QDateTime> &day)
{
    if (m_dayFilter == day)
        return;
    m_dayFilter = day;
    Q_EMIT dayFilterChanged();
    refilter();
}

void WorkspaceViewModel::keepDayFilterInNewZone()
{
    // The day picked is a date (its start keeps the old zone): the same
    // date, from its start in the new zone.
    if (m_dayFilter)
        setDayFilter(m_calendar->startOfDate(m_dayFilter->date()));
}

void WorkspaceViewModel::clearDayFilter()
{
    setDayFilter(std::nullopt);
}

void WorkspaceViewModel::setSearchFocused(bool focused)
{
    if (m_searchFocused == focused)
        return;
    m_searchFocused = focused;
    Q_EMIT searchFocusedChanged(focused);
}

void WorkspaceViewModel::setSidebarDestination(std::optional<WorkspaceDestination> destination)
{
    if (!destination || *destination == m_destination)
        return;
    requestNavigate(*destination);
}

bool WorkspaceViewModel::showsTypedSave() const
{
    const DetailMode mode = m_editor->mode();
    return m_destination != WorkspaceDestination::Voice
        && (mode == DetailMode::Editing || mode == DetailMode::ComposingDraft);
}

bool WorkspaceViewModel::showsVoiceSave() const
{
    return m_destination == WorkspaceDestination::Voice && m_voice->canSave();
}

void WorkspaceViewModel::updateToolbar()
{
    const bool typed = showsTypedSave();
    const bool voice = showsVoiceSave();
    if (typed == m_lastShowsTypedSave && voice == m_lastShowsVoiceSave)
        return;
    m_lastShowsTypedSave = typed;
    m_lastShowsVoiceSave = voice;
    Q_EMIT toolbarChanged();
}

// --- dialogs ------------------------------------------------------------------------

void WorkspaceViewModel::setShowDiscardConfirm(bool shown)
{
    if (m_showDiscardConfirm == shown)
        return;
    m_showDiscardConfirm = shown;
    Q_EMIT showDiscardConfirmChanged(shown);
}

void WorkspaceViewModel::setShowStopRecordingConfirm(bool shown)
{
    if (m_showStopRecordingConfirm == shown)
        return;
    m_showStopRecordingConfirm = shown;
    Q_EMIT showStopRecordingConfirmChanged(shown);
}

void WorkspaceViewModel::setEntryPendingDelete(JournalEntry *entry)
{
    if (m_entryPendingDelete == entry)
        return;
    m_entryPendingDelete = entry;
    Q_EMIT entryPendingDeleteChanged();
}

void WorkspaceViewModel::setShowPrivacyPromise(bool shown)
{
    if (m_showPrivacyPromise == shown)
        return;
    m_showPrivacyPromise = shown;
    Q_EMIT showPrivacyPromiseChanged(shown);
}

void WorkspaceViewModel::setExportStatusMessage(const std::optional<QString> &message)
{
    if (m_exportStatusMessage == message)
        return;
    m_exportStatusMessage = message;
    Q_EMIT exportStatusMessageChanged();
}

void WorkspaceViewModel::setPendingNavigation(Action action)
{
    const bool had = static_cast<bool>(m_pendingNavigation);
    m_pendingNavigation = std::move(action);
    // A replaced action is a change too: the dialog now leads elsewhere.
    if (had || m_pendingNavigation)
        Q_EMIT pendingNavigationChanged();
}

void WorkspaceViewModel::dismissDiscardConfirm()
{
    if (m_showDiscardConfirm)
        cancelPendingNavigation();
}

void WorkspaceViewModel::dismissStopRecordingConfirm()
{
    if (m_showStopRecordingConfirm)
        cancelPendingNavigation();
}

void WorkspaceViewModel::cancelDelete()
{
    setEntryPendingDelete(nullptr);
}

void WorkspaceViewModel::dismissPrivacyPromise()
{
    setShowPrivacyPromise(false);
}

void WorkspaceViewModel::dismissExportStatus()
{
    setExportStatusMessage(std::nullopt);
}

void WorkspaceViewModel::requestDelete(JournalEntry *entry)
{
    // One question at a time: a second request while one waits is dropped.
    if (!entry || entry->isDeleted() || m_entryPendingDelete)
        return;
    setEntryPendingDelete(entry);
}

void WorkspaceViewModel::presentPrivacyPromise()
{
    setShowPrivacyPromise(true);
}

// --- the guard ------------------------------------------------------------------------

void WorkspaceViewModel::runGuarded(Action action)
{
    // The microphone comes first: with a recording and a composed text
    // only "Stop recording?" is asked. Only one dialog is up at a time.
    if (m_voice->isInProgress()) {
        setPendingNavigation(std::move(action));
        setShowDiscardConfirm(false);
        setShowStopRecordingConfirm(true);
        return;
    }
    if (m_editor->hasDraftText()) {
        setPendingNavigation(std::move(action));
        setShowStopRecordingConfirm(false);
        setShowDiscardConfirm(true);
        return;
    }
    if (m_editor->mode() == DetailMode::Editing)
        m_editor->flushPendingEdits();
    if (action)
        action();
}

void WorkspaceViewModel::runPendingNavigation()
{
    Action action = std::move(m_pendingNavigation);
    m_pendingNavigation = nullptr;
    if (action)
        Q_EMIT pendingNavigationChanged();
    if (action)
        action();
}

void WorkspaceViewModel::confirmDiscard()
{
    setShowDiscardConfirm(false);
    m_editor->cancelTasks();
    m_editor->clearSelection();
    setSelection(std::nullopt);
    runPendingNavigation();
}

void WorkspaceViewModel::cancelPendingNavigation()
{
    setShowDiscardConfirm(false);
    setShowStopRecordingConfirm(false);
    setPendingNavigation(nullptr);
}

void WorkspaceViewModel::stopRecordingAndContinue()
{
    setShowStopRecordingConfirm(false);
    QPointer<WorkspaceViewModel> self(this);
    m_voice->stopIfRecording([self] {
        if (!self)
            return;
        // Still waiting for permission: a grant arriving after the screen
        // is gone would start a microphone nobody sees.
        if (self->m_voice->phase() == VoicePhase::requestingPermissions)
            self->m_voice->cancel();
        self->runPendingNavigation();
    });
}

void WorkspaceViewModel::confirmDelete()
{
    JournalEntry *entry = m_entryPendingDelete;
    if (entry && !entry->isDeleted())
        deleteEntry(entry);
    setEntryPendingDelete(nullptr);
}

} // namespace zn
