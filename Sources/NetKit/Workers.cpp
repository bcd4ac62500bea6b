#include "NetKit/Workers.h"

#include "NetKit/NetLog.h"
#include "NetKit/WorkersTesting.h"

#include <QCoreApplication>

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <exception>
#include <list>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace netkit {

namespace {

std::atomic<bool> stopping{false};
std::atomic<bool> failStarts{false};
std::atomic<uint32_t> leastShare{20'000};

struct Job {
    std::function<void()> run;
    const void* tag = nullptr; // the pass a helper's job belongs to, withdrawn when the pass ends
};

// Jobs dropped when the process ends: what they hold is never freed, so that no destructor runs then.
void abandon(std::deque<Job> jobs)
{
    static std::mutex mutex;
    static auto* kept = new std::vector<std::deque<Job>>;
    const std::lock_guard lock(mutex);
    kept->push_back(std::move(jobs));
}

void watchApplication();

} // namespace

namespace detail {

struct PoolState {
    const char* name;
    unsigned max;
    mutable std::mutex mutex;
    std::condition_variable wake;  // a job came, or threads must end
    std::condition_variable ended; // a thread ended or went idle
    std::deque<Job> queue;
    std::list<std::thread> threads;
    unsigned running = 0; // threads whose loop has not ended
    unsigned idle = 0;
    bool ending = false; // threads end once the queue is empty
    bool warnedStart = false;

    // With `mutex` held. False when the thread could not start.
    bool startThread()
    {
        try {
            if (failStarts.load(std::memory_order_relaxed))
                throw std::system_error(EAGAIN, std::generic_category());
            threads.emplace_back([this] { serve(); });
            ++running;
            watchApplication();
            return true;
        } catch (const std::system_error&) {
            if (!std::exchange(warnedStart, true))
                qCWarning(netLog, "A worker thread could not start; the work goes on with fewer threads");
            return false;
        }
    }

    void serve()
    {
        // So that a profiler or a debugger tells the pools' threads apart.
        pthread_setname_np(pthread_self(), name);
        std::unique_lock lock(mutex);
        for (;;) {
            while (queue.empty() && !ending) {
                ++idle;
                ended.notify_all();
                wake.wait(lock);
                --idle;
            }
            if (queue.empty())
                break;
            Job job = std::move(queue.front());
            queue.pop_front();
            // The wakes a pass's helpers need are shared out: each thread that takes a job wakes up to two more
            // while jobs wait, so the thread that queued them woke only one.
            const size_t more = std::min<size_t>({queue.size(), idle, 2});
            lock.unlock();
            for (size_t w = 0; w < more; ++w)
                wake.notify_one();
            try {
                job.run();
            } catch (...) {
                qCWarning(netLog, "A background job failed and its failure was dropped");
            }
            job.run = {}; // what the job holds goes here, not under the lock
            lock.lock();
        }
        --running;
        ended.notify_all();
    }

    bool start(Job job)
    {
        std::unique_lock lock(mutex);
        if (ending)
            return false;
        queue.push_back(std::move(job));
        if (queue.size() > idle && running < max && !startThread() && running == 0) {
            queue.pop_back();
            return false;
        }
        lock.unlock();
        wake.notify_one();
        return true;
    }

    // Queues `count` copies of `job` (a pass's helpers) and wakes one waiting thread, which wakes the others (serve);
    // returns how many were queued.
    size_t startMany(const Job& job, size_t count)
    {
        std::unique_lock lock(mutex);
        if (ending)
            return 0;
        size_t queued = 0;
        for (; queued < count; ++queued) {
            queue.push_back(job);
            if (queue.size() > idle && running < max && !startThread() && running == 0) {
                queue.pop_back();
                break;
            }
        }
        lock.unlock();
        if (queued > 0)
            wake.notify_one();
        return queued;
    }

    void withdraw(const void* tag)
    {
        std::vector<Job> withdrawn; // destroyed outside the lock
        const std::lock_guard lock(mutex);
        for (auto job = queue.begin(); job != queue.end();) {
            if (job->tag == tag) {
                withdrawn.push_back(std::move(*job));
                job = queue.erase(job);
            } else {
                ++job;
            }
        }
    }

    // Every thread ends once the queue is empty (`dropQueued`: at once, the jobs not begun are dropped); true when
    // all did by `deadline` (they are joined then).
    bool endThreads(std::chrono::steady_clock::time_point deadline, bool dropQueued)
    {
        std::unique_lock lock(mutex);
        ending = true;
        if (dropQueued)
            abandon(std::exchange(queue, {}));
        wake.notify_all();
        if (!ended.wait_until(lock, deadline, [this] { return running == 0; }))
            return false;
        std::list<std::thread> done = std::move(threads);
        threads.clear();
        lock.unlock();
        for (std::thread& thread : done)
            thread.join();
        return true;
    }
};

} // namespace detail

namespace {

using detail::PoolState;

std::mutex registryMutex;
std::vector<PoolState*>& registry()
{
    static auto* pools = new std::vector<PoolState*>;
    return *pools;
}

std::vector<PoolState*> pools()
{
    const std::lock_guard lock(registryMutex);
    return registry();
}

// One forEach: its pieces go to whoever takes them first. Helpers hold it shared, so one that starts after the
// pass ended finds nothing left and never touches the caller's work.
struct Pass {
    void (*call)(void*, size_t);
    void* context;
    uint32_t count;
    std::atomic<uint32_t> next{0};
    std::atomic<uint32_t> done{0};
    std::atomic<bool> failed{false};
    std::exception_ptr failure; // written once, by whoever set `failed`

