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
// Texts are read and folded only when a search needs them, or ahead of
// that a few rows at a time through foldSome(), so taking a whole journal
// reads no text at all.
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

    // Single changes of that list, in place: only the row named is read.
    void insertEntry(qsizetype index, JournalEntry *entry);
    void removeEntry(qsizetype index);
    // The entry's text, time or score may have changed.
    void refreshEntry(qsizetype index);

    // Folds the texts of up to `rows` rows not folded yet; how many are left.
    qsizetype foldSome(qsizetype rows);
    qsizetype unfoldedRows() const { return m_unfolded; }

    // The entries passing every criterion, order kept.
    QList<JournalEntry *> apply(const TimelineCriteria &criteria);
    // The last apply()'s answer for the rows as they are now: rows added or
    // read again since then are judged by the same criteria, every other
    // row keeps its answer.
    QList<JournalEntry *> reapply();

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
        // Whether the row passed the last criteria, and whether that answer
        // is still good for the row as it is.
        bool passes = false;
        bool judged = false;
        // Whether the folded text is the entry's text now; until then
        // `source` holds the text folded last, if any.
        bool folded = false;
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
    static Row readRow(JournalEntry *entry);
    void foldRow(Row &row);
    void foldAll();
    void unfold(Row &row);
    void compactIfSparse();

    QList<JournalEntry *> m_entries;
    std::vector<Row> m_rows;
    QByteArray m_arena;
    qsizetype m_liveBytes = 0;
    qsizetype m_unfolded = 0;
    qsizetype m_foldCursor = 0; // rows before it are folded
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

    // The criteria of the last apply(), none while nothing narrows.
    struct Judgement
    {
        DayRange day;
        MoodFilter mood = MoodFilter::All;
        std::optional<QByteArray> key;
    };
    std::optional<Judgement> m_judgement;
};

} // namespace zn
