// Main-thread cost of following the recogniser on long dictations: the
// merge rule alone, and one partial result end to end through the session
// (service merge, session merge, live-mood length check).
#include "platform/audio/FakeAudioInputEngine.h"
#include "platform/base/Clock.h"
#include "platform/base/NotificationCenter.h"
#include "platform/speech/FakeSpeechPlatform.h"
#include "voice/VoicePermissions.h"
#include "voice/VoiceRecordingSession.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

namespace {

using namespace zn;

QString words(int characters)
{
    QString text;
    while (text.size() < characters)
        text += QStringLiteral("walking along the river today ");
    return text.left(characters);
}

void BM_MergeTranscriptGrowing(benchmark::State &state)
{
    const QString current = words(int(state.range(0)));
    const QString incoming = current + QStringLiteral(" and more");
    for (auto _ : state)
        benchmark::DoNotOptimize(mergeTranscript(current, incoming));
}
BENCHMARK(BM_MergeTranscriptGrowing)->Arg(1000)->Arg(15000)->Arg(60000);

void BM_MergeTranscriptUnrelated(benchmark::State &state)
{
    const QString current = words(int(state.range(0)));
    const QString incoming = QStringLiteral("x") + current;
    for (auto _ : state)
        benchmark::DoNotOptimize(mergeTranscript(current, incoming));
}
BENCHMARK(BM_MergeTranscriptUnrelated)->Arg(1000)->Arg(15000)->Arg(60000);

void BM_PartialResultWhileRecording(benchmark::State &state)
{
    ManualClock clock;
    NotificationCenter center;
    auto platform = std::make_shared<speech::FakeSpeechPlatform>();
    auto engine = std::make_unique<FakeAudioInputEngine>();
    engine->setInputFormat(AudioFormat{SampleFormat::Int16, 16000.0, 1});
    VoiceSessionServices services;
    services.audioInput = std::move(engine);
    services.speechPlatform = platform;
    services.permissions = std::make_shared<FakePermissionProvider>();
    services.clock = &clock;
    services.notificationCenter = &center;
    services.locale = QLocale(QLocale::English, QLocale::UnitedStates);
    VoiceRecordingSession session(std::move(services));
    session.start();
    while (session.phase() != VoicePhase::recording)
        QCoreApplication::processEvents();

    const QString base = words(int(state.range(0)));
    int i = 0;
    for (auto _ : state) {
        platform->lastAnalyzer()->emitResult(base + QString::number(++i), false);
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_PartialResultWhileRecording)->Arg(1000)->Arg(15000)->Arg(60000);

} // namespace

