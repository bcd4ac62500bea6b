#pragma once

#include "NetKit/Ranges.h"

#include <QFuture>
#include <QPromise>

#include <chrono>
#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <span>
#include <type_traits>

namespace netkit {

namespace detail {
struct PoolState;
}

// A named set of worker threads, started when work comes and kept waiting (blocked, never spinning) for more. A
// thread that cannot start (a thread limit) leaves the work to the threads there are, or to the caller when there
// are none. Pools are never destroyed: stopWorkers() ends their threads when the process ends.
class WorkerPool
{
public:
    WorkerPool(const char* name, unsigned maxThreads);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Queues `job` for a worker. False when no worker is there to take it (none could start, or the process is
    // ending): the job is dropped unrun and the caller does the work itself. What a job throws is logged and dropped.
    [[nodiscard]] bool start(std::function<void()> job);

    // Runs `job` on a worker, or here when no worker can take it. It may be move-only.
    template <class Job>
    void run(Job job)
    {
        auto held = std::make_shared<Job>(std::move(job));
        if (!start([held] { (*held)(); }))
            runHere([&held] { (*held)(); });
    }

    // Calls work(i) for every i in [0, count): this thread takes pieces too, so it never waits for a piece nobody has
    // begun, and blocks only for pieces other threads are busy with. The first exception is rethrown here once every
    // piece begun has ended; pieces not begun by then are skipped. At most `threads` threads take part, this one
    // included (0: as many as the pool has).
    template <class Work>
    void forEach(size_t count, size_t threads, Work&& work)
    {
        pass(
            count, threads, [](void* w, size_t piece) { (*static_cast<std::remove_reference_t<Work>*>(w))(piece); },
            const_cast<void*>(static_cast<const void*>(&work)));
    }

    template <class Work>
    void forEach(size_t count, Work&& work)
    {
        forEach(count, 0, work);
    }

    // Calls work(i, ranges[i].first, ranges[i].end) for every range, as above.
    template <class Work>
    void forEach(std::span<const Range> ranges, size_t threads, Work&& work)
    {
        forEach(ranges.size(), threads, [&](size_t i) { work(i, ranges[i].first, ranges[i].end); });
    }

    template <class Work>
    void forEach(std::span<const Range> ranges, Work&& work)
    {
        forEach(ranges, 0, work);
    }

    // Starts its threads now, so that the first work does not pay for it.
    void warmUp();
    // Whether a job is queued or under way.
    bool busy() const;
    // Blocks until no job is queued or under way (benchmarks, before they measure).
    void waitUntilIdle() const;
    // Threads running now (busy or waiting).
    unsigned threadCount() const;
    unsigned maxThreads() const;

private:
    static void runHere(const std::function<void()>& job);
    void pass(size_t count, size_t threads, void (*call)(void* context, size_t piece), void* context);

    std::shared_ptr<detail::PoolState> m_state;
};

// Work that leaves the main thread: reading, parsing and preparing catalogues, releasing them. Its jobs may wait for
// the team's or the decoders' work, and for a job of this pool only once that job has begun: a job that needs work
// it queued here takes what nobody has begun and runs it itself (as a playlist's reader does with its chunks), so it
// never waits for a job queued behind it.
WorkerPool& backgroundPool();
// The parts of one pass over a catalogue while it is prepared (folding, sorting). Its jobs never wait for anything.
WorkerPool& teamPool();
// The same for the passes of a keystroke's search, a few milliseconds each: apart, so that a search never queues
// behind a preparation's parts.
WorkerPool& searchPool();
// Decoding compressed bodies, which the background pool's work may be waiting for.
WorkerPool& decodingPool();
// Decoding artwork images, two at a time at most.
WorkerPool& imagePool();

// Runs `work` on the background pool; the future ends with its result, or with what it threw.
template <class Work, class Result = std::invoke_result_t<Work&>>
QFuture<Result> startInBackground(Work work)
{
    auto promise = std::make_shared<QPromise<Result>>();
    QFuture<Result> future = promise->future();
    promise->start();
    backgroundPool().run([promise, work = std::move(work)]() mutable {
        try {
            if constexpr (std::is_void_v<Result>)
                work();
            else
                promise->addResult(work());
        } catch (...) {
            promise->setException(std::current_exception());
        }
        promise->finish();
    });
    return future;
}

// True once the process is ending: long loops on a worker check it between lines or pieces and give up.
bool workersStopping();

// The process is ending: asks every pool's workers to stop, and waits at most `bound` for those still busy. True when
// all ended (their threads are joined, static destructors may run); false when some are still busy, and the process
// must end without running destructors under them (see leaveProcess()).
bool stopWorkers(std::chrono::milliseconds bound);

// The end of main(), once the application has saved everything: returns `code` when every worker stopped within
// `bound`, or else flushes the standard streams and ends the process at once with `code`.
int leaveProcess(int code, std::chrono::milliseconds bound = std::chrono::milliseconds(800));

} // namespace netkit
