#include "platform/store/ModelContainer.h"

#include "platform/store/ModelContext.h"
#include "platform/store/SqlStore.h"
#include "platform/store/StoreLock.h"
#include "platform/base/SystemLog.h"

namespace zn {

ModelContainer::ModelContainer(const Schema &schema, const ModelConfiguration &configuration)
    : m_schema(schema)
    , m_configuration(configuration)
{
}

ModelContainer::~ModelContainer()
{
    delete m_mainContext;
    m_mainContext = nullptr;
}

std::shared_ptr<ModelContainer> ModelContainer::open(const Schema &schema, const ModelConfiguration &configuration,
                                                     StoreError *error)
{
    if (configuration.cloudDatabase != CloudDatabase::None) {
        if (error)
            *error = StoreError(StoreError::Code::Unavailable,
                                QStringLiteral("CloudKit mirroring is not available on this system."));
        return nullptr;
    }
    std::shared_ptr<ModelContainer> container(new ModelContainer(schema, configuration));
    if (!configuration.isStoredInMemoryOnly) {
        StoreError lockError;
        container->m_lock = StoreLock::acquire(configuration.folder, configuration.storeFilePath(), &lockError);
        if (!container->m_lock && lockError.code == StoreError::Code::Busy) {
            if (error)
                *error = lockError;
            return nullptr;
        }
    }
    // The store keeps a reference to the container's own copy of the schema.
    // Without a lock file it still opens where it can, or says itself what
    // is wrong with its folder.
    container->m_sql = SqlStore::open(container->m_schema, configuration, error);
    if (!container->m_sql)
        return nullptr;
    if (!container->ownsStore())
        systemLog(QStringLiteral("Zephyrnote: The journal store “%1” is open without its folder’s lock; drafts "
                                 "left by earlier runs stay where they are.")
                      .arg(configuration.storeFilePath()));
    return container;
}

bool ModelContainer::ownsStore() const
{
    return m_configuration.isStoredInMemoryOnly || m_lock != nullptr;
}

ModelContext *ModelContainer::mainContext()
{
    if (!m_mainContext)
        m_mainContext = new ModelContext(this);
    return m_mainContext;
}

bool ModelContainer::readFields(const EntityDescriptor &entity, const QList<int> &fields, const QList<qint64> *rowIds,
                                const FieldSink &sink, StoreError *error)
{
    if (!m_sql) {
        if (error)
            *error = StoreError(StoreError::Code::Closed, QStringLiteral("The journal store is closed."));
        return false;
    }
    return m_sql->readFields(entity, fields, rowIds, sink, error);
}

std::optional<StoreError> ModelContainer::reclaimFreePages()
{
    if (!m_sql)
        return StoreError(StoreError::Code::Closed, QStringLiteral("The journal store is closed."));
    StoreError error;
    if (!m_sql->reclaimFreePages(&error))
        return error;
    return std::nullopt;
}

QHash<QString, int> ModelContainer::salvageRowsFrom(const QString &damagedStorePath)
{
    return m_sql ? m_sql->salvageFrom(damagedStorePath) : QHash<QString, int>();
}

void ModelContainer::setSaveFailureInjector(SaveFailureInjector injector)
{
    m_injector = std::move(injector);
}

} // namespace zn
