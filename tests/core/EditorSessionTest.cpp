#include "core/EditorSession.h"

#include "core/InsightQueue.h"
#include "core/JournalEntry.h"
#include "core/JournalQueries.h"
#include "core/MoodAnalysis.h"
#include "core/StoreFactory.h"
#include "core/TextUnits.h"
#include "MoodFakes.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>

using namespace std::chrono_literals;

static void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace zn {

// Readable failure messages for save states.
static void PrintTo(const SaveStatus &status, std::ostream *os)
{
    static const char *const names[] = {"error", "idle", "saving", "saved"};
    *os << names[int(status.kind())];
    if (status.isError())
        *os << '(' << status.message().toStdString() << ')';
}

namespace {

class RecordingQueue final : public InsightQueue
{
public:
    void enqueueEntry(const QUuid &entryId) override { ids.append(entryId); }
    QList<QUuid> ids;
};

// The real tagger, counting how often it is asked.
class CountingSentimentTagger final : public language::SentimentTagger
{
public:
    explicit CountingSentimentTagger(std::shared_ptr<const language::SentimentTagger> real)
        : m_real(std::move(real))
    {
    }
    language::SentimentTags tag(const QString &text, const QString &lang) const override
    {
        ++m_calls;
        return m_real->tag(text, lang);
    }
    int calls() const { return m_calls; }

private:
    std::shared_ptr<const language::SentimentTagger> m_real;
    mutable std::atomic<int> m_calls{0};
};

const QString kHappy = QStringLiteral("What a wonderful, happy morning with my lovely family at the sunny beach.");
const QString kGloomy = QStringLiteral("Everything went wrong today and I feel miserable, lonely and exhausted.");

class EditorSessionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        StoreError error;
        auto made = makeStoreContainerIn(m_dir.path(), &error);
        ASSERT_TRUE(made.has_value()) << error.description().toStdString();
        m_container = made->container;
        m_context = m_container->mainContext();
        m_session = std::make_unique<EditorSession>(m_clock);
        m_session->setModelContext(m_context);
        m_session->setInsightCoordinator(&m_queue);
        QObject::connect(m_session.get(), &EditorSession::saveStatusChanged, m_session.get(),
                         [this] { m_statuses.append(m_session->saveStatus()); });
    }

    // What reached the store file, through a context of its own.
    JournalEntry *stored(const QUuid &id)
    {
        m_readers.push_back(std::make_unique<ModelContext>(m_container.get()));
        return fetchEntry(*m_readers.back(), id);
    }

    int storedCount()
    {
        m_readers.push_back(std::make_unique<ModelContext>(m_container.get()));
        return int(fetchAllEntries(*m_readers.back()).size());
    }

    // A saved entry, as the views' context hands it out.
    JournalEntry *seed(const QString &text, double score = 0.0)
    {
        auto entry = std::make_unique<JournalEntry>(QUuid::createUuid(), m_clock.now(), text, std::nullopt,
                                                    score, KeywordFrequencies{}, std::nullopt,
                                                    QStringList{}, false);
        JournalEntry *inserted = m_context->insert(std::move(entry));
        EXPECT_FALSE(m_context->save().has_value());
        return inserted;
    }

    // Every save refuses with `message` until the injector is cleared.
    void failSaves(const QString &message)
    {
        m_container->setSaveFailureInjector(
            [message] { return std::optional<StoreError>(StoreError(StoreError::Code::SaveFailed, message)); });
    }

    bool waitForLiveMood()
    {
        return test::waitUntil([this] { return !m_session->isLiveMoodScheduled(); });
    }

    test::TempDir m_dir;
    ManualClock m_clock;
    std::shared_ptr<ModelContainer> m_container;
    ModelContext *m_context = nullptr;
    std::vector<std::unique_ptr<ModelContext>> m_readers;
    RecordingQueue m_queue;
    std::unique_ptr<EditorSession> m_session;
    QList<SaveStatus> m_statuses;
};

} // namespace

TEST_F(EditorSessionTest, StartsEmpty)
{
    EditorSession fresh;
    EXPECT_EQ(fresh.mode(), DetailMode::Empty);
    EXPECT_FALSE(fresh.selectedEntryID());
    EXPECT_EQ(fresh.saveStatus(), SaveStatus::idle());
    EXPECT_TRUE(fresh.draftText().isEmpty());
    EXPECT_EQ(fresh.liveSentiment(), 0.0);
    EXPECT_EQ(fresh.liveWeather(), WeatherLabel::Overcast);
    EXPECT_FALSE(fresh.hasPendingAutosave());
    EXPECT_EQ(fresh.modelContext(), nullptr);
    EXPECT_EQ(fresh.insightCoordinator(), nullptr);
    EXPECT_FALSE(fresh.draftRowID());
    EXPECT_FALSE(fresh.hasDraftText());
}

