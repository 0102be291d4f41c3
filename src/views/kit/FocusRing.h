#pragma once

#include "app/theme/ZephyrTheme.h"

#include <QRectF>

class QPainter;

namespace zn {

// What the ring is drawn on: the control's own surface, or a control
// filled with the accent (a prominent button), where an accent ring would
// vanish.
enum class FocusRingGround { Surface, Accent };

// Whether focus arriving for `reason` came from the keyboard (Tab, Backtab
// or a shortcut), so its ring shows; a click's focus shows none.
bool isKeyboardFocusReason(Qt::FocusReason reason);

// The colour that marks keyboard focus in `theme` on `ground`: the accent
// on the window's own surfaces, the text colour of an accent fill on one.
QColor focusRingColor(const ZephyrTheme &theme, FocusRingGround ground = FocusRingGround::Surface);

// The keyboard-focus ring of a control whose shape is a rounded rectangle
// `shape` with corner `radius`: 2 points wide, just inside the shape, so it
// shows in any layout without room around the control.
void paintFocusRing(QPainter &painter, const QRectF &shape, qreal radius, const ZephyrTheme &theme,
                    FocusRingGround ground = FocusRingGround::Surface);
// The same in a colour of the caller's: on a fill of another colour (a red
// stop button) the ring takes the colour of the fill's title.
void paintFocusRing(QPainter &painter, const QRectF &shape, qreal radius, const QColor &color,
                    FocusRingGround ground);

} // namespace zn
