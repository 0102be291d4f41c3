#include "core/WeatherPeriodSummary.h"

#include "core/JournalEntry.h"
#include "core/JournalQueries.h"
#include "core/StoreFactory.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace zn {
namespace {

const QTimeZone kBerlin("Europe/Berlin");

QDateTime at(int y, int m, int d, int h = 12, int min = 0, const QTimeZone &tz = kBerlin)
{
    return QDateTime(QDate(y, m, d), QTime(h, min), tz);
}

class WeatherSummaryTest : public ::testing::Test
{
protected:
    void SetUp() override { detail::resetWeatherSummaryMemo(); }

    JournalEntry *add(const QDateTime &when, double score, const KeywordFrequencies &keywords = {},
                      const QString &text = QStringLiteral("text"), bool draft = false)
    {
        m_owned.push_back(std::make_unique<JournalEntry>(QUuid::createUuid(), when, text, std::nullopt,
                                                         score, keywords, std::nullopt, QStringList{},
                                                         draft));
        m_entries.append(m_owned.back().get());
        return m_owned.back().get();
    }

    WeatherPeriodSummary summarize(WeatherPeriod period = WeatherPeriod::Week)
    {
        return WeatherPeriodSummary::summary(m_entries, period, m_calendar, m_now);
    }

    CalendarProvider m_calendar{QCalendar(), kBerlin};
    QDateTime m_now = at(2025, 3, 10, 15);
    std::vector<std::unique_ptr<JournalEntry>> m_owned;
    QList<JournalEntry *> m_entries;
};

} // namespace

TEST(WeatherPeriod, RawValuesAndDays)
{
    EXPECT_EQ(allWeatherPeriods(), (QList<WeatherPeriod>{WeatherPeriod::Week, WeatherPeriod::Month,
                                                          WeatherPeriod::Year}));
    EXPECT_EQ(rawValue(WeatherPeriod::Month), "month");
    EXPECT_EQ(weatherPeriodFromRaw(QStringLiteral("year")), WeatherPeriod::Year);
    EXPECT_FALSE(weatherPeriodFromRaw(QStringLiteral("Week")).has_value());
    EXPECT_FALSE(weatherPeriodFromRaw(QString()).has_value());
    EXPECT_EQ(dayCount(WeatherPeriod::Week), 7);
    EXPECT_EQ(dayCount(WeatherPeriod::Month), 30);
    EXPECT_EQ(dayCount(WeatherPeriod::Year), 365);
}

TEST_F(WeatherSummaryTest, EmptyWindow)
{
    add(at(2025, 2, 1), 0.9); // long before the window
    const WeatherPeriodSummary s = summarize();
    EXPECT_EQ(s.period, WeatherPeriod::Week);
    EXPECT_EQ(s.interval, m_calendar.trailingDaysInterval(7, m_now));
    EXPECT_EQ(s.entryCount, 0);
    EXPECT_EQ(s.averageSentiment, 0.0);
    EXPECT_EQ(s.label, WeatherLabel::Overcast);
    EXPECT_TRUE(s.points.isEmpty());
    EXPECT_TRUE(s.topKeywords.isEmpty());

    m_entries.clear();
    EXPECT_EQ(summarize(WeatherPeriod::Year).entryCount, 0);
}

TEST_F(WeatherSummaryTest, WindowIncludesBothEndsAndSkipsDrafts)
{
    const DateInterval window = m_calendar.trailingDaysInterval(7, m_now);
    ASSERT_EQ(window.start, at(2025, 3, 4, 0));
    ASSERT_EQ(window.end, at(2025, 3, 11, 0));
    add(window.start, 0.2);
    add(window.end, 0.4);                 // the first instant of tomorrow
    add(window.start.addMSecs(-1), -1.0); // a moment too early
    add(window.end.addMSecs(1), -1.0);
    add(at(2025, 3, 10, 9), -1.0, {}, QStringLiteral("draft"), true);
    m_entries.append(nullptr);
    add(QDateTime(), -1.0); // no timestamp at all

    const WeatherPeriodSummary s = summarize();
    EXPECT_EQ(s.entryCount, 2);
    EXPECT_DOUBLE_EQ(s.averageSentiment, 0.3);
    EXPECT_EQ(s.label, WeatherLabel::PartlyCloudy);
    ASSERT_EQ(s.points.size(), 2);
    EXPECT_EQ(s.points[0].dayKey, "2025-03-04");
    // The end instant belongs to the next day.
    EXPECT_EQ(s.points[1].dayKey, "2025-03-11");
}

