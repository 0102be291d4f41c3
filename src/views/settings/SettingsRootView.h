#pragma once

#include "views/settings/SettingsModel.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class QTabWidget;

namespace zn {

class AppearanceTab;
class DialogPresenter;
class FilePanels;
class IntelligenceTab;
class PrivacyTab;
class SystemAppearance;
class ThemeScope;

// The settings window: General, Appearance, Intelligence and Privacy tabs
// in the window's own theme (the settings' palette and appearance). Each
// time it is shown it refreshes the capability detector and the account
// status. Outcomes of the data actions show in one "Settings" alert.
class SettingsRootView : public QWidget
{
    Q_OBJECT
public:
    static constexpr QSize kMinimumSize{560, 720};
    static constexpr QSize kDefaultSize{640, 840};

    // `presenter` and `system` may be null (Qt dialogs over this window, the
    // desktop's appearance); null `services.panels` means Qt file dialogs
    // over this window. Nothing given is owned.
    explicit SettingsRootView(SettingsServices services, DialogPresenter *presenter = nullptr,
                              SystemAppearance *system = nullptr, QWidget *parent = nullptr);
    ~SettingsRootView() override;

    SettingsModel &model() { return *m_model; }
    QTabWidget *tabs() const { return m_tabs; }
    AppearanceTab *appearanceTab() const { return m_appearance; }
    IntelligenceTab *intelligenceTab() const { return m_intelligence; }
    PrivacyTab *privacyTab() const { return m_privacy; }
    ThemeScope *themeScope() const { return m_scope; }

protected:
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void showMessage();
    void askDeleteAll();
    void showPrivacySheet();
    void updateTabIcons();

    std::unique_ptr<FilePanels> m_ownedPanels;
    std::unique_ptr<SettingsModel> m_model;
    DialogPresenter *m_presenter = nullptr;
    ThemeScope *m_scope;
    QTabWidget *m_tabs;
    AppearanceTab *m_appearance;
    IntelligenceTab *m_intelligence;
    PrivacyTab *m_privacy;
};

} // namespace zn
