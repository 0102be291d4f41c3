#include "views/kit/FocusRing.h"

#include <QPainter>

#include <algorithm>

namespace zn {

bool isKeyboardFocusReason(Qt::FocusReason reason)
{
    return reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason;
}

QColor focusRingColor(const ZephyrTheme &theme, FocusRingGround ground)
{
    if (ground == FocusRingGround::Accent) {
        // The same dark or white that the accent fill's title is drawn in.
        const QColor accent = theme.accent();
        return accent.lightnessF() > 0.6 ? QColor::fromRgbF(0.1f, 0.08f, 0.06f, 0.85f)
                                         : QColor::fromRgbF(1, 1, 1, 0.95f);
    }
    return theme.accent();
}

void paintFocusRing(QPainter &painter, const QRectF &shape, qreal radius, const ZephyrTheme &theme,
                    FocusRingGround ground)
{
    paintFocusRing(painter, shape, radius, focusRingColor(theme, ground), ground);
}

void paintFocusRing(QPainter &painter, const QRectF &shape, qreal radius, const QColor &color,
                    FocusRingGround ground)
{
    constexpr qreal kWidth = 2;
    // On a coloured fill the ring stands a little in from the edge, so the
    // fill frames it on both sides.
    const qreal inset = ground == FocusRingGround::Accent ? kWidth / 2 + 1.5 : kWidth / 2;
    const QRectF ring = shape.adjusted(inset, inset, -inset, -inset);
    if (ring.width() <= 0 || ring.height() <= 0)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(color, kWidth));
    painter.setBrush(Qt::NoBrush);
    const qreal r = std::max<qreal>(0, radius - inset);
    painter.drawRoundedRect(ring, r, r);
    painter.restore();
}

} // namespace zn
