#include "platform/audio/FakeAudioInputEngine.h"

namespace zn {

FakeAudioInputEngine::~FakeAudioInputEngine()
{
    note(m_running ? "destroyed while running" : "destroyed");
}

void FakeAudioInputEngine::note(const char *call)
{
    if (m_log)
        m_log->append(QString::fromLatin1(call));
}

void FakeAudioInputEngine::prepare()
{
    ++m_prepareCount;
    note("prepare");
}

void FakeAudioInputEngine::reset()
{
    ++m_resetCount;
    note("reset");
}

void FakeAudioInputEngine::installTap(std::uint32_t framesPerBuffer, const AudioFormat &format, TapBlock block)
{
    ++m_installTapCount;
    note("installTap");
    m_tapFrames = framesPerBuffer;
    m_tapFormat = format;
    m_block = std::move(block);
}

void FakeAudioInputEngine::removeTap()
{
    ++m_removeTapCount;
    note("removeTap");
    m_block = nullptr;
}

std::optional<QString> FakeAudioInputEngine::start()
{
    ++m_startCount;
    note("start");
    if (m_startError)
        return m_startError;
    m_running = true;
    return std::nullopt;
}

void FakeAudioInputEngine::stop()
{
    ++m_stopCount;
    note("stop");
    m_running = false;
}

bool FakeAudioInputEngine::pushBuffer(const AudioBuffer &buffer)
{
    if (!m_running || !m_block)
        return false;
    // A copy, so a block that removes the tap does not destroy itself mid-call.
    const TapBlock block = m_block;
    block(buffer);
    return true;
}

} // namespace zn
