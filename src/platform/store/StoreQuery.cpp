#include "platform/store/StoreQuery.h"

namespace zn {

StoreQuery::StoreQuery(ModelContext *context, const EntityDescriptor &entity, FetchDescriptor descriptor,
                       QObject *parent)
    : QObject(parent)
    , m_context(context)
    , m_entity(&entity)
    , m_descriptor(std::move(descriptor))
{
    if (context) {
        connect(context, &ModelContext::storeDidChange, this, &StoreQuery::refetch);
        // The context owns the result objects; never hand them out after it.
        // m_context already reads null here, so this empties the results.
        connect(context, &QObject::destroyed, this, &StoreQuery::refetch);
    }
    refetch();
}

void StoreQuery::setDescriptor(FetchDescriptor descriptor)
{
    m_descriptor = std::move(descriptor);
    refetch();
}

void StoreQuery::refetch()
{
    if (!m_context) {
        m_results.clear();
        m_error = StoreError(StoreError::Code::Closed, QStringLiteral("The journal store is closed."));
        Q_EMIT resultsChanged();
        return;
    }
    // fetch() fills the error only on failure, always with a message.
    StoreError err;
    m_results = m_context->fetch(*m_entity, m_descriptor, &err);
    m_error = err.message.isEmpty() ? std::nullopt : std::optional<StoreError>(err);
    Q_EMIT resultsChanged();
}

} // namespace zn
