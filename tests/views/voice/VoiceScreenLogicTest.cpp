#include "views/voice/OrbMotion.h"
#include "views/voice/VoiceScreenLogic.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace zn {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

const QList<VoicePhase> kAllPhases = {
    VoicePhase::idle,      VoicePhase::requestingPermissions, VoicePhase::preparing,
    VoicePhase::recording, VoicePhase::stopping,              VoicePhase::reviewing,
    VoicePhase::permissionRequired, VoicePhase::unavailable,  VoicePhase::failed,
    VoicePhase::interruptedDeviceChange,
};

QStringList titles(const VoiceControlsRow &row)
{
    QStringList out;
    for (const VoiceControl &c : row.buttons)
        out << c.title;
    return out;
}

TEST(VoiceScreenLogic, EveryPhaseHasItsTitleAndOrbLabel)
{
    const QStringList expectedTitles = {
        "What’s on your mind?",  "Checking permissions…", "Listening soon…",        "I’m listening",
        "Finishing up…",         "How does this read?",   "Voice needs permission", "Voice isn’t available",
        "Something went wrong",  "Audio device changed",
    };
    const QStringList expectedLabels = {
        "Voice orb, idle", "Preparing to record", "Preparing to record", "Recording, energy 42 percent",
        "Voice orb, idle", "Reviewing transcript", "Voice orb, idle",    "Voice orb, idle",
        "Voice orb, idle", "Voice orb, idle",
    };
    for (qsizetype i = 0; i < kAllPhases.size(); ++i) {
        EXPECT_EQ(voiceStatusTitle(kAllPhases[i]), expectedTitles[i]) << i;
        EXPECT_EQ(voiceOrbAccessibilityLabel(kAllPhases[i], 0.427), expectedLabels[i]) << i;
    }
}

TEST(VoiceScreenLogic, EnergyPercentIsTruncatedAndBadLevelsAreClamped)
{
    EXPECT_EQ(voiceOrbAccessibilityLabel(VoicePhase::recording, 0.999), "Recording, energy 99 percent");
    EXPECT_EQ(voiceOrbAccessibilityLabel(VoicePhase::recording, 1.0), "Recording, energy 100 percent");
    EXPECT_EQ(voiceOrbAccessibilityLabel(VoicePhase::recording, kNaN), "Recording, energy 0 percent");
    EXPECT_EQ(voiceOrbAccessibilityLabel(VoicePhase::recording, -3.0), "Recording, energy 0 percent");
    EXPECT_EQ(voiceOrbAccessibilityLabel(VoicePhase::recording, 1e300), "Recording, energy 100 percent");
    EXPECT_EQ(voiceOrbAccessibilityLabel(VoicePhase::recording, kInf), "Recording, energy 100 percent");
    EXPECT_EQ(clampedEnergy(-kInf), 0.0);
}

TEST(VoiceScreenLogic, ElapsedTimeReadsMinutesAndSecondsWithoutHours)
{
    EXPECT_EQ(voiceElapsedText(0.0), "0:00");
    EXPECT_EQ(voiceElapsedText(0.9), "0:00");
    EXPECT_EQ(voiceElapsedText(59.99), "0:59");
    EXPECT_EQ(voiceElapsedText(75.0), "1:15");
    EXPECT_EQ(voiceElapsedText(3600.0), "60:00");
    EXPECT_EQ(voiceElapsedText(3661.5), "61:01");
    // Values no recording gives must still read as a time, not overflow.
    EXPECT_EQ(voiceElapsedText(-5.0), "0:00");
    EXPECT_EQ(voiceElapsedText(kNaN), "0:00");
    EXPECT_EQ(voiceElapsedText(-kInf), "0:00");
    EXPECT_EQ(voiceElapsedText(kInf), "35791394:07");
    EXPECT_EQ(voiceElapsedText(1e300), "35791394:07");
}

