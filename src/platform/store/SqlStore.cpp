#include "platform/store/SqlStore.h"

#include "platform/store/FieldValues.h"
#include "platform/store/PersistentModel.h"
#include "platform/store/SqlNames.h"
#include "platform/store/StoreLock.h"

#include <QAtomicInteger>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QSqlDriver>
#include <QUuid>
#include <QSqlError>

#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <numeric>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace zn {

using sql::fieldColumns;
using sql::longTableName;
using sql::quoted;
using sql::sqlError;
using sql::wholeViewName;

namespace {

constexpr int kMaxBinds = 512;
constexpr int kBusyTimeoutMs = 1000;

QString opText(CompareOp op)
{
    switch (op) {
    case CompareOp::Equal: return QStringLiteral(" IS ?");
    case CompareOp::NotEqual: return QStringLiteral(" IS NOT ?");
    case CompareOp::Less: return QStringLiteral(" < ?");
    case CompareOp::LessOrEqual: return QStringLiteral(" <= ?");
    case CompareOp::Greater: return QStringLiteral(" > ?");
    case CompareOp::GreaterOrEqual: return QStringLiteral(" >= ?");
    }
    return QStringLiteral(" IS ?");
}

// Hex digit values by character, -1 for anything else.
constexpr std::array<signed char, 256> kHexValues = [] {
    std::array<signed char, 256> values{};
    values.fill(-1);
    for (int c = 0; c < 10; ++c)
        values[size_t('0' + c)] = static_cast<signed char>(c);
    for (int c = 0; c < 6; ++c) {
        values[size_t('A' + c)] = static_cast<signed char>(10 + c);
        values[size_t('a' + c)] = static_cast<signed char>(10 + c);
    }
    return values;
}();

// The 36 characters of a UUID as the store writes them, read without the
// general parser (a journal reads one per entry); anything else is left
// to QUuid::fromString().
std::optional<QUuid> parseUuid(const char *text)
{
    if (text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-')
        return std::nullopt;
    static constexpr int kPairs[16] = {0, 2, 4, 6, 9, 11, 14, 16, 19, 21, 24, 26, 28, 30, 32, 34};
    char bytes[16];
    int bad = 0;
    for (int n = 0; n < 16; ++n) {
        const int high = kHexValues[static_cast<unsigned char>(text[kPairs[n]])];
        const int low = kHexValues[static_cast<unsigned char>(text[kPairs[n] + 1])];
        bad |= high | low; // negative if either is not a digit
        bytes[n] = char((high & 0xF) << 4 | (low & 0xF));
    }
    if (bad < 0)
        return std::nullopt;
    return QUuid::fromRfc4122(QByteArrayView(bytes, 16));
}

QString nextConnectionName()
{
    static QAtomicInteger<quint64> counter;
    return QStringLiteral("zn-store-%1").arg(counter.fetchAndAddRelaxed(1) + 1);
}

QString folderOf(const QString &path)
{
    return QFileInfo(path).absolutePath();
}

// Less than this left on the store's file system counts as a full disk: an
// open needs room for the side files.
bool diskIsFull(const QString &folder)
{
    struct statvfs fs {};
    if (::statvfs(QFile::encodeName(folder).constData(), &fs) != 0)
        return false;
    return quint64(fs.f_bavail) * quint64(fs.f_frsize) < 256 * 1024 || (fs.f_files > 0 && fs.f_favail == 0);
}

StoreError permissionError(const QString &path, const QString &detail)
{
    return StoreError(StoreError::Code::PermissionDenied,
                      QStringLiteral("Zephyrnote isn’t allowed to read or write the journal store “%1” (%2). "
                                     "Nothing was moved or changed: give your account access to the file and its "
                                     "folder again and open Zephyrnote again.")
                          .arg(path, detail));
}

StoreError diskFullError(const QString &path)
{
    return StoreError(StoreError::Code::DiskFull,
                      QStringLiteral("The disk that holds the journal store “%1” is full. Nothing was moved or "
                                     "changed: free some space and open Zephyrnote again.")
                          .arg(path));
}

// An errno from touching the store's files, as a store error.
StoreError fileError(int err, const QString &path, const QString &what)
{
    const QString detail = QString::fromLocal8Bit(::strerror(err));
    if (err == EACCES || err == EPERM || err == EROFS)
        return permissionError(path, detail);
    if (err == ENOSPC || err == EDQUOT)
        return diskFullError(path);
    return StoreError(StoreError::Code::CannotOpen, what.arg(path, detail));
}

// Whether this account may read and write the store's existing files and
// create side files next to them. Root passes every such check.
std::optional<StoreError> checkAccess(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    const QByteArray folder = QFile::encodeName(folderOf(path));
    if (::access(folder.constData(), W_OK | X_OK) != 0 && errno != ENOENT)
        return permissionError(path, QString::fromLocal8Bit(::strerror(errno)));
    for (const char *suffix : {"", "-wal", "-shm"}) {
        const QByteArray file = native + suffix;
        if (::access(file.constData(), F_OK) == 0 && ::access(file.constData(), R_OK | W_OK) != 0)
            return permissionError(path, QString::fromLocal8Bit(::strerror(errno)));
    }
    return std::nullopt;
}

// Creates the store file 0600 when missing, without following a symlink.
// `created` tells whether this call made it.
std::optional<StoreError> prepareFile(const QString &path, bool *created)
{
    *created = false;
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::lstat(native.constData(), &st) == 0) {
        if (S_ISLNK(st.st_mode))
            return StoreError(StoreError::Code::Incompatible,
                              QStringLiteral("The journal store “%1” is a symbolic link.").arg(path));
        if (!S_ISREG(st.st_mode))
            return StoreError(StoreError::Code::Incompatible,
                              QStringLiteral("The journal store “%1” is not a file.").arg(path));
        // Only a real SQLite file is handed to SQLite: opening anything else
        // can make it discard the side files we would want to keep.
        if (auto denied = checkAccess(path))
            return denied;
        if (st.st_size > 0) {
            const int fd = ::open(native.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
            if (fd < 0)
                return fileError(errno, path, QStringLiteral("The journal store “%1” could not be opened: %2"));
            char header[16] = {};
            const ssize_t got = ::read(fd, header, sizeof header);
            const int readErrno = errno;
            ::close(fd);
            if (got < 0)
                return fileError(readErrno, path, QStringLiteral("The journal store “%1” could not be read: %2"));
            if (got != 16 || std::memcmp(header, "SQLite format 3\0", 16) != 0)
                return StoreError(StoreError::Code::Incompatible,
                                  QStringLiteral("The journal store “%1” is not compatible with this version: file is not a database").arg(path));
        }
        // The side files hold recent entries too; SQLite keeps existing ones
        // as they are, so tighten them with the store itself.
        for (const char *suffix : {"", "-wal", "-shm"}) {
            const QByteArray file = native + suffix;
            struct stat side {};
            if (::lstat(file.constData(), &side) == 0 && S_ISREG(side.st_mode) && side.st_uid == ::getuid()
                && (side.st_mode & 0077))
                ::chmod(file.constData(), 0600);
        }
        return std::nullopt;
    }
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return fileError(errno, path, QStringLiteral("The journal store “%1” could not be created: %2"));
    ::close(fd);
    *created = true;
    return std::nullopt;
}

// Removes a store file this open made, with any side file, so a failed
// first start leaves no empty store behind.
void removeCreatedStore(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    for (const char *suffix : {"", "-wal", "-shm", "-journal"})
        ::unlink((native + suffix).constData());
}

} // namespace

std::optional<StoreError> SqlStore::prepareFolder(const QString &folder)
{
    if (folder.isEmpty())
        return StoreError(StoreError::Code::CannotOpen, QStringLiteral("No folder was given for the journal store."));
    const QFileInfo info(folder);
    if (info.exists() && !info.isDir())
        return StoreError(StoreError::Code::CannotOpen,
                          QStringLiteral("The journal folder “%1” is not a folder.").arg(folder));
    if (!info.exists() && !QDir().mkpath(folder)) {
        const int err = errno;
        if (err == EACCES || err == EPERM || err == ENOSPC || err == EDQUOT || err == EROFS)
            return fileError(err, folder, QString());
        return StoreError(StoreError::Code::CannotOpen,
                          QStringLiteral("The journal folder “%1” could not be created.").arg(folder));
    }
    // The journal is private: only its owner may list or read the folder.
    const QByteArray native = QFile::encodeName(folder);
    struct stat st {};
    if (::stat(native.constData(), &st) == 0 && st.st_uid == ::getuid() && (st.st_mode & 0077))
        ::chmod(native.constData(), 0700);
    return std::nullopt;
}

SqlStore::SqlStore(const Schema &schema)
    : m_schema(schema)
    , m_connectionName(nextConnectionName())
{
}

SqlStore::~SqlStore()
{
    for (sqlite3_stmt *stmt : std::as_const(m_readStatements))
        sqlite3_finalize(stmt);
    m_readStatements.clear();
    if (m_db.isValid()) {
        m_db.close();
        m_db = QSqlDatabase();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
}

std::unique_ptr<SqlStore> SqlStore::open(const Schema &schema, const ModelConfiguration &configuration,
                                         StoreError *error)
{
    auto fail = [&](StoreError e) -> std::unique_ptr<SqlStore> {
        if (error)
            *error = std::move(e);
        return nullptr;
    };

    QString location;
    bool created = false;
    if (configuration.isStoredInMemoryOnly) {
        location = QStringLiteral(":memory:");
    } else {
        if (auto e = prepareFolder(configuration.folder))
            return fail(*e);
        location = configuration.storeFilePath();
        if (auto e = prepareFile(location, &created))
            return fail(*e);
    }
    struct CreatedFile {
        QString path;
        bool keep = false;
        ~CreatedFile()
        {
            if (!path.isEmpty() && !keep)
                removeCreatedStore(path);
        }
    } createdFile{created ? location : QString()};

    std::unique_ptr<SqlStore> store(new SqlStore(schema));
    StoreError err;
    if (!store->connect(location, &err))
        return fail(err);
    if (auto e = store->prepareSchema(location, !created && !configuration.isStoredInMemoryOnly))
        return fail(*e);
    createdFile.keep = true;
    return store;
}

std::unique_ptr<SqlStore> SqlStore::openAnother(const Schema &schema, const ModelConfiguration &configuration,
                                                StoreError *error)
{
    auto fail = [&](StoreError e) -> std::unique_ptr<SqlStore> {
        if (error)
            *error = std::move(e);
        return nullptr;
    };
    // A second connection to memory would open a second, empty store.
    if (configuration.isStoredInMemoryOnly)
        return fail(StoreError(StoreError::Code::Unavailable,
                               QStringLiteral("A store held in memory has no second connection.")));
    const QString location = configuration.storeFilePath();
    std::unique_ptr<SqlStore> store(new SqlStore(schema));
    StoreError err;
    if (!store->connect(location, &err) || !store->prepareConnection(&err))
        return fail(err);
    if (auto e = store->createWholeViews(location))
        return fail(*e);
    return store;
}

bool SqlStore::connect(const QString &location, StoreError *error)
{
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    if (!m_db.isValid()) {
        *error = StoreError(StoreError::Code::CannotOpen,
                            QStringLiteral("The SQLite driver for the journal store is not installed."));
        return false;
    }
    m_db.setDatabaseName(location);
    // A lock held for a moment (another program's save) is waited out; a
    // longer one is reported, never taken for damage.
    m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    if (!m_db.open()) {
        bool isNumber = false;
        const int code = m_db.lastError().nativeErrorCode().toInt(&isNumber);
        *error = openFailure(isNumber ? code : SQLITE_CANTOPEN, location, sqlError(m_db.lastError()));
        return false;
    }
    const QVariant handle = m_db.driver()->handle();
    if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0)
        m_handle = *static_cast<sqlite3 *const *>(handle.constData());
    return true;
}

StoreError SqlStore::openFailure(int code, const QString &location, const QString &detail)
{
    switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return storeBusyError(location);
    case SQLITE_FULL:
        return diskFullError(location);
    case SQLITE_NOTADB:
        return StoreError(StoreError::Code::Incompatible,
                          QStringLiteral("The journal store “%1” is not compatible with this version: %2").arg(location, detail));
    case SQLITE_CORRUPT:
        return StoreError(StoreError::Code::Damaged,
                          QStringLiteral("The journal store “%1” is damaged: %2").arg(location, detail));
    default:
        break;
    }
    if (location != QLatin1String(":memory:")) {
        if (auto denied = checkAccess(location))
            return *denied;
        if (diskIsFull(folderOf(location)))
            return diskFullError(location);
    }
    if ((code & 0xff) == SQLITE_PERM || (code & 0xff) == SQLITE_READONLY || (code & 0xff) == SQLITE_AUTH)
        return permissionError(location, detail);
    return StoreError(StoreError::Code::CannotOpen,
                      QStringLiteral("The journal store “%1” could not be opened: %2").arg(location, detail));
}

