#include "exchange/report/DateIntervalText.h"

#include <QRegularExpression>

namespace zn {
namespace {

const QString kDash = QStringLiteral(" \u2013 ");

// Separator characters left dangling once a field is taken out of a pattern.
QString trimSeparators(QString pattern)
{
    static const QRegularExpression edges(QStringLiteral("^[\\s,]+|[\\s,]+$"));
    return pattern.remove(edges);
}

} // namespace

QString mediumDatePattern(const QLocale &locale)
{
    QString pattern = locale.dateFormat(QLocale::LongFormat);
    static const QRegularExpression weekday(QStringLiteral("d{3,4}[,.]?\\s*"));
    pattern.remove(weekday);
    static const QRegularExpression fullMonth(QStringLiteral("M{4}"));
    pattern.replace(fullMonth, QStringLiteral("MMM"));
    pattern = trimSeparators(pattern);
    return pattern.isEmpty() ? QStringLiteral("MMM d, yyyy") : pattern;
}

QString formatDateInterval(const QDate &from, const QDate &to, const QLocale &locale)
{
    const QString pattern = mediumDatePattern(locale);
    const QString end = locale.toString(to, pattern);
    if (from == to)
        return end;
    QString startPattern = pattern;
    static const QRegularExpression trailingYear(QStringLiteral("[\\s,]*y+$"));
    if (from.year() == to.year() && trailingYear.match(pattern).hasMatch())
        startPattern = trimSeparators(QString(pattern).remove(trailingYear));
    return locale.toString(from, startPattern) + kDash + end;
}

} // namespace zn
