#include "app/theme/ThemeScope.h"
#include "core/EditorSession.h"
#include "platform/base/Clock.h"
#include "support/BenchJournal.h"
#include "views/workspace/detail/DetailWidgets.h"
#include "views/workspace/detail/DraftEditor.h"
#include "views/workspace/detail/EntryDetailView.h"
#include "views/workspace/detail/ReadingPage.h"
#include "views/workspace/detail/WritingSurface.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTextCursor>

#include <memory>

namespace zn {
namespace {

QString longEntry(qsizetype size)
{
    QString text;
    while (text.size() < size)
        text += QStringLiteral("Another line of a long evening entry, written without hurry or a plan.\n");
    text.truncate(size);
    return text;
}

// A detail pane over a real store with one long entry open.
struct Pane {
    bench::BenchStore store;
    ManualClock clock;
    std::unique_ptr<EditorSession> editor;
    std::unique_ptr<EntryDetailView> view;
    JournalEntry *entry = nullptr;

    explicit Pane(qsizetype size)
    {
        entry = store.add(clock.now(), longEntry(size), 0.1);
        store.save();
        editor = std::make_unique<EditorSession>(clock);
        view = std::make_unique<EntryDetailView>(*editor, store.context, nullptr, nullptr, [] {});
        new ThemeScope(view.get(), ZephyrTheme());
        view->resize(1000, 800);
        view->show();
        view->handleAppear();
        QApplication::processEvents();
    }
};

void BM_KeystrokeIn15kEntry(benchmark::State &state)
{
    Pane pane(15'000);
    pane.editor->openEntry(pane.entry, true);
    pane.view->setEntry(pane.entry);
    DraftEditor *editor = pane.view->writingSurface()->editor();
    editor->setFocus();
    QTextCursor cursor = editor->textCursor();
    cursor.setPosition(7'500); // mid-text: the worst place to insert
    editor->setTextCursor(cursor);
    QApplication::processEvents();

    for (auto _ : state) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QApplication::sendEvent(editor, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QApplication::sendEvent(editor, &release);
        // The frame the user sees: the editor, the header and the mood line.
        pane.view->repaint();
    }
    state.counters["chars"] = double(pane.editor->draftText().size());
}
BENCHMARK(BM_KeystrokeIn15kEntry)->Unit(benchmark::kMillisecond);

// A keystroke on which the autosave's longest wait falls due, while writing
// steadily: arg 0 a new entry of 15,000 characters (its draft row is
// written), 1 an edited entry of that length (it is scored and committed).
// The keystroke only restarts the save's timers; the save runs from the
// event loop right after it, before the next keystroke is read. Each is
// timed apart ("key_ms", "save_ms"), and the whole is the iteration.
void BM_KeystrokeWithASaveDue(benchmark::State &state)
{
    Pane pane(15'000);
    const bool editing = state.range(0) == 1;
    if (editing) {
        pane.editor->openEntry(pane.entry, true);
        pane.view->setEntry(pane.entry);
    } else {
        pane.editor->startNewDraft(longEntry(15'000));
        pane.view->setEntry(nullptr);
    }
    DraftEditor *editor = pane.view->writingSurface()->editor();
    editor->setFocus();
    editor->moveCursor(QTextCursor::End);
    QApplication::processEvents();

    QElapsedTimer timer;
    qint64 keyNs = 0;
    qint64 saveNs = 0;
    for (auto _ : state) {
        timer.start();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QApplication::sendEvent(editor, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QApplication::sendEvent(editor, &release);
        keyNs += timer.nsecsElapsed();
        timer.start();
        pane.clock.advance(EditorSession::kAutosaveLongestWait);
        saveNs += timer.nsecsElapsed();
        pane.view->repaint();
    }
    const double iterations = double(state.iterations());
    state.counters["key_ms"] = double(keyNs) / 1e6 / iterations;
    state.counters["save_ms"] = double(saveNs) / 1e6 / iterations;
}
BENCHMARK(BM_KeystrokeWithASaveDue)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Opening an entry for reading (arg 1 = 0) or writing (1): the pane shows
// its first frame.
void BM_OpenEntry(benchmark::State &state)
{
    Pane pane(state.range(0));
    const bool writing = state.range(1) == 1;
    for (auto _ : state) {
        pane.editor->clearSelection();
        pane.view->setEntry(nullptr);
        pane.editor->openEntry(pane.entry, writing);
        pane.view->setEntry(pane.entry);
        pane.view->repaint();
    }
}
BENCHMARK(BM_OpenEntry)
    ->ArgsProduct({{15'000, 1'000'000}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// The editor's own share of opening (it re-scores the text), without a pane.
void BM_EditorOpenOnly(benchmark::State &state)
{
    Pane pane(state.range(0));
    pane.view.reset();
    for (auto _ : state) {
        pane.editor->clearSelection();
        pane.editor->openEntry(pane.entry, false);
    }
}
BENCHMARK(BM_EditorOpenOnly)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ReadingTextLayout(benchmark::State &state)
{
    const QString text = longEntry(state.range(0));
    for (auto _ : state) {
        ReadingText body(textStyleFont(TextStyle::Body), InkRole::Ink, 8);
        body.setPlainTextIfChanged(text);
        benchmark::DoNotOptimize(body.heightForWidth(680));
    }
}
BENCHMARK(BM_ReadingTextLayout)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
} // namespace zn
