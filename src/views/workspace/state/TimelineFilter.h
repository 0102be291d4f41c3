#pragma once

#include "views/workspace/state/WorkspaceTypes.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

#include <optional>
#include <vector>

namespace zn {

class JournalEntry;

// What narrows the timeline: a day [start, end), a mood chip and a search.
struct TimelineCriteria
{
    std::optional<QDateTime> dayStart;
    std::optional<QDateTime> dayEnd;
    MoodFilter mood = MoodFilter::All;
    QString searchText;
};

// The timeline's filter. Keeps a case-folded, composed copy of every
// entry's text, refreshed only for texts that changed, so a search
// keystroke costs one byte search per entry instead of folding every text
// again. A search that extends the previous one narrows the previous
// result.
//
// The search is case-insensitive and diacritic-sensitive; precomposed and
// decomposed spellings match alike, and a match never ends inside a
// character that carries combining marks.
class TimelineFilter
{
public:
    // Takes the entries in display order; texts unchanged since the last
    // call keep their folded copies.
    void setEntries(const QList<JournalEntry *> &entries);
    const QList<JournalEntry *> &entries() const { return m_entries; }

    // The entries passing every criterion, order kept.
    QList<JournalEntry *> apply(const TimelineCriteria &criteria);

    // Lower-cased (full case folding where Qt has it), NFC, as UTF-8.
    static QByteArray fold(const QString &text);
    // The search as folded bytes: trimmed of white space and newlines;
    // none when nothing is left.
    static std::optional<QByteArray> searchKey(const QString &searchText);
    // Whether `haystack` contains `needle` (both folded), not counting a
    // match followed by a combining mark.
    static bool containsFolded(QByteArrayView haystack, QByteArrayView needle);

private:
    struct Row
    {
        JournalEntry *entry;
        QString source;
        QByteArray folded;
    };

    bool passesDayAndMood(const Row &row, const TimelineCriteria &criteria) const;

    QList<JournalEntry *> m_entries;
    std::vector<Row> m_rows;
    quint64 m_generation = 0;

    // The last search, for narrowing the next keystroke.
    struct LastSearch
    {
        quint64 generation = 0;
        std::optional<QDateTime> dayStart;
        MoodFilter mood = MoodFilter::All;
        QByteArray key;
        std::vector<int> rows;
    };
    std::optional<LastSearch> m_last;
};

} // namespace zn
