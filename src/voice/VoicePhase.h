#pragma once

#include <QMetaType>
#include <QString>

#include <cstdint>

namespace zn {

// Where a dictation stands. The numeric values are stable (0..9).
enum class VoicePhase : std::uint8_t {
    idle,
    requestingPermissions,
    preparing,
    recording,
    stopping,
    reviewing,
    permissionRequired,
    unavailable,
    failed,
    interruptedDeviceChange,
};

// The case name, for logs and test output.
QString rawValue(VoicePhase phase);

} // namespace zn

Q_DECLARE_METATYPE(zn::VoicePhase)
