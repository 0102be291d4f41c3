#include "core/JournalDayTotals.h"
#include "core/JournalQueries.h"
#include "core/StoreFactory.h"
#include "core/WeatherPeriodSummary.h"
#include "platform/store/StoreQuery.h"
#include "support/TestSupport.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <random>

using namespace zn;

namespace {

const QTimeZone kBerlin("Europe/Berlin");

// Everything a day holds, in words rather than ids, so totals built by two
// containers compare.
struct DayView {
    qint64 julianDay;
    QList<qint64> rows;
    double sum;
    QMap<QString, qint64> keywords;
    QDateTime start;
    QString key;
    bool operator==(const DayView &o) const
    {
        // Bit-equal sums: a day is always summed afresh in row order.
        return julianDay == o.julianDay && rows == o.rows && std::memcmp(&sum, &o.sum, sizeof sum) == 0
               && keywords == o.keywords && start == o.start && key == o.key;
    }
};

std::vector<DayView> viewOf(const JournalDayTotals &totals)
{
    std::vector<DayView> out;
    for (const JournalDayTotals::Day *day : totals.days(0, std::numeric_limits<qint64>::max())) {
        DayView v{day->julianDay, QList<qint64>(day->rowIds.begin(), day->rowIds.end()), day->sum, {}, day->start, day->key};
        for (const auto &[word, count] : day->keywords)
            v.keywords.insert(totals.words().word(word), count);
        out.push_back(v);
    }
    return out;
}

void expectSameSummary(const WeatherPeriodSummary &a, const WeatherPeriodSummary &b, const std::string &where)
{
    EXPECT_EQ(a.period, b.period) << where;
    EXPECT_EQ(a.interval, b.interval) << where;
    EXPECT_EQ(a.entryCount, b.entryCount) << where;
    EXPECT_NEAR(a.averageSentiment, b.averageSentiment, 1e-12) << where;
    EXPECT_EQ(a.label, b.label) << where;
    ASSERT_EQ(a.points.size(), b.points.size()) << where;
    for (qsizetype i = 0; i < a.points.size(); ++i) {
        EXPECT_EQ(a.points[i].dayKey, b.points[i].dayKey) << where;
        EXPECT_EQ(a.points[i].date, b.points[i].date) << where;
        EXPECT_EQ(a.points[i].entryCount, b.points[i].entryCount) << where;
        EXPECT_NEAR(a.points[i].averageSentiment, b.points[i].averageSentiment, 1e-12) << where;
    }
    EXPECT_EQ(a.topKeywords, b.topKeywords) << where;
}

class StoreDayTotalsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        detail::resetWeatherSummaryMemo();
        StoreError error;
        auto made = makeStoreContainerIn(dir.path(), &error);
        ASSERT_TRUE(made) << error.description().toStdString();
        container = made->container;
    }

    JournalEntry *add(ModelContext &context, const QDateTime &when, double score, const KeywordFrequencies &keywords,
                      bool draft = false)
    {
        return context.insert(std::make_unique<JournalEntry>(QUuid::createUuid(), when, QStringLiteral("text"),
                                                             std::nullopt, score, keywords, std::nullopt,
                                                             QStringList{}, draft));
    }

    QDateTime at(int y, int m, int d, int h = 12, int min = 0) const { return QDateTime(QDate(y, m, d), QTime(h, min), kBerlin); }

    test::TempDir dir;
    std::shared_ptr<ModelContainer> container;
    CalendarProvider calendar{QCalendar(), kBerlin};
    QDateTime now = QDateTime(QDate(2025, 3, 30), QTime(15, 0), kBerlin); // the day clocks go forward
};

} // namespace

