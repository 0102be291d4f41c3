#include "core/JournalDayTotals.h"

#include "core/JournalEntry.h"
#include "platform/store/ModelContainer.h"
#include "platform/store/ModelContext.h"

#include <algorithm>
#include <limits>

namespace zn {
namespace {

constexpr qint64 kDayMs = 86'400'000;
constexpr qint64 kJulianDayOfEpoch = 2'440'588; // 1970-01-01

qint64 floorDiv(qint64 a, qint64 b)
{
    const qint64 q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

// Fields read per entry, in this order.
const QList<int> &totalFields()
{
    static const QList<int> fields{JournalEntry::Timestamp, JournalEntry::SentimentScore,
                                   JournalEntry::KeywordFrequenciesData, JournalEntry::IsDraft};
    return fields;
}

} // namespace

ZoneDays::ZoneDays(QTimeZone zone)
    : m_zone(zone.isValid() ? std::move(zone) : QTimeZone::systemTimeZone())
{
}

int ZoneDays::offsetAt(qint64 msecs)
{
    auto it = std::upper_bound(m_spans.begin(), m_spans.end(), msecs,
                               [](qint64 ms, const Span &s) { return ms < s.from; });
    if (it == m_spans.begin() || msecs >= std::prev(it)->to) {
        // Unknown stretch: ask the zone once for its offset here and for the
        // clock changes around it.
        const QDateTime at = QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC);
        Span span{std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max(), m_zone.offsetFromUtc(at)};
        if (m_zone.hasTransitions()) {
            // The change at or before this instant, and the first after it.
            const QTimeZone::OffsetData before = m_zone.previousTransition(at.addMSecs(1));
            const QTimeZone::OffsetData after = m_zone.nextTransition(at);
            if (before.atUtc.isValid())
                span.from = before.atUtc.toMSecsSinceEpoch();
            if (after.atUtc.isValid())
                span.to = after.atUtc.toMSecsSinceEpoch();
            // Never let a span swallow one already known.
            if (it != m_spans.end())
                span.to = std::min(span.to, it->from);
            if (it != m_spans.begin())
                span.from = std::max(span.from, std::prev(it)->to);
            if (span.from > msecs || span.to <= msecs)
                span.from = msecs, span.to = msecs + 1;
        }
        it = m_spans.insert(it, span);
        ++it;
    }
    return std::prev(it)->offsetSeconds;
}

qint64 ZoneDays::julianDay(qint64 msecs)
{
    return floorDiv(msecs + qint64(offsetAt(msecs)) * 1000, kDayMs) + kJulianDayOfEpoch;
}

QDateTime ZoneDays::startOfDay(qint64 julianDay)
{
    // Local midnight at the offset in force around then; when that is not
    // the day's first instant (clocks skipping midnight), the zone database
    // decides.
    const qint64 midnight = (julianDay - kJulianDayOfEpoch) * kDayMs;
    for (qint64 near : {midnight, midnight - kDayMs / 2, midnight + kDayMs / 2}) {
        const qint64 candidate = midnight - qint64(offsetAt(near)) * 1000;
        if (this->julianDay(candidate) == julianDay && this->julianDay(candidate - 1) == julianDay - 1)
            return QDateTime::fromMSecsSinceEpoch(candidate, m_zone);
    }
    return QDate::fromJulianDay(julianDay).startOfDay(m_zone);
}

bool parseCompactKeywords(const QByteArray &data, std::vector<std::pair<std::string_view, int>> &out)
{
    out.clear();
    const char *p = data.constData();
    const char *const end = p + data.size();
    if (p == end)
        return true;
    if (*p++ != '{')
        return false;
    if (p < end && *p == '}')
        return p + 1 == end;
    std::string_view previous;
    bool first = true;
    while (p < end) {
        if (*p++ != '"')
            return false;
        const char *keyStart = p;
        while (p < end && *p != '"') {
            const unsigned char c = static_cast<unsigned char>(*p);
            if (c < 0x20 || c > 0x7E || c == '\\')
                return false;
            ++p;
        }
        if (p == end)
            return false;
        const std::string_view key(keyStart, std::size_t(p - keyStart));
        ++p;
        if (!first && !(previous < key))
            return false;
        if (p == end || *p++ != ':')
            return false;
        const char *digits = p;
        int value = 0;
        while (p < end && *p >= '0' && *p <= '9') {
            value = value * 10 + (*p - '0');
            ++p;
            if (p - digits > 9)
                return false;
        }
        const qsizetype digitCount = p - digits;
        if (digitCount == 0 || (digitCount > 1 && *digits == '0'))
            return false;
        out.emplace_back(key, value);
        previous = key;
        first = false;
        if (p == end)
            return false;
        if (*p == '}')
            return p + 1 == end;
        if (*p++ != ',')
            return false;
    }
    return false;
}

namespace {

quint64 hashOf(std::string_view bytes)
{
    quint64 h = 1469598103934665603ull; // FNV-1a
    for (char c : bytes) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211ull;
    }
    return h ^ (h >> 29);
}

} // namespace

