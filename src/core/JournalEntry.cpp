#include "core/JournalEntry.h"

#include "core/CalendarProvider.h"
#include "core/JournalText.h"
#include "core/TextUnits.h"
#include "platform/store/FieldValues.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <limits>

namespace zn {
namespace {

QByteArray encodeKeywordFrequencies(const KeywordFrequencies &frequencies)
{
    QJsonObject object;
    for (auto it = frequencies.constBegin(); it != frequencies.constEnd(); ++it)
        object.insert(journalText(it.key()), it.value());
    return store::escapeByteOrderMarks(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

} // namespace

KeywordFrequencies decodeKeywordFrequencies(const QByteArray &data)
{
    if (data.isEmpty())
        return {};
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(store::escapeByteOrderMarks(data), &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject())
        return {};
    KeywordFrequencies out;
    const QJsonObject object = doc.object();
    for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
        // A count must be an integral number that fits; anything else spoils
        // the whole table rather than leaving a partial one.
        if (!it.value().isDouble())
            return {};
        const double d = it.value().toDouble();
        if (!std::isfinite(d) || d != std::floor(d) || d < double(std::numeric_limits<int>::min())
            || d > double(std::numeric_limits<int>::max()))
            return {};
        out.insert(it.key(), int(d));
    }
    return out;
}

QDateTime inJournalTimeZone(const QDateTime &instant)
{
    return inJournalTimeZone(instant, CalendarProvider::shared().timeZone());
}

QDateTime inJournalTimeZone(const QDateTime &instant, const QTimeZone &zone)
{
    if (!instant.isValid())
        return instant;
    // Converting to a zone Qt could not resolve gives an invalid date; the
    // instant must survive whatever the system's zone setting.
    return zone.isValid() ? instant.toTimeZone(zone) : instant.toLocalTime();
}

const EntityDescriptor &JournalEntry::entityDescriptor()
{
    static const EntityDescriptor entity{
        QStringLiteral("JournalEntry"),
        {
            {QStringLiteral("id"), FieldType::Uuid, true},
            {QStringLiteral("timestamp"), FieldType::DateTime, true},
            {QStringLiteral("rawText"), FieldType::Text, false, true},
            {QStringLiteral("duration"), FieldType::OptionalReal},
            {QStringLiteral("sentimentScore"), FieldType::Real},
            {QStringLiteral("keywordFrequenciesData"), FieldType::Data},
            {QStringLiteral("moodLabel"), FieldType::OptionalText, false, true},
            {QStringLiteral("tags"), FieldType::StringList, false, true},
            {QStringLiteral("isDraft"), FieldType::Bool},
            {QStringLiteral("insightText"), FieldType::OptionalText, false, true},
            {QStringLiteral("insightGeneratedAt"), FieldType::OptionalDateTime},
            {QStringLiteral("insightStatusRaw"), FieldType::Text},
            {QStringLiteral("insightFailureMessage"), FieldType::OptionalText, false, true},
            {QStringLiteral("themesData"), FieldType::Data, false, true},
            {QStringLiteral("insightEmotionalTone"), FieldType::OptionalText, false, true},
            {QStringLiteral("insightKeyPointsData"), FieldType::Data, false, true},
            {QStringLiteral("insightOverallSentiment"), FieldType::OptionalText, false, true},
            {QStringLiteral("insightClosingFocus"), FieldType::OptionalText, false, true},
            {QStringLiteral("insightOverallScore"), FieldType::OptionalReal},
            {QStringLiteral("insightSchemaVersion"), FieldType::Integer},
        },
        &JournalEntry::makeBlank,
    };
    return entity;
}

JournalEntry::JournalEntry(Blank)
    : PersistentModel(entityDescriptor(), Unfilled{})
{
}

std::unique_ptr<PersistentModel> JournalEntry::makeBlank()
{
    return std::unique_ptr<PersistentModel>(new JournalEntry(Blank{}));
}

JournalEntry::JournalEntry()
    : PersistentModel(entityDescriptor())
{
    // Defaults not covered by the field types' own.
    setValue(Id, QVariant::fromValue(QUuid::createUuid()));
    setValue(Timestamp, QDateTime::currentDateTimeUtc());
    setValue(InsightStatusRaw, QStringLiteral("none"));
}

JournalEntry::JournalEntry(const QUuid &id, const QDateTime &timestamp, const QString &rawText,
                           std::optional<double> duration, double sentimentScore,
                           const KeywordFrequencies &keywordFrequencies, std::optional<QString> moodLabel,
                           const QStringList &tags, bool isDraft)
    : JournalEntry()
{
    setId(id);
    setTimestamp(timestamp);
    setRawText(rawText);
    setDuration(duration);
    setSentimentScore(sentimentScore);
    setKeywordFrequencies(keywordFrequencies);
    setMoodLabel(std::move(moodLabel));
    setTags(tags);
    setIsDraft(isDraft);
}

QUuid JournalEntry::id() const { return value(Id).toUuid(); }
void JournalEntry::setId(const QUuid &id) { setValue(Id, QVariant::fromValue(id)); }
QDateTime JournalEntry::timestamp() const
{
    // Lists sort and group by this over and over; convert once per value.
    const QDateTime instant = value(Timestamp).toDateTime();
    const quint64 zoneGeneration = CalendarProvider::sharedTimeZoneGeneration();
    if (m_shownTimestamp != instant || m_shownZoneGeneration != zoneGeneration) {
        m_shownTimestamp = inJournalTimeZone(instant);
        m_shownZoneGeneration = zoneGeneration;
    }
    return m_shownTimestamp;
}
void JournalEntry::setTimestamp(const QDateTime &timestamp) { setValue(Timestamp, timestamp); }
QString JournalEntry::rawText() const { return value(RawText).toString(); }
void JournalEntry::setRawText(const QString &text) { setValue(RawText, journalText(text)); }
std::optional<double> JournalEntry::duration() const { return optionalReal(Duration); }
void JournalEntry::setDuration(std::optional<double> seconds) { setOptional(Duration, seconds); }
double JournalEntry::sentimentScore() const { return value(SentimentScore).toDouble(); }
void JournalEntry::setSentimentScore(double score) { setValue(SentimentScore, score); }
QByteArray JournalEntry::keywordFrequenciesData() const { return value(KeywordFrequenciesData).toByteArray(); }
void JournalEntry::setKeywordFrequenciesData(const QByteArray &data) { setValue(KeywordFrequenciesData, data); }
std::optional<QString> JournalEntry::moodLabel() const { return optionalText(MoodLabel); }
void JournalEntry::setMoodLabel(std::optional<QString> label) { setOptional(MoodLabel, journalText(label)); }
QStringList JournalEntry::tags() const { return value(Tags).toStringList(); }
void JournalEntry::setTags(const QStringList &tags) { setValue(Tags, journalText(tags)); }
bool JournalEntry::isDraft() const { return value(IsDraft).toBool(); }
void JournalEntry::setIsDraft(bool draft) { setValue(IsDraft, draft); }
std::optional<QString> JournalEntry::insightText() const { return optionalText(InsightText); }
void JournalEntry::setInsightText(std::optional<QString> text) { setOptional(InsightText, journalText(text)); }

std::optional<QDateTime> JournalEntry::insightGeneratedAt() const
{
    const auto when = optionalDate(InsightGeneratedAt);
    return when ? std::optional<QDateTime>(inJournalTimeZone(*when)) : std::nullopt;
}

void JournalEntry::setInsightGeneratedAt(std::optional<QDateTime> when) { setOptional(InsightGeneratedAt, when); }

QString JournalEntry::insightStatusRaw() const { return value(InsightStatusRaw).toString(); }
void JournalEntry::setInsightStatusRaw(const QString &raw) { setValue(InsightStatusRaw, journalText(raw)); }
std::optional<QString> JournalEntry::insightFailureMessage() const { return optionalText(InsightFailureMessage); }
void JournalEntry::setInsightFailureMessage(std::optional<QString> message) { setOptional(InsightFailureMessage, journalText(message)); }
QByteArray JournalEntry::themesData() const { return value(ThemesData).toByteArray(); }
void JournalEntry::setThemesData(const QByteArray &data) { setValue(ThemesData, data); }
std::optional<QString> JournalEntry::insightEmotionalTone() const { return optionalText(InsightEmotionalTone); }
void JournalEntry::setInsightEmotionalTone(std::optional<QString> tone) { setOptional(InsightEmotionalTone, journalText(tone)); }
QByteArray JournalEntry::insightKeyPointsData() const { return value(InsightKeyPointsData).toByteArray(); }
void JournalEntry::setInsightKeyPointsData(const QByteArray &data) { setValue(InsightKeyPointsData, data); }
std::optional<QString> JournalEntry::insightOverallSentiment() const { return optionalText(InsightOverallSentiment); }
void JournalEntry::setInsightOverallSentiment(std::optional<QString> text) { setOptional(InsightOverallSentiment, journalText(text)); }
std::optional<QString> JournalEntry::insightClosingFocus() const { return optionalText(InsightClosingFocus); }
void JournalEntry::setInsightClosingFocus(std::optional<QString> text) { setOptional(InsightClosingFocus, journalText(text)); }
std::optional<double> JournalEntry::insightOverallScore() const { return optionalReal(InsightOverallScore); }
void JournalEntry::setInsightOverallScore(std::optional<double> score) { setOptional(InsightOverallScore, score); }
int JournalEntry::insightSchemaVersion() const { return int(value(InsightSchemaVersion).toLongLong()); }
void JournalEntry::setInsightSchemaVersion(int version) { setValue(InsightSchemaVersion, qlonglong(version)); }

KeywordFrequencies JournalEntry::keywordFrequencies() const { return decodeKeywordFrequencies(keywordFrequenciesData()); }
void JournalEntry::setKeywordFrequencies(const KeywordFrequencies &frequencies)
{
    setKeywordFrequenciesData(encodeKeywordFrequencies(frequencies));
}

QStringList JournalEntry::themes() const { return store::decodeStringArray(themesData()); }
void JournalEntry::setThemes(const QStringList &themes) { setThemesData(store::encodeStringArray(journalText(themes))); }
QStringList JournalEntry::insightKeyPoints() const { return store::decodeStringArray(insightKeyPointsData()); }
void JournalEntry::setInsightKeyPoints(const QStringList &points) { setInsightKeyPointsData(store::encodeStringArray(journalText(points))); }

InsightStatus JournalEntry::insightStatus() const { return insightStatusOrNone(insightStatusRaw()); }

bool JournalEntry::hasCompleteInsight() const
{
    return insightStatus() == InsightStatus::Ready && !text::isBlank(insightText().value_or(QString()))
           && !text::isBlank(insightEmotionalTone().value_or(QString()));
}

bool JournalEntry::hasCurrentInsight() const
{
    return insightStatus() == InsightStatus::Ready && insightSchemaVersion() >= kCurrentInsightSchemaVersion
           && !text::isBlank(insightText().value_or(QString()));
}

} // namespace zn
