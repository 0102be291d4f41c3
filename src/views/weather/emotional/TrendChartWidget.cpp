#include "views/weather/emotional/TrendChartWidget.h"

#include "app/marks/TextStyles.h"
#include "app/theme/ThemeScope.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cstring>

namespace zn {
namespace {

constexpr double kTopInset = 8;
constexpr double kLeadInset = 6;
constexpr double kLabelGap = 6;
constexpr double kTickLength = 4;
constexpr double kAxisLabelGap = 3;

QColor withAlpha(QColor color, double alpha)
{
    color.setAlphaF(float(alpha));
    return color;
}

QPen dashedPen(const QColor &color, qreal dash)
{
    QPen pen(color, 0.5);
    pen.setDashPattern({dash / 0.5, dash / 0.5}); // dash units scale with the pen width
    pen.setCapStyle(Qt::FlatCap);
    return pen;
}

QFont axisFont()
{
    return textStyleFont(TextStyle::Caption2);
}

} // namespace

TrendChartWidget::TrendChartWidget(QWidget *parent) : QWidget(parent)
{
    setMouseTracking(true);
    setFixedHeight(int(TrendChartModel::kChartHeight));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAccessibleDescription(TrendChartModel::accessibleHint());
}

TrendChartWidget::~TrendChartWidget() = default;

void TrendChartWidget::setModel(std::unique_ptr<TrendChartModel> model)
{
    m_model = std::move(model);
    setAccessibleName(m_model ? m_model->accessibleName() : QString());
    layoutPlot();
    update();
}

void TrendChartWidget::setSelectedDate(const std::optional<QDateTime> &date)
{
    if (m_selected == date)
        return;
    m_selected = date;
    update();
    Q_EMIT selectedDateChanged();
}

void TrendChartWidget::setReduceMotion(bool reduce)
{
    if (m_reduceMotion == reduce)
        return;
    m_reduceMotion = reduce;
    update();
}

int TrendChartWidget::scaleLabelWidth() const
{
    const QFontMetricsF metrics(axisFont());
    double widest = 0;
    for (const TrendChartModel::ScaleMark &mark : TrendChartModel::yMarks())
        widest = std::max(widest, metrics.horizontalAdvance(mark.label));
    return int(std::ceil(widest));
}

QRectF TrendChartWidget::plotRect() const
{
    const QFontMetricsF metrics(axisFont());
    const double bottomBand = kTickLength + kAxisLabelGap + metrics.height();
    // Mood words stand on the trailing side, as the platform chart puts them.
    const double right = width() - scaleLabelWidth() - kLabelGap;
    const double half = TrendChartModel::dotDiameter(true) / 2;
    return QRectF(QPointF(kLeadInset + half, kTopInset), QPointF(std::max(kLeadInset + half + 1, right - half),
                                                                 std::max(kTopInset + 1, height() - bottomBand)));
}

void TrendChartWidget::layoutPlot()
{
    if (m_model)
        m_model->setPlotRect(plotRect());
}

void TrendChartWidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutPlot();
}

QSize TrendChartWidget::sizeHint() const
{
    return {480, int(TrendChartModel::kChartHeight)};
}

QSize TrendChartWidget::minimumSizeHint() const
{
    return {120, int(TrendChartModel::kChartHeight)};
}

void TrendChartWidget::mouseMoveEvent(QMouseEvent *event)
{
    QWidget::mouseMoveEvent(event);
    if (!m_model)
        return;
    // A dot's day, or the raw instant under the pointer as the platform's
    // selection gives it; leaving the plot keeps the last one.
    if (const auto date = m_model->selectionAtX(event->position().x()))
        setSelectedDate(date);
}

void TrendChartWidget::mouseReleaseEvent(QMouseEvent *event)
{
    QWidget::mouseReleaseEvent(event);
    if (!m_model || event->button() != Qt::LeftButton)
        return;
    const auto point = m_model->pointForClick(event->position());
    if (!point)
        return;
    setSelectedDate(point->date);
    Q_EMIT dayClicked(point->date);
}

quint64 TrendChartWidget::layerKey(const ZephyrTheme &theme, bool smooth) const
{
    quint64 h = 1469598103934665603ull; // FNV-1a over the inputs
    const auto mix = [&h](quint64 value) {
        for (int i = 0; i < 8; ++i) {
            h ^= (value >> (8 * i)) & 0xff;
            h *= 1099511628211ull;
        }
    };
    const TrendChartModel &model = *m_model;
    mix(quint64(width()) << 32 | quint64(height()));
    mix(quint64(devicePixelRatioF() * 100));
    mix(quint64(theme.palette) << 8 | quint64(theme.colorScheme) << 1 | quint64(smooth));
    mix(quint64(model.period()));
    mix(quint64(model.domain().lower.toMSecsSinceEpoch()));
    mix(quint64(model.domain().upper.toMSecsSinceEpoch()));
    for (const DailySentimentPoint &point : model.points()) {
        mix(quint64(point.date.toMSecsSinceEpoch()));
        double score = TrendChartModel::clampedScore(point.averageSentiment);
        quint64 bits = 0;
        std::memcpy(&bits, &score, sizeof bits);
        mix(bits);
    }
    return h;
}

