#include "FakePortal.h"

#include <QDBusMessage>
#include <QFile>
#include <QStandardPaths>

#include <csignal>
#include <sys/prctl.h>

namespace zn::test {

PrivateSessionBus::PrivateSessionBus()
{
    if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
        return;
    // No service folders: nothing on this bus starts unless a test publishes it.
    QFile config(m_dir.file(QStringLiteral("bus.conf")));
    if (!config.open(QIODevice::WriteOnly))
        return;
    config.write(QStringLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
                                "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">"
                                "<busconfig><type>session</type><listen>unix:dir=%1</listen><auth>EXTERNAL</auth>"
                                "<policy context=\"default\"><allow user=\"*\"/><allow send_destination=\"*\"/>"
                                "<allow receive_sender=\"*\"/><allow own=\"*\"/>"
                                "</policy></busconfig>")
                     .arg(m_dir.path())
                     .toUtf8());
    config.close();
    // A test killed on its time-out takes its bus with it.
    m_daemon.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_daemon.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--config-file=") + config.fileName(),
                                                   QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    if (!m_daemon.waitForStarted(5000))
        return;
    while (m_daemon.state() == QProcess::Running && !m_daemon.canReadLine())
        m_daemon.waitForReadyRead(100);
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    // Must be set before the process first asks for its session bus.
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_address.toUtf8());
}

PrivateSessionBus::~PrivateSessionBus()
{
    if (m_daemon.state() != QProcess::NotRunning) {
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(2000))
            m_daemon.kill();
        m_daemon.waitForFinished(2000);
    }
}

FakeSettingsPortal::FakeSettingsPortal(bool wrapTwice)
    : m_wrapTwice(wrapTwice)
{
}

FakeSettingsPortal::~FakeSettingsPortal()
{
    if (!m_connectionName.isEmpty())
        QDBusConnection::disconnectFromBus(m_connectionName);
}

bool FakeSettingsPortal::publish(const QString &address)
{
    m_connectionName = QStringLiteral("fake-portal");
    QDBusConnection bus = QDBusConnection::connectToBus(address, m_connectionName);
    return bus.isConnected()
           && bus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), this,
                                 QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals)
           && bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop"));
}

void FakeSettingsPortal::set(const QString &group, const QString &key, const QVariant &value)
{
    m_values.insert(group + u'\n' + key, value);
}

void FakeSettingsPortal::announce(const QString &group, const QString &key, const QVariant &value)
{
    set(group, key, value);
    QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/portal/desktop"),
                                                     QStringLiteral("org.freedesktop.portal.Settings"),
                                                     QStringLiteral("SettingChanged"));
    signal << group << key << QVariant::fromValue(QDBusVariant(value));
    QDBusConnection(m_connectionName).send(signal);
}

QDBusVariant FakeSettingsPortal::Read(const QString &group, const QString &key)
{
    ++m_reads;
    const auto found = m_values.constFind(group + u'\n' + key);
    if (found == m_values.constEnd()) {
        sendErrorReply(QStringLiteral("org.freedesktop.portal.Error.NotFound"), QStringLiteral("Requested setting not found"));
        return {};
    }
    if (m_wrapTwice)
        return QDBusVariant(QVariant::fromValue(QDBusVariant(*found)));
    return QDBusVariant(*found);
}

} // namespace zn::test
