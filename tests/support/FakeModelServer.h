#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

#include <functional>

namespace zn::test {

// A loopback HTTP server that replays llama.cpp-style answers. Lives on the
// thread that created it, which must run its event loop while clients talk.
class FakeModelServer : public QObject
{
    Q_OBJECT
public:
    struct Request
    {
        QByteArray method;
        QByteArray path;
        QMap<QByteArray, QByteArray> headers; // lower-case names
        QByteArray body;
    };

    struct Reply
    {
        Reply() = default;
        Reply(int status, QByteArray contentType, QByteArray body)
            : status(status), contentType(std::move(contentType)), body(std::move(body))
        {
        }

        int status = 200;
        QByteArray contentType = "application/json";
        QByteArray body;
        QByteArray extraHeaders; // whole lines, each ending "\r\n"
        // Streamed answers: each part is written after `partDelayMs`, then
        // the connection closes unless `hangAfterParts` is set.
        QList<QByteArray> parts;
        int partDelayMs = 0;
        bool hangAfterParts = false;
    };

    using Handler = std::function<Reply(const Request &)>;

    // On `port` of 127.0.0.1, or any free one.
    explicit FakeModelServer(quint16 port = 0);
    ~FakeModelServer() override;

    QUrl url() const;
    void route(const QByteArray &path, Handler handler);
    void route(const QByteArray &path, const Reply &reply);

    QList<Request> requests() const { return m_requests; }
    int requestCount(const QByteArray &path) const;
    int connectionsClosedByClient() const { return m_closedByClient; }
    void close() { m_server.close(); }

    // Canned llama.cpp answers.
    static Reply healthy();
    static Reply loading();
    static Reply props(int nCtx);
    static Reply streamedChat(const QByteArray &content, int pieces = 4, const char *finishReason = "stop");
    static Reply overflow();
    static QByteArray sseEvent(const QByteArray &json);
    static QByteArray deltaEvent(const QByteArray &contentPiece, const char *finishReason = nullptr);

private:
    void onConnection();
    void onReadable(QTcpSocket *socket);
    void respond(QTcpSocket *socket, const Reply &reply);

    QTcpServer m_server;
    QMap<QByteArray, Handler> m_routes;
    QList<Request> m_requests;
    QMap<QTcpSocket *, QByteArray> m_buffers;
    int m_closedByClient = 0;
};

} // namespace zn::test
