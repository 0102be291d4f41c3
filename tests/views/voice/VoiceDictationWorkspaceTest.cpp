// The dictation screen in the workspace it belongs to: a whole dictation
// through the file input and the offline recogniser, saved with the keys,
// lands in the timeline; "Write instead" carries the words into a draft.
#include "core/EditorSession.h"
#include "core/JournalEntry.h"
#include "core/StoreFactory.h"
#include "platform/audio/FakeAudioInputEngine.h"
#include "platform/audio/WavFileInputEngine.h"
#include "platform/base/NotificationCenter.h"
#include "platform/speech/FakeSpeechPlatform.h"
#include "platform/speech/SpeechTestAudio.h"
#include "support/TestSupport.h"
#include "views/voice/VoiceModeView.h"
#include "views/workspace/state/ShortcutRouter.h"
#include "views/workspace/state/WorkspaceViewModel.h"
#include "voice/ScriptedVoiceServices.h"
#include "voice/VoicePermissions.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace zn {
namespace {

using namespace std::chrono_literals;

const QKeySequence kStart(Qt::CTRL | Qt::Key_R);
const QKeySequence kSave(Qt::CTRL | Qt::Key_S);
const QKeySequence kStop(Qt::Key_Escape);

// A workspace on a real store with the screen shown on its voice
// destination, wired as the window wires it.
class WorkspaceVoiceTest : public ::testing::Test
{
protected:
    void build(VoiceSessionServices voice)
    {
        StoreError error;
        auto made = makeStoreContainerIn(dir.path(), &error);
        ASSERT_TRUE(made.has_value()) << error.description().toStdString();
        container = made->container;
        WorkspaceServices services;
        services.context = container->mainContext();
        services.notificationCenter = &center;
        voice.notificationCenter = &center;
        services.voice = std::move(voice);
        workspace = std::make_unique<WorkspaceViewModel>(std::move(services));
        workspace->handleAppear();
        workspace->navigate(WorkspaceDestination::Voice);

        router.registerMenuKey(kStart);
        router.registerMenuKey(kSave);
        WorkspaceViewModel *vm = workspace.get();
        VoiceModeCallbacks callbacks{[vm] { vm->switchVoiceToWriting(); },
                                     [vm](const QUuid &id) { vm->showSavedVoiceEntry(id); }};
        VoiceModeEnvironment environment;
        environment.modelContext = vm->modelContext();
        environment.shortcuts = &router;
        view = std::make_unique<VoiceModeView>(vm->voiceSession(), callbacks, environment);
        view->resize(1000, 700);
        view->show();
    }

    void TearDown() override
    {
        view.reset();
        workspace.reset();
    }

    test::TempDir dir;
    std::shared_ptr<ModelContainer> container;
    NotificationCenter center;
    ShortcutRouter router;
    std::unique_ptr<WorkspaceViewModel> workspace;
    std::unique_ptr<VoiceModeView> view;
};

TEST_F(WorkspaceVoiceTest, RecordedSpeechSavedFromTheScreenAppearsInTheTimeline)
{
    const QString recording = test::pocketsphinxRecording(QStringLiteral("goforward.raw"));
    ASSERT_TRUE(QFileInfo::exists(recording)) << "install pocketsphinx-testdata";
    const WavFile file = WavFile::readRaw(recording, AudioFormat{SampleFormat::Int16, 16000.0, 1});
    ASSERT_TRUE(file.isValid()) << file.error.toStdString();
    auto engine = std::make_unique<WavFileInputEngine>(file, 4.0);
    WavFileInputEngine *input = engine.get();
    VoiceSessionServices voice;
    voice.audioInput = std::move(engine); // the real recogniser, permissions and clock
    ASSERT_NO_FATAL_FAILURE(build(std::move(voice)));
    VoiceRecordingSession &session = workspace->voiceSession();

    // Deadlines are generous: a loaded machine loads the recogniser's model
    // and decodes slowly, and a stop finalises for a few seconds at most, so
    // the words must be heard before it.
    ASSERT_TRUE(router.dispatch(kStart));
    ASSERT_TRUE(test::waitUntil([&] { return session.phase() == VoicePhase::recording; }, 30s))
        << rawValue(session.phase()).toStdString();
    ASSERT_TRUE(test::waitUntil([&] { return input->reachedEnd(); }, 30s));
    test::waitUntil([&] { return session.transcript().contains(QStringLiteral("go forward ten meters")); }, 30s);

    ASSERT_TRUE(router.dispatch(kStop));
    ASSERT_TRUE(test::waitUntil([&] { return session.phase() == VoicePhase::reviewing; }, 30s));
    ASSERT_TRUE(session.transcript().contains(QStringLiteral("go forward ten meters")))
        << session.transcript().toStdString();
    ASSERT_TRUE(router.dispatch(kSave));

    ASSERT_TRUE(test::waitUntil([&] { return !workspace->journalEntries().isEmpty(); }, 5000ms));
    ASSERT_TRUE(test::waitUntil([&] { return workspace->selection().has_value(); }, 5000ms));
    JournalEntry *entry = workspace->journalEntries().first();
    EXPECT_TRUE(entry->rawText().contains(QStringLiteral("go forward ten meters"))) << entry->rawText().toStdString();
    EXPECT_EQ(workspace->selection(), std::optional(entry->id())) << "the workspace opened the new entry";
    EXPECT_EQ(workspace->destination(), WorkspaceDestination::Timeline);
    EXPECT_TRUE(workspace->filteredEntries().contains(entry));
    EXPECT_EQ(session.phase(), VoicePhase::idle);
}

TEST_F(WorkspaceVoiceTest, WriteInsteadMovesTheDictatedWordsIntoATypedDraft)
{
    auto platform = std::make_shared<speech::FakeSpeechPlatform>();
    VoiceSessionServices voice = scriptedVoiceServices(platform);
    voice.locale = QLocale(QLocale::English, QLocale::UnitedStates);
    ASSERT_NO_FATAL_FAILURE(build(std::move(voice)));
    VoiceRecordingSession &session = workspace->voiceSession();

    view->trigger(VoiceControlAction::Start);
    ASSERT_TRUE(test::waitUntil([&] { return session.phase() == VoicePhase::recording; }));
    platform->lastAnalyzer()->emitResult(QStringLiteral("half a thought"), false);
    ASSERT_TRUE(test::waitUntil([&] { return session.transcript() == QStringLiteral("half a thought"); }));

    view->trigger(VoiceControlAction::WriteInstead);
    ASSERT_TRUE(test::waitUntil([&] { return workspace->destination() != WorkspaceDestination::Voice; }));
    EXPECT_EQ(workspace->editor().draftText(), QStringLiteral("half a thought"));
    EXPECT_EQ(session.phase(), VoicePhase::idle);
    EXPECT_TRUE(session.transcript().isEmpty());
}

} // namespace
} // namespace zn