TEST(VoiceScreenLogic, OrbSizesFollowLevelMotionAndEnergy)
{
    // Idle: breathing level on screen, rest level before or under reduce motion.
    EXPECT_DOUBLE_EQ(voiceOrbLevel(VoicePhase::idle, 0.9, true, false), 0.15);
    EXPECT_DOUBLE_EQ(voiceOrbLevel(VoicePhase::idle, 0.9, false, false), 0.08);
    EXPECT_DOUBLE_EQ(voiceOrbLevel(VoicePhase::reviewing, 0.9, true, true), 0.08);
    EXPECT_DOUBLE_EQ(voiceOrbGeometry(0.15, VoicePhase::idle, 0, false).diameter, 198.25);
    EXPECT_DOUBLE_EQ(voiceOrbGeometry(0.08, VoicePhase::idle, 0, false).diameter, 194.4);
    EXPECT_DOUBLE_EQ(voiceOrbGeometry(0.08, VoicePhase::idle, 0, true).diameter, 174.4);
    EXPECT_FALSE(voiceOrbGeometry(0.08, VoicePhase::idle, 0, true).showsLevelBar);

    // Recording follows the energy, clamped.
    for (const double energy : {0.0, kNaN, -1.0}) {
        const double level = voiceOrbLevel(VoicePhase::recording, energy, true, false);
        EXPECT_DOUBLE_EQ(voiceOrbGeometry(level, VoicePhase::recording, energy, false).diameter, 190.0);
        const auto still = voiceOrbGeometry(level, VoicePhase::recording, energy, true);
        EXPECT_DOUBLE_EQ(still.diameter, 170.0);
        EXPECT_TRUE(still.showsLevelBar);
        EXPECT_DOUBLE_EQ(still.levelBarHeight, 20.0);
    }
    for (const double energy : {1.0, 7.0, kInf}) {
        const double level = voiceOrbLevel(VoicePhase::recording, energy, false, false);
        const auto moving = voiceOrbGeometry(level, VoicePhase::recording, energy, false);
        EXPECT_DOUBLE_EQ(moving.diameter, 245.0);
        EXPECT_FALSE(moving.showsLevelBar);
        EXPECT_DOUBLE_EQ(moving.haloDiameter, 245.0 * 1.35);
        EXPECT_DOUBLE_EQ(moving.shadowOpacity, 0.7);
        EXPECT_DOUBLE_EQ(moving.shadowRadius, 50.0);
        const auto still = voiceOrbGeometry(level, VoicePhase::recording, energy, true);
        EXPECT_DOUBLE_EQ(still.diameter, 225.0);
        EXPECT_DOUBLE_EQ(still.levelBarHeight, 100.0);
    }
    // An animated level that is not a number draws the resting core.
    EXPECT_DOUBLE_EQ(voiceOrbGeometry(kNaN, VoicePhase::recording, 0.5, false).diameter, 190.0);
}

TEST(VoiceScreenLogic, StageRowsShowOnlyInTheirPhases)
{
    for (const VoicePhase phase : kAllPhases) {
        const bool recording = phase == VoicePhase::recording;
        const auto rows = voiceStageRows(phase, QStringLiteral("Couldn’t save the entry."), true,
                                         QStringLiteral("On-device (pocketsphinx)"));
        EXPECT_EQ(rows.elapsedAndWeather, recording) << rawValue(phase).toStdString();
        EXPECT_EQ(rows.liveBadge, recording);
        EXPECT_EQ(rows.softLimitNudge, recording) << "the nudge outlives the recording only in the session";
        EXPECT_EQ(rows.backendLabel, recording || phase == VoicePhase::reviewing);
        EXPECT_EQ(rows.statusMessage, std::optional(QStringLiteral("Couldn’t save the entry.")))
            << "a message shows in every phase, idle included";
    }
    const auto empty = voiceStageRows(VoicePhase::recording, std::nullopt, false, QString());
    EXPECT_FALSE(empty.backendLabel) << "never while the label is empty";
    EXPECT_FALSE(empty.softLimitNudge);
    EXPECT_FALSE(empty.statusMessage);
}

