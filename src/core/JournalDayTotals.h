#pragma once

#include "core/CalendarProvider.h"
#include "platform/store/StoreError.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimeZone>

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zn {

class JournalEntry;
class ModelContainer;
struct StoreChanges;

// The local calendar day of an instant in one time zone, fast: the zone's
// offset is looked up once per stretch between two clock changes instead of
// once per instant.
class ZoneDays
{
public:
    explicit ZoneDays(QTimeZone zone = QTimeZone::systemTimeZone());
    // The Julian day of the instant's local date.
    qint64 julianDay(qint64 msecsSinceEpoch);
    // The first instant of the local day, as QDate::startOfDay() gives it.
    QDateTime startOfDay(qint64 julianDay);

private:
    int offsetAt(qint64 msecsSinceEpoch);
    struct Span {
        qint64 from;
        qint64 to; // exclusive
        int offsetSeconds;
    };
    QTimeZone m_zone;
    std::vector<Span> m_spans; // sorted, disjoint
};

// Keyword counts in the compact form the entry encoder writes
// ({"a":1,"b":2}: keys ascending, printable ASCII, no escapes, plain
// digits), parsed without building JSON objects. False for anything else,
// which the caller then reads with decodeKeywordFrequencies().
bool parseCompactKeywords(const QByteArray &data, std::vector<std::pair<std::string_view, int>> &out);

// Words as small numbers, so that totals are sums into an array.
class WordTable
{
public:
    int idOf(std::string_view utf8);
    const QString &word(int id) const { return m_words[std::size_t(id)]; }
    int size() const { return int(m_words.size()); }

private:
    // Open addressing over the words' bytes: a journal's keywords are a few
    // thousand words looked up hundreds of thousands of times.
    struct Slot {
        quint64 hash = 0;
        int id = -1;
    };
    void grow();
    std::vector<Slot> m_slots = std::vector<Slot>(1024);
    std::vector<std::string> m_bytes;
    std::vector<QString> m_words;
};

// Per-day totals of the non-draft entries of one store (count, sum of
// scores, keyword totals), so that a summary over 7, 30 or 365 days adds up
// days instead of reading every entry. Kept beside its container: every
// save there marks the rows it wrote, and the next refresh() re-reads just
// those rows. Main thread only.
class JournalDayTotals final : public QObject
{
    Q_OBJECT
public:
    // One entry's share, as last read from the store.
    struct Row {
        qint64 msecs = 0;
        double score = 0.0;
        qint64 julianDay = 0;
        std::vector<std::pair<int, int>> keywords; // word id, count
    };

    struct Day {
        qint64 julianDay = 0;
        std::vector<qint64> rowIds; // ascending
        double sum = 0.0;           // scores added in row order
        std::vector<std::pair<int, qint64>> keywords; // word id ascending
        QDateTime start;            // first instant, in the calendar's zone
        QString key;                // the calendar's day key
        int count() const { return int(rowIds.size()); }
    };

    static JournalDayTotals &of(ModelContainer &container);

    // Brings the totals up to date with the store for `calendar` (another
    // calendar or time zone rebuilds them). False on a read error; the
    // totals are then unusable until a later refresh succeeds.
    bool refresh(const CalendarProvider &calendar, StoreError *error = nullptr);
    // The same, but a rebuild takes the rows from `everyRow` instead of
    // reading the store: the results of a live query over every saved entry
    // (or every non-draft one) whose context holds no unsaved change to
    // their dates, scores, keywords or draft flags, which are then the
    // store's values.
    bool refresh(const CalendarProvider &calendar, const QList<JournalEntry *> &everyRow);

    const Row *row(qint64 rowId) const;
    // Days from `firstDay` to `lastDay` (Julian days) that hold entries, in
    // ascending order.
    std::vector<const Day *> days(qint64 firstDay, qint64 lastDay) const;
    const Day *day(qint64 julianDay) const;
    const WordTable &words() const { return m_words; }
    ZoneDays &zoneDays() { return m_zoneDays; }
    int entryCount() const { return int(m_rows.size()); }

    // Rebuilds from the whole store on the next refresh (another process
    // wrote to it, say).
    void invalidate() { m_built = false; }

private:
    explicit JournalDayTotals(ModelContainer &container);
    void noteSaved(const StoreChanges &changes);
    bool rebuild(const CalendarProvider &calendar, StoreError *error, const QList<JournalEntry *> *everyRow);
    bool refresh(const CalendarProvider &calendar, StoreError *error, const QList<JournalEntry *> *everyRow);
    bool reread(const QList<qint64> &rowIds, StoreError *error);
    void addRow(qint64 rowId, const std::vector<QVariant> &values);
    void dropRow(qint64 rowId);
    void settle(Day &day);

    std::vector<qint64> m_scratch; // per word id, zero between uses
    std::vector<std::pair<std::string_view, int>> m_parsed; // one row's keywords, reused

    ModelContainer &m_container;
    QString m_calendarTag;
    CalendarProvider m_calendarCopy;
    ZoneDays m_zoneDays;
    WordTable m_words;
    QHash<qint64, Row> m_rows;
    std::map<qint64, Day> m_days;
    QSet<qint64> m_pending;
    QSet<qint64> m_touchedDays;
    bool m_built = false;
};

} // namespace zn
