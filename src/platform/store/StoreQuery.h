#pragma once

#include "platform/store/FetchDescriptor.h"
#include "platform/store/ModelContext.h"
#include "platform/store/StoreError.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <optional>

namespace zn {

// A live fetch for views: holds the results of a descriptor on one context
// and refetches whenever that context saves, merges another context's save
// or rolls back, then emits resultsChanged(). Main thread only.
class StoreQuery : public QObject
{
    Q_OBJECT
public:
    StoreQuery(ModelContext *context, const EntityDescriptor &entity, FetchDescriptor descriptor,
               QObject *parent = nullptr);

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

    // Fetches now; normally called for you.
    void refetch();

Q_SIGNALS:
    void resultsChanged();

private:
    QPointer<ModelContext> m_context;
    const EntityDescriptor *m_entity;
    FetchDescriptor m_descriptor;
    QList<PersistentModel *> m_results;
    std::optional<StoreError> m_error;
};

} // namespace zn
