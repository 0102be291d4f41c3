#pragma once

#include <QObject>

class QSocketNotifier;

namespace zn {

// Tells when the system's wall clock may have jumped while no timer ran:
// the clock was set (by hand or by time synchronisation) or the computer
// woke from sleep. Timers wait in monotonic time, which stands still in
// sleep and ignores a clock being set. On Linux this is a timerfd that the
// kernel cancels at such moments; elsewhere it never fires.
class WallClockJumps final : public QObject
{
    Q_OBJECT
public:
    explicit WallClockJumps(QObject *parent = nullptr);
    ~WallClockJumps() override;

Q_SIGNALS:
    void jumped();

private:
    bool arm();
    void giveUp();
    void onReadable();

    int m_fd = -1;
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace zn
