#pragma once

#include "app/theme/ZephyrTheme.h"
#include "core/CalendarProvider.h"
#include "exchange/report/EmotionalWeatherPDFError.h"
#include "exchange/report/WeatherReportContent.h"

#include <QByteArray>
#include <QList>

#include <optional>

namespace zn {

// A finished report document, or why there is none.
struct WeatherReportRenderResult {
    QByteArray pdf;
    std::optional<EmotionalWeatherPDFError> error;

    bool ok() const { return !error.has_value(); }
};

// The whole report as PDF bytes in memory: US Letter pages, one point per
// unit, drawn in the light scheme of `theme`'s palette. Fails with `empty`
// for no windows and `renderFailed` when no PDF can be made. Main thread (it
// lays out text).
WeatherReportRenderResult renderWeatherReportPDF(const QList<EmotionalWeatherReportContent> &contents,
                                                 const ZephyrTheme &theme,
                                                 const CalendarProvider &calendar = CalendarProvider::shared());

} // namespace zn
