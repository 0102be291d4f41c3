#pragma once

#include "core/JournalEntry.h"

#include <QSet>
#include <QString>
#include <QStringList>

namespace zn {

// Words that say nothing on a keyword chip ("feeling", "today", "it's", …),
// lower-case with plain ASCII apostrophes. Built once, shared.
const QSet<QString> &displayStopWords();

// A short title for an entry: its first sentence when that ends early enough,
// else its first line, cut at a word boundary with "…" when longer than
// `limit` characters. "Untitled" for blank text.
QString entryTitle(const QString &text, int limit = 48);

// Up to 8 keyword words, most frequent first, ties in word order.
QStringList topKeywords(const KeywordFrequencies &frequencies);
QStringList topKeywords(const JournalEntry &entry);

// The chips shown for an entry: a finished reflection's theme labels when
// any survive the stop words, else its own keywords of at least 4
// characters. At most `limit`, in the given order, nothing de-duplicated.
QStringList displayKeywords(const QStringList &themes, InsightStatus status,
                            const QStringList &keywords, int limit);

} // namespace zn
