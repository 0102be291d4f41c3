// Whole dictations on the real parts: a human recording played through the
// file input or a PulseAudio virtual microphone, the offline recogniser, and
// a real SQLite store.
#include "voice/VoiceRecordingSession.h"

#include "CapturePulseServer.h"
#include "VoiceSessionTestHarness.h"
#include "core/JournalEntry.h"
#include "core/JournalQueries.h"
#include "core/StoreFactory.h"
#include "platform/audio/WavFileInputEngine.h"
#include "platform/base/NotificationCenter.h"
#include "platform/speech/SpeechTestAudio.h"
#include "support/TestSupport.h"

#include <QFileInfo>

#include <gtest/gtest.h>

namespace zn {
namespace {

using namespace std::chrono_literals;

const QString kExpected = QStringLiteral("go forward ten meters");

// Drives one dictation from start to saved entry and checks every step.
class VoiceSessionRealTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QFileInfo::exists(test::pocketsphinxRecording(QStringLiteral("goforward.raw"))))
            << "install pocketsphinx-testdata";
        StoreError error;
        auto made = makeStoreContainerIn(dir.path(), &error);
        ASSERT_TRUE(made.has_value()) << error.description().toStdString();
        container = made->container;
    }

    // Wires the store and the coordinator in, then starts: the microphone
    // goes live on the analyzer back end.
    void attachAndStart(VoiceRecordingSession &session)
    {
        session.setModelContext(container->mainContext());
        session.setInsightCoordinator(&queue);
        QObject::connect(&session, &VoiceRecordingSession::transcriptChanged,
                         [this](const QString &text) { transcripts << text; });
        session.start();
        // Deadlines are generous: a loaded machine loads the recogniser's
        // model and decodes slowly.
        ASSERT_TRUE(test::waitUntil([&] { return session.phase() == VoicePhase::recording; }, 30s))
            << "phase " << rawValue(session.phase()).toStdString() << ", status "
            << session.statusMessage().value_or(QString()).toStdString();
        EXPECT_EQ(session.backendLabel(), QStringLiteral("On-device (pocketsphinx)"));
        EXPECT_FALSE(session.failure());
    }

    // Recording is live: waits until the words have been heard, stops,
    // reviews and saves.
    void finishAndSave(VoiceRecordingSession &session, const std::function<bool()> &audioDone,
                       std::chrono::milliseconds timeout)
    {
        ASSERT_TRUE(test::waitUntil([&] { return audioDone(); }, timeout)) << "the audio never finished";
        // Let the recogniser catch up and close the utterance on the trailing
        // quiet: it may lag the audio by seconds, and a stop finalises for a
        // few seconds at most.
        test::waitUntil([&] { return session.transcript().contains(kExpected); }, 30s);
        EXPECT_FALSE(transcripts.isEmpty()) << "the transcript grows while recording";

        bool stopped = false;
        session.stop([&] { stopped = true; });
        ASSERT_TRUE(test::waitUntil([&] { return stopped; }, 30s));
        ASSERT_EQ(session.phase(), VoicePhase::reviewing);
        EXPECT_TRUE(session.transcript().contains(kExpected)) << session.transcript().toStdString();
        EXPECT_GT(session.duration(), 0.0);

        std::optional<std::optional<QUuid>> saved;
        session.save([&](std::optional<QUuid> id) { saved = id; });
        ASSERT_TRUE(test::waitUntil([&] { return saved.has_value(); }, 30s));
        ASSERT_TRUE(saved->has_value());

        ModelContext reader(container.get());
        JournalEntry *entry = fetchEntry(reader, **saved);
        ASSERT_NE(entry, nullptr);
        EXPECT_TRUE(entry->rawText().contains(kExpected)) << entry->rawText().toStdString();
        ASSERT_TRUE(entry->duration());
        EXPECT_GT(*entry->duration(), 0.0);
        EXPECT_EQ(entry->insightStatus(), InsightStatus::Pending);
        EXPECT_FALSE(entry->isDraft());
        EXPECT_EQ(queue.ids, QList<QUuid>{**saved});

        EXPECT_EQ(session.phase(), VoicePhase::idle);
        EXPECT_TRUE(session.transcript().isEmpty());
    }

    test::TempDir dir;
    std::shared_ptr<ModelContainer> container;
    test::RecordingInsightQueue queue;
    QStringList transcripts;
};

TEST_F(VoiceSessionRealTest, FromTheFileInputThroughTheOfflineRecogniser)
{
    const WavFile file = WavFile::readRaw(test::pocketsphinxRecording(QStringLiteral("goforward.raw")),
                                          AudioFormat{SampleFormat::Int16, 16000.0, 1});
    ASSERT_TRUE(file.isValid()) << file.error.toStdString();
    auto engine = std::make_unique<WavFileInputEngine>(file, 4.0);
    WavFileInputEngine *input = engine.get();

    NotificationCenter center;
    VoiceSessionServices services;
    services.audioInput = std::move(engine);
    services.notificationCenter = &center;
    // The real recogniser, real permissions and real time; the locale is the
    // system's (the C locale on a build machine counts as English).
    VoiceRecordingSession session(std::move(services));
    ASSERT_NO_FATAL_FAILURE(attachAndStart(session));

    finishAndSave(session, [&] { return input->reachedEnd(); }, 30s);
    EXPECT_FALSE(input->isRunning()) << "the file input stops with the recording";
}

TEST_F(VoiceSessionRealTest, ThroughAPulseAudioVirtualMicrophone)
{
    // Qt Multimedia binds to one sound server per process, at first use.
    if (::testing::UnitTest::GetInstance()->test_to_run_count() != 1)
        GTEST_SKIP() << "needs a process of its own (ctest runs each case alone)";
    test::CapturePulseServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    ASSERT_TRUE(server.loadVirtualMicrophone(QStringLiteral("zn_session_mic")));
    ASSERT_TRUE(server.connectQt());

    NotificationCenter center;
    VoiceSessionServices services;
    services.notificationCenter = &center;
    VoiceRecordingSession session(std::move(services));
    ASSERT_NO_FATAL_FAILURE(attachAndStart(session));

    // Played once the sound server has the microphone's stream: what is
    // played before that is heard by no one.
    ASSERT_TRUE(server.waitForRecording()) << server.error().toStdString();
    auto player = server.playRaw(test::pocketsphinxRecording(QStringLiteral("goforward.raw")));
    ASSERT_TRUE(player);
    finishAndSave(session, [&] { return player->state() == QProcess::NotRunning; }, 30s);
    EXPECT_EQ(player->exitCode(), 0);
}

} // namespace
} // namespace zn