void TrendChartWidget::paintEvent(QPaintEvent *)
{
    if (!m_model)
        return;
    const ZephyrTheme theme = ThemeScope::themeFor(this);
    const bool smooth = !(m_reduceMotion || ThemeScope::accessibilityFor(this).reduceMotion);
    const quint64 key = layerKey(theme, smooth);
    auto found = std::find_if(m_layers.begin(), m_layers.end(), [key](const Layer &l) { return l.key == key; });
    if (found == m_layers.end()) {
        const qreal dpr = devicePixelRatioF();
        QPixmap pixmap(size() * dpr);
        pixmap.setDevicePixelRatio(dpr);
        pixmap.fill(Qt::transparent);
        QPainter layerPainter(&pixmap);
        paintLayer(layerPainter, theme, smooth);
        layerPainter.end();
        m_layers.prepend({key, pixmap});
        if (m_layers.size() > 4)
            m_layers.removeLast();
        found = m_layers.begin();
    }

    QPainter painter(this);
    painter.drawPixmap(0, 0, found->pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const TrendChartModel &model = *m_model;
    const bool dark = theme.isDark();
    for (const DailySentimentPoint &point : model.points()) {
        painter.setBrush(withAlpha(theme.sentimentColor(point.averageSentiment), dark ? 0.9 : 0.85));
        painter.drawEllipse(dotRect(point));
    }
}

QRectF TrendChartWidget::dotRect(const DailySentimentPoint &point) const
{
    if (!m_model)
        return {};
    const double d = TrendChartModel::dotDiameter(m_model->isSelected(point, m_selected));
    const QPointF centre = m_model->pointFor(point);
    return {centre.x() - d / 2, centre.y() - d / 2, d, d};
}

void TrendChartWidget::paintLayer(QPainter &painter, const ZephyrTheme &theme, bool smooth) const
{
    const bool dark = theme.isDark();
    const TrendChartModel &model = *m_model;
    const QRectF plot = model.plotRect();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QFont font = axisFont();
    const QFontMetricsF metrics(font);
    painter.setFont(font);
    const QColor gridInk = withAlpha(theme.secondaryInk(), theme.secondaryInk().alphaF() * 0.6);

    // Mood scale: dashed lines across the plot, weather words beside them.
    for (const TrendChartModel::ScaleMark &mark : TrendChartModel::yMarks()) {
        const double y = model.yFor(mark.value);
        painter.setPen(dashedPen(gridInk, 4));
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        painter.setPen(theme.secondaryInk());
        const QRectF box(plot.right() + TrendChartModel::dotDiameter(true) / 2 + kLabelGap, y - metrics.height() / 2,
                         metrics.horizontalAdvance(mark.label) + 1, metrics.height());
        painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, mark.label);
    }

    // Dates: dashed line, tick and label per mark; a label that would run
    // into the previous one is left out rather than overprinted.
    double lastLabelRight = -1e9;
    for (const TrendChartModel::Mark &mark : model.xMarks()) {
        const double x = model.xFor(mark.date);
        painter.setPen(dashedPen(gridInk, 3));
        painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        painter.setPen(QPen(gridInk, 0.5));
        painter.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + kTickLength));
        if (mark.label.isEmpty())
            continue;
        const double w = metrics.horizontalAdvance(mark.label);
        const double left = std::clamp(x - w / 2, 0.0, std::max(0.0, width() - w));
        if (left < lastLabelRight + 4)
            continue;
        painter.setPen(theme.secondaryInk());
        painter.drawText(QRectF(left, plot.bottom() + kTickLength + kAxisLabelGap, w + 1, metrics.height()),
                         Qt::AlignLeft | Qt::AlignTop, mark.label);
        lastLabelRight = left + w;
    }

    if (!model.showsAreaAndLine())
        return;
    const QColor accent = theme.accent();
    QLinearGradient fill(QPointF(0, plot.top()), QPointF(0, plot.bottom()));
    fill.setColorAt(0.0, withAlpha(accent, dark ? 0.45 : 0.28));
    fill.setColorAt(0.4, withAlpha(accent, dark ? 0.18 : 0.12));
    fill.setColorAt(0.85, withAlpha(accent, 0.04));
    fill.setColorAt(1.0, withAlpha(accent, 0.0));
    painter.fillPath(model.trendPath(smooth, true), fill);
    painter.setPen(QPen(accent, TrendChartModel::kLineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(model.trendPath(smooth, false));
}

} // namespace zn
