#include "AllocationMeter.h"

#include "NetKit/LargeArray.h"

#include <malloc.h>

#include <cerrno>
#include <cstddef>

// glibc's own entry points, under the names it exports for exactly this kind of wrapping.
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void* pointer);
}

namespace {

// Per thread and without atomics: the benchmarks parse on one thread, and a lock-prefixed add on every
// allocation would weigh on the very timings this program reports.
thread_local std::int64_t t_live = 0;
thread_local std::int64_t t_peak = 0;

void* counted(void* pointer)
{
    if (pointer) {
        t_live += std::int64_t(malloc_usable_size(pointer));
        if (t_live > t_peak)
            t_peak = t_live;
    }
    return pointer;
}

void uncount(void* pointer)
{
    if (pointer)
        t_live -= std::int64_t(malloc_usable_size(pointer));
}

// The large arrays of entry tables are mapped outside the heap: counted as heap all the same.
void countMapped(std::ptrdiff_t bytes)
{
    t_live += bytes;
    if (t_live > t_peak)
        t_peak = t_live;
}

const bool g_mappedCounted = (netkit::setLargeMemoryObserver(countMapped), true);

} // namespace

extern "C" {

void* malloc(std::size_t size)
{
    return counted(__libc_malloc(size));
}

void* calloc(std::size_t count, std::size_t size)
{
    return counted(__libc_calloc(count, size));
}

void* realloc(void* pointer, std::size_t size)
{
    uncount(pointer);
    void* moved = __libc_realloc(pointer, size);
    if (!moved && size != 0) {
        counted(pointer); // the old block is still there
        return nullptr;
    }
    return counted(moved);
}

void free(void* pointer)
{
    uncount(pointer);
    __libc_free(pointer);
}

void* memalign(std::size_t alignment, std::size_t size)
{
    return counted(__libc_memalign(alignment, size));
}

void* aligned_alloc(std::size_t alignment, std::size_t size)
{
    return counted(__libc_memalign(alignment, size));
}

int posix_memalign(void** out, std::size_t alignment, std::size_t size)
{
    void* pointer = counted(__libc_memalign(alignment, size));
    if (!pointer)
        return ENOMEM;
    *out = pointer;
    return 0;
}

} // extern "C"

namespace bench {

AllocationMeter::AllocationMeter()
    : m_baseline(t_live)
{
    t_peak = t_live;
}

std::int64_t AllocationMeter::peakBytes() const
{
    return t_peak - m_baseline;
}

std::int64_t AllocationMeter::liveBytes() const
{
    return t_live - m_baseline;
}

} // namespace bench
