#pragma once

#include "core/WeatherLabel.h"

#include <QString>

#include <optional>

namespace zn {

// The title and symbol every screen shows for a weather. Titles are shown
// verbatim, never translated.
QString weatherTitle(WeatherLabel label);
QString weatherSymbolName(WeatherLabel label);

enum class WeatherMarkSize { Compact, Regular, Large, Mural };

// What a weather mark shows. `sentiment` travels with the mark for its
// callers; the drawing depends on the label only.
struct WeatherMarkStyle {
    WeatherLabel label = WeatherLabel::Overcast;
    double sentiment = 0.0;
    WeatherMarkSize size = WeatherMarkSize::Regular;
    bool showTitle = false;
    // A present but empty phrase still takes its (empty) line.
    std::optional<QString> phrase;

    bool hasTextColumn() const { return showTitle || phrase.has_value(); }
};

// "Sunny, a lighter day" with a phrase (even an empty one), else "Mood Sunny"
// whether or not the title is shown.
QString weatherMarkAccessibleName(WeatherLabel label, const std::optional<QString> &phrase);
QString weatherMarkAccessibleName(const WeatherMarkStyle &style);
// "Mood Sunny".
QString weatherChipAccessibleName(WeatherLabel label);

} // namespace zn
