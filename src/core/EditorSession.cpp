#include "core/EditorSession.h"

#include "core/InsightQueue.h"
#include "core/JournalEntry.h"
#include "core/JournalQueries.h"
#include "core/MoodAnalysis.h"
#include "core/TextUnits.h"
#include "platform/store/ModelContext.h"

#include <cmath>
#include <utility>

namespace zn {
namespace {

// A stored score moves only when a fresh analysis disagrees by more than
// this; the slack absorbs binary rounding of values typed as "0.08 away".
constexpr double kScoreRefreshThreshold = 0.08;
constexpr double kScoreRefreshSlack = 1e-9;

// The fields a commit writes, so a commit whose save failed can put the
// entry back as the store has it: the editor keeps the text for a retry, and
// no later save of the shared context writes a half-done commit behind the
// editor's back.
class CommitSnapshot
{
public:
    explicit CommitSnapshot(const JournalEntry &entry)
        : m_timestamp(entry.timestamp())
        , m_rawText(entry.rawText())
        , m_score(entry.sentimentScore())
        , m_keywords(entry.keywordFrequenciesData())
        , m_isDraft(entry.isDraft())
        , m_insightText(entry.insightText())
        , m_generatedAt(entry.insightGeneratedAt())
        , m_statusRaw(entry.insightStatusRaw())
        , m_failure(entry.insightFailureMessage())
        , m_themes(entry.themesData())
        , m_tone(entry.insightEmotionalTone())
        , m_keyPoints(entry.insightKeyPointsData())
        , m_overallSentiment(entry.insightOverallSentiment())
        , m_closingFocus(entry.insightClosingFocus())
        , m_overallScore(entry.insightOverallScore())
        , m_schemaVersion(entry.insightSchemaVersion())
    {
    }

