#pragma once

// A journal view on a real store, with a hand-moved clock, a private
// notification centre, recorded dialogs and scripted microphone, recogniser
// and journal files.

#include "views/workspace/window/JournalWorkspaceView.h"

#include "app/theme/ThemeScope.h"
#include "core/CalendarProvider.h"
#include "core/EditorSession.h"
#include "core/InsightQueue.h"
#include "core/JournalEntry.h"
#include "core/JournalQueries.h"
#include "core/StoreFactory.h"
#include "platform/audio/FakeAudioInputEngine.h"
#include "platform/base/Clock.h"
#include "platform/base/NotificationCenter.h"
#include "platform/panels/FakeFilePanels.h"
#include "platform/speech/FakeSpeechPlatform.h"
#include "reflections/CapabilityDetector.h"
#include "support/TestSupport.h"
#include "views/kit/testing/FakeDialogPresenter.h"
#include "voice/VoicePermissions.h"

#include <QApplication>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <memory>

namespace zn::test {

class QueueRecorder final : public InsightQueue
{
public:
    void enqueueEntry(const QUuid &id) override { ids.append(id); }
    QList<QUuid> ids;
};

inline void settle()
{
    for (int i = 0; i < 6; ++i)
        QApplication::processEvents();
}

class WindowHarness
{
public:
    explicit WindowHarness(const ZephyrTheme &theme = {})
        : m_theme(theme)
    {
        StoreError error;
        auto made = makeStoreContainerIn(dir.path(), false, &error);
        if (!made)
            ADD_FAILURE() << error.description().toStdString();
        container = made->container;
        context = container->mainContext();
        clock.setNow(QDateTime(QDate(2026, 3, 12), QTime(18, 30), QTimeZone::utc()));
    }

    ~WindowHarness() { host.reset(); }

    // The view in a window of its own, shown, set up.
    JournalWorkspaceView &make(QSize size = QSize(1180, 780))
    {
        auto engine = std::make_unique<FakeAudioInputEngine>();
        engine->setInputFormat(AudioFormat{SampleFormat::Int16, 16000.0, 1});
        WorkspaceServices services;
        services.context = context;
        services.capability = &capability;
        services.insightCoordinator = &queue;
        services.panels = &panels;
        services.notificationCenter = &center;
        services.clock = &clock;
        services.calendar = &calendar;
        services.voice.audioInput = std::move(engine);
        services.voice.speechPlatform = speech;
        services.voice.permissions = std::make_shared<FakePermissionProvider>();
        services.voice.locale = QLocale(QLocale::English, QLocale::UnitedStates);
        host = std::make_unique<QWidget>();
        new ThemeScope(host.get(), m_theme);
        view = new JournalWorkspaceView(std::move(services), &dialogs, host.get());
        host->resize(size);
        view->resize(size);
        host->show();
        settle();
        return *view;
    }

    WorkspaceViewModel &workspace() { return view->workspace(); }
    std::shared_ptr<speech::FakeSpeechPlatform> speech = std::make_shared<speech::FakeSpeechPlatform>();

    JournalEntry *seed(const QString &text, double score, double hoursAgo)
    {
        auto entry = std::make_unique<JournalEntry>(QUuid::createUuid(),
                                                    clock.now().addSecs(qint64(-hoursAgo * 3600)), text,
                                                    std::nullopt, score, KeywordFrequencies{}, std::nullopt,
                                                    QStringList{}, false);
        JournalEntry *inserted = context->insert(std::move(entry));
        EXPECT_FALSE(context->save().has_value());
        return inserted;
    }

    TempDir dir;
    std::shared_ptr<ModelContainer> container;
    ModelContext *context = nullptr;
    ManualClock clock;
    NotificationCenter center;
    CalendarProvider calendar{QCalendar(), QTimeZone::utc()};
    CapabilityDetector capability;
    QueueRecorder queue;
    FakeFilePanels panels;
    FakeDialogPresenter dialogs;
    std::unique_ptr<QWidget> host;
    JournalWorkspaceView *view = nullptr;

private:
    ZephyrTheme m_theme;
};

} // namespace zn::test
