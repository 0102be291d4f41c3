#include "platform/audio/FakeAudioInputEngine.h"
#include "platform/base/Clock.h"
#include "platform/base/NotificationCenter.h"
#include "voice/AudioBufferConverter.h"
#include "voice/AudioCaptureService.h"
#include "voice/TranscriptMerger.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

using namespace zn;
using namespace std::chrono_literals;

const AudioFormat kCapture{SampleFormat::Int16, 48000.0, 2};
const AudioFormat kSpeech{SampleFormat::Int16, 16000.0, 1};

AudioBuffer speechLike()
{
    std::vector<std::int16_t> samples(2048);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = std::int16_t(12000 * std::sin(i * 0.07) + 3000 * std::sin(i * 0.9));
    return AudioBuffer::fromInterleaved(kCapture, samples.data(), 1024);
}

void BM_LevelInDecibels(benchmark::State &state)
{
    const AudioBuffer buffer = speechLike();
    for (auto _ : state)
        benchmark::DoNotOptimize(AudioCaptureService::levelFromDecibels(AudioCaptureService::levelInDecibels(buffer)));
}
BENCHMARK(BM_LevelInDecibels)->Unit(benchmark::kMicrosecond);

// The whole tap path: handler, throttle check, metering and the post to the
// main thread, with every buffer metered.
void BM_TapBufferMetered(benchmark::State &state)
{
    auto engine = std::make_unique<FakeAudioInputEngine>();
    FakeAudioInputEngine *fake = engine.get();
    fake->setInputFormat(kCapture);
    ManualClock clock;
    NotificationCenter center;
    AudioCaptureService service(std::move(engine), &clock, &center);
    int handled = 0;
    service.setBufferHandler([&](const AudioBuffer &) { ++handled; });
    (void)service.start();
    const AudioBuffer buffer = speechLike();
    for (auto _ : state) {
        fake->pushBuffer(buffer);
        QCoreApplication::processEvents();
        clock.advance(50ms);
    }
    benchmark::DoNotOptimize(handled);
    service.stop();
}
BENCHMARK(BM_TapBufferMetered)->Unit(benchmark::kMicrosecond);

void BM_Convert48kStereoTo16kMono(benchmark::State &state)
{
    auto converter = AudioBufferConverter::create(kCapture, kSpeech);
    const AudioBuffer buffer = speechLike();
    for (auto _ : state)
        benchmark::DoNotOptimize(converter->convert(buffer));
}
BENCHMARK(BM_Convert48kStereoTo16kMono)->Unit(benchmark::kMicrosecond);

QString transcript15k()
{
    QString text;
    int i = 0;
    while (text.size() < 15000)
        text += QStringLiteral("today I walked %1 blocks and felt calm. ").arg(i++);
    return text.left(15000).trimmed();
}

// An analyzer-style partial on top of a 15,000-character transcript.
void BM_MergePartialInto15k(benchmark::State &state)
{
    TranscriptMerger merger;
    merger.setOnPartialText([](const QString &text) { benchmark::DoNotOptimize(text.size()); });
    merger.resetTranscript(transcript15k());
    const QString a = QStringLiteral("and then the rain started");
    const QString b = QStringLiteral("and then the rain stopped");
    bool flip = false;
    for (auto _ : state) {
        merger.handleResult(flip ? a : b, false);
        flip = !flip;
    }
}
BENCHMARK(BM_MergePartialInto15k)->Unit(benchmark::kMicrosecond);

// The older recognizer repeats the whole 15,000-character text each time.
void BM_MergeWholeTextPartial15k(benchmark::State &state)
{
    TranscriptMerger merger;
    const QString base = transcript15k();
    merger.resetTranscript(base);
    const QString a = base + QStringLiteral(" and then the rain started");
    const QString b = base + QStringLiteral(" and then the rain stopped");
    bool flip = false;
    for (auto _ : state) {
        merger.handleResult(flip ? a : b, false);
        flip = !flip;
    }
}
BENCHMARK(BM_MergeWholeTextPartial15k)->Unit(benchmark::kMicrosecond);

// A final that revises a long hypothesis: the word-overlap check runs.
void BM_MergeRevisedFinal15k(benchmark::State &state)
{
    const QString base = transcript15k();
    QString revised = base;
    revised.replace(QStringLiteral("calm"), QStringLiteral("glad"));
    for (auto _ : state) {
        TranscriptMerger merger;
        merger.handleResult(base, false);
        merger.handleResult(revised, true);
        benchmark::DoNotOptimize(merger.liveText().size());
    }
}
BENCHMARK(BM_MergeRevisedFinal15k)->Unit(benchmark::kMicrosecond);

} // namespace

