#include "NetKit/LargeList.h"

#include <cstdint>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace netkit {

void adviseHugePages(void* block, std::size_t bytes)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t kHugePage = 2 * 1024 * 1024;
    const auto begin = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t first = (begin + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t last = (begin + bytes) & ~(kHugePage - 1);
    // Only whole huge pages inside the block: the advice must not reach memory the allocator gave to others.
    if (last > first)
        madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE); // a refusal only costs the speed-up
#else
    (void)block;
    (void)bytes;
#endif
}

} // namespace netkit
