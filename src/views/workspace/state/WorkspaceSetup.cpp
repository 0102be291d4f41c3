// Setting the workspace up when its window is shown: sessions wired, an
// interrupted draft brought back, stored scores refreshed.

#include "views/workspace/state/WorkspaceViewModel.h"

#include "core/EditorSession.h"
#include "core/InsightStatus.h"
#include "core/JournalEntry.h"
#include "core/JournalQueries.h"
#include "core/MoodAnalysis.h"
#include "core/TextUnits.h"
#include "platform/base/BackgroundWork.h"
#include "platform/store/ModelContainer.h"
#include "platform/store/ModelContext.h"
#include "platform/store/StoreQuery.h"
#include "reflections/CapabilityDetector.h"

#include <QHash>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>

#include <cmath>

namespace zn {

// What a re-score reads of an entry, copied so a worker thread can score it.
struct WorkspaceViewModel::RescoreItem
{
    QPointer<JournalEntry> entry;
    qint64 rowId = 0;
    QString text;
    double stored = 0.0;
    std::optional<double> modelScore;
};

struct WorkspaceViewModel::RescoreResult
{
    RescoreItem item;
    std::optional<double> newScore;
};

namespace {

using RescoreItem = WorkspaceViewModel::RescoreItem;
using RescoreResult = WorkspaceViewModel::RescoreResult;

// The slack absorbs binary rounding of scores typed as "0.08 apart".
constexpr double kSlack = 1e-9;

bool movesBeyondThreshold(double candidate, double stored)
{
    return std::abs(candidate - stored) > WorkspaceViewModel::kRescoreThreshold + kSlack;
}

bool sameScore(double a, double b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

std::optional<double> modelScoreOf(const JournalEntry &entry)
{
    return entry.insightStatus() == InsightStatus::Ready ? entry.insightOverallScore() : std::nullopt;
}

RescoreItem rescoreItem(JournalEntry *entry)
{
    return RescoreItem{entry, entry->rowId(), entry->rawText(), entry->sentimentScore(), modelScoreOf(*entry)};
}

// The same without reading a text not read yet (it is left null).
RescoreItem rescoreItemAsHeld(JournalEntry *entry)
{
    return RescoreItem{entry, entry->rowId(), entry->hasUnreadFields() ? QString() : entry->rawText(),
                       entry->sentimentScore(), modelScoreOf(*entry)};
}

// Pure and thread-safe: the mood analysis may run on several threads.
RescoreResult rescore(const RescoreItem &item)
{
    const double fresh = sentimentScore(item.text);
    double candidate;
    if (item.modelScore)
        candidate = reconcileScores(item.text, fresh, *item.modelScore);
    else
        candidate = (!std::isfinite(item.stored) || movesBeyondThreshold(fresh, item.stored)) ? fresh : item.stored;
    RescoreResult result{item, std::nullopt};
    // A stored score that is not a number is repaired, never kept.
    if (std::isfinite(candidate) && (!std::isfinite(item.stored) || movesBeyondThreshold(candidate, item.stored)))
        result.newScore = candidate;
    return result;
}

// Sets the new score of each result whose entry still holds what it was
// scored from (a new text, a reflection or an edit saved meanwhile wins);
// whether any was set.
bool setRescored(const QList<RescoreResult> &results, const std::function<JournalEntry *(const RescoreItem &)> &entryOf)
{
    bool changed = false;
    for (const RescoreResult &result : results) {
        if (!result.newScore)
            continue;
        JournalEntry *entry = entryOf(result.item);
        if (!entry || entry->isDeleted() || entry->isDraft())
            continue;
        if (entry->rawText() != result.item.text || !sameScore(entry->sentimentScore(), result.item.stored)
            || modelScoreOf(*entry) != result.item.modelScore)
            continue;
        entry->setSentimentScore(*result.newScore);
        changed = true;
    }
    return changed;
}

QList<JournalEntry *> finishedEntries(ModelContext &context)
{
    return context.fetch<JournalEntry>(finishedEntriesNewestFirstDescriptor());
}

// The re-score of `items` (the journal as the window held it) on a
// connection of its own: texts the window had not read yet are read there,
// every text is scored in parallel, and the new scores are written in one
// save with the store held, each only where the entry is still as it was
// when the items were taken. What the save wrote, or none when the store
// could not be reached so.
std::optional<StoreChanges> rescoreOnConnection(QList<RescoreItem> items,
                                                const ModelContainer::ConnectionOpener &openConnection)
{
    const auto byRow = [](ModelContext &context) {
        QHash<qint64, JournalEntry *> rows;
        for (JournalEntry *entry : finishedEntries(context))
            rows.insert(entry->rowId(), entry);
        return rows;
    };
    return ModelContainer::workOnAnotherConnection(openConnection, [&](ModelContainer &connection) {
        {
            ModelContext reading(&connection);
            const QHash<qint64, JournalEntry *> stored = byRow(reading);
            for (RescoreItem &item : items) {
                if (item.text.isNull())
                    if (JournalEntry *entry = stored.value(item.rowId))
                        item.text = entry->rawText();
            }
        }
        const QList<RescoreResult> results = QtConcurrent::blockingMapped(&backgroundPool(), items, rescore);
        if (std::none_of(results.cbegin(), results.cend(), [](const RescoreResult &r) { return r.newScore.has_value(); }))
            return;
        // Read again with the store held for the write: whatever the window
        // saved since is seen, and nothing lands in between.
        ModelContext writing(&connection);
        (void)writing.saveHoldingTheStore([&] {
            const QHash<qint64, JournalEntry *> stored = byRow(writing);
            setRescored(results, [&](const RescoreItem &item) { return stored.value(item.rowId); });
        });
    });
}

} // namespace

void WorkspaceViewModel::handleAppear()
{
    m_setUp = true;
    // Every entry from here on: set-up, lists, searches and summaries.
    m_allEntries->complete();
    m_editor->setModelContext(m_context);
    m_editor->setInsightCoordinator(m_insightCoordinator);
    configureVoiceSession();
    if (m_capability)
        m_capability->refresh();
    setDestination(WorkspaceDestination::Timeline);
    m_lastJournalDestination = WorkspaceDestination::Timeline;
    recoverOrphanedDrafts();
    rescoreEntries();
}

void WorkspaceViewModel::recoverOrphanedDrafts()
{
    // Only a program that holds the store alone may take a draft row for
    // one that no editor holds: another's could be its live draft.
    if (!m_context || !m_context->container() || !m_context->container()->ownsStore())
        return;
    // Draft rows that no editor holds were left by a crash or a kill. Their
    // text is in no list: the newest one with words becomes the entry being
    // written again; empty ones go; typed text is never deleted.
    const auto ownRow = m_editor->draftRowID();
    JournalEntry *newest = nullptr;
    bool removed = false;
    FetchDescriptor drafts = allEntriesNewestFirstDescriptor();
    drafts.predicate = Predicate::where(JournalEntry::IsDraft, CompareOp::Equal, true);
    for (JournalEntry *row : m_context->fetch<JournalEntry>(drafts)) {
        if (ownRow && row->id() == *ownRow)
            continue;
        if (text::isBlank(row->rawText())) {
            m_context->remove(row);
            removed = true;
        } else if (!newest) {
            newest = row;
        }
    }
    if (newest && m_editor->mode() == DetailMode::Empty) {
        const QString text = newest->rawText();
        // The old row goes in the same save that stores the new one, so
        // the text is on disk exactly once whatever happens.
        m_context->remove(newest);
        m_editor->startNewDraft(text);
        setSelection(std::nullopt);
        return;
    }
    if (removed)
        (void)m_context->save();
}

void WorkspaceViewModel::rescoreEntries()
{
    if (m_rescoreRunning)
        return;
    ModelContainer *container = m_context ? m_context->container() : nullptr;
    ModelContainer::ConnectionOpener openConnection = container ? container->connectionOpener() : nullptr;
    if (m_journalEntries.size() < m_backgroundRescoreMinimum || !openConnection) {
        rescoreHere();
        return;
    }
    // A long journal is scored and written off the UI thread, from what
    // the window holds now (texts it has not read yet are read there); back
    // here the window's context only learns which scores moved.
    QList<RescoreItem> items;
    items.reserve(m_journalEntries.size());
    for (JournalEntry *entry : std::as_const(m_journalEntries))
        items.append(rescoreItemAsHeld(entry));
    m_rescoreRunning = true;
    QPointer<WorkspaceViewModel> self(this);
    QPointer<ModelContainer> target(container);
    runThenOnMainThread(
        storeWorkPool(),
        [items = std::move(items), openConnection] { return rescoreOnConnection(items, openConnection); },
        [self, target](const std::optional<StoreChanges> &written) {
            if (written && target)
                target->announceChanges(*written);
            if (!self)
                return;
            self->m_rescoreRunning = false;
            if (written)
                Q_EMIT self->rescoreFinished();
            else
                self->rescoreHere();
        });
}

void WorkspaceViewModel::rescoreHere()
{
    QList<RescoreResult> results;
    results.reserve(m_journalEntries.size());
    for (JournalEntry *entry : std::as_const(m_journalEntries))
        results.append(rescore(rescoreItem(entry)));
    // One save for the whole journal; a refused save keeps the new scores
    // in the context for the next one.
    if (setRescored(results, [](const RescoreItem &item) { return item.entry.data(); }) && m_context)
        (void)m_context->save();
    Q_EMIT rescoreFinished();
}

} // namespace zn
