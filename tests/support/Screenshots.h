#pragma once

// Screenshots for screen tests, written under the build folder (see
// screenshotPath) for a person to open and look at.

#include "app/theme/ZephyrTheme.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>

#include <gtest/gtest.h>

#include <functional>
#include <optional>

class QWidget;

namespace zn::test {

// Shows `widget`, lets it lay out and saves what it paints as `name`; a
// failed save fails the test.
void shoot(QWidget &widget, const QString &name);

// The looks every screen is checked in: both palettes, light then dark.
QList<ZephyrTheme> everyTheme();

// One sheet of `panel` drawn once in each of everyTheme(), `columns` to a
// row on white, each cell as large as the largest panel; saved as `name`
// (a failed save fails the test).
void shootThemeSheet(const std::function<QImage(const ZephyrTheme &)> &panel, int columns, const QString &name);

// `page` as the main window shows it: filling a window of `size` in
// `theme`, over the window's climate background, or over one opaque colour
// when `backdrop` is given, laid out and drawn. Afterwards the page has no
// parent again; the caller keeps it.
QImage pageOver(QWidget &page, const ZephyrTheme &theme, QSize size, std::optional<QColor> backdrop = {});

// `top` laid over the opaque `below` (source over): what a translucent
// layer gives where nothing else is drawn.
QColor sourceOver(const QColor &top, const QColor &below);

// Whether a pixel has `expected`'s colour, each channel within `tolerance`
// of 255 (8-bit rounding of gradients and blending).
::testing::AssertionResult pixelIs(const QImage &image, QPoint at, const QColor &expected, int tolerance = 2);

} // namespace zn::test
