#include "platform/language/ValenceSentimentTagger.h"

#include "platform/base/SystemLog.h"
#include "platform/language/TextBoundaries.h"
#include "platform/language/WordNetTagger.h"

#include <QFile>
#include <QHash>
#include <QVarLengthArray>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <deque>
#include <optional>
#include <vector>

// Resources of a static library must be registered by hand.
static void initLexiconResource()
{
    Q_INIT_RESOURCE(language_lexicon);
}

namespace zn::language {
namespace {

constexpr double kBoost = 0.293;
constexpr double kCapsBoost = 0.733;
constexpr double kNegationScale = -0.74;
constexpr double kExclamationBoost = 0.292;
constexpr double kQuestionBoost = 0.18;
constexpr double kNormalisationAlpha = 15.0;
constexpr double kFailedToWork = -1.5;
constexpr double kLoneNegation = -0.6;
constexpr double kExcess = -1.0;
constexpr std::array<double, 3> kBoostDecay{1.0, 0.95, 0.9};

// What one word means to the scorer; one lookup gives all of it.
struct WordInfo {
    double valence = 0.0;
    double boost = 0.0; // intensifier (+) or softener (-)
    bool rated = false; // listed with a valence
    bool negator = false;
    // The word class the rating belongs to, where the data shows it: the
    // lexicon rates a spelling, so only a word WordNet lists under one class
    // has a known one ("calm" could be rated as the adjective or the verb,
    // "survivor" only as the noun).
    std::optional<LexicalClass> ratedClass;
};

// Keys are views of strings kept in `storage`, so lookups need no copies.
struct Lexicon {
    std::deque<QString> storage;
    QHash<QStringView, WordInfo> words;
    QHash<QStringView, double> emoji;
    int ratedWords = 0;
    // Word classes and base forms of the text's words, for inflected forms
    // the lexicon does not list.
    std::shared_ptr<const WordNetTagger> wordNet = WordNetTagger::shared();

    QStringView keep(const QString &s)
    {
        storage.push_back(s);
        return storage.back();
    }
};

QStringList wordList(const char *words)
{
    return QString::fromUtf8(words).split(u' ', Qt::SkipEmptyParts);
}

template<typename Insert>
void loadTable(const QString &path, Insert insert)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        systemLog(QStringLiteral("Zephyrnote: sentiment lexicon %1 could not be read").arg(path));
        return;
    }
    const QByteArray data = file.readAll();
    for (const QByteArray &line : data.split('\n')) {
        const qsizetype tab = line.indexOf('\t');
        if (tab <= 0)
            continue;
        bool ok = false;
        const double value = line.mid(tab + 1).trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(value))
            continue;
        insert(QString::fromUtf8(line.left(tab)), value);
    }
}

const Lexicon &lexicon()
{
    static const Lexicon lex = [] {
        initLexiconResource();
        Lexicon l;
        // The first rating of a repeated token wins.
        const auto rateWord = [&l](const QString &key, double value) {
            if (l.words.contains(QStringView(key)))
                return;
            WordInfo info;
            info.valence = value;
            info.rated = true;
            l.words.insert(l.keep(key), info);
            ++l.ratedWords;
        };
        loadTable(QStringLiteral(":/zn/lexicon/vader_lexicon.tsv"), rateWord);
        loadTable(QStringLiteral(":/zn/lexicon/zephyrnote_supplement.tsv"), rateWord);
        loadTable(QStringLiteral(":/zn/lexicon/emoji_sentiment.tsv"), [&l](const QString &key, double value) {
            if (!l.emoji.contains(QStringView(key)))
                l.emoji.insert(l.keep(key), value);
        });
        const auto entry = [&l](const QString &w) -> WordInfo & {
            auto it = l.words.find(QStringView(w));
            if (it == l.words.end())
                it = l.words.insert(l.keep(w), WordInfo{});
            return *it;
        };
        const auto up = wordList(
            "absolutely amazingly awfully completely considerably decidedly deeply enormously entirely "
            "especially exceptionally extremely fabulously flipping fricking frickin frigging fully greatly "
            "hella highly hugely incredibly intensely insanely majorly more most particularly purely quite "
            "pretty really remarkably seriously so substantially super thoroughly totally tremendously truly "
            "uber unbelievably unusually utterly very");
        // "pretty good": mostly an intensifier, rarely the adjective.
        const auto down = wordList("almost fairly kinda less little marginally occasionally partly slightly somewhat sorta");
        for (const auto &w : up)
            entry(w).boost = kBoost;
        for (const auto &w : down)
            entry(w).boost = -kBoost;
        for (const auto &w : wordList(
                 "not no never none nobody noone nothing neither nor nowhere cannot without hardly barely scarcely "
                 "rarely seldom dont doesnt didnt isnt arent wasnt werent cant couldnt shouldnt wouldnt wont "
                 "havent hasnt hadnt aint mustnt neednt darent mightnt shant"))
            entry(w).negator = true;
        for (auto it = l.words.begin(); it != l.words.end(); ++it) {
            if (!it->rated)
                continue;
            const QList<LexicalClass> classes = l.wordNet->lemmaClasses(it.key().toString());
            if (classes.size() == 1)
                it->ratedClass = classes.first();
        }
        return l;
    }();
    return lex;
}

