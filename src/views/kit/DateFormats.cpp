#include "views/kit/DateFormats.h"

#include <QTimeZone>

#include <unicode/dtptngen.h>
#include <unicode/gregocal.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>

#include <map>
#include <memory>
#include <string>

namespace zn {
namespace {

// Field sets in the locale-independent skeleton form; ICU turns each into
// the locale's own order and punctuation.
const char *skeleton(DateStyle style)
{
    switch (style) {
    case DateStyle::Abbreviated: return "yMMMd";
    case DateStyle::AbbreviatedWithTime: return "yMMMdjmm";
    case DateStyle::Complete: return "yMMMMEEEEd";
    case DateStyle::Long: return "yMMMMd";
    case DateStyle::MonthYear: return "yMMMM";
    case DateStyle::AbbreviatedMonthYear: return "yMMM";
    case DateStyle::Weekday: return "EEEE";
    case DateStyle::AbbreviatedWeekday: return "EEE";
    case DateStyle::MonthDay: return "MMMd";
    case DateStyle::AbbreviatedMonth: return "MMM";
    case DateStyle::WeekdayMonthDay: return "MMMEd";
    case DateStyle::WeekdayMonthDayTime: return "MMMEdjmm";
    case DateStyle::WeekdayAbbreviatedDate: return "yMMMEEEEd";
    case DateStyle::ShortTime: return "jmm";
    }
    return "yMMMd";
}

std::string icuLocaleId(const QLocale &locale)
{
    const QString name = locale.language() == QLocale::C ? QStringLiteral("en_US_POSIX") : locale.name();
    // Dates are always Gregorian, whatever calendar the locale prefers.
    return name.toStdString() + "@calendar=gregorian";
}

// Formatters are costly to build and not thread-safe, so each thread keeps
// its own, per locale and style.
icu::SimpleDateFormat *formatter(const QLocale &locale, DateStyle style)
{
    thread_local std::map<std::pair<std::string, int>, std::unique_ptr<icu::SimpleDateFormat>> cache;
    const std::string id = icuLocaleId(locale);
    auto &slot = cache[{id, int(style)}];
    if (slot)
        return slot.get();

    UErrorCode status = U_ZERO_ERROR;
    const icu::Locale icuLocale(id.c_str());
    std::unique_ptr<icu::DateTimePatternGenerator> generator(
        icu::DateTimePatternGenerator::createInstance(icuLocale, status));
    if (U_FAILURE(status))
        return nullptr;
    const icu::UnicodeString pattern =
        generator->getBestPattern(icu::UnicodeString::fromUTF8(skeleton(style)), status);
    if (U_FAILURE(status))
        return nullptr;
    auto format = std::make_unique<icu::SimpleDateFormat>(pattern, icuLocale, status);
    if (U_FAILURE(status))
        return nullptr;
    // The wall-clock fields are passed as if in GMT, so the formatter must
    // not shift them; and the calendar is Gregorian all the way back, as
    // QDate is.
    format->adoptTimeZone(icu::TimeZone::createTimeZone("Etc/GMT"));
    if (auto *gregorian = dynamic_cast<icu::GregorianCalendar *>(
            const_cast<icu::Calendar *>(format->getCalendar()))) {
        gregorian->setGregorianChange(-8.64e15, status);
        status = U_ZERO_ERROR;
    }
    slot = std::move(format);
    return slot.get();
}

QString formatFields(QDate day, QTime time, DateStyle style, const QLocale &locale)
{
    if (!day.isValid())
        return {};
    icu::SimpleDateFormat *format = formatter(locale, style);
    if (!format)
        return {};
    const QDateTime asUtc(day, time.isValid() ? time : QTime(0, 0), QTimeZone::utc());
    icu::UnicodeString text;
    format->format(UDate(asUtc.toMSecsSinceEpoch()), text);
    std::string utf8;
    text.toUTF8String(utf8);
    return QString::fromStdString(utf8);
}

} // namespace

QString DateFormats::format(const QDateTime &moment, DateStyle style, const QLocale &locale)
{
    if (!moment.isValid())
        return {};
    return formatFields(moment.date(), moment.time(), style, locale);
}

QString DateFormats::format(QDate day, DateStyle style, const QLocale &locale)
{
    return formatFields(day, QTime(0, 0), style, locale);
}

} // namespace zn
