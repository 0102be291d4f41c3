#include "views/voice/VoiceScreenLogic.h"

#include "core/TextUnits.h"

#include <algorithm>
#include <cmath>

namespace zn {

QString voiceStatusTitle(VoicePhase phase)
{
    switch (phase) {
    case VoicePhase::idle:
        return QStringLiteral("What’s on your mind?");
    case VoicePhase::requestingPermissions:
        return QStringLiteral("Checking permissions…");
    case VoicePhase::preparing:
        return QStringLiteral("Listening soon…");
    case VoicePhase::recording:
        return QStringLiteral("I’m listening");
    case VoicePhase::stopping:
        return QStringLiteral("Finishing up…");
    case VoicePhase::reviewing:
        return QStringLiteral("How does this read?");
    case VoicePhase::permissionRequired:
        return QStringLiteral("Voice needs permission");
    case VoicePhase::unavailable:
        return QStringLiteral("Voice isn’t available");
    case VoicePhase::failed:
        return QStringLiteral("Something went wrong");
    case VoicePhase::interruptedDeviceChange:
        return QStringLiteral("Audio device changed");
    }
    return {};
}

QString voiceOrbAccessibilityLabel(VoicePhase phase, double energy)
{
    switch (phase) {
    case VoicePhase::requestingPermissions:
    case VoicePhase::preparing:
        return QStringLiteral("Preparing to record");
    case VoicePhase::recording: {
        // Truncated toward zero: 0.427 reads 42.
        const int percent = static_cast<int>(clampedEnergy(energy) * 100.0);
        return QStringLiteral("Recording, energy %1 percent").arg(percent);
    }
    case VoicePhase::reviewing:
        return QStringLiteral("Reviewing transcript");
    default:
        return QStringLiteral("Voice orb, idle");
    }
}

double clampedEnergy(double energy)
{
    if (!(energy > 0.0)) // NaN too
        return 0.0;
    return std::min(energy, 1.0);
}

QString voiceElapsedText(double seconds)
{
    // Casting NaN, infinity or a value past the integer range is undefined,
    // so the value is bounded first. A cap of about 68 years is far beyond
    // any recording and still fits.
    constexpr double kCap = 2147483647.0;
    double bounded = seconds > 0.0 ? seconds : 0.0;
    bounded = std::min(bounded, kCap);
    const qint64 whole = static_cast<qint64>(bounded);
    const qint64 minutes = whole / 60;
    const qint64 rest = whole % 60;
    return QStringLiteral("%1:%2").arg(minutes).arg(rest, 2, 10, QLatin1Char('0'));
}

double voiceOrbLevel(VoicePhase phase, double energy, bool breath, bool reduceMotion)
{
    if (phase == VoicePhase::recording)
        return clampedEnergy(energy);
    return breath && !reduceMotion ? kOrbBreathLevel : kOrbRestLevel;
}

VoiceOrbGeometry voiceOrbGeometry(double level, VoicePhase phase, double energy, bool reduceMotion)
{
    VoiceOrbGeometry g;
    // A spring may overshoot a little past its target; keep that, but never
    // a negative or runaway size.
    g.level = std::isfinite(level) ? std::clamp(level, 0.0, 1.2) : 0.0;
    const double base = reduceMotion ? 170.0 : 190.0;
    g.diameter = base + 55.0 * g.level;
    g.haloDiameter = g.diameter * 1.35;
    g.shadowOpacity = std::min(1.0, 0.4 + 0.3 * g.level);
    g.shadowRadius = 28.0 + 22.0 * g.level;
    g.showsLevelBar = phase == VoicePhase::recording && reduceMotion;
    g.levelBarHeight = g.showsLevelBar ? 20.0 + 80.0 * clampedEnergy(energy) : 0.0;
    return g;
}

VoiceStageRows voiceStageRows(VoicePhase phase, const std::optional<QString> &statusMessage,
                              bool softLimitNudgeVisible, const QString &backendLabel)
{
    VoiceStageRows rows;
    const bool recording = phase == VoicePhase::recording;
    rows.elapsedAndWeather = recording;
    rows.statusMessage = statusMessage;
    rows.softLimitNudge = softLimitNudgeVisible && recording;
    rows.backendLabel = !backendLabel.isEmpty() && (recording || phase == VoicePhase::reviewing);
    rows.liveBadge = recording;
    return rows;
}

TranscriptBodyMode transcriptBodyMode(VoicePhase phase)
{
    switch (phase) {
    case VoicePhase::recording:
    case VoicePhase::stopping:
        return TranscriptBodyMode::ReadOnlyEditor;
    case VoicePhase::reviewing:
    case VoicePhase::failed:
    case VoicePhase::interruptedDeviceChange:
        return TranscriptBodyMode::Editor;
    default:
        return TranscriptBodyMode::Introduction;
    }
}

namespace {

VoiceControl startButton(VoicePhase phase)
{
    return {VoiceControlAction::Start,
            phase == VoicePhase::failed ? QStringLiteral("Try Again") : QStringLiteral("Start Recording"),
            QStringLiteral("mic.fill"),
            VoiceButtonStyle::Prominent,
            VoiceButtonTint::Accent,
            VoiceControlSize::Large,
            VoiceShortcut::Start};
}

VoiceControl textButton(VoiceControlAction action, const QString &title, VoiceButtonStyle style,
                        VoiceControlSize size = VoiceControlSize::Regular)
{
    VoiceControl control{action, title, {}, style};
    control.size = size;
    return control;
}

VoiceControl writeInstead(VoiceButtonStyle style, VoiceControlSize size)
{
    return textButton(VoiceControlAction::WriteInstead, QStringLiteral("Write instead"), style, size);
}

} // namespace

VoiceControlsRow voiceControlsRow(VoicePhase phase, const QString &transcript)
{
    VoiceControlsRow row;
    switch (phase) {
    case VoicePhase::idle:
    case VoicePhase::unavailable:
    case VoicePhase::failed:
        row.buttons = {startButton(phase), writeInstead(VoiceButtonStyle::Bordered, VoiceControlSize::Large)};
        break;
    case VoicePhase::permissionRequired:
        row.buttons = {startButton(phase), writeInstead(VoiceButtonStyle::Bordered, VoiceControlSize::Large),
                       textButton(VoiceControlAction::OpenMicrophoneSettings, QStringLiteral("Open Sound Settings"),
                                  VoiceButtonStyle::Bordered)};
        break;
    case VoicePhase::requestingPermissions:
    case VoicePhase::preparing:
        row.spinnerText = QStringLiteral("Preparing…");
        break;
    case VoicePhase::stopping:
        row.spinnerText = QStringLiteral("Finishing transcription…");
        break;
    case VoicePhase::recording: {
        VoiceControl stop{VoiceControlAction::Stop, QStringLiteral("Stop"), QStringLiteral("stop.fill"),
                          VoiceButtonStyle::Prominent, VoiceButtonTint::Stop, VoiceControlSize::Large,
                          VoiceShortcut::Stop};
        row.buttons = {stop, writeInstead(VoiceButtonStyle::Bordered, VoiceControlSize::Regular)};
        break;
    }
    case VoicePhase::reviewing: {
        VoiceControl save{VoiceControlAction::Save, QStringLiteral("Save Entry"),
                          QStringLiteral("checkmark.circle.fill"), VoiceButtonStyle::Prominent,
                          VoiceButtonTint::Accent, VoiceControlSize::Large, VoiceShortcut::Save};
        save.enabled = !text::isBlank(transcript);
        VoiceControl discard =
            textButton(VoiceControlAction::DiscardAfterReview, QStringLiteral("Discard"), VoiceButtonStyle::Bordered);
        discard.destructive = true;
        row.buttons = {save,
                       textButton(VoiceControlAction::ReRecord, QStringLiteral("Re-record"),
                                  VoiceButtonStyle::Bordered),
                       discard, writeInstead(VoiceButtonStyle::Plain, VoiceControlSize::Regular)};
        break;
    }
    case VoicePhase::interruptedDeviceChange: {
        VoiceControl resume = textButton(VoiceControlAction::ResumeRecording, QStringLiteral("Resume Recording"),
                                         VoiceButtonStyle::Prominent);
        resume.tint = VoiceButtonTint::Accent;
        row.buttons = {resume,
                       textButton(VoiceControlAction::KeepTextAndEdit, QStringLiteral("Keep Text & Edit"),
                                  VoiceButtonStyle::Bordered),
                       textButton(VoiceControlAction::DiscardAfterDeviceChange, QStringLiteral("Discard"),
                                  VoiceButtonStyle::Bordered)};
        break;
    }
    }
    return row;
}

bool startKeyActive(VoicePhase phase)
{
    return phase == VoicePhase::idle || phase == VoicePhase::permissionRequired || phase == VoicePhase::unavailable
        || phase == VoicePhase::failed;
}

bool stopKeyActive(VoicePhase phase)
{
    return phase == VoicePhase::recording;
}

bool saveKeyActive(VoicePhase phase, const QString &transcript)
{
    return phase == VoicePhase::reviewing && !text::isBlank(transcript);
}

} // namespace zn
