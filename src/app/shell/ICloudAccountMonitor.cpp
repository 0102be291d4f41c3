#include "app/shell/ICloudAccountMonitor.h"

#include "core/StoreFactory.h"

#include <QPointer>

namespace zn {

void LocalOnlyAccountStatusProvider::askStatus(const QString &, std::function<void(const Answer &)> answer)
{
    answer(Answer{CloudAccountStatus::NoAccount, std::nullopt});
}

ICloudAccountMonitor::ICloudAccountMonitor(std::shared_ptr<AccountStatusProvider> provider, QObject *parent)
    : QObject(parent)
    , m_provider(provider ? std::move(provider) : std::make_shared<LocalOnlyAccountStatusProvider>())
{
}

void ICloudAccountMonitor::setAccountStatus(CloudAccountStatus status)
{
    if (m_accountStatus == status)
        return;
    m_accountStatus = status;
    Q_EMIT accountStatusChanged();
}

void ICloudAccountMonitor::setLastError(const std::optional<QString> &error)
{
    if (m_lastError == error)
        return;
    m_lastError = error;
    Q_EMIT lastErrorChanged();
}

void ICloudAccountMonitor::setUsesCloudKit(bool uses)
{
    if (m_usesCloudKit == uses)
        return;
    m_usesCloudKit = uses;
    Q_EMIT usesCloudKitChanged();
}

void ICloudAccountMonitor::setStoreNote(const std::optional<QString> &note)
{
    if (m_storeNote == note)
        return;
    m_storeNote = note;
    Q_EMIT storeNoteChanged();
}

void ICloudAccountMonitor::refresh()
{
    QPointer<ICloudAccountMonitor> self(this);
    m_provider->askStatus(QString::fromLatin1(kCloudContainerIdentifier), [self](const AccountStatusProvider::Answer &a) {
        if (!self)
            return;
        if (a.error) {
            self->setAccountStatus(CloudAccountStatus::CouldNotDetermine);
            self->setLastError(a.error);
        } else {
            self->setAccountStatus(a.status);
            self->setLastError(std::nullopt);
        }
    });
}

} // namespace zn
