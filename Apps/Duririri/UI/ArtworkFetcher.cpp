#include "UI/ArtworkFetcher.h"

#include "UI/DecodeQueue.h"
#include "UI/PictureHeader.h"

#include <QImageReader>
#include <QNetworkDiskCache>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QThread>

namespace sendra::ui {

namespace {

// The raster format of a picture's first bytes, when this Qt has a decoder for it.
QByteArray rasterFormat(QByteArrayView head)
{
    static const QList<QByteArray> readable = QImageReader::supportedImageFormats();
    const QByteArray format = pictureFormat(head);
    return readable.contains(format) ? format : QByteArray();
}

} // namespace

bool isWebAddress(const QUrl& address)
{
    const QString scheme = address.scheme().toLower();
    return (scheme == u"http" || scheme == u"https") && !address.host().isEmpty();
}

thread_local ArtworkFetcher* ArtworkFetcher::current = nullptr;

ArtworkFetcher* ArtworkFetcher::forCurrentThread(const QString& cacheFolder, std::chrono::milliseconds idleTimeout,
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

ArtworkFetcher::ArtworkFetcher(const QString& cacheFolder, std::chrono::milliseconds idleTimeout,
                               std::chrono::milliseconds deadline)
    : m_idleTimeout(idleTimeout), m_deadline(deadline)
{
    auto* cache = new QNetworkDiskCache(&m_network);
    cache->setCacheDirectory(cacheFolder);
    cache->setMaximumCacheSize(256LL * 1024 * 1024);
    m_network.setCache(cache);
    m_lookAgain.setSingleShot(true);
    m_lookAgain.setInterval(0);
    QObject::connect(&m_lookAgain, &QTimer::timeout, this, [this] {
        resumePaused();
        startQueued();
    });
    // From the decoding threads, and from other engines' threads dropping pictures.
    QObject::connect(&DecodeQueue::instance(), &DecodeQueue::roomFreed, this, &ArtworkFetcher::lookAgain,
                     Qt::QueuedConnection);
}

ArtworkFetcher::~ArtworkFetcher()
{
    for (const Transfer& transfer : std::as_const(m_transfers))
        if (transfer.reply)
            QObject::disconnect(transfer.reply, nullptr, this, nullptr);
}

void ArtworkFetcher::fetch(const QUrl& address, ArtworkResponse* response, const QSize& size, int radius)
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

void ArtworkFetcher::startQueued()
{
    int running = 0;
    int holdingPlace = 0;
    for (const Transfer& transfer : std::as_const(m_transfers)) {
        if (!transfer.reply)
            continue;
        ++running;
        if (!transfer.paused && !transfer.slotOver)
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
}

void ArtworkFetcher::start(const QUrl& address, Transfer& transfer)
{
    QNetworkRequest request(address);
    // An artwork address keeps its image: a cached copy is used without asking the server again, also when the
    // server sent no caching headers (Qt would then count it stale and fetch it anew).
    transfer.fromCache = m_network.cache()->metaData(address).isValid();
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         transfer.fromCache ? QNetworkRequest::AlwaysCache : QNetworkRequest::PreferCache);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(5);
    // Pictures are compressed already; asking for them as they are keeps Qt from inflating a body past the limit
    // before we count it.
    request.setRawHeader("Accept-Encoding", "identity");
    QNetworkReply* reply = m_network.get(request);
    // Qt stops reading the socket while this much waits for us: what is held is what we counted.
    reply->setReadBufferSize(256 * 1024);
    transfer.reply = reply;
    auto* idle = new QTimer(reply);
    idle->setSingleShot(true);
    idle->setInterval(m_idleTimeout);
    transfer.idle = idle;
    // A server that sends a byte now and then is never idle: the whole transfer has a deadline too.
    auto* deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    deadline->setInterval(m_deadline);
    transfer.deadline = deadline;
    // A slow server keeps one of the places for kSlotTime at most. Marked rather than measured, so that a timer
    // firing a little early never leaves the queue waiting for an event that does not come.
    auto* slot = new QTimer(reply);
    slot->setSingleShot(true);
    slot->setInterval(kSlotTime);

    QObject::connect(idle, &QTimer::timeout, reply, &QNetworkReply::abort);
    QObject::connect(deadline, &QTimer::timeout, reply, &QNetworkReply::abort);
    QObject::connect(slot, &QTimer::timeout, this, [this, reply, address] {
        const auto found = m_transfers.find(address);
        if (found == m_transfers.end() || found->reply != reply)
            return;
        found->slotOver = true;
        startQueued();
    });
    QObject::connect(reply, &QNetworkReply::redirected, reply, [reply, from = address](const QUrl& to) {
        // Only on to another web address, and never from an encrypted one to a plain one.
        if (isWebAddress(to) && !(from.scheme() == u"https" && to.scheme() != u"https"))
            emit reply->redirectAllowed();
        else
            reply->abort();
    });
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [reply] {
        const QVariant declared = reply->header(QNetworkRequest::ContentLengthHeader);
        if (declared.isValid() && declared.toLongLong() > kMostBytes)
            reply->abort();
    });
    QObject::connect(reply, &QNetworkReply::readyRead, this, [this, reply, address] {
        if (!take(address, reply))
            reply->abort(); // finishes the transfer at once
    });
    QObject::connect(reply, &QNetworkReply::finished, this, [this, address] { finish(address); });
    idle->start();
    deadline->start();
    slot->start();
}

qint64 ArtworkFetcher::heldBytes() const
{
    return m_transferBytes + DecodeQueue::instance().heldBytes();
}

// When nothing waits for decoding, the transfer holding the most always may take more, so that a full budget
// never stops every transfer for good.
bool ArtworkFetcher::hasRoom(const Transfer& transfer, qint64 more) const
{
    if (transfer.bytes.size() + more <= kSmallPicture || heldBytes() + more <= kHeldBytes)
        return true;
    if (DecodeQueue::instance().isBusy())
        return false;
    for (const Transfer& other : m_transfers)
        if (other.reply && other.bytes.size() > transfer.bytes.size())
            return false;
    return true;
}

// Moves what arrived into the transfer's own buffer, or leaves it with Qt while there is no room (unless `whole`:
// the transfer ended, and what Qt holds is all there is); false once it is too large or plainly no picture.
bool ArtworkFetcher::take(const QUrl& address, QNetworkReply* reply, bool whole)
{
    const auto found = m_transfers.find(address);
    if (found == m_transfers.end() || found->reply != reply)
        return true;
    const qint64 available = reply->bytesAvailable();
    if (available <= 0)
        return true;
    if (found->bytes.size() + available > kMostBytes)
        return false;
    if (found->bytes.isEmpty()) {
        // One buffer of the declared size rather than one grown by doubling: held is what is counted. A length
        // declared past the limit ended the transfer before this.
        const QVariant declared = reply->header(QNetworkRequest::ContentLengthHeader);
        if (declared.isValid())
            found->bytes.reserve(qBound<qint64>(available, declared.toLongLong(), kMostBytes));
    }
    if (!whole && !hasRoom(*found, available)) {
        // The server waits meanwhile (Qt stops reading the socket): neither idle nor late on its side. The place
        // it held goes to the next in the queue.
        if (!found->paused) {
            found->paused = true;
            found->idle->stop();
            found->deadlineLeft = qMax(1, found->deadline->remainingTime());
            found->deadline->stop();
            lookAgain();
        }
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

void ArtworkFetcher::resumePaused()
{
    QList<std::pair<QUrl, QNetworkReply*>> paused;
    for (auto transfer = m_transfers.cbegin(); transfer != m_transfers.cend(); ++transfer)
        if (transfer->reply && transfer->paused)
            paused.append({transfer.key(), transfer->reply});
    for (const auto& [address, reply] : std::as_const(paused))
        if (!take(address, reply))
            reply->abort();
}

// Nobody waits for the address any more (views scrolled away): stop its transfer, or drop its picture from the
// decoding queue.
void ArtworkFetcher::dropIfUnwanted(const QUrl& address)
{
    const auto found = m_transfers.find(address);
    if (found == m_transfers.end()) {
        DecodeQueue::instance().dropUnwanted();
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
    // A reply read from the disk cache starts on the next turn of the event loop, and aborting it before then makes
    // Qt report an internal error and finish it twice: deleting it is enough.
    if (!fromCache)
        reply->abort();
    reply->deleteLater();
    startQueued();
    lookAgain(); // its bytes are free for the paused ones
}

void ArtworkFetcher::finish(const QUrl& address)
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
    lookAgain(); // its bytes are free for the paused ones
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (!whole || status < 200 || status > 299 || transfer.format.isEmpty()) {
        // Not a picture (an error page sent as a success): never keep it as this address's image.
        if (whole && status >= 200 && status <= 299)
            m_network.cache()->remove(address);
        for (const Waiter& waiter : std::as_const(transfer.waiters))
            deliver(waiter.delivery, {});
        return;
    }
    const PictureHeader header = readPictureHeader(transfer.bytes, transfer.format);
    if (header.pixels > kPixelBudget || header.scans > kMostScans || !isWanted(transfer.waiters)) {
        for (const Waiter& waiter : std::as_const(transfer.waiters))
            deliver(waiter.delivery, {});
        return;
    }
    const bool large = header.pixels > kLargePixels || transfer.bytes.size() > 2 * kSmallPicture;
    DecodeQueue::instance().submit(
        DecodeJob{std::move(transfer.bytes), std::move(transfer.format), std::move(transfer.waiters), large});
}

} // namespace sendra::ui