TEST_F(EditorSessionTest, TypingInEditingCommitsOnceAfterThePause)
{
    JournalEntry *entry = seed(QStringLiteral("Old words."));
    m_session->openEntry(entry, true);
    ASSERT_EQ(m_session->mode(), DetailMode::Editing);

    // Two changes a second apart: within the longest wait, so only the
    // pause saves.
    QString typed = QStringLiteral("Old words.");
    for (int i = 0; i < 2; ++i) {
        typed += QStringLiteral(" more");
        m_session->setDraftText(typed);
        EXPECT_TRUE(m_session->hasPendingAutosave());
        m_clock.advance(1000ms);
    }
    EXPECT_EQ(stored(entry->id())->rawText(), "Old words.");
    EXPECT_TRUE(m_queue.ids.isEmpty());
    EXPECT_TRUE(m_statuses.isEmpty());

    m_clock.advance(199ms);
    EXPECT_TRUE(m_queue.ids.isEmpty());
    m_clock.advance(1ms);
    EXPECT_EQ(m_queue.ids, QList<QUuid>{entry->id()});
    JournalEntry *saved = stored(entry->id());
    EXPECT_EQ(saved->rawText(), typed);
    EXPECT_EQ(saved->sentimentScore(), sentimentScore(typed));
    EXPECT_EQ(saved->keywordFrequencies(), extractKeywords(typed));
    EXPECT_EQ(saved->insightStatus(), InsightStatus::Pending);
    EXPECT_FALSE(m_session->hasPendingAutosave());
    EXPECT_EQ(m_session->mode(), DetailMode::Editing);
    EXPECT_EQ(m_session->committedBaselineText(), typed);
    EXPECT_EQ(m_statuses, (QList<SaveStatus>{SaveStatus::saving(), SaveStatus::saved()}));

    m_clock.advance(1999ms);
    EXPECT_EQ(m_session->saveStatus(), SaveStatus::saved());
    m_clock.advance(1ms);
    EXPECT_EQ(m_session->saveStatus(), SaveStatus::idle());
    m_clock.advance(10s);
    EXPECT_EQ(m_queue.ids.size(), 1);
}

TEST_F(EditorSessionTest, SteadyWritingIsNeverMoreThanThreeSecondsFromTheStore)
{
    // A keystroke every 250 ms for ten seconds: no pause ever reaches 1.2 s.
    // Whatever was typed 3 s ago is stored at every moment, and no keystroke
    // saves by itself.
    const auto writeSteadily = [this](const QUuid &id, const QString &start) {
        struct Typed {
            QDateTime at;
            QString text;
        };
        QList<Typed> history;
        QString typed = start;
        int saves = 0;
        const auto counter = QObject::connect(m_context, &ModelContext::didSave, [&] { ++saves; });
        for (int i = 0; i < 40; ++i) {
            typed += i % 6 == 5 ? QStringLiteral(" ") : QStringLiteral("w");
            const int before = saves;
            m_session->setDraftText(typed);
            EXPECT_EQ(saves, before) << "a keystroke saved";
            history.append({m_clock.now(), typed});
            m_clock.advance(250ms);
            const QString stored = this->stored(id)->rawText();
            for (const Typed &t : std::as_const(history)) {
                if (t.at.msecsTo(m_clock.now()) >= 3000) {
                    EXPECT_TRUE(stored.startsWith(text::trimmed(t.text))) << i << ": " << stored.toStdString();
                }
            }
        }
        QObject::disconnect(counter);
        // One save per longest wait, not one per keystroke.
        EXPECT_GE(saves, 3);
        EXPECT_LE(saves, 4);
        return typed;
    };

    m_session->startNewDraft();
    const QUuid rowId = *m_session->draftRowID();
    const QString composed = writeSteadily(rowId, QString());
    EXPECT_TRUE(stored(rowId)->isDraft());
    EXPECT_TRUE(m_statuses.isEmpty());
    // The pause still saves the rest, once.
    m_clock.advance(1200ms);
    EXPECT_EQ(stored(rowId)->rawText(), composed);
    EXPECT_EQ(m_clock.pendingCount(), 0);

    // Editing commits the same way, a reflection asked for with each commit.
    JournalEntry *entry = seed(QStringLiteral("Old words."));
    m_session->openEntry(entry, true);
    m_statuses.clear();
    const QString edited = writeSteadily(entry->id(), QStringLiteral("Old words."));
    EXPECT_GE(m_queue.ids.size(), 3);
    EXPECT_TRUE(m_statuses.contains(SaveStatus::saved()));
    m_clock.advance(1200ms);
    EXPECT_EQ(stored(entry->id())->rawText(), text::trimmed(edited));
}