TEST(ZoneDays, AgreeWithTheTimeZoneDatabaseAroundClockChanges)
{
    // Zones with summer time, a half-hour change, a skipped day and none.
    std::mt19937_64 rng(99);
    for (const char *id : {"Europe/Berlin", "America/New_York", "Australia/Lord_Howe", "Pacific/Apia", "UTC",
                           "Asia/Kolkata"}) {
        const QTimeZone zone(id);
        ASSERT_TRUE(zone.isValid()) << id;
        ZoneDays days(zone);
        const qint64 from = QDateTime(QDate(2009, 1, 1), QTime(0, 0), Qt::UTC).toMSecsSinceEpoch();
        const qint64 span = qint64(16) * 365 * 86'400'000;
        std::vector<qint64> instants;
        for (int i = 0; i < 3000; ++i)
            instants.push_back(from + qint64(rng() % quint64(span)));
        // Every clock change, the millisecond before it and its local midnights.
        for (QTimeZone::OffsetData t = zone.nextTransition(QDateTime::fromMSecsSinceEpoch(from, Qt::UTC));
             t.atUtc.isValid() && t.atUtc.toMSecsSinceEpoch() < from + span; t = zone.nextTransition(t.atUtc)) {
            const qint64 ms = t.atUtc.toMSecsSinceEpoch();
            instants.insert(instants.end(), {ms, ms - 1, ms + 1});
            const QDate local = t.atUtc.toTimeZone(zone).date();
            instants.push_back(local.startOfDay(zone).toMSecsSinceEpoch());
            instants.push_back(local.addDays(1).startOfDay(zone).toMSecsSinceEpoch() - 1);
        }
        for (qint64 ms : instants) {
            const QDate expected = QDateTime::fromMSecsSinceEpoch(ms, zone).date();
            ASSERT_EQ(days.julianDay(ms), expected.toJulianDay()) << id << " at " << ms;
            ASSERT_EQ(days.startOfDay(expected.toJulianDay()), expected.startOfDay(zone)) << id << " on " << ms;
        }
    }
}

TEST_F(StoreDayTotalsTest, TotalsEqualAFreshBuildAndSummariesEqualReadingEveryEntry)
{
    // A seeded history of inserts, edits of score, time, keywords and draft
    // flag, deletes and rollbacks from two contexts. After every save the
    // kept totals equal totals built from scratch on a second container,
    // and the summaries of the views' query equal reading the entries.
    ModelContext *views = container->mainContext();
    ModelContext writer(container.get());
    StoreQuery query(views, JournalEntry::entityDescriptor(), allEntriesNewestFirstDescriptor());
    std::mt19937 rng(4242);
    const auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    const QStringList words{QStringLiteral("rain"), QStringLiteral("walk"), QStringLiteral("café"),
                            QStringLiteral("tea"), QStringLiteral("work")};
    const auto someKeywords = [&] {
        KeywordFrequencies k;
        for (int i = pick(4); i > 0; --i)
            k.insert(words[pick(int(words.size()))], 1 + pick(3));
        return k;
    };
    const auto someTime = [&] {
        // Mostly the last year, some right at midnight (the window's end
        // instant among them), a few long ago.
        const int daysAgo = pick(10) == 0 ? 400 + pick(400) : pick(370) - 2;
        const QDate day = now.date().addDays(-daysAgo);
        return pick(5) == 0 ? day.startOfDay(kBerlin) : QDateTime(day, QTime(pick(24), pick(60)), kBerlin);
    };

    int checks = 0;
    const quint64 fromTotals = detail::weatherSummaryFromTotalsCount();
    for (int step = 0; step < 400; ++step) {
        ModelContext &context = pick(2) ? *views : writer;
        const QList<JournalEntry *> rows = fetchAllEntries(context);
        const int action = rows.isEmpty() ? 0 : pick(9);
        if (action <= 1) {
            add(context, someTime(), (pick(21) - 10) / 10.0, someKeywords(), pick(6) == 0);
        } else if (action == 2) {
            rows[pick(int(rows.size()))]->setSentimentScore((pick(21) - 10) / 10.0);
        } else if (action == 3) {
            rows[pick(int(rows.size()))]->setTimestamp(someTime());
        } else if (action == 4) {
            rows[pick(int(rows.size()))]->setKeywordFrequencies(someKeywords());
        } else if (action == 5) {
            JournalEntry *e = rows[pick(int(rows.size()))];
            e->setIsDraft(!e->isDraft());
        } else if (action == 6) {
            context.remove(rows[pick(int(rows.size()))]);
        } else if (action == 7) {
            context.rollback();
        } else {
            ASSERT_FALSE(context.save()) << "step " << step;
        }
        if (action < 7 || views->hasChanges())
            continue;

        // Any pending change in the writer is invisible to the views, so
        // the views' saved entries are the store's.
        JournalDayTotals &kept = JournalDayTotals::of(*container);
        ASSERT_TRUE(kept.refresh(calendar));
        auto second = makeStoreContainerIn(dir.path());
        ASSERT_TRUE(second);
        JournalDayTotals &fresh = JournalDayTotals::of(*second->container);
        ASSERT_TRUE(fresh.refresh(calendar));
        ASSERT_EQ(viewOf(kept), viewOf(fresh)) << "step " << step;

        const QList<JournalEntry *> entries = query.resultsAs<JournalEntry>();
        for (WeatherPeriod period : allWeatherPeriods()) {
            const auto quick = WeatherPeriodSummary::summary(entries, period, calendar, now);
            const auto slow = detail::weatherSummaryFromEntries(entries, period, calendar, now);
            expectSameSummary(quick, slow, "step " + std::to_string(step) + " " + rawValue(period).toStdString());
        }
        ++checks;
    }
    EXPECT_GT(checks, 20);
    EXPECT_EQ(detail::weatherSummaryFromTotalsCount() - fromTotals, quint64(checks) * 3);
}

