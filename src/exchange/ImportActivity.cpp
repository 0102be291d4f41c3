#include "exchange/ImportActivity.h"

namespace zn {

ImportActivity::ImportActivity(Clock &clock, QObject *parent)
    : QObject(parent)
    , m_delay(clock, this)
{
}

void ImportActivity::start()
{
    if (m_running)
        return;
    m_running = true;
    Q_EMIT runningChanged(true);
    m_delay.start(kProgressDelay, [this] { setShowsProgress(true); });
}

void ImportActivity::finish()
{
    if (!m_running)
        return;
    m_running = false;
    m_delay.stop();
    setShowsProgress(false);
    Q_EMIT runningChanged(false);
}

void ImportActivity::setShowsProgress(bool shown)
{
    if (m_showsProgress == shown)
        return;
    m_showsProgress = shown;
    Q_EMIT showsProgressChanged(shown);
}

} // namespace zn
