#pragma once

#include "core/CalendarProvider.h"
#include "core/JournalEntry.h"
#include "exchange/report/WeatherReportContent.h"

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QStringList>
#include <QTimeZone>

#include <memory>
#include <optional>
#include <vector>

namespace zn::test {

inline const QTimeZone kReportZone("Europe/Berlin");

inline QDateTime reportDay(int y, int m, int d, int h = 12)
{
    return QDateTime(QDate(y, m, d), QTime(h, 0), kReportZone);
}

// A journal of plain entries (no store) with a fixed "now", zone and locale.
class ReportJournal
{
public:
    JournalEntry *add(const QDateTime &when, double score, const KeywordFrequencies &keywords = {},
                      const QStringList &themes = {}, bool draft = false);
    // An entry `daysAgo` days before now, at noon.
    JournalEntry *addDaysAgo(int daysAgo, double score, const KeywordFrequencies &keywords = {},
                             const QStringList &themes = {});

    QList<EmotionalWeatherReportContent> contents(const std::optional<QString> &reflection = std::nullopt) const;

    QList<JournalEntry *> entries;
    QDateTime now = reportDay(2025, 3, 10, 15);
    CalendarProvider calendar{QCalendar(), kReportZone};
    QLocale locale{QLocale::English, QLocale::UnitedStates};

private:
    std::vector<std::unique_ptr<JournalEntry>> m_owned;
};

// A year of journaling with long keyword and theme lists, seeded so every
// run draws the same report: `count` entries over the past 365 days, the
// densest in the last week.
void fillSeededJournal(ReportJournal &journal, int count, quint32 seed = 7);

} // namespace zn::test
