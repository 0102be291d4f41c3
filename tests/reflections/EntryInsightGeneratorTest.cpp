#include "reflections/EntryInsightGenerator.h"

#include "platform/base/Clock.h"
#include "platform/model/ScriptedLanguageModel.h"
#include "reflections/GenerationHelpers.h"
#include "reflections/GeneratorTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace zn {
namespace {

using G = EntryInsightGenerator;
using Kind = G::GenerateError::Kind;
using lm::ScriptedLanguageModel;
using lm::ScriptedStep;

const QString goodSummary = QStringLiteral(
    "Deadlines pressed on a tense morning, and a long harbour walk slowly eased the worry into a calmer, "
    "quieter evening.");

lm::GeneratedContent insight(const QString &summary, const QString &tone = QStringLiteral("Overcast, then brighter."),
                             double score = 0.25, const QStringList &themes = {"Work"},
                             const QStringList &keyPoints = {"A harbour walk"})
{
    EntryInsightResult r;
    r.overallScore = score;
    r.summary = summary;
    r.emotionalTone = tone;
    r.keyPoints = keyPoints;
    r.overallSentiment = "steady";
    r.closingFocus = "Keep the walks.";
    r.themes = themes;
    return r.generatedContent();
}

ScriptedStep good(double score = 0.25, const QStringList &themes = {"Work"})
{
    return ScriptedStep::answer(insight(goodSummary, "Overcast, then brighter.", score, themes));
}

ScriptedStep thin()
{
    return ScriptedStep::answer(insight("A tense day.", ""));
}

// An entry of `length` characters made of short varied words, one paragraph.
QString entryText(int length, const QString &stem = QStringLiteral("tide"))
{
    QString s;
    int i = 0;
    while (s.size() < length)
        s += stem + QString::number(i++) + u' ';
    s = s.left(length - 1) + u'.';
    return s;
}

class EntryInsightGeneratorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        model.setContextSize(4096);
        model.setTokenCount(200); // budgets 4500, 2400, 1400, 900
    }

    G::GenerateError failure(const QString &text, std::stop_token stop = {}, G::Options options = {})
    {
        return test::expectGenerateError<G::GenerateError>([&] { G::generate(text, model, stop, options); });
    }

    ScriptedLanguageModel model;
};

// ---- input and availability

TEST_F(EntryInsightGeneratorTest, BlankTextNeverReachesTheModel)
{
    model.enqueue(good());
    EXPECT_EQ(failure(QString::fromUtf8(" \n\t\xE2\x80\x83 ")).kind(), Kind::Empty);
    EXPECT_EQ(model.availabilityReads(), 0);
    EXPECT_TRUE(model.tokenCountTexts().isEmpty());
    EXPECT_EQ(model.callCount(), 0);
}

TEST_F(EntryInsightGeneratorTest, UnavailableModelIsNotAskedForTokens)
{
    model.setUnavailable(lm::UnavailableReason::ModelNotReady);
    const auto e = failure("A real entry.");
    EXPECT_EQ(e.kind(), Kind::Unavailable);
    EXPECT_EQ(e.description(), "Local language model unavailable.");
    EXPECT_TRUE(model.tokenCountTexts().isEmpty());
    EXPECT_EQ(model.callCount(), 0);
}

// ---- the level loop

TEST_F(EntryInsightGeneratorTest, FirstLevelSendsTheWholeEntryWithTheFullInstructions)
{
    const QString text = entryText(2000);
    model.enqueue(good(1.7));
    const G::Outcome o = G::generate("  \n" + text + "\n ", model);
    EXPECT_EQ(o.summary, goodSummary);
    EXPECT_EQ(o.overallScore, 1.7);
    EXPECT_FALSE(o.usedTruncatedSource);

    const auto calls = model.calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].instructions, G::fullInstructions());
    EXPECT_EQ(calls[0].prompt, G::makePrompt(text, false));
    EXPECT_EQ(calls[0].schemaName, "EntryInsightResult");
    EXPECT_TRUE(calls[0].includeSchemaInPrompt);
    EXPECT_EQ(calls[0].maximumResponseTokens, 900);
    EXPECT_EQ(model.tokenCountTexts(), QStringList({G::fullInstructions(), G::compactInstructions()}));
}

