#include "views/workspace/timeline/TimelineRows.h"

#include "core/CalendarProvider.h"
#include "core/JournalEntry.h"
#include "views/workspace/timeline/TimelineGrouping.h"

#include <QTimeZone>

#include <memory>

#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <algorithm>

namespace zn {
namespace {

// Applies a diff the way a model does, checking each step's bounds.
std::vector<quint64> applyDiff(std::vector<quint64> rows, const std::vector<quint64> &after, const TimelineRowDiff &diff)
{
    if (diff.reset)
        return after;
    int previous = INT_MAX;
    for (const auto &[first, last] : diff.removals) {
        EXPECT_LE(first, last);
        EXPECT_LT(last, previous); // bottom-up
        EXPECT_LT(last, int(rows.size()));
        previous = first;
        rows.erase(rows.begin() + first, rows.begin() + last + 1);
    }
    previous = -1;
    for (const auto &[first, last] : diff.insertions) {
        EXPECT_GT(first, previous); // top-down
        EXPECT_LE(first, int(rows.size()));
        previous = last;
        rows.insert(rows.begin() + first, after.begin() + first, after.begin() + last + 1);
    }
    return rows;
}

TEST(TimelineRowDiff, OneNewEntryIsOneInsertionAndADeletionOneRemoval)
{
    const std::vector<quint64> before = {1, 10, 12, 3, 14};
    TimelineRowDiff diff = diffTimelineRows(before, {1, 8, 10, 12, 3, 14});
    EXPECT_FALSE(diff.reset);
    EXPECT_TRUE(diff.removals.empty());
    ASSERT_EQ(diff.insertions.size(), 1u);
    EXPECT_EQ(diff.insertions[0], std::make_pair(1, 1));

    // The last card of a day goes with its heading: one run.
    diff = diffTimelineRows(before, {1, 10, 12});
    ASSERT_EQ(diff.removals.size(), 1u);
    EXPECT_EQ(diff.removals[0], std::make_pair(3, 4));

    EXPECT_TRUE(diffTimelineRows(before, before).isEmpty());
    EXPECT_EQ(applyDiff({}, before, diffTimelineRows({}, before)), before);
    EXPECT_TRUE(applyDiff(before, {}, diffTimelineRows(before, {})).empty());
}

TEST(TimelineRowDiff, ReordersAndScatteredChangesReset)
{
    EXPECT_TRUE(diffTimelineRows({2, 4, 6}, {2, 6, 4}).reset);
    std::vector<quint64> before;
    std::vector<quint64> after;
    for (quint64 i = 0; i < 400; ++i) {
        before.push_back(i * 2);
        if (i % 2)
            after.push_back(i * 2);
    }
    EXPECT_TRUE(diffTimelineRows(before, after, 64).reset);
    EXPECT_FALSE(diffTimelineRows(before, after, 1000).reset);
}

TEST(TimelineRowDiff, AnyNarrowingOrWideningOfOneOrderReplaysExactly)
{
    QRandomGenerator random(7);
    for (int round = 0; round < 300; ++round) {
        std::vector<quint64> all;
        for (quint64 i = 0; i < 60; ++i)
            all.push_back(i * 2 + 2);
        std::vector<quint64> before;
        std::vector<quint64> after;
        for (quint64 key : all) {
            if (random.bounded(3))
                before.push_back(key);
            if (random.bounded(3))
                after.push_back(key);
        }
        const TimelineRowDiff diff = diffTimelineRows(before, after, 10'000);
        ASSERT_FALSE(diff.reset);
        EXPECT_EQ(applyDiff(before, after, diff), after);
    }
}

TEST(TimelineRowBuilder, RowsAreTheDayGroupsFlattenedAndFollowAMovedEntry)
{
    const CalendarProvider utc(QCalendar(), QTimeZone::utc());
    std::vector<std::unique_ptr<JournalEntry>> owned;
    QList<JournalEntry *> entries;
    QRandomGenerator random(3);
    const QDateTime start(QDate(2024, 1, 1), QTime(0, 0), QTimeZone::utc());
    for (int i = 0; i < 200; ++i) {
        // Mostly newest first, with strays from other days in between.
        const qint64 at = i % 7 == 3 ? qint64(random.bounded(40 * 86400)) : qint64(40 * 86400 - i * 4000);
        owned.push_back(std::make_unique<JournalEntry>(QUuid::createUuid(), start.addSecs(at), QStringLiteral("x"),
                                                       std::nullopt, 0.0, KeywordFrequencies{}, std::nullopt,
                                                       QStringList{}, false));
        entries.append(owned.back().get());
    }
    QList<int> seen;
    TimelineRowBuilder builder(utc, [&](JournalEntry *, int slot) { seen.append(slot); });
    auto flatten = [&](const QList<JournalEntry *> &list) {
        std::vector<JournalEntry *> out;
        for (const DayGroup &group : dayGroups(list, utc, start))
            for (JournalEntry *entry : group.entries)
                out.push_back(entry);
        return out;
    };
    auto cards = [](const std::vector<TimelineRow> &rows) {
        std::vector<JournalEntry *> out;
        for (const TimelineRow &row : rows) {
            if (row.isHeader())
                EXPECT_NE(&row, &rows.back()) << "a heading with no card after it";
            else
                out.push_back(row.entry);
        }
        return out;
    };
    EXPECT_EQ(cards(builder.build(entries)), flatten(entries));
    EXPECT_EQ(seen.size(), 200); // a slot each, once
    EXPECT_EQ(cards(builder.build(entries.mid(50, 80))), flatten(entries.mid(50, 80)));
    EXPECT_EQ(seen.size(), 200);

    // A moved entry keeps its old day until told, then regroups.
    entries[0]->setTimestamp(start.addSecs(5));
    EXPECT_NE(cards(builder.build(entries)), flatten(entries));
    builder.invalidate(entries[0]);
    EXPECT_EQ(cards(builder.build(entries)), flatten(entries));

    // A released entry's slot serves the next new one.
    const int slot = builder.slotOf(entries[1]);
    builder.release(entries[1]);
    EXPECT_EQ(builder.slotOf(entries[1]), -1);
    JournalEntry extra;
    (void)builder.build({&extra});
    EXPECT_EQ(builder.slotOf(&extra), slot);
}

} // namespace
} // namespace zn
