#pragma once

#include "UI/ArtworkResponse.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QNetworkAccessManager>
#include <QObject>
#include <QSize>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <chrono>

class QNetworkReply;

namespace sendra::ui {

// Whether `address` is one artwork may be fetched from (and redirected to): http or https, with a host.
bool isWebAddress(const QUrl& address);

// A screenful of hostile posters stays within a bounded amount of memory and time:
// - an answer larger than kMostBytes is refused as it arrives (or before, when its length is declared);
// - at most kTransfersAtOnce transfers start at a time; one that has run for kSlotTime (a slow server) or waits for
//   room (below) gives its place to the next, up to kMostTransfers at once (Qt opens at most six connections to a
//   host: more would wait in its queue, unseen), and each ends after its deadline whatever it receives;
// - the bytes held by transfers and by pictures waiting for or in decoding count against kHeldBytes: past it a
//   transfer stops reading (the server waits) until decoding frees room, except for its first kSmallPicture bytes;
// - a picture is decoded at most kPixelBudget pixels large before scaling, a JPEG with more than kMostScans scans
//   is refused, and PNG text chunks are never inflated (DecodeQueue, PictureHeader).
// Nothing polls: a place is looked for again when a transfer ends, pauses or passes its slot time, and paused
// transfers go on when a transfer ends or the decode queue frees room.
constexpr int kTransfersAtOnce = 4;
constexpr int kMostTransfers = 6;
constexpr std::chrono::milliseconds kSlotTime{1000};
constexpr qint64 kHeldBytes = 32LL * 1024 * 1024;
constexpr qint64 kSmallPicture = 1024 * 1024;
constexpr qint64 kMostBytes = 24LL * 1024 * 1024;

// The network side of the provider: one transfer per address, shared by every request for it, through a disk
// cache, handed to the decode queue once whole. It lives in the engine's image reader thread, which calls
// requestImageResponse(): the network manager must belong to the thread whose event loop runs its replies.
class ArtworkFetcher final : public QObject
{
public:
    // This thread's fetcher, made on first use and deleted when the thread finishes.
    static ArtworkFetcher* forCurrentThread(const QString& cacheFolder, std::chrono::milliseconds idleTimeout,
                                            std::chrono::milliseconds deadline);

    void fetch(const QUrl& address, ArtworkResponse* response, const QSize& size, int radius);

private:
    struct Transfer {
        QNetworkReply* reply = nullptr; // none while it waits for its turn
        QList<Waiter> waiters;
        QByteArray bytes;
        QByteArray format; // known once the first bytes are in
        QTimer* idle = nullptr;
        QTimer* deadline = nullptr;
        int deadlineLeft = 0; // while paused
        bool fromCache = false;
        bool paused = false;   // stopped reading until there is room
        bool slotOver = false; // ran for kSlotTime: no longer holds one of the places
    };

    ArtworkFetcher(const QString& cacheFolder, std::chrono::milliseconds idleTimeout,
                   std::chrono::milliseconds deadline);
    // The replies go with the network manager, after the transfers they would report to.
    ~ArtworkFetcher() override;

    void startQueued();
    void start(const QUrl& address, Transfer& transfer);
    // On the next turn of the event loop, paused transfers try again and queued ones look for a place.
    void lookAgain() { m_lookAgain.start(); }
    qint64 heldBytes() const;
    bool hasRoom(const Transfer& transfer, qint64 more) const;
    bool take(const QUrl& address, QNetworkReply* reply, bool whole = false);
    void resumePaused();
    void dropIfUnwanted(const QUrl& address);
    void finish(const QUrl& address);

    static thread_local ArtworkFetcher* current;

    std::chrono::milliseconds m_idleTimeout;
    std::chrono::milliseconds m_deadline;
    QNetworkAccessManager m_network;
    QHash<QUrl, Transfer> m_transfers;
    QList<QUrl> m_queued;
    qint64 m_transferBytes = 0;
    QTimer m_lookAgain;
};

} // namespace sendra::ui
