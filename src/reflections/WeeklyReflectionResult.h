#pragma once

#include "platform/model/GeneratedContent.h"
#include "platform/model/GenerationSchema.h"

#include <QString>
#include <QStringList>

namespace zn {

// The model's reflection over the rolling past 7 days, exactly as generated.
struct WeeklyReflectionResult
{
    QString summary;
    QString emotionalArc;
    QStringList notableMoments;
    QString overallSentiment;
    QString recommendedFocus;

    static const lm::GenerationSchema &generationSchema();

    // Throws lm::LanguageModelError(DecodingFailure) on the first missing or
    // ill-typed field.
    static WeeklyReflectionResult fromContent(const lm::GeneratedContent &content);

    lm::GeneratedContent generatedContent() const;

    bool operator==(const WeeklyReflectionResult &) const = default;
};

} // namespace zn
