#include "UI/ArtworkProvider.h"

#include "Domain/ProductBrand.h"

#include <QBuffer>
#include <QElapsedTimer>
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

#include <atomic>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

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
    ArtworkResponse() : m_delivery(std::make_shared<Delivery>()) { m_delivery->response = this; }

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
        QMetaObject::invokeMethod(
            this, [delivery = m_delivery] { deliver(delivery, {}); }, Qt::QueuedConnection);
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

bool isWanted(const QList<Waiter>& waiters)
{
    for (const Waiter& waiter : waiters) {
        QMutexLocker lock(&waiter.delivery->mutex);
        if (waiter.delivery->response && !waiter.delivery->done)
            return true;
    }
    return false;
}

// A screenful of hostile posters stays within a bounded amount of memory and time:
// - at most kTransfersAtOnce transfers start at a time; one that has run for kSlotTime (a slow server) or waits for
//   room (below) gives its place to the next, up to kMostTransfers at once (Qt opens at most six connections to a
//   host: more would wait in its queue, unseen), and each ends after its deadline whatever it receives;
// - the bytes held by transfers and by pictures waiting for or in decoding count against kHeldBytes: past it a
//   transfer stops reading (the server waits) until decoding frees room, except for its first kSmallPicture bytes;
// - a picture is decoded at most kPixelBudget pixels large before scaling, a JPEG with more than kMostScans scans
//   is refused, and PNG text chunks are never inflated;
// - two decodes run at once, at most one of them a large picture, so small posters never wait behind large ones.
constexpr int kTransfersAtOnce = 4;
constexpr int kMostTransfers = 6;
constexpr std::chrono::milliseconds kSlotTime{1000};
constexpr qint64 kHeldBytes = 32LL * 1024 * 1024;
constexpr qint64 kSmallPicture = 1024 * 1024;
constexpr qint64 kPixelBudget = 4096LL * 4096;
constexpr qint64 kLargePixels = 2048LL * 2048;
constexpr int kMostScans = 32;

quint32 bigEndian32(const char* at)
{
    return (quint32(quint8(at[0])) << 24) | (quint32(quint8(at[1])) << 16) | (quint32(quint8(at[2])) << 8) |
           quint32(quint8(at[3]));
}

// Removes the text chunks (tEXt, zTXt, iTXt) of a PNG in place: the decoder would inflate compressed text, a
// thousand times its size per chunk and chunk after chunk, only to keep it beside the image.
void stripPngText(QByteArray& png)
{
    constexpr qsizetype kSignature = 8;
    if (png.size() <= kSignature)
        return;
    char* data = png.data();
    qsizetype read = kSignature;
    qsizetype write = kSignature;
    while (png.size() - read >= 12) {
        const qint64 length = bigEndian32(data + read);
        if (length > png.size() - read - 12)
            break; // cut short: left for the decoder to refuse
        const QByteArrayView type(data + read + 4, 4);
        const qsizetype chunk = 12 + qsizetype(length);
        if (type != "tEXt" && type != "zTXt" && type != "iTXt") {
            if (write != read)
                memmove(data + write, data + read, size_t(chunk));
            write += chunk;
        }
        read += chunk;
        if (type == "IEND")
            break;
    }
    if (write == read)
        return;
    memmove(data + write, data + read, size_t(png.size() - read));
    png.truncate(write + (png.size() - read));
}

struct Shape {
    qint64 pixels = -1; // -1: not told by the header
    int scans = 0;      // JPEG only
};

