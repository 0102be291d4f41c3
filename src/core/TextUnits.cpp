#include "core/TextUnits.h"

#include "platform/language/TextBoundaries.h"

namespace zn::text {
namespace {

// Calls fn(start, end) for each grapheme cluster; stops when fn returns false.
template<typename Fn>
void forEachGrapheme(QStringView text, Fn fn)
{
    if (text.isEmpty())
        return;
    language::TextBoundaries finder(language::TextBoundaries::Kind::Grapheme, text);
    qsizetype start = 0;
    while (true) {
        const qsizetype end = finder.next();
        if (end < 0 || end <= start)
            break;
        if (!fn(start, end))
            return;
        start = end;
    }
    if (start < text.size())
        fn(start, text.size());
}

} // namespace

int graphemeCount(QStringView text)
{
    // Below U+0300 every code unit is a character of its own except CR LF,
    // which is one; most journal text never needs the boundary finder.
    qsizetype crlf = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (u >= 0x300) {
            int n = 0;
            forEachGrapheme(text, [&](qsizetype, qsizetype) {
                ++n;
                return true;
            });
            return n;
        }
        if (u == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++crlf;
    }
    return int(text.size() - crlf);
}
QString graphemePrefix(const QString &text, int count)
{
    if (count <= 0)
        return {};
    int n = 0;
    qsizetype cut = text.size();
    forEachGrapheme(text, [&](qsizetype, qsizetype end) {
        if (++n == count) {
            cut = end;
            return false;
        }
        return true;
    });
    return text.left(cut);
}

QString graphemeSuffix(const QString &text, int count)
{
    if (count <= 0)
        return {};
    QList<qsizetype> starts;
    forEachGrapheme(text, [&](qsizetype start, qsizetype) {
        starts.append(start);
        return true;
    });
    if (count >= starts.size())
        return text;
    return text.mid(starts.at(starts.size() - count));
}

QStringList graphemes(const QString &text)
{
    QStringList out;
    forEachGrapheme(text, [&](qsizetype start, qsizetype end) {
        out.append(text.mid(start, end - start));
        return true;
    });
    return out;
}

QString trimmed(const QString &text)
{
    return text.trimmed();
}

bool isBlank(const QString &text)
{
    for (QChar c : text)
        if (!c.isSpace())
            return false;
    return true;
}

bool isAlphanumeric(char32_t codePoint)
{
    switch (QChar::category(codePoint)) {
    case QChar::Letter_Uppercase:
    case QChar::Letter_Lowercase:
    case QChar::Letter_Titlecase:
    case QChar::Letter_Modifier:
    case QChar::Letter_Other:
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
    case QChar::Number_DecimalDigit:
    case QChar::Number_Letter:
    case QChar::Number_Other:
        return true;
    default:
        return false;
    }
}

int compareScalars(const QString &a, const QString &b)
{
    const QList<uint> ua = language::composed(a).toUcs4();
    const QList<uint> ub = language::composed(b).toUcs4();
    const qsizetype n = std::min(ua.size(), ub.size());
    for (qsizetype i = 0; i < n; ++i)
        if (ua[i] != ub[i])
            return ua[i] < ub[i] ? -1 : 1;
    if (ua.size() == ub.size())
        return 0;
    return ua.size() < ub.size() ? -1 : 1;
}

} // namespace zn::text
