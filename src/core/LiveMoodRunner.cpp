#include "core/LiveMoodRunner.h"

#include "core/MoodAnalysis.h"

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

void LiveMoodRunner::run(const QString &text, quint64 request)
{
    ++m_running;
    auto *watcher = new QFutureWatcher<std::optional<double>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, text, request] {
        --m_running;
        const std::optional<double> score = watcher->result();
        watcher->deleteLater();
        if (request == m_request && score)
            emit analyzed(text, *score);
    });
    watcher->setFuture(QtConcurrent::run(&livePool(), [text]() -> std::optional<double> {
        const auto mood = analyzeText(text);
        return mood ? std::optional<double>(mood->score) : std::nullopt;
    }));
}

} // namespace zn
