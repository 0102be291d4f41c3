#pragma once

#include <QObject>

class QSocketNotifier;

namespace zn {

// SIGTERM, SIGHUP and SIGINT (the session logging out, the terminal
// closing, Ctrl+C) as a Qt signal on the main thread. The handler only
// writes the signal's number into a socket pair, whose other end a socket
// notifier reads in the event loop. One at a time; the earlier handlers come
// back when it goes.
class TerminationSignals : public QObject
{
    Q_OBJECT
public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

    // Whether the handlers are in place.
    bool isWatching() const { return m_notifier != nullptr; }

Q_SIGNALS:
    void received(int signalNumber);

private:
    void readPending();

    QSocketNotifier *m_notifier = nullptr;
};

} // namespace zn
