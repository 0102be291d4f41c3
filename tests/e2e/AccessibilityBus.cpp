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

QString AccessibilityBus::nameOf(const QString &service, const QString &path)
{
    QDBusMessage get = QDBusMessage::createMethodCall(service, path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << QString::fromLatin1(kAccessible) << QStringLiteral("Name");
    const QDBusMessage reply = m_connection->call(get, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return reply.arguments().first().value<QDBusVariant>().variant().toString();
}

std::optional<QString> AccessibilityBus::applicationService()
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
        if (service.startsWith(QLatin1Char(':')) && service != m_connection->baseService()
            && nameOf(service, QString::fromLatin1(kRootPath)) == u"Zephyrnote")
            return service;
    }
    return std::nullopt;
}

QList<AccessibilityBus::Node> AccessibilityBus::shown()
{
    QList<Node> found;
    const std::optional<QString> service = applicationService();
    if (!service)
        return found;
    const auto call = [&](const QString &path, const QString &method) {
        const QDBusMessage reply = m_connection->call(
            QDBusMessage::createMethodCall(*service, path, QString::fromLatin1(kAccessible), method), QDBus::Block,
            kCallTimeoutMs);
        return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() ? reply.arguments().first()
                                                                                          : QVariant();
    };
    struct Pending
    {
        QString path;
        int depth;
    };
    QList<Pending> stack{{QString::fromLatin1(kRootPath), 0}};
    for (int seen = 0; !stack.isEmpty() && seen < kMaxObjects; ++seen) {
        const Pending at = stack.takeLast();
        Node node{*service, at.path, call(at.path, QStringLiteral("GetRoleName")).toString(),
                  nameOf(*service, at.path), false};
        QList<uint> state;
        if (const QVariant bits = call(at.path, QStringLiteral("GetState")); bits.isValid())
            bits.value<QDBusArgument>() >> state;
        node.showing = !state.isEmpty() && (state.first() & (1u << kStateShowing));
        if (node.showing)
            found.append(node);
        const QVariant children = call(at.path, QStringLiteral("GetChildren"));
        if (at.depth >= kMaxDepth || !children.isValid())
            continue;
        const QDBusArgument list = children.value<QDBusArgument>();
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
    QDBusMessage action = QDBusMessage::createMethodCall(node.service, node.path, QStringLiteral("org.a11y.atspi.Action"),
                                                         QStringLiteral("DoAction"));
    action << 0;
    const QDBusMessage reply = m_connection->call(action, QDBus::Block, kCallTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
        && reply.arguments().first().toBool();
}

} // namespace zn::test
