#include "core/MoodAnalysis.h"

#include "core/JournalEntry.h"
#include "core/TextUnits.h"
#include "core/WeatherLabel.h"
#include "platform/language/TextBoundaries.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <string>
#include <vector>

namespace zn {
inline namespace MoodAnalysis {
namespace {

constexpr double kStrongNegativeWeight = -0.65;
constexpr double kPositiveTurnWeight = 0.55;
constexpr double kNegatedPositiveTurnWeight = -0.40;
constexpr double kNegativeWordWeight = -0.32;
constexpr double kPositiveWordWeight = 0.28;
constexpr double kNegatedPositiveWordWeight = -0.35;
constexpr double kSelfSabotageWeight = -0.45;
constexpr int kNegationWindow = 28;

constexpr int kEntryKeywordLimit = 25;

QStringList words(std::initializer_list<const char *> list)
{
    QStringList out;
    out.reserve(qsizetype(list.size()));
    for (const char *w : list)
        out.append(QString::fromUtf8(w));
    return out;
}

// Each entry with its space-padded form, built once.
struct Table {
    QStringList bare;
    QStringList padded;

    explicit Table(QStringList entries)
        : bare(std::move(entries))
    {
        for (const auto &e : bare)
            padded.append(u' ' + e + u' ');
    }
};

// Finds every phrase of a fixed list in one pass over a text (Aho-Corasick).
// Phrases use only a-z, space, apostrophe and hyphen; every other character
// is one "other" symbol that no phrase contains.
class PhraseMatcher
{
public:
    explicit PhraseMatcher(const QStringList &phrases)
        : m_count(int(phrases.size()))
    {
        m_next.emplace_back();
        m_next.back().fill(-1);
        m_out.emplace_back();
        for (int id = 0; id < m_count; ++id) {
            int state = 0;
            for (QChar c : phrases.at(id)) {
                const int sym = symbolOf(c.unicode());
                Q_ASSERT(sym != kOther);
                if (m_next[size_t(state)][size_t(sym)] < 0) {
                    m_next[size_t(state)][size_t(sym)] = int(m_next.size());
                    m_next.emplace_back();
                    m_next.back().fill(-1);
                    m_out.emplace_back();
                }
                state = m_next[size_t(state)][size_t(sym)];
            }
            m_out[size_t(state)].push_back(id);
        }
        // Breadth-first: fill missing moves through the failure links and
        // inherit the failure state's phrases.
        std::vector<int> fail(m_next.size(), 0);
        std::vector<int> queue;
        for (int sym = 0; sym < kSymbols; ++sym) {
            int &to = m_next[0][size_t(sym)];
            if (to < 0) {
                to = 0;
            } else {
                fail[size_t(to)] = 0;
                queue.push_back(to);
            }
        }
        for (size_t head = 0; head < queue.size(); ++head) {
            const int state = queue[head];
            for (int id : m_out[size_t(fail[size_t(state)])])
                m_out[size_t(state)].push_back(id);
            for (int sym = 0; sym < kSymbols; ++sym) {
                int &to = m_next[size_t(state)][size_t(sym)];
                const int viaFail = m_next[size_t(fail[size_t(state)])][size_t(sym)];
                if (to < 0) {
                    to = viaFail;
                } else {
                    fail[size_t(to)] = viaFail;
                    queue.push_back(to);
                }
            }
        }
    }

    // found[id] becomes true for every phrase that occurs in the text.
    void scan(QStringView text, std::vector<bool> &found) const
    {
        found.assign(size_t(m_count), false);
        const auto *next = m_next.data();
        int state = 0;
        for (QChar c : text) {
            state = next[state][size_t(symbolOf(c.unicode()))];
            if (!m_out[size_t(state)].empty()) {
                for (int id : m_out[size_t(state)])
                    found[size_t(id)] = true;
            }
        }
    }

private:
    static constexpr int kOther = 29;
    static constexpr int kSymbols = 30;

    static int symbolOf(char16_t c)
    {
        static const std::array<quint8, 128> table = [] {
            std::array<quint8, 128> t{};
            t.fill(kOther);
            for (char16_t ch = u'a'; ch <= u'z'; ++ch)
                t[ch] = quint8(ch - u'a');
            t[u' '] = 26;
            t[u'\''] = 27;
            t[u'-'] = 28;
            return t;
        }();
        return c < 128 ? table[c] : kOther;
    }

    int m_count;
    std::vector<std::array<int, kSymbols>> m_next;
    std::vector<std::vector<int>> m_out;
};

struct Lexicon {
    Table strongNegative{words({"self-sabotag", "self sabotag", "feel pretty bad", "feel bad", "feel awful",
                                "feel terrible", "feel hopeless", "hate myself", "can't go on", "cannot go on",
                                "want to die", "end it all", "nothing brings me joy", "everything is falling apart",
                                "i'm a failure", "i am a failure", "ruined everything", "not good", "isn't good",
                                "is not good", "feel stuck", "feeling stuck", "trapped by"})};
    Table positiveTurn{words({"looking up", "things are looking up", "things looking up", "overjoyed", "so happy",
                              "really happy", "feeling great", "feel great", "feeling good", "feel good",
                              "going well", "going much better", "much better", "getting better", "feeling better",
                              "feel better", "turned a corner", "on the upswing", "on the up", "bright side",
                              "great day", "good day", "wonderful day", "amazing day", "best day", "full of hope",
                              "really hopeful", "cautiously optimistic", "feeling optimistic", "things are good",
                              "things are better"})};
    Table negativeWords{words({"bad", "worse", "worst", "sad", "sadness", "depressed", "depression", "anxious",
                               "anxiety", "afraid", "scared", "terrified", "angry", "furious", "lonely", "alone",
                               "hopeless", "helpless", "worthless", "empty", "numb", "cry", "cried", "crying",
                               "tears", "mistake", "mistakes", "failed", "failure", "failing", "regret", "guilty",
                               "shame", "ashamed", "miserable", "exhausted", "burned", "overwhelmed", "stressed",
                               "panic", "hurt", "pain", "grief", "grieving", "lost", "broken", "dark", "dread",
                               "sabotaging", "sabotage", "sabotages", "awful", "terrible", "horrible",
                               "devastated", "frustration", "frustrated", "stuck", "obstacles", "struggle",
                               "struggling"})};
    Table positiveWords{words({"happy", "happiness", "joy", "joyful", "grateful", "gratitude", "thankful",
                               "excited", "exciting", "wonderful", "amazing", "proud", "peaceful", "peace", "calm",
                               "hopeful", "relieved", "relief", "blessed", "content", "delighted", "cheerful",
                               "optimistic", "better", "best", "love", "loved", "overjoyed", "thrilled", "glad",
                               "upbeat", "encouraged", "promising", "progress", "improving", "improved",
                               "brighter", "lighter", "good", "great"})};
    Table selfSabotage{words({"wish i could stop", "wish i could do more to stop", "want to stop self",
                              "want to stop sabotag", "could stop self", "stop self sabotag", "stop sabotag",
                              "keep self sabotag", "keep sabotag", "been self sabotag", "self sabotag"})};
    // All phrases: strong negatives, then positive turns, then self-sabotage.
    PhraseMatcher phrases{strongNegative.bare + positiveTurn.bare + selfSabotage.bare};
    // Negative words as 0…60, positive words as 61…100.
    QHash<QStringView, int> wordIndex = [this] {
        QHash<QStringView, int> index;
        int i = 0;
        for (const QString &w : negativeWords.bare)
            index.insert(w, i++);
        for (const QString &w : positiveWords.bare)
            index.insert(w, i++);
        return index;
    }();
};

const Lexicon &lexicon()
{
    static const Lexicon lex;
    return lex;
}

const QSet<QString> &stopWords()
{
    static const QSet<QString> set = [] {
        const QStringList list = words(
            {"the", "and", "a", "an", "is", "are", "was", "were", "be", "been", "being", "to", "of", "in", "for",
             "on", "with", "at", "by", "from", "as", "into", "through", "during", "before", "after", "above",
             "below", "between", "under", "again", "further", "then", "once", "here", "there", "when", "where",
             "why", "how", "all", "each", "few", "more", "most", "other", "some", "such", "no", "nor", "not",
             "only", "own", "same", "so", "than", "too", "very", "just", "now", "also", "can", "will", "would",
             "could", "should", "may", "might", "must", "shall", "about", "any", "but", "because", "did", "do",
             "does", "doing", "down", "had", "has", "have", "having", "he", "her", "hers", "herself", "him",
             "himself", "his", "i", "if", "it", "its", "itself", "me", "my", "myself", "off", "or", "our", "ours",
             "ourselves", "out", "over", "she", "that", "their", "theirs", "them", "themselves", "these", "they",
             "this", "those", "until", "up", "we", "what", "which", "while", "who", "whom", "you", "your", "yours",
             "yourself", "yourselves", "thing", "things", "stuff", "got", "get", "getting", "went", "going", "go",
             "nice", "day", "time", "way", "much", "many"});
        return QSet<QString>(list.begin(), list.end());
    }();
    return set;
}

const QStringList &fillers()
{
    static const QStringList list = words({"like", "just", "really", "very", "quite", "pretty", "actually"});
    return list;
}

// Code units below U+0300 other than CR are whole characters on their own:
// no combining marks, surrogates, jamo or CR LF pairs among them.
bool isSimpleText(QStringView text)
{
    for (QChar c : text) {
        if (c.unicode() >= 0x300 || c == u'\r')
            return false;
    }
    return true;
}

struct LexiconTexts {
    QString apostrophe; // lower-cased, typographic single quotes made ASCII
    QString normalised; // letters, marks, digits, spaces and apostrophes only
    QString padded;     // the normalised text between two spaces
};

bool keepsInNormalisedText(char32_t c)
{
    return c == u' ' || c == u'\'' || text::isAlphanumeric(c);
}

LexiconTexts lexiconTexts(const QString &text)
{
    LexiconTexts t;
    // Canonically equivalent spellings must match alike.
    t.apostrophe = language::lowerCased(isSimpleText(text) ? text : language::composed(text));
    t.apostrophe.replace(QChar(0x2019), u'\'');
    t.apostrophe.replace(QChar(0x2018), u'\'');

    const QString &src = t.apostrophe;
    // The padded text is built directly; the normalised text is its middle.
    QString padded(src.size() + 2, Qt::Uninitialized);
    char16_t *const begin = reinterpret_cast<char16_t *>(padded.data());
    char16_t *d = begin;
    *d++ = u' ';
    bool lastWasSpace = false; // the padding space does not merge with the text
    const auto space = [&] {
        if (!lastWasSpace)
            *d++ = u' ';
        lastWasSpace = true;
    };
    const qsizetype n = src.size();
    const char16_t *s = reinterpret_cast<const char16_t *>(src.constData());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = s[i];
        if (c < 0x80) {
            // ASCII: letters, digits and the apostrophe stay; the rest is space.
            if ((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'\'' || (c >= u'A' && c <= u'Z')) {
                *d++ = c;
                lastWasSpace = false;
            } else {
                space();
            }
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(s[i + 1])) {
            if (keepsInNormalisedText(QChar::surrogateToUcs4(c, s[i + 1]))) {
                *d++ = c;
                *d++ = s[i + 1];
                lastWasSpace = false;
            } else {
                space();
            }
            ++i;
            continue;
        }
        // Lone surrogates are not characters and become spaces too.
        if (!QChar::isSurrogate(c) && keepsInNormalisedText(c)) {
            *d++ = c;
            lastWasSpace = false;
        } else {
            space();
        }
    }
    const qsizetype normalisedLength = (d - begin) - 1;
    *d++ = u' ';
    padded.resize(d - begin);
    t.normalised = padded.mid(1, normalisedLength);
    t.padded = std::move(padded);
    return t;
}

// The last `count` characters of text.left(end), without segmenting all of
// a long text for each window.
QString windowBefore(const QString &text, qsizetype end, int count)
{
    // The character before the window must be simple too, or it might join
    // the window's first character (a prepended sign).
    const qsizetype from = std::max<qsizetype>(0, end - count);
    const qsizetype checkFrom = std::max<qsizetype>(0, from - 1);
    if (isSimpleText(QStringView(text).mid(checkFrom, end - checkFrom)))
        return text.mid(from, end - from);
    qsizetype span = 256;
    while (true) {
        const qsizetype tailFrom = std::max<qsizetype>(0, end - span);
        const QString tail = text.mid(tailFrom, end - tailFrom);
        // Boundaries between letters, marks, digits and spaces depend only on
        // the two characters around them, so once the tail holds one more
        // cluster than needed (its first may be cut), the last ones are exact.
        if (tailFrom == 0 || text::graphemeCount(tail) > count)
            return text::graphemeSuffix(tail, count);
        span *= 4;
    }
}

std::optional<double> parseTag(const std::optional<QString> &raw)
{
    if (!raw || raw->isEmpty())
        return std::nullopt;
    // The whole tag must be the number: no spaces, no trailing text.
    std::array<char, 64> ascii{};
    if (raw->size() >= qsizetype(ascii.size()))
        return std::nullopt;
    qsizetype n = 0;
    for (QChar c : *raw) {
        if (c.unicode() > 0x7f)
            return std::nullopt;
        ascii[size_t(n++)] = char(c.unicode());
    }
    const char *begin = ascii.data();
    const char *end = begin + n;
    if (*begin == '+' && n > 1 && begin[1] != '-' && begin[1] != '+')
        ++begin;
    double value = 0.0;
    const auto result = std::from_chars(begin, end, value);
    if (result.ec != std::errc() || result.ptr != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

struct CharacterStats {
    int count = 0;
    int numeric = 0;
};

CharacterStats characterStats(const QString &word)
{
    CharacterStats stats;
    if (isSimpleText(word)) {
        stats.count = int(word.size());
        for (QChar c : word) {
            if (c.isNumber())
                ++stats.numeric;
        }
        return stats;
    }
    for (const QString &g : text::graphemes(word)) {
        ++stats.count;
        if (language::isNumericCharacter(g))
            ++stats.numeric;
    }
    return stats;
}

std::u32string scalarKey(const QString &word)
{
    std::u32string key;
    if (isSimpleText(word)) {
        key.reserve(size_t(word.size()));
        for (QChar c : word)
            key.push_back(c.unicode());
        return key;
    }
    const QString nfc = language::composed(word);
    key.reserve(size_t(nfc.size()));
    for (char32_t c : nfc.toUcs4())
        key.push_back(c);
    return key;
}

} // namespace

double sentimentScore(const QString &text, const std::optional<QLocale> &locale)
{
    const QString trimmed = text::trimmed(text);
    if (trimmed.isEmpty())
        return 0.0;

    const language::Tagger tagger = makeTagger(trimmed, locale, {language::TagScheme::SentimentScore});
    const language::SentimentTags tags = tagger.sentimentTags();

    std::vector<double> values;
    if (const auto p = parseTag(tags.firstParagraph))
        values.push_back(*p);
    if (const auto d = parseTag(tags.document))
        values.push_back(*d);
    std::vector<double> sentences;
    for (const QString &raw : tags.sentences) {
        if (const auto s = parseTag(raw))
            sentences.push_back(*s);
    }
    if (!sentences.empty()) {
        double sum = 0.0;
        for (double s : sentences)
            sum += s;
        values.push_back(sum / double(sentences.size()));
        values.push_back(*std::min_element(sentences.begin(), sentences.end()));
    }
    double taggerScore = 0.0;
    if (!values.empty()) {
        double sum = 0.0;
        for (double v : values)
            sum += v;
        taggerScore = sum / double(values.size());
    }
    // A tagger giving absurd magnitudes must not turn the mood into NaN.
    if (std::isnan(taggerScore))
        taggerScore = 0.0;

    const LexiconSignal signal = scoreLexicon(trimmed);
    const double blended = blendLexicon(signal.strongNegative, signal.positiveTurn, taggerScore, signal.score);
    if (std::isnan(blended))
        return 0.0;
    return std::clamp(blended, -1.0, 1.0);
}

language::Tagger makeTagger(const QString &text, const std::optional<QLocale> &locale,
                            const QList<language::TagScheme> &schemes)
{
    language::Tagger tagger(schemes);
    QString lang;
    if (locale && locale->language() != QLocale::C && locale->language() != QLocale::AnyLanguage)
        lang = QLocale::languageToCode(locale->language());
    if (lang.isEmpty()) {
        // sentimentScore and extractKeywords of one text ask in turn; the
        // second asks this thread's memo.
        struct Memo {
            std::shared_ptr<const language::LanguageRecognizer> recognizer;
            QString text;
            std::optional<QString> language;
        };
        thread_local Memo memo;
        auto recognizer = language::languageRecognizer();
        if (memo.recognizer != recognizer || memo.text != text) {
            memo.language = recognizer->dominantLanguage(text);
            memo.recognizer = std::move(recognizer);
            memo.text = text;
        }
        lang = memo.language.value_or(QString());
    }
    if (lang.isEmpty())
        lang = QStringLiteral("en");
    tagger.setString(text);
    tagger.setLanguage(lang);
    return tagger;
}

LexiconSignal scoreLexicon(const QString &text)
{
    const Lexicon &lex = lexicon();
    const LexiconTexts t = lexiconTexts(text);

    double sum = 0.0;
    int negativeHits = 0;
    int positiveHits = 0;
    bool strongNegative = false;
    bool positiveTurn = false;

    std::vector<bool> inApostrophe;
    std::vector<bool> inNormalised;
    lex.phrases.scan(t.apostrophe, inApostrophe);
    lex.phrases.scan(t.normalised, inNormalised);
    const size_t turnBase = size_t(lex.strongNegative.bare.size());
    const size_t sabotageBase = turnBase + size_t(lex.positiveTurn.bare.size());

    for (size_t i = 0; i < turnBase; ++i) {
        if (inApostrophe[i] || inNormalised[i]) {
            ++negativeHits;
            sum += kStrongNegativeWeight;
            strongNegative = true;
        }
    }

    for (qsizetype i = 0; i < lex.positiveTurn.bare.size(); ++i) {
        const QString &phrase = lex.positiveTurn.bare.at(i);
        if (!inNormalised[turnBase + size_t(i)] && !inApostrophe[turnBase + size_t(i)])
            continue;
        std::optional<QString> window;
        const qsizetype inPadded = t.padded.indexOf(lex.positiveTurn.padded.at(i));
        if (inPadded >= 0) {
            window = windowBefore(t.padded, inPadded, kNegationWindow);
        } else {
            const qsizetype inNormalised = t.normalised.indexOf(phrase);
            if (inNormalised >= 0)
                window = windowBefore(t.normalised, inNormalised, kNegationWindow);
        }
        if (window && isNegated(*window)) {
            ++negativeHits;
            sum += kNegatedPositiveTurnWeight;
        } else {
            ++positiveHits;
            sum += kPositiveTurnWeight;
            positiveTurn = true;
        }
    }

    // " word " occurs in the padded text exactly where a space-separated
    // word of the normalised text equals it; one pass over the words finds
    // each table word's first place instead of a search per table entry.
    const qsizetype negativeCount = lex.negativeWords.bare.size();
    std::vector<qsizetype> firstAt(size_t(negativeCount + lex.positiveWords.bare.size()), -1);
    {
        const QStringView n(t.normalised);
        qsizetype i = 0;
        while (i < n.size()) {
            if (n.at(i) == u' ') {
                ++i;
                continue;
            }
            const qsizetype start = i;
            while (i < n.size() && n.at(i) != u' ')
                ++i;
            const auto found = lex.wordIndex.constFind(n.mid(start, i - start));
            if (found != lex.wordIndex.constEnd() && firstAt[size_t(*found)] < 0)
                firstAt[size_t(*found)] = start; // " word " starts here in the padded text
        }
    }

    for (qsizetype w = 0; w < negativeCount; ++w) {
        if (firstAt[size_t(w)] >= 0) {
            ++negativeHits;
            sum += kNegativeWordWeight;
        }
    }

    for (qsizetype w = 0; w < lex.positiveWords.bare.size(); ++w) {
        const qsizetype at = firstAt[size_t(negativeCount + w)];
        if (at < 0)
            continue;
        if (isNegated(windowBefore(t.padded, at, kNegationWindow))) {
            ++negativeHits;
            sum += kNegatedPositiveWordWeight;
        } else {
            ++positiveHits;
            sum += kPositiveWordWeight;
        }
    }

    for (size_t i = sabotageBase; i < sabotageBase + size_t(lex.selfSabotage.bare.size()); ++i) {
        if (inNormalised[i]) {
            ++negativeHits;
            sum += kSelfSabotageWeight;
            strongNegative = true;
            positiveTurn = false;
            break;
        }
    }

    const int total = negativeHits + positiveHits;
    if (total == 0)
        return {};
    double score = std::clamp(sum / std::sqrt(double(total)), -1.0, 1.0);
    if (negativeHits > positiveHits && score > -0.15)
        score = -0.25;
    if (strongNegative && score > -0.35)
        score = -0.35;
    if (!strongNegative && positiveHits > negativeHits && score < 0.15)
        score = 0.25;
    const bool turn = positiveTurn && !strongNegative;
    if (turn && score <= 0.4)
        score = 0.4;
    return {score, strongNegative, turn};
}

bool isNegated(const QString &window)
{
    QString w = window;
    if (!w.isEmpty() && !w.startsWith(u' '))
        w.prepend(u' ');
    return w.contains(QLatin1String(" not ")) || w.endsWith(QLatin1String(" not"))
        || w.contains(QLatin1String(" never ")) || w.endsWith(QLatin1String(" never"))
        || w.contains(QLatin1String(" no ")) || w.contains(QLatin1String("n't "))
        || w.endsWith(QLatin1String("n't")) || w.contains(QLatin1String(" cannot "))
        || w.contains(QLatin1String(" can't ")) || w.contains(QLatin1String(" isn't "))
        || w.contains(QLatin1String(" aren't ")) || w.contains(QLatin1String(" wasn't "))
        || w.contains(QLatin1String(" weren't "));
}

double blendLexicon(bool strongNegative, bool positiveTurn, double taggerScore, double lexiconScore)
{
    const double t = taggerScore;
    const double l = lexiconScore;
    if (strongNegative)
        return std::min(0.15 * t + 0.85 * l, -0.25);
    if (positiveTurn)
        return std::max(0.2 * t + 0.8 * l, 0.35);
    if (l == 0.0)
        return t;
    if (l <= -0.25 && t >= 0.0)
        return 0.15 * t + 0.85 * l;
    if (l >= 0.25 && t <= -0.4)
        return std::max(0.2 * t + 0.8 * l, 0.3);
    if (l >= 0.25 && t <= 0.0)
        return 0.2 * t + 0.8 * l;
    return 0.55 * t + 0.45 * l;
}

KeywordFrequencies extractKeywords(const QString &text, const std::optional<QLocale> &locale, int limit)
{
    const QString trimmed = text::trimmed(text);
    if (trimmed.isEmpty() || limit <= 0)
        return {};

    const language::Tagger tagger =
        makeTagger(trimmed, locale, {language::TagScheme::LexicalClass, language::TagScheme::Lemma});
    const std::vector<language::WordToken> tokens = tagger.wordTokens();

    const QSet<QString> &stops = stopWords();
    const QStringList &fill = fillers();
    QHash<QString, int> counts;
    for (const auto &token : tokens) {
        if (!token.lexicalClass)
            continue;
        switch (*token.lexicalClass) {
        case language::LexicalClass::Noun:
        case language::LexicalClass::Adjective:
        case language::LexicalClass::Adverb:
        case language::LexicalClass::OtherWord:
            break;
        default:
            continue;
        }
        if (token.length <= 0 || token.start < 0 || token.start + token.length > trimmed.size())
            continue;
        const QString candidate = language::lowerCased(token.lemma ? *token.lemma
                                                                   : trimmed.mid(token.start, token.length));
        const CharacterStats stats = characterStats(candidate);
        if (stats.count < 3)
            continue;
        if (stops.contains(candidate))
            continue;
        if (double(stats.numeric) / double(std::max(stats.count, 1)) > 0.6)
            continue;
        if (fill.contains(candidate))
            continue;
        ++counts[candidate];
    }

    // Text below U+0300 is already in NFC and has no surrogates, so its
    // UTF-16 order is its scalar order; only other words need scalar keys.
    struct Ranked {
        QString word;
        int count;
        std::u32string key;
    };
    std::vector<Ranked> ranked;
    ranked.reserve(size_t(counts.size()));
    bool allSimple = true;
    for (auto it = counts.constBegin(); it != counts.constEnd(); ++it) {
        ranked.push_back({it.key(), it.value(), {}});
        allSimple = allSimple && isSimpleText(it.key());
    }
    if (!allSimple) {
        for (auto &r : ranked)
            r.key = scalarKey(r.word);
    }
    const auto keep = std::min<size_t>(size_t(limit), ranked.size());
    std::partial_sort(ranked.begin(), ranked.begin() + qsizetype(keep), ranked.end(),
                      [allSimple](const Ranked &a, const Ranked &b) {
                          if (a.count != b.count)
                              return a.count > b.count;
                          return allSimple ? a.word < b.word : a.key < b.key;
                      });
    KeywordFrequencies result;
    for (size_t i = 0; i < keep; ++i)
        result.insert(ranked[i].word, ranked[i].count);
    return result;
}

double reconcileScores(const QString &text, double onDeviceScore, double modelScore)
{
    return reconcileScores(scoreLexicon(text), onDeviceScore, modelScore);
}

double reconcileScores(const LexiconSignal &l, double onDeviceScore, double modelScore)
{
    // A score that is not a number reads as the lowest one, as the
    // coordinator reads the model's.
    const auto sane = [](double x) { return std::isnan(x) ? -1.0 : std::clamp(x, -1.0, 1.0); };
    const double a = sane(onDeviceScore);
    const double b = sane(modelScore);
    if (l.strongNegative)
        return std::min(0.75 * a + 0.25 * b, -0.2);

    const double diff = std::abs(a - b);
    const bool signsDiffer = (a >= 0.0) != (b >= 0.0);
    const bool labelsDiffer = weatherLabelForScore(a) != weatherLabelForScore(b);
    if (diff >= 0.5 || (signsDiffer && diff >= 0.35) || (labelsDiffer && diff >= 0.45)) {
        double r = 0.35 * a + 0.65 * b;
        if (l.positiveTurn || l.score >= 0.3)
            r = std::max(r, 0.25 * a + 0.35 * b + 0.4 * l.score);
        if (b <= -0.35 && !l.positiveTurn && l.score < 0.15)
            r = std::min(r, 0.45 * a + 0.55 * b);
        return std::clamp(r, -1.0, 1.0);
    }
    if (std::abs(a) < 0.25 && std::abs(b) >= 0.25)
        return std::clamp(0.5 * a + 0.5 * b, -1.0, 1.0);
    if (std::abs(a) < 0.15 || std::abs(b) < 0.2)
        return a;
    return std::clamp(0.7 * a + 0.3 * b, -1.0, 1.0);
}

void applyEntryText(JournalEntry &entry, const QString &text)
{
    if (text::isBlank(text))
        return;
    applyEntryAnalysis(entry, analyzeEntryText(text));
}

EntryAnalysis analyzeEntryText(const QString &text)
{
    EntryAnalysis analysis;
    analysis.text = text::trimmed(text);
    if (analysis.text.isEmpty())
        return analysis;
    analysis.score = sentimentScore(analysis.text);
    analysis.keywords = extractKeywords(analysis.text, std::nullopt, kEntryKeywordLimit);
    return analysis;
}

void applyEntryAnalysis(JournalEntry &entry, const EntryAnalysis &analysis)
{
    if (analysis.text.isEmpty())
        return;
    entry.setRawText(analysis.text);
    entry.setSentimentScore(analysis.score);
    entry.setKeywordFrequencies(analysis.keywords);
    entry.setInsightText(std::nullopt);
    entry.setInsightGeneratedAt(std::nullopt);
    entry.setThemes({});
    entry.setInsightEmotionalTone(std::nullopt);
    entry.setInsightKeyPoints({});
    entry.setInsightOverallSentiment(std::nullopt);
    entry.setInsightClosingFocus(std::nullopt);
    entry.setInsightOverallScore(std::nullopt);
    entry.setInsightSchemaVersion(0);
    entry.setInsightStatusRaw(QStringLiteral("pending"));
    entry.setInsightFailureMessage(std::nullopt);
}

std::optional<LiveMood> analyzeText(const QString &text)
{
    const QString trimmed = text::trimmed(text);
    // A cluster has at least one code unit, so short strings need no count.
    if (trimmed.size() < kLiveMinimum)
        return std::nullopt;
    const int count = text::graphemeCount(trimmed);
    if (count < kLiveMinimum || count > kLiveMaximum)
        return std::nullopt;
    return LiveMood{sentimentScore(text), extractKeywords(text, std::nullopt, kEntryKeywordLimit)};
}

} // namespace MoodAnalysis
} // namespace zn