TEST_F(EntryInsightGeneratorTest, LongEntryIsSentAsHeadMarkerAndTail)
{
    const QString text = entryText(5000);
    model.enqueue(good());
    const G::Outcome o = G::generate(text, model);
    EXPECT_TRUE(o.usedTruncatedSource);
    const QString prompt = model.calls().at(0).prompt;
    EXPECT_EQ(prompt, G::makePrompt(text.left(2925) + "\n\n[…middle omitted for length…]\n\n" + text.right(1535), false));
}

TEST_F(EntryInsightGeneratorTest, EmojiAndCombiningMarksCountAsOneCharacterOfTheBudget)
{
    // 4500 characters in 13500 UTF-16 units: exactly the level-0 budget.
    QString text;
    for (int i = 0; i < 1500; ++i)
        text += QString::fromUtf8("\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD" "e\xCC\x81 ");
    text.chop(1);
    text += u'.';
    model.enqueue(good());
    EXPECT_FALSE(G::generate(text, model).usedTruncatedSource);
    EXPECT_EQ(model.calls().at(0).prompt, G::makePrompt(text, false));

    model.enqueue(good());
    EXPECT_TRUE(G::generate(text + u'!', model).usedTruncatedSource);
}

TEST_F(EntryInsightGeneratorTest, ThinAnswerGetsOneRetryWithTheCompactInstructions)
{
    const QString text = entryText(2000);
    model.enqueue(thin());
    model.enqueue(good());
    const G::Outcome o = G::generate(text, model);
    EXPECT_EQ(o.summary, goodSummary);
    EXPECT_FALSE(o.usedTruncatedSource); // half of 4500 still holds the whole entry
    const auto calls = model.calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].instructions, G::compactInstructions());
    EXPECT_EQ(calls[1].prompt, G::makeRetryPrompt(text));
    EXPECT_EQ(calls[1].maximumResponseTokens, 900);
}

TEST_F(EntryInsightGeneratorTest, RetrySourceIsHalfTheBudgetOr900)
{
    const QString text = entryText(3000);
    model.enqueue(thin());
    model.enqueue(good());
    EXPECT_TRUE(G::generate(text, model).usedTruncatedSource);
    EXPECT_EQ(model.calls().at(1).prompt, G::makeRetryPrompt(truncateForPrompt(text, 2250)));

    // At level 3 the budget is 900, and so is the retry limit.
    ScriptedLanguageModel small;
    small.setTokenCount(200);
    for (int i = 0; i < 3; ++i)
        small.enqueue(ScriptedStep::fail("busy"));
    small.enqueue(thin());
    small.enqueue(good());
    G::generate(text, small);
    const auto calls = small.calls();
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[4].prompt, G::makeRetryPrompt(truncateForPrompt(text, 900)));
}

TEST_F(EntryInsightGeneratorTest, SecondThinAnswerEndsWithLowQuality)
{
    model.enqueue(thin());
    model.enqueue(ScriptedStep::answer(insight("Here is a summary of a tense day at work with deadlines and a walk.")));
    model.enqueue(good());
    const auto e = failure(entryText(2000));
    EXPECT_EQ(e.kind(), Kind::LowQuality);
    EXPECT_EQ(e.description(), "Summary quality was too low.");
    EXPECT_EQ(model.callCount(), 2);
}

TEST_F(EntryInsightGeneratorTest, LowQualityAtALaterLevelStillEndsTheRun)
{
    const QString text = entryText(3000);
    model.enqueue(ScriptedStep::fail("busy"));
    model.enqueue(thin());
    model.enqueue(thin());
    model.enqueue(good());
    EXPECT_EQ(failure(text).kind(), Kind::LowQuality);
    const auto calls = model.calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[1].prompt, G::makePrompt(truncateForPrompt(text, 2400), true));
    // Half of the level's 2400 characters.
    EXPECT_EQ(calls[2].prompt, G::makeRetryPrompt(truncateForPrompt(text, 1200)));
}

