#pragma once

#include "core/LiveMoodRunner.h"
#include "core/WeatherLabel.h"
#include "platform/base/Clock.h"
#include "platform/store/ModelContext.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUuid>

#include <optional>

namespace zn {

class InsightQueue;
class JournalEntry;

// What the detail pane shows.
enum class DetailMode { Empty, Reading, Editing, ComposingDraft };

// The save state shown beside the editor.
class SaveStatus
{
public:
    enum class Kind { Error, Idle, Saving, Saved };

    SaveStatus() = default;
    static SaveStatus idle() { return SaveStatus(Kind::Idle, {}); }
    static SaveStatus saving() { return SaveStatus(Kind::Saving, {}); }
    static SaveStatus saved() { return SaveStatus(Kind::Saved, {}); }
    static SaveStatus error(const QString &message) { return SaveStatus(Kind::Error, message); }

    Kind kind() const { return m_kind; }
    bool isError() const { return m_kind == Kind::Error; }
    // The text to show for an error; empty otherwise.
    QString message() const { return m_message; }

    friend bool operator==(const SaveStatus &a, const SaveStatus &b)
    {
        return a.m_kind == b.m_kind && (a.m_kind != Kind::Error || a.m_message == b.m_message);
    }

private:
    SaveStatus(Kind kind, QString message) : m_kind(kind), m_message(std::move(message)) {}
    Kind m_kind = Kind::Idle;
    QString m_message;
};

// The editing state behind the detail pane: which entry is shown and how,
// the editor's text and its live mood, and the save state. A new entry lives
// in the store as a draft row from its first moment; only a commit makes it
// a real entry, and leaving it uncommitted deletes the row.
//
// Debounces: every change of the text schedules an autosave after 1.2 s and
// a live-mood analysis after 0.5 s (run off the UI thread; for a long text it
// also prepares what a commit of it stores); "saved" returns
// to "idle" after 2.0 s. While the text keeps changing without such a pause,
// the autosave still runs 3 s after the first change it has not saved, so
// steady writing is never more than 3 s from the store. Main thread only;
// every property signal fires only on a real change.
class EditorSession : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString draftText READ draftText WRITE setDraftText NOTIFY draftTextChanged)
    Q_PROPERTY(double liveSentiment READ liveSentiment NOTIFY liveSentimentChanged)
    Q_PROPERTY(bool hasPendingAutosave READ hasPendingAutosave NOTIFY hasPendingAutosaveChanged)
    Q_PROPERTY(bool hasDraftText READ hasDraftText NOTIFY hasDraftTextChanged)

