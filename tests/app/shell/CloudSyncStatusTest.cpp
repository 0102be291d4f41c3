// Where the journal lives: the store note reaches the settings window once,
// on a real change only.

#include "app/shell/CloudSyncStatus.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace zn {
namespace {

TEST(CloudSyncStatusTest, StoreNoteNotifiesOnlyOnARealChange)
{
    CloudSyncStatus status;
    EXPECT_FALSE(status.storeNote());
    QSignalSpy note(&status, &CloudSyncStatus::storeNoteChanged);
    status.setStoreNote(QStringLiteral("Local."));
    status.setStoreNote(QStringLiteral("Local."));
    status.setStoreNote(std::nullopt);
    status.setStoreNote(std::nullopt);
    status.setStoreNote(QString()); // an empty text is still a text
    EXPECT_EQ(note.count(), 3);
    EXPECT_EQ(status.storeNote(), QString());
}

} // namespace
} // namespace zn