TEST_F(StoreDayTotalsTest, SummaryOfAQueryIsReadFromTheTotals)
{
    ModelContext *views = container->mainContext();
    add(*views, at(2025, 3, 29, 20), 0.5, {{QStringLiteral("rain"), 2}});
    add(*views, at(2025, 3, 31, 0), -0.5, {{QStringLiteral("tea"), 1}}); // exactly the window's end
    add(*views, at(2025, 3, 31, 0, 1), -1.0, {{QStringLiteral("late"), 9}}); // just after it
    add(*views, at(2025, 3, 30, 9), 1.0, {{QStringLiteral("walk"), 1}}, true); // a draft
    ASSERT_FALSE(views->save());
    StoreQuery query(views, JournalEntry::entityDescriptor(), allEntriesNewestFirstDescriptor());
    const QList<JournalEntry *> entries = query.resultsAs<JournalEntry>();

    const quint64 fromTotals = detail::weatherSummaryFromTotalsCount();
    const auto summary = WeatherPeriodSummary::summary(entries, WeatherPeriod::Week, calendar, now);
    EXPECT_EQ(detail::weatherSummaryFromTotalsCount(), fromTotals + 1);
    EXPECT_EQ(summary.entryCount, 2);
    EXPECT_DOUBLE_EQ(summary.averageSentiment, 0.0);
    ASSERT_EQ(summary.points.size(), 2);
    EXPECT_EQ(summary.points[1].dayKey, "2025-03-31");
    EXPECT_EQ(summary.points[1].date, at(2025, 3, 31, 0));
    EXPECT_EQ(summary.topKeywords, (QList<KeywordTotal>{{"rain", 2}, {"tea", 1}}));
    expectSameSummary(summary, detail::weatherSummaryFromEntries(entries, WeatherPeriod::Week, calendar, now), "week");

    // Unsaved text being typed does not matter to a summary.
    entries.first()->setRawText(QStringLiteral("typing…"));
    detail::resetWeatherSummaryMemo();
    WeatherPeriodSummary::summary(entries, WeatherPeriod::Week, calendar, now);
    EXPECT_EQ(detail::weatherSummaryFromTotalsCount(), fromTotals + 2);

    // A list that is not the store's window (a subset, a repeat, an unsaved
    // edit) is read entry by entry, with the same rules.
    QList<JournalEntry *> subset = entries;
    subset.removeAt(1);
    expectSameSummary(WeatherPeriodSummary::summary(subset, WeatherPeriod::Week, calendar, now),
                      detail::weatherSummaryFromEntries(subset, WeatherPeriod::Week, calendar, now), "subset");
    QList<JournalEntry *> twice = entries;
    twice.append(entries[1]);
    EXPECT_EQ(WeatherPeriodSummary::summary(twice, WeatherPeriod::Week, calendar, now).entryCount,
              detail::weatherSummaryFromEntries(twice, WeatherPeriod::Week, calendar, now).entryCount);
    entries.last()->setSentimentScore(0.9);
    expectSameSummary(WeatherPeriodSummary::summary(entries, WeatherPeriod::Week, calendar, now),
                      detail::weatherSummaryFromEntries(entries, WeatherPeriod::Week, calendar, now), "unsaved");
    EXPECT_EQ(detail::weatherSummaryFromTotalsCount(), fromTotals + 2);
}

