#include "core/JournalQueries.h"
#include "core/StoreFactory.h"
#include "support/TestSupport.h"

#include <QProcess>
#include <QSet>

#include <gtest/gtest.h>

#include <csignal>

using namespace zn;

// A writer killed outright must leave a store that opens and holds every
// entry whose save had returned.
TEST(StoreDurability, KilledWriterLosesNoReturnedSave)
{
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        zn::test::TempDir dir;
        QProcess writer;
        writer.start(QStringLiteral(ZN_STORE_WRITER), {dir.path()});
        ASSERT_TRUE(writer.waitForStarted());
        QSet<QString> confirmed;
        QByteArray pending;
        const int target = 40 + round * 37;
        ASSERT_TRUE(zn::test::waitUntil([&] {
            writer.waitForReadyRead(10);
            pending += writer.readAllStandardOutput();
            qsizetype nl;
            while ((nl = pending.indexOf('\n')) >= 0) {
                confirmed.insert(QString::fromLatin1(pending.left(nl)));
                pending.remove(0, nl + 1);
            }
            return confirmed.size() >= target || writer.state() == QProcess::NotRunning;
        }, std::chrono::seconds(30)));
        ASSERT_EQ(writer.state(), QProcess::Running) << writer.readAllStandardError().toStdString();
        ::kill(pid_t(writer.processId()), SIGKILL);
        ASSERT_TRUE(writer.waitForFinished());
        EXPECT_EQ(writer.exitStatus(), QProcess::CrashExit);

        StoreError error;
        auto store = makeStoreContainerIn(dir.path(), &error);
        ASSERT_TRUE(store) << error.message.toStdString();
        QSet<QString> stored;
        for (JournalEntry *e : fetchAllEntries(*store->container->mainContext()))
            stored.insert(e->id().toString(QUuid::WithoutBraces).toUpper());
        for (const QString &id : std::as_const(confirmed))
            EXPECT_TRUE(stored.contains(id)) << id.toStdString();
        EXPECT_GE(stored.size(), confirmed.size());
    }
}
