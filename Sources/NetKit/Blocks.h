#pragma once

// Storage for the texts of tables with hundreds of thousands of rows (the application's entry table, which keeps
// UTF-8 as it is, and the core library's catalogue table, which decodes it into UTF-16): fixed blocks that never
// move, a large table's cut from huge pages.

#include "NetKit/LargeArray.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string_view>
#include <utility>
#include <vector>

namespace netkit {

// Blocks that never move once written, so growing a table never copies what it holds. A place counts elements
// across the blocks as they are filled, every block taking only what it holds, so places run out only after 4 Gi
// elements, however many blocks (a text longer than a block gets one of its own) that takes. Moved, never copied.
template<class T>
class Blocks
{
public:
    static constexpr uint32_t blockSize = 1U << 16;

    Blocks() = default;
    // The huge page being cut into blocks stays with the blocks.
    Blocks(Blocks&& other) noexcept
        : m_blocks(std::move(other.m_blocks))
        , m_starts(std::move(other.m_starts))
        , m_windows(std::move(other.m_windows))
        , m_memory(std::move(other.m_memory))
        , m_slabNext(std::exchange(other.m_slabNext, nullptr))
        , m_slabLeft(std::exchange(other.m_slabLeft, 0))
        , m_slab(std::exchange(other.m_slab, 0))
        , m_used(std::exchange(other.m_used, 0))
        , m_last(std::exchange(other.m_last, 0))
        , m_windowShift(other.m_windowShift)
    {
        other.m_blocks.clear();
        other.m_starts.clear();
        other.m_windows.clear();
        other.m_memory.clear();
    }
    Blocks& operator=(Blocks&& other) noexcept
    {
        if (this != &other) {
            Blocks moved(std::move(other));
            std::swap(m_blocks, moved.m_blocks);
            std::swap(m_starts, moved.m_starts);
            std::swap(m_windows, moved.m_windows);
            std::swap(m_memory, moved.m_memory);
            std::swap(m_slabNext, moved.m_slabNext);
            std::swap(m_slabLeft, moved.m_slabLeft);
            std::swap(m_slab, moved.m_slab);
            std::swap(m_used, moved.m_used);
            std::swap(m_last, moved.m_last);
            std::swap(m_windowShift, moved.m_windowShift);
        }
        return *this;
    }

    // Room for `length` elements in one block; returns where they go. Throws std::length_error when the places
    // have run out, before anything changes.
    uint32_t reserve(size_t length)
    {
        // An empty text still gets a place of its own inside a block.
        length = std::max<size_t>(length, 1);
        if (uint64_t(end()) + length > maxEnd)
            throw std::length_error("a table holds at most 4 Gi text elements");
        if (m_blocks.empty() || m_used + length > m_last) {
            const uint32_t start = end();
            m_last = std::max<size_t>(s_blockSize, length);
            m_blocks.push_back(newBlock(m_last));
            startBlock(start);
            m_used = 0;
        }
        const uint32_t place = m_starts[m_blocks.size() - 1] + uint32_t(m_used);
        m_used += length;
        coverWindows();
        return place;
    }

    T* data(uint32_t place) { return const_cast<T*>(std::as_const(*this).data(place)); }
    const T* data(uint32_t place) const
    {
        // The window names a block starting at or before the place; the few that start after it within the window
        // are stepped over. m_starts ends with a start no place reaches.
        size_t block = m_windows[place >> m_windowShift];
        while (m_starts[block + 1] <= place)
            ++block;
        return m_blocks[block] + (place - m_starts[block]);
    }

    // Gives back what `reserve` took beyond the first `used` elements (the last reservation only).
    void shrinkLast(uint32_t place, size_t reserved, size_t used)
    {
        if (m_blocks.empty() || place < m_starts[m_blocks.size() - 1])
            return;
        if (place - m_starts[m_blocks.size() - 1] + reserved == m_used) {
            m_used -= reserved - used;
            // Windows past the new end would name this block for places a later block may hold.
            while (m_windows.size() > 1 && (uint64_t(m_windows.size() - 1) << m_windowShift) > end())
                m_windows.pop_back();
        }
    }

