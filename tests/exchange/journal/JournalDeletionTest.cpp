#include "JournalExchangeSupport.h"

#include "core/JournalQueries.h"
#include "core/WeeklyReflectionRecord.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

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

    // How often `marker` occurs in the files of the store's folder, as the
    // bytes anyone with the files could search for.
    int foundOnDisk(const QString &marker)
    {
        const QByteArray needle = marker.toUtf8();
        int found = 0;
        QDirIterator files(m_dir.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            QFile file(files.next());
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QByteArray bytes = file.readAll();
            for (qsizetype at = bytes.indexOf(needle); at >= 0; at = bytes.indexOf(needle, at + 1))
                ++found;
        }
        return found;
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

TEST_F(JournalDeletionTest, DeletedTextIsInNoFileOfTheStoreFolderWhileTheStoreIsStillOpen)
{
    // Entries long enough for overflow pages, each edited once so an older
    // version sits in the log too, a reflection, a weekly record and a draft.
    const auto marker = [](int i) { return QStringLiteral("lantern-marker-%1 walked the pier").arg(i, 3, 10, QChar(u'0')); };
    QList<JournalEntry *> entries;
    for (int i = 0; i < 50; ++i) {
        JournalEntry *e = seed(marker(i) + QStringLiteral(" and the gulls. ").repeated(i % 5 ? 3 : 400));
        e->setRawText(e->rawText() + QStringLiteral(" Later: ") + marker(i));
        e->setInsightText(QStringLiteral("Reflection on ") + marker(i));
        entries.append(e);
    }
    ASSERT_FALSE(m_context->save());
    auto weekly = std::make_unique<WeeklyReflectionRecord>(QStringLiteral("rolling7:2024-03-11"),
                                                           QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC));
    weekly->setSummary(QStringLiteral("A week of ") + marker(900));
    m_context->insert(std::move(weekly));
    seed(QStringLiteral("Draft about ") + marker(901), true);
    ASSERT_GT(foundOnDisk(marker(7)), 0) << "the test cannot see what the store writes";

    // One entry deleted: its text is gone from the store file and the log
    // at once; the others are untouched.
    m_context->remove(entries.takeAt(7));
    ASSERT_FALSE(m_context->save());
    EXPECT_EQ(foundOnDisk(marker(7)), 0);
    EXPECT_GT(foundOnDisk(marker(8)), 0);

    // Delete All: nothing of any entry, reflection or draft is readable in
    // any file of the folder, with the store still open.
    ASSERT_FALSE(deleteAllJournalData(*m_context).has_value());
    for (int i : {0, 1, 4, 5, 25, 49, 900, 901})
        EXPECT_EQ(foundOnDisk(marker(i)), 0) << marker(i).toStdString();
    EXPECT_EQ(foundOnDisk(QStringLiteral("lantern-marker-")), 0);
    EXPECT_EQ(QFileInfo(m_dir.file(QStringLiteral("default.store-wal"))).size(), 0);

    // The emptied store takes new writing as before.
    seed(QStringLiteral("a new start"));
    ModelContext reader(m_container.get());
    EXPECT_EQ(reader.fetch<JournalEntry>().size(), 1);
}

} // namespace
