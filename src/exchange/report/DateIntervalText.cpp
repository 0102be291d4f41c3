#include "exchange/report/DateIntervalText.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <optional>
#include <vector>

namespace zn {
namespace {

const QString kDash = QStringLiteral(" \u2013 ");

// One piece of a QLocale date pattern: a field such as "dddd" or "yyyy", or
// one character of literal text.
struct Piece
{
    QChar field; // 'd', 'M' or 'y'; null for literal text
    int width = 0;
    QChar text;
    bool quoted = false;

    bool isField() const { return !field.isNull(); }
};
using Pieces = std::vector<Piece>;

bool isFieldLetter(QChar c)
{
    return c == u'd' || c == u'M' || c == u'y';
}

// Reads quoting the way QLocale does: '' is a quote character, inside or
// outside quoted text, and an unclosed quote runs to the end.
Pieces parsePattern(const QString &pattern)
{
    Pieces pieces;
    const qsizetype size = pattern.size();
    qsizetype i = 0;
    while (i < size) {
        const QChar c = pattern.at(i);
        if (c == u'\'') {
            if (i + 1 < size && pattern.at(i + 1) == u'\'') {
                pieces.push_back({{}, 0, c, true});
                i += 2;
                continue;
            }
            for (++i; i < size; ++i) {
                if (pattern.at(i) == u'\'') {
                    if (i + 1 < size && pattern.at(i + 1) == u'\'') {
                        pieces.push_back({{}, 0, u'\'', true});
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                pieces.push_back({{}, 0, pattern.at(i), true});
            }
        } else if (isFieldLetter(c)) {
            qsizetype end = i;
            while (end < size && pattern.at(end) == c)
                ++end;
            pieces.push_back({c, int(end - i), {}, false});
            i = end;
        } else {
            pieces.push_back({{}, 0, c, false});
            ++i;
        }
    }
    return pieces;
}

QString writePattern(const Pieces &pieces)
{
    QString out;
    for (std::size_t i = 0; i < pieces.size();) {
        const Piece &piece = pieces[i];
        if (piece.isField()) {
            out += QString(piece.width, piece.field);
            ++i;
        } else if (!piece.quoted) {
            out += piece.text;
            ++i;
        } else {
            // A run of quoted text goes back in one pair of quotes; a run
            // of nothing but quote characters needs none.
            QString run;
            bool onlyQuotes = true;
            for (; i < pieces.size() && !pieces[i].isField() && pieces[i].quoted; ++i) {
                run += pieces[i].text == u'\'' ? QStringLiteral("''") : QString(pieces[i].text);
                onlyQuotes = onlyQuotes && pieces[i].text == u'\'';
            }
            out += onlyQuotes ? run : u'\'' + run + u'\'';
        }
    }
    return out;
}

// Commas, colons and semicolons of every script: punctuation that joins
// the parts of a date. A period is not one: after a number it is the
// ordinal dot of "2." or "2026." and belongs to that field.
bool isJoiningMark(QChar c)
{
    const char32_t code = c.unicode();
    return u_hasBinaryProperty(code, UCHAR_TERMINAL_PUNCTUATION) && !u_hasBinaryProperty(code, UCHAR_S_TERM);
}

bool isSeparator(QChar c)
{
    return c.isSpace() || isJoiningMark(c) || c.category() == QChar::Punctuation_Dash;
}

// The literal text between a field and its neighbour, split where the
// separator between them stands: [0, start) stays with the neighbour,
// [start, end) is the separator and the rest belongs to the field.
struct Split
{
    qsizetype start = 0;
    qsizetype end = 0;
    bool joins = false; // the separator holds a comma-like mark

    bool isEmpty() const { return start == end; }
};

// `text` runs from the neighbour towards the field. A comma-like mark
// outranks a space, so words on the neighbour's side of the comma stay
// with it ("d 'күнэ', dddd") and words after it go with the field
// ("yyyy, 'de' dddd"); with spaces only, the field takes the words it has
// before the first space ("dddd 'den' d." read backwards). Text with no
// separator at all stays with the neighbour ("d日dddd").
Split splitTowardsField(const std::vector<QChar> &text)
{
    const auto size = qsizetype(text.size());
    std::optional<Split> first;
    std::optional<Split> joining;
    for (qsizetype i = 0; i < size;) {
        if (!isSeparator(text[std::size_t(i)])) {
            ++i;
            continue;
        }
        Split run{i, i, false};
        for (; run.end < size && isSeparator(text[std::size_t(run.end)]); ++run.end)
            run.joins = run.joins || isJoiningMark(text[std::size_t(run.end)]);
        if (!first)
            first = run;
        if (run.joins)
            joining = run;
        i = run.end;
    }
    return joining.value_or(first.value_or(Split{size, size, false}));
}

std::vector<QChar> literalText(const Pieces &pieces, std::size_t from, std::size_t to)
{
    std::vector<QChar> text;
    for (std::size_t i = from; i < to; ++i)
        text.push_back(pieces[i].text);
    return text;
}

// Takes one field out of a pattern with the literal text that belongs to
// it, leaving one separator between the fields it stood between and none
// at either end, whatever script the separators are in.
Pieces withoutField(const Pieces &pieces, std::size_t field)
{
    std::size_t before = field; // first literal piece before the field
    while (before > 0 && !pieces[before - 1].isField())
        --before;
    std::size_t after = field + 1; // one past the last literal piece after it
    while (after < pieces.size() && !pieces[after].isField())
        ++after;
    const bool hasPrevious = before > 0;
    const bool hasNext = after < pieces.size();

    // Literal text at either edge of the pattern goes with the field.
    std::vector<QChar> trailing = literalText(pieces, field + 1, after);
    std::reverse(trailing.begin(), trailing.end());
    const Split left = hasPrevious ? splitTowardsField(literalText(pieces, before, field)) : Split{};
    const Split right = hasNext ? splitTowardsField(trailing) : Split{};
    const auto at = [&](std::size_t index, qsizetype offset) {
        return pieces.begin() + std::ptrdiff_t(index) + std::ptrdiff_t(offset);
    };

    Pieces out(pieces.begin(), at(before, left.start));
    if (hasPrevious && hasNext) {
        // The stronger of the two separators joins the fields left behind.
        if ((left.isEmpty() && !right.isEmpty()) || (right.joins && !left.joins))
            out.insert(out.end(), at(after, -right.end), at(after, -right.start));
        else
            out.insert(out.end(), at(before, left.start), at(before, left.end));
    }
    out.insert(out.end(), at(after, -right.start), pieces.end());
    return out;
}

std::optional<std::size_t> lastField(const Pieces &pieces)
{
    for (std::size_t i = pieces.size(); i > 0; --i)
        if (pieces[i - 1].isField())
            return i - 1;
    return std::nullopt;
}

std::optional<std::size_t> weekdayField(const Pieces &pieces)
{
    for (std::size_t i = 0; i < pieces.size(); ++i)
        if (pieces[i].field == u'd' && pieces[i].width >= 3)
            return i;
    return std::nullopt;
}

} // namespace

QString mediumDatePattern(const QLocale &locale)
{
    Pieces pieces = parsePattern(locale.dateFormat(QLocale::LongFormat));
    while (const std::optional<std::size_t> weekday = weekdayField(pieces))
        pieces = withoutField(pieces, *weekday);
    for (Piece &piece : pieces)
        if (piece.field == u'M' && piece.width == 4)
            piece.width = 3;
    const QString pattern = writePattern(pieces);
    return lastField(pieces) ? pattern : QStringLiteral("MMM d, yyyy");
}

QString formatDateInterval(const QDate &from, const QDate &to, const QLocale &locale)
{
    const QString pattern = mediumDatePattern(locale);
    const QString end = locale.toString(to, pattern);
    if (from == to)
        return end;
    QString startPattern = pattern;
    // "Mar 3 – Mar 9, 2025": the year is said once when it closes the date.
    const Pieces pieces = parsePattern(pattern);
    const std::optional<std::size_t> year = lastField(pieces);
    if (from.year() == to.year() && year && pieces[*year].field == u'y') {
        const Pieces withoutYear = withoutField(pieces, *year);
        if (lastField(withoutYear))
            startPattern = writePattern(withoutYear);
    }
    return locale.toString(from, startPattern) + kDash + end;
}

} // namespace zn
