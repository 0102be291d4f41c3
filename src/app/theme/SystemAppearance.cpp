#include "app/theme/SystemAppearance.h"

#include "app/theme/DesktopAppearance.h"

#include <QCoreApplication>
#include <QPointer>

namespace zn {

namespace {

QPointer<SystemAppearance> &installed()
{
    static QPointer<SystemAppearance> appearance;
    return appearance;
}

} // namespace

SystemAppearance &SystemAppearance::shared()
{
    if (SystemAppearance *appearance = installed())
        return *appearance;
    // Parented to the application so it goes with it; made lazily so a test
    // that installs its own provider never talks to the desktop.
    static QPointer<DesktopAppearance> desktop;
    if (!desktop)
        desktop = new DesktopAppearance(QCoreApplication::instance());
    return *desktop;
}

void SystemAppearance::setShared(SystemAppearance *appearance)
{
    installed() = appearance;
}

ManualSystemAppearance::ManualSystemAppearance(QObject *parent)
    : SystemAppearance(parent)
{
}

template<typename T>
void ManualSystemAppearance::assign(T &field, T value)
{
    if (field == value)
        return;
    field = value;
    Q_EMIT changed();
}

void ManualSystemAppearance::setColorScheme(ColorScheme scheme) { assign(m_colorScheme, scheme); }
void ManualSystemAppearance::setReduceMotion(bool on) { assign(m_reduceMotion, on); }
void ManualSystemAppearance::setReduceTransparency(bool on) { assign(m_reduceTransparency, on); }
void ManualSystemAppearance::setIncreasedContrast(bool on) { assign(m_increasedContrast, on); }

} // namespace zn
