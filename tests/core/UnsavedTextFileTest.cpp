// Text an ending session could not save: kept beside the store and put back
// as drafts by the next start, exactly once; nothing of it lost while the
// store still refuses or the file cannot be read.
#include "core/JournalEntry.h"
#include "core/JournalQueries.h"
#include "core/StoreFactory.h"
#include "core/UnsavedTextFile.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace zn;

TEST(UnsavedTextFile, KeptTextsComeBackOnceAsDraftsAndARefusedSaveKeepsThem)
{
    test::TempDir dir;
    auto store = makeModelContainerIn(dir.path());
    ASSERT_TRUE(store);
    ModelContext *context = store->container->mainContext();
    // The draft row an editor was writing into when the store refused.
    const QUuid rowId = context->insert(std::make_unique<JournalEntry>(
        QUuid::createUuid(), QDateTime::currentDateTime(), QStringLiteral("Dear diary, the"), std::nullopt, 0.0,
        KeywordFrequencies{}, std::nullopt, QStringList{}, true))->id();
    ASSERT_FALSE(context->save());
    const QDateTime when = QDateTime::fromString(QStringLiteral("2026-03-07T21:15:00Z"), Qt::ISODate);
    const QString draft = QStringLiteral("Dear diary, the rain “stopped” at last.\n");
    const QString edit = QStringLiteral("An edit of an older entry");
    EXPECT_TRUE(UnsavedTextFile::open(dir.path())->keep(draft, rowId, when));
    EXPECT_TRUE(UnsavedTextFile::open(dir.path())->keep(edit, std::nullopt, when));

    // The next start: a store that still refuses changes nothing anywhere.
    auto file = UnsavedTextFile::open(dir.path());
    ASSERT_TRUE(file);
    EXPECT_EQ(file->pendingCount(), 2);
    store->container->setSaveFailureInjector(
        [] { return std::optional<StoreError>(StoreError(StoreError::Code::DiskFull, QStringLiteral("full"))); });
    EXPECT_EQ(file->restoreInto(*context), 0);
    store->container->setSaveFailureInjector({});
    EXPECT_FALSE(context->hasChanges());
    EXPECT_EQ(file->pendingCount(), 2);

    // Once it takes them: the draft row gets its text, the edit a row of its
    // own, and the file is empty; a later start puts back nothing.
    EXPECT_EQ(file->restoreInto(*context), 2);
    file.reset();
    EXPECT_EQ(UnsavedTextFile::open(dir.path())->restoreInto(*context), 0);
    ModelContext reader(store->container.get());
    QStringList drafts;
    for (JournalEntry *entry : fetchAllEntries(reader))
        drafts << (entry->isDraft() ? entry->rawText() : QString());
    drafts.sort();
    EXPECT_EQ(drafts, (QStringList{edit, draft}));
    EXPECT_EQ(fetchEntry(reader, rowId)->rawText(), draft);
    EXPECT_EQ(fetchEntry(reader, rowId)->timestamp(), when);
}

TEST(UnsavedTextFile, AnUnreadableFileIsMovedAsideAndANewOneBegun)
{
    test::TempDir dir;
    QFile half(dir.file(QString::fromLatin1(UnsavedTextFile::kFileName)));
    ASSERT_TRUE(half.open(QIODevice::WriteOnly));
    half.write(R"({"format":1,"drafts":[{"text":"cut off wh)");
    half.close();

    auto file = UnsavedTextFile::open(dir.path());
    ASSERT_TRUE(file);
    EXPECT_EQ(file->pendingCount(), 0);
    const QStringList aside = QDir(dir.path()).entryList({QStringLiteral("unsaved-text *.json")});
    ASSERT_EQ(aside.size(), 1);
    QFile kept(dir.file(aside.first()));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_TRUE(kept.readAll().contains("cut off wh"));
    EXPECT_TRUE(file->keep(QStringLiteral("new"), std::nullopt, QDateTime::currentDateTimeUtc()));
    EXPECT_EQ(UnsavedTextFile::open(dir.path())->pendingCount(), 1);
}
