#include "core/JournalEntry.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace zn;

TEST(JournalEntry, NewEntryHoldsTheDefaults)
{
    const QDateTime before = QDateTime::currentDateTime();
    JournalEntry e;
    EXPECT_FALSE(e.id().isNull());
    EXPECT_NE(JournalEntry().id(), e.id());
    EXPECT_GE(e.timestamp(), before);
    EXPECT_LE(e.timestamp(), QDateTime::currentDateTime());
    EXPECT_EQ(e.rawText(), "");
    EXPECT_FALSE(e.duration());
    EXPECT_EQ(e.sentimentScore(), 0.0);
    EXPECT_TRUE(e.keywordFrequenciesData().isEmpty());
    EXPECT_TRUE(e.keywordFrequencies().isEmpty());
    EXPECT_FALSE(e.moodLabel());
    EXPECT_TRUE(e.tags().isEmpty());
    EXPECT_FALSE(e.isDraft());
    EXPECT_FALSE(e.insightText());
    EXPECT_FALSE(e.insightGeneratedAt());
    EXPECT_EQ(e.insightStatusRaw(), "none");
    EXPECT_EQ(e.insightStatus(), InsightStatus::None);
    EXPECT_FALSE(e.insightFailureMessage());
    EXPECT_TRUE(e.themes().isEmpty());
    EXPECT_TRUE(e.insightKeyPoints().isEmpty());
    EXPECT_FALSE(e.insightEmotionalTone());
    EXPECT_FALSE(e.insightOverallSentiment());
    EXPECT_FALSE(e.insightClosingFocus());
    EXPECT_FALSE(e.insightOverallScore());
    EXPECT_EQ(e.insightSchemaVersion(), 0);
}

TEST(JournalEntry, DesignatedConstructorSetsItsNineValuesOnly)
{
    const QUuid id = QUuid::createUuid();
    const QDateTime when = QDateTime::fromMSecsSinceEpoch(1'700'000'000'123);
    JournalEntry e(id, when, QStringLiteral("text"), 12.5, 1.7, {{"rain", 3}}, std::nullopt, {}, true);
    EXPECT_EQ(e.id(), id);
    EXPECT_EQ(e.timestamp(), when);
    EXPECT_EQ(e.rawText(), "text");
    EXPECT_EQ(e.duration(), 12.5);
    EXPECT_EQ(e.sentimentScore(), 1.7); // stored unclamped
    EXPECT_EQ(e.keywordFrequenciesData(), "{\"rain\":3}");
    EXPECT_EQ(e.keywordFrequencies(), (KeywordFrequencies{{"rain", 3}}));
    EXPECT_TRUE(e.isDraft());
    EXPECT_EQ(e.insightStatus(), InsightStatus::None);
    EXPECT_EQ(e.insightSchemaVersion(), 0);
}

TEST(JournalEntry, KeywordTablesDecodeWholeOrNotAtAll)
{
    EXPECT_TRUE(decodeKeywordFrequencies({}).isEmpty());
    EXPECT_EQ(decodeKeywordFrequencies("{\"a\":3,\"b\":1}"), (KeywordFrequencies{{"a", 3}, {"b", 1}}));
    EXPECT_EQ(decodeKeywordFrequencies("{\"a\":3.0}"), (KeywordFrequencies{{"a", 3}}));
    // Any bad value spoils the table; a careless reader would keep "b".
    for (const char *bad : {"{\"a\":\"3\",\"b\":1}", "{\"a\":3.5,\"b\":1}", "{\"a\":null,\"b\":1}", "{\"a\":true}",
                            "{\"a\":1e300}", "[1,2]", "{\"a\":1", "nonsense", "\"x\"", "{\"a\":[1]}"}) {
        EXPECT_TRUE(decodeKeywordFrequencies(bad).isEmpty()) << bad;
    }
}

TEST(JournalEntry, EmptyKeywordTableIsStoredAsTwoBytes)
{
    JournalEntry e;
    e.setKeywordFrequencies({});
    EXPECT_EQ(e.keywordFrequenciesData(), "{}");
    EXPECT_TRUE(e.keywordFrequencies().isEmpty());
}

