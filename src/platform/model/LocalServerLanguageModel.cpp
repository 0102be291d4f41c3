#include "platform/model/LocalServerLanguageModel.h"

#include "platform/base/SystemLog.h"
#include "platform/model/LoopbackHttp.h"

#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtConcurrent>

#include <cmath>
#include <optional>

namespace zn::lm {

namespace {

// Chat-template tokens around the two messages.
constexpr int kTemplateOverheadTokens = 32;

QString serverMessage(const QByteArray &body, QString *type)
{
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (document.isObject()) {
        const QJsonObject object = document.object();
        const QJsonValue error = object.value(QLatin1String("error"));
        if (error.isObject()) {
            if (type)
                *type = error.toObject().value(QLatin1String("type")).toString();
            return error.toObject().value(QLatin1String("message")).toString();
        }
        if (error.isString())
            return error.toString();
        if (object.value(QLatin1String("message")).isString())
            return object.value(QLatin1String("message")).toString();
        return {};
    }
    return QString::fromUtf8(body.left(300)).simplified();
}

bool mentionsContextOverflow(const QString &message)
{
    const QString lower = message.toLower();
    return lower.contains(QLatin1String("context"))
        && (lower.contains(QLatin1String("exceed")) || lower.contains(QLatin1String("window"))
            || lower.contains(QLatin1String("token")));
}

LanguageModelError errorFromServer(int status, const QByteArray &body)
{
    QString type;
    const QString message = serverMessage(body, &type);
    if (type == QLatin1String("exceed_context_size_error") || mentionsContextOverflow(message))
        return LanguageModelError::exceededContextWindow(message);
    if (status == 503)
        return LanguageModelError(LanguageModelError::Kind::Unavailable,
                                  QStringLiteral("The model isn’t ready yet (HTTP 503%1).")
                                      .arg(message.isEmpty() ? QString() : QStringLiteral(": ") + message));
    if (message.isEmpty())
        return LanguageModelError(LanguageModelError::Kind::Other,
                                  QStringLiteral("The model server answered with HTTP %1.").arg(status));
    return LanguageModelError(LanguageModelError::Kind::Other,
                              QStringLiteral("The model server answered with HTTP %1: %2").arg(status).arg(message));
}

LanguageModelError transportError(const HttpExchange &exchange, const QUrl &url, qint64 maxBodyBytes)
{
    switch (exchange.failure) {
    case HttpExchange::Failure::ConnectionRefused:
        return LanguageModelError(LanguageModelError::Kind::Unavailable,
                                  QStringLiteral("No model server is running at %1.")
                                      .arg(url.adjusted(QUrl::RemovePath | QUrl::RemoveQuery).toString()));
    case HttpExchange::Failure::TimedOut:
        return LanguageModelError(LanguageModelError::Kind::Other,
                                  QStringLiteral("The model server stopped answering."));
    case HttpExchange::Failure::TooLarge:
        return LanguageModelError(LanguageModelError::Kind::DecodingFailure,
                                  QStringLiteral("The model server’s answer was larger than %1 KB and was not read.")
                                      .arg(maxBodyBytes / 1024));
    default:
        break;
    }
    return LanguageModelError(LanguageModelError::Kind::Other,
                              QStringLiteral("Could not talk to the model server: %1").arg(exchange.errorText));
}

// Reads a streamed chat answer (server-sent events) as it arrives.
struct StreamReader
{
    QByteArray pending;
    QString content;
    QString finishReason;
    bool sawEvent = false;
    bool done = false;
    std::optional<LanguageModelError> error;

    void feed(const QByteArray &chunk)
    {
        pending += chunk;
        qsizetype end;
        while (!done && (end = pending.indexOf('\n')) >= 0) {
            QByteArray line = pending.left(end);
            pending.remove(0, end + 1);
            if (line.endsWith('\r'))
                line.chop(1);
            handleLine(line);
        }
    }

