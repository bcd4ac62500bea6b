#include "NetKit/HttpSession.h"

#include "NetKit/BodyDecoder.h"
#include "NetKit/Wakeup.h"

#include <QCoreApplication>
#include <QMetaEnum>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QTimer>

#include <algorithm>
#include <deque>
#include <memory>

namespace netkit {

namespace {

constexpr qint64 kReadBuffer = 1024 * 1024;
// A body handed on as it arrives is read from the socket only while less than this much of what was handed on is
// still held by its reader: a reader slower than the network never lets the pieces pile up. Four pieces keep the
// reader fed; more only raised the peak of a connect, with three lists arriving at once.
constexpr qint64 kMaxHandedHeld = 4 * 1024 * 1024;
// How often a paused transfer looks whether its reader caught up.
constexpr int kResumeCheckMs = 5;

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

void postAbort(const QPointer<QNetworkReply>& reply);

bool isTransportError(QNetworkReply::NetworkError error)
{
    // Qt's network (1-99) and proxy (100-199) ranges; above that Qt reports HTTP statuses as errors.
    return error > QNetworkReply::NoError && error < QNetworkReply::ContentAccessDenied;
}

// What one transfer produced, captured as it arrives and when the reply finishes, so that nothing depends on the
// reply object later. The body is taken out of the reply as it comes, so its size is known (and bounded) while it
// is read, and Qt never holds a second copy of it. A compressed body is decoded by a worker as it arrives, and
// its decoded bytes are what the size limit counts.
struct Exchange : detail::Wakeup
{
    bool done = false;
    bool timedOut = false;
    bool decodingTimedOut = false; // the deadline came after the transfer, while its body was still decoding
    bool tooLarge = false;
    bool undecodable = false;
    bool replyLost = false;
    bool replyEnded = false;
    bool headOnly = false; // a HEAD answer's length is that of a body it does not send
    qint64 maxBodyBytes = 0;
    qint64 received = 0; // as decoded
    qint64 declaredLength = -1;
    std::function<void(QByteArray, qint64)> consumer;
    // Shallow copies of the pieces handed on: a piece no one else shares any more has been read and let go.
    std::deque<QByteArray> handed;
    qint64 handedHeld = 0;
    bool paused = false;
    std::function<void()> onPause; // set by send(): stops the idle timer and starts looking for the reader
    std::shared_ptr<BodyDecoder> decoder;
    QPointer<QNetworkReply> reply;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    HttpResponse response;

    ~Exchange()
    {
        if (decoder)
            decoder->stop();
    }

    // False once the body has grown past its limit, or decodes to far more than any real list does.
    bool accept(QByteArray piece)
    {
        if (received + piece.size() > maxBodyBytes ||
            (decoder && received > kBombFloor && received / qMax<qint64>(decoder->consumedInput(), 1) > kBombRatio)) {
            tooLarge = true;
            return false;
        }
        received += piece.size();
        if (consumer) {
            if (!piece.isEmpty()) {
                handedHeld += piece.size();
                handed.push_back(piece);
            }
            consumer(std::move(piece), declaredLength);
        }
        else
            response.body.append(piece);
        return true;
    }

    // True while the reader holds too much of what it was handed; forgets the pieces it let go.
    bool readerBehind()
    {
        if (handedHeld <= kMaxHandedHeld)
            return false;
        std::erase_if(handed, [this](const QByteArray& piece) {
            if (!piece.isDetached())
                return false;
            handedHeld -= piece.size();
            return true;
        });
        return handedHeld > kMaxHandedHeld;
    }

    void pause()
    {
        if (!std::exchange(paused, true) && onPause)
            onPause();
    }

    // False once the body has grown past its limit. Reads nothing while the decoder or the reader is behind, so Qt
    // stops reading the socket once its own (bounded) buffer is full, and TCP holds the sender.
    bool take(QNetworkReply* from, bool all = false)
    {
        if (tooLarge || undecodable || !from->isOpen())
            return !tooLarge;
        while (true) {
            if (!all && consumer && readerBehind()) {
                pause();
                return true;
            }
            const qint64 available = from->bytesAvailable();
            if (available <= 0)
                return true;
            if (!decoder)
                return accept(from->read(available));
            if (!all && !decoder->wantsInput())
                return true;
            QByteArray compressed = from->read(qMin<qint64>(available, BodyDecoder::kMaxWaitingInput));
            decoder->push(std::move(compressed));
        }
    }

