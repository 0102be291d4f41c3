#pragma once

#include "platform/base/Clock.h"

#include <QObject>
#include <QString>

namespace zn {

// The live mood of a text being written or dictated: analyzeText of the
// latest text after a quiet pause, run off the UI thread on a shared
// low-priority pool. Only the latest request counts: a new request or
// cancel() drops every earlier one, whether it is still waiting or already
// being analysed, and a dropped result is never delivered. Lives on the main
// thread; results arrive there. Analyses still running when the application
// quits are waited for before the analysis data goes away.
//
//   LiveMoodRunner mood(clock);
//   connect(&mood, &LiveMoodRunner::analyzed, this, [](const QString &, double score) { … });
//   mood.schedule(text);   // on every change of the text
//   mood.cancel();         // when the text is left or cleared
class LiveMoodRunner final : public QObject
{
    Q_OBJECT

public:
    static constexpr Clock::Duration kDefaultDelay{500};

    explicit LiveMoodRunner(Clock &clock, QObject *parent = nullptr);
    ~LiveMoodRunner() override;

    // Drops any earlier request and analyses `text` once `delay` has passed
    // without a newer request.
    void schedule(const QString &text, Clock::Duration delay = kDefaultDelay);
    // Drops the current request, waiting or running.
    void cancel();
    // A request is waiting out its delay, or an analysis (even a dropped
    // one) has not returned yet.
    bool isPending() const;

Q_SIGNALS:
    // The current request's score. Not emitted when the text is too short or
    // too long to analyse.
    void analyzed(const QString &text, double score);

private:
    void run(const QString &text, quint64 request);

    ClockTimer m_timer;
    quint64 m_request = 0;
    int m_running = 0;
};

} // namespace zn
