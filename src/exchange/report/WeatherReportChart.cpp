#include "exchange/report/WeatherReportChart.h"

#include "core/WeatherLabel.h"
#include "exchange/report/ReportCanvas.h"
#include "exchange/report/ReportNumbers.h"

#include <QLinearGradient>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace zn {
namespace {

constexpr qreal kPlotLeft = 48;
constexpr qreal kPlotWidth = 516;
constexpr qreal kCornerRadius = 10;
constexpr int kMaxDateLabels = 5;

const QColor kMutedLabel = QColor::fromRgbF(0, 0, 0, 0.48f);

QColor grey(float white, float alpha = 1.0f)
{
    return QColor::fromRgbF(white, white, white, alpha);
}

QColor withAlpha(QColor color, float alpha)
{
    color.setAlphaF(alpha);
    return color;
}

QColor mix(const QColor &a, const QColor &b, qreal t)
{
    const auto lerp = [t](float x, float y) { return float(x + (y - x) * t); };
    return QColor::fromRgbF(lerp(a.redF(), b.redF()), lerp(a.greenF(), b.greenF()),
                            lerp(a.blueF(), b.blueF()), lerp(a.alphaF(), b.alphaF()));
}

// `over` with its alpha laid on the opaque `under`.
QColor composite(const QColor &over, const QColor &under)
{
    const float a = over.alphaF();
    return QColor::fromRgbF(over.redF() * a + under.redF() * (1 - a), over.greenF() * a + under.greenF() * (1 - a),
                            over.blueF() * a + under.blueF() * (1 - a));
}

// Gradient stops carrying alpha become a soft mask in Qt's PDF output,
// which viewers show fully opaque, so each gradient is pre-blended onto
// what lies beneath it and written with opaque stops only.
QColor backgroundTop(const ZephyrTheme &theme) { return composite(withAlpha(theme.accent(), 0.1f), Qt::white); }
QColor backgroundBottom() { return grey(0.97f); }

QColor backgroundAt(const ZephyrTheme &theme, qreal t)
{
    return mix(backgroundTop(theme), backgroundBottom(), t);
}

QColor pointColor(const ZephyrTheme &theme, double score)
{
    return withAlpha(theme.sentimentColor(score), 0.85f);
}

QPainterPath plotShape(const QRectF &plot)
{
    QPainterPath path;
    path.addRoundedRect(plot, kCornerRadius, kCornerRadius);
    return path;
}

void strokePlotBorder(QPainter &painter, const QRectF &plot)
{
    painter.save();
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(grey(0.78f), 0.5));
    painter.drawPath(plotShape(plot));
    painter.restore();
}

void drawArea(QPainter &painter, const QRectF &plot, const QList<QPointF> &positions, const ZephyrTheme &theme)
{
    QPainterPath area;
    area.moveTo(positions.first().x(), plot.bottom());
    for (const QPointF &p : positions)
        area.lineTo(p);
    area.lineTo(positions.last().x(), plot.bottom());
    area.closeSubpath();
    // A wash without area (every point on one day, or all on the bottom
    // edge) would only leave a degenerate clip path in the PDF.
    const QRectF bounds = area.boundingRect();
    if (bounds.width() < 0.01 || bounds.height() < 0.01)
        return;

    // Two gradients over each other blend non-linearly; enough stops keep
    // the pre-blended result within a shade of the true composite.
    const QColor top = withAlpha(theme.sentimentColor(1.0), 0.22f);
    const QColor bottom = withAlpha(theme.sentimentColor(-1.0), 0.04f);
    QLinearGradient gradient(plot.center().x(), plot.top(), plot.center().x(), plot.bottom());
    constexpr int kStops = 8;
    for (int i = 0; i <= kStops; ++i) {
        const qreal t = qreal(i) / kStops;
        gradient.setColorAt(t, composite(mix(top, bottom, t), backgroundAt(theme, t)));
    }

    painter.save();
    area.setFillRule(Qt::WindingFill);
    painter.setClipPath(area);
    // Kept inside the rounded plot, whose border is stroked over it.
    painter.setClipPath(plotShape(plot), Qt::IntersectClip);
    painter.fillRect(plot, gradient);
    painter.restore();
}

