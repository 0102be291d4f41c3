#include "TestNote.h"

#include "platform/store/ModelContext.h"
#include "support/TestSupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace zn;
using zn::test::Note;

namespace {

QByteArray digest(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

mode_t modeOf(const QString &path)
{
    struct stat st {};
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 0777;
}

// Runs SQL on a store file through a connection of the test's own.
void tamper(const QString &path, const QString &sql)
{
    const QString name = QStringLiteral("tamper");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(sql)) << sql.toStdString();
        // Fold the change into the main file so its digest says it all.
        q.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    }
    QSqlDatabase::removeDatabase(name);
}

std::shared_ptr<ModelContainer> makeSavedStore(const QString &folder)
{
    auto c = zn::test::openNotes(folder);
    if (c) {
        c->mainContext()->insert(std::make_unique<Note>(QStringLiteral("kept"), 7));
        c->mainContext()->save();
    }
    return c;
}

} // namespace

TEST(ModelContainer, NewStoreIsPrivateAndWriteAhead)
{
    zn::test::TempDir dir;
    const QString folder = dir.file(QStringLiteral("nested/data"));
    auto c = makeSavedStore(folder);
    ASSERT_TRUE(c);
    const QString file = QDir(folder).filePath(QStringLiteral("notes.store"));
    EXPECT_EQ(c->configuration().storeFilePath(), file);
    EXPECT_EQ(modeOf(folder), 0700u);
    EXPECT_EQ(modeOf(file), 0600u);
    EXPECT_TRUE(QFileInfo::exists(file + QStringLiteral("-wal")));
    EXPECT_EQ(modeOf(file + QStringLiteral("-wal")), 0600u);
}

TEST(ModelContainer, ReopeningTightensLooseModes)
{
    // A journal left readable by others (an older build, a restored backup)
    // becomes private again, side files included.
    zn::test::TempDir dir;
    auto c = makeSavedStore(dir.path());
    ASSERT_TRUE(c);
    const QString file = dir.file(QStringLiteral("notes.store"));
    const QStringList files{file, file + QStringLiteral("-wal"), file + QStringLiteral("-shm")};
    for (const QString &f : files)
        ASSERT_EQ(::chmod(QFile::encodeName(f).constData(), 0644), 0) << f.toStdString();
    ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
    auto second = zn::test::openNotes(dir.path()); // while the first still holds its side files
    ASSERT_TRUE(second);
    EXPECT_EQ(modeOf(dir.path()), 0700u);
    for (const QString &f : files)
        EXPECT_EQ(modeOf(f), 0600u) << f.toStdString();
}

TEST(ModelContainer, ReopensItsOwnStore)
{
    zn::test::TempDir dir;
    makeSavedStore(dir.path()).reset();
    StoreError error;
    auto c = zn::test::openNotes(dir.path(), &error);
    ASSERT_TRUE(c) << error.message.toStdString();
    const auto notes = c->mainContext()->fetch<Note>();
    ASSERT_EQ(notes.size(), 1);
    EXPECT_EQ(notes.first()->title(), "kept");
}

TEST(ModelContainer, IncompatibleFilesAreRefusedAndLeftUntouched)
{
    struct Case {
        const char *name;
        std::function<void(const QString &file)> spoil;
        const char *reason;
    };
    const QList<Case> cases{
        {"garbage", [](const QString &f) {
             QFile out(f);
             ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
             out.write(QByteArray(4096, 'G'));
         }, "not a database"},
        {"other version", [](const QString &f) {
             tamper(f, QStringLiteral("UPDATE zn_metadata SET value = '3.1.0' WHERE key = 'schemaVersion'"));
         }, "schema version 3.1.0"},
        {"no version", [](const QString &f) { tamper(f, QStringLiteral("DROP TABLE zn_metadata")); },
         "no schema version"},
        {"missing table", [](const QString &f) { tamper(f, QStringLiteral("DROP TABLE \"Note\"")); },
         "table Note is missing"},
        {"missing column", [](const QString &f) {
             tamper(f, QStringLiteral("ALTER TABLE \"Note\" DROP COLUMN \"labels\""));
         }, "column Note.labels is missing"},
        {"foreign database", [](const QString &f) {
             QFile::remove(f);
             tamper(f, QStringLiteral("CREATE TABLE other (x)"));
         }, "no schema version"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        zn::test::TempDir dir;
        makeSavedStore(dir.path()).reset();
        const QString file = dir.file(QStringLiteral("notes.store"));
        c.spoil(file);
        const QByteArray before = digest(file);
        StoreError error;
        EXPECT_FALSE(zn::test::openNotes(dir.path(), &error));
        EXPECT_EQ(error.code, StoreError::Code::Incompatible);
        EXPECT_TRUE(error.message.contains(QLatin1String(c.reason))) << error.message.toStdString();
        EXPECT_EQ(digest(file), before);
    }
}

TEST(ModelContainer, NewerSchemaCannotOpenOlderFile)
{
    zn::test::TempDir dir;
    makeSavedStore(dir.path()).reset();
    StoreError error;
    EXPECT_FALSE(zn::test::openNotes(dir.path(), &error, QStringLiteral("9.0.0")));
    EXPECT_EQ(error.code, StoreError::Code::Incompatible);
    EXPECT_TRUE(zn::test::openNotes(dir.path()));
}

TEST(ModelContainer, SymlinkedStoreIsRefusedWithoutTouchingTheTarget)
{
    zn::test::TempDir dir;
    const QString target = dir.file(QStringLiteral("elsewhere.txt"));
    QFile t(target);
    ASSERT_TRUE(t.open(QIODevice::WriteOnly));
    t.write("precious");
    t.close();
    ASSERT_TRUE(QDir().mkpath(dir.file(QStringLiteral("data"))));
    ASSERT_EQ(::symlink(QFile::encodeName(target).constData(),
                        QFile::encodeName(dir.file(QStringLiteral("data/notes.store"))).constData()),
              0);
    StoreError error;
    EXPECT_FALSE(zn::test::openNotes(dir.file(QStringLiteral("data")), &error));
    EXPECT_EQ(error.code, StoreError::Code::Incompatible);
    QFile check(target);
    ASSERT_TRUE(check.open(QIODevice::ReadOnly));
    EXPECT_EQ(check.readAll(), "precious");
}

TEST(ModelContainer, UnusableFolderGivesAClearError)
{
    zn::test::TempDir dir;
    const QString file = dir.file(QStringLiteral("plain-file"));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    StoreError error;
    EXPECT_FALSE(zn::test::openNotes(file, &error));
    EXPECT_EQ(error.code, StoreError::Code::CannotOpen);
    EXPECT_TRUE(error.message.contains(QLatin1String("is not a folder")));
    EXPECT_FALSE(zn::test::openNotes(dir.file(QStringLiteral("plain-file/below")), &error));
    EXPECT_EQ(error.code, StoreError::Code::CannotOpen);
    EXPECT_TRUE(error.message.contains(QLatin1String("could not be created"))) << error.message.toStdString();
}

TEST(ModelContainer, UnreadableStoreGivesAClearError)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind root";
    zn::test::TempDir dir;
    makeSavedStore(dir.path()).reset();
    const QString file = dir.file(QStringLiteral("notes.store"));
    ::chmod(QFile::encodeName(file).constData(), 0);
    StoreError error;
    EXPECT_FALSE(zn::test::openNotes(dir.path(), &error));
    EXPECT_FALSE(error.message.isEmpty());
    ::chmod(QFile::encodeName(file).constData(), 0600);
}

