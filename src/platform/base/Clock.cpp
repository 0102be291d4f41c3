#include "platform/base/Clock.h"

#include <QTimer>

#include <algorithm>

namespace zn {

Clock &Clock::system()
{
    static SystemClock clock;
    return clock;
}

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTime();
}

Clock::TimerId SystemClock::schedule(Duration delay, QObject *context, std::function<void()> fn)
{
    const TimerId id = m_next++;
    auto *timer = new QTimer(context);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    m_pending.emplace(id, timer);
    QObject::connect(timer, &QTimer::timeout, timer, [this, id, timer, fn = std::move(fn)]() {
        m_pending.erase(id);
        timer->deleteLater();
        fn();
    });
    QObject::connect(timer, &QObject::destroyed, [this, id]() { m_pending.erase(id); });
    timer->start(delay);
    return id;
}

void SystemClock::cancel(TimerId id)
{
    auto it = m_pending.find(id);
    if (it == m_pending.end())
        return;
    QPointer<QTimer> timer = it->second;
    m_pending.erase(it);
    if (timer) {
        timer->stop();
        timer->deleteLater();
    }
}

ManualClock::ManualClock(QDateTime start)
    : m_nowMs(start.toMSecsSinceEpoch())
{
}

QDateTime ManualClock::now() const
{
    return QDateTime::fromMSecsSinceEpoch(m_nowMs);
}

Clock::TimerId ManualClock::schedule(Duration delay, QObject *context, std::function<void()> fn)
{
    const TimerId id = m_next++;
    const qint64 due = m_nowMs + std::max<qint64>(0, delay.count());
    m_entries.emplace(id, Entry{due, QPointer<QObject>(context), context != nullptr, std::move(fn)});
    return id;
}

void ManualClock::cancel(TimerId id)
{
    m_entries.erase(id);
}

void ManualClock::setNow(const QDateTime &when)
{
    m_nowMs = when.toMSecsSinceEpoch();
}

void ManualClock::advance(Duration by)
{
    const qint64 target = m_nowMs + std::max<qint64>(0, by.count());
    for (;;) {
        // Earliest due entry at or before the target; ids break ties.
        auto best = m_entries.end();
        for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
            if (it->second.dueMs > target)
                continue;
            if (best == m_entries.end() || it->second.dueMs < best->second.dueMs)
                best = it;
        }
        if (best == m_entries.end())
            break;
        Entry entry = std::move(best->second);
        m_entries.erase(best);
        m_nowMs = std::max(m_nowMs, entry.dueMs);
        if (entry.hasContext && !entry.context)
            continue;
        entry.fn();
    }
    m_nowMs = target;
}

int ManualClock::pendingCount() const
{
    int n = 0;
    for (const auto &[id, e] : m_entries)
        if (!e.hasContext || e.context)
            ++n;
    return n;
}

ClockTimer::ClockTimer(Clock &clock, QObject *context)
    : m_clock(&clock)
    , m_context(context)
{
}

ClockTimer::~ClockTimer()
{
    *m_alive = false;
    stop();
}

void ClockTimer::start(Clock::Duration delay, std::function<void()> fn)
{
    stop();
    std::weak_ptr<bool> alive = m_alive;
    m_id = m_clock->schedule(delay, m_context, [this, alive, fn = std::move(fn)]() {
        if (alive.expired())
            return;
        m_id = 0;
        fn();
    });
}

void ClockTimer::stop()
{
    if (m_id != 0) {
        m_clock->cancel(m_id);
        m_id = 0;
    }
}

} // namespace zn
