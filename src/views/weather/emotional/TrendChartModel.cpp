#include "views/weather/emotional/TrendChartModel.h"

#include "core/CalendarProvider.h"
#include "views/kit/DateFormats.h"
#include "views/weather/emotional/WeatherPageLogic.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace zn {
namespace {

// Swift-style symbol sizes are areas in square points.
constexpr double kSelectedDotArea = 80;
constexpr double kDotArea = 40;

// Marks never outnumber the days of a year window plus one; a bound keeps a
// corrupt domain from looping.
constexpr int kMaxMarks = 400;

int fallbackDays(WeatherPeriod period)
{
    switch (period) {
    case WeatherPeriod::Week:
        return 1;
    case WeatherPeriod::Month:
        return 5;
    case WeatherPeriod::Year:
        return 30;
    }
    return 1;
}

TrendChartModel::Stride strideFor(WeatherPeriod period, int days)
{
    using Unit = TrendChartModel::Stride::Unit;
    switch (period) {
    case WeatherPeriod::Week:
        return {Unit::Day, 1};
    case WeatherPeriod::Month:
        return {Unit::Day, days < 11 ? 2 : 5};
    case WeatherPeriod::Year:
        if (days < 61)
            return {Unit::Day, 14};
        if (days <= 90)
            return {Unit::Day, 30};
        return {Unit::Month, 1};
    }
    return {Unit::Day, 1};
}

} // namespace

TrendChartModel::TrendChartModel(const WeatherPeriodSummary &summary, const CalendarProvider &calendar,
                                 const QLocale &locale)
    : m_period(summary.period)
    , m_calendar(calendar)
    , m_locale(locale)
    , m_points(summary.points)
{
    std::stable_sort(m_points.begin(), m_points.end(),
                     [](const DailySentimentPoint &a, const DailySentimentPoint &b) { return a.date < b.date; });
    m_domain = summary.chartXDomain(calendar, kSparseThreshold, kMinimumDays, kLeadDays);
    const QTimeZone &zone = calendar.timeZone();
    if (m_domain.lower.isValid() && m_domain.upper.isValid())
        m_domainDays = int(m_domain.lower.toTimeZone(zone).date().daysTo(m_domain.upper.toTimeZone(zone).date()));
    else
        m_domainDays = fallbackDays(m_period);
    m_stride = strideFor(m_period, m_domainDays);
    buildMarks();
}

void TrendChartModel::buildMarks()
{
    m_xMarks.clear();
    if (!m_domain.lower.isValid() || !m_domain.upper.isValid() || m_domain.upper < m_domain.lower)
        return;
    const QTimeZone &zone = m_calendar.timeZone();
    const QDate first = m_domain.lower.toTimeZone(zone).date();
    const DateStyle style = m_period == WeatherPeriod::Week ? DateStyle::AbbreviatedWeekday
                            : m_stride.unit == Stride::Unit::Month ? DateStyle::AbbreviatedMonth
                                                                    : DateStyle::MonthDay;
    for (int k = 0; k < kMaxMarks; ++k) {
        // Each mark counts from the lower bound, so month lengths never drift.
        const QDate day = m_stride.unit == Stride::Unit::Month ? first.addMonths(k * m_stride.count)
                                                               : first.addDays(qint64(k) * m_stride.count);
        const QDateTime at = day.startOfDay(zone);
        if (!at.isValid() || at > m_domain.upper)
            break;
        m_xMarks.append({at, DateFormats::format(at, style, m_locale)});
    }
}

QList<TrendChartModel::ScaleMark> TrendChartModel::yMarks()
{
    QList<ScaleMark> marks;
    for (double v : {-1.0, 0.0, 1.0})
        marks.append({v, displayName(weatherLabelForScore(v))});
    return marks;
}

QString TrendChartModel::title() const
{
    return QStringLiteral("Sentiment · ") + weatherpage::windowName(m_period).toLower();
}

QString TrendChartModel::accessibleName() const
{
    return QStringLiteral("Sentiment trend chart, ") + weatherpage::windowName(m_period);
}

QString TrendChartModel::accessibleHint()
{
    return QStringLiteral("Click a day to open that day’s journal entries");
}

QString TrendChartModel::viewEntriesTitle(const DailySentimentPoint &point) const
{
    return QStringLiteral("View entries for ")
           + DateFormats::format(point.date.toTimeZone(m_calendar.timeZone()), DateStyle::Abbreviated, m_locale);
}

std::optional<DailySentimentPoint> TrendChartModel::chartPoint(const QDateTime &date) const
{
    if (m_points.isEmpty() || !date.isValid())
        return std::nullopt;
    const QString key = m_calendar.dayKey(date);
    for (const DailySentimentPoint &point : m_points) {
        if (m_calendar.dayKey(point.date) == key)
            return point;
    }
    const DailySentimentPoint *best = nullptr;
    qint64 bestDistance = 0;
    for (const DailySentimentPoint &point : m_points) {
        const qint64 distance = std::llabs(date.msecsTo(point.date));
        if (!best || distance < bestDistance) {
            best = &point;
            bestDistance = distance;
        }
    }
    return *best;
}

