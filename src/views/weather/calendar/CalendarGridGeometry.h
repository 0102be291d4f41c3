#pragma once

#include <QList>
#include <QRect>

namespace zn {

// Spacing of a seven-column calendar grid.
struct CalendarGridMetrics {
    int columnSpacing = 8;
    int rowSpacing = 8;
    int rowHeight = 72;
};

// Where each slot of a seven-column grid goes inside `width` pixels,
// starting at (left, top), row by row. Columns share the width equally; when
// the width cannot even hold the spacing, the spacing shrinks with it, so no
// rectangle ever has a negative size.
QList<QRect> calendarSlotRects(int width, int slotCount, const CalendarGridMetrics &metrics,
                               int left = 0, int top = 0);

// The horizontal extent of each of the seven columns.
QList<QRect> calendarColumnRects(int width, int columnSpacing, int left, int top, int height);

int calendarRowCount(int slotCount);
// Height of `rows` rows with their spacing; 0 without rows.
int calendarGridHeight(int rows, const CalendarGridMetrics &metrics);
// Narrowest width at which every column keeps `minimumColumn` pixels.
int calendarMinimumWidth(int columnSpacing, int minimumColumn = 10);

} // namespace zn
