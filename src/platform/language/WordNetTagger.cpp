#include "platform/language/WordNetTagger.h"

#include "platform/base/SystemLog.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QTextBoundaryFinder>

#include <array>
#include <deque>
#include <mutex>
#include <shared_mutex>

namespace zn::language {
namespace {

constexpr qsizetype kLongestWord = 64;

// WordNet's four open classes, in the order of its file names.
enum Pos { PosNoun = 0, PosVerb = 1, PosAdj = 2, PosAdv = 3, PosCount = 4 };
constexpr std::array<const char *, PosCount> kPosFile{"noun", "verb", "adj", "adv"};
constexpr std::array<LexicalClass, PosCount> kPosClass{
    LexicalClass::Noun, LexicalClass::Verb, LexicalClass::Adjective, LexicalClass::Adverb};

struct Suffix {
    const char *ending;
    const char *replacement;
};

// WordNet's detachment rules per class (adverbs have exceptions only).
const std::array<std::vector<Suffix>, PosCount> kSuffixes{{
    {{"s", ""}, {"ses", "s"}, {"xes", "x"}, {"zes", "z"}, {"ches", "ch"}, {"shes", "sh"}, {"men", "man"}, {"ies", "y"}},
    {{"s", ""}, {"ies", "y"}, {"es", "e"}, {"es", ""}, {"ed", "e"}, {"ed", ""}, {"ing", "e"}, {"ing", ""}},
    {{"er", ""}, {"est", ""}, {"er", "e"}, {"est", "e"}},
    {},
}};

struct ClosedWord {
    const char *words;
    LexicalClass cls;
};

// Function words WordNet does not cover (or lists as rare nouns), and
// contractions, which the platform tagger would split and class the same way.
const std::array<ClosedWord, 9> kClosedWords{{
    {"i me mine you yours he him she hers it we us ours they them theirs myself yourself himself "
     "herself itself ourselves yourselves themselves oneself someone somebody something anyone anybody "
     "anything everyone everybody everything noone nobody nothing nowt who whom whose whoever whomever "
     "whatever whichever i'm i've i'll i'd you're you've you'll you'd he's he'll he'd she's she'll she'd "
     "it's it'll it'd we're we've we'll we'd they're they've they'll they'd that's that'll there's "
     "there'll here's what's who's who'd who'll where's how's let's im ive youre youve theyre theyve",
     LexicalClass::Pronoun},
    {"a an the this that these those my your his her its our their every each either neither some any "
     "no another other such what which all both several enough few many much more most less least own",
     LexicalClass::Determiner},
    {"about above across after against along amid among amongst around as at before behind below "
     "beneath beside besides between beyond by despite down during except for from in inside into like "
     "near of off on onto out outside over past per since than through throughout till to toward towards "
     "under underneath unlike until up upon via with within without",
     LexicalClass::Preposition},
    {"and but or nor so yet because although though unless whereas while whether if once",
     LexicalClass::Conjunction},
    {"not n't", LexicalClass::Particle},
    {"am is are was were be been being have has had having do does did doing will would shall should "
     "can could may might must ought 'm 're 've 'll 'd don't doesn't didn't isn't aren't wasn't weren't "
     "haven't hasn't hadn't won't wouldn't can't cannot couldn't shouldn't mustn't needn't ain't shan't "
     "mightn't dont doesnt didnt isnt arent wasnt werent havent hasnt hadnt wont wouldnt cant couldnt "
     "shouldnt mustnt aint gonna wanna gotta",
     LexicalClass::Verb},
    {"oh ah ahh aw aww hey hi hello yes yeah yep yup nope ok okay wow ugh oops ouch hmm um uh huh haha "
     "hahaha lol omg bye goodbye alas hooray yay meh please thanks",
     LexicalClass::Interjection},
    {"zero one two three four five six seven eight nine ten eleven twelve thirteen fourteen fifteen "
     "sixteen seventeen eighteen nineteen twenty thirty forty fifty sixty seventy eighty ninety hundred "
     "thousand million billion",
     LexicalClass::Number},
    {"there here when where why how then now very too also just really", LexicalClass::Adverb},
}};

// Word lists keep their strings here for the life of the process; the
// tables hold views of them, so lookups take views of the text.
QStringView kept(const QString &word)
{
    // Tables may be built on two threads at once.
    static std::mutex mutex;
    static std::deque<QString> storage;
    std::lock_guard lock(mutex);
    storage.push_back(word);
    return storage.back();
}

QStringList splitWords(const char *words)
{
    return QString::fromUtf8(words).split(u' ', Qt::SkipEmptyParts);
}

const QHash<QStringView, LexicalClass> &closedWords()
{
    static const QHash<QStringView, LexicalClass> table = [] {
        QHash<QStringView, LexicalClass> t;
        for (const auto &group : kClosedWords) {
            for (const auto &w : splitWords(group.words)) {
                if (!t.contains(QStringView(w)))
                    t.insert(kept(w), group.cls);
            }
        }
        return t;
    }();
    return table;
}

QSet<QStringView> makeSet(const char *words)
{
    QSet<QStringView> s;
    for (const auto &w : splitWords(words))
        s.insert(kept(w));
    return s;
}

struct ContextWords {
    // Words after which the next word is most likely a verb.
    QSet<QStringView> verbCues = makeSet(
        "to will would shall should can could may might must do does did don't doesn't didn't won't "
        "wouldn't can't cannot couldn't shouldn't dont doesnt didnt wont cant couldnt shouldnt i you we "
        "they he she who let's i'll you'll we'll they'll i'd we'd they'd gonna wanna gotta");
    // Words after which an adjective is likely ("I am happy", "it seems fine").
    QSet<QStringView> linkingVerbs = makeSet(
        "am is are was were be been being 'm 're i'm you're we're they're he's she's it's feel feels "
        "felt feeling seem seems seemed look looks looked become becomes became get gets got getting "
        "stay stays stayed remain remains remained");
};

const ContextWords &contextWords()
{
    static const ContextWords words;
    return words;
}

QString normaliseApostrophes(QString s)
{
    s.replace(QChar(0x2019), u'\'');
    s.replace(QChar(0x2018), u'\'');
    return s;
}

bool hasLetter(QStringView s)
{
    for (QChar c : s) {
        if (c.isLetter())
            return true;
    }
    return false;
}

bool isNumberToken(QStringView s)
{
    bool digit = false;
    for (QChar c : s) {
        if (c.isDigit())
            digit = true;
        else if (c != u'.' && c != u',' && c != u':' && c != u'/')
            return false;
    }
    return digit;
}

// Word segments of plain Latin text as Qt's word-boundary finder gives them,
// without its cost; nothing when the text has characters these rules do not
// cover.
bool isPlainChar(char16_t c)
{
    if (c < 0x250)
        return c != 0x00AD && c != 0x00B7; // soft hyphen, middle dot
    switch (c) {
    case 0x2010: case 0x2011: case 0x2012: case 0x2013: case 0x2014: case 0x2015:
    case 0x2019: case 0x201C: case 0x201D: case 0x2020: case 0x2021:
    case 0x2022: case 0x2026: case 0x2030: case 0x2032: case 0x2033:
        return true;
    default:
        return false;
    }
}

bool isWordLetter(QChar c) { return c.isLetter(); }
bool isDigit(QChar c) { return c.unicode() >= u'0' && c.unicode() <= u'9'; }
// Qt's segmenter joins letters across apostrophes only ("don't", "it’s",
// but "e.g" and "a:b" split), and digits across . , ; and apostrophes.
bool joinsLetters(QChar c) { return c == u'\'' || c == QChar(0x2019); }
bool joinsDigits(QChar c) { return c == u'.' || c == u',' || c == u';' || c == u'\'' || c == QChar(0x2019); }

std::optional<std::vector<std::pair<qsizetype, qsizetype>>> plainWordSegments(const QString &text)
{
    for (QChar c : text) {
        if (!isPlainChar(c.unicode()))
            return std::nullopt;
    }
    std::vector<std::pair<qsizetype, qsizetype>> out;
    const qsizetype n = text.size();
    const auto joins = [](QChar c) { return isWordLetter(c) || isDigit(c) || c == u'_'; };
    qsizetype i = 0;
    while (i < n) {
        if (!joins(text.at(i))) {
            ++i;
            continue;
        }
        const qsizetype start = i++;
        while (i < n) {
            const QChar c = text.at(i);
            if (joins(c)) {
                ++i;
                continue;
            }
            if (i + 1 < n) {
                const QChar before = text.at(i - 1);
                const QChar after = text.at(i + 1);
                if (joinsLetters(c) && isWordLetter(before) && isWordLetter(after)) {
                    i += 2;
                    continue;
                }
                if (joinsDigits(c) && isDigit(before) && isDigit(after)) {
                    i += 2;
                    continue;
                }
            }
            break;
        }
        out.emplace_back(start, i);
    }
    return out;
}

} // namespace

struct WordNetTagger::Data {
    struct Entry {
        std::array<quint16, PosCount> weight{}; // tagged sense count + 1; 0 = not listed
        bool antonym = false;                   // some sense has an antonym
    };
    QHash<QString, Entry> index;
    std::array<QHash<QString, QStringList>, PosCount> exceptions;
    bool loaded = false;

