#include "views/workspace/state/WorkspaceCommandListeners.h"

#include "platform/base/NotificationCenter.h"

namespace zn {

WorkspaceCommandListeners::WorkspaceCommandListeners(NotificationCenter &center, Actions actions, QObject *parent)
    : QObject(parent)
    , m_actions(std::move(actions))
{
    // One receiver for all names: the sender's object and payload are
    // never read, and a name without an action falls through.
    m_connection = connect(&center, &NotificationCenter::posted, this, [this](const QString &name) {
        const auto command = workspaceCommandFromNotification(name);
        if (!command)
            return;
        const auto it = m_actions.find(*command);
        if (it != m_actions.end() && it->second)
            it->second();
    });
}

WorkspaceCommandListeners::~WorkspaceCommandListeners()
{
    disconnect(m_connection);
}

} // namespace zn