StoreError SqlStore::lastFailure(const QString &location, const QString &detail) const
{
    return openFailure(m_handle ? sqlite3_extended_errcode(m_handle) : SQLITE_CANTOPEN, location, detail);
}

QString SqlStore::readSource(const EntityDescriptor &entity, bool withDeferred)
{
    return quoted(entity.hasDeferredFields() && withDeferred ? wholeViewName(entity) : entity.name);
}

bool SqlStore::touchesDeferred(const EntityDescriptor &entity, const FetchDescriptor &descriptor)
{
    const auto deferred = [&](int field) { return field >= 0 && field < entity.fields.size() && entity.fields[field].deferred; };
    for (const Condition &c : descriptor.predicate.conditions()) {
        if (deferred(c.field))
            return true;
    }
    for (const SortDescriptor &s : descriptor.sortBy) {
        if (deferred(s.field))
            return true;
    }
    return false;
}

bool SqlStore::exec(const QString &sql, StoreError *error, StoreError::Code code)
{
    QSqlQuery q(m_db);
    if (q.exec(sql))
        return true;
    if (error)
        *error = StoreError(code, sqlError(q.lastError()));
    return false;
}

bool SqlStore::begin(StoreError *error)
{
    return exec(QStringLiteral("BEGIN IMMEDIATE"), error, StoreError::Code::SaveFailed);
}

