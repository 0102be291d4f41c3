#pragma once

#include "platform/audio/AudioBuffer.h"
#include "platform/speech/SpeechSamples.h"

#include <QString>
#include <QStringList>

#include <algorithm>
#include <random>

#include <cstdint>
#include <vector>

// Header-only: the voice tests use it too.
namespace zn::test {

// Human recordings shipped by pocketsphinx-testdata (16 kHz mono s16le).
QString pocketsphinxRecording(const QString &name);
std::vector<std::int16_t> readRawSamples(const QString &path);

// A sentence spoken by flite at build time (tests/voice/data/FliteSpeech.cmake):
// `name` as listed there, `voice` "slt" or "rms". Empty when it was not made.
std::vector<std::int16_t> syntheticSentence(const QString &name, const QString &voice);

// Word-level edit distance (substitutions, insertions, deletions) between a
// reference and a recognised text, both split at whitespace.
int wordErrors(const QString &reference, const QString &hypothesis);

// Quiet random noise, as a real microphone gives between words.
std::vector<std::int16_t> noise(std::size_t count, int amplitude = 60, unsigned seed = 7);

// Splits 16 kHz mono samples into buffers of `frames` frames.
std::vector<AudioBuffer> int16Buffers(const std::vector<std::int16_t> &samples, std::uint32_t frames = 1024);
// The same audio as 48 kHz float buffers with `channels` identical channels
// (linear interpolation is plenty for a test signal already band-limited to 8 kHz).
std::vector<AudioBuffer> float48kBuffers(const std::vector<std::int16_t> &samples, std::uint32_t channels = 1,
                                         std::uint32_t frames = 1024);


inline QString pocketsphinxRecording(const QString &name)
{
    return QStringLiteral("/usr/share/pocketsphinx/test/data/") + name;
}

inline std::vector<std::int16_t> readRawSamples(const QString &path)
{
    return speech::readDecoderRecording(path);
}

inline std::vector<std::int16_t> syntheticSentence(const QString &name, const QString &voice)
{
#ifdef ZN_TEST_SPEECH_DIR
    return readRawSamples(QStringLiteral(ZN_TEST_SPEECH_DIR "/%1_%2.raw").arg(name, voice));
#else
    Q_UNUSED(name);
    Q_UNUSED(voice);
    return {};
#endif
}

inline int wordErrors(const QString &reference, const QString &hypothesis)
{
    const QStringList ref = reference.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QStringList hyp = hypothesis.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    std::vector<int> row(std::size_t(hyp.size()) + 1);
    for (std::size_t j = 0; j < row.size(); ++j)
        row[j] = int(j);
    for (qsizetype i = 1; i <= ref.size(); ++i) {
        int diagonal = row[0];
        row[0] = int(i);
        for (qsizetype j = 1; j <= hyp.size(); ++j) {
            const int above = row[std::size_t(j)];
            row[std::size_t(j)] = std::min({above + 1, row[std::size_t(j - 1)] + 1,
                                            diagonal + (ref[i - 1] == hyp[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row.back();
}

inline std::vector<std::int16_t> noise(std::size_t count, int amplitude, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> spread(-amplitude, amplitude);
    std::vector<std::int16_t> out(count);
    for (auto &s : out)
        s = static_cast<std::int16_t>(spread(random));
    return out;
}

inline std::vector<AudioBuffer> int16Buffers(const std::vector<std::int16_t> &samples, std::uint32_t frames)
{
    const AudioFormat format{SampleFormat::Int16, 16000.0, 1};
    std::vector<AudioBuffer> out;
    for (std::size_t at = 0; at < samples.size(); at += frames) {
        const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(frames, samples.size() - at));
        out.push_back(AudioBuffer::fromInterleaved(format, samples.data() + at, n));
    }
    return out;
}

inline std::vector<AudioBuffer> float48kBuffers(const std::vector<std::int16_t> &samples, std::uint32_t channels,
                                         std::uint32_t frames)
{
    std::vector<float> up;
    up.reserve(samples.size() * 3 * channels);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const float a = samples[i] / 32768.0f;
        const float b = (i + 1 < samples.size() ? samples[i + 1] : samples[i]) / 32768.0f;
        for (int k = 0; k < 3; ++k) {
            const float v = a + (b - a) * k / 3.0f;
            for (std::uint32_t c = 0; c < channels; ++c)
                up.push_back(v);
        }
    }
    const AudioFormat format{SampleFormat::Float32, 48000.0, channels};
    std::vector<AudioBuffer> out;
    const std::size_t total = up.size() / channels;
    for (std::size_t at = 0; at < total; at += frames) {
        const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(frames, total - at));
        out.push_back(AudioBuffer::fromInterleaved(format, up.data() + at * channels, n));
    }
    return out;
}

} // namespace zn::test
