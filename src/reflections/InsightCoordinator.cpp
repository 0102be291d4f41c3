#include "reflections/InsightCoordinator.h"

#include "app/settings/AppSettings.h"
#include "core/CalendarProvider.h"
#include "core/JournalEntry.h"
#include "core/JournalQueries.h"
#include "core/MoodAnalysis.h"
#include "core/WeeklyReflectionRecord.h"
#include "platform/base/BackgroundWork.h"
#include "platform/base/SystemLog.h"
#include "platform/store/ModelContainer.h"
#include "platform/store/ModelContext.h"
#include "platform/store/UuidKey.h"
#include "reflections/ReflectionDates.h"
#include "reflections/WeeklyReflectionRun.h"

#include <QFuture>
#include <QHash>
#include <QSet>
#include <QMetaObject>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cmath>

namespace zn {

namespace {

const QString kSettingsOff = QStringLiteral("Enhanced analysis is turned off in Settings.");
const QString kTooLong = QStringLiteral("Summary is taking too long. Tap Try again when you’re ready.");
const QString kInterrupted = QStringLiteral("Summary was interrupted. Tap Try again when you’re ready.");
const QString kNotAvailableNow = QStringLiteral("Summary isn’t available right now.");
const QString kCancelled = QStringLiteral("Summary was cancelled. Tap Try again when you’re ready.");
const QString kEntryActivity = QStringLiteral("Entry summary…");
const QString kWeeklyActivity = QStringLiteral("Weekly reflection…");

// Background writes never report: a save that fails leaves the row as it
// was and the next step or run tries again.
void saveIgnoringErrors(ModelContext &context)
{
    (void)context.save();
}

QString describe(const std::exception_ptr &error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::exception &e) {
        return generator::errorDescription(e);
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}

// Whatever kept the model away, only the user's own switch is not its
// absence.
bool waitsForModel(InsightStatus status, const std::optional<QString> &message)
{
    return status == InsightStatus::Unavailable && message != kSettingsOff;
}

bool entryWaitsForModel(const JournalEntry &entry)
{
    return !entry.isDraft() && waitsForModel(entry.insightStatus(), entry.insightFailureMessage());
}

double clampedModelScore(double score)
{
    if (std::isnan(score))
        return -1.0;
    return std::clamp(score, -1.0, 1.0);
}

} // namespace

struct InsightCoordinator::EntryRun
{
    QUuid id;
    std::stop_source stop;
    std::unique_ptr<ModelContext> context;
    QString sentText;
    QFuture<void> future;

    bool cancelled() const { return stop.stop_requested(); }
};

struct InsightCoordinator::WeeklyRun
{
    std::stop_source stop;
    std::unique_ptr<ModelContext> context;
    QString key;
    QString fingerprint;
    QFuture<void> future;

