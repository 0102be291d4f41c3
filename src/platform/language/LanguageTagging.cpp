#include "platform/language/LanguageTagging.h"

#include "platform/language/ScriptLanguageRecognizer.h"
#include "platform/language/ValenceSentimentTagger.h"
#include "platform/language/WordNetTagger.h"

#include <QtConcurrent/QtConcurrentRun>

#include <unicode/uchar.h>

#include <mutex>

namespace zn::language {
namespace {

struct Services {
    std::mutex mutex;
    std::shared_ptr<const SentimentTagger> sentiment;
    std::shared_ptr<const WordTagger> words;
    std::shared_ptr<const LanguageRecognizer> recognizer;
};

Services &services()
{
    static Services s;
    return s;
}

// The defaults are made once and shared; their data loads lazily inside.
std::shared_ptr<const SentimentTagger> defaultSentimentTagger()
{
    static const auto tagger = std::make_shared<const ValenceSentimentTagger>();
    return tagger;
}

std::shared_ptr<const WordTagger> defaultWordTagger()
{
    static const auto tagger = std::make_shared<const WordNetTagger>();
    return tagger;
}

std::shared_ptr<const LanguageRecognizer> defaultRecognizer()
{
    static const auto recognizer = std::make_shared<const ScriptLanguageRecognizer>();
    return recognizer;
}

} // namespace

std::shared_ptr<const SentimentTagger> sentimentTagger()
{
    auto &s = services();
    {
        std::lock_guard lock(s.mutex);
        if (s.sentiment)
            return s.sentiment;
    }
    return defaultSentimentTagger();
}

void setSentimentTagger(std::shared_ptr<const SentimentTagger> tagger)
{
    auto &s = services();
    std::lock_guard lock(s.mutex);
    s.sentiment = std::move(tagger);
}

std::shared_ptr<const WordTagger> wordTagger()
{
    auto &s = services();
    {
        std::lock_guard lock(s.mutex);
        if (s.words)
            return s.words;
    }
    return defaultWordTagger();
}

void setWordTagger(std::shared_ptr<const WordTagger> tagger)
{
    auto &s = services();
    std::lock_guard lock(s.mutex);
    s.words = std::move(tagger);
}

std::shared_ptr<const LanguageRecognizer> languageRecognizer()
{
    auto &s = services();
    {
        std::lock_guard lock(s.mutex);
        if (s.recognizer)
            return s.recognizer;
    }
    return defaultRecognizer();
}

void setLanguageRecognizer(std::shared_ptr<const LanguageRecognizer> recognizer)
{
    auto &s = services();
    std::lock_guard lock(s.mutex);
    s.recognizer = std::move(recognizer);
}

QFuture<void> preloadLanguageData()
{
    return QtConcurrent::run([] {
        const QString sample = QStringLiteral("A warm start.");
        (void)sentimentTagger()->tag(sample, QStringLiteral("en"));
        (void)wordTagger()->tag(sample, QStringLiteral("en"));
    });
}

Tagger::Tagger(QList<TagScheme> schemes)
    : m_schemes(std::move(schemes))
{
    if (hasScheme(TagScheme::SentimentScore))
        m_sentiment = sentimentTagger();
    if (hasScheme(TagScheme::LexicalClass) || hasScheme(TagScheme::Lemma))
        m_words = wordTagger();
}

SentimentTags Tagger::sentimentTags() const
{
    if (!m_sentiment || m_text.isEmpty())
        return {};
    return m_sentiment->tag(m_text, m_language);
}

std::vector<WordToken> Tagger::wordTokens() const
{
    if (!m_words || m_text.isEmpty())
        return {};
    std::vector<WordToken> tokens = m_words->tag(m_text, m_language);
    const bool withClass = hasScheme(TagScheme::LexicalClass);
    const bool withLemma = hasScheme(TagScheme::Lemma);
    for (auto &token : tokens) {
        if (!withClass)
            token.lexicalClass.reset();
        if (!withLemma)
            token.lemma.reset();
    }
    return tokens;
}

QString lowerCased(const QString &text)
{
    for (QChar c : text) {
        if (c.unicode() >= 0x80)
            return text.toLower();
    }
    QString out(text.size(), Qt::Uninitialized);
    char16_t *d = reinterpret_cast<char16_t *>(out.data());
    for (QChar c : text) {
        const char16_t u = c.unicode();
        *d++ = (u >= u'A' && u <= u'Z') ? char16_t(u + 32) : u;
    }
    return out;
}

bool isNumericCharacter(QStringView grapheme)
{
    if (grapheme.isEmpty())
        return false;
    char32_t first = grapheme.at(0).unicode();
    if (QChar::isHighSurrogate(first) && grapheme.size() > 1 && grapheme.at(1).isLowSurrogate())
        first = QChar::surrogateToUcs4(grapheme.at(0), grapheme.at(1));
    return u_getIntPropertyValue(UChar32(first), UCHAR_NUMERIC_TYPE) != U_NT_NONE;
}

} // namespace zn::language
