#include "voice/AudioBufferConverter.h"

#include "AudioTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

namespace zn {
namespace {

const AudioFormat kCapture{SampleFormat::Int16, 48000.0, 2};
const AudioFormat kSpeech{SampleFormat::Int16, 16000.0, 1};

// A sine of `hz` at `amplitude` in every channel, or with the second channel
// inverted when `opposite`.
AudioBuffer sine(const AudioFormat &format, double hz, double amplitude, std::uint32_t frames,
                 bool opposite = false)
{
    AudioBuffer buffer = AudioBuffer::allocate(format, frames);
    buffer.setFrameLength(frames);
    for (std::uint32_t f = 0; f < frames; ++f) {
        const double v = amplitude * std::sin(2.0 * std::numbers::pi * hz * f / format.sampleRate);
        for (std::uint32_t c = 0; c < format.channelCount; ++c) {
            const double s = (opposite && c == 1) ? -v : v;
            const size_t i = size_t(f) * format.channelCount + c;
            switch (format.sampleFormat) {
            case SampleFormat::Int16:
                buffer.int16Data()[i] = std::int16_t(std::lround(s * 32767.0));
                break;
            case SampleFormat::Int32:
                buffer.int32Data()[i] = std::int32_t(std::llround(s * 2147483647.0));
                break;
            case SampleFormat::Float32:
                buffer.floatData()[i] = float(s);
                break;
            }
        }
    }
    return buffer;
}

double rms(const AudioBuffer &buffer, std::uint32_t from, std::uint32_t to)
{
    double sum = 0;
    for (std::uint32_t f = from; f < to; ++f)
        sum += double(buffer.sampleAt(f, 0)) * buffer.sampleAt(f, 0);
    return std::sqrt(sum / double(to - from));
}

// Zero crossings per second in the middle of the buffer: a rough frequency.
double frequency(const AudioBuffer &buffer)
{
    const std::uint32_t from = buffer.frameLength() / 8, to = buffer.frameLength() * 7 / 8;
    int crossings = 0;
    for (std::uint32_t f = from + 1; f < to; ++f)
        crossings += (buffer.sampleAt(f - 1, 0) < 0) != (buffer.sampleAt(f, 0) < 0);
    return crossings / 2.0 / ((to - from) / buffer.format().sampleRate);
}

TEST(AudioBufferConverterTest, CaptureToSpeechFormat)
{
    auto converter = AudioBufferConverter::create(kCapture, kSpeech);
    ASSERT_TRUE(converter);
    EXPECT_EQ(AudioBufferConverter::outputCapacity(48000, 16000, 1024), 405u);

    const auto out = converter->convert(sine(kCapture, 440.0, 0.5, 1024));
    ASSERT_TRUE(out);
    EXPECT_EQ(out->format(), kSpeech);
    EXPECT_EQ(out->frameCapacity(), 405u);
    EXPECT_NEAR(double(out->frameLength()), 341.0, 2.0);
    EXPECT_NEAR(rms(*out, 40, out->frameLength() - 40), 0.5 / std::sqrt(2.0), 0.03);
    EXPECT_NEAR(frequency(*out), 440.0, 25.0);

    // Each buffer converts on its own: the same input gives the same output.
    const auto again = converter->convert(sine(kCapture, 440.0, 0.5, 1024));
    ASSERT_TRUE(again);
    ASSERT_EQ(again->frameLength(), out->frameLength());
    EXPECT_EQ(QByteArray(again->constBytes(), again->byteLength()), QByteArray(out->constBytes(), out->byteLength()));
}

TEST(AudioBufferConverterTest, ChannelsMixDownToMonoByAveraging)
{
    auto stereo = AudioBufferConverter::create(kCapture, kSpeech);
    const auto cancelled = stereo->convert(sine(kCapture, 440.0, 0.5, 1024, /*opposite=*/true));
    ASSERT_TRUE(cancelled);
    EXPECT_LT(rms(*cancelled, 0, cancelled->frameLength()), 0.001);

    // Three channels: (a + a + 0) / 3 of a float input with channel 2 silent.
    const AudioFormat three{SampleFormat::Float32, 16000.0, 3};
    auto converter = AudioBufferConverter::create(three, {SampleFormat::Float32, 16000.0, 1});
    ASSERT_TRUE(converter);
    AudioBuffer input = AudioBuffer::allocate(three, 1024);
    input.setFrameLength(1024);
    for (int f = 0; f < 1024; ++f) {
        input.floatData()[f * 3] = 0.3f;
        input.floatData()[f * 3 + 1] = 0.3f;
    }
    const auto out = converter->convert(input);
    ASSERT_TRUE(out);
    EXPECT_NEAR(out->sampleAt(512, 0), 0.2f, 0.002f);

    // Same count passes through per channel.
    auto same = AudioBufferConverter::create(kCapture, {SampleFormat::Float32, 48000.0, 2});
    ASSERT_TRUE(same);
    const auto passed = same->convert(sine(kCapture, 440.0, 0.5, 1024, true));
    ASSERT_TRUE(passed);
    EXPECT_NEAR(passed->sampleAt(600, 0), -passed->sampleAt(600, 1), 1e-3);
}

TEST(AudioBufferConverterTest, SampleTypesAndClipping)
{
    const AudioFormat floatIn{SampleFormat::Float32, 16000.0, 1};
    auto toInt16 = AudioBufferConverter::create(floatIn, kSpeech);
    AudioBuffer loud = AudioBuffer::allocate(floatIn, 1024);
    loud.setFrameLength(1024);
    for (int i = 0; i < 1024; ++i)
        loud.floatData()[i] = (i % 64 < 32) ? 3.0f : -3.0f;
    loud.floatData()[100] = std::numeric_limits<float>::quiet_NaN();
    loud.floatData()[200] = std::numeric_limits<float>::infinity();
    const auto clipped = toInt16->convert(loud);
    ASSERT_TRUE(clipped);
    const std::int16_t *samples = clipped->int16Data();
    for (std::uint32_t i = 0; i < clipped->frameLength(); ++i)
        ASSERT_TRUE(samples[i] >= -32768 && samples[i] <= 32767);

    auto toFloat = AudioBufferConverter::create({SampleFormat::Int32, 44100.0, 1}, floatIn);
    ASSERT_TRUE(toFloat);
    const auto converted = toFloat->convert(sine({SampleFormat::Int32, 44100.0, 1}, 300.0, 0.25, 4410));
    ASSERT_TRUE(converted);
    EXPECT_NEAR(double(converted->frameLength()), 1600.0, 2.0);
    EXPECT_NEAR(rms(*converted, 100, 1500), 0.25 / std::sqrt(2.0), 0.01);
    for (std::uint32_t i = 0; i < converted->frameLength(); ++i)
        ASSERT_TRUE(std::isfinite(converted->floatData()[i]));
}

TEST(AudioBufferConverterTest, CapacityRule)
{
    EXPECT_EQ(AudioBufferConverter::outputCapacity(48000, 16000, 1024), 405u);
    EXPECT_EQ(AudioBufferConverter::outputCapacity(16000, 48000, 1024), 3136u);
    EXPECT_EQ(AudioBufferConverter::outputCapacity(44100, 16000, 1024), 435u);
    EXPECT_EQ(AudioBufferConverter::outputCapacity(16000, 16000, 0), 64u);
    // At or below 1 Hz the ratio is the output rate itself.
    EXPECT_EQ(AudioBufferConverter::outputCapacity(0.5, 16000, 2), 32064u);
    EXPECT_EQ(AudioBufferConverter::outputCapacity(1.0, 16000, 2), 32064u);
    // The ratio never drops below 0.01.
    EXPECT_EQ(AudioBufferConverter::outputCapacity(192000, 100, 1000), 74u);
    EXPECT_FALSE(AudioBufferConverter::outputCapacity(1.0, 4e9, 2));
}

TEST(AudioBufferConverterTest, RefusesUnusableFormats)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (const AudioFormat &bad : {AudioFormat{SampleFormat::Int16, 0.0, 1}, AudioFormat{SampleFormat::Int16, -1.0, 1},
                                   AudioFormat{SampleFormat::Int16, nan, 1}, AudioFormat{SampleFormat::Int16, inf, 1},
                                   AudioFormat{SampleFormat::Int16, 16000.0, 0}}) {
        EXPECT_FALSE(AudioBufferConverter::create(bad, kSpeech)) << bad.describe().toStdString();
        EXPECT_FALSE(AudioBufferConverter::create(kCapture, bad)) << bad.describe().toStdString();
    }
    // Rates no device uses: a damaged header, not audio to resample.
    for (double rate : {1.0, 7999.0, 1.0e6}) {
        EXPECT_FALSE(AudioBufferConverter::create({SampleFormat::Int16, rate, 1}, kSpeech)) << rate;
        EXPECT_FALSE(AudioBufferConverter::create(kCapture, {SampleFormat::Int16, rate, 1})) << rate;
    }
    EXPECT_TRUE(AudioBufferConverter::create({SampleFormat::Int16, 8000.0, 1}, kSpeech));
    // Channels are never invented.
    EXPECT_FALSE(AudioBufferConverter::create(kSpeech, {SampleFormat::Int16, 16000.0, 2}));
    EXPECT_FALSE(AudioBufferConverter::create(kCapture, {SampleFormat::Int16, 16000.0, 3}));
}

TEST(AudioBufferConverterTest, BuffersItCannotConvertGiveNothing)
{
    auto converter = AudioBufferConverter::create(kCapture, kSpeech);
    EXPECT_FALSE(converter->convert(AudioBuffer()));
    EXPECT_FALSE(converter->convert(AudioBuffer::allocate(kCapture, 1024))) << "no frames";
    EXPECT_FALSE(converter->convert(sine(kSpeech, 440.0, 0.5, 1024))) << "not the input format";
    EXPECT_FALSE(converter->convert(sine({SampleFormat::Float32, 48000.0, 2}, 440.0, 0.5, 1024)));
    // One frame still comes out as something (or nothing), never a crash,
    // and the converter keeps working afterwards.
    (void)converter->convert(sine(kCapture, 440.0, 0.5, 1));
    EXPECT_TRUE(converter->convert(sine(kCapture, 440.0, 0.5, 1024)));
}

} // namespace
} // namespace zn
