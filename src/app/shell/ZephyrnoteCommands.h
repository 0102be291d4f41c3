#pragma once

#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QAction;
class QMenu;
class QMenuBar;

namespace zn {

class NotificationCenter;
class ShortcutRouter;

// What the application menu's items do; the window provides them. An empty
// quit closes every window and leaves the event loop.
struct ZephyrnoteMenuCallbacks
{
    std::function<void()> showAbout;
    std::function<void()> checkForUpdates;
    std::function<void()> showSettings;
    std::function<void()> quit;
};

// The main window's menu bar. Every journal item only posts its
// "zep.command." name on the notification centre; whoever listens acts.
// The menus hold no state and every item is always enabled.
//
// Menus, in order: "Zephyrnote" (About, Check for Updates…, Settings…,
// Quit), "File", "Edit" (text editing forwarded to the focused text
// widget, then "Find…"), "View", "Entry", "Help".
//
// Every title carries an access key (Alt+F opens "File", then N is "New
// Entry"); no two in one menu share one.
//
// Each menu shortcut is the only shortcut on its key. When a router is
// given, a key pressed in this window while a screen has claimed it there
// goes to that screen instead of posting; choosing the item with the mouse
// still posts. Keys pressed in other windows are never routed.
class ZephyrnoteCommands : public QObject
{
    Q_OBJECT
public:
    // Fills `menuBar` (which it belongs to). `center` defaults to the
    // default centre; `router` may be null.
    ZephyrnoteCommands(QMenuBar *menuBar, ZephyrnoteMenuCallbacks callbacks,
                       NotificationCenter *center = nullptr, ShortcutRouter *router = nullptr);
    ~ZephyrnoteCommands() override;

    // Posts `name` with no payload on the centre (the default one when null).
    static void postCommand(const QString &name, NotificationCenter *center = nullptr);

    QMenu *applicationMenu() const { return m_appMenu; }
    QMenu *fileMenu() const { return m_fileMenu; }
    QMenu *editMenu() const { return m_editMenu; }
    QMenu *viewMenu() const { return m_viewMenu; }
    QMenu *entryMenu() const { return m_entryMenu; }
    QMenu *helpMenu() const { return m_helpMenu; }

    // The item posting `name` first in menu order, or null.
    QAction *actionPosting(const QString &name) const;
    // The command name an item posts; empty for items that post nothing.
    static QString postedName(const QAction *action);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QAction *addCommand(QMenu *menu, const QString &title, const QString &name,
                        const QKeySequence &key = {});
    QAction *addCallback(QMenu *menu, const QString &title, std::function<void()> callback,
                         const QKeySequence &key = {});
    void buildEditItems();

    ZephyrnoteMenuCallbacks m_callbacks;
    NotificationCenter *m_center;
    QPointer<ShortcutRouter> m_router;
    QMenu *m_appMenu = nullptr;
    QMenu *m_fileMenu = nullptr;
    QMenu *m_editMenu = nullptr;
    QMenu *m_viewMenu = nullptr;
    QMenu *m_entryMenu = nullptr;
    QMenu *m_helpMenu = nullptr;
    QList<QAction *> m_commandActions;
};

} // namespace zn
