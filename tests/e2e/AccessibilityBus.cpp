#include "AccessibilityBus.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QElapsedTimer>

namespace zn::test {
namespace {

constexpr auto kAccessible = "org.a11y.atspi.Accessible";
constexpr auto kRootPath = "/org/a11y/atspi/accessible/root";
constexpr int kCallTimeoutMs = 5000;
// Bounds the walk should the tree ever loop.
constexpr int kMaxObjects = 5000;
constexpr int kMaxDepth = 60;
constexpr int kLongList = 40;
// AT-SPI's state bit for "on screen".
constexpr uint kStateShowing = 25;

} // namespace

AccessibilityBus::~AccessibilityBus()
{
    if (m_connection) {
        m_connection->unregisterObject(QStringLiteral("/org/a11y/bus"));
        QDBusConnection::disconnectFromBus(m_connection->name());
    }
    m_serviceThread.quit();
    m_serviceThread.wait();
}

QString AccessibilityBus::start()
{
    if (!m_bus.isRunning())
        return QStringLiteral("no message bus of the run's own (Debian package dbus-daemon)");
    m_connection = QDBusConnection::connectToBus(m_bus.address(), QStringLiteral("zn-accessibility"));
    if (!m_connection->isConnected())
        return QStringLiteral("cannot connect to the run's bus: ") + m_connection->lastError().message();
    m_service = std::make_unique<AccessibilityBusService>(m_bus.address());
    m_serviceThread.start();
    m_service->moveToThread(&m_serviceThread);
    if (!m_connection->registerObject(QStringLiteral("/org/a11y/bus"), m_service.get(),
                                      QDBusConnection::ExportAllSlots)
        || !m_connection->registerService(QStringLiteral("org.a11y.Bus")))
        return QStringLiteral("cannot offer the accessibility bus: ") + m_connection->lastError().message();
    return {};
}

void AccessibilityBus::addTo(QProcessEnvironment &environment) const
{
    // Qt's accessibility bridge asks the session bus for "org.a11y.Bus" and
    // publishes where it is told; "always on" stands for a screen reader
    // that is running.
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_bus.address());
    environment.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
}

QDBusMessage AccessibilityBus::callAt(const QString &service, const QString &path, const QString &interface,
                                      const QString &member, const QVariantList &arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, member);
    message.setArguments(arguments);
    return m_connection->call(message, QDBus::Block, kCallTimeoutMs);
}

QDBusMessage AccessibilityBus::call(const Node &node, const QString &interface, const QString &member,
                                    const QVariantList &arguments)
{
    return callAt(node.service, node.path, interface, member, arguments);
}

QString AccessibilityBus::nameOf(const QString &service, const QString &path)
{
    const QDBusMessage reply = callAt(service, path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                      QStringLiteral("Get"), {QString::fromLatin1(kAccessible), QStringLiteral("Name")});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return reply.arguments().first().value<QDBusVariant>().variant().toString();
}

std::optional<QString> AccessibilityBus::applicationService(const QString &application)
{
    if (!m_connection)
        return std::nullopt;
    const QDBusMessage list = m_connection->call(
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                       QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ListNames")),
        QDBus::Block, kCallTimeoutMs);
    if (list.type() != QDBusMessage::ReplyMessage || list.arguments().isEmpty())
        return std::nullopt;
    for (const QString &service : list.arguments().first().toStringList()) {
        if (!service.startsWith(QLatin1Char(':')) || service == m_connection->baseService())
            continue;
        if (nameOf(service, QString::fromLatin1(kRootPath)) == application)
            return service;
    }
    return std::nullopt;
}

QList<AccessibilityBus::Node> AccessibilityBus::objects(const QString &application)
{
    QList<Node> found;
    const std::optional<QString> service = applicationService(application);
    if (!service)
        return found;
    struct Pending
    {
        QString path;
        int depth;
    };
    QList<Pending> stack{{QString::fromLatin1(kRootPath), 0}};
    while (!stack.isEmpty() && found.size() < kMaxObjects) {
        const Pending at = stack.takeLast();
        Node node{*service, at.path, {}, nameOf(*service, at.path), false};
        const QDBusMessage role = callAt(*service, at.path, QString::fromLatin1(kAccessible),
                                         QStringLiteral("GetRoleName"));
        if (role.type() == QDBusMessage::ReplyMessage && !role.arguments().isEmpty())
            node.role = role.arguments().first().toString();
        const QDBusMessage state = callAt(*service, at.path, QString::fromLatin1(kAccessible),
                                          QStringLiteral("GetState"));
        if (state.type() == QDBusMessage::ReplyMessage && !state.arguments().isEmpty()) {
            const QDBusArgument bits = state.arguments().first().value<QDBusArgument>();
            QList<uint> words;
            bits >> words;
            node.showing = !words.isEmpty() && (words.first() & (1u << kStateShowing));
        }
        found.append(node);
        if (at.depth >= kMaxDepth)
            continue;
        const QDBusMessage children = callAt(*service, at.path, QString::fromLatin1(kAccessible),
                                             QStringLiteral("GetChildren"));
        if (children.type() != QDBusMessage::ReplyMessage || children.arguments().isEmpty())
            continue;
        const QDBusArgument list = children.arguments().first().value<QDBusArgument>();
        QList<Pending> next;
        list.beginArray();
        while (!list.atEnd()) {
            QString childService;
            QDBusObjectPath childPath;
            list.beginStructure();
            list >> childService >> childPath;
            list.endStructure();
            next.append({childPath.path(), at.depth + 1});
        }
        list.endArray();
        // A long list (the timeline's cards) adds nothing a test reads.
        if (node.role == QLatin1String("list") && next.size() > kLongList)
            continue;
        // Depth first, children in their order.
        for (auto it = next.rbegin(); it != next.rend(); ++it)
            stack.append(*it);
    }
    return found;
}

QList<AccessibilityBus::Node> AccessibilityBus::shown()
{
    QList<Node> found;
    for (const Node &node : objects(QStringLiteral("Zephyrnote")))
        if (node.showing)
            found.append(node);
    return found;
}

std::optional<AccessibilityBus::Node> AccessibilityBus::waitFor(const std::function<bool(const Node &)> &test,
                                                                std::chrono::milliseconds timeout)
{
    QElapsedTimer timer;
    timer.start();
    do {
        for (const Node &node : shown())
            if (test(node))
                return node;
        QThread::msleep(200);
    } while (timer.elapsed() < timeout.count());
    return std::nullopt;
}

bool AccessibilityBus::shows(const QString &name, std::chrono::milliseconds timeout)
{
    return waitFor([&](const Node &node) { return node.name == name; }, timeout).has_value();
}

std::string AccessibilityBus::shownNames()
{
    QStringList names;
    for (const Node &node : shown())
        if (!node.name.isEmpty())
            names << node.name;
    return names.join(QStringLiteral(" | ")).toStdString();
}

bool AccessibilityBus::press(const Node &node)
{
    const QDBusMessage reply = call(node, QStringLiteral("org.a11y.atspi.Action"), QStringLiteral("DoAction"), {0});
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
        && reply.arguments().first().toBool();
}

void BusEndToEndTest::SetUp()
{
    EndToEndTest::SetUp();
    if (IsSkipped())
        return;
    if (const QString why = bus.start(); !why.isEmpty())
        GTEST_SKIP() << "no message bus for the accessibility objects: " << why.toStdString();
}

void BusEndToEndTest::launchOnBus(QProcessEnvironment extra)
{
    bus.addTo(extra);
    launch(QStringLiteral("xcb"), extra);
}

} // namespace zn::test
