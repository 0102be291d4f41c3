#pragma once

#include "voice/VoicePhase.h"

#include <QMetaType>
#include <QString>

#include <cstdint>

namespace zn {

// The last problem of a dictation, each with the sentence the voice screen
// shows. The numeric values are stable (0..9).
enum class VoiceRecordingFailure : std::uint8_t {
    permissionMicrophone,
    permissionSpeech,
    noInputDevice,
    engineStartFailed,
    deviceChanged,
    speechUnavailable,
    speechFailed,
    silentInput,
    cancelled,
    sessionLimitReached,
};

QString message(VoiceRecordingFailure failure);
// The case name, for logs and test output.
QString rawValue(VoiceRecordingFailure failure);

} // namespace zn

Q_DECLARE_METATYPE(zn::VoiceRecordingFailure)
