#include "platform/model/LocalServerLanguageModel.h"

#include "support/FakeModelServer.h"
#include "TestThreads.h"
#include "platform/base/SystemLog.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkProxy>

#include <atomic>

using namespace std::chrono_literals;

namespace zn::lm {

using test::FakeModelServer;
using test::offMainThread;

namespace {

GenerationSchema noteSchema()
{
    return GenerationSchema{
        "NoteResult",
        "A note.",
        {{"score", ValueKind::Number, "How light."},
         {"summary", ValueKind::Text, QString::fromUtf8("One line \u2014 short.")},
         {"items", ValueKind::TextList, "Zero to three."}}};
}

const QByteArray kAnswer = R"({"score":0.5,"summary":"Calm.","items":["a","b"]})";

LocalServerLanguageModel::Options optionsFor(const QUrl &url)
{
    LocalServerLanguageModel::Options options;
    options.baseUrl = url;
    options.initialProbeWait = 0ms; // the server runs on this thread
    options.probeStaleAfter = std::chrono::hours(1);
    return options;
}

struct Fixture
{
    FakeModelServer server;
    std::unique_ptr<LocalServerLanguageModel> model;

    explicit Fixture(int nCtx = 8192)
    {
        server.route("/health", FakeModelServer::healthy());
        server.route("/props", FakeModelServer::props(nCtx));
        model = std::make_unique<LocalServerLanguageModel>(optionsFor(server.url()));
        offMainThread([&] { model->refreshNow(); });
    }

    GeneratedContent ask(const QString &prompt = "How was the day?", bool includeSchema = true,
                         std::optional<int> maxTokens = 900, std::stop_token stop = {})
    {
        auto session = model->makeSession("Be brief.");
        GenerationOptions options;
        options.maximumResponseTokens = maxTokens;
        return offMainThread([&] { return session->respond(prompt, noteSchema(), includeSchema, options, stop); });
    }
};

LanguageModelError::Kind failureKind(Fixture &f, QString *description = nullptr)
{
    try {
        f.ask();
    } catch (const LanguageModelError &e) {
        if (description)
            *description = e.description();
        return e.kind();
    }
    ADD_FAILURE() << "the call succeeded";
    return LanguageModelError::Kind::Other;
}

QUrl deadPort(const test::ReservedPort &reserved)
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(reserved.port()));
}

} // namespace

TEST(LocalServerAddress, OnlyLoopbackAddressesAreAccepted)
{
    for (const char *ok : {"http://127.0.0.1:8080", "http://127.8.9.10:1", "http://[::1]:8080", "http://localhost:8080",
                           "http://LOCALHOST", "https://127.0.0.1"})
        EXPECT_TRUE(LocalServerLanguageModel::isLoopbackUrl(QUrl(ok))) << ok;
    for (const char *bad : {"http://10.0.0.1:8080", "http://192.168.1.20", "http://example.com", "http://0.0.0.0:8080",
                            "ftp://127.0.0.1", "", "127.0.0.1:8080", "http://localhost.example.com",
                            "http://[::ffff:10.0.0.1]"})
        EXPECT_FALSE(LocalServerLanguageModel::isLoopbackUrl(QUrl(bad))) << bad;
}

TEST(LocalServerAddress, TrickyHostsAreJudgedByTheAddressActuallyContacted)
{
    // Qt reads numeric forms as the address they denote, and that address is
    // the one contacted: these are loopback.
    for (const char *ok : {"http://2130706433:8080", "http://0x7f000001", "http://127.1", "http://evil.com@127.0.0.1",
                           "http://[0:0:0:0:0:0:0:1]:8080"})
        EXPECT_TRUE(LocalServerLanguageModel::isLoopbackUrl(QUrl(ok))) << ok;
    // Names that merely look local, user info posing as a host, and numeric
    // forms of other machines are not.
    for (const char *bad : {"http://127.0.0.1@evil.com", "http://127.0.0.1.nip.io", "http://localhost.evil.com",
                            "http://localhost.", "http://167772161", "http://0x0a000001", "http://127.0.0.1%2f@evil.com",
                            "http://[::2]"})
        EXPECT_FALSE(LocalServerLanguageModel::isLoopbackUrl(QUrl(bad))) << bad;

    // "localhost" is contacted by address, never through the resolver.
    LocalServerLanguageModel::Options options = optionsFor(QUrl("http://LocalHost:9/v1"));
    LocalServerLanguageModel model(options);
    EXPECT_FALSE(model.isRefused());
    EXPECT_EQ(model.baseUrl(), QUrl("http://127.0.0.1:9/v1"));
}

