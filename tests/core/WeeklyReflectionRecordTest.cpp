#include "core/WeeklyReflectionRecord.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace zn;

TEST(WeeklyReflectionRecord, DefaultsAndTheWeeklyRunsCreation)
{
    WeeklyReflectionRecord blank;
    EXPECT_EQ(blank.weekKey(), "");
    EXPECT_TRUE(blank.notableMomentsData().isEmpty());
    EXPECT_EQ(blank.statusRaw(), "none");
    EXPECT_FALSE(blank.failureMessage());
    EXPECT_TRUE(blank.weekStart().isValid());
    EXPECT_TRUE(blank.generatedAt().isValid());

    const QDateTime start = QDateTime::fromMSecsSinceEpoch(1'741'305'600'000);
    WeeklyReflectionRecord r(QStringLiteral("rolling7:2025-03-07"), start);
    EXPECT_EQ(r.weekKey(), "rolling7:2025-03-07");
    EXPECT_EQ(r.weekStart(), start);
    EXPECT_EQ(r.notableMomentsData(), "[]"); // an encoded empty list, not empty data
    EXPECT_TRUE(r.notableMoments().isEmpty());
    EXPECT_EQ(r.summary(), "");
    EXPECT_EQ(r.status(), InsightStatus::None);
}

TEST(WeeklyReflectionRecord, StatusAndMomentsReadSafely)
{
    WeeklyReflectionRecord r;
    r.setStatusRaw(QStringLiteral("generating"));
    EXPECT_EQ(r.status(), InsightStatus::Generating);
    r.setStatusRaw(QStringLiteral("Generating"));
    EXPECT_EQ(r.status(), InsightStatus::None);
    r.setNotableMoments({QStringLiteral("Mar 3: a walk")});
    EXPECT_EQ(r.notableMoments(), (QStringList{"Mar 3: a walk"}));
    r.setNotableMomentsData("{\"a\":1}");
    EXPECT_TRUE(r.notableMoments().isEmpty());
    QSignalSpy spy(&r, &PersistentModel::changed);
    r.setSummary(r.summary());
    r.setStatus(InsightStatus::Ready);
    EXPECT_EQ(spy.count(), 2);
    EXPECT_EQ(r.statusRaw(), "ready");
}
