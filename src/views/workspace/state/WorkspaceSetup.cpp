// Setting the workspace up when its window is shown: sessions wired, an
// interrupted draft brought back, stored scores refreshed.

#include "views/workspace/state/WorkspaceViewModel.h"

#include "core/EditorSession.h"
#include "core/InsightStatus.h"
#include "core/JournalEntry.h"
#include "core/JournalQueries.h"
#include "core/MoodAnalysis.h"
#include "core/TextUnits.h"
#include "platform/store/ModelContainer.h"
#include "platform/store/ModelContext.h"
#include "platform/store/StoreQuery.h"
#include "reflections/CapabilityDetector.h"

#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentMap>

#include <cmath>

namespace zn {

// What a re-score reads of an entry, copied so a worker thread can score it.
struct WorkspaceViewModel::RescoreItem
{
    QPointer<JournalEntry> entry;
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

} // namespace

void WorkspaceViewModel::handleAppear()
{
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
    for (JournalEntry *row : fetchAllEntries(*m_context)) {
        if (!row->isDraft() || (ownRow && row->id() == *ownRow))
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
    QList<RescoreItem> items;
    items.reserve(m_journalEntries.size());
    for (JournalEntry *entry : std::as_const(m_journalEntries)) {
        RescoreItem item{entry, entry->rawText(), entry->sentimentScore(), std::nullopt};
        if (entry->insightStatus() == InsightStatus::Ready)
            item.modelScore = entry->insightOverallScore();
        items.append(std::move(item));
    }

    // Pure and thread-safe: the mood analysis may run on several threads.
    auto score = [](const RescoreItem &item) {
        const double fresh = sentimentScore(item.text);
        double candidate;
        if (item.modelScore)
            candidate = reconcileScores(item.text, fresh, *item.modelScore);
        else
            candidate = (!std::isfinite(item.stored) || movesBeyondThreshold(fresh, item.stored)) ? fresh
                                                                                                  : item.stored;
        RescoreResult result{item, std::nullopt};
        // A stored score that is not a number is repaired, never kept.
        if (std::isfinite(candidate) && (!std::isfinite(item.stored) || movesBeyondThreshold(candidate, item.stored)))
            result.newScore = candidate;
        return result;
    };

    if (items.size() < m_backgroundRescoreMinimum) {
        QList<RescoreResult> results;
        results.reserve(items.size());
        for (const RescoreItem &item : std::as_const(items))
            results.append(score(item));
        applyRescore(results);
        return;
    }

    // A long journal is scored on the worker pool and applied back here.
    m_rescoreRunning = true;
    auto *watcher = new QFutureWatcher<RescoreResult>(this);
    connect(watcher, &QFutureWatcher<RescoreResult>::finished, this, [this, watcher] {
        watcher->deleteLater();
        m_rescoreRunning = false;
        applyRescore(watcher->future().results());
    });
    watcher->setFuture(QtConcurrent::mapped(std::move(items), score));
}

void WorkspaceViewModel::applyRescore(const QList<RescoreResult> &results)
{
    bool changed = false;
    for (const RescoreResult &result : results) {
        JournalEntry *entry = result.item.entry;
        if (!result.newScore || !entry || entry->isDeleted() || entry->isDraft())
            continue;
        // Saved meanwhile (a new text, a reflection, an edit): that wins.
        const std::optional<double> modelScore = entry->insightStatus() == InsightStatus::Ready
            ? entry->insightOverallScore()
            : std::nullopt;
        if (entry->rawText() != result.item.text || !sameScore(entry->sentimentScore(), result.item.stored)
            || modelScore != result.item.modelScore)
            continue;
        entry->setSentimentScore(*result.newScore);
        changed = true;
    }
    // One save for the whole journal; a refused save keeps the new scores
    // in the context for the next one.
    if (changed && m_context)
        (void)m_context->save();
    Q_EMIT rescoreFinished();
}

} // namespace zn
