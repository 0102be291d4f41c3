#pragma once

#include "platform/base/Clock.h"
#include "platform/model/LanguageModel.h"
#include "reflections/EntryInsightResult.h"
#include "reflections/GeneratorSupport.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <stop_token>

namespace zn {

enum class EntryInsightErrorKind { GenerationFailed, Unavailable, Empty, TimedOut, LowQuality, ContextTooLarge };

using EntryInsightOptions = generator::TimedOptions<50>;

// Writes the structured reflection of one journal entry with the language
// model: walks four shortening levels with one quality retry each, and as a
// last resort reflects on a long entry in chunks and merges the notes. Never
// touches the store. generate() blocks: call it on a worker thread.
class EntryInsightGenerator
{
public:
    struct Outcome
    {
        QString summary;          // trimmed, never empty
        QString emotionalTone;    // trimmed, may be empty
        QStringList keyPoints;    // trimmed, non-empty items, at most 3
        QString overallSentiment; // trimmed
        QString closingFocus;     // trimmed
        QStringList themes;       // trimmed, non-empty items, at most 3
        // The model's score, not clamped; absent only when a chunked
        // reflection got no score from any chunk.
        std::optional<double> overallScore;
        bool usedTruncatedSource = false; // the model saw less than the whole entry

        bool operator==(const Outcome &) const = default;
    };

    class GenerateError : public generator::GenerateErrorBase<GenerateError, EntryInsightErrorKind>
    {
    public:
        using GenerateErrorBase::GenerateErrorBase;
        static QString describe(Kind kind, const QString &message);
    };

    using Options = EntryInsightOptions;

    static constexpr int kMaximumResponseTokens = 900;
    static constexpr int kMaximumChunks = 4;
    static constexpr int kSmallestChunk = 1200;

    // Blocks until an outcome or a GenerateError (the only thing it throws).
    // `stop` is the caller's cancellation, reported as timedOut.
    static Outcome generate(const QString &text, lm::LanguageModel &model, std::stop_token stop = {},
                            const Options &options = {});

    // The level loop with its quality retry. Throws GenerateError, model
    // errors and CancellationError; makes no model call once `stop` is set.
    static Outcome runLevels(const QString &text, lm::LanguageModel &model, std::stop_token stop);

    // The chunked path for an entry too long for the model's context.
    static Outcome summarizeInChunks(const QString &text, lm::LanguageModel &model, int contextSize,
                                     std::stop_token stop);

    static const QString &fullInstructions();
    static const QString &compactInstructions();
    // The voice rule shared with the weekly reflection's instructions.
    static const QString &voiceRule();

    static QString makePrompt(const QString &source, bool compact);
    static QString makeRetryPrompt(const QString &source);
    static QString makeMergePrompt(const QStringList &notes);

    // Trims and limits a model answer; throws generationFailed("Empty summary").
    static Outcome sanitize(const EntryInsightResult &result, bool usedTruncatedSource);

    static bool isLowQuality(const Outcome &outcome, const QString &source);
    static bool looksLikeEcho(const QString &summary, const QString &source);
    static bool containsAdvice(const QString &lowered);
    static int echoedLength(const QString &source, const QString &plain);
};

} // namespace zn
