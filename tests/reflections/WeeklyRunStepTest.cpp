#include "CoordinatorTestHarness.h"

#include "core/CalendarProvider.h"
#include "core/TextUnits.h"
#include "reflections/ReflectionDates.h"
#include "reflections/WeeklyReflectionRun.h"

#include <limits>
#include <ostream>
#include <stdexcept>

namespace zn::test {
namespace {

using Snippets = QList<WeeklyReflectionGenerator::EntrySnippet>;

class WeeklyRunStepTest : public CoordinatorHarness
{
protected:
    // A weekly generator that records what it was given, waits at the gate
    // when asked to, and reports a stop the way the real one does.
    void useWeeklyGenerator(bool gated = false, std::function<WeeklyReflectionOutcome()> answer = {})
    {
        if (!answer)
            answer = [] { return weeklyOutcome(); };
        coordinator->setGenerators({}, [this, gated, answer](const Snippets &snippets, const QDateTime &start,
                                                             const QDateTime &end, std::stop_token stop) {
            {
                std::lock_guard lock(sentMutex);
                weeklyCalls << snippets;
                windows << DateInterval{start, end};
            }
            if (gated && !weeklyGate.pass(stop))
                throw WeeklyError(WeeklyError::Kind::TimedOut);
            return answer();
        });
    }

    int weeklyCallCount()
    {
        std::lock_guard lock(sentMutex);
        return int(weeklyCalls.size());
    }

    static WeeklyReflectionOutcome weeklyOutcome()
    {
        WeeklyReflectionOutcome out;
        out.summary = QStringLiteral("Walks and work filled the week.");
        out.emotionalArc = QStringLiteral("Overcast early, Sunny by the end.");
        out.notableMoments = {QStringLiteral("A long river walk.")};
        out.overallSentiment = QStringLiteral("brighter");
        out.recommendedFocus = QStringLiteral("Keeping the evenings slow.");
        return out;
    }

    // Three entries over two days of the window, one draft.
    void addWeek()
    {
        addEntry(QStringLiteral("Grey start to the week, lots of email."), -0.1, clock.now().addDays(-3));
        addEntry(QStringLiteral("River walk at lunch, felt lighter."), 0.5, clock.now().addDays(-1));
        weekTail = addEntry(QStringLiteral("Sunny dinner with friends."), 0.7, clock.now().addSecs(-600));
        addEntry(QStringLiteral("Unsaved draft words."), 0.0, clock.now().addSecs(-60), true);
    }

    Gate weeklyGate;
    QList<Snippets> weeklyCalls;
    QList<DateInterval> windows;
    QUuid weekTail;
};

TEST_F(WeeklyRunStepTest, BuildsTheDaysRecordThenSkipsWhileNothingChanged)
{
    useWeeklyGenerator();
    addWeek();
    requestWeekly();
    ASSERT_TRUE(waitIdle());

    WeeklyReflectionRecord *record = storedRecord(todaysKey());
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->status(), InsightStatus::Ready);
    EXPECT_FALSE(record->failureMessage().has_value());
    EXPECT_EQ(record->summary(), QStringLiteral("Walks and work filled the week."));
    EXPECT_EQ(record->emotionalArc(), QStringLiteral("Overcast early, Sunny by the end."));
    EXPECT_EQ(record->notableMoments(), QStringList({QStringLiteral("A long river walk.")}));
    EXPECT_EQ(record->overallSentiment(), QStringLiteral("brighter"));
    EXPECT_EQ(record->recommendedFocus(), QStringLiteral("Keeping the evenings slow."));
    EXPECT_EQ(record->generatedAt(), clock.now());
    const DateInterval window = CalendarProvider::shared().trailingDaysInterval(7, clock.now());
    EXPECT_EQ(record->weekStart(), window.start);
    EXPECT_FALSE(record->entryFingerprint().isEmpty());
    ASSERT_EQ(weeklyCallCount(), 1);
    EXPECT_EQ(windows[0], window);
    EXPECT_FALSE(coordinator->weeklyRequested());
    EXPECT_FALSE(coordinator->hasWeeklyTask());
    EXPECT_FALSE(coordinator->currentActivity().has_value());

