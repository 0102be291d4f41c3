#include "voice/VoiceRecordingFailure.h"

namespace zn {

QString rawValue(VoicePhase phase)
{
    switch (phase) {
    case VoicePhase::idle: return QStringLiteral("idle");
    case VoicePhase::requestingPermissions: return QStringLiteral("requestingPermissions");
    case VoicePhase::preparing: return QStringLiteral("preparing");
    case VoicePhase::recording: return QStringLiteral("recording");
    case VoicePhase::stopping: return QStringLiteral("stopping");
    case VoicePhase::reviewing: return QStringLiteral("reviewing");
    case VoicePhase::permissionRequired: return QStringLiteral("permissionRequired");
    case VoicePhase::unavailable: return QStringLiteral("unavailable");
    case VoicePhase::failed: return QStringLiteral("failed");
    case VoicePhase::interruptedDeviceChange: return QStringLiteral("interruptedDeviceChange");
    }
    return QStringLiteral("idle");
}

QString message(VoiceRecordingFailure failure)
{
    switch (failure) {
    case VoiceRecordingFailure::permissionMicrophone:
        return QStringLiteral("Microphone access is off. You can enable it in the desktop\u2019s privacy settings, or "
                              "write instead.");
    case VoiceRecordingFailure::permissionSpeech:
        return QStringLiteral("Speech recognition isn\u2019t allowed. Enable it in the desktop\u2019s privacy "
                              "settings, or write instead.");
    case VoiceRecordingFailure::noInputDevice:
        return QStringLiteral("We can\u2019t find a usable microphone. Check Input in the desktop\u2019s sound "
                              "settings.");
    case VoiceRecordingFailure::engineStartFailed:
        return QStringLiteral("We couldn\u2019t start the microphone. Try again, or write instead.");
    case VoiceRecordingFailure::deviceChanged:
        return QStringLiteral("Your audio device changed. You can resume, keep the text, or discard.");
    case VoiceRecordingFailure::speechUnavailable:
        return QStringLiteral("On-device transcription isn\u2019t available for this language right now.");
    case VoiceRecordingFailure::speechFailed:
        return QStringLiteral("Transcription stopped. Your words so far are still here \u2014 you can edit or save.");
    case VoiceRecordingFailure::silentInput:
        return QStringLiteral("We can\u2019t hear a microphone. Check mute, levels, and the selected input.");
    case VoiceRecordingFailure::cancelled:
        return QStringLiteral("Recording cancelled.");
    case VoiceRecordingFailure::sessionLimitReached:
        return QStringLiteral("That was a long session \u2014 we stopped to keep things steady. You can save what you have.");
    }
    return {};
}

QString rawValue(VoiceRecordingFailure failure)
{
    switch (failure) {
    case VoiceRecordingFailure::permissionMicrophone: return QStringLiteral("permissionMicrophone");
    case VoiceRecordingFailure::permissionSpeech: return QStringLiteral("permissionSpeech");
    case VoiceRecordingFailure::noInputDevice: return QStringLiteral("noInputDevice");
    case VoiceRecordingFailure::engineStartFailed: return QStringLiteral("engineStartFailed");
    case VoiceRecordingFailure::deviceChanged: return QStringLiteral("deviceChanged");
    case VoiceRecordingFailure::speechUnavailable: return QStringLiteral("speechUnavailable");
    case VoiceRecordingFailure::speechFailed: return QStringLiteral("speechFailed");
    case VoiceRecordingFailure::silentInput: return QStringLiteral("silentInput");
    case VoiceRecordingFailure::cancelled: return QStringLiteral("cancelled");
    case VoiceRecordingFailure::sessionLimitReached: return QStringLiteral("sessionLimitReached");
    }
    return {};
}

} // namespace zn
