#include "reflections/EntryInsightGenerator.h"

#include "core/TextUnits.h"
#include "reflections/GenerationHelpers.h"
#include "reflections/GenerationTimeout.h"

#include <algorithm>
#include <array>

namespace zn {
namespace {

constexpr std::array<const char16_t *, 13> openings = {
    u"reflect on the entry", u"reflect on this entry", u"reflect on the journal", u"the entry says",
    u"the entry is",         u"the user wrote",        u"the journal entry",      u"here is a reflection",
    u"here's a reflection",  u"here is a summary",     u"here's a summary",       u"analysis:",
    u"summary of the entry",
};

constexpr std::array<const char16_t *, 47> advicePhrases = {
    u"you're on the right track",
    u"you are on the right track",
    u"right track",
    u"good start",
    u"remember that",
    u"remember,",
    u"it's okay",
    u"its okay",
    u"it's alright",
    u"be kind to yourself",
    u"be gentle with yourself",
    u"don't be too hard",
    u"do not be too hard",
    u"don't be hard on yourself",
    u"you should",
    u"you shouldn't",
    u"try to ",
    u"try not to",
    u"everyone makes mistakes",
    u"you're not alone",
    u"you are not alone",
    u"you aren't alone",
    u"keep going",
    u"keep it up",
    u"you've got this",
    u"you got this",
    u"take care of yourself",
    u"give yourself credit",
    u"give yourself grace",
    u"i encourage",
    u"my advice",
    u"it might help",
    u"one step at a time",
    u"take things one day",
    u"be proud of",
    u"proud of yourself",
    u"hang in there",
    u"stay strong",
    u"focus on the positive",
    u"look on the bright",
    u"things will get better",
    u"it will get better",
    u"allow yourself",
    u"permit yourself",
    u"make sure to",
    u"don't forget to",
    u"next time you",
};

const QString oneNoteTone = QStringLiteral("Emotional weather is mixed across this long entry.");
const QString fallbackTone = QStringLiteral("This long entry covers several related feelings.");
const QString mixedSentiment = QStringLiteral("mixed");

EntryInsightResult modelPass(lm::LanguageModel &model, const QString &instructions, const QString &prompt,
                             const std::stop_token &stop)
{
    return EntryInsightResult::fromContent(generator::respondStructured(
        model, instructions, prompt, EntryInsightResult::generationSchema(),
        EntryInsightGenerator::kMaximumResponseTokens, stop));
}

QStringList cleanedList(const QStringList &items)
{
    QStringList out;
    for (const QString &item : items) {
        const QString t = text::trimmed(item);
        if (t.isEmpty())
            continue;
        out.append(t);
        if (out.size() == 3)
            break;
    }
    return out;
}

QStringList splitWords(const QString &text)
{
    QStringList words;
    qsizetype start = -1;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        const bool space = i == text.size() || text.at(i).isSpace();
        if (space) {
            if (start >= 0)
                words.append(text.mid(start, i - start));
            start = -1;
        } else if (start < 0) {
            start = i;
        }
    }
    return words;
}

EntryInsightGenerator::Outcome chunkFallback(const QString &summary, const QStringList &themes,
                                             std::optional<double> score, const QString &tone)
{
    EntryInsightGenerator::Outcome outcome;
    outcome.summary = summary;
    outcome.emotionalTone = tone;
    outcome.overallSentiment = mixedSentiment;
    outcome.themes = themes;
    outcome.overallScore = score;
    outcome.usedTruncatedSource = true;
    return outcome;
}

} // namespace

QString EntryInsightGenerator::GenerateError::describe(Kind kind, const QString &message)
{
    switch (kind) {
    case Kind::GenerationFailed:
        return message;
    case Kind::Unavailable:
        return QStringLiteral("Local language model unavailable.");
    case Kind::Empty:
        return QStringLiteral("Empty entry.");
    case Kind::TimedOut:
        return QStringLiteral("Summary timed out.");
    case Kind::LowQuality:
        return QStringLiteral("Summary quality was too low.");
    case Kind::ContextTooLarge:
        return QStringLiteral("Entry is too long for on-device summary even after shortening.");
    }
    return message;
}

const QString &EntryInsightGenerator::voiceRule()
{
    static const QString text = QStringLiteral(
        "Voice: write in third-person or impersonal phrasing (e.g. \"Feelings of…\", \"The entry describes…\", "
        "\"Concern about…\"). Never use first-person pronouns (I, me, my, we, our) as if you wrote the journal. "
        "Do not role-play as the diarist.");
    return text;
}