    // Same day, same entries: the second request writes nothing at all.
    int saves = 0;
    QObject::connect(container.get(), &ModelContainer::didSave, [&saves] { ++saves; });
    clock.advance(std::chrono::minutes(5));
    requestWeekly();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(weeklyCallCount(), 1);
    EXPECT_EQ(saves, 0);
    EXPECT_EQ(storedRecord(todaysKey())->generatedAt(), clock.now().addSecs(-300));
}

TEST_F(WeeklyRunStepTest, SnippetsFollowTheWindowInOrderWithoutDrafts)
{
    useWeeklyGenerator();
    addWeek();
    const QUuid stormy = addEntry(QStringLiteral("Score went missing."), std::numeric_limits<double>::quiet_NaN(),
                                  clock.now().addSecs(-1200));
    Q_UNUSED(stormy);
    addEntry(QStringLiteral("Too old for the window."), 0.9, clock.now().addDays(-7));
    requestWeekly();
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(weeklyCallCount(), 1);
    const Snippets &snippets = weeklyCalls[0];
    ASSERT_EQ(snippets.size(), 4);
    EXPECT_EQ(snippets[0].text, QStringLiteral("Grey start to the week, lots of email."));
    EXPECT_EQ(snippets[0].weather, QStringLiteral("Overcast"));
    EXPECT_EQ(snippets[0].dayKey, CalendarProvider::shared().dayKey(clock.now().addDays(-3)));
    EXPECT_EQ(snippets[0].dateLabel, reflectionDateLabel(clock.now().addDays(-3)));
    EXPECT_EQ(snippets[1].weather, QStringLiteral("Partly cloudy"));
    EXPECT_EQ(snippets[2].text, QStringLiteral("Score went missing."));
    EXPECT_EQ(snippets[2].weather, QStringLiteral("Stormy"));
    EXPECT_EQ(snippets[3].weather, QStringLiteral("Sunny"));
}

TEST_F(WeeklyRunStepTest, SameLengthEditIsSkippedALengthChangeRebuilds)
{
    useWeeklyGenerator();
    addWeek();
    requestWeekly();
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(weeklyCallCount(), 1);

    // Other words, the same number of user-perceived characters ("é" as
    // "e" plus a combining accent is one character, two UTF-16 units).
    const QString sameLength = QStringLiteral("Sunny lunche\u0301 with friends.");
    ASSERT_EQ(text::graphemeCount(sameLength), text::graphemeCount(QStringLiteral("Sunny dinner with friends.")));
    ASSERT_NE(sameLength.size(), QStringLiteral("Sunny dinner with friends.").size());
    editEntry(weekTail, [&](JournalEntry &e) { e.setRawText(sameLength); });
    requestWeekly();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(weeklyCallCount(), 1);

    editEntry(weekTail, [](JournalEntry &e) { e.setRawText(QStringLiteral("Sunny dinner with my family.")); });
    requestWeekly();
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(weeklyCallCount(), 2);
    EXPECT_EQ(weeklyCalls[1][2].text, QStringLiteral("Sunny dinner with my family."));
}

TEST_F(WeeklyRunStepTest, ANewDayMakesANewRecordAndKeepsYesterdays)
{
    useWeeklyGenerator();
    addWeek();
    requestWeekly();
    ASSERT_TRUE(waitIdle());
    const QString yesterday = todaysKey();

    clock.advance(std::chrono::hours(24));
    requestWeekly();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(weeklyCallCount(), 2);
    EXPECT_NE(todaysKey(), yesterday);
    EXPECT_EQ(storedRecord(todaysKey())->status(), InsightStatus::Ready);
    EXPECT_EQ(storedRecord(yesterday)->status(), InsightStatus::Ready);
    EXPECT_EQ(allRecords().size(), 2);
}

TEST_F(WeeklyRunStepTest, ARunCrossingMidnightKeepsTheDayItStarted)
{
    useWeeklyGenerator(true);
    clock.setNow(QDateTime(QDate(2025, 3, 7), QTime(23, 59, 50)));
    addWeek();
    const QString startKey = todaysKey();
    requestWeekly();
    ASSERT_TRUE(waitUntil([&] { return weeklyGate.arrivals() == 1; }));
    EXPECT_EQ(storedRecord(startKey)->status(), InsightStatus::Generating);
    clock.advance(std::chrono::seconds(20));
    ASSERT_NE(todaysKey(), startKey);
    weeklyGate.release();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(storedRecord(startKey)->status(), InsightStatus::Ready);
    EXPECT_EQ(storedRecord(todaysKey()), nullptr);
}

TEST_F(WeeklyRunStepTest, DraftsOnlyWindowIsNone)
{
    useWeeklyGenerator();
    addEntry(QStringLiteral("Draft one."), 0.2, std::nullopt, true);
    requestWeekly();
    ASSERT_TRUE(waitIdle());
    ASSERT_NE(storedRecord(todaysKey()), nullptr);
    EXPECT_EQ(storedRecord(todaysKey())->status(), InsightStatus::None);
    EXPECT_FALSE(storedRecord(todaysKey())->failureMessage().has_value());
    EXPECT_EQ(weeklyCallCount(), 0);
}

TEST_F(WeeklyRunStepTest, SettingOffOrNoCapabilityIsUnavailable)
{
    useWeeklyGenerator();
    settings->setEnhancedAnalysisEnabled(false);
    requestWeekly(); // even with an empty window
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(storedRecord(todaysKey())->status(), InsightStatus::Unavailable);
    EXPECT_EQ(storedRecord(todaysKey())->failureMessage(),
              QStringLiteral("Enhanced analysis is turned off in Settings."));

    settings->setEnhancedAnalysisEnabled(true);
    model.setUnavailable(lm::UnavailableReason::ModelNotReady);
    addWeek();
    requestWeekly();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(storedRecord(todaysKey())->status(), InsightStatus::Unavailable);
    // The record carries the detector's own sentence, refreshed on the spot.
    EXPECT_EQ(storedRecord(todaysKey())->failureMessage(), detector->statusDetail());
    EXPECT_EQ(detector->availability(), CapabilityDetector::Availability::ModelNotReady);

    coordinator->configure(nullptr, settings.get(), container);
    requestWeekly();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(storedRecord(todaysKey())->status(), InsightStatus::Unavailable);
    EXPECT_FALSE(storedRecord(todaysKey())->failureMessage().has_value());
    EXPECT_EQ(weeklyCallCount(), 0);
}

TEST_F(WeeklyRunStepTest, ACurrentRecordIsKeptEvenWhenTheSettingIsTurnedOff)
{
    useWeeklyGenerator();
    addWeek();
    requestWeekly();
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(storedRecord(todaysKey())->status(), InsightStatus::Ready);

    // The skip rule comes before the setting: the day's reflection stays.
    settings->setEnhancedAnalysisEnabled(false);
    requestWeekly();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(storedRecord(todaysKey())->status(), InsightStatus::Ready);
    EXPECT_FALSE(storedRecord(todaysKey())->failureMessage().has_value());

    // Once the entries change, the setting decides.
    addEntry(QStringLiteral("One more evening."), 0.3, clock.now().addSecs(-60));
    requestWeekly();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(storedRecord(todaysKey())->status(), InsightStatus::Unavailable);
    EXPECT_EQ(storedRecord(todaysKey())->failureMessage(),
              QStringLiteral("Enhanced analysis is turned off in Settings."));
    EXPECT_EQ(weeklyCallCount(), 1);
}

TEST_F(WeeklyRunStepTest, AnEnqueuedEntryPreemptsTheStepWhichRunsAgainAfter)
{
    useWeeklyGenerator(true);
    model.enqueue(goodAnswer().after(std::chrono::milliseconds(200)));
    addWeek();
    requestWeekly();
    ASSERT_TRUE(waitUntil([&] { return weeklyGate.arrivals() == 1; }));
    EXPECT_EQ(coordinator->currentActivity(), QStringLiteral("Weekly reflection…"));
    EXPECT_TRUE(coordinator->hasWeeklyTask());
    EXPECT_EQ(storedRecord(todaysKey())->status(), InsightStatus::Generating);

    const QUuid entry = addEntry(QStringLiteral("Walked along the river before work. The birds were loud and the "
                                                "air was cold, and for once my head felt quiet."));
    coordinator->enqueueEntry(entry);
    EXPECT_FALSE(coordinator->hasWeeklyTask());
    EXPECT_TRUE(coordinator->weeklyRequested());
    EXPECT_EQ(storedRecord(todaysKey())->status(), InsightStatus::Pending);

    // The entry starts only once the stopped step has ended. The step
    // reported a time-out; it is recorded as waiting, not failed.
    ASSERT_TRUE(waitUntil([&] { return model.callCount() == 1; }));
    EXPECT_EQ(storedRecord(todaysKey())->status(), InsightStatus::Pending);
    EXPECT_FALSE(storedRecord(todaysKey())->failureMessage().has_value());
    EXPECT_FALSE(coordinator->lastError().has_value());

    ASSERT_TRUE(waitUntil([&] { return weeklyGate.arrivals() == 2; }));
    EXPECT_EQ(stored(entry)->insightStatus(), InsightStatus::Ready);
    weeklyGate.release();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(storedRecord(todaysKey())->status(), InsightStatus::Ready);
    EXPECT_FALSE(coordinator->lastError().has_value());
    // The second pass saw the new entry too.
    EXPECT_EQ(weeklyCalls[1].size(), weeklyCalls[0].size() + 1);
}

TEST_F(WeeklyRunStepTest, TheStepWaitsForQueuedEntries)
{
    int modelCallsBeforeStep = -1;
    useWeeklyGenerator(false, [&] {
        modelCallsBeforeStep = model.callCount();
        return weeklyOutcome();
    });
    model.enqueue(goodAnswer());
    addWeek();
    const QUuid entry = addEntry(QStringLiteral("Walked along the river before work. The birds were loud and the "
                                                "air was cold, and for once my head felt quiet."));
    coordinator->setWeeklyRequested(true);
    coordinator->enqueueEntry(entry);
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(weeklyCallCount(), 1);
    // The entry's model pass was over before the step began.
    EXPECT_EQ(modelCallsBeforeStep, 1);
    EXPECT_EQ(stored(entry)->insightStatus(), InsightStatus::Ready);
}

struct WeeklyErrorCase
{
    const char *name;
    std::function<void()> raise;
    InsightStatus status;
    const char *message;   // null: none; "*": the detector's sentence
    const char *lastError; // null: none; "*": the error's description
};

// Names the case in test listings.
void PrintTo(const WeeklyErrorCase &c, std::ostream *out)
{
    *out << c.name;
}

class WeeklyRunErrorTest : public WeeklyRunStepTest, public ::testing::WithParamInterface<WeeklyErrorCase>
{
};

TEST_P(WeeklyRunErrorTest, EachErrorHasItsRecordState)
{
    const WeeklyErrorCase &c = GetParam();
    useWeeklyGenerator(false, [&c]() -> WeeklyReflectionOutcome {
        c.raise();
        return {};
    });
    addWeek();
    requestWeekly();
    ASSERT_TRUE(waitIdle());
    WeeklyReflectionRecord *record = storedRecord(todaysKey());
    EXPECT_EQ(record->status(), c.status);
    if (!c.message) {
        EXPECT_FALSE(record->failureMessage().has_value());
    } else if (QByteArray(c.message) == "*") {
        EXPECT_EQ(record->failureMessage(), detector->statusDetail());
    } else {
        EXPECT_EQ(record->failureMessage(), QString::fromUtf8(c.message));
    }
    if (!c.lastError) {
        EXPECT_FALSE(coordinator->lastError().has_value());
    } else if (QByteArray(c.lastError) == "*") {
        EXPECT_TRUE(coordinator->lastError().has_value());
    } else {
        EXPECT_EQ(coordinator->lastError(), QString::fromUtf8(c.lastError));
    }
    EXPECT_TRUE(record->entryFingerprint().isEmpty());
}

using WK = WeeklyReflectionGenerator::GenerateError::Kind;
INSTANTIATE_TEST_SUITE_P(
    Mapping, WeeklyRunErrorTest,
    ::testing::Values(
        WeeklyErrorCase{"ContextTooLarge", [] { throw WeeklyReflectionGenerator::GenerateError(WK::ContextTooLarge); },
                        InsightStatus::Failed,
                        "These past-7-day entries are very long. On-device reflection couldn’t fit them even after "
                        "shortening. Tap Try again later.",
                        "Weekly context too large"},
        WeeklyErrorCase{"TimedOut", [] { throw WeeklyReflectionGenerator::GenerateError(WK::TimedOut); },
                        InsightStatus::Failed,
                        "Weekly reflection is taking too long. Tap Try again when you’re ready.", "Weekly timed out"},
        WeeklyErrorCase{"Unavailable", [] { throw WeeklyReflectionGenerator::GenerateError(WK::Unavailable); },
                        InsightStatus::Unavailable, "*", nullptr},
        WeeklyErrorCase{"Cancellation", [] { throw CancellationError(); }, InsightStatus::Pending, nullptr, nullptr},
        WeeklyErrorCase{"Empty", [] { throw WeeklyReflectionGenerator::GenerateError(WK::Empty); },
                        InsightStatus::Failed, "Reflection isn’t available right now.", "*"},
        WeeklyErrorCase{"Other", [] { throw std::runtime_error("socket closed"); }, InsightStatus::Failed,
                        "Reflection isn’t available right now.", "socket closed"}),
    [](const ::testing::TestParamInfo<WeeklyErrorCase> &info) { return std::string(info.param.name); });

TEST_F(WeeklyRunStepTest, GenerationFailedSetsItsDescription)
{
    const auto error = WeeklyReflectionGenerator::GenerateError::generationFailed(QStringLiteral("bad pass"));
    useWeeklyGenerator(false, [error]() -> WeeklyReflectionOutcome { throw error; });
    addWeek();
    requestWeekly();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(storedRecord(todaysKey())->status(), InsightStatus::Failed);
    EXPECT_EQ(coordinator->lastError(), error.description());
}

TEST_F(WeeklyRunStepTest, AFailedRecordIsRebuiltOnTheNextRequest)
{
    int calls = 0;
    useWeeklyGenerator(false, [&calls]() -> WeeklyReflectionOutcome {
        if (++calls == 1)
            throw WeeklyReflectionGenerator::GenerateError(WK::TimedOut);
        return weeklyOutcome();
    });
    addWeek();
    requestWeekly();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(storedRecord(todaysKey())->status(), InsightStatus::Failed);
    requestWeekly();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(storedRecord(todaysKey())->status(), InsightStatus::Ready);
    EXPECT_EQ(allRecords().size(), 1);
}

TEST_F(WeeklyRunStepTest, ThroughTheRealGeneratorAndScriptedModel)
{
    model.setResponder([](const lm::ScriptedCall &) {
        lm::GeneratedContent content;
        content.setText(QStringLiteral("summary"),
                        QStringLiteral("The week moved from a heavy inbox to a lunchtime river walk and a dinner "
                                       "with friends."));
        content.setText(QStringLiteral("emotionalArc"),
                        QStringLiteral("Overcast at the start, Partly cloudy midweek, Sunny by the end."));
        content.setTextList(QStringLiteral("notableMoments"), {QStringLiteral("A river walk at lunch.")});
        content.setText(QStringLiteral("overallSentiment"), QStringLiteral("brighter"));
        content.setText(QStringLiteral("recommendedFocus"),
                        QStringLiteral("Keeping some quiet time in the coming days."));
        return lm::ScriptedStep::answer(content);
    });
    addWeek();
    requestWeekly();
    ASSERT_TRUE(waitIdle());
    ASSERT_GE(model.callCount(), 1);
    EXPECT_EQ(model.calls()[0].schemaName, QStringLiteral("WeeklyReflectionResult"));
    EXPECT_TRUE(model.calls()[0].prompt.contains(QStringLiteral("River walk at lunch")));
    EXPECT_FALSE(model.calls()[0].prompt.contains(QStringLiteral("Unsaved draft words")));
    WeeklyReflectionRecord *record = storedRecord(todaysKey());
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->status(), InsightStatus::Ready);
    EXPECT_FALSE(record->summary().isEmpty());

    // A second request the same day asks the model nothing.
    const int calls = model.callCount();
    requestWeekly();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(model.callCount(), calls);
}

TEST_F(WeeklyRunStepTest, WithoutContainerNothingIsWritten)
{
    useWeeklyGenerator();
    coordinator->configure(detector.get(), settings.get(), nullptr);
    addWeek();
    requestWeekly();
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(allRecords().isEmpty());
    EXPECT_EQ(weeklyCallCount(), 0);
}

} // namespace
} // namespace zn::test