TEST(LocalServerAddress, DefaultsToPort8080AndHonoursTheEnvironment)
{
    qunsetenv("ZEPHYRNOTE_MODEL_URL");
    EXPECT_EQ(LocalServerLanguageModel::defaultBaseUrl(), QUrl("http://127.0.0.1:8080"));
    qputenv("ZEPHYRNOTE_MODEL_URL", " http://127.0.0.1:9999 ");
    EXPECT_EQ(LocalServerLanguageModel::defaultBaseUrl(), QUrl("http://127.0.0.1:9999"));
    qunsetenv("ZEPHYRNOTE_MODEL_URL");
}

TEST(LocalServerAddress, ARemoteAddressIsRefusedWithoutAnyConnection)
{
    SystemLogCapture log;
    // 0.0.0.0 is not a loopback address, yet a connection to it would land
    // on this machine: a broken check shows up here without any traffic
    // leaving it.
    FakeModelServer server;
    QUrl remote = server.url();
    remote.setHost("0.0.0.0");
    LocalServerLanguageModel model(optionsFor(remote));
    EXPECT_TRUE(model.isRefused());
    EXPECT_EQ(model.availability(),
              Availability::no(UnavailableReason::Other,
                               "The model server must run on this computer; 0.0.0.0 is not a loopback address."));
    try {
        model.makeSession("x")->respond("journal text", noteSchema(), true, {}, {});
        ADD_FAILURE();
    } catch (const LanguageModelError &e) {
        EXPECT_EQ(e.kind(), LanguageModelError::Kind::Unavailable);
        EXPECT_TRUE(e.description().contains("loopback"));
    }
    EXPECT_THROW(model.tokenCount("journal text", {}), LanguageModelError);
    test::waitUntil([] { return false; }, 50ms);
    EXPECT_TRUE(server.requests().isEmpty());
    ASSERT_FALSE(log.lines().isEmpty());
    EXPECT_TRUE(log.lines().first().startsWith("Zephyrnote: "));
}

TEST(LocalServerAvailability, MapsHealthAnswersAndReadsContextSize)
{
    Fixture f(4096);
    EXPECT_TRUE(f.model->availability().available);
    EXPECT_EQ(f.model->contextSize(), 4096);

    f.server.route("/health", FakeModelServer::loading());
    offMainThread([&] { f.model->refreshNow(); });
    EXPECT_EQ(f.model->availability(), Availability::no(UnavailableReason::ModelNotReady));

    // Any other answer is unavailable with a sentence that names the server.
    f.server.route("/health", FakeModelServer::Reply{500, "text/plain", "boom"});
    offMainThread([&] { f.model->refreshNow(); });
    EXPECT_EQ(f.model->availability(),
              Availability::no(UnavailableReason::Other, QStringLiteral("The model server at %1 answered its health "
                                                                        "check with HTTP 500.")
                                                             .arg(f.model->address())));
    EXPECT_EQ(f.model->address(), f.server.url().toString());
}

TEST(LocalServerAvailability, NoServerListeningMeansNoServer)
{
    const test::ReservedPort reserved;
    ASSERT_NE(reserved.port(), 0);
    QUrl dead = deadPort(reserved);
    dead.setPath("/");
    LocalServerLanguageModel model(optionsFor(dead));
    // The address as the user would type it: no trailing slash.
    EXPECT_EQ(model.address(), dead.toString(QUrl::StripTrailingSlash));
    offMainThread([&] { model.refreshNow(); });
    EXPECT_EQ(model.availability(), Availability::no(UnavailableReason::NoServer));
    EXPECT_EQ(model.contextSize(), 0);
    try {
        offMainThread([&] { return model.makeSession("i")->respond("p", noteSchema(), true, {}, {}); });
        ADD_FAILURE();
    } catch (const LanguageModelError &e) {
        EXPECT_EQ(e.kind(), LanguageModelError::Kind::Unavailable);
        EXPECT_TRUE(e.description().contains("No model server is running"));
    }
}

