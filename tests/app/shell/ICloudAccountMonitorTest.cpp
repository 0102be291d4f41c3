// Where the journal lives: the account stand-in and the monitor's change-only
// properties.

#include "app/shell/ICloudAccountMonitor.h"

#include "core/StoreFactory.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace zn {
namespace {

class ScriptedAccounts final : public AccountStatusProvider
{
public:
    void askStatus(const QString &container, std::function<void(const Answer &)> answer) override
    {
        asked << container;
        pending = std::move(answer);
    }
    void reply(Answer a)
    {
        auto done = std::move(pending);
        done(a);
    }
    QStringList asked;
    std::function<void(const Answer &)> pending;
};

TEST(ICloudAccountMonitorTest, StartsUndeterminedLocalAndWithoutANote)
{
    ICloudAccountMonitor monitor;
    EXPECT_EQ(monitor.accountStatus(), CloudAccountStatus::CouldNotDetermine);
    EXPECT_FALSE(monitor.lastError());
    EXPECT_FALSE(monitor.usesCloudKit());
    EXPECT_FALSE(monitor.storeNote());
}

TEST(ICloudAccountMonitorTest, ThisSystemReportsNoAccountAndNoError)
{
    ICloudAccountMonitor monitor;
    monitor.refresh();
    EXPECT_EQ(monitor.accountStatus(), CloudAccountStatus::NoAccount);
    EXPECT_FALSE(monitor.lastError());
}

TEST(ICloudAccountMonitorTest, AFailureIsKeptUntilTheNextAnswerClearsIt)
{
    auto accounts = std::make_shared<ScriptedAccounts>();
    ICloudAccountMonitor monitor(accounts);
    monitor.refresh();
    EXPECT_EQ(accounts->asked, QStringList{QString::fromLatin1(kCloudContainerIdentifier)});
    accounts->reply({CloudAccountStatus::Available, QStringLiteral("The network went away.")});
    EXPECT_EQ(monitor.accountStatus(), CloudAccountStatus::CouldNotDetermine);
    EXPECT_EQ(monitor.lastError(), QStringLiteral("The network went away."));

    monitor.refresh();
    accounts->reply({CloudAccountStatus::Available, std::nullopt});
    EXPECT_EQ(monitor.accountStatus(), CloudAccountStatus::Available);
    EXPECT_FALSE(monitor.lastError());
}

TEST(ICloudAccountMonitorTest, AnAnswerAfterTheMonitorIsGoneIsDropped)
{
    auto accounts = std::make_shared<ScriptedAccounts>();
    {
        ICloudAccountMonitor monitor(accounts);
        monitor.refresh();
    }
    accounts->reply({CloudAccountStatus::NoAccount, std::nullopt}); // no crash
}

TEST(ICloudAccountMonitorTest, SettersNotifyOnlyOnARealChange)
{
    ICloudAccountMonitor monitor;
    QSignalSpy note(&monitor, &ICloudAccountMonitor::storeNoteChanged);
    QSignalSpy cloud(&monitor, &ICloudAccountMonitor::usesCloudKitChanged);
    QSignalSpy error(&monitor, &ICloudAccountMonitor::lastErrorChanged);
    monitor.setStoreNote(QStringLiteral("Local."));
    monitor.setStoreNote(QStringLiteral("Local."));
    monitor.setStoreNote(std::nullopt);
    monitor.setStoreNote(std::nullopt);
    monitor.setUsesCloudKit(false);
    monitor.setLastError(std::nullopt);
    monitor.setLastError(QString()); // an empty text is still a text
    EXPECT_EQ(note.count(), 2);
    EXPECT_EQ(cloud.count(), 0);
    EXPECT_EQ(error.count(), 1);
}

} // namespace
} // namespace zn
