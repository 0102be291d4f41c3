#pragma once

#include <QWidget>

namespace zn {

// The five weathers in order, each its symbol in its colour and its title,
// wrapping onto more lines when the row is narrower than the legend.
class WeatherLegend : public QWidget
{
    Q_OBJECT
public:
    explicit WeatherLegend(QWidget *parent = nullptr);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    struct Item {
        QRectF symbol;
        QRectF title;
    };
    QList<Item> layoutFor(int width, int *height) const;
};

} // namespace zn