TEST(LocalServerAvailability, ConstructionNeverWaitsAndTheFirstAnswerIsAnnounced)
{
    FakeModelServer server;
    FakeModelServer::Reply slow = FakeModelServer::healthy();
    slow.parts << "" << slow.body; // the body comes after the delay
    slow.partDelayMs = 300;
    slow.body.clear();
    server.route("/health", slow);
    server.route("/props", FakeModelServer::props(2048));
    LocalServerLanguageModel::Options options;
    options.baseUrl = server.url();
    options.probeStaleAfter = std::chrono::hours(1);

    const auto started = std::chrono::steady_clock::now();
    LocalServerLanguageModel model(options); // default options: no start-up wait
    EXPECT_LT(std::chrono::steady_clock::now() - started, 100ms);
    int announced = 0;
    Availability seen;
    QObject receiver; // on this thread, like the capability detector
    QObject::connect(&model, &LocalServerLanguageModel::availabilityChanged, &receiver, [&] {
        ++announced;
        seen = model.availability();
    });
    EXPECT_EQ(model.availability(), Availability::no(UnavailableReason::ModelNotReady));

    ASSERT_TRUE(test::waitUntil([&] { return announced == 1; }));
    EXPECT_EQ(seen, Availability::yes());
    EXPECT_EQ(model.contextSize(), 2048);
    server.route("/health", FakeModelServer::healthy());

    // The same answer again changes nothing and says nothing.
    offMainThread([&] { model.refreshNow(); });
    test::waitUntil([] { return false; }, 50ms);
    EXPECT_EQ(announced, 1);

    // A change of context size alone is news too, and so is going away.
    server.route("/props", FakeModelServer::props(4096));
    offMainThread([&] { model.refreshNow(); });
    ASSERT_TRUE(test::waitUntil([&] { return announced == 2; }));
    server.route("/health", FakeModelServer::loading());
    offMainThread([&] { model.refreshNow(); });
    ASSERT_TRUE(test::waitUntil([&] { return announced == 3; }));
    EXPECT_EQ(seen, Availability::no(UnavailableReason::ModelNotReady));
}

TEST(LocalServerAvailability, AModelGoingAwayAnnouncesNothing)
{
    FakeModelServer server;
    FakeModelServer::Reply hang;
    hang.parts << " ";
    hang.hangAfterParts = true;
    server.route("/health", hang);
    int announced = 0;
    QObject receiver;
    {
        LocalServerLanguageModel model(optionsFor(server.url()));
        QObject::connect(&model, &LocalServerLanguageModel::availabilityChanged, &receiver, [&] { ++announced; });
        ASSERT_TRUE(test::waitUntil([&] { return server.requestCount("/health") == 1; }));
    } // the probe in flight is stopped here
    test::waitUntil([] { return false; }, 50ms);
    EXPECT_EQ(announced, 0); // a receiver would otherwise read a model that is gone
}

TEST(LocalServerAvailability, ReadsNeverBlockAndAStaleProbeRefreshesInTheBackground)
{
    FakeModelServer server;
    server.route("/health", FakeModelServer::loading());
    auto options = optionsFor(server.url());
    options.probeStaleAfter = 0ms;
    LocalServerLanguageModel model(options);
    // Not probed yet: not ready rather than missing.
    EXPECT_EQ(model.availability(), Availability::no(UnavailableReason::ModelNotReady));
    server.route("/health", FakeModelServer::healthy());
    server.route("/props", FakeModelServer::props(2048));
    const auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(test::waitUntil([&] { return model.availability().available; }));
    EXPECT_EQ(model.contextSize(), 2048);
    // Every read above returned at once although each started a probe.
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
}

