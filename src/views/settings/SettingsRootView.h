#pragma once

#include "views/settings/SettingsModel.h"

#include <QMargins>
#include <QPointer>
#include <QRect>
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
// Escape and Ctrl+W close it. On a screen too small for its sizes it opens
// inside the free area and its tabs scroll.
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

    // The window's frame at the default size, centred over `anchor` and
    // kept inside `available`, by the rule every window opens by
    // (frameInsideArea()).
    static QRect frameOver(const QRect &anchor, const QRect &available, const QMargins &decoration = {});
    // Sizes and places the window over `window` (the main window), on its
    // screen; null means the primary screen's middle.
    void placeOver(const QWidget *window);

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
