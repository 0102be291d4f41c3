#pragma once

// The text styles live beside the marks, which draw with them too; screens
// include them from the kit.
#include "app/marks/TextStyles.h"