TEST(LocalServerRequest, SendsInstructionsPromptLimitAndOrderedSchemaWithoutSampling)
{
    Fixture f;
    f.server.route("/v1/chat/completions", FakeModelServer::streamedChat(kAnswer));
    const GeneratedContent content = f.ask(QString::fromUtf8("Entry: caf\u00e9 \"quoted\"\nline"));
    EXPECT_DOUBLE_EQ(content.number("score"), 0.5);
    EXPECT_EQ(content.textList("items"), (QStringList{"a", "b"}));

    ASSERT_EQ(f.server.requestCount("/v1/chat/completions"), 1);
    const auto request = f.server.requests().last();
    EXPECT_EQ(request.method, "POST");
    const QJsonObject body = QJsonDocument::fromJson(request.body).object();
    const QJsonArray messages = body.value("messages").toArray();
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[0].toObject().value("role").toString(), "system");
    EXPECT_EQ(messages[0].toObject().value("content").toString(), "Be brief.");
    EXPECT_EQ(messages[1].toObject().value("role").toString(), "user");
    const QString user = messages[1].toObject().value("content").toString();
    EXPECT_TRUE(user.startsWith(QString::fromUtf8("Entry: caf\u00e9 \"quoted\"\nline\n\n")));
    EXPECT_TRUE(user.contains(QString::fromUtf8(noteSchema().toJsonSchema())));
    EXPECT_EQ(body.value("max_tokens").toInt(), 900);
    EXPECT_TRUE(body.value("stream").toBool());
    for (const char *sampling : {"temperature", "top_p", "top_k", "seed"})
        EXPECT_FALSE(body.contains(sampling)) << sampling;
    const QJsonObject format = body.value("response_format").toObject();
    EXPECT_EQ(format.value("type").toString(), "json_schema");
    EXPECT_EQ(format.value("json_schema").toObject().value("name").toString(), "NoteResult");
    const qsizetype schemaAt = request.body.indexOf("\"response_format\"");
    const qsizetype score = request.body.indexOf("\"score\":{", schemaAt);
    const qsizetype summary = request.body.indexOf("\"summary\":{", schemaAt);
    const qsizetype items = request.body.indexOf("\"items\":{", schemaAt);
    EXPECT_TRUE(score > schemaAt && score < summary && summary < items);
}

TEST(LocalServerRequest, LeavesTheSchemaOutOfThePromptWhenAskedAndOmitsAnUnsetLimit)
{
    Fixture f;
    f.server.route("/v1/chat/completions", FakeModelServer::streamedChat(kAnswer));
    f.ask("Plain prompt", false, std::nullopt);
    const QJsonObject body = QJsonDocument::fromJson(f.server.requests().last().body).object();
    EXPECT_EQ(body.value("messages").toArray()[1].toObject().value("content").toString(), "Plain prompt");
    EXPECT_FALSE(body.contains("max_tokens"));
    EXPECT_TRUE(body.contains("response_format"));
}

TEST(LocalServerOverflow, ServerOverflowAnswersBecomeTheContextWindowError)
{
    Fixture f;
    f.server.route("/v1/chat/completions", FakeModelServer::overflow());
    QString description;
    EXPECT_EQ(failureKind(f, &description), LanguageModelError::Kind::ExceededContextWindow);
    EXPECT_TRUE(description.toLower().contains("context"));
    EXPECT_TRUE(description.toLower().contains("exceed"));

    f.server.route("/v1/chat/completions",
                   FakeModelServer::Reply{500, "application/json", R"({"error":{"code":500,"message":"Context size has been exceeded.","type":"server_error"}})"});
    EXPECT_EQ(failureKind(f), LanguageModelError::Kind::ExceededContextWindow);
}

