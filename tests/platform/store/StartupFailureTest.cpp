// Start-up against a journal that cannot be opened right now, or that is
// damaged: transient causes leave every file in place and the journal opens
// once they are gone; only real damage moves the store aside.
#include "core/JournalQueries.h"
#include "core/StoreFactory.h"
#include "platform/base/SystemLog.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

using namespace zn;

namespace {

constexpr int kEntries = 60;

void fillJournal(const QString &folder)
{
    StoreError error;
    auto store = makeStoreContainerIn(folder, &error);
    ASSERT_TRUE(store) << error.description().toStdString();
    for (int i = 0; i < kEntries; ++i) {
        auto e = std::make_unique<JournalEntry>();
        e->setRawText(QStringLiteral("Entry %1 of a long journal. ").arg(i).repeated(60));
        store->container->mainContext()->insert(std::move(e));
    }
    ASSERT_FALSE(store->container->mainContext()->save());
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QStringList recovered(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral("Recovered *")}, QDir::Dirs | QDir::NoDotAndDotDot);
}

int entriesIn(const QString &folder)
{
    auto store = makeModelContainerIn(folder);
    return store ? int(fetchAllEntries(*store->container->mainContext()).size()) : -1;
}

// Runs the start-up chain in a helper process and returns its one line.
QString openInHelper(const QString &program, const QStringList &arguments)
{
    QProcess helper;
    helper.start(program, arguments);
    if (!helper.waitForFinished(30'000))
        return QStringLiteral("<helper hung>");
    const QString out = QString::fromUtf8(helper.readAllStandardOutput()).trimmed();
    return out.isEmpty() ? QString::fromUtf8(helper.readAllStandardError()).trimmed() : out;
}

void expectPlainMessage(const QString &text)
{
    EXPECT_FALSE(text.contains(QLatin1String("not compatible"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QLatin1String("even after store recovery"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Nothing was moved or changed"))) << text.toStdString();
}

} // namespace

TEST(StoreStartup, LockHeldByAnotherProgramIsReportedAndNothingMoves)
{
    test::TempDir dir;
    fillJournal(dir.path());
    const QByteArray before = readFile(dir.file(QStringLiteral("default.store")));

    QProcess holder;
    holder.start(QStringLiteral(ZN_STORE_WRITER), {QStringLiteral("--lock"), dir.path()});
    ASSERT_TRUE(holder.waitForStarted());
    ASSERT_TRUE(holder.waitForReadyRead(10'000)) << holder.readAllStandardError().toStdString();
    ASSERT_EQ(holder.readAllStandardOutput().trimmed(), "locked");

    SystemLogCapture log;
    StoreError error;
    EXPECT_FALSE(makeModelContainerIn(dir.path(), &error));
    EXPECT_EQ(error.code, StoreError::Code::Busy) << error.description().toStdString();
    EXPECT_TRUE(error.isTransient());
    expectPlainMessage(startupFailureMessage(error));
    EXPECT_TRUE(error.description().contains(QStringLiteral("Another program is using the journal store")));
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines().at(0).startsWith(QStringLiteral("Zephyrnote: Local store unavailable (")));
    EXPECT_TRUE(recovered(dir.path()).isEmpty());

    ::kill(pid_t(holder.processId()), SIGKILL);
    ASSERT_TRUE(holder.waitForFinished());
    EXPECT_EQ(readFile(dir.file(QStringLiteral("default.store"))), before);
    EXPECT_EQ(entriesIn(dir.path()), kEntries);
}

TEST(StoreStartup, AStoreOpenInOneProgramIsBusyForAnotherAndLeftByteForByte)
{
    test::TempDir dir;
    fillJournal(dir.path());
    const auto snapshot = [&] {
        QStringList files;
        for (const QString &name : QDir(dir.path()).entryList(QDir::Files, QDir::Name))
            files << name + QLatin1Char(' ') + QString::fromLatin1(readFile(dir.file(name)).toBase64());
        return files;
    };
    auto held = makeModelContainerIn(dir.path());
    ASSERT_TRUE(held);
    EXPECT_TRUE(held->container->ownsStore());
    // Within this program every container of the folder shares the lock.
    auto again = makeModelContainerIn(dir.path());
    ASSERT_TRUE(again);
    EXPECT_TRUE(again->container->ownsStore());
    again.reset();

    const QStringList before = snapshot();
    const QString busy = openInHelper(QStringLiteral(ZN_STORE_WRITER), {QStringLiteral("--open"), dir.path()});
    EXPECT_TRUE(busy.startsWith(QStringLiteral("error %1 ").arg(int(StoreError::Code::Busy)))) << busy.toStdString();
    EXPECT_TRUE(busy.contains(QStringLiteral("Another program is using the journal store"))) << busy.toStdString();
    expectPlainMessage(busy);
    EXPECT_EQ(snapshot(), before);
    EXPECT_TRUE(recovered(dir.path()).isEmpty());

    // A program started while the lock is held does not keep it.
    QProcess started;
    started.start(QStringLiteral("sleep"), {QStringLiteral("30")});
    held.reset();
    EXPECT_EQ(openInHelper(QStringLiteral(ZN_STORE_WRITER), {QStringLiteral("--open"), dir.path()}),
              QStringLiteral("ok %1").arg(kEntries));

    // The lock of a program that was killed is taken over at once.
    QProcess writer;
    writer.start(QStringLiteral(ZN_STORE_WRITER), {dir.path()});
    ASSERT_TRUE(writer.waitForReadyRead(10'000)) << writer.readAllStandardError().toStdString();
    ::kill(pid_t(writer.processId()), SIGKILL);
    ASSERT_TRUE(writer.waitForFinished());
    StoreError error;
    auto taken = makeModelContainerIn(dir.path(), &error);
    ASSERT_TRUE(taken) << error.description().toStdString();
    EXPECT_TRUE(taken->container->ownsStore());
    EXPECT_GT(fetchAllEntries(*taken->container->mainContext()).size(), kEntries);
}

TEST(StoreStartup, UnreadableFilesAreReportedAndOpenOnceReadableAgain)
{
    test::TempDir dir;
    const QString journal = dir.file(QStringLiteral("journal"));
    fillJournal(journal);
    const QString store = QDir(journal).filePath(QStringLiteral("default.store"));
    const QByteArray before = readFile(store);
    const auto setMode = [&](mode_t mode) { ::chmod(QFile::encodeName(store).constData(), mode); };

    // Permissions do not bind root: then the open runs in a helper that has
    // dropped to an ordinary account.
    QString outcome;
    std::function<QString()> openAsUser;
    if (::geteuid() != 0) {
        openAsUser = [&] {
            StoreError error;
            auto made = makeModelContainerIn(journal, &error);
            return made ? QStringLiteral("ok %1").arg(fetchAllEntries(*made->container->mainContext()).size())
                        : QStringLiteral("error %1 %2").arg(int(error.code)).arg(startupFailureMessage(error));
        };
    } else {
        const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
        if (setpriv.isEmpty())
            GTEST_SKIP() << "running as root without setpriv to drop to another account";
        ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
        for (const QString &name : {QStringLiteral("journal"), QStringLiteral("journal/default.store")})
            ASSERT_EQ(::chown(QFile::encodeName(dir.file(name)).constData(), 65534, 65534), 0);
        openAsUser = [setpriv, journal] {
            return openInHelper(setpriv, {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                          QStringLiteral("--clear-groups"), QStringLiteral(ZN_STORE_WRITER),
                                          QStringLiteral("--open"), journal});
        };
    }

    setMode(0);
    outcome = openAsUser();
    EXPECT_TRUE(outcome.startsWith(QStringLiteral("error %1 ").arg(int(StoreError::Code::PermissionDenied))))
        << outcome.toStdString();
    EXPECT_TRUE(outcome.contains(QStringLiteral("isn’t allowed to read or write"))) << outcome.toStdString();
    expectPlainMessage(outcome);
    EXPECT_TRUE(recovered(journal).isEmpty());

    setMode(0600);
    EXPECT_EQ(readFile(store), before);
    outcome = openAsUser();
    EXPECT_EQ(outcome, QStringLiteral("ok %1").arg(kEntries));
}

TEST(StoreStartup, FullDiskIsReportedAndLeavesNoEmptyStore)
{
    // A small file system of its own, filled to the last block.
    test::TempDir dir;
    const QString source = dir.file(QStringLiteral("source"));
    fillJournal(source);
    const QString mount = dir.file(QStringLiteral("small"));
    ASSERT_TRUE(QDir().mkpath(mount));
    const QString script = QStringLiteral(
        "mkdir \"$1/new\"; "
        "cp \"$2/default.store\" \"$1/\"; "
        "dd if=/dev/zero of=\"$1/filler\" bs=4k >/dev/null 2>&1 || true; "
        "echo \"full: $(\"$3\" --open \"$1\")\"; "
        "echo \"first: $(\"$3\" --open \"$1/new\")\"; "
        "echo \"left: $(ls -A \"$1/new\" | tr '\\n' ' ')\"; "
        "echo \"recovered: $(ls -d \"$1\"/Recovered* 2>/dev/null | wc -l)\"; "
        "cmp -s \"$1/default.store\" \"$2/default.store\" && echo same || echo changed; "
        "rm \"$1/filler\"; echo \"freed: $(\"$3\" --open \"$1\")\"");
    const test::SmallFileSystemRun run =
        test::runOnSmallFileSystem(mount, QStringLiteral("4m"), script, {source, QStringLiteral(ZN_STORE_WRITER)});
    if (!run.skipReason.isEmpty())
        GTEST_SKIP() << run.skipReason.toStdString();
    const QStringList &lines = run.lines;
    ASSERT_EQ(lines.size(), 6) << lines.join(u'\n').toStdString() << run.errors.toStdString();
    const QString fullCode = QStringLiteral("error %1 ").arg(int(StoreError::Code::DiskFull));
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("full: ") + fullCode)) << lines[0].toStdString();
    expectPlainMessage(lines[0]);
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("first: ") + fullCode)) << lines[1].toStdString();
    // No empty store file behind; the lock file stays, as after every run.
    EXPECT_EQ(lines[2].trimmed(), QStringLiteral("left: zephyrnote.lock"));
    EXPECT_EQ(lines[3], QStringLiteral("recovered: 0"));
    EXPECT_EQ(lines[4], QStringLiteral("same"));
    EXPECT_EQ(lines[5], QStringLiteral("freed: ok %1").arg(kEntries));
}

TEST(StoreStartup, ADiskFilledWhileSavingTakesSavesAgainOnceRoomIsMade)
{
    test::TempDir dir;
    const QString mount = dir.file(QStringLiteral("small"));
    ASSERT_TRUE(QDir().mkpath(mount));
    // Saves until the disk is full, then, with 1 MB freed, 20 more; the
    // writer ends by itself each time, so nothing waits on a closing pipe.
    const test::SmallFileSystemRun run = test::runOnSmallFileSystem(
        mount, QStringLiteral("8m"),
        QStringLiteral("dd if=/dev/zero of=\"$1/room\" bs=1M count=1 2>/dev/null; "
                       "echo \"full: $(\"$2\" --long \"$1/j\" 2>&1 >/dev/null)\"; "
                       "rm \"$1/room\"; "
                       "ids=$(\"$2\" --long \"$1/j\" 20) && echo \"again: $(echo \"$ids\" | wc -l)\" "
                       "|| echo \"again: failed\""),
        {QStringLiteral(ZN_STORE_WRITER)});
    if (!run.skipReason.isEmpty())
        GTEST_SKIP() << run.skipReason.toStdString();
    ASSERT_EQ(run.lines.size(), 2) << run.lines.join(u'\n').toStdString() << run.errors.toStdString();
    EXPECT_TRUE(run.lines[0].startsWith(QStringLiteral("full: The journal could not be saved: database or disk is full")))
        << run.lines[0].toStdString();
    EXPECT_EQ(run.lines[1].toStdString(), "again: 20") << run.errors.toStdString();
}

TEST(StoreStartup, DamagedPagesAreFoundAndReadableEntriesSalvaged)
{
    test::TempDir dir;
    fillJournal(dir.path());
    const QString store = dir.file(QStringLiteral("default.store"));
    {
        // Checkpointed into the main file, then three pages in the middle
        // overwritten.
        auto made = makeStoreContainerIn(dir.path());
        ASSERT_TRUE(made);
    }
    QFile file(store);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const qint64 pageSize = 4096;
    ASSERT_GT(file.size(), pageSize * 20);
    ASSERT_TRUE(file.seek(file.size() / 2 / pageSize * pageSize));
    file.write(QByteArray(3 * pageSize, '\x5a'));
    file.close();

    SystemLogCapture log;
    StoreError error;
    auto opened = makeModelContainerIn(dir.path(), &error);
    ASSERT_TRUE(opened) << error.description().toStdString();
    ASSERT_TRUE(opened->note);
    EXPECT_TRUE(opened->note->startsWith(QStringLiteral("The journal store was damaged. It was moved to “")))
        << opened->note->toStdString();
    ASSERT_EQ(log.lines().size(), 4); // damaged, moved aside, opened, read back
    EXPECT_TRUE(log.lines().at(0).startsWith(QStringLiteral("Zephyrnote: Local store damaged ("))) << log.lines().at(0).toStdString();
    EXPECT_TRUE(log.lines().at(2).startsWith(QStringLiteral("Zephyrnote: Opened the journal store “"))) << log.lines().at(2).toStdString();
    EXPECT_TRUE(log.lines().at(3).startsWith(QStringLiteral("Zephyrnote: Read "))) << log.lines().at(3).toStdString();

    // The damaged file is kept whole in the backup; what could be read is
    // in the new store, which takes new writing.
    const QStringList backups = recovered(dir.path());
    ASSERT_EQ(backups.size(), 1);
    EXPECT_NE(readFile(QDir(dir.path()).filePath(backups.first() + QStringLiteral("/default.store"))), "<missing>");
    ModelContext *context = opened->container->mainContext();
    const int salvaged = int(fetchAllEntries(*context).size());
    EXPECT_GT(salvaged, kEntries / 2);
    EXPECT_LT(salvaged, kEntries);
    EXPECT_TRUE(opened->note->contains(QStringLiteral("%1 entries could be read back").arg(salvaged)));
    for (JournalEntry *e : fetchAllEntries(*context))
        EXPECT_TRUE(e->rawText().startsWith(QStringLiteral("Entry "))) << e->rawText().left(40).toStdString();
    context->insert(std::make_unique<JournalEntry>());
    EXPECT_FALSE(context->save());
    opened.reset();
    EXPECT_EQ(entriesIn(dir.path()), salvaged + 1);
}
