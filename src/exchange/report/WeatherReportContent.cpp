#include "exchange/report/WeatherReportContent.h"

#include "core/JournalEntry.h"
#include "core/TextUnits.h"
#include "core/WeatherLabel.h"
#include "exchange/report/DateIntervalText.h"
#include "exchange/report/KeywordKeys.h"

#include <QHash>

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>
#include <vector>

namespace zn {
namespace {

constexpr int kKeywordRows = 10;
constexpr int kThemeRows = 8;

// Theme labels as they are counted: trimmed, composed, never blank.
QStringList countedThemes(const JournalEntry &entry)
{
    QStringList out;
    for (const QString &raw : entry.themes()) {
        QString label = text::trimmed(raw);
        // Keyed by the composed form, so a label typed with a combining
        // accent and one with the precomposed letter are one theme. Text
        // without combining marks is composed already.
        if (std::any_of(label.cbegin(), label.cend(), [](QChar c) { return c.unicode() >= 0x300; }))
            label = label.normalized(QString::NormalizationForm_C);
        if (!label.isEmpty())
            out.append(label);
    }
    return out;
}

// One saved entry as the report reads it. Keywords and themes are decoded
// at most once, when a window first asks for them.
struct Row {
    const JournalEntry *entry;
    QDateTime timestamp;
    double score;
    QByteArray keywordData;
    std::optional<std::vector<std::string_view>> keywordKeys; // UTF-8 views into keywordData or decodedWords
    std::vector<QByteArray> decodedWords;
    std::optional<QStringList> themes;

    const std::vector<std::string_view> &keys()
    {
        if (!keywordKeys) {
            keywordKeys.emplace();
            if (!compactKeywordKeys(keywordData, *keywordKeys)) {
                // Anything but the encoder's compact form: the full decoder
                // decides, its words kept as UTF-8 beside the views.
                keywordKeys->clear();
                const KeywordFrequencies decoded = decodeKeywordFrequencies(keywordData);
                decodedWords.reserve(std::size_t(decoded.size()));
                for (auto it = decoded.cbegin(); it != decoded.cend(); ++it) {
                    const QByteArray &word = decodedWords.emplace_back(it.key().toUtf8());
                    keywordKeys->emplace_back(word.constData(), std::size_t(word.size()));
                }
            }
        }
        return *keywordKeys;
    }

