#include "WeatherTestHarness.h"

#include "core/WeeklyReflectionRecord.h"
#include "exchange/report/WeatherReportContent.h"
#include "views/weather/emotional/WeatherPageLogic.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace zn::test {
namespace {

using Availability = CapabilityDetector::Availability;
using Kind = ReflectionItem::Kind;

// Weekly records that live only in memory, in "query" order.
class Records
{
public:
    WeeklyReflectionRecord *add(const QString &key, const QString &status, const QDateTime &generatedAt)
    {
        m_owned.push_back(std::make_unique<WeeklyReflectionRecord>(key, generatedAt));
        WeeklyReflectionRecord *record = m_owned.back().get();
        record->setStatusRaw(status);
        record->setGeneratedAt(generatedAt);
        m_list.append(record);
        return record;
    }
    const QList<WeeklyReflectionRecord *> &list() const { return m_list; }

private:
    std::vector<std::unique_ptr<WeeklyReflectionRecord>> m_owned;
    QList<WeeklyReflectionRecord *> m_list;
};

QStringList textsOf(const ReflectionItems &items)
{
    QStringList texts;
    for (const ReflectionItem &item : items)
        texts.append(item.text);
    return texts;
}

WeeklyReflectionRecord *readyRecord(Records &records)
{
    WeeklyReflectionRecord *record =
        records.add(QStringLiteral("rolling7:2025-03-07"), QStringLiteral("ready"), kNow);
    record->setSummary(QStringLiteral("Quiet mornings gave way to brighter afternoons."));
    record->setEmotionalArc(QStringLiteral("Work pressure eased after the long walk by the river."));
    record->setOverallSentiment(QStringLiteral("Mostly hopeful"));
    record->setRecommendedFocus(QStringLiteral("Keep the evening walks."));
    return record;
}

TEST(WeatherPageTexts, SummaryWordsAndBlurbsPerWeather)
{
    EXPECT_EQ(weatherpage::trendBlurb(WeatherLabel::Sunny), QStringLiteral("This period has felt relatively light and open."));
    EXPECT_EQ(weatherpage::trendBlurb(WeatherLabel::PartlyCloudy), QStringLiteral("A mix of brighter and quieter moments."));
    EXPECT_EQ(weatherpage::trendBlurb(WeatherLabel::Overcast),
              QStringLiteral("Steady, even weather inside \u2014 neither storm nor full sun."));
    EXPECT_EQ(weatherpage::trendBlurb(WeatherLabel::Rainy), QStringLiteral("Heavier days have asked for care and rest."));
    EXPECT_EQ(weatherpage::trendBlurb(WeatherLabel::Stormy),
              QStringLiteral("Intense weather. Be gentle with yourself as you look back."));
    // The page's sentences are its own, not the report's.
    EXPECT_NE(weatherpage::trendBlurb(WeatherLabel::Sunny), zn::trendBlurb(WeatherLabel::Sunny));
    EXPECT_EQ(symbolName(WeatherLabel::Stormy), QStringLiteral("cloud.bolt.rain.fill"));
}

TEST(WeatherPageTexts, CountLineAndTitlesNameTheWindow)
{
    EXPECT_EQ(weatherpage::countLine(12, WeatherPeriod::Month), QStringLiteral("12 entries \u00b7 past 30 days"));
    EXPECT_EQ(weatherpage::countLine(1, WeatherPeriod::Week), QStringLiteral("1 entries \u00b7 past 7 days"));
    EXPECT_EQ(weatherpage::countLine(400, WeatherPeriod::Year), QStringLiteral("400 entries \u00b7 past 365 days"));
    EXPECT_EQ(weatherpage::panelTitle(WeatherPeriod::Week), QStringLiteral("Past 7 days reflection"));
    EXPECT_EQ(weatherpage::panelTitle(WeatherPeriod::Month), QStringLiteral("Reflection"));
    EXPECT_EQ(weatherpage::panelTitle(WeatherPeriod::Year), QStringLiteral("Reflection"));
    EXPECT_EQ(weatherpage::periodTitles(),
              (QStringList{QStringLiteral("7 days"), QStringLiteral("30 days"), QStringLiteral("365 days")}));
}

TEST(DisplayedWeeklyRecord, TodaysRecordWinsWhateverItsStatus)
{
    Records records;
    records.add(QStringLiteral("rolling7:2025-03-06"), QStringLiteral("ready"), kNow.addDays(-1));
    WeeklyReflectionRecord *today = records.add(QStringLiteral("rolling7:2025-03-07"), QStringLiteral("generating"),
                                                kNow.addDays(-3));
    EXPECT_EQ(weatherpage::displayedWeeklyRecord(records.list(), kNow, utcCalendar()), today);
    today->setStatusRaw(QStringLiteral("failed"));
    EXPECT_EQ(weatherpage::displayedWeeklyRecord(records.list(), kNow, utcCalendar()), today);
}

TEST(DisplayedWeeklyRecord, FallsBackToTheNewestReadyRollingRecord)
{
    Records records;
    records.add(QStringLiteral("rolling7:2025-03-01"), QStringLiteral("ready"), kNow.addDays(-6));
    WeeklyReflectionRecord *newest =
        records.add(QStringLiteral("rolling7:2025-03-04"), QStringLiteral("ready"), kNow.addDays(-3));
    records.add(QStringLiteral("rolling7:2025-03-05"), QStringLiteral("failed"), kNow.addDays(-2));
    records.add(QStringLiteral("rolling7:2025-03-06"), QStringLiteral("READY"), kNow.addDays(-1)); // unknown status
    records.add(QStringLiteral("week:2025-03-06"), QStringLiteral("ready"), kNow.addSecs(-60));   // not rolling
    EXPECT_EQ(weatherpage::displayedWeeklyRecord(records.list(), kNow, utcCalendar()), newest);
}

TEST(DisplayedWeeklyRecord, EqualTimesKeepQueryOrderAndNothingLeftIsNone)
{
    Records records;
    WeeklyReflectionRecord *first = records.add(QStringLiteral("rolling7:2025-03-02"), QStringLiteral("ready"), kNow.addDays(-2));
    records.add(QStringLiteral("rolling7:2025-03-03"), QStringLiteral("ready"), kNow.addDays(-2));
    EXPECT_EQ(weatherpage::displayedWeeklyRecord(records.list(), kNow, utcCalendar()), first);

    Records none;
    none.add(QStringLiteral("monthly:2025-03-07"), QStringLiteral("ready"), kNow);
    EXPECT_EQ(weatherpage::displayedWeeklyRecord(none.list(), kNow, utcCalendar()), nullptr);
    EXPECT_EQ(weatherpage::displayedWeeklyRecord({}, kNow, utcCalendar()), nullptr);
}

TEST(ReflectionPanelStates, LongerWindowsShowTheirNoteWhateverTheRecord)
{
    Records records;
    WeeklyReflectionRecord *generating =
        records.add(QStringLiteral("rolling7:2025-03-07"), QStringLiteral("generating"), kNow);
    const ReflectionItems month =
        weatherpage::reflectionPanelItems(WeatherPeriod::Month, generating, Availability::Available, {}, 3);
    ASSERT_EQ(month.size(), 1);
    EXPECT_EQ(month[0].text,
              QStringLiteral("Past 30-day reflections come later. Charts already use the rolling window."));
    EXPECT_EQ(month[0].textStyle, ReflectionItem::TextStyle::Detail);
    const ReflectionItems year =
        weatherpage::reflectionPanelItems(WeatherPeriod::Year, nullptr, Availability::Available, {}, 0);
    EXPECT_EQ(year[0].text,
              QStringLiteral("Past 365-day reflections come later. Charts already use the rolling window."));
}

TEST(ReflectionPanelStates, ReadyBlockShowsCleanedTextsInOrderWithoutTheSentiment)
{
    Records records;
    WeeklyReflectionRecord *record = readyRecord(records);
    record->setNotableMoments({QStringLiteral("A call with an old friend"), QStringLiteral("Finishing the draft"),
                               QStringLiteral("Cooking for the neighbours"), QStringLiteral("A long nap"),
                               QStringLiteral("Rain on the roof")});
    const ReflectionItems items =
        weatherpage::reflectionPanelItems(WeatherPeriod::Week, record, Availability::Available, {}, 4);
    ASSERT_EQ(items.size(), 4);
    EXPECT_EQ(items[0].kind, Kind::Text);
    EXPECT_EQ(items[0].textStyle, ReflectionItem::TextStyle::Summary);
    EXPECT_EQ(items[0].lineSpacing, 4);
    EXPECT_EQ(items[1].text, record->emotionalArc());
    EXPECT_EQ(items[1].topPadding, 4);
    EXPECT_EQ(items[2].kind, Kind::Bullets);
    EXPECT_EQ(items[2].text, QStringLiteral("Moments"));
    EXPECT_EQ(items[2].list.size(), 3); // the first three that survive cleaning
    EXPECT_EQ(items[2].list.first(), QStringLiteral("A call with an old friend"));
    EXPECT_EQ(items[3].textStyle, ReflectionItem::TextStyle::Focus);
    EXPECT_EQ(items[3].topPadding, 8);
    EXPECT_FALSE(textsOf(items).contains(QStringLiteral("Mostly hopeful")));
}

TEST(ReflectionPanelStates, ReadyBlockDropsARepeatedArcAndKeepsAnEmptySummaryLine)
{
    Records records;
    WeeklyReflectionRecord *record = readyRecord(records);
    record->setEmotionalArc(record->summary());
    record->setRecommendedFocus(QString());
    record->setNotableMomentsData(QByteArray("not json"));
    ReflectionItems items = weatherpage::reflectionPanelItems(WeatherPeriod::Week, record, Availability::Available, {}, 4);
    EXPECT_EQ(textsOf(items), QStringList{record->summary()});

    record->setSummary(QString());
    record->setEmotionalArc(QStringLiteral("Work pressure eased after the long walk by the river."));
    items = weatherpage::reflectionPanelItems(WeatherPeriod::Week, record, Availability::Available, {}, 4);
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0].text, QString());
    EXPECT_EQ(items[0].textStyle, ReflectionItem::TextStyle::Summary);
}