struct Token {
    QStringView word;  // lower-case, ASCII apostrophes (a view of the sentence or of an emoji key)
    qsizetype start = -1; // where a word begins in the sentence
    bool caps = false; // written in capitals (two letters or more)
    bool isWord = true;
    bool compound = false; // hyphenated
    bool clauseEnd = false; // a colon, dash, clause-ending comma or the like follows
    bool comma = false;     // a comma follows; whether it ends the clause depends on what comes next
    // Looked up once per token:
    double rated = 0.0; // lexicon valence
    double boost = 0.0; // intensifier (+) or softener (-)
    bool negator = false;
    // A listed word this unlisted one may be an inflection of; it counts
    // only once the word's class and base form are known to agree.
    QStringView lemma;
    const WordInfo *lemmaInfo = nullptr;
};

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c.isMark() || c == u'\'';
}

// Joins the parts of a hyphenated compound ("non-violent", "duty-free").
constexpr QChar kHyphen = u'-';

// Typographic apostrophes and hyphens made ASCII, in one pass (the text is
// only detached when it has one).
void plainPunctuation(QString &text)
{
    const auto plain = [](QChar c) -> QChar {
        switch (c.unicode()) {
        case 0x2018: case 0x2019: return u'\'';
        case 0x2010: case 0x2011: return kHyphen;
        default: return c;
        }
    };
    const QChar *begin = text.constData();
    const QChar *end = begin + text.size();
    const QChar *at = std::find_if(begin, end, [&](QChar c) { return plain(c) != c; });
    if (at == end)
        return;
    for (QChar *c = text.data() + (at - begin), *stop = text.data() + text.size(); c != stop; ++c)
        *c = plain(*c);
}

bool isComma(QChar c)
{
    return c == u',' || c == QChar(0xFF0C) || c == QChar(0x3001);
}

// Punctuation that closes a clause, beyond which a negation does not reach.
bool endsClause(QChar c)
{
    switch (c.unicode()) {
    case u';': case u':': case u'!': case u'?': case u'(': case u')': case u'[': case u']':
    case 0x2013: case 0x2014: case 0x2026:
        return true;
    default:
        return false;
    }
}

bool mayBeEmoji(char32_t c)
{
    return c >= 0x1F000 || (c >= 0x2190 && c <= 0x2BFF) || c == 0x00A9 || c == 0x00AE || c == 0x3030
        || c == 0x303D || c == 0x3297 || c == 0x3299 || c == 0x203C || c == 0x2049;
}

// The emoji itself, without variation selectors and skin tones.
QString emojiKey(QStringView cluster)
{
    QString key;
    for (qsizetype i = 0; i < cluster.size(); ++i) {
        char32_t c = cluster.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < cluster.size() && cluster.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(cluster.at(i), cluster.at(i + 1));
            ++i;
        }
        if (c == 0xFE0F || c == 0xFE0E || (c >= 0x1F3FB && c <= 0x1F3FF))
            continue;
        key.append(QChar::fromUcs4(c));
    }
    return key;
}

// One sentence being tokenised: the text with ASCII apostrophes, its lower-
// cased form (same offsets when the lengths agree) and the strings that
// tokens not found in the lower-cased text point into.
struct SentenceText {
    QString text;
    QString lower;
    bool aligned = true;
    // Moving a QString keeps its characters in place, so views stay valid.
    std::vector<QString> emojiKeys;
};

void appendWord(SentenceText &s, qsizetype from, qsizetype to, std::vector<Token> &tokens, bool compound = false)
{
    // Leading and trailing apostrophes are quotes, not part of the word.
    while (from < to && s.text.at(from) == u'\'')
        ++from;
    while (to > from && s.text.at(to - 1) == u'\'')
        --to;
    if (from >= to)
        return;
    Token t;
    t.start = from;
    t.compound = compound;
    if (s.aligned) {
        int letters = 0, upper = 0;
        for (qsizetype i = from; i < to; ++i) {
            const QChar c = s.text.at(i);
            if (c.isLetter()) {
                ++letters;
                if (c.isUpper())
                    ++upper;
            }
        }
        t.caps = letters >= 2 && upper == letters;
        t.word = QStringView(s.lower).mid(from, to - from);
    } else {
        // Lower-casing changed lengths (rare letters): no caps, own copy.
        s.emojiKeys.push_back(s.text.mid(from, to - from).toLower());
        t.word = s.emojiKeys.back();
    }
    tokens.push_back(t);
}

