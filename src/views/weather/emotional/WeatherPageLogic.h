#pragma once

#include "core/WeatherLabel.h"
#include "core/WeatherPeriod.h"
#include "core/WeatherPeriodSummary.h"
#include "exchange/report/EmotionalWeatherPDFError.h"
#include "reflections/CapabilityDetector.h"
#include "views/workspace/detail/ReflectionItem.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace zn {

class CalendarProvider;
class InsightCoordinator;
class JournalEntry;
class WeeklyReflectionRecord;

// The rules of the Emotional Weather page without any widget: texts per
// weather and window, the weekly record it shows, the reflection panel's
// content, the themes it lists and what an export ends with.
namespace weatherpage {

inline constexpr auto kRollingKeyPrefix = "rolling7:";

// "Past 7 days", "Past 30 days", "Past 365 days".
QString windowName(WeatherPeriod period);
// The picker's segments: "7 days", "30 days", "365 days", in period order.
QStringList periodTitles();
// "Past 7 days reflection" for the week, "Reflection" otherwise.
QString panelTitle(WeatherPeriod period);

// The summary card's sentence for a weather.
QString trendBlurb(WeatherLabel label);
// "12 entries · past 30 days".
QString countLine(int entryCount, WeatherPeriod period);

// Today's rolling record whatever its status, else the newest ready rolling
// record by generation time (ties keep the given order), else none.
WeeklyReflectionRecord *displayedWeeklyRecord(const QList<WeeklyReflectionRecord *> &records,
                                              const QDateTime &now, const CalendarProvider &calendar);

// The record's cleaned text for the PDF report, or none when the record is
// missing, not ready or says nothing.
std::optional<QString> weeklyReflectionReportText(const WeeklyReflectionRecord *record);

// What the reflection panel shows. `weekEntryCount` counts the entries of
// the past 7 days; a Button item runs the weekly request.
ReflectionItems reflectionPanelItems(WeatherPeriod period, const WeeklyReflectionRecord *record,
                                     CapabilityDetector::Availability availability,
                                     const QString &statusDetail, int weekEntryCount);

// Asks the coordinator for the rolling 7-day reflection; nothing without one.
void requestWeeklyReflection(InsightCoordinator *coordinator);
// The same, only for the week window (on show and on a switch back to it).
void requestWeeklyReflectionIfWeek(WeatherPeriod period, InsightCoordinator *coordinator);

// The themes card: the words to show as chips, or none for the placeholder
// "Keywords will gather as you write." when the window has no keywords.
std::optional<QStringList> themeWords(const QList<KeywordTotal> &topKeywords);

// The Export PDF button is enabled while any entry is a finished one.
bool exportEnabled(const QList<JournalEntry *> &entries);
// The alert text after an export: the success sentence, the error's own, or
// none for a cancelled panel.
std::optional<QString> exportOutcomeMessage(const std::optional<EmotionalWeatherPDFError> &error);

} // namespace weatherpage
} // namespace zn
