#include "platform/speech/DecoderWorker.h"

namespace zn::speech {

namespace {

// The words two successive hypotheses agree on, from the start. The decoder
// revises its newest words freely ("go forward can meet" before "go forward
// ten meters"); only words that survived a revision are reported, so the
// merge never takes a passing guess for a new segment.
QString stablePrefix(const QString &previous, const QString &current)
{
    const QStringList a = previous.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QStringList b = current.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    qsizetype n = 0;
    while (n < a.size() && n < b.size() && a[n] == b[n])
        ++n;
    return QStringList(b.mid(0, n)).join(QLatin1Char(' '));
}

} // namespace

DecoderWorker::DecoderWorker(std::shared_ptr<DecoderPool> pool, Mode mode, Source source,
                             std::function<void()> interruptSource, Events events)
    : m_pool(std::move(pool))
    , m_mode(mode)
    , m_source(std::move(source))
    , m_interrupt(std::move(interruptSource))
    , m_events(std::move(events))
{
}

DecoderWorker::~DecoderWorker()
{
    cancel();
    join();
}

void DecoderWorker::start()
{
    if (m_thread.joinable())
        return;
    m_thread = std::thread([this] { run(); });
}

void DecoderWorker::cancel()
{
    m_cancelled.store(true);
    if (m_interrupt)
        m_interrupt();
}

void DecoderWorker::join()
{
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
        m_thread.join();
}

void DecoderWorker::report(const QString &text, bool isFinal)
{
    if (m_cancelled.load() || !m_events.result)
        return;
    m_events.result(text, isFinal);
}

void DecoderWorker::run()
{
    auto finish = [this](bool cancelled) {
        if (m_events.finished)
            m_events.finished(cancelled);
    };
    QString loadError;
    DecoderPool::Lease decoder = m_pool->acquire(&loadError);
    if (!decoder) {
        if (!m_cancelled.load() && m_events.error)
            m_events.error(loadError);
        finish(m_cancelled.load());
        return;
    }
    if (!decoder->startUtterance()) {
        if (m_events.error)
            m_events.error(QStringLiteral("The speech decoder could not start."));
        finish(m_cancelled.load());
        return;
    }

    const auto joinedWith = [this](const QString &tail) {
        QStringList parts = m_finals;
        if (!tail.isEmpty())
            parts << tail;
        return parts.join(QLatin1Char(' '));
    };
    const auto reportFinal = [&](const QString &text) {
        if (text.isEmpty())
            return;
        if (m_mode == Mode::Utterances) {
            report(text, true);
        } else {
            m_finals << text;
            report(joinedWith({}), false);
        }
    };

    QString previousHypothesis;
    QString lastReported;
    bool heardSpeech = false;
    while (std::optional<Samples> chunk = m_source()) {
        if (m_cancelled.load())
            break;
        if (!decoder->process(chunk->data(), chunk->size())) {
            if (m_events.error && !m_cancelled.load())
                m_events.error(QStringLiteral("The speech decoder rejected the audio."));
            break;
        }
        const QString hypothesis = decoder->hypothesis();
        if (decoder->inSpeech()) {
            heardSpeech = true;
        } else if (heardSpeech && !hypothesis.isEmpty()) {
            // End of an utterance. One whose hypothesis is still empty stays
            // open: leading digital silence otherwise splits the first words.
            decoder->endUtterance();
            reportFinal(decoder->hypothesis());
            decoder->startUtterance();
            heardSpeech = false;
            previousHypothesis.clear();
            lastReported.clear();
            continue;
        }
        if (hypothesis == previousHypothesis)
            continue;
        const QString stable = stablePrefix(previousHypothesis, hypothesis);
        previousHypothesis = hypothesis;
        if (!stable.isEmpty() && stable != lastReported) {
            lastReported = stable;
            report(m_mode == Mode::Utterances ? stable : joinedWith(stable), false);
        }
    }

    if (m_cancelled.load()) {
        decoder->endUtterance();
        finish(true);
        return;
    }
    decoder->endUtterance();
    reportFinal(decoder->hypothesis());
    if (m_mode == Mode::WholeText)
        report(joinedWith({}), true);
    decoder.reset(); // back to the pool before anyone hears we are done
    finish(m_cancelled.load());
}

} // namespace zn::speech
