#include "app/settings/AppSettings.h"
#include "core/EditorSession.h"
#include "core/JournalEntry.h"
#include "core/JournalQueries.h"
#include "core/JournalSchema.h"
#include "platform/base/UserDefaults.h"
#include "platform/model/LocalServerLanguageModel.h"
#include "platform/store/ModelContainer.h"
#include "platform/store/ModelContext.h"
#include "reflections/CapabilityDetector.h"
#include "reflections/InsightCoordinator.h"
#include "support/TestSupport.h"

#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QMutexLocker>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>

namespace zn::test {
namespace {

// A llama.cpp-style model server on 127.0.0.1, on a thread of its own so it
// answers while the test's main thread waits. Every chat request gets the
// same structured answer.
class LoopbackModelServer : public QObject
{
public:
    explicit LoopbackModelServer(QByteArray answerJson) : m_answer(std::move(answerJson)) {}

    quint16 listen()
    {
        m_server = new QTcpServer(this);
        QObject::connect(m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server->nextPendingConnection())
                serve(socket);
        });
        m_server->listen(QHostAddress::LocalHost, 0);
        return m_server->serverPort();
    }

    QStringList chatBodies() const
    {
        QMutexLocker lock(&m_mutex);
        return m_chatBodies;
    }

private:
    void serve(QTcpSocket *socket)
    {
        auto buffer = std::make_shared<QByteArray>();
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
            buffer->append(socket->readAll());
            const qsizetype headerEnd = buffer->indexOf("\r\n\r\n");
            if (headerEnd < 0)
                return;
            const QByteArray head = buffer->left(headerEnd);
            qsizetype length = 0;
            for (const QByteArray &line : head.split('\n'))
                if (line.toLower().startsWith("content-length:"))
                    length = line.mid(15).trimmed().toLongLong();
            if (buffer->size() < headerEnd + 4 + length)
                return;
            const QByteArray body = buffer->mid(headerEnd + 4, length);
            const QList<QByteArray> requestLine = head.left(head.indexOf("\r\n")).split(' ');
            const QByteArray path = requestLine.value(1);
            buffer->clear();
            respond(socket, path, body);
        });
    }

    void respond(QTcpSocket *socket, const QByteArray &path, const QByteArray &body)
    {
        QByteArray payload;
        if (path == "/health") {
            payload = R"({"status":"ok"})";
        } else if (path == "/props") {
            payload = R"({"default_generation_settings":{"n_ctx":8192}})";
        } else if (path == "/tokenize") {
            const QString content = QJsonDocument::fromJson(body).object().value(QLatin1String("content")).toString();
            QJsonArray tokens;
            for (qsizetype i = 0; i < content.size() / 4 + 1; ++i)
                tokens.append(int(i));
            payload = QJsonDocument(QJsonObject{{QStringLiteral("tokens"), tokens}}).toJson(QJsonDocument::Compact);
        } else if (path == "/v1/chat/completions") {
            {
                QMutexLocker lock(&m_mutex);
                m_chatBodies << QString::fromUtf8(body);
            }
            const QJsonObject message{{QStringLiteral("role"), QStringLiteral("assistant")},
                                      {QStringLiteral("content"), QString::fromUtf8(m_answer)}};
            const QJsonObject choice{{QStringLiteral("index"), 0},
                                     {QStringLiteral("message"), message},
                                     {QStringLiteral("finish_reason"), QStringLiteral("stop")}};
            payload = QJsonDocument(QJsonObject{{QStringLiteral("choices"), QJsonArray{choice}}})
                          .toJson(QJsonDocument::Compact);
        } else {
            socket->write("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
            socket->disconnectFromHost();
            return;
        }
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\nContent-Length: "
                      + QByteArray::number(payload.size()) + "\r\n\r\n" + payload);
        socket->disconnectFromHost();
    }

    QByteArray m_answer;
    QTcpServer *m_server = nullptr;
    mutable QMutex m_mutex;
    QStringList m_chatBodies;
};

const QByteArray kAnswer = R"({"overallScore":0.6,"summary":"A slow walk by the river brought a steady calm, with small details like birdsong and cold air standing out through the morning.","emotionalTone":"Calm and quietly content.","keyPoints":["A walk by the river","Birdsong was noticed"],"overallSentiment":"Mostly positive.","closingFocus":"Noticing what made the morning steady.","themes":["nature","calm"]})";

TEST(CoordinatorEndToEndTest, ACommittedEntryGetsAReadyReflectionFromTheModelServer)
{
    QThread serverThread;
    auto *server = new LoopbackModelServer(kAnswer);
    server->moveToThread(&serverThread);
    QObject::connect(&serverThread, &QThread::finished, server, &QObject::deleteLater);
    serverThread.start();
    quint16 port = 0;
    QMetaObject::invokeMethod(server, [&] { port = server->listen(); }, Qt::BlockingQueuedConnection);
    ASSERT_NE(port, 0);

    TempDir dir;
    ModelConfiguration configuration;
    configuration.folder = dir.path();
    auto container = ModelContainer::open(ZephyrnoteSchemaV2::schema(), configuration);
    ASSERT_TRUE(container);
    UserDefaults defaults(dir.file(QStringLiteral("defaults.ini")));
    AppSettings settings(&defaults);

    lm::LocalServerLanguageModel::Options options;
    options.baseUrl = QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port));
    options.initialProbeWait = std::chrono::seconds(5);
    auto model = std::make_unique<lm::LocalServerLanguageModel>(options);

    {
        CapabilityDetector detector(model.get());
        detector.refresh();
        ASSERT_EQ(detector.availability(), CapabilityDetector::Availability::Available) << detector.statusDetail().toStdString();

        InsightCoordinator coordinator(model.get());
        coordinator.configure(&detector, &settings, container);

        EditorSession session;
        session.setModelContext(container->mainContext());
        session.setInsightCoordinator(&coordinator);
        session.startNewDraft();
        const QString text = QStringLiteral("Walked along the river before work. The birds were loud and the air "
                                            "was cold, and for once my head felt quiet.");
        session.setDraftText(text);
        ASSERT_TRUE(session.commitDraft(true));

        // Committing only hands the id over; the reflection arrives later.
        ASSERT_TRUE(waitUntil(
            [&] {
                ModelContext context(container.get());
                const auto entries = fetchAllEntries(context);
                return entries.size() == 1 && entries[0]->insightStatus() == InsightStatus::Ready;
            },
            std::chrono::seconds(20)));

        ModelContext context(container.get());
        const QList<JournalEntry *> entries = fetchAllEntries(context);
        ASSERT_EQ(entries.size(), 1);
        const JournalEntry *entry = entries[0];
        EXPECT_FALSE(entry->isDraft());
        EXPECT_EQ(entry->rawText(), text);
        EXPECT_TRUE(entry->insightText()->startsWith(QStringLiteral("A slow walk by the river")));
        EXPECT_EQ(entry->insightSchemaVersion(), 6);
        EXPECT_EQ(entry->insightOverallScore(), 0.6);
        EXPECT_EQ(entry->themes(), QStringList({QStringLiteral("nature"), QStringLiteral("calm")}));
        EXPECT_TRUE(waitUntil([&] { return !coordinator.isProcessing(); }));

        const QStringList bodies = server->chatBodies();
        ASSERT_GE(bodies.size(), 1);
        EXPECT_TRUE(bodies[0].contains(QStringLiteral("for once my head felt quiet")));
        session.setInsightCoordinator(nullptr);
    }

    model.reset();
    serverThread.quit();
    serverThread.wait();
}

} // namespace
} // namespace zn::test
