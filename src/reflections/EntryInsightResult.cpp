#include "reflections/EntryInsightResult.h"

namespace zn {

using lm::GenerationSchema;
using lm::ValueKind;

const GenerationSchema &EntryInsightResult::generationSchema()
{
    static const GenerationSchema schema{
        QStringLiteral("EntryInsightResult"),
        QStringLiteral("A detailed, multi-part reflection on a single personal journal entry. Third-person or "
                       "impersonal voice. Grounded only in the entry. No invented facts. Never first-person as "
                       "the diarist."),
        {
            {QStringLiteral("overallScore"), ValueKind::Number,
             QStringLiteral("Overall sentiment from -1.0 (very heavy / stormy) to 1.0 (very light / sunny). "
                            "Numeric only in this field.")},
            {QStringLiteral("summary"), ValueKind::Text,
             QStringLiteral("One rich paragraph (3–6 sentences) summarizing what the entry expresses: main "
                            "feelings, conflicts, desires, and context. Third-person or impersonal. Weather mood "
                            "words OK (Sunny, Partly cloudy, Overcast, Rainy, Stormy). No advice. No I/me/my. No "
                            "quoting the full entry.")},
            {QStringLiteral("emotionalTone"), ValueKind::Text,
             QStringLiteral("One or two sentences on the emotional weather of this entry alone — tone and "
                            "tension using weather language. Do not invent a multi-day arc. Never I/me/my.")},
            {QStringLiteral("keyPoints"), ValueKind::TextList,
             QStringLiteral("Zero to three short third-person paraphrases of specific points or moments clearly "
                            "present in the entry. Prefer fewer. Empty array if none. Never invent.")},
            {QStringLiteral("overallSentiment"), ValueKind::Text,
             QStringLiteral("Overall tone in a few words: e.g. heavy, mixed, hopeful, stormy, steady")},
            {QStringLiteral("closingFocus"), ValueKind::Text,
             QStringLiteral("One gentle closing sentence of focus or takeaway grounded in the entry (similar to a "
                            "weekly recommended focus). Second person 'you' is allowed only here. No invented "
                            "events.")},
            {QStringLiteral("themes"), ValueKind::TextList,
             QStringLiteral("One to three short theme labels only (examples: Work, Family, Health, Gratitude, "
                            "Anxiety, Joy, Self-sabotage). Not full sentences.")},
        },
    };
    return schema;
}

EntryInsightResult EntryInsightResult::fromContent(const lm::GeneratedContent &content)
{
    EntryInsightResult result;
    result.overallScore = content.number(QStringLiteral("overallScore"));
    result.summary = content.text(QStringLiteral("summary"));
    result.emotionalTone = content.text(QStringLiteral("emotionalTone"));
    result.keyPoints = content.textList(QStringLiteral("keyPoints"));
    result.overallSentiment = content.text(QStringLiteral("overallSentiment"));
    result.closingFocus = content.text(QStringLiteral("closingFocus"));
    result.themes = content.textList(QStringLiteral("themes"));
    return result;
}

lm::GeneratedContent EntryInsightResult::generatedContent() const
{
    lm::GeneratedContent content;
    content.setNumber(QStringLiteral("overallScore"), overallScore);
    content.setText(QStringLiteral("summary"), summary);
    content.setText(QStringLiteral("emotionalTone"), emotionalTone);
    content.setTextList(QStringLiteral("keyPoints"), keyPoints);
    content.setText(QStringLiteral("overallSentiment"), overallSentiment);
    content.setText(QStringLiteral("closingFocus"), closingFocus);
    content.setTextList(QStringLiteral("themes"), themes);
    return content;
}

} // namespace zn
