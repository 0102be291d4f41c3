#include "platform/audio/AudioBuffer.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace zn {

bool AudioFormat::isUsable() const
{
    return std::isfinite(sampleRate) && sampleRate > 0.0 && channelCount != 0;
}

bool AudioFormat::hasSupportedRate() const
{
    return sampleRate >= kMinSupportedRate && sampleRate <= kMaxSupportedRate;
}

int AudioFormat::bytesPerSample() const
{
    switch (sampleFormat) {
    case SampleFormat::Int16:
        return 2;
    case SampleFormat::Int32:
    case SampleFormat::Float32:
        return 4;
    }
    return 4;
}

int AudioFormat::bytesPerFrame() const
{
    return bytesPerSample() * int(channelCount);
}

QString AudioFormat::describe() const
{
    const char *type = sampleFormat == SampleFormat::Int16   ? "Int16"
                       : sampleFormat == SampleFormat::Int32 ? "Int32"
                                                             : "Float32";
    return QStringLiteral("%1 Hz, %2 ch, %3").arg(sampleRate).arg(channelCount).arg(QLatin1String(type));
}

AudioBuffer AudioBuffer::allocate(const AudioFormat &format, std::uint32_t frameCapacity)
{
    if (!format.isUsable() || format.channelCount > 1024)
        return {};
    const qint64 bytes = qint64(frameCapacity) * format.bytesPerFrame();
    // QByteArray holds at most about 2 GiB; no real buffer comes near that.
    if (bytes > std::numeric_limits<int>::max() / 2)
        return {};
    AudioBuffer buffer;
    buffer.m_format = format;
    buffer.m_frameCapacity = frameCapacity;
    buffer.m_data = QByteArray(qsizetype(bytes), '\0');
    return buffer;
}

AudioBuffer AudioBuffer::fromInterleaved(const AudioFormat &format, const void *data,
                                         std::uint32_t frameCount)
{
    AudioBuffer buffer = allocate(format, frameCount);
    if (buffer.isNull())
        return buffer;
    if (frameCount > 0 && data)
        std::memcpy(buffer.m_data.data(), data, size_t(buffer.m_data.size()));
    buffer.m_frameLength = data ? frameCount : 0;
    return buffer;
}

void AudioBuffer::setFrameLength(std::uint32_t frames)
{
    m_frameLength = std::min(frames, m_frameCapacity);
}

const std::int16_t *AudioBuffer::int16Data() const
{
    if (isNull() || m_format.sampleFormat != SampleFormat::Int16)
        return nullptr;
    return reinterpret_cast<const std::int16_t *>(m_data.constData());
}

const std::int32_t *AudioBuffer::int32Data() const
{
    if (isNull() || m_format.sampleFormat != SampleFormat::Int32)
        return nullptr;
    return reinterpret_cast<const std::int32_t *>(m_data.constData());
}

const float *AudioBuffer::floatData() const
{
    if (isNull() || m_format.sampleFormat != SampleFormat::Float32)
        return nullptr;
    return reinterpret_cast<const float *>(m_data.constData());
}

std::int16_t *AudioBuffer::int16Data()
{
    if (isNull() || m_format.sampleFormat != SampleFormat::Int16)
        return nullptr;
    return reinterpret_cast<std::int16_t *>(m_data.data());
}

std::int32_t *AudioBuffer::int32Data()
{
    if (isNull() || m_format.sampleFormat != SampleFormat::Int32)
        return nullptr;
    return reinterpret_cast<std::int32_t *>(m_data.data());
}

float *AudioBuffer::floatData()
{
    if (isNull() || m_format.sampleFormat != SampleFormat::Float32)
        return nullptr;
    return reinterpret_cast<float *>(m_data.data());
}

char *AudioBuffer::bytes()
{
    return m_data.data();
}

qsizetype AudioBuffer::byteLength() const
{
    return qsizetype(m_frameLength) * m_format.bytesPerFrame();
}

float AudioBuffer::sampleAt(std::uint32_t frame, std::uint32_t channel) const
{
    if (isNull() || frame >= m_frameLength || channel >= m_format.channelCount)
        return 0.0f;
    const size_t index = size_t(frame) * m_format.channelCount + channel;
    switch (m_format.sampleFormat) {
    case SampleFormat::Int16:
        return int16Data()[index] / 32768.0f;
    case SampleFormat::Int32:
        return float(double(int32Data()[index]) / 2147483648.0);
    case SampleFormat::Float32:
        return floatData()[index];
    }
    return 0.0f;
}

} // namespace zn
