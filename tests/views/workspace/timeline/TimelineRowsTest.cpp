#include "views/workspace/timeline/TimelineRows.h"

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

} // namespace
} // namespace zn
