#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

struct ps_decoder_s;

namespace zn::speech {

// Where the acoustic model, language model and dictionary live.
struct ModelPaths {
    QString acousticModel;   // folder
    QString languageModel;   // .lm.bin
    QString dictionary;      // .dict

    // The en-US model of the installed pocketsphinx-en-us package.
    static ModelPaths installedEnglish();
    // All three present and non-empty; says nothing about whether they load.
    bool looksComplete() const;
};

// One loaded pocketsphinx decoder. Not thread-safe: exactly one thread uses
// it at a time (the pool hands it out to one owner).
class PocketsphinxDecoder
{
public:
    // nullptr (and `error` set) when the model is missing or damaged.
    static std::unique_ptr<PocketsphinxDecoder> load(const ModelPaths &paths, QString *error);
    ~PocketsphinxDecoder();
    PocketsphinxDecoder(const PocketsphinxDecoder &) = delete;
    PocketsphinxDecoder &operator=(const PocketsphinxDecoder &) = delete;

    bool startUtterance();
    // 16 kHz mono signed 16-bit samples.
    bool process(const std::int16_t *samples, std::size_t count);
    QString hypothesis() const;
    bool inSpeech() const;
    bool endUtterance();
    bool utteranceOpen() const { return m_open; }

    // Ends the utterance and returns its text. A decoder that has not yet
    // finished an utterance with words is cold: its channel estimate is the
    // model's stock one, which costs the first words accuracy. Given the
    // utterance's own samples (`heard`), a cold decoder decodes them once
    // more after ending, with the estimate just learnt from them.
    QString finishUtterance(const std::vector<std::int16_t> *heard = nullptr);
    // Has finished an utterance with words.
    bool isWarm() const { return m_warm; }

    static constexpr double sampleRate = 16000.0;

private:
    explicit PocketsphinxDecoder(ps_decoder_s *ps);
    ps_decoder_s *m_ps;
    bool m_open = false;
    bool m_warm = false;
};

// Loads the model once and lends the decoder to one worker at a time; a
// second concurrent borrower gets a decoder of its own, kept for reuse too.
class DecoderPool : public std::enable_shared_from_this<DecoderPool>
{
public:
    explicit DecoderPool(ModelPaths paths);

    using Lease = std::unique_ptr<PocketsphinxDecoder, std::function<void(PocketsphinxDecoder *)>>;

    // Blocks while a model loads; call off the UI thread. Empty lease and
    // `error` set when the model cannot be loaded.
    Lease acquire(QString *error = nullptr);

    // Loads one decoder ahead of use so the first acquire is quick.
    bool warmUp(QString *error = nullptr);

    const ModelPaths &paths() const { return m_paths; }
    int loadCount() const;
    int idleCount() const;
    // Where the newest model load ran (loads belong off the UI thread).
    std::thread::id lastLoadThread() const;

private:
    void giveBack(PocketsphinxDecoder *decoder);

    ModelPaths m_paths;
    mutable std::mutex m_mutex;
    std::vector<std::unique_ptr<PocketsphinxDecoder>> m_idle;
    int m_loads = 0;
    std::thread::id m_lastLoadThread;
};

} // namespace zn::speech
