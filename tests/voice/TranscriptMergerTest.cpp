#include "voice/TranscriptMerger.h"

#include "AudioTestSupport.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

namespace zn {
namespace {

class TranscriptMergerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        merger.setOnPartialText([this](const QString &text) { published.append(text); });
    }

    TranscriptMerger merger;
    QStringList published;
};

TEST_F(TranscriptMergerTest, GrowingPartialStaysOneHypothesis)
{
    merger.handleResult(QStringLiteral("hello"), false);
    merger.handleResult(QStringLiteral("hello world"), false);
    EXPECT_EQ(merger.currentHypothesis(), QStringLiteral("hello world"));
    EXPECT_EQ(merger.liveText(), QStringLiteral("hello world"));
    EXPECT_TRUE(merger.committedSegments().isEmpty());
    EXPECT_EQ(published, (QStringList{QStringLiteral("hello"), QStringLiteral("hello world")}));
}

TEST_F(TranscriptMergerTest, AnalyzerAndRecognizerStreamsMergeIntoOneText)
{
    merger.handleResult(QStringLiteral("hello world"), false);
    merger.handleResult(QStringLiteral("hello world."), true);
    EXPECT_EQ(merger.committedSegments(), QStringList{QStringLiteral("hello world.")});
    EXPECT_TRUE(merger.currentHypothesis().isEmpty());
    EXPECT_EQ(merger.liveText(), QStringLiteral("hello world."));

    merger.handleResult(QStringLiteral("How are"), false);
    EXPECT_EQ(merger.currentHypothesis(), QStringLiteral("How are"));
    EXPECT_EQ(merger.liveText(), QStringLiteral("hello world. How are"));

    // The older recognizer repeats everything so far.
    merger.handleResult(QStringLiteral("hello world. How are you"), false);
    EXPECT_EQ(merger.currentHypothesis(), QStringLiteral("How are you"));
    EXPECT_EQ(merger.liveText(), QStringLiteral("hello world. How are you"));
    EXPECT_EQ(merger.committedSegments(), QStringList{QStringLiteral("hello world.")});
    EXPECT_EQ(published.last(), merger.liveText());
}

TEST_F(TranscriptMergerTest, RevisedHypothesisIsNotCommitted)
{
    merger.handleResult(QStringLiteral("I want to the store"), false);
    merger.handleResult(QStringLiteral("I went to the store"), false);
    EXPECT_TRUE(merger.committedSegments().isEmpty());
    EXPECT_EQ(merger.currentHypothesis(), QStringLiteral("I went to the store"));
}

TEST_F(TranscriptMergerTest, AbandonedHypothesisIsCommittedFirst)
{
    merger.handleResult(QStringLiteral("I went to the store"), false);
    merger.handleResult(QStringLiteral("Then I saw"), false);
    EXPECT_EQ(merger.committedSegments(), QStringList{QStringLiteral("I went to the store")});
    EXPECT_EQ(merger.liveText(), QStringLiteral("I went to the store Then I saw"));

    // One long word is too little to call a change of word a revision.
    TranscriptMerger single;
    single.handleResult(QStringLiteral("Hello"), false);
    single.handleResult(QStringLiteral("Yellow"), false);
    EXPECT_EQ(single.committedSegments(), QStringList{QStringLiteral("Hello")});
    EXPECT_EQ(single.liveText(), QStringLiteral("Hello Yellow"));
}

TEST_F(TranscriptMergerTest, FinalUnrelatedToHypothesisKeepsBoth)
{
    merger.handleResult(QStringLiteral("good morning everyone"), false);
    merger.handleResult(QStringLiteral("Good morning, everyone."), true);
    EXPECT_EQ(merger.committedSegments(),
              (QStringList{QStringLiteral("good morning everyone"), QStringLiteral("Good morning, everyone.")}));

    TranscriptMerger revised;
    revised.handleResult(QStringLiteral("the weather was sunny"), false);
    revised.handleResult(QStringLiteral("The weather was sunny today"), true);
    EXPECT_EQ(revised.committedSegments(), QStringList{QStringLiteral("The weather was sunny today")});
}

