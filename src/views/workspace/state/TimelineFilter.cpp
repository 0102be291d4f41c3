#include "views/workspace/state/TimelineFilter.h"

#include "core/JournalEntry.h"
#include "core/TextUnits.h"
#include "platform/language/TextBoundaries.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zn {
namespace {

bool isAscii(QStringView text)
{
    for (QChar c : text)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

// The code point starting at `at`, or none at the end or mid-sequence.
char32_t decodeAt(QByteArrayView bytes, qsizetype at)
{
    if (at >= bytes.size())
        return 0;
    const auto b0 = static_cast<unsigned char>(bytes[at]);
    if (b0 < 0x80)
        return b0;
    int extra = 0;
    char32_t cp = 0;
    if ((b0 & 0xE0) == 0xC0) {
        extra = 1;
        cp = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2;
        cp = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3;
        cp = b0 & 0x07;
    } else {
        return 0;
    }
    if (at + extra >= bytes.size())
        return 0;
    for (int i = 1; i <= extra; ++i)
        cp = (cp << 6) | (static_cast<unsigned char>(bytes[at + i]) & 0x3F);
    return cp;
}

bool isCombining(char32_t cp)
{
    if (cp < 0x300)
        return false;
    switch (QChar::category(cp)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
        return true;
    default:
        return cp == 0x200D; // a joiner glues the next character on
    }
}

bool hasCombining(QByteArrayView folded)
{
    for (qsizetype i = 0; i < folded.size(); ++i)
        if (static_cast<unsigned char>(folded[i]) >= 0x80 && isCombining(decodeAt(folded, i)))
            return true;
    return false;
}

// The first occurrence of `needle` (k bytes) in `hay` (n bytes), or null.
// Compares the needle's first and last byte against 16 positions at a time
// and checks the rest only where both agree: no set-up per call, so one
// search per entry stays cheap.
const char *findBytes(const char *hay, size_t n, const char *needle, size_t k)
{
    if (k == 0)
        return hay;
    if (k > n)
        return nullptr;
    if (k == 1)
        return static_cast<const char *>(std::memchr(hay, needle[0], n));
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i first = _mm_set1_epi8(needle[0]);
    const __m128i last = _mm_set1_epi8(needle[k - 1]);
    for (; i + k - 1 + 16 <= n; i += 16) {
        const __m128i blockFirst = _mm_loadu_si128(reinterpret_cast<const __m128i *>(hay + i));
        const __m128i blockLast = _mm_loadu_si128(reinterpret_cast<const __m128i *>(hay + i + k - 1));
        unsigned mask = unsigned(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi8(blockFirst, first), _mm_cmpeq_epi8(blockLast, last))));
        while (mask) {
            const unsigned bit = unsigned(__builtin_ctz(mask));
            if (std::memcmp(hay + i + bit + 1, needle + 1, k - 2) == 0)
                return hay + i + bit;
            mask &= mask - 1;
        }
    }
#endif
    for (; i + k <= n; ++i)
        if (hay[i] == needle[0] && std::memcmp(hay + i + 1, needle + 1, k - 1) == 0)
            return hay + i;
    return nullptr;
}

// An unchanged text shares its data with the copy kept here: one pointer
// comparison instead of reading a whole journal of text on every refresh.
bool sameText(const QString &a, const QString &b)
{
    return a.size() == b.size() && (a.constData() == b.constData() || a == b);
}

} // namespace

