#include "platform/store/PersistentModel.h"

#include "platform/store/FieldValues.h"
#include "platform/store/ModelContext.h"

#include <atomic>
#include <bit>

namespace zn {
namespace {

std::atomic<quint64> g_writeCount{0};

void noteWrite()
{
    g_writeCount.fetch_add(1, std::memory_order_relaxed);
}

} // namespace

quint64 PersistentModel::writeCount()
{
    return g_writeCount.load(std::memory_order_relaxed);
}

PersistentModel::PersistentModel(const EntityDescriptor &entity)
    : m_entity(&entity)
    , m_values(size_t(entity.fields.size()))
{
    for (int i = 0; i < entity.fields.size(); ++i)
        m_values[size_t(i)] = store::normalize(entity.fields[i].type, QVariant());
}

PersistentModel::PersistentModel(const EntityDescriptor &entity, Unfilled)
    : m_entity(&entity)
{
    // The row's values arrive whole through adoptStored().
}

PersistentModel::~PersistentModel()
{
    // A new object may take this address; caches keyed by it must notice.
    noteWrite();
}

PersistentIdentifier PersistentModel::persistentModelID() const
{
    return PersistentIdentifier{m_entity->name, m_rowId};
}

ModelContext *PersistentModel::modelContext() const
{
    return m_context.data();
}

const QVariant &PersistentModel::partialValue(int field) const
{
    if (m_entity->fields[field].deferred) {
        completeLoad(); // unpacks
        return m_values[size_t(field)];
    }
    return m_values[placeOf(field)];
}

size_t PersistentModel::placeOf(int field) const
{
    if (!m_packed)
        return size_t(field);
    // The field's place among the fields kept: those before it, less the
    // deferred ones.
    const quint64 before = field == 0 ? 0 : m_deferredMask & (~quint64(0) >> (64 - field));
    return size_t(field - std::popcount(before));
}

void PersistentModel::unpack()
{
    if (!m_packed)
        return;
    std::vector<QVariant> wide(size_t(m_entity->fields.size()));
    size_t kept = 0;
    for (int i = 0; i < m_entity->fields.size(); ++i) {
        if (!m_entity->fields[i].deferred)
            wide[size_t(i)] = std::move(m_values[kept++]);
    }
    m_values = std::move(wide);
    m_packed = false;
}

void PersistentModel::completeLoad() const
{
    // Reading is logically const: the values were in the store all along.
    auto *self = const_cast<PersistentModel *>(this);
    if (ModelContext *context = m_context.data())
        context->loadDeferred(self);
    if (m_partial) {
        // The store could not give them: show blanks, but never take a
        // blank for the stored value when deciding what to save.
        self->settleAsBlank();
        self->m_deferredUnknown = true;
    }
}

void PersistentModel::settleAsBlank()
{
    if (!m_partial)
        return;
    unpack();
    for (int f : m_entity->deferredFields()) {
        m_values[size_t(f)] = store::normalize(m_entity->fields[f].type, QVariant());
        if (!m_stored.empty())
            m_stored[size_t(f)] = m_values[size_t(f)];
    }
    m_partial = false;
}

void PersistentModel::fillDeferred(const QList<int> &fields, const std::vector<QVariant> &values)
{
    if (!m_partial)
        return;
    unpack();
    for (qsizetype i = 0; i < fields.size(); ++i) {
        const size_t f = size_t(fields[i]);
        // The snapshot of stored values, taken when another field was
        // written, holds blanks for these until now.
        if (!m_stored.empty())
            m_stored[f] = values[size_t(i)];
        if (!m_dirty.contains(fields[i]))
            m_values[f] = values[size_t(i)];
    }
    m_partial = false;
}

std::optional<QString> PersistentModel::optionalText(int field) const
{
    const QVariant &v = value(field);
    return v.isValid() ? std::optional<QString>(v.toString()) : std::nullopt;
}

std::optional<double> PersistentModel::optionalReal(int field) const
{
    const QVariant &v = value(field);
    return v.isValid() ? std::optional<double>(v.toDouble()) : std::nullopt;
}

std::optional<QDateTime> PersistentModel::optionalDate(int field) const
{
    const QVariant &v = value(field);
    return v.isValid() ? std::optional<QDateTime>(v.toDateTime()) : std::nullopt;
}

void PersistentModel::setValue(int field, QVariant value)
{
    Q_ASSERT(field >= 0 && field < m_entity->fields.size());
    noteWrite();
    const bool deferred = m_entity->fields[field].deferred;
    if (m_partial && deferred)
        completeLoad();
    unpack();
    const FieldType type = m_entity->fields[field].type;
    // Saved rows track which fields differ from the store, so a save writes
    // only those and leaves other contexts' fields alone.
    if (m_context && m_rowId != 0 && !m_inserted && !m_deleted) {
        if (m_stored.empty())
            m_stored = m_values; // snapshot on the first change only
        m_values[size_t(field)] = store::normalize(type, value);
        if (store::sameValue(type, m_values[size_t(field)], m_stored[size_t(field)]) && !(deferred && m_deferredUnknown))
            m_dirty.remove(field);
        else
            m_dirty.insert(field);
        if (m_dirty.isEmpty())
            m_stored.clear();
        m_context->noteChanged(this);
    } else {
        m_values[size_t(field)] = store::normalize(type, value);
    }
    Q_EMIT fieldChanged(field);
    Q_EMIT changed();
}

void PersistentModel::adoptStored(std::vector<QVariant> values, bool partial)
{
    // No snapshot while the object matches the store: most objects are only
    // ever read.
    m_values = std::move(values);
    m_stored.clear();
    m_dirty.clear();
    m_partial = partial;
    m_packed = false;
    if (partial && packs(*m_entity) && m_values.size() < size_t(m_entity->fields.size())) {
        m_packed = true;
        m_deferredMask = 0;
        for (int i = 0; i < m_entity->fields.size(); ++i) {
            if (m_entity->fields[i].deferred)
                m_deferredMask |= quint64(1) << i;
        }
    }
}

bool PersistentModel::mergeStoredValue(int field, QVariant &value, const QVariant &fresh)
{
    const FieldType type = m_entity->fields[field].type;
    if (m_dirty.contains(field)) {
        // Our unsaved value wins; drop the mark if the store caught up.
        if (store::sameValue(type, value, fresh))
            m_dirty.remove(field);
        return false;
    }
    if (store::sameValue(type, value, fresh))
        return false;
    value = fresh;
    Q_EMIT fieldChanged(field);
    return true;
}

void PersistentModel::finishRefresh(bool anyChange)
{
    if (m_dirty.isEmpty())
        m_stored.clear();
    if (anyChange) {
        noteWrite();
        Q_EMIT changed();
    }
}

void PersistentModel::refreshStoredFields(const QList<int> &fields, const std::vector<QVariant> &values)
{
    bool anyChange = false;
    for (qsizetype k = 0; k < fields.size(); ++k) {
        const int i = fields[k];
        // Nobody has read it: the store gives the new value when asked.
        if (m_entity->fields[i].deferred && m_partial)
            continue;
        const QVariant &fresh = values[size_t(k)];
        if (!m_stored.empty())
            m_stored[size_t(i)] = fresh;
        // A packed object (read only, so nothing unsaved) stays packed.
        anyChange |= mergeStoredValue(i, m_values[placeOf(i)], fresh);
    }
    finishRefresh(anyChange);
}

void PersistentModel::refreshStored(std::vector<QVariant> values)
{
    bool anyChange = false;
    unpack();
    const bool wasPartial = m_partial;
    m_partial = false;
    m_deferredUnknown = false;
    for (size_t i = 0; i < values.size(); ++i) {
        if (wasPartial && m_entity->fields[int(i)].deferred && !m_dirty.contains(int(i))) {
            // Nobody has read the old value: take the new one quietly.
            m_values[i] = values[i];
            continue;
        }
        anyChange |= mergeStoredValue(int(i), m_values[i], values[i]);
    }
    if (!m_dirty.isEmpty())
        m_stored = std::move(values);
    finishRefresh(anyChange);
}

void PersistentModel::markSaved()
{
    m_stored.clear();
    m_dirty.clear();
    m_inserted = false;
}

void PersistentModel::revert()
{
    if (m_dirty.isEmpty())
        return;
    const QSet<int> fields = m_dirty;
    m_dirty.clear();
    noteWrite();
    for (int f : fields) {
        m_values[size_t(f)] = m_stored[size_t(f)];
        Q_EMIT fieldChanged(f);
    }
    m_stored.clear();
    Q_EMIT changed();
}

void PersistentModel::markDeleted()
{
    const bool was = m_deleted;
    noteWrite();
    m_deleted = true;
    m_pendingDelete = false;
    m_inserted = false;
    m_dirty.clear();
    if (!was)
        Q_EMIT deleted();
}

} // namespace zn
