#include "platform/audio/QtAudioInputEngine.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSource>
#include <QIODevice>
#include <QMediaDevices>
#include <QPointer>
#include <QThread>

namespace zn {
namespace {

std::optional<AudioFormat> fromQt(const QAudioFormat &format)
{
    AudioFormat out;
    switch (format.sampleFormat()) {
    case QAudioFormat::Int16:
        out.sampleFormat = SampleFormat::Int16;
        break;
    case QAudioFormat::Int32:
        out.sampleFormat = SampleFormat::Int32;
        break;
    case QAudioFormat::Float:
        out.sampleFormat = SampleFormat::Float32;
        break;
    default:
        // 8-bit or unknown: the sound server converts to 16-bit for us.
        out.sampleFormat = SampleFormat::Int16;
        break;
    }
    out.sampleRate = format.sampleRate();
    out.channelCount = std::uint32_t(std::max(0, format.channelCount()));
    return out;
}

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
        if (device.isNull())
            return QStringLiteral("No audio input is available.");
        if (!device.isFormatSupported(format))
            return QStringLiteral("The audio input cannot record in the requested format.");
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
    return fromQt(device.preferredFormat());
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

    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("zn-audio-capture"));
    m_worker = new CaptureWorker(this);
    m_worker->moveToThread(m_thread);
    m_thread->start();

    std::optional<QString> error;
    QMetaObject::invokeMethod(m_worker, [&]() { error = m_worker->open(device, toQt(format)); },
                              Qt::BlockingQueuedConnection);
    if (error) {
        stop();
        return error;
    }
    m_running = true;
    m_capturedId = device.id();
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
