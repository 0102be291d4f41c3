#include "views/weather/calendar/CalendarCells.h"
#include "views/weather/calendar/CalendarGridGeometry.h"

#include "CalendarTestSupport.h"

#include <gtest/gtest.h>

#include <limits>

namespace zn {
namespace {

using test::at;

QColor faded(QColor c, qreal opacity)
{
    c.setAlphaF(c.alphaF() * opacity);
    return c;
}

const ZephyrTheme kLight{ColorPalettePreference::Warm, ColorScheme::Light};
const ZephyrTheme kDark{ColorPalettePreference::Cool, ColorScheme::Dark};

class CellsTest : public ::testing::Test
{
protected:
    CalendarProvider utc{QCalendar(), QTimeZone::utc()};
    MonthGrid grid{&utc, test::kUnitedStates};
    QDateTime now = at(2025, 3, 15, 10);
    test::Entries entries;

    MonthDayCell month(int day)
    {
        return monthDayCell(at(2025, 3, day, 0), grid.dayStats(entries.list(), now), grid, now);
    }
    MiniDayCell mini(int day, std::optional<QDateTime> selected = std::nullopt)
    {
        return miniDayCell(at(2025, 3, day, 0), grid.dayScores(entries.list()), grid, now, selected);
    }
};

TEST_F(CellsTest, MonthDayWithOneEntryShowsADotAndTwoShowTheCount)
{
    entries.add(at(2025, 3, 2, 9), 0.8);
    entries.add(at(2025, 3, 3, 9), -0.5);
    entries.add(at(2025, 3, 3, 21), -0.3);

    const MonthDayCell one = month(2);
    EXPECT_EQ(one.dayNumber, 2);
    EXPECT_EQ(one.weather, WeatherLabel::Sunny);
    const MonthCellStyle oneStyle = monthCellStyle(one, kLight);
    EXPECT_TRUE(oneStyle.showDot);
    EXPECT_TRUE(oneStyle.countText.isEmpty());
    EXPECT_EQ(oneStyle.tint, ZephyrTheme::weatherColor(WeatherLabel::Sunny));
    EXPECT_EQ(oneStyle.fill, faded(oneStyle.tint, 0.12));
    EXPECT_EQ(monthCellStyle(one, kDark).fill, faded(oneStyle.tint, 0.18));
    EXPECT_EQ(oneStyle.numberInk, kLight.primaryInk());
    EXPECT_FALSE(oneStyle.boldNumber);
    EXPECT_EQ(oneStyle.border, faded(kLight.panelBorder(), 0.5));
    EXPECT_EQ(oneStyle.borderWidth, 0.5);

    const MonthCellStyle twoStyle = monthCellStyle(month(3), kDark);
    EXPECT_FALSE(twoStyle.showDot);
    EXPECT_EQ(twoStyle.countText, "2");
    EXPECT_EQ(twoStyle.tint, ZephyrTheme::weatherColor(WeatherLabel::Rainy));
}

TEST_F(CellsTest, TodayWithoutEntriesIsPaperWithAnAccentOutline)
{
    const MonthDayCell today = month(15);
    EXPECT_TRUE(today.isToday);
    EXPECT_FALSE(today.weather.has_value());
    for (const ZephyrTheme &theme : {kLight, kDark}) {
        const MonthCellStyle style = monthCellStyle(today, theme);
        EXPECT_EQ(style.fill, faded(theme.paper(), 0.4));
        EXPECT_TRUE(style.boldNumber);
        EXPECT_EQ(style.numberInk, theme.accent());
        EXPECT_EQ(style.border, faded(theme.accent(), 0.7));
        EXPECT_EQ(style.borderWidth, 1.5);
        EXPECT_FALSE(style.tint.isValid());
    }
    EXPECT_FALSE(month(14).isToday);
}

TEST_F(CellsTest, StormyFromANotANumberScoreStillHasAValidColour)
{
    entries.add(at(2025, 3, 4, 9), std::numeric_limits<double>::quiet_NaN());
    const MonthCellStyle style = monthCellStyle(month(4), kLight);
    EXPECT_TRUE(style.tint.isValid());
    EXPECT_EQ(style.tint, ZephyrTheme::weatherColor(WeatherLabel::Stormy));
    EXPECT_EQ(mini(4).weather, WeatherLabel::Stormy);
}

TEST_F(CellsTest, AccessibilityLabelsReadTheDateWeatherAndCount)
{
    entries.add(at(2025, 3, 2, 9), 0.8);
    entries.add(at(2025, 3, 9, 9), -0.5);
    EXPECT_EQ(monthDayAccessibilityLabel(month(2), grid), "Sunday, March 2, 2025, Sunny, 1 entries. Open day.");
    EXPECT_EQ(monthDayAccessibilityLabel(month(5), grid), "Wednesday, March 5, 2025, no entries");
    EXPECT_EQ(miniDayAccessibilityLabel(mini(9), grid), "Mar 9, 2025, Rainy. Filter timeline.");
    EXPECT_EQ(miniDayAccessibilityLabel(mini(5), grid), "Mar 5, 2025, no entries");

    MonthGrid german(&utc, test::kGermany);
    const QString label = monthDayAccessibilityLabel(month(5), german);
    EXPECT_TRUE(label.startsWith("Mittwoch")) << label.toStdString();
    EXPECT_TRUE(label.endsWith(", no entries"));
}

TEST_F(CellsTest, TitlesNameTheMonthInTheLocale)
{
    EXPECT_EQ(monthTitle(at(2025, 3, 31, 23, 59), grid), "March 2025");
    EXPECT_EQ(abbreviatedMonthTitle(at(2025, 3, 1, 0, 0), grid), "Mar 2025");
    EXPECT_EQ(monthTitle(at(2025, 3, 1), MonthGrid(&utc, test::kGermany)), QString::fromUtf8("März 2025"));
    // The journal's zone decides the month, not the moment's own.
    const QTimeZone auckland("Pacific/Auckland");
    ASSERT_TRUE(auckland.isValid());
    CalendarProvider nz(QCalendar(), auckland);
    EXPECT_EQ(monthTitle(at(2025, 3, 31, 20), MonthGrid(&nz, test::kUnitedStates)), "April 2025");
}

TEST_F(CellsTest, MiniFillPutsWeatherBeforeSelectionAndBorderPutsSelectionBeforeToday)
{
    entries.add(at(2025, 3, 10, 9), 0.9);
    const QDateTime selected10 = at(2025, 3, 10, 15, 30);

    // Selected with entries: weather fill, accent border, bold primary.
    const MiniCellStyle withWeather = miniCellStyle(mini(10, selected10), kDark);
    EXPECT_EQ(withWeather.fill, faded(ZephyrTheme::weatherColor(WeatherLabel::Sunny), 0.45));
    EXPECT_EQ(withWeather.border, kDark.accent());
    EXPECT_EQ(withWeather.borderWidth, 1.5);
    EXPECT_TRUE(withWeather.boldNumber);
    EXPECT_EQ(withWeather.numberInk, kDark.primaryInk());
    EXPECT_EQ(miniCellStyle(mini(10), kLight).fill, faded(ZephyrTheme::weatherColor(WeatherLabel::Sunny), 0.38));

    // Selected without entries: accent fill.
    const MiniDayCell plainSelected = mini(11, at(2025, 3, 11, 23, 59));
    EXPECT_TRUE(plainSelected.isSelected);
    EXPECT_EQ(miniCellStyle(plainSelected, kDark).fill, faded(kDark.accent(), 0.22));
    EXPECT_EQ(miniCellStyle(plainSelected, kLight).fill, faded(kLight.accent(), 0.14));
    EXPECT_EQ(miniCellStyle(plainSelected, kLight).numberInk, kLight.primaryInk());

    // Today, not selected, without entries.
    const MiniCellStyle today = miniCellStyle(mini(15), kLight);
    EXPECT_EQ(today.fill, faded(kLight.accent(), 0.1));
    EXPECT_EQ(today.border, faded(kLight.accent(), 0.55));
    EXPECT_EQ(today.borderWidth, 1.0);
    EXPECT_TRUE(today.boldNumber);
    EXPECT_EQ(today.numberInk, kLight.faintInk());

    // Today and selected: the selection's border wins.
    EXPECT_EQ(miniCellStyle(mini(15, now), kLight).borderWidth, 1.5);

    // A plain day and no selection at all.
    const MiniCellStyle plain = miniCellStyle(mini(12), kLight);
    EXPECT_EQ(plain.fill.alpha(), 0);
    EXPECT_EQ(plain.borderWidth, 0.0);
    EXPECT_FALSE(plain.boldNumber);
    EXPECT_EQ(plain.numberInk, kLight.faintInk());
    EXPECT_FALSE(mini(10).isSelected);
}

TEST(CalendarGridGeometry, ColumnsShareTheWidthAndNeverGoNegative)
{
    const CalendarGridMetrics month{8, 8, 72};
    const QList<QRect> rects = calendarSlotRects(560, 42, month, 20, 30);
    ASSERT_EQ(rects.size(), 42);
    EXPECT_EQ(rects[0].left(), 20);
    EXPECT_EQ(rects[6].left() + rects[6].width(), 20 + 560);
    EXPECT_EQ(rects[7].top(), 30 + 72 + 8);
    for (int c = 1; c < 7; ++c)
        EXPECT_EQ(rects[c].left(), rects[c - 1].left() + rects[c - 1].width() + 8);
    EXPECT_EQ(calendarRowCount(42), 6);
    EXPECT_EQ(calendarRowCount(28), 4);
    EXPECT_EQ(calendarRowCount(0), 0);
    EXPECT_EQ(calendarGridHeight(6, month), 6 * 72 + 5 * 8);
    EXPECT_EQ(calendarGridHeight(0, month), 0);
    EXPECT_EQ(calendarMinimumWidth(8), 7 * 10 + 6 * 8);

    for (int width : {-5, 0, 1, 6, 13, 47, 48, 100}) {
        int total = 0;
        for (const QRect &r : calendarColumnRects(width, 8, 0, 0, 10)) {
            EXPECT_GE(r.width(), 0) << width;
            EXPECT_GE(r.left(), 0) << width;
            total = std::max(total, r.left() + r.width());
        }
        EXPECT_LE(total, std::max(0, width)) << width;
    }
}

} // namespace
} // namespace zn
