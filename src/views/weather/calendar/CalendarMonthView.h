#pragma once

#include "views/weather/calendar/CalendarFeed.h"
#include "views/weather/calendar/MonthGrid.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QWidget>

class QAbstractButton;
class QScrollArea;

namespace zn {

class CalendarDayGrid;
class CalendarNavButton;
class CalendarText;
class JournalEntry;
class MonthDayButton;

// The Calendar destination: one month whose days are tinted by the weather
// of their average mood, with the month's navigation and the weather legend.
// A click on a day hands the day's start to `onSelectDay`. The shown month
// starts at today's, and returns to it whenever the page is shown again
// after being hidden.
class CalendarMonthView : public QWidget
{
    Q_OBJECT
public:
    // `entries` are the saved (non-draft) entries; only their time and score
    // are read, and their later changes redraw the page.
    CalendarMonthView(const QList<JournalEntry *> &entries, DaySelectHandler onSelectDay,
                      const CalendarViewSetup &setup = {}, QWidget *parent = nullptr);

    void setEntries(const QList<JournalEntry *> &entries);

    // Any instant inside the month on screen.
    QDateTime visibleMonth() const { return m_visibleMonth; }
    MonthSlots monthDays() const;
    QHash<QString, DayWeatherStat> dayStats() const;
    // Moves the shown month; a month the calendar cannot give leaves it.
    void shiftMonth(int months);
    void goToToday();

    const MonthGrid &grid() const { return m_feed->grid(); }
    // The button of a day of the shown month (1-based); null for another.
    MonthDayButton *dayButton(int dayOfMonth) const;
    QAbstractButton *previousButton() const;
    QAbstractButton *nextButton() const;
    QAbstractButton *todayButton() const;
    QString titleText() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    QWidget *buildHeader();
    void setVisibleMonth(const QDateTime &month);
    void refresh();
    void dayClicked(MonthDayButton *button);

    CalendarFeed *m_feed;
    DaySelectHandler m_onSelectDay;
    QDateTime m_visibleMonth;
    bool m_wasHidden = false;

    QScrollArea *m_scroll = nullptr;
    CalendarText *m_title = nullptr;
    CalendarNavButton *m_previous = nullptr;
    CalendarNavButton *m_today = nullptr;
    CalendarNavButton *m_next = nullptr;
    CalendarDayGrid *m_grid = nullptr;
    MonthSlots m_slots;
};

} // namespace zn
