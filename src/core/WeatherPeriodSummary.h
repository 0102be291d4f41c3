#pragma once

#include "core/CalendarProvider.h"
#include "core/WeatherLabel.h"
#include "core/WeatherPeriod.h"

#include <QDateTime>
#include <QList>
#include <QString>

namespace zn {

class JournalEntry;

// One chart point: the mean mood of one day's entries.
struct DailySentimentPoint {
    QString dayKey;
    QDateTime date; // start of that day
    double averageSentiment = 0.0;
    int entryCount = 0;

    const QString &id() const { return dayKey; }
    bool operator==(const DailySentimentPoint &) const = default;
};

struct KeywordTotal {
    QString word;
    int count = 0;
    bool operator==(const KeywordTotal &) const = default;
};

// A closed range of day starts for a chart's x axis.
struct DateRange {
    QDateTime lower;
    QDateTime upper;
    bool operator==(const DateRange &) const = default;
};

// The emotional weather of one rolling window.
struct WeatherPeriodSummary {
    WeatherPeriod period = WeatherPeriod::Week;
    DateInterval interval;
    double averageSentiment = 0.0;
    int entryCount = 0;
    WeatherLabel label = WeatherLabel::Overcast;
    QList<DailySentimentPoint> points;   // ascending day key
    QList<KeywordTotal> topKeywords;     // at most 12, highest total first

    // The summary of the entries whose timestamp lies in the period's window
    // ending with `now`'s day (both ends included). Draft rows are skipped.
    // The last result is remembered while the same entries are asked about
    // and none has changed. When the entries are a store's saved entries
    // (a live query's results), the store's per-day totals give the
    // summary without reading each entry's keywords. Main thread.
    static WeatherPeriodSummary summary(const QList<JournalEntry *> &entries, WeatherPeriod period,
                                        const CalendarProvider &calendar, const QDateTime &now);

    // The x-domain of a daily trend chart: the whole window, or, when the
    // points cover less than `sparseThreshold` of it, the days from one day
    // before the first point (at least `minimumDays` days) to the last day.
    DateRange chartXDomain(const CalendarProvider &calendar, double sparseThreshold = 0.8,
                           int minimumDays = 5, int leadDays = 1) const;

    bool operator==(const WeatherPeriodSummary &) const = default;
};

// Calendar days from the day of `from` to the day of `to`, both included;
// 0 when `from`'s day is later.
int inclusiveDayCount(const QDateTime &from, const QDateTime &to, const CalendarProvider &calendar);

namespace detail {
// How many summaries were computed rather than served from the memo (tests
// and benchmarks use it to tell the two apart).
quint64 weatherSummaryComputeCount();
// How many of those came from a store's day totals.
quint64 weatherSummaryFromTotalsCount();
// Empties the memo so a benchmark can time the full computation.
void resetWeatherSummaryMemo();
// The summary read entry by entry, never from the store's day totals nor
// the memo: what the totals must agree with.
WeatherPeriodSummary weatherSummaryFromEntries(const QList<JournalEntry *> &entries, WeatherPeriod period,
                                               const CalendarProvider &calendar, const QDateTime &now);
} // namespace detail

} // namespace zn
