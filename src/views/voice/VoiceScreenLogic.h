#pragma once

#include "voice/VoicePhase.h"

#include <QList>
#include <QString>

#include <optional>

namespace zn {

// What the dictation screen shows and offers in each phase of a recording,
// without a widget: the widgets only lay out and paint what these return.

// The stage's heading for the phase ("I’m listening" while recording).
QString voiceStatusTitle(VoicePhase phase);
// What a screen reader says for the orb; `energy` only counts while
// recording ("Recording, energy 42 percent").
QString voiceOrbAccessibilityLabel(VoicePhase phase, double energy);

// A microphone level safe to draw and to cast: NaN and negatives are 0,
// anything above 1 is 1.
double clampedEnergy(double energy);
// Seconds recorded as "m:ss", minutes never folded into hours (3600 s reads
// "60:00"). NaN and negatives read "0:00"; absurdly large values are capped
// instead of overflowing.
QString voiceElapsedText(double seconds);

// The orb's size and glow for one level.
struct VoiceOrbGeometry
{
    double level = 0.0;       // 0..1
    double diameter = 0.0;    // the core circle
    double haloDiameter = 0.0;
    double shadowOpacity = 0.0;
    double shadowRadius = 0.0;
    bool showsLevelBar = false;
    double levelBarHeight = 0.0;
};

inline constexpr double kOrbBreathLevel = 0.15;
inline constexpr double kOrbRestLevel = 0.08;
inline constexpr double kOrbLevelBarWidth = 8.0;
inline constexpr double kOrbLevelBarOffset = 110.0;
inline constexpr double kOrbHaloBlur = 18.0;

// The level the orb settles at: the energy while recording, else the
// breathing level (only while breathing and motion is allowed) or the rest
// level.
double voiceOrbLevel(VoicePhase phase, double energy, bool breath, bool reduceMotion);
// Sizes for a level the orb shows (animated or settled). The level bar
// follows `energy` directly, as it is the still stand-in for the motion.
VoiceOrbGeometry voiceOrbGeometry(double level, VoicePhase phase, double energy, bool reduceMotion);

// Which of the stage's optional lines show.
struct VoiceStageRows
{
    bool elapsedAndWeather = false;
    std::optional<QString> statusMessage;
    bool softLimitNudge = false;
    bool backendLabel = false;
    bool liveBadge = false; // in the transcript header
};

VoiceStageRows voiceStageRows(VoicePhase phase, const std::optional<QString> &statusMessage,
                              bool softLimitNudgeVisible, const QString &backendLabel);

// The transcript column's body: the introduction, or the transcript editor
// (read-only while the words are still coming in).
enum class TranscriptBodyMode { Introduction, ReadOnlyEditor, Editor };
TranscriptBodyMode transcriptBodyMode(VoicePhase phase);

// The buttons of the controls tray.
enum class VoiceControlAction {
    Start,
    WriteInstead,
    OpenMicrophoneSettings,
    Stop,
    Save,
    ReRecord,
    DiscardAfterReview,
    ResumeRecording,
    KeepTextAndEdit,
    DiscardAfterDeviceChange,
};
enum class VoiceButtonStyle { Prominent, Bordered, Plain };
enum class VoiceButtonTint { None, Accent, Stop };
enum class VoiceControlSize { Regular, Large };
enum class VoiceShortcut { None, Start, Stop, Save };

struct VoiceControl
{
    VoiceControlAction action;
    QString title;
    QString symbol; // empty: text only
    VoiceButtonStyle style = VoiceButtonStyle::Bordered;
    VoiceButtonTint tint = VoiceButtonTint::None;
    VoiceControlSize size = VoiceControlSize::Regular;
    VoiceShortcut shortcut = VoiceShortcut::None;
    bool destructive = false;
    bool enabled = true;
};

// Either a spinner with its text or a row of buttons, left to right.
struct VoiceControlsRow
{
    std::optional<QString> spinnerText;
    QList<VoiceControl> buttons;
};

VoiceControlsRow voiceControlsRow(VoicePhase phase, const QString &transcript);
// The phases in which the start key (Ctrl+R) starts a recording.
bool startKeyActive(VoicePhase phase);
// Escape stops only a live recording.
bool stopKeyActive(VoicePhase phase);
// Ctrl+S saves only a reviewed transcript that has words.
bool saveKeyActive(VoicePhase phase, const QString &transcript);

} // namespace zn
