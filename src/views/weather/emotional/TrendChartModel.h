#pragma once

#include "core/WeatherPeriodSummary.h"

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <optional>

namespace zn {

class CalendarProvider;

// Everything the trend chart draws and answers, without a widget: the
// window's daily points, the fixed mood scale, the x domain and its marks,
// the mapping between plot coordinates and dates, and the picked day.
class TrendChartModel
{
public:
    struct Mark {
        QDateTime date;
        QString label;
    };
    struct ScaleMark {
        double value = 0;
        QString label;
    };
    // How far apart the x marks stand: some days, or calendar months.
    struct Stride {
        enum class Unit { Day, Month } unit = Unit::Day;
        int count = 1;
        bool operator==(const Stride &) const = default;
    };

    static constexpr double kChartHeight = 260;
    static constexpr double kLineWidth = 2.5;
    static constexpr double kSparseThreshold = 0.8;
    static constexpr int kMinimumDays = 5;
    static constexpr int kLeadDays = 1;
    // How far beside a dot's centre the pointer still picks it: the big
    // dot's radius and a few pixels more.
    static constexpr double kDotReach = 9;

    TrendChartModel(const WeatherPeriodSummary &summary, const CalendarProvider &calendar,
                    const QLocale &locale = QLocale());

    WeatherPeriod period() const { return m_period; }
    // The summary's days, oldest first.
    const QList<DailySentimentPoint> &points() const { return m_points; }
    bool hasPoints() const { return !m_points.isEmpty(); }
    bool isSingleDay() const { return m_points.size() == 1; }
    // Area and line need two days to join.
    bool showsAreaAndLine() const { return m_points.size() > 1; }

    const DateRange &domain() const { return m_domain; }
    // Whole days from the domain's lower to its upper bound.
    int domainDays() const { return m_domainDays; }
    Stride stride() const { return m_stride; }
    const QList<Mark> &xMarks() const { return m_xMarks; }
    static QList<ScaleMark> yMarks();

    // "Sentiment · past 30 days".
    QString title() const;
    QString accessibleName() const;
    static QString accessibleHint();
    // "View entries for Mar 2, 2025".
    QString viewEntriesTitle(const DailySentimentPoint &point) const;

    // The day standing for `date`: the point of the same calendar day, else
    // the nearest in time (the earlier of two equally near), else none.
    std::optional<DailySentimentPoint> chartPoint(const QDateTime &date) const;
    // Marked days grow: does the selection fall on this point's day?
    bool isSelected(const DailySentimentPoint &point, const std::optional<QDateTime> &selection) const;
    // Diameter of a point's dot, from the 80 and 40 square-point symbol areas.
    static double dotDiameter(bool selected);

    // --- geometry: the plot area inside the chart, in widget coordinates ----
    void setPlotRect(const QRectF &rect) { m_plot = rect; }
    const QRectF &plotRect() const { return m_plot; }
    double xFor(const QDateTime &date) const;
    // Scores outside [-1, 1] are drawn at the nearest edge; NaN at the bottom.
    double yFor(double score) const;
    QPointF pointFor(const DailySentimentPoint &point) const { return {xFor(point.date), yFor(point.averageSentiment)}; }
    // The instant under a horizontal position; none outside the plot.
    std::optional<QDateTime> dateAtX(double x) const;
    // The day whose dot stands at, or within a few pixels beside, this
    // horizontal position (the nearest such dot); none away from every dot.
    std::optional<DailySentimentPoint> dotNear(double x) const;
    // What the pointer picks at a horizontal position: the start of the day
    // of a dot it is on or beside, else the instant under it.
    std::optional<QDateTime> selectionAtX(double x) const;
    // A click: the day it picks, or none away from the plot or with no days.
    std::optional<DailySentimentPoint> pointForClick(const QPointF &position) const;

    // The line through the days, curved without overshoot or, for reduced
    // motion, straight; `closedToFloor` closes it down to -1 for the area.
    QPainterPath trendPath(bool smooth, bool closedToFloor) const;

    static double clampedScore(double score);

private:
    void buildMarks();

    WeatherPeriod m_period;
    const CalendarProvider &m_calendar;
    QLocale m_locale;
    QList<DailySentimentPoint> m_points;
    DateRange m_domain;
    int m_domainDays = 0;
    Stride m_stride;
    QList<Mark> m_xMarks;
    QRectF m_plot;
};

} // namespace zn
