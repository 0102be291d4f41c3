#include "reflections/GenerationHelpers.h"

#include "core/TextUnits.h"
#include "platform/model/ScriptedLanguageModel.h"
#include "reflections/GenerationTimeout.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace zn {

using generation::middleOmittedMarker;
using generation::restOmittedMarker;

namespace {

// n distinct-looking characters, so cuts show where they fell.
QString letters(int n)
{
    QString out;
    out.reserve(n);
    for (int i = 0; i < n; ++i)
        out += QChar(u'a' + i % 26);
    return out;
}

// n grapheme clusters of more than one UTF-16 unit each (a thumbs-up with
// a skin tone: four units, one character).
QString emoji(int n)
{
    return QString::fromUtf8("\U0001F44D\U0001F3FD").repeated(n);
}

} // namespace

TEST(GenerationMarkers, HaveTheirFixedLengths)
{
    EXPECT_EQ(text::graphemeCount(restOmittedMarker()), 29);
    EXPECT_EQ(text::graphemeCount(middleOmittedMarker()), 33);
    EXPECT_TRUE(restOmittedMarker().contains(QChar(0x2026)));
}

TEST(TruncateForPrompt, TrimsAndCutsShortLimitsWithoutMarker)
{
    EXPECT_EQ(truncateForPrompt("  abc  ", 10), "abc");
    EXPECT_EQ(truncateForPrompt("  abc  ", 2), "ab");
    EXPECT_EQ(truncateForPrompt("  abc  ", 0), "");
    EXPECT_EQ(truncateForPrompt("abc", -5), "");
    EXPECT_EQ(truncateForPrompt(letters(100), 64), letters(64));
}

TEST(TruncateForPrompt, CutsTheTailFrom65To1199)
{
    const QString text = letters(2000);
    EXPECT_EQ(truncateForPrompt(text, 900), letters(876) + restOmittedMarker());
    EXPECT_EQ(text::graphemeCount(truncateForPrompt(text, 900)), 905);
    EXPECT_EQ(truncateForPrompt(text, 65), letters(41) + restOmittedMarker());
    EXPECT_EQ(truncateForPrompt(text, 1199), letters(1175) + restOmittedMarker());
}

TEST(TruncateForPrompt, CutsTheMiddleFrom1200)
{
    const QString text = letters(10000);
    const QString result = truncateForPrompt(text, 4500);
    EXPECT_EQ(result, text.left(2925) + middleOmittedMarker() + text.right(1535));
    EXPECT_EQ(text::graphemeCount(result), 4493);
    EXPECT_EQ(truncateForPrompt(text, 1200), text.left(780) + middleOmittedMarker() + text.right(380));
}

TEST(TruncateForPrompt, CountsGraphemeClustersNotCodeUnits)
{
    const QString text = emoji(100);
    EXPECT_EQ(truncateForPrompt(text, 100), text); // fits: 100 characters, 400 code units
    EXPECT_EQ(truncateForPrompt(text, 10), emoji(10));
    EXPECT_EQ(truncateForPrompt(text, 70), emoji(46) + restOmittedMarker());
}