// A whitespace-separated piece that is an emoticon the lexicon rates, such
// as ":)", ":D" or "<3": some symbol and at most two letters. Written case
// first (":P" and ":p" differ), then lower-case.
QStringView emoticonKey(const SentenceText &s, qsizetype from, qsizetype to, const Lexicon &lex)
{
    const QStringView piece = QStringView(s.text).mid(from, to - from);
    if (piece.size() < 2 || piece.size() > 8)
        return {};
    bool allWord = true;
    int letters = 0;
    for (QChar c : piece) {
        if (!isWordChar(c))
            allWord = false;
        else if (c.isLetter())
            ++letters;
    }
    if (allWord || letters > 2)
        return {};
    if (lex.words.value(piece).rated)
        return piece;
    if (s.aligned) {
        const QStringView low = QStringView(s.lower).mid(from, to - from);
        if (lex.words.value(low).rated)
            return low;
    }
    return {};
}

void tokenise(SentenceText &s, qsizetype from, qsizetype to, std::vector<Token> &tokens, const Lexicon &lex)
{
    // An emoticon may carry the sentence's or clause's punctuation (":),").
    qsizetype bare = to;
    while (bare - from > 2 && (s.text.at(bare - 1) == u',' || s.text.at(bare - 1) == u'.'))
        --bare;
    for (qsizetype end : {to, bare}) {
        if (const QStringView emoticon = emoticonKey(s, from, end, lex); !emoticon.isEmpty()) {
            Token t;
            t.word = emoticon;
            t.isWord = false;
            t.comma = end < to && s.text.at(end) == u',';
            tokens.push_back(t);
            return;
        }
        if (bare == to)
            break;
    }
    const QStringView piece = QStringView(s.text).mid(from, to - from);
    qsizetype i = from;
    // A dash standing alone between spaces separates clauses as well.
    const bool loneDash = piece.size() <= 2 && piece.count(u'-') == piece.size();
    if (loneDash && !tokens.empty())
        tokens.back().clauseEnd = true;
    // Grapheme boundaries of the piece, found once when the first emoji
    // shows up (a finder per emoji over the rest of the text was quadratic).
    std::optional<TextBoundaries> clusters;
    while (i < to) {
        const QChar c = s.text.at(i);
        if (isWordChar(c)) {
            // A hyphen between word characters keeps a compound one word.
            const qsizetype start = i;
            bool compound = false;
            while (i < to) {
                if (s.text.at(i) == kHyphen && i + 1 < to && isWordChar(s.text.at(i + 1)))
                    compound = true;
                else if (!isWordChar(s.text.at(i)))
                    break;
                ++i;
            }
            appendWord(s, start, i, tokens, compound);
            continue;
        }
        char32_t cp = c.unicode();
        if (c.isHighSurrogate() && i + 1 < to && s.text.at(i + 1).isLowSurrogate())
            cp = QChar::surrogateToUcs4(c, s.text.at(i + 1));
        if (!mayBeEmoji(cp)) {
            if (!tokens.empty()) {
                if (endsClause(c))
                    tokens.back().clauseEnd = true;
                else if (isComma(c))
                    tokens.back().comma = true;
            }
            ++i;
            continue;
        }
        // One emoji cluster (with its modifiers and joiners).
        if (!clusters)
            clusters.emplace(TextBoundaries::Kind::Grapheme, piece);
        const qsizetype end = clusters->following(i - from);
        const qsizetype len = end > i - from ? end - (i - from) : 1;
        QString key = emojiKey(QStringView(s.text).mid(i, len));
        if (lex.emoji.contains(QStringView(key))) {
            s.emojiKeys.push_back(std::move(key));
            Token t;
            t.word = s.emojiKeys.back();
            t.isWord = false;
            tokens.push_back(t);
        }
        i += len;
    }
}

bool isAny(QStringView word, std::initializer_list<const char *> words)
{
    for (const char *w : words) {
        if (word == QLatin1String(w))
            return true;
    }
    return false;
}

bool isSingleLetter(QStringView w)
{
    return w.size() == 1 && w.at(0).isLetter();
}

// Prefixes that negate or oppose what follows them in a compound.
bool isNegatingPrefix(QStringView part)
{
    return isAny(part, {"non", "un", "dis", "anti", "counter", "not", "no"});
}

// The valence of a hyphenated compound the lexicon does not list, from its
// parts.
double compoundValence(QStringView compound, const Lexicon &lex)
{
    const qsizetype firstHyphen = compound.indexOf(kHyphen);
    const qsizetype lastHyphen = compound.lastIndexOf(kHyphen);
    if (firstHyphen > 0 && lastHyphen + 1 < compound.size()) {
        if (isNegatingPrefix(compound.left(firstHyphen))) {
            // Where WordNet knows the compound as the opposite of something
            // ("non-violent", "non-toxic"), it turns its root around as "not"
            // would. Otherwise it names a thing of its own, and its root
            // counts for nothing: "non-stop", "a not-for-profit",
            // "anti-terrorism laws".
            QString written = compound.toString();
            const bool opposite = lex.wordNet->hasAntonym(written) || lex.wordNet->hasAntonym(written.remove(kHyphen));
            return opposite ? compoundValence(compound.mid(firstHyphen + 1), lex) * kNegationScale : 0.0;
        }
        // "X-free" is without X: like the lexicon's -less words ("painless",
        // "joyless"), it turns X around, and "free" adds nothing of its own
        // ("duty-free", "sugar-free").
        if (compound.mid(lastHyphen + 1) == QLatin1String("free"))
            return compoundValence(compound.left(lastHyphen), lex) * kNegationScale;
    }
    // Otherwise the parts' valences, as one word ("bad-tempered",
    // "super-quick"); single letters take none ("X-ray", "U-turn").
    double sum = 0.0, boost = 0.0;
    for (QStringView part : compound.tokenize(kHyphen, Qt::SkipEmptyParts)) {
        if (isSingleLetter(part))
            continue;
        const auto it = lex.words.constFind(part);
        if (it == lex.words.constEnd())
            continue;
        if (it->boost != 0.0)
            boost += it->boost;
        else if (it->rated)
            sum += it->valence;
    }
    if (sum != 0.0)
        sum += sum > 0 ? boost : -boost;
    return sum;
}

