#pragma once

#include "platform/base/Clock.h"
#include "platform/model/Cancellation.h"
#include "platform/model/LanguageModel.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdint>
#include <exception>
#include <stop_token>

namespace zn {

// How much source text a model pass gets: level 0 the most, each further
// level less. Passes walk the levels in this order.
enum class ShorteningLevel : std::uint8_t { Level0 = 0, Level1 = 1, Level2 = 2, Level3 = 3 };

namespace generation {
// Tokens kept for everything of a pass besides the source text and the
// instructions.
inline constexpr int kReservedTokens = 1340;
inline constexpr int kCharactersPerToken = 3;
inline constexpr int kMinimumBudget = 900;
// Used when the model reports no context size.
inline constexpr int kFallbackContextSize = 4096;

// "\n\n[…rest omitted for length…]" (29 characters).
const QString &restOmittedMarker();
// "\n\n[…middle omitted for length…]\n\n" (33 characters).
const QString &middleOmittedMarker();
// The first-person patterns, in the order they are tried.
const QStringList &firstPersonPatterns();
} // namespace generation

// True when the error means the model's context window was too small: the
// model's own overflow error, or a description mentioning "context" together
// with "exceed", "window" or "token".
bool isContextWindowExceeded(const std::exception &error);
bool isContextWindowExceeded(const std::exception_ptr &error);

// The model's token count of `text` taken as instructions; when the model
// cannot count (or the call is stopped), ceil(characters / 3), at least 1.
// Never throws.
int countTokens(lm::LanguageModel &model, const QString &text, std::stop_token stop = {});
int estimatedTokenCount(const QString &text);

// Characters of source text a pass may send at `level`, between 900 and the
// level's cap. Pass 4096 as contextSize when the model reports less than 1.
int characterBudget(int contextSize, int reservedTokens, ShorteningLevel level);

// Trimmed text cut to about maxCharacters, with a marker where text was left
// out (the tail up to 1199, the middle from 1200).
QString truncateForPrompt(const QString &text, int maxCharacters);

// Paragraph-aligned chunks of at most maxCharacters (paragraphs are separated
// by a blank line; an overlong paragraph is cut at the exact count).
QStringList splitIntoChunks(const QString &text, int maxCharacters);

// True when the text speaks as I/me/my/we/our (whole words, any case).
bool containsFirstPersonVoice(const QString &text);

// Blocks for `duration` on `clock` (the monotonic clock for the system clock).
// Throws CancellationError at once when `stop` is or becomes triggered.
// With any clock other than the system clock, the timer is scheduled on the
// application's main thread, which must be running its event loop unless
// this is called on the main thread itself.
void sleepFor(std::chrono::milliseconds duration, std::stop_token stop = {},
              Clock &clock = Clock::system());

} // namespace zn