TEST(VoiceScreenLogic, TranscriptBodyPerPhase)
{
    using M = TranscriptBodyMode;
    const QList<M> expected = {M::Introduction, M::Introduction, M::Introduction, M::ReadOnlyEditor,
                               M::ReadOnlyEditor, M::Editor,     M::Introduction, M::Introduction,
                               M::Editor,         M::Editor};
    for (qsizetype i = 0; i < kAllPhases.size(); ++i)
        EXPECT_EQ(transcriptBodyMode(kAllPhases[i]), expected[i]) << rawValue(kAllPhases[i]).toStdString();
}

TEST(VoiceScreenLogic, EveryPhaseOffersExactlyItsRow)
{
    const QString words = QStringLiteral("some words");
    const QList<QStringList> expected = {
        {"Start Recording", "Write instead"},
        {},
        {},
        {"Stop", "Write instead"},
        {},
        {"Save Entry", "Re-record", "Discard", "Write instead"},
        {"Start Recording", "Write instead", "Open Sound Settings"},
        {"Start Recording", "Write instead"},
        {"Try Again", "Write instead"},
        {"Resume Recording", "Keep Text & Edit", "Discard"},
    };
    const QList<std::optional<QString>> spinners = {
        std::nullopt, QStringLiteral("Preparing…"), QStringLiteral("Preparing…"), std::nullopt,
        QStringLiteral("Finishing transcription…"), std::nullopt, std::nullopt, std::nullopt, std::nullopt,
        std::nullopt,
    };
    for (qsizetype i = 0; i < kAllPhases.size(); ++i) {
        const auto row = voiceControlsRow(kAllPhases[i], words);
        EXPECT_EQ(titles(row), expected[i]) << rawValue(kAllPhases[i]).toStdString();
        EXPECT_EQ(row.spinnerText, spinners[i]) << rawValue(kAllPhases[i]).toStdString();
        for (const VoiceControl &c : row.buttons)
            EXPECT_TRUE(c.enabled) << c.title.toStdString();
    }
}

TEST(VoiceScreenLogic, ButtonsCarryTheirStyleShortcutAndRole)
{
    const auto review = voiceControlsRow(VoicePhase::reviewing, QStringLiteral("x"));
    ASSERT_EQ(review.buttons.size(), 4);
    EXPECT_EQ(review.buttons[0].symbol, "checkmark.circle.fill");
    EXPECT_EQ(review.buttons[0].shortcut, VoiceShortcut::Save);
    EXPECT_EQ(review.buttons[0].style, VoiceButtonStyle::Prominent);
    EXPECT_EQ(review.buttons[0].size, VoiceControlSize::Large);
    EXPECT_TRUE(review.buttons[2].destructive) << "the review Discard asks, in red";
    EXPECT_EQ(review.buttons[3].style, VoiceButtonStyle::Plain);

    const auto device = voiceControlsRow(VoicePhase::interruptedDeviceChange, QStringLiteral("x"));
    for (const VoiceControl &c : device.buttons) {
        EXPECT_EQ(c.shortcut, VoiceShortcut::None) << "the device-change row has no key";
        EXPECT_FALSE(c.destructive);
        EXPECT_EQ(c.size, VoiceControlSize::Regular);
    }
    EXPECT_EQ(device.buttons[0].tint, VoiceButtonTint::Accent);

    const auto recording = voiceControlsRow(VoicePhase::recording, QString());
    EXPECT_EQ(recording.buttons[0].tint, VoiceButtonTint::Stop);
    EXPECT_EQ(recording.buttons[0].shortcut, VoiceShortcut::Stop);
    EXPECT_EQ(recording.buttons[0].symbol, "stop.fill");
    EXPECT_EQ(recording.buttons[1].size, VoiceControlSize::Regular);

    const auto idle = voiceControlsRow(VoicePhase::idle, QString());
    EXPECT_EQ(idle.buttons[0].symbol, "mic.fill");
    EXPECT_EQ(idle.buttons[0].shortcut, VoiceShortcut::Start);
    EXPECT_EQ(idle.buttons[1].size, VoiceControlSize::Large);
    EXPECT_EQ(voiceControlsRow(VoicePhase::failed, QString()).buttons[0].action, VoiceControlAction::Start)
        << "Try Again starts afresh like Start Recording";
}

