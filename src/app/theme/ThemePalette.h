#pragma once

#include "app/theme/ZephyrTheme.h"

#include <QPalette>

namespace zn {

// A Qt palette in the theme's colours, so stock widgets (line edits, check
// boxes, menus) read well on our backgrounds in both schemes.
QPalette makePalette(const ZephyrTheme &theme);

} // namespace zn
