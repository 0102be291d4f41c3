#include "core/StoreFactory.h"

#include "core/JournalEntry.h"
#include "core/JournalSchema.h"
#include "platform/base/Clock.h"
#include "platform/base/SystemLog.h"
#include "platform/store/StoreLock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace zn {
namespace {

const char *const kNamedStoreFiles[] = {
    "default.store",  "default.store-shm",  "default.store-wal", "default.sqlite", "default.sqlite-shm",
    "default.sqlite-wal", "cloud.store", "cloud.store-shm", "cloud.store-wal",
};

bool isStoreFileName(const QString &name)
{
    return name.endsWith(QLatin1String(".store")) || name.contains(QLatin1String(".store-"))
           || name.endsWith(QLatin1String(".sqlite"));
}

bool existsNoFollow(const QString &path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

// A fresh folder for the moved files. Its name matches none of the store
// patterns, so a later recovery leaves earlier backups where they are.
QString makeBackupFolder(const QString &folder)
{
    const QString base = QStringLiteral("Recovered ") + Clock::system().now().toString(QStringLiteral("yyyy-MM-dd HHmm"));
    for (int n = 1; n < 1000; ++n) {
        const QString name = n == 1 ? base : QStringLiteral("%1 (%2)").arg(base).arg(n);
        const QString path = QDir(folder).filePath(name);
        if (::mkdir(QFile::encodeName(path).constData(), 0700) == 0)
            return path;
        if (errno != EEXIST)
            return {};
    }
    return {};
}

} // namespace

QString defaultStoreFolder()
{
    if (QCoreApplication::applicationName() == QLatin1String("Zephyrnote")
        && QCoreApplication::organizationName().isEmpty())
        return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("Zephyrnote"));
}

std::optional<StoreContainerResult> makeStoreContainerIn(const QString &folder, StoreError *error)
{
    ModelConfiguration configuration;
    configuration.folder = folder;
    auto container = ModelContainer::open(ZephyrnoteSchemaV2::schema(), configuration, error);
    if (!container)
        return std::nullopt;
    StoreContainerResult result;
    result.container = std::move(container);
    result.note = QString::fromUtf8(kLocalOnlyStoreNote);
    return result;
}

std::optional<StoreContainerResult> makeStoreContainer(StoreError *error)
{
    return makeStoreContainerIn(defaultStoreFolder(), error);
}

QString removeLocalStoreFiles(const QString &folder)
{
    QDir dir(folder);
    if (folder.isEmpty() || !dir.exists())
        return {};

    QStringList names;
    for (const char *name : kNamedStoreFiles)
        names.append(QString::fromLatin1(name));
    // Broken symlinks count too (System), and nothing is followed.
    const QStringList listing = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                              QDir::Name);
    for (const QString &name : listing) {
        if (isStoreFileName(name) && !names.contains(name))
            names.append(name);
    }

    QString backup;
    QStringList moved;
    for (const QString &name : std::as_const(names)) {
        const QString from = dir.filePath(name);
        if (!existsNoFollow(from))
            continue;
        if (backup.isEmpty()) {
            backup = makeBackupFolder(folder);
            if (backup.isEmpty()) {
                systemLog(QStringLiteral("Zephyrnote: Could not create a backup folder in %1 (%2). Old store files left in place.")
                              .arg(folder, QString::fromLocal8Bit(std::strerror(errno))));
                return {};
            }
        }
        // rename(2) moves a symlink itself, never its target.
        if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(QDir(backup).filePath(name)).constData()) == 0)
            moved.append(name);
        else
            systemLog(QStringLiteral("Zephyrnote: Could not move %1 aside (%2).")
                          .arg(from, QString::fromLocal8Bit(std::strerror(errno))));
    }
    if (moved.isEmpty()) {
        if (!backup.isEmpty())
            QDir().rmdir(backup);
        return {};
    }
    systemLog(QStringLiteral("Zephyrnote: Moved the old store files (%1) to %2.")
                  .arg(moved.join(QStringLiteral(", ")), backup));
    return backup;
}

