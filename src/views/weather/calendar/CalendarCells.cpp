#include "views/weather/calendar/CalendarCells.h"

#include "app/marks/WeatherMarks.h"
#include "core/CalendarProvider.h"
#include "views/kit/DateFormats.h"

namespace zn {
namespace {

QColor withOpacity(QColor colour, qreal opacity)
{
    colour.setAlphaF(colour.alphaF() * opacity);
    return colour;
}

// The day as the journal's calendar sees it, so the words match the key.
QDate journalDate(const QDateTime &moment, const MonthGrid &grid)
{
    return moment.toTimeZone(grid.calendar().timeZone()).date();
}

} // namespace

MonthDayCell monthDayCell(const QDateTime &dayStart, const QHash<QString, DayWeatherStat> &stats,
                          const MonthGrid &grid, const QDateTime &now)
{
    MonthDayCell cell;
    cell.date = dayStart;
    cell.dayNumber = grid.dayOfMonth(dayStart);
    cell.isToday = grid.isSameDay(dayStart, now);
    const auto found = stats.constFind(grid.dayKey(dayStart));
    if (found != stats.cend() && found->count > 0) {
        cell.weather = weatherLabelForScore(found->average());
        cell.entryCount = found->count;
    }
    return cell;
}

MonthCellStyle monthCellStyle(const MonthDayCell &cell, const ZephyrTheme &theme)
{
    MonthCellStyle style;
    style.boldNumber = cell.isToday;
    style.numberInk = cell.isToday ? theme.accent() : theme.primaryInk();
    if (cell.weather) {
        style.tint = ZephyrTheme::weatherColor(*cell.weather);
        style.fill = withOpacity(style.tint, theme.isDark() ? 0.18 : 0.12);
        if (cell.entryCount == 1)
            style.showDot = true;
        else
            style.countText = QString::number(cell.entryCount);
    } else {
        style.fill = withOpacity(theme.paper(), 0.4);
    }
    if (cell.isToday) {
        style.border = withOpacity(theme.accent(), 0.7);
        style.borderWidth = 1.5;
    } else {
        style.border = withOpacity(theme.panelBorder(), 0.5);
        style.borderWidth = 0.5;
    }
    return style;
}

QString monthDayAccessibilityLabel(const MonthDayCell &cell, const MonthGrid &grid)
{
    const QString date = DateFormats::format(journalDate(cell.date, grid), DateStyle::Complete, grid.locale());
    if (!cell.weather)
        return date + QStringLiteral(", no entries");
    return date + QStringLiteral(", ") + weatherTitle(*cell.weather) + QStringLiteral(", ")
        + QString::number(cell.entryCount) + QStringLiteral(" entries. Open day.");
}

MiniDayCell miniDayCell(const QDateTime &dayStart, const QHash<QString, double> &scores,
                        const MonthGrid &grid, const QDateTime &now,
                        const std::optional<QDateTime> &selectedDay)
{
    MiniDayCell cell;
    cell.date = dayStart;
    cell.dayNumber = grid.dayOfMonth(dayStart);
    cell.isToday = grid.isSameDay(dayStart, now);
    cell.isSelected = selectedDay && grid.isSameDay(*selectedDay, dayStart);
    const auto found = scores.constFind(grid.dayKey(dayStart));
    if (found != scores.cend())
        cell.weather = weatherLabelForScore(*found);
    return cell;
}

MiniCellStyle miniCellStyle(const MiniDayCell &cell, const ZephyrTheme &theme)
{
    MiniCellStyle style;
    style.boldNumber = cell.isToday || cell.isSelected;
    style.numberInk = (cell.isSelected || cell.weather) ? theme.primaryInk() : theme.faintInk();

    if (cell.weather)
        style.fill = withOpacity(ZephyrTheme::weatherColor(*cell.weather), theme.isDark() ? 0.45 : 0.38);
    else if (cell.isSelected)
        style.fill = withOpacity(theme.accent(), theme.isDark() ? 0.22 : 0.14);
    else if (cell.isToday)
        style.fill = withOpacity(theme.accent(), 0.1);
    else
        style.fill = Qt::transparent;

    if (cell.isSelected) {
        style.border = theme.accent();
        style.borderWidth = 1.5;
    } else if (cell.isToday) {
        style.border = withOpacity(theme.accent(), 0.55);
        style.borderWidth = 1.0;
    } else {
        style.border = Qt::transparent;
        style.borderWidth = 0.0;
    }
    return style;
}

QString miniDayAccessibilityLabel(const MiniDayCell &cell, const MonthGrid &grid)
{
    const QString date = DateFormats::format(journalDate(cell.date, grid), DateStyle::Abbreviated, grid.locale());
    if (!cell.weather)
        return date + QStringLiteral(", no entries");
    return date + QStringLiteral(", ") + weatherTitle(*cell.weather) + QStringLiteral(". Filter timeline.");
}

QString monthTitle(const QDateTime &visibleMonth, const MonthGrid &grid)
{
    return DateFormats::format(journalDate(visibleMonth, grid), DateStyle::MonthYear, grid.locale());
}

QString abbreviatedMonthTitle(const QDateTime &visibleMonth, const MonthGrid &grid)
{
    return DateFormats::format(journalDate(visibleMonth, grid), DateStyle::AbbreviatedMonthYear,
                               grid.locale());
}

} // namespace zn
