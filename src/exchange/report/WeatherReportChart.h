#pragma once

#include "app/theme/ZephyrTheme.h"
#include "core/CalendarProvider.h"
#include "core/WeatherPeriodSummary.h"
#include "exchange/report/WeatherReportContent.h"

#include <QColor>
#include <QList>
#include <QRectF>

class QPainter;

namespace zn {

class ReportCanvas;

// Where the daily mood trend of a report window is drawn: a 516 × 150 plot
// with its labels, scores from -1 (bottom) to 1 (top), days along the domain.
class ReportChartGeometry
{
public:
    static constexpr qreal kPlotHeight = 150;
    static constexpr qreal kBlockHeight = 178; // plot plus its date labels

    ReportChartGeometry(qreal top, const DateRange &domain, const CalendarProvider &calendar);

    QRectF plot() const { return m_plot; }
    // Scores past either end, and NaN, sit on the nearer edge (NaN: bottom).
    qreal yForScore(double score) const;
    // The start of the date's day, proportionally along the domain and
    // clamped to the plot; the middle when the domain has no width.
    qreal xForDate(const QDateTime &date) const;

private:
    QRectF m_plot;
    DateRange m_domain;
    const CalendarProvider &m_calendar;
};

// Up to `maxCount` dates from the domain's first day to its last, spread
// evenly on whole days (offsets rounded half away from zero); the first day
// alone for a domain without days between its ends.
QList<QDateTime> chartTickDates(const DateRange &domain, int maxCount, const CalendarProvider &calendar);

// Stable: points of the same date keep their order.
void sortDailyPointsByDate(QList<WeatherPDFDailyPoint> &points);

// "High: Sunny (+0.8)" and "Low: …" on one line; nothing when both fall on
// the same day. Returns y + 16 when drawn, else y.
qreal drawHighLowLine(ReportCanvas &canvas, qreal y, const QList<WeatherPDFDailyPoint> &points,
                      const QColor &secondaryText);

// The trend chart block at y; returns y + 178.
qreal drawDailyMoodChart(ReportCanvas &canvas, qreal y, const QList<WeatherPDFDailyPoint> &points,
                         const DateRange &domain, const ZephyrTheme &theme, const QColor &lightLine,
                         const CalendarProvider &calendar);

void drawChartBackground(QPainter &painter, const QRectF &plot, const ZephyrTheme &theme);
void drawChartGridLines(QPainter &painter, const QRectF &plot, const QColor &lightLine);

} // namespace zn
