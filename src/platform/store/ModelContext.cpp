#include "platform/store/ModelContext.h"

#include "platform/store/FieldValues.h"
#include "platform/store/SqlStore.h"

#include <QThread>

#include <algorithm>
#include <utility>

namespace zn {
namespace {

// The store has one connection and no locks: every use is on the thread
// that made the context (the main thread).
#define ZN_ASSERT_OWN_THREAD() Q_ASSERT_X(QThread::currentThread() == thread(), "ModelContext", "used off its thread")

StoreError closedError()
{
    return StoreError(StoreError::Code::Closed, QStringLiteral("The journal store is closed."));
}

StoreError saveFailure(StoreError e)
{
    e.code = StoreError::Code::SaveFailed;
    e.message = QStringLiteral("The journal could not be saved: %1").arg(e.message);
    return e;
}

} // namespace

ModelContext::ModelContext(ModelContainer *container, QObject *parent)
    : QObject(parent)
    , m_container(container)
{
    if (container) {
        connect(container, &ModelContainer::didSave, this, &ModelContext::mergeChanges);
        connect(container, &ModelContainer::rowsAboutToBeDeleted, this, &ModelContext::loadDeferredBeforeDelete);
    }
}

ModelContext::~ModelContext() = default;

PersistentModel *ModelContext::insertModel(std::unique_ptr<PersistentModel> object)
{
    ZN_ASSERT_OWN_THREAD();
    if (!object)
        return nullptr;
    PersistentModel *raw = object.get();
    raw->m_context = this;
    raw->m_inserted = true;
    raw->m_rowId = 0;
    raw->m_deleted = false;
    raw->m_pendingDelete = false;
    raw->m_dirty.clear();
    raw->m_stored.clear();
    m_owned.push_back(std::move(object));
    m_pendingInserts.append(raw);
    return raw;
}

void ModelContext::remove(PersistentModel *object)
{
    ZN_ASSERT_OWN_THREAD();
    if (!object || object->m_context != this || object->isDeleted())
        return;
    if (object->m_inserted) {
        m_pendingInserts.removeOne(object);
        object->markDeleted();
        return;
    }
    object->m_pendingDelete = true;
    m_pendingDeletes.append(object);
}

bool ModelContext::hasChanges() const
{
    if (!m_pendingInserts.isEmpty() || !m_pendingDeletes.isEmpty())
        return true;
    return std::any_of(m_dirtyObjects.begin(), m_dirtyObjects.end(),
                       [](PersistentModel *m) { return m->hasChanges() && !m->m_deleted; });
}

void ModelContext::noteChanged(PersistentModel *object)
{
    m_dirtyObjects.insert(object);
}

std::optional<StoreError> ModelContext::saveHoldingTheStore(const std::function<void()> &change)
{
    ZN_ASSERT_OWN_THREAD();
    if (!m_container || !m_container->m_sql)
        return closedError();
    StoreError err;
    if (!m_container->m_sql->begin(&err))
        return saveFailure(err);
    change();
    return write(true);
}

std::optional<StoreError> ModelContext::save()
{
    return write(false);
}

std::optional<StoreError> ModelContext::write(bool begun)
{
    ZN_ASSERT_OWN_THREAD();
    if (!m_container || !m_container->m_sql)
        return closedError();

    QList<PersistentModel *> updates;
    for (PersistentModel *m : std::as_const(m_dirtyObjects)) {
        if (m->hasChanges() && !m->isDeleted() && m->m_rowId != 0)
            updates.append(m);
    }
    // Write in a stable order so equal runs produce equal files.
    std::sort(updates.begin(), updates.end(), [](auto *a, auto *b) { return a->m_rowId < b->m_rowId; });
    SqlStore &sql = *m_container->m_sql;
    if (m_pendingInserts.isEmpty() && m_pendingDeletes.isEmpty() && updates.isEmpty()) {
        if (begun)
            sql.rollback();
        m_dirtyObjects.clear();
        return std::nullopt;
    }
    if (!m_container->m_configuration.allowsSave) {
        if (begun)
            sql.rollback();
        return StoreError(StoreError::Code::SaveFailed, QStringLiteral("This journal store is read-only."));
    }

    StoreError err;
    auto failed = [&](StoreError e) -> std::optional<StoreError> {
        sql.rollback();
        return saveFailure(std::move(e));
    };

    // A deleted object stays readable everywhere: contexts holding one of
    // these rows without its long texts read them while the row exists.
    for (PersistentModel *m : std::as_const(m_pendingDeletes))
        Q_EMIT m_container->rowsAboutToBeDeleted(m->entity().name, {m->m_rowId});

    if (!begun && !sql.begin(&err))
        return failed(err);

    QList<qint64> insertedIds;
    for (PersistentModel *m : std::as_const(m_pendingInserts)) {
        const auto id = sql.insertRow(m->entity(), m->m_values, &err);
        if (!id)
            return failed(err);
        insertedIds.append(*id);
    }
    QList<PersistentModel *> vanished;
    for (PersistentModel *m : std::as_const(updates)) {
        QList<int> fields = m->m_dirty.values();
        std::sort(fields.begin(), fields.end());
        const auto affected = sql.updateRow(m->entity(), m->m_rowId, fields, m->m_values, &err);
        if (!affected)
            return failed(err);
        if (*affected == 0)
            vanished.append(m);
    }
    for (PersistentModel *m : std::as_const(m_pendingDeletes)) {
        if (!sql.deleteRow(m->entity(), m->m_rowId, &err))
            return failed(err);
    }
    if (m_container->m_injector) {
        if (auto injected = m_container->m_injector())
            return failed(*injected);
    }
    if (!sql.commit(&err))
        return failed(err);
    // Deleted rows are zeroed in the store file; the log still holds their
    // earlier pages until it is emptied. The save stands either way.
    if (!m_pendingDeletes.isEmpty())
        sql.checkpoint(nullptr);

    // Committed: only now do the objects take on their saved state.
    StoreChanges changes;
    for (qsizetype i = 0; i < m_pendingInserts.size(); ++i) {
        PersistentModel *m = m_pendingInserts[i];
        m->m_rowId = insertedIds[i];
        m->markSaved();
        m_live[m->entity().name].insert(m->m_rowId, m);
        changes.inserted[m->entity().name].append(m->m_rowId);
    }
    for (PersistentModel *m : std::as_const(updates)) {
        if (vanished.contains(m)) {
            m_live[m->entity().name].remove(m->m_rowId);
            m->markDeleted();
            continue;
        }
        changes.updatedFields[m->entity().name].unite(m->m_dirty);
        m->markSaved();
        changes.updated[m->entity().name].append(m->m_rowId);
    }
    for (PersistentModel *m : std::as_const(m_pendingDeletes)) {
        m_live[m->entity().name].remove(m->m_rowId);
        changes.deleted[m->entity().name].append(m->m_rowId);
        m->markDeleted();
    }
    m_pendingInserts.clear();
    m_pendingDeletes.clear();
    m_dirtyObjects.clear();

    QPointer<ModelContext> self(this);
    if (!changes.isEmpty())
        m_container->announceSave(changes, this);
    if (self) {
        Q_EMIT didSave();
        Q_EMIT changesApplied(changes);
    }
    if (self)
        Q_EMIT storeDidChange();
    return std::nullopt;
}

void ModelContext::rollback()
{
    ZN_ASSERT_OWN_THREAD();
    const auto inserts = m_pendingInserts;
    const auto deletes = m_pendingDeletes;
    const auto dirty = m_dirtyObjects;
    m_pendingInserts.clear();
    m_pendingDeletes.clear();
    m_dirtyObjects.clear();
    for (PersistentModel *m : inserts)
        m->markDeleted();
    for (PersistentModel *m : deletes)
        m->m_pendingDelete = false;
    for (PersistentModel *m : dirty) {
        if (!m->m_deleted)
            m->revert();
    }
    QPointer<ModelContext> self(this);
    Q_EMIT changesUnknown();
    if (self)
        Q_EMIT storeDidChange();
}

PersistentModel *ModelContext::liveObject(const EntityDescriptor &entity, qint64 rowId) const
{
    const auto table = m_live.constFind(entity.name);
    if (table == m_live.constEnd())
        return nullptr;
    return table->value(rowId, nullptr);
}

PersistentModel *ModelContext::adopt(const EntityDescriptor &entity, qint64 rowId, std::vector<QVariant> values,
                                     bool partial)
{
    return adoptInto(m_live[entity.name], entity, rowId, std::move(values), partial);
}

PersistentModel *ModelContext::adoptInto(QHash<qint64, PersistentModel *> &table, const EntityDescriptor &entity,
                                         qint64 rowId, std::vector<QVariant> values, bool partial)
{
    if (PersistentModel *existing = table.value(rowId, nullptr))
        return existing;
    std::unique_ptr<PersistentModel> object = entity.make();
    PersistentModel *raw = object.get();
    raw->m_context = this;
    raw->m_rowId = rowId;
    raw->adoptStored(std::move(values), partial);
    if (partial) {
        raw->m_partialSlot = m_partialObjects.size();
        m_partialObjects.push_back(raw);
        ++m_partialCount;
    }
    m_owned.push_back(std::move(object));
    table.insert(rowId, raw);
    return raw;
}

QList<PersistentModel *> ModelContext::fetch(const EntityDescriptor &entity, const FetchDescriptor &descriptor,
                                             StoreError *error)
{
    ZN_ASSERT_OWN_THREAD();
    if (!m_container || !m_container->m_sql) {
        if (error)
            *error = closedError();
        return {};
    }
    SqlStore &sql = *m_container->m_sql;
    StoreError err;
    const auto readFailed = [&]() -> QList<PersistentModel *> {
        if (error)
            *error = StoreError(StoreError::Code::FetchFailed,
                                QStringLiteral("The journal could not be read: %1").arg(err.message));
        return {};
    };

    // Pending state of this context that can change the answer.
    QList<PersistentModel *> inserts;
    for (PersistentModel *m : std::as_const(m_pendingInserts)) {
        if (m->entity().name == entity.name)
            inserts.append(m);
    }
    bool overlay = !inserts.isEmpty();
    for (PersistentModel *m : std::as_const(m_pendingDeletes))
        overlay = overlay || m->entity().name == entity.name;
    QList<PersistentModel *> changed;
    for (PersistentModel *m : std::as_const(m_dirtyObjects)) {
        if (m->entity().name == entity.name && m->hasChanges() && !m->isDeleted())
            changed.append(m);
    }
    overlay = overlay || !changed.isEmpty();

    // Long texts wait in the store until read, so the first screenful of
    // a large journal does not wait for all of them.
    const bool lazy = entity.hasDeferredFields();
    // Holding few of the rows (nothing yet, or a first screenful), the rows
    // are read whole in one pass instead of ids first; the objects held
    // stand for their rows.
    const qsizetype held = m_live.value(entity.name).size();
    // The row count is looked up only where a fetch may read every row.
    const qsizetype rows = !overlay && (held == 0 || !descriptor.fetchLimit) ? sql.rowCountBound(entity) : 0;
    if (!overlay && (held == 0 || (!descriptor.fetchLimit && held * 4 < rows))) {
        const qsizetype expected = descriptor.fetchLimit ? std::min<qsizetype>(rows, std::max(0, *descriptor.fetchLimit))
                                                         : rows;
        QList<PersistentModel *> results;
        QHash<qint64, PersistentModel *> &table = m_live[entity.name];
        // Room for every row at once: a large journal's first fetch would
        // otherwise grow each list many times over.
        results.reserve(expected);
        table.reserve(expected);
        m_owned.reserve(m_owned.size() + size_t(expected));
        if (lazy)
            m_partialObjects.reserve(m_partialObjects.size() + size_t(expected));
        const bool ok = sql.selectRows(entity, descriptor, true, [&](qint64 rowId, std::vector<QVariant> values) {
            results.append(adoptInto(table, entity, rowId, std::move(values), lazy));
        }, &err, lazy);
        return ok ? results : readFailed();
    }
    const auto ids = sql.selectRowIds(entity, descriptor, !overlay, &err);
    if (!ids)
        return readFailed();

    // Rows this context has not seen yet are loaded in one pass.
    QList<qint64> missing;
    for (qint64 id : *ids) {
        if (!liveObject(entity, id))
            missing.append(id);
    }
    if (!missing.isEmpty()) {
        bool ok;
        // Many unseen rows: one scan beats many lookups by row id.
        if (missing.size() > 256) {
            ok = sql.selectRows(entity, descriptor, !overlay, [&](qint64 rowId, std::vector<QVariant> values) {
                adopt(entity, rowId, std::move(values), lazy);
            }, &err, lazy);
        } else {
            ok = sql.loadRows(entity, missing, [&](qint64 rowId, std::vector<QVariant> values) {
                adopt(entity, rowId, std::move(values));
            }, &err);
        }
        if (!ok)
            return readFailed();
    }

    QList<PersistentModel *> results;
    results.reserve(ids->size() + inserts.size());
    for (qint64 id : *ids) {
        if (PersistentModel *m = liveObject(entity, id))
            results.append(m);
    }
    if (!overlay)
        return results;

    // Match this context's unsaved view: its edits, inserts and deletes.
    QSet<PersistentModel *> present(results.begin(), results.end());
    results.erase(std::remove_if(results.begin(), results.end(),
                                 [&](PersistentModel *m) {
                                     return m->isDeleted() || (m->hasChanges() && !descriptor.predicate.matches(*m));
                                 }),
                  results.end());
    for (PersistentModel *m : std::as_const(changed)) {
        if (!present.contains(m) && descriptor.predicate.matches(*m))
            results.append(m);
    }
    for (PersistentModel *m : std::as_const(inserts)) {
        if (descriptor.predicate.matches(*m))
            results.append(m);
    }
    std::stable_sort(results.begin(), results.end(), [&](PersistentModel *a, PersistentModel *b) {
        return fetchOrderLess(entity, descriptor.sortBy, a, b);
    });
    if (descriptor.fetchLimit && results.size() > std::max(0, *descriptor.fetchLimit))
        results.resize(std::max(0, *descriptor.fetchLimit));
    return results;
}

PersistentModel *ModelContext::model(const PersistentIdentifier &id, StoreError *error)
{
    if (!m_container || !m_container->m_sql) {
        if (error)
            *error = closedError();
        return nullptr;
    }
    const EntityDescriptor *entity = m_container->m_schema.entity(id.entityName);
    if (!entity || id.rowId == 0)
        return nullptr;
    if (PersistentModel *m = liveObject(*entity, id.rowId))
        return m->isDeleted() ? nullptr : m;
    StoreError err;
    PersistentModel *found = nullptr;
    const bool ok = m_container->m_sql->loadRows(*entity, {id.rowId}, [&](qint64 rowId, std::vector<QVariant> values) {
        found = adopt(*entity, rowId, std::move(values));
    }, &err);
    if (!ok && error)
        *error = err;
    return found;
}

void ModelContext::mergeChanges(const StoreChanges &changes, ModelContext *origin)
{
    if (origin == this || !m_container || !m_container->m_sql)
        return;
    for (auto it = changes.deleted.constBegin(); it != changes.deleted.constEnd(); ++it) {
        auto table = m_live.find(it.key());
        if (table == m_live.end())
            continue;
        for (qint64 rowId : it.value()) {
            PersistentModel *m = table->take(rowId);
            if (!m)
                continue;
            m_pendingDeletes.removeOne(m);
            m_dirtyObjects.remove(m);
            m->markDeleted();
        }
    }
    for (auto it = changes.updated.constBegin(); it != changes.updated.constEnd(); ++it) {
        const EntityDescriptor *entity = m_container->m_schema.entity(it.key());
        const auto table = m_live.constFind(it.key());
        if (!entity || table == m_live.constEnd())
            continue;
        QList<qint64> held;
        for (qint64 rowId : it.value()) {
            if (table->contains(rowId))
                held.append(rowId);
        }
        if (held.isEmpty())
            continue;
        // Only the fields the save wrote are read again, when it says which:
        // a status set over a whole journal reads no text.
        const auto written = changes.updatedFields.constFind(it.key());
        if (written != changes.updatedFields.constEnd() && written->size() < entity->fields.size()) {
            QList<int> fields = written->values();
            std::sort(fields.begin(), fields.end());
            std::vector<std::pair<qint64, std::vector<QVariant>>> rows;
            m_container->m_sql->readFields(*entity, fields, &held, [&](qint64 rowId, const std::vector<QVariant> &values) {
                rows.emplace_back(rowId, values);
            }, nullptr);
            for (const auto &[rowId, values] : rows) {
                if (PersistentModel *m = liveObject(*entity, rowId))
                    m->refreshStoredFields(fields, values);
            }
            continue;
        }
        // Rows are read to the end before any object announces its change:
        // an observer that fetches from the same connection would otherwise
        // restart the statement being read and cut the refresh short.
        std::vector<std::pair<qint64, std::vector<QVariant>>> rows;
        m_container->m_sql->loadRows(*entity, held, [&](qint64 rowId, std::vector<QVariant> values) {
            rows.emplace_back(rowId, std::move(values));
        }, nullptr);
        for (auto &[rowId, values] : rows) {
            if (PersistentModel *m = liveObject(*entity, rowId))
                m->refreshStored(std::move(values));
        }
    }
    // Inserted rows matter to live queries even when no held object changed.
    QPointer<ModelContext> self(this);
    Q_EMIT changesApplied(changes);
    if (self)
        Q_EMIT storeDidChange();
}

void ModelContext::loadDeferred(PersistentModel *object)
{
    if (!object->m_partial || !m_container || !m_container->m_sql)
        return;
    const EntityDescriptor &entity = object->entity();
    // This object and the next partial ones in fetch order: a list shows
    // entries in the order it fetched them.
    // Batches grow as reading goes on: a screenful costs one small read, a
    // search through every text a few large ones.
    const size_t batch = m_deferredBatch;
    m_deferredBatch = std::min<size_t>(m_deferredBatch * 2, 4096);
    QList<qint64> ids{object->m_rowId};
    QHash<qint64, PersistentModel *> byRow{{object->m_rowId, object}};
    const size_t slot = object->m_partialSlot;
    for (size_t i = slot < m_partialObjects.size() ? slot + 1 : m_partialObjects.size();
         i < m_partialObjects.size() && size_t(ids.size()) < batch; ++i) {
        PersistentModel *next = m_partialObjects[i];
        if (next && next->m_partial && &next->entity() == &entity && !byRow.contains(next->m_rowId)) {
            ids.append(next->m_rowId);
            byRow.insert(next->m_rowId, next);
        }
    }
    const QList<int> fields = entity.deferredFields();
    const bool ok = m_container->m_sql->readFields(entity, fields, &ids,
                                                   [&](qint64 rowId, const std::vector<QVariant> &values) {
                                                       if (PersistentModel *m = byRow.value(rowId))
                                                           m->fillDeferred(fields, values);
                                                   }, nullptr);
    for (PersistentModel *m : std::as_const(byRow)) {
        if (!m->m_partial) {
            if (m->m_partialSlot < m_partialObjects.size()) {
                m_partialObjects[m->m_partialSlot] = nullptr;
                m->m_partialSlot = PersistentModel::kNoSlot;
                --m_partialCount;
            }
        } else if (ok) {
            // Read without error but not found: the row is gone; its
            // long fields read as blanks.
            m->settleAsBlank();
        }
    }
    // Forget the read-through prefix now and then.
    if (m_partialCount == 0) {
        m_partialObjects.clear();
    }
}

void ModelContext::loadDeferredBeforeDelete(const QString &entityName, const QList<qint64> &rowIds)
{
    const auto table = m_live.constFind(entityName);
    if (table == m_live.constEnd())
        return;
    for (qint64 rowId : rowIds) {
        PersistentModel *m = table->value(rowId, nullptr);
        if (m && m->m_partial)
            loadDeferred(m);
    }
}

PersistentModel *ModelContext::heldOrLoaded(const EntityDescriptor &entity, qint64 rowId, StoreError *error)
{
    if (PersistentModel *m = liveObject(entity, rowId))
        return m;
    if (!m_container || !m_container->m_sql) {
        if (error)
            *error = closedError();
        return nullptr;
    }
    PersistentModel *found = nullptr;
    StoreError err;
    const bool ok = m_container->m_sql->loadRows(entity, {rowId}, [&](qint64 id, std::vector<QVariant> values) {
        found = adopt(entity, id, std::move(values));
    }, &err);
    if (!ok && error)
        *error = err.message.isEmpty() ? StoreError(StoreError::Code::FetchFailed, QStringLiteral("unknown read error")) : err;
    return found;
}

QList<PersistentModel *> ModelContext::unsavedModels(const EntityDescriptor &entity) const
{
    QList<PersistentModel *> out;
    for (PersistentModel *m : m_pendingInserts) {
        if (m->entity().name == entity.name)
            out.append(m);
    }
    for (PersistentModel *m : m_pendingDeletes) {
        if (m->entity().name == entity.name)
            out.append(m);
    }
    for (PersistentModel *m : m_dirtyObjects) {
        if (m->entity().name == entity.name)
            out.append(m);
    }
    return out;
}

bool ModelContext::fetchOrderLess(const EntityDescriptor &entity, const QList<SortDescriptor> &sortBy,
                                  const PersistentModel *a, const PersistentModel *b) const
{
    for (const SortDescriptor &s : sortBy) {
        if (s.field < 0 || s.field >= entity.fields.size())
            continue;
        int c = compareFieldValues(entity, s.field, a->value(s.field), b->value(s.field));
        if (s.order == SortOrder::Reverse)
            c = -c;
        if (c != 0)
            return c < 0;
    }
    // Unsaved objects come after saved rows, in insertion order, as their
    // row ids will once saved.
    if (a->m_rowId != 0 && b->m_rowId != 0)
        return a->m_rowId < b->m_rowId;
    if (a->m_rowId != 0 || b->m_rowId != 0)
        return a->m_rowId != 0;
    return m_pendingInserts.indexOf(const_cast<PersistentModel *>(a))
           < m_pendingInserts.indexOf(const_cast<PersistentModel *>(b));
}

} // namespace zn
