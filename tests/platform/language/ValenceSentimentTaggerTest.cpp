#include "platform/language/ValenceSentimentTagger.h"

#include <gtest/gtest.h>

namespace zn::language {
namespace {

double score(const char *sentence)
{
    return ValenceSentimentTagger::sentenceScore(QString::fromUtf8(sentence));
}

// Each sentence's score has the sign given with it: 1, 0 or -1.
void expectSigns(std::initializer_list<std::pair<const char *, int>> cases)
{
    for (const auto &[sentence, sign] : cases) {
        const double s = score(sentence);
        EXPECT_EQ((s > 0) - (s < 0), sign) << sentence << " scores " << s;
    }
}

TEST(ValenceSentimentTagger, ShipsItsLexicon)
{
    // Several thousand words, emoticons and emoji.
    EXPECT_GT(ValenceSentimentTagger::lexiconSize(), 7500);
}

TEST(ValenceSentimentTagger, SignsOfPlainSentences)
{
    for (const char *s : {"I love this place.", "What a wonderful, sunny morning.", "The team did a great job.",
                          "I feel calm and grateful today.", "Dinner with friends was fun.",
                          "She smiled and laughed all evening.", "The food was delicious.",
                          "I am proud of what we built.", "This is the best news ever.", "Thanks, that helps a lot."}) {
        EXPECT_GT(score(s), 0.0) << s;
    }
    for (const char *s : {"I hate this place.", "The meeting was a disaster.", "I feel lonely and sad.",
                          "Everything went wrong today.", "The service was terrible.", "I am so angry at him.",
                          "My head hurts and I am exhausted.", "This is the worst day.", "I failed the exam.",
                          "The movie was boring and too long."}) {
        EXPECT_LT(score(s), 0.0) << s;
    }
    EXPECT_EQ(score("The train departs at nine from platform four."), 0.0);
}

TEST(ValenceSentimentTagger, RulesShiftTheScore)
{
    // Negation turns a word around, also within three words and in contractions.
    EXPECT_LT(score("The food was not good."), 0.0);
    EXPECT_LT(score("The food wasn’t very good."), 0.0);
    EXPECT_GT(score("It was not bad at all."), 0.0);
    // Intensifiers strengthen, softeners weaken.
    EXPECT_GT(score("The food was extremely good."), score("The food was good."));
    EXPECT_LT(score("The food was slightly good."), score("The food was good."));
    // What follows "but" weighs more.
    EXPECT_LT(score("The room was nice but the staff were rude."), 0.0);
    EXPECT_GT(score("The staff were rude but the room was lovely."), 0.0);
    // Exclamation marks and capitals add emphasis in the sentence's direction.
    EXPECT_GT(score("The food was good!!!"), score("The food was good."));
    EXPECT_LT(score("The food was bad!!!"), score("The food was bad."));
    EXPECT_GT(score("The food was GOOD today."), score("The food was good today."));
    // A negation with nothing rated after it leans negative; "didn't work"
    // is a failure.
    EXPECT_LT(score("I don't think I will buy it."), 0.0);
    EXPECT_LT(score("The new medication didn't work."), 0.0);
    EXPECT_EQ(score("The new medication worked."), 0.0);
    // Inflections the list carries read as listed.
    EXPECT_GT(score("She encourages everyone."), 0.0);
    // Usage decides what some rated words mean.
    EXPECT_GT(score("I like this cafe."), 0.0);
    EXPECT_EQ(score("The room smelled like a cellar."), 0.0);
    EXPECT_GT(score("I could not be happier."), 0.0);
    EXPECT_LT(score("I have had better days."), 0.0);
    EXPECT_EQ(score("The ending was mediocre at best."), score("The ending was mediocre."));
    EXPECT_GT(score("The cake is to die for."), 0.0);
    EXPECT_LT(score("The film is way too long."), 0.0);
    EXPECT_EQ(score("I went to the gym too"), 0.0);
    EXPECT_LT(score("It was pretty bad."), score("It was bad."));
    // "kind of" is not kindness.
    EXPECT_EQ(score("It was kind of a blur."), 0.0);
}

TEST(ValenceSentimentTagger, InflectionsCarryOnlyWhereTheSenseStays)
{
    // An unlisted inflection takes its listed word's valence in the one
    // class WordNet knows that word in ("animosity" is a noun, "accomplish"
    // a verb)...
    // ...as far as the word tagger reads the sentence that way ("protecting"
    // is also an adjective). Not from a word whose rated class is unknown
    // ("clean" is an adjective, a verb, a noun and an adverb; "help", "hand"
    // and "gift" nouns and verbs), nor to a plural noun from an adjective
    // ("goods"), never across lemmas ("wines" is "wine", not "win"); listed
    // forms keep their rating.
    expectSigns({{"They faced animosities at work.", -1}, {"She is accomplishing a lot.", 1},
                 {"They were protecting the children.", 1}, {"A protecting layer covers the wall.", 0},
                 {"Cleaned the kitchen.", 0}, {"Picked up the dry cleaning.", 0}, {"Helped Sam move boxes.", 0},
                 {"Handed in the report.", 0}, {"Washed my hands.", 0}, {"Wrapped the gifts.", 0},
                 {"Unloaded the goods.", 0}, {"Bought two wines for dinner.", 0}, {"She helps everyone.", 1}});
}

TEST(ValenceSentimentTagger, HyphenatedCompoundsAreOneWord)
{
    // Listed compounds, with their hyphens or run together, read as listed;
    // so do typographic hyphens.
    EXPECT_EQ(score("The drinks were over\u2010priced."), score("The drinks were over-priced."));
    EXPECT_LT(score("My boss was super-rude."), score("My boss was rude.")); // the parts count, as one word
    // A negating prefix turns around what WordNet records it as the opposite
    // of, and otherwise leaves the root out. "-free" is "without": nothing of
    // its own, its first part turned around. A negation reaches the whole
    // compound; one inside it reaches nothing beyond ("no-one" is "nobody").
    expectSigns({{"The service was sub-par.", -1}, {"The drinks were over-priced.", -1},
                 {"It was a non-violent protest.", 1}, {"Took the non-stop flight.", 0},
                 {"She works for a not-for-profit.", 0}, {"Read about anti-terrorism laws.", 0},
                 {"Bought an anti-glare screen.", 0}, {"The report is about non-profit funding.", 0},
                 {"Took the non\u2011stop flight.", 0}, {"Went to the duty-free shop.", 0},
                 {"Bought sugar-free gum.", 0}, {"It was a stress-free trip.", 1}, {"It was a fun-free evening.", -1},
                 {"My boss was bad-tempered.", -1}, {"It was not a stress-free trip.", -1},
                 {"No-one was happy.", -1}, {"A not-for-profit helps us.", 1}});
}

TEST(ValenceSentimentTagger, SingleLettersCarryNothing)
{
    // The words around them still count.
    expectSigns({{"We flew to L.A. on Monday.", 0}, {"We drove from L.A. to San Diego.", 0}, {"Plan B is the bus.", 0},
                 {"Took an X-ray of my wrist.", 0}, {"Sent it to J. L. Smith.", 0}, {"l", 0}, {"We loved L.A.", 1}});
}

TEST(ValenceSentimentTagger, EmoticonsAndEmoji)
{
    EXPECT_GT(score("Finished the report :)"), 0.0);
    EXPECT_LT(score("Finished the report :("), 0.0);
    EXPECT_GT(score("Finished the report 😀"), 0.0);
    EXPECT_GT(score("Finished the report👍🏽"), 0.0); // attached, with a skin tone
    EXPECT_LT(score("Finished the report 😡"), 0.0);
    EXPECT_GT(score("❤️❤️"), 0.0);
}

SentimentTags tagged(const char *text)
{
    return ValenceSentimentTagger().tag(QString::fromUtf8(text), QStringLiteral("en"));
}

TEST(ValenceSentimentTagger, EmoticonsAfterAStopStayWithTheirSentence)
{
    // The emoticon is neither cut in two nor left as a sentence of its own.
    const SentimentTags yes = tagged("Home at last! :D");
    ASSERT_EQ(yes.sentences.size(), 1);
    EXPECT_GT(yes.sentences[0].toDouble(), score("Home at last!"));
    EXPECT_GT(yes.sentences[0].toDouble(), 0.3);
    EXPECT_GE(tagged("Lovely! :P").sentences.value(0).toDouble(), score("Lovely!"));
    EXPECT_LT(tagged("Missed the bus. :( ").sentences.value(0).toDouble(), 0.0);
    // With the clause's comma or the sentence's stop attached.
    EXPECT_GT(score("Saw the sea :), then went home."), 0.0);
    EXPECT_LT(score("The bus was late again :(."), 0.0);
    // Emoji and emoticons opening the next sentence close the one before.
    const SentimentTags glued = tagged("We won! 😀 Then we went home. <3 <3 It rained.");
    ASSERT_EQ(glued.sentences.size(), 2);
    EXPECT_DOUBLE_EQ(glued.sentences[0].toDouble(), score("We won! 😀"));
    EXPECT_DOUBLE_EQ(glued.sentences[1].toDouble(), score("Then we went home. <3 <3"));
    // A stop without the space after it still ends the sentence; one
    // between single letters is an abbreviation.
    EXPECT_EQ(tagged("The bus was late.The walk was lovely.").sentences.size(), 1);
    EXPECT_EQ(tagged("I hated the start.The end was lovely.").sentences.size(), 2);
    EXPECT_EQ(tagged("Bring snacks, e.g. Fruit, it is lovely.").sentences.size(), 1);
    // A text that opens with an emoticon keeps it.
    EXPECT_GT(tagged(":) Back at my desk.").document->toDouble(), 0.0);
}

TEST(ValenceSentimentTagger, PlainSentencesDoNotWaterDownAFeeling)
{
    const SentimentTags tags = tagged("The bus came at eight. I read a chapter. The chapter was brilliant.\n"
                                      "Then I made tea.");
    ASSERT_EQ(tags.sentences.size(), 1);
    EXPECT_DOUBLE_EQ(tags.sentences[0].toDouble(), score("The chapter was brilliant."));
    EXPECT_DOUBLE_EQ(tags.firstParagraph->toDouble(), tags.sentences[0].toDouble());
    EXPECT_DOUBLE_EQ(tags.document->toDouble(), tags.sentences[0].toDouble());
    // A plain first paragraph has no tag either.
    const SentimentTags later = tagged("We took the bus at nine.\nThe museum was amazing.");
    EXPECT_FALSE(later.firstParagraph.has_value());
    EXPECT_EQ(later.document, later.sentences.value(0));
    // Nothing felt at all: no tags.
    const SentimentTags flat = tagged("The bus came at eight. I read a chapter.");
    EXPECT_TRUE(flat.sentences.isEmpty());
    EXPECT_FALSE(flat.firstParagraph.has_value());
    EXPECT_FALSE(flat.document.has_value());
}

TEST(ValenceSentimentTagger, NegationIdiomsDenyNothing)
{
    EXPECT_GT(score("I can't wait for the concert!"), 0.0);
    EXPECT_GT(score("We cannot wait to see the baby."), 0.0);
    EXPECT_GT(score("She couldn't wait to open it."), 0.0);
    // Impatience is no eagerness.
    EXPECT_LE(score("I can't wait any longer for the plumber."), 0.0);
    // What cannot be stopped keeps its own sign.
    EXPECT_GT(score("I can't stop smiling."), 0.0);
    EXPECT_LT(score("I can't stop crying."), 0.0);
    EXPECT_GT(score("I couldn't help but laugh."), 0.0);
    EXPECT_GE(score("I don't mind the rain."), 0.0);
    EXPECT_EQ(score("Never mind the bus."), 0.0);
    EXPECT_GT(score("Not only cheap but also good."), 0.0);
    // The lone-negation rule still holds where no idiom applies.
    EXPECT_LT(score("I won't go back there."), 0.0);
}

TEST(ValenceSentimentTagger, NegationStaysInItsClause)
{
    // A comma ends the negation's reach.
    EXPECT_GT(score("No, it is great!"), 0.0);
    EXPECT_GT(score("Not today, but the walk was lovely."), 0.0);
    EXPECT_LT(score("It was not lovely."), 0.0);
    EXPECT_GT(score("It wasn't cheap, but it was lovely."), 0.0);
    // A comma between two modifiers does not end it.
    EXPECT_LT(score("We left without a proper, happy goodbye."), 0.0);
    // A dash or a bracket ends it too.
    EXPECT_GT(score("Not the plan - still, a lovely day."), 0.0);
    // An emoticon or emoji after a negated noun is the writer's own mood.
    EXPECT_GT(score("No homework tonight :)"), 0.0);
    EXPECT_GT(score("Not a cloud in the sky 😀"), 0.0);
    // A negation word keeps its own rating instead of being turned around.
    EXPECT_LE(score("No and no."), 0.0);
    EXPECT_LE(score("No, no, no."), 0.0);
}

TEST(ValenceSentimentTagger, NeverSoStressesInsteadOfDenying)
{
    EXPECT_GT(score("I have never slept so well."), 0.0);
    EXPECT_GT(score("I have never been this happy."), 0.0);
    EXPECT_GT(score("I have never been more proud."), 0.0);
    EXPECT_LT(score("I have never seen such a mess."), 0.0);
    EXPECT_GT(score("I have never felt better."), 0.0);
    EXPECT_GT(score("I have never been so happy."), score("I have been happy."));
    // Plain "never" still denies.
    EXPECT_LT(score("I never liked this place."), 0.0);
    EXPECT_LT(score("The pain never got better."), 0.0);
}

TEST(ValenceSentimentTagger, PrettyIsAnAdjectiveBeforeANoun)
{
    EXPECT_GT(score("She wore a pretty dress."), 0.0);
    EXPECT_GT(score("The garden looks pretty."), 0.0);
    EXPECT_GT(score("What pretty flowers"), 0.0);
    // Before what it qualifies it still only strengthens.
    EXPECT_GT(score("The soup was pretty good."), score("The soup was good."));
    EXPECT_LT(score("The soup was pretty bad."), score("The soup was bad."));
    EXPECT_LT(score("I am pretty tired."), 0.0);
    EXPECT_EQ(score("Pretty much the same as always."), 0.0);
}

TEST(ValenceSentimentTagger, ParagraphsDocumentAndSentences)
{
    ValenceSentimentTagger tagger;
    const QString text = QStringLiteral("I love it. It is great.\r\nThe service was terrible.\u2029The sky is blue here.");
    const SentimentTags tags = tagger.tag(text, QStringLiteral("en"));
    // The sentence without sentiment gets no tag at all.
    ASSERT_EQ(tags.sentences.size(), 3);
    ASSERT_TRUE(tags.firstParagraph && tags.document);
    const double p = tags.firstParagraph->toDouble();
    const double d = tags.document->toDouble();
    const double s0 = tags.sentences[0].toDouble(), s1 = tags.sentences[1].toDouble();
    const double s2 = tags.sentences[2].toDouble();
    // The first paragraph is its two sentences.
    EXPECT_DOUBLE_EQ(p, (s0 + s1) / 2);
    EXPECT_DOUBLE_EQ(d, (s0 + s1 + s2) / 3);
    EXPECT_GT(p, 0.0);
    EXPECT_LT(s2, 0.0);
    for (const auto &s : tags.sentences) {
        bool ok = false;
        const double v = s.toDouble(&ok);
        EXPECT_TRUE(ok);
        EXPECT_GE(v, -1.0);
        EXPECT_LE(v, 1.0);
    }
}

TEST(ValenceSentimentTagger, OtherLanguagesGetNoTags)
{
    ValenceSentimentTagger tagger;
    const SentimentTags tags = tagger.tag(QStringLiteral("Je suis très heureux aujourd'hui."), QStringLiteral("fr"));
    EXPECT_FALSE(tags.firstParagraph.has_value());
    EXPECT_FALSE(tags.document.has_value());
    EXPECT_TRUE(tags.sentences.isEmpty());
    EXPECT_TRUE(tagger.tag(QStringLiteral("Great day."), QStringLiteral("en-GB")).document.has_value());
}

TEST(ValenceSentimentTagger, HostileInputStaysInRange)
{
    ValenceSentimentTagger tagger;
    QString nasty = QStringLiteral("good\u0000bad ");
    nasty += QChar(0xD800); // lone surrogate
    nasty += QStringLiteral("e\u0301\u0301\u0301 !!!!!!!!!! ???? :) \u202Eevil\u202C ") + QString(500, QChar(0x0301));
    for (const QString &text : {nasty, QString(20000, u'!'), QStringLiteral("12345 67890"),
                                QStringLiteral("😀😀😀👍🏽👍🏽"), QStringLiteral("שלום עולם")}) {
        const SentimentTags tags = tagger.tag(text, QStringLiteral("en"));
        QList<QString> all = tags.sentences;
        for (const auto &unit : {tags.firstParagraph, tags.document}) {
            if (unit)
                all.append(*unit);
        }
        for (const auto &s : all) {
            const double v = s.toDouble();
            EXPECT_TRUE(std::isfinite(v));
            EXPECT_GE(v, -1.0);
            EXPECT_LE(v, 1.0);
        }
    }
}

} // namespace
} // namespace zn::language
