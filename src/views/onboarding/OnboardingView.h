#pragma once

#include "views/onboarding/OnboardingModel.h"

#include <QPointer>
#include <QWidget>

#include <functional>

class QStackedWidget;

namespace zn {

class AppSettings;
class ClimateBackground;
class DetailButton;
class PaletteCard;
class SystemAppearance;
class ThemeScope;

// The first-run screen in place of the journal: three steps over the
// climate backdrop, "Back" on the left from the second step on, the primary
// button on the right; Return runs the primary button. Its theme follows
// the settings, so a palette chosen here or in the settings window
// recolours it at once.
class OnboardingView : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kMaxContentWidth = 560;

    // `system` null means the shared desktop provider; not owned.
    OnboardingView(AppSettings &settings, std::function<void()> onFinished, SystemAppearance *system = nullptr,
                   QWidget *parent = nullptr);

    OnboardingModel &model() { return m_model; }
    int step() const { return m_model.step(); }

    // For tests and the window: the parts a person clicks.
    DetailButton *primaryButton() const { return m_primary; }
    DetailButton *backButton() const { return m_back; }
    PaletteCard *paletteCard(ColorPalettePreference palette) const;
    ThemeScope *themeScope() const { return m_scope; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QWidget *makePrivacyStep();
    QWidget *makeClimateStep();
    QWidget *makeReadyStep();
    QWidget *makeButtonRow();
    void showStep(int step);
    ColorScheme systemScheme() const;

    OnboardingModel m_model;
    QPointer<SystemAppearance> m_system;
    ThemeScope *m_scope;
    ClimateBackground *m_background;
    QStackedWidget *m_steps = nullptr;
    DetailButton *m_back = nullptr;
    DetailButton *m_primary = nullptr;
    PaletteCard *m_warmCard = nullptr;
    PaletteCard *m_coolCard = nullptr;
};

} // namespace zn
