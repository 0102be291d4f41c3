#include "platform/model/LoopbackHttp.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <atomic>
#include <memory>

namespace zn::lm {

HttpExchange performHttp(const HttpRequest &request, std::stop_token stop)
{
    HttpExchange result;
    if (stop.stop_requested()) {
        result.failure = HttpExchange::Failure::Cancelled;
        return result;
    }

    QNetworkAccessManager manager;
    // A proxy from the environment would carry journal text off the machine.
    manager.setProxy(QNetworkProxy::NoProxy);

    QNetworkRequest networkRequest(request.url);
    networkRequest.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    networkRequest.setTransferTimeout(static_cast<int>(request.transferTimeout.count()));
    networkRequest.setRawHeader("Accept", "application/json, text/event-stream");
    if (!request.body.isEmpty() || request.method == "POST")
        networkRequest.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));

    std::unique_ptr<QNetworkReply> reply(
        manager.sendCustomRequest(networkRequest, request.method, request.body));

    QEventLoop loop;
    auto cancelled = std::make_shared<std::atomic_bool>(false);
    bool tooLarge = false;
    bool stoppedByReader = false;

    // Every byte goes through here, also what is left once the reply ended,
    // so that a reader sees the whole body.
    auto take = [&](const QByteArray &chunk) {
        if (chunk.isEmpty() || tooLarge || stoppedByReader)
            return;
        if (result.body.size() + chunk.size() > request.maxBodyBytes) {
            tooLarge = true;
            reply->abort();
            return;
        }
        result.body += chunk;
        if (request.onData && !request.onData(chunk)) {
            stoppedByReader = true;
            reply->abort();
        }
    };
    QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, [&] { take(reply->readAll()); });
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);

    QNetworkReply *raw = reply.get();
    {
        // The stop may come from any thread; the abort runs on this one.
        std::stop_callback onStop(stop, [raw, cancelled] {
            QMetaObject::invokeMethod(raw, [raw, cancelled] {
                *cancelled = true;
                raw->abort();
            }, Qt::QueuedConnection);
        });
        if (!raw->isFinished())
            loop.exec();
    }
    if (!*cancelled && reply->isOpen())
        take(reply->readAll());

    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (*cancelled || stop.stop_requested()) {
        result.failure = HttpExchange::Failure::Cancelled;
    } else if (tooLarge) {
        result.failure = HttpExchange::Failure::TooLarge;
    } else if (stoppedByReader) {
        result.failure = HttpExchange::Failure::None;
    } else {
        switch (reply->error()) {
        case QNetworkReply::NoError:
            break;
        case QNetworkReply::ConnectionRefusedError:
            result.failure = HttpExchange::Failure::ConnectionRefused;
            break;
        case QNetworkReply::TimeoutError:
        case QNetworkReply::OperationCanceledError: // the transfer timeout
            result.failure = HttpExchange::Failure::TimedOut;
            break;
        default:
            // An HTTP error status still carries a body worth reading.
            if (result.status == 0)
                result.failure = HttpExchange::Failure::Network;
            break;
        }
        if (result.failure != HttpExchange::Failure::None)
            result.errorText = reply->errorString();
    }
    return result;
}

} // namespace zn::lm
