#include "platform/audio/WavFileInputEngine.h"

#include <chrono>
#include <cstring>

namespace zn {

WavFileInputEngine::WavFileInputEngine(WavFile file, double speed, QObject *parent)
    : AudioInputEngine(parent)
    , m_file(std::move(file))
    , m_speed(speed)
{
}

WavFileInputEngine::~WavFileInputEngine()
{
    stop();
}

std::optional<AudioFormat> WavFileInputEngine::inputFormat()
{
    if (!m_file.isValid())
        return std::nullopt;
    return m_file.format;
}

void WavFileInputEngine::installTap(std::uint32_t framesPerBuffer, const AudioFormat &format, TapBlock block)
{
    std::lock_guard lock(m_tapMutex);
    m_tapFrames = framesPerBuffer;
    m_tapFormat = format;
    m_block = std::move(block);
}

void WavFileInputEngine::removeTap()
{
    std::lock_guard lock(m_tapMutex);
    m_block = nullptr;
}

std::optional<QString> WavFileInputEngine::start()
{
    if (m_running)
        return std::nullopt;
    if (!m_file.isValid())
        return m_file.error;
    std::uint32_t frames;
    AudioFormat format;
    {
        std::lock_guard lock(m_tapMutex);
        if (!m_block || m_tapFrames == 0)
            return QStringLiteral("No tap is installed on the audio input.");
        if (m_tapFormat != m_file.format)
            return QStringLiteral("The audio file is %1, not %2.")
                .arg(m_file.format.describe(), m_tapFormat.describe());
        frames = m_tapFrames;
        format = m_tapFormat;
    }
    {
        std::lock_guard lock(m_stopMutex);
        m_stopRequested = false;
    }
    m_reachedEnd = false;
    m_running = true;
    m_thread = std::thread([this, frames, format]() { run(m_speed, frames, format); });
    return std::nullopt;
}

void WavFileInputEngine::stop()
{
    {
        std::lock_guard lock(m_stopMutex);
        m_stopRequested = true;
    }
    m_stopCondition.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    m_running = false;
}

void WavFileInputEngine::run(double speed, std::uint32_t frames, AudioFormat format)
{
    using namespace std::chrono;
    const qsizetype chunkBytes = qsizetype(frames) * format.bytesPerFrame();
    const auto period = speed > 0 ? duration_cast<steady_clock::duration>(
                                        duration<double>(double(frames) / format.sampleRate / speed))
                                  : steady_clock::duration::zero();
    auto deadline = steady_clock::now();
    qsizetype offset = 0;
    for (;;) {
        AudioBuffer buffer = AudioBuffer::allocate(format, frames);
        buffer.setFrameLength(frames);
        if (offset < m_file.samples.size()) {
            // The last piece of the file is padded with silence to a whole buffer.
            const qsizetype take = std::min(chunkBytes, m_file.samples.size() - offset);
            std::memcpy(buffer.bytes(), m_file.samples.constData() + offset, size_t(take));
            offset += take;
        } else {
            m_reachedEnd = true;
            if (!m_silenceAfterEnd)
                return;
        }
        {
            std::lock_guard lock(m_tapMutex);
            if (m_block)
                m_block(buffer);
        }
        if (offset >= m_file.samples.size())
            m_reachedEnd = true;

        deadline += period;
        std::unique_lock lock(m_stopMutex);
        if (period == steady_clock::duration::zero()) {
            if (m_stopRequested)
                return;
            if (m_reachedEnd && !m_silenceAfterEnd)
                return;
            // Flat out, but still yield so a stop is seen promptly.
            if (m_reachedEnd)
                m_stopCondition.wait_for(lock, milliseconds(1), [this] { return m_stopRequested; });
            continue;
        }
        if (m_stopCondition.wait_until(lock, deadline, [this] { return m_stopRequested; }))
            return;
    }
}

} // namespace zn
