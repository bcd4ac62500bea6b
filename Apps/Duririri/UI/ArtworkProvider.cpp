#include "UI/ArtworkProvider.h"

#include "Domain/ProductBrand.h"

#include <QBuffer>
#include <QHash>
#include <QImageReader>
#include <QNetworkAccessManager>
#include <QNetworkDiskCache>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QRecursiveMutex>
#include <QStandardPaths>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

#include <functional>
#include <memory>

namespace sendra::ui {

namespace {

class ArtworkResponse;

// One request's result slot, shared by the response and whoever delivers it: a delivery after the engine dropped
// the response, or a second delivery, does nothing. Recursive, because the engine may delete the response from
// inside the finished() emitted under the lock.
struct Delivery {
    QRecursiveMutex mutex;
    ArtworkResponse* response = nullptr;
    bool done = false;
};

void deliver(const std::shared_ptr<Delivery>& delivery, const QImage& image);

class ArtworkResponse final : public QQuickImageResponse
{
public:
    ArtworkResponse()
        : m_delivery(std::make_shared<Delivery>())
    {
        m_delivery->response = this;
    }

    ~ArtworkResponse() override
    {
        QMutexLocker lock(&m_delivery->mutex);
        m_delivery->response = nullptr;
    }

    QQuickTextureFactory* textureFactory() const override
    {
        return QQuickTextureFactory::textureFactoryForImage(m_image);
    }

    // The engine still expects finished() after a cancel; never emitted from inside its own call.
    void cancel() override
    {
        QMetaObject::invokeMethod(
            this,
            [this] {
                // The engine may delete this response inside deliver(): keep what runs after it.
                const std::function<void()> onCancel = m_onCancel;
                deliver(m_delivery, {});
                if (onCancel)
                    onCancel();
            },
            Qt::QueuedConnection);
    }

    // Fails on the next turn of the reader's event loop, once the engine listens for finished().
    void failLater()
    {
        QMetaObject::invokeMethod(this, [delivery = m_delivery] { deliver(delivery, {}); }, Qt::QueuedConnection);
    }

    std::shared_ptr<Delivery> delivery() const { return m_delivery; }
    void setOnCancel(std::function<void()> onCancel) { m_onCancel = std::move(onCancel); }

private:
    friend void deliver(const std::shared_ptr<Delivery>&, const QImage&);

    std::shared_ptr<Delivery> m_delivery;
    std::function<void()> m_onCancel;
    QImage m_image;
};

// A failure (null image) is delivered as the 1x1 transparent image, never as an error: the engine reports errors as
// QML warnings, and a missing poster is an ordinary state that shows the placeholder.
void deliver(const std::shared_ptr<Delivery>& delivery, const QImage& image)
{
    QMutexLocker lock(&delivery->mutex);
    if (!delivery->response || delivery->done)
        return;
    delivery->done = true;
    if (image.isNull()) {
        QImage nothing(1, 1, QImage::Format_ARGB32_Premultiplied);
        nothing.fill(Qt::transparent);
        delivery->response->m_image = nothing;
    } else {
        delivery->response->m_image = image;
    }
    emit delivery->response->finished();
}

struct Waiter {
    std::shared_ptr<Delivery> delivery;
    QSize size;
    int radius = 0;
};

bool isWebAddress(const QUrl& address)
{
    const QString scheme = address.scheme().toLower();
    return (scheme == u"http" || scheme == u"https") && !address.host().isEmpty();
}

// The network side of the provider. It lives in the engine's image reader thread, which calls
// requestImageResponse(): the network manager must belong to the thread whose event loop runs its replies.
class ArtworkFetcher final : public QObject
{
public:
    static ArtworkFetcher* forCurrentThread(const QString& cacheFolder, std::chrono::milliseconds idleTimeout)
    {
        if (!current) {
            current = new ArtworkFetcher(cacheFolder, idleTimeout);
            QObject::connect(
                QThread::currentThread(), &QThread::finished, current,
                [] {
                    delete current;
                    current = nullptr;
                },
                Qt::DirectConnection);
        }
        return current;
    }