    const QStringList &themeLabels()
    {
        if (!themes)
            themes = countedThemes(*entry);
        return *themes;
    }
};

QString periodTitle(WeatherPeriod period)
{
    switch (period) {
    case WeatherPeriod::Week: return QStringLiteral("Past 7 days");
    case WeatherPeriod::Month: return QStringLiteral("Past 30 days");
    case WeatherPeriod::Year: return QStringLiteral("Past 365 days");
    }
    return QStringLiteral("Past 7 days");
}

struct BucketDefinition {
    WeatherLabel label;
    double representative;
};

constexpr std::array<BucketDefinition, 5> kBuckets{{
    {WeatherLabel::Sunny, 0.8},
    {WeatherLabel::PartlyCloudy, 0.4},
    {WeatherLabel::Overcast, 0.0},
    {WeatherLabel::Rainy, -0.4},
    {WeatherLabel::Stormy, -0.8},
}};

QList<WeatherPDFMoodBucket> moodDistribution(const std::vector<Row *> &rows)
{
    std::array<int, kBuckets.size()> counts{};
    for (const Row *row : rows) {
        const WeatherLabel label = weatherLabelForScore(row->score);
        for (std::size_t i = 0; i < kBuckets.size(); ++i)
            if (kBuckets[i].label == label)
                ++counts[i];
    }
    QList<WeatherPDFMoodBucket> out;
    for (std::size_t i = 0; i < kBuckets.size(); ++i)
        if (counts[i] > 0)
            out.append({displayName(kBuckets[i].label), counts[i], kBuckets[i].representative});
    return out;
}

QList<WeatherPDFTheme> themeCounts(const std::vector<Row *> &rows)
{
    QHash<QString, int> counts;
    for (Row *row : rows)
        for (const QString &label : row->themeLabels())
            ++counts[label];
    QList<WeatherPDFTheme> out;
    out.reserve(counts.size());
    for (auto it = counts.constBegin(); it != counts.constEnd(); ++it)
        out.append({it.key(), it.value()});
    std::sort(out.begin(), out.end(), [](const WeatherPDFTheme &a, const WeatherPDFTheme &b) {
        if (a.count != b.count)
            return a.count > b.count;
        return text::scalarLess(a.label, b.label);
    });
    if (out.size() > kThemeRows)
        out.resize(kThemeRows);
    return out;
}

QList<WeatherPDFKeyword> keywordRows(const WeatherPeriodSummary &summary, const std::vector<Row *> &rows)
{
    const qsizetype n = std::min<qsizetype>(summary.topKeywords.size(), kKeywordRows);
    std::vector<QByteArray> words;
    for (qsizetype i = 0; i < n; ++i)
        words.push_back(summary.topKeywords[i].word.toUtf8());
    std::vector<double> sums(words.size(), 0.0);
    std::vector<int> matches(words.size(), 0);
    for (Row *row : rows) {
        // A word listed twice in one table still counts its entry once.
        unsigned listed = 0;
        for (std::string_view key : row->keys()) {
            for (std::size_t w = 0; w < words.size(); ++w) {
                if (key == std::string_view(words[w].constData(), std::size_t(words[w].size()))) {
                    listed |= 1u << w;
                    break;
                }
            }
        }
        for (std::size_t w = 0; w < words.size(); ++w) {
            if (listed & (1u << w)) {
                sums[w] += row->score;
                ++matches[w];
            }
        }
    }
    QList<WeatherPDFKeyword> out;
    for (qsizetype i = 0; i < n; ++i) {
        const KeywordTotal &total = summary.topKeywords[i];
        const double average = matches[i] > 0 ? sums[i] / matches[i] : summary.averageSentiment;
        out.append({total.word, total.count, average});
    }
    return out;
}

std::optional<QString> weekReflection(WeatherPeriod period, const std::optional<QString> &reflection)
{
    if (period != WeatherPeriod::Week || !reflection)
        return std::nullopt;
    const QString text = text::trimmed(*reflection);
    if (text.isEmpty())
        return std::nullopt;
    return text;
}

QDate localDay(const QDateTime &when, const CalendarProvider &calendar)
{
    return when.toTimeZone(calendar.timeZone()).date();
}

} // namespace

QString trendBlurb(WeatherLabel label)
{
    switch (label) {
    case WeatherLabel::Sunny: return QStringLiteral("Mostly brighter moments in this window.");
    case WeatherLabel::PartlyCloudy: return QStringLiteral("A mix of brighter and quieter moments.");
    case WeatherLabel::Overcast: return QStringLiteral("A steadier, quieter stretch.");
    case WeatherLabel::Rainy: return QStringLiteral("Heavier weather on several days.");
    case WeatherLabel::Stormy: return QStringLiteral("Intense weather in this window.");
    }
    return QStringLiteral("Intense weather in this window.");
}

QList<EmotionalWeatherReportContent> makeWeatherReportContents(const QList<JournalEntry *> &entries,
                                                               const std::optional<QString> &reflectionText,
                                                               const QDateTime &now,
                                                               const CalendarProvider &calendar,
                                                               const QLocale &locale)
{
    QList<JournalEntry *> kept;
    kept.reserve(entries.size());
    std::vector<Row> rows;
    rows.reserve(std::size_t(entries.size()));
    for (JournalEntry *entry : entries) {
        if (!entry || entry->isDraft())
            continue;
        kept.append(entry);
        // The stored instant: comparing it with the window needs no zone.
        rows.push_back({entry, entry->value(JournalEntry::Timestamp).toDateTime(), entry->sentimentScore(),
                        entry->keywordFrequenciesData(), std::nullopt, {}, std::nullopt});
    }

    QList<EmotionalWeatherReportContent> out;
    for (WeatherPeriod period : allWeatherPeriods()) {
        const WeatherPeriodSummary summary = WeatherPeriodSummary::summary(kept, period, calendar, now);
        if (summary.entryCount < 1)
            continue;

        EmotionalWeatherReportContent content;
        content.periodTitle = periodTitle(period);
        content.rangeLabel = formatDateInterval(localDay(summary.interval.start, calendar),
                                                localDay(summary.interval.end.addSecs(-1), calendar), locale);
        content.weatherLabel = displayName(summary.label);
        content.trendBlurb = trendBlurb(summary.label);
        content.averageSentiment = summary.averageSentiment;
        content.entryCount = summary.entryCount;

        content.reflectionText = weekReflection(period, reflectionText);
        if (content.reflectionText)
            content.reflectionSectionTitle = QStringLiteral("Past 7 days reflection");

        const DateRange domain = summary.chartXDomain(calendar, 0.8, 5, 1);
        content.chartXDomain = domain;
        if (calendar.startOfDay(domain.lower) > calendar.startOfDay(summary.interval.start)) {
            content.chartSpanLabel = QStringLiteral("Chart spans ")
                                     + formatDateInterval(localDay(domain.lower, calendar),
                                                          localDay(domain.upper, calendar), locale);
        }

        std::vector<Row *> inWindow;
        for (Row &row : rows)
            if (summary.interval.contains(row.timestamp))
                inWindow.push_back(&row);

        content.dailyPoints.reserve(summary.points.size());
        for (const DailySentimentPoint &point : summary.points)
            content.dailyPoints.append({point.dayKey, point.date, point.averageSentiment, point.entryCount});

        content.keywords = keywordRows(summary, inWindow);
        content.themes = themeCounts(inWindow);
        content.moodDistribution = moodDistribution(inWindow);
        out.append(std::move(content));
    }
    return out;
}

} // namespace zn
