#pragma once

#include "core/JournalEntry.h"
#include "exchange/ImportActivity.h"
#include "platform/audio/AudioInputEngine.h"
#include "platform/store/UuidKey.h"
#include "views/workspace/state/WorkspaceTypes.h"
#include "voice/VoiceRecordingSession.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QTimer>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>

namespace zn {

class CalendarProvider;
class CapabilityDetector;
class Clock;
class DayWatch;
class EditorSession;
struct ExchangeOutcome;
class FilePanels;
class InsightQueue;
class ModelContext;
class NotificationCenter;
class StoreQuery;
class TimelineFilter;
struct TimelineCriteria;
class WorkspaceCommandListeners;
class WorkspaceExchange;

// What the workspace runs on. Nothing here is owned except the exchange;
// empty members mean the application's own (the default notification
// centre, the system clock, the shared calendar, and the watch of the day
// on those two).
struct WorkspaceServices
{
    ModelContext *context = nullptr;              // deletes, saves, fetches
    CapabilityDetector *capability = nullptr;     // refreshed on set-up
    InsightQueue *insightCoordinator = nullptr;   // receives entries to reflect on
    FilePanels *panels = nullptr;                 // where export and import ask for files
    std::shared_ptr<WorkspaceExchange> exchange;  // instead of the journal file flows on `panels`
    NotificationCenter *notificationCenter = nullptr;
    Clock *clock = nullptr;
    const CalendarProvider *calendar = nullptr;
    DayWatch *day = nullptr; // on `clock` and `calendar`
    // The parts of the owned dictation session (fakes in tests).
    VoiceSessionServices voice;
};

// The brain of the main window, without a widget: which screen is shown,
// the timeline's selection, search and filters and the entries that pass
// them, the confirmation dialogs and every action of the window and its
// menus. Views bind to its signals and call its actions; the dialogs are
// state here (flags and a pending entry) with an answer per button.
//
// Every action that leaves the entry on screen goes through runGuarded():
// while a recording runs it waits behind "Stop recording?", while a new
// entry holds text behind "Discard this entry?"; an entry being edited is
// saved first. At most one action waits and a later request replaces it.
//
// Owns one EditorSession and one VoiceRecordingSession. Main thread only;
// every property signal fires only on a real change.
class WorkspaceViewModel : public QObject
{
    Q_OBJECT
public:
    using Action = std::function<void()>;

    // The success text of the "Journal file" alert after an export.
    static constexpr auto kExportSucceededMessage = "Journal exported successfully.";
    // A stored score moves only when a fresh analysis differs by more.
    static constexpr double kRescoreThreshold = 0.08;
    // Journals with more entries are re-scored off the UI thread.
    static constexpr int kBackgroundRescoreMinimum = 300;
    // Entries read before the workspace first appears.
    static constexpr int kFirstScreenfulEntries = 200;
    // A whole new list of more entries reaches the views a moment later.
    static constexpr int kAnnounceLaterAbove = 1000;

    explicit WorkspaceViewModel(WorkspaceServices services, QObject *parent = nullptr);
    ~WorkspaceViewModel() override;

    // --- owned sessions and services -------------------------------------
    EditorSession &editor() { return *m_editor; }
    VoiceRecordingSession &voiceSession() { return *m_voice; }
    ModelContext *modelContext() const;
    CapabilityDetector *capability() const;
    InsightQueue *insightCoordinator() const { return m_insightCoordinator; }
    const CalendarProvider &calendar() const { return *m_calendar; }
    Clock &clock() const { return *m_clock; }
    // Tells every screen of the window when today moves on.
    DayWatch &dayWatch() const { return *m_day; }
    NotificationCenter &notificationCenter() const { return *m_center; }

    // --- entries -----------------------------------------------------------
    // The stored entries without draft rows, newest first.
    const QList<JournalEntry *> &journalEntries() const { return m_journalEntries; }
    // journalEntries narrowed by day, mood and search, order kept.
    const QList<JournalEntry *> &filteredEntries() const { return m_filteredEntries; }
    // The non-draft entry the editor shows, if any (none while composing).
    JournalEntry *detailEntry() const;
    JournalEntry *journalEntry(const QUuid &id) const;

    // --- screen, selection and filters ------------------------------------
    WorkspaceDestination destination() const { return m_destination; }
    QString windowTitle() const { return zn::windowTitle(m_destination); }
    // The sidebar's selection: none or the shown screen does nothing,
    // another screen is a guarded navigate().
    void setSidebarDestination(std::optional<WorkspaceDestination> destination);

    std::optional<QUuid> selection() const { return m_selection; }
    WorkspaceDestination lastJournalDestination() const { return m_lastJournalDestination; }
    std::optional<QUuid> lastJournalSelection() const { return m_lastJournalSelection; }

