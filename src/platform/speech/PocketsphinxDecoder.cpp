#include "platform/speech/PocketsphinxDecoder.h"

#include "platform/speech/ModelFileCheck.h"

#include <QFile>
#include <QFileInfo>

#include <pocketsphinx.h>

#include <functional>

namespace zn::speech {

ModelPaths ModelPaths::installedEnglish()
{
    const QString root = QStringLiteral(ZN_POCKETSPHINX_MODELDIR "/en-us");
    return {root + QStringLiteral("/en-us"), root + QStringLiteral("/en-us.lm.bin"),
            root + QStringLiteral("/cmudict-en-us.dict")};
}

bool ModelPaths::looksComplete() const
{
    const QFileInfo hmm(acousticModel + QStringLiteral("/mdef"));
    const QFileInfo lm(languageModel);
    const QFileInfo dict(dictionary);
    return hmm.isFile() && hmm.size() > 0 && lm.isFile() && lm.size() > 0 && dict.isFile()
        && dict.size() > 0;
}

std::unique_ptr<PocketsphinxDecoder> PocketsphinxDecoder::load(const ModelPaths &paths, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return std::unique_ptr<PocketsphinxDecoder>();
    };
    if (!paths.looksComplete())
        return fail(QStringLiteral("The speech model files are missing."));
    if (const std::optional<QString> problem = checkModelFiles(paths))
        return fail(QStringLiteral("The speech model is damaged (%1).").arg(*problem));

    const QByteArray hmm = QFile::encodeName(paths.acousticModel);
    const QByteArray lm = QFile::encodeName(paths.languageModel);
    const QByteArray dict = QFile::encodeName(paths.dictionary);
    // The search keeps at most 3000 active HMMs and 5 word exits per frame:
    // well above what dictation needs (no transcript we check changes), and
    // about half the work of the library's defaults.
    cmd_ln_t *config = cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", hmm.constData(), "-lm",
                                   lm.constData(), "-dict", dict.constData(), "-maxhmmpf", "3000",
                                   "-maxwpf", "5", "-logfn", "/dev/null", nullptr);
    if (!config)
        return fail(QStringLiteral("The speech model configuration was rejected."));
    ps_decoder_t *ps = ps_init(config);
    cmd_ln_free_r(config); // the decoder keeps its own reference
    if (!ps)
        return fail(QStringLiteral("The speech model could not be loaded."));
    return std::unique_ptr<PocketsphinxDecoder>(new PocketsphinxDecoder(ps));
}

PocketsphinxDecoder::PocketsphinxDecoder(ps_decoder_s *ps) : m_ps(ps) {}

PocketsphinxDecoder::~PocketsphinxDecoder()
{
    if (m_open)
        ps_end_utt(m_ps);
    ps_free(m_ps);
}

bool PocketsphinxDecoder::startUtterance()
{
    if (m_open)
        ps_end_utt(m_ps);
    m_open = ps_start_utt(m_ps) >= 0;
    return m_open;
}

bool PocketsphinxDecoder::process(const std::int16_t *samples, std::size_t count)
{
    if (!m_open || count == 0)
        return m_open;
    return ps_process_raw(m_ps, samples, count, FALSE, FALSE) >= 0;
}

QString PocketsphinxDecoder::hypothesis() const
{
    int32 score = 0;
    const char *hyp = ps_get_hyp(m_ps, &score);
    return hyp ? QString::fromUtf8(hyp).trimmed() : QString();
}

bool PocketsphinxDecoder::inSpeech() const
{
    return m_open && ps_get_in_speech(m_ps) != 0;
}

bool PocketsphinxDecoder::endUtterance()
{
    if (!m_open)
        return false;
    m_open = false;
    return ps_end_utt(m_ps) >= 0;
}

QString PocketsphinxDecoder::finishUtterance(const std::vector<std::int16_t> *heard)
{
    endUtterance();
    QString text = hypothesis();
    if (text.isEmpty())
        return text;
    if (!m_warm && heard && !heard->empty()) {
        // The first words of a new decoder were normalised against the
        // model's stock estimate of the channel; ending the utterance has
        // just measured the real one, so decode them once more with it.
        if (startUtterance() && process(heard->data(), heard->size()) && endUtterance()) {
            const QString again = hypothesis();
            if (!again.isEmpty())
                text = again;
        }
    }
    m_warm = true;
    return text;
}

DecoderPool::DecoderPool(ModelPaths paths) : m_paths(std::move(paths)) {}

DecoderPool::Lease DecoderPool::acquire(QString *error)
{
    std::unique_ptr<PocketsphinxDecoder> decoder;
    {
        std::lock_guard lock(m_mutex);
        if (!m_idle.empty()) {
            decoder = std::move(m_idle.back());
            m_idle.pop_back();
        }
    }
    if (!decoder) {
        // Loading takes a few hundred milliseconds: never under the lock.
        decoder = PocketsphinxDecoder::load(m_paths, error);
        if (!decoder)
            return Lease(nullptr, [](PocketsphinxDecoder *) {});
        std::lock_guard lock(m_mutex);
        ++m_loads;
        m_lastLoadThread = std::this_thread::get_id();
    }
    std::weak_ptr<DecoderPool> weak = weak_from_this();
    return Lease(decoder.release(), [weak](PocketsphinxDecoder *d) {
        if (auto pool = weak.lock())
            pool->giveBack(d);
        else
            delete d;
    });
}

bool DecoderPool::warmUp(QString *error)
{
    Lease lease = acquire(error);
    return bool(lease);
}

void DecoderPool::giveBack(PocketsphinxDecoder *decoder)
{
    std::unique_ptr<PocketsphinxDecoder> owned(decoder);
    if (owned->utteranceOpen())
        owned->endUtterance(); // the next borrower starts from a clean utterance
    std::lock_guard lock(m_mutex);
    m_idle.push_back(std::move(owned));
}

int DecoderPool::loadCount() const
{
    std::lock_guard lock(m_mutex);
    return m_loads;
}

std::thread::id DecoderPool::lastLoadThread() const
{
    std::lock_guard lock(m_mutex);
    return m_lastLoadThread;
}

int DecoderPool::idleCount() const
{
    std::lock_guard lock(m_mutex);
    return m_idle.size();
}

} // namespace zn::speech
