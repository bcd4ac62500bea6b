#pragma once

#include "NetKit/CancelToken.h"
#include "NetKit/HttpSession.h"

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QFuture>
#include <QList>
#include <QPromise>

#include <exception>
#include <functional>
#include <memory>
#include <mutex>

namespace sendra {

// A body read while it arrives: the main thread hands each piece over (HttpRequest::takeBody), and a worker of
// the background pool reads the pieces, one batch at a time and in order. The main thread never parses and the body is
// never held whole; reading overlaps the download.
class BodyFeed : public std::enable_shared_from_this<BodyFeed>
{
public:
    // Both run on a worker, one call at a time, in order: `read` with every piece (and the length the server
    // declared, or -1), `end` once after the last one. What they throw ends the feed (see rethrow()).
    using Read = std::function<void(QByteArray piece, qint64 declaredLength)>;
    using End = std::function<void()>;

    // When reading fails, `stop` is cancelled on the main thread, so the rest of the body is not fetched for nothing.
    static std::shared_ptr<BodyFeed> make(Read read, End end, netkit::CancelToken stop = {});

    // The next piece of the body (main thread).
    void push(QByteArray piece, qint64 declaredLength);
    // After the last piece (main thread): ends once every piece is read and `end` ran, or reading failed.
    QFuture<void> close();
    // The body is not wanted any more: what is still to read is dropped, and nothing more is read.
    void drop();
    // Once close()'s future ended: what reading threw, if anything.
    void rethrow();

private:
    BodyFeed(Read read, End end, netkit::CancelToken stop);
    void startReading();
    void drain();

    Read m_read;
    End m_end;
    netkit::CancelToken m_stop;
    std::mutex m_mutex;
    QList<QByteArray> m_inbox;
    qint64 m_declaredLength = -1;
    bool m_running = false;
    bool m_closed = false;
    bool m_dropped = false;
    std::exception_ptr m_failure;
    QPromise<void> m_done;
};

// Sends `request` (a GET of a large list) and reads its body with `read` and `end` while it arrives. Any status
// but a 2xx fails with CommandError::invalidResponse; what reading throws is rethrown, the transfer stopped at once;
// transfer failures and cancellation pass through as HttpSession::send's.
QCoro::Task<void> readWhileArriving(netkit::HttpSession session, netkit::HttpRequest request, BodyFeed::Read read,
                                    BodyFeed::End end, netkit::CancelToken token);

} // namespace sendra