// Fills in what the lexicon says of the token.
void describe(Token &t, const Lexicon &lex)
{
    if (!t.isWord) {
        const auto e = lex.emoji.constFind(t.word);
        if (e != lex.emoji.constEnd()) {
            t.rated = *e;
            return;
        }
    }
    const QStringView w = t.word;
    // A single letter is an initial or a label ("L.A.", "plan B"), never
    // the word the lexicon may rate under that spelling.
    if (t.isWord && isSingleLetter(w))
        return;
    if (t.isWord)
        t.negator = w.endsWith(QLatin1String("n't"));
    auto it = lex.words.constFind(w);
    // A hyphenated compound is one word: listed as written or run together
    // ("sub-par", "over-priced"), else made up from its parts.
    if (it == lex.words.constEnd() && t.compound) {
        QVarLengthArray<QChar, 64> joined;
        for (QChar c : w) {
            if (c != kHyphen)
                joined.append(c);
        }
        it = lex.words.constFind(QStringView(joined.constData(), joined.size()));
        if (it == lex.words.constEnd()) {
            t.rated = compoundValence(w, lex);
            return;
        }
    }
    if (it != lex.words.constEnd()) {
        if (t.isWord) {
            t.boost = it->boost;
            t.negator = t.negator || it->negator;
        }
        if (it->rated) {
            t.rated = it->valence;
            return;
        }
    }
    // An inflected form the list does not carry ("survivors") may take the
    // valence of the listed word it comes from; resolveInflections decides.
    if (!t.isWord || t.compound || w.size() < 5 || w.size() > 60)
        return;
    static const std::array<std::pair<QLatin1String, QLatin1String>, 8> kEndings{{
        {QLatin1String("ies"), QLatin1String("y")}, {QLatin1String("es"), QLatin1String("")},
        {QLatin1String("s"), QLatin1String("")}, {QLatin1String("ied"), QLatin1String("y")},
        {QLatin1String("ed"), QLatin1String("")}, {QLatin1String("ed"), QLatin1String("e")},
        {QLatin1String("ing"), QLatin1String("")}, {QLatin1String("ing"), QLatin1String("e")},
    }};
    std::array<QChar, 64> stem{};
    for (const auto &[ending, replacement] : kEndings) {
        if (!w.endsWith(ending))
            continue;
        const qsizetype base = w.size() - ending.size();
        std::copy(w.begin(), w.begin() + base, stem.begin());
        for (qsizetype k = 0; k < replacement.size(); ++k)
            stem[size_t(base + k)] = QLatin1Char(replacement.at(k));
        const auto s = lex.words.constFind(QStringView(stem.data(), base + replacement.size()));
        // Only a word whose rating has a known class can carry it.
        if (s != lex.words.constEnd() && s->rated && s->ratedClass) {
            t.lemma = s.key();
            t.lemmaInfo = &*s;
            return;
        }
    }
}

// An inflected form takes its listed word's valence only where the
// inflection keeps that word's sense: the word tagger must class it as the
// listed word is rated, and its only base form in that class must be the
// listed word. So an adjective's rating stays off a verb or a plural noun of
// the same spelling, and "wines" is never "win".
void resolveInflections(std::vector<Token> &tokens, const QString &sentence, const Lexicon &lex)
{
    const WordNetTagger &wordNet = *lex.wordNet;
    std::vector<Token *> undecided; // forms WordNet reads in other classes as well
    for (Token &t : tokens) {
        if (!t.lemmaInfo)
            continue;
        const QString word = t.word.toString();
        const LexicalClass cls = *t.lemmaInfo->ratedClass;
        if (wordNet.soleBaseForm(word, cls) != t.lemma)
            continue;
        if (wordNet.formClasses(word).size() == 1)
            t.rated = t.lemmaInfo->valence;
        else
            undecided.push_back(&t);
    }
    if (undecided.empty())
        return;
    // The tagger decides from the words before; what follows the last
    // undecided word does not matter.
    const Token &last = *undecided.back();
    const std::vector<WordToken> tagged = wordNet.tag(sentence.left(last.start + last.word.size()), QStringLiteral("en"));
    for (Token *t : undecided) {
        const auto at = std::find_if(tagged.begin(), tagged.end(), [&](const WordToken &w) { return w.start == t->start; });
        if (at != tagged.end() && at->lexicalClass == *t->lemmaInfo->ratedClass)
            t->rated = t->lemmaInfo->valence;
    }
}

