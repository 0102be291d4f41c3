#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace zn {

// Turns a stream of recognition results (short revised hypotheses with one
// final per utterance, or the whole text so far again and again) into one
// stable live text: committed segments plus the hypothesis still in flux.
// Lengths count grapheme clusters. Main thread only; embedded in the speech
// service.
class TranscriptMerger
{
public:
    using PartialTextHandler = std::function<void(const QString &)>;

    // Every element trimmed and non-empty.
    const QStringList &committedSegments() const { return m_committedSegments; }
    const QString &currentHypothesis() const { return m_currentHypothesis; }
    const QString &liveText() const { return m_liveText; }

    // Called with liveText each time it is rebuilt or replaced, even unchanged.
    void setOnPartialText(PartialTextHandler handler) { m_onPartialText = std::move(handler); }

    // Segments joined by one space, "  " -> " " in one pass, trimmed.
    QString committedText() const;

    void rebuildLiveText();
    void appendSegment(const QString &text);
    void resetTranscript(const QString &text);
    void commitPendingHypothesis();
    void handleResult(const QString &text, bool isFinal);

    // Drops the hypothesis without rebuilding or calling back; a new
    // recognition run starts.
    void clearHypothesis()
    {
        m_currentHypothesis.clear();
        m_lastSegmentOpen = false;
    }
    // Empties all three fields without calling back.
    void clear();

    static bool looksLikeRevision(const QString &previous, const QString &next);
    static bool shouldCommitPrevious(const QString &previous, const QString &next);

    // The last segment is a hypothesis committed in a pause that the
    // recogniser has not finalised yet: its final, or a newer guess at the
    // same words, replaces it instead of being written after it.
    bool isLastSegmentOpen() const { return m_lastSegmentOpen; }

private:
    // What a result says about the open last segment once the segments
    // before it are set aside (the older recognizer repeats them).
    QString textAfterSettledSegments(const QString &text) const;
    bool revisesOpenSegment(const QString &text) const;
    // Whether appendSegment changed the list.
    bool appendSegmentChanged(const QString &text);
    // `committed` is committedText(), already at hand.
    void rebuildLiveText(const QString &committed);
    void publish();

    QStringList m_committedSegments;
    QString m_currentHypothesis;
    QString m_liveText;
    PartialTextHandler m_onPartialText;
    bool m_lastSegmentOpen = false;
};

} // namespace zn