TEST_F(EditorSessionTest, AFlushBeforeQuittingSaysWhyTheStoreRefusedAnEdit)
{
    // Nothing pending: nothing to say.
    EXPECT_FALSE(m_session->flushBeforeQuitting());

    // The refusal also shows beside the editor; the text stays to be saved.
    JournalEntry *entry = seed(QStringLiteral("Before"));
    m_session->openEntry(entry, true);
    m_session->setDraftText(kGloomy);
    failSaves(QStringLiteral("No space left on device"));
    const auto refused = m_session->flushBeforeQuitting();
    ASSERT_TRUE(refused);
    EXPECT_TRUE(refused->description().contains(QStringLiteral("No space left on device")));
    EXPECT_TRUE(m_session->saveStatus().isError());
    EXPECT_EQ(m_session->draftText(), kGloomy);
    m_container->setSaveFailureInjector({});
    EXPECT_FALSE(m_session->flushBeforeQuitting());
    EXPECT_EQ(stored(entry->id())->rawText(), kGloomy);
}

TEST_F(EditorSessionTest, ComposingAutosavesTheRawTextIntoTheDraftRow)
{
    m_session->startNewDraft();
    ASSERT_EQ(m_session->mode(), DetailMode::ComposingDraft);
    ASSERT_TRUE(m_session->draftRowID());
    EXPECT_FALSE(m_session->selectedEntryID());
    const QUuid rowId = *m_session->draftRowID();
    EXPECT_TRUE(stored(rowId)->isDraft());

    m_session->setDraftText(QStringLiteral("  first thoughts"));
    m_clock.advance(1200ms);
    EXPECT_EQ(stored(rowId)->rawText(), "  first thoughts");
    m_session->setDraftText(kHappy + QStringLiteral("  \n"));
    m_clock.advance(1200ms);

    JournalEntry *row = stored(rowId);
    EXPECT_EQ(row->rawText(), kHappy + QStringLiteral("  \n"));
    EXPECT_TRUE(row->isDraft());
    EXPECT_EQ(row->sentimentScore(), 0.0);
    EXPECT_TRUE(row->keywordFrequencies().isEmpty());
    EXPECT_TRUE(m_statuses.isEmpty());
    EXPECT_TRUE(m_queue.ids.isEmpty());
    EXPECT_FALSE(m_session->hasPendingAutosave());
    EXPECT_TRUE(m_session->hasDraftText());

    // Leaving discards the row even though the autosave filled it.
    m_session->clearSelection();
    EXPECT_EQ(stored(rowId), nullptr);
    EXPECT_EQ(m_session->mode(), DetailMode::Empty);
    EXPECT_FALSE(m_session->draftRowID());
    EXPECT_EQ(m_clock.pendingCount(), 0);
}

TEST_F(EditorSessionTest, CommittedDraftBecomesAnEntryAndStays)
{
    m_clock.advance(1h);
    m_session->startNewDraft();
    const QUuid rowId = *m_session->draftRowID();
    m_session->setDraftText(QStringLiteral("\n") + kHappy + QStringLiteral("   "));
    ASSERT_TRUE(m_session->commitDraft(true));

    JournalEntry *entry = stored(rowId);
    ASSERT_NE(entry, nullptr);
    EXPECT_FALSE(entry->isDraft());
    EXPECT_EQ(entry->rawText(), kHappy);
    EXPECT_EQ(entry->timestamp(), m_clock.now());
    EXPECT_EQ(entry->insightStatus(), InsightStatus::Pending);
    EXPECT_EQ(m_session->selectedEntryID(), rowId);
    EXPECT_FALSE(m_session->draftRowID());
    EXPECT_EQ(m_session->draftText(), kHappy);
    EXPECT_EQ(m_session->committedBaselineText(), kHappy);
    EXPECT_EQ(m_session->liveSentiment(), entry->sentimentScore());
    EXPECT_EQ(m_session->liveWeather(), weatherLabelForScore(entry->sentimentScore()));
    EXPECT_EQ(m_session->mode(), DetailMode::Reading);
    EXPECT_EQ(m_queue.ids, QList<QUuid>{rowId});

    m_session->clearSelection();
    m_clock.advance(5s);
    EXPECT_NE(stored(rowId), nullptr);
    EXPECT_EQ(storedCount(), 1);
}

TEST_F(EditorSessionTest, DraftRowHoldingTheSameTextIsStillScoredAndQueued)
{
    // The autosave already stored exactly the committed text in the row; the
    // commit must still make it a scored entry, not skip it as unchanged.
    m_session->startNewDraft();
    const QUuid rowId = *m_session->draftRowID();
    m_session->setDraftText(kGloomy);
    m_clock.advance(1200ms);
    ASSERT_EQ(stored(rowId)->rawText(), kGloomy);

    ASSERT_TRUE(m_session->commitDraft(true));
    JournalEntry *entry = stored(rowId);
    EXPECT_FALSE(entry->isDraft());
    EXPECT_EQ(entry->sentimentScore(), sentimentScore(kGloomy));
    EXPECT_EQ(entry->keywordFrequencies(), extractKeywords(kGloomy));
    EXPECT_EQ(entry->insightStatus(), InsightStatus::Pending);
    EXPECT_EQ(m_queue.ids, QList<QUuid>{rowId});
}

