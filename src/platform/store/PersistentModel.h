#pragma once

#include "platform/store/Schema.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QHashFunctions>
#include <QSet>
#include <QVariant>

#include <optional>
#include <vector>

namespace zn {

class ModelContext;

// Identity of a saved row: its entity and its row id. A model that was never
// saved has row id 0.
struct PersistentIdentifier
{
    QString entityName;
    qint64 rowId = 0;

    bool isTemporary() const { return rowId == 0; }
    friend bool operator==(const PersistentIdentifier &, const PersistentIdentifier &) = default;
};

// For in-memory hash tables only; never store it.
inline size_t qHash(const PersistentIdentifier &id, size_t seed = 0)
{
    return qHashMulti(seed, id.entityName, id.rowId);
}

// Base of every stored model. Holds the field values in declared order, the
// last values known to be in the store, and which fields this object changed
// since. Main thread only, like the context that owns it.
//
// Every write notifies through changed(), even when the value is the same;
// only fields whose value really differs from the stored one are written on
// save, so two contexts editing different fields of one row both win.
class PersistentModel : public QObject
{
    Q_OBJECT
public:
    explicit PersistentModel(const EntityDescriptor &entity);
    ~PersistentModel() override;

    const EntityDescriptor &entity() const { return *m_entity; }
    PersistentIdentifier persistentModelID() const;
    qint64 rowId() const { return m_rowId; }

    // The context that owns this object; null before insertion.
    ModelContext *modelContext() const;

    // True once removed (pending or saved) or when another context deleted
    // the row. A deleted object stays valid to read; saving skips it.
    bool isDeleted() const { return m_deleted || m_pendingDelete; }

    // Deferred fields not read from the store yet (see FieldDescriptor).
    bool hasUnreadFields() const { return m_partial; }

    // Unsaved field changes of this object.
    bool hasChanges() const { return !m_dirty.isEmpty(); }
    bool hasUnsavedChange(int field) const { return m_dirty.contains(field); }
    // Not yet saved: inserted into a context (or into none) without a row.
    bool isUnsaved() const { return m_rowId == 0; }

    // Counts every write, refresh, revert, deletion and destruction of any
    // stored model in the process. Unchanged between two calls means no
    // model value anywhere changed, which lets a cache of results computed
    // from models stand without watching each one.
    static quint64 writeCount();

    const QVariant &value(int field) const
    {
        Q_ASSERT(field >= 0 && field < m_entity->fields.size());
        if (m_partial)
            return partialValue(field);
        return m_values[size_t(field)];
    }

    // Whether a row read without its deferred fields can be held packed:
    // only the other fields, in declared order (see adoptStored()).
    static bool packs(const EntityDescriptor &entity) { return entity.fields.size() <= 64; }

Q_SIGNALS:
    // Emitted on every write of any field, and when a refresh from the
    // store changed a value.
    void changed();
    void fieldChanged(int field);
    // The object was deleted (here or by another context).
    void deleted();

protected:
    // For objects about to be filled from a stored row: skips the defaults.
    struct Unfilled {};
    PersistentModel(const EntityDescriptor &entity, Unfilled);

    void setValue(int field, QVariant value);

    // Optional fields: an absent value reads and writes as std::nullopt.
    std::optional<QString> optionalText(int field) const;
    std::optional<double> optionalReal(int field) const;
    std::optional<QDateTime> optionalDate(int field) const; // a UTC instant
    template<class T>
    void setOptional(int field, const std::optional<T> &value)
    {
        setValue(field, value ? QVariant::fromValue(*value) : QVariant());
    }

private:
    friend class ModelContext;
    friend class SqlStore;

    // Fresh from a fetch. A partial row comes packed when packs() allows.
    void adoptStored(std::vector<QVariant> values, bool partial = false);
    const QVariant &partialValue(int field) const;
    // Where a field that is not deferred sits in m_values.
    size_t placeOf(int field) const;
    // A packed row spread out to every field's place, the deferred ones
    // holding nothing until read; done before anything but a read.
    void unpack();
    void completeLoad() const;
    // Deferred fields the store has no value for: each takes its type's
    // blank value and the object counts as whole.
    void settleAsBlank();
    void fillDeferred(const QList<int> &fields, const std::vector<QVariant> &values);
    void refreshStored(std::vector<QVariant> values); // merge another context's save
    // The same for a save that wrote only `fields` (ascending), whose values
    // come in that order; an unread deferred field stays unread.
    void refreshStoredFields(const QList<int> &fields, const std::vector<QVariant> &values);
    // One field of such a save into `value` (its place in m_values): an
    // unsaved value wins, else the stored one is taken; whether it was.
    bool mergeStoredValue(int field, QVariant &value, const QVariant &fresh);
    // Drops the snapshot once nothing is unsaved; announces a change.
    void finishRefresh(bool anyChange);
    void markSaved();
    void revert();
    void markDeleted();

    const EntityDescriptor *m_entity;
    std::vector<QVariant> m_values;
    std::vector<QVariant> m_stored; // values in the store while m_dirty is not empty
    QSet<int> m_dirty;
    QPointer<ModelContext> m_context;
    qint64 m_rowId = 0;
    bool m_inserted = false;
    bool m_deleted = false;
    bool m_pendingDelete = false;
    // Deferred fields not read yet (they hold nothing meanwhile: every read
    // or write of one loads them first).
    bool m_partial = false;
    // While packed, m_values holds the fields outside this mask in order;
    // a list of thousands of rows then keeps half the values.
    bool m_packed = false;
    quint64 m_deferredMask = 0;
    // Place in the owning context's list of partial objects, if any.
    static constexpr size_t kNoSlot = size_t(-1);
    size_t m_partialSlot = kNoSlot;
    // Reading them failed: a write to one of them is always saved.
    bool m_deferredUnknown = false;
};

} // namespace zn