void drawScoreLabels(ReportCanvas &canvas, const ReportChartGeometry &geometry)
{
    const ReportTextStyle style{8, QFont::Medium, kMutedLabel};
    const struct {
        double score;
        const char *title;
    } labels[] = {{-1.0, "Stormy"}, {0.0, "Overcast"}, {1.0, "Sunny"}};
    const qreal height = canvas.lineHeight(style);
    for (const auto &label : labels) {
        const QString text = QString::fromLatin1(label.title);
        const qreal x = geometry.plot().right() - canvas.lineWidth(text, style) - 4;
        canvas.drawLine(text, QPointF(x, geometry.yForScore(label.score) - height / 2), style);
    }
}

void drawDateLabels(ReportCanvas &canvas, const ReportChartGeometry &geometry, const DateRange &domain,
                    const CalendarProvider &calendar)
{
    const ReportTextStyle style{8, QFont::Normal, kMutedLabel};
    const QLocale locale;
    for (const QDateTime &date : chartTickDates(domain, kMaxDateLabels, calendar)) {
        const QString text = locale.toString(date.toTimeZone(calendar.timeZone()).date(), QStringLiteral("MMM d"));
        const qreal x = geometry.xForDate(date) - canvas.lineWidth(text, style) / 2;
        canvas.drawLine(text, QPointF(x, geometry.plot().bottom() + 6), style);
    }
}

QString highLowText(const char *prefix, double score)
{
    return QString::fromLatin1(prefix) + displayName(weatherLabelForScore(score)) + QStringLiteral(" (")
           + formatSignedScore(score) + QStringLiteral(")");
}

} // namespace

ReportChartGeometry::ReportChartGeometry(qreal top, const DateRange &domain, const CalendarProvider &calendar)
    : m_plot(kPlotLeft, top, kPlotWidth, kPlotHeight)
    , m_domain(domain)
    , m_calendar(calendar)
{
}

qreal ReportChartGeometry::yForScore(double score) const
{
    const double t = score > -1.0 ? (std::min(score, 1.0) + 1.0) / 2.0 : 0.0;
    return m_plot.bottom() - kPlotHeight * t;
}

qreal ReportChartGeometry::xForDate(const QDateTime &date) const
{
    const qint64 lower = m_domain.lower.toMSecsSinceEpoch();
    const qint64 upper = m_domain.upper.toMSecsSinceEpoch();
    if (!m_domain.lower.isValid() || !m_domain.upper.isValid() || upper <= lower)
        return m_plot.center().x();
    const QDateTime day = m_calendar.startOfDay(date);
    if (!day.isValid())
        return m_plot.left();
    const double f = double(day.toMSecsSinceEpoch() - lower) / double(upper - lower);
    return m_plot.left() + m_plot.width() * std::clamp(f, 0.0, 1.0);
}

QList<QDateTime> chartTickDates(const DateRange &domain, int maxCount, const CalendarProvider &calendar)
{
    const QDateTime start = calendar.startOfDay(domain.lower);
    const QDateTime end = calendar.startOfDay(domain.upper);
    if (!start.isValid() || !end.isValid())
        return {start};
    const QDate first = start.toTimeZone(calendar.timeZone()).date();
    const qint64 days = first.daysTo(end.toTimeZone(calendar.timeZone()).date());
    if (days <= 0)
        return {start};
    const qint64 steps = std::max<qint64>(1, std::min<qint64>(days, qint64(maxCount) - 1));
    QList<QDateTime> out;
    for (qint64 i = 0; i <= steps; ++i) {
        // std::round takes halves away from zero: 6 days in 4 steps gives 0, 2, 3, 5, 6.
        const qint64 offset = qint64(std::round(double(days) * double(i) / double(steps)));
        const QDateTime date = first.addDays(offset).startOfDay(calendar.timeZone());
        if (date.isValid())
            out.append(date);
    }
    return out;
}

