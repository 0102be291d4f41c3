#pragma once

#include "app/settings/AppSettings.h"
#include "core/InsightStatus.h"
#include "core/InsightQueue.h"
#include "platform/base/Clock.h"
#include "platform/store/UuidKey.h"
#include "reflections/CapabilityDetector.h"
#include "reflections/EntryInsightGenerator.h"
#include "reflections/WeeklyReflectionGenerator.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QUuid>

#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>

namespace zn {

class JournalEntry;
class ModelContainer;
class ModelContext;
class WeeklyReflectionRecord;

// Turns requests for an entry's reflection into stored reflections: one
// queue (newest request first), one worker that runs one entry at a time
// under a watchdog, the write-back into the entry, and the rolling 7-day
// reflection when nothing else waits.
//
// Lives on the main thread and never blocks it: the model is asked on a
// worker thread and every store write happens back here, each step through
// a context of its own whose save errors are ignored. Callers enqueue and
// return at once; outcomes reach the user through the stored statuses.
//
// Entries marked unavailable because the model was not there (any reason
// but the enhanced-analysis setting) wait for it: while any does, the
// detector checks again at its interval, and when the model turns
// available, or the window is shown with the model there, they are marked
// pending and queued, newest first, and the 7-day reflection is asked for.
class InsightCoordinator final : public QObject, public InsightQueue
{
    Q_OBJECT
    Q_PROPERTY(bool isProcessing READ isProcessing NOTIFY isProcessingChanged)
    Q_PROPERTY(bool weeklyRequested READ weeklyRequested WRITE setWeeklyRequested NOTIFY weeklyRequestedChanged)
    Q_PROPERTY(bool running READ running NOTIFY runningChanged)
public:
    static constexpr int kSchemaVersion = 6;

    // Blocking generators, run on a worker thread. They throw the
    // generators' GenerateError (or anything else, which reads as a plain
    // failure); `stop` is triggered when the run is cancelled.
    using EntryGenerateFunction =
        std::function<EntryInsightGenerator::Outcome(const QString &text, std::stop_token stop)>;
    using WeeklyGenerateFunction = std::function<WeeklyReflectionGenerator::Outcome(
        const QList<WeeklyReflectionGenerator::EntrySnippet> &snippets, const QDateTime &windowStart,
        const QDateTime &windowEnd, std::stop_token stop)>;

    struct Limits
    {
        std::chrono::milliseconds watchdog{65'000};
        double entryGenerationSeconds = 50.0;
        double weeklyGenerationSeconds = 75.0;
    };

    // `model` feeds the real generators and `clock` every time limit; both
    // must outlive the coordinator (null: no model, the system clock).
    explicit InsightCoordinator(lm::LanguageModel *model = nullptr, Clock *clock = nullptr,
                                QObject *parent = nullptr);
    InsightCoordinator(lm::LanguageModel *model, Clock *clock, Limits limits, QObject *parent = nullptr);
    ~InsightCoordinator() override;

    // Replaces the generators (tests); an empty function keeps the real one.
    void setGenerators(EntryGenerateFunction entry, WeeklyGenerateFunction weekly);

    // Holds the detector and the settings weakly, the container strongly,
    // and looks for entries that wait for the model (called each time the
    // window is shown).
    void configure(CapabilityDetector *capability, AppSettings *settings,
                   std::shared_ptr<ModelContainer> container);

    // Asks for a reflection of one entry; returns at once.
    void enqueueEntry(const QUuid &id) override;
    // Asks for many in one step: the queue ends as after one enqueueEntry()
    // per id in this order, and entries that cannot be reflected on are
    // marked in one save.
    void enqueueEntries(const QList<QUuid> &ids) override;
    // Starts the worker unless one runs; the weather view sets
    // weeklyRequested first to ask for the 7-day reflection.
    void startProcessingIfNeeded();
    // Stops and forgets the entry's work and marks it cancelled.
    void cancelEntryInsight(const QUuid &id);
    // Fails the entry's run when it has taken more than `seconds`, or when
    // the entry is left "generating" with no run behind it.
    void failStaleInFlightEntry(const QUuid &id, double seconds);

    bool isProcessing() const { return m_isProcessing; }
    std::optional<QString> lastError() const { return m_lastError; }
    std::optional<QString> currentActivity() const { return m_currentActivity; }
    QList<QUuid> entryQueue() const { return m_entryQueue; }
    bool weeklyRequested() const { return m_weeklyRequested; }
    void setWeeklyRequested(bool requested);
    bool running() const { return m_running; }
    bool hasWeeklyTask() const { return m_weeklyTask != nullptr; }
    bool hasEntryWorkTask() const { return m_entryWorkTask != nullptr; }
    std::optional<QUuid> inFlightEntryID() const { return m_inFlightEntryID; }
    std::optional<QDateTime> inFlightStartedAt() const { return m_inFlightStartedAt; }
    CapabilityDetector *capability() const { return m_capability; }
    AppSettings *settings() const { return m_settings; }
    std::shared_ptr<ModelContainer> modelContainer() const { return m_modelContainer; }