TEST(ReflectionPanelStates, PendingAndGeneratingShowTheReflectingRow)
{
    Records records;
    for (const QString &status : {QStringLiteral("pending"), QStringLiteral("generating")}) {
        WeeklyReflectionRecord *record = records.add(QStringLiteral("rolling7:2025-03-07"), status, kNow);
        const ReflectionItems items =
            weatherpage::reflectionPanelItems(WeatherPeriod::Week, record, Availability::Available, {}, 2);
        ASSERT_EQ(items.size(), 1);
        EXPECT_EQ(items[0].kind, Kind::Progress);
        EXPECT_EQ(items[0].text, QStringLiteral("Reflecting on the past 7 days\u2026"));
    }
}

TEST(ReflectionPanelStates, FailedOffersTryAgainAndOnlyAMissingMessageFallsBack)
{
    Records records;
    WeeklyReflectionRecord *record = records.add(QStringLiteral("rolling7:2025-03-07"), QStringLiteral("failed"), kNow);
    record->setFailureMessage(std::nullopt);
    ReflectionItems items = weatherpage::reflectionPanelItems(WeatherPeriod::Week, record, Availability::Available, {}, 2);
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0].text, QStringLiteral("Reflection isn\u2019t available right now."));
    EXPECT_EQ(items[1].kind, Kind::Button);
    EXPECT_EQ(items[1].text, QStringLiteral("Try again"));

    record->setFailureMessage(QString());
    items = weatherpage::reflectionPanelItems(WeatherPeriod::Week, record, Availability::Available, {}, 2);
    EXPECT_EQ(items[0].text, QString());
    record->setFailureMessage(QStringLiteral("The model timed out."));
    items = weatherpage::reflectionPanelItems(WeatherPeriod::Week, record, Availability::Available, {}, 2);
    EXPECT_EQ(items[0].text, QStringLiteral("The model timed out."));
}

