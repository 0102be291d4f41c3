#include "reflections/ReflectionDates.h"

#include <QLocale>

namespace zn {

QString reflectionDateLabel(const QDate &date)
{
    if (!date.isValid())
        return {};
    return QLocale::c().toString(date, QStringLiteral("MMM d, yyyy"));
}

QString reflectionDateLabel(const QDateTime &when)
{
    if (!when.isValid())
        return {};
    return reflectionDateLabel(when.toLocalTime().date());
}

} // namespace zn
