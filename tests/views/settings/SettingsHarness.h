#pragma once

// The settings window over a real temporary store, a fresh settings file,
// scripted file panels and dialogs, a scripted model and account service.

#include "app/settings/AppSettings.h"
#include "app/shell/ICloudAccountMonitor.h"
#include "app/theme/SystemAppearance.h"
#include "core/InsightQueue.h"
#include "core/JournalEntry.h"
#include "core/JournalQueries.h"
#include "core/StoreFactory.h"
#include "platform/base/Clock.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/UserDefaults.h"
#include "platform/model/ScriptedLanguageModel.h"
#include "platform/panels/FakeFilePanels.h"
#include "reflections/CapabilityDetector.h"
#include "support/TestSupport.h"
#include "views/kit/testing/FakeDialogPresenter.h"
#include "views/settings/SettingsRootView.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <memory>

namespace zn::test {

// Answers account questions when told to, so a test sees each one.
class ScriptedAccounts final : public AccountStatusProvider
{
public:
    void askStatus(const QString &, std::function<void(const Answer &)> answer) override
    {
        pending.push_back(std::move(answer));
    }
    std::vector<std::function<void(const Answer &)>> pending;
};

// Records the entries handed over for reflections, and whether the
// settings alert was already up when each arrived.
class RecordingQueue final : public InsightQueue
{
public:
    void enqueueEntry(const QUuid &id) override
    {
        ids << id;
        alertsAtEnqueue << (dialogs ? int(dialogs->alerts().size()) : 0);
    }
    QList<QUuid> ids;
    QList<int> alertsAtEnqueue;
    FakeDialogPresenter *dialogs = nullptr;
};

struct SettingsHarness
{
    SettingsHarness()
        : defaults(dir.file(QStringLiteral("defaults.ini")))
        , settings(&defaults)
        , capability(&model)
        , monitor(accounts)
    {
        StoreError error;
        auto made = makeStoreContainerIn(dir.file(QStringLiteral("store")), false, &error);
        EXPECT_TRUE(made.has_value()) << error.description().toStdString();
        container = made->container;
        queue.dialogs = &dialogs;
        system.setColorScheme(ColorScheme::Light);
        SettingsServices services;
        services.settings = &settings;
        services.capability = &capability;
        services.insightQueue = &queue;
        services.iCloudMonitor = &monitor;
        services.context = container->mainContext();
        services.panels = &panels;
        services.notificationCenter = &center;
        services.clock = &clock;
        view = std::make_unique<SettingsRootView>(services, &dialogs, &system);
    }

    ModelContext &context() { return *container->mainContext(); }

    JournalEntry *seed(const QString &text)
    {
        auto entry = std::make_unique<JournalEntry>();
        entry->setRawText(text);
        entry->setTimestamp(QDateTime::currentDateTimeUtc().addSecs(-3600 * (1 + seeded++)));
        JournalEntry *inserted = context().insert(std::move(entry));
        EXPECT_FALSE(context().save().has_value());
        return inserted;
    }

    int storedEntries() { return int(fetchAllEntries(context()).size()); }

    QString lastAlert() const { return dialogs.alerts().isEmpty() ? QString() : dialogs.alerts().last().message; }

    void settle()
    {
        for (int i = 0; i < 4; ++i)
            QApplication::processEvents();
    }

    TempDir dir;
    UserDefaults defaults;
    AppSettings settings;
    lm::ScriptedLanguageModel model;
    CapabilityDetector capability;
    std::shared_ptr<ScriptedAccounts> accounts = std::make_shared<ScriptedAccounts>();
    ICloudAccountMonitor monitor;
    std::shared_ptr<ModelContainer> container;
    FakeFilePanels panels;
    FakeDialogPresenter dialogs;
    NotificationCenter center;
    ManualClock clock;
    RecordingQueue queue;
    ManualSystemAppearance system;
    std::unique_ptr<SettingsRootView> view;
    int seeded = 0;
};

} // namespace zn::test