    // What WordNet says of one word form, per class.
    struct Reading {
        std::array<int, PosCount> weight{};  // 0 = not a form of this class
        std::array<QString, PosCount> lemma; // the best attested base form
        std::array<quint8, PosCount> forms{}; // how many base forms
        bool any = false;
    };
    // Readings of the forms seen so far: journals reuse their words, and the
    // live mood analyses nearly the same text every half second.
    mutable std::shared_mutex cacheLock;
    mutable QHash<QStringView, Reading> cache; // keys view cacheKeys
    mutable std::deque<QString> cacheKeys;
    static constexpr qsizetype kCacheLimit = 100000;

    Reading reading(QStringView form) const
    {
        {
            std::shared_lock lock(cacheLock);
            const auto it = cache.constFind(form);
            if (it != cache.constEnd())
                return *it;
        }
        const QString word = form.toString();
        Reading r;
        if (loaded) {
            for (int pos = 0; pos < PosCount; ++pos) {
                int best = 0;
                const QStringList forms = morphy(word, pos);
                r.forms[size_t(pos)] = quint8(std::min<qsizetype>(forms.size(), 255));
                for (const auto &f : forms) {
                    const int w = weight(f, pos);
                    if (w > best) {
                        best = w;
                        r.lemma[size_t(pos)] = f;
                    }
                }
                r.weight[size_t(pos)] = best;
                r.any = r.any || best > 0;
            }
        }
        std::unique_lock lock(cacheLock);
        if (cache.contains(form))
            return r;
        if (cache.size() >= kCacheLimit) {
            cache.clear();
            cacheKeys.clear();
        }
        cacheKeys.push_back(word);
        cache.insert(cacheKeys.back(), r);
        return r;
    }

