#include "platform/base/TextRepair.h"
#include "platform/model/GeneratedContent.h"
#include "reflections/GenerationHelpers.h"
#include "reflections/WeeklyReflectionPrompting.h"

#include <QJsonObject>

#include <gtest/gtest.h>

namespace zn {

namespace {

using P = WeeklyReflectionPrompting;

// The text of field `name` of a model answer given as JSON with escapes.
QString answered(const char *json, const char *name = "summary")
{
    return lm::GeneratedContent::fromJson(QByteArray(json)).text(QString::fromLatin1(name));
}

} // namespace

// A model may answer with an escape for half an emoji ("\ud83d" alone). Left
// in the text, it makes every regular expression refuse to match, so the
// output checks would wave the answer through; read in, it becomes U+FFFD.
TEST(LoneSurrogateAnswers, AreRepairedWhereverTheyStandInTheAnswer)
{
    const auto content = lm::GeneratedContent::fromJson(QByteArray(
        R"({"summary":"a\ud83d b","keyPoints":["\udc00x","ok \ud83d\ude00"],"nested":{"k\ud800":"v"}})"));
    EXPECT_EQ(content.text("summary"), QStringLiteral("a\uFFFD b"));
    const QStringList points = content.textList("keyPoints");
    ASSERT_EQ(points.size(), 2);
    EXPECT_EQ(points.at(0), QStringLiteral("\uFFFDx"));
    EXPECT_EQ(points.at(1), QStringLiteral("ok \U0001F600")); // a real pair is kept
    EXPECT_EQ(content.value("nested").toObject().keys(), QStringList{QStringLiteral("k\uFFFD")});
}

TEST(LoneSurrogateAnswers, OutputChecksStillSeeTheText)
{
    // First-person voice.
    EXPECT_TRUE(containsFirstPersonVoice(answered(R"({"summary":"\ud83d I felt lighter"})")));
    // Score numbers are stripped from the weekly texts.
    EXPECT_EQ(P::strippingScoreNumbers(answered(R"({"summary":"Calm \ud83d week at 0.4 , steady"})")),
              QStringLiteral("Calm \uFFFD week at, steady"));
    // Dates outside the window are found.
    const QSet<QString> keys{QStringLiteral("2026-01-05")};
    EXPECT_TRUE(P::mentionsDisallowedDate(answered(R"({"summary":"\udc01 On January 6 it rained"})"), keys));
    EXPECT_TRUE(P::mentionsDateLikeText(answered(R"({"summary":"\udc01 on 1/6 it rained"})")));
}

TEST(TextRepair, ReplacesOnlyUnpairedHalvesAndCopiesNothingWhenClean)
{
    const QString clean = QStringLiteral("plain \U0001F44D text");
    const QString same = replacingUnpairedSurrogates(clean);
    EXPECT_EQ(same.constData(), clean.constData()); // shared, not copied
    QString broken;
    broken += QChar(0xD83D);           // high at the start
    broken += QStringLiteral("a");
    broken += QChar(0xDC00);           // low after a letter
    broken += QChar(0xD83D);
    broken += QChar(0xDE00);           // a valid pair
    broken += QChar(0xD800);           // high at the end
    EXPECT_EQ(replacingUnpairedSurrogates(broken), QStringLiteral("\uFFFDa\uFFFD\U0001F600\uFFFD"));
    EXPECT_FALSE(hasOnlyPairedSurrogates(broken));
    EXPECT_TRUE(hasOnlyPairedSurrogates(QString()));
}

} // namespace zn