    void fetch(const QUrl& address, ArtworkResponse* response, const QSize& size, int radius)
    {
        response->setOnCancel([self = QPointer<ArtworkFetcher>(this), address] {
            if (self)
                self->dropIfUnwanted(address);
        });
        const Waiter waiter{response->delivery(), size, radius};
        const auto found = m_transfers.find(address);
        if (found != m_transfers.end()) {
            found->waiters.append(waiter);
            return;
        }
        QNetworkRequest request(address);
        // An artwork address keeps its image: a cached copy is used without asking the server again, also when the
        // server sent no caching headers (Qt would then count it stale and fetch it anew).
        const bool cached = m_network.cache()->metaData(address).isValid();
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                             cached ? QNetworkRequest::AlwaysCache : QNetworkRequest::PreferCache);
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
        request.setMaximumRedirectsAllowed(5);
        QNetworkReply* reply = m_network.get(request);
        auto* idle = new QTimer(reply);
        idle->setSingleShot(true);
        idle->setInterval(m_idleTimeout);
        m_transfers.insert(address, Transfer{reply, {waiter}});

        QObject::connect(idle, &QTimer::timeout, reply, &QNetworkReply::abort);
        QObject::connect(reply, &QNetworkReply::redirected, reply, [reply, from = address](const QUrl& to) {
            // Only on to another web address, and never from an encrypted one to a plain one.
            if (isWebAddress(to) && !(from.scheme() == u"https" && to.scheme() != u"https"))
                emit reply->redirectAllowed();
            else
                reply->abort();
        });
        QObject::connect(reply, &QNetworkReply::downloadProgress, reply, [reply, idle](qint64 received, qint64 total) {
            if (received > ArtworkProvider::maximumBytes || total > ArtworkProvider::maximumBytes)
                reply->abort();
            else
                idle->start();
        });
        QObject::connect(reply, &QNetworkReply::finished, this, [this, address] { finish(address); });
        idle->start();
    }

private:
    struct Transfer {
        QNetworkReply* reply = nullptr;
        QList<Waiter> waiters;
    };

    ArtworkFetcher(const QString& cacheFolder, std::chrono::milliseconds idleTimeout)
        : m_idleTimeout(idleTimeout)
    {
        auto* cache = new QNetworkDiskCache(&m_network);
        cache->setCacheDirectory(cacheFolder);
        cache->setMaximumCacheSize(256LL * 1024 * 1024);
        m_network.setCache(cache);
    }

    // Nobody waits for the address any more (views scrolled away): stop its transfer.
    void dropIfUnwanted(const QUrl& address)
    {
        const auto found = m_transfers.find(address);
        if (found == m_transfers.end())
            return;
        for (const Waiter& waiter : std::as_const(found->waiters)) {
            QMutexLocker lock(&waiter.delivery->mutex);
            if (waiter.delivery->response && !waiter.delivery->done)
                return;
        }
        QNetworkReply* reply = found->reply;
        m_transfers.erase(found);
        QObject::disconnect(reply, nullptr, this, nullptr);
        reply->abort();
        reply->deleteLater();
    }

