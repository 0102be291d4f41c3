#include "views/weather/calendar/CalendarDayButtons.h"
#include "views/weather/calendar/CalendarMonthView.h"
#include "views/weather/calendar/CalendarWorkspaceBinding.h"
#include "views/weather/calendar/SidebarMiniCalendar.h"

#include "CalendarTestSupport.h"
#include "core/DayWatch.h"
#include "platform/base/Clock.h"
#include "support/Screenshots.h"
#include "support/TestSupport.h"
#include "views/workspace/state/WorkspaceTestHarness.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QStackedWidget>
#include <QTest>

#include <gtest/gtest.h>

namespace zn {
namespace {

using test::at;

void settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

class CalendarViewTest : public ::testing::Test
{
protected:
    CalendarProvider utc{QCalendar(), QTimeZone::utc()};
    ManualClock clock{at(2025, 3, 15, 10)};
    test::Entries entries;
    QList<QDateTime> chosen;

    CalendarViewSetup setup()
    {
        CalendarViewSetup s;
        s.calendar = &utc;
        s.clock = &clock;
        s.locale = test::kUnitedStates;
        return s;
    }
    DaySelectHandler record()
    {
        return [this](const QDateTime &day) { chosen.append(day); };
    }
};

TEST_F(CalendarViewTest, MonthPageShowsTodaysMonthAndHandsAClickedDaysStart)
{
    entries.add(at(2025, 3, 2, 9), 0.8);
    entries.add(at(2025, 3, 2, 20), 0.7);
    CalendarMonthView view(entries.list(), record(), setup());
    view.resize(760, 900);
    view.show();
    settle();

    EXPECT_EQ(view.titleText(), "March 2025");
    EXPECT_EQ(view.visibleMonth(), at(2025, 3, 15, 0));
    ASSERT_NE(view.dayButton(2), nullptr);
    EXPECT_EQ(view.dayButton(2)->accessibleName(), "Sunday, March 2, 2025, Sunny, 2 entries. Open day.");
    EXPECT_EQ(view.dayButton(32), nullptr);
    EXPECT_EQ(view.previousButton()->accessibleName(), "Previous month");
    EXPECT_EQ(view.nextButton()->accessibleName(), "Next month");

    view.dayButton(2)->click();
    ASSERT_EQ(chosen.size(), 1);
    EXPECT_EQ(chosen.first(), at(2025, 3, 2, 0));

    // Buttons sit inside the card and every day has room.
    for (int day = 1; day <= 31; ++day) {
        MonthDayButton *button = view.dayButton(day);
        ASSERT_NE(button, nullptr);
        EXPECT_TRUE(button->isVisible());
        EXPECT_EQ(button->height(), 72);
        EXPECT_GT(button->width(), 10);
    }
}

TEST_F(CalendarViewTest, TheWindowsBackdropShowsThroughTheMonthsSurface)
{
    entries.add(at(2025, 3, 2, 9), 0.8);
    const QColor backdrop(40, 160, 90); // nothing on the page has this colour
    const QSize size(900, 760);
    for (const ZephyrTheme &theme : test::everyTheme()) {
        CalendarMonthView view(entries.list(), record(), setup());
        const QImage shot = test::pageOver(view, theme, size, backdrop);
        QColor surface = theme.surface();
        surface.setAlphaF(0.25f);
        const QColor expected = test::sourceOver(surface, backdrop);
        // The margins left of and below the column, and between the cards.
        for (QPoint at : {QPoint(10, 10), QPoint(10, 400), QPoint(size.width() - 30, size.height() - 10)})
            EXPECT_TRUE(test::pixelIs(shot, at, expected))
                << rawValue(theme.palette).toStdString() << (theme.isDark() ? " dark" : " light");
    }
}

TEST_F(CalendarViewTest, MonthNavigationCrossesYearEndsAndTodayReturns)
{
    clock.setNow(at(2025, 1, 31, 10));
    CalendarMonthView view(entries.list(), record(), setup());
    view.nextButton()->click();
    EXPECT_EQ(view.titleText(), "February 2025");
    view.nextButton()->click();
    EXPECT_EQ(view.titleText(), "March 2025");
    for (int i = 0; i < 3; ++i)
        view.previousButton()->click();
    EXPECT_EQ(view.titleText(), "December 2024");
    EXPECT_EQ(view.monthDays().size() % 7, 0);
    view.todayButton()->click();
    EXPECT_EQ(view.titleText(), "January 2025");
    EXPECT_TRUE(chosen.isEmpty());
}

TEST_F(CalendarViewTest, MonthPageReturnsToTodayWhenShownAgain)
{
    QStackedWidget stack;
    auto *other = new QWidget;
    auto *view = new CalendarMonthView(entries.list(), record(), setup());
    stack.addWidget(view);
    stack.addWidget(other);
    stack.show();
    view->shiftMonth(-5);
    EXPECT_EQ(view->titleText(), "October 2024");
    stack.setCurrentWidget(other);
    clock.setNow(at(2025, 4, 2, 8)); // a new month began meanwhile
    stack.setCurrentWidget(view);
    EXPECT_EQ(view->titleText(), "April 2025");
}

TEST_F(CalendarViewTest, ARescoredOrDeletedEntryRecoloursItsDay)
{
    JournalEntry *entry = entries.add(at(2025, 3, 5, 9), 0.9);
    CalendarMonthView view(entries.list(), record(), setup());
    SidebarMiniCalendar mini(entries.list(), std::nullopt, record(), setup());
    settle();
    EXPECT_EQ(view.dayButton(5)->cell().weather, WeatherLabel::Sunny);
    EXPECT_EQ(mini.dayButton(5)->cell().weather, WeatherLabel::Sunny);

    entry->setSentimentScore(-0.9);
    settle();
    EXPECT_EQ(view.dayButton(5)->cell().weather, WeatherLabel::Stormy);
    EXPECT_EQ(mini.dayButton(5)->cell().weather, WeatherLabel::Stormy);
    EXPECT_TRUE(view.dayButton(5)->accessibleName().contains("Stormy"));

    entry->setTimestamp(at(2025, 3, 6, 9));
    settle();
    EXPECT_FALSE(view.dayButton(5)->cell().weather.has_value());
    EXPECT_EQ(view.dayButton(6)->cell().weather, WeatherLabel::Stormy);

    view.setEntries({});
    mini.setEntries({});
    settle();
    EXPECT_FALSE(view.dayButton(6)->cell().weather.has_value());
    EXPECT_FALSE(mini.dayButton(6)->cell().weather.has_value());
}

TEST_F(CalendarViewTest, OnlyTheEntriesHandedInAreWatchedAndAFreedOneLeavesItsDay)
{
    JournalEntry *kept = entries.add(at(2025, 3, 7, 9), 0.9);
    JournalEntry *dropped = entries.add(at(2025, 3, 8, 9), 0.9);
    SidebarMiniCalendar mini(entries.list(), std::nullopt, record(), setup());
    mini.setEntries({kept});
    settle();
    EXPECT_FALSE(mini.dayButton(8)->cell().weather.has_value());
    dropped->setTimestamp(at(2025, 3, 9, 9));
    settle();
    EXPECT_FALSE(mini.dayButton(9)->cell().weather.has_value());

    mini.setEntries({kept, dropped});
    kept->setSentimentScore(-0.3);
    settle();
    EXPECT_EQ(mini.dayButton(7)->cell().weather, WeatherLabel::Rainy);
    EXPECT_EQ(mini.dayButton(9)->cell().weather, WeatherLabel::Sunny);

    entries.destroy(kept);
    settle();
    EXPECT_FALSE(mini.dayButton(7)->cell().weather.has_value());
    EXPECT_EQ(mini.dayScores().size(), 1);
}

TEST_F(CalendarViewTest, TheTurnOfTheDayMovesTodaysMark)
{
    CalendarMonthView view(entries.list(), record(), setup());
    EXPECT_TRUE(view.dayButton(15)->cell().isToday);
    clock.advance(std::chrono::hours(24));
    settle();
    EXPECT_FALSE(view.dayButton(15)->cell().isToday);
    EXPECT_TRUE(view.dayButton(16)->cell().isToday);
}

// Moved west across midnight by a new time zone, both calendars keep the
// month on screen (its first instant is the previous day there), and Today
// finds the day it now is.
TEST_F(CalendarViewTest, ANewTimeZoneKeepsTheMonthOnScreenAndTodayFollowsIt)
{
    clock.setNow(at(2025, 3, 1, 2));
    QByteArray zone = "UTC";
    DayWatch day(clock, utc, [&] { return zone; });
    CalendarViewSetup s = setup();
    s.day = &day;
    CalendarMonthView month(entries.list(), record(), s);
    SidebarMiniCalendar mini(entries.list(), std::nullopt, record(), s);
    ASSERT_TRUE(month.dayButton(1)->cell().isToday);

    zone = "America/New_York"; // 21:00 on 28 February there
    day.recheck();
    settle();
    EXPECT_EQ(month.titleText(), "March 2025");
    EXPECT_EQ(mini.titleText(), "Mar 2025");
    EXPECT_FALSE(month.dayButton(1)->cell().isToday);
    EXPECT_FALSE(mini.dayButton(1)->cell().isToday);
    QTest::mouseClick(month.todayButton(), Qt::LeftButton);
    settle();
    EXPECT_EQ(month.titleText(), "February 2025");
    EXPECT_TRUE(month.dayButton(28)->cell().isToday);
}

TEST_F(CalendarViewTest, MondayFirstLocaleLaysTheMonthOutFromMonday)
{
    CalendarViewSetup german = setup();
    german.locale = test::kGermany;
    clock.setNow(at(2025, 6, 10));
    CalendarMonthView view(entries.list(), record(), german);
    const MonthSlots days = view.monthDays();
    ASSERT_EQ(days.size(), 42);
    for (int i = 0; i < 6; ++i)
        EXPECT_FALSE(days[i].has_value());
    EXPECT_EQ(days[6], at(2025, 6, 1, 0));
    EXPECT_EQ(view.titleText(), "Juni 2025");
}

TEST_F(CalendarViewTest, MiniCalendarReportsClicksAndShowsOnlyTheSelectionItIsGiven)
{
    entries.add(at(2025, 3, 9, 9), 0.7);
    entries.add(at(2025, 3, 9, 18), -0.7);
    SidebarMiniCalendar mini(entries.list(), at(2025, 3, 12, 15, 30), record(), setup());
    mini.resize(240, mini.heightForWidth(240));
    mini.show();
    settle();

    EXPECT_EQ(mini.accessibleName(), "Mood calendar");
    EXPECT_EQ(mini.titleText(), "Mar 2025");
    EXPECT_TRUE(mini.dayButton(12)->cell().isSelected);
    EXPECT_EQ(mini.dayButton(9)->cell().weather, WeatherLabel::Stormy);
    EXPECT_EQ(mini.dayButton(9)->accessibleName(), "Mar 9, 2025, Stormy. Filter timeline.");

    mini.dayButton(9)->click();
    ASSERT_EQ(chosen.size(), 1);
    EXPECT_EQ(chosen.first(), at(2025, 3, 9, 0));
    EXPECT_TRUE(mini.dayButton(12)->cell().isSelected); // the caller decides
    EXPECT_FALSE(mini.dayButton(9)->cell().isSelected);

    mini.setSelectedDay(chosen.first());
    EXPECT_TRUE(mini.dayButton(9)->cell().isSelected);
    EXPECT_TRUE(mini.dayButton(9)->focusPolicy() & Qt::TabFocus);
    EXPECT_FALSE(mini.dayButton(12)->focusPolicy() & Qt::TabFocus);
    EXPECT_FALSE(mini.dayButton(12)->cell().isSelected);
    mini.setSelectedDay(std::nullopt);
    for (int day = 1; day <= 31; ++day)
        EXPECT_FALSE(mini.dayButton(day)->cell().isSelected);

    // The shown month does not follow the selection; chevrons move it.
    mini.setSelectedDay(at(2024, 7, 4));
    EXPECT_EQ(mini.titleText(), "Mar 2025");
    mini.nextButton()->click();
    EXPECT_EQ(mini.titleText(), "Apr 2025");
    for (int i = 0; i < 4; ++i)
        mini.previousButton()->click();
    EXPECT_EQ(mini.titleText(), "Dec 2024");
}

TEST_F(CalendarViewTest, BlankSlotsHoldNoButtonAndTinyWidthsStayWhole)
{
    // March 2025 begins on a Saturday: six blanks before it.
    CalendarMonthView view(entries.list(), record(), setup());
    SidebarMiniCalendar mini(entries.list(), std::nullopt, record(), setup());
    EXPECT_EQ(view.monthDays().size(), 42);
    int buttons = 0;
    for (QAbstractButton *b : view.findChildren<MonthDayButton *>())
        buttons += b->isVisibleTo(&view);
    EXPECT_EQ(buttons, 31);

    view.show();
    mini.show();
    for (int width : {0, 1, 30, 90}) {
        view.resize(width, 200);
        mini.resize(width, 100);
        settle();
        for (MiniDayButton *b : mini.findChildren<MiniDayButton *>()) {
            EXPECT_GE(b->width(), 0);
            EXPECT_GE(b->height(), 0);
        }
        for (MonthDayButton *b : view.findChildren<MonthDayButton *>())
            EXPECT_GE(b->width(), 0);
        view.grab();
        mini.grab();
    }
    EXPECT_GT(mini.heightForWidth(200), 6 * 22);
}

TEST_F(CalendarViewTest, ArrowKeysMoveBetweenDaysAndStopAtTheMonthsEdges)
{
    CalendarMonthView view(entries.list(), record(), setup());
    view.show();
    // The days are a single Tab stop, on today.
    const auto tabStops = [&view] {
        QList<int> days;
        for (MonthDayButton *b : view.findChildren<MonthDayButton *>()) {
            if (b->focusPolicy() & Qt::TabFocus)
                days.append(b->cell().dayNumber);
        }
        return days;
    };
    EXPECT_EQ(tabStops(), QList<int>({15}));
    // March 2025: the 1st is the last slot of the first week.
    view.dayButton(1)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(view.dayButton(1), Qt::Key_Down);
    EXPECT_EQ(view.focusWidget(), view.dayButton(8));
    EXPECT_EQ(tabStops(), QList<int>({8}));
    QTest::keyClick(view.dayButton(8), Qt::Key_Left);
    EXPECT_EQ(view.focusWidget(), view.dayButton(7));
    QTest::keyClick(view.dayButton(7), Qt::Key_Up);
    EXPECT_EQ(view.focusWidget(), view.dayButton(7)); // a blank above
    view.dayButton(31)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(view.dayButton(31), Qt::Key_Right);
    EXPECT_EQ(view.focusWidget(), view.dayButton(31));
    QTest::keyClick(view.dayButton(31), Qt::Key_Space);
    ASSERT_EQ(chosen.size(), 1);
    EXPECT_EQ(chosen.first(), at(2025, 3, 31, 0));
}

TEST_F(CalendarViewTest, EmptyJournalGivesAPlainGrid)
{
    SidebarMiniCalendar mini(entries.list(), std::nullopt, record(), setup());
    CalendarMonthView view(entries.list(), record(), setup());
    EXPECT_TRUE(mini.dayScores().isEmpty());
    EXPECT_TRUE(view.dayStats().isEmpty());
    for (int day = 1; day <= 31; ++day) {
        EXPECT_FALSE(view.dayButton(day)->cell().weather.has_value());
        EXPECT_TRUE(view.dayButton(day)->accessibleName().endsWith(", no entries"));
    }
}

TEST(CalendarWorkspace, DayClicksFilterTheTimelineAndTheSidebarMarksTheDay)
{
    test::WorkspaceHarness harness;
    harness.clock.setNow(at(2025, 3, 15, 10));
    JournalEntry *older = harness.seed(test::kHappy, 0.8, 24 * 10 + 1); // 5 March, 09:00
    harness.seed(test::kGloomy, -0.8, 2);                                 // today
    WorkspaceViewModel &vm = harness.appear();
    ASSERT_EQ(vm.journalEntries().size(), 2);

    std::unique_ptr<CalendarMonthView> page(makeWorkspaceCalendarMonthView(vm));
    std::unique_ptr<SidebarMiniCalendar> sidebar(makeWorkspaceMiniCalendar(vm));
    EXPECT_EQ(page->dayButton(5)->cell().entryCount, 1);
    EXPECT_FALSE(sidebar->selectedDay().has_value());

    vm.navigate(WorkspaceDestination::Calendar);
    page->dayButton(5)->click();
    test::drainEvents();
    ASSERT_TRUE(vm.dayFilter().has_value());
    EXPECT_EQ(*vm.dayFilter(), at(2025, 3, 5, 0));
    EXPECT_EQ(vm.destination(), WorkspaceDestination::Timeline);
    EXPECT_EQ(harness.ids(vm.filteredEntries()), QList<QUuid>({older->id()}));
    EXPECT_TRUE(sidebar->dayButton(5)->cell().isSelected);

    sidebar->dayButton(15)->click();
    test::drainEvents();
    EXPECT_EQ(*vm.dayFilter(), at(2025, 3, 15, 0));
    EXPECT_TRUE(sidebar->dayButton(15)->cell().isSelected);
    EXPECT_FALSE(sidebar->dayButton(5)->cell().isSelected);

    // A new entry reaches both calendars.
    harness.seed(test::kHappy, 0.9, 24 * 3); // 12 March
    test::drainEvents();
    settle();
    EXPECT_EQ(page->dayButton(12)->cell().weather, WeatherLabel::Sunny);
    EXPECT_EQ(sidebar->dayButton(12)->cell().weather, WeatherLabel::Sunny);

    vm.clearDayFilter();
    EXPECT_FALSE(sidebar->selectedDay().has_value());
}

} // namespace
} // namespace zn
