#include "support/FakeModelServer.h"

#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <memory>

namespace zn::test {

FakeModelServer::FakeModelServer(quint16 port)
{
    m_server.listen(QHostAddress::LocalHost, port);
    connect(&m_server, &QTcpServer::newConnection, this, &FakeModelServer::onConnection);
}

FakeModelServer::~FakeModelServer()
{
    m_server.close();
}

QUrl FakeModelServer::url() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()));
}

void FakeModelServer::route(const QByteArray &path, Handler handler)
{
    m_routes[path] = std::move(handler);
}

void FakeModelServer::route(const QByteArray &path, const Reply &reply)
{
    m_routes[path] = [reply](const Request &) { return reply; };
}

int FakeModelServer::requestCount(const QByteArray &path) const
{
    int n = 0;
    for (const Request &r : m_requests)
        n += r.path == path;
    return n;
}

void FakeModelServer::onConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadable(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            if (socket->property("answering").toBool() && !socket->property("answered").toBool())
                ++m_closedByClient;
            m_buffers.remove(socket);
            socket->deleteLater();
        });
    }
}

void FakeModelServer::onReadable(QTcpSocket *socket)
{
    QByteArray &buffer = m_buffers[socket];
    buffer += socket->readAll();
    const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return;
    Request request;
    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    request.method = first.value(0);
    request.path = first.value(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            request.headers[lines[i].left(colon).trimmed().toLower()] = lines[i].mid(colon + 1).trimmed();
    }
    const qsizetype length = request.headers.value("content-length", "0").toLongLong();
    if (buffer.size() < headerEnd + 4 + length)
        return;
    request.body = buffer.mid(headerEnd + 4, length);
    buffer.clear();
    m_requests << request;

    Reply reply;
    if (m_routes.contains(request.path))
        reply = m_routes[request.path](request);
    else
        reply = Reply{404, "application/json", R"({"error":{"code":404,"message":"File Not Found","type":"not_found_error"}})"};
    respond(socket, reply);
}

void FakeModelServer::respond(QTcpSocket *socket, const Reply &reply)
{
    socket->setProperty("answering", true);
    QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.status) + " X\r\nContent-Type: " + reply.contentType + "\r\n" + reply.extraHeaders;
    if (reply.parts.isEmpty()) {
        head += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\nConnection: close\r\n\r\n";
        socket->write(head + reply.body);
        socket->setProperty("answered", true);
        socket->disconnectFromHost();
        return;
    }
    head += "Connection: close\r\n\r\n";
    socket->write(head);
    QPointer<QTcpSocket> guard(socket);
    auto parts = std::make_shared<QList<QByteArray>>(reply.parts);
    auto step = std::make_shared<std::function<void()>>();
    const bool hang = reply.hangAfterParts;
    const int delay = reply.partDelayMs;
    // The step refers to itself weakly; only a pending timer keeps it alive,
    // so it is freed however the exchange ends (socket gone, timer dropped).
    *step = [guard, parts, weakStep = std::weak_ptr(step), hang, delay] {
        auto self = weakStep.lock();
        if (!guard || !self)
            return;
        if (parts->isEmpty()) {
            if (!hang) {
                guard->setProperty("answered", true);
                guard->disconnectFromHost();
            }
            return;
        }
        guard->write(parts->takeFirst());
        guard->flush();
        QTimer::singleShot(delay, guard, [self] { (*self)(); });
    };
    (*step)();
}

FakeModelServer::Reply FakeModelServer::healthy()
{
    return Reply{200, "application/json", R"({"status":"ok"})"};
}

FakeModelServer::Reply FakeModelServer::loading()
{
    return Reply{503, "application/json", R"({"error":{"code":503,"message":"Loading model","type":"unavailable_error"}})"};
}

FakeModelServer::Reply FakeModelServer::props(int nCtx)
{
    return Reply{200, "application/json",
                 R"({"default_generation_settings":{"n_ctx":)" + QByteArray::number(nCtx)
                     + R"(,"temperature":0.8},"total_slots":1,"chat_template":"x"})"};
}

QByteArray FakeModelServer::sseEvent(const QByteArray &json)
{
    return "data: " + json + "\n\n";
}

QByteArray FakeModelServer::deltaEvent(const QByteArray &contentPiece, const char *finishReason)
{
    QJsonObject delta{{"content", QString::fromUtf8(contentPiece)}};
    QJsonObject choice{{"index", 0}, {"delta", delta},
                       {"finish_reason", finishReason ? QJsonValue(finishReason) : QJsonValue(QJsonValue::Null)}};
    QJsonObject chunk{{"id", "chatcmpl-1"}, {"object", "chat.completion.chunk"}, {"choices", QJsonArray{choice}}};
    return sseEvent(QJsonDocument(chunk).toJson(QJsonDocument::Compact));
}

FakeModelServer::Reply FakeModelServer::streamedChat(const QByteArray &content, int pieces, const char *finishReason)
{
    Reply reply;
    reply.contentType = "text/event-stream";
    const qsizetype step = std::max<qsizetype>(1, (content.size() + pieces - 1) / pieces);
    for (qsizetype at = 0; at < content.size(); at += step)
        reply.parts << deltaEvent(content.mid(at, step));
    reply.parts << deltaEvent("", finishReason);
    reply.parts << "data: [DONE]\n\n";
    return reply;
}

FakeModelServer::Reply FakeModelServer::overflow()
{
    return Reply{400, "application/json",
                 R"({"error":{"code":400,"message":"the request exceeds the available context size, try increasing it","type":"exceed_context_size_error","n_prompt_tokens":5000,"n_ctx":4096}})"};
}

} // namespace zn::test
