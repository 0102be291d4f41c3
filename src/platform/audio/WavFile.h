#pragma once

#include "platform/audio/AudioBuffer.h"

#include <QByteArray>
#include <QString>

namespace zn {

// PCM audio read whole from a RIFF/WAVE file or a headerless raw file.
struct WavFile
{
    AudioFormat format;
    QByteArray samples; // interleaved, whole frames only
    QString error;      // empty on success

    bool isValid() const { return error.isEmpty(); }
    std::uint32_t frameCount() const;

    // Walks the chunks (extra ones such as LIST are skipped) and accepts
    // 16- and 32-bit integer and 32-bit float PCM. A data chunk that claims
    // more than the file holds keeps the whole frames that are there.
    static WavFile parse(const QByteArray &bytes);
    static WavFile read(const QString &path);
    // Headerless samples in the given format (e.g. 16 kHz mono Int16).
    static WavFile readRaw(const QString &path, const AudioFormat &format);
};

} // namespace zn
