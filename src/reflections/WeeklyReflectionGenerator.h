#pragma once

#include "platform/base/Clock.h"
#include "platform/model/LanguageModel.h"
#include "reflections/GeneratorSupport.h"
#include "reflections/WeeklyReflectionOutcome.h"
#include "reflections/WeeklyReflectionPrompting.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <array>
#include <exception>
#include <stop_token>

namespace zn {

enum class WeeklyReflectionErrorKind { GenerationFailed, Unavailable, Empty, TimedOut, ContextTooLarge };

using WeeklyReflectionOptions = generator::TimedOptions<75>;

// Turns the entries of the rolling past 7 days into one cleaned reflection.
// Shortens the prompt level by level when a pass fails, asks once more per
// level when an answer is ungrounded or repeats itself. Never touches the
// store. generate() blocks: call it on a worker thread.
class WeeklyReflectionGenerator
{
public:
    using Snippet = WeeklyReflectionPrompting::Snippet;
    using EntrySnippet = WeeklyReflectionPrompting::Snippet;
    using Outcome = WeeklyReflectionOutcome;
    using Options = WeeklyReflectionOptions;

    class GenerateError : public generator::GenerateErrorBase<GenerateError, WeeklyReflectionErrorKind>
    {
    public:
        using GenerateErrorBase::GenerateErrorBase;
        static QString describe(Kind kind, const QString &message);
    };

    // One prompt shape; the levels are tried in order.
    struct PromptShape
    {
        int perEntryCharacters;
        int totalCharacters;
        bool condensed;
        bool minimalHeader; // also selects the compact instructions

        int retryPerEntryCharacters() const { return std::max(perEntryCharacters / 2, 120); }
        int retryTotalCharacters() const { return std::max(totalCharacters / 2, 1200); }
    };

    // The trimmed fields of one answer (moments as the model gave them).
    struct Answer
    {
        QString summary;
        QString emotionalArc;
        QStringList notableMoments;
        QString overallSentiment;
        QString recommendedFocus;
    };

    static constexpr int kMaximumResponseTokens = 768;

    static const std::array<PromptShape, 5> &shorteningLevels();
    static const QString &compactInstructions();
    static const QString &retryNotice();

    // Blocks until an outcome or a GenerateError (the only thing it throws).
    // `windowEnd` is exclusive. `stop` is the caller's cancellation, reported
    // as timedOut.
    static Outcome generate(const QList<EntrySnippet> &entries, const QDateTime &windowStart,
                            const QDateTime &windowEnd, lm::LanguageModel &model, std::stop_token stop = {},
                            const Options &options = {});

    // At least 3 entries on at least 2 distinct days.
    static bool isMultiDay(const QList<Snippet> &snippets);
    static QString startLabel(const QDateTime &windowStart);
    // The last second inside the window, so a midnight end reads as today.
    static QString endLabel(const QDateTime &windowEnd);

    // The level walk. Throws GenerateError, model errors and
    // CancellationError; makes no model call once `stop` is set.
    static Outcome runPass(const QList<Snippet> &snippets, bool multiDay, const QString &startLabel,
                           const QString &endLabel, lm::LanguageModel &model, std::stop_token stop);

    // One model call in a fresh session; throws generationFailed("Empty
    // summary") for a blank summary.
    static Answer respondOnce(lm::LanguageModel &model, const QString &instructions, const QString &prompt,
                              std::stop_token stop);

    static GenerateError mapError(std::exception_ptr error);
};

} // namespace zn
