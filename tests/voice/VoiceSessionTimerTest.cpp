// The recording session's clocks: the duration and level tick, the silence
// warning, the refresh after a pause, the long-recording nudge and the hour
// limit, all on a hand-moved clock.
#include "VoiceSessionTestHarness.h"

namespace zn {
namespace {

using namespace std::chrono_literals;
using test::drainEvents;

class VoiceSessionTimerTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(h.startRecording()); }

    // Moves the clock tick by tick until the silence timer has counted one
    // more quiet half second; returns how many ticks that took.
    int untilNextQuietTick()
    {
        const double before = s.lowEnergySeconds();
        for (int i = 1; i <= 20; ++i) {
            h.clock.advance(500ms);
            if (s.lowEnergySeconds() != before)
                return i;
        }
        return -1;
    }

    test::SessionHarness h;
    VoiceRecordingSession &s = *h.session;
};

TEST_F(VoiceSessionTimerTest, DurationAndLevelFollowTheClock)
{
    h.clock.advance(250ms);
    EXPECT_DOUBLE_EQ(s.duration(), 0.25);
    h.clock.advance(1750ms);
    EXPECT_DOUBLE_EQ(s.duration(), 2.0);

    h.pushLevel(true);
    EXPECT_EQ(s.energy(), 0.0) << "sampled at the tick, not per buffer";
    h.clock.advance(250ms);
    EXPECT_GT(s.energy(), 0.3);
}

TEST_F(VoiceSessionTimerTest, QuietCountsOnlyAfterTheFirstSecondAndAHalf)
{
    // The duration lags the silence tick by at most a quarter second, so the
    // first quiet half second is counted once the run is past 1.5 s.
    h.clock.advance(1500ms);
    EXPECT_EQ(s.lowEnergySeconds(), 0.0);
    ASSERT_GT(untilNextQuietTick(), 0);
    EXPECT_GT(s.duration(), 1.5);
    EXPECT_EQ(s.lowEnergySeconds(), 0.5);
}

TEST_F(VoiceSessionTimerTest, PauseCommitsTheHypothesisFromTheThirdQuietTick)
{
    h.clock.advance(1500ms);
    h.hear(QStringLiteral("a pending guess"));
    ASSERT_EQ(s.speech().currentHypothesis(), QStringLiteral("a pending guess"));

    ASSERT_EQ(untilNextQuietTick(), 1); // 0.5 s
    ASSERT_EQ(untilNextQuietTick(), 1); // 1.0 s
    EXPECT_EQ(s.speech().currentHypothesis(), QStringLiteral("a pending guess"));
    ASSERT_EQ(untilNextQuietTick(), 1); // 1.5 s
    EXPECT_TRUE(s.speech().currentHypothesis().isEmpty());
    EXPECT_EQ(s.speech().committedSegments(), QStringList{QStringLiteral("a pending guess")});
    EXPECT_EQ(s.transcript(), QStringLiteral("a pending guess"));

    // The view edited the text meanwhile: the refresh merges, it does not
    // overwrite a longer edit.
    s.setTranscript(QStringLiteral("a pending guess, edited by hand"));
    ASSERT_EQ(untilNextQuietTick(), 1);
    EXPECT_EQ(s.transcript(), QStringLiteral("a pending guess, edited by hand"));
}

TEST_F(VoiceSessionTimerTest, SilenceWarningOnTheSixteenthQuietTickClearsWithVoice)
{
    h.clock.advance(1500ms);
    for (int tick = 1; tick <= 15; ++tick) {
        ASSERT_EQ(untilNextQuietTick(), 1) << "tick " << tick;
        ASSERT_FALSE(s.failure()) << "tick " << tick;
    }
    ASSERT_EQ(untilNextQuietTick(), 1);
    EXPECT_EQ(s.lowEnergySeconds(), 8.0);
    EXPECT_EQ(s.failure(), VoiceRecordingFailure::silentInput);
    EXPECT_EQ(s.statusMessage(),
              std::optional(QStringLiteral("We can\u2019t hear a microphone. Check mute, levels, and the selected input.")));
    EXPECT_EQ(s.phase(), VoicePhase::recording) << "recording goes on";

    h.pushLevel(true);
    h.clock.advance(500ms);
    EXPECT_FALSE(s.failure());
    EXPECT_FALSE(s.statusMessage());
    EXPECT_EQ(s.lowEnergySeconds(), 0.0);

    // Quiet again after the voice: the smoothed level decays below the
    // threshold within a few buffers and counting starts over.
    h.pushLevel(false, 6);
    ASSERT_GT(untilNextQuietTick(), 0);
    EXPECT_EQ(s.lowEnergySeconds(), 0.5);
}