TEST_F(WeatherSummaryTest, DailyPointsAreDayMeansInDayOrder)
{
    add(at(2025, 3, 9, 22), 0.5);
    add(at(2025, 3, 7, 8), -0.4);
    add(at(2025, 3, 9, 7), 0.1);
    add(at(2025, 3, 10, 0, 0), 1.0);
    add(at(2025, 3, 9, 23, 59), -0.3); // still the 9th in Berlin, the 10th in Moscow

    const WeatherPeriodSummary s = summarize();
    ASSERT_EQ(s.points.size(), 3);
    EXPECT_EQ(s.points[0].dayKey, "2025-03-07");
    EXPECT_EQ(s.points[1].dayKey, "2025-03-09");
    EXPECT_EQ(s.points[2].dayKey, "2025-03-10");
    EXPECT_EQ(s.points[1].entryCount, 3);
    EXPECT_NEAR(s.points[1].averageSentiment, 0.1, 1e-12);
    EXPECT_EQ(s.points[1].date, at(2025, 3, 9, 0));
    EXPECT_EQ(s.points[2].date, at(2025, 3, 10, 0));
    EXPECT_EQ(s.points[0].id(), "2025-03-07");
    EXPECT_EQ(s.entryCount, 5);
    EXPECT_NEAR(s.averageSentiment, 0.18, 1e-12);
}

TEST_F(WeatherSummaryTest, DaysFollowTheCalendarAcrossDaylightSaving)
{
    // Berlin moved its clocks forward on 30 March 2025.
    m_now = at(2025, 4, 2, 10);
    add(at(2025, 3, 30, 0, 30), 0.2);
    add(at(2025, 3, 30, 23, 30), 0.4);
    add(at(2025, 3, 31, 0, 10), -0.2);
    const WeatherPeriodSummary s = summarize();
    ASSERT_EQ(s.points.size(), 2);
    EXPECT_EQ(s.points[0].dayKey, "2025-03-30");
    EXPECT_EQ(s.points[0].entryCount, 2);
    EXPECT_EQ(s.points[1].dayKey, "2025-03-31");
}

TEST_F(WeatherSummaryTest, TopTwelveKeywordsSummedWithTiesInWordOrder)
{
    KeywordFrequencies a{{QStringLiteral("rain"), 2}, {QStringLiteral("coffee"), 1}};
    KeywordFrequencies b{{QStringLiteral("coffee"), 2}, {QStringLiteral("rain"), 1},
                         {QStringLiteral("work"), 5}};
    for (int i = 0; i < 10; ++i)
        b.insert(QStringLiteral("k%1").arg(i, 2, 10, QLatin1Char('0')), 2);
    b.insert(QStringLiteral("zzz"), 2); // the 13th word, dropped
    add(at(2025, 3, 8), 0.0, a);
    add(at(2025, 3, 9), 0.0, b);

    const WeatherPeriodSummary s = summarize();
    ASSERT_EQ(s.topKeywords.size(), 12);
    EXPECT_EQ(s.topKeywords[0], (KeywordTotal{"work", 5}));
    EXPECT_EQ(s.topKeywords[1], (KeywordTotal{"coffee", 3}));
    EXPECT_EQ(s.topKeywords[2], (KeywordTotal{"rain", 3}));
    EXPECT_EQ(s.topKeywords[3], (KeywordTotal{"k00", 2}));
    EXPECT_EQ(s.topKeywords[11], (KeywordTotal{"k08", 2}));
}

TEST_F(WeatherSummaryTest, KeywordDataInAnyValidFormIsCountedAndBadDataIsNot)
{
    // Hand-written JSON with spaces, unsorted keys, escapes and non-ASCII
    // words counts the same as the compact form.
    add(at(2025, 3, 8), 0.0)->setKeywordFrequenciesData(
        QByteArrayLiteral("{ \"zebra\" : 2, \"caf\\u00e9\": 1, \"a\\\"b\": 1 }"));
    add(at(2025, 3, 8), 0.0)->setKeywordFrequencies({{QString::fromUtf8("café"), 2},
                                                     {QStringLiteral("zebra"), 1}});
    add(at(2025, 3, 9), 0.0)->setKeywordFrequenciesData(QByteArrayLiteral("{\"zebra\":\"3\"}"));
    add(at(2025, 3, 9), 0.0)->setKeywordFrequenciesData(QByteArrayLiteral("{\"zebra\":1"));
    add(at(2025, 3, 9), 0.0)->setKeywordFrequenciesData(QByteArrayLiteral("[\"zebra\"]"));
    add(at(2025, 3, 9), 0.0)->setKeywordFrequenciesData(QByteArray());
    add(at(2025, 3, 9), 0.0)->setKeywordFrequenciesData(QByteArrayLiteral("{\"zebra\":01}"));

    const WeatherPeriodSummary s = summarize();
    ASSERT_EQ(s.topKeywords.size(), 3);
    EXPECT_EQ(s.topKeywords[0], (KeywordTotal{QString::fromUtf8("café"), 3}));
    EXPECT_EQ(s.topKeywords[1], (KeywordTotal{"zebra", 3}));
    EXPECT_EQ(s.topKeywords[2], (KeywordTotal{"a\"b", 1}));
}