    // A declared length beyond the limit ends the request before its body is read. An answer sent as it is
    // (not compressed) gets its whole buffer at once, rather than growing it by doubling.
    bool announced(QNetworkReply* from)
    {
        declaredLength = -1; // a redirect's length is not the answer's
        const QByteArray encoding = from->rawHeader("Content-Encoding");
        const std::optional<ContentCoding> coding = contentCoding(encoding);
        if (decoder)
            decoder->stop();
        decoder.reset();
        if (!headOnly && coding && *coding != ContentCoding::Identity) {
            decoder = BodyDecoder::create(*coding, [self = std::weak_ptr(std::static_pointer_cast<Exchange>(
                                                        shared_from_this()))] {
                QMetaObject::invokeMethod(
                    QCoreApplication::instance(),
                    [self] {
                        if (const auto exchange = self.lock())
                            exchange->drain();
                    },
                    Qt::QueuedConnection);
            });
        }
        if (!headOnly && !coding) {
            // A coding we never asked for and cannot read.
            undecodable = true;
            return false;
        }
        const QVariant declared = from->header(QNetworkRequest::ContentLengthHeader);
        if (headOnly || !declared.isValid())
            return true;
        const qint64 length = declared.toLongLong();
        if (length > maxBodyBytes) {
            tooLarge = true;
            return false;
        }
        if (decoder)
            return true;
        declaredLength = length;
        if (!consumer && length > response.body.capacity())
            response.body.reserve(length);
        return true;
    }

    // Hands on what the decoder produced, lets it have more input, and ends the exchange once it is through.
    void drain()
    {
        if (!decoder || done)
            return;
        // The decoder stops by itself once its output waits long enough.
        if (consumer && readerBehind()) {
            pause();
            return;
        }
        for (QByteArray& piece : decoder->takeOutput()) {
            if (!accept(std::move(piece))) {
                decoder->stop();
                postAbort(reply);
                break;
            }
        }
        const BodyDecoder::State state = decoder->state();
        if (state == BodyDecoder::State::Failed && !tooLarge) {
            undecodable = true;
            postAbort(reply);
        }
        if (!tooLarge && !undecodable && reply && !replyEnded && !take(reply))
            postAbort(reply);
        if (replyEnded && (tooLarge || state != BodyDecoder::State::Decoding))
            complete();
    }

    void finish(QNetworkReply* from)
    {
        if (replyEnded)
            return;
        replyEnded = true;
        if (!from) {
            replyLost = true;
        } else {
            error = from->error();
            response.status = from->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            response.headers = from->rawHeaderPairs();
            if (!take(from, true) && decoder)
                decoder->stop();
            response.url = from->url();
        }
        // Whatever is still being decoded completes the body (an error status's too); a failed or cut transfer has
        // nothing more to give.
        const bool bodyWhole = error == QNetworkReply::NoError || (!isTransportError(error) && response.status >= 300);
        if (decoder && !replyLost && bodyWhole && !tooLarge && !undecodable) {
            decoder->endInput();
            drain();
            return;
        }
        if (decoder)
            decoder->stop();
        complete();
    }

    void complete()
    {
        if (std::exchange(done, true))
            return;
        if (decoder)
            decoder->stop();
        response.body.squeeze();
        post();
    }

