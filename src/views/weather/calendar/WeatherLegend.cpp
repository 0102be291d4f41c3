#include "views/weather/calendar/WeatherLegend.h"

#include "app/marks/WeatherMarks.h"
#include "app/theme/ThemeScope.h"
#include "core/WeatherLabel.h"
#include "platform/symbols/SymbolLibrary.h"
#include "views/kit/TextStyles.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace zn {
namespace {
constexpr qreal kItemSpacing = 14;
constexpr qreal kSymbolGap = 4;
constexpr qreal kLineSpacing = 6;

QFont legendFont()
{
    return textStyleFont(TextStyle::Caption2);
}
} // namespace

WeatherLegend::WeatherLegend(QWidget *parent)
    : QWidget(parent)
{
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    QStringList titles;
    for (WeatherLabel label : allWeatherLabels())
        titles.append(weatherTitle(label));
    setAccessibleName(titles.join(QStringLiteral(", ")));
}

QList<WeatherLegend::Item> WeatherLegend::layoutFor(int width, int *height) const
{
    const QFontMetricsF fm(legendFont());
    const qreal lineHeight = std::max(fm.height(), symbolBoxForFontPixelSize(legendFont().pixelSize()));
    const qreal symbolEdge = symbolBoxForFontPixelSize(legendFont().pixelSize());
    QList<Item> items;
    qreal x = 0;
    qreal y = 0;
    for (WeatherLabel label : allWeatherLabels()) {
        const qreal titleWidth = fm.horizontalAdvance(weatherTitle(label));
        const qreal itemWidth = symbolEdge + kSymbolGap + titleWidth;
        if (x > 0 && x + itemWidth > width) {
            x = 0;
            y += lineHeight + kLineSpacing;
        }
        Item item;
        item.symbol = QRectF(x, y + (lineHeight - symbolEdge) / 2, symbolEdge, symbolEdge);
        item.title = QRectF(x + symbolEdge + kSymbolGap, y, titleWidth + 1, lineHeight);
        items.append(item);
        x += itemWidth + kItemSpacing;
    }
    if (height)
        *height = int(std::ceil(y + lineHeight));
    return items;
}

int WeatherLegend::heightForWidth(int width) const
{
    int height = 0;
    layoutFor(std::max(0, width), &height);
    return height;
}

QSize WeatherLegend::sizeHint() const
{
    int height = 0;
    const QList<Item> items = layoutFor(10000, &height);
    return {int(std::ceil(items.isEmpty() ? 0 : items.last().title.right())), height};
}

QSize WeatherLegend::minimumSizeHint() const
{
    int height = 0;
    const QList<Item> items = layoutFor(0, &height);
    qreal widest = 0;
    for (const Item &item : items)
        widest = std::max(widest, item.title.right());
    return {int(std::ceil(widest)), height};
}

void WeatherLegend::paintEvent(QPaintEvent *)
{
    const ZephyrTheme theme = ThemeScope::themeFor(this);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(legendFont());
    const QList<Item> items = layoutFor(width(), nullptr);
    const QList<WeatherLabel> &labels = allWeatherLabels();
    for (int i = 0; i < items.size() && i < labels.size(); ++i) {
        drawSymbol(painter, weatherSymbolName(labels[i]), items[i].symbol, ZephyrTheme::weatherColor(labels[i]),
                   SymbolRendering::Hierarchical);
        painter.setPen(theme.secondaryInk());
        painter.drawText(items[i].title, Qt::AlignLeft | Qt::AlignVCenter, weatherTitle(labels[i]));
    }
}

} // namespace zn
