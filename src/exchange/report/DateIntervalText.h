#pragma once

#include <QDate>
#include <QLocale>
#include <QString>

namespace zn {

// The locale's medium date pattern ("MMM d, yyyy" in English): its long
// format with abbreviated month names and without the weekday, nor the
// separator and words that went with it. Qt has no medium style of its own.
QString mediumDatePattern(const QLocale &locale);

// A start and end date as one text in the locale's medium style: a single
// date when both fall on the same day, else "Mar 3 – Mar 9, 2025", dropping
// the first year when both share it and it ends the date.
QString formatDateInterval(const QDate &from, const QDate &to, const QLocale &locale);

} // namespace zn
