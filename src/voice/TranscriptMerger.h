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

    // Drops the hypothesis without rebuilding or calling back.
    void clearHypothesis() { m_currentHypothesis.clear(); }
    // Empties all three fields without calling back.
    void clear();

    static bool looksLikeRevision(const QString &previous, const QString &next);
    static bool shouldCommitPrevious(const QString &previous, const QString &next);

private:
    // `committed` is committedText(), already at hand.
    void rebuildLiveText(const QString &committed);
    void publish();

    QStringList m_committedSegments;
    QString m_currentHypothesis;
    QString m_liveText;
    PartialTextHandler m_onPartialText;
};

} // namespace zn
