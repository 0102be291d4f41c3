#include "reflections/GenerationTimeout.h"

#include "platform/base/Clock.h"
#include "platform/model/ScriptedLanguageModel.h"
#include "reflections/GenerationHelpers.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QFuture>
#include <QtConcurrent>

#include <atomic>
#include <stdexcept>

using namespace std::chrono_literals;

namespace zn {

namespace {

enum class Ended { Value, Timeout, Cancelled, OperationError };

struct RaceResult
{
    Ended ended = Ended::Value;
    int value = 0;
    double timeoutSeconds = 0;
    QString errorText;
};

RaceResult runRace(double seconds, std::function<int(std::stop_token)> op, std::stop_token caller, Clock &clock)
{
    RaceResult result;
    try {
        result.value = GenerationTimeout::run<int>(seconds, op, caller, clock);
    } catch (const GenerationTimeout::TimeoutError &e) {
        result.ended = Ended::Timeout;
        result.timeoutSeconds = e.seconds();
        result.errorText = e.description();
    } catch (const CancellationError &) {
        result.ended = Ended::Cancelled;
    } catch (const std::exception &e) {
        result.ended = Ended::OperationError;
        result.errorText = QString::fromUtf8(e.what());
    }
    return result;
}

} // namespace

TEST(GenerationTimeoutError, DescribesWholeSeconds)
{
    EXPECT_EQ(GenerationTimeout::TimeoutError(75).description(), "Reflection timed out after 75s.");
    EXPECT_EQ(GenerationTimeout::TimeoutError(50.9).description(), "Reflection timed out after 50s.");
    EXPECT_STREQ(GenerationTimeout::TimeoutError(0.2).what(), "Reflection timed out after 0s.");
}

TEST(GenerationTimeoutRace, ValueWinsAndTheTimerIsCancelled)
{
    ManualClock clock;
    std::atomic_bool release = false;
    QFuture<RaceResult> race = QtConcurrent::run([&] {
        return runRace(50, [&](std::stop_token) {
            while (!release)
                std::this_thread::sleep_for(1ms);
            return 42;
        }, {}, clock);
    });
    ASSERT_TRUE(test::waitUntil([&] { return clock.pendingCount() == 1; }));
    clock.advance(1s);
    release = true;
    race.waitForFinished();
    EXPECT_EQ(race.result().ended, Ended::Value);
    EXPECT_EQ(race.result().value, 42);
    ASSERT_TRUE(test::waitUntil([&] { return clock.pendingCount() == 0; }));
    clock.advance(100s); // a late limit changes nothing
}

TEST(GenerationTimeoutRace, TimeoutIsDeliveredOnlyAfterTheOperationStopped)
{
    ManualClock clock;
    std::atomic_bool operationReturned = false;
    QFuture<RaceResult> race = QtConcurrent::run([&] {
        return runRace(50, [&](std::stop_token stop) {
            // Winds down slowly after the stop, like a model call finishing a token.
            while (!stop.stop_requested())
                std::this_thread::sleep_for(1ms);
            std::this_thread::sleep_for(80ms);
            operationReturned = true;
            return 1;
        }, {}, clock);
    });
    ASSERT_TRUE(test::waitUntil([&] { return clock.pendingCount() == 1; }));
    clock.advance(49s);
    EXPECT_FALSE(race.isFinished());
    clock.advance(1s);
    race.waitForFinished();
    EXPECT_TRUE(operationReturned);
    EXPECT_EQ(race.result().ended, Ended::Timeout);
    EXPECT_EQ(race.result().timeoutSeconds, 50);
    EXPECT_EQ(race.result().errorText, "Reflection timed out after 50s.");
}

TEST(GenerationTimeoutRace, OperationErrorsPassThroughUnchanged)
{
    ManualClock clock;
    QFuture<RaceResult> race = QtConcurrent::run([&] {
        return runRace(50, [](std::stop_token) -> int {
            throw lm::LanguageModelError(lm::LanguageModelError::Kind::ExceededContextWindow, "context exceeded");
        }, {}, clock);
    });
    race.waitForFinished();
    EXPECT_EQ(race.result().ended, Ended::OperationError);
    EXPECT_EQ(race.result().errorText, "context exceeded");

    // The exact type survives too.
    EXPECT_THROW(GenerationTimeout::run<int>(5, [](std::stop_token) -> int { throw std::out_of_range("x"); }),
                 std::out_of_range);
}

TEST(GenerationTimeoutRace, CallerCancellationEndsWithCancellationAfterTheOperation)
{
    std::stop_source caller;
    std::atomic_bool operationReturned = false;
    QFuture<RaceResult> race = QtConcurrent::run([&] {
        return runRace(50, [&](std::stop_token stop) {
            while (!stop.stop_requested())
                std::this_thread::sleep_for(1ms);
            operationReturned = true;
            return 7;
        }, caller.get_token(), Clock::system());
    });
    std::this_thread::sleep_for(20ms);
    caller.request_stop();
    race.waitForFinished();
    EXPECT_TRUE(operationReturned);
    EXPECT_EQ(race.result().ended, Ended::Cancelled);

    // Already cancelled on entry: the operation sees a stopped token at once.
    bool sawStopped = false;
    const RaceResult early = runRace(50, [&](std::stop_token stop) { sawStopped = stop.stop_requested(); return 1; },
                                     caller.get_token(), Clock::system());
    EXPECT_TRUE(sawStopped);
    EXPECT_EQ(early.ended, Ended::Cancelled);
}

TEST(GenerationTimeoutRace, SystemClockLimitCancelsAHangingModelCall)
{
    lm::ScriptedLanguageModel model;
    model.enqueue(lm::ScriptedStep::hangUntilCancelled());
    const auto started = std::chrono::steady_clock::now();
    QFuture<RaceResult> race = QtConcurrent::run([&] {
        return runRace(0.1, [&](std::stop_token stop) {
            model.makeSession("i")->respond("p", lm::GenerationSchema{}, true, {}, stop);
            return 0;
        }, {}, Clock::system());
    });
    race.waitForFinished();
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(race.result().ended, Ended::Timeout);
    EXPECT_LT(took, 2s);
    EXPECT_EQ(model.calls().at(0).outcome, lm::ScriptedCall::Outcome::Cancelled);
}

TEST(GenerationTimeoutRace, WaitsForAnOperationThatIgnoresCancellationForAWhile)
{
    lm::ScriptedLanguageModel model;
    model.enqueue(lm::ScriptedStep::hangUntilCancelled().ignoringCancellationFor(300ms));
    const auto started = std::chrono::steady_clock::now();
    const RaceResult result = runRace(0.05, [&](std::stop_token stop) {
        model.makeSession("i")->respond("p", lm::GenerationSchema{}, true, {}, stop);
        return 0;
    }, {}, Clock::system());
    EXPECT_EQ(result.ended, Ended::Timeout);
    EXPECT_GE(std::chrono::steady_clock::now() - started, 300ms);
    EXPECT_EQ(model.runningCalls(), 0);
}

TEST(SleepFor, SleepsOnTheInjectedClockAndStopsAtOnceWhenCancelled)
{
    ManualClock clock;
    std::atomic_bool woke = false;
    QFuture<void> sleeper = QtConcurrent::run([&] {
        sleepFor(1200ms, {}, clock);
        woke = true;
    });
    ASSERT_TRUE(test::waitUntil([&] { return clock.pendingCount() == 1; }));
    clock.advance(1199ms);
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(woke);
    clock.advance(1ms);
    sleeper.waitForFinished();
    EXPECT_TRUE(woke);

    std::stop_source stop;
    std::atomic_bool cancelled = false;
    QFuture<void> second = QtConcurrent::run([&] {
        try {
            sleepFor(10s, stop.get_token(), clock);
        } catch (const CancellationError &) {
            cancelled = true;
        }
    });
    ASSERT_TRUE(test::waitUntil([&] { return clock.pendingCount() == 1; }));
    stop.request_stop();
    second.waitForFinished();
    EXPECT_TRUE(cancelled);
    EXPECT_TRUE(test::waitUntil([&] { return clock.pendingCount() == 0; }));

    EXPECT_THROW(sleepFor(1ms, stop.get_token()), CancellationError);
    EXPECT_NO_THROW(sleepFor(0ms));
}

TEST(SleepFor, RealClockWaitsTheDuration)
{
    const auto started = std::chrono::steady_clock::now();
    sleepFor(30ms);
    EXPECT_GE(std::chrono::steady_clock::now() - started, 30ms);
}

} // namespace zn
