#pragma once

#include "platform/audio/AudioBuffer.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace zn {

// Converts captured buffers into the one format the speech engine accepts:
// sample rate (libsoxr), sample type, and channels (same count, or any count
// mixed down to mono by averaging). One resampler lives for the converter's
// lifetime and is reset for every buffer, so each buffer converts on its own.
// Main thread only.
class AudioBufferConverter
{
public:
    // Null when either format is unusable (rate not above 0, not finite, no
    // channels), has a rate outside AudioFormat's supported range, or no
    // converter exists between them (e.g. 2 -> 3 channels).
    static std::unique_ptr<AudioBufferConverter> create(const AudioFormat &inputFormat,
                                                        const AudioFormat &outputFormat);
    ~AudioBufferConverter();
    AudioBufferConverter(const AudioBufferConverter &) = delete;
    AudioBufferConverter &operator=(const AudioBufferConverter &) = delete;

    // A new buffer in the output format, or nothing when the buffer is null,
    // not in the input format, or yields no frames.
    std::optional<AudioBuffer> convert(const AudioBuffer &buffer);

    const AudioFormat &inputFormat() const { return m_inputFormat; }
    const AudioFormat &outputFormat() const { return m_outputFormat; }

    // Frames allocated for the output of `frameLength` input frames:
    // trunc(max(outRate / max(inRate, 1), 0.01) * frameLength) + 64. Nothing
    // when that does not fit a 32-bit frame count.
    static std::optional<std::uint32_t> outputCapacity(double inputRate, double outputRate,
                                                       std::uint32_t frameLength);

private:
    struct Resampler;
    AudioBufferConverter(const AudioFormat &inputFormat, const AudioFormat &outputFormat,
                         std::unique_ptr<Resampler> resampler);

    std::unique_ptr<Resampler> m_converter;
    AudioFormat m_outputFormat;
    AudioFormat m_inputFormat;
    std::vector<float> m_in;  // input as float, already down-mixed
    std::vector<float> m_out; // resampler output before the sample-type change
};

} // namespace zn
