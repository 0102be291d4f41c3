#include "WeatherTestHarness.h"

#include "views/weather/emotional/TrendCard.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <cmath>

namespace zn::test {
namespace {

const char *const kWords[] = {"garden", "river", "deadline", "family", "music", "sleep", "coffee", "walk",
                              "project", "friends", "rain", "morning", "about", "tea"};

class WeatherScreens : public WeatherHarness
{
protected:
    // A year of entries: most days one or two, a mood that drifts with the
    // seasons and a few rough weeks, keywords from a small vocabulary.
    void seedYear()
    {
        QRandomGenerator random(7);
        for (int back = 364; back >= 0; --back) {
            if (random.bounded(10) < 3)
                continue;
            const int count = 1 + int(random.bounded(2));
            for (int i = 0; i < count; ++i) {
                const double season = 0.45 * std::sin(back / 58.0);
                const double rough = (back % 90 < 8) ? -0.7 : 0.0;
                const double noise = (random.bounded(100) - 50) / 120.0;
                KeywordFrequencies keywords;
                for (int k = 0; k < 3; ++k)
                    keywords[QString::fromLatin1(kWords[random.bounded(14)])] += 1 + int(random.bounded(3));
                auto entry = std::make_unique<JournalEntry>(
                    QUuid::createUuid(), daysAgo(back, 8 + 5 * i), QStringLiteral("entry"), std::nullopt,
                    std::clamp(season + rough + noise, -1.0, 1.0), keywords, std::nullopt, QStringList{}, false);
                context->insert(std::move(entry));
            }
        }
        ASSERT_FALSE(context->save().has_value());
        auto record = std::make_unique<WeeklyReflectionRecord>(QStringLiteral("rolling7:2025-03-07"), kNow.addDays(-6));
        record->setStatus(InsightStatus::Ready);
        record->setSummary(QStringLiteral("A week of short walks and early nights, with work pressing in midway."));
        record->setEmotionalArc(QStringLiteral("Tension around the deadline eased once the family visit began."));
        record->setNotableMoments({QStringLiteral("Coffee with an old friend"), QStringLiteral("Finishing the project draft")});
        record->setRecommendedFocus(QStringLiteral("Protect the morning walk."));
        context->insert(std::move(record));
        ASSERT_FALSE(context->save().has_value());
    }
};

TEST_F(WeatherScreens, EveryWindowInEveryTheme)
{
    seedYear();
    const struct {
        ZephyrTheme theme;
        const char *name;
    } themes[] = {{{ColorPalettePreference::Warm, ColorScheme::Light}, "warm-light"},
                  {{ColorPalettePreference::Warm, ColorScheme::Dark}, "warm-dark"},
                  {{ColorPalettePreference::Cool, ColorScheme::Light}, "cool-light"},
                  {{ColorPalettePreference::Cool, ColorScheme::Dark}, "cool-dark"}};
    const char *periods[] = {"7", "30", "365"};
    for (const auto &entry : themes) {
        theme = entry.theme;
        const QSize size(1000, 1180);
        EmotionalWeatherView &page = makeView(true, size);
        for (int p = 0; p < 3; ++p) {
            page.setPeriod(allWeatherPeriods()[p]);
            drainEvents();
            ASSERT_TRUE(page.emptyStateCard()->isHidden());
            // Over the window's climate background, as the workspace shows it.
            const QString name = QStringLiteral("weather-%1-%2.png").arg(QLatin1String(periods[p]), QLatin1String(entry.name));
            EXPECT_TRUE(pageOver(page, theme, size).save(screenshotPath(name))) << name.toStdString();
        }
    }
}

TEST_F(WeatherScreens, NarrowPickedDayAndEmptyWindow)
{
    seedYear();
    const QSize narrow(600, 1300);
    EmotionalWeatherView &page = makeView(true, narrow);
    page.setPeriod(WeatherPeriod::Month);
    page.trendCard()->setSelectedDate(daysAgo(3));
    EXPECT_TRUE(pageOver(page, theme, narrow).save(screenshotPath(QStringLiteral("weather-30-narrow-picked.png"))));

    view.reset();
    for (JournalEntry *entry : context->fetch<JournalEntry>())
        context->remove(entry);
    ASSERT_FALSE(context->save().has_value());
    theme = {ColorPalettePreference::Cool, ColorScheme::Dark};
    const QSize size(900, 760);
    EmotionalWeatherView &empty = makeView(true, size);
    EXPECT_TRUE(pageOver(empty, theme, size).save(screenshotPath(QStringLiteral("weather-empty-cool-dark.png"))));
}

} // namespace
} // namespace zn::test
