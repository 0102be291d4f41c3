#include "platform/base/Clock.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/SystemLog.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QObject>

using namespace std::chrono_literals;

namespace zn {

TEST(ManualClock, FiresDueTimersInDeadlineOrderAndTiesInScheduleOrder)
{
    ManualClock clock;
    QObject ctx;
    QStringList order;
    clock.schedule(300ms, &ctx, [&] { order << "c"; });
    clock.schedule(100ms, &ctx, [&] { order << "a"; });
    clock.schedule(100ms, &ctx, [&] { order << "b"; });
    clock.advance(99ms);
    EXPECT_TRUE(order.isEmpty());
    clock.advance(1ms);
    EXPECT_EQ(order, (QStringList{"a", "b"}));
    clock.advance(1s);
    EXPECT_EQ(order, (QStringList{"a", "b", "c"}));
}

TEST(ManualClock, TimerScheduledFromCallbackSeesAdvancedTime)
{
    const QDateTime start = QDateTime::fromSecsSinceEpoch(1000);
    ManualClock clock(start);
    QObject ctx;
    QDateTime innerFired;
    clock.schedule(100ms, &ctx, [&] {
        EXPECT_EQ(clock.now(), start.addMSecs(100));
        clock.schedule(50ms, &ctx, [&] { innerFired = clock.now(); });
    });
    clock.advance(500ms);
    EXPECT_EQ(innerFired, start.addMSecs(150));
    EXPECT_EQ(clock.now(), start.addMSecs(500));
}

TEST(ManualClock, CancelledAndOrphanedTimersNeverFire)
{
    ManualClock clock;
    int fired = 0;
    auto ctx = std::make_unique<QObject>();
    QObject other;
    const auto id = clock.schedule(10ms, &other, [&] { ++fired; });
    clock.schedule(10ms, ctx.get(), [&] { ++fired; });
    clock.cancel(id);
    clock.cancel(12345); // unknown id: no effect
    ctx.reset();
    EXPECT_EQ(clock.pendingCount(), 0);
    clock.advance(1s);
    EXPECT_EQ(fired, 0);
}

TEST(ClockTimer, RestartDebouncesAndDestructionCancels)
{
    ManualClock clock;
    QObject ctx;
    int fired = 0;
    {
        ClockTimer timer(clock, &ctx);
        timer.start(100ms, [&] { ++fired; });
        clock.advance(80ms);
        timer.start(100ms, [&] { ++fired; });
        clock.advance(80ms);
        EXPECT_EQ(fired, 0);
        EXPECT_TRUE(timer.isActive());
        clock.advance(20ms);
        EXPECT_EQ(fired, 1);
        EXPECT_FALSE(timer.isActive());
        timer.start(100ms, [&] { ++fired; });
    }
    clock.advance(1s);
    EXPECT_EQ(fired, 1);
}

TEST(SystemClock, FiresOnTheEventLoopAndCancels)
{
    QObject ctx;
    bool fired = false, cancelledFired = false;
    Clock::system().schedule(5ms, &ctx, [&] { fired = true; });
    const auto id = Clock::system().schedule(5ms, &ctx, [&] { cancelledFired = true; });
    Clock::system().cancel(id);
    EXPECT_TRUE(test::waitUntil([&] { return fired; }));
    test::waitUntil([] { return false; }, 30ms);
    EXPECT_FALSE(cancelledFired);
}

TEST(NotificationCenter, DeliversByNameUntilReceiverIsGone)
{
    NotificationCenter center;
    int hits = 0;
    QVariantMap seen;
    {
        QObject receiver;
        center.addObserver(Notifications::DataDidReset, &receiver, [&](const QVariantMap &info) {
            ++hits;
            seen = info;
        });
        center.post(Notifications::NewEntry);
        center.post(Notifications::DataDidReset, {{"k", 1}});
    }
    center.post(Notifications::DataDidReset);
    EXPECT_EQ(hits, 1);
    EXPECT_EQ(seen.value("k").toInt(), 1);
}

TEST(SystemLog, CaptureSeesLinesOnlyWhileAlive)
{
    systemLog("Zephyrnote: before");
    SystemLogCapture capture;
    systemLog("Zephyrnote: during");
    EXPECT_EQ(capture.lines(), QStringList{"Zephyrnote: during"});
}

} // namespace zn
