#include "core/DayWatch.h"

#include "core/CalendarProvider.h"
#include "platform/base/Clock.h"
#include "platform/base/SystemLog.h"
#include "platform/base/WallClockJumps.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimeZone>

#include <algorithm>

namespace zn {
namespace {

using namespace std::chrono;

// A timer may fire a hair early; a late look costs nothing.
constexpr qint64 kMidnightSlackMs = 250;
constexpr qint64 kShortestWaitMs = 1'000;
constexpr qint64 kLongestWaitMs = qint64(25) * 3600 * 1000;

} // namespace

DayWatch::DayWatch(Clock &clock, const CalendarProvider &calendar, QObject *parent)
    : DayWatch(clock, &calendar, nullptr, {}, parent)
{
}

DayWatch::DayWatch(Clock &clock, CalendarProvider &calendar, ZoneSource zoneSource, QObject *parent)
    : DayWatch(clock, &calendar, &calendar, std::move(zoneSource), parent)
{
}

DayWatch::DayWatch(Clock &clock, const CalendarProvider *calendar, CalendarProvider *zoneTarget,
                   ZoneSource zoneSource, QObject *parent)
    : QObject(parent)
    , m_clock(&clock)
    , m_calendar(calendar)
    , m_zoneTarget(zoneTarget)
    , m_zoneSource(std::move(zoneSource))
    , m_zoneId(calendar->timeZone().id())
    , m_midnight(std::make_unique<ClockTimer>(clock, this))
    , m_recheck(std::make_unique<ClockTimer>(clock, this))
{
    // The zone may have changed since the calendar was made; nobody listens yet.
    followZone();
    m_today = m_clock->now();
    m_todayKey = m_calendar->dayKey(m_today);
    arm();
}

DayWatch::~DayWatch() = default;

DayWatch &DayWatch::system()
{
    static QPointer<DayWatch> watch;
    if (!watch) {
        QCoreApplication *app = QCoreApplication::instance();
        watch = new DayWatch(Clock::system(), CalendarProvider::sharedInstance(),
                             [] { return QTimeZone::systemTimeZoneId(); }, app);
        if (app) {
            auto *jumps = new WallClockJumps(watch);
            connect(jumps, &WallClockJumps::jumped, watch, &DayWatch::recheck);
        }
    }
    return *watch;
}

DayWatch &DayWatch::forScreens(Clock &clock, const CalendarProvider &calendar, QObject *owner)
{
    if (&clock == &Clock::system() && &calendar == &CalendarProvider::shared())
        return system();
    return *new DayWatch(clock, calendar, owner);
}

bool DayWatch::followZone()
{
    if (!m_zoneSource || !m_zoneTarget)
        return false;
    const QByteArray id = m_zoneSource();
    // Only a change of what the system reports counts: a name Qt cannot
    // read is kept from being tried again at every look.
    if (id == m_zoneId)
        return false;
    m_zoneId = id;
    const QTimeZone zone(id);
    if (!zone.isValid() || zone.id() == m_calendar->timeZone().id())
        return false;
    m_zoneTarget->setTimeZone(zone);
    systemLog(QStringLiteral("Zephyrnote: the time zone is now %1; the journal's days follow it.")
                  .arg(QString::fromUtf8(id)));
    return true;
}

void DayWatch::recheck()
{
    const bool zoneMoved = followZone();
    m_today = m_clock->now();
    const QString key = m_calendar->dayKey(m_today);
    const bool dayMoved = key != m_todayKey;
    m_todayKey = key;
    arm();
    if (zoneMoved)
        Q_EMIT timeZoneChanged();
    if (zoneMoved || dayMoved)
        Q_EMIT dayChanged();
}

void DayWatch::arm()
{
    // The first instant of tomorrow, which is 01:00 where the clock skips
    // midnight.
    const QDateTime now = m_clock->now();
    const QDateTime tomorrow = m_calendar->startOfDay(m_calendar->addingDays(m_calendar->startOfDay(now), 1));
    const qint64 wait = std::clamp(now.msecsTo(tomorrow) + kMidnightSlackMs, kShortestWaitMs, kLongestWaitMs);
    m_midnight->start(milliseconds(wait), [this] { recheck(); });
    m_recheck->start(kRecheckInterval, [this] { recheck(); });
}

} // namespace zn