bool isWorkWord(QStringView w)
{
    return w == QLatin1String("work") || w == QLatin1String("works") || w == QLatin1String("worked")
        || w == QLatin1String("working");
}

// How many earlier tokens a negation may reach back from token i: up to
// three, not across a clause break.
size_t scopeBack(const std::vector<Token> &tokens, size_t i)
{
    size_t j = 0;
    while (j < 3 && j < i && !tokens[i - j - 1].clauseEnd)
        ++j;
    return j;
}

bool negatedWithin(const std::vector<Token> &tokens, size_t i)
{
    for (size_t j = 1; j <= scopeBack(tokens, i); ++j) {
        if (tokens[i - j].negator)
            return true;
    }
    return false;
}

// Whether a rated word follows negator i within its clause. Emoticons and
// emoji speak for the writer, not for the negated phrase, and another
// negation word is no object to negate.
bool ratedWordAfter(const std::vector<Token> &tokens, size_t i)
{
    for (size_t k = i; k < tokens.size() && k <= i + 3; ++k) {
        if (k > i) {
            const Token &t = tokens[k];
            if (t.isWord && !t.negator && t.boost == 0.0 && (t.rated != 0.0 || isWorkWord(t.word)))
                return true;
        }
        if (tokens[k].clauseEnd)
            break;
    }
    return false;
}

// Valence of a word the lexicon leaves unrated: "didn't work" is a failure,
// and a negation with nothing rated after it ("don't buy it", "never
// again") leans negative.
double unratedValence(const std::vector<Token> &tokens, size_t i)
{
    if (isWorkWord(tokens[i].word) && negatedWithin(tokens, i))
        return kFailedToWork;
    if (!tokens[i].negator || ratedWordAfter(tokens, i))
        return 0.0;
    return kLoneNegation;
}

QStringView wordAt(const std::vector<Token> &tokens, qsizetype i)
{
    return i >= 0 && size_t(i) < tokens.size() ? tokens[size_t(i)].word : QStringView();
}

// A comma ends a clause after a negation word standing alone ("No, it is
// great") or before what opens a new clause ("not cheap, but good"); between
// two modifiers ("without any real, lasting change") the negation goes on.
void resolveCommas(std::vector<Token> &tokens)
{
    for (size_t k = 0; k < tokens.size(); ++k) {
        Token &t = tokens[k];
        if (!t.comma || t.clauseEnd)
            continue;
        const Token *next = k + 1 < tokens.size() ? &tokens[k + 1] : nullptr;
        t.clauseEnd = t.negator || !next || !next->isWord || next->negator
            || isAny(next->word, {"i", "i'm", "i've", "i'd", "i'll", "you", "he", "she", "it", "it's", "we",
                                  "they", "this", "that", "these", "those", "there", "the", "a", "an", "my",
                                  "your", "his", "her", "our", "their", "but", "and", "or", "so", "then", "yet",
                                  "just", "though", "although", "because", "which", "who", "when", "while",
                                  "if", "as", "only", "instead", "still", "now", "today", "tonight", "yes",
                                  "well", "anyway", "however", "maybe", "perhaps", "except"});
    }
}

bool isCanNot(const std::vector<Token> &tokens, size_t k)
{
    const QStringView w = tokens[k].word;
    if (isAny(w, {"can't", "cannot", "cant", "couldn't", "couldnt"}))
        return true;
    return w == QLatin1String("not") && isAny(wordAt(tokens, qsizetype(k) - 1), {"can", "could"});
}

// Negation idioms that negate nothing: "can't wait" is eagerness, "can't
// stop smiling" is smiling, "not only … but" and "never mind" deny nothing.
void applyNegationIdioms(std::vector<Token> &tokens)
{
    for (size_t k = 0; k + 1 < tokens.size(); ++k) {
        Token &t = tokens[k];
        if (!t.negator || t.clauseEnd)
            continue;
        Token &next = tokens[k + 1];
        const qsizetype i = qsizetype(k);
        if (isCanNot(tokens, k) && next.word == QLatin1String("wait")
            && !isAny(wordAt(tokens, i + 2), {"any", "anymore", "much", "forever", "longer"})) {
            t.negator = false;
            next.rated = 2.0;
        } else if (isCanNot(tokens, k) && isAny(next.word, {"stop", "help"})) {
            t.negator = false;
            next.rated = 0.0;
        } else if ((t.word == QLatin1String("not") && isAny(next.word, {"only", "just"}))
                   || (t.word == QLatin1String("never") && isAny(next.word, {"mind"}))
                   || (t.word == QLatin1String("no") && isAny(next.word, {"matter", "wonder"}))) {
            t.negator = false;
            t.rated = 0.0;
            next.rated = 0.0;
        } else if (isAny(t.word, {"don't", "dont", "didn't", "didnt", "wouldn't", "wouldnt"})
                   && next.word == QLatin1String("mind")) {
            t.negator = false;
        }
    }
}