bool SqlStore::commit(StoreError *error)
{
    if (exec(QStringLiteral("COMMIT"), error, StoreError::Code::SaveFailed))
        return true;
    rollback();
    return false;
}

void SqlStore::rollback()
{
    const bool diskFull = m_handle && sqlite3_errcode(m_handle) == SQLITE_FULL;
    {
        QSqlQuery q(m_db);
        q.exec(QStringLiteral("ROLLBACK"));
    }
    // A save the disk had no room for: the log still holds its frames and
    // those not yet folded into the store. Folded and emptied now, where
    // room allows, the next save starts from an empty log.
    if (diskFull)
        checkpoint(nullptr);
}

namespace {

// Log frames gathered before a checkpoint: 512 KB of pages. Every checkpoint
// needs room for the store to grow by the log's new pages while the log
// still stands, so a short log is what lets a disk that filled up take
// saves again once a little room is made; with SQLite's own 1000 (4 MB) it
// took more than 1 MB of an 8 MB disk.
constexpr int kCheckpointFrames = 128;

// Replaces SQLite's automatic checkpoint with one that also empties the
// log file: a plain checkpoint leaves the old frames in it, deleted text
// included, until later writes happen to cover them.
int truncatingCheckpoint(void *, sqlite3 *db, const char *name, int frames)
{
    if (frames >= kCheckpointFrames)
        sqlite3_wal_checkpoint_v2(db, name, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
    return SQLITE_OK;
}

} // namespace

bool SqlStore::keepDeletedTextOffDisk(StoreError *error)
{
    // Deleted rows and freed pages are overwritten with zeros, and SQLite's
    // temporary files (large sorts, VACUUM) stay in memory, never in /tmp.
    if (!exec(QStringLiteral("PRAGMA secure_delete = ON"), error, StoreError::Code::CannotOpen)
        || !exec(QStringLiteral("PRAGMA temp_store = MEMORY"), error, StoreError::Code::CannotOpen))
        return false;
    if (m_handle)
        sqlite3_wal_hook(m_handle, truncatingCheckpoint, nullptr);
    return true;
}

bool SqlStore::checkpoint(StoreError *error)
{
    if (!m_handle)
        return true;
    const int rc = sqlite3_wal_checkpoint_v2(m_handle, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
    if (rc == SQLITE_OK)
        return true;
    if (error)
        *error = StoreError(StoreError::Code::SaveFailed, QString::fromUtf8(sqlite3_errmsg(m_handle)));
    return false;
}

bool SqlStore::reclaimFreePages(StoreError *error)
{
    return exec(QStringLiteral("VACUUM"), error, StoreError::Code::SaveFailed) && checkpoint(error);
}

bool SqlStore::runWrite(const QString &sql, const QVariantList &binds, StoreError *error)
{
    sqlite3_stmt *stmt = readStatement(sql, binds, error, StoreError::Code::SaveFailed);
    if (!stmt)
        return false;
    const int rc = sqlite3_step(stmt);
    const bool ok = rc == SQLITE_DONE || rc == SQLITE_ROW;
    if (!ok && error)
        *error = StoreError(StoreError::Code::SaveFailed, QString::fromUtf8(sqlite3_errmsg(m_handle)));
    sqlite3_reset(stmt);
    return ok;
}

std::optional<qint64> SqlStore::insertRow(const EntityDescriptor &entity, const std::vector<QVariant> &values,
                                          StoreError *error)
{
    const bool split = entity.hasDeferredFields();
    InsertSql &statements = m_insertSql[&entity];
    QString &sql = statements.row;
    QString &longSql = statements.longFields;
    if (sql.isEmpty()) {
        const QStringList names = fieldColumns(entity, false);
        sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                  .arg(quoted(entity.name), names.join(QStringLiteral(", ")),
                       QStringList(names.size(), QStringLiteral("?")).join(QStringLiteral(", ")));
        const QStringList longNames = QStringList{QStringLiteral("pk")} + fieldColumns(entity, true);
        longSql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                      .arg(quoted(longTableName(entity)), longNames.join(QStringLiteral(", ")),
                           QStringList(longNames.size(), QStringLiteral("?")).join(QStringLiteral(", ")));
    }
    QVariantList binds;
    QVariantList longBinds;
    binds.reserve(entity.fields.size());
    for (int i = 0; i < entity.fields.size(); ++i) {
        const FieldDescriptor &f = entity.fields[i];
        (f.deferred ? longBinds : binds).append(store::toSql(f.type, values[size_t(i)]));
    }
    if (!runWrite(sql, binds, error))
        return std::nullopt;
    const qint64 rowId = sqlite3_last_insert_rowid(m_handle);
    if (split) {
        longBinds.prepend(rowId);
        if (!runWrite(longSql, longBinds, error))
            return std::nullopt;
    }
    return rowId;
}

std::optional<int> SqlStore::updateRow(const EntityDescriptor &entity, qint64 rowId, const QList<int> &fields,
                                       const std::vector<QVariant> &values, StoreError *error)
{
    QStringList sets;
    QStringList longNames;
    QVariantList binds;
    QVariantList longBinds;
    for (int f : fields) {
        const FieldDescriptor &field = entity.fields[f];
        const QVariant value = store::toSql(field.type, values[size_t(f)]);
        if (field.deferred) {
            longNames.append(quoted(field.name));
            longBinds.append(value);
        } else {
            sets.append(quoted(field.name) + QStringLiteral(" = ?"));
            binds.append(value);
        }
    }
    int affected = 0;
    if (!sets.isEmpty()) {
        binds.append(rowId);
        const QString sql = QStringLiteral("UPDATE %1 SET %2 WHERE pk = ?").arg(quoted(entity.name), sets.join(QStringLiteral(", ")));
        if (!runWrite(sql, binds, error))
            return std::nullopt;
        affected = sqlite3_changes(m_handle);
    } else {
        sqlite3_stmt *stmt = readStatement(QStringLiteral("SELECT count(*) FROM %1 WHERE pk = ?").arg(quoted(entity.name)),
                                           {rowId}, error, StoreError::Code::SaveFailed);
        if (!stmt || !stepAll(stmt, [&] { affected = sqlite3_column_int(stmt, 0); }, error))
            return std::nullopt;
    }
    if (affected > 0 && !longNames.isEmpty()) {
        // The row's long fields, made if a salvaged row came without them.
        QStringList updates;
        for (const QString &name : std::as_const(longNames))
            updates.append(name + QStringLiteral(" = excluded.") + name);
        longBinds.prepend(rowId);
        const QString sql = QStringLiteral("INSERT INTO %1 (pk, %2) VALUES (%3) ON CONFLICT(pk) DO UPDATE SET %4")
                                .arg(quoted(longTableName(entity)), longNames.join(QStringLiteral(", ")),
                                     QStringList(longBinds.size(), QStringLiteral("?")).join(QStringLiteral(", ")),
                                     updates.join(QStringLiteral(", ")));
        if (!runWrite(sql, longBinds, error))
            return std::nullopt;
    }
    return affected;
}

bool SqlStore::deleteRow(const EntityDescriptor &entity, qint64 rowId, StoreError *error)
{
    if (!runWrite(QStringLiteral("DELETE FROM %1 WHERE pk = ?").arg(quoted(entity.name)), {rowId}, error))
        return false;
    return !entity.hasDeferredFields()
           || runWrite(QStringLiteral("DELETE FROM %1 WHERE pk = ?").arg(quoted(longTableName(entity))), {rowId}, error);
}

QString SqlStore::whereClause(const EntityDescriptor &entity, const FetchDescriptor &descriptor, QVariantList &binds) const
{
    QStringList parts;
    for (const Condition &c : descriptor.predicate.conditions()) {
        if (c.field < 0 || c.field >= entity.fields.size()) {
            parts.append(QStringLiteral("0"));
            continue;
        }
        const FieldType type = entity.fields[c.field].type;
        parts.append(quoted(entity.fields[c.field].name) + opText(c.op));
        binds.append(store::toSql(type, store::normalize(type, c.value)));
    }
    return parts.isEmpty() ? QString() : QStringLiteral(" WHERE ") + parts.join(QStringLiteral(" AND "));
}

QString SqlStore::orderClause(const EntityDescriptor &entity, const FetchDescriptor &descriptor, bool limited) const
{
    QStringList parts;
    for (const SortDescriptor &s : descriptor.sortBy) {
        if (s.field < 0 || s.field >= entity.fields.size())
            continue;
        // "+column": indexes serve the WHERE clause only. Walking a whole
        // table through an index to save a sort costs a lookup per row; for
        // the first few rows the walk is what makes the read short.
        parts.append((limited ? QString() : QStringLiteral("+")) + quoted(entity.fields[s.field].name)
                     + (s.order == SortOrder::Forward ? QStringLiteral(" ASC") : QStringLiteral(" DESC")));
    }
    parts.append(QStringLiteral("pk ASC"));
    return QStringLiteral(" ORDER BY ") + parts.join(QStringLiteral(", "));
}

// Statements go straight through the connection's sqlite3 handle. QSqlQuery
// converts every text to UTF-16 inside SQLite and copies each value twice,
// which triples the cost of loading a large journal; and it binds text as
// UTF-16, which SQLite reads as a byte-order mark when it starts with
// U+FEFF or U+FFFE. Texts are bound as UTF-8, as they are read.
sqlite3_stmt *SqlStore::readStatement(const QString &sql, const QVariantList &binds, StoreError *error,
                                      StoreError::Code code)
{
    auto fail = [&](const QString &why) -> sqlite3_stmt * {
        if (error)
            *error = StoreError(code, why);
        return nullptr;
    };
    if (!m_handle)
        return fail(QStringLiteral("the database connection is not available"));
    sqlite3_stmt *stmt = m_readStatements.value(sql, nullptr);
    if (!stmt) {
        const QByteArray text = sql.toUtf8();
        if (sqlite3_prepare_v2(m_handle, text.constData(), int(text.size()), &stmt, nullptr) != SQLITE_OK) {
            const QString why = QString::fromUtf8(sqlite3_errmsg(m_handle));
            sqlite3_finalize(stmt);
            return fail(why);
        }
        m_readStatements.insert(sql, stmt);
    }
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    for (int i = 0; i < binds.size(); ++i) {
        const QVariant &v = binds[i];
        int rc = SQLITE_OK;
        if (!v.isValid() || v.isNull()) {
            rc = sqlite3_bind_null(stmt, i + 1);
        } else {
            switch (v.typeId()) {
            case QMetaType::Double:
                rc = sqlite3_bind_double(stmt, i + 1, v.toDouble());
                break;
            case QMetaType::Int:
            case QMetaType::LongLong:
            case QMetaType::Bool:
                rc = sqlite3_bind_int64(stmt, i + 1, v.toLongLong());
                break;
            case QMetaType::QByteArray: {
                const QByteArray b = v.toByteArray();
                rc = sqlite3_bind_blob(stmt, i + 1, b.constData(), int(b.size()), SQLITE_TRANSIENT);
                break;
            }
            default: {
                const QByteArray t = v.toString().toUtf8();
                rc = sqlite3_bind_text(stmt, i + 1, t.constData(), int(t.size()), SQLITE_TRANSIENT);
                break;
            }
            }
        }
        if (rc != SQLITE_OK)
            return fail(QString::fromUtf8(sqlite3_errmsg(m_handle)));
    }
    return stmt;
}

std::vector<QVariant> SqlStore::readRow(const EntityDescriptor &entity, sqlite3_stmt *stmt, int firstColumn,
                                        bool skipDeferred) const
{
    if (m_recentEntity != &entity) {
        m_recentEntity = &entity;
        m_recentText.assign(size_t(entity.fields.size()), RecentText{});
        m_recentDeferredCount = int(entity.deferredFields().size());
    }
    const bool pack = skipDeferred && PersistentModel::packs(entity);
    std::vector<QVariant> values;
    values.reserve(size_t(entity.fields.size() - (pack ? m_recentDeferredCount : 0)));
    int column = firstColumn;
    for (int i = 0; i < entity.fields.size(); ++i) {
        const FieldDescriptor &f = entity.fields[i];
        if (skipDeferred && f.deferred) {
            if (!pack)
                values.emplace_back();
            continue;
        }
        if (f.type == FieldType::Text && !f.deferred && sqlite3_column_type(stmt, column) == SQLITE_TEXT) {
            const int bytes = sqlite3_column_bytes(stmt, column);
            if (bytes <= 32) {
                const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, column));
                RecentText &recent = m_recentText[size_t(i)];
                const QByteArrayView seen(text ? text : "", bytes);
                if (!recent.value.isValid() || recent.utf8 != seen) {
                    recent.utf8 = seen.toByteArray();
                    recent.value = readValue(f.type, stmt, column);
                }
                values.push_back(recent.value);
                ++column;
                continue;
            }
        }
        values.push_back(readValue(f.type, stmt, column++));
    }
    return values;
}

