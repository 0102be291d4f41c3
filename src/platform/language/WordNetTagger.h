#pragma once

#include "platform/language/LanguageTagging.h"

#include <QStringList>

#include <memory>
#include <mutex>

namespace zn::language {

// English word classes and lemmas from WordNet's index and exception files
// (read by our own code: the WordNet C library keeps global state), closed-
// class word lists and a few context rules for words WordNet lists under
// several classes. Data loads once, on first use; a missing folder leaves
// closed-class words tagged, every other word an OtherWord without lemma,
// and one log line. Other languages get OtherWord (or Number) tokens without
// lemmas.
class WordNetTagger final : public WordTagger
{
public:
    explicit WordNetTagger(QString dataDir = defaultDataDir());
    ~WordNetTagger() override;

    static QString defaultDataDir();
    // The tagger over the default data folder, shared by everything in the
    // process that needs WordNet, so its data loads once.
    static std::shared_ptr<const WordNetTagger> shared();

    std::vector<WordToken> tag(const QString &text, const QString &language) const override;

    // Loads the data if needed; false when it could not be read.
    bool isLoaded() const;
    // Base forms WordNet gives the word in one class (Noun, Verb, Adjective
    // or Adverb), most likely first; empty when it has none.
    QStringList baseForms(const QString &word, LexicalClass cls) const;
    // The classes WordNet lists the word under as a base form of its own
    // (not through an inflection), in the order Noun, Verb, Adjective, Adverb.
    QList<LexicalClass> lemmaClasses(const QString &word) const;
    // The one base form WordNet gives the word in a class; empty when it
    // gives none or several ("wines" as a verb: "wine" and "win").
    QString soleBaseForm(const QString &word, LexicalClass cls) const;
    // The classes WordNet can read the word in, through any base form.
    QList<LexicalClass> formClasses(const QString &word) const;
    // Whether WordNet records an antonym for the word as a base form, in any
    // class ("nonviolent": "violent").
    bool hasAntonym(const QString &word) const;

    struct Data;

    // Word segments [start, end) as the Unicode word-boundary rules give
    // them: a fast path for plain Latin text, else the general segmenter.
    // Both are exposed so tests can check that they agree.
    static std::vector<std::pair<qsizetype, qsizetype>> wordSegments(const QString &text);
    static std::vector<std::pair<qsizetype, qsizetype>> unicodeWordSegments(const QString &text);

private:
    const Data &data() const;

    QString m_dir;
    mutable std::once_flag m_once;
    mutable std::unique_ptr<Data> m_data;
};

} // namespace zn::language
