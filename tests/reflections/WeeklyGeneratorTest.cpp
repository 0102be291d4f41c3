#include "reflections/WeeklyReflectionGenerator.h"

#include "platform/base/Clock.h"
#include "platform/model/ScriptedLanguageModel.h"
#include "reflections/GenerationTimeout.h"
#include "reflections/GeneratorTestSupport.h"
#include "reflections/ReflectionDates.h"
#include "reflections/WeeklyReflectionResult.h"
#include "support/TestSupport.h"

#include <QCryptographicHash>
#include <QLocale>

#include <gtest/gtest.h>

namespace zn {
namespace {

using W = WeeklyReflectionGenerator;
using P = WeeklyReflectionPrompting;
using Kind = W::GenerateError::Kind;
using lm::ScriptedLanguageModel;
using lm::ScriptedStep;

const QDateTime windowStart(QDate(2025, 3, 1), QTime(0, 0));
const QDateTime windowEnd(QDate(2025, 3, 8), QTime(0, 0));

QList<W::EntrySnippet> week()
{
    return {
        {"Mar 3, 2025", "2025-03-03", "Long shift at the bakery, sore feet and a short temper.", "Rainy"},
        {"Mar 4, 2025", "2025-03-04", "Quiet evening painting the garden fence with music.", "Partly cloudy"},
        {"Mar 5, 2025", "2025-03-05", "Bakery again; decided to ask for a weekend off.", "Overcast"},
    };
}

const QString summary = QStringLiteral("Bakery shifts and painting the garden fence fill the days.");
const QString arc = QStringLiteral("Rainy at first, Partly cloudy later.");

lm::GeneratedContent reflection(const QString &s = summary, const QString &a = arc, const QStringList &moments = {},
                                const QString &focus = QStringLiteral("Protect the weekend."))
{
    WeeklyReflectionResult r;
    r.summary = s;
    r.emotionalArc = a;
    r.notableMoments = moments;
    r.overallSentiment = " steady ";
    r.recommendedFocus = focus;
    return r.generatedContent();
}

ScriptedStep answer(const QString &s = summary, const QString &a = arc, const QStringList &moments = {},
                    const QString &focus = QStringLiteral("Protect the weekend."))
{
    return ScriptedStep::answer(reflection(s, a, moments, focus));
}

QString levelPrompt(const QList<W::EntrySnippet> &snippets, int level, bool multiDay = true)
{
    const auto &shape = W::shorteningLevels()[level];
    return P::makePrompt(snippets, multiDay, "Mar 1, 2025", "Mar 7, 2025", shape.condensed,
                         shape.perEntryCharacters, shape.totalCharacters, shape.minimalHeader);
}

QString retryPrompt(const QList<W::EntrySnippet> &snippets, int level, bool multiDay = true)
{
    const auto &shape = W::shorteningLevels()[level];
    return P::makePrompt(snippets, multiDay, "Mar 1, 2025", "Mar 7, 2025", true, shape.retryPerEntryCharacters(),
                         shape.retryTotalCharacters(), true)
        + W::retryNotice();
}

class WeeklyGeneratorTest : public ::testing::Test
{
protected:
    W::GenerateError failure(const QList<W::EntrySnippet> &entries, std::stop_token stop = {},
                             W::Options options = {})
    {
        return test::expectGenerateError<W::GenerateError>(
            [&] { W::generate(entries, windowStart, windowEnd, model, stop, options); });
    }