TEST_F(EditorSessionTest, CommitWithoutDraftRowCreatesTheEntry)
{
    m_session->startNewDraft();
    m_session->discardDraftRow();
    EXPECT_EQ(storedCount(), 0);
    m_session->setDraftText(kGloomy);
    ASSERT_TRUE(m_session->commitDraft(false));
    ASSERT_TRUE(m_session->selectedEntryID());
    JournalEntry *entry = stored(*m_session->selectedEntryID());
    ASSERT_NE(entry, nullptr);
    EXPECT_FALSE(entry->isDraft());
    EXPECT_EQ(entry->sentimentScore(), sentimentScore(kGloomy));
    EXPECT_EQ(m_session->mode(), DetailMode::Editing);
    EXPECT_EQ(storedCount(), 1);
}

TEST_F(EditorSessionTest, TrimmingCommitRecommitsWithoutResettingTheReflection)
{
    JournalEntry *entry = seed(QStringLiteral("Draft"));
    m_session->openEntry(entry, true);
    m_session->setDraftText(kHappy + QStringLiteral("  "));
    ASSERT_TRUE(m_session->commitDraft(false));
    EXPECT_EQ(m_session->draftText(), kHappy);
    EXPECT_EQ(m_queue.ids.size(), 1);

    // A reflection lands; the autosave scheduled by the trimmed text then
    // commits the same text again.
    entry->setInsightStatus(InsightStatus::Ready);
    entry->setInsightText(QStringLiteral("A reflection imported from elsewhere."));
    entry->setInsightSchemaVersion(6);
    ASSERT_FALSE(m_context->save().has_value());
    ASSERT_TRUE(m_session->isAutosaveScheduled());
    m_statuses.clear();
    m_clock.advance(1200ms);

    EXPECT_EQ(m_statuses, (QList<SaveStatus>{SaveStatus::saving(), SaveStatus::saved()}));
    JournalEntry *saved = stored(entry->id());
    EXPECT_EQ(saved->insightStatus(), InsightStatus::Ready);
    EXPECT_EQ(saved->insightText(), "A reflection imported from elsewhere.");
    EXPECT_TRUE(saved->hasCurrentInsight());
    EXPECT_EQ(m_queue.ids.size(), 1);
}

TEST_F(EditorSessionTest, OpeningAnotherEntryForEditingKeepsItsReflection)
{
    JournalEntry *first = seed(QStringLiteral("First entry"));
    JournalEntry *second = seed(kGloomy, sentimentScore(kGloomy));
    second->setInsightStatus(InsightStatus::Ready);
    second->setInsightText(QStringLiteral("Kept."));
    second->setInsightSchemaVersion(6);
    ASSERT_FALSE(m_context->save().has_value());

    m_session->openEntry(first, true);
    m_session->openEntry(second, true);
    // The text change while still editing scheduled an autosave of `second`.
    ASSERT_TRUE(m_session->isAutosaveScheduled());
    m_clock.advance(1200ms);
    EXPECT_EQ(m_session->saveStatus(), SaveStatus::saved());
    EXPECT_EQ(stored(second->id())->insightStatus(), InsightStatus::Ready);
    EXPECT_TRUE(m_queue.ids.isEmpty());
}

TEST_F(EditorSessionTest, OpeningRefreshesTheStoredScoreOnlyBeyondTheThreshold)
{
    const double fresh = sentimentScore(kGloomy);
    JournalEntry *near = seed(kGloomy, fresh + 0.08);
    JournalEntry *far = seed(kGloomy, fresh + 0.0801);

    m_session->openEntry(near, false);
    EXPECT_EQ(stored(near->id())->sentimentScore(), fresh + 0.08);
    EXPECT_EQ(m_session->liveSentiment(), fresh + 0.08);
    EXPECT_EQ(m_session->mode(), DetailMode::Reading);

    m_session->openEntry(far, false);
    EXPECT_EQ(stored(far->id())->sentimentScore(), fresh);
    EXPECT_EQ(m_session->liveSentiment(), fresh);
    EXPECT_EQ(m_session->liveWeather(), weatherLabelForScore(fresh));
    EXPECT_FALSE(m_context->hasChanges());

    // A ready reflection's score is reconciled in.
    JournalEntry *reflected = seed(kGloomy, 0.9);
    reflected->setInsightStatus(InsightStatus::Ready);
    reflected->setInsightOverallScore(-0.4);
    ASSERT_FALSE(m_context->save().has_value());
    m_session->openEntry(reflected, false);
    EXPECT_EQ(stored(reflected->id())->sentimentScore(), reconcileScores(kGloomy, fresh, -0.4));

    // A score that is no number is always replaced.
    JournalEntry *broken = seed(kGloomy, std::nan(""));
    m_session->openEntry(broken, false);
    EXPECT_EQ(stored(broken->id())->sentimentScore(), fresh);
}

