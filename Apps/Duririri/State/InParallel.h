#pragma once

#include "NetKit/Workers.h"

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

// Runs work(chunk, first, end) for every range, on this thread and the team's (never the background pool, whose
// jobs may be the very ones that wait for this). A range nobody has begun is this thread's to run; the first
// exception comes back here once the ranges under way have ended.
template <class Work>
void inParallel(const std::vector<Range>& ranges, Work&& work)
{
    netkit::teamPool().forEach(ranges.size(),
                               [&](size_t chunk) { work(chunk, ranges[chunk].first, ranges[chunk].end); });
}

// Ranges for a pass whose entries differ in cost (texts of every length and script): a few per thread, so that a
// thread that finishes early takes more rather than waiting for the slowest.
inline constexpr uint32_t piecesPerThread = 4;

inline std::vector<Range> splitIntoPieces(uint32_t count)
{
    return equalRanges(count, uint32_t(splitForThreads(count).size()) * piecesPerThread);
}

// Runs work(piece, first, end) for every range of splitIntoPieces on as many threads as splitForThreads gave (this
// one and the team's), each taking the next range nobody has begun.
template <class Work>
void inPieces(const std::vector<Range>& ranges, Work&& work)
{
    const size_t threads = (ranges.size() + piecesPerThread - 1) / piecesPerThread;
    netkit::teamPool().forEach(
        ranges.size(), [&](size_t piece) { work(piece, ranges[piece].first, ranges[piece].end); }, threads);
}

// The same for passes of a few milliseconds (a keystroke's search), on threads of their own that wait started between
// passes.
template <class Work>
void onStandingThreads(const std::vector<Range>& ranges, Work&& work)
{
    netkit::searchPool().forEach(ranges.size(),
                                 [&](size_t chunk) { work(chunk, ranges[chunk].first, ranges[chunk].end); });
}

// Starts the search's threads now, so that the first keystroke does not pay for it.
void startStandingThreads();

} // namespace sendra
