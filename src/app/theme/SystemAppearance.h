#pragma once

#include "app/settings/AppearancePreference.h"

#include <QObject>

namespace zn {

// What the desktop says about how our windows should look: its light or dark
// scheme and three accessibility wishes. Qt 6.4 reports none of these, so
// this small interface stands in; tests install a `ManualSystemAppearance`.
class SystemAppearance : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    virtual ColorScheme colorScheme() const = 0;
    virtual bool reduceMotion() const = 0;
    virtual bool reduceTransparency() const = 0;
    virtual bool increasedContrast() const = 0;

    // The process-wide provider: the desktop one, made on first use, unless
    // another was installed. Main thread only.
    static SystemAppearance &shared();
    // Installs `appearance` (not owned) in place of the desktop one; null
    // goes back to the desktop provider.
    static void setShared(SystemAppearance *appearance);

Q_SIGNALS:
    // Any of the four values changed.
    void changed();
};

// Values set by hand: for tests, and for callers that know better.
class ManualSystemAppearance : public SystemAppearance
{
    Q_OBJECT
public:
    explicit ManualSystemAppearance(QObject *parent = nullptr);

    ColorScheme colorScheme() const override { return m_colorScheme; }
    bool reduceMotion() const override { return m_reduceMotion; }
    bool reduceTransparency() const override { return m_reduceTransparency; }
    bool increasedContrast() const override { return m_increasedContrast; }

    // Each emits `changed` only on a real change.
    void setColorScheme(ColorScheme scheme);
    void setReduceMotion(bool on);
    void setReduceTransparency(bool on);
    void setIncreasedContrast(bool on);

private:
    template<typename T>
    void assign(T &field, T value);

    ColorScheme m_colorScheme = ColorScheme::Light;
    bool m_reduceMotion = false;
    bool m_reduceTransparency = false;
    bool m_increasedContrast = false;
};

} // namespace zn
