#pragma once

// The event loop's pulse: a timer that asks to fire every millisecond and
// notes the longest time between two of its shots. While the loop turns
// freely that gap stays near a millisecond; a handler that holds the UI
// thread shows up as a gap as long as it held it.

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <algorithm>

namespace zn::bench {

class Heartbeat : public QObject
{
public:
    Heartbeat()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] { beat(); });
    }

    void start()
    {
        m_longestNs = 0;
        m_clock.start();
        m_last = 0;
        m_timer.start();
    }
    void stop() { m_timer.stop(); }

    // Forgets the gaps seen so far; the pulse goes on.
    void reset()
    {
        m_longestNs = 0;
        m_last = m_clock.nsecsElapsed();
    }

    // Counting the gap still open: a hold that has only just ended.
    double longestGapMs() const
    {
        return double(std::max(m_longestNs, m_clock.nsecsElapsed() - m_last)) / 1e6;
    }

private:
    void beat()
    {
        const qint64 now = m_clock.nsecsElapsed();
        m_longestNs = std::max(m_longestNs, now - m_last);
        m_last = now;
    }

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longestNs = 0;
};

} // namespace zn::bench
