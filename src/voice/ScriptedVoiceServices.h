#pragma once

#include "platform/audio/FakeAudioInputEngine.h"
#include "platform/speech/FakeSpeechPlatform.h"
#include "voice/VoicePermissions.h"
#include "voice/VoiceRecordingSession.h"

#include <memory>

namespace zn {

// A recording session's services over scripted parts, for tests and
// benchmarks: a 16 kHz mono microphone, the scripted `recogniser`
// and the granted `permissions` (fresh ones where none is given). The
// microphone is also handed back through `microphone` for feeding audio.
inline VoiceSessionServices scriptedVoiceServices(std::shared_ptr<speech::FakeSpeechPlatform> recogniser = nullptr,
                                                  std::shared_ptr<FakePermissionProvider> permissions = nullptr,
                                                  FakeAudioInputEngine **microphone = nullptr)
{
    auto engine = std::make_unique<FakeAudioInputEngine>();
    engine->setInputFormat(AudioFormat{SampleFormat::Int16, 16000.0, 1});
    if (microphone)
        *microphone = engine.get();
    VoiceSessionServices services;
    services.audioInput = std::move(engine);
    services.speechPlatform = recogniser ? std::move(recogniser) : std::make_shared<speech::FakeSpeechPlatform>();
    services.permissions = permissions ? std::move(permissions) : std::make_shared<FakePermissionProvider>();
    return services;
}

} // namespace zn
