#include "voice/AudioCaptureService.h"

#include "AudioTestSupport.h"
#include "platform/audio/FakeAudioInputEngine.h"
#include "platform/audio/WavFileInputEngine.h"
#include "platform/base/Clock.h"
#include "platform/base/NotificationCenter.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFileInfo>

#include <atomic>

#include <cmath>
#include <limits>
#include <vector>

namespace zn {
namespace {

using namespace std::chrono_literals;

const AudioFormat kStereoInt16{SampleFormat::Int16, 48000.0, 2};
const AudioFormat kMonoFloat{SampleFormat::Float32, 48000.0, 1};

// A square wave of the given amplitude on channel 0 (rms = amplitude);
// channel 1 carries full scale so only channel 0 can explain the level.
AudioBuffer squareFloat(float amplitude, std::uint32_t frames = 1024, std::uint32_t channels = 1)
{
    AudioBuffer buffer = AudioBuffer::allocate({SampleFormat::Float32, 48000.0, channels}, frames);
    buffer.setFrameLength(frames);
    float *data = buffer.floatData();
    for (std::uint32_t f = 0; f < frames; ++f) {
        data[f * channels] = (f % 2 ? -amplitude : amplitude);
        for (std::uint32_t c = 1; c < channels; ++c)
            data[f * channels + c] = 1.0f;
    }
    return buffer;
}

AudioBuffer constantInt16(std::int16_t value, std::uint32_t frames = 1024)
{
    std::vector<std::int16_t> samples(size_t(frames) * 2, value);
    return AudioBuffer::fromInterleaved(kStereoInt16, samples.data(), frames);
}

double levelOf(double rms)
{
    return AudioCaptureService::levelFromDecibels(20.0 * std::log10(rms));
}

class CaptureServiceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        auto fake = std::make_unique<FakeAudioInputEngine>();
        engine = fake.get();
        engine->setInputFormat(kStereoInt16);
        service = std::make_unique<AudioCaptureService>(std::move(fake), &clock, &center);
        center.addObserver(AudioCaptureService::configurationChangedNotification(), &receiver,
                           [this](const QVariantMap &info) { notices.append(info); });
    }

    // Pushes one buffer, then lets the level publication run.
    void push(const AudioBuffer &buffer, std::chrono::milliseconds after = 50ms)
    {
        engine->pushBuffer(buffer);
        QCoreApplication::processEvents();
        clock.advance(after);
    }

    ManualClock clock;
    NotificationCenter center;
    QObject receiver;
    QList<QVariantMap> notices;
    FakeAudioInputEngine *engine = nullptr;
    std::unique_ptr<AudioCaptureService> service;
};

TEST(CaptureLevelTest, DecibelsOfTypicalBuffers)
{
    EXPECT_EQ(AudioCaptureService::levelInDecibels(AudioBuffer()), -160.0f);
    EXPECT_EQ(AudioCaptureService::levelInDecibels(AudioBuffer::allocate(kMonoFloat, 1024)), -160.0f)
        << "no frames";
    EXPECT_FLOAT_EQ(AudioCaptureService::levelInDecibels(squareFloat(0.0f)), -120.0f);
    EXPECT_NEAR(AudioCaptureService::levelInDecibels(squareFloat(1.0f)), 0.0f, 1e-4);
    EXPECT_NEAR(AudioCaptureService::levelInDecibels(squareFloat(0.1f, 1024, 3)), -20.0f, 1e-3)
        << "channel 0 only";
    // 16-bit samples scale by 32767, so full scale reads exactly 1.0.
    EXPECT_NEAR(AudioCaptureService::levelInDecibels(constantInt16(32767)), 0.0f, 1e-5);
    EXPECT_GT(AudioCaptureService::levelInDecibels(constantInt16(-32768)), 0.0f);

    std::vector<std::int32_t> loud(1024, 1 << 30);
    const auto int32 = AudioBuffer::fromInterleaved({SampleFormat::Int32, 48000.0, 1}, loud.data(), 1024);
    EXPECT_EQ(AudioCaptureService::levelInDecibels(int32), -160.0f) << "neither float nor 16-bit";
}

