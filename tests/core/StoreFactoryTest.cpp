#include "core/JournalQueries.h"
#include "core/JournalSchema.h"
#include "core/StoreFactory.h"
#include "platform/base/SystemLog.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace zn;

namespace {

// The one line a start logs when nothing is wrong.
QString openedLine(const QString &folder)
{
    return QStringLiteral("Zephyrnote: Opened the journal store “%1”.").arg(QDir(folder).filePath(QStringLiteral("default.store")));
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QStringList backups(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral("Recovered *")}, QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

QUuid saveOneEntry(const StoreContainerResult &store, const QString &text)
{
    auto e = std::make_unique<JournalEntry>();
    e->setRawText(text);
    const QUuid id = e->id();
    store.container->mainContext()->insert(std::move(e));
    EXPECT_FALSE(store.container->mainContext()->save());
    return id;
}

} // namespace

TEST(StoreFactory, FirstStartCreatesTheFolderAndRunsLocally)
{
    zn::test::TempDir dir;
    const QString folder = dir.file(QStringLiteral("share/Zephyrnote"));
    SystemLogCapture log;
    StoreError error;
    auto store = makeModelContainerIn(folder, &error);
    ASSERT_TRUE(store) << error.message.toStdString();
    EXPECT_EQ(store->note, QString::fromUtf8(kLocalOnlyStoreNote));
    EXPECT_EQ(log.lines(), QStringList{openedLine(folder)});
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_TRUE(QFileInfo::exists(QDir(folder).filePath(QStringLiteral("default.store"))));
    EXPECT_FALSE(QFileInfo::exists(QDir(folder).filePath(QStringLiteral("cloud.store"))));
    EXPECT_TRUE(backups(folder).isEmpty());

    // A second start finds the same journal.
    const QUuid id = saveOneEntry(*store, QStringLiteral("hello"));
    store.reset();
    auto again = makeModelContainerIn(folder);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->note, QString::fromUtf8(kLocalOnlyStoreNote));
    ASSERT_NE(fetchEntry(*again->container->mainContext(), id), nullptr);
}