    void take()
    {
        for (uint32_t piece; (piece = next.fetch_add(1, std::memory_order_relaxed)) < count;) {
            if (!failed.load(std::memory_order_relaxed)) {
                try {
                    call(context, piece);
                } catch (...) {
                    if (!failed.exchange(true))
                        failure = std::current_exception();
                }
            }
            if (done.fetch_add(1, std::memory_order_acq_rel) + 1 == count)
                done.notify_all();
        }
    }
};

} // namespace

WorkerPool::WorkerPool(const char* name, unsigned maxThreads) : m_state(std::make_shared<PoolState>())
{
    m_state->name = name;
    m_state->max = std::max(maxThreads, 1U);
    const std::lock_guard lock(registryMutex);
    registry().push_back(m_state.get());
}

WorkerPool::~WorkerPool()
{
    {
        const std::lock_guard lock(registryMutex);
        std::erase(registry(), m_state.get());
    }
    m_state->endThreads(std::chrono::steady_clock::time_point::max(), false);
}

bool WorkerPool::start(std::function<void()> job)
{
    return m_state->start({std::move(job), nullptr});
}

void WorkerPool::runHere(const std::function<void()>& job)
{
    try {
        job();
    } catch (...) {
        qCWarning(netLog, "A background job failed and its failure was dropped");
    }
}

void WorkerPool::pass(size_t count, size_t threads, void (*call)(void*, size_t), void* context)
{
    if (count == 0)
        return;
    if (count == 1 || threads == 1 || count > UINT32_MAX) {
        for (size_t piece = 0; piece < count; ++piece)
            call(context, piece);
        return;
    }
    auto pass = std::make_shared<Pass>();
    pass->call = call;
    pass->context = context;
    pass->count = uint32_t(count);
    const size_t helpers = std::min<size_t>({count - 1, m_state->max, threads == 0 ? count : threads - 1});
    m_state->startMany({[pass] { pass->take(); }, pass.get()}, helpers);
    pass->take();
    for (uint32_t done; (done = pass->done.load(std::memory_order_acquire)) < pass->count;)
        pass->done.wait(done, std::memory_order_acquire);
    // Helpers that never began stay out of the way of the next pass.
    m_state->withdraw(pass.get());
    if (pass->failed.load(std::memory_order_acquire))
        std::rethrow_exception(pass->failure);
}

void WorkerPool::warmUp()
{
    const std::lock_guard lock(m_state->mutex);
    while (!m_state->ending && m_state->running < m_state->max && m_state->startThread()) {
    }
}

bool WorkerPool::busy() const
{
    const std::lock_guard lock(m_state->mutex);
    return !m_state->queue.empty() || m_state->idle < m_state->running;
}

void WorkerPool::waitUntilIdle() const
{
    std::unique_lock lock(m_state->mutex);
    m_state->ended.wait(lock, [this] { return m_state->queue.empty() && m_state->idle == m_state->running; });
}

unsigned WorkerPool::threadCount() const
{
    const std::lock_guard lock(m_state->mutex);
    return m_state->running;
}

unsigned WorkerPool::maxThreads() const
{
    return m_state->max;
}

uint32_t leastPerThread()
{
    return leastShare.load(std::memory_order_relaxed);
}

namespace {

unsigned cores()
{
    return std::clamp(std::thread::hardware_concurrency(), 1U, 8U);
}

} // namespace

WorkerPool& backgroundPool()
{
    static auto* pool = new WorkerPool("background", cores());
    return *pool;
}

WorkerPool& teamPool()
{
    // The caller of a pass is one of its threads.
    static auto* pool = new WorkerPool("team", std::max(cores() - 1, 1U));
    return *pool;
}

WorkerPool& searchPool()
{
    static auto* pool = new WorkerPool("search", std::max(cores() - 1, 1U));
    return *pool;
}

WorkerPool& decodingPool()
{
    static auto* pool = new WorkerPool("decoding", 2);
    return *pool;
}

WorkerPool& imagePool()
{
    static auto* pool = new WorkerPool("images", 2);
    return *pool;
}

bool workersStopping()
{
    return stopping.load(std::memory_order_relaxed);
}

bool stopWorkers(std::chrono::milliseconds bound)
{
    stopping = true;
    const auto deadline = std::chrono::steady_clock::now() + bound;
    bool all = true;
    // Qt's global pool is not waited for: nothing here starts work there, and the image scaling Qt shares out on it
    // is awaited by the thread that asked for it.
    for (PoolState* pool : pools())
        all = pool->endThreads(deadline, true) && all;
    return all;
}

int leaveProcess(int code, std::chrono::milliseconds bound)
{
    if (stopWorkers(bound))
        return code;
    qCWarning(netLog, "A worker was still busy at exit; the process ends without waiting for it");
    std::fflush(nullptr);
    std::_Exit(code);
}

namespace {

void reopen()
{
    for (PoolState* pool : pools()) {
        const std::lock_guard lock(pool->mutex);
        pool->ending = false;
    }
    stopping = false;
}

// The application object goes: the work under way is not wanted any more. Its workers stop after their current
// line or piece and are waited for only briefly; once all have, a later application object may use them again.
void applicationEnded()
{
    if (stopWorkers(std::chrono::seconds(1)))
        reopen();
}

void watchApplication()
{
    static std::atomic<bool> watched{false};
    if (QCoreApplication::instance() && !watched.exchange(true))
        qAddPostRoutine(applicationEnded);
}

} // namespace

void failThreadStartsForTests(bool fail)
{
    failStarts = fail;
}

void endIdleThreadsForTests()
{
    for (PoolState* pool : pools())
        pool->endThreads(std::chrono::steady_clock::time_point::max(), false);
    reopen();
}

uint32_t setLeastPerThreadForTests(uint32_t entries)
{
    return leastShare.exchange(entries, std::memory_order_relaxed);
}

} // namespace netkit