TEST(LocalServerOverflow, AnOverlongPromptIsRefusedBeforeSending)
{
    Fixture f(1000);
    f.server.route("/v1/chat/completions", FakeModelServer::streamedChat(kAnswer));
    f.server.route("/tokenize", [](const FakeModelServer::Request &) {
        return FakeModelServer::Reply{200, "application/json", R"({"tokens":[)" + QByteArray("1,").repeated(1499) + "1]}"};
    });
    const QString longPrompt(3000, QChar('w'));
    EXPECT_THROW(f.ask(longPrompt), LanguageModelError);
    EXPECT_EQ(f.server.requestCount("/v1/chat/completions"), 0);
    EXPECT_EQ(f.server.requestCount("/tokenize"), 1);

    // The rough estimate is pessimistic; the server's own count decides.
    f.server.route("/tokenize", FakeModelServer::Reply{200, "application/json", R"({"tokens":[1,2,3]})"});
    EXPECT_NO_THROW(f.ask(QString(1500, QChar('w')), false, 300));
    EXPECT_EQ(f.server.requestCount("/v1/chat/completions"), 1);

    // No tokenizer at all: the estimate stands.
    f.server.route("/tokenize", FakeModelServer::Reply{404, "text/plain", "Not Found"});
    try {
        f.ask(longPrompt);
        ADD_FAILURE();
    } catch (const LanguageModelError &e) {
        EXPECT_EQ(e.kind(), LanguageModelError::Kind::ExceededContextWindow);
    }
    EXPECT_EQ(f.server.requestCount("/v1/chat/completions"), 1);
}

TEST(LocalServerOverflow, AnUnknownContextSizeIsNotTakenAsRoomWithoutLimit)
{
    FakeModelServer server;
    server.route("/health", FakeModelServer::healthy()); // and no /props
    server.route("/v1/chat/completions", FakeModelServer::streamedChat(kAnswer));
    LocalServerLanguageModel model(optionsFor(server.url()));
    offMainThread([&] { model.refreshNow(); });
    ASSERT_EQ(model.contextSize(), 0);

    auto ask = [&](const QString &prompt) {
        return offMainThread([&] { return model.makeSession("i")->respond(prompt, noteSchema(), true, {900}, {}); });
    };
    try {
        ask(QString(20'000, QChar('w')));
        ADD_FAILURE() << "an overlong prompt was sent";
    } catch (const LanguageModelError &e) {
        EXPECT_EQ(e.kind(), LanguageModelError::Kind::ExceededContextWindow);
    }
    EXPECT_EQ(server.requestCount("/v1/chat/completions"), 0);
    EXPECT_EQ(ask("A short entry.").text("summary"), "Calm.");
}

TEST(LocalServerCancellation, AStopDuringAStreamedAnswerAbortsPromptlyAndClosesTheConnection)
{
    Fixture f;
    FakeModelServer::Reply slow = FakeModelServer::streamedChat(kAnswer, 8);
    slow.partDelayMs = 100;
    slow.hangAfterParts = true;
    slow.parts.removeLast(); // never says [DONE]
    f.server.route("/v1/chat/completions", slow);

    std::stop_source stop;
    auto session = f.model->makeSession("i");
    std::atomic<qint64> stoppedAt = 0;
    QFuture<int> call = QtConcurrent::run([&] {
        try {
            session->respond("p", noteSchema(), true, {}, stop.get_token());
            return 0;
        } catch (const CancellationError &) {
            return 1;
        } catch (...) {
            return 2;
        }
    });
    ASSERT_TRUE(test::waitUntil([&] { return f.server.requestCount("/v1/chat/completions") == 1; }));
    test::waitUntil([] { return false; }, 150ms); // a few parts arrive
    const auto started = std::chrono::steady_clock::now();
    stop.request_stop();
    ASSERT_TRUE(test::waitUntil([&] { return call.isFinished(); }, 2s));
    EXPECT_LT(std::chrono::steady_clock::now() - started, 200ms);
    EXPECT_EQ(call.result(), 1);
    EXPECT_TRUE(test::waitUntil([&] { return f.server.connectionsClosedByClient() == 1; }, 2s));
}

TEST(LocalServerCancellation, AnAlreadyStoppedCallSendsNothing)
{
    Fixture f;
    f.server.route("/v1/chat/completions", FakeModelServer::streamedChat(kAnswer));
    std::stop_source stop;
    stop.request_stop();
    EXPECT_THROW(f.ask("p", true, 900, stop.get_token()), CancellationError);
    EXPECT_THROW(f.model->tokenCount("x", stop.get_token()), CancellationError);
    EXPECT_EQ(f.server.requestCount("/v1/chat/completions"), 0);
}

TEST(LocalServerAnswers, ReadsFencedAndUnstreamedAnswers)
{
    Fixture f;
    f.server.route("/v1/chat/completions", FakeModelServer::streamedChat("```json\n" + kAnswer + "\n```"));
    EXPECT_EQ(f.ask().text("summary"), "Calm.");

    const QByteArray whole = R"({"choices":[{"index":0,"message":{"role":"assistant","content":")"
        + QByteArray(kAnswer).replace("\"", "\\\"") + R"("},"finish_reason":"stop"}]})";
    f.server.route("/v1/chat/completions", FakeModelServer::Reply{200, "application/json", whole});
    EXPECT_EQ(f.ask().textList("items"), (QStringList{"a", "b"}));

    // Multi-byte text arriving in one piece per event.
    f.server.route("/v1/chat/completions",
                   FakeModelServer::streamedChat(QString::fromUtf8(R"({"score":-1,"summary":"Rain \u2014 \u2614","items":[]})").toUtf8(), 1));
    EXPECT_EQ(f.ask().text("summary"), QString::fromUtf8("Rain \u2014 \u2614"));
}

