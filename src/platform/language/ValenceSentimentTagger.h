#pragma once

#include "platform/language/LanguageTagging.h"

#include <QStringView>

namespace zn::language {

// Rule-based English sentiment: word and emoji valences from the shipped
// lexicon, adjusted for intensifiers, negation, a contrasting "but", all-caps
// emphasis and exclamation or question marks, then squashed into [-1, 1].
// An inflected form the lexicon does not list takes a listed word's valence
// only where WordNet and the word tagger show it keeps that word's sense; a
// hyphenated compound is one word; single letters carry nothing.
// Only what carries sentiment is tagged: a sentence without any gets no tag,
// and the first paragraph and the document are the mean of their tagged
// sentences, untagged when they have none. Other languages get no tags.
class ValenceSentimentTagger final : public SentimentTagger
{
public:
    SentimentTags tag(const QString &text, const QString &language) const override;

    // The score of one sentence in [-1, 1]; 0 when nothing in it carries
    // sentiment.
    static double sentenceScore(QStringView sentence);

    // Entries in the loaded lexicon (words, emoticons and emoji).
    static int lexiconSize();
};

} // namespace zn::language
