#include "core/MoodAnalysis.h"

#include "MoodFakes.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zn {
namespace {

using language::SentimentTags;
using test::LanguageServicesOverride;
using test::ScriptedSentimentTagger;

std::shared_ptr<ScriptedSentimentTagger> scripted(std::optional<QString> p, std::optional<QString> d,
                                                  QList<QString> sentences)
{
    return std::make_shared<ScriptedSentimentTagger>(SentimentTags{std::move(p), std::move(d), std::move(sentences)});
}

// No lexicon entry matches this text, so the score is the tagger's alone.
const QString kNeutral = QStringLiteral("The train departs at nine from platform four.");

TEST(MoodScore, TaggerScoreIsTheMeanOfFourValues)
{
    LanguageServicesOverride services;
    services.sentiment(scripted(QStringLiteral("0.5"), QStringLiteral("0.1"),
                                {QStringLiteral("0.3"), QStringLiteral("-0.6"), QStringLiteral("0.9")}));
    // paragraph 0.5, document 0.1, sentence mean 0.2, sentence minimum -0.6
    EXPECT_NEAR(MoodAnalysis::sentimentScore(kNeutral), (0.5 + 0.1 + 0.2 - 0.6) / 4, 1e-12);
}

TEST(MoodScore, AbsentAndMalformedTagsAreSkipped)
{
    LanguageServicesOverride services;
    services.sentiment(scripted(QStringLiteral(" 0.5"), QStringLiteral("0.1x"),
                                {QStringLiteral("0.4"), QStringLiteral("abc"), QStringLiteral("nan"),
                                 QStringLiteral("inf"), QStringLiteral("0.2 "), QString()}));
    // Only the sentence 0.4 is read: its mean and its minimum.
    EXPECT_NEAR(MoodAnalysis::sentimentScore(kNeutral), 0.4, 1e-12);

    services.sentiment(scripted(std::nullopt, QStringLiteral("-0.3"), {}));
    EXPECT_NEAR(MoodAnalysis::sentimentScore(kNeutral), -0.3, 1e-12);

    services.sentiment(scripted(std::nullopt, std::nullopt, {}));
    EXPECT_EQ(MoodAnalysis::sentimentScore(kNeutral), 0.0);
    // Without tags the lexicon decides alone: "so happy" with t = 0.
    EXPECT_NEAR(MoodAnalysis::sentimentScore(QStringLiteral("so happy")), 0.8 * 0.83 / std::sqrt(2.0), 1e-12);
}

TEST(MoodScore, ResultIsClampedAndNeverNaN)
{
    LanguageServicesOverride services;
    services.sentiment(scripted(QStringLiteral("5"), QStringLiteral("7"), {}));
    EXPECT_EQ(MoodAnalysis::sentimentScore(kNeutral), 1.0);
    services.sentiment(scripted(QStringLiteral("-3"), std::nullopt, {QStringLiteral("-2")}));
    EXPECT_EQ(MoodAnalysis::sentimentScore(kNeutral), -1.0);
    services.sentiment(scripted(QStringLiteral("1e308"), QStringLiteral("1e308"),
                                {QStringLiteral("-1e308"), QStringLiteral("-1e308")}));
    const double huge = MoodAnalysis::sentimentScore(kNeutral);
    EXPECT_TRUE(std::isfinite(huge));
    EXPECT_GE(huge, -1.0);
    EXPECT_LE(huge, 1.0);
}

TEST(MoodScore, BlankTextScoresZeroWithoutTagging)
{
    LanguageServicesOverride services;
    const auto tagger = scripted(QStringLiteral("0.9"), QStringLiteral("0.9"), {});
    services.sentiment(tagger);
    EXPECT_EQ(MoodAnalysis::sentimentScore(QString()), 0.0);
    EXPECT_EQ(MoodAnalysis::sentimentScore(QStringLiteral(" \n\t\u00a0\u2029 ")), 0.0);
    EXPECT_EQ(tagger->calls(), 0);
    // The tagger sees the trimmed text.
    MoodAnalysis::sentimentScore(QStringLiteral("  \n") + kNeutral + QStringLiteral("\n "));
    EXPECT_EQ(tagger->calls(), 1);
    EXPECT_EQ(tagger->lastText(), kNeutral);
}

TEST(MoodScore, BlendRowsInOrder)
{
    using MoodAnalysis::blendLexicon;
    // strongNegative: min(0.15 t + 0.85 l, -0.25)
    EXPECT_NEAR(blendLexicon(true, false, 1.0, -0.35), -0.25, 1e-12);
    EXPECT_NEAR(blendLexicon(true, false, -0.5, -0.8), -0.755, 1e-12);
    // …and it wins over positiveTurn.
    EXPECT_NEAR(blendLexicon(true, true, 1.0, -0.35), -0.25, 1e-12);
    // positiveTurn: max(0.2 t + 0.8 l, 0.35)
    EXPECT_NEAR(blendLexicon(false, true, -1.0, 0.4), 0.35, 1e-12);
    EXPECT_NEAR(blendLexicon(false, true, 0.5, 0.6), 0.58, 1e-12);
    // l = 0: t
    EXPECT_EQ(blendLexicon(false, false, 0.37, 0.0), 0.37);
    EXPECT_EQ(blendLexicon(false, false, -0.93, -0.0), -0.93);
    // l <= -0.25 and t >= 0: 0.15 t + 0.85 l
    EXPECT_NEAR(blendLexicon(false, false, 0.5, -0.25), -0.1375, 1e-12);
    EXPECT_NEAR(blendLexicon(false, false, 0.0, -0.3), -0.255, 1e-12);
    // l >= 0.25 and t <= -0.4: max(0.2 t + 0.8 l, 0.3)
    EXPECT_NEAR(blendLexicon(false, false, -0.9, 0.25), 0.3, 1e-12);
    EXPECT_NEAR(blendLexicon(false, false, -0.4, 0.9), 0.64, 1e-12);
    EXPECT_NEAR(blendLexicon(false, false, -0.5, 0.25), 0.3, 1e-12); // not the next row's 0.1
    // l >= 0.25 and t <= 0: 0.2 t + 0.8 l
    EXPECT_NEAR(blendLexicon(false, false, -0.2, 0.5), 0.36, 1e-12);
    EXPECT_NEAR(blendLexicon(false, false, 0.0, 0.25), 0.2, 1e-12);
    // otherwise: 0.55 t + 0.45 l
    EXPECT_NEAR(blendLexicon(false, false, 0.4, 0.3), 0.355, 1e-12);
    EXPECT_NEAR(blendLexicon(false, false, -0.2, -0.5), -0.335, 1e-12);
    EXPECT_NEAR(blendLexicon(false, false, 0.1, 0.2), 0.145, 1e-12);
    // The blend itself does not clamp.
    EXPECT_NEAR(blendLexicon(false, false, 3.0, 0.0), 3.0, 1e-12);
}

TEST(MoodScore, FloorsHoldThroughTheBlend)
{
    LanguageServicesOverride services;
    services.sentiment(scripted(QStringLiteral("1"), QStringLiteral("1"), {QStringLiteral("1")}));
    // A strong negative stays at or below -0.25 whatever the tagger says.
    EXPECT_NEAR(MoodAnalysis::sentimentScore(QStringLiteral("I feel stuck")), 0.15 + 0.85 * (-0.97 / std::sqrt(2.0)),
                1e-12);
    EXPECT_NEAR(MoodAnalysis::sentimentScore(QStringLiteral("I feel stuck, but happy and grateful and calm")),
                -0.25, 1e-12);
    services.sentiment(scripted(QStringLiteral("-1"), QStringLiteral("-1"), {QStringLiteral("-1")}));
    // A positive turn stays at or above 0.35.
    EXPECT_NEAR(MoodAnalysis::sentimentScore(QStringLiteral("Look on the bright side")), 0.35, 1e-12);
    // The Part's own example through the whole pipeline: t = -1, l = -0.686.
    EXPECT_NEAR(MoodAnalysis::sentimentScore(QStringLiteral("I feel bad")),
                std::min(0.15 * -1 + 0.85 * (-0.97 / std::sqrt(2.0)), -0.25), 1e-12);
}

TEST(MoodScore, TaggerLanguageComesFromLocaleThenRecogniserThenEnglish)
{
    LanguageServicesOverride services;
    const auto tagger = scripted(QStringLiteral("0"), std::nullopt, {});
    services.sentiment(tagger);
    services.recognizer(std::make_shared<test::FixedLanguageRecognizer>(QStringLiteral("de")));

    MoodAnalysis::sentimentScore(kNeutral, QLocale(QLocale::French, QLocale::Canada));
    EXPECT_EQ(tagger->lastLanguage(), QStringLiteral("fr"));
    MoodAnalysis::sentimentScore(kNeutral);
    EXPECT_EQ(tagger->lastLanguage(), QStringLiteral("de"));
    // The C locale names no language.
    MoodAnalysis::sentimentScore(kNeutral, QLocale::c());
    EXPECT_EQ(tagger->lastLanguage(), QStringLiteral("de"));

    services.recognizer(std::make_shared<test::FixedLanguageRecognizer>(std::nullopt));
    MoodAnalysis::sentimentScore(kNeutral);
    EXPECT_EQ(tagger->lastLanguage(), QStringLiteral("en"));

    const language::Tagger made = MoodAnalysis::makeTagger(
        QStringLiteral("Hallo"), std::nullopt, {language::TagScheme::LexicalClass, language::TagScheme::Lemma});
    EXPECT_EQ(made.string(), QStringLiteral("Hallo"));
    EXPECT_EQ(made.language(), QStringLiteral("en"));
    EXPECT_TRUE(made.hasScheme(language::TagScheme::Lemma));
    EXPECT_FALSE(made.hasScheme(language::TagScheme::SentimentScore));
    // Without the sentiment scheme the tagger gives no sentiment.
    EXPECT_FALSE(made.sentimentTags().document.has_value());
}

TEST(MoodScore, DefaultTaggersGiveSensibleMoods)
{
    // The real taggers, end to end.
    EXPECT_GT(MoodAnalysis::sentimentScore(QStringLiteral("What a lovely, relaxing weekend with my family.")), 0.2);
    EXPECT_LT(MoodAnalysis::sentimentScore(QStringLiteral("I argued with my boss and the whole day felt awful.")), -0.2);
    EXPECT_NEAR(MoodAnalysis::sentimentScore(kNeutral), 0.0, 1e-12);
    // Non-English text: no tags, so only the (English) lexicon speaks.
    EXPECT_EQ(MoodAnalysis::sentimentScore(QStringLiteral("Je suis allé au marché avec mes amis.")), 0.0);
}

} // namespace
} // namespace zn
