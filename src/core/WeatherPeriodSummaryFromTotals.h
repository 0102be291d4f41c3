#pragma once

#include "core/WeatherPeriodSummary.h"

#include <optional>

namespace zn {

// The summary from the store's per-day totals, when `entries` are exactly
// the store's saved non-draft entries of the window as they stand (the
// views' query results, say): every one a saved row of one container with
// no unsaved change to its timestamp, score, keywords or draft flag, none
// twice, none missing. Nothing otherwise, and the caller reads the entries
// themselves. Main thread.
std::optional<WeatherPeriodSummary> summaryFromDayTotals(const QList<JournalEntry *> &entries, WeatherPeriod period,
                                                         const CalendarProvider &calendar, const QDateTime &now);

} // namespace zn
