#pragma once

// The application on a private store, user defaults and notification
// centre, with a scripted language model, fake file panels and a fake
// microphone and recogniser.

#include "app/settings/AppSettings.h"
#include "app/shell/MainWindow.h"
#include "app/shell/RootView.h"
#include "app/shell/ZephyrnoteApp.h"
#include "core/JournalEntry.h"
#include "core/StoreFactory.h"
#include "platform/audio/FakeAudioInputEngine.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/UserDefaults.h"
#include "platform/model/ScriptedLanguageModel.h"
#include "platform/panels/FakeFilePanels.h"
#include "platform/speech/FakeSpeechPlatform.h"
#include "support/TestSupport.h"
#include "voice/ScriptedVoiceServices.h"
#include "voice/VoicePermissions.h"
#include "voice/VoiceRecordingSession.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <memory>

namespace zn::test {

inline void settleEvents()
{
    for (int i = 0; i < 6; ++i)
        QApplication::processEvents();
}

class AppHarness
{
public:
    AppHarness() : defaults(dir.file(QStringLiteral("defaults.ini"))) {}

    AppEnvironment environment()
    {
        AppEnvironment env;
        env.defaults = &defaults;
        const QString folder = dir.file(QStringLiteral("store"));
        env.makeContainer = [folder](StoreError *error) { return makeModelContainerIn(folder, error); };
        env.languageModel = &model;
        env.notificationCenter = &center;
        env.panels = &panels;
        env.voiceServices = [] { return scriptedVoiceServices(); };
        env.trace = [this](const QString &name) { made << name; };
        return env;
    }

    ZephyrnoteApp &start()
    {
        QString failure;
        app = ZephyrnoteApp::create(environment(), &failure);
        if (!app)
            ADD_FAILURE() << failure.toStdString();
        return *app;
    }

    void completeOnboarding() { defaults.setValue(QString::fromLatin1(AppSettings::kOnboardingCompletedKey), true); }

    TempDir dir;
    UserDefaults defaults;
    lm::ScriptedLanguageModel model;
    NotificationCenter center;
    FakeFilePanels panels;
    QStringList made;
    std::unique_ptr<ZephyrnoteApp> app;
};

} // namespace zn::test
