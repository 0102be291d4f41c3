#include "reflections/GenerationTimeout.h"

#include <QCoreApplication>
#include <QThread>

#include <cmath>
#include <condition_variable>
#include <limits>
#include <thread>
#include <utility>

namespace zn::GenerationTimeout {

TimeoutError::TimeoutError(double seconds)
    : m_seconds(seconds)
    , m_what(description().toUtf8())
{
}

QString TimeoutError::description() const
{
    // The fraction is dropped: 75.9 s reads "75s".
    const double whole = std::isfinite(m_seconds) ? std::trunc(m_seconds) : 0.0;
    return QStringLiteral("Reflection timed out after %1s.").arg(static_cast<qint64>(whole));
}

namespace detail {

std::chrono::milliseconds toMilliseconds(double seconds)
{
    if (!(seconds > 0))
        return std::chrono::milliseconds(0);
    // About 24 days is far beyond any limit here and keeps timers in range.
    const double ms = std::min(seconds * 1000.0, double(std::numeric_limits<int>::max()));
    return std::chrono::milliseconds(static_cast<qint64>(std::ceil(ms)));
}

namespace {

// Runs `fn` on the application's main thread: at once when already there (or
// when there is no application), else queued to its event loop.
void onMainThread(std::function<void()> fn)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) {
        fn();
        return;
    }
    QMetaObject::invokeMethod(app, std::move(fn), Qt::QueuedConnection);
}

} // namespace

struct Alarm::Impl
{
    // The system clock: a thread of its own waits on the monotonic clock,
    // so the limit holds even while the main thread is busy.
    std::jthread waiter;

    // Any other clock: a timer on the clock, set up on the main thread.
    struct Shared
    {
        std::mutex mutex;
        std::condition_variable idle;
        bool cancelled = false;
        bool firing = false;
        // The timer's context: deleting it disarms the timer without touching
        // the clock, which may already be gone when the deletion runs.
        QObject *context = nullptr;
    };
    std::shared_ptr<Shared> shared;
};

Alarm::Alarm(Clock &clock, std::chrono::milliseconds delay, std::function<void()> fire)
    : m_impl(std::make_unique<Impl>())
{
    if (dynamic_cast<SystemClock *>(&clock)) {
        const auto deadline = std::chrono::steady_clock::now() + delay;
        m_impl->waiter = std::jthread([deadline, fire = std::move(fire)](std::stop_token stop) {
            std::mutex mutex;
            std::condition_variable_any wake;
            std::unique_lock lock(mutex);
            wake.wait_until(lock, stop, deadline, [] { return false; });
            if (!stop.stop_requested())
                fire();
        });
        return;
    }
    auto shared = std::make_shared<Impl::Shared>();
    m_impl->shared = shared;
    Clock *target = &clock;
    onMainThread([shared, target, delay, fire = std::move(fire)]() mutable {
        std::lock_guard lock(shared->mutex);
        if (shared->cancelled)
            return;
        // Owned by the application too, so a context whose deletion was
        // queued from a worker thread just before quitting is still freed.
        shared->context = new QObject(QCoreApplication::instance());
        target->schedule(delay, shared->context, [shared, fire]() {
            {
                std::lock_guard lock(shared->mutex);
                if (shared->cancelled)
                    return;
                shared->firing = true;
            }
            fire();
            std::lock_guard lock(shared->mutex);
            shared->firing = false;
            shared->idle.notify_all();
        });
    });
}

Alarm::~Alarm()
{
    if (!m_impl->shared)
        return; // the jthread stops and joins on its own
    auto shared = m_impl->shared;
    std::unique_lock lock(shared->mutex);
    shared->cancelled = true;
    shared->idle.wait(lock, [&] { return !shared->firing; });
    if (QObject *context = std::exchange(shared->context, nullptr)) {
        lock.unlock();
        onMainThread([context] { delete context; });
    }
}

} // namespace detail
} // namespace zn::GenerationTimeout
