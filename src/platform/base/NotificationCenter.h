#pragma once

#include <QObject>
#include <QString>
#include <QVariantMap>

#include <functional>

namespace zn {

// Notification names used across the app.
namespace Notifications {
inline constexpr auto NewEntry = "zep.command.newEntry";
inline constexpr auto Save = "zep.command.save";
inline constexpr auto FocusSearch = "zep.command.focusSearch";
inline constexpr auto GoToday = "zep.command.goToday";
inline constexpr auto GoAll = "zep.command.goAll";
inline constexpr auto GoCalendar = "zep.command.goCalendar";
inline constexpr auto GoWeather = "zep.command.goWeather";
inline constexpr auto GoVoice = "zep.command.goVoice";
inline constexpr auto PreviousEntry = "zep.command.previousEntry";
inline constexpr auto NextEntry = "zep.command.nextEntry";
inline constexpr auto DeleteEntry = "zep.command.deleteEntry";
inline constexpr auto ExportJournal = "zep.command.exportJournal";
inline constexpr auto ImportJournal = "zep.command.importJournal";
inline constexpr auto ShowPrivacyPromise = "zep.command.showPrivacyPromise";
inline constexpr auto AudioConfigurationChanged = "zep.audio.configurationChanged";
inline constexpr auto DataDidReset = "zep.data.didReset";
} // namespace Notifications

// In-process broadcast by name. post() may be called from any thread; each
// observer runs on its receiver's thread.
class NotificationCenter : public QObject
{
    Q_OBJECT
public:
    explicit NotificationCenter(QObject *parent = nullptr);

    static NotificationCenter &defaultCenter();

    void post(const QString &name, const QVariantMap &userInfo = {});

    // Calls `handler` for every post of `name` until `receiver` is destroyed
    // or the returned connection is disconnected.
    QMetaObject::Connection addObserver(const QString &name, QObject *receiver,
                                        std::function<void(const QVariantMap &)> handler);

Q_SIGNALS:
    void posted(const QString &name, const QVariantMap &userInfo);
};

} // namespace zn
