#pragma once

// Storage for the texts of tables with hundreds of thousands of rows (the application's entry table, which keeps
// UTF-8 as it is, and the core library's catalogue table, which decodes it into UTF-16): fixed blocks that never
// move, a large table's cut from huge pages.

#include "NetKit/LargeArray.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

namespace netkit {

// Blocks that never move once written, so growing a table never copies what it holds. A place is
// (block << 16) | offset; a text longer than a block gets a block of its own. Moved, never copied.
template<class T>
class Blocks
{
public:
    static constexpr uint32_t blockSize = 1U << 16;

    Blocks() = default;
    // The huge page being cut into blocks stays with the blocks.
    Blocks(Blocks&& other) noexcept
        : m_blocks(std::move(other.m_blocks))
        , m_memory(std::move(other.m_memory))
        , m_slabNext(std::exchange(other.m_slabNext, nullptr))
        , m_slabLeft(std::exchange(other.m_slabLeft, 0))
        , m_slab(std::exchange(other.m_slab, 0))
        , m_used(std::exchange(other.m_used, 0))
        , m_last(std::exchange(other.m_last, 0))
    {
        other.m_blocks.clear();
        other.m_memory.clear();
    }
    Blocks& operator=(Blocks&& other) noexcept
    {
        if (this != &other) {
            Blocks moved(std::move(other));
            std::swap(m_blocks, moved.m_blocks);
            std::swap(m_memory, moved.m_memory);
            std::swap(m_slabNext, moved.m_slabNext);
            std::swap(m_slabLeft, moved.m_slabLeft);
            std::swap(m_slab, moved.m_slab);
            std::swap(m_used, moved.m_used);
            std::swap(m_last, moved.m_last);
        }
        return *this;
    }

    // Room for `length` elements in one block; returns where they go.
    uint32_t reserve(size_t length)
    {
        // An empty text still gets a place of its own inside a block. An offset has 16 bits: a long text's own
        // block, once given back its unused end, takes nothing more past them.
        length = std::max<size_t>(length, 1);
        if (m_blocks.empty() || m_used + length > m_last || m_used > 0xFFFF) {
            m_last = std::max<size_t>(blockSize, length);
            m_blocks.push_back(newBlock(m_last));
            m_used = 0;
        }
        const uint32_t place = uint32_t((m_blocks.size() - 1) << 16 | m_used);
        m_used += length;
        return place;
    }

    T* data(uint32_t place) { return m_blocks[place >> 16] + (place & 0xFFFF); }
    const T* data(uint32_t place) const { return m_blocks[place >> 16] + (place & 0xFFFF); }

    // Gives back what `reserve` took beyond the first `used` elements (the last reservation only).
    void shrinkLast(uint32_t place, size_t reserved, size_t used)
    {
        if ((place >> 16) == m_blocks.size() - 1 && (place & 0xFFFF) + reserved == m_used)
            m_used -= reserved - used;
    }

    // Takes `other`'s blocks; returns how far their places move.
    uint32_t adopt(Blocks&& other)
    {
        const auto shift = uint32_t(m_blocks.size() << 16);
        if (other.m_blocks.empty())
            return shift;
        other.releaseSpare();
        m_blocks.insert(m_blocks.end(), other.m_blocks.begin(), other.m_blocks.end());
        for (LargeMemory& memory : other.m_memory)
            m_memory.push_back(std::move(memory));
        m_used = other.m_used;
        m_last = other.m_last;
        other = Blocks();
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

private:
    // The first blocks are allocated one by one, so a small table stays small; a large table's are cut from huge
    // pages (a long text still gets its own).
    static constexpr size_t separateBlocks = 16;

    T* newBlock(size_t length)
    {
        constexpr size_t perSlab = hugePageBytes / (blockSize * sizeof(T));
        if (length > blockSize || m_blocks.size() < separateBlocks || perSlab < 2) {
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
        return std::exchange(m_slabNext, m_slabNext + blockSize);
    }

    std::vector<T*> m_blocks;
    std::vector<LargeMemory> m_memory;
    T* m_slabNext = nullptr;
    size_t m_slabLeft = 0; // blocks still to cut from the slab at m_slabNext
    size_t m_slab = 0;     // that slab, in m_memory
    size_t m_used = 0; // in the last block
    size_t m_last = 0; // the last block's size
};

// What to make of a byte-order mark at the very start of a text.
enum class LeadingMark { drop, keep };

// Decodes UTF-8 `text` into `out`, which has room for text.size() units; returns the units written. Valid UTF-8
// decodes exactly as QString::fromUtf8 decodes it, except that with LeadingMark::keep a byte-order mark at the start
// is a character like any other; an invalid byte becomes U+FFFD. A sequence never gives more units than it has bytes.
size_t decodeUtf8(std::string_view text, char16_t* out, LeadingMark mark = LeadingMark::drop);

} // namespace netkit
