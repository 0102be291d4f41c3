#pragma once

#include "platform/store/FetchDescriptor.h"
#include "platform/store/ModelContext.h"
#include "platform/store/StoreError.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>

#include <optional>
#include <vector>

namespace zn {

// A live fetch for views: holds the results of a descriptor on one context
// and keeps them equal to what fetch() would give. After a save (this
// context's or another's) it re-checks only the rows the save wrote, plus
// the objects with unsaved changes here, against the predicate and sort;
// it fetches everything again only when it cannot know what changed (a
// rollback) or the descriptor has a fetch limit. Main thread only.
//
// Observers that show one row per result can follow the row signals, each
// pair around a single change of results(); resultsChanged() comes once
// after every update, whatever its kind.
class StoreQuery : public QObject
{
    Q_OBJECT
public:
    StoreQuery(ModelContext *context, const EntityDescriptor &entity, FetchDescriptor descriptor,
               QObject *parent = nullptr);
    // Starts with only the first `firstRows` results of an ordered
    // descriptor, so a view can show its first screenful without waiting
    // for the rest of a large table; complete() brings in the rest, as does
    // any save or any other fetch.
    StoreQuery(ModelContext *context, const EntityDescriptor &entity, FetchDescriptor descriptor, int firstRows,
               QObject *parent = nullptr);
    ~StoreQuery() override;

    // Every live query that exists, oldest first. Lets code that is handed
    // a list recognise it as a query's current results and trust what the
    // query guarantees about it.
    static const QList<StoreQuery *> &liveQueries();

    ModelContext *context() const { return m_context.data(); }
    const EntityDescriptor &entity() const { return *m_entity; }

    template<class T>
    static StoreQuery *create(ModelContext *context, FetchDescriptor descriptor = {}, QObject *parent = nullptr)
    {
        return new StoreQuery(context, T::entityDescriptor(), std::move(descriptor), parent);
    }

    const QList<PersistentModel *> &results() const { return m_results; }

    template<class T>
    QList<T *> resultsAs() const
    {
        QList<T *> out;
        out.reserve(m_results.size());
        for (PersistentModel *m : m_results)
            out.append(static_cast<T *>(m));
        return out;
    }

    // The error of the last fetch, if it failed (results are then empty).
    std::optional<StoreError> lastError() const { return m_error; }

    void setDescriptor(FetchDescriptor descriptor);
    const FetchDescriptor &descriptor() const { return m_descriptor; }

    // Fetches everything now; normally called for you.
    void refetch();

    // Whether results() holds every result, not only the first rows.
    bool isComplete() const { return m_complete; }
    // Fetches the rest if results() holds only the first rows.
    void complete();

    // How many updates were full fetches (tests and benchmarks tell the two
    // kinds of update apart with it).
    int refetchCount() const { return m_refetchCount; }

Q_SIGNALS:
    void resultsChanged();

    // The object at `index` is about to leave results() / has left it.
    void rowAboutToBeRemoved(int index);
    void rowRemoved(int index);
    // An object is about to enter results() at `index` / has entered it.
    void rowAboutToBeInserted(int index);
    void rowInserted(int index);
    // The object at `index` was written and kept its place.
    void rowChanged(int index);
    // Around a full fetch: anything may have changed.
    void resultsAboutToBeReset();
    void resultsReset();

private:
    void applyChanges(const StoreChanges &changes);
    void recheck(PersistentModel *object, bool written);
    int placeFor(const PersistentModel *object, int skipIndex) const;
    void noteUnsaved();

    QPointer<ModelContext> m_context;
    const EntityDescriptor *m_entity;
    FetchDescriptor m_descriptor;
    QList<PersistentModel *> m_results;
    // Objects whose place in the last results rested on unsaved state.
    QList<PersistentModel *> m_unsettled;
    std::optional<StoreError> m_error;
    int m_refetchCount = 0;
    int m_firstRows = 0; // for the first fetch only
    bool m_complete = true;
};

} // namespace zn