TEST_F(TranscriptMergerTest, AnAnalyzersUtterancesAreEachWrittenEvenWhenTheyRepeat)
{
    // Guesses, then one final per utterance: a sentence said again is new
    // words, however it compares with the one before.
    merger.setResultShape(TranscriptMerger::ResultShape::Utterances);
    const auto say = [&](const QStringList &guesses, const QString &final) {
        for (const QString &guess : guesses)
            merger.handleResult(guess, false);
        merger.handleResult(final, true);
    };
    const QString go = QStringLiteral("go forward ten meters");
    say({QStringLiteral("go"), QStringLiteral("go forward ten")}, go);
    say({QStringLiteral("go forward"), go}, go); // the very same
    say({QStringLiteral("go")}, QStringLiteral("go forward")); // the start of the last
    say({QStringLiteral("go forward ten")}, go + QStringLiteral(" and back")); // the last and more
    EXPECT_EQ(merger.committedSegments(),
              (QStringList{go, go, QStringLiteral("go forward"), go + QStringLiteral(" and back")}));

    // Committed in a pause before its final, or by the stop: still written,
    // and once, the final taking the place of the guess.
    merger.handleResult(go, false);
    merger.commitPendingHypothesis();
    EXPECT_TRUE(merger.isLastSegmentOpen());
    merger.handleResult(go, true);
    merger.handleResult(QStringLiteral("go forward ten"), false);
    merger.commitPendingHypothesis();
    merger.handleResult(QStringLiteral("go forward ten meters and back"), false); // past the committed words
    EXPECT_EQ(merger.currentHypothesis(), QStringLiteral("meters and back"));
    merger.handleResult(QStringLiteral("go forward"), false); // a shorter guess hides nothing heard
    merger.handleResult(go + QStringLiteral(" and back"), true);
    EXPECT_EQ(merger.liveText(), QStringList({go, go, QStringLiteral("go forward"), go + QStringLiteral(" and back"), go,
                                              go + QStringLiteral(" and back")})
                                     .join(u' '));
    EXPECT_FALSE(merger.isLastSegmentOpen());

    // The older recognizer's whole text keeps its own rule: repeated, it is
    // the same words again.
    TranscriptMerger whole;
    whole.setResultShape(TranscriptMerger::ResultShape::WholeText);
    whole.handleResult(go, false);
    whole.commitPendingHypothesis();
    whole.handleResult(go + u' ' + go, false);
    whole.handleResult(go + u' ' + go, true);
    EXPECT_EQ(whole.liveText(), go + u' ' + go);
}

TEST_F(TranscriptMergerTest, LooksLikeRevisionRules)
{
    EXPECT_TRUE(TranscriptMerger::looksLikeRevision(QStringLiteral("Hello there"), QStringLiteral("hello THERE")));
    EXPECT_FALSE(TranscriptMerger::shouldCommitPrevious(QStringLiteral("Hello there"), QStringLiteral("hello THERE")));
    EXPECT_TRUE(TranscriptMerger::looksLikeRevision(QStringLiteral("went to"), QStringLiteral("I WENT TO the")));
    // 2 of 4 long words shared is exactly one half.
    EXPECT_TRUE(TranscriptMerger::looksLikeRevision(QStringLiteral("alpha beta gamma delta"),
                                                    QStringLiteral("alpha gamma zeta")));
    EXPECT_FALSE(TranscriptMerger::looksLikeRevision(QStringLiteral("alpha beta gamma delta"),
                                                     QStringLiteral("alpha zeta")));
    // Repeats count in the first text; punctuation stays part of the word.
    EXPECT_TRUE(TranscriptMerger::looksLikeRevision(QStringLiteral("yes yes yes nope"), QStringLiteral("yes")));
    EXPECT_FALSE(TranscriptMerger::looksLikeRevision(QStringLiteral("morning, everyone."),
                                                     QStringLiteral("morning everyone now")));
    EXPECT_FALSE(TranscriptMerger::shouldCommitPrevious(QString(), QStringLiteral("x")));
    EXPECT_FALSE(TranscriptMerger::shouldCommitPrevious(QStringLiteral("  "), QStringLiteral("x")));
    EXPECT_FALSE(TranscriptMerger::shouldCommitPrevious(QStringLiteral("go forward"), QStringLiteral("go")));
}

