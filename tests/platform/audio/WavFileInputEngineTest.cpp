#include "platform/audio/WavFileInputEngine.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QThread>

#include <mutex>
#include <vector>

namespace zn {
namespace {

using namespace std::chrono_literals;

const AudioFormat kMono16k{SampleFormat::Int16, 16000.0, 1};

WavFile ramp(std::uint32_t frames)
{
    WavFile file;
    file.format = kMono16k;
    file.samples.resize(qsizetype(frames) * 2);
    auto *samples = reinterpret_cast<std::int16_t *>(file.samples.data());
    for (std::uint32_t i = 0; i < frames; ++i)
        samples[i] = std::int16_t(i % 30000 + 1);
    return file;
}

struct Collector
{
    std::mutex mutex;
    std::vector<AudioBuffer> buffers;
    AudioInputEngine::TapBlock block()
    {
        return [this](const AudioBuffer &b) {
            std::lock_guard lock(mutex);
            buffers.push_back(b);
        };
    }
    size_t count()
    {
        std::lock_guard lock(mutex);
        return buffers.size();
    }
};

TEST(WavFileInputEngineTest, PlaysTheFileInWholeBuffersThenSilence)
{
    WavFileInputEngine engine(ramp(2500), 0.0);
    ASSERT_EQ(engine.inputFormat(), kMono16k);
    EXPECT_FALSE(engine.outputFormat());
    Collector collector;
    engine.installTap(1024, kMono16k, collector.block());
    ASSERT_FALSE(engine.start());
    EXPECT_TRUE(engine.isRunning());
    ASSERT_TRUE(test::waitUntil([&] { return collector.count() >= 6; }, 3000ms));
    engine.stop();
    EXPECT_FALSE(engine.isRunning());
    EXPECT_TRUE(engine.reachedEnd());

    std::lock_guard lock(collector.mutex);
    for (const AudioBuffer &b : collector.buffers)
        ASSERT_EQ(b.frameLength(), 1024u);
    // The file's frames in order, the last buffer padded, then zeros.
    EXPECT_EQ(collector.buffers[0].int16Data()[0], 1);
    EXPECT_EQ(collector.buffers[1].int16Data()[0], 1025);
    EXPECT_EQ(collector.buffers[2].int16Data()[2500 - 2048 - 1], 2500);
    EXPECT_EQ(collector.buffers[2].int16Data()[2500 - 2048], 0);
    EXPECT_EQ(collector.buffers[4].int16Data()[7], 0);
}

TEST(WavFileInputEngineTest, PacesAtTheRequestedSpeedAndStopsPromptly)
{
    // 16 buffers of 64 ms = 1.024 s of audio at 8x: about 128 ms.
    WavFileInputEngine engine(ramp(16 * 1024), 8.0);
    engine.setSilenceAfterEnd(false);
    Collector collector;
    engine.installTap(1024, kMono16k, collector.block());
    QElapsedTimer timer;
    timer.start();
    ASSERT_FALSE(engine.start());
    ASSERT_TRUE(test::waitUntil([&] { return engine.reachedEnd(); }, 3000ms));
    EXPECT_GE(timer.elapsed(), 100);
    EXPECT_EQ(collector.count(), 16u);

    // Real time, stopped right away: stop does not wait out the period.
    WavFileInputEngine slow(ramp(16000 * 60), 1.0);
    slow.installTap(1024, kMono16k, collector.block());
    ASSERT_FALSE(slow.start());
    timer.restart();
    slow.stop();
    EXPECT_LT(timer.elapsed(), 200);
}

TEST(WavFileInputEngineTest, RemovedTapIsNeverCalledAgain)
{
    WavFileInputEngine engine(ramp(16000), 0.0);
    Collector collector;
    engine.installTap(1024, kMono16k, collector.block());
    ASSERT_FALSE(engine.start());
    ASSERT_TRUE(test::waitUntil([&] { return collector.count() >= 3; }, 3000ms));
    engine.removeTap();
    const size_t seen = collector.count();
    QThread::msleep(30);
    EXPECT_EQ(collector.count(), seen);
    engine.stop();
}

TEST(WavFileInputEngineTest, RefusesToStartWithoutAPlayableFile)
{
    WavFile broken;
    broken.error = QStringLiteral("The WAV file’s header is incomplete.");
    WavFileInputEngine engine(broken);
    EXPECT_FALSE(engine.inputFormat());
    Collector collector;
    engine.installTap(1024, kMono16k, collector.block());
    EXPECT_EQ(engine.start(), broken.error);

    WavFileInputEngine other(ramp(100));
    other.installTap(1024, {SampleFormat::Float32, 48000.0, 1}, collector.block());
    const auto mismatch = other.start();
    ASSERT_TRUE(mismatch);
    EXPECT_TRUE(mismatch->contains(QStringLiteral("16000 Hz, 1 ch, Int16")));
    EXPECT_FALSE(other.isRunning());

    WavFileInputEngine untapped(ramp(100));
    EXPECT_TRUE(untapped.start());
    untapped.stop();
    untapped.stop();
}

} // namespace
} // namespace zn