const QString &EntryInsightGenerator::fullInstructions()
{
    static const QString text =
        QStringLiteral(
            "You are a private on-device journal assistant on the user's Mac.\n"
            "\n"
            "Write a detailed multi-part reflection on ONE journal entry — similar in richness to a weekly "
            "reflection, but scoped only to this entry.\n"
            "\n"
            "Required structure:\n"
            "1) summary — one full paragraph (3–6 sentences) covering feelings, themes, and what the entry is "
            "about\n"
            "2) emotionalTone — weather-language description of this entry’s mood (not a multi-day arc)\n"
            "3) keyPoints — 0–3 concrete paraphrases of points in the entry\n"
            "4) overallSentiment — a few words of tone\n"
            "5) closingFocus — one gentle takeaway sentence (second person OK only here)\n"
            "6) themes — 1–3 short labels\n"
            "\n"
            "Rules:\n"
            "- ")
        + voiceRule()
        + QStringLiteral(
            "\n"
            "- Ground every field only in the journal text. Never invent people, events, or outcomes.\n"
            "- Do NOT give therapy lectures or pep talks in summary, emotionalTone, or keyPoints.\n"
            "- Do NOT include numeric scores in prose fields.\n"
            "- Weather words (Sunny, Partly cloudy, Overcast, Rainy, Stormy) are welcome.\n"
            "- Never quote the entire entry back. Never start with \"Reflect on the entry\".\n"
            "- Forbidden in summary/emotionalTone/keyPoints: \"right track\", \"you're not alone\", \"remember "
            "that\", \"be kind to yourself\", \"everyone makes mistakes\".");
    return text;
}

const QString &EntryInsightGenerator::compactInstructions()
{
    static const QString text = QStringLiteral(
        "Detailed single-entry journal reflection. Third-person summary paragraph (3–5 sentences), emotionalTone "
        "with weather words, 0–3 keyPoints, short overallSentiment, one closingFocus (you OK only there), 1–3 "
        "theme labels. No I/me/my. No invented facts. No pep talk in summary.");
    return text;
}

QString EntryInsightGenerator::makePrompt(const QString &source, bool compact)
{
    if (compact) {
        return QStringLiteral(
                   "Produce a detailed structured reflection on this entry (summary paragraph, emotionalTone, "
                   "keyPoints, overallSentiment, closingFocus, themes). Third-person; no I/me/my in summary.\n"
                   "\n"
                   "Entry:\n")
            + source;
    }
    return QStringLiteral(
               "Write a detailed reflection on this single journal entry in the structured fields.\n"
               "\n"
               "Make the summary as rich as a weekly reflection’s narrative: one full paragraph about what this "
               "entry expresses (feelings, self-sabotage or other themes, desires, tensions). Then fill "
               "emotionalTone, keyPoints (moments or ideas from the text), overallSentiment, and closingFocus.\n"
               "\n"
               "Third-person or impersonal voice for summary, emotionalTone, and keyPoints.\n"
               "Never use I / me / my as if you wrote the journal. Never quote the full entry.\n"
               "\n"
               "Journal entry:\n"
               "\"\"\"\n")
        + source + QStringLiteral("\n\"\"\"");
}

QString EntryInsightGenerator::makeRetryPrompt(const QString &source)
{
    return makePrompt(source, true)
        + QStringLiteral(
            "\n"
            "RETRY — expand into a full multi-part reflection, not a single thin sentence.\n"
            "summary must be a real paragraph (3–6 sentences). Include emotionalTone and up to 3 keyPoints.\n"
            "Third-person only in summary/tone/points (never I/me/my). No advice dump. No quoting the whole "
            "entry.");
}

QString EntryInsightGenerator::makeMergePrompt(const QStringList &notes)
{
    QStringList lines;
    for (qsizetype i = 0; i < notes.size(); ++i)
        lines.append(QStringLiteral("Part ") + QString::number(i + 1) + QStringLiteral(": ") + notes.at(i));
    return QStringLiteral(
               "Combine these partial notes about one long journal entry into one detailed structured reflection "
               "(summary paragraph of 3–6 sentences, emotionalTone, keyPoints, overallSentiment, closingFocus, "
               "themes).\n"
               "Third-person. No I/me/my in summary. Do not invent details not present in the parts.\n"
               "\n")
        + lines.join(u'\n');
}

