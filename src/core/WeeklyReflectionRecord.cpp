#include "core/WeeklyReflectionRecord.h"

#include "core/JournalEntry.h"
#include "core/JournalText.h"
#include "platform/store/FieldValues.h"

namespace zn {

const EntityDescriptor &WeeklyReflectionRecord::entityDescriptor()
{
    static const EntityDescriptor entity{
        QStringLiteral("WeeklyReflectionRecord"),
        {
            {QStringLiteral("weekKey"), FieldType::Text, true},
            {QStringLiteral("weekStart"), FieldType::DateTime},
            {QStringLiteral("summary"), FieldType::Text},
            {QStringLiteral("emotionalArc"), FieldType::Text},
            {QStringLiteral("notableMomentsData"), FieldType::Data},
            {QStringLiteral("overallSentiment"), FieldType::Text},
            {QStringLiteral("recommendedFocus"), FieldType::Text},
            {QStringLiteral("entryFingerprint"), FieldType::Text},
            {QStringLiteral("generatedAt"), FieldType::DateTime},
            {QStringLiteral("statusRaw"), FieldType::Text},
            {QStringLiteral("failureMessage"), FieldType::OptionalText},
        },
        &WeeklyReflectionRecord::makeBlank,
    };
    return entity;
}

WeeklyReflectionRecord::WeeklyReflectionRecord(Blank)
    : PersistentModel(entityDescriptor(), Unfilled{})
{
}

std::unique_ptr<PersistentModel> WeeklyReflectionRecord::makeBlank()
{
    return std::unique_ptr<PersistentModel>(new WeeklyReflectionRecord(Blank{}));
}

WeeklyReflectionRecord::WeeklyReflectionRecord()
    : PersistentModel(entityDescriptor())
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    setValue(WeekStart, now);
    setValue(GeneratedAt, now);
    setValue(StatusRaw, QStringLiteral("none"));
}

WeeklyReflectionRecord::WeeklyReflectionRecord(const QString &weekKey, const QDateTime &weekStart)
    : WeeklyReflectionRecord()
{
    setWeekKey(weekKey);
    setWeekStart(weekStart);
    setNotableMoments({});
}

QString WeeklyReflectionRecord::weekKey() const { return value(WeekKey).toString(); }
void WeeklyReflectionRecord::setWeekKey(const QString &key) { setValue(WeekKey, journalText(key)); }
QDateTime WeeklyReflectionRecord::weekStart() const { return inJournalTimeZone(value(WeekStart).toDateTime()); }
void WeeklyReflectionRecord::setWeekStart(const QDateTime &start) { setValue(WeekStart, start); }
QString WeeklyReflectionRecord::summary() const { return value(Summary).toString(); }
void WeeklyReflectionRecord::setSummary(const QString &text) { setValue(Summary, journalText(text)); }
QString WeeklyReflectionRecord::emotionalArc() const { return value(EmotionalArc).toString(); }
void WeeklyReflectionRecord::setEmotionalArc(const QString &text) { setValue(EmotionalArc, journalText(text)); }
QByteArray WeeklyReflectionRecord::notableMomentsData() const { return value(NotableMomentsData).toByteArray(); }
void WeeklyReflectionRecord::setNotableMomentsData(const QByteArray &data) { setValue(NotableMomentsData, data); }
QString WeeklyReflectionRecord::overallSentiment() const { return value(OverallSentiment).toString(); }
void WeeklyReflectionRecord::setOverallSentiment(const QString &text) { setValue(OverallSentiment, journalText(text)); }
QString WeeklyReflectionRecord::recommendedFocus() const { return value(RecommendedFocus).toString(); }
void WeeklyReflectionRecord::setRecommendedFocus(const QString &text) { setValue(RecommendedFocus, journalText(text)); }
QString WeeklyReflectionRecord::entryFingerprint() const { return value(EntryFingerprint).toString(); }
void WeeklyReflectionRecord::setEntryFingerprint(const QString &fingerprint) { setValue(EntryFingerprint, journalText(fingerprint)); }
QDateTime WeeklyReflectionRecord::generatedAt() const { return inJournalTimeZone(value(GeneratedAt).toDateTime()); }
void WeeklyReflectionRecord::setGeneratedAt(const QDateTime &when) { setValue(GeneratedAt, when); }
QString WeeklyReflectionRecord::statusRaw() const { return value(StatusRaw).toString(); }
void WeeklyReflectionRecord::setStatusRaw(const QString &raw) { setValue(StatusRaw, journalText(raw)); }

std::optional<QString> WeeklyReflectionRecord::failureMessage() const { return optionalText(FailureMessage); }
void WeeklyReflectionRecord::setFailureMessage(std::optional<QString> message) { setOptional(FailureMessage, journalText(message)); }

QStringList WeeklyReflectionRecord::notableMoments() const { return store::decodeStringArray(notableMomentsData()); }
void WeeklyReflectionRecord::setNotableMoments(const QStringList &moments) { setNotableMomentsData(store::encodeStringArray(journalText(moments))); }

InsightStatus WeeklyReflectionRecord::status() const { return insightStatusOrNone(statusRaw()); }

} // namespace zn
