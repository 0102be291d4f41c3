#include "reflections/WeeklyReflectionGenerator.h"

#include "core/TextUnits.h"
#include "reflections/GenerationHelpers.h"
#include "reflections/GenerationTimeout.h"
#include "reflections/ReflectionDates.h"
#include "reflections/WeeklyReflectionResult.h"

namespace zn {
namespace {

const QString emptySummary = QStringLiteral("Empty summary");

} // namespace

QString WeeklyReflectionGenerator::GenerateError::describe(Kind kind, const QString &message)
{
    switch (kind) {
    case Kind::GenerationFailed:
        return message;
    case Kind::Unavailable:
        return QStringLiteral("Local language model unavailable.");
    case Kind::Empty:
        return QStringLiteral("No entries.");
    case Kind::TimedOut:
        return QStringLiteral("Weekly reflection timed out.");
    case Kind::ContextTooLarge:
        return QStringLiteral("This week’s entries are too long for on-device reflection even after shortening.");
    }
    return message;
}

const std::array<WeeklyReflectionGenerator::PromptShape, 5> &WeeklyReflectionGenerator::shorteningLevels()
{
    static const std::array<PromptShape, 5> levels = {{
        {800, 8000, false, false},
        {400, 4500, false, true},
        {400, 4500, true, true},
        {220, 2400, true, true},
        {120, 1400, true, true},
    }};
    return levels;
}

const QString &WeeklyReflectionGenerator::compactInstructions()
{
    static const QString text = QStringLiteral(
        "Past-7-day journal assistant. Third-person only (never I/me/my). Distinct fields: summary = "
        "themes/content; emotionalArc = weather movement only (not a copy of summary); 0–3 unique notableMoments. "
        "No invented dates. No numeric scores.");
    return text;
}

const QString &WeeklyReflectionGenerator::retryNotice()
{
    static const QString text = QStringLiteral(
        "\n"
        "RETRY — fix grounding and/or duplication.\n"
        "Remove invented events, people, dates, or padding moments.\n"
        "summary and emotionalArc must be DIFFERENT: arc is weather-only, summary is content/themes.\n"
        "Do not paste the same sentence into two fields.\n"
        "notableMoments: 0–3 items only, each distinct from summary. Prefer an empty list over repeats.\n"
        "Third-person only for summary/arc/moments. No multi-day arcs when all entries are on one day.");
    return text;
}

bool WeeklyReflectionGenerator::isMultiDay(const QList<Snippet> &snippets)
{
    return snippets.size() >= 3 && WeeklyReflectionPrompting::allowedDayKeys(snippets).size() >= 2;
}

QString WeeklyReflectionGenerator::startLabel(const QDateTime &windowStart)
{
    return reflectionDateLabel(windowStart);
}

QString WeeklyReflectionGenerator::endLabel(const QDateTime &windowEnd)
{
    return reflectionDateLabel(windowEnd.addSecs(-1));
}

WeeklyReflectionGenerator::Answer WeeklyReflectionGenerator::respondOnce(lm::LanguageModel &model,
                                                                         const QString &instructions,
                                                                         const QString &prompt,
                                                                         std::stop_token stop)
{
    const WeeklyReflectionResult result = WeeklyReflectionResult::fromContent(generator::respondStructured(
        model, instructions, prompt, WeeklyReflectionResult::generationSchema(), kMaximumResponseTokens, stop));

    Answer answer;
    answer.summary = text::trimmed(result.summary);
    if (answer.summary.isEmpty())
        throw GenerateError::generationFailed(emptySummary);
    answer.emotionalArc = text::trimmed(result.emotionalArc);
    answer.notableMoments = result.notableMoments;
    answer.overallSentiment = text::trimmed(result.overallSentiment);
    answer.recommendedFocus = text::trimmed(result.recommendedFocus);
    return answer;
}

WeeklyReflectionGenerator::Outcome WeeklyReflectionGenerator::runPass(const QList<Snippet> &snippets,
                                                                      bool multiDay, const QString &start,
                                                                      const QString &end,
                                                                      lm::LanguageModel &model,
                                                                      std::stop_token stop)
{
    const auto &levels = shorteningLevels();
    size_t index = 0;
    QString instructions = WeeklyReflectionPrompting::instructions();
    QString prompt = WeeklyReflectionPrompting::makePrompt(snippets, multiDay, start, end, levels[0].condensed,
                                                           levels[0].perEntryCharacters,
                                                           levels[0].totalCharacters, levels[0].minimalHeader);
    Answer chosen;
    while (true) {
        generator::throwIfStopped(stop);
        try {
            Answer answer = respondOnce(model, instructions, prompt, stop);
            if (WeeklyReflectionPrompting::needsRetry(answer.summary, answer.emotionalArc,
                                                      answer.notableMoments, snippets, multiDay)) {
                const PromptShape &shape = levels[index];
                const QString retryPrompt =
                    WeeklyReflectionPrompting::makePrompt(snippets, multiDay, start, end, true,
                                                          shape.retryPerEntryCharacters(),
                                                          shape.retryTotalCharacters(), true)
                    + retryNotice();
                answer = respondOnce(model, compactInstructions(), retryPrompt, stop);
            }
            chosen = answer;
            break;
        } catch (const GenerateError &) {
            throw;
        } catch (const CancellationError &) {
            // Once stopped, shorter levels would only be more model calls
            // after the caller has given up.
            throw;
        } catch (const std::exception &error) {
            if (index + 1 >= levels.size()) {
                if (isContextWindowExceeded(error))
                    throw GenerateError(GenerateError::Kind::ContextTooLarge);
                throw GenerateError::generationFailed(generator::errorDescription(error));
            }
            ++index;
            const PromptShape &shape = levels[index];
            instructions = shape.minimalHeader ? compactInstructions() : WeeklyReflectionPrompting::instructions();
            prompt = WeeklyReflectionPrompting::makePrompt(snippets, multiDay, start, end, shape.condensed,
                                                           shape.perEntryCharacters, shape.totalCharacters,
                                                           shape.minimalHeader);
        }
    }

    Outcome outcome = WeeklyReflectionPrompting::sanitizedOutcome(
        chosen.summary, chosen.emotionalArc, chosen.notableMoments, chosen.overallSentiment,
        chosen.recommendedFocus, snippets, multiDay);
    if (outcome.summary.isEmpty())
        throw GenerateError::generationFailed(emptySummary);
    return outcome;
}

WeeklyReflectionGenerator::GenerateError WeeklyReflectionGenerator::mapError(std::exception_ptr error)
{
    return generator::mapRunError<GenerateError>(std::move(error));
}

WeeklyReflectionGenerator::Outcome WeeklyReflectionGenerator::generate(const QList<EntrySnippet> &entries,
                                                                       const QDateTime &windowStart,
                                                                       const QDateTime &windowEnd,
                                                                       lm::LanguageModel &model,
                                                                       std::stop_token stop,
                                                                       const Options &options)
{
    if (entries.isEmpty())
        throw GenerateError(GenerateError::Kind::Empty);
    if (!model.isAvailable())
        throw GenerateError(GenerateError::Kind::Unavailable);

    const bool multiDay = isMultiDay(entries);
    const QString start = startLabel(windowStart);
    const QString end = endLabel(windowEnd);

    return generator::runTimed<GenerateError, Outcome>(
        options.timeLimitSeconds, options.clock, std::move(stop),
        [&](std::stop_token raceStop) { return runPass(entries, multiDay, start, end, model, raceStop); });
}

} // namespace zn
