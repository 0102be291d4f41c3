#include "platform/audio/WavFile.h"

#include <QFile>
#include <QtEndian>

#include <cstring>

namespace zn {
namespace {

constexpr quint16 kFormatPcm = 1;
constexpr quint16 kFormatFloat = 3;
constexpr quint16 kFormatExtensible = 0xFFFE;

WavFile failure(const QString &message)
{
    WavFile file;
    file.error = message;
    return file;
}

QString unsupportedRate(double rate)
{
    return QStringLiteral("The audio’s sample rate of %1 Hz is not supported (%2 to %3 Hz).")
        .arg(rate)
        .arg(AudioFormat::kMinSupportedRate)
        .arg(AudioFormat::kMaxSupportedRate);
}

quint16 u16(const char *p)
{
    return qFromLittleEndian<quint16>(p);
}

quint32 u32(const char *p)
{
    return qFromLittleEndian<quint32>(p);
}

} // namespace

std::uint32_t WavFile::frameCount() const
{
    const int bpf = format.bytesPerFrame();
    return bpf > 0 ? std::uint32_t(samples.size() / bpf) : 0;
}

WavFile WavFile::parse(const QByteArray &bytes)
{
    const char *data = bytes.constData();
    const qsizetype size = bytes.size();
    if (size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0)
        return failure(QStringLiteral("The file is not a WAV file."));

    bool haveFormat = false;
    AudioFormat format;
    qsizetype pos = 12;
    while (pos + 8 <= size) {
        const char *chunk = data + pos;
        const quint32 chunkSize = u32(chunk + 4);
        const qsizetype bodyStart = pos + 8;
        const qsizetype available = size - bodyStart;

        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (chunkSize < 16 || available < 16)
                return failure(QStringLiteral("The WAV file’s header is incomplete."));
            const char *fmt = data + bodyStart;
            quint16 tag = u16(fmt);
            const quint16 channels = u16(fmt + 2);
            const quint32 rate = u32(fmt + 4);
            const quint16 bits = u16(fmt + 14);
            if (tag == kFormatExtensible) {
                if (chunkSize < 26 || available < 26)
                    return failure(QStringLiteral("The WAV file’s header is incomplete."));
                tag = u16(fmt + 24); // first two bytes of the sub-format GUID
            }
            if (channels == 0 || rate == 0)
                return failure(QStringLiteral("The WAV file’s format is invalid (%1 Hz, %2 channels).")
                                   .arg(rate)
                                   .arg(channels));
            if (tag == kFormatPcm && bits == 16)
                format.sampleFormat = SampleFormat::Int16;
            else if (tag == kFormatPcm && bits == 32)
                format.sampleFormat = SampleFormat::Int32;
            else if (tag == kFormatFloat && bits == 32)
                format.sampleFormat = SampleFormat::Float32;
            else
                return failure(QStringLiteral("The WAV file uses an unsupported sample format (%1-bit, format %2).")
                                   .arg(bits)
                                   .arg(tag));
            format.sampleRate = rate;
            format.channelCount = channels;
            if (!format.hasSupportedRate())
                return failure(unsupportedRate(rate));
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat)
                return failure(QStringLiteral("The WAV file’s header is incomplete."));
            // Writers that stream leave the size at 0 or 0xFFFFFFFF; a cut-off
            // file claims more than it holds. Keep the whole frames present.
            qsizetype length = chunkSize;
            if (chunkSize == 0 || chunkSize == 0xFFFFFFFFu || qsizetype(chunkSize) > available)
                length = available;
            const int bpf = format.bytesPerFrame();
            length -= length % bpf;
            if (length <= 0)
                return failure(QStringLiteral("The WAV file has no audio data."));
            WavFile file;
            file.format = format;
            file.samples = bytes.mid(bodyStart, length);
            return file;
        }
        // Chunks are padded to an even size.
        const qsizetype next = bodyStart + qsizetype(chunkSize) + (chunkSize & 1);
        if (next <= pos)
            break;
        pos = next;
    }
    if (!haveFormat)
        return failure(QStringLiteral("The WAV file’s header is incomplete."));
    return failure(QStringLiteral("The WAV file has no audio data."));
}

WavFile WavFile::read(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failure(QStringLiteral("Could not open the audio file %1: %2").arg(path, file.errorString()));
    return parse(file.readAll());
}

WavFile WavFile::readRaw(const QString &path, const AudioFormat &format)
{
    if (!format.isUsable())
        return failure(QStringLiteral("The raw audio format is invalid."));
    if (!format.hasSupportedRate())
        return failure(unsupportedRate(format.sampleRate));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failure(QStringLiteral("Could not open the audio file %1: %2").arg(path, file.errorString()));
    WavFile out;
    out.format = format;
    out.samples = file.readAll();
    out.samples.chop(out.samples.size() % format.bytesPerFrame());
    if (out.samples.isEmpty())
        return failure(QStringLiteral("The audio file %1 is empty.").arg(path));
    return out;
}

} // namespace zn