TEST_F(EntryInsightGeneratorTest, BlankSummaryEndsTheRunAtOnce)
{
    model.enqueue(ScriptedStep::answer(insight("   ")));
    model.enqueue(good());
    const auto e = failure(entryText(500));
    EXPECT_EQ(e.kind(), Kind::GenerationFailed);
    EXPECT_EQ(e.description(), "Empty summary");
    EXPECT_EQ(model.callCount(), 1);
}

TEST_F(EntryInsightGeneratorTest, FailedPassesMoveToShorterLevels)
{
    const QString text = entryText(5000);
    model.enqueue(ScriptedStep::fail("busy"));
    model.enqueue(ScriptedStep::answerJson(R"({"summary": "no other fields"})")); // unreadable answer
    model.enqueue(ScriptedStep::overflow());
    model.enqueue(good());
    const G::Outcome o = G::generate(text, model);
    EXPECT_EQ(o.summary, goodSummary);
    const auto calls = model.calls();
    ASSERT_EQ(calls.size(), 4u);
    const int budgets[] = {4500, 2400, 1400, 900};
    for (int level = 0; level < 4; ++level) {
        EXPECT_EQ(calls[level].instructions, level == 0 ? G::fullInstructions() : G::compactInstructions());
        EXPECT_EQ(calls[level].prompt, G::makePrompt(truncateForPrompt(text, budgets[level]), level > 0));
    }
}

TEST_F(EntryInsightGeneratorTest, OtherFailureAtTheLastLevelIsReported)
{
    for (int i = 0; i < 3; ++i)
        model.enqueue(ScriptedStep::overflow());
    model.enqueue(ScriptedStep::fail("The model server went away."));
    const auto e = failure(entryText(800));
    EXPECT_EQ(e.kind(), Kind::GenerationFailed);
    EXPECT_EQ(e.description(), "The model server went away.");
    EXPECT_EQ(model.callCount(), 4);
}

TEST_F(EntryInsightGeneratorTest, UnknownContextSizeAndFailedTokenCountsUseFallbacks)
{
    model.setContextSize(0);
    model.setTokenCountFails(true); // estimate: 1425 chars / 3 → 466 tokens
    model.enqueue(good());
    const QString text = entryText(6000);
    G::generate(text, model);
    // 4096 − (466 + 1340) = 2290 tokens → 6870 characters, capped at 4500.
    EXPECT_EQ(model.calls().at(0).prompt, G::makePrompt(truncateForPrompt(text, 4500), false));
}

// ---- the chunked path

QString paragraphs(int count, int length)
{
    QStringList out;
    for (int i = 0; i < count; ++i)
        out << entryText(length, QStringLiteral("p%1w").arg(i));
    return out.join(QStringLiteral("\n\n"));
}

class EntryInsightChunkTest : public EntryInsightGeneratorTest
{
protected:
    void overflowAllLevels()
    {
        for (int i = 0; i < 4; ++i)
            model.enqueue(ScriptedStep::overflow());
    }
    QString noteOf(const QString &summary, const QString &tone, const QStringList &points)
    {
        return summary + " " + tone + " Points: " + points.join("; ");
    }
};

TEST_F(EntryInsightChunkTest, SevenChunksAreReflectedOnFromTheFirstFourAndMerged)
{
    const QString text = paragraphs(7, 1300); // chunk size 1400: one paragraph per chunk
    const QStringList chunks = splitIntoChunks(text, 1400);
    ASSERT_EQ(chunks.size(), 7);
    overflowAllLevels();
    for (int i = 0; i < 4; ++i)
        model.enqueue(ScriptedStep::answer(insight(goodSummary + QString::number(i), "Rainy.", 0.1 * i,
                                                   {"Work", i % 2 ? "Rest" : "Work"}, {"Point " + QString::number(i)})));
    model.enqueue(ScriptedStep::answer(insight(goodSummary + " Merged.", "Mixed weather.", -0.4, {})));

    const G::Outcome o = G::generate(text, model);
    const auto calls = model.calls();
    ASSERT_EQ(calls.size(), 9u);
    QStringList notes;
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(calls[4 + i].instructions, G::compactInstructions());
        EXPECT_EQ(calls[4 + i].prompt, G::makePrompt(chunks.at(i), true));
        notes << noteOf(goodSummary + QString::number(i), "Rainy.", {"Point " + QString::number(i)});
    }
    EXPECT_EQ(calls[8].instructions, G::compactInstructions());
    EXPECT_EQ(calls[8].prompt, G::makeMergePrompt(notes));
    EXPECT_EQ(o.summary, goodSummary + " Merged.");
    EXPECT_EQ(o.overallScore, -0.4);
    EXPECT_EQ(o.themes, QStringList({"Work", "Rest"})); // the merge gave none
    EXPECT_TRUE(o.usedTruncatedSource);
    EXPECT_EQ(model.tokenCountTexts().size(), 3);
}

