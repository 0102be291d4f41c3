#include "platform/audio/QtAudioInputEngine.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSource>
#include <QIODevice>
#include <QMediaDevices>
#include <QPointer>
#include <QThread>

#include <condition_variable>

namespace zn {
namespace {

QAudioFormat toQt(const AudioFormat &format)
{
    QAudioFormat out;
    out.setSampleRate(int(format.sampleRate));
    out.setChannelCount(int(format.channelCount));
    switch (format.sampleFormat) {
    case SampleFormat::Int16:
        out.setSampleFormat(QAudioFormat::Int16);
        break;
    case SampleFormat::Int32:
        out.setSampleFormat(QAudioFormat::Int32);
        break;
    case SampleFormat::Float32:
        out.setSampleFormat(QAudioFormat::Float);
        break;
    }
    return out;
}

} // namespace

// The tap and the bytes not yet making up a whole buffer. The block runs
// under the lock, so replacing the tap waits for a running block.
struct QtAudioInputEngine::TapSink
{
    std::mutex mutex;
    std::uint32_t frames = 0;
    AudioFormat format;
    TapBlock block;
    QByteArray pending;

    void setTap(std::uint32_t tapFrames, const AudioFormat &tapFormat, TapBlock tapBlock)
    {
        std::lock_guard lock(mutex);
        frames = tapFrames;
        format = tapFormat;
        block = std::move(tapBlock);
        pending.clear();
    }

    void deliver(const char *bytes, qsizetype length)
    {
        std::lock_guard lock(mutex);
        const qsizetype chunk = qsizetype(frames) * format.bytesPerFrame();
        if (!block || chunk <= 0)
            return;
        pending.append(bytes, length);
        qsizetype offset = 0;
        while (pending.size() - offset >= chunk) {
            block(AudioBuffer::fromInterleaved(format, pending.constData() + offset, frames));
            offset += chunk;
        }
        pending.remove(0, offset);
    }
};

namespace {

// Owns the QAudioSource on the capture thread.
class CaptureWorker : public QObject
{
public:
    CaptureWorker(std::shared_ptr<QtAudioInputEngine::TapSink> sink, QPointer<QtAudioInputEngine> engine)
        : m_sink(std::move(sink))
        , m_engine(std::move(engine))
    {
    }

    std::optional<QString> open(const QAudioDevice &device, const QAudioFormat &format)
    {
        m_source = new QAudioSource(device, format, this);
        QIODevice *io = m_source->start();
        if (!io || m_source->error() != QAudio::NoError) {
            close();
            return QStringLiteral("The audio input could not be opened.");
        }
        connect(io, &QIODevice::readyRead, this, [this, io]() {
            const QByteArray bytes = io->readAll();
            if (!bytes.isEmpty())
                m_sink->deliver(bytes.constData(), bytes.size());
        });
        connect(m_source, &QAudioSource::stateChanged, this, [this](QAudio::State state) {
            // A source that dies with an error is a hardware change as far as
            // the user is concerned.
            if (state == QAudio::StoppedState && m_source && m_source->error() != QAudio::NoError)
                reportFailure();
        });
        return std::nullopt;
    }

    void close()
    {
        if (m_source) {
            m_source->disconnect(this);
            m_source->stop();
            delete m_source;
            m_source = nullptr;
        }
    }

