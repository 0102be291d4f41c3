#pragma once

#include "core/StoreFactory.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace zn {

class ApplicationPalette;
class AppSettings;
class CapabilityDetector;
class FilePanels;
class CloudSyncStatus;
class InsightCoordinator;
class MainWindow;
class ModelContainer;
class NotificationCenter;
class QuitController;
class SoftwareUpdater;
class UnsavedTextFile;
class UserDefaults;
struct VoiceSessionServices;

namespace lm {
class LanguageModel;
}

// What the application runs on; empty members mean the real ones.
struct AppEnvironment
{
    UserDefaults *defaults = nullptr; // the standard user defaults
    // The store container chain; by default the one in the user's data folder.
    std::function<std::optional<StoreContainerResult>(StoreError *)> makeContainer;
    lm::LanguageModel *languageModel = nullptr;               // the local model server
    NotificationCenter *notificationCenter = nullptr;         // the default centre
    FilePanels *panels = nullptr;                             // Qt file dialogs over the window
    // Supplies the workspace's dictation parts (tests: fakes); empty means
    // the system microphone and recogniser.
    std::function<VoiceSessionServices()> voiceServices;
    // Receives the name of each long-lived object as it is made.
    std::function<void(const QString &)> trace;
};

// The program: makes the settings, capability detector, reflection
// coordinator, cloud-sync status, update holder and then the store, in
// that order, and owns them for the whole run. From the settings on, the
// application palette follows their theme, so dialogs and menus match the
// windows. Opens the main window and
// the settings window. Main thread only.
class ZephyrnoteApp : public QObject
{
    Q_OBJECT
public:
    // Null when no store could be made; `failure` then receives the
    // message to show ("Could not create ModelContainer even after store
    // recovery: …", or the plain text of a cause that will pass, such as a
    // locked store).
    static std::unique_ptr<ZephyrnoteApp> create(AppEnvironment environment, QString *failure = nullptr);
    ~ZephyrnoteApp() override;

    AppSettings &settings() const { return *m_settings; }
    CapabilityDetector &capability() const { return *m_capability; }
    InsightCoordinator &insightCoordinator() const { return *m_coordinator; }
    CloudSyncStatus &cloudSync() const { return *m_cloudSync; }
    SoftwareUpdater &updater() const { return *m_updater; }
    std::shared_ptr<ModelContainer> container() const { return m_container; }
    std::optional<QString> storeNote() const { return m_storeNote; }

    // The main window (made on first use; shown by the caller).
    MainWindow *mainWindow();
    // How the program ends; made with the main window.
    QuitController *quitController() const { return m_quit; }
    // Text an ended session could not save, kept beside the store; null for
    // a store in memory.
    UnsavedTextFile *unsavedText() const { return m_unsaved.get(); }
    // Shows the main window in front of the others, with the keyboard.
    void bringToFront();
    void showSettings();
    QWidget *settingsWindow() const { return m_settingsWindow; }

    // Runs each time the main window's content is shown: the store's note to
    // the cloud-sync status, capability refreshed, coordinator configured.
    void startUp();

private:
    explicit ZephyrnoteApp(AppEnvironment environment);

    AppEnvironment m_environment;
    std::unique_ptr<lm::LanguageModel> m_ownedModel;
    std::unique_ptr<FilePanels> m_ownedPanels;
    std::unique_ptr<AppSettings> m_settings;
    std::unique_ptr<ApplicationPalette> m_palette;
    std::unique_ptr<CapabilityDetector> m_capability;
    std::unique_ptr<InsightCoordinator> m_coordinator;
    std::unique_ptr<CloudSyncStatus> m_cloudSync;
    SoftwareUpdater *m_updater = nullptr;
    std::shared_ptr<ModelContainer> m_container;
    std::optional<QString> m_storeNote;
    std::unique_ptr<UnsavedTextFile> m_unsaved;
    QPointer<MainWindow> m_mainWindow;
    QuitController *m_quit = nullptr;
    QPointer<QWidget> m_settingsWindow;
};

// Says that the application cannot start: the message goes to standard
// error and the log, and into a critical message box when `showBox`.
// Returns the exit status, 1.
int reportStartupFailure(const QString &message, bool showBox);

} // namespace zn