QStringList SqlStore::columnNames(const EntityDescriptor &entity, bool skipDeferred)
{
    QStringList names{QStringLiteral("pk")};
    for (const FieldDescriptor &f : entity.fields) {
        if (!skipDeferred || !f.deferred)
            names.append(quoted(f.name));
    }
    return names;
}

QVariant SqlStore::readValue(FieldType type, sqlite3_stmt *stmt, int column)
{
    // One lookup of the column; the value calls skip the per-call checks of
    // the column calls (a fetch makes a hundred thousand of them).
    sqlite3_value *value = sqlite3_column_value(stmt, column);
    const int kind = sqlite3_value_type(value);
    // The common shapes are decoded here directly; anything unusual
    // (NaN kept as text, a foreign type) takes the general path.
    if (kind == SQLITE_TEXT && (type == FieldType::Text || type == FieldType::OptionalText)) {
        const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(value));
        return store::textFromUtf8(text, sqlite3_value_bytes(value));
    }
    if (kind == SQLITE_FLOAT && (type == FieldType::Real || type == FieldType::OptionalReal)) {
        return sqlite3_value_double(value);
    }
    if (kind == SQLITE_FLOAT && (type == FieldType::DateTime || type == FieldType::OptionalDateTime)) {
        // As store::fromSql() reads it: a UTC instant, millisecond exact.
        return QDateTime::fromMSecsSinceEpoch(std::llround(sqlite3_value_double(value) * 1000.0), Qt::UTC);
    }
    if (kind == SQLITE_NULL
        && (type == FieldType::OptionalText || type == FieldType::OptionalReal
            || type == FieldType::OptionalDateTime)) {
        return QVariant();
    }
    if (kind == SQLITE_INTEGER && type == FieldType::Integer) {
        return qlonglong(sqlite3_value_int64(value));
    }
    if (kind == SQLITE_INTEGER && type == FieldType::Bool) {
        return sqlite3_value_int64(value) != 0;
    }
    if (kind == SQLITE_BLOB && type == FieldType::Data) {
        const void *data = sqlite3_value_blob(value);
        return QByteArray(data ? static_cast<const char *>(data) : "", sqlite3_value_bytes(value));
    }
    if (kind == SQLITE_TEXT && type == FieldType::StringList && sqlite3_value_bytes(value) == 2
        && std::memcmp(sqlite3_value_text(value), "[]", 2) == 0) {
        return QStringList();
    }
    if (kind == SQLITE_TEXT && type == FieldType::Uuid && sqlite3_value_bytes(value) == 36) {
        const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(value));
        if (auto id = parseUuid(text))
            return QVariant::fromValue(*id);
        return QVariant::fromValue(QUuid::fromString(QLatin1StringView(text, 36)));
    }
    QVariant raw;
    switch (kind) {
    case SQLITE_NULL:
        break;
    case SQLITE_INTEGER:
        raw = qlonglong(sqlite3_value_int64(value));
        break;
    case SQLITE_FLOAT:
        raw = sqlite3_value_double(value);
        break;
    case SQLITE_BLOB: {
        const void *data = sqlite3_value_blob(value);
        raw = QByteArray(data ? static_cast<const char *>(data) : "", sqlite3_value_bytes(value));
        break;
    }
    default: {
        const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(value));
        raw = store::textFromUtf8(text ? text : "", sqlite3_value_bytes(value));
        break;
    }
    }
    return store::fromSql(type, raw, kind == SQLITE_NULL);
}

