#pragma once

// The dictation screen over a recording session on scripted parts (fake
// microphone, recogniser and permissions, a hand-moved clock) and a real
// store in a temporary folder, so every phase is reached in milliseconds.

#include "app/theme/SystemAppearance.h"
#include "app/theme/ThemeScope.h"
#include "core/JournalEntry.h"
#include "core/JournalQueries.h"
#include "core/StoreFactory.h"
#include "platform/audio/FakeAudioInputEngine.h"
#include "platform/base/Clock.h"
#include "platform/base/NotificationCenter.h"
#include "platform/speech/FakeSpeechPlatform.h"
#include "platform/store/ModelContext.h"
#include "support/TestSupport.h"
#include "views/kit/testing/FakeDialogPresenter.h"
#include "views/voice/VoiceModeView.h"
#include "views/workspace/state/ShortcutRouter.h"
#include "voice/AudioCaptureService.h"
#include "voice/ScriptedVoiceServices.h"
#include "voice/VoicePermissions.h"
#include "voice/VoiceRecordingSession.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace zn {

inline void PrintTo(VoicePhase phase, std::ostream *os)
{
    *os << rawValue(phase).toStdString();
}

namespace test {

using namespace std::chrono_literals;

inline void drain()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

inline AudioBuffer loudBuffer()
{
    static const AudioFormat format{SampleFormat::Int16, 16000.0, 1};
    std::vector<std::int16_t> samples(1024);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = std::int16_t(i % 2 ? 20000 : -20000);
    return AudioBuffer::fromInterleaved(format, samples.data(), std::uint32_t(samples.size()));
}

class VoiceScreenHarness
{
public:
    explicit VoiceScreenHarness(const ZephyrTheme &theme = {}, bool withRouter = true)
    {
        StoreError error;
        auto made = makeStoreContainerIn(dir.path(), &error);
        EXPECT_TRUE(made.has_value()) << error.description().toStdString();
        container = made->container;

        VoiceSessionServices services = scriptedVoiceServices(platform, permissions, &m_engine);
        services.clock = &clock;
        services.notificationCenter = &center;
        services.locale = QLocale(QLocale::English, QLocale::UnitedStates);
        session = std::make_unique<VoiceRecordingSession>(std::move(services));

        window = std::make_unique<QWidget>();
        window->resize(1000, 700);
        scope = new ThemeScope(window.get(), theme, &appearance);
        if (withRouter) {
            router = std::make_unique<ShortcutRouter>();
            router->registerMenuKey(QKeySequence(Qt::CTRL | Qt::Key_R));
            router->registerMenuKey(QKeySequence(Qt::CTRL | Qt::Key_S));
        }
        VoiceModeCallbacks callbacks;
        callbacks.onWriteInstead = [this] { ++writeInsteadCalls; };
        callbacks.onSavedEntry = [this](const QUuid &id) { savedIds.append(id); };
        VoiceModeEnvironment environment;
        environment.modelContext = container->mainContext();
        environment.shortcuts = router.get();
        environment.dialogs = &dialogs;
        environment.openMicrophoneSettings = [this] { ++settingsOpened; };
        view = new VoiceModeView(*session, callbacks, environment, window.get());
        view->setGeometry(0, 0, 1000, 700);
    }

    ~VoiceScreenHarness()
    {
        window.reset(); // the screen goes before its session
    }

    void show()
    {
        window->show();
        drain();
    }

    FakeAudioInputEngine &engine() { return *m_engine; }
    VoicePhase phase() const { return session->phase(); }

    bool waitForPhase(VoicePhase phase, std::chrono::milliseconds timeout = 3000ms)
    {
        return waitUntil([&] { return session->phase() == phase; }, timeout);
    }

    bool startRecording()
    {
        view->trigger(VoiceControlAction::Start);
        return waitForPhase(VoicePhase::recording);
    }

    void hear(const QString &text, bool isFinal = false)
    {
        ASSERT_NE(platform->lastAnalyzer(), nullptr);
        platform->lastAnalyzer()->emitResult(text, isFinal);
        drain();
    }

    // Records `text` and stops into review.
    bool dictate(const QString &text)
    {
        if (!startRecording())
            return false;
        hear(text);
        clock.advance(3s);
        view->trigger(VoiceControlAction::Stop);
        return waitForPhase(VoicePhase::reviewing);
    }

    QList<JournalEntry *> storedEntries()
    {
        readers.push_back(std::make_unique<ModelContext>(container.get()));
        return fetchAllEntries(*readers.back());
    }

    TempDir dir;
    std::shared_ptr<ModelContainer> container;
    std::vector<std::unique_ptr<ModelContext>> readers;
    ManualClock clock;
    NotificationCenter center;
    std::shared_ptr<speech::FakeSpeechPlatform> platform = std::make_shared<speech::FakeSpeechPlatform>();
    std::shared_ptr<FakePermissionProvider> permissions = std::make_shared<FakePermissionProvider>();
    std::unique_ptr<VoiceRecordingSession> session;
    ManualSystemAppearance appearance;
    FakeDialogPresenter dialogs;
    std::unique_ptr<ShortcutRouter> router;
    std::unique_ptr<QWidget> window;
    ThemeScope *scope = nullptr;
    VoiceModeView *view = nullptr;

    int writeInsteadCalls = 0;
    int settingsOpened = 0;
    QList<QUuid> savedIds;

private:
    FakeAudioInputEngine *m_engine = nullptr;
};

} // namespace test
} // namespace zn
