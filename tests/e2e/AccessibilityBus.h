#pragma once

// What the program shows, read as a screen reader reads it: through the
// AT-SPI accessibility objects that Qt publishes on D-Bus. The run gets a
// message bus of its own (dbus-daemon) as the program's session bus; this
// class answers there, as the desktop's accessibility service does, that
// the same bus is the accessibility bus. No other program on the machine is
// involved, and nothing of the program is made for the test.

#include "X11Session.h"

#include "../app/theme/FakePortal.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QList>
#include <QObject>
#include <QProcessEnvironment>
#include <QString>
#include <QThread>
#include <QVariantList>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace zn::test {

// The desktop's "org.a11y.Bus" service: tells programs where accessibility
// objects go.
class AccessibilityBusService : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.a11y.Bus")
public:
    explicit AccessibilityBusService(QString address) : m_address(std::move(address)) {}
public Q_SLOTS:
    QString GetAddress() const { return m_address; }

private:
    QString m_address;
};

class AccessibilityBus
{
public:
    // One accessible object of the program.
    struct Node
    {
        QString service;
        QString path;
        QString role; // AT-SPI role name: "label", "page tab", …
        QString name;
        bool showing = false; // on screen now (not on a hidden page)
    };

    AccessibilityBus() = default;
    ~AccessibilityBus();
    AccessibilityBus(const AccessibilityBus &) = delete;
    AccessibilityBus &operator=(const AccessibilityBus &) = delete;

    // Why no bus could be started (empty when it runs).
    QString start();
    // Points a program at this bus, with its accessibility switched on.
    void addTo(QProcessEnvironment &environment) const;

    // Every object of the application that calls itself `application`,
    // depth first, without the items of a list longer than 40; empty while
    // no such application is on the bus.
    QList<Node> objects(const QString &application);
    // The program's objects on screen now, in the same order.
    QList<Node> shown();
    // Waits for an object on screen that passes `test`; the first.
    std::optional<Node> waitFor(const std::function<bool(const Node &)> &test,
                                std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Whether an object on screen has the name `name` within `timeout`.
    bool shows(const QString &name, std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // The names on screen, for a failure message.
    std::string shownNames();
    // Runs the object's first action ("press" for a tab or a button).
    bool press(const Node &node);
    // Calls `member` of `interface` on the object, as a screen reader or an
    // inspector does, and waits for the answer: the reply, the program's
    // error reply, or the bus's own error when no answer came.
    QDBusMessage call(const Node &node, const QString &interface, const QString &member,
                      const QVariantList &arguments = {});

private:
    QDBusMessage callAt(const QString &service, const QString &path, const QString &interface,
                        const QString &member, const QVariantList &arguments = {});
    std::optional<QString> applicationService(const QString &application);
    QString nameOf(const QString &service, const QString &path);

    PrivateSessionBus m_bus;
    std::optional<QDBusConnection> m_connection;
    // Answers on a thread of its own: the test's thread blocks while it
    // waits on the program.
    QThread m_serviceThread;
    std::unique_ptr<AccessibilityBusService> m_service;
};

// A run of the real program that publishes its accessibility objects on
// this test's own bus; skipped where no bus can be started.
class BusEndToEndTest : public EndToEndTest
{
protected:
    void SetUp() override;
    // The program on the display and the bus, with `extra` added.
    void launchOnBus(QProcessEnvironment extra = {});

    AccessibilityBus bus;
};

} // namespace zn::test
