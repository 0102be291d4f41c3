#pragma once

#include "app/theme/SystemAppearance.h"

#include <QDBusVariant>

#include <optional>

class QDBusPendingCallWatcher;

namespace zn {

// Reads the desktop's settings portal (org.freedesktop.portal.Settings)
// without ever waiting on it: every query is asynchronous with a short
// time-out, and until an answer comes (or when no portal runs) the scheme
// follows the lightness of the desktop's application palette (the one from
// before a theme replaced it, see ApplicationPalette) and the accessibility
// wishes are off. Later portal changes arrive through its SettingChanged
// signal.
class DesktopAppearance : public SystemAppearance
{
    Q_OBJECT
public:
    explicit DesktopAppearance(QObject *parent = nullptr);

    ColorScheme colorScheme() const override;
    bool reduceMotion() const override;
    bool reduceTransparency() const override { return false; } // no desktop publishes it
    bool increasedContrast() const override;

    // Folds one portal setting into the state; public for the tests.
    void applySetting(const QString &group, const QString &key, const QVariant &value);

    // How long a portal query may take before it counts as unanswered.
    static constexpr int kPortalTimeoutMs = 1500;

public Q_SLOTS:
    // The portal's SettingChanged signal. Public: QtDBus delivers only to
    // public slots.
    void onSettingChanged(const QString &group, const QString &key, const QDBusVariant &value);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct State
    {
        std::optional<ColorScheme> portalScheme; // none: no preference given
        ColorScheme paletteScheme = ColorScheme::Light;
        bool reducedMotionPreference = false; // freedesktop "reduced-motion"
        bool animationsDisabled = false;      // GNOME enable-animations off / KDE factor 0
        bool highContrastPreference = false;  // freedesktop "contrast"
        bool gnomeHighContrast = false;       // GNOME a11y high-contrast
        bool operator==(const State &) const = default;
    };

    void queryPortal();
    void update(const State &next);
    static ColorScheme schemeOfApplicationPalette();

    State m_state;
};

} // namespace zn