    void reportFailure()
    {
        {
            // A stream that was stopped meanwhile reports nothing.
            std::lock_guard lock(m_sink->mutex);
            if (!m_sink->block)
                return;
        }
        QMetaObject::invokeMethod(m_engine, [engine = m_engine]() {
            if (engine && engine->isRunning())
                Q_EMIT engine->configurationChanged();
        }, Qt::QueuedConnection);
    }

private:
    std::shared_ptr<QtAudioInputEngine::TapSink> m_sink;
    QPointer<QtAudioInputEngine> m_engine;
    QAudioSource *m_source = nullptr;
};

} // namespace

AudioFormat QtAudioInputEngine::tapFormatFor(const QAudioFormat &preferred)
{
    AudioFormat out;
    out.sampleFormat = preferred.sampleFormat() == QAudioFormat::Int16 ? SampleFormat::Int16 : SampleFormat::Float32;
    out.sampleRate = preferred.sampleRate();
    out.channelCount = std::uint32_t(std::max(0, preferred.channelCount()));
    return out;
}

QtAudioInputEngine::QtAudioInputEngine(QObject *parent)
    : AudioInputEngine(parent)
    , m_sink(std::make_shared<TapSink>())
{
    m_pollTimer.setInterval(devicePollIntervalMs);
    connect(&m_pollTimer, &QTimer::timeout, this, &QtAudioInputEngine::checkDevices);
    // Newer Qt versions do signal; the poll covers the ones that do not.
    connect(new QMediaDevices(this), &QMediaDevices::audioInputsChanged, this, &QtAudioInputEngine::checkDevices);
}

QtAudioInputEngine::~QtAudioInputEngine()
{
    stop();
}

std::optional<AudioFormat> QtAudioInputEngine::inputFormat()
{
    const QAudioDevice device = QMediaDevices::defaultAudioInput();
    if (device.isNull())
        return std::nullopt;
    return tapFormatFor(device.preferredFormat());
}

std::optional<AudioFormat> QtAudioInputEngine::outputFormat()
{
    const QAudioDevice device = QMediaDevices::defaultAudioInput();
    if (device.isNull())
        return std::nullopt;
    const AudioFormat fallback{SampleFormat::Float32, 48000.0, 1};
    if (!device.isFormatSupported(toQt(fallback)))
        return std::nullopt;
    return fallback;
}

void QtAudioInputEngine::installTap(std::uint32_t framesPerBuffer, const AudioFormat &format, TapBlock block)
{
    m_sink->setTap(framesPerBuffer, format, std::move(block));
}

void QtAudioInputEngine::removeTap()
{
    m_sink->setTap(0, {}, nullptr);
}

void QtAudioInputEngine::prepare()
{
}

std::optional<QString> QtAudioInputEngine::start()
{
    if (m_running)
        return std::nullopt;
    AudioFormat format;
    {
        std::lock_guard lock(m_sink->mutex);
        if (!m_sink->block || m_sink->frames == 0 || !m_sink->format.isUsable())
            return QStringLiteral("No tap is installed on the audio input.");
        format = m_sink->format;
    }
    const QAudioDevice device = QMediaDevices::defaultAudioInput();
    const QAudioFormat qtFormat = toQt(format);
    // Answered from the device list Qt already holds, so these failures are
    // reported at once without waiting on the server.
    if (device.isNull())
        return QStringLiteral("No audio input is available.");
    if (!device.isFormatSupported(qtFormat))
        return QStringLiteral("The audio input cannot record in the requested format.");

    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("zn-audio-capture"));
    auto *worker = new CaptureWorker(m_sink, this);
    worker->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, m_thread, &QObject::deleteLater);
    m_thread->start();
    m_worker = worker;

    // Opening is a round trip to the sound server. Wait a little for its
    // answer, but never let a slow server freeze the UI thread.
    struct OpenResult
    {
        std::mutex mutex;
        std::condition_variable ready;
        bool done = false;
        bool gaveUp = false;
        std::optional<QString> error;
    };
    auto result = std::make_shared<OpenResult>();
    QMetaObject::invokeMethod(worker, [worker, device, qtFormat, result]() {
        std::optional<QString> error = worker->open(device, qtFormat);
        bool late;
        {
            std::lock_guard lock(result->mutex);
            result->done = true;
            result->error = error;
            late = result->gaveUp;
        }
        result->ready.notify_all();
        if (late && error)
            worker->reportFailure();
    }, Qt::QueuedConnection);

    std::optional<QString> error;
    {
        std::unique_lock lock(result->mutex);
        if (result->ready.wait_for(lock, openWait, [&] { return result->done; }))
            error = result->error;
        else
            result->gaveUp = true;
    }
    if (error) {
        stop();
        return error;
    }
    m_running = true;
    m_knownIds = inputIds();
    m_pollTimer.start();
    return std::nullopt;
}

void QtAudioInputEngine::stop()
{
    m_pollTimer.stop();
    m_running = false;
    if (!m_worker)
        return;
    // The stream closes on its own thread, which then ends and is deleted.
    // Nothing waits for it: a sound server that does not answer must not
    // freeze the UI thread. What it still delivers goes to a sink without a
    // tap; the tap itself moves to a fresh sink.
    std::shared_ptr<TapSink> old = std::exchange(m_sink, std::make_shared<TapSink>());
    {
        std::lock_guard lock(old->mutex);
        m_sink->setTap(old->frames, old->format, std::exchange(old->block, nullptr));
    }
    QObject *worker = std::exchange(m_worker, nullptr);
    QThread *thread = std::exchange(m_thread, nullptr);
    QMetaObject::invokeMethod(worker, [worker, thread]() {
        static_cast<CaptureWorker *>(worker)->close();
        delete worker;
        thread->quit();
    }, Qt::QueuedConnection);
}

void QtAudioInputEngine::reset()
{
    std::lock_guard lock(m_sink->mutex);
    m_sink->pending.clear();
}

QSet<QByteArray> QtAudioInputEngine::inputIds()
{
    QSet<QByteArray> ids;
    for (const QAudioDevice &device : QMediaDevices::audioInputs())
        ids.insert(device.id());
    return ids;
}

void QtAudioInputEngine::checkDevices()
{
    if (!m_running)
        return;
    const QSet<QByteArray> ids = inputIds();
    if (ids == m_knownIds)
        return;
    m_knownIds = ids;
    Q_EMIT configurationChanged();
}

} // namespace zn
