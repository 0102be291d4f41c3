#include "core/EntryText.h"

#include "core/TextUnits.h"
#include "platform/language/TextBoundaries.h"

#include <algorithm>

namespace zn {
namespace {

const char *const kDisplayStopWords[] = {
        "everything", "something", "anything", "nothing", "today", "yesterday", "tomorrow", "part",
        "like", "just", "really", "very", "also", "even", "still", "much", "more", "most", "some",
        "thing", "things", "time", "times", "way", "ways", "lot", "lots", "kind", "sort", "feel",
        "feels", "feeling", "felt", "know", "think", "thought", "want", "need", "make", "made",
        "going", "gonna", "yeah", "okay", "ok", "well", "maybe", "actually", "probably", "pretty",
        "quite", "rather", "about", "around", "because", "before", "after", "while", "when",
        "where", "what", "which", "this", "that", "these", "those", "there", "here", "with",
        "from", "into", "onto", "over", "under", "than", "then", "them", "they", "have", "has",
        "had", "been", "being", "were", "was", "will", "would", "could", "should", "did", "does",
        "don't", "didn't", "isn't", "aren't", "wasn't", "weren't", "can't", "cannot", "won't",
        "i'm", "i've", "i'll", "you're", "we're", "they're", "it's", "that's", "there's", "here's",
        "and", "but", "or", "nor", "for", "the", "a", "an", "to", "of", "in", "on", "at", "by",
        "as", "if", "so", "up", "out", "off", "all", "any", "each", "few", "own", "same", "other",
        "such", "only", "too", "can", "now", "day", "days", "week", "weeks", "year", "years",
        "life", "people", "person", "someone", "everyone", "anyone", "entry", "journal"
};

bool isLineBreak(QChar c)
{
    switch (c.unicode()) {
    case 0x000A: case 0x000B: case 0x000C: case 0x000D:
    case 0x0085: case 0x2028: case 0x2029:
        return true;
    default:
        return false;
    }
}

bool isTerminator(QStringView grapheme)
{
    if (grapheme.size() != 1)
        return false;
    switch (grapheme.front().unicode()) {
    case u'.': case u'!': case u'?':
    case 0x3002: case 0xFF01: case 0xFF1F:
        return true;
    default:
        return false;
    }
}

// The first non-empty line of an already trimmed text.
QStringView firstLine(const QString &text)
{
    qsizetype start = 0;
    while (start < text.size() && isLineBreak(text.at(start)))
        ++start;
    qsizetype end = start;
    while (end < text.size() && !isLineBreak(text.at(end)))
        ++end;
    return QStringView(text).mid(start, end - start);
}

// End offsets (UTF-16) of the first `max` grapheme clusters; stops early so a
// megabyte-long line costs no more than its head.
QList<qsizetype> graphemeEnds(QStringView line, qint64 max)
{
    QList<qsizetype> ends;
    if (line.isEmpty() || max <= 0)
        return ends;
    language::TextBoundaries finder(language::TextBoundaries::Kind::Grapheme, line);
    qsizetype last = 0;
    while (ends.size() < max) {
        const qsizetype end = finder.next();
        if (end <= last)
            break;
        ends.append(end);
        last = end;
    }
    if (last < line.size() && ends.size() < max)
        ends.append(line.size());
    return ends;
}

bool isStopWord(const QString &word)
{
    return displayStopWords().contains(word.toLower());
}

} // namespace

const QSet<QString> &displayStopWords()
{
    static const QSet<QString> words = [] {
        QSet<QString> set;
        for (const char *word : kDisplayStopWords)
            set.insert(QString::fromLatin1(word));
        return set;
    }();
    return words;
}

QString entryTitle(const QString &text, int limit)
{
    const QString body = text::trimmed(text);
    if (body.isEmpty())
        return QStringLiteral("Untitled");
    const QStringView line = firstLine(body);
    const qint64 cap = std::max<qint64>(limit, 0);
    const qint64 sentenceMax = cap + 12;

    // Looking one cluster past both bounds is enough to decide every rule.
    const QList<qsizetype> ends = graphemeEnds(line, std::max(sentenceMax, cap + 1));

    qsizetype start = 0;
    for (qsizetype i = 0; i < ends.size(); ++i) {
        const qint64 position = i + 1;
        if (position > sentenceMax)
            break;
        if (isTerminator(line.mid(start, ends[i] - start))) {
            // Only the first terminator counts; one in the first eight
            // characters is an abbreviation or a one-word sentence.
            if (position >= 9)
                return text::trimmed(line.left(ends[i]).toString());
            break;
        }
        start = ends[i];
    }

    if (ends.size() > cap) {
        const qsizetype cutEnd = cap > 0 ? ends[cap - 1] : 0;
        qsizetype keep = cutEnd;
        // The last space that is a cluster of its own, after the first one.
        for (qint64 i = cap - 1; i >= 1; --i) {
            const qsizetype from = ends[i - 1];
            if (ends[i] - from == 1 && line.at(from) == u' ') {
                keep = from;
                break;
            }
        }
        return line.left(keep).toString() + QChar(0x2026);
    }
    return line.toString();
}

QStringList topKeywords(const KeywordFrequencies &frequencies)
{
    QList<std::pair<QString, int>> pairs;
    pairs.reserve(frequencies.size());
    for (auto it = frequencies.cbegin(); it != frequencies.cend(); ++it)
        pairs.append({it.key(), it.value()});
    std::sort(pairs.begin(), pairs.end(), [](const auto &a, const auto &b) {
        if (a.second != b.second)
            return a.second > b.second;
        return text::scalarLess(a.first, b.first);
    });
    QStringList words;
    for (qsizetype i = 0; i < pairs.size() && i < 8; ++i)
        words.append(pairs[i].first);
    return words;
}

QStringList topKeywords(const JournalEntry &entry)
{
    return topKeywords(entry.keywordFrequencies());
}

QStringList displayKeywords(const QStringList &themes, InsightStatus status,
                            const QStringList &keywords, int limit)
{
    QStringList chips;
    if (limit <= 0)
        return chips;
    if (status == InsightStatus::Ready) {
        for (const QString &theme : themes) {
            const QString label = text::trimmed(theme);
            if (label.isEmpty() || isStopWord(label))
                continue;
            chips.append(label);
            if (chips.size() == limit)
                break;
        }
        if (!chips.isEmpty())
            return chips;
    }
    for (const QString &keyword : keywords) {
        const QString word = text::trimmed(keyword);
        if (text::graphemeCount(word) < 4 || isStopWord(word))
            continue;
        chips.append(word);
        if (chips.size() == limit)
            break;
    }
    return chips;
}

} // namespace zn
