// Offline recognition speed: the model load (must stay well under a second,
// and happens once per process), decoding against real time on one core, and
// the recogniser's own format conversion per capture buffer.
#include "platform/speech/PocketsphinxDecoder.h"
#include "platform/speech/SpeechSamples.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>

namespace {

using namespace zn;
using namespace zn::speech;

// CPU time of the calling thread: the decoder's own cost on one core, not
// disturbed by whatever else the machine runs.
double threadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

std::vector<std::int16_t> goForward()
{
    return readDecoderRecording(QStringLiteral("/usr/share/pocketsphinx/test/data/goforward.raw"));
}

void BM_ModelLoad(benchmark::State &state)
{
    for (auto _ : state) {
        QString error;
        auto decoder = PocketsphinxDecoder::load(ModelPaths::installedEnglish(), &error);
        if (!decoder)
            state.SkipWithError(error.toStdString().c_str());
        benchmark::DoNotOptimize(decoder.get());
    }
}
BENCHMARK(BM_ModelLoad)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

// The decoder's work for one dictation of 7.1 s, in 1024-frame buffers with
// a hypothesis read after each, as the worker does.
void BM_DecodeRecording(benchmark::State &state)
{
    const auto samples = goForward();
    if (samples.empty()) {
        state.SkipWithError("pocketsphinx-testdata is not installed");
        return;
    }
    QString error;
    auto decoder = PocketsphinxDecoder::load(ModelPaths::installedEnglish(), &error);
    if (!decoder) {
        state.SkipWithError(error.toStdString().c_str());
        return;
    }
    QString text;
    double decodeSeconds = 0;
    for (auto _ : state) {
        const double began = threadSeconds();
        decoder->startUtterance();
        for (std::size_t at = 0; at < samples.size(); at += 1024) {
            decoder->process(samples.data() + at, std::min<std::size_t>(1024, samples.size() - at));
            benchmark::DoNotOptimize(decoder->hypothesis());
            benchmark::DoNotOptimize(decoder->inSpeech());
        }
        decoder->endUtterance();
        text = decoder->hypothesis();
        decodeSeconds += threadSeconds() - began;
    }
    const double audioSeconds = double(samples.size()) / PocketsphinxDecoder::sampleRate;
    // Seconds of audio per CPU second of decoding: must be at least 5.
    state.counters["x_real_time"] = audioSeconds * state.iterations() / decodeSeconds;
    state.SetLabel(text.toStdString());
}
BENCHMARK(BM_DecodeRecording)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_RecognizerConversion48kStereoFloat(benchmark::State &state)
{
    std::vector<float> frames(1024 * 2);
    for (std::size_t i = 0; i < frames.size(); ++i)
        frames[i] = float((i * 7919) % 2000) / 2000.0f - 0.5f;
    const AudioBuffer buffer = AudioBuffer::fromInterleaved({SampleFormat::Float32, 48000.0, 2}, frames.data(), 1024);
    StreamingSampleConverter converter;
    for (auto _ : state)
        benchmark::DoNotOptimize(converter.convert(buffer));
}
BENCHMARK(BM_RecognizerConversion48kStereoFloat)->Unit(benchmark::kMicrosecond);

} // namespace


