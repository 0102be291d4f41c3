#pragma once

// A workspace on a real store and a real editor, with a hand-moved clock, a
// private notification centre, a scripted microphone and recogniser, a
// recording reflection queue and scripted journal files.

#include "views/workspace/state/WorkspaceViewModel.h"

#include "core/CalendarProvider.h"
#include "core/EditorSession.h"
#include "core/InsightQueue.h"
#include "core/JournalEntry.h"
#include "core/JournalQueries.h"
#include "core/MoodAnalysis.h"
#include "core/StoreFactory.h"
#include "platform/audio/FakeAudioInputEngine.h"
#include "platform/base/Clock.h"
#include "platform/base/NotificationCenter.h"
#include "platform/panels/FakeFilePanels.h"
#include "platform/speech/FakeSpeechPlatform.h"
#include "reflections/CapabilityDetector.h"
#include "support/TestSupport.h"
#include "voice/VoicePermissions.h"

#include <QCoreApplication>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

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

class RecordingQueue final : public InsightQueue
{
public:
    void enqueueEntry(const QUuid &entryId) override { ids.append(entryId); }
    QList<QUuid> ids;
};

inline void drainEvents()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

inline const QString kHappy = QStringLiteral("What a wonderful, happy morning with my lovely family at the sunny beach.");
inline const QString kGloomy =
    QStringLiteral("Everything went wrong today and I feel miserable, lonely and exhausted.");

class WorkspaceHarness
{
public:
    WorkspaceHarness()
    {
        StoreError error;
        auto made = makeStoreContainerIn(dir.path(), false, &error);
        if (!made)
            ADD_FAILURE() << error.description().toStdString();
        container = made->container;
        context = container->mainContext();
    }

    // Builds the workspace (after seeding, when a test wants that).
    WorkspaceViewModel &make()
    {
        auto engine = std::make_unique<FakeAudioInputEngine>();
        engine->setInputFormat(AudioFormat{SampleFormat::Int16, 16000.0, 1});
        WorkspaceServices services;
        services.context = context;
        services.capability = &capability;
        services.insightCoordinator = &queue;
        services.panels = &panels;
        services.notificationCenter = &center;
        services.clock = &clock;
        services.calendar = &calendar;
        services.voice.audioInput = std::move(engine);
        services.voice.speechPlatform = speech;
        services.voice.permissions = permissions;
        services.voice.locale = QLocale(QLocale::English, QLocale::UnitedStates);
        vm = std::make_unique<WorkspaceViewModel>(std::move(services));
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
        auto entry = std::make_unique<JournalEntry>(QUuid::createUuid(),
                                                    clock.now().addSecs(qint64(-hoursAgo * 3600)), text,
                                                    std::nullopt, score, KeywordFrequencies{}, std::nullopt,
                                                    QStringList{}, draft);
        JournalEntry *inserted = context->insert(std::move(entry));
        EXPECT_FALSE(context->save().has_value());
        return inserted;
    }

    // A saved entry whose score is the analysis's own.
    JournalEntry *seedScored(const QString &text, double hoursAgo)
    {
        return seed(text, sentimentScore(text), hoursAgo);
    }

    // What reached the store, through a context of its own.
    JournalEntry *stored(const QUuid &id)
    {
        readers.push_back(std::make_unique<ModelContext>(container.get()));
        return fetchEntry(*readers.back(), id);
    }
    QList<JournalEntry *> storedAll()
    {
        readers.push_back(std::make_unique<ModelContext>(container.get()));
        return fetchAllEntries(*readers.back());
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

    TempDir dir;
    std::shared_ptr<ModelContainer> container;
    ModelContext *context = nullptr;
    ManualClock clock;
    NotificationCenter center;
    CalendarProvider calendar{QCalendar(), QTimeZone::utc()};
    CapabilityDetector capability;
    RecordingQueue queue;
    FakeFilePanels panels;
    std::shared_ptr<speech::FakeSpeechPlatform> speech = std::make_shared<speech::FakeSpeechPlatform>();
    std::shared_ptr<FakePermissionProvider> permissions = std::make_shared<FakePermissionProvider>();
    std::unique_ptr<WorkspaceViewModel> vm;
    std::vector<std::unique_ptr<ModelContext>> readers;
};

} // namespace test
} // namespace zn