TEST_F(EntryInsightChunkTest, OneGoodNoteGivesTheMixedOutcome)
{
    overflowAllLevels();
    model.enqueue(ScriptedStep::fail("chunk failed"));
    model.enqueue(ScriptedStep::answer(insight(goodSummary, "Rainy.", 0.5, {"Work"}, {})));
    model.enqueue(ScriptedStep::answer(insight("Thin.", "", 0.1, {"Work", "Sleep"}))); // poor, but scored
    const G::Outcome o = G::generate(paragraphs(3, 1300), model);
    EXPECT_EQ(model.callCount(), 7);
    EXPECT_EQ(o.summary, goodSummary + " Rainy.");
    EXPECT_EQ(o.emotionalTone, "Emotional weather is mixed across this long entry.");
    EXPECT_EQ(o.overallSentiment, "mixed");
    EXPECT_TRUE(o.keyPoints.isEmpty());
    EXPECT_TRUE(o.closingFocus.isEmpty());
    EXPECT_EQ(o.themes, QStringList({"Work", "Sleep"}));
    ASSERT_TRUE(o.overallScore.has_value());
    EXPECT_DOUBLE_EQ(*o.overallScore, 0.3);
}

TEST_F(EntryInsightChunkTest, NoGoodChunkIsContextTooLarge)
{
    overflowAllLevels();
    model.enqueue(ScriptedStep::fail("chunk failed"));
    model.enqueue(thin());
    model.enqueue(ScriptedStep::answer(insight("  ")));
    const auto e = failure(paragraphs(3, 1300));
    EXPECT_EQ(e.kind(), Kind::ContextTooLarge);
    EXPECT_EQ(e.description(), "Entry is too long for on-device summary even after shortening.");
}

TEST_F(EntryInsightChunkTest, FailedMergeFallsBackToTheFirstTwoNotes)
{
    overflowAllLevels();
    for (int i = 0; i < 3; ++i)
        model.enqueue(ScriptedStep::answer(insight(goodSummary + QString::number(i), "Rainy.", 0.2, {"Work"}, {})));
    model.enqueue(ScriptedStep::fail("merge failed"));
    const G::Outcome o = G::generate(paragraphs(3, 1300), model);
    EXPECT_EQ(o.summary, goodSummary + "0 Rainy. " + goodSummary + "1 Rainy.");
    EXPECT_EQ(o.emotionalTone, "This long entry covers several related feelings.");
    EXPECT_EQ(o.overallSentiment, "mixed");
    EXPECT_EQ(o.themes, QStringList({"Work"}));
    EXPECT_DOUBLE_EQ(o.overallScore.value_or(0), 0.2);
}

TEST_F(EntryInsightChunkTest, PoorMergeFallsBackToTheFirstThreeNotes)
{
    overflowAllLevels();
    for (int i = 0; i < 4; ++i)
        model.enqueue(ScriptedStep::answer(insight(goodSummary + QString::number(i), "Rainy.", 0.2, {}, {})));
    model.enqueue(ScriptedStep::answer(insight("You should rest more. " + goodSummary)));
    const G::Outcome o = G::generate(paragraphs(4, 1300), model);
    EXPECT_EQ(o.summary, QStringList({goodSummary + "0 Rainy.", goodSummary + "1 Rainy.", goodSummary + "2 Rainy."})
                             .join(u' '));
    EXPECT_TRUE(o.themes.isEmpty());
}

