#include "core/CalendarProvider.h"
#include "core/JournalEntry.h"
#include "views/workspace/timeline/EntryListRules.h"
#include "views/workspace/timeline/TimelineGrouping.h"

#include <QTimeZone>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace zn {
namespace {

const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);

class Entries
{
public:
    JournalEntry *at(const QDateTime &when)
    {
        m_owned.push_back(std::make_unique<JournalEntry>(QUuid::createUuid(), when, QStringLiteral("x"), std::nullopt,
                                                         0.0, KeywordFrequencies{}, std::nullopt, QStringList{},
                                                         false));
        return m_owned.back().get();
    }

private:
    std::vector<std::unique_ptr<JournalEntry>> m_owned;
};

QStringList keysOf(const QList<DayGroup> &groups)
{
    QStringList keys;
    for (const DayGroup &g : groups)
        keys.append(g.key);
    return keys;
}

TEST(TimelineGrouping, DaysComeInFirstOccurrenceOrderAndKeepTheGivenEntryOrder)
{
    const CalendarProvider utc(QCalendar(), QTimeZone::utc());
    Entries e;
    // Monday 4 March 2024, Sunday 3 March, Monday again.
    JournalEntry *a = e.at(QDateTime(QDate(2024, 3, 4), QTime(9, 0), QTimeZone::utc()));
    JournalEntry *b = e.at(QDateTime(QDate(2024, 3, 3), QTime(22, 0), QTimeZone::utc()));
    JournalEntry *c = e.at(QDateTime(QDate(2024, 3, 4), QTime(18, 0), QTimeZone::utc()));
    const QDateTime now(QDate(2024, 5, 1), QTime(12, 0), QTimeZone::utc());

    const QList<DayGroup> groups = dayGroups({a, b, c}, utc, now, kEnglish);
    ASSERT_EQ(groups.size(), 2);
    EXPECT_EQ(groups[0].key, QStringLiteral("2024-03-04"));
    EXPECT_EQ(groups[0].entries, (QList<JournalEntry *>{a, c})); // not re-sorted by time
    EXPECT_EQ(groups[0].title, QStringLiteral("Mon, Mar 4"));  // no year
    EXPECT_EQ(groups[1].entries, QList<JournalEntry *>{b});
    EXPECT_EQ(groups[1].title, QStringLiteral("Sun, Mar 3"));

    EXPECT_TRUE(dayGroups({}, utc, now, kEnglish).isEmpty());
}

TEST(TimelineGrouping, TodayAndYesterdayFollowTheClockAcrossMidnight)
{
    const CalendarProvider utc(QCalendar(), QTimeZone::utc());
    const QDateTime evening(QDate(2025, 3, 6), QTime(23, 59, 59), QTimeZone::utc());
    const QDateTime morning = evening.addSecs(2); // the next day
    EXPECT_EQ(dayGroupTitle(evening, utc, evening, kEnglish), QStringLiteral("Today"));
    EXPECT_EQ(dayGroupTitle(evening, utc, morning, kEnglish), QStringLiteral("Yesterday"));
    EXPECT_EQ(dayGroupTitle(evening, utc, morning.addDays(1), kEnglish), QStringLiteral("Thu, Mar 6"));
    // An entry dated after now is neither.
    EXPECT_EQ(dayGroupTitle(evening.addDays(1), utc, evening, kEnglish), QStringLiteral("Fri, Mar 7"));
}

