#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

namespace zn {

// The one date label the reflections show to the model and check against:
// "Mar 7, 2025". Always English, whatever the system locale, because the
// invented-date checks only know English month names.
QString reflectionDateLabel(const QDate &date);

// Label of the local calendar day of `when`.
QString reflectionDateLabel(const QDateTime &when);

} // namespace zn
