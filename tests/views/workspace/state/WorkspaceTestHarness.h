#pragma once

// A workspace on a real store and a real editor, with a hand-moved clock, a
// private notification centre, a scripted microphone and recogniser, a
// recording reflection queue and scripted journal files.

#include "views/workspace/state/WorkspaceViewModel.h"

#include "core/EditorSession.h"
#include "core/MoodAnalysis.h"
#include "support/WorkspaceTestServices.h"

#include <gtest/gtest.h>

#include <memory>

namespace zn {

inline void PrintTo(WorkspaceDestination d, std::ostream *os) { *os << rawValue(d).toStdString(); }
inline void PrintTo(MoodFilter f, std::ostream *os) { *os << rawValue(f).toStdString(); }
inline void PrintTo(DetailMode m, std::ostream *os)
{
    static const char *const names[] = {"empty", "reading", "editing", "composingDraft"};
    *os << names[int(m)];
}

namespace test {

using namespace std::chrono_literals;

inline const QString kHappy = QStringLiteral("What a wonderful, happy morning with my lovely family at the sunny beach.");
inline const QString kGloomy =
    QStringLiteral("Everything went wrong today and I feel miserable, lonely and exhausted.");

class WorkspaceHarness : public WorkspaceTestServices
{
public:
    // Builds the workspace (after seeding, when a test wants that).
    WorkspaceViewModel &make()
    {
        vm = std::make_unique<WorkspaceViewModel>(services());
        return *vm;
    }

    WorkspaceViewModel &appear()
    {
        if (!vm)
            make();
        vm->handleAppear();
        drainEvents();
        return *vm;
    }

    EditorSession &editor() { return vm->editor(); }

    // A saved entry `hoursAgo` before the clock's now.
    JournalEntry *seed(const QString &text, double score = 0.0, double hoursAgo = 1.0, bool draft = false)
    {
        return saveEntry(hoursBeforeNow(hoursAgo), text, score, {}, draft);
    }

    // A saved entry whose score is the analysis's own.
    JournalEntry *seedScored(const QString &text, double hoursAgo)
    {
        return seed(text, sentimentScore(text), hoursAgo);
    }

    // Starts a recording on the scripted microphone.
    bool startRecording()
    {
        vm->voiceSession().start();
        return waitUntil([&] { return vm->voiceSession().phase() == VoicePhase::recording; }, 3000ms);
    }

    // Types a new entry (not yet committed).
    void compose(const QString &text)
    {
        vm->startNewEntry();
        editor().setDraftText(text);
    }

    QList<QUuid> ids(const QList<JournalEntry *> &entries) const
    {
        QList<QUuid> out;
        for (JournalEntry *e : entries)
            out.append(e->id());
        return out;
    }

    std::unique_ptr<WorkspaceViewModel> vm;
};

} // namespace test
} // namespace zn
