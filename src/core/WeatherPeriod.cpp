#include "core/WeatherPeriod.h"

namespace zn {

const QList<WeatherPeriod> &allWeatherPeriods()
{
    static const QList<WeatherPeriod> periods{WeatherPeriod::Week, WeatherPeriod::Month,
                                              WeatherPeriod::Year};
    return periods;
}

QString rawValue(WeatherPeriod period)
{
    switch (period) {
    case WeatherPeriod::Week: return QStringLiteral("week");
    case WeatherPeriod::Month: return QStringLiteral("month");
    case WeatherPeriod::Year: return QStringLiteral("year");
    }
    return QStringLiteral("week");
}

std::optional<WeatherPeriod> weatherPeriodFromRaw(const QString &raw)
{
    for (WeatherPeriod period : allWeatherPeriods())
        if (rawValue(period) == raw)
            return period;
    return std::nullopt;
}

int dayCount(WeatherPeriod period)
{
    switch (period) {
    case WeatherPeriod::Week: return 7;
    case WeatherPeriod::Month: return 30;
    case WeatherPeriod::Year: return 365;
    }
    return 7;
}

} // namespace zn
