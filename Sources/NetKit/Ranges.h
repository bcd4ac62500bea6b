#pragma once

#include <algorithm>
#include <cstdint>
#include <thread>
#include <vector>

namespace netkit {

// Consecutive positions [first, end) that one thread of a pass takes.
struct Range {
    uint32_t first;
    uint32_t end;
};

// How many entries a thread of a shared pass takes at least (20,000): fewer are not worth waking a thread for.
uint32_t leastPerThread();

// [0, count) cut into `parts` consecutive ranges of nearly equal size.
inline std::vector<Range> equalRanges(uint32_t count, uint32_t parts)
{
    std::vector<Range> ranges;
    for (uint32_t p = 0; p < parts; ++p)
        ranges.push_back({uint32_t(uint64_t(count) * p / parts), uint32_t(uint64_t(count) * (p + 1) / parts)});
    return ranges;
}

// A range per thread that is worth starting: one range for small counts, at most eight.
inline std::vector<Range> splitForThreads(uint32_t count, uint32_t least = leastPerThread())
{
    const uint32_t wanted = std::min(count / std::max<uint32_t>(least, 1), std::thread::hardware_concurrency());
    return equalRanges(count, std::clamp<uint32_t>(wanted, 1, 8));
}

// Ranges for a pass whose entries differ in cost (texts of every length and script): a few per thread, so that a
// thread that finishes early takes more rather than waiting for the slowest.
inline constexpr uint32_t piecesPerThread = 4;

inline std::vector<Range> splitIntoPieces(uint32_t count)
{
    return equalRanges(count, uint32_t(splitForThreads(count).size()) * piecesPerThread);
}

// The threads that share the pieces of splitIntoPieces: as many as splitForThreads gives.
inline size_t threadsForPieces(const std::vector<Range>& pieces)
{
    return (pieces.size() + piecesPerThread - 1) / piecesPerThread;
}

} // namespace netkit