bool SqlStore::stepAll(sqlite3_stmt *stmt, const std::function<void()> &onRow, StoreError *error)
{
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
        onRow();
    const bool ok = rc == SQLITE_DONE;
    if (!ok && error)
        *error = StoreError(StoreError::Code::FetchFailed, QString::fromUtf8(sqlite3_errmsg(m_handle)));
    sqlite3_reset(stmt);
    return ok;
}

QString SqlStore::selectSql(const EntityDescriptor &entity, const FetchDescriptor &descriptor, bool wholeRows,
                            bool applyLimit, QVariantList &binds, bool skipDeferred) const
{
    const QStringList names = wholeRows ? columnNames(entity, skipDeferred) : QStringList{QStringLiteral("pk")};
    const bool withDeferred = touchesDeferred(entity, descriptor) || (wholeRows && !skipDeferred);
    QString sql = QStringLiteral("SELECT %1 FROM %2").arg(names.join(QStringLiteral(", ")), readSource(entity, withDeferred))
                  + whereClause(entity, descriptor, binds)
                  + orderClause(entity, descriptor, applyLimit && descriptor.fetchLimit);
    if (applyLimit && descriptor.fetchLimit) {
        sql += QStringLiteral(" LIMIT ?");
        binds.append(qlonglong(std::max(0, *descriptor.fetchLimit)));
    }
    return sql;
}