    void handleLine(const QByteArray &line)
    {
        QByteArray payload;
        if (line.startsWith("data:")) {
            payload = line.mid(5).trimmed();
        } else if (line.startsWith("error:")) {
            payload = line.mid(6).trimmed();
            error = errorFromServer(500, payload.startsWith('{') && !payload.contains("\"error\"")
                                             ? "{\"error\":" + payload + "}"
                                             : payload);
            done = true;
            return;
        } else {
            return; // comments, event names, keep-alives
        }
        sawEvent = true;
        if (payload == "[DONE]") {
            done = true;
            return;
        }
        const QJsonDocument document = QJsonDocument::fromJson(payload);
        if (!document.isObject())
            return;
        const QJsonObject object = document.object();
        if (object.contains(QLatin1String("error"))) {
            error = errorFromServer(500, payload);
            done = true;
            return;
        }
        const QJsonArray choices = object.value(QLatin1String("choices")).toArray();
        if (choices.isEmpty())
            return;
        const QJsonObject choice = choices.first().toObject();
        content += choice.value(QLatin1String("delta")).toObject().value(QLatin1String("content")).toString();
        const QJsonValue reason = choice.value(QLatin1String("finish_reason"));
        if (reason.isString())
            finishReason = reason.toString();
    }

    bool complete() const { return done || !finishReason.isEmpty(); }
};

qsizetype codePoints(const QString &text)
{
    qsizetype n = 0;
    for (const QChar c : text)
        if (!c.isLowSurrogate())
            ++n;
    return n;
}

} // namespace

QUrl LocalServerLanguageModel::defaultBaseUrl()
{
    const QString configured = qEnvironmentVariable("ZEPHYRNOTE_MODEL_URL").trimmed();
    if (!configured.isEmpty())
        return QUrl(configured);
    return QUrl(QStringLiteral("http://127.0.0.1:8080"));
}

bool LocalServerLanguageModel::isLoopbackUrl(const QUrl &url)
{
    if (!url.isValid() || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
        return false;
    const QString host = url.host();
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    QHostAddress address;
    return address.setAddress(host) && address.isLoopback();
}

LocalServerLanguageModel::LocalServerLanguageModel()
    : LocalServerLanguageModel(Options{})
{
}

LocalServerLanguageModel::LocalServerLanguageModel(Options options)
    : m_options(std::move(options))
{
    // A name is only as local as the resolver makes it; the address is not.
    if (m_options.baseUrl.host().compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        m_options.baseUrl.setHost(QStringLiteral("127.0.0.1"));
    if (!isLoopbackUrl(m_options.baseUrl)) {
        m_refused = true;
        systemLog(QStringLiteral("Zephyrnote: model server address %1 is not on this computer; reflections stay off.")
                      .arg(m_options.baseUrl.toString(QUrl::RemoveUserInfo)));
        return;
    }
    std::unique_lock lock(m_mutex);
    // Until the first probe answers the model counts as not ready yet.
    m_availability = Availability::no(UnavailableReason::ModelNotReady);
    startProbeLocked();
    if (m_options.initialProbeWait.count() > 0)
        m_probed.wait_for(lock, m_options.initialProbeWait, [this] { return m_everProbed; });
}

LocalServerLanguageModel::~LocalServerLanguageModel()
{
    m_shutdown.request_stop();
    QFuture<void> task;
    {
        std::lock_guard lock(m_mutex);
        task = m_probeTask;
    }
    task.waitForFinished();
}

QUrl LocalServerLanguageModel::endpoint(const QString &path) const
{
    QUrl url = m_options.baseUrl;
    QString base = url.path();
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    url.setPath(base + path);
    return url;
}

LocalServerLanguageModel::ProbeResult LocalServerLanguageModel::probe() const
{
    ProbeResult result;
    HttpRequest health;
    health.url = endpoint(QStringLiteral("/health"));
    health.transferTimeout = m_options.probeTimeout;
    health.maxBodyBytes = 64 * 1024;
    const HttpExchange answer = performHttp(health, m_shutdown.get_token());
    switch (answer.failure) {
    case HttpExchange::Failure::None:
        break;
    case HttpExchange::Failure::ConnectionRefused:
    case HttpExchange::Failure::TimedOut:
        result.availability = Availability::no(UnavailableReason::NoServer);
        return result;
    default:
        result.availability = Availability::no(
            UnavailableReason::Other,
            QStringLiteral("The model server at %1 could not be read (%2).").arg(address(), answer.errorText));
        return result;
    }
    if (answer.status == 503) {
        result.availability = Availability::no(UnavailableReason::ModelNotReady);
        return result;
    }
    if (answer.status != 200) {
        result.availability = Availability::no(
            UnavailableReason::Other,
            QStringLiteral("The model server at %1 answered its health check with HTTP %2.")
                .arg(address())
                .arg(answer.status));
        return result;
    }
    result.availability = Availability::yes();

    HttpRequest props = health;
    props.url = endpoint(QStringLiteral("/props"));
    const HttpExchange propsAnswer = performHttp(props, m_shutdown.get_token());
    if (propsAnswer.failure == HttpExchange::Failure::None && propsAnswer.status == 200) {
        const QJsonObject object = QJsonDocument::fromJson(propsAnswer.body).object();
        // Per slot: what one request may use.
        QJsonValue nCtx = object.value(QLatin1String("default_generation_settings")).toObject().value(QLatin1String("n_ctx"));
        if (!nCtx.isDouble())
            nCtx = object.value(QLatin1String("n_ctx"));
        if (nCtx.isDouble() && nCtx.toDouble() >= 1 && nCtx.toDouble() < 1e9)
            result.contextSize = static_cast<int>(nCtx.toDouble());
    }
    return result;
}

void LocalServerLanguageModel::startProbeLocked() const
{
    m_probing = true;
    m_probeTask = QtConcurrent::run([this] {
        const ProbeResult result = probe();
        bool changed = false;
        {
            std::lock_guard lock(m_mutex);
            const bool moved = !m_everProbed || result.availability != m_availability;
            if (moved)
                logAvailability(result.availability);
            changed = moved || result.contextSize != m_contextSize;
            m_availability = result.availability;
            m_contextSize = result.contextSize;
            m_lastProbe = std::chrono::steady_clock::now();
            m_probing = false;
            m_everProbed = true;
            m_probed.notify_all();
        }
        // Outside the lock: a direct receiver may read the model at once.
        // Nothing is announced once the model is going away.
        if (changed && !m_shutdown.stop_requested())
            emit const_cast<LocalServerLanguageModel *>(this)->availabilityChanged();
    });
}

void LocalServerLanguageModel::logAvailability(const Availability &availability) const
{
    const QString where = m_options.baseUrl.toString();
    if (availability.available)
        systemLog(QStringLiteral("Zephyrnote: model server at %1 is available.").arg(where));
    else if (availability.reason == UnavailableReason::ModelNotReady)
        systemLog(QStringLiteral("Zephyrnote: model server at %1 is still loading its model.").arg(where));
    else
        systemLog(QStringLiteral("Zephyrnote: no usable model server at %1.").arg(where));
}

void LocalServerLanguageModel::refreshNow()
{
    if (m_refused)
        return;
    QFuture<void> task;
    {
        std::lock_guard lock(m_mutex);
        if (!m_probing)
            startProbeLocked();
        task = m_probeTask;
    }
    task.waitForFinished();
}

Availability LocalServerLanguageModel::availability() const
{
    if (m_refused)
        return Availability::no(UnavailableReason::Other, refusedMessage());
    std::lock_guard lock(m_mutex);
    if (!m_probing && std::chrono::steady_clock::now() - m_lastProbe > m_options.probeStaleAfter)
        startProbeLocked();
    return m_availability;
}

int LocalServerLanguageModel::contextSize() const
{
    std::lock_guard lock(m_mutex);
    return m_contextSize;
}

void LocalServerLanguageModel::throwIfRefused() const
{
    if (m_refused)
        throw LanguageModelError(LanguageModelError::Kind::Unavailable, refusedMessage());
}

QString LocalServerLanguageModel::refusedMessage() const
{
    return QStringLiteral("The model server must run on this computer; %1 is not a loopback address.")
        .arg(m_options.baseUrl.host());
}

QString LocalServerLanguageModel::address() const
{
    return m_options.baseUrl.toString(QUrl::RemoveUserInfo | QUrl::StripTrailingSlash);
}

HttpExchange LocalServerLanguageModel::post(const QString &path, const QByteArray &body, std::stop_token stop,
                                            std::function<bool(const QByteArray &)> onData) const
{
    HttpRequest request;
    request.url = endpoint(path);
    request.method = "POST";
    request.body = body;
    request.transferTimeout = m_options.transferTimeout;
    request.maxBodyBytes = m_options.maxBodyBytes;
    request.onData = std::move(onData);
    HttpExchange answer = performHttp(request, stop);
    if (answer.failure == HttpExchange::Failure::Cancelled)
        throw CancellationError();
    if (answer.failure != HttpExchange::Failure::None)
        throw transportError(answer, request.url, request.maxBodyBytes);
    if (answer.status < 200 || answer.status >= 300)
        throw errorFromServer(answer.status, answer.body);
    return answer;
}

int LocalServerLanguageModel::tokenCount(const QString &text, std::stop_token stop)
{
    if (stop.stop_requested())
        throw CancellationError();
    throwIfRefused();
    const HttpExchange answer =
        post(QStringLiteral("/tokenize"), OrderedJsonObject().addText(QStringLiteral("content"), text).toJson(), stop);
    const QJsonValue tokens = QJsonDocument::fromJson(answer.body).object().value(QLatin1String("tokens"));
    if (!tokens.isArray())
        throw LanguageModelError(LanguageModelError::Kind::Other,
                                 QStringLiteral("The model server’s token count could not be read."));
    return static_cast<int>(tokens.toArray().size());
}

std::unique_ptr<LanguageModelSession> LocalServerLanguageModel::makeSession(const QString &instructions)
{
    return std::make_unique<ForwardingSession<LocalServerLanguageModel>>(*this, instructions);
}

QString LocalServerLanguageModel::userContent(const QString &prompt, const GenerationSchema &schema,
                                              bool includeSchemaInPrompt)
{
    if (!includeSchemaInPrompt)
        return prompt;
    return prompt + QStringLiteral("\n\nAnswer with one JSON object that follows this JSON Schema:\n")
        + QString::fromUtf8(schema.toJsonSchema());
}

QByteArray LocalServerLanguageModel::chatRequestBody(const QString &instructions, const QString &userContent,
                                                     const GenerationSchema &schema, const GenerationOptions &options)
{
    auto message = [](const char *role, const QString &content) {
        return OrderedJsonObject()
            .addText(QStringLiteral("role"), QLatin1String(role))
            .addText(QStringLiteral("content"), content)
            .toJson();
    };
    OrderedJsonObject body;
    body.add(QStringLiteral("messages"), jsonArray({message("system", instructions), message("user", userContent)}))
        .add(QStringLiteral("stream"), QByteArrayLiteral("true"));
    if (options.maximumResponseTokens)
        body.add(QStringLiteral("max_tokens"), QByteArray::number(*options.maximumResponseTokens));
    const QByteArray format =
        OrderedJsonObject()
            .add(QStringLiteral("type"), QByteArrayLiteral("\"json_schema\""))
            .add(QStringLiteral("json_schema"),
                 OrderedJsonObject()
                     .addText(QStringLiteral("name"),
                              schema.typeName.isEmpty() ? QStringLiteral("Response") : schema.typeName)
                     .add(QStringLiteral("strict"), QByteArrayLiteral("true"))
                     .add(QStringLiteral("schema"), schema.toJsonSchema())
                     .toJson())
            .toJson();
    return body.add(QStringLiteral("response_format"), format).toJson();
}

// Some servers cut an overlong prompt silently and answer anyway, so the
// length is checked here rather than trusted to the server.
void LocalServerLanguageModel::checkFits(const QString &instructions, const QString &user,
                                         const GenerationOptions &options, std::stop_token stop)
{
    int context = contextSize();
    if (context <= 0)
        context = kAssumedContextSize;
    const qint64 answer = options.maximumResponseTokens.value_or(0);
    const QString all = instructions + QLatin1Char('\n') + user;
    const qint64 estimate = static_cast<qint64>(std::ceil(codePoints(all) / 3.0)) + kTemplateOverheadTokens;
    if (estimate + answer <= context)
        return;
    qint64 needed = estimate;
    try {
        // The rough estimate says no; the server's own tokenizer decides.
        needed = tokenCount(all, stop) + kTemplateOverheadTokens;
        if (needed + answer <= context)
            return;
    } catch (const LanguageModelError &) {
    }
    throw LanguageModelError::exceededContextWindow(
        QStringLiteral("(about %1 tokens of prompt and %2 of answer for a context of %3)")
            .arg(needed).arg(answer).arg(context));
}

GeneratedContent LocalServerLanguageModel::respondFor(const QString &instructions, const QString &prompt,
                                                      const GenerationSchema &schema, bool includeSchemaInPrompt,
                                                      const GenerationOptions &options, std::stop_token stop)
{
    if (stop.stop_requested())
        throw CancellationError();
    throwIfRefused();
    const QString user = userContent(prompt, schema, includeSchemaInPrompt);
    checkFits(instructions, user, options, stop);

    StreamReader stream;
    const HttpExchange answer = post(QStringLiteral("/v1/chat/completions"),
                                     chatRequestBody(instructions, user, schema, options), stop,
                                     [&stream](const QByteArray &chunk) {
                                         stream.feed(chunk);
                                         return !stream.done;
                                     });
    if (stream.error)
        throw *stream.error;

    QString content;
    QString finishReason;
    if (stream.sawEvent) {
        stream.feed("\n"); // a last line without its line feed
        if (stream.error)
            throw *stream.error;
        if (!stream.complete())
            throw LanguageModelError(LanguageModelError::Kind::DecodingFailure,
                                     QStringLiteral("The model server’s answer ended early."));
        content = stream.content;
        finishReason = stream.finishReason;
    } else {
        // A server that ignored the stream request answers in one piece.
        const QJsonDocument document = QJsonDocument::fromJson(answer.body);
        if (!document.isObject())
            throw LanguageModelError(LanguageModelError::Kind::DecodingFailure,
                                     answer.body.trimmed().isEmpty()
                                         ? QStringLiteral("The model server sent an empty answer.")
                                         : QStringLiteral("The model server’s answer could not be read."));
        const QJsonObject object = document.object();
        if (object.contains(QLatin1String("error")))
            throw errorFromServer(answer.status, answer.body);
        const QJsonArray choices = object.value(QLatin1String("choices")).toArray();
        if (choices.isEmpty())
            throw LanguageModelError(LanguageModelError::Kind::DecodingFailure,
                                     QStringLiteral("The model server’s answer holds no message."));
        const QJsonObject choice = choices.at(0).toObject();
        const QJsonValue message = choice.value(QLatin1String("message")).toObject().value(QLatin1String("content"));
        if (!message.isString())
            throw LanguageModelError(LanguageModelError::Kind::DecodingFailure,
                                     QStringLiteral("The model server’s answer holds no message."));
        content = message.toString();
        finishReason = choice.value(QLatin1String("finish_reason")).toString();
    }

    try {
        return GeneratedContent::fromJson(content.toUtf8());
    } catch (const LanguageModelError &) {
        if (finishReason == QLatin1String("length"))
            throw LanguageModelError(LanguageModelError::Kind::DecodingFailure,
                                     QStringLiteral("The model’s answer was cut off at the response-token limit."));
        throw;
    }
}

} // namespace zn::lm
