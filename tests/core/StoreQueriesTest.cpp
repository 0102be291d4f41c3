#include "core/JournalQueries.h"
#include "core/StoreFactory.h"
#include "platform/store/StoreQuery.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace zn;

namespace {

class StoreQueriesTest : public ::testing::Test
{
protected:
    JournalEntry *add(qint64 msecs, bool draft = false, const QString &text = {})
    {
        auto e = std::make_unique<JournalEntry>(QUuid::createUuid(), QDateTime::fromMSecsSinceEpoch(msecs),
                                                text.isEmpty() ? QString::number(msecs) : text, std::nullopt, 0.0,
                                                KeywordFrequencies{}, std::nullopt, QStringList{}, draft);
        return context->insert(std::move(e));
    }

    static QStringList texts(const QList<JournalEntry *> &entries)
    {
        QStringList out;
        for (JournalEntry *e : entries)
            out.append(e->rawText());
        return out;
    }

    std::optional<StoreContainerResult> store = makeModelContainer(true);
    ModelContext *context = store->container->mainContext();
};

} // namespace

TEST_F(StoreQueriesTest, RangeIsHalfOpenAscendingAndSkipsDrafts)
{
    for (qint64 t : {3000, 1000, 2000, 999, 4000})
        add(t);
    add(1500, true);
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass == 0 ? "pending" : "saved");
        const auto found = fetchEntries(*context, QDateTime::fromMSecsSinceEpoch(1000), QDateTime::fromMSecsSinceEpoch(4000));
        EXPECT_EQ(texts(found), (QStringList{"1000", "2000", "3000"}));
        EXPECT_TRUE(fetchEntries(*context, QDateTime::fromMSecsSinceEpoch(4000), QDateTime::fromMSecsSinceEpoch(4000)).isEmpty());
        ASSERT_FALSE(context->save());
    }
}

TEST_F(StoreQueriesTest, AllEntriesNewestFirstIncludingDrafts)
{
    add(1000);
    add(3000, true);
    add(2000);
    ASSERT_FALSE(context->save());
    add(2500);
    EXPECT_EQ(texts(fetchAllEntries(*context)), (QStringList{"3000", "2500", "2000", "1000"}));
}

TEST_F(StoreQueriesTest, LookUpByIdAndWeekKey)
{
    JournalEntry *a = add(1000);
    add(2000);
    ASSERT_FALSE(context->save());
    EXPECT_EQ(fetchEntry(*context, a->id()), a);
    EXPECT_EQ(fetchEntry(*context, QUuid::createUuid()), nullptr);

    auto *older = context->insert(std::make_unique<WeeklyReflectionRecord>(QStringLiteral("rolling7:2025-03-07"),
                                                                          QDateTime::fromMSecsSinceEpoch(0)));
    older->setGeneratedAt(QDateTime::fromMSecsSinceEpoch(10));
    auto *newer = context->insert(std::make_unique<WeeklyReflectionRecord>(QStringLiteral("rolling7:2025-03-07"),
                                                                          QDateTime::fromMSecsSinceEpoch(0)));
    newer->setGeneratedAt(QDateTime::fromMSecsSinceEpoch(20));
    context->insert(std::make_unique<WeeklyReflectionRecord>(QStringLiteral("rolling7:2025-03-08"), QDateTime()));
    EXPECT_EQ(fetchWeeklyRecord(*context, QStringLiteral("rolling7:2025-03-07")), newer);
    ASSERT_FALSE(context->save());
    EXPECT_EQ(fetchWeeklyRecord(*context, QStringLiteral("rolling7:2025-03-07")), newer);
    EXPECT_EQ(fetchWeeklyRecord(*context, QStringLiteral("rolling7:")), nullptr);
    EXPECT_EQ(fetchAllWeeklyRecords(*context).size(), 3);
}

TEST_F(StoreQueriesTest, ErrorsReadAsNoResultButCanBeLearnt)
{
    ModelContext orphan(store->container.get());
    store.reset();
    StoreError error;
    EXPECT_TRUE(fetchAllEntries(orphan, &error).isEmpty());
    EXPECT_EQ(error.code, StoreError::Code::Closed);
    EXPECT_EQ(fetchEntry(orphan, QUuid::createUuid()), nullptr);
    EXPECT_TRUE(fetchAllWeeklyRecords(orphan).isEmpty());
}

TEST_F(StoreQueriesTest, ViewQueryTracksACoordinatorsWrites)
{
    // The views' query on the main context sees the coordinator's context
    // mark an entry ready, and the entry object the view holds updates.
    JournalEntry *shown = add(1000);
    ASSERT_FALSE(context->save());
    StoreQuery query(context, JournalEntry::entityDescriptor(), allEntriesNewestFirstDescriptor());
    QSignalSpy spy(&query, &StoreQuery::resultsChanged);

    ModelContext coordinator(store->container.get());
    coordinator.setAutosaveEnabled(false);
    JournalEntry *working = fetchEntry(coordinator, shown->id());
    ASSERT_NE(working, nullptr);
    working->setInsightStatus(InsightStatus::Ready);
    working->setInsightText(QStringLiteral("A calm week."));
    working->setInsightSchemaVersion(kCurrentInsightSchemaVersion);
    EXPECT_EQ(shown->insightStatus(), InsightStatus::None);
    ASSERT_FALSE(coordinator.save());
    EXPECT_EQ(spy.count(), 1);
    EXPECT_TRUE(shown->hasCurrentInsight());
    EXPECT_EQ(query.resultsAs<JournalEntry>().first(), shown);
}
