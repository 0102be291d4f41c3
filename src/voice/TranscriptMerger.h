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

    // How the recogniser reports. A streaming analyzer sends each utterance
    // once: guesses, then one final that closes it. The older recognizer
    // sends the whole text so far in every result. Unknown: each result is
    // read as either, by its words.
    enum class ResultShape { Unknown, Utterances, WholeText };
    void setResultShape(ResultShape shape) { m_shape = shape; }

    // Every element trimmed and non-empty.
    const QStringList &committedSegments() const { return m_committedSegments; }
    const QString &currentHypothesis() const { return m_currentHypothesis; }
    const QString &liveText() const { return m_liveText; }

    // Called with liveText each time it is rebuilt or replaced, even unchanged.
    void setOnPartialText(PartialTextHandler handler) { m_onPartialText = std::move(handler); }
    // True while that call reports a final result: the live text then holds
    // the recogniser's last word on the guesses the final replaced, which a
    // copy of an earlier live text may still show.
    bool isPublishingFinal() const { return m_publishingFinal; }

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
        m_openSegments = 0;
    }
    // Empties all three fields without calling back.
    void clear();

    static bool looksLikeRevision(const QString &previous, const QString &next);
    static bool shouldCommitPrevious(const QString &previous, const QString &next);

    // The last segments are hypotheses committed in pauses that the
    // recogniser has not finalised yet (one utterance may span several
    // pauses): its final, or a newer guess at the same words, replaces them
    // instead of being written after them. Streaming back ends end every
    // utterance that showed words with a final (empty when the words came to
    // nothing); until then other partials wait.
    bool isLastSegmentOpen() const { return m_openSegments > 0; }
    qsizetype openSegmentCount() const { return m_openSegments; }

private:
    // Segments [from, to) joined as committedText() joins them all.
    QString joinedSegments(qsizetype from, qsizetype to) const;
    QString openText() const;
    // What a result says about the open segments once the settled ones
    // before them are set aside (the older recognizer repeats those).
    QString textAfterSettledSegments(const QString &text) const;
    // Related by prefix, or a revision either way round.
    bool revisesOpenSegments(const QString &text) const;
    void dropOpenSegments();
    // Whether appendSegment changed the list.
    bool appendSegmentChanged(const QString &text);
    // Appends words of the utterance being recognised. From a recogniser
    // that sends each utterance once, the settled segments before them are
    // earlier utterances: a sentence said again is written again, and one
    // that begins like the last is not taken for its continuation. Only the
    // utterance's own open segments may be repeated or extended.
    bool appendToUtterance(const QString &text);
    bool sendsUtterances() const { return m_shape == ResultShape::Utterances; }
    // `committed` is committedText(), already at hand.
    void rebuildLiveText(const QString &committed);
    void publish();
    // Rebuilds after a final result.
    void publishFinal();

    QStringList m_committedSegments;
    QString m_currentHypothesis;
    QString m_liveText;
    PartialTextHandler m_onPartialText;
    qsizetype m_openSegments = 0;
    ResultShape m_shape = ResultShape::Unknown;
    bool m_publishingFinal = false;
};

} // namespace zn
