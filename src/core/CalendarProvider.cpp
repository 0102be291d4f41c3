#include "core/CalendarProvider.h"

#include <QMutex>
#include <QMutexLocker>

#include <atomic>

namespace zn {
namespace {
constexpr qint64 kDaySeconds = 86'400;
constexpr qint64 kFallbackMonthSeconds = 2'592'000;

// Guards every calendar's zone: the shared one moves to a new zone on the
// main thread while other threads (a second store connection, background
// summaries) read it.
QMutex &zoneMutex()
{
    static QMutex mutex;
    return mutex;
}

std::atomic<quint64> sharedZoneGeneration{0};
} // namespace

CalendarProvider::CalendarProvider(QCalendar calendar, QTimeZone timeZone)
    : m_calendar(std::move(calendar))
    , m_timeZone(timeZone.isValid() ? std::move(timeZone) : QTimeZone::systemTimeZone())
{
}

CalendarProvider &CalendarProvider::sharedInstance()
{
    // Function-local static: built once, safely against concurrent first use.
    static CalendarProvider provider;
    return provider;
}

const CalendarProvider &CalendarProvider::shared()
{
    return sharedInstance();
}

quint64 CalendarProvider::sharedTimeZoneGeneration()
{
    return sharedZoneGeneration.load(std::memory_order_acquire);
}

void CalendarProvider::setTimeZone(const QTimeZone &zone)
{
    if (!zone.isValid())
        return;
    QMutexLocker lock(&zoneMutex());
    m_timeZone = zone;
    if (this == &sharedInstance())
        sharedZoneGeneration.fetch_add(1, std::memory_order_acq_rel);
}

QTimeZone CalendarProvider::timeZone() const
{
    QMutexLocker lock(&zoneMutex());
    return m_timeZone;
}

QDate CalendarProvider::localDate(const QDateTime &date) const
{
    return date.toTimeZone(timeZone()).date();
}

QDateTime CalendarProvider::startOfDate(const QDate &day) const
{
    // QDate::startOfDay copes with zones whose clocks skip midnight.
    return day.startOfDay(timeZone());
}

QString CalendarProvider::dayKey(const QDateTime &date) const
{
    const QCalendar::YearMonthDay parts = m_calendar.partsFromDate(localDate(date));
    const int year = parts.isValid() ? parts.year : 0;
    const int month = parts.isValid() ? parts.month : 0;
    const int day = parts.isValid() ? parts.day : 0;
    if (year < 0 || year > 9999 || month < 0 || month > 99 || day < 0 || day > 99)
        return QString::asprintf("%04d-%02d-%02d", year, month, day);
    // "%04d-%02d-%02d" without printf: a summary builds one key per day.
    const char16_t key[10] = {char16_t(u'0' + year / 1000), char16_t(u'0' + year / 100 % 10),
                              char16_t(u'0' + year / 10 % 10), char16_t(u'0' + year % 10), u'-',
                              char16_t(u'0' + month / 10), char16_t(u'0' + month % 10), u'-',
                              char16_t(u'0' + day / 10), char16_t(u'0' + day % 10)};
    return QString(reinterpret_cast<const QChar *>(key), 10);
}

QDateTime CalendarProvider::startOfDay(const QDateTime &date) const
{
    return startOfDate(localDate(date));
}

QDateTime CalendarProvider::addingDays(const QDateTime &date, int days) const
{
    const QTimeZone zone = timeZone();
    const QDateTime local = date.toTimeZone(zone);
    const QDate target = local.date().addDays(days);
    QDateTime moved(target, local.time(), zone);
    if (!moved.isValid())
        moved = local.addSecs(qint64(days) * kDaySeconds);
    return moved;
}

DateInterval CalendarProvider::monthInterval(const QDateTime &date) const
{
    const QCalendar::YearMonthDay parts = m_calendar.partsFromDate(localDate(date));
    if (parts.isValid()) {
        const QDate first = m_calendar.dateFromParts(parts.year, parts.month, 1);
        int nextYear = parts.year;
        int nextMonth = parts.month + 1;
        if (nextMonth > m_calendar.monthsInYear(parts.year)) {
            nextMonth = 1;
            nextYear += 1;
            if (nextYear == 0 && !m_calendar.hasYearZero())
                nextYear = 1;
        }
        const QDate next = m_calendar.dateFromParts(nextYear, nextMonth, 1);
        if (first.isValid() && next.isValid())
            return {startOfDate(first), startOfDate(next)};
    }
    const QDateTime start = startOfDay(date);
    return {start, start.addSecs(kFallbackMonthSeconds)};
}

DateInterval CalendarProvider::trailingDaysInterval(int days, const QDateTime &endingAt) const
{
    const QDate day = localDate(endingAt);
    const QDateTime dayStart = startOfDate(day);

    QDateTime end = startOfDate(day.addDays(1));
    if (!end.isValid())
        end = dayStart.addSecs(kDaySeconds);

    const int back = std::max(0, days - 1);
    QDateTime start = startOfDate(day.addDays(-back));
    if (!start.isValid())
        start = dayStart.addSecs(-qint64(back) * kDaySeconds);

    return {start, end};
}

} // namespace zn