bool TrendChartModel::isSelected(const DailySentimentPoint &point, const std::optional<QDateTime> &selection) const
{
    return selection && selection->isValid() && m_calendar.dayKey(*selection) == m_calendar.dayKey(point.date);
}

double TrendChartModel::dotDiameter(bool selected)
{
    const double area = selected ? kSelectedDotArea : kDotArea;
    return 2.0 * std::sqrt(area / std::numbers::pi);
}

double TrendChartModel::clampedScore(double score)
{
    return std::isnan(score) ? -1.0 : std::clamp(score, -1.0, 1.0);
}

double TrendChartModel::xFor(const QDateTime &date) const
{
    const qint64 span = m_domain.lower.msecsTo(m_domain.upper);
    if (span <= 0 || !date.isValid())
        return m_plot.center().x();
    const double t = double(m_domain.lower.msecsTo(date)) / double(span);
    return m_plot.left() + t * m_plot.width();
}

double TrendChartModel::yFor(double score) const
{
    const double t = (clampedScore(score) + 1.0) / 2.0;
    return m_plot.bottom() - t * m_plot.height();
}

std::optional<QDateTime> TrendChartModel::dateAtX(double x) const
{
    if (m_plot.width() <= 0 || x < m_plot.left() || x > m_plot.right() || !m_domain.lower.isValid())
        return std::nullopt;
    const qint64 span = std::max<qint64>(0, m_domain.lower.msecsTo(m_domain.upper));
    const double t = (x - m_plot.left()) / m_plot.width();
    return m_domain.lower.addMSecs(qint64(std::llround(t * double(span))));
}

std::optional<DailySentimentPoint> TrendChartModel::dotNear(double x) const
{
    // Days are plotted at their start, so the instant under a dot's left
    // half belongs to the day before, and today's dot sits on the plot's
    // right edge; a pointer on or beside a dot goes by the dot instead.
    const DailySentimentPoint *best = nullptr;
    double bestDistance = 0;
    for (const DailySentimentPoint &point : m_points) {
        const double distance = std::abs(x - xFor(point.date));
        if (distance <= kDotReach && (!best || distance < bestDistance)) {
            best = &point;
            bestDistance = distance;
        }
    }
    if (!best)
        return std::nullopt;
    return *best;
}

std::optional<QDateTime> TrendChartModel::selectionAtX(double x) const
{
    if (const auto dot = dotNear(x))
        return dot->date;
    return dateAtX(x);
}

std::optional<DailySentimentPoint> TrendChartModel::pointForClick(const QPointF &position) const
{
    // A dot at either end of the scale reaches half out of the plot.
    if (position.y() < m_plot.top() - kDotReach || position.y() > m_plot.bottom() + kDotReach)
        return std::nullopt;
    if (const auto dot = dotNear(position.x()))
        return dot;
    if (position.y() < m_plot.top() || position.y() > m_plot.bottom())
        return std::nullopt;
    const std::optional<QDateTime> date = dateAtX(position.x());
    if (!date)
        return std::nullopt;
    return chartPoint(*date);
}

QPainterPath TrendChartModel::trendPath(bool smooth, bool closedToFloor) const
{
    QPainterPath path;
    const qsizetype n = m_points.size();
    if (n == 0)
        return path;
    QList<QPointF> p;
    p.reserve(n);
    for (const DailySentimentPoint &point : m_points)
        p.append(pointFor(point));
    path.moveTo(p.first());
    if (smooth && n > 2) {
        // Monotone cubic (Fritsch-Carlson): the curve never leaves the band
        // between two neighbouring days, so it stays inside the fixed scale.
        std::vector<double> slope(static_cast<std::size_t>(n - 1));
        std::vector<double> tangent(static_cast<std::size_t>(n));
        for (qsizetype i = 0; i + 1 < n; ++i) {
            const double dx = p[i + 1].x() - p[i].x();
            slope[std::size_t(i)] = dx != 0 ? (p[i + 1].y() - p[i].y()) / dx : 0.0;
        }
        tangent[0] = slope[0];
        tangent[std::size_t(n - 1)] = slope[std::size_t(n - 2)];
        for (qsizetype i = 1; i + 1 < n; ++i) {
            const double a = slope[std::size_t(i - 1)], b = slope[std::size_t(i)];
            tangent[std::size_t(i)] = (a * b <= 0) ? 0.0 : 2.0 / (1.0 / a + 1.0 / b);
        }
        for (qsizetype i = 0; i + 1 < n; ++i) {
            const double dx = (p[i + 1].x() - p[i].x()) / 3.0;
            path.cubicTo(QPointF(p[i].x() + dx, p[i].y() + tangent[std::size_t(i)] * dx),
                         QPointF(p[i + 1].x() - dx, p[i + 1].y() - tangent[std::size_t(i + 1)] * dx), p[i + 1]);
        }
    } else {
        for (qsizetype i = 1; i < n; ++i)
            path.lineTo(p[i]);
    }
    if (closedToFloor) {
        const double floor = yFor(-1.0);
        path.lineTo(p.last().x(), floor);
        path.lineTo(p.first().x(), floor);
        path.closeSubpath();
    }
    return path;
}

} // namespace zn
