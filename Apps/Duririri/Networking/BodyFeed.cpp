#include "Networking/BodyFeed.h"

#include "Domain/CommandError.h"
#include "NetKit/Workers.h"

#include <QCoreApplication>
#include <QCoro/QCoroFuture>
#include <QScopeGuard>

#include <utility>

namespace sendra {

std::shared_ptr<BodyFeed> BodyFeed::make(Read read, End end, netkit::CancelToken stop)
{
    return std::shared_ptr<BodyFeed>(new BodyFeed(std::move(read), std::move(end), std::move(stop)));
}

BodyFeed::BodyFeed(Read read, End end, netkit::CancelToken stop)
    : m_read(std::move(read)), m_end(std::move(end)), m_stop(std::move(stop))
{
    m_done.start();
}

void BodyFeed::push(QByteArray piece, qint64 declaredLength)
{
    {
        const std::lock_guard lock(m_mutex);
        if (m_dropped || m_failure)
            return;
        if (m_declaredLength < 0)
            m_declaredLength = declaredLength;
        m_inbox.append(std::move(piece));
        if (std::exchange(m_running, true))
            return;
    }
    startReading();
}

QFuture<void> BodyFeed::close()
{
    QFuture<void> done = m_done.future();
    {
        const std::lock_guard lock(m_mutex);
        m_closed = true;
        if (std::exchange(m_running, true))
            return done;
    }
    startReading();
    return done;
}

void BodyFeed::drop()
{
    const std::lock_guard lock(m_mutex);
    m_dropped = true;
    m_inbox.clear();
}

void BodyFeed::rethrow()
{
    const std::lock_guard lock(m_mutex);
    if (m_failure)
        std::rethrow_exception(m_failure);
}

// One worker at a time (m_running), so the pieces are read in order. Without a worker they are read here.
void BodyFeed::startReading()
{
    netkit::backgroundPool().run([self = shared_from_this()] { self->drain(); });
}

void BodyFeed::drain()
{
    while (true) {
        QList<QByteArray> batch;
        qint64 declaredLength = -1;
        bool last = false;
        bool skip = false;
        {
            const std::lock_guard lock(m_mutex);
            batch.swap(m_inbox);
            declaredLength = m_declaredLength;
            // A process that ends does not finish reading what is left.
            skip = m_dropped || m_failure || netkit::workersStopping();
            if (batch.isEmpty()) {
                if (!m_closed) {
                    m_running = false;
                    return;
                }
                last = true;
            }
        }
        std::exception_ptr failure;
        try {
            if (!skip) {
                for (QByteArray& piece : batch)
                    m_read(std::exchange(piece, {}), declaredLength);
                if (last)
                    m_end();
            }
        } catch (...) {
            failure = std::current_exception();
        }
        if (failure) {
            const std::lock_guard lock(m_mutex);
            m_failure = failure;
            m_inbox.clear();
            // Cancelled where the transfer lives: its abort is the main thread's to make.
            if (!last)
                if (QCoreApplication* application = QCoreApplication::instance())
                    QMetaObject::invokeMethod(
                        application, [stop = m_stop] { stop.cancel(); }, Qt::QueuedConnection);
        }
        if (last) {
            // The readers' state goes with the worker's last call, not with whichever thread drops the feed.
            m_read = {};
            m_end = {};
            m_done.finish();
            return;
        }
    }
}

QCoro::Task<void> readWhileArriving(netkit::HttpSession session, netkit::HttpRequest request, BodyFeed::Read read,
                                    BodyFeed::End end, netkit::CancelToken token)
{
    const netkit::CancelToken transfer = token.child();
    auto feed = BodyFeed::make(std::move(read), std::move(end), transfer);
    auto dropUnlessRead = qScopeGuard([feed] { feed->drop(); });
    request.takeBody = [feed](QByteArray piece, qint64 declaredLength) {
        feed->push(std::move(piece), declaredLength);
    };
    netkit::HttpResponse response;
    try {
        response = co_await session.send(std::move(request), transfer);
    } catch (const netkit::Cancelled&) {
        // Stopped by the feed: its reason is the failure.
        netkit::throwIfCancelled(token);
        feed->rethrow();
        throw;
    }
    netkit::throwIfCancelled(token);
    if (!response.isSuccess())
        throw CommandFailure(CommandError::invalidResponse);
    QFuture<void> done = feed->close();
    co_await done;
    netkit::throwIfCancelled(token);
    feed->rethrow();
    dropUnlessRead.dismiss();
}

} // namespace sendra
