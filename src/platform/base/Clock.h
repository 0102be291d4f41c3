#pragma once

#include <QDateTime>
#include <QObject>
#include <QPointer>

#include <chrono>
#include <functional>
#include <map>
#include <memory>

class QTimer;

namespace zn {

// Source of "now" and of one-shot timers. Every debounce, time limit and
// watchdog in the app goes through a Clock so tests can move time by hand
// instead of sleeping.
class Clock
{
public:
    using TimerId = quint64;
    using Duration = std::chrono::milliseconds;

    virtual ~Clock() = default;

    // Wall-clock time.
    virtual QDateTime now() const = 0;

    // Calls `fn` once on `context`'s thread after `delay`, unless cancelled
    // first or `context` is destroyed. Returns an id for cancel().
    virtual TimerId schedule(Duration delay, QObject *context, std::function<void()> fn) = 0;

    // Cancelling an id that already fired or was never issued does nothing.
    virtual void cancel(TimerId id) = 0;

    // The process-wide real clock.
    static Clock &system();
};

// Real time and QTimer-driven timers.
class SystemClock final : public Clock
{
public:
    QDateTime now() const override;
    TimerId schedule(Duration delay, QObject *context, std::function<void()> fn) override;
    void cancel(TimerId id) override;

private:
    std::map<TimerId, QPointer<QTimer>> m_pending;
    TimerId m_next = 1;
};

// A clock for tests: time stands still until advance() moves it, firing due
// timers in deadline order (ties in scheduling order) on the calling thread.
class ManualClock final : public Clock
{
public:
    explicit ManualClock(QDateTime start = QDateTime::fromSecsSinceEpoch(1'741'305'600));

    QDateTime now() const override;
    TimerId schedule(Duration delay, QObject *context, std::function<void()> fn) override;
    void cancel(TimerId id) override;

    void setNow(const QDateTime &when);
    void advance(Duration by);
    int pendingCount() const;

private:
    struct Entry {
        qint64 dueMs;
        QPointer<QObject> context;
        bool hasContext;
        std::function<void()> fn;
    };
    qint64 m_nowMs;
    TimerId m_next = 1;
    std::map<TimerId, Entry> m_entries;
};

// A restartable one-shot timer on a Clock: the building block of debounces.
class ClockTimer
{
public:
    ClockTimer(Clock &clock, QObject *context);
    ~ClockTimer();
    ClockTimer(const ClockTimer &) = delete;
    ClockTimer &operator=(const ClockTimer &) = delete;

    // Cancels any pending shot and schedules `fn` after `delay`.
    void start(Clock::Duration delay, std::function<void()> fn);
    void stop();
    bool isActive() const { return m_id != 0; }

private:
    Clock *m_clock;
    QObject *m_context;
    Clock::TimerId m_id = 0;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace zn
