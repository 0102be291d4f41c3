#include "reflections/EntryInsightResult.h"

#include "platform/model/GeneratedRecord.h"

namespace zn {

namespace {

const lm::RecordSchema<EntryInsightResult> &record()
{
    static const lm::RecordSchema<EntryInsightResult> schema{
        QStringLiteral("EntryInsightResult"),
        QStringLiteral("A detailed, multi-part reflection on a single personal journal entry. Third-person or "
                       "impersonal voice. Grounded only in the entry. No invented facts. Never first-person as "
                       "the diarist."),
        {
            {QStringLiteral("overallScore"), &EntryInsightResult::overallScore,
             QStringLiteral("Overall sentiment from -1.0 (very heavy / stormy) to 1.0 (very light / sunny). "
                            "Numeric only in this field.")},
            {QStringLiteral("summary"), &EntryInsightResult::summary,
             QStringLiteral("One rich paragraph (3–6 sentences) summarizing what the entry expresses: main "
                            "feelings, conflicts, desires, and context. Third-person or impersonal. Weather mood "
                            "words OK (Sunny, Partly cloudy, Overcast, Rainy, Stormy). No advice. No I/me/my. No "
                            "quoting the full entry.")},
            {QStringLiteral("emotionalTone"), &EntryInsightResult::emotionalTone,
             QStringLiteral("One or two sentences on the emotional weather of this entry alone — tone and "
                            "tension using weather language. Do not invent a multi-day arc. Never I/me/my.")},
            {QStringLiteral("keyPoints"), &EntryInsightResult::keyPoints,
             QStringLiteral("Zero to three short third-person paraphrases of specific points or moments clearly "
                            "present in the entry. Prefer fewer. Empty array if none. Never invent.")},
            {QStringLiteral("overallSentiment"), &EntryInsightResult::overallSentiment,
             QStringLiteral("Overall tone in a few words: e.g. heavy, mixed, hopeful, stormy, steady")},
            {QStringLiteral("closingFocus"), &EntryInsightResult::closingFocus,
             QStringLiteral("One gentle closing sentence of focus or takeaway grounded in the entry (similar to a "
                            "weekly recommended focus). Second person 'you' is allowed only here. No invented "
                            "events.")},
            {QStringLiteral("themes"), &EntryInsightResult::themes,
             QStringLiteral("One to three short theme labels only (examples: Work, Family, Health, Gratitude, "
                            "Anxiety, Joy, Self-sabotage). Not full sentences.")},
        },
    };
    return schema;
}

} // namespace

const lm::GenerationSchema &EntryInsightResult::generationSchema()
{
    return record().schema();
}

EntryInsightResult EntryInsightResult::fromContent(const lm::GeneratedContent &content)
{
    return record().read(content);
}

lm::GeneratedContent EntryInsightResult::generatedContent() const
{
    return record().write(*this);
}

} // namespace zn
