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
#include <QtMath>
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

// The raster formats artwork may be, told by their first bytes whatever the address or the declared type say:
// a vector picture (SVG) can name other files, local ones included, and the decoder would read them.
constexpr qsizetype kSniffBytes = 12;

QByteArray rasterFormat(QByteArrayView head)
{
    static const QList<QByteArray> readable = QImageReader::supportedImageFormats();
    QByteArray format;
    if (head.startsWith("\x89PNG\r\n\x1a\n"))
        format = "png";
    else if (head.startsWith("\xff\xd8\xff"))
        format = "jpeg";
    else if (head.startsWith("GIF87a") || head.startsWith("GIF89a"))
        format = "gif";
    else if (head.startsWith("BM"))
        format = "bmp";
    else if (head.size() >= 12 && head.startsWith("RIFF") && head.sliced(8, 4) == "WEBP")
        format = "webp";
    return readable.contains(format) ? format : QByteArray();
}

// At most this many transfers at once, each holding at most maximumBytes, and at most this many decodes, each of
// at most kPixelBudget pixels before scaling: a screenful of hostile posters stays within a bounded amount of memory.
constexpr int kTransfersAtOnce = 4;
constexpr qint64 kPixelBudget = 4096LL * 4096;

QThreadPool& decodingThreads()
{
    static QThreadPool pool;
    static const bool sized = [] {
        pool.setMaxThreadCount(2);
        return true;
    }();
    Q_UNUSED(sized);
    return pool;
}

// The size to decode at: the smallest that still fills every waiter's tile, never larger than the image itself.
QSize decodeSize(const QSize& declared, const QList<Waiter>& waiters)
{
    double factor = 0;
    for (const Waiter& waiter : waiters) {
        const QSize size = waiter.size;
        if (size.width() <= 0 && size.height() <= 0)
            return declared;
        // Either orientation, so an image turned by its EXIF data still fills the tile.
        for (const QSize& image : {declared, declared.transposed()}) {
            const double wide = size.width() > 0 ? double(size.width()) / image.width() : 0;
            const double high = size.height() > 0 ? double(size.height()) / image.height() : 0;
            factor = qMax(factor, qMax(wide, high));
        }
    }
    if (factor <= 0 || factor >= 1)
        return declared;
    return QSize(qMax(1, qCeil(declared.width() * factor)), qMax(1, qCeil(declared.height() * factor)));
}

// Decodes `bytes` (a picture in `format`) for every waiter. Runs on a decoding thread.
void decode(const QByteArray& bytes, const QByteArray& format, const QList<Waiter>& waiters)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setAutoDetectImageFormat(false);
    reader.setAutoTransform(true);
    const QSize declared = reader.size();
    QImage image;
    // A few kilobytes may declare a picture of gigabytes: refuse what no tile needs.
    if (declared.isValid() && qint64(declared.width()) * declared.height() <= kPixelBudget) {
        const QSize scaled = decodeSize(declared, waiters);
        if (scaled != declared)
            reader.setScaledSize(scaled);
        image = reader.read();
    }
    for (const Waiter& waiter : waiters)
        deliver(waiter.delivery, ArtworkProvider::fill(image, waiter.size, waiter.radius));
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
        m_transfers.insert(address, Transfer{nullptr, {waiter}, {}, {}});
        m_queued.append(address);
        startQueued();
    }

