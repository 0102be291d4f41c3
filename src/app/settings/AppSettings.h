#pragma once

#include "platform/base/UserDefaults.h"

#include <QObject>

namespace zn {

// The user's preferences, loaded from the user defaults once at start-up and
// written back on every assignment. Lives on the main thread.
class AppSettings : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool enhancedAnalysisEnabled READ enhancedAnalysisEnabled WRITE setEnhancedAnalysisEnabled NOTIFY
                   enhancedAnalysisEnabledChanged)
public:
    static constexpr auto kEnhancedAnalysisEnabledKey = "settings.enhancedAnalysisEnabled";

    // `defaults` must outlive the settings; the standard user defaults if null.
    explicit AppSettings(UserDefaults *defaults = nullptr, QObject *parent = nullptr);

    // On when the key was never written, so an untouched switch is on and a
    // switch turned off stays off.
    bool enhancedAnalysisEnabled() const { return m_enhancedAnalysisEnabled; }
    void setEnhancedAnalysisEnabled(bool enabled);

Q_SIGNALS:
    void enhancedAnalysisEnabledChanged(bool enabled);

private:
    UserDefaults *m_defaults;
    bool m_enhancedAnalysisEnabled = true;
};

} // namespace zn
