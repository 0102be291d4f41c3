// Start-up to the first painted main window over a journal of 10,000
// entries: objects, store, window and the first paint of the timeline. Run
// it on one core to compare with the goal of 300 ms: taskset -c 0
// bench_startup. Then the workspace's set-up after that paint (reading
// every entry, re-scoring): it must never hold the UI thread over 100 ms.

#include "app/settings/AppSettings.h"
#include "app/shell/MainWindow.h"
#include "app/shell/RootView.h"
#include "app/shell/ZephyrnoteApp.h"
#include "core/JournalEntry.h"
#include "core/StoreFactory.h"
#include "platform/audio/FakeAudioInputEngine.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/UserDefaults.h"
#include "platform/model/ScriptedLanguageModel.h"
#include "platform/panels/FakeFilePanels.h"
#include "platform/speech/FakeSpeechPlatform.h"
#include "support/BenchHeartbeat.h"
#include "support/BenchRun.h"
#include "views/workspace/timeline/EntryListView.h"
#include "views/workspace/timeline/TimelineListView.h"
#include "views/workspace/window/JournalWorkspaceView.h"
#include "voice/ScriptedVoiceServices.h"
#include "voice/VoicePermissions.h"
#include "voice/VoiceRecordingSession.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace zn {
namespace {

QString entryText(quint32 seed)
{
    static const QStringList words = QStringLiteral(
        "woke early walked dog river before work morning grey calm coffee shop busy meetings tired lunch "
        "afternoon evening cooked pasta called sister read novel grateful quiet worry deadline trip tomorrow "
        "rain sunny garden friends family laughed anxious hopeful proud lonely music park market bread")
                                         .split(u' ', Qt::SkipEmptyParts);
    QRandomGenerator random(seed);
    QString text;
    for (int i = 0; i < 120; ++i) {
        if (i)
            text += u' ';
        text += words.at(int(random.bounded(quint32(words.size()))));
    }
    return text + u'.';
}

// The journal, made once for every run.
struct Journal
{
    static constexpr int kEntries = 10'000;

    Journal()
    {
        auto made = makeStoreContainerIn(dir.path());
        ModelContext *context = made->container->mainContext();
        const QDateTime now = QDateTime::currentDateTime();
        QRandomGenerator random(7);
        for (int i = 0; i < kEntries; ++i) {
            context->insert(std::make_unique<JournalEntry>(
                QUuid::createUuid(), now.addSecs(-qint64(i) * 3 * 3600), entryText(quint32(i)), std::nullopt,
                random.bounded(2.0) - 1.0, KeywordFrequencies{}, std::nullopt, QStringList{}, false));
        }
        if (context->save())
            std::abort();
    }
    QTemporaryDir dir;
};

// Watches for the timeline's first paint.
class FirstPaint : public QObject
{
public:
    bool painted = false;
    QWidget *target = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && watched == target)
            painted = true;
        return false;
    }
};

void BM_StartupToFirstPaint(benchmark::State &state)
{
    static Journal journal;
    QTemporaryDir settingsDir;
    UserDefaults defaults(settingsDir.filePath(QStringLiteral("defaults.ini")));
    defaults.setValue(QString::fromLatin1(AppSettings::kOnboardingCompletedKey), true);
    lm::ScriptedLanguageModel model;
    FakeFilePanels panels;

    double createMs = 0, windowMs = 0, paintMs = 0, setUpMs = 0, longestBlockMs = 0;
    for (auto _ : state) {
        NotificationCenter center;
        AppEnvironment env;
        env.defaults = &defaults;
        const QString folder = journal.dir.path();
        env.makeContainer = [folder](StoreError *error) { return makeModelContainerIn(folder, error); };
        env.languageModel = &model;
        env.notificationCenter = &center;
        env.panels = &panels;
        env.voiceServices = [] { return scriptedVoiceServices(); };

        QElapsedTimer timer;
        timer.start();
        auto app = ZephyrnoteApp::create(std::move(env));
        const qint64 created = timer.nsecsElapsed();
        MainWindow *window = app->mainWindow();
        const qint64 built = timer.nsecsElapsed();
        FirstPaint watcher;
        watcher.target = window->rootView()->workspace()->entryList()->timeline()->viewport();
        watcher.target->installEventFilter(&watcher);
        window->show();
        while (!watcher.painted)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        const qint64 painted = timer.nsecsElapsed();
        state.SetIterationTime(double(painted) / 1e9);
        createMs += created / 1e6;
        windowMs += (built - created) / 1e6;
        paintMs += (painted - built) / 1e6;

        state.PauseTiming();
        // After the first paint the window must answer at once while it
        // sets itself up: the longest the UI thread is held until the
        // set-up is over and a second more has passed.
        bench::Heartbeat heartbeat;
        heartbeat.start();
        JournalWorkspaceView *workspace = window->rootView()->workspace();
        QElapsedTimer settle;
        settle.start();
        while (!(workspace->hasAppeared() && !workspace->workspace().isSettingUp()) && settle.elapsed() < 30'000)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        setUpMs += double(settle.nsecsElapsed()) / 1e6;
        const QDeadlineTimer quiet(1000);
        while (!quiet.hasExpired())
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        longestBlockMs = std::max(longestBlockMs, heartbeat.longestGapMs());
        heartbeat.stop();
        window->close();
        app.reset();
        QApplication::processEvents();
        state.ResumeTiming();
    }
    // Where the time goes: objects and store, the window and its views, and
    // showing up to the timeline's first paint (the workspace's set-up runs
    // there).
    const double runs = double(state.iterations());
    state.counters["store_ms"] = createMs / runs;
    state.counters["window_ms"] = windowMs / runs;
    state.counters["show_ms"] = paintMs / runs;
    state.counters["set_up_after_paint_ms"] = setUpMs / runs;
    state.counters["longest_ui_block_after_paint_ms"] = longestBlockMs;
    state.counters["entries"] = Journal::kEntries;
}
BENCHMARK(BM_StartupToFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
} // namespace zn
