#include "platform/store/SqlStore.h"

#include "platform/store/FieldValues.h"

#include <QAtomicInteger>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QSqlDriver>
#include <QUuid>
#include <QSqlError>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <numeric>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace zn {
namespace {

constexpr auto kMetaTable = "zn_metadata";
constexpr auto kVersionKey = "schemaVersion";
constexpr int kMaxBinds = 512;
constexpr int kBusyTimeoutMs = 1000;

QString quoted(const QString &identifier)
{
    return QLatin1Char('"') + identifier + QLatin1Char('"');
}

QString sqlError(const QSqlError &e)
{
    QString text = e.databaseText();
    if (text.isEmpty())
        text = e.text();
    return text.isEmpty() ? QStringLiteral("unknown database error") : text;
}

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

StoreError busyError(const QString &path)
{
    return StoreError(StoreError::Code::Busy,
                      QStringLiteral("Another program is using the journal store “%1”, so Zephyrnote can’t open it now. "
                                     "Nothing was moved or changed: close the other program and open Zephyrnote again.")
                          .arg(path));
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

std::optional<StoreError> prepareFolder(const QString &folder)
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

} // namespace

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
    store->m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), store->m_connectionName);
    if (!store->m_db.isValid())
        return fail(StoreError(StoreError::Code::CannotOpen,
                               QStringLiteral("The SQLite driver for the journal store is not installed.")));
    store->m_db.setDatabaseName(location);
    // A lock held for a moment (another program's save) is waited out; a
    // longer one is reported, never taken for damage.
    store->m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    if (!store->m_db.open()) {
        bool isNumber = false;
        const int code = store->m_db.lastError().nativeErrorCode().toInt(&isNumber);
        return fail(openFailure(isNumber ? code : SQLITE_CANTOPEN, location, sqlError(store->m_db.lastError())));
    }
    const QVariant handle = store->m_db.driver()->handle();
    if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0)
        store->m_handle = *static_cast<sqlite3 *const *>(handle.constData());
    if (auto e = store->prepareSchema(location, !created && !configuration.isStoredInMemoryOnly))
        return fail(*e);
    createdFile.keep = true;
    return store;
}