    // A real list compresses by ten to fifty times; a compression bomb by about a thousand.
    static constexpr qint64 kBombFloor = 16 * 1024 * 1024;
    static constexpr qint64 kBombRatio = 400;
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
    // Naming the codings ourselves keeps Qt from decoding: it would expand a body on the thread that reads it,
    // before the size limit sees a byte. We decode on a worker and count the decoded bytes.
    qt.setRawHeader("Accept-Encoding", acceptedCodings());
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
    // Qt stops reading the socket while this much is waiting to be read: a body handed on as it arrives, or one
    // waiting for its decoder, never piles up in Qt's own buffer.
    reply->setReadBufferSize(kReadBuffer);
    auto exchange = std::make_shared<Exchange>();
    exchange->reply = reply;
    exchange->maxBodyBytes = request.maxBodyBytes;
    exchange->headOnly = request.method == HttpRequest::Method::Head;
    exchange->consumer = std::move(request.takeBody);
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setInterval(request.deadline);
    QTimer idle;
    idle.setSingleShot(true);
    idle.setInterval(request.idleTimeout);

    // While the reader is behind, nothing is read on purpose: silence then is ours, not the server's, so the idle
    // timer waits. The deadline still holds.
    QTimer resume;
    resume.setInterval(kResumeCheckMs);
    exchange->onPause = [&idle, &resume] {
        idle.stop();
        resume.start();
    };
    QObject::connect(&resume, &QTimer::timeout, &idle, [exchange, reply, &idle, &resume] {
        if (exchange->done) {
            resume.stop();
            return;
        }
        if (exchange->readerBehind())
            return;
        resume.stop();
        exchange->paused = false;
        // A body still decoding after the transfer ended has no idle time-out left to count.
        if (!exchange->replyEnded)
            idle.start();
        if (exchange->decoder)
            exchange->drain();
        else if (reply && !exchange->replyEnded && !exchange->take(reply))
            postAbort(reply);
    });

    // The timer is the context of every connection, so they all end with this frame.
    const auto progress = [exchange, &idle] {
        if (!exchange->paused)
            idle.start();
    };
    const auto ended = [exchange, reply] {
        if (exchange->done)
            return;
        exchange->timedOut = true;
        if (exchange->replyEnded) {
            exchange->decodingTimedOut = true;
            exchange->complete();
        } else {
            postAbort(reply);
        }
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
    // The deadline outlives the transfer: it covers the decoding of what arrived, and a reader holding it back.
    QObject::connect(reply, &QNetworkReply::finished, &idle, [exchange, reply, &idle] {
        idle.stop();
        exchange->finish(reply);
    });
    QObject::connect(reply, &QObject::destroyed, &idle, [exchange] { exchange->finish(nullptr); });
    QObject::connect(&idle, &QTimer::timeout, &idle, ended);
    QObject::connect(&deadline, &QTimer::timeout, &idle, ended);
    const CancelRegistration onCancel = token.onCancel([reply] { postAbort(reply); });
    idle.start();
    deadline.start();

    auto finished = exchange->waiter();
    co_await finished;
    exchange->onPause = {};
    resume.stop();

    if (reply)
        reply->deleteLater();
    throwIfCancelled(token);
    if (exchange->replyLost)
        throw HttpError(HttpError::Kind::CancelledBySystem, QNetworkReply::OperationCanceledError);
    if (exchange->decodingTimedOut)
        throw HttpError(HttpError::Kind::TimedOut, QNetworkReply::OperationCanceledError);
    const auto error = exchange->error;
    if (exchange->tooLarge)
        throw HttpError(HttpError::Kind::TooLarge, error);
    const int status = exchange->response.status;
    if (exchange->undecodable) {
        // An error status's body is only a courtesy; a success's must never pass for the answer half read.
        if (status < 300)
            throw HttpError(HttpError::Kind::Transport, QNetworkReply::ProtocolFailure);
        co_return std::move(exchange->response);
    }
    if (error == QNetworkReply::OperationCanceledError)
        throw HttpError(exchange->timedOut ? HttpError::Kind::TimedOut : HttpError::Kind::CancelledBySystem, error);
    // Qt names error statuses (and redirects it cannot follow) as errors too, and those are answers; an error
    // beside a success status is a body that could not be read or decoded, which must never pass for the answer.
    if (isTransportError(error) || (error != QNetworkReply::NoError && status < 300))
        throw HttpError(HttpError::Kind::Transport, error);
    co_return std::move(exchange->response);
}

} // namespace netkit
