#pragma once

#include <QWidget>

namespace zn {

class AppSettings;
class ThemeScope;

// The first-run welcome until the full onboarding is in the build: one
// page with "Get Started", which marks the onboarding done. The root view
// then shows the journal.
class OnboardingPlaceholder : public QWidget
{
    Q_OBJECT
public:
    explicit OnboardingPlaceholder(AppSettings &settings, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

// The settings window until the full one is in the build.
class SettingsWindowPlaceholder : public QWidget
{
    Q_OBJECT
public:
    static constexpr QSize kDefaultSize{640, 840};

    explicit SettingsWindowPlaceholder(AppSettings &settings, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace zn
