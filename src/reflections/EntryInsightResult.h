#pragma once

#include "platform/model/GeneratedContent.h"
#include "platform/model/GenerationSchema.h"

#include <QString>
#include <QStringList>

namespace zn {

// The model's reflection on one journal entry, exactly as generated: values
// are not trimmed, limited or clamped here.
struct EntryInsightResult
{
    double overallScore = 0.0;
    QString summary;
    QString emotionalTone;
    QStringList keyPoints;
    QString overallSentiment;
    QString closingFocus;
    QStringList themes;

    // Field names, kinds, order and descriptions are the model's contract.
    static const lm::GenerationSchema &generationSchema();

    // Reads every field by name in declared order; the first missing or
    // ill-typed one throws lm::LanguageModelError(DecodingFailure).
    static EntryInsightResult fromContent(const lm::GeneratedContent &content);

    lm::GeneratedContent generatedContent() const;

    bool operator==(const EntryInsightResult &) const = default;
};

} // namespace zn