int WordTable::idOf(std::string_view utf8)
{
    const quint64 hash = hashOf(utf8);
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t i = std::size_t(hash) & mask;; i = (i + 1) & mask) {
        Slot &slot = m_slots[i];
        if (slot.id < 0) {
            slot = {hash, int(m_words.size())};
            m_bytes.emplace_back(utf8);
            m_words.push_back(QString::fromUtf8(utf8.data(), qsizetype(utf8.size())));
            if (m_words.size() * 2 > m_slots.size())
                grow();
            return int(m_words.size()) - 1;
        }
        if (slot.hash == hash && m_bytes[std::size_t(slot.id)] == utf8)
            return slot.id;
    }
}

void WordTable::grow()
{
    std::vector<Slot> old(m_slots.size() * 2);
    old.swap(m_slots);
    const std::size_t mask = m_slots.size() - 1;
    for (const Slot &slot : old) {
        if (slot.id < 0)
            continue;
        std::size_t i = std::size_t(slot.hash) & mask;
        while (m_slots[i].id >= 0)
            i = (i + 1) & mask;
        m_slots[i] = slot;
    }
}

JournalDayTotals::JournalDayTotals(ModelContainer &container)
    : QObject(&container)
    , m_container(container)
{
    // Ahead of every context: a view asks for a summary as soon as its
    // query has taken a save in, and the rows must be marked by then.
    connect(&container, &ModelContainer::rowsWritten, this, &JournalDayTotals::noteSaved);
}

JournalDayTotals &JournalDayTotals::of(ModelContainer &container)
{
    if (auto *existing = container.findChild<JournalDayTotals *>(QString(), Qt::FindDirectChildrenOnly))
        return *existing;
    return *new JournalDayTotals(container);
}

void JournalDayTotals::noteSaved(const StoreChanges &changes)
{
    if (!m_built)
        return;
    const QString &entity = JournalEntry::entityDescriptor().name;
    // Updates that wrote none of the summed fields (a reflection's status
    // set over a whole journal) leave every total as it is.
    const auto written = changes.updatedFields.constFind(entity);
    const bool updatesCount = written == changes.updatedFields.cend()
        || std::any_of(totalFields().cbegin(), totalFields().cend(), [&](int f) { return written->contains(f); });
    for (const auto *ids : {&changes.inserted, &changes.updated, &changes.deleted}) {
        if (ids == &changes.updated && !updatesCount)
            continue;
        for (qint64 id : ids->value(entity))
            m_pending.insert(id);
    }
}

bool JournalDayTotals::refresh(const CalendarProvider &calendar, StoreError *error)
{
    return refresh(calendar, error, nullptr);
}

bool JournalDayTotals::refresh(const CalendarProvider &calendar, const QList<JournalEntry *> &everyRow)
{
    return refresh(calendar, nullptr, &everyRow);
}

bool JournalDayTotals::refresh(const CalendarProvider &calendar, StoreError *error,
                               const QList<JournalEntry *> *everyRow)
{
    const QString tag = calendar.calendar().name() + u'|' + QString::fromUtf8(calendar.timeZone().id());
    bool ok = true;
    if (!m_built || tag != m_calendarTag) {
        m_calendarTag = tag;
        m_calendarCopy = calendar;
        ok = rebuild(calendar, error, everyRow);
    } else if (!m_pending.isEmpty()) {
        const QList<qint64> ids(m_pending.cbegin(), m_pending.cend());
        m_pending.clear();
        ok = reread(ids, error);
    }
    if (!ok) {
        m_built = false;
        return false;
    }
    for (qint64 jd : std::as_const(m_touchedDays)) {
        auto it = m_days.find(jd);
        if (it != m_days.end())
            settle(it->second);
    }
    m_touchedDays.clear();
    return true;
}

bool JournalDayTotals::rebuild(const CalendarProvider &calendar, StoreError *error,
                               const QList<JournalEntry *> *everyRow)
{
    m_rows.clear();
    m_days.clear();
    m_pending.clear();
    m_touchedDays.clear();
    m_zoneDays = ZoneDays(calendar.timeZone());
    m_built = true;
    if (everyRow) {
        // The objects hold what the store holds: no second read of the table.
        std::vector<QVariant> values(size_t(totalFields().size()));
        for (const JournalEntry *entry : *everyRow) {
            if (!entry || entry->isUnsaved() || entry->isDeleted())
                continue;
            for (qsizetype i = 0; i < totalFields().size(); ++i)
                values[size_t(i)] = entry->value(totalFields()[i]);
            addRow(entry->rowId(), values);
        }
        return true;
    }
    return m_container.readFields(JournalEntry::entityDescriptor(), totalFields(), nullptr,
                                  [this](qint64 rowId, const std::vector<QVariant> &values) { addRow(rowId, values); },
                                  error);
}

