#pragma once

#include <QString>
#include <QStringView>

#include <memory>

namespace zn::language {

// Character and sentence boundaries (UAX #29) in time linear in the length
// of the text whatever it holds. QTextBoundaryFinder works out every kind of
// break on construction, with a dictionary pass over Thai, which made long
// unspaced Thai and a finder per emoji quadratic.
class TextBoundaries
{
public:
    enum class Kind { Grapheme, Sentence };

    // The text must outlive the iterator.
    TextBoundaries(Kind kind, QStringView text);
    ~TextBoundaries();
    TextBoundaries(const TextBoundaries &) = delete;
    TextBoundaries &operator=(const TextBoundaries &) = delete;

    // The next boundary after the current position, or -1 past the end.
    // The first call gives the end of the first segment.
    qsizetype next();
    // The first boundary after `offset` (which need not be a boundary), or
    // -1 when there is none; the iterator continues from there.
    qsizetype following(qsizetype offset);

private:
    struct Iterator;
    std::unique_ptr<Iterator> m_it;
    qsizetype m_size = 0;
};

// The canonical composition (NFC) of the text, in time linear in its length;
// the text itself (shared, no copy) when it is in NFC already.
QString composed(const QString &text);

} // namespace zn::language
