#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace zn {

// The rolling windows the emotional weather is read over: the past 7, 30 and
// 365 whole days ending with today. Stored and exchanged by raw value.
enum class WeatherPeriod { Week, Month, Year };

const QList<WeatherPeriod> &allWeatherPeriods();
QString rawValue(WeatherPeriod period);
// Exact match of "week", "month" or "year"; anything else is no period.
std::optional<WeatherPeriod> weatherPeriodFromRaw(const QString &raw);
int dayCount(WeatherPeriod period);

} // namespace zn
