#include "app/shell/ZephyrnoteApp.h"

#include "app/settings/AppSettings.h"
#include "app/settings/PrivateSettingsFiles.h"
#include "app/theme/ApplicationPalette.h"
#include "app/shell/CloudSyncStatus.h"
#include "app/shell/MainWindow.h"
#include "app/shell/QuitController.h"
#include "app/shell/RootView.h"
#include "app/shell/SoftwareUpdater.h"
#include "app/shell/ZephyrnoteCommands.h"
#include "core/UnsavedTextFile.h"
#include "platform/base/SystemLog.h"
#include "platform/base/UserDefaults.h"
#include "platform/model/LocalServerLanguageModel.h"
#include "reflections/CapabilityDetector.h"
#include "reflections/InsightCoordinator.h"
#include "views/kit/QtDialogPresenter.h"
#include "views/kit/QtFilePanel.h"
#include "views/onboarding/OnboardingView.h"
#include "views/settings/SettingsRootView.h"
#include "views/workspace/window/JournalWorkspaceView.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>

namespace zn {

ZephyrnoteApp::ZephyrnoteApp(AppEnvironment environment)
    : m_environment(std::move(environment))
{
}

ZephyrnoteApp::~ZephyrnoteApp()
{
    // Windows read the objects below; they go first.
    delete m_settingsWindow;
    delete m_mainWindow;
}

std::unique_ptr<ZephyrnoteApp> ZephyrnoteApp::create(AppEnvironment environment, QString *failure)
{
    std::unique_ptr<ZephyrnoteApp> app(new ZephyrnoteApp(std::move(environment)));
    AppEnvironment &env = app->m_environment;
    const auto trace = [&env](const char *name) {
        if (env.trace)
            env.trace(QString::fromLatin1(name));
    };
    if (!env.defaults) {
        env.defaults = &UserDefaults::standard();
        keepSettingsFilesPrivate(env.defaults->fileName());
    }
    if (!env.languageModel) {
        app->m_ownedModel = std::make_unique<lm::LocalServerLanguageModel>();
        env.languageModel = app->m_ownedModel.get();
    }

    app->m_settings = std::make_unique<AppSettings>(env.defaults);
    trace("settings");
    app->m_palette = std::make_unique<ApplicationPalette>(app->m_settings.get());
    // The detector follows the model server's announcements by itself.
    app->m_capability = std::make_unique<CapabilityDetector>(env.languageModel);
    trace("capability");
    app->m_coordinator = std::make_unique<InsightCoordinator>(env.languageModel);
    trace("insightCoordinator");
    app->m_cloudSync = std::make_unique<CloudSyncStatus>();
    trace("cloudSync");
    app->m_updater = &SoftwareUpdater::shared();
    trace("updater");

    StoreError error;
    std::optional<StoreContainerResult> made =
        env.makeContainer ? env.makeContainer(&error) : makeModelContainer(false, &error);
    trace("container");
    if (!made || !made->container) {
        if (failure)
            *failure = startupFailureMessage(error);
        return nullptr;
    }
    app->m_container = made->container;
    app->m_storeNote = made->note;
    // Text that an ended session could not save comes back as a draft,
    // which the journal then offers when it opens. Only the program that
    // holds the store alone may do this.
    const ModelConfiguration &configuration = app->m_container->configuration();
    if (app->m_container->ownsStore() && !configuration.isStoredInMemoryOnly) {
        app->m_unsaved = UnsavedTextFile::open(configuration.folder);
        if (app->m_unsaved)
            app->m_unsaved->restoreInto(*app->m_container->mainContext());
    }
    return app;
}

MainWindow *ZephyrnoteApp::mainWindow()
{
    if (m_mainWindow)
        return m_mainWindow;

    if (!m_environment.panels) {
        m_ownedPanels = std::make_unique<QtFilePanel>();
        m_environment.panels = m_ownedPanels.get();
    }

    ZephyrnoteMenuCallbacks callbacks;
    callbacks.showAbout = [this] {
        // Opened, not waited on: the journal keeps running behind it.
        auto *box = new QMessageBox(QMessageBox::Information, QStringLiteral("About Zephyrnote"),
                                    QStringLiteral("Zephyrnote %1").arg(QCoreApplication::applicationVersion()),
                                    QMessageBox::Ok, m_mainWindow);
        box->setInformativeText(QStringLiteral("A private journal that reads the weather of your days."));
        box->setAttribute(Qt::WA_DeleteOnClose);
        fitAlertWidth(box);
        box->open();
    };
    callbacks.checkForUpdates = [this] { m_updater->checkForUpdates(m_mainWindow); };
    callbacks.showSettings = [this] { showSettings(); };
    callbacks.quit = [this] { m_quit->requestQuit(); };

    auto makeWorkspace = [this](QWidget *parent) {
        WorkspaceServices services;
        services.context = m_container->mainContext();
        services.capability = m_capability.get();
        services.insightCoordinator = m_coordinator.get();
        services.panels = m_environment.panels;
        services.notificationCenter = m_environment.notificationCenter;
        if (m_environment.voiceServices)
            services.voice = m_environment.voiceServices();
        return new JournalWorkspaceView(std::move(services), nullptr, parent);
    };
    auto makeOnboarding = [this](QWidget *parent) -> QWidget * {
        // The root view swaps the journal in when the completed flag is stored.
        return new OnboardingView(*m_settings, [] {}, nullptr, parent);
    };
    auto makeContent = [this, makeWorkspace, makeOnboarding](QWidget *parent) {
        auto *root = new RootView(*m_settings, m_capability.get(), makeWorkspace, makeOnboarding, parent);
        connect(root, &RootView::appeared, this, &ZephyrnoteApp::startUp);
        return root;
    };
    m_mainWindow = new MainWindow(*m_settings, *m_environment.defaults, std::move(callbacks), makeContent,
                                  m_environment.notificationCenter);
    m_mainWindow->setAttribute(Qt::WA_DeleteOnClose, false);
    auto editor = [this]() -> EditorSession * {
        JournalWorkspaceView *workspace = m_mainWindow ? m_mainWindow->rootView()->workspace() : nullptr;
        return workspace ? &workspace->workspace().editor() : nullptr;
    };
    m_quit = new QuitController(editor, *new QtDialogPresenter(m_mainWindow), m_unsaved.get(), this);
    m_mainWindow->setCloseGuard([this] { return m_quit->mayCloseWindow(); });
    if (auto *panels = dynamic_cast<QtFilePanel *>(m_environment.panels))
        panels->setWindow(m_mainWindow);
    m_mainWindow->restoreFrame();
    return m_mainWindow;
}

void ZephyrnoteApp::bringToFront()
{
    MainWindow *window = mainWindow();
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

void ZephyrnoteApp::showSettings()
{
    if (!m_settingsWindow) {
        SettingsServices services;
        services.settings = m_settings.get();
        services.capability = m_capability.get();
        services.insightQueue = m_coordinator.get();
        services.cloudSync = m_cloudSync.get();
        services.context = m_container->mainContext();
        // Qt's panels open over the settings window itself; scripted ones are shared.
        services.panels = dynamic_cast<QtFilePanel *>(m_environment.panels) ? nullptr : m_environment.panels;
        services.notificationCenter = m_environment.notificationCenter;
        m_settingsWindow = new SettingsRootView(services);
    }
    // Each opening comes over the journal, inside its screen's free area.
    if (!m_settingsWindow->isVisible())
        if (auto *settingsView = qobject_cast<SettingsRootView *>(m_settingsWindow.data()))
            settingsView->placeOver(m_mainWindow);
    m_settingsWindow->show();
    m_settingsWindow->raise();
    m_settingsWindow->activateWindow();
}

void ZephyrnoteApp::startUp()
{
    m_cloudSync->setStoreNote(m_storeNote);
    m_capability->refresh();
    m_coordinator->configure(m_capability.get(), m_settings.get(), m_container);
}

int reportStartupFailure(const QString &message, bool showBox)
{
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    std::fflush(stderr);
    systemLog(QStringLiteral("Zephyrnote: ") + message);
    if (showBox) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Zephyrnote"), message, QMessageBox::Ok);
        fitAlertWidth(&box);
        box.exec(); // nothing else runs yet: waiting here is the whole program
    }
    return 1;
}

} // namespace zn
