#include "core/MoodAnalysis.h"

#include "MoodFakes.h"

#include <gtest/gtest.h>

namespace zn {
namespace {

using language::LexicalClass;
using test::LanguageServicesOverride;
using test::ScriptedWord;
using test::ScriptedWordTagger;

KeywordFrequencies keywordsOf(LanguageServicesOverride &services, QList<ScriptedWord> words, int limit = 25)
{
    const auto tagger = std::make_shared<ScriptedWordTagger>(std::move(words));
    services.words(tagger);
    return MoodAnalysis::extractKeywords(tagger->text(), std::nullopt, limit);
}

TEST(MoodKeywords, OnlyNounsAdjectivesAdverbsAndOtherWordsCount)
{
    LanguageServicesOverride services;
    const auto k = keywordsOf(services, {{"garden", LexicalClass::Noun, std::nullopt},
                                         {"quiet", LexicalClass::Adjective, std::nullopt},
                                         {"slowly", LexicalClass::Adverb, std::nullopt},
                                         {"zorblax", LexicalClass::OtherWord, std::nullopt},
                                         {"walked", LexicalClass::Verb, std::nullopt},
                                         {"ourselves", LexicalClass::Pronoun, std::nullopt},
                                         {"beneath", LexicalClass::Preposition, std::nullopt},
                                         {"hurray", LexicalClass::Interjection, std::nullopt},
                                         {"untagged", std::nullopt, std::nullopt}});
    EXPECT_EQ(k, (KeywordFrequencies{{"garden", 1}, {"quiet", 1}, {"slowly", 1}, {"zorblax", 1}}));
}

TEST(MoodKeywords, LemmaReplacesTheSurfaceForm)
{
    LanguageServicesOverride services;
    const auto k = keywordsOf(services, {{"Dogs", LexicalClass::Noun, QStringLiteral("Dog")},
                                         {"dog", LexicalClass::Noun, QStringLiteral("dog")},
                                         {"DOG", LexicalClass::Noun, std::nullopt},
                                         {"Mice", LexicalClass::Noun, QStringLiteral("mouse")}});
    EXPECT_EQ(k, (KeywordFrequencies{{"dog", 3}, {"mouse", 1}}));
}

TEST(MoodKeywords, FiltersLengthStopWordsNumbersAndFillers)
{
    LanguageServicesOverride services;
    const auto k = keywordsOf(services, {
                                            {"ox", LexicalClass::Noun, std::nullopt},      // 2 characters
                                            {"x\u0301y\u0301", LexicalClass::Noun, std::nullopt}, // 2, in 4 units
                                            {"👍🏽👍🏽👍🏽", LexicalClass::OtherWord, std::nullopt}, // 3 characters
                                            {"day", LexicalClass::Noun, std::nullopt},
                                            {"time", LexicalClass::Noun, std::nullopt},
                                            {"things", LexicalClass::Noun, std::nullopt},
                                            {"really", LexicalClass::Adverb, std::nullopt},
                                            {"actually", LexicalClass::Adverb, std::nullopt},
                                            {"Stuff", LexicalClass::Noun, std::nullopt},
                                            {"2024a", LexicalClass::OtherWord, std::nullopt}, // 80 % digits
                                            {"12ab", LexicalClass::OtherWord, std::nullopt},  // 50 %
                                            {"五六七a", LexicalClass::OtherWord, std::nullopt}, // numerals count
                                            {"100", LexicalClass::Noun, std::nullopt},
                                            {"abc", LexicalClass::Noun, QStringLiteral("Being")}, // lemma is a stop word
                                        });
    EXPECT_EQ(k, (KeywordFrequencies{{"👍🏽👍🏽👍🏽", 1}, {"12ab", 1}}));
}

TEST(MoodKeywords, KeepsTheMostFrequentWithAlphabeticalTies)
{
    LanguageServicesOverride services;
    QList<ScriptedWord> words;
    // 30 distinct words: "word00" … "word29"; 29 and 28 three times, 27 twice.
    for (int i = 29; i >= 0; --i)
        words.append({QStringLiteral("word%1").arg(i, 2, 10, QLatin1Char('0')), LexicalClass::Noun, std::nullopt});
    for (const char *extra : {"word29", "word29", "word28", "word28", "word27"})
        words.append({QString::fromLatin1(extra), LexicalClass::Noun, std::nullopt});
    const auto k = keywordsOf(services, words);
    ASSERT_EQ(k.size(), 25);
    EXPECT_EQ(k.value("word29"), 3);
    EXPECT_EQ(k.value("word28"), 3);
    EXPECT_EQ(k.value("word27"), 2);
    // 22 places remain for the 27 words seen once: word00 … word21.
    EXPECT_TRUE(k.contains("word00"));
    EXPECT_TRUE(k.contains("word21"));
    EXPECT_FALSE(k.contains("word22"));
    EXPECT_FALSE(k.contains("word26"));

    EXPECT_EQ(keywordsOf(services, words, 2), (KeywordFrequencies{{"word28", 3}, {"word29", 3}}));
    EXPECT_TRUE(keywordsOf(services, words, 0).isEmpty());
    EXPECT_TRUE(keywordsOf(services, words, -5).isEmpty());
}

TEST(MoodKeywords, TiesOrderByScalarValueNotUtf16)
{
    LanguageServicesOverride services;
    // U+FF21 sorts before U+1F600 by scalar value, after it by UTF-16 units.
    const auto k = keywordsOf(services, {{"\U0001F600ab", LexicalClass::OtherWord, std::nullopt},
                                         {"\uFF21ab", LexicalClass::OtherWord, std::nullopt}},
                              1);
    EXPECT_EQ(k.keys(), QStringList{QStringLiteral("\uff41ab")});
}

TEST(MoodKeywords, BlankTextGivesNothing)
{
    EXPECT_TRUE(MoodAnalysis::extractKeywords(QString()).isEmpty());
    EXPECT_TRUE(MoodAnalysis::extractKeywords(QStringLiteral("  \n\t ")).isEmpty());
}

TEST(MoodKeywords, DefaultTaggerFoldsInflectionsAndDropsVerbs)
{
    const auto k = MoodAnalysis::extractKeywords(QStringLiteral(
        "The dogs barked at the neighbours. My dog is happier than ever; dogs are great. "
        "Really nice day, things take time. We walked to the park with Zorblax."));
    EXPECT_EQ(k.value("dog"), 3);
    EXPECT_EQ(k.value("park"), 1);
    EXPECT_EQ(k.value("zorblax"), 1);
    EXPECT_EQ(k.value("happy"), 1);
    EXPECT_EQ(k.value("neighbour"), 1);
    for (const char *absent : {"dogs", "barked", "bark", "walked", "walk", "day", "time", "things", "really",
                               "the", "take", "is", "are"}) {
        EXPECT_FALSE(k.contains(QString::fromLatin1(absent))) << absent;
    }
}

} // namespace
} // namespace zn