TEST_F(EntryInsightChunkTest, HugeEntryIsHardCutIntoAtMostFourChunks)
{
    const QString text = QString(100000, QChar(u'a')); // one paragraph, no spaces
    overflowAllLevels();
    model.setResponder([](const lm::ScriptedCall &) { return good(); });
    G::generate(text, model);
    const auto calls = model.calls();
    ASSERT_EQ(calls.size(), 9u);
    EXPECT_EQ(calls[0].prompt, G::makePrompt(truncateForPrompt(text, 4500), false));
    for (int i = 4; i < 8; ++i)
        EXPECT_EQ(calls[i].prompt, G::makePrompt(QString(1400, QChar(u'a')), true));
}

TEST_F(EntryInsightChunkTest, ThirteenPassesAtMost)
{
    // Every level answers thinly and its retry overflows; then four chunks
    // and a merge.
    for (int i = 0; i < 4; ++i) {
        model.enqueue(thin());
        model.enqueue(ScriptedStep::overflow());
    }
    model.setResponder([](const lm::ScriptedCall &) { return good(); });
    G::generate(paragraphs(6, 1300), model);
    EXPECT_EQ(model.callCount(), 13);
}

// ---- time limit and cancellation

TEST_F(EntryInsightGeneratorTest, TimeLimitCancelsTheRunningPassAndCallsNoMore)
{
    ManualClock clock;
    G::Options options; // the default limit
    options.clock = &clock;
    model.enqueue(ScriptedStep::hangUntilCancelled());
    model.setResponder([](const lm::ScriptedCall &) { return good(); });
    test::GenerationOnWorker<G::GenerateError> worker([&] { G::generate(entryText(500), model, {}, options); });
    ASSERT_TRUE(test::waitUntil([&] { return model.runningCalls() == 1 && clock.pendingCount() == 1; }));
    clock.advance(std::chrono::seconds(49));
    EXPECT_EQ(model.runningCalls(), 1);
    clock.advance(std::chrono::seconds(1));
    const auto error = worker.error();
    EXPECT_EQ(error.kind(), Kind::TimedOut);
    EXPECT_EQ(error.description(), "Summary timed out.");
    EXPECT_EQ(model.callCount(), 1);
    EXPECT_EQ(model.calls().at(0).outcome, lm::ScriptedCall::Outcome::Cancelled);
}

TEST_F(EntryInsightGeneratorTest, TimeLimitInTheChunkedPathAsksForNoFurtherChunk)
{
    ManualClock clock;
    for (int i = 0; i < 4; ++i)
        model.enqueue(ScriptedStep::overflow());
    model.enqueue(good());
    model.enqueue(ScriptedStep::hangUntilCancelled());
    model.setResponder([](const lm::ScriptedCall &) { return good(); });
    test::GenerationOnWorker<G::GenerateError> worker(
        [&] { G::generate(paragraphs(4, 1300), model, {}, G::Options{50.0, &clock}); });
    ASSERT_TRUE(test::waitUntil([&] { return model.runningCalls() == 1 && model.callCount() == 6; }));
    ASSERT_TRUE(test::waitUntil([&] { return clock.pendingCount() == 1; }));
    clock.advance(std::chrono::seconds(50));
    const auto error = worker.error();
    EXPECT_EQ(error.kind(), Kind::TimedOut);
    EXPECT_EQ(model.callCount(), 6);
}

TEST_F(EntryInsightGeneratorTest, CallerCancellationReadsAsTimedOut)
{
    model.enqueue(ScriptedStep::hangUntilCancelled());
    std::stop_source caller;
    test::GenerationOnWorker<G::GenerateError> worker(
        [&] { G::generate(entryText(500), model, caller.get_token(), G::Options{50.0, nullptr}); });
    ASSERT_TRUE(model.waitForCalls(1));
    caller.request_stop();
    const auto error = worker.error();
    EXPECT_EQ(error.kind(), Kind::TimedOut);
    EXPECT_EQ(model.callCount(), 1);
}

TEST_F(EntryInsightGeneratorTest, LateAnswerAfterTheLimitIsDiscarded)
{
    test::LateAnsweringModel late(insight(goodSummary));
    const auto e = test::expectGenerateError<G::GenerateError>(
        [&] { G::generate(entryText(500), late, {}, G::Options{0.05, nullptr}); });
    EXPECT_EQ(e.kind(), Kind::TimedOut);
    EXPECT_EQ(late.calls.load(), 1);
}

} // namespace
} // namespace zn
