// The transcription service end to end on the real offline recogniser, fed
// with human recordings from pocketsphinx-testdata.
#include "voice/SpeechTranscriptionService.h"

#include "platform/base/Clock.h"
#include "platform/base/SystemLog.h"
#include "platform/speech/FakeSpeechPlatform.h"
#include "platform/speech/PocketsphinxSpeechPlatform.h"
#include "platform/speech/SpeechTestAudio.h"
#include "support/TestSupport.h"

#include <QDir>

#include <gtest/gtest.h>

namespace zn {
namespace {

using Backend = SpeechTranscriptionService::Backend;
using speech::PocketsphinxSpeechPlatform;

const QLocale kUsEnglish(QLocale::English, QLocale::UnitedStates);
constexpr auto kDecodeWait = std::chrono::seconds(30);

std::vector<std::int16_t> goForward()
{
    auto samples = test::readRawSamples(test::pocketsphinxRecording(QStringLiteral("goforward.raw")));
    EXPECT_FALSE(samples.empty()) << "pocketsphinx-testdata is not installed";
    return samples;
}

// The real recogniser, except that its streaming analyzer refuses to prepare.
class AnalyzerRefusingPlatform : public speech::SpeechPlatform
{
public:
    AnalyzerRefusingPlatform() { m_fake.analyzerPrepare = speech::FakeSpeechPlatform::Step::Fail; }
    void supportedTranscriberLocale(const QLocale &l, std::function<void(std::optional<QLocale>)> d) override
    {
        m_real->supportedTranscriberLocale(l, std::move(d));
    }
    void assetInstallationRequest(
        const QLocale &l,
        std::function<void(std::optional<speech::SpeechError>, std::unique_ptr<speech::SpeechAssetRequest>)> d) override
    {
        m_real->assetInstallationRequest(l, std::move(d));
    }
    void bestAvailableAudioFormat(const QLocale &l, std::optional<AudioFormat> c,
                                  std::function<void(std::optional<AudioFormat>)> d) override
    {
        m_real->bestAvailableAudioFormat(l, c, std::move(d));
    }
    std::unique_ptr<speech::StreamingAnalyzerSession> makeAnalyzer(const QLocale &l) override
    {
        return m_fake.makeAnalyzer(l);
    }
    std::unique_ptr<speech::BufferRecognizer> makeRecognizer(const QLocale &l) override
    {
        return m_real->makeRecognizer(l);
    }

private:
    std::shared_ptr<PocketsphinxSpeechPlatform> m_real = PocketsphinxSpeechPlatform::shared();
    speech::FakeSpeechPlatform m_fake;
};

class RealSpeech : public ::testing::Test
{
protected:
    SystemLogCapture log;
    QStringList partials;

    std::unique_ptr<SpeechTranscriptionService> makeService(std::shared_ptr<speech::SpeechPlatform> platform = nullptr)
    {
        auto service = std::make_unique<SpeechTranscriptionService>(std::move(platform));
        service->setOnPartialText([this](const QString &t) { partials << t; });
        return service;
    }

    static std::optional<SpeechFailure> prepareAndStart(SpeechTranscriptionService &service,
                                                        const QLocale &locale = kUsEnglish)
    {
        std::optional<std::optional<SpeechFailure>> prepared;
        service.prepare(locale, [&](auto f) { prepared = f; });
        EXPECT_TRUE(test::waitUntil([&] { return prepared.has_value(); }, kDecodeWait));
        if (!prepared || *prepared)
            return prepared.value_or(SpeechFailure::platform(QStringLiteral("prepare hung")));
        std::optional<std::optional<SpeechFailure>> started;
        service.start([&](auto f) { started = f; });
        EXPECT_TRUE(test::waitUntil([&] { return started.has_value(); }, kDecodeWait));
        return started.value_or(SpeechFailure::platform(QStringLiteral("start hung")));
    }

    static QString stop(SpeechTranscriptionService &service)
    {
        std::optional<QString> text;
        service.stop([&](const QString &t) { text = t; });
        EXPECT_TRUE(test::waitUntil([&] { return text.has_value(); }, kDecodeWait));
        return text.value_or(QStringLiteral("<stop hung>"));
    }

