#include "app/marks/WeatherMarks.h"

namespace zn {

QString weatherTitle(WeatherLabel label)
{
    return displayName(label);
}

QString weatherSymbolName(WeatherLabel label)
{
    return symbolName(label);
}

QString weatherMarkAccessibleName(WeatherLabel label, const std::optional<QString> &phrase)
{
    if (phrase)
        return weatherTitle(label) + QStringLiteral(", ") + *phrase;
    return QStringLiteral("Mood ") + weatherTitle(label);
}

QString weatherMarkAccessibleName(const WeatherMarkStyle &style)
{
    return weatherMarkAccessibleName(style.label, style.phrase);
}

QString weatherChipAccessibleName(WeatherLabel label)
{
    return QStringLiteral("Mood ") + weatherTitle(label);
}

} // namespace zn
