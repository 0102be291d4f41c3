#pragma once

#include <QString>

namespace zn {

// A score with its sign always shown and one decimal, exactly as C's
// printf("%+.1f") writes it (0.25 gives "+0.2"); a zero, negative zero
// included, reads "+0.0".
QString formatSignedScore(double score);

// "1 entry", "12 entries".
QString entryCountText(int count);

} // namespace zn