    // Takes `other`'s blocks; returns how far their places move. Throws std::length_error when the two hold more
    // than the places can count, before either changes.
    uint32_t adopt(Blocks&& other)
    {
        const uint32_t shift = end();
        if (other.m_blocks.empty())
            return shift;
        if (uint64_t(shift) + other.end() > maxEnd)
            throw std::length_error("a table holds at most 4 Gi text elements");
        other.releaseSpare();
        if (!m_starts.empty())
            m_starts.pop_back();
        for (size_t b = 0; b < other.m_blocks.size(); ++b)
            m_starts.push_back(other.m_starts[b] + shift);
        m_starts.push_back(noPlace);
        m_blocks.insert(m_blocks.end(), other.m_blocks.begin(), other.m_blocks.end());
        for (LargeMemory& memory : other.m_memory)
            m_memory.push_back(std::move(memory));
        m_used = other.m_used;
        m_last = other.m_last;
        other = Blocks();
        coverWindows();
        return shift;
    }

    // Gives back the unused end of the huge page being cut into blocks: for a table that is complete. Texts added
    // afterwards start a block of their own.
    void releaseSpare()
    {
        if (m_slabNext == nullptr)
            return;
        const T* from = m_slabNext;
        if (!m_blocks.empty() && m_blocks.back() + m_last == m_slabNext) {
            from = m_blocks.back() + m_used;
            m_last = m_used;
        }
        m_memory[m_slab].releaseFrom(from);
        m_slabNext = nullptr;
        m_slabLeft = 0;
    }

    // For tests: blocks of `size` elements (blockSize when 0) in tables made from now on, so that many blocks take
    // little memory.
    static void setBlockSizeForTests(size_t size) { s_blockSize = size ? size : blockSize; }

private:
    // The first blocks are allocated one by one, so a small table stays small; a large table's are cut from huge
    // pages (a long text still gets its own).
    static constexpr size_t separateBlocks = 16;
    static constexpr uint32_t noPlace = UINT32_MAX;
    static constexpr uint64_t maxEnd = noPlace - 1;
    static inline size_t s_blockSize = blockSize;

    // Where the next element would go: the places taken so far.
    uint32_t end() const { return m_blocks.empty() ? 0 : m_starts[m_blocks.size() - 1] + uint32_t(m_used); }

    void startBlock(uint32_t start)
    {
        if (!m_starts.empty())
            m_starts.pop_back();
        m_starts.push_back(start);
        m_starts.push_back(noPlace);
    }

    // Gives every window up to the end (itself included) the block it starts in, or one before it.
    void coverWindows()
    {
        size_t block = m_windows.empty() ? 0 : m_windows.back();
        for (uint64_t window = m_windows.size(); (window << m_windowShift) <= end(); ++window) {
            while (m_starts[block + 1] <= (window << m_windowShift))
                ++block;
            m_windows.push_back(uint32_t(block));
        }
    }

    T* newBlock(size_t length)
    {
        const size_t perSlab = hugePageBytes / (s_blockSize * sizeof(T));
        if (length > s_blockSize || m_blocks.size() < separateBlocks || perSlab < 2) {
            m_memory.emplace_back(length * sizeof(T));
            return static_cast<T*>(m_memory.back().get());
        }
        if (m_slabLeft == 0) {
            m_slab = m_memory.size();
            m_memory.emplace_back(hugePageBytes);
            m_slabNext = static_cast<T*>(m_memory.back().get());
            m_slabLeft = perSlab;
        }
        --m_slabLeft;
        return std::exchange(m_slabNext, m_slabNext + s_blockSize);
    }

    std::vector<T*> m_blocks;
    std::vector<uint32_t> m_starts;  // each block's first place, then noPlace; empty while there are no blocks
    std::vector<uint32_t> m_windows; // by place >> m_windowShift: a block starting at or before the window
    std::vector<LargeMemory> m_memory;
    T* m_slabNext = nullptr;
    size_t m_slabLeft = 0; // blocks still to cut from the slab at m_slabNext
    size_t m_slab = 0;     // that slab, in m_memory
    size_t m_used = 0; // in the last block
    size_t m_last = 0; // the last block's size
    // A window spans a block's worth of places, so few blocks start inside one.
    unsigned m_windowShift = unsigned(std::bit_width(s_blockSize - 1));
};

// What to make of a byte-order mark at the very start of a text.
enum class LeadingMark { drop, keep };

// Decodes UTF-8 `text` into `out`, which has room for text.size() units; returns the units written. Valid UTF-8
// decodes exactly as QString::fromUtf8 decodes it, except that with LeadingMark::keep a byte-order mark at the start
// is a character like any other; an invalid byte becomes U+FFFD. A sequence never gives more units than it has bytes.
size_t decodeUtf8(std::string_view text, char16_t* out, LeadingMark mark = LeadingMark::drop);

} // namespace netkit