    void finish(const QUrl& address)
    {
        const auto found = m_transfers.find(address);
        if (found == m_transfers.end())
            return;
        const Transfer transfer = *found;
        m_transfers.erase(found);
        QNetworkReply* reply = transfer.reply;
        reply->deleteLater();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (reply->error() != QNetworkReply::NoError || status < 200 || status > 299) {
            for (const Waiter& waiter : transfer.waiters)
                deliver(waiter.delivery, {});
            return;
        }
        QByteArray bytes = reply->readAll();
        QBuffer sniffed(&bytes);
        sniffed.open(QIODevice::ReadOnly);
        if (QImageReader::imageFormat(&sniffed).isEmpty()) {
            // Not an image (an error page sent as a success): never keep it as this address's image.
            m_network.cache()->remove(address);
            for (const Waiter& waiter : transfer.waiters)
                deliver(waiter.delivery, {});
            return;
        }
        QThreadPool::globalInstance()->start([bytes = std::move(bytes), waiters = transfer.waiters] {
            QBuffer buffer;
            buffer.setData(bytes);
            QImageReader reader(&buffer);
            reader.setAutoTransform(true);
            const QImage image = reader.read();
            for (const Waiter& waiter : waiters)
                deliver(waiter.delivery, ArtworkProvider::fill(image, waiter.size, waiter.radius));
        });
    }

    static thread_local ArtworkFetcher* current;

    std::chrono::milliseconds m_idleTimeout;
    QNetworkAccessManager m_network;
    QHash<QUrl, Transfer> m_transfers;
};

thread_local ArtworkFetcher* ArtworkFetcher::current = nullptr;

} // namespace

ArtworkProvider::ArtworkProvider(std::chrono::milliseconds idleTimeout)
    : m_cacheFolder(cacheFolder())
    , m_idleTimeout(idleTimeout)
{
}

QString ArtworkProvider::cacheFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + u'/' +
           ProductBrand::storageNamespace(ProductBrand::current()) + QStringLiteral("/artwork");
}

std::optional<ArtworkProvider::Request> ArtworkProvider::parseId(const QString& id)
{
    // The encoded address holds no slash: one, if present, starts the radius.
    QString encoded = id;
    int radius = 0;
    const qsizetype slash = id.lastIndexOf(u'/');
    if (slash >= 0) {
        bool number = false;
        radius = id.mid(slash + 1).toInt(&number);
        if (!number || radius < 0)
            return std::nullopt;
        encoded = id.left(slash);
    }
    const QUrl address(QUrl::fromPercentEncoding(encoded.toUtf8()));
    if (!address.isValid() || !isWebAddress(address))
        return std::nullopt;
    return Request{address, qMin(radius, 2048)};
}

QImage ArtworkProvider::fill(const QImage& image, const QSize& size, int radius)
{
    if (image.isNull())
        return {};
    QSize target = size;
    if (target.width() <= 0 && target.height() <= 0)
        target = image.size();
    else if (target.width() <= 0)
        target.setWidth(qMax(1, qRound(double(image.width()) * target.height() / image.height())));
    else if (target.height() <= 0)
        target.setHeight(qMax(1, qRound(double(image.height()) * target.width() / image.width())));
    // A request size comes from QML: never let one allocate more than a large poster needs.
    target = target.boundedTo(QSize(4096, 4096));

    const QImage scaled = image.size() == target
                              ? image
                              : image.scaled(target, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    QImage cropped = scaled.copy((scaled.width() - target.width()) / 2, (scaled.height() - target.height()) / 2,
                                 target.width(), target.height());
    if (radius <= 0)
        return cropped;

    QImage rounded(target, QImage::Format_ARGB32_Premultiplied);
    rounded.fill(Qt::transparent);
    QPainter painter(&rounded);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QBrush(cropped));
    QPainterPath path;
    const qreal r = qMin<qreal>(radius, qMin(target.width(), target.height()) / 2.0);
    path.addRoundedRect(QRectF(QPointF(0, 0), QSizeF(target)), r, r);
    painter.drawPath(path);
    painter.end();
    return rounded;
}

QQuickImageResponse* ArtworkProvider::requestImageResponse(const QString& id, const QSize& requestedSize)
{
    auto* response = new ArtworkResponse;
    const std::optional<Request> request = parseId(id);
    if (!request) {
        response->failLater();
        return response;
    }
    ArtworkFetcher::forCurrentThread(m_cacheFolder, m_idleTimeout)
        ->fetch(request->address, response, requestedSize, request->radius);
    return response;
}

} // namespace sendra::ui
