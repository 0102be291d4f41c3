#pragma once

#include "platform/language/LanguageTagging.h"

#include <QList>
#include <QLocale>
#include <QMap>
#include <QString>

#include <optional>

namespace zn {

class JournalEntry;
using KeywordFrequencies = QMap<QString, int>;

// The on-device mood analysis: free, synchronous functions that never throw
// and may run on several threads at once. Reachable as zn::MoodAnalysis::x
// and as zn::x.
inline namespace MoodAnalysis {

// What the fixed English lexicon found in a text. positiveTurn is never set
// together with strongNegative.
struct LexiconSignal
{
    double score = 0.0;
    bool strongNegative = false;
    bool positiveTurn = false;
};

// Score and keywords of a text being written or dictated.
struct LiveMood
{
    double score = 0.0;
    KeywordFrequencies keywords;
};

// Mood of a text in [-1, 1]: the tagger's sentiment blended with the lexicon.
double sentimentScore(const QString &text, const std::optional<QLocale> &locale = std::nullopt);

// A tagger for the schemes with its string and language set; the language is
// the locale's, else the recognised one, else English.
language::Tagger makeTagger(const QString &text, const std::optional<QLocale> &locale,
                            const QList<language::TagScheme> &schemes);

LexiconSignal scoreLexicon(const QString &text);
bool isNegated(const QString &window);
// Not clamped; sentimentScore clamps.
double blendLexicon(bool strongNegative, bool positiveTurn, double taggerScore, double lexiconScore);

// Lemma counts of nouns, adjectives, adverbs and other words, the most
// frequent `limit` of them.
KeywordFrequencies extractKeywords(const QString &text, const std::optional<QLocale> &locale = std::nullopt,
                                   int limit = 25);

// The on-device score reconciled with the language model's overall score.
// Scores are clamped to [-1, 1]; one that is not a number reads as -1, so
// the result is always finite.
double reconcileScores(const QString &text, double onDeviceScore, double modelScore);
// The same, given the lexicon signal of the text.
double reconcileScores(const LexiconSignal &signal, double onDeviceScore, double modelScore);

// Stores the trimmed text with its score and keywords and resets the
// reflection to "pending". Blank text leaves the entry alone. Main thread.
void applyEntryText(JournalEntry &entry, const QString &text);

// What applyEntryText stores, worked out ahead (on any thread) for a long
// text, so that storing it on the main thread takes no time.
struct EntryAnalysis
{
    QString text; // trimmed
    double score = 0.0;
    KeywordFrequencies keywords;
};
EntryAnalysis analyzeEntryText(const QString &text);
// applyEntryText with the analysis done ahead; blank text leaves the entry
// alone. Main thread.
void applyEntryAnalysis(JournalEntry &entry, const EntryAnalysis &analysis);

// The lengths, in characters once trimmed, that analyzeText scores.
inline constexpr int kLiveMinimum = 20;
inline constexpr int kLiveMaximum = 15000;

// Nothing for texts under kLiveMinimum or over kLiveMaximum characters once
// trimmed.
std::optional<LiveMood> analyzeText(const QString &text);

} // namespace MoodAnalysis
} // namespace zn