    // The 7-day window's entries, oldest first (drafts never).
    static QList<JournalEntry *> fetchWindowEntries(const QDateTime &start, const QDateTime &end,
                                                    ModelContext &context);
    // The day's record, created blank ("none") when missing.
    WeeklyReflectionRecord *upsertWeeklyRecord(const QString &key, const QDateTime &weekStart,
                                               ModelContext &context);

Q_SIGNALS:
    void isProcessingChanged();
    void lastErrorChanged();
    void currentActivityChanged();
    void entryQueueChanged();
    void weeklyRequestedChanged();
    void runningChanged();
    void weeklyTaskChanged();
    void entryWorkTaskChanged();
    void inFlightEntryIDChanged();
    void inFlightStartedAtChanged();
    void capabilityChanged();
    void settingsChanged();
    void modelContainerChanged();

private:
    struct EntryRun;
    struct WeeklyRun;
    template<class Outcome>
    struct GenerationResult;
    using EntryResult = GenerationResult<EntryInsightGenerator::Outcome>;
    using WeeklyResult = GenerationResult<WeeklyReflectionGenerator::Outcome>;

    bool canGenerate() const;
    bool enhancedAnalysisOn() const;
    bool isEntryInFlight(const QUuid &id) const;
    std::optional<QString> capabilityMessage() const;
    std::optional<QString> capabilitySentence() const;

    void markEntryFailed(const QUuid &id, const QString &message);
    void markEntryUnavailable(const QUuid &id, const std::optional<QString> &message);
    void markEntriesUnavailable(const QList<QUuid> &ids, const std::optional<QString> &message);
    void markEntry(const QUuid &id, InsightStatus status, const std::optional<QString> &message,
                   bool (*applies)(const JournalEntry &));
    // `done` runs on this thread once the marks are made.
    void markEntries(const QList<QUuid> &ids, InsightStatus status, const std::optional<QString> &message,
                     bool (*applies)(const JournalEntry &), std::function<void()> done = {});
    void markWeeklyPending(const QString &key);

    void noteWaitingForModel(const QList<QUuid> &ids, bool weekly = false);
    void availabilityChanged();
    void lookForWaitingEntries();
    void waitingEntriesFound(const QList<QUuid> &entries, bool weekly, quint64 marksBefore);
    void lookEnded(bool stillWaiting);
    void updateRecheck();

    void scheduleWorker();
    void processQueue();
    void runQueuedEntry(const QUuid &id);
    void entryWatchdog(const std::shared_ptr<EntryRun> &run);
    void processEntry(const std::shared_ptr<EntryRun> &run);
    void entryGenerationEnded(const std::shared_ptr<EntryRun> &run, const EntryResult &result);
    void applyEntryResult(const std::shared_ptr<EntryRun> &run, const EntryInsightGenerator::Outcome &outcome);
    void handleEntryError(const std::shared_ptr<EntryRun> &run, const std::exception_ptr &error);
    void endEntryRun(const std::shared_ptr<EntryRun> &run);
    void failIfStillGenerating(const QUuid &id);
    void finishProcessing();

    void runWeeklyReflection(const std::shared_ptr<WeeklyRun> &run);
    void weeklyGenerationEnded(const std::shared_ptr<WeeklyRun> &run, const WeeklyResult &result);
    void endWeeklyRun(const std::shared_ptr<WeeklyRun> &run);

    void setIsProcessing(bool value);
    void setLastError(const std::optional<QString> &value);
    void setCurrentActivity(const std::optional<QString> &value);
    void setEntryQueue(const QList<QUuid> &queue);
    void setRunning(bool value);
    void setWeeklyTask(std::shared_ptr<WeeklyRun> task);
    void setEntryWorkTask(std::shared_ptr<EntryRun> task);
    void setInFlight(const std::optional<QUuid> &id, const std::optional<QDateTime> &startedAt);

    lm::LanguageModel *m_model;
    Clock *m_clock;
    Limits m_limits;
    EntryGenerateFunction m_entryGenerate;
    WeeklyGenerateFunction m_weeklyGenerate;

    bool m_isProcessing = false;
    std::optional<QString> m_lastError;
    std::optional<QString> m_currentActivity;
    QList<QUuid> m_entryQueue;
    bool m_weeklyRequested = false;
    bool m_running = false;
    std::shared_ptr<WeeklyRun> m_weeklyTask;
    std::shared_ptr<EntryRun> m_entryWorkTask;
    std::optional<QUuid> m_inFlightEntryID;
    std::optional<QDateTime> m_inFlightStartedAt;
    QPointer<CapabilityDetector> m_capability;
    QPointer<AppSettings> m_settings;
    std::shared_ptr<ModelContainer> m_modelContainer;

    // The runs the worker waits on (they outlive a cancel that clears the
    // public handles above).
    std::shared_ptr<EntryRun> m_activeEntryRun;
    std::shared_ptr<WeeklyRun> m_activeWeeklyRun;
    ClockTimer m_watchdog;

    // Entries waiting for the model: whether any is known to, whether a
    // look through the store is under way (and another is wanted after
    // it), a count of marks that made entries wait, and what was marked
    // while the look ran, which it leaves for the next one.
    bool m_waitingForModel = false;
    bool m_looking = false;
    bool m_lookAgain = false;
    quint64 m_waitMarks = 0;
    QSet<UuidKey> m_markedWhileLooking;
    bool m_weeklyMarkedWhileLooking = false;
    QMetaObject::Connection m_capabilityWatch;
    QMetaObject::Connection m_settingsWatch;
};

} // namespace zn
