#pragma once

#include <algorithm>
#include <cstdint>
#include <thread>
#include <vector>

namespace sendra {

// Consecutive ranges of [0, count) for the threads that share a pass: one range for small counts, at most eight.
struct Range {
    uint32_t first;
    uint32_t end;
};

inline std::vector<Range> splitForThreads(uint32_t count, uint32_t leastPerThread = 20'000)
{
    const uint32_t threads = std::clamp<uint32_t>(
        std::min(count / std::max<uint32_t>(leastPerThread, 1), std::thread::hardware_concurrency()), 1, 8);
    std::vector<Range> ranges;
    for (uint32_t t = 0; t < threads; ++t)
        ranges.push_back({uint32_t(uint64_t(count) * t / threads), uint32_t(uint64_t(count) * (t + 1) / threads)});
    return ranges;
}

// Runs work(chunk, first, end) for every range, the first on this thread and the others on threads of their own
// (not the shared pool, which may be busy with the very tasks that wait for this one).
template <class Work>
void inParallel(const std::vector<Range>& ranges, Work&& work)
{
    std::vector<std::thread> threads;
    for (size_t chunk = 1; chunk < ranges.size(); ++chunk)
        threads.emplace_back([&work, &ranges, chunk] { work(chunk, ranges[chunk].first, ranges[chunk].end); });
    work(0, ranges[0].first, ranges[0].end);
    for (std::thread& thread : threads)
        thread.join();
}

// The same for passes of a few milliseconds, where starting threads would cost as much as the pass itself: threads
// kept waiting for the next pass take ranges as they come, and this thread takes them too, so it never waits for a
// range nobody has begun. While another thread's pass holds the team, this one runs its ranges alone.
void onStandingThreads(const std::vector<Range>& ranges, void (*call)(void* context, size_t chunk), void* context);

// Starts those threads now, so that the first pass does not pay for it.
void startStandingThreads();

template <class Work>
void onStandingThreads(const std::vector<Range>& ranges, Work&& work)
{
    struct Context {
        const std::vector<Range>& ranges;
        Work& work;
    } context{ranges, work};
    onStandingThreads(
        ranges,
        [](void* c, size_t chunk) {
            auto& [ranges, work] = *static_cast<Context*>(c);
            work(chunk, ranges[chunk].first, ranges[chunk].end);
        },
        &context);
}

} // namespace sendra
