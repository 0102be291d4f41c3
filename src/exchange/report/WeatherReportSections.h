#pragma once

#include "app/theme/ZephyrTheme.h"
#include "core/CalendarProvider.h"
#include "exchange/report/ReportFonts.h"
#include "exchange/report/WeatherReportContent.h"

#include <QColor>
#include <QList>
#include <QString>

class QPainter;

namespace zn {

class ReportCanvas;

// The inks of the report; the theme is always in its light scheme.
struct ReportColors {
    QColor accent;
    QColor primaryText = QColor::fromRgbF(0.12f, 0.12f, 0.12f);
    QColor secondaryText = QColor::fromRgbF(0.38f, 0.38f, 0.38f);
    QColor lightLine = QColor::fromRgbF(0.82f, 0.82f, 0.82f);
    QColor mutedLabel = QColor::fromRgbF(0, 0, 0, 0.48f);
};

// What every drawing routine of one report needs.
struct ReportPainting {
    ReportCanvas &canvas;
    ZephyrTheme theme;
    ReportColors colors;
    const CalendarProvider &calendar;

    ReportTextStyle sectionHeading() const { return {14, QFont::Bold, colors.accent}; }
};

// One bar row of the themes or keywords ranking.
struct RankedCountRow {
    QString label;
    int count = 0;
    double sentiment = 0.0;
};

// All sections of one window from y; returns the y below the last.
qreal drawWindowSections(ReportPainting &report, qreal y, const EmotionalWeatherReportContent &window);
qreal drawSummarySection(ReportPainting &report, qreal y, const EmotionalWeatherReportContent &window);
qreal drawMoodDistributionRows(ReportPainting &report, qreal y, const QList<WeatherPDFMoodBucket> &buckets);
qreal drawRankedCountRows(ReportPainting &report, qreal y, const QList<RankedCountRow> &rows);

// The named symbol in `color` (its alpha applied as opacity) in the square
// (x, y, size); nothing, and false, for a name the symbol set lacks.
bool drawTintedSymbol(QPainter &painter, qreal x, qreal y, qreal size, const QString &name, const QColor &color);

// A ranking label as the row shows it: more than 14 characters become the
// first 13 and "…". Characters are user-perceived ones.
QString rankedRowLabel(const QString &label);

// The bar of a row: count / maxCount of `fullWidth`, never narrower than 4.
qreal barWidth(int count, int maxCount, qreal fullWidth);

} // namespace zn
