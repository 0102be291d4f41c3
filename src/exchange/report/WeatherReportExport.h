#pragma once

#include "app/theme/ZephyrTheme.h"
#include "exchange/report/EmotionalWeatherPDFError.h"
#include "exchange/report/WeatherReportContent.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace zn {

class FilePanels;

// The outcome of an export: no error once the file is in place.
using WeatherReportExportCompletion = std::function<void(std::optional<EmotionalWeatherPDFError>)>;

inline const QString kWeatherReportDefaultFileName = QStringLiteral("Zephyrnote-Weather-Report.pdf");

// Renders the report, asks where to save it and writes it there. The
// document is complete in memory before the panel opens, and it replaces
// the chosen file atomically, so a failed write leaves that file as it was.
// Empty contents end with `empty` before any panel; a cancelled panel with
// `cancelled`; a failed write with `writeFailed`. `done` runs exactly once,
// on the main thread. Main thread.
void runWeatherReportExport(const QList<EmotionalWeatherReportContent> &contents, const ZephyrTheme &theme,
                            FilePanels &panels, WeatherReportExportCompletion done);

// Writes `bytes` to `path` through a temporary file renamed into place
// (writeFileAtomically()): a new report is its owner's alone.
std::optional<EmotionalWeatherPDFError> writeWeatherReport(const QByteArray &bytes, const QString &path);

} // namespace zn
