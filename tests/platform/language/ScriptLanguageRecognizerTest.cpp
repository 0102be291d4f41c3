#include "platform/language/ScriptLanguageRecognizer.h"

#include <gtest/gtest.h>

namespace zn::language {
namespace {

TEST(ScriptLanguageRecognizer, NamesTheDominantLanguage)
{
    const ScriptLanguageRecognizer r;
    EXPECT_EQ(r.dominantLanguage(QStringLiteral("I went to the market and it was busy.")), QStringLiteral("en"));
    EXPECT_EQ(r.dominantLanguage(QStringLiteral("Je suis allé au marché et il y avait beaucoup de monde, mais c'était très bien.")),
              QStringLiteral("fr"));
    EXPECT_EQ(r.dominantLanguage(QStringLiteral("Ich bin heute sehr müde und das Wetter ist nicht gut.")), QStringLiteral("de"));
    EXPECT_EQ(r.dominantLanguage(QStringLiteral("Сегодня был хороший день")), QStringLiteral("ru"));
    EXPECT_EQ(r.dominantLanguage(QStringLiteral("今日はとても楽しかったです")), QStringLiteral("ja"));
    EXPECT_EQ(r.dominantLanguage(QStringLiteral("今天很好")), QStringLiteral("zh"));
    EXPECT_EQ(r.dominantLanguage(QStringLiteral("مرحبا بالعالم")), QStringLiteral("ar"));
}

TEST(ScriptLanguageRecognizer, UnsureGivesNothingAndEnglishKeepsLoanWords)
{
    const ScriptLanguageRecognizer r;
    EXPECT_FALSE(r.dominantLanguage(QStringLiteral("12345 !!! 😀")).has_value());
    EXPECT_FALSE(r.dominantLanguage(QString()).has_value());
    EXPECT_FALSE(r.dominantLanguage(QStringLiteral("Zorblax Quixx")).has_value());
    // A French phrase inside English text does not make it French.
    EXPECT_EQ(r.dominantLanguage(QStringLiteral("We had a déjà vu moment at the café, and it was a fun evening.")),
              QStringLiteral("en"));
}

} // namespace
} // namespace zn::language