    ScriptedLanguageModel model;
};

// ---- fixed texts, labels and the multi-day rule

TEST(WeeklyGeneratorTexts, CompactInstructionsRetryNoticeAndLevelsAreExact)
{
    EXPECT_EQ(W::compactInstructions().toUtf8().size(), 236);
    EXPECT_TRUE(W::compactInstructions().startsWith("Past-7-day journal assistant. Third-person only"));
    EXPECT_EQ(W::retryNotice().toUtf8().size(), 434);
    EXPECT_TRUE(W::retryNotice().startsWith("\nRETRY — fix grounding and/or duplication.\n"));
    EXPECT_TRUE(W::retryNotice().endsWith("No multi-day arcs when all entries are on one day."));
    // Every byte counts: a changed letter keeps the size but not the digest.
    auto sha = [](const QString &text) {
        return QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toHex();
    };
    EXPECT_EQ(sha(P::instructions()), "b9a1839321f6dbcc0ca8d7c5f032e7fb9d39eaf588ac921d87c8ace05fef6161");
    EXPECT_EQ(sha(W::compactInstructions()), "5808f6efac13bf66016a339a255feb4adf3ba0c0766d1a8f62c2013efddb4b87");
    EXPECT_EQ(sha(W::retryNotice()), "9aae00dc98251c59cdcd91fd9569fc889ecb6f755eb7cccd8ff7f37c5631c16a");

    const int retrySizes[5][2] = {{400, 4000}, {200, 2250}, {200, 2250}, {120, 1200}, {120, 1200}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(W::shorteningLevels()[i].retryPerEntryCharacters(), retrySizes[i][0]) << i;
        EXPECT_EQ(W::shorteningLevels()[i].retryTotalCharacters(), retrySizes[i][1]) << i;
    }
    const auto errors = {std::pair{Kind::Unavailable, "Local language model unavailable."},
                         std::pair{Kind::Empty, "No entries."},
                         std::pair{Kind::TimedOut, "Weekly reflection timed out."},
                         std::pair{Kind::ContextTooLarge,
                                   "This week’s entries are too long for on-device reflection even after shortening."}};
    for (const auto &[kind, text] : errors)
        EXPECT_EQ(W::GenerateError(kind).description(), QString::fromUtf8(text));
}

TEST(WeeklyGeneratorLabels, EnglishWhateverTheLocaleAndEndIsTheLastSecond)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(reflectionDateLabel(QDate(2025, 3, 7)), "Mar 7, 2025");
    EXPECT_EQ(reflectionDateLabel(QDate(2025, 12, 25)), "Dec 25, 2025");
    EXPECT_EQ(W::startLabel(windowStart), "Mar 1, 2025");
    EXPECT_EQ(W::endLabel(windowEnd), "Mar 7, 2025");
    EXPECT_EQ(reflectionDateLabel(QDate()), "");
    QLocale::setDefault(saved);
}

TEST(WeeklyGeneratorLabels, MultiDayNeedsThreeEntriesOnTwoDays)
{
    auto snippets = week();
    EXPECT_TRUE(W::isMultiDay(snippets));
    EXPECT_FALSE(W::isMultiDay(snippets.mid(0, 2)));
    for (auto &s : snippets)
        s.dayKey = "2025-03-03";
    EXPECT_FALSE(W::isMultiDay(snippets));
    snippets[2].dayKey = "2025-03-05";
    EXPECT_TRUE(W::isMultiDay(snippets));
}

// ---- input and availability

TEST_F(WeeklyGeneratorTest, NoEntriesIsReportedBeforeAvailability)
{
    model.setUnavailable(lm::UnavailableReason::NoServer);
    EXPECT_EQ(failure({}).kind(), Kind::Empty);
    EXPECT_EQ(model.availabilityReads(), 0);
    EXPECT_EQ(failure(week()).kind(), Kind::Unavailable);
    EXPECT_EQ(model.callCount(), 0);
}

// ---- levels and retries

TEST_F(WeeklyGeneratorTest, FirstPassUsesTheFullInstructionsAndIsCleaned)
{
    model.enqueue(answer(summary + " Mood 0.4 overall.", arc, {" Painting the garden fence ", "   "}));
    const W::Outcome o = W::generate(week(), windowStart, windowEnd, model);
    EXPECT_EQ(o.summary, summary + " Mood overall.");
    EXPECT_EQ(o.emotionalArc, arc);
    EXPECT_EQ(o.notableMoments, QStringList({"Painting the garden fence"}));
    EXPECT_EQ(o.overallSentiment, "steady");
    EXPECT_EQ(o.recommendedFocus, "Protect the weekend.");

    const auto calls = model.calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].instructions, P::instructions());
    EXPECT_EQ(calls[0].prompt, levelPrompt(week(), 0));
    EXPECT_EQ(calls[0].schemaName, "WeeklyReflectionResult");
    EXPECT_TRUE(calls[0].includeSchemaInPrompt);
    EXPECT_EQ(calls[0].maximumResponseTokens, 768);
}

