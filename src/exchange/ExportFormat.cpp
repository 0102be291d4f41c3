#include "exchange/ExportFormat.h"


namespace zn::exportformat {
namespace {

bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

bool isHex(QChar c)
{
    return isDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// Digits at [from, from + count) as a number; -1 when any is not a digit.
int digitsAt(const QString &s, int from, int count)
{
    int value = 0;
    for (int i = from; i < from + count; ++i) {
        if (!isDigit(s[i]))
            return -1;
        value = value * 10 + (s[i].unicode() - u'0');
    }
    return value;
}

} // namespace

std::optional<QString> formatDate(const QDateTime &instant)
{
    if (!instant.isValid())
        return std::nullopt;
    // Whole seconds, floored, so 23:59:59.999 stays in its second and day.
    const qint64 ms = instant.toMSecsSinceEpoch();
    const qint64 secs = ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
    const QDateTime utc = QDateTime::fromSecsSinceEpoch(secs, Qt::UTC);
    const QDate d = utc.date();
    const QTime t = utc.time();
    if (d.year() < 1 || d.year() > 9999)
        return std::nullopt;
    return QString::asprintf("%04d-%02d-%02dT%02d:%02d:%02dZ", d.year(), d.month(), d.day(), t.hour(), t.minute(),
                             t.second());
}

std::optional<QDateTime> parseDate(const QString &text)
{
    // 2024-01-31T12:00:00Z
    if (text.size() != 20 || text[4] != u'-' || text[7] != u'-' || text[10] != u'T' || text[13] != u':'
        || text[16] != u':' || text[19] != u'Z')
        return std::nullopt;
    const int year = digitsAt(text, 0, 4);
    const int month = digitsAt(text, 5, 2);
    const int day = digitsAt(text, 8, 2);
    const int hour = digitsAt(text, 11, 2);
    const int minute = digitsAt(text, 14, 2);
    const int second = digitsAt(text, 17, 2);
    if (year < 1 || month < 0 || day < 0 || hour < 0 || minute < 0 || second < 0)
        return std::nullopt;
    const QDate date(year, month, day);
    if (!date.isValid() || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    return QDateTime(date, QTime(hour, minute, second), Qt::UTC);
}

QString formatId(const QUuid &id)
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

std::optional<QUuid> parseId(const QString &text)
{
    if (text.size() != 36)
        return std::nullopt;
    for (int i = 0; i < 36; ++i) {
        const bool hyphen = i == 8 || i == 13 || i == 18 || i == 23;
        if (hyphen ? text[i] != u'-' : !isHex(text[i]))
            return std::nullopt;
    }
    return QUuid::fromString(text);
}

} // namespace zn::exportformat
