#include "core/JournalQueries.h"
#include "core/StoreFactory.h"
#include "support/TestSupport.h"

#include <QProcess>
#include <QSet>

#include <gtest/gtest.h>

#include <csignal>
#include <random>
#include <unistd.h>

using namespace zn;

// A writer killed outright at any moment, inside the lock file's writing
// included, must leave a store that the next start opens and that holds
// every entry whose save had returned.
TEST(StoreDurability, KilledWriterLosesNoReturnedSave)
{
    zn::test::TempDir dir;
    QSet<QString> confirmed;
    std::mt19937 random(std::random_device{}());
    for (int round = 0; round < 201; ++round) {
        SCOPED_TRACE(round);
        // By turns: while the lock file is written, in the first 40 ms, or
        // during the saves after the first few.
        const int moment = round % 3;
        QProcess writer;
        writer.start(QStringLiteral(ZN_STORE_WRITER),
                     moment ? QStringList{dir.path()} : QStringList{QStringLiteral("--slow-lock"), dir.path()});
        ASSERT_TRUE(writer.waitForStarted());
        QByteArray pending;
        const int target = 1 + int(random() % 4);
        int saved = 0;
        bool locking = false;
        if (moment == 1)
            ::usleep(useconds_t(random() % 40'000));
        ASSERT_TRUE(moment == 1 || zn::test::waitUntil([&] {
            writer.waitForReadyRead(10);
            pending += writer.readAllStandardOutput();
            qsizetype nl;
            while ((nl = pending.indexOf('\n')) >= 0) {
                if (pending.left(nl) == "locking") {
                    locking = true;
                } else {
                    confirmed.insert(QString::fromLatin1(pending.left(nl)));
                    ++saved;
                }
                pending.remove(0, nl + 1);
            }
            return (moment == 0 ? locking : saved >= target) || writer.state() == QProcess::NotRunning;
        }, std::chrono::seconds(30)));
        ::usleep(useconds_t(random() % 2000));
        // A start that cannot open the store ends by itself.
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
