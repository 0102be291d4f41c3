#pragma once

#include "platform/base/Clock.h"
#include "platform/model/Cancellation.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>

namespace zn::GenerationTimeout {

// The time limit of a race ran out.
class TimeoutError : public std::exception
{
public:
    explicit TimeoutError(double seconds);
    double seconds() const { return m_seconds; }
    // "Reflection timed out after 75s."
    QString description() const;
    const char *what() const noexcept override { return m_what.constData(); }

private:
    double m_seconds;
    QByteArray m_what;
};

namespace detail {

// Shared by the operation, the alarm and the caller's stop.
struct RaceState
{
    std::mutex mutex;
    bool finished = false;
    bool timedOut = false;
    bool callerCancelled = false;
    std::stop_source stop;
};

// Calls `fire` once after `delay` on `clock` unless destroyed first. The
// destructor waits for a running `fire` to return.
class Alarm
{
public:
    Alarm(Clock &clock, std::chrono::milliseconds delay, std::function<void()> fire);
    ~Alarm();
    Alarm(const Alarm &) = delete;
    Alarm &operator=(const Alarm &) = delete;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

std::chrono::milliseconds toMilliseconds(double seconds);

} // namespace detail

// Runs `operation` on the calling thread (a worker thread: this blocks)
// against a time limit of `seconds` on `clock`. The operation gets a stop
// token that triggers when the limit runs out or `callerStop` triggers.
// Returns the operation's value or rethrows its error unchanged; throws
// TimeoutError when the limit ran out first and CancellationError when the
// caller stopped first. Always returns only after the operation has.
// With a clock other than the system clock the limit's timer is scheduled on
// the application's main thread (see sleepFor).
template <typename T>
T run(double seconds, const std::function<T(std::stop_token)> &operation,
      std::stop_token callerStop = {}, Clock &clock = Clock::system())
{
    auto state = std::make_shared<detail::RaceState>();
    std::optional<T> value;
    std::exception_ptr error;
    {
        std::stop_callback onCallerStop(callerStop, [state] {
            {
                std::lock_guard lock(state->mutex);
                if (!state->finished && !state->timedOut)
                    state->callerCancelled = true;
            }
            state->stop.request_stop();
        });
        detail::Alarm alarm(clock, detail::toMilliseconds(seconds), [state] {
            {
                std::lock_guard lock(state->mutex);
                if (state->finished || state->callerCancelled)
                    return;
                state->timedOut = true;
            }
            state->stop.request_stop();
        });
        try {
            value.emplace(operation(state->stop.get_token()));
        } catch (...) {
            error = std::current_exception();
        }
        std::lock_guard lock(state->mutex);
        state->finished = true;
    }
    if (state->timedOut)
        throw TimeoutError(seconds);
    if (state->callerCancelled)
        throw CancellationError();
    if (error)
        std::rethrow_exception(error);
    return std::move(*value);
}

} // namespace zn::GenerationTimeout
