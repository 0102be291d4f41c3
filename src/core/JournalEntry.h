#pragma once

#include "core/InsightStatus.h"
#include "platform/store/PersistentModel.h"

#include <QByteArray>
#include <QDateTime>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTimeZone>
#include <QUuid>

#include <optional>

namespace zn {

using KeywordFrequencies = QMap<QString, int>;

inline constexpr int kCurrentInsightSchemaVersion = 6;

// Keyword counts from their JSON object. Empty data, malformed JSON or any
// value that is not an integral count gives an empty table, never a partial
// one.
KeywordFrequencies decodeKeywordFrequencies(const QByteArray &data);

// One journal entry: text, mood analysis and the model's reflection
// ("insight"). A stored model: main thread only, owned by its context once
// inserted. Every setter notifies through changed(). Dates are kept as UTC
// instants and read back through inJournalTimeZone().
class JournalEntry final : public PersistentModel
{
    Q_OBJECT
public:
    // Field numbers, in declared order; the column names equal the accessor names.
    enum Field : int {
        Id,
        Timestamp,
        RawText,
        Duration,
        SentimentScore,
        KeywordFrequenciesData,
        MoodLabel,
        Tags,
        IsDraft,
        InsightText,
        InsightGeneratedAt,
        InsightStatusRaw,
        InsightFailureMessage,
        ThemesData,
        InsightEmotionalTone,
        InsightKeyPointsData,
        InsightOverallSentiment,
        InsightClosingFocus,
        InsightOverallScore,
        InsightSchemaVersion,
        FieldCount
    };

    // Every field at its default: a new id, now, empty text, status "none".
    JournalEntry();
    JournalEntry(const QUuid &id, const QDateTime &timestamp, const QString &rawText,
                 std::optional<double> duration, double sentimentScore,
                 const KeywordFrequencies &keywordFrequencies, std::optional<QString> moodLabel,
                 const QStringList &tags, bool isDraft);

    static const EntityDescriptor &entityDescriptor();

    QUuid id() const;
    void setId(const QUuid &id);
    QDateTime timestamp() const;
    void setTimestamp(const QDateTime &timestamp);
    QString rawText() const;
    void setRawText(const QString &text);
    std::optional<double> duration() const;
    void setDuration(std::optional<double> seconds);
    double sentimentScore() const;
    void setSentimentScore(double score);
    QByteArray keywordFrequenciesData() const;
    void setKeywordFrequenciesData(const QByteArray &data);
    std::optional<QString> moodLabel() const;
    void setMoodLabel(std::optional<QString> label);
    QStringList tags() const;
    void setTags(const QStringList &tags);
    bool isDraft() const;
    void setIsDraft(bool draft);
    std::optional<QString> insightText() const;
    void setInsightText(std::optional<QString> text);
    std::optional<QDateTime> insightGeneratedAt() const;
    void setInsightGeneratedAt(std::optional<QDateTime> when);
    QString insightStatusRaw() const;
    void setInsightStatusRaw(const QString &raw);
    std::optional<QString> insightFailureMessage() const;
    void setInsightFailureMessage(std::optional<QString> message);
    QByteArray themesData() const;
    void setThemesData(const QByteArray &data);
    std::optional<QString> insightEmotionalTone() const;
    void setInsightEmotionalTone(std::optional<QString> tone);
    QByteArray insightKeyPointsData() const;
    void setInsightKeyPointsData(const QByteArray &data);
    std::optional<QString> insightOverallSentiment() const;
    void setInsightOverallSentiment(std::optional<QString> text);
    std::optional<QString> insightClosingFocus() const;
    void setInsightClosingFocus(std::optional<QString> text);
    std::optional<double> insightOverallScore() const;
    void setInsightOverallScore(std::optional<double> score);
    int insightSchemaVersion() const;
    void setInsightSchemaVersion(int version);

    // JSON-coded collections: malformed data reads as empty; an encoding
    // failure stores empty data.
    KeywordFrequencies keywordFrequencies() const;
    void setKeywordFrequencies(const KeywordFrequencies &frequencies);
    QStringList themes() const;
    void setThemes(const QStringList &themes);
    QStringList insightKeyPoints() const;
    void setInsightKeyPoints(const QStringList &points);

    // Unknown raw strings read as None.
    InsightStatus insightStatus() const;
    void setInsightStatus(InsightStatus status) { setInsightStatusRaw(insightStatusRawValue(status)); }

    // Ready, with non-blank insight text and emotional tone.
    bool hasCompleteInsight() const;
    // Ready, schema version >= 6, non-blank insight text.
    bool hasCurrentInsight() const;

private:
    struct Blank {};
    // For rows read from the store: every field is overwritten at once.
    explicit JournalEntry(Blank);
    static std::unique_ptr<PersistentModel> makeBlank();

    mutable QDateTime m_shownTimestamp;
    mutable quint64 m_shownZoneGeneration = 0;
};

// An instant as the journal shows it: in the shared calendar's time zone, so
// date(), time() and formatting give the wall clock that day keys use, and
// comparing or converting it costs no time zone look-up.
QDateTime inJournalTimeZone(const QDateTime &instant);
QDateTime inJournalTimeZone(const QDateTime &instant, const QTimeZone &zone);

} // namespace zn