TEST(CharacterBudget, FollowsFactorsCapsAndFloor)
{
    EXPECT_EQ(characterBudget(4096, 200, ShorteningLevel::Level0), 4500);
    EXPECT_EQ(characterBudget(4096, 200, ShorteningLevel::Level1), 2400);
    EXPECT_EQ(characterBudget(4096, 200, ShorteningLevel::Level2), 1400);
    EXPECT_EQ(characterBudget(4096, 200, ShorteningLevel::Level3), 900);
    EXPECT_EQ(characterBudget(1500, 200, ShorteningLevel::Level0), 900);
    EXPECT_EQ(characterBudget(2800, 100, ShorteningLevel::Level1), 2244);
    EXPECT_EQ(characterBudget(2800, 100, ShorteningLevel::Level2), 1305);
    EXPECT_EQ(characterBudget(2800, 100, ShorteningLevel::Level0), 4080);
    // Nothing left, even absurd inputs, still gives the floor.
    EXPECT_EQ(characterBudget(0, 0, ShorteningLevel::Level0), 900);
    EXPECT_EQ(characterBudget(100, 1'000'000, ShorteningLevel::Level0), 900);
    EXPECT_EQ(characterBudget(2'000'000'000, 0, ShorteningLevel::Level0), 4500);
    for (int context : {1, 2000, 3000, 8192, 128000})
        EXPECT_EQ(characterBudget(context, 300, ShorteningLevel::Level3), 900) << context;
}

TEST(SplitIntoChunks, EmptyAndFittingTexts)
{
    EXPECT_TRUE(splitIntoChunks("", 10).isEmpty());
    EXPECT_TRUE(splitIntoChunks(" \n\n\t ", 10).isEmpty());
    EXPECT_EQ(splitIntoChunks("  a\n\nb  ", 4), QStringList{"a\n\nb"});
    EXPECT_EQ(splitIntoChunks("a\n\nb", 3), (QStringList{"a", "b"}));
}

TEST(SplitIntoChunks, CutsOverlongParagraphsExactlyAndJoinsTheRest)
{
    const QString paragraph = letters(3000);
    const QStringList chunks = splitIntoChunks(paragraph, 1200);
    ASSERT_EQ(chunks.size(), 3);
    EXPECT_EQ(chunks[0], paragraph.left(1200));
    EXPECT_EQ(chunks[1], paragraph.mid(1200, 1200));
    EXPECT_EQ(chunks[2], paragraph.mid(2400));

    // A rest stays open and later paragraphs join it while they fit.
    const QStringList mixed = splitIntoChunks(letters(7) + "\n\nxy\n\nzzzzzz", 6);
    EXPECT_EQ(mixed, (QStringList{"abcdef", "g\n\nxy", "zzzzzz"}));
}

TEST(SplitIntoChunks, PacksParagraphsUpToTheLimit)
{
    const QString text = "one one\n\ntwo two\n\nthree three\n\n\n\nfour";
    EXPECT_EQ(splitIntoChunks(text, 17), (QStringList{"one one\n\ntwo two", "three three\n\nfour"}));
    EXPECT_EQ(splitIntoChunks(text, 16), (QStringList{"one one\n\ntwo two", "three three", "four"}));
    EXPECT_EQ(splitIntoChunks(text, 15), (QStringList{"one one", "two two", "three three", "four"}));
}

TEST(SplitIntoChunks, CountsGraphemesAndSplitsOnlyAtLineFeedPairs)
{
    const QStringList chunks = splitIntoChunks(emoji(5), 2);
    EXPECT_EQ(chunks, (QStringList{emoji(2), emoji(2), emoji(1)}));
    // "\r\n\r\n" is not a paragraph break, so the text is cut by count.
    const QStringList crlf = splitIntoChunks("ab\r\n\r\ncd", 4);
    EXPECT_EQ(crlf.size(), 2);
    EXPECT_EQ(crlf[0], "ab\r\n\r\n");
}

TEST(FirstPersonVoice, FindsWholeWordsInAnyCase)
{
    EXPECT_TRUE(containsFirstPersonVoice("I went out."));
    EXPECT_TRUE(containsFirstPersonVoice("Later WE left."));
    EXPECT_TRUE(containsFirstPersonVoice("The choice was mine"));
    EXPECT_TRUE(containsFirstPersonVoice(QString::fromUtf8("Then I\u2019m fine")));
    EXPECT_TRUE(containsFirstPersonVoice("ourselves, again"));
    EXPECT_FALSE(containsFirstPersonVoice("It is raining in the hills; weather was wet."));
    EXPECT_FALSE(containsFirstPersonVoice("Meanwhile, a minor mishap."));
    EXPECT_FALSE(containsFirstPersonVoice(QString::fromUtf8("Le caf\u00e9 m\u00eame, na\u00efve")));
    EXPECT_FALSE(containsFirstPersonVoice(""));
}

TEST(ContextWindowTest, UsesTheKindOrTheDescription)
{
    EXPECT_TRUE(isContextWindowExceeded(lm::LanguageModelError::exceededContextWindow()));
    EXPECT_TRUE(isContextWindowExceeded(lm::LanguageModelError(lm::LanguageModelError::Kind::ExceededContextWindow, "x")));
    EXPECT_TRUE(isContextWindowExceeded(std::runtime_error("The Context Window was too small")));
    EXPECT_TRUE(isContextWindowExceeded(lm::LanguageModelError(lm::LanguageModelError::Kind::Other,
                                                               "the request exceeds the available context size")));
    EXPECT_FALSE(isContextWindowExceeded(std::runtime_error("lost context of the conversation")));
    EXPECT_FALSE(isContextWindowExceeded(std::runtime_error("too many tokens")));
    EXPECT_FALSE(isContextWindowExceeded(CancellationError()));
    EXPECT_FALSE(isContextWindowExceeded(GenerationTimeout::TimeoutError(50)));
    EXPECT_FALSE(isContextWindowExceeded(std::exception_ptr()));
    EXPECT_TRUE(isContextWindowExceeded(std::make_exception_ptr(lm::LanguageModelError::exceededContextWindow())));
}

TEST(CountTokens, UsesTheModelAndFallsBackToTheEstimate)
{
    lm::ScriptedLanguageModel model;
    model.setTokenCount(321);
    EXPECT_EQ(countTokens(model, "instructions"), 321);
    model.setTokenCountFails(true);
    EXPECT_EQ(countTokens(model, letters(10)), 4);  // ceil(10 / 3)
    EXPECT_EQ(countTokens(model, letters(9)), 3);
    EXPECT_EQ(countTokens(model, ""), 1);
    EXPECT_EQ(countTokens(model, emoji(6)), 2);      // characters, not code units
    EXPECT_EQ(model.tokenCountTexts().size(), 5);

    model.setTokenCount(50);
    std::stop_source stopped;
    stopped.request_stop();
    EXPECT_EQ(countTokens(model, letters(30), stopped.get_token()), 10);
}

} // namespace zn
