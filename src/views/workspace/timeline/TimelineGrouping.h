#pragma once

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>

namespace zn {

class CalendarProvider;
class JournalEntry;

// One day of the timeline: its day key (also its identity), its heading and
// its entries in the order they were given.
struct DayGroup
{
    QString key;
    QString title;
    QList<JournalEntry *> entries;
};

// Cuts entries into day groups by day key, in the order each day first
// occurs; nothing is sorted. One pass with a hash of keys.
QList<DayGroup> dayGroups(const QList<JournalEntry *> &entries, const CalendarProvider &provider,
                          const QDateTime &now, const QLocale &locale = QLocale());

// The heading of the day holding `date`, seen at `now`: "Today",
// "Yesterday", else the abbreviated weekday, month and day without a year.
QString dayGroupTitle(const QDateTime &date, const CalendarProvider &provider, const QDateTime &now,
                      const QLocale &locale = QLocale());

} // namespace zn