// What a picture's header declares, read without a decoder. A JPEG's scans are counted to the end: a progressive
// JPEG may repeat a scan of a few bytes thousands of times, and the decoder would run each over the whole picture.
Shape shapeOf(const QByteArray& bytes, const QByteArray& format)
{
    Shape shape;
    const auto byte = [&bytes](qsizetype at) { return quint8(bytes[at]); };
    if (format == "png" && bytes.size() >= 24) {
        shape.pixels = qint64(bigEndian32(bytes.constData() + 16)) * bigEndian32(bytes.constData() + 20);
    } else if (format == "gif" && bytes.size() >= 10) {
        shape.pixels = qint64(byte(6) | byte(7) << 8) * (byte(8) | byte(9) << 8);
    } else if (format == "jpeg") {
        qsizetype at = 2;
        while (at + 1 < bytes.size()) {
            if (byte(at) != 0xff) {
                // Entropy-coded data: the next marker is the next 0xff not followed by a stuffed 0 or a restart.
                const void* next = memchr(bytes.constData() + at, 0xff, size_t(bytes.size() - at));
                if (!next)
                    break;
                at = static_cast<const char*>(next) - bytes.constData();
                continue;
            }
            const quint8 marker = byte(at + 1);
            if (marker == 0xff) {
                ++at;
                continue;
            }
            if (marker == 0x00 || marker == 0x01 || marker == 0xd8 || (marker >= 0xd0 && marker <= 0xd7)) {
                at += 2;
                continue;
            }
            if (marker == 0xd9 || at + 3 >= bytes.size())
                break;
            const bool frame = marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc;
            if (frame && at + 8 < bytes.size())
                shape.pixels = qint64(byte(at + 5) << 8 | byte(at + 6)) * (byte(at + 7) << 8 | byte(at + 8));
            if (marker == 0xda && ++shape.scans > kMostScans)
                break;
            at += 2 + (byte(at + 2) << 8 | byte(at + 3));
        }
    }
    return shape;
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

// Gives freed memory back to the system. After a few large pictures glibc keeps buffers of their size for reuse
// (its threshold for mapping them on their own grows with them): without this the process kept four times the
// bytes it counted after sixty large pictures.
void releaseFreedMemory()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

struct DecodeJob {
    QByteArray bytes;
    QByteArray format;
    QList<Waiter> waiters;
    bool large = false;
    qint64 counted = 0; // its size when it was queued (stripping a PNG makes it smaller)
};

// Decodes a picture for every waiter. Runs on a decoding thread.
void decode(DecodeJob& job)
{
    if (job.format == "png")
        stripPngText(job.bytes);
    QBuffer buffer(&job.bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, job.format);
    reader.setAutoDetectImageFormat(false);
    reader.setAutoTransform(true);
    const QSize declared = reader.size();
    QImage image;
    // A few kilobytes may declare a picture of gigabytes: refuse what no tile needs.
    if (declared.isValid() && qint64(declared.width()) * declared.height() <= kPixelBudget) {
        const QSize scaled = decodeSize(declared, job.waiters);
        if (scaled != declared)
            reader.setScaledSize(scaled);
        image = reader.read();
    }
    for (const Waiter& waiter : std::as_const(job.waiters))
        deliver(waiter.delivery, ArtworkProvider::fill(image, waiter.size, waiter.radius));
}

// Pictures waiting for a decoding thread, shared by every engine. The smallest waiting picture goes first, and a
// large one only while the other thread is free for small ones; pictures nobody waits for any more are dropped
// unread.
class Decoder
{
public:
    static Decoder& instance()
    {
        static Decoder decoder;
        return decoder;
    }

    void submit(DecodeJob job)
    {
        QMutexLocker lock(&m_mutex);
        job.counted = job.bytes.size();
        m_bytes += job.counted;
        ++m_jobs;
        m_waiting.push_back(std::move(job));
        pump();
    }

    // Bytes of pictures waiting or being decoded, and whether there are any.
    qint64 heldBytes() const { return m_bytes.load(); }
    bool isBusy() const { return m_jobs.load() > 0; }

    void dropUnwanted()
    {
        QMutexLocker lock(&m_mutex);
        dropUnwantedLocked();
    }

private:
    Decoder() { m_threads.setMaxThreadCount(kThreads); }
    ~Decoder()
    {
        {
            QMutexLocker lock(&m_mutex);
            m_waiting.clear();
        }
        m_threads.waitForDone();
    }

    void dropUnwantedLocked()
    {
        std::erase_if(m_waiting, [this](const DecodeJob& job) {
            if (isWanted(job.waiters))
                return false;
            m_bytes -= job.counted;
            --m_jobs;
            return true;
        });
    }

    // Under the lock.
    void pump()
    {
        while (m_running < kThreads) {
            dropUnwantedLocked();
            auto next = m_waiting.end();
            for (auto job = m_waiting.begin(); job != m_waiting.end(); ++job)
                if ((!job->large || !m_largeRunning) &&
                    (next == m_waiting.end() || job->bytes.size() < next->bytes.size()))
                    next = job;
            if (next == m_waiting.end())
                return;
            auto job = std::make_shared<DecodeJob>(std::move(*next));
            m_waiting.erase(next);
            ++m_running;
            m_largeRunning = m_largeRunning || job->large;
            m_threads.start([this, job] {
                decode(*job);
                QMutexLocker lock(&m_mutex);
                --m_running;
                if (job->large)
                    m_largeRunning = false;
                m_bytes -= job->counted;
                --m_jobs;
                job->bytes.clear();
                if (job->large)
                    releaseFreedMemory();
                pump();
            });
        }
    }

    static constexpr int kThreads = 2;
    QMutex m_mutex;
    std::vector<DecodeJob> m_waiting;
    std::atomic<qint64> m_bytes{0};
    std::atomic<int> m_jobs{0};
    int m_running = 0;
    bool m_largeRunning = false;
    QThreadPool m_threads;
};

// The network side of the provider. It lives in the engine's image reader thread, which calls
// requestImageResponse(): the network manager must belong to the thread whose event loop runs its replies.
class ArtworkFetcher final : public QObject
{
public:
    static ArtworkFetcher* forCurrentThread(const QString& cacheFolder, std::chrono::milliseconds idleTimeout,
                                            std::chrono::milliseconds deadline)
    {
        if (!current) {
            current = new ArtworkFetcher(cacheFolder, idleTimeout, deadline);
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
        Transfer transfer;
        transfer.waiters = {waiter};
        m_transfers.insert(address, std::move(transfer));
        m_queued.append(address);
        startQueued();
    }

private:
    struct Transfer {
        QNetworkReply* reply = nullptr; // none while it waits for its turn
        QList<Waiter> waiters;
        QByteArray bytes;
        QByteArray format; // known once the first bytes are in
        QTimer* idle = nullptr;
        QTimer* deadline = nullptr;
        int deadlineLeft = 0; // while paused
        QElapsedTimer started;
        bool fromCache = false;
        bool paused = false; // stopped reading until there is room
    };

    ArtworkFetcher(const QString& cacheFolder, std::chrono::milliseconds idleTimeout,
                   std::chrono::milliseconds deadline)
        : m_idleTimeout(idleTimeout), m_deadline(deadline)
    {
        auto* cache = new QNetworkDiskCache(&m_network);
        cache->setCacheDirectory(cacheFolder);
        cache->setMaximumCacheSize(256LL * 1024 * 1024);
        m_network.setCache(cache);
        // While transfers wait for a place or for room, look again now and then: places free up with time too.
        m_tick.setInterval(50);
        QObject::connect(&m_tick, &QTimer::timeout, this, [this] {
            resumePaused();
            startQueued();
            if (m_queued.isEmpty() && !hasPaused())
                m_tick.stop();
        });
    }

public:
    // The replies go with the network manager, after the transfers they would report to.
    ~ArtworkFetcher() override
    {
        for (const Transfer& transfer : std::as_const(m_transfers))
            if (transfer.reply)
                QObject::disconnect(transfer.reply, nullptr, this, nullptr);
    }

private:
    bool hasPaused() const
    {
        for (const Transfer& transfer : m_transfers)
            if (transfer.reply && transfer.paused)
                return true;
        return false;
    }

    void startQueued()
    {
        int running = 0;
        int holdingPlace = 0;
        for (const Transfer& transfer : std::as_const(m_transfers)) {
            if (!transfer.reply)
                continue;
            ++running;
            if (!transfer.paused && transfer.started.elapsed() < kSlotTime.count())
                ++holdingPlace;
        }
        // The latest asked first: it is what the screen shows now.
        while (running < kMostTransfers && holdingPlace < kTransfersAtOnce && !m_queued.isEmpty()) {
            const QUrl address = m_queued.takeLast();
            const auto found = m_transfers.find(address);
            if (found != m_transfers.end() && !found->reply) {
                start(address, *found);
                ++running;
                ++holdingPlace;
            }
        }
        if (!m_queued.isEmpty())
            m_tick.start();
    }

    void start(const QUrl& address, Transfer& transfer)
    {
        QNetworkRequest request(address);
        // An artwork address keeps its image: a cached copy is used without asking the server again, also when the
        // server sent no caching headers (Qt would then count it stale and fetch it anew).
        transfer.fromCache = m_network.cache()->metaData(address).isValid();
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                             transfer.fromCache ? QNetworkRequest::AlwaysCache : QNetworkRequest::PreferCache);
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
        request.setMaximumRedirectsAllowed(5);
        // Pictures are compressed already; asking for them as they are keeps Qt from inflating a body past the
        // limit before we count it.
        request.setRawHeader("Accept-Encoding", "identity");
        QNetworkReply* reply = m_network.get(request);
        // Qt stops reading the socket while this much waits for us: what is held is what we counted.
        reply->setReadBufferSize(256 * 1024);
        transfer.reply = reply;
        transfer.started.start();
        auto* idle = new QTimer(reply);
        idle->setSingleShot(true);
        idle->setInterval(m_idleTimeout);
        transfer.idle = idle;
        // A server that sends a byte now and then is never idle: the whole transfer has a deadline too.
        auto* deadline = new QTimer(reply);
        deadline->setSingleShot(true);
        deadline->setInterval(m_deadline);
        transfer.deadline = deadline;

        QObject::connect(idle, &QTimer::timeout, reply, &QNetworkReply::abort);
        QObject::connect(deadline, &QTimer::timeout, reply, &QNetworkReply::abort);
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
        QObject::connect(reply, &QNetworkReply::readyRead, this, [this, reply, address] {
            if (!take(address, reply))
                reply->abort(); // finishes the transfer at once
        });
        QObject::connect(reply, &QNetworkReply::finished, this, [this, address] { finish(address); });
        idle->start();
        deadline->start();
    }

    // Bytes held by transfers and by pictures waiting for or in decoding.
    qint64 heldBytes() const { return m_transferBytes + Decoder::instance().heldBytes(); }

    // Whether `transfer` may take `more` bytes now. When nothing waits for decoding, the transfer holding the most
    // always may, so that a full budget never stops every transfer for good.
    bool hasRoom(const Transfer& transfer, qint64 more) const
    {
        if (transfer.bytes.size() + more <= kSmallPicture || heldBytes() + more <= kHeldBytes)
            return true;
        if (Decoder::instance().isBusy())
            return false;
        for (const Transfer& other : m_transfers)
            if (other.reply && other.bytes.size() > transfer.bytes.size())
                return false;
        return true;
    }

    // Moves what arrived into the transfer's own buffer, or leaves it with Qt while there is no room (unless
    // `whole`: the transfer ended, and what Qt holds is all there is); false once it is too large or plainly no
    // picture.
    bool take(const QUrl& address, QNetworkReply* reply, bool whole = false)
    {
        const auto found = m_transfers.find(address);
        if (found == m_transfers.end() || found->reply != reply)
            return true;
        const qint64 available = reply->bytesAvailable();
        if (available <= 0)
            return true;
        if (found->bytes.size() + available > ArtworkProvider::maximumBytes)
            return false;
        if (found->bytes.isEmpty()) {
            // One buffer of the declared size rather than one grown by doubling: held is what is counted. A length
            // declared past the limit ended the transfer before this.
            const QVariant declared = reply->header(QNetworkRequest::ContentLengthHeader);
            if (declared.isValid())
                found->bytes.reserve(qBound<qint64>(available, declared.toLongLong(), ArtworkProvider::maximumBytes));
        }
        if (!whole && !hasRoom(*found, available)) {
            // The server waits meanwhile (Qt stops reading the socket): neither idle nor late on its side.
            if (!found->paused) {
                found->paused = true;
                found->idle->stop();
                found->deadlineLeft = qMax(1, found->deadline->remainingTime());
                found->deadline->stop();
            }
            m_tick.start();
            return true;
        }
        if (found->paused) {
            found->paused = false;
            found->deadline->start(found->deadlineLeft);
        }
        found->idle->start();
        found->bytes.append(reply->read(available));
        m_transferBytes += available;
        if (found->format.isEmpty() && found->bytes.size() >= kSniffBytes) {
            found->format = rasterFormat(found->bytes);
            if (found->format.isEmpty())
                return false;
        }
        return true;
    }

    void resumePaused()
    {
        QList<std::pair<QUrl, QNetworkReply*>> paused;
        for (auto transfer = m_transfers.cbegin(); transfer != m_transfers.cend(); ++transfer)
            if (transfer->reply && transfer->paused)
                paused.append({transfer.key(), transfer->reply});
        for (const auto& [address, reply] : std::as_const(paused))
            if (!take(address, reply))
                reply->abort();
    }

    // Nobody waits for the address any more (views scrolled away): stop its transfer, or drop its picture from
    // the decoding queue.
    void dropIfUnwanted(const QUrl& address)
    {
        const auto found = m_transfers.find(address);
        if (found == m_transfers.end()) {
            Decoder::instance().dropUnwanted();
            return;
        }
        if (isWanted(found->waiters))
            return;
        QNetworkReply* reply = found->reply;
        const bool fromCache = found->fromCache;
        m_transferBytes -= found->bytes.size();
        m_transfers.erase(found);
        if (!reply)
            return; // it never started; its place in the queue is skipped
        QObject::disconnect(reply, nullptr, this, nullptr);
        // A reply read from the disk cache starts on the next turn of the event loop, and aborting it before then
        // makes Qt report an internal error and finish it twice: deleting it is enough.
        if (!fromCache)
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
        const bool whole = reply->error() == QNetworkReply::NoError && take(address, reply, true);
        Transfer transfer = std::move(*found);
        m_transfers.erase(found);
        m_transferBytes -= transfer.bytes.size();
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
        const Shape shape = shapeOf(transfer.bytes, transfer.format);
        if (shape.pixels > kPixelBudget || shape.scans > kMostScans || !isWanted(transfer.waiters)) {
            for (const Waiter& waiter : std::as_const(transfer.waiters))
                deliver(waiter.delivery, {});
            return;
        }
        const bool large = shape.pixels > kLargePixels || transfer.bytes.size() > 2 * kSmallPicture;
        Decoder::instance().submit(
            DecodeJob{std::move(transfer.bytes), std::move(transfer.format), std::move(transfer.waiters), large});
    }

    static thread_local ArtworkFetcher* current;

    std::chrono::milliseconds m_idleTimeout;
    std::chrono::milliseconds m_deadline;
    QNetworkAccessManager m_network;
    QHash<QUrl, Transfer> m_transfers;
    QList<QUrl> m_queued;
    qint64 m_transferBytes = 0;
    QTimer m_tick;
};

thread_local ArtworkFetcher* ArtworkFetcher::current = nullptr;

} // namespace

ArtworkProvider::ArtworkProvider(std::chrono::milliseconds idleTimeout, std::chrono::milliseconds deadline)
    : m_cacheFolder(cacheFolder()), m_idleTimeout(idleTimeout), m_deadline(deadline)
{}

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

    // Crop to the part that shows before scaling it: a sliver scaled up to cover the tile whole would take
    // thousands of times the tile's memory (4096x1 to 300 wide is 4096*450 pixels wide).
    const double factor = qMax(double(target.width()) / image.width(), double(target.height()) / image.height());
    const QSize shown(qBound(1, qRound(target.width() / factor), image.width()),
                      qBound(1, qRound(target.height() / factor), image.height()));
    const QImage part = shown == image.size()
                            ? image
                            : image.copy((image.width() - shown.width()) / 2, (image.height() - shown.height()) / 2,
                                         shown.width(), shown.height());
    QImage cropped =
        part.size() == target ? part : part.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
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
    ArtworkFetcher::forCurrentThread(m_cacheFolder, m_idleTimeout, m_deadline)
        ->fetch(request->address, response, requestedSize, request->radius);
    return response;
}

} // namespace sendra::ui
