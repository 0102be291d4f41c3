#include "views/weather/calendar/CalendarControls.h"

#include "app/theme/ThemeScope.h"
#include "platform/symbols/SymbolLibrary.h"
#include "views/kit/FocusRing.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace zn {
namespace {

QColor withOpacity(QColor colour, qreal opacity)
{
    colour.setAlphaF(colour.alphaF() * opacity);
    return colour;
}

constexpr int kBorderedPadding = 12; // around a text label
constexpr int kBorderedInset = 2;    // around a symbol's frame

} // namespace

QColor calendarInk(CalendarInk ink, const ZephyrTheme &theme)
{
    switch (ink) {
    case CalendarInk::Primary: return theme.primaryInk();
    case CalendarInk::Secondary: return theme.secondaryInk();
    case CalendarInk::Faint: return theme.faintInk();
    case CalendarInk::Accent: return theme.accent();
    }
    return theme.primaryInk();
}

CalendarText::CalendarText(const QFont &font, CalendarInk ink, QWidget *parent)
    : QWidget(parent)
    , m_ink(ink)
{
    setFont(font);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void CalendarText::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    setAccessibleName(text);
    updateGeometry();
    update();
}

void CalendarText::setWordWrap(bool wrap)
{
    if (wrap == m_wrap)
        return;
    m_wrap = wrap;
    QSizePolicy policy = sizePolicy();
    policy.setHeightForWidth(wrap);
    setSizePolicy(policy);
    updateGeometry();
    update();
}

int CalendarText::heightForWidth(int width) const
{
    const QFontMetrics fm(font());
    if (!m_wrap)
        return fm.height();
    const QRect bounds = fm.boundingRect(QRect(0, 0, std::max(1, width), 100000),
                                         Qt::AlignLeft | Qt::TextWordWrap, m_text);
    return std::max(fm.height(), bounds.height());
}

QSize CalendarText::sizeHint() const
{
    const QFontMetrics fm(font());
    return {fm.horizontalAdvance(m_text) + 2, fm.height()};
}

QSize CalendarText::minimumSizeHint() const
{
    const QFontMetrics fm(font());
    if (m_wrap) {
        // The longest word must fit.
        int widest = 0;
        for (const QString &word : m_text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            widest = std::max(widest, fm.horizontalAdvance(word));
        return {widest + 2, fm.height()};
    }
    return {fm.horizontalAdvance(QStringLiteral("…")) + 2, fm.height()};
}

void CalendarText::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // Not every layout asks a row's children for their height at a width:
    // claim the wrapped lines' height once the width is known.
    if (m_wrap) {
        const int needed = heightForWidth(width());
        if (minimumHeight() != needed)
            setMinimumHeight(needed);
    }
}

void CalendarText::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(calendarInk(m_ink, ThemeScope::themeFor(this)));
    if (m_wrap) {
        painter.drawText(rect(), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, m_text);
        return;
    }
    const QFontMetrics fm(font());
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter, fm.elidedText(m_text, Qt::ElideRight, width()));
}

CalendarNavButton::CalendarNavButton(const QString &symbol, const QString &text,
                                     const QString &accessibleName, Frame frame, CalendarInk ink,
                                     const QFont &font, QSize contentSize, QWidget *parent)
    : CalendarButton(parent)
    , m_symbol(symbol)
    , m_frame(frame)
    , m_ink(ink)
    , m_contentSize(contentSize)
{
    setTitle(text);
    setFont(font);
    setAccessibleName(accessibleName);
    setToolTip(accessibleName);
    setFocusPolicy(Qt::TabFocus);
}

QSize CalendarNavButton::sizeHint() const
{
    QSize content = m_contentSize;
    if (m_symbol.isEmpty()) {
        const QFontMetrics fm(font());
        content.setWidth(std::max(content.width(), fm.horizontalAdvance(title()) + 2 * kBorderedPadding));
    }
    if (m_frame == Frame::Bordered)
        content += QSize(2 * kBorderedInset, 2 * kBorderedInset);
    return content;
}

void CalendarNavButton::paintEvent(QPaintEvent *)
{
    const ZephyrTheme theme = ThemeScope::themeFor(this);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    if (m_frame == Frame::Bordered) {
        QPainterPath shape;
        shape.addRoundedRect(box, 7, 7);
        QColor fill = theme.isDark() ? QColor(255, 255, 255, 20) : QColor(255, 255, 255, 200);
        painter.fillPath(shape, fill);
        if (isDown())
            painter.fillPath(shape, withOpacity(theme.primaryInk(), 0.10));
        else if (isHovered())
            painter.fillPath(shape, withOpacity(theme.primaryInk(), 0.05));
        painter.setPen(QPen(withOpacity(theme.primaryInk(), theme.isDark() ? 0.18 : 0.14), 1.0));
        painter.drawPath(shape);
    } else if (isDown() || isHovered()) {
        QPainterPath shape;
        shape.addRoundedRect(box, 5, 5);
        painter.fillPath(shape, withOpacity(theme.primaryInk(), isDown() ? 0.10 : 0.05));
    }
    if (showsFocusRing()) {
        paintFocusRing(painter, box, 6, theme);
    }

    const QColor ink = calendarInk(m_ink, theme);
    if (!m_symbol.isEmpty()) {
        const qreal edge = symbolBoxForFontPixelSize(font().pixelSize() > 0 ? font().pixelSize() : 13);
        const QRectF symbolRect(box.center().x() - edge / 2, box.center().y() - edge / 2, edge, edge);
        const SymbolWeight weight = font().weight() >= QFont::Bold       ? SymbolWeight::Bold
                                    : font().weight() >= QFont::DemiBold ? SymbolWeight::Semibold
                                                                          : SymbolWeight::Regular;
        drawSymbol(painter, m_symbol, symbolRect, ink, SymbolRendering::Monochrome, weight);
    } else {
        painter.setPen(ink);
        painter.drawText(rect(), Qt::AlignCenter, title());
    }
}

} // namespace zn