TEST(ReflectionPanelStates, UnavailableFallsBackToTheStatusDetailWithoutAButton)
{
    Records records;
    WeeklyReflectionRecord *record =
        records.add(QStringLiteral("rolling7:2025-03-07"), QStringLiteral("unavailable"), kNow);
    record->setFailureMessage(std::nullopt);
    const ReflectionItems items = weatherpage::reflectionPanelItems(
        WeatherPeriod::Week, record, Availability::NotEnabled, QStringLiteral("The model server is not running."), 2);
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0].text, QStringLiteral("The model server is not running."));
}

TEST(ReflectionPanelStates, NoRecordAsksForEntriesThenExplainsTheCapability)
{
    ReflectionItems items = weatherpage::reflectionPanelItems(WeatherPeriod::Week, nullptr, Availability::Available, {}, 0);
    EXPECT_EQ(textsOf(items),
              QStringList{QStringLiteral("Write a few entries in the past 7 days and a reflection can gather here.")});

    const QString noServer = QStringLiteral("No language model server is answering at http://127.0.0.1:8080. "
                                            "Reflections start when a compatible server runs there. Journaling and "
                                            "mood analysis still work.");
    items = weatherpage::reflectionPanelItems(WeatherPeriod::Week, nullptr, Availability::FrameworkUnavailable,
                                              noServer, 3);
    EXPECT_EQ(textsOf(items), QStringList{noServer});
    items = weatherpage::reflectionPanelItems(WeatherPeriod::Week, nullptr, Availability::Available, {}, 3);
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0].text, QStringLiteral("A deeper reflection will appear here after analysis."));
    EXPECT_EQ(items[1].kind, Kind::Button);
    EXPECT_EQ(items[1].text, QStringLiteral("Generate reflection"));

    // A status string that is none of the six reads as no record.
    Records records;
    WeeklyReflectionRecord *odd = records.add(QStringLiteral("rolling7:2025-03-07"), QStringLiteral("queued"), kNow);
    EXPECT_EQ(weatherpage::reflectionPanelItems(WeatherPeriod::Week, odd, Availability::Available, {}, 3), items);
}

