#include "reflections/EntryInsightGenerator.h"

#include <QCryptographicHash>

#include <gtest/gtest.h>

namespace zn {
namespace {

using G = EntryInsightGenerator;

QString words(int count, const QString &stem = QStringLiteral("harbour"))
{
    QStringList out;
    for (int i = 0; i < count; ++i)
        out << stem + QString::number(i);
    return out.join(u' ');
}

// A text of exactly `length` characters made of varied words.
QString textOfLength(int length)
{
    QString s;
    int i = 0;
    while (s.size() < length)
        s += QStringLiteral("word%1 ").arg(i++);
    return s.left(length - 1) + u'.';
}

G::Outcome outcome(const QString &summary, const QString &tone = QStringLiteral("Rainy with breaks."))
{
    G::Outcome o;
    o.summary = summary;
    o.emotionalTone = tone;
    return o;
}

TEST(EntryInsightTexts, InstructionsAreExact)
{
    EXPECT_EQ(G::fullInstructions().toUtf8().size(), 1425);
    EXPECT_EQ(G::fullInstructions().split(u'\n').size(), 20);
    EXPECT_TRUE(G::fullInstructions().startsWith("You are a private on-device journal assistant on the user's Mac.\n\n"));
    EXPECT_TRUE(G::fullInstructions().endsWith("\"be kind to yourself\", \"everyone makes mistakes\"."));
    EXPECT_EQ(G::compactInstructions().toUtf8().size(), 279);
    EXPECT_TRUE(G::compactInstructions().endsWith("No pep talk in summary."));
    // Every byte counts: a changed letter keeps the size but not the digest.
    auto sha = [](const QString &text) {
        return QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toHex();
    };
    EXPECT_EQ(sha(G::fullInstructions()), "a9f2a9ff0490e4196d42117867c2fb66297d5ad49e22e10bf8c7c26931d7d2a9");
    EXPECT_EQ(sha(G::compactInstructions()), "9aabc8b8ce87f706591bbc7c9360fdd264ba8feb6c9ee20580bdb2c5d9c493e4");
}

TEST(EntryInsightTexts, PromptsAreExact)
{
    EXPECT_EQ(G::makePrompt("SRC", true),
              "Produce a detailed structured reflection on this entry (summary paragraph, emotionalTone, keyPoints, "
              "overallSentiment, closingFocus, themes). Third-person; no I/me/my in summary.\n\nEntry:\nSRC");
    EXPECT_EQ(G::makePrompt("SRC", false),
              "Write a detailed reflection on this single journal entry in the structured fields.\n\nMake the "
              "summary as rich as a weekly reflection’s narrative: one full paragraph about what this entry "
              "expresses (feelings, self-sabotage or other themes, desires, tensions). Then fill emotionalTone, "
              "keyPoints (moments or ideas from the text), overallSentiment, and closingFocus.\n\nThird-person or "
              "impersonal voice for summary, emotionalTone, and keyPoints.\nNever use I / me / my as if you wrote "
              "the journal. Never quote the full entry.\n\nJournal entry:\n\"\"\"\nSRC\n\"\"\"");
    EXPECT_EQ(G::makeRetryPrompt("SRC"),
              G::makePrompt("SRC", true)
                  + "\nRETRY — expand into a full multi-part reflection, not a single thin sentence.\nsummary must "
                    "be a real paragraph (3–6 sentences). Include emotionalTone and up to 3 keyPoints.\n"
                    "Third-person only in summary/tone/points (never I/me/my). No advice dump. No quoting the "
                    "whole entry.");
    EXPECT_EQ(G::makeMergePrompt({"first note", "second note"}),
              "Combine these partial notes about one long journal entry into one detailed structured reflection "
              "(summary paragraph of 3–6 sentences, emotionalTone, keyPoints, overallSentiment, closingFocus, "
              "themes).\nThird-person. No I/me/my in summary. Do not invent details not present in the parts.\n\n"
              "Part 1: first note\nPart 2: second note");
}

TEST(EntryInsightSanitize, TrimsLimitsAndKeepsTheScore)
{
    EntryInsightResult r;
    r.overallScore = 1.7;
    r.summary = "  A summary.\n";
    r.emotionalTone = " Overcast ";
    r.keyPoints = {" one ", "", "  ", "two", "three", "four"};
    r.overallSentiment = " mixed\t";
    r.closingFocus = "\n Rest. ";
    r.themes = {"Work", " ", "Family ", "Health", "Joy"};
    const G::Outcome o = G::sanitize(r, true);
    EXPECT_EQ(o.summary, "A summary.");
    EXPECT_EQ(o.emotionalTone, "Overcast");
    EXPECT_EQ(o.keyPoints, QStringList({"one", "two", "three"}));
    EXPECT_EQ(o.themes, QStringList({"Work", "Family", "Health"}));
    EXPECT_EQ(o.overallSentiment, "mixed");
    EXPECT_EQ(o.closingFocus, "Rest.");
    EXPECT_EQ(o.overallScore, 1.7);
    EXPECT_TRUE(o.usedTruncatedSource);
}

TEST(EntryInsightSanitize, BlankSummaryFails)
{
    EntryInsightResult r;
    r.summary = QString::fromUtf8(" \n\t\xE2\x80\x83"); // includes an em space
    try {
        G::sanitize(r, false);
        FAIL() << "expected an error";
    } catch (const G::GenerateError &e) {
        EXPECT_EQ(e.kind(), G::GenerateError::Kind::GenerationFailed);
        EXPECT_EQ(e.description(), "Empty summary");
    }
}

TEST(EntryInsightErrors, DescriptionsAreTheUserTexts)
{
    using K = G::GenerateError::Kind;
    EXPECT_EQ(G::GenerateError(K::Unavailable).description(), "Local language model unavailable.");
    EXPECT_EQ(G::GenerateError(K::Empty).description(), "Empty entry.");
    EXPECT_EQ(G::GenerateError(K::TimedOut).description(), "Summary timed out.");
    EXPECT_EQ(G::GenerateError(K::LowQuality).description(), "Summary quality was too low.");
    EXPECT_EQ(G::GenerateError(K::ContextTooLarge).description(),
              "Entry is too long for on-device summary even after shortening.");
    EXPECT_EQ(G::GenerateError::generationFailed("boom").description(), "boom");
    EXPECT_STREQ(G::GenerateError(K::Empty).what(), "Empty entry.");
}

TEST(EntryInsightEcho, OpeningsAdviceAndFirstPersonAreEchoes)
{
    const QString source = textOfLength(300);
    const QString tail = QStringLiteral(" the harbour walk brought calm after a tense morning of deadlines and worry.");
    EXPECT_TRUE(G::looksLikeEcho("Here's A Summary:" + tail, source));
    EXPECT_TRUE(G::looksLikeEcho("  THE ENTRY SAYS" + tail, source));
    EXPECT_TRUE(G::looksLikeEcho("Calm returned. Reflect on the entry \"walks\"" + tail, source));
    EXPECT_TRUE(G::looksLikeEcho("Calm returned, and it's okay to rest;" + tail, source));
    EXPECT_TRUE(G::looksLikeEcho("Calm returned; try to rest more;" + tail, source));
    EXPECT_TRUE(G::looksLikeEcho("Calm returned and we walked;" + tail, source));
    EXPECT_TRUE(G::looksLikeEcho("   ", source));
    // "try to" needs its trailing space; "we" must be a word.
    EXPECT_FALSE(G::looksLikeEcho("Calm returned; a try-to-rest list and weary legs;" + tail, source));
}

TEST(EntryInsightEcho, QuotedSourceIsAnEchoByRatio)
{
    const QString src500 = textOfLength(500);
    EXPECT_EQ(G::echoedLength(src500.toLower(), src500.toLower()), 400);
    EXPECT_TRUE(G::looksLikeEcho("\"" + src500 + "\"", src500));                          // 400 / 500
    EXPECT_TRUE(G::looksLikeEcho(QString::fromUtf8("\xE2\x80\x9C") + src500 + QString::fromUtf8("\xE2\x80\x9D"),
                                 src500));

    const QString src1000 = textOfLength(1000);
    EXPECT_FALSE(G::looksLikeEcho(src1000, src1000)); // 400 / 1000 passes this step
}

TEST(EntryInsightEcho, EchoedLengthFallsBackToTheFirstTwelveWords)
{
    const QString src = words(20);
    const QString firstTwelve = words(12);
    EXPECT_EQ(G::echoedLength(src, "prefix " + firstTwelve + " and then something else"), firstTwelve.size());
    EXPECT_EQ(G::echoedLength(src, "nothing shared"), 0);
    EXPECT_EQ(G::echoedLength("one two three four five", "x one two three four five six"), 23);
    EXPECT_EQ(G::echoedLength("one two three four five six", "one two three four five"), 0);
}

TEST(EntryInsightEcho, ShortSummariesDependOnTheSourceLength)
{
    const QString seventy = QString(69, 'x') + u'.';
    EXPECT_TRUE(G::looksLikeEcho(seventy, textOfLength(41)));
    EXPECT_FALSE(G::looksLikeEcho(seventy, textOfLength(30)));
    EXPECT_FALSE(G::looksLikeEcho(QString(79, 'x') + u'.', textOfLength(500)));
}

TEST(EntryInsightEcho, LengthsCountUserPerceivedCharacters)
{
    // 79 accented letters written with combining marks (158 UTF-16 units).
    QString accented;
    for (int i = 0; i < 79; ++i)
        accented += QString::fromUtf8("e\xCC\x81");
    EXPECT_TRUE(G::looksLikeEcho(accented, textOfLength(41)));
    // 80 thumbs with skin tones (320 units) pass the length rule.
    QString thumbs;
    for (int i = 0; i < 80; ++i)
        thumbs += QString::fromUtf8("\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD");
    EXPECT_FALSE(G::looksLikeEcho(thumbs, textOfLength(41)));
}

TEST(EntryInsightQuality, LowQualityRules)
{
    const QString source = textOfLength(400);
    const QString good = QStringLiteral(
        "The harbour walk eased a tense morning; deadlines and worry gave way to calm, and the evening ended "
        "with quiet relief.");
    EXPECT_FALSE(G::isLowQuality(outcome(good), source));
    EXPECT_TRUE(G::isLowQuality(outcome(good, ""), source));                   // 117 chars, no tone
    EXPECT_FALSE(G::isLowQuality(outcome(good + " More.", ""), source));       // 123 chars
    EXPECT_TRUE(G::isLowQuality(outcome(good, "I felt rainy."), source));
    G::Outcome withPoints = outcome(good);
    withPoints.keyPoints = {"A calm walk", "Ours was a long day"};
    EXPECT_TRUE(G::isLowQuality(withPoints, source));
    withPoints.keyPoints = {"A calm walk", "Ourselves-free"};
    EXPECT_TRUE(G::isLowQuality(withPoints, source)); // "ourselves" is a whole word before the hyphen
    withPoints.keyPoints = {"A calm walk", "Sourdough"};
    EXPECT_FALSE(G::isLowQuality(withPoints, source));
    G::Outcome focusOnly = outcome(good);
    focusOnly.closingFocus = "I think you could rest."; // the focus is not checked
    EXPECT_FALSE(G::isLowQuality(focusOnly, source));
}

} // namespace
} // namespace zn