TEST_F(TranscriptMergerTest, EmptyResults)
{
    merger.handleResult(QStringLiteral("   \n"), false);
    EXPECT_TRUE(published.isEmpty());

    merger.handleResult(QStringLiteral("pending words"), false);
    merger.handleResult(QString(), true);
    EXPECT_EQ(merger.committedSegments(), QStringList{QStringLiteral("pending words")});
    EXPECT_TRUE(merger.currentHypothesis().isEmpty());
    EXPECT_EQ(merger.liveText(), QStringLiteral("pending words"));

    // A final with nothing pending still rebuilds and calls back.
    const auto before = published.size();
    merger.handleResult(QString(), true);
    EXPECT_EQ(published.size(), before + 1);
}

TEST_F(TranscriptMergerTest, AppendSegmentDuplicateRules)
{
    merger.appendSegment(QStringLiteral("hello world"));
    merger.appendSegment(QStringLiteral("hello"));
    EXPECT_EQ(merger.committedSegments(), QStringList{QStringLiteral("hello world")});
    merger.appendSegment(QStringLiteral("  hello world  "));
    EXPECT_EQ(merger.committedSegments(), QStringList{QStringLiteral("hello world")});
    merger.appendSegment(QStringLiteral("hello world again"));
    EXPECT_EQ(merger.committedSegments(), QStringList{QStringLiteral("hello world again")});
    merger.appendSegment(QStringLiteral("Hello world"));
    EXPECT_EQ(merger.committedSegments(),
              (QStringList{QStringLiteral("hello world again"), QStringLiteral("Hello world")}));
    merger.appendSegment(QStringLiteral(" \t\n"));
    EXPECT_EQ(merger.committedSegments().size(), 2);
    EXPECT_TRUE(published.isEmpty()) << "appendSegment never rebuilds";
}

TEST_F(TranscriptMergerTest, AppendSegmentCountsGraphemesNotCodeUnits)
{
    // "cafe" + U+0301 is still four characters: not longer, so not a
    // replacement and not a prefix of it either.
    merger.appendSegment(QStringLiteral("cafe"));
    merger.appendSegment(QStringLiteral("cafe\u0301"));
    EXPECT_EQ(merger.committedSegments(), (QStringList{QStringLiteral("cafe"), QStringLiteral("cafe\u0301")}));

    TranscriptMerger emoji;
    emoji.appendSegment(QStringLiteral("love 👍"));
    emoji.appendSegment(QStringLiteral("love 👍🏽")); // skin tone joins the cluster
    EXPECT_EQ(emoji.committedSegments().size(), 2);
    emoji.appendSegment(QStringLiteral("love 👍🏽 🎉"));
    EXPECT_EQ(emoji.committedSegments().last(), QStringLiteral("love 👍🏽 🎉"));
}

TEST_F(TranscriptMergerTest, ResetAndCommit)
{
    merger.resetTranscript(QStringLiteral("  earlier text \n"));
    EXPECT_EQ(merger.committedSegments(), QStringList{QStringLiteral("earlier text")});
    EXPECT_EQ(merger.liveText(), QStringLiteral("earlier text"));
    EXPECT_EQ(published.size(), 1);

    merger.handleResult(QStringLiteral("more"), false);
    merger.commitPendingHypothesis();
    EXPECT_EQ(merger.committedSegments(), (QStringList{QStringLiteral("earlier text"), QStringLiteral("more")}));
    EXPECT_EQ(merger.liveText(), QStringLiteral("earlier text more"));

    const auto calls = published.size();
    merger.commitPendingHypothesis(); // nothing pending: nothing at all
    EXPECT_EQ(published.size(), calls);

    merger.resetTranscript(QString());
    EXPECT_TRUE(merger.committedSegments().isEmpty());
    EXPECT_TRUE(merger.liveText().isEmpty());

    merger.handleResult(QStringLiteral("x y"), false);
    merger.clear();
    EXPECT_TRUE(merger.liveText().isEmpty());
    EXPECT_TRUE(merger.currentHypothesis().isEmpty());
}