TEST(LocalServerAnswers, BadAnswersGiveReadableErrors)
{
    Fixture f;
    struct Case { const char *name; FakeModelServer::Reply reply; LanguageModelError::Kind kind; const char *words; };
    FakeModelServer::Reply cut = FakeModelServer::streamedChat(kAnswer, 4);
    cut.parts = cut.parts.mid(0, 2);
    FakeModelServer::Reply streamError;
    streamError.contentType = "text/event-stream";
    streamError.parts << FakeModelServer::deltaEvent("{\"sc")
                      << FakeModelServer::sseEvent(R"({"error":{"code":500,"message":"slot crashed","type":"server_error"}})");
    using K = LanguageModelError::Kind;
    const std::vector<Case> cases{
        {"malformed", FakeModelServer::streamedChat("{\"score\": 0.5, \"summ"), K::DecodingFailure, "not valid JSON"},
        {"array", FakeModelServer::streamedChat("[1,2]"), K::DecodingFailure, "not a JSON object"},
        {"string", FakeModelServer::streamedChat("\"fine\""), K::DecodingFailure, "not a JSON object"},
        {"empty content", FakeModelServer::streamedChat(""), K::DecodingFailure, "empty answer"},
        {"empty body", FakeModelServer::Reply{200, "application/json", ""}, K::DecodingFailure, "empty answer"},
        {"html body", FakeModelServer::Reply{200, "text/html", "<html>hi</html>"}, K::DecodingFailure, "could not be read"},
        {"500 json", FakeModelServer::Reply{500, "application/json", R"({"error":{"code":500,"message":"out of memory","type":"server_error"}})"}, K::Other, "HTTP 500: out of memory"},
        {"404 text", FakeModelServer::Reply{404, "text/plain", "Not Found"}, K::Other, "HTTP 404: Not Found"},
        {"400 empty", FakeModelServer::Reply{400, "application/json", ""}, K::Other, "HTTP 400."},
        {"503", FakeModelServer::loading(), K::Unavailable, "Loading model"},
        {"cut stream", cut, K::DecodingFailure, "ended early"},
        {"length", FakeModelServer::streamedChat("{\"score\":0.5,\"summary\":\"Cal", 2, "length"), K::DecodingFailure, "response-token limit"},
        {"stream error", streamError, K::Other, "slot crashed"},
        {"no choices", FakeModelServer::Reply{200, "application/json", R"({"choices":[]})"}, K::DecodingFailure, "no message"},
    };
    for (const Case &c : cases) {
        f.server.route("/v1/chat/completions", c.reply);
        QString description;
        EXPECT_EQ(failureKind(f, &description), c.kind) << c.name << ": " << description.toStdString();
        EXPECT_TRUE(description.contains(c.words)) << c.name << ": " << description.toStdString();
    }
}

