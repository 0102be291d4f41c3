#include "core/MoodAnalysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace zn {
namespace {

TEST(MoodReconcile, WorkedExamplesWithoutLexiconMatches)
{
    const QString none = QStringLiteral("The train departs at nine.");
    struct Case {
        double a, b, expected;
    };
    for (const Case &c : {Case{0.1, 0.8, 0.555}, Case{0.3, 0.5, 0.36}, Case{0.1, 0.3, 0.2}, Case{0.1, 0.2, 0.1},
                          Case{-0.1, 0.3, 0.16}, Case{0.5, -0.5, -0.15}, Case{0.2, -0.7, -0.385}}) {
        EXPECT_NEAR(MoodAnalysis::reconcileScores(none, c.a, c.b), c.expected, 1e-9) << c.a << " " << c.b;
    }
}

TEST(MoodReconcile, LexiconSignalSteersTheResult)
{
    // Positive turn with lexicon score 0.5: the floor 0.335 beats 0.285.
    EXPECT_NEAR(MoodAnalysis::reconcileScores(LexiconSignal{0.5, false, true}, -0.3, 0.6), 0.335, 1e-9);
    // A lexicon score of 0.3 raises the floor without a turn, too.
    EXPECT_NEAR(MoodAnalysis::reconcileScores(LexiconSignal{0.3, false, false}, -0.3, 0.6),
                std::max(0.35 * -0.3 + 0.65 * 0.6, 0.25 * -0.3 + 0.35 * 0.6 + 0.4 * 0.3), 1e-9);
    // A gloomy model pulls further down only without positive evidence.
    EXPECT_NEAR(MoodAnalysis::reconcileScores(LexiconSignal{}, -1.0, -0.4), 0.45 * -1.0 + 0.55 * -0.4, 1e-9);
    EXPECT_NEAR(MoodAnalysis::reconcileScores(LexiconSignal{0.4, false, true}, -1.0, -0.4),
                0.25 * -1.0 + 0.35 * -0.4 + 0.4 * 0.4, 1e-9);
    // Labels differ (overcast, sunny) by under 0.5: still strong disagreement.
    EXPECT_NEAR(MoodAnalysis::reconcileScores(LexiconSignal{}, 0.15, 0.62), 0.35 * 0.15 + 0.65 * 0.62, 1e-9);
    // Signs differ by under 0.4.
    EXPECT_NEAR(MoodAnalysis::reconcileScores(LexiconSignal{}, -0.1, 0.28), 0.35 * -0.1 + 0.65 * 0.28, 1e-9);
    // Same label, small gap, both clear: 0.7 A + 0.3 B.
    EXPECT_NEAR(MoodAnalysis::reconcileScores(LexiconSignal{}, -0.3, -0.5), 0.7 * -0.3 + 0.3 * -0.5, 1e-9);
}

TEST(MoodReconcile, StrongNegativeTextNeverRisesAboveMinusPointTwo)
{
    const QString text = QStringLiteral("I hate myself today");
    for (double a : {-1.0, -0.3, 0.0, 0.5, 1.0}) {
        for (double b : {-1.0, 0.0, 0.7, 1.0, 5.0}) {
            const double r = MoodAnalysis::reconcileScores(text, a, b);
            EXPECT_LE(r, -0.2) << a << " " << b;
            EXPECT_GE(r, -1.0);
        }
    }
    EXPECT_NEAR(MoodAnalysis::reconcileScores(text, -0.8, -0.6), 0.75 * -0.8 + 0.25 * -0.6, 1e-9);
}

TEST(MoodReconcile, OutOfRangeAndNonFiniteScores)
{
    const QString none = QStringLiteral("The train departs at nine.");
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    // Inputs are clamped first.
    EXPECT_NEAR(MoodAnalysis::reconcileScores(none, 3.0, 2.0), MoodAnalysis::reconcileScores(none, 1.0, 1.0), 1e-12);
    EXPECT_NEAR(MoodAnalysis::reconcileScores(none, 0.2, -inf), MoodAnalysis::reconcileScores(none, 0.2, -1.0), 1e-12);
    // A model score that is not a number reads as -1, like the coordinator's.
    const double r = MoodAnalysis::reconcileScores(none, 0.3, nan);
    EXPECT_TRUE(std::isfinite(r));
    EXPECT_NEAR(r, MoodAnalysis::reconcileScores(none, 0.3, -1.0), 1e-12);
    for (double a : {nan, inf, -inf}) {
        for (double b : {nan, inf, -inf, 0.5}) {
            const double v = MoodAnalysis::reconcileScores(none, a, b);
            EXPECT_TRUE(std::isfinite(v));
            EXPECT_GE(v, -1.0);
            EXPECT_LE(v, 1.0);
        }
    }
}

} // namespace
} // namespace zn
