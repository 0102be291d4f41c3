#include "platform/speech/DecoderWorker.h"

#include "platform/speech/BlockingQueue.h"
#include "platform/speech/PocketsphinxSpeechPlatform.h"
#include "platform/speech/SpeechTestAudio.h"
#include "support/TestSupport.h"

#include <QFile>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <condition_variable>
#include <mutex>

namespace zn::speech {
namespace {

using Samples = DecoderWorker::Samples;

// The process-wide pool, so the model loads once for the whole program.
std::shared_ptr<DecoderPool> sharedPool()
{
    return PocketsphinxSpeechPlatform::shared()->pool();
}

struct Recording {
    struct Result {
        QString text;
        bool isFinal;
    };
    std::mutex mutex;
    std::condition_variable done;
    std::vector<Result> results;
    QStringList errors;
    std::optional<bool> finishedCancelled;

    DecoderWorker::Events events()
    {
        DecoderWorker::Events e;
        e.result = [this](const QString &t, bool f) {
            std::lock_guard lock(mutex);
            results.push_back({t, f});
        };
        e.error = [this](const QString &d) {
            std::lock_guard lock(mutex);
            errors << d;
        };
        e.finished = [this](bool cancelled) {
            std::lock_guard lock(mutex);
            finishedCancelled = cancelled;
            done.notify_all();
        };
        return e;
    }
    bool waitFinished(std::chrono::milliseconds limit = std::chrono::seconds(30))
    {
        std::unique_lock lock(mutex);
        return done.wait_for(lock, limit, [this] { return finishedCancelled.has_value(); });
    }
    QStringList finals()
    {
        std::lock_guard lock(mutex);
        QStringList out;
        for (const auto &r : results)
            if (r.isFinal)
                out << r.text;
        return out;
    }
    int partialCount()
    {
        std::lock_guard lock(mutex);
        return std::count_if(results.begin(), results.end(), [](const Result &r) { return !r.isFinal; });
    }
};

struct Feed {
    std::shared_ptr<BlockingQueue<Samples>> queue = std::make_shared<BlockingQueue<Samples>>();
    DecoderWorker::Source source()
    {
        return [q = queue] { return q->next(); };
    }
    std::function<void()> interrupt()
    {
        return [q = queue] { q->cancel(); };
    }
    void push(const std::vector<std::int16_t> &samples, std::size_t chunk = 1024)
    {
        for (std::size_t at = 0; at < samples.size(); at += chunk)
            queue->push(Samples(samples.begin() + at, samples.begin() + std::min(samples.size(), at + chunk)));
    }
};

std::vector<std::int16_t> recording(const char *name)
{
    auto samples = test::readRawSamples(test::pocketsphinxRecording(QString::fromLatin1(name)));
    EXPECT_FALSE(samples.empty()) << "pocketsphinx-testdata is not installed";
    return samples;
}

std::vector<std::int16_t> concat(std::initializer_list<std::vector<std::int16_t>> parts)
{
    std::vector<std::int16_t> out;
    for (const auto &p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

TEST(DecoderWorker, UtterancesGiveGrowingPartialsAndFinalText)
{
    Feed feed;
    Recording run;
    DecoderWorker worker(sharedPool(), DecoderWorker::Mode::Utterances, feed.source(), feed.interrupt(),
                         run.events());
    worker.start();
    feed.push(concat({recording("goforward.raw"), test::noise(16000, 8)}));
    feed.queue->finish();
    ASSERT_TRUE(run.waitFinished());
    EXPECT_EQ(run.finishedCancelled, false);
    EXPECT_EQ(run.finals().join(QLatin1Char(' ')), QStringLiteral("go forward ten meters"));
    EXPECT_GE(run.partialCount(), 1);
    EXPECT_TRUE(run.errors.isEmpty());
}

TEST(DecoderWorker, LeadingDigitalSilenceDoesNotSplitTheFirstWords)
{
    Feed feed;
    Recording run;
    DecoderWorker worker(sharedPool(), DecoderWorker::Mode::Utterances, feed.source(), feed.interrupt(),
                         run.events());
    worker.start();
    feed.push(concat({std::vector<std::int16_t>(24000, 0), recording("goforward.raw")}));
    feed.queue->finish();
    ASSERT_TRUE(run.waitFinished());
    EXPECT_EQ(run.finals().join(QLatin1Char(' ')), QStringLiteral("go forward ten meters"));
}

TEST(DecoderWorker, WholeTextRepeatsEverythingSoFarAndEndsWithOneFinal)
{
    Feed feed;
    Recording run;
    DecoderWorker worker(sharedPool(), DecoderWorker::Mode::WholeText, feed.source(), feed.interrupt(),
                         run.events());
    worker.start();
    feed.push(concat({recording("something.raw"), test::noise(24000), recording("goforward.raw")}));
    feed.queue->finish();
    ASSERT_TRUE(run.waitFinished());
    const QStringList finals = run.finals();
    ASSERT_EQ(finals.size(), 1);
    EXPECT_EQ(finals.first(), QStringLiteral("go somewhere and do something go forward ten meters"));
    // Once the first utterance is done, every later report starts with it.
    bool sawSecond = false;
    for (const auto &r : run.results) {
        if (r.text.contains(QStringLiteral("forward"))) {
            sawSecond = true;
            EXPECT_TRUE(r.text.startsWith(QStringLiteral("go somewhere and do something "))) << r.text.toStdString();
        }
    }
    EXPECT_TRUE(sawSecond);
}

TEST(DecoderWorker, CancelEndsWithoutResultsAndUnblocksAWaitingSource)
{
    Feed feed;
    Recording run;
    auto worker = std::make_unique<DecoderWorker>(sharedPool(), DecoderWorker::Mode::Utterances, feed.source(),
                                                  feed.interrupt(), run.events());
    worker->start();
    feed.push(test::noise(4096));
    // The source is now blocked waiting for more audio (once the model has
    // loaded, which a loaded machine takes long for); cancel must wake it.
    ASSERT_TRUE(test::waitUntil([&] { return feed.queue->size() == 0; }, std::chrono::seconds(30)));
    worker->cancel();
    ASSERT_TRUE(run.waitFinished());
    EXPECT_EQ(run.finishedCancelled, true);
    EXPECT_TRUE(run.finals().isEmpty());
    worker.reset();
}

TEST(DecoderWorker, DestroyingARunningWorkerJoinsItsThread)
{
    Feed feed;
    Recording run;
    {
        DecoderWorker worker(sharedPool(), DecoderWorker::Mode::WholeText, feed.source(), feed.interrupt(),
                             run.events());
        worker.start();
        feed.push(recording("goforward.raw"));
    } // must not hang or crash while decoding
    EXPECT_EQ(run.finishedCancelled, true);
    EXPECT_TRUE(run.finals().isEmpty());
}

TEST(DecoderWorker, ModelThatWillNotLoadIsReportedAsAnError)
{
    test::TempDir dir;
    ModelPaths paths = ModelPaths::installedEnglish();
    paths.languageModel = dir.file(QStringLiteral("missing.lm.bin"));
    Feed feed;
    Recording run;
    DecoderWorker worker(std::make_shared<DecoderPool>(paths), DecoderWorker::Mode::Utterances, feed.source(),
                         feed.interrupt(), run.events());
    worker.start();
    ASSERT_TRUE(run.waitFinished());
    EXPECT_EQ(run.errors.size(), 1);
    EXPECT_TRUE(run.results.empty());
}

TEST(DecoderPool, LoadsOnceAndLendsTheSameDecoderAgain)
{
    auto pool = sharedPool();
    {
        auto lease = pool->acquire();
        ASSERT_TRUE(lease);
    }
    const int loads = pool->loadCount();
    PocketsphinxDecoder *first = nullptr;
    {
        auto lease = pool->acquire();
        first = lease.get();
        ASSERT_TRUE(lease);
        // A lease given back with an utterance open is reset for the next borrower.
        lease->startUtterance();
    }
    auto again = pool->acquire();
    EXPECT_EQ(again.get(), first);
    EXPECT_FALSE(again->utteranceOpen());
    EXPECT_EQ(pool->loadCount(), loads);
}

TEST(DecoderPool, MissingOrDamagedModelFailsCleanly)
{
    test::TempDir dir;
    const ModelPaths good = ModelPaths::installedEnglish();

    ModelPaths missing = good;
    missing.dictionary = dir.file(QStringLiteral("none.dict"));
    EXPECT_FALSE(missing.looksComplete());
    QString error;
    EXPECT_FALSE(PocketsphinxDecoder::load(missing, &error));
    EXPECT_FALSE(error.isEmpty());

    // A truncated language model is there but does not load.
    QFile source(good.languageModel);
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    QFile truncated(dir.file(QStringLiteral("cut.lm.bin")));
    ASSERT_TRUE(truncated.open(QIODevice::WriteOnly));
    truncated.write(source.read(100000));
    truncated.close();
    ModelPaths damaged = good;
    damaged.languageModel = truncated.fileName();
    EXPECT_TRUE(damaged.looksComplete());
    auto pool = std::make_shared<DecoderPool>(damaged);
    error.clear();
    EXPECT_FALSE(pool->acquire(&error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(pool->loadCount(), 0);
}

// One run of `audio` through a worker on `pool`, in capture-sized pieces:
// its finals, joined.
QString decodeOnce(const std::shared_ptr<DecoderPool> &pool, const std::vector<std::int16_t> &audio)
{
    Recording rec;
    Feed feed;
    DecoderWorker worker(pool, DecoderWorker::Mode::Utterances, feed.source(), feed.interrupt(), rec.events());
    worker.start();
    feed.push(audio, 341);
    feed.queue->finish();
    EXPECT_TRUE(rec.waitFinished());
    return rec.finals().join(QLatin1Char(' '));
}

TEST(DecoderWorker, AFreshDecodersFirstUtteranceIsAsGoodAsALaterOne)
{
    // Sentences a cold decoder gets wrong on its first hearing when it
    // normalises them against the model's stock channel estimate.
    const struct {
        const char *name;
        const char *text;
    } sentences[] = {
        {"walk", "today i walked along the river and felt calm"},
        {"evening", "in the evening i read the book and went to bed early"},
        {"mother", "tomorrow i will call my mother and plan the weekend"},
    };
    int firstErrors = 0;
    int laterErrors = 0;
    int words = 0;
    for (const auto &sentence : sentences) {
        const auto spoken = test::syntheticSentence(QString::fromLatin1(sentence.name), QStringLiteral("rms"));
        if (spoken.empty())
            GTEST_SKIP() << "the flite recordings were not made (install flite and sox)";
        const auto audio = concat({test::noise(4800), spoken, test::noise(12800)});
        const QString reference = QString::fromLatin1(sentence.text);

        auto pool = std::make_shared<DecoderPool>(ModelPaths::installedEnglish());
        const QString first = decodeOnce(pool, audio);
        const QString later = decodeOnce(pool, audio);
        EXPECT_EQ(pool->loadCount(), 1) << "both runs on the one decoder";
        firstErrors += test::wordErrors(reference, first);
        laterErrors += test::wordErrors(reference, later);
        words += int(reference.split(QLatin1Char(' ')).size());
        std::cout << sentence.name << ": first \"" << first.toStdString() << "\", later \"" << later.toStdString()
                  << "\"\n";
    }
    EXPECT_LE(firstErrors, laterErrors) << "of " << words << " words";
    EXPECT_LE(firstErrors * 10, words) << "at most one word in ten wrong";
}

TEST(DecoderWorker, AnUtteranceEndsSoonAfterTheVoiceStops)
{
    // The recording session commits a pending guess after a second or more
    // of quiet; the final must come well before, not after the library's own
    // slower end-of-speech detection.
    const auto spoken = test::syntheticSentence(QStringLiteral("weather"), QStringLiteral("rms"));
    if (spoken.empty())
        GTEST_SKIP() << "the flite recordings were not made (install flite and sox)";
    const auto audio = concat({test::noise(4800, 20), spoken, test::noise(48000, 20)});
    std::size_t voiceEnds = 0;
    for (std::size_t i = 0; i < audio.size(); ++i)
        if (std::abs(int(audio[i])) > 300)
            voiceEnds = i;

    constexpr std::size_t chunk = 341;
    Feed feed;
    feed.push(audio, chunk);
    feed.queue->finish();
    const std::size_t chunks = feed.queue->size();
    Recording rec;
    std::atomic<std::size_t> heardWhenFinal{0};
    DecoderWorker::Events events = rec.events();
    events.result = [&, record = events.result](const QString &text, bool isFinal) {
        if (isFinal && heardWhenFinal.load() == 0)
            heardWhenFinal = (chunks - feed.queue->size()) * chunk;
        record(text, isFinal);
    };
    DecoderWorker worker(sharedPool(), DecoderWorker::Mode::Utterances, feed.source(), feed.interrupt(),
                         std::move(events));
    worker.start();
    ASSERT_TRUE(rec.waitFinished());
    ASSERT_EQ(rec.finals().size(), 1);
    ASSERT_GT(heardWhenFinal.load(), voiceEnds);
    const double lag = double(heardWhenFinal.load() - voiceEnds) / 16000.0;
    EXPECT_LT(lag, 0.8) << "seconds of quiet before the final";
    std::cout << "final after " << lag << " s of quiet\n";
}

TEST(BlockingQueue, FinishDrainsQueuedItemsAndCancelDropsThem)
{
    BlockingQueue<int> finished;
    finished.push(1);
    finished.push(2);
    finished.finish();
    EXPECT_FALSE(finished.push(3));
    EXPECT_EQ(finished.next(), 1);
    EXPECT_EQ(finished.next(), 2);
    EXPECT_EQ(finished.next(), std::nullopt);

    BlockingQueue<int> cancelled;
    cancelled.push(1);
    cancelled.cancel();
    EXPECT_EQ(cancelled.next(), std::nullopt);
    EXPECT_FALSE(cancelled.push(2));
}

} // namespace
} // namespace zn::speech