void sortDailyPointsByDate(QList<WeatherPDFDailyPoint> &points)
{
    std::stable_sort(points.begin(), points.end(),
                     [](const WeatherPDFDailyPoint &a, const WeatherPDFDailyPoint &b) { return a.date < b.date; });
}

qreal drawHighLowLine(ReportCanvas &canvas, qreal y, const QList<WeatherPDFDailyPoint> &points,
                      const QColor &secondaryText)
{
    if (points.isEmpty())
        return y;
    const WeatherPDFDailyPoint *high = &points.first();
    const WeatherPDFDailyPoint *low = &points.first();
    for (const WeatherPDFDailyPoint &point : points) {
        if (point.averageScore > high->averageScore)
            high = &point;
        if (point.averageScore < low->averageScore)
            low = &point;
    }
    if (high->dayKey == low->dayKey)
        return y;
    const ReportTextStyle style{10, QFont::Medium, secondaryText};
    canvas.drawLine(highLowText("High: ", high->averageScore), QPointF(48, y), style);
    canvas.drawLine(highLowText("Low: ", low->averageScore), QPointF(248, y), style);
    return y + 16;
}

void drawChartBackground(QPainter &painter, const QRectF &plot, const ZephyrTheme &theme)
{
    const QPainterPath shape = plotShape(plot);
    QLinearGradient gradient(plot.center().x(), plot.top(), plot.center().x(), plot.bottom());
    gradient.setColorAt(0, backgroundTop(theme));
    gradient.setColorAt(1, backgroundBottom());
    painter.save();
    painter.setClipPath(shape);
    painter.fillRect(plot, gradient);
    painter.restore();

    strokePlotBorder(painter, plot);
}

void drawChartGridLines(QPainter &painter, const QRectF &plot, const QColor &lightLine)
{
    painter.save();
    painter.setPen(QPen(lightLine, 0.5));
    for (const qreal t : {0.0, 0.5, 1.0}) {
        const qreal y = plot.bottom() - plot.height() * t;
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    }
    painter.restore();
}

qreal drawDailyMoodChart(ReportCanvas &canvas, qreal y, const QList<WeatherPDFDailyPoint> &points,
                         const DateRange &domain, const ZephyrTheme &theme, const QColor &lightLine,
                         const CalendarProvider &calendar)
{
    QList<WeatherPDFDailyPoint> sorted = points;
    sortDailyPointsByDate(sorted);
    const ReportChartGeometry geometry(y, domain, calendar);
    const QRectF plot = geometry.plot();
    QPainter &painter = canvas.painter();

    QList<QPointF> positions;
    positions.reserve(sorted.size());
    for (const WeatherPDFDailyPoint &point : sorted)
        positions.append(QPointF(geometry.xForDate(point.date), geometry.yForScore(point.averageScore)));

    drawChartBackground(painter, plot, theme);
    // The area is pre-blended and opaque, so what a faint wash would let
    // show through (border, grid lines, score labels) is drawn over it.
    if (positions.size() >= 2) {
        drawArea(painter, plot, positions, theme);
        strokePlotBorder(painter, plot);
    }
    drawChartGridLines(painter, plot, lightLine);
    drawScoreLabels(canvas, geometry);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (positions.size() >= 2) {
        for (qsizetype i = 0; i + 1 < positions.size(); ++i) {
            // Two points of one day in one place: nothing to join (and Qt
            // would write an empty path), the marker covers the spot.
            if (positions[i] == positions[i + 1])
                continue;
            painter.setPen(QPen(pointColor(theme, sorted[i].averageScore), 2.5, Qt::SolidLine, Qt::RoundCap,
                                Qt::RoundJoin));
            painter.drawLine(positions[i], positions[i + 1]);
        }
    }
    for (qsizetype i = 0; i < positions.size(); ++i) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::white);
        painter.drawEllipse(positions[i], 3.5, 3.5);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(pointColor(theme, sorted[i].averageScore), 2));
        painter.drawEllipse(positions[i], 5, 5);
    }
    painter.restore();

    drawDateLabels(canvas, geometry, domain, calendar);
    return plot.bottom() + 28;
}

} // namespace zn
