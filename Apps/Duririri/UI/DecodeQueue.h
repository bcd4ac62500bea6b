#pragma once

#include "UI/ArtworkResponse.h"

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QObject>

#include <atomic>
#include <vector>

namespace sendra::ui {

// A picture is decoded at most this many pixels large before scaling: a few kilobytes may declare gigabytes.
constexpr qint64 kPixelBudget = 4096LL * 4096;
// Past this many pixels a picture counts as large (see DecodeQueue).
constexpr qint64 kLargePixels = 2048LL * 2048;

// A received picture and everyone who waits for it.
struct DecodeJob {
    QByteArray bytes;
    QByteArray format; // as pictureFormat() names it
    QList<Waiter> waiters;
    bool large = false;
    qint64 counted = 0; // its size when it was queued (stripping a PNG makes it smaller)
};

// Pictures waiting for a decoding thread, shared by every engine. A decode runs on each of the image pool's threads
// (two), at most one of them a large picture, so small posters never wait behind large ones: the smallest waiting
// picture goes first, and a large one only while another thread is free for small ones. Pictures nobody waits for any
// more are dropped unread. Each waiter gets the picture decoded straight to the size drawn, filled to its tile.
class DecodeQueue final : public QObject
{
    Q_OBJECT

public:
    static DecodeQueue& instance();

    void submit(DecodeJob job);

    // Bytes of pictures waiting or being decoded, and whether there are any.
    qint64 heldBytes() const { return m_bytes.load(); }
    bool isBusy() const { return m_jobs.load() > 0; }

    void dropUnwanted();

signals:
    // A decode ended or waiting pictures were dropped: what was held is free again. Emitted from any thread.
    void roomFreed();

private:
    DecodeQueue();
    ~DecodeQueue() override;

    // Under the lock; whether any were dropped.
    bool dropUnwantedLocked();
    // Under the lock: starts what may start on the decoding threads. Returns the jobs no thread could take (none can
    // start), for the caller to decode itself once it has let go of the lock.
    std::vector<std::shared_ptr<DecodeJob>> pump();
    // Decodes `job` here, then starts what waits.
    void run(const std::shared_ptr<DecodeJob>& job);

    QMutex m_mutex;
    std::vector<DecodeJob> m_waiting;
    std::atomic<qint64> m_bytes{0};
    std::atomic<int> m_jobs{0};
    int m_running = 0;
    bool m_largeRunning = false;
};

} // namespace sendra::ui
