// The timeline column over a journal of 10,000 entries: one search
// keystroke (filter, row changes, layout and a repaint of the screen) must
// fit in a frame (16 ms); scrolling a screenful must paint in 8 ms.

#include "app/theme/ThemeScope.h"
#include "platform/audio/FakeAudioInputEngine.h"
#include "platform/base/Clock.h"
#include "platform/base/NotificationCenter.h"
#include "platform/speech/FakeSpeechPlatform.h"
#include "support/BenchJournal.h"
#include "support/BenchRun.h"
#include "support/BenchWorkspace.h"
#include "views/workspace/state/WorkspaceViewModel.h"
#include "views/workspace/timeline/EntryListView.h"
#include "views/workspace/timeline/TimelineListModel.h"
#include "views/workspace/timeline/TimelineListView.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QRandomGenerator>
#include <QScrollBar>

#include <memory>
#include <optional>

namespace zn {
namespace {

const QStringList &vocabulary()
{
    static const QStringList words = QStringLiteral(
        "woke early walked dog river before work morning grey calm coffee corner shop tasted better than usual "
        "busy two long meetings tricky bug billing report good conversation about new project felt tired after "
        "lunch afternoon went well once fixed evening cooked pasta fresh tomatoes called sister read chapters "
        "novel lighthouse keeper grateful quiet evenings even still worry deadline next week trip planned "
        "tomorrow want run finish bed eleven the and a to of in it was I my we with on for that but so at as")
                                          .split(u' ', Qt::SkipEmptyParts);
    return words;
}

QString journalText(QRandomGenerator &random)
{
    const QStringList &words = vocabulary();
    QString text;
    const int count = 20 + int(random.bounded(120));
    for (int i = 0; i < count; ++i) {
        if (i)
            text += (i % 11 == 0) ? QStringLiteral(". ") : QStringLiteral(" ");
        text += words.at(int(random.bounded(quint32(words.size()))));
    }
    return text + u'.';
}

// 10,000 entries, one to five a day going back, with keywords for chips.
struct Column
{
    Column()
    {
        QRandomGenerator random(11);
        QDateTime when = clock.now();
        for (int i = 0; i < 10'000; ++i) {
            when = when.addSecs(-qint64(3600 + random.bounded(12 * 3600)));
            KeywordFrequencies keywords;
            keywords.insert(vocabulary().at(int(random.bounded(20))), 3);
            keywords.insert(vocabulary().at(20 + int(random.bounded(20))), 2);
            store.add(when, journalText(random), random.bounded(2.0) - 1.0, keywords);
        }
        store.save();

        WorkspaceServices services;
        services.context = store.context;
        services.notificationCenter = &center;
        services.clock = &clock;
        auto engine = std::make_unique<FakeAudioInputEngine>();
        engine->setInputFormat(AudioFormat{SampleFormat::Int16, 16000.0, 1});
        services.voice.audioInput = std::move(engine);
        services.voice.speechPlatform = std::make_shared<speech::FakeSpeechPlatform>();
        vm = std::make_unique<WorkspaceViewModel>(std::move(services));
        bench::setUpAsOnScreen(*vm, 10'000);

        window = std::make_unique<QWidget>();
        window->resize(340, 900);
        new ThemeScope(window.get(), ZephyrTheme{});
        view = new EntryListView(*vm, window.get());
        view->setGeometry(window->rect());
        // The window lays rows out in batches across event-loop turns; here
        // every layout runs whole, the cost a batch-free view would pay.
        view->timeline()->setLayoutMode(QListView::SinglePass);
        window->show();
        settle();
    }

    void settle()
    {
        for (int i = 0; i < 4; ++i)
            QCoreApplication::processEvents();
    }

    bench::BenchStore store;
    ManualClock clock;
    NotificationCenter center;
    std::unique_ptr<WorkspaceViewModel> vm;
    std::unique_ptr<QWidget> window;
    EntryListView *view = nullptr;
};

std::unique_ptr<Column> g_column;

// Made on first use; main() lets it go while the application still runs.
Column &column()
{
    if (!g_column)
        g_column = std::make_unique<Column>();
    return *g_column;
}

// Typing and erasing "river": every step narrows or widens the list.
void BM_SearchKeystrokeRefiltersAndRelayouts(benchmark::State &state)
{
    Column &c = column();
    static const QStringList steps = {"r", "ri", "riv", "rive", "river", "rive", "riv", "ri", "r", ""};
    TimelineListView *timeline = c.view->timeline();
    qsizetype step = 0;
    for (auto _ : state) {
        c.vm->setSearchText(steps[step++ % steps.size()]);
        timeline->doItemsLayout();
        timeline->viewport()->repaint();
    }
    state.counters["rows"] = c.view->timelineModel()->rowCount();
}
BENCHMARK(BM_SearchKeystrokeRefiltersAndRelayouts)->Unit(benchmark::kMillisecond);

// The widest change: every entry leaves, then every entry returns.
void BM_SearchAllOrNothing(benchmark::State &state)
{
    Column &c = column();
    TimelineListView *timeline = c.view->timeline();
    bool none = false;
    for (auto _ : state) {
        none = !none;
        c.vm->setSearchText(none ? QStringLiteral("no such words") : QString());
        timeline->doItemsLayout();
        c.view->repaint();
    }
}
BENCHMARK(BM_SearchAllOrNothing)->Unit(benchmark::kMillisecond);

// The same change without the view's layout and paint: the workspace's
// filter and the model's row changes alone.
void BM_SearchAllOrNothingModelOnly(benchmark::State &state)
{
    Column &c = column();
    c.view->hide();
    bool none = false;
    for (auto _ : state) {
        none = !none;
        c.vm->setSearchText(none ? QStringLiteral("no such words") : QString());
    }
    c.vm->setSearchText(QString());
    c.view->show();
    c.settle();
}
BENCHMARK(BM_SearchAllOrNothingModelOnly)->Unit(benchmark::kMillisecond);

// A fresh column over the whole journal, shown, laid out and painted with
// the old one hidden; `layoutMode` unset keeps the view's own batching.
void showFreshColumn(benchmark::State &state, std::optional<QListView::LayoutMode> layoutMode)
{
    Column &c = column();
    for (auto _ : state) {
        state.PauseTiming();
        c.vm->setSearchText(QString());
        auto *fresh = new EntryListView(*c.vm, c.window.get());
        fresh->setGeometry(c.window->rect());
        if (layoutMode)
            fresh->timeline()->setLayoutMode(*layoutMode);
        c.view->hide();
        state.ResumeTiming();
        fresh->show();
        fresh->timeline()->doItemsLayout();
        fresh->repaint();
        state.PauseTiming();
        delete fresh;
        c.view->show();
        state.ResumeTiming();
    }
}

// A journal shown for the first time: faces made, heights measured and laid
// out for every row (what opening the window costs once).
void BM_FirstShowOfTheWholeJournal(benchmark::State &state)
{
    showFreshColumn(state, QListView::SinglePass);
}
BENCHMARK(BM_FirstShowOfTheWholeJournal)->Unit(benchmark::kMillisecond)->Iterations(3);

// What the window pays before its first screen of a fresh journal shows:
// one batch of rows measured and painted.
void BM_FirstScreenOfTheWholeJournal(benchmark::State &state)
{
    showFreshColumn(state, std::nullopt);
}
BENCHMARK(BM_FirstScreenOfTheWholeJournal)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ScrollAScreenful(benchmark::State &state)
{
    Column &c = column();
    c.vm->setSearchText(QString());
    TimelineListView *timeline = c.view->timeline();
    timeline->doItemsLayout();
    QScrollBar *bar = timeline->verticalScrollBar();
    const int page = timeline->viewport()->height();
    for (auto _ : state) {
        int next = bar->value() + page;
        if (next > bar->maximum())
            next = 0;
        bar->setValue(next);
        timeline->viewport()->repaint();
    }
}
BENCHMARK(BM_ScrollAScreenful)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace zn

int main(int argc, char **argv)
{
    zn::bench::preferOffscreenPlatform();
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const int status = zn::bench::runBenchmarks(argc, argv);
    // Its widgets and store go before the application object does.
    zn::g_column.reset();
    return status;
}
