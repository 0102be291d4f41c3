#include "views/weather/calendar/SidebarMiniCalendar.h"

#include "app/theme/ThemeScope.h"
#include "core/CalendarProvider.h"
#include "views/kit/TextStyles.h"
#include "views/weather/calendar/CalendarCells.h"
#include "views/weather/calendar/CalendarControls.h"
#include "views/weather/calendar/CalendarDayButtons.h"
#include "views/weather/calendar/CalendarDayGrid.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace zn {
namespace {

constexpr int kPadding = 12;
constexpr int kSpacing = 8;
constexpr qreal kCardRadius = 12;
constexpr int kChevronFrame = 22;

CalendarDayGridStyle miniGridStyle()
{
    CalendarDayGridStyle style;
    style.padding = 0;
    style.headerGap = 3;
    style.metrics = {2, 3, 22};
    style.weekdayFont = systemFont(9, FontWeight::Bold);
    style.card = false;
    return style;
}

} // namespace

SidebarMiniCalendar::SidebarMiniCalendar(const QList<JournalEntry *> &entries,
                                         const std::optional<QDateTime> &selectedDay,
                                         DaySelectHandler onSelectDay, const CalendarViewSetup &setup,
                                         QWidget *parent)
    : QWidget(parent)
    , m_feed(new CalendarFeed(setup, this))
    , m_onSelectDay(std::move(onSelectDay))
    , m_selectedDay(selectedDay)
{
    setAccessibleName(QStringLiteral("Mood calendar"));
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    m_visibleMonth = m_feed->grid().startOfDay(m_feed->now());

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    column->setSpacing(kSpacing);

    auto *header = new QHBoxLayout;
    header->setSpacing(4);
    m_title = new CalendarText(textStyleFont(TextStyle::Caption, FontWeight::Semibold), CalendarInk::Primary);
    header->addWidget(m_title, 1);
    const QFont chevronFont = textStyleFont(TextStyle::Caption2, FontWeight::Bold);
    const QSize chevronSize(kChevronFrame, kChevronFrame);
    m_previous = new CalendarNavButton(QStringLiteral("chevron.left"), QString(), QStringLiteral("Previous month"),
                                       CalendarNavButton::Frame::Plain, CalendarInk::Secondary, chevronFont,
                                       chevronSize);
    m_next = new CalendarNavButton(QStringLiteral("chevron.right"), QString(), QStringLiteral("Next month"),
                                   CalendarNavButton::Frame::Plain, CalendarInk::Secondary, chevronFont,
                                   chevronSize);
    connect(m_previous, &QAbstractButton::clicked, this, [this] { shiftMonth(-1); });
    connect(m_next, &QAbstractButton::clicked, this, [this] { shiftMonth(1); });
    header->addWidget(m_previous);
    header->addWidget(m_next);
    column->addLayout(header);

    m_grid = new CalendarDayGrid(miniGridStyle(), [this](QWidget *parent) -> QAbstractButton * {
        auto *button = new MiniDayButton(parent);
        connect(button, &QAbstractButton::clicked, this, [this, button] {
            if (m_onSelectDay && button->cell().date.isValid())
                m_onSelectDay(button->cell().date);
        });
        return button;
    });
    column->addWidget(m_grid);

    connect(m_feed, &CalendarFeed::refreshNeeded, this, &SidebarMiniCalendar::refresh);
    // The month on screen stays the same month when the zone changes.
    connect(m_feed, &CalendarFeed::timeZoneChanged, this,
            [this] { m_visibleMonth = m_feed->grid().calendar().startOfDate(m_visibleMonth.date()); });
    m_feed->setEntries(entries);
    refresh();
}

void SidebarMiniCalendar::setEntries(const QList<JournalEntry *> &entries)
{
    m_feed->setEntries(entries);
}

void SidebarMiniCalendar::setSelectedDay(const std::optional<QDateTime> &day)
{
    if (day == m_selectedDay)
        return;
    m_selectedDay = day;
    refresh();
}

MonthSlots SidebarMiniCalendar::monthDays() const
{
    return m_feed->grid().monthDays(m_visibleMonth);
}

QHash<QString, double> SidebarMiniCalendar::dayScores() const
{
    return m_feed->grid().dayScores(m_feed->entries());
}

void SidebarMiniCalendar::shiftMonth(int months)
{
    if (const std::optional<QDateTime> moved = m_feed->grid().shiftedMonth(m_visibleMonth, months))
        setVisibleMonth(*moved);
}

void SidebarMiniCalendar::setVisibleMonth(const QDateTime &month)
{
    if (!month.isValid() || month == m_visibleMonth)
        return;
    m_visibleMonth = month;
    refresh();
}

void SidebarMiniCalendar::refresh()
{
    const MonthGrid &grid = m_feed->grid();
    m_title->setText(abbreviatedMonthTitle(m_visibleMonth, grid));
    m_slots = monthDays();
    m_grid->showMonth(grid.weekdaySymbols(), m_slots);

    const QHash<QString, double> scores = dayScores();
    const QDateTime now = m_feed->now();
    int selectedSlot = -1;
    int todaySlot = -1;
    m_grid->forEachDay<MiniDayButton>(m_slots, [&](int slot, const QDateTime &day, MiniDayButton *button) {
        const MiniDayCell cell = miniDayCell(day, scores, grid, now, m_selectedDay);
        button->setCell(cell, miniDayAccessibilityLabel(cell, grid));
        if (cell.isSelected)
            selectedSlot = slot;
        if (cell.isToday)
            todaySlot = slot;
    });
    // Tab lands on the selected day, else today, else the 1st.
    m_grid->setCurrentSlot(selectedSlot >= 0 ? selectedSlot : todaySlot);
    updateGeometry();
}

int SidebarMiniCalendar::heightForWidth(int width) const
{
    return layout() ? layout()->totalHeightForWidth(width) : 0;
}

MiniDayButton *SidebarMiniCalendar::dayButton(int dayOfMonth) const
{
    for (int i = 0; i < m_slots.size(); ++i) {
        if (m_slots[i] && m_feed->grid().dayOfMonth(*m_slots[i]) == dayOfMonth)
            return static_cast<MiniDayButton *>(m_grid->buttonAt(i));
    }
    return nullptr;
}

QAbstractButton *SidebarMiniCalendar::previousButton() const { return m_previous; }
QAbstractButton *SidebarMiniCalendar::nextButton() const { return m_next; }
QString SidebarMiniCalendar::titleText() const { return m_title->text(); }

void SidebarMiniCalendar::paintEvent(QPaintEvent *)
{
    const ZephyrTheme theme = ThemeScope::themeFor(this);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF edge = QRectF(rect()).adjusted(0.25, 0.25, -0.25, -0.25);
    QPainterPath card;
    card.addRoundedRect(edge, kCardRadius, kCardRadius);
    QColor fill = theme.panelFill();
    fill.setAlphaF(fill.alphaF() * 0.9);
    painter.fillPath(card, fill);
    painter.setPen(QPen(theme.panelBorder(), 0.5));
    painter.drawPath(card);
}

} // namespace zn
