#pragma once

#include "app/theme/ZephyrTheme.h"
#include "core/WeatherLabel.h"
#include "views/weather/calendar/MonthGrid.h"

#include <QColor>
#include <QDateTime>
#include <QHash>
#include <QLocale>
#include <QString>

#include <optional>

namespace zn {

// What one day of the month calendar shows: its weather is that of the
// average score of the day's entries.
struct MonthDayCell {
    QDateTime date; // start of the day
    int dayNumber = 0;
    bool isToday = false;
    std::optional<WeatherLabel> weather;
    int entryCount = 0;
};

// How a month calendar day is drawn in a theme.
struct MonthCellStyle {
    bool boldNumber = false;
    QColor numberInk;
    QColor fill;
    QColor border;
    qreal borderWidth = 0.5;
    QColor tint;           // the weather symbol; invalid without entries
    bool showDot = false;  // one entry
    QString countText;     // two or more entries
};

// What one day of the sidebar calendar shows: its weather is that of the
// day's latest entry.
struct MiniDayCell {
    QDateTime date;
    int dayNumber = 0;
    bool isToday = false;
    bool isSelected = false;
    std::optional<WeatherLabel> weather;
};

struct MiniCellStyle {
    bool boldNumber = false;
    QColor numberInk;
    QColor fill;   // transparent for a plain day
    QColor border; // transparent without a mark
    qreal borderWidth = 0.0;
};

MonthDayCell monthDayCell(const QDateTime &dayStart, const QHash<QString, DayWeatherStat> &stats,
                          const MonthGrid &grid, const QDateTime &now);
MonthCellStyle monthCellStyle(const MonthDayCell &cell, const ZephyrTheme &theme);
// "Sunday, March 2, 2025, Sunny, 1 entries. Open day." or "…, no entries".
QString monthDayAccessibilityLabel(const MonthDayCell &cell, const MonthGrid &grid);

MiniDayCell miniDayCell(const QDateTime &dayStart, const QHash<QString, double> &scores,
                        const MonthGrid &grid, const QDateTime &now,
                        const std::optional<QDateTime> &selectedDay);
// The fill puts the weather before the selection, the border the selection
// before today.
MiniCellStyle miniCellStyle(const MiniDayCell &cell, const ZephyrTheme &theme);
// "Mar 2, 2025, Rainy. Filter timeline." or "…, no entries".
QString miniDayAccessibilityLabel(const MiniDayCell &cell, const MonthGrid &grid);

// "March 2025" for the month page, "Mar 2025" for the sidebar.
QString monthTitle(const QDateTime &visibleMonth, const MonthGrid &grid);
QString abbreviatedMonthTitle(const QDateTime &visibleMonth, const MonthGrid &grid);

} // namespace zn