TEST(LocalServerAnswers, AnOversizedBodyIsCappedNotRead)
{
    FakeModelServer server;
    server.route("/health", FakeModelServer::healthy());
    server.route("/props", FakeModelServer::props(8192));
    auto options = optionsFor(server.url());
    options.maxBodyBytes = 4096;
    LocalServerLanguageModel model(options);
    offMainThread([&] { model.refreshNow(); });
    server.route("/v1/chat/completions", FakeModelServer::Reply{200, "application/json", QByteArray(100'000, 'x')});
    try {
        offMainThread([&] { return model.makeSession("i")->respond("p", noteSchema(), true, {}, {}); });
        ADD_FAILURE();
    } catch (const LanguageModelError &e) {
        EXPECT_EQ(e.kind(), LanguageModelError::Kind::DecodingFailure);
        EXPECT_TRUE(e.description().contains("larger than 4 KB"));
    }
}

TEST(LocalServerTokens, CountsWithTheServerTokenizerOrFails)
{
    Fixture f;
    f.server.route("/tokenize", FakeModelServer::Reply{200, "application/json", R"({"tokens":[9,8,7,6]})"});
    EXPECT_EQ(offMainThread([&] { return f.model->tokenCount("four tokens here", {}); }), 4);
    EXPECT_EQ(QJsonDocument::fromJson(f.server.requests().last().body).object().value("content").toString(),
              "four tokens here");
    f.server.route("/tokenize", FakeModelServer::Reply{404, "text/plain", "Not Found"});
    EXPECT_THROW(offMainThread([&] { return f.model->tokenCount("x", {}); }), LanguageModelError);
    f.server.route("/tokenize", FakeModelServer::Reply{200, "application/json", R"({"tokens":"many"})"});
    EXPECT_THROW(offMainThread([&] { return f.model->tokenCount("x", {}); }), LanguageModelError);
}

} // namespace zn::lm

namespace zn::lm {

TEST(LocalServerPrivacy, NeitherProxiesNorRedirectsCarryTextAway)
{
    test::FakeModelServer proxy;
    QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::HttpProxy, "127.0.0.1", proxy.url().port()));
    {
        Fixture f;
        f.server.route("/v1/chat/completions", test::FakeModelServer::streamedChat(kAnswer));
        EXPECT_EQ(f.ask().text("summary"), "Calm.");

        test::FakeModelServer::Reply moved{307, "text/plain", ""};
        moved.extraHeaders = "Location: " + proxy.url().toEncoded() + "/v1/chat/completions\r\n";
        f.server.route("/v1/chat/completions", moved);
        QString description;
        EXPECT_EQ(failureKind(f, &description), LanguageModelError::Kind::Other);
        EXPECT_TRUE(description.contains("HTTP 307")) << description.toStdString();
    }
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    EXPECT_TRUE(proxy.requests().isEmpty());
}

} // namespace zn::lm

namespace zn::lm {

TEST(LocalServerHangs, AHangingServerNeverBlocksReadsAndTimesOutCalls)
{
    test::FakeModelServer server;
    test::FakeModelServer::Reply hang;
    hang.parts << " ";
    hang.hangAfterParts = true;
    server.route("/health", hang);
    server.route("/v1/chat/completions", hang);
    auto options = optionsFor(server.url());
    options.probeStaleAfter = 0ms;
    options.probeTimeout = 150ms;
    options.transferTimeout = 150ms;
    LocalServerLanguageModel model(options);

    const auto started = std::chrono::steady_clock::now();
    for (int i = 0; i < 100; ++i)
        EXPECT_FALSE(model.availability().available);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 50ms);
    // A server that takes the connection and never answers is no server.
    EXPECT_TRUE(test::waitUntil([&] { return model.availability() == Availability::no(UnavailableReason::NoServer); }));

    try {
        offMainThread([&] { return model.makeSession("i")->respond("p", noteSchema(), true, {}, {}); });
        ADD_FAILURE();
    } catch (const LanguageModelError &e) {
        EXPECT_EQ(e.kind(), LanguageModelError::Kind::Other);
        EXPECT_TRUE(e.description().contains("stopped answering")) << e.description().toStdString();
    }
}

} // namespace zn::lm
