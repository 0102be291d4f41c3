#pragma once

#include "views/weather/emotional/TrendChartModel.h"

#include "app/theme/ZephyrTheme.h"

#include <QDateTime>
#include <QPixmap>
#include <QWidget>

#include <memory>

class QPainter;
#include <optional>

namespace zn {

// The painted trend chart: area and line over the days of the window, a dot
// per day (larger for the picked day), weather words on the mood scale and
// dates along the bottom. Hovering picks the day under the pointer, or the
// day of the dot it is on or beside, and keeps it when the pointer leaves,
// so the "View entries" button stays reachable; a click picks the day the
// same way and asks for it to be opened.
class TrendChartWidget : public QWidget
{
    Q_OBJECT
public:
    explicit TrendChartWidget(QWidget *parent = nullptr);
    ~TrendChartWidget() override;

    // A new window or new days; the picked date stays as it is.
    void setModel(std::unique_ptr<TrendChartModel> model);
    const TrendChartModel *model() const { return m_model.get(); }

    std::optional<QDateTime> selectedDate() const { return m_selected; }
    void setSelectedDate(const std::optional<QDateTime> &date);

    // Straight segments instead of curves while motion is reduced.
    void setReduceMotion(bool reduce);
    bool reduceMotion() const { return m_reduceMotion; }

    // The rectangle the days are plotted in, for the current size.
    QRectF plotRect() const;
    // Where a day's dot is painted, at its current size.
    QRectF dotRect(const DailySentimentPoint &point) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    void selectedDateChanged();
    // A click on a day: its start.
    void dayClicked(const QDateTime &dayStart);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    struct Layer {
        quint64 key = 0;
        QPixmap pixmap;
    };

    void layoutPlot();
    int scaleLabelWidth() const;
    // What the still part of the chart depends on: size, theme, curve kind
    // and the window's days.
    quint64 layerKey(const ZephyrTheme &theme, bool smooth) const;
    void paintLayer(QPainter &painter, const ZephyrTheme &theme, bool smooth) const;

    // The grid, labels, area and line of the last few windows drawn, so a
    // switch back to one, or a redraw after an unrelated save, only blits.
    QList<Layer> m_layers;

    std::unique_ptr<TrendChartModel> m_model;
    std::optional<QDateTime> m_selected;
    bool m_reduceMotion = false;
};

} // namespace zn
