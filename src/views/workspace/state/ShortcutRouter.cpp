#include "views/workspace/state/ShortcutRouter.h"

#include <QShortcut>
#include <QWidget>

namespace zn {

ShortcutRouter::ShortcutRouter(QObject *parent)
    : QObject(parent)
{
}

ShortcutRouter::~ShortcutRouter()
{
    for (const auto &claim : m_claims)
        delete claim->ownShortcut.data();
}

ShortcutRouter *ShortcutRouter::find(QWidget *from)
{
    for (QWidget *w = from; w; w = w->parentWidget())
        if (auto *router = w->findChild<ShortcutRouter *>(QString(), Qt::FindDirectChildrenOnly))
            return router;
    return nullptr;
}

void ShortcutRouter::registerMenuKey(const QKeySequence &key)
{
    if (key.isEmpty() || m_menuKeys.contains(key))
        return;
    m_menuKeys.append(key);
    // A claim made before the menu existed gave up its own shortcut now.
    for (auto &claim : m_claims)
        if (claim->key == key)
            delete claim->ownShortcut.data();
}

bool ShortcutRouter::isMenuKey(const QKeySequence &key) const
{
    return m_menuKeys.contains(key);
}

int ShortcutRouter::claim(const QKeySequence &key, QWidget *scope, std::function<void()> handler,
                          Qt::ShortcutContext context)
{
    if (key.isEmpty() || !scope || !handler)
        return 0;
    auto claim = std::make_unique<Claim>();
    claim->id = m_nextId++;
    claim->key = key;
    claim->scope = scope;
    claim->handler = std::move(handler);
    if (!isMenuKey(key)) {
        // Nobody else owns the key: one shortcut of its own, live only
        // while the claiming screen has focus within its window (or, asked
        // for, anywhere in the window).
        claim->ownShortcut = new QShortcut(key, scope);
        claim->ownShortcut->setContext(context);
        const int id = claim->id;
        connect(claim->ownShortcut.data(), &QShortcut::activated, this, [this, id] {
            for (const auto &c : m_claims)
                if (c->id == id && c->scope && c->scope->isVisible() && c->scope->isEnabled()) {
                    const auto handler = c->handler; // may release the claim
                    handler();
                    return;
                }
        });
    }
    const int id = claim->id;
    connect(scope, &QObject::destroyed, this, [this, id] { release(id); });
    m_claims.push_back(std::move(claim));
    return id;
}

void ShortcutRouter::release(int claimId)
{
    for (auto it = m_claims.begin(); it != m_claims.end(); ++it) {
        if ((*it)->id == claimId) {
            delete (*it)->ownShortcut.data();
            m_claims.erase(it);
            return;
        }
    }
}

const ShortcutRouter::Claim *ShortcutRouter::liveClaim(const QKeySequence &key) const
{
    for (auto it = m_claims.rbegin(); it != m_claims.rend(); ++it) {
        const Claim &c = **it;
        if (c.key == key && c.scope && c.scope->isVisible() && c.scope->isEnabled())
            return &c;
    }
    return nullptr;
}

bool ShortcutRouter::hasLiveClaim(const QKeySequence &key) const
{
    return liveClaim(key) != nullptr;
}

bool ShortcutRouter::dispatch(const QKeySequence &key)
{
    const Claim *claim = liveClaim(key);
    if (!claim)
        return false;
    const auto handler = claim->handler; // the handler may release its claim
    handler();
    return true;
}

} // namespace zn
