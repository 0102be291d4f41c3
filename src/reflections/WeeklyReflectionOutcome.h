#pragma once

#include <QString>
#include <QStringList>

namespace zn {

// A cleaned rolling 7-day reflection; WeeklyReflectionGenerator::Outcome.
// Built only by WeeklyReflectionPrompting::sanitizedOutcome.
struct WeeklyReflectionOutcome
{
    QString summary;
    QString emotionalArc;
    QStringList notableMoments; // at most 3
    QString overallSentiment;
    QString recommendedFocus;

    friend bool operator==(const WeeklyReflectionOutcome &, const WeeklyReflectionOutcome &) = default;
};

} // namespace zn
