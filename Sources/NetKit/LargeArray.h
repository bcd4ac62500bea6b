#pragma once

// Memory for the few large arrays of a table with hundreds of thousands of rows (its rows, its text blocks), in
// transparent huge pages where the system offers them: filling such an array then takes one page fault per 2 MiB
// instead of one per 4 KiB, and far fewer TLB misses. Large arrays are mapped and unmapped on their own, so a table
// that goes gives its memory straight back to the system.

#include <cstddef>
#include <new>
#include <utility>

namespace netkit {

inline constexpr std::size_t hugePageBytes = std::size_t(2) << 20;

// `bytes` of uninitialised memory, at least `hugePageBytes` of it aligned to and advised as huge pages; smaller
// requests are plain heap allocations. Never null: throws std::bad_alloc. Released with the same `bytes`, and with
// what releaseTail gave back of it.
void* allocateLarge(std::size_t bytes);
void releaseLarge(void* memory, std::size_t bytes, std::size_t givenBack = 0) noexcept;
// Gives the whole pages from `from` to the end of a large allocation back to the system (they read as zeros if
// written again, which the caller must not count on); returns how many bytes that was. Nothing for a small one.
std::size_t releaseTail(void* memory, std::size_t bytes, const void* from) noexcept;

// Told of every large array mapped (bytes > 0) and unmapped (bytes < 0) outside the heap, on the thread that does
// it, so that a memory meter that counts the heap can count these too.
using LargeMemoryObserver = void (*)(std::ptrdiff_t bytes);
void setLargeMemoryObserver(LargeMemoryObserver observer);

// One allocation of allocateLarge, released when it goes.
class LargeMemory
{
public:
    explicit LargeMemory(std::size_t bytes) : m_memory(allocateLarge(bytes)), m_bytes(bytes) {}
    LargeMemory(LargeMemory&& other) noexcept
        : m_memory(std::exchange(other.m_memory, nullptr)), m_bytes(other.m_bytes), m_givenBack(other.m_givenBack)
    {}
    LargeMemory& operator=(LargeMemory&& other) noexcept
    {
        std::swap(m_memory, other.m_memory);
        std::swap(m_bytes, other.m_bytes);
        std::swap(m_givenBack, other.m_givenBack);
        return *this;
    }
    ~LargeMemory()
    {
        if (m_memory)
            releaseLarge(m_memory, m_bytes, m_givenBack);
    }
    void* get() const { return m_memory; }
    // Gives back the pages from `from` on, once: nothing there may be written afterwards.
    void releaseFrom(const void* from)
    {
        if (m_givenBack == 0)
            m_givenBack = releaseTail(m_memory, m_bytes, from);
    }

private:
    void* m_memory;
    std::size_t m_bytes;
    std::size_t m_givenBack = 0;
};

// An allocator for std::vector that puts large arrays into huge pages.
template <class T>
struct LargeAllocator {
    using value_type = T;
    LargeAllocator() = default;
    template <class U>
    LargeAllocator(const LargeAllocator<U>&) noexcept
    {}
    T* allocate(std::size_t n) { return static_cast<T*>(allocateLarge(n * sizeof(T))); }
    void deallocate(T* p, std::size_t n) noexcept { releaseLarge(p, n * sizeof(T)); }
    template <class U>
    bool operator==(const LargeAllocator<U>&) const noexcept
    {
        return true;
    }
};

// The same allocation as Base, for arrays whose elements are made room for and then written whole: resizing leaves the
// new elements unset instead of zeroing them, so their pages are first touched by the threads that write them.
template <template <class> class Base, class T>
struct UnzeroedAllocator : Base<T> {
    UnzeroedAllocator() = default;
    template <class U>
    UnzeroedAllocator(const UnzeroedAllocator<Base, U>&) noexcept
    {}
    template <class U>
    struct rebind {
        using other = UnzeroedAllocator<Base, U>;
    };
    template <class U>
    void construct(U* at) noexcept
    {
        ::new (static_cast<void*>(at)) U;
    }
    template <class U, class... Args>
    void construct(U* at, Args&&... args)
    {
        ::new (static_cast<void*>(at)) U(std::forward<Args>(args)...);
    }
};

} // namespace netkit