TEST_F(VoiceSessionTimerTest, VoiceDoesNotClearAnotherFailure)
{
    ASSERT_TRUE(test::waitUntil([&] { return s.phase() == VoicePhase::recording; }));
    h.postDeviceChange();
    ASSERT_TRUE(test::waitUntil([&] { return s.phase() == VoicePhase::recording && s.autoResumeUsed(); }));
    ASSERT_EQ(s.failure(), VoiceRecordingFailure::deviceChanged);
    h.clock.advance(2s);
    h.pushLevel(true);
    h.clock.advance(500ms);
    EXPECT_EQ(s.failure(), VoiceRecordingFailure::deviceChanged);
}

TEST_F(VoiceSessionTimerTest, NudgeAtTwentyMinutesAndStopAtTheHour)
{
    h.hear(QStringLiteral("a very long monologue"));
    h.clock.advance(1199750ms);
    EXPECT_DOUBLE_EQ(s.duration(), 1199.75);
    EXPECT_FALSE(s.softLimitNudgeVisible());
    h.clock.advance(250ms);
    EXPECT_TRUE(s.softLimitNudgeVisible());
    EXPECT_EQ(s.phase(), VoicePhase::recording);

    h.clock.advance(2399750ms);
    EXPECT_EQ(s.phase(), VoicePhase::recording);
    h.clock.advance(250ms);
    EXPECT_NE(s.phase(), VoicePhase::recording);
    EXPECT_FALSE(s.hasTimers());
    ASSERT_TRUE(h.waitForPhase(VoicePhase::reviewing));
    EXPECT_EQ(s.failure(), VoiceRecordingFailure::sessionLimitReached);
    EXPECT_EQ(s.statusMessage(), std::optional(QStringLiteral(
                                     "That was a long session \u2014 we stopped to keep things steady. "
                                     "You can save what you have.")));
    EXPECT_DOUBLE_EQ(s.duration(), 3600.0);
    EXPECT_EQ(s.transcript(), QStringLiteral("a very long monologue"));
    EXPECT_TRUE(s.canSave());
    EXPECT_FALSE(h.engine().isRunning());

    // A new start clears the nudge and the failure.
    ASSERT_TRUE(h.startRecording());
    EXPECT_FALSE(s.softLimitNudgeVisible());
    EXPECT_FALSE(s.failure());
}

TEST_F(VoiceSessionTimerTest, LimitsCountFromAnAutomaticResume)
{
    h.clock.advance(1000s);
    h.postDeviceChange();
    ASSERT_TRUE(test::waitUntil([&] { return s.phase() == VoicePhase::recording && s.autoResumeUsed(); }));
    h.clock.advance(1000s);
    EXPECT_FALSE(s.softLimitNudgeVisible()) << "1000 s since the restart";
    EXPECT_DOUBLE_EQ(s.duration(), 1000.0);
    h.clock.advance(200s);
    EXPECT_TRUE(s.softLimitNudgeVisible());
}

TEST_F(VoiceSessionTimerTest, NoTicksOutsideRecording)
{
    ASSERT_TRUE(h.await([&](auto done) { s.stop(done); }));
    const double duration = s.duration();
    h.clock.advance(30s);
    EXPECT_EQ(s.duration(), duration);
    EXPECT_EQ(s.lowEnergySeconds(), 0.0);
    EXPECT_FALSE(s.failure());
    EXPECT_EQ(h.clock.pendingCount(), 0) << "no timer left behind";
}

} // namespace
} // namespace zn
