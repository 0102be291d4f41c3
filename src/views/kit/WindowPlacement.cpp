#include "views/kit/WindowPlacement.h"

namespace zn {

QRect frameInsideArea(const QSize &preferred, const QRect &anchor, const QRect &available, const QMargins &decoration)
{
    const QRect room = available.marginsRemoved(decoration);
    const QSize size = preferred.boundedTo(room.size()).expandedTo(QSize(1, 1));
    QRect frame(QPoint(), size);
    frame.moveCenter(anchor.isValid() ? anchor.center() : room.center());
    if (frame.right() > room.right())
        frame.moveRight(room.right());
    if (frame.bottom() > room.bottom())
        frame.moveBottom(room.bottom());
    if (frame.left() < room.left())
        frame.moveLeft(room.left());
    if (frame.top() < room.top())
        frame.moveTop(room.top());
    return frame;
}

} // namespace zn
