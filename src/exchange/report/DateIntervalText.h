#pragma once

#include <QDate>
#include <QLocale>
#include <QString>

namespace zn {

// The locale's medium date pattern ("MMM d, yyyy" in English): its long
// format without the weekday and with abbreviated month names. Qt has no
// medium style of its own.
QString mediumDatePattern(const QLocale &locale);

// A start and end date as one text in the locale's medium style: a single
// date when both fall on the same day, else "Mar 3 – Mar 9, 2025", dropping
// the first year when both share it.
QString formatDateInterval(const QDate &from, const QDate &to, const QLocale &locale);

} // namespace zn