    QString searchText() const { return m_searchText; }
    void setSearchText(const QString &text);
    MoodFilter moodFilter() const { return m_moodFilter; }
    void setMoodFilter(MoodFilter filter);
    // Start of the day the timeline is narrowed to.
    std::optional<QDateTime> dayFilter() const { return m_dayFilter; }
    // The list's "Clear day": destination and selection stay.
    void clearDayFilter();
    bool searchFocused() const { return m_searchFocused; }
    // The search field reports its keyboard focus here.
    void setSearchFocused(bool focused);

    // --- toolbar ---------------------------------------------------------------
    // "Save" for a typed entry: off the voice screen while editing or composing.
    bool showsTypedSave() const;
    // "Save" on the voice screen, while the transcript can be saved.
    bool showsVoiceSave() const;

    // --- dialogs -----------------------------------------------------------
    bool showDiscardConfirm() const { return m_showDiscardConfirm; }
    bool showStopRecordingConfirm() const { return m_showStopRecordingConfirm; }
    bool hasPendingNavigation() const { return static_cast<bool>(m_pendingNavigation); }
    // The entry awaiting "Delete this entry?"; the dialog shows while set.
    JournalEntry *entryPendingDelete() const { return m_entryPendingDelete; }
    // The list's "Delete…": asks about this entry (ignored while another waits).
    void requestDelete(JournalEntry *entry);
    bool showPrivacyPromise() const { return m_showPrivacyPromise; }
    // The text of the "Journal file" alert; the alert shows while set.
    std::optional<QString> exportStatusMessage() const { return m_exportStatusMessage; }

    // Dismissals by any means (Escape, closing the sheet, "OK", "Cancel").
    void dismissDiscardConfirm();
    void dismissStopRecordingConfirm();
    void cancelDelete();
    void dismissPrivacyPromise();
    void dismissExportStatus();

    // --- the guard and its answers -------------------------------------------
    void runGuarded(Action action);
    // "Discard": drops the composed entry, then runs the waiting action.
    void confirmDiscard();
    // "Keep Writing" and "Stay": the waiting action is dropped.
    void cancelPendingNavigation();
    // "Stop & Keep Transcript": stops the microphone, then runs the action.
    void stopRecordingAndContinue();
    // "Delete".
    void confirmDelete();

    // --- actions (unguarded; see perform() and the request* calls) -----------
    void navigate(WorkspaceDestination target);
    void selectEntry(JournalEntry *entry, bool editing);
    // The list's selection binding: guarded, and only for another entry.
    void selectFromList(const std::optional<QUuid> &id);
    void showDay(const QDateTime &date);
    void showAllEntries();
    void startNewEntry();
    // Saves what is being typed (nothing while reading) or the voice entry.
    void saveCurrentEntry();
    void saveVoiceEntry();
    void focusSearch();
    void stepEntry(int offset);
    void requestDeleteSelected();
    void deleteEntry(JournalEntry *entry);
    // Export and import ask for a file and finish later; a second request
    // while a panel is up is ignored.
    void exportJournal();
    void importJournal();
    bool isExchanging() const { return m_exchanging; }
    // From the choice of a file to the end of its merge; the window stays
    // in use meanwhile, and says that it works once that takes a while.
    const ImportActivity &importActivity() const { return *m_importActivity; }
    bool isImporting() const { return m_importActivity->isRunning(); }
    void presentPrivacyPromise();

    // Guarded forms for the views.
    void requestNavigate(WorkspaceDestination target);
    void requestSelectEntry(JournalEntry *entry, bool editing);
    void requestShowDay(const QDateTime &date);
    void requestNewEntry();

    // A menu command, through the guard where the command leaves the screen.
    void perform(WorkspaceCommand command);

    // --- reactions of the window ---------------------------------------------
    // When the window's content is shown: sessions wired, capability
    // refreshed, timeline shown, an orphaned draft reopened, scores refreshed.
    void handleAppear();
    // Brings stored scores in line with the mood analysis; one save.
    void rescoreEntries();
    bool isRescoring() const { return m_rescoreRunning; }
    // Work left for idle moments still runs: the re-score, or texts of the
    // journal the search has not read yet.
    bool isSettingUp() const;
    // Journals above this size are scored on a worker thread.
    void setBackgroundRescoreMinimum(int entries) { m_backgroundRescoreMinimum = entries; }
    // Runs when the editor's selected entry changed (delivered after the
    // editor's operation has finished).
    void syncSelectionFromEditor();
    // After all journal data was deleted elsewhere.
    void handleDataReset();

    // --- the voice screen's callbacks --------------------------------------------
    void switchVoiceToWriting();
    void showSavedVoiceEntry(const QUuid &id);
    void configureVoiceSession();

Q_SIGNALS:
    void destinationChanged(zn::WorkspaceDestination destination);
    void selectionChanged();
    void searchTextChanged(const QString &text);
    void moodFilterChanged(zn::MoodFilter filter);
    void dayFilterChanged();
    void searchFocusedChanged(bool focused);
    // Every focusSearch(), so the field takes focus even when the flag
    // already was set.
    void searchFocusRequested();

