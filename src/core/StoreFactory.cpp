#include "core/StoreFactory.h"

#include "core/JournalSchema.h"
#include "platform/base/Clock.h"
#include "platform/base/SystemLog.h"

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

std::optional<StoreContainerResult> makeStoreContainerIn(const QString &folder, bool useCloud, StoreError *error)
{
    ModelConfiguration configuration;
    configuration.name = useCloud ? QStringLiteral("cloud") : QStringLiteral("default");
    configuration.folder = folder;
    if (useCloud) {
        configuration.cloudDatabase = CloudDatabase::Private;
        configuration.cloudContainerIdentifier = QString::fromLatin1(kCloudContainerIdentifier);
    }
    auto container = ModelContainer::open(ZephyrnoteSchemaV2::schema(), configuration, error);
    if (!container)
        return std::nullopt;
    StoreContainerResult result;
    result.container = std::move(container);
    result.cloudInUse = useCloud;
    if (!useCloud)
        result.note = QString::fromUtf8(kLocalOnlyStoreNote);
    return result;
}

std::optional<StoreContainerResult> makeStoreContainer(bool useCloud, StoreError *error)
{
    return makeStoreContainerIn(defaultStoreFolder(), useCloud, error);
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
    StoreError cloudError;
    if (auto result = makeStoreContainerIn(folder, true, &cloudError))
        return result;
    systemLog(QStringLiteral("Zephyrnote: CloudKit store unavailable (%1). Falling back to local-only.")
                  .arg(cloudError.description()));

    StoreError localError;
    if (auto result = makeStoreContainerIn(folder, false, &localError))
        return result;
    systemLog(QStringLiteral("Zephyrnote: Local store incompatible (%1). Removing store and recreating.")
                  .arg(localError.description()));
    removeLocalStoreFiles(folder);

    StoreError lastError;
    if (auto result = makeStoreContainerIn(folder, false, &lastError)) {
        result->note = QString::fromUtf8(kRecreatedStoreNote);
        return result;
    }
    if (error)
        *error = lastError;
    return std::nullopt;
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

} // namespace zn
