// A second program on a journal store, for the tests that need one:
//   <folder>          saves entries one by one and prints the id of each once
//                     its save has returned, until killed or a save fails;
//   --slow-lock <folder>  the same, printing "locking" and pausing 2 ms
//                     between taking the store's lock and writing the file;
//   --long <folder> [<count>]  the same with entries a hundred times as long;
//                     given a count, saves exactly that many and ends;
//   --lock <folder>   holds the store's lock, prints "locked", waits to be killed;
//   --open <folder>   runs the start-up chain and prints "ok <entries>" or
//                     "error <code> <text>" (as another user, say).
#include "core/JournalEntry.h"
#include "core/JournalQueries.h"
#include "core/StoreFactory.h"
#include "platform/store/StoreLock.h"

#include <QCoreApplication>
#include <QDir>

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

int holdLock(const QString &folder)
{
    sqlite3 *db = nullptr;
    const QByteArray path = QFile::encodeName(QDir(folder).filePath(QStringLiteral("default.store")));
    if (sqlite3_open(path.constData(), &db) != SQLITE_OK
        || sqlite3_exec(db, "PRAGMA locking_mode = EXCLUSIVE; BEGIN EXCLUSIVE;", nullptr, nullptr, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "%s\n", sqlite3_errmsg(db));
        return 1;
    }
    std::printf("locked\n");
    std::fflush(stdout);
    for (;;)
        ::pause();
}

int openOnce(const QString &folder)
{
    zn::StoreError error;
    auto store = zn::makeModelContainerIn(folder, &error);
    if (!store) {
        std::printf("error %d %s\n", int(error.code), qPrintable(zn::startupFailureMessage(error)));
        return 0;
    }
    std::printf("ok %d\n", int(zn::fetchAllEntries(*store->container->mainContext()).size()));
    return 0;
}

// A negative count saves until killed or a save fails.
int writeEntries(const QString &folder, int repeats = 40, long count = -1)
{
    zn::StoreError error;
    auto store = zn::makeStoreContainerIn(folder, &error);
    if (!store) {
        std::fprintf(stderr, "%s\n", qPrintable(error.description()));
        return 1;
    }
    zn::ModelContext *context = store->container->mainContext();
    for (int i = 0; count < 0 || i < count; ++i) {
        auto entry = std::make_unique<zn::JournalEntry>();
        entry->setRawText(QStringLiteral("entry %1 ").arg(i).repeated(repeats));
        entry->setSentimentScore(i * 0.01);
        const QByteArray id = entry->id().toString(QUuid::WithoutBraces).toUpper().toLatin1() + '\n';
        context->insert(std::move(entry));
        if (auto e = context->save()) {
            std::fprintf(stderr, "%s\n", qPrintable(e->description()));
            return 1;
        }
        // Unbuffered, so the parent never sees an id before its save returned
        // nor misses one that did.
        if (::write(STDOUT_FILENO, id.constData(), size_t(id.size())) < 0)
            return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--lock") == 0)
        return holdLock(QString::fromLocal8Bit(argv[2]));
    if (argc == 3 && std::strcmp(argv[1], "--open") == 0)
        return openOnce(QString::fromLocal8Bit(argv[2]));
    if (argc == 3 && std::strcmp(argv[1], "--slow-lock") == 0) {
        zn::StoreLock::setBeforeWritingHook([] {
            if (::write(STDOUT_FILENO, "locking\n", 8) == 8)
                ::usleep(2000);
        });
        return writeEntries(QString::fromLocal8Bit(argv[2]));
    }
    if ((argc == 3 || argc == 4) && std::strcmp(argv[1], "--long") == 0) {
        long count = -1;
        if (argc == 4) {
            char *end = nullptr;
            count = std::strtol(argv[3], &end, 10);
            if (end == argv[3] || *end || count < 0)
                return 2;
        }
        return writeEntries(QString::fromLocal8Bit(argv[2]), 4000, count);
    }
    if (argc == 2)
        return writeEntries(QString::fromLocal8Bit(argv[1]));
    return 2;
}
