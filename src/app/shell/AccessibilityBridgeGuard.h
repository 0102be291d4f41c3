#pragma once

// Screen readers read the program through the accessible objects that Qt
// publishes on the desktop's accessibility bus (AT-SPI). Qt 6.4's publisher
// ends the program on three kinds of request that any reader may send:
// - Properties.GetAll, which `gdbus introspect`, Accerciser and D-Feet send
//   for every interface (the publisher reads a second argument it lacks);
// - a method called with fewer arguments than it declares;
// - a child index past the last child of a scroll area (Qt's scroll area
//   accessible does not check it; the count moves as scroll bars come and
//   go, so a reader's earlier count can be stale).
// The guard takes the publisher's place on the bus and answers those itself;
// every other request reaches the publisher unchanged, so readers read what
// they read before.

#include <QAccessible>
#include <QDBusVirtualObject>
#include <QHash>
#include <QPointer>

namespace zn {

class AccessibilityBridgeGuard : public QDBusVirtualObject, private QAccessible::ActivationObserver
{
public:
    // Stands in front of the publisher as soon as accessibility is switched
    // on (at once when it already is). Create it after the application
    // object and keep it for the run.
    explicit AccessibilityBridgeGuard(QObject *parent = nullptr);
    ~AccessibilityBridgeGuard() override;
    AccessibilityBridgeGuard(const AccessibilityBridgeGuard &) = delete;
    AccessibilityBridgeGuard &operator=(const AccessibilityBridgeGuard &) = delete;

    // Whether it stands in front of the publisher now.
    bool isGuarding() const { return !m_publisher.isNull(); }

    QString introspect(const QString &path) const override;
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override;

private:
    void accessibilityActiveChanged(bool active) override;
    void standInFront();
    // How many arguments `member` of `interface` declares, read from the
    // publisher's own description of the object at `path`; -1 when it
    // declares no such method.
    int declaredArguments(const QString &interface, const QString &member, const QString &path);
    bool isPastLastChild(const QDBusMessage &message) const;

    QPointer<QDBusVirtualObject> m_publisher;
    // Interface → method → number of arguments. Qt describes each interface
    // the same way on every object, so one description serves them all.
    QHash<QString, QHash<QString, int>> m_arguments;
};

} // namespace zn
