#include "core/EntryText.h"
#include "core/MoodAnalysis.h"
#include "core/TextUnits.h"
#include "platform/language/LanguageTagging.h"
#include "platform/language/WordNetTagger.h"

#include <benchmark/benchmark.h>

#include <QStringList>

namespace {

// A journal-like paragraph of 150 words.
const QString kParagraph = QStringLiteral(
    "This morning I woke up early and felt a bit anxious about the meeting with my manager. "
    "The coffee helped, and the walk to the office along the river was calm and beautiful. "
    "The meeting itself went better than I expected: we agreed on the plan for the next quarter "
    "and she even thanked me for the report I wrote last week. After lunch I struggled to focus, "
    "my inbox was overflowing and two colleagues were out sick, so everything took longer. "
    "In the evening I called my sister, who is expecting her first baby in March. We laughed a lot "
    "and talked about names. I am grateful for her, and for the small things that went right today. "
    "Tomorrow I want to go to bed earlier, read a few pages, and not check my phone in the morning. "
    "Overall it was a good day, tiring but good.");

// Plain errands, full of what the sentiment tagger looks at twice: unlisted
// inflections of listed words, hyphenated compounds and initials.
const QString kErrands = QStringLiteral(
    "Cleaned the kitchen and washed my hands, then handed in the report at 9 a.m. "
    "Took the non-stop flight to L.A. with two co-workers; the duty-free shop had sugar-free gum "
    "and a few wines. Helped Sam move boxes into the self-storage unit on 5th St. and wrapped the "
    "gifts for Saturday. The survivors' charity sent thank-you cards. We were protecting the "
    "seedlings from the frost with an anti-frost fleece. Booked a follow-up appointment with "
    "Dr. Lee for the X-ray results. The not-for-profit on the corner runs a second-hand shop; "
    "bought a T-shirt and two mugs. Made a stress-free dinner of stir-fry and rice, loaded the "
    "dishwasher and went to bed at ten.");

QString entryOfLength(int characters, const QString &paragraph = kParagraph)
{
    QString text;
    while (text.size() < characters)
        text += paragraph + u' ';
    return text.left(characters);
}

// Data loads once, before any timing: the targets are for loaded data.
void warmUp()
{
    static const bool done = [] {
        zn::language::preloadLanguageData().waitForFinished();
        (void)zn::MoodAnalysis::scoreLexicon(kParagraph);
        (void)zn::MoodAnalysis::extractKeywords(kParagraph);
        return true;
    }();
    (void)done;
}

// Times `analyse` on an entry of `characters` characters (0: the paragraph).
template<typename Analyse>
void run(benchmark::State &state, int characters, Analyse analyse)
{
    warmUp();
    const QString text = characters > 0 ? entryOfLength(characters) : kParagraph;
    for (auto _ : state)
        benchmark::DoNotOptimize(analyse(text));
}

void BM_AnalyzeText150Words(benchmark::State &state)
{
    run(state, 0, [](const QString &t) { return zn::MoodAnalysis::analyzeText(t); });
}
BENCHMARK(BM_AnalyzeText150Words)->Unit(benchmark::kMicrosecond);

void BM_AnalyzeText15000Characters(benchmark::State &state)
{
    run(state, 15000, [](const QString &t) { return zn::MoodAnalysis::analyzeText(t); });
}
BENCHMARK(BM_AnalyzeText15000Characters)->Unit(benchmark::kMillisecond);

void BM_AnalyzeText15000CharactersOfErrands(benchmark::State &state)
{
    warmUp();
    const QString text = entryOfLength(15000, kErrands);
    for (auto _ : state)
        benchmark::DoNotOptimize(zn::MoodAnalysis::analyzeText(text));
}
BENCHMARK(BM_AnalyzeText15000CharactersOfErrands)->Unit(benchmark::kMillisecond);

void BM_SentimentScore15000Characters(benchmark::State &state)
{
    run(state, 15000, [](const QString &t) { return zn::MoodAnalysis::sentimentScore(t); });
}
BENCHMARK(BM_SentimentScore15000Characters)->Unit(benchmark::kMillisecond);

void BM_ExtractKeywords15000Characters(benchmark::State &state)
{
    run(state, 15000, [](const QString &t) { return zn::MoodAnalysis::extractKeywords(t); });
}
BENCHMARK(BM_ExtractKeywords15000Characters)->Unit(benchmark::kMillisecond);

void BM_ScoreLexicon15000Characters(benchmark::State &state)
{
    run(state, 15000, [](const QString &t) { return zn::MoodAnalysis::scoreLexicon(t); });
}
BENCHMARK(BM_ScoreLexicon15000Characters)->Unit(benchmark::kMillisecond);

// Hostile text: every path must stay linear in the length.
QString repeatedTo(const QString &piece, qsizetype units)
{
    QString text;
    while (text.size() < units)
        text += piece;
    text.truncate(units);
    return text;
}

void BM_SentimentScoreFlags80000Units(benchmark::State &state)
{
    warmUp();
    const QString text = repeatedTo(QStringLiteral("🇫🇷🇩🇪🇯🇵"), 80000);
    for (auto _ : state)
        benchmark::DoNotOptimize(zn::MoodAnalysis::sentimentScore(text));
}
BENCHMARK(BM_SentimentScoreFlags80000Units)->Unit(benchmark::kMillisecond);

void BM_SentimentScoreEmoji80000Units(benchmark::State &state)
{
    warmUp();
    const QString text = repeatedTo(QStringLiteral("😀👍🏽❤️👨‍👩‍👧"), 80000);
    for (auto _ : state)
        benchmark::DoNotOptimize(zn::MoodAnalysis::sentimentScore(text));
}
BENCHMARK(BM_SentimentScoreEmoji80000Units)->Unit(benchmark::kMillisecond);

void BM_ExtractKeywordsDecomposed1MUnits(benchmark::State &state)
{
    warmUp();
    const QString text = repeatedTo(QStringLiteral("cafe\u0301 na\u0308ive o\u0308 "), 1 << 20);
    for (auto _ : state)
        benchmark::DoNotOptimize(zn::MoodAnalysis::extractKeywords(text));
}
BENCHMARK(BM_ExtractKeywordsDecomposed1MUnits)->Unit(benchmark::kMillisecond);

const QString &thai()
{
    static const QString text = repeatedTo(QStringLiteral("วันนี้อากาศดีมากฉันไปเดินเล่นที่สวนสาธารณะ"), 1 << 20);
    return text;
}

void BM_GraphemeCountThai1MUnits(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(zn::text::graphemeCount(thai()));
}
BENCHMARK(BM_GraphemeCountThai1MUnits)->Unit(benchmark::kMillisecond);

void BM_EntryTitleThai1MUnits(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(zn::entryTitle(thai()));
}
BENCHMARK(BM_EntryTitleThai1MUnits)->Unit(benchmark::kMillisecond);

// Cold loads: a fresh WordNet tagger each time (the data folder is read anew).
void BM_WordNetLoad(benchmark::State &state)
{
    for (auto _ : state) {
        zn::language::WordNetTagger tagger;
        benchmark::DoNotOptimize(tagger.isLoaded());
    }
}
BENCHMARK(BM_WordNetLoad)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
