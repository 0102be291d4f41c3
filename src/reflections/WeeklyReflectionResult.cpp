#include "reflections/WeeklyReflectionResult.h"

namespace zn {

using lm::GenerationSchema;
using lm::ValueKind;

const GenerationSchema &WeeklyReflectionResult::generationSchema()
{
    static const GenerationSchema schema{
        QStringLiteral("WeeklyReflectionResult"),
        QStringLiteral("A grounded weekly journal reflection based only on the provided entries. Each field has "
                       "a distinct job — never copy the same sentence into two fields. Third-person or "
                       "impersonal voice. Never invent dates, people, or events. Never first-person as the "
                       "diarist."),
        {
            {QStringLiteral("summary"), ValueKind::Text,
             QStringLiteral("Themes and substance of the entries (1 short paragraph). Third-person. Not a weather "
                            "forecast. No numeric scores. Never invent events.")},
            {QStringLiteral("emotionalArc"), ValueKind::Text,
             QStringLiteral("ONLY emotional weather movement (Sunny…Stormy words). Must NOT restate or paraphrase "
                            "the summary. One or two short sentences. If weather has little to add, one short "
                            "weather-only line is fine. Never I/me/my.")},
            {QStringLiteral("notableMoments"), ValueKind::TextList,
             QStringLiteral("At most three short third-person beats unique from summary and from each other. "
                            "Prefer fewer. Empty array if none. Never invent.")},
            {QStringLiteral("overallSentiment"), ValueKind::Text,
             QStringLiteral("Overall tone in a few words: e.g. brighter, mixed, heavy, steady")},
            {QStringLiteral("recommendedFocus"), ValueKind::Text,
             QStringLiteral("One gentle sentence of focus for the coming days that invents no specific events. "
                            "Second person 'you' is allowed only here. Must not copy summary.")},
        },
    };
    return schema;
}

WeeklyReflectionResult WeeklyReflectionResult::fromContent(const lm::GeneratedContent &content)
{
    WeeklyReflectionResult result;
    result.summary = content.text(QStringLiteral("summary"));
    result.emotionalArc = content.text(QStringLiteral("emotionalArc"));
    result.notableMoments = content.textList(QStringLiteral("notableMoments"));
    result.overallSentiment = content.text(QStringLiteral("overallSentiment"));
    result.recommendedFocus = content.text(QStringLiteral("recommendedFocus"));
    return result;
}

lm::GeneratedContent WeeklyReflectionResult::generatedContent() const
{
    lm::GeneratedContent content;
    content.setText(QStringLiteral("summary"), summary);
    content.setText(QStringLiteral("emotionalArc"), emotionalArc);
    content.setTextList(QStringLiteral("notableMoments"), notableMoments);
    content.setText(QStringLiteral("overallSentiment"), overallSentiment);
    content.setText(QStringLiteral("recommendedFocus"), recommendedFocus);
    return content;
}

} // namespace zn
