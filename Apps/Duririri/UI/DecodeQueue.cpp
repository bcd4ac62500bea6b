#include "UI/DecodeQueue.h"

#include "State/ReleaseOnWorker.h"
#include "UI/PictureHeader.h"
#include "UI/TileFill.h"
#include "UI/UiLog.h"

#include "NetKit/Workers.h"

#include <QBuffer>
#include <QImageReader>
#include <QtMath>

#include <memory>

namespace sendra::ui {

namespace {

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

// Decodes a picture for every waiter. Runs on a decoding thread.
void decode(DecodeJob& job)
{
    if (job.format == "png")
        job.bytes = withoutPngText(std::move(job.bytes));
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
        deliver(waiter.delivery, fillTile(image, waiter.size, waiter.radius));
}

} // namespace

DecodeQueue& DecodeQueue::instance()
{
    static DecodeQueue queue;
    return queue;
}

DecodeQueue::DecodeQueue() = default;

DecodeQueue::~DecodeQueue()
{
    {
        QMutexLocker lock(&m_mutex);
        m_waiting.clear();
    }
    // The decodes under way still reach this queue when they end; once the process is ending the pool has dropped
    // or stopped them already.
    if (!netkit::workersStopping())
        netkit::imagePool().waitUntilIdle();
}

void DecodeQueue::submit(DecodeJob job)
{
    QMutexLocker lock(&m_mutex);
    job.counted = job.bytes.size();
    m_bytes += job.counted;
    ++m_jobs;
    m_waiting.push_back(std::move(job));
    const auto unstarted = pump();
    lock.unlock();
    for (const auto& left : unstarted)
        run(left);
}

void DecodeQueue::dropUnwanted()
{
    QMutexLocker lock(&m_mutex);
    if (!dropUnwantedLocked())
        return;
    lock.unlock();
    emit roomFreed();
}

bool DecodeQueue::dropUnwantedLocked()
{
    return std::erase_if(m_waiting, [this](const DecodeJob& job) {
               if (isWanted(job.waiters))
                   return false;
               m_bytes -= job.counted;
               --m_jobs;
               return true;
           }) > 0;
}

std::vector<std::shared_ptr<DecodeJob>> DecodeQueue::pump()
{
    std::vector<std::shared_ptr<DecodeJob>> unstarted;
    while (m_running < int(netkit::imagePool().maxThreads())) {
        dropUnwantedLocked();
        auto next = m_waiting.end();
        for (auto job = m_waiting.begin(); job != m_waiting.end(); ++job)
            if ((!job->large || !m_largeRunning) && (next == m_waiting.end() || job->bytes.size() < next->bytes.size()))
                next = job;
        if (next == m_waiting.end())
            break;
        auto job = std::make_shared<DecodeJob>(std::move(*next));
        m_waiting.erase(next);
        ++m_running;
        m_largeRunning = m_largeRunning || job->large;
        if (!netkit::imagePool().start([this, job] { run(job); }))
            unstarted.push_back(std::move(job));
    }
    return unstarted;
}

void DecodeQueue::run(const std::shared_ptr<DecodeJob>& job)
{
    try {
        decode(*job);
    } catch (...) {
        // Out of memory, most likely: the picture fails like any unreadable one, and the queue goes on.
        qCWarning(uiLog) << "Decoding a picture failed";
        for (const Waiter& waiter : std::as_const(job->waiters))
            deliver(waiter.delivery, {});
    }
    QMutexLocker lock(&m_mutex);
    --m_running;
    if (job->large)
        m_largeRunning = false;
    m_bytes -= job->counted;
    --m_jobs;
    job->bytes.clear();
    // After a few large pictures glibc keeps buffers of their size for reuse (its threshold for mapping them on
    // their own grows with them): without this the process kept four times the bytes it counted after sixty large
    // pictures.
    if (job->large)
        detail::returnFreedPages();
    const auto unstarted = pump();
    lock.unlock();
    emit roomFreed();
    for (const auto& left : unstarted)
        run(left);
}

} // namespace sendra::ui