TEST_F(WeeklyGeneratorTest, RepeatedArcGetsExactlyOneRetryWhoseAnswerIsCleaned)
{
    model.enqueue(answer(summary, summary));
    model.enqueue(answer(summary, summary + "!"));
    model.enqueue(answer());
    const W::Outcome o = W::generate(week(), windowStart, windowEnd, model);
    EXPECT_EQ(o.summary, summary);
    EXPECT_EQ(o.emotionalArc, "");
    const auto calls = model.calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].instructions, W::compactInstructions());
    EXPECT_EQ(calls[1].prompt, retryPrompt(week(), 0));
    EXPECT_TRUE(calls[1].prompt.contains("\nCondensed entries:\n\n"));
}

TEST_F(WeeklyGeneratorTest, SparseWeekRetriesAMultiDayArc)
{
    const auto two = week().mid(0, 2);
    model.enqueue(answer(summary, "Brighter by the end of the week."));
    model.enqueue(answer(summary, "Brighter by the end of the week.", {"Sore feet at the bakery", "Fence painting"}));
    const W::Outcome o = W::generate(two, windowStart, windowEnd, model);
    EXPECT_EQ(model.calls().at(1).prompt, retryPrompt(two, 0, false));
    EXPECT_EQ(o.emotionalArc, P::arcFallback);
    EXPECT_EQ(o.notableMoments, QStringList({"Sore feet at the bakery"}));
}

TEST_F(WeeklyGeneratorTest, FailuresWalkAllFiveLevels)
{
    for (int i = 0; i < 4; ++i)
        model.enqueue(i % 2 ? ScriptedStep::fail("busy") : ScriptedStep::overflow());
    model.enqueue(answer());
    const W::Outcome o = W::generate(week(), windowStart, windowEnd, model);
    EXPECT_EQ(o.summary, summary);
    const auto calls = model.calls();
    ASSERT_EQ(calls.size(), 5u);
    for (int level = 0; level < 5; ++level) {
        EXPECT_EQ(calls[level].instructions, level == 0 ? P::instructions() : W::compactInstructions());
        EXPECT_EQ(calls[level].prompt, levelPrompt(week(), level)) << level;
    }
}

TEST_F(WeeklyGeneratorTest, LastLevelFailuresAreReported)
{
    for (int i = 0; i < 5; ++i)
        model.enqueue(ScriptedStep::overflow());
    EXPECT_EQ(failure(week()).kind(), Kind::ContextTooLarge);

    for (int i = 0; i < 4; ++i)
        model.enqueue(ScriptedStep::overflow());
    model.enqueue(ScriptedStep::fail("The model server went away."));
    const auto e = failure(week());
    EXPECT_EQ(e.kind(), Kind::GenerationFailed);
    EXPECT_EQ(e.description(), "The model server went away.");
}

TEST_F(WeeklyGeneratorTest, FailedRetriesMoveDownAndTenPassesAtMost)
{
    for (int level = 0; level < 5; ++level) {
        model.enqueue(answer(summary, summary));
        model.enqueue(ScriptedStep::overflow());
    }
    model.setResponder([](const lm::ScriptedCall &) { return answer(); });
    EXPECT_EQ(failure(week()).kind(), Kind::ContextTooLarge);
    const auto calls = model.calls();
    ASSERT_EQ(calls.size(), 10u);
    for (int level = 0; level < 5; ++level) {
        EXPECT_EQ(calls[2 * level].prompt, levelPrompt(week(), level)) << level;
        EXPECT_EQ(calls[2 * level + 1].prompt, retryPrompt(week(), level)) << level;
        EXPECT_EQ(calls[2 * level + 1].instructions, W::compactInstructions());
    }
}

TEST_F(WeeklyGeneratorTest, BlankSummaryEndsTheRunWithoutShorterLevels)
{
    model.enqueue(answer(" \n "));
    model.enqueue(answer());
    const auto e = failure(week());
    EXPECT_EQ(e.kind(), Kind::GenerationFailed);
    EXPECT_EQ(e.description(), "Empty summary");
    EXPECT_EQ(model.callCount(), 1);
}

TEST_F(WeeklyGeneratorTest, BlankSummaryInTheRetryPassAlsoEndsTheRun)
{
    model.enqueue(answer(summary, summary));
    model.enqueue(answer("\t"));
    model.enqueue(answer());
    EXPECT_EQ(failure(week()).description(), "Empty summary");
    EXPECT_EQ(model.callCount(), 2);
}