TEST_F(EditorSessionTest, FailingSaveKeepsTextAndModeAndShowsTheError)
{
    JournalEntry *entry = seed(QStringLiteral("Before"));
    m_session->openEntry(entry, true);
    m_session->setDraftText(kHappy);
    failSaves(QStringLiteral("The disk is full."));

    EXPECT_FALSE(m_session->commitDraft(true));
    EXPECT_TRUE(m_session->saveStatus().isError());
    EXPECT_TRUE(m_session->saveStatus().message().contains(QStringLiteral("The disk is full.")))
        << m_session->saveStatus().message().toStdString();
    EXPECT_EQ(m_session->mode(), DetailMode::Editing);
    EXPECT_EQ(m_session->draftText(), kHappy);
    EXPECT_TRUE(m_session->hasPendingAutosave());
    EXPECT_TRUE(m_queue.ids.isEmpty());
    EXPECT_EQ(stored(entry->id())->rawText(), "Before");
    // The views' copy shows what is stored, and nothing is left pending for
    // another save to write unannounced.
    EXPECT_EQ(entry->rawText(), "Before");
    EXPECT_EQ(entry->insightStatus(), InsightStatus::None);
    EXPECT_FALSE(m_context->hasChanges());

    // The error stays until the next commit replaces it.
    m_container->setSaveFailureInjector({});
    m_clock.advance(1200ms);
    EXPECT_EQ(m_session->saveStatus(), SaveStatus::saved());
    EXPECT_EQ(stored(entry->id())->rawText(), kHappy);
}

TEST_F(EditorSessionTest, RefusedSaveKeepsTheEditorOnItsEntryUntilTheTextIsSafe)
{
    JournalEntry *first = seed(QStringLiteral("First entry"));
    JournalEntry *second = seed(QStringLiteral("Second entry"));
    m_session->openEntry(first, true);
    m_session->setDraftText(kHappy);
    failSaves(QStringLiteral("The disk is full."));

    // Every way of leaving keeps the unsaved text on screen with the error.
    m_session->openEntry(second, false);
    m_session->selectAdjacentEntry({first, second}, 1);
    m_session->startNewDraft();
    m_session->clearSelection();
    EXPECT_EQ(m_session->selectedEntryID(), first->id());
    EXPECT_EQ(m_session->mode(), DetailMode::Editing);
    EXPECT_EQ(m_session->draftText(), kHappy);
    EXPECT_TRUE(m_session->saveStatus().isError());
    EXPECT_EQ(storedCount(), 2); // no draft row was made

    // Once the store takes the text again, leaving saves it and moves on.
    m_container->setSaveFailureInjector({});
    m_session->openEntry(second, false);
    EXPECT_EQ(m_session->selectedEntryID(), second->id());
    EXPECT_EQ(stored(first->id())->rawText(), kHappy);
}

TEST_F(EditorSessionTest, FailedDraftCommitNeitherDuplicatesNorKeepsTheRow)
{
    failSaves(QStringLiteral("No space"));
    // The draft row could not be saved; the commit makes a new entry.
    m_session->startNewDraft();
    m_session->discardDraftRow();
    m_session->setDraftText(kHappy);
    EXPECT_FALSE(m_session->commitDraft(true));
    EXPECT_EQ(m_session->mode(), DetailMode::ComposingDraft);
    m_container->setSaveFailureInjector({});
    ASSERT_TRUE(m_session->commitDraft(true));
    EXPECT_EQ(storedCount(), 1);
    EXPECT_EQ(m_queue.ids.size(), 1);

    // With a saved draft row: a failed commit leaves it a draft, so leaving
    // still removes it.
    m_session->startNewDraft();
    const QUuid rowId = *m_session->draftRowID();
    m_session->setDraftText(kGloomy);
    failSaves(QStringLiteral("No space"));
    EXPECT_FALSE(m_session->commitDraft(true));
    m_container->setSaveFailureInjector({});
    m_session->clearSelection();
    EXPECT_EQ(stored(rowId), nullptr);
    EXPECT_EQ(storedCount(), 1);
}

TEST_F(EditorSessionTest, MissingEntryIsReported)
{
    JournalEntry *entry = seed(QStringLiteral("Soon gone"));
    const QUuid id = entry->id();
    m_session->openEntry(entry, true);
    m_session->setDraftText(QStringLiteral("Edited"));

    // Another context deletes the row meanwhile.
    ModelContext other(m_container.get());
    other.remove(fetchEntry(other, id));
    ASSERT_FALSE(other.save().has_value());

    EXPECT_FALSE(m_session->commitDraft(false));
    EXPECT_EQ(m_session->saveStatus(), SaveStatus::error(QStringLiteral("Entry not found")));
    EXPECT_EQ(m_session->draftText(), "Edited");
    EXPECT_EQ(m_session->mode(), DetailMode::Editing);

    // With nowhere to save to, leaving the entry is not held back.
    m_session->clearSelection();
    EXPECT_EQ(m_session->mode(), DetailMode::Empty);
    EXPECT_EQ(m_session->draftText(), QString());
}