    bool sawPartialWith(const QString &words) const
    {
        return std::any_of(partials.begin(), partials.end(), [&](const QString &p) { return p.contains(words); });
    }
};

TEST_F(RealSpeech, AnalyzerTranscribesARecordingFedIn1024FrameBuffers)
{
    auto service = makeService();
    service->setHardwareFormat(AudioFormat{SampleFormat::Int16, 16000.0, 1});
    ASSERT_FALSE(prepareAndStart(*service));
    EXPECT_EQ(service->backend(), Backend::streaming);
    EXPECT_FALSE(service->hasConverter());
    for (const AudioBuffer &b : test::int16Buffers(goForward(), 1024))
        service->append(b);
    // Partials arrive while the audio is decoded, before stop. Three seconds
    // fed at once: let the recogniser catch up, as a stop finalises for a
    // few seconds at most.
    EXPECT_TRUE(test::waitUntil([&] { return sawPartialWith(QStringLiteral("go forward ten meters")); }, kDecodeWait));
    EXPECT_EQ(stop(*service), QStringLiteral("go forward ten meters"));
    EXPECT_TRUE(log.lines().isEmpty()) << log.lines().join(QLatin1Char('\n')).toStdString();
}

TEST_F(RealSpeech, FloatCaptureAt48kHzGoesThroughTheConverter)
{
    auto service = makeService();
    service->setHardwareFormat(AudioFormat{SampleFormat::Float32, 48000.0, 1});
    ASSERT_FALSE(prepareAndStart(*service));
    EXPECT_EQ(service->backend(), Backend::streaming);
    EXPECT_TRUE(service->hasConverter());
    for (const AudioBuffer &b : test::float48kBuffers(goForward(), 1, 1024))
        service->append(b);
    ASSERT_TRUE(test::waitUntil([&] { return sawPartialWith(QStringLiteral("go forward ten meters")); }, kDecodeWait));
    EXPECT_EQ(stop(*service), QStringLiteral("go forward ten meters"));
}

TEST_F(RealSpeech, OlderRecognizerTakesOverWhenTheAnalyzerFailsToPrepare)
{
    auto service = makeService(std::make_shared<AnalyzerRefusingPlatform>());
    service->setHardwareFormat(AudioFormat{SampleFormat::Float32, 48000.0, 2});
    ASSERT_FALSE(prepareAndStart(*service));
    EXPECT_EQ(service->backend(), Backend::wholeText);
    EXPECT_EQ(log.lines(), QStringList{QStringLiteral("Zephyrnote: Streaming recognition failed to start (Analyzer "
                                                      "refused the format.); falling back to whole-text "
                                                      "recognition.")});
    for (const AudioBuffer &b : test::float48kBuffers(goForward(), 2, 1024))
        service->append(b);
    // A microphone feeds in real time, so the recogniser is never far behind;
    // this test feeds seven seconds at once, so let it catch up first.
    ASSERT_TRUE(test::waitUntil([&] { return sawPartialWith(QStringLiteral("go forward ten meters")); }, kDecodeWait));
    EXPECT_EQ(stop(*service), QStringLiteral("go forward ten meters"));
    EXPECT_EQ(log.lines().size(), 1);
}

TEST_F(RealSpeech, TwoUtterancesBecomeTwoSegmentsWithoutRepeats)
{
    auto service = makeService();
    service->setHardwareFormat(AudioFormat{SampleFormat::Int16, 16000.0, 1});
    ASSERT_FALSE(prepareAndStart(*service));
    std::vector<std::int16_t> audio = test::readRawSamples(test::pocketsphinxRecording(QStringLiteral("something.raw")));
    const auto pause = test::noise(24000, 8);
    audio.insert(audio.end(), pause.begin(), pause.end());
    const auto second = goForward();
    audio.insert(audio.end(), second.begin(), second.end());
    for (const AudioBuffer &b : test::int16Buffers(audio, 1024))
        service->append(b);
    // Ten seconds fed at once: let the recogniser catch up before stopping.
    ASSERT_TRUE(test::waitUntil([&] { return sawPartialWith(QStringLiteral("go forward")); }, kDecodeWait));
    EXPECT_EQ(stop(*service), QStringLiteral("go somewhere and do something go forward ten meters"));
    EXPECT_EQ(service->committedSegments(),
              (QStringList{QStringLiteral("go somewhere and do something"), QStringLiteral("go forward ten meters")}));
}

TEST_F(RealSpeech, GermanIsUnavailable)
{
    auto service = makeService();
    auto failure = prepareAndStart(*service, QLocale(QLocale::German, QLocale::Germany));
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->description(), QStringLiteral("On-device speech is unavailable."));
    EXPECT_FALSE(service->isRunning());
}

TEST_F(RealSpeech, TheCLocaleCountsAsEnglish)
{
    auto service = makeService();
    ASSERT_FALSE(prepareAndStart(*service, QLocale::c()));
    EXPECT_EQ(service->backend(), Backend::streaming);
    EXPECT_EQ(service->preferredLocale(), kUsEnglish);
    service->cancel();
}

TEST_F(RealSpeech, ModelLoadsOnceForManyDictations)
{
    auto pool = PocketsphinxSpeechPlatform::shared()->pool();
    auto service = makeService();
    ASSERT_FALSE(prepareAndStart(*service));
    stop(*service);
    const int loads = pool->loadCount();
    for (int i = 0; i < 3; ++i) {
        ASSERT_FALSE(prepareAndStart(*service));
        for (const AudioBuffer &b : test::int16Buffers(test::noise(8000), 1024))
            service->append(b);
        stop(*service);
    }
    EXPECT_EQ(pool->loadCount(), loads);
    EXPECT_LE(loads, 2);
}

int threadCount()
{
    return QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
}

TEST_F(RealSpeech, RapidStartStopCancelAndDestructionLeaveNoDecoderThread)
{
    // Warm up first, so the thread pool and the model are already there.
    {
        auto warm = makeService();
        ASSERT_FALSE(prepareAndStart(*warm));
        warm->cancel();
    }
    const int before = threadCount();
    const auto speech = test::int16Buffers(goForward(), 1024);
    for (int round = 0; round < 4; ++round) {
        auto service = makeService();
        ASSERT_FALSE(prepareAndStart(*service));
        for (std::size_t i = 0; i < speech.size(); i += 3)
            service->append(speech[i]);
        switch (round) {
        case 0:
            service->cancel();
            break;
        case 1:
            stop(*service);
            break;
        case 2:
            service->start([](auto) {});
            service->stop([](const QString &) {});
            service->cancel();
            break;
        default:
            break; // destroyed while decoding
        }
    }
    // Older back end, destroyed mid-decode as well.
    {
        auto service = makeService(std::make_shared<AnalyzerRefusingPlatform>());
        ASSERT_FALSE(prepareAndStart(*service));
        for (const AudioBuffer &b : speech)
            service->append(b);
    }
    test::waitUntil([] { return false; }, std::chrono::milliseconds(50));
    EXPECT_LE(threadCount(), before);
}

} // namespace
} // namespace zn
