#include "views/workspace/timeline/EntryCardFace.h"

#include "app/marks/WeatherMarks.h"
#include "core/EntryText.h"
#include "core/JournalEntry.h"
#include "views/kit/DateFormats.h"

namespace zn {

EntryCardFace EntryCardFace::make(const JournalEntry &entry, const QLocale &locale, const QTimeZone &zone)
{
    EntryCardFace face;
    face.weather = weatherLabelForScore(entry.sentimentScore());
    const QDateTime when = entry.timestamp().toTimeZone(zone);
    face.timeText = DateFormats::format(when, DateStyle::WeekdayMonthDayTime, locale);
    face.title = entryTitle(entry.rawText(), kTitleLimit);
    const InsightStatus status = entry.insightStatus();
    // Unreadable keyword or theme data decodes as empty: no chips.
    face.chips = displayKeywords(entry.themes(), status, topKeywords(entry), kChipLimit);
    face.chipsEmphasized = status == InsightStatus::Ready;
    face.accessibleText = DateFormats::format(when, DateStyle::AbbreviatedWithTime, locale) + QStringLiteral(", ")
                          + weatherTitle(face.weather) + QStringLiteral(". ") + face.title;
    return face;
}

} // namespace zn