    bool listed(const QString &word, int pos) const
    {
        const auto it = index.constFind(word);
        return it != index.constEnd() && it->weight[size_t(pos)] > 0;
    }

    quint16 weight(const QString &word, int pos) const
    {
        const auto it = index.constFind(word);
        return it == index.constEnd() ? 0 : it->weight[size_t(pos)];
    }

    // WordNet's morphy: exceptions, the word itself, then suffix rules.
    QStringList morphy(const QString &word, int pos) const
    {
        QStringList out;
        const auto exc = exceptions[size_t(pos)].constFind(word);
        if (exc != exceptions[size_t(pos)].constEnd()) {
            for (const auto &base : *exc) {
                if (listed(base, pos) && !out.contains(base))
                    out.append(base);
            }
        }
        if (listed(word, pos) && !out.contains(word))
            out.append(word);
        for (const auto &suffix : kSuffixes[size_t(pos)]) {
            const QLatin1String ending(suffix.ending);
            if (word.size() <= ending.size() || !word.endsWith(ending))
                continue;
            const QString base = word.left(word.size() - ending.size()) + QLatin1String(suffix.replacement);
            if (listed(base, pos) && !out.contains(base))
                out.append(base);
        }
        return out;
    }
};

namespace {

// Reads a decimal field; returns the position after it.
const char *readInt(const char *p, const char *end, int &value)
{
    value = 0;
    while (p < end && *p >= '0' && *p <= '9') {
        value = std::min(value * 10 + (*p - '0'), 1 << 20);
        ++p;
    }
    return p;
}

const char *skipField(const char *p, const char *end)
{
    while (p < end && *p != ' ')
        ++p;
    while (p < end && *p == ' ')
        ++p;
    return p;
}

bool loadIndex(const QString &path, int pos, WordNetTagger::Data &data)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    const char *p = bytes.constData();
    const char *end = p + bytes.size();
    while (p < end) {
        const char *lineEnd = static_cast<const char *>(memchr(p, '\n', size_t(end - p)));
        if (!lineEnd)
            lineEnd = end;
        const char *q = p;
        p = lineEnd + 1;
        // Licence lines begin with a space; multi-word lemmas are never looked up.
        if (q >= lineEnd || *q == ' ')
            continue;
        const char *lemmaEnd = q;
        bool multiword = false;
        while (lemmaEnd < lineEnd && *lemmaEnd != ' ') {
            multiword = multiword || *lemmaEnd == '_';
            ++lemmaEnd;
        }
        if (multiword)
            continue;
        // lemma pos synset_cnt p_cnt [ptr…] sense_cnt tagsense_cnt offsets…
        const char *f = skipField(lemmaEnd, lineEnd); // at pos
        f = skipField(f, lineEnd);                    // at synset_cnt
        f = skipField(f, lineEnd);                    // at p_cnt
        int pointers = 0;
        f = skipField(readInt(f, lineEnd, pointers), lineEnd);
        bool antonym = false;
        for (int i = 0; i < pointers && f < lineEnd; ++i) {
            antonym = antonym || (*f == '!' && f + 1 < lineEnd && f[1] == ' ');
            f = skipField(f, lineEnd);
        }
        f = skipField(f, lineEnd); // past sense_cnt
        int tagged = 0;
        readInt(f, lineEnd, tagged);
        auto &entry = data.index[QString::fromLatin1(q, lemmaEnd - q)];
        entry.weight[size_t(pos)] = quint16(std::clamp(tagged + 1, 1, 65535));
        entry.antonym = entry.antonym || antonym;
    }
    return true;
}

void loadExceptions(const QString &path, int pos, WordNetTagger::Data &data)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = file.readAll();
    for (const QByteArray &line : bytes.split('\n')) {
        const QList<QByteArray> parts = line.trimmed().split(' ');
        if (parts.size() < 2 || parts[0].contains('_'))
            continue;
        QStringList bases;
        for (qsizetype i = 1; i < parts.size(); ++i) {
            if (!parts[i].isEmpty() && !parts[i].contains('_'))
                bases.append(QString::fromLatin1(parts[i]));
        }
        if (!bases.isEmpty())
            data.exceptions[size_t(pos)].insert(QString::fromLatin1(parts[0]), bases);
    }
}

} // namespace

