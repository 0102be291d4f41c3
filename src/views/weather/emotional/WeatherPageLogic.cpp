#include "views/weather/emotional/WeatherPageLogic.h"

#include "core/CalendarProvider.h"
#include "core/EntryText.h"
#include "core/JournalEntry.h"
#include "core/TextUnits.h"
#include "core/WeeklyReflectionRecord.h"
#include "reflections/InsightCoordinator.h"
#include "reflections/WeeklyReflectionPrompting.h"

#include <algorithm>

namespace zn::weatherpage {
namespace {

constexpr int kMaxThemeWords = 10;
constexpr int kFallbackThemeWords = 6;
constexpr int kMinThemeLetters = 4;

WeeklyReflectionOutcome cleaned(const WeeklyReflectionRecord &record)
{
    return WeeklyReflectionPrompting::sanitizedOutcome(record.summary(), record.emotionalArc(),
                                                       record.notableMoments(), record.overallSentiment(),
                                                       record.recommendedFocus(), {}, true);
}

bool showsArc(const WeeklyReflectionOutcome &outcome)
{
    return !outcome.emotionalArc.isEmpty()
           && !WeeklyReflectionPrompting::isNearDuplicate(outcome.summary, outcome.emotionalArc);
}

ReflectionItems readyItems(const WeeklyReflectionRecord &record)
{
    const WeeklyReflectionOutcome outcome = cleaned(record);
    ReflectionItems items;
    // The summary keeps its line even when empty, so the block never starts
    // with a stray arc.
    items.append(ReflectionItem::makeText(outcome.summary, ReflectionItem::TextStyle::Summary, 4));
    if (showsArc(outcome))
        items.append(ReflectionItem::makeText(outcome.emotionalArc, ReflectionItem::TextStyle::Detail, 0, 4));
    if (!outcome.notableMoments.isEmpty())
        items.append(ReflectionItem::makeBullets(QStringLiteral("Moments"), outcome.notableMoments, 6));
    if (!outcome.recommendedFocus.isEmpty())
        items.append(ReflectionItem::makeText(outcome.recommendedFocus, ReflectionItem::TextStyle::Focus, 0, 8));
    return items;
}

ReflectionItem message(const QString &text)
{
    return ReflectionItem::makeText(text, ReflectionItem::TextStyle::Message);
}

} // namespace

QString windowName(WeatherPeriod period)
{
    switch (period) {
    case WeatherPeriod::Week:
        return QStringLiteral("Past 7 days");
    case WeatherPeriod::Month:
        return QStringLiteral("Past 30 days");
    case WeatherPeriod::Year:
        return QStringLiteral("Past 365 days");
    }
    return {};
}

QStringList periodTitles()
{
    return {QStringLiteral("7 days"), QStringLiteral("30 days"), QStringLiteral("365 days")};
}

QString panelTitle(WeatherPeriod period)
{
    return period == WeatherPeriod::Week ? QStringLiteral("Past 7 days reflection") : QStringLiteral("Reflection");
}

QString trendBlurb(WeatherLabel label)
{
    switch (label) {
    case WeatherLabel::Sunny:
        return QStringLiteral("This period has felt relatively light and open.");
    case WeatherLabel::PartlyCloudy:
        return QStringLiteral("A mix of brighter and quieter moments.");
    case WeatherLabel::Overcast:
        return QStringLiteral("Steady, even weather inside — neither storm nor full sun.");
    case WeatherLabel::Rainy:
        return QStringLiteral("Heavier days have asked for care and rest.");
    case WeatherLabel::Stormy:
        return QStringLiteral("Intense weather. Be gentle with yourself as you look back.");
    }
    return {};
}

QString countLine(int entryCount, WeatherPeriod period)
{
    return QString::number(entryCount) + QStringLiteral(" entries · ") + windowName(period).toLower();
}

WeeklyReflectionRecord *displayedWeeklyRecord(const QList<WeeklyReflectionRecord *> &records,
                                              const QDateTime &now, const CalendarProvider &calendar)
{
    const QString prefix = QString::fromLatin1(kRollingKeyPrefix);
    const QString todayKey = prefix + calendar.dayKey(now);
    for (WeeklyReflectionRecord *record : records) {
        if (record && !record->isDeleted() && record->weekKey() == todayKey)
            return record;
    }
    WeeklyReflectionRecord *newest = nullptr;
    QDateTime newestAt;
    for (WeeklyReflectionRecord *record : records) {
        if (!record || record->isDeleted() || !record->weekKey().startsWith(prefix)
            || record->status() != InsightStatus::Ready)
            continue;
        const QDateTime at = record->generatedAt();
        // Only a strictly newer record replaces the best: equal times keep
        // the query's order, as a stable sort would.
        if (!newest || at > newestAt) {
            newest = record;
            newestAt = at;
        }
    }
    return newest;
}

std::optional<QString> weeklyReflectionReportText(const WeeklyReflectionRecord *record)
{
    if (!record || record->status() != InsightStatus::Ready)
        return std::nullopt;
    const WeeklyReflectionOutcome outcome = cleaned(*record);
    QStringList parts;
    if (!outcome.summary.isEmpty())
        parts.append(outcome.summary);
    if (showsArc(outcome))
        parts.append(outcome.emotionalArc);
    if (!outcome.notableMoments.isEmpty())
        parts.append(QStringLiteral("Moments: ") + outcome.notableMoments.join(QStringLiteral("; ")));
    if (!outcome.recommendedFocus.isEmpty())
        parts.append(outcome.recommendedFocus);
    const QString text = parts.join(QStringLiteral("\n\n"));
    if (text.isEmpty())
        return std::nullopt;
    return text;
}

ReflectionItems reflectionPanelItems(WeatherPeriod period, const WeeklyReflectionRecord *record,
                                     CapabilityDetector::Availability availability,
                                     const QString &statusDetail, int weekEntryCount)
{
    if (period != WeatherPeriod::Week) {
        const QString days = period == WeatherPeriod::Month ? QStringLiteral("30") : QStringLiteral("365");
        return {ReflectionItem::makeText(
            QStringLiteral("Past ") + days
                + QStringLiteral("-day reflections come later. Charts already use the rolling window."),
            ReflectionItem::TextStyle::Detail)};
    }
    const InsightStatus status = record ? record->status() : InsightStatus::None;
    switch (status) {
    case InsightStatus::Ready:
        return readyItems(*record);
    case InsightStatus::Pending:
    case InsightStatus::Generating: {
        const QString text = QStringLiteral("Reflecting on the past 7 days…");
        return {ReflectionItem::makeProgress(text, text)};
    }
    case InsightStatus::Failed:
        // Only a missing message falls back; an empty one stays empty.
        return {message(record->failureMessage().value_or(QStringLiteral("Reflection isn’t available right now."))),
                ReflectionItem::makeButton(QStringLiteral("Try again"), ReflectionItem::ButtonTone::Accent)};
    case InsightStatus::Unavailable:
        return {message(record->failureMessage().value_or(statusDetail))};
    case InsightStatus::None:
        break;
    }
    if (weekEntryCount <= 0)
        return {message(QStringLiteral("Write a few entries in the past 7 days and a reflection can gather here."))};
    ReflectionItems items{message(CapabilityDetector::placeholderText(availability, statusDetail))};
    if (availability == CapabilityDetector::Availability::Available)
        items.append(ReflectionItem::makeButton(QStringLiteral("Generate reflection"), ReflectionItem::ButtonTone::Accent));
    return items;
}

void requestWeeklyReflection(InsightCoordinator *coordinator)
{
    if (!coordinator)
        return;
    coordinator->setWeeklyRequested(true);
    coordinator->startProcessingIfNeeded();
}

void requestWeeklyReflectionIfWeek(WeatherPeriod period, InsightCoordinator *coordinator)
{
    if (period == WeatherPeriod::Week)
        requestWeeklyReflection(coordinator);
}

std::optional<QStringList> themeWords(const QList<KeywordTotal> &topKeywords)
{
    if (topKeywords.isEmpty())
        return std::nullopt;
    const QSet<QString> &stopWords = displayStopWords();
    QStringList kept;
    for (const KeywordTotal &keyword : topKeywords) {
        const QString trimmed = keyword.word.trimmed();
        if (text::graphemeCount(trimmed) < kMinThemeLetters || stopWords.contains(trimmed.toLower()))
            continue;
        kept.append(keyword.word); // shown as stored
        if (kept.size() == kMaxThemeWords)
            break;
    }
    if (!kept.isEmpty())
        return kept;
    // Nothing survives: the first raw words still say something.
    QStringList raw;
    for (const KeywordTotal &keyword : topKeywords.mid(0, kFallbackThemeWords))
        raw.append(keyword.word);
    return raw;
}

bool exportEnabled(const QList<JournalEntry *> &entries)
{
    return std::any_of(entries.begin(), entries.end(),
                       [](const JournalEntry *entry) { return entry && !entry->isDeleted() && !entry->isDraft(); });
}

std::optional<QString> exportOutcomeMessage(const std::optional<EmotionalWeatherPDFError> &error)
{
    if (!error)
        return QStringLiteral("Weather report exported successfully.");
    if (error->kind == EmotionalWeatherPDFError::Kind::cancelled)
        return std::nullopt;
    return error->message();
}

} // namespace zn::weatherpage
