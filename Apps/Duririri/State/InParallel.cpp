#include "State/InParallel.h"

#include <atomic>
#include <mutex>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace sendra {

namespace {

void pause()
{
#if defined(__SSE2__)
    _mm_pause();
#else
    std::this_thread::yield();
#endif
}

// One pass at a time. Its state is one word: the pass's number (high 32 bits), the next range to take and the
// number of ranges (16 bits each), so a thread that wakes late can never take a range of a later pass.
class StandingTeam
{
public:
    static StandingTeam& shared()
    {
        // Never destroyed: its threads wait for ever and end with the process.
        static StandingTeam* team = new StandingTeam(
            std::clamp<unsigned>(std::thread::hardware_concurrency(), 1, 8) - 1);
        return *team;
    }

    void run(size_t chunks, void (*call)(void*, size_t), void* context)
    {
        std::unique_lock lock(m_busy, std::try_to_lock);
        if (!lock || m_threads == 0 || chunks < 2 || chunks > 0xFFFF) {
            for (size_t chunk = 0; chunk < chunks; ++chunk)
                call(context, chunk);
            return;
        }
        m_call = call;
        m_context = context;
        m_done.store(0, std::memory_order_relaxed);
        const uint64_t pass = (m_state.load(std::memory_order_relaxed) >> 32) + 1;
        const uint64_t state = (pass << 32) | chunks;
        m_state.store(state, std::memory_order_release);
        m_state.notify_all();
        takeFrom(state);
        while (m_done.load(std::memory_order_acquire) < chunks)
            pause();
    }

private:
    explicit StandingTeam(unsigned threads) : m_threads(threads)
    {
        for (unsigned t = 0; t < threads; ++t)
            std::thread([this] { serve(); }).detach();
    }

    static uint64_t pass(uint64_t state) { return state >> 32; }

    void serve()
    {
        uint64_t seen = m_state.load(std::memory_order_acquire);
        for (;;) {
            uint64_t state = m_state.load(std::memory_order_acquire);
            // Passes come in bursts (a search makes three): wait a little awake before sleeping.
            for (int spin = 0; spin < 4000 && pass(state) == pass(seen); ++spin) {
                pause();
                state = m_state.load(std::memory_order_acquire);
            }
            while (pass(state) == pass(seen)) {
                m_state.wait(state, std::memory_order_acquire);
                state = m_state.load(std::memory_order_acquire);
            }
            seen = state;
            takeFrom(state);
        }
    }

    // Takes ranges of the pass `state` belongs to until none is left or another pass began.
    void takeFrom(uint64_t state)
    {
        const uint64_t mine = pass(state);
        for (;;) {
            if (pass(state) != mine)
                return;
            const uint64_t next = (state >> 16) & 0xFFFF;
            if (next >= (state & 0xFFFF))
                return;
            if (!m_state.compare_exchange_weak(state, state + (uint64_t(1) << 16), std::memory_order_acquire,
                                               std::memory_order_acquire))
                continue;
            m_call(m_context, next);
            m_done.fetch_add(1, std::memory_order_release);
            state = m_state.load(std::memory_order_acquire);
        }
    }

    const unsigned m_threads;
    std::mutex m_busy;
    std::atomic<uint64_t> m_state{0};
    std::atomic<size_t> m_done{0};
    void (*m_call)(void*, size_t) = nullptr;
    void* m_context = nullptr;
};

std::atomic<uint32_t> leastShare{20'000};

} // namespace

uint32_t leastPerThread()
{
    return leastShare.load(std::memory_order_relaxed);
}

uint32_t setLeastPerThreadForTests(uint32_t entries)
{
    return leastShare.exchange(entries, std::memory_order_relaxed);
}

void onStandingThreads(const std::vector<Range>& ranges, void (*call)(void* context, size_t chunk), void* context)
{
    StandingTeam::shared().run(ranges.size(), call, context);
}

void startStandingThreads()
{
    StandingTeam::shared();
}

} // namespace sendra
