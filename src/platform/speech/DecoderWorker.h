#pragma once

#include "platform/speech/PocketsphinxDecoder.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace zn::speech {

// Runs one recognition over a stream of 16 kHz mono samples on a thread of
// its own, which holds its decoder for the whole run.
//
// Utterances: growing partial hypotheses, then one final per utterance, as a
// streaming analyzer reports them.
// WholeText: every report carries the whole text so far (finished utterances
// plus the current hypothesis); one final with the whole text at the end.
// Partial hypotheses carry only the words the decoder has stopped revising.
class DecoderWorker
{
public:
    enum class Mode { Utterances, WholeText };

    using Samples = std::vector<std::int16_t>;
    // Blocks until samples arrive; nullopt once the input is finished or
    // cancelled.
    using Source = std::function<std::optional<Samples>()>;

    // All called on the worker thread.
    struct Events {
        std::function<void(const QString &text, bool isFinal)> result;
        std::function<void(const QString &description)> error;
        // Last call of a run. `cancelled` runs report nothing after cancel.
        std::function<void(bool cancelled)> finished;
    };

    DecoderWorker(std::shared_ptr<DecoderPool> pool, Mode mode, Source source,
                  std::function<void()> interruptSource, Events events);
    // Cancels and joins: no event is delivered after the destructor returns.
    ~DecoderWorker();
    DecoderWorker(const DecoderWorker &) = delete;
    DecoderWorker &operator=(const DecoderWorker &) = delete;

    void start();
    // Stops at the next chunk without a final; wakes a waiting source.
    void cancel();
    // Blocks until the thread has ended (tests, shutdown).
    void join();

private:
    void run();
    void report(const QString &text, bool isFinal);

    std::shared_ptr<DecoderPool> m_pool;
    Mode m_mode;
    Source m_source;
    std::function<void()> m_interrupt;
    Events m_events;
    std::atomic<bool> m_cancelled{false};
    std::thread m_thread;
    QStringList m_finals; // WholeText: utterances finished in this run
};

} // namespace zn::speech