TEST(CaptureLevelTest, LevelScaleAndNonFiniteSamples)
{
    EXPECT_EQ(AudioCaptureService::levelFromDecibels(-160.0), 0.0);
    EXPECT_EQ(AudioCaptureService::levelFromDecibels(-120.0), 0.0);
    EXPECT_EQ(AudioCaptureService::levelFromDecibels(-50.0), 0.0);
    EXPECT_NEAR(AudioCaptureService::levelFromDecibels(0.0), 50.0 / 55.0, 1e-12);
    EXPECT_EQ(AudioCaptureService::levelFromDecibels(5.0), 1.0);
    EXPECT_EQ(AudioCaptureService::levelFromDecibels(40.0), 1.0);

    AudioBuffer nan = squareFloat(0.5f);
    nan.floatData()[10] = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(AudioCaptureService::levelFromDecibels(AudioCaptureService::levelInDecibels(nan)), 0.0);
    AudioBuffer inf = squareFloat(0.5f);
    inf.floatData()[10] = std::numeric_limits<float>::infinity();
    EXPECT_EQ(AudioCaptureService::levelFromDecibels(AudioCaptureService::levelInDecibels(inf)), 1.0);
    EXPECT_EQ(AudioCaptureService::levelFromDecibels(-std::numeric_limits<double>::infinity()), 0.0);
}

TEST_F(CaptureServiceTest, StartInstallsOneTapInTheResolvedFormat)
{
    ASSERT_FALSE(service->start());
    EXPECT_TRUE(service->isRunning());
    EXPECT_EQ(service->hardwareFormat(), kStereoInt16);
    EXPECT_TRUE(service->isTapInstalled());
    EXPECT_TRUE(service->hasConfigurationObserver());
    EXPECT_EQ(engine->tapFrames(), 1024u);
    EXPECT_EQ(engine->tapFormat(), kStereoInt16);
    EXPECT_EQ(engine->prepareCount(), 1);
    EXPECT_EQ(engine->startCount(), 1);

    const auto again = service->start();
    ASSERT_TRUE(again);
    EXPECT_EQ(again->kind, AudioCaptureService::CaptureError::Kind::alreadyRunning);
    EXPECT_EQ(again->description(), QStringLiteral("Capture is already running."));
    EXPECT_EQ(engine->installTapCount(), 1) << "a refused start changes nothing";
    EXPECT_TRUE(service->isRunning());
}

TEST_F(CaptureServiceTest, FormatResolutionFallsBackThenFails)
{
    const AudioFormat fallback{SampleFormat::Float32, 48000.0, 1};
    engine->setOutputFormat(fallback);
    for (const AudioFormat &bad : {AudioFormat{SampleFormat::Int16, 0.0, 2},
                                   AudioFormat{SampleFormat::Int16, std::nan(""), 2},
                                   AudioFormat{SampleFormat::Int16, 48000.0, 0},
                                   AudioFormat{SampleFormat::Int16, -44100.0, 1}}) {
        engine->setInputFormat(bad);
        EXPECT_EQ(service->resolveInputFormat(), fallback) << bad.describe().toStdString();
    }

    engine->setInputFormat(std::nullopt);
    engine->setOutputFormat(AudioFormat{SampleFormat::Float32, std::numeric_limits<double>::infinity(), 1});
    EXPECT_FALSE(service->resolveInputFormat());
    const auto error = service->start();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind, AudioCaptureService::CaptureError::Kind::invalidFormat);
    EXPECT_EQ(error->description(), QStringLiteral("Microphone format is invalid."));
    EXPECT_FALSE(service->isRunning());
    EXPECT_FALSE(service->hardwareFormat());
    EXPECT_EQ(engine->installTapCount(), 0);
}

