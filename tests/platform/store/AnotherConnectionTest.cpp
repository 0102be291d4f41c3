// A second connection to the store, used on another thread for large
// writes: its saves reach the main connection's contexts and live queries
// only when announced, and then read only the fields they wrote.

#include "core/JournalEntry.h"
#include "core/JournalQueries.h"
#include "core/StoreFactory.h"
#include "platform/store/ModelContext.h"
#include "platform/store/StoreQuery.h"
#include "support/TestSupport.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <thread>

using namespace zn;

namespace {

TEST(AnotherConnection, ItsSavesReachTheMainContextsOnceToldAndReadOnlyWhatTheyWrote)
{
    zn::test::TempDir dir;
    StoreError error;
    auto made = makeStoreContainerIn(dir.path(), &error);
    ASSERT_TRUE(made) << error.description().toStdString();
    std::shared_ptr<ModelContainer> container = made->container;
    ModelContext &writer = *container->mainContext();
    QList<QUuid> ids;
    for (const char *text : {"A long morning by the river.", "An evening of rain.", "A quiet walk."}) {
        auto entry = std::make_unique<JournalEntry>();
        entry->setRawText(QString::fromLatin1(text));
        entry->setInsightStatus(InsightStatus::Pending);
        ids << writer.insert(std::move(entry))->id();
    }
    ASSERT_FALSE(writer.save().has_value());

    // A view's context with every entry read whole, one with an unsaved
    // edit of its own; another that has read no text.
    ModelContext viewer(container.get());
    StoreQuery query(&viewer, JournalEntry::entityDescriptor(), allEntriesNewestFirstDescriptor());
    ASSERT_EQ(query.results().size(), 3);
    JournalEntry *whole = fetchEntry(viewer, ids[0]);
    JournalEntry *edited = fetchEntry(viewer, ids[2]);
    for (PersistentModel *model : query.results())
        (void)static_cast<JournalEntry *>(model)->rawText();
    ModelContext quiet(container.get());
    JournalEntry *unread = fetchEntry(quiet, ids[1]);
    ASSERT_FALSE(whole->hasUnreadFields());
    ASSERT_TRUE(unread->hasUnreadFields());
    edited->setInsightStatus(InsightStatus::Failed);
    QSignalSpy told(&query, &StoreQuery::resultsChanged);

    // On another thread: every status and its message set, one entry added.
    ModelContainer::ConnectionOpener open = container->connectionOpener();
    ASSERT_TRUE(open);
    StoreChanges saved;
    std::thread([&] {
        std::unique_ptr<ModelContainer> connection = open(nullptr);
        ASSERT_TRUE(connection);
        QObject::connect(connection.get(), &ModelContainer::didSave,
                         [&](const StoreChanges &changes, ModelContext *) { saved = changes; });
        ModelContext context(connection.get());
        for (JournalEntry *entry : fetchAllEntries(context)) {
            entry->setInsightStatus(InsightStatus::Unavailable);
            entry->setInsightFailureMessage(QStringLiteral("Not here."));
        }
        context.insert(std::make_unique<JournalEntry>())->setRawText(QStringLiteral("Added elsewhere."));
        ASSERT_FALSE(context.save().has_value());
    }).join();
    ASSERT_EQ(saved.updated.value(JournalEntry::entityDescriptor().name).size(), 3);
    EXPECT_EQ(saved.updatedFields.value(JournalEntry::entityDescriptor().name),
              (QSet<int>{JournalEntry::InsightStatusRaw, JournalEntry::InsightFailureMessage}));

    // Nothing is known here until told; then as after a save of its own.
    EXPECT_EQ(whole->insightStatus(), InsightStatus::Pending);
    EXPECT_EQ(query.results().size(), 3);
    EXPECT_EQ(told.count(), 0);
    container->announceChanges(saved);
    EXPECT_EQ(told.count(), 1);
    ASSERT_EQ(query.results().size(), 4);
    EXPECT_EQ(static_cast<JournalEntry *>(query.results().first())->rawText(), QStringLiteral("Added elsewhere."));
    EXPECT_EQ(whole->insightStatus(), InsightStatus::Unavailable);
    EXPECT_EQ(whole->insightFailureMessage(), QStringLiteral("Not here."));
    EXPECT_FALSE(whole->hasUnreadFields());
    // Only the written fields were read: the unread text still waits.
    EXPECT_EQ(unread->insightStatus(), InsightStatus::Unavailable);
    EXPECT_TRUE(unread->hasUnreadFields());
    EXPECT_EQ(unread->insightFailureMessage(), QStringLiteral("Not here."));
    EXPECT_EQ(unread->rawText(), QStringLiteral("An evening of rain."));
    // An unsaved edit here wins over the other connection's save.
    EXPECT_EQ(edited->insightStatus(), InsightStatus::Failed);
    EXPECT_EQ(edited->insightFailureMessage(), QStringLiteral("Not here."));

    // With the store held a change reads what was saved just before it; a
    // change that writes nothing lets the store go again.
    fetchEntry(writer, ids[0])->setSentimentScore(0.25);
    ASSERT_FALSE(writer.save().has_value());
    ModelContext holder(container.get());
    double seen = 0;
    ASSERT_FALSE(holder.saveHoldingTheStore([&] {
                           JournalEntry *entry = fetchEntry(holder, ids[0]);
                           seen = entry->sentimentScore();
                           entry->setSentimentScore(seen + 0.25);
                       }).has_value());
    EXPECT_EQ(seen, 0.25);
    ASSERT_FALSE(holder.saveHoldingTheStore([] {}).has_value());
    fetchEntry(writer, ids[1])->setSentimentScore(-0.5);
    EXPECT_FALSE(writer.save().has_value());
    ModelContext reader(container.get());
    EXPECT_EQ(fetchEntry(reader, ids[0])->sentimentScore(), 0.5);
    EXPECT_EQ(fetchEntry(reader, ids[1])->sentimentScore(), -0.5);

    // A store held in memory has no second connection to give.
    auto inMemory = makeModelContainer(true, &error);
    ASSERT_TRUE(inMemory) << error.description().toStdString();
    EXPECT_FALSE(inMemory->container->connectionOpener());
}

} // namespace
