#pragma once

#include "reflections/WeeklyReflectionOutcome.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

namespace zn {

// Pure text functions behind the rolling 7-day reflection: the instructions,
// the prompt with its character budget, the retry test after a model pass and
// the cleaning of an answer. No model, store or clock is touched here.
class WeeklyReflectionPrompting
{
public:
    // One journal entry as the prompt sees it.
    struct Snippet
    {
        QString dateLabel; // reflectionDateLabel() of the entry
        QString dayKey;    // "yyyy-MM-dd"
        QString text;
        QString weather;   // "Sunny" … "Stormy"

        friend bool operator==(const Snippet &, const Snippet &) = default;
    };

    static inline const QString arcFallback =
        QStringLiteral("Weather stayed in a similar place across the limited entries.");
    static inline const QString summaryFallback = QStringLiteral(
        "Recent entries describe mixed personal feelings; details are limited to what was written.");

    static const QString &instructions();

    static QString makePrompt(const QList<Snippet> &snippets, bool multiDay, const QString &startLabel,
                              const QString &endLabel, bool condensed, int perEntryLimit, int totalBudget,
                              bool minimalHeader);

    static bool needsRetry(const QString &summary, const QString &emotionalArc,
                           const QStringList &notableMoments, const QList<Snippet> &snippets, bool multiDay);

    // With an empty snippet list (re-cleaning a stored reflection) nothing is
    // known about the week's days, so the multi-day-phrase rule and the
    // invented-date filter are skipped rather than applied against nothing.
    static WeeklyReflectionOutcome sanitizedOutcome(const QString &summary, const QString &emotionalArc,
                                                    const QStringList &notableMoments,
                                                    const QString &overallSentiment,
                                                    const QString &recommendedFocus,
                                                    const QList<Snippet> &snippets, bool multiDay);

    static bool isNearDuplicate(const QString &a, const QString &b);
    static QString normalizedForComparison(const QString &text);
    static QStringList contentWords(const QString &text);
    static bool isGrounded(const QString &text, const QString &corpus);
    static bool mentionsDisallowedDate(const QString &text, const QSet<QString> &allowedDayKeys);
    static bool mentionsDateLikeText(const QString &text);
    static QString strippingScoreNumbers(const QString &text);

    // Snippet texts joined by one space, lower-cased.
    static QString corpus(const QList<Snippet> &snippets);
    static QSet<QString> allowedDayKeys(const QList<Snippet> &snippets);
};

} // namespace zn