TEST(StoreFactory, UnreadableStoreIsMovedAsideNotDeleted)
{
    struct Case {
        const char *name;
        std::function<void(const QString &folder)> spoil;
    };
    const QList<Case> cases{
        {"garbage", [](const QString &folder) {
             writeFile(QDir(folder).filePath(QStringLiteral("default.store")), QByteArray(8192, '\x5a'));
         }},
        {"newer version", [](const QString &folder) {
             {
                 auto store = makeStoreContainerIn(folder);
                 ASSERT_TRUE(store);
                 saveOneEntry(*store, QStringLiteral("written by a newer app"));
             }
             {
                 QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("newer"));
                 db.setDatabaseName(QDir(folder).filePath(QStringLiteral("default.store")));
                 ASSERT_TRUE(db.open());
                 QSqlQuery q(db);
                 ASSERT_TRUE(q.exec(QStringLiteral("UPDATE zn_metadata SET value = '3.0.0'")));
             }
             QSqlDatabase::removeDatabase(QStringLiteral("newer"));
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        zn::test::TempDir dir;
        const QString folder = dir.path();
        c.spoil(folder);
        const QByteArray oldStore = readFile(QDir(folder).filePath(QStringLiteral("default.store")));
        const bool garbage = QByteArray(c.name) == "garbage";
        if (garbage)
            writeFile(QDir(folder).filePath(QStringLiteral("default.store-wal")), "wal");
        writeFile(QDir(folder).filePath(QStringLiteral("cloud.store")), "cloud");
        writeFile(QDir(folder).filePath(QStringLiteral("Other.sqlite")), "other");
        writeFile(QDir(folder).filePath(QStringLiteral("x.store-journal")), "journal");
        writeFile(QDir(folder).filePath(QStringLiteral("notes.txt")), "mine");
        writeFile(QDir(folder).filePath(QStringLiteral("store.txt")), "mine too");
        ASSERT_TRUE(QDir(folder).mkdir(QStringLiteral("Photos")));
        ASSERT_TRUE(QDir(folder).mkdir(QStringLiteral("old.store")));
        const QString outside = dir.file(QStringLiteral("Photos/target.bin"));
        writeFile(outside, "outside");
        ASSERT_EQ(::symlink(QFile::encodeName(outside).constData(),
                            QFile::encodeName(QDir(folder).filePath(QStringLiteral("link.sqlite"))).constData()),
                  0);

        SystemLogCapture log;
        StoreError error;
        auto store = makeModelContainerIn(folder, &error);
        ASSERT_TRUE(store) << error.message.toStdString();
        EXPECT_EQ(store->note, QString::fromUtf8(kRecreatedStoreNote));

        const QStringList lines = log.lines();
        ASSERT_EQ(lines.size(), 3) << lines.join('\n').toStdString();
        EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Zephyrnote: Local store incompatible (The journal store ")));
        EXPECT_TRUE(lines[0].endsWith(QStringLiteral("). Removing store and recreating.")));
        const QStringList made = backups(folder);
        ASSERT_EQ(made.size(), 1);
        const QDir backup(QDir(folder).filePath(made.first()));
        EXPECT_TRUE(lines[1].startsWith(QStringLiteral("Zephyrnote: Moved the old store files")));
        EXPECT_TRUE(lines[1].contains(backup.path()));
        EXPECT_EQ(lines[2], openedLine(folder));

        // Everything the recovery would have deleted is in the backup, intact.
        EXPECT_EQ(readFile(backup.filePath(QStringLiteral("default.store"))), oldStore);
        if (garbage) {
            EXPECT_EQ(readFile(backup.filePath(QStringLiteral("default.store-wal"))), "wal");
        }
        EXPECT_EQ(readFile(backup.filePath(QStringLiteral("cloud.store"))), "cloud");
        if (!garbage) {
            // The moved journal still opens and still holds its entry.
            auto moved = ModelContainer::open(ZephyrnoteSchemaV2::schema(), [&] {
                ModelConfiguration m;
                m.folder = backup.path();
                return m;
            }());
            EXPECT_FALSE(moved); // newer version: refused, but intact
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
            db.setDatabaseName(backup.filePath(QStringLiteral("default.store")));
            ASSERT_TRUE(db.open());
            QSqlQuery q(db);
            ASSERT_TRUE(q.exec(QStringLiteral("SELECT count(*) FROM zn_long_JournalEntry WHERE rawText = 'written by a newer app'")));
            ASSERT_TRUE(q.next());
            EXPECT_EQ(q.value(0).toInt(), 1);
            q.finish();
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(QStringLiteral("check"));
        }
        EXPECT_EQ(readFile(backup.filePath(QStringLiteral("Other.sqlite"))), "other");
        EXPECT_EQ(readFile(backup.filePath(QStringLiteral("x.store-journal"))), "journal");
        EXPECT_TRUE(QFileInfo(backup.filePath(QStringLiteral("old.store"))).isDir());
        EXPECT_TRUE(QFileInfo(backup.filePath(QStringLiteral("link.sqlite"))).isSymLink());
        EXPECT_EQ(readFile(outside), "outside");
        // Unrelated items stay put.
        EXPECT_EQ(readFile(QDir(folder).filePath(QStringLiteral("notes.txt"))), "mine");
        EXPECT_EQ(readFile(QDir(folder).filePath(QStringLiteral("store.txt"))), "mine too");
        EXPECT_TRUE(QFileInfo(QDir(folder).filePath(QStringLiteral("Photos"))).isDir());
        for (const char *gone : {"cloud.store", "Other.sqlite", "x.store-journal", "old.store", "link.sqlite"})
            EXPECT_FALSE(QFileInfo(QDir(folder).filePath(QString::fromLatin1(gone))).exists()) << gone;

        // The fresh store works and starts empty.
        EXPECT_TRUE(fetchAllEntries(*store->container->mainContext()).isEmpty());
        saveOneEntry(*store, QStringLiteral("a new beginning"));
        EXPECT_EQ(fetchAllEntries(*store->container->mainContext()).size(), 1);
    }
}

TEST(StoreFactory, RepeatedRecoveryKeepsEveryBackup)
{
    zn::test::TempDir dir;
    for (int i = 0; i < 2; ++i) {
        writeFile(dir.file(QStringLiteral("default.store")), QByteArray(1024, char('a' + i)));
        auto store = makeModelContainerIn(dir.path());
        ASSERT_TRUE(store);
        EXPECT_EQ(store->note, QString::fromUtf8(kRecreatedStoreNote));
        store.reset();
        // Make the next start fail again.
        QFile::remove(dir.file(QStringLiteral("default.store-wal")));
        QFile::remove(dir.file(QStringLiteral("default.store-shm")));
    }
    const QStringList made = backups(dir.path());
    ASSERT_EQ(made.size(), 2);
    QSet<QByteArray> kept;
    for (const QString &b : made)
        kept.insert(readFile(QDir(dir.path()).filePath(b + QStringLiteral("/default.store"))));
    EXPECT_TRUE(kept.contains(QByteArray(1024, 'a')));
    EXPECT_TRUE(kept.contains(QByteArray(1024, 'b')));
}

TEST(StoreFactory, UnusableFolderFailsWithTheFatalMessageAndLosesNothing)
{
    zn::test::TempDir dir;
    const QString notAFolder = dir.file(QStringLiteral("Zephyrnote"));
    writeFile(notAFolder, "precious");
    SystemLogCapture log;
    StoreError error;
    EXPECT_FALSE(makeModelContainerIn(notAFolder, &error));
    EXPECT_EQ(error.code, StoreError::Code::CannotOpen);
    const QString message = containerFailureMessage(error);
    EXPECT_TRUE(message.startsWith(QStringLiteral("Could not create ModelContainer even after store recovery: The journal folder ")))
        << message.toStdString();
    EXPECT_EQ(readFile(notAFolder), "precious");
    EXPECT_EQ(log.lines().size(), 1);
}

TEST(StoreFactory, RemovalWithoutAFolderDoesNothing)
{
    zn::test::TempDir dir;
    SystemLogCapture log;
    EXPECT_EQ(removeLocalStoreFiles(dir.file(QStringLiteral("absent"))), QString());
    EXPECT_EQ(removeLocalStoreFiles(dir.path()), QString()); // nothing to move
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(dir.file(QStringLiteral("absent"))));
    EXPECT_TRUE(backups(dir.path()).isEmpty());
}

TEST(StoreFactory, InMemoryStoreSkipsTheChain)
{
    SystemLogCapture log;
    auto store = makeModelContainer(true);
    ASSERT_TRUE(store);
    EXPECT_FALSE(store->note);
    EXPECT_TRUE(log.lines().isEmpty());
    saveOneEntry(*store, QStringLiteral("kept in memory"));
    EXPECT_EQ(fetchAllEntries(*store->container->mainContext()).size(), 1);
}

TEST(StoreFactory, DefaultFolderIsTheAppsOwn)
{
    EXPECT_TRUE(defaultStoreFolder().endsWith(QStringLiteral("/Zephyrnote")));
    EXPECT_NE(defaultStoreFolder(), QDir::homePath() + QStringLiteral("/.local/share"));
}
