#pragma once

#include "platform/store/FetchDescriptor.h"
#include "platform/store/ModelConfiguration.h"
#include "platform/store/Schema.h"
#include "platform/store/StoreError.h"

#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <sqlite3.h>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace zn {

// The SQL side of a container: one connection, schema creation and checks,
// and row-level statements. Identifiers in SQL text come only from the
// schema; every value is a bound parameter.
class SqlStore
{
public:
    static std::unique_ptr<SqlStore> open(const Schema &schema, const ModelConfiguration &configuration,
                                          StoreError *error);
    // Another connection to a store file that open() has set up already,
    // for the calling thread: no checks, no changes to the file.
    static std::unique_ptr<SqlStore> openAnother(const Schema &schema, const ModelConfiguration &configuration,
                                                 StoreError *error);
    // Makes the store's folder when missing and keeps it its owner's alone
    // (0700); what is wrong with it otherwise.
    static std::optional<StoreError> prepareFolder(const QString &folder);
    ~SqlStore();

    bool begin(StoreError *error);
    bool commit(StoreError *error);
    void rollback();

    // Copies the log into the store file and empties the log file, so no
    // text the store has dropped stays readable there.
    bool checkpoint(StoreError *error);
    // Rewrites the store file without its free pages, then checkpoints:
    // afterwards the files hold nothing but the rows still stored.
    bool reclaimFreePages(StoreError *error);

    std::optional<qint64> insertRow(const EntityDescriptor &entity, const std::vector<QVariant> &values,
                                    StoreError *error);
    // Rows affected (0 when the row is gone), or nothing on error.
    std::optional<int> updateRow(const EntityDescriptor &entity, qint64 rowId, const QList<int> &fields,
                                 const std::vector<QVariant> &values, StoreError *error);
    bool deleteRow(const EntityDescriptor &entity, qint64 rowId, StoreError *error);

    std::optional<QList<qint64>> selectRowIds(const EntityDescriptor &entity, const FetchDescriptor &descriptor,
                                              bool applyLimit, StoreError *error);

    // At least the number of rows of the entity, found without reading them
    // (the highest row key), capped at a size worth reserving room for.
    qsizetype rowCountBound(const EntityDescriptor &entity);

    using RowSink = std::function<void(qint64 rowId, std::vector<QVariant> values)>;
    // Rows matching the descriptor, in its order. With `skipDeferred` the
    // deferred fields are left out: rows come packed (PersistentModel::packs())
    // or hold an invalid QVariant in their places.
    bool selectRows(const EntityDescriptor &entity, const FetchDescriptor &descriptor, bool applyLimit,
                    const RowSink &sink, StoreError *error, bool skipDeferred = false);
    // Rows by row id, in no particular order; missing ids are skipped.
    bool loadRows(const EntityDescriptor &entity, const QList<qint64> &rowIds, const RowSink &sink,
                  StoreError *error, bool skipDeferred = false);

    using FieldSink = std::function<void(qint64 rowId, const std::vector<QVariant> &values)>;
    // Chosen fields of every row (`rowIds` null) or of the given rows, in no
    // particular order, without making objects.
    bool readFields(const EntityDescriptor &entity, const QList<int> &fields, const QList<qint64> *rowIds,
                    const FieldSink &sink, StoreError *error);

    // Copies every row still readable from the damaged store file at `path`
    // into this (new, empty) store, keeping row keys; unreadable rows are
    // skipped. Rows copied per entity name.
    QHash<QString, int> salvageFrom(const QString &path);

private:
    explicit SqlStore(const Schema &schema);
    bool exec(const QString &sql, StoreError *error, StoreError::Code code);
    bool runWrite(const QString &sql, const QVariantList &binds, StoreError *error);
    // secure_delete, temporary data in memory, and a checkpoint that
    // empties the log; part of every open.
    bool keepDeletedTextOffDisk(StoreError *error);
    std::optional<StoreError> prepareSchema(const QString &location, bool existing);
    bool connect(const QString &location, StoreError *error);
    // The settings every connection needs (they hold per connection).
    bool prepareConnection(StoreError *error);
    std::optional<StoreError> checkIntegrity(const QString &location);
    // An entity's row table, its long-field table and indexes.
    bool createEntityTables(const EntityDescriptor &entity, StoreError *error);
    bool createIndexes(const EntityDescriptor &entity, StoreError *error);
    // Moves an entity's long fields out of its row table into their own,
    // keeping every row key and the highest key ever given. Inside the
    // caller's transaction.
    bool splitEntityTable(const EntityDescriptor &entity, StoreError *error);
    std::optional<StoreError> createWholeViews(const QString &location);
    // Where a read finds its columns: the row table alone, or the whole
    // rows when long fields are read, compared or sorted on.
    static QString readSource(const EntityDescriptor &entity, bool withDeferred);
    static bool touchesDeferred(const EntityDescriptor &entity, const FetchDescriptor &descriptor);
    // What an SQLite failure while opening means for the person at the
    // screen: a lock, permissions, a full disk, damage or incompatibility.
    static StoreError openFailure(int sqliteCode, const QString &location, const QString &detail);
    StoreError lastFailure(const QString &location, const QString &detail) const;
    QString whereClause(const EntityDescriptor &entity, const FetchDescriptor &descriptor, QVariantList &binds) const;
    QString orderClause(const EntityDescriptor &entity, const FetchDescriptor &descriptor, bool limited) const;
    // A cached statement reset and bound to `binds`; null on failure.
    sqlite3_stmt *readStatement(const QString &sql, const QVariantList &binds, StoreError *error,
                                StoreError::Code code = StoreError::Code::FetchFailed);
    bool stepAll(sqlite3_stmt *stmt, const std::function<void()> &onRow, StoreError *error);
    // Whether a fetch's rows can be ordered after reading them.
    static bool ordersInMemory(const EntityDescriptor &entity, const FetchDescriptor &descriptor, bool skipDeferred);
    // The order `descriptor` puts `rows` in, as indexes into them; rows
    // `packed` leave the deferred fields out. For a descriptor
    // ordersInMemory() accepts.
    static std::vector<qsizetype> orderInMemory(const EntityDescriptor &entity, const FetchDescriptor &descriptor,
                                                const std::vector<std::pair<qint64, std::vector<QVariant>>> &rows,
                                                bool packed);
    QString selectSql(const EntityDescriptor &entity, const FetchDescriptor &descriptor, bool wholeRows,
                      bool applyLimit, QVariantList &binds, bool skipDeferred = false) const;
    static QStringList columnNames(const EntityDescriptor &entity, bool skipDeferred);
    std::vector<QVariant> readRow(const EntityDescriptor &entity, sqlite3_stmt *stmt, int firstColumn,
                                  bool skipDeferred = false) const;
    static QVariant readValue(FieldType type, sqlite3_stmt *stmt, int column);

    const Schema &m_schema;
    QString m_connectionName;
    QSqlDatabase m_db;
    QHash<QString, sqlite3_stmt *> m_readStatements;
    struct InsertSql {
        QString row;
        QString longFields;
    };
    QHash<const EntityDescriptor *, InsertSql> m_insertSql;
    // The last short text read per field: repeated values (a status) share
    // one string instead of each row decoding its own.
    struct RecentText {
        QByteArray utf8;
        QVariant value;
    };
    mutable const EntityDescriptor *m_recentEntity = nullptr;
    mutable std::vector<RecentText> m_recentText;
    mutable int m_recentDeferredCount = 0;
    sqlite3 *m_handle = nullptr;
};

} // namespace zn
