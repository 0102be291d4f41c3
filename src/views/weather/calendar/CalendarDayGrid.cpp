#include "views/weather/calendar/CalendarDayGrid.h"

#include "app/theme/ThemeScope.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace zn {
namespace {
constexpr int kMaxSlots = 42;
constexpr int kDefaultWidth = 520;
} // namespace

CalendarDayGrid::CalendarDayGrid(const CalendarDayGridStyle &style, const ButtonFactory &makeButton,
                                 QWidget *parent)
    : QWidget(parent)
    , m_style(style)
{
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    m_buttons.reserve(kMaxSlots);
    for (int i = 0; i < kMaxSlots; ++i) {
        QAbstractButton *button = makeButton(this);
        button->hide();
        button->setFocusPolicy(Qt::NoFocus);
        button->installEventFilter(this);
        m_buttons.append(button);
    }
}

void CalendarDayGrid::setWeekdaySymbols(const QStringList &symbols)
{
    if (symbols == m_weekdays)
        return;
    m_weekdays = symbols;
    update();
}

void CalendarDayGrid::setSlots(const QList<bool> &isDay)
{
    const int rowsBefore = calendarRowCount(int(m_isDay.size()));
    m_isDay = isDay.mid(0, kMaxSlots);
    for (int i = 0; i < kMaxSlots; ++i)
        m_buttons[i]->setVisible(i < m_isDay.size() && m_isDay[i]);
    if (calendarRowCount(int(m_isDay.size())) != rowsBefore)
        updateGeometry();
    placeButtons();
    setCurrentSlot(m_current);
}

void CalendarDayGrid::showMonth(const QStringList &weekdaySymbols, const MonthSlots &days)
{
    setWeekdaySymbols(weekdaySymbols);
    QList<bool> isDay;
    isDay.reserve(days.size());
    for (const std::optional<QDateTime> &slot : days)
        isDay.append(slot.has_value());
    setSlots(isDay);
}

void CalendarDayGrid::setCurrentSlot(int slot)
{
    const auto isDay = [this](int i) { return i >= 0 && i < m_isDay.size() && m_isDay[i]; };
    if (!isDay(slot))
        slot = int(m_isDay.indexOf(true));
    const bool hadFocus = isDay(m_current) && m_buttons[m_current]->hasFocus();
    for (int i = 0; i < m_buttons.size(); ++i)
        m_buttons[i]->setFocusPolicy(i == slot ? Qt::TabFocus : Qt::NoFocus);
    m_current = slot;
    if (hadFocus && slot >= 0)
        m_buttons[slot]->setFocus(Qt::TabFocusReason);
}

QAbstractButton *CalendarDayGrid::buttonAt(int slot) const
{
    if (slot < 0 || slot >= m_isDay.size() || !m_isDay[slot])
        return nullptr;
    return m_buttons[slot];
}

int CalendarDayGrid::neighbourSlot(int slot, int key) const
{
    const auto isDay = [this](int i) { return i >= 0 && i < m_isDay.size() && m_isDay[i]; };
    if (!isDay(slot))
        return -1;
    int step = 0;
    switch (key) {
    case Qt::Key_Left: step = -1; break;
    case Qt::Key_Right: step = 1; break;
    case Qt::Key_Up: step = -7; break;
    case Qt::Key_Down: step = 7; break;
    default: return -1;
    }
    // Days are contiguous, so the first blank in either direction ends the month.
    return isDay(slot + step) ? slot + step : -1;
}

bool CalendarDayGrid::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const int slot = int(m_buttons.indexOf(static_cast<QAbstractButton *>(watched)));
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (slot >= 0 && (key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down)) {
            const int target = neighbourSlot(slot, key);
            if (target >= 0) {
                setCurrentSlot(target);
                m_buttons[target]->setFocus(Qt::TabFocusReason);
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

int CalendarDayGrid::weekdayRowHeight() const
{
    return QFontMetrics(m_style.weekdayFont).height();
}

int CalendarDayGrid::contentHeight() const
{
    const int rows = calendarRowCount(int(m_isDay.size()));
    const int grid = calendarGridHeight(rows, m_style.metrics);
    return 2 * m_style.padding + weekdayRowHeight() + (rows > 0 ? m_style.headerGap + grid : 0);
}

int CalendarDayGrid::heightForWidth(int) const
{
    return contentHeight();
}

QSize CalendarDayGrid::sizeHint() const
{
    return {kDefaultWidth, contentHeight()};
}

QSize CalendarDayGrid::minimumSizeHint() const
{
    return {2 * m_style.padding + calendarMinimumWidth(m_style.metrics.columnSpacing), contentHeight()};
}

void CalendarDayGrid::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeButtons();
}

void CalendarDayGrid::placeButtons()
{
    const int inner = std::max(0, width() - 2 * m_style.padding);
    const int top = m_style.padding + weekdayRowHeight() + m_style.headerGap;
    const QList<QRect> rects = calendarSlotRects(inner, int(m_isDay.size()), m_style.metrics,
                                                 m_style.padding, top);
    for (int i = 0; i < rects.size(); ++i)
        m_buttons[i]->setGeometry(rects[i]);
}

void CalendarDayGrid::paintEvent(QPaintEvent *)
{
    const ZephyrTheme theme = ThemeScope::themeFor(this);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    if (m_style.card) {
        // The border is drawn half a pixel inside the card's edge.
        const QRectF edge = QRectF(rect()).adjusted(0.25, 0.25, -0.25, -0.25);
        QPainterPath card;
        card.addRoundedRect(edge, m_style.cardRadius, m_style.cardRadius);
        painter.fillPath(card, theme.panelFill());
        painter.setPen(QPen(theme.panelBorder(), 0.5));
        painter.drawPath(card);
    }

    painter.setFont(m_style.weekdayFont);
    painter.setPen(theme.faintInk());
    const int inner = std::max(0, width() - 2 * m_style.padding);
    const QList<QRect> columns = calendarColumnRects(inner, m_style.metrics.columnSpacing, m_style.padding,
                                                     m_style.padding, weekdayRowHeight());
    for (int c = 0; c < columns.size() && c < m_weekdays.size(); ++c)
        painter.drawText(columns[c], Qt::AlignCenter, m_weekdays[c]);
}

} // namespace zn
