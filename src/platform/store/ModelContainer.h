#pragma once

#include "platform/store/ModelConfiguration.h"
#include "platform/store/Schema.h"
#include "platform/store/StoreError.h"

#include <QHash>
#include <QList>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace zn {

class ModelContext;
class SqlStore;
class StoreLock;

// What one save wrote, by entity name.
struct StoreChanges
{
    QHash<QString, QList<qint64>> inserted;
    QHash<QString, QList<qint64>> updated;
    QHash<QString, QList<qint64>> deleted;

    bool isEmpty() const { return inserted.isEmpty() && updated.isEmpty() && deleted.isEmpty(); }
};

// One open store: a single SQLite connection (WAL, synchronous=FULL) plus
// the contexts made on it. Main thread only. A save that returned without an
// error is on disk.
class ModelContainer : public QObject
{
    Q_OBJECT
public:
    // Opens the store of `configuration`, creating the file and its folder
    // (0700; file 0600) when new. Fails with Code::Incompatible when the file
    // is not a database, records another schema version or lacks a table or
    // column, with Code::Unavailable for a cloud configuration, and with
    // Code::Busy, touching nothing, when another process holds the folder's
    // StoreLock; the container holds that lock while it lives.
    static std::shared_ptr<ModelContainer> open(const Schema &schema,
                                                const ModelConfiguration &configuration,
                                                StoreError *error = nullptr);
    ~ModelContainer() override;

    const Schema &schema() const { return m_schema; }
    const ModelConfiguration &configuration() const { return m_configuration; }

    // No other process can have this store open: it lives in memory, or
    // this process holds its folder's lock.
    bool ownsStore() const;

    // The context the views share; lives as long as the container.
    ModelContext *mainContext();

    // Chosen fields of saved rows, read straight from the store without
    // making objects: every row of the entity when `rowIds` is null, else
    // those rows (missing ones skipped). For summaries kept beside the
    // store; `values` follow the order of `fields`.
    using FieldSink = std::function<void(qint64 rowId, const std::vector<QVariant> &values)>;
    bool readFields(const EntityDescriptor &entity, const QList<int> &fields, const QList<qint64> *rowIds,
                    const FieldSink &sink, StoreError *error = nullptr);

    // Rewrites the store file without the pages that deleted rows left
    // free, and empties its log: afterwards the store's files hold nothing
    // but the rows still stored. For after a large deletion.
    std::optional<StoreError> reclaimFreePages();

    // Fills this new store with the rows still readable from a damaged
    // store file of the same schema; rows copied per entity name.
    QHash<QString, int> salvageRowsFrom(const QString &damagedStorePath);

    // Test hook: called inside every save transaction just before commit; an
    // error it returns aborts the save as a failing disk would.
    using SaveFailureInjector = std::function<std::optional<StoreError>()>;
    void setSaveFailureInjector(SaveFailureInjector injector);

Q_SIGNALS:
    // A context saved. Other contexts merge the changes, then announce
    // their own storeDidChange().
    void didSave(const zn::StoreChanges &changes, zn::ModelContext *origin);
    // A context is about to delete these rows (before its transaction).
    void rowsAboutToBeDeleted(const QString &entityName, const QList<qint64> &rowIds);

private:
    ModelContainer(const Schema &schema, const ModelConfiguration &configuration);

    friend class ModelContext;
    Schema m_schema;
    ModelConfiguration m_configuration;
    std::shared_ptr<StoreLock> m_lock;
    std::unique_ptr<SqlStore> m_sql;
    ModelContext *m_mainContext = nullptr;
    SaveFailureInjector m_injector;
};

} // namespace zn
