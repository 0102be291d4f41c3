#include "core/MoodAnalysis.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zn {
namespace {

LexiconSignal lex(const QString &text)
{
    return MoodAnalysis::scoreLexicon(text);
}

TEST(MoodLexicon, WorkedExamples)
{
    const LexiconSignal feelBad = lex(QStringLiteral("I feel bad"));
    EXPECT_NEAR(feelBad.score, -0.97 / std::sqrt(2.0), 1e-9);
    EXPECT_NEAR(feelBad.score, -0.686, 5e-4);
    EXPECT_TRUE(feelBad.strongNegative);
    EXPECT_FALSE(feelBad.positiveTurn);

    const LexiconSignal notHappy = lex(QStringLiteral("not happy"));
    EXPECT_NEAR(notHappy.score, -0.35, 1e-9);
    EXPECT_FALSE(notHappy.strongNegative);
    EXPECT_FALSE(notHappy.positiveTurn);

    const LexiconSignal soHappy = lex(QStringLiteral("so happy"));
    EXPECT_NEAR(soHappy.score, 0.83 / std::sqrt(2.0), 1e-9);
    EXPECT_NEAR(soHappy.score, 0.587, 5e-4);
    EXPECT_TRUE(soHappy.positiveTurn);
    EXPECT_FALSE(soHappy.strongNegative);

    const LexiconSignal notGoodDay = lex(QStringLiteral("It was not a good day"));
    EXPECT_NEAR(notGoodDay.score, -0.75 / std::sqrt(2.0), 1e-9);
    EXPECT_NEAR(notGoodDay.score, -0.530, 5e-4);
    EXPECT_FALSE(notGoodDay.positiveTurn);

    const LexiconSignal sabotage = lex(QStringLiteral("I keep self-sabotaging my progress"));
    EXPECT_NEAR(sabotage.score, -1.79 / std::sqrt(5.0), 1e-9);
    EXPECT_NEAR(sabotage.score, -0.801, 5e-4);
    EXPECT_TRUE(sabotage.strongNegative);
    EXPECT_FALSE(sabotage.positiveTurn);

    const LexiconSignal nothing = lex(QStringLiteral("The train departs at nine."));
    EXPECT_EQ(nothing.score, 0.0);
    EXPECT_FALSE(nothing.strongNegative || nothing.positiveTurn);
}

TEST(MoodLexicon, MatchingRules)
{
    // Typographic apostrophes read as ASCII ones (both quotes).
    const LexiconSignal cantGoOn = lex(QStringLiteral("I can\u2019t go on"));
    EXPECT_TRUE(cantGoOn.strongNegative);
    EXPECT_NEAR(cantGoOn.score, -0.65, 1e-9);
    EXPECT_TRUE(lex(QStringLiteral("I can\u2018t go on")).strongNegative);
    // Words count only whole; phrases and stems match inside longer words.
    EXPECT_EQ(lex(QStringLiteral("my badge")).score, 0.0);
    EXPECT_TRUE(lex(QStringLiteral("so much self-sabotaging")).strongNegative);
    EXPECT_TRUE(lex(QStringLiteral("on the update")).positiveTurn);
    // Case, punctuation and hyphens do not hide a word.
    EXPECT_NEAR(lex(QStringLiteral("BAD!!!")).score, -0.32, 1e-9);
    EXPECT_NEAR(lex(QStringLiteral("well-being, HAPPY-go-lucky")).score, 0.28, 1e-9);
    // A table entry counts once however often it occurs.
    EXPECT_NEAR(lex(QStringLiteral("sad sad sad sad")).score, -0.32, 1e-9);
    // Canonically equivalent spellings match alike.
    EXPECT_EQ(lex(QStringLiteral("caf\u00e9 is bad")).score, lex(QStringLiteral("cafe\u0301 is bad")).score);
}

TEST(MoodLexicon, NegationWindowIsTwentyEightCharacters)
{
    const QString filler = QStringLiteral(" aaaaaaaaa bbbbbbbbb ccccccccc");
    const LexiconSignal far = lex(QStringLiteral("not") + filler + QStringLiteral(" feeling good"));
    EXPECT_TRUE(far.positiveTurn);
    EXPECT_NEAR(far.score, 0.83 / std::sqrt(2.0), 1e-9);

    const LexiconSignal near = lex(QStringLiteral("not aaaaa feeling good"));
    EXPECT_FALSE(near.positiveTurn);
    EXPECT_NEAR(near.score, -0.75 / std::sqrt(2.0), 1e-9);

    // 24 letters with a combining accent: 24 characters but 48 UTF-16 units,
    // so "not" stays inside the window.
    QString accented;
    for (int i = 0; i < 24; ++i)
        accented += QStringLiteral("x\u0301");
    const LexiconSignal marks = lex(QStringLiteral("not ") + accented + QStringLiteral(" feeling good"));
    EXPECT_FALSE(marks.positiveTurn);
    // "good" itself is 8 characters further on and escapes the negation.
    EXPECT_NEAR(marks.score, (-0.40 + 0.28) / std::sqrt(2.0), 1e-9);
    // One more pushes it out.
    const LexiconSignal beyond = lex(QStringLiteral("not x ") + accented + QStringLiteral(" feeling good"));
    EXPECT_TRUE(beyond.positiveTurn);

    EXPECT_NEAR(lex(QStringLiteral("cannot really say i am happy")).score, -0.35, 1e-9);
    // A window that starts inside a word gets a space in front: "not …" cut
    // from "cannot …" still negates, "ot …" does not.
    EXPECT_NEAR(lex(QStringLiteral("cannot abcdefghijkl lmnopqrstuv happy")).score, -0.35, 1e-9);
    EXPECT_NEAR(lex(QStringLiteral("cannot abcdefghijklm lmnopqrstuv happy")).score, 0.28, 1e-9);
    // "no" ending the window is not a negation.
    EXPECT_NEAR(lex(QStringLiteral("no joy")).score, 0.28, 1e-9);
}

TEST(MoodLexicon, NegationCues)
{
    using MoodAnalysis::isNegated;
    for (const char *w : {" it was not a", "not", " i did not", "never", " never ", " no way to",
                          "didn't", " isn't really", "cannot be", " can't be", "n't ", " aren't ", " wasn't ",
                          " weren't "}) {
        EXPECT_TRUE(isNegated(QString::fromUtf8(w))) << w;
    }
    for (const char *w : {"", " ", " no", " nothing", " knot", "nota", " notable", " nevertheless", " snot"}) {
        EXPECT_FALSE(isNegated(QString::fromUtf8(w))) << w;
    }
    // The window is a tail of text: "knot" read from its start is " knot".
    EXPECT_FALSE(isNegated(QStringLiteral("knot ")));
    EXPECT_TRUE(isNegated(QStringLiteral("not ")));
}

TEST(MoodLexicon, FloorsAndCaps)
{
    // Positives cannot lift a strong negative above -0.35.
    const LexiconSignal mixed = lex(QStringLiteral(
        "I feel stuck, yet happy, joyful, grateful, thankful, excited, wonderful, amazing, proud, calm"));
    EXPECT_TRUE(mixed.strongNegative);
    EXPECT_FALSE(mixed.positiveTurn);
    EXPECT_NEAR(mixed.score, -0.35, 1e-9);

    // A positive turn lifts the score to at least 0.4.
    const LexiconSignal turn = lex(QStringLiteral("so happy but sad lonely afraid angry"));
    EXPECT_TRUE(turn.positiveTurn);
    EXPECT_FALSE(turn.strongNegative);
    EXPECT_NEAR(turn.score, 0.4, 1e-9);

    // More positives with a small sum: 0.25.
    const LexiconSignal small = lex(QStringLiteral("happy joy calm sad bad"));
    EXPECT_NEAR(small.score, 0.25, 1e-9);

    // A self-sabotage phrase clears a positive turn.
    const LexiconSignal cleared = lex(QStringLiteral("things are looking up but I keep sabotaging it"));
    EXPECT_TRUE(cleared.strongNegative);
    EXPECT_FALSE(cleared.positiveTurn);
    EXPECT_LE(cleared.score, -0.35);
}

} // namespace
} // namespace zn
