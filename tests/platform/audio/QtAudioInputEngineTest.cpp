#include "platform/audio/QtAudioInputEngine.h"

#include <gtest/gtest.h>

#include <QAudioFormat>

namespace zn {
namespace {

QAudioFormat qtFormat(QAudioFormat::SampleFormat type, int rate, int channels)
{
    QAudioFormat format;
    format.setSampleFormat(type);
    format.setSampleRate(rate);
    format.setChannelCount(channels);
    return format;
}

// The level meter reads only float and 16-bit samples; a microphone that
// prefers anything else must still be tapped in a format it can read, or
// the meter (and the silence warning built on it) stays at zero.
TEST(QtAudioInputEngineTest, TapFormatIsOneTheMeterCanRead)
{
    EXPECT_EQ(QtAudioInputEngine::tapFormatFor(qtFormat(QAudioFormat::Int16, 48000, 2)),
              (AudioFormat{SampleFormat::Int16, 48000.0, 2}));
    EXPECT_EQ(QtAudioInputEngine::tapFormatFor(qtFormat(QAudioFormat::Float, 44100, 1)),
              (AudioFormat{SampleFormat::Float32, 44100.0, 1}));
    EXPECT_EQ(QtAudioInputEngine::tapFormatFor(qtFormat(QAudioFormat::Int32, 96000, 6)),
              (AudioFormat{SampleFormat::Float32, 96000.0, 6}));
    EXPECT_EQ(QtAudioInputEngine::tapFormatFor(qtFormat(QAudioFormat::UInt8, 8000, 1)),
              (AudioFormat{SampleFormat::Float32, 8000.0, 1}));

    // A device without a usable format stays unusable, whatever its type.
    EXPECT_FALSE(QtAudioInputEngine::tapFormatFor(QAudioFormat()).isUsable());
    EXPECT_FALSE(QtAudioInputEngine::tapFormatFor(qtFormat(QAudioFormat::Int16, 48000, 0)).isUsable());
}

} // namespace
} // namespace zn