public:
    static constexpr Clock::Duration kAutosaveDelay{1200};
    static constexpr Clock::Duration kAutosaveLongestWait{3000};
    static constexpr Clock::Duration kLiveMoodDelay{500};
    static constexpr Clock::Duration kSavedIndicatorDelay{2000};

    explicit EditorSession(QObject *parent = nullptr);
    explicit EditorSession(Clock &clock, QObject *parent = nullptr);
    ~EditorSession() override;

    DetailMode mode() const { return m_mode; }
    std::optional<QUuid> selectedEntryID() const { return m_selectedEntryID; }
    void setSelectedEntryID(const std::optional<QUuid> &id);
    SaveStatus saveStatus() const { return m_saveStatus; }
    void setSaveStatus(const SaveStatus &status);
    QString draftText() const { return m_draftText; }
    // Every change of value schedules the autosave and the live mood.
    void setDraftText(const QString &text);
    double liveSentiment() const { return m_liveSentiment; }
    WeatherLabel liveWeather() const { return m_liveWeather; }
    bool hasPendingAutosave() const { return m_hasPendingAutosave; }
    QString committedBaselineText() const { return m_committedBaselineText; }
    std::optional<QUuid> draftRowID() const { return m_draftRowID; }

    // The store context; without one nothing is created or saved.
    ModelContext *modelContext() const { return m_modelContext; }
    void setModelContext(ModelContext *context);
    // Receives the id of every committed entry. Not owned; a queue that is
    // a QObject is forgotten when destroyed, any other must outlive the
    // session or be cleared.
    InsightQueue *insightCoordinator() const;
    void setInsightCoordinator(InsightQueue *queue);

    // Whether each debounce is waiting to act.
    bool isAutosaveScheduled() const { return m_autosaveTimer.isActive(); }
    bool isLiveMoodScheduled() const;
    bool isSavedIndicatorScheduled() const { return m_savedIndicatorTimer.isActive(); }

    // A composed text that leaving would lose.
    bool hasDraftText() const;

    // Begins a new entry in a fresh draft row.
    void startNewDraft(const QString &initialText = {});
    // Shows an entry for reading or editing and refreshes its stored score
    // when a fresh analysis moves it by more than 0.08.
    //
    // Leaving an entry being edited saves its pending text first. When the
    // store refuses that save, this and the other operations that leave the
    // entry (startNewDraft, clearSelection, selectAdjacentEntry) do nothing:
    // the editor keeps the unsaved text and shows the error instead of
    // replacing the text with another entry's.
    void openEntry(JournalEntry *entry, bool editing);
    // From reading with an entry selected, to editing.
    void beginEditing();
    // Stores the draft text as the entry's text. True when the store saved.
    bool commitDraft(bool leaveEditing);
    // Saves what is pending now instead of waiting for the autosave.
    void flushPendingEdits();
    // The same, before the program ends: why the store refused, when it
    // did; the text is then only in the editor.
    std::optional<StoreError> flushBeforeQuitting();
    // Leaves the current entry (a composed draft is discarded) and resets.
    void clearSelection();
    // Cancels the autosave only (before a manual save).
    void cancelAutosave();
    void cancelTasks();
    // Steps the selection through `entries` by `offset`, clamped at the ends.
    void selectAdjacentEntry(const QList<JournalEntry *> &entries, int offset);
    void selectAdjacent(const QList<JournalEntry *> &entries, int offset) { selectAdjacentEntry(entries, offset); }
    // Deletes the draft row unless it was committed, and forgets it.
    void discardDraftRow();
    void endDraft() { discardDraftRow(); }

Q_SIGNALS:
    void modeChanged(zn::DetailMode mode);
    void selectedEntryIDChanged();
    void saveStatusChanged();
    void draftTextChanged(const QString &text);
    void liveSentimentChanged(double score);
    void liveWeatherChanged(zn::WeatherLabel label);
    void hasPendingAutosaveChanged(bool pending);
    void committedBaselineTextChanged();
    void draftRowIDChanged();
    void modelContextChanged();
    void insightCoordinatorChanged();
    void hasDraftTextChanged(bool hasText);

private:
    void setMode(DetailMode mode);
    void setLiveSentiment(double score);
    void setLiveWeather(WeatherLabel label);
    void setHasPendingAutosave(bool pending);
    void setCommittedBaselineText(const QString &text);
    void setDraftRowID(const std::optional<QUuid> &id);
    void updateHasDraftText();

    void onDraftTextChanged();
    void runAutosave();
    JournalEntry *fetchEntry(const std::optional<QUuid> &id) const;
    void saveDraftRow();
    // applyEntryText, with the analysis worked out ahead when there is one.
    void applyText(JournalEntry &entry, const QString &trimmedText);
    bool completeCommit(JournalEntry *entry, bool leaveEditing, bool textChanged);
    void showSavedIndicator();
    bool flushBeforeLeaving();

    Clock *m_clock;
    DetailMode m_mode = DetailMode::Empty;
    std::optional<QUuid> m_selectedEntryID;
    SaveStatus m_saveStatus = SaveStatus::idle();
    QString m_draftText;
    double m_liveSentiment = 0.0;
    WeatherLabel m_liveWeather = WeatherLabel::Overcast;
    bool m_hasPendingAutosave = false;
    ClockTimer m_autosaveTimer;
    ClockTimer m_autosaveDeadlineTimer;
    ClockTimer m_savedIndicatorTimer;
    QPointer<ModelContext> m_modelContext;
    QString m_committedBaselineText;
    std::optional<QUuid> m_draftRowID;
    InsightQueue *m_insightCoordinator = nullptr;
    QPointer<QObject> m_insightCoordinatorObject;
    bool m_insightCoordinatorIsObject = false;
    bool m_hasDraftText = false;
    // The latest refusal of the store, while a flush wants to know.
    std::optional<StoreError> m_lastSaveError;
    LiveMoodRunner m_liveMood;
};

} // namespace zn
