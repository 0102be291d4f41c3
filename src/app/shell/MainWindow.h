#pragma once

#include <QMainWindow>
#include <QTimer>

#include <functional>

namespace zn {

class AppSettings;
class NotificationCenter;
class RootView;
class ShortcutRouter;
class ThemeScope;
class UserDefaults;
class ZephyrnoteCommands;
struct ZephyrnoteMenuCallbacks;

// The main window: the menu bar, the root view and a frame that is kept
// under "Zephyrnote.MainWindow.v2" in the user defaults and repaired when
// it comes back too small or off the screen. Its colours follow the theme
// of the settings; the desktop keeps drawing its own title bar, and the
// first time the window shows, that frame is fitted into the screen too.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    using ContentFactory = std::function<RootView *(QWidget *parent)>;

    MainWindow(AppSettings &settings, UserDefaults &defaults, ZephyrnoteMenuCallbacks callbacks,
               ContentFactory makeContent, NotificationCenter *center = nullptr, QWidget *parent = nullptr);
    ~MainWindow() override;

    RootView *rootView() const { return m_root; }
    ZephyrnoteCommands *commands() const { return m_commands; }
    ShortcutRouter *shortcutRouter() const { return m_router; }
    ThemeScope *themeScope() const { return m_scope; }

    // Restores the saved frame (or gives the first one) and repairs it;
    // call before the first show.
    void restoreFrame();
    // Writes the frame under the autosave key now.
    void saveFrame();

    // Asked before the window closes; false keeps it open. Without one,
    // closing saves what is being typed and always closes.
    void setCloseGuard(std::function<bool()> guard) { m_closeGuard = std::move(guard); }

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void applyMinimumSize(const QMargins &decoration = {});
    void fitFrameIntoScreen();

    UserDefaults *m_defaults;
    ShortcutRouter *m_router;
    ThemeScope *m_scope;
    ZephyrnoteCommands *m_commands;
    RootView *m_root;
    QTimer m_saveTimer;
    std::function<bool()> m_closeGuard;
    bool m_restored = false;
    bool m_shownBefore = false;
    // From the first show until the desktop's frame around the window is known.
    bool m_fitPending = false;
};

} // namespace zn
