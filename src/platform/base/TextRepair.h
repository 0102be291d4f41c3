#pragma once

#include <QString>

namespace zn {

// `text` with every UTF-16 surrogate that is not half of a valid pair
// replaced by U+FFFD. Such a unit cannot be encoded, displayed or matched by
// a regular expression, so text from outside (a model's answer, a file, the
// keyboard) is repaired once on the way in. Returns `text` itself (no copy)
// when there is nothing to repair.
QString replacingUnpairedSurrogates(const QString &text);

// True when `text` holds no unpaired surrogate.
bool hasOnlyPairedSurrogates(const QString &text);

} // namespace zn
