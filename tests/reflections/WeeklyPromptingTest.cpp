#include "reflections/EntryInsightGenerator.h"
#include "reflections/WeeklyReflectionPrompting.h"

#include <gtest/gtest.h>

namespace zn {
namespace {

using P = WeeklyReflectionPrompting;
using Snippet = WeeklyReflectionPrompting::Snippet;

Snippet snip(const QString &label, const QString &key, const QString &text, const QString &weather = "Overcast")
{
    return Snippet{label, key, text, weather};
}

const QString fullHeaderRules = QStringLiteral(
    "CRITICAL: Base your reflection only on the entries below. Do not invent details or dates.\n"
    "Write summary / emotionalArc / notableMoments in third-person or impersonal voice (never I / me / my). "
    "notableMoments: maximum 3 items; empty array is fine.\n"
    "Do not repeat the same sentence in summary and emotionalArc.\n\n");
const QString sparseGuidance = QStringLiteral(
    "This is a sparse week with limited journaling. Write a brief summary (one short paragraph).\n"
    "Describe only what appears in the entry or entries. Do not imply mood changed across the week unless "
    "multiple days of entries show that. Leave notableMoments empty unless a specific moment is clearly "
    "described in the text. Never list future dates or a sequence of days without entries.");
const QString multiDayGuidance = QStringLiteral(
    "Summarize patterns supported by multiple entries. Do not pad with generic events or filler moments.");

// ---- instructions and prompt

TEST(WeeklyPromptingInstructions, AreTheExactTextWithTheSharedVoiceRule)
{
    const QString &text = P::instructions();
    EXPECT_EQ(text.toUtf8().size(), 1632);
    EXPECT_TRUE(text.startsWith("You are a reflective journaling assistant on the user's Mac. Summarize only"));
    EXPECT_TRUE(text.endsWith("never write decimal sentiment scores."));
    EXPECT_TRUE(text.contains("\n- Use only facts, feelings, and events explicitly stated in the entries.\n- "
                              + EntryInsightGenerator::voiceRule() + "\n- summary, emotionalArc"));
    EXPECT_TRUE(EntryInsightGenerator::fullInstructions().contains("\n- " + EntryInsightGenerator::voiceRule()
                                                                   + "\n"));
    EXPECT_EQ(EntryInsightGenerator::voiceRule().toUtf8().size(), 237);
}

TEST(WeeklyPromptingMakePrompt, OneEntryUsesSingularWordsAndSparseGuidance)
{
    const QString prompt = P::makePrompt({snip("Mar 3, 2025", "2025-03-03", "  Rain all day.  ", "Rainy")},
                                         false, "Mar 1, 2025", "Mar 7, 2025", false, 800, 8000, false);
    const QString expected = QStringLiteral("Rolling window: past 7 days (Mar 1, 2025 – Mar 7, 2025), not a "
                                            "calendar week.\nThis window has 1 journal entry across 1 day.\n\n"
                                            "ALLOWED DATES ONLY (do not mention any other date): Mar 3, 2025.\n\n")
        + fullHeaderRules + sparseGuidance
        + QStringLiteral("\nHere are the journal entries from the past 7 days.\n\n"
                         "---\nDate: Mar 3, 2025\nMood: Rainy\nText: Rain all day.");
    EXPECT_EQ(prompt, expected);
}

TEST(WeeklyPromptingMakePrompt, ListsDistinctDatesInStringOrderAndCountsDays)
{
    const QList<Snippet> snippets = {
        snip("Mar 2, 2025", "2025-03-02", "one"),
        snip("Feb 28, 2025", "2025-02-28", "two"),
        snip("Mar 10, 2025", "2025-03-10", "three"),
        snip("Mar 2, 2025", "2025-03-02", "four"),
    };
    const QString prompt = P::makePrompt(snippets, true, "Feb 27, 2025", "Mar 10, 2025", false, 800, 8000, false);
    EXPECT_TRUE(prompt.contains("This window has 4 journal entries across 3 days.\n\n"));
    EXPECT_TRUE(prompt.contains(
        "ALLOWED DATES ONLY (do not mention any other date): Feb 28, 2025, Mar 10, 2025, Mar 2, 2025.\n\n"));
    EXPECT_TRUE(prompt.contains(fullHeaderRules + multiDayGuidance + "\nHere are the journal entries"));
    EXPECT_TRUE(prompt.endsWith("Text: three\n\n---\nDate: Mar 2, 2025\nMood: Overcast\nText: four"));
}

TEST(WeeklyPromptingMakePrompt, BudgetStopsAtTheFirstPieceThatDoesNotFit)
{
    // Each block is "---\nDate: D\nMood: Overcast\nText: " (33 chars with a
    // one-letter date) plus the text.
    const QString tenChars = QStringLiteral("abcdefghij");
    const QList<Snippet> snippets = {
        snip("A", "2025-03-01", tenChars),         // 43 chars
        snip("B", "2025-03-02", tenChars),         // 43 chars, total 45 + 43 = 88
        snip("C", "2025-03-03", QString(60, 'x')), // 93 chars: does not fit in 130
        snip("D", "2025-03-04", "y"),            // would fit, but comes after
    };
    const QString prompt = P::makePrompt(snippets, true, "S", "E", false, 800, 130, false);
    EXPECT_TRUE(prompt.contains("Date: B"));
    EXPECT_FALSE(prompt.contains("Date: C"));
    EXPECT_FALSE(prompt.contains("Date: D"));

    // A piece that ends exactly on the budget is kept (the separator is only
    // counted for the next piece).
    const QString exact = P::makePrompt(snippets.mid(0, 2), true, "S", "E", false, 800, 88, false);
    EXPECT_TRUE(exact.contains("Date: B"));
    const QString oneShort = P::makePrompt(snippets.mid(0, 2), true, "S", "E", false, 800, 87, false);
    EXPECT_FALSE(oneShort.contains("Date: B"));
}

TEST(WeeklyPromptingMakePrompt, CountsUserPerceivedCharactersAgainstTheBudget)
{
    // Ten thumbs with skin tones: 10 characters, 40 UTF-16 units.
    QString thumbs;
    for (int i = 0; i < 10; ++i)
        thumbs += QString::fromUtf8("\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD");
    const QString prompt = P::makePrompt({snip("A", "2025-03-01", thumbs)}, false, "S", "E", false, 800, 43, false);
    EXPECT_TRUE(prompt.contains("Text: " + thumbs));
    EXPECT_TRUE(prompt.contains("Here are the journal entries"));
}

TEST(WeeklyPromptingMakePrompt, FirstBlockOverBudgetFallsBackToMinimalCondensedLines)
{
    const QString longText = QString(300, 'w');
    const QString prompt = P::makePrompt({snip("Mar 3, 2025", "2025-03-03", longText, "Sunny")}, false,
                                         "Mar 1, 2025", "Mar 7, 2025", false, 800, 150, false);
    const QString expected = QStringLiteral("Past 7 days (Mar 1, 2025–Mar 7, 2025). 1 entry, 1 day.\n"
                                            "Dates only: Mar 3, 2025.\n"
                                            "Third-person only. No invented dates. ≤3 moments. ")
        + sparseGuidance + QStringLiteral("\nCondensed entries:\n\n[Mar 3, 2025, mood: Sunny] ") + QString(76, 'w')
        + QStringLiteral("\n\n[…rest omitted for length…]");
    EXPECT_EQ(prompt, expected);
}

TEST(WeeklyPromptingMakePrompt, CondensedLimitIsClampedTo40Through100)
{
    const QString text = QString(200, 'z');
    const QString low = P::makePrompt({snip("A", "k", text)}, false, "S", "E", true, 10, 8000, true);
    EXPECT_TRUE(low.endsWith("[A, mood: Overcast] " + QString(40, 'z')));
    const QString high = P::makePrompt({snip("A", "k", text)}, false, "S", "E", true, 800, 8000, true);
    EXPECT_TRUE(high.endsWith("[A, mood: Overcast] " + QString(76, 'z') + "\n\n[…rest omitted for length…]"));
}

TEST(WeeklyPromptingMakePrompt, CondensedListMayBeEmpty)
{
    const QString prompt = P::makePrompt({snip("A", "k", QString(90, 'q'))}, true, "S", "E", true, 100, 20, true);
    EXPECT_TRUE(prompt.endsWith(multiDayGuidance + "\nCondensed entries:\n\n"));

    const QString none = P::makePrompt({}, false, "S", "E", false, 800, 8000, false);
    EXPECT_TRUE(none.startsWith("Past 7 days (S–E). 0 entries, 0 days.\nDates only: .\n"));
    EXPECT_TRUE(none.endsWith("\nCondensed entries:\n\n"));
}

// ---- word and date checks

TEST(WeeklyPromptingWords, ContentWordsSkipStopWordsAndShortPieces)
{
    EXPECT_EQ(P::contentWords("The Coffee, the coffee! Felt 12345 ab naïve; THIS week"),
              QStringList({"coffee", "coffee", "12345", "naïve"}));
    // Letters outside the BMP and combining marks belong to their word.
    const QString bold = QString::fromUtf8("\xF0\x9D\x90\x80\xF0\x9D\x90\x81\xF0\x9D\x90\x82"); // 3 letters
    EXPECT_EQ(P::contentWords(bold + "x"), QStringList({bold + "x"}));
    EXPECT_EQ(P::contentWords(bold), QStringList());
    EXPECT_EQ(P::contentWords(QString::fromUtf8("cafe\xCC\x81s-bar")), QStringList({QString::fromUtf8("cafe\xCC\x81s")}));
}

TEST(WeeklyPromptingWords, GroundingNeedsOneContentWordInTheCorpus)
{
    const QString corpus = QStringLiteral("walked to the harbour and sketched boats");
    EXPECT_TRUE(P::isGrounded("Sketching by the harbour", corpus));
    EXPECT_FALSE(P::isGrounded("A dinner party with friends", corpus));
    EXPECT_TRUE(P::isGrounded("A dinner party", "   \n "));       // no corpus: nothing to check against
    EXPECT_TRUE(P::isGrounded("It was the day, they felt", corpus)); // no content words
}

TEST(WeeklyPromptingDates, MonthDayMentionsMustMatchAnAllowedDay)
{
    const QSet<QString> keys = {"2025-03-07", "2025-01-05"};
    EXPECT_FALSE(P::mentionsDisallowedDate("On January 5 the mood lifted", keys));
    EXPECT_FALSE(P::mentionsDisallowedDate("On January 5 the mood lifted", {"2019-01-05"})); // any year
    EXPECT_TRUE(P::mentionsDisallowedDate("On January 6 the mood lifted", keys));
    EXPECT_FALSE(P::mentionsDisallowedDate("MARCH 07 was calm, mar 7 too", keys));
    EXPECT_TRUE(P::mentionsDisallowedDate("Sept 12 was long", keys));
    EXPECT_TRUE(P::mentionsDisallowedDate("On January 5 the mood lifted", {}));
    EXPECT_FALSE(P::mentionsDisallowedDate("A maybe 5 times", keys)); // no word boundary after "may"
    // Digits other than ASCII match the pattern but are not a day number.
    EXPECT_FALSE(P::mentionsDisallowedDate(QString::fromUtf8("Mar \xD9\xA7"), {}));
}

TEST(WeeklyPromptingDates, IsoDatesMustEqualAnAllowedKeyAndSlashDatesAreNotExamined)
{
    const QSet<QString> keys = {"2025-03-07"};
    EXPECT_FALSE(P::mentionsDisallowedDate("Logged on 2025-03-07.", keys));
    EXPECT_TRUE(P::mentionsDisallowedDate("Logged on 2025-03-08.", keys));
    EXPECT_TRUE(P::mentionsDisallowedDate("Logged on 2025-03-07.", {}));
    EXPECT_FALSE(P::mentionsDisallowedDate("Logged on 3/8.", keys));
    EXPECT_FALSE(P::mentionsDisallowedDate("Logged on 1999-03-08.", keys)); // only 20xx years
}

TEST(WeeklyPromptingDates, DateLikeTextIncludesMonthLettersInsideWords)
{
    EXPECT_TRUE(P::mentionsDateLikeText("She decided to rest")); // "dec"
    EXPECT_TRUE(P::mentionsDateLikeText("A visit to the doctor")); // "oct"
    EXPECT_TRUE(P::mentionsDateLikeText("Dismay at the news"));   // "may"
    EXPECT_TRUE(P::mentionsDateLikeText("Things eased on 3/7"));
    EXPECT_FALSE(P::mentionsDateLikeText("A quiet evening with tea"));
    EXPECT_TRUE(P::mentionsDateLikeText("Scored 3/10 on the quiz"));
    EXPECT_FALSE(P::mentionsDateLikeText("Scored 100/200 on the quiz"));
}

// ---- comparison

TEST(WeeklyPromptingCompare, NormalisingLowersCollapsesSpaceAndTrimsPunctuation)
{
    EXPECT_EQ(P::normalizedForComparison("  Hello,\n\t  World!!  "), "hello, world");
    EXPECT_EQ(P::normalizedForComparison(QString::fromUtf8("\xC2\xAB" "Quote" "\xC2\xBB")), "quote");
    // Punctuation outside the BMP is trimmed as one code point.
    const QString aegean = QString::fromUtf8("\xF0\x90\x84\x80"); // U+10100, punctuation
    EXPECT_EQ(P::normalizedForComparison(aegean + "calm" + aegean), "calm");
    EXPECT_EQ(P::normalizedForComparison("?!"), "");
}

TEST(WeeklyPromptingCompare, NearDuplicateByContainmentRatio)
{
    EXPECT_TRUE(P::isNearDuplicate("Rain all week.", "rain ALL week"));
    EXPECT_FALSE(P::isNearDuplicate("", ""));
    EXPECT_FALSE(P::isNearDuplicate("...", "..."));
    const QString shorter82 = QString(82, 'a');
    EXPECT_TRUE(P::isNearDuplicate(shorter82, shorter82 + " " + QString(17, 'b')));
    EXPECT_TRUE(P::isNearDuplicate(shorter82 + " " + QString(17, 'b'), shorter82));
    const QString shorter81 = QString(81, 'a');
    EXPECT_FALSE(P::isNearDuplicate(shorter81, shorter81 + " " + QString(18, 'b')));
}

TEST(WeeklyPromptingCompare, NearDuplicateByContentWordOverlap)
{
    EXPECT_TRUE(P::isNearDuplicate("rain storm thunder cloud", "cloud thunder storm rain"));
    EXPECT_TRUE(P::isNearDuplicate("rain storm thunder cloud", "cloud thunder storm rain, wind"));   // 4/5
    EXPECT_FALSE(P::isNearDuplicate("rain storm thunder cloud", "cloud thunder storm, wind, hail")); // 3/6
    // Single-word sets never count by words.
    EXPECT_FALSE(P::isNearDuplicate("thunderstorms everywhere!", "everywhere thunderstorms? quickly"));
    EXPECT_FALSE(P::isNearDuplicate("thunder", "thunder, briefly"));
}

TEST(WeeklyPromptingScores, RemovesStandaloneScoresOnly)
{
    EXPECT_EQ(P::strippingScoreNumbers("Mood sat at 0.75 , then lifted"), "Mood sat at, then lifted");
    EXPECT_EQ(P::strippingScoreNumbers("Slept 2.5 hours, walked 1.5 km, spent 10.25"),
              "Slept 2.5 hours, walked 1.5 km, spent 10.25");
    EXPECT_EQ(P::strippingScoreNumbers("Scores -0.3 and .8 and 1.00 and +.5 end"), "Scores and and and end");
    EXPECT_EQ(P::strippingScoreNumbers("Kept 0.123 and at 0.4."), "Kept 0.123 and at 0.4.");
    EXPECT_EQ(P::strippingScoreNumbers("  0.6  "), "");
    EXPECT_EQ(P::strippingScoreNumbers("Dated 2025-03-07, fine"), "Dated 2025-03-07, fine");
}

// ---- retry test

struct RetryWeek
{
    QList<Snippet> snippets = {
        snip("Mar 3, 2025", "2025-03-03", "Long shift at the bakery, sore feet."),
        snip("Mar 4, 2025", "2025-03-04", "Quiet evening painting the garden fence."),
        snip("Mar 5, 2025", "2025-03-05", "Bakery again; decided to ask for a weekend off."),
    };
    QString summary = "Work at the bakery and a painted fence fill the days.";
    QString arc = "Overcast early, Partly cloudy later.";
};

TEST(WeeklyPromptingRetry, CleanAnswerNeedsNoRetry)
{
    RetryWeek w;
    EXPECT_FALSE(P::needsRetry(w.summary, w.arc, {"Painting the garden fence", ""}, w.snippets, true));
}

TEST(WeeklyPromptingRetry, EachRuleAsksAgain)
{
    RetryWeek w;
    EXPECT_TRUE(P::needsRetry(w.summary, w.arc, {"bakery", "fence", "painting", "shift"}, w.snippets, true));
    EXPECT_TRUE(P::needsRetry(w.summary, w.arc, {"A trip to the mountains"}, w.snippets, true));
    EXPECT_TRUE(P::needsRetry(w.summary, w.arc, {"Bakery shift on Mar 9"}, w.snippets, true));
    EXPECT_FALSE(P::needsRetry(w.summary, w.arc, {"Bakery shift on Mar 4"}, w.snippets, true));
    EXPECT_TRUE(P::needsRetry(w.summary, "I felt lighter.", {}, w.snippets, true));
    EXPECT_TRUE(P::needsRetry("My bakery days.", w.arc, {}, w.snippets, true));
    EXPECT_TRUE(P::needsRetry(w.summary, w.arc, {"Our fence"}, w.snippets, true));
    EXPECT_TRUE(P::needsRetry(w.summary, w.summary + "!", {}, w.snippets, true));
}

TEST(WeeklyPromptingRetry, MultiDayPhrasesNeedSeveralDays)
{
    RetryWeek w;
    const QString arc = "Clouds cleared by the end of the week.";
    EXPECT_FALSE(P::needsRetry(w.summary, arc, {}, w.snippets, true));
    EXPECT_TRUE(P::needsRetry(w.summary, arc, {}, w.snippets, false));
    QList<Snippet> oneDay = w.snippets;
    for (auto &s : oneDay)
        s.dayKey = "2025-03-03";
    EXPECT_TRUE(P::needsRetry(w.summary, arc, {}, oneDay, true));
    EXPECT_TRUE(P::needsRetry("Things went midweek bakery", w.arc, {}, oneDay, true));
}

TEST(WeeklyPromptingRetry, TooManyDateLikeMomentsForTheEntries)
{
    const QList<Snippet> one = {snip("Mar 3, 2025", "2025-03-03", "She decided to paint; a doctor visit; decor.")};
    EXPECT_FALSE(P::needsRetry("Painting and a visit.", "Rainy.", {"decided to paint", "doctor visit"}, one, false));
    EXPECT_TRUE(P::needsRetry("Painting and a visit.", "Rainy.", {"decided to paint", "doctor visit", "decor"},
                              one, false));
}

// ---- cleaning

TEST(WeeklyPromptingSanitize, StripsScoresAndEmptiesRepeatedFields)
{
    RetryWeek w;
    const WeeklyReflectionOutcome out = P::sanitizedOutcome(
        "Bakery work (0.4) and painting.", "Bakery work and painting!", {" Painting the fence 0.5 "}, "  steady ",
        "  Rest your feet. ", w.snippets, true);
    EXPECT_EQ(out.summary, "Bakery work () and painting.");
    EXPECT_EQ(out.emotionalArc, "");
    EXPECT_EQ(out.notableMoments, QStringList({"Painting the fence 0.5"}));
    EXPECT_EQ(out.overallSentiment, "steady");
    EXPECT_EQ(out.recommendedFocus, "Rest your feet.");
}

TEST(WeeklyPromptingSanitize, FiltersMomentsInOrder)
{
    RetryWeek w;
    const QStringList moments = {
        "   ",                                // blank
        "A trip to the mountains",           // ungrounded
        "Bakery shift on Mar 9",              // invented date
        "I painted the fence",                // first person
        w.summary,                            // repeats the summary
        "Asked for a weekend off",            // kept
        "asked for a weekend off!",           // repeats the moment before
        "Sore feet after the bakery shift",   // kept
        "Painting the garden fence",          // kept
        "Quiet evening at home",              // over three
    };
    const auto out = P::sanitizedOutcome(w.summary, w.arc, moments, "", "", w.snippets, true);
    EXPECT_EQ(out.notableMoments, QStringList({"Asked for a weekend off", "Sore feet after the bakery shift",
                                               "Painting the garden fence"}));
    const auto sparse = P::sanitizedOutcome(w.summary, w.arc, moments, "", "", w.snippets, false);
    EXPECT_EQ(sparse.notableMoments, QStringList({"Asked for a weekend off"}));
}

TEST(WeeklyPromptingSanitize, FirstPersonAndMultiDayReplacements)
{
    RetryWeek w;
    const auto out = P::sanitizedOutcome("I worked at the bakery.", "Across the week my mood lifted.", {},
                                         "", "I will rest.", w.snippets.mid(0, 1), false);
    EXPECT_EQ(out.summary, P::summaryFallback);
    // The multi-day phrase turns the arc into the fallback before the
    // first-person rule could empty it.
    EXPECT_EQ(out.emotionalArc, P::arcFallback);
    EXPECT_EQ(out.recommendedFocus, "I will rest.");

    const auto firstPersonArc =
        P::sanitizedOutcome(w.summary, "We had rain.", {}, "", "", w.snippets, true);
    EXPECT_EQ(firstPersonArc.emotionalArc, "");
}

TEST(WeeklyPromptingSanitize, FocusIsDroppedOnlyWhenItEqualsTheSummary)
{
    RetryWeek w;
    EXPECT_EQ(P::sanitizedOutcome(w.summary, w.arc, {}, "", "  " + w.summary.toUpper() + " ", w.snippets, true)
                  .recommendedFocus,
              "");
    const QString focus = "Keep Overcast early, Partly cloudy later in mind.";
    EXPECT_EQ(P::sanitizedOutcome(w.summary, w.arc, {}, "", focus, w.snippets, true).recommendedFocus, focus);
}

TEST(WeeklyPromptingSanitize, SummaryOfOnlyAScoreBecomesEmpty)
{
    RetryWeek w;
    EXPECT_EQ(P::sanitizedOutcome(" -0.25 ", w.arc, {}, "", "", w.snippets, true).summary, "");
}

TEST(WeeklyPromptingSanitize, StoredReflectionWithoutSnippetsKeepsItsCheckedArcAndDates)
{
    // Re-cleaning a stored week must not replace a real multi-day arc or drop
    // moments whose dates were checked when it was made.
    const auto out = P::sanitizedOutcome(
        "Work at the bakery and a painted fence.", "Rainy midweek, Sunny by the end of the week. Score 0.4",
        {"A long bakery shift on Mar 3", "Fence painted on 2025-03-04", "I rested", "A quiet Sunday",
         "A quiet Sunday.", "A call with family"},
        "brighter", "Rest.", {}, true);
    EXPECT_EQ(out.emotionalArc, "Rainy midweek, Sunny by the end of the week. Score");
    EXPECT_EQ(out.notableMoments,
              QStringList({"A long bakery shift on Mar 3", "Fence painted on 2025-03-04", "A quiet Sunday"}));
    EXPECT_EQ(out.summary, "Work at the bakery and a painted fence.");
}

TEST(WeeklyPromptingSanitize, WithSnippetsInventedDatesAreStillDropped)
{
    RetryWeek w;
    const auto out = P::sanitizedOutcome(w.summary, w.arc, {"Bakery shift on 2025-03-09", "Bakery shift on Mar 4"},
                                         "", "", w.snippets, true);
    EXPECT_EQ(out.notableMoments, QStringList({"Bakery shift on Mar 4"}));
}

} // namespace
} // namespace zn