TEST(VoiceScreenLogic, SaveNeedsAVisibleCharacter)
{
    for (const QString &blank : {QString(), QStringLiteral("   "), QStringLiteral("\n\t \r\n"),
                                QStringLiteral("\u00a0\u2028\u3000")}) {
        EXPECT_FALSE(voiceControlsRow(VoicePhase::reviewing, blank).buttons[0].enabled);
        EXPECT_FALSE(saveKeyActive(VoicePhase::reviewing, blank));
    }
    EXPECT_TRUE(voiceControlsRow(VoicePhase::reviewing, QStringLiteral("  .\n")).buttons[0].enabled);
    EXPECT_TRUE(saveKeyActive(VoicePhase::reviewing, QStringLiteral("a")));
}

TEST(VoiceScreenLogic, KeysWorkOnlyInThePhasesThatOfferThem)
{
    for (const VoicePhase phase : kAllPhases) {
        const bool startable = phase == VoicePhase::idle || phase == VoicePhase::permissionRequired
            || phase == VoicePhase::unavailable || phase == VoicePhase::failed;
        EXPECT_EQ(startKeyActive(phase), startable) << rawValue(phase).toStdString();
        EXPECT_EQ(stopKeyActive(phase), phase == VoicePhase::recording);
        EXPECT_EQ(saveKeyActive(phase, QStringLiteral("words")), phase == VoicePhase::reviewing);
    }
}

TEST(OrbMotion, SpringSettlesOnItsTargetAfterASmallOvershoot)
{
    SpringAnimator spring(0.25, 0.7, 0.08);
    spring.setTarget(1.0);
    double highest = 0;
    double time = 0;
    while (spring.advance(1.0 / 60.0) && time < 5.0) {
        highest = std::max(highest, spring.value());
        time += 1.0 / 60.0;
    }
    EXPECT_TRUE(spring.isSettled());
    EXPECT_DOUBLE_EQ(spring.value(), 1.0);
    EXPECT_GT(highest, 1.0) << "an underdamped spring overshoots";
    EXPECT_LT(highest, 1.1);
    EXPECT_LT(time, 1.0) << "a 0.25 s spring settles well within a second";
}

TEST(OrbMotion, SpringSurvivesStallsAndIgnoresBadInput)
{
    SpringAnimator spring(0.25, 0.7, 0.0);
    spring.setTarget(1.0);
    spring.advance(30.0); // a stalled event loop
    EXPECT_TRUE(std::isfinite(spring.value()));
    EXPECT_LT(std::abs(spring.value() - 1.0), 0.2);
    spring.setTarget(kNaN);
    spring.setTarget(kInf);
    EXPECT_EQ(spring.target(), 1.0);
    spring.advance(kNaN);
    spring.advance(-1.0);
    EXPECT_TRUE(std::isfinite(spring.value()));
    spring.snapTo(0.5);
    EXPECT_TRUE(spring.isSettled());
    EXPECT_FALSE(spring.advance(1.0));
}

TEST(OrbMotion, BreathEasesInAndOutAndReverses)
{
    EXPECT_DOUBLE_EQ(breathProgress(0.0, 3.5), 0.0);
    EXPECT_NEAR(breathProgress(3.5, 3.5), 1.0, 1e-9);
    EXPECT_NEAR(breathProgress(7.0, 3.5), 0.0, 1e-9);
    EXPECT_NEAR(breathProgress(1.75, 3.5), 0.5, 1e-6);
    EXPECT_NEAR(breathProgress(1.0, 3.5), breathProgress(6.0, 3.5), 1e-9) << "the way back mirrors the way in";
    EXPECT_LT(breathProgress(0.35, 3.5), 0.1 * 0.5) << "slow at the start";
    EXPECT_DOUBLE_EQ(breathProgress(kNaN, 3.5), 0.0);
    EXPECT_DOUBLE_EQ(breathProgress(kInf, 3.5), 0.0);
    EXPECT_DOUBLE_EQ(breathProgress(1.0, 0.0), 0.0);
}

} // namespace
} // namespace zn
