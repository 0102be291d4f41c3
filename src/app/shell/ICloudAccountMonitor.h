#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace zn {

// The account states a cloud store can report for the journal's container.
enum class CloudAccountStatus { CouldNotDetermine, Available, Restricted, NoAccount, TemporarilyUnavailable };

// Answers where the user's cloud account stands: a status, or an error text.
// `answer` runs exactly once, on the main thread, possibly before
// askStatus() returns.
class AccountStatusProvider
{
public:
    struct Answer
    {
        CloudAccountStatus status = CloudAccountStatus::CouldNotDetermine;
        std::optional<QString> error; // set when the question failed
    };
    virtual ~AccountStatusProvider() = default;
    virtual void askStatus(const QString &containerIdentifier, std::function<void(const Answer &)> answer) = 0;
};

// This system has no cloud account service: there is no account, and that
// is not an error. Asks nothing over any network.
class LocalOnlyAccountStatusProvider final : public AccountStatusProvider
{
public:
    void askStatus(const QString &containerIdentifier, std::function<void(const Answer &)> answer) override;
};

// Where the journal lives, for the settings window: whether the store is
// the cloud-mirrored one, the store's note, and the cloud account's status
// with the error text of the last failed question. Main thread only;
// setters notify only on a real change.
class ICloudAccountMonitor : public QObject
{
    Q_OBJECT
public:
    // `provider` null means the local-only answer.
    explicit ICloudAccountMonitor(std::shared_ptr<AccountStatusProvider> provider = nullptr,
                                  QObject *parent = nullptr);

    CloudAccountStatus accountStatus() const { return m_accountStatus; }
    void setAccountStatus(CloudAccountStatus status);
    std::optional<QString> lastError() const { return m_lastError; }
    void setLastError(const std::optional<QString> &error);
    bool usesCloudKit() const { return m_usesCloudKit; }
    void setUsesCloudKit(bool uses);
    std::optional<QString> storeNote() const { return m_storeNote; }
    void setStoreNote(const std::optional<QString> &note);

    // Asks the provider again; the answer lands in the properties (the last
    // answer to arrive wins). Never fails to the caller.
    void refresh();

Q_SIGNALS:
    void accountStatusChanged();
    void lastErrorChanged();
    void usesCloudKitChanged();
    void storeNoteChanged();

private:
    std::shared_ptr<AccountStatusProvider> m_provider;
    CloudAccountStatus m_accountStatus = CloudAccountStatus::CouldNotDetermine;
    std::optional<QString> m_lastError;
    bool m_usesCloudKit = false;
    std::optional<QString> m_storeNote;
};

} // namespace zn
