// The real program read the way screen readers and accessibility
// inspectors read it: every accessible object of the main window, each of
// its destinations and the settings window, asked over the private bus
// for what a reader asks (`gdbus introspect` included). The program keeps
// running and answers each request; where it has no such thing it says so.

#include "AccessibilityBus.h"
#include "X11Session.h"

#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

namespace zn::test {
namespace {

using namespace std::chrono_literals;

using A11yNode = AccessibilityBus::Node;

const QString kAccessible = QStringLiteral("org.a11y.atspi.Accessible");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kText = QStringLiteral("org.a11y.atspi.Text");

// Whether the program itself answered: errors that the bus gives in its
// place mean it is gone or stuck.
bool answered(const QDBusMessage &reply)
{
    if (reply.type() == QDBusMessage::ReplyMessage)
        return true;
    static const QStringList noAnswer{QStringLiteral("org.freedesktop.DBus.Error.NoReply"),
                                      QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown"),
                                      QStringLiteral("org.freedesktop.DBus.Error.NameHasNoOwner"),
                                      QStringLiteral("org.freedesktop.DBus.Error.Timeout"),
                                      QStringLiteral("org.freedesktop.DBus.Error.TimedOut"),
                                      QStringLiteral("org.freedesktop.DBus.Error.Disconnected")};
    return reply.type() == QDBusMessage::ErrorMessage && !noAnswer.contains(reply.errorName());
}

QVariant firstValue(const QDBusMessage &reply)
{
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    const QVariant value = reply.arguments().constFirst();
    return value.canConvert<QDBusVariant>() ? value.value<QDBusVariant>().variant() : value;
}

// The object path inside an AT-SPI object reference, "(so)".
QString referencedPath(const QDBusMessage &reply)
{
    const QVariant value = firstValue(reply);
    if (!value.canConvert<QDBusArgument>())
        return {};
    const QDBusArgument reference = value.value<QDBusArgument>();
    QString service;
    QDBusObjectPath path;
    reference.beginStructure();
    reference >> service >> path;
    reference.endStructure();
    return path.path();
}

class AccessibilityEndToEnd : public BusEndToEndTest
{
protected:
    QList<A11yNode> tree() { return bus.objects(QStringLiteral("Zephyrnote")); }

    // The first object with this name and role (any role when empty).
    std::optional<A11yNode> find(const QList<A11yNode> &nodes, const QString &role, const QString &name)
    {
        for (const A11yNode &node : nodes)
            if ((role.isEmpty() || node.role == role) && node.name == name)
                return node;
        return std::nullopt;
    }

