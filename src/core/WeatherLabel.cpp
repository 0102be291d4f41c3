#include "core/WeatherLabel.h"

namespace zn {

WeatherLabel weatherLabelForScore(double score)
{
    if (score >= 0.6)
        return WeatherLabel::Sunny;
    if (score >= 0.2 && score < 0.6)
        return WeatherLabel::PartlyCloudy;
    if (score >= -0.2 && score < 0.2)
        return WeatherLabel::Overcast;
    if (score < -0.2 && score >= -0.6)
        return WeatherLabel::Rainy;
    return WeatherLabel::Stormy;
}

std::optional<WeatherLabel> weatherLabelFromRaw(const QString &raw)
{
    for (WeatherLabel label : allWeatherLabels())
        if (rawValue(label) == raw)
            return label;
    return std::nullopt;
}

QString rawValue(WeatherLabel label)
{
    switch (label) {
    case WeatherLabel::Sunny: return QStringLiteral("sunny");
    case WeatherLabel::PartlyCloudy: return QStringLiteral("partlyCloudy");
    case WeatherLabel::Overcast: return QStringLiteral("overcast");
    case WeatherLabel::Rainy: return QStringLiteral("rainy");
    case WeatherLabel::Stormy: return QStringLiteral("stormy");
    }
    return QStringLiteral("stormy");
}

QString displayName(WeatherLabel label)
{
    switch (label) {
    case WeatherLabel::Sunny: return QStringLiteral("Sunny");
    case WeatherLabel::PartlyCloudy: return QStringLiteral("Partly cloudy");
    case WeatherLabel::Overcast: return QStringLiteral("Overcast");
    case WeatherLabel::Rainy: return QStringLiteral("Rainy");
    case WeatherLabel::Stormy: return QStringLiteral("Stormy");
    }
    return QStringLiteral("Stormy");
}

QString symbolName(WeatherLabel label)
{
    switch (label) {
    case WeatherLabel::Sunny: return QStringLiteral("sun.max.fill");
    case WeatherLabel::PartlyCloudy: return QStringLiteral("cloud.sun.fill");
    case WeatherLabel::Overcast: return QStringLiteral("cloud.fill");
    case WeatherLabel::Rainy: return QStringLiteral("cloud.rain.fill");
    case WeatherLabel::Stormy: return QStringLiteral("cloud.bolt.rain.fill");
    }
    return QStringLiteral("cloud.bolt.rain.fill");
}

const QList<WeatherLabel> &allWeatherLabels()
{
    static const QList<WeatherLabel> all{WeatherLabel::Sunny, WeatherLabel::PartlyCloudy, WeatherLabel::Overcast,
                                         WeatherLabel::Rainy, WeatherLabel::Stormy};
    return all;
}

} // namespace zn
