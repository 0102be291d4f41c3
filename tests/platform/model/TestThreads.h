#pragma once

#include "support/TestSupport.h"

#include <QtConcurrent>

#include <exception>
#include <optional>

namespace zn::test {

// Runs `fn` on a worker thread while this thread keeps its event loop (and
// the in-test server on it) turning; returns the value or rethrows.
template <typename F>
auto offMainThread(F fn, std::chrono::milliseconds timeout = std::chrono::seconds(10))
{
    using T = decltype(fn());
    struct Outcome { std::optional<std::conditional_t<std::is_void_v<T>, int, T>> value; std::exception_ptr error; };
    QFuture<Outcome> future = QtConcurrent::run([fn]() mutable {
        Outcome out;
        try {
            if constexpr (std::is_void_v<T>) {
                fn();
                out.value = 0;
            } else {
                out.value = fn();
            }
        } catch (...) {
            out.error = std::current_exception();
        }
        return out;
    });
    if (!waitUntil([&] { return future.isFinished(); }, timeout))
        throw std::runtime_error("worker call did not finish");
    Outcome out = future.result();
    if (out.error)
        std::rethrow_exception(out.error);
    if constexpr (!std::is_void_v<T>)
        return std::move(*out.value);
}

} // namespace zn::test
