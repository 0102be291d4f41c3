// Where a pause falls against the recogniser's final decides how the text is
// merged: the session commits the pending guess after a second or so of
// quiet, and the final of the same words may come before or after that.
// Either way every sentence is written once and nothing said is lost.
#include "VoiceSessionTestHarness.h"

namespace zn {
namespace {

using namespace std::chrono_literals;

const QString kGuess = QStringLiteral("today i walked along the river and chilled com");
const QString kFinal = QStringLiteral("today i walk along the river and felt calm");
const QString kSecond = QStringLiteral("the weather is warm");

class DictationMergeOrderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(h.startRecording());
        h.clock.advance(2s); // past the first second and a half
    }

    // Quiet half seconds until the session has committed the pending guess.
    void pauseUntilCommitted()
    {
        h.pushLevel(false, 8);
        for (int i = 0; i < 6 && s.lowEnergySeconds() < VoiceRecordingSession::kQuietRefreshSeconds; ++i)
            h.clock.advance(500ms);
        ASSERT_GE(s.lowEnergySeconds(), VoiceRecordingSession::kQuietRefreshSeconds);
        test::drainEvents();
    }

    // Voice for a silence tick or two, then the recogniser's result.
    void speak(const QString &text, bool isFinal = false)
    {
        h.pushLevel(true, 12);
        h.hear(text, isFinal);
    }

    static int occurrences(const QString &text, const QString &words) { return int(text.count(words)); }

    test::SessionHarness h;
    VoiceRecordingSession &s = *h.session;
    SpeechTranscriptionService &speech = h.session->speech();
};

TEST_F(DictationMergeOrderTest, AFinalAfterThePauseCommitReplacesTheGuess)
{
    speak(kGuess);
    ASSERT_NO_FATAL_FAILURE(pauseUntilCommitted());
    ASSERT_EQ(speech.committedSegments(), QStringList{kGuess});
    EXPECT_TRUE(speech.currentHypothesis().isEmpty());

    h.hear(kFinal, true);
    EXPECT_EQ(speech.committedSegments(), QStringList{kFinal});
    EXPECT_EQ(speech.liveText(), kFinal);
    EXPECT_EQ(s.transcript(), kFinal) << "the final is shorter than the guess, and still replaces it";

    // The next sentence follows the final, not the guess.
    speak(kSecond);
    h.hear(kSecond, true);
    EXPECT_EQ(speech.liveText(), kFinal + u' ' + kSecond);
    EXPECT_EQ(s.transcript(), kFinal + u' ' + kSecond);

    // However few words they share: a decoder that has heard nothing before
    // reads its first utterance a second time, far better, and its guesses
    // may change their first words on the way. All were guesses at what the
    // final closes.
    speak(QStringLiteral("handheld column"));
    speak(QStringLiteral("today i walked all under river adult got a letter on on a yacht"));
    ASSERT_NO_FATAL_FAILURE(pauseUntilCommitted());
    h.hear(kFinal, true);
    EXPECT_EQ(speech.liveText(), kFinal + u' ' + kSecond + u' ' + kFinal);
    EXPECT_EQ(s.transcript(), speech.liveText());
}

TEST_F(DictationMergeOrderTest, AFinalBeforeThePauseCommitLeavesNothingToCommit)
{
    speak(kGuess);
    h.hear(kFinal, true);
    ASSERT_NO_FATAL_FAILURE(pauseUntilCommitted());
    EXPECT_EQ(speech.committedSegments(), QStringList{kFinal});
    EXPECT_FALSE(speech.committedSegments().isEmpty() && speech.currentHypothesis().isEmpty());
    EXPECT_EQ(occurrences(s.transcript(), QStringLiteral("along the river")), 1);
}

TEST_F(DictationMergeOrderTest, ANewSentenceAfterAPauseIsAppended)
{
    speak(kFinal);
    h.hear(kFinal, true);
    ASSERT_NO_FATAL_FAILURE(pauseUntilCommitted());

    // A different sentence, guessed then finalised after its own pause: both
    // stay, in order.
    speak(QStringLiteral("the weather was"));
    ASSERT_NO_FATAL_FAILURE(pauseUntilCommitted());
    h.hear(QStringLiteral("the weather was warm"), true);
    EXPECT_EQ(speech.committedSegments(), (QStringList{kFinal, QStringLiteral("the weather was warm")}));
}

TEST_F(DictationMergeOrderTest, ANewerGuessAfterThePauseReopensTheCommittedWords)
{
    speak(QStringLiteral("today i walked along"));
    ASSERT_NO_FATAL_FAILURE(pauseUntilCommitted());
    // The recogniser was still in the utterance: its guess grows, then ends.
    h.hear(QStringLiteral("today i walked along the river"));
    EXPECT_EQ(speech.liveText(), QStringLiteral("today i walked along the river"));
    // A shorter guess hides nothing already heard.
    h.hear(QStringLiteral("today i walk"));
    EXPECT_EQ(speech.liveText(), QStringLiteral("today i walked along the river"));
    h.hear(kFinal, true);
    EXPECT_EQ(speech.liveText(), kFinal);
}

