#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <optional>

namespace zn {

class AppSettings;
class CapabilityDetector;
class Clock;
class ImportActivity;
class FilePanels;
class CloudSyncStatus;
class InsightQueue;
class ModelContext;
class NotificationCenter;

// What the settings window works with. None is owned; each must outlive the
// window. `insightQueue` may be null (imports then queue nothing).
struct SettingsServices
{
    AppSettings *settings = nullptr;
    CapabilityDetector *capability = nullptr;
    InsightQueue *insightQueue = nullptr;
    CloudSyncStatus *cloudSync = nullptr;
    ModelContext *context = nullptr;
    FilePanels *panels = nullptr;
    NotificationCenter *notificationCenter = nullptr; // null: the default centre
    Clock *clock = nullptr;                           // null: the system clock
};

// The settings window's state and actions without any widget: the message
// of the last data action (the "Settings" alert is up while it is set), the
// delete-all question and the privacy sheet. Main thread only; the setters
// emit only on a real change.
class SettingsModel : public QObject
{
    Q_OBJECT
public:
    explicit SettingsModel(SettingsServices services, QObject *parent = nullptr);

    const SettingsServices &services() const { return m_services; }
    std::optional<QString> settingsMessage() const { return m_settingsMessage; }
    bool showDeleteConfirm() const { return m_showDeleteConfirm; }
    bool showPrivacy() const { return m_showPrivacy; }
    // An export or import is waiting for its panel, or an import runs.
    bool isExchanging() const { return m_exchanging; }
    // From the choice of a file to the end of its merge, as in the main
    // window.
    const ImportActivity &importActivity() const { return *m_importActivity; }

    // Each time the window is shown: the capability now.
    void appeared();
    void refreshCapability();

    // Writes every entry to a file the user picks.
    void exportJournal();
    // Merges a file the user picks; the entries it hands back are queued
    // for reflections, in order, before the summary is shown.
    void importJournal();

    void requestDeleteAll() { setShowDeleteConfirm(true); }
    // The answer to "Delete all journal data?".
    void answerDeleteConfirm(bool deleteEverything);
    void deleteAllData();

    void showPrivacyPromise() { setShowPrivacy(true); }
    void privacyPromiseClosed() { setShowPrivacy(false); }

    // The alert's "OK" or its dismissal.
    void dismissMessage() { setSettingsMessage(std::nullopt); }

    static constexpr auto kExportedMessage = "Journal exported successfully.";
    static constexpr auto kDeletedMessage = "All journal data was deleted from this computer.";

Q_SIGNALS:
    void settingsMessageChanged();
    void showDeleteConfirmChanged(bool shown);
    void showPrivacyChanged(bool shown);

private:
    void setSettingsMessage(const std::optional<QString> &message);
    void setShowDeleteConfirm(bool shown);
    void setShowPrivacy(bool shown);
    NotificationCenter &center() const;

    SettingsServices m_services;
    QPointer<CapabilityDetector> m_capabilityGuard;
    std::optional<QString> m_settingsMessage;
    bool m_showDeleteConfirm = false;
    bool m_showPrivacy = false;
    bool m_exchanging = false;
    ImportActivity *m_importActivity;
};

} // namespace zn
