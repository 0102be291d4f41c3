#include "app/settings/AppSettings.h"

namespace zn {

AppSettings::AppSettings(UserDefaults *defaults, QObject *parent)
    : QObject(parent)
    , m_defaults(defaults ? defaults : &UserDefaults::standard())
{
    const QString key = QString::fromLatin1(kEnhancedAnalysisEnabledKey);
    m_enhancedAnalysisEnabled = m_defaults->contains(key) ? m_defaults->boolean(key) : true;
}

void AppSettings::setEnhancedAnalysisEnabled(bool enabled)
{
    const bool changed = enabled != m_enhancedAnalysisEnabled;
    m_enhancedAnalysisEnabled = enabled;
    // Written on every assignment; observers hear only of real changes.
    m_defaults->setValue(QString::fromLatin1(kEnhancedAnalysisEnabledKey), enabled);
    if (changed)
        Q_EMIT enhancedAnalysisEnabledChanged(enabled);
}

} // namespace zn
