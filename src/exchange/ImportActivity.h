#pragma once

#include "platform/base/Clock.h"

#include <QObject>

#include <chrono>

namespace zn {

// Whether a journal import runs, and whether it has run long enough for its
// window to say so: a short import comes and goes without a flicker of
// progress. Main thread; each signal only on a real change.
class ImportActivity : public QObject
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kProgressDelay{500};

    // `clock` must outlive this.
    explicit ImportActivity(Clock &clock, QObject *parent = nullptr);

    bool isRunning() const { return m_running; }
    bool showsProgress() const { return m_showsProgress; }

    void start();
    void finish();

Q_SIGNALS:
    void runningChanged(bool running);
    void showsProgressChanged(bool shown);

private:
    void setShowsProgress(bool shown);

    bool m_running = false;
    bool m_showsProgress = false;
    ClockTimer m_delay;
};

} // namespace zn
