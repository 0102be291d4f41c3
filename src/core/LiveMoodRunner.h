#pragma once

#include "core/MoodAnalysis.h"
#include "platform/base/Clock.h"

#include <QObject>
#include <QString>

#include <optional>

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

    // With this on, a request for a text too long for the live score also
    // works out what storing the text needs (analyzeEntryText), so a later
    // save of that text does no analysis on the UI thread. Off by default.
    void setPrefetchesEntryAnalysis(bool on) { m_prefetch = on; }
    // The analysis worked out ahead for exactly this trimmed text, once it
    // has arrived; only the latest one is kept.
    std::optional<EntryAnalysis> entryAnalysis(const QString &trimmedText) const;

Q_SIGNALS:
    // The current request's score. Not emitted when the text is too short or
    // too long to analyse.
    void analyzed(const QString &text, double score);

private:
    void run(const QString &text, quint64 request);

    ClockTimer m_timer;
    quint64 m_request = 0;
    int m_running = 0;
    bool m_prefetch = false;
    std::optional<EntryAnalysis> m_entryAnalysis;
};

} // namespace zn
