#include "support/FakeModelServer.h"
#include "platform/model/LocalServerLanguageModel.h"
#include "platform/model/LoopbackHttp.h"
#include "reflections/EntryInsightResult.h"
#include "reflections/WeeklyReflectionResult.h"

#include <benchmark/benchmark.h>

#include <QThread>

#include <memory>

namespace {

using namespace zn;

const QByteArray kEntryAnswer =
    R"({"overallScore":-0.35,"summary":"The entry describes a tiring day at work with a tense meeting, followed by a calmer evening walk that eased some of the pressure. Worry about a deadline sits alongside relief at small kindnesses from a colleague.","emotionalTone":"Overcast with a brief clearing toward evening.","keyPoints":["A tense meeting about the deadline","A colleague offered help","An evening walk eased the tension"],"overallSentiment":"mixed, tired","closingFocus":"You might keep a little space for the walks that help.","themes":["Work","Rest"]})";

void BM_RenderEntrySchema(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(EntryInsightResult::generationSchema().toJsonSchema());
}
BENCHMARK(BM_RenderEntrySchema);

void BM_RenderWeeklySchema(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(WeeklyReflectionResult::generationSchema().toJsonSchema());
}
BENCHMARK(BM_RenderWeeklySchema);

void BM_ParseEntryAnswer(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(EntryInsightResult::fromContent(lm::GeneratedContent::fromJson(kEntryAnswer)));
}
BENCHMARK(BM_ParseEntryAnswer);

void BM_BuildChatRequest(benchmark::State &state)
{
    const QString prompt = QString(4500, QChar('w'));
    for (auto _ : state) {
        const QString user = lm::LocalServerLanguageModel::userContent(prompt, EntryInsightResult::generationSchema(), true);
        benchmark::DoNotOptimize(lm::LocalServerLanguageModel::chatRequestBody(
            QString(1400, QChar('i')), user, EntryInsightResult::generationSchema(), {900}));
    }
}
BENCHMARK(BM_BuildChatRequest);

// The replaying server on a thread of its own.
struct ServerThread
{
    QThread thread;
    QObject anchor;
    test::FakeModelServer *server = nullptr;

    ServerThread()
    {
        thread.start();
        anchor.moveToThread(&thread);
        QMetaObject::invokeMethod(&anchor, [this] {
            server = new test::FakeModelServer;
            server->route("/health", test::FakeModelServer::healthy());
            server->route("/props", test::FakeModelServer::props(8192));
            server->route("/v1/chat/completions", test::FakeModelServer::streamedChat(kEntryAnswer, 8));
        }, Qt::BlockingQueuedConnection);
    }
    ~ServerThread()
    {
        QMetaObject::invokeMethod(&anchor, [this] { delete server; }, Qt::BlockingQueuedConnection);
        thread.quit();
        thread.wait();
    }
};

ServerThread &serverThread()
{
    static ServerThread instance;
    return instance;
}

// The bare exchange: the same request and streamed answer, without the
// client's request building, pre-check and answer reading.
void BM_LoopbackBareExchange(benchmark::State &state)
{
    ServerThread &server = serverThread();
    lm::HttpRequest request;
    request.url = server.server->url().resolved(QUrl("/v1/chat/completions"));
    request.method = "POST";
    request.body = lm::LocalServerLanguageModel::chatRequestBody(
        "Be brief.", lm::LocalServerLanguageModel::userContent("How was the day?", EntryInsightResult::generationSchema(), true),
        EntryInsightResult::generationSchema(), {900});
    for (auto _ : state)
        benchmark::DoNotOptimize(lm::performHttp(request));
}
BENCHMARK(BM_LoopbackBareExchange)->Unit(benchmark::kMillisecond);

void BM_LoopbackClientRespond(benchmark::State &state)
{
    ServerThread &server = serverThread();
    lm::LocalServerLanguageModel::Options options;
    options.baseUrl = server.server->url();
    options.probeStaleAfter = std::chrono::hours(1);
    lm::LocalServerLanguageModel model(options);
    model.refreshNow();
    for (auto _ : state) {
        auto session = model.makeSession("Be brief.");
        benchmark::DoNotOptimize(EntryInsightResult::fromContent(
            session->respond("How was the day?", EntryInsightResult::generationSchema(), true, {900}, {})));
    }
}
BENCHMARK(BM_LoopbackClientRespond)->Unit(benchmark::kMillisecond);

} // namespace