WordNetTagger::WordNetTagger(QString dataDir)
    : m_dir(std::move(dataDir))
{
}

WordNetTagger::~WordNetTagger() = default;

QString WordNetTagger::defaultDataDir()
{
    return QStringLiteral("/usr/share/wordnet");
}

std::shared_ptr<const WordNetTagger> WordNetTagger::shared()
{
    static const auto tagger = std::make_shared<const WordNetTagger>();
    return tagger;
}

const WordNetTagger::Data &WordNetTagger::data() const
{
    std::call_once(m_once, [this] {
        auto d = std::make_unique<Data>();
        d->index.reserve(160000);
        bool ok = true;
        for (int pos = 0; pos < PosCount; ++pos) {
            const QString name = QString::fromLatin1(kPosFile[size_t(pos)]);
            ok = loadIndex(QDir(m_dir).filePath(QStringLiteral("index.") + name), pos, *d) && ok;
            loadExceptions(QDir(m_dir).filePath(name + QStringLiteral(".exc")), pos, *d);
        }
        if (!ok) {
            d = std::make_unique<Data>();
            systemLog(QStringLiteral("Zephyrnote: WordNet data not found in %1; keywords use plain word forms")
                          .arg(m_dir));
        } else {
            d->loaded = true;
        }
        m_data = std::move(d);
    });
    return *m_data;
}

bool WordNetTagger::isLoaded() const
{
    return data().loaded;
}

QStringList WordNetTagger::baseForms(const QString &word, LexicalClass cls) const
{
    for (int pos = 0; pos < PosCount; ++pos) {
        if (kPosClass[size_t(pos)] == cls) {
            const Data &d = data();
            QStringList forms = d.morphy(normaliseApostrophes(word.toLower()), pos);
            // The best attested form first, keeping WordNet's order on ties.
            std::stable_sort(forms.begin(), forms.end(), [&](const QString &a, const QString &b) {
                return d.weight(a, pos) > d.weight(b, pos);
            });
            return forms;
        }
    }
    return {};
}

QList<LexicalClass> WordNetTagger::lemmaClasses(const QString &word) const
{
    QList<LexicalClass> classes;
    const Data &d = data();
    const QString key = normaliseApostrophes(word.toLower());
    for (int pos = 0; pos < PosCount; ++pos) {
        if (d.listed(key, pos))
            classes.append(kPosClass[size_t(pos)]);
    }
    return classes;
}