StoreError SqlStore::openFailure(int code, const QString &location, const QString &detail)
{
    switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return busyError(location);
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

std::optional<StoreError> SqlStore::prepareSchema(const QString &location, bool existing)
{
    auto incompatible = [&](const QString &why) {
        return StoreError(StoreError::Code::Incompatible,
                          QStringLiteral("The journal store “%1” is not compatible with this version: %2")
                              .arg(location, why));
    };

    // Read before writing anything: a foreign or newer file must stay as it is.
    QSet<QString> tables;
    {
        QSqlQuery q(m_db);
        if (!q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'")))
            return lastFailure(location, sqlError(q.lastError()));
        while (q.next())
            tables.insert(q.value(0).toString());
    }

    StoreError err;
    auto durable = [&]() -> bool {
        // Reads map the file instead of copying every page; a 10,000-entry
        // journal loads in a third less time.
        exec(QStringLiteral("PRAGMA mmap_size = 268435456"), nullptr, StoreError::Code::CannotOpen);
        return exec(QStringLiteral("PRAGMA journal_mode = WAL"), &err, StoreError::Code::CannotOpen)
               && exec(QStringLiteral("PRAGMA synchronous = FULL"), &err, StoreError::Code::CannotOpen);
    };

    if (tables.isEmpty()) {
        if (!durable() || !begin(&err))
            return lastFailure(location, err.message);
        bool ok = exec(QStringLiteral("CREATE TABLE %1 (key TEXT PRIMARY KEY, value TEXT)").arg(quoted(kMetaTable)),
                       &err, StoreError::Code::CannotOpen);
        for (const EntityDescriptor *entity : m_schema.entities) {
            if (!ok)
                break;
            QStringList columns{QStringLiteral("pk INTEGER PRIMARY KEY AUTOINCREMENT")};
            for (const FieldDescriptor &f : entity->fields)
                columns.append(quoted(f.name) + QLatin1Char(' ') + store::columnType(f.type));
            ok = exec(QStringLiteral("CREATE TABLE %1 (%2)").arg(quoted(entity->name), columns.join(QStringLiteral(", "))),
                      &err, StoreError::Code::CannotOpen);
            for (const FieldDescriptor &f : entity->fields) {
                if (ok && f.indexed)
                    ok = exec(QStringLiteral("CREATE INDEX %1 ON %2 (%3)")
                                  .arg(quoted(entity->name + QLatin1Char('_') + f.name), quoted(entity->name),
                                       quoted(f.name)),
                              &err, StoreError::Code::CannotOpen);
            }
        }
        if (ok) {
            QSqlQuery q(m_db);
            q.prepare(QStringLiteral("INSERT INTO %1 (key, value) VALUES (?, ?)").arg(quoted(kMetaTable)));
            q.addBindValue(QString::fromLatin1(kVersionKey));
            q.addBindValue(m_schema.version);
            ok = q.exec();
            if (!ok)
                err = StoreError(StoreError::Code::CannotOpen, sqlError(q.lastError()));
        }
        if (!ok) {
            const StoreError failure = lastFailure(location, err.message);
            rollback();
            if (failure.code != StoreError::Code::CannotOpen)
                return failure;
            return StoreError(StoreError::Code::CannotOpen,
                              QStringLiteral("The journal store “%1” could not be set up: %2").arg(location, err.message));
        }
        if (!commit(&err))
            return lastFailure(location, err.message);
        return std::nullopt;
    }

    if (!tables.contains(QString::fromLatin1(kMetaTable)))
        return incompatible(QStringLiteral("it holds no schema version"));
    {
        QSqlQuery q(m_db);
        q.prepare(QStringLiteral("SELECT value FROM %1 WHERE key = ?").arg(quoted(kMetaTable)));
        q.addBindValue(QString::fromLatin1(kVersionKey));
        if (!q.exec())
            return lastFailure(location, sqlError(q.lastError()));
        if (!q.next())
            return incompatible(QStringLiteral("it holds no schema version"));
        const QString version = q.value(0).toString();
        if (version != m_schema.version)
            return incompatible(QStringLiteral("it has schema version %1, expected %2").arg(version, m_schema.version));
    }
    for (const EntityDescriptor *entity : m_schema.entities) {
        if (!tables.contains(entity->name))
            return incompatible(QStringLiteral("the table %1 is missing").arg(entity->name));
        QSqlQuery q(m_db);
        if (!q.exec(QStringLiteral("PRAGMA table_info(%1)").arg(quoted(entity->name))))
            return lastFailure(location, sqlError(q.lastError()));
        QSet<QString> columns;
        while (q.next())
            columns.insert(q.value(1).toString());
        if (!columns.contains(QStringLiteral("pk")))
            return incompatible(QStringLiteral("the table %1 has no row key").arg(entity->name));
        for (const FieldDescriptor &f : entity->fields) {
            if (!columns.contains(f.name))
                return incompatible(QStringLiteral("the column %1.%2 is missing").arg(entity->name, f.name));
        }
    }
    if (!durable())
        return lastFailure(location, err.message);
    if (existing)
        return checkIntegrity(location);
    return std::nullopt;
}

// A few overwritten pages leave a store that opens and fails every read;
// finding them here sends the store down the recovery road instead.
std::optional<StoreError> SqlStore::checkIntegrity(const QString &location)
{
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral("PRAGMA quick_check(1)")))
        return lastFailure(location, sqlError(q.lastError()));
    const QString verdict = q.next() ? q.value(0).toString() : QStringLiteral("no answer from the integrity check");
    if (verdict == QLatin1String("ok"))
        return std::nullopt;
    return StoreError(StoreError::Code::Damaged, QStringLiteral("The journal store “%1” is damaged: %2").arg(location, verdict));
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
    QSqlQuery q(m_db);
    q.exec(QStringLiteral("ROLLBACK"));
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
    QString &sql = m_insertSql[entity.name];
    if (sql.isEmpty()) {
        QStringList names, marks;
        for (const FieldDescriptor &f : entity.fields) {
            names.append(quoted(f.name));
            marks.append(QStringLiteral("?"));
        }
        sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                  .arg(quoted(entity.name), names.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
    }
    QVariantList binds;
    binds.reserve(entity.fields.size());
    for (int i = 0; i < entity.fields.size(); ++i)
        binds.append(store::toSql(entity.fields[i].type, values[size_t(i)]));
    if (!runWrite(sql, binds, error))
        return std::nullopt;
    return qint64(sqlite3_last_insert_rowid(m_handle));
}

std::optional<int> SqlStore::updateRow(const EntityDescriptor &entity, qint64 rowId, const QList<int> &fields,
                                       const std::vector<QVariant> &values, StoreError *error)
{
    QStringList sets;
    QVariantList binds;
    for (int f : fields) {
        sets.append(quoted(entity.fields[f].name) + QStringLiteral(" = ?"));
        binds.append(store::toSql(entity.fields[f].type, values[size_t(f)]));
    }
    binds.append(rowId);
    const QString sql = QStringLiteral("UPDATE %1 SET %2 WHERE pk = ?").arg(quoted(entity.name), sets.join(QStringLiteral(", ")));
    if (!runWrite(sql, binds, error))
        return std::nullopt;
    return sqlite3_changes(m_handle);
}

bool SqlStore::deleteRow(const EntityDescriptor &entity, qint64 rowId, StoreError *error)
{
    return runWrite(QStringLiteral("DELETE FROM %1 WHERE pk = ?").arg(quoted(entity.name)), {rowId}, error);
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

QString SqlStore::orderClause(const EntityDescriptor &entity, const FetchDescriptor &descriptor) const
{
    QStringList parts;
    for (const SortDescriptor &s : descriptor.sortBy) {
        if (s.field < 0 || s.field >= entity.fields.size())
            continue;
        // "+column": indexes serve the WHERE clause only. Walking a whole
        // table through an index to save a sort costs a lookup per row.
        parts.append(QLatin1Char('+') + quoted(entity.fields[s.field].name)
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
    std::vector<QVariant> values(size_t(entity.fields.size()));
    int column = firstColumn;
    const std::vector<QVariant> *blanks = nullptr;
    if (skipDeferred) {
        auto found = m_blanks.find(&entity);
        if (found == m_blanks.end()) {
            std::vector<QVariant> made;
            for (const FieldDescriptor &f : entity.fields)
                made.push_back(store::normalize(f.type, QVariant()));
            found = m_blanks.insert(&entity, std::move(made));
        }
        blanks = &*found;
    }
    for (int i = 0; i < entity.fields.size(); ++i) {
        const FieldDescriptor &f = entity.fields[i];
        values[size_t(i)] = blanks && f.deferred ? (*blanks)[size_t(i)] : readValue(f.type, stmt, column++);
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
    const int kind = sqlite3_column_type(stmt, column);
    // The common shapes are decoded here directly; anything unusual
    // (NaN kept as text, a foreign type) takes the general path.
    if (kind == SQLITE_TEXT && (type == FieldType::Text || type == FieldType::OptionalText)) {
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, column));
        return store::textFromUtf8(text, sqlite3_column_bytes(stmt, column));
    }
    if (kind == SQLITE_FLOAT && (type == FieldType::Real || type == FieldType::OptionalReal)) {
        return sqlite3_column_double(stmt, column);
    }
    if (kind == SQLITE_FLOAT && (type == FieldType::DateTime || type == FieldType::OptionalDateTime)) {
        // As store::fromSql() reads it: a UTC instant, millisecond exact.
        return QDateTime::fromMSecsSinceEpoch(std::llround(sqlite3_column_double(stmt, column) * 1000.0), Qt::UTC);
    }
    if (kind == SQLITE_NULL
        && (type == FieldType::OptionalText || type == FieldType::OptionalReal
            || type == FieldType::OptionalDateTime)) {
        return QVariant();
    }
    if (kind == SQLITE_INTEGER && type == FieldType::Integer) {
        return qlonglong(sqlite3_column_int64(stmt, column));
    }
    if (kind == SQLITE_INTEGER && type == FieldType::Bool) {
        return sqlite3_column_int64(stmt, column) != 0;
    }
    if (kind == SQLITE_BLOB && type == FieldType::Data) {
        const void *data = sqlite3_column_blob(stmt, column);
        return QByteArray(data ? static_cast<const char *>(data) : "", sqlite3_column_bytes(stmt, column));
    }
    if (kind == SQLITE_TEXT && type == FieldType::StringList && sqlite3_column_bytes(stmt, column) == 2
        && std::memcmp(sqlite3_column_text(stmt, column), "[]", 2) == 0) {
        return QStringList();
    }
    if (kind == SQLITE_TEXT && type == FieldType::Uuid && sqlite3_column_bytes(stmt, column) == 36) {
        return QVariant::fromValue(QUuid::fromString(
            QLatin1StringView(reinterpret_cast<const char *>(sqlite3_column_text(stmt, column)), 36)));
    }
    QVariant raw;
    switch (kind) {
    case SQLITE_NULL:
        break;
    case SQLITE_INTEGER:
        raw = qlonglong(sqlite3_column_int64(stmt, column));
        break;
    case SQLITE_FLOAT:
        raw = sqlite3_column_double(stmt, column);
        break;
    case SQLITE_BLOB: {
        const void *data = sqlite3_column_blob(stmt, column);
        raw = QByteArray(data ? static_cast<const char *>(data) : "", sqlite3_column_bytes(stmt, column));
        break;
    }
    default: {
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, column));
        raw = store::textFromUtf8(text ? text : "", sqlite3_column_bytes(stmt, column));
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
    QString sql = QStringLiteral("SELECT %1 FROM %2").arg(names.join(QStringLiteral(", ")), quoted(entity.name))
                  + whereClause(entity, descriptor, binds) + orderClause(entity, descriptor);
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

bool SqlStore::selectRows(const EntityDescriptor &entity, const FetchDescriptor &descriptor, bool applyLimit,
                          const RowSink &sink, StoreError *error, bool skipDeferred)
{
    if (!descriptor.sortBy.isEmpty() && !(applyLimit && descriptor.fetchLimit)
        && ordersInMemory(entity, descriptor, skipDeferred)) {
        // Sorting whole rows drags every text through SQLite's sorter, and
        // ordering the row keys first costs a second pass. The rows come
        // from one plain scan and are ordered here, by the rules the live
        // queries keep their results in (the same as SQLite's).
        FetchDescriptor unordered = descriptor;
        unordered.sortBy.clear();
        unordered.fetchLimit.reset();
        std::vector<std::pair<qint64, std::vector<QVariant>>> rows;
        const auto keep = [&](qint64 rowId, std::vector<QVariant> values) {
            rows.emplace_back(rowId, std::move(values));
        };
        if (!selectRows(entity, unordered, false, keep, error, skipDeferred))
            return false;
        std::vector<qsizetype> order(rows.size());
        std::iota(order.begin(), order.end(), 0);
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
        if (whole) {
            // Each key read once as (absent, number): absent values first,
            // as compareValues() orders them.
            const qsizetype width = keys.size();
            std::vector<std::pair<bool, qint64>> numbers(rows.size() * size_t(width));
            for (size_t r = 0; r < rows.size(); ++r) {
                for (qsizetype k = 0; k < width; ++k) {
                    const int field = keys.at(k).field;
                    const FieldType type = entity.fields[field].type;
                    const QVariant &v = rows[r].second[size_t(field)];
                    const bool absent = store::isAbsent(type, v);
                    qint64 n = 0;
                    if (!absent)
                        n = type == FieldType::DateTime || type == FieldType::OptionalDateTime
                            ? v.toDateTime().toMSecsSinceEpoch()
                            : v.toLongLong();
                    numbers[r * size_t(width) + size_t(k)] = {!absent, n};
                }
            }
            std::vector<char> reversed;
            for (const SortDescriptor &s : std::as_const(keys))
                reversed.push_back(s.order == SortOrder::Reverse);
            std::sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
                const auto *x = numbers.data() + a * width;
                const auto *y = numbers.data() + b * width;
                for (qsizetype k = 0; k < width; ++k) {
                    if (x[k] != y[k])
                        return reversed[size_t(k)] ? y[k] < x[k] : x[k] < y[k];
                }
                return rows[size_t(a)].first < rows[size_t(b)].first;
            });
        } else {
            std::sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
                for (const SortDescriptor &s : std::as_const(keys)) {
                    const size_t f = size_t(s.field);
                    int c = store::compareValues(entity.fields[s.field].type, rows[size_t(a)].second[f],
                                                 rows[size_t(b)].second[f]);
                    if (s.order == SortOrder::Reverse)
                        c = -c;
                    if (c != 0)
                        return c < 0;
                }
                return rows[size_t(a)].first < rows[size_t(b)].first;
            });
        }
        for (qsizetype i : order)
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
    for (int f : fields)
        names.append(quoted(entity.fields[f].name));
    const QString head = QStringLiteral("SELECT %1 FROM %2").arg(names.join(QStringLiteral(", ")), quoted(entity.name));
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
    const QString head = QStringLiteral("SELECT %1 FROM %2 WHERE pk IN (").arg(names.join(QStringLiteral(", ")), quoted(entity.name));
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

namespace zn {
namespace {

// A read-only connection on a damaged file, closed with its statements.
struct DamagedFile {
    sqlite3 *db = nullptr;
    ~DamagedFile()
    {
        if (db)
            sqlite3_close_v2(db);
    }
    // A single number from a query, if it can be read.
    std::optional<qint64> number(const QByteArray &sql, const QByteArray &bind = {}) const
    {
        sqlite3_stmt *stmt = nullptr;
        std::optional<qint64> out;
        if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &stmt, nullptr) == SQLITE_OK) {
            if (!bind.isEmpty())
                sqlite3_bind_text(stmt, 1, bind.constData(), int(bind.size()), SQLITE_TRANSIENT);
            if (sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_type(stmt, 0) != SQLITE_NULL)
                out = sqlite3_column_int64(stmt, 0);
        }
        sqlite3_finalize(stmt);
        return out;
    }
};

} // namespace

QHash<QString, int> SqlStore::salvageFrom(const QString &path)
{
    QHash<QString, int> copied;
    DamagedFile damaged;
    const QByteArray native = QFile::encodeName(path);
    if (!m_handle || sqlite3_open_v2(native.constData(), &damaged.db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        return copied;
    StoreError err;
    if (!begin(&err))
        return copied;
    for (const EntityDescriptor *entity : m_schema.entities) {
        QStringList names{QStringLiteral("pk")};
        QStringList marks{QStringLiteral("?")};
        for (const FieldDescriptor &f : entity->fields) {
            names.append(quoted(f.name));
            marks.append(QStringLiteral("?"));
        }
        const QByteArray select = QStringLiteral("SELECT %1 FROM %2 WHERE pk BETWEEN ? AND ?")
                                      .arg(names.join(QStringLiteral(", ")), quoted(entity->name)).toUtf8();
        const QByteArray insert = QStringLiteral("INSERT OR IGNORE INTO %1 (%2) VALUES (%3)")
                                      .arg(quoted(entity->name), names.join(QStringLiteral(", ")),
                                           marks.join(QStringLiteral(", "))).toUtf8();
        sqlite3_stmt *from = nullptr;
        sqlite3_stmt *to = nullptr;
        if (sqlite3_prepare_v2(damaged.db, select.constData(), int(select.size()), &from, nullptr) != SQLITE_OK
            || sqlite3_prepare_v2(m_handle, insert.constData(), int(insert.size()), &to, nullptr) != SQLITE_OK) {
            sqlite3_finalize(from);
            sqlite3_finalize(to);
            continue;
        }
        // The highest key ever given, from wherever it can still be read.
        const qint64 last = std::max(
            damaged.number("SELECT seq FROM sqlite_sequence WHERE name = ?", entity->name.toUtf8()).value_or(0),
            damaged.number(QStringLiteral("SELECT max(pk) FROM %1").arg(quoted(entity->name)).toUtf8()).value_or(0));
        int count = 0;
        // Reads a key range; false when a damaged page cut it short.
        const auto copyRange = [&](qint64 lo, qint64 hi) {
            sqlite3_reset(from);
            sqlite3_bind_int64(from, 1, lo);
            sqlite3_bind_int64(from, 2, hi);
            int rc;
            int rows = 0;
            while ((rc = sqlite3_step(from)) == SQLITE_ROW) {
                sqlite3_reset(to);
                for (int c = 0; c < sqlite3_column_count(from); ++c)
                    sqlite3_bind_value(to, c + 1, sqlite3_column_value(from, c));
                if (sqlite3_step(to) == SQLITE_DONE && sqlite3_changes(m_handle) > 0)
                    ++rows;
            }
            count += rows;
            return rc == SQLITE_DONE;
        };
        constexpr qint64 kChunk = 64;
        for (qint64 lo = 1; lo <= last; lo += kChunk) {
            const qint64 hi = std::min(last, lo + kChunk - 1);
            if (!copyRange(lo, hi)) {
                // Key by key around the damage; rows already copied stay.
                for (qint64 key = lo; key <= hi; ++key)
                    copyRange(key, key);
            }
        }
        sqlite3_finalize(from);
        sqlite3_finalize(to);
        copied.insert(entity->name, count);
    }
    if (!commit(&err))
        return {};
    return copied;
}

} // namespace zn