TEST_F(CaptureServiceTest, EngineStartFailureLeavesNothingBehind)
{
    engine->setStartError(QStringLiteral("Device busy"));
    const auto error = service->start();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind, AudioCaptureService::CaptureError::Kind::startFailed);
    EXPECT_EQ(error->description(), QStringLiteral("Device busy"));
    EXPECT_FALSE(service->isRunning());
    EXPECT_FALSE(service->isTapInstalled());
    EXPECT_FALSE(engine->hasTap());
    EXPECT_FALSE(service->hardwareFormat());
    EXPECT_FALSE(service->hasConfigurationObserver());

    // The engine recovers: the next start works.
    engine->setStartError(std::nullopt);
    EXPECT_FALSE(service->start());
    EXPECT_TRUE(service->isRunning());
}

TEST_F(CaptureServiceTest, HandlerGetsEveryBufferWhileLevelIsThrottled)
{
    int handled = 0;
    service->setBufferHandler([&](const AudioBuffer &buffer) {
        ++handled;
        EXPECT_EQ(buffer.format(), kMonoFloat);
    });
    engine->setInputFormat(kMonoFloat);
    ASSERT_FALSE(service->start());

    const double level = levelOf(0.1);
    // The first buffer is always measured.
    push(squareFloat(0.1f), 10ms);
    EXPECT_NEAR(service->currentEnergy(), 0.45 * level, 1e-9);
    // 10 ms later: handled, not measured, even though it is loud.
    push(squareFloat(1.0f), 40ms);
    EXPECT_EQ(handled, 2);
    EXPECT_NEAR(service->currentEnergy(), 0.45 * level, 1e-9);
    // 50 ms after the first measurement it measures again.
    push(squareFloat(0.1f), 50ms);
    EXPECT_NEAR(service->currentEnergy(), 0.6975 * level, 1e-9);
    push(squareFloat(0.1f), 50ms);
    EXPECT_NEAR(service->currentEnergy(), 0.833625 * level, 1e-9);
    EXPECT_EQ(handled, 4);
}

TEST_F(CaptureServiceTest, NonFiniteSamplesNeverPoisonTheLevel)
{
    engine->setInputFormat(kMonoFloat);
    ASSERT_FALSE(service->start());
    push(squareFloat(0.5f));
    AudioBuffer nan = squareFloat(0.5f);
    nan.floatData()[3] = std::numeric_limits<float>::quiet_NaN();
    push(nan);
    EXPECT_TRUE(std::isfinite(service->currentEnergy()));
    // Speech after the bad buffer brings the level back up.
    for (int i = 0; i < 10; ++i)
        push(squareFloat(0.5f));
    EXPECT_NEAR(service->currentEnergy(), levelOf(0.5), 0.01);

    AudioBuffer inf = squareFloat(0.5f);
    inf.floatData()[0] = -std::numeric_limits<float>::infinity();
    for (int i = 0; i < 30; ++i)
        push(inf);
    EXPECT_NEAR(service->currentEnergy(), 1.0, 1e-6);
}

TEST_F(CaptureServiceTest, StopClearsEverythingAndDropsLateLevels)
{
    int handled = 0;
    service->setBufferHandler([&](const AudioBuffer &) { ++handled; });
    ASSERT_FALSE(service->start());
    push(constantInt16(16000));
    ASSERT_GT(service->currentEnergy(), 0.0);

    // A level computed just before stop is still queued for the main thread.
    clock.advance(100ms);
    engine->pushBuffer(constantInt16(16000));
    service->stop();
    QCoreApplication::processEvents();
    EXPECT_EQ(service->currentEnergy(), 0.0);
    EXPECT_FALSE(service->isRunning());
    EXPECT_FALSE(service->isTapInstalled());
    EXPECT_FALSE(engine->hasTap());
    EXPECT_FALSE(engine->isRunning());
    EXPECT_FALSE(service->hasBufferHandler());
    EXPECT_FALSE(service->hasConfigurationObserver());
    EXPECT_FALSE(service->hardwareFormat());
    EXPECT_EQ(engine->resetCount(), 1);

    service->stop();
    EXPECT_EQ(engine->stopCount(), 1) << "a stopped engine is not stopped again";
    EXPECT_EQ(engine->resetCount(), 2) << "but always reset";

    // A new run starts its smoothing from zero.
    ASSERT_FALSE(service->start());
    clock.advance(100ms);
    push(constantInt16(16000));
    EXPECT_NEAR(service->currentEnergy(), 0.45 * levelOf(16000 / 32767.0), 1e-6);
    EXPECT_EQ(handled, 2) << "the handler was cleared by stop";
}