    // Asks `node` what a screen reader asks of every object, and what an
    // inspector asks (all properties of each interface at once). The first
    // request the program did not answer, or one answered wrongly; empty
    // when all went well.
    QString read(const A11yNode &node)
    {
        const auto describe = [&](const QString &request, const QDBusMessage &reply) {
            return QStringLiteral("%1 of %2 \"%3\" (%4): %5 %6")
                .arg(request, node.role, node.name, node.path, reply.errorName(), reply.errorMessage());
        };
        QStringList interfaces;
        const QDBusMessage declared = bus.call(node, kAccessible, QStringLiteral("GetInterfaces"));
        if (!answered(declared))
            return describe(QStringLiteral("GetInterfaces"), declared);
        interfaces = firstValue(declared).toStringList();
        for (const QString &interface : std::as_const(interfaces)) {
            const QDBusMessage all = bus.call(node, kProperties, QStringLiteral("GetAll"), {interface});
            if (!answered(all))
                return describe(QStringLiteral("GetAll ") + interface, all);
        }
        for (const QString &method : {QStringLiteral("GetRole"), QStringLiteral("GetAttributes"),
                                      QStringLiteral("GetIndexInParent"), QStringLiteral("GetRelationSet")}) {
            const QDBusMessage reply = bus.call(node, kAccessible, method);
            if (!answered(reply))
                return describe(method, reply);
        }
        const QDBusMessage parent = bus.call(node, kProperties, QStringLiteral("Get"), {kAccessible, QStringLiteral("Parent")});
        if (!answered(parent))
            return describe(QStringLiteral("Parent"), parent);

        // A reader's count can be a moment old: one past the last child is
        // no object, as a negative index is.
        const QDBusMessage count = bus.call(node, kProperties, QStringLiteral("Get"), {kAccessible, QStringLiteral("ChildCount")});
        if (!answered(count))
            return describe(QStringLiteral("ChildCount"), count);
        const int children = firstValue(count).toInt();
        for (const int index : {children - 1, children}) {
            if (index < 0)
                continue;
            const QDBusMessage child = bus.call(node, kAccessible, QStringLiteral("GetChildAtIndex"), {index});
            if (!answered(child))
                return describe(QStringLiteral("GetChildAtIndex %1").arg(index), child);
            if (index == children && referencedPath(child) != QLatin1String("/org/a11y/atspi/null"))
                return describe(QStringLiteral("GetChildAtIndex past the end gave ") + referencedPath(child), child);
        }

        if (interfaces.contains(kText)) {
            const QDBusMessage length = bus.call(node, kProperties, QStringLiteral("Get"), {kText, QStringLiteral("CharacterCount")});
            const int characters = firstValue(length).toInt();
            const QList<std::pair<QString, QVariantList>> reads{
                {QStringLiteral("GetText"), {0, -1}},
                {QStringLiteral("GetTextAtOffset"), {characters, 2u}},
                {QStringLiteral("GetCharacterExtents"), {characters, 0u}},
                {QStringLiteral("GetAttributeRun"), {characters, true}}};
            for (const auto &[method, arguments] : reads) {
                const QDBusMessage reply = bus.call(node, kText, method, arguments);
                if (!answered(reply))
                    return describe(method, reply);
            }
        }
        return {};
    }
};

TEST_F(AccessibilityEndToEnd, EveryObjectReadAsScreenReadersAndInspectorsReadItLeavesTheProgramRunning)
{
    home.markOnboardingDone();
    ASSERT_EQ(home.saveEntries({QStringLiteral("A bright morning walk with friends by the sea"),
                                QStringLiteral("Rain all day and a heavy, tired evening")})
                  .size(),
              2);
    launchOnBus();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(waitForWindow(display.name(), QStringLiteral("^Timeline"), 30s)) << whatHappened().toStdString();
    // The menus, once the program has published them.
    QList<A11yNode> menus;
    QElapsedTimer published;
    published.start();
    while (!find(menus = tree(), QStringLiteral("menu item"), QStringLiteral("Calendar")) && published.elapsed() < 15000)
        QThread::msleep(100);

    // Each destination builds its page when first shown; the settings
    // window holds all its tabs.
    for (const QString &item : {QStringLiteral("Calendar"), QStringLiteral("Emotional Weather"),
                                QStringLiteral("Voice"), QStringLiteral("Timeline"), QStringLiteral("Settings…")}) {
        const auto command = find(menus, QStringLiteral("menu item"), item);
        ASSERT_TRUE(command) << "no menu item " << item.toStdString();
        ASSERT_TRUE(bus.press(*command)) << item.toStdString();
    }
    ASSERT_TRUE(waitForWindow(display.name(), QStringLiteral("^Settings$"), 10s)) << whatHappened().toStdString();

    const QList<A11yNode> nodes = tree();
    for (const auto &[role, name] : {std::pair{QStringLiteral("list"), QStringLiteral("Timeline")},
                                    std::pair{QStringLiteral("filler"), QStringLiteral("Mood calendar")},
                                    std::pair{QStringLiteral("page tab list"), QStringLiteral("Period")},
                                    std::pair{QString(), QStringLiteral("Voice orb, idle")},
                                    std::pair{QStringLiteral("page tab"), QStringLiteral("Intelligence")}})
        EXPECT_TRUE(find(nodes, role, name)) << "not among the objects read: " << role.toStdString() << " \""
                                             << name.toStdString() << "\"";
    for (const A11yNode &node : nodes) {
        const QString failed = read(node);
        ASSERT_TRUE(failed.isEmpty()) << failed.toStdString() << "\n" << whatHappened().toStdString();
    }

    // A request short of its arguments is refused, not obeyed.
    const A11yNode root = nodes.constFirst();
    const QDBusMessage bare = bus.call(root, kAccessible, QStringLiteral("GetChildAtIndex"));
    EXPECT_EQ(bare.errorName(), QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"));
    const QDBusMessage halfGet = bus.call(root, kProperties, QStringLiteral("Get"), {kAccessible});
    EXPECT_EQ(halfGet.errorName(), QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"));
    // What `gdbus introspect` reads once GetAll is refused: each property.
    EXPECT_EQ(
        firstValue(bus.call(root, kProperties, QStringLiteral("Get"), {kAccessible, QStringLiteral("Name")})).toString(),
        QStringLiteral("Zephyrnote"));
    EXPECT_FALSE(app.waitForFinished(200)) << whatHappened().toStdString();
}

} // namespace
} // namespace zn::test
