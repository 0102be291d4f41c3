#pragma once

// A recording session on scripted parts: a hand-moved clock, a private
// notification centre, a fake microphone, a fake recogniser and fake
// permissions, so every path runs in milliseconds.

#include "voice/ScriptedVoiceServices.h"
#include "voice/VoiceRecordingSession.h"

#include "AudioTestSupport.h"
#include "core/InsightQueue.h"
#include "platform/audio/FakeAudioInputEngine.h"
#include "platform/base/Clock.h"
#include "platform/base/NotificationCenter.h"
#include "platform/speech/FakeSpeechPlatform.h"
#include "support/TestSupport.h"
#include "voice/AudioCaptureService.h"
#include "voice/SpeechTranscriptionService.h"
#include "voice/VoicePermissions.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace zn {

inline void PrintTo(VoicePhase phase, std::ostream *os)
{
    *os << rawValue(phase).toStdString();
}

inline void PrintTo(VoiceRecordingFailure failure, std::ostream *os)
{
    *os << rawValue(failure).toStdString();
}

namespace test {

using namespace std::chrono_literals;

class RecordingInsightQueue final : public InsightQueue
{
public:
    void enqueueEntry(const QUuid &entryId) override { ids.append(entryId); }
    QList<QUuid> ids;
};

inline const AudioFormat kMicFormat{SampleFormat::Int16, 16000.0, 1};

// 1024 frames of a full-scale square wave (0 dB) or of digital silence.
inline AudioBuffer micBuffer(bool loud)
{
    std::vector<std::int16_t> samples(1024);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = loud ? std::int16_t(i % 2 ? 32767 : -32767) : std::int16_t(0);
    return AudioBuffer::fromInterleaved(kMicFormat, samples.data(), std::uint32_t(samples.size()));
}

inline void drainEvents()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

class SessionHarness
{
public:
    SessionHarness()
    {
        VoiceSessionServices services = scriptedVoiceServices(platform, permissions, &m_engine);
        services.clock = &clock;
        services.notificationCenter = &center;
        services.locale = QLocale(QLocale::English, QLocale::UnitedStates);
        session = std::make_unique<VoiceRecordingSession>(std::move(services));
    }

    FakeAudioInputEngine &engine() { return *m_engine; }
    speech::FakeSpeechPlatform::Analyzer *analyzer() { return platform->lastAnalyzer(); }

    bool waitForPhase(VoicePhase phase, std::chrono::milliseconds timeout = 3000ms)
    {
        return waitUntil([&] { return session->phase() == phase; }, timeout);
    }

    // Starts and waits for the microphone to be live.
    bool startRecording()
    {
        session->start();
        return waitForPhase(VoicePhase::recording);
    }

    // A result from the analyzer, as the recogniser would send it.
    void hear(const QString &text, bool isFinal = false)
    {
        ASSERT_NE(analyzer(), nullptr);
        analyzer()->emitResult(text, isFinal);
        drainEvents();
    }

    // The microphone level through the real metering: one buffer, measured
    // once the clock has moved past the meter's throttle.
    void pushLevel(bool loud, int times = 1)
    {
        for (int i = 0; i < times; ++i) {
            clock.advance(50ms);
            m_engine->pushBuffer(micBuffer(loud));
            drainEvents();
        }
    }

    void postDeviceChange()
    {
        center.post(AudioCaptureService::configurationChangedNotification());
    }

    // Runs `op` with a completion and waits for it.
    template<class Op>
    bool await(Op op, std::chrono::milliseconds timeout = 3000ms)
    {
        bool finished = false;
        op([&finished] { finished = true; });
        return waitUntil([&] { return finished; }, timeout);
    }

    ManualClock clock;
    NotificationCenter center;
    std::shared_ptr<speech::FakeSpeechPlatform> platform = std::make_shared<speech::FakeSpeechPlatform>();
    std::shared_ptr<FakePermissionProvider> permissions = std::make_shared<FakePermissionProvider>();
    std::unique_ptr<VoiceRecordingSession> session;

private:
    FakeAudioInputEngine *m_engine = nullptr;
};

} // namespace test
} // namespace zn
