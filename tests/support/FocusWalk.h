#pragma once

// Walks a window's Tab chain as a keyboard user does and measures, at each
// stop, how much the focused control's look changes with the focus: a stop
// where too few pixels change to 3:1 contrast against what was there has no
// visible focus ring (a text field's caret alone is not one).

#include <QImage>
#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

namespace zn::test {

struct FocusStop
{
    QPointer<QWidget> widget;
    QString name;        // class and accessible or object name, for messages
    int ringPixels = 0;  // pixels the focus changes to 3:1 contrast or more
    QImage focused;      // the control and a margin, focused
};

// Presses Tab in the shown, active `window` until the focus comes back to
// the first stop or `limit` stops were seen.
QList<FocusStop> walkTabStops(QWidget *window, int limit = 120);

// The stops among `stops` whose ring shows fewer than `minimumPixels`
// such pixels, by name.
QStringList stopsWithoutRing(const QList<FocusStop> &stops, int minimumPixels = 40);

} // namespace zn::test
