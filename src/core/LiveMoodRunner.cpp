#include "core/LiveMoodRunner.h"

#include "core/MoodAnalysis.h"
#include "core/TextUnits.h"

#include <QCoreApplication>
#include <QFutureWatcher>
#include <QThread>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <optional>

namespace zn {
namespace {

// Below the UI thread's priority, shared by every runner.
QThreadPool &livePool()
{
    static QThreadPool pool;
    static const bool configured = [] {
        pool.setMaxThreadCount(2);
        pool.setThreadPriority(QThread::LowPriority);
        // The pool outlives the analysis code's own data at static
        // destruction, so drain it while that data is still alive.
        qAddPostRoutine([] { pool.waitForDone(); });
        return true;
    }();
    Q_UNUSED(configured);
    return pool;
}

struct LiveResult {
    std::optional<double> score;
    std::optional<EntryAnalysis> entry;
};

// Texts of up to this many code units analyse in a few milliseconds, quick
// enough for a save on the UI thread.
constexpr qsizetype kPrefetchAbove = kLiveMaximum;

} // namespace

LiveMoodRunner::LiveMoodRunner(Clock &clock, QObject *parent)
    : QObject(parent)
    , m_timer(clock, this)
{
}

LiveMoodRunner::~LiveMoodRunner() = default;

void LiveMoodRunner::schedule(const QString &text, Clock::Duration delay)
{
    cancel();
    const quint64 request = m_request;
    m_timer.start(delay, [this, text, request] { run(text, request); });
}

void LiveMoodRunner::cancel()
{
    m_timer.stop();
    ++m_request;
}

bool LiveMoodRunner::isPending() const
{
    return m_timer.isActive() || m_running > 0;
}

std::optional<EntryAnalysis> LiveMoodRunner::entryAnalysis(const QString &trimmedText) const
{
    if (m_entryAnalysis && m_entryAnalysis->text == trimmedText)
        return m_entryAnalysis;
    return std::nullopt;
}

void LiveMoodRunner::run(const QString &text, quint64 request)
{
    ++m_running;
    auto *watcher = new QFutureWatcher<LiveResult>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, text, request] {
        --m_running;
        LiveResult result = watcher->result();
        watcher->deleteLater();
        // Keyed by its text, an analysis stays good even for a dropped request.
        if (result.entry)
            m_entryAnalysis = std::move(result.entry);
        if (request == m_request && result.score)
            emit analyzed(text, *result.score);
    });
    const bool prefetch = m_prefetch;
    watcher->setFuture(QtConcurrent::run(&livePool(), [text, prefetch]() -> LiveResult {
        LiveResult result;
        if (const auto mood = analyzeText(text))
            result.score = mood->score;
        if (prefetch && text.size() > kPrefetchAbove && !text::isBlank(text)) {
            EntryAnalysis analysis = analyzeEntryText(text);
            if (analysis.text.size() > kPrefetchAbove)
                result.entry = std::move(analysis);
        }
        return result;
    }));
}

} // namespace zn