TEST_F(WeeklyGeneratorTest, SummaryOfOnlyAScoreIsEmptyAfterCleaning)
{
    model.enqueue(answer("0.35"));
    const auto e = failure(week());
    EXPECT_EQ(e.description(), "Empty summary");
    EXPECT_EQ(model.callCount(), 1);
}

TEST_F(WeeklyGeneratorTest, ManyLongEntriesStayWithinTheFirstLevelBudget)
{
    QList<W::EntrySnippet> many;
    for (int i = 0; i < 50; ++i)
        many.append({"Mar 3, 2025", "2025-03-03", QString(2000, QChar(u'a' + i % 26)), "Rainy"});
    model.enqueue(answer());
    W::generate(many, windowStart, windowEnd, model);
    const QString prompt = model.calls().at(0).prompt;
    // Each text is cut to 805 characters, each block is 845: nine blocks and
    // their separators take 7623 of the 8000 characters, a tenth does not fit.
    EXPECT_EQ(prompt.count("---\nDate: "), 9);
}

// ---- time limit and cancellation

TEST_F(WeeklyGeneratorTest, TimeLimitInTheMiddleOfLevelTwoDiscardsTheRun)
{
    ManualClock clock;
    W::Options options; // the default limit
    options.clock = &clock;
    model.enqueue(ScriptedStep::overflow());
    model.enqueue(ScriptedStep::fail("busy"));
    model.enqueue(ScriptedStep::hangUntilCancelled());
    model.setResponder([](const lm::ScriptedCall &) { return answer(); });
    test::GenerationOnWorker<W::GenerateError> worker(
        [&] { W::generate(week(), windowStart, windowEnd, model, {}, options); });
    ASSERT_TRUE(test::waitUntil([&] { return model.runningCalls() == 1 && model.callCount() == 3; }));
    ASSERT_TRUE(test::waitUntil([&] { return clock.pendingCount() == 1; }));
    clock.advance(std::chrono::seconds(74));
    EXPECT_EQ(model.runningCalls(), 1);
    clock.advance(std::chrono::seconds(1));
    const auto error = worker.error();
    EXPECT_EQ(error.kind(), Kind::TimedOut);
    EXPECT_EQ(error.description(), "Weekly reflection timed out.");
    EXPECT_EQ(model.callCount(), 3);
    EXPECT_EQ(model.calls().at(2).prompt, levelPrompt(week(), 2));
}

TEST_F(WeeklyGeneratorTest, CallerCancellationReadsAsTimedOut)
{
    model.enqueue(ScriptedStep::hangUntilCancelled());
    std::stop_source caller;
    test::GenerationOnWorker<W::GenerateError> worker(
        [&] { W::generate(week(), windowStart, windowEnd, model, caller.get_token()); });
    ASSERT_TRUE(model.waitForCalls(1));
    caller.request_stop();
    const auto error = worker.error();
    EXPECT_EQ(error.kind(), Kind::TimedOut);
    EXPECT_EQ(model.callCount(), 1);
}

TEST(WeeklyGeneratorLimit, LateAnswerAfterTheLimitIsDiscarded)
{
    test::LateAnsweringModel late(reflection());
    const auto e = test::expectGenerateError<W::GenerateError>(
        [&] { W::generate(week(), windowStart, windowEnd, late, {}, W::Options{0.05, nullptr}); });
    EXPECT_EQ(e.kind(), Kind::TimedOut);
    EXPECT_EQ(late.calls.load(), 1);
}

TEST(WeeklyGeneratorErrors, MapErrorOrder)
{
    auto map = [](auto error) { return W::mapError(std::make_exception_ptr(error)); };
    EXPECT_EQ(map(GenerationTimeout::TimeoutError(75)).kind(), Kind::TimedOut);
    EXPECT_EQ(map(CancellationError()).kind(), Kind::TimedOut);
    EXPECT_EQ(map(W::GenerateError::generationFailed("Empty summary")).description(), "Empty summary");
    EXPECT_EQ(map(lm::LanguageModelError::exceededContextWindow()).kind(), Kind::ContextTooLarge);
    EXPECT_EQ(map(lm::LanguageModelError(lm::LanguageModelError::Kind::Other, "Token context too small")).kind(),
              Kind::ContextTooLarge);
    EXPECT_EQ(map(lm::LanguageModelError(lm::LanguageModelError::Kind::Other, "Network down")).description(),
              "Network down");
}

} // namespace
} // namespace zn
