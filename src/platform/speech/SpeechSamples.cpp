#include "platform/speech/SpeechSamples.h"

#include "platform/audio/WavFile.h"
#include "platform/speech/PocketsphinxDecoder.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>

namespace zn::speech {

AudioFormat decoderFormat()
{
    return AudioFormat{SampleFormat::Int16, PocketsphinxDecoder::sampleRate, 1};
}

std::optional<std::vector<std::int16_t>> decoderSamples(const AudioBuffer &buffer)
{
    if (buffer.isNull() || !(buffer.format() == decoderFormat()))
        return std::nullopt;
    const std::int16_t *data = buffer.int16Data();
    if (!data)
        return std::nullopt;
    return std::vector<std::int16_t>(data, data + buffer.frameLength());
}

std::vector<std::int16_t> readDecoderRecording(const QString &path)
{
    const WavFile file = WavFile::readRaw(path, decoderFormat());
    if (!file.isValid())
        return {};
    const auto *samples = reinterpret_cast<const std::int16_t *>(file.samples.constData());
    return std::vector<std::int16_t>(samples, samples + file.frameCount());
}

namespace {

std::int16_t toInt16(float sample)
{
    if (!std::isfinite(sample))
        return 0;
    const float scaled = std::round(std::clamp(sample, -1.0f, 1.0f) * 32767.0f);
    return static_cast<std::int16_t>(scaled);
}

} // namespace

struct StreamingSampleConverter::Resampler {
    explicit Resampler(double inputRate)
    {
        soxr_error_t error = nullptr;
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_MQ, 0);
        handle = soxr_create(inputRate, PocketsphinxDecoder::sampleRate, 1, &error, nullptr,
                             &quality, nullptr);
        if (error)
            handle = nullptr;
        ratio = PocketsphinxDecoder::sampleRate / inputRate;
    }
    ~Resampler()
    {
        if (handle)
            soxr_delete(handle);
    }
    // nullptr input flushes.
    void run(const float *in, std::size_t frames, std::vector<float> &out)
    {
        out.clear();
        if (!handle)
            return;
        const std::size_t room = static_cast<std::size_t>(std::ceil(frames * ratio)) + 256;
        out.resize(room);
        std::size_t done = 0;
        std::size_t produced = 0;
        if (soxr_process(handle, in, in ? frames : 0, &done, out.data(), room, &produced))
            produced = 0;
        out.resize(produced);
    }
    soxr_t handle = nullptr;
    double ratio = 1.0;
};

StreamingSampleConverter::StreamingSampleConverter() = default;
StreamingSampleConverter::~StreamingSampleConverter() = default;

std::vector<std::int16_t> StreamingSampleConverter::convert(const AudioBuffer &buffer)
{
    if (buffer.isNull() || buffer.frameLength() == 0)
        return {};
    if (std::optional<std::vector<std::int16_t>> samples = decoderSamples(buffer))
        return std::move(*samples);
    const AudioFormat &format = buffer.format();
    if (!format.hasSupportedRate())
        return {}; // a damaged rate would resample into a flood of samples

    if (!m_format || !(*m_format == format)) {
        m_format = format;
        m_resampler.reset();
        if (format.sampleRate != PocketsphinxDecoder::sampleRate)
            m_resampler = std::make_unique<Resampler>(format.sampleRate);
    }

    const std::uint32_t frames = buffer.frameLength();
    const std::uint32_t channels = format.channelCount;
    m_mono.assign(frames, 0.0f);
    for (std::uint32_t f = 0; f < frames; ++f) {
        double sum = 0.0;
        for (std::uint32_t c = 0; c < channels; ++c) {
            const std::size_t i = std::size_t(f) * channels + c;
            double v = 0.0;
            switch (format.sampleFormat) {
            case SampleFormat::Int16:
                v = buffer.int16Data()[i] / 32768.0;
                break;
            case SampleFormat::Int32:
                v = buffer.int32Data()[i] / 2147483648.0;
                break;
            case SampleFormat::Float32:
                v = buffer.floatData()[i];
                if (!std::isfinite(v))
                    v = 0.0;
                break;
            }
            sum += v;
        }
        m_mono[f] = float(sum / channels);
    }

    std::vector<float> resampled;
    if (m_resampler)
        m_resampler->run(m_mono.data(), frames, resampled);
    const std::vector<float> &mono = m_resampler ? resampled : m_mono;
    std::vector<std::int16_t> result;
    result.reserve(mono.size());
    for (float s : mono)
        result.push_back(toInt16(s));
    return result;
}

std::vector<std::int16_t> StreamingSampleConverter::flush()
{
    std::vector<std::int16_t> result;
    if (!m_resampler)
        return result;
    // soxr hands back what it holds in pieces; ask until it has nothing left.
    std::vector<float> out;
    for (int round = 0; round < 64; ++round) {
        m_resampler->run(nullptr, 0, out);
        if (out.empty())
            break;
        for (float s : out)
            result.push_back(toInt16(s));
    }
    return result;
}

} // namespace zn::speech