TEST_F(TranscriptMergerTest, SpacesInsideSegmentsCollapseInOnePass)
{
    merger.appendSegment(QStringLiteral("a   b"));
    EXPECT_EQ(merger.committedText(), QStringLiteral("a  b"));
    merger.rebuildLiveText();
    EXPECT_EQ(merger.liveText(), QStringLiteral("a  b"));
    merger.appendSegment(QStringLiteral("c    d"));
    EXPECT_EQ(merger.committedText(), QStringLiteral("a  b c  d"));
}

TEST_F(TranscriptMergerTest, UnicodeWhitespaceAndScripts)
{
    // Non-breaking spaces trim and split like any whitespace.
    merger.handleResult(QStringLiteral("\u00A0bonjour\u00A0tout le monde\u00A0"), false);
    EXPECT_EQ(merger.currentHypothesis(), QStringLiteral("bonjour\u00A0tout le monde"));
    EXPECT_TRUE(TranscriptMerger::looksLikeRevision(QStringLiteral("bonjour\u00A0tout\u00A0monde"),
                                                    QStringLiteral("bonjour monde")));

    // Text without spaces: one word, so only prefix and containment relate.
    TranscriptMerger cjk;
    cjk.handleResult(QStringLiteral("今日は"), false);
    cjk.handleResult(QStringLiteral("今日はいい天気"), false);
    EXPECT_TRUE(cjk.committedSegments().isEmpty());
    cjk.handleResult(QStringLiteral("明日"), false);
    EXPECT_EQ(cjk.committedSegments(), QStringList{QStringLiteral("今日はいい天気")});

    // A repeated whole text whose committed part ends in a letter that the
    // partial then decorates: the mark belongs to the committed character.
    TranscriptMerger marks;
    marks.handleResult(QStringLiteral("cafe"), true);
    marks.handleResult(QStringLiteral("cafe\u0301 noir"), false);
    EXPECT_EQ(marks.currentHypothesis(), QStringLiteral("noir"));
    EXPECT_EQ(marks.liveText(), QStringLiteral("cafe\u0301 noir"));

    // A prepended sign joins the digit after it, even an ASCII one.
    TranscriptMerger prepend;
    prepend.handleResult(QStringLiteral("page \u0600"), true);
    prepend.handleResult(QStringLiteral("page \u06001 more"), false);
    EXPECT_EQ(prepend.currentHypothesis(), QStringLiteral("more"));

    TranscriptMerger emoji;
    emoji.handleResult(QStringLiteral("I feel 👍"), true);
    emoji.handleResult(QStringLiteral("I feel 👍🏽"), false);
    EXPECT_TRUE(emoji.currentHypothesis().isEmpty());
    EXPECT_EQ(emoji.liveText(), QStringLiteral("I feel 👍🏽"));
}

TEST_F(TranscriptMergerTest, LongTextsStayLinear)
{
    QString longText;
    while (longText.size() < 15000)
        longText += QStringLiteral("word%1 ").arg(longText.size() % 97);
    const QString noSpaces(15000, QChar(0x5B57));

    QElapsedTimer timer;
    timer.start();
    merger.resetTranscript(longText);
    QString partial;
    for (int i = 0; i < 300; ++i) {
        partial += QStringLiteral("next%1 ").arg(i);
        merger.handleResult(partial, false);
    }
    EXPECT_EQ(merger.committedSegments().size(), 1);
    // The older recognizer's whole-text partials on top of a long transcript.
    merger.commitPendingHypothesis();
    const QString whole = merger.committedText();
    merger.handleResult(whole + QStringLiteral(" tail words here"), false);
    EXPECT_EQ(merger.currentHypothesis(), QStringLiteral("tail words here"));

    TranscriptMerger cjk;
    for (int i = 0; i < 100; ++i)
        cjk.handleResult(noSpaces.left(14000 + i * 10), i % 10 == 9);
    EXPECT_EQ(cjk.committedSegments().size(), 1);
    EXPECT_TRUE(TranscriptMerger::looksLikeRevision(longText, longText + QStringLiteral("x")));
    EXPECT_FALSE(TranscriptMerger::looksLikeRevision(longText, noSpaces));
    // Generous: a quadratic merge takes many seconds here.
    EXPECT_LT(timer.elapsed(), 1500);
}

} // namespace
} // namespace zn
