#pragma once

#include <QDateTime>
#include <QString>
#include <QUuid>

#include <optional>

namespace zn::exportformat {

// The file's date form, yyyy-MM-ddTHH:mm:ssZ in UTC; a fraction of a second
// is dropped, never rounded. No value for an invalid date or a year outside
// 1...9999, which the form cannot hold.
std::optional<QString> formatDate(const QDateTime &instant);

// Exactly that form and a real calendar date and time; anything else
// (another offset, a fraction, a date alone) gives no value.
std::optional<QDateTime> parseDate(const QString &text);

// 8-4-4-4-12 hexadecimal, upper case.
QString formatId(const QUuid &id);

// 8-4-4-4-12 hexadecimal in either case, nothing around it.
std::optional<QUuid> parseId(const QString &text);

} // namespace zn::exportformat