QString WordNetTagger::soleBaseForm(const QString &word, LexicalClass cls) const
{
    const auto pos = size_t(std::find(kPosClass.begin(), kPosClass.end(), cls) - kPosClass.begin());
    if (pos >= kPosClass.size())
        return {};
    const Data::Reading r = data().reading(normaliseApostrophes(word.toLower()));
    return r.forms[pos] == 1 ? r.lemma[pos] : QString();
}

QList<LexicalClass> WordNetTagger::formClasses(const QString &word) const
{
    const Data::Reading r = data().reading(normaliseApostrophes(word.toLower()));
    QList<LexicalClass> classes;
    for (size_t pos = 0; pos < kPosClass.size(); ++pos) {
        if (r.forms[pos] > 0)
            classes.append(kPosClass[pos]);
    }
    return classes;
}

bool WordNetTagger::hasAntonym(const QString &word) const
{
    const Data &d = data();
    const auto it = d.index.constFind(normaliseApostrophes(word.toLower()));
    return it != d.index.constEnd() && it->antonym;
}

std::vector<std::pair<qsizetype, qsizetype>> WordNetTagger::wordSegments(const QString &text)
{
    if (auto plain = plainWordSegments(text))
        return std::move(*plain);
    return unicodeWordSegments(text);
}

std::vector<std::pair<qsizetype, qsizetype>> WordNetTagger::unicodeWordSegments(const QString &text)
{
    std::vector<std::pair<qsizetype, qsizetype>> segments;
    // The boundary finder works out every kind of break at once, with a
    // dictionary pass over Thai that grows faster than the text; pieces of
    // bounded length keep it linear. Pieces end before a space, which is a
    // word boundary anyway; only a space-free run longer than a piece is cut
    // blindly (at a character boundary).
    constexpr qsizetype kPiece = 4096;
    const qsizetype n = text.size();
    qsizetype pieceStart = 0;
    while (pieceStart < n) {
        qsizetype pieceEnd = n;
        if (n - pieceStart > kPiece) {
            pieceEnd = pieceStart + kPiece;
            qsizetype cut = pieceEnd;
            while (cut > pieceStart + kPiece / 2 && !(text.at(cut).isSpace() && !text.at(cut - 1).isSpace()))
                --cut;
            if (cut > pieceStart + kPiece / 2) {
                pieceEnd = cut;
            } else {
                while (pieceEnd < n && (text.at(pieceEnd).isLowSurrogate() || text.at(pieceEnd).isMark()))
                    ++pieceEnd;
            }
        }
        const QStringView piece = QStringView(text).mid(pieceStart, pieceEnd - pieceStart);
        QTextBoundaryFinder finder(QTextBoundaryFinder::Word, piece.constData(), piece.size());
        qsizetype from = 0;
        while (from < piece.size()) {
            qsizetype to = finder.toNextBoundary();
            if (to <= from)
                to = piece.size();
            for (QChar c : piece.mid(from, to - from)) {
                if (c.isLetterOrNumber() || c.isMark()) {
                    segments.emplace_back(pieceStart + from, pieceStart + to);
                    break;
                }
            }
            from = to;
        }
        pieceStart = pieceEnd;
    }
    return segments;
}

