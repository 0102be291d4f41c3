#pragma once

#include "platform/model/LanguageModel.h"
#include "platform/model/LoopbackHttp.h"

#include <QFuture>
#include <QObject>
#include <QUrl>

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace zn::lm {

// The language model of a local model server speaking the OpenAI-style chat
// API (llama.cpp's server is the reference: /health, /props, /tokenize and
// /v1/chat/completions). Only addresses on this machine are ever contacted:
// journal text must not leave it.
//
// Availability comes from a cached probe that is refreshed in the background
// when it is older than `probeStaleAfter`: nothing listening, or no answer
// in time, reads as "no server"; a server still loading its model as "not
// ready"; any other answer as "other", with a sentence on what it was.
// Until the first probe answers the model reads as not ready;
// availabilityChanged() tells when a probe's answer changes what reads say.
class LocalServerLanguageModel final : public QObject, public LanguageModel
{
    Q_OBJECT
public:
    struct Options
    {
        QUrl baseUrl = defaultBaseUrl();
        // How long construction waits for the first probe. None by default:
        // the model is made on the GUI thread, and availabilityChanged()
        // reports the first answer.
        std::chrono::milliseconds initialProbeWait{0};
        std::chrono::milliseconds probeStaleAfter{5000};
        std::chrono::milliseconds probeTimeout{2000};
        // Time without any byte from the server before a request fails.
        std::chrono::milliseconds transferTimeout{120'000};
        qint64 maxBodyBytes = 4 * 1024 * 1024;
    };

    // ZEPHYRNOTE_MODEL_URL when set, else http://127.0.0.1:8080.
    static QUrl defaultBaseUrl();
    // http(s) on 127.0.0.0/8, ::1 or "localhost".
    static bool isLoopbackUrl(const QUrl &url);
    // Any context size the server does not report is taken to be this.
    static constexpr int kAssumedContextSize = 4096;

    LocalServerLanguageModel();
    explicit LocalServerLanguageModel(Options options);
    ~LocalServerLanguageModel() override;

    Availability availability() const override;
    // The configured base URL, without user information.
    QString address() const override;
    int contextSize() const override;
    int tokenCount(const QString &text, std::stop_token stop) override;
    std::unique_ptr<LanguageModelSession> makeSession(const QString &instructions) override;

    // Probes the server now and waits for the answer (worker threads and
    // start-up only).
    void refreshNow();
    QUrl baseUrl() const { return m_options.baseUrl; }
    // True when the configured address is not on this machine.
    bool isRefused() const { return m_refused; }

    // The text the model reads as the user turn.
    static QString userContent(const QString &prompt, const GenerationSchema &schema, bool includeSchemaInPrompt);
    // The chat request body: ordered, streamed, no sampling settings.
    static QByteArray chatRequestBody(const QString &instructions, const QString &userContent,
                                      const GenerationSchema &schema, const GenerationOptions &options);

    // Used by the sessions.
    GeneratedContent respondFor(const QString &instructions, const QString &prompt, const GenerationSchema &schema,
                                bool includeSchemaInPrompt, const GenerationOptions &options, std::stop_token stop);

signals:
    // A probe's answer changed availability() or contextSize(), or the first
    // probe answered. Emitted on a background thread: receivers on the GUI
    // thread get it queued.
    void availabilityChanged();

private:
    struct ProbeResult
    {
        Availability availability;
        int contextSize = 0;
    };

    ProbeResult probe() const;
    void startProbeLocked() const;
    void logAvailability(const Availability &availability) const;
    QUrl endpoint(const QString &path) const;
    void checkFits(const QString &instructions, const QString &user, const GenerationOptions &options,
                   std::stop_token stop);
    void throwIfRefused() const;
    QString refusedMessage() const;
    // Sends a POST and returns a 2xx answer; throws for anything else.
    HttpExchange post(const QString &path, const QByteArray &body, std::stop_token stop,
                      std::function<bool(const QByteArray &)> onData = {}) const;

    Options m_options;
    bool m_refused = false;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_probed;
    mutable Availability m_availability = Availability::no(UnavailableReason::NoServer);
    mutable int m_contextSize = 0;
    mutable bool m_probing = false;
    mutable bool m_everProbed = false;
    mutable std::chrono::steady_clock::time_point m_lastProbe;
    mutable QFuture<void> m_probeTask;
    // Ends a probe in flight when the model goes away.
    std::stop_source m_shutdown;
};

} // namespace zn::lm
