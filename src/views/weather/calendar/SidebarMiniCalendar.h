#pragma once

#include "views/weather/calendar/CalendarFeed.h"
#include "views/weather/calendar/MonthGrid.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QWidget>

#include <optional>

class QAbstractButton;

namespace zn {

class CalendarDayGrid;
class CalendarNavButton;
class CalendarText;
class JournalEntry;
class MiniDayButton;

// The sidebar's small month: each day filled with the weather of its latest
// entry, today and the caller's selected day marked. A click hands the
// day's start to `onSelectDay`; the selection itself belongs to the caller,
// which passes it back through setSelectedDay(). The shown month starts at
// today's and moves only with the chevrons.
class SidebarMiniCalendar : public QWidget
{
    Q_OBJECT
public:
    SidebarMiniCalendar(const QList<JournalEntry *> &entries, const std::optional<QDateTime> &selectedDay,
                        DaySelectHandler onSelectDay, const CalendarViewSetup &setup = {},
                        QWidget *parent = nullptr);

    void setEntries(const QList<JournalEntry *> &entries);
    std::optional<QDateTime> selectedDay() const { return m_selectedDay; }
    // Any instant of the selected day, or none.
    void setSelectedDay(const std::optional<QDateTime> &day);

    QDateTime visibleMonth() const { return m_visibleMonth; }
    MonthSlots monthDays() const;
    QHash<QString, double> dayScores() const;
    void shiftMonth(int months);

    const MonthGrid &grid() const { return m_feed->grid(); }
    MiniDayButton *dayButton(int dayOfMonth) const;
    QAbstractButton *previousButton() const;
    QAbstractButton *nextButton() const;
    QString titleText() const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void setVisibleMonth(const QDateTime &month);
    void refresh();

    CalendarFeed *m_feed;
    DaySelectHandler m_onSelectDay;
    std::optional<QDateTime> m_selectedDay;
    QDateTime m_visibleMonth;

    CalendarText *m_title = nullptr;
    CalendarNavButton *m_previous = nullptr;
    CalendarNavButton *m_next = nullptr;
    CalendarDayGrid *m_grid = nullptr;
    MonthSlots m_slots;
};

} // namespace zn
