#include "voice/TranscriptMerger.h"

#include "core/TextUnits.h"

#include <QHash>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <unordered_set>
#include <vector>

namespace zn {
namespace {

// `prefix` is a code-unit prefix of `text`. Returns what follows the first
// graphemeCount(prefix) clusters of `text`. Cluster boundaries inside the
// prefix are the same in both strings (they depend only on what precedes them
// and the next character), so only the prefix's end needs checking: a
// combining mark right after it belongs to its last cluster.
QString restAfterGraphemePrefix(const QString &text, const QString &prefix)
{
    if (text.size() <= prefix.size())
        return {};
    if (prefix.isEmpty())
        return text;
    const QChar last = prefix.back();
    const QChar next = text.at(prefix.size());
    // Fast path: between two plain ASCII characters there is always a
    // boundary, except inside CR LF.
    if (last.unicode() < 0x80 && next.unicode() < 0x80 && !(last == u'\r' && next == u'\n'))
        return text.mid(prefix.size());
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    finder.setPosition(prefix.size());
    if (finder.isAtBoundary())
        return text.mid(prefix.size());
    const qsizetype end = finder.toNextBoundary();
    if (end < 0 || end >= text.size())
        return {};
    return text.mid(end);
}

// True when `text` (which begins with `prefix`) has more clusters than it.
bool hasMoreGraphemes(const QString &text, const QString &prefix)
{
    return !restAfterGraphemePrefix(text, prefix).isEmpty();
}

bool hasAtLeastThreeGraphemes(QStringView word)
{
    if (word.size() < 3)
        return false;
    for (QChar ch : word) {
        // Below U+0300 every code unit is a cluster of its own (CR LF aside,
        // and words hold no whitespace).
        if (ch.unicode() >= 0x300)
            return text::graphemeCount(word) >= 3;
    }
    return true;
}

// Calls fn(view) for each word: pieces split at whitespace, empty pieces
// dropped, punctuation kept. Views point into `text`.
template<typename Fn>
void forEachWord(const QString &text, Fn fn)
{
    const QStringView all(text);
    qsizetype start = -1;
    for (qsizetype i = 0; i < all.size(); ++i) {
        if (all.at(i).isSpace()) {
            if (start >= 0)
                fn(all.sliced(start, i - start));
            start = -1;
        } else if (start < 0) {
            start = i;
        }
    }
    if (start >= 0)
        fn(all.sliced(start));
}

// Hash for in-memory lookups only; never stored.
struct ViewHash
{
    size_t operator()(QStringView view) const noexcept { return qHash(view); }
};
using ViewSet = std::unordered_set<QStringView, ViewHash>;

} // namespace

QString TranscriptMerger::committedText() const
{
    QString joined = m_committedSegments.join(QLatin1Char(' '));
    // One left-to-right pass: three spaces in a row become two.
    joined.replace(QLatin1String("  "), QLatin1String(" "));
    return text::trimmed(joined);
}

void TranscriptMerger::rebuildLiveText()
{
    rebuildLiveText(committedText());
}

void TranscriptMerger::rebuildLiveText(const QString &c)
{
    const QString h = text::trimmed(m_currentHypothesis);
    if (c.isEmpty())
        m_liveText = h;
    else if (h.isEmpty())
        m_liveText = c;
    else
        m_liveText = c + QLatin1Char(' ') + h;
    publish();
}

void TranscriptMerger::publishFinal()
{
    m_publishingFinal = true;
    rebuildLiveText();
    m_publishingFinal = false;
}

void TranscriptMerger::publish()
{
    if (m_onPartialText)
        m_onPartialText(m_liveText);
}

void TranscriptMerger::appendSegment(const QString &text)
{
    appendSegmentChanged(text);
}

bool TranscriptMerger::appendSegmentChanged(const QString &text)
{
    const QString t = text::trimmed(text);
    if (t.isEmpty())
        return false;
    if (!m_committedSegments.isEmpty()) {
        QString &last = m_committedSegments.last();
        if (t == last)
            return false;
        if (t.startsWith(last) && hasMoreGraphemes(t, last)) {
            last = t;
            return true;
        }
        if (last.startsWith(t) && hasMoreGraphemes(last, t))
            return false;
    }
    m_committedSegments.append(t);
    return true;
}

bool TranscriptMerger::appendToUtterance(const QString &text)
{
    if (!sendsUtterances() || m_openSegments > 0)
        return appendSegmentChanged(text);
    const QString t = text::trimmed(text);
    if (t.isEmpty())
        return false;
    m_committedSegments.append(t);
    return true;
}

QString TranscriptMerger::joinedSegments(qsizetype from, qsizetype to) const
{
    QString joined = m_committedSegments.mid(from, to - from).join(QLatin1Char(' '));
    joined.replace(QLatin1String("  "), QLatin1String(" "));
    return text::trimmed(joined);
}

QString TranscriptMerger::openText() const
{
    const qsizetype n = m_committedSegments.size();
    return joinedSegments(n - m_openSegments, n);
}

QString TranscriptMerger::textAfterSettledSegments(const QString &text) const
{
    // Results of one utterance never repeat the ones before it.
    if (sendsUtterances())
        return text;
    const QString base = joinedSegments(0, m_committedSegments.size() - m_openSegments);
    if (!base.isEmpty() && text.startsWith(base))
        return text::trimmed(restAfterGraphemePrefix(text, base));
    return text;
}

bool TranscriptMerger::revisesOpenSegments(const QString &text) const
{
    if (m_openSegments == 0 || text.isEmpty())
        return false;
    const QString open = openText();
    return text.startsWith(open) || open.startsWith(text) || looksLikeRevision(open, text)
        || looksLikeRevision(text, open);
}

void TranscriptMerger::dropOpenSegments()
{
    m_committedSegments.resize(m_committedSegments.size() - m_openSegments);
    m_openSegments = 0;
}

void TranscriptMerger::resetTranscript(const QString &text)
{
    m_committedSegments.clear();
    m_currentHypothesis.clear();
    m_openSegments = 0;
    const QString t = text::trimmed(text);
    if (!t.isEmpty())
        m_committedSegments.append(t);
    rebuildLiveText();
}

void TranscriptMerger::commitPendingHypothesis()
{
    const QString h = text::trimmed(m_currentHypothesis);
    if (h.isEmpty())
        return;
    // Only segments this hypothesis actually wrote stay open: one it was
    // dropped against may be an earlier final.
    const qsizetype before = m_committedSegments.size();
    if (appendToUtterance(h)) {
        if (m_committedSegments.size() > before)
            ++m_openSegments;
        else
            m_openSegments = std::max<qsizetype>(m_openSegments, 1);
    }
    m_currentHypothesis.clear();
    rebuildLiveText();
}

void TranscriptMerger::handleResult(const QString &text, bool isFinal)
{
    const QString t = text::trimmed(text);
    if (t.isEmpty()) {
        if (!isFinal)
            return;
        m_openSegments = 0;
        if (!m_currentHypothesis.isEmpty())
            appendToUtterance(m_currentHypothesis);
        m_currentHypothesis.clear();
        publishFinal();
        return;
    }

    if (isFinal) {
        if (sendsUtterances()) {
            // A final closes its utterance, and every guess since the last
            // final was a guess at that utterance: the final takes the place
            // of all of them, whatever words it shares with them (a decoder
            // that reads an utterance twice may share few).
            dropOpenSegments();
            m_currentHypothesis.clear();
            appendToUtterance(t);
            publishFinal();
            return;
        }
        // The final of words pauses already committed takes their place,
        // together with any guess at them since. The older recognizer's final
        // is the whole text of its run, so it replaces them whatever it says.
        const QString revised = textAfterSettledSegments(t);
        if (revisesOpenSegments(revised) || (m_shape == ResultShape::WholeText && m_openSegments > 0)) {
            dropOpenSegments();
            appendToUtterance(revised);
            m_currentHypothesis.clear();
            publishFinal();
            return;
        }
        m_openSegments = 0;
        const QString h = m_currentHypothesis;
        if (!h.isEmpty()) {
            const bool related = t.startsWith(h) || h.startsWith(t) || looksLikeRevision(h, t);
            if (!related)
                appendToUtterance(h);
        }
        appendToUtterance(t);
        m_currentHypothesis.clear();
        publishFinal();
        return;
    }

    const QString committed = committedText();
    // A whole-text partial that repeats every committed word leaves them be.
    const bool repeatsCommitted = !sendsUtterances() && !committed.isEmpty() && t.startsWith(committed);
    // So does a guess of the utterance that goes on from the words a pause
    // committed of it: it guesses only past them.
    const QString open = sendsUtterances() && m_openSegments > 0 ? openText() : QString();
    const bool continuesOpen = !open.isEmpty() && t.startsWith(open);
    if (m_openSegments > 0 && !repeatsCommitted && !continuesOpen) {
        // Until its final, the recogniser is still in the utterance whose
        // words a pause committed: a newer guess at them as long or longer
        // reopens them. Any other guess (shorter, or a passing misreading
        // such as a lagging recogniser makes) would only show words twice or
        // hide some; the final that follows settles them.
        const QString revised = textAfterSettledSegments(t);
        if (!revisesOpenSegments(revised) || text::graphemeCount(revised) < text::graphemeCount(openText()))
            return;
        dropOpenSegments();
    }
    if (continuesOpen) {
        // One utterance: the guess past the open words replaces the last.
        m_currentHypothesis = text::trimmed(restAfterGraphemePrefix(t, open));
        rebuildLiveText(committed);
        return;
    }
    // Guesses of one utterance replace each other until its final; only a
    // recogniser that may abandon a guess without one needs it kept.
    if (!sendsUtterances() && shouldCommitPrevious(m_currentHypothesis, t))
        appendToUtterance(m_currentHypothesis);
    m_currentHypothesis = t;
    const QString c = committedText();
    if (!sendsUtterances() && !c.isEmpty() && t.startsWith(c)) {
        // The older recognizer repeats the whole text so far: keep only what
        // is new as the hypothesis, but show the partial as it came.
        m_currentHypothesis = text::trimmed(restAfterGraphemePrefix(t, c));
        m_liveText = t;
        publish();
        return;
    }
    rebuildLiveText(c);
}

void TranscriptMerger::clear()
{
    m_committedSegments.clear();
    m_currentHypothesis.clear();
    m_liveText.clear();
    m_openSegments = 0;
}

bool TranscriptMerger::looksLikeRevision(const QString &previous, const QString &next)
{
    const QString a = previous.toLower();
    const QString b = next.toLower();
    if (a == b)
        return true;
    // An empty text is not "contained" in another; only equality relates it.
    if (!a.isEmpty() && !b.isEmpty() && (a.contains(b) || b.contains(a)))
        return true;

    std::vector<QStringView> longWordsOfA;
    forEachWord(a, [&](QStringView word) {
        if (hasAtLeastThreeGraphemes(word))
            longWordsOfA.push_back(word);
    });
    if (longWordsOfA.size() < 2)
        return false;

    // Only A's words matter, so look b's words up in A's set rather than
    // building a set of all of b: linear, and no copy per word.
    const ViewSet wanted(longWordsOfA.begin(), longWordsOfA.end());
    ViewSet found;
    forEachWord(b, [&](QStringView word) {
        if (found.size() < wanted.size() && wanted.count(word) && hasAtLeastThreeGraphemes(word))
            found.insert(word);
    });
    size_t shared = 0;
    for (QStringView word : longWordsOfA) {
        if (found.count(word))
            ++shared;
    }
    return double(shared) / double(longWordsOfA.size()) >= 0.5;
}

bool TranscriptMerger::shouldCommitPrevious(const QString &previous, const QString &next)
{
    const QString p = text::trimmed(previous);
    const QString n = text::trimmed(next);
    if (p.isEmpty() || n.isEmpty())
        return false;
    if (n.startsWith(p) || p.startsWith(n))
        return false;
    return !looksLikeRevision(p, n);
}

} // namespace zn
