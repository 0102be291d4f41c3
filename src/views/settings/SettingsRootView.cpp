#include "views/settings/SettingsRootView.h"

#include "app/settings/AppSettings.h"
#include "app/theme/ThemeScope.h"
#include "platform/symbols/SymbolLibrary.h"
#include "views/kit/DialogPresenter.h"
#include "views/kit/FocusRing.h"
#include "views/kit/QtDialogPresenter.h"
#include "views/kit/QtFilePanel.h"
#include "views/kit/WindowPlacement.h"
#include "views/settings/SettingsTabs.h"
#include "views/workspace/window/PrivacyPromiseView.h"

#include <QComboBox>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QShowEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace zn {

namespace {

struct TabItem
{
    const char *title;
    const char *symbol;
};

constexpr TabItem kTabs[] = {
    {"General", "gearshape"},
    {"Appearance", "paintpalette"},
    {"Intelligence", "sparkles"},
    {"Privacy", "hand.raised"},
};

// The tab titles, ringed like every other control when the keyboard is on
// them (the desktop style marks that focus barely, or not at all).
class RingedTabBar : public QTabBar
{
public:
    using QTabBar::QTabBar;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QTabBar::paintEvent(event);
        if (!hasFocus() || !m_keyboardFocus || currentIndex() < 0)
            return;
        QPainter painter(this);
        paintFocusRing(painter, QRectF(tabRect(currentIndex())).adjusted(1, 1, -1, -1), 5, ThemeScope::themeFor(this));
    }
    void focusInEvent(QFocusEvent *event) override
    {
        m_keyboardFocus = isKeyboardFocusReason(event->reason());
        QTabBar::focusInEvent(event);
    }
    void keyPressEvent(QKeyEvent *event) override
    {
        m_keyboardFocus = true; // arrows move between the tabs
        QTabBar::keyPressEvent(event);
    }

private:
    bool m_keyboardFocus = false;
};

class RingedTabWidget : public QTabWidget
{
public:
    RingedTabWidget() { setTabBar(new RingedTabBar); }
};

} // namespace

SettingsRootView::SettingsRootView(SettingsServices services, DialogPresenter *presenter, SystemAppearance *system,
                                   QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    if (!services.panels) {
        m_ownedPanels = std::make_unique<QtFilePanel>(this);
        services.panels = m_ownedPanels.get();
    }
    m_model = std::make_unique<SettingsModel>(services);
    m_presenter = presenter ? presenter : new QtDialogPresenter(this);
    // The window's own theme and scheme, from the settings.
    m_scope = new ThemeScope(this, services.settings, system);

    setWindowTitle(QStringLiteral("Settings"));
    placeOver(nullptr);
    // Closed from the keyboard as any settings window is.
    for (const QKeySequence &key : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
        auto *shortcut = new QShortcut(key, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, &QWidget::close);
    }

    m_tabs = new RingedTabWidget;
    m_tabs->setDocumentMode(true);
    m_tabs->tabBar()->setExpanding(false);
    m_tabs->setIconSize(QSize(16, 16));
    m_appearance = new AppearanceTab(*m_model);
    m_intelligence = new IntelligenceTab(*m_model);
    m_privacy = new PrivacyTab(*m_model);
    QWidget *pages[] = {new GeneralTab, m_appearance, m_intelligence, m_privacy};
    for (int i = 0; i < 4; ++i)
        m_tabs->addTab(pages[i], QString::fromLatin1(kTabs[i].title));
    updateTabIcons();
    connect(m_scope, &ThemeScope::themeChanged, this, &SettingsRootView::updateTabIcons);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 8, 0, 0);
    layout->addWidget(m_tabs);

    // The desktop style marks focus on its buttons and menus faintly; they
    // wear the ring every other control wears.
    for (QWidget *control : findChildren<QWidget *>())
        if (qobject_cast<QPushButton *>(control) || qobject_cast<QComboBox *>(control))
            control->setStyle(FocusRingStyle::shared());

    connect(m_model.get(), &SettingsModel::settingsMessageChanged, this, &SettingsRootView::showMessage);
    connect(m_model.get(), &SettingsModel::showDeleteConfirmChanged, this, [this](bool shown) {
        if (shown)
            askDeleteAll();
    });
    connect(m_model.get(), &SettingsModel::showPrivacyChanged, this, [this](bool shown) {
        if (shown)
            showPrivacySheet();
    });
}

