#include "voice/AudioCaptureService.h"

#include "AudioTestSupport.h"
#include "CapturePulseServer.h"
#include "platform/base/NotificationCenter.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFileInfo>

#include <atomic>
#include <future>
#include <mutex>
#include <thread>

namespace zn {
namespace {

using namespace std::chrono_literals;

// Human speech, 16 kHz mono s16le, about 3 s ("go somewhere and do something").
const QString kSpeech = QStringLiteral("/usr/share/pocketsphinx/test/data/something.raw");

// Buffers as the audio thread saw them.
struct Received
{
    std::atomic<int> count{0};
    std::atomic<bool> allWhole{true};
    std::mutex mutex;
    std::optional<AudioFormat> format;
    bool mixedFormats = false;

    AudioCaptureService::BufferHandler handler()
    {
        return [this](const AudioBuffer &buffer) {
            if (buffer.frameLength() != AudioCaptureService::bufferSize)
                allWhole = false;
            {
                std::lock_guard lock(mutex);
                if (format && *format != buffer.format())
                    mixedFormats = true;
                format = buffer.format();
            }
            ++count;
        };
    }
};

// Qt Multimedia connects to the sound server once per process, on first
// use. CTest runs every case in a process of its own; in a single run of the
// whole program only the first case that needs Qt audio can run.
bool g_qtAudioUsed = false;

bool claimQtAudio()
{
    if (g_qtAudioUsed)
        return false;
    g_qtAudioUsed = true;
    return true;
}

class CaptureRealAudioTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!claimQtAudio())
            GTEST_SKIP() << "Qt audio already connected in this process; run this case on its own (ctest does)";
        ASSERT_TRUE(QFileInfo::exists(kSpeech)) << "install pocketsphinx-testdata";
        ASSERT_TRUE(server.start()) << server.error().toStdString();
        const auto module = server.loadVirtualMicrophone(QStringLiteral("zn_test_mic"));
        ASSERT_TRUE(module) << "could not create the virtual microphone";
        micModule = *module;
        ASSERT_TRUE(server.connectQt())
            << "Qt sees no audio input (was Qt Multimedia used earlier in this process?)";
    }

    test::CapturePulseServer server;
    int micModule = -1;
};

TEST_F(CaptureRealAudioTest, MetersSpeechFromTheMicrophoneAndStopsClean)
{
    AudioCaptureService service;
    Received received;
    service.setBufferHandler(received.handler());
    const auto deviceFormat = service.resolveInputFormat();
    ASSERT_TRUE(deviceFormat);

    ASSERT_FALSE(service.start());
    EXPECT_EQ(service.hardwareFormat(), deviceFormat);
    const auto again = service.start();
    ASSERT_TRUE(again);
    EXPECT_EQ(again->description(), QStringLiteral("Capture is already running."));

    // The stream takes a moment before data flows; longer on a loaded machine.
    ASSERT_TRUE(test::waitUntil([&] { return received.count > 0; }, 30s));
    EXPECT_LT(service.currentEnergy(), 0.04) << "nothing is playing yet";

    auto player = server.playRaw(kSpeech);
    QElapsedTimer clock;
    clock.start();
    double peak = 0;
    qint64 lastLoudAt = -1;
    std::optional<qint64> quietAt;
    ASSERT_TRUE(test::waitUntil(
        [&] {
            const double level = service.currentEnergy();
            peak = std::max(peak, level);
            if (level >= 0.1) {
                lastLoudAt = clock.elapsed();
                quietAt.reset();
            } else if (lastLoudAt >= 0 && level < 0.04 && !quietAt) {
                quietAt = clock.elapsed();
            }
            return player->state() == QProcess::NotRunning && quietAt;
        },
        12000ms));
    EXPECT_EQ(player->exitCode(), 0) << player->readAllStandardError().toStdString();
    EXPECT_GT(peak, 0.2) << "the level rises during speech";
    ASSERT_TRUE(quietAt);
    EXPECT_LE(*quietAt - lastLoudAt, 1500) << "and falls within about 1.5 s of silence";

    EXPECT_TRUE(received.allWhole);
    {
        std::lock_guard lock(received.mutex);
        EXPECT_EQ(received.format, deviceFormat) << "buffers arrive in the device format";
        EXPECT_FALSE(received.mixedFormats);
    }
    // About 3 s of speech plus the lead-in at 48 kHz / 1024 frames.
    EXPECT_GT(received.count, 100);

    service.stop();
    EXPECT_EQ(service.currentEnergy(), 0.0);
    EXPECT_FALSE(service.isRunning());
    EXPECT_FALSE(service.isTapInstalled());
    EXPECT_FALSE(service.hasConfigurationObserver());
    EXPECT_FALSE(service.engine().isRunning());
    const int afterStop = received.count;
    test::waitUntil([] { return false; }, 200ms);
    EXPECT_EQ(received.count, afterStop) << "no buffers after stop";
    EXPECT_EQ(service.currentEnergy(), 0.0);
}

