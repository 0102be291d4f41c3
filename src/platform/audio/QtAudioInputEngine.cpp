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

// Owns the QAudioSource on the capture thread.
class CaptureWorker : public QObject
{
public:
    explicit CaptureWorker(QtAudioInputEngine *engine)
        : m_engine(engine)
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
                m_engine->deliver(bytes.constData(), bytes.size());
        });
        QPointer<QtAudioInputEngine> engine(m_engine);
        connect(m_source, &QAudioSource::stateChanged, this, [this, engine](QAudio::State state) {
            // A source that dies with an error is a hardware change as far as
            // the user is concerned.
            if (state == QAudio::StoppedState && m_source && m_source->error() != QAudio::NoError && engine) {
                QMetaObject::invokeMethod(engine, [engine]() {
                    if (engine && engine->isRunning())
                        Q_EMIT engine->configurationChanged();
                }, Qt::QueuedConnection);
            }
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

private:
    QtAudioInputEngine *m_engine;
    QAudioSource *m_source = nullptr;
};

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
    std::lock_guard lock(m_tapMutex);
    m_tap = Tap{framesPerBuffer, format, std::move(block)};
}

void QtAudioInputEngine::removeTap()
{
    std::lock_guard lock(m_tapMutex);
    m_tap = Tap{};
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
        std::lock_guard lock(m_tapMutex);
        if (!m_tap.block || m_tap.frames == 0 || !m_tap.format.isUsable())
            return QStringLiteral("No tap is installed on the audio input.");
        format = m_tap.format;
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
    m_worker = new CaptureWorker(this);
    m_worker->moveToThread(m_thread);
    m_thread->start();

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
    QPointer<QtAudioInputEngine> self(this);
    QMetaObject::invokeMethod(m_worker, [worker = m_worker, device, qtFormat, result, self]() {
        std::optional<QString> error = worker->open(device, qtFormat);
        bool late;
        {
            std::lock_guard lock(result->mutex);
            result->done = true;
            result->error = error;
            late = result->gaveUp;
        }
        result->ready.notify_all();
        if (late && error) {
            QMetaObject::invokeMethod(self, [self]() {
                if (self && self->isRunning())
                    Q_EMIT self->configurationChanged();
            }, Qt::QueuedConnection);
        }
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
    if (m_worker) {
        QMetaObject::invokeMethod(m_worker, [worker = m_worker]() { worker->close(); },
                                  Qt::BlockingQueuedConnection);
        m_thread->quit();
        m_thread->wait();
        delete m_worker;
        m_worker = nullptr;
        delete m_thread;
        m_thread = nullptr;
    }
    m_running = false;
    m_pending.clear();
}

void QtAudioInputEngine::reset()
{
    // Only the capture thread touches m_pending while it runs.
    if (!m_worker)
        m_pending.clear();
}

void QtAudioInputEngine::deliver(const char *bytes, qsizetype length)
{
    std::lock_guard lock(m_tapMutex);
    if (!m_tap.block)
        return;
    const qsizetype chunk = qsizetype(m_tap.frames) * m_tap.format.bytesPerFrame();
    if (chunk <= 0)
        return;
    m_pending.append(bytes, length);
    qsizetype offset = 0;
    while (m_pending.size() - offset >= chunk) {
        const AudioBuffer buffer =
            AudioBuffer::fromInterleaved(m_tap.format, m_pending.constData() + offset, m_tap.frames);
        offset += chunk;
        m_tap.block(buffer);
    }
    m_pending.remove(0, offset);
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