TEST(ModelContainer, StorePathThatIsAFolderIsRefused)
{
    zn::test::TempDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("notes.store")));
    StoreError error;
    EXPECT_FALSE(zn::test::openNotes(dir.path(), &error));
    EXPECT_EQ(error.code, StoreError::Code::Incompatible);
    EXPECT_TRUE(error.message.contains(QLatin1String("is not a file")));
}

TEST(ModelContainer, SqlSignificantTextIsStoredVerbatim)
{
    zn::test::TempDir dir;
    const QString nasty = QStringLiteral("'); DROP TABLE \"Note\"; -- ? :name \"quoted\" %s");
    {
        auto c = zn::test::openNotes(dir.path());
        c->mainContext()->insert(std::make_unique<Note>(nasty));
        ASSERT_FALSE(c->mainContext()->save());
        FetchDescriptor d;
        d.predicate = Predicate::where(Note::Title, CompareOp::Equal, nasty);
        EXPECT_EQ(c->mainContext()->fetch<Note>(d).size(), 1);
    }
    auto c = zn::test::openNotes(dir.path());
    ASSERT_TRUE(c);
    ASSERT_EQ(c->mainContext()->fetch<Note>().size(), 1);
    EXPECT_EQ(c->mainContext()->fetch<Note>().first()->title(), nasty);
}

// Identifiers are written upper-case; one written otherwise by hand or by
// another tool reads as QUuid itself would read it, and one that is no UUID
// reads as the null one.
TEST(ModelContainer, IdentifiersReadAsQUuidReadsThem)
{
    zn::test::TempDir dir;
    const QStringList written{
        QStringLiteral("0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0"),
        QStringLiteral("0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0"),
        QStringLiteral("0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1FG"),
        QStringLiteral("0F1E2D3C+4B5A-6978-8796-A5B4C3D2E1F0"),
        QStringLiteral("{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F}"),
    };
    {
        auto c = zn::test::openNotes(dir.path());
        ASSERT_TRUE(c);
        for (int i = 0; i < written.size(); ++i)
            c->mainContext()->insert(std::make_unique<Note>(QString::number(i)));
        ASSERT_FALSE(c->mainContext()->save());
    }
    for (int i = 0; i < written.size(); ++i)
        tamper(dir.file(QStringLiteral("notes.store")),
               QStringLiteral("UPDATE \"Note\" SET uid = '%1' WHERE title = '%2'").arg(written[i]).arg(i));
    auto c = zn::test::openNotes(dir.path());
    ASSERT_TRUE(c);
    FetchDescriptor byTitle;
    byTitle.sortBy = {{Note::Title, SortOrder::Forward}};
    const QList<Note *> notes = c->mainContext()->fetch<Note>(byTitle);
    ASSERT_EQ(notes.size(), written.size());
    for (int i = 0; i < written.size(); ++i)
        EXPECT_EQ(notes[i]->value(Note::Uid).toUuid(), QUuid::fromString(written[i])) << written[i].toStdString();
    EXPECT_FALSE(notes[0]->value(Note::Uid).toUuid().isNull());
    EXPECT_EQ(notes[1]->value(Note::Uid).toUuid(), notes[0]->value(Note::Uid).toUuid());
    EXPECT_TRUE(notes[2]->value(Note::Uid).toUuid().isNull());
}
