#pragma once

#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QShortcut>

#include <functional>
#include <memory>

class QWidget;

namespace zn {

// Gives every key sequence exactly one live shortcut. Qt fires neither of
// two enabled shortcuts on one key, so a screen that wants a key the menu
// already owns (the voice screen's Ctrl+S, Ctrl+R) does not make a shortcut
// of its own: it claims the key here, and the menu's action asks dispatch()
// before doing its usual work. A key the menu does not own (Escape) gets
// one shortcut on the claiming widget instead.
//
// A claim holds while its widget is visible and enabled; the latest live
// claim of a key wins. Main thread only.
class ShortcutRouter : public QObject
{
    Q_OBJECT
public:
    explicit ShortcutRouter(QObject *parent = nullptr);
    ~ShortcutRouter() override;

    // The router of the window `from` is in (the window keeps it as a direct
    // child of one of `from`'s ancestors); null when there is none.
    static ShortcutRouter *find(QWidget *from);

    // Keys whose single shortcut is a menu action that calls dispatch().
    void registerMenuKey(const QKeySequence &key);
    bool isMenuKey(const QKeySequence &key) const;

    // Routes `key` to `handler` while `scope` is visible and enabled, until
    // the returned claim is released or `scope` is destroyed. A key no menu
    // owns is live while the focus is within `scope`, or anywhere in its
    // window with `Qt::WindowShortcut` (a page's default action).
    int claim(const QKeySequence &key, QWidget *scope, std::function<void()> handler,
              Qt::ShortcutContext context = Qt::WidgetWithChildrenShortcut);
    void release(int claimId);

    // Runs the live claim of `key`, if any. True when it did.
    bool dispatch(const QKeySequence &key);
    bool hasLiveClaim(const QKeySequence &key) const;

private:
    struct Claim
    {
        int id;
        QKeySequence key;
        QPointer<QWidget> scope;
        std::function<void()> handler;
        // A child of the scope, so it may be gone before the claim is.
        QPointer<QShortcut> ownShortcut;
    };

    const Claim *liveClaim(const QKeySequence &key) const;

    QList<QKeySequence> m_menuKeys;
    std::vector<std::unique_ptr<Claim>> m_claims;
    int m_nextId = 1;
};

} // namespace zn
