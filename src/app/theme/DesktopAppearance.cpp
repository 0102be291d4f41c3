#include "app/theme/DesktopAppearance.h"

#include "app/theme/ApplicationPalette.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QEvent>
#include <QGuiApplication>
#include <QPalette>

namespace zn {

namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kSettingsInterface = QStringLiteral("org.freedesktop.portal.Settings");

const QString kAppearanceGroup = QStringLiteral("org.freedesktop.appearance");
const QString kGnomeInterfaceGroup = QStringLiteral("org.gnome.desktop.interface");
const QString kGnomeA11yGroup = QStringLiteral("org.gnome.desktop.a11y.interface");
const QString kKdeGroup = QStringLiteral("org.kde.kdeglobals.KDE");

struct PortalKey
{
    QString group;
    QString key;
};

// Every setting we read; the rest of the portal is of no interest.
const PortalKey kKeys[] = {
    {kAppearanceGroup, QStringLiteral("color-scheme")},
    {kAppearanceGroup, QStringLiteral("contrast")},
    {kAppearanceGroup, QStringLiteral("reduced-motion")},
    {kGnomeInterfaceGroup, QStringLiteral("enable-animations")},
    {kGnomeA11yGroup, QStringLiteral("high-contrast")},
    {kKdeGroup, QStringLiteral("AnimationDurationFactor")},
};

// Older portals wrap the answer of Read in a second variant.
QVariant unwrap(QVariant value)
{
    while (value.metaType() == QMetaType::fromType<QDBusVariant>())
        value = qvariant_cast<QDBusVariant>(value).variant();
    return value;
}

} // namespace

DesktopAppearance::DesktopAppearance(QObject *parent)
    : SystemAppearance(parent)
{
    m_state.paletteScheme = schemeOfApplicationPalette();
    if (QCoreApplication *app = QCoreApplication::instance())
        app->installEventFilter(this);
    // Asked once the event loop runs, so making the provider costs nothing.
    QMetaObject::invokeMethod(this, &DesktopAppearance::queryPortal, Qt::QueuedConnection);
}

ColorScheme DesktopAppearance::colorScheme() const
{
    return m_state.portalScheme.value_or(m_state.paletteScheme);
}

bool DesktopAppearance::reduceMotion() const
{
    return m_state.reducedMotionPreference || m_state.animationsDisabled;
}

bool DesktopAppearance::increasedContrast() const
{
    return m_state.highContrastPreference || m_state.gnomeHighContrast;
}

void DesktopAppearance::applySetting(const QString &group, const QString &key, const QVariant &value)
{
    State next = m_state;
    bool isNumber = false;
    if (group == kAppearanceGroup && key == u"color-scheme") {
        // 1 prefers dark, 2 prefers light, anything else states no preference.
        const uint code = value.toUInt(&isNumber);
        next.portalScheme = !isNumber  ? std::nullopt
                            : code == 1 ? std::optional(ColorScheme::Dark)
                            : code == 2 ? std::optional(ColorScheme::Light)
                                        : std::nullopt;
    } else if (group == kAppearanceGroup && key == u"contrast") {
        next.highContrastPreference = value.toUInt(&isNumber) == 1 && isNumber;
    } else if (group == kAppearanceGroup && key == u"reduced-motion") {
        next.reducedMotionPreference = value.toUInt(&isNumber) == 1 && isNumber;
    } else if (group == kGnomeInterfaceGroup && key == u"enable-animations") {
        next.animationsDisabled = value.metaType() == QMetaType::fromType<bool>() && !value.toBool();
    } else if (group == kGnomeA11yGroup && key == u"high-contrast") {
        next.gnomeHighContrast = value.metaType() == QMetaType::fromType<bool>() && value.toBool();
    } else if (group == kKdeGroup && key == u"AnimationDurationFactor") {
        next.animationsDisabled = value.toDouble(&isNumber) == 0.0 && isNumber;
    } else {
        return;
    }
    update(next);
}

bool DesktopAppearance::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == QCoreApplication::instance() && event->type() == QEvent::ApplicationPaletteChange) {
        State next = m_state;
        next.paletteScheme = schemeOfApplicationPalette();
        update(next);
    }
    return SystemAppearance::eventFilter(watched, event);
}

void DesktopAppearance::onSettingChanged(const QString &group, const QString &key, const QDBusVariant &value)
{
    applySetting(group, key, unwrap(value.variant()));
}

void DesktopAppearance::queryPortal()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return; // no session bus: palette lightness and no wishes
    // No service name: naming one makes Qt ask the bus for the name's owner
    // and wait for the answer. Only the portal sends this signal on this path.
    // QtDBus finds the slot's parameter types by name, and a type is known by
    // name only once registered.
    qRegisterMetaType<QDBusVariant>();
    bus.connect(QString(), kPortalPath, kSettingsInterface, QStringLiteral("SettingChanged"), this,
                SLOT(onSettingChanged(QString,QString,QDBusVariant)));
    for (const PortalKey &setting : kKeys) {
        QDBusMessage read =
            QDBusMessage::createMethodCall(kPortalService, kPortalPath, kSettingsInterface, QStringLiteral("Read"));
        read << setting.group << setting.key;
        // Asynchronous: with no portal the answer is an error or a time-out,
        // and the window never waits for either.
        auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(read, kPortalTimeoutMs), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, setting](QDBusPendingCallWatcher *call) {
            call->deleteLater();
            const QDBusMessage reply = call->reply();
            if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
                applySetting(setting.group, setting.key, unwrap(reply.arguments().constFirst()));
        });
    }
}

void DesktopAppearance::update(const State &next)
{
    if (next == m_state)
        return;
    const ColorScheme scheme = colorScheme();
    const bool motion = reduceMotion();
    const bool contrast = increasedContrast();
    m_state = next;
    // Both sources can move without changing what we report.
    if (scheme != colorScheme() || motion != reduceMotion() || contrast != increasedContrast())
        Q_EMIT changed();
}

ColorScheme DesktopAppearance::schemeOfApplicationPalette()
{
    // The desktop's (or the style's) idea of light or dark: the palette from
    // before a theme replaced the application's.
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return ColorScheme::Light;
    const QPalette palette = ApplicationPalette::desktopPalette();
    return palette.color(QPalette::Window).lightness() < palette.color(QPalette::WindowText).lightness()
               ? ColorScheme::Dark
               : ColorScheme::Light;
}

} // namespace zn
