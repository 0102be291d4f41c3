#pragma once

#include <QFuture>
#include <QList>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace zn::language {

enum class TagScheme { SentimentScore, LexicalClass, Lemma };

enum class LexicalClass {
    Noun,
    Verb,
    Adjective,
    Adverb,
    Pronoun,
    Determiner,
    Particle,
    Preposition,
    Number,
    Conjunction,
    Interjection,
    Classifier,
    Idiom,
    OtherWord,
};

// Sentiment tags as decimal strings in [-1, 1]. An absent tag means the
// tagger had nothing to say for that unit (e.g. a language it cannot read).
struct SentimentTags
{
    std::optional<QString> firstParagraph;
    std::optional<QString> document;
    QList<QString> sentences;
};

// A word of the tagged text; start/length index the text in UTF-16 units.
struct WordToken
{
    qsizetype start = 0;
    qsizetype length = 0;
    std::optional<LexicalClass> lexicalClass;
    std::optional<QString> lemma;
};

// All three services are called from several threads at once, so
// implementations must be safe for concurrent const calls.
class SentimentTagger
{
public:
    virtual ~SentimentTagger() = default;
    // `text` is trimmed and non-empty; `language` is a BCP 47 language code.
    virtual SentimentTags tag(const QString &text, const QString &language) const = 0;
};

class WordTagger
{
public:
    virtual ~WordTagger() = default;
    // Word tokens in text order; punctuation and whitespace are left out.
    virtual std::vector<WordToken> tag(const QString &text, const QString &language) const = 0;
};

class LanguageRecognizer
{
public:
    virtual ~LanguageRecognizer() = default;
    // The dominant language code of the text, or nothing when unsure.
    virtual std::optional<QString> dominantLanguage(const QString &text) const = 0;
};

// The process-wide services. Passing nullptr restores the default.
std::shared_ptr<const SentimentTagger> sentimentTagger();
void setSentimentTagger(std::shared_ptr<const SentimentTagger> tagger);
std::shared_ptr<const WordTagger> wordTagger();
void setWordTagger(std::shared_ptr<const WordTagger> tagger);
std::shared_ptr<const LanguageRecognizer> languageRecognizer();
void setLanguageRecognizer(std::shared_ptr<const LanguageRecognizer> recognizer);

// Loads the current taggers' data on a worker thread so the first real call
// does not pay for it on the UI thread. Call once at start-up.
QFuture<void> preloadLanguageData();

// A tagger for one text, language and set of schemes. It takes a snapshot
// of the current services when made, so one analysis uses one tagger set.
class Tagger
{
public:
    explicit Tagger(QList<TagScheme> schemes);

    void setString(const QString &text) { m_text = text; }
    const QString &string() const { return m_text; }
    void setLanguage(const QString &language) { m_language = language; }
    const QString &language() const { return m_language; }
    bool hasScheme(TagScheme scheme) const { return m_schemes.contains(scheme); }

    // Empty unless the sentiment scheme was requested.
    SentimentTags sentimentTags() const;
    // Word tokens; the class only with the lexical-class scheme, the lemma
    // only with the lemma scheme; empty when neither was requested.
    std::vector<WordToken> wordTokens() const;

private:
    QList<TagScheme> m_schemes;
    QString m_text;
    QString m_language;
    std::shared_ptr<const SentimentTagger> m_sentiment;
    std::shared_ptr<const WordTagger> m_words;
};

// Unicode default lower-casing, with a fast path for plain ASCII text.
QString lowerCased(const QString &text);

// True when the character (a grapheme cluster) stands for a number: its first
// code point has a Unicode numeric type (digits, fractions, numerals such as
// "Ⅻ" or "五").
bool isNumericCharacter(QStringView grapheme);

} // namespace zn::language
