// The dictation screen shown with nothing recorded, as a user leaves it
// open: the orb breathes and nothing else moves. What it costs is the
// program's processor time over 10 s of the event loop (goal: at most 5 % of
// one core), with the orb's repaints per second beside it.
#include "app/theme/ThemeScope.h"
#include "support/BenchRun.h"
#include "views/voice/VoiceModeView.h"
#include "views/voice/VoiceOrb.h"
#include "views/voice/VoiceStage.h"
#include "voice/ScriptedVoiceServices.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>

#include <ctime>

namespace zn {
namespace {

double processorSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

class PaintCounter : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

void BM_VoiceScreenIdle(benchmark::State &state)
{
    const ZephyrTheme theme{state.range(0) ? ColorPalettePreference::Cool : ColorPalettePreference::Warm,
                            state.range(0) ? ColorScheme::Dark : ColorScheme::Light};
    VoiceRecordingSession session(scriptedVoiceServices());
    QWidget window;
    window.resize(1180, 780);
    new ThemeScope(&window, theme);
    auto *view = new VoiceModeView(session, {}, {}, &window);
    view->setGeometry(window.rect());
    window.show();
    bench::runEventLoopFor(500); // shown, laid out, first drawn
    PaintCounter counter;
    view->stage()->orb()->installEventFilter(&counter);

    constexpr int kSeconds = 10;
    for (auto _ : state) {
        QElapsedTimer wall;
        const double before = processorSeconds();
        wall.start();
        bench::runEventLoopFor(kSeconds * 1000);
        const double used = processorSeconds() - before;
        const double seconds = wall.nsecsElapsed() / 1e9;
        state.SetIterationTime(seconds);
        state.counters["cpu_s"] = used;
        state.counters["core_pct"] = 100.0 * used / seconds;
        state.counters["orb_paints_per_s"] = counter.paints / seconds;
    }
}
BENCHMARK(BM_VoiceScreenIdle)->Arg(0)->Arg(1)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace
} // namespace zn
