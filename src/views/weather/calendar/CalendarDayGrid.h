#pragma once

#include "views/weather/calendar/CalendarGridGeometry.h"
#include "views/weather/calendar/MonthGrid.h"

#include <QAbstractButton>
#include <QFont>
#include <QList>
#include <QStringList>
#include <QWidget>

#include <functional>

namespace zn {

// How a day grid is framed and spaced.
struct CalendarDayGridStyle {
    int padding = 0;   // inside the card
    int headerGap = 3; // between the weekday row and the first week
    CalendarGridMetrics metrics;
    QFont weekdayFont;
    bool card = false; // a filled, bordered card behind the grid
    qreal cardRadius = 18;
};

// The weekday row and up to six weeks of day buttons, seven equal columns
// wide. Blank slots keep their room but hold no button. The buttons are made
// once and reused as the month changes. The days are one stop of the Tab
// chain (the current day); the arrow keys move the focus from day to day.
class CalendarDayGrid : public QWidget
{
    Q_OBJECT
public:
    using ButtonFactory = std::function<QAbstractButton *(QWidget *parent)>;

    CalendarDayGrid(const CalendarDayGridStyle &style, const ButtonFactory &makeButton,
                    QWidget *parent = nullptr);

    void setWeekdaySymbols(const QStringList &symbols);
    // One flag per slot: true where the slot is a day. Returns nothing; the
    // caller then fills buttonAt() for every day slot.
    void setSlots(const QList<bool> &isDay);
    // The weekday row and one slot per entry of `days`, a day where it
    // holds one.
    void showMonth(const QStringList &weekdaySymbols, const MonthSlots &days);
    // Calls `fill(slot, day, button)` for every slot of `days` that holds a day.
    template <typename Button, typename Fill>
    void forEachDay(const MonthSlots &days, Fill &&fill) const
    {
        for (int i = 0; i < days.size(); ++i) {
            if (days[i])
                fill(i, *days[i], static_cast<Button *>(buttonAt(i)));
        }
    }
    int slotCount() const { return int(m_isDay.size()); }
    QAbstractButton *buttonAt(int slot) const;
    // The day that takes the Tab focus; a slot that is no day picks the
    // first day instead.
    void setCurrentSlot(int slot);
    int currentSlot() const { return m_current; }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The slot the arrow key leads to from `slot`, or -1 where none does.
    int neighbourSlot(int slot, int key) const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    int weekdayRowHeight() const;
    int contentHeight() const;
    void placeButtons();

    CalendarDayGridStyle m_style;
    QStringList m_weekdays;
    QList<bool> m_isDay;
    QList<QAbstractButton *> m_buttons;
    int m_current = -1;
};

} // namespace zn