    void restore(JournalEntry &entry) const
    {
        entry.setTimestamp(m_timestamp);
        entry.setRawText(m_rawText);
        entry.setSentimentScore(m_score);
        entry.setKeywordFrequenciesData(m_keywords);
        entry.setIsDraft(m_isDraft);
        entry.setInsightText(m_insightText);
        entry.setInsightGeneratedAt(m_generatedAt);
        entry.setInsightStatusRaw(m_statusRaw);
        entry.setInsightFailureMessage(m_failure);
        entry.setThemesData(m_themes);
        entry.setInsightEmotionalTone(m_tone);
        entry.setInsightKeyPointsData(m_keyPoints);
        entry.setInsightOverallSentiment(m_overallSentiment);
        entry.setInsightClosingFocus(m_closingFocus);
        entry.setInsightOverallScore(m_overallScore);
        entry.setInsightSchemaVersion(m_schemaVersion);
    }

private:
    QDateTime m_timestamp;
    QString m_rawText;
    double m_score;
    QByteArray m_keywords;
    bool m_isDraft;
    std::optional<QString> m_insightText;
    std::optional<QDateTime> m_generatedAt;
    QString m_statusRaw;
    std::optional<QString> m_failure;
    QByteArray m_themes;
    std::optional<QString> m_tone;
    QByteArray m_keyPoints;
    std::optional<QString> m_overallSentiment;
    std::optional<QString> m_closingFocus;
    std::optional<double> m_overallScore;
    int m_schemaVersion;
};

std::optional<double> liveScore(const QString &text)
{
    const auto analysis = analyzeText(text);
    if (!analysis)
        return std::nullopt;
    return analysis->score;
}

} // namespace

EditorSession::EditorSession(QObject *parent)
    : EditorSession(Clock::system(), parent)
{
}

EditorSession::EditorSession(Clock &clock, QObject *parent)
    : QObject(parent)
    , m_clock(&clock)
    , m_autosaveTimer(clock, this)
    , m_autosaveDeadlineTimer(clock, this)
    , m_savedIndicatorTimer(clock, this)
    , m_liveMood(clock)
{
    // A long text is analysed for storing while the user pauses, so its
    // commit does not analyse it on the UI thread.
    m_liveMood.setPrefetchesEntryAnalysis(true);
    connect(&m_liveMood, &LiveMoodRunner::analyzed, this, [this](const QString &, double score) {
        setLiveSentiment(score);
        setLiveWeather(weatherLabelForScore(score));
    });
}

EditorSession::~EditorSession()
{
    cancelTasks();
}

// --- properties -----------------------------------------------------------

void EditorSession::setMode(DetailMode mode)
{
    if (m_mode == mode)
        return;
    m_mode = mode;
    emit modeChanged(mode);
    updateHasDraftText();
}

void EditorSession::setSelectedEntryID(const std::optional<QUuid> &id)
{
    if (m_selectedEntryID == id)
        return;
    m_selectedEntryID = id;
    emit selectedEntryIDChanged();
}

void EditorSession::setSaveStatus(const SaveStatus &status)
{
    if (m_saveStatus == status)
        return;
    m_saveStatus = status;
    emit saveStatusChanged();
}

void EditorSession::setDraftText(const QString &text)
{
    if (m_draftText == text)
        return;
    m_draftText = text;
    emit draftTextChanged(text);
    updateHasDraftText();
    onDraftTextChanged();
}

void EditorSession::setLiveSentiment(double score)
{
    // Bitwise-equal NaNs are no change either.
    if (m_liveSentiment == score || (std::isnan(m_liveSentiment) && std::isnan(score)))
        return;
    m_liveSentiment = score;
    emit liveSentimentChanged(score);
}

void EditorSession::setLiveWeather(WeatherLabel label)
{
    if (m_liveWeather == label)
        return;
    m_liveWeather = label;
    emit liveWeatherChanged(label);
}

void EditorSession::setHasPendingAutosave(bool pending)
{
    if (m_hasPendingAutosave == pending)
        return;
    m_hasPendingAutosave = pending;
    emit hasPendingAutosaveChanged(pending);
}

void EditorSession::setCommittedBaselineText(const QString &text)
{
    if (m_committedBaselineText == text)
        return;
    m_committedBaselineText = text;
    emit committedBaselineTextChanged();
}

void EditorSession::setDraftRowID(const std::optional<QUuid> &id)
{
    if (m_draftRowID == id)
        return;
    m_draftRowID = id;
    emit draftRowIDChanged();
}

void EditorSession::setModelContext(ModelContext *context)
{
    if (m_modelContext == context)
        return;
    m_modelContext = context;
    emit modelContextChanged();
}

InsightQueue *EditorSession::insightCoordinator() const
{
    if (m_insightCoordinatorIsObject && !m_insightCoordinatorObject)
        return nullptr;
    return m_insightCoordinator;
}

void EditorSession::setInsightCoordinator(InsightQueue *queue)
{
    if (insightCoordinator() == queue)
        return;
    m_insightCoordinator = queue;
    m_insightCoordinatorObject = dynamic_cast<QObject *>(queue);
    m_insightCoordinatorIsObject = m_insightCoordinatorObject != nullptr;
    emit insightCoordinatorChanged();
}

bool EditorSession::hasDraftText() const
{
    return m_mode == DetailMode::ComposingDraft && !text::isBlank(m_draftText);
}

void EditorSession::updateHasDraftText()
{
    const bool now = hasDraftText();
    if (now == m_hasDraftText)
        return;
    m_hasDraftText = now;
    emit hasDraftTextChanged(now);
}

bool EditorSession::isLiveMoodScheduled() const
{
    return m_liveMood.isPending();
}

// --- debounces ------------------------------------------------------------

void EditorSession::onDraftTextChanged()
{
    const bool writing = m_mode == DetailMode::Editing || m_mode == DetailMode::ComposingDraft;
    if (writing) {
        setHasPendingAutosave(true);
        // The mode is read when the timer fires, not now. The pause restarts
        // with every change; the longest wait runs from the first change
        // not yet saved. Either saves from the event loop, never inside the
        // keystroke that made it due.
        m_autosaveTimer.start(kAutosaveDelay, [this] { runAutosave(); });
        if (!m_autosaveDeadlineTimer.isActive())
            m_autosaveDeadlineTimer.start(kAutosaveLongestWait, [this] { runAutosave(); });
    }

    // A result for the text before this change must not land any more.
    m_liveMood.cancel();
    if (writing)
        m_liveMood.schedule(m_draftText, kLiveMoodDelay);
}

void EditorSession::runAutosave()
{
    m_autosaveTimer.stop();
    m_autosaveDeadlineTimer.stop();
    if (m_mode == DetailMode::Editing)
        commitDraft(false);
    else if (m_mode == DetailMode::ComposingDraft)
        saveDraftRow();
}

void EditorSession::showSavedIndicator()
{
    setSaveStatus(SaveStatus::saved());
    m_savedIndicatorTimer.start(kSavedIndicatorDelay, [this] {
        if (m_saveStatus == SaveStatus::saved())
            setSaveStatus(SaveStatus::idle());
    });
}

void EditorSession::cancelAutosave()
{
    m_autosaveTimer.stop();
    m_autosaveDeadlineTimer.stop();
}

void EditorSession::cancelTasks()
{
    cancelAutosave();
    m_savedIndicatorTimer.stop();
    // Also drops an analysis already running, so nothing lands after the
    // session moved on.
    m_liveMood.cancel();
}

// --- store ----------------------------------------------------------------

JournalEntry *EditorSession::fetchEntry(const std::optional<QUuid> &id) const
{
    if (!m_modelContext || !id)
        return nullptr;
    return zn::fetchEntry(*m_modelContext, *id);
}

void EditorSession::saveDraftRow()
{
    if (m_mode != DetailMode::ComposingDraft || !m_modelContext || !m_draftRowID)
        return;
    JournalEntry *row = fetchEntry(m_draftRowID);
    if (!row)
        return;
    // As typed: trimming happens only when the draft is committed.
    row->setRawText(m_draftText);
    row->setIsDraft(true);
    // The editor shows nothing of a refusal here (a commit will); a flush
    // before quitting asks for it.
    if (auto error = m_modelContext->save())
        m_lastSaveError = std::move(error);
    setHasPendingAutosave(false);
}

void EditorSession::discardDraftRow()
{
    if (m_modelContext && m_draftRowID) {
        JournalEntry *row = fetchEntry(m_draftRowID);
        // A committed row is a real entry now and stays.
        if (row && row->isDraft()) {
            m_modelContext->remove(row);
            (void)m_modelContext->save();
        }
    }
    setDraftRowID(std::nullopt);
}

bool EditorSession::commitDraft(bool leaveEditing)
{
    if (!m_modelContext)
        return false;
    const QString text = text::trimmed(m_draftText);
    if (text.isEmpty()) {
        setSaveStatus(SaveStatus::idle());
        return false;
    }
    setSaveStatus(SaveStatus::saving());

    if (m_mode != DetailMode::ComposingDraft) {
        JournalEntry *entry = fetchEntry(m_selectedEntryID);
        if (!entry) {
            setSaveStatus(SaveStatus::error(QStringLiteral("Entry not found")));
            return false;
        }
        // Re-applying the same text would reset a finished reflection to
        // pending, and one that no model here can write again is then lost.
        const bool textChanged = entry->rawText() != text;
        const CommitSnapshot before(*entry);
        if (textChanged)
            applyText(*entry, text);
        if (completeCommit(entry, leaveEditing, textChanged))
            return true;
        before.restore(*entry);
        return false;
    }

    const QDateTime now = m_clock->now();
    if (JournalEntry *row = fetchEntry(m_draftRowID)) {
        // Unsaved, the row must stay a draft so leaving can still discard it.
        const CommitSnapshot before(*row);
        row->setIsDraft(false);
        row->setTimestamp(now);
        applyText(*row, text);
        if (completeCommit(row, leaveEditing, true))
            return true;
        before.restore(*row);
        return false;
    }

    auto created = std::make_unique<JournalEntry>(QUuid::createUuid(), now, text, std::nullopt, 0.0,
                                                  KeywordFrequencies{}, std::nullopt, QStringList{},
                                                  false);
    applyText(*created, text);
    JournalEntry *entry = m_modelContext->insert(std::move(created));
    if (completeCommit(entry, leaveEditing, true))
        return true;
    // Withdraw the unsaved insert, or a retry would store the entry twice.
    m_modelContext->remove(entry);
    return false;
}

void EditorSession::applyText(JournalEntry &entry, const QString &trimmedText)
{
    if (const auto ahead = m_liveMood.entryAnalysis(trimmedText))
        applyEntryAnalysis(entry, *ahead);
    else
        applyEntryText(entry, trimmedText);
}

bool EditorSession::completeCommit(JournalEntry *entry, bool leaveEditing, bool textChanged)
{
    if (const auto error = m_modelContext->save()) {
        m_lastSaveError = error;
        setSaveStatus(SaveStatus::error(error->description()));
        return false;
    }
    const QUuid id = entry->id();
    const QString raw = entry->rawText();
    const double score = entry->sentimentScore();
    const bool isDraft = entry->isDraft();

    setSelectedEntryID(id);
    setDraftRowID(std::nullopt);
    setCommittedBaselineText(raw);
    setDraftText(raw);
    setLiveSentiment(score);
    setLiveWeather(weatherLabelForScore(score));
    setMode(leaveEditing ? DetailMode::Reading : DetailMode::Editing);
    setHasPendingAutosave(false);
    showSavedIndicator();
    if (InsightQueue *queue = insightCoordinator(); queue && !isDraft && textChanged)
        queue->enqueueEntry(id);
    return true;
}

// --- operations -----------------------------------------------------------

void EditorSession::openEntry(JournalEntry *entry, bool editing)
{
    if (!entry || !flushBeforeLeaving())
        return;
    if (m_mode == DetailMode::ComposingDraft)
        discardDraftRow();
    cancelTasks();

    const QString raw = entry->rawText();
    setSelectedEntryID(entry->id());
    setDraftRowID(std::nullopt);
    setDraftText(raw);
    setCommittedBaselineText(raw);

    const double fresh = sentimentScore(raw);
    double candidate = fresh;
    const std::optional<double> modelScore = entry->insightOverallScore();
    if (entry->insightStatus() == InsightStatus::Ready && modelScore)
        candidate = reconcileScores(raw, fresh, *modelScore);
    const double stored = entry->sentimentScore();
    if (std::isfinite(candidate)
        && (!std::isfinite(stored)
            || std::abs(candidate - stored) > kScoreRefreshThreshold + kScoreRefreshSlack)) {
        entry->setSentimentScore(candidate);
        ModelContext *context = entry->modelContext() ? entry->modelContext() : m_modelContext.data();
        if (context)
            (void)context->save();
    }

    const double score = entry->sentimentScore();
    setLiveSentiment(score);
    setLiveWeather(weatherLabelForScore(score));
    setMode(editing ? DetailMode::Editing : DetailMode::Reading);
    setSaveStatus(SaveStatus::idle());
    setHasPendingAutosave(false);
}

void EditorSession::startNewDraft(const QString &initialText)
{
    if (!flushBeforeLeaving())
        return;
    if (m_mode == DetailMode::ComposingDraft)
        discardDraftRow();
    cancelTasks();
    if (!m_modelContext)
        return;

    auto created = std::make_unique<JournalEntry>(QUuid::createUuid(), m_clock->now(), initialText,
                                                  std::nullopt, 0.0, KeywordFrequencies{},
                                                  std::nullopt, QStringList{}, true);
    JournalEntry *row = m_modelContext->insert(std::move(created));
    (void)m_modelContext->save();

    setSelectedEntryID(std::nullopt);
    setDraftRowID(row->id());
    setDraftText(initialText);
    setCommittedBaselineText(QString());

    std::optional<double> score;
    if (!text::isBlank(initialText))
        score = liveScore(initialText);
    setLiveSentiment(score.value_or(0.0));
    setLiveWeather(score ? weatherLabelForScore(*score) : WeatherLabel::Overcast);

    setMode(DetailMode::ComposingDraft);
    setSaveStatus(SaveStatus::idle());
    setHasPendingAutosave(false);
}

void EditorSession::beginEditing()
{
    if (m_mode == DetailMode::Reading && m_selectedEntryID)
        setMode(DetailMode::Editing);
}

void EditorSession::flushPendingEdits()
{
    cancelAutosave();
    if (m_mode == DetailMode::Editing) {
        if (m_draftText != m_committedBaselineText)
            commitDraft(false);
    } else if (m_mode == DetailMode::ComposingDraft) {
        if (!text::isBlank(m_draftText))
            saveDraftRow();
    }
}

bool EditorSession::flushBeforeLeaving()
{
    if (m_mode != DetailMode::Editing)
        return true;
    // Only a refused store save holds the editor back: an entry that no
    // longer exists, or a session without a store, has nowhere to save to.
    return !flushBeforeQuitting();
}

std::optional<StoreError> EditorSession::flushBeforeQuitting()
{
    m_lastSaveError.reset();
    flushPendingEdits();
    return std::exchange(m_lastSaveError, std::nullopt);
}

void EditorSession::clearSelection()
{
    if (!flushBeforeLeaving())
        return;
    cancelTasks();
    if (m_mode == DetailMode::ComposingDraft)
        discardDraftRow();

    // The mode goes first so emptying the text schedules nothing.
    setMode(DetailMode::Empty);
    setSelectedEntryID(std::nullopt);
    setDraftRowID(std::nullopt);
    setDraftText(QString());
    setCommittedBaselineText(QString());
    setLiveSentiment(0.0);
    setLiveWeather(WeatherLabel::Overcast);
    setSaveStatus(SaveStatus::idle());
    setHasPendingAutosave(false);
}

void EditorSession::selectAdjacentEntry(const QList<JournalEntry *> &entries, int offset)
{
    if (m_mode == DetailMode::Editing) {
        if (!flushBeforeLeaving())
            return;
    } else {
        if (hasDraftText())
            return;
        discardDraftRow();
    }

    QList<JournalEntry *> list;
    for (JournalEntry *entry : entries)
        if (entry)
            list.append(entry);
    if (list.isEmpty()) {
        clearSelection();
        return;
    }

    qsizetype index = -1;
    if (m_selectedEntryID) {
        for (qsizetype i = 0; i < list.size(); ++i) {
            if (list[i]->id() == *m_selectedEntryID) {
                index = i;
                break;
            }
        }
    }
    if (index < 0) {
        openEntry(list.first(), false);
        return;
    }
    const qint64 target = std::clamp<qint64>(qint64(index) + offset, 0, list.size() - 1);
    openEntry(list[target], false);
}

} // namespace zn