QString removeLocalStoreFiles()
{
    return removeLocalStoreFiles(defaultStoreFolder());
}

std::optional<StoreContainerResult> makeModelContainerIn(const QString &folder, StoreError *error)
{
    // Held through the whole chain, so no other program opens the store
    // while old files are moved aside and a new one is made.
    StoreError lockError;
    const auto lock = StoreLock::acquire(folder, QDir(folder).filePath(QStringLiteral("default.store")), &lockError);
    if (!lock && lockError.code == StoreError::Code::Busy) {
        systemLog(QStringLiteral("Zephyrnote: Local store unavailable (%1). Leaving it in place.")
                      .arg(lockError.description()));
        if (error)
            *error = lockError;
        return std::nullopt;
    }

    const auto opened = [](const StoreContainerResult &result) {
        systemLog(QStringLiteral("Zephyrnote: Opened the journal store “%1”.")
                      .arg(result.container->configuration().storeFilePath()));
    };
    StoreError localError;
    if (auto result = makeStoreContainerIn(folder, &localError)) {
        opened(*result);
        return result;
    }
    // Only a store that cannot be used as it is gets moved aside. A lock,
    // a permission or a full disk leaves every file where it is, and the
    // next start opens the journal once the cause is gone.
    if (!localError.needsReplacing()) {
        systemLog(QStringLiteral("Zephyrnote: Local store unavailable (%1). Leaving it in place.")
                      .arg(localError.description()));
        if (error)
            *error = localError;
        return std::nullopt;
    }
    const bool damaged = localError.code == StoreError::Code::Damaged;
    if (damaged)
        systemLog(QStringLiteral("Zephyrnote: Local store damaged (%1). Moving it aside and recreating.")
                      .arg(localError.description()));
    else
        systemLog(QStringLiteral("Zephyrnote: Local store incompatible (%1). Removing store and recreating.")
                      .arg(localError.description()));
    const QString backup = removeLocalStoreFiles(folder);

    StoreError lastError;
    auto result = makeStoreContainerIn(folder, &lastError);
    if (!result) {
        if (error)
            *error = lastError;
        return std::nullopt;
    }
    opened(*result);
    result->note = QString::fromUtf8(kRecreatedStoreNote);
    if (damaged && !backup.isEmpty()) {
        const QString moved = QDir(backup).filePath(QStringLiteral("default.store"));
        const int entries = result->container->salvageRowsFrom(moved).value(JournalEntry::entityDescriptor().name);
        systemLog(QStringLiteral("Zephyrnote: Read %1 entries back from the damaged store in %2.").arg(entries).arg(backup));
        result->note = damagedStoreNote(backup, entries);
    }
    return result;
}

QString damagedStoreNote(const QString &backupFolder, int entriesRecovered)
{
    return QStringLiteral("The journal store was damaged. It was moved to “%1”, and %2 could be read back into "
                          "a new journal.")
        .arg(backupFolder,
             entriesRecovered == 1 ? QStringLiteral("1 entry") : QStringLiteral("%1 entries").arg(entriesRecovered));
}

std::optional<StoreContainerResult> makeModelContainer(bool inMemory, StoreError *error)
{
    if (!inMemory)
        return makeModelContainerIn(defaultStoreFolder(), error);
    ModelConfiguration configuration;
    configuration.isStoredInMemoryOnly = true;
    auto container = ModelContainer::open(ZephyrnoteSchemaV2::schema(), configuration, error);
    if (!container)
        return std::nullopt;
    StoreContainerResult result;
    result.container = std::move(container);
    return result;
}

QString containerFailureMessage(const StoreError &error)
{
    return QString::fromUtf8(kContainerFailurePrefix) + error.description();
}

QString startupFailureMessage(const StoreError &error)
{
    // No recovery was tried for these, and the text already says what to do.
    return error.isTransient() ? error.description() : containerFailureMessage(error);
}

} // namespace zn
