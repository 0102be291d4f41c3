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

// A writer killed outright at any moment, taking the store's lock included,
// must leave a store that the next start opens, holding every entry whose
// save had returned.
TEST(StoreDurability, KilledWriterLosesNoReturnedSave)
{
    zn::test::TempDir dir;
    QSet<QString> confirmed;
    std::mt19937 random(std::random_device{}());
    for (int round = 0; round < 201; ++round) {
        SCOPED_TRACE(round);
        // By turns: inside the lock file's writing, within the first 40 ms
        // (start-up, opening), or during the saves after the first few.
        const int moment = round % 3;
        QProcess writer;
        writer.start(QStringLiteral(ZN_STORE_WRITER),
                     moment == 0 ? QStringList{QStringLiteral("--slow-lock"), dir.path()} : QStringList{dir.path()});
        ASSERT_TRUE(writer.waitForStarted());
        QByteArray out;
        const int saves = 1 + int(random() % 4);
        const auto reached = [&] {
            writer.waitForReadyRead(5);
            out += writer.readAllStandardOutput();
            return writer.state() != QProcess::Running || (moment == 0 ? out.contains("locking\n") : out.count('\n') >= saves);
        };
        if (moment == 1)
            ::usleep(useconds_t(random() % 40'000));
        else
            ASSERT_TRUE(zn::test::waitUntil(reached, std::chrono::seconds(30)));
        ::usleep(useconds_t(random() % 2000));
        // A start that cannot open the store ends by itself.
        ASSERT_EQ(writer.state(), QProcess::Running) << writer.readAllStandardError().toStdString();
        ::kill(pid_t(writer.processId()), SIGKILL);
        ASSERT_TRUE(writer.waitForFinished());
        ASSERT_EQ(writer.exitStatus(), QProcess::CrashExit) << writer.readAllStandardError().toStdString();
        out += writer.readAllStandardOutput();
        for (const QByteArray &line : out.split('\n'))
            if (line.size() == 36)
                confirmed.insert(QString::fromLatin1(line));
    }

    StoreError error;
    auto store = makeStoreContainerIn(dir.path(), false, &error);
    ASSERT_TRUE(store) << error.message.toStdString();
    QSet<QString> stored;
    for (JournalEntry *e : fetchAllEntries(*store->container->mainContext()))
        stored.insert(e->id().toString(QUuid::WithoutBraces).toUpper());
    EXPECT_TRUE(stored.contains(confirmed)) << confirmed.size() << " confirmed, " << stored.size() << " stored";
}
