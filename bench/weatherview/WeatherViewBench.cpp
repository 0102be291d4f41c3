#include "app/theme/ThemeScope.h"
#include "core/CalendarProvider.h"
#include "platform/base/Clock.h"
#include "platform/store/StoreQuery.h"
#include "support/BenchJournal.h"
#include "views/weather/emotional/EmotionalWeatherView.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPixmap>
#include <QRandomGenerator>

#include <memory>

namespace zn {
namespace {

// A page over a real store holding `count` entries spread across three
// years, fed with a live query's results as the workspace feeds it.
struct Page {
    bench::BenchStore store;
    ManualClock clock;
    StoreQuery *query = nullptr;
    std::unique_ptr<EmotionalWeatherView> view;

    explicit Page(int count)
    {
        QRandomGenerator random(3);
        const QDateTime now = clock.now();
        const char *words[] = {"garden", "river", "deadline", "family", "music", "sleep", "coffee", "walk"};
        for (int i = 0; i < count; ++i) {
            KeywordFrequencies keywords{{QString::fromLatin1(words[random.bounded(8)]), 1 + int(random.bounded(3))},
                                        {QString::fromLatin1(words[random.bounded(8)]), 1}};
            store.add(now.addSecs(-qint64(random.bounded(3 * 365 * 86400))), QStringLiteral("entry"),
                      random.bounded(200) / 100.0 - 1.0, keywords);
        }
        store.save();
        query = StoreQuery::create<JournalEntry>(store.context);
        WeatherPageServices services;
        services.context = store.context;
        services.clock = &clock;
        view = std::make_unique<EmotionalWeatherView>(query->resultsAs<JournalEntry>(), services, nullptr);
        new ThemeScope(view.get(), ZephyrTheme());
        view->resize(1000, 1200);
        view->show();
        QApplication::processEvents();
        (void)view->grab(); // the first draw
    }
};

// One switch of the picker: every section recomputed for the new window,
// laid out and painted.
void BM_SwitchPeriodAndRedraw(benchmark::State &state)
{
    Page page(int(state.range(0)));
    int i = 0;
    for (auto _ : state) {
        page.view->setPeriod(allWeatherPeriods()[++i % 3]);
        QApplication::processEvents();
        benchmark::DoNotOptimize(page.view->grab());
    }
}
BENCHMARK(BM_SwitchPeriodAndRedraw)->Arg(10'000)->Unit(benchmark::kMillisecond);

// A save elsewhere redraws the same window.
void BM_RedrawSameWindow(benchmark::State &state)
{
    Page page(int(state.range(0)));
    page.view->setPeriod(WeatherPeriod::Year);
    for (auto _ : state) {
        page.view->refresh();
        benchmark::DoNotOptimize(page.view->grab());
    }
}
BENCHMARK(BM_RedrawSameWindow)->Arg(10'000)->Unit(benchmark::kMillisecond);

// The two halves of a redraw, to see where the time goes.
void BM_RefreshOnly(benchmark::State &state)
{
    Page page(int(state.range(0)));
    int i = 0;
    for (auto _ : state) {
        page.view->setPeriod(allWeatherPeriods()[++i % 3]);
        QApplication::processEvents();
    }
}
BENCHMARK(BM_RefreshOnly)->Arg(10'000)->Unit(benchmark::kMillisecond);

void BM_PaintOnly(benchmark::State &state)
{
    Page page(int(state.range(0)));
    page.view->setPeriod(WeatherPeriod::Year);
    for (auto _ : state)
        benchmark::DoNotOptimize(page.view->grab());
}
BENCHMARK(BM_PaintOnly)->Arg(10'000)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace zn
