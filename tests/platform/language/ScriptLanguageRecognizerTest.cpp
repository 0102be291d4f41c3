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

TEST(ScriptLanguageRecognizer, EnglishSharingShortWordsWithOtherLanguagesStaysEnglish)
{
    const ScriptLanguageRecognizer r;
    // "met", "de" (Dutch), "men" (Swedish), "die", "war" (German), "per"
    // (Italian) are English words too, or names.
    for (const char *text : {"Met Jan at de café, so fun.", "Men at work, die hard fans at the war museum.",
                             "Lunch at Da Vinci, per usual, with Mia.", "Drove the van to Den Haag today."}) {
        EXPECT_EQ(r.dominantLanguage(QString::fromUtf8(text)), QStringLiteral("en")) << text;
    }
    // Text that is really in those languages is still recognised.
    EXPECT_EQ(r.dominantLanguage(QStringLiteral("De man is op het werk en hij was heel moe.")), QStringLiteral("nl"));
    EXPECT_EQ(r.dominantLanguage(QStringLiteral("Die Arbeit war schwer und ich bin sehr müde.")), QStringLiteral("de"));
    EXPECT_EQ(r.dominantLanguage(QStringLiteral("Det var en bra dag och jag är glad.")), QStringLiteral("sv"));
}

} // namespace
} // namespace zn::language
