#pragma once

#include "platform/language/LanguageTagging.h"

#include <QStringList>

#include <atomic>
#include <memory>
#include <mutex>

namespace zn::test {

// Hands out fixed sentiment tags and remembers how it was called.
class ScriptedSentimentTagger final : public language::SentimentTagger
{
public:
    explicit ScriptedSentimentTagger(language::SentimentTags tags = {})
        : m_tags(std::move(tags))
    {
    }
    language::SentimentTags tag(const QString &text, const QString &lang) const override
    {
        ++m_calls;
        std::lock_guard lock(m_mutex);
        m_lastText = text;
        m_lastLanguage = lang;
        return m_tags;
    }
    int calls() const { return m_calls; }
    QString lastText() const
    {
        std::lock_guard lock(m_mutex);
        return m_lastText;
    }
    QString lastLanguage() const
    {
        std::lock_guard lock(m_mutex);
        return m_lastLanguage;
    }

private:
    language::SentimentTags m_tags;
    mutable std::atomic<int> m_calls{0};
    mutable std::mutex m_mutex;
    mutable QString m_lastText;
    mutable QString m_lastLanguage;
};

// Words separated by single spaces, each with a scripted class and lemma.
struct ScriptedWord {
    QString text;
    std::optional<language::LexicalClass> cls;
    std::optional<QString> lemma;
};

class ScriptedWordTagger final : public language::WordTagger
{
public:
    explicit ScriptedWordTagger(QList<ScriptedWord> words)
        : m_words(std::move(words))
    {
    }
    // The text these words stand for.
    QString text() const
    {
        QStringList parts;
        for (const auto &w : m_words)
            parts.append(w.text);
        return parts.join(u' ');
    }
    std::vector<language::WordToken> tag(const QString &, const QString &) const override
    {
        std::vector<language::WordToken> out;
        qsizetype at = 0;
        for (const auto &w : m_words) {
            out.push_back({at, w.text.size(), w.cls, w.lemma});
            at += w.text.size() + 1;
        }
        return out;
    }

private:
    QList<ScriptedWord> m_words;
};

class FixedLanguageRecognizer final : public language::LanguageRecognizer
{
public:
    explicit FixedLanguageRecognizer(std::optional<QString> language)
        : m_language(std::move(language))
    {
    }
    std::optional<QString> dominantLanguage(const QString &) const override { return m_language; }

private:
    std::optional<QString> m_language;
};

// Installs test services for one scope and restores the defaults after.
class LanguageServicesOverride
{
public:
    LanguageServicesOverride() = default;
    ~LanguageServicesOverride()
    {
        language::setSentimentTagger(nullptr);
        language::setWordTagger(nullptr);
        language::setLanguageRecognizer(nullptr);
    }
    LanguageServicesOverride(const LanguageServicesOverride &) = delete;
    LanguageServicesOverride &operator=(const LanguageServicesOverride &) = delete;

    void sentiment(std::shared_ptr<const language::SentimentTagger> t) { language::setSentimentTagger(std::move(t)); }
    void words(std::shared_ptr<const language::WordTagger> t) { language::setWordTagger(std::move(t)); }
    void recognizer(std::shared_ptr<const language::LanguageRecognizer> r)
    {
        language::setLanguageRecognizer(std::move(r));
    }
};

} // namespace zn::test