EntryInsightGenerator::Outcome EntryInsightGenerator::sanitize(const EntryInsightResult &result,
                                                               bool usedTruncatedSource)
{
    Outcome outcome;
    outcome.summary = text::trimmed(result.summary);
    if (outcome.summary.isEmpty())
        throw GenerateError::generationFailed(QStringLiteral("Empty summary"));
    outcome.themes = cleanedList(result.themes);
    outcome.keyPoints = cleanedList(result.keyPoints);
    outcome.emotionalTone = text::trimmed(result.emotionalTone);
    outcome.overallSentiment = text::trimmed(result.overallSentiment);
    outcome.closingFocus = text::trimmed(result.closingFocus);
    outcome.overallScore = result.overallScore;
    outcome.usedTruncatedSource = usedTruncatedSource;
    return outcome;
}

bool EntryInsightGenerator::containsAdvice(const QString &lowered)
{
    return std::any_of(advicePhrases.begin(), advicePhrases.end(),
                       [&](const char16_t *phrase) { return lowered.contains(QStringView(phrase)); });
}

int EntryInsightGenerator::echoedLength(const QString &source, const QString &plain)
{
    const QString a = text::graphemePrefix(source, 400);
    const QString b = text::graphemePrefix(plain, 800);
    if (b.contains(a))
        return text::graphemeCount(a);
    const QStringList words = splitWords(a);
    if (words.size() > 5) {
        const QString a12 = words.mid(0, 12).join(u' ');
        if (b.contains(a12))
            return text::graphemeCount(a12);
    }
    return 0;
}

bool EntryInsightGenerator::looksLikeEcho(const QString &summary, const QString &source)
{
    const QString t = text::trimmed(summary);
    if (t.isEmpty())
        return true;
    const QString lower = t.toLower();
    for (const char16_t *opening : openings) {
        if (lower.startsWith(QStringView(opening)))
            return true;
    }
    if (lower.contains(u"reflect on the entry:") || lower.contains(u"reflect on the entry \""))
        return true;
    if (containsAdvice(lower))
        return true;
    if (containsFirstPersonVoice(t))
        return true;

    const QString src = text::trimmed(source).toLower();
    const int srcLength = text::graphemeCount(src);
    if (srcLength >= 24) {
        QString plain = lower;
        plain.remove(u'"').remove(QChar(0x201C)).remove(QChar(0x201D));
        bool overlap = plain.contains(src);
        if (!overlap && srcLength >= 40 && text::graphemeCount(plain) >= 40) {
            overlap = src.contains(text::graphemePrefix(plain, 40)) || plain.contains(text::graphemePrefix(src, 40));
        }
        if (overlap) {
            const double ratio = double(echoedLength(src, plain)) / double(std::max(1, srcLength));
            if (ratio > 0.75)
                return true;
        }
    }
    if (text::graphemeCount(t) > 79)
        return false;
    return text::graphemeCount(source) > 40;
}

bool EntryInsightGenerator::isLowQuality(const Outcome &outcome, const QString &source)
{
    if (looksLikeEcho(outcome.summary, source))
        return true;
    if (outcome.emotionalTone.isEmpty() && text::graphemeCount(outcome.summary) < 120)
        return true;
    if (containsFirstPersonVoice(outcome.emotionalTone))
        return true;
    return std::any_of(outcome.keyPoints.begin(), outcome.keyPoints.end(),
                       [](const QString &point) { return containsFirstPersonVoice(point); });
}

EntryInsightGenerator::Outcome EntryInsightGenerator::runLevels(const QString &text, lm::LanguageModel &model,
                                                                std::stop_token stop)
{
    int contextSize = model.contextSize();
    if (contextSize < 1)
        contextSize = generation::kFallbackContextSize;
    generator::throwIfStopped(stop);
    const int fullTokens = countTokens(model, fullInstructions(), stop);
    const int compactTokens = countTokens(model, compactInstructions(), stop);
    const int textLength = text::graphemeCount(text);

    for (int index = 0; index < 4; ++index) {
        generator::throwIfStopped(stop);
        const auto level = static_cast<ShorteningLevel>(index);
        const bool compact = index > 0;
        try {
            const int budget = characterBudget(contextSize, compact ? compactTokens : fullTokens, level);
            const QString source = truncateForPrompt(text, budget);
            const bool truncated = budget < textLength;
            const EntryInsightResult first = modelPass(
                model, compact ? compactInstructions() : fullInstructions(), makePrompt(source, compact), stop);
            const Outcome outcome = sanitize(first, truncated);
            if (!isLowQuality(outcome, source))
                return outcome;

            const int retryLimit = budget >= 1800 ? budget / 2 : 900;
            const QString retrySource = truncateForPrompt(text, retryLimit);
            const bool retryTruncated = budget < textLength || text::graphemeCount(retrySource) < textLength;
            const EntryInsightResult second =
                modelPass(model, compactInstructions(), makeRetryPrompt(retrySource), stop);
            const Outcome retryOutcome = sanitize(second, retryTruncated);
            if (isLowQuality(retryOutcome, retrySource))
                throw GenerateError(GenerateError::Kind::LowQuality);
            return retryOutcome;
        } catch (const GenerateError &) {
            throw;
        } catch (const CancellationError &) {
            // A stopped run must not go on to shorter levels: each would be
            // another model call after the caller has given up.
            throw;
        } catch (const std::exception &error) {
            if (index < 3)
                continue;
            if (isContextWindowExceeded(error))
                return summarizeInChunks(text, model, contextSize, stop);
            throw;
        }
    }
    // Unreachable: level 3 always returns or throws.
    throw GenerateError(GenerateError::Kind::ContextTooLarge);
}

