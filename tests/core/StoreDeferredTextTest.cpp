// A large fetch leaves the entries' long texts in the store until they are
// read. Whatever happens meanwhile (edits here or elsewhere, deletions),
// reading one must give what a full fetch would have given.
#include "core/JournalQueries.h"
#include "core/StoreFactory.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace zn;

namespace {

constexpr int kEntries = 400; // past the point where a fetch reads rows in bulk

QString textOf(int i)
{
    return QStringLiteral("Entry number %1, written on a quiet evening. ").arg(i).repeated(1 + i % 5);
}

class StoreDeferredTextTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        auto made = makeStoreContainerIn(dir.path(), false);
        ASSERT_TRUE(made);
        container = made->container;
        ModelContext writer(container.get());
        for (int i = 0; i < kEntries; ++i) {
            auto e = std::make_unique<JournalEntry>(QUuid::createUuid(), QDateTime::fromSecsSinceEpoch(1'700'000'000 + i * 3600),
                                                    textOf(i), std::nullopt, 0.0, KeywordFrequencies{{QStringLiteral("rain"), 1}},
                                                    std::nullopt, QStringList{}, false);
            e->setInsightText(QStringLiteral("Reflection %1").arg(i));
            e->setThemes({QStringLiteral("theme %1").arg(i)});
            writer.insert(std::move(e));
        }
        ASSERT_FALSE(writer.save());
    }

    // Oldest first, so entry i holds textOf(i).
    QList<JournalEntry *> fetchAll(ModelContext &context)
    {
        FetchDescriptor d;
        d.sortBy = {{JournalEntry::Timestamp, SortOrder::Forward}};
        return context.fetch<JournalEntry>(d);
    }

    test::TempDir dir;
    std::shared_ptr<ModelContainer> container;
};

} // namespace

TEST_F(StoreDeferredTextTest, TextsReadLateAreTheStoredOnes)
{
    ModelContext views(container.get());
    const QList<JournalEntry *> entries = fetchAll(views);
    ASSERT_EQ(entries.size(), kEntries);
    EXPECT_TRUE(entries[0]->hasUnreadFields());
    EXPECT_EQ(entries[0]->sentimentScore(), 0.0); // short fields are there at once
    EXPECT_TRUE(entries[0]->hasUnreadFields());
    // From the middle first, then everything, in no helpful order.
    EXPECT_EQ(entries[200]->rawText(), textOf(200));
    EXPECT_FALSE(entries[201]->hasUnreadFields()); // read along with it
    EXPECT_TRUE(entries[199]->hasUnreadFields());
    for (int i = kEntries - 1; i >= 0; i -= 7)
        EXPECT_EQ(entries[i]->rawText(), textOf(i)) << i;
    for (int i = 0; i < kEntries; ++i) {
        EXPECT_EQ(entries[i]->rawText(), textOf(i)) << i;
        EXPECT_EQ(entries[i]->insightText(), QStringLiteral("Reflection %1").arg(i)) << i;
        EXPECT_EQ(entries[i]->themes(), QStringList{QStringLiteral("theme %1").arg(i)}) << i;
        EXPECT_EQ(entries[i]->moodLabel(), std::nullopt);
    }
    // A predicate on a long text, matched in the store and in memory alike.
    FetchDescriptor byText;
    byText.predicate = Predicate::where(JournalEntry::RawText, CompareOp::Equal, textOf(17));
    EXPECT_EQ(views.fetch<JournalEntry>(byText), QList<JournalEntry *>{entries[17]});
}

TEST_F(StoreDeferredTextTest, WritesBeforeAndAfterReadingAreSavedAndMergedRightly)
{
    ModelContext views(container.get());
    ModelContext worker(container.get());
    const QList<JournalEntry *> shown = fetchAll(views);
    const QList<JournalEntry *> working = fetchAll(worker);

    // A short field written first, then a long one cleared: the clearing is
    // a change from the stored text, not from the blank held before reading.
    shown[7]->setSentimentScore(0.25);
    shown[7]->setInsightText(std::nullopt);
    EXPECT_TRUE(shown[7]->hasChanges());
    // Written here before ever being read: saved, and the other long texts
    // of the row stay as stored.
    shown[3]->setRawText(QStringLiteral("rewritten"));
    // Setting the stored value back is no change at all.
    shown[4]->setRawText(textOf(4));
    EXPECT_FALSE(shown[4]->hasChanges());
    // Written elsewhere while not read here: the fresh text is what shows.
    working[5]->setRawText(QStringLiteral("changed elsewhere"));
    working[6]->setSentimentScore(0.5);
    // An unsaved edit here survives another context's save of the same row.
    shown[6]->setInsightText(QStringLiteral("mine"));
    ASSERT_FALSE(worker.save());
    ASSERT_FALSE(views.save());

    EXPECT_EQ(shown[5]->rawText(), QStringLiteral("changed elsewhere"));
    EXPECT_EQ(shown[6]->sentimentScore(), 0.5);
    EXPECT_EQ(working[6]->insightText(), QStringLiteral("mine"));
    EXPECT_EQ(working[3]->rawText(), QStringLiteral("rewritten"));

    ModelContext fresh(container.get());
    const QList<JournalEntry *> stored = fetchAll(fresh);
    EXPECT_EQ(stored[3]->rawText(), QStringLiteral("rewritten"));
    EXPECT_EQ(stored[3]->insightText(), QStringLiteral("Reflection 3"));
    EXPECT_EQ(stored[4]->rawText(), textOf(4));
    EXPECT_EQ(stored[5]->rawText(), QStringLiteral("changed elsewhere"));
    EXPECT_EQ(stored[6]->rawText(), textOf(6));
    EXPECT_EQ(stored[6]->insightText(), QStringLiteral("mine"));
    EXPECT_EQ(stored[7]->insightText(), std::nullopt);
    EXPECT_EQ(stored[7]->sentimentScore(), 0.25);
}

TEST_F(StoreDeferredTextTest, EntryDeletedElsewhereStillReadsItsText)
{
    ModelContext views(container.get());
    ModelContext worker(container.get());
    const QList<JournalEntry *> shown = fetchAll(views);
    worker.remove(fetchAll(worker)[250]);
    ASSERT_FALSE(worker.save());
    EXPECT_TRUE(shown[250]->isDeleted());
    EXPECT_EQ(shown[250]->rawText(), textOf(250));
    EXPECT_EQ(shown[251]->rawText(), textOf(251));
}