// "never been so happy", "never felt this good", "never seen such a
// mess": "never" then "so", "this", "such" or "more" right before the rated
// word stresses it instead of denying it.
bool isEmphaticNever(const std::vector<Token> &tokens, size_t i)
{
    const qsizetype at = qsizetype(i);
    QStringView before = wordAt(tokens, at - 1);
    qsizetype from = at - 1;
    if (isAny(before, {"a", "an", "very", "much"}) && wordAt(tokens, at - 2) == QLatin1String("such")) {
        before = wordAt(tokens, at - 2);
        from = at - 2;
    }
    if (!isAny(before, {"so", "this", "such", "more"}))
        return false;
    for (qsizetype k = from - 1; k >= 0 && k >= from - 4; --k) {
        if (tokens[size_t(k)].clauseEnd)
            return false;
        if (tokens[size_t(k)].word == QLatin1String("never"))
            return true;
    }
    return false;
}

// "pretty" intensifies what it qualifies ("pretty good", "pretty tired");
// before a noun or on its own it is the adjective ("a pretty dress").
bool looksLikeModifier(const Token &t)
{
    if (!t.isWord)
        return false;
    if (t.rated != 0.0 || t.boost != 0.0)
        return true;
    const QStringView w = t.word;
    if (isAny(w, {"sure", "well", "soon", "fast", "quick", "quickly", "late", "early", "big", "small", "long",
                  "short", "hard", "easy", "busy", "quiet", "cold", "hot", "warm", "full", "low", "high", "new",
                  "old", "far", "close", "often", "rare", "loud", "cool", "normal", "standard", "simple",
                  "basic", "average", "decent", "similar", "different", "expensive", "cheap", "sore", "hungry",
                  "sleepy", "tired", "done", "spent", "wet", "dry", "dark", "bright", "heavy", "light", "slow",
                  "messy", "noisy", "rainy", "windy", "cloudy", "chilly", "empty", "dirty"}))
        return true;
    for (const char *ending : {"ed", "ful", "ous", "ive", "able", "ible", "less", "ish", "ly"}) {
        if (w.size() > 3 && w.endsWith(QLatin1String(ending)))
            return true;
    }
    return false;
}

void applyPretty(std::vector<Token> &tokens)
{
    for (size_t k = 0; k < tokens.size(); ++k) {
        Token &t = tokens[k];
        if (t.word != QLatin1String("pretty"))
            continue;
        const Token *next = k + 1 < tokens.size() && !t.clauseEnd ? &tokens[k + 1] : nullptr;
        if (next && next->word == QLatin1String("much")) {
            t.boost = 0.0; // "pretty much": almost
            t.rated = 0.0;
        } else if (!next || !looksLikeModifier(*next)) {
            t.boost = 0.0; // keeps its own rating as the adjective
        }
    }
}

// Common usages that change what a rated word means.
void applyUsage(std::vector<Token> &tokens)
{
    applyNegationIdioms(tokens);
    for (size_t k = 0; k < tokens.size(); ++k) {
        Token &t = tokens[k];
        const qsizetype i = qsizetype(k);
        const QStringView prev = wordAt(tokens, i - 1);
        // "like" is a liking after a subject or helper ("I like", "would
        // like"); elsewhere it compares ("smelled like") or fills.
        if (t.word == QLatin1String("like")
            && !isAny(prev, {"i", "you", "we", "they", "he", "she", "would", "i'd", "we'd", "you'd", "they'd",
                             "really", "do", "does", "did", "don't", "didn't", "doesn't", "to", "also", "just",
                             "still", "always", "totally", "definitely", "absolutely", "who", "people"}))
            t.rated = 0.0;
        // "mediocre at best" is no praise.
        if (t.word == QLatin1String("best") && prev == QLatin1String("at"))
            t.rated = 0.0;
        // "I've had better" is a let-down.
        if (t.word == QLatin1String("better") && prev == QLatin1String("had")
            && isAny(wordAt(tokens, i - 2), {"i've", "we've", "you've", "they've", "have", "has", "i", "we"}))
            t.rated = -1.5;
        // "too long", "too many": more than wanted. ("Me too" has nothing
        // after it; "too good" keeps its own rating.)
        if (t.word == QLatin1String("too") && k + 1 < tokens.size() && tokens[k + 1].rated == 0.0
            && tokens[k + 1].isWord && tokens[k + 1].boost == 0.0)
            t.rated = kExcess;
        // "to die for" is high praise.
        if (t.word == QLatin1String("die") && prev == QLatin1String("to") && wordAt(tokens, i + 1) == QLatin1String("for"))
            t.rated = 3.0;
        // "leaves a lot to be desired"
        if (t.word == QLatin1String("desired") && wordAt(tokens, i - 1) == QLatin1String("be")
            && wordAt(tokens, i - 3) == QLatin1String("lot"))
            t.rated = -2.0;
    }
}

// "could not be happier", "can't be better", "never felt better": a negated
// comparative after "be" (or "never" and a verb of being) is praise, not its
// opposite.
bool isNegatedComparative(const std::vector<Token> &tokens, size_t i)
{
    const QStringView w = tokens[i].word;
    if (i < 2 || !(w.endsWith(QLatin1String("er")) || w == QLatin1String("more")))
        return false;
    const QStringView before = tokens[i - 1].word;
    if (before == QLatin1String("be"))
        return true;
    return isAny(before, {"been", "felt", "feel", "looked", "sounded"})
        && tokens[i - 2].word == QLatin1String("never");
}

