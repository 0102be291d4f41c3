#include "reflections/WeeklyReflectionTextScan.h"

#include "core/TextUnits.h"

#include <QChar>

namespace zn::scan {
namespace {

// The code point starting at i, and its width in UTF-16 units.
char32_t codePointAt(QStringView text, qsizetype i, int *width)
{
    const QChar c = text.at(i);
    if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
        *width = 2;
        return QChar::surrogateToUcs4(c, text.at(i + 1));
    }
    *width = 1;
    return c.unicode();
}

// The code point ending just before `end`, and its width.
char32_t codePointBefore(QStringView text, qsizetype end, int *width)
{
    const QChar c = text.at(end - 1);
    if (c.isLowSurrogate() && end >= 2 && text.at(end - 2).isHighSurrogate()) {
        *width = 2;
        return QChar::surrogateToUcs4(text.at(end - 2), c);
    }
    *width = 1;
    return c.unicode();
}


bool isPunctuation(char32_t ucs4)
{
    switch (QChar::category(ucs4)) {
    case QChar::Punctuation_Connector:
    case QChar::Punctuation_Dash:
    case QChar::Punctuation_Open:
    case QChar::Punctuation_Close:
    case QChar::Punctuation_InitialQuote:
    case QChar::Punctuation_FinalQuote:
    case QChar::Punctuation_Other:
        return true;
    default:
        return false;
    }
}

} // namespace

void forEachAlphanumericRun(QStringView text, const std::function<void(QStringView)> &fn)
{
    qsizetype runStart = -1;
    qsizetype i = 0;
    while (i < text.size()) {
        int width = 1;
        const char32_t cp = codePointAt(text, i, &width);
        if (text::isAlphanumeric(cp)) {
            if (runStart < 0)
                runStart = i;
        } else if (runStart >= 0) {
            fn(text.mid(runStart, i - runStart));
            runStart = -1;
        }
        i += width;
    }
    if (runStart >= 0)
        fn(text.mid(runStart));
}

QString trimmedPunctuation(const QString &text)
{
    const QStringView view(text);
    qsizetype start = 0;
    qsizetype end = view.size();
    while (start < end) {
        int width = 1;
        if (!isPunctuation(codePointAt(view, start, &width)))
            break;
        start += width;
    }
    while (end > start) {
        int width = 1;
        if (!isPunctuation(codePointBefore(view, end, &width)))
            break;
        end -= width;
    }
    return text.mid(start, end - start);
}

} // namespace zn::scan
