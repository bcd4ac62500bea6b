#include "NetKit/HttpSession.h"

#include "NetKit/Wakeup.h"

#include <QMetaEnum>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QTimer>

#include <memory>

namespace netkit {

namespace {

std::string describe(HttpError::Kind kind, QNetworkReply::NetworkError error)
{
    std::string text;
    switch (kind) {
    case HttpError::Kind::TimedOut:
        text = "The request timed out";
        break;
    case HttpError::Kind::CancelledBySystem:
        text = "The request was cancelled by the system";
        break;
    case HttpError::Kind::Transport:
        text = "The request failed";
        break;
    }
    // Only the enumeration's name: Qt's errorString() spells out the whole address.
    if (const char* name = QMetaEnum::fromType<QNetworkReply::NetworkError>().valueToKey(error))
        text += std::string(" (") + name + ")";
    return text;
}

// What one transfer produced, captured when the reply finishes so that nothing depends on the reply object later.
struct Exchange : detail::Wakeup
{
    bool done = false;
    bool timedOut = false;
    bool replyLost = false;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    HttpResponse response;

    void finish(QNetworkReply* reply)
    {
        if (done)
            return;
        done = true;
        if (!reply) {
            replyLost = true;
        } else {
            error = reply->error();
            response.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            response.headers = reply->rawHeaderPairs();
            if (reply->isOpen())
                response.body = reply->readAll();
            response.url = reply->url();
        }
    }
};

void postAbort(const QPointer<QNetworkReply>& reply)
{
    if (!reply)
        return;
    QMetaObject::invokeMethod(
        reply.data(),
        [reply] {
            if (reply && reply->isRunning())
                reply->abort();
        },
        Qt::QueuedConnection);
}

QNetworkRequest toQt(const HttpRequest& request, bool managerHasCache)
{
    QNetworkRequest qt(request.url);
    // Our idle timer is the only time-out: Qt's transfer time-out ends like an abort and cannot be told apart.
    qt.setTransferTimeout(0);
    // AlwaysNetwork also makes Qt send "Cache-Control: no-cache", which only fresh requests may carry; without a
    // local cache there is nothing to ignore anyway.
    const bool ignoreLocal = request.cache == HttpRequest::Cache::Fresh
                             || (request.cache == HttpRequest::Cache::IgnoreLocal && managerHasCache);
    qt.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                    ignoreLocal ? QNetworkRequest::AlwaysNetwork : QNetworkRequest::PreferNetwork);
    qt.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                    request.redirects == HttpRequest::Redirects::Follow ? QNetworkRequest::NoLessSafeRedirectPolicy
                                                                        : QNetworkRequest::ManualRedirectPolicy);
    for (const auto& [name, value] : request.headers)
        qt.setRawHeader(name, value);
    if (request.cache == HttpRequest::Cache::Fresh)
        qt.setRawHeader("Cache-Control", "no-cache");
    return qt;
}

QNetworkReply* issue(QNetworkAccessManager& manager, const HttpRequest& request)
{
    const QNetworkRequest qt = toQt(request, manager.cache() != nullptr);
    switch (request.method) {
    case HttpRequest::Method::Head:
        return manager.head(qt);
    case HttpRequest::Method::Post:
        return manager.post(qt, request.body);
    case HttpRequest::Method::Get:
        break;
    }
    return manager.get(qt);
}

bool isTransportError(QNetworkReply::NetworkError error)
{
    // Qt's network (1-99) and proxy (100-199) ranges; above that Qt reports HTTP statuses as errors.
    return error > QNetworkReply::NoError && error < QNetworkReply::ContentAccessDenied;
}

} // namespace

QByteArray HttpResponse::header(QByteArrayView name) const
{
    for (const auto& [key, value] : headers)
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    return {};
}

HttpError::HttpError(Kind kind, QNetworkReply::NetworkError networkError)
    : m_kind(kind)
    , m_networkError(networkError)
    , m_what(describe(kind, networkError))
{
}

HttpSession::HttpSession(QNetworkAccessManager* manager)
    : m_manager(manager)
{
}

QCoro::Task<HttpResponse> HttpSession::send(HttpRequest request, CancelToken token) const
{
    throwIfCancelled(token);
    if (!m_manager)
        throw HttpError(HttpError::Kind::CancelledBySystem, QNetworkReply::OperationCanceledError);

    const QPointer<QNetworkReply> reply = issue(*m_manager, request);
    auto exchange = std::make_shared<Exchange>();
    QTimer idle;
    idle.setSingleShot(true);
    idle.setInterval(request.idleTimeout);

    // The timer is the context of every connection, so they all end with this frame.
    const auto progress = [&idle] { idle.start(); };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, &idle, progress);
    QObject::connect(reply, &QNetworkReply::downloadProgress, &idle, progress);
    QObject::connect(reply, &QNetworkReply::uploadProgress, &idle, progress);
    QObject::connect(reply, &QNetworkReply::redirected, &idle, progress);
    QObject::connect(reply, &QNetworkReply::finished, &idle, [exchange, reply, &idle] {
        idle.stop();
        exchange->finish(reply);
        exchange->post();
    });
    QObject::connect(reply, &QObject::destroyed, &idle, [exchange] {
        exchange->finish(nullptr);
        exchange->post();
    });
    QObject::connect(&idle, &QTimer::timeout, &idle, [exchange, reply] {
        exchange->timedOut = true;
        postAbort(reply);
    });
    const CancelRegistration onCancel = token.onCancel([reply] { postAbort(reply); });
    idle.start();

    auto finished = exchange->waiter();
    co_await finished;

    if (reply)
        reply->deleteLater();
    throwIfCancelled(token);
    if (exchange->replyLost)
        throw HttpError(HttpError::Kind::CancelledBySystem, QNetworkReply::OperationCanceledError);
    const auto error = exchange->error;
    if (error == QNetworkReply::OperationCanceledError)
        throw HttpError(exchange->timedOut ? HttpError::Kind::TimedOut : HttpError::Kind::CancelledBySystem, error);
    if (isTransportError(error) || (error != QNetworkReply::NoError && exchange->response.status == 0))
        throw HttpError(HttpError::Kind::Transport, error);
    co_return std::move(exchange->response);
}

} // namespace netkit