TEST_F(StoreDayTotalsTest, AfterARestartTheTotalsAreBuiltFromTheWindowsEntries)
{
    // A journal written earlier: entries, drafts, keywords in and out of
    // the compact form, a deleted row, times at midnight and long ago.
    {
        ModelContext writer(container.get());
        std::mt19937 rng(77);
        const auto pick = [&](int n) { return int(rng() % unsigned(n)); };
        for (int i = 0; i < 300; ++i) {
            const QDate day = now.date().addDays(-(pick(12) == 0 ? 500 : pick(380) - 2));
            const QDateTime when = pick(6) == 0 ? day.startOfDay(kBerlin) : QDateTime(day, QTime(pick(24), 0), kBerlin);
            add(writer, when, (pick(21) - 10) / 10.0,
                {{QStringLiteral("rain"), 1 + pick(3)}, {pick(2) ? QStringLiteral("café") : QStringLiteral("tea"), 1}},
                pick(7) == 0);
        }
        ASSERT_FALSE(writer.save());
        writer.remove(fetchAllEntries(writer).first());
        ASSERT_FALSE(writer.save());
    }

    // The program starts again: a new container, the window's query, and
    // its first summary, which builds the totals from the query's entries.
    detail::resetWeatherSummaryMemo();
    auto restarted = makeStoreContainerIn(dir.path());
    ASSERT_TRUE(restarted);
    ModelContext *views = restarted->container->mainContext();
    StoreQuery query(views, JournalEntry::entityDescriptor(), allEntriesNewestFirstDescriptor());
    const auto fromStore = [&] {
        auto other = makeStoreContainerIn(dir.path());
        JournalDayTotals &totals = JournalDayTotals::of(*other->container);
        EXPECT_TRUE(totals.refresh(calendar));
        return viewOf(totals);
    };
    const quint64 fromTotals = detail::weatherSummaryFromTotalsCount();
    for (WeatherPeriod period : allWeatherPeriods()) {
        const QList<JournalEntry *> entries = query.resultsAs<JournalEntry>();
        expectSameSummary(WeatherPeriodSummary::summary(entries, period, calendar, now),
                          detail::weatherSummaryFromEntries(entries, period, calendar, now), "first");
    }
    EXPECT_EQ(detail::weatherSummaryFromTotalsCount(), fromTotals + 3);
    JournalDayTotals &kept = JournalDayTotals::of(*restarted->container);
    EXPECT_EQ(viewOf(kept), fromStore());

    // Saves after that are read row by row, as before.
    JournalEntry *edited = query.resultsAs<JournalEntry>().at(5);
    edited->setSentimentScore(0.75);
    edited->setKeywordFrequencies({{QStringLiteral("sun"), 4}});
    views->remove(query.resultsAs<JournalEntry>().at(9));
    ASSERT_FALSE(views->save());
    ASSERT_TRUE(kept.refresh(calendar));
    EXPECT_EQ(viewOf(kept), fromStore());
    const QList<JournalEntry *> entries = query.resultsAs<JournalEntry>();
    expectSameSummary(WeatherPeriodSummary::summary(entries, WeatherPeriod::Year, calendar, now),
                      detail::weatherSummaryFromEntries(entries, WeatherPeriod::Year, calendar, now), "after a save");

    // Built directly from the entries on yet another container, the totals
    // are the store's too.
    auto third = makeStoreContainerIn(dir.path());
    StoreQuery thirdQuery(third->container->mainContext(), JournalEntry::entityDescriptor(),
                          allEntriesNewestFirstDescriptor());
    JournalDayTotals &direct = JournalDayTotals::of(*third->container);
    ASSERT_TRUE(direct.refresh(calendar, thirdQuery.resultsAs<JournalEntry>()));
    EXPECT_EQ(viewOf(direct), fromStore());
}

