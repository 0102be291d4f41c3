#include "platform/store/StoreQuery.h"

#include <algorithm>

namespace zn {
namespace {

// Beyond this many written rows one fetch is cheaper than placing each row
// (an import saves thousands at once).
constexpr qsizetype kMaxIncrementalRows = 256;

QList<StoreQuery *> &registry()
{
    // Never destroyed: a query held by another static may outlive any.
    static auto *queries = new QList<StoreQuery *>;
    return *queries;
}

} // namespace

StoreQuery::StoreQuery(ModelContext *context, const EntityDescriptor &entity, FetchDescriptor descriptor,
                       QObject *parent)
    : StoreQuery(context, entity, std::move(descriptor), 0, parent)
{
}

StoreQuery::StoreQuery(ModelContext *context, const EntityDescriptor &entity, FetchDescriptor descriptor,
                       int firstRows, QObject *parent)
    : QObject(parent)
    , m_context(context)
    , m_entity(&entity)
    , m_descriptor(std::move(descriptor))
    , m_firstRows(firstRows)
{
    if (context) {
        connect(context, &ModelContext::changesApplied, this, &StoreQuery::applyChanges);
        connect(context, &ModelContext::changesUnknown, this, &StoreQuery::refetch);
        // The context owns the result objects; never hand them out after it.
        // m_context already reads null here, so this empties the results.
        connect(context, &QObject::destroyed, this, &StoreQuery::refetch);
    }
    registry().append(this);
    refetch();
}

StoreQuery::~StoreQuery()
{
    registry().removeOne(this);
}

const QList<StoreQuery *> &StoreQuery::liveQueries()
{
    return registry();
}

void StoreQuery::setDescriptor(FetchDescriptor descriptor)
{
    m_descriptor = std::move(descriptor);
    refetch();
}

void StoreQuery::complete()
{
    if (!m_complete)
        refetch();
}

void StoreQuery::refetch()
{
    ++m_refetchCount;
    Q_EMIT resultsAboutToBeReset();
    m_unsettled.clear();
    // Only the first fetch may stop at the first rows, and only of an
    // ordered, unlimited descriptor (the first rows of anything else mean
    // nothing to a view).
    FetchDescriptor descriptor = m_descriptor;
    const bool firstOnly = m_firstRows > 0 && !descriptor.fetchLimit && !descriptor.sortBy.isEmpty();
    if (firstOnly)
        descriptor.fetchLimit = m_firstRows;
    m_firstRows = 0;
    m_complete = !firstOnly;
    if (!m_context) {
        m_results.clear();
        m_complete = true;
        m_error = StoreError(StoreError::Code::Closed, QStringLiteral("The journal store is closed."));
    } else {
        // fetch() fills the error only on failure, always with a message.
        StoreError err;
        m_results = m_context->fetch(*m_entity, descriptor, &err);
        m_error = err.message.isEmpty() ? std::nullopt : std::optional<StoreError>(err);
        noteUnsaved();
    }
    Q_EMIT resultsReset();
    Q_EMIT resultsChanged();
}

void StoreQuery::noteUnsaved()
{
    m_unsettled = m_context ? m_context->unsavedModels(*m_entity) : QList<PersistentModel *>();
}

void StoreQuery::applyChanges(const StoreChanges &changes)
{
    // A limit can pull in a row that no change names; a failed or closed
    // query has nothing to build on, nor one still holding its first rows
    // only.
    if (!m_context || m_error || m_descriptor.fetchLimit || !m_complete) {
        refetch();
        return;
    }
    const QString &name = m_entity->name;
    const QList<qint64> deleted = changes.deleted.value(name);
    QList<qint64> written = changes.inserted.value(name);
    written += changes.updated.value(name);
    if (written.size() + deleted.size() > kMaxIncrementalRows) {
        refetch();
        return;
    }

    QList<PersistentModel *> candidates;
    QSet<PersistentModel *> seen;
    QSet<PersistentModel *> writtenObjects;
    const auto consider = [&](PersistentModel *m) {
        if (m && !seen.contains(m)) {
            seen.insert(m);
            candidates.append(m);
        }
    };
    if (!deleted.isEmpty()) {
        const QSet<qint64> gone(deleted.cbegin(), deleted.cend());
        for (PersistentModel *m : std::as_const(m_results)) {
            if (m->rowId() != 0 && gone.contains(m->rowId()))
                consider(m);
        }
    }
    for (qint64 rowId : std::as_const(written)) {
        StoreError err;
        PersistentModel *m = m_context->heldOrLoaded(*m_entity, rowId, &err);
        if (!m && !err.message.isEmpty()) {
            refetch();
            return;
        }
        if (m) {
            writtenObjects.insert(m);
            consider(m);
        }
    }
    for (PersistentModel *m : std::as_const(m_unsettled))
        consider(m);
    for (PersistentModel *m : m_context->unsavedModels(*m_entity))
        consider(m);

    // Binary search needs the rest of the results in order, so objects
    // already in them are dealt with before any other is placed. One such
    // object (a single saved edit) is re-placed, or kept with rowChanged();
    // several leave together first, since each may now be out of place.
    QList<PersistentModel *> present;
    QList<PersistentModel *> absent;
    for (PersistentModel *m : std::as_const(candidates))
        (m_results.contains(m) ? present : absent).append(m);
    if (present.size() == 1) {
        recheck(present.first(), writtenObjects.contains(present.first()));
    } else if (present.size() > 1) {
        std::sort(present.begin(), present.end(), [this](PersistentModel *a, PersistentModel *b) {
            return m_results.indexOf(a) > m_results.indexOf(b);
        });
        for (PersistentModel *m : std::as_const(present)) {
            const int index = int(m_results.indexOf(m));
            if (index < 0)
                continue; // an observer already changed the results
            Q_EMIT rowAboutToBeRemoved(index);
            m_results.removeAt(index);
            Q_EMIT rowRemoved(index);
            absent.append(m);
        }
    }
    for (PersistentModel *m : std::as_const(absent)) {
        if (!m_context)
            return; // an observer closed the store; refetch() already ran
        recheck(m, writtenObjects.contains(m));
    }
    noteUnsaved();
    Q_EMIT resultsChanged();
}

void StoreQuery::recheck(PersistentModel *object, bool written)
{
    const int old = int(m_results.indexOf(object));
    const bool wanted = !object->isDeleted() && m_descriptor.predicate.matches(*object);
    if (old >= 0 && wanted) {
        const int place = placeFor(object, old);
        if (place == old) {
            if (written)
                Q_EMIT rowChanged(old);
            return;
        }
    }
    if (old >= 0) {
        const int place = wanted ? placeFor(object, old) : -1;
        Q_EMIT rowAboutToBeRemoved(old);
        m_results.removeAt(old);
        Q_EMIT rowRemoved(old);
        if (place < 0)
            return;
        Q_EMIT rowAboutToBeInserted(place);
        m_results.insert(place, object);
        Q_EMIT rowInserted(place);
        return;
    }
    if (wanted) {
        const int place = placeFor(object, -1);
        Q_EMIT rowAboutToBeInserted(place);
        m_results.insert(place, object);
        Q_EMIT rowInserted(place);
    }
}

// Where `object` belongs among the results without the one at `skipIndex`
// (-1 for none): the results stay sorted by the context's fetch order, a
// strict order, so a binary search finds the one place.
int StoreQuery::placeFor(const PersistentModel *object, int skipIndex) const
{
    int lo = 0;
    int hi = int(m_results.size()) - (skipIndex >= 0 ? 1 : 0);
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        const int index = skipIndex >= 0 && mid >= skipIndex ? mid + 1 : mid;
        if (m_context->fetchOrderLess(*m_entity, m_descriptor.sortBy, m_results[index], object))
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

} // namespace zn
