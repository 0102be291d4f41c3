#pragma once

#include "support/TestSupport.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusVariant>
#include <QHash>
#include <QObject>
#include <QProcess>

namespace zn::test {

// A private session bus for one test: a dbus-daemon of our own whose address
// the process adopts, so the code under test talks to it as it would to the
// desktop's bus.
class PrivateSessionBus
{
public:
    PrivateSessionBus();
    ~PrivateSessionBus();
    bool isRunning() const { return !m_address.isEmpty(); }
    QString address() const { return m_address; }

private:
    TempDir m_dir;
    QProcess m_daemon;
    QString m_address;
};

// Stands in for the desktop's settings portal on a bus: answers Read from a
// table (wrapped twice, as older portals do, when asked) and can announce a
// change.
class FakeSettingsPortal : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    explicit FakeSettingsPortal(bool wrapTwice = false);
    ~FakeSettingsPortal() override;

    // Registers the portal's name and object on the bus at `address`.
    bool publish(const QString &address);

    void set(const QString &group, const QString &key, const QVariant &value);
    void announce(const QString &group, const QString &key, const QVariant &value);
    int reads() const { return m_reads; }

public Q_SLOTS:
    QDBusVariant Read(const QString &group, const QString &key);

private:
    QHash<QString, QVariant> m_values;
    bool m_wrapTwice;
    int m_reads = 0;
    QString m_connectionName;
};

} // namespace zn::test