TEST(TimelineGrouping, DaylightSavingDaysAndFarDatesGroupByTheirCalendarDay)
{
    const QTimeZone berlin("Europe/Berlin");
    ASSERT_TRUE(berlin.isValid());
    const CalendarProvider provider(QCalendar(), berlin);
    Entries e;
    // 30 March 2025 has 23 hours in Berlin: clocks jump from 02:00 to 03:00.
    QList<JournalEntry *> springDay = {
        e.at(QDateTime(QDate(2025, 3, 30), QTime(23, 59), berlin)),
        e.at(QDateTime(QDate(2025, 3, 30), QTime(3, 1), berlin)),
        e.at(QDateTime(QDate(2025, 3, 30), QTime(0, 30), berlin)),
    };
    // 26 October has 25: 02:30 happens twice.
    const QDateTime firstHalfPast = QDateTime(QDate(2025, 10, 26), QTime(0, 30), berlin).addSecs(2 * 3600);
    QList<JournalEntry *> autumnDay = {e.at(firstHalfPast.addSecs(3600)), e.at(firstHalfPast),
                                       e.at(QDateTime(QDate(2025, 10, 26), QTime(23, 30), berlin))};
    JournalEntry *nextDay = e.at(QDateTime(QDate(2025, 3, 31), QTime(0, 0), berlin));
    JournalEntry *ancient = e.at(QDateTime(QDate(1901, 1, 1), QTime(12, 0), QTimeZone::utc()));
    JournalEntry *future = e.at(QDateTime(QDate(2999, 12, 31), QTime(12, 0), QTimeZone::utc()));

    QList<JournalEntry *> all = {future, nextDay};
    all += springDay;
    all += autumnDay;
    all.append(ancient);
    const QList<DayGroup> groups = dayGroups(all, provider, QDateTime(QDate(2025, 11, 1), QTime(9, 0), berlin), kEnglish);
    EXPECT_EQ(keysOf(groups), (QStringList{"2999-12-31", "2025-03-31", "2025-03-30", "2025-10-26", "1901-01-01"}));
    EXPECT_EQ(groups[2].entries, springDay);
    EXPECT_EQ(groups[3].entries, autumnDay);
}

TEST(TimelineGrouping, ThousandsOfEntriesOnOneDayFormOneGroup)
{
    const CalendarProvider utc(QCalendar(), QTimeZone::utc());
    Entries e;
    QList<JournalEntry *> day;
    const QDateTime start(QDate(2024, 2, 29), QTime(0, 0), QTimeZone::utc());
    for (int i = 0; i < 5000; ++i)
        day.append(e.at(start.addSecs(86399 - i * 17)));
    const QList<DayGroup> groups = dayGroups(day, utc, start, kEnglish);
    ASSERT_EQ(groups.size(), 1);
    EXPECT_EQ(groups[0].entries.size(), 5000);
    EXPECT_EQ(groups[0].title, QStringLiteral("Today"));
}

TEST(EntryListRules, FiltersCountAsTypedAndPickTheEmptyState)
{
    EXPECT_FALSE(entryListFiltersActive(QString(), MoodFilter::All, false));
    EXPECT_TRUE(entryListFiltersActive(QStringLiteral("   "), MoodFilter::All, false)); // blanks count
    EXPECT_TRUE(entryListFiltersActive(QString(), MoodFilter::Positive, false));
    EXPECT_TRUE(entryListFiltersActive(QString(), MoodFilter::All, true));

    const EmptyStateContent clear = emptyStateContent(false, true, true);
    EXPECT_EQ(clear.title, QStringLiteral("Your timeline is a clear sky"));
    EXPECT_EQ(clear.message, QStringLiteral("Write or speak when you\u2019re ready. Your days will gather here."));
    EXPECT_EQ(clear.actions, (QList<EmptyStateAction>{EmptyStateAction::Write, EmptyStateAction::Voice}));
    EXPECT_EQ(emptyStateContent(false, false, true).actions, QList<EmptyStateAction>{EmptyStateAction::Voice});
    EXPECT_TRUE(emptyStateContent(false, false, false).actions.isEmpty());

    // With filters the same actions never show, only "Clear filters".
    const EmptyStateContent none = emptyStateContent(true, true, true);
    EXPECT_EQ(none.title, QStringLiteral("No matching entries"));
    EXPECT_EQ(none.message, QStringLiteral("Try another search or mood filter."));
    EXPECT_EQ(none.actions, QList<EmptyStateAction>{EmptyStateAction::ClearFilters});
    EXPECT_EQ(emptyStateActionTitle(EmptyStateAction::ClearFilters), QStringLiteral("Clear filters"));
    EXPECT_EQ(emptyStateActionSymbol(EmptyStateAction::Write), QStringLiteral("square.and.pencil"));
    EXPECT_EQ(emptyStateActionSymbol(EmptyStateAction::Voice), QStringLiteral("mic"));
}