    bool cancelled() const { return stop.stop_requested(); }
};

template<class Outcome>
struct InsightCoordinator::GenerationResult
{
    std::optional<Outcome> outcome;
    std::exception_ptr error;
};

namespace {

// Runs `generate` on the thread pool and hands what came of it to `deliver`
// back on the coordinator's thread, unless the coordinator or the run has
// gone meanwhile.
template<class Result, class Run, class Generate, class Deliver>
QFuture<void> generateInBackground(InsightCoordinator *owner, const std::shared_ptr<Run> &run, Generate generate,
                                   Deliver deliver)
{
    QPointer<InsightCoordinator> self(owner);
    std::weak_ptr<Run> weakRun = run;
    return QtConcurrent::run(QThreadPool::globalInstance(), [self, weakRun, generate, deliver] {
        Result result;
        try {
            result.outcome = generate();
        } catch (...) {
            result.error = std::current_exception();
        }
        QMetaObject::invokeMethod(
            self.data(),
            [self, weakRun, result, deliver] {
                const auto run = weakRun.lock();
                if (self && run)
                    deliver(run, result);
            },
            Qt::QueuedConnection);
    });
}

// From the event loop rather than the current call, so a long queue of
// runs that end at once never nests calls.
template<class Fn>
void later(QObject *owner, Fn fn)
{
    QMetaObject::invokeMethod(owner, std::move(fn), Qt::QueuedConnection);
}

void settle(ModelContext &context, JournalEntry &entry, InsightStatus status, const std::optional<QString> &message)
{
    entry.setInsightStatus(status);
    entry.setInsightFailureMessage(message);
    saveIgnoringErrors(context);
}

void settle(ModelContext &context, WeeklyReflectionRecord &record, InsightStatus status,
            const std::optional<QString> &message)
{
    record.setStatus(status);
    record.setFailureMessage(message);
    saveIgnoringErrors(context);
}

} // namespace

InsightCoordinator::InsightCoordinator(lm::LanguageModel *model, Clock *clock, QObject *parent)
    : InsightCoordinator(model, clock, Limits{}, parent)
{
}

InsightCoordinator::InsightCoordinator(lm::LanguageModel *model, Clock *clock, Limits limits, QObject *parent)
    : QObject(parent),
      m_model(model),
      m_clock(clock ? clock : &Clock::system()),
      m_limits(limits),
      m_watchdog(*m_clock, this)
{
    setGenerators({}, {});
}

InsightCoordinator::~InsightCoordinator()
{
    if (m_capability)
        m_capability->setRechecking(false);
    // Background generations hold the model and post back here: stop them
    // and let them wind down before the coordinator goes.
    if (m_activeEntryRun) {
        m_activeEntryRun->stop.request_stop();
        m_activeEntryRun->future.waitForFinished();
    }
    if (m_activeWeeklyRun) {
        m_activeWeeklyRun->stop.request_stop();
        m_activeWeeklyRun->future.waitForFinished();
    }
}

void InsightCoordinator::setGenerators(EntryGenerateFunction entry, WeeklyGenerateFunction weekly)
{
    lm::LanguageModel *model = m_model;
    Clock *clock = m_clock;
    if (!entry) {
        const double seconds = m_limits.entryGenerationSeconds;
        entry = [model, clock, seconds](const QString &text, std::stop_token stop) {
            if (!model)
                throw EntryInsightGenerator::GenerateError(EntryInsightGenerator::GenerateError::Kind::Unavailable);
            EntryInsightGenerator::Options options;
            options.timeLimitSeconds = seconds;
            options.clock = clock;
            return EntryInsightGenerator::generate(text, *model, stop, options);
        };
    }
    if (!weekly) {
        const double seconds = m_limits.weeklyGenerationSeconds;
        weekly = [model, clock, seconds](const QList<WeeklyReflectionGenerator::EntrySnippet> &snippets,
                                         const QDateTime &start, const QDateTime &end, std::stop_token stop) {
            if (!model)
                throw WeeklyReflectionGenerator::GenerateError(
                    WeeklyReflectionGenerator::GenerateError::Kind::Unavailable);
            WeeklyReflectionGenerator::Options options;
            options.timeLimitSeconds = seconds;
            options.clock = clock;
            return WeeklyReflectionGenerator::generate(snippets, start, end, *model, stop, options);
        };
    }
    m_entryGenerate = std::move(entry);
    m_weeklyGenerate = std::move(weekly);
}

void InsightCoordinator::configure(CapabilityDetector *capability, AppSettings *settings,
                                   std::shared_ptr<ModelContainer> container)
{
    // A detector given up no longer checks on this coordinator's behalf.
    if (m_capability && m_capability != capability)
        m_capability->setRechecking(false);
    disconnect(m_capabilityWatch);
    disconnect(m_settingsWatch);
    m_capability = capability;
    Q_EMIT capabilityChanged();
    m_settings = settings;
    Q_EMIT settingsChanged();
    if (m_modelContainer != container) {
        m_modelContainer = std::move(container);
        Q_EMIT modelContainerChanged();
    }
    if (capability)
        m_capabilityWatch = connect(capability, &CapabilityDetector::availabilityChanged, this,
                                    &InsightCoordinator::availabilityChanged);
    if (settings)
        m_settingsWatch = connect(settings, &AppSettings::enhancedAnalysisEnabledChanged, this,
                                  &InsightCoordinator::lookForWaitingEntries);
    // The model may have come while the window was away, or entries an
    // earlier run marked may wait for it.
    lookForWaitingEntries();
}

// ---------------------------------------------------------------- checks

bool InsightCoordinator::enhancedAnalysisOn() const
{
    // No settings object reads as the switch being off.
    return m_settings && m_settings->enhancedAnalysisEnabled();
}

bool InsightCoordinator::canGenerate() const
{
    return enhancedAnalysisOn() && m_capability
        && m_capability->availability() == CapabilityDetector::Availability::Available;
}

bool InsightCoordinator::isEntryInFlight(const QUuid &id) const
{
    return m_inFlightEntryID == id && m_entryWorkTask && !m_entryWorkTask->cancelled();
}

std::optional<QString> InsightCoordinator::capabilityMessage() const
{
    if (!m_capability)
        return std::nullopt;
    return m_capability->placeholderText();
}

std::optional<QString> InsightCoordinator::capabilitySentence() const
{
    if (!m_capability)
        return std::nullopt;
    return m_capability->statusDetail();
}

// ---------------------------------------------------------------- public operations

void InsightCoordinator::enqueueEntry(const QUuid &id)
{
    enqueueEntries({id});
}

void InsightCoordinator::enqueueEntries(const QList<QUuid> &ids)
{
    if (ids.isEmpty())
        return;
    // Nothing between two hand-overs of one batch could change the answers
    // below: one check stands for all.
    if (!enhancedAnalysisOn()) {
        markEntriesUnavailable(ids, kSettingsOff);
        return;
    }
    if (m_capability)
        m_capability->refresh();
    if (!canGenerate()) {
        markEntriesUnavailable(ids, capabilityMessage());
        return;
    }

    QList<QUuid> queue = m_entryQueue;
    // Ids from an import's file: kept by a key such files cannot collide.
    QSet<UuidKey> queued;
    for (const QUuid &id : std::as_const(queue))
        queued.insert({id});
    for (const QUuid &id : ids) {
        if (queued.contains({id}))
            continue;
        queued.insert({id});
        // The running entry goes to the back: it runs again, from its new
        // text, once the current run is over. Any other goes to the front,
        // so the last handed over runs first.
        if (isEntryInFlight(id))
            queue.append(id);
        else
            queue.prepend(id);
    }
    setEntryQueue(queue);

    if (m_weeklyTask) {
        const QString key = m_weeklyTask->key;
        m_weeklyTask->stop.request_stop();
        setWeeklyTask(nullptr);
        setWeeklyRequested(true);
        markWeeklyPending(key);
    }
    startProcessingIfNeeded();
}

void InsightCoordinator::startProcessingIfNeeded()
{
    if (m_running)
        return;
    setRunning(true);
    setIsProcessing(true);
    scheduleWorker();
}

void InsightCoordinator::cancelEntryInsight(const QUuid &id)
{
    if (m_inFlightEntryID == id) {
        if (m_entryWorkTask)
            m_entryWorkTask->stop.request_stop();
        setEntryWorkTask(nullptr);
        setInFlight(std::nullopt, std::nullopt);
    }
    if (m_entryQueue.contains(id)) {
        QList<QUuid> queue = m_entryQueue;
        queue.removeAll(id);
        setEntryQueue(queue);
    }
    markEntryFailed(id, kCancelled);
}

void InsightCoordinator::failStaleInFlightEntry(const QUuid &id, double seconds)
{
    if (!m_modelContainer)
        return;
    ModelContext context(m_modelContainer.get());
    context.setAutosaveEnabled(false);
    JournalEntry *entry = fetchEntry(context, id);
    if (!entry || entry->insightStatus() != InsightStatus::Generating)
        return;

    if (isEntryInFlight(id)) {
        if (!m_inFlightStartedAt)
            return;
        const double elapsed = double(m_inFlightStartedAt->msecsTo(m_clock->now())) / 1000.0;
        if (elapsed > seconds) {
            m_entryWorkTask->stop.request_stop();
            setEntryWorkTask(nullptr);
            setInFlight(std::nullopt, std::nullopt);
            markEntryFailed(id, kTooLong);
        }
        return;
    }

    // Left "generating" by a run that no longer exists (an earlier launch,
    // a crash): nothing will ever finish it.
    settle(context, *entry, InsightStatus::Failed, kInterrupted);
}

// ---------------------------------------------------------------- marks

void InsightCoordinator::markEntryFailed(const QUuid &id, const QString &message)
{
    // A finished reflection is never thrown away by a late failure.
    markEntry(id, InsightStatus::Failed, message, [](const JournalEntry &entry) {
        return !(entry.insightStatus() == InsightStatus::Ready && entry.insightText().has_value());
    });
}

void InsightCoordinator::markEntryUnavailable(const QUuid &id, const std::optional<QString> &message)
{
    markEntriesUnavailable({id}, message);
}

void InsightCoordinator::markEntriesUnavailable(const QList<QUuid> &ids, const std::optional<QString> &message)
{
    markEntries(ids, InsightStatus::Unavailable, message, [](const JournalEntry &) { return true; });
    if (message != kSettingsOff && m_modelContainer && !ids.isEmpty())
        noteWaitingForModel(ids);
}

namespace {

// A few entries are fetched one by one; more through one read of the
// journal, and many are marked on a connection of their own, off the UI
// thread (a whole import's worth would hold it for long).
constexpr qsizetype kFetchOneByOne = 8;
constexpr qsizetype kMarkInBackground = 64;

void markIn(ModelContext &context, const QList<QUuid> &ids, InsightStatus status,
            const std::optional<QString> &message, bool (*applies)(const JournalEntry &))
{
    // Each id stands for the entry a fetch by id gives: the oldest, should
    // ids ever repeat.
    QHash<UuidKey, JournalEntry *> byId;
    if (ids.size() > kFetchOneByOne) {
        FetchDescriptor oldestFirst;
        oldestFirst.sortBy = {{JournalEntry::Timestamp, SortOrder::Forward}};
        const QList<JournalEntry *> all = context.fetch<JournalEntry>(oldestFirst);
        byId.reserve(all.size());
        for (auto it = all.crbegin(); it != all.crend(); ++it)
            byId.insert({(*it)->id()}, *it);
    }
    for (const QUuid &id : ids) {
        JournalEntry *entry = ids.size() > kFetchOneByOne ? byId.value({id}) : fetchEntry(context, id);
        if (entry && applies(*entry)) {
            entry->setInsightStatus(status);
            entry->setInsightFailureMessage(message);
        }
    }
    saveIgnoringErrors(context);
}

} // namespace

void InsightCoordinator::markEntry(const QUuid &id, InsightStatus status, const std::optional<QString> &message,
                                   bool (*applies)(const JournalEntry &))
{
    markEntries({id}, status, message, applies);
}

void InsightCoordinator::markEntries(const QList<QUuid> &ids, InsightStatus status,
                                     const std::optional<QString> &message, bool (*applies)(const JournalEntry &),
                                     std::function<void()> done)
{
    if (!m_modelContainer || ids.isEmpty()) {
        if (done)
            done();
        return;
    }
    ModelContainer::ConnectionOpener openConnection = m_modelContainer->connectionOpener();
    if (ids.size() < kMarkInBackground || !openConnection) {
        ModelContext context(m_modelContainer.get());
        markIn(context, ids, status, message, applies);
        if (done)
            done();
        return;
    }
    std::weak_ptr<ModelContainer> container = m_modelContainer;
    runThenOnMainThread(
        storeWorkPool(),
        [ids, status, message, applies, openConnection] {
            return ModelContainer::workOnAnotherConnection(openConnection, [&](ModelContainer &connection) {
                ModelContext context(&connection);
                markIn(context, ids, status, message, applies);
            });
        },
        [container, ids, status, message, applies, done](const std::optional<StoreChanges> &written) {
            if (const std::shared_ptr<ModelContainer> target = container.lock(); target && written) {
                target->announceChanges(*written);
            } else if (target) {
                // No second connection after all: the marks are made here.
                ModelContext context(target.get());
                markIn(context, ids, status, message, applies);
            }
            if (done)
                done();
        });
}

void InsightCoordinator::markWeeklyPending(const QString &key)
{
    if (!m_modelContainer)
        return;
    ModelContext context(m_modelContainer.get());
    WeeklyReflectionRecord *record = fetchWeeklyRecord(context, key);
    if (record && record->status() == InsightStatus::Generating)
        settle(context, *record, InsightStatus::Pending, std::nullopt);
}

// ---------------------------------------------------------------- waiting for the model

namespace {

struct WaitingForModel
{
    QList<QUuid> entries; // oldest first
    bool weekly = false;  // today's 7-day reflection
};

// What waits for the model, read without a change.
WaitingForModel findWaiting(ModelContext &context, const QString &weeklyKey)
{
    WaitingForModel found;
    FetchDescriptor unavailable;
    unavailable.predicate = Predicate::where(JournalEntry::InsightStatusRaw, CompareOp::Equal,
                                             insightStatusRawValue(InsightStatus::Unavailable));
    unavailable.sortBy = {{JournalEntry::Timestamp, SortOrder::Forward}};
    for (const JournalEntry *entry : context.fetch<JournalEntry>(unavailable))
        if (entryWaitsForModel(*entry))
            found.entries << entry->id();
    const WeeklyReflectionRecord *record = fetchWeeklyRecord(context, weeklyKey);
    found.weekly = record && waitsForModel(record->status(), record->failureMessage());
    return found;
}

} // namespace

void InsightCoordinator::noteWaitingForModel(const QList<QUuid> &ids, bool weekly)
{
    ++m_waitMarks;
    if (m_looking) {
        for (const QUuid &id : ids)
            m_markedWhileLooking.insert({id});
        m_weeklyMarkedWhileLooking = m_weeklyMarkedWhileLooking || weekly;
    }
    m_waitingForModel = true;
    updateRecheck();
}

void InsightCoordinator::availabilityChanged()
{
    // A look under way learns of the change by looking again.
    if (m_looking || (m_waitingForModel && canGenerate()))
        lookForWaitingEntries();
    else
        updateRecheck();
}

void InsightCoordinator::lookForWaitingEntries()
{
    // Nothing is queued while the setting is off, and nothing can be
    // without a detector to say the model is there.
    if (!m_modelContainer || !m_capability || !enhancedAnalysisOn()) {
        updateRecheck();
        return;
    }
    // One look at a time: a journal of thousands is not read twice at once.
    if (m_looking) {
        m_lookAgain = true;
        return;
    }
    m_looking = true;
    m_lookAgain = false;
    m_markedWhileLooking.clear();
    m_weeklyMarkedWhileLooking = false;
    const quint64 marksBefore = m_waitMarks;
    const QString weeklyKey = weekly::recordKey(CalendarProvider::shared().dayKey(m_clock->now()));
    QPointer<InsightCoordinator> self(this);
    const auto deliver = [self, marksBefore](const WaitingForModel &found) {
        if (self)
            self->waitingEntriesFound(found.entries, found.weekly, marksBefore);
    };
    std::weak_ptr<ModelContainer> container = m_modelContainer;
    const auto lookHere = [container, weeklyKey] {
        const std::shared_ptr<ModelContainer> target = container.lock();
        if (!target)
            return WaitingForModel{};
        ModelContext context(target.get());
        return findWaiting(context, weeklyKey);
    };

    // A large journal is read on a connection of its own, off the UI thread.
    const ModelContainer::ConnectionOpener open = m_modelContainer->connectionOpener();
    if (!open) {
        later(this, [lookHere, deliver] { deliver(lookHere()); });
        return;
    }
    runThenOnMainThread(
        storeWorkPool(),
        [open, weeklyKey] {
            std::optional<WaitingForModel> found;
            ModelContainer::workOnAnotherConnection(open, [&](ModelContainer &connection) {
                ModelContext context(&connection);
                found = findWaiting(context, weeklyKey);
            });
            return found;
        },
        [lookHere, deliver](const std::optional<WaitingForModel> &found) {
            // No second connection after all: looked at here.
            deliver(found ? *found : lookHere());
        });
}

void InsightCoordinator::waitingEntriesFound(const QList<QUuid> &entries, bool weekly, quint64 marksBefore)
{
    // Entries marked while the look ran were marked for a reason of now;
    // the next change of the model's state takes them up.
    QList<QUuid> resumable;
    for (const QUuid &id : entries)
        if (!m_markedWhileLooking.contains({id}))
            resumable << id;
    const bool marked = m_waitMarks != marksBefore;
    if (!m_modelContainer || !canGenerate() || (resumable.isEmpty() && (!weekly || m_weeklyMarkedWhileLooking)))
        return lookEnded(!entries.isEmpty() || weekly || marked);

    systemLog(QStringLiteral("Zephyrnote: the language model is available; %1 entries that waited for it are queued.")
                  .arg(resumable.size()));
    if (weekly && !m_weeklyMarkedWhileLooking) {
        ModelContext context(m_modelContainer.get());
        WeeklyReflectionRecord *record =
            fetchWeeklyRecord(context, weekly::recordKey(CalendarProvider::shared().dayKey(m_clock->now())));
        if (record && waitsForModel(record->status(), record->failureMessage()))
            settle(context, *record, InsightStatus::Pending, std::nullopt);
    }
    // Every card says "queued" before the first entry runs; a whole
    // journal's worth is marked off the UI thread.
    QPointer<InsightCoordinator> self(this);
    markEntries(resumable, InsightStatus::Pending, std::nullopt, entryWaitsForModel, [self, resumable, marksBefore] {
        if (!self)
            return;
        // Handed over oldest first, so the newest runs first; the 7-day
        // reflection follows them.
        self->enqueueEntries(resumable);
        self->setWeeklyRequested(true);
        self->startProcessingIfNeeded();
        self->lookEnded(self->m_waitMarks != marksBefore);
    });
}

void InsightCoordinator::lookEnded(bool stillWaiting)
{
    m_looking = false;
    m_waitingForModel = stillWaiting;
    if (m_lookAgain)
        return lookForWaitingEntries();
    updateRecheck();
}

void InsightCoordinator::updateRecheck()
{
    if (m_capability)
        m_capability->setRechecking(m_waitingForModel && m_modelContainer && enhancedAnalysisOn());
}

// ---------------------------------------------------------------- worker

void InsightCoordinator::scheduleWorker()
{
    later(this, [this] { processQueue(); });
}

void InsightCoordinator::processQueue()
{
    if (!m_entryQueue.isEmpty()) {
        QList<QUuid> queue = m_entryQueue;
        const QUuid id = queue.takeFirst();
        setEntryQueue(queue);
        setCurrentActivity(kEntryActivity);
        runQueuedEntry(id);
        return; // endEntryRun() comes back here
    }
    if (m_weeklyRequested && !m_inFlightEntryID) {
        setWeeklyRequested(false);
        setCurrentActivity(kWeeklyActivity);
        auto run = std::make_shared<WeeklyRun>();
        m_activeWeeklyRun = run;
        setWeeklyTask(run);
        runWeeklyReflection(run);
        return; // endWeeklyRun() ends this worker run
    }
    finishProcessing();
}

void InsightCoordinator::finishProcessing()
{
    setRunning(false);
    setIsProcessing(!(m_entryQueue.isEmpty() && !m_weeklyRequested && !m_inFlightEntryID));
    setCurrentActivity(std::nullopt);
    if (!m_entryQueue.isEmpty() || m_weeklyRequested)
        startProcessingIfNeeded();
}

void InsightCoordinator::runQueuedEntry(const QUuid &id)
{
    setInFlight(id, m_clock->now());
    auto run = std::make_shared<EntryRun>();
    run->id = id;
    m_activeEntryRun = run;
    setEntryWorkTask(run);

    // Stopped when the run ends, so a late shot can never hit a later run
    // of the same entry.
    std::weak_ptr<EntryRun> weakRun = run;
    m_watchdog.start(m_limits.watchdog, [this, weakRun] {
        if (auto run = weakRun.lock())
            entryWatchdog(run);
    });

    processEntry(run);
}

void InsightCoordinator::entryWatchdog(const std::shared_ptr<EntryRun> &run)
{
    if (run->cancelled() || m_inFlightEntryID != run->id)
        return;
    run->stop.request_stop();
    markEntryFailed(run->id, kTooLong);
    setLastError(QStringLiteral("Entry insight watchdog"));
}

void InsightCoordinator::endEntryRun(const std::shared_ptr<EntryRun> &run)
{
    m_watchdog.stop();
    if (m_inFlightEntryID == run->id)
        setInFlight(std::nullopt, std::nullopt);
    setEntryWorkTask(nullptr);
    if (m_activeEntryRun == run)
        m_activeEntryRun.reset();
    failIfStillGenerating(run->id);
    processQueue();
}

void InsightCoordinator::failIfStillGenerating(const QUuid &id)
{
    markEntry(id, InsightStatus::Failed, kTooLong,
              [](const JournalEntry &entry) { return entry.insightStatus() == InsightStatus::Generating; });
}

void InsightCoordinator::processEntry(const std::shared_ptr<EntryRun> &run)
{
    const auto endLater = [this, run] { later(this, [this, run] { endEntryRun(run); }); };

    if (!m_modelContainer || run->cancelled())
        return endLater();
    if (m_capability)
        m_capability->refresh();
    if (!enhancedAnalysisOn()) {
        markEntryUnavailable(run->id, kSettingsOff);
        return endLater();
    }
    if (!canGenerate()) {
        markEntryUnavailable(run->id, capabilityMessage());
        return endLater();
    }

    run->context = std::make_unique<ModelContext>(m_modelContainer.get());
    run->context->setAutosaveEnabled(false);
    JournalEntry *entry = fetchEntry(*run->context, run->id);
    if (!entry || entry->hasCurrentInsight())
        return endLater();
    if (entry->insightStatus() == InsightStatus::Ready && entry->hasCompleteInsight()
        && entry->insightSchemaVersion() < kSchemaVersion) {
        // An older reflection that is complete only needs its version raised.
        entry->setInsightSchemaVersion(kSchemaVersion);
        saveIgnoringErrors(*run->context);
        return endLater();
    }

    settle(*run->context, *entry, InsightStatus::Generating, std::nullopt);

    run->sentText = entry->rawText();
    run->future = generateInBackground<EntryResult>(
        this, run,
        [generate = m_entryGenerate, text = run->sentText, stop = run->stop.get_token()] {
            return generate(text, stop);
        },
        [this](const std::shared_ptr<EntryRun> &run, const EntryResult &result) {
            entryGenerationEnded(run, result);
        });
}

void InsightCoordinator::entryGenerationEnded(const std::shared_ptr<EntryRun> &run, const EntryResult &result)
{
    if (result.outcome)
        applyEntryResult(run, *result.outcome);
    else
        handleEntryError(run, result.error);
    endEntryRun(run);
}

void InsightCoordinator::applyEntryResult(const std::shared_ptr<EntryRun> &run,
                                          const EntryInsightGenerator::Outcome &outcome)
{
    // Whoever cancelled the run (cancel, watchdog, stale check) has already
    // written the entry's state; a late result must not overwrite it.
    if (run->cancelled())
        return;

    ModelContext &context = *run->context;
    JournalEntry *entry = fetchEntry(context, run->id);
    if (!entry) {
        markEntryFailed(run->id, kNotAvailableNow);
        return;
    }

    const QString current = entry->rawText();
    if (current != run->sentText) {
        // Edited while the model was reading: this reflection is of the old
        // text, so start over with the new one.
        settle(context, *entry, InsightStatus::Pending, std::nullopt);
        if (!m_entryQueue.contains(run->id))
            setEntryQueue(m_entryQueue + QList<QUuid>{run->id});
        return;
    }

    entry->setInsightText(outcome.summary);
    entry->setInsightEmotionalTone(outcome.emotionalTone);
    entry->setInsightKeyPoints(outcome.keyPoints);
    entry->setInsightOverallSentiment(outcome.overallSentiment);
    entry->setInsightClosingFocus(outcome.closingFocus);
    entry->setThemes(outcome.themes);
    entry->setInsightGeneratedAt(m_clock->now());
    entry->setInsightSchemaVersion(kSchemaVersion);
    entry->setInsightStatus(InsightStatus::Ready);
    entry->setInsightFailureMessage(std::nullopt);

    if (outcome.overallScore) {
        const double modelScore = clampedModelScore(*outcome.overallScore);
        entry->setInsightOverallScore(modelScore);
        const double onDevice = sentimentScore(current);
        entry->setSentimentScore(reconcileScores(current, onDevice, modelScore));
    } else {
        entry->setInsightOverallScore(std::nullopt);
    }
    saveIgnoringErrors(context);
    setLastError(std::nullopt);
}

void InsightCoordinator::handleEntryError(const std::shared_ptr<EntryRun> &run, const std::exception_ptr &error)
{
    // The canceller has written its own mark; whatever the generator made
    // of the cancellation is not news.
    if (run->cancelled())
        return;

    using Kind = EntryInsightGenerator::GenerateError::Kind;
    try {
        std::rethrow_exception(error);
    } catch (const EntryInsightGenerator::GenerateError &e) {
        switch (e.kind()) {
        case Kind::Unavailable:
            markEntryUnavailable(run->id, capabilityMessage());
            return;
        case Kind::TimedOut:
            markEntryFailed(run->id, kTooLong);
            setLastError(QStringLiteral("Entry insight timed out"));
            return;
        case Kind::LowQuality:
            markEntryFailed(run->id, QStringLiteral("Summary drifted into advice. Tap Try again for a neutral take."));
            setLastError(QStringLiteral("Entry insight low quality"));
            return;
        case Kind::ContextTooLarge:
            markEntryFailed(run->id, QStringLiteral("This entry is very long. On-device summary couldn’t fit it "
                                                    "even after shortening. Try again, or split into shorter "
                                                    "entries."));
            setLastError(QStringLiteral("Entry insight context too large"));
            return;
        case Kind::Empty:
        case Kind::GenerationFailed:
            break;
        }
        markEntryFailed(run->id, kNotAvailableNow);
        setLastError(e.description());
    } catch (const CancellationError &) {
        markEntryFailed(run->id, kInterrupted);
    } catch (...) {
        markEntryFailed(run->id, kNotAvailableNow);
        setLastError(describe(std::current_exception()));
    }
}

// ---------------------------------------------------------------- weekly step

QList<JournalEntry *> InsightCoordinator::fetchWindowEntries(const QDateTime &start, const QDateTime &end,
                                                             ModelContext &context)
{
    return fetchEntries(context, start, end);
}

WeeklyReflectionRecord *InsightCoordinator::upsertWeeklyRecord(const QString &key, const QDateTime &weekStart,
                                                               ModelContext &context)
{
    if (WeeklyReflectionRecord *existing = fetchWeeklyRecord(context, key))
        return existing;
    auto record = std::make_unique<WeeklyReflectionRecord>(key, weekStart);
    record->setGeneratedAt(m_clock->now());
    record->setStatus(InsightStatus::None);
    record->setFailureMessage(std::nullopt);
    WeeklyReflectionRecord *inserted = context.insert(std::move(record));
    saveIgnoringErrors(context);
    return inserted;
}

void InsightCoordinator::runWeeklyReflection(const std::shared_ptr<WeeklyRun> &run)
{
    const auto endLater = [this, run] { later(this, [this, run] { endWeeklyRun(run); }); };

    if (!m_modelContainer || run->cancelled())
        return endLater();
    if (m_capability)
        m_capability->refresh();

    run->context = std::make_unique<ModelContext>(m_modelContainer.get());
    ModelContext &context = *run->context;
    context.setAutosaveEnabled(false);

    // One "now" for the whole step, so a run that crosses midnight keeps
    // the key, window and fingerprint it started with.
    const QDateTime now = m_clock->now();
    const CalendarProvider &calendar = CalendarProvider::shared();
    const DateInterval window = calendar.trailingDaysInterval(weekly::kWindowDays, now);
    const QString dayKey = calendar.dayKey(now);
    run->key = weekly::recordKey(dayKey);

    const QList<JournalEntry *> entries = fetchWindowEntries(window.start, window.end, context);
    QList<weekly::FingerprintEntry> seen;
    seen.reserve(entries.size());
    for (const JournalEntry *entry : entries)
        seen << weekly::fingerprintEntry(*entry);
    run->fingerprint = weekly::fingerprint(seen, dayKey);

    WeeklyReflectionRecord *record = fetchWeeklyRecord(context, run->key);
    if (record && weekly::canSkipRebuild(record->status(), record->entryFingerprint(), run->fingerprint))
        return endLater();
    if (!record)
        record = upsertWeeklyRecord(run->key, window.start, context);
    if (!enhancedAnalysisOn()) {
        settle(context, *record, InsightStatus::Unavailable, kSettingsOff);
        return endLater();
    }
    if (!canGenerate()) {
        settle(context, *record, InsightStatus::Unavailable, capabilitySentence());
        noteWaitingForModel({}, true);
        return endLater();
    }
    if (entries.isEmpty()) {
        settle(context, *record, InsightStatus::None, std::nullopt);
        return endLater();
    }
    settle(context, *record, InsightStatus::Generating, std::nullopt);

    QList<WeeklyReflectionGenerator::EntrySnippet> snippets;
    snippets.reserve(entries.size());
    for (const JournalEntry *entry : entries) {
        WeeklyReflectionGenerator::EntrySnippet snippet;
        snippet.dateLabel = reflectionDateLabel(entry->timestamp());
        snippet.dayKey = calendar.dayKey(entry->timestamp());
        snippet.text = entry->rawText();
        snippet.weather = weekly::weatherWord(entry->sentimentScore());
        snippets << snippet;
    }

    run->future = generateInBackground<WeeklyResult>(
        this, run,
        [generate = m_weeklyGenerate, snippets, window, stop = run->stop.get_token()] {
            return generate(snippets, window.start, window.end, stop);
        },
        [this](const std::shared_ptr<WeeklyRun> &run, const WeeklyResult &result) {
            weeklyGenerationEnded(run, result);
        });
}

void InsightCoordinator::weeklyGenerationEnded(const std::shared_ptr<WeeklyRun> &run, const WeeklyResult &result)
{
    ModelContext &context = *run->context;
    WeeklyReflectionRecord *record = fetchWeeklyRecord(context, run->key);
    if (!record)
        return endWeeklyRun(run);

    if (run->cancelled()) {
        // Pre-empted by an entry: the step is asked for again once the
        // entries are done, so this one is merely waiting, not failed,
        // whatever the generator made of the cancellation.
        settle(context, *record, InsightStatus::Pending, std::nullopt);
        return endWeeklyRun(run);
    }

    if (result.outcome) {
        const WeeklyReflectionGenerator::Outcome &outcome = *result.outcome;
        record->setSummary(outcome.summary);
        record->setEmotionalArc(outcome.emotionalArc);
        record->setNotableMoments(outcome.notableMoments);
        record->setOverallSentiment(outcome.overallSentiment);
        record->setRecommendedFocus(outcome.recommendedFocus);
        record->setEntryFingerprint(run->fingerprint);
        record->setGeneratedAt(m_clock->now());
        record->setStatus(InsightStatus::Ready);
        record->setFailureMessage(std::nullopt);
        saveIgnoringErrors(context);
        return endWeeklyRun(run);
    }

    using Kind = WeeklyReflectionGenerator::GenerateError::Kind;
    std::optional<QString> lastError;
    try {
        std::rethrow_exception(result.error);
    } catch (const WeeklyReflectionGenerator::GenerateError &e) {
        switch (e.kind()) {
        case Kind::ContextTooLarge:
            record->setStatus(InsightStatus::Failed);
            record->setFailureMessage(QStringLiteral(
                "These past-7-day entries are very long. On-device reflection couldn’t fit them even after "
                "shortening. Tap Try again later."));
            lastError = QStringLiteral("Weekly context too large");
            break;
        case Kind::TimedOut:
            record->setStatus(InsightStatus::Failed);
            record->setFailureMessage(
                QStringLiteral("Weekly reflection is taking too long. Tap Try again when you’re ready."));
            lastError = QStringLiteral("Weekly timed out");
            break;
        case Kind::Unavailable:
            record->setStatus(InsightStatus::Unavailable);
            record->setFailureMessage(capabilitySentence());
            noteWaitingForModel({}, true);
            break;
        default:
            record->setStatus(InsightStatus::Failed);
            record->setFailureMessage(QStringLiteral("Reflection isn’t available right now."));
            lastError = e.description();
            break;
        }
    } catch (const CancellationError &) {
        record->setStatus(InsightStatus::Pending);
        record->setFailureMessage(std::nullopt);
    } catch (...) {
        record->setStatus(InsightStatus::Failed);
        record->setFailureMessage(QStringLiteral("Reflection isn’t available right now."));
        lastError = describe(std::current_exception());
    }
    saveIgnoringErrors(context);
    if (lastError)
        setLastError(lastError);
    endWeeklyRun(run);
}

void InsightCoordinator::endWeeklyRun(const std::shared_ptr<WeeklyRun> &run)
{
    if (m_weeklyTask == run)
        setWeeklyTask(nullptr);
    if (m_activeWeeklyRun == run)
        m_activeWeeklyRun.reset();
    finishProcessing();
}

// ---------------------------------------------------------------- setters

void InsightCoordinator::setIsProcessing(bool value)
{
    if (m_isProcessing == value)
        return;
    m_isProcessing = value;
    Q_EMIT isProcessingChanged();
}

void InsightCoordinator::setLastError(const std::optional<QString> &value)
{
    if (m_lastError == value)
        return;
    m_lastError = value;
    Q_EMIT lastErrorChanged();
}

void InsightCoordinator::setCurrentActivity(const std::optional<QString> &value)
{
    if (m_currentActivity == value)
        return;
    m_currentActivity = value;
    Q_EMIT currentActivityChanged();
}

void InsightCoordinator::setEntryQueue(const QList<QUuid> &queue)
{
    if (m_entryQueue == queue)
        return;
    m_entryQueue = queue;
    Q_EMIT entryQueueChanged();
}

void InsightCoordinator::setWeeklyRequested(bool requested)
{
    if (m_weeklyRequested == requested)
        return;
    m_weeklyRequested = requested;
    Q_EMIT weeklyRequestedChanged();
}

void InsightCoordinator::setRunning(bool value)
{
    if (m_running == value)
        return;
    m_running = value;
    Q_EMIT runningChanged();
}

void InsightCoordinator::setWeeklyTask(std::shared_ptr<WeeklyRun> task)
{
    if (m_weeklyTask == task)
        return;
    m_weeklyTask = std::move(task);
    Q_EMIT weeklyTaskChanged();
}

void InsightCoordinator::setEntryWorkTask(std::shared_ptr<EntryRun> task)
{
    if (m_entryWorkTask == task)
        return;
    m_entryWorkTask = std::move(task);
    Q_EMIT entryWorkTaskChanged();
}

void InsightCoordinator::setInFlight(const std::optional<QUuid> &id, const std::optional<QDateTime> &startedAt)
{
    if (m_inFlightEntryID != id) {
        m_inFlightEntryID = id;
        Q_EMIT inFlightEntryIDChanged();
    }
    if (m_inFlightStartedAt != startedAt) {
        m_inFlightStartedAt = startedAt;
        Q_EMIT inFlightStartedAtChanged();
    }
}

} // namespace zn
