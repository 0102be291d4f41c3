#pragma once

#include "platform/audio/AudioBuffer.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace zn::speech {

// 16 kHz mono signed 16-bit: the only audio the decoder takes.
AudioFormat decoderFormat();

// The samples of a buffer already in decoderFormat(); nothing otherwise.
std::optional<std::vector<std::int16_t>> decoderSamples(const AudioBuffer &buffer);

// A headerless recording in decoderFormat(), as decoder samples; empty when
// it cannot be read.
std::vector<std::int16_t> readDecoderRecording(const QString &path);

// Turns a continuous stream of buffers in any PCM format into decoder
// samples: channels averaged, resampled with state kept across buffers (no
// seams), non-finite samples read as silence. One reader thread only.
class StreamingSampleConverter
{
public:
    StreamingSampleConverter();
    ~StreamingSampleConverter();
    StreamingSampleConverter(const StreamingSampleConverter &) = delete;
    StreamingSampleConverter &operator=(const StreamingSampleConverter &) = delete;

    // Empty for a null or unusable buffer. A change of format mid-stream
    // starts a fresh resampler.
    std::vector<std::int16_t> convert(const AudioBuffer &buffer);
    // What the resampler still holds at the end of the stream.
    std::vector<std::int16_t> flush();

private:
    struct Resampler;
    std::unique_ptr<Resampler> m_resampler;
    std::optional<AudioFormat> m_format;
    std::vector<float> m_mono;
};

} // namespace zn::speech
