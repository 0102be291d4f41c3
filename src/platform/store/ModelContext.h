#pragma once

#include "platform/store/FetchDescriptor.h"
#include "platform/store/ModelContainer.h"
#include "platform/store/PersistentModel.h"
#include "platform/store/StoreError.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <vector>

namespace zn {

// A scratch pad over a container: one live object per row (identity map),
// pending inserts and deletes, and per-object changed fields. Nothing reaches
// the store or other contexts before save(). Main thread only.
//
// The context owns every object it hands out and keeps it alive until the
// context is destroyed, even after its row is deleted (the object is then
// marked isDeleted()), so pointers held elsewhere never dangle.
//
// Model types used with the templates provide
// `static const EntityDescriptor &entityDescriptor()`.
class ModelContext : public QObject
{
    Q_OBJECT
public:
    explicit ModelContext(ModelContainer *container, QObject *parent = nullptr);
    ~ModelContext() override;

    ModelContainer *container() const { return m_container; }

    // Takes ownership and schedules the object for insertion on save.
    template<class T>
    T *insert(std::unique_ptr<T> object)
    {
        static_assert(std::is_base_of_v<PersistentModel, T>);
        return static_cast<T *>(insertModel(std::unique_ptr<PersistentModel>(object.release())));
    }
    PersistentModel *insertModel(std::unique_ptr<PersistentModel> object);

    // Schedules deletion (or drops a pending insert). Objects of other
    // contexts and null are ignored.
    void remove(PersistentModel *object);

    // Writes pending inserts, changed fields and deletes in one transaction.
    // On failure nothing is written and every pending change stays, so the
    // save can be retried.
    std::optional<StoreError> save();

    // Holds the store for writing, runs `change`, then saves, all in one
    // transaction: what `change` fetches is what the store holds as the
    // save lands, since no other connection can write in between.
    std::optional<StoreError> saveHoldingTheStore(const std::function<void()> &change);

    // Drops unsaved changes: pending inserts become deleted objects, pending
    // deletes are undone, changed fields return to their stored values.
    void rollback();

    bool hasChanges() const;

    // Kept for callers that switch it off; this store never saves on its own.
    bool autosaveEnabled() const { return m_autosave; }
    void setAutosaveEnabled(bool enabled) { m_autosave = enabled; }

    // Saved rows matching the descriptor, plus this context's pending
    // inserts that match, minus its pending deletes; objects changed here
    // are matched on their current values. Empty with `error` set on failure.
    QList<PersistentModel *> fetch(const EntityDescriptor &entity, const FetchDescriptor &descriptor,
                                   StoreError *error = nullptr);

    template<class T>
    QList<T *> fetch(const FetchDescriptor &descriptor = {}, StoreError *error = nullptr)
    {
        QList<T *> out;
        const auto found = fetch(T::entityDescriptor(), descriptor, error);
        out.reserve(found.size());
        for (PersistentModel *m : found)
            out.append(static_cast<T *>(m));
        return out;
    }

    // The live object for a saved row, or null when there is no such row.
    PersistentModel *model(const PersistentIdentifier &id, StoreError *error = nullptr);

    // For live queries. The object this context holds for a row, loading it
    // when not held yet; unlike model() it also returns an object removed
    // here but not saved. Null when the row is gone or on a read error
    // (`error` set then).
    PersistentModel *heldOrLoaded(const EntityDescriptor &entity, qint64 rowId, StoreError *error = nullptr);
    // Objects of the entity whose place in a fetch depends on unsaved state:
    // pending inserts, pending deletes and objects changed here.
    QList<PersistentModel *> unsavedModels(const EntityDescriptor &entity) const;
    // The order fetch() gives: the sort descriptors on current values, then
    // saved rows by row id, then unsaved objects in insertion order.
    bool fetchOrderLess(const EntityDescriptor &entity, const QList<SortDescriptor> &sortBy,
                        const PersistentModel *a, const PersistentModel *b) const;

Q_SIGNALS:
    // After this context saved, merged another context's save, or rolled
    // back.
    void storeDidChange();
    void didSave();
    // Just before storeDidChange(): the rows a save wrote (this context's
    // or another's, already merged here), or, with changesUnknown(), that
    // anything may have changed (a rollback). Live queries update from these.
    void changesApplied(const zn::StoreChanges &changes);
    void changesUnknown();

private:
    friend class PersistentModel;

    // Reads the deferred fields of `object` and of the partial objects
    // fetched after it, in one statement.
    void loadDeferred(PersistentModel *object);
    void loadDeferredBeforeDelete(const QString &entityName, const QList<qint64> &rowIds);

    // save(), inside a transaction already open when `begun`; every way
    // out of it ends the transaction.
    std::optional<StoreError> write(bool begun);
    void mergeChanges(const StoreChanges &changes, ModelContext *origin);
    PersistentModel *adopt(const EntityDescriptor &entity, qint64 rowId, std::vector<QVariant> values,
                           bool partial = false);
    PersistentModel *adoptInto(QHash<qint64, PersistentModel *> &table, const EntityDescriptor &entity, qint64 rowId,
                               std::vector<QVariant> values, bool partial);
    PersistentModel *liveObject(const EntityDescriptor &entity, qint64 rowId) const;
    void noteChanged(PersistentModel *object);

    QPointer<ModelContainer> m_container;
    std::vector<std::unique_ptr<PersistentModel>> m_owned;
    QHash<QString, QHash<qint64, PersistentModel *>> m_live; // entity -> rowId -> object
    QList<PersistentModel *> m_pendingInserts;
    QList<PersistentModel *> m_pendingDeletes;
    QSet<PersistentModel *> m_dirtyObjects;
    // Objects adopted without their deferred fields, in fetch order; read
    // forward from the one first asked for.
    std::vector<PersistentModel *> m_partialObjects;
    size_t m_partialCount = 0; // of m_partialObjects not yet read through
    size_t m_deferredBatch = 64;
    bool m_autosave = false;
};

} // namespace zn
