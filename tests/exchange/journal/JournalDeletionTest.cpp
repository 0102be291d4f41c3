#include "JournalExchangeSupport.h"

#include "core/JournalQueries.h"
#include "core/WeeklyReflectionRecord.h"

using namespace zn;
using namespace zn::test;

namespace {

class JournalDeletionTest : public JournalStoreTest
{
protected:
    void SetUp() override
    {
        JournalStoreTest::SetUp();
        m_finished = seed(QStringLiteral("finished"));
        m_draft = seed(QStringLiteral("draft"), true);
        seedWeekly(QStringLiteral("rolling7:2024-03-09"));
        seedWeekly(QStringLiteral("rolling7:2024-03-10"));
    }

    int storedEntries()
    {
        ModelContext reader(m_container.get());
        return int(reader.fetch<JournalEntry>().size());
    }
    int storedRecords()
    {
        ModelContext reader(m_container.get());
        return int(reader.fetch<WeeklyReflectionRecord>().size());
    }

    JournalEntry *m_finished = nullptr;
    JournalEntry *m_draft = nullptr;
};

TEST_F(JournalDeletionTest, RemovesEveryEntryDraftsIncludedAndEveryWeeklyRecord)
{
    // Unsaved work goes too: a new entry never saved and an edit.
    auto fresh = std::make_unique<JournalEntry>();
    fresh->setRawText(QStringLiteral("not saved yet"));
    JournalEntry *unsaved = m_context->insert(std::move(fresh));
    m_finished->setRawText(QStringLiteral("edited"));

    EXPECT_FALSE(deleteAllJournalData(*m_context).has_value());
    EXPECT_EQ(storedEntries(), 0);
    EXPECT_EQ(storedRecords(), 0);
    EXPECT_TRUE(fetchAllEntries(*m_context).isEmpty());
    EXPECT_TRUE(fetchAllWeeklyRecords(*m_context).isEmpty());
    EXPECT_TRUE(m_finished->isDeleted());
    EXPECT_TRUE(m_draft->isDeleted());
    EXPECT_TRUE(unsaved->isDeleted());
    EXPECT_FALSE(m_context->hasChanges());
    // Deleting an empty journal is fine.
    EXPECT_FALSE(deleteAllJournalData(*m_context).has_value());
}

TEST_F(JournalDeletionTest, RefusedSaveDeletesNothingAndReports)
{
    m_finished->setRawText(QStringLiteral("unsaved edit"));
    const QByteArray before = storeDump();
    refuseSaves();
    const auto error = deleteAllJournalData(*m_context);
    ASSERT_TRUE(error.has_value());
    EXPECT_TRUE(error->description().contains(QStringLiteral("disk full")));
    EXPECT_EQ(storeDump(), before);
    EXPECT_FALSE(m_finished->isDeleted());
    EXPECT_FALSE(m_draft->isDeleted());
    EXPECT_EQ(fetchAllEntries(*m_context).size(), 2);
    EXPECT_EQ(fetchAllWeeklyRecords(*m_context).size(), 2);

    // The caller's own unsaved edit is still there to be saved.
    allowSaves();
    EXPECT_FALSE(m_context->save());
    ModelContext reader(m_container.get());
    EXPECT_EQ(fetchEntry(reader, m_finished->id())->rawText(), QStringLiteral("unsaved edit"));
}

} // namespace
