#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>

namespace zn {

// Where a window opens on a screen whose free area is `available`: its
// frame (without the desktop's title bar and border, which `decoration`
// adds around it) at `preferred` size where there is room, the room there
// is where not; centred over `anchor`, or in the area when the anchor is
// invalid; moved inside the area, title bar included, the top left corner
// last so that it always shows.
QRect frameInsideArea(const QSize &preferred, const QRect &anchor, const QRect &available,
                      const QMargins &decoration = {});

} // namespace zn
