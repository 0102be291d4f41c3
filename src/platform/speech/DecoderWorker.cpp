#include "platform/speech/DecoderWorker.h"

#include <algorithm>
#include <cmath>

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

// Below the level the recording session counts as voice (0.04 of its
// meter's -50..+5 dB range).
constexpr double kQuietDecibels = -47.8;
// Quiet this long after words ends the utterance, so its final arrives well
// before the session commits the pending guess (a second or more of quiet)
// and does not wait on the library's own slower end-of-speech detection.
constexpr std::size_t kPauseSamples = std::size_t(0.5 * PocketsphinxDecoder::sampleRate);
// A cold decoder's first utterance is decoded twice; past this length its
// samples are not kept (the library updates its estimate on its own by then).
constexpr std::size_t kMaxSecondPassSamples = std::size_t(20 * PocketsphinxDecoder::sampleRate);

bool isQuiet(const DecoderWorker::Samples &samples)
{
    if (samples.empty())
        return true;
    double sum = 0.0;
    for (std::int16_t s : samples) {
        const double v = s / 32767.0;
        sum += v * v;
    }
    const double rms = std::max(std::sqrt(sum / double(samples.size())), 0.000001);
    return 20.0 * std::log10(rms) < kQuietDecibels;
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
    QString previousHypothesis;
    QString lastReported;
    const auto reportFinal = [&](const QString &text) {
        if (m_mode == Mode::Utterances) {
            // An utterance that showed words always ends with a final, even
            // an empty one, so the merge knows its guesses are over.
            if (!text.isEmpty() || !lastReported.isEmpty())
                report(text, true);
            return;
        }
        if (text.isEmpty())
            return;
        m_finals << text;
        report(joinedWith({}), false);
    };

    // A cold decoder keeps what it hears of the utterance for a second pass.
    Samples heard;
    bool keepHearing = !decoder->isWarm();
    const auto finishUtterance = [&] {
        const QString text = decoder->finishUtterance(keepHearing ? &heard : nullptr);
        heard.clear();
        keepHearing = !decoder->isWarm();
        return text;
    };

    bool heardSpeech = false;
    std::size_t quietSamples = 0;
    while (std::optional<Samples> chunk = m_source()) {
        if (m_cancelled.load())
            break;
        if (!decoder->process(chunk->data(), chunk->size())) {
            if (m_events.error && !m_cancelled.load())
                m_events.error(QStringLiteral("The speech decoder rejected the audio."));
            break;
        }
        if (keepHearing) {
            if (heard.size() + chunk->size() <= kMaxSecondPassSamples) {
                heard.insert(heard.end(), chunk->begin(), chunk->end());
            } else {
                keepHearing = false;
                Samples().swap(heard);
            }
        }
        quietSamples = isQuiet(*chunk) ? quietSamples + chunk->size() : 0;
        const bool paused = quietSamples >= kPauseSamples;
        const QString hypothesis = decoder->hypothesis();
        if (decoder->inSpeech() && !paused) {
            heardSpeech = true;
        } else if ((heardSpeech || paused) && !hypothesis.isEmpty()) {
            // End of an utterance. One whose hypothesis is still empty stays
            // open: leading digital silence otherwise splits the first words.
            reportFinal(finishUtterance());
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
    reportFinal(finishUtterance());
    if (m_mode == Mode::WholeText)
        report(joinedWith({}), true);
    decoder.reset(); // back to the pool before anyone hears we are done
    finish(m_cancelled.load());
}

} // namespace zn::speech
