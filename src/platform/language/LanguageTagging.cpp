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
    return WordNetTagger::shared();
}

std::shared_ptr<const LanguageRecognizer> defaultRecognizer()
{
    static const auto recognizer = std::make_shared<const ScriptLanguageRecognizer>();
    return recognizer;
}

// The installed service, else the default.
template<typename Service>
std::shared_ptr<const Service> current(std::shared_ptr<const Service> Services::*slot,
                                       std::shared_ptr<const Service> (*fallback)())
{
    auto &s = services();
    {
        std::lock_guard lock(s.mutex);
        if (s.*slot)
            return s.*slot;
    }
    return fallback();
}

template<typename Service>
void install(std::shared_ptr<const Service> Services::*slot, std::shared_ptr<const Service> service)
{
    auto &s = services();
    std::lock_guard lock(s.mutex);
    s.*slot = std::move(service);
}

} // namespace

std::shared_ptr<const SentimentTagger> sentimentTagger()
{
    return current(&Services::sentiment, defaultSentimentTagger);
}

void setSentimentTagger(std::shared_ptr<const SentimentTagger> tagger)
{
    install(&Services::sentiment, std::move(tagger));
}

std::shared_ptr<const WordTagger> wordTagger()
{
    return current(&Services::words, defaultWordTagger);
}

void setWordTagger(std::shared_ptr<const WordTagger> tagger)
{
    install(&Services::words, std::move(tagger));
}

std::shared_ptr<const LanguageRecognizer> languageRecognizer()
{
    return current(&Services::recognizer, defaultRecognizer);
}

void setLanguageRecognizer(std::shared_ptr<const LanguageRecognizer> recognizer)
{
    install(&Services::recognizer, std::move(recognizer));
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
    bool upper = false;
    for (QChar c : text) {
        if (c.unicode() >= 0x80)
            return text.toLower();
        upper = upper || (c.unicode() >= u'A' && c.unicode() <= u'Z');
    }
    // Most words are lower-case already: share the text, copy nothing.
    if (!upper)
        return text;
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
