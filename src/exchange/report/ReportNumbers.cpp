#include "exchange/report/ReportNumbers.h"

#include <charconv>
#include <cmath>

namespace zn {

QString formatSignedScore(double score)
{
    // A score that is no number (a mean over a damaged value) has nothing to
    // print: a dash, never "+nan".
    if (!std::isfinite(score))
        return QStringLiteral("\u2014");
    // -0.0 would print "-0.0"; a mean of exactly nothing has no sign to show.
    if (score == 0.0)
        score = 0.0;
    // to_chars rounds as printf does, but never with the process locale's
    // decimal comma; Qt's own formatting rounds ties differently.
    char buffer[400];
    char *start = buffer + 1;
    const auto result = std::to_chars(start, buffer + sizeof buffer, score, std::chars_format::fixed, 1);
    if (!std::signbit(score)) {
        buffer[0] = '+';
        start = buffer;
    }
    return QString::fromLatin1(start, result.ptr - start);
}

QString entryCountText(int count)
{
    return QString::number(count) + (count == 1 ? QStringLiteral(" entry") : QStringLiteral(" entries"));
}

} // namespace zn