TEST(ReflectionPanelStates, EveryAvailabilityHasItsSentence)
{
    // The detector's sentence, whatever the case: the panel has none of its own.
    const QString detail = QStringLiteral("The local language model is still getting ready. Mood analysis already works.");
    for (Availability availability : {Availability::UnsupportedPlatform, Availability::DeviceNotEligible,
                                      Availability::NotEnabled, Availability::ModelNotReady,
                                      Availability::FrameworkUnavailable}) {
        const ReflectionItems items = weatherpage::reflectionPanelItems(WeatherPeriod::Week, nullptr, availability, detail, 3);
        EXPECT_EQ(textsOf(items), QStringList{detail}) << int(availability);
    }
}

TEST(WeeklyReportText, JoinsTheCleanedPartsWithBlankLines)
{
    Records records;
    WeeklyReflectionRecord *record = readyRecord(records);
    record->setNotableMoments({QStringLiteral("a walk"), QStringLiteral("a call")});
    EXPECT_EQ(weatherpage::weeklyReflectionReportText(record),
              record->summary() + QStringLiteral("\n\n") + record->emotionalArc()
                  + QStringLiteral("\n\nMoments: a walk; a call\n\nKeep the evening walks."));
    record->setEmotionalArc(record->summary());
    EXPECT_FALSE(weatherpage::weeklyReflectionReportText(record)->contains(QStringLiteral("river")));
}

TEST(WeeklyReportText, NothingForMissingUnreadyOrEmptyRecords)
{
    EXPECT_EQ(weatherpage::weeklyReflectionReportText(nullptr), std::nullopt);
    Records records;
    WeeklyReflectionRecord *record = readyRecord(records);
    record->setStatusRaw(QStringLiteral("generating"));
    EXPECT_EQ(weatherpage::weeklyReflectionReportText(record), std::nullopt);
    WeeklyReflectionRecord *blank = records.add(QStringLiteral("rolling7:2025-03-07"), QStringLiteral("ready"), kNow);
    EXPECT_EQ(weatherpage::weeklyReflectionReportText(blank), std::nullopt);
}

TEST(ThemeWords, PlaceholderOnlyWithoutKeywords)
{
    EXPECT_EQ(weatherpage::themeWords({}), std::nullopt);
}

