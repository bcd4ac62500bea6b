#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

namespace sendra {

// Consecutive ranges of [0, count) for the threads that share a pass: one range for small counts, at most eight.
struct Range {
    uint32_t first;
    uint32_t end;
};

// How many entries a thread of a shared pass takes at least (20,000). Tests lower it so that small catalogues reach
// the joins of the threads' parts; it returns the share it replaces.
uint32_t leastPerThread();
uint32_t setLeastPerThreadForTests(uint32_t entries);

// [0, count) cut into `parts` consecutive ranges of nearly equal size.
inline std::vector<Range> equalRanges(uint32_t count, uint32_t parts)
{
    std::vector<Range> ranges;
    for (uint32_t p = 0; p < parts; ++p)
        ranges.push_back({uint32_t(uint64_t(count) * p / parts), uint32_t(uint64_t(count) * (p + 1) / parts)});
    return ranges;
}

inline std::vector<Range> splitForThreads(uint32_t count, uint32_t least = leastPerThread())
{
    const uint32_t wanted = std::min(count / std::max<uint32_t>(least, 1), std::thread::hardware_concurrency());
    return equalRanges(count, std::clamp<uint32_t>(wanted, 1, 8));
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

// Ranges for a pass whose entries differ in cost (texts of every length and script): a few per thread, so that a
// thread that finishes early takes more rather than waiting for the slowest.
inline constexpr uint32_t piecesPerThread = 4;

inline std::vector<Range> splitIntoPieces(uint32_t count)
{
    return equalRanges(count, uint32_t(splitForThreads(count).size()) * piecesPerThread);
}

// Runs work(piece, first, end) for every range of splitIntoPieces on its threads (this one and threads of its own),
// each taking the next range nobody has begun.
template <class Work>
void inPieces(const std::vector<Range>& ranges, Work&& work)
{
    const size_t threads = (ranges.size() + piecesPerThread - 1) / piecesPerThread;
    std::atomic<size_t> next{0};
    const auto take = [&] {
        for (size_t piece; (piece = next.fetch_add(1, std::memory_order_relaxed)) < ranges.size();)
            work(piece, ranges[piece].first, ranges[piece].end);
    };
    std::vector<std::thread> helpers;
    for (size_t t = 1; t < threads; ++t)
        helpers.emplace_back(take);
    take();
    for (std::thread& helper : helpers)
        helper.join();
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
