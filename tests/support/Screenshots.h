#pragma once

// Screenshots for screen tests, written under the build folder (see
// screenshotPath) for a person to open and look at.

#include "app/theme/ZephyrTheme.h"

#include <QImage>
#include <QList>
#include <QString>

#include <functional>

class QWidget;

namespace zn::test {

// Shows `widget`, lets it lay out and saves what it paints as `name`; a
// failed save fails the test.
void shoot(QWidget &widget, const QString &name);
// The same without running anything else that waits in the event loop (the
// end of some background work, say): only pending layouts are done first.
void shootAsItIs(QWidget &widget, const QString &name);

// The looks every screen is checked in: both palettes, light then dark.
QList<ZephyrTheme> everyTheme();

// One sheet of `panel` drawn once in each of everyTheme(), `columns` to a
// row on white, each cell as large as the largest panel; saved as `name`
// (a failed save fails the test).
void shootThemeSheet(const std::function<QImage(const ZephyrTheme &)> &panel, int columns, const QString &name);

} // namespace zn::test
