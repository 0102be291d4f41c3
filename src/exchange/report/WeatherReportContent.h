#pragma once

#include "core/CalendarProvider.h"
#include "core/WeatherPeriodSummary.h"

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>

#include <optional>

namespace zn {

class JournalEntry;

// One day of a report window's trend chart.
struct WeatherPDFDailyPoint {
    QString dayKey;   // "%04d-%02d-%02d"
    QDateTime date;   // start of that day
    double averageScore = 0.0;
    int entryCount = 0;
    bool operator==(const WeatherPDFDailyPoint &) const = default;
};

// One keyword row: the window's total for the word and the mean mood of the
// entries that list it.
struct WeatherPDFKeyword {
    QString word;
    int count = 0;
    double averageSentiment = 0.0;
    bool operator==(const WeatherPDFKeyword &) const = default;
};

// One bar of the mood distribution.
struct WeatherPDFMoodBucket {
    QString label;                       // a weather title
    int count = 0;                       // at least 1
    double representativeSentiment = 0.0; // picks the bar colour
    bool operator==(const WeatherPDFMoodBucket &) const = default;
};

struct WeatherPDFTheme {
    QString label;
    int count = 0;
    bool operator==(const WeatherPDFTheme &) const = default;
};

// Everything the PDF prints for one rolling window, already worded and
// counted, so the renderer only lays it out.
struct EmotionalWeatherReportContent {
    QString periodTitle;
    QString rangeLabel;
    QString weatherLabel;
    QString trendBlurb;
    double averageSentiment = 0.0;
    int entryCount = 0;
    std::optional<QString> reflectionText;
    std::optional<QString> reflectionSectionTitle;
    QList<WeatherPDFDailyPoint> dailyPoints;
    std::optional<DateRange> chartXDomain;
    std::optional<QString> chartSpanLabel;
    QList<WeatherPDFKeyword> keywords;            // at most 10
    QList<WeatherPDFTheme> themes;                // at most 8
    QList<WeatherPDFMoodBucket> moodDistribution; // at most 5, non-empty buckets only

    bool operator==(const EmotionalWeatherReportContent &) const = default;
};

// The report windows (past 7, 30, 365 days, in that order) that hold at
// least one saved entry; drafts never count. `reflectionText` is the current
// 7-day reflection and appears only on the 7-day window. Never fails, writes
// nothing. Main thread (it reads stored entries).
QList<EmotionalWeatherReportContent> makeWeatherReportContents(
    const QList<JournalEntry *> &entries, const std::optional<QString> &reflectionText,
    const QDateTime &now, const CalendarProvider &calendar = CalendarProvider::shared(),
    const QLocale &locale = QLocale());

QString trendBlurb(WeatherLabel label);

} // namespace zn