TEST_F(EditorSessionTest, BlankCommitStoresNothing)
{
    JournalEntry *entry = seed(QStringLiteral("Keep me"));
    m_session->openEntry(entry, true);
    m_session->setDraftText(QStringLiteral(" \n\t "));
    m_session->setSaveStatus(SaveStatus::saving());
    EXPECT_FALSE(m_session->commitDraft(true));
    EXPECT_EQ(m_session->saveStatus(), SaveStatus::idle());
    EXPECT_TRUE(m_session->hasPendingAutosave());
    EXPECT_EQ(stored(entry->id())->rawText(), "Keep me");
}

TEST_F(EditorSessionTest, WithoutAContextNothingIsCreated)
{
    EditorSession bare(m_clock);
    bare.setSaveStatus(SaveStatus::saved());
    bare.setDraftText(kHappy);
    EXPECT_FALSE(bare.commitDraft(true));
    EXPECT_EQ(bare.saveStatus(), SaveStatus::saved());
    bare.startNewDraft(kHappy);
    EXPECT_EQ(bare.mode(), DetailMode::Empty);
    EXPECT_FALSE(bare.draftRowID());
    bare.discardDraftRow();
    EXPECT_EQ(storedCount(), 0);
}

TEST_F(EditorSessionTest, CommitWithoutCoordinatorStillSaves)
{
    m_session->setInsightCoordinator(nullptr);
    m_session->startNewDraft(kHappy);
    EXPECT_TRUE(m_session->commitDraft(true));
    EXPECT_EQ(m_session->saveStatus(), SaveStatus::saved());
    EXPECT_EQ(storedCount(), 1);
}

TEST_F(EditorSessionTest, DestroyedCoordinatorIsForgotten)
{
    class ObjectQueue final : public QObject, public InsightQueue
    {
    public:
        void enqueueEntry(const QUuid &) override { ++count; }
        int count = 0;
    };
    auto queue = std::make_unique<ObjectQueue>();
    m_session->setInsightCoordinator(queue.get());
    m_session->startNewDraft(kHappy);
    ASSERT_TRUE(m_session->commitDraft(false));
    EXPECT_EQ(queue->count, 1);

    queue.reset();
    EXPECT_EQ(m_session->insightCoordinator(), nullptr);
    m_session->setDraftText(kGloomy);
    EXPECT_TRUE(m_session->commitDraft(false));
}

TEST_F(EditorSessionTest, StartNewDraftScoresTheInitialTextAtOnce)
{
    m_session->startNewDraft(kHappy);
    const auto expected = analyzeText(kHappy);
    ASSERT_TRUE(expected.has_value());
    EXPECT_EQ(m_session->liveSentiment(), expected->score);
    EXPECT_EQ(m_session->liveWeather(), weatherLabelForScore(expected->score));
    EXPECT_FALSE(m_session->selectedEntryID());
    EXPECT_EQ(stored(*m_session->draftRowID())->rawText(), kHappy);

    // Starting again throws the first row away; a short text scores 0.
    const QUuid firstRow = *m_session->draftRowID();
    m_session->startNewDraft(QStringLiteral("hi"));
    EXPECT_EQ(stored(firstRow), nullptr);
    EXPECT_EQ(m_session->liveSentiment(), 0.0);
    EXPECT_EQ(m_session->liveWeather(), WeatherLabel::Overcast);
    EXPECT_EQ(storedCount(), 1);
}

TEST_F(EditorSessionTest, LiveMoodFollowsTheTextAfterHalfASecond)
{
    m_session->startNewDraft();
    m_session->setDraftText(kGloomy);
    m_clock.advance(499ms);
    EXPECT_EQ(m_session->liveSentiment(), 0.0);
    m_clock.advance(1ms);
    ASSERT_TRUE(waitForLiveMood());
    const double gloomy = analyzeText(kGloomy)->score;
    EXPECT_EQ(m_session->liveSentiment(), gloomy);
    EXPECT_EQ(m_session->liveWeather(), weatherLabelForScore(gloomy));

    // Under 20 characters once trimmed: the live values stay.
    m_session->setDraftText(QStringLiteral("   nineteen chars!!   "));
    m_clock.advance(500ms);
    ASSERT_TRUE(waitForLiveMood());
    EXPECT_EQ(m_session->liveSentiment(), gloomy);

    // Only the last of quick changes is analysed.
    m_session->setDraftText(kHappy);
    m_clock.advance(300ms);
    m_session->setDraftText(kGloomy + QStringLiteral(" Still."));
    m_clock.advance(500ms);
    ASSERT_TRUE(waitForLiveMood());
    EXPECT_EQ(m_session->liveSentiment(), analyzeText(kGloomy + QStringLiteral(" Still."))->score);
}

