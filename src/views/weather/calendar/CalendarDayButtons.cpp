#include "views/weather/calendar/CalendarDayButtons.h"

#include "app/marks/WeatherMarks.h"
#include "app/theme/ThemeScope.h"
#include "platform/symbols/SymbolLibrary.h"
#include "views/kit/FocusRing.h"
#include "views/kit/TextStyles.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace zn {
namespace {

constexpr qreal kMonthTileRadius = 12;
constexpr qreal kMiniTileRadius = 5;
constexpr qreal kMonthStackSpacing = 4;
constexpr qreal kSymbolPointSize = 16;
constexpr qreal kDotSize = 4;

QColor withOpacity(QColor colour, qreal opacity)
{
    colour.setAlphaF(colour.alphaF() * opacity);
    return colour;
}

// Fills a rounded tile and strokes its border inside the edge.
void paintTile(QPainter &painter, const QRectF &bounds, qreal radius, const QColor &fill,
               const QColor &border, qreal borderWidth)
{
    if (bounds.width() <= 0 || bounds.height() <= 0)
        return;
    const qreal r = std::min(radius, std::min(bounds.width(), bounds.height()) / 2);
    QPainterPath tile;
    tile.addRoundedRect(bounds, r, r);
    if (fill.alpha() > 0)
        painter.fillPath(tile, fill);
    if (borderWidth > 0 && border.alpha() > 0) {
        const qreal half = borderWidth / 2;
        const QRectF inner = bounds.adjusted(half, half, -half, -half);
        if (inner.width() > 0 && inner.height() > 0) {
            const qreal ir = std::max<qreal>(0, r - half);
            painter.setPen(QPen(border, borderWidth));
            painter.setBrush(Qt::NoBrush);
            painter.drawRoundedRect(inner, ir, ir);
        }
    }
}

// The keyboard's ring, inside the tile's border so that a selected day's
// accent border does not hide it: on a day's weather colour in the ink of
// the day's number, elsewhere in the theme's ring colour.
void paintTileFocusRing(QPainter &painter, const QRectF &bounds, qreal radius, bool weather, const QColor &numberInk,
                        const ZephyrTheme &theme)
{
    paintFocusRing(painter, bounds, radius, weather ? numberInk : focusRingColor(theme), FocusRingGround::Accent);
}

} // namespace

MonthDayButton::MonthDayButton(QWidget *parent)
    : CalendarButton(parent)
{
    setCursor(Qt::PointingHandCursor);
}

void MonthDayButton::setCell(const MonthDayCell &cell, const QString &accessibleName)
{
    m_cell = cell;
    setText(QString::number(cell.dayNumber));
    setAccessibleName(accessibleName);
    update();
}

void MonthDayButton::paintEvent(QPaintEvent *)
{
    const ZephyrTheme theme = ThemeScope::themeFor(this);
    const MonthCellStyle style = monthCellStyle(m_cell, theme);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setClipRect(rect());

    const QRectF bounds = QRectF(rect());
    paintTile(painter, bounds, kMonthTileRadius, style.fill, style.border, style.borderWidth);
    if (isDown())
        paintTile(painter, bounds, kMonthTileRadius, withOpacity(theme.primaryInk(), 0.08), {}, 0);

    const QFont numberFont = textStyleFont(TextStyle::Subheadline,
                                           style.boldNumber ? FontWeight::Bold : FontWeight::Medium);
    const QFont countFont = systemFont(9, FontWeight::Bold);
    const qreal numberHeight = QFontMetricsF(numberFont).height();
    const qreal symbolEdge = symbolBoxForFontPixelSize(kSymbolPointSize);
    const qreal lowerHeight = std::max(kDotSize, QFontMetricsF(countFont).height());

    // Every day's number sits where it would over a symbol, so the numbers of
    // a row line up whether or not their days hold entries.
    const qreal stack = numberHeight + kMonthStackSpacing + symbolEdge + kMonthStackSpacing + lowerHeight;
    const qreal top = std::max<qreal>(0, (bounds.height() - stack) / 2);
    const qreal cx = bounds.center().x();

    painter.setFont(numberFont);
    painter.setPen(style.numberInk);
    painter.drawText(QRectF(bounds.left(), top, bounds.width(), numberHeight), Qt::AlignCenter, text());

    if (m_cell.weather) {
        const qreal symbolTop = top + numberHeight + kMonthStackSpacing;
        drawSymbol(painter, weatherSymbolName(*m_cell.weather),
                   QRectF(cx - symbolEdge / 2, symbolTop, symbolEdge, symbolEdge), style.tint,
                   SymbolRendering::Hierarchical, SymbolWeight::Medium);
        const QRectF lower(bounds.left(), symbolTop + symbolEdge + kMonthStackSpacing, bounds.width(),
                           lowerHeight);
        if (style.showDot) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(withOpacity(style.tint, 0.7));
            painter.drawEllipse(QRectF(cx - kDotSize / 2, lower.center().y() - kDotSize / 2, kDotSize, kDotSize));
        } else if (!style.countText.isEmpty()) {
            painter.setFont(countFont);
            painter.setPen(theme.faintInk());
            painter.drawText(lower, Qt::AlignCenter, style.countText);
        }
    }
    if (showsFocusRing())
        paintTileFocusRing(painter, bounds, kMonthTileRadius, m_cell.weather.has_value(), style.numberInk, theme);
}

MiniDayButton::MiniDayButton(QWidget *parent)
    : CalendarButton(parent)
{
    setCursor(Qt::PointingHandCursor);
}

void MiniDayButton::setCell(const MiniDayCell &cell, const QString &accessibleName)
{
    m_cell = cell;
    setText(QString::number(cell.dayNumber));
    setAccessibleName(accessibleName);
    setToolTip(accessibleName);
    update();
}

void MiniDayButton::paintEvent(QPaintEvent *)
{
    const ZephyrTheme theme = ThemeScope::themeFor(this);
    const MiniCellStyle style = miniCellStyle(m_cell, theme);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    const QRectF bounds = QRectF(rect());
    paintTile(painter, bounds, kMiniTileRadius, style.fill, style.border, style.borderWidth);
    if (isDown())
        paintTile(painter, bounds, kMiniTileRadius, withOpacity(theme.primaryInk(), 0.10), {}, 0);

    painter.setFont(systemFont(10, style.boldNumber ? FontWeight::Bold : FontWeight::Medium));
    painter.setPen(style.numberInk);
    painter.drawText(bounds, Qt::AlignCenter, text());
    if (showsFocusRing())
        paintTileFocusRing(painter, bounds, kMiniTileRadius, m_cell.weather.has_value(), style.numberInk, theme);
}

} // namespace zn
