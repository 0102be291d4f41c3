#pragma once

#include "views/weather/calendar/CalendarCells.h"

#include "views/weather/calendar/CalendarControls.h"

namespace zn {

// One day of the month page: number, weather symbol and a dot or count,
// on a tinted tile.
class MonthDayButton : public CalendarButton
{
    Q_OBJECT
public:
    explicit MonthDayButton(QWidget *parent = nullptr);

    const MonthDayCell &cell() const { return m_cell; }
    void setCell(const MonthDayCell &cell, const QString &accessibleName);

    QSize sizeHint() const override { return {72, 72}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    MonthDayCell m_cell;
};

// One day of the sidebar calendar: its number on a small tile.
class MiniDayButton : public CalendarButton
{
    Q_OBJECT
public:
    explicit MiniDayButton(QWidget *parent = nullptr);

    const MiniDayCell &cell() const { return m_cell; }
    void setCell(const MiniDayCell &cell, const QString &accessibleName);

    QSize sizeHint() const override { return {22, 22}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    MiniDayCell m_cell;
};

} // namespace zn
