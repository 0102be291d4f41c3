#pragma once

#include "views/workspace/state/WorkspaceTypes.h"

#include <QMetaObject>
#include <QObject>

#include <functional>
#include <map>

namespace zn {

class NotificationCenter;

// Turns the menu's "zep.command." notifications into calls: one call of the
// command's action per notification, whatever its sender or payload. Names
// without an action, and every name once this object is gone, do nothing.
class WorkspaceCommandListeners : public QObject
{
    Q_OBJECT
public:
    using Actions = std::map<WorkspaceCommand, std::function<void()>>;

    WorkspaceCommandListeners(NotificationCenter &center, Actions actions, QObject *parent = nullptr);
    ~WorkspaceCommandListeners() override;

private:
    Actions m_actions;
    QMetaObject::Connection m_connection;
};

} // namespace zn