bool JournalDayTotals::reread(const QList<qint64> &rowIds, StoreError *error)
{
    for (qint64 id : rowIds)
        dropRow(id);
    return m_container.readFields(JournalEntry::entityDescriptor(), totalFields(), &rowIds,
                                  [this](qint64 rowId, const std::vector<QVariant> &values) { addRow(rowId, values); },
                                  error);
}

void JournalDayTotals::addRow(qint64 rowId, const std::vector<QVariant> &values)
{
    const QDateTime when = values[0].toDateTime();
    if (values[3].toBool() || !when.isValid())
        return;
    Row row;
    row.msecs = when.toMSecsSinceEpoch();
    row.score = values[1].toDouble();
    row.julianDay = m_zoneDays.julianDay(row.msecs);
    const QByteArray data = values[2].toByteArray();
    std::vector<std::pair<std::string_view, int>> &compact = m_parsed;
    if (parseCompactKeywords(data, compact)) {
        row.keywords.reserve(compact.size());
        for (const auto &[word, count] : compact)
            row.keywords.emplace_back(m_words.idOf(word), count);
    } else {
        const KeywordFrequencies decoded = decodeKeywordFrequencies(data);
        for (auto it = decoded.cbegin(); it != decoded.cend(); ++it)
            row.keywords.emplace_back(m_words.idOf(it.key().toStdString()), it.value());
    }
    Day &day = m_days[row.julianDay];
    day.julianDay = row.julianDay;
    day.rowIds.insert(std::upper_bound(day.rowIds.begin(), day.rowIds.end(), rowId), rowId);
    m_touchedDays.insert(row.julianDay);
    m_rows.insert(rowId, std::move(row));
}

void JournalDayTotals::dropRow(qint64 rowId)
{
    const auto found = m_rows.constFind(rowId);
    if (found == m_rows.constEnd())
        return;
    const qint64 jd = found->julianDay;
    m_rows.erase(found);
    const auto day = m_days.find(jd);
    if (day == m_days.end())
        return;
    std::erase(day->second.rowIds, rowId);
    if (day->second.rowIds.empty()) {
        m_days.erase(day);
        m_touchedDays.remove(jd);
    } else {
        m_touchedDays.insert(jd);
    }
}

void JournalDayTotals::settle(Day &day)
{
    // Recomputed from the day's rows in row order, never adjusted by
    // subtraction: the totals stay equal to a fresh build to the last bit.
    day.sum = 0.0;
    m_scratch.resize(std::size_t(m_words.size()), 0);
    std::vector<int> used;
    for (qint64 id : day.rowIds) {
        const Row &row = *m_rows.constFind(id);
        day.sum += row.score;
        for (const auto &[word, count] : row.keywords) {
            qint64 &total = m_scratch[std::size_t(word)];
            if (total == 0)
                used.push_back(word);
            total += count;
        }
    }
    std::sort(used.begin(), used.end());
    used.erase(std::unique(used.begin(), used.end()), used.end()); // totals passing through 0
    day.keywords.clear();
    day.keywords.reserve(used.size());
    for (int word : used) {
        // A word whose counts cancel out to 0 is still listed, at 0.
        day.keywords.emplace_back(word, m_scratch[std::size_t(word)]);
        m_scratch[std::size_t(word)] = 0;
    }
    if (!day.start.isValid()) {
        day.start = m_zoneDays.startOfDay(day.julianDay);
        day.key = m_calendarCopy.dayKey(day.start);
    }
}

const JournalDayTotals::Row *JournalDayTotals::row(qint64 rowId) const
{
    const auto found = m_rows.constFind(rowId);
    return found == m_rows.constEnd() ? nullptr : &*found;
}

std::vector<const JournalDayTotals::Day *> JournalDayTotals::days(qint64 firstDay, qint64 lastDay) const
{
    std::vector<const Day *> out;
    for (auto it = m_days.lower_bound(firstDay); it != m_days.end() && it->first <= lastDay; ++it)
        out.push_back(&it->second);
    return out;
}

const JournalDayTotals::Day *JournalDayTotals::day(qint64 julianDay) const
{
    const auto found = m_days.find(julianDay);
    return found == m_days.end() ? nullptr : &found->second;
}

} // namespace zn
