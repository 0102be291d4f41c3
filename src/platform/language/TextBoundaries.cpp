#include "platform/language/TextBoundaries.h"

#include <unicode/ubrk.h>
#include <unicode/unorm2.h>

#include <array>
#include <climits>

namespace zn::language {
namespace {

UBreakIteratorType icuType(TextBoundaries::Kind kind)
{
    switch (kind) {
    case TextBoundaries::Kind::Grapheme: return UBRK_CHARACTER;
    case TextBoundaries::Kind::Sentence: return UBRK_SENTENCE;
    }
    return UBRK_CHARACTER;
}

// Opening an ICU iterator loads and clones its rules, which costs more than
// segmenting a short text; each thread keeps one idle iterator per kind.
struct IdleIterators {
    std::array<UBreakIterator *, 2> parked{};
    ~IdleIterators()
    {
        for (UBreakIterator *it : parked) {
            if (it)
                ubrk_close(it);
        }
    }
};

thread_local IdleIterators t_idle;

const UChar *icuChars(QStringView text)
{
    static const UChar empty = 0;
    return text.isEmpty() ? &empty : reinterpret_cast<const UChar *>(text.utf16());
}

} // namespace

struct TextBoundaries::Iterator {
    Kind kind;
    UBreakIterator *icu = nullptr;
};

TextBoundaries::TextBoundaries(Kind kind, QStringView text)
    : m_it(std::make_unique<Iterator>())
    , m_size(std::min<qsizetype>(text.size(), INT32_MAX))
{
    m_it->kind = kind;
    UBreakIterator *&idle = t_idle.parked[size_t(kind)];
    UErrorCode status = U_ZERO_ERROR;
    if (idle) {
        m_it->icu = idle;
        idle = nullptr;
        ubrk_setText(m_it->icu, icuChars(text), int32_t(m_size), &status);
    } else {
        m_it->icu = ubrk_open(icuType(kind), "en", icuChars(text), int32_t(m_size), &status);
    }
    if (U_FAILURE(status)) {
        if (m_it->icu)
            ubrk_close(m_it->icu);
        m_it->icu = nullptr;
    }
}

TextBoundaries::~TextBoundaries()
{
    if (!m_it->icu)
        return;
    UBreakIterator *&idle = t_idle.parked[size_t(m_it->kind)];
    if (idle) {
        ubrk_close(m_it->icu);
        return;
    }
    // Drop the reference to the text before parking the iterator.
    UErrorCode status = U_ZERO_ERROR;
    ubrk_setText(m_it->icu, icuChars({}), 0, &status);
    idle = m_it->icu;
}

qsizetype TextBoundaries::next()
{
    if (!m_it->icu) {
        // Without ICU data the whole text is one segment.
        if (m_size <= 0)
            return -1;
        const qsizetype end = m_size;
        m_size = 0;
        return end;
    }
    const int32_t b = ubrk_next(m_it->icu);
    return b == UBRK_DONE ? -1 : qsizetype(b);
}

qsizetype TextBoundaries::following(qsizetype offset)
{
    if (!m_it->icu)
        return offset < m_size ? m_size : -1;
    if (offset >= m_size)
        return -1;
    const int32_t b = ubrk_following(m_it->icu, int32_t(std::max<qsizetype>(offset, 0)));
    return b == UBRK_DONE ? -1 : qsizetype(b);
}

QString composed(const QString &text)
{
    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2 *nfc = unorm2_getNFCInstance(&status);
    if (U_FAILURE(status) || text.size() > INT32_MAX / 2)
        return text;
    const auto *src = reinterpret_cast<const UChar *>(text.utf16());
    const auto length = int32_t(text.size());
    const int32_t settled = unorm2_spanQuickCheckYes(nfc, src, length, &status);
    if (U_FAILURE(status) || settled >= length)
        return text;
    // Only the part after the settled prefix needs work; composition can
    // lengthen text slightly, so grow the buffer when ICU asks for more.
    QString out = text.left(settled);
    QString tail(length - settled + 16, Qt::Uninitialized);
    int32_t written = unorm2_normalize(nfc, src + settled, length - settled,
                                       reinterpret_cast<UChar *>(tail.data()), int32_t(tail.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        status = U_ZERO_ERROR;
        tail.resize(written);
        written = unorm2_normalize(nfc, src + settled, length - settled, reinterpret_cast<UChar *>(tail.data()),
                                   int32_t(tail.size()), &status);
    }
    if (U_FAILURE(status))
        return text;
    tail.truncate(written);
    out += tail;
    return out;
}

} // namespace zn::language