bool SqlStore::ordersInMemory(const EntityDescriptor &entity, const FetchDescriptor &descriptor, bool skipDeferred)
{
    // A key left in the store (a deferred text) is not there to compare.
    for (const SortDescriptor &s : descriptor.sortBy) {
        if (s.field >= 0 && s.field < entity.fields.size() && skipDeferred && entity.fields[s.field].deferred)
            return false;
    }
    return true;
}

std::optional<QList<qint64>> SqlStore::selectRowIds(const EntityDescriptor &entity, const FetchDescriptor &descriptor,
                                                    bool applyLimit, StoreError *error)
{
    QVariantList binds;
    const QString sql = selectSql(entity, descriptor, false, applyLimit, binds);
    sqlite3_stmt *stmt = readStatement(sql, binds, error);
    if (!stmt)
        return std::nullopt;
    QList<qint64> ids;
    if (!stepAll(stmt, [&] { ids.append(sqlite3_column_int64(stmt, 0)); }, error))
        return std::nullopt;
    return ids;
}

qsizetype SqlStore::rowCountBound(const EntityDescriptor &entity)
{
    sqlite3_stmt *stmt = readStatement(QStringLiteral("SELECT max(pk) FROM %1").arg(quoted(entity.name)), {}, nullptr);
    if (!stmt)
        return 0;
    qint64 bound = 0;
    stepAll(stmt, [&] { bound = sqlite3_column_int64(stmt, 0); }, nullptr);
    return qsizetype(std::clamp<qint64>(bound, 0, 1 << 20));
}

