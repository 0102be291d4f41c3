#include "platform/audio/AudioBuffer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace zn {
namespace {

TEST(AudioBufferTest, AllocationAndTypedAccess)
{
    const AudioFormat stereo{SampleFormat::Int16, 48000.0, 2};
    AudioBuffer buffer = AudioBuffer::allocate(stereo, 1024);
    ASSERT_FALSE(buffer.isNull());
    EXPECT_EQ(buffer.frameCapacity(), 1024u);
    EXPECT_EQ(buffer.frameLength(), 0u);
    EXPECT_NE(buffer.int16Data(), nullptr);
    EXPECT_EQ(buffer.floatData(), nullptr);
    EXPECT_EQ(buffer.int32Data(), nullptr);
    buffer.setFrameLength(5000);
    EXPECT_EQ(buffer.frameLength(), 1024u) << "clamped to the capacity";
    EXPECT_EQ(buffer.byteLength(), 1024 * 4);

    const std::int16_t frames[] = {32767, -32768, 0, 16384};
    const AudioBuffer copy = AudioBuffer::fromInterleaved(stereo, frames, 2);
    EXPECT_EQ(copy.frameLength(), 2u);
    EXPECT_FLOAT_EQ(copy.sampleAt(0, 1), -1.0f);
    EXPECT_FLOAT_EQ(copy.sampleAt(1, 1), 0.5f);
    EXPECT_EQ(copy.sampleAt(2, 0), 0.0f) << "past the valid frames";
    EXPECT_EQ(copy.sampleAt(0, 2), 0.0f) << "no such channel";
}

TEST(AudioBufferTest, CopiesAreIndependentValues)
{
    const AudioFormat mono{SampleFormat::Float32, 16000.0, 1};
    const float samples[] = {0.25f, -0.25f};
    AudioBuffer a = AudioBuffer::fromInterleaved(mono, samples, 2);
    AudioBuffer b = a;
    b.floatData()[0] = 1.0f;
    EXPECT_FLOAT_EQ(a.sampleAt(0, 0), 0.25f);
    EXPECT_FLOAT_EQ(b.sampleAt(0, 0), 1.0f);
}

TEST(AudioBufferTest, UnusableFormatsGiveNullBuffers)
{
    EXPECT_TRUE(AudioBuffer().isNull());
    EXPECT_EQ(AudioBuffer().int16Data(), nullptr);
    EXPECT_EQ(AudioBuffer().sampleAt(0, 0), 0.0f);
    for (const AudioFormat &bad : {AudioFormat{SampleFormat::Int16, 0.0, 1},
                                   AudioFormat{SampleFormat::Int16, std::nan(""), 1},
                                   AudioFormat{SampleFormat::Int16, std::numeric_limits<double>::infinity(), 1},
                                   AudioFormat{SampleFormat::Int16, 16000.0, 0}}) {
        EXPECT_FALSE(bad.isUsable());
        EXPECT_TRUE(AudioBuffer::allocate(bad, 16).isNull());
    }
    // Too large to hold: refused instead of overflowing.
    EXPECT_TRUE(AudioBuffer::allocate({SampleFormat::Float32, 48000.0, 8}, 0xFFFFFFFFu).isNull());
    EXPECT_EQ(AudioFormat({SampleFormat::Int32, 44100.0, 6}).bytesPerFrame(), 24);
}

} // namespace
} // namespace zn
