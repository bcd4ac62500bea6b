#include "NetKit/LargeArray.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

#include <sys/mman.h>

namespace netkit {

namespace {

std::atomic<LargeMemoryObserver> g_observer{nullptr};

std::size_t roundedToHugePages(std::size_t bytes)
{
    return (bytes + hugePageBytes - 1) & ~(hugePageBytes - 1);
}

void* mapped(std::size_t bytes)
{
    void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return memory == MAP_FAILED ? nullptr : memory;
}

bool isAligned(const void* memory)
{
    return reinterpret_cast<std::uintptr_t>(memory) % hugePageBytes == 0;
}

} // namespace

void* allocateLarge(std::size_t bytes)
{
    if (bytes < hugePageBytes) {
        if (void* memory = std::malloc(bytes ? bytes : 1))
            return memory;
        throw std::bad_alloc();
    }
    // A huge page only backs an aligned 2 MiB that the mapping covers whole. The system mostly aligns a mapping of
    // whole huge pages by itself; otherwise a larger one is made and its ends given back.
    const std::size_t rounded = roundedToHugePages(bytes);
    char* memory = static_cast<char*>(mapped(rounded));
    if (memory && !isAligned(memory)) {
        munmap(memory, rounded);
        char* const wider = static_cast<char*>(mapped(rounded + hugePageBytes));
        if (!wider)
            throw std::bad_alloc();
        memory = wider + (hugePageBytes - reinterpret_cast<std::uintptr_t>(wider) % hugePageBytes) % hugePageBytes;
        if (memory != wider)
            munmap(wider, std::size_t(memory - wider));
        if (const std::size_t tail = std::size_t(wider + rounded + hugePageBytes - (memory + rounded)))
            munmap(memory + rounded, tail);
    }
    if (!memory)
        throw std::bad_alloc();
    madvise(memory, rounded, MADV_HUGEPAGE);
    if (const LargeMemoryObserver observer = g_observer.load(std::memory_order_relaxed))
        observer(std::ptrdiff_t(rounded));
    return memory;
}

void releaseLarge(void* memory, std::size_t bytes, std::size_t givenBack) noexcept
{
    if (bytes < hugePageBytes) {
        std::free(memory);
        return;
    }
    const std::size_t rounded = roundedToHugePages(bytes);
    munmap(memory, rounded);
    if (const LargeMemoryObserver observer = g_observer.load(std::memory_order_relaxed))
        observer(-std::ptrdiff_t(rounded - givenBack));
}

std::size_t releaseTail(void* memory, std::size_t bytes, const void* from) noexcept
{
    if (bytes < hugePageBytes)
        return 0;
    constexpr std::uintptr_t page = 4096;
    const auto start = (reinterpret_cast<std::uintptr_t>(from) + page - 1) & ~(page - 1);
    const auto end = reinterpret_cast<std::uintptr_t>(memory) + roundedToHugePages(bytes);
    if (start >= end || start < reinterpret_cast<std::uintptr_t>(memory))
        return 0;
    if (madvise(reinterpret_cast<void*>(start), end - start, MADV_DONTNEED) != 0)
        return 0;
    if (const LargeMemoryObserver observer = g_observer.load(std::memory_order_relaxed))
        observer(-std::ptrdiff_t(end - start));
    return end - start;
}

void setLargeMemoryObserver(LargeMemoryObserver observer)
{
    g_observer.store(observer, std::memory_order_relaxed);
}

} // namespace netkit
