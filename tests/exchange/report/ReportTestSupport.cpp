#include "ReportTestSupport.h"

#include "core/WeatherPeriodSummary.h"

#include <QRandomGenerator>
#include <QUuid>

#include <algorithm>

namespace zn::test {

JournalEntry *ReportJournal::add(const QDateTime &when, double score, const KeywordFrequencies &keywords,
                                 const QStringList &themes, bool draft)
{
    m_owned.push_back(std::make_unique<JournalEntry>(QUuid::createUuid(), when, QStringLiteral("text"),
                                                     std::nullopt, score, keywords, std::nullopt, QStringList{},
                                                     draft));
    JournalEntry *entry = m_owned.back().get();
    if (!themes.isEmpty())
        entry->setThemes(themes);
    entries.append(entry);
    return entry;
}

JournalEntry *ReportJournal::addDaysAgo(int daysAgo, double score, const KeywordFrequencies &keywords,
                                        const QStringList &themes)
{
    const QDate day = now.toTimeZone(kReportZone).date().addDays(-daysAgo);
    return add(QDateTime(day, QTime(12, 0), kReportZone), score, keywords, themes);
}

QList<EmotionalWeatherReportContent> ReportJournal::contents(const std::optional<QString> &reflection) const
{
    detail::resetWeatherSummaryMemo();
    return makeWeatherReportContents(entries, reflection, now, calendar, locale);
}

void fillSeededJournal(ReportJournal &journal, int count, quint32 seed)
{
    static const QStringList words{
        QStringLiteral("morning"),  QStringLiteral("coffee"),   QStringLiteral("walk"),
        QStringLiteral("deadline"), QStringLiteral("friends"),  QStringLiteral("garden"),
        QStringLiteral("sleep"),    QStringLiteral("meeting"),  QStringLiteral("running"),
        QStringLiteral("family"),   QStringLiteral("reading"),  QStringLiteral("rain"),
        QStringLiteral("music"),    QStringLiteral("cooking"),  QStringLiteral("project"),
        QStringLiteral("weekend"),  QStringLiteral("headache"), QStringLiteral("sunshine")};
    static const QStringList themes{
        QStringLiteral("Rest"),          QStringLiteral("Work pressure"),       QStringLiteral("Friendship"),
        QStringLiteral("Gratitude"),     QStringLiteral("Self-compassion"),     QStringLiteral("Health"),
        QStringLiteral("Creativity"),    QStringLiteral("Family time"),         QStringLiteral("Nature"),
        QStringLiteral("Change"),        QStringLiteral("Boundaries at work"),  QStringLiteral("Learning")};
    QRandomGenerator rng(seed);
    for (int i = 0; i < count; ++i) {
        // A third in the last week, a third in the month, the rest in the year.
        const int bucket = i % 3;
        const int daysAgo = bucket == 0 ? int(rng.bounded(7)) : bucket == 1 ? int(rng.bounded(30))
                                                                            : int(rng.bounded(365));
        KeywordFrequencies keywords;
        for (int k = 0; k < 6; ++k)
            keywords[words[int(rng.bounded(int(words.size())))]] = 1 + int(rng.bounded(3));
        QStringList entryThemes;
        for (int t = 0; t < 2; ++t)
            entryThemes.append(themes[int(rng.bounded(int(themes.size())))]);
        // Moods drift from heavy to light over the year, with daily noise.
        const double trend = -0.5 + double(365 - daysAgo) / 365.0;
        const double score = std::clamp(trend + (rng.generateDouble() - 0.5) * 0.9, -1.0, 1.0);
        const QDate day = journal.now.toTimeZone(kReportZone).date().addDays(-daysAgo);
        journal.add(QDateTime(day, QTime(8 + int(rng.bounded(12)), 0), kReportZone), score, keywords,
                    entryThemes);
    }
}

} // namespace zn::test
