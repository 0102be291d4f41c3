#pragma once

#include "views/workspace/timeline/EntryCardFace.h"
#include "views/workspace/timeline/TimelineRows.h"

#include <QAbstractListModel>
#include <QHash>
#include <QList>
#include <QLocale>
#include <QStringList>
#include <QUuid>

#include <optional>
#include <vector>

namespace zn {

class DayWatch;
class JournalEntry;

// The timeline as one flat list of day headings and cards, for a QListView
// with a painting delegate. It never filters or sorts: it groups the entries
// it is handed by day, in first-occurrence order.
//
// Updates are incremental. A new list is compared with the shown one and
// applied as row removals and insertions, so rows that stay keep their place
// and cached faces; a changed entry updates its row alone; a selection
// change updates the two cards involved.
class TimelineListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role {
        IsHeaderRole = Qt::UserRole + 1,
        SelectedRole,
        EntryIdRole,
        DayKeyRole,
    };

    // Grouped in the watch's calendar; headings worded against its today.
    explicit TimelineListModel(DayWatch &day, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // The filtered entries in display order.
    void setEntries(const QList<JournalEntry *> &entries);
    // The same, grouped afresh: the calendar's days moved (a new time zone).
    void regroup(const QList<JournalEntry *> &entries);
    // Entries still listed whose stored fields changed.
    void entriesUpdated(const QList<JournalEntry *> &entries);
    void setSelection(const std::optional<QUuid> &id);
    std::optional<QUuid> selection() const { return m_selection; }

    bool isHeader(int row) const { return m_rows[size_t(row)].isHeader(); }
    JournalEntry *entryAt(int row) const;
    // -1 when the entry has no row.
    int rowOf(const JournalEntry *entry) const;
    // The heading row of the day `row` belongs to.
    int headerRowFor(int row) const;
    // The heading of a day row, worded against the day watch's today.
    QString headerTitle(int row) const;

    // The card's face, made on first use and again after its entry changed.
    const EntryCardFace &face(JournalEntry *entry) const;
    // The same for the card in `row`, without a look-up by entry.
    const EntryCardFace &faceAt(int row) const;
    // A per-face slot for the delegate's measured height at a width.
    struct HeightMemo
    {
        qreal titleAdvance = -1; // the title on one line; any width
        int width = -1;
        int height = 0;
    };
    HeightMemo &heightMemoAt(int row) const;

    void setLocale(const QLocale &locale);

Q_SIGNALS:
    // A row's height may have changed (its title or chips did); the view
    // lays the rows out again.
    void rowHeightChanged(const QModelIndex &index);

private:
    // More updated entries than this are measured again by one layout.
    static constexpr qsizetype kMeasuredUpdates = 64;
    struct Cached
    {
        EntryCardFace face;
        HeightMemo height;
        bool stale = false;
    };
    bool isRowIndex(const QModelIndex &index) const;
    Cached &cached(JournalEntry *entry, int slot) const;
    Cached &cached(JournalEntry *entry) const;
    void watch(JournalEntry *entry, int slot);
    void release(JournalEntry *entry);
    void rebuildRowIndex() const;
    QStringList namedDays() const;
    void dayChanged();

    DayWatch *m_day;
    // The day keys that read "Today" and "Yesterday" as last announced.
    QStringList m_namedDays;
    QLocale m_locale;
    TimelineRowBuilder m_builder;
    std::vector<TimelineRow> m_rows;
    std::optional<QUuid> m_selection;
    // Faces by the builder's slot of their entry: no hashing per row.
    mutable std::vector<std::optional<Cached>> m_faces;
    mutable QHash<const JournalEntry *, int> m_rowOf;
    mutable bool m_rowOfStale = true;
};

} // namespace zn
