#include "CoordinatorTestHarness.h"

#include "core/MoodAnalysis.h"
#include "support/JournalTestStore.h"

#include <cmath>
#include <limits>
#include <ostream>
#include <stdexcept>

namespace zn::test {
namespace {

const QString kSettingsOff = QStringLiteral("Enhanced analysis is turned off in Settings.");
const QString kTooLong = QStringLiteral("Summary is taking too long. Tap Try again when you’re ready.");
const QString kInterrupted = QStringLiteral("Summary was interrupted. Tap Try again when you’re ready.");
const QString kCancelled = QStringLiteral("Summary was cancelled. Tap Try again when you’re ready.");
const QString kNotNow = QStringLiteral("Summary isn’t available right now.");
const QString kRiverText =
    QStringLiteral("Walked along the river before work. The birds were loud and the air was cold, and "
                   "for once my head felt quiet.");

class CoordinatorEntryTest : public CoordinatorHarness
{
};

// ------------------------------------------------------------ refusals

TEST_F(CoordinatorEntryTest, SettingOffOrMissingMarksUnavailableAndQueuesNothing)
{
    const QUuid id = addEntry(kRiverText);
    settings->setEnhancedAnalysisEnabled(false);
    coordinator->enqueueEntry(id);
    EXPECT_EQ(stored(id)->insightStatus(), InsightStatus::Unavailable);
    EXPECT_EQ(stored(id)->insightFailureMessage(), kSettingsOff);
    EXPECT_TRUE(coordinator->entryQueue().isEmpty());
    EXPECT_FALSE(coordinator->running());
    EXPECT_FALSE(coordinator->isProcessing());

    // No settings object at all counts as switched off.
    const QUuid other = addEntry(kRiverText);
    coordinator->configure(detector.get(), nullptr, container);
    coordinator->enqueueEntry(other);
    EXPECT_EQ(stored(other)->insightStatus(), InsightStatus::Unavailable);
    EXPECT_EQ(stored(other)->insightFailureMessage(), kSettingsOff);

    // The settings object going away behaves the same.
    auto shortLived = std::make_unique<AppSettings>(defaults.get());
    coordinator->configure(detector.get(), shortLived.get(), container);
    shortLived.reset();
    const QUuid third = addEntry(kRiverText);
    coordinator->enqueueEntry(third);
    EXPECT_EQ(stored(third)->insightFailureMessage(), kSettingsOff);
    EXPECT_EQ(model.callCount(), 0);
}

TEST_F(CoordinatorEntryTest, SettingTurnedOffWhileQueuedStopsTheRunBeforeTheModel)
{
    useGatedEntryGenerator();
    const QUuid first = addEntry(QStringLiteral("First entry."));
    const QUuid second = addEntry(QStringLiteral("Second entry."));
    coordinator->enqueueEntry(first);
    ASSERT_TRUE(waitUntil([&] { return entryGate.arrivals() == 1; }));
    coordinator->enqueueEntry(second);
    settings->setEnhancedAnalysisEnabled(false);
    entryGate.release(2);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(stored(first)->insightStatus(), InsightStatus::Ready);
    EXPECT_EQ(stored(second)->insightStatus(), InsightStatus::Unavailable);
    EXPECT_EQ(stored(second)->insightFailureMessage(), kSettingsOff);
    EXPECT_EQ(sent(), QStringList({QStringLiteral("First entry.")}));
}

struct RefusalCase
{
    const char *name;
    lm::Availability state;
    CapabilityDetector::Availability expected;
};

// Names the case in test listings.
void PrintTo(const RefusalCase &c, std::ostream *out)
{
    *out << c.name;
}

class CoordinatorRefusalTest : public CoordinatorHarness, public ::testing::WithParamInterface<RefusalCase>
{
};

TEST_P(CoordinatorRefusalTest, ModelStateGivesItsMessageAndQueuesNothing)
{
    const QUuid id = addEntry(kRiverText);
    // The detector said yes before; enqueue asks it again on the spot.
    model.setAddress(QStringLiteral("http://127.0.0.1:8080"));
    model.setAvailability(GetParam().state);
    coordinator->enqueueEntry(id);
    EXPECT_EQ(stored(id)->insightStatus(), InsightStatus::Unavailable);
    // The detector's sentence for this state, the one the settings and the
    // weather panel show.
    EXPECT_EQ(detector->availability(), GetParam().expected);
    EXPECT_EQ(stored(id)->insightFailureMessage(), detector->statusDetail());
    EXPECT_TRUE(coordinator->entryQueue().isEmpty());
    EXPECT_FALSE(coordinator->running());
}

INSTANTIATE_TEST_SUITE_P(
    Reasons, CoordinatorRefusalTest,
    ::testing::Values(
        RefusalCase{"ModelNotReady", lm::Availability::no(lm::UnavailableReason::ModelNotReady),
                    CapabilityDetector::Availability::ModelNotReady},
        RefusalCase{"NoServer", lm::Availability::no(lm::UnavailableReason::NoServer),
                    CapabilityDetector::Availability::FrameworkUnavailable},
        RefusalCase{"Other", lm::Availability::no(lm::UnavailableReason::Other, QStringLiteral("HTTP 500")),
                    CapabilityDetector::Availability::FrameworkUnavailable}),
    [](const ::testing::TestParamInfo<RefusalCase> &info) { return std::string(info.param.name); });

TEST_F(CoordinatorEntryTest, WithoutDetectorTheEntryIsUnavailableWithNoMessage)
{
    const QUuid id = addEntry(kRiverText);
    coordinator->configure(nullptr, settings.get(), container);
    coordinator->enqueueEntry(id);
    EXPECT_EQ(stored(id)->insightStatus(), InsightStatus::Unavailable);
    EXPECT_FALSE(stored(id)->insightFailureMessage().has_value());
    EXPECT_FALSE(coordinator->running());
}

TEST_F(CoordinatorEntryTest, UnknownIdsAndNoContainerAreHarmless)
{
    coordinator->enqueueEntry(QUuid::createUuid());
    EXPECT_TRUE(waitIdle());
    EXPECT_EQ(model.callCount(), 0);

    coordinator->cancelEntryInsight(QUuid::createUuid());
    coordinator->failStaleInFlightEntry(QUuid::createUuid(), 70);

    InsightCoordinator bare(&model, &clock);
    bare.enqueueEntry(QUuid::createUuid());
    bare.configure(detector.get(), settings.get(), nullptr);
    const QUuid id = addEntry(kRiverText);
    bare.enqueueEntry(id);
    EXPECT_TRUE(waitUntil([&] { return !bare.running(); }));
    EXPECT_EQ(stored(id)->insightStatus(), InsightStatus::Pending);
    EXPECT_EQ(model.callCount(), 0);
}

// ------------------------------------------------------------ write-back

TEST_F(CoordinatorEntryTest, WritesTheReflectionBackWithClampedAndReconciledScores)
{
    model.enqueue(goodAnswer(1.7));
    const QUuid id = addEntry(kRiverText, 0.1);
    QStringList activities;
    QObject::connect(coordinator.get(), &InsightCoordinator::currentActivityChanged, [&] {
        activities << coordinator->currentActivity().value_or(QStringLiteral("<none>"));
    });

    coordinator->enqueueEntry(id);
    EXPECT_TRUE(coordinator->isProcessing());
    ASSERT_TRUE(waitIdle());

    JournalEntry *entry = stored(id);
    EXPECT_EQ(entry->insightStatus(), InsightStatus::Ready);
    EXPECT_EQ(entry->insightSchemaVersion(), 6);
    EXPECT_FALSE(entry->insightFailureMessage().has_value());
    EXPECT_TRUE(entry->insightText()->startsWith(QStringLiteral("A slow walk by the river")));
    EXPECT_EQ(entry->insightEmotionalTone(), QStringLiteral("Calm and quietly content."));
    EXPECT_EQ(entry->insightKeyPoints(),
              QStringList({QStringLiteral("A walk by the river"), QStringLiteral("Birdsong was noticed")}));
    EXPECT_EQ(entry->insightOverallSentiment(), QStringLiteral("Mostly positive."));
    EXPECT_EQ(entry->insightClosingFocus(), QStringLiteral("Noticing what made the morning steady."));
    EXPECT_EQ(entry->themes(), QStringList({QStringLiteral("nature"), QStringLiteral("calm")}));
    EXPECT_EQ(entry->insightGeneratedAt(), clock.now());
    EXPECT_EQ(entry->insightOverallScore(), 1.0);
    EXPECT_DOUBLE_EQ(entry->sentimentScore(), reconcileScores(kRiverText, sentimentScore(kRiverText), 1.0));

    EXPECT_FALSE(coordinator->lastError().has_value());
    EXPECT_FALSE(coordinator->currentActivity().has_value());
    EXPECT_EQ(activities, QStringList({QStringLiteral("Entry summary…"), QStringLiteral("<none>")}));
    EXPECT_EQ(model.callCount(), 1);
}

TEST_F(CoordinatorEntryTest, ModelScoresAreClampedAndNaNReadsAsLowest)
{
    struct Case
    {
        std::optional<double> model;
        std::optional<double> stored;
    };
    const QList<Case> cases = {{-3.0, -1.0}, {std::numeric_limits<double>::quiet_NaN(), -1.0}, {0.25, 0.25}};
    for (const Case &c : cases) {
        std::optional<double> score = c.model;
        useGatedEntryGenerator([score](const QString &) { return outcome(score); });
        entryGate.release();
        const QUuid id = addEntry(kRiverText, 0.3);
        coordinator->enqueueEntry(id);
        ASSERT_TRUE(waitIdle());
        JournalEntry *entry = stored(id);
        EXPECT_EQ(entry->insightOverallScore(), c.stored);
        EXPECT_FALSE(std::isnan(entry->sentimentScore()));
        EXPECT_DOUBLE_EQ(entry->sentimentScore(), reconcileScores(kRiverText, sentimentScore(kRiverText), *c.stored));
    }
}

TEST_F(CoordinatorEntryTest, WithoutModelScoreTheOnDeviceScoreStays)
{
    useGatedEntryGenerator([](const QString &) { return outcome(std::nullopt); });
    entryGate.release();
    const QUuid id = addEntry(kRiverText, 0.42);
    editEntry(id, [](JournalEntry &e) { e.setInsightOverallScore(0.9); });
    coordinator->enqueueEntry(id);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(stored(id)->insightStatus(), InsightStatus::Ready);
    EXPECT_FALSE(stored(id)->insightOverallScore().has_value());
    EXPECT_DOUBLE_EQ(stored(id)->sentimentScore(), 0.42);
}

TEST_F(CoordinatorEntryTest, TextEditedDuringGenerationIsRegeneratedFromTheNewText)
{
    // The first answer arrives only after the edit below.
    model.enqueue(goodAnswer().after(std::chrono::milliseconds(300)));
    model.enqueue(goodAnswer(0.2));
    const QUuid id = addEntry(kRiverText);
    QList<InsightStatus> seen;
    coordinator->enqueueEntry(id);
    ASSERT_TRUE(waitUntil([&] { return model.callCount() == 1; }));

    const QString edited = kRiverText + QStringLiteral(" Later it rained and that was fine too.");
    editEntry(id, [&](JournalEntry &e) { e.setRawText(edited); });
    ASSERT_TRUE(waitUntil([&] {
        JournalEntry *entry = stored(id);
        if (seen.isEmpty() || seen.last() != entry->insightStatus())
            seen << entry->insightStatus();
        return !coordinator->running();
    }));

    ASSERT_EQ(model.callCount(), 2);
    EXPECT_TRUE(model.calls()[1].prompt.contains(QStringLiteral("Later it rained"))) << "second pass reads the edit";
    EXPECT_FALSE(model.calls()[0].prompt.contains(QStringLiteral("Later it rained")));
    EXPECT_TRUE(seen.contains(InsightStatus::Pending) || seen.contains(InsightStatus::Generating));
    EXPECT_EQ(stored(id)->insightStatus(), InsightStatus::Ready);
    EXPECT_EQ(stored(id)->insightOverallScore(), 0.2);
}

TEST_F(CoordinatorEntryTest, EditedTextOfEqualLengthStillCountsAsChanged)
{
    useGatedEntryGenerator();
    const QUuid id = addEntry(QStringLiteral("Quiet evening, tea and a book."));
    coordinator->enqueueEntry(id);
    ASSERT_TRUE(waitUntil([&] { return entryGate.arrivals() == 1; }));
    editEntry(id, [](JournalEntry &e) { e.setRawText(QStringLiteral("Quiet evening, tea and a walk.")); });
    // Let the first run answer: its text is stale, so it goes back to pending.
    entryGate.release();
    ASSERT_TRUE(waitUntil([&] { return entryGate.arrivals() == 2; }));
    EXPECT_EQ(sent().last(), QStringLiteral("Quiet evening, tea and a walk."));
    entryGate.release();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(stored(id)->insightStatus(), InsightStatus::Ready);
}

TEST_F(CoordinatorEntryTest, EntryDeletedMidRunWritesNothing)
{
    useGatedEntryGenerator();
    const QUuid id = addEntry(kRiverText);
    coordinator->enqueueEntry(id);
    ASSERT_TRUE(waitUntil([&] { return entryGate.arrivals() == 1; }));
    deleteEntry(id);
    entryGate.release();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(stored(id), nullptr);
    EXPECT_FALSE(coordinator->lastError().has_value());
    EXPECT_FALSE(coordinator->inFlightEntryID().has_value());
}

TEST_F(CoordinatorEntryTest, OlderCompleteReflectionIsRaisedWithoutAModelCall)
{
    const QUuid old = addEntry(kRiverText, 0.1, std::nullopt, false, InsightStatus::Ready);
    editEntry(old, [](JournalEntry &e) {
        e.setInsightText(QStringLiteral("An older summary."));
        e.setInsightEmotionalTone(QStringLiteral("Calm."));
        e.setInsightSchemaVersion(5);
    });
    const QUuid current = addEntry(kRiverText, 0.1, std::nullopt, false, InsightStatus::Ready);
    editEntry(current, [](JournalEntry &e) {
        e.setInsightText(QStringLiteral("A current summary."));
        e.setInsightSchemaVersion(6);
    });
    coordinator->enqueueEntry(old);
    coordinator->enqueueEntry(current);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(model.callCount(), 0);
    EXPECT_EQ(stored(old)->insightSchemaVersion(), 6);
    EXPECT_EQ(stored(old)->insightText(), QStringLiteral("An older summary."));
    EXPECT_EQ(stored(current)->insightText(), QStringLiteral("A current summary."));
}

// ------------------------------------------------------------ queue

TEST_F(CoordinatorEntryTest, NewestFirstRunningEntryToTheBackDuplicatesIgnored)
{
    useGatedEntryGenerator();
    const QUuid a = addEntry(QStringLiteral("Entry A about the garden."));
    const QUuid b = addEntry(QStringLiteral("Entry B about the office."));
    const QUuid c = addEntry(QStringLiteral("Entry C about the sea."));

    coordinator->enqueueEntry(a);
    ASSERT_TRUE(waitUntil([&] { return entryGate.arrivals() == 1; }));
    EXPECT_EQ(coordinator->inFlightEntryID(), a);
    EXPECT_EQ(coordinator->inFlightStartedAt(), clock.now());
    EXPECT_TRUE(coordinator->hasEntryWorkTask());

    coordinator->enqueueEntry(b);
    coordinator->enqueueEntry(c);
    EXPECT_EQ(coordinator->entryQueue(), QList<QUuid>({c, b}));
    int queueChanges = 0;
    const auto counting = QObject::connect(coordinator.get(), &InsightCoordinator::entryQueueChanged,
                                           [&queueChanges] { ++queueChanges; });
    coordinator->enqueueEntry(b);
    EXPECT_EQ(coordinator->entryQueue(), QList<QUuid>({c, b}));
    EXPECT_EQ(queueChanges, 0) << "an unchanged queue announces nothing";
    QObject::disconnect(counting);
    coordinator->enqueueEntry(a);
    EXPECT_EQ(coordinator->entryQueue(), QList<QUuid>({c, b, a}));
    coordinator->enqueueEntry(a);
    EXPECT_EQ(coordinator->entryQueue(), QList<QUuid>({c, b, a}));

    entryGate.release(10);
    ASSERT_TRUE(waitIdle());
    // A's second turn finds a current reflection and asks nothing.
    EXPECT_EQ(sent(), QStringList({QStringLiteral("Entry A about the garden."), QStringLiteral("Entry C about the sea."),
                                   QStringLiteral("Entry B about the office.")}));
    for (const QUuid &id : {a, b, c})
        EXPECT_EQ(stored(id)->insightStatus(), InsightStatus::Ready);
    EXPECT_FALSE(coordinator->hasEntryWorkTask());
    EXPECT_FALSE(coordinator->inFlightStartedAt().has_value());
}

// ------------------------------------------------------------ errors

struct ErrorCase
{
    const char *name;
    std::function<void()> raise;
    InsightStatus status;
    const char *message; // null: none
    const char *lastError; // null: unchanged (none)
};

// Names the case in test listings.
void PrintTo(const ErrorCase &c, std::ostream *out)
{
    *out << c.name;
}

class CoordinatorErrorTest : public CoordinatorHarness, public ::testing::WithParamInterface<ErrorCase>
{
};

TEST_P(CoordinatorErrorTest, EachGeneratorErrorHasItsMark)
{
    const ErrorCase &c = GetParam();
    coordinator->setGenerators([&c](const QString &, std::stop_token) -> Outcome {
        c.raise();
        return {};
    }, {});
    const QUuid id = addEntry(kRiverText);
    coordinator->enqueueEntry(id);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(stored(id)->insightStatus(), c.status);
    if (c.message) {
        EXPECT_EQ(stored(id)->insightFailureMessage(), QString::fromUtf8(c.message));
    } else {
        EXPECT_FALSE(stored(id)->insightFailureMessage().has_value());
    }
    if (c.lastError) {
        EXPECT_EQ(coordinator->lastError(), QString::fromUtf8(c.lastError));
    } else {
        EXPECT_FALSE(coordinator->lastError().has_value());
    }
}

using K = EntryInsightGenerator::GenerateError::Kind;
INSTANTIATE_TEST_SUITE_P(
    Mapping, CoordinatorErrorTest,
    ::testing::Values(
        ErrorCase{"Unavailable", [] { throw EntryInsightGenerator::GenerateError(K::Unavailable); },
                  InsightStatus::Unavailable, "A deeper reflection will appear here after analysis.", nullptr},
        ErrorCase{"TimedOut", [] { throw EntryInsightGenerator::GenerateError(K::TimedOut); }, InsightStatus::Failed,
                  "Summary is taking too long. Tap Try again when you’re ready.", "Entry insight timed out"},
        ErrorCase{"LowQuality", [] { throw EntryInsightGenerator::GenerateError(K::LowQuality); },
                  InsightStatus::Failed, "Summary drifted into advice. Tap Try again for a neutral take.",
                  "Entry insight low quality"},
        ErrorCase{"ContextTooLarge", [] { throw EntryInsightGenerator::GenerateError(K::ContextTooLarge); },
                  InsightStatus::Failed,
                  "This entry is very long. On-device summary couldn’t fit it even after shortening. Try again, "
                  "or split into shorter entries.",
                  "Entry insight context too large"},
        ErrorCase{"Cancellation", [] { throw CancellationError(); }, InsightStatus::Failed,
                  "Summary was interrupted. Tap Try again when you’re ready.", nullptr},
        ErrorCase{"Other", [] { throw std::runtime_error("disk on fire"); }, InsightStatus::Failed,
                  "Summary isn’t available right now.", "disk on fire"}),
    [](const ::testing::TestParamInfo<ErrorCase> &info) { return std::string(info.param.name); });

// An import hands its entries over as one list: the queue ends as after one
// enqueueEntry() each, in order, and entries that cannot be reflected on
// are marked in one save, a whole import's worth off the UI thread.
TEST_F(CoordinatorEntryTest, ManyHandedOverAtOnceEndAsOneByOneWithOneSaveOfMarks)
{
    useGatedEntryGenerator();
    const QUuid a = addEntry(QStringLiteral("Entry A about the garden."));
    const QUuid b = addEntry(QStringLiteral("Entry B about the office."));
    const QUuid c = addEntry(QStringLiteral("Entry C about the sea."));
    const QUuid d = addEntry(QStringLiteral("Entry D about the hills."));
    coordinator->enqueueEntry(a);
    ASSERT_TRUE(waitUntil([&] { return entryGate.arrivals() == 1; }));
    int queueChanges = 0;
    const auto counting = QObject::connect(coordinator.get(), &InsightCoordinator::entryQueueChanged,
                                           [&queueChanges] { ++queueChanges; });
    // One by one: b, c to the front, the running a to the back, b again
    // unchanged, d to the front.
    coordinator->enqueueEntries({b, c, a, b, d});
    EXPECT_EQ(coordinator->entryQueue(), QList<QUuid>({d, c, b, a}));
    EXPECT_EQ(queueChanges, 1);
    QObject::disconnect(counting);
    entryGate.release(10);
    ASSERT_TRUE(waitIdle());
    for (const QUuid &id : {a, b, c, d})
        EXPECT_EQ(stored(id)->insightStatus(), InsightStatus::Ready);

    // With the setting off, few entries and many: each marked with the
    // plain sentence, in one save, nothing queued.
    settings->setEnhancedAnalysisEnabled(false);
    for (const int count : {3, 100}) {
        QList<QUuid> ids;
        for (int i = 0; i < count; ++i)
            ids << addEntry(QStringLiteral("Imported entry %1").arg(i));
        QList<StoreChanges> saves;
        QObject listener;
        QObject::connect(container.get(), &ModelContainer::didSave, &listener,
                         [&](const StoreChanges &changes, ModelContext *) { saves << changes; });
        coordinator->enqueueEntries(ids);
        ASSERT_TRUE(waitUntil([&] { return !saves.isEmpty(); })) << count;
        drainEvents();
        ASSERT_EQ(saves.size(), 1) << count;
        EXPECT_EQ(saves.first().updated.value(JournalEntry::entityDescriptor().name).size(), count);
        for (const QUuid &id : std::as_const(ids)) {
            ASSERT_EQ(stored(id)->insightStatus(), InsightStatus::Unavailable) << count;
            ASSERT_EQ(stored(id)->insightFailureMessage(), QStringLiteral("Enhanced analysis is turned off in Settings."));
        }
        EXPECT_TRUE(coordinator->entryQueue().isEmpty());
        EXPECT_FALSE(coordinator->running());
    }
}

// Entries marked while no server answered are checked for at an interval
// and queued newest first, pending at once, once it answers, then the 7-day
// reflection; never while the switch is off, nor those it marked.
TEST_F(CoordinatorEntryTest, EntriesWaitingForTheModelAreQueuedOnceItAnswers)
{
    useGatedEntryGenerator();
    model.setUnavailable(lm::UnavailableReason::NoServer);
    const QUuid older = addEntry(QStringLiteral("Older."), 0.1, clock.now().addSecs(-7200));
    const QUuid newer = addEntry(QStringLiteral("Newer."));
    const QUuid off = addEntry(QStringLiteral("Off."));
    coordinator->enqueueEntries({newer, older});
    settings->setEnhancedAnalysisEnabled(false);
    coordinator->enqueueEntry(off);
    EXPECT_FALSE(detector->isRechecking());
    model.setAvailability(lm::Availability::yes());
    detector->refresh();
    drainEvents();
    EXPECT_EQ(stored(older)->insightStatus(), InsightStatus::Unavailable);

    model.setUnavailable(lm::UnavailableReason::NoServer);
    detector->refresh();
    settings->setEnhancedAnalysisEnabled(true);
    ASSERT_TRUE(waitUntil([&] { return detector->isRechecking(); }));
    model.setAvailability(lm::Availability::yes());
    clock.advance(CapabilityDetector::kRecheckInterval);
    ASSERT_TRUE(waitUntil([&] { return entryGate.arrivals() == 1; }));
    EXPECT_EQ(coordinator->entryQueue(), QList<QUuid>({older}));
    EXPECT_EQ(stored(older)->insightStatus(), InsightStatus::Pending);
    EXPECT_TRUE(coordinator->weeklyRequested());
    EXPECT_EQ(stored(off)->insightFailureMessage(), kSettingsOff);
    entryGate.release(2);
    ASSERT_TRUE(waitIdle());
    EXPECT_FALSE(detector->isRechecking());

    // An earlier run's marks are found when the window shows.
    const QUuid earlier = addEntry(QStringLiteral("Earlier."), 0.1, std::nullopt, false, InsightStatus::Unavailable);
    coordinator->configure(detector.get(), settings.get(), container);
    entryGate.release();
    EXPECT_TRUE(waitUntil([&] { return stored(earlier)->insightStatus() == InsightStatus::Ready; }));
}

TEST_F(CoordinatorEntryTest, GenerationFailedAndEmptyCarryTheErrorsDescription)
{
    // Through the real generator: a blank entry is "empty" without asking the model.
    const QUuid blank = addEntry(QStringLiteral("   \n  "));
    coordinator->enqueueEntry(blank);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(stored(blank)->insightStatus(), InsightStatus::Failed);
    EXPECT_EQ(stored(blank)->insightFailureMessage(), kNotNow);
    EXPECT_EQ(coordinator->lastError(),
              EntryInsightGenerator::GenerateError(EntryInsightGenerator::GenerateError::Kind::Empty).description());
    EXPECT_EQ(model.callCount(), 0);

    coordinator->setGenerators([](const QString &, std::stop_token) -> Outcome {
        throw EntryInsightGenerator::GenerateError::generationFailed(QStringLiteral("Model broke"));
    }, {});
    const QUuid id = addEntry(kRiverText);
    coordinator->enqueueEntry(id);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(coordinator->lastError(),
              EntryInsightGenerator::GenerateError::generationFailed(QStringLiteral("Model broke")).description());
}

TEST_F(CoordinatorEntryTest, GeneratorTimeLimitEndsTheRun)
{
    InsightCoordinator::Limits limits;
    limits.entryGenerationSeconds = 10;
    makeCoordinator(limits);
    model.enqueue(lm::ScriptedStep::hangUntilCancelled());
    const QUuid id = addEntry(kRiverText);
    coordinator->enqueueEntry(id);
    // The watchdog and the generator's own limit are both set.
    ASSERT_TRUE(waitUntil([&] { return model.callCount() == 1 && clock.pendingCount() >= 2; }));
    clock.advance(std::chrono::seconds(10));
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(stored(id)->insightStatus(), InsightStatus::Failed);
    EXPECT_EQ(stored(id)->insightFailureMessage(), kTooLong);
    EXPECT_EQ(coordinator->lastError(), QStringLiteral("Entry insight timed out"));
}

// ------------------------------------------------------------ watchdog, cancel, stale

TEST_F(CoordinatorEntryTest, WatchdogFailsAHungRunAndTheNextEntryStarts)
{
    InsightCoordinator::Limits limits;
    limits.entryGenerationSeconds = 1000; // only the watchdog can end it
    makeCoordinator(limits);
    model.enqueue(lm::ScriptedStep::hangUntilCancelled());
    model.enqueue(goodAnswer());
    const QUuid hung = addEntry(kRiverText);
    const QUuid next = addEntry(kRiverText + QStringLiteral(" Second entry."));
    coordinator->enqueueEntry(hung);
    ASSERT_TRUE(waitUntil([&] { return model.callCount() == 1; }));
    coordinator->enqueueEntry(next);

    clock.advance(std::chrono::seconds(64));
    EXPECT_EQ(stored(hung)->insightStatus(), InsightStatus::Generating);
    clock.advance(std::chrono::seconds(1));
    EXPECT_EQ(stored(hung)->insightStatus(), InsightStatus::Failed);
    EXPECT_EQ(stored(hung)->insightFailureMessage(), kTooLong);
    EXPECT_EQ(coordinator->lastError(), QStringLiteral("Entry insight watchdog"));

    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(stored(next)->insightStatus(), InsightStatus::Ready);
    // The cancelled run's late report changed nothing.
    EXPECT_EQ(stored(hung)->insightFailureMessage(), kTooLong);
}

TEST_F(CoordinatorEntryTest, AnEndedRunsWatchdogNeverFailsTheNextRunOfTheSameEntry)
{
    useGatedEntryGenerator();
    const QUuid id = addEntry(QStringLiteral("First words."));
    coordinator->enqueueEntry(id);
    ASSERT_TRUE(waitUntil([&] { return entryGate.arrivals() == 1; }));
    clock.advance(std::chrono::seconds(40));
    editEntry(id, [](JournalEntry &e) { e.setRawText(QStringLiteral("First words, then more.")); });
    entryGate.release();
    ASSERT_TRUE(waitUntil([&] { return entryGate.arrivals() == 2; }));

    // Past the first run's deadline, well inside the second run's.
    clock.advance(std::chrono::seconds(30));
    EXPECT_EQ(stored(id)->insightStatus(), InsightStatus::Generating);
    EXPECT_FALSE(coordinator->lastError().has_value());
    entryGate.release();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(stored(id)->insightStatus(), InsightStatus::Ready);
}

TEST_F(CoordinatorEntryTest, CancelQueuedRunningAndReadyEntries)
{
    useGatedEntryGenerator();
    const QUuid running = addEntry(QStringLiteral("Running entry."));
    const QUuid queued = addEntry(QStringLiteral("Queued entry."));
    const QUuid ready = addEntry(kRiverText, 0.1, std::nullopt, false, InsightStatus::Ready);
    editEntry(ready, [](JournalEntry &e) { e.setInsightText(QStringLiteral("Kept summary.")); });

    coordinator->enqueueEntry(running);
    ASSERT_TRUE(waitUntil([&] { return entryGate.arrivals() == 1; }));
    coordinator->enqueueEntry(queued);

    coordinator->cancelEntryInsight(queued);
    EXPECT_TRUE(coordinator->entryQueue().isEmpty());
    EXPECT_EQ(stored(queued)->insightStatus(), InsightStatus::Failed);
    EXPECT_EQ(stored(queued)->insightFailureMessage(), kCancelled);

    coordinator->cancelEntryInsight(ready);
    EXPECT_EQ(stored(ready)->insightStatus(), InsightStatus::Ready);
    EXPECT_EQ(stored(ready)->insightText(), QStringLiteral("Kept summary."));

    // Neither queued nor running: still marked, and the run is untouched.
    const QUuid idle = addEntry(QStringLiteral("Idle entry."));
    coordinator->cancelEntryInsight(idle);
    EXPECT_EQ(stored(idle)->insightStatus(), InsightStatus::Failed);
    EXPECT_EQ(stored(idle)->insightFailureMessage(), kCancelled);
    EXPECT_EQ(coordinator->inFlightEntryID(), running);

    coordinator->cancelEntryInsight(running);
    EXPECT_FALSE(coordinator->inFlightEntryID().has_value());
    EXPECT_FALSE(coordinator->hasEntryWorkTask());
    EXPECT_EQ(stored(running)->insightFailureMessage(), kCancelled);

    ASSERT_TRUE(waitIdle());
    // The stopped generator reported a time-out; the cancel mark stays.
    EXPECT_EQ(stored(running)->insightStatus(), InsightStatus::Failed);
    EXPECT_EQ(stored(running)->insightFailureMessage(), kCancelled);
    EXPECT_FALSE(coordinator->lastError().has_value());
}

TEST_F(CoordinatorEntryTest, RetryAfterCancelIsNotOverwrittenByTheOldRun)
{
    useGatedEntryGenerator();
    const QUuid id = addEntry(kRiverText);
    coordinator->enqueueEntry(id);
    ASSERT_TRUE(waitUntil([&] { return entryGate.arrivals() == 1; }));

    // What the detail view's Try again does.
    coordinator->cancelEntryInsight(id);
    editEntry(id, [](JournalEntry &e) {
        e.setInsightStatus(InsightStatus::Pending);
        e.setInsightFailureMessage(std::nullopt);
    });
    coordinator->enqueueEntry(id);
    EXPECT_EQ(coordinator->entryQueue(), QList<QUuid>({id}));

    ASSERT_TRUE(waitUntil([&] { return entryGate.arrivals() == 2; }));
    EXPECT_FALSE(coordinator->lastError().has_value());
    EXPECT_EQ(stored(id)->insightStatus(), InsightStatus::Generating);
    entryGate.release();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(stored(id)->insightStatus(), InsightStatus::Ready);
    EXPECT_FALSE(stored(id)->insightFailureMessage().has_value());
}

TEST_F(CoordinatorEntryTest, StaleCheckFailsOnlyRunsPastTheLimit)
{
    InsightCoordinator::Limits limits;
    limits.watchdog = std::chrono::seconds(500);
    makeCoordinator(limits);
    useGatedEntryGenerator();
    const QUuid id = addEntry(kRiverText);
    coordinator->enqueueEntry(id);
    ASSERT_TRUE(waitUntil([&] { return entryGate.arrivals() == 1; }));

    clock.advance(std::chrono::seconds(70));
    coordinator->failStaleInFlightEntry(id, 70); // not strictly more
    EXPECT_EQ(stored(id)->insightStatus(), InsightStatus::Generating);
    EXPECT_TRUE(coordinator->hasEntryWorkTask());

    clock.advance(std::chrono::milliseconds(1));
    coordinator->failStaleInFlightEntry(id, 70);
    EXPECT_EQ(stored(id)->insightStatus(), InsightStatus::Failed);
    EXPECT_EQ(stored(id)->insightFailureMessage(), kTooLong);
    EXPECT_FALSE(coordinator->hasEntryWorkTask());
    EXPECT_FALSE(coordinator->inFlightEntryID().has_value());
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(stored(id)->insightFailureMessage(), kTooLong);
}

TEST_F(CoordinatorEntryTest, RowsLeftGeneratingByAnEarlierRunFailAsInterrupted)
{
    const QUuid orphan = addEntry(kRiverText, 0.1, std::nullopt, false, InsightStatus::Generating);
    const QUuid pending = addEntry(kRiverText);
    coordinator->failStaleInFlightEntry(pending, 70);
    EXPECT_EQ(stored(pending)->insightStatus(), InsightStatus::Pending);
    coordinator->failStaleInFlightEntry(orphan, 70);
    EXPECT_EQ(stored(orphan)->insightStatus(), InsightStatus::Failed);
    EXPECT_EQ(stored(orphan)->insightFailureMessage(), kInterrupted);
}

// ------------------------------------------------------------ store failures

TEST_F(CoordinatorEntryTest, FailedWriteBackLeavesNoEntryGenerating)
{
    useGatedEntryGenerator();
    entryGate.release();
    const QUuid id = addEntry(kRiverText);
    int saves = 0;
    // The mark "generating" goes through; the write-back's save fails.
    container->setSaveFailureInjector([&saves]() -> std::optional<StoreError> {
        if (++saves == 2)
            return StoreError(StoreError::Code::SaveFailed, QStringLiteral("disk full"));
        return std::nullopt;
    });
    coordinator->enqueueEntry(id);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(stored(id)->insightStatus(), InsightStatus::Failed);
    EXPECT_EQ(stored(id)->insightFailureMessage(), kTooLong);
}

TEST_F(CoordinatorEntryTest, EverySaveFailingIsSurvived)
{
    useGatedEntryGenerator();
    entryGate.release(3);
    const QUuid id = addEntry(kRiverText);
    container->setSaveFailureInjector(
        []() -> std::optional<StoreError> { return StoreError(StoreError::Code::SaveFailed, QStringLiteral("no")); });
    coordinator->enqueueEntry(id);
    requestWeekly();
    ASSERT_TRUE(waitIdle());
    coordinator->cancelEntryInsight(id);
    coordinator->failStaleInFlightEntry(id, 0);
    container->setSaveFailureInjector({});
    EXPECT_EQ(stored(id)->insightStatus(), InsightStatus::Pending);
}

TEST_F(CoordinatorEntryTest, DestroyedMidRunStopsTheGenerator)
{
    useGatedEntryGenerator();
    const QUuid id = addEntry(kRiverText);
    coordinator->enqueueEntry(id);
    ASSERT_TRUE(waitUntil([&] { return entryGate.arrivals() == 1; }));
    coordinator.reset();
    // Nothing posted back after the coordinator is gone.
    waitUntil([] { return false; }, std::chrono::milliseconds(50));
    EXPECT_EQ(stored(id)->insightStatus(), InsightStatus::Generating);
}

TEST_F(CoordinatorEntryTest, ThroughTheRealGeneratorAndScriptedModel)
{
    model.enqueue(goodAnswer(0.3));
    const QUuid id = addEntry(kRiverText);
    coordinator->enqueueEntry(id);
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(model.callCount(), 1);
    EXPECT_EQ(model.calls()[0].schemaName, QStringLiteral("EntryInsightResult"));
    EXPECT_TRUE(model.calls()[0].prompt.contains(kRiverText));
    EXPECT_EQ(stored(id)->insightStatus(), InsightStatus::Ready);
    EXPECT_EQ(stored(id)->insightOverallScore(), 0.3);
}

} // namespace
} // namespace zn::test
