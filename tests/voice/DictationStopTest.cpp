// A dictation stopped the moment its last word is spoken, as one presses
// Escape right after finishing: the audio already captured, on its way from
// the sound server or still inside the recogniser, must reach the transcript
// before the review shows it. Spoken by a person (the recogniser's own test
// recording) into a PulseAudio virtual microphone, heard through Qt capture,
// the real recording session and a fresh offline recogniser.
#include "voice/VoiceRecordingSession.h"

#include "CapturePulseServer.h"
#include "platform/audio/AudioInputEngine.h"
#include "platform/base/NotificationCenter.h"
#include "platform/speech/PocketsphinxSpeechPlatform.h"
#include "platform/speech/SpeechTestAudio.h"
#include "support/TestSupport.h"

#include <QFile>

#include <gtest/gtest.h>

#include <iostream>

namespace zn {
namespace {

using namespace std::chrono_literals;

constexpr std::size_t kRate = 16000;

TEST(DictationStopTest, StoppedRightAfterTheLastWordKeepsEveryWord)
{
    // Qt Multimedia binds to one sound server per process, at first use.
    if (::testing::UnitTest::GetInstance()->test_to_run_count() != 1)
        GTEST_SKIP() << "needs a process of its own (ctest runs each case alone)";
    const std::vector<std::int16_t> recording =
        test::readRawSamples(test::pocketsphinxRecording(QStringLiteral("goforward.raw")));
    if (recording.empty())
        GTEST_SKIP() << "the recogniser's test recordings are missing (package pocketsphinx-testdata)";
    // "go forward ten meters", cut right after "meters" (2.45 s in).
    const std::vector<std::int16_t> sentence(recording.begin(),
                                             recording.begin() + std::ptrdiff_t(std::min(recording.size(), kRate * 245 / 100)));

    // Three times, 2.5 s apart, and nothing after the last word.
    std::vector<std::int16_t> audio = test::noise(kRate * 7 / 10, 20, 1);
    for (int i = 0; i < 3; ++i) {
        if (i > 0) {
            const auto pause = test::noise(kRate * 5 / 2, 20, unsigned(i + 2));
            audio.insert(audio.end(), pause.begin(), pause.end());
        }
        audio.insert(audio.end(), sentence.begin(), sentence.end());
    }
    test::TempDir dir;
    QFile raw(dir.file(QStringLiteral("dictation.raw")));
    ASSERT_TRUE(raw.open(QIODevice::WriteOnly));
    raw.write(reinterpret_cast<const char *>(audio.data()), qint64(audio.size() * sizeof(std::int16_t)));
    raw.close();

    test::CapturePulseServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    ASSERT_TRUE(server.loadVirtualMicrophone(QStringLiteral("zn_stop_mic")));
    ASSERT_TRUE(server.connectQt());

    NotificationCenter center;
    VoiceSessionServices services;
    services.notificationCenter = &center;
    services.speechPlatform = std::make_shared<speech::PocketsphinxSpeechPlatform>();
    VoiceRecordingSession session(std::move(services));
    session.start();
    ASSERT_TRUE(test::waitUntil([&] { return session.phase() == VoicePhase::recording; }, 10000ms))
        << session.statusMessage().value_or(QString()).toStdString();
    // The capture stream takes a moment before data flows.
    test::waitUntil([] { return false; }, 800ms);

    auto player = server.playRaw(raw.fileName());
    ASSERT_TRUE(player);
    const auto playing = std::chrono::milliseconds(audio.size() * 1000 / kRate);
    ASSERT_TRUE(test::waitUntil([&] { return player->state() == QProcess::NotRunning; }, playing + 10s));
    ASSERT_EQ(player->exitCode(), 0);
    // The last word has been played: stop at once.
    bool stopped = false;
    session.stop([&] { stopped = true; });
    EXPECT_EQ(session.phase(), VoicePhase::stopping);
    ASSERT_TRUE(test::waitUntil([&] { return stopped; }, 12000ms));
    ASSERT_EQ(session.phase(), VoicePhase::reviewing);

    const QString heard = session.transcript();
    std::cout << "heard: " << heard.toStdString() << "\n";
    EXPECT_EQ(heard.count(QStringLiteral("forward")), 3) << heard.toStdString();
    EXPECT_EQ(heard.count(QStringLiteral("meters")), 3) << "the last word is cut: " << heard.toStdString();
}

} // namespace
} // namespace zn
