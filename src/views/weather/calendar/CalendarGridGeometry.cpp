#include "views/weather/calendar/CalendarGridGeometry.h"

#include <algorithm>

namespace zn {
namespace {
constexpr int kColumns = 7;
} // namespace

QList<QRect> calendarColumnRects(int width, int columnSpacing, int left, int top, int height)
{
    width = std::max(0, width);
    height = std::max(0, height);
    int spacing = std::max(0, columnSpacing);
    if (spacing * (kColumns - 1) > width)
        spacing = width / (2 * kColumns - 1);
    const int free = width - spacing * (kColumns - 1);

    QList<QRect> columns;
    columns.reserve(kColumns);
    for (int c = 0; c < kColumns; ++c) {
        // Edges rounded from the exact share, so columns differ by at most a
        // pixel and the last one ends on the right edge.
        const int x0 = left + c * spacing + (free * c) / kColumns;
        const int x1 = left + c * spacing + (free * (c + 1)) / kColumns;
        columns.append(QRect(x0, top, std::max(0, x1 - x0), height));
    }
    return columns;
}

QList<QRect> calendarSlotRects(int width, int slotCount, const CalendarGridMetrics &metrics, int left,
                               int top)
{
    const int rowHeight = std::max(0, metrics.rowHeight);
    const int rowSpacing = std::max(0, metrics.rowSpacing);
    const QList<QRect> columns = calendarColumnRects(width, metrics.columnSpacing, left, 0, rowHeight);
    QList<QRect> rects;
    rects.reserve(std::max(0, slotCount));
    for (int i = 0; i < slotCount; ++i) {
        const int row = i / kColumns;
        QRect r = columns[i % kColumns];
        r.moveTop(top + row * (rowHeight + rowSpacing));
        rects.append(r);
    }
    return rects;
}

int calendarRowCount(int slotCount)
{
    return slotCount <= 0 ? 0 : (slotCount + kColumns - 1) / kColumns;
}

int calendarGridHeight(int rows, const CalendarGridMetrics &metrics)
{
    if (rows <= 0)
        return 0;
    return rows * std::max(0, metrics.rowHeight) + (rows - 1) * std::max(0, metrics.rowSpacing);
}

int calendarMinimumWidth(int columnSpacing, int minimumColumn)
{
    return kColumns * std::max(0, minimumColumn) + (kColumns - 1) * std::max(0, columnSpacing);
}

} // namespace zn