TEST_F(CaptureServiceTest, StopBeforeAnyStartIsHarmless)
{
    service->stop();
    service->stop();
    EXPECT_FALSE(service->isRunning());
    EXPECT_EQ(engine->stopCount(), 0);
    EXPECT_FALSE(service->start());
}

TEST_F(CaptureServiceTest, ConfigurationChangeIsPostedOnlyWhileRunning)
{
    engine->emitConfigurationChanged();
    EXPECT_TRUE(notices.isEmpty());

    ASSERT_FALSE(service->start());
    engine->emitConfigurationChanged();
    ASSERT_EQ(notices.size(), 1);
    EXPECT_EQ(notices.first().value(QStringLiteral("object")).value<QObject *>(), service.get());

    service->stop();
    engine->emitConfigurationChanged();
    EXPECT_EQ(notices.size(), 1);

    // A second run registers exactly one observer again.
    ASSERT_FALSE(service->start());
    engine->emitConfigurationChanged();
    EXPECT_EQ(notices.size(), 2);
}

TEST_F(CaptureServiceTest, StopAndDestructionFollowTheEngineOrder)
{
    auto log = std::make_shared<QStringList>();
    auto fake = std::make_unique<FakeAudioInputEngine>();
    FakeAudioInputEngine *raw = fake.get();
    fake->setInputFormat(kStereoInt16);
    fake->setCallLog(log);
    {
        AudioCaptureService local(std::move(fake), &clock, &center);
        ASSERT_FALSE(local.start());
        local.stop();
        EXPECT_EQ(*log, (QStringList{"installTap", "prepare", "start", "removeTap", "stop", "reset"}));
        log->clear();

        ASSERT_FALSE(local.start());
        raw->pushBuffer(constantInt16(20000)); // a level post still queued
        log->clear();
    }
    // Destruction removes the tap and stops the engine before it goes.
    EXPECT_EQ(*log, (QStringList{"removeTap", "stop", "destroyed"}));
    QCoreApplication::processEvents();
    raw = nullptr;

    // A change reported while the service is being torn down posts nothing.
    EXPECT_TRUE(notices.isEmpty());
}

// The whole capture path on a real audio thread, fed from recorded speech
// instead of a microphone.
TEST(CaptureFromFileTest, RecordedSpeechRaisesThenReleasesTheLevel)
{
    const QString path = QStringLiteral("/usr/share/pocketsphinx/test/data/something.raw");
    ASSERT_TRUE(QFileInfo::exists(path)) << "install pocketsphinx-testdata";
    const AudioFormat format{SampleFormat::Int16, 16000.0, 1};
    auto engine = std::make_unique<WavFileInputEngine>(WavFile::readRaw(path, format), 4.0);
    WavFileInputEngine *file = engine.get();
    AudioCaptureService service(std::move(engine));
    std::atomic<int> buffers{0};
    std::atomic<bool> wrongShape{false};
    service.setBufferHandler([&](const AudioBuffer &buffer) {
        wrongShape = wrongShape || buffer.format() != format || buffer.frameLength() != 1024;
        ++buffers;
    });
    ASSERT_FALSE(service.start());

    double peak = 0;
    ASSERT_TRUE(test::waitUntil(
        [&] {
            peak = std::max(peak, service.currentEnergy());
            return file->reachedEnd();
        },
        5000ms));
    EXPECT_GT(peak, 0.2);
    // Silence follows the file: the level decays well below the voice mark.
    EXPECT_TRUE(test::waitUntil([&] { return service.currentEnergy() < 0.04; }, 1500ms));
    EXPECT_FALSE(wrongShape);
    service.stop();
    const int seen = buffers;
    EXPECT_GE(seen, 47) << "about 3 s of 64 ms buffers";
    test::waitUntil([] { return false; }, 50ms);
    EXPECT_EQ(buffers, seen);
    EXPECT_EQ(service.currentEnergy(), 0.0);
}

} // namespace
} // namespace zn
