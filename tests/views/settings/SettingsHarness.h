#pragma once

// The settings window over a real temporary store, a fresh settings file,
// scripted file panels and dialogs and a scripted model.

#include "app/settings/AppSettings.h"
#include "app/shell/CloudSyncStatus.h"
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
    {
        StoreError error;
        auto made = makeStoreContainerIn(dir.file(QStringLiteral("store")), &error);
        EXPECT_TRUE(made.has_value()) << error.description().toStdString();
        container = made->container;
        queue.dialogs = &dialogs;
        system.setColorScheme(ColorScheme::Light);
        SettingsServices services;
        services.settings = &settings;
        services.capability = &capability;
        services.insightQueue = &queue;
        services.cloudSync = &cloudSync;
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
    CloudSyncStatus cloudSync;
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
