#include "app/shell/AccessibilityBridgeGuard.h"

#include "platform/base/SystemLog.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QTimer>
#include <QXmlStreamReader>

namespace zn {
namespace {

// Where Qt's accessibility bridge publishes: the connection it names
// "a11y", one object handling every path below the publisher's.
constexpr auto kConnection = "a11y";
constexpr auto kPublisherPath = "/org/a11y/atspi/accessible";
constexpr auto kRootPath = "/org/a11y/atspi/accessible/root";
constexpr auto kNullPath = "/org/a11y/atspi/null";
constexpr auto kAtspiPrefix = "org.a11y.atspi.";
constexpr auto kAccessible = "org.a11y.atspi.Accessible";
constexpr auto kProperties = "org.freedesktop.DBus.Properties";

// An AT-SPI object reference, "(so)": the reply for "no such child".
struct ObjectReference
{
    QString service;
    QDBusObjectPath path;
};

QDBusArgument &operator<<(QDBusArgument &argument, const ObjectReference &reference)
{
    argument.beginStructure();
    argument << reference.service << reference.path;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, ObjectReference &reference)
{
    argument.beginStructure();
    argument >> reference.service >> reference.path;
    argument.endStructure();
    return argument;
}

QString wrongCount(const QString &member, qsizetype expected, qsizetype given)
{
    return QStringLiteral("%1 expects %2 argument%3, %4 given.")
        .arg(member)
        .arg(expected)
        .arg(expected == 1 ? QString() : QStringLiteral("s"))
        .arg(given);
}

bool refuse(const QDBusMessage &message, const QDBusConnection &connection, QDBusError::ErrorType type,
            const QString &why)
{
    connection.send(message.createErrorReply(type, why));
    return true;
}

// The accessible object a path of the publisher names, while it is valid.
QAccessibleInterface *accessibleAt(const QString &path)
{
    QAccessibleInterface *object = nullptr;
    if (path == QLatin1String(kRootPath)) {
        object = QAccessible::queryAccessibleInterface(QCoreApplication::instance());
    } else {
        const QString prefix = QLatin1String(kPublisherPath) + QLatin1Char('/');
        bool isNumber = false;
        const QAccessible::Id id = path.startsWith(prefix) ? path.mid(prefix.size()).toUInt(&isNumber) : 0;
        if (isNumber)
            object = QAccessible::accessibleInterface(id);
    }
    return object && object->isValid() ? object : nullptr;
}

} // namespace

AccessibilityBridgeGuard::AccessibilityBridgeGuard(QObject *parent)
    : QDBusVirtualObject(parent)
{
    QAccessible::installActivationObserver(this);
    if (QAccessible::isActive())
        accessibilityActiveChanged(true);
}

AccessibilityBridgeGuard::~AccessibilityBridgeGuard()
{
    QAccessible::removeActivationObserver(this);
    if (!m_publisher)
        return;
    // The publisher outlives the guard only when the guard goes first: it
    // gets its place back.
    QDBusConnection bus(QString::fromLatin1(kConnection));
    if (bus.isConnected() && bus.objectRegisteredAt(QString::fromLatin1(kPublisherPath)) == this) {
        bus.unregisterObject(QString::fromLatin1(kPublisherPath));
        bus.registerVirtualObject(QString::fromLatin1(kPublisherPath), m_publisher, QDBusConnection::SubPath);
    }
}

void AccessibilityBridgeGuard::accessibilityActiveChanged(bool active)
{
    // The bridge switches accessibility on first and publishes right after,
    // in the same turn of the event loop.
    if (active && !m_publisher)
        QTimer::singleShot(0, this, [this] { standInFront(); });
}

void AccessibilityBridgeGuard::standInFront()
{
    QDBusConnection bus(QString::fromLatin1(kConnection));
    if (m_publisher || !bus.isConnected())
        return;
    const QString path = QString::fromLatin1(kPublisherPath);
    auto *publisher = qobject_cast<QDBusVirtualObject *>(bus.objectRegisteredAt(path));
    if (!publisher || publisher == this) {
        systemLog(QStringLiteral("Zephyrnote: accessibility is on but its objects were not found on the bus; "
                                 "they are published without the guard."));
        return;
    }
    static const bool registered = [] {
        qDBusRegisterMetaType<ObjectReference>();
        return true;
    }();
    Q_UNUSED(registered);
    bus.unregisterObject(path);
    if (!bus.registerVirtualObject(path, this, QDBusConnection::SubPath)) {
        bus.registerVirtualObject(path, publisher, QDBusConnection::SubPath);
        systemLog(QStringLiteral("Zephyrnote: could not guard the accessibility objects on the bus."));
        return;
    }
    m_publisher = publisher;
}

QString AccessibilityBridgeGuard::introspect(const QString &path) const
{
    return m_publisher ? m_publisher->introspect(path) : QString();
}

bool AccessibilityBridgeGuard::handleMessage(const QDBusMessage &message, const QDBusConnection &connection)
{
    if (!m_publisher)
        return false;
    const QString interface = message.interface();
    const QString member = message.member();
    const qsizetype given = message.arguments().size();

    if (interface == QLatin1String(kProperties)) {
        if (member == QLatin1String("GetAll"))
            return refuse(message, connection, QDBusError::NotSupported,
                          QStringLiteral("GetAll is not offered here; ask for each property with Get."));
        const bool isGet = member == QLatin1String("Get");
        if (!isGet && member != QLatin1String("Set"))
            return refuse(message, connection, QDBusError::UnknownMethod,
                          QStringLiteral("No method %1 in %2.").arg(member, interface));
        const qsizetype needed = isGet ? 2 : 3;
        if (given < needed)
            return refuse(message, connection, QDBusError::InvalidArgs, wrongCount(member, needed, given));
    } else if (interface.startsWith(QLatin1String(kAtspiPrefix))) {
        const int declared = declaredArguments(interface, member, message.path());
        if (given < declared)
            return refuse(message, connection, QDBusError::InvalidArgs, wrongCount(member, declared, given));
        if (interface == QLatin1String(kAccessible) && member == QLatin1String("GetChildAtIndex")
            && isPastLastChild(message)) {
            // As the publisher answers for a negative index: no object.
            const ObjectReference none{connection.baseService(), QDBusObjectPath(QString::fromLatin1(kNullPath))};
            connection.send(message.createReply(QVariant::fromValue(none)));
            return true;
        }
    }
    return m_publisher->handleMessage(message, connection);
}

int AccessibilityBridgeGuard::declaredArguments(const QString &interface, const QString &member, const QString &path)
{
    if (!m_arguments.contains(interface)) {
        // Learn every interface the object declares.
        QXmlStreamReader xml(m_publisher->introspect(path));
        QString current;
        QString method;
        int count = 0;
        while (!xml.atEnd()) {
            const QXmlStreamReader::TokenType token = xml.readNext();
            const QStringView name = xml.name();
            if (token == QXmlStreamReader::StartElement) {
                const QXmlStreamAttributes attributes = xml.attributes();
                if (name == QLatin1String("interface")) {
                    current = attributes.value(QLatin1String("name")).toString();
                } else if (name == QLatin1String("method")) {
                    method = attributes.value(QLatin1String("name")).toString();
                    count = 0;
                } else if (name == QLatin1String("arg") && !method.isEmpty()
                           && attributes.value(QLatin1String("direction")) != QLatin1String("out")) {
                    ++count; // a method's arguments go in unless marked otherwise
                }
            } else if (token == QXmlStreamReader::EndElement) {
                if (name == QLatin1String("method") && current.startsWith(QLatin1String(kAtspiPrefix)))
                    m_arguments[current].insert(method, count);
                if (name == QLatin1String("method"))
                    method.clear();
            }
        }
    }
    const auto known = m_arguments.constFind(interface);
    return known == m_arguments.constEnd() ? -1 : known->value(member, -1);
}

bool AccessibilityBridgeGuard::isPastLastChild(const QDBusMessage &message) const
{
    const QAccessibleInterface *object = accessibleAt(message.path());
    return object && !message.arguments().isEmpty()
        && message.arguments().constFirst().toInt() >= object->childCount();
}

} // namespace zn
