#pragma once

#include <cstdint>

namespace bench {

// Heap bytes of the calling thread, counted by this program's own malloc family (every C and C++ allocation,
// Qt's included, goes through it), and the large arrays that entry tables map for themselves. A meter reports what happened on its thread since it was made.
class AllocationMeter
{
public:
    AllocationMeter();

    // The most bytes held at once since construction, above what was held at construction.
    std::int64_t peakBytes() const;
    // The bytes held now, above what was held at construction.
    std::int64_t liveBytes() const;

private:
    std::int64_t m_baseline;
};

} // namespace bench