TEST(ThemeWords, KeepsTenOfTwelveInOrder)
{
    QList<KeywordTotal> keywords;
    for (int i = 0; i < 12; ++i)
        keywords.append({QStringLiteral("garden%1").arg(QChar(u'a' + i)), 20 - i});
    const QStringList words = *weatherpage::themeWords(keywords);
    ASSERT_EQ(words.size(), 10);
    EXPECT_EQ(words.first(), QStringLiteral("gardena"));
    EXPECT_EQ(words.last(), QStringLiteral("gardenj"));
}

TEST(ThemeWords, FiltersShortAndStopWordsOnTheTrimmedLowerForm)
{
    const QList<KeywordTotal> keywords{{QStringLiteral("tea"), 9},      {QStringLiteral(" ABOUT "), 8},
                                       {QStringLiteral("  river "), 7}, {QStringLiteral("Would"), 6},
                                       {QStringLiteral("café"), 5},     {QStringLiteral("\u00e9t\u00e9"), 4}};
    // Shown as stored, spaces and all; four letters count as graphemes.
    EXPECT_EQ(*weatherpage::themeWords(keywords), (QStringList{QStringLiteral("  river "), QStringLiteral("café")}));
}

TEST(ThemeWords, FallsBackToTheFirstSixRawWords)
{
    QList<KeywordTotal> keywords;
    for (const char *word : {"a", "the", "and", "but", "then", "with", "from", "it"})
        keywords.append({QString::fromLatin1(word), 1});
    EXPECT_EQ(*weatherpage::themeWords(keywords),
              (QStringList{QStringLiteral("a"), QStringLiteral("the"), QStringLiteral("and"), QStringLiteral("but"),
                           QStringLiteral("then"), QStringLiteral("with")}));
    EXPECT_EQ(*weatherpage::themeWords({{QStringLiteral("it"), 2}, {QStringLiteral("was"), 1}}),
              (QStringList{QStringLiteral("it"), QStringLiteral("was")}));
}

TEST(ExportOutcome, SuccessErrorsAndSilentCancel)
{
    EXPECT_EQ(weatherpage::exportOutcomeMessage(std::nullopt), QStringLiteral("Weather report exported successfully."));
    EXPECT_EQ(weatherpage::exportOutcomeMessage(EmotionalWeatherPDFError::cancelled()), std::nullopt);
    EXPECT_EQ(weatherpage::exportOutcomeMessage(EmotionalWeatherPDFError::empty()),
              QStringLiteral("No journal entries found in the selected windows."));
    EXPECT_EQ(weatherpage::exportOutcomeMessage(EmotionalWeatherPDFError::renderFailed()),
              QStringLiteral("Couldn\u2019t create the PDF report."));
    EXPECT_EQ(weatherpage::exportOutcomeMessage(EmotionalWeatherPDFError::writeFailed(QStringLiteral("Disk full"))),
              QStringLiteral("Couldn\u2019t write PDF: Disk full"));
}

TEST(ExportOutcome, EnabledOnlyWithAFinishedEntry)
{
    JournalEntry draft;
    draft.setIsDraft(true);
    EXPECT_FALSE(weatherpage::exportEnabled({}));
    EXPECT_FALSE(weatherpage::exportEnabled({&draft, nullptr}));
    JournalEntry finished;
    finished.setIsDraft(false);
    finished.setTimestamp(kNow.addYears(-3)); // outside every window still counts
    EXPECT_TRUE(weatherpage::exportEnabled({&draft, &finished}));
}

TEST(WeeklyRequest, SetsTheFlagAndStartsTheWorkerOnlyForTheWeek)
{
    ManualClock clock(kNow);
    InsightCoordinator coordinator(nullptr, &clock);
    weatherpage::requestWeeklyReflectionIfWeek(WeatherPeriod::Month, &coordinator);
    EXPECT_FALSE(coordinator.weeklyRequested());
    EXPECT_FALSE(coordinator.running());
    weatherpage::requestWeeklyReflectionIfWeek(WeatherPeriod::Week, &coordinator);
    EXPECT_TRUE(coordinator.weeklyRequested());
    EXPECT_TRUE(coordinator.running());
    weatherpage::requestWeeklyReflection(nullptr); // no coordinator: nothing, no crash
}

} // namespace
} // namespace zn::test
