#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace zn {

// The five-step emotional weather of a mood score.
enum class WeatherLabel { Sunny, PartlyCloudy, Overcast, Rainy, Stormy };

// Bands are inclusive at their lower end; NaN falls through to stormy.
WeatherLabel weatherLabelForScore(double score);

// Exact, case-sensitive match of the stored raw value.
std::optional<WeatherLabel> weatherLabelFromRaw(const QString &raw);

QString rawValue(WeatherLabel label);
QString displayName(WeatherLabel label);
// Name of the symbol the weather marks draw.
QString symbolName(WeatherLabel label);

const QList<WeatherLabel> &allWeatherLabels();

} // namespace zn