TEST(JournalEntry, StringListsDecodeWholeOrNotAtAll)
{
    JournalEntry e;
    e.setThemes({QStringLiteral("work"), QStringLiteral("“rest” \"quoted\"")});
    EXPECT_EQ(e.themes(), (QStringList{"work", "“rest” \"quoted\""}));
    e.setInsightKeyPoints({});
    EXPECT_EQ(e.insightKeyPointsData(), "[]");
    EXPECT_TRUE(e.insightKeyPoints().isEmpty());
    for (const char *bad : {"{\"a\":\"b\"}", "[\"x\",1]", "[\"x\",null]", "[\"x\"", "3"}) {
        e.setThemesData(bad);
        EXPECT_TRUE(e.themes().isEmpty()) << bad;
        e.setInsightKeyPointsData(bad);
        EXPECT_TRUE(e.insightKeyPoints().isEmpty()) << bad;
    }
}

TEST(JournalEntry, InsightTests)
{
    struct Case {
        const char *status;
        int version;
        std::optional<QString> text;
        std::optional<QString> tone;
        bool current;
        bool complete;
    };
    const QList<Case> cases{
        {"ready", 6, QStringLiteral("  \n"), QStringLiteral("calm"), false, false},
        {"ready", 5, QStringLiteral("text"), QStringLiteral("calm"), false, true},
        {"ready", 7, QStringLiteral("text"), std::nullopt, true, false},
        {"ready", 6, QStringLiteral("text"), QStringLiteral("\u3000"), true, false},
        {"ready", 6, std::nullopt, QStringLiteral("calm"), false, false},
        {"Ready", 6, QStringLiteral("text"), QStringLiteral("calm"), false, false},
        {"failed", 6, QStringLiteral("text"), QStringLiteral("calm"), false, false},
    };
    for (const Case &c : cases) {
        JournalEntry e;
        e.setInsightStatusRaw(QString::fromLatin1(c.status));
        e.setInsightSchemaVersion(c.version);
        e.setInsightText(c.text);
        e.setInsightEmotionalTone(c.tone);
        EXPECT_EQ(e.hasCurrentInsight(), c.current) << c.status << " v" << c.version;
        EXPECT_EQ(e.hasCompleteInsight(), c.complete) << c.status << " v" << c.version;
    }
}

TEST(JournalEntry, EveryWriteNotifies)
{
    JournalEntry e;
    QSignalSpy spy(&e, &PersistentModel::changed);
    e.setRawText(QStringLiteral("same"));
    e.setRawText(QStringLiteral("same"));
    e.setSentimentScore(0.0);
    e.setKeywordFrequencies({{"a", 1}});
    e.setInsightStatus(InsightStatus::Ready);
    EXPECT_EQ(spy.count(), 5);
    EXPECT_EQ(e.insightStatusRaw(), "ready");
}

TEST(JournalEntry, DatesShowOnTheJournalsWallClock)
{
    const QTimeZone berlin("Europe/Berlin");
    ASSERT_TRUE(berlin.isValid());
    // 01:30 UTC on the night clocks go forward: 03:30 summer time in Berlin.
    const QDateTime instant = QDateTime::fromMSecsSinceEpoch(1'743'298'200'000, Qt::UTC);
    const QDateTime shown = inJournalTimeZone(instant, berlin);
    EXPECT_EQ(shown, instant);
    EXPECT_EQ(shown.date(), QDate(2025, 3, 30));
    EXPECT_EQ(shown.time(), QTime(3, 30));
    // Calendar arithmetic on what the accessors give keeps the wall clock.
    EXPECT_EQ(shown.addDays(-1).time(), QTime(3, 30));
    EXPECT_EQ(shown.addDays(-1).offsetFromUtc(), 3600);

    // A zone Qt cannot resolve must not lose the instant.
    const QDateTime fallback = inJournalTimeZone(instant, QTimeZone());
    ASSERT_TRUE(fallback.isValid());
    EXPECT_EQ(fallback, instant);
    EXPECT_FALSE(inJournalTimeZone(QDateTime(), berlin).isValid());

    // An invalid optional date is absent, as it will be once stored.
    JournalEntry e;
    e.setInsightGeneratedAt(QDateTime());
    EXPECT_FALSE(e.insightGeneratedAt());
}