TEST(EntryListRules, ClearFiltersResetsMoodThenSearchThenDay)
{
    QStringList steps;
    EntryListBindings bindings;
    bindings.setMoodFilter = [&](MoodFilter f) { steps << QStringLiteral("mood:") + rawValue(f); };
    bindings.setSearchText = [&](const QString &t) { steps << QStringLiteral("search:") + t; };
    EntryListActions actions;
    actions.onClearDayFilter = [&] { steps << QStringLiteral("day"); };
    clearEntryListFilters(bindings, actions);
    EXPECT_EQ(steps, (QStringList{"mood:all", "search:", "day"}));

    // Without a way to clear the day, the rest still happens.
    steps.clear();
    clearEntryListFilters(bindings, EntryListActions{});
    EXPECT_EQ(steps, (QStringList{"mood:all", "search:"}));
}

TEST(EntryListRules, TheBannerNeedsADayAndAWayToClearIt)
{
    const QDateTime day(QDate(2024, 3, 4), QTime(0, 0), QTimeZone::utc());
    EntryListActions actions;
    EXPECT_FALSE(showsDayBanner(day, actions));
    actions.onClearDayFilter = [] {};
    EXPECT_TRUE(showsDayBanner(day, actions));
    EXPECT_FALSE(showsDayBanner(std::nullopt, actions));
    EXPECT_EQ(dayBannerText(day, kEnglish), QStringLiteral("Mar 4, 2024"));
}

TEST(EntryListRules, MenuOpensEditsAndAsksToDeleteWithEditFallingBackToOpen)
{
    EXPECT_EQ(entryMenuItems(), (QList<EntryMenuItem>{EntryMenuItem::Open, EntryMenuItem::Edit, EntryMenuItem::Delete}));
    EXPECT_EQ(entryMenuItemTitle(EntryMenuItem::Open), QStringLiteral("Open"));
    EXPECT_EQ(entryMenuItemTitle(EntryMenuItem::Edit), QStringLiteral("Edit"));
    EXPECT_EQ(entryMenuItemTitle(EntryMenuItem::Delete), QStringLiteral("Delete\u2026"));

    Entries e;
    JournalEntry *entry = e.at(QDateTime::currentDateTimeUtc());
    QStringList calls;
    EntryListActions actions;
    actions.onSelect = [&](JournalEntry *x) { calls << (x == entry ? "select" : "select-other"); };
    actions.onEdit = [&](JournalEntry *x) { calls << (x == entry ? "edit" : "edit-other"); };
    actions.onDelete = [&](JournalEntry *x) { calls << (x == entry ? "delete" : "delete-other"); };
    for (EntryMenuItem item : entryMenuItems())
        runEntryMenuItem(item, entry, actions);
    EXPECT_EQ(calls, (QStringList{"select", "edit", "delete"}));

    calls.clear();
    actions.onEdit = nullptr;
    runEntryMenuItem(EntryMenuItem::Edit, entry, actions);
    EXPECT_EQ(calls, QStringList{"select"});
}

TEST(EntryListRules, MoodChipsReadAsTheRowNamesThem)
{
    QStringList titles;
    for (MoodFilter f : allMoodFilters())
        titles << moodChipTitle(f);
    EXPECT_EQ(titles, (QStringList{"All", "Brighter", "Steady", "Heavier"}));
}

} // namespace
} // namespace zn