TEST_F(EditorSessionTest, LateLiveMoodResultIsDropped)
{
    m_session->startNewDraft();
    m_session->setDraftText(kHappy);
    m_clock.advance(500ms); // the analysis is now running off the UI thread
    m_session->clearSelection();
    ASSERT_TRUE(waitForLiveMood());
    EXPECT_EQ(m_session->liveSentiment(), 0.0);
    EXPECT_EQ(m_session->liveWeather(), WeatherLabel::Overcast);

    // Likewise after opening another entry.
    JournalEntry *entry = seed(kGloomy, sentimentScore(kGloomy));
    m_session->startNewDraft();
    m_session->setDraftText(kHappy);
    m_clock.advance(500ms);
    m_session->openEntry(entry, false);
    // Leaving the draft wrote the entry's text while still composing, so
    // that text is analysed next; the draft's result never lands.
    m_clock.advance(500ms);
    ASSERT_TRUE(waitForLiveMood());
    EXPECT_EQ(m_session->liveSentiment(), analyzeText(kGloomy)->score);
    EXPECT_NE(m_session->liveSentiment(), analyzeText(kHappy)->score);

    // Likewise after starting a new draft.
    m_session->startNewDraft();
    m_session->setDraftText(kHappy);
    m_clock.advance(500ms);
    m_session->startNewDraft();
    m_clock.advance(500ms); // the new draft's own (empty) text gives nothing
    ASSERT_TRUE(waitForLiveMood());
    EXPECT_EQ(m_session->liveSentiment(), 0.0);
    EXPECT_EQ(m_session->liveWeather(), WeatherLabel::Overcast);

    // And a session destroyed while it runs is simply gone.
    m_session->startNewDraft();
    m_session->setDraftText(kHappy);
    m_clock.advance(500ms);
    m_session.reset();
    // Let the finished analysis report to nobody.
    test::waitUntil([] { return false; }, 200ms);
}

TEST_F(EditorSessionTest, ReadingModeSchedulesNothing)
{
    JournalEntry *entry = seed(QStringLiteral("Read only"));
    m_session->openEntry(entry, false);
    EXPECT_EQ(m_clock.pendingCount(), 0);
    m_session->setDraftText(QStringLiteral("Changed in reading"));
    EXPECT_FALSE(m_session->hasPendingAutosave());
    EXPECT_EQ(m_clock.pendingCount(), 0);

    m_session->beginEditing();
    EXPECT_EQ(m_session->mode(), DetailMode::Editing);
    m_session->clearSelection();
    m_session->beginEditing();
    EXPECT_EQ(m_session->mode(), DetailMode::Empty);
}

TEST_F(EditorSessionTest, FlushCommitsOnlyRealChanges)
{
    JournalEntry *entry = seed(QStringLiteral("Same"));
    m_session->openEntry(entry, true);
    m_session->flushPendingEdits();
    EXPECT_TRUE(m_statuses.isEmpty());

    m_session->setDraftText(QStringLiteral("Different"));
    m_session->flushPendingEdits();
    EXPECT_FALSE(m_session->isAutosaveScheduled());
    EXPECT_EQ(stored(entry->id())->rawText(), "Different");

    m_session->startNewDraft();
    const QUuid row = *m_session->draftRowID();
    m_session->setDraftText(QStringLiteral("  "));
    m_session->flushPendingEdits();
    EXPECT_EQ(stored(row)->rawText(), "");
    m_session->setDraftText(QStringLiteral(" typed "));
    m_session->flushPendingEdits();
    EXPECT_EQ(stored(row)->rawText(), " typed ");
}