private:
    struct Transfer {
        QNetworkReply* reply = nullptr; // none while it waits for its turn
        QList<Waiter> waiters;
        QByteArray bytes;
        QByteArray format; // known once the first bytes are in
    };

    ArtworkFetcher(const QString& cacheFolder, std::chrono::milliseconds idleTimeout)
        : m_idleTimeout(idleTimeout)
    {
        auto* cache = new QNetworkDiskCache(&m_network);
        cache->setCacheDirectory(cacheFolder);
        cache->setMaximumCacheSize(256LL * 1024 * 1024);
        m_network.setCache(cache);
    }

    void startQueued()
    {
        while (m_running < kTransfersAtOnce && !m_queued.isEmpty()) {
            const QUrl address = m_queued.takeFirst();
            const auto found = m_transfers.find(address);
            if (found != m_transfers.end() && !found->reply)
                start(address, *found);
        }
    }

    void start(const QUrl& address, Transfer& transfer)
    {
        QNetworkRequest request(address);
        // An artwork address keeps its image: a cached copy is used without asking the server again, also when the
        // server sent no caching headers (Qt would then count it stale and fetch it anew).
        const bool cached = m_network.cache()->metaData(address).isValid();
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                             cached ? QNetworkRequest::AlwaysCache : QNetworkRequest::PreferCache);
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
        request.setMaximumRedirectsAllowed(5);
        // Pictures are compressed already; asking for them as they are keeps Qt from inflating a body past the
        // limit before we count it.
        request.setRawHeader("Accept-Encoding", "identity");
        QNetworkReply* reply = m_network.get(request);
        // Qt stops reading the socket while this much waits for us: what is held is what we counted.
        reply->setReadBufferSize(256 * 1024);
        transfer.reply = reply;
        ++m_running;
        auto* idle = new QTimer(reply);
        idle->setSingleShot(true);
        idle->setInterval(m_idleTimeout);

        QObject::connect(idle, &QTimer::timeout, reply, &QNetworkReply::abort);
        QObject::connect(reply, &QNetworkReply::redirected, reply, [reply, from = address](const QUrl& to) {
            // Only on to another web address, and never from an encrypted one to a plain one.
            if (isWebAddress(to) && !(from.scheme() == u"https" && to.scheme() != u"https"))
                emit reply->redirectAllowed();
            else
                reply->abort();
        });
        QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [reply] {
            const QVariant declared = reply->header(QNetworkRequest::ContentLengthHeader);
            if (declared.isValid() && declared.toLongLong() > ArtworkProvider::maximumBytes)
                reply->abort();
        });
        QObject::connect(reply, &QNetworkReply::readyRead, this, [this, reply, idle, address] {
            idle->start();
            if (!take(address, reply))
                reply->abort(); // finishes the transfer at once
        });
        QObject::connect(reply, &QNetworkReply::finished, this, [this, address] { finish(address); });
        idle->start();
    }

    // Moves what arrived into the transfer's own buffer; false once it is too large or plainly no picture.
    bool take(const QUrl& address, QNetworkReply* reply)
    {
        const auto found = m_transfers.find(address);
        if (found == m_transfers.end() || found->reply != reply)
            return true;
        const qint64 available = reply->bytesAvailable();
        if (available <= 0)
            return true;
        if (found->bytes.size() + available > ArtworkProvider::maximumBytes)
            return false;
        found->bytes.append(reply->read(available));
        if (found->format.isEmpty() && found->bytes.size() >= kSniffBytes) {
            found->format = rasterFormat(found->bytes);
            if (found->format.isEmpty())
                return false;
        }
        return true;
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
        if (!reply)
            return; // it never started; its place in the queue is skipped
        --m_running;
        QObject::disconnect(reply, nullptr, this, nullptr);
        reply->abort();
        reply->deleteLater();
        startQueued();
    }

    void finish(const QUrl& address)
    {
        const auto found = m_transfers.find(address);
        if (found == m_transfers.end())
            return;
        QNetworkReply* reply = found->reply;
        const bool whole = reply->error() == QNetworkReply::NoError && take(address, reply);
        Transfer transfer = std::move(*found);
        m_transfers.erase(found);
        --m_running;
        reply->deleteLater();
        startQueued();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (!whole || status < 200 || status > 299 || transfer.format.isEmpty()) {
            // Not a picture (an error page sent as a success): never keep it as this address's image.
            if (whole && status >= 200 && status <= 299)
                m_network.cache()->remove(address);
            for (const Waiter& waiter : std::as_const(transfer.waiters))
                deliver(waiter.delivery, {});
            return;
        }
        decodingThreads().start(
            [bytes = std::move(transfer.bytes), format = transfer.format, waiters = transfer.waiters] {
                decode(bytes, format, waiters);
            });
    }

    static thread_local ArtworkFetcher* current;

    std::chrono::milliseconds m_idleTimeout;
    QNetworkAccessManager m_network;
    QHash<QUrl, Transfer> m_transfers;
    QList<QUrl> m_queued;
    int m_running = 0;
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