EntryInsightGenerator::Outcome EntryInsightGenerator::summarizeInChunks(const QString &text,
                                                                        lm::LanguageModel &model,
                                                                        int contextSize, std::stop_token stop)
{
    generator::throwIfStopped(stop);
    const int compactTokens = countTokens(model, compactInstructions(), stop);
    const int chunkSize =
        std::max(kSmallestChunk, characterBudget(contextSize, compactTokens, ShorteningLevel::Level2));
    QStringList chunks = splitIntoChunks(text, chunkSize);
    if (chunks.size() > kMaximumChunks)
        chunks = chunks.mid(0, kMaximumChunks);

    QStringList notes;
    QList<double> scores;
    QStringList themes;
    for (const QString &chunk : chunks) {
        generator::throwIfStopped(stop);
        Outcome chunkOutcome;
        try {
            chunkOutcome = sanitize(modelPass(model, compactInstructions(), makePrompt(chunk, true), stop), true);
        } catch (const CancellationError &) {
            throw;
        } catch (const std::exception &) {
            continue;
        }
        if (!isLowQuality(chunkOutcome, chunk)) {
            QString note = chunkOutcome.summary;
            if (!chunkOutcome.emotionalTone.isEmpty())
                note += u' ' + chunkOutcome.emotionalTone;
            if (!chunkOutcome.keyPoints.isEmpty())
                note += QStringLiteral(" Points: ") + chunkOutcome.keyPoints.join(QStringLiteral("; "));
            notes.append(note);
        }
        if (chunkOutcome.overallScore)
            scores.append(*chunkOutcome.overallScore);
        themes.append(chunkOutcome.themes);
    }
    if (notes.isEmpty())
        throw GenerateError(GenerateError::Kind::ContextTooLarge);

    QStringList chunkThemes = themes;
    chunkThemes.removeDuplicates();
    if (chunkThemes.size() >= 4)
        chunkThemes = chunkThemes.mid(0, 3);

    std::optional<double> meanScore;
    if (!scores.isEmpty()) {
        double sum = 0.0;
        for (double s : scores)
            sum += s;
        meanScore = sum / double(scores.size());
    }

    if (notes.size() == 1)
        return chunkFallback(notes.first(), chunkThemes, meanScore, oneNoteTone);

    Outcome merged;
    try {
        merged = sanitize(modelPass(model, compactInstructions(), makeMergePrompt(notes), stop), true);
    } catch (const CancellationError &) {
        throw;
    } catch (const std::exception &) {
        return chunkFallback(notes.mid(0, 2).join(u' '), chunkThemes, meanScore, fallbackTone);
    }
    if (merged.themes.isEmpty())
        merged.themes = chunkThemes;
    if (isLowQuality(merged, notes.join(u' ')))
        return chunkFallback(notes.mid(0, 3).join(u' '), chunkThemes, meanScore, fallbackTone);
    return merged;
}

EntryInsightGenerator::Outcome EntryInsightGenerator::generate(const QString &text, lm::LanguageModel &model,
                                                               std::stop_token stop, const Options &options)
{
    const QString trimmedText = text::trimmed(text);
    if (trimmedText.isEmpty())
        throw GenerateError(GenerateError::Kind::Empty);
    if (!model.isAvailable())
        throw GenerateError(GenerateError::Kind::Unavailable);

    return generator::runTimed<GenerateError, Outcome>(
        options.timeLimitSeconds, options.clock, std::move(stop),
        [&](std::stop_token raceStop) { return runLevels(trimmedText, model, raceStop); });
}

} // namespace zn