QByteArray TimelineFilter::fold(const QString &text)
{
    if (isAscii(text)) {
        // Most journals are plain ASCII: lower-case byte by byte.
        QByteArray out(text.size(), Qt::Uninitialized);
        char *dst = out.data();
        const QChar *src = text.constData();
        for (qsizetype i = 0; i < text.size(); ++i) {
            const auto c = static_cast<char>(src[i].unicode());
            dst[i] = (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c;
        }
        return out;
    }
    // Folding first, then composing, so "É", "É" and "é" all end as "é".
    // (Qt's own composition is quadratic on long decomposed text.)
    return language::composed(text.toCaseFolded()).toUtf8();
}

std::optional<QByteArray> TimelineFilter::searchKey(const QString &searchText)
{
    const QString needle = text::trimmed(searchText);
    if (needle.isEmpty())
        return std::nullopt;
    return fold(needle);
}

bool TimelineFilter::containsFolded(QByteArrayView haystack, QByteArrayView needle)
{
    if (needle.isEmpty())
        return true;
    const char *base = haystack.data();
    qsizetype from = 0;
    while (from + needle.size() <= haystack.size()) {
        const char *hit = findBytes(base + from, size_t(haystack.size() - from), needle.data(), size_t(needle.size()));
        if (!hit)
            return false;
        const qsizetype at = hit - base;
        const qsizetype end = at + needle.size();
        // "e" must not find the "e" of "e" + combining acute.
        if (end >= haystack.size() || static_cast<unsigned char>(haystack[end]) < 0x80
            || !isCombining(decodeAt(haystack, end)))
            return true;
        from = at + 1;
    }
    return false;
}

void TimelineFilter::setEntries(const QList<JournalEntry *> &entries)
{
    // Most refreshes keep every row in place; others look rows up by entry.
    QHash<JournalEntry *, qsizetype> previous;
    auto oldRow = [&](qsizetype index, JournalEntry *entry) -> Row * {
        if (index < qsizetype(m_rows.size()) && m_rows[size_t(index)].entry == entry)
            return &m_rows[size_t(index)];
        if (previous.isEmpty()) {
            previous.reserve(qsizetype(m_rows.size()));
            for (qsizetype i = 0; i < qsizetype(m_rows.size()); ++i)
                previous.insert(m_rows[size_t(i)].entry, i);
        }
        const auto it = previous.constFind(entry);
        return it == previous.cend() ? nullptr : &m_rows[size_t(*it)];
    };

    std::vector<Row> rows;
    rows.reserve(size_t(entries.size()));
    m_liveBytes = 0;
    for (qsizetype index = 0; index < entries.size(); ++index) {
        JournalEntry *entry = entries[index];
        Row row = readRow(entry);
        // The text folded last stays, to be checked against the entry's
        // when next needed. A moved-from row has an empty source and never
        // matches a second time, except an empty text, which folds to
        // nothing anyway.
        if (Row *old = oldRow(index, entry)) {
            row.source = std::move(old->source);
            row.offset = old->offset;
            row.length = old->length;
        }
        m_liveBytes += row.length;
        rows.push_back(std::move(row));
    }
    m_rows = std::move(rows);
    m_unfolded = qsizetype(m_rows.size());
    m_foldCursor = 0;
    compactIfSparse();
    m_entries = entries;
    // Scores and timestamps may have moved too: no narrowing across this.
    ++m_generation;
}

TimelineFilter::Row TimelineFilter::readRow(JournalEntry *entry)
{
    // The stored instant is read raw: only its order matters here.
    return Row{entry, QString(), 0, 0, entry->value(JournalEntry::Timestamp).toDateTime().toMSecsSinceEpoch(),
               entry->sentimentScore()};
}

void TimelineFilter::insertEntry(qsizetype index, JournalEntry *entry)
{
    m_rows.insert(m_rows.begin() + index, readRow(entry));
    m_entries.insert(index, entry);
    ++m_unfolded;
    m_foldCursor = std::min(m_foldCursor, index);
    ++m_generation;
}

void TimelineFilter::removeEntry(qsizetype index)
{
    const Row &row = m_rows[size_t(index)];
    m_liveBytes -= row.length;
    if (!row.folded)
        --m_unfolded;
    if (index < m_foldCursor)
        --m_foldCursor;
    m_rows.erase(m_rows.begin() + index);
    m_entries.removeAt(index);
    compactIfSparse();
    ++m_generation;
}

void TimelineFilter::refreshEntry(qsizetype index)
{
    Row &row = m_rows[size_t(index)];
    const Row fresh = readRow(row.entry);
    row.timestampMs = fresh.timestampMs;
    row.score = fresh.score;
    row.judged = false;
    unfold(row);
    m_foldCursor = std::min(m_foldCursor, index);
    ++m_generation;
}

void TimelineFilter::unfold(Row &row)
{
    if (row.folded) {
        row.folded = false;
        ++m_unfolded;
    }
}

void TimelineFilter::foldRow(Row &row)
{
    if (row.folded)
        return;
    QString text = row.entry->rawText();
    if (!sameText(row.source, text)) {
        m_liveBytes -= row.length;
        const QByteArray folded = fold(text);
        row.offset = m_arena.size();
        row.length = folded.size();
        m_arena.append(folded);
        m_liveBytes += row.length;
        row.source = std::move(text);
    }
    row.folded = true;
    --m_unfolded;
}

qsizetype TimelineFilter::foldSome(qsizetype rows)
{
    for (; m_unfolded > 0 && rows > 0 && m_foldCursor < qsizetype(m_rows.size()); ++m_foldCursor) {
        Row &row = m_rows[size_t(m_foldCursor)];
        if (!row.folded) {
            foldRow(row);
            --rows;
        }
    }
    compactIfSparse();
    return m_unfolded;
}

void TimelineFilter::foldAll()
{
    if (m_unfolded > 0)
        foldSome(qsizetype(m_rows.size()));
}

void TimelineFilter::compactIfSparse()
{
    if (m_arena.size() > 2 * m_liveBytes + 4096)
        compact();
}

void TimelineFilter::compact()
{
    QByteArray arena;
    arena.reserve(m_liveBytes);
    for (Row &row : m_rows) {
        const qsizetype offset = arena.size();
        arena.append(foldedText(row));
        row.offset = offset;
    }
    m_arena = std::move(arena);
}

bool TimelineFilter::passesDayAndMood(const Row &row, const DayRange &day, MoodFilter mood)
{
    if (row.timestampMs < day.startMs || row.timestampMs >= day.endMs)
        return false;
    return mood == MoodFilter::All || moodBucket(row.score) == mood;
}

TimelineFilter::DayRange TimelineFilter::dayRange(const TimelineCriteria &criteria)
{
    DayRange range;
    if (criteria.dayStart) {
        range.startMs = criteria.dayStart->toMSecsSinceEpoch();
        if (criteria.dayEnd)
            range.endMs = criteria.dayEnd->toMSecsSinceEpoch();
    }
    return range;
}

QList<JournalEntry *> TimelineFilter::apply(const TimelineCriteria &criteria)
{
    const std::optional<QByteArray> key = searchKey(criteria.searchText);
    const DayRange day = dayRange(criteria);
    QList<JournalEntry *> out;

    if (!key) {
        m_last.reset();
        if (!criteria.dayStart && criteria.mood == MoodFilter::All) {
            m_judgement.reset();
            return m_entries;
        }
        m_judgement = Judgement{day, criteria.mood, std::nullopt};
        for (Row &row : m_rows) {
            row.passes = passesDayAndMood(row, day, criteria.mood);
            row.judged = true;
            if (row.passes)
                out.append(row.entry);
        }
        return out;
    }
    m_judgement = Judgement{day, criteria.mood, key};
    foldAll();

    // Only a search over the very same rows that extends the last key may
    // reuse its result; a combining mark in the new key could end a match
    // the old key was refused at, so such keys start afresh.
    const bool narrows = m_last && m_last->generation == m_generation && m_last->dayStart == criteria.dayStart
        && m_last->mood == criteria.mood && key->contains(m_last->key) && !hasCombining(*key);

    LastSearch next{m_generation, criteria.dayStart, criteria.mood, *key, {}};
    const QByteArrayView needle(*key);
    const size_t candidates = narrows ? m_last->rows.size() : m_rows.size();
    next.rows.reserve(candidates);
    out.reserve(qsizetype(candidates));
    // Rows a narrowed search skips did not pass the search it narrows.
    for (Row &row : m_rows) {
        row.passes = false;
        row.judged = true;
    }
    auto consider = [&](int index) {
        Row &row = m_rows[size_t(index)];
        if (passesDayAndMood(row, day, criteria.mood) && containsFolded(foldedText(row), needle)) {
            row.passes = true;
            next.rows.push_back(index);
            out.append(row.entry);
        }
    };
    if (narrows) {
        for (int index : m_last->rows)
            consider(index);
    } else {
        for (int index = 0; index < int(m_rows.size()); ++index)
            consider(index);
    }
    m_last = std::move(next);
    return out;
}

QList<JournalEntry *> TimelineFilter::reapply()
{
    if (!m_judgement)
        return m_entries;
    const Judgement &j = *m_judgement;
    QList<JournalEntry *> out;
    for (Row &row : m_rows) {
        if (!row.judged) {
            row.passes = passesDayAndMood(row, j.day, j.mood);
            if (row.passes && j.key) {
                foldRow(row);
                row.passes = containsFolded(foldedText(row), QByteArrayView(*j.key));
            }
            row.judged = true;
        }
        if (row.passes)
            out.append(row.entry);
    }
    return out;
}

} // namespace zn