// A window's query holds only the newest entries until the window appears;
// a summary of those is theirs, never taken for the whole journal's, and
// the totals kept beside the store stay the store's.
TEST_F(StoreDayTotalsTest, AQueryHoldingItsFirstRowsOnlyIsNotTakenForTheWholeJournal)
{
    {
        ModelContext writer(container.get());
        for (int i = 0; i < 60; ++i)
            add(writer, now.addSecs(-i * 5 * 3600), (i % 11 - 5) / 5.0, {{QStringLiteral("rain"), 1 + i % 3}});
        ASSERT_FALSE(writer.save());
    }
    detail::resetWeatherSummaryMemo();
    auto restarted = makeStoreContainerIn(dir.path());
    ASSERT_TRUE(restarted);
    StoreQuery query(restarted->container->mainContext(), JournalEntry::entityDescriptor(),
                     allEntriesNewestFirstDescriptor(), 10);
    ASSERT_FALSE(query.isComplete());
    const QList<JournalEntry *> first = query.resultsAs<JournalEntry>();
    ASSERT_EQ(first.size(), 10);
    EXPECT_EQ(first.first()->timestamp(), now);
    for (WeatherPeriod period : allWeatherPeriods())
        expectSameSummary(WeatherPeriodSummary::summary(first, period, calendar, now),
                          detail::weatherSummaryFromEntries(first, period, calendar, now), "first rows");
    auto other = makeStoreContainerIn(dir.path());
    JournalDayTotals &fromStore = JournalDayTotals::of(*other->container);
    ASSERT_TRUE(fromStore.refresh(calendar));
    EXPECT_EQ(viewOf(JournalDayTotals::of(*restarted->container)), viewOf(fromStore));

    QSignalSpy reset(&query, &StoreQuery::resultsReset);
    query.complete();
    EXPECT_TRUE(query.isComplete());
    EXPECT_EQ(reset.count(), 1);
    const QList<JournalEntry *> all = query.resultsAs<JournalEntry>();
    ASSERT_EQ(all.size(), 60);
    EXPECT_TRUE(std::equal(first.cbegin(), first.cend(), all.cbegin())); // the same objects, in place
    const quint64 fromTotals = detail::weatherSummaryFromTotalsCount();
    expectSameSummary(WeatherPeriodSummary::summary(all, WeatherPeriod::Year, calendar, now),
                      detail::weatherSummaryFromEntries(all, WeatherPeriod::Year, calendar, now), "every row");
    EXPECT_EQ(detail::weatherSummaryFromTotalsCount(), fromTotals + 1);
    query.complete(); // nothing more to fetch
    EXPECT_EQ(reset.count(), 1);
}
