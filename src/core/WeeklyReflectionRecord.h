#pragma once

#include "core/InsightStatus.h"
#include "platform/store/PersistentModel.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

namespace zn {

// One stored reflection over a window of days. Its identity is the store's
// persistent identifier (persistentModelID()). Main thread only; every
// setter notifies through changed(). Dates read back as JournalEntry's do.
class WeeklyReflectionRecord final : public PersistentModel
{
    Q_OBJECT
public:
    enum Field : int {
        WeekKey,
        WeekStart,
        Summary,
        EmotionalArc,
        NotableMomentsData,
        OverallSentiment,
        RecommendedFocus,
        EntryFingerprint,
        GeneratedAt,
        StatusRaw,
        FailureMessage,
        FieldCount
    };

    // Every field at its default (empty texts, now, status "none").
    WeeklyReflectionRecord();
    // As the weekly run creates it: the key and start given, the moments an
    // encoded empty list, generated now.
    WeeklyReflectionRecord(const QString &weekKey, const QDateTime &weekStart);

    static const EntityDescriptor &entityDescriptor();

    QString weekKey() const;
    void setWeekKey(const QString &key);
    QDateTime weekStart() const;
    void setWeekStart(const QDateTime &start);
    QString summary() const;
    void setSummary(const QString &text);
    QString emotionalArc() const;
    void setEmotionalArc(const QString &text);
    QByteArray notableMomentsData() const;
    void setNotableMomentsData(const QByteArray &data);
    QString overallSentiment() const;
    void setOverallSentiment(const QString &text);
    QString recommendedFocus() const;
    void setRecommendedFocus(const QString &text);
    QString entryFingerprint() const;
    void setEntryFingerprint(const QString &fingerprint);
    QDateTime generatedAt() const;
    void setGeneratedAt(const QDateTime &when);
    QString statusRaw() const;
    void setStatusRaw(const QString &raw);
    std::optional<QString> failureMessage() const;
    void setFailureMessage(std::optional<QString> message);

    QStringList notableMoments() const;
    void setNotableMoments(const QStringList &moments);

    InsightStatus status() const;
    void setStatus(InsightStatus status) { setStatusRaw(insightStatusRawValue(status)); }

private:
    struct Blank {};
    explicit WeeklyReflectionRecord(Blank);
    static std::unique_ptr<PersistentModel> makeBlank();
};

} // namespace zn
