#include "AccessibilityBus.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>

#include <csignal>

#include <sys/prctl.h>

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
    m_service.reset();
    if (m_daemon && m_daemon->state() != QProcess::NotRunning) {
        m_daemon->terminate();
        if (!m_daemon->waitForFinished(3000)) {
            m_daemon->kill();
            m_daemon->waitForFinished(1000);
        }
    }
}

QString AccessibilityBus::start()
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (program.isEmpty())
        return QStringLiteral("dbus-daemon is not installed (Debian package dbus-daemon)");
    // A bus that starts no services: nothing runs on it but the program
    // and this test.
    const QString config = m_folder.filePath(QStringLiteral("bus.conf"));
    QFile file(config);
    if (!m_folder.isValid() || !file.open(QIODevice::WriteOnly))
        return QStringLiteral("cannot write the bus configuration");
    file.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
               " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
               "<busconfig>\n"
               "  <type>session</type>\n"
               "  <listen>unix:dir=" + m_folder.path().toLocal8Bit() + "</listen>\n"
               "  <auth>EXTERNAL</auth>\n"
               "  <policy context=\"default\">\n"
               "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
               "    <allow eavesdrop=\"true\"/>\n"
               "    <allow own=\"*\"/>\n"
               "  </policy>\n"
               "</busconfig>\n");
    file.close();
    m_daemon = std::make_unique<QProcess>();
    m_daemon->setStandardErrorFile(QProcess::nullDevice());
    // It ends with this test process, even one killed on its time-out.
    m_daemon->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    m_daemon->start(program, {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                              QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1")});
    if (!m_daemon->waitForStarted(5000))
        return QStringLiteral("dbus-daemon did not start: ") + m_daemon->errorString();
    QByteArray written;
    QElapsedTimer timer;
    timer.start();
    while (!written.contains('\n') && timer.elapsed() < 10000) {
        if (m_daemon->state() != QProcess::Running)
            return QStringLiteral("dbus-daemon ended before it named its address");
        m_daemon->waitForReadyRead(200);
        written += m_daemon->readAllStandardOutput();
    }
    m_address = QString::fromLocal8Bit(written).trimmed();
    if (m_address.isEmpty())
        return QStringLiteral("dbus-daemon named no address in 10 s");
    m_connection = QDBusConnection::connectToBus(m_address, QStringLiteral("zn-accessibility-") + m_address);
    if (!m_connection->isConnected())
        return QStringLiteral("cannot connect to the run's bus: ") + m_connection->lastError().message();

    m_service = std::make_unique<AccessibilityBusService>(m_address);
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
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_address);
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

bool AccessibilityBus::press(const Node &node)
{
    const QDBusMessage reply = call(node, QStringLiteral("org.a11y.atspi.Action"), QStringLiteral("DoAction"), {0});
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
        && reply.arguments().first().toBool();
}

} // namespace zn::test
