#include "platform/language/LanguageTagging.h"

#include <gtest/gtest.h>

namespace zn::language {
namespace {

class CountingWordTagger final : public WordTagger
{
public:
    std::vector<WordToken> tag(const QString &text, const QString &) const override
    {
        return {{0, text.size(), LexicalClass::Noun, QStringLiteral("lemma")}};
    }
};

class NamedRecognizer final : public LanguageRecognizer
{
public:
    std::optional<QString> dominantLanguage(const QString &) const override { return QStringLiteral("xx"); }
};

TEST(LanguageServices, OverridesAreUsedAndNullRestoresTheDefault)
{
    const auto defaultWords = wordTagger();
    const auto defaultRecognizer = languageRecognizer();
    const auto custom = std::make_shared<CountingWordTagger>();
    setWordTagger(custom);
    setLanguageRecognizer(std::make_shared<NamedRecognizer>());
    EXPECT_EQ(wordTagger(), custom);
    EXPECT_EQ(languageRecognizer()->dominantLanguage(QStringLiteral("text")), QStringLiteral("xx"));
    setWordTagger(nullptr);
    setLanguageRecognizer(nullptr);
    EXPECT_EQ(wordTagger(), defaultWords);
    EXPECT_EQ(languageRecognizer(), defaultRecognizer);
}

TEST(LanguageServices, TaggerGivesOnlyTheRequestedSchemes)
{
    setWordTagger(std::make_shared<CountingWordTagger>());
    Tagger classes({TagScheme::LexicalClass});
    classes.setString(QStringLiteral("word"));
    ASSERT_EQ(classes.wordTokens().size(), 1u);
    EXPECT_EQ(classes.wordTokens()[0].lexicalClass, LexicalClass::Noun);
    EXPECT_FALSE(classes.wordTokens()[0].lemma.has_value());

    Tagger lemmas({TagScheme::Lemma});
    lemmas.setString(QStringLiteral("word"));
    EXPECT_FALSE(lemmas.wordTokens()[0].lexicalClass.has_value());
    EXPECT_EQ(lemmas.wordTokens()[0].lemma, QStringLiteral("lemma"));

    Tagger sentimentOnly({TagScheme::SentimentScore});
    sentimentOnly.setString(QStringLiteral("word"));
    EXPECT_TRUE(sentimentOnly.wordTokens().empty());
    // An empty string is never tagged.
    Tagger empty({TagScheme::SentimentScore, TagScheme::LexicalClass});
    EXPECT_TRUE(empty.wordTokens().empty());
    EXPECT_FALSE(empty.sentimentTags().document.has_value());
    setWordTagger(nullptr);
}

TEST(LanguageServices, PreloadFinishesOffTheCallingThread)
{
    QFuture<void> loading = preloadLanguageData();
    loading.waitForFinished();
    EXPECT_TRUE(loading.isFinished());
    Tagger tagger({TagScheme::SentimentScore});
    tagger.setString(QStringLiteral("A lovely day."));
    tagger.setLanguage(QStringLiteral("en"));
    EXPECT_GT(tagger.sentimentTags().document->toDouble(), 0.0);
}

TEST(LanguageText, NumericCharactersAndLowerCasing)
{
    for (const char *numeric : {"7", "٣", "⅚", "Ⅻ", "五", "²", "𝟘"})
        EXPECT_TRUE(isNumericCharacter(QString::fromUtf8(numeric))) << numeric;
    for (const char *other : {"a", "é", "😀", "-", " ", ""})
        EXPECT_FALSE(isNumericCharacter(QString::fromUtf8(other))) << other;

    EXPECT_EQ(lowerCased(QStringLiteral("MiXeD 123 ÀÉÎ")), QStringLiteral("mixed 123 àéî"));
    EXPECT_EQ(lowerCased(QStringLiteral("PLAIN ascii!")), QStringLiteral("plain ascii!"));
    EXPECT_EQ(lowerCased(QStringLiteral("ΣΟΦΙΑ")), QStringLiteral("ΣΟΦΙΑ").toLower());
}

} // namespace
} // namespace zn::language
