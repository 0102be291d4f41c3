#include "platform/base/WallClockJumps.h"

#include "platform/base/SystemLog.h"

#include <QSocketNotifier>

#ifdef Q_OS_LINUX
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>
#endif

namespace zn {

WallClockJumps::WallClockJumps(QObject *parent)
    : QObject(parent)
{
#ifdef Q_OS_LINUX
    m_fd = ::timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_fd < 0 || !arm()) {
        giveUp();
        return;
    }
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &WallClockJumps::onReadable);
#endif
}

WallClockJumps::~WallClockJumps()
{
#ifdef Q_OS_LINUX
    if (m_notifier)
        m_notifier->setEnabled(false);
    if (m_fd >= 0)
        ::close(m_fd);
#endif
}

bool WallClockJumps::arm()
{
#ifdef Q_OS_LINUX
    // A deadline that never comes: the timer exists only to be cancelled
    // when the wall clock moves against the monotonic one.
    itimerspec never{};
    never.it_value.tv_sec = std::numeric_limits<time_t>::max();
    return ::timerfd_settime(m_fd, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &never, nullptr) == 0;
#else
    return false;
#endif
}

void WallClockJumps::giveUp()
{
#ifdef Q_OS_LINUX
    systemLog(QStringLiteral("Zephyrnote: clock changes are noticed by the periodic day check only (%1).")
                  .arg(QString::fromLocal8Bit(std::strerror(errno))));
    if (m_notifier)
        m_notifier->setEnabled(false);
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
#endif
}

void WallClockJumps::onReadable()
{
#ifdef Q_OS_LINUX
    quint64 expirations = 0;
    const ssize_t got = ::read(m_fd, &expirations, sizeof expirations);
    if (got < 0 && errno == EAGAIN)
        return;
    // ECANCELED is the jump; a cancelled timer stays quiet until set again.
    if (!arm())
        giveUp();
    Q_EMIT jumped();
#endif
}

} // namespace zn