std::vector<WordToken> WordNetTagger::tag(const QString &text, const QString &language) const
{
    std::vector<WordToken> tokens;
    if (text.isEmpty())
        return tokens;
    const bool english = language.isEmpty() || language == QLatin1String("en") || language.startsWith(QLatin1String("en-"));
    const Data &d = data();
    const auto &closed = closedWords();
    tokens.reserve(size_t(text.size() / 5 + 1));

    // Words are looked up as views of one lower-cased copy of the text; when
    // lower-casing changes lengths (rare letters), each word gets its own copy.
    const QString lowerText = normaliseApostrophes(lowerCased(text));
    const bool aligned = lowerText.size() == text.size();
    std::deque<QString> ownCopies;

    QStringView prevWord;
    std::optional<LexicalClass> prevClass;
    // The next word's class depends on the word and class before it.
    const auto take = [&](const WordToken &token, QStringView word) {
        tokens.push_back(token);
        prevWord = word;
        prevClass = token.lexicalClass;
    };
    using Reading = Data::Reading;
    QHash<QStringView, Reading> readings; // words repeat within a text
    readings.reserve(std::min<qsizetype>(text.size() / 8 + 16, 4096));

    for (const auto &[segStart, segEnd] : wordSegments(text)) {
        const QStringView segment = QStringView(text).mid(segStart, segEnd - segStart);

        WordToken token;
        token.start = segStart;
        token.length = segment.size();
        if (isNumberToken(segment)) {
            token.lexicalClass = LexicalClass::Number;
            take(token, segment);
            continue;
        }
        if (!english) {
            token.lexicalClass = LexicalClass::OtherWord;
            tokens.push_back(token);
            continue;
        }

        QStringView lower;
        if (aligned) {
            lower = QStringView(lowerText).mid(segStart, segment.size());
        } else {
            ownCopies.push_back(normaliseApostrophes(segment.toString().toLower()));
            lower = ownCopies.back();
        }
        const auto closedIt = closed.constFind(lower);
        if (closedIt != closed.constEnd()) {
            token.lexicalClass = *closedIt;
            take(token, lower);
            continue;
        }
        if (lower.endsWith(QLatin1String("n't"))) {
            token.lexicalClass = LexicalClass::Verb;
            take(token, lower);
            continue;
        }
        // "mum's", "john'll": the word before the clitic is what gets tagged.
        const qsizetype apostrophe = lower.lastIndexOf(u'\'');
        bool possessive = false;
        if (apostrophe > 0) {
            const QStringView clitic = lower.mid(apostrophe + 1);
            possessive = clitic == QLatin1String("s");
            if (clitic.isEmpty() || possessive || clitic == QLatin1String("ll") || clitic == QLatin1String("re")
                || clitic == QLatin1String("ve") || clitic == QLatin1String("d") || clitic == QLatin1String("m")) {
                // The clitic is ASCII, so its length is the same in the
                // original text even where lower-casing changed the word's.
                token.length = segment.size() - (lower.size() - apostrophe);
                lower = lower.left(apostrophe);
            }
        }

        // No dictionary word is this long; such runs are not worth a lookup
        // (nor a place in the shared cache).
        if (lower.size() > kLongestWord) {
            token.lexicalClass = LexicalClass::OtherWord;
            take(token, lower);
            continue;
        }
        auto cached = readings.constFind(lower);
        if (cached == readings.constEnd())
            cached = readings.insert(lower, d.reading(lower));
        const Reading &reading = *cached;
        if (!reading.any) {
            const bool adverb = lower.size() > 4 && lower.endsWith(QLatin1String("ly")) && hasLetter(lower);
            token.lexicalClass = adverb ? LexicalClass::Adverb : LexicalClass::OtherWord;
            take(token, lower);
            continue;
        }

        auto candidates = reading.weight;
        const int alternatives = int((candidates[PosNoun] > 0) + (candidates[PosAdj] > 0) + (candidates[PosAdv] > 0));
        const bool afterModifier = prevClass == LexicalClass::Determiner || prevClass == LexicalClass::Adjective
            || prevClass == LexicalClass::Number;
        if (afterModifier && candidates[PosVerb] > 0 && alternatives > 0)
            candidates[PosVerb] = 0;
        if (afterModifier && candidates[PosAdv] > 0 && (candidates[PosNoun] > 0 || candidates[PosAdj] > 0))
            candidates[PosAdv] = 0;

        const int classCount = int(candidates[PosNoun] > 0) + int(candidates[PosVerb] > 0) + int(candidates[PosAdj] > 0)
            + int(candidates[PosAdv] > 0);
        int chosen = -1;
        if (classCount < 2) {
            // One reading: nothing for the context to decide.
        } else if (possessive && candidates[PosNoun] > 0) {
            chosen = PosNoun;
        } else if (contextWords().linkingVerbs.contains(prevWord)) {
            if (lower.endsWith(QLatin1String("ing")) && candidates[PosVerb] > 0)
                chosen = PosVerb;
            else if (candidates[PosAdj] > 0)
                chosen = PosAdj;
        } else if (contextWords().verbCues.contains(prevWord) && candidates[PosVerb] > 0) {
            chosen = PosVerb;
        }
        if (chosen < 0) {
            chosen = PosNoun;
            for (int pos = 0; pos < PosCount; ++pos) {
                if (candidates[size_t(pos)] > candidates[size_t(chosen)])
                    chosen = pos;
            }
        }
        token.lexicalClass = kPosClass[size_t(chosen)];
        if (!reading.lemma[size_t(chosen)].isEmpty())
            token.lemma = reading.lemma[size_t(chosen)];
        take(token, lower);
    }
    return tokens;
}

} // namespace zn::language
