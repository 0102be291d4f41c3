#include "views/workspace/timeline/TimelineGrouping.h"

#include "core/CalendarProvider.h"
#include "core/JournalEntry.h"
#include "views/kit/DateFormats.h"

#include <QCoreApplication>
#include <QHash>

namespace zn {

QString dayGroupTitle(const QDateTime &date, const CalendarProvider &provider, const QDateTime &now,
                      const QLocale &locale)
{
    const QString key = provider.dayKey(date);
    if (key == provider.dayKey(now))
        return QCoreApplication::translate("EntryListView", "Today");
    // Calendar arithmetic, so the day before a daylight-saving change is
    // still "Yesterday" whatever its length.
    if (key == provider.dayKey(provider.addingDays(now, -1)))
        return QCoreApplication::translate("EntryListView", "Yesterday");
    return DateFormats::format(date.toTimeZone(provider.timeZone()), DateStyle::WeekdayMonthDay, locale);
}

QList<DayGroup> dayGroups(const QList<JournalEntry *> &entries, const CalendarProvider &provider,
                          const QDateTime &now, const QLocale &locale)
{
    QHash<QString, qsizetype> indexOfKey;
    QList<DayGroup> groups;
    for (JournalEntry *entry : entries) {
        const QString key = provider.dayKey(entry->timestamp());
        auto it = indexOfKey.constFind(key);
        if (it == indexOfKey.constEnd()) {
            it = indexOfKey.insert(key, groups.size());
            groups.append(DayGroup{key, {}, {}});
        }
        groups[*it].entries.append(entry);
    }
    for (DayGroup &group : groups)
        group.title = dayGroupTitle(group.entries.first()->timestamp(), provider, now, locale);
    return groups;
}

} // namespace zn
