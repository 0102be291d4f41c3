// The store file's tables: made for a new store, checked and brought up to
// date for an existing one, and read back from a damaged one.

#include "platform/store/SqlStore.h"

#include "platform/store/FieldValues.h"
#include "platform/store/SqlNames.h"

#include <QFile>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

namespace zn {

using sql::fieldColumns;
using sql::longTableName;
using sql::quoted;
using sql::sqlError;
using sql::tableDefinition;
using sql::wholeViewName;

namespace {

constexpr auto kMetaTable = "zn_metadata";
constexpr auto kVersionKey = "schemaVersion";

} // namespace

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
        return exec(QStringLiteral("PRAGMA journal_mode = WAL"), &err, StoreError::Code::CannotOpen)
               && prepareConnection(&err);
    };

    if (tables.isEmpty()) {
        if (!durable() || !begin(&err))
            return lastFailure(location, err.message);
        bool ok = exec(QStringLiteral("CREATE TABLE %1 (key TEXT PRIMARY KEY, value TEXT)").arg(quoted(kMetaTable)),
                       &err, StoreError::Code::CannotOpen);
        for (const EntityDescriptor *entity : m_schema.entities) {
            if (!ok)
                break;
            ok = createEntityTables(*entity, &err);
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
        return createWholeViews(location);
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
    QList<const EntityDescriptor *> unsplit; // long fields still in the row table
    for (const EntityDescriptor *entity : m_schema.entities) {
        if (!tables.contains(entity->name))
            return incompatible(QStringLiteral("the table %1 is missing").arg(entity->name));
        const auto columnsOf = [&](const QString &table) -> std::optional<QSet<QString>> {
            QSqlQuery q(m_db);
            if (!q.exec(QStringLiteral("PRAGMA table_info(%1)").arg(quoted(table))))
                return std::nullopt;
            QSet<QString> columns;
            while (q.next())
                columns.insert(q.value(1).toString());
            return columns;
        };
        const auto columns = columnsOf(entity->name);
        if (!columns)
            return lastFailure(location, QStringLiteral("the columns of %1 could not be read").arg(entity->name));
        if (!columns->contains(QStringLiteral("pk")))
            return incompatible(QStringLiteral("the table %1 has no row key").arg(entity->name));
        const bool split = entity->hasDeferredFields() && tables.contains(longTableName(*entity));
        std::optional<QSet<QString>> longColumns;
        if (split) {
            longColumns = columnsOf(longTableName(*entity));
            if (!longColumns)
                return lastFailure(location, QStringLiteral("the columns of %1 could not be read").arg(entity->name));
        }
        for (const FieldDescriptor &f : entity->fields) {
            if (!(split && f.deferred ? *longColumns : *columns).contains(f.name))
                return incompatible(QStringLiteral("the column %1.%2 is missing").arg(entity->name, f.name));
        }
        if (entity->hasDeferredFields() && !split)
            unsplit.append(entity);
    }
    if (!durable())
        return lastFailure(location, err.message);
    // A log left by a run that ended on a full disk is still as long as it
    // was, and new saves would grow it further before any checkpoint: once
    // room is made, folding it into the store now is what frees it.
    checkpoint(nullptr);
    if (existing) {
        if (auto damaged = checkIntegrity(location))
            return damaged;
    }
    if (!unsplit.isEmpty()) {
        // A store written before long fields moved to their own table. One
        // transaction: it ends split or exactly as it was.
        if (!begin(&err))
            return lastFailure(location, err.message);
        bool ok = true;
        for (const EntityDescriptor *entity : std::as_const(unsplit)) {
            if (!(ok = splitEntityTable(*entity, &err)))
                break;
        }
        if (!ok) {
            const StoreError failure = lastFailure(location, err.message);
            rollback();
            return failure.code != StoreError::Code::CannotOpen
                       ? failure
                       : StoreError(StoreError::Code::CannotOpen,
                                    QStringLiteral("The journal store “%1” could not be brought up to date: %2")
                                        .arg(location, err.message));
        }
        if (!commit(&err))
            return lastFailure(location, err.message);
        // The old row table's pages are free now; give them back to the disk
        // if there is room to do so (the store works either way).
        exec(QStringLiteral("VACUUM"), nullptr, StoreError::Code::CannotOpen);
    }
    return createWholeViews(location);
}

bool SqlStore::prepareConnection(StoreError *error)
{
    // Reads map the file instead of copying every page; a 10,000-entry
    // journal loads in a third less time.
    exec(QStringLiteral("PRAGMA mmap_size = 268435456"), nullptr, StoreError::Code::CannotOpen);
    return exec(QStringLiteral("PRAGMA synchronous = FULL"), error, StoreError::Code::CannotOpen)
           && keepDeletedTextOffDisk(error);
}

bool SqlStore::createEntityTables(const EntityDescriptor &entity, StoreError *error)
{
    if (!exec(QStringLiteral("CREATE TABLE %1 (%2)").arg(quoted(entity.name), tableDefinition(entity, false)), error,
              StoreError::Code::CannotOpen))
        return false;
    if (entity.hasDeferredFields()
        && !exec(QStringLiteral("CREATE TABLE %1 (%2)").arg(quoted(longTableName(entity)), tableDefinition(entity, true)),
                 error, StoreError::Code::CannotOpen))
        return false;
    return createIndexes(entity, error);
}

bool SqlStore::createIndexes(const EntityDescriptor &entity, StoreError *error)
{
    for (const FieldDescriptor &f : entity.fields) {
        if (!f.indexed)
            continue;
        const QString table = f.deferred ? longTableName(entity) : entity.name;
        if (!exec(QStringLiteral("CREATE INDEX %1 ON %2 (%3)")
                      .arg(quoted(entity.name + QLatin1Char('_') + f.name), quoted(table), quoted(f.name)),
                  error, StoreError::Code::CannotOpen))
            return false;
    }
    return true;
}

bool SqlStore::splitEntityTable(const EntityDescriptor &entity, StoreError *error)
{
    // The highest key ever given: deleted rows' keys are never given again.
    std::optional<qint64> sequence;
    {
        QSqlQuery q(m_db);
        q.prepare(QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name = ?"));
        q.addBindValue(entity.name);
        if (q.exec() && q.next() && !q.value(0).isNull())
            sequence = q.value(0).toLongLong();
    }
    const QString building = QStringLiteral("zn_split_") + entity.name;
    const QString pk = QStringLiteral("pk");
    const QString rowColumns = (QStringList{pk} + fieldColumns(entity, false)).join(QStringLiteral(", "));
    const QString longColumns = (QStringList{pk} + fieldColumns(entity, true)).join(QStringLiteral(", "));
    const QString old = quoted(entity.name);
    if (!exec(QStringLiteral("DROP TABLE IF EXISTS %1").arg(quoted(building)), error, StoreError::Code::CannotOpen))
        return false;
    const QStringList steps{
        QStringLiteral("CREATE TABLE %1 (%2)").arg(quoted(longTableName(entity)), tableDefinition(entity, true)),
        QStringLiteral("INSERT INTO %1 (%2) SELECT %2 FROM %3").arg(quoted(longTableName(entity)), longColumns, old),
        QStringLiteral("CREATE TABLE %1 (%2)").arg(quoted(building), tableDefinition(entity, false)),
        QStringLiteral("INSERT INTO %1 (%2) SELECT %2 FROM %3").arg(quoted(building), rowColumns, old),
        QStringLiteral("DROP TABLE %1").arg(old),
        QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(quoted(building), old),
    };
    for (const QString &step : steps) {
        if (!exec(step, error, StoreError::Code::CannotOpen))
            return false;
    }
    // Indexes on the long fields went with the old table too.
    if (!createIndexes(entity, error))
        return false;
    if (sequence) {
        QSqlQuery q(m_db);
        q.prepare(QStringLiteral("UPDATE sqlite_sequence SET seq = max(seq, ?) WHERE name = ?"));
        q.addBindValue(*sequence);
        q.addBindValue(entity.name);
        if (!q.exec()) {
            if (error)
                *error = StoreError(StoreError::Code::CannotOpen, sqlError(q.lastError()));
            return false;
        }
    }
    return true;
}

std::optional<StoreError> SqlStore::createWholeViews(const QString &location)
{
    for (const EntityDescriptor *entity : m_schema.entities) {
        if (!entity->hasDeferredFields())
            continue;
        QStringList columns{QStringLiteral("r.pk AS pk")};
        for (const FieldDescriptor &f : entity->fields)
            columns.append((f.deferred ? QStringLiteral("l.") : QStringLiteral("r.")) + quoted(f.name)
                           + QStringLiteral(" AS ") + quoted(f.name));
        StoreError err;
        // Temporary: it belongs to this connection and never to the file.
        if (!exec(QStringLiteral("CREATE TEMP VIEW %1 AS SELECT %2 FROM main.%3 AS r LEFT JOIN main.%4 AS l ON l.pk = r.pk")
                      .arg(quoted(wholeViewName(*entity)), columns.join(QStringLiteral(", ")), quoted(entity->name),
                           quoted(longTableName(*entity))),
                  &err, StoreError::Code::CannotOpen))
            return lastFailure(location, err.message);
    }
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
        // The damaged file may keep long fields in the row table (written
        // before they moved) or beside it.
        const bool damagedSplit = entity->hasDeferredFields()
                                  && damaged.number("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = ?",
                                                    longTableName(*entity).toUtf8()).value_or(0) > 0;
        QStringList names{QStringLiteral("r.pk")};
        for (const FieldDescriptor &f : entity->fields)
            names.append((damagedSplit && f.deferred ? QStringLiteral("l.") : QStringLiteral("r.")) + quoted(f.name));
        QString source = quoted(entity->name) + QStringLiteral(" AS r");
        if (damagedSplit)
            source += QStringLiteral(" LEFT JOIN %1 AS l ON l.pk = r.pk").arg(quoted(longTableName(*entity)));
        const QByteArray select = QStringLiteral("SELECT %1 FROM %2 WHERE r.pk BETWEEN ? AND ?")
                                      .arg(names.join(QStringLiteral(", ")), source).toUtf8();
        const auto insertSql = [](const QString &table, const QStringList &columns) {
            return QStringLiteral("INSERT OR IGNORE INTO %1 (%2) VALUES (%3)")
                .arg(quoted(table), columns.join(QStringLiteral(", ")),
                     QStringList(columns.size(), QStringLiteral("?")).join(QStringLiteral(", ")))
                .toUtf8();
        };
        const QByteArray insert = insertSql(entity->name, QStringList{QStringLiteral("pk")} + fieldColumns(*entity, false));
        const QByteArray insertLong = entity->hasDeferredFields()
                                          ? insertSql(longTableName(*entity), QStringList{QStringLiteral("pk")} + fieldColumns(*entity, true))
                                          : QByteArray();
        sqlite3_stmt *from = nullptr;
        sqlite3_stmt *to = nullptr;
        sqlite3_stmt *toLong = nullptr;
        if (sqlite3_prepare_v2(damaged.db, select.constData(), int(select.size()), &from, nullptr) != SQLITE_OK
            || sqlite3_prepare_v2(m_handle, insert.constData(), int(insert.size()), &to, nullptr) != SQLITE_OK
            || (!insertLong.isEmpty()
                && sqlite3_prepare_v2(m_handle, insertLong.constData(), int(insertLong.size()), &toLong, nullptr) != SQLITE_OK)) {
            sqlite3_finalize(from);
            sqlite3_finalize(to);
            sqlite3_finalize(toLong);
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
                int column = 1;
                int longColumn = 1;
                sqlite3_bind_value(to, column++, sqlite3_column_value(from, 0));
                if (toLong) {
                    sqlite3_reset(toLong);
                    sqlite3_bind_value(toLong, longColumn++, sqlite3_column_value(from, 0));
                }
                for (int i = 0; i < entity->fields.size(); ++i) {
                    if (entity->fields[i].deferred)
                        sqlite3_bind_value(toLong, longColumn++, sqlite3_column_value(from, i + 1));
                    else
                        sqlite3_bind_value(to, column++, sqlite3_column_value(from, i + 1));
                }
                if (sqlite3_step(to) == SQLITE_DONE && sqlite3_changes(m_handle) > 0) {
                    ++rows;
                    if (toLong)
                        sqlite3_step(toLong);
                }
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
        sqlite3_finalize(toLong);
        copied.insert(entity->name, count);
    }
    if (!commit(&err))
        return {};
    return copied;
}

} // namespace zn