    // The list of non-draft entries changed (membership or order).
    void journalEntriesChanged();
    // The filtered list changed membership or order: rebuild the rows.
    void filteredEntriesChanged();
    // Entries still listed in place whose stored fields changed: repaint
    // those rows only.
    void filteredEntriesUpdated(const QList<zn::JournalEntry *> &entries);

    void showDiscardConfirmChanged(bool shown);
    void showStopRecordingConfirmChanged(bool shown);
    void entryPendingDeleteChanged();
    void showPrivacyPromiseChanged(bool shown);
    void exportStatusMessageChanged();
    void pendingNavigationChanged();
    // Either toolbar Save may have appeared or gone.
    void toolbarChanged();
    void rescoreFinished();
    // A menu command came before the window's content was first shown and
    // set up (keys pressed as the window opens): the view sets it up now,
    // so the command finds the store and the sessions wired.
    void setUpWanted();

public:
    // What a re-score reads of an entry and what it makes of it.
    struct RescoreItem;
    struct RescoreResult;

private:
    void setDestination(WorkspaceDestination destination);
    void setSelection(const std::optional<QUuid> &id);
    void setLastJournalSelection(const std::optional<QUuid> &id);
    void setDayFilter(const std::optional<QDateTime> &day);
    void setShowDiscardConfirm(bool shown);
    void setShowStopRecordingConfirm(bool shown);
    void setEntryPendingDelete(JournalEntry *entry);
    void setShowPrivacyPromise(bool shown);
    void setExportStatusMessage(const std::optional<QString> &message);
    void setPendingNavigation(Action action);
    void runPendingNavigation();

    // The query's changes, applied as they come; settleEntries() announces
    // them once the query's update is over.
    void onEntriesReset();
    void onEntryInserted(int index);
    void onEntryRemoved(int index);
    void onEntryWritten(int index);
    void settleEntries();
    // Texts the search will need are read a few hundred at a time between
    // other events.
    void scheduleFolding();
    void foldSome();
    void watch(JournalEntry *entry);
    void indexInserted(JournalEntry *entry, qsizetype index);
    void indexRemoved(JournalEntry *entry);
    void refilter();
    TimelineCriteria criteria() const;
    void takeFiltered(QList<JournalEntry *> next);
    // The signals for what changed in the lists since they were last sent:
    // all at once, or spread over the next turns of the event loop.
    void announceEntries();
    void announceSome();
    QDateTime dayAfter(const QDateTime &dayStart) const;
    void keepDayFilterInNewZone();

    void updateToolbar();
    void finishImport(const ExchangeOutcome &outcome);
    void recoverOrphanedDrafts();
    void rescoreHere();

    NotificationCenter *m_center;
    Clock *m_clock;
    const CalendarProvider *m_calendar;
    DayWatch *m_day;
    QPointer<ModelContext> m_context;
    QPointer<CapabilityDetector> m_capability;
    InsightQueue *m_insightCoordinator;
    std::shared_ptr<WorkspaceExchange> m_exchange;

    std::unique_ptr<EditorSession> m_editor;
    std::unique_ptr<VoiceRecordingSession> m_voice;
    StoreQuery *m_allEntries = nullptr;
    std::unique_ptr<TimelineFilter> m_filter;
    WorkspaceCommandListeners *m_listeners = nullptr;

    QList<JournalEntry *> m_journalEntries;
    QList<JournalEntry *> m_filteredEntries;
    QHash<UuidKey, JournalEntry *> m_byId; // ids come from files too
    bool m_idsRepeat = false;
    // Every entry ever listed, each connected once.
    QSet<JournalEntry *> m_watched;
    QSet<JournalEntry *> m_changedSinceFetch;
    // The journal as the last query update left it, and whether the
    // filter must judge every row again.
    QList<JournalEntry *> m_journalSettled;
    bool m_refilterAll = false;
    bool m_listWasReset = false;
    bool m_journalChangePending = false;
    bool m_filteredChangePending = false;
    QTimer *m_foldTimer = nullptr;
    QTimer *m_announceTimer = nullptr;

    WorkspaceDestination m_destination = WorkspaceDestination::Timeline;
    std::optional<QUuid> m_selection;
    QString m_searchText;
    MoodFilter m_moodFilter = MoodFilter::All;
    std::optional<QDateTime> m_dayFilter;
    bool m_searchFocused = false;
    bool m_showDiscardConfirm = false;
    bool m_showStopRecordingConfirm = false;
    bool m_showPrivacyPromise = false;
    std::optional<QString> m_exportStatusMessage;
    Action m_pendingNavigation;
    QPointer<JournalEntry> m_entryPendingDelete;
    WorkspaceDestination m_lastJournalDestination = WorkspaceDestination::Timeline;
    std::optional<QUuid> m_lastJournalSelection;

    bool m_exchanging = false;
    ImportActivity *m_importActivity;
    bool m_rescoreRunning = false;
    bool m_setUp = false; // handleAppear() has run
    int m_backgroundRescoreMinimum = kBackgroundRescoreMinimum;
    bool m_lastShowsTypedSave = false;
    bool m_lastShowsVoiceSave = false;
};

} // namespace zn
