#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

namespace zn::speech {

// Unbounded hand-over from the UI thread to one reader thread: push never
// waits and never drops; the reader blocks until an item, the end of input,
// or cancellation.
template <typename T>
class BlockingQueue
{
public:
    // False once finished or cancelled (the item is dropped).
    bool push(T item)
    {
        {
            std::lock_guard lock(m_mutex);
            if (m_finished || m_cancelled)
                return false;
            m_items.push_back(std::move(item));
        }
        m_ready.notify_one();
        return true;
    }

    // Items already pushed are still read.
    void finish()
    {
        {
            std::lock_guard lock(m_mutex);
            m_finished = true;
        }
        m_ready.notify_all();
    }

    // Drops what is queued; the reader sees the end at once.
    void cancel()
    {
        {
            std::lock_guard lock(m_mutex);
            m_cancelled = true;
            m_items.clear();
        }
        m_ready.notify_all();
    }

    std::optional<T> next()
    {
        std::unique_lock lock(m_mutex);
        m_ready.wait(lock, [this] { return m_cancelled || m_finished || !m_items.empty(); });
        if (m_cancelled || m_items.empty())
            return std::nullopt;
        T item = std::move(m_items.front());
        m_items.pop_front();
        return item;
    }

    bool isFinished() const
    {
        std::lock_guard lock(m_mutex);
        return m_finished || m_cancelled;
    }

    std::size_t size() const
    {
        std::lock_guard lock(m_mutex);
        return m_items.size();
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<T> m_items;
    bool m_finished = false;
    bool m_cancelled = false;
};

} // namespace zn::speech
