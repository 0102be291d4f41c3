#include "platform/language/ScriptLanguageRecognizer.h"

#include <QHash>
#include <QStringList>

#include <array>

namespace zn::language {
namespace {

// Frequent words that are rare in the other listed languages.
struct LatinLanguage {
    const char *code;
    const char *words;
};

// English comes first and lists more words: everyday English shares short
// words with the others ("men", "die", "met", "van", "do", "per"), and a
// few of those must not outvote it.
constexpr std::array<LatinLanguage, 8> kLatinLanguages{{
    {"en", "the and is are was were this that with have has you not but for of my it i to at so on "
           "we me he she they them his her our your be been am do did had got went just very all "
           "about what when out up can will would could there here from after today really much "
           "men die met van war den per son also"},
    {"fr", "le la les des est et une un je suis pas que qui dans pour avec ce mais nous vous très"},
    {"de", "der die das und ist ich nicht ein eine mit sich auf für den dem sehr aber wir war"},
    {"es", "el los las una es y que de en por con para pero muy estoy soy está yo del"},
    {"it", "il gli una è e che di non per con sono mi ma molto sto della anche ho"},
    {"pt", "os uma é e que não com para mas muito estou sou do da em eu meu"},
    {"nl", "de het een en is ik niet van dat met zijn voor maar wij heel was"},
    {"sv", "och är att det en jag inte som för med på har var mycket men vi"},
}};

const QHash<QString, QList<int>> &functionWords()
{
    static const QHash<QString, QList<int>> table = [] {
        QHash<QString, QList<int>> t;
        for (int i = 0; i < int(kLatinLanguages.size()); ++i) {
            const auto words = QString::fromUtf8(kLatinLanguages[size_t(i)].words).split(u' ', Qt::SkipEmptyParts);
            for (const auto &w : words)
                t[w].append(i);
        }
        return t;
    }();
    return table;
}

enum Script { Latin, Cyrillic, Greek, Arabic, Hebrew, Han, Kana, Hangul, Thai, Devanagari, ScriptCount };

constexpr std::array<const char *, ScriptCount> kScriptLanguage{
    nullptr, "ru", "el", "ar", "he", "zh", "ja", "ko", "th", "hi"};

int scriptOf(QChar::Script script)
{
    switch (script) {
    case QChar::Script_Latin: return Latin;
    case QChar::Script_Cyrillic: return Cyrillic;
    case QChar::Script_Greek: return Greek;
    case QChar::Script_Arabic: return Arabic;
    case QChar::Script_Hebrew: return Hebrew;
    case QChar::Script_Han: return Han;
    case QChar::Script_Hiragana:
    case QChar::Script_Katakana: return Kana;
    case QChar::Script_Hangul: return Hangul;
    case QChar::Script_Thai: return Thai;
    case QChar::Script_Devanagari: return Devanagari;
    default: return -1;
    }
}

} // namespace

std::optional<QString> ScriptLanguageRecognizer::dominantLanguage(const QString &text) const
{
    // A bounded sample keeps this cheap for long entries.
    const QStringView sample = QStringView(text).left(1000);
    std::array<int, ScriptCount> letters{};
    int total = 0;
    for (qsizetype i = 0; i < sample.size(); ++i) {
        char32_t c = sample.at(i).unicode();
        if (c < 0x80) {
            if ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') {
                ++letters[Latin];
                ++total;
            }
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < sample.size() && sample.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(sample.at(i), sample.at(i + 1));
            ++i;
        }
        if (!QChar::isLetter(c))
            continue;
        const int s = scriptOf(QChar::script(c));
        if (s >= 0) {
            ++letters[size_t(s)];
            ++total;
        }
    }
    if (total == 0)
        return std::nullopt;
    // Japanese mixes kana with Han; any real share of kana decides it.
    if (letters[Kana] * 10 >= total)
        return QStringLiteral("ja");
    int best = Latin;
    for (int s = 0; s < ScriptCount; ++s) {
        if (letters[size_t(s)] > letters[size_t(best)])
            best = s;
    }
    if (best != Latin)
        return QString::fromLatin1(kScriptLanguage[size_t(best)]);

    std::array<int, kLatinLanguages.size()> votes{};
    const auto &table = functionWords();
    qsizetype i = 0;
    QString word;
    while (i < sample.size()) {
        while (i < sample.size() && !sample.at(i).isLetter())
            ++i;
        const qsizetype start = i;
        while (i < sample.size() && (sample.at(i).isLetter() || sample.at(i).isMark()))
            ++i;
        // Function words are short; longer words need no lookup.
        if (i > start && i - start <= 6) {
            word.resize(i - start);
            for (qsizetype k = 0; k < i - start; ++k)
                word[k] = sample.at(start + k).toLower();
            const auto it = table.constFind(word);
            if (it != table.constEnd()) {
                for (int lang : *it)
                    ++votes[size_t(lang)];
            }
        }
    }
    int bestLang = 0;
    for (int l = 1; l < int(votes.size()); ++l) {
        if (votes[size_t(l)] > votes[size_t(bestLang)])
            bestLang = l;
    }
    if (votes[size_t(bestLang)] == 0)
        return std::nullopt;
    // Another language needs a clear lead before English text is given up.
    if (bestLang != 0 && (votes[size_t(bestLang)] < 2 || votes[size_t(bestLang)] <= votes[0]))
        return QStringLiteral("en");
    return QString::fromLatin1(kLatinLanguages[size_t(bestLang)].code);
}

} // namespace zn::language
