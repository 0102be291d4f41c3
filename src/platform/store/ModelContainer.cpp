#include "platform/store/ModelContainer.h"

#include "platform/store/ModelContext.h"
#include "platform/store/SqlStore.h"
#include "platform/store/StoreLock.h"
#include "platform/base/SystemLog.h"

#include <QPointer>

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

ModelContainer::ConnectionOpener ModelContainer::connectionOpener() const
{
    if (m_configuration.isStoredInMemoryOnly)
        return {};
    // Copies: the opener may run after this container has gone.
    return [schema = m_schema, configuration = m_configuration, injector = m_injector](StoreError *error) {
        std::unique_ptr<ModelContainer> other(new ModelContainer(schema, configuration));
        other->m_sql = SqlStore::openAnother(other->m_schema, configuration, error);
        if (!other->m_sql)
            return std::unique_ptr<ModelContainer>();
        other->m_injector = injector;
        return other;
    };
}

std::optional<StoreChanges> ModelContainer::workOnAnotherConnection(const ConnectionOpener &open,
                                                                    const std::function<void(ModelContainer &)> &work)
{
    const std::unique_ptr<ModelContainer> connection = open ? open(nullptr) : nullptr;
    if (!connection)
        return std::nullopt;
    StoreChanges written;
    QObject::connect(connection.get(), &ModelContainer::didSave,
                     [&written](const StoreChanges &changes, ModelContext *) { written.add(changes); });
    work(*connection);
    return written;
}

void StoreChanges::add(const StoreChanges &later)
{
    using Rows = QHash<QString, QList<qint64>>;
    const std::pair<Rows *, const Rows *> lists[] = {
        {&inserted, &later.inserted}, {&updated, &later.updated}, {&deleted, &later.deleted}};
    for (const auto &[mine, theirs] : lists) {
        for (auto it = theirs->cbegin(); it != theirs->cend(); ++it)
            (*mine)[it.key()] += it.value();
    }
    for (auto it = later.updatedFields.cbegin(); it != later.updatedFields.cend(); ++it)
        updatedFields[it.key()].unite(it.value());
}

void ModelContainer::announceChanges(const StoreChanges &changes)
{
    if (!changes.isEmpty())
        announceSave(changes, nullptr);
}

void ModelContainer::announceSave(const StoreChanges &changes, ModelContext *origin)
{
    QPointer<ModelContainer> self(this);
    Q_EMIT rowsWritten(changes);
    if (self)
        Q_EMIT didSave(changes, origin);
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
