#include "views/workspace/timeline/TimelineListModel.h"

#include <algorithm>
#include <utility>

#include "core/CalendarProvider.h"
#include "core/DayWatch.h"
#include "core/JournalEntry.h"
#include "views/workspace/timeline/TimelineGrouping.h"

namespace zn {

TimelineListModel::TimelineListModel(DayWatch &day, QObject *parent)
    : QAbstractListModel(parent)
    , m_day(&day)
    , m_builder(day.calendar(), [this](JournalEntry *entry, int slot) { watch(entry, slot); })
{
    m_namedDays = namedDays();
    connect(&day, &DayWatch::dayChanged, this, &TimelineListModel::dayChanged);
}

QStringList TimelineListModel::namedDays() const
{
    const QDateTime today = m_day->today();
    const CalendarProvider &calendar = m_day->calendar();
    return {calendar.dayKey(today), calendar.dayKey(calendar.addingDays(today, -1))};
}

void TimelineListModel::dayChanged()
{
    // Only the headings of the days that were or are now "Today" or
    // "Yesterday" read differently.
    const QStringList before = std::exchange(m_namedDays, namedDays());
    if (before == m_namedDays)
        return;
    for (size_t i = 0; i < m_rows.size(); ++i) {
        if (!m_rows[i].isHeader())
            continue;
        const QString &key = m_builder.day(m_rows[i].day).key;
        if (before.contains(key) || m_namedDays.contains(key)) {
            const QModelIndex at = index(int(i));
            Q_EMIT dataChanged(at, at, {Qt::DisplayRole, Qt::AccessibleTextRole});
        }
    }
}

void TimelineListModel::watch(JournalEntry *entry, int slot)
{
    if (size_t(slot) >= m_faces.size())
        m_faces.resize(size_t(slot) + 1);
    m_faces[size_t(slot)].reset();
    // A write anywhere (even while the entry is filtered out) makes what is
    // remembered of it stale: its day and its face are made again when
    // next needed.
    connect(entry, &PersistentModel::changed, this, [this, entry] {
        m_builder.invalidate(entry);
        const int at = m_builder.slotOf(entry);
        if (at >= 0 && m_faces[size_t(at)])
            m_faces[size_t(at)]->stale = true;
    });
    connect(entry, &QObject::destroyed, this, [this, entry] { release(entry); });
}

void TimelineListModel::release(JournalEntry *entry)
{
    const int slot = m_builder.slotOf(entry);
    if (slot >= 0)
        m_faces[size_t(slot)].reset();
    m_builder.release(entry);
}

int TimelineListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

bool TimelineListModel::isRowIndex(const QModelIndex &index) const
{
    return index.isValid() && index.model() == this && !index.parent().isValid() && index.column() == 0
           && index.row() >= 0 && index.row() < int(m_rows.size());
}

Qt::ItemFlags TimelineListModel::flags(const QModelIndex &index) const
{
    if (!isRowIndex(index))
        return Qt::NoItemFlags;
    if (isHeader(index.row()))
        return Qt::ItemIsEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

QVariant TimelineListModel::data(const QModelIndex &index, int role) const
{
    if (!isRowIndex(index))
        return {};
    const TimelineRow &row = m_rows[size_t(index.row())];
    if (row.isHeader()) {
        switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            return headerTitle(index.row());
        case IsHeaderRole:
            return true;
        case DayKeyRole:
            return m_builder.day(row.day).key;
        default:
            return {};
        }
    }
    switch (role) {
    case Qt::DisplayRole:
        return faceAt(index.row()).title;
    case Qt::AccessibleTextRole:
        return faceAt(index.row()).accessibleText;
    case IsHeaderRole:
        return false;
    case SelectedRole:
        return m_selection.has_value() && row.entry->id() == *m_selection;
    case EntryIdRole:
        return row.entry->id();
    case DayKeyRole:
        return m_builder.day(row.day).key;
    default:
        return {};
    }
}

JournalEntry *TimelineListModel::entryAt(int row) const
{
    if (row < 0 || row >= int(m_rows.size()))
        return nullptr;
    return m_rows[size_t(row)].entry;
}

void TimelineListModel::rebuildRowIndex() const
{
    m_rowOf.clear();
    m_rowOf.reserve(qsizetype(m_rows.size()));
    for (size_t i = 0; i < m_rows.size(); ++i)
        if (m_rows[i].entry)
            m_rowOf.insert(m_rows[i].entry, int(i));
    m_rowOfStale = false;
}

int TimelineListModel::rowOf(const JournalEntry *entry) const
{
    if (m_rowOfStale)
        rebuildRowIndex();
    return m_rowOf.value(entry, -1);
}

int TimelineListModel::headerRowFor(int row) const
{
    while (row > 0 && !m_rows[size_t(row)].isHeader())
        --row;
    return row;
}

QString TimelineListModel::headerTitle(int row) const
{
    const TimelineDay &day = m_builder.day(m_rows[size_t(row)].day);
    return dayGroupTitle(day.date, m_day->calendar(), m_day->today(), m_locale);
}

void TimelineListModel::setLocale(const QLocale &locale)
{
    if (m_locale == locale)
        return;
    m_locale = locale;
    for (std::optional<Cached> &c : m_faces)
        if (c)
            c->stale = true;
    if (!m_rows.empty())
        Q_EMIT dataChanged(index(0), index(int(m_rows.size()) - 1));
}

TimelineListModel::Cached &TimelineListModel::cached(JournalEntry *entry, int slot) const
{
    std::optional<Cached> &at = m_faces[size_t(slot)];
    if (!at) {
        at = Cached{EntryCardFace::make(*entry, m_locale, m_day->calendar().timeZone()), {}, false};
    } else if (at->stale) {
        at->face = EntryCardFace::make(*entry, m_locale, m_day->calendar().timeZone());
        at->height = {};
        at->stale = false;
    }
    return *at;
}

TimelineListModel::Cached &TimelineListModel::cached(JournalEntry *entry) const
{
    int slot = m_builder.slotOf(entry);
    if (slot < 0) {
        // Asked about an entry never listed: give it a slot now.
        auto *self = const_cast<TimelineListModel *>(this);
        (void)self->m_builder.build({entry});
        slot = m_builder.slotOf(entry);
    }
    return cached(entry, slot);
}

const EntryCardFace &TimelineListModel::face(JournalEntry *entry) const
{
    return cached(entry).face;
}

const EntryCardFace &TimelineListModel::faceAt(int row) const
{
    const TimelineRow &r = m_rows[size_t(row)];
    return cached(r.entry, r.slot).face;
}

TimelineListModel::HeightMemo &TimelineListModel::heightMemoAt(int row) const
{
    const TimelineRow &r = m_rows[size_t(row)];
    return cached(r.entry, r.slot).height;
}

void TimelineListModel::setEntries(const QList<JournalEntry *> &entries)
{
    std::vector<TimelineRow> next = m_builder.build(entries);
    std::vector<quint64> before;
    before.reserve(m_rows.size());
    for (const TimelineRow &row : m_rows)
        before.push_back(row.key());
    std::vector<quint64> after;
    after.reserve(next.size());
    for (const TimelineRow &row : next)
        after.push_back(row.key());

    const TimelineRowDiff diff = diffTimelineRows(before, after);
    m_rowOfStale = true;
    if (diff.reset) {
        beginResetModel();
        m_rows = std::move(next);
        endResetModel();
        return;
    }
    for (const auto &[first, last] : diff.removals) {
        beginRemoveRows({}, first, last);
        m_rows.erase(m_rows.begin() + first, m_rows.begin() + last + 1);
        endRemoveRows();
    }
    for (const auto &[first, last] : diff.insertions) {
        beginInsertRows({}, first, last);
        m_rows.insert(m_rows.begin() + first, next.begin() + first, next.begin() + last + 1);
        endInsertRows();
    }
    m_rows = std::move(next);
}

void TimelineListModel::regroup(const QList<JournalEntry *> &entries)
{
    beginResetModel();
    m_builder.forgetDays();
    // Card times are shown in the calendar's zone too.
    for (std::optional<Cached> &c : m_faces)
        if (c)
            c->stale = true;
    m_rows = m_builder.build(entries);
    m_rowOfStale = true;
    m_namedDays = namedDays();
    endResetModel();
}

void TimelineListModel::entriesUpdated(const QList<JournalEntry *> &entries)
{
    if (entries.size() > kMeasuredUpdates) {
        // Many at once (a status set over a whole import): every card is
        // made again when next drawn, and one layout, which the view runs
        // in batches, measures them, instead of each card measured here.
        int first = -1;
        int last = -1;
        for (JournalEntry *entry : entries) {
            const int row = rowOf(entry);
            if (row < 0)
                continue;
            if (std::optional<Cached> &known = m_faces[size_t(m_rows[size_t(row)].slot)])
                known->stale = true;
            first = first < 0 ? row : std::min(first, row);
            last = std::max(last, row);
        }
        if (first >= 0) {
            Q_EMIT dataChanged(index(first), index(last));
            Q_EMIT rowHeightChanged(index(first));
        }
        return;
    }
    for (JournalEntry *entry : entries) {
        const int row = rowOf(entry);
        if (row < 0)
            continue;
        std::optional<Cached> &known = m_faces[size_t(m_rows[size_t(row)].slot)];
        // A card never measured has no height to change.
        bool heightMayChange = false;
        if (known) {
            const EntryCardFace before = known->face;
            known->stale = true;
            const EntryCardFace &after = faceAt(row);
            heightMayChange = before.title != after.title || before.chips.isEmpty() != after.chips.isEmpty();
        }
        const QModelIndex at = index(row);
        Q_EMIT dataChanged(at, at);
        if (heightMayChange)
            Q_EMIT rowHeightChanged(at);
    }
}

void TimelineListModel::setSelection(const std::optional<QUuid> &id)
{
    if (m_selection == id)
        return;
    const std::optional<QUuid> before = std::exchange(m_selection, id);
    // Only the cards that gain or lose the highlight repaint.
    for (const auto &which : {before, id}) {
        if (!which)
            continue;
        for (size_t i = 0; i < m_rows.size(); ++i) {
            if (m_rows[i].entry && m_rows[i].entry->id() == *which) {
                const QModelIndex at = index(int(i));
                Q_EMIT dataChanged(at, at, {SelectedRole});
                break;
            }
        }
    }
}

} // namespace zn
