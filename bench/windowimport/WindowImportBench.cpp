// A journal export imported through the main window as a new user does it:
// the program made as main() makes it, with no model server behind it, the
// menu command posted and only the file panel scripted. Measures from the
// command to a quiet window (the summary up, every entry handed to the
// reflection queue, nothing left queued) and the longest the UI thread was
// held meanwhile. Goals: 3,650 entries within 1.0 s, 10,000 within 1.5 s,
// no hold over 100 ms.

#include "app/settings/AppSettings.h"
#include "app/shell/MainWindow.h"
#include "app/shell/RootView.h"
#include "app/shell/ZephyrnoteApp.h"
#include "app/shell/ZephyrnoteCommands.h"
#include "core/JournalQueries.h"
#include "core/StoreFactory.h"
#include "exchange/JournalExport.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/UserDefaults.h"
#include "platform/panels/FakeFilePanels.h"
#include "reflections/InsightCoordinator.h"
#include "support/BenchHeartbeat.h"
#include "support/BenchJournal.h"
#include "support/BenchRun.h"
#include "views/workspace/window/JournalWorkspaceView.h"
#include "voice/ScriptedVoiceServices.h"
#include "voice/VoiceRecordingSession.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>

namespace zn {
namespace {

QString entryText(QRandomGenerator &random)
{
    static const QStringList words = QStringLiteral(
        "woke early walked dog river before work morning grey calm coffee shop busy meetings tired lunch "
        "afternoon evening cooked pasta called sister read novel grateful quiet worry deadline trip tomorrow "
        "rain sunny garden friends family laughed anxious hopeful proud lonely music park market bread the "
        "and a to of in it was I my we with on for that but so at as")
                                         .split(u' ', Qt::SkipEmptyParts);
    QString text;
    for (int i = 0; i < 150; ++i) {
        if (i)
            text += (i % 12 == 0) ? QStringLiteral(". ") : QStringLiteral(" ");
        text += words.at(int(random.bounded(quint32(words.size()))));
    }
    return text + u'.';
}

// An export file of `count` daily entries, none with a reflection (every
// one waits for the queue): written by the program's own export.
QString exportFile(int count)
{
    static QTemporaryDir dir;
    static std::map<int, QString> files;
    QString &path = files[count];
    if (!path.isEmpty())
        return path;
    bench::BenchStore source;
    QRandomGenerator random{quint32(count)};
    const QDateTime start = QDateTime::currentDateTimeUtc().addDays(-count);
    for (int i = 0; i < count; ++i) {
        source.add(start.addDays(i).addSecs(qint64(random.bounded(12 * 3600))), entryText(random),
                   random.bounded(2.0) - 1.0, KeywordFrequencies{{QStringLiteral("coffee"), 2}});
    }
    source.save();
    const QList<JournalEntry *> all = fetchAllEntries(*source.context);
    const auto bytes = encodeJournalExport(QList<const JournalEntry *>(all.cbegin(), all.cend()));
    path = dir.filePath(QStringLiteral("journal-%1.json").arg(count));
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(std::get<QByteArray>(bytes)) < 0)
        std::abort();
    return path;
}

// Turns the event loop until `done` holds (checked every millisecond).
void runUntil(const std::function<bool()> &done)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(1);
    if (!done())
        loop.exec();
}

void BM_ImportThroughTheWindow(benchmark::State &state)
{
    const int count = int(state.range(0));
    const QString file = exportFile(count);
    // No server listens here: reflections are unavailable, as for a user
    // without a local model.
    qputenv("ZEPHYRNOTE_MODEL_URL", "http://127.0.0.1:1");

    double totalMs = 0, longestMs = 0, afterMs = 0;
    for (auto _ : state) {
        QTemporaryDir home;
        UserDefaults defaults(home.filePath(QStringLiteral("defaults.ini")));
        defaults.setValue(QString::fromLatin1(AppSettings::kOnboardingCompletedKey), true);
        NotificationCenter center;
        FakeFilePanels panels;
        AppEnvironment env;
        env.defaults = &defaults;
        const QString folder = home.filePath(QStringLiteral("store"));
        env.makeContainer = [folder](StoreError *error) { return makeModelContainerIn(folder, error); };
        env.notificationCenter = &center;
        env.panels = &panels;
        env.voiceServices = [] { return scriptedVoiceServices(); };

        auto app = ZephyrnoteApp::create(std::move(env));
        MainWindow *window = app->mainWindow();
        window->show();
        JournalWorkspaceView *view = window->rootView()->workspace();
        runUntil([view] { return view->hasAppeared(); });
        bench::runEventLoopFor(100);

        WorkspaceViewModel &workspace = view->workspace();
        InsightCoordinator &coordinator = app->insightCoordinator();
        bench::Heartbeat heartbeat;
        heartbeat.start();
        panels.scriptAnswer(file);
        QElapsedTimer timer;
        timer.start();
        // From the event loop, as a menu click comes.
        QTimer::singleShot(0, &center, [&center] {
            ZephyrnoteCommands::postCommand(QStringLiteral("zep.command.importJournal"), &center);
        });
        // Quiet: the summary is up and every entry has its answer from the
        // reflection queue (here: "unavailable").
        runUntil([&] {
            if (!workspace.exportStatusMessage() || workspace.isExchanging() || coordinator.isProcessing()
                || !coordinator.entryQueue().isEmpty() || workspace.journalEntries().size() != count)
                return false;
            const auto &entries = workspace.journalEntries();
            return std::none_of(entries.cbegin(), entries.cend(),
                                [](const JournalEntry *e) { return e->insightStatus() == InsightStatus::Pending; });
        });
        const double total = double(timer.nsecsElapsed()) / 1e6;
        const double during = heartbeat.longestGapMs();
        // What the window still does once it reads as done.
        heartbeat.reset();
        bench::runEventLoopFor(500);
        const double after = heartbeat.longestGapMs();
        heartbeat.stop();
        state.SetIterationTime(total / 1e3);
        totalMs += total;
        longestMs = std::max({longestMs, during, after});
        afterMs = std::max(afterMs, after);

        state.PauseTiming();
        if (workspace.journalEntries().size() != count)
            std::abort();
        window->close();
        app.reset();
        QApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["entries"] = count;
    state.counters["total_ms"] = totalMs / double(state.iterations());
    state.counters["longest_ui_block_ms"] = longestMs;
    state.counters["block_after_done_ms"] = afterMs;
}
BENCHMARK(BM_ImportThroughTheWindow)->Arg(3650)->Arg(10000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
} // namespace zn