std::vector<qsizetype> SqlStore::orderInMemory(const EntityDescriptor &entity, const FetchDescriptor &descriptor,
                                               const std::vector<std::pair<qint64, std::vector<QVariant>>> &rows,
                                               bool packed)
{
    QList<SortDescriptor> keys;
    bool whole = true; // every key a date or a whole number
    for (const SortDescriptor &s : descriptor.sortBy) {
        if (s.field < 0 || s.field >= entity.fields.size())
            continue;
        keys.append(s);
        const FieldType type = entity.fields[s.field].type;
        whole = whole && (type == FieldType::DateTime || type == FieldType::OptionalDateTime
                          || type == FieldType::Integer || type == FieldType::Bool);
    }
    // Where a key sits in a row: packed rows leave the deferred fields out.
    std::vector<size_t> keySlots;
    std::vector<char> reversed;
    for (const SortDescriptor &s : std::as_const(keys)) {
        size_t slot = size_t(s.field);
        if (packed) {
            for (int i = 0; i < s.field; ++i)
                slot -= entity.fields[i].deferred ? 1 : 0;
        }
        keySlots.push_back(slot);
        reversed.push_back(s.order == SortOrder::Reverse);
    }
    const qsizetype width = keys.size();
    std::vector<qsizetype> order(rows.size());
    std::iota(order.begin(), order.end(), 0);
    if (!whole) {
        std::sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
            for (qsizetype k = 0; k < width; ++k) {
                const size_t f = keySlots[size_t(k)];
                int c = store::compareValues(entity.fields[keys.at(k).field].type, rows[size_t(a)].second[f],
                                             rows[size_t(b)].second[f]);
                if (reversed[size_t(k)])
                    c = -c;
                if (c != 0)
                    return c < 0;
            }
            return rows[size_t(a)].first < rows[size_t(b)].first;
        });
        return order;
    }

    // Each key read once as (present, number): absent values first, as
    // compareValues() orders them.
    std::vector<std::pair<bool, qint64>> numbers(rows.size() * size_t(width));
    for (size_t r = 0; r < rows.size(); ++r) {
        for (qsizetype k = 0; k < width; ++k) {
            const FieldType type = entity.fields[keys.at(k).field].type;
            const QVariant &v = rows[r].second[keySlots[size_t(k)]];
            const bool absent = store::isAbsent(type, v);
            qint64 n = 0;
            if (!absent)
                n = type == FieldType::DateTime || type == FieldType::OptionalDateTime ? v.toDateTime().toMSecsSinceEpoch()
                                                                                        : v.toLongLong();
            numbers[r * size_t(width) + size_t(k)] = {!absent, n};
        }
    }
    if (width == 1) {
        // The common case, a list by date: sorted in place, no lookups
        // through the row order.
        struct Keyed {
            std::pair<bool, qint64> key;
            qint64 rowId;
            qsizetype index;
        };
        std::vector<Keyed> keyed(rows.size());
        for (size_t r = 0; r < rows.size(); ++r)
            keyed[r] = {numbers[r], rows[r].first, qsizetype(r)};
        const auto sortBy = [&](auto before) {
            std::sort(keyed.begin(), keyed.end(), [&](const Keyed &x, const Keyed &y) {
                if (x.key != y.key)
                    return before(x.key, y.key);
                return x.rowId < y.rowId;
            });
        };
        if (reversed[0])
            sortBy([](const auto &x, const auto &y) { return y < x; });
        else
            sortBy([](const auto &x, const auto &y) { return x < y; });
        for (size_t r = 0; r < keyed.size(); ++r)
            order[r] = keyed[r].index;
        return order;
    }
    std::sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        const auto *x = numbers.data() + a * width;
        const auto *y = numbers.data() + b * width;
        for (qsizetype k = 0; k < width; ++k) {
            if (x[k] != y[k])
                return reversed[size_t(k)] ? y[k] < x[k] : x[k] < y[k];
        }
        return rows[size_t(a)].first < rows[size_t(b)].first;
    });
    return order;
}