TEST_F(DictationMergeOrderTest, GuessesBetweenThePauseAndTheFinalAreNotWrittenEither)
{
    // A recogniser that lags behind the microphone still guesses at the
    // words a pause committed, badly, before it finalises them.
    speak(QStringLiteral("today i will kill on the river and shelled"));
    ASSERT_NO_FATAL_FAILURE(pauseUntilCommitted());
    h.hear(QStringLiteral("today i"));
    h.hear(QStringLiteral("today i want to launder"));
    EXPECT_EQ(speech.liveText(), QStringLiteral("today i will kill on the river and shelled"));
    h.hear(kFinal, true);
    EXPECT_EQ(speech.liveText(), kFinal);

    // An utterance whose words came to nothing ends with an empty final:
    // the guess committed in the pause stays, and what follows is new.
    speak(QStringLiteral("and then"));
    ASSERT_NO_FATAL_FAILURE(pauseUntilCommitted());
    h.hear(QString(), true);
    EXPECT_FALSE(speech.isLastSegmentOpen());
    speak(kSecond);
    h.hear(kSecond, true);
    EXPECT_EQ(speech.liveText(), kFinal + QStringLiteral(" and then ") + kSecond);
    EXPECT_EQ(occurrences(s.transcript(), QStringLiteral("along the river")), 1) << s.transcript().toStdString();
}

TEST_F(DictationMergeOrderTest, OneUtteranceAcrossTwoPauseCommitsIsReplacedWhole)
{
    // The meter heard quiet before the words and again mid-sentence while
    // the recogniser, behind, was still in one utterance.
    speak(QStringLiteral("today"));
    ASSERT_NO_FATAL_FAILURE(pauseUntilCommitted());
    speak(QStringLiteral("today i want to long the river and shelled com"));
    ASSERT_NO_FATAL_FAILURE(pauseUntilCommitted());
    EXPECT_EQ(speech.openSegmentCount(), 2);
    h.hear(kFinal, true);
    EXPECT_EQ(speech.committedSegments(), QStringList{kFinal});
    speak(kSecond);
    h.hear(kSecond, true);
    EXPECT_EQ(speech.liveText(), kFinal + u' ' + kSecond);
    EXPECT_EQ(occurrences(s.transcript(), QStringLiteral("river")), 1) << s.transcript().toStdString();
}

TEST_F(DictationMergeOrderTest, AnEarlierFinalIsNeverReplacedByALaterSentence)
{
    // The user says nearly the same thing twice: the second is its own
    // sentence, committed in a pause, then finalised.
    speak(kFinal);
    h.hear(kFinal, true);
    ASSERT_NO_FATAL_FAILURE(pauseUntilCommitted());
    speak(QStringLiteral("today i walked"));
    ASSERT_NO_FATAL_FAILURE(pauseUntilCommitted());
    // "today i walked" was dropped as the start of the earlier final, so the
    // final of the repeat must not be taken as its revision.
    h.hear(QStringLiteral("today i walked along the river again"), true);
    EXPECT_EQ(speech.committedSegments(),
              (QStringList{kFinal, QStringLiteral("today i walked along the river again")}));
}

TEST_F(DictationMergeOrderTest, TheFinalOfTheLastSentenceAfterStopReplacesItsGuess)
{
    speak(QStringLiteral("the weather is"));
    h.hear(QStringLiteral("the weather is warm"), true);
    speak(kGuess);
    h.platform->finalizeEmitsFinal = kFinal;
    ASSERT_TRUE(h.await([&](auto done) { s.stop(done); }));
    EXPECT_EQ(s.phase(), VoicePhase::reviewing);
    EXPECT_EQ(speech.liveText(), QStringLiteral("the weather is warm ") + kFinal);
    EXPECT_EQ(occurrences(s.transcript(), QStringLiteral("along the river")), 1) << s.transcript().toStdString();
}

TEST_F(DictationMergeOrderTest, TheOlderRecognizersWholeTextFinalIsNotRepeated)
{
    // The whole text so far on every report; pauses commit what is new.
    TranscriptMerger merger;
    merger.handleResult(QStringLiteral("go forward"), false);
    merger.commitPendingHypothesis();
    merger.handleResult(QStringLiteral("go forward ten meters"), false);
    merger.commitPendingHypothesis();
    EXPECT_EQ(merger.liveText(), QStringLiteral("go forward ten meters"));
    merger.handleResult(QStringLiteral("go forward ten meters"), true);
    EXPECT_EQ(merger.liveText(), QStringLiteral("go forward ten meters"));
    merger.handleResult(QStringLiteral("go forward ten meters and stop"), false);
    merger.commitPendingHypothesis();
    merger.handleResult(QStringLiteral("go forward ten meters and stop there"), true);
    EXPECT_EQ(merger.liveText(), QStringLiteral("go forward ten meters and stop there"));
}

} // namespace
} // namespace zn
