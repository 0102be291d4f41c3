#include "core/EntryText.h"

#include "core/JournalEntry.h"

#include <gtest/gtest.h>

namespace zn {
namespace {

const QString kEllipsis = QString(QChar(0x2026));

// `n` characters of filler words separated by single spaces, no terminator.
QString words(int n)
{
    QString out;
    while (out.size() < n)
        out += QStringLiteral("lorem ");
    out.truncate(n);
    if (out.endsWith(u' '))
        out[n - 1] = u'x';
    return out;
}

} // namespace

TEST(EntryTitle, BlankTextIsUntitled)
{
    EXPECT_EQ(entryTitle(QString(), 48), "Untitled");
    EXPECT_EQ(entryTitle(QStringLiteral("  \n\t \r\n  "), 48), "Untitled");
    EXPECT_EQ(entryTitle(QString::fromUtf8("\u2028\u3000 "), 48), "Untitled");
}

TEST(EntryTitle, FirstSentenceEndsTheTitleWithinItsWindow)
{
    // Full stop at position 18: the rest of the line is dropped.
    const QString line = QStringLiteral("Slept badly again. Then coffee helped a lot with the morning.");
    EXPECT_EQ(entryTitle(line, 48), "Slept badly again.");

    // A 60-character sentence ending in "!" is whole; at 61 it is too long.
    const QString sixty = words(59) + u'!';
    ASSERT_EQ(sixty.size(), 60);
    EXPECT_EQ(entryTitle(sixty + QStringLiteral(" More text follows here."), 48), sixty);
    const QString sixtyOne = words(60) + u'!';
    const QString cut = entryTitle(sixtyOne, 48);
    EXPECT_TRUE(cut.endsWith(kEllipsis));
    EXPECT_LE(cut.size(), 49);

    // Position 9 is the first that counts; the other terminators count too.
    EXPECT_EQ(entryTitle(QStringLiteral("Eight ch? rest of it"), 48), "Eight ch?");
    EXPECT_EQ(entryTitle(QString::fromUtf8("今日はとても良い天気でした。明日も晴れ"), 48),
              QString::fromUtf8("今日はとても良い天気でした。"));
    EXPECT_EQ(entryTitle(QString::fromUtf8("What a day that was！ yes"), 48),
              QString::fromUtf8("What a day that was！"));
}

TEST(EntryTitle, EarlyTerminatorDoesNotEndTitleAndNoLaterOneIsSought)
{
    // "Tired." ends at position 6; the later full stop at 30 is ignored.
    QString line = QStringLiteral("Tired. The whole afternoon went. by in a blur of meetings and calls");
    line += QStringLiteral(" and more meetings until it was dark outside again");
    const QString title = entryTitle(line, 48);
    // The first 48 characters, cut back to the last space, then the ellipsis.
    EXPECT_EQ(title, QStringLiteral("Tired. The whole afternoon went. by in a blur") + kEllipsis);
}

TEST(EntryTitle, LongLinesAreCutAtTheLastSpace)
{
    const QString exact = words(48);
    EXPECT_EQ(entryTitle(exact, 48), exact);

    const QString letters(60, u'a');
    EXPECT_EQ(entryTitle(letters, 48), QString(48, u'a') + kEllipsis);

    // A space right after the first character still counts.
    EXPECT_EQ(entryTitle(QStringLiteral("I ") + QString(60, u'b'), 48), QStringLiteral("I") + kEllipsis);
}

TEST(EntryTitle, FirstLineOnly)
{
    EXPECT_EQ(entryTitle(QStringLiteral("Groceries\nmilk, eggs"), 48), "Groceries");
    EXPECT_EQ(entryTitle(QStringLiteral("\n\n  Morning pages\r\nsecond"), 48), "Morning pages");
    EXPECT_EQ(entryTitle(QString::fromUtf8("Walk\u2028Lunch"), 48), "Walk");
    EXPECT_EQ(entryTitle(QString::fromUtf8("Walk\u0085Lunch"), 48), "Walk");
}

TEST(EntryTitle, CountsUserPerceivedCharacters)
{
    // 50 decomposed "é" (two code units each): 50 characters, not 100.
    const QString e = QString::fromUtf8("e\u0301");
    const QString fifty = e.repeated(50);
    EXPECT_EQ(entryTitle(fifty, 48), e.repeated(48) + kEllipsis);
    EXPECT_EQ(entryTitle(e.repeated(48), 48), e.repeated(48));

    // A family emoji is one character; a full stop at position 9 counts.
    const QString family = QString::fromUtf8("👨‍👩‍👧");
    const QString line = family.repeated(8) + QStringLiteral(". after");
    EXPECT_EQ(entryTitle(line, 48), family.repeated(8) + u'.');

    // A full stop carrying a combining mark is no terminator.
    const QString marked = QStringLiteral("Something") + QString::fromUtf8(".\u0301") + QStringLiteral(" end");
    EXPECT_EQ(entryTitle(marked, 48), marked);
}

TEST(EntryTitle, OddLimitsAndHugeTextsAreSafe)
{
    EXPECT_EQ(entryTitle(QStringLiteral("Hello there"), 0), kEllipsis);
    EXPECT_EQ(entryTitle(QStringLiteral("Hello there"), -7), kEllipsis);
    // With limit 0 a sentence ending at 9 to 12 still makes the title.
    EXPECT_EQ(entryTitle(QStringLiteral("Hello you. more"), 0), "Hello you.");
    EXPECT_EQ(entryTitle(QStringLiteral("Short"), std::numeric_limits<int>::max()), "Short");

    const QString megabyte(1 << 20, u'z');
    EXPECT_EQ(entryTitle(megabyte, 48), QString(48, u'z') + kEllipsis);
}

TEST(DisplayKeywords, ReadyThemesKeepTheirCaseAndOrder)
{
    const QStringList themes{QStringLiteral("  Work "), QStringLiteral("feeling"), QString(),
                             QStringLiteral("Family"), QStringLiteral("Work")};
    EXPECT_EQ(displayKeywords(themes, InsightStatus::Ready, {QStringLiteral("sleep")}, 3),
              (QStringList{"Work", "Family", "Work"}));
    EXPECT_EQ(displayKeywords(themes, InsightStatus::Ready, {}, 1), QStringList{"Work"});
    // Stop words match whatever their case.
    EXPECT_EQ(displayKeywords({QStringLiteral("TODAY"), QStringLiteral("Don't")}, InsightStatus::Ready,
                              {QStringLiteral("garden")}, 2),
              QStringList{"garden"});
}

TEST(DisplayKeywords, KeywordsWhenNoReadyThemeSurvives)
{
    const QStringList keywords{QStringLiteral("sleep"), QStringLiteral("day"), QStringLiteral("run"),
                               QStringLiteral("family")};
    EXPECT_EQ(displayKeywords({QStringLiteral("Work")}, InsightStatus::Pending, keywords, 2),
              (QStringList{"sleep", "family"}));
    EXPECT_EQ(displayKeywords({QStringLiteral("feeling"), QStringLiteral(" ")}, InsightStatus::Ready,
                              keywords, 3),
              (QStringList{"sleep", "family"}));
    EXPECT_TRUE(displayKeywords({}, InsightStatus::Failed, {QStringLiteral("day")}, 3).isEmpty());
}

TEST(DisplayKeywords, LengthIsCountedInCharacters)
{
    // Three characters in four code units: too short. Four characters in
    // five code units: long enough.
    const QString three = QString::fromUtf8("ab\u0301c");
    const QString four = QString::fromUtf8("cafe\u0301");
    EXPECT_EQ(displayKeywords({}, InsightStatus::None, {three, four}, 5), QStringList{four});
}

TEST(DisplayKeywords, NonPositiveLimitGivesNothing)
{
    EXPECT_TRUE(displayKeywords({QStringLiteral("Work")}, InsightStatus::Ready, {}, 0).isEmpty());
    EXPECT_TRUE(displayKeywords({}, InsightStatus::None, {QStringLiteral("garden")}, -1).isEmpty());
}

TEST(DisplayStopWords, HoldsTheFixedList)
{
    const QSet<QString> &words = displayStopWords();
    EXPECT_EQ(words.size(), 156);
    for (const char *w : {"own", "journal", "i'm", "there's", "a", "everything"})
        EXPECT_TRUE(words.contains(QString::fromLatin1(w))) << w;
    EXPECT_FALSE(words.contains(QStringLiteral("work")));
}

TEST(TopKeywords, HighestCountFirstTiesInWordOrder)
{
    KeywordFrequencies freq{{QStringLiteral("work"), 5}, {QStringLiteral("rain"), 3},
                            {QStringLiteral("coffee"), 3}};
    EXPECT_EQ(topKeywords(freq), (QStringList{"work", "coffee", "rain"}));

    for (int i = 0; i < 12; ++i)
        freq.insert(QStringLiteral("w%1").arg(i, 2, 10, QLatin1Char('0')), 1);
    const QStringList top = topKeywords(freq);
    ASSERT_EQ(top.size(), 8);
    EXPECT_EQ(top.mid(3), (QStringList{"w00", "w01", "w02", "w03", "w04"}));

    EXPECT_TRUE(topKeywords(KeywordFrequencies{}).isEmpty());
}

TEST(TopKeywords, ReadsTheEntrysStoredCounts)
{
    JournalEntry entry;
    entry.setKeywordFrequencies({{QStringLiteral("garden"), 2}, {QStringLiteral("bike"), 4}});
    EXPECT_EQ(topKeywords(entry), (QStringList{"bike", "garden"}));
    entry.setKeywordFrequenciesData(QByteArrayLiteral("{\"a\":\"3\"}"));
    EXPECT_TRUE(topKeywords(entry).isEmpty());
}

} // namespace zn