bool SqlStore::selectRows(const EntityDescriptor &entity, const FetchDescriptor &descriptor, bool applyLimit,
                          const RowSink &sink, StoreError *error, bool skipDeferred)
{
    if (!descriptor.sortBy.isEmpty() && !(applyLimit && descriptor.fetchLimit)
        && ordersInMemory(entity, descriptor, skipDeferred)) {
        // Sorting whole rows drags every text through SQLite's sorter, and
        // ordering the row keys first costs a second pass. The rows come
        // from one plain scan and are ordered here, by the rules the live
        // queries keep their results in (the same as SQLite's); they are
        // handed on in order, so objects made from them lie in memory in the
        // order a list walks them.
        FetchDescriptor unordered = descriptor;
        unordered.sortBy.clear();
        unordered.fetchLimit.reset();
        std::vector<std::pair<qint64, std::vector<QVariant>>> rows;
        rows.reserve(size_t(rowCountBound(entity)));
        const auto keep = [&](qint64 rowId, std::vector<QVariant> values) {
            rows.emplace_back(rowId, std::move(values));
        };
        if (!selectRows(entity, unordered, false, keep, error, skipDeferred))
            return false;
        for (qsizetype i : orderInMemory(entity, descriptor, rows, skipDeferred && PersistentModel::packs(entity)))
            sink(rows[size_t(i)].first, std::move(rows[size_t(i)].second));
        return true;
    }
    if (!descriptor.sortBy.isEmpty()) {
        // Sorting whole rows drags every text through SQLite's sorter. The
        // order comes from the row keys alone, the rows from one plain scan.
        const auto ids = selectRowIds(entity, descriptor, applyLimit, error);
        if (!ids)
            return false;
        QHash<qint64, std::vector<QVariant>> rows;
        rows.reserve(ids->size());
        FetchDescriptor unordered = descriptor;
        unordered.sortBy.clear();
        unordered.fetchLimit.reset();
        const auto keep = [&](qint64 rowId, std::vector<QVariant> values) { rows.insert(rowId, std::move(values)); };
        const bool ok = ids->size() <= kMaxBinds ? loadRows(entity, *ids, keep, error, skipDeferred)
                                                 : selectRows(entity, unordered, false, keep, error, skipDeferred);
        if (!ok)
            return false;
        for (qint64 id : *ids) {
            auto found = rows.find(id);
            if (found != rows.end())
                sink(id, std::move(*found));
        }
        return true;
    }
    QVariantList binds;
    const QString sql = selectSql(entity, descriptor, true, applyLimit, binds, skipDeferred);
    sqlite3_stmt *stmt = readStatement(sql, binds, error);
    if (!stmt)
        return false;
    return stepAll(stmt, [&] { sink(sqlite3_column_int64(stmt, 0), readRow(entity, stmt, 1, skipDeferred)); }, error);
}

bool SqlStore::readFields(const EntityDescriptor &entity, const QList<int> &fields, const QList<qint64> *rowIds,
                          const FieldSink &sink, StoreError *error)
{
    QStringList names{QStringLiteral("pk")};
    bool anyDeferred = false;
    bool onlyDeferred = true;
    for (int f : fields) {
        names.append(quoted(entity.fields[f].name));
        anyDeferred = anyDeferred || entity.fields[f].deferred;
        onlyDeferred = onlyDeferred && entity.fields[f].deferred;
    }
    // Long fields alone come straight from their own table (every row has
    // its line there); a row missing there reads as not found.
    const QString source = anyDeferred && onlyDeferred ? quoted(longTableName(entity)) : readSource(entity, anyDeferred);
    const QString head = QStringLiteral("SELECT %1 FROM %2").arg(names.join(QStringLiteral(", ")), source);
    std::vector<QVariant> values(size_t(fields.size()));
    const auto readAll = [&](sqlite3_stmt *stmt) {
        return stepAll(stmt, [&] {
            for (int i = 0; i < fields.size(); ++i)
                values[size_t(i)] = readValue(entity.fields[fields[i]].type, stmt, i + 1);
            sink(sqlite3_column_int64(stmt, 0), values);
        }, error);
    };
    if (!rowIds) {
        sqlite3_stmt *stmt = readStatement(head, {}, error);
        return stmt && readAll(stmt);
    }
    for (qsizetype start = 0; start < rowIds->size(); start += kMaxBinds) {
        const qsizetype n = std::min<qsizetype>(kMaxBinds, rowIds->size() - start);
        QVariantList binds;
        for (qsizetype i = 0; i < n; ++i)
            binds.append(rowIds->at(start + i));
        const QString sql = head + QStringLiteral(" WHERE pk IN (")
                            + QStringList(n, QStringLiteral("?")).join(QLatin1Char(',')) + QLatin1Char(')');
        sqlite3_stmt *stmt = readStatement(sql, binds, error);
        if (!stmt || !readAll(stmt))
            return false;
    }
    return true;
}

bool SqlStore::loadRows(const EntityDescriptor &entity, const QList<qint64> &rowIds, const RowSink &sink,
                        StoreError *error, bool skipDeferred)
{
    const QStringList names = columnNames(entity, skipDeferred);
    const QString head = QStringLiteral("SELECT %1 FROM %2 WHERE pk IN (")
                             .arg(names.join(QStringLiteral(", ")), readSource(entity, !skipDeferred));
    for (qsizetype start = 0; start < rowIds.size(); start += kMaxBinds) {
        const qsizetype n = std::min<qsizetype>(kMaxBinds, rowIds.size() - start);
        // One statement shape per chunk size up to a power of two, padded
        // with a repeated id, keeps the statement cache small.
        qsizetype width = 1;
        while (width < n)
            width *= 2;
        QVariantList binds;
        for (qsizetype i = 0; i < width; ++i)
            binds.append(rowIds[start + std::min(i, n - 1)]);
        const QString sql = head + QStringList(width, QStringLiteral("?")).join(QLatin1Char(',')) + QLatin1Char(')');
        sqlite3_stmt *stmt = readStatement(sql, binds, error);
        if (!stmt)
            return false;
        if (!stepAll(stmt, [&] { sink(sqlite3_column_int64(stmt, 0), readRow(entity, stmt, 1, skipDeferred)); }, error))
            return false;
    }
    return true;
}

} // namespace zn
