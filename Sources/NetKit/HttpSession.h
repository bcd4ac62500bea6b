#pragma once

#include "NetKit/CancelToken.h"

#include <QByteArray>
#include <QList>
#include <QNetworkReply>
#include <QPointer>
#include <QUrl>
#include <QCoro/QCoroTask>

#include <chrono>
#include <exception>
#include <functional>
#include <string>
#include <utility>

class QNetworkAccessManager;

namespace netkit {

using HttpHeader = std::pair<QByteArray, QByteArray>;

struct HttpRequest
{
    enum class Method { Get, Head, Post };
    enum class Cache {
        Default,     // the protocol's own rules
        IgnoreLocal, // always ask the server
        Fresh,       // always ask the server, and send "Cache-Control: no-cache"
    };
    enum class Redirects { Follow, DoNotFollow };

    Method method = Method::Get;
    QUrl url;
    QList<HttpHeader> headers;
    QByteArray body;
    // The request fails with a time-out when nothing arrives (headers, body bytes, upload progress) for this long.
    std::chrono::milliseconds idleTimeout{30000};
    // Whatever arrives, the whole exchange ends with a time-out after this long: a server that trickles a byte
    // now and then never trips the idle timer.
    std::chrono::milliseconds deadline{60000};
    // Answers whose body (as decoded) grows past this many bytes fail while they are read.
    qint64 maxBodyBytes = 16 * 1024 * 1024;
    Cache cache = Cache::Default;
    Redirects redirects = Redirects::Follow;
    // When set, the body is handed here as it arrives (decoded, when the server compressed it), in order and on the
    // main thread, instead of being collected
    // (the answer's body then stays empty): a list of tens of megabytes is never held whole. `declaredLength` is
    // the length the server announced for a body sent as it is (not compressed), or -1. Whatever is handed on
    // counts towards the size limit. It must not throw. A piece counts as read once the consumer lets go of it (and
    // of every copy): while it holds more than a few megabytes of pieces, the socket is not read (nor the idle
    // time-out counted), so a consumer that keeps every piece stalls the answer until its deadline.
    std::function<void(QByteArray piece, qint64 declaredLength)> takeBody;

    // The bounds of a whole catalogue list or playlist (10 minutes, 1 GiB) instead of an ordinary answer's
    // (60 seconds, 16 MiB).
    void boundAsLargeList()
    {
        deadline = std::chrono::minutes(10);
        maxBodyBytes = qint64(1024) * 1024 * 1024;
    }
};

// Any HTTP answer, whatever its status; mapping statuses to errors is the caller's.
struct HttpResponse
{
    int status = 0; // 0: the answer was not an HTTP answer
    QList<HttpHeader> headers;
    QByteArray body;
    QUrl url; // the address that answered, after any followed redirect

    // First header of that name, compared case-insensitively; empty when there is none.
    QByteArray header(QByteArrayView name) const;
    bool isSuccess() const { return status >= 200 && status <= 299; }
};

// A request that produced no HTTP answer. Our own cancellation is not one of these: it throws `Cancelled`.
// The message never contains the address (it may carry credentials).
class HttpError : public std::exception
{
public:
    enum class Kind {
        TimedOut,          // our idle time-out or the request's deadline
        CancelledBySystem, // cancelled by something other than us (the network stack, the session going away)
        Transport,         // no connection, refused, reset, TLS failure, an unreadable or undecodable answer
        TooLarge,          // the body grew past the request's size limit
    };

    HttpError(Kind kind, QNetworkReply::NetworkError networkError);

    Kind kind() const { return m_kind; }
    QNetworkReply::NetworkError networkError() const { return m_networkError; }
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    Kind m_kind;
    QNetworkReply::NetworkError m_networkError;
    std::string m_what;
};

// The one way requests reach the network: a thin handle over the process's shared QNetworkAccessManager.
// Use it on the main thread (the waiting coroutine is resumed through the application object).
class HttpSession
{
public:
    explicit HttpSession(QNetworkAccessManager* manager);

    // Sends `request`. Returns the answer for any HTTP status; throws `Cancelled` when `token` is cancelled
    // (before or during the transfer) and `HttpError` when no HTTP answer came, when the body could not be
    // decoded, or when the request's deadline or size limit ended it. Aborts are posted to the event loop, so
    // cancelling from inside any callback never resumes the waiting coroutine re-entrantly.
    QCoro::Task<HttpResponse> send(HttpRequest request, CancelToken token) const;

    QNetworkAccessManager* manager() const { return m_manager; }

private:
    QPointer<QNetworkAccessManager> m_manager;
};

} // namespace netkit