TEST_F(WeatherSummaryTest, RepeatedKeysCountAsTheDecoderReadsThem)
{
    const QByteArray data = QByteArrayLiteral("{\"dup\":1,\"dup\":2}");
    add(at(2025, 3, 8), 0.0)->setKeywordFrequenciesData(data);
    const KeywordFrequencies decoded = decodeKeywordFrequencies(data);
    const WeatherPeriodSummary s = summarize();
    if (decoded.isEmpty()) {
        EXPECT_TRUE(s.topKeywords.isEmpty());
    } else {
        ASSERT_EQ(s.topKeywords.size(), 1);
        EXPECT_EQ(s.topKeywords[0].count, decoded.value(QStringLiteral("dup")));
    }
}

TEST_F(WeatherSummaryTest, HugeCountsSaturateInsteadOfOverflowing)
{
    add(at(2025, 3, 8), 0.0, {{QStringLiteral("big"), 2'000'000'000}});
    add(at(2025, 3, 9), 0.0, {{QStringLiteral("big"), 2'000'000'000}});
    const WeatherPeriodSummary s = summarize();
    ASSERT_EQ(s.topKeywords.size(), 1);
    EXPECT_EQ(s.topKeywords[0].count, std::numeric_limits<int>::max());
}

TEST_F(WeatherSummaryTest, MemoServesUnchangedInputs)
{
    JournalEntry *first = add(at(2025, 3, 8), 0.25, {{QStringLiteral("rain"), 1}});
    add(at(2025, 3, 9), -0.5, {{QStringLiteral("walk"), 2}});
    add(at(2024, 1, 1), 0.9); // outside the window
    const WeatherPeriodSummary s1 = summarize();
    const quint64 computed = detail::weatherSummaryComputeCount();

    // Later the same day, and through another list holding the same entries.
    m_now = at(2025, 3, 10, 23, 30);
    EXPECT_EQ(summarize(), s1);
    QList<JournalEntry *> copy;
    for (JournalEntry *e : m_entries)
        copy.append(e);
    EXPECT_EQ(WeatherPeriodSummary::summary(copy, WeatherPeriod::Week, m_calendar, m_now), s1);
    EXPECT_EQ(detail::weatherSummaryComputeCount(), computed);

    // -0.0 and 0.0 are one score.
    first->setSentimentScore(0.0);
    const WeatherPeriodSummary zero = summarize();
    first->setSentimentScore(-0.0);
    EXPECT_EQ(summarize(), zero);
}

TEST_F(WeatherSummaryTest, MemoRecomputesWhenAnInputChanges)
{
    JournalEntry *entry = add(at(2025, 3, 8), 0.25, {{QStringLiteral("rain"), 1}}, QStringLiteral("rain"));
    summarize();
    quint64 count = detail::weatherSummaryComputeCount();
    auto expectFresh = [&](const char *what) {
        summarize();
        EXPECT_EQ(detail::weatherSummaryComputeCount(), count + 1) << what;
        count = detail::weatherSummaryComputeCount();
    };

    entry->setSentimentScore(0.3);
    expectFresh("score");
    entry->setRawText(QStringLiteral("rain!"));
    expectFresh("text length");
    entry->setKeywordFrequencies({{QStringLiteral("snow"), 1}});
    expectFresh("keywords");
    entry->setTimestamp(at(2025, 3, 7));
    expectFresh("timestamp");
    add(at(2025, 3, 9), 0.1);
    expectFresh("entry added");
    // Destroyed and replaced, possibly at the very same address.
    m_entries.removeLast();
    m_owned.pop_back();
    add(at(2025, 3, 9), 0.1);
    expectFresh("entry replaced");
    m_entries.removeLast();
    expectFresh("entry removed");
    m_now = m_now.addDays(1);
    expectFresh("new day");
    summarize(WeatherPeriod::Month);
    EXPECT_EQ(detail::weatherSummaryComputeCount(), count + 1) << "period";
}

TEST_F(WeatherSummaryTest, MemoNeverServesStaleKeywordsOrDays)
{
    JournalEntry *entry = add(at(2025, 3, 8), 0.25, {{QStringLiteral("form"), 1}}, QStringLiteral("form"));
    EXPECT_EQ(summarize().topKeywords.value(0).word, "form");

    // A typo fix of the same length changes only the keywords.
    entry->setRawText(QStringLiteral("from"));
    entry->setKeywordFrequencies({{QStringLiteral("from"), 1}});
    EXPECT_EQ(summarize().topKeywords.value(0).word, "from");

    // A timestamp moved to another day inside the window.
    entry->setTimestamp(at(2025, 3, 5));
    const WeatherPeriodSummary moved = summarize();
    ASSERT_EQ(moved.points.size(), 1);
    EXPECT_EQ(moved.points[0].dayKey, "2025-03-05");

    // Another time zone is another calendar.
    const CalendarProvider tokyo(QCalendar(), QTimeZone("Asia/Tokyo"));
    entry->setTimestamp(at(2025, 3, 8, 20));
    summarize();
    const WeatherPeriodSummary there = WeatherPeriodSummary::summary(m_entries, WeatherPeriod::Week, tokyo, m_now);
    ASSERT_EQ(there.points.size(), 1);
    EXPECT_EQ(there.points[0].dayKey, "2025-03-09");
}

TEST_F(WeatherSummaryTest, ExtremeDatesAreHandled)
{
    m_now = at(1962, 7, 1);
    add(at(1962, 6, 30, 18), -0.7, {{QStringLiteral("storm"), 1}});
    WeatherPeriodSummary old = summarize();
    EXPECT_EQ(old.entryCount, 1);
    EXPECT_EQ(old.label, WeatherLabel::Stormy);
    EXPECT_EQ(old.points.value(0).dayKey, "1962-06-30");

    m_now = at(9000, 12, 31);
    add(at(9000, 12, 31, 23, 59), 0.7);
    WeatherPeriodSummary future = summarize(WeatherPeriod::Year);
    EXPECT_EQ(future.entryCount, 1);
    EXPECT_EQ(future.points.value(0).dayKey, "9000-12-31");

    EXPECT_EQ(WeatherPeriodSummary::summary(m_entries, WeatherPeriod::Week, m_calendar, QDateTime()).entryCount, 0);
}

TEST_F(WeatherSummaryTest, ChartDomainOfAWeek)
{
    const QDateTime today = at(2025, 3, 10, 0);
    auto domainWithFirstData = [&](int daysAgo) {
        detail::resetWeatherSummaryMemo();
        m_entries.clear();
        add(at(2025, 3, 10, 9).addDays(-daysAgo), 0.1);
        add(at(2025, 3, 10, 9), 0.1);
        return summarize().chartXDomain(m_calendar);
    };
    EXPECT_EQ(domainWithFirstData(0), (DateRange{today.addDays(-4), today}));
    EXPECT_EQ(domainWithFirstData(5), (DateRange{today.addDays(-6), today}));
    EXPECT_EQ(domainWithFirstData(4), (DateRange{today.addDays(-5), today}));
    EXPECT_EQ(domainWithFirstData(6), (DateRange{today.addDays(-6), today}));

    m_entries.clear();
    EXPECT_EQ(summarize().chartXDomain(m_calendar), (DateRange{today.addDays(-6), today}));
}

TEST_F(WeatherSummaryTest, ChartDomainOfAMonth)
{
    const QDateTime today = at(2025, 3, 10, 0);
    add(at(2025, 2, 28, 18), 0.3); // 10 days ago
    const WeatherPeriodSummary s = summarize(WeatherPeriod::Month);
    EXPECT_EQ(s.chartXDomain(m_calendar), (DateRange{at(2025, 2, 27, 0), today}));
    // A window of one day is never narrowed below itself.
    WeatherPeriodSummary oneDay = s;
    oneDay.interval = {today, at(2025, 3, 11, 0)};
    oneDay.points = {{QStringLiteral("2025-03-10"), today, 0.3, 1}};
    EXPECT_EQ(oneDay.chartXDomain(m_calendar), (DateRange{today, today}));
}

TEST(InclusiveDayCount, CountsCalendarDays)
{
    const CalendarProvider cal(QCalendar(), kBerlin);
    EXPECT_EQ(inclusiveDayCount(at(2025, 3, 10, 1), at(2025, 3, 10, 23), cal), 1);
    EXPECT_EQ(inclusiveDayCount(at(2025, 3, 11), at(2025, 3, 10), cal), 0);
    EXPECT_EQ(inclusiveDayCount(at(2025, 3, 29, 23), at(2025, 3, 31, 1), cal), 3); // across the DST change
    EXPECT_EQ(inclusiveDayCount(at(2024, 1, 1), at(2024, 12, 31), cal), 366);
    EXPECT_EQ(inclusiveDayCount(QDateTime(), at(2024, 12, 31), cal), 0);
}

TEST_F(WeatherSummaryTest, FollowsEntriesSavedThroughAnotherContext)
{
    test::TempDir dir;
    StoreError error;
    auto made = makeStoreContainerIn(dir.path(), &error);
    ASSERT_TRUE(made.has_value()) << error.description().toStdString();
    ModelContext *views = made->container->mainContext();
    for (double score : {0.5, 0.1}) {
        views->insert(std::make_unique<JournalEntry>(QUuid::createUuid(), at(2025, 3, 9), QStringLiteral("x"),
                                                     std::nullopt, score, KeywordFrequencies{},
                                                     std::nullopt, QStringList{}, false));
    }
    ASSERT_FALSE(views->save().has_value());
    const QList<JournalEntry *> entries = fetchAllEntries(*views);
    ASSERT_EQ(entries.size(), 2);
    EXPECT_DOUBLE_EQ(WeatherPeriodSummary::summary(entries, WeatherPeriod::Week, m_calendar, m_now).averageSentiment, 0.3);

    // A background writer rescores one entry; the views' objects take the
    // saved value and the next request sees it.
    ModelContext writer(made->container.get());
    JournalEntry *other = fetchEntry(writer, entries[0]->id());
    ASSERT_NE(other, nullptr);
    other->setSentimentScore(-0.9);
    ASSERT_FALSE(writer.save().has_value());
    test::waitUntil([&] { return entries[0]->sentimentScore() == -0.9; });
    const double expected = (-0.9 + entries[1]->sentimentScore()) / 2;
    EXPECT_DOUBLE_EQ(WeatherPeriodSummary::summary(entries, WeatherPeriod::Week, m_calendar, m_now).averageSentiment, expected);
}

TEST_F(WeatherSummaryTest, LocalClockTimesMatchInstants)
{
    // Entries stamped in the machine's own zone land on the same days as
    // the same instants given in UTC.
    const QByteArray oldTz = qgetenv("TZ");
    const bool hadTz = qEnvironmentVariableIsSet("TZ");
    qputenv("TZ", "Europe/Berlin");
    const CalendarProvider local(QCalendar(), QTimeZone::systemTimeZone());
    ASSERT_EQ(local.timeZone().id(), QByteArray("Europe/Berlin"));

    m_now = at(2025, 3, 31, 10); // the day after clocks went forward
    const DateInterval window = local.trailingDaysInterval(7, m_now);
    const QList<QDateTime> stamps{window.start, window.end, window.start.addMSecs(-1), window.end.addMSecs(1),
                                  at(2025, 3, 30, 1, 59), at(2025, 3, 30, 3, 0), at(2025, 3, 28, 23, 59)};
    QList<JournalEntry *> localEntries;
    QList<JournalEntry *> utcEntries;
    double score = -0.9;
    for (const QDateTime &stamp : stamps) {
        score += 0.2;
        localEntries.append(add(stamp.toLocalTime(), score));
        utcEntries.append(add(stamp.toUTC(), score));
    }
    const auto viaLocal = WeatherPeriodSummary::summary(localEntries, WeatherPeriod::Week, local, m_now);
    const auto viaUtc = WeatherPeriodSummary::summary(utcEntries, WeatherPeriod::Week, local, m_now);
    EXPECT_EQ(viaLocal.entryCount, 5);
    EXPECT_EQ(viaLocal.points, viaUtc.points);
    EXPECT_EQ(viaLocal.averageSentiment, viaUtc.averageSentiment);
    ASSERT_FALSE(viaLocal.points.isEmpty());
    EXPECT_EQ(viaLocal.points.last().dayKey, "2025-04-01");

    if (hadTz)
        qputenv("TZ", oldTz);
    else
        qunsetenv("TZ");
}

} // namespace zn
