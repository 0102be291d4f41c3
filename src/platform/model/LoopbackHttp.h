#pragma once

#include <QByteArray>
#include <QUrl>

#include <chrono>
#include <functional>
#include <stop_token>

namespace zn::lm {

// One HTTP exchange, made blocking on the calling thread (a worker thread or
// a thread without its own event loop running) with a private event loop.
// Never goes through a proxy and never follows redirects: the server is on
// this machine and nothing may leave it.
struct HttpExchange
{
    enum class Failure {
        None,
        ConnectionRefused, // nothing listens there
        TimedOut,
        TooLarge,          // the body passed maxBodyBytes; reading stopped
        Cancelled,
        Network,           // any other transport failure
    };

    int status = 0;
    QByteArray body;
    Failure failure = Failure::None;
    QString errorText;
};

struct HttpRequest
{
    QUrl url;
    QByteArray method = "GET";
    QByteArray body;
    std::chrono::milliseconds transferTimeout{120'000};
    qint64 maxBodyBytes = 4 * 1024 * 1024;
    // Sees the body as it arrives; returning false stops reading (the
    // exchange then ends with what arrived so far).
    std::function<bool(const QByteArray &chunk)> onData;
};

HttpExchange performHttp(const HttpRequest &request, std::stop_token stop = {});

} // namespace zn::lm