TEST_F(EditorSessionTest, AdjacentSelectionStepsAndClamps)
{
    QList<JournalEntry *> list{seed(QStringLiteral("One")), seed(QStringLiteral("Two")),
                               seed(QStringLiteral("Three"))};
    m_session->selectAdjacentEntry(list, 1);
    EXPECT_EQ(m_session->selectedEntryID(), list[0]->id()); // nothing selected: the first
    m_session->selectAdjacentEntry(list, -1);
    EXPECT_EQ(m_session->selectedEntryID(), list[0]->id());
    m_session->selectAdjacent(list, 1);
    EXPECT_EQ(m_session->selectedEntryID(), list[1]->id());
    m_session->selectAdjacentEntry(list, 5);
    EXPECT_EQ(m_session->selectedEntryID(), list[2]->id());
    m_session->selectAdjacentEntry(list, std::numeric_limits<int>::min());
    EXPECT_EQ(m_session->selectedEntryID(), list[0]->id());
    EXPECT_EQ(m_session->mode(), DetailMode::Reading);

    // A selection missing from the list opens the list's first entry.
    m_session->selectAdjacentEntry(list.mid(1), 1);
    EXPECT_EQ(m_session->selectedEntryID(), list[1]->id());

    // An edit is saved before moving on.
    m_session->beginEditing();
    m_session->setDraftText(QStringLiteral("Two, revised"));
    m_session->selectAdjacentEntry(list, 1);
    EXPECT_EQ(stored(list[1]->id())->rawText(), "Two, revised");
    EXPECT_EQ(m_session->selectedEntryID(), list[2]->id());

    // A composed text blocks the step; an empty draft is discarded.
    m_session->startNewDraft(QStringLiteral("Unsaved words"));
    m_session->selectAdjacentEntry(list, 1);
    EXPECT_EQ(m_session->mode(), DetailMode::ComposingDraft);
    m_session->setDraftText(QStringLiteral("   "));
    const QUuid row = *m_session->draftRowID();
    m_session->selectAdjacentEntry(list, 1);
    EXPECT_EQ(stored(row), nullptr);
    EXPECT_EQ(m_session->selectedEntryID(), list[0]->id());

    m_session->selectAdjacentEntry({}, 1);
    EXPECT_EQ(m_session->mode(), DetailMode::Empty);
    EXPECT_FALSE(m_session->selectedEntryID());
}

TEST_F(EditorSessionTest, SignalsFireOnlyOnRealChanges)
{
    int drafts = 0;
    int modes = 0;
    QObject::connect(m_session.get(), &EditorSession::draftTextChanged, [&] { ++drafts; });
    QObject::connect(m_session.get(), &EditorSession::modeChanged, [&] { ++modes; });
    JournalEntry *entry = seed(QStringLiteral("Text"));
    m_session->openEntry(entry, true);
    EXPECT_EQ(drafts, 1);
    EXPECT_EQ(modes, 1);
    m_session->setDraftText(QStringLiteral("Text"));
    m_session->beginEditing();
    m_session->setSaveStatus(SaveStatus::idle());
    EXPECT_EQ(drafts, 1);
    EXPECT_EQ(modes, 1);
    EXPECT_TRUE(m_statuses.isEmpty());
    EXPECT_FALSE(m_session->isAutosaveScheduled());

    // Errors compare by message.
    EXPECT_EQ(SaveStatus::error(QStringLiteral("a")), SaveStatus::error(QStringLiteral("a")));
    EXPECT_NE(SaveStatus::error(QStringLiteral("a")), SaveStatus::error(QStringLiteral("b")));
    EXPECT_NE(SaveStatus::error(QString()), SaveStatus::idle());
}

TEST_F(EditorSessionTest, LongTextIsAnalysedDuringThePauseNotByItsCommit)
{
    test::LanguageServicesOverride services;
    const auto counting = std::make_shared<CountingSentimentTagger>(language::sentimentTagger());
    services.sentiment(counting);
    JournalEntry *entry = seed(QStringLiteral("Small"));
    m_session->openEntry(entry, true);
    const QString longText = kHappy.repeated(300) + QStringLiteral("\n ");
    m_session->setDraftText(longText);
    m_clock.advance(500ms);
    ASSERT_TRUE(waitForLiveMood());
    const int inBackground = counting->calls();
    EXPECT_GE(inBackground, 1);

    // The autosave commits what was worked out, and it is what a direct
    // analysis gives.
    m_clock.advance(700ms);
    EXPECT_EQ(counting->calls(), inBackground);
    EXPECT_EQ(m_session->saveStatus(), SaveStatus::saved());
    const JournalEntry *saved = stored(entry->id());
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->rawText(), longText.trimmed());
    EXPECT_EQ(saved->sentimentScore(), sentimentScore(longText));
    EXPECT_EQ(saved->keywordFrequencies(), extractKeywords(longText));
    EXPECT_EQ(saved->insightStatusRaw(), QStringLiteral("pending"));

    // A text changed after the pause is analysed by the commit itself.
    m_session->setDraftText(longText + QStringLiteral("Sad end."));
    ASSERT_TRUE(m_session->commitDraft(false));
    EXPECT_GT(counting->calls(), inBackground);
    EXPECT_EQ(stored(entry->id())->sentimentScore(), sentimentScore(longText + QStringLiteral("Sad end.")));
}

TEST_F(EditorSessionTest, HugeTextsCommitAndSkipTheLiveMood)
{
    JournalEntry *entry = seed(QStringLiteral("Small"));
    m_session->openEntry(entry, true);
    const QString huge(1 << 20, u'x');
    m_session->setDraftText(huge);
    m_clock.advance(500ms);
    ASSERT_TRUE(waitForLiveMood());
    EXPECT_EQ(m_session->liveSentiment(), sentimentScore(QStringLiteral("Small")));
    ASSERT_TRUE(m_session->commitDraft(true));
    EXPECT_EQ(stored(entry->id())->rawText().size(), huge.size());
}

} // namespace zn
