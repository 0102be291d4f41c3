#include "core/MoodAnalysis.h"
#include "core/WeatherLabel.h"

#include <gtest/gtest.h>

namespace zn {
namespace {

double mood(const char *text)
{
    return MoodAnalysis::sentimentScore(QString::fromUtf8(text));
}

// The whole mood a user sees on short everyday texts, with the default
// recogniser and tagger.
TEST(MoodEverydayText, EmoticonsAfterAnExclamationCount)
{
    EXPECT_GE(mood("Finally home! :D"), 0.2);
    EXPECT_GE(mood("Back from the dentist! :)"), 0.2);
    EXPECT_GE(mood("Great! :P"), mood("Great!"));
    EXPECT_GE(mood("Made it! 😀"), 0.2);
    EXPECT_LT(mood("Missed the train again. :("), -0.2);
}

TEST(MoodEverydayText, OneFeelingAmongPlainSentencesKeepsItsWeight)
{
    const double alone = mood("Then I felt wonderful.");
    EXPECT_NEAR(mood("It was a long day. I cooked dinner. Then I felt wonderful."), alone, 0.02);
    EXPECT_NEAR(mood("We took the bus at nine.\nThe museum was amazing.\nWe got back at six."),
                mood("The museum was amazing."), 0.02);
    EXPECT_EQ(weatherLabelForScore(mood("Work, gym, groceries. Then I felt wonderful.")),
              weatherLabelForScore(alone));
}

TEST(MoodEverydayText, CommonConstructionsReadTheRightWay)
{
    EXPECT_GT(mood("Can't wait for the weekend!"), 0.0);
    EXPECT_GT(mood("I cannot wait to see my sister."), 0.0);
    EXPECT_GT(mood("I have never slept so well."), 0.0);
    EXPECT_GT(mood("Never had such a relaxing evening."), 0.0);
    EXPECT_LE(mood("No and no."), 0.0);
    EXPECT_GT(mood("She wore a pretty dress."), 0.0);
    EXPECT_GT(mood("The sunset was pretty."), 0.0);
    EXPECT_GT(mood("Met Jan at de café, so fun."), 0.0);
}

} // namespace
} // namespace zn