SettingsRootView::~SettingsRootView()
{
    // Dialogs still up answer into the model: close them first.
    if (auto *own = dynamic_cast<QtDialogPresenter *>(m_presenter); own && own->parent() == this)
        delete own;
    m_presenter = nullptr;
}

QRect SettingsRootView::frameOver(const QRect &anchor, const QRect &available, const QMargins &decoration)
{
    return frameInsideArea(kDefaultSize, anchor, available, decoration);
}

void SettingsRootView::placeOver(const QWidget *window)
{
    QScreen *screen = window && window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) {
        setMinimumSize(kMinimumSize);
        resize(kDefaultSize);
        return;
    }
    // The desktop's title bar and border, as the main window has them.
    QMargins decoration;
    if (window && window->isVisible()) {
        const QRect outer = window->frameGeometry();
        const QRect inner = window->geometry();
        decoration = QMargins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                              outer.bottom() - inner.bottom());
    }
    const QRect available = screen->availableGeometry();
    const QRect frame = frameOver(window ? window->geometry() : QRect(), available, decoration);
    setMinimumSize(kMinimumSize.boundedTo(frame.size()));
    setGeometry(frame);
}

void SettingsRootView::updateTabIcons()
{
    const QColor tint = m_scope->theme().accent();
    for (int i = 0; i < m_tabs->count(); ++i)
        m_tabs->setTabIcon(i, symbolIcon(QString::fromLatin1(kTabs[i].symbol), tint));
}

void SettingsRootView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Every show, not a window coming back from the dock.
    if (!event->spontaneous())
        m_model->appeared();
}

void SettingsRootView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), m_scope->theme().background());
}

void SettingsRootView::showMessage()
{
    const std::optional<QString> message = m_model->settingsMessage();
    if (!message || !m_presenter)
        return;
    QPointer<SettingsModel> model(m_model.get());
    m_presenter->showAlert({QStringLiteral("Settings"), *message, QStringLiteral("OK")}, [model, shown = *message] {
        // Only the alert of the message still held clears it.
        if (model && model->settingsMessage() == shown)
            model->dismissMessage();
    });
}

void SettingsRootView::askDeleteAll()
{
    if (!m_presenter)
        return;
    ConfirmationRequest request{
        QStringLiteral("Delete all journal data?"),
        QStringLiteral("This permanently removes all entries and weekly reflections from this computer. Export first if "
                       "you want a copy. Type DELETE in the field below is not required in this dialog — confirm "
                       "only if you are sure."),
        {{QStringLiteral("Delete Everything"), DialogButtonRole::Destructive},
         {QStringLiteral("Cancel"), DialogButtonRole::Cancel}}};
    QPointer<SettingsModel> model(m_model.get());
    m_presenter->confirm(request, [model](int answer) {
        if (model)
            model->answerDeleteConfirm(answer == 0);
    });
}

void SettingsRootView::showPrivacySheet()
{
    if (!m_presenter)
        return;
    DialogPresenter *presenter = m_presenter;
    auto *view = new PrivacyPromiseView([presenter] { presenter->dismissSheet(); });
    QPointer<SettingsModel> model(m_model.get());
    m_presenter->presentSheet({QStringLiteral("Privacy Promise"), view, PrivacyPromiseView::kMinimumSize}, [model] {
        if (model)
            model->privacyPromiseClosed();
    });
}

} // namespace zn
