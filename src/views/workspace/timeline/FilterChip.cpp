#include "views/workspace/timeline/FilterChip.h"

#include "app/marks/TextStyles.h"
#include "app/theme/ThemeScope.h"
#include "views/kit/FocusRing.h"

#include <QFocusEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionFocusRect>

#include <cmath>

namespace zn {
namespace {

constexpr qreal kPadH = 12;
constexpr qreal kPadV = 6;

QFont chipFont()
{
    return textStyleFont(TextStyle::Caption, FontWeight::Semibold);
}

QColor withAlpha(QColor color, qreal alpha)
{
    color.setAlphaF(float(alpha));
    return color;
}

QPainterPath capsule(const QRectF &rect)
{
    QPainterPath path;
    const qreal r = rect.height() / 2;
    path.addRoundedRect(rect, r, r);
    return path;
}

} // namespace

FilterChip::FilterChip(const QString &title, QWidget *parent)
    : QAbstractButton(parent)
{
    setText(title);
    setAccessibleName(title);
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void FilterChip::setSelected(bool selected)
{
    if (m_selected == selected)
        return;
    m_selected = selected;
    // Not a checkable button: a click on the chosen chip must not unchoose it.
    setAccessibleDescription(selected ? tr("Selected") : QString());
    update();
}

void FilterChip::setAccent(const QColor &accent)
{
    m_accent = accent;
    update();
}

QColor FilterChip::accent() const
{
    return m_accent.isValid() ? m_accent : ThemeScope::themeFor(this).accent();
}

QSize FilterChip::sizeHint() const
{
    const QFontMetricsF fm(chipFont());
    return QSize(int(std::ceil(fm.horizontalAdvance(text()) + 2 * kPadH)), int(std::ceil(fm.height() + 2 * kPadV)));
}

void FilterChip::paintEvent(QPaintEvent *)
{
    const ZephyrTheme theme = ThemeScope::themeFor(this);
    const bool dark = theme.isDark();
    const QColor accentColor = accent();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QRectF rect = QRectF(this->rect());
    painter.fillPath(capsule(rect), m_selected ? withAlpha(accentColor, 0.2) : withAlpha(theme.paper(), 0.55));
    const qreal line = 1;
    QColor border = m_selected ? withAlpha(accentColor, 0.55)
                               : (dark ? QColor::fromRgbF(1, 1, 1, 0.1f) : QColor::fromRgbF(0, 0, 0, 0.08f));
    painter.setPen(QPen(border, line));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(capsule(rect.adjusted(line / 2, line / 2, -line / 2, -line / 2)));
    // The theme's ring, not the chip's own colour: it must stand out from
    // the chip's tint and border alike.
    if (hasFocus() && m_keyboardFocus)
        paintFocusRing(painter, rect, rect.height() / 2, theme);

    QColor ink = m_selected ? (dark ? QColor::fromRgbF(1, 1, 1, 0.92f) : QColor::fromRgbF(0, 0, 0, 0.88f))
                            : (dark ? QColor::fromRgbF(1, 1, 1, 0.55f) : QColor::fromRgbF(0, 0, 0, 0.48f));
    if (isDown())
        ink.setAlphaF(ink.alphaF() * 0.7f);
    painter.setFont(chipFont());
    painter.setPen(ink);
    painter.drawText(rect, Qt::AlignCenter, text());
}

} // namespace zn

namespace zn {

void FilterChip::focusInEvent(QFocusEvent *event)
{
    // The ring marks focus reached from the keyboard, not focus a click or
    // a hidden neighbour handed over.
    m_keyboardFocus = event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason;
    QAbstractButton::focusInEvent(event);
}

} // namespace zn
