#include "platform/speech/SpeechSamples.h"

#include "platform/speech/SpeechTestAudio.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace zn::speech {
namespace {

TEST(DecoderSamples, OnlyTheDecoderFormatPassesUnchanged)
{
    const std::vector<std::int16_t> samples{1, -2, 3, 32767, -32768};
    auto buffers = test::int16Buffers(samples);
    ASSERT_EQ(buffers.size(), 1u);
    EXPECT_EQ(decoderSamples(buffers[0]), samples);

    const std::int16_t stereo[4] = {1, 2, 3, 4};
    EXPECT_EQ(decoderSamples(AudioBuffer::fromInterleaved({SampleFormat::Int16, 16000.0, 2}, stereo, 2)),
              std::nullopt);
    const float mono[2] = {0.1f, 0.2f};
    EXPECT_EQ(decoderSamples(AudioBuffer::fromInterleaved({SampleFormat::Float32, 16000.0, 1}, mono, 2)),
              std::nullopt);
    EXPECT_EQ(decoderSamples(AudioBuffer()), std::nullopt);

    // Recordings are read whole, as 16-bit samples; an unreadable one is empty.
    EXPECT_EQ(readDecoderRecording(test::pocketsphinxRecording(QStringLiteral("goforward.raw"))).size(),
              89160u / 2);
    EXPECT_TRUE(readDecoderRecording(QStringLiteral("/nonexistent/recording.raw")).empty());
}

TEST(StreamingSampleConverter, ResamplesAStreamWithoutLosingLength)
{
    StreamingSampleConverter converter;
    const auto input = test::noise(16000 * 2, 3000);
    std::size_t produced = 0;
    for (const AudioBuffer &b : test::float48kBuffers(input, 2))
        produced += converter.convert(b).size();
    produced += converter.flush().size();
    // Two seconds in, two seconds out (the resampler may hold back a few samples).
    EXPECT_NEAR(double(produced), double(input.size()), 64.0);
}

TEST(StreamingSampleConverter, MixesChannelsAndTreatsNonFiniteSamplesAsSilence)
{
    StreamingSampleConverter converter;
    // 16 kHz needs no resampling: the mix is exact.
    const float frames[] = {1.0f, 0.0f, -0.5f, -0.5f, std::numeric_limits<float>::quiet_NaN(), 0.5f,
                            std::numeric_limits<float>::infinity(), 0.0f};
    auto out = converter.convert(AudioBuffer::fromInterleaved({SampleFormat::Float32, 16000.0, 2}, frames, 4));
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[0], 16384);
    EXPECT_EQ(out[1], -16384);
    EXPECT_EQ(out[2], 8192);
    EXPECT_EQ(out[3], 0);

    const std::int32_t loud[] = {std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::min()};
    out = converter.convert(AudioBuffer::fromInterleaved({SampleFormat::Int32, 16000.0, 1}, loud, 2));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0], 32767);
    EXPECT_EQ(out[1], -32767);
}

TEST(StreamingSampleConverter, OddFormatsConvertOrGiveNothing)
{
    StreamingSampleConverter converter;
    EXPECT_TRUE(converter.convert(AudioBuffer()).empty());
    // 96 kHz, six channels: one buffer of 960 frames is 10 ms, 160 samples out.
    std::vector<float> six(960 * 6, 0.25f);
    std::size_t produced =
        converter.convert(AudioBuffer::fromInterleaved({SampleFormat::Float32, 96000.0, 6}, six.data(), 960)).size();
    // A change of format mid-stream starts again at the new rate (8 kHz doubles).
    std::vector<std::int16_t> low(800, 1000);
    const std::size_t before = produced + converter.flush().size();
    EXPECT_NEAR(double(before), 160.0, 40.0);
    std::size_t up = converter.convert(AudioBuffer::fromInterleaved({SampleFormat::Int16, 8000.0, 1}, low.data(), 800)).size();
    up += converter.flush().size();
    EXPECT_NEAR(double(up), 1600.0, 40.0);
}

} // namespace
} // namespace zn::speech