// Sum of the adjusted valences; `evidence` tells whether any word counted.
double sentenceSum(QStringView sentence, bool &evidence)
{
    const Lexicon &lex = lexicon();
    SentenceText s;
    s.text = sentence.toString();
    plainPunctuation(s.text);
    s.lower = lowerCased(s.text);
    s.aligned = s.lower.size() == s.text.size();
    const QString &text = s.text;
    std::vector<Token> tokens;
    tokens.reserve(size_t(text.size() / 4 + 1));
    {
        qsizetype i = 0;
        const qsizetype n = text.size();
        while (i < n) {
            while (i < n && text.at(i).isSpace())
                ++i;
            const qsizetype start = i;
            while (i < n && !text.at(i).isSpace())
                ++i;
            if (i > start)
                tokenise(s, start, i, tokens, lex);
        }
    }
    int wordCount = 0, capsCount = 0;
    for (const auto &t : tokens) {
        if (t.isWord) {
            ++wordCount;
            if (t.caps)
                ++capsCount;
        }
    }
    const bool mixedCaps = capsCount > 0 && capsCount < wordCount;

    for (Token &t : tokens)
        describe(t, lex);
    resolveInflections(tokens, text, lex);
    resolveCommas(tokens);
    applyUsage(tokens);
    applyPretty(tokens);
    std::vector<double> valences(tokens.size(), 0.0);
    evidence = false;
    for (size_t i = 0; i < tokens.size(); ++i) {
        const Token &t = tokens[i];
        if (t.boost != 0.0)
            continue;
        double v = t.rated;
        if (v == 0.0) {
            v = unratedValence(tokens, i);
            if (v == 0.0)
                continue;
            evidence = true;
            valences[i] = v;
            continue;
        }
        // "kind of" softens, it is not kindness.
        if (t.word == QLatin1String("kind") && i + 1 < tokens.size() && tokens[i + 1].word == QLatin1String("of"))
            continue;
        // A negator followed by a rated word only turns that word around.
        if (t.negator && ratedWordAfter(tokens, i))
            continue;
        evidence = true;
        if (t.caps && mixedCaps)
            v += v > 0 ? kCapsBoost : -kCapsBoost;
        for (size_t j = 1; j <= 3 && j <= i; ++j) {
            const Token &prev = tokens[i - j];
            if (prev.boost != 0.0) {
                double scalar = prev.boost;
                if (prev.caps && mixedCaps)
                    scalar += scalar > 0 ? kCapsBoost : -kCapsBoost;
                scalar *= kBoostDecay[j - 1];
                v += v > 0 ? scalar : -scalar;
            }
        }
        // Emoticons and emoji are the writer's own mood, and a negation
        // word keeps its own rating ("No and no." is no yes).
        bool negated = t.isWord && !t.negator && negatedWithin(tokens, i);
        // "least happy" but not "at least happy".
        if (t.isWord && i >= 1 && tokens[i - 1].word == QLatin1String("least")
            && !(i >= 2 && (tokens[i - 2].word == QLatin1String("at") || tokens[i - 2].word == QLatin1String("very"))))
            negated = true;
        if (negated && isEmphaticNever(tokens, i)) {
            negated = false;
            if (tokens[i - 1].boost == 0.0)
                v += v > 0 ? kBoost : -kBoost;
        }
        if (negated && !isNegatedComparative(tokens, i))
            v *= kNegationScale;
        valences[i] = v;
    }
    if (!evidence)
        return 0.0;

    // What follows "but" outweighs what came before it.
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (tokens[i].word == QLatin1String("but")) {
            for (size_t k = 0; k < valences.size(); ++k) {
                if (k < i)
                    valences[k] *= 0.5;
                else if (k > i)
                    valences[k] *= 1.5;
            }
            break;
        }
    }
    double sum = 0.0;
    for (double v : valences)
        sum += v;
    if (sum == 0.0)
        return 0.0;

    const auto exclamations = std::min<qsizetype>(text.count(u'!'), 4);
    const auto questions = text.count(u'?');
    double emphasis = exclamations * kExclamationBoost;
    if (questions > 1)
        emphasis += questions <= 3 ? questions * kQuestionBoost : 0.96;
    return sum > 0 ? sum + emphasis : sum - emphasis;
}

double normalise(double sum)
{
    const double score = sum / std::sqrt(sum * sum + kNormalisationAlpha);
    return std::clamp(score, -1.0, 1.0);
}

bool isParagraphBreak(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar(0x2028) || c == QChar(0x2029) || c == QChar(0x0085);
}

// The shortest decimal that reads back as the same double.
QString format(double value)
{
    std::array<char, 32> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return QString::fromLatin1(buffer.data(), result.ptr - buffer.data());
}

