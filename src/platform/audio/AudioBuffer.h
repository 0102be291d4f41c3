#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace zn {

enum class SampleFormat : std::uint8_t { Int16, Int32, Float32 };

// Shape of PCM audio. Samples are always interleaved (frame by frame).
struct AudioFormat
{
    SampleFormat sampleFormat = SampleFormat::Float32;
    double sampleRate = 0.0;
    std::uint32_t channelCount = 0;

    // A format capture and conversion can work with: a finite rate above 0
    // and at least one channel.
    bool isUsable() const;
    // Rates the resamplers take: telephone quality up to studio interfaces.
    // Anything else is a damaged header, and converting it would make a
    // buffer thousands of times its size.
    static constexpr double kMinSupportedRate = 8000.0;
    static constexpr double kMaxSupportedRate = 768000.0;
    bool hasSupportedRate() const;
    int bytesPerSample() const;
    int bytesPerFrame() const;

    QString describe() const; // e.g. "48000 Hz, 2 ch, Int16"

    friend bool operator==(const AudioFormat &, const AudioFormat &) = default;
};

// A block of interleaved PCM frames: the unit that flows from the microphone
// tap to the speech engine. A value type with implicitly shared storage, so
// copies are cheap and may cross threads; writing detaches.
class AudioBuffer
{
public:
    AudioBuffer() = default; // a null buffer

    // Room for `frameCapacity` frames, frame length 0, zeroed. Null when the
    // format is unusable or the size cannot be represented.
    static AudioBuffer allocate(const AudioFormat &format, std::uint32_t frameCapacity);

    // Copies `frameCount` interleaved frames from `data`. Null as allocate().
    static AudioBuffer fromInterleaved(const AudioFormat &format, const void *data,
                                       std::uint32_t frameCount);

    bool isNull() const { return !m_format.isUsable(); }
    const AudioFormat &format() const { return m_format; }
    std::uint32_t frameCapacity() const { return m_frameCapacity; }
    std::uint32_t frameLength() const { return m_frameLength; }
    // Clamped to the capacity.
    void setFrameLength(std::uint32_t frames);

    // Interleaved samples of the valid frames; nullptr unless the buffer holds
    // that sample type (mirrors the platform buffer's typed channel data).
    const std::int16_t *int16Data() const;
    const std::int32_t *int32Data() const;
    const float *floatData() const;
    std::int16_t *int16Data();
    std::int32_t *int32Data();
    float *floatData();

    const char *constBytes() const { return m_data.constData(); }
    char *bytes();
    qsizetype byteLength() const;

    // One sample scaled to [-1, 1] (Int16 by 32768, Int32 by 2^31); for tests
    // and tools, not for inner loops.
    float sampleAt(std::uint32_t frame, std::uint32_t channel) const;

private:
    AudioFormat m_format{SampleFormat::Float32, 0.0, 0};
    std::uint32_t m_frameCapacity = 0;
    std::uint32_t m_frameLength = 0;
    QByteArray m_data;
};

} // namespace zn
