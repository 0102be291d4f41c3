#pragma once

#include "platform/store/ModelConfiguration.h"
#include "platform/store/Schema.h"
#include "platform/store/StoreError.h"

#include <QHash>
#include <QSet>
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
    // Every field written to any of the updated rows, by entity name; an
    // entity missing here may have had any field written.
    QHash<QString, QSet<int>> updatedFields;

    bool isEmpty() const { return inserted.isEmpty() && updated.isEmpty() && deleted.isEmpty(); }
    // Adds what a later save wrote.
    void add(const StoreChanges &later);
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
    // column, and with Code::Busy, touching nothing, when another process
    // holds the folder's StoreLock; the container holds that lock while it
    // lives.
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

    // Opens a second connection to this store, for one piece of work on
    // another thread (a large write that must not hold up the window): call
    // it on that thread, and use the container it gives, the contexts made
    // on that and their objects there only, until it goes, there too. The
    // main connection's contexts learn of its saves only through
    // announceChanges(). Gives null with `error` when the store cannot be
    // reached so.
    using ConnectionOpener = std::function<std::unique_ptr<ModelContainer>(StoreError *error)>;
    // Empty for a store held in memory, which has no second connection.
    ConnectionOpener connectionOpener() const;
    // Opens a connection with `open` and runs `work` on it, on the calling
    // thread; what all of its saves wrote, or none when no connection could
    // be opened (`work` has not run then).
    static std::optional<StoreChanges> workOnAnotherConnection(const ConnectionOpener &open,
                                                               const std::function<void(ModelContainer &)> &work);
    // Tells this container's contexts, and through them their live queries,
    // that another connection saved these rows, as after a save of their
    // own. Rows it deleted should not be held here: their long fields, if
    // never read, are gone.
    void announceChanges(const StoreChanges &changes);

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

    // Test hook: called inside every save transaction just before commit, on
    // the saving thread (connections opened later share it); an error it
    // returns aborts the save as a failing disk would.
    using SaveFailureInjector = std::function<std::optional<StoreError>()>;
    void setSaveFailureInjector(SaveFailureInjector injector);

Q_SIGNALS:
    // A save reached the store, just before didSave(): for summaries kept
    // beside the store, which must know of the rows before any context
    // tells its views (a view reads them as soon as its query changes).
    void rowsWritten(const zn::StoreChanges &changes);
    // A context saved. Other contexts merge the changes, then announce
    // their own storeDidChange().
    void didSave(const zn::StoreChanges &changes, zn::ModelContext *origin);
    // A context is about to delete these rows (before its transaction).
    void rowsAboutToBeDeleted(const QString &entityName, const QList<qint64> &rowIds);

private:
    ModelContainer(const Schema &schema, const ModelConfiguration &configuration);
    // rowsWritten(), then didSave().
    void announceSave(const StoreChanges &changes, ModelContext *origin);

    friend class ModelContext;
    Schema m_schema;
    ModelConfiguration m_configuration;
    std::shared_ptr<StoreLock> m_lock;
    std::unique_ptr<SqlStore> m_sql;
    ModelContext *m_mainContext = nullptr;
    SaveFailureInjector m_injector;
};

} // namespace zn
