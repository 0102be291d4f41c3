#include "views/weather/calendar/CalendarMonthView.h"

#include "app/theme/ThemeScope.h"
#include "core/CalendarProvider.h"
#include "views/kit/FocusRing.h"
#include "views/kit/TextStyles.h"
#include "views/weather/calendar/CalendarCells.h"
#include "views/weather/calendar/CalendarControls.h"
#include "views/weather/calendar/CalendarDayButtons.h"
#include "views/weather/calendar/CalendarDayGrid.h"
#include "views/weather/calendar/WeatherLegend.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QScrollArea>
#include <QShowEvent>
#include <QVBoxLayout>

namespace zn {
namespace {

constexpr int kColumnMaxWidth = 720;
constexpr int kColumnMargin = 32;
constexpr int kColumnSpacing = 28;
constexpr int kChevronFrame = 32;

CalendarDayGridStyle monthGridStyle()
{
    CalendarDayGridStyle style;
    style.padding = 20;
    style.headerGap = 10;
    style.metrics = {8, 8, 72};
    style.weekdayFont = textStyleFont(TextStyle::Caption, FontWeight::Bold);
    style.card = true;
    style.cardRadius = 18;
    return style;
}

} // namespace

CalendarMonthView::CalendarMonthView(const QList<JournalEntry *> &entries, DaySelectHandler onSelectDay,
                                     const CalendarViewSetup &setup, QWidget *parent)
    : QWidget(parent)
    , m_feed(new CalendarFeed(setup, this))
    , m_onSelectDay(std::move(onSelectDay))
{
    setAccessibleName(QStringLiteral("Calendar"));
    setWindowTitle(QStringLiteral("Calendar"));
    m_visibleMonth = m_feed->grid().startOfDay(m_feed->now());

    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->viewport()->setAutoFillBackground(false);
    // A stop of the Tab chain, where the arrows and Page keys scroll; its
    // content covers it, so the ring lies on top.
    new FocusRingOverlay(m_scroll, 0);

    auto *page = new QWidget;
    auto *centring = new QHBoxLayout(page);
    centring->setContentsMargins(0, 0, 0, 0);
    centring->addStretch(0);

    auto *column = new QWidget;
    column->setMaximumWidth(kColumnMaxWidth);
    column->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto *stack = new QVBoxLayout(column);
    stack->setContentsMargins(kColumnMargin, kColumnMargin, kColumnMargin, kColumnMargin);
    stack->setSpacing(kColumnSpacing);
    stack->addWidget(buildHeader());

    m_grid = new CalendarDayGrid(monthGridStyle(), [this](QWidget *parent) -> QAbstractButton * {
        auto *button = new MonthDayButton(parent);
        connect(button, &QAbstractButton::clicked, this, [this, button] { dayClicked(button); });
        return button;
    });
    m_grid->setAccessibleName(QStringLiteral("Month"));
    stack->addWidget(m_grid);
    stack->addWidget(new WeatherLegend, 0, Qt::AlignLeft);
    stack->addStretch(1);

    centring->addWidget(column, 1);
    centring->addStretch(0);
    m_scroll->setWidget(page);
    // setWidget() makes the page fill itself with the window colour, which
    // would hide the surface wash painted below it.
    page->setAutoFillBackground(false);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(m_scroll);

    connect(m_feed, &CalendarFeed::refreshNeeded, this, &CalendarMonthView::refresh);
    // The month on screen stays the same month when the zone changes.
    connect(m_feed, &CalendarFeed::timeZoneChanged, this,
            [this] { m_visibleMonth = m_feed->grid().calendar().startOfDate(m_visibleMonth.date()); });
    m_feed->setEntries(entries);
    refresh();
}

QWidget *CalendarMonthView::buildHeader()
{
    auto *header = new QWidget;
    auto *row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(16);

    auto *titles = new QVBoxLayout;
    titles->setSpacing(4);
    m_title = new CalendarText(textStyleFont(TextStyle::LargeTitle, FontWeight::Medium), CalendarInk::Primary);
    auto *subtitle = new CalendarText(textStyleFont(TextStyle::Subheadline), CalendarInk::Secondary);
    subtitle->setText(QStringLiteral("Days colored by your inner weather"));
    subtitle->setWordWrap(true);
    titles->addWidget(m_title);
    titles->addWidget(subtitle);
    row->addLayout(titles, 1);

    const QFont chevronFont = textStyleFont(TextStyle::Body, FontWeight::Semibold);
    const QSize chevronSize(kChevronFrame, kChevronFrame);
    m_previous = new CalendarNavButton(QStringLiteral("chevron.left"), QString(), QStringLiteral("Previous month"),
                                       CalendarNavButton::Frame::Bordered, CalendarInk::Primary, chevronFont,
                                       chevronSize);
    m_today = new CalendarNavButton(QString(), QStringLiteral("Today"), QStringLiteral("Today"),
                                    CalendarNavButton::Frame::Bordered, CalendarInk::Accent,
                                    textStyleFont(TextStyle::Body), QSize(0, kChevronFrame));
    m_next = new CalendarNavButton(QStringLiteral("chevron.right"), QString(), QStringLiteral("Next month"),
                                   CalendarNavButton::Frame::Bordered, CalendarInk::Primary, chevronFont,
                                   chevronSize);
    connect(m_previous, &QAbstractButton::clicked, this, [this] { shiftMonth(-1); });
    connect(m_today, &QAbstractButton::clicked, this, &CalendarMonthView::goToToday);
    connect(m_next, &QAbstractButton::clicked, this, [this] { shiftMonth(1); });

    auto *navigation = new QHBoxLayout;
    navigation->setSpacing(8);
    navigation->addWidget(m_previous);
    navigation->addWidget(m_today);
    navigation->addWidget(m_next);
    row->addLayout(navigation, 0);
    row->setAlignment(navigation, Qt::AlignVCenter);
    return header;
}

void CalendarMonthView::setEntries(const QList<JournalEntry *> &entries)
{
    m_feed->setEntries(entries);
}

MonthSlots CalendarMonthView::monthDays() const
{
    return m_feed->grid().monthDays(m_visibleMonth);
}

QHash<QString, DayWeatherStat> CalendarMonthView::dayStats() const
{
    return m_feed->grid().dayStats(m_feed->entries(), m_visibleMonth);
}

void CalendarMonthView::shiftMonth(int months)
{
    if (const std::optional<QDateTime> moved = m_feed->grid().shiftedMonth(m_visibleMonth, months))
        setVisibleMonth(*moved);
}

void CalendarMonthView::goToToday()
{
    setVisibleMonth(m_feed->grid().startOfDay(m_feed->now()));
}

void CalendarMonthView::setVisibleMonth(const QDateTime &month)
{
    if (!month.isValid() || month == m_visibleMonth)
        return;
    m_visibleMonth = month;
    refresh();
}

void CalendarMonthView::refresh()
{
    const MonthGrid &grid = m_feed->grid();
    m_title->setText(monthTitle(m_visibleMonth, grid));
    m_slots = monthDays();
    m_grid->showMonth(grid.weekdaySymbols(), m_slots);

    const QHash<QString, DayWeatherStat> stats = dayStats();
    const QDateTime now = m_feed->now();
    int todaySlot = -1;
    m_grid->forEachDay<MonthDayButton>(m_slots, [&](int slot, const QDateTime &day, MonthDayButton *button) {
        const MonthDayCell cell = monthDayCell(day, stats, grid, now);
        button->setCell(cell, monthDayAccessibilityLabel(cell, grid));
        if (cell.isToday)
            todaySlot = slot;
    });
    // Tab lands on today when it is shown, else on the 1st.
    m_grid->setCurrentSlot(todaySlot);
}

void CalendarMonthView::dayClicked(MonthDayButton *button)
{
    if (m_onSelectDay && button->cell().date.isValid())
        m_onSelectDay(button->cell().date);
}

MonthDayButton *CalendarMonthView::dayButton(int dayOfMonth) const
{
    for (int i = 0; i < m_slots.size(); ++i) {
        if (m_slots[i] && m_feed->grid().dayOfMonth(*m_slots[i]) == dayOfMonth)
            return static_cast<MonthDayButton *>(m_grid->buttonAt(i));
    }
    return nullptr;
}

QAbstractButton *CalendarMonthView::previousButton() const { return m_previous; }
QAbstractButton *CalendarMonthView::nextButton() const { return m_next; }
QAbstractButton *CalendarMonthView::todayButton() const { return m_today; }
QString CalendarMonthView::titleText() const { return m_title->text(); }

void CalendarMonthView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QColor wash = ThemeScope::themeFor(this).surface();
    wash.setAlphaF(wash.alphaF() * 0.25);
    painter.fillRect(rect(), wash);
}

void CalendarMonthView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Coming back to the page starts again at today's month, as a freshly
    // built page would; a window merely restored keeps its month.
    if (m_wasHidden && !event->spontaneous())
        goToToday();
    m_wasHidden = false;
    refresh();
}

void CalendarMonthView::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        m_wasHidden = true;
}

} // namespace zn
