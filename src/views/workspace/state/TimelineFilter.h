#pragma once

#include "views/workspace/state/WorkspaceTypes.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

#include <limits>
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
// again. The copies sit back to back in one buffer, newest first, so a
// search reads memory in order; a changed text is added at the end and the
// buffer is compacted once half of it is stale. A search that extends the
// previous one narrows the previous result.
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
    // What the filter reads of an entry, copied at each refresh so a
    // keystroke touches only this table and the folded texts.
    struct Row
    {
        JournalEntry *entry;
        QString source;
        qsizetype offset; // of the folded text in m_arena
        qsizetype length;
        qint64 timestampMs;
        double score;
    };

    QByteArrayView foldedText(const Row &row) const
    {
        return QByteArrayView(m_arena.constData() + row.offset, row.length);
    }
    void compact();

    struct DayRange
    {
        qint64 startMs = std::numeric_limits<qint64>::min();
        qint64 endMs = std::numeric_limits<qint64>::max();
    };
    static DayRange dayRange(const TimelineCriteria &criteria);
    static bool passesDayAndMood(const Row &row, const DayRange &day, MoodFilter mood);

    QList<JournalEntry *> m_entries;
    std::vector<Row> m_rows;
    QByteArray m_arena;
    qsizetype m_liveBytes = 0;
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
