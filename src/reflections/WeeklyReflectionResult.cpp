#include "reflections/WeeklyReflectionResult.h"

#include "platform/model/GeneratedRecord.h"

namespace zn {

namespace {

const lm::RecordSchema<WeeklyReflectionResult> &record()
{
    static const lm::RecordSchema<WeeklyReflectionResult> schema{
        QStringLiteral("WeeklyReflectionResult"),
        QStringLiteral("A grounded weekly journal reflection based only on the provided entries. Each field has "
                       "a distinct job — never copy the same sentence into two fields. Third-person or "
                       "impersonal voice. Never invent dates, people, or events. Never first-person as the "
                       "diarist."),
        {
            {QStringLiteral("summary"), &WeeklyReflectionResult::summary,
             QStringLiteral("Themes and substance of the entries (1 short paragraph). Third-person. Not a weather "
                            "forecast. No numeric scores. Never invent events.")},
            {QStringLiteral("emotionalArc"), &WeeklyReflectionResult::emotionalArc,
             QStringLiteral("ONLY emotional weather movement (Sunny…Stormy words). Must NOT restate or paraphrase "
                            "the summary. One or two short sentences. If weather has little to add, one short "
                            "weather-only line is fine. Never I/me/my.")},
            {QStringLiteral("notableMoments"), &WeeklyReflectionResult::notableMoments,
             QStringLiteral("At most three short third-person beats unique from summary and from each other. "
                            "Prefer fewer. Empty array if none. Never invent.")},
            {QStringLiteral("overallSentiment"), &WeeklyReflectionResult::overallSentiment,
             QStringLiteral("Overall tone in a few words: e.g. brighter, mixed, heavy, steady")},
            {QStringLiteral("recommendedFocus"), &WeeklyReflectionResult::recommendedFocus,
             QStringLiteral("One gentle sentence of focus for the coming days that invents no specific events. "
                            "Second person 'you' is allowed only here. Must not copy summary.")},
        },
    };
    return schema;
}

} // namespace

const lm::GenerationSchema &WeeklyReflectionResult::generationSchema()
{
    return record().schema();
}

WeeklyReflectionResult WeeklyReflectionResult::fromContent(const lm::GeneratedContent &content)
{
    return record().read(content);
}

lm::GeneratedContent WeeklyReflectionResult::generatedContent() const
{
    return record().write(*this);
}

} // namespace zn
