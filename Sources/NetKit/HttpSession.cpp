#include "NetKit/HttpSession.h"

#include "NetKit/Wakeup.h"

#include <QMetaEnum>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QTimer>

#include <memory>

namespace netkit {

namespace {

constexpr qint64 kStreamedBuffer = 1024 * 1024;

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
    case HttpError::Kind::TooLarge:
        return "The answer was larger than allowed";
    }
    // Only the enumeration's name: Qt's errorString() spells out the whole address.
    if (const char* name = QMetaEnum::fromType<QNetworkReply::NetworkError>().valueToKey(error))
        text += std::string(" (") + name + ")";
    return text;
}

// What one transfer produced, captured as it arrives and when the reply finishes, so that nothing depends on the
// reply object later. The body is taken out of the reply as it comes, so its size is known (and bounded) while it
// is read, and Qt never holds a second copy of it.
struct Exchange : detail::Wakeup
{
    bool done = false;
    bool timedOut = false;
    bool tooLarge = false;
    bool replyLost = false;
    bool headOnly = false; // a HEAD answer's length is that of a body it does not send
    qint64 maxBodyBytes = 0;
    qint64 received = 0;
    qint64 declaredLength = -1;
    std::function<void(QByteArray, qint64)> consumer;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    HttpResponse response;

    // False once the body has grown past its limit.
    bool take(QNetworkReply* reply)
    {
        if (tooLarge || !reply->isOpen())
            return !tooLarge;
        const qint64 available = reply->bytesAvailable();
        if (available <= 0)
            return true;
        if (received + available > maxBodyBytes) {
            tooLarge = true;
            return false;
        }
        QByteArray chunk = reply->read(available);
        received += chunk.size();
        if (consumer)
            consumer(std::move(chunk), declaredLength);
        else
            response.body.append(chunk);
        return true;
    }

    // A declared length beyond the limit ends the request before its body is read. An answer sent as it is
    // (not compressed) gets its whole buffer at once, rather than growing it by doubling.
    bool announced(QNetworkReply* reply)
    {
        declaredLength = -1; // a redirect's length is not the answer's
        const QVariant declared = reply->header(QNetworkRequest::ContentLengthHeader);
        if (headOnly || !declared.isValid())
            return true;
        const qint64 length = declared.toLongLong();
        if (length > maxBodyBytes) {
            tooLarge = true;
            return false;
        }
        const QByteArray encoding = reply->rawHeader("Content-Encoding").trimmed().toLower();
        if (!encoding.isEmpty() && encoding != "identity")
            return true;
        declaredLength = length;
        if (!consumer && length > response.body.capacity())
            response.body.reserve(length);
        return true;
    }

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
            take(reply);
            response.body.squeeze();
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
    // Qt's own guard against compression bombs refuses big, well-compressed lists (and calls it a protocol
    // failure); the size limit, checked on the decoded bytes as they arrive, bounds memory instead.
    qt.setDecompressedSafetyCheckThreshold(-1);
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
    // A body handed on as it arrives need not pile up in Qt's own buffer either: Qt stops reading the socket while
    // this much is waiting to be read.
    if (request.takeBody)
        reply->setReadBufferSize(kStreamedBuffer);
    auto exchange = std::make_shared<Exchange>();
    exchange->maxBodyBytes = request.maxBodyBytes;
    exchange->headOnly = request.method == HttpRequest::Method::Head;
    exchange->consumer = std::move(request.takeBody);
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setInterval(request.deadline);
    QTimer idle;
    idle.setSingleShot(true);
    idle.setInterval(request.idleTimeout);

    // The timer is the context of every connection, so they all end with this frame.
    const auto progress = [&idle] { idle.start(); };
    const auto ended = [exchange, reply] {
        exchange->timedOut = true;
        postAbort(reply);
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, &idle, [exchange, reply, &idle] {
        idle.start();
        if (!exchange->announced(reply))
            postAbort(reply);
    });
    QObject::connect(reply, &QNetworkReply::readyRead, &idle, [exchange, reply] {
        if (!exchange->take(reply))
            postAbort(reply);
    });
    QObject::connect(reply, &QNetworkReply::downloadProgress, &idle, progress);
    QObject::connect(reply, &QNetworkReply::uploadProgress, &idle, progress);
    QObject::connect(reply, &QNetworkReply::redirected, &idle, progress);
    QObject::connect(reply, &QNetworkReply::finished, &idle, [exchange, reply, &idle, &deadline] {
        idle.stop();
        deadline.stop();
        exchange->finish(reply);
        exchange->post();
    });
    QObject::connect(reply, &QObject::destroyed, &idle, [exchange] {
        exchange->finish(nullptr);
        exchange->post();
    });
    QObject::connect(&idle, &QTimer::timeout, &idle, ended);
    QObject::connect(&deadline, &QTimer::timeout, &idle, ended);
    const CancelRegistration onCancel = token.onCancel([reply] { postAbort(reply); });
    idle.start();
    deadline.start();

    auto finished = exchange->waiter();
    co_await finished;

    if (reply)
        reply->deleteLater();
    throwIfCancelled(token);
    if (exchange->replyLost)
        throw HttpError(HttpError::Kind::CancelledBySystem, QNetworkReply::OperationCanceledError);
    const auto error = exchange->error;
    if (exchange->tooLarge)
        throw HttpError(HttpError::Kind::TooLarge, error);
    if (error == QNetworkReply::OperationCanceledError)
        throw HttpError(exchange->timedOut ? HttpError::Kind::TimedOut : HttpError::Kind::CancelledBySystem, error);
    // Qt names error statuses (and redirects it cannot follow) as errors too, and those are answers; an error
    // beside a success status is a body that could not be read or decoded, which must never pass for the answer.
    const int status = exchange->response.status;
    if (isTransportError(error) || (error != QNetworkReply::NoError && status < 300))
        throw HttpError(HttpError::Kind::Transport, error);
    co_return std::move(exchange->response);
}

} // namespace netkit
