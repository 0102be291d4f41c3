#include "ReportTestSupport.h"

#include "exchange/report/DateIntervalText.h"
#include "exchange/report/KeywordKeys.h"
#include "exchange/report/WeatherReportContent.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <limits>

namespace zn {
namespace {

using test::ReportJournal;
using test::reportDay;

QStringList titles(const QList<EmotionalWeatherReportContent> &contents)
{
    QStringList out;
    for (const auto &c : contents)
        out.append(c.periodTitle);
    return out;
}

} // namespace

TEST(ReportContent, WindowsAreThoseHoldingSavedEntries)
{
    ReportJournal j;
    EXPECT_TRUE(j.contents().isEmpty());

    j.add(reportDay(2025, 1, 20), 0.5); // 49 days ago: the year only
    auto contents = j.contents();
    ASSERT_EQ(titles(contents), QStringList{"Past 365 days"});
    EXPECT_EQ(contents[0].entryCount, 1);

    j.addDaysAgo(0, 0.5);
    EXPECT_EQ(titles(j.contents()), (QStringList{"Past 7 days", "Past 30 days", "Past 365 days"}));

    // A clock without a time finds no window rather than failing.
    EXPECT_TRUE(makeWeatherReportContents(j.entries, std::nullopt, QDateTime(), j.calendar, j.locale).isEmpty());

    // Older than a year and drafts never make a window.
    ReportJournal old;
    old.add(reportDay(2024, 3, 9), 0.5);
    old.addDaysAgo(1, 0.9)->setIsDraft(true);
    EXPECT_TRUE(old.contents().isEmpty());
}

TEST(ReportContent, DraftsNeverCount)
{
    ReportJournal j;
    j.addDaysAgo(1, 0.1);
    j.add(j.now.addSecs(-60), -0.9, {{"draft", 5}}, {"Draft theme"}, true);
    const auto week = j.contents().first();
    EXPECT_EQ(week.entryCount, 1);
    EXPECT_DOUBLE_EQ(week.averageSentiment, 0.1);
    ASSERT_EQ(week.moodDistribution.size(), 1);
    EXPECT_EQ(week.moodDistribution[0].label, "Overcast");
    EXPECT_EQ(week.moodDistribution[0].count, 1);
    EXPECT_EQ(week.moodDistribution[0].representativeSentiment, 0.0);
    EXPECT_TRUE(week.keywords.isEmpty());
    EXPECT_TRUE(week.themes.isEmpty());
}

TEST(ReportContent, ReflectionOnlyOnTheWeekTrimmedAndNotBlank)
{
    ReportJournal j;
    j.addDaysAgo(2, 0.3);
    auto contents = j.contents(QStringLiteral("  \n A calmer week.\n\t"));
    ASSERT_EQ(contents.size(), 3);
    EXPECT_EQ(contents[0].reflectionText, QStringLiteral("A calmer week."));
    EXPECT_EQ(contents[0].reflectionSectionTitle, QStringLiteral("Past 7 days reflection"));
    for (int i : {1, 2}) {
        EXPECT_FALSE(contents[i].reflectionText.has_value());
        EXPECT_FALSE(contents[i].reflectionSectionTitle.has_value());
    }

    contents = j.contents(QStringLiteral(" \n\u00a0\u2003\r\n"));
    EXPECT_FALSE(contents[0].reflectionText.has_value());
    EXPECT_FALSE(contents[0].reflectionSectionTitle.has_value());
    EXPECT_FALSE(j.contents(std::nullopt)[0].reflectionText.has_value());

    // Without a week window the reflection appears nowhere.
    ReportJournal monthOnly;
    monthOnly.addDaysAgo(20, 0.3);
    contents = monthOnly.contents(QStringLiteral("A reflection"));
    ASSERT_EQ(titles(contents), (QStringList{"Past 30 days", "Past 365 days"}));
    EXPECT_FALSE(contents[0].reflectionText.has_value());
    EXPECT_FALSE(contents[1].reflectionText.has_value());
}

TEST(ReportContent, WeatherAndBlurbFollowTheAverageAtEachThreshold)
{
    const struct {
        double score;
        const char *label;
        const char *blurb;
    } cases[] = {
        {0.6, "Sunny", "Mostly brighter moments in this window."},
        {0.2, "Partly cloudy", "A mix of brighter and quieter moments."},
        {0.1999, "Overcast", "A steadier, quieter stretch."},
        {-0.2, "Overcast", "A steadier, quieter stretch."},
        {-0.6, "Rainy", "Heavier weather on several days."},
        {-0.61, "Stormy", "Intense weather in this window."},
        {std::numeric_limits<double>::quiet_NaN(), "Stormy", "Intense weather in this window."},
    };
    for (const auto &c : cases) {
        ReportJournal j;
        j.addDaysAgo(3, c.score);
        const auto week = j.contents().first();
        EXPECT_EQ(week.weatherLabel, c.label) << c.score;
        EXPECT_EQ(week.trendBlurb, c.blurb) << c.score;
    }
}

TEST(ReportContent, KeywordRowsTakeTheTopTenWithTheirOwnMood)
{
    ReportJournal j;
    KeywordFrequencies many;
    for (int i = 0; i < 12; ++i)
        many[QStringLiteral("word%1").arg(i, 2, 10, QLatin1Char('0'))] = 20 - i;
    j.addDaysAgo(1, 0.8, many);
    j.addDaysAgo(2, -0.4, {{"word00", 3}, {"Word00", 50}});
    j.addDaysAgo(3, 0.0, {{"word01", 1}});

    const auto week = j.contents().first();
    ASSERT_EQ(week.keywords.size(), 10);
    EXPECT_EQ(week.keywords[0].word, "Word00");
    EXPECT_EQ(week.keywords[0].count, 50);
    EXPECT_DOUBLE_EQ(week.keywords[0].averageSentiment, -0.4); // only the entry with that exact key
    EXPECT_EQ(week.keywords[1].word, "word00");
    EXPECT_EQ(week.keywords[1].count, 23);
    EXPECT_DOUBLE_EQ(week.keywords[1].averageSentiment, (0.8 - 0.4) / 2);
    EXPECT_EQ(week.keywords[2].word, "word01");
    EXPECT_DOUBLE_EQ(week.keywords[2].averageSentiment, 0.4);
    EXPECT_EQ(week.keywords[9].word, "word08");
}

TEST(ReportContent, KeywordMoodCountsOnlyTheWindowsEntries)
{
    ReportJournal j;
    j.addDaysAgo(1, 0.5, {{"walk", 1}});
    j.addDaysAgo(100, -0.9, {{"walk", 1}});
    // Keyword data that is not a table reads as no keywords.
    j.addDaysAgo(2, -1.0)->setKeywordFrequenciesData(QByteArray("{\"walk\": \"x\""));
    const auto contents = j.contents();
    ASSERT_EQ(contents.size(), 3);
    ASSERT_EQ(contents[0].keywords.size(), 1);
    EXPECT_DOUBLE_EQ(contents[0].keywords[0].averageSentiment, 0.5);
    ASSERT_EQ(contents[2].keywords.size(), 1);
    EXPECT_EQ(contents[2].keywords[0].count, 2);
    EXPECT_DOUBLE_EQ(contents[2].keywords[0].averageSentiment, (0.5 - 0.9) / 2);
}

TEST(ReportContent, KeywordMoodReadsEveryStoredFormOfTheTable)
{
    ReportJournal j;
    const QString ete = QStringLiteral("\u00e9t\u00e9");
    j.addDaysAgo(1, 0.6)->setKeywordFrequenciesData(QStringLiteral("{ \"%1\" : 2 }").arg(ete).toUtf8());
    j.addDaysAgo(1, -0.2)->setKeywordFrequenciesData(QByteArray("{\"\\u00e9t\\u00e9\":1}"));
    j.addDaysAgo(1, 0.1)->setKeywordFrequenciesData(QStringLiteral("{\"%1\":3,\"%1\":1}").arg(ete).toUtf8());
    j.addDaysAgo(1, 0.9)->setKeywordFrequenciesData(QStringLiteral("{\"\u00e9t\":9}").toUtf8());
    j.addDaysAgo(1, -1.0)->setKeywordFrequenciesData(QStringLiteral("{\"%1\":1.5}").arg(ete).toUtf8());
    const auto week = j.contents().first();
    const auto row = std::find_if(week.keywords.cbegin(), week.keywords.cend(),
                                  [&](const WeatherPDFKeyword &k) { return k.word == ete; });
    ASSERT_NE(row, week.keywords.cend());
    EXPECT_NEAR(row->averageSentiment, (0.6 - 0.2 + 0.1) / 3, 1e-12);
}

TEST(ReportContent, CompactKeywordTablesAreReadOnlyWhenPlain)
{
    std::vector<std::string_view> keys;
    const QByteArray plain("{\"a\":1,\"b\":-20}"); // the keys view into it
    EXPECT_TRUE(compactKeywordKeys(plain, keys));
    EXPECT_EQ(keys, (std::vector<std::string_view>{"a", "b"}));
    EXPECT_TRUE(compactKeywordKeys(QByteArray(), keys));
    EXPECT_TRUE(keys.empty());
    EXPECT_TRUE(compactKeywordKeys(QByteArray("{}"), keys));
    for (const char *other : {"{\"a\":1.0}", "{\"a\":01}", "{\"a\":2147483648}", "{\"a\":1,}", "{\"a\":1}x",
                              "{\"a\\\"b\":1}", "{\"\xff\":1}", "[\"a\"]", "{\"a\":\"1\"}", "{\"a\":1"})
        EXPECT_FALSE(compactKeywordKeys(QByteArray(other), keys)) << other;
}

TEST(ReportContent, ThemesCountedTrimmedCaseSensitiveAndRanked)
{
    ReportJournal j;
    j.addDaysAgo(1, 0.2, {}, {"  Rest ", "rest", "Sea", "Rest", "   ", ""});
    j.addDaysAgo(2, 0.2, {}, {"Sea", "Calm", "Rest"});
    // One label written with a combining accent, one precomposed: one theme.
    j.addDaysAgo(3, 0.2, {}, {QStringLiteral("Cafe\u0301"), QStringLiteral("Caf\u00e9")});
    j.addDaysAgo(4, 0.2)->setThemesData(QByteArray("[\"Broken\", 3]"));

    const auto themes = j.contents().first().themes;
    const QList<WeatherPDFTheme> expected{{"Rest", 3}, {QStringLiteral("Caf\u00e9"), 2}, {"Sea", 2},
                                          {"Calm", 1}, {"rest", 1}};
    EXPECT_EQ(themes, expected);
}

TEST(ReportContent, AtMostEightThemes)
{
    ReportJournal j;
    QStringList nine;
    for (QChar c : QStringLiteral("ihgfedcba"))
        nine.append(QString(c));
    j.addDaysAgo(1, 0.2, {}, nine);
    const auto themes = j.contents().first().themes;
    ASSERT_EQ(themes.size(), 8);
    EXPECT_EQ(themes.first().label, "a");
    EXPECT_EQ(themes.last().label, "h");
}

TEST(ReportContent, MoodDistributionInFixedOrderWithNonEmptyBuckets)
{
    ReportJournal j;
    for (double s : {-0.7, 0.9, 0.6, -0.2, std::numeric_limits<double>::quiet_NaN(), -0.61})
        j.addDaysAgo(1, s);
    const auto buckets = j.contents().first().moodDistribution;
    const QList<WeatherPDFMoodBucket> expected{{"Sunny", 2, 0.8}, {"Overcast", 1, 0.0}, {"Stormy", 3, -0.8}};
    EXPECT_EQ(buckets, expected);
}

TEST(ReportContent, DailyPointsAndChartDomain)
{
    ReportJournal j;
    j.addDaysAgo(6, 0.4); // the window's first day
    j.addDaysAgo(0, -0.2);
    j.addDaysAgo(0, 0.0);
    const auto week = j.contents().first();
    ASSERT_EQ(week.dailyPoints.size(), 2);
    EXPECT_EQ(week.dailyPoints[0].dayKey, "2025-03-04");
    EXPECT_EQ(week.dailyPoints[0].date, QDateTime(QDate(2025, 3, 4), QTime(0, 0), test::kReportZone));
    EXPECT_EQ(week.dailyPoints[1].dayKey, "2025-03-10");
    EXPECT_DOUBLE_EQ(week.dailyPoints[1].averageScore, -0.1);
    EXPECT_EQ(week.dailyPoints[1].entryCount, 2);
    EXPECT_EQ(week.rangeLabel, QStringLiteral("Mar 4 \u2013 Mar 10, 2025"));
    ASSERT_TRUE(week.chartXDomain.has_value());
    EXPECT_EQ(week.chartXDomain->lower, QDateTime(QDate(2025, 3, 4), QTime(0, 0), test::kReportZone));
    EXPECT_EQ(week.chartXDomain->upper, QDateTime(QDate(2025, 3, 10), QTime(0, 0), test::kReportZone));
    EXPECT_FALSE(week.chartSpanLabel.has_value());
}

TEST(ReportContent, SparseWindowGetsANarrowerChartAndSaysSo)
{
    ReportJournal j;
    j.addDaysAgo(10, 0.4);
    j.addDaysAgo(2, 0.1);
    const auto contents = j.contents();
    ASSERT_EQ(contents.size(), 3);
    // The year: from one day before the first entry to today.
    EXPECT_EQ(contents[2].rangeLabel, QStringLiteral("Mar 11, 2024 \u2013 Mar 10, 2025"));
    EXPECT_EQ(contents[2].chartSpanLabel, QStringLiteral("Chart spans Feb 27 \u2013 Mar 10, 2025"));
    EXPECT_EQ(contents[1].chartSpanLabel, QStringLiteral("Chart spans Feb 27 \u2013 Mar 10, 2025"));
    // At least five days, ending today.
    EXPECT_EQ(contents[0].chartSpanLabel, QStringLiteral("Chart spans Mar 6 \u2013 Mar 10, 2025"));
}

TEST(DateIntervalText, MediumDatesInTheUsersLocale)
{
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(mediumDatePattern(us), "MMM d, yyyy");
    EXPECT_EQ(formatDateInterval(QDate(2025, 3, 10), QDate(2025, 3, 10), us), "Mar 10, 2025");
    EXPECT_EQ(formatDateInterval(QDate(2024, 12, 30), QDate(2025, 1, 5), us),
              QStringLiteral("Dec 30, 2024 \u2013 Jan 5, 2025"));

    const QLocale de(QLocale::German, QLocale::Germany);
    const QString german = formatDateInterval(QDate(2025, 3, 4), QDate(2025, 3, 10), de);
    EXPECT_FALSE(german.contains(QStringLiteral("Dienstag"))) << german.toStdString();
    EXPECT_TRUE(german.endsWith(QStringLiteral("2025"))) << german.toStdString();
    EXPECT_TRUE(german.contains(QStringLiteral("M\u00e4r"))) << german.toStdString();
}

TEST(DateIntervalText, NoSeparatorIsLeftWhereTheWeekdayOrYearWasTakenOut)
{
    const QDate from(2026, 12, 2);
    const QDate to(2026, 12, 8);
    const auto range = [&](const char *name) { return formatDateInterval(from, to, QLocale(name)); };
    // The weekday first before an Arabic comma, first before a comma, last
    // right after the day's character, last after a space.
    EXPECT_EQ(range("ar_EG"), QStringLiteral("\u0662 \u062f\u064a\u0633\u0645\u0628\u0631 \u2013 \u0668 "
                                             "\u062f\u064a\u0633\u0645\u0628\u0631 \u0662\u0660\u0662\u0666"));
    EXPECT_EQ(range("de_DE"), QStringLiteral("2. Dez. \u2013 8. Dez. 2026"));
    EXPECT_EQ(range("ja_JP"), QStringLiteral("2026\u5e7412\u67082\u65e5 \u2013 2026\u5e7412\u67088\u65e5"));
    EXPECT_EQ(range("tr_TR"), QStringLiteral("2 Ara \u2013 8 Ara 2026"));
    // The shared year goes with the Urdu comma, or the "de", before it.
    EXPECT_EQ(range("ur_PK"), QStringLiteral("2 \u062f\u0633\u0645\u0628\u0631 \u2013 8 "
                                             "\u062f\u0633\u0645\u0628\u0631\u060c 2026"));
    EXPECT_EQ(range("es_ES"), QStringLiteral("2 de dic \u2013 8 de dic de 2026"));

    // Every locale, with the year shared and not: no weekday, and no
    // space, comma or dash left at either end or doubled inside a date.
    static const QRegularExpression stray(QStringLiteral(
        "^[\\s\\p{Pd},\u060c\u1363\u2e41\u3001\uff0c]|[\\s\\p{Pd},\u060c\u1363\u2e41\u3001\uff0c]$"
        "|\\s\\s|[,\u060c\u1363\u2e41\u3001\uff0c]\\s*[,\u060c\u1363\u2e41\u3001\uff0c]"),
        QRegularExpression::UseUnicodePropertiesOption);
    const auto locales = QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
    for (const QLocale &locale : locales) {
        const QString weekday = locale.dayName(to.dayOfWeek());
        for (const QDate start : {from, QDate(2025, 12, 30)}) {
            const QString text = formatDateInterval(start, to, locale);
            const QStringList dates = text.split(QStringLiteral(" \u2013 "));
            ASSERT_EQ(dates.size(), 2) << locale.name().toStdString() << ": " << text.toStdString();
            for (const QString &date : dates) {
                EXPECT_FALSE(date.isEmpty() || stray.match(date).hasMatch())
                    << locale.name().toStdString() << " " << locale.dateFormat(QLocale::LongFormat).toStdString()
                    << ": " << text.toStdString();
                EXPECT_TRUE(weekday.isEmpty() || !date.contains(weekday))
                    << locale.name().toStdString() << ": " << text.toStdString();
            }
        }
    }
}

} // namespace zn