TEST_F(CaptureRealAudioTest, UnpluggedMicrophonePostsTheConfigurationNotice)
{
    AudioCaptureService service;
    Received received;
    service.setBufferHandler(received.handler());
    QObject receiver;
    std::optional<qint64> noticedAt;
    QElapsedTimer sinceUnplug;
    NotificationCenter::defaultCenter().addObserver(
        AudioCaptureService::configurationChangedNotification(), &receiver, [&](const QVariantMap &info) {
            if (!noticedAt && sinceUnplug.isValid())
                noticedAt = sinceUnplug.elapsed();
            EXPECT_EQ(info.value(QStringLiteral("object")).value<QObject *>(), &service);
        });

    ASSERT_FALSE(service.start());
    ASSERT_TRUE(test::waitUntil([&] { return received.count > 0; }, 30s));

    sinceUnplug.start();
    ASSERT_TRUE(server.unloadModule(micModule));
    // Timed from the server's answer: starting pactl alone may take long on
    // a loaded machine.
    if (!noticedAt)
        sinceUnplug.restart();
    EXPECT_TRUE(test::waitUntil([&] { return noticedAt.has_value(); }, 30s));
    ASSERT_TRUE(noticedAt);
    EXPECT_LE(*noticedAt, 1500);

    service.stop();
}

// Opening and closing the stream are round trips to the server; a server
// that does not answer must not freeze the UI thread in start() or stop().
// Capture begins once it answers.
TEST_F(CaptureRealAudioTest, UnresponsiveServerNeverHoldsTheUiThread)
{
    AudioCaptureService service;
    Received received;
    service.setBufferHandler(received.handler());
    ASSERT_TRUE(service.resolveInputFormat());

    // Should a call block anyway, the server wakes up after 3 s so the test
    // fails instead of hanging.
    std::promise<void> returned;
    server.pause();
    std::thread thaw([this, done = returned.get_future()] {
        done.wait_for(3s);
        server.resume();
    });
    QElapsedTimer timer;
    timer.start();
    const auto error = service.start();
    const qint64 startBlocked = timer.restart();
    service.stop();
    const qint64 stopBlocked = timer.elapsed();
    returned.set_value();
    thaw.join();

    EXPECT_FALSE(error) << error->description().toStdString();
    EXPECT_LT(startBlocked, 1000) << "start() held the UI thread";
    EXPECT_LT(stopBlocked, 1000) << "stop() held the UI thread";
    EXPECT_FALSE(service.engine().isRunning());

    // Once the server answers again, a new run captures as usual and the
    // stopped one delivers nothing.
    service.setBufferHandler(received.handler());
    ASSERT_FALSE(service.start());
    EXPECT_TRUE(test::waitUntil([&] { return received.count > 0; }, 30s));
    service.stop();
    const int afterStop = received.count;
    test::waitUntil([] { return false; }, 200ms);
    EXPECT_EQ(received.count, afterStop);
}

// No server at all: the ctest environment points libpulse at a socket that
// does not exist.
TEST(CaptureWithoutAudioServerTest, StartFailsWithInvalidFormat)
{
    if (!claimQtAudio())
        GTEST_SKIP() << "Qt audio already connected in this process; run this case on its own (ctest does)";
    if (qEnvironmentVariable("PULSE_SERVER").isEmpty())
        qputenv("PULSE_SERVER", "unix:/nonexistent/zephyrnote-no-audio-server");
    QElapsedTimer timer;
    timer.start();
    AudioCaptureService service;
    EXPECT_FALSE(service.resolveInputFormat());
    const auto error = service.start();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind, AudioCaptureService::CaptureError::Kind::invalidFormat);
    EXPECT_EQ(error->description(), QStringLiteral("Microphone format is invalid."));
    EXPECT_FALSE(service.isRunning());
    EXPECT_FALSE(service.isTapInstalled());
    service.stop();
    EXPECT_LT(timer.elapsed(), 5000) << "no hang without a server";
}

} // namespace
} // namespace zn