std::optional<double> meanOf(const std::vector<double> &values)
{
    if (values.empty())
        return std::nullopt;
    double sum = 0.0;
    for (double v : values)
        sum += v;
    return sum / double(values.size());
}

// The length of the emoticons and emoji that open a sentence (":D" or "😀"
// after "Yes!"): they close the sentence before, whose feeling they show.
qsizetype leadingEmoticons(QStringView sentence, const Lexicon &lex)
{
    SentenceText s;
    s.text = sentence.left(256).toString();
    s.lower = lowerCased(s.text);
    s.aligned = s.lower.size() == s.text.size();
    const qsizetype n = s.text.size();
    qsizetype i = 0;
    qsizetype taken = 0;
    while (i < n) {
        while (i < n && s.text.at(i).isSpace())
            ++i;
        const qsizetype start = i;
        while (i < n && !s.text.at(i).isSpace())
            ++i;
        if (i == start || (i == n && n < sentence.size()))
            break;
        if (emoticonKey(s, start, i, lex).isEmpty()) {
            for (qsizetype k = start; k < i; ++k) {
                if (s.text.at(k).isLetterOrNumber())
                    return taken;
            }
        }
        taken = i;
    }
    return taken;
}

// Where a sentence in [from, to) ends without the space after its stop
// ("for me.The rest"): the offset just after the stop, or 0. A stop between
// single letters ("e.g.") is an abbreviation and does not count.
qsizetype missingSpaceStop(QStringView paragraph, qsizetype from, qsizetype to)
{
    for (qsizetype p = from + 2; p + 2 < to; ++p) {
        const QChar c = paragraph.at(p);
        if (c != u'.' && c != u'!' && c != u'?')
            continue;
        if (paragraph.at(p - 1).isLower() && paragraph.at(p - 2).isLetter() && paragraph.at(p + 1).isUpper()
            && paragraph.at(p + 2).isLower())
            return p + 1;
    }
    return 0;
}

} // namespace

double ValenceSentimentTagger::sentenceScore(QStringView sentence)
{
    bool evidence = false;
    return normalise(sentenceSum(sentence, evidence));
}

int ValenceSentimentTagger::lexiconSize()
{
    const Lexicon &lex = lexicon();
    return int(lex.ratedWords + lex.emoji.size());
}

SentimentTags ValenceSentimentTagger::tag(const QString &text, const QString &language) const
{
    if (!language.isEmpty() && language != QLatin1String("en") && !language.startsWith(QLatin1String("en-")))
        return {};
    const Lexicon &lex = lexicon();
    SentimentTags tags;
    std::vector<double> firstParagraph;
    std::vector<double> document;
    bool inFirstParagraph = true;
    const auto score = [&](QStringView sentence) {
        bool evidence = false;
        const double value = normalise(sentenceSum(sentence, evidence));
        // A sentence without sentiment has no tag: plain sentences around
        // one feeling must not water it down.
        if (!evidence)
            return;
        tags.sentences.append(format(value));
        document.push_back(value);
        if (inFirstParagraph)
            firstParagraph.push_back(value);
    };
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const qsizetype start = i;
        while (i < n && !isParagraphBreak(text.at(i)))
            ++i;
        const QStringView paragraph = QStringView(text).mid(start, i - start);
        bool paragraphHadText = false;
        if (!paragraph.trimmed().isEmpty()) {
            paragraphHadText = true;
            TextBoundaries finder(TextBoundaries::Kind::Sentence, paragraph);
            // Each sentence is held back until the next one shows whether it
            // opens with emoticons that belong to it.
            qsizetype pendingFrom = -1, pendingTo = -1;
            const auto take = [&](qsizetype start, qsizetype to) {
                if (pendingFrom >= 0) {
                    const qsizetype glued = leadingEmoticons(paragraph.mid(start, to - start), lex);
                    pendingTo = start + glued;
                    start += glued;
                }
                if (paragraph.mid(start, to - start).trimmed().isEmpty())
                    return;
                if (pendingFrom >= 0)
                    score(paragraph.mid(pendingFrom, pendingTo - pendingFrom).trimmed());
                pendingFrom = start;
                pendingTo = to;
            };
            qsizetype from = 0;
            while (from < paragraph.size()) {
                qsizetype to = finder.next();
                if (to <= from)
                    to = paragraph.size();
                for (qsizetype stop = missingSpaceStop(paragraph, from, to); stop > 0;
                     stop = missingSpaceStop(paragraph, from, to)) {
                    take(from, stop);
                    from = stop;
                }
                take(from, to);
                from = to;
            }
            if (pendingFrom >= 0)
                score(paragraph.mid(pendingFrom, pendingTo - pendingFrom).trimmed());
        }
        if (paragraphHadText)
            inFirstParagraph = false;
        // A CRLF pair is one break.
        if (i < n && text.at(i) == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
            ++i;
        ++i;
    }
    // Likewise a first paragraph or a document without sentiment has no tag.
    if (const auto p = meanOf(firstParagraph))
        tags.firstParagraph = format(*p);
    if (const auto d = meanOf(document))
        tags.document = format(*d);
    return tags;
}

} // namespace zn::language
